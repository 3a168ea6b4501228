// Failures on cue: a test asks for the next operation of a kind to fail, and the
// platform code that performs that kind of operation asks ShouldFail before doing it
// (platform/rtl/SimHooks.h). Nothing fails unless a test asked.
#pragma once

#include <initializer_list>

#include "platform/rtl/SimHooks.h"

namespace sim {

// The operation of that kind after `skip` successful ones fails (once).
void FailNext(Fault fault, int skip = 0);
// The operation of any of these kinds after `skip` successful ones of them fails
// (once): a sweep fails the Nth file or socket operation of a task, whatever its kind.
void FailNext(std::initializer_list<Fault> kinds, int skip = 0);
// Forgets every pending failure.
void ClearFaults();
// Failures asked for and not yet used.
int PendingFaults();

}  // namespace sim
