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
