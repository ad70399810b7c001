#include "host/sim/api/resbuf_pool.h"

#include <algorithm>

namespace sim {

resbuf* ResbufPool::allocate(short code) {
  resbuf* item = new resbuf();
  item->restype = code;
  live_.emplace(item, nullptr);
  return item;
}

resbuf* ResbufPool::allocate(short code, const ACHAR* text,
                             std::size_t length) {
  resbuf* item = allocate(code);
  setString(item, text, length);
  return item;
}

char* ResbufPool::giveBinary(resbuf* item, std::size_t length) {
  const auto found = live_.find(item);
  if (found == live_.end()) return nullptr;
  found->second.reset(new ACHAR[(length + 1) / 2 + 1]);
  char* bytes = reinterpret_cast<char*>(found->second.get());
  item->resval.rbinary.clen = static_cast<short>(length);
  item->resval.rbinary.buf = bytes;
  return bytes;
}

void ResbufPool::setString(resbuf* item, const ACHAR* text,
                           std::size_t length) {
  const auto found = live_.find(item);
  if (found == live_.end()) return;
  ACHAR* copy = new ACHAR[length + 1];
  std::copy(text, text + length, copy);
  copy[length] = 0;
  found->second.reset(copy);
  item->resval.rstring = copy;
}

const ACHAR* ResbufPool::givenString(const resbuf* item) const {
  const auto found = live_.find(item);
  return found != live_.end() ? found->second.get() : nullptr;
}

void ResbufPool::release(resbuf* item) {
  if (live_.erase(item) != 0) delete item;
}

bool ResbufPool::giveBack(resbuf* item, Returned& returned) {
  const auto found = live_.find(item);
  if (found == live_.end()) return false;
  returned =
      Returned{item->restype, item->resval.rstring, item->resval.rbinary.buf,
               found->second.get(), item->rbnext};
  live_.erase(found);
  delete item;
  return true;
}

void ResbufPool::releaseAll() {
  for (auto& entry : live_) delete const_cast<resbuf*>(entry.first);
  live_.clear();
}

}  // namespace sim
