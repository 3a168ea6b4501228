// The views on a real X server (Xvfb started by each test) through the X11 display
// backend: a person's drags, pans and zoom clicks made by xdotool, and the painted
// windows read back as xwd dumps them (converted by ImageMagick).
#include <gtest/gtest.h>

#include <array>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "image/views/iemview.h"
#include "platform/win/Window.h"
#include "platform/x11/X11Display.h"
#include "tests/image/views/views_test_util.h"
#include "tests/support/Peers.h"
#include "tests/support/XServer.h"

namespace {

using viewtest::Pump;

class ViewsOnX : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server_.Start(1024, 768, 24));
    ASSERT_TRUE(larkx11::UseX11Display(server_.Display()));
  }
  void TearDown() override {
    larkx11::CloseX11Display();
    larktest::PumpPending();
  }

  // xdotool with the arguments, on the test's display.
  void Xdotool(const std::vector<std::string>& args) {
    std::vector<std::string> argv = {"env", "DISPLAY=" + server_.Display(), larktest::RequireProgram("xdotool")};
    argv.insert(argv.end(), args.begin(), args.end());
    int code = -1;
    const std::string out = larktest::RunCommand(argv, &code);
    EXPECT_EQ(code, 0) << out;
  }

  // The screen point of a window's client point.
  static std::string X(HWND hWnd, Integer x) {
    POINT p{x, 0};
    ClientToScreen(hWnd, &p);
    return std::to_string(p.x);
  }
  static std::string Y(HWND hWnd, Integer y) {
    POINT p{0, y};
    ClientToScreen(hWnd, &p);
    return std::to_string(p.y);
  }

  // A top-level window as xwd dumps it from the root window (frame, scroll bars and
  // all), written as a PNG by ImageMagick for a person to look at; answers the
  // picture, and in `client` where the client area of `inner` lies in it.
  std::unique_ptr<TIEBitmap> Shoot(HWND top, HWND inner, const std::string& name, POINT* client) {
    larkx11::SyncX11Display();
    RECT frame{};
    GetWindowRect(top, &frame);
    POINT origin{0, 0};
    ClientToScreen(inner, &origin);
    *client = POINT{origin.x - frame.left, origin.y - frame.top};
    int code = -1;
    const std::string dump =
        larktest::RunCommand({larktest::RequireProgram("xwd"), "-root", "-silent", "-display", server_.Display()}, &code);
    EXPECT_EQ(code, 0);
    const std::string xwd = dir_.Path() + "screen.xwd";
    std::ofstream(xwd, std::ios::binary) << dump;
    const std::string png = viewtest::ShotPath(name);
    const std::string crop = std::to_string(frame.right - frame.left) + "x" + std::to_string(frame.bottom - frame.top) +
                             "+" + std::to_string(frame.left) + "+" + std::to_string(frame.top);
    const std::string log = larktest::RunCommand(
        {larktest::RequireProgram(viewtest::kConvert), "xwd:" + xwd, "-crop", crop, "+repage", png}, &code);
    EXPECT_EQ(code, 0) << log;
    return code == 0 ? viewtest::LoadStore(png) : nullptr;
  }

  larktest::XvfbServer server_;
  larktest::TempDir dir_;
};

// A 300 x 300 view of a 200 x 200 grey picture: bitmap (0, 0) is client (50, 50).
struct Stage {
  explicit Stage(TIEMouseInteract interact) {
    TBitmap* b = f.view->GetBitmap();
    b->SetSize(200, 200);
    f.view->GetIEBitmap()->EncapsulateTBitmap(b, false);
    f.view->GetIEBitmap()->Fill(0x808080);
    f.view->Update();
    f.view->SetMouseInteract(interact);
    Pump();
  }
  HWND hwnd() { return f.view->GetHandle(); }
  std::array<Integer, 4> Box() {
    return {f.view->GetSelX1(), f.view->GetSelY1(), f.view->GetSelX2(), f.view->GetSelY2()};
  }
  viewtest::ViewForm<> f{300, 300};
};

TEST_F(ViewsOnX, SelectionDragsAGripAndMovesTheSelection) {
  Stage s({miSelect});
  const HWND h = s.hwnd();
  Xdotool({"mousemove", X(h, 100), Y(h, 100), "mousedown", "1", "mousemove", X(h, 120), Y(h, 115), "mousemove",
           X(h, 140), Y(h, 130), "mouseup", "1"});
  ASSERT_TRUE(larktest::PumpUntil([&] { return s.f.view->GetSelected() && s.Box()[2] == 90; }))
      << s.Box()[0] << "," << s.Box()[1] << "," << s.Box()[2] << "," << s.Box()[3];
  EXPECT_EQ(s.Box(), (std::array<Integer, 4>{50, 50, 90, 80}));
  // The bottom-right grip dragged out, then the selection moved from inside.
  Xdotool({"mousemove", X(h, 139), Y(h, 129), "mousedown", "1", "mousemove", X(h, 170), Y(h, 150), "mousemove",
           X(h, 180), Y(h, 160), "mouseup", "1"});
  ASSERT_TRUE(larktest::PumpUntil([&] { return s.f.view->GetResizingGripActive() == -1 && s.Box()[2] > 100; }));
  EXPECT_EQ(s.Box(), (std::array<Integer, 4>{50, 50, 130, 110}));  // the corner follows the pointer
  Xdotool({"mousemove", X(h, 120), Y(h, 120), "mousedown", "1", "mousemove", X(h, 130), Y(h, 125), "mousemove",
           X(h, 140), Y(h, 130), "mouseup", "1"});
  ASSERT_TRUE(larktest::PumpUntil([&] { return s.Box()[0] == 70; }));
  EXPECT_EQ(s.Box(), (std::array<Integer, 4>{70, 60, 150, 120}));
  ASSERT_TRUE(larktest::PumpUntil([&] { return s.f.view->GetSelectionMask()->GetPixel(100, 100) != 0; }));
  EXPECT_EQ(s.f.view->GetSelectionMask()->GetPixel(60, 55), 0);
  Pump();
  // The outline on the screen: the dashes lie on the selection's edge, in the view.
  POINT c{};
  auto shot = Shoot(s.f.form->GetHandle(), h, "x11_selection", &c);
  ASSERT_NE(shot, nullptr);
  int edge = 0;
  for (Integer x = 125; x < 195; ++x) {
    const viewtest::Rgb p = viewtest::PixelOf(shot.get(), c.x + x, c.y + 110);  // bitmap row 60, the top edge
    edge += p != viewtest::Rgb{128, 128, 128};
  }
  EXPECT_GT(edge, 20);
  EXPECT_EQ(viewtest::PixelOf(shot.get(), c.x + 150, c.y + 140), (viewtest::Rgb{128, 128, 128}));  // inside
}

TEST_F(ViewsOnX, ZoomClicksAndPanning) {
  Stage s({miZoom});
  const HWND h = s.hwnd();
  // A left click zooms in a step at the pointer, a right click out again.
  Xdotool({"mousemove", X(h, 150), Y(h, 150), "click", "1"});
  ASSERT_TRUE(larktest::PumpUntil([&] { return s.f.view->GetZoom() == 200; })) << s.f.view->GetZoom();
  Xdotool({"click", "3"});
  ASSERT_TRUE(larktest::PumpUntil([&] { return s.f.view->GetZoom() == 100; })) << s.f.view->GetZoom();
  // At 400 % the picture is larger than the view: a drag pans it with the pointer.
  s.f.view->SetZoom(400);
  s.f.view->SetMouseInteract({miScroll});
  s.f.view->SetViewXY(100, 100);
  Pump();
  Xdotool({"mousemove", X(h, 200), Y(h, 200), "mousedown", "1", "mousemove", X(h, 180), Y(h, 190), "mousemove",
           X(h, 150), Y(h, 170), "mouseup", "1"});
  ASSERT_TRUE(larktest::PumpUntil([&] { return s.f.view->GetViewX() == 150; })) << s.f.view->GetViewX();
  EXPECT_EQ(s.f.view->GetViewY(), 130);
}

// The thumbnail grid scrolled by the wheel on a real display, kept as a picture.
TEST_F(ViewsOnX, GridScrolledByTheWheel) {
  viewtest::ViewForm<TDadirAvMView> f(430, 330, TScrollStyle::ssVertical);
  f.view->SetGridWidth(-1);
  f.view->Style = iemsACD;
  f.view->SetThreadPoolSize(0);
  for (Integer i = 0; i < 40; ++i) {
    const Integer idx = f.view->AppendImage();
    TIEBitmap b;
    b.SetLocation(ieMemory);
    b.Allocate(i % 3 == 0 ? 120 : 80, i % 3 == 0 ? 80 : 110, ie24RGB);
    const TRGB c{static_cast<Byte>(40 + i * 37 % 200), static_cast<Byte>(200 - i * 23 % 150),
                 static_cast<Byte>(i * 61 % 255)};
    for (Integer y = 0; y < b.GetHeight(); ++y)
      for (Integer x = 0; x < b.GetWidth(); ++x) b.SetPixels_ie24RGB(x, y, c);
    f.view->SetIEBitmap(idx, &b);
    f.view->GetImageBottomText(idx)->SetCaption(("picture " + std::to_string(idx + 1)).c_str());
  }
  Pump();
  const HWND h = f.view->GetHandle();
  // The wheel goes to the window with the focus.
  f.view->SetFocus();
  Pump();
  const Integer pitch = f.view->GetThumbHeight() + f.view->GetVertBorder();
  Xdotool({"mousemove", X(h, 200), Y(h, 150), "click", "5", "click", "5", "click", "5"});
  ASSERT_TRUE(larktest::PumpUntil([&] { return f.view->GetViewY() == 3 * pitch; })) << f.view->GetViewY();
  Pump();
  POINT at{};
  auto shot = Shoot(f.form->GetHandle(), h, "x11_grid_scrolled", &at);
  ASSERT_NE(shot, nullptr);
  // The first row on the screen is the fourth: its first cell's picture at its centre.
  const Integer first = f.view->ImageAtPos(60, 60);
  ASSERT_GE(first, 0);
  EXPECT_EQ(f.view->GetImageRow(first), 3);
  const TRGB c{static_cast<Byte>(40 + first * 37 % 200), static_cast<Byte>(200 - first * 23 % 150),
               static_cast<Byte>(first * 61 % 255)};
  const Integer cx = f.view->GetImageX(first) + f.view->GetThumbWidth() / 2;
  const Integer cy = f.view->GetImageY(first) - f.view->GetViewY() + 40;
  EXPECT_EQ(viewtest::PixelOf(shot.get(), at.x + cx, at.y + cy), (viewtest::Rgb{c.r, c.g, c.b}));
}

}  // namespace
