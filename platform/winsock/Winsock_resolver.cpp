// The name service behind the Winsock host lookups: a resolver a test installed, or the
// system's.
#include "platform/winsock/SimHooks.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <mutex>
#include <thread>

#include "platform/win/MessageQueue.h"
#include "platform/winsock/WinsockInternal.h"

namespace sim {

namespace {

struct Resolvers {
  std::mutex mutex;
  NameResolver byName;
  AddressResolver byAddress;
};

// Lookup threads may still run while the process exits.
Resolvers& Current() {
  static larkwin::NoDestroy<Resolvers> resolvers;
  return resolvers.Get();
}

bool IsLocalhost(const std::string& name) {
  static const char kName[] = "localhost";
  if (name.size() != sizeof kName - 1) return false;
  for (size_t i = 0; i < name.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(name[i])) != kName[i]) return false;
  }
  return true;
}

void Wait(uint32_t ms) {
  if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

}  // namespace

void SetNameResolver(NameResolver resolver) {
  std::lock_guard<std::mutex> lock(Current().mutex);
  Current().byName = std::move(resolver);
}

void SetAddressResolver(AddressResolver resolver) {
  std::lock_guard<std::mutex> lock(Current().mutex);
  Current().byAddress = std::move(resolver);
}

ResolverAnswer SystemResolveName(const std::string& name) {
  ResolverAnswer answer;
  if (IsLocalhost(name)) {
    answer.name = "localhost";
    answer.addresses.push_back(::htonl(0x7F000001u));
    return answer;
  }
  addrinfo hints{};
  hints.ai_family = posixnet::kAfInet;
  hints.ai_socktype = ::SOCK_STREAM;
  hints.ai_flags = AI_CANONNAME;
  addrinfo* list = nullptr;
  const int rc = ::getaddrinfo(name.c_str(), nullptr, &hints, &list);
  if (rc != 0) {
    answer.error = winsock::WSAErrorFromGai(rc);
    return answer;
  }
  for (addrinfo* ai = list; ai != nullptr; ai = ai->ai_next) {
    if (ai->ai_canonname != nullptr && answer.name.empty()) answer.name = ai->ai_canonname;
    if (ai->ai_family != posixnet::kAfInet) continue;
    const uint32_t a = reinterpret_cast<const ::sockaddr_in*>(ai->ai_addr)->sin_addr.s_addr;
    if (std::find(answer.addresses.begin(), answer.addresses.end(), a) == answer.addresses.end()) {
      answer.addresses.push_back(a);
    }
  }
  ::freeaddrinfo(list);
  if (answer.addresses.empty()) answer.error = winsock::WSANO_DATA;
  return answer;
}

ResolverAnswer SystemResolveAddress(uint32_t address) {
  ResolverAnswer answer;
  ::sockaddr_in sa{};
  sa.sin_family = posixnet::kAfInet;
  sa.sin_addr.s_addr = address;
  char host[NI_MAXHOST];
  const int rc = ::getnameinfo(reinterpret_cast<const ::sockaddr*>(&sa), sizeof sa, host,
                               sizeof host, nullptr, 0, NI_NAMEREQD);
  if (rc != 0) {
    answer.error = winsock::WSAErrorFromGai(rc);
    return answer;
  }
  answer.name = host;
  answer.addresses.push_back(address);
  return answer;
}

}  // namespace sim

namespace winsock::detail {

sim::ResolverAnswer LookupName(const std::string& name) {
  sim::NameResolver resolver;
  {
    std::lock_guard<std::mutex> lock(sim::Current().mutex);
    resolver = sim::Current().byName;
  }
  sim::ResolverAnswer answer = resolver ? resolver(name) : sim::SystemResolveName(name);
  sim::Wait(answer.delayMs);
  return answer;
}

sim::ResolverAnswer LookupAddress(uint32_t address) {
  sim::AddressResolver resolver;
  {
    std::lock_guard<std::mutex> lock(sim::Current().mutex);
    resolver = sim::Current().byAddress;
  }
  sim::ResolverAnswer answer = resolver ? resolver(address) : sim::SystemResolveAddress(address);
  sim::Wait(answer.delayMs);
  return answer;
}

}  // namespace winsock::detail
