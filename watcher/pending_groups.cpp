// A copy of a whole drawing files hundreds of thousands of pairs, so the
// groups are found through a hash index rather than a walk of the list, and
// pending clones are stored as their ids and runs of one tag's place in
// shared block storage instead of in per-group growable arrays, whose spare
// capacity would cost more than the ids. A copy of many one-object parts
// makes a group per clone, so a group is no string object and no block of its
// own: its tag sits in shared text blocks, found from the index with one step
// and no table of groups between. Over many groups the index lies beyond the
// processor's caches, so the tags are looked up in batches whose reads were
// started as the tags came. Groups are numbered, and their arrays made, only
// at the flush, each array in one allocation.
#include "watcher/pending_groups.h"

#include <algorithm>
#include <cstring>
#include <utility>

#if (defined(__SSE2__) || defined(_M_X64)) && \
    !defined(PLIVET_PORTABLE_BUCKET_SCAN)
#include <emmintrin.h>
#define PENDING_GROUPS_SSE2 1
#endif

#include "identity/part_tag.h"
#include "identity/retag_clones.h"

namespace {

// The index is read a bucket of 16 cells, one cache line, at a time: its
// cells are compared all at once, so finding a tag takes no branch on how
// far it lies from its home, which the processor could not foresee over
// many tags.
const std::size_t kBucketCells = 16;
const std::size_t kBucketBytes = kBucketCells * sizeof(Adesk::UInt32);
const std::size_t kSmallestIndex = kBucketCells;
const unsigned kOffsetBits = 12;
const std::size_t kBlockUnits = std::size_t(1) << kOffsetBits;
// A cell holds a place plus one, so the last place is never used.
const std::size_t kMostBlocks = (std::size_t(1) << (32 - kOffsetBits)) - 1;
// Narrow cells hold the place plus one in their low 24 bits: blocks 0 to
// 4094.
const std::size_t kNarrowBlocks = (std::size_t(1) << (24 - kOffsetBits)) - 1;
const Adesk::UInt32 kNarrowPlaceMask = 0xFFFFFF;
// What a tag of the batch comes to when it would make a group, plus its
// number among the new groups: past every place of the last block.
const Adesk::UInt32 kNewGroup = 0xFFFFF000u;

// A hint to the processor that address will soon be written.
inline void prefetchForWrite(const void* address) {
#if defined(__GNUC__)
  __builtin_prefetch(address, 1);
#elif defined(PENDING_GROUPS_SSE2)
  _mm_prefetch(static_cast<const char*>(address), _MM_HINT_T0);
#else
  (void)address;
#endif
}

// The position of the lowest set bit of a mask that is not zero.
inline unsigned lowestBit(unsigned mask) {
#if defined(__GNUC__)
  return static_cast<unsigned>(__builtin_ctz(mask));
#else
  unsigned bit = 0;
  while ((mask & 1u) == 0) {
    mask >>= 1;
    ++bit;
  }
  return bit;
#endif
}

Adesk::UInt64 mixed(Adesk::UInt64 value) {
  value ^= value >> 33;
  value *= 0xFF51AFD7ED558CCDull;
  value ^= value >> 33;
  return value;
}

// Up to four units of text as one word, the first in the low bits.
Adesk::UInt64 wordOf(const ACHAR* text, std::size_t units) {
  Adesk::UInt64 word = 0;
  for (std::size_t k = 0; k < units; ++k)
    word |= static_cast<Adesk::UInt64>(static_cast<Adesk::UInt16>(text[k]))
            << (16 * k);
  return word;
}

// Four units read as one word, in whatever order the machine keeps them:
// the hash is only ever compared within one process.
Adesk::UInt64 fourUnitsOf(const ACHAR* text) {
  Adesk::UInt64 word;
  std::memcpy(&word, text, sizeof word);
  return word;
}

// Four units at a time: a tag is a "$" and a handle's hexadecimal digits, so
// most tags are hashed in two or three steps, one multiplication each; the
// last step spreads every unit over every bit. The high bits pick the
// bucket, the low ones go into the cell.
Adesk::UInt32 hashOf(const ACHAR* text, std::size_t length) {
  Adesk::UInt64 hash = 0x9E3779B97F4A7C15ull ^ length;
  std::size_t i = 0;
  for (; i + 4 <= length; i += 4)
    hash = (hash ^ fourUnitsOf(text + i)) * 0xC4CEB9FE1A85EC53ull;
  hash = mixed((hash ^ wordOf(text + i, length - i)) * 0xC4CEB9FE1A85EC53ull);
  return static_cast<Adesk::UInt32>(hash >> 32) ^
         static_cast<Adesk::UInt32>(hash);
}

// The home bucket of hash among count buckets: its high bits.
std::size_t homeOf(Adesk::UInt32 hash, std::size_t count) {
  return static_cast<std::size_t>((static_cast<Adesk::UInt64>(hash) * count) >>
                                  32);
}

// The 8 bits of hash a narrow cell keeps in its top byte, never 0: a free
// cell is 0, so it never passes for a tag.
Adesk::UInt32 fragmentOf(Adesk::UInt32 hash) {
  const Adesk::UInt32 fragment = hash & 0xFF;
  return fragment + (fragment == 0);
}

Adesk::UInt32 cellOf(Adesk::UInt32 place, Adesk::UInt32 hash, bool wide) {
  return wide ? place + 1 : (place + 1) | (fragmentOf(hash) << 24);
}

// The cells of a bucket that may hold a tag with fragment (bit k for cell
// k), and the free ones. Wide cells keep no fragment: every used one may.
struct BucketScan {
  unsigned candidates;
  unsigned free;
};

#if defined(PENDING_GROUPS_SSE2)
// One bit per cell of a comparison of each quarter of a bucket, in cell
// order: the four masks of all-ones or zero are narrowed into one of bytes.
unsigned maskOf(__m128i first, __m128i second, __m128i third, __m128i fourth) {
  return static_cast<unsigned>(_mm_movemask_epi8(_mm_packs_epi16(
      _mm_packs_epi32(first, second), _mm_packs_epi32(third, fourth))));
}
#endif

// The free cells of a bucket (bit k for cell k).
unsigned freeCellsOf(const Adesk::UInt32* bucket) {
#if defined(PENDING_GROUPS_SSE2)
  const __m128i* quarters = reinterpret_cast<const __m128i*>(bucket);
  const __m128i zero = _mm_setzero_si128();
  return maskOf(_mm_cmpeq_epi32(_mm_load_si128(quarters), zero),
                _mm_cmpeq_epi32(_mm_load_si128(quarters + 1), zero),
                _mm_cmpeq_epi32(_mm_load_si128(quarters + 2), zero),
                _mm_cmpeq_epi32(_mm_load_si128(quarters + 3), zero));
#else
  unsigned freeCells = 0;
  for (unsigned k = 0; k < kBucketCells; ++k)
    freeCells |= unsigned(bucket[k] == 0) << k;
  return freeCells;
#endif
}

BucketScan scanBucket(const Adesk::UInt32* bucket, Adesk::UInt32 fragment,
                      bool wide) {
  BucketScan scan;
  scan.free = freeCellsOf(bucket);
  if (wide) {
    scan.candidates = ~scan.free & ((1u << kBucketCells) - 1);
    return scan;
  }
#if defined(PENDING_GROUPS_SSE2)
  const __m128i* quarters = reinterpret_cast<const __m128i*>(bucket);
  const __m128i wanted = _mm_set1_epi32(static_cast<int>(fragment));
  scan.candidates = maskOf(
      _mm_cmpeq_epi32(_mm_srli_epi32(_mm_load_si128(quarters), 24), wanted),
      _mm_cmpeq_epi32(_mm_srli_epi32(_mm_load_si128(quarters + 1), 24), wanted),
      _mm_cmpeq_epi32(_mm_srli_epi32(_mm_load_si128(quarters + 2), 24), wanted),
      _mm_cmpeq_epi32(_mm_srli_epi32(_mm_load_si128(quarters + 3), 24),
                      wanted));
#else
  scan.candidates = 0;
  for (unsigned k = 0; k < kBucketCells; ++k)
    scan.candidates |= unsigned((bucket[k] >> 24) == fragment) << k;
#endif
  return scan;
}

// Puts each cell in the first free one from its home bucket on.
void fillCells(Adesk::UInt32* buckets, std::size_t bucketCount,
               const std::size_t* homes, const Adesk::UInt32* cells,
               std::size_t count) {
  for (std::size_t k = 0; k < count; ++k) {
    for (std::size_t bucket = homes[k];;
         bucket = bucket + 1 == bucketCount ? 0 : bucket + 1) {
      Adesk::UInt32* first = buckets + bucket * kBucketCells;
      const unsigned freeCells = freeCellsOf(first);
      if (freeCells != 0) {
        first[lowestBit(freeCells)] = cells[k];
        break;
      }
    }
  }
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
  if (mLastText == NULL || !sameText(mLastText, tag.c_str(), length))
    stage(tag.c_str(), length);
  mCloneIds.push_back(clone);
  if (mStagedCount != 0)
    ++mStaged[mStagedCount - 1].clones;
  else
    ++mCloneRuns.back().clones;
}

void PendingGroupList::stage(const ACHAR* tag, std::size_t length) {
  if (mStagedCount == kBatchTags) settle();
  StagedTag& staged = mStaged[mStagedCount];
  staged.start = mStagedUnits;
  staged.length = length;
  staged.hash = hashOf(tag, length);
  staged.clones = 0;
  if (mBucketCount != 0)
    prefetchForWrite(mBuckets +
                     homeOf(staged.hash, mBucketCount) * kBucketCells);
  // Its size is room, not contents: it is filled without being resized.
  mStagedUnits += length + 1;
  if (mStagedUnits > mStagedText.size())
    mStagedText.resize(std::max(mStagedUnits, 2 * mStagedText.size()));
  ACHAR* copy = &mStagedText[staged.start];
  std::char_traits<ACHAR>::copy(copy, tag, length);
  copy[length] = 0;
  mLastText = copy;
  ++mStagedCount;
}

void PendingGroupList::settle() {
  if (mStagedCount == 0) return;
  for (std::size_t slot = 0; slot < mStagedCount; ++slot) {
    const StagedTag& staged = mStaged[slot];
    Adesk::UInt32 place = 0;
    if (placeFor(stagedText(slot), staged.length, staged.hash, place)) {
      const CloneRun run = {place, staged.clones};
      mCloneRuns.push_back(run);
      mLastText = textAt(place);
      continue;
    }
    // Its clones are dropped, as if never filed. They follow the clones of
    // every run made so far.
    std::size_t first = 0;
    for (std::size_t later = slot; later < mStagedCount; ++later)
      first += mStaged[later].clones;
    first = mCloneIds.size() - first;
    const std::deque<AcDbObjectId>::iterator from =
        mCloneIds.begin() + static_cast<std::ptrdiff_t>(first);
    mCloneIds.erase(from, from + static_cast<std::ptrdiff_t>(staged.clones));
    mLastText = NULL;
  }
  mStagedCount = 0;
  mStagedUnits = 0;
}

std::vector<Adesk::UInt32> PendingGroupList::stagedOutcomes() const {
  std::vector<Adesk::UInt32> outcomes(mStagedCount);
  Adesk::UInt32 newGroups = 0;
  for (std::size_t slot = 0; slot < mStagedCount; ++slot) {
    const StagedTag& staged = mStaged[slot];
    if (findPlace(stagedText(slot), staged.length, staged.hash, outcomes[slot]))
      continue;
    // A tag met earlier in the batch: the group that one makes.
    std::size_t earlier = 0;
    while (earlier < slot &&
           !sameText(stagedText(earlier), stagedText(slot), staged.length))
      ++earlier;
    outcomes[slot] =
        earlier < slot ? outcomes[earlier] : kNewGroup + newGroups++;
  }
  return outcomes;
}

std::size_t PendingGroupList::groupCount() const {
  // New groups are numbered in the order they are first met.
  std::size_t count = mGroupCount;
  const std::vector<Adesk::UInt32> outcomes = stagedOutcomes();
  for (std::size_t slot = 0; slot < outcomes.size(); ++slot)
    if (outcomes[slot] == kNewGroup + (count - mGroupCount)) ++count;
  return count;
}

PendingGroup PendingGroupList::groupAt(std::size_t position) const {
  if (position < mGroupCount)
    return PendingGroup(AcWString(textAt(placeOfGroup(position))));
  const std::vector<Adesk::UInt32> outcomes = stagedOutcomes();
  const Adesk::UInt32 wanted =
      kNewGroup + static_cast<Adesk::UInt32>(position - mGroupCount);
  for (std::size_t slot = 0; slot < outcomes.size(); ++slot)
    if (outcomes[slot] == wanted)
      return PendingGroup(AcWString(stagedText(slot)));
  return PendingGroup(AcWString());
}

const ACHAR* PendingGroupList::textAt(Adesk::UInt32 place) const {
  return &mTextBlocks[place >> kOffsetBits][place & (kBlockUnits - 1)];
}

Adesk::UInt32 PendingGroupList::placeOfGroup(std::size_t position) const {
  for (std::size_t b = 0; b < mTextBlocks.size(); ++b) {
    const std::vector<ACHAR>& block = mTextBlocks[b];
    for (std::size_t start = 0; start < unitsIn(b); --position) {
      if (position == 0) return placeOf(b, start);
      start += lengthOf(&block[start]) + 1;
    }
  }
  return 0;
}

bool PendingGroupList::storeTag(const ACHAR* tag, std::size_t length,
                                Adesk::UInt32& place) {
  const std::size_t units = length + 1;
  if (mTextBlocks.empty() || mLastBlockUnits + units > kBlockUnits) {
    if (mTextBlocks.size() == kMostBlocks) return false;
    // A block is made at its full size and never grows, so a tag never
    // moves; a tag longer than a block has one of its own. The block before
    // keeps only what it holds.
    if (!mTextBlocks.empty()) mTextBlocks.back().resize(mLastBlockUnits);
    mTextBlocks.push_back(std::vector<ACHAR>());
    mTextBlocks.back().resize(units > kBlockUnits ? units : kBlockUnits);
    mLastBlockUnits = 0;
    if (!mWideCells && mTextBlocks.size() + 1 >= kNarrowBlocks) mGrowAt = 0;
  }
  place = placeOf(mTextBlocks.size() - 1, mLastBlockUnits);
  ACHAR* text = &mTextBlocks.back()[mLastBlockUnits];
  std::char_traits<ACHAR>::copy(text, tag, length);
  text[length] = 0;
  mLastBlockUnits += units;
  return true;
}

bool PendingGroupList::findPlace(const ACHAR* tag, std::size_t length,
                                 Adesk::UInt32 hash, Adesk::UInt32& place,
                                 Adesk::UInt32** freeCell) const {
  if (mBucketCount == 0) return false;
  const Adesk::UInt32 fragment = fragmentOf(hash);
  const Adesk::UInt32 placeMask =
      mWideCells ? ~Adesk::UInt32(0) : kNarrowPlaceMask;
  // No bucket is ever emptied while the list holds groups, so a tag lies in
  // its home bucket or in a full one after it, before the first bucket with
  // a free cell.
  for (std::size_t bucket = homeOf(hash, mBucketCount);;
       bucket = bucket + 1 == mBucketCount ? 0 : bucket + 1) {
    Adesk::UInt32* cells = mBuckets + bucket * kBucketCells;
    const BucketScan scan = scanBucket(cells, fragment, mWideCells);
    for (unsigned left = scan.candidates; left != 0; left &= left - 1) {
      const Adesk::UInt32 candidate = (cells[lowestBit(left)] & placeMask) - 1;
      if (sameText(textAt(candidate), tag, length)) {
        place = candidate;
        return true;
      }
    }
    if (scan.free != 0) {
      if (freeCell != NULL) *freeCell = cells + lowestBit(scan.free);
      return false;
    }
  }
}

bool PendingGroupList::placeFor(const ACHAR* tag, std::size_t length,
                                Adesk::UInt32 hash, Adesk::UInt32& place) {
  if (mGroupCount >= mGrowAt) growIndex();
  Adesk::UInt32* freeCell = NULL;
  if (findPlace(tag, length, hash, place, &freeCell)) return true;
  if (!storeTag(tag, length, place)) return false;
  ++mGroupCount;
  *freeCell = cellOf(place, hash, mWideCells);
  return true;
}

void PendingGroupList::growIndex() {
  // The tag may need a new block, whose places narrow cells cannot hold.
  const bool wide = mWideCells || mTextBlocks.size() + 1 >= kNarrowBlocks;
  // Doubled at four fifths full, the index stays over two fifths full: at
  // most two and a half cells, 10 bytes, per group.
  const std::size_t bucketCount =
      mBucketCount == 0 ? kSmallestIndex / kBucketCells : mBucketCount * 2;
  // A bucket starts a cache line: the cells are allocated with room to
  // align them.
  std::vector<Adesk::UInt32> grown(
      bucketCount * kBucketCells + kBucketBytes / sizeof(Adesk::UInt32), 0);
  const std::size_t misalignment =
      reinterpret_cast<std::size_t>(&grown[0]) % kBucketBytes;
  Adesk::UInt32* buckets =
      &grown[0] + (misalignment == 0
                       ? 0
                       : (kBucketBytes - misalignment) / sizeof(Adesk::UInt32));
  // The tags are read straight through the blocks rather than found one by
  // one. Their buckets lie far apart in a large index, so a batch of them is
  // fetched before any is filled, rather than waited for one at a time.
  const std::size_t kBatch = 16;
  std::size_t homes[kBatch];
  Adesk::UInt32 cells[kBatch];
  std::size_t batched = 0;
  for (std::size_t b = 0; b < mTextBlocks.size(); ++b) {
    const std::vector<ACHAR>& block = mTextBlocks[b];
    for (std::size_t start = 0; start < unitsIn(b);) {
      const ACHAR* text = &block[start];
      const std::size_t length = lengthOf(text);
      const Adesk::UInt32 hash = hashOf(text, length);
      homes[batched] = homeOf(hash, bucketCount);
      cells[batched] = cellOf(placeOf(b, start), hash, wide);
      prefetchForWrite(buckets + homes[batched] * kBucketCells);
      if (++batched == kBatch) {
        fillCells(buckets, bucketCount, homes, cells, batched);
        batched = 0;
      }
      start += length + 1;
    }
  }
  fillCells(buckets, bucketCount, homes, cells, batched);
  mIndex.swap(grown);
  mBuckets = buckets;
  mBucketCount = bucketCount;
  mWideCells = wide;
  mGrowAt = bucketCount * kBucketCells * 4 / 5;
}

AcDbObjectIdArray PendingGroupList::idsOf(std::size_t position) const {
  const std::vector<Adesk::UInt32> outcomes = stagedOutcomes();
  const Adesk::UInt32 wanted =
      position < mGroupCount
          ? placeOfGroup(position)
          : kNewGroup + static_cast<Adesk::UInt32>(position - mGroupCount);
  AcDbObjectIdArray ids;
  std::size_t i = 0;
  for (std::size_t r = 0; r < mCloneRuns.size(); ++r)
    for (std::size_t k = 0; k < mCloneRuns[r].clones; ++k, ++i)
      if (mCloneRuns[r].place == wanted) ids.append(mCloneIds[i]);
  for (std::size_t slot = 0; slot < outcomes.size(); ++slot)
    for (std::size_t k = 0; k < mStaged[slot].clones; ++k, ++i)
      if (outcomes[slot] == wanted) ids.append(mCloneIds[i]);
  return ids;
}

void PendingGroupList::drain(RetagFunction retag) {
  settle();
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
    for (std::size_t start = 0; start < taken.unitsIn(b);) {
      groupAtPlace[placeOf(b, start)] =
          static_cast<Adesk::UInt32>(texts.size());
      texts.push_back(&block[start]);
      start += lengthOf(&block[start]) + 1;
    }
  }
  // Counted first, so that each group's array is made in one allocation.
  std::vector<int> sizes(texts.size(), 0);
  for (std::size_t r = 0; r < taken.mCloneRuns.size(); ++r)
    sizes[groupAtPlace[taken.mCloneRuns[r].place]] +=
        static_cast<int>(taken.mCloneRuns[r].clones);
  std::vector<AcDbObjectIdArray> groupIds(texts.size());
  for (std::size_t group = 0; group < groupIds.size(); ++group)
    groupIds[group].setPhysicalLength(sizes[group]);
  std::deque<AcDbObjectId>::const_iterator id = taken.mCloneIds.begin();
  for (std::size_t r = 0; r < taken.mCloneRuns.size(); ++r) {
    AcDbObjectIdArray& ids = groupIds[groupAtPlace[taken.mCloneRuns[r].place]];
    for (std::size_t k = 0; k < taken.mCloneRuns[r].clones; ++k, ++id)
      ids.append(*id);
  }
  taken.mCloneIds.clear();
  taken.mCloneRuns.clear();
  for (std::size_t group = 0; group < groupIds.size(); ++group)
    retag(std::move(groupIds[group]), texts[group]);
}

void PendingGroupList::clear() {
  PendingGroupList emptied;
  swap(emptied);
}

void PendingGroupList::swap(PendingGroupList& other) {
  mCloneIds.swap(other.mCloneIds);
  mCloneRuns.swap(other.mCloneRuns);
  mTextBlocks.swap(other.mTextBlocks);
  std::swap(mGroupCount, other.mGroupCount);
  mIndex.swap(other.mIndex);
  std::swap(mBuckets, other.mBuckets);
  std::swap(mBucketCount, other.mBucketCount);
  std::swap(mWideCells, other.mWideCells);
  std::swap(mLastText, other.mLastText);
  std::swap(mStaged, other.mStaged);
  std::swap(mStagedCount, other.mStagedCount);
  mStagedText.swap(other.mStagedText);
  std::swap(mStagedUnits, other.mStagedUnits);
  std::swap(mLastBlockUnits, other.mLastBlockUnits);
  std::swap(mGrowAt, other.mGrowAt);
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

namespace {

// The list being refilled, and the drawing whose clones are left out.
PendingGroupList* gKeeping = NULL;
const AcDbDatabase* gClosing = NULL;

void keepClonesOfOpenDrawings(AcDbObjectIdArray ids, const ACHAR* tag) {
  const AcWString name(tag);
  for (int i = 0; i < ids.length(); ++i)
    if (ids[i].database() != gClosing) gKeeping->file(name, ids[i]);
}

}  // namespace

void dropClonesOf(PendingGroupList& pending, const AcDbDatabase* closing) {
  if (pending.isEmpty()) return;
  gKeeping = &pending;
  gClosing = closing;
  pending.drain(keepClonesOfOpenDrawings);
  gKeeping = NULL;
  gClosing = NULL;
}
