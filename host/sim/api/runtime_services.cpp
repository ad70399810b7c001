// The editor, command stack, dynamic linker and runtime registry.
#include "host/sim/api/runtime_services.h"

namespace sim {

void SimEditor::addReactor(AcEditorReactor* reactor) {
  const sim::HostCodeScope hostCode;
  // The call has no status, so no plug-in could see it fail: it passes no
  // fault point (the fault points of the same name are a drawing's).
  if (reactor == nullptr) {
    state_.violation("AcEditor::addReactor: null reactor");
    return;
  }
  if (isAttached(reactor)) {
    state_.violation("AcEditor::addReactor: reactor added twice");
    return;
  }
  reactors.push_back(reactor);
}

void SimEditor::removeReactor(AcEditorReactor* reactor) {
  const sim::HostCodeScope hostCode;
  if (!detach(reactor))
    state_.violation(
        "AcEditor::removeReactor: reactor removed that was never added");
}

bool SimEditor::detach(const AcEditorReactor* reactor) {
  auto it = std::find(reactors.begin(), reactors.end(), reactor);
  if (it == reactors.end()) return false;
  reactors.erase(it);
  return true;
}

Acad::ErrorStatus SimCommandStack::addCommand(const ACHAR* cmdGroupName,
                                              const ACHAR* cmdGlobalName,
                                              const ACHAR* cmdLocalName,
                                              Adesk::Int32 commandFlags,
                                              AcRxFunctionPtr functionAddr,
                                              AcEdUIContext*, int, void*,
                                              AcEdCommand** cmdPtrRet) {
  const sim::HostCodeScope hostCode;
  if (cmdPtrRet != nullptr) *cmdPtrRet = nullptr;
  if (state_.fault(Op::AddCommand)) return Acad::eDuplicateKey;
  if (cmdGroupName == nullptr || cmdGlobalName == nullptr ||
      functionAddr == nullptr || *cmdGroupName == 0 || *cmdGlobalName == 0)
    return Acad::eInvalidInput;
  const std::string global = toUtf8(cmdGlobalName);
  if (state_.findCommand(global) != nullptr) return Acad::eDuplicateKey;
  RegisteredCommandRecord record;
  record.group = cmdGroupName;
  record.globalName = cmdGlobalName;
  record.localName = cmdLocalName != nullptr ? cmdLocalName : cmdGlobalName;
  record.flags = commandFlags;
  record.function = functionAddr;
  state_.commands.registered.push_back(record);
  state_.commands.everRegistered.insert(upperAscii(global));
  if (state_.plugin.module)
    state_.plugin.module->commandNames.push_back(global);
  return Acad::eOk;
}

Acad::ErrorStatus SimCommandStack::removeGroup(const ACHAR* groupName) {
  const sim::HostCodeScope hostCode;
  if (state_.fault(Op::RemoveGroup)) return Acad::eKeyNotFound;
  if (groupName == nullptr) return Acad::eInvalidInput;
  const AcWString group = upperAscii(AcWString(groupName));
  auto& commands = state_.commands.registered;
  const std::size_t before = commands.size();
  commands.erase(std::remove_if(commands.begin(), commands.end(),
                                [&](const RegisteredCommandRecord& c) {
                                  return upperAscii(c.group) == group;
                                }),
                 commands.end());
  return commands.size() == before ? Acad::eKeyNotFound : Acad::eOk;
}

bool SimDynamicLinker::unlockApplication(void* appId) const {
  const sim::HostCodeScope hostCode;
  if (state_.fault(Op::UnlockApplication)) return false;
  state_.plugin.unlockedApps.push_back(appId);
  return true;
}

bool SimDynamicLinker::registerAppMDIAware(void* appId) const {
  const sim::HostCodeScope hostCode;
  if (state_.fault(Op::RegisterAppMDIAware)) return false;
  state_.plugin.mdiAwareApps.push_back(appId);
  return true;
}

AcRxObject* SimRegistry::at(const ACHAR* key) const {
  const sim::HostCodeScope hostCode;
  if (state_.fault(Op::RegistryAt)) return nullptr;
  if (key == nullptr) return nullptr;
  auto it = present.find(toUtf8(key));
  return it == present.end() ? nullptr : it->second;
}

}  // namespace sim

AcRxDictionary* acrxSysRegistry() {
  const sim::HostCodeScope hostCode;
  sim::HostState* state = sim::currentState();
  return state != nullptr ? state->registry.get() : nullptr;
}
