// Failing the plug-in's own allocations: the host knows when the plug-in's
// code runs (from each call into it until it returns, less the host calls
// it makes meanwhile), and a replaced global operator new asks it whether
// the allocation under way must fail.
#ifndef HOST_SIM_MODULE_ALLOC_H
#define HOST_SIM_MODULE_ALLOC_H

#include "host/api/text.h"

namespace sim {

// For its lifetime, the plug-in's code runs: the host is calling into it.
class PluginCodeScope {
 public:
  PluginCodeScope();
  ~PluginCodeScope();
  PluginCodeScope(const PluginCodeScope&) = delete;
  PluginCodeScope& operator=(const PluginCodeScope&) = delete;

 private:
  bool saved_;
};

// For its lifetime, the host's own code runs: a call the plug-in made into
// the host API. Its allocations are never failed.
class HostCodeScope {
 public:
  HostCodeScope();
  ~HostCodeScope();
  HostCodeScope(const HostCodeScope&) = delete;
  HostCodeScope& operator=(const HostCodeScope&) = delete;

 private:
  bool saved_;
};

}  // namespace sim

// Called by the replaced operator new for every allocation: counts one
// allocation of the plug-in's while its code runs, and says whether a
// module-alloc fault armed on the current host fails it. Allocates nothing.
extern "C" SIMHOST_API bool simhostFailsModuleAllocation();

#endif
