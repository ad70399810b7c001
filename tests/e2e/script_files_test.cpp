// Every example session and every scenario script, run through the built
// program with the built module: each must end cleanly, its own `expect`
// lines holding and its `check` finding no violations.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <regex>

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

// The sessions the documentation points to, as examples or as the
// regression test of a fault, are among those run: renaming or deleting one
// must not pass as "nothing failed".
TEST(SessionFiles, AreThere) {
  const std::vector<std::string> files = sessionFiles();
  const std::regex named(R"((examples|tests/scripts)/[A-Za-z0-9_]+\.cadsim)");
  int mentions = 0;
  for (const char* document :
       {"README.md", "docs/reliability.md", "docs/windows.md"}) {
    const std::string text =
        readFile(std::string(PLIVET_SOURCE_DIR) + "/" + document);
    ASSERT_FALSE(text.empty()) << document;
    for (std::sregex_iterator it(text.begin(), text.end(), named), end;
         it != end; ++it) {
      ++mentions;
      const std::string path = std::string(PLIVET_SOURCE_DIR) + "/" + it->str();
      EXPECT_NE(std::find(files.begin(), files.end(), path), files.end())
          << document << " names " << it->str() << ", which is not run";
    }
  }
  EXPECT_GE(mentions, 5);
}

}  // namespace
