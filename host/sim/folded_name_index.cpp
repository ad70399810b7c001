#include "host/sim/folded_name_index.h"

#include <cstring>

namespace sim {

namespace {

ACHAR upper(ACHAR c) {
  return (c >= 'a' && c <= 'z') ? static_cast<ACHAR>(c - 'a' + 'A') : c;
}

// Names are hashed and compared four units at a time, each unit a 16-bit
// lane of one word.
constexpr std::size_t kLanes = 4;
constexpr std::uint64_t kLaneHigh = 0x8000800080008000ull;

// The four units of word with ASCII a-z made upper case. A lane below 0x8000
// gains its high bit from adding 0x8000 - 'a' exactly when it is 'a' or more,
// and from adding 0x8000 - ('z' + 1) when it is past 'z'; no sum carries
// into the next lane. A lane that had its high bit is no letter.
std::uint64_t foldLanes(std::uint64_t word) {
  const std::uint64_t low = word & ~kLaneHigh;
  const std::uint64_t fromA = low + 0x7F9F7F9F7F9F7F9Full;
  const std::uint64_t pastZ = low + 0x7F857F857F857F85ull;
  const std::uint64_t letters = fromA & ~pastZ & ~word & kLaneHigh;
  return word - (letters >> 10);  // 0x20 from each lower-case letter
}

// Four units as one word, read in one load; the order of the lanes does not
// matter, as every use treats them alike.
std::uint64_t laneWord(const ACHAR* units) {
  static_assert(sizeof(ACHAR) * kLanes == sizeof(std::uint64_t),
                "four units make a word");
  std::uint64_t word;
  std::memcpy(&word, units, sizeof word);
  return word;
}

// Fewer than four units, the missing lanes zero.
std::uint64_t partialLaneWord(const ACHAR* units, std::size_t length) {
  std::uint64_t word = 0;
  for (std::size_t k = 0; k < length; ++k)
    word |= std::uint64_t(units[k]) << (16 * k);
  return word;
}

std::uint64_t mixWord(std::uint64_t hash, std::uint64_t word) {
  hash = (hash ^ word) * 0xFF51AFD7ED558CCDull;
  return hash ^ (hash >> 32);
}

}  // namespace

std::uint32_t foldedHash(const ACHAR* name, std::size_t length) {
  // The length seeds the hash, so that the zero lanes that pad the last word
  // never make two names alike.
  std::uint64_t hash = 0x9E3779B97F4A7C15ull ^ length;
  if (length < kLanes) {
    hash = mixWord(hash, foldLanes(partialLaneWord(name, length)));
  } else {
    std::size_t i = 0;
    for (; i + kLanes < length; i += kLanes)
      hash = mixWord(hash, foldLanes(laneWord(name + i)));
    // The last four units, overlapping the word before when the length is
    // no multiple of four: the same for every spelling of the name.
    hash = mixWord(hash, foldLanes(laneWord(name + length - kLanes)));
  }
  // The low bits pick the cell: they must depend on every unit.
  hash ^= hash >> 29;
  hash *= 0xBF58476D1CE4E5B9ull;
  hash ^= hash >> 32;
  return static_cast<std::uint32_t>(hash);
}

bool equalsFolded(const ACHAR* a, std::size_t length, const AcWString& b) {
  if (length != b.size()) return false;
  const ACHAR* c = b.data();
  if (length < kLanes) {
    for (std::size_t i = 0; i < length; ++i)
      if (a[i] != c[i] && upper(a[i]) != upper(c[i])) return false;
    return true;
  }
  // As the hash reads them: whole words, the last one overlapping.
  for (std::size_t i = 0;; i += kLanes) {
    if (i + kLanes > length) i = length - kLanes;
    const std::uint64_t x = laneWord(a + i);
    const std::uint64_t y = laneWord(c + i);
    // Most names come back spelled as they were given.
    if (x != y && foldLanes(x) != foldLanes(y)) return false;
    if (i + kLanes == length) return true;
  }
}

long FoldedNameIndex::find(const ACHAR* name,
                           const std::vector<AcWString>& names) const {
  if (cells_.empty() || name == nullptr) return -1;
  const std::size_t length = std::char_traits<ACHAR>::length(name);
  return find(name, length, foldedHash(name, length), names);
}

long FoldedNameIndex::find(const ACHAR* name, std::size_t length,
                           std::uint32_t hash,
                           const std::vector<AcWString>& names) const {
  if (cells_.empty()) return -1;
  for (const Cell& recent : recent_)
    if (recent.positionPlusOne != 0 && recent.hash == hash &&
        equalsFolded(name, length, names[recent.positionPlusOne - 1]))
      return static_cast<long>(recent.positionPlusOne - 1);
  const std::size_t mask = cells_.size() - 1;
  for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
    const Cell& cell = cells_[i];
    if (cell.positionPlusOne == 0) return -1;
    if (cell.hash == hash &&
        equalsFolded(name, length, names[cell.positionPlusOne - 1])) {
      recent_[1] = recent_[0];
      recent_[0] = cell;
      return static_cast<long>(cell.positionPlusOne - 1);
    }
  }
}

void FoldedNameIndex::add(std::size_t position,
                          const std::vector<AcWString>& names) {
  const AcWString& name = names[position];
  add(position, foldedHash(name.data(), name.size()));
}

void FoldedNameIndex::add(std::size_t position, std::uint32_t hash) {
  if ((count_ + 1) * 2 > cells_.size()) grow();
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
