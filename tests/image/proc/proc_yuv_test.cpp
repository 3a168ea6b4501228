// YUV video frames: the BT.601 conversion, the packed and planar layouts, and YUV
// DIBs read through the packed-DIB reader.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <sstream>
#include <vector>

#include "tests/image/proc_test_util.h"

using namespace proctest;

namespace {

using Bytes = std::vector<Byte>;
using Converter = bool (*)(const Byte*, TIEBaseBitmap*, bool, Int64);

std::string Str(TRGB c) {
  return "(" + std::to_string(c.r) + "," + std::to_string(c.g) + "," + std::to_string(c.b) + ")";
}

// The formula, written out here: video-range BT.601, rounded to nearest, limited.
TRGB Expected(Integer y, Integer u, Integer v) {
  const auto lim = [](double x) { return static_cast<Byte>(std::clamp(std::nearbyint(x), 0.0, 255.0)); };
  const double d = (y - 16) * 1.164;
  return CreateRGB(lim(d + 1.596 * (v - 128)), lim(d - 0.813 * (v - 128) - 0.391 * (u - 128)),
                   lim(d + 2.018 * (u - 128)));
}

// Deterministic bytes in 16..240.
Bytes Frame(size_t n, unsigned seed) {
  Bytes out(n);
  for (auto& b : out) {
    seed = seed * 1103515245u + 12345u;
    b = static_cast<Byte>(16 + (seed >> 16) % 225);
  }
  return out;
}

// A packed layout as its byte names, e.g. "U Y0 Y1 V Y2 Y3".
struct PackedLayout {
  const char* name;
  Converter convert;
  const char* bytes;
  Integer pixels;
};

Integer IndexOf(const std::vector<std::string>& names, const std::string& name) {
  const auto it = std::find(names.begin(), names.end(), name);
  return it == names.end() ? -1 : static_cast<Integer>(it - names.begin());
}

// Samples of pixel n of a group, read by the names: Yn (or Ya / Yb for pairs), U and
// V, or U0 / V0 for pixels 0-3 and U4 / V4 for 4-7.
TRGB PixelOf(const PackedLayout& l, const Byte* group, Integer n) {
  std::istringstream in(l.bytes);
  std::vector<std::string> names;
  for (std::string s; in >> s;) names.push_back(s);
  Integer y = IndexOf(names, "Y" + std::to_string(n));
  if (y < 0) y = IndexOf(names, n < 2 ? "Ya" : "Yb");
  if (y < 0) y = IndexOf(names, "Y");
  Integer u = IndexOf(names, "U"), v = IndexOf(names, "V");
  if (u < 0) u = IndexOf(names, n < 4 ? "U0" : "U4");
  if (v < 0) v = IndexOf(names, n < 4 ? "V0" : "V4");
  return Expected(group[y], group[u], group[v]);
}

const PackedLayout kPacked[] = {
    {"IYU1", _CopyIYU1ToBitmap, "U Y0 Y1 V Y2 Y3", 4},
    {"IYU2", _CopyIYU2ToBitmap, "U Y V", 1},
    {"UYVY", _CopyUYVYToBitmap, "U Y0 V Y1", 2},
    {"YUY2", _CopyYUY2ToBitmap, "Y0 U Y1 V", 2},
    {"YVYU", _CopyYVYUToBitmap, "Y0 V Y1 U", 2},
    {"Y41P", _CopyY41PToBitmap, "U0 Y0 V0 Y1 U4 Y2 V4 Y3 Y4 Y5 Y6 Y7", 8},
    {"Y211", _CopyY211ToBitmap, "Ya U Yb V", 4},
};

Integer GroupBytes(const PackedLayout& l) {
  std::istringstream in(l.bytes);
  Integer n = 0;
  for (std::string s; in >> s;) ++n;
  return n;
}

std::unique_ptr<TIEBitmap> Dest(Integer width, Integer height) {
  auto b = std::make_unique<TIEBitmap>();
  b->Allocate(width, height, ie24RGB);
  b->Fill(0x5A);
  return b;
}

}  // namespace

TEST(ProcYUV, YUV2RGBFollowsTheVideoRangeFormula) {
  TRGB c{};
  YUV2RGB(16, 128, 128, c);
  EXPECT_EQ(Str(c), Str(CreateRGB(0, 0, 0)));
  YUV2RGB(235, 128, 128, c);
  EXPECT_EQ(Str(c), Str(CreateRGB(255, 255, 255)));
  YUV2RGB(81, 90, 240, c);  // about red: 75.66 + 178.75, 75.66 - 91.06 + 14.86, 75.66 - 76.68
  EXPECT_EQ(Str(c), Str(CreateRGB(254, 0, 0)));
  YUV2RGB(-1000, 5000, -5000, c);  // far outside: limited, no overflow
  EXPECT_EQ(Str(c), Str(Expected(-1000, 5000, -5000)));
  for (Integer y = 0; y < 256; y += 3)
    for (Integer u = 0; u < 256; u += 5)
      for (Integer v = 0; v < 256; v += 7) {
        YUV2RGB(y, u, v, c);
        ASSERT_EQ(Str(c), Str(Expected(y, u, v))) << y << "," << u << "," << v;
      }
}

TEST(ProcYUV, PackedLayoutsPlaceEverySample) {
  for (const PackedLayout& l : kPacked) {
    const Integer groupBytes = GroupBytes(l);
    // Two whole groups per row, and a width with a partial last group (IYU2 has
    // none: 3 pixels of one byte group each).
    for (Integer width : {2 * l.pixels, l.pixels + 1, 3}) {
      const Integer groups = (width + l.pixels - 1) / l.pixels;
      const Integer height = 3;
      const size_t rowBytes = static_cast<size_t>(groups * groupBytes);
      const Bytes frame = Frame(rowBytes * height, static_cast<unsigned>(width * 31 + groupBytes));
      for (bool topDown : {true, false}) {
        SCOPED_TRACE(std::string(l.name) + " width " + std::to_string(width) + (topDown ? " top-down" : " bottom-up"));
        auto dest = Dest(width, height);
        // On the heap at its exact size, so that a read past the frame is caught.
        const auto exact = std::make_unique<Byte[]>(frame.size());
        std::memcpy(exact.get(), frame.data(), frame.size());
        ASSERT_TRUE(l.convert(exact.get(), dest.get(), topDown, static_cast<Int64>(frame.size())));
        for (Integer k = 0; k < height; ++k) {
          const Integer row = topDown ? k : height - 1 - k;
          for (Integer x = 0; x < width; ++x) {
            const Byte* group = frame.data() + rowBytes * static_cast<size_t>(k) +
                                static_cast<size_t>(x / l.pixels * groupBytes);
            ASSERT_EQ(Str(dest->GetPixels_ie24RGB(x, row)), Str(PixelOf(l, group, x % l.pixels)))
                << "pixel " << x << " of source row " << k;
          }
        }
      }
    }
  }
}

TEST(ProcYUV, SmallFramesOfTheEdgeCases) {
  // A 4 x 2 YUY2 frame of 16 bytes fills all eight pixels.
  const Bytes yuy2{16, 128, 235, 128, 81, 90, 81, 240, 235, 128, 16, 128, 126, 128, 126, 128};
  auto dest = Dest(4, 2);
  ASSERT_TRUE(_CopyYUY2ToBitmap(yuy2.data(), dest.get(), true, 16));
  EXPECT_EQ(Str(dest->GetPixels_ie24RGB(0, 0)), Str(CreateRGB(0, 0, 0)));
  EXPECT_EQ(Str(dest->GetPixels_ie24RGB(1, 0)), Str(CreateRGB(255, 255, 255)));
  EXPECT_EQ(Str(dest->GetPixels_ie24RGB(2, 0)), Str(CreateRGB(254, 0, 0)));
  EXPECT_EQ(Str(dest->GetPixels_ie24RGB(0, 1)), Str(CreateRGB(255, 255, 255)));
  EXPECT_EQ(Str(dest->GetPixels_ie24RGB(3, 1)), Str(Expected(126, 128, 128)));

  // A 3-pixel-wide IYU2 frame stays aligned on the next row.
  const Bytes iyu2{128, 16, 128, 128, 235, 128, 128, 16, 128, /* row 2 */ 128, 235, 128, 128, 16, 128, 128, 235, 128};
  auto three = Dest(3, 2);
  ASSERT_TRUE(_CopyIYU2ToBitmap(iyu2.data(), three.get(), true, 18));
  EXPECT_ART(Read24(*three, {{'k', CreateRGB(0, 0, 0)}, {'w', CreateRGB(255, 255, 255)}}),
             (Art{"kwk", "wkw"}));
}

TEST(ProcYUV, CLJRFieldsGoToTheConversionAtTheirOwnScale) {
  // V 0x25, U 0x1A, lumas 3, 17, 30, 9 packed into one little-endian word.
  const DWORD word = 0x25u | (0x1Au << 6) | (3u << 12) | (17u << 17) | (30u << 22) | (9u << 27);
  const Bytes frame{static_cast<Byte>(word), static_cast<Byte>(word >> 8), static_cast<Byte>(word >> 16),
                    static_cast<Byte>(word >> 24)};
  auto dest = Dest(4, 1);
  ASSERT_TRUE(_CopyCLJRToBitmap(frame.data(), dest.get(), true, 4));
  const Integer lumas[4] = {3, 17, 30, 9};
  for (Integer x = 0; x < 4; ++x)
    EXPECT_EQ(Str(dest->GetPixels_ie24RGB(x, 0)), Str(Expected(lumas[x], 0x1A, 0x25))) << x;
}

TEST(ProcYUV, PlanarLayoutsShareChromaOverBlocks) {
  struct Layout {
    const char* name;
    Converter convert;
    Integer sub;
    bool uFirst;
  };
  const Layout layouts[] = {{"I420", _CopyI420ToBitmap, 2, true},
                            {"YV12", _CopyYV12ToBitmap, 2, false},
                            {"YVU9", _CopyYVU9ToBitmap, 4, false}};
  for (const Layout& l : layouts) {
    // Whole blocks, and odd sizes whose last column and row repeat the last chroma
    // sample (or, below one block, carry no colour).
    for (const auto& [width, height] : {std::pair{8, 8}, std::pair{7, 5}, std::pair{3, 3}}) {
      const Integer cw = width / l.sub, ch = height / l.sub;
      const size_t luma = static_cast<size_t>(width * height), chroma = static_cast<size_t>(cw * ch);
      const Bytes frame = Frame(luma + 2 * chroma, static_cast<unsigned>(width + l.sub));
      const Byte* first = frame.data() + luma;
      const Byte* uPlane = l.uFirst ? first : first + chroma;
      const Byte* vPlane = l.uFirst ? first + chroma : first;
      for (bool topDown : {true, false}) {
        SCOPED_TRACE(std::string(l.name) + " " + std::to_string(width) + "x" + std::to_string(height) +
                     (topDown ? " top-down" : " bottom-up"));
        auto dest = Dest(width, height);
        const auto exact = std::make_unique<Byte[]>(frame.size());
        std::memcpy(exact.get(), frame.data(), frame.size());
        ASSERT_TRUE(l.convert(exact.get(), dest.get(), topDown, static_cast<Int64>(frame.size())));
        for (Integer k = 0; k < height; ++k)
          for (Integer x = 0; x < width; ++x) {
            Integer u = 128, v = 128;
            if (chroma > 0) {
              const size_t c = static_cast<size_t>(std::min(k / l.sub, ch - 1) * cw + std::min(x / l.sub, cw - 1));
              u = uPlane[c];
              v = vPlane[c];
            }
            const TRGB expected = Expected(frame[static_cast<size_t>(k * width + x)], u, v);
            ASSERT_EQ(Str(dest->GetPixels_ie24RGB(x, topDown ? k : height - 1 - k)), Str(expected))
                << x << "," << k;
          }
      }
    }
  }
}

TEST(ProcYUV, ShortFramesAndUnsuitableStoresConvertNothing) {
  struct Case {
    const char* name;
    Converter convert;
    Int64 needed;  // bytes of a 6 x 4 frame
  };
  const Case cases[] = {
      {"IYU1", _CopyIYU1ToBitmap, 2 * 6 * 4},  {"IYU2", _CopyIYU2ToBitmap, 18 * 4},
      {"UYVY", _CopyUYVYToBitmap, 12 * 4},     {"YUY2", _CopyYUY2ToBitmap, 12 * 4},
      {"YVYU", _CopyYVYUToBitmap, 12 * 4},     {"Y41P", _CopyY41PToBitmap, 12 * 4},
      {"Y211", _CopyY211ToBitmap, 8 * 4},      {"CLJR", _CopyCLJRToBitmap, 8 * 4},
      {"YVU9", _CopyYVU9ToBitmap, 24 + 2 * 1}, {"YV12", _CopyYV12ToBitmap, 24 + 2 * 6},
      {"I420", _CopyI420ToBitmap, 24 + 2 * 6},
  };
  const Bytes frame = Frame(200, 7);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto dest = Dest(6, 4);
    const TRGB before = dest->GetPixels_ie24RGB(5, 3);
    EXPECT_FALSE(c.convert(frame.data(), dest.get(), true, c.needed - 1));
    EXPECT_EQ(dest->GetPixels_ie24RGB(5, 3), before);
    EXPECT_TRUE(c.convert(frame.data(), dest.get(), true, c.needed));
    EXPECT_FALSE(c.convert(nullptr, dest.get(), true, -1));
    EXPECT_FALSE(c.convert(frame.data(), nullptr, true, -1));
    auto gray = Make8({"ab"}, ie8g);
    EXPECT_FALSE(c.convert(frame.data(), gray.get(), true, -1));
    EXPECT_ART(Read8(*gray), (Art{"ab"}));
  }
}

namespace {

// A packed DIB: the 40-byte header and the frame after it.
Bytes YuvDib(const char fourcc[4], Integer width, Integer height, WORD bits, const Bytes& frame) {
  BITMAPINFOHEADER h{};
  h.biSize = 40;
  h.biWidth = width;
  h.biHeight = height;
  h.biPlanes = 1;
  h.biBitCount = bits;
  std::memcpy(&h.biCompression, fourcc, 4);
  Bytes out(sizeof h);
  std::memcpy(out.data(), &h, sizeof h);
  out.insert(out.end(), frame.begin(), frame.end());
  return out;
}

}  // namespace

TEST(ProcYUV, DibReaderConvertsYuvFrames) {
  struct Case {
    const char* fourcc;
    Integer height;  // sign as in the header
    WORD bits;
    Converter convert;
    bool topDown;  // what the converter is told
  };
  // Most layouts are top-down for a positive height; Y41P and cyuv for a negative one.
  const Case cases[] = {
      {"YUY2", 2, 16, _CopyYUY2ToBitmap, true},  {"YUNV", -2, 16, _CopyYUY2ToBitmap, false},
      {"UYVY", 2, 16, _CopyUYVYToBitmap, true},  {"UYNV", 2, 16, _CopyUYVYToBitmap, true},
      {"cyuv", -2, 16, _CopyUYVYToBitmap, true}, {"YVYU", 2, 16, _CopyYVYUToBitmap, true},
      {"Y41P", 2, 12, _CopyY41PToBitmap, false}, {"Y41P", -2, 12, _CopyY41PToBitmap, true},
      {"IYU1", 2, 12, _CopyIYU1ToBitmap, true},  {"IYU2", 2, 24, _CopyIYU2ToBitmap, true},
      {"Y211", 2, 8, _CopyY211ToBitmap, true},   {"CLJR", 2, 8, _CopyCLJRToBitmap, true},
      {"I420", 2, 12, _CopyI420ToBitmap, true},  {"IYUV", 2, 12, _CopyI420ToBitmap, true},
      {"YV12", 2, 12, _CopyYV12ToBitmap, true},  {"YVU9", 2, 9, _CopyYVU9ToBitmap, true},
  };
  const Integer width = 8;
  const Bytes frame = Frame(64, 99);  // enough for every 8 x 2 layout
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.fourcc) + " height " + std::to_string(c.height));
    const Integer height = std::abs(c.height);
    auto expected = Dest(width, height);
    ASSERT_TRUE(c.convert(frame.data(), expected.get(), c.topDown, -1));
    const Bytes dib = YuvDib(c.fourcc, width, c.height, c.bits, frame);

    TIEBitmap store;
    EXPECT_EQ(_CopyDIB2BitmapEx(reinterpret_cast<uintptr_t>(dib.data()), &store, nullptr, true,
                                static_cast<Int64>(dib.size())),
              c.bits);
    ASSERT_EQ(store.GetPixelFormat(), ie24RGB);
    ASSERT_EQ(store.GetWidth(), width);
    ASSERT_EQ(store.GetHeight(), height);
    for (Integer y = 0; y < height; ++y)
      for (Integer x = 0; x < width; ++x)
        ASSERT_EQ(store.GetPixels_ie24RGB(x, y), expected->GetPixels_ie24RGB(x, y)) << x << "," << y;

    // The frame at a separate address, through a global memory handle.
    const Bytes header(dib.begin(), dib.begin() + 40);
    const HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE, header.size());
    std::memcpy(GlobalLock(mem), header.data(), header.size());
    GlobalUnlock(mem);
    TIEBitmap fromBits;
    EXPECT_EQ(_CopyDIB2BitmapEx(mem, &fromBits, frame.data(), false), c.bits);
    GlobalFree(mem);
    EXPECT_EQ(fromBits.GetPixels_ie24RGB(width - 1, height - 1), expected->GetPixels_ie24RGB(width - 1, height - 1));
  }
}

TEST(ProcYUV, DibReaderRefusesShortYuvFrames) {
  const Bytes frame = Frame(31, 3);  // a 8 x 2 YUY2 frame needs 32
  const Bytes dib = YuvDib("YUY2", 8, 2, 16, frame);
  // On the heap at its exact size, so that a read past it is caught.
  const HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE, dib.size());
  std::memcpy(GlobalLock(mem), dib.data(), dib.size());
  GlobalUnlock(mem);
  auto store = Make24({"x"}, {{'x', CreateRGB(9, 9, 9)}});
  EXPECT_EQ(_CopyDIB2BitmapEx(mem, store.get(), nullptr, false), 0);
  EXPECT_EQ(store->GetWidth(), 1);
  EXPECT_EQ(store->GetPixels_ie24RGB(0, 0), CreateRGB(9, 9, 9));
  GlobalFree(mem);
  // A zero height is refused too.
  const Bytes flat = YuvDib("YUY2", 8, 0, 16, Frame(64, 3));
  EXPECT_EQ(_CopyDIB2BitmapEx(reinterpret_cast<uintptr_t>(flat.data()), store.get(), nullptr, true,
                              static_cast<Int64>(flat.size())),
            0);
  EXPECT_EQ(store->GetWidth(), 1);
}
