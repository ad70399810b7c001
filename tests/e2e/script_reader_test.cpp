// What the reader accepts: comments, blank lines, CRLF line ends, quoted
// text holding the language's own separators, and items written back in the
// form they were read.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "tests/e2e/run_cadsim.h"

namespace {

TEST(ScriptReader, CommentsBlanksAndLineEnds) {
  const RunResult run = runInProcess(
      "# a comment line\r\n"
      "\r\n"
      "   # an indented comment\n"
      "add L1 LINE   # a trailing comment\r\n"
      "\t\n"
      "xdata L1 $10 1000:\"a # not a comment\"\n"
      "expect L1 xdata $10 1000:\"a # not a comment\" #\n"
      "echo done");  // no line end at the very end
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "done\n");
}

TEST(ScriptReader, QuotedTextKeepsSeparatorsAndEscapes) {
  const RunResult run = runInProcess(
      "add L1 LINE\n"
      "xdata L1 \"MY APP\" 1000:\"say \\\"hi\\\": x=y\" 1000:\"back\\\\slash\" "
      "1000:\"\" 1003:bare\n"
      "expect L1 xdata \"MY APP\" 1000:\"say \\\"hi\\\": x=y\" "
      "1000:\"back\\\\slash\" 1000:\"\" 1003:\"bare\"\n"
      "list\n"
      "dump\n");
  ASSERT_EQ(run.status, 0) << run.err;
  // The listing writes items in the script's own syntax.
  EXPECT_NE(run.out.find("MY APP 1000:\"say \\\"hi\\\": x=y\" "
                         "1000:\"back\\\\slash\" 1000:\"\" 1003:\"bare\""),
            std::string::npos)
      << run.out;
  const std::vector<std::string> lines = linesOf(run.out);
  const auto dump = nlohmann::json::parse(lines.back());
  EXPECT_EQ(dump["drawings"][0]["objects"][1]["xdata"][0]["items"][0][1],
            "say \"hi\": x=y");
}

// A quoted word as written, and the text it gives. Backslashes are text
// (Windows paths read as typed), except a run of them before a quote: each
// pair there is one backslash, and one left over makes the quote text.
struct QuotedWord {
  const char* written;
  const char* text;
};

const QuotedWord kQuotedWords[] = {
    {R"("say \"hi\": x=y")", "say \"hi\": x=y"},
    {R"("C:\drawings\new.dxf")", R"(C:\drawings\new.dxf)"},
    {R"("\\server\CAD Projekte\Plan 1.dxf")",
     R"(\\server\CAD Projekte\Plan 1.dxf)"},
    {R"("\\?\Z:\deep\a.dxf")", R"(\\?\Z:\deep\a.dxf)"},
    {R"("C:\drawings\\")", R"(C:\drawings\)"},
    {R"("a\\\"b\\\\")", R"(a\"b\\)"},
    {R"("back\\slash")", R"(back\\slash)"},
    {R"("a\qb")", R"(a\qb)"},
    {R"(pre"\"fix")", R"(pre"fix)"},
};

TEST(ScriptReader, QuotedWordsReadAsWrittenAndListBackTheSame) {
  for (const QuotedWord& word : kQuotedWords) {
    SCOPED_TRACE(word.written);
    const RunResult run =
        runInProcess(std::string("add L1 LINE\n") +
                     "xdata L1 APP 1000:" + word.written + "\nlist\ndump\n");
    ASSERT_EQ(run.status, 0) << run.err;
    const std::vector<std::string> lines = linesOf(run.out);
    const auto dump = nlohmann::json::parse(lines.back());
    for (const auto& object : dump["drawings"][0]["objects"]) {
      if (object["label"] == "L1") {
        EXPECT_EQ(object["xdata"][0]["items"][0][1], word.text);
      }
    }
    // The listing writes the text so that it reads back the same.
    std::string listed;
    for (const std::string& line : lines)
      if (line.find("      APP ") == 0) listed = line.substr(10);
    const RunResult again =
        runInProcess(std::string("add L1 LINE\nxdata L1 APP 1000:") +
                     word.written + "\nexpect L1 xdata APP " + listed + "\n");
    EXPECT_EQ(again.status, 0) << again.err << listed;
  }
}

std::string utf16Bytes(const std::u16string& text, bool bigEndian) {
  std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
  for (char16_t unit : text) {
    const char high = static_cast<char>(unit >> 8);
    const char low = static_cast<char>(unit & 0xFF);
    bytes += bigEndian ? high : low;
    bytes += bigEndian ? low : high;
  }
  return bytes;
}

// Notepad's "UTF-16" and PowerShell 5's > write a byte-order mark and
// two bytes a unit; such a script reads as its text, in either order.
TEST(ScriptReader, Utf16ScriptsReadAsTheirText) {
  const std::u16string script =
      u"echo Gr\u00F6\u00DFe \U0001D11E\r\nadd L1 LINE\nexpect L1 tag none\n";
  for (bool bigEndian : {false, true}) {
    const RunResult run = runInProcess(utf16Bytes(script, bigEndian));
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out,
              "Gr\xC3\xB6\xC3\x9F"
              "e \xF0\x9D\x84\x9E\n");
  }
  // A unit that is no character: its line, and what to do.
  const std::string lone =
      utf16Bytes(std::u16string(u"echo a\n") + char16_t(0xD800) + u"\n", false);
  const std::string odd = utf16Bytes(u"echo a\r\necho b\n", false) + "x";
  for (const std::string& bad : {lone, odd}) {
    const RunResult run = runInProcess(bad);
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err.rfind(bad == lone ? "line 2: the script is UTF-16"
                                        : "line 3: the script is UTF-16",
                            0),
              0u)
        << run.err;
    EXPECT_NE(run.err.find("save it as UTF-8"), std::string::npos);
  }
}

TEST(ScriptReader, ItemsReadBackExactly) {
  // Reals and points go through text in the listing; what the listing
  // writes must read back as the same numbers.
  const RunResult run = runInProcess(
      "add L1 LINE\n"
      "xdata L1 APP 1040:0.1 1040:-1e-300 1040:123456789.123456789 "
      "1010:0.3,-2,1e10 1070:-32768 1071:-2147483648 1004:0aff 1004: "
      "1011:0.3,-2 1012:1e-5,0,1 1013:0,0,-1 1041:0.1 1042:-3\n"
      "list\n");
  ASSERT_EQ(run.status, 0) << run.err;
  std::string itemsLine;
  for (const std::string& line : linesOf(run.out))
    if (line.find("      APP ") == 0) itemsLine = line.substr(10);
  ASSERT_FALSE(itemsLine.empty()) << run.out;
  const RunResult again = runInProcess(
      "add L1 LINE\nxdata L1 APP 1040:0.1 1040:-1e-300 "
      "1040:123456789.123456789 1010:0.3,-2,1e10 1070:-32768 "
      "1071:-2147483648 1004:0aff 1004: 1011:0.3,-2 1012:1e-5,0,1 1013:0,0,-1 "
      "1041:0.1 1042:-3\nexpect L1 xdata APP " +
      itemsLine + "\n");
  EXPECT_EQ(again.status, 0) << again.err << itemsLine;
}

TEST(ScriptReader, LabelsOfAnyDrawingButSelectionsOfTheCurrentOne) {
  const RunResult run = runInProcess(
      "add L1 LINE\nxdata L1 $10 1000:\"a\"\ndrawing other\n"
      "xdata L1 APP 1000:\"set from elsewhere\"\nexpect L1 tag $10\n"
      "erase L1\ndrawing main\nexpect erased L1\n");
  EXPECT_EQ(run.status, 0) << run.err;
}

}  // namespace
