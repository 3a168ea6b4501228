// An X server without a screen (Xvfb) for tests that show windows on a display.
#pragma once

#include <string>

#include "tests/support/Peers.h"

namespace larktest {

// Starts Xvfb on a display number the server picks itself among the free ones
// (so parallel tests never race for one), and stops it when the object goes.
class XvfbServer {
 public:
  XvfbServer() = default;
  ~XvfbServer() { Stop(); }
  XvfbServer(const XvfbServer&) = delete;
  XvfbServer& operator=(const XvfbServer&) = delete;

  // Records a test failure and answers false when Xvfb is missing or does not come up.
  bool Start(int width = 1024, int height = 768, int depth = 24);
  // ":N", for DISPLAY or XOpenDisplay; "" before Start succeeded.
  const std::string& Display() const { return display_; }
  bool Running() { return process_.Running(); }
  // Ends the server at once, as a crash would (to test a connection that drops).
  void Kill() { process_.Kill(); }
  void Stop();
  std::string Log() const { return process_.Log(); }

 private:
  PeerProcess process_;
  std::string display_;
};

}  // namespace larktest
