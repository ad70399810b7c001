// Watching starts at load. A registry without one of the services it names
// only loses what that service would have done; it never stops the load.
#include "module/module_entry.h"

#include "identity/entry_guard.h"
#include "watcher/host_services.h"

QoRmEditReactor* gEditReactor = NULL;

namespace {

const ACHAR kCommandGroup[] = ACRX_T("QORMQORMPLIVET");
const ACHAR kStartCommand[] = ACRX_T("QORMPLIVETSTART");
const ACHAR kStopCommand[] = ACRX_T("QORMPLIVETSTOP");

// The command stack the commands were added to. Commands left registered
// after unloading would call into code that is gone, so the group is removed
// from this stack when the registry cannot name one at unload.
AcEdCommandStack* gCommandStackUsed = NULL;

AcEdCommandStack* commandStack() {
  return lookUpHostService<AcEdCommandStack>(
      ACRX_T("ACAD_REGISTERED_COMMANDS"));
}

void startWatching() {
  if (gEditReactor == NULL) gEditReactor = new QoRmEditReactor(true);
}

void stopWatching() {
  if (gEditReactor == NULL) return;
  delete gEditReactor;
  gEditReactor = NULL;
}

}  // namespace

void initApp() {
  AcEdCommandStack* commands = commandStack();
  gCommandStackUsed = commands;
  if (commands != NULL) {
    commands->addCommand(kCommandGroup, kStartCommand, kStartCommand,
                         ACRX_CMD::kModal, qormplivetstart, NULL, -1, NULL,
                         NULL);
    commands->addCommand(kCommandGroup, kStopCommand, kStopCommand,
                         ACRX_CMD::kModal, qormplivetstop, NULL, -1, NULL,
                         NULL);
  }
  startWatching();
}

bool unloadApp() {
  // An offset reactor the host still holds would be called into code that
  // is gone: while one stays attached, nothing is taken down.
  if (!moduleOffsetReactors().releaseAllForUnload()) return false;
  AcEdCommandStack* commands = commandStack();
  if (commands == NULL) commands = gCommandStackUsed;
  if (commands != NULL) commands->removeGroup(kCommandGroup);
  gCommandStackUsed = NULL;
  stopWatching();
  return true;
}

extern "C" AcRx::AppRetCode acrxEntryPoint(AcRx::AppMsgCode msg, void* appId) {
  AcRx::AppRetCode result = AcRx::kRetOK;
  guardEntry(ACRX_T("acrxEntryPoint"), [msg, appId, &result] {
    switch (msg) {
      case AcRx::kInitAppMsg: {
        const AcRxDynamicLinker* linker =
            lookUpHostService<AcRxDynamicLinker>(ACRX_T("DynamicLinker"));
        if (linker != NULL) {
          linker->unlockApplication(appId);
          linker->registerAppMDIAware(appId);
        }
        initApp();
        break;
      }
      case AcRx::kUnloadAppMsg:
        if (!unloadApp()) result = AcRx::kRetError;
        break;
      default:
        break;
    }
  });
  return result;
}

extern "C" void qormplivetstart() {
  guardEntry(ACRX_T("qormplivetstart"), startWatching);
}

extern "C" void qormplivetstop() {
  guardEntry(ACRX_T("qormplivetstop"), stopWatching);
}
