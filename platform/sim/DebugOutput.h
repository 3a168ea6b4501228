// What the program wrote with OutputDebugString, one entry per call, oldest first.
// Only the latest entries are kept (a long-running program must not grow without end).
#pragma once

#include <string>
#include <vector>

namespace sim {

std::vector<std::string> DebugLines();
void ClearDebugLines();

}  // namespace sim
