// The simulated world as a whole: what a test runner does around each test.
#pragma once

#include <string>
#include <vector>

namespace sim {

// Puts the world back as a fresh process finds it (with the test responder answering
// dialogs, and media players whose sound goes to a fake sink): no pending faults, the
// real clock, no queued dialog answers and empty dialog, help and debug logs, echo on,
// the system's resolvers, every module loadable, the default screen, the real program
// path and runtime folder, an empty registry in memory alone with every access
// allowed, and the calling thread's COM initialisation undone with no class objects
// registered, an empty notification area and the shell's "open" recorded instead of
// run, and the visual styles off.
void ResetWorld();

// What a test left behind that would change the next one: pending faults, an
// installed virtual clock, queued dialog answers, class objects still registered. One
// sentence each; empty when clean.
std::vector<std::string> WorldLeftovers();

}  // namespace sim
