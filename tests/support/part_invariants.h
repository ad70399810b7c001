// What must hold after every step of a session, whatever the order of
// notifications or the host's failures: nothing left open or leaked, no part
// data lost, sources untouched, part records naming only their carriers.
#ifndef TESTS_SUPPORT_PART_INVARIANTS_H
#define TESTS_SUPPORT_PART_INVARIANTS_H

#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "host/sim/host.h"

// What a step did by itself, as the driver knows it; the module's own changes
// are what the checker finds beyond these.
struct StepFacts {
  // (source, new object) pairs the host made in the step.
  sim::Created created;
  // Objects the user's own edit changed (an `xdata` line).
  std::set<AcDbObjectId> edited;
  // Objects the step itself may erase (an `erase` line, EXPLODE's entities).
  std::set<AcDbObjectId> erasable;
  // Drawings where an entity appended in this step may lose its first part
  // tag (an offset reactor was attached there during the step).
  std::set<std::string> stripDrawings;
  // Operations a fault was injected into during the step.
  std::set<std::string> faultedOperations;
  // Operations failed earlier whose effects may surface only now (a reactor
  // the host refused silently is removed later).
  std::set<std::string> earlierFaults;
  // A drawing the step closed: its objects go with it.
  std::string closedDrawing;
  // The tag each clone flushed in the step was filed under, as the watch
  // model saw it: with a repeated copy, a later clone may be made from a
  // source already retagged in the same step.
  std::map<AcDbObjectId, std::string> filedUnder;
};

// The clones the linked-in module still holds in its pending groups: the
// only existing objects it may change in the next step.
std::set<AcDbObjectId> pendingClonesOfModule();
// Drawings where the linked-in module holds a serving (not idle) offset
// reactor now, the one attached most recently last.
std::vector<std::string> offsetDrawingsOfModule(const sim::Host& host);

// The first part tag in a list of xdata blocks, or "".
std::string partTagIn(const std::vector<sim::XdataBlock>& xdata);

class PartInvariants {
 public:
  explicit PartInvariants(sim::Host& host) : host_(host) {}

  // Takes the state before a step. mayChange: existing objects the module
  // may retag in the step (its pending clones).
  void before(const std::set<AcDbObjectId>& mayChange);
  // Audits the host and checks the step. Returns one line per broken
  // invariant, empty when all hold. Violations the host reports are taken
  // (cleared) so that the next step starts clean.
  std::vector<std::string> after(const StepFacts& facts);
  // The state after() saw is reused by the next before(); call this when the
  // host was changed in between.
  void forget() { haveBefore_ = false; }

  // The retags the last after() saw: object -> (old tag, new tag).
  const std::map<AcDbObjectId, std::pair<std::string, std::string>>& retags()
      const {
    return retags_;
  }
  // An object's xdata as the last after() saw it.
  std::vector<sim::XdataBlock> xdataOf(AcDbObjectId id) const;
  // Whether APP was known in DRAWING when the step the last after() checked
  // flushed its groups: registered before the step, or brought in by a copy
  // the step made (a deep clone brings the applications its copies carry).
  bool knewApp(const std::string& drawing, const std::string& app) const;

 private:
  struct ObjectState {
    std::string drawing;
    std::string handle;
    std::string type;
    bool erased = false;
    std::vector<sim::XdataBlock> xdata;
  };
  struct DrawingState {
    std::set<std::string> regapps;
    std::map<std::string, sim::Items> records;
    std::map<std::string, AcDbObjectId> byHandle;
  };
  struct State {
    std::map<AcDbObjectId, ObjectState> objects;
    std::map<std::string, DrawingState> drawings;
  };
  enum class Change { None, Retag, Strip, Other };

  State take() const;
  static Change classify(const std::vector<sim::XdataBlock>& was,
                         const std::vector<sim::XdataBlock>& now,
                         std::string& oldTag, std::string& newTag);
  void checkViolations(const StepFacts& facts,
                       std::vector<std::string>& failures);
  std::vector<sim::XdataBlock> untranslated(
      const State& now, const ObjectState& source,
      std::vector<sim::XdataBlock> copy, const std::string& copyDrawing) const;
  void checkObjects(const State& now, const StepFacts& facts,
                    std::vector<std::string>& failures);
  void checkRecords(const State& now, const StepFacts& facts,
                    std::vector<std::string>& failures) const;

  sim::Host& host_;
  State before_;
  bool haveBefore_ = false;
  std::set<AcDbObjectId> mayChange_;
  std::map<AcDbObjectId, std::pair<std::string, std::string>> retags_;
  // Folded application names per drawing, as the step's flush found them.
  std::map<std::string, std::set<std::string>> knownApps_;
};

#endif
