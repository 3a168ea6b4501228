#include "tests/support/Main.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <map>

#include "platform/sim/World.h"

namespace larktest {

namespace {

constexpr char kPeerFlag[] = "--lark-peer=";

std::map<std::string, PeerEntry>& Entries() {
  static std::map<std::string, PeerEntry> entries;
  return entries;
}

// Every test starts in a fresh world and must leave it clean.
class WorldListener : public ::testing::EmptyTestEventListener {
 public:
  void OnTestStart(const ::testing::TestInfo& /*info*/) override { sim::ResetWorld(); }

  // Runs after the test's TearDown, while the test is still current, so a failure
  // added here is the test's own.
  void OnTestEnd(const ::testing::TestInfo& /*info*/) override {
    for (const std::string& left : sim::WorldLeftovers())
      ADD_FAILURE() << "The test left the simulated world changed: " << left;
    sim::ResetWorld();
  }
};

int RunPeer(const char* name) {
  const auto it = Entries().find(name);
  if (it == Entries().end()) {
    std::fprintf(stderr, "no peer entry named %s\n", name);
    return 2;
  }
  sim::ResetWorld();
  return it->second();
}

}  // namespace

bool RegisterPeerEntry(const char* name, PeerEntry entry) {
  Entries()[name] = entry;
  return true;
}

std::vector<std::string> PeerCommand(const std::string& name) {
  char path[PATH_MAX];
  const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  return {n > 0 ? std::string(path, static_cast<size_t>(n)) : std::string("/proc/self/exe"),
          kPeerFlag + name};
}

}  // namespace larktest

// The media framework (GLib, GStreamer and its HTTP source) keeps allocations for the
// life of the process that the leak checker cannot trace back through the libraries'
// frames; they are the libraries' own, not the tests'. So does libsane with its
// backends, which stay loaded to the end.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libglib-2.0.so\nleak:libgobject-2.0.so\nleak:libgstreamer-1.0.so\nleak:libsoup-2.4.so\n"
         "leak:libsane.so\nleak:libsane-\n";
}

int main(int argc, char** argv) {
  if (argc > 1 && std::strncmp(argv[1], larktest::kPeerFlag, sizeof larktest::kPeerFlag - 1) == 0)
    return larktest::RunPeer(argv[1] + sizeof larktest::kPeerFlag - 1);
  ::testing::InitGoogleTest(&argc, argv);
  ::testing::UnitTest::GetInstance()->listeners().Append(new larktest::WorldListener);
  return RUN_ALL_TESTS();
}
