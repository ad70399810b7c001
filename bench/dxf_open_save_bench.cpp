// Opening and saving a large drawing file: the DXF reader alone, a whole
// open into the simulated host, and a save. The file comes from
// PLIVET_DXF_BENCH_FILE; bench/dxf_compare.sh makes one with ezdxf and sets
// it, so the same file is timed with ezdxf's reader in the same run.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "dxf/dxf_document_reader.h"
#include "host/sim/host.h"

namespace {

std::string benchFile() {
  const char* path = std::getenv("PLIVET_DXF_BENCH_FILE");
  return path != nullptr ? path : "";
}

void BM_ReadDocument(benchmark::State& state) {
  std::string path = benchFile();
  if (path.empty()) {
    state.SkipWithError("set PLIVET_DXF_BENCH_FILE to a DXF file");
    return;
  }
  for (auto _ : state) {
    dxf::Document document;
    text::Error error;
    if (!dxf::readDocumentFile(path, document, error)) {
      state.SkipWithError(error.text().c_str());
      return;
    }
    benchmark::DoNotOptimize(document.entities.size());
  }
}

void BM_OpenDrawing(benchmark::State& state) {
  std::string path = benchFile();
  if (path.empty()) {
    state.SkipWithError("set PLIVET_DXF_BENCH_FILE to a DXF file");
    return;
  }
  for (auto _ : state) {
    // Making and tearing down the host is not part of opening.
    state.PauseTiming();
    auto host = std::make_unique<sim::Host>();
    text::Error error;
    state.ResumeTiming();
    bool opened = host->openDrawingFile(path, "bench", error);
    state.PauseTiming();
    host.reset();
    state.ResumeTiming();
    if (!opened) {
      state.SkipWithError(error.text().c_str());
      return;
    }
  }
}

void BM_SaveDrawing(benchmark::State& state) {
  std::string path = benchFile();
  if (path.empty()) {
    state.SkipWithError("set PLIVET_DXF_BENCH_FILE to a DXF file");
    return;
  }
  sim::Host host;
  text::Error error;
  if (!host.openDrawingFile(path, "bench", error)) {
    state.SkipWithError(error.text().c_str());
    return;
  }
  std::string out = path + ".saved.dxf";
  for (auto _ : state) {
    if (!host.saveDrawingFile(out, error)) {
      state.SkipWithError(error.text().c_str());
      return;
    }
  }
  std::remove(out.c_str());
}

}  // namespace

BENCHMARK(BM_ReadDocument)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenDrawing)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveDrawing)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
