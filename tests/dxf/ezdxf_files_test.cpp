// Files written by the independent reader come back byte for byte, and
// what we complete and write it reads without repairs.
#include <gtest/gtest.h>

#include <cmath>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>

#include "dxf/dxf_document_reader.h"
#include "dxf/dxf_document_writer.h"
#include "dxf/dxf_skeleton.h"
#include "tests/dxf/dxf_test_support.h"
#include "tests/dxf/ezdxf_checks.h"
#include "tools/cadsim/run_session.h"

namespace {

using nlohmann::json;

json dumpOf(const std::string& path) {
  bool ok = false;
  std::string output = dxftest::runDrawingsScript("dump " + path, ok);
  EXPECT_TRUE(ok) << output;
  return ok ? json::parse(output) : json::object();
}

TEST(EzdxfFiles, AnUntouchedDrawingIsWrittenBackByteForByte) {
  REQUIRE_EZDXF();
  std::string in = dxftest::scratchPath("tagged.dxf");
  bool ok = false;
  dxftest::runDrawingsScript("tagged " + in, ok);
  ASSERT_TRUE(ok);
  dxf::Document document;
  text::Error error;
  ASSERT_TRUE(dxf::readDocumentFile(in, document, error)) << error.text();
  std::string original = dxftest::readFile(in);
  // The drawing carries every xdata group code and a binary xrecord item.
  for (const char* code : {"1004", "1011", "1012", "1013", "1041", "1042"})
    EXPECT_NE(original.find(std::string("\n") + code + "\n"), std::string::npos)
        << code;
  EXPECT_NE(original.find("\n310\n01AB\n"), std::string::npos);
  EXPECT_EQ(dxf::writeDocument(document), original);
  // Completing a drawing that is already whole changes nothing either.
  dxf::completeSkeleton(document);
  EXPECT_EQ(dxf::writeDocument(document), original);
}

TEST(EzdxfFiles, AMinimalDrawingIsCompletedIntoOneOtherProgramsRead) {
  REQUIRE_EZDXF();
  std::string in = dxftest::scratchPath("minimal.dxf");
  std::string out = dxftest::scratchPath("minimal-completed.dxf");
  bool ok = false;
  dxftest::runDrawingsScript("minimal " + in, ok);
  ASSERT_TRUE(ok);
  dxf::Document document;
  text::Error error;
  ASSERT_TRUE(dxf::readDocumentFile(in, document, error)) << error.text();
  dxf::completeSkeleton(document);
  ASSERT_TRUE(dxf::writeDocumentFile(document, out, error)) << error.text();

  json seen = dumpOf(out);
  ASSERT_TRUE(seen.contains("raw"));
  EXPECT_EQ(seen["audit"]["errors"], 0);
  EXPECT_EQ(seen["audit"]["fixes"], 0);
  EXPECT_EQ(seen["raw"]["tables"],
            json({"VPORT", "LTYPE", "LAYER", "STYLE", "VIEW", "UCS", "APPID",
                  "DIMSTYLE", "BLOCK_RECORD"}));
  EXPECT_EQ(seen["raw"]["blocks"], json({"*Model_Space", "*Paper_Space"}));

  // The root dictionary comes first, with the group and layout dictionaries,
  // and each layout names its space's block record and back.
  const json& raw = seen["raw"]["objects"];
  std::string root = seen["raw"]["first_object"];
  EXPECT_EQ(seen["rootdict"], root);
  const json& entries = seen["objects"][root]["entries"];
  ASSERT_TRUE(entries.contains("ACAD_GROUP"));
  ASSERT_TRUE(entries.contains("ACAD_LAYOUT"));
  const json& layouts =
      seen["objects"][entries["ACAD_LAYOUT"].get<std::string>()]["entries"];
  ASSERT_TRUE(layouts.contains("Model"));
  ASSERT_TRUE(layouts.contains("Layout1"));
  std::string modelRecord = seen["layouts"]["Model"];
  EXPECT_EQ(raw[modelRecord][0], "BLOCK_RECORD");
  bool pointsBack = false;
  for (const json& tag : raw[modelRecord][1])
    if (tag[0] == 340 && tag[1] == layouts["Model"]) pointsBack = true;
  EXPECT_TRUE(pointsBack);

  // Entities that came without handle or owner have both; the one that
  // came with a handle keeps it; the seed lies past every handle; the
  // application named in xdata is registered.
  std::set<std::string> handles;
  unsigned long highest = 0;
  for (auto it = raw.begin(); it != raw.end(); ++it) {
    handles.insert(it.key());
    highest = std::max(highest, std::stoul(it.key(), nullptr, 16));
  }
  EXPECT_GT(std::stoul(seen["handseed"].get<std::string>(), nullptr, 16),
            highest);
  int entities = 0;
  for (auto it = seen["objects"].begin(); it != seen["objects"].end(); ++it) {
    const json& object = it.value();
    if (object["type"] != "LINE" && object["type"] != "CIRCLE") continue;
    ++entities;
    EXPECT_EQ(object["owner"], modelRecord) << it.key();
    if (object["type"] == "LINE") {
      EXPECT_EQ(it.key(), "20");
    }
  }
  EXPECT_EQ(entities, 2);
  bool registered = false;
  for (const json& app : seen["appids"])
    if (app == "UNLISTED") registered = true;
  EXPECT_TRUE(registered);
}

// Numbers within 1e-9, relative above 1; everything else equal.
bool near(const json& a, const json& b) {
  if (a.is_number() && b.is_number()) {
    const double x = a.get<double>(), y = b.get<double>();
    return std::fabs(x - y) <=
           1e-9 * std::max({1.0, std::fabs(x), std::fabs(y)});
  }
  if (a.type() != b.type() || a.size() != b.size()) return false;
  if (a.is_object()) {
    for (auto it = a.begin(); it != a.end(); ++it)
      if (!b.contains(it.key()) || !near(it.value(), b[it.key()])) return false;
    return true;
  }
  if (a.is_array()) {
    for (std::size_t i = 0; i < a.size(); ++i)
      if (!near(a[i], b[i])) return false;
    return true;
  }
  return a == b;
}

// Each command applied by a session to one entity of every type the host
// moves: the saved drawing reads back in the independent reader as that
// reader's own transform of the original draws it, in world coordinates.
// The ELLIPSE keeps its geometry. In place, every group but the
// coordinates stays as it came; copies are compared once their sources are
// erased.
TEST(EzdxfFiles, WhatTheHostsCommandsMoveReadsBackWhereTheyPutIt) {
  REQUIRE_EZDXF();
  struct Row {
    const char* command;  // and its placement
    const char* place;    // drawings.py's place OP ARG...
    bool copies;
  };
  const Row rows[] = {
      {"MOVE by=10,-20,5", "move 10 -20 5", false},
      {"ROTATE angle=30 about=1,2", "rotate 30 1 2", false},
      {"SCALE factor=2.5 about=-1,3", "scale 2.5 -1 3", false},
      {"MIRROR axis=1,1,4,5", "mirror 1 1 4 5", true},
      {"COPY by=3,4", "move 3 4 0", true},
  };
  const std::string in = dxftest::scratchPath("shapes.dxf");
  bool ok = false;
  const json handles =
      json::parse(dxftest::runDrawingsScript("shapes " + in, ok));
  ASSERT_TRUE(ok);
  std::string selection, erase;
  for (auto it = handles.begin(); it != handles.end(); ++it) {
    selection += " #" + it.value().get<std::string>();
    erase += "erase #" + it.value().get<std::string>() + "\n";
  }
  const json before = dxftest::dumpOf(in);
  for (const Row& row : rows) {
    SCOPED_TRACE(row.command);
    const std::string saved = dxftest::scratchPath("shapes-saved.dxf");
    const std::string theirs = dxftest::scratchPath("shapes-theirs.dxf");
    std::istringstream words(row.command);
    std::string name, placement;
    words >> name;
    std::getline(words, placement);
    cadsim::SessionOptions options;
    options.loadModule = false;
    std::ostringstream out, err;
    ASSERT_EQ(cadsim::runSession("open \"" + in + "\"\ncommand " + name +
                                     selection + " " + placement + "\n" +
                                     (row.copies ? erase : "") + "save \"" +
                                     saved + "\"\n",
                                 options, out, err),
              cadsim::kExitOk)
        << err.str();
    dxftest::runDrawingsScript("place " + in + " " + theirs + " " + row.place,
                               ok);
    ASSERT_TRUE(ok);
    const json ours =
        json::parse(dxftest::runDrawingsScript("geometry " + saved, ok));
    const json expected =
        json::parse(dxftest::runDrawingsScript("geometry " + theirs, ok));
    EXPECT_EQ(ours.size(), handles.size());
    for (auto it = expected.begin(); it != expected.end(); ++it)
      EXPECT_TRUE(ours.contains(it.key()) && near(ours[it.key()], it.value()))
          << it.key() << ": ours " << ours.value(it.key(), json()) << ", "
          << it.value();
    if (row.copies) continue;
    const json after = dxftest::dumpOf(saved);
    dxftest::expectSound(after);
    const std::set<int> coordinates = {10, 20, 30, 11, 21, 31, 38,
                                       51, 40, 41, 42, 43, 50};
    for (auto it = handles.begin(); it != handles.end(); ++it) {
      const std::string handle = it.value();
      auto others = [&coordinates](const json& tags) {
        json kept = json::array();
        for (const json& tag : tags)
          if (!coordinates.count(tag[0].get<int>())) kept.push_back(tag);
        return kept;
      };
      EXPECT_EQ(others(before["raw"]["objects"][handle][1]),
                others(after["raw"]["objects"][handle][1]))
          << it.key();
    }
  }
}

// EXPLODE of a lightweight and an old-style polyline read from a file: the
// lines and arcs it leaves are the pieces the independent reader makes of
// them, bulges of either sign, the elevation and the closing segment
// included.
TEST(EzdxfFiles, AnExplodedPolylineLeavesThePiecesTheReaderDrawsOfIt) {
  REQUIRE_EZDXF();
  const std::string in = dxftest::scratchPath("shapes-explode.dxf");
  const std::string saved = dxftest::scratchPath("shapes-exploded.dxf");
  bool ok = false;
  const json handles =
      json::parse(dxftest::runDrawingsScript("shapes " + in, ok));
  ASSERT_TRUE(ok);
  cadsim::SessionOptions options;
  options.loadModule = false;
  std::ostringstream out, err;
  ASSERT_EQ(
      cadsim::runSession("open \"" + in + "\"\ncommand EXPLODE #" +
                             handles["LWPOLYLINE"].get<std::string>() + " #" +
                             handles["POLYLINE"].get<std::string>() +
                             "\nsave \"" + saved + "\"\n",
                         options, out, err),
      cadsim::kExitOk)
      << err.str();
  const json ours =
      json::parse(dxftest::runDrawingsScript("segments " + saved, ok));
  const json theirs =
      json::parse(dxftest::runDrawingsScript("segments " + in, ok));
  EXPECT_EQ(ours.size(), 7u);  // the file's LINE and ARC, five pieces
  EXPECT_TRUE(near(ours, theirs)) << ours << "\n" << theirs;
}

}  // namespace
