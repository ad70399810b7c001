// A dictionary's entries: key to object, keys compared without regard to
// ASCII case, listed in key order.
#ifndef HOST_SIM_API_DICTIONARY_ENTRIES_H
#define HOST_SIM_API_DICTIONARY_ENTRIES_H

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>

#include "host/api/host_api.h"
#include "host/sim/api/symbol_names.h"
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
  DictionaryEntries(const DictionaryEntries& other) { copyFrom(other); }
  DictionaryEntries& operator=(const DictionaryEntries& other) {
    if (this != &other) copyFrom(other);
    return *this;
  }

  // The entry under key, or null.
  const Entry* find(NameView key) const {
    if (!table_) return nullptr;
    const auto found = table_->index.find(key);
    return found != table_->index.end() ? &*found->second : nullptr;
  }
  // Adds key unless an equal key is there (whose entry is then returned).
  std::pair<const Entry*, bool> emplace(NameView key, AcDbStub* value) {
    if (const Entry* there = find(key)) return {there, false};
    return {add(key, value), true};
  }
  // Puts value under key, in place of any entry of an equal key (whose
  // spelling gives way to this one).
  void assign(NameView key, AcDbStub* value) {
    if (table_) {
      const auto found = table_->index.find(key);
      if (found != table_->index.end()) {
        const Map::iterator entry = found->second;
        table_->index.erase(found);
        table_->map.erase(entry);
      }
    }
    add(key, value);
  }

  const_iterator begin() const {
    return table_ ? table_->map.begin() : none().end();
  }
  const_iterator end() const {
    return table_ ? table_->map.end() : none().end();
  }
  std::size_t size() const { return table_ ? table_->map.size() : 0; }
  bool empty() const { return size() == 0; }

 private:
  // The entries in key order, for listing and saving, and an index of them
  // by key (views of the map's own keys) for lookups: a part dictionary
  // holds an entry per part, and searching the map alone compared keys on
  // 17 levels at 100,000 entries, about 2,500 instructions a lookup and
  // three lookups a copied one-entity part.
  struct Table {
    Map map;
    std::unordered_map<NameView, Map::iterator, FoldedHash, FoldedEqual> index;
  };

  const Entry* add(NameView key, AcDbStub* value) {
    if (!table_) table_.reset(new Table);
    const Map::iterator entry =
        table_->map.emplace(AcWString(key), value).first;
    table_->index.emplace(NameView(entry->first), entry);
    return &*entry;
  }
  void copyFrom(const DictionaryEntries& other) {
    table_.reset();
    if (!other.table_) return;
    for (const Entry& entry : other.table_->map) add(entry.first, entry.second);
  }
  static const Map& none() {
    static const Map kNone;
    return kNone;
  }
  // Every object of a drawing has this member, and most objects are no
  // dictionary: they hold one null pointer.
  std::unique_ptr<Table> table_;
};

}  // namespace sim

#endif
