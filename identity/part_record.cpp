// The part dictionary is opened twice, read first and write only when a record
// is missing, so that the common case (a record already there) never holds a
// write open on shared dictionaries. A new record gets its data before it
// joins the drawing: a failure at any step then leaves no half-made record.
#include "identity/part_record.h"

const ACHAR kPartDictionaryKey[] = ACRX_T("PVNR_HANDLE");

namespace {

const ACHAR kGetAtFailed[] = ACRX_T("Failed: AcDbDictionary::getAt(%s).\n");
const ACHAR kSetAtFailed[] = ACRX_T("Failed: AcDbDictionary::setAt(%s).\n");
const ACHAR kWorkingDatabaseFailed[] =
    ACRX_T("Failed: AcDbHostApplicationServices::workingDatabase(%s).\n");
const ACHAR kNamedObjectsFailed[] =
    ACRX_T("Failed: AcDbDatabase::getNamedObjectsDictionary(%s).\n");
const ACHAR kBuildListFailed[] = ACRX_T("Failed: acutBuildList(%s).\n");
const ACHAR kSetFromRbChainFailed[] =
    ACRX_T("Failed: AcDbXrecord::setFromRbChain(%s).\n");

void reportFailure(const ACHAR* format, Acad::ErrorStatus status) {
  acutPrintf(format, acadErrorStatusText(status));
}

// Opens the part dictionary in mode through the named-objects dictionary,
// which is closed again before return. With createIfMissing a missing part
// dictionary is made (it is then open for write). Null after a reported
// failure.
AcDbDictionary* openPartDictionary(AcDb::OpenMode mode, bool createIfMissing) {
  AcDbHostApplicationServices* services = acdbHostApplicationServices();
  AcDbDatabase* drawing = services != NULL ? services->workingDatabase() : NULL;
  if (drawing == NULL) {
    reportFailure(kWorkingDatabaseFailed, Acad::eNoDatabase);
    return NULL;
  }
  AcDbDictionary* namedObjects = NULL;
  Acad::ErrorStatus es =
      drawing->getNamedObjectsDictionary(namedObjects, AcDb::kForWrite);
  if (es != Acad::eOk || namedObjects == NULL) {
    reportFailure(kNamedObjectsFailed,
                  es != Acad::eOk ? es : Acad::eNullObjectId);
    return NULL;
  }

  AcDbObject* entry = NULL;
  es = namedObjects->getAt(kPartDictionaryKey, entry, mode);
  if (es == Acad::eKeyNotFound && createIfMissing) {
    AcDbDictionary* fresh = new AcDbDictionary;
    AcDbObjectId freshId;
    es = fresh != NULL ? namedObjects->setAt(kPartDictionaryKey, fresh, freshId)
                       : Acad::eOutOfMemory;
    if (es != Acad::eOk) {
      delete fresh;  // still ours: it never joined the drawing
      namedObjects->close();
      reportFailure(kSetAtFailed, es);
      return NULL;
    }
    entry = fresh;
  } else if (es != Acad::eOk || entry == NULL) {
    namedObjects->close();
    reportFailure(kGetAtFailed, es != Acad::eOk ? es : Acad::eNullObjectId);
    return NULL;
  }
  namedObjects->close();

  AcDbDictionary* partDictionary = AcDbDictionary::cast(entry);
  if (partDictionary == NULL) {
    entry->close();
    reportFailure(kGetAtFailed, Acad::eNotThatKindOfClass);
    return NULL;
  }
  return partDictionary;
}

resbuf* lastItem(resbuf* chain) {
  while (chain->rbnext != NULL) chain = chain->rbnext;
  return chain;
}

// Links item after tail, the last item of a chain; returns the new last item.
resbuf* appendItem(resbuf* tail, resbuf* item) {
  tail->rbnext = item;
  return lastItem(item);
}

// The record's data; null (nothing left to free) when the host cannot build
// a chain.
resbuf* buildRecordData(const AcDbObjectIdArray& ids) {
  resbuf* head = acutBuildList(102, ACRX_T("{MORVAT_PART"), RTNONE);
  if (head == NULL) return NULL;
  resbuf* tail = lastItem(head);
  for (int i = 0; i < ids.length(); ++i) {
    ads_name name;
    if (acdbGetAdsName(name, ids[i]) != Acad::eOk) continue;
    resbuf* member = acutBuildList(330, name, RTNONE);
    if (member == NULL) {
      acutRelRb(head);
      return NULL;
    }
    tail = appendItem(tail, member);
  }
  resbuf* closing = acutBuildList(102, ACRX_T("}"), RTNONE);
  if (closing == NULL) {
    acutRelRb(head);
    return NULL;
  }
  appendItem(tail, closing);
  return head;
}

}  // namespace

bool recordPart(const ACHAR* tag, AcDbObjectIdArray ids) {
  AcDbDictionary* partDictionary = openPartDictionary(AcDb::kForRead, true);
  if (partDictionary == NULL) return false;
  AcDbObject* existing = NULL;
  Acad::ErrorStatus es = partDictionary->getAt(tag, existing, AcDb::kForNotify);
  partDictionary->close();
  if (es == Acad::eOk) {
    if (existing != NULL) existing->close();
    return true;
  }
  if (es != Acad::eKeyNotFound) {
    reportFailure(kGetAtFailed, es);
    return false;
  }

  partDictionary = openPartDictionary(AcDb::kForWrite, false);
  if (partDictionary == NULL) return false;
  resbuf* data = buildRecordData(ids);
  ids.removeAll();
  if (data == NULL) {
    partDictionary->close();
    reportFailure(kBuildListFailed, Acad::eOutOfMemory);
    return false;
  }
  AcDbXrecord* record = new AcDbXrecord;
  es = record != NULL ? record->setFromRbChain(*data) : Acad::eOutOfMemory;
  acutRelRb(data);
  if (es != Acad::eOk) {
    delete record;
    partDictionary->close();
    reportFailure(kSetFromRbChainFailed, es);
    return false;
  }
  AcDbObjectId recordId;
  es = partDictionary->setAt(tag, record, recordId);
  partDictionary->close();
  if (es != Acad::eOk) {
    delete record;
    reportFailure(kSetAtFailed, es);
    return false;
  }
  record->close();
  return true;
}
