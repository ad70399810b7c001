// A clone gives up its old tag in the same setXData call that gives it the new
// one. The host applies a chain all or nothing, so no failure can leave a clone
// without its part data; it keeps the old tag, and so stays in the source's
// part, rather than belong to none.
#include "identity/retag_clones.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "identity/part_record.h"

namespace {

// What a clone carries, read in one call: its own part data under oldTag
// (its 1001 item, then its data items) cut out as a chain of its own, and
// the rest of its xdata, kept for the names it carries. Both are freed by
// the destructor unless taken.
class CloneXdata {
 public:
  CloneXdata(const AcDbObject* clone, const ACHAR* oldTag);
  ~CloneXdata() {
    if (own != NULL) acutRelRb(own);
    if (rest != NULL) acutRelRb(rest);
  }
  // The part data under oldTag, null when there is nothing that could be
  // moved; the caller then owns it.
  resbuf* takeOwn() {
    resbuf* taken = own;
    own = NULL;
    return taken;
  }
  bool hasOwn() const { return own != NULL; }
  // True when the clone also carries xdata under app; also when the host
  // did not answer, since a move onto data that is there would overwrite it.
  bool carries(const ACHAR* app) const;

 private:
  CloneXdata(const CloneXdata&);
  CloneXdata& operator=(const CloneXdata&);

  resbuf* own;
  resbuf* rest;
  bool answered;
};

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

CloneXdata::CloneXdata(const AcDbObject* clone, const ACHAR* oldTag)
    : own(NULL), rest(clone->xData(NULL)), answered(rest != NULL) {
  resbuf* before = NULL;
  for (resbuf* item = rest; item != NULL; before = item, item = item->rbnext) {
    if (item->restype != 1001 || item->resval.rstring == NULL ||
        !sameApplicationName(item->resval.rstring, oldTag))
      continue;
    resbuf* last = item;
    while (last->rbnext != NULL && last->rbnext->restype != 1001)
      last = last->rbnext;
    // A name with no items after it would read as "remove" to setXData.
    if (last == item) return;
    (before != NULL ? before->rbnext : rest) = last->rbnext;
    last->rbnext = NULL;
    own = item;
    return;
  }
}

bool CloneXdata::carries(const ACHAR* app) const {
  if (!answered) return true;
  for (const resbuf* item = rest; item != NULL; item = item->rbnext)
    if (item->restype == 1001 && item->resval.rstring != NULL &&
        sameApplicationName(item->resval.rstring, app))
      return true;
  return false;
}

// Opens one clone and moves its own xdata from oldTag to newTag, unless it
// already carries newTag; true when it was moved.
bool retagOne(AcDbObjectId id, const ACHAR* oldTag, const ACHAR* newTag) {
  AcDbObject* clone = NULL;
  if (acdbOpenAcDbObject(clone, id, AcDb::kForWrite) != Acad::eOk ||
      clone == NULL)
    return false;
  bool moved = false;
  {
    CloneXdata xdata(clone, oldTag);
    if (!xdata.carries(newTag) && xdata.hasOwn())
      moved = moveToNewTag(clone, xdata.takeOwn(), oldTag, newTag) == Acad::eOk;
  }
  clone->close();
  return moved;
}

// The moved ids, each once, where it first stood: a repeated id is one
// member. Sorted copies rather than a set, which would cost a heap block per
// member of every part.
AcDbObjectIdArray distinctMoved(const AcDbObjectIdArray& ids,
                                const std::vector<bool>& moved) {
  std::vector<std::pair<AcDbObjectId, int> > byId;
  byId.reserve(moved.size());
  for (int i = 0; i < ids.length(); ++i)
    if (moved[static_cast<std::size_t>(i)])
      byId.push_back(std::make_pair(ids[i], i));
  std::sort(byId.begin(), byId.end());
  std::vector<bool> first(moved.size(), false);
  for (std::size_t k = 0; k < byId.size(); ++k)
    if (k == 0 || !(byId[k].first == byId[k - 1].first))
      first[static_cast<std::size_t>(byId[k].second)] = true;
  AcDbObjectIdArray members;
  members.setPhysicalLength(static_cast<int>(byId.size()));
  for (int i = 0; i < ids.length(); ++i)
    if (first[static_cast<std::size_t>(i)]) members.append(ids[i]);
  return members;
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
    // Freed at the end of this pass, whichever way it ends.
    CloneXdata xdata(clone, oldTag);
    if (!xdata.hasOwn()) {
      clone->close();
      continue;
    }
    if (newTag.empty()) {
      const AcWString candidate = tagFromHandle(clone);
      if (candidate.empty()) {
        clone->close();
        break;
      }
      const bool spells = sameApplicationName(candidate.c_str(), oldTag);
      if (spells || xdata.carries(candidate.c_str())) {
        clone->close();
        (spells ? spellsOldTag : carriesOwnTag).push_back(i);
        continue;
      }
      newTag = candidate;
      // Not checked: a name the drawing already knows is as good as a new
      // one, and an unregistered one makes every write below fail whole.
      acdbRegApp(newTag.c_str());
    }
    // Its own data under the new tag would be overwritten: then it stays
    // where it is, in its source's part.
    if (!xdata.carries(newTag.c_str()))
      moved[static_cast<std::size_t>(i)] =
          moveToNewTag(clone, xdata.takeOwn(), oldTag, newTag.c_str()) ==
          Acad::eOk;
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
  AcDbObjectIdArray members = distinctMoved(ids, moved);
  ids.removeAll();
  if (!members.isEmpty()) recordPart(newTag.c_str(), members);
}
