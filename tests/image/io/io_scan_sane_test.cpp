// Scanning SANE's test device through the data source manager: the image Acquire
// delivers equals what scanimage reads from the same device with the same options,
// pixel for pixel. SANE_CONFIG_DIR points at a folder of the test's own whose
// dll.conf lists only the test backend, so no other scanner is looked for.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "image/io/iemio.h"
#include "image/io/imscan.h"
#include "image/views/iemview.h"
#include "platform/sim/Dialogs.h"
#include "platform/vcl/Forms.h"
#include "tests/support/Scanners.h"

namespace {

// A PNM image as scanimage writes it: P4, P5 or P6, maxval 255.
struct Pnm {
  char kind = 0;
  int width = 0, height = 0;
  std::vector<uint8_t> data;
};

bool ParsePnm(const std::string& text, Pnm& pnm) {
  std::istringstream in(text);
  std::string magic;
  in >> magic;
  if (magic.size() != 2 || magic[0] != 'P') return false;
  pnm.kind = magic[1];
  auto number = [&in]() {
    int v = -1;
    while (in >> std::ws && in.peek() == '#') {
      std::string line;
      std::getline(in, line);
    }
    in >> v;
    return v;
  };
  pnm.width = number();
  pnm.height = number();
  if (pnm.kind != '4' && number() != 255) return false;
  in.get();
  pnm.data.assign(std::istreambuf_iterator<char>(in), {});
  return pnm.width > 0 && pnm.height > 0;
}

// The store as PNM pixels of the same kind: packed bits (1 = black), grey bytes or
// red-green-blue bytes.
std::vector<uint8_t> AsPnm(TIEBitmap& b, char kind) {
  std::vector<uint8_t> out;
  for (Integer y = 0; y < b.GetHeight(); ++y) {
    if (kind == '4') {
      std::vector<uint8_t> row(static_cast<size_t>((b.GetWidth() + 7) / 8), 0);
      for (Integer x = 0; x < b.GetWidth(); ++x)
        if (!b.GetPixels_ie1g(x, y)) row[static_cast<size_t>(x / 8)] |= static_cast<uint8_t>(0x80 >> (x % 8));
      out.insert(out.end(), row.begin(), row.end());
      continue;
    }
    for (Integer x = 0; x < b.GetWidth(); ++x) {
      const TRGB c = b.GetPixels_ie24RGB(x, y);
      if (kind == '5') {
        out.push_back(c.r);
      } else {
        out.insert(out.end(), {c.r, c.g, c.b});
      }
    }
  }
  return out;
}

class SaneScanTest : public ::testing::Test {
 protected:
  void SetUp() override {
    scanimage = larktest::RequireProgram("scanimage");
    ASSERT_FALSE(scanimage.empty()) << "scanimage (sane-utils) is needed";
    // SANE reads where its configuration is once per process: one folder serves
    // every test of the program.
    const std::string conf = std::string(LARK_TEST_BINARY_DIR) + "/sane-config";
    ::mkdir(conf.c_str(), 0700);
    std::ofstream(conf + "/dll.conf") << "test\n";
    setenv("SANE_CONFIG_DIR", conf.c_str(), 1);
    sim::UseSaneSources(true);
    io.GetIEBitmap()->Allocate(5, 5, ie24RGB);
    TIETWainParams& tw = *io.GetTWainParams();
    ASSERT_GE(tw.GetSourceCount(), 1) << "the test backend lists its devices";
    ASSERT_TRUE(tw.SelectSourceByName("test:0"));
    tw.VisibleDialog = true;
  }
  void TearDown() override { unsetenv("SANE_CONFIG_DIR"); }

  // Scans with the source's dialog answered by settings, and reads the same device
  // with scanimage and the same options.
  void Compare(const std::string& settings, const std::vector<std::string>& options) {
    SCOPED_TRACE(settings);
    sim::QueueDialogAnswer("test:0", mrOk, settings);
    ASSERT_TRUE(io.Acquire());
    std::vector<std::string> argv = {scanimage, "-d", "test:0", "--format=pnm"};
    argv.insert(argv.end(), options.begin(), options.end());
    int code = -1;
    const std::string out = larktest::RunCommand(argv, &code);
    ASSERT_EQ(code, 0);
    Pnm pnm;
    ASSERT_TRUE(ParsePnm(out, pnm));
    TIEBitmap& b = *io.GetIEBitmap();
    ASSERT_EQ(b.GetWidth(), pnm.width);
    ASSERT_EQ(b.GetHeight(), pnm.height);
    EXPECT_EQ(b.GetPixelFormat(), pnm.kind == '4' ? ie1g : ie24RGB);
    if (pnm.kind == '4' && pnm.width % 8 != 0) {
      // The bits past the width in each row's last byte are whatever the device left.
      const size_t row = static_cast<size_t>((pnm.width + 7) / 8);
      const auto keep = static_cast<uint8_t>(0xFF << (8 - pnm.width % 8));
      for (size_t at = row - 1; at < pnm.data.size(); at += row) pnm.data[at] &= keep;
    }
    EXPECT_TRUE(AsPnm(b, pnm.kind) == pnm.data) << "pixels differ";
  }

  larktest::ScannerWorld world;
  std::string scanimage;
  TDadirAvIO io{nullptr};
};

TEST_F(SaneScanTest, ImagesEqualScanimagesForModesResolutionsAndAreas) {
  struct Case {
    std::string settings;
    std::vector<std::string> options;
  };
  // Areas in whole millimetres (the device's step), given to the dialog in inches.
  const auto area = [](int l, int t, int r, int b) {
    char text[128];
    std::snprintf(text, sizeof text, "area=%.9f,%.9f,%.9f,%.9f", l / 25.4, t / 25.4, r / 25.4, b / 25.4);
    return std::string(text);
  };
  const auto mm = [](int l, int t, int r, int b) {
    return std::vector<std::string>{"-l", std::to_string(l), "-t", std::to_string(t), "-x", std::to_string(r - l),
                                    "-y", std::to_string(b - t)};
  };
  struct Shape {
    const char* mode;
    const char* sane;
    const char* depth;
    int dpi;
    int l, t, r, b;
    const char* picture;
  };
  const Shape shapes[] = {
      {"Color", "Color", "8", 50, 0, 0, 51, 38, "Color pattern"}, {"Gray", "Gray", "8", 75, 13, 6, 64, 31, "Grid"},
      {"Lineart", "Gray", "1", 100, 0, 0, 38, 25, "Grid"},       {"Gray", "Gray", "8", 150, 0, 0, 25, 25, "Color pattern"},
      {"Color", "Color", "8", 33, 25, 25, 76, 63, "Grid"},        {"Lineart", "Gray", "1", 72, 3, 7, 45, 30, "Color pattern"},
  };
  std::vector<Case> cases;
  for (const Shape& s : shapes) {
    Case c;
    c.settings = std::string("mode=") + s.mode + ";resolution=" + std::to_string(s.dpi) + ";" + area(s.l, s.t, s.r, s.b) +
                 ";test-picture=" + s.picture;
    c.options = {"--mode", s.sane, "--depth", s.depth, "--resolution", std::to_string(s.dpi), "--test-picture", s.picture};
    const auto geometry = mm(s.l, s.t, s.r, s.b);
    c.options.insert(c.options.end(), geometry.begin(), geometry.end());
    cases.push_back(c);
  }
  for (bool memory : {true, false}) {
    io.GetTWainParams()->SetBufferedTransfer(memory);
    for (const Case& c : cases) Compare(c.settings, c.options);
  }
}

// Reads cut short by the device are gathered into whole strips.
TEST_F(SaneScanTest, ShortReadsAreGathered) {
  Compare("mode=Color;resolution=40;area=0,0,2,2;test-picture=Color pattern;read-limit=yes;read-limit-size=7",
          {"--mode", "Color", "--depth", "8", "--resolution", "40", "-l", "0", "-t", "0", "-x", "50.8", "-y", "50.8",
           "--test-picture", "Color pattern"});
}

// A hand-scanner does not know the page's length before it ends.
TEST_F(SaneScanTest, HandScannerPageOfUnknownLength) {
  Compare("mode=Gray;resolution=50;test-picture=Grid;hand-scanner=yes",
          {"--mode", "Gray", "--depth", "8", "--resolution", "50", "--test-picture", "Grid", "--hand-scanner=yes"});
}

TEST_F(SaneScanTest, DeviceErrorEndsTheTransfer) {
  for (bool memory : {true, false}) {
    io.GetTWainParams()->SetBufferedTransfer(memory);
    sim::QueueDialogAnswer("test:0", mrOk, "mode=Gray;resolution=50;read-return-value=SANE_STATUS_IO_ERROR");
    EXPECT_FALSE(io.Acquire()) << memory;
    EXPECT_EQ(io.GetIEBitmap()->GetWidth(), 5) << "the store is left as it was";
    // The device is still usable.
    sim::QueueDialogAnswer("test:0", mrOk, "read-return-value=Default");
    EXPECT_TRUE(io.Acquire()) << memory;
    io.GetIEBitmap()->Allocate(5, 5, ie24RGB);
  }
}

// The feeder's pages go one by one to the multi-page callback until it is empty.
TEST_F(SaneScanTest, FeederPagesUntilItRunsOut) {
  TIETWainParams& tw = *io.GetTWainParams();
  // The source's values are read first (a first read replaces the wishes).
  tw.FillCapabilities();
  tw.SetFeederEnabled(true);
  std::vector<std::pair<Integer, Integer>> pages;
  sim::QueueDialogAnswer("test:0", mrOk, "mode=Gray;resolution=25;area=0,0,1,1");
  const bool ok = IETW_Acquire(
      nullptr, true,
      [&](TIEBitmap* bitmap, TIOParamsVals*&) { pages.emplace_back(bitmap->GetWidth(), bitmap->GetHeight()); }, &tw,
      nullptr, nullptr, tw.GetShared(), 0);
  EXPECT_TRUE(ok);
  ASSERT_EQ(pages.size(), 10u) << "the test device's feeder holds ten sheets";
  for (const auto& p : pages) EXPECT_EQ(p, pages.front());
  EXPECT_GT(pages.front().first, 0);
}

// A thumbnail grid's component scans the whole feeder: one image per sheet, each
// equal to what scanimage reads with the same options.
TEST_F(SaneScanTest, FeederSheetsBecomeGridImages) {
  TForm form(nullptr);
  form.SetBounds(10, 10, 300, 300);
  auto* grid = new TDadirAvMView(&form);
  grid->SetParent(&form);
  grid->SetBounds(0, 0, 260, 260);
  TDadirAvMIO* mio = grid->GetDadirAvMIO();
  TIETWainParams& tw = *mio->GetTWainParams();
  ASSERT_TRUE(tw.SelectSourceByName("test:0"));
  tw.FillCapabilities();
  tw.SetFeederEnabled(true);
  tw.VisibleDialog = true;
  // The device keeps its options between tests of the program: the hand-scanner mode
  // of another test is switched off.
  sim::QueueDialogAnswer("test:0", mrOk, "mode=Gray;resolution=50;area=0,0,1,1;test-picture=Grid;hand-scanner=no");
  ASSERT_TRUE(mio->Acquire());
  EXPECT_FALSE(mio->GetAborting());
  ASSERT_EQ(grid->GetImageCount(), 10) << "the test device's feeder holds ten sheets";
  ASSERT_EQ(mio->GetParamsCount(), 10);

  int code = -1;
  const std::string out = larktest::RunCommand({scanimage, "-d", "test:0", "--format=pnm", "--mode", "Gray", "--depth",
                                                "8", "--resolution", "50", "-l", "0", "-t", "0", "-x", "25.4", "-y",
                                                "25.4", "--test-picture", "Grid"},
                                               &code);
  ASSERT_EQ(code, 0);
  Pnm pnm;
  ASSERT_TRUE(ParsePnm(out, pnm));
  for (Integer i = 0; i < 10; ++i) {
    SCOPED_TRACE(i);
    TIEBitmap b;
    ASSERT_TRUE(grid->CopyToIEBitmap(i, &b));
    ASSERT_EQ(b.GetWidth(), pnm.width);
    ASSERT_EQ(b.GetHeight(), pnm.height);
    EXPECT_TRUE(AsPnm(b, pnm.kind) == pnm.data) << "pixels differ";
    EXPECT_EQ(mio->GetParams(i)->Width, pnm.width);
    EXPECT_EQ(mio->GetParams(i)->DpiX, 50);
  }
}

}  // namespace
