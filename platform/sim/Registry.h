// Test hooks of the registry (platform/rtl/Registry.h): where its file lives
// (UseRegistryFile, UseMemoryRegistry; a test that reads back what it wrote points it
// at a file in its own temporary folder and calls UseRegistryFile again, as a new
// process would read it), what the last read found wrong with the file
// (RegistryLoadProblem), and refused access to keys (DenyRegistryAccess,
// AllowRegistryAccess), in platform/rtl/SimHooks.h. A failed write of the file is
// asked for with FailNext(Fault::FileCreate / FileWrite / FileRename)
// (platform/sim/Faults.h). ResetWorld puts an empty registry in memory alone and
// allows every access.
#pragma once

#include "platform/rtl/SimHooks.h"
