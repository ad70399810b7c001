// Dictionaries and xrecords: keyed, persistent containers in a drawing.
#ifndef HOST_API_DICTIONARY_H
#define HOST_API_DICTIONARY_H

#include "host/api/database.h"

class SIMHOST_API AcDbDictionary : public AcDbObject {
 public:
  ACRX_DECLARE_MEMBERS(AcDbDictionary);
  // A new dictionary belongs to its maker until setAt adds it to a drawing.
  AcDbDictionary();

  // Opens the entry under key; key-not-found when there is none. Needs the
  // dictionary open for read or write.
  Acad::ErrorStatus getAt(const ACHAR* key, AcDbObject*& entry,
                          AcDb::OpenMode mode) const;
  Acad::ErrorStatus getAt(const ACHAR* key, AcDbObjectId& entryId) const;
  bool has(const ACHAR* key) const;
  Adesk::UInt32 numEntries() const;
  // Adds a new object under key; it then belongs to the drawing, open for
  // write. Needs the dictionary open for write.
  Acad::ErrorStatus setAt(const ACHAR* key, AcDbObject* newValue,
                          AcDbObjectId& newId);
};

class SIMHOST_API AcDbXrecord : public AcDbObject {
 public:
  ACRX_DECLARE_MEMBERS(AcDbXrecord);
  AcDbXrecord();

  // Entity names (330 and its kind) are kept as the objects they name.
  Acad::ErrorStatus setFromRbChain(const resbuf& chain);
  // A new chain the caller frees with acutRelRb.
  Acad::ErrorStatus rbChain(resbuf** chain) const;
};

#endif
