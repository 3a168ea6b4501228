// A fixture for the Winsock tests: Winsock started, a window that records the
// notifications posted to it, loopback helpers and the python TCP peer.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "platform/win/Window.h"
#include "platform/winsock/Winsock.h"
#include "tests/support/Peers.h"
#include "tests/support/Pump.h"

namespace wstest {

namespace ws = winsock;

inline constexpr UINT kSelectMsg = WM_USER + 1;
inline constexpr UINT kHostByNameMsg = WM_USER + 2;
inline constexpr UINT kHostByAddrMsg = WM_USER + 3;
inline constexpr int32_t kAllEvents =
    ws::FD_READ | ws::FD_WRITE | ws::FD_ACCEPT | ws::FD_CONNECT | ws::FD_CLOSE;

struct Note {
  UINT msg;
  WPARAM wParam;
  Word event;  // or, for lookups, the buffer length
  Word error;
};

inline ws::sockaddr_in Loopback(uint16_t port) {
  ws::sockaddr_in a{};
  a.sin_family = ws::AF_INET;
  a.sin_port = ws::htons(port);
  a.sin_addr.S_un.S_addr = ws::htonl(ws::INADDR_LOOPBACK);
  return a;
}

inline const ws::sockaddr* Sa(const ws::sockaddr_in& a) {
  return reinterpret_cast<const ws::sockaddr*>(&a);
}

// Found from the test data folder, an absolute path: __FILE__ may be relative to the
// folder the compiler ran in (a compiler cache rewrites paths so).
inline std::string PeerScript() {
  return (std::filesystem::path(LARK_TEST_DATA).parent_path() / "platform" / "winsock" / "tcp_peer.py").string();
}

class WinsockTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ws::WSADATA data;
    ASSERT_EQ(ws::WSAStartup(0x0101, &data), 0);
    window_ = AllocateHWnd([this](TMessage& m) {
      if (m.Msg >= WM_USER) {
        notes_.push_back({m.Msg, m.WParam, LOWORD(m.LParam), HIWORD(m.LParam)});
      } else {
        m.Result = DefWindowProc(window_, m.Msg, m.WParam, m.LParam);
      }
    });
    ASSERT_NE(window_, 0u);
  }

  void TearDown() override {
    for (ws::SOCKET s : sockets_) ws::closesocket(s);
    DeallocateHWnd(window_);
    ws::WSACleanup();
  }

  // Closed at the end of the test (closing twice does no harm).
  ws::SOCKET Track(ws::SOCKET s) {
    if (s != ws::INVALID_SOCKET) sockets_.push_back(s);
    return s;
  }

  // The select events recorded for s, in order, as (event, error).
  std::vector<std::pair<Word, Word>> EventsOf(ws::SOCKET s) const {
    std::vector<std::pair<Word, Word>> out;
    for (const Note& n : notes_) {
      if (n.msg == kSelectMsg && n.wParam == s) out.emplace_back(n.event, n.error);
    }
    return out;
  }

  int CountOf(ws::SOCKET s, int32_t event) const {
    int count = 0;
    for (const auto& [e, err] : EventsOf(s)) count += e == event ? 1 : 0;
    return count;
  }

  // Pumps until s has had `count` notifications of event; answers the error of the
  // last one (-1 on timeout).
  int WaitForEvent(ws::SOCKET s, int32_t event, int count = 1) {
    if (!larktest::PumpUntil([&] { return CountOf(s, event) >= count; })) return -1;
    int error = -1;
    for (const auto& [e, err] : EventsOf(s)) {
      if (e == event) error = err;
    }
    return error;
  }

  // A listening socket on 127.0.0.1 with a port of the system's choosing.
  ws::SOCKET MakeListener(uint16_t* port) {
    const ws::SOCKET s = Track(ws::socket(ws::AF_INET, ws::SOCK_STREAM, ws::IPPROTO_TCP));
    EXPECT_NE(s, ws::INVALID_SOCKET);
    ws::sockaddr_in a = Loopback(0);
    EXPECT_EQ(ws::bind(s, Sa(a), sizeof a), 0);
    EXPECT_EQ(ws::listen(s, 5), 0);
    int len = sizeof a;
    EXPECT_EQ(ws::getsockname(s, reinterpret_cast<ws::sockaddr*>(&a), &len), 0);
    *port = ws::ntohs(a.sin_port);
    return s;
  }

  // A socket selecting every event on the window, connecting without blocking.
  ws::SOCKET ConnectAsync(uint16_t port, int32_t events = kAllEvents) {
    const ws::SOCKET s = Track(ws::socket(ws::AF_INET, ws::SOCK_STREAM, ws::IPPROTO_TCP));
    EXPECT_NE(s, ws::INVALID_SOCKET);
    EXPECT_EQ(ws::WSAAsyncSelect(s, window_, kSelectMsg, events), 0);
    const ws::sockaddr_in a = Loopback(port);
    EXPECT_EQ(ws::connect(s, Sa(a), sizeof a), ws::SOCKET_ERROR);
    EXPECT_EQ(ws::WSAGetLastError(), ws::WSAEWOULDBLOCK);
    return s;
  }

  // Starts the python peer; for "serve" waits until it listens.
  void StartPeer(larktest::PeerProcess& peer, std::vector<std::string> args) {
    std::vector<std::string> argv{"/usr/bin/python3", PeerScript()};
    argv.insert(argv.end(), args.begin(), args.end());
    ASSERT_TRUE(peer.Start(argv));
    if (args[0] == "serve") {
      ASSERT_TRUE(peer.WaitForOutput("ready")) << peer.Log();
    }
  }

  // Waits until a message for the window is queued, without dispatching anything.
  bool WaitUntilQueued(uint32_t timeoutMs = 5000) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    MSG msg;
    while (!PeekMessage(&msg, window_, 0, 0, PM_NOREMOVE)) {
      if (std::chrono::steady_clock::now() >= deadline) return false;
      LoopWaitReal(50);
    }
    return true;
  }

  // Bytes waiting on s.
  ws::u_long Waiting(ws::SOCKET s) {
    ws::u_long n = 0;
    EXPECT_EQ(ws::ioctlsocket(s, ws::FIONREAD, &n), 0);
    return n;
  }

  HWND window_ = 0;
  std::vector<Note> notes_;
  std::vector<ws::SOCKET> sockets_;
};

}  // namespace wstest
