// The simulated host's inner state: objects, drawings, open bookkeeping,
// result-buffer accounting, fault points and the plug-in in the process.
// Internal to host/sim; plug-ins only ever see the host/api facades.
#ifndef HOST_SIM_HOST_STATE_H
#define HOST_SIM_HOST_STATE_H

#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "dxf/dxf_text.h"
#include "host/api/host_api.h"
#include "host/sim/api/resbuf_pool.h"
#include "host/sim/api/symbol_names.h"
#include "host/sim/drawing_state.h"
#include "host/sim/fault_points.h"
#include "host/sim/host.h"
#include "host/sim/module_alloc.h"
#include "host/sim/object_state.h"
#include "host/sim/object_stubs.h"
#include "host/sim/plugin_commands.h"
#include "host/sim/stored_values.h"

namespace sim {

class SimEditor;
class SimCommandStack;
class SimDynamicLinker;
class SimRegistry;

class HostState {
 public:
  explicit HostState(Host* owner);
  ~HostState();

  // -- Fault points and counting --
  // True when this call must fail; counts the call either way.
  // Inline: every call a plug-in makes passes here, and nearly always with
  // no fault armed.
  bool fault(Op op, const AcDbStub* object = nullptr) {
    ++faults.calls[static_cast<int>(op)];
    return !faults.armed.empty() && armedFault(op, object);
  }
  bool armedFault(Op op, const AcDbStub* object);
  // One allocation of the plug-in's own code: counted, and true when an armed
  // module-alloc fault fails it.
  bool moduleAllocationFails();

  // -- Violations and audit --
  void violation(const std::string& text);
  void audit(const std::string& context);

  // -- Objects --
  // A valid id's stub whose object still exists, or null; status explains.
  AcDbStub* resolve(AcDbObjectId id, Acad::ErrorStatus& status) const;
  // resolve for an id a plug-in handed in: one of a closed drawing is also
  // reported, since a real host would read freed memory through it.
  AcDbStub* resolvePluginId(AcDbObjectId id, Acad::ErrorStatus& status,
                            const char* operation) {
    AcDbStub* stub = resolve(id, status);
    if (status == Acad::eDatabaseClosed) reportClosedUse(operation, *id.stub());
    return stub;
  }
  void reportClosedUse(const char* operation, const AcDbStub& stub);
  void reportClosedUse(const char* operation, const AcDbImpDatabase& drawing);
  bool isKnownStub(const AcDbStub* stub) const {
    return objects.stubs.contains(stub);
  }
  AcDbObject* createObject(const std::string& type);
  // An object the caller announces next (announceAppended) keeps the
  // activity it was made with, which the announcement's open uses: dropping
  // it cost each copied object one heap block more.
  AcDbStub* appendNew(AcDbImpDatabase& drawing, AcDbObject* object,
                      AcDbStub* owner, bool announcedNext = false);
  void noteOpened(AcDbImpObject& imp) { objects.open.insert(&imp); }
  void noteClosed(AcDbImpObject& imp) {
    if (!imp.isOpen()) objects.open.erase(&imp);
  }
  // Opens by the rules every opener follows; byHost marks the host's own.
  Acad::ErrorStatus openObject(AcDbStub* stub, AcDb::OpenMode mode,
                               bool openErased, bool byHost, AcDbObject*& out);
  void hostClose(AcDbImpObject& imp);
  // Copies xdata between drawings by application name.
  std::vector<XdataEntry> xdataFor(const AcDbImpObject& source,
                                   AcDbImpDatabase& target);
  // Copies the groups kept from a drawing file, in the target's encoding.
  KeptGroups extrasFor(const AcDbImpObject& source,
                       const AcDbImpDatabase& target);

  // -- Result buffers --
  resbuf* newItem(short code);
  resbuf* newStringItem(short code, const AcWString& text) {
    return resbufs.allocate(code, text.data(), text.size());
  }
  void setItemString(resbuf* item, const AcWString& text) {
    resbufs.setString(item, text.data(), text.size());
  }
  void setItemString(resbuf* item, const ACHAR* text) {
    resbufs.setString(item, text, std::char_traits<ACHAR>::length(text));
  }
  bool isLiveItem(const resbuf* item) const { return resbufs.isLive(item); }
  void freeItem(resbuf* item);
  resbuf* chainFromStored(const std::vector<StoredItem>& items,
                          const AcDbImpDatabase* drawing);
  Acad::ErrorStatus storedFromChain(const resbuf* chain,
                                    std::vector<StoredItem>& out);
  // One item as the host stores it; the item's rbnext is not followed.
  Acad::ErrorStatus storedFromItem(const resbuf& item, StoredItem& stored);
  void adsNameOf(const AcDbStub* stub, ads_name name) const;
  AcDbStub* stubOfAdsName(const ads_name name) const;
  // The closed drawing an entity name points into, or null.
  const AcDbImpDatabase* closedDrawingOfAdsName(const ads_name name) const;

  // -- Notifications --
  // A context names a call in audit reports: a text, or a function that
  // makes the text, for the notifications the host sends per object, which
  // mostly reach no reactor or end inside an outer call, so that the text is
  // made only when an audit reads it.
  static const std::string& contextText(const std::string& text) {
    return text;
  }
  template <typename MakeText,
            typename = decltype(std::declval<const MakeText&>()())>
  static std::string contextText(const MakeText& make) {
    return make();
  }
  // Calls into plug-in code; audits when the outermost such call returns.
  // An observer of the editor kept by tests is no code of the plug-in's:
  // its allocations are never failed.
  template <typename Context, typename F>
  void callPlugin(const Context& context, F&& f, bool pluginCode = true) {
    ++pluginDepth;
    if (pluginCode) {
      const PluginCodeScope code;
      f();
    } else {
      f();
    }
    if (--pluginDepth == 0 && insideApiCall == 0) audit(contextText(context));
  }
  // Notifications a plug-in's own call causes (setAt, erase) are no place
  // for an audit: the caller still holds what it opened.
  template <typename F>
  void withinApiCall(F&& f) {
    ++insideApiCall;
    f();
    --insideApiCall;
  }
  template <typename Context, typename F>
  void notifyEditor(const Context& context, F&& f);
  template <typename Context, typename F>
  void notifyDatabase(AcDbImpDatabase& drawing, const Context& context, F&& f);
  // objectAppended with the object held open for read by the host.
  void announceAppended(AcDbImpDatabase& drawing, AcDbStub* stub);
  void announceErased(AcDbImpDatabase& drawing, AcDbStub* stub);
  // objectModified, after a change the host made with the object open for
  // write.
  void announceModified(AcDbImpDatabase& drawing, AcDbStub* stub);

  // -- Commands and plug-ins --
  const RegisteredCommandRecord* findCommand(const std::string& name) const;
  bool isStaleCommand(const std::string& name) const;
  void print(const std::string& text);
  bool isModuleCode(const void* object) const;
  void detachModuleReactors(const std::string& when);
  // Reports and takes away what the plug-in left, then closes its library.
  void finishUnload(const std::string& when);

  // -- Drawings --
  // Makes DRAWING current (null: none) and tells editor reactors so.
  void makeCurrent(AcDbImpDatabase* drawing);
  // Frees a drawing's objects and moves it among the closed ones; the
  // notifications of closing are the caller's.
  void retireDrawing(AcDbImpDatabase& drawing);
  void removeModuleCommands();

  // The open drawings, then the clipboard if there is one: where a
  // plug-in's database reactors can be attached.
  template <typename F>
  void forEachDrawing(F&& f) {
    for (auto& drawing : drawings.open) f(*drawing);
    if (drawings.clipboard) f(*drawings.clipboard);
  }

  Host* owner;
  DrawingList drawings;
  ObjectBook objects;
  bool destroying = false;

  // The blocks of the setXData call under way (see there).
  std::vector<XdataEntry> xdataUpdates;

  // Every item handed out, with the string it was given, so a plug-in that
  // swaps an item's string cannot make the host free foreign memory.
  ResbufPool resbufs;

  // What the command line showed, the line being written, and the misuse
  // found so far.
  struct Output {
    std::vector<std::string> lines;
    std::string pendingLine;
    std::vector<std::string> violations;
  } output;

  // Database reactors that heard goodbye from their closing drawing, with
  // its name, until they are destroyed: a plug-in's must be gone by the time
  // it unloads, since the host has let go of them and nothing else will.
  std::map<const AcDbDatabaseReactor*, std::string> reactorsOfClosedDrawings;

  std::unique_ptr<SimEditor> editor;
  std::unique_ptr<SimCommandStack> commandStack;
  std::unique_ptr<SimDynamicLinker> linker;
  std::unique_ptr<SimRegistry> registry;
  CommandBook commands;
  LoadedPlugin plugin;
  FaultPoints faults;
  ModuleAllocFault moduleAlloc;
  // Deep clones' id maps also name what the clones refer to but the clone
  // did not copy (Host::setIdMapReferences).
  bool idMapReferences = false;

  int pluginDepth = 0;
  int insideApiCall = 0;
};

// The state of the current host, or null when there is none. Read inline:
// every host call a plug-in makes starts here.
extern HostState* gCurrentState;
inline HostState* currentState() { return gCurrentState; }

// The fault a running sweep wants armed on every host; false when none.
bool sweepFault(FaultSpec& spec);
void noteSweepInjection();

// Where the library holding ADDRESS is mapped, or null.
const void* moduleBaseOfAddress(const void* address);

// A stored item as a typed value (330: the handle text it names).
Item itemOfStored(const StoredItem& stored);

// The encoding the drawing's next save writes: its file's, or for a drawing
// with no file yet, that of the new file the saver makes.
dxf::TextEncoding fileEncodingOf(const AcDbImpDatabase& drawing);

}  // namespace sim

#endif
