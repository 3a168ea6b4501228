// The per-user runtime folder that holds the named mutexes' lock files:
// $XDG_RUNTIME_DIR, else /tmp/lark-<uid>. Tests point it at a folder of their own;
// an empty path goes back to the default.
#pragma once

#include <string>

namespace sim {

void SetRuntimeFolder(const std::string& path);

}  // namespace sim
