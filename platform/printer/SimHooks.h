// What the simulated world sets of the printer. The system's own code never includes
// this header; tests reach it through platform/sim.
#pragma once

#include <string>

namespace sim {

// While set, the system has no printer: the framework's printer object raises.
void SetNoPrinter(bool none);
// The folder print jobs are spooled into; empty goes back to the user's.
void SetSpoolFolder(const std::string& path);
// The printer's settings back to the defaults, a printer installed, the user's
// spool folder, and an open job dropped.
void ResetPrinter();

}  // namespace sim
