// The document reader: the layout of sections, handles and owners, extended
// data, and damaged files refused with their line and nothing loaded.
#include <gtest/gtest.h>

#include "dxf/dxf_document_reader.h"
#include "dxf/dxf_document_writer.h"
#include "tests/dxf/dxf_test_support.h"

namespace {

using dxftest::lines;

std::string header() {
  return lines({"0", "SECTION", "2", "HEADER", "9", "$ACADVER", "1", "AC1015",
                "9", "$HANDSEED", "5", "40", "0", "ENDSEC"});
}

// HEADER, then an ENTITIES section with the body; the body starts at line 19.
std::string withEntities(std::initializer_list<const char*> body) {
  return header() + lines({"0", "SECTION", "2", "ENTITIES"}) + lines(body) +
         lines({"0", "ENDSEC", "0", "EOF"});
}

// Refused alike whether the entities are kept or handed to a sink.
text::Error refusal(const std::string& text) {
  dxf::Document document;
  text::Error error;
  EXPECT_FALSE(dxf::readDocument(text, document, error));
  text::Error sunk;
  EXPECT_FALSE(dxf::readDocument(
      text, document, sunk, [](const dxf::ObjectView&, std::string_view) {}));
  EXPECT_EQ(sunk.text(), error.text());
  return error;
}

TEST(DocumentReader, KeepsHandleOwnerTypeTagsAndXdata) {
  std::string text = withEntities(
      {"0",    "LINE",       "5",    "2F",    "102",  "{ACAD_REACTORS",
       "330",  "1A",         "102",  "}",     "330",  "17",
       "100",  "AcDbEntity", "999",  "note",  "8",    "0",
       "1001", "$10",        "1000", "partA", "1002", "{",
       "1005", "2f",         "1002", "}",     "1001", "OTHER",
       "999",  "note"});
  dxf::Document document;
  text::Error error;
  ASSERT_TRUE(dxf::readDocument(text, document, error)) << error.text();
  ASSERT_EQ(document.entities.size(), 1u);
  const dxf::Object& line = document.entities[0];
  EXPECT_EQ(line.type, "LINE");
  EXPECT_EQ(line.line, 19);
  EXPECT_EQ(line.handle, 0x2Fu);
  // The reactor's 330 sits in a 102 group; the owner is the one after it.
  EXPECT_EQ(line.owner, 0x17u);
  // Comments are no data: skipped wherever they stand.
  EXPECT_EQ(line.tags.size(), 7u);
  ASSERT_EQ(line.xdata.size(), 6u);
  EXPECT_EQ(line.xdata[0].value, "$10");
  EXPECT_EQ(line.xdata.back().value, "OTHER");
  EXPECT_EQ(document.version(), "AC1015");
  EXPECT_EQ(document.handleSeed(), 0x40u);
  EXPECT_EQ(document.nextFreeHandle(), 0x40u);
  // Untouched, the document writes back what it read, tag for tag.
  dxf::Document again;
  ASSERT_TRUE(dxf::readDocument(dxf::writeDocument(document), again, error))
      << error.text();
  ASSERT_EQ(again.entities.size(), 1u);
  const dxf::Object& copy = again.entities[0];
  ASSERT_EQ(copy.tags.size(), line.tags.size());
  for (std::size_t i = 0; i < line.tags.size(); ++i) {
    EXPECT_EQ(copy.tags[i].code, line.tags[i].code);
    EXPECT_EQ(copy.tags[i].value, line.tags[i].value);
  }
  ASSERT_EQ(copy.xdata.size(), line.xdata.size());
  for (std::size_t i = 0; i < line.xdata.size(); ++i)
    EXPECT_EQ(copy.xdata[i].value, line.xdata[i].value);
  // A sink gets the same entity and its span, from its 0 tag to ENDSEC.
  std::vector<std::string> spans;
  dxf::Document sunk;
  ASSERT_TRUE(dxf::readDocument(
      text, sunk, error,
      [&](const dxf::ObjectView& entity, std::string_view span) {
        EXPECT_EQ(entity.type, line.type);
        EXPECT_EQ(entity.handle, line.handle);
        EXPECT_EQ(entity.owner, line.owner);
        EXPECT_EQ(entity.ownerIndex, line.ownerIndex);
        ASSERT_EQ(entity.tags.size(), line.tags.size());
        for (std::size_t i = 0; i < line.tags.size(); ++i)
          EXPECT_EQ(entity.tags[i].value, line.tags[i].value);
        ASSERT_EQ(entity.xdata.size(), line.xdata.size());
        for (std::size_t i = 0; i < line.xdata.size(); ++i)
          EXPECT_EQ(entity.xdata[i].value, line.xdata[i].value);
        spans.emplace_back(span);
      }));
  EXPECT_TRUE(sunk.entities.empty());
  const std::size_t begin = text.find("0\nLINE");
  EXPECT_EQ(spans, std::vector<std::string>{
                       text.substr(begin, text.rfind("0\nENDSEC") - begin)});
}

TEST(DocumentReader, SkipsCommentsWhereverTheyStand) {
  const std::string plain =
      header() +
      lines({"0", "SECTION", "2", "OBJECTS", "0", "XRECORD", "5", "2F", "100",
             "AcDbXrecord", "1", "data", "0", "ENDSEC", "0", "EOF"});
  const std::string commented[] = {
      lines({"999", "before the header"}) + plain,
      header() + lines({"0",   "SECTION",     "999", "before the name",
                        "2",   "OBJECTS",     "999", "before the first object",
                        "0",   "XRECORD",     "5",   "2F",
                        "100", "AcDbXrecord", "999", "amid the data",
                        "1",   "data",        "999", "at the end",
                        "0",   "ENDSEC",      "999", "between",
                        "0",   "EOF"}),
  };
  dxf::Document expected;
  text::Error error;
  ASSERT_TRUE(dxf::readDocument(plain, expected, error)) << error.text();
  for (const std::string& text : commented) {
    dxf::Document document;
    ASSERT_TRUE(dxf::readDocument(text, document, error)) << error.text();
    EXPECT_EQ(dxf::writeDocument(document), dxf::writeDocument(expected));
  }
}

TEST(DocumentReader, OwnerIsNeverALaterDataPointer) {
  std::string text = withEntities(
      {"0", "LAYOUT", "5", "1A", "100", "AcDbLayout", "330", "17"});
  dxf::Document document;
  text::Error error;
  ASSERT_TRUE(dxf::readDocument(text, document, error)) << error.text();
  EXPECT_EQ(document.entities[0].ownerIndex, -1);
  document.entities[0].setOwner(0xD);
  EXPECT_EQ(document.entities[0].tags[1].code, 330);
  EXPECT_EQ(document.entities[0].tags[1].value, "D");
  EXPECT_EQ(document.entities[0].tags.back().value, "17");
}

TEST(DocumentReader, NextHandleNeverReusesOneInTheFile) {
  // A damaged seed below the handles in use must not hand them out again.
  std::string text =
      withEntities({"0", "LINE", "5", "7F", "0", "LINE", "5", "3"});
  dxf::Document document;
  text::Error error;
  ASSERT_TRUE(dxf::readDocument(text, document, error)) << error.text();
  EXPECT_EQ(document.nextFreeHandle(), 0x80u);
}

TEST(DocumentReader, RefusesDamagedHandles) {
  struct Case {
    std::string text;
    int line;
    const char* words;
  };
  const Case cases[] = {
      {withEntities({"0", "LINE", "5", "2F", "0", "CIRCLE", "5", "2f"}), 23,
       "handle 2F of CIRCLE is already used by the object at line 19"},
      // The first object in file order that repeats a handle, whatever the
      // handles' own order; a third use is not the one named.
      {withEntities({"0", "LINE", "5", "30", "0", "ARC", "5", "30", "0", "LINE",
                     "5", "20", "0", "CIRCLE", "5", "20"}),
       23, "handle 30 of ARC is already used by the object at line 19"},
      {withEntities({"0", "LINE", "5", "2F", "0", "ARC", "5", "2F", "0",
                     "CIRCLE", "5", "2F"}),
       23, "handle 2F of ARC is already used by the object at line 19"},
      // Handles in a row, then one of them again.
      {withEntities({"0", "LINE", "5", "10", "0", "LINE", "5", "11", "0",
                     "LINE", "5", "12", "0", "ARC", "5", "11"}),
       31, "handle 11 of ARC is already used by the object at line 23"},
      {withEntities({"0", "LINE", "5", "XYZ"}), 22, "bad handle \"XYZ\""},
      {withEntities({"0", "LINE", "5", "0"}), 22, "handle 0"},
      {withEntities({"0", "LINE", "5", "1", "330", "G1"}), 24,
       "bad handle \"G1\" (group code 330)"},
      {withEntities({"0", "LINE", "5", "1", "360", ""}), 24, "bad handle"},
      {withEntities({"0", "LINE", "5", "1", "1001", "A", "1005", "zz"}), 26,
       "(group code 1005)"},
      {withEntities({"0", "LINE", "5", "12345678901234567"}), 22, "bad handle"},
  };
  for (const Case& c : cases) {
    text::Error error = refusal(c.text);
    EXPECT_EQ(error.line, c.line) << error.text();
    EXPECT_NE(error.message.find(c.words), std::string::npos) << error.text();
  }
}

TEST(DocumentReader, RefusesDamagedExtendedData) {
  struct Case {
    std::string text;
    int line;
    const char* words;
  };
  const Case cases[] = {
      {withEntities({"0", "LINE", "1001", "A", "1002", "{", "1000", "x"}), 24,
       "never closed"},
      {withEntities(
           {"0", "LINE", "1001", "A", "1002", "{", "1001", "B", "1002", "}"}),
       24, "never closed"},
      {withEntities({"0", "LINE", "1001", "A", "1002", "}"}), 24,
       "without a \"{\""},
      {withEntities({"0", "LINE", "1001", "A", "1002", "["}), 24,
       "1002 must be"},
      {withEntities({"0", "LINE", "1000", "x", "1001", "A"}), 21,
       "before any 1001"},
      // Only an xrecord's data may hold 1000-range codes, before its xdata.
      {withEntities({"0", "XRECORD", "1000", "x", "1001", "A", "70", "1"}), 25,
       "after the extended data"},
      {withEntities({"0", "LINE", "1001", "A", "8", "0"}), 23,
       "after the extended data"},
      {withEntities({"0", "LINE", "1001", ""}), 22, "empty application"},
  };
  for (const Case& c : cases) {
    text::Error error = refusal(c.text);
    EXPECT_EQ(error.line, c.line) << error.text();
    EXPECT_NE(error.message.find(c.words), std::string::npos) << error.text();
  }
}

TEST(DocumentReader, RefusesABrokenLayout) {
  struct Case {
    std::string text;
    int line;
    const char* words;
  };
  const std::string noVersion =
      lines({"0", "SECTION", "2", "HEADER", "9", "$HANDSEED", "5", "1", "0",
             "ENDSEC", "0", "EOF"});
  // Older than R12, and damaged further on: the version is what is said.
  const std::string oldVersion =
      lines({"0", "SECTION", "2",    "HEADER",  "9", "$ACADVER", "1", "AC1006",
             "0", "ENDSEC",  "0",    "SECTION", "2", "ENTITIES", "0", "LINE",
             "5", "X!",      "1000", "x",       "0", "ENDSEC",   "0", "EOF"});
  const Case cases[] = {
      {lines({"0", "SECTION", "2", "ENTITIES", "0", "ENDSEC", "0", "EOF"}), 1,
       "no HEADER"},
      {noVersion, 1, "no $ACADVER"},
      {oldVersion, 8, "DXF version \"AC1006\" is not read"},
      {header() +
           lines({"0", "SECTION", "2", "TABLES", "0", "TABLE", "2", "LAYER",
                  "0", "LAYER", "2", "0", "0", "ENDSEC", "0", "EOF"}),
       27, "has no 0:ENDTAB"},
      {header() + lines({"0", "SECTION", "2", "BLOCKS", "0", "BLOCK", "2", "B",
                         "0", "LINE", "0", "ENDSEC", "0", "EOF"}),
       25, "block \"B\" (line 19) has no 0:ENDBLK"},
      {header() + lines({"0", "SECTION", "2", "BLOCKS", "0", "LINE", "0",
                         "ENDSEC", "0", "EOF"}),
       19, "expected 0:BLOCK"},
      {header() + header() + lines({"0", "EOF"}), 15,
       "a second HEADER section"},
      {header() + lines({"0", "SECTION", "2", "ENTITIES", "8", "0", "0",
                         "ENDSEC", "0", "EOF"}),
       19, "where an object's 0 tag belongs"},
      {withEntities({"0", ""}), 19, "empty object type"},
  };
  for (const Case& c : cases) {
    text::Error error = refusal(c.text);
    EXPECT_EQ(error.line, c.line) << error.text();
    EXPECT_NE(error.message.find(c.words), std::string::npos) << error.text();
  }
}

TEST(DocumentReader, ARefusedFileLeavesTheDocumentAsItWas) {
  dxf::Document document;
  text::Error error;
  ASSERT_TRUE(dxf::readDocument(withEntities({"0", "LINE", "5", "2F"}),
                                document, error));
  std::string before = dxf::writeDocument(document);
  EXPECT_FALSE(dxf::readDocument(
      withEntities({"0", "CIRCLE", "5", "30", "0", "LINE", "5", "30"}),
      document, error));
  EXPECT_EQ(dxf::writeDocument(document), before);
}

TEST(DocumentReader, KeepsSectionsItDoesNotInterpret) {
  std::string text =
      header() + lines({"0", "SECTION", "2", "THUMBNAILIMAGE", "90", "3", "310",
                        "ABCDEF", "0", "ENDSEC", "0", "EOF"});
  dxf::Document document;
  text::Error error;
  ASSERT_TRUE(dxf::readDocument(text, document, error)) << error.text();
  ASSERT_EQ(document.otherSections.size(), 1u);
  EXPECT_EQ(document.otherSections[0].tags.size(), 2u);
  std::string written = dxf::writeDocument(document);
  EXPECT_NE(written.find("THUMBNAILIMAGE\n 90\n3\n310\nABCDEF"),
            std::string::npos);
}

}  // namespace
