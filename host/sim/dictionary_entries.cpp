#include "host/sim/dictionary_entries.h"

#include <algorithm>

#include "host/sim/folded_name_index.h"

namespace sim {

namespace {

const std::size_t kSmallestIndex = 16;

ACHAR upperUnit(ACHAR c) {
  return (c >= 'a' && c <= 'z') ? static_cast<ACHAR>(c - 'a' + 'A') : c;
}

}  // namespace

bool FoldedLess::less(const ACHAR* a, std::size_t an, const ACHAR* b,
                      std::size_t bn) {
  const std::size_t n = std::min(an, bn);
  for (std::size_t i = 0; i < n; ++i) {
    const ACHAR x = upperUnit(a[i]);
    const ACHAR y = upperUnit(b[i]);
    if (x != y) return x < y;
  }
  return an < bn;
}

DictionaryEntries::~DictionaryEntries() = default;

DictionaryEntries& DictionaryEntries::operator=(
    const DictionaryEntries& other) {
  if (this == &other) return *this;
  table_.reset();
  if (other.table_)
    for (const auto& entry : other.table_->pool)
      if (entry->second != nullptr) emplace(entry->first, entry->second);
  return *this;
}

DictionaryEntries::Entry* DictionaryEntries::find(const ACHAR* key,
                                                  std::size_t length) {
  if (!table_ || table_->cells.empty()) return nullptr;
  const std::vector<Cell>& cells = table_->cells;
  const std::uint32_t hash = foldedHash(key, length);
  const std::size_t mask = cells.size() - 1;
  for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
    const Cell& cell = cells[i];
    if (cell.entry == nullptr) return nullptr;
    if (cell.hash == hash && equalsFolded(key, length, cell.entry->first))
      return cell.entry;
  }
}

std::pair<DictionaryEntries::Entry*, bool> DictionaryEntries::emplace(
    const AcWString& key, AcDbStub* value) {
  if (Entry* existing = find(key)) return {existing, false};
  if (!table_) table_.reset(new Table);
  Table& table = *table_;
  Entry* entry;
  if (!table.unused.empty()) {
    entry = table.unused.back();
    table.unused.pop_back();
    *entry = Entry(key, value);
  } else {
    table.pool.emplace_back(new Entry(key, value));
    entry = table.pool.back().get();
  }
  ++table.count;
  if (table.count * 2 > table.cells.size()) growIndex();
  index(entry, foldedHash(key.data(), key.size()));
  table.sortedValid = false;
  return {entry, true};
}

void DictionaryEntries::erase(const Entry* entry) {
  if (entry == nullptr || !table_) return;
  unindex(entry);
  Entry* owned = const_cast<Entry*>(entry);
  owned->first.clear();
  owned->second = nullptr;
  table_->unused.push_back(owned);
  --table_->count;
  table_->sortedValid = false;
}

DictionaryEntries::KeyOrder DictionaryEntries::inKeyOrder() const {
  static const std::vector<const Entry*> kNone;
  if (!table_) return KeyOrder(kNone);
  Table& table = *table_;
  if (!table.sortedValid) {
    table.sorted.clear();
    table.sorted.reserve(table.count);
    for (const auto& entry : table.pool)
      if (entry->second != nullptr) table.sorted.push_back(entry.get());
    std::sort(table.sorted.begin(), table.sorted.end(),
              [](const Entry* a, const Entry* b) {
                return FoldedLess()(a->first, b->first);
              });
    table.sortedValid = true;
  }
  return KeyOrder(table.sorted);
}

void DictionaryEntries::index(Entry* entry, std::uint32_t hash) {
  std::vector<Cell>& cells = table_->cells;
  const std::size_t mask = cells.size() - 1;
  std::size_t i = hash & mask;
  while (cells[i].entry != nullptr) i = (i + 1) & mask;
  cells[i].hash = hash;
  cells[i].entry = entry;
}

void DictionaryEntries::unindex(const Entry* entry) {
  std::vector<Cell>& cells = table_->cells;
  const std::size_t mask = cells.size() - 1;
  std::size_t hole =
      foldedHash(entry->first.data(), entry->first.size()) & mask;
  while (cells[hole].entry != entry) hole = (hole + 1) & mask;
  cells[hole].entry = nullptr;
  // Cells after the hole that probed past it move back into it, so every
  // entry stays reachable from its home cell without tombstones.
  for (std::size_t next = (hole + 1) & mask; cells[next].entry != nullptr;
       next = (next + 1) & mask) {
    const std::size_t home = cells[next].hash & mask;
    const bool homeBetween = hole <= next ? (home > hole && home <= next)
                                          : (home > hole || home <= next);
    if (homeBetween) continue;
    cells[hole] = cells[next];
    cells[next].entry = nullptr;
    hole = next;
  }
}

void DictionaryEntries::growIndex() {
  // The cells keep their hashes: growing moves them without reading a key.
  std::vector<Cell>& cells = table_->cells;
  std::vector<Cell> old(cells.empty() ? kSmallestIndex : cells.size() * 2);
  old.swap(cells);
  const std::size_t mask = cells.size() - 1;
  for (const Cell& cell : old) {
    if (cell.entry == nullptr) continue;
    std::size_t i = cell.hash & mask;
    while (cells[i].entry != nullptr) i = (i + 1) & mask;
    cells[i] = cell;
  }
}

}  // namespace sim
