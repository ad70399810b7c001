// `open` and `save`: drawings read from files go by their handles, their
// copies get clone labels, and what a session saves reads back whole.
#include <gtest/gtest.h>

#include <filesystem>

#include "run_cadsim.h"

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
                                        "check\n");
  std::filesystem::remove(saved);
  EXPECT_EQ(second.status, 0) << second.err;
  EXPECT_NE(dumpBefore.find("\"name\":\"parts\""), std::string::npos);
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
