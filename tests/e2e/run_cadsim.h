// Runs sessions for the end-to-end tests: through the built `cadsim`
// program (as a person would) or through the engine in process.
#ifndef TESTS_E2E_RUN_CADSIM_H
#define TESTS_E2E_RUN_CADSIM_H

#include <string>
#include <vector>

struct RunResult {
  int status = -1;
  std::string out;
  std::string err;
};

// Runs the cadsim program with ARGS; SCRIPT, when given, goes to its
// standard input.
RunResult runCadsimProgram(const std::string& args,
                           const std::string* script = nullptr);
// The same with a copy of the program at PROGRAM.
RunResult runCadsimProgramAt(const std::string& program,
                             const std::string& args,
                             const std::string* script = nullptr);
// Runs SCRIPT through the engine with the built module.
RunResult runInProcess(const std::string& script, bool loadModule = true);

// The lines of TEXT, without their ends.
std::vector<std::string> linesOf(const std::string& text);
std::string readFile(const std::string& path);

#endif
