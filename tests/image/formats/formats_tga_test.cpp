// The TGA codec: gdk-pixbuf's reference matrix (every depth, colour map, RLE and
// origin) and files of netpbm and Pillow read to the peers' pixels, our files read
// by the peers, the TGA 2.0 extension area, and damaged files.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "image/formats/ietgafil.h"
#include "platform/rtl/DateTime.h"
#include "platform/rtl/Streams.h"
#include "tests/image/codec_test_util.h"
#include "tests/image/file_test_util.h"
#include "tests/support/Peers.h"

namespace {

namespace fs = std::filesystem;
using namespace codec_test;

const char kRefDir[] = "/usr/libexec/installed-tests/gdk-pixbuf/test-images/reftests/tga";
const char kFailDir[] = "/usr/libexec/installed-tests/gdk-pixbuf/test-images/fail";

struct Read {
  bool aborted = false;
  std::unique_ptr<TIOParamsVals> params = std::make_unique<TIOParamsVals>(nullptr);
  TIEBitmap bitmap;
  std::unique_ptr<TIEMask> mask;
};

std::unique_ptr<Read> ReadTga(const Bytes& bytes, bool ignoreAlpha = false, bool preview = false) {
  auto r = std::make_unique<Read>();
  TMemoryStream s;
  Fill(s, bytes);
  TProgressRec progress;
  progress.Aborting = &r->aborted;
  ReadTGAStream(&s, &r->bitmap, *r->params, progress, preview, r->mask, ignoreAlpha);
  return r;
}
std::unique_ptr<Read> ReadTgaFile(const std::string& path) {
  const std::string f = file_test::ReadFile(path);
  return ReadTga(Bytes(f.begin(), f.end()));
}

Bytes WriteTga(TIEBitmap& image, TIOParamsVals& params, TIEMask* mask = nullptr) {
  TMemoryStream out;
  bool aborted = false;
  TProgressRec progress;
  progress.Aborting = &aborted;
  WriteTGAStream(&out, &image, params, progress, mask);
  EXPECT_FALSE(aborted);
  return Contents(out);
}

std::string Sh(const std::string& command) {
  int rc = 0;
  const std::string out = larktest::RunCommand({"/bin/sh", "-c", command}, &rc);
  EXPECT_EQ(rc, 0) << command;
  return out;
}

TEST(TgaCodec, ReferenceMatrixReadsToTheReferencePixels) {
  ASSERT_TRUE(fs::is_directory(kRefDir)) << "gdk-pixbuf-tests is not installed; run scripts/install-deps";
  int cases = 0;
  for (const auto& entry : fs::directory_iterator(kRefDir)) {
    const std::string path = entry.path().string();
    if (entry.path().extension() != ".tga") continue;
    SCOPED_TRACE(path);
    ++cases;
    auto r = ReadTgaFile(path);
    ASSERT_FALSE(r->aborted);
    const Rgba ref = PillowDecode(path + ".ref.png");
    ASSERT_TRUE(ref.ok());
    // Five-bit channels become value x 8, where the reference repeats the high
    // bits below (up to 7 more).
    const bool fiveBits = path.find("-16bpp") != std::string::npos && path.find("gray") == std::string::npos;
    EXPECT_TRUE(SameRgba(OurPixels(r->bitmap, r->mask.get()), ref, true, fiveBits ? 7 : 0));
  }
  EXPECT_GE(cases, 40);
}

TEST(TgaCodec, NetpbmAndPillowFilesReadToTheirPixels) {
  if (larktest::RequireProgram("pamtotga").empty()) return;
  larktest::TempDir dir;
  std::string ppm = "P6\n21 9\n255\n";
  for (int y = 0; y < 9; ++y)
    for (int x = 0; x < 21; ++x) {
      const int k = (x / 4 + y / 3) % 5;  // flat areas, so runs occur
      ppm += {char(k * 50), char(255 - k * 40), char((x * y) % 3 * 100)};
    }
  file_test::WriteFile(dir.Path() + "src.ppm", ppm);
  const std::string py = "/usr/bin/python3 -c \"from PIL import Image; im = Image.open('src.ppm'); ";
  const std::pair<const char*, std::string> cases[] = {
      {"rgb-rle", "pamtotga -rgb src.ppm > rgb-rle.tga"},
      {"rgb-raw", "pamtotga -rgb -norle src.ppm > rgb-raw.tga"},
      {"cmap-rle", "pamtotga -cmap src.ppm > cmap-rle.tga"},
      {"cmap-raw", "pamtotga -cmap -norle src.ppm > cmap-raw.tga"},
      {"cmap16", "pamtotga -cmap16 src.ppm > cmap16.tga"},
      {"grey", "ppmtopgm src.ppm | pamtotga > grey.tga"},
      {"mono", "ppmtopgm src.ppm | pgmtopbm -threshold | pamtotga -mono > mono.tga"},
      {"pillow-rgba", py + "im.putalpha(im.convert('L')); im.save('pillow-rgba.tga', compression='tga_rle')\""},
      {"pillow-rgba-raw", py + "im.putalpha(im.convert('L')); im.save('pillow-rgba-raw.tga')\""},
      {"pillow-bottom-up", py + "im.save('pillow-bottom-up.tga', orientation=-1)\""},
      {"pillow-p", py + "im.quantize(8).save('pillow-p.tga', compression='tga_rle')\""},
  };
  for (const auto& [name, command] : cases) {
    SCOPED_TRACE(name);
    Sh("cd " + dir.Path() + " && " + command);
    const std::string path = dir.Path() + name + ".tga";
    auto r = ReadTgaFile(path);
    ASSERT_FALSE(r->aborted);
    if (std::string(name) == "cmap16") {  // 16-bit map entries: Pillow reads none, netpbm does
      Sh("tgatoppm " + path + " > " + path + ".ppm");
      EXPECT_TRUE(SameRgba(OurPixels(r->bitmap), PillowDecode(path + ".ppm"), false, 7));
      continue;
    }
    EXPECT_TRUE(SameRgba(OurPixels(r->bitmap, r->mask.get()), PillowDecode(path), true));
  }
}

TEST(TgaCodec, OurFilesReadInPeersWithTheSamePixels) {
  larktest::TempDir dir;
  TIEBitmap photo, flat;
  Pattern(photo, 33, 12);
  Pattern(flat, 33, 12, 16);
  TIEMask alpha;
  alpha.AllocateBits(33, 12, 8);
  for (int y = 0; y < 12; ++y)
    for (int x = 0; x < 33; ++x) alpha.SetPixel(x, y, (x * 8 + y * 5) & 0xFF ? (x * 8 + y * 5) & 0xFF : 1);
  struct Case { const char* name; TIEBitmap* source; int bits; int samples; bool compressed; bool grey; TIEMask* mask; int type; };
  const Case cases[] = {
      {"rgb-rle", &photo, 8, 3, true, false, nullptr, 10},
      {"rgb-raw", &photo, 8, 3, false, false, nullptr, 2},
      {"rgba", &photo, 8, 3, true, false, &alpha, 2},
      {"cmap256-rle", &flat, 8, 1, true, false, nullptr, 9},
      {"cmap16", &flat, 4, 1, false, false, nullptr, 1},  // written with 8-bit indexes
      {"grey-rle", &photo, 8, 1, true, true, nullptr, 11},
      {"mono", &flat, 1, 1, true, false, nullptr, 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TIEBitmap source;
    source.Assign(c.source);
    if (c.bits == 1) source.SetPixelFormat(ie1g);
    TIOParamsVals params(nullptr);
    params.BitsPerSample = c.bits;
    params.SamplesPerPixel = c.samples;
    params.TGA_Compressed = c.compressed;
    params.TGA_GrayLevel = c.grey;
    const Bytes bytes = WriteTga(source, params, c.mask);
    EXPECT_EQ(bytes[2], c.type);
    EXPECT_EQ(bytes[16], c.bits == 1 ? 1 : (c.mask != nullptr ? 32 : (c.samples == 1 ? 8 : 24)));
    const std::string path = dir.Path() + c.name + ".tga";
    file_test::WriteFile(path, std::string(bytes.begin(), bytes.end()));
    auto back = ReadTga(bytes);
    ASSERT_FALSE(back->aborted);
    const Rgba ours = OurPixels(back->bitmap, back->mask.get());
    EXPECT_TRUE(SameRgba(ours, PillowDecode(path), true)) << "Pillow";
    if (c.mask == nullptr && c.bits != 1) {  // netpbm reads no 1-bit TGA
      Sh("tgatoppm " + path + " > " + path + ".ppm");
      EXPECT_TRUE(SameRgba(ours, PillowDecode(path + ".ppm"), false)) << "netpbm";
    }
    if (c.samples == 3) {
      EXPECT_TRUE(SameRgba(ours, OurPixels(source, c.mask), true)) << "written exactly";
    }
  }
}

TEST(TgaCodec, DefaultWriteLayout) {
  TIEBitmap image;
  Pattern(image, 4, 3);
  TIOParamsVals params(nullptr);
  params.TGA_Author = "Someone";
  params.TGA_ImageName = "Job";
  params.TGA_Date = EncodeDate(2024, 2, 29) + EncodeTime(13, 45, 7, 0);
  params.TGA_Background = TRGB{30, 20, 10};
  const Bytes b = WriteTga(image, params);
  EXPECT_EQ(b[0], 1);     // an ID of one NUL
  EXPECT_EQ(b[2], 10);    // true colour, RLE
  EXPECT_EQ(b[17], 0x20); // top down
  EXPECT_EQ(b[18], 0);
  ASSERT_GT(b.size(), 26u + 495u);
  const size_t footer = b.size() - 26;
  EXPECT_EQ(std::string(b.begin() + static_cast<long>(footer) + 8, b.end()), std::string("TRUEVISION-XFILE.\0", 18));
  const size_t ext = b[footer] | (b[footer + 1] << 8) | (b[footer + 2] << 16);
  ASSERT_EQ(ext, footer - 495);
  auto le16 = [&](size_t at) { return b[ext + at] | (b[ext + at + 1] << 8); };
  EXPECT_EQ(le16(0), 495);
  EXPECT_EQ(le16(474), 10000);
  EXPECT_EQ(le16(476), 10000);
  EXPECT_EQ(le16(478), 22000);
  EXPECT_EQ(le16(480), 10000);
  EXPECT_EQ((Bytes{b[ext + 470], b[ext + 471], b[ext + 472], b[ext + 473]}), (Bytes{0, 10, 20, 30}));

  auto r = ReadTga(b);
  ASSERT_FALSE(r->aborted);
  EXPECT_EQ(r->params->TGA_Author, "Someone");
  EXPECT_EQ(r->params->TGA_ImageName, "Job");
  EXPECT_DOUBLE_EQ(r->params->TGA_Date, params.TGA_Date);
  EXPECT_EQ(r->params->TGA_Background, (TRGB{30, 20, 10}));
  EXPECT_DOUBLE_EQ(r->params->TGA_Gamma, 2.2);
  EXPECT_DOUBLE_EQ(r->params->TGA_AspectRatio, 1.0);
  EXPECT_TRUE(r->params->TGA_Compressed);
}

// An uncompressed true-colour file without footer: 18-byte header and pixels.
Bytes Tga10(int width, int height, int depth, int desc, const Bytes& pixels, int type = 2) {
  Bytes f(18, 0);
  f[2] = static_cast<Byte>(type);
  f[12] = static_cast<Byte>(width);
  f[14] = static_cast<Byte>(height);
  f[16] = static_cast<Byte>(depth);
  f[17] = static_cast<Byte>(desc);
  f.insert(f.end(), pixels.begin(), pixels.end());
  return f;
}

TEST(TgaCodec, OriginAlphaAndVersionOneFiles) {
  // 2 x 2, 32 bits, bottom-left origin with 8 alpha bits: the first row in the file
  // is the bottom one.
  const Bytes px = {1, 2, 3, 10, 4, 5, 6, 20, 7, 8, 9, 30, 11, 12, 13, 40};
  auto r = ReadTga(Tga10(2, 2, 32, 0x08, px));
  ASSERT_FALSE(r->aborted);
  EXPECT_EQ(r->bitmap.GetPixels_ie24RGB(0, 1), (TRGB{1, 2, 3}));
  EXPECT_EQ(r->bitmap.GetPixels_ie24RGB(0, 0), (TRGB{7, 8, 9}));
  ASSERT_TRUE(r->mask);
  EXPECT_EQ(r->mask->GetPixel(0, 1), 10);
  EXPECT_EQ(r->mask->GetPixel(1, 0), 40);
  EXPECT_EQ(r->params->SamplesPerPixel, 4);
  // Right-to-left and bottom-up: mirrored.
  r = ReadTga(Tga10(2, 2, 32, 0x18, px));
  ASSERT_FALSE(r->aborted);
  EXPECT_EQ(r->bitmap.GetPixels_ie24RGB(1, 1), (TRGB{1, 2, 3}));
  EXPECT_EQ(r->mask->GetPixel(1, 1), 10);
  // A version 1 file: no author, today's date.
  EXPECT_EQ(r->params->TGA_Author, "");
  EXPECT_DOUBLE_EQ(r->params->TGA_Date, Date());
  // A run-length twin gives the same pixels and mask.
  const Bytes rle = {0x81, 1, 2, 3, 10, 0x01, 7, 8, 9, 30, 11, 12, 13, 40};
  auto twin = ReadTga(Tga10(2, 2, 32, 0x08, rle, 10));
  ASSERT_FALSE(twin->aborted);
  auto plain = ReadTga(Tga10(2, 2, 32, 0x08, {1, 2, 3, 10, 1, 2, 3, 10, 7, 8, 9, 30, 11, 12, 13, 40}));
  EXPECT_EQ(OurPixels(twin->bitmap, twin->mask.get()).pixels, OurPixels(plain->bitmap, plain->mask.get()).pixels);
}

TEST(TgaCodec, Detector) {
  auto tryTga = [](const Bytes& b) {
    TMemoryStream s;
    Fill(s, b);
    const bool ok = TryTGA(&s);
    EXPECT_EQ(s.GetPosition(), 0);
    return ok;
  };
  EXPECT_TRUE(tryTga(Tga10(1, 1, 24, 0, {1, 2, 3})));
  EXPECT_FALSE(tryTga(Tga10(1, 1, 24, 0, {1, 2, 3}, 4)));
  EXPECT_FALSE(tryTga(Tga10(1, 1, 15, 0, {1, 2})));
  EXPECT_FALSE(tryTga(Bytes(10, 2)));
}

TEST(TgaCodec, BadInputEndsInTheAbortFlagAndStaysInBounds) {
  ASSERT_TRUE(fs::is_directory(kFailDir)) << "gdk-pixbuf-tests is not installed; run scripts/install-deps";
  for (const char* name : {"DoS.tga", "overflow.tga", "empty-file.tga", "androstanRezeptor.tga"}) {
    SCOPED_TRACE(name);
    EXPECT_TRUE(ReadTgaFile(std::string(kFailDir) + "/" + name)->aborted);
  }
  // An image without pixels, pixels cut short, a huge size from a few bytes.
  EXPECT_TRUE(ReadTga(Tga10(0, 1, 24, 0, {}))->aborted);
  EXPECT_TRUE(ReadTga(Tga10(2, 2, 24, 0, {1, 2, 3}))->aborted);
  EXPECT_TRUE(ReadTga(Tga10(255, 255, 24, 0, {0x81, 1, 2, 3}, 10))->aborted);
  // A colour map that starts at 250 with 20 entries: the entries past 255 are
  // skipped, the pixels read.
  Bytes f = Tga10(1, 1, 8, 0x20, {}, 1);
  f[1] = 1;
  f[3] = 250;
  f[5] = 20;
  f[7] = 24;
  for (int i = 0; i < 20; ++i) f.insert(f.end(), {Byte(i), Byte(i), Byte(i)});
  f.push_back(255);
  auto r = ReadTga(f);
  ASSERT_FALSE(r->aborted);
  EXPECT_EQ(r->bitmap.GetPixels_ie24RGB(0, 0), (TRGB{5, 5, 5}));
  // A run that runs past the last row is cut.
  r = ReadTga(Tga10(2, 1, 24, 0x20, {0xFF, 9, 8, 7}, 10));
  ASSERT_FALSE(r->aborted);
  EXPECT_EQ(r->bitmap.GetPixels_ie24RGB(1, 0), (TRGB{9, 8, 7}));
  // A descriptor too long for the ID length byte is cut to 254 characters.
  TIEBitmap image;
  Pattern(image, 2, 2);
  TIOParamsVals params(nullptr);
  params.TGA_Descriptor = std::string(400, 'd');
  const Bytes b = WriteTga(image, params);
  EXPECT_EQ(b[0], 255);
  r = ReadTga(b);
  ASSERT_FALSE(r->aborted);
  EXPECT_EQ(r->params->TGA_Descriptor, std::string(254, 'd'));
  EXPECT_EQ(OurPixels(r->bitmap).pixels, OurPixels(image).pixels);
}

}  // namespace
