// A drawing written by the independent reader is opened in the host, the
// module splits copied parts off with COPY and EXPLODE, and the saved file
// is read back by the independent reader: its content is checked directly.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <nlohmann/json.hpp>
#include <set>

#include "module/module_entry.h"
#include "tests/dxf/dxf_test_support.h"
#include "tests/dxf/ezdxf_checks.h"
#include "tests/support/host_test.h"

namespace {

using dxftest::dumpOf;
using dxftest::expectSound;
using nlohmann::json;

json xdataOf(const json& object, const std::string& app) {
  for (const json& block : object["xdata"])
    if (block[0] == app) return block[1];
  return json();
}

class RoundTrip : public HostTest {
 protected:
  void openTagged() {
    input_ = dxftest::scratchPath("round-trip-in.dxf");
    bool ok = false;
    dxftest::runDrawingsScript("tagged " + input_, ok);
    ASSERT_TRUE(ok);
    text::Error error;
    ASSERT_TRUE(host().openDrawingFile(input_, "user", error)) << error.text();
    ASSERT_TRUE(host().loadModule(&acrxEntryPoint, error)) << error.text();
  }
  AcDbObjectId byHandle(const std::string& hex) {
    return host().idFromHandle(hex);
  }
  std::string input_;
};

TEST_F(RoundTrip, OpensWhatTheFileHolds) {
  REQUIRE_EZDXF();
  openTagged();
  EXPECT_EQ(host().currentDrawingName(), "user");
  sim::DrawingInfo info = host().drawingInfo("user");
  // The file's handles, owners and types.
  std::map<std::string, sim::ObjectInfo> objects;
  for (const sim::ObjectInfo& object : info.objects)
    objects[object.handle] = object;
  ASSERT_TRUE(objects.count("31"));
  EXPECT_EQ(objects["31"].type, "LINE");
  EXPECT_EQ(objects["32"].type, "POLYLINE");
  EXPECT_EQ(objects["32"].pieces, 3);
  EXPECT_EQ(objects["33"].type, "CIRCLE");
  EXPECT_EQ(objects["36"].type, "XRECORD");
  EXPECT_EQ(objects["36"].ownerHandle, "35");
  // Xdata with its types; the escape reads as the character it names.
  ASSERT_EQ(objects["31"].xdata.size(), 2u);
  EXPECT_EQ(objects["31"].xdata[0].app, "$10");
  EXPECT_EQ(objects["31"].xdata[0].items,
            (sim::Items{xd::text("partA"), xd::int16(7)}));
  std::string counting;
  for (int byte = 0; byte < 127; ++byte)
    counting += "0123456789ABCDEF"[byte / 16] +
                std::string(1, "0123456789ABCDEF"[byte % 16]);
  EXPECT_EQ(objects["31"].xdata[1].items,
            (sim::Items{xd::brace("{"),
                        xd::text("s\u20ac\u03a9"),
                        xd::handle("33"),
                        xd::point(1, 2, 3),
                        xd::real(2.5),
                        xd::int32(100000),
                        xd::brace("}"),
                        xd::layer("0"),
                        {1004, "00FF7F"},
                        {1004, counting},
                        {1011, sim::Point{4, 5, 6}},
                        {1012, sim::Point{0.5, 0, -1}},
                        {1013, sim::Point{0, 0, 1}},
                        {1041, 3.25},
                        {1042, 0.125},
                        xd::int16(-2)}));
  EXPECT_NE(std::find(info.regapps.begin(), info.regapps.end(), "OTHERAPP"),
            info.regapps.end());
  // The root dictionary is the named-objects dictionary, with the part
  // dictionary and its record.
  std::map<std::string, std::string> named(info.namedObjects.begin(),
                                           info.namedObjects.end());
  EXPECT_EQ(named["PVNR_HANDLE"], "DICTIONARY");
  EXPECT_EQ(named["OTHERAPP_DATA"], "DICTIONARY");
  const cadsim::PartDictionary records = parts(info.name);
  ASSERT_EQ(records.records.size(), 1u);
  EXPECT_EQ(records.records[0].tag, "$10");
  EXPECT_EQ(records.records[0].items,
            (sim::Items{{102, std::string("{MORVAT_PART")},
                        {330, std::string("31")},
                        {330, std::string("32")},
                        {102, std::string("}")}}));
}

TEST_F(RoundTrip, CopyAndExplodeComeBackAsTheModuleMadeThem) {
  REQUIRE_EZDXF();
  openTagged();
  sim::Created copies = host().runCommand("COPY", {byHandle("31")});
  sim::Created pieces = host().runCommand("EXPLODE", {byHandle("32")});
  ASSERT_EQ(copies.size(), 1u);
  ASSERT_EQ(pieces.size(), 3u);
  std::string copy = host().handleText(copies[0].second);
  std::vector<std::string> piece;
  for (const auto& pair : pieces)
    piece.push_back(host().handleText(pair.second));

  std::string output = dxftest::scratchPath("round-trip-out.dxf");
  text::Error error;
  ASSERT_TRUE(host().saveDrawingFile(output, error)) << error.text();
  json before = dumpOf(input_);
  json after = dumpOf(output);
  ASSERT_TRUE(after.contains("objects"));
  expectSound(after);
  const json& objects = after["objects"];

  // The copy: a part of its own, the other application's xdata as it was.
  std::string copyTag = "$" + copy;
  ASSERT_TRUE(objects.contains(copy));
  EXPECT_EQ(objects[copy]["type"], "LINE");
  EXPECT_EQ(objects[copy]["owner"], objects["31"]["owner"]);
  EXPECT_EQ(xdataOf(objects[copy], copyTag),
            json::parse(R"([[1000,"partA"],[1070,7]])"));
  EXPECT_TRUE(xdataOf(objects[copy], "$10").is_null());
  EXPECT_EQ(xdataOf(objects[copy], "OTHERAPP"),
            xdataOf(before["objects"]["31"], "OTHERAPP"));
  // The pieces: one part named after the first, the polyline gone.
  std::string pieceTag = "$" + piece[0];
  for (const std::string& p : piece) {
    ASSERT_TRUE(objects.contains(p)) << p;
    EXPECT_EQ(xdataOf(objects[p], pieceTag),
              json::parse(R"([[1000,"partA"],[1070,7]])"));
    EXPECT_EQ(xdataOf(objects[p], "OTHERAPP"),
              json::parse(R"([[1000,"on the polyline"]])"));
  }
  EXPECT_FALSE(objects.contains("32"));
  // Registered, and recorded in the part dictionary as xrecords.
  std::set<std::string> apps(after["appids"].begin(), after["appids"].end());
  EXPECT_TRUE(apps.count(copyTag));
  EXPECT_TRUE(apps.count(pieceTag));
  const json& parts = objects["35"]["entries"];
  EXPECT_EQ(parts.size(), 3u);
  EXPECT_EQ(parts["$10"], "36");
  ASSERT_TRUE(parts.contains(copyTag));
  ASSERT_TRUE(parts.contains(pieceTag));
  const json& copyRecord = objects[parts[copyTag].get<std::string>()];
  EXPECT_EQ(copyRecord["type"], "XRECORD");
  EXPECT_EQ(copyRecord["owner"], "35");
  EXPECT_EQ(copyRecord["data"], json::parse(R"([[102,"{MORVAT_PART"],[330,")" +
                                            copy + R"("],[102,"}"]])"));
  json pieceData = json::array({json::array({102, "{MORVAT_PART"})});
  for (const std::string& p : piece) pieceData.push_back(json::array({330, p}));
  pieceData.push_back(json::array({102, "}"}));
  EXPECT_EQ(objects[parts[pieceTag].get<std::string>()]["data"], pieceData);

  // Everything else is as the file had it, tag for tag.
  const std::set<std::string> changed = {
      "35",  // the part dictionary gained two entries
      "3",   // the APPID table counts two more records
      "32",  // the exploded polyline
      "36",  // the record of $10 names the polyline: now the null handle
  };
  const json& was = before["raw"]["objects"];
  const json& now = after["raw"]["objects"];
  for (auto it = was.begin(); it != was.end(); ++it) {
    if (changed.count(it.key())) continue;
    ASSERT_TRUE(now.contains(it.key())) << it.key();
    EXPECT_EQ(now[it.key()], it.value()) << it.key();
  }
  EXPECT_EQ(objects["36"]["data"],
            json::parse(R"([[102,"{MORVAT_PART"],[330,"31"],[330,"0"],)"
                        R"([102,"}"]])"));
  EXPECT_GT(std::stoul(after["handseed"].get<std::string>(), nullptr, 16),
            std::stoul(piece.back(), nullptr, 16));
}

}  // namespace
