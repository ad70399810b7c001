// The names of the fault points, as scripts and fault specs spell them.
#include "host/sim/fault_points.h"

#include <cstddef>

namespace sim {

namespace {
const char* const kOpNames[] = {"open",
                                "close",
                                "upgradeOpen",
                                "erase",
                                "xData",
                                "setXData",
                                "regApp",
                                "getAdsName",
                                "getObjectId",
                                "getNamedObjectsDictionary",
                                "getAcDbObjectId",
                                "dictionaryGetAt",
                                "dictionarySetAt",
                                "setFromRbChain",
                                "rbChain",
                                "buildList",
                                "addReactor",
                                "removeReactor",
                                "addCommand",
                                "removeGroup",
                                "registryAt",
                                "unlockApplication",
                                "registerAppMDIAware",
                                "workingDatabase"};
static_assert(sizeof(kOpNames) / sizeof(kOpNames[0]) ==
                  static_cast<std::size_t>(Op::Count),
              "one name per operation");
}  // namespace

const char* const Host::kModuleAllocName = "module-alloc";

const char* opName(Op op) { return kOpNames[static_cast<int>(op)]; }

}  // namespace sim
