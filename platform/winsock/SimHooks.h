// Where Winsock asks the simulated world, and what it shows of itself to it. Nothing
// is installed in the shipped program: host lookups ask the system. Tests drive these
// hooks through platform/sim; the system's own code never includes this header.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace sim {

// --- The name service behind the host lookups ---
// (gethostbyname, gethostbyaddr, WSAAsyncGetHostByName, WSAAsyncGetHostByAddr.) The
// default asks the system (getaddrinfo / getnameinfo, IPv4), except "localhost",
// which is always 127.0.0.1.

struct ResolverAnswer {
  // 0, or the Winsock lookup error (11001 host not found, 11002 try again, 11003
  // non-recoverable, 11004 no data).
  int error = 0;
  // The host's official name (empty: the name asked for, for name lookups).
  std::string name;
  std::vector<std::string> aliases;
  // IPv4 addresses in network byte order.
  std::vector<uint32_t> addresses;
  // Real time the lookup takes before it answers (on the lookup's thread).
  uint32_t delayMs = 0;
};

// Called on the thread that looks up: the caller's for blocking lookups, a worker
// thread for the asynchronous ones. Must be thread-safe.
using NameResolver = std::function<ResolverAnswer(const std::string& name)>;
// The address is in network byte order.
using AddressResolver = std::function<ResolverAnswer(uint32_t address)>;

// An empty function restores the default.
void SetNameResolver(NameResolver resolver);
void SetAddressResolver(AddressResolver resolver);

// The defaults, for a resolver that answers some names itself and passes the rest on.
ResolverAnswer SystemResolveName(const std::string& name);
ResolverAnswer SystemResolveAddress(uint32_t address);

// --- The start-up state ---

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
