// A clone gives up its old tag in the same setXData call that gives it the new
// one. The host applies a chain all or nothing, so no failure can leave a clone
// without its part data; it keeps the old tag, and so stays in the source's
// part, rather than belong to none.
#include "identity/retag_clones.h"

#include <set>

#include "identity/part_record.h"

namespace {

// The clone's own xdata under oldTag (its 1001 item, then its data items), or
// null when it carries nothing there that could be moved.
resbuf* ownPartData(const AcDbObject* clone, const ACHAR* oldTag) {
  resbuf* chain = clone->xData(oldTag);
  if (chain == NULL) return NULL;
  if (chain->restype != 1001 || chain->rbnext == NULL) {
    // A name with no items after it would read as "remove" to setXData.
    acutRelRb(chain);
    return NULL;
  }
  return chain;
}

// "$" and the clone's handle text; empty if the host gives no handle text.
AcWString tagFromHandle(const AcDbObject* clone) {
  AcDbHandle handle;
  clone->getAcDbHandle(handle);
  ACHAR text[17];
  if (!handle.getIntoAsciiBuffer(text, sizeof text / sizeof text[0]))
    return AcWString();
  return AcWString(1, ACRX_T('$')) + text;
}

// Writes [1001 oldTag][1001 newTag, the clone's own items] in one call.
// Takes ownData (as ownPartData gave it) and frees it in every case.
Acad::ErrorStatus moveToNewTag(AcDbObject* clone, resbuf* ownData,
                               const ACHAR* oldTag, const ACHAR* newTag) {
  resbuf* move = acutBuildList(1001, oldTag, 1001, newTag, RTNONE);
  if (move == NULL || move->rbnext == NULL) {
    if (move != NULL) acutRelRb(move);
    acutRelRb(ownData);
    return Acad::eOutOfMemory;
  }
  resbuf* newHeader = move->rbnext;
  newHeader->rbnext = ownData->rbnext;
  ownData->rbnext = NULL;
  acutRelRb(ownData);
  Acad::ErrorStatus es = clone->setXData(move);
  acutRelRb(move);
  return es;
}

}  // namespace

void retagClones(AcDbObjectIdArray ids, const ACHAR* oldTag) {
  if (ids.isEmpty() || oldTag == NULL) return;
  AcWString newTag;
  AcDbObjectIdArray members;
  std::set<AcDbObjectId> listed;  // a repeated id is one member
  for (int i = 0; i < ids.length(); ++i) {
    AcDbObject* clone = NULL;
    if (acdbOpenAcDbObject(clone, ids[i], AcDb::kForWrite) != Acad::eOk ||
        clone == NULL)
      continue;
    resbuf* ownData = ownPartData(clone, oldTag);
    if (ownData == NULL) {
      clone->close();
      continue;
    }
    if (newTag.empty()) {
      newTag = tagFromHandle(clone);
      if (newTag.empty()) {
        acutRelRb(ownData);
        clone->close();
        break;
      }
      // Not checked: a name the drawing already knows is as good as a new
      // one, and an unregistered one makes every write below fail whole.
      acdbRegApp(newTag.c_str());
    }
    if (moveToNewTag(clone, ownData, oldTag, newTag.c_str()) == Acad::eOk &&
        listed.insert(ids[i]).second)
      members.append(ids[i]);
    clone->close();
  }
  ids.removeAll();
  if (!members.isEmpty()) recordPart(newTag.c_str(), members);
}
