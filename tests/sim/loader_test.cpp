// Loading plug-ins: the entry point's messages, the services it finds, and
// what the host reports and removes when a plug-in unloads untidily.
#include "tests/sim/recorders.h"

namespace {

// A plug-in linked into this program, configurable per test.
struct LinkedPlugin {
  std::vector<int> messages;
  void* appId = nullptr;
  bool tidy = true;  // removes its reactors and commands at unload
  bool refuse = false;
  bool refuseUnload = false;
  // What the command saw of its own allocation and of a host call's.
  bool ownAllocationFailed = false;
  bool hostCallAllocated = false;
  EventLog log;
  std::unique_ptr<RecordingEditorReactor> watcher;
  std::unique_ptr<RecordingDatabaseReactor> appendWatcher;
};
LinkedPlugin* gPlugin = nullptr;

// Allocates on its own, then has the host allocate for it.
void linkedCommand() {
  try {
    std::unique_ptr<int> own(new int(1));
  } catch (const std::bad_alloc&) {
    gPlugin->ownAllocationFailed = true;
  }
  resbuf* chain = acutBuildList(1000, ACRX_T("made by the host"), RTNONE);
  gPlugin->hostCallAllocated = chain != nullptr;
  acutRelRb(chain);
}

AcRx::AppRetCode linkedEntryPoint(AcRx::AppMsgCode msg, void* appId) {
  LinkedPlugin& p = *gPlugin;
  p.messages.push_back(msg);
  p.appId = appId;
  AcEdCommandStack* stack = AcEdCommandStack::cast(
      acrxSysRegistry()->at(ACRX_T("ACAD_REGISTERED_COMMANDS")));
  AcDbDatabase* dwg = acdbHostApplicationServices()->workingDatabase();
  if (msg == AcRx::kInitAppMsg) {
    AcRxDynamicLinker* linker =
        AcRxDynamicLinker::cast(acrxSysRegistry()->at(ACRX_T("DynamicLinker")));
    linker->unlockApplication(appId);
    linker->registerAppMDIAware(appId);
    stack->addCommand(ACRX_T("LINKEDGROUP"), ACRX_T("LINKEDCMD"),
                      ACRX_T("LINKEDCMD"), ACRX_CMD::kModal, &linkedCommand);
    p.watcher = std::make_unique<RecordingEditorReactor>("", p.log);
    theEditor()->addReactor(p.watcher.get());
    p.appendWatcher = std::make_unique<RecordingDatabaseReactor>(p.log);
    dwg->addReactor(p.appendWatcher.get());
    return p.refuse ? AcRx::kRetError : AcRx::kRetOK;
  }
  if (msg == AcRx::kUnloadAppMsg && p.refuseUnload) return AcRx::kRetError;
  if (msg == AcRx::kUnloadAppMsg && p.tidy) {
    stack->removeGroup(ACRX_T("LINKEDGROUP"));
    theEditor()->removeReactor(p.watcher.get());
    dwg->removeReactor(p.appendWatcher.get());
  }
  return AcRx::kRetOK;
}

class Loader : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    gPlugin = &plugin;
  }
  void TearDown() override {
    HostTest::TearDown();
    gPlugin = nullptr;
  }
  LinkedPlugin plugin;
};

TEST_F(Loader, TheEntryPointGetsInitAndUnloadWithOneApplicationId) {
  text::Error error;
  ASSERT_TRUE(host().loadModule(&linkedEntryPoint, error)) << error.text();
  EXPECT_TRUE(host().moduleLoaded());
  EXPECT_FALSE(host().loadModule(&linkedEntryPoint, error));
  EXPECT_EQ(error.message, "a plug-in is already loaded");
  EXPECT_EQ(plugin.messages, (std::vector<int>{AcRx::kInitAppMsg}));
  ASSERT_NE(plugin.appId, nullptr);
  EXPECT_EQ(host().unlockedApplications(), (std::vector<void*>{plugin.appId}));
  EXPECT_EQ(host().mdiAwareApplications(), (std::vector<void*>{plugin.appId}));
  EXPECT_EQ(host().commandNames(), (std::vector<std::string>{"LINKEDCMD"}));
  EXPECT_EQ(host().editorReactorCount(), 1);
  EXPECT_EQ(host().databaseReactorCount(), 1);

  void* const firstId = plugin.appId;
  ASSERT_TRUE(host().unloadModule());
  EXPECT_EQ(plugin.messages,
            (std::vector<int>{AcRx::kInitAppMsg, AcRx::kUnloadAppMsg}));
  EXPECT_EQ(plugin.appId, firstId);
  EXPECT_FALSE(host().unloadModule());
  EXPECT_EQ(host().editorReactorCount(), 0);
  EXPECT_TRUE(host().violations().empty());
}

TEST_F(Loader, WhatAnUntidyPluginLeavesIsReportedAndTakenAway) {
  plugin.tidy = false;
  text::Error error;
  ASSERT_TRUE(host().loadModule(&linkedEntryPoint, error)) << error.text();
  // One that let go at its drawing's goodbye but is never freed.
  EventLog closingLog;
  RecordingDatabaseReactor kept(closingLog);
  kept.onGoodbye = [&](const AcDbDatabase* dwg) { dwg->removeReactor(&kept); };
  ASSERT_EQ(host().useDrawing("A")->addReactor(&kept), Acad::eOk);
  ASSERT_TRUE(host().closeDrawing("A"));
  plugin.log.clear();
  ASSERT_TRUE(host().unloadModule());
  const std::vector<std::string> found = takeViolations();
  EXPECT_EQ(found,
            (std::vector<std::string>{
                "a database reactor of the plug-in outlived drawing A after "
                "it unloaded",
                "an editor reactor of the plug-in was still attached after "
                "it unloaded",
                "a database reactor of the plug-in was still attached to main "
                "after it unloaded",
                "command LINKEDCMD of the plug-in was still registered after "
                "it unloaded"}));
  EXPECT_EQ(host().editorReactorCount(), 0);
  EXPECT_EQ(host().databaseReactorCount(), 0);
  EXPECT_TRUE(host().commandNames().empty());
  host().runCommand("LINKEDCMD");
  EXPECT_EQ(host().commandLine(),
            (std::vector<std::string>{"Unknown command \"LINKEDCMD\"."}));
  EXPECT_TRUE(plugin.log.empty());
}

TEST_F(Loader, APluginThatRefusesToLoadIsUnloadedAtOnce) {
  plugin.refuse = true;
  plugin.tidy = false;
  text::Error error;
  EXPECT_FALSE(host().loadModule(&linkedEntryPoint, error));
  EXPECT_NE(error.message.find("refused"), std::string::npos) << error.text();
  EXPECT_FALSE(host().moduleLoaded());
  EXPECT_EQ(takeViolations().size(), 3u);
  EXPECT_EQ(host().editorReactorCount(), 0);
}

TEST_F(Loader, APluginThatRefusesToUnloadStaysAsItWas) {
  text::Error error;
  ASSERT_TRUE(host().loadModule(&linkedEntryPoint, error)) << error.text();
  plugin.refuseUnload = true;
  EXPECT_TRUE(host().unloadModule());
  EXPECT_TRUE(host().moduleLoaded());
  EXPECT_EQ(host().commandLine(),
            std::vector<std::string>{"The plug-in refused to unload."});
  EXPECT_EQ(host().commandNames(), std::vector<std::string>{"LINKEDCMD"});
  EXPECT_EQ(host().editorReactorCount(), 1);
  EXPECT_EQ(host().databaseReactorCount(), 1);
  EXPECT_TRUE(takeViolations().empty());

  plugin.refuseUnload = false;
  EXPECT_TRUE(host().unloadModule());
  EXPECT_FALSE(host().moduleLoaded());
  EXPECT_TRUE(takeViolations().empty());
}

TEST_F(Loader, AModuleAllocFaultFailsThePluginsAllocationsOnly) {
  text::Error error;
  ASSERT_TRUE(host().loadModule(&linkedEntryPoint, error)) << error.text();
  // Its recorders are no module of ours, which would catch the failure.
  theEditor()->removeReactor(plugin.watcher.get());
  db()->removeReactor(plugin.appendWatcher.get());
  sim::FaultSpec fault;
  fault.operation = sim::Host::kModuleAllocName;
  fault.persistent = true;
  host().armFault(fault);
  host().resetCounters();
  // The host's own work and this test's allocations are no plug-in code.
  host().addObject("LINE");
  std::unique_ptr<int> mine(new int(2));
  EXPECT_EQ(host().faultsInjected(), 0);

  host().runCommand("LINKEDCMD");
  EXPECT_TRUE(plugin.ownAllocationFailed);
  EXPECT_TRUE(plugin.hostCallAllocated);
  EXPECT_EQ(host().callCount(sim::Host::kModuleAllocName), 1);
  EXPECT_EQ(host().faultsInjected(), 1);
  host().clearFaults();
  theEditor()->addReactor(plugin.watcher.get());
  db()->addReactor(plugin.appendWatcher.get());
}

TEST_F(Loader, FilesAreLoadedWithThePlatformLoader) {
  text::Error error;
  EXPECT_FALSE(host().loadModule(std::string("/nonexistent/plugin.so"), error));
  EXPECT_FALSE(error.message.empty());
  EXPECT_FALSE(host().moduleLoaded());

  // The built module: it registers its commands and watches from load.
  ASSERT_TRUE(host().loadModule(std::string(PLIVET_MODULE_FILE), error))
      << error.text();
  EXPECT_EQ(host().modulePath(), PLIVET_MODULE_FILE);
  EXPECT_EQ(host().commandNames().size(), 2u);
  EXPECT_EQ(host().editorReactorCount(), 1);
  ASSERT_TRUE(host().unloadModule());
  EXPECT_EQ(host().editorReactorCount(), 0);
  EXPECT_TRUE(host().commandNames().empty());
}

TEST_F(Loader, TheRegistryEntriesCanBeTakenAwayAndPutBack) {
  AcRxDictionary* registry = acrxSysRegistry();
  ASSERT_NE(registry, nullptr);
  AcRxObject* editor = registry->at(ACRX_T("AcEditor"));
  ASSERT_NE(editor, nullptr);
  EXPECT_TRUE(editor->isA()->isDerivedFrom(AcEditor::desc()));
  EXPECT_FALSE(editor->isA()->isDerivedFrom(AcEdCommandStack::desc()));
  EXPECT_EQ(AcRxDynamicLinker::cast(editor), nullptr);

  host().removeRegistryEntry("AcEditor");
  host().removeRegistryEntry("DynamicLinker");
  EXPECT_EQ(registry->at(ACRX_T("AcEditor")), nullptr);
  EXPECT_EQ(registry->at(ACRX_T("DynamicLinker")), nullptr);
  EXPECT_NE(registry->at(ACRX_T("ACAD_REGISTERED_COMMANDS")), nullptr);
  EXPECT_EQ(registry->at(nullptr), nullptr);
  host().restoreRegistryEntry("AcEditor");
  EXPECT_EQ(registry->at(ACRX_T("AcEditor")), editor);
}

TEST(HostLifetime, ASecondLiveHostIsAProgrammingError) {
  sim::Host first;
  EXPECT_EQ(sim::Host::current(), &first);
  EXPECT_DEATH({ sim::Host second; }, "a second host");
}

TEST(HostLifetime, WithNoHostTheApiFailsQuietly) {
  ASSERT_EQ(sim::Host::current(), nullptr);
  EXPECT_EQ(acrxSysRegistry(), nullptr);
  EXPECT_EQ(acdbHostApplicationServices()->workingDatabase(), nullptr);
  AcDbObject* obj = nullptr;
  EXPECT_EQ(acdbOpenAcDbObject(obj, AcDbObjectId(), AcDb::kForRead),
            Acad::eNoDatabase);
  EXPECT_EQ(acutBuildList(1000, ACRX_T("x"), RTNONE), nullptr);
  EXPECT_EQ(acdbRegApp(ACRX_T("APP")), RTERROR);
}

}  // namespace
