// The simulated host when its tables grow large, as a copy of a big drawing
// makes them: names, keys, handles and result-buffer items are still found
// exactly (without regard to ASCII case where the host ignores it), and what
// a plug-in gets wrong is still reported.
#include <string>
#include <vector>

#include "tests/support/host_test.h"

namespace {

class HostScale : public HostTest {
 protected:
  AcDbObject* open(AcDbObjectId id, AcDb::OpenMode mode) {
    AcDbObject* object = nullptr;
    EXPECT_EQ(acdbOpenAcDbObject(object, id, mode), Acad::eOk);
    return object;
  }
  AcDbDictionary* namedObjects(AcDb::OpenMode mode) {
    AcDbDictionary* nod = nullptr;
    EXPECT_EQ(db()->getNamedObjectsDictionary(nod, mode), Acad::eOk);
    return nod;
  }
  // Adds a new xrecord under key to the open dictionary; false if refused.
  static bool addRecord(AcDbDictionary* dictionary, const std::string& key) {
    AcDbXrecord* record = new AcDbXrecord;
    AcDbObjectId id;
    if (dictionary->setAt(W(key).c_str(), record, id) != Acad::eOk) {
      delete record;
      return false;
    }
    record->close();
    return true;
  }
};

TEST_F(HostScale, ApplicationNamesAreFoundInAnyCaseAmongThousands) {
  const int kApps = 5000;
  for (int i = 0; i < kApps; ++i)
    ASSERT_EQ(acdbRegApp(W("App" + std::to_string(i)).c_str()), RTNORM);
  // Registering again in another case adds nothing.
  ASSERT_EQ(acdbRegApp(ACRX_T("APP17")), RTERROR);
  EXPECT_EQ(host().drawingInfo("main").regapps.size(),
            static_cast<std::size_t>(kApps));

  AcDbObjectId line = add("LINE");
  AcDbObject* object = open(line, AcDb::kForWrite);
  for (int i = 0; i < kApps; i += 997) {
    resbuf* chain = acutBuildList(1001, W("aPP" + std::to_string(i)).c_str(),
                                  1070, i, RTNONE);
    EXPECT_EQ(object->setXData(chain), Acad::eOk);
    acutRelRb(chain);
  }
  resbuf* unknown = acutBuildList(1001, ACRX_T("App5000"), 1070, 1, RTNONE);
  EXPECT_EQ(object->setXData(unknown), Acad::eRegappIdNotFound);
  acutRelRb(unknown);
  // A read in yet another case gives the block under the name as registered.
  resbuf* read = object->xData(ACRX_T("APP1994"));
  ASSERT_NE(read, nullptr);
  EXPECT_EQ(U8(read->resval.rstring), "App1994");
  ASSERT_NE(read->rbnext, nullptr);
  EXPECT_EQ(read->rbnext->resval.rint, 1994);
  acutRelRb(read);
  object->close();
  EXPECT_EQ(xdataApps(line),
            (std::vector<std::string>{"App0", "App997", "App1994", "App2991",
                                      "App3988", "App4985"}));
}

TEST_F(HostScale, ALargeDictionaryFindsReplacesAndListsItsKeys) {
  AcDbDictionary* nod = namedObjects(AcDb::kForWrite);
  const int kKeys = 3000;
  for (int i = 0; i < kKeys; ++i)
    ASSERT_TRUE(addRecord(nod, "Key" + std::to_string(i)));
  EXPECT_FALSE(addRecord(nod, "KEY42")) << "a live key in another case";
  EXPECT_EQ(nod->numEntries(), static_cast<Adesk::UInt32>(kKeys));

  // Erased entries (every seventh: 429) count as gone; a new object takes
  // the key, whatever case.
  for (int i = 0; i < kKeys; i += 7) {
    AcDbObject* entry = nullptr;
    ASSERT_EQ(nod->getAt(W("kEY" + std::to_string(i)).c_str(), entry,
                         AcDb::kForWrite),
              Acad::eOk);
    EXPECT_EQ(entry->erase(), Acad::eOk);
    entry->close();
  }
  AcDbObject* entry = nullptr;
  EXPECT_EQ(nod->getAt(ACRX_T("Key7"), entry, AcDb::kForRead),
            Acad::eKeyNotFound);
  EXPECT_FALSE(nod->has(ACRX_T("key14")));
  EXPECT_TRUE(addRecord(nod, "KEY7"));
  EXPECT_TRUE(nod->has(ACRX_T("key7")));
  EXPECT_TRUE(nod->has(ACRX_T("key8")));
  EXPECT_EQ(nod->numEntries(), static_cast<Adesk::UInt32>(kKeys - 429 + 1));
  nod->close();

  // Listings keep the key order, folded, with the spelling last given.
  std::vector<std::string> keys;
  for (const auto& [key, type] : host().drawingInfo("main").namedObjects)
    keys.push_back(key);
  ASSERT_EQ(keys.size(), static_cast<std::size_t>(kKeys - 429 + 1));
  EXPECT_EQ(keys[0], "Key1");
  EXPECT_EQ(keys[1], "Key10");
  EXPECT_NE(std::find(keys.begin(), keys.end(), "KEY7"), keys.end());
  EXPECT_EQ(std::find(keys.begin(), keys.end(), "Key7"), keys.end());
}

TEST_F(HostScale, EveryObjectOfALargeDrawingIsFoundByItsHandle) {
  std::vector<AcDbObjectId> ids;
  for (int i = 0; i < 20000; ++i) ids.push_back(add(i % 2 ? "LINE" : "TEXT"));
  for (std::size_t i = 0; i < ids.size(); i += 1999) {
    const std::string handle = host().handleText(ids[i]);
    EXPECT_EQ(host().idFromHandle(handle), ids[i]);
    AcDbObjectId found;
    EXPECT_EQ(db()->getAcDbObjectId(
                  found, false, AcDbHandle(std::stoull(handle, nullptr, 16))),
              Acad::eOk);
    EXPECT_EQ(found, ids[i]);
    ads_name name;
    ASSERT_EQ(acdbGetAdsName(name, ids[i]), Acad::eOk);
    EXPECT_EQ(acdbGetObjectId(found, name), Acad::eOk);
    EXPECT_EQ(found, ids[i]);
  }
  AcDbObjectId none;
  EXPECT_EQ(db()->getAcDbObjectId(none, false, AcDbHandle(0x100000)),
            Acad::eUnknownHandle);
}

TEST_F(HostScale, ManyLiveChainsAreCountedAndEachFreedOnce) {
  // Strings long and short, so some live beside their item and some apart.
  const std::string longText(300, 'x');
  std::vector<resbuf*> chains;
  for (int i = 0; i < 20000; ++i)
    chains.push_back(acutBuildList(1000, W(i % 3 ? "short" : longText).c_str(),
                                   1070, i, RTNONE));
  EXPECT_EQ(host().liveResbufItems(), 40000);
  EXPECT_EQ(U8(chains[0]->resval.rstring), longText);
  EXPECT_EQ(chains[19999]->rbnext->resval.rint, 19999);
  for (resbuf* chain : chains) ASSERT_EQ(acutRelRb(chain), RTNORM);
  EXPECT_EQ(host().liveResbufItems(), 0);

  // A freed item stays refused, and so does a pointer inside an item.
  EXPECT_EQ(acutRelRb(chains[5]), RTERROR);
  resbuf* chain = acutBuildList(1000, ACRX_T("a"), RTNONE);
  resbuf* inside =
      reinterpret_cast<resbuf*>(reinterpret_cast<char*>(chain) + 8);
  EXPECT_EQ(acutRelRb(inside), RTERROR);
  EXPECT_EQ(acutRelRb(chain), RTNORM);
  EXPECT_EQ(takeViolations().size(), 2u);
}

#if defined(__SANITIZE_ADDRESS__)
// A plug-in reading an item it freed is stopped by the sanitizer.
TEST(HostScaleDeathTest, ReadingAFreedItemIsCaughtUnderTheSanitizer) {
  EXPECT_DEATH(
      {
        sim::Host host;
        host.useDrawing("main");
        resbuf* chain = acutBuildList(1070, 7, RTNONE);
        acutRelRb(chain);
        volatile short code = chain->restype;
        (void)code;
      },
      "use-after-poison");
}
#endif

TEST_F(HostScale, AnObjectOpenManyTimesClosesEachOpen) {
  AcDbObjectId line = add("LINE");
  std::vector<AcDbObject*> readers;
  for (int i = 0; i < 5; ++i) readers.push_back(open(line, AcDb::kForRead));
  AcDbObject* writer = nullptr;
  EXPECT_EQ(acdbOpenAcDbObject(writer, line, AcDb::kForWrite),
            Acad::eWasOpenForRead);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(readers[i]->close(), Acad::eOk);
  // The last reader alone may upgrade; the others were closed in turn.
  EXPECT_EQ(readers[4]->upgradeOpen(), Acad::eOk);
  EXPECT_TRUE(readers[4]->isWriteEnabled());
  EXPECT_EQ(readers[4]->close(), Acad::eOk);
  EXPECT_EQ(host().openObjectCount(), 0);
  EXPECT_EQ(readers[4]->close(), Acad::eWasNotOpen);
  EXPECT_EQ(takeViolations().size(), 1u);
}

TEST_F(HostScale, AnUpdateNamingOneApplicationTwiceAppliesInOrder) {
  ASSERT_EQ(acdbRegApp(ACRX_T("A")), RTNORM);
  ASSERT_EQ(acdbRegApp(ACRX_T("B")), RTNORM);
  AcDbObjectId line = add("LINE");
  host().setXData(line, "A", {xd::int16(1)});
  host().setXData(line, "B", {xd::int16(2)});
  AcDbObject* object = open(line, AcDb::kForWrite);
  // Remove A, then give it again: it comes back at the end.
  resbuf* chain =
      acutBuildList(1001, ACRX_T("a"), 1001, ACRX_T("A"), 1070, 3, RTNONE);
  EXPECT_EQ(object->setXData(chain), Acad::eOk);
  acutRelRb(chain);
  // Too large as a whole: nothing of it is applied.
  const AcWString text(250, ACRX_T('t'));
  resbuf* big = acutBuildList(1001, ACRX_T("B"), RTNONE);
  resbuf* tail = big;
  for (int i = 0; i < 40; ++i) {
    tail->rbnext = acutBuildList(1000, text.c_str(), RTNONE);
    tail = tail->rbnext;
  }
  EXPECT_EQ(object->setXData(big), Acad::eXdataSizeExceeded);
  acutRelRb(big);
  object->close();
  EXPECT_EQ(xdataApps(line), (std::vector<std::string>{"B", "A"}));
  EXPECT_EQ(xdataItems(line, "A"), (sim::Items{xd::int16(3)}));
  EXPECT_EQ(xdataItems(line, "B"), (sim::Items{xd::int16(2)}));
}

}  // namespace
