// What the benchmark suites share after a run: the time of every benchmark as
// it was reported, and a plain-text table of figures and ratios.
#ifndef BENCH_FIGURE_TABLE_H
#define BENCH_FIGURE_TABLE_H

#include <benchmark/benchmark.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace bench {

// Prints what the console reporter prints and keeps, per benchmark, the
// fastest time of any repetition: on a shared machine the fastest run is the
// one least disturbed by other work, and two figures of one run compare fairly.
class FigureCollector : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override;

  // Seconds per iteration of the benchmark registered under name.
  std::optional<double> seconds(const std::string& name) const;
  // A counter of that benchmark: the smallest any repetition reported (the
  // counters here are costs, whose least disturbed figure is the smallest).
  std::optional<double> counter(const std::string& name,
                                const std::string& counterName) const;

 private:
  std::map<std::string, double> fastest_;
  std::map<std::string, std::map<std::string, double>> counters_;
};

// The fastest of a benchmark's repetitions, for ComputeStatistics.
double fastestOf(const std::vector<double>& values);

// A Markdown table, padded so that it also reads well on a terminal.
class Table {
 public:
  explicit Table(std::vector<std::string> header);
  void addRow(std::vector<std::string> cells);
  std::string str() const;

 private:
  std::vector<std::vector<std::string>> rows_;
};

// Fixed-point text of value with the given number of decimals; "n/a" when
// there is no value.
std::string fixed(std::optional<double> value, int decimals);

}  // namespace bench

#endif
