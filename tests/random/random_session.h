// Seeded random sessions: run one, replay a list of lines, and shrink a
// failing session to the shortest script that still fails.
#ifndef TESTS_RANDOM_RANDOM_SESSION_H
#define TESTS_RANDOM_RANDOM_SESSION_H

#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/session_driver.h"

struct SessionOutcome {
  long steps = 0;           // lines applied
  long faultsInjected = 0;  // host calls failed on purpose
  std::string failure;      // the first broken invariant, "" if none
  // The lines the session applied, up to the failure: the runner replays
  // them as they stand.
  std::vector<std::string> script;
};

// Generates and applies `steps` lines from `seed`, stopping at the first
// broken invariant.
SessionOutcome runRandomSession(std::uint64_t seed, int steps,
                                const ExtraInvariant& extra = nullptr);

// Applies the lines that apply (others are passed over), stopping at the
// first broken invariant.
SessionOutcome replaySession(const std::vector<std::string>& lines,
                             const ExtraInvariant& extra = nullptr);

// Deletes and simplifies lines while the replay still fails; returns the
// lines applied in the last failing replay.
std::vector<std::string> shrinkSession(std::vector<std::string> lines,
                                       const ExtraInvariant& extra = nullptr);

// A whole script: a comment heading, the lines, then `check`.
std::string scriptOf(const std::vector<std::string>& lines,
                     const std::string& heading);

// The report of a failing seed: the failure and the shortest script.
std::string failureReport(std::uint64_t seed, const SessionOutcome& outcome,
                          const ExtraInvariant& extra = nullptr);

#endif
