// The fixture every test program shares: a fresh simulated host with one
// current drawing "main" per test, and small builders for typed items.
#ifndef TESTS_SUPPORT_HOST_TEST_H
#define TESTS_SUPPORT_HOST_TEST_H

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "host/api/host_api.h"
#include "host/sim/host.h"
#include "tools/cadsim/part_records.h"

// A 16-bit string from UTF-8 text, for names passed to the host.
inline AcWString W(const std::string& utf8) { return sim::toWide(utf8); }
inline std::string U8(const ACHAR* utf16) { return sim::toUtf8(utf16); }
inline std::string U8(const AcWString& utf16) { return sim::toUtf8(utf16); }

// Builders of typed xdata / xrecord items.
namespace xd {
inline sim::Item text(const std::string& s) { return {1000, s}; }
inline sim::Item brace(const std::string& s) { return {1002, s}; }  // "{" "}"
inline sim::Item layer(const std::string& s) { return {1003, s}; }
inline sim::Item handle(const std::string& hex) { return {1005, hex}; }
inline sim::Item point(double x, double y, double z) {
  return {1010, sim::Point{x, y, z}};
}
inline sim::Item real(double v) { return {1040, v}; }
inline sim::Item int16(long v) { return {1070, v}; }
inline sim::Item int32(long v) { return {1071, v}; }
inline sim::Item app(const std::string& name) { return {1001, name}; }
}  // namespace xd

class HostTest : public ::testing::Test {
 protected:
  void SetUp() override;
  // Unloads a plug-in still loaded, then expects no violations.
  void TearDown() override;

  sim::Host& host() { return *host_; }
  AcDbDatabase* db() { return host_->currentDrawing(); }
  // A new object in the current drawing, as the user would draw it.
  AcDbObjectId add(const std::string& type, int pieces = 2);
  // The violations so far, then cleared: for tests that expect some.
  std::vector<std::string> takeViolations();
  // The items of APP's xdata block on ID (empty when it has none).
  sim::Items xdataItems(AcDbObjectId id, const std::string& app);
  // The applications of ID's xdata blocks, in order.
  std::vector<std::string> xdataApps(AcDbObjectId id);
  // The member handles of TAG's part record in the current drawing; empty
  // when there is none.
  std::vector<std::string> recordMembers(const std::string& tag);
  // The part dictionary of DRAWING as the runner reads it.
  cadsim::PartDictionary parts(const std::string& drawing);

  std::unique_ptr<sim::Host> host_;
};

#endif
