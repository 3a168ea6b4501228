// Connecting, exchanging data and closing against python3 peers on 127.0.0.1: the
// events in order, refused and reset connections, and the close paths.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "net/WSocket.h"
#include "platform/sim/Resolver.h"
#include "platform/win/Messages.h"
#include "tests/net/net_test_support.h"
#include "tests/support/Pump.h"

namespace {

using nettest::EventLog;
using nettest::PythonServer;
using larktest::PumpUntil;

// Exposes what a test needs to play Winsock's part by hand.
class ProbeSocket : public TWSocket {
 public:
  using TWSocket::TWSocket;
  void ClearSuspended() { Suspended = false; }
};

void Aim(TCustomWSocket& socket, uint16_t port) {
  socket.SetAddr("127.0.0.1");
  socket.SetPort(std::to_string(port));
}

std::vector<std::string> Expected(std::initializer_list<const char*> events) {
  return {events.begin(), events.end()};
}

TEST(WSocketConnect, ConnectSendReceiveAndGracefulCloseFireEventsInOrder) {
  PythonServer peer;
  ASSERT_TRUE(peer.Start(
      "data = recv_exactly(c, 5)\n"
      "print('got ' + data.decode(), flush=True)\n"
      "c.sendall(b'world')\n"
      "c.close()\n"));
  TWSocket socket(nullptr);
  EventLog log(socket);
  auto connected = socket.OnSessionConnected;
  socket.OnSessionConnected = [&](TObject* sender, Word error) {
    connected(sender, error);
    EXPECT_EQ(socket.SendStr("hello"), 5);
  };
  Aim(socket, peer.Port());
  socket.Connect();
  EXPECT_EQ(socket.GetState(), wsConnecting);
  ASSERT_TRUE(PumpUntil([&] { return log.Has("closed 0"); })) << peer.Log();

  // The FD_WRITE that follows the connection and the one posted by Send each fire
  // OnDataSent; the data comes before the close, and the close before the state.
  EXPECT_EQ(log.Events, Expected({"state closed>opened", "state opened>connecting",
                                  "state connecting>connected", "connected 0", "sent 0", "sent 0",
                                  "data", "closed 0", "state connected>closed"}));
  EXPECT_EQ(log.Received, "world");
  EXPECT_EQ(socket.GetState(), wsClosed);
  EXPECT_EQ(socket.GetSocketHandle(), winsock::INVALID_SOCKET);
  EXPECT_TRUE(peer.WaitFor("got hello"));
}

TEST(WSocketConnect, RefusedPortReports10061ThenCloses) {
  const nettest::RefusingPort refusing;
  TWSocket socket(nullptr);
  EventLog log(socket);
  Aim(socket, refusing.Port());
  socket.Connect();
  ASSERT_TRUE(PumpUntil([&] { return log.Has("closed 0"); })) << ::testing::PrintToString(log.Events);
  EXPECT_EQ(log.Events,
            Expected({"state closed>opened", "state opened>connecting", "state connecting>connected",
                      "connected 10061", "state connected>closed", "closed 0"}));
  EXPECT_EQ(WSocketErrorDesc(10061), "Connection refused");
}

TEST(WSocketConnect, PeerResetReports10054Once) {
  PythonServer peer;
  ASSERT_TRUE(peer.Start(
      "import struct\n"
      "recv_exactly(c, 5)\n"
      "c.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack('ii', 1, 0))\n"
      "c.close()\n"
      "print('reset', flush=True)\n"));
  TWSocket socket(nullptr);
  EventLog log(socket);
  // Keep sending: the reset is met either by the next send or by the close
  // notification, and is reported once either way.
  const std::string chunk(65536, 'x');
  bool greeted = false;
  socket.OnDataSent = [&](TObject*, Word) {
    if (socket.GetState() != wsConnected) return;
    if (!greeted) {
      greeted = true;
      socket.SendStr("hello");
      return;
    }
    if (peer.Log().find("reset") != std::string::npos) socket.SendStr(chunk);
  };
  Aim(socket, peer.Port());
  socket.Connect();
  ASSERT_TRUE(PumpUntil([&] { return socket.GetState() == wsClosed && peer.Log().find("reset") != std::string::npos; }))
      << peer.Log();
  EXPECT_TRUE(larktest::PumpUntilIdle());
  EXPECT_EQ(log.Count("closed 10054"), 1) << ::testing::PrintToString(log.Events);
  EXPECT_EQ(log.Count("closed 0"), 0);
}

TEST(WSocketConnect, CloseFromThePeerDeliversEveryPendingByteFirst) {
  PythonServer peer;
  ASSERT_TRUE(peer.Start(
      "c.sendall(b'z' * 200000)\n"
      "c.close()\n"));
  TWSocket socket(nullptr);
  EventLog log(socket);
  size_t receivedAtClose = 0;
  auto closed = socket.OnSessionClosed;
  socket.OnSessionClosed = [&](TObject* sender, Word error) {
    receivedAtClose = log.Received.size();
    closed(sender, error);
  };
  Aim(socket, peer.Port());
  socket.Connect();
  ASSERT_TRUE(PumpUntil([&] { return log.Has("closed 0"); }));
  EXPECT_EQ(receivedAtClose, 200000u);
}

TEST(WSocketConnect, ReadAndCloseInOneNotificationDeliverTheDataFirst) {
  PythonServer peer;
  ASSERT_TRUE(peer.Start(
      "recv_exactly(c, 2)\n"
      "c.sendall(b'abc')\n"
      "c.close()\n"));
  ProbeSocket socket(nullptr);
  EventLog log(socket);
  Aim(socket, peer.Port());
  socket.Connect();
  ASSERT_TRUE(PumpUntil([&] { return log.Has("connected 0"); }));
  // From here on Winsock tells nothing; the test posts the notification itself.
  socket.Pause();
  socket.SendStr("go");
  char peek[3];
  ASSERT_TRUE(PumpUntil([&] { return socket.PeekData(peek, 3) == 3; }));
  log.Events.clear();
  socket.ClearSuspended();
  ASSERT_TRUE(PostMessage(socket.GetWindowHandle(), WM_ASYNCSELECT, socket.GetSocketHandle(),
                          winsock::WSAMAKESELECTREPLY(winsock::FD_READ | winsock::FD_CLOSE, 0)));
  larktest::PumpPending();
  EXPECT_EQ(log.Events, Expected({"data", "closed 0", "state connected>closed"}));
  EXPECT_EQ(log.Received, "abc");
}

TEST(WSocketConnect, NotificationNamingAnotherSocketIsIgnored) {
  PythonServer peer;
  ASSERT_TRUE(peer.Start("recv_exactly(c, 1)\n"));
  TWSocket socket(nullptr);
  EventLog log(socket);
  Aim(socket, peer.Port());
  socket.Connect();
  ASSERT_TRUE(PumpUntil([&] { return log.Has("connected 0"); }));
  log.Events.clear();
  PostMessage(socket.GetWindowHandle(), WM_ASYNCSELECT, socket.GetSocketHandle() + 1000,
              winsock::WSAMAKESELECTREPLY(winsock::FD_CLOSE, 0));
  larktest::PumpPending();
  EXPECT_TRUE(log.Events.empty()) << ::testing::PrintToString(log.Events);
  EXPECT_EQ(socket.GetState(), wsConnected);
}

TEST(WSocketConnect, AbortOfAConnectedSocketFiresSessionClosedOnce) {
  PythonServer peer;
  ASSERT_TRUE(peer.Start(
      "data = c.recv(10)\n"
      "print('eof' if data == b'' else 'data', flush=True)\n"));
  TWSocket socket(nullptr);
  EventLog log(socket);
  Aim(socket, peer.Port());
  socket.Connect();
  ASSERT_TRUE(PumpUntil([&] { return log.Has("connected 0"); }));
  log.Events.clear();
  socket.Abort();
  EXPECT_EQ(log.Events, Expected({"state connected>closed", "closed 0"}));
  EXPECT_EQ(socket.GetState(), wsClosed);
  EXPECT_TRUE(peer.WaitFor("eof"));
  EXPECT_TRUE(larktest::PumpUntilIdle());
  EXPECT_EQ(log.Count("closed 0"), 1);
}

TEST(WSocketConnect, CloseOfANeverOpenedSocketDoesNothing) {
  TWSocket socket(nullptr);
  EventLog log(socket);
  socket.Close();
  socket.Abort();
  larktest::PumpPending();
  EXPECT_TRUE(log.Events.empty());
  EXPECT_EQ(socket.GetState(), wsClosed);
}

TEST(WSocketConnect, AddrCanOnlyChangeWhileClosed) {
  PythonServer peer;
  ASSERT_TRUE(peer.Start("recv_exactly(c, 1)\n"));
  TWSocket socket(nullptr);
  EventLog log(socket);
  Aim(socket, peer.Port());
  EXPECT_EQ(socket.GetPeerAddr(), "error");
  EXPECT_EQ(socket.GetPeerPort(), "error");
  socket.Connect();
  ASSERT_TRUE(PumpUntil([&] { return log.Has("connected 0"); }));
  EXPECT_NO_THROW(socket.SetAddr("127.0.0.1"));
  EXPECT_NO_THROW(socket.SetPort(std::to_string(peer.Port())));
  try {
    socket.SetAddr("127.0.0.2");
    ADD_FAILURE() << "no exception";
  } catch (const ESocketException& e) {
    EXPECT_EQ(e.Message(), "Cannot change Addr if not closed");
  }
  EXPECT_THROW(socket.SetPort("81"), ESocketException);
  EXPECT_THROW(socket.SetLocalPort("81"), ESocketException);
  EXPECT_EQ(socket.GetPeerAddr(), "127.0.0.1");
  EXPECT_EQ(socket.GetPeerPort(), std::to_string(peer.Port()));
  EXPECT_EQ(socket.GetXAddr(), "127.0.0.1");
  EXPECT_NE(socket.GetXPort(), "error");
}

TEST(WSocketConnect, AfterACloseAddrAndPortMustBeSetAgain) {
  PythonServer peer;
  ASSERT_TRUE(peer.Start("c.close()\n"));
  TWSocket socket(nullptr);
  EventLog log(socket);
  Aim(socket, peer.Port());
  socket.Connect();
  ASSERT_TRUE(PumpUntil([&] { return log.Has("closed 0"); }));
  EXPECT_EQ(socket.GetAddr(), "127.0.0.1");
  EXPECT_EQ(socket.GetPort(), std::to_string(peer.Port()));
  try {
    socket.Connect();
    ADD_FAILURE() << "no exception";
  } catch (const ESocketException& e) {
    EXPECT_EQ(e.Message(), "Connect: No Port Specified");
  }
}

// A close-delayed message posted for one connection must not close the next one.
TEST(WSocketConnect, CloseDelayedPostedForAnEarlierConnectionIsDropped) {
  PythonServer peer;
  ASSERT_TRUE(peer.Start(
      "c2, _ = srv.accept()\n"
      "print('second', flush=True)\n"
      "c2.recv(10)\n"));
  TWSocket socket(nullptr);
  EventLog log(socket);
  Aim(socket, peer.Port());
  socket.Connect();
  ASSERT_TRUE(PumpUntil([&] { return log.Has("connected 0"); }));
  socket.CloseDelayed();
  socket.Close();
  Aim(socket, peer.Port());
  socket.Connect();
  ASSERT_TRUE(PumpUntil([&] { return log.Count("connected 0") == 2; }));
  EXPECT_TRUE(larktest::PumpUntilIdle());
  EXPECT_EQ(socket.GetState(), wsConnected);
  EXPECT_EQ(log.Count("closed 0"), 1);
  EXPECT_TRUE(peer.WaitFor("second"));
}

TEST(WSocketConnect, CloseDelayedTwiceClosesOnce) {
  PythonServer peer;
  ASSERT_TRUE(peer.Start("c.recv(10)\n"));
  TWSocket socket(nullptr);
  EventLog log(socket);
  Aim(socket, peer.Port());
  socket.Connect();
  ASSERT_TRUE(PumpUntil([&] { return log.Has("connected 0"); }));
  socket.CloseDelayed();
  socket.CloseDelayed();
  EXPECT_EQ(socket.GetState(), wsConnected);
  ASSERT_TRUE(PumpUntil([&] { return socket.GetState() == wsClosed; }));
  EXPECT_TRUE(larktest::PumpUntilIdle());
  EXPECT_EQ(log.Count("closed 0"), 1);
}

// A handler of OnSessionClosed that connects again keeps that connection, however
// the first one ended: closed here, closed by the peer (the close notification), or
// failed by a send before it was connected (Winsock's "not connected").
enum class FirstEnd { LocalClose, PeerClose, SendBeforeConnected };

struct ReconnectCase {
  const char* name;
  FirstEnd end;
  const char* closedEvent;
};

void PrintTo(const ReconnectCase& c, std::ostream* os) { *os << c.name; }

class WSocketReconnect : public ::testing::TestWithParam<ReconnectCase> {};

TEST_P(WSocketReconnect, FromOnSessionClosedKeepsTheNewConnection) {
  const ReconnectCase& c = GetParam();
  PythonServer peer;
  // The first connection the peer accepts may be either of the two when the first
  // was dropped before it was established; it waits for the client on both.
  ASSERT_TRUE(peer.Start(std::string(c.end == FirstEnd::PeerClose ? "c.close()\n"
                                                                   : "try:\n"
                                                                     "  c.recv(10)\n"
                                                                     "except OSError:\n"
                                                                     "  pass\n") +
                         "c2, _ = srv.accept()\n"
                         "print('second', flush=True)\n"
                         "c2.recv(10)\n"));
  TWSocket socket(nullptr);
  EventLog log(socket);
  int errors = 0;
  socket.OnError = [&](TObject*) { ++errors; };
  auto closed = socket.OnSessionClosed;
  bool reconnected = false;
  TSocketState stateAfterReconnect = wsInvalidState;
  size_t eventsAtReconnect = 0;
  socket.OnSessionClosed = [&](TObject* sender, Word error) {
    closed(sender, error);
    if (reconnected) return;
    reconnected = true;
    // The close notification reports before the socket is closed.
    if (socket.GetState() != wsClosed) socket.Close();
    Aim(socket, peer.Port());
    socket.Connect();
    stateAfterReconnect = socket.GetState();
    eventsAtReconnect = log.Events.size();
  };
  Aim(socket, peer.Port());
  socket.Connect();
  switch (c.end) {
    case FirstEnd::LocalClose:
      ASSERT_TRUE(PumpUntil([&] { return log.Has("connected 0"); }));
      socket.Close();
      break;
    case FirstEnd::PeerClose:
      ASSERT_TRUE(PumpUntil([&] { return reconnected; }));
      break;
    case FirstEnd::SendBeforeConnected:
      ASSERT_EQ(socket.GetState(), wsConnecting);
      EXPECT_EQ(socket.SendStr("early"), -1);
      EXPECT_EQ(errors, 1);
      EXPECT_EQ(socket.GetLastError(), 10057);
      break;
  }
  ASSERT_TRUE(reconnected);
  EXPECT_EQ(stateAfterReconnect, wsConnecting);
  // Nothing after the handler touches the new connection.
  if (c.end != FirstEnd::PeerClose) {
    EXPECT_EQ(socket.GetState(), wsConnecting) << ::testing::PrintToString(log.Events);
  }
  ASSERT_TRUE(PumpUntil([&] { return socket.GetState() == wsConnected && log.Has("connected 0"); }))
      << ::testing::PrintToString(log.Events);
  EXPECT_TRUE(peer.WaitFor("second")) << peer.Log();
  EXPECT_TRUE(larktest::PumpUntilIdle());
  EXPECT_EQ(socket.GetState(), wsConnected) << ::testing::PrintToString(log.Events);
  EXPECT_EQ(log.Count(c.closedEvent), 1) << ::testing::PrintToString(log.Events);
  // After the handler the new connection only ever moved on to connected.
  for (size_t i = eventsAtReconnect; i < log.Events.size(); ++i)
    EXPECT_EQ(log.Events[i].find("closed"), std::string::npos) << ::testing::PrintToString(log.Events);
}

INSTANTIATE_TEST_SUITE_P(
    FirstConnectionEnds, WSocketReconnect,
    ::testing::Values(ReconnectCase{"LocalClose", FirstEnd::LocalClose, "closed 0"},
                      ReconnectCase{"PeerClose", FirstEnd::PeerClose, "closed 0"},
                      ReconnectCase{"SendBeforeConnected", FirstEnd::SendBeforeConnected, "closed 10057"}),
    [](const ::testing::TestParamInfo<ReconnectCase>& info) { return std::string(info.param.name); });

// A handler of OnSessionConnected told of a refusal that connects elsewhere keeps
// the new connection.
TEST(WSocketConnect, ReconnectFromOnSessionConnectedAfterARefusalKeepsTheNewConnection) {
  const nettest::RefusingPort refusing;
  PythonServer peer;
  ASSERT_TRUE(peer.Start(
      "print('accepted', flush=True)\n"
      "c.recv(10)\n"));
  TWSocket socket(nullptr);
  EventLog log(socket);
  auto connected = socket.OnSessionConnected;
  bool reconnected = false;
  socket.OnSessionConnected = [&](TObject* sender, Word error) {
    connected(sender, error);
    if (error == 0 || reconnected) return;
    reconnected = true;
    socket.Close();
    Aim(socket, peer.Port());
    socket.Connect();
  };
  Aim(socket, refusing.Port());
  socket.Connect();
  ASSERT_TRUE(PumpUntil([&] { return reconnected; }));
  ASSERT_TRUE(PumpUntil([&] { return log.Has("connected 0"); })) << ::testing::PrintToString(log.Events);
  EXPECT_TRUE(peer.WaitFor("accepted"));
  EXPECT_TRUE(larktest::PumpUntilIdle());
  EXPECT_EQ(socket.GetState(), wsConnected) << ::testing::PrintToString(log.Events);
  EXPECT_EQ(log.Count("connected 10061"), 1);
  EXPECT_EQ(log.Count("closed 0"), 1) << ::testing::PrintToString(log.Events);
}

struct ConnectRefusal {
  const char* name;
  const char* addr;
  const char* port;
  const char* message;
};

class WSocketConnectRefusals : public ::testing::TestWithParam<ConnectRefusal> {};

void PrintTo(const ConnectRefusal& c, std::ostream* os) { *os << c.name; }

TEST_P(WSocketConnectRefusals, RaiseOrFireOnError) {
  const ConnectRefusal& c = GetParam();
  sim::SetNameResolver([](const std::string&) {
    sim::ResolverAnswer answer;
    answer.error = 11001;
    return answer;
  });
  TWSocket socket(nullptr);
  if (*c.addr) socket.SetAddr(c.addr);
  if (*c.port) socket.SetPort(c.port);
  try {
    socket.Connect();
    ADD_FAILURE() << "no exception";
  } catch (const ESocketException& e) {
    EXPECT_EQ(e.Message(), c.message);
  }
  EXPECT_EQ(socket.GetState(), wsClosed);

  int errors = 0;
  socket.OnError = [&](TObject* sender) {
    EXPECT_EQ(sender, &socket);
    ++errors;
  };
  EXPECT_NO_THROW(socket.Connect());
  EXPECT_EQ(errors, 1);
  sim::SetNameResolver(nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    WSocketConnect, WSocketConnectRefusals,
    ::testing::Values(
        ConnectRefusal{"NoPort", "127.0.0.1", "", "Connect: No Port Specified"},
        ConnectRefusal{"NoAddr", "", "80", "Connect: No IP Address Specified"},
        ConnectRefusal{"PortBeyond65535", "127.0.0.1", "70000",
                       "connect: WSocketResolvePort: Invalid Port."},
        ConnectRefusal{"UnknownService", "127.0.0.1", "no-such-service-here",
                       "connect: WSocketResolvePort: Cannot convert port 'no-such-service-here', "
                       "Error #11004"},
        ConnectRefusal{"UnknownHost", "feeds.invalid", "80",
                       "connect: WSocketResolveHost: Cannot convert host address 'feeds.invalid', "
                       "Error #11001"},
        ConnectRefusal{"BadDottedAddress", "10.0.0.256", "80",
                       "connect: WSocketResolveHost: Cannot convert host address '10.0.0.256', "
                       "Error #11001"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(WSocketConnect, SecondConnectWhileConnectedIsRefused) {
  PythonServer peer;
  ASSERT_TRUE(peer.Start("c.recv(10)\n"));
  TWSocket socket(nullptr);
  EventLog log(socket);
  Aim(socket, peer.Port());
  socket.Connect();
  ASSERT_TRUE(PumpUntil([&] { return log.Has("connected 0"); }));
  try {
    socket.Connect();
    ADD_FAILURE() << "no exception";
  } catch (const ESocketException& e) {
    EXPECT_EQ(e.Message(), "Connect: Socket already in use");
  }
  EXPECT_EQ(socket.GetState(), wsConnected);
}

TEST(WSocketConnect, SendWhenNotConnectedReports10057AndQueuesNothing) {
  TWSocket socket(nullptr);
  int errors = 0;
  socket.OnError = [&](TObject*) { ++errors; };
  EXPECT_EQ(socket.SendStr("lost"), -1);
  EXPECT_EQ(errors, 1);
  EXPECT_EQ(socket.GetLastError(), 10057);

  TWSocket raising(nullptr);
  try {
    raising.SendStr("lost");
    ADD_FAILURE() << "no exception";
  } catch (const ESocketException& e) {
    EXPECT_EQ(e.Message(), "Error 10057 in function Send\r\nSocket is not connected");
  }
}

}  // namespace
