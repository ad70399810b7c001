// The module's lifecycle as the host drives it: load, the two commands,
// unload, and hosts that lack a service.
#include "module/module_entry.h"

#include <cstdio>

#include "tests/support/host_test.h"

namespace {

class ModuleEntryTest : public HostTest {
 protected:
  void load() {
    text::Error error;
    ASSERT_TRUE(host().loadModule(acrxEntryPoint, error)) << error.text();
  }
  AcDbObjectId part(const std::string& tag, const std::string& type = "LINE") {
    AcDbObjectId id = add(type);
    host().setXData(id, tag, {xd::text("data")});
    return id;
  }
  std::string tagOf(AcDbObjectId id) {
    std::vector<std::string> apps = xdataApps(id);
    return apps.empty() ? "" : apps[0];
  }
};

TEST_F(ModuleEntryTest, LoadingRegistersTheCommandsAndWatchesAtOnce) {
  load();
  ASSERT_NE(gEditReactor, nullptr);
  EXPECT_TRUE(gEditReactor->isAttached());
  EXPECT_EQ(host().editorReactorCount(), 1);
  std::vector<sim::RegisteredCommand> commands = host().registeredCommands();
  ASSERT_EQ(commands.size(), 2u);
  EXPECT_EQ(commands[0].group, "QORMQORMPLIVET");
  EXPECT_EQ(commands[0].globalName, "QORMPLIVETSTART");
  EXPECT_EQ(commands[0].localName, "QORMPLIVETSTART");
  EXPECT_EQ(commands[1].globalName, "QORMPLIVETSTOP");
  EXPECT_EQ(commands[1].flags, 0);
  ASSERT_EQ(host().unlockedApplications().size(), 1u);
  EXPECT_EQ(host().mdiAwareApplications(), host().unlockedApplications());

  sim::Created copy = host().runCommand("COPY", {part("$10")});
  EXPECT_EQ(tagOf(copy[0].second), "$" + host().handleText(copy[0].second));
}

TEST_F(ModuleEntryTest, StartAndStopSwitchWatchingAndRepeatHarmlessly) {
  load();
  QoRmEditReactor* first = gEditReactor;
  host().runCommand("QORMPLIVETSTART");
  EXPECT_EQ(gEditReactor, first);

  host().runCommand("QORMPLIVETSTOP");
  EXPECT_EQ(gEditReactor, nullptr);
  host().runCommand("QORMPLIVETSTOP");
  EXPECT_EQ(gEditReactor, nullptr);
  EXPECT_EQ(host().editorReactorCount(), 0);
  AcDbObjectId source = part("$10");
  EXPECT_EQ(tagOf(host().runCommand("COPY", {source})[0].second), "$10");

  host().runCommand("QORMPLIVETSTART");
  EXPECT_NE(gEditReactor, nullptr);
  EXPECT_EQ(host().editorReactorCount(), 1);
}

TEST_F(ModuleEntryTest, StopAndStartDropPendingGroups) {
  load();
  AcDbObjectId polyline = part("$10", "POLYLINE");
  sim::Created pieces =
      host().runCommand("EXPLODE", {polyline}, 1, sim::Outcome::Cancelled);
  ASSERT_FALSE(gEditReactor->pendingGroups().isEmpty());
  host().runCommand("QORMPLIVETSTOP");
  host().runCommand("QORMPLIVETSTART");
  EXPECT_TRUE(gEditReactor->pendingGroups().isEmpty());

  sim::Created copy = host().runCommand("COPY", {part("$10")});
  EXPECT_EQ(tagOf(pieces[0].second), "$10");
  ASSERT_EQ(parts("main").records.size(), 1u);
  EXPECT_EQ(parts("main").records[0].items.size(), 3u);
}

TEST_F(ModuleEntryTest, StoppingOrUnloadingDuringOffsetLetsGoOfItsReactor) {
  load();
  ASSERT_TRUE(host().beginCommand("OFFSET"));
  EXPECT_EQ(host().databaseReactorCount(), 1);
  qormplivetstop();
  EXPECT_EQ(host().databaseReactorCount(), 0);
  qormplivetstart();
  ASSERT_TRUE(host().beginCommand("OFFSET"));
  EXPECT_EQ(host().databaseReactorCount(), 1);

  ASSERT_TRUE(host().unloadModule());
  EXPECT_EQ(gEditReactor, nullptr);
  EXPECT_EQ(host().databaseReactorCount(), 0);
  EXPECT_EQ(host().editorReactorCount(), 0);
  EXPECT_TRUE(host().commandGroups().empty());
  host().endCommand("OFFSET");
  host().endCommand("OFFSET");
}

// A reactor the host kept after watching stopped is held all the same: the
// unload tries it once more, and refuses while the host will not let go.
TEST_F(ModuleEntryTest, UnloadIsRefusedWhileAKeptOffsetReactorStaysAttached) {
  load();
  AcDbObjectId source = part("$10");
  ASSERT_TRUE(host().beginCommand("OFFSET"));
  sim::FaultSpec fault;
  fault.operation = "removeReactor";
  fault.persistent = true;
  host().armFault(fault);
  host().runCommand("QORMPLIVETSTOP");
  host().endCommand("OFFSET");
  EXPECT_EQ(host().databaseReactorCount(), 1);
  EXPECT_EQ(acrxEntryPoint(AcRx::kUnloadAppMsg, nullptr), AcRx::kRetError);
  EXPECT_EQ(host().commandGroups(), std::vector<std::string>{"QORMQORMPLIVET"});
  // Idle: what is appended keeps its part.
  const sim::Created copies = host().appendCopies({source});
  ASSERT_EQ(copies.size(), 1u);
  EXPECT_EQ(tagOf(copies[0].second), "$10");
  host().runCommand("QORMPLIVETSTART");
  ASSERT_NE(gEditReactor, nullptr);

  host().clearFaults();
  ASSERT_TRUE(host().unloadModule());
  EXPECT_FALSE(host().moduleLoaded());
  EXPECT_EQ(host().databaseReactorCount(), 0);
  EXPECT_TRUE(takeViolations().empty());
}

TEST_F(ModuleEntryTest, UnloadingWhileStoppedRemovesTheCommandsOnly) {
  load();
  host().runCommand("QORMPLIVETSTOP");
  ASSERT_TRUE(host().unloadModule());
  EXPECT_TRUE(host().commandGroups().empty());
  EXPECT_EQ(gEditReactor, nullptr);
  host().clearCommandLine();
  host().runCommand("QORMPLIVETSTART");
  EXPECT_EQ(gEditReactor, nullptr);
  EXPECT_EQ(host().commandLine(),
            std::vector<std::string>{"Unknown command \"QORMPLIVETSTART\"."});
}

TEST_F(ModuleEntryTest, AHostWithoutLinkerOrCommandStackStillLoads) {
  host().removeRegistryEntry("DynamicLinker");
  host().removeRegistryEntry("ACAD_REGISTERED_COMMANDS");
  load();
  EXPECT_NE(gEditReactor, nullptr);
  EXPECT_TRUE(host().unlockedApplications().empty());
  EXPECT_TRUE(host().registeredCommands().empty());
  ASSERT_TRUE(host().unloadModule());
  EXPECT_EQ(gEditReactor, nullptr);
  host().restoreRegistryEntry("DynamicLinker");
  host().restoreRegistryEntry("ACAD_REGISTERED_COMMANDS");
}

TEST_F(ModuleEntryTest, UnloadingWhileTheRegistryFailsLeavesNothingBehind) {
  // Commands left registered, or a watcher freed while the editor still
  // holds it, would have the host call into code that is gone.
  load();
  sim::FaultSpec registryFails;
  registryFails.operation = "registryAt";
  registryFails.persistent = true;
  host().armFault(registryFails);
  ASSERT_TRUE(host().unloadModule());
  host().clearFaults();
  EXPECT_GE(host().faultsInjected(), 2);
  EXPECT_TRUE(host().registeredCommands().empty());
  EXPECT_EQ(host().editorReactorCount(), 0);
  EXPECT_EQ(gEditReactor, nullptr);
}

TEST_F(ModuleEntryTest, OtherMessagesChangeNothing) {
  EXPECT_EQ(acrxEntryPoint(AcRx::kNullMsg, nullptr), AcRx::kRetOK);
  EXPECT_EQ(gEditReactor, nullptr);
  EXPECT_TRUE(host().registeredCommands().empty());
}

// The module file offers the host its three entry points and nothing else.
TEST(ModuleFile, ExportsExactlyTheThreeEntryPoints) {
  std::string command =
      std::string("nm -D --defined-only --format=just-symbols '") +
      PLIVET_MODULE_FILE + "' 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::vector<std::string> symbols;
  char line[512];
  while (fgets(line, sizeof line, pipe) != nullptr) {
    std::string symbol(line);
    while (!symbol.empty() && (symbol.back() == '\n' || symbol.back() == '\r'))
      symbol.pop_back();
    symbols.push_back(symbol);
  }
  EXPECT_EQ(pclose(pipe), 0);
  std::sort(symbols.begin(), symbols.end());
  EXPECT_EQ(symbols,
            (std::vector<std::string>{"acrxEntryPoint", "qormplivetstart",
                                      "qormplivetstop"}));
}

}  // namespace
