// The BMP codec: files of Pillow and ImageMagick read pixel for pixel, our files read
// by Pillow, hand-built run-length data, and hostile files that must fail cleanly.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "image/formats/bmpfilt.h"
#include "image/model/iebitmap.h"
#include "platform/rtl/Streams.h"
#include "tests/image/bitmap_test_util.h"
#include "tests/support/Peers.h"

namespace {

using Bytes = std::vector<Byte>;
const char kPython[] = "/usr/bin/python3";

Bytes LoadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}
void SaveFile(const std::string& path, const Bytes& data) {
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(data.data()),
                                              static_cast<std::streamsize>(data.size()));
}

struct Decoded {
  bool aborted = false;
  std::unique_ptr<TIOParamsVals> params = std::make_unique<TIOParamsVals>(nullptr);
  TIEBitmap bitmap;
};

std::unique_ptr<Decoded> Decode(const Bytes& file, bool preview = false) {
  auto d = std::make_unique<Decoded>();
  TMemoryStream s;
  if (!file.empty()) s.Write(file.data(), static_cast<Integer>(file.size()));
  s.SetPosition(0);
  TProgressRec progress;
  progress.Aborting = &d->aborted;
  BMPReadStream(&s, &d->bitmap, 0, *d->params, progress, preview);
  return d;
}

using bitmap_test::ToRgb;

void Le32(Bytes& v, size_t at, uint32_t x) {
  for (int i = 0; i < 4; ++i) v[at + i] = static_cast<Byte>(x >> (8 * i));
}

// A BMP with a 40-byte header: palette (B,G,R,0 each), then data at the offset.
Bytes MakeBmp(int32_t width, int32_t height, uint16_t bits, uint32_t compression,
              const std::vector<TRGB>& palette, const Bytes& data) {
  Bytes f(54, 0);
  f[0] = 'B';
  f[1] = 'M';
  Le32(f, 14, 40);
  Le32(f, 18, static_cast<uint32_t>(width));
  Le32(f, 22, static_cast<uint32_t>(height));
  f[26] = 1;
  f[28] = static_cast<Byte>(bits);
  Le32(f, 30, compression);
  Le32(f, 34, static_cast<uint32_t>(data.size()));
  Le32(f, 46, static_cast<uint32_t>(palette.size()));
  for (const TRGB& c : palette) f.insert(f.end(), {c.b, c.g, c.r, 0});
  Le32(f, 10, static_cast<uint32_t>(f.size()));
  f.insert(f.end(), data.begin(), data.end());
  Le32(f, 2, static_cast<uint32_t>(f.size()));
  return f;
}

constexpr TRGB Rgb(int r, int g, int b) {
  return TRGB{static_cast<Byte>(b), static_cast<Byte>(g), static_cast<Byte>(r)};
}
const TRGB kBlack = Rgb(0, 0, 0), kWhite = Rgb(255, 255, 255), kRed = Rgb(255, 0, 0),
           kGreen = Rgb(0, 255, 0), kBlue = Rgb(0, 0, 255);

// Pixels of row y (top = 0) as colours.
std::vector<TRGB> Row(TIEBitmap& b, Integer y) {
  std::vector<TRGB> r;
  for (Integer x = 0; x < b.GetWidth(); ++x) r.push_back(b.GetPixels_ie24RGB(x, y));
  return r;
}

// ---------------------------------------------------------------------------
// Files of independent writers

TEST(BmpCodec, ReadsPillowAndImageMagickFilesPixelForPixel) {
  if (larktest::RequireProgram("convert-im6.q16").empty()) return;
  larktest::TempDir dir;
  int rc = 0;
  larktest::RunCommand({kPython, std::string(LARK_TEST_DATA) + "/bmp/make_fixtures.py", dir.Path()}, &rc);
  ASSERT_EQ(rc, 0);
  const Bytes list = LoadFile(dir.Path() + "manifest.txt");
  std::istringstream manifest(std::string(list.begin(), list.end()));
  std::string name;
  int width = 0, height = 0, bits = 0, compression = 0, headerSize = 0, cases = 0;
  while (manifest >> name >> width >> height >> bits >> compression >> headerSize) {
    SCOPED_TRACE(name);
    ++cases;
    auto d = Decode(LoadFile(dir.Path() + name + ".bmp"));
    ASSERT_FALSE(d->aborted);
    EXPECT_EQ(d->params->Width, width);
    EXPECT_EQ(d->params->Height, height);
    const int expectBits = bits == 16 ? 5 : (bits > 8 ? 8 : bits);
    EXPECT_EQ(d->params->BitsPerSample, expectBits);
    EXPECT_EQ(d->params->SamplesPerPixel, bits > 8 ? 3 : 1);
    EXPECT_EQ(d->params->BMP_Compression, compression == 1 || compression == 2 ? ioBMP_RLE : ioBMP_UNCOMPRESSED);
    if (headerSize == 12) {
      EXPECT_EQ(d->params->BMP_Version, ioBMP_BMOS2V1);
      EXPECT_EQ(d->params->DpiX, 96);
    }
    if (bits <= 8) { EXPECT_EQ(d->params->ColorMapCount > 0, true); }
    EXPECT_EQ(ToRgb(d->bitmap), LoadFile(dir.Path() + name + ".rgb"));
  }
  EXPECT_EQ(cases, 16);
}

// ---------------------------------------------------------------------------
// Our files read by Pillow

struct WriteCase {
  const char* name;
  Integer bits;       // BitsPerSample asked for
  Integer samples;    // SamplesPerPixel asked for
  TIOBMPVersion version;
  TIOBMPCompression compression;
  Integer fileBits;   // depth in the file
  Integer ncolours;   // distinct colours in the picture
};

TEST(BmpCodec, WrittenFilesReadByPillowWithTheSamePixels) {
  const WriteCase cases[] = {
      {"24 bit", 8, 3, ioBMP_BM3, ioBMP_UNCOMPRESSED, 24, 0},
      {"24 bit os2", 8, 3, ioBMP_BMOS2V1, ioBMP_UNCOMPRESSED, 24, 0},
      {"24 bit 64-byte header", 8, 3, ioBMP_BMOS2V2, ioBMP_UNCOMPRESSED, 24, 0},
      {"8 bit", 8, 1, ioBMP_BM3, ioBMP_UNCOMPRESSED, 8, 40},
      {"8 bit rle", 8, 1, ioBMP_BM3, ioBMP_RLE, 8, 40},
      {"8 bit os2", 8, 1, ioBMP_BMOS2V1, ioBMP_UNCOMPRESSED, 8, 40},
      {"4 bit", 4, 1, ioBMP_BM3, ioBMP_UNCOMPRESSED, 4, 12},
      {"4 bit rle", 4, 1, ioBMP_BM3, ioBMP_RLE, 4, 12},
      {"1 bit two colours", 1, 1, ioBMP_BM3, ioBMP_UNCOMPRESSED, 1, 2},
  };
  larktest::TempDir dir;
  for (const WriteCase& c : cases) {
    SCOPED_TRACE(c.name);
    const Integer w = 300, h = 9;  // rows long enough for runs over 255
    TIEBitmap src;
    src.Allocate(w, h, ie24RGB);
    const TRGB two[2] = {kRed, kBlue};
    for (Integer y = 0; y < h; ++y)
      for (Integer x = 0; x < w; ++x) {
        TRGB col;
        if (c.ncolours == 0) col = Rgb(x % 256, (y * 29) % 256, (x * y) % 256);
        else if (c.ncolours == 2) col = two[(x / 3 + y) % 2];
        else {
          // long runs, short stretches and single pixels
          const Integer k = x < 270 ? (x < 20 ? x : 5) : (x + y) % c.ncolours;
          const Integer i = (k + y) % c.ncolours;
          col = Rgb(i * 6, 255 - i * 5, (i * 40) % 256);
        }
        src.SetPixels_ie24RGB(x, y, col);
      }
    TIOParamsVals params(nullptr);
    params.BitsPerSample = c.bits;
    params.SamplesPerPixel = c.samples;
    params.BMP_Version = c.version;
    params.BMP_Compression = c.compression;
    params.DpiX = params.DpiY = 150;
    TMemoryStream s;
    bool aborted = false;
    TProgressRec progress;
    progress.Aborting = &aborted;
    BMPWriteStream(&s, &src, params, progress);
    ASSERT_FALSE(aborted);
    Bytes file(static_cast<const Byte*>(s.Memory()), static_cast<const Byte*>(s.Memory()) + s.GetSize());
    const std::string path = dir.Path() + "out.bmp";
    SaveFile(path, file);
    int rc = 0;
    const std::string info = larktest::RunCommand(
        {kPython, "-c",
         "import sys; from PIL import Image; im = Image.open(sys.argv[1]); "
         "sys.stdout.write('%d %d %s\\n' % (im.size[0], im.size[1], im.info.get('compression', 0))); "
         "open(sys.argv[2], 'wb').write(im.convert('RGB').tobytes())",
         path, dir.Path() + "out.rgb"},
        &rc);
    ASSERT_EQ(rc, 0) << info;
    EXPECT_EQ(info.substr(0, 6), "300 9 ");
    if (c.version != ioBMP_BMOS2V1) { EXPECT_EQ(file[28], c.fileBits); }
    EXPECT_EQ(LoadFile(dir.Path() + "out.rgb"), ToRgb(src));
    if (c.fileBits <= 8) { EXPECT_EQ(params.ColorMapCount, 1 << c.fileBits); }
    // And back through our reader.
    auto d = Decode(file);
    ASSERT_FALSE(d->aborted);
    EXPECT_EQ(ToRgb(d->bitmap), ToRgb(src));
    EXPECT_EQ(d->params->BMP_Version, c.version);
    if (c.version != ioBMP_BMOS2V1) { EXPECT_EQ(d->params->DpiX, 150); }
  }
}

TEST(BmpCodec, Default24BitHeaderHasTheClassicLayout) {
  TIEBitmap src;
  src.Allocate(3, 2, ie24RGB);
  src.SetPixels_ie24RGB(2, 1, kGreen);
  TIOParamsVals params(nullptr);
  TMemoryStream s;
  TProgressRec progress;
  BMPWriteStream(&s, &src, params, progress);
  const Byte* f = static_cast<const Byte*>(s.Memory());
  ASSERT_EQ(s.GetSize(), 54 + 2 * 12);
  EXPECT_EQ(f[10], 54);
  EXPECT_EQ(f[14], 40);
  EXPECT_EQ(f[46] | f[47] | f[48] | f[49], 0);  // colours used
  uint32_t important = 0;
  std::memcpy(&important, f + 50, 4);
  EXPECT_EQ(important, 16777216u);
  auto d = Decode(Bytes(f, f + s.GetSize()));
  ASSERT_FALSE(d->aborted);
  EXPECT_EQ(d->params->BitsPerSample, 8);
  EXPECT_EQ(d->params->SamplesPerPixel, 3);
  EXPECT_EQ(ToRgb(d->bitmap), ToRgb(src));
}

// Three nibbles fill two bytes: the run stays word-aligned without a pad byte.
TEST(BmpCodec, RleEncoderWritesRunsLiteralsAndAlignedAbsoluteRuns) {
  const Byte row[] = {1, 2, 3};
  Byte out[40];
  const Integer n = BMPEncodeRLERow(row, 3, 4, out);
  EXPECT_EQ(Bytes(out, out + n), (Bytes{0, 3, 0x12, 0x30, 0, 0}));
  const Byte five[] = {1, 2, 3, 4, 5};
  const Integer k = BMPEncodeRLERow(five, 5, 4, out);
  EXPECT_EQ(Bytes(out, out + k), (Bytes{0, 5, 0x12, 0x34, 0x50, 0, 0, 0}));
  const Byte runs[] = {7, 7, 7, 9, 4};
  const Integer m = BMPEncodeRLERow(runs, 5, 8, out);
  EXPECT_EQ(Bytes(out, out + m), (Bytes{3, 7, 1, 9, 1, 4, 0, 0}));
}

// ---------------------------------------------------------------------------
// Hand-built files

TEST(BmpCodec, OneBitFilesHonourTheirPalette) {
  // One row 10110000: black/white stays as stored, white/black is inverted, any
  // other pair is expanded to colour.
  const Bytes data{0xB0, 0, 0, 0};
  auto plain = Decode(MakeBmp(4, 1, 1, 0, {kBlack, kWhite}, data));
  ASSERT_FALSE(plain->aborted);
  EXPECT_EQ(plain->bitmap.GetPixelFormat(), ie1g);
  EXPECT_EQ(static_cast<const Byte*>(plain->bitmap.GetScanLine(0))[0] & 0xF0, 0xB0);
  auto inverted = Decode(MakeBmp(4, 1, 1, 0, {kWhite, kBlack}, data));
  ASSERT_FALSE(inverted->aborted);
  EXPECT_EQ(inverted->bitmap.GetPixelFormat(), ie1g);
  EXPECT_EQ(static_cast<const Byte*>(inverted->bitmap.GetScanLine(0))[0] & 0xF0, 0x40);
  auto coloured = Decode(MakeBmp(4, 1, 1, 0, {kRed, kBlue}, data));
  ASSERT_FALSE(coloured->aborted);
  EXPECT_EQ(coloured->bitmap.GetPixelFormat(), ie24RGB);
  EXPECT_EQ(Row(coloured->bitmap, 0), (std::vector<TRGB>{kBlue, kRed, kBlue, kBlue}));
  EXPECT_EQ(coloured->params->BitsPerSample, 1);
}

TEST(BmpCodec, Rle4DecodesRunsAbsoluteRunsAndDelta) {
  // 6 x 2, bottom row first. Worked by hand:
  //   bottom: run (5, 0x12) -> 1 2 1 2 1, then one pixel left unwritten (index 0)
  //   delta (0, 1) stays in column 5 of the row above? no: end of line first.
  //   top: absolute 3 nibbles 3 4 5 (+pad), delta dx 2 -> column 5, run (1, 0x60) -> 6
  const Bytes data{5, 0x12, 0, 0, 0, 3, 0x34, 0x50, 0, 2, 2, 0, 1, 0x60, 0, 1};
  const std::vector<TRGB> pal{kBlack, kRed, kGreen, kBlue, kWhite, Rgb(1, 2, 3), Rgb(9, 9, 9)};
  auto d = Decode(MakeBmp(6, 2, 4, 2, pal, data));
  ASSERT_FALSE(d->aborted);
  EXPECT_EQ(d->params->BMP_Compression, ioBMP_RLE);
  EXPECT_EQ(Row(d->bitmap, 1), (std::vector<TRGB>{kRed, kGreen, kRed, kGreen, kRed, kBlack}));
  EXPECT_EQ(Row(d->bitmap, 0), (std::vector<TRGB>{kBlue, kWhite, pal[5], kBlack, kBlack, pal[6]}));
}

TEST(BmpCodec, Rle8DeltaContinuesToTheRightOfWhereItWasMet) {
  // 5 x 3: run of 2 x index 1, delta (1 right, 1 up), run of 1 x index 2, end.
  const Bytes data{2, 1, 0, 2, 1, 1, 1, 2, 0, 1};
  auto d = Decode(MakeBmp(5, 3, 8, 1, {kBlack, kRed, kGreen}, data));
  ASSERT_FALSE(d->aborted);
  EXPECT_EQ(Row(d->bitmap, 2), (std::vector<TRGB>{kRed, kRed, kBlack, kBlack, kBlack}));
  EXPECT_EQ(Row(d->bitmap, 1), (std::vector<TRGB>{kBlack, kBlack, kBlack, kGreen, kBlack}));
}

TEST(BmpCodec, BitFields565GiveFullEightBitRanges) {
  Bytes header(12, 0);
  Le32(header, 0, 0xF800);
  Le32(header, 4, 0x07E0);
  Le32(header, 8, 0x001F);
  const Bytes pixels{0x00, 0xF8, 0xE0, 0x07, 0x1F, 0x00, 0, 0};  // red, green, blue
  Bytes f = MakeBmp(3, 1, 16, 3, {}, pixels);
  f.insert(f.begin() + 54, header.begin(), header.end());
  Le32(f, 10, 54 + 12);
  auto d = Decode(f);
  ASSERT_FALSE(d->aborted);
  EXPECT_EQ(d->params->BitsPerSample, 5);
  EXPECT_EQ(Row(d->bitmap, 0), (std::vector<TRGB>{Rgb(248, 0, 0), Rgb(0, 252, 0), Rgb(0, 0, 248)}));
}

TEST(BmpCodec, PaletteIndexesPastTheColourTableReadAsBlack) {
  // Colours used 2, pixel indexes 1 and 200 (uncompressed) and 250 (RLE8).
  auto d = Decode(MakeBmp(2, 1, 8, 0, {kRed, kGreen}, {1, 200, 0, 0}));
  ASSERT_FALSE(d->aborted);
  EXPECT_EQ(d->params->ColorMapCount, 2);
  EXPECT_EQ(Row(d->bitmap, 0), (std::vector<TRGB>{kGreen, kBlack}));
  auto r = Decode(MakeBmp(2, 1, 8, 1, {kRed, kGreen}, {2, 250, 0, 1}));
  ASSERT_FALSE(r->aborted);
  EXPECT_EQ(Row(r->bitmap, 0), (std::vector<TRGB>{kBlack, kBlack}));
}

TEST(BmpCodec, RleRunsPastTheRowOrImageAreClipped) {
  // Run of 255 in a 4-pixel row, absolute run of 6 past the row end, delta far above.
  const Bytes data{255, 1, 0, 0, 0, 6, 2, 2, 2, 2, 2, 2, 0, 2, 200, 200, 9, 1, 0, 1};
  auto d = Decode(MakeBmp(4, 2, 8, 1, {kBlack, kRed, kGreen}, data));
  ASSERT_FALSE(d->aborted);
  EXPECT_EQ(Row(d->bitmap, 1), (std::vector<TRGB>(4, kRed)));
  EXPECT_EQ(Row(d->bitmap, 0), (std::vector<TRGB>(4, kGreen)));
}

TEST(BmpCodec, NegativeHeightReadsTopDown) {
  // 1 x 2, 24 bits, rows stored top first.
  auto d = Decode(MakeBmp(1, -2, 24, 0, {}, {0, 0, 255, 0, 0, 255, 0, 0}));
  ASSERT_FALSE(d->aborted);
  EXPECT_EQ(d->params->Height, 2);
  EXPECT_EQ(Row(d->bitmap, 0), (std::vector<TRGB>{kRed}));
  EXPECT_EQ(Row(d->bitmap, 1), (std::vector<TRGB>{kGreen}));
}

// A stream that takes only the first limit bytes written to it.
class ShortStream : public TMemoryStream {
 public:
  explicit ShortStream(Int64 limit) : limit_(limit) {}
  Integer Write(const void* buffer, Integer count) override {
    const Int64 room = std::max<Int64>(0, limit_ - GetPosition());
    return TMemoryStream::Write(buffer, static_cast<Integer>(std::min<Int64>(count, room)));
  }

 private:
  Int64 limit_;
};

TEST(BmpCodec, ShortWritesSetTheAbortFlag) {
  TIEBitmap src;
  src.Allocate(20, 10, ie24RGB);
  for (const Int64 limit : {Int64{0}, Int64{10}, Int64{60}, Int64{300}}) {
    SCOPED_TRACE(limit);
    ShortStream s(limit);
    TIOParamsVals params(nullptr);
    bool aborted = false;
    TProgressRec progress;
    progress.Aborting = &aborted;
    BMPWriteStream(&s, &src, params, progress);
    EXPECT_TRUE(aborted);
  }
}

TEST(BmpCodec, PreviewFillsParamsAndLeavesTheBitmap) {
  auto d = Decode(MakeBmp(2, 3, 8, 0, {kRed, kGreen}, Bytes(12, 1)), true);
  ASSERT_FALSE(d->aborted);
  EXPECT_EQ(d->params->Width, 2);
  EXPECT_EQ(d->params->Height, 3);
  EXPECT_EQ(d->params->ColorMapCount, 2);
  EXPECT_EQ(d->bitmap.GetWidth(), 0);
}

// ---------------------------------------------------------------------------
// Hostile files

TEST(BmpCodec, TruncatedFilesEndInTheAbortFlag) {
  const Bytes rgb = MakeBmp(3, 2, 24, 0, {}, Bytes(24, 7));
  const Bytes rle = MakeBmp(4, 2, 8, 1, {kRed}, {4, 0, 0, 0, 4, 0, 0, 1});
  for (const Bytes* full : {&rgb, &rle}) {
    ASSERT_FALSE(Decode(*full)->aborted);
    for (size_t len = 0; len < full->size(); ++len) {
      SCOPED_TRACE(len);
      const Bytes cut(full->begin(), full->begin() + static_cast<std::ptrdiff_t>(len));
      EXPECT_TRUE(Decode(cut)->aborted);
    }
  }
}

struct Hostile {
  const char* name;
  size_t at;
  uint32_t value;
};

TEST(BmpCodec, HostileHeadersEndInTheAbortFlag) {
  const Bytes good = MakeBmp(3, 2, 8, 0, {kRed, kGreen}, Bytes(8, 1));
  const Hostile cases[] = {
      {"not BM", 0, 0x4D42 + 1},
      {"header size 0", 14, 0},
      {"header size 5", 14, 5},
      {"header size huge", 14, 0x7FFFFFF0},
      {"width 0", 18, 0},
      {"width negative", 18, 0x80000000},
      {"height 0", 22, 0},
      {"huge image", 18, 0x100000},
      {"height most negative", 22, 0x80000000},
      {"bits 7", 28, 7},
      {"bits 0", 28, 0},
      {"compression 4", 30, 4},
      {"rle8 with 4 bits", 28, 4},
      {"offset past the end", 10, 0x7FFFFFFF},
      {"offset wraps", 10, 0xFFFFFFF0},
      {"256 colours used, palette past the end", 46, 256},
  };
  for (const Hostile& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes f = good;
    if (c.at == 0) {
      f[0] = 'B';
      f[1] = 'N';
    } else {
      Le32(f, c.at, c.value);
    }
    if (std::string(c.name) == "rle8 with 4 bits") Le32(f, 30, 1);
    if (std::string(c.name) == "huge image") Le32(f, 22, 0x100000);
    EXPECT_TRUE(Decode(f)->aborted);
  }
  Bytes oneBitRle = MakeBmp(8, 1, 1, 1, {kBlack, kWhite}, {8, 1, 0, 1});
  EXPECT_TRUE(Decode(oneBitRle)->aborted);
  Bytes noEnd = MakeBmp(4, 3, 8, 1, {kRed}, {4, 0, 0, 0});
  EXPECT_TRUE(Decode(noEnd)->aborted);
}

TEST(BmpCodec, NotBmpLeavesParamsAndBitmapUnchanged) {
  Bytes f = MakeBmp(3, 2, 8, 0, {kRed}, Bytes(8, 0));
  f[0] = 'X';
  auto d = Decode(f);
  EXPECT_TRUE(d->aborted);
  EXPECT_EQ(d->params->Width, 0);
  EXPECT_EQ(d->bitmap.GetWidth(), 0);
}

}  // namespace
