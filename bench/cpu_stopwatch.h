// A stopwatch of the calling thread's own processor time. Other helpers and
// jobs share this machine's two cores; time spent waiting for a core is
// theirs, not the code's, so the benchmarks time what the thread runs.
#ifndef BENCH_CPU_STOPWATCH_H
#define BENCH_CPU_STOPWATCH_H

#include <time.h>

namespace bench {

class CpuStopwatch {
 public:
  CpuStopwatch() : start_(now()) {}
  // Seconds of processor time since the stopwatch was made or restarted.
  double seconds() const { return now() - start_; }
  void restart() { start_ = now(); }

 private:
  static double now() {
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
  }
  double start_;
};

}  // namespace bench

#endif
