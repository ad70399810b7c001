// The runtime class system: class descriptors of every host class, kind
// tests, and the status texts.
#include "host/api/host_api.h"

AcRxClass::AcRxClass(const ACHAR* name, AcRxClass* parent)
    : name_(name), parent_(parent) {}

const ACHAR* AcRxClass::name() const { return name_; }

AcRxClass* AcRxClass::myParent() const { return parent_; }

bool AcRxClass::isDerivedFrom(const AcRxClass* other) const {
  if (other == nullptr) return false;
  for (const AcRxClass* c = this; c != nullptr; c = c->parent_)
    if (c == other) return true;
  return false;
}

AcRxObject::~AcRxObject() {}

AcRxClass* AcRxObject::desc() {
  static AcRxClass cls(ACRX_T("AcRxObject"), nullptr);
  return &cls;
}

AcRxClass* AcRxObject::isA() const { return AcRxObject::desc(); }

bool AcRxObject::isKindOf(const AcRxClass* cls) const {
  return isA()->isDerivedFrom(cls);
}

// Function-local statics: a plug-in may ask for a class before any host
// object exists, whatever the order of static initialisation.
#define SIMHOST_DEFINE_MEMBERS(CLASS, PARENT)             \
  AcRxClass* CLASS::desc() {                              \
    static AcRxClass cls(ACRX_T(#CLASS), PARENT::desc()); \
    return &cls;                                          \
  }                                                       \
  AcRxClass* CLASS::isA() const { return CLASS::desc(); }

SIMHOST_DEFINE_MEMBERS(AcRxDictionary, AcRxObject)
SIMHOST_DEFINE_MEMBERS(AcDbObject, AcRxObject)
SIMHOST_DEFINE_MEMBERS(AcDbEntity, AcDbObject)
SIMHOST_DEFINE_MEMBERS(AcDbLine, AcDbEntity)
SIMHOST_DEFINE_MEMBERS(AcDbCircle, AcDbEntity)
SIMHOST_DEFINE_MEMBERS(AcDbArc, AcDbEntity)
SIMHOST_DEFINE_MEMBERS(AcDbPolyline, AcDbEntity)
SIMHOST_DEFINE_MEMBERS(AcDbText, AcDbEntity)
SIMHOST_DEFINE_MEMBERS(AcDbProxyEntity, AcDbEntity)
SIMHOST_DEFINE_MEMBERS(AcDbDictionary, AcDbObject)
SIMHOST_DEFINE_MEMBERS(AcDbXrecord, AcDbObject)
SIMHOST_DEFINE_MEMBERS(AcDbDatabase, AcRxObject)
SIMHOST_DEFINE_MEMBERS(AcDbDatabaseReactor, AcRxObject)
SIMHOST_DEFINE_MEMBERS(AcEditorReactor, AcRxObject)
SIMHOST_DEFINE_MEMBERS(AcEditor, AcRxObject)
SIMHOST_DEFINE_MEMBERS(AcEdCommandStack, AcRxObject)
SIMHOST_DEFINE_MEMBERS(AcRxDynamicLinker, AcRxObject)

const ACHAR* acadErrorStatusText(Acad::ErrorStatus status) {
  switch (status) {
#define SIMHOST_STATUS(NAME) \
  case Acad::NAME:           \
    return ACRX_T(#NAME);
    SIMHOST_STATUS(eOk)
    SIMHOST_STATUS(eNullObjectId)
    SIMHOST_STATUS(eUnknownHandle)
    SIMHOST_STATUS(eWasErased)
    SIMHOST_STATUS(eNotOpenForWrite)
    SIMHOST_STATUS(eNotOpenForRead)
    SIMHOST_STATUS(eWasOpenForRead)
    SIMHOST_STATUS(eWasOpenForWrite)
    SIMHOST_STATUS(eWasNotOpen)
    SIMHOST_STATUS(eKeyNotFound)
    SIMHOST_STATUS(eNotThatKindOfClass)
    SIMHOST_STATUS(eRegappIdNotFound)
    SIMHOST_STATUS(eInvalidInput)
    SIMHOST_STATUS(eXdataSizeExceeded)
    SIMHOST_STATUS(eOutOfMemory)
    SIMHOST_STATUS(eAlreadyInDb)
    SIMHOST_STATUS(eNotInDatabase)
    SIMHOST_STATUS(eNoDatabase)
    SIMHOST_STATUS(eInvalidAdsName)
    SIMHOST_STATUS(eDuplicateKey)
    SIMHOST_STATUS(eInvalidKey)
    SIMHOST_STATUS(eIllegalReplacement)
    SIMHOST_STATUS(eNotApplicable)
    SIMHOST_STATUS(eDatabaseClosed)
#undef SIMHOST_STATUS
  }
  // A value outside the enumeration came from a cast; name it as such.
  return ACRX_T("eUnknownErrorStatus");
}
