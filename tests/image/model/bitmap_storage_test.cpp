// TIEBitmap storage: the allocation rule, the three storages, rows of file storage,
// the alpha plane across moves, assignment and framework bitmaps kept in step.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>
#include <functional>

#include "tests/image/bitmap_test_util.h"
#include "image/model/iebitmap.h"
#include "image/model/ieutils.h"
#include "image/proc/dadiravproc.h"
#include "platform/rtl/Exceptions.h"

using namespace bitmap_test;

namespace {

bool FileExists(const AnsiString& name) {
  struct stat info {};
  return stat(name.c_str(), &info) == 0;
}

// The framework bitmap of ieTBitmap storage holds exactly the store's rows.
void ExpectInStep(TIEBitmap& b) {
  ASSERT_EQ(b.GetLocation(), ieTBitmap);
  TBitmap* fb = b.GetFrameworkBitmap();
  if (b.GetWidth() == 0 || b.GetHeight() == 0) return;
  ASSERT_NE(fb, nullptr);
  EXPECT_EQ(fb->GetWidth(), b.GetWidth());
  EXPECT_EQ(fb->GetHeight(), b.GetHeight());
  const TPixelFormat expected = b.GetPixelFormat() == ie1g      ? pf1bit
                                : b.GetPixelFormat() == ie24RGB ? pf24bit
                                                                : pf8bit;
  EXPECT_NE(b.GetPixelFormat(), ie16g);
  EXPECT_EQ(fb->GetPixelFormat(), expected);
  EXPECT_EQ(b.GetRowLen(), TBitmap::RowBytesFor(fb->GetWidth(), b.GetBitCount()));
  for (Integer y = 0; y < b.GetHeight(); ++y) EXPECT_EQ(b.GetScanLine(y), fb->ScanLine(y)) << y;
}

}  // namespace

// ---------------------------------------------------------------------------
// The allocation rule

TEST(IEBitmapStorage, NewStoreIsEmptyAndAsksForFileStorage) {
  TIEBitmap b;
  EXPECT_EQ(b.GetWidth(), 0);
  EXPECT_EQ(b.GetHeight(), 0);
  EXPECT_EQ(b.GetPixelFormat(), ienull);
  EXPECT_EQ(b.GetLocation(), ieFile);
  EXPECT_EQ(b.GetDefaultDitherMethod(), ieThreshold);
  EXPECT_FALSE(b.GetHasAlphaChannel());
  EXPECT_GT(b.GetMemoryLimit(), 0u);
}

TEST(IEBitmapStorage, AllocationRuleComparesTheBlockWithTheMemoryLimit) {
  // 10 x 10 ie24RGB: rows of 32 bytes, 320 bytes in all.
  struct Case {
    TIELocation requested;
    DWORD limit;
    TIELocation expected;
  } cases[] = {
      {ieFile, 100000, ieMemory},  // small images requested for a file stay in memory
      {ieFile, 319, ieFile},       // larger than the limit
      {ieFile, 320, ieFile},       // equal keeps the request
      {ieMemory, 320, ieMemory},
      {ieMemory, 319, ieFile},
      {ieMemory, 100000, ieMemory},
  };
  for (const Case& c : cases) {
    TIEBitmap b;
    b.SetLocation(c.requested);
    b.SetMemoryLimit(c.limit);
    b.Allocate(10, 10, ie24RGB);
    EXPECT_EQ(b.GetRowLen(), 32);
    EXPECT_EQ(b.GetLocation(), c.expected) << "limit " << c.limit;
    EXPECT_EQ(b.GetMappedFile()->IsAllocated(), c.expected == ieFile);
  }
}

TEST(IEBitmapStorage, ZeroSizeOrNoFormatAllocatesNothing) {
  TIEBitmap b;
  b.Allocate(0, 10, ie8g);
  EXPECT_EQ(b.GetRowLen(), 0);
  EXPECT_EQ(b.GetWidth(), 0);
  b.Allocate(-4, 3, ie8g);
  EXPECT_EQ(b.GetWidth(), 0);
  EXPECT_EQ(b.GetRowLen(), 0);
  b.Allocate(5, 5, ienull);
  EXPECT_EQ(b.GetRowLen(), 0);
}

TEST(IEBitmapStorage, RowTooLongRaisesOutOfMemoryAndLeavesTheStoreEmpty) {
  TIEBitmap b;
  b.Allocate(4, 4, ie8g);
  EXPECT_THROW(b.Allocate(0x7FFFFFFF, 2, ie24RGB), EOutOfMemory);
  EXPECT_EQ(b.GetWidth(), 0);
  EXPECT_EQ(b.GetHeight(), 0);
  EXPECT_EQ(b.GetRowLen(), 0);
}

TEST(IEBitmapStorage, FrameworkStorageHoldsSixteenBitGreyAsEightBit) {
  auto b = MakeStore(Storage::Framework, 5, 3, ie16g);
  EXPECT_EQ(b->GetPixelFormat(), ie8g);
  EXPECT_EQ(b->GetBitCount(), 8);
  ExpectInStep(*b);
}

TEST(IEBitmapStorage, RowZeroIsTheLastRowInMemoryAndTheFirstBytesOfTheFile) {
  auto mem = MakeStore(Storage::Memory, 3, 4, ie8g);
  auto* row0 = static_cast<Byte*>(mem->GetScanLine(0));
  auto* row3 = static_cast<Byte*>(mem->GetScanLine(3));
  EXPECT_EQ(row0 - row3, 3 * mem->GetRowLen());

  auto file = MakeStore(Storage::File, 3, 4, ie8g);
  ASSERT_EQ(file->GetLocation(), ieFile);
  for (Integer y = 0; y < 4; ++y) std::memset(file->GetScanLine(y), 10 + y, 4);
  // The file holds the rows top-down.
  TIEMemoryMapped* mapped = file->GetMappedFile();
  auto* view = static_cast<Byte*>(mapped->Map(0, 0, 16));
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(view[0], 10);
  EXPECT_EQ(view[4], 11);
  EXPECT_EQ(view[12], 13);
  mapped->UnMap(view);
}

TEST(IEBitmapStorage, NewPixelsStartZero) {
  for (Storage s : {Storage::Memory, Storage::File, Storage::Framework}) {
    auto b = MakeStore(s, 7, 5, ie24RGB);
    const std::vector<Byte> pixels = Pixels(*b);
    EXPECT_EQ(std::count(pixels.begin(), pixels.end(), 0), static_cast<long>(pixels.size()))
        << StorageName(s);
  }
}

// ---------------------------------------------------------------------------
// File storage

TEST(IEBitmapStorage, ImageLargerThanTheLimitLivesInATemporaryFile) {
  TIEBitmap b;
  b.SetMemoryLimit(500000);
  b.Allocate(1000, 600, ie24RGB);  // 1.8 MB
  ASSERT_EQ(b.GetLocation(), ieFile);
  const AnsiString name = b.GetMappedFile()->GetFileName();
  EXPECT_TRUE(FileExists(name));
  EXPECT_EQ(b.GetMappedFile()->GetSize(), 3000u * 600u);

  for (Integer y = 0; y < 600; ++y) {
    auto* row = static_cast<TRGB*>(b.GetScanLine(y));
    row[0] = TRGB{static_cast<Byte>(y), static_cast<Byte>(y >> 8), 1};
    row[999] = TRGB{2, static_cast<Byte>(y), static_cast<Byte>(y >> 8)};
  }
  // Read back bottom to top, so every row lies outside the window last used.
  for (Integer y = 599; y >= 0; --y) {
    auto* row = static_cast<TRGB*>(b.GetScanLine(y));
    ASSERT_EQ(row[0], (TRGB{static_cast<Byte>(y), static_cast<Byte>(y >> 8), 1})) << y;
    ASSERT_EQ(row[999], (TRGB{2, static_cast<Byte>(y), static_cast<Byte>(y >> 8)})) << y;
  }
  // A conversion keeps the large image in a file.
  b.ConvertToPixelFormat(ie8g);
  EXPECT_EQ(b.GetLocation(), ieFile);
  EXPECT_FALSE(FileExists(name));
  EXPECT_EQ(b.GetPixels_ie8(0, 300), (21 * 1 + 71 * (300 >> 8) + 8 * (300 & 0xFF)) / 100);
  const AnsiString converted = b.GetMappedFile()->GetFileName();
  EXPECT_TRUE(FileExists(converted));
  b.FreeImage();
  EXPECT_FALSE(FileExists(converted));
}

TEST(IEBitmapStorage, FileRowsBeyondOneMappedWindowStayDistinct) {
  // 72 MB: more than one window of the file; rows are read forwards, backwards and
  // two at a time.
  TIEBitmap b;
  b.SetMemoryLimit(1 << 20);
  b.Allocate(6000, 4000, ie24RGB);
  ASSERT_EQ(b.GetLocation(), ieFile);
  const Integer w = b.GetWidth();
  auto mark = [w](Integer y) { return TRGB{static_cast<Byte>(y), static_cast<Byte>(y >> 8), static_cast<Byte>(w)}; };
  for (Integer y = 0; y < 4000; ++y) {
    auto* row = static_cast<TRGB*>(b.GetScanLine(y));
    row[0] = mark(y);
    row[w - 1] = mark(y);
  }
  for (Integer y = 3999; y >= 0; y -= 7) {
    auto* row = static_cast<TRGB*>(b.GetScanLine(y));
    ASSERT_EQ(row[0], mark(y)) << y;
    ASSERT_EQ(row[w - 1], mark(y)) << y;
  }
  auto* top = static_cast<TRGB*>(b.GetRow(1));
  auto* bottom = static_cast<TRGB*>(b.GetRow(3998));
  EXPECT_EQ(top[w - 1], mark(1));
  EXPECT_EQ(bottom[0], mark(3998));
  b.GetScanLine(2000);
  EXPECT_EQ(top[0], mark(1));  // kept views survive GetScanLine
  b.FreeRow(1);
  b.FreeRow(3998);
}

// A store held as const gives its rows for reading in every storage, file storage
// across windows included, and a worker reads from a const source.
TEST(IEBitmapStorage, ConstStoreGivesItsRowsInEveryStorage) {
  for (const TIELocation location : {ieMemory, ieFile, ieTBitmap}) {
    SCOPED_TRACE(static_cast<int>(location));
    TIEBitmap b;
    b.SetLocation(location);
    if (location == ieFile) b.SetMemoryLimit(1 << 16);
    b.Allocate(300, 400, ie24RGB);
    ASSERT_EQ(b.GetLocation(), location);
    for (Integer y = 0; y < b.GetHeight(); ++y)
      static_cast<TRGB*>(b.GetScanLine(y))[y % 300] = TRGB{static_cast<Byte>(y), 1, 2};
    const TIEBitmap& view = b;
    for (Integer y = b.GetHeight() - 1; y >= 0; --y) {
      const auto* row = static_cast<const TRGB*>(view.GetScanLine(y));
      ASSERT_EQ(row[y % 300], (TRGB{static_cast<Byte>(y), 1, 2})) << y;
      ASSERT_EQ(view.GetPixels_ie24RGB(y % 300, y), (TRGB{static_cast<Byte>(y), 1, 2})) << y;
    }
    TIEBitmap turned;
    _Rot90oEx(&view, &turned);
    ASSERT_EQ(turned.GetWidth(), 400);
    ASSERT_EQ(turned.GetHeight(), 300);
    // Clockwise: dest (x', y') = source (y', h - 1 - x').
    EXPECT_EQ(turned.GetPixels_ie24RGB(399 - 7, 7), (TRGB{7, 1, 2}));
  }
}

TEST(IEBitmapStorage, GetRowKeepsViewsUntilFreeRowOfTheSameRow) {
  auto b = MakeStore(Storage::File, 20, 30, ie8g);
  ASSERT_EQ(b->GetLocation(), ieFile);
  FillPattern(*b);
  const Integer before = b->GetMappedFile()->GetViewCount();
  auto* r3 = static_cast<Byte*>(b->GetRow(3));
  auto* r4 = static_cast<Byte*>(b->GetRow(4));
  auto* r3again = static_cast<Byte*>(b->GetRow(3));
  EXPECT_EQ(b->GetMappedFile()->GetViewCount(), before + 3);
  EXPECT_EQ(r3[5], PatternValue(5, 3));
  EXPECT_EQ(r4[5], PatternValue(5, 4));
  EXPECT_EQ(r3again[7], PatternValue(7, 3));
  b->FreeRow(3);
  EXPECT_EQ(r3[6], PatternValue(6, 3));  // the first view of row 3 is still mapped
  b->FreeRow(3);
  b->FreeRow(4);
  b->FreeRow(4);  // nothing left for row 4: ignored
  EXPECT_EQ(b->GetMappedFile()->GetViewCount(), before);
}

TEST(IEBitmapStorage, GetRowInMemoryAndFrameworkStorageIsTheScanLine) {
  for (Storage s : {Storage::Memory, Storage::Framework}) {
    auto b = MakeStore(s, 4, 4, ie8g);
    EXPECT_EQ(b->GetRow(2), b->GetScanLine(2)) << StorageName(s);
    b->FreeRow(2);
  }
}

// ---------------------------------------------------------------------------
// The three storages through the same operations

namespace {

struct Operation {
  const char* name;
  std::function<void(TIEBitmap&)> run;
};

std::vector<Operation> Operations() {
  return {
      {"Pattern", [](TIEBitmap&) {}},
      {"FillThenFillRect",
       [](TIEBitmap& b) {
         b.Fill(b.GetPixelFormat() == ie24RGB ? 0x123456 : 200);
         b.FillRect(2, 1, 6, 3, b.GetPixelFormat() == ie24RGB ? 0x00FF00 : 0);
         b.FillRect(-3, -3, 1, 1, 1);  // clipped at the top left
         b.FillRect(8, 6, 40, 40, 1);  // and at the bottom right
       }},
      {"SetWidthNarrower", [](TIEBitmap& b) { b.SetWidth(5); }},
      {"SetWidthWider", [](TIEBitmap& b) { b.SetWidth(13); }},
      {"SetHeightShorter", [](TIEBitmap& b) { b.SetHeight(4); }},
      {"SetHeightTaller", [](TIEBitmap& b) { b.SetHeight(11); }},
      {"CopyRectToItselfOverlapping", [](TIEBitmap& b) { b.CopyRectTo(&b, 0, 0, 2, 1, 7, 6); }},
      {"CopyRectToItselfUpwards", [](TIEBitmap& b) { b.CopyRectTo(&b, 1, 2, 0, 0, 8, 5); }},
      {"MoveRegion", [](TIEBitmap& b) { b.MoveRegion(1, 1, 4, 5, 5, 2, 0); }},
      {"ResizeCentred",
       [](TIEBitmap& b) { b.Resize(14, 4, 0, 255, iehCenter, ievCenter); }},
      {"AssignFromMemoryStore",
       [](TIEBitmap& b) {
         TIEBitmap source;
         source.Allocate(6, 5, b.GetPixelFormat());
         FillPattern(source);
         source.FillRect(0, 0, 2, 2, 0);
         b.Assign(&source);
       }},
      {"SetLocationAway",
       [](TIEBitmap& b) {
         const TIELocation back = b.GetLocation();
         b.SetLocation(back == ieMemory ? ieTBitmap : ieMemory);
         b.FillRect(0, 0, 0, 0, 0);
       }},
      {"SwitchToAndBack",
       [](TIEBitmap& b) {
         TIEBitmap other;
         b.SwitchTo(&other);
         EXPECT_EQ(b.GetWidth(), 0);
         other.SwitchTo(&b);
       }},
      {"SetPixelsThroughEveryAccessor",
       [](TIEBitmap& b) {
         for (Integer y = 0; y < b.GetHeight(); y += 2)
           for (Integer x = 0; x < b.GetWidth(); x += 3) {
             switch (b.GetPixelFormat()) {
               case ie1g: b.SetPixels_ie1g(x, y, !b.GetPixels_ie1g(x, y)); break;
               case ie24RGB: {
                 TRGB c = b.GetPixels_ie24RGB(x, y);
                 c.g = static_cast<Byte>(c.g + 1);
                 b.SetPixels_ie24RGB(x, y, c);
                 break;
               }
               default: b.SetPixels_ie8(x, y, static_cast<Byte>(b.GetPixels_ie8(x, y) + 1)); break;
             }
           }
       }},
  };
}

class IEBitmapStorages : public ::testing::TestWithParam<TIEPixelFormat> {};

std::string FormatParamName(const ::testing::TestParamInfo<TIEPixelFormat>& info) {
  return FormatName(info.param);
}

}  // namespace

TEST_P(IEBitmapStorages, EveryOperationGivesTheSamePixelsInEachStorage) {
  const TIEPixelFormat format = GetParam();
  for (const Operation& op : Operations()) {
    std::vector<Byte> reference;
    for (Storage s : {Storage::Memory, Storage::File, Storage::Framework}) {
      auto b = MakeStore(s, 10, 7, format);
      ASSERT_EQ(b->GetLocation(), LocationOf(s));
      FillPattern(*b);
      op.run(*b);
      const std::vector<Byte> pixels = Pixels(*b);
      if (s == Storage::Memory) {
        reference = pixels;
        continue;
      }
      EXPECT_EQ(FirstDifference(reference, pixels), "") << op.name << " in " << StorageName(s);
      if (b->GetLocation() == ieTBitmap) ExpectInStep(*b);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Formats, IEBitmapStorages, ::testing::Values(ie1g, ie8p, ie8g, ie24RGB),
                         FormatParamName);

TEST(IEBitmapStorage, SetLocationMovesPixelsAndPalette) {
  auto b = MakeStore(Storage::Memory, 9, 6, ie8p);
  FillPattern(*b);
  const std::vector<Byte> pixels = Pixels(*b);
  for (TIELocation to : {ieTBitmap, ieMemory, ieTBitmap}) {
    b->SetLocation(to);
    EXPECT_EQ(b->GetLocation(), to);
    EXPECT_EQ(FirstDifference(pixels, Pixels(*b)), "");
    EXPECT_EQ(b->GetPalette(200), (TRGB{200, 55, 100}));
  }
  // The palette reached the framework bitmap's colour table.
  PALETTEENTRY e{};
  GetPaletteEntries(b->GetFrameworkBitmap()->GetPalette(), 200, 1, &e);
  EXPECT_EQ(e.peRed, 100);
  EXPECT_EQ(e.peGreen, 55);
  EXPECT_EQ(e.peBlue, 200);
  // A small image asked to go to a file stays in memory.
  b->SetMemoryLimit(100000);
  b->SetLocation(ieFile);
  EXPECT_EQ(b->GetLocation(), ieMemory);
  EXPECT_EQ(FirstDifference(pixels, Pixels(*b)), "");
}

TEST(IEBitmapStorage, SwitchToMovesEverythingAndKeepsTheSourceSettings) {
  auto b = MakeStore(Storage::Memory, 4, 3, ie8p);
  FillPattern(*b);
  b->SetDefaultDitherMethod(ieOrdered);
  b->SetMemoryLimit(12345);
  b->GetAlphaChannel()->Fill(9);
  const std::vector<Byte> pixels = Pixels(*b);
  TIEBitmap dest;
  dest.Allocate(50, 50, ie24RGB);
  b->SwitchTo(&dest);
  EXPECT_EQ(FirstDifference(pixels, Pixels(dest)), "");
  EXPECT_EQ(dest.GetPalette(3), (TRGB{3, 252, 1}));
  ASSERT_TRUE(dest.GetHasAlphaChannel());
  EXPECT_EQ(dest.GetAlpha(1, 1), 9);
  EXPECT_EQ(dest.GetDefaultDitherMethod(), ieOrdered);
  EXPECT_EQ(b->GetWidth(), 0);
  EXPECT_FALSE(b->GetHasAlphaChannel());
  EXPECT_EQ(b->GetPaletteCount(), 0);
  EXPECT_EQ(b->GetMemoryLimit(), 12345u);
  EXPECT_EQ(b->GetDefaultDitherMethod(), ieOrdered);
}

// ---------------------------------------------------------------------------
// Alpha plane

TEST(IEBitmapStorage, AlphaChannelIsMadeOpaqueAndFullOnFirstRequest) {
  auto b = MakeStore(Storage::Memory, 5, 4, ie24RGB);
  EXPECT_FALSE(b->GetHasAlphaChannel());
  TIEBitmap* alpha = b->GetAlphaChannel();
  ASSERT_NE(alpha, nullptr);
  EXPECT_TRUE(b->GetHasAlphaChannel());
  EXPECT_EQ(alpha->GetPixelFormat(), ie8g);
  EXPECT_EQ(alpha->GetWidth(), 5);
  EXPECT_EQ(alpha->GetHeight(), 4);
  EXPECT_TRUE(alpha->GetFull());
  EXPECT_TRUE(alpha->GetIsAlphaChannel());
  EXPECT_EQ(alpha->GetAlphaChannel(), nullptr);
  alpha->RemoveAlphaChannel();  // ignored on a plane
  EXPECT_EQ(alpha->GetPixels_ie8(4, 3), 255);
}

TEST(IEBitmapStorage, FullFollowsTheValuesWritten) {
  TIEBitmap plane(3, 3, ieMemory);
  EXPECT_TRUE(plane.GetFull());
  plane.SetPixels_ie8(1, 1, 255);
  EXPECT_TRUE(plane.GetFull());
  plane.SetPixels_ie8(1, 1, 254);
  EXPECT_FALSE(plane.GetFull());
  plane.SetPixels_ie8(1, 1, 255);
  plane.SyncFull();
  EXPECT_TRUE(plane.GetFull());

  auto b = MakeStore(Storage::Memory, 3, 3, ie24RGB);
  b->SetFull(true);
  b->SetAlpha(0, 0, 255);
  EXPECT_TRUE(b->GetFull());
  b->SetAlpha(0, 0, 10);
  EXPECT_FALSE(b->GetFull());
  EXPECT_FALSE(b->GetAlphaChannel()->GetFull());
  EXPECT_EQ(b->GetAlpha(0, 0), 10);
}

TEST(IEBitmapStorage, AlphaPlaneSurvivesLocationFormatAndSizeChanges) {
  auto b = MakeStore(Storage::Memory, 6, 5, ie24RGB);
  FillPattern(*b);
  b->SetAlpha(2, 3, 77);
  const std::vector<std::pair<const char*, std::function<void(TIEBitmap&)>>> changes = {
      {"SetLocation(ieTBitmap)", [](TIEBitmap& s) { s.SetLocation(ieTBitmap); }},
      {"ConvertToPixelFormat in a framework bitmap", [](TIEBitmap& s) { s.ConvertToPixelFormat(ie8g); }},
      {"SetLocation(ieMemory)", [](TIEBitmap& s) { s.SetLocation(ieMemory); }},
      {"ConvertToPixelFormat(ie24RGB)", [](TIEBitmap& s) { s.ConvertToPixelFormat(ie24RGB); }},
      {"SetPixelFormat(ie1g)", [](TIEBitmap& s) { s.SetPixelFormat(ie1g); }},
      {"SetLocation(ieFile) over the limit",
       [](TIEBitmap& s) {
         s.SetMemoryLimit(0);
         s.SetLocation(ieFile);
         EXPECT_EQ(s.GetLocation(), ieFile);
       }},
      {"SetWidth", [](TIEBitmap& s) { s.SetWidth(7); }},
      {"SetHeight", [](TIEBitmap& s) { s.SetHeight(6); }},
  };
  for (const auto& [name, change] : changes) {
    change(*b);
    ASSERT_TRUE(b->GetHasAlphaChannel()) << name;
    TIEBitmap* alpha = b->GetAlphaChannel();
    EXPECT_EQ(alpha->GetAlphaChannel(), nullptr) << name << ": the plane stays a plane";
    EXPECT_TRUE(alpha->GetIsAlphaChannel()) << name;
    EXPECT_FALSE(b->GetIsAlphaChannel()) << name;
    EXPECT_EQ(b->GetAlpha(2, 3), 77) << name;
    EXPECT_EQ(alpha->GetWidth(), b->GetWidth()) << name;
    EXPECT_EQ(alpha->GetHeight(), b->GetHeight()) << name;
  }
}

TEST(IEBitmapStorage, AlphaPlaneKeepsBeingOneWhenItMoves) {
  auto b = MakeStore(Storage::Memory, 4, 4, ie24RGB);
  TIEBitmap* alpha = b->GetAlphaChannel();
  alpha->SetLocation(ieTBitmap);
  alpha->SetWidth(8);
  alpha->ConvertToPixelFormat(ie24RGB);
  EXPECT_TRUE(alpha->GetIsAlphaChannel());
  EXPECT_EQ(alpha->GetAlphaChannel(), nullptr);
}

// ---------------------------------------------------------------------------
// Assignment

TEST(IEBitmapStorage, AssignCopiesAlphaAndDitherAssignImageDoesNot) {
  auto source = MakeStore(Storage::Memory, 5, 4, ie8p);
  FillPattern(*source);
  source->SetAlpha(1, 2, 33);
  source->SetDefaultDitherMethod(ieOrdered);
  source->SetFull(true);

  TIEBitmap a;
  a.Assign(source.get());
  EXPECT_EQ(FirstDifference(Pixels(*source), Pixels(a)), "");
  EXPECT_EQ(a.GetPalette(7), source->GetPalette(7));
  ASSERT_TRUE(a.GetHasAlphaChannel());
  EXPECT_EQ(a.GetAlpha(1, 2), 33);
  EXPECT_EQ(a.GetDefaultDitherMethod(), ieOrdered);
  EXPECT_TRUE(a.GetFull());

  TIEBitmap i;
  i.AssignImage(source.get());
  EXPECT_EQ(FirstDifference(Pixels(*source), Pixels(i)), "");
  EXPECT_EQ(i.GetPalette(7), source->GetPalette(7));
  EXPECT_FALSE(i.GetHasAlphaChannel());
  EXPECT_EQ(i.GetDefaultDitherMethod(), ieThreshold);
  EXPECT_FALSE(i.GetFull());
}

TEST(IEBitmapStorage, AssignBetweenFileStoresCopiesTheFile) {
  auto source = MakeStore(Storage::File, 33, 21, ie24RGB);
  FillPattern(*source);
  auto dest = MakeStore(Storage::File, 1, 1, ie8g);
  dest->Assign(source.get());
  EXPECT_EQ(dest->GetLocation(), ieFile);
  EXPECT_EQ(FirstDifference(Pixels(*source), Pixels(*dest)), "");
}

TEST(IEBitmapStorage, SelfAssignmentChangesNothing) {
  for (Storage s : {Storage::Memory, Storage::File, Storage::Framework}) {
    auto b = MakeStore(s, 6, 5, ie8p);
    FillPattern(*b);
    b->SetAlpha(1, 1, 5);
    const std::vector<Byte> pixels = Pixels(*b);
    b->Assign(b.get());
    b->AssignImage(b.get());
    EXPECT_EQ(FirstDifference(pixels, Pixels(*b)), "") << StorageName(s);
    EXPECT_EQ(b->GetPalette(9), (TRGB{9, 246, 4})) << StorageName(s);
    EXPECT_EQ(b->GetAlpha(1, 1), 5) << StorageName(s);
  }
}

TEST(IEBitmapStorage, AssignFromItsOwnAlphaPlaneTakesThePlane) {
  auto b = MakeStore(Storage::Memory, 4, 3, ie24RGB);
  b->GetAlphaChannel()->Fill(0);
  b->SetAlpha(3, 2, 200);
  b->Assign(b->GetAlphaChannel());
  EXPECT_EQ(b->GetPixelFormat(), ie8g);
  EXPECT_EQ(b->GetPixels_ie8(3, 2), 200);
  EXPECT_EQ(b->GetPixels_ie8(0, 0), 0);
  EXPECT_FALSE(b->GetHasAlphaChannel());
}

TEST(IEBitmapStorage, AssignOfUnknownClassesOrNullChangesNothing) {
  auto b = MakeStore(Storage::Memory, 2, 2, ie8g);
  TObject other;
  b->Assign(&other);
  b->Assign(nullptr);
  EXPECT_EQ(b->GetWidth(), 2);
}

// ---------------------------------------------------------------------------
// Framework bitmaps

TEST(IEBitmapStorage, EncapsulatedBitmapIsUsedInPlaceAndOutlivesTheStore) {
  TBitmap bitmap;
  bitmap.SetPixelFormat(pf24bit);
  bitmap.SetSize(6, 4);
  static_cast<TRGB*>(bitmap.ScanLine(2))[3] = TRGB{1, 2, 3};
  {
    TIEBitmap b;
    b.EncapsulateTBitmap(&bitmap, true);
    EXPECT_EQ(b.GetLocation(), ieTBitmap);
    EXPECT_TRUE(b.GetAdopted());
    EXPECT_EQ(b.GetPixelFormat(), ie24RGB);
    EXPECT_EQ(b.GetWidth(), 6);
    EXPECT_EQ(b.GetPixels_ie24RGB(3, 2), (TRGB{1, 2, 3}));
    b.SetPixels_ie24RGB(0, 0, TRGB{9, 9, 9});
    EXPECT_EQ(static_cast<TRGB*>(bitmap.ScanLine(0))[0], (TRGB{9, 9, 9}));
    b.FreeImage();
    EXPECT_EQ(bitmap.GetWidth(), 6);
    b.EncapsulateTBitmap(&bitmap, true);
    b.Allocate(3, 2, ie1g);  // an adopted bitmap is reshaped in place
    EXPECT_EQ(bitmap.GetPixelFormat(), pf1bit);
    EXPECT_EQ(bitmap.GetWidth(), 3);
    ExpectInStep(b);
  }
  EXPECT_EQ(bitmap.GetWidth(), 3);  // the store did not free it
  EXPECT_EQ(bitmap.GetHeight(), 2);
}

TEST(IEBitmapStorage, EncapsulatedBitmapOfAnotherFormatHoldsNoPixels) {
  TBitmap bitmap;
  bitmap.SetPixelFormat(pf8bit);
  bitmap.SetSize(5, 5);
  TIEBitmap b;
  b.Allocate(2, 2, ie24RGB);
  b.EncapsulateTBitmap(&bitmap, true);
  EXPECT_EQ(b.GetPixelFormat(), ienull);
  EXPECT_EQ(b.GetWidth(), 0);
  EXPECT_EQ(b.GetHeight(), 0);
  b.EncapsulateTBitmap(nullptr, true);
  EXPECT_EQ(bitmap.GetWidth(), 5);
}

TEST(IEBitmapStorage, FrameworkStoreStaysInStepWithItsBitmap) {
  const std::vector<std::pair<const char*, std::function<void(TIEBitmap&)>>> changes = {
      {"ConvertToPixelFormat(ie8g)", [](TIEBitmap& b) { b.ConvertToPixelFormat(ie8g); }},
      {"ConvertToPixelFormat(ie16g)", [](TIEBitmap& b) { b.ConvertToPixelFormat(ie16g); }},
      {"ConvertToPixelFormat(ie8p)", [](TIEBitmap& b) { b.ConvertToPixelFormat(ie8p); }},
      {"ConvertToPixelFormat(ie1g)", [](TIEBitmap& b) { b.ConvertToPixelFormat(ie1g); }},
      {"ConvertToPixelFormat(ie24RGB)", [](TIEBitmap& b) { b.ConvertToPixelFormat(ie24RGB); }},
      {"Assign an ie16g store",
       [](TIEBitmap& b) {
         TIEBitmap grey;
         grey.Allocate(4, 3, ie16g);
         grey.SetPixels_ie16g(1, 1, 0xAB12);
         b.Assign(&grey);
         EXPECT_EQ(b.GetPixelFormat(), ie8g);
         EXPECT_EQ(b.GetPixels_ie8(1, 1), 0xAB);
       }},
      {"CopyFromTBitmap(pf4bit)",
       [](TIEBitmap& b) {
         TBitmap four;
         four.SetPixelFormat(pf4bit);
         four.SetSize(5, 2);
         b.CopyFromTBitmap(&four);
         EXPECT_EQ(b.GetPixelFormat(), ie8p);
       }},
      {"CopyFromTBitmap(pf32bit)",
       [](TIEBitmap& b) {
         TBitmap wide;
         wide.SetPixelFormat(pf32bit);
         wide.SetSize(3, 3);
         b.CopyFromTBitmap(&wide);
         EXPECT_EQ(b.GetPixelFormat(), ie24RGB);
       }},
      {"SetWidth", [](TIEBitmap& b) { b.SetWidth(9); }},
      {"SetHeight", [](TIEBitmap& b) { b.SetHeight(1); }},
      {"Resize", [](TIEBitmap& b) { b.Resize(4, 7, 0, 255, iehRight, ievBottom); }},
  };
  for (const auto& [name, change] : changes) {
    auto b = MakeStore(Storage::Framework, 6, 5, ie24RGB);
    FillPattern(*b);
    SCOPED_TRACE(name);
    change(*b);
    ExpectInStep(*b);
  }
}

TEST(IEBitmapStorage, MoveThatCannotBeMadeKeepsThePicture) {
  // Too many pixels for a framework bitmap: the picture stays in its file.
  TIEBitmap b;
  b.SetMemoryLimit(0);
  b.Allocate(20000, 14000, ie1g);
  ASSERT_EQ(b.GetLocation(), ieFile);
  b.SetPixels_ie1g(19999, 13999, true);
  b.GetAlphaChannel();
  EXPECT_THROW(b.GetCanvas(), EOutOfMemory);
  EXPECT_EQ(b.GetLocation(), ieFile);
  EXPECT_EQ(b.GetWidth(), 20000);
  EXPECT_TRUE(b.GetPixels_ie1g(19999, 13999));
  EXPECT_TRUE(b.GetHasAlphaChannel());
}

TEST(IEBitmapStorage, EncapsulatingItsOwnFrameworkBitmapKeepsIt) {
  auto b = MakeStore(Storage::Framework, 4, 3, ie8p);
  FillPattern(*b);
  const std::vector<Byte> pixels = Pixels(*b);
  TBitmap* own = b->GetFrameworkBitmap();
  b->EncapsulateTBitmap(own, true);
  EXPECT_EQ(b->GetFrameworkBitmap(), own);
  EXPECT_FALSE(b->GetAdopted());
  EXPECT_EQ(b->GetPixelFormat(), ie8p);
  EXPECT_EQ(FirstDifference(pixels, Pixels(*b)), "");
  EXPECT_EQ(b->GetPalette(9), (TRGB{9, 246, 4}));
  ExpectInStep(*b);
}

TEST(IEBitmapStorage, SixteenBitGreyMovedIntoAFrameworkBitmapKeepsItsHighByte) {
  auto b = MakeStore(Storage::Memory, 3, 2, ie16g);
  b->SetPixels_ie16g(2, 1, 0x7F01);
  b->SetLocation(ieTBitmap);
  EXPECT_EQ(b->GetPixelFormat(), ie8g);
  EXPECT_EQ(b->GetPixels_ie8(2, 1), 0x7F);
  ExpectInStep(*b);
}

TEST(IEBitmapStorage, GetCanvasDrawsIntoTheStoresPixels) {
  auto b = MakeStore(Storage::Memory, 8, 8, ie24RGB);
  b->Fill(clWhite);
  TCanvas* canvas = b->GetCanvas();
  ASSERT_NE(canvas, nullptr);
  EXPECT_EQ(b->GetLocation(), ieTBitmap);
  canvas->GetBrush()->SetColor(clRed);
  canvas->FillRect(Rect(2, 2, 4, 4));
  EXPECT_EQ(b->GetPixels_ie24RGB(2, 3), (TRGB{0, 0, 255}));
  EXPECT_EQ(b->GetPixels_ie24RGB(4, 4), (TRGB{255, 255, 255}));
}

TEST(IEBitmapStorage, FreeImageKeepsFormatLocationAndSettings) {
  auto b = MakeStore(Storage::Memory, 5, 5, ie8p);
  b->SetDefaultDitherMethod(ieOrdered);
  b->GetAlphaChannel();
  b->FreeImage();
  EXPECT_EQ(b->GetWidth(), 0);
  EXPECT_EQ(b->GetRowLen(), 0);
  EXPECT_EQ(b->GetBitCount(), 0);
  EXPECT_EQ(b->GetPaletteCount(), 0);
  EXPECT_FALSE(b->GetHasAlphaChannel());
  EXPECT_EQ(b->GetPixelFormat(), ie8p);
  EXPECT_EQ(b->GetLocation(), ieMemory);
  EXPECT_EQ(b->GetDefaultDitherMethod(), ieOrdered);
}

// ---------------------------------------------------------------------------
// Pixels, palette and fills

TEST(IEBitmapStorage, GetPixelsAnswersAColourForEveryFormat) {
  struct Case {
    TIEPixelFormat format;
    std::function<void(TIEBitmap&)> set;
    TRGB expected;
  } cases[] = {
      {ie1g, [](TIEBitmap& b) { b.SetPixels_ie1g(1, 1, true); }, TRGB{255, 255, 255}},
      {ie1g, [](TIEBitmap& b) { b.SetPixels_ie1g(1, 1, false); }, TRGB{0, 0, 0}},
      {ie8p,
       [](TIEBitmap& b) {
         b.SetPalette(4, TRGB{1, 2, 3});
         b.SetPixels_ie8(1, 1, 4);
       },
       TRGB{1, 2, 3}},
      {ie8g, [](TIEBitmap& b) { b.SetPixels_ie8(1, 1, 99); }, TRGB{99, 99, 99}},
      {ie16g, [](TIEBitmap& b) { b.SetPixels_ie16g(1, 1, 0x40FF); }, TRGB{0x40, 0x40, 0x40}},
      {ie24RGB, [](TIEBitmap& b) { b.SetPixels_ie24RGB(1, 1, TRGB{7, 8, 9}); }, TRGB{7, 8, 9}},
  };
  for (const Case& c : cases) {
    TIEBitmap b;
    b.Allocate(3, 3, c.format);
    b.Fill(c.format == ie1g ? 1 : 0);
    c.set(b);
    EXPECT_EQ(b.GetPixels(1, 1), c.expected) << static_cast<int>(c.format);
  }
  TIEBitmap empty;
  EXPECT_EQ(empty.GetPixels(0, 0), TRGB{});
}

TEST(IEBitmapStorage, PaletteIndexesOutsideThePaletteAreIgnored) {
  auto b = MakeStore(Storage::Memory, 2, 2, ie8p);
  b->SetPalette(256, TRGB{1, 1, 1});
  b->SetPalette(-1, TRGB{1, 1, 1});
  EXPECT_EQ(b->GetPalette(256), TRGB{});
  EXPECT_EQ(b->GetPalette(-1), TRGB{});
  auto grey = MakeStore(Storage::Memory, 2, 2, ie8g);
  EXPECT_EQ(grey->GetPaletteCount(), 0);
  grey->SetPalette(0, TRGB{1, 1, 1});
  EXPECT_EQ(grey->GetPalette(0), TRGB{});
}

TEST(IEBitmapStorage, FillSetsEveryPixelAndFullByTheFormatsMaximum) {
  struct Case {
    TIEPixelFormat format;
    Integer value;
    bool full;
    TRGB colour;
  } cases[] = {
      {ie1g, 0, false, TRGB{}},
      {ie1g, 1, true, TRGB{255, 255, 255}},
      {ie1g, -1, true, TRGB{255, 255, 255}},  // any value other than 0 sets the bits
      {ie8g, 255, true, TRGB{255, 255, 255}},
      {ie8g, 254, false, TRGB{254, 254, 254}},
      {ie16g, 65535, true, TRGB{255, 255, 255}},
      {ie16g, 0x1234, false, TRGB{0x12, 0x12, 0x12}},
      {ie24RGB, clWhite, true, TRGB{255, 255, 255}},
      {ie24RGB, 0x0000FF, false, TRGB{0, 0, 255}},
      {ie24RGB, clBtnFace, false,
       TRGB{static_cast<Byte>(ColorToRGB(clBtnFace) >> 16), static_cast<Byte>(ColorToRGB(clBtnFace) >> 8),
            static_cast<Byte>(ColorToRGB(clBtnFace))}},
  };
  for (const Case& c : cases) {
    TIEBitmap b;
    b.Allocate(11, 3, c.format);
    b.Fill(c.value);
    EXPECT_EQ(b.GetFull(), c.full) << c.value;
    EXPECT_EQ(b.GetPixels(10, 2), c.colour) << c.value;
    EXPECT_EQ(b.GetPixels(0, 0), c.colour) << c.value;
  }
}

TEST(IEBitmapStorage, SyncFullLooksAtTheWholeRowLength) {
  auto b = MakeStore(Storage::Memory, 3, 2, ie8g);  // 3 pixels in 4-byte rows
  b->Fill(255);
  b->SetFull(false);
  b->SyncFull();
  EXPECT_TRUE(b->GetFull());
  static_cast<Byte*>(b->GetScanLine(1))[3] = 0;  // padding
  b->SyncFull();
  EXPECT_FALSE(b->GetFull());
}

TEST(IEBitmapStorage, FillRectKeepsFullAndTakesBothCorners) {
  auto b = MakeStore(Storage::Memory, 12, 3, ie1g);
  b->Fill(0);
  b->FillRect(3, 1, 10, 1, 1);
  for (Integer x = 0; x < 12; ++x) EXPECT_EQ(b->GetPixels_ie1g(x, 1), x >= 3 && x <= 10) << x;
  EXPECT_FALSE(b->GetPixels_ie1g(5, 0));
  EXPECT_FALSE(b->GetFull());
  b->FillRect(5, 2, 4, 2, 1);  // x2 < x1
  EXPECT_FALSE(b->GetPixels_ie1g(5, 2));
}
