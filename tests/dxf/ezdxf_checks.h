// Checks of a saved file as the independent reader sees it: its dump, and
// the structural promises every saved file keeps.
#ifndef TESTS_DXF_EZDXF_CHECKS_H
#define TESTS_DXF_EZDXF_CHECKS_H

#include <gtest/gtest.h>

#include <cctype>
#include <nlohmann/json.hpp>
#include <set>
#include <string>

#include "tests/dxf/dxf_test_support.h"

namespace dxftest {

using nlohmann::json;

inline std::string upper(std::string s) {
  for (char& c : s)
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

inline json dumpOf(const std::string& path) {
  bool ok = false;
  std::string output = dxftest::runDrawingsScript("dump " + path, ok);
  EXPECT_TRUE(ok) << output;
  return ok ? json::parse(output) : json::object();
}

// Handles unique, xdata names in APPID, pointers resolved, braces
// balanced, and a clean audit.
inline void expectSound(const json& seen) {
  const json& raw = seen["raw"]["objects"];
  EXPECT_TRUE(seen["raw"]["duplicates"].empty())
      << "duplicate handles " << seen["raw"]["duplicates"];
  std::set<std::string> apps;
  for (const json& app : seen["appids"]) apps.insert(upper(app));
  for (auto it = raw.begin(); it != raw.end(); ++it) {
    int depth = 0;
    std::string app;
    for (const json& tag : it.value()[1]) {
      int code = tag[0];
      std::string value = tag[1];
      if (code == 1001) {
        EXPECT_EQ(depth, 0) << it.key() << " " << app;
        depth = 0;
        app = value;
        EXPECT_TRUE(apps.count(upper(value)))
            << it.key() << ": xdata under " << value << " not in APPID";
      } else if (code == 1002) {
        depth += value == "{" ? 1 : -1;
        EXPECT_GE(depth, 0) << it.key();
      } else if ((code == 330 || code == 1005 || code == 340 || code == 350 ||
                  code == 360) &&
                 value != "0") {
        EXPECT_TRUE(raw.contains(upper(value)))
            << it.key() << ": " << code << ":" << value << " names nothing";
      }
    }
    EXPECT_EQ(depth, 0) << it.key() << " " << app;
  }
  EXPECT_EQ(seen["audit"]["errors"], 0);
}

}  // namespace dxftest

#endif
