#include "platform/rtl/SimHooks.h"

#include <atomic>

namespace sim {

namespace {

constinit std::atomic<FaultCheck> gFaultCheck{nullptr};

}  // namespace

bool ShouldFail(Fault fault) {
  const FaultCheck check = gFaultCheck.load(std::memory_order_acquire);
  return check != nullptr && check(fault);
}

void SetFaultCheck(FaultCheck check) { gFaultCheck.store(check, std::memory_order_release); }

}  // namespace sim
