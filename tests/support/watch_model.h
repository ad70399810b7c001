// An independent model of what the command watcher should hold, driven by
// the same notifications the module gets: its flags, its pending groups and
// the drawings with an offset reactor, and which clones each flush must have
// given a tag of their own.
#ifndef TESTS_SUPPORT_WATCH_MODEL_H
#define TESTS_SUPPORT_WATCH_MODEL_H

#include <set>
#include <string>
#include <utility>
#include <vector>

#include "host/api/host_api.h"
#include "host/sim/host.h"

struct WatchState {
  bool exists = false;    // the module holds a watcher
  bool watching = false;  // ...and the editor calls it
  bool copy = false;
  bool explode = false;
  bool lisp = false;
  bool foreign = false;
  // Tag and clones, in the order tags were first met.
  std::vector<std::pair<std::string, std::vector<AcDbObjectId>>> pending;
  // Drawings with a serving offset reactor, the one attached last at the end.
  std::vector<std::string> offsetDrawings;

  bool operator==(const WatchState& o) const {
    return exists == o.exists && watching == o.watching && copy == o.copy &&
           explode == o.explode && lisp == o.lisp && foreign == o.foreign &&
           pending == o.pending && offsetDrawings == o.offsetDrawings;
  }
  std::string describe() const;
};

// The linked-in module's own state, in the model's terms.
WatchState watchStateOfModule(const sim::Host& host);

// Attached first to the host's editor, so it sees every notification before
// the module's watcher acts on it.
class WatchModel : public AcEditorReactor {
 public:
  explicit WatchModel(sim::Host& host) : host_(host) {}
  ~WatchModel() override;

  // Puts the model at the head of the editor's reactors, or takes it off,
  // without passing the host's fault points.
  void attach();
  void detach();

  WatchState& state() { return state_; }
  // Starts a step: forgets what the last one flushed.
  void beginStep();
  // Source tag and clones of every group flushed in this step, less the
  // clones of other drawings, which go back to pending.
  const std::vector<std::pair<std::string, std::vector<AcDbObjectId>>>&
  flushed() const {
    return flushed_;
  }
  // Drawings that had an offset reactor at some time in this step.
  const std::set<std::string>& offsetDrawingsSeen() const { return seen_; }
  // OFFSETs begun and not yet ended, watched or not: the most offset
  // reactors the module may have serving.
  int offsetsRunning() const { return offsetsRunning_; }

  // The plug-in's own commands and the loader, as the driver applies them.
  void watcherCreated();
  void watcherDestroyed();

  void endDeepClone(AcDbIdMapping& idMap) override;
  void commandWillStart(const ACHAR* cmdStr) override;
  void commandEnded(const ACHAR* cmdStr) override;
  void commandCancelled(const ACHAR* cmdStr) override;
  void commandFailed(const ACHAR* cmdStr) override;
  void lispWillStart(const ACHAR* firstLine) override;
  void lispEnded() override;
  void lispCancelled() override;
  void databaseToBeDestroyed(AcDbDatabase* dwg) override;

 private:
  void stopped(const std::string& name);
  void flush();
  void file(const std::string& tag, AcDbObjectId clone);

  sim::Host& host_;
  WatchState state_;
  std::vector<std::pair<std::string, std::vector<AcDbObjectId>>> flushed_;
  std::set<std::string> seen_;
  int offsetsRunning_ = 0;
};

#endif
