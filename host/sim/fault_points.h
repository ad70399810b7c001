// The fault points every host operation passes, and a fault armed on them.
#ifndef HOST_SIM_FAULT_POINTS_H
#define HOST_SIM_FAULT_POINTS_H

#include <array>
#include <vector>

#include "host/sim/host.h"

namespace sim {

// Every host operation a plug-in can call passes one fault point named so.
enum class Op : int {
  Open,
  Close,
  UpgradeOpen,
  Erase,
  XData,
  SetXData,
  RegApp,
  GetAdsName,
  GetObjectId,
  GetNamedObjectsDictionary,
  GetAcDbObjectId,
  DictionaryGetAt,
  DictionarySetAt,
  SetFromRbChain,
  RbChain,
  BuildList,
  AddReactor,
  RemoveReactor,
  AddCommand,
  RemoveGroup,
  RegistryAt,
  UnlockApplication,
  RegisterAppMDIAware,
  WorkingDatabase,
  Count
};
const char* opName(Op op);

struct ArmedFault {
  FaultSpec spec;
  long seen = 0;
};

// Calls counted per fault point, and the faults armed on them.
struct FaultPoints {
  std::array<long, static_cast<int>(Op::Count)> calls{};
  long injected = 0;
  std::vector<ArmedFault> armed;
};

// The fault on the plug-in's own allocations ("module-alloc"), and the
// allocations its code made while it ran.
struct ModuleAllocFault {
  bool armed = false;
  FaultSpec spec;
  long seen = 0;
  long allocations = 0;
};

}  // namespace sim

#endif
