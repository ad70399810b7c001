// The module's cost next to the host's own work: every copy scenario runs in
// one process twice, with the module watching and with it stopped, on a
// fresh drawing each time; only the command itself is timed, in processor
// time of the thread. The tables after the run give the time per copy, the
// ratio to the simulated host's own copy, how time grows from N to 10N, and
// the host calls the module makes against the least the module's work needs.
// --module=FILE measures another build of the module against the same host.
//
// Under valgrind --tool=callgrind --instr-atstart=no only the timed command
// is instrumented, so the instruction count is the command's alone.
#include <malloc.h>
#include <sys/resource.h>
#include <valgrind/callgrind.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "bench/copy_scenarios.h"
#include "bench/cpu_stopwatch.h"
#include "bench/figure_table.h"

namespace {

std::string benchName(const bench::CopyScenario& scenario, bool watching) {
  return scenario.name + (watching ? "/watching" : "/stopped");
}

// Under perf record --control=fifo:PATH -D -1, with PLIVET_PERF_CONTROL=PATH,
// only the timed command is sampled, as under callgrind.
void perfControl(const char* command) {
  static std::FILE* fifo = [] {
    const char* path = std::getenv("PLIVET_PERF_CONTROL");
    return path != nullptr ? std::fopen(path, "w") : nullptr;
  }();
  if (fifo == nullptr) return;
  std::fputs(command, fifo);
  std::fflush(fifo);
}

std::string gModuleFile = PLIVET_MODULE_FILE;
// The host's calls during each benchmark's command, by operation: the same
// in every repetition.
std::map<std::string, std::map<std::string, long>> gCalls;

void runScenario(benchmark::State& state, const bench::CopyScenario* scenario,
                 bool watching) {
  long pageFaults = 0;
  double heapGrowth = 0;
  for (auto _ : state) {
    bench::PreparedDrawing drawing(*scenario, watching, gModuleFile);
    if (!drawing.problem().empty()) {
      state.SkipWithError(drawing.problem().c_str());
      break;
    }
    CALLGRIND_START_INSTRUMENTATION;
    perfControl("enable\n");
    rusage before;
    getrusage(RUSAGE_THREAD, &before);
    const std::size_t heapBefore = mallinfo2().uordblks;
    const bench::CpuStopwatch stopwatch;
    const sim::Created created = drawing.run();
    const double seconds = stopwatch.seconds();
    CALLGRIND_STOP_INSTRUMENTATION;
    perfControl("disable\n");
    rusage after;
    getrusage(RUSAGE_THREAD, &after);
    pageFaults = after.ru_minflt - before.ru_minflt;
    heapGrowth = double(mallinfo2().uordblks) - double(heapBefore);
    state.SetIterationTime(seconds);
    gCalls[benchName(*scenario, watching)] = drawing.callCounts();
    const std::string problem = drawing.checkCopies(created);
    if (!problem.empty()) {
      state.SkipWithError(problem.c_str());
      break;
    }
  }
  state.counters["clones"] = static_cast<double>(scenario->clones());
  state.counters["page_faults_per_copy"] =
      double(pageFaults) / double(scenario->clones());
  state.counters["heap_bytes_per_copy"] =
      heapGrowth / double(scenario->clones());
}

std::optional<double> ratio(std::optional<double> a, std::optional<double> b) {
  if (!a || !b || *b <= 0) return std::nullopt;
  return *a / *b;
}

std::optional<double> perClone(std::optional<double> seconds, long clones,
                               double unit) {
  if (!seconds) return std::nullopt;
  return *seconds * unit / double(clones);
}

// The least the module's work needs of the host, per copy and per new part:
// open the source, read its xdata, close it; open the copy, read its xdata,
// write it, close it; its entity name for the record. Per part: register its
// tag, then the record as its steps go (the working drawing and the
// named-objects dictionary twice, the part dictionary looked up twice and the
// tag once, the part dictionary added to and the record's data set once, five
// closes). Calls beyond are named in docs/performance.md.
struct CallFloor {
  const char* operation;
  int perCopy, perPart;
};
const CallFloor kCallFloor[] = {{"open", 2, 0},
                                {"close", 2, 5},
                                {"xData", 2, 0},
                                {"setXData", 1, 0},
                                {"getAdsName", 1, 0},
                                {"regApp", 0, 1},
                                {"workingDatabase", 0, 2},
                                {"getNamedObjectsDictionary", 0, 2},
                                {"dictionaryGetAt", 0, 3},
                                {"dictionarySetAt", 0, 1},
                                {"setFromRbChain", 0, 1}};

// One row per operation the module calls or the floor names: the calls
// watching less those stopped, per copy and per part, beside the floor.
void printHostCalls(const std::vector<bench::CopyScenario>& scenarios) {
  bench::Table table({"scenario", "N", "operation", "calls", "per copy",
                      "per part", "floor", "beyond"});
  for (const bench::CopyScenario& scenario : scenarios) {
    const auto watching = gCalls.find(benchName(scenario, true));
    const auto stopped = gCalls.find(benchName(scenario, false));
    if (watching == gCalls.end() || stopped == gCalls.end()) continue;
    std::map<std::string, long> calls = watching->second;
    for (const auto& [operation, count] : stopped->second)
      calls[operation] -= count;
    std::map<std::string, long> floor;
    for (const CallFloor& f : kCallFloor) {
      floor[f.operation] =
          f.perCopy * scenario.clones() + f.perPart * scenario.parts();
      calls[f.operation] += 0;
    }
    for (const auto& [operation, count] : calls) {
      if (count == 0 && floor[operation] == 0) continue;
      table.addRow({scenario.label, std::to_string(scenario.entities),
                    operation, std::to_string(count),
                    bench::fixed(double(count) / double(scenario.clones()), 2),
                    bench::fixed(double(count) / double(scenario.parts()), 2),
                    std::to_string(floor[operation]),
                    std::to_string(count - floor[operation])});
    }
  }
  std::printf("\nHost calls the module makes (watching less stopped)\n\n%s",
              table.str().c_str());
}

}  // namespace

int main(int argc, char** argv) {
  // Each scenario is measured on a fresh drawing, so a repetition is one
  // command; --quick runs each once (for a profiler or a first look).
  bool quick = false;
  std::vector<char*> args;
  for (int i = 0; i < argc; ++i) {
    const std::string arg = argv[i];
    if (i > 0 && arg == "--quick")
      quick = true;
    else if (i > 0 && arg.rfind("--module=", 0) == 0)
      gModuleFile = arg.substr(9);
    else
      args.push_back(argv[i]);
  }
  int argCount = static_cast<int>(args.size());

  const std::vector<bench::CopyScenario> scenarios = bench::copyScenarios();
  // The repetitions go in rounds, each measuring every scenario stopped and
  // then watching, so that a slow spell of a shared machine falls on both
  // modes alike rather than on all the repetitions of one. The collector
  // keeps the fastest run of each name.
  int rounds = 1;
  for (const bench::CopyScenario& scenario : scenarios)
    rounds = std::max(rounds, quick ? 1 : scenario.repetitions);
  for (int round = 0; round < rounds; ++round)
    for (const bench::CopyScenario& scenario : scenarios) {
      if (round >= (quick ? 1 : scenario.repetitions)) continue;
      for (bool watching : {false, true})
        benchmark::RegisterBenchmark(benchName(scenario, watching).c_str(),
                                     runScenario, &scenario, watching)
            ->UseManualTime()
            ->Unit(benchmark::kMillisecond)
            ->Iterations(1);
    }

  benchmark::Initialize(&argCount, args.data());
  if (benchmark::ReportUnrecognizedArguments(argCount, args.data())) return 1;
  bench::FigureCollector collector;
  benchmark::RunSpecifiedBenchmarks(&collector);

  bench::Table table({"scenario", "N", "copies", "stopped ms", "watching ms",
                      "ratio", "host ns/copy", "module ns/copy",
                      "growth from N/10"});
  for (const bench::CopyScenario& scenario : scenarios) {
    const std::optional<double> watching =
        collector.seconds(benchName(scenario, true));
    const std::optional<double> stopped =
        collector.seconds(benchName(scenario, false));
    if (!watching && !stopped) continue;
    std::optional<double> moduleSeconds;
    if (watching && stopped) moduleSeconds = *watching - *stopped;
    std::optional<double> growth;
    if (!scenario.tenthName.empty())
      for (const bench::CopyScenario& tenth : scenarios)
        if (tenth.name == scenario.tenthName)
          growth = ratio(watching, collector.seconds(benchName(tenth, true)));
    table.addRow(
        {scenario.label, std::to_string(scenario.entities),
         std::to_string(scenario.clones()),
         bench::fixed(perClone(stopped, 1, 1e3), 1),
         bench::fixed(perClone(watching, 1, 1e3), 1),
         bench::fixed(ratio(watching, stopped), 2),
         bench::fixed(perClone(stopped, scenario.clones(), 1e9), 0),
         bench::fixed(perClone(moduleSeconds, scenario.clones(), 1e9), 0),
         growth ? bench::fixed(growth, 2) : std::string("")});
  }
  std::printf(
      "\nModule watching against stopped (fastest repetition of each; the"
      " ratio is against the simulated host's copy)\n\n%s",
      table.str().c_str());
  printHostCalls(scenarios);
  benchmark::Shutdown();
  return 0;
}
