// Handles, entity names, registered applications, status texts and the
// 16-bit text conversions.
#include "tests/support/host_test.h"

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
  EXPECT_EQ(acdbRegApp(ACRX_T("PIPE")), RTERROR);  // the same name, known
  EXPECT_EQ(acdbRegApp(ACRX_T("")), RTERROR);
  EXPECT_EQ(acdbRegApp(ACRX_T("a<b")), RTERROR);
  EXPECT_EQ(acdbRegApp(ACRX_T(" lead")), RTERROR);
  EXPECT_EQ(acdbRegApp(nullptr), RTERROR);
  EXPECT_EQ(acdbRegApp(W(std::string(256, 'n')).c_str()), RTERROR);
  EXPECT_EQ(host().drawingInfo("main").regapps,
            (std::vector<std::string>{"$10", "$", "pipe"}));
}

// Names are folded and compared several units at a time: every place of a
// name, in a whole group or in the short end of one, folds a-z and nothing
// else, whatever the units around it.
TEST_F(HandlesAndNames, OnlyAsciiLettersFoldAtEveryPlaceOfAName) {
  // Pairs that are not ASCII letters of two cases: units next to A-Z and
  // a-z, and pairs a case bit (0x20) apart among Latin-1 and Latin Extended
  // letters, fullwidth forms and units whose high bit is set.
  const std::pair<ACHAR, ACHAR> distinct[] = {
      {u'[', u'{'},     {u'@', u'^'},     {0x00C1, 0x00E1},
      {0x0141, 0x0161}, {0x8041, 0x8061}, {0xFF3A, 0xFF5A}};
  AcDbDictionary* nod = nullptr;
  ASSERT_EQ(db()->getNamedObjectsDictionary(nod, AcDb::kForWrite), Acad::eOk);
  std::size_t expected = host().drawingInfo("main").regapps.size();
  for (std::size_t length = 1; length <= 9; ++length) {
    for (std::size_t place = 0; place < length; ++place) {
      AcWString lower(length, u'k'), upper(length, u'K');
      lower[place] = upper[place] = u'q';
      for (std::size_t k = 0; k < length; ++k)
        if (k != place) lower[k] = static_cast<ACHAR>(u'a' + (k + place) % 26);
      for (std::size_t k = 0; k < length; ++k)
        upper[k] = lower[k] >= u'a' && lower[k] <= u'z'
                       ? static_cast<ACHAR>(lower[k] - u'a' + u'A')
                       : lower[k];
      upper[place] = u'Q';
      SCOPED_TRACE(U8(lower));
      EXPECT_EQ(acdbRegApp(lower.c_str()), RTNORM);
      EXPECT_EQ(acdbRegApp(upper.c_str()), RTERROR);  // the same name
      ++expected;
      AcDbXrecord* record = new AcDbXrecord;
      AcDbObjectId id;
      ASSERT_EQ(nod->setAt(lower.c_str(), record, id), Acad::eOk);
      EXPECT_EQ(record->close(), Acad::eOk);
      EXPECT_TRUE(nod->has(upper.c_str()));

      for (const auto& pair : distinct) {
        AcWString first = lower, second = lower;
        first[place] = pair.first;
        second[place] = pair.second;
        EXPECT_EQ(acdbRegApp(first.c_str()), RTNORM);
        EXPECT_EQ(acdbRegApp(second.c_str()), RTNORM);
        expected += 2;
        record = new AcDbXrecord;
        ASSERT_EQ(nod->setAt(first.c_str(), record, id), Acad::eOk);
        EXPECT_EQ(record->close(), Acad::eOk);
        EXPECT_FALSE(nod->has(second.c_str()));
      }
    }
  }
  EXPECT_EQ(nod->close(), Acad::eOk);
  EXPECT_EQ(host().drawingInfo("main").regapps.size(), expected);
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
