// Seeded random sessions: run one, replay a list of steps, and shrink a
// failing session to the shortest script that still fails.
#ifndef TESTS_RANDOM_RANDOM_SESSION_H
#define TESTS_RANDOM_RANDOM_SESSION_H

#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/session_driver.h"
#include "tests/support/session_step.h"

struct SessionOutcome {
  long steps = 0;                   // steps applied
  long faultsInjected = 0;          // host calls failed on purpose
  std::string failure;              // the first broken invariant, "" if none
  std::vector<SessionStep> script;  // the steps applied, up to the failure
};

// Generates and applies `steps` steps from `seed`, stopping at the first
// broken invariant.
SessionOutcome runRandomSession(std::uint64_t seed, int steps,
                                const ExtraInvariant& extra = nullptr);

// Applies the steps that apply (others are skipped), stopping at the first
// broken invariant.
SessionOutcome replaySession(const std::vector<SessionStep>& steps,
                             const ExtraInvariant& extra = nullptr);

// Deletes steps while the replay still fails; returns the steps applied in
// the last failing replay.
std::vector<SessionStep> shrinkSession(std::vector<SessionStep> steps,
                                       const ExtraInvariant& extra = nullptr);

// The report of a failing seed: the failure and the shortest script.
std::string failureReport(std::uint64_t seed, const SessionOutcome& outcome,
                          const ExtraInvariant& extra = nullptr);

#endif
