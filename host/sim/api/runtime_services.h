// The services a plug-in finds in the runtime registry: the editor, the
// command stack and the dynamic linker, and the registry that holds them.
#ifndef HOST_SIM_API_RUNTIME_SERVICES_H
#define HOST_SIM_API_RUNTIME_SERVICES_H

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "host/sim/host_state.h"

namespace sim {

class SimEditor : public AcEditor {
 public:
  explicit SimEditor(HostState& state) : state_(state) {}
  void addReactor(AcEditorReactor* reactor) override;
  void removeReactor(AcEditorReactor* reactor) override;

  bool isAttached(const AcEditorReactor* reactor) const {
    return std::find(reactors.begin(), reactors.end(), reactor) !=
           reactors.end();
  }
  // Detaches without counting a call (the host's own clean-up).
  bool detach(const AcEditorReactor* reactor);

  std::vector<AcEditorReactor*> reactors;  // in order of attachment
  // The observers tests keep among them (Host::attachEditorObserver).
  std::vector<const AcEditorReactor*> observers;
  bool isObserver(const AcEditorReactor* reactor) const {
    return std::find(observers.begin(), observers.end(), reactor) !=
           observers.end();
  }

 private:
  HostState& state_;
};

class SimCommandStack : public AcEdCommandStack {
 public:
  explicit SimCommandStack(HostState& state) : state_(state) {}
  Acad::ErrorStatus addCommand(
      const ACHAR* cmdGroupName, const ACHAR* cmdGlobalName,
      const ACHAR* cmdLocalName, Adesk::Int32 commandFlags,
      AcRxFunctionPtr functionAddr, AcEdUIContext* uiContext, int fcode,
      void* resourceHandle, AcEdCommand** cmdPtrRet) override;
  Acad::ErrorStatus removeGroup(const ACHAR* groupName) override;

 private:
  HostState& state_;
};

class SimDynamicLinker : public AcRxDynamicLinker {
 public:
  explicit SimDynamicLinker(HostState& state) : state_(state) {}
  bool unlockApplication(void* appId) const override;
  bool registerAppMDIAware(void* appId) const override;

 private:
  HostState& state_;
};

class SimRegistry : public AcRxDictionary {
 public:
  explicit SimRegistry(HostState& state) : state_(state) {}
  AcRxObject* at(const ACHAR* key) const override;

  // The entries tests can take away and put back.
  std::map<std::string, AcRxObject*> all;
  std::map<std::string, AcRxObject*> present;

 private:
  HostState& state_;
};

template <typename Context, typename F>
void HostState::notifyEditor(const Context& context, F&& f) {
  // A reactor may attach or detach reactors while it is called: walk a copy
  // and skip the ones detached meanwhile.
  const std::vector<AcEditorReactor*> snapshot = editor->reactors;
  for (AcEditorReactor* reactor : snapshot) {
    if (!editor->isAttached(reactor)) continue;
    callPlugin(
        context, [&] { f(reactor); }, !editor->isObserver(reactor));
  }
}

template <typename Context, typename F>
void HostState::notifyDatabase(AcDbImpDatabase& drawing, const Context& context,
                               F&& f) {
  // The reactors as the notification starts: one a reactor adds hears the
  // next one, one it removes is skipped. A drawing has a reactor or two, so
  // the list is copied onto the stack; a vector here cost every copied
  // object a heap block.
  AcDbDatabaseReactor* few[8];
  std::vector<AcDbDatabaseReactor*> many;
  const std::size_t count = drawing.reactors.size();
  AcDbDatabaseReactor** snapshot = few;
  if (count > sizeof few / sizeof few[0]) {
    many = drawing.reactors;
    snapshot = many.data();
  } else {
    std::copy(drawing.reactors.begin(), drawing.reactors.end(), few);
  }
  for (std::size_t i = 0; i < count; ++i) {
    AcDbDatabaseReactor* reactor = snapshot[i];
    if (std::find(drawing.reactors.begin(), drawing.reactors.end(), reactor) ==
        drawing.reactors.end())
      continue;
    callPlugin(context, [&] { f(reactor); });
  }
}

}  // namespace sim

#endif
