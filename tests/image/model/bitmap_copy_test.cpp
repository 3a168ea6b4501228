// TIEBitmap copies: rectangles between stores with clipping, region moves, framework
// bitmaps of every format, DIB sections and masks.
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "tests/image/bitmap_test_util.h"
#include "image/model/iebitmap.h"
#include "image/model/iemask.h"
#include "image/model/ieutils.h"

using namespace bitmap_test;

namespace {

// A 6 x 5 ie8g source whose pixel (x, y) is 10 y + x + 1, and a 5 x 4 destination
// of zeros.
std::unique_ptr<TIEBitmap> Source() {
  auto b = std::make_unique<TIEBitmap>();
  b->Allocate(6, 5, ie8g);
  for (Integer y = 0; y < 5; ++y)
    for (Integer x = 0; x < 6; ++x) b->SetPixels_ie8(x, y, static_cast<Byte>(10 * y + x + 1));
  return b;
}

// The destination as text rows, "." for 0.
std::vector<std::string> Rows(TIEBitmap& b) {
  std::vector<std::string> rows;
  for (Integer y = 0; y < b.GetHeight(); ++y) {
    std::string row;
    for (Integer x = 0; x < b.GetWidth(); ++x) {
      const Integer v = b.GetPixels_ie8(x, y);
      row += (x ? " " : "") + (v == 0 ? std::string(".") : std::to_string(v));
    }
    rows.push_back(row);
  }
  return rows;
}

void SetPaletteEntries(TBitmap* bitmap, const std::vector<TRGB>& colours) {
  std::vector<Byte> buffer(sizeof(LOGPALETTE) + colours.size() * sizeof(PALETTEENTRY));
  auto* log = reinterpret_cast<LOGPALETTE*>(buffer.data());
  log->palVersion = 0x300;
  log->palNumEntries = static_cast<WORD>(colours.size());
  for (size_t i = 0; i < colours.size(); ++i)
    log->palPalEntry[i] = PALETTEENTRY{colours[i].r, colours[i].g, colours[i].b, 0};
  bitmap->SetPalette(CreatePalette(log));
}

TRGB FrameworkEntry(TBitmap* bitmap, Integer index) {
  PALETTEENTRY e{};
  GetPaletteEntries(bitmap->GetPalette(), static_cast<UINT>(index), 1, &e);
  return TRGB{e.peBlue, e.peGreen, e.peRed};
}

}  // namespace

// ---------------------------------------------------------------------------
// CopyRectTo

TEST(IEBitmapCopy, CopyRectToClipsToBothStores) {
  struct Case {
    const char* name;
    Integer srcX, srcY, dstX, dstY, width, height;
    std::vector<std::string> expected;
  } cases[] = {
      {"inside", 1, 1, 2, 0, 2, 2, {". . 12 13 .", ". . 22 23 .", ". . . . .", ". . . . ."}},
      {"negative dstX moves the source right", 0, 0, -3, 0, 5, 2,
       {"4 5 . . .", "14 15 . . .", ". . . . .", ". . . . ."}},
      {"negative dstY moves the source down", 0, 0, 1, -2, 2, 4,
       {". 21 22 . .", ". 31 32 . .", ". . . . .", ". . . . ."}},
      {"cut at the right and bottom", 4, 3, 3, 2, 10, 10,
       {". . . . .", ". . . . .", ". . . 35 36", ". . . 45 46"}},
      {"negative source origin starts at 0", -2, -1, 1, 1, 3, 1,
       {". . . . .", ". 1 2 3 .", ". . . . .", ". . . . ."}},
      {"destination origin limited to its last column", 0, 0, 9, 3, 3, 3,
       {". . . . .", ". . . . .", ". . . . .", ". . . . 1"}},
      {"nothing left", 0, 0, -6, 0, 5, 2, {". . . . .", ". . . . .", ". . . . .", ". . . . ."}},
  };
  for (const Case& c : cases) {
    auto source = Source();
    TIEBitmap dest;
    dest.Allocate(5, 4, ie8g);
    source->CopyRectTo(&dest, c.srcX, c.srcY, c.dstX, c.dstY, c.width, c.height);
    EXPECT_EQ(Rows(dest), c.expected) << c.name;
  }
}

TEST(IEBitmapCopy, CopyRectToNeedsTheSameFormatAndPixelsOnBothSides) {
  auto source = Source();
  TIEBitmap colour;
  colour.Allocate(5, 4, ie24RGB);
  source->CopyRectTo(&colour, 0, 0, 0, 0, 5, 4);
  EXPECT_EQ(colour.GetPixels_ie24RGB(0, 0), TRGB{});
  TIEBitmap empty;
  empty.SetPixelFormat(ie8g);
  source->CopyRectTo(&empty, 0, 0, 0, 0, 5, 4);  // no row -1 is written
  empty.CopyRectTo(source.get(), 0, 0, 0, 0, 5, 4);
  EXPECT_EQ(source->GetPixels_ie8(0, 0), 1);
  source->CopyRectTo(nullptr, 0, 0, 0, 0, 1, 1);
}

TEST(IEBitmapCopy, CopyRectToMovesWholePixelsOfEachFormat) {
  for (TIEPixelFormat format : {ie1g, ie8p, ie16g, ie24RGB}) {
    TIEBitmap source;
    source.Allocate(21, 3, format);
    FillPattern(source);
    TIEBitmap dest;
    dest.Allocate(19, 4, format);
    dest.Fill(format == ie24RGB ? 0x808080 : 0);
    const std::vector<Byte> before = Pixels(dest);
    source.CopyRectTo(&dest, 3, 1, 5, 2, 11, 5);
    for (Integer y = 0; y < 4; ++y)
      for (Integer x = 0; x < 19; ++x) {
        const bool inside = x >= 5 && x < 16 && y >= 2;
        const TRGB expected = inside ? source.GetPixels(x - 2, y - 1) : (format == ie24RGB ? TRGB{128, 128, 128} : TRGB{});
        if (format == ie16g && inside) {
          EXPECT_EQ(dest.GetPixels_ie16g(x, y), source.GetPixels_ie16g(x - 2, y - 1));
          continue;
        }
        if (format == ie8p) {
          EXPECT_EQ(dest.GetPixels_ie8(x, y), inside ? source.GetPixels_ie8(x - 2, y - 1) : 0);
          continue;
        }
        EXPECT_EQ(dest.GetPixels(x, y), expected) << FormatName(format) << " " << x << "," << y;
      }
  }
}

TEST(IEBitmapCopy, MoveRegionFillsTheSourceAndPastesAtTheDestination) {
  auto b = Source();
  b->MoveRegion(1, 1, 2, 2, 3, 2, 99);
  EXPECT_EQ(Rows(*b), (std::vector<std::string>{"1 2 3 4 5 6", "11 99 99 14 15 16",
                                                "21 99 99 12 13 26", "31 32 33 22 23 36",
                                                "41 42 43 44 45 46"}));
  // Moving onto itself with an overlap keeps the moved pixels whole.
  auto c = Source();
  c->MoveRegion(0, 0, 3, 3, 1, 1, 0);
  EXPECT_EQ(Rows(*c), (std::vector<std::string>{". . . . 5 6", ". 1 2 3 4 16", ". 11 12 13 14 26",
                                                ". 21 22 23 24 36", "41 31 32 33 34 46"}));
}

// ---------------------------------------------------------------------------
// Framework bitmaps

TEST(IEBitmapCopy, CopyToTBitmapGivesEachFormatItsFrameworkFormat) {
  struct Case {
    TIEPixelFormat format;
    TPixelFormat framework;
  } cases[] = {{ie1g, pf1bit}, {ie8p, pf8bit}, {ie8g, pf8bit}, {ie16g, pf8bit}, {ie24RGB, pf24bit}};
  for (const Case& c : cases) {
    TIEBitmap b;
    b.Allocate(13, 3, c.format);
    FillPattern(b);
    TBitmap bitmap;
    b.CopyToTBitmap(&bitmap);
    ASSERT_EQ(bitmap.GetPixelFormat(), c.framework) << FormatName(c.format);
    ASSERT_EQ(bitmap.GetWidth(), 13);
    ASSERT_EQ(bitmap.GetHeight(), 3);
    if (c.format == ie1g) {
      EXPECT_TRUE(bitmap.GetMonochrome());
    }
    // Read back through the framework's own colours.
    for (Integer y = 0; y < 3; ++y)
      for (Integer x = 0; x < 13; ++x) {
        const auto* row = static_cast<const Byte*>(bitmap.ScanLine(y));
        TRGB got{};
        switch (c.framework) {
          case pf1bit: got = (row[x >> 3] & (0x80 >> (x & 7))) ? TRGB{255, 255, 255} : TRGB{}; break;
          case pf8bit: got = FrameworkEntry(&bitmap, row[x]); break;
          default: got = reinterpret_cast<const TRGB*>(row)[x]; break;
        }
        EXPECT_EQ(got, b.GetPixels(x, y)) << FormatName(c.format) << " " << x << "," << y;
      }
  }
}

TEST(IEBitmapCopy, CopyFromTBitmapReadsEveryFrameworkFormat) {
  struct Case {
    const char* name;
    std::function<void(TBitmap&)> make;  // a 5 x 2 bitmap
    TIEPixelFormat expected;
    std::vector<TRGB> colours;  // row 0, pixels 0..4
  } cases[] = {
      {"pf1bit monochrome",
       [](TBitmap& b) {
         b.SetPixelFormat(pf1bit);
         b.SetMonochrome(true);
         b.SetSize(5, 2);
         static_cast<Byte*>(b.ScanLine(0))[0] = 0xA8;  // 1 0 1 0 1
       },
       ie1g,
       {{255, 255, 255}, {}, {255, 255, 255}, {}, {255, 255, 255}}},
      {"pf1bit with colours",
       [](TBitmap& b) {
         b.SetPixelFormat(pf1bit);
         b.SetSize(5, 2);
         SetPaletteEntries(&b, {TRGB{0, 0, 200}, TRGB{200, 0, 0}});
         static_cast<Byte*>(b.ScanLine(0))[0] = 0x60;  // 0 1 1 0 0
       },
       ie8p,
       {{0, 0, 200}, {200, 0, 0}, {200, 0, 0}, {0, 0, 200}, {0, 0, 200}}},
      {"pf4bit",
       [](TBitmap& b) {
         b.SetPixelFormat(pf4bit);
         b.SetSize(5, 2);
         std::vector<TRGB> sixteen(16);
         for (Integer i = 0; i < 16; ++i) sixteen[i] = TRGB{Byte(i * 16), Byte(i), 7};
         SetPaletteEntries(&b, sixteen);
         Byte* row = static_cast<Byte*>(b.ScanLine(0));
         row[0] = 0x3F;  // 3, 15
         row[1] = 0x01;  // 0, 1
         row[2] = 0xE0;  // 14
       },
       ie8p,
       {{48, 3, 7}, {240, 15, 7}, {0, 0, 7}, {16, 1, 7}, {224, 14, 7}}},
      {"pf8bit",
       [](TBitmap& b) {
         b.SetPixelFormat(pf8bit);
         b.SetSize(5, 2);
         std::vector<TRGB> table(256);
         for (Integer i = 0; i < 256; ++i) table[i] = TRGB{Byte(i), Byte(255 - i), 9};
         SetPaletteEntries(&b, table);
         Byte* row = static_cast<Byte*>(b.ScanLine(0));
         for (Integer x = 0; x < 5; ++x) row[x] = static_cast<Byte>(x * 50);
       },
       ie8p,
       {{0, 255, 9}, {50, 205, 9}, {100, 155, 9}, {150, 105, 9}, {200, 55, 9}}},
      {"pf15bit",
       [](TBitmap& b) {
         b.SetPixelFormat(pf15bit);
         b.SetSize(5, 2);
         auto* row = static_cast<Word*>(b.ScanLine(0));
         row[0] = 0x7C00;                            // red
         row[1] = 0x03E0;                            // green
         row[2] = 0x001F;                            // blue
         row[3] = (3 << 10) | (5 << 5) | 7;
         row[4] = 0x7FFF;
       },
       ie24RGB,
       {{0, 0, 248}, {0, 248, 0}, {248, 0, 0}, {56, 40, 24}, {248, 248, 248}}},
      {"pf16bit",
       [](TBitmap& b) {
         b.SetPixelFormat(pf16bit);
         b.SetSize(5, 2);
         auto* row = static_cast<Word*>(b.ScanLine(0));
         row[0] = 0xF800;
         row[1] = 0x07E0;
         row[2] = 0x001F;
         row[3] = (3 << 11) | (5 << 5) | 7;
         row[4] = 0xFFFF;
       },
       ie24RGB,
       {{0, 0, 248}, {0, 252, 0}, {248, 0, 0}, {56, 20, 24}, {248, 252, 248}}},
      {"pf24bit",
       [](TBitmap& b) {
         b.SetPixelFormat(pf24bit);
         b.SetSize(5, 2);
         auto* row = static_cast<TRGB*>(b.ScanLine(0));
         for (Integer x = 0; x < 5; ++x) row[x] = TRGB{Byte(x), Byte(x * 2), Byte(x * 3)};
       },
       ie24RGB,
       {{0, 0, 0}, {1, 2, 3}, {2, 4, 6}, {3, 6, 9}, {4, 8, 12}}},
      {"pf32bit",
       [](TBitmap& b) {
         b.SetPixelFormat(pf32bit);
         b.SetSize(5, 2);
         auto* row = static_cast<Byte*>(b.ScanLine(0));
         for (Integer x = 0; x < 5; ++x) {
           row[4 * x] = static_cast<Byte>(x);
           row[4 * x + 1] = 100;
           row[4 * x + 2] = 200;
           row[4 * x + 3] = 77;
         }
       },
       ie24RGB,
       {{0, 100, 200}, {1, 100, 200}, {2, 100, 200}, {3, 100, 200}, {4, 100, 200}}},
  };
  for (Storage s : {Storage::Memory, Storage::File, Storage::Framework}) {
    for (const Case& c : cases) {
      TBitmap bitmap;
      c.make(bitmap);
      auto b = MakeStore(s, 1, 1, ie8g);
      b->SetFull(true);
      b->CopyFromTBitmap(&bitmap);
      // Framework storage keeps any 1-bit bitmap as ie1g.
      const bool oneBit = s == Storage::Framework && bitmap.GetPixelFormat() == pf1bit;
      EXPECT_EQ(b->GetPixelFormat(), oneBit ? ie1g : c.expected) << c.name << " in " << StorageName(s);
      EXPECT_EQ(b->GetWidth(), 5);
      EXPECT_EQ(b->GetHeight(), 2);
      EXPECT_FALSE(b->GetFull());
      if (oneBit && c.expected != ie1g) continue;
      for (Integer x = 0; x < 5; ++x)
        EXPECT_EQ(b->GetPixels(x, 0), c.colours[x]) << c.name << " in " << StorageName(s) << " x " << x;
    }
  }
}

TEST(IEBitmapCopy, CopyFromADeviceDependentBitmapChangesNothing) {
  TBitmap device;  // a new bitmap is device-dependent
  device.SetSize(4, 4);
  ASSERT_EQ(device.GetPixelFormat(), pfDevice);
  TIEBitmap b;
  b.Allocate(2, 3, ie8g);
  b.CopyFromTBitmap(&device);
  EXPECT_EQ(b.GetWidth(), 2);
  EXPECT_EQ(b.GetPixelFormat(), ie8g);
  b.CopyFromTBitmap(nullptr);
  b.CopyToTBitmap(nullptr);
}

TEST(IEBitmapCopy, AssignOfAFrameworkBitmapCopiesIt) {
  TBitmap bitmap;
  bitmap.SetPixelFormat(pf24bit);
  bitmap.SetSize(3, 3);
  static_cast<TRGB*>(bitmap.ScanLine(1))[2] = TRGB{5, 6, 7};
  TIEBitmap b;
  b.Assign(&bitmap);
  EXPECT_EQ(b.GetPixelFormat(), ie24RGB);
  EXPECT_EQ(b.GetPixels_ie24RGB(2, 1), (TRGB{5, 6, 7}));
}

// ---------------------------------------------------------------------------
// DIB sections

TEST(IEBitmapCopy, CopyFromTDibBitmapTakesSizeFormatAndRows) {
  for (Storage s : {Storage::Memory, Storage::File, Storage::Framework}) {
    TIEDibbitmap dib;
    dib.AllocateBits(11, 3, 1);
    static_cast<Byte*>(dib.GetScanLine(2))[1] = 0x40;  // pixel 9
    auto b = MakeStore(s, 1, 1, ie8g);
    b->CopyFromTDibBitmap(&dib);
    EXPECT_EQ(b->GetPixelFormat(), ie1g) << StorageName(s);
    EXPECT_EQ(b->GetWidth(), 11);
    EXPECT_TRUE(b->GetPixels_ie1g(9, 2));
    EXPECT_FALSE(b->GetPixels_ie1g(8, 2));
    b->CopyFromTDibBitmap(nullptr);
    EXPECT_EQ(b->GetWidth(), 11);
  }
}

TEST(IEBitmapCopy, MergeFromTDibBitmapIsClippedToTheStore) {
  TIEDibbitmap dib;
  dib.AllocateBits(4, 3, 24);
  for (Integer y = 0; y < 3; ++y)
    for (Integer x = 0; x < 4; ++x)
      static_cast<TRGB*>(dib.GetScanLine(y))[x] = TRGB{Byte(10 * y + x + 1), 0, 0};
  struct Case {
    Integer x, y;
    std::vector<std::string> expected;  // blue bytes of the 5 x 3 store
  } cases[] = {
      {2, 1, {". . . . .", ". . 1 2 3", ". . 11 12 13"}},
      {-2, -1, {"13 14 . . .", "23 24 . . .", ". . . . ."}},
      {9, 0, {". . . . .", ". . . . .", ". . . . ."}},
  };
  for (const Case& c : cases) {
    TIEBitmap b;
    b.Allocate(5, 3, ie24RGB);
    b.MergeFromTDibBitmap(&dib, c.x, c.y);
    std::vector<std::string> rows;
    for (Integer y = 0; y < 3; ++y) {
      std::string row;
      for (Integer x = 0; x < 5; ++x) {
        const Integer v = b.GetPixels_ie24RGB(x, y).b;
        row += (x ? " " : "") + (v == 0 ? std::string(".") : std::to_string(v));
      }
      rows.push_back(row);
    }
    EXPECT_EQ(rows, c.expected) << c.x << "," << c.y;
  }
}

TEST(IEBitmapCopy, OneBitDibCopiesAreBitExact) {
  TIEDibbitmap dib;
  dib.AllocateBits(10, 2, 1);
  static_cast<Byte*>(dib.GetScanLine(0))[0] = 0xFF;
  static_cast<Byte*>(dib.GetScanLine(0))[1] = 0xC0;  // 10 bits set
  TIEBitmap b;
  b.Allocate(16, 2, ie1g);
  b.MergeFromTDibBitmap(&dib, 3, 0);
  for (Integer x = 0; x < 16; ++x) EXPECT_EQ(b.GetPixels_ie1g(x, 0), x >= 3 && x < 13) << x;

  TIEDibbitmap out;
  out.AllocateBits(6, 2, 1);
  b.CopyToTDibBitmap(&out, 10, 0, 100, 100);
  // Store columns 10..15 land at 0..5: 10, 11 and 12 set.
  EXPECT_EQ(static_cast<Byte*>(out.GetScanLine(0))[0] & 0xFC, 0xE0);
}

TEST(IEBitmapCopy, CopyToTDibBitmapIsClippedToBothAndNeedsTheSameDepth) {
  TIEBitmap b;
  b.Allocate(4, 4, ie24RGB);
  for (Integer y = 0; y < 4; ++y)
    for (Integer x = 0; x < 4; ++x) b.SetPixels_ie24RGB(x, y, TRGB{Byte(10 * y + x + 1), 0, 0});
  TIEDibbitmap dib;
  dib.AllocateBits(3, 3, 24);
  b.CopyToTDibBitmap(&dib, 2, -1, 5, 5);
  // Store (2 + i, -1 + j) goes to (i, j): row 0 of the DIB lies above the store.
  auto at = [&dib](Integer x, Integer y) { return static_cast<TRGB*>(dib.GetScanLine(y))[x].b; };
  EXPECT_EQ(at(0, 0), 0);
  EXPECT_EQ(at(0, 1), 3);
  EXPECT_EQ(at(1, 1), 4);
  EXPECT_EQ(at(2, 1), 0);  // column 4 is outside the store
  EXPECT_EQ(at(1, 2), 14);

  TIEDibbitmap mono;
  mono.AllocateBits(3, 3, 1);
  b.CopyToTDibBitmap(&mono, 0, 0, 3, 3);
  b.MergeFromTDibBitmap(&mono, 0, 0);
  EXPECT_EQ(static_cast<Byte*>(mono.GetScanLine(0))[0], 0);
  EXPECT_EQ(b.GetPixels_ie24RGB(0, 0).b, 1);
}

// ---------------------------------------------------------------------------
// Masks

TEST(IEBitmapCopy, MaskCopiesCarryPlaneAndFull) {
  TIEMask mask;
  mask.AllocateBits(9, 4, 8);
  mask.SetPixel(8, 3, 200);
  mask.SetFull(false);
  TIEBitmap b;
  b.CopyFromTIEMask(&mask);
  EXPECT_EQ(b.GetPixelFormat(), ie8g);
  EXPECT_EQ(b.GetPixels_ie8(8, 3), 200);
  EXPECT_FALSE(b.GetFull());

  b.SetPixels_ie8(0, 0, 17);
  b.SetFull(true);
  TIEMask back;
  b.CopyToTIEMask(&back);
  EXPECT_EQ(back.GetBitsPerPixel(), 8);
  EXPECT_EQ(back.GetPixel(0, 0), 17);
  EXPECT_EQ(back.GetPixel(8, 3), 200);
  EXPECT_TRUE(back.GetFull());
  EXPECT_TRUE(back.IsEmpty());  // the box stays empty

  TIEMask one;
  one.AllocateBits(10, 2, 1);
  one.SetPixel(9, 1, 1);
  b.CopyFromTIEMask(&one);
  EXPECT_EQ(b.GetPixelFormat(), ie1g);
  EXPECT_TRUE(b.GetPixels_ie1g(9, 1));
  EXPECT_FALSE(b.GetPixels_ie1g(8, 1));

  b.CopyFromTIEMask(nullptr);
  EXPECT_TRUE(b.GetPixels_ie1g(0, 0));
  EXPECT_TRUE(b.GetFull());
}

TEST(IEBitmapCopy, CopyToTIEMaskOfAColourStoreLeavesTheMask) {
  TIEMask mask;
  mask.AllocateBits(2, 2, 1);
  mask.SetPixel(1, 1, 1);
  TIEBitmap b;
  b.Allocate(5, 5, ie24RGB);
  b.CopyToTIEMask(&mask);
  EXPECT_EQ(mask.GetWidth(), 2);
  EXPECT_EQ(mask.GetPixel(1, 1) != 0, true);
}
