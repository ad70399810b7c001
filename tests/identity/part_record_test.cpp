// recordPart: the part dictionary and its records, and what a failing host
// call leaves behind.
#include "identity/part_record.h"

#include "tests/identity/fault_sweep.h"
#include "tests/support/host_test.h"

namespace {

class PartRecordTest : public HostTest {
 protected:
  // The record items a complete record of these members holds.
  sim::Items expectedItems(const std::vector<AcDbObjectId>& members) {
    sim::Items items{{102, std::string("{MORVAT_PART")}};
    for (AcDbObjectId id : members)
      items.push_back({330, host().handleText(id)});
    items.push_back({102, std::string("}")});
    return items;
  }
  // The record of tag in the current drawing; false when there is none.
  bool recordOf(const std::string& tag, sim::Items& items) {
    for (const cadsim::PartRecord& record :
         parts(host().currentDrawingName()).records)
      if (record.tag == tag) {
        items = record.items;
        return true;
      }
    return false;
  }
  static AcDbObjectIdArray array(const std::vector<AcDbObjectId>& ids) {
    AcDbObjectIdArray result;
    for (AcDbObjectId id : ids) result.append(id);
    return result;
  }
};

TEST_F(PartRecordTest, FirstUseMakesTheDictionaryAndTheRecordOnce) {
  AcDbObjectId a = add("LINE"), b = add("CIRCLE"), c = add("ARC");
  ASSERT_TRUE(recordPart(host().currentDrawing(), W("$2A3F").c_str(),
                         array({a, b, c})));

  sim::DrawingInfo info = host().drawingInfo("main");
  EXPECT_TRUE(parts("main").present);
  EXPECT_NE(std::find(info.namedObjects.begin(), info.namedObjects.end(),
                      std::make_pair(std::string("PVNR_HANDLE"),
                                     std::string("DICTIONARY"))),
            info.namedObjects.end());
  sim::Items items;
  ASSERT_TRUE(recordOf("$2A3F", items));
  EXPECT_EQ(items, expectedItems({a, b, c}));

  // A second call finds the record and leaves it as it was.
  EXPECT_TRUE(
      recordPart(host().currentDrawing(), W("$2A3F").c_str(), array({c})));
  ASSERT_TRUE(recordOf("$2A3F", items));
  EXPECT_EQ(items, expectedItems({a, b, c}));
  EXPECT_EQ(parts("main").records.size(), 1u);
  EXPECT_TRUE(host().commandLine().empty());
}

// One pass per part: the named-objects dictionary opened once, the part
// dictionary and the tag looked up once each, whether the record is made or
// found, and the working drawing never asked for again.
TEST_F(PartRecordTest, APartCostsOnePassOverTheDictionaries) {
  ASSERT_TRUE(recordPart(host().currentDrawing(), W("$1").c_str(),
                         array({add("LINE")})));
  const AcDbObjectId member = add("LINE");
  struct Row {
    const char* tag;
    std::map<std::string, long> calls;
  } rows[] = {
      {"$2",
       {{"getNamedObjectsDictionary", 1},
        {"dictionaryGetAt", 2},
        {"dictionarySetAt", 1},
        {"setFromRbChain", 1},
        {"close", 3},
        {"buildList", 3},
        {"getAdsName", 1}}},
      {"$2",
       {{"getNamedObjectsDictionary", 1},
        {"dictionaryGetAt", 2},
        {"close", 3}}},
  };
  for (const Row& row : rows) {
    host().resetCounters();
    ASSERT_TRUE(recordPart(host().currentDrawing(), W(row.tag).c_str(),
                           array({member})));
    EXPECT_EQ(host().callCounts(), row.calls) << row.tag;
  }
}

TEST_F(PartRecordTest, MembersWithoutAnEntityNameAreLeftOutRepeatsStay) {
  AcDbObjectId a = add("LINE"), b = add("LINE");
  ASSERT_TRUE(recordPart(host().currentDrawing(), W("$7").c_str(),
                         array({a, AcDbObjectId(), b, a})));
  sim::Items items;
  ASSERT_TRUE(recordOf("$7", items));
  EXPECT_EQ(items, expectedItems({a, b, a}));

  ASSERT_TRUE(recordPart(host().currentDrawing(), W("$8").c_str(),
                         AcDbObjectIdArray()));
  ASSERT_TRUE(recordOf("$8", items));
  EXPECT_EQ(items, expectedItems({}));
}

TEST_F(PartRecordTest, AnEntryThatIsNotADictionaryIsReportedNotOverwritten) {
  AcDbDictionary* named = nullptr;
  ASSERT_EQ(db()->getNamedObjectsDictionary(named, AcDb::kForWrite), Acad::eOk);
  AcDbObjectId squatterId;
  AcDbXrecord* squatter = new AcDbXrecord;
  ASSERT_EQ(named->setAt(W("PVNR_HANDLE").c_str(), squatter, squatterId),
            Acad::eOk);
  squatter->close();
  named->close();

  EXPECT_FALSE(recordPart(host().currentDrawing(), W("$9").c_str(),
                          array({add("LINE")})));
  EXPECT_EQ(host().commandLine(),
            std::vector<std::string>{
                "Failed: AcDbDictionary::getAt(eNotThatKindOfClass)."});
  EXPECT_FALSE(parts("main").present);
  EXPECT_TRUE(parts("main").records.empty());
}

// Every host call recordPart makes fails in turn: the record is whole or
// absent, and a false result comes with exactly one line naming the failure.
TEST_F(PartRecordTest, AFailingHostCallLeavesTheRecordWholeOrAbsent) {
  std::vector<AcDbObjectId> members;
  bool result = false;
  int drawingNumber = 0;
  long faulted = sweepEachOperation(
      host(),
      [&] {
        host().useDrawing("run" + std::to_string(++drawingNumber));
        members = {add("LINE"), add("TEXT")};
        host().clearCommandLine();
        result = recordPart(host().currentDrawing(), W("$5").c_str(),
                            array(members));
      },
      [&](const sim::SweepRun& run) {
        sim::Items items;
        bool present = recordOf("$5", items);
        EXPECT_EQ(present, result);
        EXPECT_EQ(host().commandLine().size(), result ? 0u : 1u);
        if (!present) return;
        sim::Items whole = expectedItems(members);
        if (run.operation != "getAdsName") {
          EXPECT_EQ(items, whole);
          return;
        }
        // A member the host gives no entity name for is left out.
        ASSERT_GE(items.size(), 2u);
        EXPECT_EQ(items.front(), whole.front());
        EXPECT_EQ(items.back(), whole.back());
        EXPECT_TRUE(isSubsequence(
            sim::Items(items.begin() + 1, items.end() - 1), whole));
      });
  EXPECT_GT(faulted, 10);

  // With no working drawing to write to, the line names what failed.
  host().clearCommandLine();
  EXPECT_FALSE(recordPart(nullptr, W("$5").c_str(), array(members)));
  EXPECT_EQ(host().commandLine(),
            std::vector<std::string>{"Failed: AcDbHostApplicationServices"
                                     "::workingDatabase(eNoDatabase)."});
}

}  // namespace
