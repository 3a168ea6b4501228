#include "tests/support/XServer.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <sstream>
#include <thread>

namespace larktest {

namespace {

// The first line of the log that is nothing but digits: what -displayfd writes.
std::string DisplayNumber(const std::string& log) {
  std::istringstream lines(log);
  std::string line;
  while (std::getline(lines, line)) {
    if (!line.empty() && line.find_first_not_of("0123456789") == std::string::npos) return line;
  }
  return {};
}

bool CanConnectUnix(const std::string& path) {
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  std::strncpy(addr.sun_path, path.c_str(), sizeof addr.sun_path - 1);
  const bool ok = connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
  close(fd);
  return ok;
}

}  // namespace

bool XvfbServer::Start(int width, int height, int depth) {
  const std::string xvfb = RequireProgram("Xvfb");
  if (xvfb.empty()) return false;
  const std::string screen =
      std::to_string(width) + "x" + std::to_string(height) + "x" + std::to_string(depth);
  // -displayfd 1: Xvfb chooses a free display and writes its number to stdout once it
  // accepts connections. No TCP listener, no access control: the socket is the user's.
  if (!process_.Start({xvfb, "-displayfd", "1", "-screen", "0", screen, "-nolisten", "tcp",
                       "-ac", "-noreset"})) {
    return false;
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  std::string number;
  while ((number = DisplayNumber(process_.Log())).empty()) {
    if (!process_.Running() || std::chrono::steady_clock::now() >= deadline) {
      ADD_FAILURE() << "Xvfb did not come up:\n" << process_.Log();
      process_.Stop();
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  if (!CanConnectUnix("/tmp/.X11-unix/X" + number)) {
    ADD_FAILURE() << "Xvfb announced display :" << number << " but its socket does not answer";
    process_.Stop();
    return false;
  }
  display_ = ":" + number;
  return true;
}

void XvfbServer::Stop() {
  if (display_.empty()) return;
  process_.Stop();
  display_.clear();
}

}  // namespace larktest
