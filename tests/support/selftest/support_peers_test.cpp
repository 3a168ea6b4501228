#include "tests/support/Peers.h"
#include "tests/support/Pump.h"

#include <arpa/inet.h>
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace {

const char* const Python = "/usr/bin/python3";

// Sends one HTTP/1.0 request to 127.0.0.1:port and answers the whole response.
std::string HttpGet(uint16_t port, const std::string& path) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(port);
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  std::string response;
  if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0) {
    const std::string request = "GET " + path + " HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n";
    if (write(fd, request.data(), request.size()) == static_cast<ssize_t>(request.size())) {
      char buffer[4096];
      for (ssize_t n; (n = read(fd, buffer, sizeof buffer)) > 0;) response.append(buffer, static_cast<size_t>(n));
    }
  }
  close(fd);
  return response;
}

bool PortAcceptsConnections(uint16_t port) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(port);
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  const bool ok = connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
  close(fd);
  return ok;
}

TEST(Peers, HttpServerPeerServesUntilStopped) {
  if (larktest::RequireProgram(Python).empty()) return;
  larktest::TempDir site;
  std::ofstream(site.Path() + "hello.txt") << "hello from the peer";
  const uint16_t port = larktest::FreeTcpPort();
  ASSERT_NE(port, 0);

  larktest::PeerProcess server;
  ASSERT_TRUE(server.Start({Python, "-m", "http.server", std::to_string(port), "--bind", "127.0.0.1"},
                           site.Path()));
  ASSERT_TRUE(server.WaitForTcpPort(port)) << server.Log();
  const std::string response = HttpGet(port, "/hello.txt");
  EXPECT_EQ(response.rfind("HTTP/1.0 200", 0), 0u) << response;
  EXPECT_NE(response.find("\r\n\r\nhello from the peer"), std::string::npos) << response;
  EXPECT_NE(server.Log().find("GET /hello.txt"), std::string::npos) << server.Log();

  server.Stop();
  EXPECT_FALSE(server.Running());
  EXPECT_TRUE(WIFSIGNALED(server.Status()) || WIFEXITED(server.Status()));
  EXPECT_FALSE(PortAcceptsConnections(port));
}

TEST(Peers, PeerRunsInItsFolderWithTheExtraEnvironment) {
  if (larktest::RequireProgram(Python).empty()) return;
  larktest::TempDir work;
  larktest::PeerProcess peer;
  ASSERT_TRUE(peer.Start({Python, "-c", "import os; print('cwd=' + os.getcwd(), 'x=' + os.environ['LARK_X'])"},
                         work.Path(), {{"LARK_X", "forty two"}}));
  EXPECT_TRUE(peer.WaitForOutput("x=forty two")) << peer.Log();
  // Let it end by itself: a stop sent while the interpreter is still tearing down
  // would change its exit status.
  EXPECT_TRUE(larktest::PumpUntil([&] { return !peer.Running(); }, 10000));
  EXPECT_NE(peer.Log().find("cwd=" + work.Path().substr(0, work.Path().size() - 1) + " "), std::string::npos)
      << peer.Log();
  EXPECT_TRUE(WIFEXITED(peer.Status()));
  EXPECT_EQ(WEXITSTATUS(peer.Status()), 0);
}

TEST(Peers, StopKillsAPeerThatIgnoresSigterm) {
  if (larktest::RequireProgram(Python).empty()) return;
  larktest::PeerProcess stubborn;
  ASSERT_TRUE(stubborn.Start({Python, "-c",
                              "import signal, time\n"
                              "signal.signal(signal.SIGTERM, signal.SIG_IGN)\n"
                              "print('ready', flush=True)\n"
                              "time.sleep(60)\n"}));
  ASSERT_TRUE(stubborn.WaitForOutput("ready")) << stubborn.Log();
  stubborn.Stop(200);
  ASSERT_TRUE(WIFSIGNALED(stubborn.Status()));
  EXPECT_EQ(WTERMSIG(stubborn.Status()), SIGKILL);
  EXPECT_NE(kill(stubborn.Pid(), 0), 0);  // reaped, gone
}

TEST(Peers, WaitForTcpPortGivesUpWhenThePeerEnds) {
  larktest::PeerProcess quitter;
  ASSERT_TRUE(quitter.Start({"/bin/sh", "-c", "exit 3"}));
  EXPECT_FALSE(quitter.WaitForTcpPort(larktest::FreeTcpPort(), 30000));
  EXPECT_FALSE(quitter.Running());
  EXPECT_EQ(WEXITSTATUS(quitter.Status()), 3);
}

TEST(Peers, RunCommandAnswersStdoutAndExitCode) {
  int exitCode = 0;
  EXPECT_EQ(larktest::RunCommand({"/bin/sh", "-c", "printf 'one\\ntwo'; echo err >&2; exit 3"}, &exitCode),
            "one\ntwo");
  EXPECT_EQ(exitCode, 3);
  EXPECT_EQ(larktest::RunCommand({"/bin/sh", "-c", "kill -9 $$"}, &exitCode), "");
  EXPECT_EQ(exitCode, 128 + SIGKILL);
  EXPECT_EQ(larktest::RunCommand({"/no/such/program"}, &exitCode), "");
  EXPECT_EQ(exitCode, -1);
}

TEST(Peers, RequireProgramFindsInstalledProgramsAndFailsClearlyForOthers) {
  const std::string sh = larktest::RequireProgram("sh");
  EXPECT_FALSE(sh.empty());
  EXPECT_EQ(sh.front(), '/');
  EXPECT_EQ(larktest::RequireProgram("/bin/sh"), "/bin/sh");
  EXPECT_NONFATAL_FAILURE(EXPECT_EQ(larktest::RequireProgram("lark-no-such-peer"), ""),
                          "peer program lark-no-such-peer is not installed; run scripts/install-deps");
}

TEST(Peers, TempDirIsRemovedWithEverythingInIt) {
  std::string path;
  {
    larktest::TempDir dir;
    path = dir.Path();
    EXPECT_EQ(path.back(), '/');
    std::filesystem::create_directories(path + "a/b");
    std::ofstream(path + "a/b/file") << "x";
    larktest::TempDir other;
    EXPECT_NE(other.Path(), path);
  }
  EXPECT_FALSE(std::filesystem::exists(path));
}

TEST(Peers, FreeTcpPortCanBeListenedOn) {
  const uint16_t port = larktest::FreeTcpPort();
  ASSERT_NE(port, 0);
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(port);
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  EXPECT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
  close(fd);
}

}  // namespace
