// One pass: the named-objects dictionary is opened once, for write, the part
// dictionary found or made in it, and the tag looked up once; only a missing
// record is made. A new record gets its data before it joins the drawing: a
// failure at any step then leaves no half-made record.
#include "identity/part_record.h"

#include "identity/entry_guard.h"

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

// Opens drawing's part dictionary for write through the named-objects
// dictionary, which is closed again before return; a missing part dictionary
// is made. Null after a reported failure.
AcDbDictionary* openPartDictionary(AcDbDatabase* drawing) {
  AcDbDictionary* namedObjects = NULL;
  Acad::ErrorStatus es =
      drawing->getNamedObjectsDictionary(namedObjects, AcDb::kForWrite);
  if (es != Acad::eOk || namedObjects == NULL) {
    reportFailure(kNamedObjectsFailed,
                  es != Acad::eOk ? es : Acad::eNullObjectId);
    return NULL;
  }
  ClosedOnExit namedObjectsClosed(namedObjects);
  AcDbObject* entry = NULL;
  es = namedObjects->getAt(kPartDictionaryKey, entry, AcDb::kForWrite);
  if (es == Acad::eKeyNotFound) {
    AcDbDictionary* fresh = new AcDbDictionary;
    AcDbObjectId freshId;
    es = namedObjects->setAt(kPartDictionaryKey, fresh, freshId);
    if (es != Acad::eOk) {
      delete fresh;  // still ours: it never joined the drawing
      namedObjectsClosed.close();
      reportFailure(kSetAtFailed, es);
      return NULL;
    }
    entry = fresh;
  } else if (es != Acad::eOk || entry == NULL) {
    namedObjectsClosed.close();
    reportFailure(kGetAtFailed, es != Acad::eOk ? es : Acad::eNullObjectId);
    return NULL;
  }
  namedObjectsClosed.close();

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

bool recordPart(AcDbDatabase* drawing, const ACHAR* tag,
                AcDbObjectIdArray ids) {
  if (drawing == NULL) {
    reportFailure(kWorkingDatabaseFailed, Acad::eNoDatabase);
    return false;
  }
  AcDbDictionary* partDictionary = openPartDictionary(drawing);
  if (partDictionary == NULL) return false;
  ClosedOnExit dictionaryClosed(partDictionary);
  AcDbObject* existing = NULL;
  Acad::ErrorStatus es = partDictionary->getAt(tag, existing, AcDb::kForNotify);
  if (es == Acad::eOk) {
    dictionaryClosed.close();
    if (existing != NULL) existing->close();
    return true;
  }
  if (es != Acad::eKeyNotFound) {
    dictionaryClosed.close();
    reportFailure(kGetAtFailed, es);
    return false;
  }

  ChainFreedOnExit data(buildRecordData(ids));
  ids.removeAll();
  if (data.get() == NULL) {
    dictionaryClosed.close();
    reportFailure(kBuildListFailed, Acad::eOutOfMemory);
    return false;
  }
  AcDbXrecord* record = new AcDbXrecord;
  es = record->setFromRbChain(*data.get());
  acutRelRb(data.take());
  if (es != Acad::eOk) {
    delete record;
    dictionaryClosed.close();
    reportFailure(kSetFromRbChainFailed, es);
    return false;
  }
  AcDbObjectId recordId;
  es = partDictionary->setAt(tag, record, recordId);
  dictionaryClosed.close();
  if (es != Acad::eOk) {
    delete record;
    reportFailure(kSetAtFailed, es);
    return false;
  }
  record->close();
  return true;
}
