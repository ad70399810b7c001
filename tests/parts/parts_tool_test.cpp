// plivet-parts run as a user runs it, on drawings the independent writer
// made: its JSON and exit status for each finding, its refusal of a damaged
// file, and a picture that renders.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "tests/dxf/dxf_test_support.h"

namespace {

using nlohmann::json;

struct ProgramRun {
  int status = -1;
  std::string out;
};

ProgramRun run(const std::string& command) {
  ProgramRun result;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return result;
  char buffer[4096];
  std::size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
    result.out.append(buffer, n);
  int status = pclose(pipe);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

ProgramRun parts(const std::string& arguments) {
  return run(std::string(PLIVET_PARTS_FILE) + " " + arguments);
}

// Writes the drawing and returns the handles ezdxf gave its objects, by
// the names the script uses.
json makeDrawing(const std::string& drawing, const std::string& path) {
  bool ok = false;
  std::string names =
      dxftest::runDrawingsScript("parts " + drawing + " " + path, ok);
  EXPECT_TRUE(ok) << names;
  return ok ? json::parse(names) : json::object();
}

// {NAME} in the expected text stands for that object's handle.
std::string withHandles(std::string text, const json& names) {
  for (auto it = names.begin(); it != names.end(); ++it)
    for (std::size_t at;
         (at = text.find("{" + it.key() + "}")) != std::string::npos;)
      text.replace(at, it.key().size() + 2, it.value().get<std::string>());
  return text;
}

struct AuditCase {
  const char* drawing;
  int status;
  const char* parts;  // the JSON's "parts" and "findings"
  const char* findings;
  const char* line = nullptr;  // a line the human report holds, if given
};

const AuditCase kAuditCases[] = {
    {"clean", 0,
     R"([{"tag":"$A","members":["{L1}","{L2}","{C1}"],"record":["{L1}","{L2}","{C1}"]},)"
     R"({"tag":"$B","members":["{P1}","{A1}"],"record":["{P1}","{A1}"]},)"
     R"({"tag":"$C","members":["{T1}"],"record":null}])",
     "[]"},
    {"record-malformed", 1,
     R"([{"tag":"$A","members":["{L1}"],"record":null}])",
     R"([{"severity":"error","kind":"record-malformed","tag":"$A","handle":"{R}"}])",
     "part $A: 1 member, a malformed record\n"},
    {"dictionary-malformed", 1,
     R"([{"tag":"$A","members":["{L1}"],"record":null}])",
     R"([{"severity":"error","kind":"record-malformed","tag":null,"handle":"{R}"}])"},
    {"tag-not-registered", 1,
     R"([{"tag":"$A","members":["{L1}"],"record":null},)"
     R"({"tag":"$UNLISTED","members":["{L2}"],"record":null}])",
     R"([{"severity":"error","kind":"tag-not-registered","tag":"$UNLISTED","handle":"{L2}"}])"},
    {"record-key-not-registered", 1,
     R"([{"tag":"$A","members":["{L1}"],"record":["{L1}"]},)"
     R"({"tag":"$GONE","members":[],"record":[]}])",
     R"([{"severity":"error","kind":"tag-not-registered","tag":"$GONE","handle":null}])"},
    {"record-member-missing", 0,
     R"([{"tag":"$A","members":["{L1}"],"record":["{L1}","{L2}"]}])",
     R"([{"severity":"note","kind":"record-member-missing","tag":"$A","handle":"{L2}"}])"},
    {"record-member-untagged", 0,
     R"([{"tag":"$A","members":["{L1}"],"record":["{L1}","{L2}"]},)"
     R"({"tag":"$B","members":["{L2}"],"record":null}])",
     R"([{"severity":"note","kind":"record-member-untagged","tag":"$A","handle":"{L2}"}])"},
    {"member-not-recorded", 0,
     R"([{"tag":"$A","members":["{L1}","{L2}"],"record":["{L1}"]}])",
     R"([{"severity":"note","kind":"member-not-recorded","tag":"$A","handle":"{L2}"}])"},
    {"two-tags", 0, R"([{"tag":"$A","members":["{L1}"],"record":null}])",
     R"([{"severity":"note","kind":"two-tags","tag":"$A","handle":"{L1}"}])"},
    // $ab registered, $AB in xdata, a record $aB: the host's one part, named
    // as its APPID table spells it.
    {"tag-case", 0,
     R"([{"tag":"$ab","members":["{L1}","{L2}"],"record":["{L1}","{L2}"]}])",
     "[]", "part $ab: 2 members, a record of 2 handles\n"},
    // No handles in the file: the ones the host gives as it reads it. No
    // record either, which an R12 drawing cannot hold: no finding for that.
    {"r12", 0, R"([{"tag":"$10","members":["F","10"],"record":null}])", "[]"},
};

TEST(PartsTool, ReportsEachFindingWithItsExitStatus) {
  REQUIRE_EZDXF();
  for (const AuditCase& row : kAuditCases) {
    SCOPED_TRACE(row.drawing);
    std::string path = dxftest::scratchPath(std::string(row.drawing) + ".dxf");
    json names = makeDrawing(row.drawing, path);
    ProgramRun report = parts("--json " + path);
    EXPECT_EQ(report.status, row.status);
    EXPECT_EQ(report.out,
              withHandles(
                  std::string(R"({"file":")") + path + R"(","parts":)" +
                      row.parts + R"(,"findings":)" + row.findings +
                      R"(,"generator":{"program":"plivet-parts","version":")" +
                      PLIVET_VERSION + "\"}}\n",
                  names));
    if (row.line != nullptr) {
      const std::string human = parts(path).out;
      EXPECT_NE(human.find(withHandles(row.line, names)), std::string::npos)
          << human;
    }
  }
}

TEST(PartsTool, PrintsItsVersion) {
  const ProgramRun version = parts("--version");
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, std::string("plivet-parts ") + PLIVET_VERSION + "\n");
}

// The same words and line as the runner's `open`, and nothing on standard
// output for a script to mistake for a report.
TEST(PartsTool, RefusesADamagedFileAsTheRunnerDoes) {
  REQUIRE_EZDXF();
  std::string path = dxftest::scratchPath("damaged.dxf");
  json names = makeDrawing("clean", path);
  std::string text = dxftest::readFile(path);
  const std::string handle = "\n  5\n" + names["L1"].get<std::string>() + "\n";
  struct Damage {
    const char* name;
    std::string text;
  };
  const Damage damages[] = {
      {"bad handle",
       text.replace(text.find(handle), handle.size(), "\n  5\nZZ\n")},
      {"cut short", text.substr(0, text.size() / 2)},
  };
  for (const Damage& damage : damages) {
    SCOPED_TRACE(damage.name);
    dxftest::writeFile(path, damage.text);
    std::string script = dxftest::scratchPath("open.cadsim");
    dxftest::writeFile(script, "open \"" + path + "\"\n");
    ProgramRun runner =
        run(std::string(PLIVET_CADSIM_FILE) + " " + script + " 2>&1");
    ProgramRun refused = parts(path + " 2>&1");
    EXPECT_EQ(refused.status, 2);
    const std::string prefix = "plivet-parts: ";
    ASSERT_EQ(refused.out.rfind(prefix, 0), 0u) << refused.out;
    std::string message = refused.out.substr(prefix.size());
    if (!message.empty() && message.back() == '\n') message.pop_back();
    EXPECT_NE(message.find(": line "), std::string::npos) << message;
    EXPECT_NE(runner.out.find(message), std::string::npos)
        << runner.out << " against " << message;
  }
  const std::string folder = std::filesystem::path(path).parent_path();
  ProgramRun refused = parts(folder + " 2>&1");
  EXPECT_EQ(refused.status, 2);
  EXPECT_EQ(refused.out, "plivet-parts: cannot open \"" + folder +
                             "\": " + folder + ": is a directory\n");
}

int inkOf(const std::string& svg, const std::string& name) {
  std::string svgPath = dxftest::scratchPath(name + ".svg");
  std::string pngPath = dxftest::scratchPath(name + ".png");
  dxftest::writeFile(svgPath, svg);
  ProgramRun convert =
      run("rsvg-convert -z 0.5 -o " + pngPath + " " + svgPath + " 2>&1");
  EXPECT_EQ(convert.status, 0) << convert.out;
  bool ok = false;
  std::string count = dxftest::runDrawingsScript("ink " + pngPath, ok);
  EXPECT_TRUE(ok) << count;
  return ok ? std::stoi(count) : 0;
}

bool haveRenderer() {
  if (run("rsvg-convert --version >/dev/null 2>&1").status == 0) return true;
  const char* ci = std::getenv("CI");
  EXPECT_FALSE(ci != nullptr && std::string(ci) == "true")
      << "rsvg-convert is needed: apt-get install librsvg2-bin";
  return false;
}

TEST(PartsTool, DrawsEachPartInAGroupThatRenders) {
  REQUIRE_EZDXF();
  if (!haveRenderer()) GTEST_SKIP() << "rsvg-convert is not installed";
  std::string path = dxftest::scratchPath("picture.dxf");
  makeDrawing("clean", path);
  std::string svgPath = dxftest::scratchPath("picture.svg");
  ASSERT_EQ(parts("--svg " + svgPath + " " + path).status, 0);
  std::string svg = dxftest::readFile(svgPath);
  for (const char* tag : {"$A", "$B", "$C"})
    EXPECT_NE(svg.find(std::string("<g class=\"part\" data-tag=\"") + tag),
              std::string::npos)
        << tag;
  // The 2D polyline's vertices follow it as entities of their own; MTEXT's
  // text is decoded and its paragraph break starts a line.
  std::size_t polylines = 0;
  for (std::size_t at = 0;
       (at = svg.find("<polyline ", at)) != std::string::npos; ++at)
    ++polylines;
  EXPECT_EQ(polylines, 4u);  // two lines and the two polylines
  EXPECT_NE(svg.find(">caf\xC3\xA9</tspan><tspan "), std::string::npos);
  // The legend alone would make the image look drawn: take it out.
  std::size_t legend = svg.find("<g id=\"legend\"");
  ASSERT_NE(legend, std::string::npos);
  std::string drawingOnly = svg.substr(0, legend) + "</svg>\n";
  int drawn = inkOf(drawingOnly, "drawing-only");
  EXPECT_GT(drawn, 200);
  EXPECT_GT(inkOf(svg, "whole"), drawn);
}

// A box of the drawing, in drawing units, and what its pixels show: "ink"
// (anything but white), "white", or the colour of its most inked pixel.
struct Probe {
  double x0, y0, x1, y1;
  const char* shows;
};

// A point give or take half a unit, four pixels at the picture's scale.
constexpr Probe at(double x, double y, const char* shows) {
  return Probe{x - 0.7, y - 0.7, x + 0.7, y + 0.7, shows};
}

struct PictureCase {
  const char* drawing;  // drawings.py picture CASE, or another writer's
  std::vector<Probe> probes;
  std::vector<const char*> svgHolds;
  const char* writer = nullptr;  // the program that writes it, if not ezdxf
};

const char kFirstPart[] = "#4E79A7";
const char kSecondPart[] = "#F28E2B";

// Each drawing's view is its part $F's two points, (0, 0) and (100, 100).
const PictureCase kPictureCases[] = {
    // Placed at (50, 50), turned a quarter and doubled, in its part's
    // colour; not where the block alone would put it.
    {"picture insert",
     {at(50, 60, kFirstPart), at(50, 80, kFirstPart), at(60, 50, "white")},
     {}},
    {"picture nested",
     {at(20, 35, "ink"), at(35, 20, "ink"), at(35, 35, "white")},
     {}},
    {"picture blowup", {}, {">1 insert drawn in part: over 200000 shapes<"}},
    {"picture dimension",
     {at(20, 50, "ink"), at(30, 60, "ink"), at(50, 45, "white")},
     {}},
    {"picture ellipse",
     {at(80, 50, "ink"), at(50, 65, "ink"), at(50, 80, "white")},
     {}},
    // From control points and knots; from fit points alone.
    {"picture spline",
     {at(50, 70, "ink"), at(50, 45, "ink"), at(50, 90, "white")},
     {}},
    // Outlines, not filled; a polyline boundary and one of edges, its arc
    // clockwise.
    {"picture hatch",
     {at(25, 10, "ink"), at(25, 25, "white"), at(75, 25, "ink"),
      at(64.4, 20.6, "ink")},
     {}},
    // A SOLID's corners run crosswise: a square, not a bow tie.
    {"picture faces",
     {at(25, 10, "ink"), at(75, 40, "ink"), at(75, 25, "white"),
      at(50, 60, "ink"), at(90, 75, "ink")},
     {}},
    {"picture bulges",
     {at(50, 20, "ink"), at(50, 80, "ink"), at(50, 40, "white"),
      at(50, 60, "white")},
     {}},
    // Turned a quarter: up from (50, 50), not along.
    {"picture text",
     {Probe{41, 55, 49, 75, "ink"}, Probe{55, 51, 75, 59, "white"}},
     {"rotate(-90.00 ", ">AB</tspan>", ">CD EF1/2</tspan>"}},
    // Far and absurd objects of no part neither shrink the parts nor show.
    {"picture outliers",
     {at(50, 50, kSecondPart)},
     {">1 object of no part outside the view: not drawn<",
      ">3 objects with coordinates out of range: not drawn<"}},
    {"picture spaces",
     {at(50, 50, kFirstPart)},
     {">1 member in paper space: not drawn (model space only)<",
      ">2 members in block definitions: not drawn<"}},
    // Thirteen parts: the eight largest in the legend in colours of their
    // own, the rest in one; each titled.
    {"picture many",
     {at(7, 10, "#4D4D4D"), at(95, 10, "#FF9DA7")},
     {">5 more parts (12)<", "<title>$P0 (1 member)</title>", ">$P11 (12)<"}},
};

// The colours are near enough when no channel is off by more than an
// edge's smoothing.
bool sameColour(const std::string& seen, const std::string& wanted) {
  if (wanted == "ink") return seen != "white";
  if (seen.size() != 7 || wanted.size() != 7 || seen[0] != '#')
    return seen == wanted;
  for (int channel = 0; channel < 3; ++channel) {
    const int a = std::stoi(seen.substr(1 + 2 * channel, 2), nullptr, 16);
    const int b = std::stoi(wanted.substr(1 + 2 * channel, 2), nullptr, 16);
    if (std::abs(a - b) > 24) return false;
  }
  return true;
}

TEST(PartsTool, DrawsWhatOrdinaryDrawingsHoldWhereTheirGeometrySays) {
  REQUIRE_EZDXF();
  if (!haveRenderer()) GTEST_SKIP() << "rsvg-convert is not installed";
  // The view's 100 units fill 600 pixels, after a margin of 20.
  auto pixelX = [](double x) { return 20 + 6 * x; };
  auto pixelY = [](double y) { return 20 + 6 * (100 - y); };
  for (const PictureCase& row : kPictureCases) {
    SCOPED_TRACE(row.drawing);
    if (row.writer != nullptr &&
        run(std::string("command -v ") + row.writer + " >/dev/null").status !=
            0)
      continue;  // the other writers' tests say what is missing
    std::string name = row.drawing;
    std::replace(name.begin(), name.end(), ' ', '-');
    const std::string path = dxftest::scratchPath(name + ".dxf");
    bool ok = false;
    std::string made =
        dxftest::runDrawingsScript(std::string(row.drawing) + " " + path, ok);
    ASSERT_TRUE(ok) << made;
    const std::string svgPath = dxftest::scratchPath(name + ".svg");
    const std::string pngPath = dxftest::scratchPath(name + ".png");
    ASSERT_LE(parts("--svg " + svgPath + " " + path).status, 1);
    const std::string svg = dxftest::readFile(svgPath);
    for (const char* piece : row.svgHolds)
      EXPECT_NE(svg.find(piece), std::string::npos) << piece;
    EXPECT_EQ(svg.find("): not drawn<"), std::string::npos)
        << "a kind left undrawn";
    EXPECT_EQ(svg.find("nan"), std::string::npos) << "a number lost";
    if (row.probes.empty()) continue;
    ASSERT_EQ(run("rsvg-convert -o " + pngPath + " " + svgPath).status, 0);
    std::string boxes;
    for (const Probe& probe : row.probes)
      boxes += " " + std::to_string(pixelX(probe.x0)) + "," +
               std::to_string(pixelY(probe.y1)) + "," +
               std::to_string(pixelX(probe.x1)) + "," +
               std::to_string(pixelY(probe.y0));
    std::string seen =
        dxftest::runDrawingsScript("probe " + pngPath + boxes, ok);
    ASSERT_TRUE(ok) << seen;
    const json colours = json::parse(seen);
    ASSERT_EQ(colours.size(), row.probes.size());
    for (std::size_t i = 0; i < row.probes.size(); ++i) {
      const Probe& probe = row.probes[i];
      EXPECT_TRUE(sameColour(colours[i].get<std::string>(), probe.shows))
          << "at " << (probe.x0 + probe.x1) / 2 << ","
          << (probe.y0 + probe.y1) / 2 << ": " << colours[i] << ", not "
          << probe.shows;
    }
  }
}

}  // namespace
