// Abort and re-entrancy: Abort while idle, while looking up, while waiting for the
// header and inside OnDocData, each followed at once by a new request that
// succeeds; a new request started inside an event of the previous one (also when
// the previous document ends with the server's close); stale messages of an aborted
// request; Abort while a relocation is pending, before and after its connection
// closed.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "net/HttpProt.h"
#include "platform/rtl/Streams.h"
#include "platform/sim/Resolver.h"
#include "platform/sim/Winsock.h"
#include "platform/win/Messages.h"
#include "platform/win/Window.h"
#include "tests/net/httpCli_test_support.h"
#include "tests/support/CannedServer.h"
#include "tests/support/Gate.h"
#include "tests/support/HttpPeers.h"
#include "tests/support/Pump.h"

namespace {

using httpclitest::CliLog;
using httpclitest::WaitDone;
using larktest::CannedServer;
using larktest::NginxServer;

bool ServeCase(CannedServer& server, const std::string& name) {
  const std::string error = server.LoadCase(httpclitest::DataPath("http/" + name));
  EXPECT_EQ(error, "");
  return error.empty() && server.Start();
}

// The events recorded from index from on.
std::vector<std::string> From(const CliLog& log, size_t from) {
  return std::vector<std::string>(log.Events.begin() + static_cast<long>(from), log.Events.end());
}

int CountIn(const std::vector<std::string>& events, const std::string& event) {
  int n = 0;
  for (const std::string& e : events) n += e == event ? 1 : 0;
  return n;
}

class HttpCliAbort : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(nginx.Start());
    nginx.WriteFile("small.txt", "small document\n");
    big = nginx.AddPatternFile("big.bin", 1 << 20);
    ASSERT_FALSE(big.empty());
  }
  // A new request for small.txt succeeds, with exactly one OnRequestDone and no
  // other ready state than its own last one.
  void ExpectNewRequestSucceeds(THttpCli& cli, CliLog& log, size_t from) {
    ASSERT_TRUE(larktest::PumpUntil([&] { return log.Has("done GET 0"); }, 20000))
        << ::testing::PrintToString(From(log, from));
    httpclitest::Settle();
    const std::vector<std::string> events = From(log, from);
    EXPECT_EQ(CountIn(events, "state ready"), 1) << ::testing::PrintToString(events);
    EXPECT_EQ(events.back(), "done GET 0") << ::testing::PrintToString(events);
    EXPECT_EQ(CountIn(events, "done GET 0") + CountIn(events, "done GET 3"), 1)
        << ::testing::PrintToString(events);
    EXPECT_EQ(cli.GetStatusCode(), 200);
    EXPECT_EQ(cli.GetState(), httpReady);
  }
  NginxServer nginx;
  std::string big;
};

TEST_F(HttpCliAbort, IdleAbortAnswersAtOnce) {
  THttpCli cli(nullptr);
  CliLog log(cli);
  cli.SetRequestVer("1.1");
  cli.SetURL(nginx.Url("/small.txt"));
  cli.GetASync();
  ASSERT_TRUE(WaitDone(log));
  log.Clear();
  // The kept-alive connection closes, and OnRequestDone comes before Abort returns.
  cli.Abort();
  EXPECT_EQ(log.Events, (std::vector<std::string>{"closed", "state ready", "done GET 0"}));
  EXPECT_EQ(cli.GetStatusCode(), 200);
  EXPECT_EQ(cli.GetReasonPhrase(), "OK");
  httpclitest::Settle();
  EXPECT_EQ(log.Done, 1);
  // And a new request runs as usual.
  log.Clear();
  cli.GetASync();
  ExpectNewRequestSucceeds(cli, log, 0);
  EXPECT_EQ(log.Body, "small document\n");
}

TEST_F(HttpCliAbort, AbortDuringTheLookupThenANewRequest) {
  larktest::Gate lookupAnswers;
  sim::SetNameResolver([&lookupAnswers](const std::string&) {
    sim::ResolverAnswer answer;
    answer.addresses.push_back(winsock::htonl(winsock::INADDR_LOOPBACK));
    lookupAnswers.Wait();
    return answer;
  });
  THttpCli cli(nullptr);
  CliLog log(cli);
  cli.SetURL("http://slow.example.test:" + std::to_string(nginx.Port()) + "/small.txt");
  cli.GetASync();
  ASSERT_EQ(cli.GetState(), httpDnsLookup);
  cli.Abort();
  EXPECT_EQ(From(log, 2), (std::vector<std::string>{"state aborting", "closed", "state ready"}));
  EXPECT_EQ(cli.GetStatusCode(), 404);
  EXPECT_EQ(cli.GetReasonPhrase(), "Connection aborted on request");
  const size_t from = log.Events.size();
  cli.SetURL(nginx.Url("/small.txt"));
  cli.GetASync();
  ExpectNewRequestSucceeds(cli, log, from);
  EXPECT_EQ(log.Body, "small document\n");
  // The aborted lookup's answer comes in now, and changes nothing.
  const size_t before = log.Events.size();
  lookupAnswers.Open();
  ASSERT_TRUE(larktest::PumpUntil([] { return sim::WinsockLookupsInFlight() == 0; }));
  EXPECT_TRUE(larktest::PumpUntilIdle());
  EXPECT_EQ(From(log, before), std::vector<std::string>{});
  EXPECT_EQ(cli.GetState(), httpReady);
  sim::SetNameResolver(nullptr);
}

// The aborted request's set-ready and request-done messages are stale once the new
// request has started: they neither make it ready early nor report for it.
TEST_F(HttpCliAbort, AbortWhileWaitingForTheHeaderThenANewRequest) {
  CannedServer silent;
  ASSERT_TRUE(ServeCase(silent, "httpcli-silent.case"));
  THttpCli cli(nullptr);
  CliLog log(cli);
  cli.SetURL(silent.Url("/"));
  cli.GetASync();
  ASSERT_TRUE(larktest::PumpUntil([&] { return cli.GetState() == httpWaitingHeader; }));
  httpclitest::Settle();
  cli.Abort();
  EXPECT_EQ(cli.GetState(), httpReady);
  const size_t from = log.Events.size();
  cli.SetURL(nginx.Url("/small.txt"));
  cli.GetASync();
  ExpectNewRequestSucceeds(cli, log, from);
  EXPECT_EQ(log.Body, "small document\n");
}

TEST_F(HttpCliAbort, AbortInsideOnDocDataThenANewRequestFromThere) {
  THttpCli cli(nullptr);
  CliLog log(cli);
  log.LogDocData = false;
  cli.SetURL(nginx.Url("/big.bin"));
  size_t from = 0;
  bool restarted = false;
  log.OnDocDataHook = [&](Integer) {
    if (restarted) return;
    restarted = true;
    cli.Abort();
    from = log.Events.size();
    log.Body.clear();
    cli.SetURL(nginx.Url("/small.txt"));
    cli.GetASync();
  };
  cli.GetASync();
  ASSERT_TRUE(larktest::PumpUntil([&] { return restarted; }));
  ExpectNewRequestSucceeds(cli, log, from);
  // The aborted document ended inside Abort.
  const std::vector<std::string> before(log.Events.begin(), log.Events.begin() + static_cast<long>(from));
  EXPECT_EQ(CountIn(before, "doc-end"), 1);
  EXPECT_EQ(CountIn(before, "state aborting"), 1);
  EXPECT_EQ(log.Body, "small document\n");
  EXPECT_EQ(cli.GetRcvdCount(), 15);
}

// An HTTP/1.0 document whose OnDocEnd starts the next request: the end of the old
// response does not close the new connection.
TEST_F(HttpCliAbort, NewRequestStartedInsideOnDocEndKeepsItsConnection) {
  THttpCli cli(nullptr);
  CliLog log(cli);
  log.LogDocData = false;
  TMemoryStream stream;
  cli.SetRcvdStream(&stream);
  cli.SetURL(nginx.Url("/small.txt"));
  size_t from = 0;
  log.Hook = [&](const std::string& event) {
    if (event != "doc-end" || from != 0) return;
    cli.Abort();
    from = log.Events.size();
    stream.Clear();
    cli.SetURL(nginx.Url("/big.bin"));
    cli.GetASync();
  };
  cli.GetASync();
  ASSERT_TRUE(larktest::PumpUntil([&] { return log.Has("done GET 0"); }, 20000));
  httpclitest::Settle();
  const std::vector<std::string> events = From(log, from);
  EXPECT_EQ(CountIn(events, "done GET 0"), 1) << ::testing::PrintToString(events);
  EXPECT_EQ(cli.GetRcvdCount(), 1 << 20);
  EXPECT_EQ(stream.GetSize(), 1 << 20);
  EXPECT_TRUE(std::string(static_cast<const char*>(stream.Memory()), 1 << 20) ==
              larktest::PatternBytes(1 << 20));
}

// A feed without a length, whose end comes with the server's close: OnDocEnd fires
// from that close, and the next request it starts (after Abort, as the feed download
// does) keeps its connection, whether it connects at once (an address) or the
// handler pumps messages until its host name is looked up and connected.
struct DocEndRestart {
  const char* name;
  bool byHostName;
};

void PrintTo(const DocEndRestart& c, std::ostream* os) { *os << c.name; }

class HttpCliDocEndRestart : public HttpCliAbort, public ::testing::WithParamInterface<DocEndRestart> {
 protected:
  void TearDown() override { sim::SetNameResolver(nullptr); }
};

TEST_P(HttpCliDocEndRestart, NewRequestFromOnDocEndOfADocumentEndedByTheClose) {
  const DocEndRestart& c = GetParam();
  sim::SetNameResolver([](const std::string&) {
    sim::ResolverAnswer answer;
    answer.addresses.push_back(winsock::htonl(winsock::INADDR_LOOPBACK));
    return answer;
  });
  CannedServer server;
  ASSERT_TRUE(ServeCase(server, "httpcli-feed-until-close.case"));
  THttpCli cli(nullptr);
  CliLog log(cli);
  cli.SetURL(server.Url("/first"));
  size_t from = 0;
  bool restarted = false;
  std::string first;
  log.Hook = [&](const std::string& event) {
    if (event != "doc-end" || restarted) return;
    restarted = true;
    first = log.Body;
    cli.Abort();
    from = log.Events.size();
    log.Body.clear();
    cli.SetURL(c.byHostName ? "http://feed.example.test:" + std::to_string(server.Port()) + "/second"
                            : server.Url("/second"));
    cli.GetASync();
    if (c.byHostName) {
      // The request may run on past the header within one pump: wait for the state to
      // have been reached, not to be the current one.
      EXPECT_TRUE(larktest::PumpUntil([&] { return CountIn(From(log, from), "state waitingheader") > 0; }))
          << ::testing::PrintToString(From(log, from));
    }
  };
  cli.GetASync();
  ASSERT_TRUE(larktest::PumpUntil([&] { return restarted; }));
  EXPECT_EQ(first, "<rss>first</rss>");
  ExpectNewRequestSucceeds(cli, log, from);
  EXPECT_EQ(log.Body, "<rss>second</rss>");
  const std::vector<std::string> requests = server.Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[1].substr(0, 12), "GET /second ");
}

INSTANTIATE_TEST_SUITE_P(
    Restarts, HttpCliDocEndRestart,
    ::testing::Values(DocEndRestart{"ByAddress", false}, DocEndRestart{"ByHostNamePumpingMessages", true}),
    [](const ::testing::TestParamInfo<DocEndRestart>& info) { return std::string(info.param.name); });

// Abort alone lets a pending relocation go on; GetASync after Abort supersedes it.
TEST_F(HttpCliAbort, PendingRelocationSurvivesAbortButNotANewRequest) {
  {
    CannedServer server;
    ASSERT_TRUE(ServeCase(server, "httpcli-relocate-slow-body.case"));
    THttpCli cli(nullptr);
    CliLog log(cli);
    cli.SetURL(server.Url("/first"));
    cli.GetASync();
    ASSERT_TRUE(larktest::PumpUntil([&] { return log.Has("doc-data"); }));
    cli.Abort();
    EXPECT_EQ(cli.GetState(), httpReady);
    ASSERT_TRUE(WaitDone(log));
    httpclitest::Settle();
    EXPECT_EQ(log.Done, 1);
    EXPECT_EQ(log.Events.back(), "done GET 0");
    EXPECT_EQ(cli.GetStatusCode(), 200);
    EXPECT_EQ(log.Count("location"), 1);
    EXPECT_EQ(log.Body.substr(log.Body.size() - 4), "next");
    EXPECT_EQ(cli.GetLocation(), server.Url("/next"));
  }
  {
    CannedServer server;
    ASSERT_TRUE(ServeCase(server, "httpcli-relocate-slow-body.case"));
    THttpCli cli(nullptr);
    CliLog log(cli);
    cli.SetURL(server.Url("/first"));
    cli.GetASync();
    ASSERT_TRUE(larktest::PumpUntil([&] { return log.Has("doc-data"); }));
    cli.Abort();
    const size_t from = log.Events.size();
    log.Body.clear();
    cli.SetURL(nginx.Url("/small.txt"));
    cli.GetASync();
    ExpectNewRequestSucceeds(cli, log, from);
    EXPECT_EQ(log.Body, "small document\n");
    // The relocation's request never went out.
    httpclitest::Settle();
    EXPECT_EQ(server.Requests().size(), 1u);
  }
}

}  // namespace

namespace {

// Abort after the relocating connection has closed, before the relocated request
// went out: from OnLocationChange, or from a message handled between the close and
// the relocated request's login. Abort alone lets the relocation go on there too;
// GetASync after Abort supersedes it.
struct RelocationAbort {
  const char* name;
  bool posted;
  bool thenNewRequest;
};

void PrintTo(const RelocationAbort& c, std::ostream* os) { *os << c.name; }

class HttpCliRelocationAbort : public HttpCliAbort, public ::testing::WithParamInterface<RelocationAbort> {};

TEST_P(HttpCliRelocationAbort, AbortAfterTheRelocatingConnectionClosed) {
  const RelocationAbort& c = GetParam();
  CannedServer server;
  ASSERT_TRUE(httpclitest::ServeCase(server, "http", "httpcli-relocate.case", {{"@LOCATION@", "/next"}}));
  THttpCli cli(nullptr);
  CliLog log(cli);
  cli.SetURL(server.Url("/first"));
  bool aborted = false;
  size_t from = 0;
  auto abort = [&] {
    aborted = true;
    cli.Abort();
    from = log.Events.size();
    if (!c.thenNewRequest) return;
    log.Body.clear();
    cli.SetURL(nginx.Url("/small.txt"));
    cli.GetASync();
  };
  HWND window = AllocateHWnd([&](TMessage& msg) {
    if (msg.Msg == WM_USER + 50) abort();
  });
  log.Hook = [&](const std::string& event) {
    if (event != "location" || aborted) return;
    if (c.posted)
      PostMessage(window, WM_USER + 50, 0, 0);
    else
      abort();
  };
  cli.GetASync();
  ASSERT_TRUE(larktest::PumpUntil([&] { return aborted; }));
  EXPECT_TRUE(log.Has("state aborting"));
  if (c.thenNewRequest) {
    ExpectNewRequestSucceeds(cli, log, from);
    EXPECT_EQ(log.Body, "small document\n");
    // The relocation's request never went out.
    EXPECT_EQ(server.Requests().size(), 1u);
  } else {
    ASSERT_TRUE(WaitDone(log));
    httpclitest::Settle();
    EXPECT_EQ(log.Done, 1) << ::testing::PrintToString(log.Events);
    EXPECT_EQ(log.Events.back(), "done GET 0");
    EXPECT_EQ(cli.GetStatusCode(), 200);
    EXPECT_EQ(cli.GetState(), httpReady);
    EXPECT_EQ(log.Body, "target");
    EXPECT_EQ(cli.GetLocation(), server.Url("/next"));
    const std::vector<std::string> requests = server.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[1].substr(0, 10), "GET /next ");
  }
  DeallocateHWnd(window);
}

INSTANTIATE_TEST_SUITE_P(
    Windows, HttpCliRelocationAbort,
    ::testing::Values(RelocationAbort{"InsideOnLocationChange", false, false},
                      RelocationAbort{"BeforeTheRelocatedLogin", true, false},
                      RelocationAbort{"InsideOnLocationChangeThenANewRequest", false, true},
                      RelocationAbort{"BeforeTheRelocatedLoginThenANewRequest", true, true}),
    [](const ::testing::TestParamInfo<RelocationAbort>& info) { return std::string(info.param.name); });

}  // namespace
