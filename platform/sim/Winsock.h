// What a test can read of the Winsock start-up state (WinsockStartupCount,
// WinsockOpenSockets, ..., in platform/winsock/SimHooks.h).
#pragma once

#include "platform/winsock/SimHooks.h"
