// The program itself, run as a person runs it (headless, from a folder of its own with
// its own runtime folder): the message loop until the session ends, the window's
// orderly end, and one instance at a time.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <thread>

#include "tests/support/Peers.h"
#include "tests/support/XServer.h"

namespace {

// True once the process blocks SIGTERM, which it does while its message loop runs.
bool BlocksSigterm(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("SigBlk:", 0) != 0) continue;
    const unsigned long long mask = std::stoull(line.substr(7), nullptr, 16);
    return (mask >> (SIGTERM - 1)) & 1;
  }
  return false;
}

class Program : public ::testing::Test {
 protected:
  void SetUp() override {
    // The program keeps its ini file beside itself: a copy of its own.
    std::filesystem::copy_file(LARK_PROGRAM, ProgramPath());
  }
  std::string ProgramPath() const { return folder_.Path() + "Larkspool"; }
  std::map<std::string, std::string> Env(const std::string& display = {}) const {
    if (!display.empty()) return {{"XDG_RUNTIME_DIR", runtime_.Path()}, {"DISPLAY", display}};
    return {{"XDG_RUNTIME_DIR", runtime_.Path()}, {"LARK_DISPLAY", "headless"}};
  }
  std::string Ini() const {
    std::ifstream in(folder_.Path() + "Larkspool.ini", std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  // Starts the program and waits until its loop runs.
  void StartRunning(larktest::PeerProcess& program, const std::string& display = {}) {
    ASSERT_TRUE(program.Start({ProgramPath()}, folder_.Path(), Env(display)));
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!BlocksSigterm(program.Pid())) {
      ASSERT_TRUE(program.Running()) << program.Log();
      ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "the loop never started";
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
  }

  larktest::TempDir folder_;
  larktest::TempDir runtime_;
};

TEST_F(Program, RunsItsMessageLoopUntilTheSessionEnds) {
  larktest::PeerProcess program;
  StartRunning(program);
  program.Stop();
  ASSERT_TRUE(WIFEXITED(program.Status())) << program.Log();
  EXPECT_EQ(WEXITSTATUS(program.Status()), 0);
  // The window went away in order: the thumbnail size is kept.
  EXPECT_EQ(Ini(), "[Subscriptions]\r\nThumbnailSize=1\r\n") << program.Log();
}

// A second start tells the person where the first one is and ends; once the first
// has ended, the program starts again.
TEST_F(Program, OneInstanceAtATime) {
  larktest::PeerProcess first;
  StartRunning(first);

  larktest::PeerProcess second;
  ASSERT_TRUE(second.Start({ProgramPath()}, folder_.Path(), Env()));
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (second.Running()) {
    ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "the second start did not end";
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  ASSERT_TRUE(WIFEXITED(second.Status())) << second.Log();
  EXPECT_EQ(WEXITSTATUS(second.Status()), 0);
  EXPECT_NE(second.Log().find("Larkspool: Larkspool is already running. To open the program, right "
                              "click the Larkspool  icon in the icon tray and select Show."),
            std::string::npos)
      << second.Log();
  EXPECT_TRUE(first.Running());

  first.Stop();
  ASSERT_TRUE(WIFEXITED(first.Status())) << first.Log();
  larktest::PeerProcess third;
  StartRunning(third);
  third.Stop();
  EXPECT_EQ(third.Log().find("already running"), std::string::npos) << third.Log();
}

// With a display, the main window is there for a person: mapped, at its size, with
// its caption (xdotool finds it by name), and its picture taken by xwd.
TEST_F(Program, OpensItsMainWindowOnTheDisplay) {
  larktest::XvfbServer x;
  ASSERT_TRUE(x.Start(1024, 768, 24));
  larktest::PeerProcess program;
  StartRunning(program, x.Display());
  const std::string xdotool = larktest::RequireProgram("xdotool");
  std::string window;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (window.empty()) {
    ASSERT_TRUE(program.Running()) << program.Log();
    ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "no window named Larkspool";
    window = larktest::RunCommand(
        {"/usr/bin/env", "DISPLAY=" + x.Display(), xdotool, "search", "--onlyvisible", "--name", "^Larkspool$"});
    if (window.empty()) std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  window = window.substr(0, window.find('\n'));
  const std::string geometry =
      larktest::RunCommand({"/usr/bin/env", "DISPLAY=" + x.Display(), xdotool, "getwindowgeometry", window});
  EXPECT_NE(geometry.find("Geometry: 984x720"), std::string::npos) << geometry;
  // Centred on the screen.
  EXPECT_NE(geometry.find("Position: 20,24"), std::string::npos) << geometry;

  // The screen until the window has painted its caption bar (dark blue at its left).
  const std::string shot = LARK_TEST_BINARY_DIR "/app_main_window_xvfb.png";
  std::string pixel;
  while (pixel.empty() || pixel == "0,0,0") {
    ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "the window was never painted";
    int code = -1;
    const std::string dump =
        larktest::RunCommand({larktest::RequireProgram("xwd"), "-root", "-silent", "-display", x.Display()}, &code);
    ASSERT_EQ(code, 0);
    std::ofstream(folder_.Path() + "screen.xwd", std::ios::binary) << dump;
    larktest::RunCommand({larktest::RequireProgram("convert-im6.q16"), "xwd:" + folder_.Path() + "screen.xwd", shot},
                         &code);
    ASSERT_EQ(code, 0);
    pixel = larktest::RunCommand({"/usr/bin/python3", "-c",
                                  "import sys\nfrom PIL import Image\n"
                                  "print('%d,%d,%d' % Image.open(sys.argv[1]).convert('RGB').getpixel((200, 30)))",
                                  shot});
    while (!pixel.empty() && pixel.back() == '\n') pixel.pop_back();
  }
  const int red = std::stoi(pixel), blue = std::stoi(pixel.substr(pixel.rfind(',') + 1));
  EXPECT_GT(blue, red + 40) << pixel << ": the caption bar is blue";

  program.Stop();
  ASSERT_TRUE(WIFEXITED(program.Status())) << program.Log();
  EXPECT_EQ(WEXITSTATUS(program.Status()), 0) << program.Log();
}

}  // namespace
