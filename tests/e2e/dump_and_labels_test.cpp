// The JSON of `dump` (keys, order, types) and the labels the runner gives to
// copies, explode pieces, offset copies and objects known by handle only.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "tests/e2e/run_cadsim.h"

namespace {

using Json = nlohmann::ordered_json;

// The JSON of the last line of a run's output.
Json lastDump(const RunResult& run) {
  const std::vector<std::string> lines = linesOf(run.out);
  EXPECT_FALSE(lines.empty());
  return lines.empty() ? Json() : Json::parse(lines.back());
}

std::vector<std::string> keysOf(const Json& object) {
  std::vector<std::string> keys;
  for (auto it = object.begin(); it != object.end(); ++it)
    keys.push_back(it.key());
  return keys;
}

const Json* objectLabelled(const Json& drawing, const std::string& label) {
  for (const Json& object : drawing["objects"])
    if (object["label"] == label) return &object;
  return nullptr;
}

const char kTwoPartsScript[] =
    "add L1 LINE\n"
    "xdata L1 $10 1000:\"pipe\" 1002:{ 1003:\"0\" 1002:} 1005:1f 1010:1,2.5 "
    "1040:2.5 1070:-3 1071:70000 1004:0aff 1011:1,2 1041:0.5 1042:2\n"
    "add P1 POLYLINE pieces=3\n"
    "xdata P1 $20 1000:\"outline\"\n"
    "drawing empty\n"
    "drawing main\n"
    "command COPY L1\n"
    "command EXPLODE P1\n"
    "append-copy L1\n"
    "deepclone L1.1\n"
    "dump\n";

TEST(Dump, KeysComeInTheDocumentedOrder) {
  const RunResult run = runInProcess(kTwoPartsScript);
  ASSERT_EQ(run.status, 0) << run.err;
  const Json dump = lastDump(run);
  EXPECT_EQ(keysOf(dump),
            (std::vector<std::string>{"drawings", "commandLine", "module",
                                      "violations", "generator"}));
  EXPECT_EQ(dump["generator"],
            (Json{{"program", "cadsim"}, {"version", PLIVET_VERSION}}));
  ASSERT_EQ(dump["drawings"].size(), 2u);
  for (const Json& drawing : dump["drawings"]) {
    EXPECT_EQ(keysOf(drawing),
              (std::vector<std::string>{"name", "current", "regapps", "objects",
                                        "namedObjects", "partRecords"}));
    for (const Json& object : drawing["objects"]) {
      EXPECT_EQ(keysOf(object),
                (std::vector<std::string>{"label", "handle", "type", "erased",
                                          "xdata"}));
      for (const Json& block : object["xdata"])
        EXPECT_EQ(keysOf(block), (std::vector<std::string>{"app", "items"}));
    }
  }
  EXPECT_EQ(keysOf(dump["module"]),
            (std::vector<std::string>{"loaded", "commands", "editorReactors",
                                      "databaseReactors"}));
}

TEST(Dump, ValuesKeepTheirTypes) {
  const Json dump = lastDump(runInProcess(kTwoPartsScript));
  const Json& main = dump["drawings"][0];
  EXPECT_EQ(main["name"], "main");
  EXPECT_EQ(main["current"], true);
  EXPECT_EQ(dump["drawings"][1]["current"], false);
  const Json* line = objectLabelled(main, "L1");
  ASSERT_NE(line, nullptr);
  EXPECT_EQ((*line)["type"], "LINE");
  EXPECT_EQ((*line)["erased"], false);
  ASSERT_EQ((*line)["xdata"].size(), 1u);
  EXPECT_EQ((*line)["xdata"][0]["app"], "$10");
  const Json expected = Json::parse(
      R"([[1000,"pipe"],[1002,"{"],[1003,"0"],[1002,"}"],[1005,"1F"],)"
      R"([1010,[1.0,2.5,0.0]],[1040,2.5],[1070,-3],[1071,70000],)"
      R"([1004,"0AFF"],[1011,[1.0,2.0,0.0]],[1041,0.5],[1042,2.0]])");
  EXPECT_EQ((*line)["xdata"][0]["items"], expected);
  EXPECT_TRUE((*line)["xdata"][0]["items"][6][1].is_number_float());
  EXPECT_TRUE((*line)["xdata"][0]["items"][7][1].is_number_integer());
  EXPECT_TRUE((*line)["xdata"][0]["items"][12][1].is_number_float());

  EXPECT_EQ(objectLabelled(main, "P1")->at("erased"), true);
  EXPECT_TRUE(dump["module"]["loaded"].is_boolean());
  EXPECT_EQ(dump["module"]["editorReactors"], 1);
  EXPECT_EQ(dump["module"]["databaseReactors"], 0);
  EXPECT_EQ(dump["module"]["commands"],
            Json::parse(R"(["QORMPLIVETSTART","QORMPLIVETSTOP"])"));
  EXPECT_TRUE(dump["commandLine"].is_array());
  EXPECT_EQ(dump["violations"], Json::array());
  EXPECT_TRUE(main["namedObjects"].is_object());
  EXPECT_EQ(main["namedObjects"]["PVNR_HANDLE"], "DICTIONARY");
}

TEST(Dump, PartRecordsNameTheirMembersByHandle) {
  const Json dump = lastDump(runInProcess(kTwoPartsScript));
  const Json& main = dump["drawings"][0];
  EXPECT_TRUE(dump["drawings"][1]["partRecords"].is_null());
  const Json& records = main["partRecords"];
  ASSERT_TRUE(records.is_object());
  // COPY L1 made one part, EXPLODE P1 another; the deep clone outside any
  // command made none.
  ASSERT_EQ(records.size(), 2u);
  const std::string copyHandle = objectLabelled(main, "L1.1")->at("handle");
  const Json& copyRecord = records["$" + copyHandle];
  EXPECT_EQ(copyRecord, Json::parse(R"([[102,"{MORVAT_PART"],[330,")" +
                                    copyHandle + R"("],[102,"}"]])"));
  const Json& pieces =
      records["$" +
              objectLabelled(main, "P1.1")->at("handle").get<std::string>()];
  ASSERT_EQ(pieces.size(), 5u);
  for (int i = 1; i <= 3; ++i)
    EXPECT_EQ(pieces[i][1],
              objectLabelled(main, "P1." + std::to_string(i))->at("handle"));
  // The module's own dictionaries have no session label: they go by handle.
  for (const Json& object : main["objects"]) {
    if (object["type"] == "DICTIONARY") {
      EXPECT_EQ(object["label"], "#" + object["handle"].get<std::string>());
    }
  }
}

TEST(Labels, CopiesPiecesAndOffsetCopiesCountPerSource) {
  const Json dump = lastDump(runInProcess(kTwoPartsScript));
  const Json& main = dump["drawings"][0];
  // L1: COPY made L1.1, append-copy L1.2; the deep clone of L1.1 is L1.1.1.
  for (const char* label : {"L1.1", "L1.2", "L1.1.1", "P1.1", "P1.2", "P1.3"})
    EXPECT_NE(objectLabelled(main, label), nullptr) << label;
  EXPECT_EQ(objectLabelled(main, "P1.4"), nullptr);
  EXPECT_EQ(objectLabelled(main, "L1.3"), nullptr);
}

// What a deep clone made because an object owns it has no label; `list`
// shows it under its owner, where the part records below can be followed.
TEST(List, ShowsWhatEachObjectOwnsUnderIt) {
  const RunResult run = runInProcess(
      "add L1 LINE\nxdata L1 $10 1000:\"pipe\"\n"
      "add D1 DICTIONARY extension-of=L1\nadd X1 XRECORD in=D1\n"
      "xdata X1 $10 1000:\"kept\"\ncommand COPY L1\nlist\n");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("    L1.1  5  LINE\n"
                         "      $5 1000:\"pipe\"\n"
                         "      #6  DICTIONARY (extension dictionary)\n"
                         "        #7  XRECORD \"X1\"\n"
                         "          $5 1000:\"kept\"\n"
                         "  named objects: PVNR_HANDLE (DICTIONARY)\n"
                         "  part records:\n"
                         "    $5 L1.1 #7\n"),
            std::string::npos)
      << run.out;
}

TEST(Labels, HashHandleNamesAnObjectOfTheCurrentDrawing) {
  const std::string build = "add L1 LINE\nxdata L1 $10 1000:\"a\"\ndump\n";
  const Json first = lastDump(runInProcess(build));
  const std::string handle =
      objectLabelled(first["drawings"][0], "L1")->at("handle");
  // The same session again: handles come in creation order, so #HANDLE is
  // L1 in main, and names nothing in another drawing.
  const RunResult run = runInProcess(
      build + "expect #" + handle + " tag $10\ncommand COPY #" + handle +
      "\nexpect L1.1 tag @L1.1\nerase #" + handle +
      "\nexpect erased L1\ndrawing other\nerase #" + handle + "\n");
  EXPECT_EQ(run.status, 2) << run.err;
  EXPECT_NE(run.err.find("line 10: no object with handle " + handle +
                         " in drawing other"),
            std::string::npos)
      << run.err;
}

TEST(Expect, AFailureStopsTheRunWithStatusOne) {
  const RunResult run = runInProcess(
      "add L1 LINE\nxdata L1 $10 1000:\"a\"\nexpect L1 tag $10\n"
      "expect L1 tag $11\necho after\n");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "line 4: expectation failed: L1 has tag $10, not $11\n");
  EXPECT_EQ(run.out.find("after"), std::string::npos);
}

TEST(Expect, EachFormCanFail) {
  const std::string setup =
      "add L1 LINE\nxdata L1 $10 1000:\"a\"\nxdata L1 ACAD 1070:1\n"
      "command COPY L1\n";
  for (const char* wrong : {"expect L1 tag none",
                            "expect L1 tag-not $10",
                            "expect L1.1 tag $10",
                            "expect L1 xdata ACAD 1070:2",
                            "expect L1 xdata ACAD",
                            "expect L1 no-xdata ACAD",
                            "expect L1 xdata OTHER 1000:\"a\"",
                            "expect erased L1",
                            "expect not-erased L1.1 ",
                            "expect records 2",
                            "expect record @L1.1",
                            "expect record @L1.1 L1.1 L1.1",
                            "expect record @L1 L1.1",
                            "expect no-record @L1.1",
                            "expect regapp $11",
                            "expect no-regapp @L1.1",
                            "expect line \"x\"",
                            "expect unloaded",
                            "expect commands",
                            "expect editor-reactors 0",
                            "expect database-reactors 1",
                            "expect violations 1",
                            "expect L1.1 geometry from=0,0 to=2,0",
                            "expect L1 geometry radius=1",
                            "expect L1 geometry points=0,0;1,0"}) {
    SCOPED_TRACE(wrong);
    const std::string script = setup + wrong + "\n";
    const RunResult run = runInProcess(script);
    if (std::string(wrong) == "expect not-erased L1.1 ") {
      EXPECT_EQ(run.status, 0) << run.err;  // a control: this one holds
      continue;
    }
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_EQ(run.err.rfind("line 5: expectation failed: ", 0), 0u) << run.err;
  }
}

}  // namespace
