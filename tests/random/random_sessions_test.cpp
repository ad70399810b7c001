// Randomized sessions with the module linked in: a fixed set of seeds whose
// every line is checked, the runner ending where the checked session did,
// the shrinking of a failing session, and the long run.
#include <gtest/gtest.h>

#include <cstdlib>
#include <iostream>
#include <sstream>

#include "tests/random/random_session.h"
#include "tests/random/step_generator.h"
#include "tests/support/session_driver.h"
#include "tools/cadsim/part_records.h"
#include "tools/cadsim/run_session.h"

namespace {

// Sized so the whole set stays well inside two minutes under the sanitizers
// on two cores: 100 seeds of 220 steps, 22,000 steps in all.
const int kSeeds = 100;
const int kStepsPerSeed = 220;

class RandomSession : public ::testing::TestWithParam<int> {};

TEST_P(RandomSession, HoldsEveryInvariantAfterEveryStep) {
  const std::uint64_t seed = static_cast<std::uint64_t>(GetParam());
  const SessionOutcome outcome = runRandomSession(seed, kStepsPerSeed);
  if (!outcome.failure.empty()) ADD_FAILURE() << failureReport(seed, outcome);
  RecordProperty("steps", static_cast<int>(outcome.steps));
  RecordProperty("faults", static_cast<int>(outcome.faultsInjected));
}

INSTANTIATE_TEST_SUITE_P(Seeds, RandomSession, ::testing::Range(1, kSeeds + 1));

// The last line of a run's output.
std::string lastLine(const std::string& text) {
  std::istringstream in(text);
  std::string line, last;
  while (std::getline(in, line))
    if (!line.empty()) last = line;
  return last;
}

TEST(PrintedSession, ReplaysInTheRunnerToTheSameDrawings) {
  // Sessions with faults, several drawings, unloads and nesting: the runner,
  // loading the module from its file, must end where the generator did.
  for (std::uint64_t seed : {3u, 17u, 42u}) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::vector<std::string> lines;
    std::string inProcess;
    {
      SessionDriver session;
      StepGenerator generator(seed);
      lines.push_back(StepGenerator::opening(seed));
      ASSERT_TRUE(session.apply(lines.back()));
      for (int i = 0; i < 150; ++i) {
        const std::string line = generator.next(session);
        if (session.apply(line)) lines.push_back(line);
        ASSERT_EQ(session.failure(), "");
      }
      inProcess = session.dump();
    }
    cadsim::SessionOptions options;
    options.modulePath = PLIVET_MODULE_FILE;
    std::ostringstream out, err;
    const int status = cadsim::runSession(scriptOf(lines, "replay") + "dump\n",
                                          options, out, err);
    EXPECT_EQ(err.str(), "");
    EXPECT_EQ(status, 0);
    EXPECT_EQ(lastLine(out.str()), inProcess);
  }
}

TEST(FailingSession, ShrinksToTheStepsThatMatter) {
  // A made-up invariant that a three-piece EXPLODE of a tagged polyline
  // breaks: the shrunk script must keep only what leads there.
  const ExtraInvariant noThreeMemberRecords = [](const sim::Host& host) {
    for (const sim::DrawingInfo& drawing : host.drawings())
      for (const cadsim::PartRecord& record :
           cadsim::readPartDictionary(host, drawing.name).records)
        if (record.items.size() >= 5) return "record " + record.tag;
    return std::string();
  };
  std::vector<std::string> steps;
  for (std::uint64_t seed = 1; seed < 200 && steps.empty(); ++seed) {
    SessionOutcome outcome =
        runRandomSession(seed, kStepsPerSeed, noThreeMemberRecords);
    if (!outcome.failure.empty()) steps = outcome.script;
  }
  ASSERT_FALSE(steps.empty()) << "no seed made a record of three members";
  const std::vector<std::string> shortest =
      shrinkSession(steps, noThreeMemberRecords);
  EXPECT_LE(shortest.size(), 6u) << scriptOf(shortest, "shrunk");
  EXPECT_LT(shortest.size(), steps.size());
  EXPECT_NE(replaySession(shortest, noThreeMemberRecords).failure, "");
  // Every step left is needed: without any one of them the failure goes.
  for (std::size_t i = 0; i < shortest.size(); ++i) {
    std::vector<std::string> fewer = shortest;
    fewer.erase(fewer.begin() + static_cast<long>(i));
    EXPECT_EQ(replaySession(fewer, noThreeMemberRecords).failure, "")
        << "step " << i << " is not needed:\n"
        << scriptOf(shortest, "shrunk");
  }
}

// The long run behind the published figures; see scripts/soak.sh.
// PLIVET_SOAK_STEPS sets the steps, PLIVET_SOAK_FIRST_SEED the first seed.
TEST(RandomSoak, RunsTheRequestedSteps) {
  const char* wanted = std::getenv("PLIVET_SOAK_STEPS");
  if (wanted == nullptr) GTEST_SKIP() << "PLIVET_SOAK_STEPS is not set";
  const long total = std::atol(wanted);
  const char* first = std::getenv("PLIVET_SOAK_FIRST_SEED");
  std::uint64_t seed =
      first != nullptr ? std::strtoull(first, nullptr, 10) : 1000000;
  long steps = 0, seeds = 0, faults = 0, failures = 0;
  while (steps < total) {
    const SessionOutcome outcome = runRandomSession(seed, kStepsPerSeed);
    steps += outcome.steps;
    faults += outcome.faultsInjected;
    ++seeds;
    if (!outcome.failure.empty()) {
      ++failures;
      ADD_FAILURE() << failureReport(seed, outcome);
    }
    ++seed;
  }
  std::cout << "soak: steps " << steps << ", seeds " << seeds << " (from "
            << (seed - static_cast<std::uint64_t>(seeds))
            << "), faults injected " << faults << ", violations " << failures
            << std::endl;
  EXPECT_EQ(failures, 0);
}

}  // namespace
