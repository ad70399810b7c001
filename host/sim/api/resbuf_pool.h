// The result-buffer items the host hands out: which items are live and which
// string each was given.
#ifndef HOST_SIM_API_RESBUF_POOL_H
#define HOST_SIM_API_RESBUF_POOL_H

#include <cstddef>
#include <memory>
#include <unordered_map>

#include "host/api/host_api.h"

namespace sim {

// Every item is a heap block of its own and known by its address, so an item
// a plug-in passes back is checked before anything is read through it, and
// one read after it was freed is caught by the sanitizer's heap checks.
class ResbufPool {
 public:
  ResbufPool() = default;
  ~ResbufPool() { releaseAll(); }
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
  bool isLive(const resbuf* item) const { return live_.count(item) != 0; }
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
  std::size_t liveCount() const { return live_.size(); }

 private:
  // Live item -> the string or binary chunk it was given (a chunk is kept in
  // units of text, so one delete fits both), or null.
  std::unordered_map<const resbuf*, std::unique_ptr<ACHAR[]>> live_;
};

}  // namespace sim

#endif
