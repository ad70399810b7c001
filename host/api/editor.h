// The editor and its reactors, the command stack and the dynamic linker:
// the services a plug-in finds in the runtime registry.
#ifndef HOST_API_EDITOR_H
#define HOST_API_EDITOR_H

#include "host/api/database.h"
#include "host/api/id_mapping.h"
#include "host/api/runtime.h"

// Editor notifications; every one does nothing unless a reactor overrides it.
class SIMHOST_API AcEditorReactor : public AcRxObject {
 public:
  ACRX_DECLARE_MEMBERS(AcEditorReactor);
  ~AcEditorReactor() override;
  virtual void beginDeepClone(AcDbDatabase* to, AcDbIdMapping& idMap);
  virtual void endDeepClone(AcDbIdMapping& idMap);
  virtual void commandWillStart(const ACHAR* cmdStr);
  virtual void commandEnded(const ACHAR* cmdStr);
  virtual void commandCancelled(const ACHAR* cmdStr);
  virtual void commandFailed(const ACHAR* cmdStr);
  virtual void lispWillStart(const ACHAR* firstLine);
  virtual void lispEnded();
  virtual void lispCancelled();
  virtual void documentBecameCurrent(AcDbDatabase* dwg);
  // The drawing is about to close; its ids stop naming anything after this.
  virtual void databaseToBeDestroyed(AcDbDatabase* dwg);
};

class SIMHOST_API AcEditor : public AcRxObject {
 public:
  ACRX_DECLARE_MEMBERS(AcEditor);
  virtual void addReactor(AcEditorReactor* reactor) = 0;
  virtual void removeReactor(AcEditorReactor* reactor) = 0;
};

typedef void (*AcRxFunctionPtr)();
class AcEdUIContext;
class AcEdCommand;

namespace ACRX_CMD {
enum { kModal = 0, kTransparent = 1 };
}

class SIMHOST_API AcEdCommandStack : public AcRxObject {
 public:
  ACRX_DECLARE_MEMBERS(AcEdCommandStack);
  virtual Acad::ErrorStatus addCommand(
      const ACHAR* cmdGroupName, const ACHAR* cmdGlobalName,
      const ACHAR* cmdLocalName, Adesk::Int32 commandFlags,
      AcRxFunctionPtr functionAddr, AcEdUIContext* uiContext = NULL,
      int fcode = -1, void* resourceHandle = NULL,
      AcEdCommand** cmdPtrRet = NULL) = 0;
  virtual Acad::ErrorStatus removeGroup(const ACHAR* groupName) = 0;
};

class SIMHOST_API AcRxDynamicLinker : public AcRxObject {
 public:
  ACRX_DECLARE_MEMBERS(AcRxDynamicLinker);
  virtual bool unlockApplication(void* appId) const = 0;
  virtual bool registerAppMDIAware(void* appId) const = 0;
};

#endif
