// Socket options and ioctls: Winsock's levels, names, records and codes turned into
// the system's.
#include <fcntl.h>

#include <cerrno>
#include <cstring>

#include "platform/winsock/WinsockInternal.h"

namespace winsock {

using detail::Fail;
using detail::FailErrno;

namespace {

enum class OptKind {
  Int,      // a 32-bit integer (Winsock's BOOL or int)
  Linger,   // Winsock's {u_short, u_short} record
  DontLinger,
  Millis,   // a DWORD of milliseconds, the system's timeval
  Error,    // SO_ERROR, answered as a WSAE number
  InAddr,   // a 4-byte address
  Mreq,     // ip_mreq (the same layout on both systems)
};

struct OptionMap {
  int level;        // Winsock
  int name;         // Winsock
  int posixLevel;
  int posixName;
  OptKind kind;
  bool settable;
};

const OptionMap kOptions[] = {
    {SOL_SOCKET, SO_DEBUG, posixnet::kSolSocket, posixnet::kSoDebug, OptKind::Int, true},
    {SOL_SOCKET, SO_ACCEPTCONN, posixnet::kSolSocket, posixnet::kSoAcceptConn, OptKind::Int, false},
    {SOL_SOCKET, SO_REUSEADDR, posixnet::kSolSocket, posixnet::kSoReuseAddr, OptKind::Int, true},
    {SOL_SOCKET, SO_KEEPALIVE, posixnet::kSolSocket, posixnet::kSoKeepAlive, OptKind::Int, true},
    {SOL_SOCKET, SO_DONTROUTE, posixnet::kSolSocket, posixnet::kSoDontRoute, OptKind::Int, true},
    {SOL_SOCKET, SO_BROADCAST, posixnet::kSolSocket, posixnet::kSoBroadcast, OptKind::Int, true},
    {SOL_SOCKET, SO_LINGER, posixnet::kSolSocket, posixnet::kSoLinger, OptKind::Linger, true},
    {SOL_SOCKET, SO_DONTLINGER, posixnet::kSolSocket, posixnet::kSoLinger, OptKind::DontLinger, true},
    {SOL_SOCKET, SO_OOBINLINE, posixnet::kSolSocket, posixnet::kSoOobInline, OptKind::Int, true},
    {SOL_SOCKET, SO_SNDBUF, posixnet::kSolSocket, posixnet::kSoSndBuf, OptKind::Int, true},
    {SOL_SOCKET, SO_RCVBUF, posixnet::kSolSocket, posixnet::kSoRcvBuf, OptKind::Int, true},
    {SOL_SOCKET, SO_SNDLOWAT, posixnet::kSolSocket, posixnet::kSoSndLowat, OptKind::Int, true},
    {SOL_SOCKET, SO_RCVLOWAT, posixnet::kSolSocket, posixnet::kSoRcvLowat, OptKind::Int, true},
    {SOL_SOCKET, SO_SNDTIMEO, posixnet::kSolSocket, posixnet::kSoSndTimeo, OptKind::Millis, true},
    {SOL_SOCKET, SO_RCVTIMEO, posixnet::kSolSocket, posixnet::kSoRcvTimeo, OptKind::Millis, true},
    {SOL_SOCKET, SO_ERROR, posixnet::kSolSocket, posixnet::kSoError, OptKind::Error, false},
    {SOL_SOCKET, SO_TYPE, posixnet::kSolSocket, posixnet::kSoType, OptKind::Int, false},
    {IPPROTO_TCP, TCP_NODELAY, ::IPPROTO_TCP, posixnet::kTcpNoDelay, OptKind::Int, true},
    {IPPROTO_IP, IP_MULTICAST_IF, ::IPPROTO_IP, posixnet::kIpMulticastIf, OptKind::InAddr, true},
    {IPPROTO_IP, IP_MULTICAST_TTL, ::IPPROTO_IP, posixnet::kIpMulticastTtl, OptKind::Int, true},
    {IPPROTO_IP, IP_MULTICAST_LOOP, ::IPPROTO_IP, posixnet::kIpMulticastLoop, OptKind::Int, true},
    {IPPROTO_IP, IP_ADD_MEMBERSHIP, ::IPPROTO_IP, posixnet::kIpAddMembership, OptKind::Mreq, true},
    {IPPROTO_IP, IP_DROP_MEMBERSHIP, ::IPPROTO_IP, posixnet::kIpDropMembership, OptKind::Mreq, true},
    {IPPROTO_IP, IP_TTL, ::IPPROTO_IP, posixnet::kIpTtl, OptKind::Int, true},
    {IPPROTO_IP, IP_TOS, ::IPPROTO_IP, posixnet::kIpTos, OptKind::Int, true},
};

const OptionMap* FindOption(int level, int name) {
  for (const OptionMap& o : kOptions) {
    if (o.level == level && o.name == name) return &o;
  }
  return nullptr;
}

int32_t ReadInt32(const char* p) {
  int32_t v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

}  // namespace

int setsockopt(SOCKET s, int level, int optname, const char* optval, int optlen) {
  if (!detail::CheckStarted()) return SOCKET_ERROR;
  auto e = detail::Find(s);
  if (!e) return SOCKET_ERROR;
  const OptionMap* o = FindOption(level, optname);
  if (o == nullptr || !o->settable) return Fail(WSAENOPROTOOPT);
  if (optval == nullptr) return Fail(WSAEFAULT);
  int rc;
  switch (o->kind) {
    case OptKind::Int: {
      if (optlen < 1) return Fail(WSAEFAULT);
      // A shorter value (a char) is taken as it is.
      int v = optlen >= 4 ? ReadInt32(optval) : static_cast<unsigned char>(optval[0]);
      rc = ::setsockopt(e->fd, o->posixLevel, o->posixName, &v, sizeof v);
      break;
    }
    case OptKind::Linger: {
      if (optlen < static_cast<int>(sizeof(linger))) return Fail(WSAEFAULT);
      linger l;
      std::memcpy(&l, optval, sizeof l);
      ::linger pl{l.l_onoff != 0 ? 1 : 0, l.l_linger};
      rc = ::setsockopt(e->fd, o->posixLevel, o->posixName, &pl, sizeof pl);
      break;
    }
    case OptKind::DontLinger: {
      if (optlen < 4) return Fail(WSAEFAULT);
      ::linger pl{ReadInt32(optval) != 0 ? 0 : 1, 0};
      rc = ::setsockopt(e->fd, o->posixLevel, o->posixName, &pl, sizeof pl);
      break;
    }
    case OptKind::Millis: {
      if (optlen < 4) return Fail(WSAEFAULT);
      const uint32_t ms = static_cast<uint32_t>(ReadInt32(optval));
      ::timeval tv{static_cast<time_t>(ms / 1000), static_cast<suseconds_t>((ms % 1000) * 1000)};
      rc = ::setsockopt(e->fd, o->posixLevel, o->posixName, &tv, sizeof tv);
      break;
    }
    case OptKind::InAddr:
      if (optlen < 4) return Fail(WSAEFAULT);
      rc = ::setsockopt(e->fd, o->posixLevel, o->posixName, optval, 4);
      break;
    case OptKind::Mreq:
      if (optlen < static_cast<int>(sizeof(ip_mreq))) return Fail(WSAEFAULT);
      rc = ::setsockopt(e->fd, o->posixLevel, o->posixName, optval, sizeof(ip_mreq));
      break;
    case OptKind::Error:
    default:
      return Fail(WSAENOPROTOOPT);
  }
  return rc < 0 ? FailErrno() : 0;
}

int getsockopt(SOCKET s, int level, int optname, char* optval, int* optlen) {
  if (!detail::CheckStarted()) return SOCKET_ERROR;
  auto e = detail::Find(s);
  if (!e) return SOCKET_ERROR;
  const OptionMap* o = FindOption(level, optname);
  if (o == nullptr) return Fail(WSAENOPROTOOPT);
  if (optval == nullptr || optlen == nullptr) return Fail(WSAEFAULT);
  switch (o->kind) {
    case OptKind::Int:
    case OptKind::Error: {
      if (*optlen < 4) return Fail(WSAEFAULT);
      int v = 0;
      socklen_t len = sizeof v;
      if (::getsockopt(e->fd, o->posixLevel, o->posixName, &v, &len) < 0) return FailErrno();
      if (o->kind == OptKind::Error) v = WSAErrorFromErrno(v);
      const int32_t out = v;
      std::memcpy(optval, &out, 4);
      *optlen = 4;
      return 0;
    }
    case OptKind::Linger:
    case OptKind::DontLinger: {
      ::linger pl{};
      socklen_t len = sizeof pl;
      if (::getsockopt(e->fd, o->posixLevel, o->posixName, &pl, &len) < 0) return FailErrno();
      if (o->kind == OptKind::DontLinger) {
        if (*optlen < 4) return Fail(WSAEFAULT);
        const int32_t out = pl.l_onoff == 0 ? 1 : 0;
        std::memcpy(optval, &out, 4);
        *optlen = 4;
        return 0;
      }
      if (*optlen < static_cast<int>(sizeof(linger))) return Fail(WSAEFAULT);
      const linger out{static_cast<u_short>(pl.l_onoff != 0 ? 1 : 0),
                       static_cast<u_short>(pl.l_linger)};
      std::memcpy(optval, &out, sizeof out);
      *optlen = sizeof out;
      return 0;
    }
    case OptKind::Millis: {
      if (*optlen < 4) return Fail(WSAEFAULT);
      ::timeval tv{};
      socklen_t len = sizeof tv;
      if (::getsockopt(e->fd, o->posixLevel, o->posixName, &tv, &len) < 0) return FailErrno();
      const uint32_t ms = static_cast<uint32_t>(tv.tv_sec * 1000 + tv.tv_usec / 1000);
      std::memcpy(optval, &ms, 4);
      *optlen = 4;
      return 0;
    }
    case OptKind::InAddr:
    case OptKind::Mreq: {
      if (*optlen < 4) return Fail(WSAEFAULT);
      ::in_addr a{};
      socklen_t len = sizeof a;
      if (::getsockopt(e->fd, o->posixLevel, o->posixName, &a, &len) < 0) return FailErrno();
      std::memcpy(optval, &a, 4);
      *optlen = 4;
      return 0;
    }
  }
  return Fail(WSAENOPROTOOPT);
}

int ioctlsocket(SOCKET s, int32_t cmd, u_long* argp) {
  if (!detail::CheckStarted()) return SOCKET_ERROR;
  auto e = detail::Find(s);
  if (!e) return SOCKET_ERROR;
  if (argp == nullptr) return Fail(WSAEFAULT);
  if (cmd == FIONBIO) {
    std::lock_guard<std::mutex> lock(detail::SocketsMutex());
    // Winsock keeps a socket with a WSAAsyncSelect request non-blocking.
    if (*argp == 0 && e->mask != 0) return Fail(WSAEINVAL);
    const int flags = ::fcntl(e->fd, F_GETFL);
    if (flags < 0) return FailErrno();
    const int wanted = *argp != 0 ? (flags | O_NONBLOCK) : (flags & ~O_NONBLOCK);
    if (::fcntl(e->fd, F_SETFL, wanted) < 0) return FailErrno();
    e->nonBlocking = *argp != 0;
    return 0;
  }
  if (cmd == FIONREAD) {
    int avail = 0;
    if (e->state != detail::SocketState::Listening &&
        ::ioctl(e->fd, posixnet::kFionRead, &avail) < 0) {
      return FailErrno();
    }
    *argp = static_cast<u_long>(avail < 0 ? 0 : avail);
    return 0;
  }
  return Fail(WSAEINVAL);
}

int WSAIoctl(SOCKET s, DWORD ioControlCode, void* /*inBuffer*/, DWORD /*inSize*/,
             void* /*outBuffer*/, DWORD /*outSize*/, DWORD* bytesReturned,
             WSAOVERLAPPED* /*overlapped*/, LPWSAOVERLAPPED_COMPLETION_ROUTINE /*completion*/) {
  if (!detail::CheckStarted()) return SOCKET_ERROR;
  if (!detail::Find(s)) return SOCKET_ERROR;
  if (bytesReturned != nullptr) *bytesReturned = 0;
  // Capturing every packet of an interface (SIO_RCVALL) is not offered.
  if (ioControlCode == SIO_RCVALL) return Fail(WSAEOPNOTSUPP);
  return Fail(WSAEINVAL);
}

}  // namespace winsock
