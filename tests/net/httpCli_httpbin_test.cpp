// The HTTP client against httpbin under gunicorn: chunked bodies, the three kinds of
// redirect, the relocation limit, status codes, slow bodies, POST and PUT.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "net/HttpProt.h"
#include "platform/rtl/Streams.h"
#include "tests/net/httpCli_test_support.h"
#include "tests/support/HttpPeers.h"
#include "tests/support/Peers.h"

namespace {

using httpclitest::CliLog;
using httpclitest::WaitDone;
using larktest::HttpbinServer;

std::string CurlFetch(const std::string& url) {
  int code = -1;
  std::string out = larktest::RunCommand({larktest::RequireProgram("curl"), "-s", url}, &code);
  EXPECT_EQ(code, 0) << "curl " << url;
  return out;
}

class HttpCliHttpbin : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    server = new HttpbinServer();
    if (!server->Start()) {
      delete server;
      server = nullptr;
    }
  }
  static void TearDownTestSuite() {
    delete server;
    server = nullptr;
  }
  void SetUp() override { ASSERT_NE(server, nullptr) << "httpbin did not start"; }
  static HttpbinServer* server;
};
HttpbinServer* HttpCliHttpbin::server = nullptr;

TEST_F(HttpCliHttpbin, ChunkedBodiesMatchWhatCurlFetches) {
  struct Case {
    int bytes;
    int chunk;
  };
  const std::vector<Case> cases = {{1, 1}, {100, 7}, {20000, 4096}, {20000, 1}, {102400, 65536}};
  THttpCli cli(nullptr);
  CliLog log(cli);
  log.LogDocData = false;
  cli.SetRequestVer("1.1");
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.bytes) + " in chunks of " + std::to_string(c.chunk));
    const std::string path = "/stream-bytes/" + std::to_string(c.bytes) +
                             "?seed=7&chunk_size=" + std::to_string(c.chunk);
    TMemoryStream stream;
    cli.SetRcvdStream(&stream);
    cli.SetURL(server->Url(path));
    log.Clear();
    cli.GetASync();
    ASSERT_TRUE(WaitDone(log, 1, 60000));
    EXPECT_EQ(cli.GetStatusCode(), 200);
    EXPECT_EQ(cli.GetTransferCoding(), "chunked");
    EXPECT_EQ(cli.GetContentLength(), -1);
    EXPECT_EQ(cli.GetRcvdCount(), c.bytes);
    const std::string curl = CurlFetch(server->Url(path));
    ASSERT_EQ(curl.size(), static_cast<size_t>(c.bytes));
    EXPECT_TRUE(log.Body == curl);
    EXPECT_TRUE(std::string(static_cast<const char*>(stream.Memory()), stream.GetSize()) == curl);
    // The document ends with its last chunk, not with the connection.
    EXPECT_EQ(log.Count("state bodyreceived"), 1);
    EXPECT_FALSE(log.Has("closed"));
  }
}

TEST_F(HttpCliHttpbin, FollowsEachKindOfRedirect) {
  for (const char* version : {"1.0", "1.1"}) {
    for (const char* kind : {"/redirect/", "/relative-redirect/", "/absolute-redirect/"}) {
      SCOPED_TRACE(std::string(version) + " " + kind);
      THttpCli cli(nullptr);
      CliLog log(cli);
      cli.SetRequestVer(version);
      cli.SetURL(server->Url(std::string(kind) + "5"));
      cli.GetASync();
      ASSERT_TRUE(WaitDone(log));
      EXPECT_EQ(cli.GetStatusCode(), 200);
      EXPECT_EQ(log.Count("location"), 5);
      EXPECT_EQ(log.LastCode, 0);
      EXPECT_EQ(cli.GetLocation(), server->Url("/get"));
      EXPECT_EQ(cli.GetDocName(), "get");
      EXPECT_NE(log.Body.find("\"url\":\"" + server->Url("/get") + "\""), std::string::npos) << log.Body;
      EXPECT_EQ(log.Done, 1);
    }
  }
}

TEST_F(HttpCliHttpbin, TwentyRelocationsAreFollowedAndTheTwentyFirstFails) {
  THttpCli cli(nullptr);
  CliLog log(cli);
  cli.SetRequestVer("1.1");
  cli.SetURL(server->Url("/redirect/20"));
  cli.GetASync();
  ASSERT_TRUE(WaitDone(log, 1, 30000));
  EXPECT_EQ(cli.GetStatusCode(), 200);
  EXPECT_EQ(log.LastCode, 0);
  EXPECT_EQ(log.Count("location"), 20);

  log.Clear();
  cli.SetURL(server->Url("/redirect/21"));
  cli.GetASync();
  ASSERT_TRUE(WaitDone(log, 1, 30000));
  EXPECT_EQ(log.Count("location"), 20);
  EXPECT_EQ(log.LastCode, httperrTooManyRelocations);
  EXPECT_EQ(cli.GetStatusCode(), 404);
  EXPECT_EQ(cli.GetReasonPhrase(), "Too many relocations");
  // The limit is per request: the next one starts from nothing.
  log.Clear();
  cli.SetURL(server->Url("/redirect/3"));
  cli.GetASync();
  ASSERT_TRUE(WaitDone(log, 1, 30000));
  EXPECT_EQ(cli.GetStatusCode(), 200);
  EXPECT_EQ(log.Count("location"), 3);
}

TEST_F(HttpCliHttpbin, StatusCodesWithAndWithoutABody) {
  struct Case {
    int status;
    bool document;
  };
  const std::vector<Case> cases = {{200, false}, {204, false}, {304, false},
                                   {404, false}, {418, true},  {500, false}};
  for (const char* version : {"1.0", "1.1"}) {
    THttpCli cli(nullptr);
    CliLog log(cli);
    cli.SetRequestVer(version);
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(version) + " " + std::to_string(c.status));
      log.Clear();
      cli.SetURL(server->Url("/status/" + std::to_string(c.status)));
      cli.GetASync();
      ASSERT_TRUE(WaitDone(log));
      EXPECT_EQ(cli.GetStatusCode(), c.status);
      EXPECT_EQ(log.LastCode, 0);
      // httpbin gives a body only to its teapot.
      EXPECT_EQ(log.Has("doc-begin"), c.document);
      EXPECT_EQ(log.Count("doc-begin"), log.Count("doc-end"));
    }
  }
}

TEST_F(HttpCliHttpbin, SlowBodyArrivesPieceByPiece) {
  THttpCli cli(nullptr);
  CliLog log(cli);
  cli.SetURL(server->Url("/drip?numbytes=20&duration=1&delay=0&code=200"));
  cli.GetASync();
  ASSERT_TRUE(WaitDone(log, 1, 20000));
  EXPECT_EQ(log.Body, std::string(20, '*'));
  EXPECT_GT(log.DocDataCount, 1);
  EXPECT_EQ(cli.GetRcvdCount(), 20);
  EXPECT_EQ(log.Count("doc-end"), 1);
}

TEST_F(HttpCliHttpbin, PostAndPutSendTheirBody) {
  THttpCli cli(nullptr);
  CliLog log(cli);
  TMemoryStream body;
  const std::string form = "a=1&b=" + std::string(20000, 'x');
  body.Write(form.data(), static_cast<Integer>(form.size()));
  body.SetPosition(0);
  cli.SetSendStream(&body);
  cli.SetURL(server->Url("/post"));
  cli.PostASync();
  ASSERT_TRUE(WaitDone(log));
  EXPECT_EQ(cli.GetStatusCode(), 200);
  EXPECT_EQ(cli.GetBodySentCount(), static_cast<Integer>(form.size()));
  EXPECT_NE(log.Body.find("\"a\":\"1\""), std::string::npos) << log.Body.substr(0, 300);
  EXPECT_NE(log.Body.find("\"b\":\"" + std::string(20000, 'x') + "\""), std::string::npos);
  EXPECT_EQ(log.Count("send-begin"), 1);
  EXPECT_EQ(log.Count("send-end"), 1);
  EXPECT_GE(log.Count("send-data"), 3);
  EXPECT_EQ(log.LastKind, httpPOST);

  // PUT, synchronously.
  log.Clear();
  TMemoryStream data;
  data.Write("raw put data", 12);
  data.SetPosition(0);
  cli.SetSendStream(&data);
  cli.SetContentTypePost("text/plain");
  cli.SetURL(server->Url("/put"));
  cli.Put();
  EXPECT_EQ(cli.GetStatusCode(), 200);
  EXPECT_NE(log.Body.find("\"data\":\"raw put data\""), std::string::npos) << log.Body;
  EXPECT_NE(log.Body.find("\"Content-Type\":\"text/plain\""), std::string::npos);

  // HEAD, synchronously.
  log.Clear();
  cli.SetURL(server->Url("/get"));
  cli.Head();
  EXPECT_EQ(cli.GetStatusCode(), 200);
  EXPECT_GT(cli.GetContentLength(), 0);
  EXPECT_FALSE(log.Has("doc-begin"));

  // A synchronous GET of an error status raises.
  cli.SetURL(server->Url("/status/500"));
  try {
    cli.Get();
    FAIL() << "no exception";
  } catch (const EHttpException& e) {
    EXPECT_EQ(e.ErrorCode, 500);
  }
}

}  // namespace
