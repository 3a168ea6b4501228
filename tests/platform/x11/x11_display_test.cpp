// The X11 display backend against a real X server (Xvfb started by each test), with
// xwd, ImageMagick and xdotool as the other clients.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/mshtml/Commands.h"
#include "platform/mshtml/HtmlClipboard.h"
#include "platform/mshtml/TextRange.h"
#include "platform/win/Clipboard.h"
#include "platform/win/Display.h"
#include "platform/win/Gdi.h"
#include "platform/win/GlobalMemory.h"
#include "platform/win/Input.h"
#include "platform/win/Messages.h"
#include "platform/win/Window.h"
#include "platform/x11/X11Display.h"
#include "tests/support/Peers.h"
#include "tests/support/Pump.h"
#include "tests/support/XServer.h"
#include "tests/support/Ppm.h"
// Last: Xlib's macros (Status, Bool, ...) must not meet the headers above.
#include "platform/x11/XlibIncludes.h"

namespace {

struct Seen {
  HWND hwnd;
  UINT msg;
  WPARAM wParam;
  LPARAM lParam;
};

std::vector<Seen> gSeen;

bool Recorded(UINT msg) {
  switch (msg) {
    case WM_LBUTTONDOWN: case WM_LBUTTONUP: case WM_RBUTTONDOWN: case WM_RBUTTONUP:
    case WM_MBUTTONDOWN: case WM_MBUTTONUP: case WM_MOUSEWHEEL: case WM_KEYDOWN:
    case WM_KEYUP: case WM_CHAR: case WM_SIZE: case WM_CLOSE: case WM_SYSCOMMAND:
    case WM_PAINT: case WM_MOUSEMOVE:
      return true;
    default:
      return false;
  }
}

// Fills its client area with the colour kept in its user data.
LRESULT ColourProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (Recorded(msg)) gSeen.push_back({hWnd, msg, wParam, lParam});
  if (msg == WM_PAINT) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hWnd, &ps);
    RECT client;
    GetClientRect(hWnd, &client);
    HBRUSH brush = CreateSolidBrush(static_cast<COLORREF>(GetWindowLongPtr(hWnd, GWLP_USERDATA)));
    FillRect(dc, &client, brush);
    DeleteObject(brush);
    TextOut(dc, 4, 4, "Larkspool", 9);
    EndPaint(hWnd, &ps);
    return 0;
  }
  if (msg == WM_LBUTTONDOWN) SetFocus(hWnd);
  return DefWindowProc(hWnd, msg, wParam, lParam);
}

void RegisterColourClass() {
  WNDCLASS wc;
  wc.lpfnWndProc = ColourProc;
  wc.lpszClassName = "X11TestColour";
  wc.hCursor = LoadCursor(0, IDC_ARROW);
  RegisterClass(&wc);
}

HWND MakeWindow(DWORD style, int x, int y, int w, int h, HWND parent, COLORREF colour,
                const char* caption = "X11 test") {
  HWND hWnd = CreateWindowEx(0, "X11TestColour", caption, style, x, y, w, h, parent, 0, 0, nullptr);
  SetWindowLongPtr(hWnd, GWLP_USERDATA, static_cast<LONG_PTR>(colour));
  return hWnd;
}

// P6 pixels of an xwd dump of the whole screen, converted by ImageMagick.
using Picture = larktest::RgbPicture;

Picture CaptureScreen(const std::string& display, const std::string& folder) {
  larkx11::SyncX11Display();
  const std::string xwdPath = folder + "screen.xwd";
  const std::string ppmPath = folder + "screen.ppm";
  int code = -1;
  const std::string dump =
      larktest::RunCommand({larktest::RequireProgram("xwd"), "-root", "-silent", "-display", display}, &code);
  EXPECT_EQ(code, 0);
  std::ofstream(xwdPath, std::ios::binary) << dump;
  larktest::RunCommand({larktest::RequireProgram("convert-im6.q16"), "xwd:" + xwdPath, "ppm:" + ppmPath},
                       &code);
  EXPECT_EQ(code, 0);
  const Picture picture = larktest::ReadPpm(ppmPath);
  EXPECT_GT(picture.width, 0) << "not an 8-bit picture: " << ppmPath;
  return picture;
}

// Runs xdotool on the display; a search that finds nothing answers "".
std::string Xdotool(const std::string& display, std::vector<std::string> args) {
  std::vector<std::string> argv = {"env", "DISPLAY=" + display, larktest::RequireProgram("xdotool")};
  argv.insert(argv.end(), args.begin(), args.end());
  int code = -1;
  const std::string out = larktest::RunCommand(argv, &code);
  if (!(args[0] == "search" && code == 1 && out.empty())) {
    EXPECT_EQ(code, 0) << "xdotool " << args[0];
  }
  return out;
}

class X11Display : public ::testing::Test {
 protected:
  void SetUp() override {
    gSeen.clear();
    ASSERT_TRUE(server_.Start(1024, 768, 24));
    ASSERT_TRUE(larkx11::UseX11Display(server_.Display()));
    RegisterColourClass();
  }
  void TearDown() override {
    if (IsWindow(top_)) DestroyWindow(top_);
    larkx11::CloseX11Display();
    larktest::PumpPending();
  }

  // A classic window with a red and a blue child, shown and painted.
  HWND ShowFramedWindow() {
    HWND top = MakeWindow(WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 100, 80, 320, 240, 0,
                          RGB(255, 255, 224));
    MakeWindow(WS_CHILD | WS_VISIBLE, 10, 10, 120, 80, top, RGB(200, 0, 0));
    MakeWindow(WS_CHILD | WS_VISIBLE, 150, 10, 120, 80, top, RGB(0, 0, 200));
    ShowWindow(top, SW_SHOW);
    UpdateWindow(top);
    larktest::PumpUntilIdle();
    top_ = top;
    return top;
  }

  bool WaitFor(UINT msg, HWND hWnd = 0) {
    return larktest::PumpUntil([&] {
      for (const Seen& s : gSeen) {
        if (s.msg == msg && (hWnd == 0 || s.hwnd == hWnd)) return true;
      }
      return false;
    });
  }

  larktest::XvfbServer server_;
  larktest::TempDir dir_;
  HWND top_ = 0;
};

TEST(X11DisplayOpen, AMissingDisplayLeavesTheHeadlessBackend) {
  EXPECT_FALSE(larkx11::UseX11Display(":987"));
  EXPECT_FALSE(larkx11::X11DisplayActive());
  EXPECT_NE(dynamic_cast<larkwin::NullDisplay*>(&larkwin::Display()), nullptr);
}

TEST_F(X11Display, TheScreenShowsWhatTheHeadlessSurfaceHolds) {
  HWND top = ShowFramedWindow();
  auto* backend = dynamic_cast<larkwin::NullDisplay*>(&larkwin::Display());
  ASSERT_NE(backend, nullptr);
  std::vector<uint32_t> frame;
  Integer width = 0, height = 0;
  ASSERT_TRUE(backend->Frame(top, &frame, &width, &height));
  ASSERT_EQ(width, 320);
  ASSERT_EQ(height, 240);
  const Picture screen = CaptureScreen(server_.Display(), dir_.Path());
  ASSERT_EQ(screen.width, 1024);
  int differing = 0;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      if ((frame[static_cast<size_t>(y) * width + x] & 0xffffff) != screen.At(100 + x, 80 + y)) {
        ++differing;
      }
    }
  }
  EXPECT_EQ(differing, 0);
}

TEST_F(X11Display, PointerInputReachesTheWindowUnderIt) {
  HWND top = ShowFramedWindow();
  POINT origin{0, 0};
  ClientToScreen(top, &origin);
  HWND red = ChildWindowFromPoint(top, POINT{20, 20});
  ASSERT_NE(red, top);
  // A click in the red child, 5 pixels into it.
  Xdotool(server_.Display(), {"mousemove", std::to_string(origin.x + 15), std::to_string(origin.y + 15),
                              "click", "1"});
  ASSERT_TRUE(WaitFor(WM_LBUTTONUP, red));
  bool down = false;
  for (const Seen& s : gSeen) {
    if (s.msg == WM_LBUTTONDOWN && s.hwnd == red) {
      down = true;
      EXPECT_EQ(static_cast<short>(LOWORD(s.lParam)), 5);
      EXPECT_EQ(static_cast<short>(HIWORD(s.lParam)), 5);
      EXPECT_TRUE(s.wParam & MK_LBUTTON);
    }
  }
  EXPECT_TRUE(down);

  // The wheel goes to the focus window (the red child took it on the click).
  gSeen.clear();
  Xdotool(server_.Display(), {"click", "5"});
  ASSERT_TRUE(WaitFor(WM_MOUSEWHEEL, red));
  for (const Seen& s : gSeen) {
    if (s.msg == WM_MOUSEWHEEL) {
      EXPECT_EQ(static_cast<short>(HIWORD(s.wParam)), -WHEEL_DELTA);
    }
  }

  // A drag from the red child into the blue one: the button stays with the red child
  // only when it captures; without capture the moves go where the pointer is.
  gSeen.clear();
  Xdotool(server_.Display(), {"mousemove", std::to_string(origin.x + 20), std::to_string(origin.y + 20),
                              "mousedown", "3", "mousemove", std::to_string(origin.x + 170),
                              std::to_string(origin.y + 30), "mouseup", "3"});
  HWND blue = ChildWindowFromPoint(top, POINT{160, 20});
  ASSERT_TRUE(WaitFor(WM_RBUTTONUP, blue));
  bool rightDown = false;
  for (const Seen& s : gSeen) {
    if (s.msg == WM_RBUTTONDOWN) rightDown = s.hwnd == red;
  }
  EXPECT_TRUE(rightDown);
}

TEST_F(X11Display, TypedTextArrivesAsCharactersIncludingAccentedLetters) {
  HWND top = ShowFramedWindow();
  POINT origin{0, 0};
  ClientToScreen(top, &origin);
  HWND red = ChildWindowFromPoint(top, POINT{20, 20});
  Xdotool(server_.Display(), {"mousemove", std::to_string(origin.x + 15), std::to_string(origin.y + 15),
                              "click", "1"});
  ASSERT_TRUE(WaitFor(WM_LBUTTONUP, red));
  ASSERT_EQ(GetFocus(), red);
  // The accented letters are put on spare keys first, so that xdotool finds them in
  // the map instead of changing it while it types.
  {
    Display* dpy = XOpenDisplay(server_.Display().c_str());
    ASSERT_NE(dpy, nullptr);
    int minCode = 0, maxCode = 0;
    XDisplayKeycodes(dpy, &minCode, &maxCode);
    KeySym accented[][2] = {{XK_eacute, XK_Eacute}, {XK_udiaeresis, XK_Udiaeresis}};
    XChangeKeyboardMapping(dpy, maxCode - 2, 2, &accented[0][0], 2);
    XSync(dpy, False);
    XCloseDisplay(dpy);
  }
  gSeen.clear();
  Xdotool(server_.Display(), {"type", "--delay", "0", "Ab 1!\xc3\xa9\xc3\xbc"});
  std::string typed;
  ASSERT_TRUE(larktest::PumpUntil([&] {
    typed.clear();
    for (const Seen& s : gSeen) {
      if (s.msg == WM_CHAR && s.hwnd == red) typed.push_back(static_cast<char>(s.wParam));
    }
    return typed.size() >= 7;
  })) << typed;
  EXPECT_EQ(typed, "Ab 1!\xe9\xfc");
  bool keyA = false;
  for (const Seen& s : gSeen) {
    if (s.msg == WM_KEYDOWN && s.wParam == 'A') keyA = true;
  }
  EXPECT_TRUE(keyA);
}

TEST_F(X11Display, TheWindowManagersCloseAsksTheWindowToClose) {
  HWND top = ShowFramedWindow();
  // What a window manager sends when a person closes the window.
  Display* dpy = XOpenDisplay(server_.Display().c_str());
  ASSERT_NE(dpy, nullptr);
  const std::string id = Xdotool(server_.Display(), {"search", "--name", "X11 test"});
  ASSERT_FALSE(id.empty());
  const Window xid = std::stoul(id);
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = xid;
  event.xclient.message_type = XInternAtom(dpy, "WM_PROTOCOLS", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = static_cast<long>(XInternAtom(dpy, "WM_DELETE_WINDOW", False));
  event.xclient.data.l[1] = CurrentTime;
  XSendEvent(dpy, xid, False, NoEventMask, &event);
  XSync(dpy, False);
  XCloseDisplay(dpy);
  ASSERT_TRUE(WaitFor(WM_CLOSE, top));
  // DefWindowProc destroyed it, and its X window went with it.
  larktest::PumpUntilIdle();
  EXPECT_FALSE(IsWindow(top));
  EXPECT_EQ(Xdotool(server_.Display(), {"search", "--name", "X11 test"}), "");
}

TEST_F(X11Display, ResizingFromOutsideSizesAndRepaintsTheWindow) {
  HWND top = ShowFramedWindow();
  const std::string id = Xdotool(server_.Display(), {"search", "--name", "X11 test"});
  gSeen.clear();
  Xdotool(server_.Display(), {"windowsize", id.substr(0, id.find('\n')), "400", "300"});
  ASSERT_TRUE(larktest::PumpUntil([&] {
    RECT r;
    GetWindowRect(top, &r);
    return r.right - r.left == 400 && r.bottom - r.top == 300;
  }));
  ASSERT_TRUE(WaitFor(WM_SIZE, top));
  ASSERT_TRUE(WaitFor(WM_PAINT, top));
  larktest::PumpUntilIdle();
  // The grown part shows the window's own colour.
  POINT origin{0, 0};
  ClientToScreen(top, &origin);
  RECT client;
  GetClientRect(top, &client);
  const Picture screen = CaptureScreen(server_.Display(), dir_.Path());
  EXPECT_EQ(screen.At(origin.x + client.right - 5, origin.y + client.bottom - 5), 0xffffe0u);
}

TEST_F(X11Display, TheClipboardsTextIsSharedWithOtherClients) {
  ShowFramedWindow();
  const std::string xclip = larktest::RequireProgram("xclip");
  ASSERT_FALSE(xclip.empty());
  // Ours, read by another client as UTF-8.
  ASSERT_TRUE(OpenClipboard(0));
  EmptyClipboard();
  const std::string text = "caf\xe9 \x80 5";
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
  std::memcpy(GlobalLock(block), text.c_str(), text.size() + 1);
  GlobalUnlock(block);
  SetClipboardData(CF_TEXT, block);
  CloseClipboard();
  // xclip asks while our loop answers: it runs beside the test.
  larktest::PeerProcess reader;
  ASSERT_TRUE(reader.Start({"env", "DISPLAY=" + server_.Display(), xclip, "-o", "-selection",
                            "clipboard", "-target", "UTF8_STRING"}));
  ASSERT_TRUE(larktest::PumpUntil([&] { return !reader.Running(); }, 10000));
  EXPECT_EQ(reader.Log(), "caf\xc3\xa9 \xe2\x82\xac 5");

  // Another client's, read by us in Windows-1252.
  int code = -1;
  larktest::RunCommand({"/bin/sh", "-c",
                        "printf 'na\\303\\257ve' | DISPLAY=" + server_.Display() + " " + xclip +
                            " -i -selection clipboard -loops 1 >/dev/null 2>&1 &"},
                       &code);
  ASSERT_TRUE(larktest::PumpUntil([&] {
    larkx11::SyncX11Display();
    if (!OpenClipboard(0)) return false;
    HGLOBAL got = GetClipboardData(CF_TEXT);
    std::string read = got ? static_cast<const char*>(GlobalLock(got)) : "";
    if (got) GlobalUnlock(got);
    CloseClipboard();
    return read == "na\xefve";
  }, 10000));
}

// The HTML engine's copy reaches other clients as text, and their text is what its
// paste takes.
TEST_F(X11Display, TheHtmlEnginesClipboardTextIsShared) {
  ShowFramedWindow();
  const std::string xclip = larktest::RequireProgram("xclip");
  ASSERT_FALSE(xclip.empty());
  mshtml::Document doc;
  doc.LoadHTML(u"<p>one <b>two</b> three</p>");
  doc.SetDesignMode(u"on");
  mshtml::TextRange range(doc.GetBody());
  range.SetRange(4, 7);
  doc.GetSelection()->Select(range);
  ASSERT_EQ(mshtml::ExecCommand(doc, u"Copy", false, nullptr, nullptr), S_OK);
  larktest::PeerProcess reader;
  ASSERT_TRUE(reader.Start({"env", "DISPLAY=" + server_.Display(), xclip, "-o", "-selection",
                            "clipboard", "-target", "UTF8_STRING"}));
  ASSERT_TRUE(larktest::PumpUntil([&] { return !reader.Running(); }, 10000));
  EXPECT_EQ(reader.Log(), "two");

  int code = -1;
  larktest::RunCommand({"/bin/sh", "-c",
                        "printf 'from <x>' | DISPLAY=" + server_.Display() + " " + xclip +
                            " -i -selection clipboard -loops 1 >/dev/null 2>&1 &"},
                       &code);
  range.SetRange(0, 0);
  doc.GetSelection()->Select(range);
  ASSERT_TRUE(larktest::PumpUntil([&] {
    larkx11::SyncX11Display();
    const auto fragment = mshtml::GetClipboardFragment();
    return fragment && fragment->Html.empty() && fragment->Text == u"from <x>";
  }, 10000));
  ASSERT_EQ(mshtml::ExecCommand(doc, u"Paste", false, nullptr, nullptr), S_OK);
  EXPECT_EQ(mshtml::WideToUtf8(doc.GetBody()->GetInnerHTML()), "<P>from &lt;x&gt;one <B>two</B> three</P>");
}

TEST_F(X11Display, ALostConnectionEndsTheMessageLoop) {
  ShowFramedWindow();
  server_.Kill();
  // The loop of a program: it must see WM_QUIT (the test's pumping would swallow it).
  bool quit = false;
  for (int waits = 0; !quit && waits < 200; ++waits) {
    MSG msg;
    while (PeekMessage(&msg, 0, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) quit = true;
      DispatchMessage(&msg);
    }
    if (!quit) MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
  }
  ASSERT_TRUE(quit);
  EXPECT_FALSE(larkx11::X11DisplayActive());
  // Painting and input on the dead connection do nothing harmful.
  InvalidateRect(GetForegroundWindow(), nullptr, TRUE);
  larktest::PumpPending();
}

}  // namespace

namespace {

// A blit from the screen reads the root window: what a person sees, other programs'
// windows and the desktop included, exactly as xwd dumps it.
TEST_F(X11Display, ABlitFromTheScreenCopiesWhatXwdSees) {
  ShowFramedWindow();
  const Picture screen = CaptureScreen(server_.Display(), dir_.Path());
  ASSERT_EQ(screen.width, 1024);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = 1024;
  info.bmiHeader.biHeight = -768;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(0, &info, DIB_RGB_COLORS, &bits, 0, 0);
  HDC mem = CreateCompatibleDC(0);
  HGDIOBJ old = SelectObject(mem, bitmap);
  HDC screenDC = GetWindowDC(GetDesktopWindow());
  ASSERT_TRUE(BitBlt(mem, 0, 0, 1024, 768, screenDC, 0, 0, SRCCOPY));
  ReleaseDC(GetDesktopWindow(), screenDC);
  int differing = 0;
  const auto* px = static_cast<const uint32_t*>(bits);
  for (int y = 0; y < 768; ++y)
    for (int x = 0; x < 1024; ++x) differing += (px[y * 1024 + x] & 0xFFFFFF) != screen.At(x, y);
  EXPECT_EQ(differing, 0);
  SelectObject(mem, old);
  DeleteDC(mem);
  DeleteObject(bitmap);
}

}  // namespace
