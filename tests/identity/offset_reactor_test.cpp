// AsdkDbReactor: what it takes off entities appended while it is attached.
#include "identity/offset_reactor.h"

#include "tests/support/host_test.h"

namespace {

class OffsetReactorTest : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    ASSERT_EQ(db()->addReactor(&reactor), Acad::eOk);
  }
  void TearDown() override {
    EXPECT_EQ(db()->removeReactor(&reactor), Acad::eOk);
    HostTest::TearDown();
  }
  // The copy that an OFFSET-style append makes of source.
  AcDbObjectId appendedCopyOf(AcDbObjectId source) {
    sim::Created created = host().appendCopies({source});
    EXPECT_EQ(created.size(), 1u);
    return created.empty() ? AcDbObjectId() : created[0].second;
  }
  AsdkDbReactor reactor;
};

TEST_F(OffsetReactorTest, AnAppendedEntityLosesItsTagAndKeepsTheRest) {
  AcDbObjectId source = add("LINE");
  host().setXData(source, "$10", {xd::text("pipe")});
  host().setXData(source, "ACAD", {xd::int16(1)});
  host().setXData(source, "$20", {xd::text("other part")});

  AcDbObjectId copy = appendedCopyOf(source);
  EXPECT_EQ(xdataApps(copy), (std::vector<std::string>{"ACAD", "$20"}));
  EXPECT_EQ(xdataItems(copy, "$20"), sim::Items{xd::text("other part")});
  EXPECT_EQ(xdataApps(source),
            (std::vector<std::string>{"$10", "ACAD", "$20"}));
  // The host, not the reactor, closes the appended object.
  EXPECT_EQ(host().openObjectCount(), 0);
}

TEST_F(OffsetReactorTest, NonEntitiesAndUntaggedEntitiesAreLeftAlone) {
  AcDbObjectId plain = add("CIRCLE");
  host().setXData(plain, "ACAD", {xd::int16(1)});
  EXPECT_EQ(xdataApps(appendedCopyOf(plain)), std::vector<std::string>{"ACAD"});

  // The host appends no tagged non-entity by itself, so hand one over.
  AcDbObjectId dictionaryId = add("DICTIONARY");
  host().setXData(dictionaryId, "$10", {xd::text("kept")});
  AcDbObject* dictionary = nullptr;
  ASSERT_EQ(acdbOpenAcDbObject(dictionary, dictionaryId, AcDb::kForWrite),
            Acad::eOk);
  reactor.objectAppended(db(), dictionary);
  EXPECT_EQ(dictionary->close(), Acad::eOk);
  EXPECT_EQ(xdataApps(dictionaryId), std::vector<std::string>{"$10"});
}

TEST_F(OffsetReactorTest, AnEntityThatCannotBeWrittenKeepsItsTagUntouched) {
  // upgradeOpen failing leaves the object open for read: writing it then
  // would be a write without a write open.
  AcDbObjectId source = add("LINE");
  host().setXData(source, "$10", {xd::text("pipe")});
  sim::FaultSpec fault;
  fault.operation = "upgradeOpen";
  host().armFault(fault);
  AcDbObjectId copy = appendedCopyOf(source);
  EXPECT_EQ(host().faultsInjected(), 1);
  EXPECT_EQ(xdataItems(copy, "$10"), sim::Items{xd::text("pipe")});
  EXPECT_EQ(host().callCount("setXData"), 0);
}

}  // namespace
