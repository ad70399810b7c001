// A failing session is shrunk the way such tools usually do it: remove
// halves, then quarters, down to single steps, keeping every removal after
// which the replay still fails. Steps that no longer apply (their objects
// were never made) are skipped on replay and left out of the script.
#include "tests/random/random_session.h"

#include <algorithm>

#include "tests/random/step_generator.h"
#include "tests/support/session_driver.h"

SessionOutcome runRandomSession(std::uint64_t seed, int steps,
                                const ExtraInvariant& extra) {
  SessionOutcome outcome;
  SessionDriver session(extra);
  StepGenerator generator(seed);
  outcome.failure = session.failure();
  const SessionStep opening = StepGenerator::opening(seed);
  if (session.apply(opening)) outcome.script.push_back(opening);
  for (int i = 0; i < steps && outcome.failure.empty(); ++i) {
    const SessionStep step = generator.next(session);
    if (!session.apply(step)) continue;
    outcome.script.push_back(session.lastApplied());
    outcome.failure = session.failure();
  }
  outcome.steps = session.stepsApplied();
  outcome.faultsInjected = session.faultsInjected();
  return outcome;
}

SessionOutcome replaySession(const std::vector<SessionStep>& steps,
                             const ExtraInvariant& extra) {
  SessionOutcome outcome;
  SessionDriver session(extra);
  outcome.failure = session.failure();
  for (const SessionStep& step : steps) {
    if (!outcome.failure.empty()) break;
    if (!session.apply(step)) continue;
    outcome.script.push_back(session.lastApplied());
    outcome.failure = session.failure();
  }
  outcome.steps = session.stepsApplied();
  outcome.faultsInjected = session.faultsInjected();
  return outcome;
}

namespace {

// One pass of deleting runs of steps, halving the run length down to one.
bool deleteSteps(std::vector<SessionStep>& steps, const ExtraInvariant& extra) {
  bool any = false;
  for (std::size_t chunk = steps.size() / 2; chunk >= 1;) {
    bool removed = false;
    for (std::size_t at = 0; at < steps.size();) {
      std::vector<SessionStep> fewer(steps.begin(),
                                     steps.begin() + static_cast<long>(at));
      const std::size_t end = std::min(steps.size(), at + chunk);
      fewer.insert(fewer.end(), steps.begin() + static_cast<long>(end),
                   steps.end());
      SessionOutcome tried = replaySession(fewer, extra);
      if (!tried.failure.empty()) {
        steps = tried.script;
        removed = any = true;
      } else {
        at += chunk;
      }
    }
    if (!removed) chunk /= 2;
  }
  return any;
}

// One pass of making single steps smaller: fewer objects selected, no
// repeat, a plain outcome.
bool simplifySteps(std::vector<SessionStep>& steps,
                   const ExtraInvariant& extra) {
  bool any = false;
  for (std::size_t i = 0; i < steps.size(); ++i) {
    std::vector<SessionStep> variants;
    const SessionStep& step = steps[i];
    for (std::size_t k = 0; k < step.labels.size() && step.labels.size() > 1;
         ++k) {
      SessionStep fewer = step;
      fewer.labels.erase(fewer.labels.begin() + static_cast<long>(k));
      variants.push_back(fewer);
    }
    if (step.repeat > 1) {
      SessionStep once = step;
      once.repeat = 1;
      variants.push_back(once);
    }
    if (step.kind == StepKind::Command && step.outcome != sim::Outcome::Ended) {
      SessionStep ended = step;
      ended.outcome = sim::Outcome::Ended;
      variants.push_back(ended);
    }
    if (step.kind == StepKind::Fault && step.count > 1) {
      SessionStep once = step;
      once.count = 1;
      variants.push_back(once);
    }
    for (const SessionStep& variant : variants) {
      std::vector<SessionStep> tried = steps;
      tried[i] = variant;
      SessionOutcome outcome = replaySession(tried, extra);
      if (outcome.failure.empty()) continue;
      steps = outcome.script;
      any = true;
      break;
    }
  }
  return any;
}

}  // namespace

std::vector<SessionStep> shrinkSession(std::vector<SessionStep> steps,
                                       const ExtraInvariant& extra) {
  SessionOutcome last = replaySession(steps, extra);
  if (last.failure.empty()) return steps;
  steps = last.script;
  bool progress = true;
  while (progress) {
    progress = deleteSteps(steps, extra);
    progress = simplifySteps(steps, extra) || progress;
  }
  return steps;
}

std::string failureReport(std::uint64_t seed, const SessionOutcome& outcome,
                          const ExtraInvariant& extra) {
  const std::vector<SessionStep> shortest =
      shrinkSession(outcome.script, extra);
  const SessionOutcome again = replaySession(shortest, extra);
  return "seed " + std::to_string(seed) + " failed after " +
         std::to_string(outcome.steps) + " steps: " + outcome.failure +
         "\nshortest script (" + std::to_string(shortest.size()) +
         " steps), failing with: " + again.failure + "\n" +
         scriptOf(shortest,
                  "seed " + std::to_string(seed) + ": " + again.failure);
}
