// A dictionary's entries: key to object, in key order, keys compared without
// regard to ASCII case.
#ifndef HOST_SIM_DICTIONARY_ENTRIES_H
#define HOST_SIM_DICTIONARY_ENTRIES_H

#include <cstddef>
#include <cstdint>
#include <map>
#include <utility>
#include <vector>

#include "host/api/host_api.h"

class AcDbStub;

namespace sim {

// A key as a plug-in passes it, compared without being copied.
struct KeyView {
  const ACHAR* text;
  std::size_t length;
};

// Application names and dictionary keys compare without regard to ASCII case
// (the host's symbol tables do); the stored spelling is kept for display.
struct FoldedLess {
  using is_transparent = void;
  bool operator()(const AcWString& a, const AcWString& b) const {
    return less(a.data(), a.size(), b.data(), b.size());
  }
  bool operator()(const AcWString& a, const KeyView& b) const {
    return less(a.data(), a.size(), b.text, b.length);
  }
  bool operator()(const KeyView& a, const AcWString& b) const {
    return less(a.text, a.length, b.data(), b.size());
  }
  static bool less(const ACHAR* a, std::size_t an, const ACHAR* b,
                   std::size_t bn);
};

// Listings and files show entries in key order, so they stay in an ordered
// map; a dictionary that grows large (a part dictionary holds a record per
// part) is also indexed by a hash of the folded key, so that finding an
// entry walks no tree and compares one key.
class DictionaryEntries {
 public:
  using Map = std::map<AcWString, AcDbStub*, FoldedLess>;
  using iterator = Map::iterator;
  using const_iterator = Map::const_iterator;

  DictionaryEntries() = default;
  DictionaryEntries(const DictionaryEntries& other) : map_(other.map_) {}
  DictionaryEntries& operator=(const DictionaryEntries& other);

  iterator find(const AcWString& key) { return find(key.data(), key.size()); }
  const_iterator find(const AcWString& key) const {
    return const_cast<DictionaryEntries*>(this)->find(key);
  }
  iterator find(const ACHAR* key) {
    return find(key, std::char_traits<ACHAR>::length(key));
  }
  const_iterator find(const ACHAR* key) const {
    return const_cast<DictionaryEntries*>(this)->find(key);
  }
  // Adds key unless an equal key is there (which is then returned).
  std::pair<iterator, bool> emplace(const AcWString& key, AcDbStub* value);
  std::size_t erase(const AcWString& key);
  void erase(const_iterator entry);

  iterator begin() { return map_.begin(); }
  iterator end() { return map_.end(); }
  const_iterator begin() const { return map_.begin(); }
  const_iterator end() const { return map_.end(); }
  std::size_t size() const { return map_.size(); }
  bool empty() const { return map_.empty(); }

 private:
  // Below this many entries a walk of the tree is as quick as the hash.
  static constexpr std::size_t kIndexFrom = 16;
  struct Cell {
    std::uint32_t hash = 0;
    bool used = false;
    iterator entry;
  };

  iterator find(const ACHAR* key, std::size_t length);
  void index(iterator entry);
  void unindex(const_iterator entry);
  void rebuildIndex(std::size_t cells);
  void growIndex();

  Map map_;
  std::vector<Cell> cells_;  // empty until the map grows; under 1/2 full
};

}  // namespace sim

#endif
