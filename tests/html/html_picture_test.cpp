// The channel page as a person sees it: the feed's picture (a BMP written by
// ImageMagick, as the application keeps it) drawn from its local file beside the
// title, the description and the feed's address, written to PNG for a person to look at
// (a copy is kept in tests/data/html/channel_page.png).
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>
#include <set>
#include <string>

#include "platform/rtl/Files.h"
#include "platform/sim/Screen.h"
#include "tests/html/HtmlControlFixture.h"
#include "tests/html/PageShapes.h"

namespace htmltest {
namespace {

class HtmlPicture : public HtmlControlTest {
 protected:
  void SetUp() override {
    ASSERT_TRUE(sim::UseFreeTypeFonts(true)) << "FreeType and the DejaVu faces are needed";
    HtmlControlTest::SetUp();
  }
  // A picture written by ImageMagick (its built-in rose, 70 x 46).
  std::string MakePicture(const std::string& name) {
    const std::string path = std::string(LARK_TEST_BINARY_DIR) + "/" + name;
    const std::string command = "convert-im6.q16 rose: -type TrueColor 'BMP3:" + path + "' 2>/dev/null";
    if (std::system(command.c_str()) != 0 || !FileExists(path)) return {};
    return path;
  }
  // The colour a person sees at a client point of the document window.
  COLORREF Seen(POINT p) {
    POINT screen = p;
    ClientToScreen(html->GetWindowHandle(), &screen);
    RECT window;
    GetWindowRect(form->GetHandle(), &window);
    return sim::FramePixel(form->GetHandle(), screen.x - window.left, screen.y - window.top);
  }
};

TEST_F(HtmlPicture, TheChannelPageDrawsTheFeedsPictureFromItsFile) {
  const std::string picture = MakePicture("html_feed_picture.bmp");
  ASSERT_FALSE(picture.empty()) << "ImageMagick (convert-im6.q16) is needed";
  Load(ChannelPage("Larkspool Radio", "Weekly talk about larks, their songs and where they nest.",
                   "http://feeds.example.org/larkspool.xml", picture));
  ASSERT_TRUE(html->AddCSS(u"a {color: #808080}"));
  html->Invalidate();
  ASSERT_TRUE(larktest::PumpUntilIdle());

  mshtml::Element* image = Find(u"IMG");
  ASSERT_NE(image, nullptr);
  const std::vector<RECT> boxes = Lay()->GetClientRects(image);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].right - boxes[0].left, 70) << "the picture's own width";
  EXPECT_EQ(boxes[0].bottom - boxes[0].top, 46);

  // The picture itself, not a placeholder frame: many colours inside its box.
  std::set<COLORREF> colours;
  for (int y = boxes[0].top + 4; y < boxes[0].bottom - 4; y += 3)
    for (int x = boxes[0].left + 4; x < boxes[0].right - 4; x += 3) colours.insert(Seen(POINT{x, y}));
  EXPECT_GT(colours.size(), 20u);

  // The link under the mouse.
  mshtml::Element* link = Find(u"A");
  ASSERT_NE(link, nullptr);
  MoveTo(Middle(link));
  EXPECT_EQ(U(lastHref), "http://feeds.example.org/larkspool.xml");

  const std::string shown = std::string(LARK_TEST_BINARY_DIR) + "/channel_page.png";
  ASSERT_TRUE(sim::SaveWindowPng(form->GetHandle(), shown));
}

TEST_F(HtmlPicture, AControlMadeWhereAnotherStoodDrawsPicturesToo) {
  const std::string picture = MakePicture("html_same_place.bmp");
  ASSERT_FALSE(picture.empty());
  // Two controls, one after the other, in the same memory.
  alignas(TProfDHTMLEdit) unsigned char place[sizeof(TProfDHTMLEdit)];
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round);
    bool created = false;
    auto* control = new (place) TProfDHTMLEdit(nullptr);
    control->OnCreate = [&](TObject*) { created = true; };
    control->SetParent(form.get());
    control->SetBounds(8, 8, 300, 200);
    ASSERT_TRUE(larktest::PumpUntil([&] { return created; }));
    control->SetSource(W("<p><img src=\"" + picture + "\"></p>"));
    ASSERT_TRUE(larktest::PumpUntilIdle());
    THtmlDocument document = control->ReadDOM();
    mshtml::Element* image = document->GetDocument()->GetElementsByTagName(u"IMG").at(0);
    const std::vector<RECT> boxes = document->GetLayout()->GetClientRects(image);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].right - boxes[0].left, 70) << "the picture, not a placeholder";
    document = nullptr;
    control->~TProfDHTMLEdit();
    ASSERT_TRUE(larktest::PumpUntilIdle());
  }
}

TEST_F(HtmlPicture, AMissingOrUnreadablePictureLeavesThePageShown) {
  const std::string broken = std::string(LARK_TEST_BINARY_DIR) + "/html_broken.bmp";
  {
    FILE* f = std::fopen(broken.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fputs("BM not a picture", f);
    std::fclose(f);
  }
  for (const std::string& src : {broken, std::string("/nonexistent/feed.bmp"), std::string("http://x.example/a.png")}) {
    Load(ChannelPage("Lark", "Birds", "http://f.example/x.xml", src));
    EXPECT_NE(U(html->GetBody()).find("Birds"), std::string::npos) << src;
    EXPECT_EQ(LoadPagePicture(W(src)), HBITMAP{0}) << src;
  }
}

TEST_F(HtmlPicture, FileAddressesNameLocalPictures) {
  const std::string picture = MakePicture("html_file_address.bmp");
  ASSERT_FALSE(picture.empty());
  for (const std::string& src : {picture, "file://" + picture, "file://localhost" + picture}) {
    HBITMAP bitmap = LoadPagePicture(W(src));
    EXPECT_NE(bitmap, HBITMAP{0}) << src;
    if (bitmap) DeleteObject(bitmap);
  }
}

}  // namespace
}  // namespace htmltest
