// Tags that change are looked up a batch at a time: a list read at any moment,
// or flushed, must show exactly what filing each pair at once would have
// made. Checked against a plain list of groups searched from the front.
#include "watcher/pending_groups.h"

#include <cstdint>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "support/host_test.h"

namespace {

AcDbObjectId fakeId(std::size_t n) {
  return AcDbObjectId(reinterpret_cast<AcDbStub*>((n + 1) * 8));
}

// What the list must hold: groups in first-met order, clones in filing order.
typedef std::vector<std::pair<std::string, std::vector<AcDbObjectId>>> Groups;

void fileInModel(Groups& model, const std::string& tag, AcDbObjectId id) {
  for (auto& group : model)
    if (group.first == tag) {
      group.second.push_back(id);
      return;
    }
  model.push_back({tag, {id}});
}

Groups readThrough(const PendingGroupList& list) {
  Groups seen;
  for (std::size_t g = 0; g < list.groupCount(); ++g) {
    const AcDbObjectIdArray ids = list.idsOf(g);
    seen.push_back({U8(list.groupAt(g).name), {}});
    for (int i = 0; i < ids.length(); ++i) seen.back().second.push_back(ids[i]);
  }
  return seen;
}

Groups* gDrained = nullptr;
void record(AcDbObjectIdArray ids, const ACHAR* tag) {
  gDrained->push_back({U8(tag), {}});
  for (int i = 0; i < ids.length(); ++i) gDrained->back().second.push_back(ids[i]);
}

Groups drain(PendingGroupList& list) {
  Groups drained;
  gDrained = &drained;
  list.drain(record);
  gDrained = nullptr;
  return drained;
}

// Runs of one tag, of random length, drawn from a pool of tagCount tags: a
// small pool repeats tags within a batch and across batches, a large one
// mostly makes new groups.
struct Filing {
  std::vector<std::string> tags;  // one per pair
};

Filing randomFiling(unsigned seed, int tagCount, int pairs, int longestRun) {
  std::mt19937 random(seed);
  std::uniform_int_distribution<int> pickTag(0, tagCount - 1);
  std::uniform_int_distribution<int> pickRun(1, longestRun);
  Filing filing;
  while (static_cast<int>(filing.tags.size()) < pairs) {
    const std::string tag = "$" + std::to_string(0x4A0 + pickTag(random));
    for (int k = pickRun(random); k > 0; --k) filing.tags.push_back(tag);
  }
  return filing;
}

TEST(PendingGroupBatches, ReadAtAnyMomentTheListIsWhatFilingEachPairAtOnceMakes) {
  struct Case {
    int tags, pairs, longestRun;
  };
  for (const Case c : {Case{3, 60, 4}, Case{20, 400, 3}, Case{40, 300, 1},
                       Case{2000, 3000, 2}}) {
    for (unsigned seed = 1; seed <= 3; ++seed) {
      SCOPED_TRACE("tags " + std::to_string(c.tags) + ", seed " +
                   std::to_string(seed));
      const Filing filing = randomFiling(seed, c.tags, c.pairs, c.longestRun);
      PendingGroupList list;
      Groups model;
      for (std::size_t i = 0; i < filing.tags.size(); ++i) {
        list.file(W(filing.tags[i]), fakeId(i));
        fileInModel(model, filing.tags[i], fakeId(i));
        // Reading every few pairs catches the list with part of a batch
        // looked up and part not; reading changes nothing.
        if (c.tags <= 40 && i % 7 == 3) ASSERT_EQ(readThrough(list), model);
      }
      EXPECT_EQ(list.cloneCount(), filing.tags.size());
      EXPECT_EQ(drain(list), model);
      EXPECT_TRUE(list.isEmpty());
      EXPECT_EQ(list.groupCount(), 0u);
    }
  }
}

TEST(PendingGroupBatches, SwappingOrClearingMidBatchTakesTheWholeBatchAlong) {
  PendingGroupList list;
  Groups model;
  for (std::size_t i = 0; i < 21; ++i) {  // past one batch, into the next
    const std::string tag = "$" + std::to_string(i % 9);
    list.file(W(tag), fakeId(i));
    fileInModel(model, tag, fakeId(i));
  }
  PendingGroupList other;
  other.swap(list);
  EXPECT_TRUE(list.isEmpty());
  EXPECT_EQ(readThrough(list), Groups());
  // Filing goes on in the list it was swapped into, with the batch it holds.
  other.file(W("$3"), fakeId(100));
  fileInModel(model, "$3", fakeId(100));
  list.file(W("$3"), fakeId(200));
  EXPECT_EQ(readThrough(other), model);
  EXPECT_EQ(drain(list), Groups({{"$3", {fakeId(200)}}}));
  EXPECT_EQ(drain(other), model);

  other.file(W("$A"), fakeId(1));
  other.clear();
  EXPECT_TRUE(other.isEmpty());
  EXPECT_EQ(drain(other), Groups());
}

// The flush empties the list before handing out groups, so a retag that
// files again (clones of another drawing) fills a fresh batch.
PendingGroupList* gRefiling = nullptr;
void refileEveryOther(AcDbObjectIdArray ids, const ACHAR* tag) {
  for (int i = 1; i < ids.length(); i += 2) gRefiling->file(AcWString(tag), ids[i]);
}

TEST(PendingGroupBatches, GroupsFiledAgainDuringTheFlushWaitForTheNext) {
  PendingGroupList list;
  for (std::size_t i = 0; i < 40; ++i)
    list.file(W("$" + std::to_string(i % 20)), fakeId(i));
  gRefiling = &list;
  list.drain(refileEveryOther);
  gRefiling = nullptr;
  // Each of the 20 groups had two clones; the second of each is back.
  Groups expected;
  for (std::size_t i = 20; i < 40; ++i)
    expected.push_back({"$" + std::to_string(i % 20), {fakeId(i)}});
  EXPECT_EQ(drain(list), expected);
}

}  // namespace
