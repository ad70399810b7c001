// The session's page (`--html`): what it shows of each line, where it marks
// a failure, that it needs nothing outside itself, and that a browser draws
// its pictures.
#include <gtest/gtest.h>

#include <cstdlib>
#include <regex>

#include "tests/dxf/dxf_test_support.h"
#include "tests/e2e/run_cadsim.h"

namespace {

int occurrences(const std::string& text, const std::string& word) {
  int count = 0;
  for (std::size_t at = text.find(word); at != std::string::npos;
       at = text.find(word, at + word.size()))
    ++count;
  return count;
}

// Anything a browser would fetch: the page must hold all it shows.
void expectSelfContained(const std::string& page) {
  for (const char* fetch : {"<script", "<link", "<img", "<iframe", "src=",
                            "url(", "@import", "href=\"http", "@font-face"})
    EXPECT_EQ(page.find(fetch), std::string::npos) << fetch;
}

TEST(SessionPage, ShowsLinesOutputPicturesAndFailures) {
  struct Row {
    const char* name;
    const char* script;
    int status;
    int pictures;
    std::vector<std::string> shown;
  };
  const Row rows[] = {
      // xdata of another application and `list` change no picture; a new
      // drawing shows once something is in it; a command names itself.
      {"pictures",
       R"(add L1 LINE
xdata L1 $10 1000:"a"
xdata L1 OTHER 1000:"b"
list
drawing second
add C1 CIRCLE
command COPY C1
add P1 POLYLINE pieces=3
)",
       0,
       5,
       {"data-tag=\"$10\"", "drawing <b>second</b> after <a href=\"#line-6\">",
        "data-command=\"COPY\"", "<polyline points=",
        "<span>&larr; previous</span><a href=\"#picture-2\">next &rarr;</a>",
        "<a href=\"#picture-4\">&larr; previous</a><span>next &rarr;</span>",
        "Exit status 0."}},
      {"failed expectation",
       "add L1 LINE\nexpect L1 tag $10\necho never\n",
       1,
       1,
       {"<div class=\"step failed\" id=\"line-2\">",
        "<p class=\"message\" id=\"failure\">expectation failed: L1 has tag "
        "none, not $10</p>",
        "<div class=\"step echo not-run\" id=\"line-3\">",
        "An expectation failed at <a href=\"#failure\">line 2</a>"}},
      {"error while running",
       "add L1 LINE\nerase L9\n",
       2,
       1,
       {"<div class=\"step failed\" id=\"line-2\">",
        "id=\"failure\">error: unknown label &quot;L9&quot;</p>"}},
      {"script that does not parse",
       "add L1 LINE\nfrobnicate\n",
       2,
       0,
       {"The script does not parse at <a href=\"#failure\">line 2</a>: "
        "nothing ran.",
        "<div class=\"step not-run\" id=\"line-1\">",
        "<div class=\"step failed not-run\" id=\"line-2\">",
        "id=\"failure\">error: unknown verb"}},
      // Violations show at the line where the host found them.
      {"violation",
       "add L1 LINE\nxdata L1 $10 1000:\"a\"\nfault close persistent\n"
       "command COPY L1\nfault off\ncheck\n",
       1,
       3,
       {"<div class=\"step violation\" id=\"line-4\">",
        "<ul class=\"violations\" id=\"violation-1\">",
        "of the host's rules."}},
      {"escaped text",
       "echo \"<b>&\"\n",
       0,
       0,
       {"<pre class=\"output\">&lt;b&gt;&amp;\n</pre>"}},
      // The reader refuses a line that is not UTF-8; the page still shows
      // it, with the bytes it cannot read marked.
      {"bytes that are no text",
       "echo \xff\n",
       2,
       0,
       {"<span class=\"number\">1</span>echo \xEF\xBF\xBD</p>"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const std::string script = row.script;
    const std::string path = dxftest::scratchPath("page.html");
    const RunResult plain = runCadsimProgram("", &script);
    const RunResult paged = runCadsimProgram("--html " + path, &script);
    EXPECT_EQ(paged.status, row.status) << paged.err;
    // The page changes nothing of what the run prints.
    EXPECT_EQ(paged.status, plain.status);
    EXPECT_EQ(paged.out, plain.out);
    EXPECT_EQ(paged.err, plain.err);
    const std::string page = readFile(path);
    ASSERT_EQ(page.rfind("<!DOCTYPE html>", 0), 0u) << page;
    expectSelfContained(page);
    EXPECT_EQ(occurrences(page, "<svg xmlns"), row.pictures);
    EXPECT_EQ(occurrences(page, "<figure class=\"picture\" id=\"picture-"),
              row.pictures);
    for (const std::string& shown : row.shown)
      EXPECT_NE(page.find(shown), std::string::npos) << shown << "\n" << page;
  }
}

TEST(SessionPage, APageThatCannotBeWrittenStopsTheRunBeforeItStarts) {
  const std::string script = "add L1 LINE\necho ran\n";
  const RunResult run =
      runCadsimProgram("--html /nonexistent/folder/page.html", &script);
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err,
            "cadsim: cannot write /nonexistent/folder/page.html: No such "
            "file or directory\n");
}

// Texts read from a file come to the picture in UTF-8 whatever the file's
// encoding, as the host's groups give them.
TEST(SessionPage, DrawsTextReadFromAFileInItsOwnEncoding) {
  REQUIRE_EZDXF();
  for (const char* version : {"R2000", "R2018"}) {
    SCOPED_TRACE(version);
    const std::string drawing = dxftest::scratchPath("encoded.dxf");
    bool ok = false;
    const std::string made = dxftest::runDrawingsScript(
        std::string("encoded ") + version + " " + drawing, ok);
    ASSERT_TRUE(ok) << made;
    const std::string script = "open " + drawing + " other\n";
    const std::string path = dxftest::scratchPath("page.html");
    const RunResult run = runCadsimProgram("--html " + path, &script);
    ASSERT_EQ(run.status, 0) << run.err;
    const std::string page = readFile(path);
    const std::string text = std::string(version) == "R2000"
                                 ? "h\xC3\xA9llo \xE2\x82\xAC"
                                 : "plain \xC3\xA9 \xE4\xB8\xAD\xE6\x96\x87";
    EXPECT_NE(page.find(">" + text + "</text>"), std::string::npos) << page;
  }
}

// A browser draws the demo's page: its pictures are not blank, each part in
// its colour, and the browser's console stays silent.
TEST(SessionPage, TheDemoPageRendersInChromium) {
  if (std::system("command -v chromium >/dev/null 2>&1") != 0)
    FAIL() << "chromium is needed: bash scripts/install-packages.sh test";
  const std::string page = dxftest::scratchPath("demo.html");
  const RunResult run = runCadsimProgram(
      "--html " + page + " " PLIVET_SOURCE_DIR "/examples/demo.cadsim");
  ASSERT_EQ(run.status, 0) << run.err;
  expectSelfContained(readFile(page));

  const std::string profile = dxftest::scratchPath("chromium-profile");
  const std::string shot = dxftest::scratchPath("demo.png");
  const std::string log = dxftest::scratchPath("chromium.log");
  // A shared, slow machine may take long to start a browser; a first start
  // also writes its profile.
  const std::string command =
      "timeout 300 chromium --headless --disable-gpu --no-sandbox "
      "--no-first-run --hide-scrollbars --user-data-dir=" +
      profile +
      " --enable-logging=stderr --v=0 --window-size=1100,6000 "
      "--screenshot=" +
      shot + " file://" + page + " >" + log + " 2>&1";
  const int status = std::system(command.c_str());
  const std::string messages = readFile(log);
  ASSERT_EQ(status, 0) << messages;
  for (const std::string& line : linesOf(messages))
    EXPECT_EQ(line.find(":CONSOLE"), std::string::npos) << line;

  const std::string countsPath = dxftest::scratchPath("colours.json");
  const int counted =
      std::system(("/usr/bin/python3 " PLIVET_SOURCE_DIR
                   "/tests/dxf/png_pixels.py colours " +
                   shot + " 4E79A7 F28E2B BAB0AC >" + countsPath + " 2>&1")
                      .c_str());
  const std::string counts = readFile(countsPath);
  ASSERT_EQ(counted, 0) << counts;
  // The two parts and the objects of none, each drawn in more than a few
  // pixels: a blank picture has none of them.
  const std::regex count("\"([0-9A-F]{6})\": ([0-9]+)");
  int colours = 0;
  for (std::sregex_iterator it(counts.begin(), counts.end(), count), end;
       it != end; ++it, ++colours)
    EXPECT_GT(std::stoi((*it)[2]), 200) << (*it)[1] << " in " << counts;
  EXPECT_EQ(colours, 3) << counts;
}

}  // namespace
