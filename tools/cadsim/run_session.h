// Entry point of the runner's engine: replays one session script on a fresh
// simulated host, in process, so tests and fuzzers can call it directly.
#ifndef TOOLS_CADSIM_RUN_SESSION_H
#define TOOLS_CADSIM_RUN_SESSION_H

#include <ostream>
#include <string>

#include "host/sim/host.h"

namespace cadsim {

struct SessionOptions {
  // The plug-in that `load` without a path, and the session start, load.
  std::string modulePath;
  // A plug-in linked into the program, loaded by `load` without a path in
  // place of modulePath (runSession loads modulePath at the start).
  sim::EntryPointFunction moduleEntry = nullptr;
  // False: the session starts with no plug-in loaded.
  bool loadModule = true;
  // Where relative paths in `load`, `open` and `save` start: the script's
  // folder. Empty: the working directory.
  std::string baseDirectory;
  // The most objects the lines may make in all: a few lines of COPY with
  // repeat= and EXPLODE multiply into more than memory holds.
  long objectBudget = 5000000;
  // Where to write the session's page (`--html`); empty: no page.
  std::string htmlPage;
  // What the page calls the script: its file, or standard input.
  std::string scriptName = "standard input";
};

// Exit statuses of a run.
enum ExitStatus {
  kExitOk = 0,
  kExitChecksFailed = 1,  // `check` found violations, or an `expect` failed
  kExitScriptError = 2    // the script (or the module file) is unusable
};

// Parses SCRIPT whole, then applies it line by line. Listings, dumps and
// the host's command line go to OUT; errors, "line N: message", to ERR.
// Makes its own simulated host, so none may be alive in the process.
int runSession(const std::string& script, const SessionOptions& options,
               std::ostream& out, std::ostream& err);

}  // namespace cadsim

#endif
