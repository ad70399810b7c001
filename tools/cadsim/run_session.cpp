// A whole run: parse everything, start the host with drawing "main" and the
// plug-in, then apply line by line until the end or the first bad line.
#include "tools/cadsim/run_session.h"

#include <vector>

#include "host/sim/host.h"
#include "tools/cadsim/session.h"
#include "tools/cadsim/statement.h"
#include "tools/cadsim/tokenizer.h"

namespace cadsim {

int runSession(const std::string& script, const SessionOptions& options,
               std::ostream& out, std::ostream& err) {
  std::string decoded;
  text::Error problem;
  if (!decodeUtf16Script(script, decoded, problem)) {
    err << problem.text() << '\n';
    return kExitScriptError;
  }
  std::vector<Statement> statements;
  std::string error;
  if (!parseScript(decoded.empty() ? script : decoded, statements, error)) {
    err << error << '\n';
    return kExitScriptError;
  }

  sim::Host host;
  host.useDrawing("main");
  Session session(host, options, out);
  if (options.loadModule) {
    if (!host.loadModule(options.modulePath, error)) {
      err << "cannot load module \"" << options.modulePath << "\": " << error
          << '\n';
      return kExitScriptError;
    }
    session.echoCommandLine();
  }

  for (const Statement& statement : statements) {
    std::string message;
    const StepResult result = session.apply(statement, message);
    session.echoCommandLine();
    if (result == StepResult::Done) continue;
    out.flush();
    err << "line " << statement.line << ": " << message;
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
