// The pending groups alone, without a host: first-met order and exact
// grouping against a plain list of groups searched from the front, whole tags
// of any length, and what the flush hands out and takes back.
#include <cstdint>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/host_test.h"
#include "watcher/pending_groups.h"

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
    seen.push_back({U8(list.tagAt(g)), {}});
    for (int i = 0; i < ids.length(); ++i) seen.back().second.push_back(ids[i]);
  }
  return seen;
}

Groups drain(PendingGroupList& list) {
  Groups drained;
  list.drain([&drained](AcDbObjectIdArray ids, const ACHAR* tag) {
    drained.push_back({U8(tag), {}});
    for (int i = 0; i < ids.length(); ++i)
      drained.back().second.push_back(ids[i]);
  });
  return drained;
}

// Counts of a drain: each group's tag and how many clones it held.
std::vector<std::pair<std::string, int>> drainCounts(PendingGroupList& list) {
  std::vector<std::pair<std::string, int>> counts;
  for (const auto& group : drain(list))
    counts.push_back({group.first, static_cast<int>(group.second.size())});
  return counts;
}

// Runs of one tag, of random length, drawn from a pool of tagCount tags: a
// small pool repeats tags often, a large one mostly makes new groups.
std::vector<std::string> randomTags(unsigned seed, int tagCount, int pairs,
                                    int longestRun) {
  std::mt19937 random(seed);
  std::uniform_int_distribution<int> pickTag(0, tagCount - 1);
  std::uniform_int_distribution<int> pickRun(1, longestRun);
  std::vector<std::string> tags;
  while (static_cast<int>(tags.size()) < pairs) {
    const std::string tag = "$" + std::to_string(0x4A0 + pickTag(random));
    for (int k = pickRun(random); k > 0; --k) tags.push_back(tag);
  }
  return tags;
}

TEST(PendingGroupList, HoldsWhatAPlainListOfGroupsWouldHold) {
  struct Case {
    int tags, pairs, longestRun;
  };
  for (const Case c : {Case{3, 60, 4}, Case{20, 400, 3}, Case{40, 300, 1},
                       Case{2000, 3000, 2}}) {
    for (unsigned seed = 1; seed <= 3; ++seed) {
      SCOPED_TRACE("tags " + std::to_string(c.tags) + ", seed " +
                   std::to_string(seed));
      const std::vector<std::string> tags =
          randomTags(seed, c.tags, c.pairs, c.longestRun);
      PendingGroupList list;
      Groups model;
      for (std::size_t i = 0; i < tags.size(); ++i) {
        list.file(W(tags[i]), fakeId(i));
        fileInModel(model, tags[i], fakeId(i));
      }
      EXPECT_EQ(list.cloneCount(), tags.size());
      if (c.tags <= 40) {
        EXPECT_EQ(readThrough(list), model);
      }
      EXPECT_EQ(drain(list), model);
      EXPECT_TRUE(list.isEmpty());
      EXPECT_EQ(list.groupCount(), 0u);
    }
  }
}

TEST(PendingGroupList, LongTagsStayWholeAndApart) {
  PendingGroupList list;
  const std::string huge(5000, 'h');
  const std::vector<std::string> tags = {"$a", "$" + huge, "$b",
                                         "$" + huge + "x", "$c"};
  for (int round = 0; round < 3; ++round)
    for (std::size_t t = 0; t < tags.size(); ++t)
      list.file(W(tags[t]), fakeId(round * 10 + t));
  // Enough further groups to rebuild the lookup several times over.
  for (int i = 0; i < 3000; ++i)
    list.file(W("$" + std::to_string(i)), fakeId(i));
  for (std::size_t t = 0; t < tags.size(); ++t)
    list.file(W(tags[t]), fakeId(99));

  ASSERT_EQ(list.groupCount(), tags.size() + 3000);
  for (std::size_t t = 0; t < tags.size(); ++t) {
    EXPECT_EQ(U8(list.tagAt(t)), tags[t]);
    EXPECT_EQ(list.idsOf(t).length(), 4);
  }
  const auto drained = drainCounts(list);
  EXPECT_EQ(drained[1], std::make_pair("$" + huge, 4));
  EXPECT_EQ(drained[3], std::make_pair("$" + huge + "x", 4));
  EXPECT_EQ(drained.back(), std::make_pair(std::string("$2999"), 1));
  EXPECT_TRUE(list.isEmpty());
}

TEST(PendingGroupList, ATagEndsAtItsFirstTerminatorAsTheHostsNamesDo) {
  PendingGroupList list;
  AcWString withTerminator = W("$A");
  withTerminator.push_back(0);
  withTerminator += W("rest");
  list.file(W("$A"), fakeId(1));
  list.file(withTerminator, fakeId(2));
  list.file(W("$B"), fakeId(3));
  list.file(withTerminator, fakeId(4));
  EXPECT_EQ(drainCounts(list),
            (std::vector<std::pair<std::string, int>>{{"$A", 3}, {"$B", 1}}));
}

TEST(PendingGroupList, AGroupPerCloneKeepsEveryCloneInFirstMetOrder) {
  PendingGroupList list;
  const int kGroups = 200000;
  for (int i = 0; i < kGroups; ++i) {
    // Neighbours share a tag now and then, and a tag comes back later.
    const int tag = i % 7 == 6 ? i - 1 : i;
    list.file(W("$" + std::to_string(tag)), fakeId(i));
  }
  list.file(W("$0"), fakeId(kGroups));
  const auto drained = drainCounts(list);
  ASSERT_EQ(drained.size(), static_cast<std::size_t>(kGroups - kGroups / 7));
  EXPECT_EQ(drained[0], std::make_pair(std::string("$0"), 2));
  EXPECT_EQ(drained[5], std::make_pair(std::string("$5"), 2));
  EXPECT_EQ(drained[6], std::make_pair(std::string("$7"), 1));
}

TEST(PendingGroupList, SwappingTakesEveryGroupAlong) {
  PendingGroupList list;
  Groups model;
  for (std::size_t i = 0; i < 21; ++i) {
    const std::string tag = "$" + std::to_string(i % 9);
    list.file(W(tag), fakeId(i));
    fileInModel(model, tag, fakeId(i));
  }
  PendingGroupList other;
  other.swap(list);
  EXPECT_TRUE(list.isEmpty());
  EXPECT_EQ(readThrough(list), Groups());
  // Filing goes on in the list it was swapped into; the tag filed last
  // there is the one to match, not the emptied list's.
  other.file(W("$3"), fakeId(100));
  fileInModel(model, "$3", fakeId(100));
  list.file(W("$3"), fakeId(200));
  EXPECT_EQ(readThrough(other), model);
  EXPECT_EQ(drain(list), Groups({{"$3", {fakeId(200)}}}));
  EXPECT_EQ(drain(other), model);
}

// The flush empties the list before handing out groups, so a retag that
// files again (clones of another drawing) makes groups for the next flush.
TEST(PendingGroupList, GroupsFiledAgainDuringTheFlushWaitForTheNext) {
  PendingGroupList list;
  for (std::size_t i = 0; i < 40; ++i)
    list.file(W("$" + std::to_string(i % 20)), fakeId(i));
  list.drain([&list](AcDbObjectIdArray ids, const ACHAR* tag) {
    for (int i = 1; i < ids.length(); i += 2) list.file(AcWString(tag), ids[i]);
  });
  // Each of the 20 groups had two clones; the second of each is back.
  Groups expected;
  for (std::size_t i = 20; i < 40; ++i)
    expected.push_back({"$" + std::to_string(i % 20), {fakeId(i)}});
  EXPECT_EQ(drain(list), expected);
}

}  // namespace
