// Text between the file's encoding and UTF-16, and the spelling of numbers:
// what a CAD program reads must come back as the host wrote it.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "dxf/dxf_tag_writer.h"
#include "dxf/dxf_text.h"

namespace {

using dxf::TextEncoding;

std::u16string decoded(const std::string& raw, TextEncoding encoding) {
  std::u16string text;
  EXPECT_TRUE(dxf::decodeText(raw, encoding, text)) << raw;
  return text;
}

TEST(Text, EncodingFollowsVersionAndCodePage) {
  EXPECT_EQ(dxf::textEncodingFor("AC1015", ""), TextEncoding::Windows1252);
  EXPECT_EQ(dxf::textEncodingFor("AC1018", "ansi_1252"),
            TextEncoding::Windows1252);
  EXPECT_EQ(dxf::textEncodingFor("AC1018", "ANSI_1251"),
            TextEncoding::AsciiOnly);
  EXPECT_EQ(dxf::textEncodingFor("AC1021", "ANSI_1251"), TextEncoding::Utf8);
  EXPECT_EQ(dxf::textEncodingFor("AC1032", ""), TextEncoding::Utf8);
}

TEST(Text, BelowAc1021OutsideTheCodePageGoesOutAsEscapes) {
  std::u16string text = u"s\u20ac\u00e9\u03a9\U0001F600";
  std::string raw = dxf::encodeText(text, TextEncoding::Windows1252);
  // The euro sign and e-acute are in the code page; omega and the emoji
  // (as its two UTF-16 halves) are not.
  EXPECT_EQ(raw, "s\x80\xe9\\U+03A9\\U+D83D\\U+DE00");
  EXPECT_EQ(decoded(raw, TextEncoding::Windows1252), text);
  // Another code page: only ASCII goes out as it is.
  std::string ascii = dxf::encodeText(text, TextEncoding::AsciiOnly);
  EXPECT_EQ(ascii, "s\\U+20AC\\U+00E9\\U+03A9\\U+D83D\\U+DE00");
  EXPECT_EQ(decoded(ascii, TextEncoding::AsciiOnly), text);
}

TEST(Text, EscapesReadInEitherCaseAndUtf8FromAc1021) {
  EXPECT_EQ(decoded("s\\U+03a9", TextEncoding::Windows1252), u"s\u03a9");
  EXPECT_EQ(decoded("s\xce\xa9\\U+03A9", TextEncoding::Utf8), u"s\u03a9\u03a9");
  EXPECT_EQ(dxf::encodeText(u"s\u03a9\U0001F600", TextEncoding::Utf8),
            "s\xce\xa9\xf0\x9f\x98\x80");
  // Not an escape: too short, not hexadecimal.
  EXPECT_EQ(decoded("\\U+03", TextEncoding::Windows1252), u"\\U+03");
  EXPECT_EQ(decoded("\\U+03G9", TextEncoding::Windows1252), u"\\U+03G9");
}

TEST(Text, RefusesBytesTheEncodingCannotHold) {
  std::u16string text;
  EXPECT_FALSE(dxf::decodeText("caf\xe9", TextEncoding::AsciiOnly, text));
  EXPECT_FALSE(dxf::decodeText("caf\xe9", TextEncoding::Utf8, text));
  EXPECT_FALSE(dxf::decodeText("\xc3", TextEncoding::Utf8, text));
  EXPECT_FALSE(dxf::decodeText("\xed\xa0\x80", TextEncoding::Utf8, text));
  EXPECT_FALSE(dxf::decodeText("\xc0\xaf", TextEncoding::Utf8, text));
}

TEST(Text, EveryWindows1252ByteSurvives) {
  std::string raw;
  for (int b = 0x20; b < 0x100; ++b)
    if (b != '\\' && b != '^') raw.push_back(static_cast<char>(b));
  std::u16string text = decoded(raw, TextEncoding::Windows1252);
  EXPECT_EQ(dxf::encodeText(text, TextEncoding::Windows1252), raw);
}

TEST(Text, NothingTheHostHoldsCanBreakALineOrReadBackDifferently) {
  const std::u16string samples[] = {u"two\nlines\r",
                                    u"tab\there",
                                    u"caret ^ and ^J and ^^",
                                    u"looks like \\U+0041 but is text",
                                    u"trailing ^",
                                    u"\\U+"};
  for (const std::u16string& text : samples) {
    for (TextEncoding encoding : {TextEncoding::Windows1252, TextEncoding::Utf8,
                                  TextEncoding::AsciiOnly}) {
      std::string raw = dxf::encodeText(text, encoding);
      EXPECT_EQ(raw.find_first_of("\r\n"), std::string::npos);
      EXPECT_EQ(decoded(raw, encoding), text);
    }
  }
  EXPECT_EQ(dxf::encodeText(u"a\nb", TextEncoding::Windows1252), "a^Jb");
}

TEST(TagWriter, SpellsNumbersAsCadProgramsDo) {
  EXPECT_EQ(dxf::formatReal(0.0), "0.0");
  EXPECT_EQ(dxf::formatReal(-0.0), "-0.0");
  EXPECT_EQ(dxf::formatReal(10.0), "10.0");
  EXPECT_EQ(dxf::formatReal(-2.5), "-2.5");
  EXPECT_EQ(dxf::formatReal(0.1), "0.1");
  EXPECT_EQ(dxf::formatReal(1e20), "1e+20");
  EXPECT_EQ(dxf::formatReal(std::nan("")), "0.0");
  for (double value : {0.1 + 0.2, 1.0 / 3.0, 123456.789e-30, -7e300}) {
    std::string text = dxf::formatReal(value);
    EXPECT_EQ(std::stod(text), value) << text;
  }
  std::string out;
  dxf::TagWriter writer(out, false);
  writer.raw(0, "LINE");
  writer.handle(5, 0x2A3F);
  writer.integer(1070, -7);
  writer.real(40, 3);
  writer.text(1000, u"\u03a9", TextEncoding::Windows1252);
  EXPECT_EQ(out, "  0\nLINE\n  5\n2A3F\n1070\n-7\n 40\n3.0\n1000\n\\U+03A9\n");
  std::string crlf;
  dxf::TagWriter(crlf, true).raw(8, "0");
  EXPECT_EQ(crlf, "  8\r\n0\r\n");
}

}  // namespace
