// Framework pixel formats, rectangle copies between DIB buffers and framework
// bitmaps or pixel stores, and the DrawDib fallbacks.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "image/model/iebitmap.h"
#include "image/model/ieutils.h"
#include "platform/rtl/Exceptions.h"
#include "platform/vcl/Graphics.h"

namespace {

constexpr Byte kUntouched = 0xEE;

std::unique_ptr<TBitmap> MakeBitmap(TPixelFormat format, Integer width, Integer height) {
  auto bitmap = std::make_unique<TBitmap>();
  bitmap->SetPixelFormat(format);
  bitmap->SetSize(width, height);
  return bitmap;
}

Byte* Row(TBitmap& bitmap, Integer row) { return static_cast<Byte*>(bitmap.ScanLine(row)); }

// A 1-bit row as text, '1' for a set bit, leftmost pixel first.
std::string BitsOf(const Byte* row, Integer count) {
  std::string text;
  for (Integer i = 0; i < count; ++i) text += (row[i >> 3] & (0x80 >> (i & 7))) ? '1' : '0';
  return text;
}
void SetBits(Byte* row, const std::string& text) {
  for (size_t i = 0; i < text.size(); ++i) {
    const Byte mask = static_cast<Byte>(0x80 >> (i & 7));
    if (text[i] == '1')
      row[i >> 3] |= mask;
    else
      row[i >> 3] &= static_cast<Byte>(~mask);
  }
}

// ---------------------------------------------------------------------------
// Framework pixel formats

struct FormatBits {
  TPixelFormat format;
  Integer bits;
};
constexpr FormatBits kFormatBits[] = {{pf1bit, 1},   {pf4bit, 4},   {pf8bit, 8},  {pf15bit, 15},
                                      {pf16bit, 16}, {pf24bit, 24}, {pf32bit, 32}};

TEST(IEFormatHelpers, BitCountsAndFormatsMapBothWays) {
  for (const auto& entry : kFormatBits) {
    EXPECT_EQ(_Pixelformat2BitCount(entry.format), entry.bits);
    EXPECT_EQ(_Bitcount2Pixelformat(entry.bits), entry.format) << entry.bits;
  }
  EXPECT_EQ(_Pixelformat2BitCount(pfDevice), 0);
  EXPECT_EQ(_Pixelformat2BitCount(pfCustom), 0);
  for (Integer bits : {0, 2, 3, 12, 48, 64, -1, -24})
    EXPECT_EQ(_Bitcount2Pixelformat(bits), pfCustom) << bits;
}

TEST(IEFormatHelpers, RowLengthsAsTable) {
  struct Case {
    Integer width;
    TPixelFormat format;
    Integer rowLen;
  };
  const Case cases[] = {{1, pf1bit, 4},  {32, pf1bit, 4},  {33, pf1bit, 8},   {9, pf4bit, 8},
                        {5, pf8bit, 8},  {31, pf15bit, 64}, {3, pf16bit, 8},   {3, pf24bit, 12},
                        {0, pf24bit, 0}, {7, pf32bit, 28}, {10, pfDevice, 0}, {10, pfCustom, 0}};
  for (const auto& c : cases)
    EXPECT_EQ(_PixelFormat2RowLen(c.width, c.format), c.rowLen)
        << c.width << " x " << _Pixelformat2BitCount(c.format);
}

// The row length is the distance between a framework bitmap's scan lines.
TEST(IEFormatHelpers, RowLengthIsTheFrameworkScanlineStride) {
  for (const auto& entry : kFormatBits) {
    for (Integer width : {1, 3, 7, 8, 31, 33}) {
      auto bitmap = MakeBitmap(entry.format, width, 2);
      const ptrdiff_t stride = Row(*bitmap, 0) - Row(*bitmap, 1);  // bottom-up
      EXPECT_EQ(_PixelFormat2RowLen(width, entry.format), stride) << width << " x " << entry.bits;
    }
  }
}

TEST(IEFormatHelpers, RowLengthBeyondAnIntegerIsRefused) {
  EXPECT_THROW(_PixelFormat2RowLen(INT32_MAX, pf32bit), EOutOfMemory);
  EXPECT_THROW(_PixelFormat2RowLen(-1, pf8bit), EOutOfMemory);
}

// ---------------------------------------------------------------------------
// Rectangle copies with framework bitmaps

constexpr TRGB kA{1, 2, 3}, kB{4, 5, 6}, kC{7, 8, 9}, kD{10, 11, 12}, kE{13, 14, 15},
    kF{16, 17, 18};
constexpr TRGB kWhite{255, 255, 255}, kBlack{0, 0, 0}, kNone{kUntouched, kUntouched, kUntouched};

TRGB PixelAt(const std::vector<Byte>& buffer, Integer rowLen, Integer x, Integer row) {
  TRGB p;
  std::memcpy(&p, buffer.data() + row * rowLen + 3 * x, 3);
  return p;
}

// A bottom-up buffer's memory row 0 is the bottom of the picture, so the bitmap's
// top row of the rectangle lands in the highest memory row of it.
TEST(IEMapXCopy, TrueColourRowsLandBottomUpAndComeBack) {
  auto bitmap = MakeBitmap(pf24bit, 3, 2);
  const TRGB picture[2][3] = {{kA, kB, kC}, {kD, kE, kF}};
  for (Integer y = 0; y < 2; ++y) std::memcpy(Row(*bitmap, y), picture[y], sizeof picture[y]);

  const Integer rowLen = 12;  // four pixels
  std::vector<Byte> buffer(rowLen * 3, kUntouched);
  IEBitmapMapXCopy(buffer.data(), rowLen, 24, bitmap.get(), 1, 1, 1, 0, 2, 2, 1);
  const TRGB expected[3][4] = {{kNone, kNone, kNone, kNone},
                               {kNone, kE, kF, kNone},
                               {kNone, kB, kC, kNone}};
  for (Integer row = 0; row < 3; ++row)
    for (Integer x = 0; x < 4; ++x)
      EXPECT_EQ(PixelAt(buffer, rowLen, x, row), expected[row][x]) << x << "," << row;

  auto back = MakeBitmap(pf24bit, 3, 2);
  IEBitmapMapXCopy(buffer.data(), rowLen, 24, back.get(), 1, 1, 1, 0, 2, 2, 0);
  const TRGB restored[2][3] = {{kBlack, kB, kC}, {kBlack, kE, kF}};
  for (Integer y = 0; y < 2; ++y)
    for (Integer x = 0; x < 3; ++x)
      EXPECT_EQ(static_cast<TRGB*>(back->ScanLine(y))[x], restored[y][x]) << x << "," << y;
}

TEST(IEMapXCopy, EightBitBytesBothWays) {
  auto bitmap = MakeBitmap(pf8bit, 4, 3);
  for (Integer y = 0; y < 3; ++y)
    for (Integer x = 0; x < 4; ++x) Row(*bitmap, y)[x] = static_cast<Byte>(0x10 * y + x);

  std::vector<Byte> buffer(4 * 2, kUntouched);
  IEBitmapMapXCopy(buffer.data(), 4, 8, bitmap.get(), 0, 0, 1, 1, 3, 2, 1);
  EXPECT_EQ(buffer, (std::vector<Byte>{0x21, 0x22, 0x23, kUntouched, 0x11, 0x12, 0x13, kUntouched}));

  buffer = {0xA0, 0xA1, 0xA2, 0xA3, 0xB0, 0xB1, 0xB2, 0xB3};
  IEBitmapMapXCopy(buffer.data(), 4, 8, bitmap.get(), 1, 0, 0, 0, 2, 2, 0);
  const Byte expected[3][4] = {{0xB1, 0xB2, 0x02, 0x03}, {0xA1, 0xA2, 0x12, 0x13}, {0x20, 0x21, 0x22, 0x23}};
  for (Integer y = 0; y < 3; ++y)
    for (Integer x = 0; x < 4; ++x) EXPECT_EQ(Row(*bitmap, y)[x], expected[y][x]) << x << "," << y;
}

// Bit runs at every phase: only the run's bits change, on either side.
TEST(IEMapXCopy, OneBitRunsLeaveTheirNeighbours) {
  const std::string picture = "01101001110010111010";  // 20 pixels, one row
  struct Case {
    Integer srcX, dstX, width;
  };
  const Case cases[] = {{3, 6, 11}, {3, 11, 17}, {0, 0, 20}, {5, 13, 1}, {7, 0, 13}, {1, 17, 15}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.srcX << " -> " << c.dstX << " x " << c.width);
    auto bitmap = MakeBitmap(pf1bit, 20, 1);
    SetBits(Row(*bitmap, 0), picture);
    const std::string filler(32, '1');
    std::vector<Byte> buffer(4, 0xFF);
    IEBitmapMapXCopy(buffer.data(), 4, 1, bitmap.get(), c.dstX, 0, c.srcX, 0, c.width, 1, 1);
    std::string expected = filler;
    expected.replace(c.dstX, c.width, picture.substr(c.srcX, c.width));
    EXPECT_EQ(BitsOf(buffer.data(), 32), expected);

    // And back into a bitmap of clear bits.
    auto back = MakeBitmap(pf1bit, 20, 1);
    SetBits(Row(*back, 0), std::string(20, '0'));
    IEBitmapMapXCopy(buffer.data(), 4, 1, back.get(), c.dstX, 0, c.srcX, 0, c.width, 1, 0);
    std::string restored(20, '0');
    restored.replace(c.srcX, c.width, picture.substr(c.srcX, c.width));
    EXPECT_EQ(BitsOf(Row(*back, 0), 20), restored);
  }
}

TEST(IEMapXCopy, OneBitIntoTrueColourIsWhiteAndBlack) {
  auto bitmap = MakeBitmap(pf1bit, 5, 1);
  SetBits(Row(*bitmap, 0), "10110");
  std::vector<Byte> buffer(12, kUntouched);
  IEBitmapMapXCopy(buffer.data(), 12, 24, bitmap.get(), 0, 0, 1, 0, 4, 1, 1);
  const TRGB expected[4] = {kBlack, kWhite, kWhite, kBlack};
  for (Integer x = 0; x < 4; ++x) EXPECT_EQ(PixelAt(buffer, 12, x, 0), expected[x]) << x;
}

TEST(IEMapXCopy, OtherPairingsCopyNothing) {
  struct Case {
    TPixelFormat format;
    Integer bufferBits;
    Integer direction;
  };
  const Case cases[] = {{pf8bit, 24, 1},  {pf24bit, 8, 1},   {pf24bit, 1, 0},  {pf8bit, 1, 0},
                        {pf1bit, 24, 0},  {pf1bit, 8, 1},    {pf4bit, 4, 1},   {pf15bit, 16, 1},
                        {pf16bit, 16, 0}, {pf32bit, 32, 1},  {pf24bit, 24, 2}, {pf8bit, 8, -1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << _Pixelformat2BitCount(c.format) << " bits, buffer "
                                    << c.bufferBits << ", direction " << c.direction);
    auto bitmap = MakeBitmap(c.format, 4, 4);
    const Integer rowLen = _PixelFormat2RowLen(4, c.format);
    for (Integer y = 0; y < 4; ++y) std::memset(Row(*bitmap, y), 0x5A, rowLen);
    std::vector<Byte> buffer(16 * 4, kUntouched);
    IEBitmapMapXCopy(buffer.data(), 16, c.bufferBits, bitmap.get(), 0, 0, 0, 0, 4, 4, c.direction);
    EXPECT_EQ(buffer, std::vector<Byte>(16 * 4, kUntouched));
    for (Integer y = 0; y < 4; ++y)
      EXPECT_EQ(std::vector<Byte>(Row(*bitmap, y), Row(*bitmap, y) + rowLen),
                std::vector<Byte>(rowLen, 0x5A));
  }

  // A device-dependent bitmap reports no format of its own.
  TBitmap device;
  device.SetSize(4, 4);
  ASSERT_EQ(device.GetPixelFormat(), pfDevice);
  std::vector<Byte> buffer(16 * 4, kUntouched);
  for (Integer bits : {8, 24, 32}) {
    IEBitmapMapXCopy(buffer.data(), 16, bits, &device, 0, 0, 0, 0, 4, 4, 1);
    EXPECT_EQ(buffer, std::vector<Byte>(16 * 4, kUntouched));
  }
  IEBitmapMapXCopy(buffer.data(), 16, 8, static_cast<TBitmap*>(nullptr), 0, 0, 0, 0, 4, 4, 1);
  IEBitmapMapXCopy(nullptr, 16, 8, MakeBitmap(pf8bit, 4, 4).get(), 0, 0, 0, 0, 4, 4, 1);
}

// A rectangle that reaches past the bitmap copies only the part inside it, each
// buffer row still paired with its own bitmap row.
TEST(IEMapXCopy, RectangleIsClippedToTheBitmap) {
  auto bitmap = MakeBitmap(pf8bit, 3, 3);
  for (Integer y = 0; y < 3; ++y)
    for (Integer x = 0; x < 3; ++x) Row(*bitmap, y)[x] = static_cast<Byte>(0x10 * (y + 1) + x + 1);

  const Byte U = kUntouched;
  std::vector<Byte> buffer(8 * 5, U);  // exactly the rows and columns the call may use
  IEBitmapMapXCopy(buffer.data(), 8, 8, bitmap.get(), 0, 0, -1, -1, 5, 5, 1);
  const std::vector<Byte> expected = {U, U,    U,    U,    U, U, U, U,   //
                                      U, 0x31, 0x32, 0x33, U, U, U, U,   //
                                      U, 0x21, 0x22, 0x23, U, U, U, U,   //
                                      U, 0x11, 0x12, 0x13, U, U, U, U,   //
                                      U, U,    U,    U,    U, U, U, U};
  EXPECT_EQ(buffer, expected);

  // Into the bitmap: only its pixel (2, 2) lies inside the rectangle.
  for (Integer i = 0; i < 40; ++i) buffer[i] = static_cast<Byte>(0x80 + i);
  IEBitmapMapXCopy(buffer.data(), 8, 8, bitmap.get(), 1, 1, 2, 2, 3, 3, 0);
  for (Integer y = 0; y < 3; ++y)
    for (Integer x = 0; x < 3; ++x) {
      const Byte want = (x == 2 && y == 2) ? buffer[3 * 8 + 1] : static_cast<Byte>(0x10 * (y + 1) + x + 1);
      EXPECT_EQ(Row(*bitmap, y)[x], want) << x << "," << y;
    }
}

// Columns past the buffer's row length would run into the next row; columns and rows
// before the buffer's start would run before it.
TEST(IEMapXCopy, RectangleIsClippedToTheBufferRows) {
  auto bitmap = MakeBitmap(pf24bit, 4, 2);
  const TRGB picture[2][4] = {{kA, kB, kC, kD}, {kE, kF, kA, kB}};
  for (Integer y = 0; y < 2; ++y) std::memcpy(Row(*bitmap, y), picture[y], sizeof picture[y]);

  const Integer rowLen = 6;  // two pixels
  std::vector<Byte> buffer(rowLen * 2, kUntouched);
  IEBitmapMapXCopy(buffer.data(), rowLen, 24, bitmap.get(), 1, 0, 0, 0, 3, 2, 1);
  EXPECT_EQ(PixelAt(buffer, rowLen, 0, 0), kNone);
  EXPECT_EQ(PixelAt(buffer, rowLen, 1, 0), kE);
  EXPECT_EQ(PixelAt(buffer, rowLen, 0, 1), kNone);
  EXPECT_EQ(PixelAt(buffer, rowLen, 1, 1), kA);

  std::fill(buffer.begin(), buffer.end(), kUntouched);
  IEBitmapMapXCopy(buffer.data(), rowLen, 24, bitmap.get(), -2, -1, 0, 0, 4, 2, 1);
  // Column j = 2 and 3 of the rectangle are buffer columns 0 and 1; its row k = 1 (the
  // bitmap's top row) is memory row 0.
  EXPECT_EQ(PixelAt(buffer, rowLen, 0, 0), kC);
  EXPECT_EQ(PixelAt(buffer, rowLen, 1, 0), kD);
  EXPECT_EQ(PixelAt(buffer, rowLen, 0, 1), kNone);
  EXPECT_EQ(PixelAt(buffer, rowLen, 1, 1), kNone);
}

// ---------------------------------------------------------------------------
// Rectangle copies with pixel stores

struct StoreCase {
  TIEPixelFormat storeFormat;
  TPixelFormat bitmapFormat;
  Integer bufferBits;
  TIELocation location;
};

// The store and the framework bitmap hold the same picture; the copies must agree.
TEST(IEMapXCopy, PixelStoresCopyLikeFrameworkBitmaps) {
  const StoreCase cases[] = {
      {ie1g, pf1bit, 1, ieMemory},     {ie1g, pf1bit, 24, ieMemory}, {ie8g, pf8bit, 8, ieMemory},
      {ie8p, pf8bit, 8, ieMemory},     {ie24RGB, pf24bit, 24, ieMemory},
      {ie1g, pf1bit, 1, ieFile},       {ie8g, pf8bit, 8, ieFile},    {ie24RGB, pf24bit, 24, ieFile},
      {ie24RGB, pf24bit, 24, ieTBitmap}};
  const Integer width = 13, height = 5;
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "store format " << static_cast<int>(c.storeFormat)
                                    << ", location " << static_cast<int>(c.location)
                                    << ", buffer " << c.bufferBits);
    TIEBitmap store;
    if (c.location == ieFile) store.SetMemoryLimit(1);
    store.Allocate(width, height, c.storeFormat);
    if (c.location != ieFile) store.SetLocation(c.location);
    ASSERT_EQ(store.GetLocation(), c.location);
    auto bitmap = MakeBitmap(c.bitmapFormat, width, height);
    const Integer rowLen = store.GetRowLen();
    ASSERT_EQ(rowLen, _PixelFormat2RowLen(width, c.bitmapFormat));
    for (Integer y = 0; y < height; ++y) {
      Byte* s = static_cast<Byte*>(store.GetScanLine(y));
      for (Integer i = 0; i < rowLen; ++i) s[i] = static_cast<Byte>(37 * y + 11 * i + 5);
      std::memcpy(Row(*bitmap, y), s, rowLen);
    }

    const Integer bufRowLen = _BitmapRowLen(16, c.bufferBits);
    std::vector<Byte> fromStore(bufRowLen * 6, kUntouched), fromBitmap(bufRowLen * 6, kUntouched);
    IEBitmapMapXCopy(fromStore.data(), bufRowLen, c.bufferBits, &store, 2, 1, 3, -1, 12, 5, 1);
    IEBitmapMapXCopy(fromBitmap.data(), bufRowLen, c.bufferBits, bitmap.get(), 2, 1, 3, -1, 12, 5, 1);
    EXPECT_EQ(fromStore, fromBitmap);
    EXPECT_NE(fromStore, std::vector<Byte>(bufRowLen * 6, kUntouched));

    if (c.bufferBits != IEPixelFormatBits(c.storeFormat)) continue;
    // Back again, into both, from a changed buffer.
    for (size_t i = 0; i < fromStore.size(); ++i) fromStore[i] = static_cast<Byte>(fromStore[i] ^ 0x3C);
    IEBitmapMapXCopy(fromStore.data(), bufRowLen, c.bufferBits, &store, 2, 1, 3, -1, 12, 5, 0);
    IEBitmapMapXCopy(fromStore.data(), bufRowLen, c.bufferBits, bitmap.get(), 2, 1, 3, -1, 12, 5, 0);
    for (Integer y = 0; y < height; ++y) {
      const Byte* s = static_cast<const Byte*>(store.GetScanLine(y));
      EXPECT_EQ(std::vector<Byte>(s, s + rowLen), std::vector<Byte>(Row(*bitmap, y), Row(*bitmap, y) + rowLen))
          << "row " << y;
    }
  }
}

TEST(IEMapXCopy, CopyIntoAPixelStoreClearsFull) {
  TIEBitmap store;
  store.Allocate(4, 2, ie8g);
  store.Fill(255);
  ASSERT_TRUE(store.GetFull());
  std::vector<Byte> buffer = {1, 2, 3, 4};
  IEBitmapMapXCopy(buffer.data(), 4, 8, &store, 0, 0, 0, 1, 4, 1, 0);
  EXPECT_FALSE(store.GetFull());
  for (Integer x = 0; x < 4; ++x) {
    EXPECT_EQ(store.GetPixels_ie8(x, 0), 255);
    EXPECT_EQ(store.GetPixels_ie8(x, 1), x + 1);
  }
}

TEST(IEMapXCopy, SixteenBitAndEmptyStoresCopyNothing) {
  std::vector<Byte> buffer(32 * 2, kUntouched);
  TIEBitmap grey16;
  grey16.Allocate(4, 2, ie16g);
  grey16.Fill(0x1234);
  for (Integer bits : {8, 16, 24}) {
    IEBitmapMapXCopy(buffer.data(), 32, bits, &grey16, 0, 0, 0, 0, 4, 2, 1);
    EXPECT_EQ(buffer, std::vector<Byte>(32 * 2, kUntouched)) << bits;
  }
  TIEBitmap empty;
  IEBitmapMapXCopy(buffer.data(), 32, 24, &empty, 0, 0, 0, 0, 4, 2, 1);
  IEBitmapMapXCopy(buffer.data(), 32, 24, static_cast<TIEBitmap*>(nullptr), 0, 0, 0, 0, 4, 2, 1);
  EXPECT_EQ(buffer, std::vector<Byte>(32 * 2, kUntouched));
}

// ---------------------------------------------------------------------------
// DrawDib fallbacks

// A packed DIB of width x 3 pixels whose rows, from the top, are red, green and blue
// (8 bits through a colour table, or 24 bits).
struct StripeDib {
  StripeDib(Integer bitCount, bool topDown, Integer width = 2) {
    info.resize(sizeof(BITMAPINFOHEADER) + 3 * sizeof(RGBQUAD));
    auto* header = reinterpret_cast<BITMAPINFOHEADER*>(info.data());
    header->biSize = sizeof(BITMAPINFOHEADER);
    header->biWidth = width;
    header->biHeight = topDown ? -3 : 3;
    header->biPlanes = 1;
    header->biBitCount = static_cast<WORD>(bitCount);
    header->biClrUsed = bitCount == 8 ? 3 : 0;
    const RGBQUAD colours[3] = {{0, 0, 255, 0}, {0, 255, 0, 0}, {255, 0, 0, 0}};
    std::memcpy(info.data() + sizeof(BITMAPINFOHEADER), colours, sizeof colours);
    const Integer rowLen = _BitmapRowLen(width, bitCount);
    bits.assign(rowLen * 3, 0);
    for (Integer top = 0; top < 3; ++top) {
      Byte* row = bits.data() + (topDown ? top : 2 - top) * rowLen;
      for (Integer x = 0; x < width; ++x) {
        if (bitCount == 8) {
          row[x] = static_cast<Byte>(top);
        } else {
          row[3 * x] = colours[top].rgbBlue;
          row[3 * x + 1] = colours[top].rgbGreen;
          row[3 * x + 2] = colours[top].rgbRed;
        }
      }
    }
  }
  const BITMAPINFOHEADER* Header() const { return reinterpret_cast<const BITMAPINFOHEADER*>(info.data()); }

  std::vector<Byte> info;
  std::vector<Byte> bits;
};

constexpr TRGB kRed{0, 0, 255}, kGreen{0, 255, 0}, kBlue{255, 0, 0}, kGrey{0x77, 0x77, 0x77};

struct Target {
  Target() : bitmap(MakeBitmap(pf24bit, 4, 4)) {
    for (Integer y = 0; y < 4; ++y) std::memset(bitmap->ScanLine(y), 0x77, 12);
  }
  HDC Dc() { return bitmap->GetCanvas()->GetHandle(); }
  TRGB At(Integer x, Integer y) { return static_cast<TRGB*>(bitmap->ScanLine(y))[x]; }
  bool Untouched() {
    for (Integer y = 0; y < 4; ++y)
      for (Integer x = 0; x < 4; ++x)
        if (!(At(x, y) == kGrey)) return false;
    return true;
  }
  std::unique_ptr<TBitmap> bitmap;
};

using DrawFn = BOOL (*)(HDRAWDIB, HDC, Integer, Integer, Integer, Integer, const BITMAPINFOHEADER*,
                        const void*, Integer, Integer, Integer, Integer, UINT);

// DDF_DONTDRAW tells the paths apart: DrawDib honours it, StretchDIBits ignores flags.
TEST(DrawDibDrawEmu, PathChosenByHandleAndDepth) {
  struct Case {
    const char* name;
    DrawFn draw;
    bool withHandle;
    Integer bitCount;
    bool drawn;
  };
  const Case cases[] = {{"emu, handle, 8 bits", DrawDibDrawEmu, true, 8, false},
                        {"emu, handle, 24 bits", DrawDibDrawEmu, true, 24, false},
                        {"emu, own handle for 24 bits", DrawDibDrawEmu, false, 24, false},
                        {"emu, StretchDIBits for 8 bits", DrawDibDrawEmu, false, 8, true},
                        {"draw2, handle ignored", DrawDibDraw2, true, 24, true},
                        {"draw2, 8 bits", DrawDibDraw2, false, 8, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Target target;
    StripeDib dib(c.bitCount, false);
    const HDRAWDIB hdd = c.withHandle ? DrawDibOpen() : 0;
    EXPECT_TRUE(c.draw(hdd, target.Dc(), 0, 0, 2, 3, dib.Header(), dib.bits.data(), 0, 0, 2, 3,
                       DDF_DONTDRAW));
    EXPECT_EQ(!target.Untouched(), c.drawn);
    if (c.drawn) {
      EXPECT_EQ(target.At(1, 0), kRed);
      EXPECT_EQ(target.At(1, 2), kBlue);
      EXPECT_EQ(target.At(2, 0), kGrey);
    }
    if (hdd != 0) DrawDibClose(hdd);
  }
}

// Every path takes the source rectangle from the top of the picture, bottom-up DIB or
// not; passing y on to StretchDIBits as it is would draw the bottom row for the top.
TEST(DrawDibDrawEmu, SourceRectangleCountsFromTheTopOnEveryPath) {
  struct Path {
    const char* name;
    DrawFn draw;
    bool withHandle;
  };
  const Path paths[] = {{"DrawDibDraw", DrawDibDraw, true},
                        {"emu with handle", DrawDibDrawEmu, true},
                        {"emu without handle", DrawDibDrawEmu, false},
                        {"draw2", DrawDibDraw2, false}};
  for (const auto& path : paths)
    for (Integer bitCount : {8, 24})
      for (bool topDown : {false, true}) {
        SCOPED_TRACE(testing::Message() << path.name << ", " << bitCount << " bits"
                                        << (topDown ? ", top-down" : ", bottom-up"));
        Target target;
        StripeDib dib(bitCount, topDown);
        const HDRAWDIB hdd = path.withHandle ? DrawDibOpen() : 0;
        // The top row stretched over two rows, then the two rows below it one to one.
        EXPECT_TRUE(path.draw(hdd, target.Dc(), 0, 0, 2, 2, dib.Header(), dib.bits.data(), 0, 0, 2,
                              1, 0));
        EXPECT_TRUE(path.draw(hdd, target.Dc(), 2, 1, 2, 2, dib.Header(), dib.bits.data(), 0, 1, 2,
                              2, 0));
        const TRGB expected[4][4] = {{kRed, kRed, kGrey, kGrey},
                                     {kRed, kRed, kGreen, kGreen},
                                     {kGrey, kGrey, kBlue, kBlue},
                                     {kGrey, kGrey, kGrey, kGrey}};
        for (Integer y = 0; y < 4; ++y)
          for (Integer x = 0; x < 4; ++x) EXPECT_EQ(target.At(x, y), expected[y][x]) << x << "," << y;
        if (hdd != 0) DrawDibClose(hdd);
      }
}

// DrawDib's -1 sizes (the whole picture, one to one) and bits after the colour table.
TEST(DrawDibDrawEmu, WholePictureSizesAndPackedBitsAsDrawDib) {
  StripeDib dib(8, false, 1);
  std::vector<Byte> packed = dib.info;
  packed.insert(packed.end(), dib.bits.begin(), dib.bits.end());
  for (DrawFn draw : {DrawDibDrawEmu, DrawDibDraw2}) {
    Target target;
    EXPECT_TRUE(draw(0, target.Dc(), 1, 1, -1, -1, reinterpret_cast<const BITMAPINFOHEADER*>(packed.data()),
                     nullptr, 0, 0, -1, -1, 0));
    EXPECT_EQ(target.At(1, 1), kRed);
    EXPECT_EQ(target.At(1, 2), kGreen);
    EXPECT_EQ(target.At(1, 3), kBlue);
    EXPECT_EQ(target.At(0, 1), kGrey);
    EXPECT_EQ(target.At(2, 1), kGrey);
    EXPECT_EQ(target.At(1, 0), kGrey);
  }
}

TEST(DrawDibDrawEmu, FailuresAnswerFalse) {
  Target target;
  StripeDib dib(24, false);
  EXPECT_FALSE(DrawDibDrawEmu(0, target.Dc(), 0, 0, 2, 3, nullptr, dib.bits.data(), 0, 0, 2, 3, 0));
  EXPECT_FALSE(DrawDibDraw2(0, target.Dc(), 0, 0, 2, 3, nullptr, dib.bits.data(), 0, 0, 2, 3, 0));
  const HDRAWDIB closed = DrawDibOpen();
  DrawDibClose(closed);
  EXPECT_FALSE(DrawDibDrawEmu(closed, target.Dc(), 0, 0, 2, 3, dib.Header(), dib.bits.data(), 0, 0,
                              2, 3, 0));
  const HDC noDc = 0;
  EXPECT_FALSE(DrawDibDrawEmu(0, noDc, 0, 0, 2, 3, dib.Header(), dib.bits.data(), 0, 0, 2, 3, 0));
  StripeDib eight(8, false);
  EXPECT_FALSE(DrawDibDraw2(0, noDc, 0, 0, 2, 3, eight.Header(), eight.bits.data(), 0, 0, 2, 3, 0));
  BITMAPINFOHEADER bad = *eight.Header();
  bad.biBitCount = 7;
  EXPECT_FALSE(DrawDibDraw2(0, target.Dc(), 0, 0, 2, 3, &bad, eight.bits.data(), 0, 0, 2, 3, 0));
  EXPECT_TRUE(target.Untouched());
}

}  // namespace
