// Text with FreeType's outline faces: the faces fontconfig chooses, metrics and advances
// against an independent reading of the same files (fontTools and Pillow through
// tests/data/fonts/ft_peer.py), pictures against Pillow's, anti-aliasing on every
// depth, clipping, DrawText layout, and the engine switch.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <set>
#include <thread>

#include "platform/rtl/CodePage.h"
#include "tests/platform/win/gdi_fixture.h"
#include "tests/support/Peers.h"

using namespace gditest;

namespace {

const std::string kPeer = std::string(LARK_TEST_DATA) + "/fonts/ft_peer.py";

// The face file fontconfig answers for a pattern, as fc-match prints it.
std::string FcMatch(const std::string& pattern) {
  return larktest::RunCommand({larktest::RequireProgram("fc-match"), "-f", "%{file}", pattern});
}

// Runs the peer script and answers its output's numbers.
std::vector<long> Peer(std::vector<std::string> args) {
  args.insert(args.begin(), {"/usr/bin/python3", kPeer});
  int code = -1;
  std::istringstream out(larktest::RunCommand(args, &code));
  EXPECT_EQ(code, 0) << "the peer failed: " << args[2];
  std::vector<long> numbers;
  for (long v; out >> v;) numbers.push_back(v);
  return numbers;
}

// A 32-bit canvas on white with FreeType switched on and a font selected; black
// transparent text.
class FtCanvas : public Canvas {
 public:
  FtCanvas(int w, int h, const char* face, int height, int weight = FW_NORMAL, bool italic = false,
           bool underline = false, bool strikeOut = false, int bpp = 32)
      : Canvas(w, h, bpp) {
    ok_ = sim::UseFreeTypeFonts(true);
    EXPECT_TRUE(ok_) << "FreeType or the DejaVu faces are missing (scripts/install-deps installs them)";
    font_ = CreateFont(height, 0, 0, 0, weight, italic, underline, strikeOut, ANSI_CHARSET, 0, 0, 0, 0, face);
    old_ = SelectObject(Dc(), font_);
    Fill(kWhite);
    SetBkMode(Dc(), TRANSPARENT);
  }
  ~FtCanvas() {
    SelectObject(Dc(), old_);
    DeleteObject(font_);
  }
  bool Ok() const { return ok_; }
  TEXTMETRIC Metrics() const {
    TEXTMETRIC tm;
    EXPECT_TRUE(GetTextMetrics(Dc(), &tm));
    return tm;
  }
  int Extent(const std::string& text) const {
    SIZE sz{};
    EXPECT_TRUE(GetTextExtentPoint32(Dc(), text.data(), static_cast<Integer>(text.size()), &sz));
    return sz.cx;
  }
  // Grey level (0 black .. 255 white) of a pixel of black text on white.
  int Grey(int x, int y) const { return GetGValue(Pixel(x, y)); }
  // The box holding every pixel that is not white; empty when there is none.
  RECT InkBox() const {
    RECT box{Width(), Height(), 0, 0};
    for (int y = 0; y < Height(); ++y)
      for (int x = 0; x < Width(); ++x)
        if (Pixel(x, y) != kWhite) box = RECT{std::min(box.left, x), std::min(box.top, y),
                                             std::max(box.right, x + 1), std::max(box.bottom, y + 1)};
    return box;
  }

 private:
  bool ok_ = false;
  HFONT font_ = 0;
  HGDIOBJ old_ = 0;
};

struct FaceCase {
  const char* Face;
  int Weight;
  bool Italic;
  const char* Pattern;  // what fc-match is asked for the same face
};

const FaceCase kFaces[] = {
    {"MS Sans Serif", FW_NORMAL, false, "DejaVu Sans"},
    {"Tahoma", FW_NORMAL, false, "DejaVu Sans"},
    {"Arial", FW_NORMAL, false, "DejaVu Sans"},
    {"Verdana", FW_NORMAL, false, "DejaVu Sans"},
    {"", FW_NORMAL, false, "DejaVu Sans"},
    {"Times New Roman", FW_NORMAL, false, "DejaVu Serif"},
    {"Courier New", FW_NORMAL, false, "DejaVu Sans Mono"},
    {"MS Sans Serif", FW_BOLD, false, "DejaVu Sans:bold"},
    {"Arial", FW_NORMAL, true, "DejaVu Sans:italic"},
    {"Times New Roman", FW_BOLD, true, "DejaVu Serif:bold:italic"},
    {"Courier New", FW_BOLD, false, "DejaVu Sans Mono:bold"},
    {"Courier", FW_NORMAL, false, "Courier"},  // fontconfig's own matching
    {"No Such Face", FW_NORMAL, false, "No Such Face"},
};

// Windows-1252 text and the same in UTF-8 for the peer.
const char kSample[] = "Hamburgefonts caf\xE9 \x80 5 \x93quoted\x94 WAVE";

TEST(FreeTypeText, AdvancesMatchPillowOnTheFaceFontconfigChooses) {
  const std::vector<std::string> texts = {"Hello, World", "iiii", "WWWW", kSample, "MS Sans Serif 0123456789"};
  for (const FaceCase& c : kFaces) {
    for (int ppem : {11, 16, 27}) {
      FtCanvas tc(1, 1, c.Face, -ppem, c.Weight, c.Italic);
      if (!tc.Ok()) return;
      const std::string file = FcMatch(c.Pattern);
      ASSERT_FALSE(file.empty()) << c.Pattern;
      std::vector<std::string> args = {"advances", file, std::to_string(ppem)};
      for (const std::string& t : texts) args.push_back(AnsiToUtf8(t));
      const std::vector<long> expected = Peer(args);
      ASSERT_EQ(expected.size(), texts.size());
      for (size_t i = 0; i < texts.size(); ++i)
        EXPECT_EQ(tc.Extent(texts[i]), expected[i]) << c.Face << " " << c.Weight << " " << c.Italic << " at "
                                                    << ppem << ": " << texts[i];
    }
  }
}

TEST(FreeTypeText, GlyphsMatchPillowsPictureOfTheSameFace) {
  // Pillow draws each character at the pen position with the face fc-match names;
  // ours must show the same glyphs there: the same face, style and size.
  for (const FaceCase& c : kFaces) {
    for (int ppem : {12, 20}) {
      const int w = 420, h = 2 * ppem, baseline = ppem + ppem / 4;
      FtCanvas tc(w, h, c.Face, -ppem, c.Weight, c.Italic);
      if (!tc.Ok()) return;
      SetTextAlign(tc.Dc(), TA_BASELINE);
      ASSERT_TRUE(TextOut(tc.Dc(), 2, baseline, kSample, static_cast<Integer>(std::strlen(kSample))));
      const std::string out = std::string(LARK_TEST_BINARY_DIR) + "/ft_peer.pgm";
      Peer({"render", FcMatch(c.Pattern), std::to_string(ppem), out, std::to_string(w), std::to_string(h), "2",
            std::to_string(baseline), AnsiToUtf8(kSample)});
      std::ifstream pgm(out, std::ios::binary);
      std::string magic;
      int pw = 0, ph = 0, maxval = 0;
      pgm >> magic >> pw >> ph >> maxval;
      pgm.get();
      ASSERT_EQ(magic, "P5");
      ASSERT_EQ(pw, w);
      std::vector<unsigned char> theirs(static_cast<size_t>(w) * h);
      pgm.read(reinterpret_cast<char*>(theirs.data()), static_cast<std::streamsize>(theirs.size()));
      int worst = 0, inked = 0;
      for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
          const int ours = tc.Grey(x, y), their = theirs[static_cast<size_t>(y) * w + x];
          worst = std::max(worst, std::abs(ours - their));
          inked += ours < 128;
        }
      }
      EXPECT_LE(worst, 2) << c.Face << " " << c.Weight << " " << c.Italic << " at " << ppem;
      EXPECT_GT(inked, 20 * ppem) << "the text is drawn";
      if (worst > 2) tc.Dump("ft_mismatch");
    }
  }
}

TEST(FreeTypeText, MetricsFollowTheFacesTables) {
  const struct {
    const char* Face;
    const char* Pattern;
    int Height;
  } cases[] = {
      {"MS Sans Serif", "DejaVu Sans", -11}, {"MS Sans Serif", "DejaVu Sans", -13}, {"Tahoma", "DejaVu Sans", 16},
      {"Times New Roman", "DejaVu Serif", -16}, {"Times New Roman", "DejaVu Serif", 20},
      {"Courier New", "DejaVu Sans Mono", -13}, {"Arial", "DejaVu Sans", -48},
  };
  for (const auto& c : cases) {
    FtCanvas tc(1, 1, c.Face, c.Height);
    if (!tc.Ok()) return;
    const std::vector<long> t = Peer({"metrics", FcMatch(c.Pattern)});
    ASSERT_EQ(t.size(), 11u);
    const double upem = t[0], winAscent = t[1], winDescent = t[2], avg = t[3];
    const TEXTMETRIC tm = tc.Metrics();
    const int em = tm.tmHeight - tm.tmInternalLeading;
    if (c.Height < 0) {
      EXPECT_EQ(em, -c.Height) << c.Face << " " << c.Height << ": a negative height is the em";
    } else {
      EXPECT_LE(tm.tmHeight, c.Height) << c.Face << " " << c.Height << ": a positive height is the cell";
      EXPECT_GE(tm.tmHeight, c.Height - 1) << c.Face << " " << c.Height;
    }
    EXPECT_EQ(tm.tmAscent, std::lround(winAscent * em / upem)) << c.Face << " " << c.Height;
    EXPECT_EQ(tm.tmDescent, std::lround(winDescent * em / upem)) << c.Face << " " << c.Height;
    EXPECT_EQ(tm.tmHeight, tm.tmAscent + tm.tmDescent);
    EXPECT_EQ(tm.tmExternalLeading, 0) << "hhea's line is the Windows cell in DejaVu";
    EXPECT_EQ(tm.tmAveCharWidth, std::lround(avg * em / upem)) << c.Face << " " << c.Height;
    EXPECT_GE(tm.tmMaxCharWidth, tc.Extent("W"));
    const bool mono = std::string(c.Face) == "Courier New";
    EXPECT_EQ((tm.tmPitchAndFamily & 1) == 0, mono) << c.Face << ": the low bit is clear for fixed pitch";
    if (mono) { EXPECT_EQ(tc.Extent("iiii"), tc.Extent("WWWW")); }
  }
}

TEST(FreeTypeText, DefaultHeightIsEightPointsAtTheScreensResolution) {
  FtCanvas tc(1, 1, "MS Sans Serif", 0);
  if (!tc.Ok()) return;
  for (int dpi : {96, 120, 144}) {
    sim::SetScreenDpi(dpi, dpi);
    const TEXTMETRIC tm = tc.Metrics();
    EXPECT_EQ(tm.tmHeight - tm.tmInternalLeading, MulDiv(8, dpi, 72)) << dpi << ", the same font object";
  }
}

TEST(FreeTypeText, AntiAliasedInkStaysInsideTheTextBox) {
  FtCanvas tc(200, 40, "Arial", -16);
  if (!tc.Ok()) return;
  const char* text = "Hamburgefonts";
  ASSERT_TRUE(TextOut(tc.Dc(), 10, 8, text, 13));
  const TEXTMETRIC tm = tc.Metrics();
  const RECT box = tc.InkBox();
  EXPECT_GE(box.left, 10);
  EXPECT_LE(box.right, 10 + tc.Extent(text));
  EXPECT_GE(box.top, 8);
  EXPECT_LE(box.bottom, 8 + tm.tmHeight);
  int black = 0, between = 0;
  std::set<int> levels;
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 200; ++x) {
      const int g = tc.Grey(x, y);
      EXPECT_TRUE(GetRValue(tc.Pixel(x, y)) == g && GetBValue(tc.Pixel(x, y)) == g) << "grey on grey";
      black += g == 0;
      if (g > 0 && g < 255) {
        ++between;
        levels.insert(g);
      }
    }
  EXPECT_GT(black, 50);
  EXPECT_GT(between, 50) << "edges are anti-aliased";
  EXPECT_GT(levels.size(), 20u) << "with many levels of grey";
}

TEST(FreeTypeText, EdgesBlendTheTextColourWithTheBackground) {
  FtCanvas tc(120, 30, "Arial", -20);
  if (!tc.Ok()) return;
  tc.Fill(kBlue);
  SetTextColor(tc.Dc(), kRed);
  TextOut(tc.Dc(), 2, 2, "Wave", 4);
  int mixed = 0;
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 120; ++x) {
      const COLORREF p = tc.Pixel(x, y);
      EXPECT_EQ(GetGValue(p), 0);
      EXPECT_NEAR(GetRValue(p) + GetBValue(p), 255, 1) << "a mix of red and blue";
      mixed += GetRValue(p) > 0 && GetBValue(p) > 0;
    }
  EXPECT_GT(mixed, 20);
}

TEST(FreeTypeText, DrawsOnEveryDepth) {
  // The same text on each depth shows ink where the 32-bit picture does; depths with
  // room for greys keep some of the edge levels.
  FtCanvas ref(100, 24, "Arial", -16);
  if (!ref.Ok()) return;
  TextOut(ref.Dc(), 2, 2, "Wave 42", 7);
  for (int bpp : {24, 16, 15, 8, 4, 1}) {
    FtCanvas tc(100, 24, "Arial", -16, FW_NORMAL, false, false, false, bpp);
    TextOut(tc.Dc(), 2, 2, "Wave 42", 7);
    int solid = 0, greys = 0;
    for (int y = 0; y < 24; ++y)
      for (int x = 0; x < 100; ++x) {
        const int want = ref.Grey(x, y), got = tc.Grey(x, y);
        if (want == 0) {
          EXPECT_EQ(tc.Pixel(x, y), kBlack) << bpp << " at " << x << "," << y;
          ++solid;
        }
        if (want == 255) { EXPECT_EQ(tc.Pixel(x, y), kWhite) << bpp << " at " << x << "," << y; }
        greys += got > 0 && got < 255;
      }
    EXPECT_GT(solid, 30) << bpp;
    if (bpp >= 15) { EXPECT_GT(greys, 30) << bpp; }
    if (bpp == 8 || bpp == 4) { EXPECT_GT(greys, 5) << bpp << ": the table's greys stand for edge levels"; }
  }
}

TEST(FreeTypeText, UnderlineAndStrikeOutDrawFullRows) {
  // Spaces leave no ink of their own: only the strokes show.
  const char* spaces = "      ";
  FtCanvas plain(80, 30, "Arial", -16);
  if (!plain.Ok()) return;
  TextOut(plain.Dc(), 0, 0, spaces, 6);
  EXPECT_EQ(plain.InkBox().right, 0) << "spaces draw nothing";

  FtCanvas under(80, 30, "Arial", -16, FW_NORMAL, false, true);
  TextOut(under.Dc(), 0, 0, spaces, 6);
  FtCanvas strike(80, 30, "Arial", -16, FW_NORMAL, false, false, true);
  TextOut(strike.Dc(), 0, 0, spaces, 6);
  const TEXTMETRIC tm = under.Metrics();
  const int width = under.Extent(spaces);
  const RECT u = under.InkBox(), s = strike.InkBox();
  EXPECT_EQ(u.left, 0);
  EXPECT_EQ(u.right, width);
  EXPECT_GE(u.top, tm.tmAscent) << "under the baseline";
  EXPECT_LE(u.bottom, tm.tmHeight) << "inside the cell";
  EXPECT_EQ(s.right, width);
  EXPECT_LT(s.bottom, tm.tmAscent) << "above the baseline";
  EXPECT_GT(s.top, tm.tmInternalLeading + (tm.tmAscent - tm.tmInternalLeading) / 3) << "in the lower part of the letters";
  for (int y = u.top; y < u.bottom; ++y)
    for (int x = 0; x < width; ++x) EXPECT_EQ(under.Pixel(x, y), kBlack) << x << "," << y;
}

TEST(FreeTypeText, DrawingKeepsToTheClipRegion) {
  FtCanvas tc(160, 30, "Arial", -20);
  if (!tc.Ok()) return;
  HRGN clip = CreateRectRgn(30, 0, 70, 30);
  SelectClipRgn(tc.Dc(), clip);
  DeleteObject(clip);
  TextOut(tc.Dc(), 0, 2, "WWWWWWWWWW", 10);
  SelectClipRgn(tc.Dc(), 0);  // GetPixel answers only inside the clip region
  RECT box = tc.InkBox();
  EXPECT_EQ(box.left, 30);
  EXPECT_EQ(box.right, 70);

  FtCanvas tc2(160, 30, "Arial", -20);
  RECT r{10, 0, 50, 12};
  ExtTextOut(tc2.Dc(), 0, 2, ETO_CLIPPED, &r, "WWWWWWWWWW", 10, nullptr);
  box = tc2.InkBox();
  EXPECT_GE(box.left, 10);
  EXPECT_EQ(box.right, 50);
  EXPECT_EQ(box.bottom, 12);
}

TEST(FreeTypeText, DrawTextBreaksLinesByTheFacesWidths) {
  const std::string text = "The quick brown fox jumps over the lazy dog, and then it rests by the river";
  for (int width : {90, 150, 260}) {
    FtCanvas tc(300, 200, "Times New Roman", -15);
    if (!tc.Ok()) return;
    const std::vector<long> expected = Peer({"wrap", FcMatch("DejaVu Serif"), "15", std::to_string(width), text});
    ASSERT_EQ(expected.size(), 2u);
    RECT r{0, 0, width, 0};
    const int h = DrawText(tc.Dc(), text.c_str(), -1, &r, DT_WORDBREAK | DT_CALCRECT);
    const TEXTMETRIC tm = tc.Metrics();
    EXPECT_EQ(h, expected[0] * tm.tmHeight) << width;
    EXPECT_EQ(r.right, expected[1]) << width;

    // Drawn right-aligned, each line ends at the rectangle's right edge.
    RECT box{0, 0, width, 200};
    DrawText(tc.Dc(), text.c_str(), -1, &box, DT_WORDBREAK | DT_RIGHT);
    const RECT ink = tc.InkBox();
    EXPECT_LE(ink.right, width);
    EXPECT_GE(ink.right, width - 2);
    EXPECT_GE(ink.left, width - expected[1] - 2) << "glyphs may reach a little left of the pen";
    EXPECT_LE(ink.bottom, h);
  }
}

TEST(FreeTypeText, DrawTextCentresAndEndsWithAnEllipsis) {
  FtCanvas tc(200, 40, "Arial", -14);
  if (!tc.Ok()) return;
  RECT r{0, 0, 200, 40};
  DrawText(tc.Dc(), "Centre", -1, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  const int w = tc.Extent("Centre");
  const TEXTMETRIC tm = tc.Metrics();
  RECT ink = tc.InkBox();
  EXPECT_GE(ink.left, (200 - w) / 2);
  EXPECT_LE(ink.right, (200 - w) / 2 + w);
  EXPECT_GE(ink.top, (40 - tm.tmHeight) / 2);
  EXPECT_LE(ink.bottom, (40 - tm.tmHeight) / 2 + tm.tmHeight);

  FtCanvas tc2(200, 40, "Arial", -14);
  RECT narrow{0, 0, 60, 40};
  RECT calc = narrow;
  const char* longText = "A title much too long for the box";
  DrawText(tc2.Dc(), longText, -1, &calc, DT_SINGLELINE | DT_END_ELLIPSIS | DT_CALCRECT);
  EXPECT_LE(calc.right, 60);
  EXPECT_GT(calc.right, 60 - tc2.Extent("W") - tc2.Extent("..."));
  DrawText(tc2.Dc(), longText, -1, &narrow, DT_SINGLELINE | DT_END_ELLIPSIS);
  EXPECT_LE(tc2.InkBox().right, 60);
}

TEST(FreeTypeText, OpaqueBackgroundAlignmentAndTheCurrentPosition) {
  FtCanvas tc(200, 40, "Arial", -16);
  if (!tc.Ok()) return;
  SetBkMode(tc.Dc(), OPAQUE);
  SetBkColor(tc.Dc(), kBlue);
  SetTextAlign(tc.Dc(), TA_RIGHT | TA_BOTTOM);
  TextOut(tc.Dc(), 150, 35, "Wave", 4);
  const TEXTMETRIC tm = tc.Metrics();
  const int w = tc.Extent("Wave");
  // The cell is filled with the background: its corners are blue, outside is white.
  EXPECT_EQ(tc.Pixel(150 - w, 35 - tm.tmHeight), kBlue);
  EXPECT_EQ(tc.Pixel(149, 34), kBlue);
  EXPECT_EQ(tc.Pixel(150, 34), kWhite);
  EXPECT_EQ(tc.Pixel(149, 35), kWhite);
  EXPECT_EQ(tc.Pixel(150 - w - 1, 34), kWhite);

  FtCanvas tc2(200, 40, "Arial", -16);
  SetTextAlign(tc2.Dc(), TA_UPDATECP);
  MoveToEx(tc2.Dc(), 5, 5, nullptr);
  TextOut(tc2.Dc(), 0, 0, "ab", 2);
  TextOut(tc2.Dc(), 0, 0, "cd", 2);
  POINT p;
  GetCurrentPositionEx(tc2.Dc(), &p);
  EXPECT_EQ(p.x, 5 + tc2.Extent("abcd"));
}

TEST(FreeTypeText, Windows1252CharactersDrawTheirOwnGlyphs) {
  // Each of these has a glyph unlike the box of a character the face lacks, and
  // unlike its neighbours' bytes read as Latin-1 controls.
  FtCanvas tc(40, 30, "Arial", -20);
  if (!tc.Ok()) return;
  TextOut(tc.Dc(), 2, 2, "\x81", 1);  // undefined in Windows-1252: the face's box
  const std::string box = tc.Ink(kWhite);
  for (const char* c : {"\xE9", "\x80", "\x93", "\x94", "\x8A"}) {
    FtCanvas one(40, 30, "Arial", -20);
    TextOut(one.Dc(), 2, 2, c, 1);
    EXPECT_NE(one.Ink(kWhite), box) << static_cast<int>(static_cast<unsigned char>(c[0]));
    EXPECT_NE(one.InkBox().right, 0);
  }
}

TEST(FreeTypeText, TheEngineSwitchesExistingFontsAndResetsToTheBuiltInFont) {
  Canvas c(1, 1, 32);
  HFONT font = CreateFont(-11, 0, 0, 0, FW_NORMAL, 0, 0, 0, ANSI_CHARSET, 0, 0, 0, 0, "Arial");
  HGDIOBJ old = SelectObject(c.Dc(), font);
  SIZE builtIn{}, outline{};
  EXPECT_EQ(GetFontEngine(), FontEngine::BuiltIn) << "tests start with the built-in font";
  GetTextExtentPoint32(c.Dc(), "iiii", 4, &builtIn);
  EXPECT_EQ(builtIn.cx, 4 * 7);
  ASSERT_TRUE(sim::UseFreeTypeFonts(true));
  GetTextExtentPoint32(c.Dc(), "iiii", 4, &outline);
  EXPECT_LT(outline.cx, builtIn.cx) << "a proportional face";
  sim::ResetScreen();
  EXPECT_EQ(GetFontEngine(), FontEngine::BuiltIn);
  GetTextExtentPoint32(c.Dc(), "iiii", 4, &builtIn);
  EXPECT_EQ(builtIn.cx, 4 * 7);
  SelectObject(c.Dc(), old);
  DeleteObject(font);
}

TEST(FreeTypeText, ThreadsDrawTheSamePixelsAtOnce) {
  // The image library draws text on bitmaps off the GUI thread: fonts and faces are
  // shared, glyphs come from one cache.
  FtCanvas ref(300, 30, "Times New Roman", -18, FW_BOLD);
  if (!ref.Ok()) return;
  TextOut(ref.Dc(), 2, 2, kSample, static_cast<Integer>(std::strlen(kSample)));
  const std::string want = ref.Ink(kWhite);
  HFONT shared = CreateFont(-18, 0, 0, 0, FW_BOLD, 0, 0, 0, ANSI_CHARSET, 0, 0, 0, 0, "Times New Roman");
  std::vector<std::string> got(6);
  std::vector<std::thread> threads;
  for (size_t i = 0; i < got.size(); ++i) {
    threads.emplace_back([&, i] {
      for (int round = 0; round < 5; ++round) {
        Canvas c(300, 30, 32);
        c.Fill(kWhite);
        HGDIOBJ old = SelectObject(c.Dc(), shared);
        SetBkMode(c.Dc(), TRANSPARENT);
        // Other sizes at the same time, so the caches fill and turn over.
        HFONT other = CreateFont(-(8 + static_cast<int>(i) * 7 + round), 0, 0, 0, FW_NORMAL, round & 1, 0, 0,
                                 ANSI_CHARSET, 0, 0, 0, 0, "Arial");
        HDC dc2 = CreateCompatibleDC(c.Dc());
        HGDIOBJ old2 = SelectObject(dc2, other);
        SIZE sz;
        GetTextExtentPoint32(dc2, kSample, static_cast<Integer>(std::strlen(kSample)), &sz);
        SelectObject(dc2, old2);
        DeleteDC(dc2);
        DeleteObject(other);
        TextOut(c.Dc(), 2, 2, kSample, static_cast<Integer>(std::strlen(kSample)));
        got[i] = c.Ink(kWhite);
        SelectObject(c.Dc(), old);
        if (got[i] != want) return;
      }
    });
  }
  for (auto& t : threads) t.join();
  DeleteObject(shared);
  for (const std::string& g : got) EXPECT_EQ(g, want);
}

TEST(FreeTypeText, ManySizesAndHugeSizesKeepTheCachesBounded) {
  // More sizes than the provider keeps, then the first again: fonts realised before
  // their cache entry went away keep drawing the same glyphs.
  FtCanvas first(120, 30, "Arial", -14);
  if (!first.Ok()) return;
  TextOut(first.Dc(), 2, 2, kSample, static_cast<Integer>(std::strlen(kSample)));
  const std::string want = first.Ink(kWhite);
  for (int px = 5; px < 80; ++px) {
    FtCanvas other(60, 20, px % 3 ? "Times New Roman" : "Courier New", -px, px % 2 ? FW_BOLD : FW_NORMAL);
    EXPECT_GT(other.Extent("Wave"), 0);
  }
  first.Fill(kWhite);
  TextOut(first.Dc(), 2, 2, kSample, static_cast<Integer>(std::strlen(kSample)));
  EXPECT_EQ(first.Ink(kWhite), want);
  FtCanvas again(120, 30, "Arial", -14);
  TextOut(again.Dc(), 2, 2, kSample, static_cast<Integer>(std::strlen(kSample)));
  EXPECT_EQ(again.Ink(kWhite), want) << "a fresh font of the same size";

  // Heights past the largest em are drawn at the largest; glyphs bigger than a
  // font's whole glyph cache are drawn all the same.
  FtCanvas huge(64, 64, "Arial", -100000);
  const TEXTMETRIC tm = huge.Metrics();
  EXPECT_EQ(tm.tmHeight - tm.tmInternalLeading, 2048);
  SetTextAlign(huge.Dc(), TA_BASELINE);
  TextOut(huge.Dc(), -250, 1000, "II", 2);  // the stem of the first I covers the canvas
  std::string solid;
  for (int y = 0; y < 64; ++y) solid += std::string(64, '#') + "\n";
  EXPECT_EQ(huge.Ink(kWhite), solid);
}

TEST(FreeTypeText, SampleSheetForAPersonToRead) {
  // Lines in several faces and sizes on white, written beside the test binary; the
  // picture kept in tests/data/fonts/freetype-sample.png was made by this test.
  const struct {
    const char* Face;
    int Height, Weight;
    bool Italic, Underline;
  } lines[] = {
      {"MS Sans Serif", -11, FW_NORMAL, false, false}, {"Tahoma", -13, FW_NORMAL, false, false},
      {"Arial", -16, FW_BOLD, false, false},           {"Verdana", -13, FW_NORMAL, true, false},
      {"Times New Roman", -16, FW_NORMAL, false, false}, {"Times New Roman", -20, FW_BOLD, true, false},
      {"Courier New", -13, FW_NORMAL, false, false},   {"MS Sans Serif", -11, FW_NORMAL, false, true},
  };
  Canvas sheet(660, 170, 32);
  sheet.Fill(kWhite);
  ASSERT_TRUE(sim::UseFreeTypeFonts(true));
  SetBkMode(sheet.Dc(), TRANSPARENT);
  int y = 4;
  for (const auto& l : lines) {
    HFONT f = CreateFont(l.Height, 0, 0, 0, l.Weight, l.Italic, l.Underline, 0, ANSI_CHARSET, 0, 0, 0, 0, l.Face);
    HGDIOBJ old = SelectObject(sheet.Dc(), f);
    char text[160];
    std::snprintf(text, sizeof text, "%s %d: Caf\xE9 \x93na\xEFve\x94 costs \x80 5, the quick brown fox",
                  l.Face, -l.Height);
    TextOut(sheet.Dc(), 4, y, text, static_cast<Integer>(std::strlen(text)));
    TEXTMETRIC tm;
    GetTextMetrics(sheet.Dc(), &tm);
    y += tm.tmHeight + 2;
    SelectObject(sheet.Dc(), old);
    DeleteObject(f);
  }
  EXPECT_LE(y, 170);
  sheet.Dump("freetype-sample");
}

}  // namespace
