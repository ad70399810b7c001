// The simulated host's inner state: objects, drawings, open bookkeeping,
// result-buffer accounting, fault points and the plug-in in the process.
// Internal to host/sim; plug-ins only ever see the host/api facades.
#ifndef HOST_SIM_HOST_STATE_H
#define HOST_SIM_HOST_STATE_H

#include <algorithm>
#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "dxf/group_codes.h"
#include "host/api/host_api.h"
#include "host/sim/dictionary_entries.h"
#include "host/sim/handle_index.h"
#include "host/sim/kept_groups.h"
#include "host/sim/resbuf_pool.h"
#include "host/sim/sim_host.h"
#include "text/ascii_case.h"
#include "text/hex_digits.h"

namespace dxf {
struct Document;
}  // namespace dxf

namespace sim {

class HostState;
class SimEditor;
class SimCommandStack;
class SimDynamicLinker;
class SimRegistry;

// Every host operation a plug-in can call passes one fault point named so.
enum class Op : int {
  Open,
  Close,
  UpgradeOpen,
  Erase,
  XData,
  SetXData,
  RegApp,
  GetAdsName,
  GetObjectId,
  GetNamedObjectsDictionary,
  GetAcDbObjectId,
  DictionaryGetAt,
  DictionarySetAt,
  SetFromRbChain,
  RbChain,
  BuildList,
  AddReactor,
  RemoveReactor,
  AddCommand,
  RemoveGroup,
  RegistryAt,
  UnlockApplication,
  RegisterAppMDIAware,
  WorkingDatabase,
  Count
};
const char* opName(Op op);

// How a group code's value is held in a result buffer: which member of its
// union (rstring, rreal, rpoint, rint, rlong, mnInt64, rlname, rbinary).
enum class ValueKind {
  None,
  String,
  Real,
  Point,
  Int16,
  Int32,
  Int64,
  Name,
  Binary,
  Invalid
};
// Every item the host makes, reads or frees asks for its code's kind: the
// drawing-file codes, 0 to 1071, are read from a table made from the DXF
// library's (group_codes.h).
constexpr int kDrawingCodeKinds = dxf::kMaxGroupCode + 1;
extern const ValueKind* const drawingCodeKinds;
ValueKind kindOfOtherCode(int code);
inline ValueKind kindOfCode(int code) {
  return code >= 0 && code < kDrawingCodeKinds ? drawingCodeKinds[code]
                                               : kindOfOtherCode(code);
}
// The codes xdata may hold after a 1001 item.
inline bool isXdataDataCode(int code) { return dxf::isXdataCode(code); }

// One stored item of xdata or of an xrecord.
struct StoredItem {
  short code = 0;
  AcWString text;
  double v[3] = {0, 0, 0};
  Adesk::Int64 n = 0;
  AcDbStub* ref = nullptr;  // an entity name, kept as the object it names
};

// A binary chunk's bytes are kept in StoredItem::text, a byte to a unit:
// chunks are rare in drawings and a member of their own would widen every
// item.
std::string storedBytes(const StoredItem& item);
void setStoredBytes(StoredItem& item, const std::string& bytes);

struct XdataEntry {
  std::size_t app = 0;  // index into the drawing's registered applications
  std::vector<StoredItem> items;
};

// Application names, dictionary keys and command names compare without
// regard to ASCII case (the host's symbol tables do); the stored spelling is
// kept for display. Handles are written as hexadecimal digits.
using text::hexText;
using text::upperAscii;

// Hash and equality of names without regard to ASCII case, for unordered
// containers keyed by them.
struct FoldedHash {
  std::size_t operator()(const AcWString& name) const {
    std::size_t hash = 14695981039346656037ull;  // FNV-1a
    for (ACHAR c : name)
      hash = (hash ^ std::size_t(text::upperAsciiChar(c))) * 1099511628211ull;
    return hash;
  }
};
struct FoldedEqual {
  bool operator()(const AcWString& a, const AcWString& b) const {
    return text::equalsIgnoringAsciiCase(a, b);
  }
};

// An application name or dictionary key the host accepts: 1 to 255 units, no
// control characters, none of <>/\":;?*|,=` and no blank at either end.
bool isValidSymbolName(const AcWString& name);
bool isValidSymbolName(const ACHAR* name, std::size_t length);

}  // namespace sim

// The host's record of one object, stable for the drawing's lifetime: an
// AcDbObjectId points at it.
class AcDbStub {
 public:
  AcDbImpDatabase* drawing = nullptr;
  Adesk::UInt64 handle = 0;
  AcDbObject* object = nullptr;  // null once a plug-in deleted it (misuse)
};

namespace sim {

class StubStore;

// Which memory holds stubs: an id handed in by a plug-in is checked here
// before anything is read through it.
class StubRegistry {
 public:
  bool contains(const AcDbStub* stub) const;
  void add(const void* chunk, const StubStore* store, std::size_t index);
  void remove(const void* chunk) {
    chunks_.erase(address(chunk));
    lastBase_ = 0;
  }

 private:
  using Place = std::pair<const StubStore*, std::size_t>;
  static std::uintptr_t address(const void* p) {
    return reinterpret_cast<std::uintptr_t>(p);
  }
  std::unordered_map<std::uintptr_t, Place> chunks_;
  // The chunk found last: the ids of one command's work mostly share one.
  mutable std::uintptr_t lastBase_ = 0;
  mutable Place lastPlace_;
};

// A drawing's stubs in order of creation, in aligned chunks that never move,
// so an id stays valid as the drawing grows and can be checked in constant
// time by the address of its chunk.
class StubStore {
 public:
  static constexpr std::size_t kChunkBytes = 64 * 1024;
  static constexpr std::size_t kPerChunk = kChunkBytes / sizeof(AcDbStub);

  class iterator {
   public:
    iterator(const StubStore* store, std::size_t index)
        : store_(store), index_(index) {}
    AcDbStub& operator*() const { return store_->at(index_); }
    AcDbStub* operator->() const { return &store_->at(index_); }
    iterator& operator++() {
      ++index_;
      return *this;
    }
    bool operator!=(const iterator& o) const { return index_ != o.index_; }
    bool operator==(const iterator& o) const { return index_ == o.index_; }

   private:
    const StubStore* store_;
    std::size_t index_;
  };

  explicit StubStore(StubRegistry& registry) : registry_(registry) {}
  ~StubStore();
  StubStore(const StubStore&) = delete;
  StubStore& operator=(const StubStore&) = delete;

  AcDbStub& emplace_back();
  AcDbStub& back() { return at(size_ - 1); }
  AcDbStub& at(std::size_t i) const {
    return chunks_[i / kPerChunk][i % kPerChunk];
  }
  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  iterator begin() const { return iterator(this, 0); }
  iterator end() const { return iterator(this, size_); }

 private:
  StubRegistry& registry_;
  std::vector<AcDbStub*> chunks_;
  std::size_t size_ = 0;
};

}  // namespace sim

class AcDbImpObject {
 public:
  struct OpenEntry {
    AcDb::OpenMode mode;
    bool byHost;
  };
  static constexpr std::size_t kNoPosition = ~std::size_t(0);

  // What only objects that were opened, cloned, made by a plug-in or are
  // xrecords use, made on first use: a drawing read from a file holds
  // mostly objects nobody opens, which then carry one null pointer for it.
  struct Activity {
    // Most recent last; close pops one. Counts avoid scans.
    std::vector<OpenEntry> opens;
    unsigned readers = 0;
    unsigned writers = 0;
    unsigned notifiers = 0;
    // Where the object sits in the host's sets of open and of new objects.
    std::size_t openPosition = kNoPosition;
    std::size_t newPosition = kNoPosition;
    // This object's clone while a deep clone is under way, else null: how
    // the deep clone finds, in constant time, whether a reference names an
    // object it cloned.
    AcDbStub* cloneInProgress = nullptr;
    // Xrecord data, when the object is an xrecord.
    std::vector<sim::StoredItem> record;
  };

  // The object's type name as an index into one table of the names seen, so
  // that each object spends four bytes on it instead of a string.
  class TypeName {
   public:
    TypeName() = default;
    TypeName(const std::string& name) : index_(indexOf(name)) {}
    TypeName(const char* name) : index_(indexOf(name)) {}
    const std::string& name() const { return nameAt(index_); }
    operator const std::string&() const { return name(); }
    bool operator==(const std::string& o) const { return name() == o; }
    bool operator!=(const std::string& o) const { return name() != o; }
    bool operator==(const char* o) const { return name() == o; }
    bool operator!=(const char* o) const { return name() != o; }

   private:
    static std::uint32_t indexOf(const std::string& name);
    static const std::string& nameAt(std::uint32_t index);
    std::uint32_t index_ = 0;  // 0 is the empty name
  };

  AcDbImpObject(AcDbObject* self, AcRxClass* kind);

  // What opening, closing and reading xdata touch comes first, so that an
  // open object costs as few cache lines as can be.
  AcDbObject* self;
  AcDbStub* stub = nullptr;  // null while the object is new
  std::vector<sim::XdataEntry> xdata;
  std::unique_ptr<Activity> activity;
  int pieces = 1;
  TypeName type;
  bool erased = false;

  AcDbStub* owner = nullptr;
  AcDbStub* extensionDictionary = nullptr;
  // Group codes and texts the host does not model, kept to write them back.
  sim::KeptGroups extras;
  // Dictionary entries, when the object is a dictionary.
  sim::DictionaryEntries entries;

  // The activity, made now if the object had none.
  Activity& active() {
    if (!activity) activity.reset(new Activity);
    return *activity;
  }
  bool isOpen() const { return activity && !activity->opens.empty(); }
  unsigned readers() const { return activity ? activity->readers : 0; }
  unsigned writers() const { return activity ? activity->writers : 0; }
  AcDbStub* cloneInProgress() const {
    return activity ? activity->cloneInProgress : nullptr;
  }
  const std::vector<sim::StoredItem>& record() const {
    static const std::vector<sim::StoredItem> kNone;
    return activity ? activity->record : kNone;
  }
  std::vector<sim::StoredItem>& editRecord() { return active().record; }
  void dropIdleActivity() {
    if (activity && activity->opens.empty() &&
        activity->openPosition == kNoPosition &&
        activity->newPosition == kNoPosition &&
        activity->cloneInProgress == nullptr && activity->record.empty())
      activity.reset();
  }
  bool readEnabled() const { return stub == nullptr || isOpen(); }
  bool writeEnabled() const { return stub == nullptr || writers() > 0; }
  std::string describe() const;  // "2A (LINE)" for messages
  // Inline: every open and close passes here.
  void push(AcDb::OpenMode mode, bool byHost) {
    Activity& a = active();
    a.opens.push_back(OpenEntry{mode, byHost});
    if (mode == AcDb::kForRead) ++a.readers;
    if (mode == AcDb::kForWrite) ++a.writers;
    if (mode == AcDb::kForNotify) ++a.notifiers;
  }
  void popAt(std::size_t index) {
    Activity& a = *activity;
    const AcDb::OpenMode mode = a.opens[index].mode;
    if (mode == AcDb::kForRead) --a.readers;
    if (mode == AcDb::kForWrite) --a.writers;
    if (mode == AcDb::kForNotify) --a.notifiers;
    a.opens.erase(a.opens.begin() + static_cast<std::ptrdiff_t>(index));
  }
};

namespace sim {

// A set of objects that each keep their own place in it, so that adding and
// removing one costs neither a search nor a heap call: every open and close
// passes here. The order is not kept; readers sort what they report.
template <std::size_t AcDbImpObject::Activity::*Position>
class ObjectSet {
 public:
  using const_iterator = std::vector<AcDbImpObject*>::const_iterator;

  void insert(AcDbImpObject* object) {
    if (count(object) != 0) return;
    object->active().*Position = members_.size();
    members_.push_back(object);
  }
  void erase(AcDbImpObject* object) {
    if (count(object) == 0) return;
    const std::size_t position = object->activity.get()->*Position;
    members_[position] = members_.back();
    members_[position]->activity.get()->*Position = position;
    members_.pop_back();
    object->activity.get()->*Position = AcDbImpObject::kNoPosition;
  }
  // An object without activity is in no set.
  std::size_t count(const AcDbImpObject* object) const {
    if (!object->activity) return 0;
    const std::size_t position = object->activity.get()->*Position;
    return position < members_.size() && members_[position] == object ? 1 : 0;
  }
  void clear() {
    for (AcDbImpObject* object : members_)
      object->activity.get()->*Position = AcDbImpObject::kNoPosition;
    members_.clear();
  }
  std::size_t size() const { return members_.size(); }
  bool empty() const { return members_.empty(); }
  const_iterator begin() const { return members_.begin(); }
  const_iterator end() const { return members_.end(); }

 private:
  std::vector<AcDbImpObject*> members_;
};

}  // namespace sim

class AcDbImpDatabase {
 public:
  AcDbImpDatabase(sim::HostState& host, const std::string& name, long serial);
  ~AcDbImpDatabase();

  // Gives a new object its handle and makes it part of this drawing.
  AcDbStub* append(AcDbObject* object, AcDbStub* owner);
  AcDbStub* findHandle(Adesk::UInt64 handle) const;
  // The index of a registered application, or -1.
  long findRegapp(const AcWString& name) const {
    return findRegapp(name.c_str());
  }
  long findRegapp(const ACHAR* name) const;
  std::size_t registerApp(const AcWString& name);
  std::size_t registerApp(const ACHAR* name, std::size_t length);

  sim::HostState& host;
  std::string name;
  long serial;
  std::unique_ptr<AcDbDatabase> facade;
  sim::StubStore stubs;  // in order of creation
  // The stubs whose handle is not their place in stubs plus one (handles
  // read from a file), and any whose handle changed after it was appended.
  sim::HandleIndex byHandle;
  Adesk::UInt64 nextHandle = 1;
  std::vector<AcWString> regapps;
  // Registered name -> its place in regapps.
  std::unordered_map<AcWString, std::size_t, sim::FoldedHash, sim::FoldedEqual>
      regappIndex;
  AcDbStub* namedObjects = nullptr;
  std::vector<AcDbDatabaseReactor*> reactors;
  // When the drawing last became current, to pick the next current one when
  // the current drawing closes.
  long becameCurrentAt = 0;
  // A closed drawing keeps its stubs and its facade, with every object
  // freed, so that a plug-in's later use of them is recognised and reported
  // rather than read as garbage.
  bool closed = false;
  // The DXF file this drawing was opened from or last saved to, less the
  // objects the host holds itself: what is written back as it came.
  std::shared_ptr<dxf::Document> fileDocument;
};

namespace sim {

struct ArmedFault {
  FaultSpec spec;
  long seen = 0;
};

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

class HostState {
 public:
  explicit HostState(Host* owner);
  ~HostState();

  // -- Fault points and counting --
  // True when this call must fail; counts the call either way.
  // Inline: every call a plug-in makes passes here, and nearly always with
  // no fault armed.
  bool fault(Op op, const AcDbStub* object = nullptr) {
    ++calls[static_cast<int>(op)];
    return !faults.empty() && armedFault(op, object);
  }
  bool armedFault(Op op, const AcDbStub* object);

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
    return stubRegistry.contains(stub);
  }
  AcDbObject* createObject(const std::string& type);
  AcDbStub* appendNew(AcDbImpDatabase& drawing, AcDbObject* object,
                      AcDbStub* owner);
  void noteOpened(AcDbImpObject& imp) { openObjects.insert(&imp); }
  void noteClosed(AcDbImpObject& imp) {
    if (!imp.isOpen()) openObjects.erase(&imp);
  }
  // Opens by the rules every opener follows; byHost marks the host's own.
  Acad::ErrorStatus openObject(AcDbStub* stub, AcDb::OpenMode mode,
                               bool openErased, bool byHost, AcDbObject*& out);
  void hostClose(AcDbImpObject& imp);
  // Copies xdata between drawings by application name.
  std::vector<XdataEntry> xdataFor(const AcDbImpObject& source,
                                   AcDbImpDatabase& target);

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
  template <typename Context, typename F>
  void callPlugin(const Context& context, F&& f) {
    ++pluginDepth;
    f();
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

  // -- Commands and plug-ins --
  const RegisteredCommandRecord* findCommand(const std::string& name) const;
  bool isStaleCommand(const std::string& name) const;
  void print(const std::string& text);
  bool isModuleCode(const void* object) const;
  void detachModuleReactors(const std::string& when);

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
    for (auto& drawing : drawings) f(*drawing);
    if (clipboard) f(*clipboard);
  }

  Host* owner;
  std::vector<std::unique_ptr<AcDbImpDatabase>> drawings;
  std::vector<std::unique_ptr<AcDbImpDatabase>> closedDrawings;
  AcDbImpDatabase* current = nullptr;
  // COPYCLIP's drawing: made on first use, never current, not among the
  // drawings. Its objects live as long as the host, so that references a
  // paste keeps into it never dangle; COPYCLIP erases what it held.
  std::unique_ptr<AcDbImpDatabase> clipboard;
  std::vector<AcDbStub*> clipboardContents;  // the last COPYCLIP's clones
  long nextSerial = 1;
  long currentChanges = 0;

  StubRegistry stubRegistry;
  ObjectSet<&AcDbImpObject::Activity::openPosition> openObjects;
  ObjectSet<&AcDbImpObject::Activity::newPosition> newObjects;
  // Reported as leaked; deleted with the host unless the plug-in does.
  std::unordered_set<AcDbObject*> leakedNewObjects;
  bool destroying = false;

  // The blocks of the setXData call under way (see there).
  std::vector<XdataEntry> xdataUpdates;

  // Every item handed out, with the string it was given, so a plug-in that
  // swaps an item's string cannot make the host free foreign memory.
  ResbufPool resbufs;

  std::vector<std::string> violations;
  std::vector<std::string> lines;
  std::string pendingLine;

  std::unique_ptr<SimEditor> editor;
  std::unique_ptr<SimCommandStack> commandStack;
  std::unique_ptr<SimDynamicLinker> linker;
  std::unique_ptr<SimRegistry> registry;
  std::vector<RegisteredCommandRecord> commands;
  std::set<std::string> pluginCommandNames;  // folded, ever registered
  std::vector<void*> unlockedApps;
  std::vector<void*> mdiAwareApps;

  std::array<long, static_cast<int>(Op::Count)> calls{};
  long injected = 0;
  std::vector<ArmedFault> faults;

  std::unique_ptr<LoadedModule> module;
  std::vector<CommandFrame> commandFrames;
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

}  // namespace sim

#endif
