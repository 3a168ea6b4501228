// The HTTP client's name lookup and connection: failures end the request with a
// status and a reason, never with an exception from an asynchronous request.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "net/HttpProt.h"
#include "platform/sim/Resolver.h"
#include "tests/net/httpCli_test_support.h"
#include "tests/net/net_test_support.h"
#include "tests/support/CannedServer.h"

namespace {

using httpclitest::CliLog;
using httpclitest::WaitDone;

// Answers every name lookup with an error, or with 127.0.0.1 after a delay.
class ResolverGuard {
 public:
  explicit ResolverGuard(int error, uint32_t delayMs = 0) {
    sim::SetNameResolver([error, delayMs](const std::string& name) {
      if (name == "localhost") return sim::SystemResolveName(name);
      sim::ResolverAnswer answer;
      answer.error = error;
      answer.delayMs = delayMs;
      if (error == 0) answer.addresses.push_back(winsock::htonl(winsock::INADDR_LOOPBACK));
      return answer;
    });
  }
  ~ResolverGuard() { sim::SetNameResolver(nullptr); }
};

TEST(HttpCliConnect, FailedLookupEndsWith404AndTheLookupError) {
  ResolverGuard resolver(winsock::WSAHOST_NOT_FOUND);
  THttpCli cli(nullptr);
  CliLog log(cli);
  cli.SetURL("http://nowhere.example.test/doc");
  cli.GetASync();
  ASSERT_TRUE(WaitDone(log));
  EXPECT_EQ(cli.GetStatusCode(), 404);
  EXPECT_EQ(cli.GetReasonPhrase(), "can't resolve hostname to IP address");
  EXPECT_EQ(log.Events, (std::vector<std::string>{"state notconnected", "state dnslookup", "closed",
                                                  "state ready", "done GET 11001"}));
}

TEST(HttpCliConnect, UrlWithoutHostReportsTheSocketErrorThen404) {
  THttpCli cli(nullptr);
  CliLog log(cli);
  cli.SetURL("http:///doc");
  cli.GetASync();
  ASSERT_TRUE(WaitDone(log));
  EXPECT_EQ(cli.GetStatusCode(), 404);
  EXPECT_EQ(cli.GetReasonPhrase(), "can't resolve hostname to IP address");
  EXPECT_EQ(log.LastCode, winsock::WSAEINVAL);
  EXPECT_LT(log.Index("socket-error"), log.Index("closed"));
}

TEST(HttpCliConnect, RefusedConnectionEndsWith404AndTheWinsockError) {
  nettest::RefusingPort port;
  THttpCli cli(nullptr);
  CliLog log(cli);
  cli.SetURL("http://127.0.0.1:" + std::to_string(port.Port()) + "/");
  cli.GetASync();
  ASSERT_TRUE(WaitDone(log));
  EXPECT_EQ(cli.GetStatusCode(), 404);
  EXPECT_EQ(cli.GetReasonPhrase(), "Connection refused (Error #10061)");
  EXPECT_EQ(log.LastCode, winsock::WSAECONNREFUSED);
  EXPECT_TRUE(log.Has("connected"));
  EXPECT_LT(log.Index("connected"), log.Index("closed"));
  // The synchronous form raises with the status.
  try {
    cli.Get();
    FAIL() << "no exception";
  } catch (const EHttpException& e) {
    EXPECT_EQ(e.ErrorCode, 404);
  }
}

TEST(HttpCliConnect, HttpsEndsWith501AfterTheLookup) {
  THttpCli cli(nullptr);
  CliLog log(cli);
  cli.SetURL("https://127.0.0.1/");
  cli.GetASync();
  ASSERT_TRUE(WaitDone(log));
  EXPECT_EQ(cli.GetStatusCode(), 501);
  EXPECT_EQ(cli.GetReasonPhrase(), "Protocol \"https\" not implemented");
  EXPECT_TRUE(log.Has("state dnslookupdone"));
  EXPECT_FALSE(log.Has("connected"));
}

TEST(HttpCliConnect, UrlWithoutSchemeIsRequestedAsHttp) {
  larktest::CannedServer server;
  ASSERT_EQ(server.LoadCase(httpclitest::DataPath("http/httpcli-ok.case")), "");
  ASSERT_TRUE(server.Start());
  ResolverGuard resolver(0, 50);
  THttpCli cli(nullptr);
  CliLog log(cli);
  cli.SetURL("www.example.test:" + std::to_string(server.Port()) + "/dir/");
  cli.GetASync();
  ASSERT_TRUE(WaitDone(log));
  EXPECT_EQ(log.Body, "ok");
  EXPECT_EQ(cli.GetDocName(), "document.htm");
  ASSERT_TRUE(larktest::PumpUntil([&] { return server.Done(); }));
  const std::string request = server.Requests()[0];
  EXPECT_EQ(request.substr(0, request.find("\r\n")), "GET /dir/ HTTP/1.0");
  EXPECT_NE(request.find("\r\nHost: www.example.test:" + std::to_string(server.Port()) + "\r\n"),
            std::string::npos);
}

TEST(HttpCliConnect, DocNameIsTheFileNameOfThePath) {
  struct Case {
    std::string path;
    std::string docName;
  };
  const std::vector<Case> cases = {{"/", "document.htm"},
                                   {"/a/b/", "document.htm"},
                                   {"/a/report.pdf?x=1/y", "report.pdf"},
                                   {"?only=query", "document.htm"},
                                   {"/a/" + std::string(300, 'n'), std::string(255, 'n')}};
  ResolverGuard resolver(winsock::WSAHOST_NOT_FOUND);
  THttpCli cli(nullptr);
  CliLog log(cli);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    log.Clear();
    cli.SetURL("http://host.example.test" + c.path);
    cli.GetASync();
    EXPECT_EQ(cli.GetDocName(), c.docName);
    ASSERT_TRUE(WaitDone(log));
  }
}

}  // namespace
