// Dictionaries and xrecords: lookups need an open dictionary, adding needs a
// write open and makes the new object the drawing's, open for write.
#include "tests/sim/recorders.h"

namespace {

using Dictionaries = HostTest;

TEST_F(Dictionaries, AddingMakesTheObjectTheDrawingsOpenForWrite) {
  EventLog log;
  RecordingDatabaseReactor reactor(log);
  ASSERT_EQ(db()->addReactor(&reactor), Acad::eOk);
  bool openWhenAppended = false;
  reactor.onAppended = [&](AcDbObject* obj) {
    openWhenAppended = obj->isWriteEnabled();
  };

  AcDbDictionary* nod = nullptr;
  ASSERT_EQ(db()->getNamedObjectsDictionary(nod, AcDb::kForWrite), Acad::eOk);
  AcDbDictionary* parts = new AcDbDictionary;
  EXPECT_TRUE(parts->isNewObject());
  EXPECT_EQ(host().liveNewObjects(), 1);
  AcDbObjectId partsId;
  ASSERT_EQ(nod->setAt(ACRX_T("PVNR_HANDLE"), parts, partsId), Acad::eOk);
  EXPECT_EQ(host().liveNewObjects(), 0);
  EXPECT_FALSE(parts->isNewObject());
  EXPECT_EQ(parts->objectId(), partsId);
  EXPECT_EQ(parts->ownerId(), nod->objectId());
  EXPECT_EQ(parts->database(), db());
  EXPECT_TRUE(parts->isWriteEnabled());
  EXPECT_EQ(host().handleText(partsId), "2");
  EXPECT_EQ(log, (EventLog{"appended 2"}));
  EXPECT_TRUE(openWhenAppended);

  // The same object cannot be added twice, nor a key be taken twice.
  AcDbObjectId again;
  EXPECT_EQ(nod->setAt(ACRX_T("OTHER"), parts, again), Acad::eAlreadyInDb);
  AcDbXrecord* second = new AcDbXrecord;
  EXPECT_EQ(nod->setAt(ACRX_T("pvnr_handle"), second, again),
            Acad::eDuplicateKey);
  EXPECT_EQ(nod->setAt(ACRX_T("bad*key"), second, again), Acad::eInvalidKey);
  EXPECT_EQ(nod->setAt(ACRX_T("LINE"), new AcDbLine, again),
            Acad::eInvalidInput);
  EXPECT_TRUE(again.isNull());
  delete second;
  EXPECT_EQ(host().liveNewObjects(), 1);  // the line the host refused
  EXPECT_EQ(parts->close(), Acad::eOk);
  EXPECT_EQ(nod->close(), Acad::eOk);
  host().audit();
  const std::vector<std::string> leaked = takeViolations();
  ASSERT_EQ(leaked.size(), 1u);
  EXPECT_NE(leaked[0].find("new LINE"), std::string::npos) << leaked[0];

  const sim::DrawingInfo info = host().drawingInfo("main");
  EXPECT_EQ(info.namedObjects.size(), 1u);
  EXPECT_EQ(info.namedObjects[0],
            (std::pair<std::string, std::string>{"PVNR_HANDLE", "DICTIONARY"}));
  // The driving side finds a key as the host compares keys.
  EXPECT_EQ(
      host().dictionaryAt(host().namedObjectsDictionary("main"), "pvnr_handle"),
      partsId);
  EXPECT_TRUE(host().dictionaryEntries(partsId).empty());
  ASSERT_EQ(db()->removeReactor(&reactor), Acad::eOk);
}

TEST_F(Dictionaries, LookupsNeedTheDictionaryOpen) {
  AcDbDictionary* nod = nullptr;
  ASSERT_EQ(db()->getNamedObjectsDictionary(nod, AcDb::kForRead), Acad::eOk);
  AcDbObject* entry = nullptr;
  EXPECT_EQ(nod->getAt(ACRX_T("PVNR_HANDLE"), entry, AcDb::kForRead),
            Acad::eKeyNotFound);
  AcDbObjectId id;
  EXPECT_EQ(nod->getAt(ACRX_T("PVNR_HANDLE"), id), Acad::eKeyNotFound);
  EXPECT_FALSE(nod->has(ACRX_T("PVNR_HANDLE")));
  AcDbDictionary* fresh = new AcDbDictionary;
  EXPECT_EQ(nod->setAt(ACRX_T("X"), fresh, id), Acad::eNotOpenForWrite);
  EXPECT_EQ(takeViolations().size(), 1u);
  delete fresh;
  EXPECT_EQ(nod->close(), Acad::eOk);

  EXPECT_EQ(nod->getAt(ACRX_T("PVNR_HANDLE"), entry, AcDb::kForRead),
            Acad::eNotOpenForRead);
  EXPECT_EQ(takeViolations().size(), 1u);
}

TEST_F(Dictionaries, EntriesOpenByTheOpenRules) {
  AcDbDictionary* nod = nullptr;
  ASSERT_EQ(db()->getNamedObjectsDictionary(nod, AcDb::kForWrite), Acad::eOk);
  AcDbObjectId recordId;
  AcDbXrecord* record = new AcDbXrecord;
  ASSERT_EQ(nod->setAt(ACRX_T("REC"), record, recordId), Acad::eOk);
  // Still open for write from setAt: read and write opens are refused.
  AcDbObject* entry = nullptr;
  EXPECT_EQ(nod->getAt(ACRX_T("rec"), entry, AcDb::kForRead),
            Acad::eWasOpenForWrite);
  ASSERT_EQ(nod->getAt(ACRX_T("REC"), entry, AcDb::kForNotify), Acad::eOk);
  EXPECT_EQ(entry, record);
  EXPECT_EQ(entry->close(), Acad::eOk);
  EXPECT_EQ(record->close(), Acad::eOk);
  ASSERT_EQ(nod->getAt(ACRX_T("REC"), entry, AcDb::kForWrite), Acad::eOk);
  EXPECT_NE(AcDbXrecord::cast(entry), nullptr);
  EXPECT_EQ(AcDbDictionary::cast(entry), nullptr);
  EXPECT_EQ(entry->erase(), Acad::eOk);
  EXPECT_EQ(entry->close(), Acad::eOk);
  // An erased entry is gone for lookups, and its key can be taken again.
  EXPECT_EQ(nod->getAt(ACRX_T("REC"), entry, AcDb::kForRead),
            Acad::eKeyNotFound);
  EXPECT_EQ(nod->numEntries(), 0u);
  AcDbObjectId replacement;
  AcDbXrecord* again = new AcDbXrecord;
  ASSERT_EQ(nod->setAt(ACRX_T("REC"), again, replacement), Acad::eOk);
  EXPECT_EQ(again->close(), Acad::eOk);
  EXPECT_EQ(nod->numEntries(), 1u);
  EXPECT_EQ(nod->close(), Acad::eOk);
}

// Entries come from chunks that grow and are reused after an erased entry's
// key is taken again: every entry must stay listed and found across the
// chunks' edges, and a reused entry must hold its new key alone.
TEST_F(Dictionaries, ManyEntriesStayListedAndFoundAsTheyAreReplaced) {
  AcDbDictionary* nod = nullptr;
  ASSERT_EQ(db()->getNamedObjectsDictionary(nod, AcDb::kForWrite), Acad::eOk);
  const int kCount = 61;  // past chunks of 4, 8, 16 and 32
  auto key = [](int i) { return W("K" + std::to_string(100 + i)); };
  std::vector<AcDbObjectId> ids(kCount);
  for (int i = 0; i < kCount; ++i) {
    AcDbXrecord* record = new AcDbXrecord;
    ASSERT_EQ(nod->setAt(key(i).c_str(), record, ids[i]), Acad::eOk);
    EXPECT_EQ(record->close(), Acad::eOk);
  }
  // Erase every third, then take those keys again in other spellings.
  for (int i = 0; i < kCount; i += 3) {
    AcDbObject* entry = nullptr;
    ASSERT_EQ(nod->getAt(key(i).c_str(), entry, AcDb::kForWrite), Acad::eOk);
    EXPECT_EQ(entry->erase(), Acad::eOk);
    EXPECT_EQ(entry->close(), Acad::eOk);
  }
  EXPECT_EQ(nod->numEntries(), static_cast<Adesk::UInt32>(kCount - 21));
  for (int i = 0; i < kCount; i += 3) {
    AcDbXrecord* record = new AcDbXrecord;
    const AcWString lower = W("k" + std::to_string(100 + i));
    ASSERT_EQ(nod->setAt(lower.c_str(), record, ids[i]), Acad::eOk);
    EXPECT_EQ(record->close(), Acad::eOk);
  }
  for (int i = 0; i < kCount; ++i) {
    AcDbObjectId found;
    ASSERT_EQ(nod->getAt(key(i).c_str(), found), Acad::eOk) << i;
    EXPECT_EQ(found, ids[i]) << i;
  }
  EXPECT_EQ(nod->numEntries(), static_cast<Adesk::UInt32>(kCount));

  // The entry found last answers again only while it holds that key alive.
  AcDbObject* entry = nullptr;
  ASSERT_EQ(nod->getAt(ACRX_T("K105"), entry, AcDb::kForWrite), Acad::eOk);
  EXPECT_EQ(entry->erase(), Acad::eOk);
  EXPECT_EQ(entry->close(), Acad::eOk);
  EXPECT_EQ(nod->getAt(ACRX_T("k105"), entry, AcDb::kForRead),
            Acad::eKeyNotFound);
  AcDbXrecord* replacement = new AcDbXrecord;
  ASSERT_EQ(nod->setAt(ACRX_T("k105"), replacement, ids[5]), Acad::eOk);
  EXPECT_EQ(replacement->close(), Acad::eOk);
  AcDbObjectId found;
  ASSERT_EQ(nod->getAt(ACRX_T("K105"), found), Acad::eOk);
  EXPECT_EQ(found, ids[5]);
  ASSERT_EQ(nod->getAt(ACRX_T("K106"), found), Acad::eOk);
  EXPECT_EQ(found, ids[6]);
  EXPECT_EQ(nod->getAt(ACRX_T("K10"), found), Acad::eKeyNotFound);
  EXPECT_EQ(nod->close(), Acad::eOk);

  const sim::DrawingInfo info = host().drawingInfo("main");
  ASSERT_EQ(info.namedObjects.size(), static_cast<std::size_t>(kCount));
  for (int i = 0; i < kCount; ++i)
    EXPECT_EQ(info.namedObjects[i].first,
              (i % 3 == 0 || i == 5 ? "k" : "K") + std::to_string(100 + i));
}

TEST_F(Dictionaries, XrecordsKeepEntityNamesAsTheObjectsTheyName) {
  const AcDbObjectId line = add("LINE");
  const AcDbObjectId circle = add("CIRCLE");
  AcDbDictionary* nod = nullptr;
  ASSERT_EQ(db()->getNamedObjectsDictionary(nod, AcDb::kForWrite), Acad::eOk);
  AcDbDictionary* parts = new AcDbDictionary;
  AcDbObjectId id;
  ASSERT_EQ(nod->setAt(ACRX_T("PVNR_HANDLE"), parts, id), Acad::eOk);
  ASSERT_EQ(nod->close(), Acad::eOk);
  AcDbXrecord* record = new AcDbXrecord;
  ASSERT_EQ(parts->setAt(ACRX_T("$2A3F"), record, id), Acad::eOk);
  ASSERT_EQ(parts->close(), Acad::eOk);

  ads_name first, second;
  ASSERT_EQ(acdbGetAdsName(first, line), Acad::eOk);
  ASSERT_EQ(acdbGetAdsName(second, circle), Acad::eOk);
  resbuf* chain = acutBuildList(102, ACRX_T("{MORVAT_PART"), 330, first, 330,
                                second, 102, ACRX_T("}"), RTNONE);
  ASSERT_EQ(record->setFromRbChain(*chain), Acad::eOk);
  acutRelRb(chain);

  // A name that names nothing is refused and the record keeps its data.
  const ads_name nothing = {first[0], 0x7777};
  chain = acutBuildList(330, nothing, RTNONE);
  EXPECT_EQ(record->setFromRbChain(*chain), Acad::eInvalidAdsName);
  acutRelRb(chain);
  chain = acutBuildList(5005, ACRX_T("x"), RTNONE);
  EXPECT_EQ(record->setFromRbChain(*chain), Acad::eInvalidInput);
  acutRelRb(chain);

  resbuf* back = nullptr;
  ASSERT_EQ(record->rbChain(&back), Acad::eOk);
  const sim::Items expected{{102, std::string("{MORVAT_PART")},
                            {330, host().handleText(line)},
                            {330, host().handleText(circle)},
                            {102, std::string("}")}};
  EXPECT_EQ(host().itemsOf(back), expected);
  acutRelRb(back);
  ASSERT_EQ(record->close(), Acad::eOk);

  const std::vector<sim::DictionaryEntry> entries =
      host().dictionaryEntries(record->ownerId());
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].key, "$2A3F");
  EXPECT_EQ(host().xrecordItems(entries[0].id), expected);
  EXPECT_TRUE(host().xrecordItems(record->ownerId()).empty());
}

}  // namespace
