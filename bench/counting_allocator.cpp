// Each block carries its size in a header, so delete knows what it gives back
// without asking the C library (whose usable size includes its rounding).
#include "bench/counting_allocator.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

std::atomic<std::size_t> gLiveBytes{0};

// Keeps the block that follows aligned for any fundamental type.
constexpr std::size_t kHeader = alignof(std::max_align_t);

void* allocate(std::size_t size) noexcept {
  void* block = std::malloc(size + kHeader);
  if (block == nullptr) return nullptr;
  *static_cast<std::size_t*>(block) = size;
  gLiveBytes.fetch_add(size, std::memory_order_relaxed);
  return static_cast<char*>(block) + kHeader;
}

void release(void* p) noexcept {
  if (p == nullptr) return;
  void* block = static_cast<char*>(p) - kHeader;
  gLiveBytes.fetch_sub(*static_cast<std::size_t*>(block),
                       std::memory_order_relaxed);
  std::free(block);
}

void* allocateOrThrow(std::size_t size) {
  void* p = allocate(size);
  if (p == nullptr) throw std::bad_alloc();
  return p;
}

}  // namespace

namespace bench {
std::size_t liveHeapBytes() {
  return gLiveBytes.load(std::memory_order_relaxed);
}
}  // namespace bench

void* operator new(std::size_t size) { return allocateOrThrow(size); }
void* operator new[](std::size_t size) { return allocateOrThrow(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  return allocate(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  return allocate(size);
}
void operator delete(void* p) noexcept { release(p); }
void operator delete[](void* p) noexcept { release(p); }
void operator delete(void* p, std::size_t) noexcept { release(p); }
void operator delete[](void* p, std::size_t) noexcept { release(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { release(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { release(p); }
