// The driving side of the simulated host: what a real host does around a
// plug-in (drawings, the user's edits, commands, loading plug-ins), plus fault
// injection, accounting and introspection for tests and the runner.
#ifndef HOST_SIM_HOST_H
#define HOST_SIM_HOST_H

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "host/api/host_api.h"
#include "host/sim/wide_string.h"
#include "text/error.h"

namespace sim {

// ---- Text ------------------------------------------------------------------

// Invalid sequences become U+FFFD rather than failing: these are for display
// and test literals, never for data the host stores on a plug-in's behalf.
SIMHOST_API AcWString toWide(const std::string& utf8);
SIMHOST_API std::string toUtf8(const AcWString& utf16);
// A null pointer gives "".
SIMHOST_API std::string toUtf8(const ACHAR* utf16);

// ---- Typed values ----------------------------------------------------------

struct Point {
  double x = 0;
  double y = 0;
  double z = 0;
  bool operator==(const Point& o) const {
    return x == o.x && y == o.y && z == o.z;
  }
};

// Text codes hold a string, integer codes a long, reals a double, points a
// Point. An entity name (330) is given as the handle text of the object, a
// binary chunk (1004, 310) as its bytes in upper-case hexadecimal digits.
using Value = std::variant<std::string, long, double, Point>;

struct Item {
  int code = 0;
  Value value;
  bool operator==(const Item& o) const {
    return code == o.code && value == o.value;
  }
};
using Items = std::vector<Item>;

// One application's xdata: the items after its 1001, without the 1001.
struct XdataBlock {
  std::string app;
  Items items;
};

struct ObjectInfo {
  AcDbObjectId id;
  std::string handle;  // upper-case hex, no leading zeros
  std::string type;    // "LINE", "DICTIONARY", "XRECORD", ...
  bool erased = false;
  std::vector<XdataBlock> xdata;     // in the object's own order
  std::string ownerHandle;           // "" when the object has no owner
  AcDbObjectId ownerId;              // null when the object has no owner
  AcDbObjectId extensionDictionary;  // null when it has none
  int pieces = 0;                    // what EXPLODE would make of it
  bool entity = false;               // what drawing commands work on
};

struct DrawingInfo {
  std::string name;
  bool current = false;
  std::vector<std::string> regapps;  // in order of registration
  std::vector<ObjectInfo> objects;   // in order of creation
  // Entries of the named-objects dictionary: key -> type name, in key order.
  std::vector<std::pair<std::string, std::string>> namedObjects;
};

// A dictionary entry whose object is live.
struct DictionaryEntry {
  std::string key;  // as it was set
  AcDbObjectId id;
};

struct RegisteredCommand {
  std::string group;
  std::string globalName;
  std::string localName;
  int flags = 0;
};

// ---- Commands --------------------------------------------------------------

enum class Outcome { Ended, Cancelled, Failed };

// (source id, new id) pairs of the objects a call created, in creation
// order: a deep clone's pairs as in its id map, what an object owns after
// it (the clone's owner is then a clone of the same call).
using CreatedPair = std::pair<AcDbObjectId, AcDbObjectId>;
using Created = std::vector<CreatedPair>;

// ---- Fault injection -------------------------------------------------------

struct FaultSpec {
  std::string operation;    // "" or "*": any operation
  long nth = 1;             // the first failing call, counted from arming
  long count = 1;           // how many calls in a row fail
  bool persistent = false;  // every call from the nth on fails
  // When set, only calls on this object count and every one of them fails.
  AcDbObjectId object;
};

struct SweepRun {
  std::string operation;  // "" for any
  long point = 0;         // the failing call, 1-based
  bool persistent = false;
  long injected = 0;  // faults the run actually injected
};

struct SweepSummary {
  long runs = 0;
  long lastPoint = 0;  // the first point at which nothing was injected
};

// The plug-in's entry point as the loader finds it.
typedef AcRx::AppRetCode (*EntryPointFunction)(AcRx::AppMsgCode msg,
                                               void* appId);

// ---- The host --------------------------------------------------------------

class HostState;

class SIMHOST_API Host {
 public:
  // Becomes the process's current host; a second live host aborts.
  Host();
  // Unloads a loaded plug-in (reporting what it left) and frees everything.
  // The faults are disarmed first: the host is going away, and a plug-in
  // that still refuses is taken down all the same.
  ~Host();
  Host(const Host&) = delete;
  Host& operator=(const Host&) = delete;

  static Host* current();

  // -- Drawings --
  // Makes NAME current, creating it (with its named-objects dictionary) if new.
  AcDbDatabase* useDrawing(const std::string& name);
  AcDbDatabase* currentDrawing() const;
  std::string currentDrawingName() const;
  std::vector<std::string> drawingNames() const;         // in order of creation
  AcDbDatabase* drawing(const std::string& name) const;  // null if none
  // Closes drawing NAME: cancels the commands begun in it, sends
  // databaseToBeDestroyed to editor reactors and goodbye to its database
  // reactors, detaches (and reports) those left attached, and frees its
  // objects. Its ids then fail with eDatabaseClosed. When it was current,
  // the open drawing that was current most recently becomes current, or
  // none. False, changing nothing, when no drawing NAME is open.
  bool closeDrawing(const std::string& name);
  // True for an id of a drawing that was closed.
  bool isOfClosedDrawing(AcDbObjectId id) const;

  // -- Drawing files (text DXF, AC1009 and later) --
  // Reads PATH as a new drawing NAME and makes it current. A damaged file,
  // or a NAME already in use, is refused with a message ("line 12: ...")
  // and changes nothing. A drawing older than AC1015 is upgraded as it is
  // read; SHOWN_PATH is how the user named the file, for
  // the command line's word of the upgrade at its first save.
  bool openDrawingFile(const std::string& path, const std::string& name,
                       const std::string& shownPath, text::Error& error);
  bool openDrawingFile(const std::string& path, const std::string& name,
                       text::Error& error) {
    return openDrawingFile(path, name, path, error);
  }
  // Writes the current drawing to PATH, replacing the file whole, in its own
  // version, AC1015 for a drawing read from an older one.
  bool saveDrawingFile(const std::string& path, text::Error& error);

  // -- The user's edits: no fault injection, no accounting of their own --
  // As on a real host, drawing reactors hear of them: objectAppended for a
  // new object, objectErased for an erased one.
  // TYPE is LINE, CIRCLE, ARC, POLYLINE, TEXT, DICTIONARY or XRECORD; pieces
  // counts what EXPLODE makes of a POLYLINE (other entities: 1). A null id
  // for an unknown type or no current drawing.
  AcDbObjectId addObject(const std::string& type, int pieces = 2);
  // A new, empty extension dictionary of OBJECT, in OBJECT's drawing. Null
  // when OBJECT is unknown, erased, or already has a live one.
  AcDbObjectId addExtensionDictionary(AcDbObjectId object);
  // A new DICTIONARY or XRECORD set in DICTIONARY under KEY and owned by it.
  // Null when DICTIONARY is not a live dictionary, KEY is not a valid key or
  // is taken, or TYPE is not one of the two.
  AcDbObjectId addToDictionary(AcDbObjectId dictionary, const std::string& key,
                               const std::string& type);
  // False for an empty name or one that is not a valid application name.
  bool registerApp(const std::string& name);
  // Why the host refuses NAME as an application name or dictionary key, or
  // "" when it accepts it.
  static std::string nameProblem(const std::string& name);
  // Why the host refuses ITEM in a block of xdata on its own (its code, its
  // value's type, a text too long), or "" when it takes it.
  static std::string xdataItemProblem(const Item& item);
  // Sets APP's block to ITEMS (empty: removes it), registering APP if new.
  // Returns the status setXData would give; nothing changes on failure.
  Acad::ErrorStatus setXData(AcDbObjectId id, const std::string& app,
                             const Items& items);
  Acad::ErrorStatus erase(AcDbObjectId id);

  // -- Introspection --
  std::vector<DrawingInfo> drawings() const;
  DrawingInfo drawingInfo(const std::string& name) const;
  // As many as drawingInfo(name).objects lists, without listing them: a
  // large drawing's listing costs more than the drawing.
  std::size_t objectCount(const std::string& name) const;
  bool objectInfo(AcDbObjectId id, ObjectInfo& info) const;
  std::string handleText(AcDbObjectId id) const;  // "" for an unknown id
  // The object with this handle in the current drawing; null if none.
  AcDbObjectId idFromHandle(const std::string& hexText) const;
  std::vector<XdataBlock> xdataOf(AcDbObjectId id) const;
  // Dictionaries and xrecords read the way any plug-in's data is stored,
  // without opening anything. The named-objects dictionary of drawing NAME;
  // null when no drawing NAME is open.
  AcDbObjectId namedObjectsDictionary(const std::string& name) const;
  // The live entries of a live dictionary in key order; none for any other
  // id.
  std::vector<DictionaryEntry> dictionaryEntries(AcDbObjectId dictionary) const;
  // The live object under KEY (compared as the host compares keys); null
  // when there is none or DICTIONARY is not a live dictionary.
  AcDbObjectId dictionaryAt(AcDbObjectId dictionary,
                            const std::string& key) const;
  // An xrecord's items (330: the handle text it names); none for any other
  // object.
  Items xrecordItems(AcDbObjectId xrecord) const;
  // The name of the drawing that holds the object; "" for an unknown id.
  // Objects in the clipboard (COPYCLIP) give kClipboardName.
  std::string drawingNameOf(AcDbObjectId id) const;
  static const char* const kClipboardName;
  // Text written by acutPrintf, split at "\n"; an unfinished last line too.
  std::vector<std::string> commandLine() const;
  void clearCommandLine();
  int editorReactorCount() const;
  // An observer of the editor, as tests keep one beside a plug-in's: heard
  // before every reactor attached earlier, attached and detached without a
  // fault point or a counted call, and never reported as left attached.
  void attachEditorObserver(AcEditorReactor* observer);
  void detachEditorObserver(AcEditorReactor* observer);
  bool isEditorReactorAttached(const AcEditorReactor* reactor) const;
  int databaseReactorCount() const;  // over all drawings
  std::vector<RegisteredCommand> registeredCommands() const;
  std::vector<std::string> commandGroups() const;
  std::vector<std::string> commandNames() const;  // global names
  // The application ids the dynamic linker was given.
  std::vector<void*> unlockedApplications() const;
  std::vector<void*> mdiAwareApplications() const;

  // -- Runtime registry: "AcEditor", "ACAD_REGISTERED_COMMANDS",
  // "DynamicLinker" --
  void removeRegistryEntry(const std::string& key);
  void restoreRegistryEntry(const std::string& key);

  // -- Commands and notifications --
  Created runCommand(const std::string& name,
                     const std::vector<AcDbObjectId>& selection = {},
                     int repeat = 1, Outcome outcome = Outcome::Ended);
  // Objects runCommand / deepClone would add with these arguments, counted
  // before any work, so a driver can refuse a step too large to afford. The
  // objects a plug-in makes while it runs are not counted.
  long objectsCommandWouldMake(const std::string& name,
                               const std::vector<AcDbObjectId>& selection,
                               int repeat = 1) const;
  long objectsDeepCloneWouldMake(const std::vector<AcDbObjectId>& ids) const;
  // False when the name is refused as an unknown command (printed).
  bool beginCommand(const std::string& name);
  // False when no command of that name was begun.
  bool endCommand(const std::string& name, Outcome outcome = Outcome::Ended);
  Created deepClone(const std::vector<AcDbObjectId>& ids);
  Created appendCopies(const std::vector<AcDbObjectId>& ids);
  void lispBegin(const std::string& firstLine);
  void lispEnd();
  void lispCancel();

  // -- Plug-ins (one at a time) --
  bool loadModule(const std::string& path, text::Error& error);
  // A plug-in whose entry point is linked into this program.
  bool loadModule(EntryPointFunction entryPoint, text::Error& error);
  // Sends the unload message, reports and detaches reactors the plug-in left
  // attached, and closes the library. A plug-in that answers kRetError
  // refuses: it stays loaded with all it has, and the command line says
  // "The plug-in refused to unload." False when nothing is loaded.
  bool unloadModule();
  bool moduleLoaded() const;
  std::string modulePath() const;  // "" for a linked-in entry point

  // -- Fault injection --
  // The operation names a fault can be armed on, for checking user input:
  // the host operations, then kModuleAllocName, which fails the Nth
  // allocation the plug-in's own code makes (never the host's: only while
  // the host is calling into the plug-in, less the host calls it makes)
  // with std::bad_alloc, or a null pointer for a nothrow new. Programs that
  // link simhost_new only; callCount(kModuleAllocName) counts those
  // allocations.
  static std::vector<std::string> operationNames();
  static const char* const kModuleAllocName;
  static bool isOperation(const std::string& name);
  void armFault(const FaultSpec& spec);
  void clearFaults();
  long callCount(const std::string& operation) const;
  std::map<std::string, long> callCounts() const;
  long faultsInjected() const;
  void resetCounters();
  // While on, each deep clone's id map also holds, after the cloned pairs,
  // a pair (key = value = the object, not cloned, not primary) for each
  // object that a cloned object refers to and that the clone did not copy:
  // its owner chain up to a cloned object or the root, the entries of a
  // dictionary, the objects an xrecord's items point to, the objects its
  // xdata's 1005 handles name, and the pointers (codes 330 to 369) of the
  // tags a drawing file gave it. Live objects of the source drawing only,
  // each once, in the order the cloned objects first refer to them. Off at
  // the start.
  void setIdMapReferences(bool on);
  bool idMapReferences() const;

  // -- Accounting --
  // Runs the audit now (it also runs after every notification and command).
  void audit();
  const std::vector<std::string>& violations() const;
  void clearViolations();
  long openObjectCount() const;
  long liveResbufItems() const;
  long liveNewObjects() const;  // new objects not yet in a drawing

  // A counted chain built from typed items, as acutBuildList would make; a
  // 330 value is a handle text in the current drawing. Free with acutRelRb.
  resbuf* buildChain(const Items& items);
  // The typed items of a chain (330: the handle text of the named object).
  Items itemsOf(const resbuf* chain) const;

 private:
  std::unique_ptr<HostState> state_;
};

// Runs SCENARIO with the fault point k = 1, 2, 3... failing, once and then
// persistently, until a run injects nothing; CHECK sees each run. The fault
// is armed on the current host just before SCENARIO is called (and on any
// host SCENARIO creates), so the scenario builds its own fresh state with
// the driving side, which never fails.
SIMHOST_API SweepSummary
sweepFaults(const std::function<void(const SweepRun&)>& scenario,
            const std::function<void(const SweepRun&)>& check,
            const std::string& operation = "");

}  // namespace sim

#endif
