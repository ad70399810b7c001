// Arbitrary bytes as a session script, read and run by the runner's engine
// with the module loaded from its file. Crashes, sanitizer reports and exit
// statuses outside the runner's three are findings; so is a violation the
// host reports in a session that armed no fault.
#include <dlfcn.h>

#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "tools/cadsim/run_session.h"
#include "tools/cadsim/statement.h"

namespace {

// What a script may not do here: name files to load, open or write.
bool touchesFiles(const std::vector<cadsim::Statement>& statements) {
  for (const cadsim::Statement& s : statements) {
    if (s.verb == cadsim::Verb::Load && !s.name.empty()) return true;
    if (s.verb == cadsim::Verb::Open || s.verb == cadsim::Verb::Save)
      return true;
  }
  return false;
}

bool armsFaults(const std::vector<cadsim::Statement>& statements) {
  for (const cadsim::Statement& s : statements)
    if (s.verb == cadsim::Verb::Fault) return true;
  return false;
}

// The script without its `expect` lines (a failed one stops the run) and
// with a `check` at the end. Line ends and blanks are the runner's: a lone
// carriage return ends a line, a byte-order mark opens none.
std::string checkedVariant(std::string script) {
  if (script.compare(0, 3, "\xEF\xBB\xBF") == 0) script.erase(0, 3);
  for (char& c : script)
    if (c == '\r') c = '\n';
  std::istringstream in(script);
  std::string line, out;
  while (std::getline(in, line)) {
    const std::size_t first = line.find_first_not_of(" \t");
    if (first != std::string::npos && line.compare(first, 6, "expect") == 0)
      continue;
    out += line + "\n";
  }
  return out + "check\n";
}

int run(const std::string& script, std::string& out) {
  cadsim::SessionOptions options;
  options.modulePath = PLIVET_MODULE_FILE;
  // Well inside libFuzzer's memory limit, yet past what any seed makes.
  options.objectBudget = 200000;
  std::ostringstream outStream, errStream;
  const int status = cadsim::runSession(script, options, outStream, errStream);
  if (status != cadsim::kExitOk && status != cadsim::kExitChecksFailed &&
      status != cadsim::kExitScriptError)
    std::abort();
  out = outStream.str();
  return status;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // Held open for the whole run: each session loads and unloads the module,
  // and mapping it afresh every time would hand the coverage counters a new
  // module per input.
  if (dlopen(PLIVET_MODULE_FILE, RTLD_NOW | RTLD_LOCAL) == nullptr)
    std::abort();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  const std::string script(reinterpret_cast<const char*>(data), size);
  std::vector<cadsim::Statement> statements;
  text::Error error;
  const bool parsed = cadsim::parseScript(script, statements, error);
  if (parsed && touchesFiles(statements)) return 0;
  std::string out;
  run(script, out);
  if (!parsed || armsFaults(statements)) return 0;
  // With no fault armed, the module must leave the host nothing to report.
  const std::string variant = checkedVariant(script);
  if (run(variant, out) == cadsim::kExitChecksFailed) std::abort();
  return 0;
}
