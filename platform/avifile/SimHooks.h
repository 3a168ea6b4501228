// Where AVIFile asks the simulated world: the size limit of written files. Tests
// lower it to reach the limit with small files. The system's own code never includes
// this header.
#pragma once

#include <cstdint>

namespace sim {

// Writes that would take a file beyond bytes fail (0 restores AVI 1.0's limit).
void SetAVIFileSizeLimit(uint64_t bytes);

}  // namespace sim
