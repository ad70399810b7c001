// Xdata: blocks replaced whole, removed, kept in order; all or nothing;
// unregistered applications and bad items refused; the 16 KiB limit.
#include <map>

#include "tests/support/host_test.h"

namespace {

class Xdata : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    line = add("LINE");
    ASSERT_EQ(acdbRegApp(ACRX_T("A")), RTNORM);
    ASSERT_EQ(acdbRegApp(ACRX_T("B")), RTNORM);
  }

  // setXData with CHAIN as a plug-in would call it; the chain is freed.
  Acad::ErrorStatus write(resbuf* chain) {
    AcDbObject* obj = nullptr;
    Acad::ErrorStatus es = acdbOpenAcDbObject(obj, line, AcDb::kForWrite);
    if (es == Acad::eOk) {
      es = obj->setXData(chain);
      EXPECT_EQ(obj->close(), Acad::eOk);
    }
    acutRelRb(chain);
    return es;
  }

  AcDbObjectId line;
};

TEST_F(Xdata, ReplacesRemovesAndKeepsTheOrderOfBlocks) {
  ASSERT_EQ(write(acutBuildList(1001, ACRX_T("A"), 1000, ACRX_T("a1"), 1001,
                                ACRX_T("B"), 1070, 7, RTNONE)),
            Acad::eOk);
  EXPECT_EQ(xdataApps(line), (std::vector<std::string>{"A", "B"}));

  // A's block is replaced whole and keeps its place before B.
  ASSERT_EQ(
      write(acutBuildList(1001, ACRX_T("A"), 1040, 2.5, 1071, 100000, RTNONE)),
      Acad::eOk);
  EXPECT_EQ(xdataApps(line), (std::vector<std::string>{"A", "B"}));
  EXPECT_EQ(xdataItems(line, "A"),
            (sim::Items{xd::real(2.5), xd::int32(100000)}));
  EXPECT_EQ(xdataItems(line, "B"), (sim::Items{xd::int16(7)}));

  // A lone 1001 removes the block; a new application goes to the end.
  ASSERT_EQ(acdbRegApp(ACRX_T("C")), RTNORM);
  ASSERT_EQ(write(acutBuildList(1001, ACRX_T("A"), 1001, ACRX_T("C"), 1000,
                                ACRX_T("c"), RTNONE)),
            Acad::eOk);
  EXPECT_EQ(xdataApps(line), (std::vector<std::string>{"B", "C"}));
  ASSERT_EQ(
      write(acutBuildList(1001, ACRX_T("A"), 1000, ACRX_T("again"), RTNONE)),
      Acad::eOk);
  EXPECT_EQ(xdataApps(line), (std::vector<std::string>{"B", "C", "A"}));
}

TEST_F(Xdata, EverySupportedTypeSurvivesAsWritten) {
  const double where[3] = {1, 2, 3};
  const double up[3] = {0, 0, -1};
  char bytes[] = {0, '\xFF', 0x7F};
  const ads_binary chunk{3, bytes};
  const ads_binary empty{0, nullptr};
  ASSERT_EQ(
      write(acutBuildList(
          1001, ACRX_T("A"), 1000, ACRX_T("pipe"), 1002, ACRX_T("{"), 1003,
          ACRX_T("0"), 1004, &chunk, 1005, ACRX_T("2A"), 1010, where, 1011,
          where, 1012, up, 1013, up, 1040, 0.5, 1041, 2.0, 1042, -0.25, 1002,
          ACRX_T("}"), 1004, &empty, 1070, -3, 1071, 70000, RTNONE)),
      Acad::eOk);
  const sim::Item position{1011, sim::Point{1, 2, 3}};
  const sim::Item displacement{1012, sim::Point{0, 0, -1}};
  const sim::Item direction{1013, sim::Point{0, 0, -1}};
  const sim::Items expected{
      xd::text("pipe"), xd::brace("{"),     xd::layer("0"), {1004, "00FF7F"},
      xd::handle("2A"), xd::point(1, 2, 3), position,       displacement,
      direction,        xd::real(0.5),      {1041, 2.0},    {1042, -0.25},
      xd::brace("}"),   {1004, ""},         xd::int16(-3),  xd::int32(70000)};
  EXPECT_EQ(xdataItems(line, "A"), expected);
  // The driving side stores the same from typed items.
  ASSERT_EQ(host().setXData(line, "B", expected), Acad::eOk);
  EXPECT_EQ(xdataItems(line, "B"), expected);

  // A plug-in reads each value from the union member the platform uses.
  AcDbObject* obj = nullptr;
  ASSERT_EQ(acdbOpenAcDbObject(obj, line, AcDb::kForRead), Acad::eOk);
  resbuf* chain = obj->xData(ACRX_T("A"));
  EXPECT_EQ(obj->close(), Acad::eOk);
  std::map<short, const resbuf*> first;
  for (const resbuf* rb = chain; rb != nullptr; rb = rb->rbnext)
    first.emplace(rb->restype, rb);
  ASSERT_EQ(first.count(1004), 1u);
  EXPECT_EQ(first[1004]->resval.rbinary.clen, 3);
  EXPECT_EQ(std::string(first[1004]->resval.rbinary.buf, 3),
            std::string(bytes, 3));
  EXPECT_EQ(first[1013]->resval.rpoint[2], -1.0);
  EXPECT_EQ(first[1042]->resval.rreal, -0.25);
  acutRelRb(chain);
}

TEST_F(Xdata, AFailedUpdateChangesNothing) {
  ASSERT_EQ(host().setXData(line, "A", {xd::text("kept")}), Acad::eOk);
  const sim::Items before = xdataItems(line, "A");

  // The first block is fine, the second names an unregistered application.
  EXPECT_EQ(
      write(acutBuildList(1001, ACRX_T("A"), 1000, ACRX_T("lost"), 1001,
                          ACRX_T("NOT_REGISTERED"), 1000, ACRX_T("x"), RTNONE)),
      Acad::eRegappIdNotFound);
  EXPECT_EQ(write(acutBuildList(1000, ACRX_T("before any 1001"), 1001,
                                ACRX_T("A"), RTNONE)),
            Acad::eInvalidInput);
  EXPECT_EQ(write(acutBuildList(1001, ACRX_T("A"), 1000, ACRX_T("x"), 1043, 2.0,
                                RTNONE)),
            Acad::eInvalidInput);
  char bytes[] = {1};
  const ads_binary chunk{1, bytes};
  resbuf* tooLong = acutBuildList(1001, ACRX_T("A"), 1004, &chunk, RTNONE);
  tooLong->rbnext->resval.rbinary.clen = 128;
  EXPECT_EQ(write(tooLong), Acad::eInvalidInput);
  EXPECT_EQ(write(acutBuildList(1001, ACRX_T("A"), 1002, ACRX_T("{"), RTNONE)),
            Acad::eInvalidInput);
  EXPECT_EQ(write(acutBuildList(1001, ACRX_T("A"), 1002, ACRX_T("}"), 1002,
                                ACRX_T("{"), RTNONE)),
            Acad::eInvalidInput);
  EXPECT_EQ(write(acutBuildList(1001, ACRX_T("A"), 1002, ACRX_T("("), 1002,
                                ACRX_T(")"), RTNONE)),
            Acad::eInvalidInput);
  EXPECT_EQ(
      write(acutBuildList(1001, ACRX_T("A"), 1005, ACRX_T("not hex"), RTNONE)),
      Acad::eInvalidInput);
  EXPECT_EQ(xdataItems(line, "A"), before);
  EXPECT_EQ(xdataApps(line), (std::vector<std::string>{"A"}));
}

// Counted as documented in xdata_rules.h: 4 for the block's 1001, 4 + 2 per
// unit for each text. 31 texts of 255 units and one of 221 make 16384.
TEST_F(Xdata, TheLimitIs16KiBPerObject) {
  sim::Items items(31, xd::text(std::string(255, 'x')));
  items.push_back(xd::text(std::string(221, 'y')));
  EXPECT_EQ(host().setXData(line, "A", items), Acad::eOk);

  items.back() = xd::text(std::string(222, 'y'));
  EXPECT_EQ(host().setXData(line, "A", items), Acad::eXdataSizeExceeded);
  EXPECT_EQ(xdataItems(line, "A").back(), xd::text(std::string(221, 'y')));

  // Another application's block counts towards the same object's limit.
  EXPECT_EQ(write(acutBuildList(1001, ACRX_T("B"), 1070, 1, RTNONE)),
            Acad::eXdataSizeExceeded);
  EXPECT_EQ(xdataApps(line), (std::vector<std::string>{"A"}));
  // A new application stays unregistered when its xdata did not fit.
  EXPECT_EQ(host().setXData(line, "NEWAPP", {xd::int16(1)}),
            Acad::eXdataSizeExceeded);
  EXPECT_EQ(host().drawingInfo("main").regapps,
            (std::vector<std::string>{"A", "B"}));
}

TEST_F(Xdata, ReadingGivesANewCountedChain) {
  ASSERT_EQ(host().setXData(line, "A", {xd::text("a")}), Acad::eOk);
  ASSERT_EQ(host().setXData(line, "B", {xd::int16(2), xd::real(1.5)}),
            Acad::eOk);
  AcDbObject* obj = nullptr;
  ASSERT_EQ(acdbOpenAcDbObject(obj, line, AcDb::kForRead), Acad::eOk);
  resbuf* all = obj->xData();
  EXPECT_EQ(host().itemsOf(all),
            (sim::Items{xd::app("A"), xd::text("a"), xd::app("B"), xd::int16(2),
                        xd::real(1.5)}));
  EXPECT_EQ(host().liveResbufItems(), 5);
  // Names compare without regard to case; the stored spelling comes back.
  resbuf* justB = obj->xData(ACRX_T("b"));
  EXPECT_EQ(host().itemsOf(justB),
            (sim::Items{xd::app("B"), xd::int16(2), xd::real(1.5)}));
  EXPECT_EQ(obj->xData(ACRX_T("UNKNOWN")), nullptr);
  ASSERT_EQ(acdbRegApp(ACRX_T("C")), RTNORM);
  EXPECT_EQ(obj->xData(ACRX_T("C")), nullptr);
  EXPECT_EQ(obj->close(), Acad::eOk);
  EXPECT_EQ(acutRelRb(all), RTNORM);
  EXPECT_EQ(acutRelRb(justB), RTNORM);
  EXPECT_EQ(host().liveResbufItems(), 0);
}

TEST_F(Xdata, NewObjectsAndDrivingSideChecks) {
  // A new object has no drawing and so no application table to refer to.
  AcDbXrecord* fresh = new AcDbXrecord;
  resbuf* chain = acutBuildList(1001, ACRX_T("A"), RTNONE);
  EXPECT_EQ(fresh->setXData(chain), Acad::eNoDatabase);
  acutRelRb(chain);
  delete fresh;

  EXPECT_EQ(host().setXData(line, "A", {sim::Item{1000, 5L}}),
            Acad::eInvalidInput);
  EXPECT_EQ(host().setXData(line, "A", {sim::Item{1070, 40000L}}),
            Acad::eInvalidInput);
  for (const char* hex : {"ABC", "0G", "00 11"})
    EXPECT_EQ(host().setXData(line, "A", {sim::Item{1004, hex}}),
              Acad::eInvalidInput)
        << hex;
  EXPECT_EQ(
      host().setXData(line, "A", {sim::Item{1004, std::string(256, 'A')}}),
      Acad::eInvalidInput);
  EXPECT_EQ(host().setXData(line, "bad|name", {xd::text("x")}),
            Acad::eInvalidInput);
  EXPECT_EQ(host().setXData(line, "A", {}), Acad::eOk);  // nothing to remove
  EXPECT_TRUE(xdataApps(line).empty());
}

}  // namespace
