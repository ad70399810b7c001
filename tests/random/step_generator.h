// Picks the next line of a random session from a seed and the session's
// state: what a user, the host's commands, LISP and the host's failures
// could do next, written in the runner's session language.
#ifndef TESTS_RANDOM_STEP_GENERATOR_H
#define TESTS_RANDOM_STEP_GENERATOR_H

#include <cstdint>
#include <string>
#include <vector>

#include "host/sim/host.h"
#include "tests/support/session_driver.h"

class StepGenerator {
 public:
  explicit StepGenerator(std::uint64_t seed) : state_(seed) {}

  std::string next(const SessionDriver& session);
  // The session's first line, before any step: the host lists references in
  // its id maps in about a third of the sessions.
  static std::string opening(std::uint64_t seed);

 private:
  // splitmix64: the same numbers from the same seed with every compiler and
  // standard library, so a seed replays anywhere.
  std::uint64_t nextBits();
  // 0 .. n-1
  std::size_t below(std::size_t n) { return n == 0 ? 0 : nextBits() % n; }
  bool chance(int percent) {
    return below(100) < static_cast<std::size_t>(percent);
  }
  template <typename T>
  const T& pick(const std::vector<T>& from) {
    return from[below(from.size())];
  }

  // A command as a `command`, `begin` or `end` line may use it.
  struct CommandPick {
    std::string name;
    std::vector<std::string> labels;
    int repeat = 1;
    sim::Outcome outcome = sim::Outcome::Ended;
  };

  std::string add(const SessionDriver& session);
  std::string xdata(const SessionDriver& session);
  CommandPick command(const SessionDriver& session);
  std::string fault(const SessionDriver& session);
  std::vector<std::string> selection(const SessionDriver& session,
                                     std::size_t most);
  sim::Items items();

  std::uint64_t state_;
  int nextLabel_ = 1;
};

#endif
