// A dictionary's entries: key to object, keys compared without regard to
// ASCII case, listed in key order.
#ifndef HOST_SIM_API_DICTIONARY_ENTRIES_H
#define HOST_SIM_API_DICTIONARY_ENTRIES_H

#include <map>
#include <memory>
#include <string>
#include <utility>

#include "host/api/host_api.h"
#include "host/sim/wide_string.h"
#include "text/ascii_case.h"

class AcDbStub;

namespace sim {

// Application names and dictionary keys compare without regard to ASCII case
// (the host's symbol tables do); the stored spelling is kept for display.
struct FoldedLess {
  bool operator()(const AcWString& a, const AcWString& b) const {
    return text::lessIgnoringAsciiCase(a.data(), a.size(), b.data(), b.size());
  }
};

class DictionaryEntries {
 public:
  using Map = std::map<AcWString, AcDbStub*, FoldedLess>;
  using Entry = Map::value_type;  // key, object
  using const_iterator = Map::const_iterator;

  DictionaryEntries() = default;
  DictionaryEntries(const DictionaryEntries& other)
      : map_(other.map_ ? new Map(*other.map_) : nullptr) {}
  DictionaryEntries& operator=(const DictionaryEntries& other) {
    map_.reset(other.map_ ? new Map(*other.map_) : nullptr);
    return *this;
  }

  // The entry under key, or null.
  const Entry* find(const AcWString& key) const {
    if (!map_) return nullptr;
    const auto found = map_->find(key);
    return found != map_->end() ? &*found : nullptr;
  }
  const Entry* find(const ACHAR* key) const { return find(AcWString(key)); }
  // Adds key unless an equal key is there (whose entry is then returned).
  std::pair<const Entry*, bool> emplace(const AcWString& key, AcDbStub* value) {
    if (!map_) map_.reset(new Map);
    const auto placed = map_->emplace(key, value);
    return {&*placed.first, placed.second};
  }
  // A null entry is no entry.
  void erase(const Entry* entry) {
    if (entry != nullptr) map_->erase(entry->first);
  }

  const_iterator begin() const { return map_ ? map_->begin() : none().end(); }
  const_iterator end() const { return map_ ? map_->end() : none().end(); }
  std::size_t size() const { return map_ ? map_->size() : 0; }
  bool empty() const { return size() == 0; }

 private:
  static const Map& none() {
    static const Map kNone;
    return kNone;
  }
  // Every object of a drawing has this member, and most objects are no
  // dictionary: they hold one null pointer.
  std::unique_ptr<Map> map_;
};

}  // namespace sim

#endif
