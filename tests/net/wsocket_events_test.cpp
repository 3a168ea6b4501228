// Exceptions met while a socket handles its messages, Pause and Resume, Release,
// and moving a socket to another thread.
#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "net/WSocket.h"
#include "platform/win/Messages.h"
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

class WSocketEvents : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(peer.Start(
        "c.sendall(b'hello')\n"
        "recv_exactly(c, 1)\n"
        "c.sendall(b'again')\n"
        "recv_exactly(c, 1)\n"));
  }
  void ConnectAndSettle() {
    Aim(socket, peer.Port());
    socket.Connect();
    ASSERT_TRUE(PumpUntil([&] { return log.Has("sent 0") && log.Received == "hello"; }))
        << ::testing::PrintToString(log.Events);
    log.Events.clear();
    log.Received.clear();
  }

  PythonServer peer;
  TWSocket socket{nullptr};
  EventLog log{socket};
};

TEST_F(WSocketEvents, TestExceptionReachesOnBgExceptionAndAbortsTheSocket) {
  ConnectAndSettle();
  PostMessage(socket.GetWindowHandle(), WM_TRIGGER_EXCEPTION, 0, 0);
  larktest::PumpPending();
  EXPECT_EQ(log.Events, (std::vector<std::string>{"bg Test exception in WSocket",
                                                  "state connected>closed", "closed 0"}));
}

TEST_F(WSocketEvents, HandlerExceptionReachesOnBgExceptionWhichMayKeepTheSocketOpen) {
  socket.OnSessionConnected = [](TObject*, Word) { throw Exception("connected handler failed"); };
  socket.OnBgException = [&](TObject* sender, Exception* e, bool& canClose) {
    EXPECT_EQ(sender, &socket);
    log.Events.push_back("bg " + e->Message());
    canClose = false;
  };
  Aim(socket, peer.Port());
  socket.Connect();
  ASSERT_TRUE(PumpUntil([&] { return log.Has("bg connected handler failed"); }));
  ASSERT_TRUE(PumpUntil([&] { return log.Received == "hello"; }));
  EXPECT_EQ(socket.GetState(), wsConnected);
}

TEST_F(WSocketEvents, ExceptionOfTheBgHandlerItselfIsIgnored) {
  ConnectAndSettle();
  socket.OnBgException = [](TObject*, Exception*, bool&) { throw Exception("again"); };
  PostMessage(socket.GetWindowHandle(), WM_TRIGGER_EXCEPTION, 0, 0);
  EXPECT_NO_THROW(larktest::PumpPending());
  EXPECT_EQ(socket.GetState(), wsClosed);
}

TEST_F(WSocketEvents, DataHandlerExceptionStaysInsideTheReceiveLoop) {
  ConnectAndSettle();
  int calls = 0;
  socket.OnDataAvailable = [&](TObject*, Word) {
    ++calls;
    char buffer[16];
    socket.Receive(buffer, sizeof buffer);
    throw Exception("data handler failed");
  };
  socket.SendStr("!");
  EXPECT_NO_THROW(PumpUntil([&] { return calls > 0; }));
  EXPECT_EQ(calls, 1);
  EXPECT_FALSE(log.Has("bg data handler failed"));
  EXPECT_EQ(socket.GetState(), wsConnected);
}

TEST_F(WSocketEvents, ForeignExceptionsPassOnToTheMessageLoop) {
  ConnectAndSettle();
  socket.OnDataSent = [](TObject*, Word) { throw std::runtime_error("not ours"); };
  socket.SendStr("!");
  EXPECT_THROW(PumpUntil([] { return false; }, 200), std::runtime_error);
}

TEST_F(WSocketEvents, PauseHoldsNotificationsBackUntilResume) {
  ConnectAndSettle();
  socket.Pause();
  socket.SendStr("!");
  char peek[5];
  ASSERT_TRUE(PumpUntil([&] { return socket.PeekData(peek, 5) == 5; }));
  EXPECT_TRUE(larktest::PumpUntilIdle());
  EXPECT_FALSE(log.Has("data"));
  socket.Resume();
  ASSERT_TRUE(PumpUntil([&] { return log.Received == "again"; }));
}

TEST_F(WSocketEvents, ReleaseFreesTheSocketFromTheLoop) {
  auto* doomed = new TWSocket(nullptr);
  bool freed = false;
  struct Watch : TComponent {
    bool& flag;
    Watch(bool& f) : TComponent(nullptr), flag(f) {}
    void Notification(TComponent*, TOperation operation) override {
      if (operation == opRemove) flag = true;
    }
  } watch(freed);
  doomed->FreeNotification(&watch);
  doomed->Release();
  EXPECT_FALSE(freed);
  larktest::PumpPending();
  EXPECT_TRUE(freed);
}

TEST_F(WSocketEvents, ThreadDetachAndAttachMoveTheSocketToAnotherThread) {
  ConnectAndSettle();
  socket.ThreadDetach();
  EXPECT_EQ(socket.GetWindowHandle(), 0u);
  std::atomic<bool> done{false};
  std::string received;
  std::thread worker([&] {
    socket.OnDataAvailable = [&](TObject*, Word) {
      char buffer[16];
      const Integer n = socket.Receive(buffer, sizeof buffer);
      if (n > 0) received.append(buffer, static_cast<size_t>(n));
      if (received == "again") done = true;
    };
    socket.ThreadAttach();
    socket.SendStr("!");
    PumpUntil([&] { return done.load(); }, 5000);
    socket.ThreadDetach();
  });
  worker.join();
  EXPECT_TRUE(done);
  EXPECT_EQ(received, "again");
  socket.OnDataAvailable = nullptr;
  socket.ThreadAttach();
  try {
    socket.ThreadAttach();
    ADD_FAILURE() << "no exception";
  } catch (const ESocketException& e) {
    EXPECT_EQ(e.Message(), "Cannot attach when not detached");
  }
}

}  // namespace
