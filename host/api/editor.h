// The editor and its reactors, the command stack and the dynamic linker:
// the services a plug-in finds in the runtime registry.
#ifndef HOST_API_EDITOR_H
#define HOST_API_EDITOR_H

#include "host/api/database.h"
#include "host/api/id_mapping.h"
#include "host/api/runtime.h"

// Editor notifications; every one does nothing unless a reactor overrides it.
//
// A notification goes to the reactors attached when it is sent, in the order
// they were attached. A reactor removed during a notification before its turn
// is not called; one added during it hears from the next notification on.
// Inside any of them a reactor may add and remove editor reactors, itself
// included.
class SIMHOST_API AcEditorReactor : public AcRxObject {
 public:
  ACRX_DECLARE_MEMBERS(AcEditorReactor);
  ~AcEditorReactor() override;
  // A deep clone starts: nothing is copied yet and IDMAP is empty. TO is the
  // drawing the copies go to: the current one, or the clipboard for
  // COPYCLIP. Deep clones come inside a command (one per repetition, one per
  // piece EXPLODE makes), inside LISP, or outside both; they never nest:
  // each beginDeepClone is followed by its endDeepClone before the next.
  virtual void beginDeepClone(AcDbDatabase* to, AcDbIdMapping& idMap);
  // The copies exist: each was appended (objectAppended was sent) and is
  // closed. IDMAP pairs every source with its copy, what the sources own
  // included, the selected objects marked primary. A reactor may open the
  // copies; the command that made them has not ended yet.
  virtual void endDeepClone(AcDbIdMapping& idMap);
  // A command starts. CMDSTR is a plug-in's command by its global name; the
  // host's own commands come in upper case when run whole, but as typed when
  // begun and ended apart (from a script or LISP), so a name compared
  // case-sensitively can miss one. Commands nest: one may start while
  // others run, each with its own commandWillStart.
  virtual void commandWillStart(const ACHAR* cmdStr);
  // Exactly one of commandEnded, commandCancelled and commandFailed follows
  // every commandWillStart, with the same CMDSTR, once the command's work is
  // done (its deep clones have ended). Nested commands need not end in the
  // reverse order of their starts. Inside them a reactor may open and change
  // objects of any open drawing and register applications.
  virtual void commandEnded(const ACHAR* cmdStr);
  virtual void commandCancelled(const ACHAR* cmdStr);
  virtual void commandFailed(const ACHAR* cmdStr);
  // A LISP expression starts; the commands it runs come between this and its
  // lispEnded or lispCancelled, each with its own command notifications.
  virtual void lispWillStart(const ACHAR* firstLine);
  virtual void lispEnded();
  virtual void lispCancelled();
  virtual void documentBecameCurrent(AcDbDatabase* dwg);
  // The drawing is about to close. The commands begun in it were cancelled
  // first (commandCancelled, the latest first); its database reactors hear
  // goodbye after this. Its objects can still be opened during the call; its
  // ids stop naming anything after it.
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
