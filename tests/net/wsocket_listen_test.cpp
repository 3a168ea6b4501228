// Serving: Listen, Accept and Dup with python3 clients on 127.0.0.1.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "net/WSocket.h"
#include "platform/sim/Winsock.h"
#include "tests/net/net_test_support.h"
#include "tests/support/Peers.h"
#include "tests/support/Pump.h"

namespace {

using larktest::PumpUntil;
using nettest::EventLog;

// A listening socket whose accepted connections answer "pong:" + what they read.
struct EchoServer {
  // The logs go last: the sockets still report while they are freed.
  std::vector<std::string> log;
  std::vector<std::string> peers;
  TWSocket listener{nullptr};
  std::vector<std::unique_ptr<TWSocket>> clients;

  EchoServer() {
    listener.OnChangeState = [this](TObject*, TSocketState, TSocketState to) {
      log.push_back("state " + nettest::StateName(to));
    };
    listener.OnSessionAvailable = [this](TObject*, Word error) {
      log.push_back("available " + std::to_string(error));
      auto client = std::make_unique<TWSocket>(nullptr);
      TWSocket* c = client.get();
      c->OnDataAvailable = [this, c](TObject*, Word) {
        char buffer[256];
        const Integer n = c->Receive(buffer, sizeof buffer);
        if (n > 0) c->SendStr("pong:" + std::string(buffer, static_cast<size_t>(n)));
      };
      c->OnSessionClosed = [this](TObject*, Word error) {
        log.push_back("client closed " + std::to_string(error));
      };
      c->Dup(listener.Accept());
      log.push_back("dup " + nettest::StateName(c->GetState()));
      peers.push_back(c->GetPeerAddr());
      clients.push_back(std::move(client));
    };
  }
};

TEST(WSocketListen, ListenAcceptAndDupServeRealClients) {
  EchoServer server;
  server.listener.SetAddr("127.0.0.1");
  server.listener.SetPort("0");
  server.listener.Listen();
  EXPECT_EQ(server.listener.GetState(), wsListening);
  EXPECT_EQ(server.log, (std::vector<std::string>{"state bound", "state listening"}));
  const std::string port = server.listener.GetXPort();
  ASSERT_NE(port, "error");
  ASSERT_NE(port, "0");

  // Two clients one after the other: the listener keeps accepting.
  for (int round = 0; round < 2; ++round) {
    larktest::PeerProcess client;
    ASSERT_TRUE(nettest::StartPythonClient(client, static_cast<uint16_t>(std::stoi(port)),
                                           "c.sendall(b'ping')\n"
                                           "print('answer ' + recv_exactly(c, 9).decode(), flush=True)\n"
                                           "c.close()\n"));
    ASSERT_TRUE(PumpUntil([&] { return server.clients.size() == static_cast<size_t>(round + 1); }));
    ASSERT_TRUE(PumpUntil([&] { return client.Log().find("answer pong:ping") != std::string::npos; }))
        << client.Log();
    ASSERT_TRUE(PumpUntil([&] { return server.clients.back()->GetState() == wsClosed; }));
  }
  EXPECT_EQ(server.log,
            (std::vector<std::string>{"state bound", "state listening", "available 0",
                                      "dup connected", "client closed 0", "available 0",
                                      "dup connected", "client closed 0"}));
  EXPECT_EQ(server.peers, (std::vector<std::string>{"127.0.0.1", "127.0.0.1"}));
}

TEST(WSocketListen, FailedBindReportsAndLeavesNoSocketBehind) {
  TWSocket first(nullptr);
  first.SetAddr("127.0.0.1");
  first.SetPort("0");
  first.Listen();
  ASSERT_EQ(first.GetState(), wsListening);
  const int openSockets = sim::WinsockOpenSockets();

  TWSocket second(nullptr);
  int errors = 0;
  second.OnError = [&](TObject*) { ++errors; };
  second.SetAddr("127.0.0.1");
  second.SetPort(first.GetXPort());
  second.Listen();
  EXPECT_EQ(errors, 1);
  EXPECT_EQ(second.GetLastError(), 10048);
  EXPECT_EQ(second.GetState(), wsClosed);
  EXPECT_EQ(sim::WinsockOpenSockets(), openSockets);

  // Without OnError the failure raises, and the socket is closed all the same.
  TWSocket third(nullptr);
  third.SetAddr("127.0.0.1");
  third.SetPort(first.GetXPort());
  try {
    third.Listen();
    ADD_FAILURE() << "no exception";
  } catch (const ESocketException& e) {
    EXPECT_EQ(e.Message(), "Error 10048 in function Bind\r\nAddress already in use");
  }
  EXPECT_EQ(sim::WinsockOpenSockets(), openSockets);
}

TEST(WSocketListen, AcceptOnASocketThatDoesNotListenIsRefused) {
  TWSocket socket(nullptr);
  int errors = 0;
  socket.OnError = [&](TObject*) { ++errors; };
  EXPECT_EQ(socket.Accept(), winsock::INVALID_SOCKET);
  EXPECT_EQ(errors, 1);
  EXPECT_EQ(socket.GetLastError(), 10022);
}

TEST(WSocketListen, ListenNeedsPortAndAddress) {
  TWSocket socket(nullptr);
  try {
    socket.Listen();
    ADD_FAILURE() << "no exception";
  } catch (const ESocketException& e) {
    EXPECT_EQ(e.Message(), "Error 10022 in function listen: port not assigned\r\nInvalid argument");
  }
  socket.SetPort("0");
  try {
    socket.Listen();
    ADD_FAILURE() << "no exception";
  } catch (const ESocketException& e) {
    EXPECT_EQ(e.Message(), "Error 10022 in function listen: address not assigned\r\nInvalid argument");
  }
}

TEST(WSocketListen, DupOfNoSocketIsRefused) {
  TWSocket socket(nullptr);
  EventLog log(socket);
  int errors = 0;
  socket.OnError = [&](TObject*) { ++errors; };
  socket.Dup(winsock::INVALID_SOCKET);
  socket.Dup(0);
  EXPECT_EQ(errors, 2);
  EXPECT_EQ(socket.GetLastError(), 10022);
  EXPECT_EQ(socket.GetState(), wsClosed);
}

// The socket handed to Dup belongs to the component from then on: when the old
// socket cannot be closed, the new one is closed rather than left open with no
// owner (its peer sees the end of the connection).
TEST(WSocketListen, DupThatCannotCloseTheOldSocketClosesTheNewOne) {
  TWSocket listener(nullptr);
  listener.SetAddr("127.0.0.1");
  listener.SetPort("0");
  winsock::SOCKET accepted = winsock::INVALID_SOCKET;
  listener.OnSessionAvailable = [&](TObject*, Word) { accepted = listener.Accept(); };
  listener.Listen();
  ASSERT_EQ(listener.GetState(), wsListening);
  larktest::PeerProcess client;
  ASSERT_TRUE(nettest::StartPythonClient(client, static_cast<uint16_t>(std::stoi(listener.GetXPort())),
                                         "data = c.recv(10)\n"
                                         "print('eof' if data == b'' else 'data', flush=True)\n"));
  ASSERT_TRUE(PumpUntil([&] { return accepted != winsock::INVALID_SOCKET; }));

  // A socket whose handle was closed behind its back: closing it again fails.
  TWSocket socket(nullptr);
  socket.SetAddr("127.0.0.1");
  socket.SetPort("0");
  socket.Listen();
  ASSERT_EQ(winsock::closesocket(socket.GetSocketHandle()), 0);
  const int openSockets = sim::WinsockOpenSockets();
  int errors = 0;
  socket.OnError = [&](TObject*) { ++errors; };
  socket.Dup(accepted);
  EXPECT_EQ(errors, 1);
  EXPECT_EQ(socket.GetLastError(), 10038);
  EXPECT_EQ(socket.GetSocketHandle(), winsock::INVALID_SOCKET);
  EXPECT_EQ(sim::WinsockOpenSockets(), openSockets - 1);
  EXPECT_TRUE(client.WaitForOutput("eof", 10000)) << client.Log();
}

TEST(WSocketListen, UdpListenerReceivesDatagrams) {
  TWSocket receiver(nullptr);
  EventLog log(receiver);
  receiver.SetProto("udp");
  receiver.SetAddr("127.0.0.1");
  receiver.SetPort("0");
  receiver.Listen();
  EXPECT_EQ(log.Events, (std::vector<std::string>{"state closed>bound", "state bound>listening",
                                                  "state listening>connected", "connected 0"}));
  TWSocket sender(nullptr);
  sender.SetProto("udp");
  sender.SetAddr("127.0.0.1");
  sender.SetPort(receiver.GetXPort());
  sender.Connect();
  ASSERT_EQ(sender.GetState(), wsConnected);
  EXPECT_EQ(sender.SendStr("datagram"), 8);
  ASSERT_TRUE(PumpUntil([&] { return log.Received == "datagram"; })) << log.Received;
}

}  // namespace

namespace {

// An HTTP/1.0 answer from a listening TWSocket to curl: what a real client sees of
// Listen, Accept, Dup, the send queue and the end of sending.
TEST(WSocketListen, ServesCurlAWholeAnswer) {
  const std::string curl = larktest::RequireProgram("curl");
  if (curl.empty()) return;
  const std::string body(100000, 'x');
  TWSocket listener(nullptr);
  std::unique_ptr<TWSocket> served;
  std::string request;
  bool answered = false;
  listener.OnSessionAvailable = [&](TObject*, Word) {
    served = std::make_unique<TWSocket>(nullptr);
    TWSocket* c = served.get();
    c->OnDataAvailable = [&, c](TObject*, Word) {
      request += c->ReceiveStr();
      if (answered || request.find("\r\n\r\n") == std::string::npos) return;
      answered = true;
      // Once everything queued is with the system, end the sending side: the peer
      // reads it all and closes. (A close here would reset the connection, as the
      // default linger setting asks, and could lose what is still in flight.)
      c->OnDataSent = [c](TObject*, Word) { c->Shutdown(1); };
      c->SendStr("HTTP/1.0 200 OK\r\nContent-Length: " + std::to_string(body.size()) +
                 "\r\nContent-Type: text/plain\r\n\r\n" + body);
    };
    c->Dup(listener.Accept());
  };
  listener.SetAddr("127.0.0.1");
  listener.SetPort("0");
  listener.Listen();
  const std::string port = listener.GetXPort();

  larktest::TempDir dir;
  larktest::PeerProcess client;
  ASSERT_TRUE(client.Start({curl, "-s", "-o", dir.Path() + "body", "-w", "status=%{http_code}",
                            "http://127.0.0.1:" + port + "/feed.xml"}));
  ASSERT_TRUE(PumpUntil([&] { return !client.Running(); }, 20000)) << client.Log();
  EXPECT_NE(client.Log().find("status=200"), std::string::npos) << client.Log();
  EXPECT_EQ(request.rfind("GET /feed.xml HTTP/1.1\r\n", 0), 0u) << request;
  std::string received;
  if (FILE* f = std::fopen((dir.Path() + "body").c_str(), "rb")) {
    char buffer[65536];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) received.append(buffer, n);
    std::fclose(f);
  }
  EXPECT_EQ(received.size(), body.size());
  EXPECT_TRUE(received == body);
  EXPECT_TRUE(PumpUntil([&] { return served->GetState() == wsClosed; }));
  listener.Close();
}

}  // namespace
