// Name and address lookups that do not block, answered by an injected resolver.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <vector>

#include "net/WSocket.h"
#include "platform/sim/Resolver.h"
#include "platform/sim/Winsock.h"
#include "tests/net/net_test_support.h"
#include "tests/support/Gate.h"
#include "tests/support/Pump.h"

namespace {

using larktest::PumpUntil;
using nettest::EventLog;

uint32_t Address(uint8_t a, uint8_t b, uint8_t c, uint8_t d) {
  // Network byte order: the first part in the lowest byte of memory.
  return static_cast<uint32_t>(a) | (static_cast<uint32_t>(b) << 8) | (static_cast<uint32_t>(c) << 16) |
         (static_cast<uint32_t>(d) << 24);
}

// A resolver that knows a few names; "slow.example" answers only once the test opens
// the gate, and every answer given is counted.
class WSocketLookup : public ::testing::Test {
 protected:
  void SetUp() override {
    sim::SetNameResolver([this](const std::string& name) {
      sim::ResolverAnswer answer;
      if (name == "feeds.example") {
        answer.addresses = {Address(192, 0, 2, 10), Address(192, 0, 2, 11)};
      } else if (name == "slow.example") {
        slow.Wait();
        answer.addresses = {Address(198, 51, 100, 7)};
      } else {
        answer.error = 11001;
      }
      ++answered;
      return answer;
    });
    sim::SetAddressResolver([this](uint32_t address) {
      sim::ResolverAnswer answer;
      if (address == Address(192, 0, 2, 10))
        answer.name = "feeds.example";
      else
        answer.error = 11001;
      ++answered;
      return answer;
    });
  }
  void TearDown() override {
    slow.Open();
    EXPECT_TRUE(PumpUntil([] { return sim::WinsockLookupsInFlight() == 0; }));
    sim::SetNameResolver(nullptr);
    sim::SetAddressResolver(nullptr);
  }
  // Opens the gate and pumps until the resolver has answered count lookups, their
  // threads have ended and the loop is idle, so every reply has come in.
  void SettleAfter(int count) {
    slow.Open();
    ASSERT_TRUE(PumpUntil([&] { return answered.load() >= count && sim::WinsockLookupsInFlight() == 0; }));
    EXPECT_TRUE(larktest::PumpUntilIdle());
  }

  larktest::Gate slow;
  std::atomic<int> answered{0};
  TWSocket socket{nullptr};
  EventLog log{socket};
};

std::vector<std::string> Strings(TStrings* list) {
  std::vector<std::string> out;
  for (Integer i = 0; i < list->GetCount(); ++i) out.push_back(list->Strings(i));
  return out;
}

TEST_F(WSocketLookup, DnsLookupAnswersEveryAddressThroughTheMessageLoop) {
  socket.DnsLookup("feeds.example");
  EXPECT_TRUE(log.Events.empty());
  ASSERT_TRUE(PumpUntil([&] { return log.Has("dns 0"); }));
  EXPECT_EQ(socket.GetDnsResult(), "192.0.2.10");
  EXPECT_EQ(Strings(socket.GetDnsResultList()), (std::vector<std::string>{"192.0.2.10", "192.0.2.11"}));
}

TEST_F(WSocketLookup, DnsLookupOfAnUnknownNameReportsHostNotFound) {
  socket.DnsLookup("nowhere.example");
  ASSERT_TRUE(PumpUntil([&] { return log.Has("dns 11001"); }));
  EXPECT_EQ(socket.GetDnsResult(), "");
  EXPECT_EQ(socket.GetDnsResultList()->GetCount(), 0);
}

TEST_F(WSocketLookup, DnsLookupOfADottedAddressAnswersBeforeItReturns) {
  socket.DnsLookup(" 10.0.0.1 ");
  EXPECT_EQ(log.Events, (std::vector<std::string>{"dns 0"}));
  EXPECT_EQ(socket.GetDnsResult(), "10.0.0.1");
  EXPECT_EQ(answered.load(), 0);
}

TEST_F(WSocketLookup, DnsLookupOfTheBroadcastAddressGoesThroughTheLoop) {
  socket.DnsLookup("255.255.255.255");
  EXPECT_TRUE(log.Events.empty());
  ASSERT_TRUE(PumpUntil([&] { return log.Has("dns 0"); }));
  EXPECT_EQ(socket.GetDnsResult(), "255.255.255.255");
}

TEST_F(WSocketLookup, DnsLookupOfAnEmptyNameIsRefused) {
  try {
    socket.DnsLookup("");
    ADD_FAILURE() << "no exception";
  } catch (const ESocketException& e) {
    EXPECT_EQ(e.Message(), "DNS lookup: invalid host name.");
  }
  EXPECT_TRUE(log.Events.empty());
  // With OnError assigned the lookup ends with 10022 instead.
  socket.OnError = [&](TObject*) { log.Events.push_back("error"); };
  socket.DnsLookup("");
  EXPECT_EQ(log.Events, (std::vector<std::string>{"error", "dns 10022"}));
}

TEST_F(WSocketLookup, ReverseDnsLookupAnswersTheName) {
  socket.ReverseDnsLookup("192.0.2.10");
  ASSERT_TRUE(PumpUntil([&] { return log.Has("dns 0"); }));
  EXPECT_EQ(socket.GetDnsResult(), "feeds.example");
  EXPECT_EQ(Strings(socket.GetDnsResultList()), (std::vector<std::string>{"feeds.example"}));

  log.Events.clear();
  socket.ReverseDnsLookup("192.0.2.99");
  ASSERT_TRUE(PumpUntil([&] { return log.Has("dns 11001"); }));
  EXPECT_EQ(socket.GetDnsResult(), "");
}

TEST_F(WSocketLookup, CancelDnsLookupReportsInterruptedAndDropsTheLateReply) {
  socket.DnsLookup("slow.example");
  socket.CancelDnsLookup();
  EXPECT_EQ(log.Events, (std::vector<std::string>{"dns 10004"}));
  SettleAfter(1);
  EXPECT_EQ(log.Events, (std::vector<std::string>{"dns 10004"}));
  EXPECT_EQ(socket.GetDnsResult(), "");
  // Nothing to cancel: nothing happens.
  socket.CancelDnsLookup();
  EXPECT_EQ(log.Events.size(), 1u);
}

// A second lookup supersedes the first without reporting it: only the second answers.
TEST_F(WSocketLookup, ANewLookupSupersedesTheRunningOneSilently) {
  socket.DnsLookup("slow.example");
  socket.DnsLookup("feeds.example");
  ASSERT_TRUE(PumpUntil([&] { return log.Has("dns 0"); }));
  SettleAfter(2);
  EXPECT_EQ(log.Events, (std::vector<std::string>{"dns 0"}));
  EXPECT_EQ(socket.GetDnsResult(), "192.0.2.10");
}

TEST_F(WSocketLookup, FreeingTheSocketDuringALookupReportsNothing) {
  auto doomed = std::make_unique<TWSocket>(nullptr);
  int events = 0;
  doomed->OnDnsLookupDone = [&](TObject*, Word) { ++events; };
  doomed->DnsLookup("slow.example");
  doomed.reset();
  SettleAfter(1);
  EXPECT_EQ(events, 0);
}

}  // namespace
