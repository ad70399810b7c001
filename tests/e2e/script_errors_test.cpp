// A bad script stops with "line N: message" and status 2, and nothing of the
// bad line (nor, for a syntax error, of any line) is applied.
#include <gtest/gtest.h>

#include <sstream>

#include "host/sim/host.h"
#include "tests/e2e/run_cadsim.h"
#include "tools/cadsim/session.h"
#include "tools/cadsim/statement.h"

namespace {

using namespace cadsim;

struct BadScript {
  const char* why;
  const char* script;
  int line;
  const char* message;  // a fragment of the message
};

// The earlier lines print something, so output proves whether the run
// started before the error was found.
const BadScript kSyntaxErrors[] = {
    {"unknown verb", "list\nfrobnicate L1\n", 2, "unknown verb"},
    {"verb in quotes", "list\n\"list\"\n", 2, "unknown verb"},
    {"unterminated string", "list\nxdata L1 APP 1000:\"open\n", 2,
     "unterminated string"},
    {"label reused", "add L1 LINE\nlist\nadd L1 CIRCLE\n", 3, "already in use"},
    {"new label with a dot", "list\nadd L1.1 LINE\n", 2, "bad new label"},
    {"reserved word as label", "list\nadd records LINE\n", 2, "reserved"},
    {"unknown type", "list\nadd L1 SPLINE\n", 2, "unknown type"},
    {"pieces on a line", "list\nadd L1 LINE pieces=3\n", 2, "POLYLINE"},
    {"pieces not a number", "list\nadd P1 POLYLINE pieces=3x\n", 2,
     "bad pieces"},
    {"extension dictionary of another type",
     "list\nadd X1 XRECORD extension-of=L1\n", 2, "is a DICTIONARY"},
    {"an entity in a dictionary", "list\nadd L2 LINE in=D1\n", 2,
     "holds a DICTIONARY or an XRECORD"},
    {"two owners", "list\nadd D2 DICTIONARY in=D1 extension-of=L1\n", 2,
     "one owner"},
    {"owner not a label", "list\nadd D2 DICTIONARY in=D1..2\n", 2, "bad label"},
    {"owner expectation without a label", "list\nexpect L1 owner\n", 2,
     "missing"},
    {"item without a code", "list\nxdata L1 APP pipe\n", 2, "bad item"},
    {"unsupported code", "list\nxdata L1 APP 1021:1\n", 2, "unsupported code"},
    {"binary of odd digits", "list\nxdata L1 APP 1004:ABC\n", 2, "1004"},
    {"binary not hex", "list\nxdata L1 APP 1004:0G\n", 2, "hex digits"},
    {"binary over 127 bytes",
     "list\nxdata L1 APP 1004:"
     "AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA"
     "AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA"
     "AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA"
     "AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA\n",
     2, "at most 127 bytes"},
    {"binary quoted", "list\nxdata L1 APP 1004:\"00\"\n", 2, "1004"},
    {"direction of one", "list\nxdata L1 APP 1013:1\n", 2, "1013"},
    {"distance not a number", "list\nxdata L1 APP 1041:far\n", 2, "1041"},
    {"scale quoted", "list\nxdata L1 APP 1042:\"2\"\n", 2, "1042"},
    {"1070 out of range", "list\nxdata L1 APP 1070:40000\n", 2, "1070"},
    {"1071 out of range", "list\nxdata L1 APP 1071:2147483648\n", 2, "1071"},
    {"real not a number", "list\nxdata L1 APP 1040:2,5\n", 2, "1040"},
    {"real in hexadecimal", "list\nxdata L1 APP 1040:0x10\n", 2, "1040"},
    {"point of four", "list\nxdata L1 APP 1010:1,2,3,4\n", 2, "1010"},
    {"point of one", "list\nxdata L1 APP 1010:1\n", 2, "1010"},
    {"unbalanced braces", "list\nxdata L1 APP 1002:{ 1000:\"a\"\n", 2, "1002"},
    {"closing brace first", "list\nxdata L1 APP 1002:} 1002:{\n", 2, "1002"},
    {"handle not hex", "list\nxdata L1 APP 1005:XYZ\n", 2, "1005"},
    {"bad handle label", "list\nerase #XYZ\n", 2, "bad label"},
    {"repeat zero", "list\ncommand COPY L1 repeat=0\n", 2, "bad repeat"},
    {"unknown outcome", "list\ncommand COPY L1 outcome=maybe\n", 2,
     "bad outcome"},
    {"unknown option", "list\ncommand COPY L1 speed=2\n", 2,
     "unexpected option"},
    {"extra word", "list\nlist all\n", 2, "unexpected"},
    {"lisp without what", "list\nlisp\n", 2, "missing"},
    {"close without a name", "list\nclose\n", 2, "missing"},
    {"fault count and persistent", "list\nfault open count=2 persistent\n", 2,
     "exclude"},
    {"tag without $", "list\nexpect L1 tag 10\n", 2, "begins with $"},
    {"expect nonsense", "list\nexpect L1 colour red\n", 2,
     "unknown expectation"},
    {"unknown fault operation", "list\nfault frob\n", 2, "unknown operation"},
    {"text that is not UTF-8", "list\necho \"\xC3\x28\"\n", 2, "UTF-8"},
    // Parse before run: nothing runs, not even a save.
    {"a save before an unknown verb",
     "add L1 LINE\nsave half.dxf\nlist\nfrob\n", 4, "unknown verb \"frob\""},
    // Messages that say what is wrong.
    {"a byte-order mark is skipped", "\xEF\xBB\xBFlist\nfrob\n", 2,
     "unknown verb \"frob\""},
    {"a lone CR ends a line", "list\rlist\rfrob\r", 3, "unknown verb \"frob\""},
    {"label too long",
     "list\nadd "
     "L1234567890123456789012345678901234567890123456789012345678901234 LINE\n",
     2,
     "add: bad new label "
     "\"L1234567890123456789012345678901234567890123456789012345678901234\": "
     "a label is at most 64 characters, not 65"},
    {"label with a leading -", "list\nadd -x LINE\n", 2,
     "add: bad new label \"-x\": a label does not start with -"},
    {"expect on a bad label", "list\nexpect L1.01 tag none\n", 2,
     "expect: bad label \"L1.01\": a copy's number after a dot is a whole "
     "number from 1, with no leading zero, not \"01\""},
    {"pieces twice", "list\nadd P1 POLYLINE pieces=3 pieces=4\n", 2,
     "add: pieces= given twice"},
    {"repeat twice", "list\ncommand COPY L1 repeat=2 repeat=3\n", 2,
     "command: repeat= given twice"},
    {"count twice", "list\nfault open count=2 count=3\n", 2,
     "fault: count= given twice"},
    {"real past a double", "list\nxdata L1 APP 1040:1e-400\n", 2,
     "1040 takes a real number"},
    {"a label's character past ASCII, whole", "list\nadd L\xC3\xA9 LINE\n", 2,
     "add: bad new label \"L\xC3\xA9\": a label is letters, digits, _ and -, "
     "not \"\xC3\xA9\""},
    // Lines that would do nothing.
    {"explode repeated", "list\ncommand EXPLODE L1 repeat=3\n", 2,
     "command: repeat=3: EXPLODE erases what it is given, so it runs once"},
    {"erase repeated", "list\ncommand erase L1 repeat=2\n", 2,
     "command: repeat=2: ERASE erases what it is given"},
};

TEST(ScriptErrors, SyntaxErrorsStopBeforeTheFirstLineRuns) {
  for (const BadScript& bad : kSyntaxErrors) {
    SCOPED_TRACE(bad.why);
    const RunResult run = runInProcess(bad.script);
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.out, "");
    const std::string prefix = "line " + std::to_string(bad.line) + ": ";
    EXPECT_EQ(run.err.rfind(prefix, 0), 0u) << run.err;
    EXPECT_NE(run.err.find(bad.message), std::string::npos) << run.err;
    EXPECT_EQ(linesOf(run.err).size(), 1u) << run.err;
  }
}

const BadScript kRunErrors[] = {
    {"unknown label", "add L1 LINE\necho ran\nerase L2\n", 3,
     "unknown label \"L2\""},
    {"no such handle", "echo ran\nerase #FFFF\n", 2, "no object with handle"},
    {"selection in another drawing",
     "add L1 LINE\necho ran\ndrawing other\ncommand COPY L1\n", 4,
     "not in the current drawing"},
    {"erased selection", "add L1 LINE\nerase L1\necho ran\ndeepclone L1\n", 4,
     "erased"},
    {"selected twice", "add L1 LINE\necho ran\nappend-copy L1 L1\n", 3,
     "twice"},
    {"end without begin", "echo ran\nend COPY\n", 2, "is running"},
    {"lisp end with none running", "echo ran\nlisp end\n", 2,
     "no LISP evaluation is running (lisp begin starts one)"},
    {"lisp cancel after its evaluation ended",
     "lisp begin\nlisp end\necho ran\nlisp cancel\n", 4,
     "no LISP evaluation is running"},
    {"explode a dictionary",
     "add D1 DICTIONARY\necho ran\ncommand EXPLODE D1\n", 3,
     "EXPLODE takes entities, not D1 (DICTIONARY)"},
    {"offset an xrecord",
     "add L1 LINE\nadd X1 XRECORD\necho ran\ncommand offset L1 X1\n", 4,
     "OFFSET takes entities, not X1 (XRECORD)"},
    {"command with no drawing open", "close main\necho ran\ncommand COPY\n", 3,
     "no drawing is open"},
    {"begin with no drawing open", "close main\necho ran\nbegin OFFSET\n", 3,
     "no drawing is open"},
    {"unload twice", "echo ran\nunload\nunload\n", 3, "no module"},
    {"load twice", "echo ran\nload\n", 2, "already loaded"},
    {"load a missing file", "unload\necho ran\nload /nonexistent/x.so\n", 3,
     "cannot load"},
    {"xdata on a missing handle", "echo ran\nxdata #FFFF APP 1000:\"a\"\n", 2,
     "no object"},
    {"expect on an unknown label", "echo ran\nexpect L9 tag none\n", 2,
     "unknown label"},
    {"close an unknown drawing", "echo ran\nclose other\n", 2,
     "no drawing \"other\" is open"},
    {"label of a closed drawing",
     "drawing A\nadd L1 LINE\nclose A\ndrawing A\necho ran\nerase L1\n", 6,
     "L1 was in drawing A, which is closed"},
    {"expect on a label of a closed drawing",
     "add L1 LINE\ndrawing B\nclose main\necho ran\nexpect L1 tag none\n", 5,
     "which is closed"},
    {"add with no drawing open", "close main\necho ran\nadd L1 LINE\n", 3,
     "no drawing is open"},
    {"a second extension dictionary",
     "add L1 LINE\nadd D1 DICTIONARY extension-of=L1\necho ran\n"
     "add D2 DICTIONARY extension-of=L1\n",
     4, "has an extension dictionary already"},
    {"an entry of what is no dictionary",
     "add L1 LINE\necho ran\nadd X1 XRECORD in=L1\n", 3,
     "is a LINE, not a dictionary"},
    {"an owner erased",
     "add L1 LINE\nerase L1\necho ran\n"
     "add D1 DICTIONARY extension-of=L1\n",
     4, "L1 is erased"},
    // Paths.
    {"open a directory", "echo ran\nopen .\n", 2,
     "cannot open \".\": is a directory (the lines before it have run)"},
    {"save to a directory", "echo ran\nsave .\n", 2,
     "cannot save \".\": is a directory (the lines before it have run)"},
    {"load a directory", "unload\necho ran\nload .\n", 3,
     "cannot load \".\": is a directory (the lines before it have run)"},
    {"save where no folder is", "echo ran\nsave /nonexistent/x.dxf\n", 2,
     "cannot save \"/nonexistent/x.dxf\": cannot write "
     "\"/nonexistent/x.dxf\": No such file or directory"},
    // Budget: 51 explosions of 100,000 pieces pass 5,000,000.
    {"past the object budget",
     "add P POLYLINE pieces=100000\ncommand ARRAY P repeat=60\necho ran\n"
     "command EXPLODE P.1 P.2 P.3 P.4 P.5 P.6 P.7 P.8 P.9 P.10 P.11 P.12 P.13 "
     "P.14 P.15 P.16 P.17 P.18 P.19 P.20 P.21 P.22 P.23 P.24 P.25 P.26 P.27 "
     "P.28 P.29 P.30 P.31 P.32 P.33 P.34 P.35 P.36 P.37 P.38 P.39 P.40 P.41 "
     "P.42 P.43 P.44 P.45 P.46 P.47 P.48 P.49 P.50 P.51\n",
     4,
     "this line would make 5100000 objects, past the session's budget of "
     "5000000 (61 made so far; --object-budget raises it) (the lines before "
     "it have run)"},
    // The host's refusals of xdata: the same rule as regapp's.
    {"xdata under a name the host refuses",
     "add L1 LINE\necho ran\nxdata L1 \"A;B\" 1000:\"a\"\n", 3,
     "\"A;B\" is not a valid application name: a name holds none of "
     "<>/\\\":;?*|,=` (it has ;)"},
    {"regapp of a name the host refuses", "echo ran\nregapp \"A;B\"\n", 2,
     "\"A;B\" is not a valid application name: a name holds none of "
     "<>/\\\":;?*|,=` (it has ;)"},
};

TEST(ScriptErrors, RunErrorsNameTheirLineAndStopThere) {
  for (const BadScript& bad : kRunErrors) {
    SCOPED_TRACE(bad.why);
    const RunResult run =
        runInProcess(std::string(bad.script) + "echo after\n");
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.out.find("ran\n"), std::string::npos);
    EXPECT_EQ(run.out.find("after"), std::string::npos);
    const std::string prefix = "line " + std::to_string(bad.line) + ": ";
    EXPECT_EQ(run.err.rfind(prefix, 0), 0u) << run.err;
    EXPECT_NE(run.err.find(bad.message), std::string::npos) << run.err;
  }
}

// Applies the lines of SCRIPT to a session over HOST; the result of the last.
StepResult applyAll(Session& session, const std::string& script,
                    text::Error& error) {
  std::vector<Statement> statements;
  EXPECT_TRUE(parseScript(script, statements, error)) << error.text();
  StepResult result = StepResult::Done;
  for (const Statement& statement : statements) {
    result = session.apply(statement, error);
    if (result != StepResult::Done) break;
  }
  return result;
}

TEST(ScriptErrors, ARefusedLineChangesNothing) {
  using cadsim::Session;
  sim::Host host;
  host.useDrawing("main");
  std::ostringstream out;
  Session session(host, cadsim::SessionOptions(), out);
  text::Error message;
  ASSERT_EQ(
      cadsim::StepResult::Done,
      applyAll(session, "add L1 LINE\nxdata L1 $10 1000:\"a\"\n", message));
  const size_t objects = host.drawingInfo("main").objects.size();
  const size_t regapps = host.drawingInfo("main").regapps.size();

  // Xdata past the host's size limit, under an application not yet known:
  // neither the xdata nor the application stays.
  std::string oversized = "xdata L1 NEWAPP";
  for (int i = 0; i < 70; ++i)
    oversized += " 1000:\"" + std::string(250, 'x') + "\"";
  oversized += "\n";

  // A selection with one bad label copies none of the good ones.
  for (const std::string& line :
       {std::string("command COPY L1 L9\n"), std::string("deepclone L1 L1\n"),
        std::string("append-copy L1 #FFFF\n"),
        std::string("xdata #FFFF NEWAPP 1000:\"b\"\n"),
        std::string("fault open object=L9\n"), std::string("close other\n"),
        std::string("add D1 DICTIONARY extension-of=L9\n"), oversized,
        "xdata L1 NEWAPP 1000:\"" + std::string(256, 'x') + "\"\n",
        "xdata L1 " + std::string(301, 'A') + " 1000:\"a\"\n"}) {
    SCOPED_TRACE(line.substr(0, 40));
    EXPECT_EQ(cadsim::StepResult::ScriptError,
              applyAll(session, line, message));
    EXPECT_EQ(host.drawingInfo("main").objects.size(), objects);
    EXPECT_EQ(host.drawingInfo("main").regapps.size(), regapps);
    EXPECT_EQ(host.commandLine().size(), 0u);
    EXPECT_EQ(host.xdataOf(session.labels().find("L1")->id).size(), 1u);
  }
  EXPECT_EQ(session.labels().find("L1.1"), nullptr);
  // The next good line still works, and its clone is the first of L1.
  EXPECT_EQ(cadsim::StepResult::Done,
            applyAll(session, "deepclone L1\n", message));
  EXPECT_NE(session.labels().find("L1.1"), nullptr);
}

}  // namespace
