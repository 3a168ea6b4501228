// Owning a file descriptor, and calling the system through signal interruptions.
#pragma once

#include <cerrno>
#include <utility>

// Owns one file descriptor and closes it once: when destroyed, reset or closed.
// Move-only; a moved-from owner holds nothing (-1).
class ScopedFd {
 public:
  ScopedFd() noexcept = default;
  explicit ScopedFd(int fd) noexcept : fd_(fd) {}
  ScopedFd(ScopedFd&& other) noexcept : fd_(other.Release()) {}
  ScopedFd& operator=(ScopedFd&& other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
  }
  ScopedFd(const ScopedFd&) = delete;
  ScopedFd& operator=(const ScopedFd&) = delete;
  ~ScopedFd() { Reset(); }

  int Get() const noexcept { return fd_; }
  bool Valid() const noexcept { return fd_ >= 0; }
  explicit operator bool() const noexcept { return Valid(); }

  // Gives the descriptor up without closing it.
  int Release() noexcept { return std::exchange(fd_, -1); }
  // Closes the descriptor held (if any) and takes fd.
  void Reset(int fd = -1) noexcept;
  // Closes now and answers close's result (0, or -1 with errno set), for callers
  // that must know whether the data written through the descriptor reached the file.
  // Holding nothing answers 0.
  int Close() noexcept;

 private:
  int fd_ = -1;
};

// Calls call() again while it fails with -1 and errno EINTR (a signal arrived before
// the call did anything), and answers its last result, errno as the call left it.
template <typename Call>
auto RetryOnEintr(Call&& call) -> decltype(call()) {
  for (;;) {
    auto result = call();
    if (result != -1 || errno != EINTR) return result;
  }
}
