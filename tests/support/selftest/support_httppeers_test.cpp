#include "tests/support/CannedServer.h"
#include "tests/support/HttpPeers.h"
#include "tests/support/Peers.h"
#include "tests/support/Pump.h"

#include <arpa/inet.h>
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

const std::string CaseDir = std::string(LARK_TEST_DATA) + "/http/";

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

int Connect(uint16_t port) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(port);
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

void SendAll(int fd, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
    if (n <= 0) return;  // the server may end the connection first
    done += static_cast<size_t>(n);
  }
}

// Reads until the server closes or resets; errorOut receives the errno of the end
// (0 for a plain end of stream).
std::string ReadToEnd(int fd, int* errorOut) {
  std::string bytes;
  char buffer[4096];
  for (;;) {
    const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      *errorOut = n == 0 ? 0 : errno;
      return bytes;
    }
    bytes.append(buffer, static_cast<size_t>(n));
  }
}

// Everything the script sends, in order: what a client that prints every response
// raw (curl --raw -i) shows when it reads them all.
std::string AllSent(const larktest::CannedServer& server) {
  std::string bytes;
  for (const larktest::CannedScript& script : server.Scripts())
    for (const larktest::CannedStep& step : script)
      if (step.kind == larktest::CannedStep::Send) bytes += step.text;
  return bytes;
}

TEST(HttpPeers, PatternFilesAreCachedCopiesOfPatternBytes) {
  // Pinned: cached files from earlier runs are trusted by size alone.
  EXPECT_EQ(larktest::PatternBytes(4), std::string("\xCA\x8A\x33\xE2", 4));
  EXPECT_EQ(larktest::PatternBytes(0), "");
  EXPECT_NE(larktest::PatternBytes(1001).substr(0, 1000), larktest::PatternBytes(1000));

  // Past the first megabyte, to cross the writer's block boundary.
  const uint64_t size = (1u << 20) + 3;
  const std::string path = larktest::PatternFile(size);
  ASSERT_FALSE(path.empty());
  EXPECT_EQ(ReadFile(path), larktest::PatternBytes(size));
  struct stat before, after;
  ASSERT_EQ(stat(path.c_str(), &before), 0);
  EXPECT_EQ(larktest::PatternFile(size), path);
  ASSERT_EQ(stat(path.c_str(), &after), 0);
  EXPECT_EQ(before.st_ino, after.st_ino);  // reused, not written again
}

TEST(HttpPeers, NginxServesFilesByteExactOnOneKeptAliveConnection) {
  const std::string curl = larktest::RequireProgram("curl");
  if (curl.empty()) return;
  larktest::NginxServer nginx;
  const std::vector<uint64_t> sizes = {0, 1, 8190, 1u << 20};
  for (uint64_t size : sizes) ASSERT_FALSE(nginx.AddPatternFile("f" + std::to_string(size), size).empty());
  ASSERT_TRUE(nginx.Start());

  larktest::TempDir out;
  std::vector<std::string> args = {curl, "-s", "-S", "--fail"};
  for (uint64_t size : sizes) {
    const std::string name = "f" + std::to_string(size);
    args.insert(args.end(), {"-o", out.Path() + name, nginx.Url("/" + name)});
  }
  int exitCode = -1;
  const std::string output = larktest::RunCommand(args, &exitCode);
  ASSERT_EQ(exitCode, 0) << output << nginx.ErrorLog();
  for (uint64_t size : sizes)
    EXPECT_EQ(ReadFile(out.Path() + "f" + std::to_string(size)), larktest::PatternBytes(size)) << size;

  // curl reuses its connection, and the log shows it: one connection, requests 1 to 4.
  ASSERT_TRUE(larktest::PumpUntil([&] { return nginx.AccessLog().find("/f1048576") != std::string::npos; }));
  std::istringstream log(nginx.AccessLog());
  std::string connection, first, line;
  int count = 0;
  while (std::getline(log, line)) {
    std::istringstream fields(line);
    std::string conn, requests;
    fields >> conn >> requests;
    if (first.empty()) first = conn;
    EXPECT_EQ(conn, first) << nginx.AccessLog();
    EXPECT_EQ(requests, std::to_string(++count)) << nginx.AccessLog();
  }
  EXPECT_EQ(count, 4);
}

TEST(HttpPeers, NginxTakesTheTestsLocationsAndReportsBadOnes) {
  const std::string curl = larktest::RequireProgram("curl");
  if (curl.empty()) return;
  larktest::NginxServer nginx;
  ASSERT_TRUE(nginx.Start("location = /old { return 301 /new; }\n"
                          "location = /gone { return 404; }\n"));
  EXPECT_EQ(larktest::RunCommand({curl, "-s", "-o", "/dev/null", "-w", "%{http_code} %{redirect_url}|",
                                  nginx.Url("/old"), "-o", "/dev/null", nginx.Url("/gone")}),
            "301 " + nginx.Url("/new") + "|404 |");
  nginx.Stop();
  EXPECT_FALSE(nginx.Running());

  larktest::NginxServer refused;
  EXPECT_NONFATAL_FAILURE(EXPECT_FALSE(refused.Start("no_such_directive on;")),
                          "unknown directive \"no_such_directive\"");
}

TEST(HttpPeers, HttpbinAnswersStatusAndRedirects) {
  const std::string curl = larktest::RequireProgram("curl");
  if (curl.empty()) return;
  larktest::HttpbinServer httpbin;
  ASSERT_TRUE(httpbin.Start());
  EXPECT_EQ(larktest::RunCommand({curl, "-s", "-o", "/dev/null", "-w", "%{http_code}", httpbin.Url("/status/418")}),
            "418")
      << httpbin.Log();
  EXPECT_EQ(larktest::RunCommand({curl, "-s", "-L", "-o", "/dev/null", "-w", "%{http_code} %{num_redirects}",
                                  httpbin.Url("/relative-redirect/3")}),
            "200 3")
      << httpbin.Log();
}

TEST(HttpPeers, EveryCaseFileLoads) {
  int cases = 0;
  for (const auto& entry : std::filesystem::directory_iterator(CaseDir)) {
    if (entry.path().extension() != ".case") continue;
    ++cases;
    larktest::CannedServer server;
    EXPECT_EQ(server.LoadCase(entry.path().string()), "");
    EXPECT_FALSE(server.Scripts().empty()) << entry.path();
  }
  EXPECT_GE(cases, 14);

  // Spot checks of what the escapes and fill make.
  larktest::CannedServer longLine;
  ASSERT_EQ(longLine.LoadCase(CaseDir + "long-header-line.case"), "");
  EXPECT_NE(AllSent(longLine).find("\r\nX-Long: " + std::string(9000, 'a') + "\r\n"), std::string::npos);
  larktest::CannedServer nul;
  ASSERT_EQ(nul.LoadCase(CaseDir + "nul-bytes.case"), "");
  EXPECT_NE(AllSent(nul).find(std::string("\r\n\r\nab\0cd\0\0ef", 13)), std::string::npos);
  larktest::CannedServer redirect;
  ASSERT_EQ(redirect.LoadCase(CaseDir + "redirect-301-with-body.case"), "");
  EXPECT_NE(AllSent(redirect).find("Location: " + redirect.Url("/target") + "\r\n"), std::string::npos);
}

TEST(HttpPeers, CannedCaseLoaderNamesTheBadLine) {
  const struct {
    const char* text;
    const char* error;
  } cases[] = {
      {"<<< send\nx\n", "t:1: a step before the first \"--- connection\""},
      {"--- connection\n>>> expect\nstray\n", "t:3: data outside a send step"},
      {"--- connection\n<<< send\nbad \\q\n", "t:3: unknown escape \\q"},
      {"--- connection\n<<< send\n\\x4\n", "t:3: \\x needs two hexadecimal digits"},
      {"--- connection\n<<< send\nends in \\\n", "t:3: a backslash ends the line"},
      {"--- connection\n<<< send\n=== close\n", "t:3: the send step before has no data"},
      {"--- connection\n<<< send\n", "t:2: the last send step has no data"},
      {"--- connection\n=== close\n<<< fill 2 x\n", "t:3: a step after the connection has ended"},
      {"--- connection\n... delay soon\n", "t:2: expected \"... delay MILLISECONDS\""},
      {"--- connection\n>>> expect bytes 2000000\n", "t:2: expect bytes needs a count"},
      {"--- connection\n<<< fill 99999999999 x\n", "t:2: expected \"<<< fill COUNT TEXT\""},
      {"--- connection\n<<< shout\n", "t:2: unknown step \"<<< shout\""},
      {"--- connections\n", "t:1: expected \"--- connection\""},
      {"# nothing but a comment\n", "t: no \"--- connection\""},
  };
  for (const auto& c : cases) {
    larktest::CannedServer server;
    const std::string error = server.LoadCaseText(c.text, "t");
    EXPECT_EQ(error.rfind(c.error, 0), 0u) << c.text << " gave: " << error;
  }
}

TEST(HttpPeers, CannedCasesReadBackThroughCurl) {
  const std::string curl = larktest::RequireProgram("curl");
  if (curl.empty()) return;
  const struct {
    const char* file;
    std::vector<std::string> curlArgs;
    std::vector<std::string> requestLines;  // one per connection
    std::string notShown;                   // curl skips the body of a redirect it follows
  } cases[] = {
      {"keep-alive-two-responses.case", {"/a", "/b"}, {"GET /a HTTP/1.1\r\n"}, ""},
      {"redirect-301-with-body.case",
       {"-L", "/old"},
       {"GET /old HTTP/1.1\r\n", "GET /target HTTP/1.1\r\n"},
       "<html><body>moved here</body></html>\r\n"},
      {"continue-100.case", {"/c"}, {"GET /c HTTP/1.1\r\n"}, ""},
      {"chunked-capitalised.case", {"/d"}, {"GET /d HTTP/1.1\r\n"}, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    larktest::CannedServer server;
    ASSERT_EQ(server.LoadCase(CaseDir + c.file), "");
    ASSERT_TRUE(server.Start());
    std::vector<std::string> args = {curl, "-s", "-S", "--raw", "-i"};
    for (const std::string& arg : c.curlArgs) args.push_back(arg[0] == '/' ? server.Url(arg) : arg);
    int exitCode = -1;
    const std::string output = larktest::RunCommand(args, &exitCode);
    EXPECT_EQ(exitCode, 0);
    std::string expected = AllSent(server);
    if (!c.notShown.empty()) expected.erase(expected.find(c.notShown), c.notShown.size());
    EXPECT_EQ(output, expected);
    server.Stop();
    const std::vector<std::string> requests = server.Requests();
    ASSERT_EQ(requests.size(), c.requestLines.size());
    for (size_t i = 0; i < requests.size(); ++i) {
      EXPECT_EQ(requests[i].rfind(c.requestLines[i], 0), 0u) << requests[i];
      EXPECT_EQ(requests[i].substr(requests[i].size() - 4), "\r\n\r\n") << requests[i];
    }
    EXPECT_TRUE(server.Errors().empty()) << server.Errors().front();
  }
}

TEST(HttpPeers, CannedServerSendsEscapedBytesSlowlyThenResets) {
  larktest::CannedServer server;
  ASSERT_EQ(server.LoadCaseText("--- connection\n"
                                ">>> expect until END\n"
                                "<<< send slowly 3 20\n"
                                "a\\0b\\x7F\\\\\\r\\n\n"
                                "<<< fill 3 x y\n"
                                "... delay 50\n"
                                "=== reset\n"),
            "");
  ASSERT_TRUE(server.Start());
  const int fd = Connect(server.Port());
  ASSERT_GE(fd, 0);
  SendAll(fd, "helloEND and more");
  int endError = -1;
  EXPECT_EQ(ReadToEnd(fd, &endError), std::string("a\0b\x7F\\\r\nx yx yx y", 16));
  EXPECT_EQ(endError, ECONNRESET);
  close(fd);
  EXPECT_TRUE(larktest::PumpUntil([&] { return server.Done(); }));
  EXPECT_EQ(server.Requests(), std::vector<std::string>{"helloEND and more"});
  EXPECT_TRUE(server.Errors().empty());
}

TEST(HttpPeers, CannedServerReportsWhatWentAgainstTheScript) {
  larktest::CannedServer server;
  ASSERT_EQ(server.LoadCaseText("--- connection\n>>> expect\n<<< send\nnever\n"
                                "--- connection\n>>> expect bytes 10\n"),
            "");
  ASSERT_TRUE(server.Start());

  // An endless request head: cut off at the bound.
  const int big = Connect(server.Port());
  ASSERT_GE(big, 0);
  SendAll(big, std::string(larktest::CannedServer::MaxRequestBytes + 100000, 'h'));
  int endError = -1;
  EXPECT_EQ(ReadToEnd(big, &endError), "");
  close(big);
  // A client that gives up before the step is satisfied.
  const int shortOne = Connect(server.Port());
  ASSERT_GE(shortOne, 0);
  SendAll(shortOne, "12345");
  shutdown(shortOne, SHUT_WR);
  EXPECT_EQ(ReadToEnd(shortOne, &endError), "");
  close(shortOne);
  ASSERT_TRUE(larktest::PumpUntil([&] { return server.Done(); }));
  // One connection too many.
  const int extra = Connect(server.Port());
  ASSERT_GE(extra, 0);
  EXPECT_EQ(ReadToEnd(extra, &endError), "");
  EXPECT_EQ(endError, 0);
  close(extra);

  server.Stop();
  const std::vector<std::string> errors = server.Errors();
  ASSERT_EQ(errors.size(), 3u);
  EXPECT_EQ(errors[0], "connection 1: the request is over 1048576 bytes; connection reset");
  EXPECT_EQ(errors[1], "connection 2: the client closed the connection before 10 bytes (line 6)");
  EXPECT_EQ(errors[2], "connection 3: not in the script; closed");
  const std::vector<std::string> requests = server.Requests();
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_LE(requests[0].size(), larktest::CannedServer::MaxRequestBytes);
  EXPECT_EQ(requests[1], "12345");
  EXPECT_EQ(requests[2], "");
}

TEST(HttpPeers, CannedServerStopEndsConnectionsItIsWaitingOn) {
  larktest::CannedServer server;
  ASSERT_EQ(server.LoadCaseText("--- connection\n>>> expect\n"), "");
  ASSERT_TRUE(server.Start());
  const int fd = Connect(server.Port());
  ASSERT_GE(fd, 0);
  ASSERT_TRUE(larktest::PumpUntil([&] { return server.Requests().size() == 1; }));
  server.Stop();
  int endError = -1;
  EXPECT_EQ(ReadToEnd(fd, &endError), "");
  EXPECT_EQ(endError, ECONNRESET);
  close(fd);
  EXPECT_FALSE(server.Done());
  EXPECT_LT(Connect(server.Port()), 0);  // no longer listening
}

}  // namespace
