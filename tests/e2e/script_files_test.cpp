// Every example session and every scenario script, run through the built
// program with the built module: each must end cleanly, its own `expect`
// lines holding and its `check` finding no violations.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>

#include "tests/e2e/run_cadsim.h"

namespace {

std::vector<std::string> sessionFiles() {
  std::vector<std::string> files;
  for (const char* dir : {"examples", "tests/scripts"}) {
    const std::filesystem::path path =
        std::filesystem::path(PLIVET_SOURCE_DIR) / dir;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(path, ec))
      if (entry.path().extension() == ".cadsim")
        files.push_back(entry.path().string());
  }
  std::sort(files.begin(), files.end());
  return files;
}

class SessionFile : public ::testing::TestWithParam<std::string> {};

TEST_P(SessionFile, RunsCleanWithTheModuleLoadedFromItsFile) {
  const std::string path = GetParam();
  const RunResult run = runCadsimProgram("'" + path + "'");
  EXPECT_EQ(run.status, 0) << run.err << run.out;
  EXPECT_EQ(run.err, "");
  const std::vector<std::string> lines = linesOf(run.out);
  int checks = 0;
  for (const std::string& line : lines) {
    if (line.rfind("check: ", 0) != 0) continue;
    ++checks;
    EXPECT_EQ(line, "check: no violations") << path;
  }
  EXPECT_GE(checks, 1) << path << " has no check line";
}

std::string testName(const ::testing::TestParamInfo<std::string>& info) {
  const std::filesystem::path path(info.param);
  std::string name =
      path.parent_path().filename().string() + "_" + path.stem().string();
  for (char& c : name)
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  return name;
}

INSTANTIATE_TEST_SUITE_P(All, SessionFile, ::testing::ValuesIn(sessionFiles()),
                         testName);

TEST(SessionFiles, AreThere) {
  // The demo and at least the scenarios: a vanished folder must not
  // pass as "nothing failed".
  EXPECT_GE(sessionFiles().size(), 10u);
}

}  // namespace
