// The system reaching the platform's internals and the simulated world.
#include "platform/win/MessageQueue.h"
#include "platform/sim/World.h"
#include "app/Main.h"
