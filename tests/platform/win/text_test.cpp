// The built-in font: metrics, extents, rendered glyphs and DrawText layout.
#include <gtest/gtest.h>

#include <algorithm>

#include "platform/win/GdiFaceInternal.h"
#include "tests/platform/win/gdi_fixture.h"

using namespace gditest;

namespace {

// A canvas with a font of the given height selected, white background,
// transparent text in black.
class TextCanvas : public Canvas {
 public:
  TextCanvas(int w, int h, int fontHeight, int weight = FW_NORMAL) : Canvas(w, h, 24) {
    font_ = CreateFont(fontHeight, 0, 0, 0, weight, 0, 0, 0, ANSI_CHARSET, 0, 0, 0, 0, "MS Sans Serif");
    old_ = SelectObject(Dc(), font_);
    Fill(kWhite);
    SetBkMode(Dc(), TRANSPARENT);
  }
  ~TextCanvas() {
    SelectObject(Dc(), old_);
    DeleteObject(font_);
  }

 private:
  HFONT font_;
  HGDIOBJ old_;
};

TEST(Text, MetricsFollowTheHeightRule) {
  const struct {
    int Height;
    int Cell, Advance, Ascent, Leading;
  } cases[] = {
      {11, 11, 6, 9, 2}, {-9, 11, 6, 9, 2}, {-11, 13, 7, 11, 3}, {0, 13, 7, 11, 3}, {22, 22, 12, 18, 4}, {-18, 22, 12, 18, 4},
  };
  for (const auto& c : cases) {
    TextCanvas tc(1, 1, c.Height);
    TEXTMETRIC tm;
    ASSERT_TRUE(GetTextMetrics(tc.Dc(), &tm));
    EXPECT_EQ(tm.tmHeight, c.Cell) << c.Height;
    EXPECT_EQ(tm.tmAveCharWidth, c.Advance) << c.Height;
    EXPECT_EQ(tm.tmAscent, c.Ascent) << c.Height;
    EXPECT_EQ(tm.tmDescent, c.Cell - c.Ascent) << c.Height;
    EXPECT_EQ(tm.tmInternalLeading, c.Leading) << c.Height;
    SIZE sz;
    ASSERT_TRUE(GetTextExtentPoint32(tc.Dc(), "Hello", 5, &sz));
    EXPECT_EQ(sz.cx, 5 * c.Advance);
    EXPECT_EQ(sz.cy, c.Cell);
  }
}

TEST(Text, DrawsTheBuiltInGlyphs) {
  TextCanvas tc(12, 11, 11);
  ASSERT_TRUE(TextOut(tc.Dc(), 0, 0, "Hi", 2));
  EXPECT_EQ(tc.Ink(kWhite), Rows({"............",
                                  "............",
                                  "#...#...#...",
                                  "#...#.......",
                                  "#...#..##...",
                                  "#####...#...",
                                  "#...#...#...",
                                  "#...#...#...",
                                  "#...#..###..",
                                  "............",
                                  "............"}));
}

TEST(Text, AccentsDescendersAndUndefinedCharacters) {
  TextCanvas tc(18, 11, 11);
  TextOut(tc.Dc(), 0, 0, "\xC9g\x81", 3);  // E acute, g, and a byte the font lacks
  EXPECT_EQ(tc.Ink(kWhite), Rows({"...#..............",
                                  "..#...............",
                                  "#####.......#####.",
                                  "#...........#...#.",
                                  "#......####.#...#.",
                                  "####..#...#.#...#.",
                                  "#.....#...#.#...#.",
                                  "#.....#...#.#...#.",
                                  "#####..####.#####.",
                                  "..........#.......",
                                  ".......###........"}));
}

// The code page's punctuation and signs between 0x80 and 0x9F (dashes, quotes, the
// ellipsis, the euro...) each have a glyph of their own; only the five bytes the code
// page leaves unassigned draw the box.
TEST(Text, EveryAssignedByteOfTheCodePageHasItsGlyph) {
  auto inkOf = [](unsigned char c) {
    TextCanvas tc(6, 11, 11);
    const char text[1] = {static_cast<char>(c)};
    TextOut(tc.Dc(), 0, 0, text, 1);
    return tc.Ink(kWhite);
  };
  const std::string box = inkOf(0x81);
  const std::string blank = inkOf(' ');
  for (int c = 0x80; c <= 0xFF; ++c) {
    const bool unassigned = c == 0x81 || c == 0x8D || c == 0x8F || c == 0x90 || c == 0x9D;
    const bool space = c == 0xA0;
    const std::string ink = inkOf(static_cast<unsigned char>(c));
    SCOPED_TRACE(c);
    if (unassigned) {
      EXPECT_EQ(ink, box);
    } else if (space) {
      EXPECT_EQ(ink, blank);
    } else {
      EXPECT_NE(ink, box);
      EXPECT_NE(ink, blank);
    }
  }
}

// The em dash is longer than the hyphen: it runs into the spacing column, so dashes
// in a row join into one line.
TEST(Text, TheEmDashJoinsAcrossItsCell) {
  TextCanvas tc(18, 11, 11);
  TextOut(tc.Dc(), 0, 0, "\x97\x97-", 3);
  const std::string ink = tc.Ink(kWhite);
  EXPECT_EQ(ink.substr(5 * 19, 19), "#################.\n");
  EXPECT_EQ(ink.substr(4 * 19, 19), "..................\n");
}

// Punctuation outside the code page (the minus sign, the figure dash, thin spaces,
// the prime) is drawn as its look-alike in it, not as the box.
TEST(Text, PunctuationOutsideTheCodePageTakesItsLookAlike) {
  LOGFONT lf{};
  lf.lfHeight = 11;
  auto font = gdi::BuiltInFont(lf);
  const int w = font->Metrics().AveCharWidth;
  auto coverage = [&](char32_t c) {
    auto g = font->Glyph(c, w);
    return g ? g->Coverage : std::vector<uint8_t>{};
  };
  const struct {
    char32_t from;
    char32_t as;
  } cases[] = {
      {0x2212, '-'}, {0x2010, '-'}, {0x2011, '-'}, {0x2012, 0x2013}, {0x2015, 0x2014},
      {0x2009, ' '}, {0x202F, ' '}, {0x2032, '\''}, {0x2033, '"'},  {0x2219, 0xB7},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.from));
    EXPECT_EQ(coverage(c.from), coverage(c.as));
  }
  EXPECT_NE(coverage(0x2603), coverage('?')) << "a snowman still draws the box";
  EXPECT_EQ(coverage(0x2603), coverage(0x81));
}

TEST(Text, BoldSmearsOnePixelRight) {
  TextCanvas tc(6, 11, 11, FW_BOLD);
  TextOut(tc.Dc(), 0, 0, "l", 1);
  std::string ink = tc.Ink(kWhite);
  EXPECT_EQ(ink.substr(2 * 7, 7 * 7), ".###..\n..##..\n..##..\n..##..\n..##..\n..##..\n.####.\n");
}

TEST(Text, ScalingRepeatsDesignPixels) {
  TextCanvas tc(12, 22, 22);
  TextOut(tc.Dc(), 0, 0, "I", 1);
  std::string ink = tc.Ink(kWhite);
  // Design row 2 (".###.") becomes rows 4 and 5, each design column two pixels.
  EXPECT_EQ(ink.substr(4 * 13, 2 * 13), "..######....\n..######....\n");
  EXPECT_EQ(ink.substr(6 * 13, 13), "....##......\n");
}

TEST(Text, AlignmentOpaqueBackgroundAndColour) {
  TextCanvas tc(14, 11, 11);
  SetBkMode(tc.Dc(), OPAQUE);
  SetBkColor(tc.Dc(), kBlue);
  SetTextColor(tc.Dc(), kRed);
  SetTextAlign(tc.Dc(), TA_RIGHT | TA_BASELINE);
  TextOut(tc.Dc(), 14, 9, "-", 1);  // right edge at 14, baseline under row 8
  std::string art = tc.Art({{kWhite, '.'}, {kBlue, 'b'}, {kRed, 'r'}});
  EXPECT_EQ(art.substr(0, 15), "........bbbbbb\n");
  EXPECT_EQ(art.substr(5 * 15, 15), "........rrrrrb\n");
}

TEST(Text, ExtTextOutOpaqueRectangleAndClipping) {
  TextCanvas tc(8, 11, 11);
  SetBkColor(tc.Dc(), kBlue);
  RECT r{0, 0, 3, 11};
  ExtTextOut(tc.Dc(), 0, 0, ETO_OPAQUE | ETO_CLIPPED, &r, "HH", 2, nullptr);
  std::string art = tc.Art({{kWhite, '.'}, {kBlue, 'b'}, {kBlack, '#'}});
  EXPECT_EQ(art.substr(0, 9), "bbb.....\n");
  EXPECT_EQ(art.substr(5 * 9, 9), "###.....\n");
}

TEST(Text, DrawTextCalcRectMeasuresLines) {
  TextCanvas tc(1, 1, 11);
  const struct {
    const char* Text;
    UINT Format;
    int Width;
    int Right, Bottom;
  } cases[] = {
      {"abc", DT_SINGLELINE, 100, 18, 11},
      {"ab\r\nabcd\nx", 0, 100, 24, 33},
      {"one two three", DT_WORDBREAK, 50, 42, 22},  // "one two" (42) and "three"
      {"&File", 0, 100, 24, 11},
      {"&File", DT_NOPREFIX, 100, 30, 11},
      {"a\tb", DT_EXPANDTABS, 100, 54, 11},
  };
  for (const auto& c : cases) {
    RECT r{0, 0, c.Width, 0};
    int h = DrawText(tc.Dc(), c.Text, -1, &r, c.Format | DT_CALCRECT);
    EXPECT_EQ(r.right, c.Right) << c.Text;
    EXPECT_EQ(r.bottom, c.Bottom) << c.Text;
    EXPECT_EQ(h, c.Bottom) << c.Text;
  }
}

TEST(Text, DrawTextPlacesAndCutsLines) {
  TextCanvas tc(30, 22, 11);
  RECT r{0, 0, 30, 22};
  DrawText(tc.Dc(), "I", -1, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  std::string ink = tc.Ink(kWhite);
  // 6 wide glyph centred in 30: starts at 12; 11 high in 22: starts at row 5.
  EXPECT_EQ(ink.substr(7 * 31, 31), ".............###..............\n");

  TextCanvas tc2(30, 11, 11);
  RECT r2{0, 0, 30, 11};
  DrawText(tc2.Dc(), "LLLLLLLL", -1, &r2, DT_END_ELLIPSIS | DT_SINGLELINE);
  std::string row = tc2.Ink(kWhite).substr(8 * 31, 31);
  EXPECT_EQ(row, "#####.#####...##....##....##..\n") << "two letters and the ellipsis fit 30 pixels";
}

// DT_EDITCONTROL keeps to whole lines: a line the rectangle's bottom would cut is left
// out, in measuring too, and with DT_END_ELLIPSIS the last line shown ends with "..."
// after as much of the rest as fits. 60 pixels hold ten characters; the rectangle is
// two lines and four rows high.
TEST(Text, EditControlLayoutShowsWholeLinesOnly) {
  constexpr UINT kWrap = DT_WORDBREAK | DT_NOPREFIX;
  const struct {
    const char* text;
    UINT format;
    const char* shown;  // drawn alone, as the layout should show it
    int bottom;         // DT_CALCRECT's bottom
  } cases[] = {
      {"one two three four five", kWrap | DT_EDITCONTROL | DT_END_ELLIPSIS, "one two\nthree f...", 22},
      {"one two three four five", kWrap | DT_EDITCONTROL, "one two\nthree four", 22},
      // The dots follow a word, not the blank after it.
      {"one two abcdef ghijkl", kWrap | DT_EDITCONTROL | DT_END_ELLIPSIS, "one two\nabcdef...", 22},
      // Left out after a line break: the dots still tell of it.
      {"one\ntwo\nsix", kWrap | DT_EDITCONTROL | DT_END_ELLIPSIS, "one\ntwo six...", 22},
      {"one\ntwo\n", kWrap | DT_EDITCONTROL | DT_END_ELLIPSIS, "one\ntwo", 22},
      {"one two", kWrap | DT_EDITCONTROL | DT_END_ELLIPSIS, "one two", 11},
      // Without it the third line shows its top rows.
      {"one two three four five", kWrap, "one two\nthree four\nfive", 33},
  };
  for (const auto& c : cases) {
    TextCanvas got(60, 26, 11), want(60, 26, 11);
    RECT r{0, 0, 60, 26};
    DrawText(got.Dc(), c.text, -1, &r, c.format);
    RECT all{0, 0, 60, 40};
    DrawText(want.Dc(), c.shown, -1, &all, DT_NOPREFIX);
    EXPECT_EQ(got.Ink(kWhite), want.Ink(kWhite)) << c.text;
    RECT calc{0, 0, 60, 26};
    EXPECT_EQ(DrawText(got.Dc(), c.text, -1, &calc, c.format | DT_CALCRECT), c.bottom) << c.text;
    EXPECT_EQ(calc.bottom, c.bottom) << c.text;
  }
  // The first line stays even where the rectangle is lower than a line.
  TextCanvas low(60, 8, 11);
  RECT r{0, 0, 60, 8};
  EXPECT_EQ(DrawText(low.Dc(), "one two three", -1, &r, kWrap | DT_EDITCONTROL | DT_END_ELLIPSIS | DT_CALCRECT), 11);
}

// A prefixed letter is underlined on the cell's last rows, with the row(s) just under
// the baseline left clear: an underlined F must not merge into an E.
TEST(Text, PrefixUnderlineKeepsAGapUnderTheLetter) {
  const struct {
    int Height;
    int Cell, Advance;
    int Line, Gap;  // first row of the underline; first row of the gap above it
  } cases[] = {
      {11, 11, 6, 10, 9}, {-11, 13, 7, 12, 11}, {0, 13, 7, 12, 11}, {22, 22, 12, 20, 18}, {-18, 22, 12, 20, 18},
  };
  for (const auto& c : cases) {
    TextCanvas tc(2 * c.Advance, c.Cell, c.Height);
    RECT r{0, 0, 2 * c.Advance, c.Cell};
    DrawText(tc.Dc(), "&Fi", -1, &r, DT_LEFT | DT_SINGLELINE);
    const std::string ink = tc.Ink(kWhite);
    const int stride = 2 * c.Advance + 1;
    auto row = [&](int y) { return ink.substr(static_cast<size_t>(y) * stride, c.Advance); };
    const std::string full(c.Advance, '#'), clear(c.Advance, '.');
    for (int y = c.Line; y < c.Cell; ++y) EXPECT_EQ(row(y), full) << c.Height << ": underline row " << y;
    for (int y = c.Gap; y < c.Line; ++y) EXPECT_EQ(row(y), clear) << c.Height << ": gap row " << y;
    EXPECT_NE(row(c.Gap - 1).find('#'), std::string::npos) << c.Height << ": the F's foot";
    // The unprefixed letter beside it has no line.
    EXPECT_EQ(ink.substr(static_cast<size_t>(c.Cell - 1) * stride + c.Advance, c.Advance),
              std::string(c.Advance, '.'))
        << c.Height;
  }
}

}  // namespace

namespace {

// A quarter-turned font draws the upright glyphs turned about the text origin.
TEST(Text, QuarterTurnedEscapements) {
  struct Case {
    int escapement;
    int quarter;  // 1 counter-clockwise, -1 clockwise, 0 upright
  };
  TextCanvas upright(12, 11, 11);
  ASSERT_TRUE(TextOut(upright.Dc(), 0, 0, "Hi", 2));
  const std::string flat = upright.Ink(kWhite);
  for (const Case c : {Case{900, 1}, Case{2700, -1}, Case{-900, -1}, Case{4500, 1}, Case{450, 0}}) {
    TextCanvas tc(30, 30, 11);
    HFONT turned = CreateFont(11, 0, c.escapement, c.escapement, FW_NORMAL, 0, 0, 0, ANSI_CHARSET, 0, 0,
                              0, 1, "MS Sans Serif");
    HGDIOBJ old = SelectObject(tc.Dc(), turned);
    ASSERT_TRUE(TextOut(tc.Dc(), 15, 15, "Hi", 2));
    const std::string ink = tc.Ink(kWhite);
    // Nothing else is inked: the glyphs' pixels are all there is.
    EXPECT_EQ(std::count(ink.begin(), ink.end(), '#'), std::count(flat.begin(), flat.end(), '#'));
    for (int y = 0; y < 11; ++y)
      for (int x = 0; x < 12; ++x) {
        const bool on = flat[static_cast<size_t>(y * 13 + x)] == '#';
        int px = 15 + x, py = 15 + y;
        if (c.quarter > 0) {
          px = 15 + y;
          py = 15 - x - 1;
        } else if (c.quarter < 0) {
          px = 15 - y - 1;
          py = 15 + x;
        }
        EXPECT_EQ(ink[static_cast<size_t>(py * 31 + px)] == '#', on)
            << c.escapement << " at " << x << "," << y;
      }
    SelectObject(tc.Dc(), old);
    DeleteObject(turned);
  }
}

}  // namespace
