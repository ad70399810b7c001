// A failing session is shrunk the way such tools usually do it: remove
// halves, then quarters, down to single lines, keeping every removal after
// which the replay still fails. Lines that no longer apply (their objects
// were never made) are passed over on replay and left out of the script.
#include "tests/random/random_session.h"

#include <algorithm>
#include <sstream>

#include "tests/random/step_generator.h"
#include "tests/support/session_driver.h"
#include "tools/cadsim/statement.h"

SessionOutcome runRandomSession(std::uint64_t seed, int steps,
                                const ExtraInvariant& extra) {
  SessionOutcome outcome;
  SessionDriver session(extra);
  StepGenerator generator(seed);
  outcome.failure = session.failure();
  const std::string opening = StepGenerator::opening(seed);
  if (session.apply(opening)) outcome.script.push_back(opening);
  for (int i = 0; i < steps && outcome.failure.empty(); ++i) {
    const std::string line = generator.next(session);
    if (session.apply(line)) outcome.script.push_back(line);
    outcome.failure = session.failure();
  }
  outcome.steps = session.linesApplied();
  outcome.faultsInjected = session.faultsInjected();
  return outcome;
}

SessionOutcome replaySession(const std::vector<std::string>& lines,
                             const ExtraInvariant& extra) {
  SessionOutcome outcome;
  SessionDriver session(extra);
  outcome.failure = session.failure();
  for (const std::string& line : lines) {
    if (!outcome.failure.empty()) break;
    if (session.apply(line)) outcome.script.push_back(line);
    outcome.failure = session.failure();
  }
  outcome.steps = session.linesApplied();
  outcome.faultsInjected = session.faultsInjected();
  return outcome;
}

namespace {

// One pass of deleting runs of lines, halving the run length down to one.
bool deleteLines(std::vector<std::string>& lines, const ExtraInvariant& extra) {
  bool any = false;
  for (std::size_t chunk = lines.size() / 2; chunk >= 1;) {
    bool removed = false;
    for (std::size_t at = 0; at < lines.size();) {
      std::vector<std::string> fewer(lines.begin(),
                                     lines.begin() + static_cast<long>(at));
      const std::size_t end = std::min(lines.size(), at + chunk);
      fewer.insert(fewer.end(), lines.begin() + static_cast<long>(end),
                   lines.end());
      SessionOutcome tried = replaySession(fewer, extra);
      if (!tried.failure.empty()) {
        lines = tried.script;
        removed = any = true;
      } else {
        at += chunk;
      }
    }
    if (!removed) chunk /= 2;
  }
  return any;
}

std::vector<std::string> wordsOf(const std::string& line) {
  std::istringstream in(line);
  std::vector<std::string> words;
  for (std::string word; in >> word;) words.push_back(word);
  return words;
}

std::string lineOf(const std::vector<std::string>& words) {
  std::string line;
  for (const std::string& word : words)
    line += (line.empty() ? "" : " ") + word;
  return line;
}

// Smaller forms of one line: one object fewer selected, no repeat, a plain
// outcome, a fault of one call. Only lines without quoted text are
// simplified, so that they split into words.
std::vector<std::string> simplerForms(const std::string& line) {
  std::vector<std::string> forms;
  std::vector<cadsim::Statement> parsed;
  text::Error error;
  if (line.find('"') != std::string::npos ||
      !cadsim::parseScript(line + "\n", parsed, error) || parsed.size() != 1)
    return forms;
  const cadsim::Statement& s = parsed[0];
  const std::vector<std::string> words = wordsOf(line);
  if (s.labels.size() > 1) {
    for (const std::string& label : s.labels) {
      std::vector<std::string> fewer = words;
      fewer.erase(std::find(fewer.begin() + 1, fewer.end(), label));
      forms.push_back(lineOf(fewer));
    }
  }
  for (const char* option : {"repeat=", "outcome="}) {
    std::vector<std::string> plain = words;
    const auto at = std::find_if(
        plain.begin(), plain.end(),
        [&](const std::string& w) { return w.rfind(option, 0) == 0; });
    if (at == plain.end()) continue;
    plain.erase(at);
    forms.push_back(lineOf(plain));
  }
  if (s.verb == cadsim::Verb::Fault && s.fault.count > 1) {
    std::vector<std::string> once = words;
    for (std::string& word : once)
      if (word.rfind("count=", 0) == 0) word = "count=1";
    forms.push_back(lineOf(once));
  }
  return forms;
}

// One pass of making single lines smaller.
bool simplifyLines(std::vector<std::string>& lines,
                   const ExtraInvariant& extra) {
  bool any = false;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    for (const std::string& variant : simplerForms(lines[i])) {
      std::vector<std::string> tried = lines;
      tried[i] = variant;
      SessionOutcome outcome = replaySession(tried, extra);
      if (outcome.failure.empty()) continue;
      lines = outcome.script;
      any = true;
      break;
    }
  }
  return any;
}

}  // namespace

std::vector<std::string> shrinkSession(std::vector<std::string> lines,
                                       const ExtraInvariant& extra) {
  SessionOutcome last = replaySession(lines, extra);
  if (last.failure.empty()) return lines;
  lines = last.script;
  bool progress = true;
  while (progress) {
    progress = deleteLines(lines, extra);
    progress = simplifyLines(lines, extra) || progress;
  }
  return lines;
}

std::string scriptOf(const std::vector<std::string>& lines,
                     const std::string& heading) {
  std::string script;
  std::istringstream headingLines(heading);
  std::string line;
  while (std::getline(headingLines, line)) script += "# " + line + "\n";
  for (const std::string& applied : lines) script += applied + "\n";
  return script + "check\n";
}

std::string failureReport(std::uint64_t seed, const SessionOutcome& outcome,
                          const ExtraInvariant& extra) {
  const std::vector<std::string> shortest =
      shrinkSession(outcome.script, extra);
  const SessionOutcome again = replaySession(shortest, extra);
  return "seed " + std::to_string(seed) + " failed after " +
         std::to_string(outcome.steps) + " steps: " + outcome.failure +
         "\nshortest script (" + std::to_string(shortest.size()) +
         " steps), failing with: " + again.failure + "\n" +
         scriptOf(shortest,
                  "seed " + std::to_string(seed) + ": " + again.failure);
}
