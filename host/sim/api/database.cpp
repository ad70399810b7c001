// Drawings: handles, registered applications, opening objects by id, entity
// names, database reactors and the working drawing.
#include <new>

#include "host/sim/host_state.h"

using sim::HostState;
using sim::Op;

AcDbImpDatabase::AcDbImpDatabase(sim::HostState& owner,
                                 const std::string& drawingName,
                                 long drawingSerial)
    : host(owner),
      name(drawingName),
      serial(drawingSerial),
      facade(new AcDbDatabase(this)),
      stubs(owner.objects.stubs) {
  namedObjects =
      host.appendNew(*this, host.createObject("DICTIONARY"), nullptr);
}

AcDbImpDatabase::~AcDbImpDatabase() {
  for (AcDbStub& stub : stubs) {
    if (stub.object != nullptr) {
      host.objects.open.erase(stub.object->impObject());
      delete stub.object;
    }
  }
}

AcDbStub* AcDbImpDatabase::append(AcDbObject* object, AcDbStub* owner) {
  AcDbStub* stub = &stubs.emplace_back();
  stub->drawing = this;
  stub->handle = nextHandle++;
  stub->object = object;
  // findHandle finds a stub whose handle matches its place without the index,
  // which would cost a heap node per object for nothing.
  if (stub->handle != stubs.size())
    byHandle.add(stub->handle, stubs.size() - 1);
  object->impObject()->stub = stub;
  object->impObject()->owner = owner;
  return stub;
}

AcDbStub* AcDbImpDatabase::findHandle(Adesk::UInt64 handle) const {
  // A drawing made here hands out handles 1, 2, 3... in the order of its
  // stubs, so the stub is found by position; a drawing read from a file
  // keeps the file's handles and is found through the index.
  if (handle >= 1 && handle <= stubs.size()) {
    AcDbStub& candidate = stubs.at(static_cast<std::size_t>(handle - 1));
    if (candidate.handle == handle) return &candidate;
  }
  const std::size_t position = byHandle.find(handle);
  return position == sim::HandleIndex::npos ? nullptr : &stubs.at(position);
}

long AcDbImpDatabase::findRegapp(sim::NameView appName) const {
  const auto found = regappIndex.find(appName);
  return found != regappIndex.end() ? static_cast<long>(found->second) : -1;
}

std::size_t AcDbImpDatabase::registerApp(const AcWString& appName) {
  return registerApp(appName.data(), appName.size());
}

std::size_t AcDbImpDatabase::registerApp(const ACHAR* appName,
                                         std::size_t length) {
  const sim::NameView name(appName, length);
  const auto found = regappIndex.find(name);
  if (found != regappIndex.end()) return found->second;
  regapps.emplace_back(name);
  regappIndex.emplace(regapps.back(), regapps.size() - 1);
  return regapps.size() - 1;
}

namespace sim {

bool StubRegistry::contains(const AcDbStub* stub) const {
  const std::uintptr_t p = address(stub);
  const std::uintptr_t base = p & ~std::uintptr_t(StubStore::kChunkBytes - 1);
  if (base == 0) return false;
  if (base != lastBase_) {
    auto it = chunks_.find(base);
    if (it == chunks_.end()) return false;
    lastBase_ = base;
    lastPlace_ = it->second;
  }
  const std::uintptr_t offset = p - base;
  if (offset % sizeof(AcDbStub) != 0) return false;
  const std::size_t index =
      lastPlace_.second * StubStore::kPerChunk + offset / sizeof(AcDbStub);
  return index < lastPlace_.first->size();
}

void StubRegistry::add(const void* chunk, const StubStore* store,
                       std::size_t index) {
  chunks_[address(chunk)] = {store, index};
  lastBase_ = 0;
}

StubStore::~StubStore() {
  for (AcDbStub* chunk : chunks_) {
    registry_.remove(chunk);
    ::operator delete(chunk, std::align_val_t(kChunkBytes));
  }
}

AcDbStub& StubStore::emplace_back() {
  if (size_ == chunks_.size() * kPerChunk) {
    AcDbStub* chunk = static_cast<AcDbStub*>(
        ::operator new(kChunkBytes, std::align_val_t(kChunkBytes)));
    chunks_.push_back(chunk);
    registry_.add(chunk, this, chunks_.size() - 1);
  }
  AcDbStub* slot = &chunks_[size_ / kPerChunk][size_ % kPerChunk];
  new (slot) AcDbStub();
  ++size_;
  return *slot;
}

}  // namespace sim

AcDbDatabase* AcDbObjectId::database() const {
  const sim::HostCodeScope hostCode;
  HostState* state = sim::currentState();
  if (state == nullptr || stub_ == nullptr || !state->isKnownStub(stub_))
    return nullptr;
  if (stub_->drawing->closed) {
    state->reportClosedUse("AcDbObjectId::database", *stub_);
    return nullptr;
  }
  return stub_->drawing->facade.get();
}

namespace {
// A plug-in that kept a drawing's pointer past its closing would, on a real
// host, call into freed memory.
bool usedAfterClosing(const AcDbImpDatabase& drawing, const char* operation) {
  if (!drawing.closed) return false;
  drawing.host.reportClosedUse(operation, drawing);
  return true;
}
}  // namespace

AcDbDatabase::AcDbDatabase(AcDbImpDatabase* imp) : impDatabase_(imp) {}

AcDbDatabase::~AcDbDatabase() {}

Acad::ErrorStatus AcDbDatabase::getNamedObjectsDictionary(
    AcDbDictionary*& dictionary, AcDb::OpenMode mode) {
  const sim::HostCodeScope hostCode;
  dictionary = nullptr;
  if (usedAfterClosing(*impDatabase_,
                       "AcDbDatabase::getNamedObjectsDictionary"))
    return Acad::eDatabaseClosed;
  HostState& state = impDatabase_->host;
  AcDbStub* nod = impDatabase_->namedObjects;
  if (state.fault(Op::GetNamedObjectsDictionary, nod))
    return mode == AcDb::kForWrite ? Acad::eWasOpenForRead
                                   : Acad::eWasOpenForWrite;
  AcDbObject* object = nullptr;
  const Acad::ErrorStatus es =
      state.openObject(nod, mode, false, false, object);
  if (es == Acad::eOk) dictionary = AcDbDictionary::cast(object);
  return es;
}

AcDbObjectId AcDbDatabase::namedObjectsDictionaryId() const {
  if (usedAfterClosing(*impDatabase_, "AcDbDatabase::namedObjectsDictionaryId"))
    return AcDbObjectId();
  return AcDbObjectId(impDatabase_->namedObjects);
}

Acad::ErrorStatus AcDbDatabase::getAcDbObjectId(
    AcDbObjectId& id, bool, const AcDbHandle& handle) const {
  const sim::HostCodeScope hostCode;
  id.setNull();
  if (usedAfterClosing(*impDatabase_, "AcDbDatabase::getAcDbObjectId"))
    return Acad::eDatabaseClosed;
  HostState& state = impDatabase_->host;
  if (state.fault(Op::GetAcDbObjectId)) return Acad::eUnknownHandle;
  AcDbStub* stub = impDatabase_->findHandle(handle.value());
  // The host never makes up an object for a handle it does not know.
  if (stub == nullptr || stub->object == nullptr) return Acad::eUnknownHandle;
  id = AcDbObjectId(stub);
  return Acad::eOk;
}

Acad::ErrorStatus AcDbDatabase::addReactor(AcDbDatabaseReactor* reactor) const {
  const sim::HostCodeScope hostCode;
  if (usedAfterClosing(*impDatabase_, "AcDbDatabase::addReactor"))
    return Acad::eDatabaseClosed;
  HostState& state = impDatabase_->host;
  if (state.fault(Op::AddReactor)) return Acad::eOutOfMemory;
  auto& list = impDatabase_->reactors;
  if (reactor == nullptr) {
    state.violation("AcDbDatabase::addReactor: null reactor");
    return Acad::eInvalidInput;
  }
  if (std::find(list.begin(), list.end(), reactor) != list.end()) {
    state.violation("AcDbDatabase::addReactor: reactor added twice");
    return Acad::eInvalidInput;
  }
  list.push_back(reactor);
  return Acad::eOk;
}

Acad::ErrorStatus AcDbDatabase::removeReactor(
    AcDbDatabaseReactor* reactor) const {
  const sim::HostCodeScope hostCode;
  if (usedAfterClosing(*impDatabase_, "AcDbDatabase::removeReactor"))
    return Acad::eDatabaseClosed;
  HostState& state = impDatabase_->host;
  if (state.fault(Op::RemoveReactor)) return Acad::eOutOfMemory;
  auto& list = impDatabase_->reactors;
  auto it = std::find(list.begin(), list.end(), reactor);
  if (it == list.end()) {
    state.violation(
        "AcDbDatabase::removeReactor: reactor removed that was never added");
    return Acad::eKeyNotFound;
  }
  list.erase(it);
  return Acad::eOk;
}

AcDbDatabase* AcDbHostApplicationServices::workingDatabase() const {
  const sim::HostCodeScope hostCode;
  HostState* state = sim::currentState();
  if (state == nullptr || state->fault(Op::WorkingDatabase)) return nullptr;
  return state->drawings.current != nullptr
             ? state->drawings.current->facade.get()
             : nullptr;
}

AcDbHostApplicationServices* acdbHostApplicationServices() {
  static AcDbHostApplicationServices services;
  return &services;
}

Acad::ErrorStatus acdbOpenAcDbObject(AcDbObject*& obj, AcDbObjectId id,
                                     AcDb::OpenMode mode, bool openErased) {
  const sim::HostCodeScope hostCode;
  obj = nullptr;
  HostState* state = sim::currentState();
  if (state == nullptr) return Acad::eNoDatabase;
  Acad::ErrorStatus status = Acad::eOk;
  AcDbStub* stub = state->resolvePluginId(id, status, "acdbOpenAcDbObject");
  if (state->fault(Op::Open, stub))
    return mode == AcDb::kForWrite ? Acad::eWasOpenForRead
                                   : Acad::eWasOpenForWrite;
  if (stub == nullptr) return status;
  return state->openObject(stub, mode, openErased, false, obj);
}

int acdbRegApp(const ACHAR* appName) {
  const sim::HostCodeScope hostCode;
  HostState* state = sim::currentState();
  if (state == nullptr || state->fault(Op::RegApp)) return RTERROR;
  if (appName == nullptr || state->drawings.current == nullptr) return RTERROR;
  const std::size_t length = std::char_traits<ACHAR>::length(appName);
  if (!sim::isValidSymbolName(appName, length)) return RTERROR;
  // A name the drawing already knows, in any case, is refused: the caller
  // learns that it did not make the name.
  const std::size_t before = state->drawings.current->regapps.size();
  state->drawings.current->registerApp(appName, length);
  return state->drawings.current->regapps.size() > before ? RTNORM : RTERROR;
}

Acad::ErrorStatus acdbGetAdsName(ads_name& name, AcDbObjectId id) {
  const sim::HostCodeScope hostCode;
  name[0] = name[1] = 0;
  HostState* state = sim::currentState();
  if (state == nullptr) return Acad::eNoDatabase;
  Acad::ErrorStatus status = Acad::eOk;
  AcDbStub* stub = state->resolvePluginId(id, status, "acdbGetAdsName");
  if (state->fault(Op::GetAdsName, stub)) return Acad::eUnknownHandle;
  if (stub == nullptr) return status;
  state->adsNameOf(stub, name);
  return Acad::eOk;
}

Acad::ErrorStatus acdbGetObjectId(AcDbObjectId& id, const ads_name name) {
  const sim::HostCodeScope hostCode;
  id.setNull();
  HostState* state = sim::currentState();
  if (state == nullptr) return Acad::eNoDatabase;
  if (state->fault(Op::GetObjectId)) return Acad::eInvalidAdsName;
  AcDbStub* stub = state->stubOfAdsName(name);
  if (stub == nullptr) {
    const AcDbImpDatabase* closed = state->closedDrawingOfAdsName(name);
    if (closed == nullptr) return Acad::eInvalidAdsName;
    state->reportClosedUse("acdbGetObjectId", *closed);
    return Acad::eDatabaseClosed;
  }
  id = AcDbObjectId(stub);
  return Acad::eOk;
}
