#include "host/sim/object_state_pool.h"

#include <cstddef>
#include <memory>
#include <vector>

#include "host/sim/asan_poison.h"
#include "host/sim/object_state.h"

namespace sim {

namespace {

union Slot {
  Slot* nextFree;
  alignas(AcDbImpObject) unsigned char state[sizeof(AcDbImpObject)];
};

class ObjectStatePool {
 public:
  void* take() {
    if (firstFree_ == nullptr) addChunk();
    Slot* slot = firstFree_;
    unpoisonMemory(slot, sizeof(Slot));
    firstFree_ = slot->nextFree;
    return slot->state;
  }

  void giveBack(void* place) {
    Slot* slot = static_cast<Slot*>(place);
    slot->nextFree = firstFree_;
    firstFree_ = slot;
    poisonMemory(slot, sizeof(Slot));
  }

 private:
  // About 56 KB a chunk: a drawing of a million objects needs some 18,000.
  static constexpr std::size_t kSlotsPerChunk = 512;

  void addChunk() {
    chunks_.emplace_back(new Slot[kSlotsPerChunk]);
    Slot* slots = chunks_.back().get();
    for (std::size_t i = kSlotsPerChunk; i-- > 0;) giveBack(&slots[i]);
  }

  std::vector<std::unique_ptr<Slot[]>> chunks_;
  Slot* firstFree_ = nullptr;
};

// Never destroyed: objects may outlive every other static of the host.
ObjectStatePool& pool() {
  static ObjectStatePool* const thePool = new ObjectStatePool;
  return *thePool;
}

}  // namespace

void* takeObjectStateSlot() { return pool().take(); }

void giveBackObjectStateSlot(void* slot) {
  if (slot != nullptr) pool().giveBack(slot);
}

}  // namespace sim
