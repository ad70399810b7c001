// Fault injection: an injected fault gives the host's status for that call
// and changes nothing; nth, count, persistent and per-object faults; the
// sweep over every fault point.
#include "tests/sim/recorders.h"

namespace {

class Faults : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    line = add("LINE");
    ASSERT_EQ(host().setXData(line, "APP", {xd::text("before")}), Acad::eOk);
  }
  sim::FaultSpec fault(const std::string& operation, long nth = 1,
                       long count = 1, bool persistent = false) {
    sim::FaultSpec spec;
    spec.operation = operation;
    spec.nth = nth;
    spec.count = count;
    spec.persistent = persistent;
    return spec;
  }
  Acad::ErrorStatus openAndClose(AcDbObjectId id, AcDb::OpenMode mode) {
    AcDbObject* obj = nullptr;
    const Acad::ErrorStatus es = acdbOpenAcDbObject(obj, id, mode);
    if (es == Acad::eOk) {
      EXPECT_EQ(obj->close(), Acad::eOk);
    }
    return es;
  }
  AcDbObjectId line;
};

TEST_F(Faults, AFailedSetXDataChangesNothing) {
  AcDbObject* obj = nullptr;
  ASSERT_EQ(acdbOpenAcDbObject(obj, line, AcDb::kForWrite), Acad::eOk);
  resbuf* chain =
      acutBuildList(1001, ACRX_T("APP"), 1000, ACRX_T("after"), RTNONE);
  host().armFault(fault("setXData"));
  EXPECT_EQ(obj->setXData(chain), Acad::eOutOfMemory);
  EXPECT_EQ(xdataItems(line, "APP"), (sim::Items{xd::text("before")}));
  EXPECT_EQ(host().faultsInjected(), 1);
  EXPECT_EQ(obj->setXData(chain), Acad::eOk);  // it was a transient fault
  EXPECT_EQ(xdataItems(line, "APP"), (sim::Items{xd::text("after")}));
  acutRelRb(chain);
  EXPECT_EQ(obj->close(), Acad::eOk);
  EXPECT_EQ(host().callCount("setXData"), 2);
}

TEST_F(Faults, NthCountAndPersistent) {
  host().armFault(fault("open", 2, 2));
  EXPECT_EQ(openAndClose(line, AcDb::kForRead), Acad::eOk);
  EXPECT_EQ(openAndClose(line, AcDb::kForRead), Acad::eWasOpenForWrite);
  EXPECT_EQ(openAndClose(line, AcDb::kForWrite), Acad::eWasOpenForRead);
  EXPECT_EQ(openAndClose(line, AcDb::kForRead), Acad::eOk);
  EXPECT_EQ(host().faultsInjected(), 2);
  EXPECT_EQ(host().openObjectCount(), 0);

  host().clearFaults();
  host().armFault(fault("*", 3, 1, true));
  EXPECT_EQ(openAndClose(line, AcDb::kForRead), Acad::eOk);  // open, close
  EXPECT_EQ(openAndClose(line, AcDb::kForRead), Acad::eWasOpenForWrite);
  EXPECT_EQ(acutBuildList(1000, ACRX_T("x"), RTNONE), nullptr);
  EXPECT_EQ(acdbRegApp(ACRX_T("NEW")), RTERROR);
  EXPECT_EQ(acdbHostApplicationServices()->workingDatabase(), nullptr);
  EXPECT_EQ(acrxSysRegistry()->at(ACRX_T("AcEditor")), nullptr);
  EXPECT_EQ(host().liveResbufItems(), 0);
  host().clearFaults();
  EXPECT_EQ(host().drawingInfo("main").regapps,
            (std::vector<std::string>{"APP"}));
}

TEST_F(Faults, AFaultOnOneObjectHitsEveryCallOnItAndNoOther) {
  const AcDbObjectId other = add("CIRCLE");
  sim::FaultSpec spec = fault("");
  spec.object = line;
  host().armFault(spec);
  EXPECT_EQ(openAndClose(other, AcDb::kForWrite), Acad::eOk);
  EXPECT_EQ(openAndClose(line, AcDb::kForWrite), Acad::eWasOpenForRead);
  EXPECT_EQ(openAndClose(line, AcDb::kForRead), Acad::eWasOpenForWrite);
  ads_name name;
  EXPECT_EQ(acdbGetAdsName(name, line), Acad::eUnknownHandle);
  EXPECT_EQ(acdbGetAdsName(name, other), Acad::eOk);
  EXPECT_EQ(host().faultsInjected(), 3);
}

TEST_F(Faults, AFailedSetAtLeavesTheObjectTheCallers) {
  AcDbDictionary* nod = nullptr;
  ASSERT_EQ(db()->getNamedObjectsDictionary(nod, AcDb::kForWrite), Acad::eOk);
  AcDbDictionary* parts = new AcDbDictionary;
  AcDbObjectId id;
  host().armFault(fault("dictionarySetAt"));
  EXPECT_EQ(nod->setAt(ACRX_T("PVNR_HANDLE"), parts, id), Acad::eOutOfMemory);
  EXPECT_TRUE(parts->isNewObject());
  EXPECT_TRUE(id.isNull());
  EXPECT_EQ(nod->numEntries(), 0u);
  delete parts;
  host().armFault(fault("getNamedObjectsDictionary"));
  AcDbDictionary* again = nullptr;
  EXPECT_EQ(db()->getNamedObjectsDictionary(again, AcDb::kForRead),
            Acad::eWasOpenForWrite);
  EXPECT_EQ(again, nullptr);
  EXPECT_EQ(nod->close(), Acad::eOk);
}

TEST_F(Faults, OperationNamesAreKnown) {
  EXPECT_TRUE(sim::Host::isOperation("dictionaryGetAt"));
  EXPECT_TRUE(sim::Host::isOperation("*"));
  EXPECT_FALSE(sim::Host::isOperation("opne"));
  const std::vector<std::string> names = sim::Host::operationNames();
  EXPECT_NE(std::find(names.begin(), names.end(), "buildList"), names.end());
}

// A plug-in routine of four host calls: open, setXData, close, and a chain
// built and freed.
void tagRoutine(AcDbObjectId id) {
  AcDbObject* obj = nullptr;
  if (acdbOpenAcDbObject(obj, id, AcDb::kForWrite) != Acad::eOk) return;
  resbuf* chain =
      acutBuildList(1001, ACRX_T("APP"), 1000, ACRX_T("tagged"), RTNONE);
  if (chain != nullptr) {
    obj->setXData(chain);
    acutRelRb(chain);
  }
  obj->close();
}

TEST_F(Faults, TheSweepFailsEveryPointOnceAndForGood) {
  std::vector<std::string> seen;
  AcDbObjectId target;
  const sim::SweepSummary summary = sim::sweepFaults(
      [&](const sim::SweepRun&) {
        host().useDrawing("run" + std::to_string(seen.size()));
        target = host().addObject("LINE");
        host().setXData(target, "APP", {xd::text("before")});
        tagRoutine(target);
      },
      [&](const sim::SweepRun& run) {
        seen.push_back(std::to_string(run.point) +
                       (run.persistent ? "p" : "t") +
                       std::to_string(run.injected));
        // Either the routine's whole write happened or none of it.
        const sim::Items items = xdataItems(target, "APP");
        if (run.injected == 0)
          EXPECT_EQ(items, (sim::Items{xd::text("tagged")}));
        else
          EXPECT_TRUE(items == sim::Items{xd::text("before")} ||
                      items == sim::Items{xd::text("tagged")});
        // A failed close leaves the object open: the audit says so.
        host().audit();
        host().clearViolations();
      });
  EXPECT_EQ(seen, (std::vector<std::string>{"1t1", "1p1", "2t1", "2p2", "3t1",
                                            "3p2", "4t1", "4p1", "5t0"}));
  EXPECT_EQ(summary.runs, 9);
  EXPECT_EQ(summary.lastPoint, 5);
  EXPECT_EQ(openAndClose(line, AcDb::kForWrite), Acad::eOk);  // none armed
}

// The host's own part of closing cannot fail: whatever the plug-in's calls
// at goodbye meet, the drawing goes and nothing stays attached to it.
TEST_F(Faults, ClosingGoesThroughWhateverThePluginsCallsMeet) {
  EventLog log;
  RecordingDatabaseReactor reactor(log);
  AcDbObjectId target;
  reactor.onGoodbye = [&](const AcDbDatabase* dwg) {
    AcDbObject* obj = nullptr;
    if (acdbOpenAcDbObject(obj, target, AcDb::kForRead) == Acad::eOk)
      obj->close();
    dwg->removeReactor(&reactor);
  };
  long runs = 0;
  sim::sweepFaults(
      [&](const sim::SweepRun&) {
        const std::string name = "run" + std::to_string(++runs);
        host().useDrawing(name)->addReactor(&reactor);
        target = host().addObject("LINE");
        host().closeDrawing(name);
      },
      [&](const sim::SweepRun& run) {
        EXPECT_EQ(host().drawingNames(), std::vector<std::string>{"main"});
        EXPECT_EQ(host().databaseReactorCount(), 0);
        host().audit();
        // Only what the failed calls left: a failed close leaves the object
        // open, a failed removal the reactor attached.
        for (const std::string& v : takeViolations())
          EXPECT_TRUE(run.injected > 0 &&
                      (v.find("left attached") != std::string::npos ||
                       v.find("left open") != std::string::npos))
              << v;
      });
  EXPECT_GT(runs, 2);
}

}  // namespace
