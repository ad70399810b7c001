// Drawing objects, entities and the drawing database: opening objects by id,
// their xdata and handles, registered applications and entity names.
#ifndef HOST_API_DATABASE_H
#define HOST_API_DATABASE_H

#include <cstddef>

#include "host/api/ids.h"
#include "host/api/resbuf.h"
#include "host/api/runtime.h"
#include "host/api/status.h"

class AcDbDatabase;
class AcDbDictionary;
class AcDbDatabaseReactor;
// The host's inner state of an object or a drawing; opaque to plug-ins.
class AcDbImpObject;
class AcDbImpDatabase;

namespace AcDb {
enum OpenMode { kForRead = 0, kForWrite = 1, kForNotify = 2 };
}  // namespace AcDb

class SIMHOST_API AcDbObject : public AcRxObject {
 public:
  ACRX_DECLARE_MEMBERS(AcDbObject);
  ~AcDbObject() override;

  // Drawing objects live on the host's heap, whichever library news them.
  static void* operator new(std::size_t size);
  static void operator delete(void* p);

  AcDbObjectId objectId() const;
  AcDbObjectId ownerId() const;
  AcDbDatabase* database() const;
  void getAcDbHandle(AcDbHandle& handle) const;
  bool isErased() const;
  bool isReadEnabled() const;
  bool isWriteEnabled() const;
  bool isNewObject() const;

  // A new chain the caller frees: all xdata (null name) or one application's.
  resbuf* xData(const ACHAR* regappName = NULL) const;
  // Per 1001 item, replaces that application's xdata by the items after it; a
  // 1001 item alone removes it. All or nothing; needs a write open.
  Acad::ErrorStatus setXData(const resbuf* xdata);

  Acad::ErrorStatus close();
  Acad::ErrorStatus upgradeOpen();
  Acad::ErrorStatus erase(bool erasing = true);

  AcDbImpObject* impObject() const { return impObject_; }

 protected:
  explicit AcDbObject(AcRxClass* kind);

 private:
  AcDbObject(const AcDbObject&);
  AcDbObject& operator=(const AcDbObject&);
  AcDbImpObject* impObject_;
};

class SIMHOST_API AcDbEntity : public AcDbObject {
 public:
  ACRX_DECLARE_MEMBERS(AcDbEntity);

 protected:
  explicit AcDbEntity(AcRxClass* kind);
};

// The entity kinds the host draws; plug-ins see them only as AcDbEntity.
#define HOST_API_ENTITY_KIND(CLASS)             \
  class SIMHOST_API CLASS : public AcDbEntity { \
   public:                                      \
    ACRX_DECLARE_MEMBERS(CLASS);                \
    CLASS();                                    \
  }
HOST_API_ENTITY_KIND(AcDbLine);
HOST_API_ENTITY_KIND(AcDbCircle);
HOST_API_ENTITY_KIND(AcDbArc);
HOST_API_ENTITY_KIND(AcDbPolyline);
HOST_API_ENTITY_KIND(AcDbText);
// An entity of a kind the host does not model (kept as it came from a file).
HOST_API_ENTITY_KIND(AcDbProxyEntity);
#undef HOST_API_ENTITY_KIND

class SIMHOST_API AcDbDatabase : public AcRxObject {
 public:
  ACRX_DECLARE_MEMBERS(AcDbDatabase);
  ~AcDbDatabase() override;

  Acad::ErrorStatus getNamedObjectsDictionary(AcDbDictionary*& dictionary,
                                              AcDb::OpenMode mode);
  AcDbObjectId namedObjectsDictionaryId() const;
  Acad::ErrorStatus getAcDbObjectId(AcDbObjectId& id, bool createIfNotFound,
                                    const AcDbHandle& handle) const;
  Acad::ErrorStatus addReactor(AcDbDatabaseReactor* reactor) const;
  Acad::ErrorStatus removeReactor(AcDbDatabaseReactor* reactor) const;

  AcDbImpDatabase* impDatabase() const { return impDatabase_; }

 private:
  friend class AcDbImpDatabase;
  explicit AcDbDatabase(AcDbImpDatabase* imp);
  AcDbDatabase(const AcDbDatabase&);
  AcDbDatabase& operator=(const AcDbDatabase&);
  AcDbImpDatabase* impDatabase_;
};

// Receives the notifications of one drawing; attached with addReactor.
class SIMHOST_API AcDbDatabaseReactor : public AcRxObject {
 public:
  ACRX_DECLARE_MEMBERS(AcDbDatabaseReactor);
  ~AcDbDatabaseReactor() override;
  // The object arrives open; the host closes it after every reactor saw it.
  virtual void objectAppended(const AcDbDatabase* dwg, const AcDbObject* obj);
  virtual void objectModified(const AcDbDatabase* dwg, const AcDbObject* obj);
  virtual void objectErased(const AcDbDatabase* dwg, const AcDbObject* obj,
                            bool erased);
  // The drawing is closing; the reactor's last chance to detach itself.
  virtual void goodbye(const AcDbDatabase* dwg);
};

class SIMHOST_API AcDbHostApplicationServices {
 public:
  // The current drawing; null when no drawing is open.
  AcDbDatabase* workingDatabase() const;
};

SIMHOST_API AcDbHostApplicationServices* acdbHostApplicationServices();

SIMHOST_API Acad::ErrorStatus acdbOpenAcDbObject(AcDbObject*& obj,
                                                 AcDbObjectId id,
                                                 AcDb::OpenMode mode,
                                                 bool openErased = false);
// Registers an application name in the working drawing: RTNORM when the name
// is new to it, RTERROR (nothing changes) when it is already registered, in
// any case, or is not a valid name.
SIMHOST_API int acdbRegApp(const ACHAR* appName);
SIMHOST_API Acad::ErrorStatus acdbGetAdsName(ads_name& name, AcDbObjectId id);
SIMHOST_API Acad::ErrorStatus acdbGetObjectId(AcDbObjectId& id,
                                              const ads_name name);

#endif
