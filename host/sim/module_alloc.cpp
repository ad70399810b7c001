// The flag is per thread: only the host's main thread calls into a plug-in,
// and an allocation elsewhere must never be taken for the plug-in's.
#include "host/sim/module_alloc.h"

#include "host/sim/host_state.h"

namespace sim {

namespace {
// Read at every allocation: the cheapest model where the platform has it.
#if defined(__GNUC__) && !defined(_WIN32)
__attribute__((tls_model("initial-exec")))
#endif
thread_local bool tPluginCodeRuns = false;
}  // namespace

PluginCodeScope::PluginCodeScope() : saved_(tPluginCodeRuns) {
  tPluginCodeRuns = true;
}

PluginCodeScope::~PluginCodeScope() { tPluginCodeRuns = saved_; }

HostCodeScope::HostCodeScope() : saved_(tPluginCodeRuns) {
  tPluginCodeRuns = false;
}

HostCodeScope::~HostCodeScope() { tPluginCodeRuns = saved_; }

bool HostState::moduleAllocationFails() {
  ModuleAllocFault& fault = moduleAlloc;
  ++fault.allocations;
  if (!fault.armed) return false;
  ++fault.seen;
  const FaultSpec& spec = fault.spec;
  const bool hit = fault.seen >= spec.nth &&
                   (spec.persistent || fault.seen < spec.nth + spec.count);
  if (hit) {
    ++faults.injected;
    noteSweepInjection();
  }
  return hit;
}

}  // namespace sim

extern "C" bool simhostFailsModuleAllocation() {
  if (!sim::tPluginCodeRuns) return false;
  sim::HostState* state = sim::currentState();
  return state != nullptr && !state->destroying &&
         state->moduleAllocationFails();
}
