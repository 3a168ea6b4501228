// Address resolution: dotted addresses, host names, ports, protocols and the local
// host's name and addresses.
#include <cstring>

#include "net/WSocket.h"
#include "net/WSocket_internal.h"

using namespace winsock;
using wsocket_internal::CountHold;

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The decimal digits at the start of s after leading blanks, with no sign; 0 when
// there are none. Values beyond limit answer limit + 1, so a caller can refuse them.
Int64 DecimalPrefix(const AnsiString& s, Int64 limit) {
  size_t i = 0;
  while (i < s.size() && s[i] == ' ') ++i;
  Int64 value = 0;
  for (; i < s.size() && IsDigit(s[i]); ++i) {
    value = value * 10 + (s[i] - '0');
    if (value > limit) return limit + 1;
  }
  return value;
}

}  // namespace

bool WSocketIsDottedIP(const AnsiString& s) {
  const size_t n = s.size();
  size_t i = 0;
  while (i < n && s[i] == ' ') ++i;
  if (i < n && s[i] == '.') return false;
  int dots = 0;
  // Each part is at most 255: anything larger stops counting at 256.
  uint32_t value = 0;
  while (i < n) {
    const char c = s[i];
    if (IsDigit(c)) {
      value = value * 10 + static_cast<uint32_t>(c - '0');
      if (value > 255) value = 256;
      ++i;
    } else if (c == '.') {
      ++dots;
      if (dots > 3 || value > 255 || i + 1 >= n || !IsDigit(s[i + 1])) return false;
      value = 0;
      ++i;
    } else {
      while (i < n && s[i] == ' ') ++i;
      if (i >= n) break;
      return false;
    }
  }
  return dots == 3 && value <= 255;
}

winsock::u_long WSocketResolveHost(const AnsiString& host) {
  CountHold hold;
  if (host.empty() || host.size() > 256)
    throw ESocketException("WSocketResolveHost: '" + host + "' Invalid Hostname.");
  const AnsiString name = Trim(host);
  if (WSocketIsDottedIP(host)) {
    const winsock::u_long address = WSocket_inet_addr(name.c_str());
    if (address == INADDR_NONE && name != "255.255.255.255")
      throw ESocketException("WSocketResolveHost: '" + host + "' Invalid IP address.");
    return address;
  }
  const hostent* entry = WSocket_gethostbyname(name.c_str());
  int error = 0;
  if (entry == nullptr)
    error = WSocket_WSAGetLastError();
  else if (entry->h_addr_list == nullptr || entry->h_addr_list[0] == nullptr)
    error = WSANO_DATA;
  if (entry == nullptr || error != 0)
    throw ESocketException(Format("WSocketResolveHost: Cannot convert host address '%s', Error #%d",
                                  {host, error}));
  winsock::u_long address;
  std::memcpy(&address, entry->h_addr_list[0], sizeof address);
  return address;
}

Word WSocketResolvePort(const AnsiString& port, const AnsiString& proto) {
  CountHold hold;
  if (port.empty() || port.size() >= 32) throw ESocketException("WSocketResolvePort: Invalid Port.");
  if (proto.empty() || proto.size() >= 32)
    throw ESocketException("WSocketResolvePort: Invalid Proto.");
  if (IsDigit(port[0])) {
    // A number that is no port would otherwise wrap to another port.
    const Int64 value = DecimalPrefix(port, 65535);
    if (value > 65535) throw ESocketException("WSocketResolvePort: Invalid Port.");
    return static_cast<Word>(value);
  }
  const AnsiString name = Trim(port);
  const AnsiString protoName = Trim(proto);
  const servent* entry =
      WSocket_getservbyname(name.c_str(), protoName.empty() ? nullptr : protoName.c_str());
  if (entry == nullptr)
    throw ESocketException(Format("WSocketResolvePort: Cannot convert port '%s', Error #%d",
                                  {port, WSocket_WSAGetLastError()}));
  return WSocket_ntohs(static_cast<winsock::u_short>(entry->s_port));
}

Integer WSocketResolveProto(const AnsiString& proto) {
  CountHold hold;
  if (proto.empty() || proto.size() >= 32)
    throw ESocketException("WSocketResolveProto: Invalid Protocol.");
  if (IsDigit(proto[0])) return static_cast<Integer>(DecimalPrefix(proto, 0x7FFFFFFF));
  const AnsiString name = LowerCase(Trim(proto));
  if (name == "tcp") return IPPROTO_TCP;
  if (name == "udp") return IPPROTO_UDP;
  if (name == "raw") return IPPROTO_RAW;
  const protoent* entry = WSocket_getprotobyname(name.c_str());
  if (entry == nullptr)
    throw ESocketException(Format("WSocketResolveProto: Cannot convert protocol '%s', Error #%d",
                                  {proto, WSocket_WSAGetLastError()}));
  return entry->p_proto;
}

hostent* WSocketGetHostByAddr(const AnsiString& addr) {
  CountHold hold;
  if (addr.empty() || addr.size() > 256)
    throw ESocketException("WSocketGetHostByAddr: Invalid address.");
  const winsock::u_long address = WSocket_inet_addr(addr.c_str());
  return WSocket_gethostbyaddr(reinterpret_cast<const char*>(&address), 4, AF_INET);
}

AnsiString WSocketResolveIp(const AnsiString& addr) {
  CountHold hold;
  const hostent* entry = WSocketGetHostByAddr(addr);
  if (entry == nullptr || entry->h_name == nullptr) return {};
  return entry->h_name;
}

hostent* WSocketGetHostByName(const AnsiString& name) {
  CountHold hold;
  if (name.empty() || name.size() > 256)
    throw ESocketException("WSocketGetHostByName: Invalid Hostname.");
  return WSocket_gethostbyname(name.c_str());
}

AnsiString LocalHostName() {
  CountHold hold;
  char name[64] = {};
  if (WSocket_gethostname(name, sizeof name) != 0)
    throw ESocketException("Winsock.GetHostName failed");
  name[sizeof name - 1] = '\0';
  return name;
}

TStrings* LocalIPList() {
  CountHold hold;
  static TStringList list;
  list.Clear();
  const hostent* entry = WSocketGetHostByName(LocalHostName());
  if (entry != nullptr && entry->h_addr_list != nullptr) {
    for (char** p = entry->h_addr_list; *p != nullptr; ++p) {
      in_addr address;
      std::memcpy(&address, *p, sizeof address);
      list.Add(WSocket_inet_ntoa(address));
    }
  }
  return &list;
}
