// How the pending groups hold their tags and clones: tags of any length and
// a group per clone keep filing exact, and a group per clone stays small.
#include "watcher/pending_groups.h"

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "support/host_test.h"

namespace {

AcDbObjectId fakeId(std::size_t n) {
  return AcDbObjectId(reinterpret_cast<AcDbStub*>((n + 1) * 8));
}

std::vector<std::pair<std::string, int>>* gDrained = nullptr;
void record(AcDbObjectIdArray ids, const ACHAR* tag) {
  gDrained->push_back({U8(tag), ids.length()});
}

std::vector<std::pair<std::string, int>> drain(PendingGroupList& list) {
  std::vector<std::pair<std::string, int>> drained;
  gDrained = &drained;
  list.drain(record);
  gDrained = nullptr;
  return drained;
}

TEST(PendingGroupStorage, TagsLongerThanAStorageBlockStayWholeAndApart) {
  PendingGroupList list;
  const std::string huge(5000, 'h');
  const std::vector<std::string> tags = {"$a", "$" + huge, "$b",
                                         "$" + huge + "x", "$c"};
  for (int round = 0; round < 3; ++round)
    for (std::size_t t = 0; t < tags.size(); ++t)
      list.file(W(tags[t]), fakeId(round * 10 + t));
  // Enough further groups to grow the index several times over.
  for (int i = 0; i < 3000; ++i)
    list.file(W("$" + std::to_string(i)), fakeId(i));
  for (std::size_t t = 0; t < tags.size(); ++t)
    list.file(W(tags[t]), fakeId(99));

  ASSERT_EQ(list.groupCount(), tags.size() + 3000);
  for (std::size_t t = 0; t < tags.size(); ++t) {
    EXPECT_EQ(U8(list.groupAt(t).name), tags[t]);
    EXPECT_EQ(list.idsOf(t).length(), 4);
  }
  const auto drained = drain(list);
  EXPECT_EQ(drained[1], std::make_pair("$" + huge, 4));
  EXPECT_EQ(drained[3], std::make_pair("$" + huge + "x", 4));
  EXPECT_EQ(drained.back(), std::make_pair(std::string("$2999"), 1));
  EXPECT_TRUE(list.isEmpty());
}

// Past some thousands of text blocks a tag's place no longer fits beside a
// hash fragment in an index cell; the cells widen and every tag is still found.
TEST(PendingGroupStorage, TagsFillingThousandsOfBlocksAreStillFoundExactly) {
  PendingGroupList list;
  const int kTags = 4200;  // a block each
  auto tagOf = [](int i) { return "$" + std::to_string(i) + std::string(4100, 'x'); };
  for (int i = 0; i < kTags; ++i) list.file(W(tagOf(i)), fakeId(i));
  for (int i = kTags - 1; i >= 0; i -= 3) list.file(W(tagOf(i)), fakeId(i));
  ASSERT_EQ(list.groupCount(), static_cast<std::size_t>(kTags));
  const auto drained = drain(list);
  ASSERT_EQ(drained.size(), static_cast<std::size_t>(kTags));
  for (int i = 0; i < kTags; ++i) {
    const int expected = (kTags - 1 - i) % 3 == 0 ? 2 : 1;
    ASSERT_EQ(drained[i], std::make_pair(tagOf(i), expected)) << i;
  }
}

TEST(PendingGroupStorage, ATagEndsAtItsFirstTerminatorAsTheHostsNamesDo) {
  PendingGroupList list;
  AcWString withTerminator = W("$A");
  withTerminator.push_back(0);
  withTerminator += W("rest");
  list.file(W("$A"), fakeId(1));
  list.file(withTerminator, fakeId(2));
  list.file(W("$B"), fakeId(3));
  list.file(withTerminator, fakeId(4));
  EXPECT_EQ(drain(list),
            (std::vector<std::pair<std::string, int>>{{"$A", 3}, {"$B", 1}}));
}

TEST(PendingGroupStorage, AGroupPerCloneKeepsEveryCloneInFirstMetOrder) {
  PendingGroupList list;
  const int kGroups = 200000;
  for (int i = 0; i < kGroups; ++i) {
    // Neighbours share a tag now and then, and a tag comes back later.
    const int tag = i % 7 == 6 ? i - 1 : i;
    list.file(W("$" + std::to_string(tag)), fakeId(i));
  }
  list.file(W("$0"), fakeId(kGroups));
  const auto drained = drain(list);
  ASSERT_EQ(drained.size(), static_cast<std::size_t>(kGroups - kGroups / 7));
  EXPECT_EQ(drained[0], std::make_pair(std::string("$0"), 2));
  EXPECT_EQ(drained[5], std::make_pair(std::string("$5"), 2));
  EXPECT_EQ(drained[6], std::make_pair(std::string("$7"), 1));
}

// A copy of many one-object parts: every pending copy is a group of its own,
// and still holds its id, its group and a share of the index in 24 bytes
// beyond its tag's text.
TEST(PendingGroupStorage, AGroupPerCloneHoldsAPendingCopyInAtMost24Bytes) {
#if !defined(__GLIBC__) || defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "needs the C library's own heap accounting";
#else
  const int kCopies = 100000;
  std::vector<AcWString> tags;
  std::size_t textBytes = 0;
  for (int i = 0; i < kCopies; ++i) {
    tags.push_back(W("$" + std::to_string(1000000 + i)));
    textBytes += (tags.back().size() + 1) * sizeof(ACHAR);
  }
  auto heapInUse = [] { return mallinfo2().uordblks; };
  const std::size_t before = heapInUse();
  PendingGroupList list;
  for (int i = 0; i < kCopies; ++i) list.file(tags[i], fakeId(i));
  const double perCopy =
      (double(heapInUse() - before) - double(textBytes)) / kCopies;
  EXPECT_LE(perCopy, 24.0);
  RecordProperty("bytes_per_pending_copy", std::to_string(perCopy));
#endif
}

}  // namespace
