// A counting allocator for the whole program: every plain new and delete goes
// through it, so a benchmark can read how many bytes a structure holds.
#ifndef BENCH_COUNTING_ALLOCATOR_H
#define BENCH_COUNTING_ALLOCATOR_H

#include <cstddef>

namespace bench {

// Bytes asked for by new and not yet given back by delete, over the whole
// program. Only the bytes asked for count, not the heap's own overhead.
std::size_t liveHeapBytes();

}  // namespace bench

#endif
