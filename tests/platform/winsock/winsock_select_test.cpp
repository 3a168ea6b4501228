// WSAAsyncSelect against real loopback peers: the notifications and their order,
// the re-enabling rules, close and reset, and stale handles.
#include <atomic>
#include <string>
#include <thread>

#include "tests/platform/winsock/winsock_fixture.h"

namespace wstest {
namespace {

using Events = std::vector<std::pair<Word, Word>>;

class WinsockSelect : public WinsockTest {
 protected:
  // A client selecting every event, connected to an accepted (blocking) server
  // socket of our own listener; waits for the client's FD_CONNECT and FD_WRITE.
  void MakePair(ws::SOCKET* client, ws::SOCKET* server) {
    uint16_t port = 0;
    const ws::SOCKET listener = MakeListener(&port);
    *client = ConnectAsync(port);
    *server = Track(ws::accept(listener, nullptr, nullptr));
    ASSERT_NE(*server, ws::INVALID_SOCKET);
    ASSERT_EQ(WaitForEvent(*client, ws::FD_CONNECT), 0);
    ASSERT_EQ(WaitForEvent(*client, ws::FD_WRITE), 0);
  }

  void SendAll(ws::SOCKET s, const std::string& text) {
    ASSERT_EQ(ws::send(s, text.data(), static_cast<int>(text.size()), 0),
              static_cast<int>(text.size()));
  }
};

TEST_F(WinsockSelect, ConnectSendReceiveAndGracefulCloseArriveInOrder) {
  larktest::PeerProcess peer;
  const uint16_t port = larktest::FreeTcpPort();
  StartPeer(peer, {"serve", std::to_string(port), "echo"});
  const ws::SOCKET s = ConnectAsync(port);

  ASSERT_EQ(WaitForEvent(s, ws::FD_CONNECT), 0);
  ASSERT_EQ(WaitForEvent(s, ws::FD_WRITE), 0);
  ASSERT_EQ(ws::send(s, "ping", 4, 0), 4);
  ASSERT_EQ(WaitForEvent(s, ws::FD_READ), 0);
  char buf[16] = {};
  ASSERT_EQ(ws::recv(s, buf, sizeof buf, 0), 4);
  EXPECT_EQ(std::string(buf, 4), "ping");
  // Our FIN ends the echo; the peer closes in turn.
  ASSERT_EQ(ws::shutdown(s, ws::SD_SEND), 0);
  ASSERT_EQ(WaitForEvent(s, ws::FD_CLOSE), 0);
  EXPECT_EQ(ws::recv(s, buf, sizeof buf, 0), 0);
  larktest::PumpPending();

  const Events expected{{ws::FD_CONNECT, 0}, {ws::FD_WRITE, 0}, {ws::FD_READ, 0},
                        {ws::FD_CLOSE, 0}};
  EXPECT_EQ(EventsOf(s), expected);
}

TEST_F(WinsockSelect, ConnectToAClosedPortReportsRefusedInFdConnect) {
  const ws::SOCKET s = ConnectAsync(larktest::FreeTcpPort());
  ASSERT_EQ(WaitForEvent(s, ws::FD_CONNECT), ws::WSAECONNREFUSED);
  larktest::PumpPending();
  // Nothing else: no FD_WRITE, and no FD_CLOSE for a connection that never was.
  EXPECT_EQ(EventsOf(s), (Events{{ws::FD_CONNECT, ws::WSAECONNREFUSED}}));
}

TEST_F(WinsockSelect, PeerResetGivesFdCloseWithConnectionReset) {
  larktest::PeerProcess peer;
  const uint16_t port = larktest::FreeTcpPort();
  StartPeer(peer, {"serve", std::to_string(port), "reset"});
  const ws::SOCKET s = ConnectAsync(port);
  ASSERT_EQ(WaitForEvent(s, ws::FD_CONNECT), 0);
  ASSERT_EQ(ws::send(s, "x", 1, 0), 1);

  ASSERT_EQ(WaitForEvent(s, ws::FD_CLOSE), ws::WSAECONNRESET);
  char buf[8];
  EXPECT_EQ(ws::recv(s, buf, sizeof buf, 0), ws::SOCKET_ERROR);
  EXPECT_EQ(ws::WSAGetLastError(), ws::WSAECONNRESET);
  EXPECT_EQ(ws::send(s, "y", 1, 0), ws::SOCKET_ERROR);
  EXPECT_EQ(ws::WSAGetLastError(), ws::WSAECONNRESET);
  larktest::PumpPending();
  EXPECT_EQ(CountOf(s, ws::FD_CLOSE), 1);
}

TEST_F(WinsockSelect, FdCloseComesOnlyAfterPendingDataWereRead) {
  constexpr int kSize = 20000;
  larktest::PeerProcess peer;
  const uint16_t port = larktest::FreeTcpPort();
  StartPeer(peer, {"serve", std::to_string(port), "send-close", std::to_string(kSize)});
  const ws::SOCKET s = ConnectAsync(port);
  ASSERT_EQ(WaitForEvent(s, ws::FD_READ), 0);
  // The peer has sent everything and closed; its FIN is behind the data.
  ASSERT_TRUE(peer.WaitForOutput("done")) << peer.Log();
  ASSERT_TRUE(larktest::PumpUntil([&] { return Waiting(s) == kSize; }));
  larktest::PumpPending();
  EXPECT_EQ(CountOf(s, ws::FD_CLOSE), 0);
  EXPECT_EQ(CountOf(s, ws::FD_READ), 1);

  std::string got;
  char buf[4096];
  while (got.size() < static_cast<size_t>(kSize)) {
    const int n = ws::recv(s, buf, sizeof buf, 0);
    ASSERT_GT(n, 0);
    got.append(buf, static_cast<size_t>(n));
    larktest::PumpPending();
    if (got.size() < static_cast<size_t>(kSize)) {
      ASSERT_EQ(CountOf(s, ws::FD_CLOSE), 0) << "FD_CLOSE with " << kSize - got.size()
                                             << " bytes unread";
    }
  }
  EXPECT_EQ(got.substr(0, 30), "abcdefghijklmnopqrstuvwxyzabcd");
  ASSERT_EQ(WaitForEvent(s, ws::FD_CLOSE), 0);
  EXPECT_EQ(ws::recv(s, buf, sizeof buf, 0), 0);
  EXPECT_EQ(EventsOf(s).back(), (std::pair<Word, Word>{ws::FD_CLOSE, 0}));
}

TEST_F(WinsockSelect, FdReadIsPostedAgainOnlyAfterARecv) {
  ws::SOCKET client, server;
  MakePair(&client, &server);
  SendAll(server, "a");
  ASSERT_EQ(WaitForEvent(client, ws::FD_READ), 0);
  // More data while the first FD_READ has not been answered by a recv: no message.
  SendAll(server, "bc");
  ASSERT_TRUE(larktest::PumpUntil([&] { return Waiting(client) == 3; }));
  larktest::PumpPending();
  EXPECT_EQ(CountOf(client, ws::FD_READ), 1);

  char buf[8];
  ASSERT_EQ(ws::recv(client, buf, 1, 0), 1);
  // Data remain after the recv: FD_READ again.
  ASSERT_EQ(WaitForEvent(client, ws::FD_READ, 2), 0);
  ASSERT_EQ(ws::recv(client, buf, sizeof buf, 0), 2);
  larktest::PumpPending();
  EXPECT_EQ(CountOf(client, ws::FD_READ), 2);
  // Armed again by that recv: the next arrival is announced.
  SendAll(server, "d");
  EXPECT_EQ(WaitForEvent(client, ws::FD_READ, 3), 0);
}

// A handler that reads in a loop re-arms FD_READ at every recv while data remain.
// One waiting notification stands for all of them, so the queue never floods and
// the other messages of the thread still get through.
TEST_F(WinsockSelect, ReadsInALoopLeaveOneFdReadWaiting) {
  ws::SOCKET client, server;
  MakePair(&client, &server);
  const std::string data(30000, 'x');
  SendAll(server, data);
  ASSERT_TRUE(larktest::PumpUntil([&] { return Waiting(client) == data.size(); }));
  ASSERT_EQ(WaitForEvent(client, ws::FD_READ), 0);
  // 20,000 one-byte reads without handling a message in between: more than a
  // queue holds.
  char byte;
  for (int i = 0; i < 20000; ++i) ASSERT_EQ(ws::recv(client, &byte, 1, 0), 1);
  ASSERT_TRUE(PostMessage(window_, WM_USER + 50, 0, 0));
  larktest::PumpPending();
  EXPECT_EQ(CountOf(client, ws::FD_READ), 2);
  bool otherArrived = false;
  for (const Note& n : notes_) otherArrived |= n.msg == WM_USER + 50;
  EXPECT_TRUE(otherArrived);
  // The waiting notification was handled: the next read re-arms and announces again.
  ASSERT_EQ(ws::recv(client, &byte, 1, 0), 1);
  EXPECT_EQ(WaitForEvent(client, ws::FD_READ, 3), 0);
}

TEST_F(WinsockSelect, FdWriteReturnsOnlyAfterAWouldBlockOnceRoomIsBack) {
  ws::SOCKET client, server;
  MakePair(&client, &server);
  // A send that is taken whole posts nothing.
  SendAll(client, "x");
  larktest::PumpPending();
  EXPECT_EQ(CountOf(client, ws::FD_WRITE), 1);

  // Fill the connection against a server that does not read.
  const std::string chunk(65536, 'z');
  bool blocked = false;
  for (int i = 0; i < 4096 && !blocked; ++i) {
    const int n = ws::send(client, chunk.data(), static_cast<int>(chunk.size()), 0);
    if (n == ws::SOCKET_ERROR) {
      ASSERT_EQ(ws::WSAGetLastError(), ws::WSAEWOULDBLOCK);
      blocked = true;
    }
  }
  ASSERT_TRUE(blocked);
  larktest::PumpPending();
  EXPECT_EQ(CountOf(client, ws::FD_WRITE), 1);

  // The server reads; room comes back and FD_WRITE follows.
  ws::u_long on = 1;
  ASSERT_EQ(ws::ioctlsocket(server, ws::FIONBIO, &on), 0);
  std::string sink(65536, '\0');
  ASSERT_TRUE(larktest::PumpUntil([&] {
    while (ws::recv(server, sink.data(), static_cast<int>(sink.size()), 0) > 0) {
    }
    return CountOf(client, ws::FD_WRITE) == 2;
  }));
  EXPECT_EQ(EventsOf(client).back(), (std::pair<Word, Word>{ws::FD_WRITE, 0}));
}

TEST_F(WinsockSelect, MaskZeroStopsNotificationsAndSelectingAgainRearms) {
  ws::SOCKET client, server;
  MakePair(&client, &server);
  ASSERT_EQ(ws::WSAAsyncSelect(client, window_, 0, 0), 0);
  SendAll(server, "abc");
  ASSERT_TRUE(larktest::PumpUntil([&] { return Waiting(client) == 3; }));
  larktest::PumpPending();
  EXPECT_EQ(CountOf(client, ws::FD_READ), 0);

  ASSERT_EQ(ws::WSAAsyncSelect(client, window_, kSelectMsg, kAllEvents), 0);
  EXPECT_EQ(WaitForEvent(client, ws::FD_READ), 0);
  // A connected, writable socket is told at once that it may send.
  EXPECT_EQ(WaitForEvent(client, ws::FD_WRITE, 2), 0);
  EXPECT_EQ(CountOf(client, ws::FD_CONNECT), 1);
}

TEST_F(WinsockSelect, SocketStaysNonBlockingAfterMaskZero) {
  ws::SOCKET client, server;
  MakePair(&client, &server);
  ASSERT_EQ(ws::WSAAsyncSelect(client, window_, 0, 0), 0);
  char buf[4];
  EXPECT_EQ(ws::recv(client, buf, sizeof buf, 0), ws::SOCKET_ERROR);
  EXPECT_EQ(ws::WSAGetLastError(), ws::WSAEWOULDBLOCK);
  // While a request is active the socket cannot be made blocking.
  ASSERT_EQ(ws::WSAAsyncSelect(client, window_, kSelectMsg, ws::FD_READ), 0);
  ws::u_long off = 0;
  EXPECT_EQ(ws::ioctlsocket(client, ws::FIONBIO, &off), ws::SOCKET_ERROR);
  EXPECT_EQ(ws::WSAGetLastError(), ws::WSAEINVAL);
}

TEST_F(WinsockSelect, StaleNotificationNeverReachesTheNextSocket) {
  uint16_t port = 0;
  MakeListener(&port);
  const ws::SOCKET first = ConnectAsync(port);
  // The first socket's FD_CONNECT is queued, not dispatched, when it is closed.
  ASSERT_TRUE(WaitUntilQueued());
  ASSERT_EQ(ws::closesocket(first), 0);

  // The next socket most likely gets the same descriptor, never the same handle.
  const ws::SOCKET second = ConnectAsync(port);
  EXPECT_NE(second, first);
  ASSERT_EQ(WaitForEvent(second, ws::FD_CONNECT), 0);
  ASSERT_EQ(WaitForEvent(second, ws::FD_WRITE), 0);
  for (const Note& n : notes_) EXPECT_NE(n.wParam, first);
  EXPECT_EQ(EventsOf(second), (Events{{ws::FD_CONNECT, 0}, {ws::FD_WRITE, 0}}));
}

TEST_F(WinsockSelect, HandlesAreNeverGivenOutTwice) {
  ws::SOCKET previous = 0;
  for (int i = 0; i < 5; ++i) {
    const ws::SOCKET s = ws::socket(ws::AF_INET, ws::SOCK_STREAM, 0);
    ASSERT_NE(s, ws::INVALID_SOCKET);
    EXPECT_GT(s, previous);
    ASSERT_EQ(ws::closesocket(s), 0);
    previous = s;
    // A closed handle names nothing.
    EXPECT_EQ(ws::closesocket(s), ws::SOCKET_ERROR);
    EXPECT_EQ(ws::WSAGetLastError(), ws::WSAENOTSOCK);
    EXPECT_EQ(ws::send(s, "x", 1, 0), ws::SOCKET_ERROR);
    EXPECT_EQ(ws::WSAGetLastError(), ws::WSAENOTSOCK);
  }
}

TEST_F(WinsockSelect, AcceptsARealClientWhoseSocketInheritsTheRequest) {
  uint16_t port = 0;
  const ws::SOCKET listener = MakeListener(&port);
  ASSERT_EQ(ws::WSAAsyncSelect(listener, window_, kSelectMsg, kAllEvents), 0);
  larktest::PeerProcess peer;
  StartPeer(peer, {"connect", std::to_string(port), "hello"});
  ASSERT_EQ(WaitForEvent(listener, ws::FD_ACCEPT), 0);

  ws::sockaddr_in from{};
  int fromLen = sizeof from;
  const ws::SOCKET conn = Track(ws::accept(listener, reinterpret_cast<ws::sockaddr*>(&from), &fromLen));
  ASSERT_NE(conn, ws::INVALID_SOCKET);
  EXPECT_EQ(fromLen, static_cast<int>(sizeof from));
  EXPECT_STREQ(ws::inet_ntoa(from.sin_addr), "127.0.0.1");
  EXPECT_NE(from.sin_port, 0);

  // The accepted socket reports to the listener's window, without blocking.
  std::string got;
  char buf[64];
  ASSERT_TRUE(larktest::PumpUntil([&] {
    int n;
    while ((n = ws::recv(conn, buf, sizeof buf, 0)) > 0) got.append(buf, static_cast<size_t>(n));
    return CountOf(conn, ws::FD_CLOSE) == 1;
  }));
  EXPECT_EQ(got, "hello");
  EXPECT_GE(CountOf(conn, ws::FD_READ), 1);
  EXPECT_EQ(EventsOf(conn).back(), (std::pair<Word, Word>{ws::FD_CLOSE, 0}));
}

TEST_F(WinsockSelect, FdAcceptIsPostedAgainOnlyAfterAnAccept) {
  uint16_t port = 0;
  const ws::SOCKET listener = MakeListener(&port);
  ASSERT_EQ(ws::WSAAsyncSelect(listener, window_, kSelectMsg, ws::FD_ACCEPT), 0);
  larktest::PeerProcess one, two;
  StartPeer(one, {"connect", std::to_string(port), "1"});
  StartPeer(two, {"connect", std::to_string(port), "2"});
  ASSERT_TRUE(one.WaitForOutput("done")) << one.Log();
  ASSERT_TRUE(two.WaitForOutput("done")) << two.Log();
  ASSERT_EQ(WaitForEvent(listener, ws::FD_ACCEPT), 0);
  larktest::PumpPending();
  EXPECT_EQ(CountOf(listener, ws::FD_ACCEPT), 1);

  ASSERT_NE(Track(ws::accept(listener, nullptr, nullptr)), ws::INVALID_SOCKET);
  // One more waits.
  ASSERT_EQ(WaitForEvent(listener, ws::FD_ACCEPT, 2), 0);
  ASSERT_NE(Track(ws::accept(listener, nullptr, nullptr)), ws::INVALID_SOCKET);
  larktest::PumpPending();
  EXPECT_EQ(CountOf(listener, ws::FD_ACCEPT), 2);
  // Nothing left: a non-blocking accept says so.
  EXPECT_EQ(ws::accept(listener, nullptr, nullptr), ws::INVALID_SOCKET);
  EXPECT_EQ(ws::WSAGetLastError(), ws::WSAEWOULDBLOCK);
}

TEST_F(WinsockSelect, LingerOfZeroMakesCloseAReset) {
  uint16_t port = 0;
  const ws::SOCKET listener = MakeListener(&port);
  const ws::SOCKET client = Track(ws::socket(ws::AF_INET, ws::SOCK_STREAM, 0));
  const ws::sockaddr_in a = Loopback(port);
  ASSERT_EQ(ws::connect(client, Sa(a), sizeof a), 0);  // blocking
  const ws::SOCKET server = Track(ws::accept(listener, nullptr, nullptr));
  ASSERT_EQ(ws::WSAAsyncSelect(server, window_, kSelectMsg, kAllEvents), 0);

  const ws::linger on{1, 0};
  ASSERT_EQ(ws::setsockopt(client, ws::SOL_SOCKET, ws::SO_LINGER,
                           reinterpret_cast<const char*>(&on), sizeof on), 0);
  ws::linger back{9, 9};
  int len = sizeof back;
  ASSERT_EQ(ws::getsockopt(client, ws::SOL_SOCKET, ws::SO_LINGER, reinterpret_cast<char*>(&back), &len), 0);
  EXPECT_EQ(len, 4);
  EXPECT_EQ(back.l_onoff, 1);
  EXPECT_EQ(back.l_linger, 0);
  ASSERT_EQ(ws::closesocket(client), 0);
  EXPECT_EQ(WaitForEvent(server, ws::FD_CLOSE), ws::WSAECONNRESET);
}

TEST_F(WinsockSelect, ClosesocketDropsTheQueuedNotificationsOfThatSocket) {
  ws::SOCKET client, server;
  MakePair(&client, &server);
  larktest::PumpPending();
  ASSERT_EQ(ws::WSAAsyncSelect(server, window_, kSelectMsg, ws::FD_READ), 0);
  SendAll(client, "data");
  // The server's FD_READ is queued, not dispatched, when it is closed.
  ASSERT_TRUE(WaitUntilQueued());
  ASSERT_EQ(ws::closesocket(server), 0);
  larktest::PumpPending();
  EXPECT_EQ(CountOf(server, ws::FD_READ), 0);
}

TEST_F(WinsockSelect, NotificationsFollowTheThreadThatSelected) {
  ws::SOCKET client, server;
  MakePair(&client, &server);
  // This thread lets go of the socket; another thread takes it over with a window
  // of its own and must pump its own loop to hear from it.
  ASSERT_EQ(ws::WSAAsyncSelect(client, window_, 0, 0), 0);
  std::atomic<bool> selected{false};
  std::atomic<int> readsSeen{0};
  std::atomic<WPARAM> socketSeen{0};
  std::thread other([&] {
    const HWND w = AllocateHWnd([&](TMessage& m) {
      if (m.Msg == kSelectMsg && LOWORD(m.LParam) == ws::FD_READ) {
        socketSeen = m.WParam;
        ++readsSeen;
      }
    });
    selected = ws::WSAAsyncSelect(client, w, kSelectMsg, ws::FD_READ | ws::FD_CLOSE) == 0;
    larktest::PumpUntil([&] { return readsSeen.load() > 0; });
    DeallocateHWnd(w);
  });
  ASSERT_TRUE(larktest::PumpUntil([&] { return selected.load(); }));
  SendAll(server, "over there");
  other.join();
  EXPECT_EQ(readsSeen.load(), 1);
  EXPECT_EQ(socketSeen.load(), client);
  larktest::PumpPending();
  EXPECT_EQ(CountOf(client, ws::FD_READ), 0);
}

}  // namespace
}  // namespace wstest
