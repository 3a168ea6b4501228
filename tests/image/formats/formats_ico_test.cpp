// Icon and cursor readers: files made by icotool, ImageMagick and Pillow from
// known PNGs read to those pixels and that transparency, gdk-pixbuf's reference
// icons, the directory rules, and damaged directories.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "image/formats/bmpfilt.h"
#include "platform/rtl/Streams.h"
#include "tests/image/codec_test_util.h"
#include "tests/image/file_test_util.h"
#include "tests/support/Peers.h"

namespace {

namespace fs = std::filesystem;
using namespace codec_test;

const char kImages[] = "/usr/libexec/installed-tests/gdk-pixbuf/test-images";

struct Read {
  bool aborted = false;
  std::unique_ptr<TIOParamsVals> params = std::make_unique<TIOParamsVals>(nullptr);
  TIEBitmap bitmap;
  std::unique_ptr<TIEMask> mask;
};

std::unique_ptr<Read> ReadIcon(const Bytes& bytes, bool cursor, Integer index = 0, bool preview = false,
                               bool ignoreAlpha = false, TRGB background = TRGB{255, 255, 255}) {
  auto r = std::make_unique<Read>();
  TMemoryStream s;
  Fill(s, bytes);
  TProgressRec progress;
  progress.Aborting = &r->aborted;
  r->params->ICO_ImageIndex = index;
  r->params->CUR_ImageIndex = index;
  r->params->ICO_Background = background;
  r->params->CUR_Background = background;
  if (cursor) CURReadStream(&s, &r->bitmap, *r->params, preview, progress, r->mask, ignoreAlpha);
  else ICOReadStream(&s, &r->bitmap, *r->params, preview, progress, r->mask, ignoreAlpha);
  return r;
}
Bytes Load(const std::string& path) {
  const std::string f = file_test::ReadFile(path);
  return Bytes(f.begin(), f.end());
}

std::string Sh(const std::string& command) {
  int rc = 0;
  const std::string out = larktest::RunCommand({"/bin/sh", "-c", command}, &rc);
  EXPECT_EQ(rc, 0) << command;
  return out;
}

// The source with its alpha cut at the threshold: 0 or 255 (and transparent
// pixels painted with the background), as icons without alpha store it.
Rgba Thresholded(Rgba source, TRGB background = TRGB{255, 255, 255}) {
  for (size_t i = 0; i < source.pixels.size(); i += 4) {
    if (source.pixels[i + 3] > 127) {
      source.pixels[i + 3] = 255;
    } else {
      source.pixels[i] = background.r;
      source.pixels[i + 1] = background.g;
      source.pixels[i + 2] = background.b;
      source.pixels[i + 3] = 0;
    }
  }
  return source;
}

class IconFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    if (larktest::RequireProgram("icotool").empty()) GTEST_SKIP();
    int rc = 0;
    larktest::RunCommand({kPython, std::string(LARK_TEST_DATA) + "/codecs/make_icon_sources.py", dir_.Path()}, &rc);
    ASSERT_EQ(rc, 0);
  }
  std::string Path(const std::string& name) const { return dir_.Path() + name; }
  Rgba Source(const std::string& png) const { return PillowDecode(Path(png)); }
  std::string Make(const std::string& name, const std::string& command) {
    Sh("cd " + dir_.Path() + " && " + command);
    return Path(name);
  }

  larktest::TempDir dir_;
};

TEST_F(IconFiles, EveryDepthReadsToTheSourceAndItsMask) {
  struct Case { const char* source; int bits; bool bilevel; };
  for (const Case& c : {Case{"s16_c2.png", 1, true}, Case{"s32_c16.png", 4, false}, Case{"s32_c16.png", 8, false},
                        Case{"s48_c200.png", 24, false}}) {
    SCOPED_TRACE(std::string(c.source) + " " + std::to_string(c.bits));
    const std::string ico = Make("t.ico", "icotool -c -b " + std::to_string(c.bits) + " -o t.ico " + c.source);
    auto r = ReadIcon(Load(ico), false);
    ASSERT_FALSE(r->aborted);
    EXPECT_EQ(r->params->BitsPerSample, c.bits <= 8 ? c.bits : 8);
    EXPECT_EQ(r->params->SamplesPerPixel, c.bits <= 8 ? 1 : 3);
    EXPECT_EQ(r->bitmap.GetPixelFormat(), c.bilevel ? ie1g : ie24RGB);
    EXPECT_EQ(r->params->ColorMapCount, c.bits <= 8 ? 1 << c.bits : 0);
    ASSERT_TRUE(r->mask);
    EXPECT_TRUE(SameRgba(OurPixels(r->bitmap, r->mask.get()), Thresholded(Source(c.source)), true));
    // Transparent pixels take the background colour.
    auto blue = ReadIcon(Load(ico), false, 0, false, false, TRGB{255, 0, 0});
    if (!c.bilevel) {
      EXPECT_EQ(blue->bitmap.GetPixels_ie24RGB(0, 0), (TRGB{255, 0, 0}));
    }
  }
}

TEST_F(IconFiles, AlphaAndPngEntriesKeepTheirAlpha) {
  const std::pair<std::string, std::string> cases[] = {
      {"icotool 32 bits", Make("a.ico", "icotool -c -b 32 -o a.ico alpha32.png")},
      {"icotool PNG", Make("p.ico", "icotool -c -r alpha32.png -o p.ico")},
      {"ImageMagick", Make("m.ico", "convert-im6.q16 alpha32.png m.ico")},
      {"Pillow", Make("q.ico", "/usr/bin/python3 -c \"from PIL import Image; Image.open('alpha32.png').save('q.ico', sizes=[(32, 32)])\"")},
  };
  const Rgba source = Source("alpha32.png");
  for (const auto& [name, ico] : cases) {
    SCOPED_TRACE(name);
    auto r = ReadIcon(Load(ico), false);
    ASSERT_FALSE(r->aborted);
    ASSERT_TRUE(r->mask);
    EXPECT_TRUE(SameRgba(OurPixels(r->bitmap, r->mask.get()), source, true));
  }
  // With the alpha ignored, pixels are blended onto the background.
  auto r = ReadIcon(Load(Path("a.ico")), false, 0, false, true, TRGB{0, 0, 0});
  ASSERT_FALSE(r->aborted);
  EXPECT_FALSE(r->mask);
  const TRGB c = r->bitmap.GetPixels_ie24RGB(20, 3);  // red 160, alpha 163
  EXPECT_EQ(c.r, 160 * 163 / 255);
}

TEST_F(IconFiles, ImageIndexChoosesTheEntryAndOutsideItFails) {
  const Bytes ico = Load(Make("two.ico", "icotool -c -b 4 -o two.ico s16_c16.png s32_c16.png"));
  auto first = ReadIcon(ico, false, 0);
  auto second = ReadIcon(ico, false, 1);
  ASSERT_FALSE(first->aborted);
  ASSERT_FALSE(second->aborted);
  EXPECT_EQ(first->params->Width, 16);
  EXPECT_EQ(second->params->Width, 32);
  EXPECT_EQ(second->bitmap.GetHeight(), 32);
  for (Integer index : {2, -1, 1000}) {
    auto r = ReadIcon(ico, false, index);
    EXPECT_TRUE(r->aborted) << index;
    EXPECT_EQ(r->bitmap.GetWidth(), 0);
  }
}

TEST_F(IconFiles, CursorGivesItsHotSpotEvenInPreview) {
  const Bytes cur = Load(Make("c.cur", "icotool -c --cursor -X 3 -Y 5 -b 8 -o c.cur s16_c16.png"));
  auto r = ReadIcon(cur, true, 0, true);
  ASSERT_FALSE(r->aborted);
  EXPECT_EQ(r->params->CUR_XHotSpot, 3);
  EXPECT_EQ(r->params->CUR_YHotSpot, 5);
  EXPECT_EQ(r->bitmap.GetWidth(), 0);
  r = ReadIcon(cur, true);
  ASSERT_FALSE(r->aborted);
  EXPECT_TRUE(SameRgba(OurPixels(r->bitmap, r->mask.get()), Thresholded(Source("s16_c16.png")), true));
  // The detectors tell the two apart.
  TMemoryStream s;
  Fill(s, cur);
  EXPECT_TRUE(CURTryStream(&s));
  EXPECT_FALSE(ICOTryStream(&s));
  EXPECT_EQ(s.GetPosition(), 0);
}

TEST(IconReader, GdkPixbufReferenceIcons) {
  for (const char* name : {"squares.ico", "bug785447.ico"}) {
    SCOPED_TRACE(name);
    const std::string path = std::string(kImages) + "/reftests/" + name;
    ASSERT_TRUE(fs::exists(path)) << "gdk-pixbuf-tests is not installed; run scripts/install-deps";
    // gdk-pixbuf shows the largest entry; find it.
    const Bytes ico = Load(path);
    const Rgba ref = PillowDecode(path + ".ref.png");
    bool found = false;
    for (Integer i = 0; i < (ico[4] | (ico[5] << 8)) && !found; ++i) {
      auto r = ReadIcon(ico, false, i);
      ASSERT_FALSE(r->aborted);
      if (r->params->Width != ref.width || r->params->Height != ref.height) continue;
      found = true;
      EXPECT_TRUE(SameRgba(OurPixels(r->bitmap, r->mask.get()), ref, true));
    }
    EXPECT_TRUE(found);
  }
}

// A one-entry icon of w x h, bits per pixel, with the given palette, colour rows
// (bottom up, padded) and AND rows.
Bytes HandIcon(int w, int h, int bits, const std::vector<TRGB>& palette, const Bytes& colour, const Bytes& andRows,
               int type = 1, int entryWidth = -1, int colourCount = 0) {
  Bytes f = {0, 0, Byte(type), 0, 1, 0};
  Bytes e(16, 0);
  e[0] = static_cast<Byte>(entryWidth >= 0 ? entryWidth : w);
  e[1] = static_cast<Byte>(h);
  e[2] = static_cast<Byte>(colourCount);
  const uint32_t size = 40 + 4 * palette.size() + colour.size() + andRows.size();
  for (int i = 0; i < 4; ++i) e[8 + i] = static_cast<Byte>(size >> (8 * i));
  e[12] = 22;
  f.insert(f.end(), e.begin(), e.end());
  Bytes ih(40, 0);
  ih[0] = 40;
  ih[4] = static_cast<Byte>(w);
  ih[8] = static_cast<Byte>(2 * h);
  ih[12] = 1;
  ih[14] = static_cast<Byte>(bits);
  f.insert(f.end(), ih.begin(), ih.end());
  for (const TRGB& c : palette) f.insert(f.end(), {c.b, c.g, c.r, 0});
  f.insert(f.end(), colour.begin(), colour.end());
  f.insert(f.end(), andRows.begin(), andRows.end());
  return f;
}

TEST(IconReader, MaskAndBackgroundRules) {
  const TRGB black{0, 0, 0}, white{255, 255, 255}, red{0, 0, 255};
  // 1 bit, 8 x 1: pixel 0 transparent (colour 0), pixel 1 inverting (colour 1).
  const Bytes one = HandIcon(8, 1, 1, {black, white}, {0x40, 0, 0, 0}, {0xC0, 0, 0, 0});
  auto r = ReadIcon(one, false);
  ASSERT_FALSE(r->aborted);
  EXPECT_EQ(r->bitmap.GetPixelFormat(), ie1g);
  EXPECT_TRUE(r->bitmap.GetPixels_ie1g(0, 0));   // transparent: white
  EXPECT_FALSE(r->bitmap.GetPixels_ie1g(1, 0));  // inverting: black
  EXPECT_EQ(r->mask->GetPixel(0, 0), 0);
  EXPECT_EQ(r->mask->GetPixel(1, 0), 0);
  EXPECT_EQ(r->mask->GetPixel(2, 0), 255);
  r = ReadIcon(one, false, 0, false, false, red);  // any other background: the reverse
  EXPECT_FALSE(r->bitmap.GetPixels_ie1g(0, 0));
  EXPECT_TRUE(r->bitmap.GetPixels_ie1g(1, 0));

  // 4 bits, 2 x 1: AND on the second pixel only.
  const Bytes four = HandIcon(2, 1, 4, std::vector<TRGB>(16, TRGB{1, 2, 3}), {0x12, 0, 0, 0}, {0x40, 0, 0, 0});
  r = ReadIcon(four, false, 0, false, false, red);
  ASSERT_FALSE(r->aborted);
  EXPECT_EQ(r->bitmap.GetPixels_ie24RGB(0, 0), (TRGB{1, 2, 3}));
  EXPECT_EQ(r->bitmap.GetPixels_ie24RGB(1, 0), red);
  EXPECT_EQ(r->mask->GetPixel(0, 0), 255);
  EXPECT_EQ(r->mask->GetPixel(1, 0), 0);

  // Entry width 0 (a 256-pixel entry) takes the size from the info header.
  const Bytes zero = HandIcon(8, 1, 1, {black, white}, {0, 0, 0, 0}, {0, 0, 0, 0}, 1, 0);
  r = ReadIcon(zero, false);
  ASSERT_FALSE(r->aborted);
  EXPECT_EQ(r->params->Width, 8);

  // A cursor whose entry lists 2 colours for an 8-bit image: indexes past them
  // read black.
  Bytes cur = HandIcon(4, 1, 8, {white, red}, {0, 1, 200, 255}, {0, 0, 0, 0}, 2, -1, 2);
  r = ReadIcon(cur, true);
  ASSERT_FALSE(r->aborted);
  EXPECT_EQ(r->params->ColorMapCount, 2);
  EXPECT_EQ(r->bitmap.GetPixels_ie24RGB(1, 0), red);
  EXPECT_EQ(r->bitmap.GetPixels_ie24RGB(2, 0), black);
  EXPECT_EQ(r->bitmap.GetPixels_ie24RGB(3, 0), black);
}

TEST(IconReader, IconStreamHoldingABitmapReadsAsABitmap) {
  Bytes bmp(54, 0);
  bmp[0] = 'B'; bmp[1] = 'M';
  bmp[10] = 54; bmp[14] = 40; bmp[18] = 1; bmp[22] = 1; bmp[26] = 1; bmp[28] = 24;
  bmp.insert(bmp.end(), {10, 20, 30, 0});
  bmp[2] = static_cast<Byte>(bmp.size());
  auto r = ReadIcon(bmp, false);
  ASSERT_FALSE(r->aborted);
  EXPECT_EQ(r->bitmap.GetPixels_ie24RGB(0, 0), (TRGB{10, 20, 30}));
}

TEST(IconReader, DamagedFilesEndInTheAbortFlag) {
  ASSERT_TRUE(fs::is_directory(kImages)) << "gdk-pixbuf-tests is not installed; run scripts/install-deps";
  for (const char* name : {"fail/bug778204.ico", "fail/bug779012.ico", "fail/invalid.1.ico", "fail/invalid.3.ico"}) {
    SCOPED_TRACE(name);
    EXPECT_TRUE(ReadIcon(Load(std::string(kImages) + "/" + name), false)->aborted);
  }
  for (const char* name : {"randomly-modified/bad-header.ico", "randomly-modified/crash.ico",
                           "randomly-modified/bug776040.ico", "randomly-modified/invalid.2.ico"}) {
    SCOPED_TRACE(name);
    auto r = ReadIcon(Load(std::string(kImages) + "/" + name), false);  // loads or aborts, in bounds
    if (!r->aborted) {
      EXPECT_EQ(r->bitmap.GetWidth(), r->params->Width);
    }
  }
  const TRGB black{0, 0, 0}, white{255, 255, 255};
  const Bytes good = HandIcon(8, 2, 1, {black, white}, Bytes(8, 0), Bytes(8, 0));
  ASSERT_FALSE(ReadIcon(good, false)->aborted);
  Bytes f = good;
  f.resize(f.size() - 6);
  EXPECT_TRUE(ReadIcon(f, false)->aborted) << "AND rows cut short";
  f = good;
  f[18] = 0xF0; f[21] = 0x7F;  // data offset far past the end
  EXPECT_TRUE(ReadIcon(f, false)->aborted);
  f = good;
  f[22 + 14] = 0;  // no bit count in header, entry or colour count
  EXPECT_TRUE(ReadIcon(f, false)->aborted);
  f = HandIcon(0, 2, 1, {black, white}, Bytes(8, 0), Bytes(8, 0));
  f[22 + 4] = 0xFF; f[22 + 5] = 0xFF; f[22 + 6] = 0xFF;  // huge width in the header
  f[22 + 8] = 0xFE; f[22 + 9] = 0xFF; f[22 + 10] = 0xFF;
  EXPECT_TRUE(ReadIcon(f, false)->aborted);
  // Detection: too short, bad reserved byte, overlapping offset.
  TMemoryStream s;
  Fill(s, Bytes{0, 0, 1, 0, 1, 0});
  EXPECT_FALSE(ICOTryStream(&s));
  f = good;
  f[6 + 3] = 1;
  Fill(s, f);
  EXPECT_FALSE(ICOTryStream(&s));
  f = good;
  f[18] = 10;
  Fill(s, f);
  EXPECT_FALSE(ICOTryStream(&s));
  Fill(s, good);
  EXPECT_TRUE(ICOTryStream(&s));
}

}  // namespace
