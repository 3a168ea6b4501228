// The PNG codec: Pillow's and ImageMagick's files read pixel for pixel, our files
// read back by Pillow and accepted by pngcheck, and hostile files that must end in
// the abort flag.
#include <gtest/gtest.h>

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "image/formats/pngfilt.h"
#include "image/formats/pngfiltw.h"
#include "platform/rtl/Streams.h"
#include "tests/image/file_test_util.h"
#include "tests/support/Peers.h"

namespace {

const char kPython[] = "/usr/bin/python3";

using file_test::ReadFile;
using file_test::WriteFile;

struct ReadResult {
  bool aborted = false;
  std::unique_ptr<TIEBitmap> bitmap = std::make_unique<TIEBitmap>();
  std::unique_ptr<TIOParamsVals> params = std::make_unique<TIOParamsVals>(nullptr);
  std::unique_ptr<TIEMask> mask;
  std::vector<Integer> progress;
};

ReadResult ReadPng(const std::string& bytes, bool ignoreAlpha = false, bool preview = false,
                   TRGB background = {}) {
  ReadResult r;
  TMemoryStream stream;
  if (!bytes.empty()) stream.Write(bytes.data(), static_cast<Integer>(bytes.size()));
  stream.SetPosition(0);
  bool aborting = false;
  TProgressRec progress;
  progress.Aborting = &aborting;
  progress.OnProgress = [&r](TObject*, Integer per) { r.progress.push_back(per); };
  r.params->PNG_Background = background;
  ReadPNGStream(&stream, r.bitmap.get(), *r.params, progress, preview, r.mask, ignoreAlpha);
  r.aborted = aborting;
  return r;
}

// The pixel (r, g, b) of a read bitmap; ie1g bits as black or white.
void PixelAt(TIEBitmap* bmp, Integer x, Integer y, Byte rgb[3]) {
  const auto* row = static_cast<const Byte*>(bmp->GetScanLine(y));
  if (bmp->GetPixelFormat() == ie1g) {
    const Byte v = (row[x / 8] & (0x80 >> (x % 8))) != 0 ? 255 : 0;
    rgb[0] = rgb[1] = rgb[2] = v;
    return;
  }
  rgb[0] = row[x * 3 + 2];
  rgb[1] = row[x * 3 + 1];
  rgb[2] = row[x * 3];
}

// ---------------------------------------------------------------------------
// Reading peer files

class PngCodec : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new larktest::TempDir();
    int exitCode = -1;
    const std::string out = larktest::RunCommand(
        {kPython, std::string(LARK_TEST_DATA) + "/png/make_png_fixtures.py", dir_->Path()}, &exitCode);
    ASSERT_EQ(exitCode, 0) << out;
    std::istringstream lines(out);
    std::string name;
    int depth, ctype, lace;
    while (lines >> name >> depth >> ctype >> lace) headers_[name] = {depth, ctype, lace};
  }
  static void TearDownTestSuite() {
    delete dir_;
    dir_ = nullptr;
  }
  struct Header {
    int depth, ctype, lace;
  };
  static larktest::TempDir* dir_;
  static std::map<std::string, Header> headers_;
};
larktest::TempDir* PngCodec::dir_ = nullptr;
std::map<std::string, PngCodec::Header> PngCodec::headers_;

struct PeerCase {
  const char* name;
  int depth, ctype, lace;
  TIEPixelFormat format;
  Integer spp;
};

const PeerCase kPeerCases[] = {
    {"grey1", 1, 0, 0, ie1g, 1},      {"grey2", 2, 0, 0, ie24RGB, 1},
    {"grey4", 4, 0, 0, ie24RGB, 1},   {"grey8", 8, 0, 0, ie24RGB, 1},
    {"grey16", 16, 0, 0, ie24RGB, 1}, {"pal1_bw", 1, 3, 0, ie1g, 1},
    {"pal1_wb", 1, 3, 0, ie1g, 1},    {"pal1_rb", 1, 3, 0, ie24RGB, 1},
    {"pal2", 2, 3, 0, ie24RGB, 1},    {"pal4", 4, 3, 0, ie24RGB, 1},
    {"pal8", 8, 3, 0, ie24RGB, 1},    {"pal4_trns", 4, 3, 0, ie24RGB, 1},
    {"rgb8", 8, 2, 0, ie24RGB, 3},    {"la8", 8, 4, 0, ie24RGB, 2},
    {"rgba8", 8, 6, 0, ie24RGB, 4},   {"rgb8_trns", 8, 2, 0, ie24RGB, 3},
    {"grey8_trns", 8, 0, 0, ie24RGB, 1}, {"rgb16", 16, 2, 0, ie24RGB, 3},
    {"rgb8_i", 8, 2, 1, ie24RGB, 3},  {"rgba8_i", 8, 6, 1, ie24RGB, 4},
    {"grey1_i", 1, 0, 1, ie1g, 1},    {"grey4_i", 4, 0, 1, ie24RGB, 1},
};

TEST_F(PngCodec, ReadsEveryDepthAndColourTypePixelForPixel) {
  for (const PeerCase& c : kPeerCases) {
    SCOPED_TRACE(c.name);
    const Header& h = headers_[c.name];
    ASSERT_EQ(h.depth, c.depth);
    ASSERT_EQ(h.ctype, c.ctype);
    ASSERT_EQ(h.lace, c.lace);
    const std::string expected = ReadFile(dir_->Path() + c.name + ".rgba");
    ReadResult r = ReadPng(ReadFile(dir_->Path() + c.name + ".png"));
    ASSERT_FALSE(r.aborted);
    ASSERT_EQ(r.bitmap->GetPixelFormat(), c.format);
    const Integer w = r.bitmap->GetWidth(), h2 = r.bitmap->GetHeight();
    ASSERT_EQ(w, 13);
    ASSERT_EQ(h2, 7);
    ASSERT_EQ(expected.size(), static_cast<size_t>(w * h2 * 4));
    EXPECT_EQ(r.params->BitsPerSample, c.depth);
    EXPECT_EQ(r.params->SamplesPerPixel, c.spp);
    EXPECT_EQ(r.params->PNG_Interlaced, c.lace != 0);
    if (c.ctype == 3) {
      EXPECT_GE(r.params->ColorMapCount, 2);
    }
    ASSERT_TRUE(r.mask);
    int wrong = 0;
    for (Integer y = 0; y < h2; ++y) {
      for (Integer x = 0; x < w; ++x) {
        const auto* e = reinterpret_cast<const Byte*>(expected.data()) + (y * w + x) * 4;
        Byte got[3];
        PixelAt(r.bitmap.get(), x, y, got);
        const Integer alpha = r.mask->GetPixel(x, y);
        if (got[0] != e[0] || got[1] != e[1] || got[2] != e[2] || alpha != e[3]) {
          if (++wrong <= 3)
            ADD_FAILURE() << "(" << x << "," << y << ") got " << int(got[0]) << "," << int(got[1])
                          << "," << int(got[2]) << "/" << alpha << " want " << int(e[0]) << ","
                          << int(e[1]) << "," << int(e[2]) << "/" << int(e[3]);
        }
      }
    }
    EXPECT_EQ(wrong, 0);
  }
}

TEST_F(PngCodec, ReadsPaletteIntoColorMapAndProgressToHundred) {
  ReadResult r = ReadPng(ReadFile(dir_->Path() + "pal4.png"));
  ASSERT_FALSE(r.aborted);
  ASSERT_EQ(r.params->ColorMapCount, 16);
  // Entry 1 of the generator's palette: (53, 108, 242) as blue, green, red.
  EXPECT_EQ(r.params->ColorMap[1], (TRGB{242, 108, 53}));
  ASSERT_FALSE(r.progress.empty());
  EXPECT_EQ(r.progress.back(), 100);

  // Every pass reports every row, as a share of passes x rows.
  ReadResult lace = ReadPng(ReadFile(dir_->Path() + "rgb8_i.png"));
  ASSERT_FALSE(lace.aborted);
  ASSERT_EQ(lace.progress.size(), 7u * 7u);
  for (size_t n = 1; n <= lace.progress.size(); ++n)
    EXPECT_EQ(lace.progress[n - 1], static_cast<Integer>(100.0 / (7 * 7) * static_cast<double>(n))) << n;
}

// An interlaced 1-bit palette file whose palette is white, then black (written by a
// small Python encoder of its own): its rows come out inverted once, after the last
// pass, as Pillow decodes them.
TEST_F(PngCodec, InterlacedBilevelWithWhiteFirstReadsAsPillowDecodesIt) {
  const char script[] = R"PY(
import sys, struct, zlib
from PIL import Image
W, H = 13, 7
def index(x, y): return 1 if (x * 3 + y + x * y) % 5 < 2 else 0
raw = b''
for xs, ys, dx, dy in ((0, 0, 8, 8), (4, 0, 8, 8), (0, 4, 4, 8), (2, 0, 4, 4), (0, 2, 2, 4), (1, 0, 2, 2), (0, 1, 1, 2)):
    cols, rows = range(xs, W, dx), range(ys, H, dy)
    if not cols or not rows: continue
    for y in rows:
        line = bytearray((len(cols) + 7) // 8)
        for i, x in enumerate(cols):
            if index(x, y): line[i >> 3] |= 0x80 >> (i & 7)
        raw += b'\0' + bytes(line)
def chunk(kind, data):
    return struct.pack('>I', len(data)) + kind + data + struct.pack('>I', zlib.crc32(kind + data) & 0xFFFFFFFF)
png = (b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', W, H, 1, 3, 0, 0, 1)) +
       chunk(b'PLTE', bytes([255, 255, 255, 0, 0, 0])) + chunk(b'IDAT', zlib.compress(raw)) + chunk(b'IEND', b''))
open(sys.argv[1], 'wb').write(png)
open(sys.argv[1] + '.rgb', 'wb').write(Image.open(sys.argv[1]).convert('RGB').tobytes())
)PY";
  larktest::TempDir dir;
  const std::string path = dir.Path() + "wb_i.png";
  int rc = -1;
  const std::string out = larktest::RunCommand({kPython, "-c", script, path}, &rc);
  ASSERT_EQ(rc, 0) << out;
  const std::string expected = ReadFile(path + ".rgb");
  ReadResult r = ReadPng(ReadFile(path));
  ASSERT_FALSE(r.aborted);
  EXPECT_TRUE(r.params->PNG_Interlaced);
  ASSERT_EQ(r.bitmap->GetPixelFormat(), ie1g);
  ASSERT_EQ(expected.size(), 13u * 7u * 3u);
  int wrong = 0, white = 0;
  for (Integer y = 0; y < 7; ++y)
    for (Integer x = 0; x < 13; ++x) {
      Byte got[3];
      PixelAt(r.bitmap.get(), x, y, got);
      const Byte want = static_cast<Byte>(expected[(static_cast<size_t>(y) * 13 + x) * 3]);
      white += want == 255;
      if (got[0] != want && ++wrong <= 3) ADD_FAILURE() << "(" << x << "," << y << ") " << int(got[0]);
    }
  EXPECT_GT(white, 0);
  EXPECT_EQ(wrong, 0);
}

TEST_F(PngCodec, PreviewFillsParamsOnly) {
  ReadResult r = ReadPng(ReadFile(dir_->Path() + "rgba8.png"), false, true);
  ASSERT_FALSE(r.aborted);
  EXPECT_EQ(r.params->Width, 13);
  EXPECT_EQ(r.params->Height, 7);
  EXPECT_EQ(r.params->SamplesPerPixel, 4);
  EXPECT_EQ(r.bitmap->GetWidth(), 0);
}

// A transparent file without a background chunk, read without alpha, is composited
// onto PNG_Background: fully transparent pixels take that colour, partly transparent
// ones are blended with it, opaque ones keep theirs. The same for a 16-bit file
// (ImageMagick's 16-bit copy of the 8-bit one).
TEST_F(PngCodec, IgnoreAlphaCompositesOntoTheAskedBackground) {
  const std::string convert = larktest::RequireProgram("convert-im6.q16");
  ASSERT_FALSE(convert.empty());
  int rc = -1;
  larktest::RunCommand({convert, dir_->Path() + "rgba8.png", "-depth", "16", "-define", "png:exclude-chunk=bKGD,gAMA,cHRM,sRGB", "PNG64:" + dir_->Path() + "rgba16.png"},
                       &rc);
  ASSERT_EQ(rc, 0);
  const TRGB background{50, 100, 200};  // blue, green, red
  const struct {
    const char* file;
    const char* expected;
  } cases[] = {{"rgba8", "rgba8"},         {"rgba16", "rgba8"},         {"la8", "la8"},
               {"pal4_trns", "pal4_trns"}, {"rgb8_trns", "rgb8_trns"}, {"grey8_trns", "grey8_trns"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    ReadResult r = ReadPng(ReadFile(dir_->Path() + c.file + ".png"), true, false, background);
    ASSERT_FALSE(r.aborted);
    EXPECT_FALSE(r.mask);
    ASSERT_EQ(r.bitmap->GetPixelFormat(), ie24RGB);
    EXPECT_EQ(r.params->PNG_Background, background);
    const std::string expected = ReadFile(dir_->Path() + c.expected + ".rgba");
    const Integer w = r.bitmap->GetWidth(), h = r.bitmap->GetHeight();
    ASSERT_EQ(expected.size(), static_cast<size_t>(w * h * 4));
    const Byte bg[3] = {background.r, background.g, background.b};
    int wrong = 0, transparent = 0;
    for (Integer y = 0; y < h; ++y)
      for (Integer x = 0; x < w; ++x) {
        const auto* e = reinterpret_cast<const Byte*>(expected.data()) + (y * w + x) * 4;
        transparent += e[3] == 0;
        Byte got[3];
        PixelAt(r.bitmap.get(), x, y, got);
        for (int k = 0; k < 3; ++k) {
          const int want = (e[k] * e[3] + bg[k] * (255 - e[3]) + 127) / 255;
          if (std::abs(got[k] - want) > 1 && ++wrong <= 3)
            ADD_FAILURE() << "(" << x << "," << y << ") channel " << k << " got " << int(got[k]) << " want "
                          << want;
        }
      }
    EXPECT_GT(transparent, 0);
    EXPECT_EQ(wrong, 0);
  }
}

// ---------------------------------------------------------------------------
// Writing: Pillow reads our files, pngcheck accepts them

// A picture of few colours (so that the palette is exact) with a transparent corner.
std::unique_ptr<TIEBitmap> MakePicture(Integer w, Integer h) {
  auto bmp = std::make_unique<TIEBitmap>();
  bmp->Allocate(w, h, ie24RGB);
  for (Integer y = 0; y < h; ++y) {
    auto* row = static_cast<TRGB*>(bmp->GetScanLine(y));
    for (Integer x = 0; x < w; ++x)
      row[x] = TRGB{static_cast<Byte>((x * 40) & 0xE0), static_cast<Byte>((y * 60) & 0xC0),
                    static_cast<Byte>(((x + y) % 3) * 100)};
  }
  return bmp;
}

struct WriteCase {
  const char* name;
  Integer spp, bps;
  bool masked, interlaced;
  TIOPNGFilter filter;
  const char* pillowMode;  // mode Pillow reports for our file
  Byte edge = 100;         // the alpha of the masked corner's last column
};

const WriteCase kWriteCases[] = {
    {"rgb", 3, 8, false, false, ioPNG_FILTER_NONE, "RGB"},
    {"rgb_sub_adam7", 3, 8, false, true, ioPNG_FILTER_SUB, "RGB"},
    {"rgba_paeth", 3, 8, true, false, ioPNG_FILTER_PAETH, "RGBA"},
    {"rgba_adam7", 3, 8, true, true, ioPNG_FILTER_NONE, "RGBA"},
    {"palette8", 1, 8, false, false, ioPNG_FILTER_NONE, "P"},
    {"palette8_masked_adam7", 1, 8, true, true, ioPNG_FILTER_SUB, "P", 0},
    // Partial transparency has no place in a palette: the file gets an alpha channel.
    {"palette8_partly_transparent", 1, 8, true, false, ioPNG_FILTER_NONE, "RGBA"},
    {"grey1", 1, 1, false, false, ioPNG_FILTER_NONE, "1"},
    {"grey1_as_rgb", 3, 1, false, false, ioPNG_FILTER_NONE, "RGB"},
};

TEST_F(PngCodec, WrittenFilesReadByPillowWithSamePixelsAndPassPngcheck) {
  const std::string pngcheck = larktest::RequireProgram("pngcheck");
  larktest::TempDir dir;
  const Integer w = 11, h = 9;
  for (const WriteCase& c : kWriteCases) {
    SCOPED_TRACE(c.name);
    auto bmp = MakePicture(w, h);
    if (c.bps == 1) bmp->ConvertToPixelFormat(ie1g);
    TIEMask mask;
    mask.AllocateBits(w, h, 8);
    mask.Fill(255);
    if (c.masked) {
      for (Integer y = 0; y < 3; ++y)
        for (Integer x = 0; x < 4; ++x) mask.SetPixel(x, y, x == 3 ? c.edge : 0);
    }
    TIOParamsVals params(nullptr);
    params.SamplesPerPixel = c.spp;
    params.BitsPerSample = c.bps;
    params.PNG_Interlaced = c.interlaced;
    params.PNG_Filter = c.filter;
    params.PNG_Background = TRGB{1, 2, 3};
    params.DpiX = 300;
    params.DpiY = 150;
    TMemoryStream stream;
    bool aborting = false;
    TProgressRec progress;
    progress.Aborting = &aborting;
    Integer reports = 0, last = 0;
    progress.OnProgress = [&](TObject*, Integer per) {
      ++reports;
      last = per;
    };
    WritePNGStream(&stream, bmp.get(), params, progress, c.masked ? &mask : nullptr);
    ASSERT_FALSE(aborting);
    EXPECT_EQ(reports, (c.interlaced ? 7 : 1) * h);
    EXPECT_EQ(last, 100);
    std::string file(static_cast<size_t>(stream.GetSize()), '\0');
    stream.SetPosition(0);
    stream.Read(file.data(), static_cast<Integer>(file.size()));
    const std::string path = dir.Path() + c.name + ".png";
    WriteFile(path, file);

    int exitCode = -1;
    const std::string check = larktest::RunCommand({pngcheck, "-v", path}, &exitCode);
    EXPECT_EQ(exitCode, 0) << check;
    EXPECT_NE(check.find(c.interlaced ? "interlaced" : "non-interlaced"), std::string::npos) << check;
    EXPECT_NE(check.find("pHYs"), std::string::npos) << check;

    const char script[] =
        "import sys\n"
        "from PIL import Image\n"
        "im = Image.open(sys.argv[1])\n"
        "print(im.mode)\n"
        "open(sys.argv[1] + '.rgba', 'wb').write(im.convert('RGBA').tobytes())\n";
    const std::string mode = larktest::RunCommand({kPython, "-c", script, path}, &exitCode);
    ASSERT_EQ(exitCode, 0);
    EXPECT_EQ(mode, std::string(c.pillowMode) + "\n");
    const std::string rgba = ReadFile(path + ".rgba");
    ASSERT_EQ(rgba.size(), static_cast<size_t>(w * h * 4));
    int wrong = 0;
    for (Integer y = 0; y < h; ++y) {
      for (Integer x = 0; x < w; ++x) {
        const auto* p = reinterpret_cast<const Byte*>(rgba.data()) + (y * w + x) * 4;
        Byte want[3];
        PixelAt(bmp.get(), x, y, want);
        Integer wantAlpha = c.masked ? mask.GetPixel(x, y) : 255;
        if (std::string(c.pillowMode) == "P" && c.masked && wantAlpha < 255) wantAlpha = 0;  // one transparent entry
        const bool colourMatters = wantAlpha != 0;
        if ((colourMatters && (p[0] != want[0] || p[1] != want[1] || p[2] != want[2])) ||
            p[3] != wantAlpha) {
          if (++wrong <= 3)
            ADD_FAILURE() << "(" << x << "," << y << ") got " << int(p[0]) << "," << int(p[1]) << ","
                          << int(p[2]) << "/" << int(p[3]) << " want " << int(want[0]) << ","
                          << int(want[1]) << "," << int(want[2]) << "/" << wantAlpha;
        }
      }
    }
    EXPECT_EQ(wrong, 0);

    // And our own reader agrees.
    ReadResult back = ReadPng(file);
    ASSERT_FALSE(back.aborted);
    EXPECT_EQ(back.params->DpiX, 300);
    EXPECT_EQ(back.params->DpiY, 150);
  }
}

TEST_F(PngCodec, PaletteWriteKeepsEntryZeroForBackgroundAndTransparency) {
  auto bmp = MakePicture(8, 8);
  TIOParamsVals params(nullptr);
  params.SamplesPerPixel = 1;
  params.BitsPerSample = 8;
  params.PNG_Background = TRGB{9, 8, 7};
  TMemoryStream stream;
  TProgressRec progress;
  WritePNGStream(&stream, bmp.get(), params, progress, nullptr);
  stream.SetPosition(0);
  TIOParamsVals readParams(nullptr);
  TIEBitmap back;
  std::unique_ptr<TIEMask> mask;
  bool aborting = false;
  progress.Aborting = &aborting;
  ReadPNGStream(&stream, &back, readParams, progress, false, mask, false);
  ASSERT_FALSE(aborting);
  ASSERT_EQ(readParams.ColorMapCount, 256);
  EXPECT_EQ(readParams.ColorMap[0], (TRGB{9, 8, 7}));
  for (Integer y = 0; y < 8; ++y)  // no pixel uses entry 0 without a mask
    for (Integer x = 0; x < 8; ++x) {
      Byte px[3];
      PixelAt(&back, x, y, px);
      EXPECT_FALSE(px[0] == 7 && px[1] == 8 && px[2] == 9);
    }
}

// Pillow's palette file with partly transparent entries, read and written back with
// the parameters and mask the read gave, keeps every pixel and its alpha.
TEST_F(PngCodec, PaletteWithPartialTransparencyReadAndWrittenBackKeepsItsPixels) {
  const std::string expected = ReadFile(dir_->Path() + "pal4_trns.rgba");
  ReadResult r = ReadPng(ReadFile(dir_->Path() + "pal4_trns.png"));
  ASSERT_FALSE(r.aborted);
  ASSERT_TRUE(r.mask);
  TMemoryStream stream;
  TProgressRec progress;
  bool aborting = false;
  progress.Aborting = &aborting;
  WritePNGStream(&stream, r.bitmap.get(), *r.params, progress, r.mask.get());
  ASSERT_FALSE(aborting);
  std::string file(static_cast<size_t>(stream.GetSize()), '\0');
  stream.SetPosition(0);
  stream.Read(file.data(), static_cast<Integer>(file.size()));
  larktest::TempDir dir;
  const std::string path = dir.Path() + "back.png";
  WriteFile(path, file);
  int rc = -1;
  larktest::RunCommand({kPython, "-c",
                        "import sys\nfrom PIL import Image\n"
                        "open(sys.argv[1] + '.rgba', 'wb').write(Image.open(sys.argv[1]).convert('RGBA').tobytes())\n",
                        path},
                       &rc);
  ASSERT_EQ(rc, 0);
  const std::string back = ReadFile(path + ".rgba");
  ASSERT_EQ(back.size(), expected.size());
  int wrong = 0, partial = 0;
  for (size_t i = 0; i < expected.size(); i += 4) {
    const Byte a = static_cast<Byte>(expected[i + 3]);
    partial += a != 0 && a != 255;
    const bool same = back[i + 3] == expected[i + 3] && (a == 0 || back.compare(i, 3, expected, i, 3) == 0);
    if (!same && ++wrong <= 3)
      ADD_FAILURE() << "pixel " << i / 4 << " alpha " << int(Byte(back[i + 3])) << " want " << int(a);
  }
  EXPECT_GT(partial, 0);
  EXPECT_EQ(wrong, 0);
}

TEST_F(PngCodec, IgnoreAlphaCompositesPaletteOntoFileBackground) {
  auto bmp = MakePicture(8, 8);
  TIEMask mask;
  mask.AllocateBits(8, 8, 8);
  mask.Fill(255);
  mask.SetPixel(2, 3, 0);
  TIOParamsVals params(nullptr);
  params.SamplesPerPixel = 1;
  params.BitsPerSample = 8;
  params.PNG_Background = TRGB{9, 8, 7};  // not in the picture: bKGD is entry 0
  TMemoryStream stream;
  TProgressRec progress;
  WritePNGStream(&stream, bmp.get(), params, progress, &mask);
  std::string file(static_cast<size_t>(stream.GetSize()), '\0');
  stream.SetPosition(0);
  stream.Read(file.data(), static_cast<Integer>(file.size()));

  ReadResult kept = ReadPng(file);
  ASSERT_FALSE(kept.aborted);
  EXPECT_EQ(kept.mask->GetPixel(2, 3), 0);
  EXPECT_EQ(kept.mask->GetPixel(3, 3), 255);
  EXPECT_FALSE(kept.mask->GetFull());

  ReadResult flat = ReadPng(file, true, false, TRGB{200, 200, 200});
  ASSERT_FALSE(flat.aborted);
  EXPECT_FALSE(flat.mask);
  EXPECT_EQ(flat.params->PNG_Background, (TRGB{9, 8, 7}));
  Byte px[3];
  PixelAt(flat.bitmap.get(), 2, 3, px);
  EXPECT_EQ(px[0], 7);
  EXPECT_EQ(px[1], 8);
  EXPECT_EQ(px[2], 9);
  PixelAt(flat.bitmap.get(), 3, 3, px);
  const TRGB original = static_cast<const TRGB*>(bmp->GetScanLine(3))[3];
  EXPECT_EQ(px[0], original.r);
  EXPECT_EQ(px[2], original.b);
}

// The background chunk of RGB and grey files holds PNG_Background in the image's own
// sample range, whatever the colour; pngcheck shows its values.
TEST_F(PngCodec, WriterKeepsTheBackgroundChunk) {
  const std::string pngcheck = larktest::RequireProgram("pngcheck");
  larktest::TempDir dir;
  const struct {
    const char* name;
    Integer spp, bps;
    TRGB background;
    const char* shown;  // pngcheck's line for the chunk
  } cases[] = {
      {"rgb", 3, 8, TRGB{30, 20, 10}, "red = 0x000a, green = 0x0014, blue = 0x001e"},
      {"rgb white", 3, 8, TRGB{255, 255, 255}, "red = 0x00ff, green = 0x00ff, blue = 0x00ff"},
      {"grey of one bit, light", 1, 1, TRGB{200, 200, 200}, "gray = 0x0001"},
      {"grey of one bit, dark", 1, 1, TRGB{20, 20, 20}, "gray = 0x0000"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto bmp = MakePicture(6, 5);
    if (c.bps == 1) bmp->ConvertToPixelFormat(ie1g);
    TIOParamsVals params(nullptr);
    params.SamplesPerPixel = c.spp;
    params.BitsPerSample = c.bps;
    params.PNG_Background = c.background;
    TMemoryStream stream;
    TProgressRec progress;
    WritePNGStream(&stream, bmp.get(), params, progress, nullptr);
    std::string file(static_cast<size_t>(stream.GetSize()), '\0');
    stream.SetPosition(0);
    stream.Read(file.data(), static_cast<Integer>(file.size()));
    const std::string path = dir.Path() + "bkgd.png";
    WriteFile(path, file);
    int rc = -1;
    const std::string check = larktest::RunCommand({pngcheck, "-v", path}, &rc);
    EXPECT_EQ(rc, 0) << check;
    EXPECT_NE(check.find("bKGD"), std::string::npos) << check;
    EXPECT_NE(check.find(c.shown), std::string::npos) << check;
    if (c.bps == 8) {
      ReadResult back = ReadPng(file, true, false, TRGB{1, 1, 1});
      ASSERT_FALSE(back.aborted);
      EXPECT_EQ(back.params->PNG_Background, c.background);
    }
  }
}

// ---------------------------------------------------------------------------
// Detector and hostile files

TEST_F(PngCodec, DetectorLeavesPositionAndRejectsShortStreams) {
  TMemoryStream stream;
  const Byte sig[5] = {0x89, 'P', 'N', 'G', 0x0D};
  stream.Write(sig, 5);
  stream.SetPosition(1);
  EXPECT_FALSE(IsPNGStream(&stream));
  EXPECT_EQ(stream.GetPosition(), 1);
  // Five bytes, the first four of them the signature's: too short for a PNG.
  stream.SetPosition(0);
  EXPECT_FALSE(IsPNGStream(&stream));
  EXPECT_EQ(stream.GetPosition(), 0);
  const Byte more[4] = {0x0A, 0x1A, 0x0A, 0};
  stream.SetPosition(5);
  stream.Write(more, 4);
  // With eight bytes the first four decide.
  stream.SetPosition(0);
  EXPECT_TRUE(IsPNGStream(&stream));
  EXPECT_EQ(stream.GetPosition(), 0);
}

std::string Chunk(const std::string& type, const std::string& data) {
  auto be32 = [](uint32_t v) {
    return std::string{static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8),
                       static_cast<char>(v)};
  };
  const std::string body = type + data;
  const uLong crc = crc32(0, reinterpret_cast<const Bytef*>(body.data()), static_cast<uInt>(body.size()));
  return be32(static_cast<uint32_t>(data.size())) + body + be32(static_cast<uint32_t>(crc));
}

std::string Ihdr(uint32_t w, uint32_t h, int depth, int ctype) {
  std::string d;
  for (uint32_t v : {w, h})
    for (int s = 24; s >= 0; s -= 8) d += static_cast<char>((v >> s) & 0xFF);
  d += static_cast<char>(depth);
  d += static_cast<char>(ctype);
  d += std::string(3, '\0');
  return Chunk("IHDR", d);
}

const std::string kSignature("\x89PNG\r\n\x1a\n", 8);

// A valid 8-bit RGB image of w x h through our writer.
std::string ValidPng(Integer w, Integer h) {
  auto bmp = MakePicture(w, h);
  TIOParamsVals params(nullptr);
  TMemoryStream stream;
  TProgressRec progress;
  WritePNGStream(&stream, bmp.get(), params, progress, nullptr);
  std::string file(static_cast<size_t>(stream.GetSize()), '\0');
  stream.SetPosition(0);
  stream.Read(file.data(), static_cast<Integer>(file.size()));
  return file;
}

TEST_F(PngCodec, HostileFilesEndInAbortFlag) {
  const std::string good = ValidPng(40, 30);
  ASSERT_FALSE(ReadPng(good).aborted);

  struct Case {
    std::string name, bytes;
  };
  std::vector<Case> cases;
  cases.push_back({"empty", ""});
  cases.push_back({"signature only", kSignature});
  // Cut inside the image data: the short read must not pass as success.
  for (size_t cut : {good.size() - 13, good.size() / 2, size_t{40}})
    cases.push_back({"truncated at " + std::to_string(cut), good.substr(0, cut)});
  {
    std::string bad = good;
    const size_t idat = bad.find("IDAT");
    bad[idat + 6] = static_cast<char>(bad[idat + 6] ^ 0x55);
    cases.push_back({"bad IDAT CRC", bad});
  }
  {
    std::string bad = good;
    bad[29] = static_cast<char>(bad[29] ^ 1);  // IHDR's CRC
    cases.push_back({"bad IHDR CRC", bad});
  }
  // Huge dimensions with a few bytes of data: refused before any allocation.
  cases.push_back({"huge", kSignature + Ihdr(1000000, 1000000, 8, 2) +
                               Chunk("IDAT", std::string("\x78\x9c\x03\x00\x00\x00\x00\x01", 8)) +
                               Chunk("IEND", "")});
  cases.push_back({"huge beyond limits", kSignature + Ihdr(0x7FFFFFFF, 0x7FFFFFFF, 16, 6) + Chunk("IEND", "")});
  cases.push_back({"zero width", kSignature + Ihdr(0, 5, 8, 2) + Chunk("IEND", "")});
  cases.push_back({"bad depth", kSignature + Ihdr(4, 4, 3, 2) + Chunk("IEND", "")});
  // A palette image without a palette.
  cases.push_back({"palette missing", kSignature + Ihdr(4, 4, 8, 3) +
                                          Chunk("IDAT", std::string("\x78\x9c\x03\x00\x00\x00\x00\x01", 8)) +
                                          Chunk("IEND", "")});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ReadResult r = ReadPng(c.bytes);
    EXPECT_TRUE(r.aborted);
    ReadResult p = ReadPng(c.bytes, true, true);
    EXPECT_TRUE(p.aborted || c.name.rfind("truncated", 0) == 0 || c.name == "bad IDAT CRC" ||
                c.name == "palette missing");
  }
}

// A stream that takes only the first `room` bytes.
class ShortStream : public TMemoryStream {
 public:
  explicit ShortStream(Integer room) : room_(room) {}
  Integer Write(const void* buffer, Integer count) override {
    const Integer n = std::min(count, room_);
    room_ -= n;
    return n > 0 ? TMemoryStream::Write(buffer, n) : 0;
  }

 private:
  Integer room_;
};

TEST_F(PngCodec, ShortWriteSetsAbortFlag) {
  auto bmp = MakePicture(64, 64);
  TIOParamsVals params(nullptr);
  params.PNG_Compression = 0;
  ShortStream stream(100);
  bool aborting = false;
  TProgressRec progress;
  progress.Aborting = &aborting;
  WritePNGStream(&stream, bmp.get(), params, progress, nullptr);
  EXPECT_TRUE(aborting);
}

TEST_F(PngCodec, WriterRaisesOnEmptyBitmap) {
  TIEBitmap empty;
  TIOParamsVals params(nullptr);
  TMemoryStream stream;
  TProgressRec progress;
  EXPECT_THROW(WritePNGStream(&stream, &empty, params, progress, nullptr), EInvalidGraphic);
}

}  // namespace

namespace {

// A stream that hands out at most 3 bytes a read, as pipes and sockets may.
class TrickleStream : public TMemoryStream {
 public:
  Integer Read(void* buffer, Integer count) override {
    return TMemoryStream::Read(buffer, std::min<Integer>(count, 3));
  }
};

TEST_F(PngCodec, ReadsStreamsThatDeliverFewBytesAtATime) {
  const std::string good = ValidPng(21, 5);
  ReadResult whole = ReadPng(good);
  ASSERT_FALSE(whole.aborted);

  TrickleStream stream;
  stream.Write(good.data(), static_cast<Integer>(good.size()));
  stream.SetPosition(0);
  TIEBitmap bitmap;
  TIOParamsVals params(nullptr);
  std::unique_ptr<TIEMask> mask;
  bool aborting = false;
  TProgressRec progress;
  progress.Aborting = &aborting;
  ReadPNGStream(&stream, &bitmap, params, progress, false, mask, false);
  ASSERT_FALSE(aborting);
  for (Integer y = 0; y < 5; ++y)
    EXPECT_EQ(std::memcmp(bitmap.GetScanLine(y), whole.bitmap->GetScanLine(y), 21 * 3), 0);
}

}  // namespace
