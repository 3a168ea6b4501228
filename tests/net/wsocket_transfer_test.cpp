// The send queue and the receive loop: block shapes, OnDataSent from the loop, and a
// large transfer to a slow python3 reader and back.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "net/WSocket.h"
#include "tests/net/net_test_support.h"
#include "tests/support/Pump.h"

namespace {

using larktest::PumpUntil;
using nettest::EventLog;
using nettest::PythonServer;

void Aim(TCustomWSocket& socket, uint16_t port) {
  socket.SetAddr("127.0.0.1");
  socket.SetPort(std::to_string(port));
}

// Connects and waits for the OnDataSent that follows every connection.
void ConnectAndSettle(TWSocket& socket, EventLog& log, uint16_t port) {
  Aim(socket, port);
  socket.Connect();
  ASSERT_TRUE(PumpUntil([&] { return log.Has("sent 0"); }));
  log.Events.clear();
}

TEST(WSocketSendQueue, SendQueuesWholeBlocksAndReportsTheDrainFromTheLoop) {
  PythonServer peer;
  ASSERT_TRUE(peer.Start("print('got %d' % len(recv_exactly(c, 3000)), flush=True)\n"));
  TWSocket socket(nullptr);
  EventLog log(socket);
  ConnectAndSettle(socket, log, peer.Port());
  log.LogSendData = true;
  const std::string data = nettest::RandomBytes(3000, 1);
  EXPECT_EQ(socket.Send(data.data(), 3000), 3000);
  // One send per block; OnDataSent only later, from the message loop.
  EXPECT_EQ(log.Events, (std::vector<std::string>{"senddata 1460", "senddata 1460", "senddata 80"}));
  ASSERT_TRUE(PumpUntil([&] { return log.Has("sent 0"); }));
  EXPECT_TRUE(larktest::PumpUntilIdle());
  EXPECT_EQ(log.Count("sent 0"), 1);
  EXPECT_TRUE(peer.WaitFor("got 3000"));
}

TEST(WSocketSendQueue, SendOfNothingFlushesWhatIsQueued) {
  PythonServer peer;
  ASSERT_TRUE(peer.Start("print('got ' + recv_exactly(c, 3).decode(), flush=True)\n"));
  TWSocket socket(nullptr);
  EventLog log(socket);
  ConnectAndSettle(socket, log, peer.Port());
  socket.PutStringInSendBuffer("abc");
  EXPECT_TRUE(peer.Process().Running());
  EXPECT_EQ(socket.Send(nullptr, 0), 0);
  EXPECT_TRUE(peer.WaitFor("got abc"));
  ASSERT_TRUE(PumpUntil([&] { return log.Has("sent 0"); }));
  EXPECT_EQ(socket.SendStr(""), 0);
}

TEST(WSocketSendQueue, WithoutAHandlerArrivingDataIsReadAndDropped) {
  PythonServer peer;
  ASSERT_TRUE(peer.Start(
      "c.sendall(b'q' * 5000)\n"
      "print('sent', flush=True)\n"
      "recv_exactly(c, 1)\n"
      "c.sendall(b'after')\n"
      "recv_exactly(c, 1)\n"));
  TWSocket socket(nullptr);
  EventLog log(socket);
  const TDataAvailable reader = socket.OnDataAvailable;
  socket.OnDataAvailable = nullptr;
  ConnectAndSettle(socket, log, peer.Port());
  ASSERT_TRUE(peer.WaitFor("sent"));
  ASSERT_TRUE(PumpUntil([&] { return socket.GetRcvdCount() == 0; }));
  EXPECT_TRUE(larktest::PumpUntilIdle());
  EXPECT_EQ(socket.GetRcvdCount(), 0);
  EXPECT_EQ(socket.GetReadCount(), 0);
  // Once a handler is there, what comes next is delivered, and nothing of before.
  socket.OnDataAvailable = reader;
  socket.SendStr("!");
  ASSERT_TRUE(PumpUntil([&] { return log.Received.size() >= 5; }));
  EXPECT_EQ(log.Received, "after");
  EXPECT_EQ(socket.GetState(), wsConnected);
}

TEST(WSocketSendQueue, FlushPumpsUntilTheQueueIsHandedOver) {
  const size_t size = 8 << 20;
  PythonServer peer;
  ASSERT_TRUE(peer.Start(
      "total = int(sys.argv[1])\n"
      "got = 0\n"
      "while got < total:\n"
      "    data = c.recv(65536)\n"
      "    if not data: break\n"
      "    got += len(data)\n"
      "    time.sleep(0.0005)\n"
      "print('got %d' % got, flush=True)\n",
      {std::to_string(size)}));
  TWSocket socket(nullptr);
  EventLog log(socket);
  ConnectAndSettle(socket, log, peer.Port());
  const std::string data = nettest::RandomBytes(size, 2);
  EXPECT_EQ(socket.Send(data.data(), static_cast<Integer>(size)), static_cast<Integer>(size));
  socket.Flush();
  EXPECT_EQ(socket.GetState(), wsConnected);
  EXPECT_TRUE(peer.WaitFor("got " + std::to_string(size), 60000)) << peer.Log();
}

// 64 MB of random bytes go through the queue to a reader that starts slowly (so the
// queue backs up and sending waits for FD_WRITE), come back, and match.
TEST(WSocketTransfer, LargeTransferToASlowReaderAndBackIsByteExact) {
  const size_t size = 64u << 20;
  PythonServer peer;
  ASSERT_TRUE(peer.Start(
      "total = int(sys.argv[1])\n"
      "slow = 4 << 20\n"
      "h = hashlib.sha256()\n"
      "got = 0\n"
      "while got < total:\n"
      "    data = c.recv(4096 if got < slow else 262144)\n"
      "    if not data: break\n"
      "    h.update(data)\n"
      "    c.sendall(data)\n"
      "    got += len(data)\n"
      "    if got < slow: time.sleep(0.001)\n"
      "print('sha ' + h.hexdigest(), flush=True)\n"
      "c.close()\n",
      {std::to_string(size)}));
  TWSocket socket(nullptr);
  EventLog log(socket);
  log.Received.reserve(size);
  const std::string data = nettest::RandomBytes(size, 64);
  auto connected = socket.OnSessionConnected;
  Integer answer = 0;
  socket.OnSessionConnected = [&](TObject* sender, Word error) {
    connected(sender, error);
    answer = socket.Send(data.data(), static_cast<Integer>(size));
  };
  Aim(socket, peer.Port());
  socket.Connect();
  ASSERT_TRUE(PumpUntil([&] { return log.Has("closed 0"); }, 60000))
      << log.Received.size() << " bytes back\n" << peer.Log();
  EXPECT_EQ(answer, static_cast<Integer>(size));
  ASSERT_EQ(log.Received.size(), size);
  EXPECT_TRUE(log.Received == data) << "the bytes that came back differ";
  EXPECT_EQ(socket.GetReadCount(), 0);  // reset by the close
  EXPECT_TRUE(peer.WaitFor("sha " + nettest::Sha256Hex(data))) << peer.Log();
}

}  // namespace
