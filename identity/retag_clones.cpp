// A clone gives up its old tag in the same setXData call that gives it the new
// one. The host applies a chain all or nothing, so no failure can leave a clone
// without its part data; it keeps the old tag, and so stays in the source's
// part, rather than belong to none.
#include "identity/retag_clones.h"

#include <vector>

#include "identity/entry_guard.h"
#include "identity/part_record.h"
#include "identity/wide_string.h"

namespace {

// The clone's own part data: its 1001 item under oldTag and the items after
// it, or null when there is nothing that could be moved (a name with no items
// after it would read as "remove" to setXData).
resbuf* ownPartData(const AcDbObject* clone, const ACHAR* oldTag) {
  resbuf* own = clone->xData(oldTag);
  if (own != NULL && (own->restype != 1001 || own->rbnext == NULL)) {
    acutRelRb(own);
    return NULL;
  }
  return own;
}

// "$" and the clone's handle text. A handle has at most 16 digits, so the
// buffer always takes it.
AcWString tagFromHandle(const AcDbObject* clone) {
  AcDbHandle handle;
  clone->getAcDbHandle(handle);
  ACHAR text[17];
  handle.getIntoAsciiBuffer(text, sizeof text / sizeof text[0]);
  return AcWString(1, ACRX_T('$')) + text;
}

// Writes [1001 oldTag][1001 newTag, the clone's own items] in one call.
// Takes ownData (as ownPartData gives it) and frees it in every case.
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

AcDbDatabase* workingDrawing() {
  AcDbHostApplicationServices* services = acdbHostApplicationServices();
  return services != NULL ? services->workingDatabase() : NULL;
}

// What one clone came to in the first pass.
enum CloneOutcome {
  kLeftAlone,  // not opened, nothing under the old tag, or another drawing
  kWaiting,    // carries the old tag but could not name the part
  kNamedPart   // named the part, and its own data moved
};

// Opens the clone for write and looks at it: a clone of another drawing goes
// to elsewhere, one with nothing under oldTag is left alone. When newTag is
// still empty the clone offers the tag its handle makes and acdbRegApp
// decides: a name the working drawing did not know becomes newTag. With a
// tag in hand the clone's own data moves to it; moved says whether it did.
CloneOutcome visitClone(AcDbObjectId id, const ACHAR* oldTag,
                        AcDbDatabase* working, AcWString& newTag, bool& moved,
                        AcDbObjectIdArray* elsewhere) {
  moved = false;
  AcDbObject* clone = NULL;
  if (acdbOpenAcDbObject(clone, id, AcDb::kForWrite) != Acad::eOk ||
      clone == NULL)
    return kLeftAlone;
  // Closed however the visit ends: naming a tag and filing elsewhere
  // allocate.
  ClosedOnExit closed(clone);
  if (clone->database() != working) {
    closed.close();
    if (elsewhere != NULL) elsewhere->append(id);
    return kLeftAlone;
  }
  ChainFreedOnExit own(ownPartData(clone, oldTag));
  if (own.get() == NULL) return kLeftAlone;
  CloneOutcome outcome = kWaiting;
  if (newTag.empty()) {
    // acdbRegApp refuses a name the drawing knows (another part's tag that
    // a handle happens to spell, the source's own tag): taking it would
    // merge two parts.
    AcWString offered = tagFromHandle(clone);
    if (acdbRegApp(offered.c_str()) == RTNORM) {
      newTag.swap(offered);  // no allocation once the name is registered
      outcome = kNamedPart;
    }
  }
  // A name new to the drawing: no clone can carry data under it yet.
  if (!newTag.empty())
    moved =
        moveToNewTag(clone, own.take(), oldTag, newTag.c_str()) == Acad::eOk;
  return outcome;
}

// The moved ids in group order. An id the group repeats moves at most once:
// its first move takes the old tag away, so a later visit finds nothing to
// move.
AcDbObjectIdArray movedIds(const AcDbObjectIdArray& ids,
                           const std::vector<bool>& moved) {
  AcDbObjectIdArray members;
  for (int i = 0; i < ids.length(); ++i)
    if (moved[static_cast<std::size_t>(i)]) members.append(ids[i]);
  return members;
}

}  // namespace

void retagClones(AcDbObjectIdArray ids, const ACHAR* oldTag,
                 AcDbObjectIdArray* elsewhere) {
  if (ids.isEmpty() || oldTag == NULL) return;
  AcDbDatabase* working = workingDrawing();
  const std::size_t count = static_cast<std::size_t>(ids.length());
  AcWString newTag;
  std::vector<bool> moved(count, false);
  // First pass: clones in order until one names the part. Those before it
  // that carry the old tag wait; usually the first clone names it and none
  // is opened twice.
  std::vector<int> waiting;
  std::size_t next = 0;
  while (next < count && newTag.empty()) {
    const int i = static_cast<int>(next++);
    bool movedNow = false;
    if (visitClone(ids[i], oldTag, working, newTag, movedNow, elsewhere) ==
        kWaiting)
      waiting.push_back(i);
    moved[static_cast<std::size_t>(i)] = movedNow;
  }
  if (newTag.empty()) {
    // No clone could name a new part: the copies stay in their source's.
    ids.removeAll();
    return;
  }
  // Second pass: the clones that waited, then the rest, each moving its own
  // data to the new tag.
  for (; next < count; ++next) waiting.push_back(static_cast<int>(next));
  for (std::size_t k = 0; k < waiting.size(); ++k) {
    bool movedNow = false;
    visitClone(ids[waiting[k]], oldTag, working, newTag, movedNow, elsewhere);
    moved[static_cast<std::size_t>(waiting[k])] = movedNow;
  }
  AcDbObjectIdArray members = movedIds(ids, moved);
  ids.removeAll();
  if (!members.isEmpty()) recordPart(working, newTag.c_str(), members);
}
