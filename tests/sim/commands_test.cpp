// The command engine: notifications in order of attachment, deep clones
// with xdata and objectAppended, EXPLODE, OFFSET, plug-in commands, the
// unknown-command rule, nesting, LISP and several drawings.
#include "tests/sim/recorders.h"

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
  host().runCommand("MOVE", {}, 1, sim::Outcome::Cancelled);
  host().runCommand("MOVE", {}, 1, sim::Outcome::Failed);
  EXPECT_EQ(log,
            (EventLog{"willStart MOVE", "B:willStart MOVE", "C:willStart MOVE",
                      "cancelled MOVE", "B:cancelled MOVE", "C:cancelled MOVE",
                      "willStart MOVE", "B:willStart MOVE", "C:willStart MOVE",
                      "failed MOVE", "B:failed MOVE", "C:failed MOVE"}));
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
  host().runCommand("MOVE");
  // B was detached before its turn; D came after the dispatch began.
  EXPECT_EQ(log, (EventLog{"willStart MOVE", "ended MOVE", "D:ended MOVE"}));
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
  // Found whatever the case, announced by its global name; the clones
  // arrive open for read, already tagged.
  EXPECT_EQ(log,
            (EventLog{"willStart COPY", "beginDeepClone", "appended " + first,
                      "appended " + second, "endDeepClone 2", "ended COPY"}));
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

  // append-copy copies what OFFSET passes over, and the copies own nothing.
  host().addExtensionDictionary(record);
  log.clear();
  const sim::Created copies = host().appendCopies({arc, record});
  ASSERT_EQ(copies.size(), 2u);
  EXPECT_EQ(log, (EventLog{"appended " + host().handleText(copies[0].second),
                           "appended " + host().handleText(copies[1].second)}));
  sim::ObjectInfo copy;
  ASSERT_TRUE(host().objectInfo(copies[1].second, copy));
  EXPECT_EQ(copy.type, "XRECORD");
  EXPECT_TRUE(copy.extensionDictionary.isNull());
}

// MOVE, ROTATE and SCALE change what they are given as a user's edit does:
// each entity the host moves opened for write and reported modified, no new
// object, no deep clone; what keeps its geometry, and a line that moves
// nothing, is not touched. Each round moves again.
TEST_F(Commands, MoveRotateAndScaleChangeTheSelectionInPlace) {
  sim::Shape shape;
  shape.keys = sim::Shape::kFrom | sim::Shape::kTo;
  shape.to = sim::Point{10, 0, 0};
  const AcDbObjectId line = host().addObject("LINE", shape);
  const AcDbObjectId record = add("XRECORD");
  sim::Placement move;
  move.kind = sim::Placement::Kind::Move;
  move.by = sim::Point{1, 2, 0};
  sim::Placement turn;
  turn.kind = sim::Placement::Kind::Rotate;
  turn.angle = 90;
  turn.about = sim::Point{2, 4, 0};
  sim::Placement grow;
  grow.kind = sim::Placement::Kind::Scale;
  grow.factor = 0.5;
  const std::string h = host().handleText(line);
  struct Row {
    const char* name;
    sim::Placement placement;
    sim::Point from, to;
    EventLog heard;
  };
  const Row rows[] = {
      {"MOVE",
       move,
       {2, 4, 0},
       {12, 4, 0},
       {"willStart MOVE", "modified " + h, "modified " + h, "ended MOVE"}},
      {"ROTATE",
       turn,
       {2, 4, 0},
       {2, 14, 0},
       {"willStart ROTATE", "modified " + h, "ended ROTATE"}},
      {"SCALE",
       grow,
       {1, 2, 0},
       {1, 7, 0},
       {"willStart SCALE", "modified " + h, "ended SCALE"}},
      {"MOVE",
       sim::Placement(),
       {1, 2, 0},
       {1, 7, 0},
       {"willStart MOVE", "ended MOVE"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    log.clear();
    const std::size_t before = host().objectCount("main");
    const int repeat = row.heard.size() == 4 ? 2 : 1;
    EXPECT_TRUE(host()
                    .runCommand(row.name, {line, record}, repeat,
                                sim::Outcome::Ended, row.placement)
                    .empty());
    EXPECT_EQ(log, row.heard);
    EXPECT_TRUE(editorReactor->maps.empty());
    EXPECT_EQ(host().objectCount("main"), before);
    sim::Shape now;
    ASSERT_TRUE(host().shapeOf(line, now));
    EXPECT_EQ(now.from, row.from);
    EXPECT_EQ(now.to, row.to);
    EXPECT_EQ(host().openObjectCount(), 0);
  }
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
}

// What each of the host's commands does to an entity that owns an extension
// dictionary holding an xrecord, typed as a user might type it.
TEST_F(Commands, EachNameDoesItsOwnWorkAndUnknownNamesDoNothing) {
  struct Row {
    const char* typed;
    const char* announced;  // "" : refused as unknown
    std::size_t made;       // new objects: pairs returned, owned ones too
    std::size_t maps;       // deep clones sent
    bool erased;            // the entity and what it owns are erased
  };
  // Repeated twice: a deep clone copies the entity with what it owns;
  // OFFSET copies and EXPLODE's piece own nothing.
  const Row rows[] = {{"copy", "COPY", 6, 2, false},
                      {"Mirror", "MIRROR", 6, 2, false},
                      {"ARRAY", "ARRAY", 6, 2, false},
                      {"dropgeom", "DROPGEOM", 6, 2, false},
                      {"kl712_Copy", "KL712_COPY", 6, 2, false},
                      {"pasteclip", "PASTECLIP", 6, 2, false},
                      {"offset", "OFFSET", 2, 0, false},
                      {"explode", "EXPLODE", 1, 1, true},
                      {"move", "MOVE", 0, 0, false},
                      {"Rotate", "ROTATE", 0, 0, false},
                      {"SCALE", "SCALE", 0, 0, false},
                      {"erase", "ERASE", 0, 0, true},
                      {"FROBNICATE", "", 0, 0, false},
                      {"COPY ", "", 0, 0, false}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.typed);
    const AcDbObjectId line = tagged("LINE");
    const AcDbObjectId dictionary = host().addExtensionDictionary(line);
    const AcDbObjectId record =
        host().addToDictionary(dictionary, "DATA", "XRECORD");
    ASSERT_FALSE(record.isNull());
    log.clear();
    editorReactor->maps.clear();
    host().clearCommandLine();
    const std::size_t before = host().drawingInfo("main").objects.size();
    const sim::Created created =
        host().runCommand(row.typed, {line}, 2, sim::Outcome::Ended);
    EXPECT_EQ(created.size(), row.made);
    EXPECT_EQ(editorReactor->maps.size(), row.maps);
    const std::string announced = row.announced;
    if (announced.empty()) {
      EXPECT_TRUE(log.empty());
      EXPECT_EQ(host().commandLine(),
                (std::vector<std::string>{"Unknown command \"" +
                                          std::string(row.typed) + "\"."}));
    } else {
      EXPECT_EQ(log.front(), "willStart " + announced);
      EXPECT_EQ(log.back(), "ended " + announced);
    }
    EXPECT_EQ(host().drawingInfo("main").objects.size(), before + row.made);
    EXPECT_EQ(host().objectCount("main"), before + row.made);
    for (AcDbObjectId id : {line, dictionary, record}) {
      sim::ObjectInfo info;
      ASSERT_TRUE(host().objectInfo(id, info));
      EXPECT_EQ(info.erased, row.erased);
    }
    for (const sim::CreatedPair& pair : created) {
      if (pair.first != line) continue;
      sim::ObjectInfo copy;
      ASSERT_TRUE(host().objectInfo(pair.second, copy));
      EXPECT_NE(copy.extensionDictionary, dictionary);
      EXPECT_EQ(copy.extensionDictionary.isNull(), row.made != 3 * row.maps);
    }
  }
}

// The map of a deep clone: the selection in order, each followed by what
// it owns, depth first; references within the clones lead to clones.
TEST_F(Commands, ADeepCloneClonesWhatObjectsOwnAndTranslatesReferences) {
  const AcDbObjectId a = tagged("LINE");
  const AcDbObjectId b = tagged("CIRCLE");
  const AcDbObjectId outside = add("TEXT");
  const AcDbObjectId dictionary = host().addExtensionDictionary(a);
  const AcDbObjectId inner =
      host().addToDictionary(dictionary, "INNER", "DICTIONARY");
  const AcDbObjectId record = host().addToDictionary(inner, "R", "XRECORD");
  const AcDbObjectId second =
      host().addToDictionary(dictionary, "Z", "XRECORD");
  ASSERT_EQ(host().setXData(a, "REFS",
                            {xd::handle(host().handleText(b)),
                             xd::handle(host().handleText(outside))}),
            Acad::eOk);
  EXPECT_TRUE(host().addExtensionDictionary(a).isNull());  // has one
  log.clear();

  const sim::Created created = host().deepClone({b, a});
  ASSERT_EQ(created.size(), 6u);
  ASSERT_EQ(editorReactor->maps.size(), 1u);
  const AcDbIdMapping& map = editorReactor->maps[0];
  const std::vector<AcDbObjectId> keys = {b,     a,      dictionary,
                                          inner, record, second};
  ASSERT_EQ(map.size(), 6);
  std::map<AcDbObjectId, AcDbObjectId> cloneOf;
  for (int i = 0; i < map.size(); ++i) {
    EXPECT_EQ(map.pairAt(i).key(), keys[static_cast<std::size_t>(i)]);
    EXPECT_EQ(created[static_cast<std::size_t>(i)].second,
              map.pairAt(i).value());
    EXPECT_EQ(map.pairAt(i).isPrimary(), i < 2);
    cloneOf[map.pairAt(i).key()] = map.pairAt(i).value();
  }
  auto info = [this](AcDbObjectId id) {
    sim::ObjectInfo out;
    EXPECT_TRUE(host().objectInfo(id, out));
    return out;
  };
  EXPECT_EQ(info(cloneOf[a]).extensionDictionary, cloneOf[dictionary]);
  EXPECT_EQ(info(cloneOf[dictionary]).ownerId, cloneOf[a]);
  EXPECT_EQ(info(cloneOf[inner]).ownerId, cloneOf[dictionary]);
  EXPECT_EQ(info(cloneOf[record]).ownerId, cloneOf[inner]);
  EXPECT_EQ(info(a).extensionDictionary, dictionary);
  EXPECT_EQ(info(dictionary).ownerId, a);
  // The reference to B leads to B's clone; the one to an object outside the
  // clone set stays.
  EXPECT_EQ(xdataItems(cloneOf[a], "REFS"),
            (sim::Items{xd::handle(host().handleText(cloneOf[b])),
                        xd::handle(host().handleText(outside))}));
  // A clone's dictionary names the clones of what the source's named.
  AcDbObject* opened = nullptr;
  ASSERT_EQ(acdbOpenAcDbObject(opened, cloneOf[dictionary], AcDb::kForRead),
            Acad::eOk);
  AcDbObjectId found;
  EXPECT_EQ(AcDbDictionary::cast(opened)->getAt(ACRX_T("Z"), found), Acad::eOk);
  EXPECT_EQ(found, cloneOf[second]);
  opened->close();
}

TEST_F(Commands, CopyclipFillsAClipboardThatPasteclipCopiesFrom) {
  const AcDbObjectId line = tagged("LINE");
  const AcDbObjectId dictionary = host().addExtensionDictionary(line);
  const sim::Created clipped = host().runCommand("COPYCLIP", {line});
  ASSERT_EQ(clipped.size(), 2u);
  const AcDbObjectId held = clipped[0].second;
  EXPECT_EQ(host().drawingNameOf(held), sim::Host::kClipboardName);
  EXPECT_EQ(host().drawingNames(), (std::vector<std::string>{"main"}));
  EXPECT_EQ(host().drawings().size(), 1u);
  EXPECT_EQ(editorReactor->maps.back().size(), 2);
  EXPECT_NE(editorReactor->maps.back().destDb(), db());

  // Pasted with no selection: the sources lie in the clipboard.
  const sim::Created pasted = host().runCommand("PASTECLIP", {}, 2);
  ASSERT_EQ(pasted.size(), 4u);
  for (const sim::CreatedPair& pair : {pasted[0], pasted[2]}) {
    EXPECT_EQ(pair.first, held);
    EXPECT_EQ(host().drawingNameOf(pair.second), "main");
    EXPECT_EQ(xdataItems(pair.second, "$10"), (sim::Items{xd::text("part")}));
    sim::ObjectInfo copy;
    ASSERT_TRUE(host().objectInfo(pair.second, copy));
    EXPECT_EQ(host().drawingNameOf(copy.extensionDictionary), "main");
    EXPECT_NE(copy.extensionDictionary, dictionary);
  }
  // A second COPYCLIP replaces what the clipboard held, and tells the
  // clipboard's reactors, counted with every drawing's.
  RecordingDatabaseReactor onClipboard(log);
  AcDbDatabase* clipboard = editorReactor->maps.front().destDb();
  ASSERT_EQ(clipboard->addReactor(&onClipboard), Acad::eOk);
  EXPECT_EQ(host().databaseReactorCount(), 2);
  const AcDbObjectId circle = tagged("CIRCLE");
  host().runCommand("copyclip", {circle});
  sim::ObjectInfo old;
  ASSERT_TRUE(host().objectInfo(held, old));
  EXPECT_TRUE(old.erased);
  EXPECT_EQ(std::count(log.begin(), log.end(), "erased " + old.handle), 1);
  ASSERT_EQ(clipboard->removeReactor(&onClipboard), Acad::eOk);
  const sim::Created again = host().runCommand("PASTECLIP");
  ASSERT_EQ(again.size(), 1u);
  sim::ObjectInfo circleCopy;
  ASSERT_TRUE(host().objectInfo(again[0].second, circleCopy));
  EXPECT_EQ(circleCopy.type, "CIRCLE");
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
  host().runCommand("MOVE");
  host().lispEnd();
  host().lispBegin("(bad)");
  host().lispCancel();
  // Nested commands may end in the order they started.
  EXPECT_TRUE(host().beginCommand("FIRST"));
  EXPECT_TRUE(host().beginCommand("SECOND"));
  EXPECT_TRUE(host().endCommand("FIRST", sim::Outcome::Failed));
  EXPECT_TRUE(host().endCommand("SECOND"));
  EXPECT_EQ(log,
            (EventLog{"willStart OUTER", "willStart INNER", "beginDeepClone",
                      "appended 3", "endDeepClone 1", "cancelled INNER",
                      "ended OUTER", "lispWillStart (command \"COPY\")",
                      "willStart MOVE", "ended MOVE", "lispEnded",
                      "lispWillStart (bad)", "lispCancelled", "willStart FIRST",
                      "willStart SECOND", "failed FIRST", "ended SECOND"}));
}

// What a reactor finds inside the notifications of a command that deep
// clones: an empty map and the copies' drawing at the start, copies made
// and closed at the end, one deep clone after the other, and a drawing it
// may still change when the command ends.
TEST_F(Commands, DeepClonesComeOneAfterTheOtherInsideTheCommand) {
  const AcDbObjectId line = tagged("LINE");
  std::vector<AcDbDatabase*> destinations;
  editorReactor->onBeginDeepClone = [&](AcDbDatabase* to, AcDbIdMapping& map) {
    destinations.push_back(to);
    EXPECT_EQ(map.size(), 0);
  };
  editorReactor->onEndDeepClone = [&](AcDbIdMapping& map) {
    EXPECT_EQ(host().openObjectCount(), 0);
    for (int i = 0; i < map.size(); ++i) {
      AcDbObject* copy = nullptr;
      ASSERT_EQ(
          acdbOpenAcDbObject(copy, map.pairAt(i).value(), AcDb::kForWrite),
          Acad::eOk);
      copy->close();
    }
  };
  const sim::Created copies = host().runCommand("COPY", {line}, 2);
  ASSERT_EQ(copies.size(), 2u);
  EXPECT_EQ(log, (EventLog{"willStart COPY", "beginDeepClone",
                           "appended " + host().handleText(copies[0].second),
                           "endDeepClone 1", "beginDeepClone",
                           "appended " + host().handleText(copies[1].second),
                           "endDeepClone 1", "ended COPY"}));
  EXPECT_EQ(destinations, (std::vector<AcDbDatabase*>{db(), db()}));

  // When the command ends a reactor may change its copies, register a new
  // application, and take itself off the editor.
  editorReactor->onEnded = [&] {
    AcDbObject* copy = nullptr;
    ASSERT_EQ(acdbOpenAcDbObject(copy, copies[0].second, AcDb::kForWrite),
              Acad::eOk);
    EXPECT_EQ(acdbRegApp(ACRX_T("$NEW")), RTNORM);
    resbuf* retag =
        acutBuildList(1001, ACRX_T("$NEW"), 1000, ACRX_T("part"), RTNONE);
    EXPECT_EQ(copy->setXData(retag), Acad::eOk);
    acutRelRb(retag);
    copy->close();
    theEditor()->removeReactor(editorReactor.get());
  };
  host().runCommand("COPYCLIP", {line});
  EXPECT_NE(destinations.back(), db());  // the clipboard
  EXPECT_EQ(xdataItems(copies[0].second, "$NEW"), sim::Items{xd::text("part")});
  log.clear();
  host().runCommand("MOVE");
  EXPECT_TRUE(log.empty());
  theEditor()->addReactor(editorReactor.get());
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
