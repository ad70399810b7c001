// A copy of a whole drawing files hundreds of thousands of pairs, so the
// groups are found through a hash index rather than a walk of the list, and a
// pending clone is stored as its id and its tag's place in shared block
// storage instead of in per-group growable arrays, whose spare capacity would
// cost more than the ids. A copy of many one-object parts makes a group per
// clone, so a group is no string object and no block of its own: its tag sits
// in shared text blocks, found from the index with one step and no table of
// groups between. Groups are numbered, and their arrays made, only at the
// flush, each array in one allocation.
#include "watcher/pending_groups.h"

#include <utility>

#if defined(_MSC_VER)
#include <xmmintrin.h>
#endif

#include "identity/part_tag.h"
#include "identity/retag_clones.h"

namespace {

const std::size_t kSmallestIndex = 16;
const unsigned kOffsetBits = 12;
const std::size_t kBlockUnits = std::size_t(1) << kOffsetBits;
// A cell holds a place plus one, so the last place is never used.
const std::size_t kMostBlocks = (std::size_t(1) << (32 - kOffsetBits)) - 1;
// Narrow cells hold the place plus one in their low 24 bits: blocks 0 to
// 4094.
const std::size_t kNarrowBlocks = (std::size_t(1) << (24 - kOffsetBits)) - 1;
const Adesk::UInt32 kNarrowPlaceMask = 0xFFFFFF;

// A hint to the processor that address will soon be written.
inline void prefetchForWrite(const void* address) {
#if defined(__GNUC__)
  __builtin_prefetch(address, 1);
#elif defined(_MSC_VER)
  _mm_prefetch(static_cast<const char*>(address), _MM_HINT_T0);
#else
  (void)address;
#endif
}

Adesk::UInt64 mixed(Adesk::UInt64 value) {
  value ^= value >> 33;
  value *= 0xFF51AFD7ED558CCDull;
  value ^= value >> 33;
  return value;
}

// Four units at a time: a tag is a "$" and a handle's hexadecimal digits, so
// most tags are hashed in two or three steps. The high bits pick the cell, the
// low ones go into it.
Adesk::UInt32 hashOf(const ACHAR* text, std::size_t length) {
  Adesk::UInt64 hash = 0x9E3779B97F4A7C15ull ^ length;
  std::size_t i = 0;
  for (; i + 4 <= length; i += 4) {
    Adesk::UInt64 word = 0;
    for (std::size_t k = 0; k < 4; ++k)
      word |= static_cast<Adesk::UInt64>(static_cast<Adesk::UInt16>(text[i + k]))
              << (16 * k);
    hash = mixed(hash ^ word) * 0xC4CEB9FE1A85EC53ull;
  }
  Adesk::UInt64 rest = 0;
  for (std::size_t k = 0; i + k < length; ++k)
    rest |= static_cast<Adesk::UInt64>(static_cast<Adesk::UInt16>(text[i + k]))
            << (16 * k);
  hash = mixed(hash ^ rest);
  return static_cast<Adesk::UInt32>(hash >> 32) ^
         static_cast<Adesk::UInt32>(hash);
}

// The home cell of hash in a table of size cells: its high bits.
std::size_t homeOf(Adesk::UInt32 hash, std::size_t size) {
  return static_cast<std::size_t>((static_cast<Adesk::UInt64>(hash) * size) >>
                                  32);
}

// Puts each cell in the first free one from its home on.
void fillCells(std::vector<Adesk::UInt32>& index, const std::size_t* homes,
               const Adesk::UInt32* cells, std::size_t count) {
  const std::size_t size = index.size();
  for (std::size_t k = 0; k < count; ++k) {
    std::size_t cell = homes[k];
    while (index[cell] != 0) cell = cell + 1 == size ? 0 : cell + 1;
    index[cell] = cells[k];
  }
}

Adesk::UInt32 cellOf(Adesk::UInt32 place, Adesk::UInt32 hash, bool wide) {
  return wide ? place + 1 : (place + 1) | ((hash & 0xFF) << 24);
}

bool sameText(const ACHAR* stored, const ACHAR* tag, std::size_t length) {
  return std::char_traits<ACHAR>::compare(stored, tag, length) == 0 &&
         stored[length] == 0;
}

Adesk::UInt32 placeOf(std::size_t block, std::size_t offset) {
  return static_cast<Adesk::UInt32>((block << kOffsetBits) | offset);
}

std::size_t lengthOf(const ACHAR* text) {
  return std::char_traits<ACHAR>::length(text);
}

}  // namespace

void PendingGroupList::file(const AcWString& tag, AcDbObjectId clone) {
  // A tag is a name of the host's, which ends at its first terminator.
  const std::size_t length = lengthOf(tag.c_str());
  Adesk::UInt32 place = mLastPlace;
  if (mLastText == NULL || !sameText(mLastText, tag.c_str(), length)) {
    if (!placeFor(tag.c_str(), length, place)) return;
    mLastPlace = place;
    mLastText = textAt(place);
  }
  mCloneIds.push_back(clone);
  mClonePlaces.push_back(place);
}

const ACHAR* PendingGroupList::textAt(Adesk::UInt32 place) const {
  return &mTextBlocks[place >> kOffsetBits][place & (kBlockUnits - 1)];
}

Adesk::UInt32 PendingGroupList::placeOfGroup(std::size_t position) const {
  for (std::size_t b = 0; b < mTextBlocks.size(); ++b) {
    const std::vector<ACHAR>& block = mTextBlocks[b];
    for (std::size_t start = 0; start < block.size(); --position) {
      if (position == 0) return placeOf(b, start);
      start += lengthOf(&block[start]) + 1;
    }
  }
  return 0;
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
  place = placeOf(mTextBlocks.size() - 1, block.size());
  block.insert(block.end(), tag, tag + length);
  block.push_back(0);
  return true;
}

bool PendingGroupList::placeFor(const ACHAR* tag, std::size_t length,
                                Adesk::UInt32& place) {
  // The tag may need a new block, whose places narrow cells cannot hold.
  if (!mWideCells && mTextBlocks.size() + 1 >= kNarrowBlocks)
    growIndex(true);
  else if ((mGroupCount + 1) * 5 > mIndex.size() * 4)
    growIndex(mWideCells);
  const Adesk::UInt32 hash = hashOf(tag, length);
  const Adesk::UInt32 fragment = mWideCells ? 0 : (hash & 0xFF) << 24;
  const Adesk::UInt32 placeMask = mWideCells ? ~Adesk::UInt32(0) : kNarrowPlaceMask;
  const std::size_t size = mIndex.size();
  for (std::size_t cell = homeOf(hash, size);;
       cell = cell + 1 == size ? 0 : cell + 1) {
    const Adesk::UInt32 entry = mIndex[cell];
    if (entry == 0) {
      if (!storeTag(tag, length, place)) return false;
      ++mGroupCount;
      mIndex[cell] = cellOf(place, hash, mWideCells);
      return true;
    }
    if ((entry & ~placeMask) != fragment) continue;
    const Adesk::UInt32 candidate = (entry & placeMask) - 1;
    if (sameText(textAt(candidate), tag, length)) {
      place = candidate;
      return true;
    }
  }
}

void PendingGroupList::growIndex(bool wide) {
  // Doubled at four fifths full, the index stays over two fifths full: at
  // most two and a half cells, 10 bytes, per group. The fragments keep the
  // longer runs of full cells cheap to pass.
  const std::size_t size =
      mIndex.empty() ? kSmallestIndex : mIndex.size() * 2;
  std::vector<Adesk::UInt32> grown(size, 0);
  // The tags are read straight through the blocks rather than found one by
  // one. Their cells lie far apart in a large index, so a batch of them is
  // fetched before any is filled, rather than waited for one at a time.
  const std::size_t kBatch = 16;
  std::size_t homes[kBatch];
  Adesk::UInt32 cells[kBatch];
  std::size_t batched = 0;
  for (std::size_t b = 0; b < mTextBlocks.size(); ++b) {
    const std::vector<ACHAR>& block = mTextBlocks[b];
    for (std::size_t start = 0; start < block.size();) {
      const ACHAR* text = &block[start];
      const std::size_t length = lengthOf(text);
      const Adesk::UInt32 hash = hashOf(text, length);
      homes[batched] = homeOf(hash, size);
      cells[batched] = cellOf(placeOf(b, start), hash, wide);
      prefetchForWrite(&grown[homes[batched]]);
      if (++batched == kBatch) {
        fillCells(grown, homes, cells, batched);
        batched = 0;
      }
      start += length + 1;
    }
  }
  fillCells(grown, homes, cells, batched);
  mIndex.swap(grown);
  mWideCells = wide;
}

AcDbObjectIdArray PendingGroupList::idsOf(std::size_t position) const {
  const Adesk::UInt32 place = placeOfGroup(position);
  AcDbObjectIdArray ids;
  for (std::size_t i = 0; i < mCloneIds.size(); ++i)
    if (mClonePlaces[i] == place) ids.append(mCloneIds[i]);
  return ids;
}

void PendingGroupList::drain(RetagFunction retag) {
  PendingGroupList taken;
  taken.swap(*this);
  if (taken.isEmpty()) return;
  // Groups are numbered in the order their tags lie in the blocks.
  std::vector<Adesk::UInt32> groupAtPlace(taken.mTextBlocks.size()
                                          << kOffsetBits);
  std::vector<const ACHAR*> texts;
  texts.reserve(taken.mGroupCount);
  for (std::size_t b = 0; b < taken.mTextBlocks.size(); ++b) {
    const std::vector<ACHAR>& block = taken.mTextBlocks[b];
    for (std::size_t start = 0; start < block.size();) {
      groupAtPlace[placeOf(b, start)] =
          static_cast<Adesk::UInt32>(texts.size());
      texts.push_back(&block[start]);
      start += lengthOf(&block[start]) + 1;
    }
  }
  // Counted first, so that each group's array is made in one allocation.
  std::vector<int> sizes(texts.size(), 0);
  for (std::size_t i = 0; i < taken.mClonePlaces.size(); ++i)
    ++sizes[groupAtPlace[taken.mClonePlaces[i]]];
  std::vector<AcDbObjectIdArray> groupIds(texts.size());
  for (std::size_t group = 0; group < groupIds.size(); ++group)
    groupIds[group].setPhysicalLength(sizes[group]);
  for (std::size_t i = 0; i < taken.mCloneIds.size(); ++i)
    groupIds[groupAtPlace[taken.mClonePlaces[i]]].append(taken.mCloneIds[i]);
  taken.mCloneIds.clear();
  taken.mClonePlaces.clear();
  for (std::size_t group = 0; group < groupIds.size(); ++group)
    retag(std::move(groupIds[group]), texts[group]);
}

void PendingGroupList::clear() {
  PendingGroupList emptied;
  swap(emptied);
}

void PendingGroupList::swap(PendingGroupList& other) {
  mCloneIds.swap(other.mCloneIds);
  mClonePlaces.swap(other.mClonePlaces);
  mTextBlocks.swap(other.mTextBlocks);
  std::swap(mGroupCount, other.mGroupCount);
  mIndex.swap(other.mIndex);
  std::swap(mWideCells, other.mWideCells);
  std::swap(mLastText, other.mLastText);
  std::swap(mLastPlace, other.mLastPlace);
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
