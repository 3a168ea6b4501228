// Connections through SOCKS servers: the settings, every reply a server can give
// (canned exchanges in tests/data/socks/), replies split across packets, data right
// behind the last reply, hostile replies, and real servers (microsocks, dante,
// ssh -D) in front of nginx.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "net/HttpProt.h"
#include "net/WSocket.h"
#include "platform/sim/Resolver.h"
#include "tests/net/httpCli_test_support.h"
#include "tests/net/wsocket_test_support.h"
#include "tests/support/CannedServer.h"
#include "tests/support/HttpPeers.h"
#include "tests/support/Peers.h"
#include "tests/support/Pump.h"

namespace {

using httpclitest::CliLog;
using httpclitest::WaitDone;
using larktest::CannedServer;
using larktest::PumpUntil;
using wsockettest::RaisedMessage;

const char* const TargetName = "target.test";
// The SOCKS 5 connect request for TargetName, port 8080.
const std::string Socks5Request("\x05\x01\x00\x03\x0btarget.test\x1f\x90", 18);

const char* AuthStateName(TSocksAuthState state) {
  switch (state) {
    case socksAuthStart:
      return "start";
    case socksAuthSuccess:
      return "success";
    case socksAuthFailure:
      return "failure";
    default:
      return "notrequired";
  }
}

// Records a socket's events as short texts, in the order they fire:
//   "socks-connected 0", "auth start", "socks-error 20003 <text>", "connected 0",
//   "data", "closed 0".
// Everything offered by OnDataAvailable is read: Chunks holds what each Receive
// answered, Received all of it.
class SocksLog {
 public:
  explicit SocksLog(TCustomSocksWSocket& socket) : socket_(socket) {
    socket.OnSocksConnected = [this](TObject*, Word e) { Add("socks-connected " + std::to_string(e)); };
    socket.OnSocksAuthState = [this](TObject*, TSocksAuthState s) {
      Add(std::string("auth ") + AuthStateName(s));
    };
    socket.OnSocksError = [this](TObject*, Integer e, AnsiString msg) {
      Add("socks-error " + std::to_string(e) + " " + msg);
    };
    socket.OnSessionConnected = [this](TObject*, Word e) {
      RcvdCountAtConnect = socket_.GetRcvdCount();
      Add("connected " + std::to_string(e));
    };
    socket.OnDataAvailable = [this](TObject*, Word) {
      Add("data");
      char buffer[4096];
      for (;;) {
        const Integer n = socket_.Receive(buffer, sizeof buffer);
        if (n <= 0) break;
        Chunks.emplace_back(buffer, static_cast<size_t>(n));
        Received.append(buffer, static_cast<size_t>(n));
      }
    };
    socket.OnSessionClosed = [this](TObject*, Word e) {
      Closed = true;
      Add("closed " + std::to_string(e));
    };
  }
  ~SocksLog() {
    socket_.OnSocksConnected = nullptr;
    socket_.OnSocksAuthState = nullptr;
    socket_.OnSocksError = nullptr;
    socket_.OnSessionConnected = nullptr;
    socket_.OnDataAvailable = nullptr;
    socket_.OnSessionClosed = nullptr;
  }
  SocksLog(const SocksLog&) = delete;
  SocksLog& operator=(const SocksLog&) = delete;

  bool Has(const std::string& event) const { return Index(event) >= 0; }
  int Index(const std::string& event) const {
    for (size_t i = 0; i < Events.size(); ++i)
      if (Events[i] == event) return static_cast<int>(i);
    return -1;
  }
  // The events without the "data" entries.
  std::vector<std::string> Shape() const {
    std::vector<std::string> out;
    for (const std::string& e : Events)
      if (e != "data") out.push_back(e);
    return out;
  }

  std::vector<std::string> Events;
  std::vector<std::string> Chunks;
  std::string Received;
  bool Closed = false;
  Integer RcvdCountAtConnect = -2;

 private:
  void Add(const std::string& event) { Events.push_back(event); }
  TCustomSocksWSocket& socket_;
};

// Sets the SOCKS server 127.0.0.1:socksPort and the target addr:8080.
void Aim(TCustomSocksWSocket& socket, uint16_t socksPort, const char* level, const std::string& addr) {
  socket.SetSocksServer("127.0.0.1");
  socket.SetSocksPort(std::to_string(socksPort));
  socket.SetSocksLevel(level);
  socket.SetAddr(addr);
  socket.SetPort("8080");
}

void Authenticate(TCustomSocksWSocket& socket, const std::string& user = "alice",
                  const std::string& password = "secret") {
  socket.SetSocksAuthentication(socksAuthenticateUsercode);
  socket.SetSocksUsercode(user);
  socket.SetSocksPassword(password);
}

// A socket aimed at a canned SOCKS server, with its events logged. Level 4 carries
// no name, so it aims at 127.0.0.1; the others at TargetName (port 8080 for all).
struct CannedSocks {
  // Starts case `name` with its placeholders replaced; false after a test failure.
  bool Start(const std::string& name, const char* level,
             const std::map<std::string, std::string>& values = {}) {
    if (!httpclitest::ServeCase(server, "socks", name, values)) return false;
    Aim(socket, server.Port(), level, level == std::string("4") ? "127.0.0.1" : TargetName);
    return true;
  }
  // Connects and pumps until the session is closed.
  bool ConnectUntilClosed() {
    socket.Connect();
    return PumpUntil([&] { return log.Closed; });
  }

  CannedServer server;
  TWSocket socket{nullptr};
  SocksLog log{socket};
};

// The events of a negotiation that connects and then sees the server close.
const std::vector<std::string> ConnectedThenClosed = {"socks-connected 0", "connected 0", "closed 0"};

// Fails every lookup of a name other than "localhost" with 11001.
class FailingResolver {
 public:
  FailingResolver() {
    sim::SetNameResolver([](const std::string& name) {
      if (name == "localhost") return sim::SystemResolveName(name);
      sim::ResolverAnswer answer;
      answer.error = winsock::WSAHOST_NOT_FOUND;
      return answer;
    });
  }
  ~FailingResolver() { sim::SetNameResolver(nullptr); }
  FailingResolver(const FailingResolver&) = delete;
  FailingResolver& operator=(const FailingResolver&) = delete;
};

// ---- Settings --------------------------------------------------------------------------

TEST(SocksSettings, LevelTakesFourFourAAndFiveAndRefusesTheRest) {
  TWSocket socket(nullptr);
  const std::pair<const char*, const char*> accepted[] = {{"4", "4"}, {"4a", "4A"}, {"4A", "4A"}, {"5", "5"}};
  for (const auto& [given, stored] : accepted) {
    socket.SetSocksLevel(given);
    EXPECT_EQ(socket.GetSocksLevel(), stored) << given;
  }
  for (const char* refused : {"", "6", "4b", " 5", "45"}) {
    socket.SetSocksLevel("4");
    EXPECT_EQ(RaisedMessage([&] { socket.SetSocksLevel(refused); }),
              "Invalid socks level. Must be 4, 4A or 5.")
        << refused;
    EXPECT_EQ(socket.GetSocksLevel(), "4") << refused;
  }
}

TEST(SocksSettings, ServerAndPortAreTrimmedAndTakenAsOff) {
  TWSocket socket(nullptr);
  socket.SetSocksServer("  127.0.0.1 ");
  socket.SetSocksPort(" 1080 ");
  EXPECT_EQ(socket.GetSocksServer(), "127.0.0.1");
  EXPECT_EQ(socket.GetSocksPort(), "1080");
  // An empty server switches SOCKS off: Listen works again.
  EXPECT_EQ(RaisedMessage([&] { socket.Listen(); }), "Listening is not supported thru socks server");
  socket.SetSocksServer("   ");
  EXPECT_EQ(socket.GetSocksServer(), "");
  socket.SetAddr("127.0.0.1");
  socket.SetPort("0");
  socket.Listen();
  EXPECT_EQ(socket.GetState(), wsListening);
}

TEST(SocksSettings, ConnectRefusesOtherProtocolsAndUnresolvableServers) {
  FailingResolver resolver;
  {
    TWSocket socket(nullptr);
    Aim(socket, 1080, "5", TargetName);
    socket.SetProto("udp");
    EXPECT_EQ(RaisedMessage([&] { socket.Connect(); }),
              "tcp is the only protocol supported thru socks server");
  }
  {
    TWSocket socket(nullptr);
    Aim(socket, 1080, "5", TargetName);
    socket.SetSocksServer("no.such.host");
    EXPECT_EQ(RaisedMessage([&] { socket.Connect(); }).rfind("connect: WSocketResolveHost", 0), 0u);
    EXPECT_EQ(socket.GetState(), wsClosed);
  }
  {
    TWSocket socket(nullptr);
    Aim(socket, 1080, "5", TargetName);
    socket.SetSocksPort("");
    EXPECT_EQ(RaisedMessage([&] { socket.Connect(); }), "connect: WSocketResolvePort: Invalid Port.");
  }
}

TEST(SocksSettings, SettersRefuseWhileConnectedAndACloseForgetsTheServer) {
  CannedSocks socks;
  ASSERT_TRUE(socks.Start("silent.case", "4A"));
  TWSocket& socket = socks.socket;
  socket.Connect();
  ASSERT_TRUE(PumpUntil([&] { return socks.log.Has("socks-connected 0"); }));
  EXPECT_EQ(socket.GetState(), wsConnected);
  EXPECT_EQ(socket.GetSocksState(), socksConnect);
  EXPECT_EQ(RaisedMessage([&] { socket.SetSocksServer("10.0.0.1"); }),
            "Can't change socks server if not closed");
  EXPECT_EQ(RaisedMessage([&] { socket.SetSocksPort("1"); }), "Can't change socks port if not closed");
  EXPECT_EQ(RaisedMessage([&] { socket.SetSocksLevel("5"); }), "Can't change socks level if not closed");
  socket.Close();
  EXPECT_EQ(socket.GetSocksServer(), "");
  EXPECT_EQ(socket.GetSocksPort(), "");
  EXPECT_EQ(socket.GetSocksLevel(), "5");
  EXPECT_EQ(socket.GetSocksState(), socksData);
}

// ---- Successful negotiations against canned servers -------------------------------------

TEST(SocksConnect, DataInTheReplyPacketIsReceivedFirstThenTheRest) {
  CannedSocks socks;
  ASSERT_TRUE(socks.Start("s5-reply-and-data.case", "5"));
  ASSERT_TRUE(socks.ConnectUntilClosed());
  EXPECT_EQ(socks.log.Shape(), ConnectedThenClosed);
  // The three bytes behind the reply wait when the connection is reported, and one
  // Receive answers exactly them.
  EXPECT_EQ(socks.log.RcvdCountAtConnect, 3);
  ASSERT_FALSE(socks.log.Chunks.empty());
  EXPECT_EQ(socks.log.Chunks.front(), "abc");
  EXPECT_EQ(socks.log.Received, "abcdef");
  EXPECT_EQ(socks.socket.GetProxyBoundAddress(), "10.1.2.3");
  EXPECT_EQ(socks.socket.GetProxyBoundPort(), "1080");
  ASSERT_EQ(socks.server.Requests().size(), 1u);
  EXPECT_EQ(socks.server.Requests()[0], std::string("\x05\x01\x00", 3) + Socks5Request);
  EXPECT_TRUE(socks.server.Errors().empty());
}

TEST(SocksConnect, ReaderTakingOneByteAtATimeGetsEveryByteBehindTheReply) {
  // The server closes at once, or holds the connection open for a while.
  for (const char* after : {"", "\n... delay 3000"}) {
    SCOPED_TRACE(*after ? "held open" : "closed at once");
    CannedSocks socks;
    const std::string reply = std::string("\\x05\\x00\\x00\\x01\\x7f\\x00\\x00\\x01\\x1f\\x90abcdefgh") + after;
    ASSERT_TRUE(socks.Start("s5-connect-reply.case", "5", {{"@REPLY@", reply}}));
    TWSocket& socket = socks.socket;
    SocksLog& log = socks.log;
    // One byte per OnDataAvailable, as a slow parser might read.
    socket.OnDataAvailable = [&](TObject*, Word) {
      char byte;
      if (socket.Receive(&byte, 1) == 1) log.Received += byte;
    };
    socket.Connect();
    ASSERT_TRUE(PumpUntil([&] { return log.Received.size() == 8 || log.Closed; }, 2000));
    EXPECT_EQ(log.Received, "abcdefgh");
    socket.Abort();
  }
}

TEST(SocksConnect, LineModeSplitsTheBytesBehindTheReplyIntoLines) {
  CannedSocks socks;
  ASSERT_TRUE(socks.Start("s5-connect-reply.case", "5",
                          {{"@REPLY@", "\\x05\\x00\\x00\\x01\\x7f\\x00\\x00\\x01\\x1f\\x90one\\r\\ntwo\\r\\n"
                                       "thr\n... delay 50\n<<< send\nee\\r\\n"}}));
  socks.socket.SetLineMode(true);
  ASSERT_TRUE(socks.ConnectUntilClosed());
  EXPECT_EQ(socks.log.Chunks, (std::vector<std::string>{"one\r\n", "two\r\n", "three\r\n"}));
}

TEST(SocksConnect, RepliesTricklingInByteByByteStillConnect) {
  CannedSocks socks;
  ASSERT_TRUE(socks.Start("s5-split-name-reply.case", "5"));
  ASSERT_TRUE(socks.ConnectUntilClosed());
  EXPECT_EQ(socks.log.Shape(), ConnectedThenClosed);
  EXPECT_EQ(socks.log.Received, "hello");
  EXPECT_EQ(socks.socket.GetProxyBoundAddress(), "bound.host");
  EXPECT_EQ(socks.socket.GetProxyBoundPort(), "4660");
}

TEST(SocksConnect, AuthenticationReplyInTwoPiecesSucceedsAfterTheSecond) {
  CannedSocks socks;
  ASSERT_TRUE(socks.Start("s5-auth-split.case", "5"));
  Authenticate(socks.socket);
  ASSERT_TRUE(socks.ConnectUntilClosed());
  EXPECT_EQ(socks.log.Shape(), (std::vector<std::string>{"socks-connected 0", "auth start", "auth success",
                                                         "connected 0", "closed 0"}));
  ASSERT_EQ(socks.server.Requests().size(), 1u);
  EXPECT_EQ(socks.server.Requests()[0],
            std::string("\x05\x01\x02", 3) + "\x01\x05" "alice" "\x06" "secret" + Socks5Request);
}

TEST(SocksConnect, ServerThatWaivesAuthenticationIsReportedAsNotRequired) {
  CannedSocks socks;
  ASSERT_TRUE(socks.Start("s5-connect-reply.case", "5",
                          {{"@REPLY@", "\\x05\\x00\\x00\\x01\\x7f\\x00\\x00\\x01\\x1f\\x90"}}));
  Authenticate(socks.socket);
  ASSERT_TRUE(socks.ConnectUntilClosed());
  EXPECT_EQ(socks.log.Shape(), (std::vector<std::string>{"socks-connected 0", "auth notrequired",
                                                         "connected 0", "closed 0"}));
  EXPECT_EQ(socks.socket.GetProxyBoundAddress(), "127.0.0.1");
  EXPECT_EQ(socks.socket.GetProxyBoundPort(), "8080");
}

TEST(SocksConnect, ServerHangingUpDuringAuthenticationReportsAuthFailure) {
  CannedSocks socks;
  ASSERT_TRUE(socks.Start("s5-auth-close.case", "5"));
  Authenticate(socks.socket);
  ASSERT_TRUE(socks.ConnectUntilClosed());
  EXPECT_EQ(socks.log.Shape(),
            (std::vector<std::string>{"socks-connected 0", "auth start", "auth failure", "closed 0"}));
}

TEST(SocksConnect, Level4DataInTheReplyPacketIsDeliveredAsData) {
  CannedSocks socks;
  ASSERT_TRUE(socks.Start("s4-reply-and-data.case", "4"));
  ASSERT_TRUE(socks.ConnectUntilClosed());
  EXPECT_EQ(socks.log.Shape(), ConnectedThenClosed);
  EXPECT_EQ(socks.log.Received, "xyz");
  ASSERT_EQ(socks.server.Requests().size(), 1u);
  EXPECT_EQ(socks.server.Requests()[0], std::string("\x04\x01\x1f\x90\x7f\x00\x00\x01\x00", 9));
}

TEST(SocksConnect, Level4ReplySplitInTwoKeepsTheDataBehindIt) {
  // The second packet ends the 8-byte reply and carries data: only the reply's
  // missing bytes are taken as reply.
  CannedSocks socks;
  ASSERT_TRUE(socks.Start("s4-connect-reply.case", "4",
                          {{"@REQUEST@", "9"},
                           {"@REPLY@", "\\x00\\x5a\\x1f\n... delay 50\n<<< send\n\\x90\\x7f\\x00\\x00\\x01xyz"}}));
  ASSERT_TRUE(socks.ConnectUntilClosed());
  EXPECT_EQ(socks.log.Shape(), ConnectedThenClosed);
  EXPECT_EQ(socks.log.Received, "xyz");
}

TEST(SocksConnect, Level4ACarriesTheNameAndTheUserCode) {
  CannedSocks socks;
  ASSERT_TRUE(socks.Start("s4-connect-reply.case", "4a",
                          {{"@REQUEST@", "24"}, {"@REPLY@", "\\x00\\x5a\\x00\\x00\\x00\\x00\\x00\\x00"}}));
  socks.socket.SetSocksUsercode("bob");
  ASSERT_TRUE(socks.ConnectUntilClosed());
  EXPECT_EQ(socks.log.Shape(), ConnectedThenClosed);
  ASSERT_EQ(socks.server.Requests().size(), 1u);
  EXPECT_EQ(socks.server.Requests()[0],
            std::string("\x04\x01\x1f\x90\x00\x00\x00\x01" "bob\0" "target.test\0", 24));
}

// ---- Failed negotiations -----------------------------------------------------------------

struct Failure {
  Failure(const char* name_, const char* caseFile_, const char* level_, bool authenticate_,
          std::map<std::string, std::string> values_, Integer code_, std::string text_,
          std::function<void(TWSocket&)> prepare_ = {}, bool reportsConnected_ = true)
      : name(name_), caseFile(caseFile_), level(level_), authenticate(authenticate_),
        values(std::move(values_)), code(code_), text(std::move(text_)),
        prepare(std::move(prepare_)), reportsConnected(reportsConnected_) {}
  const char* name;
  const char* caseFile;
  const char* level;
  bool authenticate;
  std::map<std::string, std::string> values;
  Integer code;
  std::string text;
  // What the test changes before connecting (a long name, a NUL byte...).
  std::function<void(TWSocket&)> prepare;
  // Whether OnSessionConnected reports the failure too (all but an unresolvable
  // level-4 target).
  bool reportsConnected = true;
};

void PrintTo(const Failure& f, std::ostream* os) { *os << f.name; }

std::vector<Failure> Failures() {
  std::vector<Failure> list = {
      {"GreetingMethodRefused", "s5-greeting-reply.case", "5", false, {{"@REPLY@", "\\x05\\xff"}},
       20003, "authentification method not acceptable"},
      {"GreetingMethodOne", "s5-greeting-reply.case", "5", false, {{"@REPLY@", "\\x05\\x01"}},
       20003, "authentification method not acceptable"},
      {"GreetingBadVersion", "s5-greeting-reply.case", "5", false, {{"@REPLY@", "\\x04\\x00"}},
       20002, "socks version error"},
      {"AuthenticationRefused", "s5-auth-reply.case", "5", true, {{"@REPLY@", "\\x01\\x01"}},
       20015, "socks authentication failed"},
      {"AuthenticationBadVersion", "s5-auth-reply.case", "5", true, {{"@REPLY@", "\\x05\\x00"}},
       20002, "socks version error"},
      {"AuthenticationTooLong", "s5-auth-reply.case", "5", true, {{"@REPLY@", "\\x01\\x00\\x00"}},
       20001, "too much data availaible"},
      {"ConnectBadVersion", "s5-connect-reply.case", "5", false,
       {{"@REPLY@", "\\x06\\x00\\x00\\x01\\x00\\x00\\x00\\x00\\x00\\x00"}}, 20002, "socks version error"},
      {"ConnectUnassigned", "s5-connect-reply.case", "5", false,
       {{"@REPLY@", "\\x05\\x09\\x00\\x01\\x00\\x00\\x00\\x00\\x00\\x00"}}, 20012, "unassigned error #9"},
      {"ConnectIPv6Bound", "s5-connect-reply.case", "5", false,
       {{"@REPLY@", "\\x05\\x00\\x00\\x04\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x00"
                    "\\x00\\x00\\x00\\x01\\x1f\\x90"}},
       20011, "address type not supported"},
      // A bound name longer than the reply area: refused, never waited for.
      {"ConnectBoundName200", "s5-connect-reply.case", "5", false,
       {{"@REPLY@", "\\x05\\x00\\x00\\x03\\xc8\n<<< fill 200 n\n<<< send\n\\x1f\\x90"}}, 20001,
       "too much data availaible"},
      {"ConnectBoundName255", "s5-connect-reply.case", "5", false,
       {{"@REPLY@", "\\x05\\x00\\x00\\x03\\xff\n<<< fill 255 n\n<<< send\n\\x1f\\x90"}}, 20001,
       "too much data availaible"},
      {"Level4Rejected", "s4-connect-reply.case", "4", false,
       {{"@REQUEST@", "9"}, {"@REPLY@", "\\x00\\x5b\\x00\\x00\\x00\\x00\\x00\\x00"}}, 20016,
       "request rejected or failed"},
      {"Level4Refused", "s4-connect-reply.case", "4", false,
       {{"@REQUEST@", "9"}, {"@REPLY@", "\\x00\\x5c\\x00\\x00\\x00\\x00\\x00\\x00"}}, 20008,
       "connection refused"},
      {"Level4AuthFailed", "s4-connect-reply.case", "4", false,
       {{"@REQUEST@", "9"}, {"@REPLY@", "\\x00\\x5d\\x00\\x00\\x00\\x00\\x00\\x00"}}, 20015,
       "authentification failed"},
      {"Level4Unassigned", "s4-connect-reply.case", "4", false,
       {{"@REQUEST@", "9"}, {"@REPLY@", "\\x00\\x77\\x00\\x00\\x00\\x00\\x00\\x00"}}, 20012,
       "unassigned error #119"},
      {"Level4BadVersion", "s4-connect-reply.case", "4", false,
       {{"@REQUEST@", "9"}, {"@REPLY@", "\\x04\\x5a\\x00\\x00\\x00\\x00\\x00\\x00"}}, 20002,
       "socks version error"},
      {"Level4ARejected", "s4-connect-reply.case", "4A", false,
       {{"@REQUEST@", "21"}, {"@REPLY@", "\\x00\\x5b\\x00\\x00\\x00\\x00\\x00\\x00"}}, 20016,
       "request rejected or failed"},
      {"TargetNameTooLong", "s5-greeting-reply.case", "5", false, {{"@REPLY@", "\\x05\\x00"}}, 20017,
       "socks target name longer than 255 bytes",
       [](TWSocket& s) { s.SetAddr(std::string(256, 'h')); }},
      {"UserCodeTooLong", "s5-greeting-reply.case", "5", true, {{"@REPLY@", "\\x05\\x02"}}, 20017,
       "socks user code longer than 255 bytes",
       [](TWSocket& s) { s.SetSocksUsercode(std::string(256, 'u')); }},
      {"PasswordTooLong", "s5-greeting-reply.case", "5", true, {{"@REPLY@", "\\x05\\x02"}}, 20017,
       "socks password longer than 255 bytes",
       [](TWSocket& s) { s.SetSocksPassword(std::string(300, 'p')); }},
      {"Level4ANameWithNul", "silent.case", "4A", false, {}, 20017,
       "socks target name contains a NUL byte",
       [](TWSocket& s) { s.SetAddr(std::string("target\0test", 11)); }},
      {"Level4UnresolvableTarget", "silent.case", "4", false, {}, 20017,
       "ESocketException WSocketResolveHost: Cannot convert host address 'no.such.host', Error #11001",
       [](TWSocket& s) { s.SetAddr("no.such.host"); }, false},
  };
  const char* const texts[] = {"general SOCKS server failure", "connection not allowed by ruleset",
                               "network unreachable",          "host unreachable",
                               "connection refused",           "time to live expired",
                               "command not supported",        "address type not supported"};
  static const char* const names[] = {"Connect1", "Connect2", "Connect3", "Connect4",
                                      "Connect5", "Connect6", "Connect7", "Connect8"};
  for (int code = 1; code <= 8; ++code) {
    char reply[64];
    std::snprintf(reply, sizeof reply, "\\x05\\x%02x\\x00\\x01\\x00\\x00\\x00\\x00\\x00\\x00", code);
    list.push_back({names[code - 1], "s5-connect-reply.case", "5", false, {{"@REPLY@", reply}},
                    20003 + code, texts[code - 1]});
  }
  return list;
}

class SocksFailure : public ::testing::TestWithParam<Failure> {};

TEST_P(SocksFailure, IsReportedAsSocksErrorThenConnectedThenClosed) {
  const Failure& f = GetParam();
  FailingResolver resolver;
  CannedSocks socks;
  ASSERT_TRUE(socks.Start(f.caseFile, f.level, f.values));
  TWSocket& socket = socks.socket;
  const SocksLog& log = socks.log;
  if (f.authenticate) Authenticate(socket);
  if (f.prepare) f.prepare(socket);
  ASSERT_TRUE(socks.ConnectUntilClosed()) << testing::PrintToString(log.Events);
  const std::string code = std::to_string(f.code);
  std::vector<std::string> expected = {"socks-error " + code + " " + f.text};
  if (f.reportsConnected) expected.push_back("connected " + code);
  expected.push_back("closed " + code);
  std::vector<std::string> tail = log.Shape();
  // What came before the failure (socks-connected, auth start) is not the point here.
  while (!tail.empty() && tail.front().rfind("socks-error", 0) != 0) tail.erase(tail.begin());
  EXPECT_EQ(tail, expected);
  EXPECT_EQ(log.Received, "");
  EXPECT_EQ(socket.GetState(), wsClosed);
  EXPECT_EQ(socket.GetSocksState(), socksData);
}

INSTANTIATE_TEST_SUITE_P(Replies, SocksFailure, ::testing::ValuesIn(Failures()),
                         [](const ::testing::TestParamInfo<Failure>& info) { return info.param.name; });

TEST(SocksConnect, ResetDuringTheNegotiationIsAReceiveError) {
  CannedSocks socks;
  ASSERT_TRUE(socks.Start("s5-reset.case", "5"));
  ASSERT_TRUE(socks.ConnectUntilClosed());
  const std::string reset = std::to_string(winsock::WSAECONNRESET);
  EXPECT_EQ(socks.log.Shape(), (std::vector<std::string>{"socks-connected 0",
                                                         "socks-error " + reset + " data receive error",
                                                         "connected " + reset, "closed " + reset}));
}

TEST(SocksConnect, JunkBehindTheGreetingReplyEndsInAnErrorNotAHang) {
  CannedSocks socks;
  ASSERT_TRUE(socks.Start("s5-greeting-reply.case", "5", {{"@REPLY@", "\\x05\\x00\n<<< fill 5000 \\x00"}}));
  ASSERT_TRUE(socks.ConnectUntilClosed());
  EXPECT_EQ(socks.log.Shape().at(1), "socks-error 20002 socks version error");
  EXPECT_EQ(socks.log.Received, "");
}

TEST(SocksConnect, RefusedConnectionToTheSocksServerIsReportedOnce) {
  const uint16_t port = larktest::FreeTcpPort();
  TWSocket socket(nullptr);
  SocksLog log(socket);
  Aim(socket, port, "5", TargetName);
  socket.Connect();
  ASSERT_TRUE(PumpUntil([&] { return log.Closed; }));
  const std::string refused = std::to_string(winsock::WSAECONNREFUSED);
  EXPECT_EQ(log.Shape(), (std::vector<std::string>{"socks-connected " + refused, "connected " + refused,
                                                   "closed 0"}));
}

// ---- The reply state machine fed by hand ---------------------------------------------------

// A socket without a connection: replies come from Feed, requests go to Sent.
class FedSocket : public TCustomSocksWSocket {
 public:
  using TCustomSocksWSocket::TCustomSocksWSocket;
  void Start(TSocksState state) {
    State = wsConnected;
    SocksState = state;
  }
  void Feed(const std::string& bytes) {
    pending_ += bytes;
    TriggerDataAvailable(0);
  }
  std::string Sent;

 protected:
  Integer DoRecv(void* buffer, Integer size, Integer flags) override {
    if (SocksLeftover > 0) return TCustomSocksWSocket::DoRecv(buffer, size, flags);
    const Integer n = std::min<Integer>(size, static_cast<Integer>(pending_.size()));
    if (n == 0) return -1;
    std::memcpy(buffer, pending_.data(), static_cast<size_t>(n));
    pending_.erase(0, static_cast<size_t>(n));
    return n;
  }

 public:
  Integer Send(const void* data, Integer len) override {
    Sent.append(static_cast<const char*>(data), static_cast<size_t>(len));
    return len;
  }

 private:
  std::string pending_;
};

TEST(SocksStateMachine, StatesNoServerCanReachAreInternalErrors) {
  {
    // Levels 4 and 4A never wait for a method choice.
    FedSocket socket(nullptr);
    SocksLog log(socket);
    socket.SetSocksLevel("4");
    socket.Start(socksNegociateMethods);
    socket.Feed(std::string("\x05\x00", 2));
    EXPECT_EQ(log.Events.at(0), "socks-error 20001 TWSocket logic error");
  }
  {
    FedSocket socket(nullptr);
    SocksLog log(socket);
    socket.Start(static_cast<TSocksState>(4));
    socket.Feed("x");
    EXPECT_EQ(log.Events.at(0), "socks-error 20013 internal error");
  }
}

// ---- Real SOCKS servers in front of nginx --------------------------------------------------

// A peer may lose its port to another process between FreeTcpPort and its bind.
constexpr int StartAttempts = 3;

// Starts argv (with "PORT" in an argument replaced by a free port) until it listens; answers the port.
uint16_t StartListening(larktest::PeerProcess& process, std::vector<std::string> argv,
                        const std::function<void(uint16_t)>& beforeStart = {}) {
  for (int attempt = 0; attempt < StartAttempts; ++attempt) {
    const uint16_t port = larktest::FreeTcpPort();
    std::vector<std::string> args = argv;
    for (std::string& arg : args) {
      const size_t at = arg.find("PORT");
      if (at != std::string::npos) arg.replace(at, 4, std::to_string(port));
    }
    if (beforeStart) beforeStart(port);
    if (!process.Start(args)) return 0;
    if (process.WaitForTcpPort(port)) return port;
    process.Stop();
  }
  ADD_FAILURE() << argv[0] << " did not listen:\n" << process.Log();
  return 0;
}

bool WriteText(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
  return static_cast<bool>(out);
}

// An HTTP client's fetch through a SOCKS server, with the SOCKS events it forwards.
struct Fetched {
  Integer status = 0;
  Word code = 0xFFFF;
  std::string body;
  std::vector<std::string> events;  // SOCKS events, then "connected", "socket-error"
};

Fetched FetchThrough(const std::string& url, uint16_t socksPort, const char* level,
                     const std::string& user = {}, const std::string& password = {}) {
  THttpCli cli(nullptr);
  CliLog log(cli);
  Fetched result;
  cli.OnSocksConnected = [&](TObject*, Word e) { result.events.push_back("socks-connected " + std::to_string(e)); };
  cli.OnSocksAuthState = [&](TObject*, TSocksAuthState s) {
    result.events.push_back(std::string("auth ") + AuthStateName(s));
  };
  cli.OnSocksError = [&](TObject*, Integer e, AnsiString msg) {
    result.events.push_back("socks-error " + std::to_string(e) + " " + msg);
  };
  cli.SetURL(url);
  cli.SetSocksServer("127.0.0.1");
  cli.SetSocksPort(std::to_string(socksPort));
  cli.SetSocksLevel(level);
  if (!user.empty()) {
    cli.SetSocksAuthentication(socksAuthenticateUsercode);
    cli.SetSocksUsercode(user);
    cli.SetSocksPassword(password);
  }
  cli.GetASync();
  if (!WaitDone(log)) {
    ADD_FAILURE() << "the request did not end";
    return result;
  }
  result.status = cli.GetStatusCode();
  result.code = log.LastCode;
  result.body = log.Body;
  if (log.Has("socket-error")) result.events.push_back("socket-error");
  cli.OnSocksConnected = nullptr;
  cli.OnSocksAuthState = nullptr;
  cli.OnSocksError = nullptr;
  return result;
}

const char* const PageText = "a page fetched through SOCKS\n";

class SocksPeers : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(nginx.Start());
    nginx.WriteFile("page.txt", PageText);
  }
  std::string PageUrl() const { return nginx.Url("/page.txt"); }
  void ExpectPage(const Fetched& f, const std::vector<std::string>& events) {
    EXPECT_EQ(f.status, 200);
    EXPECT_EQ(f.code, 0);
    EXPECT_EQ(f.body, PageText);
    EXPECT_EQ(f.events, events);
  }
  larktest::NginxServer nginx;
};

TEST_F(SocksPeers, MicrosocksLevel5FetchesAPage) {
  const std::string program = larktest::RequireProgram("microsocks");
  ASSERT_FALSE(program.empty());
  larktest::PeerProcess socks;
  const uint16_t port = StartListening(socks, {program, "-i", "127.0.0.1", "-p", "PORT"});
  ASSERT_NE(port, 0);
  ExpectPage(FetchThrough(PageUrl(), port, "5"), {"socks-connected 0"});
  // The client's initial empty level leaves the socket at 5, without a socket error.
  ExpectPage(FetchThrough(PageUrl(), port, ""), {"socks-connected 0"});
}

TEST_F(SocksPeers, MicrosocksWithUserAndPassword) {
  const std::string program = larktest::RequireProgram("microsocks");
  ASSERT_FALSE(program.empty());
  larktest::PeerProcess socks;
  const uint16_t port =
      StartListening(socks, {program, "-i", "127.0.0.1", "-p", "PORT", "-u", "alice", "-P", "secret"});
  ASSERT_NE(port, 0);
  ExpectPage(FetchThrough(PageUrl(), port, "5", "alice", "secret"),
             {"socks-connected 0", "auth start", "auth success"});

  const Fetched wrong = FetchThrough(PageUrl(), port, "5", "alice", "wrong");
  EXPECT_EQ(wrong.events, (std::vector<std::string>{"socks-connected 0", "auth start",
                                                    "socks-error 20015 socks authentication failed"}));
  EXPECT_EQ(wrong.code, 20015);
  EXPECT_EQ(wrong.status, 404);

  // Offering no authentication to a server that demands it.
  const Fetched none = FetchThrough(PageUrl(), port, "5");
  EXPECT_EQ(none.events, (std::vector<std::string>{
                             "socks-connected 0", "socks-error 20003 authentification method not acceptable"}));
  EXPECT_EQ(none.code, 20003);
  EXPECT_EQ(none.body, "");
}

TEST_F(SocksPeers, DanteLevels4And5FetchAPage) {
  const std::string program = larktest::RequireProgram("danted");
  ASSERT_FALSE(program.empty());
  larktest::TempDir dir;
  larktest::PeerProcess socks;
  const std::string conf = dir.Path() + "danted.conf";
  const uint16_t port = StartListening(
      socks, {program, "-f", conf, "-p", dir.Path() + "danted.pid", "-N", "1"}, [&](uint16_t p) {
        WriteText(conf, "logoutput: stderr\n"
                        "internal: 127.0.0.1 port = " + std::to_string(p) + "\n"
                        "external: 127.0.0.1\n"
                        "clientmethod: none\n"
                        "socksmethod: none\n"
                        "user.privileged: root\n"
                        "user.unprivileged: nobody\n"
                        "client pass {\n  from: 127.0.0.0/8 to: 0.0.0.0/0\n}\n"
                        "socks pass {\n  from: 127.0.0.0/8 to: 0.0.0.0/0\n  protocol: tcp\n}\n");
      });
  ASSERT_NE(port, 0);
  for (const char* level : {"4", "5"}) {
    SCOPED_TRACE(level);
    ExpectPage(FetchThrough(PageUrl(), port, level), {"socks-connected 0"});
  }
}

// sshd on a free port that lets in one client key, and `ssh -N -D` through it.
class SshDynamicForward {
 public:
  // Answers the SOCKS port, 0 after a test failure.
  uint16_t Start() {
    const std::string sshd = larktest::RequireProgram("/usr/sbin/sshd");
    const std::string ssh = larktest::RequireProgram("ssh");
    const std::string keygen = larktest::RequireProgram("ssh-keygen");
    if (sshd.empty() || ssh.empty() || keygen.empty()) return 0;
    const std::string& d = dir_.Path();
    for (const char* key : {"host_key", "client_key"}) {
      int code = -1;
      larktest::RunCommand({keygen, "-q", "-t", "ed25519", "-N", "", "-f", d + key}, &code);
      if (code != 0) {
        ADD_FAILURE() << "ssh-keygen failed for " << key;
        return 0;
      }
    }
    std::filesystem::copy_file(d + "client_key.pub", d + "authorized_keys");
    std::filesystem::create_directories("/run/sshd");
    const std::string config = d + "sshd_config";
    const uint16_t sshdPort = StartListening(sshd_, {sshd, "-D", "-e", "-f", config}, [&](uint16_t p) {
      WriteText(config, "Port " + std::to_string(p) + "\n"
                        "ListenAddress 127.0.0.1\n"
                        "HostKey " + d + "host_key\n"
                        "PidFile " + d + "sshd.pid\n"
                        "AuthorizedKeysFile " + d + "authorized_keys\n"
                        "StrictModes no\n"
                        "UsePAM no\n"
                        "PermitRootLogin prohibit-password\n"
                        "PasswordAuthentication no\n"
                        "KbdInteractiveAuthentication no\n"
                        "AllowTcpForwarding yes\n");
    });
    if (sshdPort == 0) return 0;
    return StartListening(ssh_, {ssh, "-F", "/dev/null", "-N", "-D", "127.0.0.1:PORT", "-p",
                                 std::to_string(sshdPort), "-i", d + "client_key", "-o",
                                 "StrictHostKeyChecking=no", "-o", "UserKnownHostsFile=/dev/null", "-o",
                                 "BatchMode=yes", "-o", "IdentitiesOnly=yes", "-o",
                                 "ExitOnForwardFailure=yes", "root@127.0.0.1"});
  }
  std::string Log() const { return sshd_.Log() + ssh_.Log(); }

 private:
  larktest::TempDir dir_;
  larktest::PeerProcess sshd_;
  larktest::PeerProcess ssh_;
};

TEST_F(SocksPeers, SshDynamicForwardTakesLevels4A4And5) {
  if (geteuid() != 0) GTEST_SKIP() << "sshd for ssh -D needs root (for its privilege separation)";
  SshDynamicForward forward;
  const uint16_t port = forward.Start();
  ASSERT_NE(port, 0) << forward.Log();
  for (const char* level : {"4A", "4", "5"}) {
    SCOPED_TRACE(level);
    ExpectPage(FetchThrough(PageUrl(), port, level), {"socks-connected 0"});
  }

  // With level 4A the server resolves the name: "localhost" is looked up by ssh's
  // far end, never here.
  FailingResolver resolver;
  TWSocket socket(nullptr);
  SocksLog log(socket);
  Aim(socket, port, "4A", "localhost");
  socket.SetPort(std::to_string(nginx.Port()));
  auto connected = socket.OnSessionConnected;
  socket.OnSessionConnected = [&](TObject* sender, Word error) {
    connected(sender, error);
    if (error == 0) socket.SendStr("GET /page.txt HTTP/1.0\r\nHost: localhost\r\n\r\n");
  };
  socket.Connect();
  ASSERT_TRUE(PumpUntil([&] { return log.Closed; }, 10000)) << forward.Log();
  EXPECT_EQ(log.Received.rfind("HTTP/1.1 200 OK\r\n", 0), 0u) << log.Received;
  EXPECT_NE(log.Received.find(PageText), std::string::npos);
  socket.OnSessionConnected = nullptr;
}

}  // namespace
