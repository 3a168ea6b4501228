// A lower level reaching the test drivers.
#include "platform/sim/World.h"
