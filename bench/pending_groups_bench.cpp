// The pending groups alone: filing a million (source, clone) pairs spread over
// few or many tags, then flushing them, and the bytes a pending copy holds.
// A flush here hands each group to a retag that only counts it: what
// retagging costs the host is measured by module_cost_bench.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "bench/counting_allocator.h"
#include "bench/cpu_stopwatch.h"
#include "bench/figure_table.h"
#include "bench/warm_heap.h"
#include "watcher/pending_groups.h"

namespace {

const long kPairs = 1000000;
const long kTagCounts[] = {10, 1000, 100000};

// How the pairs of one deep clone meet the tags: one after another in turn
// (every pair a different group from the last); in turn ten at a time, as a
// copy of parts of ten objects brings them, the same number of changes of
// tag at any number of tags; or each tag's share together, so that a
// thousand times more tags also means a thousand times more changes of tag
// and groups made.
enum class Order { RoundRobin, RunsOfTen, PartsTogether };

const char* orderName(Order order) {
  switch (order) {
    case Order::RoundRobin:
      return "round_robin";
    case Order::RunsOfTen:
      return "runs_of_10";
    case Order::PartsTogether:
      break;
  }
  return "parts_together";
}

// Tags as the module makes them: "$" and a handle's hexadecimal text.
std::vector<AcWString> makeTags(long count) {
  std::vector<AcWString> tags;
  tags.reserve(static_cast<std::size_t>(count));
  for (long i = 0; i < count; ++i) {
    char text[24];
    std::snprintf(text, sizeof text, "$%lX", 0x100000L + i);
    tags.emplace_back(text, text + std::char_traits<char>::length(text));
  }
  return tags;
}

// Files pairs over tags: one after another in turn, or each tag's share
// together. Nested loops rather than a division per pair, which would cost
// about as much as filing a pair of a part met just before.
void fileAll(PendingGroupList& pending, const std::vector<AcWString>& tags,
             long pairs, Order order);

// A clone id that names no object: the list never looks at it.
AcDbObjectId fakeClone(long i) {
  return AcDbObjectId(
      reinterpret_cast<AcDbStub*>(static_cast<std::uintptr_t>(i + 1) * 8));
}

// The bytes of a tag's text as the module hands it on: its units and the
// terminator. What the list holds beyond these, however it keeps them, is
// what a pending copy costs.
std::size_t textBytes(const AcWString& tag) {
  return (tag.size() + 1) * sizeof(ACHAR);
}

void fileAll(PendingGroupList& pending, const std::vector<AcWString>& tags,
             long pairs, Order order) {
  const long tagCount = static_cast<long>(tags.size());
  const long perTag = pairs / tagCount;
  long clone = 0;
  if (order == Order::RoundRobin) {
    for (long round = 0; round < perTag; ++round)
      for (const AcWString& tag : tags) pending.file(tag, fakeClone(clone++));
  } else if (order == Order::RunsOfTen) {
    for (long round = 0; round < perTag / 10; ++round)
      for (const AcWString& tag : tags)
        for (int k = 0; k < 10; ++k) pending.file(tag, fakeClone(clone++));
  } else {
    for (const AcWString& tag : tags)
      for (long k = 0; k < perTag; ++k) pending.file(tag, fakeClone(clone++));
  }
}

long gRetaggedClones = 0;
void countRetag(AcDbObjectIdArray ids, const ACHAR*) {
  gRetaggedClones += ids.length();
}

void fileThenFlush(benchmark::State& state, long pairs, long tagCount,
                   Order order) {
  const std::vector<AcWString> tags = makeTags(tagCount);
  std::size_t tagTextBytes = 0;
  for (const AcWString& tag : tags) tagTextBytes += textBytes(tag);
  double fileSeconds = 0, flushSeconds = 0, bytesPerCopy = 0;
  for (auto _ : state) {
    PendingGroupList pending;
    const std::size_t heapBefore = bench::liveHeapBytes();
    bench::CpuStopwatch stopwatch;
    fileAll(pending, tags, pairs, order);
    const double file = stopwatch.seconds();
    const std::size_t held = bench::liveHeapBytes() - heapBefore;
    gRetaggedClones = 0;
    stopwatch.restart();
    pending.drain(countRetag);
    const double flush = stopwatch.seconds();
    if (gRetaggedClones != pairs || !pending.isEmpty()) {
      state.SkipWithError("the flush lost pending copies");
      break;
    }
    state.SetIterationTime(file);
    fileSeconds = fileSeconds == 0 ? file : std::min(fileSeconds, file);
    flushSeconds = flushSeconds == 0 ? flush : std::min(flushSeconds, flush);
    bytesPerCopy = (double(held) - double(tagTextBytes)) / double(pairs);
  }
  state.counters["file_ns_per_pair"] = fileSeconds * 1e9 / double(pairs);
  state.counters["flush_ns_per_pair"] = flushSeconds * 1e9 / double(pairs);
  state.counters["bytes_per_pending_copy"] = bytesPerCopy;
}

std::string benchName(long pairs, long tags, Order order) {
  return "file_then_flush/pairs:" + std::to_string(pairs) +
         "/tags:" + std::to_string(tags) + "/" + orderName(order);
}

}  // namespace

int main(int argc, char** argv) {
  bench::keepFreedMemory();
  struct Case {
    long pairs, tags;
    Order order;
  };
  std::vector<Case> cases;
  for (Order order :
       {Order::RoundRobin, Order::RunsOfTen, Order::PartsTogether})
    for (long tags : kTagCounts) cases.push_back({kPairs, tags, order});
  // A copy of many one-entity parts: every pending copy has a group of its own.
  cases.push_back({100000, 100000, Order::PartsTogether});
  // The repetitions go in rounds, each filing every case, so that a slow
  // spell of a shared machine falls on the 10-tag and the 100,000-tag cases
  // alike rather than on all the repetitions of one. The collector keeps the
  // fastest run of each name.
  const int kRounds = 15;
  for (int round = 0; round < kRounds; ++round)
    for (const Case& c : cases)
      benchmark::RegisterBenchmark(benchName(c.pairs, c.tags, c.order).c_str(),
                                   fileThenFlush, c.pairs, c.tags, c.order)
          ->UseManualTime()
          ->Unit(benchmark::kMillisecond)
          ->Iterations(3);

  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  bench::FigureCollector collector;
  benchmark::RunSpecifiedBenchmarks(&collector);

  bench::Table table({"pairs", "tags", "order", "file ns/pair", "vs 10 tags",
                      "flush ns/pair", "bytes/pending copy"});
  for (const Case& c : cases) {
    const std::string name = benchName(c.pairs, c.tags, c.order);
    const std::optional<double> seconds = collector.seconds(name);
    if (!seconds) continue;
    const double perPair = *seconds * 1e9 / double(c.pairs);
    std::optional<double> versus10;
    if (const std::optional<double> base =
            collector.seconds(benchName(c.pairs, 10, c.order)))
      versus10 = perPair / (*base * 1e9 / double(c.pairs));
    table.addRow(
        {std::to_string(c.pairs), std::to_string(c.tags), orderName(c.order),
         bench::fixed(perPair, 1), bench::fixed(versus10, 2),
         bench::fixed(collector.counter(name, "flush_ns_per_pair"), 1),
         bench::fixed(collector.counter(name, "bytes_per_pending_copy"), 1)});
  }
  std::printf("\nPending groups: filing pairs, then the flush\n\n%s",
              table.str().c_str());
  benchmark::Shutdown();
  return 0;
}
