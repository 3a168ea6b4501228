// Bit-run copies, framework bitmap copies and packed DIBs in both directions.
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "tests/image/proc_test_util.h"

using namespace proctest;

namespace {

// Bit i of a buffer, most significant bit first.
int BitAt(const std::vector<Byte>& v, int i) { return (v[static_cast<size_t>(i / 8)] >> (7 - i % 8)) & 1; }

// A packed DIB assembled by hand: header, colour table (or masks), rows bottom-up.
struct DibBuilder {
  BITMAPINFOHEADER header{};
  std::vector<RGBQUAD> colors;
  std::vector<DWORD> masks;
  std::vector<std::vector<Byte>> rowsTopDown;  // each padded by Bytes()

  DibBuilder(Integer width, Integer height, WORD bits) {
    header.biSize = 40;
    header.biWidth = width;
    header.biHeight = height;
    header.biPlanes = 1;
    header.biBitCount = bits;
  }
  Integer RowLen() const { return ((header.biWidth * header.biBitCount + 31) / 32) * 4; }
  std::vector<Byte> Bytes() const {
    std::vector<Byte> out(sizeof header);
    std::memcpy(out.data(), &header, sizeof header);
    for (DWORD m : masks) {
      const Byte* p = reinterpret_cast<const Byte*>(&m);
      out.insert(out.end(), p, p + 4);
    }
    for (const RGBQUAD& q : colors) out.insert(out.end(), {q.rgbBlue, q.rgbGreen, q.rgbRed, q.rgbReserved});
    for (auto it = rowsTopDown.rbegin(); it != rowsTopDown.rend(); ++it) {
      std::vector<Byte> row = *it;
      row.resize(static_cast<size_t>(RowLen()), 0);
      out.insert(out.end(), row.begin(), row.end());
    }
    return out;
  }
  HGLOBAL Global() const {
    const auto bytes = Bytes();
    const HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
    std::memcpy(GlobalLock(mem), bytes.data(), bytes.size());
    GlobalUnlock(mem);
    return mem;
  }
};

RGBQUAD Quad(Byte r, Byte g, Byte b) { return RGBQUAD{b, g, r, 0}; }

// The packed DIB behind a handle, copied out.
std::vector<Byte> DibBytes(HGLOBAL mem) {
  const size_t size = GlobalSize(mem);
  std::vector<Byte> out(size);
  std::memcpy(out.data(), GlobalLock(mem), size);
  GlobalUnlock(mem);
  return out;
}

const BITMAPINFOHEADER& HeaderOf(const std::vector<Byte>& dib) {
  return *reinterpret_cast<const BITMAPINFOHEADER*>(dib.data());
}

}  // namespace

TEST(ProcCopy, CopyBitsWorkedCases) {
  std::vector<Byte> dest{0, 0};
  const Byte src[] = {0x3C};
  _CopyBits(dest.data(), src, 6, 2, 4, 1);
  EXPECT_EQ(dest, (std::vector<Byte>{0x03, 0xC0}));
  dest = {0xFF, 0xFF};
  const Byte zero[] = {0x00};
  _CopyBits(dest.data(), zero, 6, 0, 4, 1);
  EXPECT_EQ(dest, (std::vector<Byte>{0xFC, 0x3F}));
  // Nothing for an empty run or a negative offset.
  _CopyBits(dest.data(), src, 0, 0, 0, 1);
  _CopyBits(dest.data(), src, -1, 0, 4, 1);
  _CopyBits(dest.data(), src, 0, -1, 4, 1);
  EXPECT_EQ(dest, (std::vector<Byte>{0xFC, 0x3F}));
}

TEST(ProcCopy, CopyBitsMatchesABitByBitCopy) {
  std::mt19937 random(7);
  for (int trial = 0; trial < 2000; ++trial) {
    const int srcBytes = 1 + static_cast<int>(random() % 9);
    const int srcOffset = static_cast<int>(random() % (srcBytes * 8));
    const int count = 1 + static_cast<int>(random() % (srcBytes * 8 - srcOffset));
    const int destOffset = static_cast<int>(random() % 20);
    // Exactly srcBytes bytes, so that reading past them is caught.
    std::vector<Byte> src(static_cast<size_t>(srcBytes));
    for (Byte& b : src) b = static_cast<Byte>(random());
    std::vector<Byte> dest(static_cast<size_t>((destOffset + count + 7) / 8 + 1));
    for (Byte& b : dest) b = static_cast<Byte>(random());
    std::vector<Byte> expected = dest;
    for (int i = 0; i < count; ++i) {
      const int bit = destOffset + i;
      const Byte mask = static_cast<Byte>(0x80 >> (bit % 8));
      expected[static_cast<size_t>(bit / 8)] = static_cast<Byte>(
          BitAt(src, srcOffset + i) ? expected[static_cast<size_t>(bit / 8)] | mask
                                    : expected[static_cast<size_t>(bit / 8)] & ~mask);
    }
    _CopyBits(dest.data(), src.data(), destOffset, srcOffset, count, srcBytes);
    ASSERT_EQ(dest, expected) << "src offset " << srcOffset << " count " << count << " dest offset " << destOffset;
  }
}

TEST(ProcCopy, CopyBitsReadsNoFurtherThanAllowed) {
  // Two bytes may be read; the run asks for 12 bits from bit 10, so its last 6 bits
  // come out as 0.
  std::vector<Byte> src{0xFF, 0xFF};
  std::vector<Byte> dest{0xFF, 0xFF};
  _CopyBits(dest.data(), src.data(), 0, 10, 12, 2);
  EXPECT_EQ(dest, (std::vector<Byte>{0xFC, 0x0F}));
}

namespace {

std::unique_ptr<TBitmap> Framework(TPixelFormat format, Integer width, Integer height) {
  auto b = std::make_unique<TBitmap>();
  b->SetPixelFormat(format);
  b->SetSize(width, height);
  return b;
}

std::vector<PALETTEENTRY> Entries(TBitmap& b) {
  const HPALETTE p = b.GetPalette();
  std::vector<PALETTEENTRY> out(GetPaletteEntries(p, 0, 0, nullptr));
  GetPaletteEntries(p, 0, static_cast<UINT>(out.size()), out.data());
  return out;
}

void SetColors(TBitmap& b, const std::vector<TRGB>& colors) {
  std::vector<Byte> buffer(sizeof(LOGPALETTE) + colors.size() * sizeof(PALETTEENTRY));
  auto* log = reinterpret_cast<LOGPALETTE*>(buffer.data());
  log->palNumEntries = static_cast<WORD>(colors.size());
  for (size_t i = 0; i < colors.size(); ++i) log->palPalEntry[i] = PALETTEENTRY{colors[i].r, colors[i].g, colors[i].b, 0};
  b.SetPalette(CreatePalette(log));
}

}  // namespace

TEST(ProcCopy, CopyBitmapTakesFormatSizePixelsAndColours) {
  TBitmap empty;
  empty.SetPixelFormat(pf8bit);
  TBitmap dest;
  IECopyBitmap(&empty, &dest);
  EXPECT_EQ(dest.GetWidth(), 1);
  EXPECT_EQ(dest.GetHeight(), 1);
  EXPECT_EQ(dest.GetPixelFormat(), pf8bit);

  auto rgb = Framework(pf24bit, 3, 2);
  static_cast<TRGB*>(rgb->ScanLine(1))[2] = CreateRGB(1, 2, 3);
  auto clone = IECloneBitmap(rgb.get());
  EXPECT_EQ(clone->GetPixelFormat(), pf24bit);
  EXPECT_EQ(clone->GetWidth(), 3);
  EXPECT_EQ(static_cast<TRGB*>(clone->ScanLine(1))[2], CreateRGB(1, 2, 3));

  // An indexed bitmap keeps its colours with its indexes.
  auto indexed = Framework(pf8bit, 2, 1);
  std::vector<TRGB> colors(256, CreateRGB(0, 0, 0));
  colors[7] = CreateRGB(10, 20, 30);
  SetColors(*indexed, colors);
  static_cast<Byte*>(indexed->ScanLine(0))[1] = 7;
  IECopyBitmap(indexed.get(), &dest);
  EXPECT_EQ(static_cast<Byte*>(dest.ScanLine(0))[1], 7);
  const auto entries = Entries(dest);
  ASSERT_GT(entries.size(), 7u);
  EXPECT_EQ(entries[7].peRed, 10);
  EXPECT_EQ(entries[7].peBlue, 30);
}

TEST(ProcCopy, CopyBitmapRectIsClippedToTheSource) {
  auto source = Framework(pf24bit, 4, 3);
  for (Integer y = 0; y < 3; ++y)
    for (Integer x = 0; x < 4; ++x) static_cast<TRGB*>(source->ScanLine(y))[x] = CreateRGB(Byte(x), Byte(y), 0);
  TBitmap dest;
  _CopyBitmapRect(source.get(), &dest, 1, 1, 0, 0);  // 0: up to the width and height
  ASSERT_EQ(dest.GetWidth(), 3);
  ASSERT_EQ(dest.GetHeight(), 2);
  EXPECT_EQ(static_cast<TRGB*>(dest.ScanLine(1))[2], CreateRGB(3, 2, 0));
  _CopyBitmapRect(source.get(), &dest, -5, 2, 100, 100);
  ASSERT_EQ(dest.GetWidth(), 4);
  ASSERT_EQ(dest.GetHeight(), 1);
  EXPECT_EQ(static_cast<TRGB*>(dest.ScanLine(0))[0], CreateRGB(0, 2, 0));

  auto bits = Framework(pf1bit, 11, 1);
  Byte* row = static_cast<Byte*>(bits->ScanLine(0));
  row[0] = 0x5A;  // .#.##.#. then ###
  row[1] = 0xE0;
  _CopyBitmapRect(bits.get(), &dest, 3, 0, 11, 1);
  EXPECT_EQ(dest.GetPixelFormat(), pf1bit);
  ASSERT_EQ(dest.GetWidth(), 8);
  EXPECT_EQ(static_cast<Byte*>(dest.ScanLine(0))[0], 0xD7);  // ##.#.###
}

TEST(ProcCopy, StoreToDibWritesRowsBottomUp) {
  auto image = Make24({"abc", "def"}, {{'a', CreateRGB(1, 0, 0)}, {'b', CreateRGB(2, 0, 0)}, {'c', CreateRGB(3, 0, 0)},
                                      {'d', CreateRGB(4, 0, 0)}, {'e', CreateRGB(5, 0, 0)}, {'f', CreateRGB(6, 0, 0)}});
  const HGLOBAL mem = _CopyBitmaptoDIBEx(image.get(), 0, 0, 0, 0);
  ASSERT_NE(mem, 0u);
  const auto dib = DibBytes(mem);
  GlobalFree(mem);
  EXPECT_EQ(dib.size(), 44u + 2 * 12);
  const auto& h = HeaderOf(dib);
  EXPECT_EQ(h.biSize, 40u);
  EXPECT_EQ(h.biWidth, 3);
  EXPECT_EQ(h.biHeight, 2);
  EXPECT_EQ(h.biBitCount, 24);
  EXPECT_EQ(h.biPlanes, 1);
  EXPECT_EQ(h.biCompression, BI_RGB);
  // Red is the third byte of a pixel; the bottom row (d e f) comes first.
  EXPECT_EQ(dib[40 + 2], 4);
  EXPECT_EQ(dib[40 + 8], 6);
  EXPECT_EQ(dib[40 + 9], 0);  // padding
  EXPECT_EQ(dib[40 + 12 + 2], 1);

  // A rectangle beyond the store is clipped: column 2 of row 1 only.
  const HGLOBAL part = _CopyBitmaptoDIBEx(image.get(), 2, 1, 50, 50);
  const auto small = DibBytes(part);
  GlobalFree(part);
  EXPECT_EQ(HeaderOf(small).biWidth, 1);
  EXPECT_EQ(HeaderOf(small).biHeight, 1);
  EXPECT_EQ(small[40 + 2], 6);
}

TEST(ProcCopy, OneBitStoreToDibHasABlackWhiteTable) {
  auto bits = Make1g({"#..#######", ".........#"});
  const HGLOBAL mem = _CopyBitmaptoDIBEx(bits.get(), 1, 0, 0, 0);
  const auto dib = DibBytes(mem);
  GlobalFree(mem);
  EXPECT_EQ(dib.size(), 52u + 2 * 4);
  EXPECT_EQ(HeaderOf(dib).biBitCount, 1);
  EXPECT_EQ(HeaderOf(dib).biWidth, 9);
  const Byte table[8] = {0, 0, 0, 0, 255, 255, 255, 255};
  EXPECT_EQ(std::memcmp(dib.data() + 40, table, 8), 0);
  EXPECT_EQ(dib[48], 0x00);  // bottom row from column 1: ........#
  EXPECT_EQ(dib[49], 0x80);
  EXPECT_EQ(dib[52], 0x3F);  // top row: ..#######
  EXPECT_EQ(dib[53], 0x80);

  auto grey = Make8({"ab"}, ie8g);
  const HGLOBAL none = _CopyBitmaptoDIBEx(grey.get(), 0, 0, 0, 0);
  const auto header = DibBytes(none);
  GlobalFree(none);
  EXPECT_EQ(header.size(), 44u);
  EXPECT_EQ(HeaderOf(header).biBitCount, 0);
}

TEST(ProcCopy, FrameworkOneBitToDibKeepsItsColours) {
  auto bits = Framework(pf1bit, 8, 1);
  SetColors(*bits, {CreateRGB(255, 0, 0), CreateRGB(0, 0, 255)});
  static_cast<Byte*>(bits->ScanLine(0))[0] = 0x0F;
  const HGLOBAL mem = _CopyBitmaptoDIB(bits.get(), 0, 0, 0, 0);
  const auto dib = DibBytes(mem);
  EXPECT_EQ(dib[40 + 2], 255);  // entry 0 red
  EXPECT_EQ(dib[44 + 0], 255);  // entry 1 blue
  EXPECT_EQ(dib[48], 0x0F);
  // Read back: a two-colour table that is not black and white gives colours.
  TIEBitmap store;
  EXPECT_EQ(_CopyDIB2BitmapEx(mem, &store, nullptr, false), 1);
  GlobalFree(mem);
  ASSERT_EQ(store.GetPixelFormat(), ie24RGB);
  EXPECT_EQ(store.GetPixels_ie24RGB(0, 0), CreateRGB(255, 0, 0));
  EXPECT_EQ(store.GetPixels_ie24RGB(7, 0), CreateRGB(0, 0, 255));
}

TEST(ProcCopy, DibReaderConvertsEveryDepth) {
  const TRGB red = CreateRGB(255, 0, 0), green = CreateRGB(0, 255, 0), blue = CreateRGB(0, 0, 255);
  struct Case {
    const char* name;
    DibBuilder dib;
    TIEPixelFormat format;
    Art expected;  // '#'/'.' for ie1g; colour letters for ie24RGB
  };
  std::vector<Case> cases;
  {
    DibBuilder d(10, 2, 1);
    d.colors = {Quad(0, 0, 0), Quad(255, 255, 255)};
    d.rowsTopDown = {{0xC0, 0x40}, {0x01, 0x80}};
    cases.push_back({"1 bit, black and white", d, ie1g, {"##.......#", ".......##."}});
  }
  {
    DibBuilder d(10, 2, 1);
    d.colors = {Quad(255, 255, 255), Quad(0, 0, 0)};
    d.rowsTopDown = {{0xC0, 0x40}, {0x01, 0x80}};
    cases.push_back({"1 bit, white and black: inverted", d, ie1g, {"..#######.", "#######..#"}});
  }
  {
    DibBuilder d(5, 1, 4);
    d.header.biClrUsed = 3;
    d.colors = {Quad(255, 0, 0), Quad(0, 255, 0), Quad(0, 0, 255)};
    d.rowsTopDown = {{0x01, 0x20, 0x1F}};  // the last nibble is padding
    cases.push_back({"4 bits, odd width", d, ie24RGB, {"rgbrg"}});
  }
  {
    DibBuilder d(3, 1, 8);
    d.header.biClrUsed = 2;
    d.colors = {Quad(255, 0, 0), Quad(0, 0, 255)};
    d.rowsTopDown = {{1, 0, 200}};  // 200 is past the table: black
    cases.push_back({"8 bits, short table", d, ie24RGB, {"br."}});
  }
  {
    DibBuilder d(2, 1, 16);
    d.rowsTopDown = {{0xFF, 0x7F, 0x00, 0x7C}};
    cases.push_back({"16 bits 5-5-5", d, ie24RGB, {"wR"}});
  }
  {
    DibBuilder d(3, 1, 16);
    d.header.biCompression = BI_BITFIELDS;
    d.masks = {0xF800, 0x07E0, 0x001F};
    d.rowsTopDown = {{0x00, 0xF8, 0xE0, 0x07, 0x1F, 0x00}};
    cases.push_back({"16 bits 5-6-5", d, ie24RGB, {"RGB"}});
  }
  {
    DibBuilder d(2, 1, 24);
    d.rowsTopDown = {{0, 0, 255, 255, 0, 0}};
    cases.push_back({"24 bits", d, ie24RGB, {"rb"}});
  }
  {
    DibBuilder d(2, 1, 32);
    d.rowsTopDown = {{0, 255, 0, 9, 255, 0, 0, 9}};
    cases.push_back({"32 bits", d, ie24RGB, {"gb"}});
  }
  {
    DibBuilder d(2, 1, 32);
    d.header.biCompression = BI_BITFIELDS;
    d.masks = {0x000000FF, 0x0000FF00, 0x00FF0000};  // red in the first byte
    d.rowsTopDown = {{255, 0, 0, 0, 0, 0, 255, 0}};
    cases.push_back({"32 bits with masks", d, ie24RGB, {"rb"}});
  }
  const Palette colors{{'r', red}, {'g', green}, {'b', blue}, {'.', CreateRGB(0, 0, 0)},
                       {'w', CreateRGB(248, 248, 248)}, {'R', CreateRGB(248, 0, 0)},
                       {'G', CreateRGB(0, 252, 0)}, {'B', CreateRGB(0, 0, 248)}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const auto bytes = c.dib.Bytes();
    TIEBitmap store;
    EXPECT_EQ(_CopyDIB2BitmapEx(reinterpret_cast<uintptr_t>(bytes.data()), &store, nullptr, true,
                                static_cast<Int64>(bytes.size())),
              c.dib.header.biBitCount);
    ASSERT_EQ(store.GetPixelFormat(), c.format);
    EXPECT_ART(c.format == ie1g ? Read1g(store) : Read24(store, colors), c.expected);
  }
}

TEST(ProcCopy, DibReaderRefusesWhatItCannotReadSafely) {
  const auto valid = [] {
    DibBuilder d(4, 2, 8);
    d.colors.assign(256, Quad(1, 2, 3));
    d.rowsTopDown = {{0, 1, 2, 3}, {4, 5, 6, 7}};
    return d;
  };
  struct Case {
    const char* name;
    std::function<void(DibBuilder&)> damage;
    Int64 trim;  // bytes cut from the end
  };
  const Case cases[] = {
      {"rows cut short", [](DibBuilder&) {}, 1},
      {"run-length coded", [](DibBuilder& d) { d.header.biCompression = BI_RLE8; }, 0},
      {"top-down", [](DibBuilder& d) { d.header.biHeight = -2; }, 0},
      {"zero width", [](DibBuilder& d) { d.header.biWidth = 0; }, 0},
      {"table larger than the depth allows", [](DibBuilder& d) { d.header.biClrUsed = 257; }, 0},
      {"unknown depth", [](DibBuilder& d) { d.header.biBitCount = 7; }, 0},
      {"header size beyond the data", [](DibBuilder& d) { d.header.biSize = 100000; }, 0},
      {"YUV frame beyond the data",
       [](DibBuilder& d) {
         d.header.biCompression = 0x32595559;  // YUY2: 4 bytes per 2 pixels
         d.header.biWidth = 1000;
       },
       0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    DibBuilder d = valid();
    c.damage(d);
    auto bytes = d.Bytes();
    bytes.resize(bytes.size() - static_cast<size_t>(c.trim));
    // On the heap at its exact size, so that a read past it is caught.
    const HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
    std::memcpy(GlobalLock(mem), bytes.data(), bytes.size());
    GlobalUnlock(mem);
    auto store = Make24({"x"}, {{'x', CreateRGB(9, 9, 9)}});
    EXPECT_EQ(_CopyDIB2BitmapEx(mem, store.get(), nullptr, false), 0);
    EXPECT_EQ(store->GetWidth(), 1);
    EXPECT_EQ(store->GetPixels_ie24RGB(0, 0), CreateRGB(9, 9, 9));
    TIEDibbitmap dib;
    EXPECT_EQ(_IECopyDIB2Bitmap2Ex(mem, &dib, nullptr, false), 0);
    GlobalFree(mem);
  }
  // The untouched DIB is read.
  TIEBitmap store;
  const HGLOBAL mem = valid().Global();
  EXPECT_EQ(_CopyDIB2BitmapEx(mem, &store, nullptr, false), 8);
  GlobalFree(mem);
  EXPECT_EQ(store.GetPixels_ie24RGB(3, 1), CreateRGB(1, 2, 3));
}

TEST(ProcCopy, OddMasksNeverShiftOutOfRange) {
  DibBuilder d(2, 1, 16);
  d.header.biCompression = BI_BITFIELDS;
  d.masks = {0x0003, 0x0000, 0xFFFC};  // 2 bits of red, no green, 14 bits of blue
  d.rowsTopDown = {{0xFF, 0xFF, 0x02, 0x00}};
  const auto bytes = d.Bytes();
  TIEBitmap store;
  EXPECT_EQ(_CopyDIB2BitmapEx(reinterpret_cast<uintptr_t>(bytes.data()), &store, nullptr, true), 16);
  EXPECT_EQ(store.GetPixels_ie24RGB(0, 0), CreateRGB(0xC0, 0, 0xFF));
  EXPECT_EQ(store.GetPixels_ie24RGB(1, 0), CreateRGB(0x80, 0, 0));
}

TEST(ProcCopy, DibIntoDibSectionAndFrameworkBitmap) {
  DibBuilder colour(3, 2, 8);
  colour.header.biClrUsed = 3;
  colour.colors = {Quad(255, 0, 0), Quad(0, 255, 0), Quad(0, 0, 255)};
  colour.rowsTopDown = {{0, 1, 2}, {2, 2, 0}};
  const auto bytes = colour.Bytes();
  TIEDibbitmap section;
  EXPECT_EQ(_IECopyDIB2Bitmap2Ex(reinterpret_cast<uintptr_t>(bytes.data()), &section, nullptr, true), 8);
  ASSERT_EQ(section.GetBitCount(), 24);
  ASSERT_EQ(section.GetWidth(), 3);
  EXPECT_EQ(static_cast<TRGB*>(section.GetScanLine(0))[1], CreateRGB(0, 255, 0));
  EXPECT_EQ(static_cast<TRGB*>(section.GetScanLine(1))[2], CreateRGB(255, 0, 0));

  DibBuilder inverted(9, 1, 1);
  inverted.colors = {Quad(255, 255, 255), Quad(0, 0, 0)};
  inverted.rowsTopDown = {{0xF0, 0x80}};
  const auto bits = inverted.Bytes();
  EXPECT_EQ(_IECopyDIB2Bitmap2Ex(reinterpret_cast<uintptr_t>(bits.data()), &section, nullptr, true), 1);
  ASSERT_EQ(section.GetBitCount(), 1);
  const Byte* row = static_cast<const Byte*>(section.GetScanLine(0));
  EXPECT_EQ(row[0], 0x0F);
  EXPECT_EQ(row[1] & 0x80, 0);

  TBitmap framework;
  EXPECT_EQ(_CopyDIB2Bitmap(reinterpret_cast<uintptr_t>(bytes.data()), &framework, nullptr, true), 8);
  EXPECT_EQ(framework.GetPixelFormat(), pf24bit);
  ASSERT_EQ(framework.GetWidth(), 3);
  EXPECT_EQ(static_cast<TRGB*>(framework.ScanLine(0))[2], CreateRGB(0, 0, 255));
  EXPECT_EQ(_CopyDIB2Bitmap(reinterpret_cast<uintptr_t>(bits.data()), &framework, nullptr, true), 1);
  EXPECT_EQ(framework.GetPixelFormat(), pf1bit);
  ASSERT_EQ(framework.GetWidth(), 9);
  EXPECT_EQ(static_cast<Byte*>(framework.ScanLine(0))[0], 0x0F);
}
