// WSAAsyncSelect: readiness from the message loop's epoll, turned into the window
// messages Winsock posts, with its one-shot and re-enabling rules.
//
// The fd is watched edge-triggered, so the loop wakes only when something changes;
// each wake-up, and each call that re-enables an event (recv, send, accept), looks
// at the socket's real state and posts the events that are armed and hold. An event
// is disarmed when posted and armed again only by the call Winsock names for it.
#include <fcntl.h>
#include <poll.h>
#include <sys/epoll.h>

#include <algorithm>
#include <cerrno>

#include "platform/win/MessageQueue.h"
#include "platform/win/Window.h"
#include "platform/winsock/WinsockInternal.h"

namespace winsock {

namespace detail {

namespace {

constexpr uint32_t kWatchEvents = EPOLLIN | EPOLLOUT | EPOLLPRI | EPOLLRDHUP | EPOLLET;
constexpr int32_t kAllEvents = FD_READ | FD_WRITE | FD_OOB | FD_ACCEPT | FD_CONNECT | FD_CLOSE;

// The socket's pending error (SO_ERROR, which reading clears), as a WSAE number.
int TakeSocketError(int fd) {
  int err = 0;
  socklen_t len = sizeof err;
  if (::getsockopt(fd, posixnet::kSolSocket, posixnet::kSoError, &err, &len) < 0) err = errno;
  return WSAErrorFromErrno(err);
}

void StartSelectLocked(SocketEntry& e, HWND hWnd, UINT wMsg, int32_t mask) {
  e.hwnd = hWnd;
  e.msg = wMsg;
  e.mask = mask;
  e.readArmed = e.writeArmed = e.oobArmed = e.acceptArmed = true;
  const uint64_t generation = ++e.selectGeneration;
  e.watchThread = GetCurrentThreadId();
  const SOCKET handle = e.handle;
  const int fd = e.fd;
  LoopWatchFd(fd, kWatchEvents, [handle, generation, fd](uint32_t) {
    std::lock_guard<std::mutex> lock(SocketsMutex());
    std::shared_ptr<SocketEntry> entry = FindLocked(handle);
    if (!entry || entry->selectGeneration != generation) {
      // A request that was replaced or a socket that was closed elsewhere.
      LoopUnwatchFd(fd);
      return;
    }
    EvaluateLocked(*entry);
  });
  EvaluateLocked(e);
}

}  // namespace

void PostEventLocked(SocketEntry& e, int32_t event, int error) {
  if ((e.mask & event) == 0 || e.hwnd == 0) return;
  const bool known = std::any_of(e.targets.begin(), e.targets.end(), [&](const auto& t) {
    return t.first == e.hwnd && t.second == e.msg;
  });
  if (!known) e.targets.emplace_back(e.hwnd, e.msg);
  PostMessage(e.hwnd, e.msg, e.handle,
              WSAMAKESELECTREPLY(static_cast<Word>(event), static_cast<Word>(error)));
}

namespace {

// True while an FD_READ for this socket still waits in its window's queue. A receive
// loop that reads several times per notification would otherwise queue one message
// per read while data keep arriving, faster than they are handled, until the queue
// is full and later posts (of every kind) are lost. The waiting message stands for
// the new one: its handler's receive arms the next.
bool ReadNoticeWaitingLocked(const SocketEntry& e) {
  larkwin::WindowOwner owner;
  if (!larkwin::GetWindowOwner(e.hwnd, &owner)) return false;
  std::lock_guard<std::mutex> lock(owner.queue->mutex);
  for (const MSG& m : owner.queue->posted) {
    if (m.hwnd == e.hwnd && m.message == e.msg && m.wParam == e.handle &&
        WSAGETSELECTEVENT(m.lParam) == FD_READ)
      return true;
  }
  return false;
}

}  // namespace

void EvaluateLocked(SocketEntry& e) {
  if (e.state == SocketState::Fresh || e.state == SocketState::ConnectFailed) return;
  pollfd p{e.fd, POLLIN | POLLOUT | POLLPRI | POLLRDHUP, 0};
  if (::poll(&p, 1, 0) < 0) return;
  const short rev = p.revents;

  if (e.state == SocketState::Connecting) {
    if ((rev & (POLLOUT | POLLERR | POLLHUP)) == 0) return;  // still under way
    int err = TakeSocketError(e.fd);
    if (err == 0 && (rev & POLLHUP)) err = WSAECONNREFUSED;
    if (err != 0) {
      e.state = SocketState::ConnectFailed;
      PostEventLocked(e, FD_CONNECT, err);
      return;
    }
    e.state = SocketState::Connected;
    PostEventLocked(e, FD_CONNECT, 0);
  }

  if (e.state == SocketState::Listening) {
    if ((rev & POLLIN) && e.acceptArmed && (e.mask & FD_ACCEPT)) {
      e.acceptArmed = false;
      PostEventLocked(e, FD_ACCEPT, 0);
    }
    return;
  }

  const bool stream = e.type == SOCK_STREAM;
  if ((rev & POLLERR) && e.pendingError == 0) e.pendingError = TakeSocketError(e.fd);
  bool dataWaiting;
  if (stream) {
    int avail = 0;
    if (::ioctl(e.fd, posixnet::kFionRead, &avail) < 0) avail = 0;
    dataWaiting = avail > 0;
  } else {
    dataWaiting = (rev & POLLIN) != 0;
  }
  // The peer closed (FIN) or reset the connection.
  const bool ended = stream && ((rev & (POLLRDHUP | POLLHUP)) != 0 || e.pendingError != 0);

  if (dataWaiting && e.readArmed && (e.mask & FD_READ)) {
    e.readArmed = false;
    if (!ReadNoticeWaitingLocked(e)) PostEventLocked(e, FD_READ, 0);
  }
  if ((rev & POLLPRI) && e.oobArmed && (e.mask & FD_OOB)) {
    e.oobArmed = false;
    PostEventLocked(e, FD_OOB, 0);
  }
  if (!ended && !e.sendShutdown && (rev & POLLOUT) && e.writeArmed && (e.mask & FD_WRITE)) {
    e.writeArmed = false;
    PostEventLocked(e, FD_WRITE, 0);
  }
  // FD_CLOSE only once everything before the close has been read.
  e.closeWithheld = ended && dataWaiting;
  if (ended && !dataWaiting && !e.closeReported && (e.mask & FD_CLOSE)) {
    e.closeReported = true;
    PostEventLocked(e, FD_CLOSE, e.pendingError);
  }
}

void StopSelectLocked(SocketEntry& e) {
  // Another thread's watch cannot be removed from here; the new generation makes
  // its callback remove itself at its next wake-up.
  if (e.watchThread != 0 && e.watchThread == GetCurrentThreadId()) LoopUnwatchFd(e.fd);
  ++e.selectGeneration;
  e.watchThread = 0;
  e.hwnd = 0;
  e.msg = 0;
  e.mask = 0;
}

void InheritSelectLocked(SocketEntry& e, const SocketEntry& listener) {
  if (listener.mask == 0) return;
  StartSelectLocked(e, listener.hwnd, listener.msg, listener.mask);
}

void PurgeNotificationsLocked(const SocketEntry& e) {
  for (const auto& target : e.targets) {
    const HWND hwnd = target.first;
    const UINT msg = target.second;
    larkwin::WindowOwner owner;
    if (!larkwin::GetWindowOwner(hwnd, &owner)) continue;
    std::lock_guard<std::mutex> lock(owner.queue->mutex);
    const SOCKET handle = e.handle;
    std::erase_if(owner.queue->posted, [&](const MSG& m) {
      return m.hwnd == hwnd && m.message == msg && m.wParam == handle;
    });
  }
}

}  // namespace detail

int WSAAsyncSelect(SOCKET s, HWND hWnd, u_int wMsg, int32_t lEvent) {
  using namespace detail;
  if (!CheckStarted()) return SOCKET_ERROR;
  std::shared_ptr<SocketEntry> e = Find(s);
  if (!e) return SOCKET_ERROR;
  if ((lEvent & ~kAllEvents) != 0) return Fail(WSAEINVAL);
  if (lEvent != 0 && !IsWindow(hWnd)) return Fail(WSAEINVAL);
  std::lock_guard<std::mutex> lock(SocketsMutex());
  StopSelectLocked(*e);
  // The socket stays non-blocking from now on, whatever the mask.
  const int flags = ::fcntl(e->fd, F_GETFL);
  if (flags < 0 || ::fcntl(e->fd, F_SETFL, flags | O_NONBLOCK) < 0) return FailErrno();
  e->nonBlocking = true;
  if (lEvent == 0) return 0;
  StartSelectLocked(*e, hWnd, wMsg, lEvent);
  return 0;
}

}  // namespace winsock
