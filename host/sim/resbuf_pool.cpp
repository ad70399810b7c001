#include "host/sim/resbuf_pool.h"

#include <algorithm>
#include <cstring>
#include <new>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/asan_interface.h>
#define SIMHOST_POISON(p, n) ASAN_POISON_MEMORY_REGION(p, n)
#define SIMHOST_UNPOISON(p, n) ASAN_UNPOISON_MEMORY_REGION(p, n)
#else
#define SIMHOST_POISON(p, n) ((void)(p), (void)(n))
#define SIMHOST_UNPOISON(p, n) ((void)(p), (void)(n))
#endif

namespace sim {

namespace {
#if defined(__SANITIZE_ADDRESS__)
// A slot freed long ago is reused first, so a stale read meets poison.
constexpr bool kReuseOldestFirst = true;
#else
// The slot freed last is warm in the cache.
constexpr bool kReuseOldestFirst = false;
#endif
// Its address marks a free slot; no string the pool gives is there.
const ACHAR freeSlotMark = 0;
}  // namespace

const ACHAR* const ResbufPool::kFreeSlot = &freeSlotMark;

ResbufPool::~ResbufPool() {
  releaseAll();
  for (auto& chunk : chunks_) {
    SIMHOST_UNPOISON(chunk->slots, kChunkBytes);
    ::operator delete(chunk->slots, std::align_val_t(kChunkBytes));
  }
}

void ResbufPool::addChunk() {
  auto chunk = std::make_unique<Chunk>();
  chunk->slots = static_cast<Slot*>(
      ::operator new(kChunkBytes, std::align_val_t(kChunkBytes)));
  chunk->given = std::make_unique<const ACHAR*[]>(kPerChunk);
  std::fill(chunk->given.get(), chunk->given.get() + kPerChunk, kFreeSlot);
  SIMHOST_POISON(chunk->slots, kChunkBytes);
  byAddress_.emplace(reinterpret_cast<std::uintptr_t>(chunk->slots),
                     chunk.get());
  chunk->number = chunks_.size();
  for (std::size_t i = 0; i < kPerChunk; ++i)
    free_.push_back((std::uint64_t(chunk->number) << 32) | i);
  chunks_.push_back(std::move(chunk));
}

#if defined(__GNUC__)
__attribute__((noinline))
#endif
ResbufPool::Chunk*
ResbufPool::chunkAt(std::uintptr_t base) const {
  auto it = byAddress_.find(base);
  if (it == byAddress_.end()) return nullptr;
  lastBase_ = base;
  lastChunk_ = it->second;
  return lastChunk_;
}

bool ResbufPool::find(const resbuf* item, Place& place) const {
  const std::uintptr_t p = reinterpret_cast<std::uintptr_t>(item);
  const std::uintptr_t base = p & ~std::uintptr_t(kChunkBytes - 1);
  if ((base != lastBase_ || lastChunk_ == nullptr) && chunkAt(base) == nullptr)
    return false;
  const std::uintptr_t offset = p - base;
  if (offset % sizeof(Slot) != 0 || offset / sizeof(Slot) >= kPerChunk)
    return false;
  place = Place{lastChunk_, offset / sizeof(Slot)};
  return place.chunk->given[place.index] != kFreeSlot;
}

ResbufPool::Place ResbufPool::takeFree(short code) {
  if (first_ == free_.size()) addChunk();
  std::uint64_t word;
  if (kReuseOldestFirst) {
    word = free_[first_++];
    // The taken front is dropped once it outweighs what is left.
    if (first_ * 2 > free_.size()) {
      free_.erase(free_.begin(),
                  free_.begin() + static_cast<std::ptrdiff_t>(first_));
      first_ = 0;
    }
  } else {
    word = free_.back();
    free_.pop_back();
  }
  const Place place{chunks_[word >> 32].get(),
                    static_cast<std::size_t>(word & 0xFFFFFFFFu)};
  Slot* slot = &place.chunk->slots[place.index];
  SIMHOST_UNPOISON(slot, sizeof(Slot));
  std::memset(&slot->item, 0, sizeof(resbuf));
  slot->item.restype = code;
  place.chunk->given[place.index] = nullptr;
  ++live_;
  return place;
}

resbuf* ResbufPool::allocate(short code) {
  const Place place = takeFree(code);
  return &place.chunk->slots[place.index].item;
}

resbuf* ResbufPool::allocate(short code, const ACHAR* text,
                             std::size_t length) {
  const Place place = takeFree(code);
  giveFirstString(place, text, length);
  return &place.chunk->slots[place.index].item;
}

void ResbufPool::giveString(const Place& place, const ACHAR* text,
                            std::size_t length) {
  freeString(place.chunk->slots[place.index], place.chunk->given[place.index]);
  giveFirstString(place, text, length);
}

void ResbufPool::giveFirstString(const Place& place, const ACHAR* text,
                                 std::size_t length) {
  Slot& slot = place.chunk->slots[place.index];
  ACHAR* copy = length < kInlineUnits ? slot.text : new ACHAR[length + 1];
  std::copy(text, text + length, copy);
  copy[length] = 0;
  slot.item.resval.rstring = copy;
  place.chunk->given[place.index] = copy;
}

char* ResbufPool::giveBinary(resbuf* item, std::size_t length) {
  Place place;
  if (!find(item, place)) return nullptr;
  Slot& slot = place.chunk->slots[place.index];
  const std::size_t units = (length + 1) / 2;
  ACHAR* store = units <= kInlineUnits ? slot.text : new ACHAR[units];
  place.chunk->given[place.index] = store;
  char* bytes = reinterpret_cast<char*>(store);
  slot.item.resval.rbinary.clen = static_cast<short>(length);
  slot.item.resval.rbinary.buf = bytes;
  return bytes;
}

void ResbufPool::freeString(Slot& slot, const ACHAR* given) {
  if (given != nullptr && given != slot.text) delete[] given;
}

void ResbufPool::setString(resbuf* item, const ACHAR* text,
                           std::size_t length) {
  Place place;
  if (find(item, place)) giveString(place, text, length);
}

bool ResbufPool::isLive(const resbuf* item) const {
  Place place;
  return find(item, place);
}

const ACHAR* ResbufPool::givenString(const resbuf* item) const {
  Place place;
  return find(item, place) ? place.chunk->given[place.index] : nullptr;
}

void ResbufPool::release(resbuf* item) {
  Place place;
  if (find(item, place)) take(place);
}

bool ResbufPool::giveBack(resbuf* item, Returned& returned) {
  Place place;
  if (!find(item, place)) return false;
  const ACHAR* given = place.chunk->given[place.index];
  returned = Returned{item->restype, item->resval.rstring,
                      item->resval.rbinary.buf, given, item->rbnext};
  // As take, with the string freed last: nothing is then kept across a call,
  // and this, which every freed item passes, saves no registers.
  const bool onHeap =
      given != nullptr && given != place.chunk->slots[place.index].text;
  place.chunk->given[place.index] = kFreeSlot;
  --live_;
  SIMHOST_POISON(&place.chunk->slots[place.index], sizeof(Slot));
  free_.push_back((std::uint64_t(place.chunk->number) << 32) | place.index);
  if (onHeap) delete[] given;
  return true;
}

void ResbufPool::take(const Place& place) {
  Slot& slot = place.chunk->slots[place.index];
  freeString(slot, place.chunk->given[place.index]);
  place.chunk->given[place.index] = kFreeSlot;
  --live_;
  SIMHOST_POISON(&slot, sizeof(Slot));
  free_.push_back((std::uint64_t(place.chunk->number) << 32) | place.index);
}

void ResbufPool::releaseAll() {
  for (auto& chunk : chunks_) {
    if (live_ == 0) return;
    for (std::size_t i = 0; i < kPerChunk; ++i)
      if (chunk->given[i] != kFreeSlot) release(&chunk->slots[i].item);
  }
}

}  // namespace sim
