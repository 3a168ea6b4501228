// Fault sweeps: a task is run again and again, with its first, second, third, ...
// file or socket operation failing, until it runs through without meeting the
// failure. After each run the test checks that nothing was lost or half-written and
// that the component still works.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <initializer_list>

#include "platform/sim/Faults.h"

namespace larktest {

// Called by a sweep's task right after the operation under test: answers whether
// the failure asked for was met, and forgets it, so that the checks after it run
// without failures.
inline bool FaultReached() {
  const bool reached = sim::PendingFaults() == 0;
  sim::ClearFaults();
  return reached;
}

// Calls run(n) with the operation after n successful ones of the given kinds failing,
// for n = 0, 1, 2, ..., until a run answers that it did not reach the failure
// (FaultReached). Answers that n (the number of operations the task needs); -1, with
// a test failure, when the task still meets the failure after maxRuns runs.
inline int SweepFaults(std::initializer_list<sim::Fault> kinds, const std::function<bool(int n)>& run,
                       int maxRuns = 2000) {
  for (int n = 0; n < maxRuns; ++n) {
    SCOPED_TRACE("operation " + std::to_string(n + 1) + " fails");
    sim::FailNext(kinds, n);
    const bool reached = run(n);
    sim::ClearFaults();
    if (!reached) return n;
  }
  ADD_FAILURE() << "the task never ran through";
  return -1;
}

}  // namespace larktest
