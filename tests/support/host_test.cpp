// The shared fixture: one fresh host per test, no violations at the end.
#include "tests/support/host_test.h"

void HostTest::SetUp() {
  host_ = std::make_unique<sim::Host>();
  host_->useDrawing("main");
}

void HostTest::TearDown() {
  if (!host_) return;
  if (host_->moduleLoaded()) host_->unloadModule();
  host_->audit();
  std::string listed;
  for (const std::string& v : host_->violations()) listed += "\n  " + v;
  EXPECT_TRUE(host_->violations().empty()) << "violations:" << listed;
  host_->clearViolations();
  host_.reset();
}

AcDbObjectId HostTest::add(const std::string& type, int pieces) {
  AcDbObjectId id = host_->addObject(type, pieces);
  EXPECT_FALSE(id.isNull()) << "could not add a " << type;
  return id;
}

std::vector<std::string> HostTest::takeViolations() {
  std::vector<std::string> taken = host_->violations();
  host_->clearViolations();
  return taken;
}

sim::Items HostTest::xdataItems(AcDbObjectId id, const std::string& app) {
  for (sim::XdataBlock& block : host_->xdataOf(id))
    if (block.app == app) return block.items;
  return {};
}

std::vector<std::string> HostTest::xdataApps(AcDbObjectId id) {
  std::vector<std::string> apps;
  for (const sim::XdataBlock& block : host_->xdataOf(id))
    apps.push_back(block.app);
  return apps;
}

cadsim::PartDictionary HostTest::parts(const std::string& drawing) {
  return cadsim::readPartDictionary(*host_, drawing);
}

std::vector<std::string> HostTest::recordMembers(const std::string& tag) {
  std::vector<std::string> handles;
  for (const cadsim::PartRecord& record :
       parts(host_->currentDrawingName()).records)
    if (record.tag == tag)
      for (const sim::Item& item : record.items)
        if (item.code == 330)
          handles.push_back(std::get<std::string>(item.value));
  return handles;
}
