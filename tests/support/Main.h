// The main of every test executable: it resets the simulated world before each test
// and fails a test that leaves a fault pending, a virtual clock installed or a dialog
// answer queued. An executable can also be started as the peer side of one of its own
// tests: `<executable> --lark-peer=<name>` runs the entry registered under that name
// instead of the tests, so a peer never shows as a test.
#pragma once

#include <string>
#include <vector>

namespace larktest {

// Answers the process's exit code.
using PeerEntry = int (*)();
// Called from a static initialiser through LARK_PEER_ENTRY.
bool RegisterPeerEntry(const char* name, PeerEntry entry);
// The command line that runs this executable as the named peer.
std::vector<std::string> PeerCommand(const std::string& name);

}  // namespace larktest

// Defines the peer entry `name`: LARK_PEER_ENTRY(Holder) { ...; return 0; }
#define LARK_PEER_ENTRY(name)                                                        \
  static int LarkPeerEntry_##name();                                                 \
  [[maybe_unused]] static const bool kLarkPeerEntry_##name =                         \
      larktest::RegisterPeerEntry(#name, &LarkPeerEntry_##name);                     \
  static int LarkPeerEntry_##name()
