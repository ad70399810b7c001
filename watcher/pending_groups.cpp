// A copy of a whole drawing files hundreds of thousands of pairs, so the
// groups are found through a hash index rather than a walk of the list, and a
// pending clone is stored as its id and a group number in shared block
// storage instead of in per-group growable arrays, whose spare capacity would
// cost more than the ids. The per-group arrays are made only at the flush.
#include "watcher/pending_groups.h"

#include <functional>
#include <utility>

#include "identity/part_tag.h"
#include "identity/retag_clones.h"

namespace {

const std::size_t kSmallestIndex = 16;

Adesk::UInt32 hashBitsOf(std::size_t hash) {
  return static_cast<Adesk::UInt32>(hash);
}

}  // namespace

void PendingGroupList::file(const AcWString& tag, AcDbObjectId clone) {
  Adesk::UInt32 group = groupFor(tag);
  mCloneIds.push_back(clone);
  mCloneGroups.push_back(group);
}

Adesk::UInt32 PendingGroupList::groupFor(const AcWString& tag) {
  // Kept at most half full, so a probe is short and always finds a free cell.
  if ((mGroups.size() + 1) * 2 > mIndex.size()) growIndex();
  const std::size_t hash = std::hash<AcWString>()(tag);
  const Adesk::UInt32 bits = hashBitsOf(hash);
  const std::size_t mask = mIndex.size() - 1;
  for (std::size_t cell = hash & mask;; cell = (cell + 1) & mask) {
    IndexCell& entry = mIndex[cell];
    if (entry.groupPlusOne == 0) {
      mGroups.push_back(PendingGroup(tag));
      entry.groupPlusOne = static_cast<Adesk::UInt32>(mGroups.size());
      entry.hashBits = bits;
      return entry.groupPlusOne - 1;
    }
    if (entry.hashBits == bits && mGroups[entry.groupPlusOne - 1].name == tag)
      return entry.groupPlusOne - 1;
  }
}

void PendingGroupList::growIndex() {
  std::size_t size = mIndex.empty() ? kSmallestIndex : mIndex.size() * 2;
  std::vector<IndexCell> grown(size, IndexCell());
  const std::size_t mask = size - 1;
  for (std::size_t group = 0; group < mGroups.size(); ++group) {
    const std::size_t hash = std::hash<AcWString>()(mGroups[group].name);
    std::size_t cell = hash & mask;
    while (grown[cell].groupPlusOne != 0) cell = (cell + 1) & mask;
    grown[cell].groupPlusOne = static_cast<Adesk::UInt32>(group + 1);
    grown[cell].hashBits = hashBitsOf(hash);
  }
  mIndex.swap(grown);
}

AcDbObjectIdArray PendingGroupList::idsOf(std::size_t position) const {
  AcDbObjectIdArray ids;
  for (std::size_t i = 0; i < mCloneIds.size(); ++i)
    if (mCloneGroups[i] == position) ids.append(mCloneIds[i]);
  return ids;
}

void PendingGroupList::drain(RetagFunction retag) {
  PendingGroupList taken;
  taken.swap(*this);
  if (taken.isEmpty()) return;
  std::vector<AcDbObjectIdArray> groupIds(taken.mGroups.size());
  for (std::size_t i = 0; i < taken.mCloneIds.size(); ++i)
    groupIds[taken.mCloneGroups[i]].append(taken.mCloneIds[i]);
  taken.mCloneIds.clear();
  taken.mCloneGroups.clear();
  for (std::size_t group = 0; group < groupIds.size(); ++group)
    retag(std::move(groupIds[group]), taken.mGroups[group].name.c_str());
}

void PendingGroupList::clear() {
  PendingGroupList emptied;
  swap(emptied);
}

void PendingGroupList::swap(PendingGroupList& other) {
  mGroups.swap(other.mGroups);
  mCloneIds.swap(other.mCloneIds);
  mCloneGroups.swap(other.mCloneGroups);
  mIndex.swap(other.mIndex);
}

void collectClone(PendingGroupList& pending, AcDbObjectId sourceId,
                  AcDbObjectId cloneId) {
  AcDbObject* source = NULL;
  if (acdbOpenAcDbObject(source, sourceId, AcDb::kForRead) != Acad::eOk ||
      source == NULL)
    return;
  AcWString tag = partTagOf(source);
  if (!tag.empty()) pending.file(tag, cloneId);
  source->close();
}

namespace {

// The list being flushed. Clones of another drawing than the working one go
// back into it: their part can only be made while their drawing is the
// working one, at a later flush there.
PendingGroupList* gFlushing = NULL;

void retagWorkingDrawingClones(AcDbObjectIdArray ids, const ACHAR* tag) {
  AcDbObjectIdArray elsewhere;
  retagClones(ids, tag, &elsewhere);
  for (int i = 0; i < elsewhere.length(); ++i)
    gFlushing->file(AcWString(tag), elsewhere[i]);
}

}  // namespace

void flushPendingGroups(PendingGroupList& pending) {
  gFlushing = &pending;
  pending.drain(retagWorkingDrawingClones);
  gFlushing = NULL;
}
