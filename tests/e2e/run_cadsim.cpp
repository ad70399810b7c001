// Session runners for the end-to-end tests.
#include "tests/e2e/run_cadsim.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "tools/cadsim/run_session.h"

namespace {

// Files that carry a script and the output of one run; the folder goes when
// the test program ends.
class ScratchFolder {
 public:
  ScratchFolder()
      : dir_(std::filesystem::temp_directory_path() /
             ("cadsim_e2e_" + std::to_string(::getpid()))) {
    std::filesystem::create_directories(dir_);
  }
  ~ScratchFolder() {
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }
  std::string path(const std::string& name) {
    return (dir_ / (std::to_string(++serial_) + "_" + name)).string();
  }

 private:
  std::filesystem::path dir_;
  int serial_ = 0;
};

std::string scratchPath(const std::string& name) {
  static ScratchFolder folder;
  return folder.path(name);
}

std::string shellQuoted(const std::string& text) {
  std::string quoted = "'";
  for (char c : text)
    quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

}  // namespace

std::string readFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file),
                     std::istreambuf_iterator<char>());
}

std::vector<std::string> linesOf(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) lines.push_back(line);
  return lines;
}

RunResult runCadsimProgram(const std::string& args, const std::string* script) {
  return runCadsimProgramAt(PLIVET_CADSIM_FILE, args, script);
}

RunResult runCadsimProgramAt(const std::string& program,
                             const std::string& args,
                             const std::string* script) {
  const std::string outPath = scratchPath("out"), errPath = scratchPath("err");
  std::string command = shellQuoted(program) + " " + args;
  if (script != nullptr) {
    const std::string inPath = scratchPath("in");
    std::ofstream(inPath, std::ios::binary) << *script;
    command += " < " + shellQuoted(inPath);
  } else {
    command += " < /dev/null";
  }
  command += " > " + shellQuoted(outPath) + " 2> " + shellQuoted(errPath);
  const int raw = std::system(command.c_str());
  RunResult result;
  result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  result.out = readFile(outPath);
  result.err = readFile(errPath);
  return result;
}

RunResult runInProcess(const std::string& script, bool loadModule) {
  cadsim::SessionOptions options;
  options.modulePath = PLIVET_MODULE_FILE;
  options.loadModule = loadModule;
  std::ostringstream out, err;
  RunResult result;
  result.status = cadsim::runSession(script, options, out, err);
  result.out = out.str();
  result.err = err.str();
  return result;
}
