// Where the running program seems to live (ParamStr0, ProgramFolder). Tests point it
// at a folder of their own; an empty path goes back to the real executable.
#pragma once

#include <string>

namespace sim {

void SetProgramPath(const std::string& path);

}  // namespace sim
