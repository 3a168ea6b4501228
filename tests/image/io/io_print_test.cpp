// Printing the working store: the device rectangle of every size mode and position
// read on the spooled page as ImageMagick's trim box, the page preview's geometry,
// and the inputs that leave nothing to draw.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "image/io/dadiravio.h"
#include "platform/printer/Printer.h"
#include "platform/printer/SimHooks.h"
#include "tests/support/Peers.h"

namespace fs = std::filesystem;
using larktest::RequireProgram;
using larktest::RunCommand;

namespace {

class PrintTest : public ::testing::Test {
 protected:
  void SetUp() override {
    sim::SetSpoolFolder(dir_.Path() + "spool");
    // A solid image: its trim box on a white page is exactly where it was drawn.
    io_.GetIEBitmap()->Allocate(300, 150, ie24RGB);
    for (Integer y = 0; y < 150; ++y)
      for (Integer x = 0; x < 300; ++x) io_.GetIEBitmap()->SetPixels_ie24RGB(x, y, TRGB{40, 20, 200});
    io_.GetParams()->DpiX = io_.GetParams()->DpiY = 100;
  }
  void Dpi(Integer dpi) {
    larkprint::PrinterSettings st;
    st.dpiX = st.dpiY = dpi;
    ASSERT_TRUE(larkprint::ApplySettings(st));
  }
  // The trim box ("WxH+X+Y") of every page of the last job.
  std::vector<std::string> TrimBoxes(size_t pages) {
    std::vector<std::string> argv{RequireProgram("identify-im6.q16"), "-format", "%@\\n"};
    for (size_t i = 1; i <= pages; ++i) {
      char name[32];
      std::snprintf(name, sizeof name, "page%03zu.png", i);
      argv.push_back((fs::path(larkprint::LastJobFolder()) / name).string());
    }
    std::istringstream out(RunCommand(argv));
    std::vector<std::string> boxes;
    for (std::string line; std::getline(out, line);) boxes.push_back(line);
    return boxes;
  }

  larktest::TempDir dir_;
  TDadirAvIO io_{nullptr};
};

std::string Box(double x, double y, double w, double h, int dpi) {
  auto t = [dpi](double v) { return static_cast<long>(v * dpi); };
  return std::to_string(t(w)) + "x" + std::to_string(t(h)) + "+" + std::to_string(t(x)) + "+" + std::to_string(t(y));
}

// Letter page, margins of 1 inch: the area is 6.5 x 9 inches. The image is 300 x 150
// pixels at 100 DPI (3 x 1.5 inches at its own size); at 150 DPI on the device it
// is 2 x 1 inches, so fitting scales it by 3.25 to 6.5 x 3.25.
TEST_F(PrintTest, EverySizeModeAtTheNinePositions) {
  Dpi(150);
  struct Mode {
    TIESize size;
    double w, h;
  } modes[] = {{iesNORMAL, 3, 1.5}, {iesFITTOPAGE, 6.5, 3.25}, {iesFITTOPAGESTRETCH, 6.5, 9}, {iesSPECIFIEDSIZE, 6, 4}};
  std::vector<std::string> expected;
  Printer()->BeginDoc();
  Printer()->SetTitle("layout");
  bool first = true;
  for (const Mode& m : modes)
    for (TIEVerticalPos v : {ievpTOP, ievpCENTER, ievpBOTTOM})
      for (TIEHorizontalPos hp : {iehpLEFT, iehpCENTER, iehpRIGHT}) {
        if (!first) Printer()->NewPage();
        first = false;
        io_.PrintImage(nullptr, 1, 1, 1, 1, v, hp, m.size, 6, 4, 1);
        const double x = hp == iehpLEFT ? 1 : hp == iehpCENTER ? 1 + (6.5 - m.w) / 2 : 1 + 6.5 - m.w;
        const double y = v == ievpTOP ? 1 : v == ievpCENTER ? 1 + (9 - m.h) / 2 : 1 + 9 - m.h;
        expected.push_back(Box(x, y, m.w, m.h, 150));
      }
  Printer()->EndDoc();
  EXPECT_EQ(TrimBoxes(expected.size()), expected);
  // For a person to look at: the image fitted and centred (page 14).
  fs::copy_file(fs::path(larkprint::LastJobFolder()) / "page014.png",
                std::string(LARK_TEST_BINARY_DIR) + "/print_page_fit_centre.png", fs::copy_options::overwrite_existing);
}

TEST_F(PrintTest, ImageAtItsOwnResolutionOnA600DpiPage) {
  // 300 x 200 pixels at 100 DPI, centred at the top: 3 x 2 inches at (2.75, 1).
  io_.GetIEBitmap()->Allocate(300, 200, ie24RGB);
  for (Integer y = 0; y < 200; ++y)
    for (Integer x = 0; x < 300; ++x) io_.GetIEBitmap()->SetPixels_ie24RGB(x, y, TRGB{0, 0, 0});
  Dpi(600);
  Printer()->BeginDoc();
  io_.PrintImage(nullptr, 1, 1, 1, 1, ievpTOP, iehpCENTER, iesNORMAL, 0, 0, 1);
  Printer()->EndDoc();
  EXPECT_EQ(TrimBoxes(1), std::vector<std::string>{"1800x1200+1650+600"});
}

TEST_F(PrintTest, NothingDrawnWhenThereIsNothingToScale) {
  Dpi(150);
  TIEBitmap empty;
  TDadirAvIO emptyIO(nullptr);
  Printer()->BeginDoc();
  // An empty image in every mode, a zero resolution, a zero-size page.
  for (TIESize s : {iesNORMAL, iesFITTOPAGE, iesFITTOPAGESTRETCH, iesSPECIFIEDSIZE})
    emptyIO.PrintImage(nullptr, 1, 1, 1, 1, ievpCENTER, iehpCENTER, s, 6, 4, 1);
  io_.PrintImageEx(Printer()->GetCanvas(), 0, 0, 8.5, 11, 1, 1, 1, 1, ievpTOP, iehpLEFT, iesFITTOPAGE, 1, 1, 1);
  io_.PrintImageEx(Printer()->GetCanvas(), 150, 150, 0, 0, 0, 0, 0, 0, ievpTOP, iehpLEFT, iesFITTOPAGE, 1, 1, 1);
  io_.PrintImagePosEx(Printer()->GetCanvas(), 150, 150, 1, 1, 0, 2, 1);
  Printer()->EndDoc();
  // A white page has no trim box of its own: ImageMagick answers the whole page.
  const std::string page = (fs::path(larkprint::LastJobFolder()) / "page001.png").string();
  EXPECT_EQ(RunCommand({RequireProgram("identify-im6.q16"), "-format", "%k", page}), "1");
}

TEST_F(PrintTest, GammaAtOrBelowZeroPrintsUncorrected) {
  Dpi(150);
  Printer()->BeginDoc();
  io_.PrintImagePos(Printer()->GetCanvas(), 1, 1, 1, 1, 1);
  Printer()->NewPage();
  io_.PrintImagePos(Printer()->GetCanvas(), 1, 1, 1, 1, 0);
  Printer()->NewPage();
  io_.PrintImagePos(Printer()->GetCanvas(), 1, 1, 1, 1, -2);
  Printer()->EndDoc();
  const fs::path job = larkprint::LastJobFolder();
  const std::string identify = RequireProgram("identify-im6.q16");
  const std::string reference = RunCommand({identify, "-format", "%#", (job / "page001.png").string()});
  EXPECT_EQ(RunCommand({identify, "-format", "%#", (job / "page002.png").string()}), reference);
  EXPECT_EQ(RunCommand({identify, "-format", "%#", (job / "page003.png").string()}), reference);
}

TEST_F(PrintTest, PreviewGeometryAndItsLimits) {
  Dpi(600);  // a 5100 x 6600 page
  TBitmap preview;
  io_.PreviewPrintImage(&preview, 400, 400, nullptr, 1, 1, 1, 1, ievpCENTER, iehpCENTER, iesFITTOPAGE, 0, 0, 1);
  // The height limits: 395 / 66 % of the page, the preview ends 5 pixels short.
  EXPECT_EQ(preview.GetWidth(), 305);
  EXPECT_GE(preview.GetHeight(), 394);
  EXPECT_LE(preview.GetHeight(), 395);
  EXPECT_EQ(preview.GetPixelFormat(), pf24bit);
  // The margin frame is drawn inverted on white (black), an inch (about 35 pixels)
  // inside the edge; the corners outside it stay white.
  EXPECT_EQ(ColorToRGB(preview.GetCanvas()->GetPixel(0, 0)), 0xFFFFFF);
  int black = 0;
  for (Integer x = 35; x < 270; ++x) black += ColorToRGB(preview.GetCanvas()->GetPixel(x, 35)) == 0;
  EXPECT_GT(black, 60);
  // The image fitted across the area between the margins.
  EXPECT_EQ(ColorToRGB(preview.GetCanvas()->GetPixel(152, 150)), 0x2814C8);

  // A preview area of 5 pixels or less is left as it was.
  TBitmap tiny;
  tiny.SetSize(7, 7);
  for (Integer side : {0, 5, -3}) {
    io_.PreviewPrintImage(&tiny, side, 400, nullptr, 1, 1, 1, 1, ievpCENTER, iehpCENTER, iesFITTOPAGE, 0, 0, 1);
    io_.PreviewPrintImage(&tiny, 400, side, nullptr, 1, 1, 1, 1, ievpCENTER, iehpCENTER, iesFITTOPAGE, 0, 0, 1);
  }
  EXPECT_EQ(tiny.GetWidth(), 7);
  // 6 pixels: a 1-pixel page with no scale to lay out at; white, nothing else.
  io_.PreviewPrintImage(&tiny, 6, 6, nullptr, 1, 1, 1, 1, ievpCENTER, iehpCENTER, iesFITTOPAGE, 0, 0, 1);
  EXPECT_LE(tiny.GetWidth(), 1);
}

}  // namespace
