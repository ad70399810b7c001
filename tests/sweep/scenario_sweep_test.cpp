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

#include "tests/support/session_driver.h"
#include "tests/support/session_step.h"
#include "tools/cadsim/statement.h"

namespace {

struct Scenario {
  std::string file;
  std::vector<SessionStep> steps;
};

// The lines that act on the session, as steps; checks, listings and the
// script's own faults are left out (the sweep brings its own fault). False
// for a line the sweep cannot replay.
bool stepOf(const cadsim::Statement& s, std::vector<SessionStep>& steps) {
  SessionStep step;
  step.name = s.name;
  step.labels = s.labels;
  step.items = s.items;
  step.pieces = s.pieces;
  step.owner = s.owner;
  step.extensionOf = s.extensionOf;
  step.repeat = s.repeat;
  step.outcome = s.outcome;
  switch (s.verb) {
    case cadsim::Verb::Drawing:
      step.kind = StepKind::Drawing;
      break;
    case cadsim::Verb::Close:
      step.kind = StepKind::Close;
      break;
    case cadsim::Verb::Add:
      step.kind = StepKind::Add;
      break;
    case cadsim::Verb::Xdata:
      step.kind = StepKind::Xdata;
      break;
    case cadsim::Verb::Regapp:
      step.kind = StepKind::Regapp;
      break;
    case cadsim::Verb::Erase:
      step.kind = StepKind::Erase;
      break;
    case cadsim::Verb::Command:
      step.kind = StepKind::Command;
      break;
    case cadsim::Verb::Begin:
      step.kind = StepKind::Begin;
      break;
    case cadsim::Verb::End:
      step.kind = StepKind::End;
      break;
    case cadsim::Verb::DeepClone:
      step.kind = StepKind::DeepClone;
      break;
    case cadsim::Verb::AppendCopy:
      step.kind = StepKind::AppendCopy;
      break;
    case cadsim::Verb::LispBegin:
      step.kind = StepKind::LispBegin;
      break;
    case cadsim::Verb::LispEnd:
      step.kind = StepKind::LispEnd;
      break;
    case cadsim::Verb::LispCancel:
      step.kind = StepKind::LispCancel;
      break;
    case cadsim::Verb::Load:
      step.kind = StepKind::Load;
      break;
    case cadsim::Verb::Unload:
      step.kind = StepKind::Unload;
      break;
    case cadsim::Verb::Host:
      step.kind = StepKind::IdMapReferences;
      step.name = s.switchOn ? "on" : "off";
      break;
    case cadsim::Verb::Open:
    case cadsim::Verb::Save:
      return false;  // drawings from files are swept by the DXF tests
    default:
      return true;
  }
  steps.push_back(step);
  return true;
}

std::vector<Scenario> scenarios() {
  std::vector<Scenario> all;
  for (const char* dir : {"examples", "tests/scripts"}) {
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(
             std::filesystem::path(PLIVET_SOURCE_DIR) / dir, ec)) {
      if (entry.path().extension() != ".cadsim") continue;
      std::ifstream in(entry.path(), std::ios::binary);
      const std::string text((std::istreambuf_iterator<char>(in)),
                             std::istreambuf_iterator<char>());
      std::vector<cadsim::Statement> statements;
      std::string error;
      if (!cadsim::parseScript(text, statements, error)) continue;
      Scenario scenario;
      scenario.file = std::string(dir) + "/" + entry.path().filename().string();
      bool replayable = true;
      for (const cadsim::Statement& s : statements)
        replayable = replayable && stepOf(s, scenario.steps);
      if (replayable) all.push_back(scenario);
    }
  }
  std::sort(all.begin(), all.end(), [](const Scenario& a, const Scenario& b) {
    return a.file < b.file;
  });
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
  std::vector<SessionStep> steps;
  if (references) {
    SessionStep on;
    on.kind = StepKind::IdMapReferences;
    on.name = "on";
    steps.push_back(on);
  }
  steps.insert(steps.end(), scenario.steps.begin(), scenario.steps.end());
  SessionStep unload;
  unload.kind = StepKind::Unload;
  steps.push_back(unload);
  for (const SessionStep& step : steps) {
    if (!session.apply(step)) continue;
    if (!session.failure().empty())
      return "at \"" + scriptLine(step) + "\": " + session.failure();
  }
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

TEST(ScenarioSweeps, CoverTheScenarioScripts) {
  EXPECT_GE(scenarios().size(), 10u);
}

}  // namespace
