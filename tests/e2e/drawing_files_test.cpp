// `open` and `save`: drawings read from files go by their handles, their
// copies get clone labels, and what a session saves reads back whole, every
// xdata group code included.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "tests/dxf/dxf_test_support.h"
#include "tests/dxf/ezdxf_checks.h"
#include "tests/e2e/run_cadsim.h"

namespace {

const std::string kExample =
    std::string(PLIVET_SOURCE_DIR) + "/examples/parts.dxf";

TEST(DrawingFiles, SavedPartsReadBackInANewSession) {
  const std::string saved =
      (std::filesystem::temp_directory_path() /
       ("cadsim_e2e_saved_" +
        std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
        ".dxf"))
          .string();
  const RunResult first = runInProcess("open " + kExample +
                                       "\n"
                                       "command COPY #20 #21\n"
                                       "expect #20.1 tag @#20.1\n"
                                       "expect record @#20.1 #20.1 #21.1\n"
                                       "xdata #21 REALS 1040:-0.0 1040:1e-320\n"
                                       "save \"" +
                                       saved +
                                       "\"\n"
                                       "dump\n");
  ASSERT_EQ(first.status, 0) << first.err;
  const std::string dumpBefore = linesOf(first.out).back();

  // A second session opens the saved file under a name of its choosing.
  const RunResult second = runInProcess("open \"" + saved +
                                        "\" again\n"
                                        "expect records 2\n"
                                        "expect record $20 #20 #21\n"
                                        "command COPY #20\n"
                                        "expect #20.1 tag @#20.1\n"
                                        "expect records 3\n"
                                        "check\n"
                                        "dump\n");
  std::filesystem::remove(saved);
  EXPECT_EQ(second.status, 0) << second.err;
  EXPECT_NE(dumpBefore.find("\"name\":\"parts\""), std::string::npos);
  // A negative zero and a subnormal come back as they were.
  EXPECT_NE(second.out.find("[[1040,-0.0],[1040,1e-320]]"), std::string::npos)
      << second.out;
}

TEST(DrawingFiles, EveryXdataCodeOfAnotherProgramsDrawingComesBackUnchanged) {
  REQUIRE_EZDXF();
  const std::string in = dxftest::scratchPath("e2e-tagged.dxf");
  const std::string out = dxftest::scratchPath("e2e-tagged-saved.dxf");
  bool ok = false;
  dxftest::runDrawingsScript("tagged " + in, ok);
  ASSERT_TRUE(ok);
  const RunResult run = runInProcess(
      "open \"" + in +
      "\"\n"
      "command COPY #31\n"
      "expect #31.1 tag @#31.1\n"
      "xdata #33 OTHERAPP 1004:00ff 1011:1,2 1012:0,0,-1 1013:0,1,0 "
      "1041:0.5 1042:4\n"
      "expect #33 xdata OTHERAPP 1004:00FF 1011:1,2,0 1012:0,0,-1 1013:0,1,0 "
      "1041:0.5 1042:4.0\n"
      "save \"" +
      out + "\"\ndump\n");
  ASSERT_EQ(run.status, 0) << run.err;
  const auto dump = nlohmann::json::parse(linesOf(run.out).back());
  std::string copy;
  for (const auto& object : dump["drawings"][1]["objects"])
    if (object["label"] == "#31.1") copy = object["handle"];
  ASSERT_FALSE(copy.empty());

  // The independent reader finds the copy's foreign xdata as the file had it
  // on its source, and the values the session wrote.
  const dxftest::json before = dxftest::dumpOf(in);
  const dxftest::json after = dxftest::dumpOf(out);
  ASSERT_TRUE(after.contains("objects"));
  dxftest::expectSound(after);
  auto otherApps = [](const dxftest::json& object) {
    for (const dxftest::json& block : object["xdata"])
      if (block[0] == "OTHERAPP") return block[1];
    return dxftest::json();
  };
  const dxftest::json source = otherApps(before["objects"]["31"]);
  ASSERT_EQ(source.size(), 16u);
  EXPECT_EQ(otherApps(after["objects"][copy]), source);
  EXPECT_EQ(after["raw"]["objects"]["31"], before["raw"]["objects"]["31"]);
  EXPECT_EQ(otherApps(after["objects"]["33"]),
            dxftest::json::parse(R"([[1004,"00FF"],[1011,[1.0,2.0,0.0]],)"
                                 R"([1012,[0.0,0.0,-1.0]],)"
                                 R"([1013,[0.0,1.0,0.0]],[1041,0.5],)"
                                 R"([1042,4.0]])"));
}

// What CI installs must be there under CI; elsewhere its rows are left out.
bool writerInstalled(const std::string& program) {
  if (std::system(("command -v " + program + " >/dev/null").c_str()) == 0)
    return true;
  const char* ci = std::getenv("CI");
  EXPECT_FALSE(ci != nullptr && std::string(ci) == "true")
      << program << " is needed: bash scripts/install-packages.sh test";
  return false;
}

// Model and paper space as the independent reader sees them: each entity's
// type, layer and xdata, in order.
dxftest::json spaces(const dxftest::json& seen) {
  dxftest::json out;
  for (const char* space : {"model", "paper"})
    for (const dxftest::json& handle : seen["spaces"][space]) {
      const dxftest::json& object = seen["objects"][handle.get<std::string>()];
      out[space].push_back(
          {object["type"], object.value("layer", ""), object["xdata"]});
    }
  return out;
}

// Drawings of R12 and R14, hand-written and from other programs, and one of
// a newer version: each opens, lists and saves, the older ones as AC1015
// with a word on the command line at the first save alone, and reads back
// in the independent reader with the same entities, layers and xdata. The
// same file read twice is given the same handles: the saves are the same.
TEST(DrawingFiles, DrawingsOfOtherProgramsAndOlderVersionsSaveAsTheyWere) {
  REQUIRE_EZDXF();
  struct Row {
    const char* name;
    const char* made;  // drawings.py's arguments, less the output
    const char* writer;
    const char* version;
    const char* savedAs;
  };
  const Row rows[] = {
      {"r12", "r12", "", "AC1009", "AC1015"},
      {"r14", "r14", "", "AC1014", "AC1015"},
      {"pstoedit-r12", "writer pstoedit-r12", "pstoedit", "AC1009", "AC1015"},
      {"pstoedit-r14", "writer pstoedit-r14", "pstoedit", "AC1014", "AC1015"},
      {"gdal", "writer gdal", "ogr2ogr", "AC1018", "AC1018"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    if (*row.writer != 0 && !writerInstalled(row.writer)) continue;
    const std::string in = dxftest::scratchPath(std::string(row.name) + ".dxf");
    const std::string out[3] = {dxftest::scratchPath("saved-1.dxf"),
                                dxftest::scratchPath("saved-2.dxf"),
                                dxftest::scratchPath("saved-3.dxf")};
    bool ok = false;
    const std::string made =
        dxftest::runDrawingsScript(std::string(row.made) + " " + in, ok);
    ASSERT_TRUE(ok) << made;
    const RunResult run = runInProcess(
        "open \"" + in + "\" first\nlist\nsave \"" + out[0] + "\"\nsave \"" +
        out[1] + "\"\nopen \"" + in + "\" second\nsave \"" + out[2] + "\"\n");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("drawing first (current)\n  applications:"),
              std::string::npos)
        << run.out;
    const std::string upgraded = "\"" + in + "\" was " + row.version +
                                 "; saved as " + row.savedAs + "\n";
    std::vector<std::string> said;
    for (const std::string& line : linesOf(run.out))
      if (line.find(" saved as ") != std::string::npos) said.push_back(line);
    EXPECT_EQ(said.size(), row.version == row.savedAs ? 0u : 2u) << run.out;
    EXPECT_EQ(run.out.find(upgraded) == std::string::npos,
              row.version == row.savedAs)
        << run.out;
    EXPECT_EQ(readFile(out[1]), readFile(out[0]));
    EXPECT_EQ(readFile(out[2]), readFile(out[0]));

    const dxftest::json before = dxftest::dumpOf(in);
    const dxftest::json after = dxftest::dumpOf(out[0]);
    ASSERT_TRUE(after.contains("objects"));
    dxftest::expectSound(after);
    EXPECT_EQ(after["acadver"], row.savedAs);
    EXPECT_FALSE(spaces(before)["model"].empty());
    EXPECT_EQ(spaces(after), spaces(before));
  }
}

// The module at work on an R12 drawing: the copy of a tagged line is a new
// part, whose record the saved file holds. The line has no handle in the
// file; reading gives it F, after the tables and blocks.
TEST(DrawingFiles, ACopyInAnR12DrawingIsANewPartWithItsRecord) {
  REQUIRE_EZDXF();
  const std::string in = dxftest::scratchPath("tagged-r12.dxf");
  const std::string out = dxftest::scratchPath("tagged-r12-saved.dxf");
  bool ok = false;
  dxftest::runDrawingsScript("r12 " + in, ok);
  ASSERT_TRUE(ok);
  const RunResult run = runInProcess("open \"" + in +
                                     "\"\n"
                                     "expect #F xdata $10 1000:partA 1070:7\n"
                                     "command COPY #F\n"
                                     "expect #F.1 tag @#F.1\n"
                                     "expect record @#F.1 #F.1\n"
                                     "save \"" +
                                     out + "\"\ndump\n");
  ASSERT_EQ(run.status, 0) << run.err;
  const auto dump = nlohmann::json::parse(linesOf(run.out).back());
  std::string copy;
  for (const auto& object : dump["drawings"][1]["objects"])
    if (object["label"] == "#F.1") copy = object["handle"];
  ASSERT_FALSE(copy.empty());

  const dxftest::json seen = dxftest::dumpOf(out);
  ASSERT_TRUE(seen.contains("objects"));
  dxftest::expectSound(seen);
  const dxftest::json& objects = seen["objects"];
  const std::string parts =
      objects[seen["rootdict"].get<std::string>()]["entries"]["PVNR_HANDLE"];
  const std::string record = objects[parts]["entries"]["$" + copy];
  EXPECT_EQ(objects[record]["data"],
            dxftest::json::parse(R"([[102,"{MORVAT_PART"],[330,")" + copy +
                                 R"("],[102,"}"]])"));
  EXPECT_EQ(objects[copy]["xdata"][1],
            dxftest::json::parse(R"(["$)" + copy +
                                 R"(",[[1000,"partA"],[1070,7]]])"));
}

TEST(DrawingFiles, BadFilesAndNamesStopTheRun) {
  struct Case {
    std::string script;
    std::string message;
  };
  const Case cases[] = {
      {"open /nonexistent/drawing.dxf\n", "line 1: cannot open"},
      {"open " + kExample + " main\n", "already open"},
      {"open " + kExample + "\nopen " + kExample + "\n", "line 2: cannot open"},
      {"save /nonexistent/folder/out.dxf\n", "line 1: cannot save"},
      {"open\n", "line 1: open: file path missing"},
      {"save a.dxf b.dxf\n", "line 1: save: unexpected"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.script);
    const RunResult run = runInProcess(c.script + "echo after\n");
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    EXPECT_EQ(run.out.find("after"), std::string::npos);
  }
}

TEST(DrawingFiles, RelativePathsStartAtTheScriptsFolder) {
  // Run from another working directory: the example opens "parts.dxf"
  // beside itself.
  const RunResult run = runCadsimProgram("'" + std::string(PLIVET_SOURCE_DIR) +
                                         "/examples/open_drawing.cadsim'");
  EXPECT_EQ(run.status, 0) << run.err;
}

}  // namespace
