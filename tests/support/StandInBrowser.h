// The stand-in web browser (tests/tools/stand_in_browser.cpp) as a peer of a test:
// it answers DDE window-information requests from a script of answers.
#pragma once

#include <string>
#include <vector>

#include "tests/support/Peers.h"

namespace larktest {

class StandInBrowser {
 public:
  // Starts the program at programPath serving service in folder (the DDE runtime
  // folder) with these script lines, and waits until it listens. Records a test
  // failure and answers false when it cannot.
  bool Start(const std::string& programPath, const std::string& folder, const std::string& service,
             const std::vector<std::string>& script, const std::vector<std::string>& extraArgs = {});
  PeerProcess& Process() { return process_; }
  std::string Log() const { return process_.Log(); }

 private:
  TempDir scriptDir_;
  PeerProcess process_;
};

}  // namespace larktest
