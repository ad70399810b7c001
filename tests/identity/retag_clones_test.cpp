// retagClones: a group of copies becomes a part of its own, each copy keeping
// its own data, and no failure leaves a copy without its part data.
#include "identity/retag_clones.h"

#include "tests/identity/fault_sweep.h"
#include "tests/support/host_test.h"

namespace {

class RetagClonesTest : public HostTest {
 protected:
  // Sources tagged $10, each with its own text, plus ACAD data; then one
  // deep clone of all of them.
  void makeGroup(int count) {
    sources.clear();
    clones.clear();
    for (int i = 0; i < count; ++i) {
      AcDbObjectId source = add("LINE");
      host().setXData(source, "ACAD", {xd::int16(7)});
      host().setXData(source, "$10", {xd::text("pipe " + std::to_string(i))});
      sources.push_back(source);
    }
    for (const sim::CreatedPair& pair : host().deepClone(sources))
      clones.push_back(pair.second);
    ASSERT_EQ(clones.size(), sources.size());
  }
  void retag(const std::vector<AcDbObjectId>& ids) {
    AcDbObjectIdArray array;
    for (AcDbObjectId id : ids) array.append(id);
    retagClones(array, W("$10").c_str());
  }
  std::string tagFrom(AcDbObjectId id) { return "$" + host().handleText(id); }
  sim::Items ownItems(int i) { return {xd::text("pipe " + std::to_string(i))}; }
  std::vector<std::string> handlesOf(const std::vector<AcDbObjectId>& ids) {
    std::vector<std::string> handles;
    for (AcDbObjectId id : ids) handles.push_back(host().handleText(id));
    return handles;
  }
  bool registered(const std::string& app) {
    std::vector<std::string> apps =
        host().drawingInfo(host().currentDrawingName()).regapps;
    return std::find(apps.begin(), apps.end(), app) != apps.end();
  }

  std::vector<AcDbObjectId> sources, clones;
};

TEST_F(RetagClonesTest, EachCopyMovesItsOwnDataToTheFirstCopysTag) {
  makeGroup(3);
  retag(clones);

  const std::string tag = tagFrom(clones[0]);
  EXPECT_TRUE(registered(tag));
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE("copy " + std::to_string(i));
    EXPECT_EQ(xdataApps(clones[i]), (std::vector<std::string>{"ACAD", tag}));
    EXPECT_EQ(xdataItems(clones[i], tag), ownItems(i));
    EXPECT_EQ(xdataItems(clones[i], "ACAD"), sim::Items{xd::int16(7)});
    EXPECT_EQ(xdataItems(sources[i], "$10"), ownItems(i));
  }
  EXPECT_EQ(recordMembers(tag), handlesOf(clones));
}

TEST_F(RetagClonesTest, AnUnopenableFirstCopyPassesTheTagToTheNext) {
  makeGroup(3);
  ASSERT_EQ(host().erase(clones[0]), Acad::eOk);
  retag(clones);

  const std::string tag = tagFrom(clones[1]);
  EXPECT_EQ(xdataItems(clones[1], tag), ownItems(1));
  EXPECT_EQ(xdataItems(clones[2], tag), ownItems(2));
  EXPECT_EQ(xdataItems(clones[0], "$10"), ownItems(0));
  EXPECT_EQ(recordMembers(tag), handlesOf({clones[1], clones[2]}));
}

TEST_F(RetagClonesTest, AFirstCopyWithoutTheOldTagNamesNothing) {
  makeGroup(3);
  host().setXData(clones[0], "$10", {});
  retag(clones);

  const std::string tag = tagFrom(clones[1]);
  EXPECT_FALSE(registered(tagFrom(clones[0])));
  EXPECT_EQ(xdataApps(clones[0]), std::vector<std::string>{"ACAD"});
  EXPECT_EQ(xdataItems(clones[2], tag), ownItems(2));
  EXPECT_EQ(recordMembers(tag), handlesOf({clones[1], clones[2]}));
}

TEST_F(RetagClonesTest, WithNoCopyCarryingTheOldTagNothingHappens) {
  makeGroup(2);
  host().setXData(clones[0], "$10", {});
  host().setXData(clones[1], "$10", {});
  sim::DrawingInfo before = host().drawingInfo("main");
  retag(clones);
  sim::DrawingInfo after = host().drawingInfo("main");
  EXPECT_EQ(after.regapps, before.regapps);
  EXPECT_FALSE(parts("main").present);
}

TEST_F(RetagClonesTest, ACopyWhoseWriteFailsKeepsItsOldTagUnchanged) {
  makeGroup(3);
  sim::FaultSpec fault;
  fault.operation = "setXData";
  fault.object = clones[1];
  host().armFault(fault);
  retag(clones);
  host().clearFaults();

  const std::string tag = tagFrom(clones[0]);
  EXPECT_GT(host().faultsInjected(), 0);
  EXPECT_EQ(xdataApps(clones[1]), (std::vector<std::string>{"ACAD", "$10"}));
  EXPECT_EQ(xdataItems(clones[1], "$10"), ownItems(1));
  EXPECT_EQ(xdataItems(clones[2], tag), ownItems(2));
  EXPECT_EQ(recordMembers(tag), handlesOf({clones[0], clones[2]}));
}

TEST_F(RetagClonesTest, CopiesInAnotherDrawingAreHandedBackUntouched) {
  makeGroup(2);
  host().useDrawing("other");
  AcDbObjectId source = add("LINE");
  host().setXData(source, "$10", {xd::text("pipe 2")});
  AcDbObjectId otherClone = host().deepClone({source})[0].second;
  host().useDrawing("main");

  AcDbObjectIdArray group, elsewhere;
  for (AcDbObjectId id : {otherClone, clones[0], otherClone, clones[1]})
    group.append(id);
  retagClones(group, W("$10").c_str(), &elsewhere);

  ASSERT_EQ(elsewhere.length(), 2);
  EXPECT_EQ(elsewhere[0], otherClone);
  EXPECT_EQ(elsewhere[1], otherClone);
  EXPECT_EQ(xdataItems(otherClone, "$10"), ownItems(2));
  const std::string tag = tagFrom(clones[0]);
  EXPECT_EQ(recordMembers(tag), handlesOf(clones));
  EXPECT_TRUE(parts("other").records.empty());
}

TEST_F(RetagClonesTest, ARepeatedCopyIsRecordedOnce) {
  makeGroup(2);
  retag({clones[0], clones[1], clones[0]});
  EXPECT_EQ(recordMembers(tagFrom(clones[0])), handlesOf(clones));
}

// A clone offers the tag its handle makes and acdbRegApp decides: a name the
// drawing knows (another part's, the source's own) or a refused call passes
// the naming to the next clone, and the clones passed over still join the
// part. When every clone is refused the copies stay in the source's part.
TEST_F(RetagClonesTest, ANameTheDrawingKnowsPassesTheNamingOn) {
  struct Case {
    const char* name;
    std::vector<int> taken;    // clones whose tag names another part
    std::vector<int> faulted;  // clones whose acdbRegApp call fails
    int namer;                 // -1: no clone names the part
  };
  const Case cases[] = {
      {"first taken", {0}, {}, 1},
      {"middle taken", {1}, {}, 0},
      {"first two taken", {0, 1}, {}, 2},
      {"every one taken", {0, 1, 2}, {}, -1},
      {"first refused", {}, {0}, 1},
      {"first taken, second refused", {0}, {1}, 2},
      {"every one refused", {}, {0, 1, 2}, -1},
  };
  int drawingNumber = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    host().useDrawing("run" + std::to_string(++drawingNumber));
    makeGroup(3);
    for (int k : c.taken)
      host().setXData(add("LINE"), tagFrom(clones[k]), {xd::text("other")});
    // One acdbRegApp call per clone offered, in order, until one succeeds.
    for (int k : c.faulted) {
      sim::FaultSpec fault;
      fault.operation = "regApp";
      fault.nth = k + 1;
      host().armFault(fault);
    }
    const std::vector<std::string> appsBefore =
        host().drawingInfo(host().currentDrawingName()).regapps;
    host().resetCounters();
    retag(clones);
    host().clearFaults();

    if (c.namer < 0) {
      for (int i = 0; i < 3; ++i)
        EXPECT_EQ(xdataItems(clones[i], "$10"), ownItems(i));
      EXPECT_EQ(host().drawingInfo(host().currentDrawingName()).regapps,
                appsBefore);
      EXPECT_TRUE(parts(host().currentDrawingName()).records.empty());
      continue;
    }
    const std::string tag = tagFrom(clones[c.namer]);
    for (int i = 0; i < 3; ++i) {
      EXPECT_EQ(xdataApps(clones[i]), (std::vector<std::string>{"ACAD", tag}));
      EXPECT_EQ(xdataItems(clones[i], tag), ownItems(i));
    }
    EXPECT_EQ(recordMembers(tag), handlesOf(clones));
    // Only the clones passed over are opened a second time.
    EXPECT_EQ(host().callCount("open"), 3 + c.namer);
  }
}

// Every host call retagClones makes fails in turn: each copy ends with its
// own data under exactly one of the two tags, the record lists exactly the
// copies under the new tag (or is absent), nothing is left open or unfreed.
TEST_F(RetagClonesTest, AFailingHostCallNeverLosesPartData) {
  int drawingNumber = 0;
  long faulted = sweepEachOperation(
      host(),
      [&] {
        host().useDrawing("run" + std::to_string(++drawingNumber));
        makeGroup(3);
        retag(clones);
      },
      [&](const sim::SweepRun& run) {
        std::string tag;  // the one other than $10 that any copy carries
        for (AcDbObjectId clone : clones)
          for (const std::string& app : xdataApps(clone))
            if (app != "ACAD" && app != "$10" && tag.empty()) tag = app;
        if (!tag.empty()) {
          std::vector<std::string> made;
          for (AcDbObjectId clone : clones) made.push_back(tagFrom(clone));
          EXPECT_NE(std::find(made.begin(), made.end(), tag), made.end());
        }
        std::vector<AcDbObjectId> moved;
        for (int i = 0; i < 3; ++i) {
          std::vector<std::string> apps = xdataApps(clones[i]);
          ASSERT_EQ(apps.size(), 2u) << "copy " << i;
          EXPECT_EQ(apps[0], "ACAD");
          EXPECT_TRUE(apps[1] == "$10" || apps[1] == tag) << apps[1];
          EXPECT_EQ(xdataItems(clones[i], apps[1]), ownItems(i));
          if (apps[1] == tag) moved.push_back(clones[i]);
          EXPECT_EQ(xdataItems(sources[i], "$10"), ownItems(i));
        }
        // A member the host gives no entity name for is left out.
        std::vector<std::string> listed = recordMembers(tag);
        std::vector<std::string> expected = handlesOf(moved);
        if (run.operation == "getAdsName" && !listed.empty()) {
          EXPECT_TRUE(isSubsequence(listed, expected));
        } else if (!listed.empty()) {
          EXPECT_EQ(listed, expected);
        }
      });
  EXPECT_GT(faulted, 10);
}

}  // namespace
