// The HTTP client against nginx on 127.0.0.1: static files compared with what curl
// fetches, the order of events, HEAD, keep-alive, relocations with a body, a 404
// and the synchronous requests.
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
using httpclitest::MemoryText;
using httpclitest::WaitDone;
using larktest::NginxServer;

// What curl fetches from url, byte for byte.
std::string CurlFetch(const std::string& url) {
  larktest::TempDir dir;
  const std::string path = dir.Path() + "body";
  int code = -1;
  larktest::RunCommand({larktest::RequireProgram("curl"), "-s", "-o", path, url}, &code);
  EXPECT_EQ(code, 0) << "curl " << url;
  return httpclitest::ReadFile(path);
}

// The events with runs of header lines and body pieces shown once.
std::vector<std::string> Shape(const CliLog& log) {
  std::vector<std::string> out;
  for (const std::string& e : log.Events) {
    if ((e == "doc-data" || e == "header-data") && !out.empty() && out.back() == e) continue;
    out.push_back(e);
  }
  return out;
}

class HttpCliNginx : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(nginx.Start(
        "location = /old { return 301 /new.txt; }\n"
        "location = /found { return 302 /new.txt; }\n"
        "location = /loop { return 302 /loop; }\n"));
    nginx.WriteFile("new.txt", "the new document\n");
  }
  NginxServer nginx;
};

TEST_F(HttpCliNginx, StaticFilesMatchWhatCurlFetches) {
  const std::vector<uint64_t> sizes = {0, 1, 8190, 1 << 20, 50u << 20};
  THttpCli cli(nullptr);
  CliLog log(cli);
  log.LogDocData = false;
  for (uint64_t size : sizes) {
    SCOPED_TRACE(size);
    const std::string name = "file" + std::to_string(size) + ".bin";
    ASSERT_FALSE(nginx.AddPatternFile(name, size).empty());
    TMemoryStream stream;
    cli.SetRcvdStream(&stream);
    cli.SetURL(nginx.Url("/" + name));
    log.Clear();
    cli.GetASync();
    ASSERT_TRUE(WaitDone(log, 1, 60000));
    EXPECT_EQ(cli.GetStatusCode(), 200);
    EXPECT_EQ(cli.GetContentLength(), static_cast<Integer>(size));
    EXPECT_EQ(cli.GetRcvdCount(), static_cast<Integer>(size));
    EXPECT_EQ(log.LastCode, 0);
    const std::string curl = CurlFetch(nginx.Url("/" + name));
    ASSERT_EQ(curl.size(), size);
    EXPECT_TRUE(MemoryText(stream) == curl) << "RcvdStream differs from curl's copy";
    EXPECT_TRUE(log.Body == curl) << "OnDocData differs from curl's copy";
    // An empty body is no document at all.
    EXPECT_EQ(log.Has("doc-begin"), size > 0);
    EXPECT_EQ(log.Count("doc-end"), size > 0 ? 1 : 0);
  }
}

TEST_F(HttpCliNginx, AsyncGetFiresEventsInOrder) {
  THttpCli cli(nullptr);
  CliLog log(cli);
  cli.SetURL(nginx.Url("/new.txt"));
  cli.GetASync();
  EXPECT_EQ(log.Done, 0) << "the request ends from the message loop";
  ASSERT_TRUE(WaitDone(log));
  const std::vector<std::string> expected = {
      "state notconnected", "state dnslookup", "state dnslookupdone", "state connected",
      "connected", "state waitingheader", "request-header-begin", "before-header-send",
      "request-header-end", "header-begin", "header-data", "header-end", "state waitingbody",
      "doc-begin", "doc-data", "state bodyreceived", "doc-end", "closed", "state ready",
      "done GET 0"};
  EXPECT_EQ(Shape(log), expected);
  EXPECT_EQ(log.Body, "the new document\n");
  EXPECT_EQ(cli.GetContentType(), "text/plain");
  EXPECT_EQ(cli.GetResponseVersion(), "1.1");
  EXPECT_EQ(cli.GetReasonPhrase(), "OK");
  EXPECT_EQ(cli.GetDocName(), "new.txt");
  EXPECT_EQ(cli.GetState(), httpReady);
  EXPECT_EQ(cli.GetResponseHeaderLines()->Strings(0), "HTTP/1.1 200 OK");
  // URL is the caller's; Location names the document requested.
  EXPECT_EQ(cli.GetURL(), nginx.Url("/new.txt"));
  EXPECT_EQ(cli.GetLocation(), nginx.Url("/new.txt"));
}

TEST_F(HttpCliNginx, HeadReportsTheHeaderWithoutADocument) {
  ASSERT_FALSE(nginx.AddPatternFile("head.bin", 5000).empty());
  for (const char* version : {"1.0", "1.1"}) {
    SCOPED_TRACE(version);
    THttpCli cli(nullptr);
    CliLog log(cli);
    cli.SetRequestVer(version);
    cli.SetURL(nginx.Url("/head.bin"));
    cli.HeadASync();
    ASSERT_TRUE(WaitDone(log));
    EXPECT_EQ(cli.GetStatusCode(), 200);
    EXPECT_EQ(cli.GetContentLength(), 5000);
    EXPECT_EQ(cli.GetRcvdCount(), 0);
    EXPECT_FALSE(log.Has("doc-begin"));
    EXPECT_FALSE(log.Has("doc-end"));
    EXPECT_EQ(log.Events.back(), "done HEAD 0");
  }
}

TEST_F(HttpCliNginx, KeepAliveCarriesSeveralRequestsOnOneConnection) {
  nginx.WriteFile("a.txt", "first");
  nginx.WriteFile("b.txt", "second one");
  nginx.WriteFile("c.txt", "third");
  THttpCli cli(nullptr);
  CliLog log(cli);
  cli.SetRequestVer("1.1");
  const std::vector<std::pair<std::string, std::string>> docs = {
      {"/a.txt", "first"}, {"/b.txt", "second one"}, {"/c.txt", "third"}};
  for (size_t i = 0; i < docs.size(); ++i) {
    SCOPED_TRACE(docs[i].first);
    log.Clear();
    cli.SetURL(nginx.Url(docs[i].first));
    cli.GetASync();
    ASSERT_TRUE(WaitDone(log));
    EXPECT_EQ(log.Body, docs[i].second);
    // Only the first request looks the host up and connects.
    EXPECT_EQ(log.Has("state dnslookup"), i == 0);
    EXPECT_FALSE(log.Has("closed"));
  }
  // One connection served the three requests (nginx counts them on it).
  ASSERT_TRUE(larktest::PumpUntil([&] { return nginx.AccessLog().find("/c.txt") != std::string::npos; }));
  const std::string access = nginx.AccessLog();
  std::istringstream lines(access);
  std::string connection, count, first;
  std::vector<std::string> counts;
  while (lines >> connection >> count) {
    if (first.empty()) first = connection;
    EXPECT_EQ(connection, first) << access;
    counts.push_back(count);
    std::string rest;
    std::getline(lines, rest);
  }
  EXPECT_EQ(counts, (std::vector<std::string>{"1", "2", "3"})) << access;
  // CloseAsync ends the kept-alive connection.
  log.Clear();
  cli.CloseAsync();
  ASSERT_TRUE(WaitDone(log));
  EXPECT_EQ(log.Events, (std::vector<std::string>{"state closing", "closed", "state ready", "done GET 0"}));
}

TEST_F(HttpCliNginx, MissingFileEndsWithStatus404) {
  THttpCli cli(nullptr);
  CliLog log(cli);
  cli.SetURL(nginx.Url("/missing.txt"));
  cli.GetASync();
  ASSERT_TRUE(WaitDone(log));
  EXPECT_EQ(cli.GetStatusCode(), 404);
  EXPECT_EQ(cli.GetReasonPhrase(), "Not Found");
  EXPECT_EQ(log.LastCode, 0);
  EXPECT_NE(log.Body.find("404 Not Found"), std::string::npos);
  // A synchronous request raises with the status as the code.
  try {
    cli.Get();
    FAIL() << "no exception";
  } catch (const EHttpException& e) {
    EXPECT_EQ(e.ErrorCode, 404);
    EXPECT_EQ(e.Message(), "Not Found");
  }
}

TEST_F(HttpCliNginx, SynchronousGetReturnsWithTheDocument) {
  THttpCli cli(nullptr);
  CliLog log(cli);
  TMemoryStream stream;
  cli.SetRcvdStream(&stream);
  cli.SetURL(nginx.Url("/new.txt"));
  cli.Get();
  EXPECT_EQ(cli.GetState(), httpReady);
  EXPECT_EQ(MemoryText(stream), "the new document\n");
  EXPECT_TRUE(WaitDone(log));
}

TEST_F(HttpCliNginx, RelocationWithABodyDeliversBothDocumentsButStoresOnlyTheTarget) {
  for (const char* version : {"1.0", "1.1"}) {
    for (const char* path : {"/old", "/found"}) {
      SCOPED_TRACE(std::string(version) + " " + path);
      THttpCli cli(nullptr);
      CliLog log(cli);
      TMemoryStream stream;
      cli.SetRcvdStream(&stream);
      cli.SetRequestVer(version);
      cli.SetURL(nginx.Url(path));
      cli.GetASync();
      ASSERT_TRUE(WaitDone(log));
      EXPECT_EQ(cli.GetStatusCode(), 200);
      EXPECT_EQ(log.Count("done GET 0"), 1);
      // nginx's notice first, as a document of its own, then the target.
      EXPECT_EQ(log.Count("doc-begin"), 2);
      EXPECT_EQ(log.Count("doc-end"), 2);
      EXPECT_EQ(log.Count("location"), 1);
      EXPECT_LT(log.Index("doc-end"), log.Index("location"));
      EXPECT_NE(log.Body.find("<html>"), std::string::npos);
      EXPECT_EQ(log.Body.substr(log.Body.size() - 17), "the new document\n");
      EXPECT_EQ(MemoryText(stream), "the new document\n");
      EXPECT_EQ(cli.GetRcvdCount(), 17);
      EXPECT_EQ(cli.GetLocation(), nginx.Url("/new.txt"));
      EXPECT_EQ(cli.GetDocName(), "new.txt");
      EXPECT_EQ(cli.GetURL(), nginx.Url(path));
      // HTTP/1.1 relocates on the open connection; 1.0 connects again.
      EXPECT_EQ(log.Count("state dnslookup"), std::string(version) == "1.0" ? 2 : 1);
    }
  }
}

TEST_F(HttpCliNginx, RedirectLoopEndsAsFailedAfterTwentyRelocations) {
  for (const char* version : {"1.0", "1.1"}) {
    SCOPED_TRACE(version);
    THttpCli cli(nullptr);
    CliLog log(cli);
    log.LogDocData = false;
    cli.SetRequestVer(version);
    cli.SetURL(nginx.Url("/loop"));
    cli.GetASync();
    ASSERT_TRUE(WaitDone(log, 1, 30000));
    EXPECT_EQ(log.Count("location"), THttpCli::kMaxRelocations);
    EXPECT_EQ(log.LastCode, httperrTooManyRelocations);
    EXPECT_EQ(cli.GetStatusCode(), 404);
    EXPECT_EQ(cli.GetReasonPhrase(), "Too many relocations");
    EXPECT_EQ(cli.GetState(), httpReady);
    httpclitest::Settle();
    EXPECT_EQ(log.Done, 1);
    // A synchronous request raises.
    try {
      cli.Get();
      FAIL() << "no exception";
    } catch (const EHttpException& e) {
      EXPECT_EQ(e.ErrorCode, 404);
      EXPECT_EQ(e.Message(), "Too many relocations");
    }
  }
}

}  // namespace
