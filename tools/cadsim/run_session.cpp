// A whole run: parse everything, start the host with drawing "main" and the
// plug-in, then apply line by line until the end or the first bad line.
#include "tools/cadsim/run_session.h"

#include <fstream>
#include <vector>

#include "host/sim/host.h"
#include "tools/cadsim/session.h"
#include "tools/cadsim/session_page.h"
#include "tools/cadsim/statement.h"
#include "tools/cadsim/tokenizer.h"

namespace cadsim {

namespace {

// The run itself; PAGE, when there is one, follows it and hears where it
// stopped.
int runStatements(const std::vector<Statement>& statements,
                  const SessionOptions& options, std::ostream& out,
                  std::ostream& err, SessionPage* page) {
  text::Error error;
  sim::Host host;
  host.useDrawing("main");
  Session session(host, options, out);
  if (page != nullptr) {
    page->follow(host);
    session.setObserver(page);
  }
  if (options.loadModule) {
    if (!host.loadModule(options.modulePath, error)) {
      error.message =
          "cannot load module \"" + options.modulePath + "\": " + error.text();
      error.line = 0;
      err << error.message << '\n';
      if (page != nullptr) page->stopped(SessionPage::Stop::NotStarted, error);
      return kExitScriptError;
    }
    session.echoCommandLine();
  }

  for (const Statement& statement : statements) {
    const StepResult result = session.apply(statement, error);
    session.echoCommandLine();
    if (result == StepResult::Done) continue;
    out.flush();
    if (page != nullptr)
      page->stopped(result == StepResult::ExpectationFailed
                        ? SessionPage::Stop::Expectation
                        : SessionPage::Stop::Error,
                    error);
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

}  // namespace

int runSession(const std::string& script, const SessionOptions& options,
               std::ostream& out, std::ostream& err) {
  // A UTF-16 script is read as its UTF-8 text.
  std::string decoded;
  std::vector<Statement> statements;
  text::Error error;
  const bool parsed =
      decodeUtf16Script(script, decoded, error) &&
      parseScript(decoded.empty() ? script : decoded, statements, error);
  if (!parsed) err << error.text() << '\n';
  if (options.htmlPage.empty())
    return parsed ? runStatements(statements, options, out, err, nullptr)
                  : kExitScriptError;

  std::ofstream file;
  text::Error problem;
  if (!openPageFile(options.htmlPage, file, problem)) {
    err << "cadsim: " << problem.message << '\n';
    return kExitScriptError;
  }
  SessionPage page(script, options.scriptName);
  int status = kExitScriptError;
  if (parsed) {
    PageOutput tee(out.rdbuf(), page);
    std::ostream both(&tee);
    status = runStatements(statements, options, both, err, &page);
    both.flush();
  } else {
    page.stopped(SessionPage::Stop::NotParsed, error);
  }
  if (!page.write(file, options.htmlPage, status, problem)) {
    err << "cadsim: " << problem.message << '\n';
    if (status == kExitOk) status = kExitScriptError;
  }
  return status;
}

}  // namespace cadsim
