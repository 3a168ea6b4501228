#include "platform/win/Debug.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "platform/rtl/Files.h"
#include "platform/sim/DebugOutput.h"
#include "tests/support/Main.h"
#include "tests/support/Peers.h"

namespace {

class DebugOutput : public ::testing::Test {
 protected:
  void SetUp() override { sim::ClearDebugLines(); }
  void TearDown() override { sim::ClearDebugLines(); }
};

TEST_F(DebugOutput, KeepsEachCallsTextInOrder) {
  OutputDebugString("one");
  OutputDebugString("two\r\n");
  OutputDebugString(nullptr);
  OutputDebugString("");
  EXPECT_EQ(sim::DebugLines(), (std::vector<std::string>{"one", "two\r\n", ""}));
  sim::ClearDebugLines();
  EXPECT_TRUE(sim::DebugLines().empty());
}

TEST_F(DebugOutput, WritersOnManyThreadsLoseNothing) {
  constexpr int Threads = 4, PerThread = 500;
  std::vector<std::thread> threads;
  for (int t = 0; t < Threads; ++t)
    threads.emplace_back([t] {
      for (int i = 0; i < PerThread; ++i)
        OutputDebugString((std::to_string(t) + ":" + std::to_string(i)).c_str());
    });
  for (std::thread& thread : threads) thread.join();
  const std::vector<std::string> lines = sim::DebugLines();
  ASSERT_EQ(lines.size(), static_cast<size_t>(Threads * PerThread));
  std::vector<int> next(Threads, 0);
  for (const std::string& line : lines) {
    const int t = std::stoi(line);
    EXPECT_EQ(std::stoi(line.substr(line.find(':') + 1)), next[t]++) << "out of order: " << line;
  }
}

TEST_F(DebugOutput, KeepsOnlyTheLatestLines) {
  for (int i = 0; i < 10050; ++i) OutputDebugString(std::to_string(i).c_str());
  const std::vector<std::string> lines = sim::DebugLines();
  ASSERT_EQ(lines.size(), 10000u);
  EXPECT_EQ(lines.front(), "50");
  EXPECT_EQ(lines.back(), "10049");
}

// The text reaches stderr only when LARK_DEBUG_OUTPUT is set; checked in a copy of
// this program, since the setting is read once.
TEST_F(DebugOutput, EchoesToStderrOnlyWhenAsked) {
  if (std::getenv("LARK_DEBUG_OUTPUT") != nullptr) GTEST_SKIP() << "LARK_DEBUG_OUTPUT is set for the whole run";
  for (const bool echo : {true, false}) {
    SCOPED_TRACE(echo ? "set" : "unset");
    std::map<std::string, std::string> env;
    if (echo) env["LARK_DEBUG_OUTPUT"] = "1";
    larktest::PeerProcess writer;
    ASSERT_TRUE(writer.Start(larktest::PeerCommand("DebugWriter"), {}, env));
    EXPECT_TRUE(writer.WaitForOutput("writer: done")) << writer.Log();
    EXPECT_EQ(writer.Log().find("debug-marker-7f3a") != std::string::npos, echo) << writer.Log();
  }
}

}  // namespace

// Peer side of DebugOutput.EchoesToStderrOnlyWhenAsked.
LARK_PEER_ENTRY(DebugWriter) {
  OutputDebugString("debug-marker-7f3a");
  std::fprintf(stdout, "writer: done\n");
  std::fflush(stdout);
  return 0;
}
