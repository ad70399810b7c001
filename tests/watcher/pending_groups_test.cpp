// Pending groups: filing by source tag, first-met order, and many groups.
#include "watcher/pending_groups.h"

#include "tests/support/host_test.h"

namespace {

class PendingGroupsTest : public HostTest {
 protected:
  AcDbObjectId taggedSource(const std::string& tag) {
    AcDbObjectId id = add("LINE");
    if (!tag.empty()) host().setXData(id, tag, {xd::text("data")});
    return id;
  }
  static std::vector<AcDbObjectId> ids(const AcDbObjectIdArray& array) {
    return std::vector<AcDbObjectId>(array.asArrayPtr(),
                                     array.asArrayPtr() + array.length());
  }
  PendingGroupList pending;
};

TEST_F(PendingGroupsTest, PairsAreGroupedBySourceTagInFirstMetOrder) {
  std::vector<AcDbObjectId> sources = {taggedSource("$B"), taggedSource("$A"),
                                       taggedSource(""), taggedSource("$B"),
                                       taggedSource("$A")};
  sim::Created created = host().deepClone(sources);
  ASSERT_EQ(created.size(), 5u);
  // The tag is read from the source, never from the clone.
  host().setXData(created[1].second, "$A", {});
  // A source that another reader holds open is only read, so it still
  // counts.
  AcDbObject* reader = nullptr;
  ASSERT_EQ(acdbOpenAcDbObject(reader, sources[1], AcDb::kForRead), Acad::eOk);
  for (const sim::CreatedPair& pair : created)
    collectClone(pending, pair.first, pair.second);
  EXPECT_EQ(reader->close(), Acad::eOk);
  // Sources that will not open file nothing: no id, or erased since.
  collectClone(pending, AcDbObjectId(), created[0].second);
  ASSERT_EQ(host().erase(sources[0]), Acad::eOk);
  collectClone(pending, sources[0], created[0].second);

  ASSERT_EQ(pending.groupCount(), 2u);
  EXPECT_EQ(U8(pending.tagAt(0)), "$B");
  EXPECT_EQ(U8(pending.tagAt(1)), "$A");
  EXPECT_EQ(ids(pending.idsOf(0)),
            (std::vector<AcDbObjectId>{created[0].second, created[3].second}));
  EXPECT_EQ(ids(pending.idsOf(1)),
            (std::vector<AcDbObjectId>{created[1].second, created[4].second}));
  EXPECT_EQ(host().openObjectCount(), 0);
}

TEST_F(PendingGroupsTest, SeveralDeepClonesOfOneTagMakeOnePart) {
  AcDbObjectId source = taggedSource("$10");
  std::vector<AcDbObjectId> clones;
  for (int round = 0; round < 3; ++round)
    for (const sim::CreatedPair& pair : host().deepClone({source})) {
      collectClone(pending, pair.first, pair.second);
      clones.push_back(pair.second);
    }
  ASSERT_EQ(pending.groupCount(), 1u);
  flushPendingGroups(pending);

  EXPECT_TRUE(pending.isEmpty());
  const std::string tag = "$" + host().handleText(clones[0]);
  for (AcDbObjectId clone : clones)
    EXPECT_EQ(xdataApps(clone), std::vector<std::string>{tag});
  EXPECT_EQ(xdataApps(source), std::vector<std::string>{"$10"});
  ASSERT_EQ(parts("main").records.size(), 1u);
}

TEST_F(PendingGroupsTest, AnEmptyFlushCallsNothing) {
  host().resetCounters();
  flushPendingGroups(pending);
  long calls = 0;
  for (const auto& [operation, count] : host().callCounts()) calls += count;
  EXPECT_EQ(calls, 0);
  EXPECT_FALSE(parts("main").present);
}

// Unchecked ids, long tags and many groups, without a host in the way.
TEST(PendingGroupList, KeepsEveryFiledIdAndTagOfManyGroups) {
  PendingGroupList list;
  const int kTags = 5000;
  auto tagOf = [](int i) {
    return W(i == 7 ? "$" + std::string(100, 'x') + "7"
                    : "$" + std::to_string(i));
  };
  for (int round = 0; round < 3; ++round)
    for (int i = kTags - 1; i >= 0; --i)
      list.file(tagOf(i),
                AcDbObjectId(reinterpret_cast<AcDbStub*>(
                    static_cast<std::uintptr_t>(round * kTags + i + 1))));
  list.file(tagOf(42), AcDbObjectId());
  list.file(tagOf(42), AcDbObjectId());

  ASSERT_EQ(list.groupCount(), static_cast<std::size_t>(kTags));
  ASSERT_EQ(list.cloneCount(), static_cast<std::size_t>(3 * kTags + 2));
  // Tag 7 is the long one, 42 the one filed twice more with null ids.
  for (int i : {0, 7, 42, 499, 2500, kTags - 1}) {
    std::size_t position = static_cast<std::size_t>(kTags - 1 - i);
    EXPECT_EQ(list.tagAt(position), tagOf(i));
    AcDbObjectIdArray ids = list.idsOf(position);
    ASSERT_EQ(ids.length(), i == 42 ? 5 : 3);
    for (int round = 0; round < 3; ++round)
      EXPECT_EQ(reinterpret_cast<std::uintptr_t>(ids[round].stub()),
                static_cast<std::uintptr_t>(round * kTags + i + 1));
  }
  EXPECT_TRUE(list.idsOf(kTags - 1 - 42)[4].isNull());

  std::vector<std::pair<std::string, int>> drained;
  list.drain([&drained](AcDbObjectIdArray group, const ACHAR* tag) {
    drained.push_back({U8(tag), group.length()});
  });
  EXPECT_TRUE(list.isEmpty());
  ASSERT_EQ(drained.size(), static_cast<std::size_t>(kTags));
  EXPECT_EQ(drained.front(), std::make_pair(U8(tagOf(kTags - 1)), 3));
  EXPECT_EQ(drained[kTags - 1 - 7].first, U8(tagOf(7)));
}

}  // namespace
