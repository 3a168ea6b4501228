#include "tests/support/XServer.h"

#include <gtest/gtest.h>

namespace larktest {
namespace {

// Two servers at once get displays of their own, and each answers a client (xwd
// capturing its root window: a 24-bit 320 x 200 screen).
TEST(XvfbServer, TwoServersAnswerOnDisplaysOfTheirOwn) {
  XvfbServer first, second;
  ASSERT_TRUE(first.Start(320, 200));
  ASSERT_TRUE(second.Start(320, 200));
  EXPECT_NE(first.Display(), second.Display());
  for (XvfbServer* server : {&first, &second}) {
    int exitCode = -1;
    const std::string dump = RunCommand(
        {RequireProgram("xwd"), "-root", "-silent", "-display", server->Display()}, &exitCode);
    EXPECT_EQ(exitCode, 0) << server->Display();
    EXPECT_GT(dump.size(), size_t{320 * 200 * 3}) << server->Display();
  }
}

TEST(XvfbServer, StopEndsTheServerAndForgetsTheDisplay) {
  XvfbServer server;
  ASSERT_TRUE(server.Start(64, 64));
  server.Stop();
  EXPECT_FALSE(server.Running());
  EXPECT_EQ(server.Display(), "");
}

}  // namespace
}  // namespace larktest
