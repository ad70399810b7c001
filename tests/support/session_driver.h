// Applies session steps to a simulated host with the module linked in, labels
// objects as the runner does, and checks every invariant after each step.
#ifndef TESTS_SUPPORT_SESSION_DRIVER_H
#define TESTS_SUPPORT_SESSION_DRIVER_H

#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "host/sim/host.h"
#include "tests/support/part_invariants.h"
#include "tests/support/session_step.h"
#include "tests/support/watch_model.h"
#include "tools/cadsim/label_table.h"

// A labelled object as the generator may pick it.
struct LabelledObject {
  std::string label;
  AcDbObjectId id;
  std::string drawing;
  bool userMade = false;  // made by `add`, not copied
};

// A further invariant a test may add: a message when it is broken, else "".
using ExtraInvariant = std::function<std::string(const sim::Host&)>;

class SessionDriver {
 public:
  // Makes the host (drawing "main", the module loaded), as the runner does;
  // loading is checked as the first step. armedByHost: the fault a running
  // sweep arms on every new host, if any.
  explicit SessionDriver(ExtraInvariant extra = nullptr,
                         const sim::FaultSpec* armedByHost = nullptr);
  ~SessionDriver();
  SessionDriver(const SessionDriver&) = delete;
  SessionDriver& operator=(const SessionDriver&) = delete;

  // Applies one step. A selection loses the labels that name no live object
  // of the current drawing; a step that then does not apply (an unknown
  // label, nothing selected where something must be) is skipped and changes
  // nothing, and apply is false. A broken invariant is left in failure().
  bool apply(SessionStep step);
  // The last step applied, as applied.
  const SessionStep& lastApplied() const { return lastApplied_; }
  const std::string& failure() const { return failure_; }

  sim::Host& host() { return *host_; }
  const sim::Host& host() const { return *host_; }
  const cadsim::LabelTable& labels() const { return labels_; }
  const std::vector<LabelledObject>& objects() const { return objects_; }
  const std::vector<std::string>& begunCommands() const { return begun_; }
  long faultsInjected() const { return faultsInjected_; }
  long stepsApplied() const { return stepsApplied_; }
  // The runner's `dump` of the host as it is now.
  std::string dump();

 private:
  struct ArmedFault {
    std::string operation;
    long armedAt = 0;       // calls of the operation before it was armed
    long first = 1;         // nth
    long last = 1;          // nth + count - 1, or LONG_MAX
    bool onObject = false;  // every call on one object
  };

  // Keeps the labels of live objects of the current drawing, each once.
  void filterSelection(std::vector<std::string>& labels) const;
  void resolveSelection(const std::vector<std::string>& labels,
                        std::vector<AcDbObjectId>& ids) const;
  bool perform(const SessionStep& step, StepFacts& facts);
  void labelCreated(const sim::Created& created);
  static std::set<AcDbObjectId> withOwned(const sim::Host& host,
                                          const std::vector<AcDbObjectId>& ids);
  void loadModule();
  void unloadModule();
  void afterPluginCommand(const std::string& name);
  std::set<std::string> faultedOperations(
      const std::map<std::string, long>& callsBefore) const;
  void check(const StepFacts& facts, bool faulted);

  ExtraInvariant extra_;
  std::unique_ptr<sim::Host> host_;
  std::unique_ptr<WatchModel> model_;
  std::unique_ptr<PartInvariants> invariants_;
  cadsim::LabelTable labels_;
  std::vector<LabelledObject> objects_;
  std::vector<std::string> begun_;
  int lispRunning_ = 0;
  std::vector<std::string> begunIn_;  // the drawing of each begun command
  std::vector<ArmedFault> faults_;
  std::set<std::string> earlierFaults_;
  std::string failure_;
  SessionStep lastApplied_;
  long faultsInjected_ = 0;
  long stepsApplied_ = 0;
};

#endif
