// Dictionaries and xrecords.
#include "host/sim/api/runtime_services.h"
#include "host/sim/host_state.h"

using sim::HostState;
using sim::Op;

namespace {

// An erased entry, or one whose object is gone, counts as no entry.
bool isLive(const AcDbStub* stub) {
  return stub->object != nullptr && !stub->object->impObject()->erased;
}

// The live entry under KEY, or null.
AcDbStub* liveEntry(const AcDbImpObject& dictionary, const ACHAR* key) {
  const auto* entry = dictionary.entries().find(key);
  return entry != nullptr && isLive(entry->second) ? entry->second : nullptr;
}

bool checkDictionaryReadable(HostState& state, const AcDbImpObject& imp,
                             const char* operation) {
  if (imp.readEnabled()) return true;
  state.violation(std::string(operation) + " on dictionary " + imp.describe() +
                  " that is not open");
  return false;
}

}  // namespace

AcDbDictionary::AcDbDictionary() : AcDbObject(AcDbDictionary::desc()) {}

Acad::ErrorStatus AcDbDictionary::getAt(const ACHAR* key, AcDbObject*& entry,
                                        AcDb::OpenMode mode) const {
  const sim::HostCodeScope hostCode;
  entry = nullptr;
  HostState* state = sim::currentState();
  const AcDbImpObject& imp = *impObject();
  if (state == nullptr) return Acad::eNoDatabase;
  if (state->fault(Op::DictionaryGetAt, imp.stub))
    return mode == AcDb::kForWrite ? Acad::eWasOpenForRead
                                   : Acad::eWasOpenForWrite;
  if (!checkDictionaryReadable(*state, imp, "AcDbDictionary::getAt"))
    return Acad::eNotOpenForRead;
  if (key == nullptr) return Acad::eInvalidKey;
  AcDbStub* stub = liveEntry(imp, key);
  if (stub == nullptr) return Acad::eKeyNotFound;
  return state->openObject(stub, mode, false, false, entry);
}

Acad::ErrorStatus AcDbDictionary::getAt(const ACHAR* key,
                                        AcDbObjectId& entryId) const {
  const sim::HostCodeScope hostCode;
  entryId.setNull();
  HostState* state = sim::currentState();
  const AcDbImpObject& imp = *impObject();
  if (state == nullptr) return Acad::eNoDatabase;
  if (state->fault(Op::DictionaryGetAt, imp.stub)) return Acad::eOutOfMemory;
  if (!checkDictionaryReadable(*state, imp, "AcDbDictionary::getAt"))
    return Acad::eNotOpenForRead;
  if (key == nullptr) return Acad::eInvalidKey;
  AcDbStub* stub = liveEntry(imp, key);
  if (stub == nullptr) return Acad::eKeyNotFound;
  entryId = AcDbObjectId(stub);
  return Acad::eOk;
}

bool AcDbDictionary::has(const ACHAR* key) const {
  const sim::HostCodeScope hostCode;
  HostState* state = sim::currentState();
  if (state == nullptr || key == nullptr) return false;
  if (!checkDictionaryReadable(*state, *impObject(), "AcDbDictionary::has"))
    return false;
  return liveEntry(*impObject(), key) != nullptr;
}

Adesk::UInt32 AcDbDictionary::numEntries() const {
  const sim::HostCodeScope hostCode;
  Adesk::UInt32 count = 0;
  for (const auto& entry : impObject()->entries())
    if (entry.second->object != nullptr &&
        !entry.second->object->impObject()->erased)
      ++count;
  return count;
}

Acad::ErrorStatus AcDbDictionary::setAt(const ACHAR* key, AcDbObject* newValue,
                                        AcDbObjectId& newId) {
  const sim::HostCodeScope hostCode;
  newId.setNull();
  HostState* state = sim::currentState();
  AcDbImpObject& imp = *impObject();
  if (state == nullptr) return Acad::eNoDatabase;
  if (state->fault(Op::DictionarySetAt, imp.stub)) return Acad::eOutOfMemory;
  if (!imp.writeEnabled()) {
    state->violation("AcDbDictionary::setAt on dictionary " + imp.describe() +
                     " without a write open");
    return Acad::eNotOpenForWrite;
  }
  if (imp.stub == nullptr) return Acad::eNoDatabase;
  if (key == nullptr ||
      !sim::isValidSymbolName(key, std::char_traits<ACHAR>::length(key)))
    return Acad::eInvalidKey;
  if (newValue == nullptr) return Acad::eNullObjectId;
  AcDbImpObject& added = *newValue->impObject();
  if (added.stub != nullptr) return Acad::eAlreadyInDb;
  // Entities live in blocks, never under a key.
  if (newValue == this || newValue->isKindOf(AcDbEntity::desc()))
    return Acad::eInvalidInput;
  // The host refuses to overwrite a live entry rather than silently erase
  // the object it held.
  const auto* existing = imp.entries().find(key);
  if (existing != nullptr && isLive(existing->second))
    return Acad::eDuplicateKey;

  AcDbImpDatabase& drawing = *imp.stub->drawing;
  AcDbStub* stub = state->appendNew(drawing, newValue, imp.stub);
  added.push(AcDb::kForWrite, false);
  state->noteOpened(added);
  // An erased entry of that key gives way.
  imp.editEntries().assign(key, stub);
  newId = AcDbObjectId(stub);
  const AcDbDatabase* facade = drawing.facade.get();
  state->withinApiCall([&] {
    state->notifyDatabase(drawing, "objectAppended",
                          [&](AcDbDatabaseReactor* reactor) {
                            reactor->objectAppended(facade, newValue);
                          });
  });
  return Acad::eOk;
}

AcDbXrecord::AcDbXrecord() : AcDbObject(AcDbXrecord::desc()) {}

Acad::ErrorStatus AcDbXrecord::setFromRbChain(const resbuf& chain) {
  const sim::HostCodeScope hostCode;
  HostState* state = sim::currentState();
  AcDbImpObject& imp = *impObject();
  if (state == nullptr) return Acad::eNoDatabase;
  if (state->fault(Op::SetFromRbChain, imp.stub)) return Acad::eOutOfMemory;
  if (!imp.writeEnabled()) {
    state->violation("setFromRbChain on xrecord " + imp.describe() +
                     " without a write open");
    return Acad::eNotOpenForWrite;
  }
  std::vector<sim::StoredItem> items;
  const Acad::ErrorStatus es = state->storedFromChain(&chain, items);
  if (es != Acad::eOk) return es;
  // Only drawing-file group codes belong in an xrecord, not result codes.
  for (const sim::StoredItem& item : items)
    if (item.code <= 0 || item.code >= 5000) return Acad::eInvalidInput;
  imp.editRecord().swap(items);
  return Acad::eOk;
}

Acad::ErrorStatus AcDbXrecord::rbChain(resbuf** chain) const {
  const sim::HostCodeScope hostCode;
  if (chain != nullptr) *chain = nullptr;
  HostState* state = sim::currentState();
  const AcDbImpObject& imp = *impObject();
  if (state == nullptr) return Acad::eNoDatabase;
  if (state->fault(Op::RbChain, imp.stub)) return Acad::eOutOfMemory;
  if (chain == nullptr) return Acad::eInvalidInput;
  if (!imp.readEnabled()) {
    state->violation("rbChain on xrecord " + imp.describe() +
                     " that is not open");
    return Acad::eNotOpenForRead;
  }
  *chain = state->chainFromStored(
      imp.record(), imp.stub != nullptr ? imp.stub->drawing : nullptr);
  return Acad::eOk;
}
