// Byte order and dotted addresses.
#include <arpa/inet.h>

#include <cstdio>

#include "platform/winsock/WinsockInternal.h"

namespace winsock {

u_long htonl(u_long hostlong) { return ::htonl(hostlong); }
u_short htons(u_short hostshort) { return ::htons(hostshort); }
u_long ntohl(u_long netlong) { return ::ntohl(netlong); }
u_short ntohs(u_short netshort) { return ::ntohs(netshort); }

u_long inet_addr(const char* cp) {
  if (cp == nullptr) return INADDR_NONE;
  ::in_addr a{};
  // inet_aton takes the same forms Winsock does: a.b.c.d, a.b.c, a.b and a, each
  // part decimal, octal (0...) or hex (0x...).
  if (::inet_aton(cp, &a) == 0) return INADDR_NONE;
  return a.s_addr;
}

char* inet_ntoa(in_addr in) {
  thread_local char text[16];
  const u_char* b = reinterpret_cast<const u_char*>(&in.S_un.S_addr);
  std::snprintf(text, sizeof text, "%u.%u.%u.%u", b[0], b[1], b[2], b[3]);
  return text;
}

}  // namespace winsock
