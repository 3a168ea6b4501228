#include "platform/sim/Faults.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <vector>

namespace sim {

namespace {

struct Pending {
  uint32_t kinds;  // a bit per Fault
  int skip;        // successful operations of these kinds still to let through
};

uint32_t Bit(Fault fault) { return 1u << static_cast<unsigned>(fault); }

std::mutex gMutex;
std::vector<Pending> gPending;
// Lets the platform skip the lock when no test asked for anything.
std::atomic<bool> gAny{false};

bool Check(Fault fault) {
  if (!gAny.load(std::memory_order_acquire)) return false;
  std::lock_guard<std::mutex> lock(gMutex);
  auto due = std::find_if(gPending.begin(), gPending.end(),
                          [fault](const Pending& p) { return (p.kinds & Bit(fault)) && p.skip == 0; });
  if (due != gPending.end()) {
    gPending.erase(due);
    gAny.store(!gPending.empty(), std::memory_order_release);
    return true;
  }
  for (Pending& p : gPending)
    if (p.kinds & Bit(fault)) --p.skip;
  return false;
}

}  // namespace

void FailNext(Fault fault, int skip) { FailNext({fault}, skip); }

void FailNext(std::initializer_list<Fault> kinds, int skip) {
  uint32_t bits = 0;
  for (const Fault fault : kinds) bits |= Bit(fault);
  std::lock_guard<std::mutex> lock(gMutex);
  gPending.push_back({bits, std::max(skip, 0)});
  gAny.store(true, std::memory_order_release);
  SetFaultCheck(&Check);
}

void ClearFaults() {
  std::lock_guard<std::mutex> lock(gMutex);
  gPending.clear();
  gAny.store(false, std::memory_order_release);
}

int PendingFaults() {
  std::lock_guard<std::mutex> lock(gMutex);
  return static_cast<int>(gPending.size());
}

}  // namespace sim
