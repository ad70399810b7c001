#include "host/sim/folded_name_index.h"

namespace sim {

namespace {

ACHAR upper(ACHAR c) {
  return (c >= 'a' && c <= 'z') ? static_cast<ACHAR>(c - 'a' + 'A') : c;
}

}  // namespace

std::uint32_t foldedHash(const ACHAR* name, std::size_t length) {
  // FNV-1a over the folded units, then mixed so that the low bits, which
  // pick the cell, depend on every unit.
  std::uint32_t hash = 2166136261u;
  for (std::size_t i = 0; i < length; ++i) {
    hash ^= static_cast<std::uint32_t>(upper(name[i]));
    hash *= 16777619u;
  }
  hash ^= hash >> 16;
  hash *= 0x85ebca6bu;
  hash ^= hash >> 13;
  return hash;
}

bool equalsFolded(const ACHAR* a, std::size_t length, const AcWString& b) {
  if (length != b.size()) return false;
  // Most names come back spelled as they were given.
  if (std::char_traits<ACHAR>::compare(a, b.data(), length) == 0) return true;
  for (std::size_t i = 0; i < length; ++i)
    if (upper(a[i]) != upper(b[i])) return false;
  return true;
}

long FoldedNameIndex::find(const ACHAR* name,
                           const std::vector<AcWString>& names) const {
  if (cells_.empty() || name == nullptr) return -1;
  const std::size_t length = std::char_traits<ACHAR>::length(name);
  for (std::uint32_t recent : recent_)
    if (recent != 0 && equalsFolded(name, length, names[recent - 1]))
      return static_cast<long>(recent - 1);
  const std::uint32_t hash = foldedHash(name, length);
  const std::size_t mask = cells_.size() - 1;
  for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
    const Cell& cell = cells_[i];
    if (cell.positionPlusOne == 0) return -1;
    if (cell.hash == hash &&
        equalsFolded(name, length, names[cell.positionPlusOne - 1])) {
      recent_[1] = recent_[0];
      recent_[0] = cell.positionPlusOne;
      return static_cast<long>(cell.positionPlusOne - 1);
    }
  }
}

void FoldedNameIndex::add(std::size_t position,
                          const std::vector<AcWString>& names) {
  if ((count_ + 1) * 2 > cells_.size()) grow();
  const AcWString& name = names[position];
  const std::uint32_t hash = foldedHash(name.data(), name.size());
  const std::size_t mask = cells_.size() - 1;
  std::size_t i = hash & mask;
  while (cells_[i].positionPlusOne != 0) i = (i + 1) & mask;
  cells_[i] = Cell{hash, static_cast<std::uint32_t>(position + 1)};
  ++count_;
}

void FoldedNameIndex::grow() {
  std::vector<Cell> old;
  old.swap(cells_);
  cells_.assign(old.empty() ? 16 : old.size() * 2, Cell{0, 0});
  const std::size_t mask = cells_.size() - 1;
  for (const Cell& cell : old) {
    if (cell.positionPlusOne == 0) continue;
    std::size_t i = cell.hash & mask;
    while (cells_[i].positionPlusOne != 0) i = (i + 1) & mask;
    cells_[i] = cell;
  }
}

}  // namespace sim
