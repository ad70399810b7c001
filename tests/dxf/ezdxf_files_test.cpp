// Files written by the independent reader come back byte for byte, and
// what we complete and write it reads without repairs.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <set>

#include "dxf/dxf_document_reader.h"
#include "dxf/dxf_document_writer.h"
#include "dxf/dxf_skeleton.h"
#include "tests/dxf/dxf_test_support.h"

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

}  // namespace
