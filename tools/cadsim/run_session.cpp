// A whole run: parse everything, start the host with drawing "main" and the
// plug-in, then apply line by line until the end or the first bad line.
#include "tools/cadsim/run_session.h"

#include <vector>

#include "host/sim/host.h"
#include "tools/cadsim/session.h"
#include "tools/cadsim/statement.h"

namespace cadsim {

int runSession(const std::string& script, const SessionOptions& options,
               std::ostream& out, std::ostream& err) {
  std::vector<Statement> statements;
  text::Error error;
  if (!parseScript(script, statements, error)) {
    err << error.text() << '\n';
    return kExitScriptError;
  }

  sim::Host host;
  host.useDrawing("main");
  Session session(host, options, out);
  if (options.loadModule) {
    if (!host.loadModule(options.modulePath, error)) {
      err << "cannot load module \"" << options.modulePath
          << "\": " << error.text() << '\n';
      return kExitScriptError;
    }
    session.echoCommandLine();
  }

  for (const Statement& statement : statements) {
    const StepResult result = session.apply(statement, error);
    session.echoCommandLine();
    if (result == StepResult::Done) continue;
    out.flush();
    err << error.text();
    // Only running found this: unlike a syntax error, it leaves the work
    // of the lines before it done (when there are any).
    if (result == StepResult::ScriptError && &statement != &statements.front())
      err << " (the lines before it have run)";
    err << '\n';
    return result == StepResult::ScriptError ? kExitScriptError
                                             : kExitChecksFailed;
  }
  return session.checkFailed() ? kExitChecksFailed : kExitOk;
}

}  // namespace cadsim
