// Drives the real message loop of the calling thread in tests.
#pragma once

#include <cstdint>
#include <functional>

namespace larktest {

// Dispatches the calling thread's messages until cond() holds or timeoutMs of real
// time have passed; answers whether cond() held. cond is checked before each wait.
bool PumpUntil(const std::function<bool()>& cond, uint32_t timeoutMs = 5000);
// Dispatches everything that is pending now, without waiting. Answers how many.
int PumpPending();
// Pumps until the loop is idle: no message posted or sent, no timer due and no watched
// descriptor ready. This is how a test shows that nothing else happens (no stale
// event, no second answer). False when the loop is still busy after timeoutMs of
// real time.
bool PumpUntilIdle(uint32_t timeoutMs = 5000);

}  // namespace larktest
