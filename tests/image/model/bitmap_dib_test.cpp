// TIEDibbitmap (a DIB section in its own DC) and TIEWorkBitmap (the filters' buffer).
#include <gtest/gtest.h>

#include <cstring>

#include "image/model/iebitmap.h"
#include "image/model/ieutils.h"

// ---------------------------------------------------------------------------
// TIEDibbitmap

TEST(IEDibbitmap, OnlyOneAndTwentyFourBitsAreAllocated) {
  TIEDibbitmap dib;
  EXPECT_EQ(dib.GetPixelFormat(), ienull);
  dib.AllocateBits(10, 10, 8);
  EXPECT_EQ(dib.GetBits(), nullptr);
  EXPECT_EQ(dib.GetWidth(), 0);
  dib.Allocate(10, 10, ie8g);
  EXPECT_EQ(dib.GetBits(), nullptr);
  dib.AllocateBits(0, 10, 24);
  EXPECT_EQ(dib.GetBits(), nullptr);
  EXPECT_EQ(dib.GetDC(), 0u);

  dib.AllocateBits(33, 2, 1);
  EXPECT_EQ(dib.GetRowLen(), 8);
  EXPECT_EQ(dib.GetPixelFormat(), ie1g);
  EXPECT_NE(dib.GetDC(), 0u);
  dib.Allocate(5, 3, ie24RGB);
  EXPECT_EQ(dib.GetPixelFormat(), ie24RGB);
  EXPECT_EQ(dib.GetRowLen(), 16);
  EXPECT_EQ(dib.GetBitmapInfo()->bmiHeader.biSizeImage, 48u);
  EXPECT_EQ(dib.GetBitmapInfo()->bmiHeader.biHeight, 3);
}

TEST(IEDibbitmap, RowZeroIsTheLastRowInMemory) {
  TIEDibbitmap dib;
  dib.AllocateBits(4, 3, 24);
  EXPECT_EQ(dib.GetScanLine(2), dib.GetBits());
  EXPECT_EQ(static_cast<Byte*>(dib.GetScanLine(0)) - static_cast<Byte*>(dib.GetBits()),
            2 * dib.GetRowLen());
  EXPECT_EQ(dib.GetScanline(1), dib.GetScanLine(1));
}

TEST(IEDibbitmap, DrawingOnItsDCReachesTheRows) {
  TIEDibbitmap dib;
  dib.AllocateBits(8, 8, 24);
  RECT r{2, 1, 4, 3};
  HBRUSH brush = CreateSolidBrush(RGB(255, 0, 0));
  FillRect(dib.GetDC(), &r, brush);
  DeleteObject(brush);
  EXPECT_EQ(static_cast<TRGB*>(dib.GetScanLine(1))[2], (TRGB{0, 0, 255}));
  EXPECT_EQ(static_cast<TRGB*>(dib.GetScanLine(3))[2], TRGB{});

  // The 1-bit palette is black, white.
  TIEDibbitmap mono;
  mono.AllocateBits(8, 2, 1);
  RECT all{0, 0, 8, 2};
  FillRect(mono.GetDC(), &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  EXPECT_EQ(static_cast<Byte*>(mono.GetScanLine(1))[0], 0xFF);
}

TEST(IEDibbitmap, AssignCopiesAnotherDibOnly) {
  TIEDibbitmap source;
  source.AllocateBits(5, 2, 24);
  static_cast<TRGB*>(source.GetScanLine(1))[4] = TRGB{1, 2, 3};
  TIEDibbitmap dib;
  dib.Assign(&source);
  EXPECT_EQ(dib.GetWidth(), 5);
  EXPECT_EQ(static_cast<TRGB*>(dib.GetScanLine(1))[4], (TRGB{1, 2, 3}));
  EXPECT_NE(dib.GetBits(), source.GetBits());
  dib.Assign(&dib);
  TIEBitmap store;
  dib.Assign(&store);
  EXPECT_EQ(static_cast<TRGB*>(dib.GetScanLine(1))[4], (TRGB{1, 2, 3}));
}

TEST(IEDibbitmap, FreeBitsEmptiesIt) {
  TIEDibbitmap dib;
  dib.AllocateBits(5, 2, 1);
  dib.FreeBits();
  EXPECT_EQ(dib.GetWidth(), 0);
  EXPECT_EQ(dib.GetBitCount(), 0);
  EXPECT_EQ(dib.GetBits(), nullptr);
  EXPECT_EQ(dib.GetDC(), 0u);
}

TEST(IEDibbitmap, CopyToTBitmapGivesItsFormatAndRows) {
  for (Integer bits : {1, 24}) {
    TIEDibbitmap dib;
    dib.AllocateBits(9, 2, bits);
    static_cast<Byte*>(dib.GetScanLine(1))[0] = 0x81;
    TBitmap bitmap;
    dib.CopyToTBitmap(&bitmap);
    EXPECT_EQ(bitmap.GetPixelFormat(), bits == 1 ? pf1bit : pf24bit);
    EXPECT_EQ(bitmap.GetWidth(), 9);
    EXPECT_EQ(bitmap.GetHeight(), 2);
    EXPECT_EQ(static_cast<Byte*>(bitmap.ScanLine(1))[0], 0x81);
    EXPECT_EQ(static_cast<Byte*>(bitmap.ScanLine(0))[0], 0);
  }
}

TEST(IEDibbitmap, GenericWorkersSeeItThroughTheBase) {
  TIEDibbitmap dib;
  TIEBaseBitmap* base = &dib;
  base->Allocate(6, 4, ie24RGB);
  EXPECT_EQ(base->GetWidth(), 6);
  EXPECT_EQ(base->GetHeight(), 4);
  EXPECT_EQ(base->GetBitCount(), 24);
  EXPECT_EQ(base->GetRowLen(), 20);
  EXPECT_EQ(base->GetPixelFormat(), ie24RGB);
  EXPECT_EQ(base->GetScanLine(3), dib.GetBits());
}

// ---------------------------------------------------------------------------
// TIEWorkBitmap

TEST(IEWorkBitmap, ConstructorAllocatesOnlyPositiveSizes) {
  TIEWorkBitmap empty(0, 5, 24);
  EXPECT_EQ(empty.GetBits(), nullptr);
  TIEWorkBitmap work(3, 2, 64);
  ASSERT_NE(work.GetBits(), nullptr);
  EXPECT_EQ(work.GetRowLen(), 24);
  EXPECT_EQ(work.GetBitCount(), 64);
}

TEST(IEWorkBitmap, ReallocationWithTheSameGeometryKeepsTheData) {
  TIEWorkBitmap work(4, 3, 32);
  *work.GetPInteger(2, 3) = 123456;
  work.AllocateBits(4, 3, 32);
  EXPECT_EQ(*work.GetPInteger(2, 3), 123456);
  work.AllocateBits(4, 3, 8);
  EXPECT_EQ(work.GetBitCount(), 8);
  EXPECT_EQ(*work.GetPByte(2, 3), 0);
  work.AllocateBits(0, 3, 8);
  EXPECT_EQ(work.GetBits(), nullptr);
  EXPECT_EQ(work.GetWidth(), 0);
}

TEST(IEWorkBitmap, ElementAddressesFollowRowAndColumn) {
  TIEWorkBitmap work(3, 2, 64);
  // Row 0 is the last row in memory; column 1 of a double row is bytes 8..15.
  EXPECT_EQ(reinterpret_cast<Byte*>(work.GetPDouble(0, 1)), work.GetBits() + work.GetRowLen() + 8);
  EXPECT_EQ(reinterpret_cast<Byte*>(work.GetPDouble(1, 0)), work.GetBits());
  EXPECT_EQ(reinterpret_cast<Byte*>(work.GetPSingle(1, 2)), work.GetBits() + 8);
  EXPECT_EQ(reinterpret_cast<Byte*>(work.GetPInteger(1, 2)), work.GetBits() + 8);
  EXPECT_EQ(reinterpret_cast<Byte*>(work.GetPRGB(1, 2)), work.GetBits() + 6);
  EXPECT_EQ(work.GetPByte(0, 5), work.GetScanline(0) + 5);
  *work.GetPDouble(0, 2) = 2.5;
  EXPECT_EQ(*work.GetPDouble(0, 2), 2.5);
}

TEST(IEWorkBitmap, SetBitWritesMostSignificantBitFirst) {
  TIEWorkBitmap work(16, 1, 1);
  work.SetBit(0, 0, 1);
  work.SetBit(0, 9, 5);
  EXPECT_EQ(work.GetScanline(0)[0], 0x80);
  EXPECT_EQ(work.GetScanline(0)[1], 0x40);
  work.SetBit(0, 0, 0);
  EXPECT_EQ(work.GetScanline(0)[0], 0x00);
}
