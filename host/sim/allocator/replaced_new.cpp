// The global operator new of a program that runs the simulated host: every
// allocation asks the host whether it is one of the plug-in's that an armed
// module-alloc fault fails. Linked into each program rather than into the
// host's library, so that it takes precedence over every other definition
// (a sanitizer's included) for the program and the plug-ins it loads.
#include <cstdlib>
#include <new>

#include "host/sim/module_alloc.h"

namespace {

void* allocate(std::size_t size) {
  if (simhostFailsModuleAllocation()) return nullptr;
  return std::malloc(size == 0 ? 1 : size);
}

void* allocateOrThrow(std::size_t size) {
  void* p = allocate(size);
  if (p == nullptr) throw std::bad_alloc();
  return p;
}

}  // namespace

void* operator new(std::size_t size) { return allocateOrThrow(size); }
void* operator new[](std::size_t size) { return allocateOrThrow(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  return allocate(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  return allocate(size);
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept {
  std::free(p);
}
