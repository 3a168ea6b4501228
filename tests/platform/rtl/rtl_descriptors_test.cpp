#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include <gtest/gtest.h>

#include "platform/rtl/Descriptors.h"
#include "platform/rtl/NoDestructor.h"

namespace {

bool IsOpen(int fd) { return fcntl(fd, F_GETFD) != -1; }

TEST(ScopedFd, ClosesOnceWhenItsOwnerEnds) {
  int fds[2];
  ASSERT_EQ(pipe2(fds, O_CLOEXEC), 0);
  close(fds[1]);
  {
    ScopedFd a(fds[0]);
    ScopedFd b(std::move(a));  // the descriptor moves; a holds nothing
    EXPECT_FALSE(a.Valid());
    EXPECT_EQ(b.Get(), fds[0]);
    ScopedFd c;
    c = std::move(b);
    EXPECT_FALSE(b);
    EXPECT_TRUE(IsOpen(fds[0]));
  }
  EXPECT_FALSE(IsOpen(fds[0]));
}

TEST(ScopedFd, ResetReleaseAndCloseHandTheDescriptorOnOrShutIt) {
  int fds[2];
  ASSERT_EQ(pipe2(fds, O_CLOEXEC), 0);
  ScopedFd reader(fds[0]);
  ScopedFd writer(fds[1]);
  reader.Reset();
  EXPECT_FALSE(IsOpen(fds[0]));
  EXPECT_FALSE(reader.Valid());

  const int released = writer.Release();
  EXPECT_FALSE(writer.Valid());
  EXPECT_TRUE(IsOpen(released));
  writer.Reset(released);
  EXPECT_EQ(writer.Close(), 0);
  EXPECT_FALSE(IsOpen(released));
  EXPECT_EQ(writer.Close(), 0);  // holding nothing
}

TEST(RetryOnEintr, CallsAgainOnlyWhileInterrupted) {
  int calls = 0;
  const int result = RetryOnEintr([&] {
    ++calls;
    if (calls < 3) {
      errno = EINTR;
      return -1;
    }
    return 7;
  });
  EXPECT_EQ(result, 7);
  EXPECT_EQ(calls, 3);

  calls = 0;
  const long failed = RetryOnEintr([&] {
    ++calls;
    errno = EBADF;
    return -1L;
  });
  EXPECT_EQ(failed, -1);
  EXPECT_EQ(errno, EBADF);
  EXPECT_EQ(calls, 1);
}

struct CountsDestruction {
  explicit CountsDestruction(int* destroyed) : destroyed(destroyed) {}
  ~CountsDestruction() { ++*destroyed; }
  int* destroyed;
};

TEST(NoDestructor, BuildsInPlaceAndNeverDestroys) {
  int destroyed = 0;
  {
    NoDestructor<CountsDestruction> object(&destroyed);
    EXPECT_EQ(object->destroyed, &destroyed);
    EXPECT_EQ((*object).destroyed, &destroyed);
  }
  EXPECT_EQ(destroyed, 0);
}

}  // namespace
