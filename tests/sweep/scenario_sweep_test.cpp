// Every scenario script rerun with each host call failing in turn, once and
// from then on, operation by operation, until a run injects nothing. After
// every step of every run the session invariants must hold: nothing left
// open or unfreed, no clone without its part data, sources unchanged,
// records naming only their carriers; and after the final unload nothing of
// the module is left in the host.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>

#include "tests/support/session_driver.h"
#include "tools/cadsim/statement.h"

namespace {

struct Scenario {
  std::string file;
  std::vector<cadsim::Statement> statements;
  std::vector<std::string> text;  // the script's lines, for messages
};

// Whether the sweep replays the line: checks, listings and the script's own
// faults are left out (the sweep brings its own fault). False for a line
// the sweep cannot replay (set in REPLAYABLE).
bool acts(const cadsim::Statement& s, bool& replayable) {
  switch (s.verb) {
    case cadsim::Verb::Open:
    case cadsim::Verb::Save:
      replayable = false;  // drawings from files are swept by the DXF tests
      return false;
    case cadsim::Verb::Fault:
    case cadsim::Verb::List:
    case cadsim::Verb::Dump:
    case cadsim::Verb::Check:
    case cadsim::Verb::Expect:
    case cadsim::Verb::Echo:
      return false;
    default:
      return true;
  }
}

// Every session script of the two folders, in name order, as the sweep
// reads it; replayable is false for one it leaves out, and why says why.
struct ScriptFile {
  Scenario scenario;
  bool replayable = false;
  std::string why;
};

std::vector<ScriptFile> scriptFiles() {
  std::vector<ScriptFile> all;
  for (const char* dir : {"examples", "tests/scripts"}) {
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(
             std::filesystem::path(PLIVET_SOURCE_DIR) / dir, ec)) {
      if (entry.path().extension() != ".cadsim") continue;
      std::ifstream in(entry.path(), std::ios::binary);
      const std::string text((std::istreambuf_iterator<char>(in)),
                             std::istreambuf_iterator<char>());
      ScriptFile script;
      script.scenario.file =
          std::string(dir) + "/" + entry.path().filename().string();
      std::vector<cadsim::Statement> statements;
      text::Error error;
      if (!cadsim::parseScript(text, statements, error)) {
        script.why = error.text();
        all.push_back(script);
        continue;
      }
      std::istringstream lines(text);
      for (std::string line; std::getline(lines, line);)
        script.scenario.text.push_back(line);
      script.replayable = true;
      for (const cadsim::Statement& s : statements)
        if (acts(s, script.replayable)) script.scenario.statements.push_back(s);
      if (!script.replayable) script.why = "opens or saves a drawing file";
      all.push_back(script);
    }
  }
  std::sort(all.begin(), all.end(),
            [](const ScriptFile& a, const ScriptFile& b) {
              return a.scenario.file < b.scenario.file;
            });
  return all;
}

std::vector<Scenario> scenarios() {
  std::vector<Scenario> all;
  for (const ScriptFile& script : scriptFiles())
    if (script.replayable) all.push_back(script.scenario);
  return all;
}

struct SweepFigures {
  long runs = 0;
  long faulted = 0;
  // Of those, the runs that failed the module's own allocations, and how
  // many allocations they failed.
  long allocationRuns = 0;
  long allocationsFailed = 0;
};

// One run: the scenario on a fresh host armed by the sweep, then unloading;
// with references, the host's id maps also name what the clones refer to.
// Returns the first broken invariant, with the step it broke at.
std::string runOnce(const Scenario& scenario, const sim::FaultSpec& fault,
                    bool references) {
  SessionDriver session(nullptr, &fault);
  if (!session.failure().empty()) return "at load: " + session.failure();
  if (references) session.apply("host id-map-references on");
  if (!session.failure().empty()) return "at the opening: " + session.failure();
  for (const cadsim::Statement& s : scenario.statements) {
    if (!session.apply(s)) continue;
    if (!session.failure().empty())
      return "at \"" + scenario.text[static_cast<std::size_t>(s.line - 1)] +
             "\": " + session.failure();
  }
  session.apply("unload");
  if (!session.failure().empty())
    return "at the final unload: " + session.failure();
  return std::string();
}

// The scripts as written, and once more with the host's id maps naming what
// the clones refer to.
struct SweptScenario {
  Scenario scenario;
  bool references = false;
};

class ScenarioSweep : public ::testing::TestWithParam<SweptScenario> {};

// Every host call, and every allocation of the module's own, failing in turn.
TEST_P(ScenarioSweep, EveryHostCallFailingInTurnLosesNothing) {
  const Scenario& scenario = GetParam().scenario;
  const bool references = GetParam().references;
  SweepFigures figures;
  for (const std::string& operation : sim::Host::operationNames()) {
    std::string firstFailure;
    sim::sweepFaults(
        [&](const sim::SweepRun& run) {
          sim::FaultSpec fault;
          fault.operation = operation;
          fault.nth = run.point;
          fault.persistent = run.persistent;
          const std::string failure = runOnce(scenario, fault, references);
          if (!failure.empty() && firstFailure.empty())
            firstFailure = operation + " call " + std::to_string(run.point) +
                           (run.persistent ? " and after" : "") + " failing, " +
                           failure;
        },
        [&](const sim::SweepRun& run) {
          ++figures.runs;
          if (run.injected > 0) ++figures.faulted;
          if (operation != sim::Host::kModuleAllocName) return;
          ++figures.allocationRuns;
          figures.allocationsFailed += run.injected;
        },
        operation);
    EXPECT_EQ(firstFailure, "") << scenario.file;
  }
  // A sweep that injects nothing proves nothing.
  EXPECT_GT(figures.faulted, 0);
  RecordProperty("runs", static_cast<int>(figures.runs));
  RecordProperty("faulted", static_cast<int>(figures.faulted));
  RecordProperty("allocationRuns", static_cast<int>(figures.allocationRuns));
  RecordProperty("allocationsFailed",
                 static_cast<int>(figures.allocationsFailed));
  std::cout << scenario.file << (references ? " (references)" : "") << ": "
            << figures.runs << " runs, " << figures.faulted
            << " with a fault injected; module-alloc: "
            << figures.allocationRuns << " runs, " << figures.allocationsFailed
            << " allocations failed\n";
}

std::vector<SweptScenario> sweptScenarios() {
  std::vector<SweptScenario> all;
  for (bool references : {false, true})
    for (const Scenario& scenario : scenarios())
      all.push_back(SweptScenario{scenario, references});
  return all;
}

std::string scenarioName(const ::testing::TestParamInfo<SweptScenario>& info) {
  std::string name = info.param.scenario.file;
  name = name.substr(0, name.size() - std::string(".cadsim").size());
  if (info.param.references) name += "_with_references";
  for (char& c : name)
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  return name;
}

INSTANTIATE_TEST_SUITE_P(Scripts, ScenarioSweep,
                         ::testing::ValuesIn(sweptScenarios()), scenarioName);

// A script the sweep cannot read would silently drop out of it; only the
// ones that work on drawing files may stay out (the DXF tests sweep those).
TEST(ScenarioSweeps, CoverTheScenarioScripts) {
  const std::vector<ScriptFile> scripts = scriptFiles();
  std::size_t swept = 0;
  for (const ScriptFile& script : scripts) {
    if (script.replayable) {
      ++swept;
      continue;
    }
    EXPECT_EQ(script.why, "opens or saves a drawing file")
        << script.scenario.file;
  }
  EXPECT_GT(swept, scripts.size() / 2);
}

}  // namespace
