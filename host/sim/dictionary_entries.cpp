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
  data_.reset();
  other.forEachMade([this](const Entry& entry) {
    if (entry.second != nullptr) emplace(entry.first, entry.second);
  });
  return *this;
}

DictionaryEntries::Entry* DictionaryEntries::find(const ACHAR* key,
                                                  std::size_t length) {
  if (!data_ || data_->cells.empty()) return nullptr;
  if (data_->recent != nullptr && data_->recent->second != nullptr &&
      equalsFolded(key, length, data_->recent->first))
    return data_->recent;
  return find(key, length, foldedHash(key, length));
}

DictionaryEntries::Entry* DictionaryEntries::find(const ACHAR* key,
                                                  std::size_t length,
                                                  std::uint32_t hash) {
  if (!data_ || data_->cells.empty()) return nullptr;
  const std::size_t mask = data_->cells.size() - 1;
  for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
    const Cell& cell = data_->cells[i];
    if (cell.entry == nullptr) return nullptr;
    if (cell.hash == hash && equalsFolded(key, length, cell.entry->first))
      return data_->recent = cell.entry;
  }
}

std::pair<DictionaryEntries::Entry*, bool> DictionaryEntries::emplace(
    const AcWString& key, AcDbStub* value) {
  // Hashed once, for the lookup and the index.
  const std::uint32_t hash = foldedHash(key.data(), key.size());
  if (Entry* existing = find(key.data(), key.size(), hash))
    return {existing, false};
  if (!data_) data_.reset(new Data);
  Entry* entry;
  if (!data_->unused.empty()) {
    entry = data_->unused.back();
    data_->unused.pop_back();
  } else {
    entry = makeEntry();
  }
  entry->first = key;
  entry->second = value;
  ++data_->count;
  if (data_->count * 2 > data_->cells.size()) growIndex();
  index(entry, hash);
  data_->sortedValid = false;
  return {entry, true};
}

DictionaryEntries::Entry* DictionaryEntries::makeEntry() {
  if (data_->made == data_->capacity) {
    const std::size_t size = chunkSize(data_->pool.size());
    data_->pool.emplace_back(new Entry[size]);
    data_->capacity += size;
  }
  const std::size_t lastChunkStart =
      data_->capacity - chunkSize(data_->pool.size() - 1);
  return &data_->pool.back()[data_->made++ - lastChunkStart];
}

void DictionaryEntries::erase(const Entry* entry) {
  if (entry == nullptr || !data_) return;
  unindex(entry);
  Entry* owned = const_cast<Entry*>(entry);
  owned->first.clear();
  owned->second = nullptr;
  data_->unused.push_back(owned);
  --data_->count;
  data_->sortedValid = false;
}

DictionaryEntries::KeyOrder DictionaryEntries::inKeyOrder() const {
  static const std::vector<const Entry*> kNone;
  if (!data_) return KeyOrder(kNone);
  if (!data_->sortedValid) {
    data_->sorted.clear();
    data_->sorted.reserve(data_->count);
    forEachMade([this](const Entry& entry) {
      if (entry.second != nullptr) data_->sorted.push_back(&entry);
    });
    std::sort(data_->sorted.begin(), data_->sorted.end(),
              [](const Entry* a, const Entry* b) {
                return FoldedLess()(a->first, b->first);
              });
    data_->sortedValid = true;
  }
  return KeyOrder(data_->sorted);
}

void DictionaryEntries::index(Entry* entry, std::uint32_t hash) {
  std::vector<Cell>& cells = data_->cells;
  const std::size_t mask = cells.size() - 1;
  std::size_t i = hash & mask;
  while (cells[i].entry != nullptr) i = (i + 1) & mask;
  cells[i].hash = hash;
  cells[i].entry = entry;
}

void DictionaryEntries::unindex(const Entry* entry) {
  std::vector<Cell>& cells = data_->cells;
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
  std::vector<Cell>& cells = data_->cells;
  // The cells keep their hashes: growing moves them without reading a key.
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
