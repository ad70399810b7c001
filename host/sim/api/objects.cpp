// Drawing objects: their inner state, lifetime on the host's heap, open and
// close bookkeeping, handles and erasing; and the reactor base classes.
#include <cstdint>
#include <deque>
#include <new>
#include <string>
#include <unordered_map>

#include "host/sim/api/runtime_services.h"
#include "host/sim/host_state.h"
#include "host/sim/object_state_pool.h"

using sim::currentState;
using sim::HostState;

namespace {

AcDbImpObject::TypeName typeOfKind(const AcRxClass* kind) {
  // Every object made passes here: the classes and their names' places in
  // the table of names are looked up once (a lookup by text cost each copy
  // about 75 instructions).
  static const AcRxClass* const known[] = {
      AcDbLine::desc(),       AcDbCircle::desc(), AcDbArc::desc(),
      AcDbPolyline::desc(),   AcDbText::desc(),   AcDbProxyEntity::desc(),
      AcDbDictionary::desc(), AcDbXrecord::desc()};
  static const AcDbImpObject::TypeName names[] = {
      "LINE",       "CIRCLE", "ARC", "POLYLINE", "TEXT", "ACAD_PROXY_ENTITY",
      "DICTIONARY", "XRECORD"};
  std::size_t i = 0;
  while (i < sizeof known / sizeof known[0] && known[i] != kind) ++i;
  if (i < sizeof known / sizeof known[0]) return names[i];
  return kind != nullptr ? sim::upperAscii(sim::toUtf8(kind->name()))
                         : std::string();
}

// Reading an object through a pointer kept after its last close works on no
// host; report it rather than let it pass.
bool checkReadable(const AcDbImpObject& imp, const char* operation) {
  if (imp.readEnabled()) return true;
  if (HostState* state = currentState())
    state->violation(std::string(operation) + " on object " + imp.describe() +
                     " that is not open");
  return false;
}

}  // namespace

namespace {

// Every type name any object had, never freed: a drawing holds a few dozen.
// The host runs on one thread, so the table needs no lock.
struct TypeNames {
  std::deque<std::string> names{std::string()};
  std::unordered_map<std::string, std::uint32_t> indexes{{std::string(), 0}};
};

TypeNames& typeNames() {
  static TypeNames* const table = new TypeNames;  // outlives every object
  return *table;
}

}  // namespace

std::uint32_t AcDbImpObject::TypeName::indexOf(const std::string& name) {
  TypeNames& table = typeNames();
  const auto found = table.indexes.find(name);
  if (found != table.indexes.end()) return found->second;
  const auto index = static_cast<std::uint32_t>(table.names.size());
  table.names.push_back(name);
  table.indexes.emplace(name, index);
  return index;
}

const std::string& AcDbImpObject::TypeName::nameAt(std::uint32_t index) {
  return typeNames().names[index];
}

AcDbImpObject::AcDbImpObject(AcDbObject* owner, AcRxClass* kind)
    : self(owner),
      type(typeOfKind(kind)),
      pieces(1),
      erased(false),
      xdataInFile_(false) {}

std::string AcDbImpObject::describe() const {
  return (stub != nullptr ? sim::hexText(stub->handle) : std::string("new")) +
         " (" + type.name() + ")";
}

namespace {

// The host's part of an object a plug-in makes with new: the plug-in's
// allocation is the object itself, this one is the host's.
AcDbImpObject* newImpObject(AcDbObject* owner, AcRxClass* kind) {
  const sim::HostCodeScope hostCode;
  return new (sim::takeObjectStateSlot()) AcDbImpObject(owner, kind);
}

}  // namespace

AcDbObject::AcDbObject(AcRxClass* kind) : impObject_(newImpObject(this, kind)) {
  const sim::HostCodeScope hostCode;
  if (HostState* state = currentState())
    state->objects.fresh.insert(impObject_);
}

AcDbObject::~AcDbObject() {
  const sim::HostCodeScope hostCode;
  HostState* state = currentState();
  if (state != nullptr && !state->destroying) {
    state->objects.fresh.erase(impObject_);
    state->objects.leaked.erase(this);
    state->objects.open.erase(impObject_);
    if (impObject_->stub != nullptr) {
      state->violation("object " + impObject_->describe() +
                       " deleted while it belongs to a drawing (close it "
                       "instead)");
      impObject_->stub->object = nullptr;
    }
  }
  impObject_->~AcDbImpObject();
  sim::giveBackObjectStateSlot(impObject_);
}

// Objects are made and freed in the host's library, whichever side calls new
// or delete: on a platform where each library has its own heap, a plug-in's
// delete of a host object must not reach its own.
void* AcDbObject::operator new(std::size_t size) {
  return ::operator new(size);
}

void AcDbObject::operator delete(void* p) { ::operator delete(p); }

AcDbObjectId AcDbObject::objectId() const {
  return AcDbObjectId(impObject_->stub);
}

AcDbObjectId AcDbObject::ownerId() const {
  return AcDbObjectId(impObject_->owner);
}

AcDbDatabase* AcDbObject::database() const {
  return impObject_->stub != nullptr ? impObject_->stub->drawing->facade.get()
                                     : nullptr;
}

void AcDbObject::getAcDbHandle(AcDbHandle& handle) const {
  const sim::HostCodeScope hostCode;
  checkReadable(*impObject_, "getAcDbHandle");
  handle =
      AcDbHandle(impObject_->stub != nullptr ? impObject_->stub->handle : 0);
}

bool AcDbObject::isErased() const { return impObject_->erased; }
bool AcDbObject::isReadEnabled() const { return impObject_->readEnabled(); }
bool AcDbObject::isWriteEnabled() const { return impObject_->writeEnabled(); }
bool AcDbObject::isNewObject() const { return impObject_->stub == nullptr; }

namespace {

// The misuses close reports, apart from the path of every good close, which
// then builds no message text and keeps few registers.
#if defined(__GNUC__)
__attribute__((noinline))
#endif
Acad::ErrorStatus
misusedClose(HostState& state, const AcDbImpObject& imp) {
  const sim::HostCodeScope hostCode;
  if (imp.stub == nullptr) {
    state.violation("close of new object " + imp.describe() +
                    " that is in no drawing (delete it instead)");
    return Acad::eNotInDatabase;
  }
  if (!imp.isOpen()) {
    state.violation("close of object " + imp.describe() + " that is not open");
    return Acad::eWasNotOpen;
  }
  state.violation("close of object " + imp.describe() +
                  " that the host holds open and closes itself");
  return Acad::eWasNotOpen;
}

}  // namespace

Acad::ErrorStatus AcDbObject::close() {
  HostState* state = currentState();
  AcDbImpObject& imp = *impObject_;
  if (state == nullptr) return Acad::eNoDatabase;
  if (state->fault(sim::Op::Close, imp.stub)) return Acad::eOutOfMemory;
  if (imp.stub == nullptr || !imp.isOpen() || imp.activity->opens.back().byHost)
    return misusedClose(*state, imp);
  imp.popAt(imp.activity->opens.size() - 1);
  state->noteClosed(imp);
  return Acad::eOk;
}

Acad::ErrorStatus AcDbObject::upgradeOpen() {
  const sim::HostCodeScope hostCode;
  HostState* state = currentState();
  AcDbImpObject& imp = *impObject_;
  if (state == nullptr) return Acad::eNoDatabase;
  if (state->fault(sim::Op::UpgradeOpen, imp.stub))
    return Acad::eWasOpenForRead;
  if (imp.stub == nullptr) return Acad::eWasOpenForWrite;
  if (!imp.isOpen()) {
    state->violation("upgradeOpen of object " + imp.describe() +
                     " that is not open");
    return Acad::eWasNotOpen;
  }
  AcDbImpObject::Activity& activity = *imp.activity;
  const AcDb::OpenMode top = activity.opens.back().mode;
  if (top == AcDb::kForWrite) return Acad::eWasOpenForWrite;
  if (top == AcDb::kForNotify) return Acad::eNotApplicable;
  if (activity.readers > 1) return Acad::eWasOpenForRead;
  activity.opens.back().mode = AcDb::kForWrite;
  --activity.readers;
  ++activity.writers;
  return Acad::eOk;
}

Acad::ErrorStatus AcDbObject::erase(bool erasing) {
  const sim::HostCodeScope hostCode;
  HostState* state = currentState();
  AcDbImpObject& imp = *impObject_;
  if (state == nullptr) return Acad::eNoDatabase;
  if (state->fault(sim::Op::Erase, imp.stub)) return Acad::eOutOfMemory;
  if (imp.stub == nullptr) return Acad::eNotInDatabase;
  if (!imp.writeEnabled()) {
    state->violation("erase of object " + imp.describe() +
                     " without a write open");
    return Acad::eNotOpenForWrite;
  }
  if (imp.erased == erasing)
    return erasing ? Acad::eWasErased : Acad::eNotApplicable;
  imp.erased = erasing;
  state->withinApiCall(
      [&] { state->announceErased(*imp.stub->drawing, imp.stub); });
  return Acad::eOk;
}

AcDbEntity::AcDbEntity(AcRxClass* kind) : AcDbObject(kind) {}

#define SIMHOST_ENTITY_KIND(CLASS) \
  CLASS::CLASS() : AcDbEntity(CLASS::desc()) {}
SIMHOST_ENTITY_KIND(AcDbLine)
SIMHOST_ENTITY_KIND(AcDbCircle)
SIMHOST_ENTITY_KIND(AcDbArc)
SIMHOST_ENTITY_KIND(AcDbPolyline)
SIMHOST_ENTITY_KIND(AcDbText)
SIMHOST_ENTITY_KIND(AcDbProxyEntity)
#undef SIMHOST_ENTITY_KIND

// A reactor destroyed while attached would be called after its death; the
// host detaches it and says so.
AcEditorReactor::~AcEditorReactor() {
  const sim::HostCodeScope hostCode;
  HostState* state = currentState();
  if (state != nullptr && state->editor && state->editor->detach(this))
    state->violation("an editor reactor was destroyed while still attached");
}
void AcEditorReactor::beginDeepClone(AcDbDatabase*, AcDbIdMapping&) {}
void AcEditorReactor::endDeepClone(AcDbIdMapping&) {}
void AcEditorReactor::commandWillStart(const ACHAR*) {}
void AcEditorReactor::commandEnded(const ACHAR*) {}
void AcEditorReactor::commandCancelled(const ACHAR*) {}
void AcEditorReactor::commandFailed(const ACHAR*) {}
void AcEditorReactor::lispWillStart(const ACHAR*) {}
void AcEditorReactor::lispEnded() {}
void AcEditorReactor::lispCancelled() {}
void AcEditorReactor::documentBecameCurrent(AcDbDatabase*) {}
void AcEditorReactor::databaseToBeDestroyed(AcDbDatabase*) {}

AcDbDatabaseReactor::~AcDbDatabaseReactor() {
  const sim::HostCodeScope hostCode;
  HostState* state = currentState();
  if (state == nullptr) return;
  state->reactorsOfClosedDrawings.erase(this);
  state->forEachDrawing([&](AcDbImpDatabase& drawing) {
    auto& list = drawing.reactors;
    auto it = std::find(list.begin(), list.end(), this);
    if (it == list.end()) return;
    list.erase(it);
    state->violation("a database reactor was destroyed while still attached");
  });
}
void AcDbDatabaseReactor::objectAppended(const AcDbDatabase*,
                                         const AcDbObject*) {}
void AcDbDatabaseReactor::objectModified(const AcDbDatabase*,
                                         const AcDbObject*) {}
void AcDbDatabaseReactor::objectErased(const AcDbDatabase*, const AcDbObject*,
                                       bool) {}
void AcDbDatabaseReactor::goodbye(const AcDbDatabase*) {}
