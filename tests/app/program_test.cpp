// The program itself, run as a person runs it (headless, from a folder of its own with
// its own runtime folder): the message loop until the session ends, the window's
// orderly end, and one instance at a time.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <thread>
#include <vector>

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

  // Default subscriptions beside the program: this start is its first, which keeps
  // the window in view.
  void MakeFirstStart() {
    std::filesystem::create_directories(folder_.Path() + "Default");
    std::ofstream(folder_.Path() + "Default/Larkspool.ini", std::ios::binary) << "[Subscriptions]\r\n";
  }

  std::string Xdotool(const larktest::XvfbServer& x, std::vector<std::string> args) {
    std::vector<std::string> argv = {"/usr/bin/env", "DISPLAY=" + x.Display(), larktest::RequireProgram("xdotool")};
    argv.insert(argv.end(), args.begin(), args.end());
    std::string out = larktest::RunCommand(argv);
    while (!out.empty() && (out.back() == '\n' || out.back() == ' ')) out.pop_back();
    return out;
  }
  bool Visible(const larktest::XvfbServer& x, const std::string& name) {
    return !Xdotool(x, {"search", "--onlyvisible", "--name", name}).empty();
  }
  // Polls another process's state (the program's windows) for up to 60 seconds.
  static bool WaitUntil(const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!done()) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
  }
  // The main window once xdotool finds it shown ("" when it never is).
  std::string WaitForMainWindow(const larktest::XvfbServer& x, larktest::PeerProcess& program) {
    std::string window;
    WaitUntil([&] {
      if (!program.Running()) return true;
      window = Xdotool(x, {"search", "--onlyvisible", "--name", "^Larkspool$"});
      return !window.empty();
    });
    EXPECT_FALSE(window.empty()) << "no window named Larkspool\n" << program.Log();
    return window.substr(0, window.find('\n'));
  }
  // The close box at the right end of the caption of the 984-wide main window.
  void ClickCloseBox(const larktest::XvfbServer& x, const std::string& window) {
    Xdotool(x, {"mousemove", "--window", window, "970", "12", "click", "1"});
  }
  // The screen's picture written to shot, and the pixel at (px, py) as "r,g,b".
  // ImageMagick's import takes it (xwd leaves menus and dialogs over another window
  // black).
  std::string ScreenPixel(const larktest::XvfbServer& x, const std::string& shot, int px, int py) {
    int code = -1;
    larktest::RunCommand(
        {larktest::RequireProgram("import-im6.q16"), "-display", x.Display(), "-window", "root", shot}, &code);
    EXPECT_EQ(code, 0);
    std::string pixel = larktest::RunCommand(
        {"/usr/bin/python3", "-c",
         "import sys\nfrom PIL import Image\n"
         "print('%d,%d,%d' % Image.open(sys.argv[1]).convert('RGB').getpixel((int(sys.argv[2]), int(sys.argv[3]))))",
         shot, std::to_string(px), std::to_string(py)});
    while (!pixel.empty() && pixel.back() == '\n') pixel.pop_back();
    return pixel;
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
// its caption (xdotool finds it by name), centred on the X screen whatever its size,
// and its picture taken by ImageMagick's import.
TEST_F(Program, OpensItsMainWindowOnTheDisplay) {
  larktest::XvfbServer x;
  ASSERT_TRUE(x.Start(1280, 960, 24));
  larktest::PeerProcess program;
  StartRunning(program, x.Display());
  const std::string window = WaitForMainWindow(x, program);
  ASSERT_FALSE(window.empty());
  const std::string geometry = Xdotool(x, {"getwindowgeometry", window});
  EXPECT_NE(geometry.find("Geometry: 984x720"), std::string::npos) << geometry;
  // Centred on the screen: (1280 - 984) / 2 and (960 - 720) / 2.
  EXPECT_NE(geometry.find("Position: 148,120"), std::string::npos) << geometry;

  // The screen until the window has painted its caption bar (dark blue at its left).
  const std::string shot = LARK_TEST_BINARY_DIR "/app_main_window_xvfb.png";
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  std::string pixel;
  while (pixel.empty() || pixel == "0,0,0") {
    ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "the window was never painted";
    pixel = ScreenPixel(x, shot, 148 + 180, 120 + 6);
  }
  const int red = std::stoi(pixel), blue = std::stoi(pixel.substr(pixel.rfind(',') + 1));
  EXPECT_GT(blue, red + 40) << pixel << ": the caption bar is blue";

  program.Stop();
  ASSERT_TRUE(WIFEXITED(program.Status())) << program.Log();
  EXPECT_EQ(WEXITSTATUS(program.Status()), 0) << program.Log();
}

// With a system tray on the display (trayer), the program's icon docks in it; the
// close box hides the window there, a double click on the icon brings it back, and a
// right click opens the tray menu. A first start keeps the window in view.
TEST_F(Program, LivesInTheTrayOfTheDisplay) {
  larktest::XvfbServer x;
  ASSERT_TRUE(x.Start(1024, 768, 24));
  larktest::PeerProcess tray;
  ASSERT_TRUE(tray.Start({larktest::RequireProgram("trayer"), "--edge", "bottom", "--align", "right",
                          "--widthtype", "request", "--height", "24", "--transparent", "false",
                          "--SetDockType", "true"},
                         {}, {{"DISPLAY", x.Display()}}));
  MakeFirstStart();
  larktest::PeerProcess program;
  StartRunning(program, x.Display());
  const std::string window = WaitForMainWindow(x, program);
  ASSERT_FALSE(window.empty());
  std::string icon;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (icon.empty()) {
    ASSERT_TRUE(program.Running()) << program.Log();
    ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "the icon never docked\n" << tray.Log();
    icon = Xdotool(x, {"search", "--onlyvisible", "--classname", "larkspool-tray"});
    if (icon.empty()) std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  icon = icon.substr(0, icon.find('\n'));
  const std::string at = Xdotool(x, {"getwindowgeometry", icon});
  EXPECT_NE(at.find("Position: "), std::string::npos) << at;

  // The close box (at the caption's right end) hides the window to the tray.
  ClickCloseBox(x, window);
  ASSERT_TRUE(WaitUntil([&] { return !Visible(x, "^Larkspool$"); })) << program.Log();
  EXPECT_TRUE(program.Running());
  ScreenPixel(x, LARK_TEST_BINARY_DIR "/app_tray_hidden.png", 0, 0);

  // A double click on the icon brings it back.
  Xdotool(x, {"mousemove", "--window", icon, "6", "6", "click", "--repeat", "2", "--delay", "60", "1"});
  ASSERT_TRUE(WaitUntil([&] { return Visible(x, "^Larkspool$"); })) << program.Log();

  // Closed again (Alt+F4 this time), it comes back through the icon's menu: a right
  // click opens it at the icon, and its first item, Show, restores the window.
  Xdotool(x, {"key", "--window", window, "alt+F4"});
  ASSERT_TRUE(WaitUntil([&] { return !Visible(x, "^Larkspool$"); })) << program.Log();
  Xdotool(x, {"mousemove", "--window", icon, "6", "6", "click", "3"});
  std::string menu;
  ASSERT_TRUE(WaitUntil([&] {
    menu = Xdotool(x, {"search", "--onlyvisible", "--classname", "^larkspool$"});
    return !menu.empty();
  })) << "no menu";
  menu = menu.substr(0, menu.find('\n'));
  ScreenPixel(x, LARK_TEST_BINARY_DIR "/app_tray_menu.png", 0, 0);
  // The pointer comes onto the item, then the click (as a person's hand does).
  Xdotool(x, {"mousemove", "--window", menu, "20", "10"});
  Xdotool(x, {"click", "1"});
  ASSERT_TRUE(WaitUntil([&] { return Visible(x, "^Larkspool$"); })) << program.Log();

  program.Stop();
  ASSERT_TRUE(WIFEXITED(program.Status())) << program.Log();
  EXPECT_EQ(WEXITSTATUS(program.Status()), 0) << program.Log();
}

// The tray goes away (trayer killed by its process id) while the window is hidden in
// it: the window comes back into view, and the program goes on.
TEST_F(Program, AWindowHiddenInATrayThatGoesComesBack) {
  larktest::XvfbServer x;
  ASSERT_TRUE(x.Start(1024, 768, 24));
  larktest::PeerProcess tray;
  ASSERT_TRUE(tray.Start({larktest::RequireProgram("trayer"), "--edge", "bottom", "--align", "right",
                          "--widthtype", "request", "--height", "24", "--transparent", "false",
                          "--SetDockType", "true"},
                         {}, {{"DISPLAY", x.Display()}}));
  MakeFirstStart();
  larktest::PeerProcess program;
  StartRunning(program, x.Display());
  const std::string window = WaitForMainWindow(x, program);
  ASSERT_FALSE(window.empty());
  ASSERT_TRUE(WaitUntil([&] { return !Xdotool(x, {"search", "--onlyvisible", "--classname", "larkspool-tray"}).empty(); }))
      << "the icon never docked\n" << tray.Log();

  ClickCloseBox(x, window);
  ASSERT_TRUE(WaitUntil([&] { return !Visible(x, "^Larkspool$"); })) << program.Log();

  tray.Kill();
  ASSERT_TRUE(WaitUntil([&] { return Visible(x, "^Larkspool$"); })) << program.Log();
  EXPECT_TRUE(program.Running());
  // Its picture once it has painted its caption bar again (the window stands centred).
  ASSERT_TRUE(WaitUntil([&] {
    return ScreenPixel(x, LARK_TEST_BINARY_DIR "/app_tray_gone.png", (1024 - 984) / 2 + 180, (768 - 720) / 2 + 6) !=
           "0,0,0";
  }));

  program.Stop();
  ASSERT_TRUE(WIFEXITED(program.Status())) << program.Log();
  EXPECT_EQ(WEXITSTATUS(program.Status()), 0) << program.Log();
}

// Without a system tray the window never hides where no one could bring it back: the
// close box asks as Exit does; Escape (Cancel) keeps the window, Return (OK) ends the
// program.
TEST_F(Program, WithoutATrayTheCloseBoxAsksBeforeEnding) {
  larktest::XvfbServer x;
  ASSERT_TRUE(x.Start(1024, 768, 24));
  larktest::PeerProcess program;
  StartRunning(program, x.Display());
  const std::string window = WaitForMainWindow(x, program);
  ASSERT_FALSE(window.empty());
  // A later start stays in view too: there is no tray to hide in.
  EXPECT_TRUE(Visible(x, "^Larkspool$"));

  ClickCloseBox(x, window);
  ASSERT_TRUE(WaitUntil([&] { return Visible(x, "^Exit program\\?$"); })) << program.Log();
  ScreenPixel(x, LARK_TEST_BINARY_DIR "/app_close_without_tray.png", 0, 0);
  Xdotool(x, {"key", "Escape"});
  ASSERT_TRUE(WaitUntil([&] { return !Visible(x, "^Exit program\\?$"); })) << program.Log();
  EXPECT_TRUE(Visible(x, "^Larkspool$"));
  EXPECT_TRUE(program.Running());

  // Closed again (Alt+F4 this time): OK ends the program.
  Xdotool(x, {"key", "--window", window, "alt+F4"});
  ASSERT_TRUE(WaitUntil([&] { return Visible(x, "^Exit program\\?$"); })) << program.Log();
  Xdotool(x, {"key", "Return"});
  ASSERT_TRUE(WaitUntil([&] { return !program.Running(); })) << program.Log();
  ASSERT_TRUE(WIFEXITED(program.Status())) << program.Log();
  EXPECT_EQ(WEXITSTATUS(program.Status()), 0) << program.Log();
  EXPECT_EQ(Ini(), "[Subscriptions]\r\nThumbnailSize=1\r\n") << program.Log();
}

}  // namespace
