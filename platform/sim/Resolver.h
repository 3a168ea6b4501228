// The name service behind the Winsock host lookups (gethostbyname, gethostbyaddr,
// WSAAsyncGetHostByName, WSAAsyncGetHostByAddr). A test installs its own resolver to
// answer or fail a lookup without any network; the default asks the system
// (getaddrinfo / getnameinfo, IPv4), except "localhost", which is always 127.0.0.1.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace sim {

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

// The defaults, for a test resolver that answers some names itself and passes the rest on.
ResolverAnswer SystemResolveName(const std::string& name);
ResolverAnswer SystemResolveAddress(uint32_t address);

}  // namespace sim
