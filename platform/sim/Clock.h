// The clock the platform's timers, tick counts and timed waits run on. Real
// (monotonic) time by default; a test can install a virtual clock and move it on.
// NowMs and IsVirtualClock are in platform/win/SimHooks.h.
#pragma once

#include <cstdint>

#include "platform/win/SimHooks.h"

namespace sim {

// Switches to a virtual clock that stands at startMs until advanced. Timers keep the
// time they had left. Calling it again moves the virtual clock to startMs.
void UseVirtualClock(uint64_t startMs = 0);
// Back to real time (continuing from where the virtual clock stood, so time never goes back).
void UseRealClock();

// Moves the virtual clock on by ms, as if that time had passed with the calling
// thread's message loop running: it stops at each of the thread's timer deadlines
// on the way and dispatches what is then pending, so a 1,000 ms timer fires ten
// times over 10,000 ms. Other threads' loops are woken to see the new time.
// A WM_QUIT met while dispatching is left for the thread's own loop, and dispatching
// stops there. EInvalidOperation on the real clock.
void AdvanceClock(uint64_t ms);

}  // namespace sim
