// cadsim: replays a session script on the simulated host with the plug-in
// loaded from its file, as a person would drive the real host.
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#if defined(_WIN32)
#include <windows.h>
#endif

#include "text/console.h"
#include "text/error.h"
#include "text/file_path.h"
#include "tools/cadsim/run_session.h"

namespace {

const char kUsage[] =
    "usage: cadsim [--module PATH] [--no-module] [--object-budget N]\n"
    "              [--html PAGE] [SCRIPT]\n"
    "       cadsim --version\n"
    "  Replays SCRIPT (standard input when absent or \"-\") on a simulated\n"
    "  host that starts with drawing \"main\" and the plug-in loaded.\n"
    "  --module PATH  load this plug-in file instead of the one installed or\n"
    "                 built with the runner\n"
    "  --no-module    start with no plug-in loaded (the `load` verb loads it)\n"
    "  --object-budget N  let the script's lines make at most N objects in\n"
    "                 all (default 5000000)\n"
    "  --html PAGE    also write PAGE, one HTML file that needs nothing else:\n"
    "                 each line with what it printed, a picture of the parts\n"
    "                 of every drawing a line changed, where the run failed\n"
    "Exit status: 0 done, 1 a check or expectation failed, 2 a bad script\n"
    "or bad arguments.\n";

std::filesystem::path executablePath(const char* argv0) {
#if defined(_WIN32)
  // A folder deep enough passes MAX_PATH; the call says so by filling the
  // whole buffer.
  for (DWORD size = MAX_PATH; size <= 32768; size *= 2) {
    std::wstring buffer(size, L'\0');
    const DWORD length = GetModuleFileNameW(nullptr, &buffer[0], size);
    if (length == 0) break;
    if (length < size) {
      buffer.resize(length);
      // The \\?\ form the loader may report is no part of the folder's name.
      if (buffer.compare(0, 8, L"\\\\?\\UNC\\") == 0)
        buffer.replace(0, 8, L"\\\\");
      else if (buffer.compare(0, 4, L"\\\\?\\") == 0)
        buffer.erase(0, 4);
      return std::filesystem::path(buffer);
    }
  }
#else
  std::error_code ec;
  std::filesystem::path self =
      std::filesystem::read_symlink("/proc/self/exe", ec);
  if (!ec) return self;
#endif
  return std::filesystem::path(argv0 ? argv0 : "");
}

// The plug-in beside the runner wins (the Windows layout, or a copy put
// there by hand), then where an installation puts it relative to the
// runner's folder, then, for a runner in its build folder, where the build
// made it. Every place is relative to the runner, so a runner moved to
// another machine never reaches for a folder of the one that built it.
// With none there the first is named, for the load error to show.
std::string defaultModulePath(const char* argv0) {
  const std::filesystem::path folder = executablePath(argv0).parent_path();
  const std::string file = std::string("qormplivet") + PLIVET_MODULE_SUFFIX;
  const std::filesystem::path places[] = {
      folder / file,
      folder / PLIVET_INSTALLED_MODULE_DIR / file,
#ifdef PLIVET_BUILD_TREE_MODULE_DIR
      folder / PLIVET_BUILD_TREE_MODULE_DIR / file,
#endif
  };
  for (const std::filesystem::path& place : places) {
    std::string path = text::utf8FromPath(place.lexically_normal());
    if (text::isFile(path)) return path;
  }
  return text::utf8FromPath(places[0]);
}

bool parseBudget(const std::string& text, long& budget) {
  if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos)
    return false;
  errno = 0;
  const long value = std::strtol(text.c_str(), nullptr, 10);
  if (errno != 0 || value < 1) return false;
  budget = value;
  return true;
}

int usageError(const std::string& message) {
  std::cerr << "cadsim: " << message << '\n' << kUsage;
  return cadsim::kExitScriptError;
}

}  // namespace

int main(int argc, char** argv) {
  text::useBytesInUtf8Out();
  const std::vector<std::string> args = text::utf8Arguments(argc, argv);
  const int count = static_cast<int>(args.size());
  cadsim::SessionOptions options;
  std::string modulePath;
  std::string scriptPath;
  bool haveScript = false;
  for (int i = 0; i < count; ++i) {
    const std::string& arg = args[i];
    if (arg == "--help" || arg == "-h") {
      std::cout << kUsage;
      return cadsim::kExitOk;
    } else if (arg == "--version") {
      std::cout << "cadsim " PLIVET_VERSION "\n";
      return cadsim::kExitOk;
    } else if (arg == "--module") {
      if (i + 1 >= count) return usageError("--module needs a path");
      modulePath = args[++i];
      if (modulePath.empty()) return usageError("--module needs a path");
    } else if (arg.rfind("--module=", 0) == 0) {
      modulePath = arg.substr(9);
      if (modulePath.empty()) return usageError("--module needs a path");
    } else if (arg == "--object-budget") {
      if (i + 1 >= count || !parseBudget(args[++i], options.objectBudget))
        return usageError("--object-budget needs a whole number from 1 to " +
                          std::to_string(std::numeric_limits<long>::max()));
    } else if (arg == "--html") {
      if (i + 1 >= count || args[i + 1].empty())
        return usageError("--html needs a path");
      options.htmlPage = args[++i];
    } else if (arg.rfind("--html=", 0) == 0) {
      options.htmlPage = arg.substr(7);
      if (options.htmlPage.empty()) return usageError("--html needs a path");
    } else if (arg == "--no-module") {
      options.loadModule = false;
    } else if (arg.size() > 1 && arg[0] == '-') {
      return usageError("unknown option " + arg);
    } else if (haveScript) {
      return usageError("more than one script given");
    } else {
      scriptPath = arg;
      haveScript = true;
    }
  }
  options.modulePath = modulePath.empty()
                           ? defaultModulePath(argc > 0 ? argv[0] : nullptr)
                           : modulePath;

  std::string script;
  if (!haveScript || scriptPath == "-") {
    std::ostringstream input;
    input << std::cin.rdbuf();
    script = input.str();
  } else {
    text::Error error;
    if (!text::readWholeFile(scriptPath, script, error)) {
      std::cerr << "cadsim: cannot read " << scriptPath << ": " << error.message
                << '\n';
      return cadsim::kExitScriptError;
    }
  }
  if (haveScript && scriptPath != "-") {
    options.scriptName = scriptPath;
    options.baseDirectory =
        text::utf8FromPath(text::pathFromUtf8(scriptPath).parent_path());
  }
  const int status = cadsim::runSession(script, options, std::cout, std::cerr);
  std::cout.flush();
  return status;
}
