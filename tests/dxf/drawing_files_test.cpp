// Open and save in the host: refused files change nothing, $HANDSEED keeps
// new handles clear of the file's, drawings made here save into files the
// independent reader accepts, and a save reads back as it was.
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "module/module_entry.h"
#include "tests/dxf/dxf_test_support.h"
#include "tests/dxf/ezdxf_checks.h"
#include "tests/support/host_test.h"

namespace {

using dxftest::dumpOf;
using dxftest::expectSound;
using dxftest::lines;
using nlohmann::json;

std::string header(const char* seed) {
  return lines({"0", "SECTION", "2", "HEADER", "9", "$ACADVER", "1", "AC1015",
                "9", "$HANDSEED", "5", seed, "0", "ENDSEC"});
}

// Header, then entities starting at line 19.
std::string drawing(const char* seed,
                    std::initializer_list<const char*> entities) {
  return header(seed) + lines({"0", "SECTION", "2", "ENTITIES"}) +
         lines(entities) + lines({"0", "ENDSEC", "0", "EOF"});
}

std::string fileWith(const std::string& name, const std::string& text) {
  std::string path = dxftest::scratchPath(name);
  dxftest::writeFile(path, text);
  return path;
}

unsigned long hex(const std::string& text) {
  return std::stoul(text, nullptr, 16);
}

using DrawingFiles = HostTest;

TEST_F(DrawingFiles, ARefusedFileChangesNothing) {
  struct Case {
    std::string text;
    const char* words;
  };
  std::string big(300, 'x');
  const Case cases[] = {
      {drawing("40", {"0", "LINE", "5", "2F", "0", "LINE", "5", "2F"}),
       "line 23: handle 2F"},
      {drawing("40", {"0", "LINE", "5", "2F", "1001", "A", "1043", "2.0"}),
       "line 25: extended data group code 1043"},
      {drawing("40", {"0", "LINE", "5", "2F", "1001", "A", "1004", "0AF"}),
       "line 26: group code 1004 needs at most 127 bytes"},
      {drawing("40", {"0", "LINE", "5", "2F", "1001", "A", "1013", "1.0",
                      "1033", "0.0"}),
       "line 25: point 1013 without its 1023"},
      {drawing("40",
               {"0", "LINE", "5", "2F", "1001", "A", "1000", big.c_str()}),
       "line 23: xdata of A on LINE 2F breaks the host's rules"},
      {drawing("40", {"0", "LINE", "5", "2F", "1001", "A", "1010", "1.0"}),
       "line 25: point 1010 without its 1020"},
      {drawing("40", {"0", "LINE", "5", "2E", "0", "LINE", "5", "2F", "1001",
                      "A", "1010", "1.0"}),
       "line 29: point 1010 without its 1020"},
      {drawing("40", {"0", "VERTEX", "5", "2F"}), "line 19: VERTEX without"},
      {std::string("SOMECAD Binary DXF\r\n\x1a\0", 22) + "\x01\x00",
       "line 1: binary DXF is not read"},
      {drawing("40", {"0", "LINE", "5", "2F", "1001", "A\\U+003B"}),
       "is not a valid application name"},
      // Older than R12: the version is said before any fault of the body.
      {lines({"0", "SECTION", "2", "HEADER",  "9", "$ACADVER", "1", "AC1006",
              "0", "ENDSEC",  "0", "SECTION", "2", "ENTITIES", "0", "VERTEX",
              "0", "ENDSEC",  "0", "EOF"}),
       "line 8: DXF version \"AC1006\" is not read"},
      // An R12 drawing's faults name the lines of the file as it came.
      {lines({"0",    "SECTION",  "2",    "HEADER", "9", "$ACADVER",
              "1",    "AC1009",   "0",    "ENDSEC", "0", "SECTION",
              "2",    "ENTITIES", "0",    "LINE",   "8", "0",
              "1001", "A",        "1010", "1.0",    "0", "ENDSEC",
              "0",    "EOF"}),
       "line 21: point 1010 without its 1020"},
  };
  for (const Case& c : cases) {
    std::string path = fileWith("refused.dxf", c.text);
    text::Error error;
    EXPECT_FALSE(host().openDrawingFile(path, "refused", error));
    EXPECT_NE(error.message.find(c.words), std::string::npos) << error.text();
    EXPECT_EQ(host().drawingNames(), std::vector<std::string>{"main"});
    EXPECT_EQ(host().currentDrawingName(), "main");
  }
  text::Error error;
  std::string good = fileWith("good.dxf", drawing("40", {"0", "LINE"}));
  EXPECT_FALSE(host().openDrawingFile(good, "main", error));
  EXPECT_NE(error.message.find("already open"), std::string::npos)
      << error.text();
  EXPECT_FALSE(
      host().openDrawingFile(dxftest::scratchPath("none.dxf"), "none", error));
  EXPECT_NE(error.message.find("cannot open"), std::string::npos)
      << error.text();
}

TEST_F(DrawingFiles, NewHandlesNeverCollideWithTheFiles) {
  text::Error error;
  // An honest seed, and one below a handle in use (a damaged file).
  std::string honest =
      fileWith("seed-honest.dxf", drawing("100", {"0", "LINE", "5", "20"}));
  std::string damaged = fileWith(
      "seed-damaged.dxf",
      drawing("10", {"0", "LINE", "5", "7F", "0", "CIRCLE", "5", "3"}));
  ASSERT_TRUE(host().openDrawingFile(honest, "honest", error)) << error.text();
  AcDbObjectId added = add("LINE");
  EXPECT_GE(hex(host().handleText(added)), 0x100u);
  ASSERT_TRUE(host().openDrawingFile(damaged, "damaged", error))
      << error.text();
  sim::Created copies = host().runCommand("COPY", {host().idFromHandle("7F")});
  ASSERT_EQ(copies.size(), 1u);
  EXPECT_GT(hex(host().handleText(copies[0].second)), 0x7Fu);
}

TEST_F(DrawingFiles, ManyEntitiesKeepTheirHandlesThroughASave) {
  // More entities than the loader holds in one block, their handles in two
  // runs and a few out of order, the seed below them all.
  std::string body;
  auto entity = [&body](unsigned long handle) {
    char text[16];
    std::snprintf(text, sizeof text, "%lX", handle);
    body += lines({"0", "LINE", "5", text, "8", "0"});
  };
  for (unsigned long h = 0x100; h < 0x100 + 17000; ++h) entity(h);
  entity(0x50);
  entity(0x60);
  for (unsigned long h = 0x10000; h < 0x10000 + 3000; ++h) entity(h);
  const std::string text = header("40") +
                           lines({"0", "SECTION", "2", "ENTITIES"}) + body +
                           lines({"0", "ENDSEC", "0", "EOF"});
  text::Error error;
  ASSERT_TRUE(host().openDrawingFile(fileWith("many.dxf", text), "many", error))
      << error.text();
  const std::string out = dxftest::scratchPath("many-out.dxf");
  ASSERT_TRUE(host().saveDrawingFile(out, error)) << error.text();
  ASSERT_TRUE(host().openDrawingFile(out, "again", error)) << error.text();
  for (const char* name : {"many", "again"}) {
    host().useDrawing(name);
    for (const char* handle :
         {"100", "40FF", "4100", "4367", "50", "60", "10000", "10BB7"})
      EXPECT_EQ(host().handleText(host().idFromHandle(handle)), handle);
    EXPECT_TRUE(host().idFromHandle("4368").isNull());
  }
  EXPECT_GT(hex(host().handleText(add("LINE"))), 0x10BB7u);
}

TEST_F(DrawingFiles, ADrawingMadeHereSavesIntoAFileOthersRead) {
  REQUIRE_EZDXF();
  text::Error error;
  ASSERT_TRUE(host().loadModule(&acrxEntryPoint, error)) << error.text();
  AcDbObjectId line = add("LINE");
  AcDbObjectId poly = add("POLYLINE", 3);
  ASSERT_EQ(host().setXData(line, "$10",
                            {xd::text("\u03a9 pipe"), xd::point(1, 2, 3)}),
            Acad::eOk);
  ASSERT_EQ(host().setXData(poly, "$10", {xd::int16(4)}), Acad::eOk);
  sim::Created copies = host().runCommand("COPY", {line, poly});
  ASSERT_EQ(copies.size(), 2u);
  std::string path = dxftest::scratchPath("made-here.dxf");
  ASSERT_TRUE(host().saveDrawingFile(path, error)) << error.text();

  // Below AC1021 the omega goes out as an escape, never as UTF-8 bytes.
  std::string text = dxftest::readFile(path);
  EXPECT_NE(text.find("\\U+03A9 pipe"), std::string::npos);
  EXPECT_EQ(text.find("\xce\xa9"), std::string::npos);

  json seen = dumpOf(path);
  ASSERT_TRUE(seen.contains("objects"));
  expectSound(seen);
  EXPECT_EQ(seen["acadver"], "AC1015");
  EXPECT_EQ(seen["raw"]["tables"].size(), 9u);
  std::string copy = host().handleText(copies[0].second);
  const json& objects = seen["objects"];
  EXPECT_EQ(objects[host().handleText(poly)]["type"], "LWPOLYLINE");
  std::string root = seen["rootdict"];
  std::string parts = objects[root]["entries"]["PVNR_HANDLE"];
  const json& record =
      objects[objects[parts]["entries"]["$" + copy].get<std::string>()];
  EXPECT_EQ(
      record["data"],
      json::parse(R"([[102,"{MORVAT_PART"],[330,")" + copy + R"("],[330,")" +
                  host().handleText(copies[1].second) + R"("],[102,"}"]])"));

  // Opened again, the drawing holds what the host had.
  ASSERT_TRUE(host().openDrawingFile(path, "again", error)) << error.text();
  sim::DrawingInfo before = host().drawingInfo("main");
  sim::DrawingInfo after = host().drawingInfo("again");
  // The file also names the application every drawing has.
  std::vector<std::string> apps = before.regapps;
  apps.push_back("ACAD");
  EXPECT_EQ(after.regapps, apps);
  const cadsim::PartDictionary recordsBefore = HostTest::parts("main");
  const cadsim::PartDictionary recordsAfter = HostTest::parts("again");
  ASSERT_EQ(recordsAfter.records.size(), recordsBefore.records.size());
  for (std::size_t i = 0; i < recordsBefore.records.size(); ++i) {
    EXPECT_EQ(recordsAfter.records[i].tag, recordsBefore.records[i].tag);
    EXPECT_EQ(recordsAfter.records[i].items, recordsBefore.records[i].items);
  }
  std::map<std::string, sim::ObjectInfo> reopened;
  for (const sim::ObjectInfo& object : after.objects)
    reopened[object.handle] = object;
  for (const sim::ObjectInfo& object : before.objects) {
    ASSERT_TRUE(reopened.count(object.handle)) << object.handle;
    const sim::ObjectInfo& other = reopened[object.handle];
    EXPECT_EQ(other.type, object.type) << object.handle;
    ASSERT_EQ(other.xdata.size(), object.xdata.size()) << object.handle;
    for (std::size_t i = 0; i < object.xdata.size(); ++i) {
      EXPECT_EQ(other.xdata[i].app, object.xdata[i].app);
      EXPECT_EQ(other.xdata[i].items, object.xdata[i].items);
    }
  }
}

TEST_F(DrawingFiles, SavingAgainWritesTheSameFile) {
  text::Error error;
  std::string path =
      fileWith("again.dxf", drawing("40", {"0",    "LINE",
                                           "5",    "20",
                                           "100",  "AcDbEntity",
                                           "8",    "0",
                                           "100",  "AcDbLine",
                                           "10",   "0.0",
                                           "20",   "0.0",
                                           "30",   "0.0",
                                           "11",   "1.0",
                                           "21",   "0.0",
                                           "31",   "0.0",
                                           "1001", "APP",
                                           "1040", "2.50",
                                           "0",    "POLYLINE",
                                           "5",    "21",
                                           "100",  "AcDbEntity",
                                           "8",    "0",
                                           "100",  "AcDb2dPolyline",
                                           "66",   "1",
                                           "10",   "0.0",
                                           "20",   "0.0",
                                           "30",   "0.0",
                                           "0",    "VERTEX",
                                           "5",    "22",
                                           "330",  "21",
                                           "100",  "AcDbEntity",
                                           "8",    "0",
                                           "100",  "AcDbVertex",
                                           "100",  "AcDb2dVertex",
                                           "10",   "0.0",
                                           "20",   "0.0",
                                           "30",   "0.0",
                                           "0",    "VERTEX",
                                           "5",    "23",
                                           "330",  "21",
                                           "100",  "AcDbEntity",
                                           "8",    "0",
                                           "100",  "AcDbVertex",
                                           "100",  "AcDb2dVertex",
                                           "10",   "1.0",
                                           "20",   "0.0",
                                           "30",   "0.0",
                                           "0",    "VERTEX",
                                           "5",    "24",
                                           "330",  "21",
                                           "100",  "AcDbEntity",
                                           "8",    "0",
                                           "100",  "AcDbVertex",
                                           "100",  "AcDb2dVertex",
                                           "10",   "1.0",
                                           "20",   "1.0",
                                           "30",   "0.0",
                                           "0",    "SEQEND",
                                           "5",    "25",
                                           "330",  "21",
                                           "100",  "AcDbEntity",
                                           "8",    "0",
                                           "0",    "MTEXT",
                                           "5",    "26",
                                           "100",  "AcDbEntity",
                                           "8",    "0",
                                           "100",  "AcDbMText",
                                           "10",   "0.0",
                                           "20",   "0.0",
                                           "30",   "0.0",
                                           "40",   "2.5",
                                           "1",    "note"}));
  ASSERT_TRUE(host().openDrawingFile(path, "user", error)) << error.text();
  sim::ObjectInfo poly;
  ASSERT_TRUE(host().objectInfo(host().idFromHandle("21"), poly));
  EXPECT_EQ(poly.pieces, 2);
  const sim::Created copies = host().runCommand(
      "COPY", {host().idFromHandle("21"), host().idFromHandle("26")});
  ASSERT_EQ(copies.size(), 2u);
  std::string first = dxftest::scratchPath("again-1.dxf");
  std::string second = dxftest::scratchPath("again-2.dxf");
  std::string third = dxftest::scratchPath("again-3.dxf");
  ASSERT_TRUE(host().saveDrawingFile(first, error)) << error.text();
  ASSERT_TRUE(host().saveDrawingFile(second, error)) << error.text();
  EXPECT_EQ(dxftest::readFile(first), dxftest::readFile(second));
  // What the host gives as an entity's groups is what the save wrote for
  // it: a line and its xdata, a polyline and its vertices, a copy.
  const std::string saved = dxftest::readFile(first);
  for (AcDbObjectId id : {host().idFromHandle("20"), host().idFromHandle("21"),
                          host().idFromHandle("26"), copies[1].second}) {
    std::string groups;
    text::Error problem;
    ASSERT_TRUE(host().entityGroups(id, groups, problem)) << problem.message;
    EXPECT_NE(saved.find(groups), std::string::npos) << groups;
  }
  std::string groups;
  text::Error problem;
  EXPECT_FALSE(host().entityGroups(host().namedObjectsDictionary("user"),
                                   groups, problem));
  EXPECT_NE(problem.message.find("DICTIONARY) is no live entity"),
            std::string::npos)
      << problem.message;
  ASSERT_TRUE(host().openDrawingFile(first, "reopened", error)) << error.text();
  ASSERT_TRUE(host().saveDrawingFile(third, error)) << error.text();
  EXPECT_EQ(dxftest::readFile(first), dxftest::readFile(third));
  // The untouched real keeps its spelling; the copied polyline brought
  // vertices of its own, owned by it.
  std::string text = dxftest::readFile(first);
  EXPECT_NE(text.find("1040\n2.50\n"), std::string::npos);
  if (dxftest::ezdxfAvailable()) {
    json seen = dumpOf(first);
    ASSERT_TRUE(seen.contains("objects"));
    expectSound(seen);
    int vertices = 0;
    const json& raw = seen["raw"]["objects"];
    for (auto it = raw.begin(); it != raw.end(); ++it) {
      if (it.value()[0] != "VERTEX") continue;
      ++vertices;
      std::string owner;
      for (const json& tag : it.value()[1])
        if (tag[0] == 330 && owner.empty()) owner = tag[1];
      EXPECT_EQ(raw[owner][0], "POLYLINE") << it.key();
    }
    EXPECT_EQ(vertices, 6);
  }
}

// A copy owns a copy of its source's extension dictionary: the saved file
// has one dictionary per entity, owned by and named by its own entity, both
// for an entity made here and for one another program wrote.
TEST_F(DrawingFiles, EachCopyOwnsAnExtensionDictionaryOfItsOwn) {
  REQUIRE_EZDXF();
  text::Error error;
  const AcDbObjectId line = add("LINE");
  const AcDbObjectId dictionary = host().addExtensionDictionary(line);
  ASSERT_FALSE(host().addToDictionary(dictionary, "DATA", "XRECORD").isNull());
  std::string written = dxftest::scratchPath("xdict-in.dxf");
  bool ok = false;
  const std::string fileLine =
      dxftest::runDrawingsScript("xdict " + written, ok);
  ASSERT_TRUE(ok) << fileLine;
  ASSERT_TRUE(host().openDrawingFile(written, "other", error)) << error.text();

  for (const std::string name : {"main", "other"}) {
    SCOPED_TRACE(name);
    host().useDrawing(name);
    const AcDbObjectId source = name == "main"
                                    ? line
                                    : host().idFromHandle(fileLine.substr(
                                          0, fileLine.find_first_of("\r\n")));
    const sim::Created copies = host().runCommand("COPY", {source});
    ASSERT_EQ(copies.size(), 3u);
    const std::string path = dxftest::scratchPath("xdict-" + name + ".dxf");
    ASSERT_TRUE(host().saveDrawingFile(path, error)) << error.text();
    json seen = dumpOf(path);
    ASSERT_TRUE(seen.contains("objects"));
    expectSound(seen);
    const json& objects = seen["objects"];
    std::set<std::string> dictionaries, records;
    for (const AcDbObjectId entity : {source, copies[0].second}) {
      const json& e = objects[host().handleText(entity)];
      ASSERT_TRUE(e.contains("xdict")) << e;
      const std::string xdict = e["xdict"];
      EXPECT_EQ(objects[xdict]["owner"], host().handleText(entity));
      const std::string record = objects[xdict]["entries"]["DATA"];
      EXPECT_EQ(objects[record]["owner"], xdict);
      dictionaries.insert(xdict);
      records.insert(record);
    }
    EXPECT_EQ(dictionaries.size(), 2u);
    EXPECT_EQ(records.size(), 2u);
  }
}

// Text pasted into a drawing of another encoding reads back as it was
// written: the entity's own text and its layer name go out in the encoding
// of the file saved, what that cannot hold as \U+XXXX. Both ways: the UTF-8
// of a newer version into the code page of an older one, and back.
TEST_F(DrawingFiles, TextPastedBetweenEncodingsReadsBackAsItWas) {
  REQUIRE_EZDXF();
  for (const std::pair<std::string, std::string> way :
       {std::make_pair("R2018", "R2000"), std::make_pair("R2000", "R2018")}) {
    SCOPED_TRACE(way.first + " into " + way.second);
    text::Error error;
    json made[2];
    std::string names[2] = {"from" + way.first, "into" + way.second};
    for (int i = 0; i < 2; ++i) {
      const std::string& version = i == 0 ? way.first : way.second;
      const std::string path = dxftest::scratchPath(names[i] + ".dxf");
      bool ok = false;
      const std::string printed =
          dxftest::runDrawingsScript("encoded " + version + " " + path, ok);
      ASSERT_TRUE(ok) << printed;
      made[i] = json::parse(printed);
      ASSERT_TRUE(host().openDrawingFile(path, names[i], error))
          << error.text();
    }
    host().useDrawing(names[0]);
    const sim::Created copied = host().runCommand(
        "COPYCLIP", {host().idFromHandle(made[0]["text"].get<std::string>()),
                     host().idFromHandle(made[0]["mtext"].get<std::string>())});
    ASSERT_EQ(copied.size(), 2u);
    host().useDrawing(names[1]);
    const sim::Created pasted = host().runCommand("PASTECLIP", {});
    ASSERT_EQ(pasted.size(), 2u);
    const std::string out = dxftest::scratchPath(names[1] + "-pasted.dxf");
    ASSERT_TRUE(host().saveDrawingFile(out, error)) << error.text();

    bool ok = false;
    const std::string printed = dxftest::runDrawingsScript("texts " + out, ok);
    ASSERT_TRUE(ok) << printed;
    const json seen = json::parse(printed);
    std::multiset<json> expected, read;
    for (const json& texts : {made[0]["texts"], made[1]["texts"]})
      for (const char* kind : {"text", "mtext"})
        expected.insert(json::array({texts[kind], texts["layer"]}));
    for (auto it = seen.begin(); it != seen.end(); ++it) read.insert(*it);
    EXPECT_EQ(read, expected) << seen;
    host().closeDrawing(names[0]);
    host().closeDrawing(names[1]);
  }
}

}  // namespace
