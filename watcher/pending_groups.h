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
// are, and a pending clone is held as its id and its group's number only.
class PendingGroupList {
 public:
  typedef void (*RetagFunction)(AcDbObjectIdArray ids, const ACHAR* tag);

  PendingGroupList() {}

  // Appends clone to the group of tag, made at the tail if tag is new. The id
  // is not checked: null and repeated ids are filed too.
  void file(const AcWString& tag, AcDbObjectId clone);

  bool isEmpty() const { return mGroups.empty(); }
  std::size_t groupCount() const { return mGroups.size(); }
  std::size_t cloneCount() const { return mCloneIds.size(); }
  // Position 0 is the group met first.
  const PendingGroup& groupAt(std::size_t position) const {
    return mGroups[position];
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

  // One cell of the index: a group number plus one (0 for a free cell) and
  // some bits of its tag's hash, so most mismatches never touch the group.
  struct IndexCell {
    Adesk::UInt32 groupPlusOne;
    Adesk::UInt32 hashBits;
  };

  Adesk::UInt32 groupFor(const AcWString& tag);
  void growIndex();

  std::deque<PendingGroup> mGroups;
  std::deque<AcDbObjectId> mCloneIds;
  std::deque<Adesk::UInt32> mCloneGroups;  // group number of each clone
  std::vector<IndexCell> mIndex;  // open addressing, size a power of two
};

// Files one (source, clone) pair of a deep clone: if the source opens for read
// and carries a part tag, the clone joins that tag's group.
void collectClone(PendingGroupList& pending, AcDbObjectId sourceId,
                  AcDbObjectId cloneId);

// Retags every pending group (one new part each) and empties the list.
void flushPendingGroups(PendingGroupList& pending);

#endif
