// Watched file descriptors: the registrations in a thread's epoll set.
#include <sys/epoll.h>

#include <cerrno>

#include "platform/win/MessageQueue.h"

namespace larkwin {

void MessageQueue::Watch(int fd, uint32_t events, LoopFdCallback callback) {
  if (fd < 0) {
    SetLastError(ERROR_INVALID_HANDLE);
    return;
  }
  auto watch = std::make_shared<FdWatch>();
  watch->fd = fd;
  watch->events = events;
  watch->generation = nextGeneration_++;
  if (nextGeneration_ == 0) nextGeneration_ = 1;
  watch->callback = std::move(callback);
  epoll_event ev{};
  ev.events = events;
  ev.data.u64 = (static_cast<uint64_t>(watch->generation) << 32) | static_cast<uint32_t>(fd);
  const bool known = watches_.count(fd) != 0;
  int rc = epoll_ctl(epollFd_.Get(), known ? EPOLL_CTL_MOD : EPOLL_CTL_ADD, fd, &ev);
  // A watched fd that was closed without unwatching left the set by itself; its
  // number may be back, now for another file.
  if (rc < 0 && errno == ENOENT) rc = epoll_ctl(epollFd_.Get(), EPOLL_CTL_ADD, fd, &ev);
  if (rc < 0 && errno == EEXIST) rc = epoll_ctl(epollFd_.Get(), EPOLL_CTL_MOD, fd, &ev);
  if (rc < 0) {
    watches_.erase(fd);
    SetLastError(ERROR_INVALID_HANDLE);
    return;
  }
  watches_[fd] = std::move(watch);
}

void MessageQueue::ChangeWatch(int fd, uint32_t events) {
  auto it = watches_.find(fd);
  if (it == watches_.end()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return;
  }
  epoll_event ev{};
  ev.events = events;
  ev.data.u64 = (static_cast<uint64_t>(it->second->generation) << 32) | static_cast<uint32_t>(fd);
  if (epoll_ctl(epollFd_.Get(), EPOLL_CTL_MOD, fd, &ev) < 0) {
    SetLastError(ERROR_INVALID_HANDLE);
    return;
  }
  it->second->events = events;
}

void MessageQueue::Unwatch(int fd) {
  auto it = watches_.find(fd);
  if (it == watches_.end()) return;
  watches_.erase(it);
  epoll_ctl(epollFd_.Get(), EPOLL_CTL_DEL, fd, nullptr);  // fails harmlessly for a closed fd
}

}  // namespace larkwin

void LoopWatchFd(int fd, uint32_t epollEvents, LoopFdCallback callback) {
  larkwin::CurrentQueue()->Watch(fd, epollEvents, std::move(callback));
}

void LoopChangeFd(int fd, uint32_t epollEvents) {
  larkwin::CurrentQueue()->ChangeWatch(fd, epollEvents);
}

void LoopUnwatchFd(int fd) { larkwin::CurrentQueue()->Unwatch(fd); }
