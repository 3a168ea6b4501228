// The notification area on an X display, against a real system tray (trayer, which
// docks icons by the freedesktop protocol) on Xvfb, with xdotool as the person; and
// the screen's metrics taken from the X screen.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "platform/shell/NotifyAreaPresenter.h"
#include "platform/shell/ShellApi.h"
#include "platform/win/Display.h"
#include "platform/win/Gdi.h"
#include "platform/win/Input.h"
#include "platform/win/Messages.h"
#include "platform/win/Window.h"
#include "platform/x11/X11Display.h"
#include "tests/support/Peers.h"
#include "tests/support/Pump.h"
#include "tests/support/XServer.h"
// Last: Xlib's macros (Status, Bool, ...) must not meet the headers above.
#include "platform/x11/XlibIncludes.h"

namespace {

constexpr UINT kCallback = WM_USER + 77;
constexpr UINT kIconId = 5;

std::vector<LPARAM> gCallbacks;
int gGoneNotices = 0;

LRESULT OwnerProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == kCallback && wParam == kIconId) gCallbacks.push_back(lParam);
  if (msg == larkshell::NotifyAreaGoneMessage()) ++gGoneNotices;
  return DefWindowProc(hWnd, msg, wParam, lParam);
}

bool Called(LPARAM what) { return std::find(gCallbacks.begin(), gCallbacks.end(), what) != gCallbacks.end(); }

// A 16 x 16 icon: a red square with a white middle.
HICON MakeIcon() {
  HDC screen = GetDC(0);
  HBITMAP colour = CreateCompatibleBitmap(screen, 16, 16);
  HBITMAP mask = CreateBitmap(16, 16, 1, 1, nullptr);
  HDC dc = CreateCompatibleDC(screen);
  HGDIOBJ old = SelectObject(dc, colour);
  RECT all{0, 0, 16, 16}, middle{5, 5, 11, 11};
  HBRUSH red = CreateSolidBrush(RGB(220, 0, 0));
  FillRect(dc, &all, red);
  DeleteObject(red);
  FillRect(dc, &middle, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  SelectObject(dc, mask);
  FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));  // opaque everywhere
  SelectObject(dc, old);
  DeleteDC(dc);
  ReleaseDC(0, screen);
  ICONINFO info{};
  info.fIcon = TRUE;
  info.hbmColor = colour;
  info.hbmMask = mask;
  HICON icon = CreateIconIndirect(&info);
  DeleteObject(colour);
  DeleteObject(mask);
  return icon;
}

std::string Trim(std::string s) {
  while (!s.empty() && (s.back() == '\n' || s.back() == '\r' || s.back() == ' ')) s.pop_back();
  return s;
}

class X11Tray : public ::testing::Test {
 protected:
  void SetUp() override {
    gCallbacks.clear();
    ASSERT_TRUE(server_.Start(1024, 768, 24));
    ASSERT_TRUE(larkx11::UseX11Display(server_.Display()));
    peek_ = XOpenDisplay(server_.Display().c_str());
    ASSERT_NE(peek_, nullptr);
    WNDCLASS wc;
    wc.lpfnWndProc = OwnerProc;
    wc.lpszClassName = "X11TrayOwner";
    RegisterClass(&wc);
    owner_ = CreateWindowEx(0, "X11TrayOwner", "owner", WS_OVERLAPPED, 0, 0, 10, 10, 0, 0, 0, nullptr);
    icon_ = MakeIcon();
  }
  void TearDown() override {
    if (owner_ != 0) {
      NOTIFYICONDATAA data = Data(0);
      Shell_NotifyIconA(NIM_DELETE, &data);
      DestroyWindow(owner_);
    }
    if (icon_ != 0) DestroyIcon(icon_);
    tray_.Stop();
    if (peek_ != nullptr) XCloseDisplay(peek_);
    larkx11::CloseX11Display();
    larktest::PumpPending();
  }

  NOTIFYICONDATAA Data(UINT flags) {
    NOTIFYICONDATAA data;
    data.cbSize = sizeof data;
    data.hWnd = owner_;
    data.uID = kIconId;
    data.uFlags = flags;
    data.uCallbackMessage = kCallback;
    data.hIcon = icon_;
    std::snprintf(data.szTip, sizeof data.szTip, "%s", "Tray test");
    return data;
  }

  void StartTray() {
    ASSERT_TRUE(tray_.Start({larktest::RequireProgram("trayer"), "--edge", "bottom", "--align", "right",
                             "--widthtype", "request", "--height", "24", "--transparent", "false",
                             "--SetDockType", "true"},
                            {}, {{"DISPLAY", server_.Display()}}));
  }

  std::string Xdotool(std::vector<std::string> args, int* code = nullptr) {
    std::vector<std::string> argv = {"env", "DISPLAY=" + server_.Display(), larktest::RequireProgram("xdotool")};
    argv.insert(argv.end(), args.begin(), args.end());
    return Trim(larktest::RunCommand(argv, code));
  }

  // The icon's window as the tray shows it (0 while it is not shown).
  Window ShownIconWindow() {
    const std::string found = Xdotool({"search", "--onlyvisible", "--classname", "larkspool-tray"});
    return found.empty() ? 0 : static_cast<Window>(std::stoul(found.substr(0, found.find('\n'))));
  }
  Window ParentOf(Window xid) {
    Window root = 0, parent = 0, *children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(peek_, xid, &root, &parent, &children, &count)) return 0;
    if (children != nullptr) XFree(children);
    return parent;
  }
  // The icon window's top left corner on the screen.
  POINT ScreenPointOf(Window xid) {
    int x = 0, y = 0;
    Window child = 0;
    XTranslateCoordinates(peek_, xid, DefaultRootWindow(peek_), 0, 0, &x, &y, &child);
    return POINT{x, y};
  }
  // Waits until the tray shows the icon, as the area says and the server shows.
  Window WaitForDockedIcon() {
    Window xid = 0;
    EXPECT_TRUE(larktest::PumpUntil(
        [&] {
          if (!larkshell::NotifyAreaPresented()) return false;
          xid = ShownIconWindow();
          return xid != 0 && ParentOf(xid) != DefaultRootWindow(peek_);
        },
        20000))
        << tray_.Log();
    return xid;
  }

  larktest::XvfbServer server_;
  larktest::PeerProcess tray_;
  ::Display* peek_ = nullptr;  // the test's own connection, to look at the server
  HWND owner_ = 0;
  HICON icon_ = 0;
};

// Without a tray the icon waits unseen and the area says it is not presented; once a
// tray starts, it takes the icon, which it embeds in its own window at the screen's
// bottom right and shows painted.
TEST_F(X11Tray, TheIconDocksInATrayThatStartsLater) {
  NOTIFYICONDATAA data = Data(NIF_MESSAGE | NIF_ICON | NIF_TIP);
  ASSERT_TRUE(Shell_NotifyIconA(NIM_ADD, &data));
  ASSERT_TRUE(larktest::PumpUntilIdle());
  EXPECT_FALSE(larkshell::NotifyAreaPresented());
  EXPECT_EQ(ShownIconWindow(), 0u);

  StartTray();
  const Window xid = WaitForDockedIcon();
  ASSERT_NE(xid, 0u);
  const POINT at = ScreenPointOf(xid);
  EXPECT_GT(at.x, 1024 - 60);
  EXPECT_GT(at.y, 768 - 30);

  // The icon's pixels: its red square, white in the middle, as xwd sees the screen.
  larkx11::SyncX11Display();
  ASSERT_TRUE(larktest::PumpUntil([&] {
    XWindowAttributes attrs{};
    XGetWindowAttributes(peek_, xid, &attrs);
    XImage* image = XGetImage(peek_, xid, 0, 0, static_cast<unsigned>(attrs.width),
                              static_cast<unsigned>(attrs.height), AllPlanes, ZPixmap);
    if (image == nullptr) return false;
    const int cx = attrs.width / 2, cy = attrs.height / 2;
    const unsigned long middle = XGetPixel(image, cx, cy);
    const unsigned long edge = XGetPixel(image, cx - 6, cy);
    XDestroyImage(image);
    return middle == 0xFFFFFF && edge == 0xDC0000;
  }));
  int code = -1;
  const std::string shot = LARK_TEST_BINARY_DIR "/x11_tray_docked.png";
  const std::string dump =
      larktest::RunCommand({larktest::RequireProgram("xwd"), "-root", "-silent", "-display", server_.Display()}, &code);
  std::ofstream(shot + ".xwd", std::ios::binary) << dump;
  larktest::RunCommand({larktest::RequireProgram("convert-im6.q16"), "xwd:" + shot + ".xwd", shot}, &code);
  EXPECT_EQ(code, 0);

  // Removed, the icon leaves the tray.
  ASSERT_TRUE(Shell_NotifyIconA(NIM_DELETE, &data));
  ASSERT_TRUE(larktest::PumpUntil([&] { return ShownIconWindow() == 0; }));
}

// A person's clicks on the docked icon reach its owner as the shell's callback
// messages: a click, a right click, a double click (with the version 3 extras when
// the owner asked for them).
TEST_F(X11Tray, ClicksOnTheIconReachItsOwner) {
  StartTray();
  NOTIFYICONDATAA data = Data(NIF_MESSAGE | NIF_ICON | NIF_TIP);
  ASSERT_TRUE(Shell_NotifyIconA(NIM_ADD, &data));
  const Window xid = WaitForDockedIcon();
  ASSERT_NE(xid, 0u);
  const std::string window = std::to_string(xid);

  Xdotool({"mousemove", "--window", window, "8", "8", "click", "1"});
  ASSERT_TRUE(larktest::PumpUntil([] { return Called(WM_LBUTTONUP); }));
  EXPECT_TRUE(Called(WM_LBUTTONDOWN));
  EXPECT_TRUE(Called(WM_MOUSEMOVE));
  POINT cursor{};
  GetCursorPos(&cursor);
  const POINT at = ScreenPointOf(xid);
  EXPECT_EQ(cursor.x, at.x + 8) << "the owner finds the cursor where the click was";
  EXPECT_EQ(cursor.y, at.y + 8);

  Xdotool({"click", "3"});
  ASSERT_TRUE(larktest::PumpUntil([] { return Called(WM_RBUTTONUP); }));
  EXPECT_TRUE(Called(WM_RBUTTONDOWN));
  EXPECT_FALSE(Called(WM_CONTEXTMENU)) << "only for version 3";

  gCallbacks.clear();
  Xdotool({"click", "--repeat", "2", "--delay", "60", "1"});
  ASSERT_TRUE(larktest::PumpUntil([] { return Called(WM_LBUTTONDBLCLK); }));

  data.uVersion = NOTIFYICON_VERSION;
  ASSERT_TRUE(Shell_NotifyIconA(NIM_SETVERSION, &data));
  gCallbacks.clear();
  Xdotool({"click", "3"});
  ASSERT_TRUE(larktest::PumpUntil([] { return Called(WM_CONTEXTMENU); }));
}

// A balloon shows as a popup beside the docked icon, with its title and text; a
// click on it closes it and tells the owner.
TEST_F(X11Tray, ABalloonShowsBesideTheIconAndAClickClosesIt) {
  StartTray();
  NOTIFYICONDATAA data = Data(NIF_MESSAGE | NIF_ICON | NIF_TIP);
  ASSERT_TRUE(Shell_NotifyIconA(NIM_ADD, &data));
  const Window xid = WaitForDockedIcon();
  ASSERT_NE(xid, 0u);
  data.uFlags = NIF_INFO;
  std::snprintf(data.szInfoTitle, sizeof data.szInfoTitle, "%s", "Subscribed");
  std::snprintf(data.szInfo, sizeof data.szInfo, "%s", "Tones and more \x97 a feed of tones");
  data.dwInfoFlags = NIIF_INFO;
  ASSERT_TRUE(Shell_NotifyIconA(NIM_MODIFY, &data));
  ASSERT_TRUE(larktest::PumpUntil([] { return Called(NIN_BALLOONSHOW); }));

  HWND balloon = 0;
  for (HWND shown : larkwin::ShownTopLevelWindows()) {
    char name[64] = {};
    GetClassName(shown, name, sizeof name);
    if (std::string(name) == "LarkTrayBalloon" && IsWindowVisible(shown)) balloon = shown;
  }
  ASSERT_NE(balloon, HWND{0});
  RECT rect{};
  GetWindowRect(balloon, &rect);
  const POINT icon = ScreenPointOf(xid);
  EXPECT_LE(rect.bottom, icon.y) << "above the icon at the screen's bottom";
  EXPECT_GT(rect.bottom, icon.y - 20);
  EXPECT_GE(rect.left, 0);
  EXPECT_LE(rect.right, 1024);
  ASSERT_TRUE(larktest::PumpUntilIdle());
  larkx11::SyncX11Display();
  int code = -1;
  const std::string shot = LARK_TEST_BINARY_DIR "/x11_tray_balloon.png";
  const std::string dump =
      larktest::RunCommand({larktest::RequireProgram("xwd"), "-root", "-silent", "-display", server_.Display()}, &code);
  std::ofstream(shot + ".xwd", std::ios::binary) << dump;
  larktest::RunCommand({larktest::RequireProgram("convert-im6.q16"), "xwd:" + shot + ".xwd", shot}, &code);

  Xdotool({"mousemove", std::to_string(rect.left + 20), std::to_string(rect.top + 10), "click", "1"});
  ASSERT_TRUE(larktest::PumpUntil([] { return Called(NIN_BALLOONUSERCLICK); }));
  ASSERT_TRUE(larktest::PumpUntil([&] { return !IsWindow(balloon); }));
}

// The tray goes (killed by its process id): the area is no longer presented, every
// top-level window hears of it, and the icon does not stray onto the screen; a new
// tray takes it again.
TEST_F(X11Tray, ANewTrayTakesTheIconAfterTheOldOneWent) {
  StartTray();
  NOTIFYICONDATAA data = Data(NIF_MESSAGE | NIF_ICON | NIF_TIP);
  ASSERT_TRUE(Shell_NotifyIconA(NIM_ADD, &data));
  ASSERT_NE(WaitForDockedIcon(), 0u);
  ASSERT_TRUE(larktest::PumpUntilIdle());
  gGoneNotices = 0;
  tray_.Kill();
  ASSERT_TRUE(larktest::PumpUntil([] { return gGoneNotices > 0; }, 20000)) << "the owner hears the tray went";
  EXPECT_FALSE(larkshell::NotifyAreaPresented());
  ASSERT_TRUE(larktest::PumpUntil([&] { return ShownIconWindow() == 0; }, 20000));
  StartTray();
  ASSERT_NE(WaitForDockedIcon(), 0u);
}

// GetSystemMetrics tells the X screen's size, whatever it is; the headless screen's
// comes back with the headless backend.
TEST(X11Screen, TheMetricsAreTheXScreens) {
  larktest::XvfbServer server;
  ASSERT_TRUE(server.Start(1280, 900, 24));
  ASSERT_TRUE(larkx11::UseX11Display(server.Display()));
  EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 1280);
  EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), 900);
  EXPECT_EQ(GetSystemMetrics(SM_CXVIRTUALSCREEN), 1280);
  HDC screen = GetDC(0);
  EXPECT_EQ(GetDeviceCaps(screen, HORZRES), 1280);
  EXPECT_EQ(GetDeviceCaps(screen, VERTRES), 900);
  ReleaseDC(0, screen);
  larkx11::CloseX11Display();
  EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 1024);
  EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), 768);
}

}  // namespace
