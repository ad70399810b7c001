// A clone gives up its old tag in the same setXData call that gives it the new
// one. The host applies a chain all or nothing, so no failure can leave a clone
// without its part data; it keeps the old tag, and so stays in the source's
// part, rather than belong to none.
#include "identity/retag_clones.h"

#include <set>
#include <vector>

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

// Application names compare as the host compares them: ASCII letters
// without regard to case.
bool sameApplicationName(const ACHAR* a, const ACHAR* b) {
  for (;; ++a, ++b) {
    ACHAR x = *a, y = *b;
    if (x >= ACRX_T('a') && x <= ACRX_T('z')) x = x - ACRX_T('a') + ACRX_T('A');
    if (y >= ACRX_T('a') && y <= ACRX_T('z')) y = y - ACRX_T('a') + ACRX_T('A');
    if (x != y) return false;
    if (x == 0) return true;
  }
}

AcDbDatabase* workingDrawing() {
  AcDbHostApplicationServices* services = acdbHostApplicationServices();
  return services != NULL ? services->workingDatabase() : NULL;
}

// The tag a clone's handle makes, read through a short read open.
AcWString handleTagOf(AcDbObjectId id) {
  AcDbObject* clone = NULL;
  if (acdbOpenAcDbObject(clone, id, AcDb::kForRead) != Acad::eOk ||
      clone == NULL)
    return AcWString();
  AcWString tag = tagFromHandle(clone);
  clone->close();
  return tag;
}

// True when the object, which carries xdata under some application, also
// carries xdata under app; also when the host does not answer, since a move
// onto data that is there would overwrite it.
bool carries(const AcDbObject* object, const ACHAR* app) {
  resbuf* chain = object->xData(NULL);
  if (chain == NULL) return true;
  bool found = false;
  for (const resbuf* item = chain; item != NULL && !found; item = item->rbnext)
    found = item->restype == 1001 && item->resval.rstring != NULL &&
            sameApplicationName(item->resval.rstring, app);
  acutRelRb(chain);
  return found;
}

// Opens one clone and moves its own xdata from oldTag to newTag, unless it
// already carries newTag; true when it was moved.
bool retagOne(AcDbObjectId id, const ACHAR* oldTag, const ACHAR* newTag) {
  AcDbObject* clone = NULL;
  if (acdbOpenAcDbObject(clone, id, AcDb::kForWrite) != Acad::eOk ||
      clone == NULL)
    return false;
  bool moved = false;
  if (!carries(clone, newTag)) {
    resbuf* ownData = ownPartData(clone, oldTag);
    if (ownData != NULL)
      moved = moveToNewTag(clone, ownData, oldTag, newTag) == Acad::eOk;
  }
  clone->close();
  return moved;
}

}  // namespace

void retagClones(AcDbObjectIdArray ids, const ACHAR* oldTag,
                 AcDbObjectIdArray* elsewhere) {
  if (ids.isEmpty() || oldTag == NULL) return;
  AcDbDatabase* working = workingDrawing();
  AcWString newTag;
  std::vector<bool> moved(static_cast<std::size_t>(ids.length()), false);
  // Clones that cannot give the part its name wait until another clone has:
  // one whose handle spells the old tag, and one that already carries the
  // application its handle would name (moving there would overwrite it).
  std::vector<int> spellsOldTag, carriesOwnTag;
  for (int i = 0; i < ids.length(); ++i) {
    AcDbObject* clone = NULL;
    if (acdbOpenAcDbObject(clone, ids[i], AcDb::kForWrite) != Acad::eOk ||
        clone == NULL)
      continue;
    if (clone->database() != working) {
      clone->close();
      if (elsewhere != NULL) elsewhere->append(ids[i]);
      continue;
    }
    resbuf* ownData = ownPartData(clone, oldTag);
    if (ownData == NULL) {
      clone->close();
      continue;
    }
    if (newTag.empty()) {
      const AcWString candidate = tagFromHandle(clone);
      if (candidate.empty()) {
        acutRelRb(ownData);
        clone->close();
        break;
      }
      const bool spells = sameApplicationName(candidate.c_str(), oldTag);
      if (spells || carries(clone, candidate.c_str())) {
        acutRelRb(ownData);
        clone->close();
        (spells ? spellsOldTag : carriesOwnTag).push_back(i);
        continue;
      }
      newTag = candidate;
      // Not checked: a name the drawing already knows is as good as a new
      // one, and an unregistered one makes every write below fail whole.
      acdbRegApp(newTag.c_str());
    }
    if (carries(clone, newTag.c_str())) {
      // Its own data under the new tag would be overwritten: it stays where
      // it is, in its source's part.
      acutRelRb(ownData);
    } else {
      moved[static_cast<std::size_t>(i)] =
          moveToNewTag(clone, ownData, oldTag, newTag.c_str()) == Acad::eOk;
    }
    clone->close();
  }
  if (!newTag.empty()) {
    std::vector<int> waiting(spellsOldTag);
    waiting.insert(waiting.end(), carriesOwnTag.begin(), carriesOwnTag.end());
    for (std::size_t k = 0; k < waiting.size(); ++k)
      moved[static_cast<std::size_t>(waiting[k])] =
          retagOne(ids[waiting[k]], oldTag, newTag.c_str());
  } else if (!spellsOldTag.empty()) {
    // No other clone can name the part: the one whose handle spells the old
    // tag already carries its data under the tag it would get (a copy pasted
    // from another drawing, where that tag names another part).
    newTag = handleTagOf(ids[spellsOldTag[0]]);
    if (!newTag.empty()) {
      acdbRegApp(newTag.c_str());
      for (std::size_t k = 0; k < spellsOldTag.size(); ++k)
        moved[static_cast<std::size_t>(spellsOldTag[k])] = true;
    }
  }
  AcDbObjectIdArray members;
  std::set<AcDbObjectId> listed;  // a repeated id is one member
  for (int i = 0; i < ids.length(); ++i)
    if (moved[static_cast<std::size_t>(i)] && listed.insert(ids[i]).second)
      members.append(ids[i]);
  ids.removeAll();
  if (!members.isEmpty()) recordPart(newTag.c_str(), members);
}
