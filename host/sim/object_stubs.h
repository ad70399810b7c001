// The host's record of each object an id points at, where those records
// live, and how an id handed in is checked against them.
#ifndef HOST_SIM_OBJECT_STUBS_H
#define HOST_SIM_OBJECT_STUBS_H

#include <cstddef>
#include <cstdint>
#include <unordered_map>
#include <utility>
#include <vector>

#include "host/api/host_api.h"

// The host's record of one object, stable for the drawing's lifetime: an
// AcDbObjectId points at it.
class AcDbStub {
 public:
  AcDbImpDatabase* drawing = nullptr;
  Adesk::UInt64 handle = 0;
  AcDbObject* object = nullptr;  // null once a plug-in deleted it (misuse)
};

namespace sim {

class StubStore;

// Which memory holds stubs: an id handed in by a plug-in is checked here
// before anything is read through it.
class StubRegistry {
 public:
  bool contains(const AcDbStub* stub) const;
  void add(const void* chunk, const StubStore* store, std::size_t index);
  void remove(const void* chunk) {
    chunks_.erase(address(chunk));
    lastBase_ = 0;
  }

 private:
  using Place = std::pair<const StubStore*, std::size_t>;
  static std::uintptr_t address(const void* p) {
    return reinterpret_cast<std::uintptr_t>(p);
  }
  std::unordered_map<std::uintptr_t, Place> chunks_;
  // The chunk found last: the ids of one command's work mostly share one.
  mutable std::uintptr_t lastBase_ = 0;
  mutable Place lastPlace_;
};

// A drawing's stubs in order of creation, in aligned chunks that never move,
// so an id stays valid as the drawing grows and can be checked in constant
// time by the address of its chunk.
class StubStore {
 public:
  static constexpr std::size_t kChunkBytes = std::size_t{64} * 1024;
  static constexpr std::size_t kPerChunk = kChunkBytes / sizeof(AcDbStub);

  class iterator {
   public:
    iterator(const StubStore* store, std::size_t index)
        : store_(store), index_(index) {}
    AcDbStub& operator*() const { return store_->at(index_); }
    AcDbStub* operator->() const { return &store_->at(index_); }
    iterator& operator++() {
      ++index_;
      return *this;
    }
    bool operator!=(const iterator& o) const { return index_ != o.index_; }
    bool operator==(const iterator& o) const { return index_ == o.index_; }

   private:
    const StubStore* store_;
    std::size_t index_;
  };

  explicit StubStore(StubRegistry& registry) : registry_(registry) {}
  ~StubStore();
  StubStore(const StubStore&) = delete;
  StubStore& operator=(const StubStore&) = delete;

  AcDbStub& emplace_back();
  AcDbStub& back() { return at(size_ - 1); }
  AcDbStub& at(std::size_t i) const {
    return chunks_[i / kPerChunk][i % kPerChunk];
  }
  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  iterator begin() const { return iterator(this, 0); }
  iterator end() const { return iterator(this, size_); }

 private:
  StubRegistry& registry_;
  std::vector<AcDbStub*> chunks_;
  std::size_t size_ = 0;
};

}  // namespace sim

#endif
