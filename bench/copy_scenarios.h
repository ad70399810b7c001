// The copy scenarios the module's cost is measured on: a drawing of tagged
// entities in the simulated host, the module loaded from its file, watching
// or stopped, and one host command over the whole selection.
#ifndef BENCH_COPY_SCENARIOS_H
#define BENCH_COPY_SCENARIOS_H

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "host/sim/host.h"

namespace bench {

struct CopyScenario {
  std::string name;     // "copy_parts_of_10/N:10000"
  std::string label;    // for the table: "COPY, parts of 10"
  std::string command;  // COPY, ARRAY or EXPLODE
  long entities = 0;    // all selected
  long partSize = 1;    // entities that share one tag
  int pieces = 1;       // what EXPLODE makes of one entity
  int repeat = 1;       // copies ARRAY makes
  int repetitions = 1;  // fresh drawings measured; the fastest counts
  // The scenario with ten times fewer entities, for the growth figure; ""
  // when there is none.
  std::string tenthName;

  long clones() const { return entities * pieces * repeat; }
  // The new parts the command makes while watching: one per source part in
  // each deep clone.
  long parts() const { return entities / partSize * repeat; }
};

// Every scenario, smallest first within each kind.
std::vector<CopyScenario> copyScenarios();

// One fresh host holding the scenario's drawing with the module loaded from
// moduleFile; the module is stopped (QORMPLIVETSTOP) unless watching. One at
// a time: the simulated host allows a single live host per process.
class PreparedDrawing {
 public:
  PreparedDrawing(const CopyScenario& scenario, bool watching,
                  const std::string& moduleFile);
  ~PreparedDrawing();

  // An empty text when the drawing is ready, else what went wrong.
  const std::string& problem() const { return problem_; }
  // The scenario's command over the whole selection; what it created.
  sim::Created run();
  // The host's calls during run, by operation.
  std::map<std::string, long> callCounts() const { return host_->callCounts(); }
  // After run: an empty text when the copies are what the mode promises (a
  // new part per group while watching, the source's tag while stopped).
  std::string checkCopies(const sim::Created& created) const;

 private:
  const CopyScenario& scenario_;
  bool watching_;
  std::unique_ptr<sim::Host> host_;
  std::vector<AcDbObjectId> selection_;
  std::string problem_;
};

}  // namespace bench

#endif
