// The tag reader: line structure, group codes, numbers by code range and the
// SECTION / ENDSEC / EOF frame, each fault with its line.
#include <gtest/gtest.h>

#include <vector>

#include "dxf/dxf_tag_reader.h"
#include "tests/dxf/dxf_test_support.h"

namespace {

using dxftest::lines;

struct ReadResult {
  std::vector<dxf::Tag> tags;
  bool failed = false;
  text::Error error;
};

ReadResult readAll(const std::string& text) {
  ReadResult result;
  dxf::TagReader reader(text);
  dxf::Tag tag;
  while (reader.next(tag)) result.tags.push_back(tag);
  result.failed = reader.failed();
  result.error = reader.error();
  return result;
}

std::string inEntities(std::initializer_list<const char*> body) {
  std::string text = lines({"0", "SECTION", "2", "ENTITIES"});
  text += lines(body);
  text += lines({"0", "ENDSEC", "0", "EOF"});
  return text;
}

TEST(TagReader, ReadsCodesWithBlanksAndBothLineEnds) {
  std::string text =
      "  0\r\nSECTION\r\n  2\r\nENTITIES\r\n  0\r\nLINE\r\n 10 \r\n1.5\r\n"
      "1001\r\nAPP \r\n  0\r\nENDSEC\r\n  0\r\nEOF\r\n";
  ReadResult result = readAll(text);
  ASSERT_FALSE(result.failed) << result.error.text();
  ASSERT_EQ(result.tags.size(), 7u);
  EXPECT_EQ(result.tags[3].code, 10);
  EXPECT_EQ(result.tags[3].value, "1.5");
  EXPECT_EQ(result.tags[3].line, 7);
  // Text keeps its trailing blank: it is part of the value.
  EXPECT_EQ(result.tags[4].value, "APP ");
  EXPECT_TRUE(dxf::TagReader(text).crlf());
  EXPECT_FALSE(dxf::TagReader(lines({"0", "EOF"})).crlf());
}

TEST(TagReader, TakesEveryCarriageReturnBeforeALineFeedAsTheLineEnd) {
  // Found by fuzzing: a value ending in carriage returns lost one at each
  // save, so a file never read back as it was written.
  std::string text =
      "  0\nSECTION\n  2\nENTITIES\n  0\nLINE\r\r\r\n"
      "  0\nENDSEC\n  0\nEOF\n";
  ReadResult result = readAll(text);
  ASSERT_FALSE(result.failed) << result.error.text();
  ASSERT_EQ(result.tags.size(), 5u);
  EXPECT_EQ(result.tags[2].value, "LINE");
}

TEST(TagReader, StopsAtEofAndIgnoresWhatFollows) {
  ReadResult result = readAll(lines({"0", "EOF", "garbage", "x"}));
  EXPECT_FALSE(result.failed);
  EXPECT_EQ(result.tags.size(), 1u);
}

TEST(TagReader, RefusesBadGroupCodes) {
  for (const char* code : {"abc", "-1", "1072", "", "1.0", "12345", "1 0"}) {
    ReadResult result = readAll(inEntities({"0", "LINE", code, "value"}));
    EXPECT_TRUE(result.failed) << code;
    EXPECT_EQ(result.error.line, 7) << code;
    EXPECT_NE(result.error.message.find("bad group code"), std::string::npos)
        << result.error.text();
  }
}

TEST(TagReader, RefusesNonNumbersWhereNumbersBelong) {
  struct Case {
    const char* code;
    const char* value;
    bool good;
  };
  const Case cases[] = {
      {"10", "1.5", true},         {"10", " -2e3 ", true},
      {"10", ".5", true},          {"10", "+3", true},
      {"10", "x", false},          {"40", "nan", false},
      {"40", "inf", false},        {"40", "1e999", false},
      {"40", "0x1p3", false},      {"40", "", false},
      {"70", "7", true},           {"70", "32767", true},
      {"70", "32768", false},      {"70", "1.0", false},
      {"90", "-2147483648", true}, {"90", "2147483648", false},
      {"160", "9000000000", true}, {"1070", "-32769", false},
      {"1071", "100000", true},    {"1071", "abc", false},
      {"1040", "2.5", true},       {"1040", "2,5", false},
      {"1000", "any text", true},  {"8", "12x", true},
      {"10", "-.5", true},         {"10", "5.", true},
      {"10", "-", false},          {"10", ".", false},
      {"10", "1.2.3", false},      {"10", "--1", false},
      {"10", "1e", false},         {"10", "4.9e-324", true},
  };
  for (const Case& c : cases) {
    ReadResult result = readAll(inEntities({"0", "LINE", c.code, c.value}));
    EXPECT_EQ(!result.failed, c.good) << c.code << ":" << c.value;
    if (!c.good) {
      EXPECT_EQ(result.error.line, 8) << c.code << ":" << c.value;
    }
  }
  // The 64-bit ends take nineteen digits, one more than the quick read.
  EXPECT_FALSE(
      readAll(inEntities({"0", "LINE", "160", "-9223372036854775808"})).failed);
  EXPECT_TRUE(
      readAll(inEntities({"0", "LINE", "160", "9223372036854775808"})).failed);
  // Long plain decimals: 1e300 is a double, 1e400 is not.
  const std::string e300 = "1" + std::string(300, '0');
  const std::string e400 = "1" + std::string(400, '0');
  EXPECT_FALSE(readAll(inEntities({"0", "LINE", "10", e300.c_str()})).failed);
  EXPECT_TRUE(readAll(inEntities({"0", "LINE", "10", e400.c_str()})).failed);
}

TEST(TagReader, RefusesABrokenFrame) {
  struct Case {
    std::string text;
    int line;
    const char* words;
  };
  const Case cases[] = {
      {lines({"0", "SECTION", "2", "ENTITIES", "0", "LINE"}), 6, "ENDSEC"},
      {lines({"0", "SECTION", "2", "ENTITIES", "0", "SECTION", "2", "X"}), 5,
       "ENDSEC is missing"},
      {lines({"0", "SECTION", "2", "ENTITIES", "0", "EOF"}), 5,
       "ENDSEC is missing"},
      {lines({"0", "SECTION", "2", "ENTITIES", "0", "ENDSEC"}), 6, "EOF"},
      {lines({"0", "LINE", "0", "EOF"}), 1, "expected 0:SECTION"},
      {lines({"0", "SECTION", "8", "ENTITIES"}), 3, "2:<section name>"},
      {lines({"0", "SECTION", "2"}), 3, "no value line"},
      {"", 1, "EOF"},
      {std::string("Drawn\0\0\0", 8) + "\n", 1, "binary"},
      {std::string("SOMECAD Binary DXF\r\n\x1a\0", 22) + "AC1015", 1,
       "binary DXF is not read"},
      {lines({"0", "SECTION", "2", "ENTITIES", "0", "LINE", "8"}) +
           std::string("a\0b\n", 4) + lines({"0", "ENDSEC", "0", "EOF"}),
       8, "NUL byte in the value of group code 8"},
      {lines({"0", "SECTION", "2", "ENTITIES"}) + std::string("1\0\n", 3) +
           lines({"x", "0", "ENDSEC", "0", "EOF"}),
       5, "NUL byte where a group code belongs"},
  };
  for (const Case& c : cases) {
    ReadResult result = readAll(c.text);
    ASSERT_TRUE(result.failed) << c.words;
    EXPECT_EQ(result.error.line, c.line) << result.error.text();
    EXPECT_NE(result.error.message.find(c.words), std::string::npos)
        << result.error.text();
  }
}

TEST(TagReader, StaysFailedAfterAFault) {
  std::string text = inEntities({"0", "LINE", "10", "x", "20", "1.0"});
  dxf::TagReader reader(text);
  dxf::Tag tag;
  while (reader.next(tag)) {
  }
  ASSERT_TRUE(reader.failed());
  EXPECT_FALSE(reader.next(tag));
  EXPECT_EQ(reader.error().line, 8);
}

}  // namespace
