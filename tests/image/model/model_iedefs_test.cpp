// The shared image records, the row-length rule and the bit helpers.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <thread>
#include <vector>

#include "image/model/iedefs.h"
#include "image/model/ieutils.h"
#include "platform/rtl/Exceptions.h"

namespace {

TEST(IEDefs, BitsPerPixelComeFromTheTableByOrdinal) {
  struct Case {
    TIEPixelFormat format;
    Integer bits;
  };
  const Case cases[] = {{ienull, 0}, {ie1g, 1}, {ie8p, 8}, {ie8g, 8}, {ie16g, 16}, {ie24RGB, 24}};
  for (const Case& c : cases) {
    EXPECT_EQ(IEPixelFormatBits(c.format), c.bits) << static_cast<int>(c.format);
    EXPECT_EQ(static_cast<int>(c.format), &c - cases) << "ordinal";
  }
  EXPECT_EQ(_BitmapRowLen(100, IEPixelFormatBits(ienull)), 0);
}

TEST(IEDefs, RowsArePaddedTo32Bits) {
  struct Case {
    Integer width, bits, rowLen;
  };
  const Case cases[] = {{1, 1, 4},  {32, 1, 4},  {33, 1, 8},    {1, 24, 4},
                        {2, 24, 8}, {3, 24, 12}, {0, 24, 0},    {5, 8, 8},
                        {3, 16, 8}, {7, 4, 4},   {9, 4, 8},     {0x7FFFFFFF, 1, 0x10000000},
                        {1, 32, 4}, {4, 24, 12}, {0x0AAAAAAA, 24, 0x20000000}};
  for (const Case& c : cases)
    EXPECT_EQ(_BitmapRowLen(c.width, c.bits), c.rowLen) << c.width << " x " << c.bits;
}

// A width a file header can claim would wrap a 32-bit row length to a small number,
// and rows written with the real length would overrun the block.
TEST(IEDefs, RowLengthsBeyondAnIntegerAreRefused) {
  EXPECT_THROW(_BitmapRowLen(0x7FFFFFFF, 24), EOutOfMemory);
  EXPECT_THROW(_BitmapRowLen(0x7FFFFFFF, 32), EOutOfMemory);
  EXPECT_THROW(_BitmapRowLen(-1, 24), EOutOfMemory);
  EXPECT_THROW(_BitmapRowLen(10, -8), EOutOfMemory);
  // 0xFFFFFFF0 bits: 32-bit arithmetic would wrap the padding to a row of 0 bytes.
  EXPECT_EQ(_BitmapRowLen(0x0FFFFFFF, 16), 0x20000000);
}

TEST(IEDefs, ColourMaskBitCounts) {
  struct Case {
    DWORD mask;
    Integer count;
  };
  const Case cases[] = {{0x0000F800, 5}, {0x000007E0, 6}, {0x0000001F, 5}, {0x00007C00, 5},
                        {0xFFFFFFFF, 32}, {0, 0}, {0x00FF00FF, 8}, {0x80000000, 1},
                        {0xC0000000, 2}, {0xFF000000, 8}};
  for (const Case& c : cases) EXPECT_EQ(_GetBitCount(c.mask), c.count) << std::hex << c.mask;
}

TEST(IEDefs, BitsForColourCounts) {
  struct Case {
    Integer colours, bits;
  };
  const Case cases[] = {{0, -1}, {1, 0},   {2, 1},   {3, 2},   {16, 4},
                        {255, 8}, {256, 8}, {257, 9}, {-1, 32}, {0x40000000, 30}};
  for (const Case& c : cases) EXPECT_EQ(_NColToBitsPixel(c.colours), c.bits) << c.colours;
}

TEST(IEDefs, BitAndByteReversal) {
  Byte b = 0x01;
  ReverseBitsB(b);
  EXPECT_EQ(b, 0x80);
  b = 0xB1;  // 1011 0001
  ReverseBitsB(b);
  EXPECT_EQ(b, 0x8D);  // 1000 1101
  for (unsigned i = 0; i < 256; ++i) {
    Byte twice = static_cast<Byte>(i);
    ReverseBitsB(twice);
    ReverseBitsB(twice);
    EXPECT_EQ(twice, i);
  }
  DWORD v = 1;
  ReverseBits(v);
  EXPECT_EQ(v, 0x80000000u);
  v = 0x12345678;
  ReverseBits(v);
  EXPECT_EQ(v, 0x1E6A2C48u);
  EXPECT_EQ(IESwapWord(0x1234), 0x3412);
  EXPECT_EQ(IESwapDWord(0x12345678), 0x78563412u);
}

TEST(IEDefs, PowerCases) {
  struct Case {
    long double base, exponent, result;
  };
  const Case cases[] = {{2, 10, 1024}, {2, -1, 0.5L}, {4, 0.5L, 2},  {0, 3, 0},
                        {0, 0, 1},     {7, 0, 1},     {-2, 3, -8},   {-2, 2, 4},
                        {10, -3, 0.001L}, {1.5L, 2, 2.25L}, {8, 1.0L / 3, 2}};
  for (const Case& c : cases)
    EXPECT_NEAR(static_cast<double>(IEPower(c.base, c.exponent)), static_cast<double>(c.result),
                1e-12)
        << static_cast<double>(c.base) << " ^ " << static_cast<double>(c.exponent);
  EXPECT_TRUE(std::isnan(static_cast<double>(IEPower(-8, 0.5L))));
  EXPECT_TRUE(std::isinf(static_cast<double>(IEPower(0, -2))));
  // The largest whole exponent still goes by squaring and stays finite for base 1.
  EXPECT_EQ(IEPower(1, 2147483647.0L), 1);
  EXPECT_EQ(IEPower(-1, 2147483647.0L), -1);
}

TEST(IEDefs, ProgressRecordCallsOnlyAnAssignedHandlerWithinZeroToHundred) {
  TProgressRec rec;  // nothing assigned, no abort flag: must be safe to use
  rec.Report(50);
  EXPECT_FALSE(rec.Aborted());
  rec.Abort();

  std::vector<Integer> reports;
  TObject sender;
  TObject* seenSender = nullptr;
  rec.OnProgress = [&](TObject* s, Integer per) {
    seenSender = s;
    reports.push_back(per);
  };
  rec.Sender = &sender;
  for (Integer per : {0, 42, 100, 105, -3}) rec.Report(per);
  EXPECT_EQ(reports, (std::vector<Integer>{0, 42, 100, 100, 0}));
  EXPECT_EQ(seenSender, &sender);

  bool aborting = false;
  rec.Aborting = &aborting;
  EXPECT_FALSE(rec.Aborted());
  rec.Abort();
  EXPECT_TRUE(aborting);
  EXPECT_TRUE(rec.Aborted());
}

// Codecs written against either set of names share the counters.
TEST(IEDefs, ProgressRecordNamesShareTheirFields) {
  TProgressRec rec;
  EXPECT_EQ(rec.val, 0);
  EXPECT_EQ(rec.tot, 0);
  EXPECT_EQ(rec.per1, 0);
  rec.val = 7;
  rec.PassCount = 3;
  rec.per1 = 100 / 10.5;
  EXPECT_EQ(rec.PassesDone, 7);
  EXPECT_EQ(rec.tot, 3);
  EXPECT_DOUBLE_EQ(rec.PercentPerStep, 100 / 10.5);
  ++rec.PassesDone;
  EXPECT_EQ(rec.val, 8);
  TProgressRec copy = rec;
  EXPECT_EQ(copy.val, 8);
  EXPECT_EQ(copy.tot, 3);
}

TEST(IEDefs, ThreadLockIsReentrantAndExcludesOtherThreads) {
  EnterCriticalSection(&gThreadCS);
  EnterCriticalSection(&gThreadCS);  // the holder may enter again
  std::atomic<BOOL> otherGotIt{TRUE};
  std::thread([&] { otherGotIt = TryEnterCriticalSection(&gThreadCS); }).join();
  EXPECT_EQ(otherGotIt.load(), FALSE);
  LeaveCriticalSection(&gThreadCS);
  LeaveCriticalSection(&gThreadCS);
  std::thread([&] {
    otherGotIt = TryEnterCriticalSection(&gThreadCS);
    if (otherGotIt) LeaveCriticalSection(&gThreadCS);
  }).join();
  EXPECT_EQ(otherGotIt.load(), TRUE);
  EXPECT_FALSE(gAVIFILEinit);
}

TEST(IEDefs, SingleBitMasksRunFromTheMostSignificantBit) {
  for (int column = 0; column < 8; ++column) EXPECT_EQ(iebitmask1[column], 0x80 >> column);
}

}  // namespace
