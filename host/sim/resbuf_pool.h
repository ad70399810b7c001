// The result-buffer items the host hands out: a pool of slots that knows
// which items are live and which string each was given.
#ifndef HOST_SIM_RESBUF_POOL_H
#define HOST_SIM_RESBUF_POOL_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

#include "host/api/host_api.h"

namespace sim {

// Items live in aligned chunks that the pool keeps for its whole life, so an
// item a plug-in passes back is checked by its chunk's address and its
// slot's live mark before anything is read through it, and handing out or
// taking back an item costs no heap call. A short string lives in the slot.
// Under AddressSanitizer a free slot is poisoned and reused oldest first, so
// a plug-in that reads an item after freeing it is still caught.
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
  bool isLive(const resbuf* item) const;
  // The string (or binary chunk) the pool gave a live item, or null.
  const ACHAR* givenString(const resbuf* item) const;
  // Takes back a live item and the string it was given; anything else is
  // ignored.
  void release(resbuf* item);
  // What an item held when it was given back: read before the slot is
  // taken back, so the caller never reads a free slot.
  struct Returned {
    short code;
    const ACHAR* string;  // the value as a string pointer
    const char* binary;   // the value as a binary chunk's bytes
    const ACHAR* given;   // the string or chunk the pool gave it, or null
    resbuf* next;
  };
  // Takes back a live item in one lookup; false (nothing read, nothing
  // changed) for any other pointer.
  bool giveBack(resbuf* item, Returned& returned);
  // Takes back every live item.
  void releaseAll();
  std::size_t liveCount() const { return live_; }

 private:
  static constexpr std::size_t kInlineUnits = 20;
  // The item first: an item's address is its slot's.
  struct Slot {
    resbuf item;
    ACHAR text[kInlineUnits];
  };
  static constexpr std::size_t kChunkBytes = 64 * 1024;
  static constexpr std::size_t kPerChunk = kChunkBytes / sizeof(Slot);
  // Kept apart from the slots, which are poisoned while free.
  struct Chunk {
    std::size_t number = 0;  // its place in chunks_
    Slot* slots = nullptr;
    // Per slot, the string or binary chunk the pool gave its item (null for
    // none; a chunk is kept in units of text, so one delete fits both), or
    // kFreeSlot while the slot is free: one word read tells both.
    std::unique_ptr<const ACHAR*[]> given;
  };
  static const ACHAR* const kFreeSlot;
  struct Place {
    Chunk* chunk;
    std::size_t index;
  };

  // Where a live item sits; false for any other pointer.
  bool find(const resbuf* item, Place& place) const;
  // The chunk at base, remembered as the last one found, or null. Never
  // inlined: nearly every item is in the chunk found last, and the map
  // lookup inlined would make every find save and restore registers for it.
  Chunk* chunkAt(std::uintptr_t base) const;
  void addChunk();
  void freeString(Slot& slot, const ACHAR* given);
  Place takeFree(short code);
  void giveString(const Place& place, const ACHAR* text, std::size_t length);
  // The same for an item made just now, which has no string to free.
  void giveFirstString(const Place& place, const ACHAR* text,
                       std::size_t length);
  void take(const Place& place);

  std::vector<std::unique_ptr<Chunk>> chunks_;
  std::unordered_map<std::uintptr_t, Chunk*> byAddress_;
  // The chunk found last: an item is most often checked just after it was
  // made, or next to one that was.
  mutable std::uintptr_t lastBase_ = 0;
  mutable Chunk* lastChunk_ = nullptr;
  // Free slots as chunk number and slot index in one word (a word moves
  // through the list faster than a pair): taken from the back (or, under the
  // sanitizer, the front, from first_ on).
  std::vector<std::uint64_t> free_;
  std::size_t first_ = 0;
  std::size_t live_ = 0;
};

}  // namespace sim

#endif
