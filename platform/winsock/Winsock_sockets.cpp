// The socket table and the socket calls: making, binding, connecting, accepting,
// sending, receiving, shutting down and closing.
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <unordered_map>

#include "platform/rtl/Descriptors.h"
#include "platform/rtl/SimHooks.h"
#include "platform/winsock/SimHooks.h"
#include "platform/win/MessageQueue.h"
#include "platform/winsock/WinsockInternal.h"

namespace winsock {

namespace detail {

namespace {

struct SocketTable {
  std::mutex mutex;
  std::unordered_map<SOCKET, std::shared_ptr<SocketEntry>> entries;
  // Our handles are not file descriptors: they start well above the usual fd
  // numbers, so a mix-up shows, and they are never given out twice.
  SOCKET next = 1000;
};

SocketTable& Table() {
  static larkwin::NoDestroy<SocketTable> table;
  return table.Get();
}

}  // namespace

std::mutex& SocketsMutex() { return Table().mutex; }

std::shared_ptr<SocketEntry> FindLocked(SOCKET s) {
  auto& entries = Table().entries;
  auto it = entries.find(s);
  return it == entries.end() ? nullptr : it->second;
}

std::shared_ptr<SocketEntry> Find(SOCKET s) {
  std::shared_ptr<SocketEntry> e;
  {
    std::lock_guard<std::mutex> lock(SocketsMutex());
    e = FindLocked(s);
  }
  if (!e) Fail(WSAENOTSOCK);
  return e;
}

namespace {

SOCKET AddLocked(std::shared_ptr<SocketEntry> e) {
  SocketTable& t = Table();
  e->handle = t.next++;
  const SOCKET h = e->handle;
  t.entries.emplace(h, std::move(e));
  return h;
}

// Takes the entry out of the table; the caller closes its fd.
std::shared_ptr<SocketEntry> RemoveLocked(SOCKET s) {
  auto& entries = Table().entries;
  auto it = entries.find(s);
  if (it == entries.end()) return nullptr;
  std::shared_ptr<SocketEntry> e = std::move(it->second);
  entries.erase(it);
  StopSelectLocked(*e);
  PurgeNotificationsLocked(*e);
  return e;
}

bool ReadSockaddr(const sockaddr* name, int namelen, ::sockaddr_in* out) {
  if (name == nullptr || namelen < static_cast<int>(sizeof(sockaddr_in))) {
    Fail(WSAEFAULT);
    return false;
  }
  sockaddr_in in;
  std::memcpy(&in, name, sizeof in);
  if (in.sin_family != AF_INET) {
    Fail(WSAEAFNOSUPPORT);
    return false;
  }
  *out = ::sockaddr_in{};
  out->sin_family = posixnet::kAfInet;
  out->sin_port = in.sin_port;
  out->sin_addr.s_addr = in.sin_addr.S_un.S_addr;
  return true;
}

// Writes a system address as Winsock's sockaddr_in; false (WSAEFAULT) when the
// caller's room is too small.
bool WriteSockaddr(const ::sockaddr_in& from, sockaddr* name, int* namelen) {
  if (name == nullptr || namelen == nullptr || *namelen < static_cast<int>(sizeof(sockaddr_in))) {
    Fail(WSAEFAULT);
    return false;
  }
  sockaddr_in out{};
  out.sin_family = AF_INET;
  out.sin_port = from.sin_port;
  out.sin_addr.S_un.S_addr = from.sin_addr.s_addr;
  std::memcpy(name, &out, sizeof out);
  *namelen = sizeof out;
  return true;
}

// A send or receive length: negative lengths and null buffers are refused.
bool CheckBuffer(const void* buf, int len) {
  if (len < 0 || (len > 0 && buf == nullptr)) {
    Fail(WSAEFAULT);
    return false;
  }
  return true;
}

// The outcome of a connect that ended at once, as a non-blocking Winsock socket
// reports it later (FD_CONNECT) rather than from connect itself.
bool IsConnectOutcome(int err) {
  return err == ECONNREFUSED || err == ENETUNREACH || err == EHOSTUNREACH || err == ETIMEDOUT;
}

int PosixSendFlags(int flags) {
  int out = MSG_NOSIGNAL;
  if (flags & MSG_OOB) out |= ::MSG_OOB;
  if (flags & MSG_DONTROUTE) out |= ::MSG_DONTROUTE;
  return out;
}

int PosixRecvFlags(int flags) {
  int out = 0;
  if (flags & MSG_OOB) out |= ::MSG_OOB;
  if (flags & MSG_PEEK) out |= ::MSG_PEEK;
  return out;
}

// A non-blocking connect may have ended since anyone looked: true when the socket
// is connected now.
bool CompleteConnect(SocketEntry& e) {
  std::lock_guard<std::mutex> lock(SocketsMutex());
  if (e.state == SocketState::Connecting) EvaluateLocked(e);
  return e.state == SocketState::Connected;
}

// After a receive: FD_READ (FD_OOB for urgent data) may be posted again. A stream
// receive that got less than it asked for has emptied the socket: there is nothing
// to announce now, and whatever arrives later wakes the watcher, which posts FD_READ
// then. Only a close held back behind unread data needs looking at.
void AfterReceive(SocketEntry& e, int flags, bool drained) {
  std::lock_guard<std::mutex> lock(SocketsMutex());
  if (flags & MSG_OOB) {
    e.oobArmed = true;
  } else {
    e.readArmed = true;
  }
  if (drained && !e.closeWithheld && e.pendingError == 0) return;
  EvaluateLocked(e);
}

// After a send refused for lack of room: FD_WRITE follows when room returns.
void AfterWouldBlock(SocketEntry& e) {
  std::lock_guard<std::mutex> lock(SocketsMutex());
  e.writeArmed = true;
  EvaluateLocked(e);
}

// A receive that found the end of the stream answers the error the watcher took
// from the socket (a reset), if any.
int EndOfStream(SocketEntry& e) {
  std::lock_guard<std::mutex> lock(SocketsMutex());
  if (e.pendingError == 0) return 0;
  const int err = e.pendingError;
  if (e.type != SOCK_STREAM) e.pendingError = 0;
  return Fail(err);
}

// A receive that the simulated world fails: the connection was reset.
int ResetOnCue(SocketEntry& e, int flags) {
  if (!(flags & MSG_PEEK)) AfterReceive(e, flags, false);
  return Fail(WSAECONNRESET);
}

int Receive(SOCKET s, char* buf, int len, int flags, sockaddr* from, int* fromlen) {
  if (!CheckStarted()) return SOCKET_ERROR;
  auto e = Find(s);
  if (!e) return SOCKET_ERROR;
  if (!CheckBuffer(buf, len)) return SOCKET_ERROR;
  if (from != nullptr && (fromlen == nullptr || *fromlen < static_cast<int>(sizeof(sockaddr_in)))) {
    return Fail(WSAEFAULT);
  }
  if (e->type == SOCK_STREAM && e->state != SocketState::Connected && !CompleteConnect(*e)) {
    return Fail(WSAENOTCONN);
  }
  if (len > 0 && sim::ShouldFail(sim::Fault::SocketRecv)) return ResetOnCue(*e, flags);
  ::sockaddr_in peer{};
  socklen_t peerLen = sizeof peer;
  ssize_t n;
  if (len == 0) {
    // A zero-length receive probes the connection: 0 while it is open with data
    // waiting or at its end, WSAEWOULDBLOCK while it is open and empty.
    char probe;
    n = ::recv(e->fd, &probe, 1, ::MSG_PEEK | (e->nonBlocking ? ::MSG_DONTWAIT : 0));
    if (n > 0) n = 0;
  } else {
    // A blocking socket goes on through a signal; a non-blocking one reports it.
    auto receive = [&] {
      return ::recvfrom(e->fd, buf, static_cast<size_t>(len), PosixRecvFlags(flags),
                        reinterpret_cast<::sockaddr*>(&peer), &peerLen);
    };
    n = e->nonBlocking ? receive() : RetryOnEintr(receive);
  }
  const int err = errno;
  const bool drained = e->type == SOCK_STREAM && flags == 0 && n > 0 && n < len;
  if (!(flags & MSG_PEEK)) AfterReceive(*e, flags, drained);
  if (n < 0) {
    errno = err;
    if (err == ENOTCONN || err == EPIPE) {
      const int pending = EndOfStream(*e);
      if (pending != 0) return pending;
    }
    return FailErrno();
  }
  if (n == 0 && len > 0) {
    const int pending = EndOfStream(*e);
    if (pending != 0) return pending;
  }
  if (from != nullptr && e->type != SOCK_STREAM && !WriteSockaddr(peer, from, fromlen)) {
    return SOCKET_ERROR;
  }
  return static_cast<int>(n);
}

int Send(SOCKET s, const char* buf, int len, int flags, const sockaddr* to, int tolen) {
  if (!CheckStarted()) return SOCKET_ERROR;
  auto e = Find(s);
  if (!e) return SOCKET_ERROR;
  if (!CheckBuffer(buf, len)) return SOCKET_ERROR;
  if (e->sendShutdown) return Fail(WSAESHUTDOWN);
  ::sockaddr_in addr{};
  const bool withAddress = to != nullptr && e->type != SOCK_STREAM;
  if (withAddress && !ReadSockaddr(to, tolen, &addr)) return SOCKET_ERROR;
  if (!withAddress && e->type == SOCK_STREAM && e->state != SocketState::Connected &&
      !CompleteConnect(*e)) {
    return Fail(WSAENOTCONN);
  }
  if (sim::ShouldFail(sim::Fault::SocketSend)) return Fail(WSAECONNRESET);  // a reset on cue
  auto send = [&] {
    return ::sendto(e->fd, buf, static_cast<size_t>(len), PosixSendFlags(flags),
                    withAddress ? reinterpret_cast<const ::sockaddr*>(&addr) : nullptr,
                    withAddress ? sizeof addr : 0);
  };
  const ssize_t n = e->nonBlocking ? send() : RetryOnEintr(send);
  if (n >= 0) return static_cast<int>(n);
  const int err = errno;
  if (err == EAGAIN || err == EWOULDBLOCK) {
    AfterWouldBlock(*e);
    return Fail(WSAEWOULDBLOCK);
  }
  if (err == EPIPE || err == ECONNRESET) {
    std::lock_guard<std::mutex> lock(SocketsMutex());
    if (e->pendingError != 0) return Fail(e->pendingError);
    return Fail(WSAECONNRESET);
  }
  errno = err;
  return FailErrno();
}

}  // namespace

void CloseAllSockets() {
  std::vector<std::shared_ptr<SocketEntry>> closing;
  {
    std::lock_guard<std::mutex> lock(SocketsMutex());
    std::vector<SOCKET> handles;
    for (auto& [h, e] : Table().entries) handles.push_back(h);
    for (SOCKET h : handles) closing.push_back(RemoveLocked(h));
  }
  for (auto& e : closing) ::close(e->fd);
}

}  // namespace detail

using detail::Fail;
using detail::FailErrno;
using detail::SocketEntry;
using detail::SocketState;
using detail::SocketsMutex;

SOCKET socket(int af, int type, int protocol) {
  if (!detail::CheckStarted()) return INVALID_SOCKET;
  if (af != AF_INET) {
    Fail(WSAEAFNOSUPPORT);
    return INVALID_SOCKET;
  }
  if (type != SOCK_STREAM && type != SOCK_DGRAM && type != SOCK_RAW) {
    Fail(WSAESOCKTNOSUPPORT);
    return INVALID_SOCKET;
  }
  const int fd = ::socket(posixnet::kAfInet, type | SOCK_CLOEXEC, protocol);
  if (fd < 0) {
    FailErrno();
    return INVALID_SOCKET;
  }
  auto e = std::make_shared<SocketEntry>();
  e->fd = fd;
  e->type = type;
  e->state = type == SOCK_STREAM ? SocketState::Fresh : SocketState::Connected;
  std::lock_guard<std::mutex> lock(SocketsMutex());
  return detail::AddLocked(std::move(e));
}

int closesocket(SOCKET s) {
  if (!detail::CheckStarted()) return SOCKET_ERROR;
  std::shared_ptr<SocketEntry> e;
  {
    std::lock_guard<std::mutex> lock(SocketsMutex());
    e = detail::RemoveLocked(s);
  }
  if (!e) return Fail(WSAENOTSOCK);
  // With SO_LINGER on and a time of 0 this resets the connection, as on Winsock.
  ::close(e->fd);
  return 0;
}

int bind(SOCKET s, const sockaddr* name, int namelen) {
  if (!detail::CheckStarted()) return SOCKET_ERROR;
  auto e = detail::Find(s);
  if (!e) return SOCKET_ERROR;
  ::sockaddr_in addr;
  if (!detail::ReadSockaddr(name, namelen, &addr)) return SOCKET_ERROR;
  if (::bind(e->fd, reinterpret_cast<const ::sockaddr*>(&addr), sizeof addr) < 0) {
    return FailErrno();
  }
  return 0;
}

int listen(SOCKET s, int backlog) {
  if (!detail::CheckStarted()) return SOCKET_ERROR;
  auto e = detail::Find(s);
  if (!e) return SOCKET_ERROR;
  if (e->type != SOCK_STREAM) return Fail(WSAEOPNOTSUPP);
  if (e->state == SocketState::Connected || e->state == SocketState::Connecting) {
    return Fail(WSAEISCONN);
  }
  if (::listen(e->fd, backlog < 1 ? 1 : backlog) < 0) return FailErrno();
  std::lock_guard<std::mutex> lock(SocketsMutex());
  e->state = SocketState::Listening;
  e->acceptArmed = true;
  detail::EvaluateLocked(*e);
  return 0;
}

SOCKET accept(SOCKET s, sockaddr* addr, int* addrlen) {
  if (!detail::CheckStarted()) return INVALID_SOCKET;
  auto listener = detail::Find(s);
  if (!listener) return INVALID_SOCKET;
  if (listener->state != SocketState::Listening) {
    Fail(WSAEINVAL);
    return INVALID_SOCKET;
  }
  if (addr != nullptr && (addrlen == nullptr || *addrlen < static_cast<int>(sizeof(sockaddr_in)))) {
    Fail(WSAEFAULT);
    return INVALID_SOCKET;
  }
  ::sockaddr_in peer{};
  socklen_t peerLen = sizeof peer;
  auto take = [&] {
    // A connection taken from a non-blocking listener is non-blocking too.
    return ::accept4(listener->fd, reinterpret_cast<::sockaddr*>(&peer), &peerLen,
                     SOCK_CLOEXEC | (listener->nonBlocking ? SOCK_NONBLOCK : 0));
  };
  const int fd = listener->nonBlocking ? take() : RetryOnEintr(take);
  const int err = errno;
  {
    std::lock_guard<std::mutex> lock(SocketsMutex());
    listener->acceptArmed = true;
    detail::EvaluateLocked(*listener);
  }
  if (fd < 0) {
    errno = err;
    FailErrno();
    return INVALID_SOCKET;
  }
  if (addr != nullptr) detail::WriteSockaddr(peer, addr, addrlen);
  auto e = std::make_shared<SocketEntry>();
  e->fd = fd;
  e->type = SOCK_STREAM;
  e->state = SocketState::Connected;
  e->nonBlocking = listener->nonBlocking;
  std::lock_guard<std::mutex> lock(SocketsMutex());
  const SOCKET h = detail::AddLocked(e);
  // The new socket takes over the listener's WSAAsyncSelect request.
  detail::InheritSelectLocked(*e, *listener);
  return h;
}

namespace {

// A connection that the simulated world refuses, reported the way a refusal is.
int RefuseOnCue(detail::SocketEntry& e) {
  if (!e.nonBlocking) return Fail(WSAECONNREFUSED);
  std::lock_guard<std::mutex> lock(detail::SocketsMutex());
  e.state = SocketState::ConnectFailed;
  detail::PostEventLocked(e, FD_CONNECT, WSAECONNREFUSED);
  return Fail(WSAEWOULDBLOCK);
}

}  // namespace

int connect(SOCKET s, const sockaddr* name, int namelen) {
  if (!detail::CheckStarted()) return SOCKET_ERROR;
  auto e = detail::Find(s);
  if (!e) return SOCKET_ERROR;
  ::sockaddr_in addr;
  if (!detail::ReadSockaddr(name, namelen, &addr)) return SOCKET_ERROR;
  if (e->type == SOCK_STREAM) {
    if (e->state == SocketState::Connecting) return Fail(WSAEALREADY);
    if (e->state == SocketState::Connected) return Fail(WSAEISCONN);
    if (e->state == SocketState::Listening) return Fail(WSAEINVAL);
    // Winsock refuses the "any" address as a destination.
    if (addr.sin_addr.s_addr == 0) return Fail(WSAEADDRNOTAVAIL);
  }
  if (e->type == SOCK_STREAM && sim::ShouldFail(sim::Fault::SocketConnect)) return RefuseOnCue(*e);
  const int rc = ::connect(e->fd, reinterpret_cast<const ::sockaddr*>(&addr), sizeof addr);
  const int err = rc < 0 ? errno : 0;
  if (e->type != SOCK_STREAM) {
    if (rc < 0) return FailErrno();
    return 0;
  }
  std::lock_guard<std::mutex> lock(SocketsMutex());
  if (!e->nonBlocking) {
    if (rc < 0) {
      errno = err;
      return FailErrno();
    }
    e->state = SocketState::Connected;
    return 0;
  }
  // Non-blocking: the outcome always comes later, as FD_CONNECT.
  if (rc == 0 || err == EINPROGRESS || err == EAGAIN) {
    e->state = SocketState::Connecting;
    detail::EvaluateLocked(*e);
    return Fail(WSAEWOULDBLOCK);
  }
  if (detail::IsConnectOutcome(err)) {
    e->state = SocketState::ConnectFailed;
    detail::PostEventLocked(*e, FD_CONNECT, WSAErrorFromErrno(err));
    return Fail(WSAEWOULDBLOCK);
  }
  errno = err;
  return FailErrno();
}

int shutdown(SOCKET s, int how) {
  if (!detail::CheckStarted()) return SOCKET_ERROR;
  auto e = detail::Find(s);
  if (!e) return SOCKET_ERROR;
  int posixHow;
  switch (how) {
    case SD_RECEIVE: posixHow = SHUT_RD; break;
    case SD_SEND: posixHow = SHUT_WR; break;
    case SD_BOTH: posixHow = SHUT_RDWR; break;
    default: return Fail(WSAEINVAL);
  }
  if (::shutdown(e->fd, posixHow) < 0) return FailErrno();
  if (how != SD_RECEIVE) {
    std::lock_guard<std::mutex> lock(SocketsMutex());
    e->sendShutdown = true;
  }
  return 0;
}

int send(SOCKET s, const char* buf, int len, int flags) {
  return detail::Send(s, buf, len, flags, nullptr, 0);
}

int sendto(SOCKET s, const char* buf, int len, int flags, const sockaddr* to, int tolen) {
  return detail::Send(s, buf, len, flags, to, tolen);
}

int recv(SOCKET s, char* buf, int len, int flags) {
  return detail::Receive(s, buf, len, flags, nullptr, nullptr);
}

int recvfrom(SOCKET s, char* buf, int len, int flags, sockaddr* from, int* fromlen) {
  return detail::Receive(s, buf, len, flags, from, fromlen);
}

int getsockname(SOCKET s, sockaddr* name, int* namelen) {
  if (!detail::CheckStarted()) return SOCKET_ERROR;
  auto e = detail::Find(s);
  if (!e) return SOCKET_ERROR;
  ::sockaddr_in addr{};
  socklen_t len = sizeof addr;
  if (::getsockname(e->fd, reinterpret_cast<::sockaddr*>(&addr), &len) < 0) return FailErrno();
  return detail::WriteSockaddr(addr, name, namelen) ? 0 : SOCKET_ERROR;
}

int getpeername(SOCKET s, sockaddr* name, int* namelen) {
  if (!detail::CheckStarted()) return SOCKET_ERROR;
  auto e = detail::Find(s);
  if (!e) return SOCKET_ERROR;
  ::sockaddr_in addr{};
  socklen_t len = sizeof addr;
  if (::getpeername(e->fd, reinterpret_cast<::sockaddr*>(&addr), &len) < 0) return FailErrno();
  return detail::WriteSockaddr(addr, name, namelen) ? 0 : SOCKET_ERROR;
}

}  // namespace winsock

namespace sim {

int WinsockOpenSockets() {
  std::lock_guard<std::mutex> lock(winsock::detail::SocketsMutex());
  return static_cast<int>(winsock::detail::Table().entries.size());
}

}  // namespace sim
