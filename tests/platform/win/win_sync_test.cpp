#include "platform/win/Sync.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "platform/rtl/Files.h"
#include "platform/sim/Runtime.h"
#include "tests/support/Main.h"
#include "tests/support/Peers.h"

namespace {

// Set in a copy of this test program started as a peer (see the peer entries below).
const char* const HoldEnv = "LARK_TEST_MUTEX_HOLD";
const char* const ProbeEnv = "LARK_TEST_MUTEX_PROBE";
const char* const RuntimeEnv = "LARK_TEST_MUTEX_RUNTIME";

class NamedMutex : public ::testing::Test {
 protected:
  void SetUp() override { sim::SetRuntimeFolder(runtime_.Path()); }
  void TearDown() override { sim::SetRuntimeFolder(""); }

  // Starts a copy of this program as the named peer.
  bool StartPeer(larktest::PeerProcess& peer, const char* entry, const char* env, const std::string& name) {
    return peer.Start(larktest::PeerCommand(entry), {}, {{env, name}, {RuntimeEnv, runtime_.Path()}});
  }

  // What a copy of this program running OpenMutex says about name.
  std::string ProbeFromAnotherProcess(const std::string& name) {
    larktest::PeerProcess probe;
    if (!StartPeer(probe, "PeerProbe", ProbeEnv, name)) return "not started";
    if (!probe.WaitForOutput("probe: ")) return "no answer";
    const std::string log = probe.Log();
    const size_t at = log.find("probe: ");
    return log.substr(at + 7, log.find('\n', at) - at - 7);
  }

  larktest::TempDir runtime_;
};

TEST_F(NamedMutex, SecondCreateInTheSameProcessFindsItExisting) {
  SetLastError(ERROR_INVALID_PARAMETER);
  const HANDLE first = CreateMutex(nullptr, 1, "Lark.SameProcess");
  ASSERT_NE(first, 0u);
  EXPECT_EQ(GetLastError(), ERROR_SUCCESS);

  const HANDLE second = CreateMutex(nullptr, 1, "Lark.SameProcess");
  ASSERT_NE(second, 0u);
  EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
  EXPECT_NE(second, first);
  EXPECT_EQ(ReleaseMutex(second), 0);  // the second handle does not own it
  EXPECT_EQ(GetLastError(), ERROR_NOT_OWNER);
  EXPECT_EQ(ReleaseMutex(first), 1);
  EXPECT_EQ(ReleaseMutex(first), 0);

  const HANDLE opened = OpenMutex(MUTEX_ALL_ACCESS, 0, "Lark.SameProcess");
  EXPECT_NE(opened, 0u);
  EXPECT_EQ(CloseHandle(opened), 1);
  EXPECT_EQ(CloseHandle(second), 1);
  EXPECT_NE(OpenMutex(SYNCHRONIZE, 0, "Lark.SameProcess"), 0u);  // first still holds it

  EXPECT_EQ(CloseHandle(first), 1);
  EXPECT_EQ(OpenMutex(SYNCHRONIZE, 0, "Lark.SameProcess"), 0u);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(CloseHandle(first), 0);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);

  const HANDLE again = CreateMutex(nullptr, 0, "Lark.SameProcess");
  EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
  EXPECT_NE(again, first);  // handles are never reused
  EXPECT_NE(again, second);
  EXPECT_EQ(ReleaseMutex(again), 0);  // made without initial ownership
  CloseHandle(again);
}

TEST_F(NamedMutex, OpenMutexFailsForAMutexNobodyMade) {
  EXPECT_EQ(OpenMutex(MUTEX_ALL_ACCESS, 0, "Lark.Nobody"), 0u);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(OpenMutex(MUTEX_ALL_ACCESS, 0, ""), 0u);
}

TEST_F(NamedMutex, DifferentNamesAreDifferentMutexes) {
  const std::string longName(1000, 'n');
  const std::string names[] = {"Local\\App", "Local/App", "Local%5CApp", "local\\app", "Local\\App ",
                               longName, longName + "2", "Wei\xdf"};
  std::vector<HANDLE> handles;
  for (const std::string& name : names) {
    SCOPED_TRACE(name.substr(0, 20));
    handles.push_back(CreateMutex(nullptr, 1, name.c_str()));
    EXPECT_NE(handles.back(), 0u);
    EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
  }
  for (const HANDLE h : handles) CloseHandle(h);
}

TEST_F(NamedMutex, UnnamedMutexesAreNeverShared) {
  const HANDLE a = CreateMutex(nullptr, 1, nullptr);
  const HANDLE b = CreateMutex(nullptr, 1, "");
  EXPECT_NE(a, 0u);
  EXPECT_NE(b, 0u);
  EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
  EXPECT_EQ(ReleaseMutex(a), 1);
  EXPECT_EQ(ReleaseMutex(b), 1);
  CloseHandle(a);
  CloseHandle(b);
}

TEST_F(NamedMutex, AnotherProcessSeesOursUntilWeCloseIt) {
  const HANDLE mine = CreateMutex(nullptr, 1, "Lark.Ours");
  ASSERT_NE(mine, 0u);
  EXPECT_EQ(ProbeFromAnotherProcess("Lark.Ours"), "exists");
  CloseHandle(mine);
  EXPECT_EQ(ProbeFromAnotherProcess("Lark.Ours"), "missing");
}

TEST_F(NamedMutex, HeldByAnotherProcessUntilThatProcessIsKilled) {
  larktest::PeerProcess holder;
  ASSERT_TRUE(StartPeer(holder, "PeerHolder", HoldEnv, "Lark.Theirs"));
  ASSERT_TRUE(holder.WaitForOutput("holder: held")) << holder.Log();

  const HANDLE opened = OpenMutex(SYNCHRONIZE, 0, "Lark.Theirs");
  EXPECT_NE(opened, 0u);
  const HANDLE created = CreateMutex(nullptr, 1, "Lark.Theirs");
  EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
  EXPECT_EQ(ReleaseMutex(created), 0);
  CloseHandle(created);
  CloseHandle(opened);

  holder.Kill();  // an abandoned mutex goes with its process
  EXPECT_EQ(OpenMutex(SYNCHRONIZE, 0, "Lark.Theirs"), 0u);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  const HANDLE mine = CreateMutex(nullptr, 1, "Lark.Theirs");
  EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
  EXPECT_EQ(ReleaseMutex(mine), 1);
  CloseHandle(mine);
}

}  // namespace

// Peer side: takes the mutex named in the environment, says so, and waits to be killed.
LARK_PEER_ENTRY(PeerHolder) {
  const char* name = std::getenv(HoldEnv);
  if (name == nullptr) return 2;
  sim::SetRuntimeFolder(std::getenv(RuntimeEnv));
  const HANDLE h = CreateMutex(nullptr, 1, name);
  std::printf("holder: %s\n", h != 0 && GetLastError() == ERROR_SUCCESS ? "held" : "failed");
  std::fflush(stdout);
  std::this_thread::sleep_for(std::chrono::seconds(60));  // the test kills it long before
  return 0;
}

// Peer side: tells whether the mutex named in the environment exists.
LARK_PEER_ENTRY(PeerProbe) {
  const char* name = std::getenv(ProbeEnv);
  if (name == nullptr) return 2;
  sim::SetRuntimeFolder(std::getenv(RuntimeEnv));
  const HANDLE h = OpenMutex(SYNCHRONIZE, 0, name);
  std::printf("probe: %s\n", h != 0 ? "exists" : GetLastError() == ERROR_FILE_NOT_FOUND ? "missing" : "error");
  std::fflush(stdout);
  if (h != 0) CloseHandle(h);
  return 0;
}
