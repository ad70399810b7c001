// Opening objects: many readers or one writer, erased objects, bad ids,
// close ending exactly one open, upgradeOpen, notify opens.
#include "tests/support/host_test.h"

namespace {

using OpenRules = HostTest;

TEST_F(OpenRules, ManyReadersOrOneWriter) {
  const AcDbObjectId id = add("LINE");
  AcDbObject* first = nullptr;
  AcDbObject* second = nullptr;
  AcDbObject* writer = nullptr;
  ASSERT_EQ(acdbOpenAcDbObject(first, id, AcDb::kForRead), Acad::eOk);
  ASSERT_EQ(acdbOpenAcDbObject(second, id, AcDb::kForRead), Acad::eOk);
  EXPECT_EQ(first, second);
  EXPECT_EQ(acdbOpenAcDbObject(writer, id, AcDb::kForWrite),
            Acad::eWasOpenForRead);
  EXPECT_EQ(writer, nullptr);
  EXPECT_EQ(first->upgradeOpen(), Acad::eWasOpenForRead);  // two readers
  EXPECT_FALSE(first->isWriteEnabled());

  EXPECT_EQ(second->close(), Acad::eOk);
  EXPECT_EQ(first->upgradeOpen(), Acad::eOk);  // now the only reader
  EXPECT_TRUE(first->isWriteEnabled());
  EXPECT_EQ(first->upgradeOpen(), Acad::eWasOpenForWrite);
  EXPECT_EQ(acdbOpenAcDbObject(second, id, AcDb::kForRead),
            Acad::eWasOpenForWrite);
  EXPECT_EQ(acdbOpenAcDbObject(writer, id, AcDb::kForWrite),
            Acad::eWasOpenForWrite);
  EXPECT_EQ(first->close(), Acad::eOk);

  ASSERT_EQ(acdbOpenAcDbObject(writer, id, AcDb::kForWrite), Acad::eOk);
  EXPECT_EQ(writer->close(), Acad::eOk);
  EXPECT_EQ(host().openObjectCount(), 0);
}

TEST_F(OpenRules, NotifyOpensWhateverHoldsItButDoesNotWrite) {
  const AcDbObjectId id = add("CIRCLE");
  ASSERT_TRUE(host().registerApp("APP"));
  AcDbObject* writer = nullptr;
  AcDbObject* notified = nullptr;
  AcDbObject* reader = nullptr;
  ASSERT_EQ(acdbOpenAcDbObject(reader, id, AcDb::kForRead), Acad::eOk);
  ASSERT_EQ(acdbOpenAcDbObject(notified, id, AcDb::kForNotify), Acad::eOk);
  EXPECT_FALSE(notified->isWriteEnabled());
  resbuf* chain = acutBuildList(1001, ACRX_T("APP"), 1000, ACRX_T("x"), RTNONE);
  EXPECT_EQ(notified->setXData(chain), Acad::eNotOpenForWrite);
  acutRelRb(chain);
  EXPECT_EQ(takeViolations().size(), 1u);  // a write without a write open
  EXPECT_EQ(notified->close(), Acad::eOk);
  EXPECT_EQ(reader->close(), Acad::eOk);

  ASSERT_EQ(acdbOpenAcDbObject(writer, id, AcDb::kForWrite), Acad::eOk);
  ASSERT_EQ(acdbOpenAcDbObject(notified, id, AcDb::kForNotify), Acad::eOk);
  EXPECT_EQ(notified->close(), Acad::eOk);
  EXPECT_TRUE(writer->isWriteEnabled());  // the notify close left the write
  EXPECT_EQ(writer->close(), Acad::eOk);
  EXPECT_TRUE(xdataApps(id).empty());
}

TEST_F(OpenRules, CloseEndsExactlyOneOpenAndADoubleCloseIsReported) {
  const AcDbObjectId id = add("ARC");
  AcDbObject* obj = nullptr;
  ASSERT_EQ(acdbOpenAcDbObject(obj, id, AcDb::kForRead), Acad::eOk);
  ASSERT_EQ(acdbOpenAcDbObject(obj, id, AcDb::kForRead), Acad::eOk);
  EXPECT_EQ(obj->close(), Acad::eOk);
  EXPECT_TRUE(obj->isReadEnabled());
  EXPECT_EQ(host().openObjectCount(), 1);
  EXPECT_EQ(obj->close(), Acad::eOk);
  EXPECT_FALSE(obj->isReadEnabled());
  EXPECT_TRUE(takeViolations().empty());

  EXPECT_EQ(obj->close(), Acad::eWasNotOpen);
  const std::vector<std::string> reported = takeViolations();
  ASSERT_EQ(reported.size(), 1u);
  EXPECT_NE(reported[0].find("not open"), std::string::npos) << reported[0];
  EXPECT_EQ(obj->upgradeOpen(), Acad::eWasNotOpen);
  EXPECT_EQ(takeViolations().size(), 1u);

  // A new object is in no drawing: it is deleted, never closed.
  AcDbXrecord* fresh = new AcDbXrecord;
  EXPECT_EQ(fresh->close(), Acad::eNotInDatabase);
  const std::vector<std::string> misuse = takeViolations();
  ASSERT_EQ(misuse.size(), 1u);
  EXPECT_NE(misuse[0].find("in no drawing"), std::string::npos) << misuse[0];
  delete fresh;
}

TEST_F(OpenRules, ErasedNullAndUnknownIds) {
  const AcDbObjectId id = add("TEXT");
  ASSERT_EQ(host().erase(id), Acad::eOk);
  AcDbObject* obj = reinterpret_cast<AcDbObject*>(1);
  EXPECT_EQ(acdbOpenAcDbObject(obj, id, AcDb::kForRead), Acad::eWasErased);
  EXPECT_EQ(obj, nullptr);
  ASSERT_EQ(acdbOpenAcDbObject(obj, id, AcDb::kForRead, true), Acad::eOk);
  EXPECT_TRUE(obj->isErased());
  EXPECT_EQ(obj->close(), Acad::eOk);

  EXPECT_EQ(acdbOpenAcDbObject(obj, AcDbObjectId(), AcDb::kForRead),
            Acad::eNullObjectId);
  int notAStub = 0;
  const AcDbObjectId bogus(reinterpret_cast<AcDbStub*>(&notAStub));
  EXPECT_EQ(acdbOpenAcDbObject(obj, bogus, AcDb::kForWrite),
            Acad::eUnknownHandle);
  EXPECT_EQ(obj, nullptr);
  EXPECT_EQ(acdbOpenAcDbObject(obj, id, static_cast<AcDb::OpenMode>(7), true),
            Acad::eInvalidInput);
}

TEST_F(OpenRules, WritesNeedAWriteOpenAndAreReported) {
  const AcDbObjectId id = add("LINE");
  AcDbObject* obj = nullptr;
  ASSERT_EQ(acdbOpenAcDbObject(obj, id, AcDb::kForRead), Acad::eOk);
  EXPECT_EQ(obj->erase(), Acad::eNotOpenForWrite);
  EXPECT_FALSE(obj->isErased());
  EXPECT_EQ(takeViolations().size(), 1u);
  ASSERT_EQ(obj->upgradeOpen(), Acad::eOk);
  EXPECT_EQ(obj->erase(), Acad::eOk);
  EXPECT_EQ(obj->erase(), Acad::eWasErased);
  EXPECT_EQ(obj->close(), Acad::eOk);
  // A pointer kept after the last close reads nothing.
  EXPECT_EQ(obj->xData(), nullptr);
  EXPECT_EQ(takeViolations().size(), 1u);
}

TEST_F(OpenRules, TheHostsOwnOpenIsNotThePluginsToClose) {
  const AcDbObjectId id = add("LINE");
  AcDbObject* obj = nullptr;
  ASSERT_EQ(acdbOpenAcDbObject(obj, id, AcDb::kForRead), Acad::eOk);
  EXPECT_EQ(obj->close(), Acad::eOk);
  // The host hands objects to objectAppended open and closes them itself.
  bool closedByReactor = false;
  struct Closer : AcDbDatabaseReactor {
    bool* done;
    void objectAppended(const AcDbDatabase*, const AcDbObject* o) override {
      *done = const_cast<AcDbObject*>(o)->close() == Acad::eWasNotOpen;
    }
  } closer;
  closer.done = &closedByReactor;
  ASSERT_EQ(db()->addReactor(&closer), Acad::eOk);
  host().deepClone({id});
  EXPECT_TRUE(closedByReactor);
  const std::vector<std::string> reported = takeViolations();
  ASSERT_EQ(reported.size(), 1u);
  EXPECT_NE(reported[0].find("the host holds open"), std::string::npos)
      << reported[0];
  EXPECT_EQ(host().openObjectCount(), 0);
  ASSERT_EQ(db()->removeReactor(&closer), Acad::eOk);
}

}  // namespace
