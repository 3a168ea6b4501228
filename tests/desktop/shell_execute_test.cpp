// The shell's "open" outside the recorder: the address goes to the desktop's opener
// (xdg-open found on PATH), which runs on its own. A stand-in opener written by the test
// records what it was given.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/shell/ShellApi.h"
#include "platform/sim/Tray.h"
#include "tests/support/Pump.h"

namespace {

class ShellExecuteTest : public ::testing::Test {
 protected:
  ShellExecuteTest() {
    char pattern[] = "/tmp/lark-shell-XXXXXX";
    folder = mkdtemp(pattern);
    const char* path = std::getenv("PATH");
    oldPath = path ? path : "";
    setenv("PATH", folder.c_str(), 1);
    sim::RecordShellExecute(false);
  }
  ~ShellExecuteTest() override {
    setenv("PATH", oldPath.c_str(), 1);
    std::remove((folder + "/xdg-open").c_str());
    std::remove((folder + "/opened").c_str());
    std::remove((folder + "/opened.tmp").c_str());
    rmdir(folder.c_str());
  }
  std::string folder;
  std::string oldPath;
};

TEST_F(ShellExecuteTest, WithoutAnOpenerNothingRunsAndTheCallSaysSo) {
  EXPECT_EQ(ShellExecuteA(0, "open", "http://example.org", nullptr, nullptr, SW_SHOWDEFAULT), SE_ERR_FNF);
  EXPECT_EQ(ShellExecuteA(0, "print", "http://example.org", nullptr, nullptr, SW_SHOWDEFAULT), SE_ERR_NOASSOC);
  EXPECT_EQ(ShellExecuteA(0, "open", "", nullptr, nullptr, SW_SHOWDEFAULT), SE_ERR_FNF);
  EXPECT_TRUE(sim::ShellExecuteCalls().empty());
}

TEST_F(ShellExecuteTest, TheAddressGoesToTheOpenerUnchanged) {
  {
    std::ofstream script(folder + "/xdg-open");
    // PATH holds only this folder while the test runs: the script names its tools in full.
    script << "#!/bin/sh\nprintf '%s' \"$1\" > '" << folder << "/opened.tmp'\n"
           << "/bin/mv '" << folder << "/opened.tmp' '" << folder << "/opened'\n";
  }
  chmod((folder + "/xdg-open").c_str(), 0755);
  const char* address = "http://example.org/feed?a=1&b=two words";
  EXPECT_GT(ShellExecuteA(0, "open", address, nullptr, nullptr, SW_SHOWDEFAULT), 32);
  struct stat st {};
  ASSERT_TRUE(larktest::PumpUntil([&] { return stat((folder + "/opened").c_str(), &st) == 0; }, 20000));
  std::ifstream in(folder + "/opened");
  std::stringstream text;
  text << in.rdbuf();
  EXPECT_EQ(text.str(), address);
}

}  // namespace
