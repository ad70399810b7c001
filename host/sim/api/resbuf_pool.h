// The result-buffer items the host hands out: slots in chunks, with a list
// of the free ones, and the string each live item was given.
#ifndef HOST_SIM_API_RESBUF_POOL_H
#define HOST_SIM_API_RESBUF_POOL_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "host/api/host_api.h"

namespace sim {

// An item a plug-in passes back is looked up among the chunks before
// anything is read through it. A free slot is poisoned under
// AddressSanitizer, so a plug-in reading an item it freed is caught as it
// would be with an item of its own heap block; freed slots are taken again
// oldest first, so that such a read finds the slot still free for as long
// as can be.
class ResbufPool {
 public:
  ResbufPool() = default;
  ~ResbufPool();
  ResbufPool(const ResbufPool&) = delete;
  ResbufPool& operator=(const ResbufPool&) = delete;

  // A zeroed live item with this group code.
  resbuf* allocate(short code);
  // The same with its own copy of text as its string, in one step.
  resbuf* allocate(short code, const ACHAR* text, std::size_t length);
  // Gives a live item that has no string a binary chunk of LENGTH bytes
  // (rbinary), to be filled through the pointer returned.
  char* giveBinary(resbuf* item, std::size_t length);
  // Gives a live item its own copy of text as its string.
  void setString(resbuf* item, const ACHAR* text, std::size_t length);
  // True for an item this pool handed out and has not taken back.
  bool isLive(const resbuf* item) const { return liveSlot(item) != nullptr; }
  // The string (or binary chunk) the pool gave a live item, or null.
  const ACHAR* givenString(const resbuf* item) const;
  // Takes back a live item and the string it was given; anything else is
  // ignored.
  void release(resbuf* item);
  // What an item held when it was given back: read before the item is
  // freed, so the caller never reads a freed one.
  struct Returned {
    short code;
    const ACHAR* string;  // the value as a string pointer
    const char* binary;   // the value as a binary chunk's bytes
    const ACHAR* given;   // the string or chunk the pool gave it, or null
    resbuf* next;
  };
  // Takes back a live item; false (nothing read, nothing changed) for any
  // other pointer.
  bool giveBack(resbuf* item, Returned& returned);
  // Takes back every live item.
  void releaseAll();
  std::size_t liveCount() const { return live_; }

 private:
  // Most strings an item carries (application names, tags, keys) fit here,
  // beside the item, and cost no heap block of their own.
  static constexpr std::size_t kShortText = 64 / sizeof(ACHAR);
  static constexpr std::size_t kSlotsPerChunk = 256;
  static constexpr std::uint32_t kNoSlot = ~std::uint32_t(0);
  // A power of two in size, so that finding a slot from an address costs
  // shifts rather than divisions: every item a plug-in hands back is found
  // that way (a third of the pool's instructions at 88 bytes a slot).
  struct alignas(128) Slot {
    // Poisoned while the slot is free: the item and a short string.
    resbuf item;  // first, so an item's address is its slot's
    ACHAR shortText[kShortText];
    // The pool's own books, never poisoned.
    ACHAR* given;  // null, shortText or a heap block
    std::uint32_t nextFree;
    bool live;
  };

  // The live slot of ITEM and its index, or null.
  Slot* liveSlot(const resbuf* item, std::uint32_t* index = nullptr) const;
  Slot& slotAt(std::uint32_t index) const {
    return chunks_[index / kSlotsPerChunk][index % kSlotsPerChunk];
  }
  void addChunk();
  Slot& take(short code);  // a free slot, made live and zeroed
  void freeSlot(Slot& slot, std::uint32_t index);
  static void dropString(Slot& slot);
  void giveString(Slot& slot, const ACHAR* text, std::size_t length);

  std::vector<std::unique_ptr<Slot[]>> chunks_;
  // Each chunk's first address and its place in chunks_, by address.
  std::vector<std::pair<std::uintptr_t, std::uint32_t>> byAddress_;
  // The chunk of the last slot found: most items of a chain share one.
  mutable std::uintptr_t lastBase_ = 0;
  mutable std::uint32_t lastChunk_ = 0;
  std::uint32_t firstFree_ = kNoSlot;  // taken next
  std::uint32_t lastFree_ = kNoSlot;   // freed last
  std::size_t live_ = 0;
};

}  // namespace sim

#endif
