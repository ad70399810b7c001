// A dictionary's entries: key to object, keys compared without regard to ASCII
// case, found by hash and listed in key order.
#ifndef HOST_SIM_DICTIONARY_ENTRIES_H
#define HOST_SIM_DICTIONARY_ENTRIES_H

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "host/api/host_api.h"
#include "host/sim/wide_string.h"

class AcDbStub;

namespace sim {

// Application names and dictionary keys compare without regard to ASCII case
// (the host's symbol tables do); the stored spelling is kept for display.
struct FoldedLess {
  bool operator()(const AcWString& a, const AcWString& b) const {
    return less(a.data(), a.size(), b.data(), b.size());
  }
  static bool less(const ACHAR* a, std::size_t an, const ACHAR* b,
                   std::size_t bn);
};

// A part dictionary holds a record per part, and a copy of many parts adds
// one entry after another, so the entries are held in a flat hash table: an
// entry is added and found in constant time, touching one cell and one key.
// Only listings and files want key order, and they sort a list of the
// entries when they ask for it.
class DictionaryEntries {
 public:
  using Entry = std::pair<AcWString, AcDbStub*>;  // key, object

  // The entries in key order, for listing; valid until the next change.
  class KeyOrder {
   public:
    using const_iterator = std::vector<const Entry*>::const_iterator;
    struct Iterator {
      const_iterator at;
      const Entry& operator*() const { return **at; }
      Iterator& operator++() {
        ++at;
        return *this;
      }
      bool operator!=(const Iterator& other) const { return at != other.at; }
    };
    explicit KeyOrder(const std::vector<const Entry*>& sorted)
        : sorted_(sorted) {}
    Iterator begin() const { return Iterator{sorted_.begin()}; }
    Iterator end() const { return Iterator{sorted_.end()}; }

   private:
    const std::vector<const Entry*>& sorted_;
  };

  DictionaryEntries() = default;
  DictionaryEntries(const DictionaryEntries& other) { *this = other; }
  ~DictionaryEntries();
  DictionaryEntries& operator=(const DictionaryEntries& other);

  // The entry under key, or null.
  Entry* find(const AcWString& key) { return find(key.data(), key.size()); }
  const Entry* find(const AcWString& key) const {
    return const_cast<DictionaryEntries*>(this)->find(key);
  }
  Entry* find(const ACHAR* key) {
    return find(key, std::char_traits<ACHAR>::length(key));
  }
  const Entry* find(const ACHAR* key) const {
    return const_cast<DictionaryEntries*>(this)->find(key);
  }
  // Adds key unless an equal key is there (whose entry is then returned).
  // value is never null: a null object marks an unused entry.
  std::pair<Entry*, bool> emplace(const AcWString& key, AcDbStub* value);
  void erase(const Entry* entry);

  // Listings walk the entries in key order: for (const auto& e : entries).
  KeyOrder::Iterator begin() const { return inKeyOrder().begin(); }
  KeyOrder::Iterator end() const { return inKeyOrder().end(); }
  std::size_t size() const { return data_ ? data_->count : 0; }
  bool empty() const { return size() == 0; }

 private:
  struct Cell {
    std::uint32_t hash = 0;
    Entry* entry = nullptr;  // null: free
  };

  Entry* find(const ACHAR* key, std::size_t length);
  Entry* find(const ACHAR* key, std::size_t length, std::uint32_t hash);
  KeyOrder inKeyOrder() const;
  void index(Entry* entry, std::uint32_t hash);
  void unindex(const Entry* entry);
  void growIndex();

  // A new entry from the pool; its object is null.
  Entry* makeEntry();
  // Calls f on every entry the pool made, in order, used or not.
  template <typename F>
  void forEachMade(F f) const {
    if (!data_) return;
    std::size_t left = data_->made;
    for (std::size_t k = 0; k < data_->pool.size() && left > 0; ++k) {
      const std::size_t n = std::min(left, chunkSize(k));
      for (std::size_t i = 0; i < n; ++i) f(data_->pool[k][i]);
      left -= n;
    }
  }
  static std::size_t chunkSize(std::size_t k) { return std::size_t(4) << k; }

  struct Data {
    // Entries are made in chunks that double in size, so a part dictionary
    // that gains a record per copy seldom allocates for it, and no entry
    // ever moves.
    std::vector<std::unique_ptr<Entry[]>> pool;
    std::size_t made = 0;        // entries made out of the chunks so far
    std::size_t capacity = 0;    // entries the chunks hold
    std::vector<Entry*> unused;  // erased entries of the pool, to reuse
    std::size_t count = 0;
    // Open addressing, a power of two, under half full.
    std::vector<Cell> cells;
    // The entry found last: a caller walks down to its own entry through the
    // same key of the named-objects dictionary over and over. It answers a
    // lookup only while it is in use and its key is the one asked for, which
    // an erased or reused entry shows itself, so nothing needs to forget it
    // but a copy, which remakes the pool.
    Entry* recent = nullptr;
    std::vector<const Entry*> sorted;
    bool sortedValid = false;
  };
  // Every object of a drawing has this member, and most objects are no
  // dictionary: they hold one null pointer.
  std::unique_ptr<Data> data_;
};

}  // namespace sim

#endif
