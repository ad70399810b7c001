// Marks memory the host keeps for reuse as unreadable under AddressSanitizer,
// so that a read of something already freed is caught as it would be in a
// heap block of its own; in other builds these do nothing.
#ifndef HOST_SIM_ASAN_POISON_H
#define HOST_SIM_ASAN_POISON_H

#include <cstddef>

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define PLIVET_ASAN 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define PLIVET_ASAN 1
#endif
#if defined(PLIVET_ASAN)
#include <sanitizer/asan_interface.h>
#endif

namespace sim {

inline void poisonMemory(const void* place, std::size_t size) {
#if defined(PLIVET_ASAN)
  ASAN_POISON_MEMORY_REGION(place, size);
#else
  (void)place;
  (void)size;
#endif
}

inline void unpoisonMemory(const void* place, std::size_t size) {
#if defined(PLIVET_ASAN)
  ASAN_UNPOISON_MEMORY_REGION(place, size);
#else
  (void)place;
  (void)size;
#endif
}

}  // namespace sim

#endif
