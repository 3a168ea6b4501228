// The HTTP client through a real HTTP proxy (tinyproxy) in front of nginx: the
// absolute request form, the proxy's port on every connection, proxy Basic
// authentication (407), and origin authentication through the proxy.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "net/HttpProt.h"
#include "platform/rtl/Streams.h"
#include "tests/net/httpCli_test_support.h"
#include "tests/support/HttpPeers.h"

namespace {

using httpclitest::CliLog;
using httpclitest::MemoryText;
using httpclitest::WaitDone;
using larktest::NginxServer;
using larktest::TinyproxyServer;

const char* const Document = "through the proxy\n";

class HttpCliProxy : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(larktest::WriteHtpasswd(nginx.Dir() + "htpasswd", {{"user", "pass"}}));
    ASSERT_TRUE(nginx.Start("location = /found { return 302 /doc.txt; }\n"
                            "location /private/ {\n"
                            "  auth_basic \"Larkspool\";\n"
                            "  auth_basic_user_file " +
                            nginx.Dir() + "htpasswd;\n}\n"));
    nginx.WriteFile("doc.txt", Document);
    nginx.WriteFile("private/doc.txt", Document);
  }

  // The request lines the proxy logged, once count of them are there.
  std::vector<std::string> ProxyLines(size_t count) {
    larktest::PumpUntil([&] { return proxy.RequestLines().size() >= count; }, 5000);
    httpclitest::Settle();
    return proxy.RequestLines();
  }

  std::string Absolute(const std::string& path) const { return nginx.Url(path); }

  NginxServer nginx;
  TinyproxyServer proxy;
};

// The proxy named by host and ProxyPort, by host and port, or by a URL: the
// request line carries the absolute URL.
TEST_F(HttpCliProxy, RequestLineCarriesTheAbsoluteUrl) {
  ASSERT_TRUE(proxy.Start());
  const std::string port = std::to_string(proxy.Port());
  struct Form {
    std::string proxy;
    std::string proxyPort;
  };
  const std::vector<Form> forms = {{"127.0.0.1", port},
                                   {"127.0.0.1:" + port, "80"},
                                   {"http://127.0.0.1:" + port, "1"}};
  size_t requests = 0;
  for (const Form& form : forms) {
    SCOPED_TRACE(form.proxy + " / " + form.proxyPort);
    THttpCli cli(nullptr);
    CliLog log(cli);
    cli.SetProxy(form.proxy);
    cli.SetProxyPort(form.proxyPort);
    cli.SetURL(nginx.Url("/doc.txt"));
    cli.GetASync();
    ASSERT_TRUE(WaitDone(log)) << ::testing::PrintToString(log.Events);
    EXPECT_EQ(cli.GetStatusCode(), 200);
    EXPECT_EQ(log.Body, Document);
    ++requests;
    const std::vector<std::string> lines = ProxyLines(requests);
    ASSERT_EQ(lines.size(), requests);
    EXPECT_EQ(lines.back(), "GET " + Absolute("/doc.txt") + " HTTP/1.0");
  }
}

// A relocation reconnects to the proxy at the port named in Proxy, not at ProxyPort.
TEST_F(HttpCliProxy, RelocationReconnectsToTheProxysOwnPort) {
  ASSERT_TRUE(proxy.Start());
  THttpCli cli(nullptr);
  CliLog log(cli);
  TMemoryStream received;
  cli.SetRcvdStream(&received);
  cli.SetProxy(proxy.HostPort());
  // Nothing listens there.
  cli.SetProxyPort(std::to_string(larktest::FreeTcpPort()));
  cli.SetURL(nginx.Url("/found"));
  cli.GetASync();
  ASSERT_TRUE(WaitDone(log)) << ::testing::PrintToString(log.Events);
  EXPECT_EQ(cli.GetStatusCode(), 200);
  EXPECT_EQ(log.LastCode, 0);
  EXPECT_TRUE(log.Has("location"));
  EXPECT_EQ(MemoryText(received), Document);
  const std::vector<std::string> lines = ProxyLines(2);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], "GET " + Absolute("/found") + " HTTP/1.0");
  EXPECT_EQ(lines[1], "GET " + Absolute("/doc.txt") + " HTTP/1.0");
}

struct ProxyAuthCase {
  const char* name;
  std::string user;
  std::string password;
  int status;
  size_t requests;  // as the proxy logged them
};

void PrintTo(const ProxyAuthCase& c, std::ostream* os) { *os << c.name; }

class HttpCliProxyAuth : public HttpCliProxy, public ::testing::WithParamInterface<ProxyAuthCase> {};

// A proxy that wants Basic credentials answers 407; the request is repeated with
// them, and refused ones end the request with the proxy's answer (tinyproxy says
// 401 to wrong credentials, which the client has nothing to answer with).
TEST_P(HttpCliProxyAuth, AnswersTheProxysChallenge) {
  const ProxyAuthCase& c = GetParam();
  ASSERT_TRUE(proxy.Start("lark", "spool"));
  THttpCli cli(nullptr);
  CliLog log(cli);
  TMemoryStream received;
  cli.SetRcvdStream(&received);
  cli.SetProxy(proxy.HostPort());
  cli.SetProxyUsername(c.user);
  cli.SetProxyPassword(c.password);
  cli.SetURL(nginx.Url("/doc.txt"));
  cli.GetASync();
  ASSERT_TRUE(WaitDone(log)) << ::testing::PrintToString(log.Events);
  EXPECT_EQ(cli.GetStatusCode(), c.status);
  EXPECT_EQ(log.LastCode, 0);
  EXPECT_EQ(cli.GetState(), httpReady);
  const std::string text = MemoryText(received);
  if (c.status == 200) {
    EXPECT_EQ(text, Document);
  } else {
    EXPECT_NE(text.find(std::to_string(c.status)), std::string::npos) << "the refusal is the document";
  }
  EXPECT_EQ(ProxyLines(c.requests).size(), c.requests);
  httpclitest::Settle();
  EXPECT_EQ(log.Done, 1);
}

INSTANTIATE_TEST_SUITE_P(HttpCliAuth, HttpCliProxyAuth,
                         ::testing::Values(ProxyAuthCase{"right", "lark", "spool", 200, 2},
                                           ProxyAuthCase{"wrong", "lark", "nope", 401, 2},
                                           ProxyAuthCase{"none", "", "", 407, 1}),
                         [](const ::testing::TestParamInfo<ProxyAuthCase>& info) {
                           return std::string(info.param.name);
                         });

// The origin's own challenge travels through the proxy and is answered there.
TEST_F(HttpCliProxy, OriginBasicAuthenticationThroughTheProxy) {
  ASSERT_TRUE(proxy.Start());
  THttpCli cli(nullptr);
  CliLog log(cli);
  cli.SetProxy(proxy.HostPort());
  cli.SetUsername("user");
  cli.SetPassword("pass");
  cli.SetURL(nginx.Url("/private/doc.txt"));
  cli.GetASync();
  ASSERT_TRUE(WaitDone(log));
  EXPECT_EQ(cli.GetStatusCode(), 200);
  EXPECT_EQ(log.Body.substr(log.Body.size() - std::string(Document).size()), Document);
  EXPECT_EQ(ProxyLines(2).size(), 2u);
}

// A proxy and an origin that both want Basic credentials take turns refusing a
// request that can carry only one of them; the request still ends, after a
// bounded number of repeats, with one of their statuses.
TEST_F(HttpCliProxy, ProxyAndOriginChallengesEndWithoutEndlessRepeats) {
  ASSERT_TRUE(proxy.Start("lark", "spool"));
  THttpCli cli(nullptr);
  CliLog log(cli);
  cli.SetProxy(proxy.HostPort());
  cli.SetProxyUsername("lark");
  cli.SetProxyPassword("spool");
  cli.SetUsername("user");
  cli.SetPassword("pass");
  cli.SetURL(nginx.Url("/private/doc.txt"));
  cli.GetASync();
  ASSERT_TRUE(WaitDone(log, 1, 30000));
  httpclitest::Settle();
  EXPECT_EQ(log.Done, 1);
  EXPECT_TRUE(cli.GetStatusCode() == 401 || cli.GetStatusCode() == 407) << cli.GetStatusCode();
  // Each repeat answered the other's challenge, up to the bound.
  EXPECT_GT(proxy.RequestLines().size(), 2u);
  EXPECT_LE(proxy.RequestLines().size(), static_cast<size_t>(THttpCli::kMaxAuthRepeats + 1));
}

}  // namespace
