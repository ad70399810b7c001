// Fault injection: arming faults by operation, counting calls, and the sweep
// that fails every fault point in turn.
#include "host/sim/host_state.h"

namespace sim {

namespace {

// A sweep outlives the hosts its scenario may make, so it is process-wide.
struct SweepContext {
  bool active = false;
  FaultSpec spec;
  long injected = 0;
};
SweepContext gSweep;

// Far beyond the calls any scenario makes; a guard against a scenario whose
// call count grows with the fault point.
const long kMostPoints = 1000000;

}  // namespace

bool sweepFault(FaultSpec& spec) {
  if (!gSweep.active) return false;
  spec = gSweep.spec;
  return true;
}

void noteSweepInjection() {
  if (gSweep.active) ++gSweep.injected;
}

std::vector<std::string> Host::operationNames() {
  std::vector<std::string> names;
  names.reserve(static_cast<std::size_t>(Op::Count));
  for (int i = 0; i < static_cast<int>(Op::Count); ++i)
    names.push_back(opName(static_cast<Op>(i)));
  names.push_back(Host::kModuleAllocName);
  return names;
}

bool Host::isOperation(const std::string& name) {
  if (name.empty() || name == "*" || name == Host::kModuleAllocName)
    return true;
  for (int i = 0; i < static_cast<int>(Op::Count); ++i)
    if (name == opName(static_cast<Op>(i))) return true;
  return false;
}

void Host::armFault(const FaultSpec& spec) {
  ArmedFault armed;
  armed.spec = spec;
  if (armed.spec.nth < 1) armed.spec.nth = 1;
  if (armed.spec.count < 1) armed.spec.count = 1;
  if (spec.operation == Host::kModuleAllocName) {
    // Not a host operation: "any" never reaches it, and a newer one
    // replaces it.
    ModuleAllocFault& fault = state_->moduleAlloc;
    fault.armed = true;
    fault.spec = armed.spec;
    fault.seen = 0;
    return;
  }
  state_->faults.armed.push_back(armed);
}

void Host::clearFaults() {
  state_->faults.armed.clear();
  state_->moduleAlloc.armed = false;
}

long Host::callCount(const std::string& operation) const {
  if (operation == Host::kModuleAllocName)
    return state_->moduleAlloc.allocations;
  for (int i = 0; i < static_cast<int>(Op::Count); ++i)
    if (operation == opName(static_cast<Op>(i))) return state_->faults.calls[i];
  return 0;
}

std::map<std::string, long> Host::callCounts() const {
  std::map<std::string, long> counts;
  for (int i = 0; i < static_cast<int>(Op::Count); ++i)
    if (state_->faults.calls[i] != 0)
      counts[opName(static_cast<Op>(i))] = state_->faults.calls[i];
  if (state_->moduleAlloc.allocations != 0)
    counts[Host::kModuleAllocName] = state_->moduleAlloc.allocations;
  return counts;
}

long Host::faultsInjected() const { return state_->faults.injected; }

void Host::resetCounters() {
  state_->faults.calls.fill(0);
  state_->faults.injected = 0;
  state_->moduleAlloc.allocations = 0;
}

SweepSummary sweepFaults(const std::function<void(const SweepRun&)>& scenario,
                         const std::function<void(const SweepRun&)>& check,
                         const std::string& operation) {
  SweepSummary summary;
  for (long point = 1; point <= kMostPoints; ++point) {
    bool injectedAny = false;
    for (bool persistent : {false, true}) {
      SweepRun run;
      run.operation = operation;
      run.point = point;
      run.persistent = persistent;
      gSweep.active = true;
      gSweep.spec = FaultSpec();
      gSweep.spec.operation = operation;
      gSweep.spec.nth = point;
      gSweep.spec.count = 1;
      gSweep.spec.persistent = persistent;
      gSweep.injected = 0;
      if (Host* host = Host::current()) {
        host->clearFaults();
        host->armFault(gSweep.spec);
      }
      scenario(run);
      run.injected = gSweep.injected;
      gSweep.active = false;
      if (Host* host = Host::current()) host->clearFaults();
      ++summary.runs;
      check(run);
      if (run.injected == 0) break;  // no persistent run needed either
      injectedAny = true;
    }
    if (!injectedAny) {
      summary.lastPoint = point;
      break;
    }
  }
  return summary;
}

}  // namespace sim
