// TIEMask: box and Full bookkeeping, polygon fill, copies through the mask,
// translation and the showing operations.
#include <gtest/gtest.h>

#include <chrono>

#include "tests/image/proc_test_util.h"

using namespace proctest;

namespace {

const TRGB kBlack{0, 0, 0};
const TRGB kWhite{255, 255, 255};
const TRGB kRed{0, 0, 255};
const TRGB kBlue{255, 0, 0};
const Palette kColors{{'.', kBlack}, {'W', kWhite}, {'r', kRed}, {'b', kBlue}};

std::vector<POINT> Points(std::initializer_list<POINT> list) { return std::vector<POINT>(list); }

Art Fill(Integer width, Integer height, const std::vector<POINT>& points) {
  TIEMask mask;
  mask.AllocateBits(width, height, 1);
  mask.DrawPolygon(1, points.data(), static_cast<Integer>(points.size()));
  return ReadMask(mask);
}

}  // namespace

TEST(IEMask, BoxFollowsSetPixelButClearingKeepsIt) {
  TIEMask mask;
  EXPECT_TRUE(mask.IsEmpty());
  mask.AllocateBits(8, 8, 1);
  EXPECT_TRUE(mask.IsEmpty());
  mask.SetPixel(3, 4, 1);
  EXPECT_EQ(BoxOf(mask), (Box{3, 4, 3, 4}));
  mask.SetPixel(6, 1, 1);
  EXPECT_EQ(BoxOf(mask), (Box{3, 1, 6, 4}));
  mask.SetPixel(3, 4, 0);
  EXPECT_EQ(mask.GetPixel(3, 4), 0);
  EXPECT_EQ(BoxOf(mask), (Box{3, 1, 6, 4}));
  // Outside the plane: ignored, read as 0.
  mask.SetPixel(8, 0, 1);
  mask.SetPixel(-1, 0, 1);
  EXPECT_EQ(BoxOf(mask), (Box{3, 1, 6, 4}));
  EXPECT_EQ(mask.GetPixel(8, 0), 0);
  EXPECT_EQ(mask.GetPixel(6, 1), 0x02);  // the bit's weight in its byte
}

TEST(IEMask, FullTracksEightBitValuesOnly) {
  TIEMask mask;
  mask.AllocateBits(10, 10, 8);
  mask.Fill(255);
  EXPECT_TRUE(mask.GetFull());
  EXPECT_TRUE(mask.IsEmpty());
  mask.SetPixel(0, 0, 254);
  EXPECT_FALSE(mask.GetFull());
  mask.SetPixel(0, 0, 255);
  EXPECT_FALSE(mask.GetFull());
  mask.SyncFull();
  EXPECT_TRUE(mask.GetFull());
  EXPECT_EQ(mask.DrawHorizontalLine(7, 2, 4, 3), 3);
  EXPECT_FALSE(mask.GetFull());

  TIEMask bits;
  bits.AllocateBits(10, 10, 1);
  EXPECT_FALSE(bits.GetFull());
  bits.Empty();
  EXPECT_TRUE(bits.GetFull());  // a 1-bit mask keeps it until AllocateBits or Negative
  EXPECT_TRUE(bits.IsEmpty());
}

TEST(IEMask, PolygonFillShapes) {
  struct Case {
    const char* name;
    Integer width, height;
    std::vector<POINT> points;
    Art expected;
  };
  const Case cases[] = {
      {"rectangle: right and bottom edges exclusive",
       7, 6, Points({{1, 1}, {5, 1}, {5, 4}, {1, 4}}),
       {".......",
        ".####..",
        ".####..",
        ".####..",
        ".......",
        "......."}},
      {"45-degree triangle",
       6, 6, Points({{0, 0}, {5, 5}, {0, 5}}),
       {"......",
        "#.....",
        "##....",
        "###...",
        "####..",
        "......"}},
      {"shallow edge rounds its halves down",
       5, 9, Points({{0, 0}, {4, 8}, {0, 8}}),
       {".....",
        ".....",
        "#....",
        "#....",
        "##...",
        "##...",
        "###..",
        "###..",
        "....."}},
      {"leaning left",
       5, 9, Points({{4, 0}, {4, 8}, {0, 8}}),
       {".....",
        ".....",
        "...#.",
        "...#.",
        "..##.",
        "..##.",
        ".###.",
        ".###.",
        "....."}},
      {"U shape: even-odd spans",
       7, 5, Points({{0, 0}, {2, 0}, {2, 3}, {4, 3}, {4, 0}, {6, 0}, {6, 5}, {0, 5}}),
       {"##..##.",
        "##..##.",
        "##..##.",
        "######.",
        "######."}},
      {"two rectangles in one call",
       8, 4, Points({{0, 0}, {2, 0}, {2, 2}, {0, 2}, {TIEMask::kPolygonBreak, TIEMask::kPolygonBreak},
                     {4, 1}, {7, 1}, {7, 4}, {4, 4}}),
       {"##......",
        "##..###.",
        "....###.",
        "....###."}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_ART(Fill(c.width, c.height, c.points), c.expected);
  }
}

TEST(IEMask, PolygonBoxTakesInThePoints) {
  TIEMask mask;
  mask.AllocateBits(12, 12, 1);
  const auto square = Points({{0, 0}, {10, 0}, {10, 10}, {0, 10}});
  mask.DrawPolygon(1, square.data(), 4);
  EXPECT_EQ(BoxOf(mask), (Box{0, 0, 9, 9}));
  EXPECT_EQ(mask.GetPixel(9, 9), 0x40);
  EXPECT_EQ(mask.GetPixel(10, 9), 0);
  // Points beyond the plane are limited to it.
  const auto big = Points({{-5, -5}, {40, -5}, {40, 40}});
  mask.DrawPolygon(1, big.data(), 3);
  EXPECT_EQ(BoxOf(mask), (Box{0, 0, 11, 11}));
}

TEST(IEMask, PolygonOnOneRowSelectsNothing) {
  TIEMask mask;
  mask.AllocateBits(8, 8, 1);
  const auto flat = Points({{1, 3}, {6, 3}, {4, 3}});
  mask.DrawPolygon(1, flat.data(), 3);
  EXPECT_TRUE(mask.IsEmpty());
  EXPECT_ART(ReadMask(mask), Art(8, "........"));
  mask.DrawPolygon(1, flat.data(), 0);
  EXPECT_TRUE(mask.IsEmpty());
}

TEST(IEMask, EmptyPolygonKeepsTheBoxOfEarlierPolygons) {
  TIEMask mask;
  mask.AllocateBits(8, 8, 1);
  const auto points = Points({{1, 1}, {3, 1}, {3, 3}, {1, 3}, {TIEMask::kPolygonBreak, 0}, {5, 6}, {7, 6}});
  mask.DrawPolygon(1, points.data(), static_cast<Integer>(points.size()));
  EXPECT_FALSE(mask.IsEmpty());
  EXPECT_EQ(BoxOf(mask), (Box{1, 1, 2, 2}));
}

TEST(IEMask, PolygonRowsOutsideThePlaneAreNotFolded) {
  // A triangle standing on its point with its wide base above the plane: only its
  // own rows inside the plane are filled (rows above are not piled onto row 0).
  const auto above = Points({{0, -4}, {10, -4}, {5, 4}});
  std::vector<POINT> shifted;
  for (POINT p : above) shifted.push_back(POINT{p.x, p.y + 4});
  const Art tall = Fill(10, 8, shifted);
  EXPECT_ART(Fill(10, 4, above), Art(tall.begin() + 4, tall.end()));
  EXPECT_ART(Fill(10, 4, above), (Art{"..######..", "...####...", "....##....", "....##...."}));
  // Entirely below the plane: nothing lands on the last row.
  const auto below = Points({{0, 5}, {10, 5}, {10, 9}, {0, 9}});
  EXPECT_ART(Fill(10, 4, below), Art(4, ".........."));
}

TEST(IEMask, PolygonWithHugeCoordinatesIsSteppedNotWalked) {
  // The long edge runs 4e9 rows; at row 0 it is exactly half way at x = 2.5, which
  // rounds down, and just below it passes the half and rounds up.
  const auto sliver = Points({{0, -2000000000}, {5, 2000000000}, {0, 2000000000}});
  const auto start = std::chrono::steady_clock::now();
  EXPECT_ART(Fill(6, 6, sliver), (Art{"##....", "###...", "###...", "###...", "###...", "###..."}));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

TEST(IEMask, CopyThroughOneBitMaskCopiesSelectedPixels) {
  TIEMask mask;
  FillMask(mask, {"......",
                  ".##...",
                  ".###..",
                  "......"});
  auto source = Make24({"rrrrrr", "rrrrrr", "rrrrrr", "rrrrrr"}, kColors);
  auto dest = Make24({"bbbbbb", "bbbbbb", "bbbbbb", "bbbbbb"}, kColors);
  mask.CopyIEBitmap(dest.get(), source.get(), false, false);
  EXPECT_ART(Read24(*dest, kColors), (Art{"bbbbbb", "brrbbb", "brrrbb", "bbbbbb"}));

  // A source cropped to the box: its (0, 0) is the box's top-left corner.
  auto cropped = Make24({"WWW", "WWW"}, kColors);
  mask.CopyIEBitmap(dest.get(), cropped.get(), false, true);
  EXPECT_ART(Read24(*dest, kColors), (Art{"bbbbbb", "bWWbbb", "bWWWbb", "bbbbbb"}));

  // A destination cropped to the box.
  auto box = Make24({"...", "..."}, kColors);
  mask.CopyIEBitmap(box.get(), source.get(), true, false);
  EXPECT_ART(Read24(*box, kColors), (Art{"rr.", "rrr"}));
}

TEST(IEMask, CopyOneBitStoresBitByBit) {
  TIEMask mask;
  FillMask(mask, {"#.#.#.#.#.", "##########"});
  auto source = Make1g({"##########", ".........."});
  auto dest = Make1g({"..........", "##########"});
  mask.CopyIEBitmap(dest.get(), source.get(), false, false);
  EXPECT_ART(Read1g(*dest), (Art{"#.#.#.#.#.", ".........."}));
}

TEST(IEMask, CopyThroughEightBitMaskBlends) {
  struct Case {
    Byte dest, source, m, expected;
  };
  const Case cases[] = {
      {0, 255, 128, 127},  // half of white over black
      {255, 0, 128, 127},  // the step is floored, also downwards
      {0, 255, 255, 254},  // a full mask leaves a trace of the destination
      {10, 200, 1, 10},
      {200, 10, 1, 199},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << int{c.dest} << " <- " << int{c.source} << " m " << int{c.m});
    TIEMask mask;
    mask.AllocateBits(2, 1, 8);
    mask.SetPixel(0, 0, c.m);
    auto source = Make24({".."}, {{'.', TRGB{c.source, c.source, c.source}}});
    auto dest = Make24({".."}, {{'.', TRGB{c.dest, c.dest, c.dest}}});
    mask.CopyIEBitmap(dest.get(), source.get(), false, false);
    EXPECT_EQ(dest->GetPixels_ie24RGB(0, 0), (TRGB{c.expected, c.expected, c.expected}));
    EXPECT_EQ(dest->GetPixels_ie24RGB(1, 0), (TRGB{c.dest, c.dest, c.dest}));
  }
}

TEST(IEMask, CopyIsClippedToBothStores) {
  TIEMask mask;
  mask.AllocateBits(10, 10, 1);
  for (Integer y = 0; y < 10; ++y) mask.DrawHorizontalLine(1, 0, 9, y);
  mask.SetBox(0, 0, 9, 9);
  auto source = Make24({"rrrrrr", "rrrrrr", "rrrrrr"}, kColors);
  auto dest = Make24({"bbbb", "bbbb", "bbbb", "bbbb"}, kColors);
  mask.CopyIEBitmap(dest.get(), source.get(), false, false);
  EXPECT_ART(Read24(*dest, kColors), (Art{"rrrr", "rrrr", "rrrr", "bbbb"}));

  // A cropped store smaller than the box.
  mask.Empty();
  mask.SetPixel(2, 2, 1);
  mask.SetPixel(7, 7, 1);
  for (Integer y = 2; y <= 7; ++y) mask.DrawHorizontalLine(1, 2, 7, y);
  auto small = Make24({"...", "..."}, kColors);
  mask.CopyIEBitmap(small.get(), source.get(), true, false);
  EXPECT_ART(Read24(*small, kColors), (Art{"rrr", "..."}));
}

TEST(IEMask, CopyOfOtherFormatPairsDoesNothing) {
  TIEMask mask;
  FillMask(mask, {"##", "##"});
  auto source = Make24({"rr", "rr"}, kColors);
  auto dest = Make1g({"..", ".."});
  mask.CopyIEBitmap(dest.get(), source.get(), false, false);
  EXPECT_ART(Read1g(*dest), (Art{"..", ".."}));
  TIEMask empty;
  empty.AllocateBits(2, 2, 1);
  auto dest24 = Make24({"bb", "bb"}, kColors);
  empty.CopyIEBitmap(dest24.get(), source.get(), false, false);
  EXPECT_ART(Read24(*dest24, kColors), (Art{"bb", "bb"}));
}

TEST(IEMask, CopyBitmapIntoBoxSizedTarget) {
  TIEMask mask;
  FillMask(mask, {"....", ".#..", ".##.", "...."});
  TBitmap source, target;
  source.SetPixelFormat(pf24bit);
  source.SetSize(4, 4);
  for (Integer y = 0; y < 4; ++y)
    for (Integer x = 0; x < 4; ++x) static_cast<TRGB*>(source.ScanLine(y))[x] = TRGB{Byte(x), Byte(y), 9};
  target.SetPixelFormat(pf24bit);
  target.SetSize(2, 2);
  mask.CopyBitmap(&target, &source, true, false);
  EXPECT_EQ(static_cast<TRGB*>(target.ScanLine(0))[0], (TRGB{1, 1, 9}));
  EXPECT_EQ(static_cast<TRGB*>(target.ScanLine(0))[1], (TRGB{0, 0, 0}));
  EXPECT_EQ(static_cast<TRGB*>(target.ScanLine(1))[0], (TRGB{1, 2, 9}));
  EXPECT_EQ(static_cast<TRGB*>(target.ScanLine(1))[1], (TRGB{2, 2, 9}));
}

TEST(IEMask, TranslateWithoutClipLimitsTheOffset) {
  TIEMask mask;
  mask.AllocateBits(30, 4, 1);
  mask.SetPixel(5, 1, 1);
  mask.SetPixel(7, 2, 1);
  Integer dx = -20, dy = 5;
  mask.TranslateBitmap(dx, dy, false);
  EXPECT_EQ(dx, -5);
  EXPECT_EQ(dy, 1);
  EXPECT_EQ(BoxOf(mask), (Box{0, 2, 2, 3}));
  EXPECT_NE(mask.GetPixel(0, 2), 0);
  EXPECT_NE(mask.GetPixel(2, 3), 0);
  EXPECT_EQ(mask.GetPixel(5, 1), 0);
  EXPECT_EQ(mask.GetPixel(7, 2), 0);
}

TEST(IEMask, TranslateWithClipLosesWhatLeavesAndClearsTheOldPlace) {
  TIEMask mask;
  FillMask(mask, {"..........",
                  ".###......",
                  ".#.#......",
                  ".###......",
                  ".........."});
  Integer dx = 2, dy = -2;
  mask.TranslateBitmap(dx, dy, true);
  EXPECT_EQ(dx, 2);
  EXPECT_EQ(dy, -2);
  EXPECT_ART(ReadMask(mask), (Art{"...#.#....",
                                  "...###....",
                                  "..........",
                                  "..........",
                                  ".........."}));
  EXPECT_EQ(BoxOf(mask), (Box{3, 0, 5, 1}));

  // Moved out entirely: nothing stays, the box is empty.
  dx = 0;
  dy = -9;
  mask.TranslateBitmap(dx, dy, true);
  EXPECT_ART(ReadMask(mask), Art(5, ".........."));
  EXPECT_TRUE(mask.IsEmpty());
}

TEST(IEMask, TranslateEightBitMaskMovesValues) {
  TIEMask mask;
  mask.AllocateBits(5, 3, 8);
  mask.SetPixel(1, 1, 200);
  mask.SetPixel(2, 1, 100);
  Integer dx = 2, dy = 1;
  mask.TranslateBitmap(dx, dy, true);
  EXPECT_EQ(mask.GetPixel(3, 2), 200);
  EXPECT_EQ(mask.GetPixel(4, 2), 100);
  EXPECT_EQ(mask.GetPixel(1, 1), 0);
  EXPECT_EQ(BoxOf(mask), (Box{3, 2, 4, 2}));
  dx = 1;
  dy = 0;
  mask.TranslateBitmap(dx, dy, true);
  EXPECT_EQ(mask.GetPixel(4, 2), 200);  // 100 would land at x 5, outside
  EXPECT_EQ(mask.GetPixel(3, 2), 0);
  EXPECT_EQ(BoxOf(mask), (Box{4, 2, 4, 2}));
}

TEST(IEMask, NegativeInvertsAndRecomputesTheBox) {
  TIEMask mask;
  FillMask(mask, {"#####",
                  "#...#",
                  "#####"});
  mask.SetFull(true);
  mask.Negative();
  EXPECT_ART(ReadMask(mask), (Art{".....", ".###.", "....."}));
  EXPECT_EQ(BoxOf(mask), (Box{1, 1, 3, 1}));
  EXPECT_FALSE(mask.GetFull());

  TIEMask empty;
  empty.AllocateBits(3, 3, 1);
  empty.Negative();
  EXPECT_TRUE(empty.IsEmpty());
  EXPECT_ART(ReadMask(empty), Art(3, "..."));
}

TEST(IEMask, AssignCopiesAndSelfAssignKeeps) {
  TIEMask mask;
  FillMask(mask, {".#.", "##."});
  mask.Assign(&mask);
  EXPECT_ART(ReadMask(mask), (Art{".#.", "##."}));
  EXPECT_EQ(BoxOf(mask), (Box{0, 0, 1, 1}));
  TIEMask copy;
  copy.Assign(&mask);
  EXPECT_ART(ReadMask(copy), (Art{".#.", "##."}));
  EXPECT_EQ(BoxOf(copy), BoxOf(mask));
  EXPECT_EQ(copy.GetBitsPerPixel(), 1);
}

TEST(IEMask, ResizeKeepsTheTopLeftAndLimitsTheBox) {
  TIEMask mask;
  FillMask(mask, {"#...",
                  ".#..",
                  "..#.",
                  "...#"});
  mask.Resize(3, 2);
  EXPECT_ART(ReadMask(mask), (Art{"#..", ".#."}));
  EXPECT_EQ(BoxOf(mask), (Box{0, 0, 2, 1}));
}

namespace {

// A pf24bit bitmap of one colour to draw on.
std::unique_ptr<TBitmap> Canvas(Integer width, Integer height, TRGB color) {
  auto b = std::make_unique<TBitmap>();
  b->SetPixelFormat(pf24bit);
  b->SetSize(width, height);
  for (Integer y = 0; y < height; ++y)
    for (Integer x = 0; x < width; ++x) static_cast<TRGB*>(b->ScanLine(y))[x] = color;
  return b;
}

Art ReadCanvas(TBitmap& b, const Palette& colors) {
  Art art(static_cast<size_t>(b.GetHeight()), std::string(static_cast<size_t>(b.GetWidth()), '?'));
  for (Integer y = 0; y < b.GetHeight(); ++y)
    for (Integer x = 0; x < b.GetWidth(); ++x)
      for (const auto& [ch, c] : colors)
        if (static_cast<TRGB*>(b.ScanLine(y))[x] == c) art[static_cast<size_t>(y)][static_cast<size_t>(x)] = ch;
  return art;
}

const Palette kOutline{{'.', kBlack}, {'1', kRed}, {'2', kBlue}, {'W', kWhite}};

}  // namespace

TEST(IEMask, OutlineDashesMarchWithThePhase) {
  TIEMask mask;
  FillMask(mask, {"........",
                  "........",
                  "..####..",
                  "..####..",
                  "..####..",
                  "..####..",
                  "........",
                  "........"});
  auto target = Canvas(8, 8, kBlack);
  mask.DrawOutline(target->GetCanvas(), 0, 0, 8, 8, 0, 0, 8, 8, 0, clRed, clBlue);
  // Colour 1 where (phase + x + y) and 4 is set.
  EXPECT_ART(ReadCanvas(*target, kOutline), (Art{"........",
                                                 "........",
                                                 "..1111..",
                                                 "..1..2..",
                                                 "..1..2..",
                                                 "..1222..",
                                                 "........",
                                                 "........"}));
  auto moved = Canvas(8, 8, kBlack);
  mask.DrawOutline(moved->GetCanvas(), 0, 0, 8, 8, 0, 0, 8, 8, 2, clRed, clBlue);
  EXPECT_ART(ReadCanvas(*moved, kOutline), (Art{"........",
                                                "........",
                                                "..1122..",
                                                "..1..2..",
                                                "..2..2..",
                                                "..2221..",
                                                "........",
                                                "........"}));
}

TEST(IEMask, OutlineOfAZoomedView) {
  TIEMask mask;
  FillMask(mask, {"....",
                  ".##.",
                  ".##.",
                  "...."});
  // Twice the size, drawn at (1, 1) of the canvas.
  auto target = Canvas(10, 10, kBlack);
  mask.DrawOutline(target->GetCanvas(), 1, 1, 8, 8, 0, 0, 4, 4, 0, clRed, clRed);
  EXPECT_ART(ReadCanvas(*target, kOutline), (Art{"..........",
                                                 "..........",
                                                 "..........",
                                                 "...1111...",
                                                 "...1..1...",
                                                 "...1..1...",
                                                 "...1111...",
                                                 "..........",
                                                 "..........",
                                                 ".........."}));
}

TEST(IEMask, OutlineAtTheViewEdgesDependsOnWhereTheSelectionEnds) {
  TIEMask mask;
  FillMask(mask, {"######", "######", "######", "######"});
  // The whole selection in view: its edges at the view's edges are its border.
  auto whole = Canvas(6, 4, kBlack);
  mask.DrawOutline(whole->GetCanvas(), 0, 0, 6, 4, 0, 0, 6, 4, 0, clRed, clRed);
  EXPECT_ART(ReadCanvas(*whole, kOutline), (Art{"111111", "1....1", "1....1", "111111"}));
  // Scrolled one column in and showing four: the selection goes on past both sides.
  auto part = Canvas(4, 4, kBlack);
  mask.DrawOutline(part->GetCanvas(), 0, 0, 4, 4, 1, 0, 4, 4, 0, clRed, clRed);
  EXPECT_ART(ReadCanvas(*part, kOutline), (Art{"1111", "....", "....", "1111"}));
}

TEST(IEMask, ShowingOperationsIgnoreDegenerateSizes) {
  TIEMask mask;
  FillMask(mask, {"##", "##"});
  auto target = Canvas(4, 4, kBlack);
  const struct {
    Integer dxDst, dyDst, dxSrc, dySrc;
  } sizes[] = {{0, 4, 2, 2}, {4, 0, 2, 2}, {4, 4, 0, 2}, {4, 4, 2, 0}, {40000, 1, 1, 1}};
  for (const auto& s : sizes) {
    mask.DrawOutline(target->GetCanvas(), 0, 0, s.dxDst, s.dyDst, 0, 0, s.dxSrc, s.dySrc, 0, clRed, clRed);
    mask.DrawOuter(target.get(), 0, 0, s.dxDst, s.dyDst, 0, 0, s.dxSrc, s.dySrc);
    // A zoom beyond the outline's fixed point is still an ordinary stretch here.
    if (s.dxDst < 40000) mask.InvertCanvas(target->GetCanvas(), 0, 0, s.dxDst, s.dyDst, 0, 0, s.dxSrc, s.dySrc);
  }
  EXPECT_ART(ReadCanvas(*target, kOutline), Art(4, "...."));
}

TEST(IEMask, DrawOuterWhitensEvenPixelsOutsideTheSelection) {
  TIEMask mask;
  FillMask(mask, {"...",
                  ".##",
                  ".##"});
  auto target = Canvas(7, 7, kBlack);
  // Zoomed twice at (1, 0); the display is 6 x 6 but the bitmap ends at row 6.
  mask.DrawOuter(target.get(), 1, 0, 6, 6, 0, 0, 3, 3);
  EXPECT_ART(ReadCanvas(*target, kOutline), (Art{".W.W.W.",
                                                 ".......",
                                                 ".W.....",
                                                 ".......",
                                                 ".W.....",
                                                 ".......",
                                                 "......."}));
}

TEST(IEMask, InvertCanvasInvertsTheSelectedPixels) {
  TIEMask mask;
  FillMask(mask, {"#...",
                  ".#..",
                  "..#.",
                  "...#"});
  auto target = Canvas(4, 4, kRed);
  const Palette colors{{'r', kRed}, {'c', TRGB{255, 255, 0}}, {'W', kWhite}, {'.', kBlack}};
  // Rows 1..2 of the mask (counted from the top) at twice the size.
  mask.InvertCanvas(target->GetCanvas(), 0, 0, 4, 4, 0, 1, 2, 2);
  EXPECT_ART(ReadCanvas(*target, colors), (Art{"rrcc", "rrcc", "rrrr", "rrrr"}));
  // The same again restores the picture.
  mask.InvertCanvas(target->GetCanvas(), 0, 0, 4, 4, 0, 1, 2, 2);
  EXPECT_ART(ReadCanvas(*target, colors), Art(4, "rrrr"));
}
