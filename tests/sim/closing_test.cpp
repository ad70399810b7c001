// Closing drawings: commands begun there cancelled first, then
// databaseToBeDestroyed and goodbye, reactors left attached reported; the
// drawing that becomes current; and every later use of an id of the closed
// drawing refused and reported.
#include <functional>

#include "tests/sim/recorders.h"

namespace {

class Closing : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    editorReactor = std::make_unique<RecordingEditorReactor>("", log);
    theEditor()->addReactor(editorReactor.get());
  }
  void TearDown() override {
    theEditor()->removeReactor(editorReactor.get());
    HostTest::TearDown();
  }

  EventLog log;
  std::unique_ptr<RecordingEditorReactor> editorReactor;
};

TEST_F(Closing, CommandsBegunThereAreCancelledBeforeReactorsHearOfIt) {
  AcDbDatabase* mainDrawing = db();
  AcDbDatabase* closing = host().useDrawing("A");
  RecordingDatabaseReactor leaving(log), staying(log), elsewhere(log);
  leaving.onGoodbye = [&](const AcDbDatabase* dwg) {
    EXPECT_EQ(dwg, closing);
    EXPECT_EQ(dwg->removeReactor(&leaving), Acad::eOk);
  };
  ASSERT_EQ(closing->addReactor(&leaving), Acad::eOk);
  ASSERT_EQ(closing->addReactor(&staying), Acad::eOk);
  ASSERT_EQ(mainDrawing->addReactor(&elsewhere), Acad::eOk);
  ASSERT_TRUE(host().beginCommand("OFFSET"));
  ASSERT_TRUE(host().beginCommand("copy"));  // nested, sent as written
  host().useDrawing("main");
  ASSERT_TRUE(host().beginCommand("MOVE"));  // begun elsewhere: runs on
  // The drawing's objects can still be opened while reactors hear of it.
  host().useDrawing("A");
  const AcDbObjectId ofA = host().addObject("LINE");
  host().useDrawing("main");
  editorReactor->onToBeDestroyed = [&](AcDbDatabase* dwg) {
    EXPECT_EQ(dwg, closing);
    AcDbObject* object = nullptr;
    ASSERT_EQ(acdbOpenAcDbObject(object, ofA, AcDb::kForRead), Acad::eOk);
    object->close();
  };
  log.clear();

  ASSERT_TRUE(host().closeDrawing("A"));
  EXPECT_EQ(log, (EventLog{"cancelled copy", "cancelled OFFSET",
                           "databaseToBeDestroyed", "goodbye", "goodbye"}));
  const std::vector<std::string> reported = takeViolations();
  ASSERT_EQ(reported.size(), 1u);
  EXPECT_NE(reported[0].find("left attached to drawing A"), std::string::npos)
      << reported[0];
  EXPECT_EQ(host().databaseReactorCount(), 1);
  EXPECT_EQ(host().drawingNames(), std::vector<std::string>{"main"});
  EXPECT_EQ(host().drawing("A"), nullptr);
  EXPECT_EQ(host().currentDrawingName(), "main");
  EXPECT_FALSE(host().endCommand("OFFSET"));
  EXPECT_TRUE(host().endCommand("MOVE"));
  EXPECT_FALSE(host().closeDrawing("A"));
  EXPECT_EQ(mainDrawing->removeReactor(&elsewhere), Acad::eOk);
}

TEST_F(Closing, TheDrawingUsedLastBeforeTheClosedOneBecomesCurrent) {
  const AcDbObjectId inMain = add("LINE");
  host().useDrawing("A");
  host().useDrawing("B");
  host().useDrawing("A");
  const AcDbObjectId inA = add("CIRCLE");
  log.clear();

  ASSERT_TRUE(host().closeDrawing("A"));
  EXPECT_EQ(log, (EventLog{"databaseToBeDestroyed", "documentBecameCurrent"}));
  EXPECT_EQ(host().currentDrawingName(), "B");
  EXPECT_EQ(acdbHostApplicationServices()->workingDatabase(),
            host().drawing("B"));
  ASSERT_TRUE(host().closeDrawing("B"));
  EXPECT_EQ(host().currentDrawingName(), "main");
  ASSERT_TRUE(host().closeDrawing("main"));
  EXPECT_EQ(host().currentDrawing(), nullptr);
  EXPECT_EQ(acdbHostApplicationServices()->workingDatabase(), nullptr);
  EXPECT_TRUE(host().drawings().empty());
  EXPECT_TRUE(host().addObject("LINE").isNull());

  // A new drawing of an old name is a new drawing: the old ids stay dead,
  // and the driving side reads nothing through them.
  host().useDrawing("A");
  EXPECT_TRUE(host().isOfClosedDrawing(inA));
  EXPECT_TRUE(host().isOfClosedDrawing(inMain));
  EXPECT_FALSE(host().isOfClosedDrawing(add("LINE")));
  sim::ObjectInfo info;
  EXPECT_FALSE(host().objectInfo(inA, info));
  EXPECT_EQ(host().handleText(inA), "");
  EXPECT_EQ(host().erase(inA), Acad::eDatabaseClosed);
  EXPECT_EQ(host().setXData(inA, "APP", {xd::text("x")}),
            Acad::eDatabaseClosed);
  EXPECT_TRUE(takeViolations().empty());
}

// What a plug-in may still hold of a drawing that closed.
struct ClosedDrawing {
  AcDbObjectId id;
  ads_name name = {0, 0};
  AcDbHandle handle;
  AcDbDatabase* facade = nullptr;
  AcDbXrecord* record = nullptr;  // of an open drawing, open for write
};

Acad::ErrorStatus openAndClose(AcDbObjectId id, AcDb::OpenMode mode,
                               bool openErased = false) {
  AcDbObject* obj = nullptr;
  const Acad::ErrorStatus es = acdbOpenAcDbObject(obj, id, mode, openErased);
  if (obj != nullptr) obj->close();
  return es == Acad::eOk && obj == nullptr ? Acad::eInvalidInput : es;
}

struct ClosedUse {
  const char* operation;  // as the violation names it
  std::function<Acad::ErrorStatus(ClosedDrawing&)> call;
};

const ClosedUse kClosedUses[] = {
    {"acdbOpenAcDbObject",
     [](ClosedDrawing& c) { return openAndClose(c.id, AcDb::kForRead); }},
    {"acdbOpenAcDbObject",
     [](ClosedDrawing& c) { return openAndClose(c.id, AcDb::kForWrite); }},
    {"acdbOpenAcDbObject",
     [](ClosedDrawing& c) { return openAndClose(c.id, AcDb::kForNotify); }},
    {"acdbOpenAcDbObject",
     [](ClosedDrawing& c) { return openAndClose(c.id, AcDb::kForRead, true); }},
    {"acdbGetAdsName",
     [](ClosedDrawing& c) {
       ads_name name;
       return acdbGetAdsName(name, c.id);
     }},
    {"acdbGetObjectId",
     [](ClosedDrawing& c) {
       AcDbObjectId id;
       return acdbGetObjectId(id, c.name);
     }},
    {"AcDbObjectId::database",
     [](ClosedDrawing& c) {
       return c.id.database() == nullptr ? Acad::eDatabaseClosed : Acad::eOk;
     }},
    {"AcDbDatabase::getNamedObjectsDictionary",
     [](ClosedDrawing& c) {
       AcDbDictionary* nod = nullptr;
       return c.facade->getNamedObjectsDictionary(nod, AcDb::kForRead);
     }},
    {"AcDbDatabase::namedObjectsDictionaryId",
     [](ClosedDrawing& c) {
       return c.facade->namedObjectsDictionaryId().isNull()
                  ? Acad::eDatabaseClosed
                  : Acad::eOk;
     }},
    {"AcDbDatabase::getAcDbObjectId",
     [](ClosedDrawing& c) {
       AcDbObjectId id;
       return c.facade->getAcDbObjectId(id, false, c.handle);
     }},
    {"AcDbDatabase::addReactor",
     [](ClosedDrawing& c) {
       AcDbDatabaseReactor reactor;
       return c.facade->addReactor(&reactor);
     }},
    {"AcDbDatabase::removeReactor",
     [](ClosedDrawing& c) {
       AcDbDatabaseReactor reactor;
       return c.facade->removeReactor(&reactor);
     }},
    {"entity name",
     [](ClosedDrawing& c) {
       resbuf* chain = acutBuildList(330, c.name, RTNONE);
       const Acad::ErrorStatus es = c.record->setFromRbChain(*chain);
       acutRelRb(chain);
       return es;
     }},
};

TEST_F(Closing, EveryUseOfAnIdOfAClosedDrawingFailsAndIsReported) {
  ClosedDrawing closed;
  closed.facade = host().useDrawing("A");
  closed.id = add("LINE");
  ASSERT_EQ(closed.id.database(), closed.facade);
  ASSERT_EQ(acdbGetAdsName(closed.name, closed.id), Acad::eOk);
  closed.handle = AcDbHandle(1);
  ASSERT_TRUE(host().closeDrawing("A"));
  EXPECT_EQ(AcDbObjectId().database(), nullptr);

  AcDbDictionary* nod = nullptr;
  ASSERT_EQ(db()->getNamedObjectsDictionary(nod, AcDb::kForWrite), Acad::eOk);
  closed.record = new AcDbXrecord;
  AcDbObjectId recordId;
  ASSERT_EQ(nod->setAt(ACRX_T("K"), closed.record, recordId), Acad::eOk);
  ASSERT_EQ(nod->close(), Acad::eOk);
  ASSERT_TRUE(takeViolations().empty());

  for (const ClosedUse& use : kClosedUses) {
    SCOPED_TRACE(use.operation);
    EXPECT_EQ(use.call(closed), Acad::eDatabaseClosed);
    const std::vector<std::string> reported = takeViolations();
    ASSERT_EQ(reported.size(), 1u);
    EXPECT_NE(reported[0].find(use.operation), std::string::npos)
        << reported[0];
    EXPECT_NE(reported[0].find("drawing A, which was closed"),
              std::string::npos)
        << reported[0];
  }
  EXPECT_EQ(closed.record->close(), Acad::eOk);
}

}  // namespace
