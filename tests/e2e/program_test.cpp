// The cadsim program itself: arguments, standard input, the module file,
// and the host's command line echoed once, in order.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <limits>

#include "tests/e2e/run_cadsim.h"

namespace {

TEST(Program, BadArgumentsPrintUsageAndExitTwo) {
  for (const char* args : {"--frobnicate", "a.cadsim b.cadsim", "--module",
                           "--module=", "--object-budget", "--object-budget 0",
                           "--object-budget 1e6", "--html", "--html="}) {
    SCOPED_TRACE(args);
    const RunResult run = runCadsimProgram(args);
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("usage: cadsim"), std::string::npos) << run.err;
    EXPECT_EQ(run.out, "");
  }
  // A number past the largest the runner holds says which that is.
  const RunResult huge =
      runCadsimProgram("--object-budget 99999999999999999999");
  EXPECT_EQ(huge.status, 2);
  EXPECT_NE(
      huge.err.find("cadsim: --object-budget needs a whole number from "
                    "1 to " +
                    std::to_string(std::numeric_limits<long>::max()) + "\n"),
      std::string::npos)
      << huge.err;
  const RunResult help = runCadsimProgram("--help");
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("usage: cadsim"), std::string::npos);
  const RunResult version = runCadsimProgram("--version");
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, std::string("cadsim ") + PLIVET_VERSION + "\n");
}

TEST(Program, UnreadableScriptOrModuleExitsTwo) {
  RunResult run = runCadsimProgram("/nonexistent/session.cadsim");
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.err,
            "cadsim: cannot read /nonexistent/session.cadsim: No such file or "
            "directory\n");
  run = runCadsimProgram(".");
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.err, "cadsim: cannot read .: is a directory\n");

  const std::string script = "echo hello\n";
  run = runCadsimProgram("--module /nonexistent/module.so", &script);
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("cannot load module"), std::string::npos) << run.err;
  EXPECT_EQ(run.out, "");
}

TEST(Program, ReadsStandardInputAndLoadsTheBuiltModule) {
  const std::string script =
      "expect loaded\nexpect commands QORMPLIVETSTART QORMPLIVETSTOP\n"
      "echo done\n";
  RunResult run = runCadsimProgram("", &script);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "done\n");
  run = runCadsimProgram("-", &script);
  EXPECT_EQ(run.status, 0) << run.err;
  run = runCadsimProgram(std::string("--module '") + PLIVET_MODULE_FILE + "'",
                         &script);
  EXPECT_EQ(run.status, 0) << run.err;
}

// An installed runner finds the module where the installation put it,
// relative to its own folder; with none there it names the place beside it,
// and never reaches for the folder it was built in.
TEST(Program, AnInstalledRunnerFindsTheInstalledModule) {
  const std::filesystem::path root =
      std::filesystem::temp_directory_path() /
      ("cadsim_installed_" + std::to_string(::getpid()));
  const std::filesystem::path bin = root / "bin";
  const std::filesystem::path moduleDir = bin / PLIVET_BIN_TO_MODULE;
  const std::filesystem::path module(PLIVET_MODULE_FILE);
  std::filesystem::create_directories(moduleDir);
  std::filesystem::copy_file(PLIVET_CADSIM_FILE, bin / "cadsim");
  std::filesystem::copy_file(module, moduleDir / module.filename());
  const std::string script = "expect loaded\n";
  const RunResult installed =
      runCadsimProgramAt((bin / "cadsim").string(), "", &script);
  std::filesystem::remove(moduleDir / module.filename());
  const RunResult missing =
      runCadsimProgramAt((bin / "cadsim").string(), "", &script);
  std::filesystem::remove_all(root);
  EXPECT_EQ(installed.status, 0) << installed.err;
  EXPECT_EQ(missing.status, 2);
  EXPECT_NE(missing.err.find("cannot load module \"" +
                             (bin / module.filename()).string() + "\""),
            std::string::npos)
      << missing.err;
}

// A bare file name is a path from the working directory (from the script's
// folder for `load` in a script file), never looked up along the system's
// library path.
TEST(Program, ABareModuleNameIsARelativePath) {
  const std::filesystem::path module(PLIVET_MODULE_FILE);
  const std::filesystem::path before = std::filesystem::current_path();
  std::filesystem::current_path(module.parent_path());
  const std::string bare = module.filename().string();
  const std::string script = "unload\nload " + bare + "\nexpect loaded\n";
  const RunResult viaOption = runCadsimProgram("--module " + bare, &script);
  const RunResult viaLoad = runCadsimProgram("", &script);
  std::filesystem::current_path(before);
  EXPECT_EQ(viaOption.status, 0) << viaOption.err;
  EXPECT_EQ(viaLoad.status, 0) << viaLoad.err;
}

TEST(Program, TheObjectBudgetCanBeSet) {
  const std::string script = "add A LINE\nadd B LINE\ncommand COPY A B\n";
  EXPECT_EQ(runCadsimProgram("--object-budget 4", &script).status, 0);
  const RunResult run = runCadsimProgram("--object-budget 3", &script);
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.err,
            "line 3: this line would make 2 objects, past the session's budget "
            "of 3 (2 made so far; --object-budget raises it) (the lines before "
            "it have run)\n");
}

TEST(Program, NoModuleStartsUnloadedAndLoadTakesTheDefault) {
  const std::string script =
      "expect unloaded\nexpect editor-reactors 0\nload\nexpect loaded\n"
      "expect editor-reactors 1\n";
  const RunResult run = runCadsimProgram("--no-module", &script);
  EXPECT_EQ(run.status, 0) << run.err;
}

TEST(Program, CommandLineLinesAreEchoedOnceInOrder) {
  const std::string script =
      "unload\necho before\ncommand QORMPLIVETSTART\necho between\n"
      "command QORMPLIVETSTOP\nlist\necho after\n";
  const RunResult run = runCadsimProgram("", &script);
  EXPECT_EQ(run.status, 0) << run.err;
  const std::vector<std::string> lines = linesOf(run.out);
  ASSERT_GE(lines.size(), 5u);
  EXPECT_EQ(lines[0], "before");
  EXPECT_EQ(lines[1], "Unknown command \"QORMPLIVETSTART\".");
  EXPECT_EQ(lines[2], "between");
  EXPECT_EQ(lines[3], "Unknown command \"QORMPLIVETSTOP\".");
  EXPECT_EQ(lines.back(), "after");
  int unknown = 0;
  for (const std::string& line : lines)
    unknown += line.rfind("Unknown command", 0) == 0;
  EXPECT_EQ(unknown, 2);
}

TEST(Program, CheckReportsViolationsAndExitsOne) {
  // A fault on every close leaves objects open in the module's hands: the
  // host reports them, the run goes on to its end and exits 1.
  const std::string script =
      "add L1 LINE\nxdata L1 $10 1000:\"a\"\nfault close persistent\n"
      "command COPY L1\nfault off\ncheck\necho after\n";
  const RunResult run = runCadsimProgram("", &script);
  EXPECT_EQ(run.status, 1) << run.out << run.err;
  EXPECT_NE(run.out.find("check: "), std::string::npos);
  EXPECT_EQ(run.out.find("check: no violations"), std::string::npos);
  EXPECT_NE(run.out.find("after"), std::string::npos);
}

}  // namespace
