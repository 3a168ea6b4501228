// The PCX codec: every plane layout ppmtopcx and Pillow write read to the source's
// pixels, our files read by netpbm, Pillow and ImageMagick, the run-length coder,
// and damaged files.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "image/formats/pcxfilter.h"
#include "platform/rtl/Streams.h"
#include "tests/image/codec_test_util.h"
#include "tests/image/file_test_util.h"
#include "tests/support/Peers.h"

namespace {

using namespace codec_test;

struct Read {
  bool aborted = false;
  std::unique_ptr<TIOParamsVals> params = std::make_unique<TIOParamsVals>(nullptr);
  TIEBitmap bitmap;
};

std::unique_ptr<Read> ReadPcxBytes(const Bytes& bytes, Int64 blockLen = -1) {
  auto r = std::make_unique<Read>();
  TMemoryStream s;
  Fill(s, bytes);
  TProgressRec progress;
  progress.Aborting = &r->aborted;
  ReadPcxStream(&s, &r->bitmap, *r->params, blockLen < 0 ? Int64(bytes.size()) : blockLen, progress, false);
  return r;
}
std::unique_ptr<Read> ReadPcxFile(const std::string& path) {
  const std::string f = file_test::ReadFile(path);
  return ReadPcxBytes(Bytes(f.begin(), f.end()));
}

Bytes WritePcxBytes(TIEBitmap& image, TIOParamsVals& params, bool* abortedOut = nullptr) {
  TMemoryStream out;
  bool aborted = false;
  TProgressRec progress;
  progress.Aborting = &aborted;
  WritePcxStream(&out, &image, params, progress);
  if (abortedOut != nullptr) *abortedOut = aborted;
  EXPECT_FALSE(aborted);
  return Contents(out);
}

std::string Sh(const std::string& command) {
  int rc = 0;
  const std::string out = larktest::RunCommand({"/bin/sh", "-c", command}, &rc);
  EXPECT_EQ(rc, 0) << command;
  return out;
}

// Writes the image as a binary PPM.
void SavePpm(TIEBitmap& b, const std::string& path) {
  std::string f = "P6\n" + std::to_string(b.GetWidth()) + " " + std::to_string(b.GetHeight()) + "\n255\n";
  for (Integer y = 0; y < b.GetHeight(); ++y)
    for (Integer x = 0; x < b.GetWidth(); ++x) {
      const TRGB c = b.GetPixels_ie24RGB(x, y);
      f += {char(c.r), char(c.g), char(c.b)};
    }
  file_test::WriteFile(path, f);
}

TEST(PcxCodec, PeerFilesInEveryLayoutReadToTheSourcePixels) {
  if (larktest::RequireProgram("ppmtopcx").empty()) return;
  larktest::TempDir dir;
  TIEBitmap two, four, sixteen, many;
  Pattern(two, 29, 7, 2);
  Pattern(four, 29, 7, 4);
  Pattern(sixteen, 33, 9, 16);
  Pattern(many, 31, 11);
  SavePpm(two, dir.Path() + "two.ppm");
  SavePpm(four, dir.Path() + "four.ppm");
  SavePpm(sixteen, dir.Path() + "sixteen.ppm");
  SavePpm(many, dir.Path() + "many.ppm");
  struct Case { const char* name; const char* command; const char* source; };
  const Case cases[] = {
      {"planes1", "ppmtopcx two.ppm", "two"},
      {"planes2", "ppmtopcx four.ppm", "four"},
      {"planes4", "ppmtopcx sixteen.ppm", "sixteen"},
      {"planes3", "ppmtopcx -planes=3 four.ppm", "four"},
      {"packed2", "ppmtopcx -packed four.ppm", "four"},
      {"packed4", "ppmtopcx -packed sixteen.ppm", "sixteen"},
      {"eight", "ppmtopcx -8bit sixteen.ppm", "sixteen"},
      {"truecolour", "ppmtopcx many.ppm", "many"},
      {"pillow-rgb", "/usr/bin/python3 -c \"from PIL import Image; Image.open('many.ppm').save('pillow-rgb.pcx')\"", "many"},
      {"pillow-p", "/usr/bin/python3 -c \"from PIL import Image; Image.open('sixteen.ppm').quantize(16).save('pillow-p.pcx')\"", nullptr},
      {"im-rgb", "convert-im6.q16 many.ppm im-rgb.pcx", "many"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = dir.Path() + c.name + ".pcx";
    const std::string cmd = std::string(c.command);
    if (cmd.find(".pcx") == std::string::npos) Sh("cd " + dir.Path() + " && " + cmd + " > " + path);
    else Sh("cd " + dir.Path() + " && " + cmd);
    auto r = ReadPcxFile(path);
    ASSERT_FALSE(r->aborted);
    // Pillow's own palette file is checked against Pillow's reading of it.
    const std::string reference = c.source != nullptr ? dir.Path() + c.source + ".ppm" : path;
    EXPECT_TRUE(SameRgba(OurPixels(r->bitmap), PillowDecode(reference), false));
  }
  // Two 1-bit planes are four colours: BitsPerSample 2 in one sample; four planes 4.
  auto r = ReadPcxFile(dir.Path() + "planes4.pcx");
  EXPECT_EQ(r->params->BitsPerSample, 4);
  EXPECT_EQ(r->params->SamplesPerPixel, 1);
  EXPECT_EQ(r->params->ColorMapCount, 16);
}

TEST(PcxCodec, OurFilesReadInPeersWithTheSamePixels) {
  if (larktest::RequireProgram("pcxtoppm").empty()) return;
  larktest::TempDir dir;
  TIEBitmap image;
  Pattern(image, 35, 10, 16);
  TIEBitmap photo;
  Pattern(photo, 35, 10);
  // Peers: netpbm and Pillow read run-length files only; ImageMagick reads 1-bit
  // files with the bits inverted whatever the palette, and no 4-bit files.
  enum Peer { Netpbm = 1, Pillow = 2, Magick = 4 };
  struct Case { int bits; int samples; bool rle; TIEBitmap* source; const char* name; int peers; };
  const Case cases[] = {
      {1, 1, true, &image, "bw-rle", Netpbm | Pillow}, {1, 1, false, &image, "bw-raw", 0},
      {4, 1, true, &image, "16-rle", Netpbm},          {4, 1, false, &image, "16-raw", 0},
      {8, 1, true, &image, "256-rle", Netpbm | Pillow | Magick}, {8, 1, false, &image, "256-raw", Magick},
      {8, 3, true, &photo, "rgb-rle", Netpbm | Pillow | Magick}, {8, 3, false, &photo, "rgb-raw", Magick},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TIEBitmap source;
    source.Assign(c.source);
    if (c.bits == 1) source.SetPixelFormat(ie1g);
    TIOParamsVals params(nullptr);
    params.BitsPerSample = c.bits;
    params.SamplesPerPixel = c.samples;
    params.PCX_Compression = c.rle ? ioPCX_RLE : ioPCX_UNCOMPRESSED;
    const Bytes bytes = WritePcxBytes(source, params);
    const std::string path = dir.Path() + c.name + ".pcx";
    file_test::WriteFile(path, std::string(bytes.begin(), bytes.end()));
    const Rgba expected = OurPixels(source);
    if (c.peers & Netpbm) {
      Sh("pcxtoppm " + path + " > " + path + ".ppm");
      EXPECT_TRUE(SameRgba(expected, PillowDecode(path + ".ppm"), false)) << "netpbm";
    }
    if (c.peers & Pillow) {
      EXPECT_TRUE(SameRgba(expected, PillowDecode(path), false)) << "Pillow";
    }
    if (c.peers & Magick) {
      Sh("convert-im6.q16 " + path + " " + path + ".im.ppm");
      EXPECT_TRUE(SameRgba(expected, PillowDecode(path + ".im.ppm"), false)) << "ImageMagick";
    }
    auto back = ReadPcxBytes(bytes);
    ASSERT_FALSE(back->aborted);
    EXPECT_TRUE(SameRgba(expected, OurPixels(back->bitmap), false)) << "ours";
  }
}

TEST(PcxCodec, BilevelHeaderPaletteIsBlackAndWhite) {
  TIEBitmap image;
  image.Allocate(16, 2, ie1g);
  TIOParamsVals params(nullptr);
  params.BitsPerSample = 1;
  params.SamplesPerPixel = 1;
  const Bytes b = WritePcxBytes(image, params);
  EXPECT_EQ(Bytes(b.begin() + 16, b.begin() + 22), (Bytes{0, 0, 0, 255, 255, 255}));
}

TEST(PcxCodec, HeaderGeometry) {
  TIEBitmap image;
  Pattern(image, 640, 480, 16);
  struct Case { int bits; int samples; int bytesPerLine; int planes; };
  for (const Case& c : {Case{8, 1, 640, 1}, Case{1, 1, 80, 1}, Case{4, 1, 320, 1}, Case{8, 3, 640, 3}}) {
    TIOParamsVals params(nullptr);
    params.BitsPerSample = c.bits;
    params.SamplesPerPixel = c.samples;
    params.DpiX = 300;
    params.DpiY = 150;
    const Bytes b = WritePcxBytes(image, params);
    EXPECT_EQ(b[0], 10);
    EXPECT_EQ(b[8] | (b[9] << 8), 639);
    EXPECT_EQ(b[10] | (b[11] << 8), 479);
    EXPECT_EQ(b[12] | (b[13] << 8), 300);
    EXPECT_EQ(b[14] | (b[15] << 8), 150);
    EXPECT_EQ(b[65], c.planes);
    EXPECT_EQ(b[66] | (b[67] << 8), c.bytesPerLine);
  }
  // An odd width rounds the bytes per line up to even.
  Pattern(image, 7, 1);
  TIOParamsVals params(nullptr);
  const Bytes b = WritePcxBytes(image, params);
  EXPECT_EQ(b[66] | (b[67] << 8), 8);
}

TEST(PcxCodec, RunLengthCoder) {
  Byte out[300];
  const Bytes hundred(100, 7);
  Integer n = PcxEncodeLine(hundred.data(), 100, 1, out);
  EXPECT_EQ(Bytes(out, out + n), (Bytes{0xFF, 7, 0xE5, 7}));
  const Byte high = 0xC5;
  n = PcxEncodeLine(&high, 1, 1, out);
  EXPECT_EQ(Bytes(out, out + n), (Bytes{0xC1, 0xC5, 0}));  // odd: a 0 is appended
  const Byte mixed[] = {1, 9, 2, 9, 2, 9};  // every other byte, from the start
  n = PcxEncodeLine(mixed, 3, 2, out);
  EXPECT_EQ(Bytes(out, out + n), (Bytes{1, 0xC2, 2, 0}));
}

// A header for width x height with the given layout; data appended by the caller.
Bytes PcxHeader(int width, int height, int bits, int planes, int bytesPerLine, bool rle, int dpiX = 72,
                int dpiY = 72) {
  Bytes h(128, 0);
  h[0] = 10;
  h[1] = 5;
  h[2] = rle ? 1 : 0;
  h[3] = static_cast<Byte>(bits);
  h[8] = static_cast<Byte>(width - 1);
  h[9] = static_cast<Byte>((width - 1) >> 8);
  h[10] = static_cast<Byte>(height - 1);
  h[11] = static_cast<Byte>((height - 1) >> 8);
  h[12] = static_cast<Byte>(dpiX);
  h[13] = static_cast<Byte>(dpiX >> 8);
  h[14] = static_cast<Byte>(dpiY);
  h[15] = static_cast<Byte>(dpiY >> 8);
  for (int i = 0; i < 16; ++i) h[16 + 3 * i] = h[17 + 3 * i] = h[18 + 3 * i] = static_cast<Byte>(i * 17);
  h[65] = static_cast<Byte>(planes);
  h[66] = static_cast<Byte>(bytesPerLine);
  h[67] = static_cast<Byte>(bytesPerLine >> 8);
  return h;
}

TEST(PcxCodec, RunsCrossScanLinesAndMissingResolutionIsTheScreens) {
  // 1 bit, 16 pixels, two lines of 2 bytes: one run of 4 bytes 0xF0 covers both.
  Bytes f = PcxHeader(16, 2, 1, 1, 2, true, 0, 300);
  f[19] = f[20] = f[21] = 255;  // palette black, white
  f.insert(f.end(), {0xC4, 0xF0});
  auto r = ReadPcxBytes(f);
  ASSERT_FALSE(r->aborted);
  EXPECT_EQ(r->params->DpiX, 96);
  EXPECT_EQ(r->params->DpiY, 96);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 16; ++x) EXPECT_EQ(r->bitmap.GetPixels_ie1g(x, y), (x % 8) < 4) << x << "," << y;
}

TEST(PcxCodec, BadInputEndsInTheAbortFlag) {
  Bytes good = PcxHeader(4, 2, 8, 3, 4, false);
  good.resize(128 + 24, 9);
  EXPECT_FALSE(ReadPcxBytes(good)->aborted);

  struct Case { const char* what; Bytes file; Int64 blockLen; };
  std::vector<Case> cases;
  cases.push_back({"no header", Bytes(60, 10), -1});
  Bytes f = good; f[0] = 11; cases.push_back({"manufacturer", f, -1});
  f = good; f[2] = 2; cases.push_back({"encoding", f, -1});
  f = good; f[3] = 16; cases.push_back({"bits", f, -1});
  f = good; f[8] = 0; f[4] = 5; cases.push_back({"xmax below xmin", f, -1});
  f = good; f[66] = 2; cases.push_back({"scan line shorter than the width", f, -1});
  f = good; f[65] = 2; cases.push_back({"two planes of 8 bits", f, -1});
  f = good; f.resize(128 + 20); cases.push_back({"data cut short", f, -1});
  cases.push_back({"block of 128 bytes", good, 128});
  f = PcxHeader(4, 2, 8, 1, 4, false); f.resize(128 + 8 + 700); cases.push_back({"no room for the palette", f, -1});
  f = PcxHeader(60000, 60000, 8, 3, 60000, true); f.resize(400, 0xFF); cases.push_back({"huge image, few bytes", f, -1});
  f = PcxHeader(8, 4, 1, 1, 2, true); f.insert(f.end(), {0xC5, 0}); cases.push_back({"runs end early", f, -1});
  for (const Case& c : cases) EXPECT_TRUE(ReadPcxBytes(c.file, c.blockLen)->aborted) << c.what;
}

}  // namespace
