// The run-time binding of Winsock: loading at first use, the reference count,
// forced loading, the requested version and the loader's failures.
#include <gtest/gtest.h>

#include <string>

#include "net/WSocket.h"
#include "platform/sim/Modules.h"
#include "platform/sim/Winsock.h"
#include "tests/net/wsocket_test_support.h"

namespace {

// Starts from an unloaded Winsock with nothing hidden, and leaves it so.
class SocketBinding : public ::testing::Test {
 protected:
  void SetUp() override {
    sim::ResetModuleFaults();
    ASSERT_EQ(WSocketGCount, 0);
    WSocketUnloadWinsock();
    ASSERT_EQ(sim::ModuleLoadCount("wsock32.dll"), 0);
    loadsBefore = sim::ModuleLoadTimes("wsock32.dll");
  }
  void TearDown() override {
    sim::ResetModuleFaults();
    GReqVerLow = 1;
    GReqVerHigh = 1;
    WSocketUnloadWinsock();
  }
  int Loads() const { return sim::ModuleLoadTimes("wsock32.dll") - loadsBefore; }
  static bool Loaded() { return sim::ModuleLoadCount("wsock32.dll") > 0; }

  int loadsBefore = 0;
};

using wsockettest::RaisedMessage;

TEST_F(SocketBinding, SocketsLoadAtFirstUseAndUnloadWithTheLast) {
  {
    TWSocket first(nullptr);
    EXPECT_EQ(WSocketGCount, 1);
    EXPECT_FALSE(Loaded());
    first.SetAddr("127.0.0.1");
    first.SetPort("0");
    first.Listen();
    EXPECT_TRUE(Loaded());
    EXPECT_EQ(sim::WinsockStartupCount(), 1);
    {
      TWSocket second(nullptr);
      second.SetProto("udp");
      second.SetAddr("127.0.0.1");
      second.SetPort("0");
      second.Listen();
      EXPECT_EQ(WSocketGCount, 2);
    }
    EXPECT_TRUE(Loaded());
  }
  EXPECT_EQ(WSocketGCount, 0);
  EXPECT_FALSE(Loaded());
  EXPECT_EQ(sim::WinsockStartupCount(), 0);
  EXPECT_EQ(Loads(), 1);
}

TEST_F(SocketBinding, WrappersHoldACountOnlyForTheirCall) {
  EXPECT_EQ(WSocket_htons(0x1234), 0x3412);
  EXPECT_EQ(WSocketGCount, 0);
  // The wrapper loaded Winsock, and nothing unloads it until asked.
  EXPECT_TRUE(Loaded());
  WSocketUnloadWinsock();
  EXPECT_FALSE(Loaded());
}

TEST_F(SocketBinding, ForcedLoadCountsOnceAndHoldsUntilCancelled) {
  WSocketCancelForceLoadWinsock();  // without a forced load: nothing
  EXPECT_EQ(WSocketGCount, 0);
  WSocketForceLoadWinsock();
  WSocketForceLoadWinsock();
  EXPECT_TRUE(WSocketGForced);
  EXPECT_EQ(WSocketGCount, 1);
  EXPECT_TRUE(Loaded());
  {
    TWSocket socket(nullptr);
  }
  EXPECT_TRUE(Loaded());
  WSocketCancelForceLoadWinsock();
  EXPECT_FALSE(WSocketGForced);
  EXPECT_EQ(WSocketGCount, 0);
  EXPECT_FALSE(Loaded());
  EXPECT_EQ(Loads(), 1);
}

TEST_F(SocketBinding, WinsockInfoLoadsCopiesAndUnloads) {
  const winsock::WSADATA data = WinsockInfo();
  EXPECT_EQ(data.wVersion, 0x0101);
  EXPECT_FALSE(Loaded());
  EXPECT_EQ(Loads(), 1);
}

TEST_F(SocketBinding, VersionWordHasReqVerLowInItsLowByte) {
  TWSocket socket(nullptr);
  socket.SetReqVerHigh(2);
  EXPECT_EQ(socket.GetReqVerHigh(), 2);
  WSocketForceLoadWinsock();
  EXPECT_EQ(sim::WinsockLastRequestedVersion(), 0x0201);
  WSocketCancelForceLoadWinsock();
}

TEST_F(SocketBinding, VersionCannotChangeWhileLoaded) {
  TWSocket socket(nullptr);
  WSocketForceLoadWinsock();
  socket.SetReqVerHigh(1);  // the same value: nothing to refuse
  const std::string message = RaisedMessage([&] { socket.SetReqVerLow(2); });
  EXPECT_NE(message.find("SetReqVerLow: WinSock version can't be changed now"), std::string::npos)
      << message;
  EXPECT_EQ(GReqVerLow, 1);
  WSocketCancelForceLoadWinsock();
}

TEST_F(SocketBinding, RefusedStartupRaisesAndTheNextUseStartsAfresh) {
  GReqVerLow = 3;  // version 3.1 does not exist
  EXPECT_EQ(RaisedMessage([] { WSocketForceLoadWinsock(); }), "wsock32.dll: WSAStartup error #10092");
  EXPECT_FALSE(WSocketGForced);
  EXPECT_EQ(WSocketGCount, 0);
  EXPECT_FALSE(Loaded());
  GReqVerLow = 1;
  WSocketForceLoadWinsock();
  EXPECT_EQ(sim::WinsockStartupCount(), 1);
  WSocketCancelForceLoadWinsock();
}

TEST_F(SocketBinding, MissingExportRaisesEvenWithOnErrorAssigned) {
  sim::HideExport("wsock32.dll", "listen");
  TWSocket socket(nullptr);
  int errors = 0;
  socket.OnError = [&](TObject*) { ++errors; };
  socket.SetAddr("127.0.0.1");
  socket.SetPort("0");
  EXPECT_EQ(RaisedMessage([&] { socket.Listen(); }), "Procedure listen not found in wsock32.dll Error #127");
  EXPECT_EQ(errors, 0);
}

TEST_F(SocketBinding, ModuleThatCannotLoadRaises) {
  sim::FailModuleLoad("wsock32.dll");
  EXPECT_EQ(RaisedMessage([] { WSocket_htons(1); }), "Unable to load wsock32.dll Error #126");
  EXPECT_EQ(WSocketGCount, 0);
}

TEST_F(SocketBinding, MissingWs2OnlyAffectsWSAIoctl) {
  sim::FailModuleLoad("ws2_32.dll");
  EXPECT_EQ(WSocket_htons(1), 0x0100);
  EXPECT_EQ(RaisedMessage([] { WSocket_WSAIoctl(0, 0, nullptr, 0, nullptr, 0, nullptr, nullptr, nullptr); }),
            "Unable to load ws2_32.dll Error #126");
  sim::ResetModuleFaults();
  sim::HideExport("ws2_32.dll", "WSAIoctl");
  EXPECT_EQ(RaisedMessage([] { WSocket_WSAIoctl(0, 0, nullptr, 0, nullptr, 0, nullptr, nullptr, nullptr); }),
            "Procedure WSAIoctl not found in ws2_32.dll Error #127");
}

TEST_F(SocketBinding, GetProcAnswersNothingForAnEmptyName) {
  EXPECT_EQ(WSocketGetProc(""), nullptr);
  EXPECT_TRUE(Loaded());
  EXPECT_NE(WSocketGetProc("send"), nullptr);
  EXPECT_NE(WSocket2GetProc("WSAIoctl"), nullptr);
  EXPECT_EQ(sim::ModuleLoadCount("ws2_32.dll"), 1);
  WSocketUnloadWinsock();
  EXPECT_EQ(sim::ModuleLoadCount("ws2_32.dll"), 0);
}

}  // namespace
