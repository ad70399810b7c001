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
// are. A pending clone is held as its id and its group's number; a group as
// its tag's text in shared blocks, where that text is, and a cell or two of
// the index: a copy of many one-object parts, a group per clone, costs
// little more than a copy of large parts.
class PendingGroupList {
 public:
  typedef void (*RetagFunction)(AcDbObjectIdArray ids, const ACHAR* tag);

  PendingGroupList() : mWideCells(false), mLastText(NULL), mLastGroup(0) {}

  // Appends clone to the group of tag, made at the tail if tag is new. The id
  // is not checked: null and repeated ids are filed too. Like every name of
  // the host's, a tag ends at its first terminator.
  void file(const AcWString& tag, AcDbObjectId clone);

  bool isEmpty() const { return mTagPlaces.empty(); }
  std::size_t groupCount() const { return mTagPlaces.size(); }
  std::size_t cloneCount() const { return mCloneIds.size(); }
  // Position 0 is the group met first.
  PendingGroup groupAt(std::size_t position) const {
    return PendingGroup(AcWString(tagText(position)));
  }
  // The clones of the group at position, in filing order (a walk of every
  // pending clone: for inspection, not for the flush).
  AcDbObjectIdArray idsOf(std::size_t position) const;

  // Empties the list first, then hands each group, in order, to retag with
  // its clones in filing order. Groups filed by retag itself stay pending.
  void drain(RetagFunction retag);
  void clear();
  void swap(PendingGroupList& other);

 private:
  PendingGroupList(const PendingGroupList&);
  PendingGroupList& operator=(const PendingGroupList&);

  // False when no more groups can be held (see storeTag).
  bool groupFor(const ACHAR* tag, std::size_t length, Adesk::UInt32& group);
  // Copies tag, with a terminator, into the text blocks; false when the
  // blocks can be numbered no further (billions of units of tags pending).
  bool storeTag(const ACHAR* tag, std::size_t length, Adesk::UInt32& place);
  const ACHAR* tagText(std::size_t group) const;
  void growIndex(bool wide);

  std::deque<AcDbObjectId> mCloneIds;
  std::deque<Adesk::UInt32> mCloneGroups;  // group number of each clone
  // The tags, each whole and ended by a terminator, in blocks that never
  // move; a tag never spans two blocks.
  std::vector<std::vector<ACHAR> > mTextBlocks;
  std::deque<Adesk::UInt32> mTagPlaces;  // per group: block and offset
  // Open addressing by the tag's hash; a cell holds the group number plus
  // one (0: free) and, while numbers fit in 24 bits, 8 bits of the hash so
  // that most mismatches never touch a tag. Kept between a little over one
  // half and three quarters full, so a group costs 5 to 8 bytes of index.
  std::vector<Adesk::UInt32> mIndex;
  bool mWideCells;  // cells hold numbers alone
  // The group filed last: the pairs of one part mostly come one after
  // another, and the next one is then filed without a lookup.
  const ACHAR* mLastText;  // null when none
  Adesk::UInt32 mLastGroup;
};

// Files one (source, clone) pair of a deep clone: if the source opens for read
// and carries a part tag, the clone joins that tag's group.
void collectClone(PendingGroupList& pending, AcDbObjectId sourceId,
                  AcDbObjectId cloneId);

// Retags every pending group (one new part each) and empties the list.
void flushPendingGroups(PendingGroupList& pending);

#endif
