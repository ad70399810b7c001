// A running session: the simulated host, the labels given so far, and the
// application of one parsed line at a time.
#ifndef TOOLS_CADSIM_SESSION_H
#define TOOLS_CADSIM_SESSION_H

#include <ostream>
#include <string>
#include <vector>

#include "host/sim/host.h"
#include "tools/cadsim/label_table.h"
#include "tools/cadsim/run_session.h"
#include "tools/cadsim/statement.h"

namespace cadsim {

enum class StepResult {
  Done,
  ScriptError,        // a bad line: nothing of it was applied
  ExpectationFailed,  // an `expect` line did not hold
};

// What an applied line did beyond its own words.
struct LineEffects {
  // The objects the line named, resolved: its selection, or the object an
  // `xdata` or `erase` line acts on.
  std::vector<AcDbObjectId> named;
  // (source, new object) pairs the host made: clones and pieces.
  sim::Created created;
};

// Told of every line a Session hands to its handlers: before the line
// touches the host, and after, with the result. Checkers of generated
// sessions follow the session through it.
class SessionObserver {
 public:
  virtual ~SessionObserver() = default;
  virtual void willApply(const Statement& statement) = 0;
  // EFFECTS are filled only when RESULT is Done.
  virtual void applied(const Statement& statement, StepResult result,
                       const LineEffects& effects) = 0;
};

class Session {
 public:
  Session(sim::Host& host, const SessionOptions& options, std::ostream& out);

  // Applies one line. On anything but Done, ERROR says why, with the
  // statement's line. A ScriptError leaves the session as it was: the
  // runner stops there, while a caller replaying generated lines may pass
  // over a line that no longer applies (its object erased, or never made
  // because an earlier line was left out) and go on with the next.
  StepResult apply(const Statement& statement, text::Error& error);
  // Tells OBSERVER (null: nobody) of every line from now on.
  void setObserver(SessionObserver* observer) { observer_ = observer; }
  // Writes command-line text the host gained since the last call.
  void echoCommandLine();
  bool checkFailed() const { return checkFailed_; }

  sim::Host& host() { return host_; }
  const LabelTable& labels() const { return labels_; }

 private:
  // Resolves a label (or #HEX in the current drawing) to a live id.
  bool resolve(const std::string& label, AcDbObjectId& id,
               text::Error& error) const;
  // Resolves a selection: every label in the current drawing, not erased,
  // none twice.
  bool resolveSelection(const std::vector<std::string>& labels,
                        std::vector<AcDbObjectId>& ids,
                        text::Error& error) const;
  // Gives the objects a call created their clone labels.
  void labelCreated(const sim::Created& created);
  // A file named by the script: relative paths start at the script's
  // folder.
  std::string filePath(const std::string& path) const;
  static bool isFolder(const std::string& path);
  // False, with ERROR set, when OBJECTS more would pass the session's
  // budget.
  bool affords(long objects, text::Error& error) const;
  // The label an object is known by: its own, or #HEX.
  std::string displayLabel(AcDbObjectId id) const;

  // One handler per verb: ERROR is set on anything but Done.
  using Handler = StepResult (Session::*)(const Statement&, text::Error&);
  StepResult applyDrawing(const Statement& s, text::Error& error);
  StepResult applyClose(const Statement& s, text::Error& error);
  StepResult applyAdd(const Statement& s, text::Error& error);
  StepResult applyXdata(const Statement& s, text::Error& error);
  StepResult applyRegapp(const Statement& s, text::Error& error);
  StepResult applyErase(const Statement& s, text::Error& error);
  StepResult applySelection(const Statement& s, text::Error& error);
  bool takesWhatItIsGiven(const Statement& s,
                          const std::vector<AcDbObjectId>& ids,
                          text::Error& error) const;
  StepResult applyBegin(const Statement& s, text::Error& error);
  StepResult applyEnd(const Statement& s, text::Error& error);
  StepResult applyLisp(const Statement& s, text::Error& error);
  StepResult applyLoad(const Statement& s, text::Error& error);
  StepResult applyUnload(const Statement& s, text::Error& error);
  StepResult applyHost(const Statement& s, text::Error& error);
  StepResult applyOpen(const Statement& s, text::Error& error);
  StepResult applySave(const Statement& s, text::Error& error);
  StepResult applyFault(const Statement& s, text::Error& error);
  StepResult applyList(const Statement& s, text::Error& error);
  StepResult applyDump(const Statement& s, text::Error& error);
  StepResult applyCheck(const Statement& s, text::Error& error);
  StepResult applyExpect(const Statement& s, text::Error& error);
  StepResult applyEcho(const Statement& s, text::Error& error);
  StepResult applyExpectation(const Expectation& e, text::Error& error);
  bool tagOf(const TagRef& ref, std::string& tag, text::Error& error) const;

  sim::Host& host_;
  SessionOptions options_;
  std::ostream& out_;
  LabelTable labels_;
  std::size_t echoedLines_ = 0;
  bool checkFailed_ = false;
  // Objects the session's lines made, its own and the host's clones and
  // pieces and what `open` read: the budget counts them.
  long objectsMade_ = 0;
  SessionObserver* observer_ = nullptr;
  LineEffects effects_;  // of the line being applied
  int lispRunning_ = 0;  // LISP evaluations begun and not yet ended
};

}  // namespace cadsim

#endif
