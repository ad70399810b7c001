// Pending groups: the clones of a copy, gathered by the part tag of their
// sources until they are retagged together, one new part per group.
#ifndef WATCHER_PENDING_GROUPS_H
#define WATCHER_PENDING_GROUPS_H

#include <cstddef>
#include <deque>
#include <vector>

#include "host/api/host_api.h"

// One group: the source part tag its clones were copied from, kept whole.
struct PendingGroup {
  explicit PendingGroup(const AcWString& tag) : name(tag) {}
  AcWString name;
};

// Groups in the order their tags were first met, one per exact tag, each made
// with its first clone. Filing costs about the same however many groups there
// are. Pending clones are held as their ids and runs of one tag's place; a
// group as its tag's text in shared blocks, in the order the groups were made,
// and a cell or two of the index: a copy of many one-object parts, a group per
// clone, costs little more than a copy of large parts. A tag that differs from
// the one filed before is looked up with the next few such tags, as a batch,
// so that their reads of a large index overlap instead of waiting in turn;
// every reader sees the list as if each tag had been looked up at once.
class PendingGroupList {
 public:
  typedef void (*RetagFunction)(AcDbObjectIdArray ids, const ACHAR* tag);

  PendingGroupList()
      : mLastBlockUnits(0),
        mGroupCount(0),
        mBuckets(NULL),
        mBucketCount(0),
        mGrowAt(0),
        mWideCells(false),
        mLastText(NULL),
        mStaged(),
        mStagedCount(0),
        mStagedUnits(0) {}

  // Appends clone to the group of tag, made at the tail if tag is new. The id
  // is not checked: null and repeated ids are filed too. Like every name of
  // the host's, a tag ends at its first terminator.
  void file(const AcWString& tag, AcDbObjectId clone);

  // A group is never empty, so there are clones exactly when there are
  // groups.
  bool isEmpty() const { return mCloneIds.empty(); }
  std::size_t groupCount() const;
  std::size_t cloneCount() const { return mCloneIds.size(); }
  // Position 0 is the group met first. This and idsOf walk the list: they are
  // for inspection, not for the flush.
  PendingGroup groupAt(std::size_t position) const;
  // The clones of the group at position, in filing order.
  AcDbObjectIdArray idsOf(std::size_t position) const;

  // Empties the list first, then hands each group, in order, to retag with
  // its clones in filing order. Groups filed by retag itself stay pending.
  void drain(RetagFunction retag);
  void clear();
  void swap(PendingGroupList& other);

 private:
  PendingGroupList(const PendingGroupList&);
  PendingGroupList& operator=(const PendingGroupList&);

  // Copies a tag that differs from the last one filed into the batch and
  // fetches its bucket; the batch is looked up first if it is full.
  void stage(const ACHAR* tag, std::size_t length);
  // Looks up the batch, in the order its tags were met, and makes the runs
  // of its clones.
  void settle();
  // What each tag of the batch would come to, looked up now: the place of
  // its tag if the group exists, else kNewGroup plus the number of the new
  // group among those the batch makes. For readers, who change nothing.
  std::vector<Adesk::UInt32> stagedOutcomes() const;
  const ACHAR* stagedText(std::size_t slot) const {
    return &mStagedText[mStaged[slot].start];
  }
  // The place of an existing tag's text; else false and, if freeCell is
  // given, the cell a new tag with this hash goes into.
  bool findPlace(const ACHAR* tag, std::size_t length, Adesk::UInt32 hash,
                 Adesk::UInt32& place, Adesk::UInt32** freeCell = NULL) const;
  // The place of tag's text, stored there if tag is new; false when no more
  // groups can be held (see storeTag).
  bool placeFor(const ACHAR* tag, std::size_t length, Adesk::UInt32 hash,
                Adesk::UInt32& place);
  // Copies tag, with a terminator, into the text blocks; false when the
  // blocks can be numbered no further (billions of units of tags pending).
  bool storeTag(const ACHAR* tag, std::size_t length, Adesk::UInt32& place);
  const ACHAR* textAt(Adesk::UInt32 place) const;
  Adesk::UInt32 placeOfGroup(std::size_t position) const;
  // Doubles the index, with wide cells once places may pass narrow ones.
  void growIndex();
  std::size_t unitsIn(std::size_t block) const {
    return block + 1 == mTextBlocks.size() ? mLastBlockUnits
                                           : mTextBlocks[block].size();
  }

  std::deque<AcDbObjectId> mCloneIds;
  // The clones, in filing order, in runs filed one after another under one
  // tag: a copy of whole parts brings each part's clones together.
  struct CloneRun {
    Adesk::UInt32 place;   // of the tag
    Adesk::UInt32 clones;  // how many
  };
  std::deque<CloneRun> mCloneRuns;
  // The tags, each whole and ended by a terminator, in the order their groups
  // were made, in blocks that never move; a tag never spans two blocks. A
  // place is a block number and an offset in the block.
  std::vector<std::vector<ACHAR> > mTextBlocks;
  std::size_t mLastBlockUnits;  // used of the last block, made at full size
  std::size_t mGroupCount;
  // Open addressing by the tag's hash, in buckets of 16 cells a cache line
  // each; a cell holds the place of the tag plus one (0: free) and, while
  // places fit in 24 bits, 8 bits of the hash so that most mismatches never
  // touch a tag. Kept between two fifths and four fifths full, so a group
  // costs 5 to 10 bytes of index.
  std::vector<Adesk::UInt32> mIndex;  // the buckets and room to align them
  Adesk::UInt32* mBuckets;            // in mIndex, at a cache line
  std::size_t mBucketCount;
  std::size_t mGrowAt;  // the group count that calls for a larger index
  bool mWideCells;      // cells hold places alone
  // The tag filed last: the pairs of one part mostly come one after another,
  // and the next one is then filed without a lookup.
  const ACHAR* mLastText;  // null when none; in mStagedText while staged
  // The batch: tags not yet looked up, each copied whole into mStagedText,
  // each with the run of clones filed under it, the last clones of
  // mCloneIds, which are in no run of mCloneRuns yet.
  struct StagedTag {
    std::size_t start;  // in mStagedText
    std::size_t length;
    Adesk::UInt32 hash;
    Adesk::UInt32 clones;
  };
  static const std::size_t kBatchTags = 16;
  StagedTag mStaged[kBatchTags];
  std::size_t mStagedCount;
  std::vector<ACHAR> mStagedText;  // its size is room; mStagedUnits are used
  std::size_t mStagedUnits;
};

// Files one (source, clone) pair of a deep clone: if the source opens for read
// and carries a part tag, the clone joins that tag's group.
void collectClone(PendingGroupList& pending, AcDbObjectId sourceId,
                  AcDbObjectId cloneId);

// Retags every pending group (one new part each) and empties the list.
void flushPendingGroups(PendingGroupList& pending);

// Forgets the pending clones of a drawing that is closing, without opening
// them: they can never be retagged, and their ids are about to name nothing.
// The other clones keep their groups and order.
void dropClonesOf(PendingGroupList& pending, const AcDbDatabase* closing);

#endif
