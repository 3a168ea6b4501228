#include "platform/rtl/Descriptors.h"

#include <unistd.h>

void ScopedFd::Reset(int fd) noexcept {
  // close is not retried on EINTR: Linux releases the descriptor whatever it answers,
  // and a second close could hit a descriptor another thread has just been given.
  if (fd_ >= 0) ::close(fd_);
  fd_ = fd;
}

int ScopedFd::Close() noexcept {
  const int fd = Release();
  return fd >= 0 ? ::close(fd) : 0;
}
