// Handles, entity names, registered applications, status texts and the
// 16-bit text conversions.
#include "support/host_test.h"

namespace {

using HandlesAndNames = HostTest;

std::string handleThroughApi(AcDbObjectId id) {
  AcDbObject* obj = nullptr;
  if (acdbOpenAcDbObject(obj, id, AcDb::kForRead, true) != Acad::eOk)
    return "?";
  AcDbHandle handle;
  obj->getAcDbHandle(handle);
  obj->close();
  ACHAR text[17];
  EXPECT_TRUE(handle.getIntoAsciiBuffer(text));
  return U8(text);
}

TEST_F(HandlesAndNames, HandlesRiseInOrderOfCreationAndAreNeverReused) {
  // Handle 1 is the named-objects dictionary of a new drawing.
  EXPECT_EQ(host().handleText(db()->namedObjectsDictionaryId()), "1");
  std::vector<AcDbObjectId> ids;
  for (int i = 0; i < 30; ++i) ids.push_back(add("LINE"));
  EXPECT_EQ(handleThroughApi(ids[0]), "2");
  EXPECT_EQ(handleThroughApi(ids[8]), "A");
  EXPECT_EQ(handleThroughApi(ids[29]), "1F");

  ASSERT_EQ(host().erase(ids[29]), Acad::eOk);
  const AcDbObjectId next = add("CIRCLE");
  EXPECT_EQ(host().handleText(next), "20");
  EXPECT_EQ(handleThroughApi(ids[29]), "1F");  // erased keeps its handle
  const sim::Created clones = host().deepClone({ids[0], ids[1]});
  ASSERT_EQ(clones.size(), 2u);
  EXPECT_EQ(host().handleText(clones[0].second), "21");
  EXPECT_EQ(host().handleText(clones[1].second), "22");

  EXPECT_EQ(host().idFromHandle("1f"), ids[29]);
  EXPECT_TRUE(host().idFromHandle("99").isNull());
  EXPECT_TRUE(host().idFromHandle("xyz").isNull());
  AcDbObjectId viaDatabase;
  EXPECT_EQ(db()->getAcDbObjectId(viaDatabase, false, AcDbHandle(0x20)),
            Acad::eOk);
  EXPECT_EQ(viaDatabase, next);
  EXPECT_EQ(db()->getAcDbObjectId(viaDatabase, true, AcDbHandle(0x999)),
            Acad::eUnknownHandle);
}

TEST_F(HandlesAndNames, EachDrawingCountsItsOwnHandles) {
  const AcDbObjectId inMain = add("LINE");
  host().useDrawing("second");
  const AcDbObjectId inSecond = add("LINE");
  EXPECT_EQ(host().handleText(inMain), host().handleText(inSecond));
  EXPECT_NE(inMain, inSecond);
  EXPECT_EQ(host().idFromHandle("2"), inSecond);  // the current drawing's
  EXPECT_EQ(host().drawingNames(),
            (std::vector<std::string>{"main", "second"}));
  EXPECT_EQ(acdbHostApplicationServices()->workingDatabase(),
            host().drawing("second"));
}

TEST_F(HandlesAndNames, EntityNamesNameOneObjectOfOneDrawing) {
  const AcDbObjectId line = add("LINE");
  ads_name name;
  ASSERT_EQ(acdbGetAdsName(name, line), Acad::eOk);
  AcDbObjectId back;
  ASSERT_EQ(acdbGetObjectId(back, name), Acad::eOk);
  EXPECT_EQ(back, line);

  EXPECT_EQ(acdbGetAdsName(name, AcDbObjectId()), Acad::eNullObjectId);
  int notAStub = 0;
  EXPECT_EQ(acdbGetAdsName(
                name, AcDbObjectId(reinterpret_cast<AcDbStub*>(&notAStub))),
            Acad::eUnknownHandle);
  const ads_name bogus = {12345, 2};
  EXPECT_EQ(acdbGetObjectId(back, bogus), Acad::eInvalidAdsName);
  EXPECT_TRUE(back.isNull());
}

TEST_F(HandlesAndNames, ApplicationNamesAreCheckedAndRegisteredOnce) {
  EXPECT_EQ(acdbRegApp(ACRX_T("$10")), RTNORM);
  EXPECT_EQ(acdbRegApp(ACRX_T("$")), RTNORM);
  EXPECT_EQ(acdbRegApp(ACRX_T("pipe")), RTNORM);
  EXPECT_EQ(acdbRegApp(ACRX_T("PIPE")), RTNORM);  // the same name
  EXPECT_EQ(acdbRegApp(ACRX_T("")), RTERROR);
  EXPECT_EQ(acdbRegApp(ACRX_T("a<b")), RTERROR);
  EXPECT_EQ(acdbRegApp(ACRX_T(" lead")), RTERROR);
  EXPECT_EQ(acdbRegApp(nullptr), RTERROR);
  EXPECT_EQ(acdbRegApp(W(std::string(256, 'n')).c_str()), RTERROR);
  EXPECT_EQ(host().drawingInfo("main").regapps,
            (std::vector<std::string>{"$10", "$", "pipe"}));
}

TEST_F(HandlesAndNames, StatusTextsAreTheStatusNames) {
  EXPECT_EQ(U8(acadErrorStatusText(Acad::eOk)), "eOk");
  EXPECT_EQ(U8(acadErrorStatusText(Acad::eKeyNotFound)), "eKeyNotFound");
  EXPECT_EQ(U8(acadErrorStatusText(Acad::eXdataSizeExceeded)),
            "eXdataSizeExceeded");
  EXPECT_NE(acadErrorStatusText(static_cast<Acad::ErrorStatus>(999)), nullptr);
}

TEST(TextConversion, RoundTripsAndReplacesWhatIsNotText) {
  const std::string text = "pipe \xC3\xA9\xE2\x82\xAC \xF0\x9F\x94\xA7";
  const AcWString wide = sim::toWide(text);
  EXPECT_EQ(wide.size(), 10u);  // the last character takes two units
  EXPECT_EQ(sim::toUtf8(wide), text);
  EXPECT_EQ(sim::toWide("a\xFF"
                        "b"),
            AcWString(ACRX_T("a\uFFFDb")));
  EXPECT_EQ(sim::toWide("\xC0\xAF"), AcWString(ACRX_T("\uFFFD")));  // overlong
  EXPECT_EQ(sim::toWide("\xE2\x82"), AcWString(ACRX_T("\uFFFD")));  // cut off
  const ACHAR lone[] = {0xD800, 'x', 0};
  EXPECT_EQ(sim::toUtf8(lone), "\xEF\xBF\xBDx");
  EXPECT_EQ(sim::toUtf8(static_cast<const ACHAR*>(nullptr)), "");
}

}  // namespace
