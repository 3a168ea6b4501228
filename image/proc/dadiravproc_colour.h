// Unit dadiravproc, continued: see dadiravproc.h.
#pragma once

#include "image/proc/dadiravproc.h"
