// Failures on cue: a test asks for the next operation of a kind to fail, and the
// platform code that performs that kind of operation asks ShouldFail before doing it
// (platform/rtl/SimHooks.h). Nothing fails unless a test asked.
#pragma once

#include "platform/rtl/SimHooks.h"

namespace sim {

// The operation of that kind after `skip` successful ones fails (once).
void FailNext(Fault fault, int skip = 0);
// Forgets every pending failure.
void ClearFaults();
// Failures asked for and not yet used.
int PendingFaults();

}  // namespace sim
