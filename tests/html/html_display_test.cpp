// The channel page on a real X display (Xvfb started by the test) through the X11
// display backend: the feed's picture drawn from its local file beside the title,
// the description and the feed's address, as another client (xwd) sees the screen,
// and the link under the pointer reported while xdotool moves the pointer over the
// link and off it. The screen is kept as PNG for a person to look at (a copy is kept
// in tests/data/html/channel_page_x11.png).
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "platform/rtl/Files.h"
#include "platform/sim/Screen.h"
#include "platform/x11/X11Display.h"
#include "tests/html/HtmlControlFixture.h"
#include "tests/html/PageShapes.h"
#include "tests/support/Peers.h"
#include "tests/support/XServer.h"
#include "tests/support/Ppm.h"

namespace htmltest {
namespace {

// The screen's pixels in a rectangle, as xwd dumps them and ImageMagick reads them.
using ScreenPart = larktest::RgbPicture;

class HtmlOnDisplay : public HtmlControlTest {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server_.Start(1024, 768, 24));
    ASSERT_TRUE(larkx11::UseX11Display(server_.Display()));
    ASSERT_TRUE(sim::UseFreeTypeFonts(true)) << "FreeType and the DejaVu faces are needed";
    HtmlControlTest::SetUp();
  }
  void TearDown() override {
    HtmlControlTest::TearDown();
    larkx11::CloseX11Display();
    larktest::PumpPending();
  }

  // The form's area of the screen, written as PNG to png and read back as pixels.
  ScreenPart Capture(const std::string& png) {
    larkx11::SyncX11Display();
    RECT r;
    GetWindowRect(form->GetHandle(), &r);
    const std::string xwd = dir_.Path() + "screen.xwd";
    const std::string ppm = dir_.Path() + "form.ppm";
    int code = -1;
    const std::string dump =
        larktest::RunCommand({larktest::RequireProgram("xwd"), "-root", "-silent", "-display", server_.Display()}, &code);
    EXPECT_EQ(code, 0);
    std::ofstream(xwd, std::ios::binary) << dump;
    const std::string crop = std::to_string(r.right - r.left) + "x" + std::to_string(r.bottom - r.top) + "+" +
                             std::to_string(r.left) + "+" + std::to_string(r.top);
    const std::string convert = larktest::RequireProgram("convert-im6.q16");
    larktest::RunCommand({convert, "xwd:" + xwd, "-crop", crop, "+repage", "png:" + png}, &code);
    EXPECT_EQ(code, 0);
    larktest::RunCommand({convert, "png:" + png, "-depth", "8", "ppm:" + ppm}, &code);
    EXPECT_EQ(code, 0);
    const ScreenPart part = larktest::ReadPpm(ppm);
    EXPECT_GT(part.width, 0) << "not an 8-bit picture: " << ppm;
    return part;
  }
  // A client point of the document window on the screen.
  POINT OnScreen(POINT p) {
    ClientToScreen(html->GetWindowHandle(), &p);
    return p;
  }
  // Moves the X pointer there, as a person's mouse would.
  void PointAt(POINT client) {
    const POINT p = OnScreen(client);
    int code = -1;
    larktest::RunCommand({"env", "DISPLAY=" + server_.Display(), larktest::RequireProgram("xdotool"), "mousemove",
                          std::to_string(p.x), std::to_string(p.y)},
                         &code);
    EXPECT_EQ(code, 0);
  }

  larktest::XvfbServer server_;
  larktest::TempDir dir_;
};

TEST_F(HtmlOnDisplay, TheChannelPageIsShownAndTheLinkUnderThePointerReported) {
  const std::string picture = std::string(LARK_TEST_BINARY_DIR) + "/html_x11_picture.bmp";
  const std::string command = "convert-im6.q16 rose: -type TrueColor 'BMP3:" + picture + "' 2>/dev/null";
  ASSERT_EQ(std::system(command.c_str()), 0) << "ImageMagick (convert-im6.q16) is needed";
  const std::string feed = "http://feeds.example.org/larkspool.xml";
  Load(ChannelPage("Larkspool Radio", "Weekly talk about larks, their songs and where they nest.", feed, picture));
  ASSERT_TRUE(html->AddCSS(u"a {color: #808080}"));
  html->Invalidate();
  ASSERT_TRUE(larktest::PumpUntilIdle());

  // The picture as the screen shows it: the rose's many colours inside its box.
  mshtml::Element* image = Find(u"IMG");
  ASSERT_NE(image, nullptr);
  const std::vector<RECT> boxes = Lay()->GetClientRects(image);
  ASSERT_EQ(boxes.size(), 1u);
  const std::string png = std::string(LARK_TEST_BINARY_DIR) + "/channel_page_x11.png";
  const ScreenPart shown = Capture(png);
  RECT frame;
  GetWindowRect(form->GetHandle(), &frame);
  ASSERT_EQ(shown.width, frame.right - frame.left);
  std::set<uint32_t> colours;
  for (int y = boxes[0].top + 4; y < boxes[0].bottom - 4; y += 3) {
    for (int x = boxes[0].left + 4; x < boxes[0].right - 4; x += 3) {
      const POINT s = OnScreen(POINT{x, y});
      colours.insert(shown.At(s.x - frame.left, s.y - frame.top));
    }
  }
  EXPECT_GT(colours.size(), 20u) << "the picture itself, not a frame: see " << png;
  // The title's text is drawn dark on the page's white.
  mshtml::Element* title = Find(u"B");
  ASSERT_NE(title, nullptr);
  const RECT t = Lay()->GetClientRects(title)[0];
  int dark = 0;
  for (int y = t.top; y < t.bottom; ++y) {
    for (int x = t.left; x < t.right; ++x) {
      const POINT s = OnScreen(POINT{x, y});
      const uint32_t c = shown.At(s.x - frame.left, s.y - frame.top);
      if (((c >> 16) & 0xFF) < 96 && ((c >> 8) & 0xFF) < 96 && (c & 0xFF) < 96) ++dark;
    }
  }
  EXPECT_GT(dark, 30) << "the title's letters";

  // The pointer over the link, then off it onto the title.
  mshtml::Element* link = Find(u"A");
  ASSERT_NE(link, nullptr);
  hrefs.clear();
  PointAt(Middle(link));
  ASSERT_TRUE(larktest::PumpUntil([&] { return U(lastHref) == feed; })) << "last: " << U(lastHref);
  PointAt(Middle(title));
  ASSERT_TRUE(larktest::PumpUntil([&] { return lastHref.empty(); })) << "last: " << U(lastHref);
  EXPECT_GE(hrefs.size(), 2u);
}

}  // namespace
}  // namespace htmltest
