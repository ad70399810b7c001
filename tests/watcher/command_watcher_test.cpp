// The command watcher driven by the simulated host's command engine: which
// copies become new parts, when, and what OFFSET leaves behind.
#include "watcher/command_watcher.h"

#include "tests/support/host_test.h"

namespace {

using sim::Outcome;

class CommandWatcherTest : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    watcher = std::make_unique<QoRmEditReactor>(true);
    ASSERT_TRUE(watcher->isAttached());
  }
  void TearDown() override {
    watcher.reset();
    EXPECT_EQ(host().editorReactorCount(), 0);
    EXPECT_EQ(host().databaseReactorCount(), 0);
    HostTest::TearDown();
  }
  AcDbObjectId part(const std::string& tag, const std::string& type = "LINE",
                    int pieces = 2) {
    AcDbObjectId id = add(type, pieces);
    host().setXData(id, tag, {xd::text("member of " + tag)});
    return id;
  }
  // The first "$" application in id's xdata, or "".
  std::string tagOf(AcDbObjectId id) {
    for (const std::string& app : xdataApps(id))
      if (!app.empty() && app[0] == '$') return app;
    return "";
  }
  std::string tagFrom(AcDbObjectId id) { return "$" + host().handleText(id); }
  std::size_t recordCount() {
    return parts(host().currentDrawingName()).records.size();
  }
  // Every new object of created still carries tag.
  void expectUntouched(const sim::Created& created, const std::string& tag) {
    ASSERT_FALSE(created.empty());
    for (const sim::CreatedPair& pair : created)
      EXPECT_EQ(tagOf(pair.second), tag) << host().handleText(pair.second);
  }

  std::unique_ptr<QoRmEditReactor> watcher;
};

TEST_F(CommandWatcherTest, EachDeepCloneOfACopyMakesItsOwnPart) {
  AcDbObjectId a = part("$10"), b = part("$10");
  sim::Created created = host().runCommand("COPY", {a, b}, 3);
  ASSERT_EQ(created.size(), 6u);
  for (std::size_t round = 0; round < 3; ++round) {
    AcDbObjectId first = created[2 * round].second;
    AcDbObjectId second = created[2 * round + 1].second;
    EXPECT_EQ(tagOf(first), tagFrom(first));
    EXPECT_EQ(tagOf(second), tagFrom(first));
    EXPECT_EQ(recordMembers(tagFrom(first)),
              (std::vector<std::string>{host().handleText(first),
                                        host().handleText(second)}));
  }
  EXPECT_EQ(tagOf(a), "$10");
  EXPECT_EQ(tagOf(b), "$10");
  EXPECT_FALSE(watcher->isCopyActive());
}

TEST_F(CommandWatcherTest, OnlyTheExactCommandNamesCopy) {
  AcDbObjectId source = part("$10");
  // The host announces its own commands in upper case; a name sent as
  // written must match exactly.
  for (const char* name : {"copy", "Copy", "COPY "}) {
    ASSERT_TRUE(host().beginCommand(name));
    expectUntouched(host().deepClone({source}), "$10");
    ASSERT_TRUE(host().endCommand(name));
  }
  expectUntouched(host().runCommand("COPYCLIP", {source}), "$10");
  EXPECT_EQ(recordCount(), 0u);
  for (const char* name :
       {"DROPGEOM", "PASTECLIP", "MIRROR", "ARRAY", "copy"}) {
    sim::Created created = host().runCommand(name, {source});
    ASSERT_EQ(created.size(), 1u);
    EXPECT_EQ(tagOf(created[0].second), tagFrom(created[0].second)) << name;
  }
}

TEST_F(CommandWatcherTest, ForeignCopyAndLispLeaveCopiesAlone) {
  AcDbObjectId source = part("$10");
  ASSERT_TRUE(host().beginCommand("KL712_COPY"));
  expectUntouched(host().runCommand("MIRROR", {source}), "$10");
  ASSERT_TRUE(host().endCommand("KL712_COPY"));

  host().lispBegin("(command \"COPY\")");
  expectUntouched(host().runCommand("COPY", {source}), "$10");
  host().lispEnd();
  EXPECT_EQ(recordCount(), 0u);

  sim::Created after = host().runCommand("COPY", {source});
  EXPECT_EQ(tagOf(after[0].second), tagFrom(after[0].second));
}

TEST_F(CommandWatcherTest, ExplodeMakesOnePartOfAllPiecesWhenItEnds) {
  AcDbObjectId polyline = part("$10", "POLYLINE", 3);
  ASSERT_TRUE(host().beginCommand("EXPLODE"));
  sim::Created first = host().deepClone({polyline});
  sim::Created second = host().deepClone({polyline});
  expectUntouched(first, "$10");
  expectUntouched(second, "$10");
  ASSERT_TRUE(host().endCommand("EXPLODE"));

  const std::string tag = tagFrom(first[0].second);
  EXPECT_EQ(tagOf(first[0].second), tag);
  EXPECT_EQ(tagOf(second[0].second), tag);
  EXPECT_EQ(recordCount(), 1u);

  sim::Created pieces =
      host().runCommand("EXPLODE", {part("$20", "POLYLINE", 3)});
  ASSERT_EQ(pieces.size(), 3u);
  for (const sim::CreatedPair& piece : pieces)
    EXPECT_EQ(tagOf(piece.second), tagFrom(pieces[0].second));
}

TEST_F(CommandWatcherTest, UnfinishedExplodeGroupsJoinTheNextCopysPart) {
  AcDbObjectId polyline = part("$10", "POLYLINE", 2);
  AcDbObjectId line = part("$10");
  sim::Created pieces =
      host().runCommand("EXPLODE", {polyline}, 1, Outcome::Cancelled);
  expectUntouched(pieces, "$10");
  EXPECT_FALSE(watcher->isCopyActive() || watcher->isExplodeActive());

  // An EXPLODE that ends inside LISP keeps its groups pending too.
  ASSERT_TRUE(host().beginCommand("EXPLODE"));
  sim::Created more = host().deepClone({line});
  host().lispBegin("(princ)");
  ASSERT_TRUE(host().endCommand("EXPLODE"));
  host().lispEnd();
  expectUntouched(more, "$10");
  EXPECT_EQ(watcher->pendingGroups().cloneCount(), 3u);

  sim::Created copy = host().runCommand("COPY", {line});
  const std::string tag = tagFrom(pieces[0].second);
  EXPECT_EQ(recordMembers(tag),
            (std::vector<std::string>{host().handleText(pieces[0].second),
                                      host().handleText(pieces[1].second),
                                      host().handleText(more[0].second),
                                      host().handleText(copy[0].second)}));
  EXPECT_TRUE(watcher->pendingGroups().isEmpty());
}

TEST_F(CommandWatcherTest, TheFirstOfTwoNestedCopiesToEndStopsCopying) {
  AcDbObjectId source = part("$10");
  ASSERT_TRUE(host().beginCommand("COPY"));
  ASSERT_TRUE(host().beginCommand("MIRROR"));
  sim::Created inner = host().deepClone({source});
  EXPECT_EQ(tagOf(inner[0].second), tagFrom(inner[0].second));
  ASSERT_TRUE(host().endCommand("MIRROR"));
  expectUntouched(host().deepClone({source}), "$10");
  ASSERT_TRUE(host().endCommand("COPY"));
  // Stopped, not broken: the next COPY makes a part again.
  sim::Created after = host().runCommand("COPY", {source});
  EXPECT_EQ(tagOf(after[0].second), tagFrom(after[0].second));
  EXPECT_EQ(recordCount(), 2u);
}

TEST_F(CommandWatcherTest, OffsetStripsTagsAndAlwaysLetsGoOfItsReactor) {
  AcDbObjectId source = part("$10");
  host().setXData(source, "ACAD", {xd::int16(3)});
  for (Outcome outcome :
       {Outcome::Ended, Outcome::Cancelled, Outcome::Failed}) {
    sim::Created created = host().runCommand("OFFSET", {source}, 1, outcome);
    ASSERT_EQ(created.size(), 1u);
    EXPECT_EQ(xdataApps(created[0].second), std::vector<std::string>{"ACAD"});
    EXPECT_EQ(host().databaseReactorCount(), 0);
    EXPECT_EQ(watcher->offsetReactors().count(), 0u);
  }
  // Appends outside OFFSET are not seen.
  expectUntouched(host().appendCopies({source}), "$10");
}

TEST_F(CommandWatcherTest, OffsetKeepsOneReactorPerDrawing) {
  AcDbObjectId inMain = part("$10");
  ASSERT_TRUE(host().beginCommand("OFFSET"));
  ASSERT_TRUE(host().beginCommand("OFFSET"));  // no second reactor
  EXPECT_EQ(host().databaseReactorCount(), 1);
  host().useDrawing("other");
  AcDbObjectId inOther = part("$20");
  ASSERT_TRUE(host().beginCommand("OFFSET"));
  EXPECT_EQ(host().databaseReactorCount(), 2);

  ASSERT_TRUE(host().endCommand("OFFSET"));  // other's, then current
  EXPECT_EQ(host().databaseReactorCount(), 1);
  expectUntouched(host().appendCopies({inOther}), "$20");
  host().useDrawing("main");
  expectUntouched(host().appendCopies({inMain}), "");
  ASSERT_TRUE(host().endCommand("OFFSET"));
  EXPECT_EQ(host().databaseReactorCount(), 0);
  ASSERT_TRUE(host().endCommand("OFFSET"));
}

// Freeing a reactor the drawing still holds would leave the host calling
// freed memory at the next append.
TEST_F(CommandWatcherTest, AReactorTheHostKeepsIsKeptUntilItLetsGo) {
  AcDbObjectId source = part("$10");
  sim::FaultSpec refuse;
  refuse.operation = "removeReactor";
  host().armFault(refuse);
  host().runCommand("OFFSET", {source});
  EXPECT_EQ(host().faultsInjected(), 1);
  EXPECT_EQ(host().databaseReactorCount(), 1);
  EXPECT_EQ(watcher->offsetReactors().count(), 1u);
  // Still attached, but idle: what is appended after OFFSET keeps its part.
  expectUntouched(host().appendCopies({source}), "$10");
  // The next OFFSET in that drawing puts it back to work.
  ASSERT_TRUE(host().beginCommand("OFFSET"));
  expectUntouched(host().appendCopies({source}), "");
  ASSERT_TRUE(host().endCommand("OFFSET"));
  EXPECT_EQ(host().databaseReactorCount(), 0);

  EXPECT_EQ(watcher->offsetReactors().count(), 0u);
}

TEST_F(CommandWatcherTest, DestroyingTheWatcherLetsGoOfOffsetReactors) {
  ASSERT_TRUE(host().beginCommand("OFFSET"));
  host().useDrawing("other");
  ASSERT_TRUE(host().beginCommand("OFFSET"));
  watcher.reset();
  EXPECT_EQ(host().databaseReactorCount(), 0);
  EXPECT_EQ(host().editorReactorCount(), 0);
  ASSERT_TRUE(host().endCommand("OFFSET"));
}

TEST_F(CommandWatcherTest, WithoutAnEditorTheWatcherStaysUnattached) {
  watcher.reset();
  host().removeRegistryEntry("AcEditor");
  watcher = std::make_unique<QoRmEditReactor>(true);
  EXPECT_FALSE(watcher->isAttached());
  host().restoreRegistryEntry("AcEditor");
  EXPECT_EQ(host().editorReactorCount(), 0);
}

}  // namespace
