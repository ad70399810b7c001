// The module's boundary with the host's loader: the entry point, the two
// commands that switch watching on and off, and the slot of the one watcher.
#ifndef MODULE_MODULE_ENTRY_H
#define MODULE_MODULE_ENTRY_H

#include "host/api/host_api.h"
#include "watcher/command_watcher.h"

#if defined(_WIN32)
#define QORM_EXPORT __declspec(dllexport)
#else
#define QORM_EXPORT __attribute__((visibility("default")))
#endif

// The watcher while watching, null while stopped. The module owns it.
extern QoRmEditReactor* gEditReactor;

// Registers the two commands and starts watching.
void initApp();
// Offers every offset reactor to the host once more; when none stays
// attached, removes the command group, stops watching and returns true.
// Otherwise changes nothing more and returns false: the module must stay.
bool unloadApp();

extern "C" {
// The host's entry: kInitAppMsg loads, kUnloadAppMsg unloads. kRetOK,
// except kRetError for an unload refused while the host keeps an offset
// reactor of the module attached.
QORM_EXPORT AcRx::AppRetCode acrxEntryPoint(AcRx::AppMsgCode msg, void* appId);
// QORMPLIVETSTART: starts watching with a fresh watcher unless already on.
QORM_EXPORT void qormplivetstart();
// QORMPLIVETSTOP: stops watching; pending groups are dropped.
QORM_EXPORT void qormplivetstop();
}

#endif
