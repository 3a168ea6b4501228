// Palette reduction through the quantizer, the nearest palette entry, logical
// palettes and the one-row bit-depth converter.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <vector>

#include "image/formats/neurquant.h"
#include "tests/image/proc_test_util.h"

using namespace proctest;

namespace {

// A smooth picture with thousands of colours.
std::unique_ptr<TIEBitmap> Photo(Integer width, Integer height) {
  auto b = std::make_unique<TIEBitmap>();
  b->Allocate(width, height, ie24RGB);
  for (Integer y = 0; y < height; ++y)
    for (Integer x = 0; x < width; ++x)
      b->SetPixels_ie24RGB(x, y, CreateRGB(static_cast<Byte>(x * 255 / (width - 1)), static_cast<Byte>(y * 255 / (height - 1)),
                                           static_cast<Byte>((x * y) % 256)));
  return b;
}

std::unique_ptr<TIEBitmap> Copy(TIEBitmap& b) {
  auto c = std::make_unique<TIEBitmap>();
  c->Assign(&b);
  return c;
}

DWORD Key(TRGB c) { return (DWORD{c.r} << 16) | (DWORD{c.g} << 8) | c.b; }

std::set<DWORD> Colours(TIEBitmap& b) {
  std::set<DWORD> out;
  for (Integer y = 0; y < b.GetHeight(); ++y)
    for (Integer x = 0; x < b.GetWidth(); ++x) out.insert(Key(b.GetPixels_ie24RGB(x, y)));
  return out;
}

}  // namespace

TEST(ProcPalette, ConvertToExMapsEachPixelToItsQuantizerEntry) {
  // Below 128 colours the median cut chooses, from 128 the network; 300 is past the
  // 256 of an 8-bit palette but the quantizer takes it.
  for (Integer n : {3, 16, 200, 300}) {
    SCOPED_TRACE(n);
    auto image = Photo(64, 48);
    auto original = Copy(*image);
    std::vector<TRGB> palette(static_cast<size_t>(n));
    std::vector<Integer> reports;
    _ConvertToEx(image.get(), n, palette.data(), [&](TObject*, Integer p) { reports.push_back(p); }, nullptr);
    ASSERT_EQ(image->GetPixelFormat(), ie24RGB);
    const auto colours = Colours(*image);
    EXPECT_LE(colours.size(), static_cast<size_t>(n));
    EXPECT_GE(colours.size(), 2u);

    // The same quantizer on the original says where each pixel goes.
    std::vector<TRGB> again(static_cast<size_t>(n));
    const TIEQuantizer quantizer(original.get(), again, n, -1, 0);
    EXPECT_EQ(again, palette);
    for (Integer y = 0; y < 48; ++y)
      for (Integer x = 0; x < 64; ++x)
        ASSERT_EQ(image->GetPixels_ie24RGB(x, y),
                  palette[static_cast<size_t>(quantizer.GetRGBIndex(original->GetPixels_ie24RGB(x, y)))])
            << x << "," << y;
    // trunc(100 / (height + 0.5) x rows done): 48 reports, the last 98.
    ASSERT_EQ(reports.size(), 48u);
    EXPECT_EQ(reports.front(), 2);
    EXPECT_EQ(reports.back(), 98);
  }
}

TEST(ProcPalette, ConvertToExKeepsAnImageThatAlreadyFits) {
  const Palette colors{{'a', CreateRGB(1, 2, 3)},   {'b', CreateRGB(200, 0, 0)}, {'c', CreateRGB(0, 90, 0)},
                       {'d', CreateRGB(7, 7, 250)}, {'e', CreateRGB(255, 255, 255)}};
  const Art art{"abcde", "edcba", "aaaaa"};
  auto image = Make24(art, colors);
  std::vector<TRGB> palette(8, CreateRGB(9, 9, 9));
  _ConvertToEx(image.get(), 8, palette.data(), nullptr, nullptr);
  EXPECT_ART(Read24(*image, colors), art);
  // The exact list in first-seen order; the entries above it are left alone.
  EXPECT_EQ(palette[0], colors.at('a'));
  EXPECT_EQ(palette[4], colors.at('e'));
  EXPECT_EQ(palette[5], CreateRGB(9, 9, 9));

  // Without a palette of the caller's, and with nothing to do.
  auto image2 = Photo(16, 16);
  _ConvertToEx(image2.get(), 4, nullptr, nullptr, nullptr);
  EXPECT_LE(Colours(*image2).size(), 4u);
  auto gray = Make8({"ab"}, ie8g);
  _ConvertToEx(gray.get(), 4, nullptr, nullptr, nullptr);
  EXPECT_ART(Read8(*gray), (Art{"ab"}));
  auto zero = Make24(art, colors);
  _ConvertToEx(zero.get(), 0, nullptr, nullptr, nullptr);
  EXPECT_ART(Read24(*zero, colors), art);
}

TEST(ProcPalette, GetSimilColorTakesTheFirstNearestBySumOfDifferences) {
  const TRGB palette[] = {CreateRGB(100, 0, 0), CreateRGB(40, 40, 40), CreateRGB(0, 0, 100),
                          CreateRGB(255, 255, 255)};
  struct Case {
    Integer count;
    TRGB color;
    Integer expected;
  };
  const Case cases[] = {
      // 100 by sum against 120, although the second is nearer in space
      {4, CreateRGB(0, 0, 0), 0},
      {4, CreateRGB(80, 0, 80), 0},  // a tie between 0 and 2: the lower index
      {4, CreateRGB(250, 250, 250), 3},
      {3, CreateRGB(250, 250, 250), 1},  // only the first three are looked at
      {0, CreateRGB(0, 0, 100), 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.count);
    EXPECT_EQ(_GetSimilColor(palette, c.count, c.color), c.expected);
  }
}

TEST(ProcPalette, CreateWinPaletteHoldsTheEntries) {
  std::vector<TRGB> colours;
  for (Integer i = 0; i < 300; ++i) colours.push_back(CreateRGB(static_cast<Byte>(i), 7, static_cast<Byte>(255 - i % 256)));
  const HPALETTE small = _CreateWinPalette(colours.data(), 3);
  ASSERT_NE(small, 0u);
  PALETTEENTRY entries[256];
  EXPECT_EQ(GetPaletteEntries(small, 0, 256, entries), 3u);
  EXPECT_EQ(entries[2].peRed, 2);
  EXPECT_EQ(entries[2].peGreen, 7);
  EXPECT_EQ(entries[2].peBlue, 253);
  EXPECT_EQ(entries[2].peFlags, 0);
  DeleteObject(small);
  const HPALETTE large = _CreateWinPalette(colours.data(), 300);  // at most 256
  ASSERT_NE(large, 0u);
  EXPECT_EQ(GetPaletteEntries(large, 0, 256, entries), 256u);
  EXPECT_EQ(entries[255].peRed, 255);
  DeleteObject(large);
}

TEST(ProcPalette, ConvertXBitsToYBitsConvertsOneRow) {
  const TRGB a = CreateRGB(10, 20, 30), b = CreateRGB(40, 50, 60), c = CreateRGB(70, 80, 90);
  // Exact list quantizer: a 0, b 1, c 2.
  auto source = Make24({"abacb"}, {{'a', a}, {'b', b}, {'c', c}});
  std::vector<TRGB> qpal(16);
  const TIEQuantizer quantizer(source.get(), qpal, 16, -1, 0);
  const Byte* row24 = static_cast<const Byte*>(source->GetScanLine(0));
  const std::vector<TRGB> blackWhite{CreateRGB(0, 0, 0), CreateRGB(255, 255, 255)};
  const std::vector<TRGB> four{a, b, c, CreateRGB(1, 1, 1)};

  using Bytes = std::vector<Byte>;
  const auto bytesOf = [](std::initializer_list<TRGB> px) {
    Bytes out;
    for (const TRGB& p : px) {
      out.push_back(p.b);
      out.push_back(p.g);
      out.push_back(p.r);
    }
    return out;
  };
  const Bytes row32{10, 11, 12, 99, 20, 21, 22, 99, 30, 31, 32, 99, 40, 41, 42, 99, 50, 51, 52, 99};
  const TRGB W = CreateRGB(255, 255, 255), K = CreateRGB(0, 0, 0);
  struct Case {
    const char* name;
    Bytes src;
    Word srcBits, dstBits, width;
    std::vector<TRGB> palette;
    Bytes expected;  // the destination's first bytes (it starts as 0xEE, or 0 for the OR-ing pairs)
    Integer result;
  };
  const Bytes src24(row24, row24 + 15);
  const Case cases[] = {
      {"24 -> 8", src24, 24, 8, 5, {}, {0, 1, 0, 2, 1}, 5},
      {"24 -> 4", src24, 24, 4, 5, {}, {0x01, 0x02, 0x10}, 3},
      {"24 -> 24", src24, 24, 24, 5, {}, src24, 15},
      {"32 -> 24", row32, 32, 24, 5, {}, {10, 11, 12, 20, 21, 22, 30, 31, 32, 40, 41, 42, 50, 51, 52}, 15},
      {"8 -> 1", {1, 0, 1, 1, 0, 0, 0, 0, 1}, 8, 1, 9, {}, {0xB0, 0x80}, 2},
      {"8 -> 8", {5, 6, 7}, 8, 8, 3, {}, {5, 6, 7}, 3},
      {"8 -> 24", {2, 0, 9}, 8, 24, 3, four, bytesOf({c, a, K}), 9},  // 9 is past the palette
      {"1 -> 1", {0xB5, 0xC0}, 1, 1, 10, {}, {0xB5, 0xC0}, 2},
      {"1 -> 4", {0xB0}, 1, 4, 5, {}, {0x10, 0x11, 0x00}, 3},
      {"1 -> 8", {0xB0}, 1, 8, 5, {}, {1, 0, 1, 1, 0}, 5},
      {"1 -> 24", {0xA0}, 1, 24, 3, blackWhite, bytesOf({W, K, W}), 9},
      {"4 -> 4", {0x12, 0x34, 0x50}, 4, 4, 5, {}, {0x12, 0x34, 0x50}, 3},
      {"4 -> 8", {0x12, 0x34, 0x5F}, 4, 8, 5, {}, {1, 2, 3, 4, 5}, 5},
      {"4 -> 24", {0x20, 0x30}, 4, 24, 3, four, bytesOf({c, a, CreateRGB(1, 1, 1)}), 9},
      {"24 -> 1 writes nothing", src24, 24, 1, 5, {}, {0xEE}, 1},
      {"16 -> 24 writes nothing", {1, 2, 3, 4}, 16, 24, 2, {}, {0xEE, 0xEE}, 6},
      {"8 -> 32 is no destination", {1, 2}, 8, 32, 2, {}, {0xEE}, 0},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    const bool ors = k.dstBits == 4;
    Bytes dst(64, ors ? 0x00 : 0xEE);
    EXPECT_EQ(_ConvertXBitsToYBits(k.src.data(), dst.data(), k.srcBits, k.dstBits, k.width, k.palette,
                                   &quantizer),
              k.result);
    EXPECT_EQ(Bytes(dst.begin(), dst.begin() + static_cast<std::ptrdiff_t>(k.expected.size())), k.expected);
    // Nothing past the destination row is written.
    const size_t end = std::max(k.expected.size(), static_cast<size_t>(k.result));
    for (size_t i = end; i < dst.size(); ++i) ASSERT_EQ(dst[i], ors ? 0x00 : 0xEE) << i;
  }
  // Nibbles are OR-ed into what the destination holds.
  Bytes dst{0x80, 0x08, 0x00};
  _ConvertXBitsToYBits(Bytes{0xB0}.data(), dst.data(), 1, 4, 5, {}, nullptr);
  EXPECT_EQ(dst, (Bytes{0x90, 0x19, 0x00}));
}
