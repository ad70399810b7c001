// Keeps the memory a benchmark frees inside the program, as a host that has
// been running a while does, so that no repetition pays for fresh pages.
#ifndef BENCH_WARM_HEAP_H
#define BENCH_WARM_HEAP_H

namespace bench {

// The C library here would hand large freed blocks back to the system, and
// the next repetition would begin by faulting in fresh pages: a cost of the
// system, not of the code measured, that on a virtual machine varies several
// times over between runs. Call before the first benchmark runs.
void keepFreedMemory();

}  // namespace bench

#endif
