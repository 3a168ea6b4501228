#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <chrono>
#include <fstream>
#include <string>
#include <thread>

#include "tests/support/Peers.h"

namespace {

// True once the process blocks SIGTERM, which it does while its message loop runs.
bool BlocksSigterm(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("SigBlk:", 0) != 0) continue;
    const unsigned long long mask = std::stoull(line.substr(7), nullptr, 16);
    return (mask >> (SIGTERM - 1)) & 1;
  }
  return false;
}

TEST(Program, RunsItsMessageLoopUntilTheSessionEnds) {
  larktest::PeerProcess program;
  ASSERT_TRUE(program.Start({LARK_PROGRAM}));
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (!BlocksSigterm(program.Pid())) {
    ASSERT_TRUE(program.Running()) << program.Log();
    ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "the loop never started";
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  program.Stop();
  ASSERT_TRUE(WIFEXITED(program.Status())) << program.Log();
  EXPECT_EQ(WEXITSTATUS(program.Status()), 0);
}

}  // namespace
