// A copy of a whole drawing files hundreds of thousands of pairs, so the
// groups are found through a hash index rather than a walk of the list, and a
// pending clone is stored as its id and a group number in shared block
// storage instead of in per-group growable arrays, whose spare capacity would
// cost more than the ids. A copy of many one-object parts makes a group per
// clone, so a group is no string object and no block of its own: its tag
// sits in shared text blocks and the index grows by two fifths, not double. The
// per-group arrays are made only at the flush, each in one allocation.
#include "watcher/pending_groups.h"

#include <utility>

#include "identity/part_tag.h"
#include "identity/retag_clones.h"

namespace {

const std::size_t kSmallestIndex = 16;
// A place is a block number and an offset in the block.
const unsigned kOffsetBits = 12;
const std::size_t kBlockUnits = std::size_t(1) << kOffsetBits;
const std::size_t kMostBlocks = std::size_t(1) << (32 - kOffsetBits);
// Narrow cells hold the group number plus one in the low 24 bits.
const Adesk::UInt32 kNarrowGroups = (Adesk::UInt32(1) << 24) - 1;

// FNV-1a over the units, then mixed so that every bit depends on every unit:
// the high bits pick the cell, the low ones go into it.
Adesk::UInt32 hashOf(const ACHAR* text, std::size_t length) {
  Adesk::UInt32 hash = 2166136261u;
  for (std::size_t i = 0; i < length; ++i) {
    hash ^= static_cast<Adesk::UInt32>(text[i]);
    hash *= 16777619u;
  }
  hash ^= hash >> 16;
  hash *= 0x85ebca6bu;
  hash ^= hash >> 13;
  return hash;
}

// The home cell of hash in a table of size cells, by multiplication rather
// than a power-of-two mask, since the table grows by half.
std::size_t homeOf(Adesk::UInt32 hash, std::size_t size) {
  return static_cast<std::size_t>((static_cast<Adesk::UInt64>(hash) * size) >>
                                  32);
}

Adesk::UInt32 cellOf(Adesk::UInt32 group, Adesk::UInt32 hash, bool wide) {
  return wide ? group + 1 : (group + 1) | ((hash & 0xFF) << 24);
}

bool sameText(const ACHAR* stored, const ACHAR* tag, std::size_t length) {
  return std::char_traits<ACHAR>::compare(stored, tag, length) == 0 &&
         stored[length] == 0;
}

}  // namespace

void PendingGroupList::file(const AcWString& tag, AcDbObjectId clone) {
  // A tag is a name of the host's, which ends at its first terminator.
  const std::size_t length = std::char_traits<ACHAR>::length(tag.c_str());
  Adesk::UInt32 group = mLastGroup;
  if (mLastText == NULL || !sameText(mLastText, tag.c_str(), length)) {
    if (!groupFor(tag.c_str(), length, group)) return;
    mLastGroup = group;
    mLastText = tagText(group);
  }
  mCloneIds.push_back(clone);
  mCloneGroups.push_back(group);
}

const ACHAR* PendingGroupList::tagText(std::size_t group) const {
  const Adesk::UInt32 place = mTagPlaces[group];
  return &mTextBlocks[place >> kOffsetBits][place & (kBlockUnits - 1)];
}

bool PendingGroupList::storeTag(const ACHAR* tag, std::size_t length,
                                Adesk::UInt32& place) {
  const std::size_t units = length + 1;
  const bool fits =
      !mTextBlocks.empty() && mTextBlocks.back().size() + units <= kBlockUnits;
  if (!fits) {
    if (mTextBlocks.size() == kMostBlocks) return false;
    mTextBlocks.push_back(std::vector<ACHAR>());
    // A block never grows past what it reserved, so a tag never moves; a
    // tag longer than a block has one of its own.
    mTextBlocks.back().reserve(units > kBlockUnits ? units : kBlockUnits);
  }
  std::vector<ACHAR>& block = mTextBlocks.back();
  place = static_cast<Adesk::UInt32>(((mTextBlocks.size() - 1) << kOffsetBits) |
                                     block.size());
  block.insert(block.end(), tag, tag + length);
  block.push_back(0);
  return true;
}

bool PendingGroupList::groupFor(const ACHAR* tag, std::size_t length,
                                Adesk::UInt32& group) {
  const std::size_t groups = mTagPlaces.size();
  if (!mWideCells && groups + 1 >= kNarrowGroups)
    growIndex(true);
  else if ((groups + 1) * 4 > mIndex.size() * 3)
    growIndex(mWideCells);
  const Adesk::UInt32 hash = hashOf(tag, length);
  const Adesk::UInt32 fragment = mWideCells ? 0 : (hash & 0xFF) << 24;
  const Adesk::UInt32 numberMask = mWideCells ? ~Adesk::UInt32(0) : 0xFFFFFF;
  const std::size_t size = mIndex.size();
  for (std::size_t cell = homeOf(hash, size);;
       cell = cell + 1 == size ? 0 : cell + 1) {
    const Adesk::UInt32 entry = mIndex[cell];
    if (entry == 0) {
      Adesk::UInt32 place;
      if (!storeTag(tag, length, place)) return false;
      group = static_cast<Adesk::UInt32>(groups);
      mTagPlaces.push_back(place);
      mIndex[cell] = cellOf(group, hash, mWideCells);
      return true;
    }
    if ((entry & ~numberMask) != fragment) continue;
    const Adesk::UInt32 candidate = (entry & numberMask) - 1;
    if (sameText(tagText(candidate), tag, length)) {
      group = candidate;
      return true;
    }
  }
}

void PendingGroupList::growIndex(bool wide) {
  // Grown by two fifths at three quarters full, the index stays over half
  // full: under two cells, 8 bytes, per group.
  const std::size_t size = mIndex.empty()
                               ? kSmallestIndex
                               : mIndex.size() + (mIndex.size() * 2 + 4) / 5;
  std::vector<Adesk::UInt32> grown(size, 0);
  // The tags lie in the blocks in group order, so they are read straight
  // through rather than found one by one.
  Adesk::UInt32 group = 0;
  for (std::size_t b = 0; b < mTextBlocks.size(); ++b) {
    const std::vector<ACHAR>& block = mTextBlocks[b];
    for (std::size_t start = 0; start < block.size(); ++group) {
      const ACHAR* text = &block[start];
      const std::size_t length = std::char_traits<ACHAR>::length(text);
      const Adesk::UInt32 hash = hashOf(text, length);
      std::size_t cell = homeOf(hash, size);
      while (grown[cell] != 0) cell = cell + 1 == size ? 0 : cell + 1;
      grown[cell] = cellOf(group, hash, wide);
      start += length + 1;
    }
  }
  mIndex.swap(grown);
  mWideCells = wide;
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
  // Counted first, so that each group's array is made in one allocation.
  std::vector<int> sizes(taken.mTagPlaces.size(), 0);
  for (std::size_t i = 0; i < taken.mCloneGroups.size(); ++i)
    ++sizes[taken.mCloneGroups[i]];
  std::vector<AcDbObjectIdArray> groupIds(taken.mTagPlaces.size());
  for (std::size_t group = 0; group < groupIds.size(); ++group)
    groupIds[group].setPhysicalLength(sizes[group]);
  for (std::size_t i = 0; i < taken.mCloneIds.size(); ++i)
    groupIds[taken.mCloneGroups[i]].append(taken.mCloneIds[i]);
  taken.mCloneIds.clear();
  taken.mCloneGroups.clear();
  for (std::size_t group = 0; group < groupIds.size(); ++group)
    retag(std::move(groupIds[group]), taken.tagText(group));
}

void PendingGroupList::clear() {
  PendingGroupList emptied;
  swap(emptied);
}

void PendingGroupList::swap(PendingGroupList& other) {
  mCloneIds.swap(other.mCloneIds);
  mCloneGroups.swap(other.mCloneGroups);
  mTextBlocks.swap(other.mTextBlocks);
  mTagPlaces.swap(other.mTagPlaces);
  mIndex.swap(other.mIndex);
  std::swap(mWideCells, other.mWideCells);
  std::swap(mLastText, other.mLastText);
  std::swap(mLastGroup, other.mLastGroup);
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
