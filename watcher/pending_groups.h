// Pending groups: the clones of a copy, gathered by the part tag of their
// sources until they are retagged together, one new part per group.
#ifndef WATCHER_PENDING_GROUPS_H
#define WATCHER_PENDING_GROUPS_H

#include <cstddef>
#include <utility>
#include <vector>

#include "host/api/host_api.h"
#include "identity/wide_string.h"

// Groups in the order their tags were first met, one per exact tag, each made
// with its first clone; the clones of a group in filing order.
class PendingGroupList {
 public:
  PendingGroupList() : lastGroup_(kNoGroup) {}

  // Appends clone to the group of tag, made at the tail if tag is new. The id
  // is not checked: null and repeated ids are filed too. Like every name of
  // the host's, a tag ends at its first terminator.
  void file(const AcWString& tag, AcDbObjectId clone);

  bool isEmpty() const { return cloneIds_.empty(); }
  std::size_t groupCount() const { return tagStarts_.size(); }
  std::size_t cloneCount() const { return cloneIds_.size(); }
  // Position 0 is the group met first.
  AcWString tagAt(std::size_t position) const {
    return AcWString(tagText(position));
  }
  // The clones of the group at position, in filing order. Walks every
  // pending clone: for inspection, not for the flush.
  AcDbObjectIdArray idsOf(std::size_t position) const;

  // Empties the list first, then hands each group, in order, to
  // retag(AcDbObjectIdArray ids, const ACHAR* tag), its clones in filing
  // order. Groups that retag itself files stay pending.
  template <typename Retag>
  void drain(Retag&& retag) {
    PendingGroupList taken;
    taken.swap(*this);
    std::vector<AcDbObjectIdArray> groups;
    taken.takeGroups(groups);
    for (std::size_t g = 0; g < groups.size(); ++g)
      retag(std::move(groups[g]), taken.tagText(g));
  }
  void swap(PendingGroupList& other);

 private:
  PendingGroupList(const PendingGroupList&);
  PendingGroupList& operator=(const PendingGroupList&);

  static const Adesk::UInt32 kNoGroup = 0xFFFFFFFFu;

  const ACHAR* tagText(std::size_t group) const {
    return &tagUnits_[tagStarts_[group]];
  }
  bool hasTag(Adesk::UInt32 group, const ACHAR* tag, std::size_t length) const;
  // The number of tag's group, made if tag is new.
  Adesk::UInt32 groupFor(const ACHAR* tag, std::size_t length);
  void rebuildSlots(std::size_t slotCount);
  // Moves every clone into its group's array, each array made in one
  // allocation, and leaves no clone filed.
  void takeGroups(std::vector<AcDbObjectIdArray>& groups);

  // One entry per pending clone, in filing order: its id and its group's
  // number. Two flat arrays rather than an array per group, which would cost
  // an allocation and spare capacity for every group of a copy of many
  // one-object parts.
  std::vector<AcDbObjectId> cloneIds_;
  std::vector<Adesk::UInt32> groupOfClone_;
  // Every group's tag, ended by a terminator, one after another in the order
  // the groups were made, so a group costs no string object of its own.
  std::vector<ACHAR> tagUnits_;
  std::vector<std::size_t> tagStarts_;
  // Open addressing from a tag's hash to its group number plus one (0 is
  // free), at most half full. The standard hash map would allocate a node
  // and copy the tag for each group.
  std::vector<Adesk::UInt32> slots_;
  // The pairs of one part mostly come one after another: the group filed
  // last is tried before the lookup.
  Adesk::UInt32 lastGroup_;
};

// Files one (source, clone) pair of a deep clone: if the source opens for read
// and carries a part tag, the clone joins that tag's group.
void collectClone(PendingGroupList& pending, AcDbObjectId sourceId,
                  AcDbObjectId cloneId);

// Retags every pending group (one new part each) and empties the list. Clones
// of another drawing than the working one are filed again, to wait for a
// flush while their drawing is the working one.
void flushPendingGroups(PendingGroupList& pending);

// Forgets the pending clones of a drawing that is closing, without opening
// them: they can never be retagged, and their ids are about to name nothing.
// The other clones keep their groups and order.
void dropClonesOf(PendingGroupList& pending, const AcDbDatabase* closing);

#endif
