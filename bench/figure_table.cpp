#include "bench/figure_table.h"

#include <algorithm>
#include <cstdio>

namespace bench {

void FigureCollector::ReportRuns(const std::vector<Run>& runs) {
  ConsoleReporter::ReportRuns(runs);
  for (const Run& run : runs) {
    // Aggregates restate the repetitions; an errored run has no figure.
    if (run.error_occurred || run.run_type != Run::RT_Iteration ||
        run.iterations == 0)
      continue;
    const std::string& name = run.run_name.function_name;
    const double perIteration =
        run.real_accumulated_time / static_cast<double>(run.iterations);
    auto found = fastest_.find(name);
    if (found == fastest_.end())
      fastest_.emplace(name, perIteration);
    else
      found->second = std::min(found->second, perIteration);
    for (const auto& [counterName, value] : run.counters) {
      auto kept = counters_[name].emplace(counterName, value.value).first;
      kept->second = std::min(kept->second, value.value);
    }
  }
}

std::optional<double> FigureCollector::seconds(const std::string& name) const {
  auto found = fastest_.find(name);
  if (found == fastest_.end()) return std::nullopt;
  return found->second;
}

std::optional<double> FigureCollector::counter(
    const std::string& name, const std::string& counterName) const {
  auto found = counters_.find(name);
  if (found == counters_.end()) return std::nullopt;
  auto value = found->second.find(counterName);
  if (value == found->second.end()) return std::nullopt;
  return value->second;
}

double fastestOf(const std::vector<double>& values) {
  return values.empty() ? 0.0 : *std::min_element(values.begin(), values.end());
}

Table::Table(std::vector<std::string> header) { rows_.push_back(header); }

void Table::addRow(std::vector<std::string> cells) {
  cells.resize(rows_.front().size());
  rows_.push_back(std::move(cells));
}

std::string Table::str() const {
  std::vector<std::size_t> width(rows_.front().size(), 3);
  for (const auto& row : rows_)
    for (std::size_t c = 0; c < row.size(); ++c)
      width[c] = std::max(width[c], row[c].size());
  auto line = [&](const std::vector<std::string>& cells) {
    std::string text = "|";
    for (std::size_t c = 0; c < cells.size(); ++c) {
      // Names left, figures right, as a reader scans them.
      const std::string pad(width[c] - cells[c].size(), ' ');
      text += " " + (c == 0 ? cells[c] + pad : pad + cells[c]) + " |";
    }
    return text + "\n";
  };
  std::string text = line(rows_.front());
  text += "|";
  for (std::size_t c = 0; c < width.size(); ++c)
    text += (c == 0 ? " :" : " ") + std::string(width[c] - 1, '-') +
            (c == 0 ? " |" : ": |");
  text += "\n";
  for (std::size_t r = 1; r < rows_.size(); ++r) text += line(rows_[r]);
  return text;
}

std::string fixed(std::optional<double> value, int decimals) {
  if (!value) return "n/a";
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", decimals, *value);
  return text;
}

}  // namespace bench
