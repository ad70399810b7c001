// A fault sweep per host operation: every call of one operation fails in
// turn, once and then for good, and a check looks at what was left.
#ifndef TESTS_IDENTITY_FAULT_SWEEP_H
#define TESTS_IDENTITY_FAULT_SWEEP_H

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "tests/support/host_test.h"

// Sweeping one operation at a time tells the check which one failed: a close
// that fails leaves its object open whatever the caller does, so only for
// that operation may an object stay open (the audit then closes it). Returns
// the number of runs that injected a fault.
inline long sweepEachOperation(
    sim::Host& host, const std::function<void()>& scenario,
    const std::function<void(const sim::SweepRun&)>& check) {
  long faulted = 0;
  for (const std::string& operation : sim::Host::operationNames()) {
    sim::sweepFaults([&](const sim::SweepRun&) { scenario(); },
                     [&](const sim::SweepRun& run) {
                       SCOPED_TRACE("fault in " + operation + " call " +
                                    std::to_string(run.point) +
                                    (run.persistent ? " and after" : ""));
                       if (run.injected > 0) ++faulted;
                       if (operation != "close") {
                         EXPECT_EQ(host.openObjectCount(), 0);
                       }
                       host.audit();
                       if (operation == "close") host.clearViolations();
                       EXPECT_TRUE(host.violations().empty());
                       EXPECT_EQ(host.liveResbufItems(), 0);
                       EXPECT_EQ(host.liveNewObjects(), 0);
                       check(run);
                     },
                     operation);
  }
  return faulted;
}

// True when every element of part appears in whole, in the same order.
template <typename T>
bool isSubsequence(const std::vector<T>& part, const std::vector<T>& whole) {
  auto next = whole.begin();
  for (const T& element : part) {
    next = std::find(next, whole.end(), element);
    if (next == whole.end()) return false;
    ++next;
  }
  return true;
}

#endif
