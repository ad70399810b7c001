// `open` and `save`: drawings read from files go by their handles, their
// copies get clone labels, and what a session saves reads back whole, every
// xdata group code included.
#include <gtest/gtest.h>

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
