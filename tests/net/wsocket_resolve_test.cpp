// Address resolution: dotted addresses, hosts, ports and protocols, and the local
// host's addresses.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "net/WSocket.h"
#include "platform/sim/Resolver.h"
#include "tests/net/wsocket_test_support.h"

namespace {

using wsockettest::RaisedMessage;

struct DottedCase {
  const char* text;
  bool dotted;
};

void PrintTo(const DottedCase& c, std::ostream* os) { *os << "'" << c.text << "'"; }

class ResolveDottedIP : public ::testing::TestWithParam<DottedCase> {};

TEST_P(ResolveDottedIP, FollowsTheDottedRules) {
  EXPECT_EQ(WSocketIsDottedIP(GetParam().text), GetParam().dotted) << "'" << GetParam().text << "'";
}

INSTANTIATE_TEST_SUITE_P(
    Resolve, ResolveDottedIP,
    ::testing::Values(DottedCase{"10.0.0.1", true}, DottedCase{"  10.0.0.1  ", true},
                      DottedCase{"255.255.255.255", true}, DottedCase{"0.0.0.0", true},
                      DottedCase{"10.0.0", false}, DottedCase{"10.0.0.256", false},
                      DottedCase{".1.2.3", false}, DottedCase{"1..2.3", false},
                      DottedCase{"1.2.3.", false}, DottedCase{"1.2.3.4.5", false},
                      DottedCase{"300.1.1.1", false}, DottedCase{"1.2.3.4 x", false},
                      DottedCase{"1.2 .3.4", false}, DottedCase{"", false},
                      DottedCase{"4294967296.0.0.1", false}, DottedCase{"1.2.3.99999999999", false},
                      DottedCase{"feeds.example", false}));

// Answers "feeds.example" and fails everything else, without any network.
class ResolveHost : public ::testing::Test {
 protected:
  void SetUp() override {
    sim::SetNameResolver([](const std::string& name) {
      sim::ResolverAnswer answer;
      if (name == "feeds.example")
        answer.addresses = {0x0A0200C0u};  // 192.0.2.10
      else if (name == "local.example")
        answer.addresses = {0x0100007Fu, 0x0200007Fu};  // 127.0.0.1, 127.0.0.2
      else
        answer.error = 11001;
      return answer;
    });
    sim::SetAddressResolver([](uint32_t address) {
      sim::ResolverAnswer answer;
      if (address == 0x0A0200C0u)
        answer.name = "feeds.example";
      else
        answer.error = 11001;
      return answer;
    });
  }
  void TearDown() override {
    sim::SetNameResolver(nullptr);
    sim::SetAddressResolver(nullptr);
  }
};

TEST_F(ResolveHost, DottedAndNamedHosts) {
  EXPECT_EQ(WSocketResolveHost("192.0.2.10"), 0x0A0200C0u);
  EXPECT_EQ(WSocketResolveHost(" 192.0.2.10 "), 0x0A0200C0u);
  EXPECT_EQ(WSocketResolveHost("255.255.255.255"), 0xFFFFFFFFu);
  EXPECT_EQ(WSocketResolveHost("feeds.example"), 0x0A0200C0u);
  EXPECT_EQ(WSocketGCount, 0);
}

TEST_F(ResolveHost, FailuresNameTheHost) {
  EXPECT_EQ(RaisedMessage([] { WSocketResolveHost(""); }), "WSocketResolveHost: '' Invalid Hostname.");
  EXPECT_EQ(RaisedMessage([] { WSocketResolveHost(std::string(257, 'a')); }),
            "WSocketResolveHost: '" + std::string(257, 'a') + "' Invalid Hostname.");
  EXPECT_EQ(RaisedMessage([] { WSocketResolveHost("nowhere.example"); }),
            "WSocketResolveHost: Cannot convert host address 'nowhere.example', Error #11001");
  // Not dotted by the rules, so looked up as a name.
  EXPECT_EQ(RaisedMessage([] { WSocketResolveHost("300.1.1.1"); }),
            "WSocketResolveHost: Cannot convert host address '300.1.1.1', Error #11001");
}

TEST_F(ResolveHost, AddressToName) {
  EXPECT_EQ(WSocketResolveIp("192.0.2.10"), "feeds.example");
  EXPECT_EQ(WSocketResolveIp("192.0.2.11"), "");
  EXPECT_EQ(RaisedMessage([] { WSocketGetHostByAddr(""); }), "WSocketGetHostByAddr: Invalid address.");
  EXPECT_EQ(RaisedMessage([] { WSocketGetHostByName(""); }), "WSocketGetHostByName: Invalid Hostname.");
  const winsock::hostent* entry = WSocketGetHostByName("feeds.example");
  ASSERT_NE(entry, nullptr);
  EXPECT_EQ(entry->h_length, 4);
}

TEST_F(ResolveHost, LocalIPListHoldsEveryAddressOfTheLocalName) {
  sim::SetNameResolver([](const std::string&) {
    sim::ResolverAnswer answer;
    answer.addresses = {0x0100007Fu, 0x0200007Fu};
    return answer;
  });
  EXPECT_FALSE(LocalHostName().empty());
  TStrings* list = LocalIPList();
  ASSERT_EQ(list->GetCount(), 2);
  EXPECT_EQ(list->Strings(0), "127.0.0.1");
  EXPECT_EQ(list->Strings(1), "127.0.0.2");
  EXPECT_EQ(LocalIPList(), list);  // the same list, refilled
  EXPECT_EQ(list->GetCount(), 2);
}

struct PortCase {
  const char* port;
  const char* proto;
  int number;           // -1: raises
  const char* message;  // when it raises
};

void PrintTo(const PortCase& c, std::ostream* os) { *os << "'" << c.port << "'/'" << c.proto << "'"; }

class ResolvePort : public ::testing::TestWithParam<PortCase> {};

TEST_P(ResolvePort, AnswersOrRaises) {
  const PortCase& c = GetParam();
  if (c.number >= 0) {
    EXPECT_EQ(WSocketResolvePort(c.port, c.proto), c.number);
  } else {
    EXPECT_EQ(RaisedMessage([&] { WSocketResolvePort(c.port, c.proto); }), c.message);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Resolve, ResolvePort,
    ::testing::Values(PortCase{"80", "tcp", 80, ""}, PortCase{"8080xyz", "tcp", 8080, ""},
                      PortCase{"65535", "tcp", 65535, ""}, PortCase{"http", "tcp", 80, ""},
                      PortCase{"https", "tcp", 443, ""}, PortCase{"domain", "udp", 53, ""},
                      PortCase{"", "tcp", -1, "WSocketResolvePort: Invalid Port."},
                      PortCase{"65536", "tcp", -1, "WSocketResolvePort: Invalid Port."},
                      PortCase{"99999999999999999999", "tcp", -1, "WSocketResolvePort: Invalid Port."},
                      PortCase{"80", "", -1, "WSocketResolvePort: Invalid Proto."},
                      PortCase{"80", "0123456789012345678901234567890123", -1,
                               "WSocketResolvePort: Invalid Proto."},
                      PortCase{"no-such-service", "tcp", -1,
                               "WSocketResolvePort: Cannot convert port 'no-such-service', Error #11004"}));

struct ProtoCase {
  const char* proto;
  int number;  // -1: raises
  const char* message;
};

void PrintTo(const ProtoCase& c, std::ostream* os) { *os << "'" << c.proto << "'"; }

class ResolveProto : public ::testing::TestWithParam<ProtoCase> {};

TEST_P(ResolveProto, AnswersOrRaises) {
  const ProtoCase& c = GetParam();
  if (c.number >= 0) {
    EXPECT_EQ(WSocketResolveProto(c.proto), c.number);
  } else {
    EXPECT_EQ(RaisedMessage([&] { WSocketResolveProto(c.proto); }), c.message);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Resolve, ResolveProto,
    ::testing::Values(ProtoCase{"tcp", 6, ""}, ProtoCase{" UDP ", 17, ""}, ProtoCase{"Raw", 255, ""},
                      ProtoCase{"6", 6, ""}, ProtoCase{"icmp", 1, ""},
                      ProtoCase{"", -1, "WSocketResolveProto: Invalid Protocol."},
                      ProtoCase{"no-such-protocol", -1,
                                "WSocketResolveProto: Cannot convert protocol 'no-such-protocol', "
                                "Error #11004"}));

}  // namespace
