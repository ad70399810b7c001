// The host object: the one current host, its drawings, the user's edits and
// what tests and the runner can see of its state.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <iterator>

#include "dxf/dxf_tag.h"
#include "host/sim/api/runtime_services.h"
#include "host/sim/api/xdata_rules.h"
#include "host/sim/drawing/entity_geometry.h"
#include "host/sim/host_state.h"

namespace sim {

// Kept apart from the host so that it reads null while the state is torn down.
HostState* gCurrentState = nullptr;

namespace {
Host* gCurrentHost = nullptr;

// The user's typed item as the host stores it; false when the value's type
// does not suit the code.
bool storedOfItem(const Item& item, StoredItem& stored) {
  stored.code = static_cast<short>(item.code);
  switch (kindOfCode(item.code)) {
    case ValueKind::String:
      if (!std::holds_alternative<std::string>(item.value)) return false;
      stored.text = toWide(std::get<std::string>(item.value));
      return true;
    case ValueKind::Point:
      if (!std::holds_alternative<Point>(item.value)) return false;
      stored.v[0] = std::get<Point>(item.value).x;
      stored.v[1] = std::get<Point>(item.value).y;
      stored.v[2] = std::get<Point>(item.value).z;
      return true;
    case ValueKind::Real:
      if (std::holds_alternative<double>(item.value))
        stored.v[0] = std::get<double>(item.value);
      else if (std::holds_alternative<long>(item.value))
        stored.v[0] = static_cast<double>(std::get<long>(item.value));
      else
        return false;
      return true;
    case ValueKind::Int16:
    case ValueKind::Int32:
    case ValueKind::Int64:
      if (!std::holds_alternative<long>(item.value)) return false;
      stored.n = std::get<long>(item.value);
      return true;
    case ValueKind::Binary: {
      std::string bytes;
      const std::string* hex = std::get_if<std::string>(&item.value);
      if (hex == nullptr || !dxf::parseBinary(*hex, bytes) ||
          bytes.size() > dxf::kMaxBinaryChunk)
        return false;
      setStoredBytes(stored, bytes);
      return true;
    }
    default:
      return false;
  }
}
}  // namespace

Item itemOfStored(const StoredItem& stored) {
  Item item;
  item.code = stored.code;
  switch (kindOfCode(stored.code)) {
    case ValueKind::String:
      item.value = toUtf8(stored.text);
      break;
    case ValueKind::Point:
      item.value = Point{stored.v[0], stored.v[1], stored.v[2]};
      break;
    case ValueKind::Real:
      item.value = stored.v[0];
      break;
    case ValueKind::Int16:
    case ValueKind::Int32:
    case ValueKind::Int64:
      item.value = static_cast<long>(stored.n);
      break;
    case ValueKind::Name:
      item.value =
          stored.ref != nullptr ? hexText(stored.ref->handle) : std::string();
      break;
    case ValueKind::Binary:
      item.value = dxf::binaryText(storedBytes(stored));
      break;
    default:
      item.value = std::string();
      break;
  }
  return item;
}

Host::Host() {
  if (gCurrentHost != nullptr) {
    std::fprintf(stderr,
                 "sim::Host: a second host was made while one is alive\n");
    std::abort();
  }
  state_.reset(new HostState(this));
  gCurrentHost = this;
  gCurrentState = state_.get();
  FaultSpec spec;
  if (sweepFault(spec)) armFault(spec);
}

Host::~Host() {
  clearFaults();
  if (state_->plugin.module) {
    unloadModule();
    // Still refusing with nothing failing: what it leaves is reported.
    if (state_->plugin.module) state_->finishUnload("after it unloaded");
  }
  // While the state is torn down, currentState() is already null, so the
  // objects it deletes do no bookkeeping.
  gCurrentState = nullptr;
  state_.reset();
  gCurrentHost = nullptr;
}

Host* Host::current() { return gCurrentHost; }

// ---- Drawings ---------------------------------------------------------------

AcDbDatabase* Host::useDrawing(const std::string& name) {
  if (name.empty()) return nullptr;
  HostState& s = *state_;
  AcDbImpDatabase* found = nullptr;
  for (auto& drawing : s.drawings.open)
    if (drawing->name == name) found = drawing.get();
  if (found == nullptr) {
    s.drawings.open.emplace_back(
        new AcDbImpDatabase(s, name, s.drawings.nextSerial++));
    found = s.drawings.open.back().get();
  }
  s.makeCurrent(found);
  return found->facade.get();
}

bool Host::closeDrawing(const std::string& name) {
  HostState& s = *state_;
  AcDbImpDatabase* closing = nullptr;
  for (auto& drawing : s.drawings.open)
    if (drawing->name == name) closing = drawing.get();
  if (closing == nullptr) return false;

  // A real host ends what runs in a document before it lets the document go.
  for (std::size_t i = s.commands.frames.size(); i-- > 0;) {
    if (s.commands.frames[i].drawing != closing) continue;
    const CommandFrame frame = s.commands.frames[i];
    s.commands.frames.erase(s.commands.frames.begin() +
                            static_cast<std::ptrdiff_t>(i));
    if (!frame.accepted) continue;
    const AcWString& command = frame.notifyName;
    s.notifyEditor("commandCancelled(" + toUtf8(command) + ")",
                   [&](AcEditorReactor* reactor) {
                     reactor->commandCancelled(command.c_str());
                   });
    if (s.pluginDepth == 0) s.audit("command " + frame.name);
  }

  AcDbDatabase* facade = closing->facade.get();
  s.notifyEditor("databaseToBeDestroyed(" + name + ")",
                 [&](AcEditorReactor* reactor) {
                   reactor->databaseToBeDestroyed(facade);
                 });
  for (const AcDbDatabaseReactor* reactor : closing->reactors)
    s.reactorsOfClosedDrawings[reactor] = name;
  s.notifyDatabase(
      *closing, "goodbye(" + name + ")",
      [&](AcDbDatabaseReactor* reactor) { reactor->goodbye(facade); });
  for (std::size_t i = 0; i < closing->reactors.size(); ++i)
    s.violation("a database reactor was left attached to drawing " + name +
                " as it closed");
  closing->reactors.clear();

  const bool wasCurrent = s.drawings.current == closing;
  if (wasCurrent) s.drawings.current = nullptr;
  s.retireDrawing(*closing);
  if (!wasCurrent) return true;
  // The drawing the user worked in last takes over, as when a window closes.
  AcDbImpDatabase* next = nullptr;
  for (auto& drawing : s.drawings.open)
    if (next == nullptr || drawing->becameCurrentAt >= next->becameCurrentAt)
      next = drawing.get();
  s.makeCurrent(next);
  return true;
}

bool Host::isOfClosedDrawing(AcDbObjectId id) const {
  Acad::ErrorStatus status;
  state_->resolve(id, status);
  return status == Acad::eDatabaseClosed;
}

AcDbDatabase* Host::currentDrawing() const {
  return state_->drawings.current != nullptr
             ? state_->drawings.current->facade.get()
             : nullptr;
}

std::string Host::currentDrawingName() const {
  return state_->drawings.current != nullptr ? state_->drawings.current->name
                                             : std::string();
}

std::vector<std::string> Host::drawingNames() const {
  std::vector<std::string> names;
  for (auto& drawing : state_->drawings.open) names.push_back(drawing->name);
  return names;
}

AcDbDatabase* Host::drawing(const std::string& name) const {
  for (auto& drawing : state_->drawings.open)
    if (drawing->name == name) return drawing->facade.get();
  return nullptr;
}

// ---- The user's edits -------------------------------------------------------

AcDbObjectId Host::addObject(const std::string& type, int pieces) {
  HostState& s = *state_;
  if (s.drawings.current == nullptr) return AcDbObjectId();
  AcDbObject* object = s.createObject(type);
  if (object == nullptr) return AcDbObjectId();
  AcDbStub* stub = s.appendNew(*s.drawings.current, object, nullptr);
  AcDbImpObject& imp = *object->impObject();
  if (!object->isKindOf(AcDbEntity::desc()))
    imp.pieces = 0;
  else if (imp.type == "POLYLINE")
    imp.pieces = pieces < 0 ? 0 : pieces;
  s.announceAppended(*s.drawings.current, stub);
  return AcDbObjectId(stub);
}

AcDbObjectId Host::addObject(const std::string& type, const Shape& shape,
                             int pieces) {
  HostState& s = *state_;
  if (s.drawings.current == nullptr) return AcDbObjectId();
  static const char* const kShaped[] = {"LINE", "CIRCLE", "ARC", "POLYLINE",
                                        "TEXT"};
  if (std::find(std::begin(kShaped), std::end(kShaped), type) ==
      std::end(kShaped))
    return AcDbObjectId();
  const bool points = type == "POLYLINE" && shape.has(Shape::kPoints);
  if (points) {
    const std::size_t n = shape.vertices.size();
    pieces = static_cast<int>(n < 2 ? 1 : shape.closed ? n : n - 1);
  }
  AcDbObject* object = s.createObject(type);
  if (object == nullptr) return AcDbObjectId();
  AcDbImpObject& imp = *object->impObject();
  imp.pieces = type == "POLYLINE" ? std::max(0, pieces) : 1;
  if (shape.keys != 0)
    imp.extras = keptOf(groupsWith(type, shape, imp.pieces,
                                   fileEncodingOf(*s.drawings.current)));
  AcDbStub* stub = s.appendNew(*s.drawings.current, object, nullptr);
  s.announceAppended(*s.drawings.current, stub);
  return AcDbObjectId(stub);
}

bool Host::shapeOf(AcDbObjectId id, Shape& shape) const {
  HostState& s = *state_;
  Acad::ErrorStatus status;
  AcDbStub* stub = s.resolve(id, status);
  if (stub == nullptr) return false;
  const AcDbImpObject& imp = *stub->object->impObject();
  if (!imp.self->isKindOf(AcDbEntity::desc())) return false;
  EntityGroups groups;
  groupsOf(imp, groups);
  return sim::shapeOf(groups, fileEncodingOf(*stub->drawing), shape);
}

namespace {
AcDbImpObject* liveImp(HostState& s, AcDbObjectId id) {
  Acad::ErrorStatus status;
  AcDbStub* stub = s.resolve(id, status);
  if (stub == nullptr || stub->object->impObject()->erased) return nullptr;
  return stub->object->impObject();
}

bool isLiveStub(const AcDbStub* stub) {
  return stub != nullptr && stub->object != nullptr &&
         !stub->object->impObject()->erased;
}
}  // namespace

AcDbObjectId Host::addExtensionDictionary(AcDbObjectId object) {
  HostState& s = *state_;
  AcDbImpObject* owner = liveImp(s, object);
  if (owner == nullptr || isLiveStub(owner->extensionDictionary))
    return AcDbObjectId();
  AcDbImpDatabase& drawing = *owner->stub->drawing;
  AcDbStub* stub =
      s.appendNew(drawing, s.createObject("DICTIONARY"), owner->stub);
  stub->object->impObject()->pieces = 0;
  owner->extensionDictionary = stub;
  s.announceAppended(drawing, stub);
  return AcDbObjectId(stub);
}

AcDbObjectId Host::addToDictionary(AcDbObjectId dictionary,
                                   const std::string& key,
                                   const std::string& type) {
  HostState& s = *state_;
  AcDbImpObject* owner = liveImp(s, dictionary);
  const AcWString wideKey = toWide(key);
  if (owner == nullptr || owner->type != "DICTIONARY" ||
      !isValidSymbolName(wideKey) ||
      (type != "DICTIONARY" && type != "XRECORD"))
    return AcDbObjectId();
  const auto* existing = owner->entries().find(wideKey);
  if (existing != nullptr && isLiveStub(existing->second))
    return AcDbObjectId();
  AcDbImpDatabase& drawing = *owner->stub->drawing;
  AcDbStub* stub = s.appendNew(drawing, s.createObject(type), owner->stub);
  stub->object->impObject()->pieces = 0;
  owner->editEntries().assign(wideKey, stub);
  s.announceAppended(drawing, stub);
  return AcDbObjectId(stub);
}

bool Host::registerApp(const std::string& name) {
  HostState& s = *state_;
  const AcWString wide = toWide(name);
  if (s.drawings.current == nullptr || !isValidSymbolName(wide)) return false;
  s.drawings.current->registerApp(wide);
  return true;
}

std::string Host::xdataItemProblem(const Item& item) {
  const std::string code = std::to_string(item.code);
  StoredItem stored;
  if (!isXdataDataCode(item.code)) return "xdata holds no code " + code;
  if (!storedOfItem(item, stored))
    return "the value is not of the type code " + code + " takes";
  // Braces are judged as pairs, by the block.
  if (item.code == 1002) return std::string();
  if (checkBlockItems({stored}) == Acad::eOk) return std::string();
  if (item.code == 1000 || item.code == 1003)
    return "a text is at most " + std::to_string(kLongestXdataText) +
           " characters, not " + std::to_string(stored.text.size());
  return "the value is out of the range of code " + code;
}

Acad::ErrorStatus Host::setXData(AcDbObjectId id, const std::string& app,
                                 const Items& items) {
  HostState& s = *state_;
  Acad::ErrorStatus status = Acad::eOk;
  AcDbStub* stub = s.resolve(id, status);
  if (stub == nullptr) return status;
  const AcWString appName = toWide(app);
  if (!isValidSymbolName(appName)) return Acad::eInvalidInput;
  AcDbImpDatabase& drawing = *stub->drawing;
  AcDbImpObject& imp = *stub->object->impObject();

  XdataEntry update;
  for (const Item& item : items) {
    StoredItem stored;
    if (!isXdataDataCode(item.code) || !storedOfItem(item, stored))
      return Acad::eInvalidInput;
    update.items.push_back(std::move(stored));
  }
  const Acad::ErrorStatus checked = checkBlockItems(update.items);
  if (checked != Acad::eOk) return checked;
  const long known = drawing.findRegapp(appName);
  if (known < 0 && update.items.empty()) return Acad::eOk;
  // A new application is registered only once the xdata is known to fit.
  update.app =
      known >= 0 ? static_cast<std::size_t>(known) : drawing.regapps.size();
  std::vector<XdataEntry> updates;
  updates.push_back(std::move(update));
  const Acad::ErrorStatus merged =
      mergeXdata(imp.editXdata(), std::move(updates));
  if (merged != Acad::eOk) return merged;
  if (known < 0) drawing.registerApp(appName);
  return Acad::eOk;
}

Acad::ErrorStatus Host::erase(AcDbObjectId id) {
  HostState& s = *state_;
  Acad::ErrorStatus status = Acad::eOk;
  AcDbStub* stub = s.resolve(id, status);
  if (stub == nullptr) return status;
  AcDbImpObject& imp = *stub->object->impObject();
  if (imp.erased) return Acad::eWasErased;
  imp.erased = true;
  s.announceErased(*stub->drawing, stub);
  return Acad::eOk;
}

// ---- Introspection ----------------------------------------------------------

namespace {
void fillObjectInfo(const AcDbStub& stub, ObjectInfo& info) {
  const AcDbImpObject& imp = *stub.object->impObject();
  const AcDbImpDatabase& drawing = *stub.drawing;
  info.id = AcDbObjectId(const_cast<AcDbStub*>(&stub));
  info.handle = hexText(stub.handle);
  info.type = imp.type;
  info.erased = imp.erased;
  info.ownerHandle = imp.owner != nullptr ? hexText(imp.owner->handle) : "";
  info.ownerId = AcDbObjectId(imp.owner);
  info.extensionDictionary = AcDbObjectId(imp.extensionDictionary);
  info.pieces = imp.pieces;
  info.entity = imp.self->isKindOf(AcDbEntity::desc());
  info.xdata.clear();
  for (const XdataEntry& block : imp.xdata()) {
    XdataBlock out;
    out.app = toUtf8(drawing.regapps[block.app]);
    for (const StoredItem& stored : block.items)
      out.items.push_back(itemOfStored(stored));
    info.xdata.push_back(std::move(out));
  }
}

const AcDbImpObject* liveObject(const AcDbStub* stub) {
  if (stub == nullptr || stub->object == nullptr) return nullptr;
  const AcDbImpObject* imp = stub->object->impObject();
  return imp->erased ? nullptr : imp;
}
}  // namespace

std::vector<DrawingInfo> Host::drawings() const {
  std::vector<DrawingInfo> all;
  for (auto& drawing : state_->drawings.open)
    all.push_back(drawingInfo(drawing->name));
  return all;
}

DrawingInfo Host::drawingInfo(const std::string& name) const {
  DrawingInfo info;
  const AcDbImpDatabase* found = nullptr;
  for (auto& drawing : state_->drawings.open)
    if (drawing->name == name) found = drawing.get();
  if (found == nullptr) return info;
  info.name = found->name;
  info.current = found == state_->drawings.current;
  for (const AcWString& app : found->regapps)
    info.regapps.push_back(toUtf8(app));
  info.objects.reserve(found->stubs.size());
  for (const AcDbStub& stub : found->stubs) {
    if (stub.object == nullptr) continue;
    info.objects.emplace_back();
    fillObjectInfo(stub, info.objects.back());
  }
  const AcDbImpObject* nod = liveObject(found->namedObjects);
  if (nod == nullptr) return info;
  for (const auto& entry : nod->entries()) {
    const AcDbImpObject* value = liveObject(entry.second);
    if (value == nullptr) continue;
    info.namedObjects.emplace_back(toUtf8(entry.first), value->type);
  }
  return info;
}

std::size_t Host::objectCount(const std::string& name) const {
  std::size_t count = 0;
  for (auto& drawing : state_->drawings.open)
    if (drawing->name == name) {
      count = 0;
      for (const AcDbStub& stub : drawing->stubs)
        if (stub.object != nullptr) ++count;
    }
  return count;
}

bool Host::objectInfo(AcDbObjectId id, ObjectInfo& info) const {
  Acad::ErrorStatus status;
  AcDbStub* stub = state_->resolve(id, status);
  if (stub == nullptr) return false;
  fillObjectInfo(*stub, info);
  return true;
}

std::string Host::handleText(AcDbObjectId id) const {
  Acad::ErrorStatus status;
  AcDbStub* stub = state_->resolve(id, status);
  return stub != nullptr ? hexText(stub->handle) : std::string();
}

AcDbObjectId Host::idFromHandle(const std::string& hexText) const {
  Adesk::UInt64 value = 0;
  if (state_->drawings.current == nullptr || !dxf::parseHandle(hexText, value))
    return AcDbObjectId();
  AcDbStub* stub = state_->drawings.current->findHandle(value);
  return stub != nullptr && stub->object != nullptr ? AcDbObjectId(stub)
                                                    : AcDbObjectId();
}

std::vector<XdataBlock> Host::xdataOf(AcDbObjectId id) const {
  ObjectInfo info;
  if (!objectInfo(id, info)) return {};
  return info.xdata;
}

namespace {
const AcDbImpObject* liveOfType(const HostState& state, AcDbObjectId id,
                                const char* type) {
  Acad::ErrorStatus status;
  const AcDbImpObject* imp = liveObject(state.resolve(id, status));
  return imp != nullptr && imp->type == type ? imp : nullptr;
}
}  // namespace

AcDbObjectId Host::namedObjectsDictionary(const std::string& name) const {
  for (auto& drawing : state_->drawings.open)
    if (drawing->name == name) return AcDbObjectId(drawing->namedObjects);
  return AcDbObjectId();
}

std::vector<DictionaryEntry> Host::dictionaryEntries(
    AcDbObjectId dictionary) const {
  std::vector<DictionaryEntry> entries;
  const AcDbImpObject* imp = liveOfType(*state_, dictionary, "DICTIONARY");
  if (imp == nullptr) return entries;
  for (const auto& entry : imp->entries())
    if (liveObject(entry.second) != nullptr)
      entries.push_back({toUtf8(entry.first), AcDbObjectId(entry.second)});
  return entries;
}

AcDbObjectId Host::dictionaryAt(AcDbObjectId dictionary,
                                const std::string& key) const {
  const AcDbImpObject* imp = liveOfType(*state_, dictionary, "DICTIONARY");
  if (imp == nullptr) return AcDbObjectId();
  const auto* entry = imp->entries().find(toWide(key));
  return entry != nullptr && liveObject(entry->second) != nullptr
             ? AcDbObjectId(entry->second)
             : AcDbObjectId();
}

Items Host::xrecordItems(AcDbObjectId xrecord) const {
  Items items;
  const AcDbImpObject* imp = liveOfType(*state_, xrecord, "XRECORD");
  if (imp == nullptr) return items;
  for (const StoredItem& stored : imp->record())
    items.push_back(itemOfStored(stored));
  return items;
}

const char* const Host::kClipboardName = "*clipboard*";

std::string Host::drawingNameOf(AcDbObjectId id) const {
  Acad::ErrorStatus status;
  const AcDbStub* stub = state_->resolve(id, status);
  if (stub == nullptr) return std::string();
  return stub->drawing->name;
}

std::vector<std::string> Host::commandLine() const {
  std::vector<std::string> lines = state_->output.lines;
  if (!state_->output.pendingLine.empty())
    lines.push_back(state_->output.pendingLine);
  return lines;
}

void Host::clearCommandLine() {
  state_->output.lines.clear();
  state_->output.pendingLine.clear();
}

void Host::setIdMapReferences(bool on) { state_->idMapReferences = on; }

bool Host::idMapReferences() const { return state_->idMapReferences; }

int Host::editorReactorCount() const {
  return static_cast<int>(state_->editor->reactors.size());
}

void Host::attachEditorObserver(AcEditorReactor* observer) {
  std::vector<AcEditorReactor*>& reactors = state_->editor->reactors;
  if (!state_->editor->isAttached(observer)) {
    reactors.insert(reactors.begin(), observer);
    state_->editor->observers.push_back(observer);
  }
}

void Host::detachEditorObserver(AcEditorReactor* observer) {
  state_->editor->detach(observer);
  std::vector<const AcEditorReactor*>& observers = state_->editor->observers;
  observers.erase(std::remove(observers.begin(), observers.end(), observer),
                  observers.end());
}

bool Host::isEditorReactorAttached(const AcEditorReactor* reactor) const {
  return state_->editor->isAttached(reactor);
}

int Host::databaseReactorCount() const {
  std::size_t count = 0;
  state_->forEachDrawing(
      [&](AcDbImpDatabase& drawing) { count += drawing.reactors.size(); });
  return static_cast<int>(count);
}

std::vector<RegisteredCommand> Host::registeredCommands() const {
  std::vector<RegisteredCommand> all;
  for (const RegisteredCommandRecord& c : state_->commands.registered)
    all.push_back(RegisteredCommand{toUtf8(c.group), toUtf8(c.globalName),
                                    toUtf8(c.localName), c.flags});
  return all;
}

std::vector<std::string> Host::commandGroups() const {
  std::vector<std::string> groups;
  for (const RegisteredCommandRecord& c : state_->commands.registered) {
    const std::string group = toUtf8(c.group);
    if (std::find(groups.begin(), groups.end(), group) == groups.end())
      groups.push_back(group);
  }
  return groups;
}

std::vector<std::string> Host::commandNames() const {
  std::vector<std::string> names;
  for (const RegisteredCommandRecord& c : state_->commands.registered)
    names.push_back(toUtf8(c.globalName));
  return names;
}

std::vector<void*> Host::unlockedApplications() const {
  return state_->plugin.unlockedApps;
}

std::vector<void*> Host::mdiAwareApplications() const {
  return state_->plugin.mdiAwareApps;
}

void Host::removeRegistryEntry(const std::string& key) {
  state_->registry->present.erase(key);
}

void Host::restoreRegistryEntry(const std::string& key) {
  auto it = state_->registry->all.find(key);
  if (it != state_->registry->all.end())
    state_->registry->present[key] = it->second;
}

// ---- Accounting -------------------------------------------------------------

void Host::audit() { state_->audit("audit"); }

const std::vector<std::string>& Host::violations() const {
  return state_->output.violations;
}

void Host::clearViolations() { state_->output.violations.clear(); }

long Host::openObjectCount() const {
  return static_cast<long>(state_->objects.open.size());
}

long Host::liveResbufItems() const {
  return static_cast<long>(state_->resbufs.liveCount());
}

long Host::liveNewObjects() const {
  return static_cast<long>(state_->objects.fresh.size());
}

resbuf* Host::buildChain(const Items& items) {
  HostState& s = *state_;
  resbuf* head = nullptr;
  resbuf* tail = nullptr;
  for (const Item& item : items) {
    resbuf* rb = nullptr;
    StoredItem stored;
    if (kindOfCode(item.code) == ValueKind::Name) {
      rb = s.newItem(static_cast<short>(item.code));
      AcDbObjectId named;
      if (const std::string* text = std::get_if<std::string>(&item.value))
        named = idFromHandle(*text);
      s.adsNameOf(named.stub(), rb->resval.rlname);
    } else if (storedOfItem(item, stored)) {
      rb = s.chainFromStored({stored}, s.drawings.current);
    } else {
      rb = s.newItem(static_cast<short>(item.code));
    }
    if (tail == nullptr)
      head = rb;
    else
      tail->rbnext = rb;
    tail = rb;
  }
  return head;
}

Items Host::itemsOf(const resbuf* chain) const {
  Items items;
  for (const resbuf* rb = chain; rb != nullptr; rb = rb->rbnext) {
    StoredItem stored;
    const resbuf single{nullptr, rb->restype, rb->resval};
    std::vector<StoredItem> one;
    if (state_->storedFromChain(&single, one) == Acad::eOk)
      items.push_back(itemOfStored(one.front()));
    else
      items.push_back(Item{rb->restype, std::string()});
  }
  return items;
}

}  // namespace sim
