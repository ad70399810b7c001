// The command engine: notifications in order of attachment, deep clones
// with xdata and objectAppended, EXPLODE, OFFSET, plug-in commands, the
// unknown-command rule, nesting, LISP and several drawings.
#include "recorders.h"

namespace {

class Commands : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    editorReactor = std::make_unique<RecordingEditorReactor>("", log);
    dbReactor = std::make_unique<RecordingDatabaseReactor>(log);
    theEditor()->addReactor(editorReactor.get());
    mainDrawing = db();
    ASSERT_EQ(mainDrawing->addReactor(dbReactor.get()), Acad::eOk);
  }
  void TearDown() override {
    theEditor()->removeReactor(editorReactor.get());
    mainDrawing->removeReactor(dbReactor.get());
    HostTest::TearDown();
  }
  AcDbObjectId tagged(const std::string& type, int pieces = 2) {
    const AcDbObjectId id = add(type, pieces);
    EXPECT_EQ(host().setXData(id, "$10", {xd::text("part")}), Acad::eOk);
    EXPECT_EQ(host().setXData(id, "OTHER", {xd::int16(5)}), Acad::eOk);
    log.clear();
    return id;
  }

  EventLog log;
  AcDbDatabase* mainDrawing = nullptr;
  std::unique_ptr<RecordingEditorReactor> editorReactor;
  std::unique_ptr<RecordingDatabaseReactor> dbReactor;
};

TEST_F(Commands, NotificationsGoToEveryReactorInOrderOfAttachment) {
  RecordingEditorReactor second("B", log);
  RecordingEditorReactor third("C", log);
  theEditor()->addReactor(&second);
  theEditor()->addReactor(&third);
  host().runCommand("REGEN", {}, 1, sim::Outcome::Cancelled);
  host().runCommand("REGEN", {}, 1, sim::Outcome::Failed);
  EXPECT_EQ(
      log,
      (EventLog{"willStart REGEN", "B:willStart REGEN", "C:willStart REGEN",
                "cancelled REGEN", "B:cancelled REGEN", "C:cancelled REGEN",
                "willStart REGEN", "B:willStart REGEN", "C:willStart REGEN",
                "failed REGEN", "B:failed REGEN", "C:failed REGEN"}));
  theEditor()->removeReactor(&second);
  theEditor()->removeReactor(&third);
}

TEST_F(Commands, ReactorsMayAttachAndDetachReactorsWhileTheyAreCalled) {
  RecordingEditorReactor second("B", log);
  RecordingEditorReactor late("D", log);
  theEditor()->addReactor(&second);
  editorReactor->onWillStart = [&] {
    theEditor()->removeReactor(&second);
    theEditor()->addReactor(&late);
  };
  host().runCommand("REGEN");
  // B was detached before its turn; D came after the dispatch began.
  EXPECT_EQ(log, (EventLog{"willStart REGEN", "ended REGEN", "D:ended REGEN"}));
  editorReactor->onWillStart = nullptr;
  theEditor()->removeReactor(&late);
}

TEST_F(Commands, ACopyDeepClonesTheSelectionWithItsXdata) {
  const AcDbObjectId line = tagged("LINE");
  const AcDbObjectId circle = tagged("CIRCLE");
  std::vector<std::string> stateWhenAppended;
  dbReactor->onAppended = [&](AcDbObject* obj) {
    resbuf* tag = obj->xData(ACRX_T("$10"));
    stateWhenAppended.push_back(
        std::string(obj->isReadEnabled() ? "read" : "closed") +
        (obj->isWriteEnabled() ? "+write" : "") + (tag ? " tagged" : ""));
    acutRelRb(tag);
  };
  const sim::Created created = host().runCommand("copy", {line, circle});
  ASSERT_EQ(created.size(), 2u);
  EXPECT_EQ(created[0].first, line);
  EXPECT_EQ(created[1].first, circle);
  const std::string first = host().handleText(created[0].second);
  const std::string second = host().handleText(created[1].second);
  // Passed as written; the clones arrive open for read, already tagged.
  EXPECT_EQ(log,
            (EventLog{"willStart copy", "beginDeepClone", "appended " + first,
                      "appended " + second, "endDeepClone 2", "ended copy"}));
  EXPECT_EQ(stateWhenAppended,
            (std::vector<std::string>{"read tagged", "read tagged"}));
  ASSERT_EQ(editorReactor->maps.size(), 1u);
  AcDbIdMappingIter it(editorReactor->maps[0]);
  AcDbIdPair pair;
  ASSERT_TRUE(it.getMap(pair));
  EXPECT_EQ(pair.key(), line);
  EXPECT_EQ(pair.value(), created[0].second);
  EXPECT_TRUE(pair.isCloned());
  EXPECT_EQ(editorReactor->maps[0].destDb(), db());

  sim::ObjectInfo clone;
  ASSERT_TRUE(host().objectInfo(created[1].second, clone));
  EXPECT_EQ(clone.type, "CIRCLE");
  EXPECT_EQ(xdataApps(created[1].second),
            (std::vector<std::string>{"$10", "OTHER"}));
  EXPECT_EQ(xdataItems(created[1].second, "$10"),
            (sim::Items{xd::text("part")}));
  EXPECT_EQ(host().openObjectCount(), 0);
}

TEST_F(Commands, ARepeatedCommandClonesOncePerRepetition) {
  const AcDbObjectId line = tagged("LINE");
  const sim::Created created = host().runCommand("ARRAY", {line}, 3);
  ASSERT_EQ(created.size(), 3u);
  EXPECT_EQ(editorReactor->maps.size(), 3u);
  EXPECT_EQ(host().handleText(created[2].second), "5");
}

TEST_F(Commands, AnAppendedCloneCanBeUpgradedAndChangedByAReactor) {
  const AcDbObjectId line = tagged("LINE");
  dbReactor->onAppended = [&](AcDbObject* obj) {
    EXPECT_EQ(obj->upgradeOpen(), Acad::eOk);
    resbuf* untag = acutBuildList(1001, ACRX_T("$10"), RTNONE);
    EXPECT_EQ(obj->setXData(untag), Acad::eOk);
    acutRelRb(untag);
  };
  const sim::Created created = host().appendCopies({line});
  ASSERT_EQ(created.size(), 1u);
  EXPECT_EQ(xdataApps(created[0].second), (std::vector<std::string>{"OTHER"}));
  EXPECT_EQ(xdataApps(line), (std::vector<std::string>{"$10", "OTHER"}));
}

TEST_F(Commands, ExplodeMakesOnePiecePerDeepCloneAndErasesTheEntity) {
  const AcDbObjectId polyline = tagged("POLYLINE", 3);
  const AcDbObjectId dictionary = add("DICTIONARY");
  log.clear();
  const sim::Created created =
      host().runCommand("EXPLODE", {polyline, dictionary});
  ASSERT_EQ(created.size(), 3u);
  for (const sim::CreatedPair& pair : created) {
    EXPECT_EQ(pair.first, polyline);
    sim::ObjectInfo piece;
    ASSERT_TRUE(host().objectInfo(pair.second, piece));
    EXPECT_EQ(piece.type, "LINE");
    EXPECT_EQ(xdataItems(pair.second, "$10"), (sim::Items{xd::text("part")}));
  }
  ASSERT_EQ(editorReactor->maps.size(), 3u);
  for (const AcDbIdMapping& map : editorReactor->maps) EXPECT_EQ(map.size(), 1);
  sim::ObjectInfo source;
  ASSERT_TRUE(host().objectInfo(polyline, source));
  EXPECT_TRUE(source.erased);
  EXPECT_EQ(log.back(), "ended EXPLODE");
  EXPECT_EQ(log[log.size() - 2], "erased " + host().handleText(polyline));

  // An entity of one piece still makes one deep clone.
  const AcDbObjectId circle = tagged("CIRCLE");
  EXPECT_EQ(host().runCommand("explode", {circle}).size(), 1u);
}

TEST_F(Commands, OffsetAppendsCopiesWithoutADeepClone) {
  const AcDbObjectId arc = tagged("ARC");
  const AcDbObjectId record = add("XRECORD");
  log.clear();
  const sim::Created created = host().runCommand("OFFSET", {arc, record});
  ASSERT_EQ(created.size(), 1u);
  EXPECT_EQ(log, (EventLog{"willStart OFFSET",
                           "appended " + host().handleText(created[0].second),
                           "ended OFFSET"}));
  EXPECT_TRUE(editorReactor->maps.empty());
  EXPECT_EQ(xdataApps(created[0].second),
            (std::vector<std::string>{"$10", "OTHER"}));
}

void pluginCommand() { acutPrintf(ACRX_T("plug-in command ran\n")); }

TEST_F(Commands, PluginCommandsRunBetweenTheNotifications) {
  AcEdCommandStack* stack = AcEdCommandStack::cast(
      acrxSysRegistry()->at(ACRX_T("ACAD_REGISTERED_COMMANDS")));
  ASSERT_NE(stack, nullptr);
  ASSERT_EQ(stack->addCommand(ACRX_T("GROUP"), ACRX_T("MYCMD"), ACRX_T("MYCMD"),
                              ACRX_CMD::kModal, &pluginCommand),
            Acad::eOk);
  EXPECT_EQ(stack->addCommand(ACRX_T("OTHER"), ACRX_T("mycmd"), ACRX_T("mycmd"),
                              ACRX_CMD::kModal, &pluginCommand),
            Acad::eDuplicateKey);
  EXPECT_EQ(host().commandNames(), (std::vector<std::string>{"MYCMD"}));
  EXPECT_EQ(host().commandGroups(), (std::vector<std::string>{"GROUP"}));

  host().runCommand("mycmd", {add("LINE")});
  EXPECT_EQ(host().commandLine(),
            (std::vector<std::string>{"plug-in command ran"}));
  EXPECT_EQ(log, (EventLog{"appended 2", "willStart MYCMD", "ended MYCMD"}));
  EXPECT_TRUE(editorReactor->maps.empty());

  // Once its group is gone, the name is an unknown command: no
  // notification, a line on the command line.
  ASSERT_EQ(stack->removeGroup(ACRX_T("GROUP")), Acad::eOk);
  EXPECT_EQ(stack->removeGroup(ACRX_T("GROUP")), Acad::eKeyNotFound);
  log.clear();
  host().clearCommandLine();
  EXPECT_TRUE(host().runCommand("MyCmd").empty());
  EXPECT_FALSE(host().beginCommand("MYCMD"));
  EXPECT_TRUE(host().endCommand("MYCMD"));
  EXPECT_TRUE(log.empty());
  EXPECT_EQ(host().commandLine(),
            (std::vector<std::string>{"Unknown command \"MyCmd\".",
                                      "Unknown command \"MYCMD\"."}));
  // Any other name is one of the host's own commands.
  host().runCommand("NEVERREGISTERED");
  EXPECT_EQ(log,
            (EventLog{"willStart NEVERREGISTERED", "ended NEVERREGISTERED"}));
}

TEST_F(Commands, CommandsNestAndLispIsAnnounced) {
  const AcDbObjectId line = tagged("LINE");
  EXPECT_TRUE(host().beginCommand("OUTER"));
  EXPECT_TRUE(host().beginCommand("INNER"));
  host().deepClone({line});
  EXPECT_TRUE(host().endCommand("INNER", sim::Outcome::Cancelled));
  EXPECT_FALSE(host().endCommand("INNER"));
  EXPECT_TRUE(host().endCommand("outer"));
  host().lispBegin("(command \"COPY\")");
  host().lispEnd();
  host().lispBegin("(bad)");
  host().lispCancel();
  EXPECT_EQ(log,
            (EventLog{"willStart OUTER", "willStart INNER", "beginDeepClone",
                      "appended 3", "endDeepClone 1", "cancelled INNER",
                      "ended OUTER", "lispWillStart (command \"COPY\")",
                      "lispEnded", "lispWillStart (bad)", "lispCancelled"}));
}

TEST_F(Commands, TheCommandWorksInTheCurrentDrawing) {
  const AcDbObjectId line = tagged("LINE");
  host().useDrawing("other");
  EXPECT_EQ(log, (EventLog{"documentBecameCurrent"}));
  const sim::Created created = host().runCommand("COPY", {line});
  ASSERT_EQ(created.size(), 1u);
  sim::DrawingInfo other = host().drawingInfo("other");
  ASSERT_EQ(other.objects.size(), 2u);  // its dictionary and the clone
  EXPECT_EQ(other.objects[1].xdata.size(), 2u);
  EXPECT_EQ(other.regapps, (std::vector<std::string>{"$10", "OTHER"}));
  EXPECT_TRUE(other.current);
  EXPECT_FALSE(host().drawingInfo("main").current);
}

}  // namespace
