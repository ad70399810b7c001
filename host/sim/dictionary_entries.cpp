#include "host/sim/dictionary_entries.h"

#include <algorithm>

#include "host/sim/folded_name_index.h"

namespace sim {

namespace {
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

DictionaryEntries& DictionaryEntries::operator=(
    const DictionaryEntries& other) {
  if (this != &other) {
    map_ = other.map_;
    cells_.clear();
    if (map_.size() >= kIndexFrom) rebuildIndex(map_.size() * 4);
  }
  return *this;
}

DictionaryEntries::iterator DictionaryEntries::find(const ACHAR* key,
                                                    std::size_t length) {
  if (cells_.empty()) return map_.find(KeyView{key, length});
  const std::uint32_t hash = foldedHash(key, length);
  const std::size_t mask = cells_.size() - 1;
  for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
    const Cell& cell = cells_[i];
    if (!cell.used) return map_.end();
    if (cell.hash == hash && equalsFolded(key, length, cell.entry->first))
      return cell.entry;
  }
}

std::pair<DictionaryEntries::iterator, bool> DictionaryEntries::emplace(
    const AcWString& key, AcDbStub* value) {
  auto added = map_.emplace(key, value);
  if (!added.second) return added;
  if (!cells_.empty()) {
    if (map_.size() * 2 > cells_.size()) growIndex();
    index(added.first);
  } else if (map_.size() >= kIndexFrom) {
    rebuildIndex(kIndexFrom * 4);
  }
  return added;
}

std::size_t DictionaryEntries::erase(const AcWString& key) {
  iterator found = find(key);
  if (found == map_.end()) return 0;
  erase(found);
  return 1;
}

void DictionaryEntries::erase(const_iterator entry) {
  if (!cells_.empty()) unindex(entry);
  map_.erase(entry);
}

void DictionaryEntries::index(iterator entry) {
  const std::uint32_t hash =
      foldedHash(entry->first.data(), entry->first.size());
  const std::size_t mask = cells_.size() - 1;
  std::size_t i = hash & mask;
  while (cells_[i].used) i = (i + 1) & mask;
  cells_[i].hash = hash;
  cells_[i].used = true;
  cells_[i].entry = entry;
}

void DictionaryEntries::unindex(const_iterator entry) {
  const std::size_t mask = cells_.size() - 1;
  std::size_t hole =
      foldedHash(entry->first.data(), entry->first.size()) & mask;
  while (!(cells_[hole].used && cells_[hole].entry == entry))
    hole = (hole + 1) & mask;
  cells_[hole].used = false;
  // Cells after the hole that probed past it move back into it, so every
  // entry stays reachable from its home cell without tombstones.
  for (std::size_t next = (hole + 1) & mask; cells_[next].used;
       next = (next + 1) & mask) {
    const std::size_t home = cells_[next].hash & mask;
    const bool homeBetween = hole <= next ? (home > hole && home <= next)
                                          : (home > hole || home <= next);
    if (homeBetween) continue;
    cells_[hole] = cells_[next];
    cells_[next].used = false;
    hole = next;
  }
}

void DictionaryEntries::growIndex() {
  // The cells keep their hashes: growing moves them without reading a key.
  std::vector<Cell> old(cells_.size() * 2);
  old.swap(cells_);
  const std::size_t mask = cells_.size() - 1;
  for (const Cell& cell : old) {
    if (!cell.used) continue;
    std::size_t i = cell.hash & mask;
    while (cells_[i].used) i = (i + 1) & mask;
    cells_[i] = cell;
  }
}

void DictionaryEntries::rebuildIndex(std::size_t cells) {
  std::size_t size = 1;
  while (size < cells) size *= 2;
  cells_.assign(size, Cell());
  for (iterator it = map_.begin(); it != map_.end(); ++it) index(it);
}

}  // namespace sim
