// A copy of a whole drawing files hundreds of thousands of pairs, so a tag is
// found through a hash of the tags rather than a walk of the groups, and a
// group's array of ids is made only at the flush, once its size is known.
#include "watcher/pending_groups.h"

#include <string>

#include "identity/entry_guard.h"
#include "identity/part_tag.h"
#include "identity/retag_clones.h"

namespace {

Adesk::UInt32 hashOf(const ACHAR* tag, std::size_t length) {
  Adesk::UInt32 hash = 2166136261u;
  for (std::size_t i = 0; i < length; ++i)
    hash = (hash ^ static_cast<Adesk::UInt32>(tag[i])) * 16777619u;
  return hash;
}

}  // namespace

void PendingGroupList::file(const AcWString& tag, AcDbObjectId clone) {
  // A tag is a name of the host's, which ends at its first terminator.
  const std::size_t length = std::char_traits<ACHAR>::length(tag.c_str());
  if (lastGroup_ == kNoGroup || !hasTag(lastGroup_, tag.c_str(), length))
    lastGroup_ = groupFor(tag.c_str(), length);
  cloneIds_.push_back(clone);
  groupOfClone_.push_back(lastGroup_);
}

bool PendingGroupList::hasTag(Adesk::UInt32 group, const ACHAR* tag,
                              std::size_t length) const {
  const std::size_t start = tagStarts_[group];
  const std::size_t end =
      group + 1 < tagStarts_.size() ? tagStarts_[group + 1] : tagUnits_.size();
  return end - start == length + 1 &&
         std::char_traits<ACHAR>::compare(&tagUnits_[start], tag, length) == 0;
}

Adesk::UInt32 PendingGroupList::groupFor(const ACHAR* tag, std::size_t length) {
  if (2 * (tagStarts_.size() + 1) > slots_.size())
    rebuildSlots(slots_.empty() ? 64 : 2 * slots_.size());
  const std::size_t mask = slots_.size() - 1;
  std::size_t slot = hashOf(tag, length) & mask;
  for (; slots_[slot] != 0; slot = (slot + 1) & mask)
    if (hasTag(slots_[slot] - 1, tag, length)) return slots_[slot] - 1;
  const Adesk::UInt32 group = static_cast<Adesk::UInt32>(tagStarts_.size());
  slots_[slot] = group + 1;
  tagStarts_.push_back(tagUnits_.size());
  tagUnits_.insert(tagUnits_.end(), tag, tag + length);
  tagUnits_.push_back(0);
  return group;
}

void PendingGroupList::rebuildSlots(std::size_t slotCount) {
  std::vector<Adesk::UInt32>(slotCount, 0).swap(slots_);
  const std::size_t mask = slotCount - 1;
  for (std::size_t group = 0; group < tagStarts_.size(); ++group) {
    const ACHAR* text = tagText(group);
    std::size_t slot =
        hashOf(text, std::char_traits<ACHAR>::length(text)) & mask;
    while (slots_[slot] != 0) slot = (slot + 1) & mask;
    slots_[slot] = static_cast<Adesk::UInt32>(group + 1);
  }
}

AcDbObjectIdArray PendingGroupList::idsOf(std::size_t position) const {
  AcDbObjectIdArray ids;
  for (std::size_t i = 0; i < cloneIds_.size(); ++i)
    if (groupOfClone_[i] == position) ids.append(cloneIds_[i]);
  return ids;
}

void PendingGroupList::takeGroups(std::vector<AcDbObjectIdArray>& groups) {
  std::vector<int> sizes(tagStarts_.size(), 0);
  for (std::size_t i = 0; i < groupOfClone_.size(); ++i)
    ++sizes[groupOfClone_[i]];
  groups.resize(tagStarts_.size());
  for (std::size_t g = 0; g < groups.size(); ++g)
    groups[g].setPhysicalLength(sizes[g]);
  for (std::size_t i = 0; i < cloneIds_.size(); ++i)
    groups[groupOfClone_[i]].append(cloneIds_[i]);
  std::vector<AcDbObjectId>().swap(cloneIds_);
  std::vector<Adesk::UInt32>().swap(groupOfClone_);
}

void PendingGroupList::swap(PendingGroupList& other) {
  cloneIds_.swap(other.cloneIds_);
  groupOfClone_.swap(other.groupOfClone_);
  tagUnits_.swap(other.tagUnits_);
  tagStarts_.swap(other.tagStarts_);
  slots_.swap(other.slots_);
  std::swap(lastGroup_, other.lastGroup_);
}

void collectClone(PendingGroupList& pending, AcDbObjectId sourceId,
                  AcDbObjectId cloneId) {
  AcDbObject* source = NULL;
  if (acdbOpenAcDbObject(source, sourceId, AcDb::kForRead) != Acad::eOk ||
      source == NULL)
    return;
  ClosedOnExit closed(source);
  AcWString tag = partTagOf(source);
  closed.close();
  if (!tag.empty()) pending.file(tag, cloneId);
}

namespace {

// Clones of another drawing than the working one go back into the list being
// flushed: their part can only be made while their drawing is the working
// one, at a later flush there.
struct RetagInWorkingDrawing {
  void operator()(AcDbObjectIdArray ids, const ACHAR* tag) {
    AcDbObjectIdArray elsewhere;
    retagClones(std::move(ids), tag, &elsewhere);
    if (elsewhere.isEmpty()) return;
    const AcWString name(tag);
    for (int i = 0; i < elsewhere.length(); ++i)
      pending.file(name, elsewhere[i]);
  }
  PendingGroupList& pending;
};

// Refiles the clones of every drawing but the closing one.
struct KeepClonesOfOpenDrawings {
  void operator()(AcDbObjectIdArray ids, const ACHAR* tag) {
    const AcWString name(tag);
    for (int i = 0; i < ids.length(); ++i)
      if (ids[i].database() != closing) pending.file(name, ids[i]);
  }
  PendingGroupList& pending;
  const AcDbDatabase* closing;
};

}  // namespace

void flushPendingGroups(PendingGroupList& pending) {
  RetagInWorkingDrawing retag = {pending};
  pending.drain(retag);
}

void dropClonesOf(PendingGroupList& pending, const AcDbDatabase* closing) {
  if (pending.isEmpty()) return;
  KeepClonesOfOpenDrawings keep = {pending, closing};
  pending.drain(keep);
}
