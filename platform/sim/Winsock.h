// What a test can read of the Winsock start-up state.
#pragma once

#include <cstdint>

namespace sim {

// WSAStartup calls not yet ended by WSACleanup.
int WinsockStartupCount();
// The version word of the last accepted WSAStartup (0 before any).
uint16_t WinsockLastRequestedVersion();
// Sockets open at the moment (made and not closed).
int WinsockOpenSockets();
// Asynchronous lookups whose worker thread has not finished yet (cancelled ones
// included).
int WinsockLookupsInFlight();

}  // namespace sim
