// Runs lines of the session language through the runner's own Session, on a
// simulated host with the module linked in, and checks every invariant after
// each line it applied.
#ifndef TESTS_SUPPORT_SESSION_DRIVER_H
#define TESTS_SUPPORT_SESSION_DRIVER_H

#include <functional>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "host/sim/host.h"
#include "tests/support/part_invariants.h"
#include "tests/support/watch_model.h"
#include "tools/cadsim/label_table.h"
#include "tools/cadsim/session.h"
#include "tools/cadsim/statement.h"

// A labelled object as the generator may pick it.
struct LabelledObject {
  std::string label;
  AcDbObjectId id;
  std::string drawing;
  bool userMade = false;  // made by `add`, not copied
};

// A further invariant a test may add: a message when it is broken, else "".
using ExtraInvariant = std::function<std::string(const sim::Host&)>;

class SessionDriver : private cadsim::SessionObserver {
 public:
  // Makes the host (drawing "main", the module loaded), as the runner does;
  // loading is checked as the first line. armedByHost: the fault a running
  // sweep arms on every new host, if any.
  explicit SessionDriver(ExtraInvariant extra = nullptr,
                         const sim::FaultSpec* armedByHost = nullptr);
  ~SessionDriver() override;
  SessionDriver(const SessionDriver&) = delete;
  SessionDriver& operator=(const SessionDriver&) = delete;

  // Parses LINE with the runner's parser and applies it. False when the
  // session refused it (see cadsim::Session::apply): it changed nothing and
  // is passed over. A `load` the module refused counts as applied: the host
  // ran the module's entry point, and what that left is checked. A line that
  // does not parse is a broken invariant. A broken invariant is left in
  // failure().
  bool apply(const std::string& line);
  // Applies a line parsed already.
  bool apply(const cadsim::Statement& statement);
  const std::string& failure() const { return failure_; }

  sim::Host& host() { return *host_; }
  const sim::Host& host() const { return *host_; }
  const cadsim::LabelTable& labels() const { return session_->labels(); }
  const std::vector<LabelledObject>& objects() const { return objects_; }
  const std::vector<std::string>& begunCommands() const { return begun_; }
  long faultsInjected() const { return faultsInjected_; }
  long linesApplied() const { return linesApplied_; }
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

  void willApply(const cadsim::Statement& statement) override;
  void applied(const cadsim::Statement& statement, cadsim::StepResult result,
               const cadsim::LineEffects& effects) override;
  // What the line did by itself, and the generator's picture kept current.
  void follow(const cadsim::Statement& s, const cadsim::LineEffects& effects,
              StepFacts& facts);
  void closed(const std::string& drawing);
  void labelCreated(const sim::Created& created);
  static std::set<AcDbObjectId> withOwned(const sim::Host& host,
                                          const std::vector<AcDbObjectId>& ids);
  void afterPluginCommand(const std::string& name);
  std::set<std::string> faultedOperations(
      const std::map<std::string, long>& callsBefore) const;
  void check(const StepFacts& facts, bool faulted);

  ExtraInvariant extra_;
  std::unique_ptr<sim::Host> host_;
  std::unique_ptr<WatchModel> model_;
  std::unique_ptr<PartInvariants> invariants_;
  std::ostringstream output_;  // listings and dumps the lines ask for
  std::unique_ptr<cadsim::Session> session_;
  std::vector<LabelledObject> objects_;
  std::vector<std::string> begun_;
  std::vector<std::string> begunIn_;  // the drawing of each begun command
  std::vector<ArmedFault> faults_;
  std::set<std::string> earlierFaults_;
  std::string failure_;
  long faultsInjected_ = 0;
  long linesApplied_ = 0;
  // Taken by willApply for the line being applied.
  std::map<std::string, long> callsBefore_;
  long injectedBefore_ = 0;
  bool pluginCommand_ = false;
  bool loadedBefore_ = false;
  bool ran_ = false;  // the line was applied, or was a load the module refused
};

#endif
