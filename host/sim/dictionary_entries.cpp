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

DictionaryEntries& DictionaryEntries::operator=(
    const DictionaryEntries& other) {
  if (this == &other) return *this;
  pool_.clear();
  recent_ = nullptr;
  made_ = 0;
  capacity_ = 0;
  unused_.clear();
  cells_.clear();
  count_ = 0;
  sortedValid_ = false;
  other.forEachMade([this](const Entry& entry) {
    if (entry.second != nullptr) emplace(entry.first, entry.second);
  });
  return *this;
}

DictionaryEntries::Entry* DictionaryEntries::find(const ACHAR* key,
                                                  std::size_t length) {
  if (cells_.empty()) return nullptr;
  if (recent_ != nullptr && recent_->second != nullptr &&
      equalsFolded(key, length, recent_->first))
    return recent_;
  return find(key, length, foldedHash(key, length));
}

DictionaryEntries::Entry* DictionaryEntries::find(const ACHAR* key,
                                                  std::size_t length,
                                                  std::uint32_t hash) {
  if (cells_.empty()) return nullptr;
  const std::size_t mask = cells_.size() - 1;
  for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
    const Cell& cell = cells_[i];
    if (cell.entry == nullptr) return nullptr;
    if (cell.hash == hash && equalsFolded(key, length, cell.entry->first))
      return recent_ = cell.entry;
  }
}

std::pair<DictionaryEntries::Entry*, bool> DictionaryEntries::emplace(
    const AcWString& key, AcDbStub* value) {
  // Hashed once, for the lookup and the index.
  const std::uint32_t hash = foldedHash(key.data(), key.size());
  if (Entry* existing = find(key.data(), key.size(), hash))
    return {existing, false};
  Entry* entry;
  if (!unused_.empty()) {
    entry = unused_.back();
    unused_.pop_back();
  } else {
    entry = makeEntry();
  }
  entry->first = key;
  entry->second = value;
  ++count_;
  if (count_ * 2 > cells_.size()) growIndex();
  index(entry, hash);
  sortedValid_ = false;
  return {entry, true};
}

DictionaryEntries::Entry* DictionaryEntries::makeEntry() {
  if (made_ == capacity_) {
    const std::size_t size = chunkSize(pool_.size());
    pool_.emplace_back(new Entry[size]);
    capacity_ += size;
  }
  const std::size_t lastChunkStart = capacity_ - chunkSize(pool_.size() - 1);
  return &pool_.back()[made_++ - lastChunkStart];
}

void DictionaryEntries::erase(const Entry* entry) {
  if (entry == nullptr) return;
  unindex(entry);
  Entry* owned = const_cast<Entry*>(entry);
  owned->first.clear();
  owned->second = nullptr;
  unused_.push_back(owned);
  --count_;
  sortedValid_ = false;
}

DictionaryEntries::KeyOrder DictionaryEntries::inKeyOrder() const {
  if (!sortedValid_) {
    sorted_.clear();
    sorted_.reserve(count_);
    forEachMade([this](const Entry& entry) {
      if (entry.second != nullptr) sorted_.push_back(&entry);
    });
    std::sort(sorted_.begin(), sorted_.end(),
              [](const Entry* a, const Entry* b) {
                return FoldedLess()(a->first, b->first);
              });
    sortedValid_ = true;
  }
  return KeyOrder(sorted_);
}

void DictionaryEntries::index(Entry* entry, std::uint32_t hash) {
  const std::size_t mask = cells_.size() - 1;
  std::size_t i = hash & mask;
  while (cells_[i].entry != nullptr) i = (i + 1) & mask;
  cells_[i].hash = hash;
  cells_[i].entry = entry;
}

void DictionaryEntries::unindex(const Entry* entry) {
  const std::size_t mask = cells_.size() - 1;
  std::size_t hole =
      foldedHash(entry->first.data(), entry->first.size()) & mask;
  while (cells_[hole].entry != entry) hole = (hole + 1) & mask;
  cells_[hole].entry = nullptr;
  // Cells after the hole that probed past it move back into it, so every
  // entry stays reachable from its home cell without tombstones.
  for (std::size_t next = (hole + 1) & mask; cells_[next].entry != nullptr;
       next = (next + 1) & mask) {
    const std::size_t home = cells_[next].hash & mask;
    const bool homeBetween = hole <= next ? (home > hole && home <= next)
                                          : (home > hole || home <= next);
    if (homeBetween) continue;
    cells_[hole] = cells_[next];
    cells_[next].entry = nullptr;
    hole = next;
  }
}

void DictionaryEntries::growIndex() {
  // The cells keep their hashes: growing moves them without reading a key.
  std::vector<Cell> old(cells_.empty() ? kSmallestIndex : cells_.size() * 2);
  old.swap(cells_);
  const std::size_t mask = cells_.size() - 1;
  for (const Cell& cell : old) {
    if (cell.entry == nullptr) continue;
    std::size_t i = cell.hash & mask;
    while (cells_[i].entry != nullptr) i = (i + 1) & mask;
    cells_[i] = cell;
  }
}

}  // namespace sim
