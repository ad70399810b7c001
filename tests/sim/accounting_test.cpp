// Accounting: what a plug-in leaves behind after a notification is reported
// (and cleaned up), and misuse of the host's objects is reported.
#include <cstring>

#include "tests/sim/recorders.h"

namespace {

class Accounting : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    reactor = std::make_unique<RecordingEditorReactor>("", log);
    theEditor()->addReactor(reactor.get());
  }
  void TearDown() override {
    theEditor()->removeReactor(reactor.get());
    HostTest::TearDown();
  }
  // Runs a command during whose first notification the reactor does WORK.
  void duringACommand(std::function<void()> work) {
    reactor->onWillStart = std::move(work);
    host().runCommand("MOVE");
    reactor->onWillStart = nullptr;
  }
  bool reported(const std::string& fragment) {
    for (const std::string& v : host().violations())
      if (v.find(fragment) != std::string::npos) return true;
    return false;
  }

  EventLog log;
  std::unique_ptr<RecordingEditorReactor> reactor;
};

TEST_F(Accounting, AChainNotFreedIsReportedAndFreed) {
  duringACommand([] { acutBuildList(1000, ACRX_T("leak"), 70, 1, RTNONE); });
  EXPECT_TRUE(reported("commandWillStart(MOVE): 2 result-buffer item(s)"));
  EXPECT_EQ(host().liveResbufItems(), 0);
  takeViolations();
}

TEST_F(Accounting, ItemsAreCountedSoJoinedChainsFreeAsOne) {
  duringACommand([] {
    resbuf* first = acutBuildList(1000, ACRX_T("a"), RTNONE);
    resbuf* second =
        acutBuildList(1000, ACRX_T("b"), 1000, ACRX_T("c"), RTNONE);
    first->rbnext = second;
    acutRelRb(first);
  });
  EXPECT_TRUE(host().violations().empty());

  // Freeing only the head of a joined chain is not enough.
  duringACommand([] {
    resbuf* first = acutBuildList(1000, ACRX_T("a"), RTNONE);
    resbuf* second = acutBuildList(1000, ACRX_T("b"), RTNONE);
    first->rbnext = second;
    first->rbnext = nullptr;
    acutRelRb(first);
  });
  EXPECT_TRUE(reported("1 result-buffer item(s) not freed"));
  takeViolations();
}

TEST_F(Accounting, FreeingWhatTheHostDidNotHandOutIsReported) {
  resbuf onStack{nullptr, 1000, {}};
  EXPECT_EQ(acutRelRb(&onStack), RTERROR);
  EXPECT_TRUE(reported("did not hand out"));
  takeViolations();

  resbuf* chain = acutBuildList(1000, ACRX_T("x"), RTNONE);
  ASSERT_EQ(acutRelRb(chain), RTNORM);
  EXPECT_EQ(acutRelRb(chain), RTERROR);  // freed twice
  EXPECT_EQ(takeViolations().size(), 1u);

  // A string swapped for the plug-in's own memory is not freed by the host.
  ACHAR own[] = ACRX_T("mine");
  chain = acutBuildList(1000, ACRX_T("x"), RTNONE);
  chain->resval.rstring = own;
  EXPECT_EQ(acutRelRb(chain), RTNORM);
  EXPECT_TRUE(reported("string was replaced"));
  EXPECT_EQ(host().liveResbufItems(), 0);
  takeViolations();
}

// Strings too long for an item's own slot live on the heap: freed with the
// item, never in place of memory the plug-in swapped in; and a list with a
// null string is refused whole, with nothing left counted.
TEST_F(Accounting, LongStringsAndRefusedListsLeaveNothingBehind) {
  const AcWString longText(40, u'w');
  resbuf* chain = acutBuildList(1000, longText.c_str(), 1000, ACRX_T("s"), 1000,
                                longText.c_str(), RTNONE);
  ASSERT_NE(chain, nullptr);
  EXPECT_EQ(U8(chain->resval.rstring), U8(longText));
  EXPECT_EQ(U8(chain->rbnext->rbnext->resval.rstring), U8(longText));
  EXPECT_EQ(host().liveResbufItems(), 3);
  ACHAR own[] = ACRX_T("mine");
  chain->rbnext->rbnext->resval.rstring = own;
  EXPECT_EQ(acutRelRb(chain), RTNORM);
  EXPECT_EQ(host().liveResbufItems(), 0);
  EXPECT_EQ(takeViolations().size(), 1u);  // the swapped string

  EXPECT_EQ(acutBuildList(1000, longText.c_str(), 1000,
                          static_cast<const ACHAR*>(nullptr), 70, 1, RTNONE),
            nullptr);
  EXPECT_TRUE(reported("null string for group code 1000"));
  EXPECT_EQ(host().liveResbufItems(), 0);
  takeViolations();

  // Binary chunks the same: a long one on the heap, a swapped one reported,
  // one over 127 bytes refused.
  char bytes[128] = {};
  const ads_binary longest{127, bytes};
  const ads_binary tooLong{128, bytes};
  chain = acutBuildList(1004, &longest, 1004, &longest, RTNONE);
  ASSERT_NE(chain, nullptr);
  chain->rbnext->resval.rbinary.buf = bytes;
  EXPECT_EQ(acutRelRb(chain), RTNORM);
  EXPECT_TRUE(reported("binary chunk was replaced"));
  EXPECT_EQ(acutBuildList(1004, &tooLong, RTNONE), nullptr);
  EXPECT_TRUE(reported("bad binary chunk for group code 1004"));
  EXPECT_EQ(host().liveResbufItems(), 0);
  takeViolations();
}

TEST_F(Accounting, AnObjectLeftOpenIsReportedAndClosed) {
  const AcDbObjectId line = add("LINE");
  duringACommand([&] {
    AcDbObject* obj = nullptr;
    ASSERT_EQ(acdbOpenAcDbObject(obj, line, AcDb::kForWrite), Acad::eOk);
  });
  const std::vector<std::string> found = takeViolations();
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0], "after commandWillStart(MOVE): object " +
                          host().handleText(line) +
                          " (LINE) left open for write");
  EXPECT_EQ(host().openObjectCount(), 0);
  AcDbObject* obj = nullptr;
  ASSERT_EQ(acdbOpenAcDbObject(obj, line, AcDb::kForWrite), Acad::eOk);
  EXPECT_EQ(obj->close(), Acad::eOk);
}

TEST_F(Accounting, ANewObjectNeitherAddedNorDeletedIsReported) {
  duringACommand([] { new AcDbXrecord; });
  EXPECT_TRUE(
      reported("a new XRECORD was neither added to a drawing nor "
               "deleted"));
  EXPECT_EQ(host().liveNewObjects(), 0);
  takeViolations();
  // Deleting a new object is the right end for it.
  duringACommand([] { delete new AcDbDictionary; });
  EXPECT_TRUE(host().violations().empty());
}

TEST_F(Accounting, ReactorMisuseIsReported) {
  RecordingEditorReactor stranger("", log);
  theEditor()->removeReactor(&stranger);
  EXPECT_TRUE(reported("never added"));
  takeViolations();
  theEditor()->addReactor(reactor.get());
  EXPECT_TRUE(reported("added twice"));
  EXPECT_EQ(host().editorReactorCount(), 1);
  takeViolations();

  {
    RecordingEditorReactor shortLived("gone", log);
    theEditor()->addReactor(&shortLived);
    RecordingDatabaseReactor dbReactor(log);
    ASSERT_EQ(db()->addReactor(&dbReactor), Acad::eOk);
  }
  EXPECT_EQ(takeViolations().size(), 2u);
  EXPECT_EQ(host().editorReactorCount(), 1);
  EXPECT_EQ(host().databaseReactorCount(), 0);
  log.clear();
  host().runCommand("MOVE");  // the dead reactor is not called
  EXPECT_EQ(log, (EventLog{"willStart MOVE", "ended MOVE"}));
}

TEST_F(Accounting, DeletingAnObjectOfTheDrawingIsReported) {
  const AcDbObjectId line = add("LINE");
  AcDbObject* obj = nullptr;
  ASSERT_EQ(acdbOpenAcDbObject(obj, line, AcDb::kForWrite), Acad::eOk);
  delete obj;
  EXPECT_TRUE(reported("deleted while it belongs to a drawing"));
  takeViolations();
  EXPECT_EQ(acdbOpenAcDbObject(obj, line, AcDb::kForRead),
            Acad::eUnknownHandle);
  EXPECT_EQ(host().openObjectCount(), 0);
}

TEST_F(Accounting, PrintfWritesLinesToTheCommandLine) {
  const ACHAR* status = acadErrorStatusText(Acad::eKeyNotFound);
  acutPrintf(ACRX_T("Failed: AcDbDictionary::getAt(%s).\n"), status);
  acutPrintf(ACRX_T("%d%% done"), 50);
  acutPrintf(ACRX_T(", %x unknown"));
  EXPECT_EQ(
      host().commandLine(),
      (std::vector<std::string>{"Failed: AcDbDictionary::getAt(eKeyNotFound).",
                                "50% done, %x unknown"}));
  EXPECT_TRUE(reported("unsupported conversion"));
  takeViolations();
}

}  // namespace
