#include "host/sim/api/resbuf_pool.h"

#include <algorithm>
#include <cstddef>

#include "host/sim/asan_poison.h"

namespace sim {

namespace {

// The part of a slot a plug-in may read: the item and its short string.
template <typename Slot>
void poison(Slot& slot) {
  poisonMemory(&slot, offsetof(Slot, given));
}
template <typename Slot>
void unpoison(Slot& slot) {
  unpoisonMemory(&slot, offsetof(Slot, given));
}

}  // namespace

ResbufPool::~ResbufPool() {
  releaseAll();
  for (auto& chunk : chunks_)
    for (std::size_t i = 0; i < kSlotsPerChunk; ++i) unpoison(chunk[i]);
}

void ResbufPool::addChunk() {
  const auto chunk = static_cast<std::uint32_t>(chunks_.size());
  chunks_.emplace_back(new Slot[kSlotsPerChunk]);
  Slot* slots = chunks_.back().get();
  const auto address = reinterpret_cast<std::uintptr_t>(slots);
  byAddress_.insert(std::upper_bound(byAddress_.begin(), byAddress_.end(),
                                     std::make_pair(address, chunk)),
                    std::make_pair(address, chunk));
  for (std::size_t i = 0; i < kSlotsPerChunk; ++i) {
    slots[i].given = nullptr;
    slots[i].live = true;  // so that freeSlot takes it
    ++live_;
    freeSlot(slots[i], chunk * static_cast<std::uint32_t>(kSlotsPerChunk) +
                           static_cast<std::uint32_t>(i));
  }
}

ResbufPool::Slot* ResbufPool::liveSlot(const resbuf* item,
                                       std::uint32_t* index) const {
  constexpr std::uintptr_t kChunkBytes = kSlotsPerChunk * sizeof(Slot);
  const auto address = reinterpret_cast<std::uintptr_t>(item);
  if (lastBase_ == 0 || address - lastBase_ >= kChunkBytes) {
    auto after =
        std::upper_bound(byAddress_.begin(), byAddress_.end(), address,
                         [](std::uintptr_t a,
                            const std::pair<std::uintptr_t, std::uint32_t>& c) {
                           return a < c.first;
                         });
    if (after == byAddress_.begin()) return nullptr;
    if (address - (after - 1)->first >= kChunkBytes) return nullptr;
    lastBase_ = (after - 1)->first;
    lastChunk_ = (after - 1)->second;
  }
  const std::uintptr_t offset = address - lastBase_;
  if (offset % sizeof(Slot) != 0) return nullptr;
  const auto place = static_cast<std::uint32_t>(offset / sizeof(Slot));
  Slot& slot = chunks_[lastChunk_][place];
  if (!slot.live) return nullptr;
  if (index != nullptr)
    *index = lastChunk_ * static_cast<std::uint32_t>(kSlotsPerChunk) + place;
  return &slot;
}

ResbufPool::Slot& ResbufPool::take(short code) {
  if (firstFree_ == kNoSlot) addChunk();
  Slot& slot = slotAt(firstFree_);
  firstFree_ = slot.nextFree;
  if (firstFree_ == kNoSlot) lastFree_ = kNoSlot;
  unpoison(slot);
  slot.item = resbuf();
  slot.item.restype = code;
  slot.given = nullptr;
  slot.live = true;
  ++live_;
  return slot;
}

resbuf* ResbufPool::allocate(short code) { return &take(code).item; }

resbuf* ResbufPool::allocate(short code, const ACHAR* text,
                             std::size_t length) {
  Slot& slot = take(code);
  giveString(slot, text, length);
  return &slot.item;
}

void ResbufPool::dropString(Slot& slot) {
  if (slot.given != slot.shortText) delete[] slot.given;
  slot.given = nullptr;
}

void ResbufPool::giveString(Slot& slot, const ACHAR* text, std::size_t length) {
  dropString(slot);
  ACHAR* copy = length < kShortText ? slot.shortText : new ACHAR[length + 1];
  std::copy(text, text + length, copy);
  copy[length] = 0;
  slot.given = copy;
  slot.item.resval.rstring = copy;
}

char* ResbufPool::giveBinary(resbuf* item, std::size_t length) {
  Slot* slot = liveSlot(item);
  if (slot == nullptr) return nullptr;
  dropString(*slot);
  // Kept in units of text, so that one delete fits strings and chunks.
  slot->given = length <= sizeof slot->shortText
                    ? slot->shortText
                    : new ACHAR[(length + 1) / 2 + 1];
  char* bytes = reinterpret_cast<char*>(slot->given);
  item->resval.rbinary.clen = static_cast<short>(length);
  item->resval.rbinary.buf = bytes;
  return bytes;
}

void ResbufPool::setString(resbuf* item, const ACHAR* text,
                           std::size_t length) {
  if (Slot* slot = liveSlot(item)) giveString(*slot, text, length);
}

const ACHAR* ResbufPool::givenString(const resbuf* item) const {
  const Slot* slot = liveSlot(item);
  return slot != nullptr ? slot->given : nullptr;
}

void ResbufPool::freeSlot(Slot& slot, std::uint32_t index) {
  dropString(slot);
  slot.live = false;
  --live_;
  slot.nextFree = kNoSlot;
  if (lastFree_ == kNoSlot)
    firstFree_ = index;
  else
    slotAt(lastFree_).nextFree = index;
  lastFree_ = index;
  poison(slot);
}

void ResbufPool::release(resbuf* item) {
  std::uint32_t index = 0;
  if (Slot* slot = liveSlot(item, &index)) freeSlot(*slot, index);
}

bool ResbufPool::giveBack(resbuf* item, Returned& returned) {
  std::uint32_t index = 0;
  Slot* slot = liveSlot(item, &index);
  if (slot == nullptr) return false;
  // Only compared by the caller, never read through.
  returned = Returned{item->restype, item->resval.rstring,
                      item->resval.rbinary.buf, slot->given, item->rbnext};
  freeSlot(*slot, index);
  return true;
}

void ResbufPool::releaseAll() {
  for (std::uint32_t c = 0; c < chunks_.size(); ++c)
    for (std::uint32_t i = 0; i < kSlotsPerChunk; ++i) {
      Slot& slot = chunks_[c][i];
      if (slot.live)
        freeSlot(slot, c * static_cast<std::uint32_t>(kSlotsPerChunk) + i);
    }
}

}  // namespace sim
