// The plug-in module in the process, the commands it registered and the
// commands under way.
#ifndef HOST_SIM_PLUGIN_COMMANDS_H
#define HOST_SIM_PLUGIN_COMMANDS_H

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "host/api/host_api.h"
#include "host/sim/host.h"

namespace sim {

struct LoadedModule {
  void* library = nullptr;  // null for an entry point linked into the program
  EntryPointFunction entry = nullptr;
  std::string path;
  const void* base = nullptr;  // where the module's code is mapped
  char appIdToken = 0;         // its address is the opaque application id
  std::vector<std::string> commandNames;
};

struct CommandFrame {
  std::string name;       // as begun
  AcWString notifyName;   // as reactors see it
  bool accepted = false;  // false: refused as unknown, nothing is sent
  // Where it was begun: closing that drawing cancels it.
  AcDbImpDatabase* drawing = nullptr;
};

struct RegisteredCommandRecord {
  AcWString group;
  AcWString globalName;
  AcWString localName;
  int flags = 0;
  AcRxFunctionPtr function = nullptr;
};

// The plug-in module in the process and what it asked of the host.
struct LoadedPlugin {
  std::unique_ptr<LoadedModule> module;
  std::vector<void*> unlockedApps;
  std::vector<void*> mdiAwareApps;
};

// The commands registered now, every name ever registered (folded), and the
// commands under way, innermost last.
struct CommandBook {
  std::vector<RegisteredCommandRecord> registered;
  std::set<std::string> everRegistered;
  std::vector<CommandFrame> frames;
};

}  // namespace sim

#endif
