// Free rotation: exact quarter turns, the shear engine's geometry and edge blending
// against an independent reference of its formulas, the interpolating and the
// nearest-pixel engines, and closeness to ImageMagick's rotation.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/image/bitmap_test_util.h"
#include "tests/image/proc_test_util.h"
#include "tests/support/Peers.h"

using namespace proctest;

namespace {

// A plain image for the references: n channels per pixel, row 0 at the top.
struct Img {
  int w = 0, h = 0, n = 3;
  std::vector<int> px;
  int& at(int x, int y, int c) { return px[(static_cast<size_t>(y) * w + x) * n + c]; }
  int at(int x, int y, int c) const { return px[(static_cast<size_t>(y) * w + x) * n + c]; }
};

Img MakeImg(int w, int h, int n, const std::vector<int>& bg) {
  Img m{w, h, n, std::vector<int>(static_cast<size_t>(w) * h * n)};
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      for (int c = 0; c < n; ++c) m.at(x, y, c) = bg[c];
  return m;
}

// Pixel values that differ from pixel to pixel and channel to channel.
int Pattern(int x, int y, int c) { return (x * 53 + y * 97 + c * 71 + x * y * 13) % 256; }

std::unique_ptr<TIEBitmap> Store24(int w, int h) {
  auto b = std::make_unique<TIEBitmap>();
  b->Allocate(w, h, ie24RGB);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      b->SetPixels_ie24RGB(
          x, y,
          TRGB{static_cast<Byte>(Pattern(x, y, 0)), static_cast<Byte>(Pattern(x, y, 1)),
               static_cast<Byte>(Pattern(x, y, 2))});
  return b;
}

Img FromStore(TIEBitmap& b) {
  const int n = b.GetPixelFormat() == ie24RGB ? 3 : 1;
  Img m{b.GetWidth(), b.GetHeight(), n,
        std::vector<int>(static_cast<size_t>(b.GetWidth()) * b.GetHeight() * n)};
  for (int y = 0; y < m.h; ++y)
    for (int x = 0; x < m.w; ++x) {
      if (n == 3) {
        const TRGB p = b.GetPixels_ie24RGB(x, y);
        m.at(x, y, 0) = p.b;
        m.at(x, y, 1) = p.g;
        m.at(x, y, 2) = p.r;
      } else {
        m.at(x, y, 0) = b.GetPixels_ie8(x, y);
      }
    }
  return m;
}

Img TurnCcw(const Img& s) {  // dest (x', y') = source (w - 1 - y', x')
  Img d{s.h, s.w, s.n, std::vector<int>(s.px.size())};
  for (int y = 0; y < d.h; ++y)
    for (int x = 0; x < d.w; ++x)
      for (int c = 0; c < s.n; ++c) d.at(x, y, c) = s.at(s.w - 1 - y, x, c);
  return d;
}
Img TurnCw(const Img& s) {  // dest (x', y') = source (y', h - 1 - x')
  Img d{s.h, s.w, s.n, std::vector<int>(s.px.size())};
  for (int y = 0; y < d.h; ++y)
    for (int x = 0; x < d.w; ++x)
      for (int c = 0; c < s.n; ++c) d.at(x, y, c) = s.at(y, s.h - 1 - x, c);
  return d;
}

// ---------------------------------------------------------------------------
// Reference of the three-shear rotation, written from its formulas with doubles.

int BlendRef(int prev, int cur, int f) {
  const double v = std::nearbyint(
      (prev * static_cast<double>(f) + cur * static_cast<double>(4096 - f) + 2048) / 4096.0);
  return v < 0 ? 0 : (v > 255 ? 255 : static_cast<int>(v));
}

// Lays the pixels get(0..count-1) onto put(pos) for pos in 0..len-1 from start.
template <typename Get, typename Put>
void LayRef(int count, int len, int start, int f, bool aa, const std::vector<int>& bg, int n,
            Get get, Put put) {
  for (int i = 0; i < count; ++i) {
    const int pos = start + i;
    if (pos < 0 || pos >= len) continue;
    for (int c = 0; c < n; ++c)
      put(pos, c, aa ? BlendRef(i == 0 ? bg[c] : get(i - 1, c), get(i, c), f) : get(i, c));
  }
  const int after = start + count;
  if (aa && f > 0 && after >= 0 && after < len)
    for (int c = 0; c < n; ++c) put(after, c, BlendRef(get(count - 1, c), bg[c], f));
}

Img ShearRef(Img src, double angle, bool aa, const std::vector<int>& bg) {
  double c = std::fmod(std::trunc(angle * 1000), 360000.0) / 1000;
  while (c > 45) {
    src = TurnCcw(src);
    c -= 90;
  }
  while (c < -45) {
    src = TurnCw(src);
    c += 90;
  }
  if (c == 0) return src;
  const int n = src.n, W0 = src.w, H0 = src.h;
  const double th = c * M_PI / 180, t = std::fabs(std::tan(th / 2)), s = std::fabs(std::sin(th));
  auto rnd = [](double v) { return static_cast<int>(std::nearbyint(v)); };
  const int W1 = rnd(H0 * t + W0 + 1);
  const int g = rnd((W1 - W0) * s);
  const int H2a = rnd(s * W1 + H0 + 1);
  const int o = rnd(t * (H2a - H0 - g));
  const int H2 = H2a - 2 * g;
  const int W3 = rnd(t * H2 + W1 + 1 - 2 * o);

  Img p1 = MakeImg(W1, H0, n, bg);
  for (int y = 0; y < H0; ++y) {
    const double k = th > 0 ? y * t : (H0 - y) * t;
    const int f = static_cast<int>(std::trunc((k - rnd(k)) * 4096));
    LayRef(
        W0, W1, rnd(k), f, aa, bg, n, [&](int i, int ch) { return src.at(i, y, ch); },
        [&](int pos, int ch, int v) { p1.at(pos, y, ch) = v; });
  }
  Img p2 = MakeImg(W1, H2, n, bg);
  for (int x = 0; x < W1; ++x) {
    const double k = th > 0 ? (W1 - x) * s : x * s;
    const int f = rnd((k - rnd(k)) * 4096);
    LayRef(
        H0, H2, rnd(k) - g, f, aa, bg, n, [&](int i, int ch) { return p1.at(x, i, ch); },
        [&](int pos, int ch, int v) { p2.at(x, pos, ch) = v; });
  }
  Img p3 = MakeImg(W3, H2, n, bg);
  for (int y = 0; y < H2; ++y) {
    const double k = th > 0 ? y * t : (H2 - y) * t;
    const int f = rnd((k - rnd(k)) * 4096);
    LayRef(
        W1, W3, rnd(k) - o, f, aa, bg, n, [&](int i, int ch) { return p2.at(i, y, ch); },
        [&](int pos, int ch, int v) { p3.at(pos, y, ch) = v; });
  }
  return p3;
}

void ExpectSameImg(const Img& actual, const Img& expected) {
  ASSERT_EQ(actual.w, expected.w);
  ASSERT_EQ(actual.h, expected.h);
  int shown = 0;
  for (int y = 0; y < actual.h; ++y)
    for (int x = 0; x < actual.w; ++x)
      for (int c = 0; c < actual.n; ++c)
        if (actual.at(x, y, c) != expected.at(x, y, c) && shown++ < 5)
          ADD_FAILURE() << "pixel (" << x << ", " << y << ") channel " << c << ": "
                        << actual.at(x, y, c) << ", expected " << expected.at(x, y, c);
}

}  // namespace

// ---------------------------------------------------------------------------
// Quarter turns

namespace {

struct QuarterCase {
  double angle;
  int ccwTurns;  // 1 counter-clockwise, 2 half, 3 clockwise
};

// Counter-clockwise quarter turn of ASCII art.
Art TurnArtCcw(const Art& a) {
  Art out(a[0].size(), std::string(a.size(), ' '));
  for (size_t y = 0; y < out.size(); ++y)
    for (size_t x = 0; x < out[0].size(); ++x) out[y][x] = a[x][a[0].size() - 1 - y];
  return out;
}

const QuarterCase kQuarterCases[] = {{90, 1},   {450, 1}, {-270, 1}, {180, 2},
                                     {-180, 2}, {270, 3}, {-90, 3}};

}  // namespace

TEST(ProcRotate, ShearEngineTurnsQuartersExactly) {
  for (const auto& [angle, turns] : kQuarterCases)
    for (const bool aa : {false, true}) {
      SCOPED_TRACE(testing::Message() << angle);
      auto b = Store24(5, 3);
      Img expected = FromStore(*b);
      for (int i = 0; i < turns; ++i) expected = TurnCcw(expected);
      _RotateEx(b.get(), angle, aa, TRGB{9, 9, 9}, {}, nullptr);
      SCOPED_TRACE(aa ? "antialias" : "plain");
      ExpectSameImg(FromStore(*b), expected);
    }
}

TEST(ProcRotate, OneByteEnginesTurnQuartersExactly) {
  for (const auto& [angle, turns] : kQuarterCases) {
    SCOPED_TRACE(testing::Message() << angle);
    const Art art{"abcd", "efgh", "ijkl"};
    Art expected = art;
    for (int i = 0; i < turns; ++i) expected = TurnArtCcw(expected);
    auto shear = Make8(art, ie8g);
    _RotateEx8(shear.get(), angle, true, 0, {}, nullptr);
    EXPECT_ART(Read8(*shear), expected);
    auto nearest = Make8(art, ie8p);
    _rotate8bit(nearest.get(), angle, 0);
    EXPECT_ART(Read8(*nearest), expected);
  }
}

TEST(ProcRotate, OneBitEngineTurnsQuartersExactly) {
  for (const auto& [angle, turns] : kQuarterCases) {
    SCOPED_TRACE(testing::Message() << angle);
    const Art art{"#..#.##.#.#", ".##....###.", "#.........#"};
    Art expected = art;
    for (int i = 0; i < turns; ++i) expected = TurnArtCcw(expected);
    auto b = Make1g(art);
    TProgressRec progress;
    _rotate1bitEx(b.get(), angle, 1, progress);
    EXPECT_EQ(b->GetPixelFormat(), ie1g);
    EXPECT_ART(Read1g(*b), expected);
  }
}

// ---------------------------------------------------------------------------
// Shear engine

TEST(ProcRotate, ShearSizesOfTenDegrees) {
  for (const bool aa : {false, true}) {
    auto b = Store24(100, 50);
    _RotateEx(b.get(), 10, aa, TRGB{}, {}, nullptr);
    EXPECT_EQ(b->GetWidth(), 108);
    EXPECT_EQ(b->GetHeight(), 67);
  }
}

namespace {

struct ShearCase {
  double angle;
  int w, h;
};

const ShearCase kShearCases[] = {{30, 7, 5},    {-20, 6, 9}, {45, 4, 4},      {-45, 5, 3},
                                 {10.5, 12, 7}, {120, 7, 5}, {-150.25, 5, 8}, {200, 3, 6}};

}  // namespace

TEST(ProcRotate, ShearMatchesTheShearFormulas) {
  for (const auto& [angle, w, h] : kShearCases) {
    SCOPED_TRACE(testing::Message() << angle);
    const std::vector<int> bg{30, 200, 90};
    for (const bool aa : {false, true}) {
      SCOPED_TRACE(aa ? "antialias" : "plain");
      auto b = Store24(w, h);
      const Img expected = ShearRef(FromStore(*b), angle, aa, bg);
      _RotateEx(b.get(), angle, aa, TRGB{30, 200, 90}, {}, nullptr);
      ExpectSameImg(FromStore(*b), expected);
    }
  }
}

TEST(ProcRotate, OneByteShearMatchesTheFormulas) {
  for (const auto& [angle, w, h] : kShearCases) {
    SCOPED_TRACE(testing::Message() << angle);
    auto b = std::make_unique<TIEBitmap>();
    b->Allocate(w, h, ie8g);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) b->SetPixels_ie8(x, y, static_cast<Byte>(Pattern(x, y, 1)));
    const Img expected = ShearRef(FromStore(*b), angle, true, {17});
    _RotateEx8(b.get(), angle, true, 17, {}, nullptr);
    EXPECT_EQ(b->GetPixelFormat(), ie8g);
    ExpectSameImg(FromStore(*b), expected);
  }
}

TEST(ProcRotate, ShearProgressCoversEveryLineOfTheThreePasses) {
  auto b = Store24(20, 10);
  std::vector<Integer> reports;
  _RotateEx(
      b.get(), 25, true, TRGB{}, [&](TObject*, Integer per) { reports.push_back(per); }, nullptr);
  // H0 + W1 + H2 reports: one per row, column and row of the three passes.
  const double t = std::tan(25 * M_PI / 360), s = std::sin(25 * M_PI / 180);
  const int W1 = static_cast<int>(std::nearbyint(10 * t + 21));
  const int g = static_cast<int>(std::nearbyint((W1 - 20) * s));
  const int H2 = static_cast<int>(std::nearbyint(s * W1 + 11)) - 2 * g;
  ASSERT_EQ(static_cast<int>(reports.size()), 10 + W1 + H2);
  EXPECT_EQ(reports.front(), 0);
  EXPECT_LT(reports.back(), 100);
  for (size_t i = 1; i < reports.size(); ++i) EXPECT_LE(reports[i - 1], reports[i]);
}

TEST(ProcRotate, ZeroAngleChangesNothing) {
  auto b = Store24(6, 4);
  const Img before = FromStore(*b);
  _RotateEx(b.get(), 0, true, TRGB{}, {}, nullptr);
  ExpectSameImg(FromStore(*b), before);
}

// A grey or palette image is turned as bytes, not read as bits; 16-bit grey stays
// 16-bit grey.
TEST(ProcRotate, ShearKeepsGreyAndPaletteFormats) {
  auto grey = std::make_unique<TIEBitmap>();
  grey->Allocate(8, 6, ie8g);
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 8; ++x) grey->SetPixels_ie8(x, y, static_cast<Byte>(100 + x));
  const Img expected = ShearRef(FromStore(*grey), 30, false, {_RGBToGray(TRGB{0, 0, 255})});
  _RotateEx(grey.get(), 30, false, TRGB{0, 0, 255}, {}, nullptr);
  EXPECT_EQ(grey->GetPixelFormat(), ie8g);
  ExpectSameImg(FromStore(*grey), expected);

  auto pal = std::make_unique<TIEBitmap>();
  pal->Allocate(8, 6, ie8p);
  for (int i = 0; i < 256; ++i) pal->SetPalette(i, TRGB{static_cast<Byte>(i), 0, 0});
  pal->SetPalette(77, TRGB{0, 0, 250});  // the nearest entry to a red background
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 8; ++x) pal->SetPixels_ie8(x, y, static_cast<Byte>(10 + y));
  _RotateEx(pal.get(), 30, false, TRGB{0, 0, 255}, {}, nullptr);
  EXPECT_EQ(pal->GetPixelFormat(), ie8p);
  EXPECT_EQ(pal->GetPalette(77), (TRGB{0, 0, 250}));
  EXPECT_EQ(pal->GetPixels_ie8(0, 0), 77) << "corner takes the background's entry";

  auto deep = std::make_unique<TIEBitmap>();
  deep->Allocate(8, 6, ie16g);
  deep->Fill(0x8080);
  _RotateEx(deep.get(), 30, false, TRGB{}, {}, nullptr);
  EXPECT_EQ(deep->GetPixelFormat(), ie16g);
  EXPECT_EQ(deep->GetWidth(), FromStore(*grey).w);
  EXPECT_EQ(deep->GetPixels_ie16g(0, 0) >> 8, 0) << "corner";
  EXPECT_EQ(deep->GetPixels_ie16g(deep->GetWidth() / 2, deep->GetHeight() / 2) >> 8, 0x80)
      << "centre";
}

// ---------------------------------------------------------------------------
// Interpolating engine

TEST(ProcRotate, InterpolatingSizeOfThirtyDegrees) {
  for (const auto mode : {ierBilinear, ierBicubic}) {
    auto b = Store24(100, 50);
    _IEQRotate(b.get(), 30, clWhite, mode, {}, nullptr);
    EXPECT_EQ(b->GetWidth(), 112);
    EXPECT_EQ(b->GetHeight(), 94);
  }
}

namespace {

// Reference of the inverse mapping: the bordered source, destination pixel (i, j)
// of the W2 x H2 result sampled at the rotated position; the result then loses 3
// pixels per side.
Img QRotateRef(const Img& bare, double angle, const std::vector<int>& bg, bool cubic) {
  const int W = bare.w + 6, H = bare.h + 6, n = bare.n;
  Img src = MakeImg(W, H, n, bg);
  for (int y = 0; y < bare.h; ++y)
    for (int x = 0; x < bare.w; ++x)
      for (int c = 0; c < n; ++c) src.at(x + 3, y + 3, c) = bare.at(x, y, c);
  auto get = [&](int x, int y, int c) {
    return x < 0 || y < 0 || x >= W || y >= H ? bg[c] : src.at(x, y, c);
  };
  const double th = angle * M_PI / 180;
  const int W2 = static_cast<int>(
      std::nearbyint(std::fabs(std::sin(th) * (H - 1)) + std::fabs(std::cos(th) * (W - 1))));
  const int H2 = static_cast<int>(
      std::nearbyint(std::fabs(std::cos(th) * (H - 1)) + std::fabs(std::sin(th) * (W - 1))));
  Img out = MakeImg(W2 - 6, H2 - 6, n, bg);
  for (int j = 3; j < H2 - 3; ++j)
    for (int i = 3; i < W2 - 3; ++i) {
      const double x =
          (W - 1) / 2.0 + (i - (W2 - 1) / 2.0) * std::cos(th) - (j - (H2 - 1) / 2.0) * std::sin(th);
      const double y =
          (H - 1) / 2.0 + (i - (W2 - 1) / 2.0) * std::sin(th) + (j - (H2 - 1) / 2.0) * std::cos(th);
      const int x0 = static_cast<int>(x), y0 = static_cast<int>(y);
      for (int c = 0; c < n; ++c) {
        int v;
        if (!cubic) {
          const double fx = x - std::floor(x), fy = y - std::floor(y);
          const double top = get(x0, y0, c) * (1 - fx) + get(x0 + 1, y0, c) * fx;
          const double bottom = get(x0, y0 + 1, c) * (1 - fx) + get(x0 + 1, y0 + 1, c) * fx;
          v = static_cast<int>(top * (1 - fy) + bottom * fy + 1e-9);
        } else {
          auto wts = [](double f) {
            return std::vector<double>{-f * (1 - f) * (1 - f), 1 - 2 * f * f + f * f * f,
                                       f + f * f - f * f * f, f * f * f - f * f};
          };
          const auto wx = wts(x - x0), wy = wts(y - y0);
          double sum = 0;
          for (int r = 0; r < 4; ++r) {
            double rs = 0;
            for (int m = 0; m < 4; ++m) rs += wx[m] * get(x0 - 1 + m, y0 - 1 + r, c);
            sum += wy[r] * rs;
          }
          v = std::min(255, std::abs(static_cast<int>(sum)));
        }
        out.at(i - 3, j - 3, c) = v;
      }
    }
  return out;
}

// Largest channel difference.
int MaxDiff(const Img& a, const Img& b) {
  int m = 0;
  for (size_t i = 0; i < a.px.size(); ++i) m = std::max(m, std::abs(a.px[i] - b.px[i]));
  return m;
}

}  // namespace

// The bilinear sum is taken in another order in the reference, so a value sitting
// exactly on an integer may truncate one lower; nothing differs by more than 1.
TEST(ProcRotate, InterpolatingMatchesTheSamplingFormulas) {
  for (const double angle : {30.0, -17.0, 123.0}) {
    for (const bool cubic : {false, true}) {
      SCOPED_TRACE(testing::Message() << angle << (cubic ? " bicubic" : " bilinear"));
      auto b = Store24(7, 5);
      const Img expected = QRotateRef(FromStore(*b), angle, {0, 0, 255}, cubic);
      _IEQRotate(b.get(), angle, clRed, cubic ? ierBicubic : ierBilinear, {}, nullptr);
      const Img actual = FromStore(*b);
      ASSERT_EQ(actual.w, expected.w);
      ASSERT_EQ(actual.h, expected.h);
      EXPECT_LE(MaxDiff(actual, expected), 1);
    }
  }
}

TEST(ProcRotate, InterpolatingOneByteVariant) {
  auto b = std::make_unique<TIEBitmap>();
  b->Allocate(6, 4, ie8g);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 6; ++x) b->SetPixels_ie8(x, y, static_cast<Byte>(Pattern(x, y, 2)));
  const Img expected = QRotateRef(FromStore(*b), 40, {0}, true);
  _IEQRotate8(b.get(), 40, 0, ierBicubic);
  EXPECT_EQ(b->GetPixelFormat(), ie8g);
  const Img actual = FromStore(*b);
  ASSERT_EQ(actual.w, expected.w);
  ASSERT_EQ(actual.h, expected.h);
  EXPECT_LE(MaxDiff(actual, expected), 1);
}

TEST(ProcRotate, InterpolatingTinyImagesDoNotFail) {
  auto b = Store24(1, 1);
  _IEQRotate(b.get(), 0.5, clBlack, ierBicubic, {}, nullptr);
  EXPECT_LE(b->GetWidth(), 1);
  auto c = Store24(1, 1);
  _IEQRotate(c.get(), 45, clBlack, ierBilinear, {}, nullptr);
  EXPECT_LE(c->GetWidth(), 3);
}

// ---------------------------------------------------------------------------
// Nearest-pixel engines

namespace {

// Reference of the nearest inverse mapping: bit of destination (i, j), or -1 for
// the background.
std::vector<std::vector<int>> NearestRef(int w, int h, double angle, int& W2, int& H2) {
  const double b = -angle / 57.295779513082320877;
  const double C = std::trunc(std::cos(b) * 10000) / 10000,
               S = std::trunc(std::sin(b) * 10000) / 10000;
  W2 = static_cast<int>(std::fabs(w * C) + std::fabs(h * S));
  H2 = static_cast<int>(std::fabs(w * S) + std::fabs(C * h));
  std::vector<std::vector<int>> src(static_cast<size_t>(H2),
                                    std::vector<int>(static_cast<size_t>(W2)));
  for (int j = 0; j < H2; ++j)
    for (int i = 0; i < W2; ++i) {
      const double o = i - (W2 / 2.0 - 0.5), t = j - (H2 / 2.0 - 0.5);
      const int sx = static_cast<int>((w / 2.0 - 0.5) + S * t) + static_cast<int>(C * o);
      const int sy = static_cast<int>((h / 2.0 - 0.5) + C * t) + static_cast<int>(-S * o);
      src[j][i] = sx < 0 || sy < 0 || sx >= w || sy >= h ? -1 : sy * w + sx;
    }
  return src;
}

}  // namespace

TEST(ProcRotate, OneBitFollowsTheNearestMapping) {
  const Art art{"#..##.#..#", ".###..#.#.", "#.#.##..##", "..#.#.#.#.", "##....###."};
  for (const double angle : {30.0, -65.0, 100.0}) {
    for (const int bg : {0, 1}) {
      SCOPED_TRACE(testing::Message() << angle << " background " << bg);
      int W2 = 0, H2 = 0;
      const auto map = NearestRef(10, 5, angle, W2, H2);
      Art expected(static_cast<size_t>(H2), std::string(static_cast<size_t>(W2), '.'));
      for (int j = 0; j < H2; ++j)
        for (int i = 0; i < W2; ++i) {
          const int s = map[j][i];
          const bool set =
              s < 0 ? bg != 0
                    : art[static_cast<size_t>(s / 10)][static_cast<size_t>(s % 10)] == '#';
          if (set) expected[j][i] = '#';
        }
      auto b = Make1g(art);
      std::vector<Integer> reports;
      TProgressRec progress;
      progress.OnProgress = [&](TObject*, Integer per) { reports.push_back(per); };
      _rotate1bitEx(b.get(), angle, bg, progress);
      EXPECT_ART(Read1g(*b), expected);
      EXPECT_EQ(static_cast<int>(reports.size()), H2);
    }
  }
}

TEST(ProcRotate, EightBitNearestKeepsPalette) {
  const Art art{"abcdef", "ghijkl", "mnopqr"};
  auto b = Make8(art, ie8p);
  b->SetPalette(5, TRGB{1, 2, 3});
  int W2 = 0, H2 = 0;
  const auto map = NearestRef(6, 3, 20, W2, H2);
  _rotate8bit(b.get(), 20, '*');
  Art expected(static_cast<size_t>(H2), std::string(static_cast<size_t>(W2), '*'));
  for (int j = 0; j < H2; ++j)
    for (int i = 0; i < W2; ++i)
      if (map[j][i] >= 0)
        expected[j][i] =
            art[static_cast<size_t>(map[j][i] / 6)][static_cast<size_t>(map[j][i] % 6)];
  EXPECT_ART(Read8(*b), expected);
  EXPECT_EQ(b->GetPalette(5), (TRGB{1, 2, 3}));
}

// The shear engine hands 1-bit images to the nearest engine: the background bit is
// white only when every channel of the colour is non-zero.
TEST(ProcRotate, OneBitThroughTheShearEngineTakesTheBackgroundBit) {
  const Art art{"######", "######", "######"};
  auto white = Make1g(art);
  _RotateEx(white.get(), 30, false, TRGB{255, 255, 255}, {}, nullptr);
  auto red = Make1g(art);
  _RotateEx(red.get(), 30, false, TRGB{0, 0, 255}, {}, nullptr);
  ASSERT_EQ(white->GetPixelFormat(), ie1g);
  ASSERT_EQ(red->GetPixelFormat(), ie1g);
  EXPECT_TRUE(white->GetPixels_ie1g(0, 0));
  EXPECT_FALSE(red->GetPixels_ie1g(0, 0));
}

TEST(ProcRotate, FrameworkOneBitBitmapTurnsInPlace) {
  TBitmap bmp;
  bmp.SetPixelFormat(pf1bit);
  bmp.SetMonochrome(true);
  bmp.SetSize(3, 2);
  static_cast<Byte*>(bmp.ScanLine(0))[0] = 0x80;  // top-left white
  TProgressRec progress;
  _rotate1bit(&bmp, 90, 0, progress);
  ASSERT_EQ(bmp.GetWidth(), 2);
  ASSERT_EQ(bmp.GetHeight(), 3);
  // Counter-clockwise: the top-left pixel goes to the bottom-left.
  EXPECT_EQ(static_cast<Byte*>(bmp.ScanLine(2))[0] & 0xC0, 0x80);
  EXPECT_EQ(static_cast<Byte*>(bmp.ScanLine(0))[0] & 0xC0, 0x00);
}

// ---------------------------------------------------------------------------
// Against ImageMagick

namespace {

// A smooth picture (gradients and a soft disc) so that rotations by different
// resamplers stay comparable away from the edges.
std::unique_ptr<TIEBitmap> SmoothPicture(int w, int h) {
  auto b = std::make_unique<TIEBitmap>();
  b->Allocate(w, h, ie24RGB);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const double d = std::hypot(x - w * 0.4, y - h * 0.55) / (w * 0.3);
      const int disc = static_cast<int>(120 * std::exp(-d * d));
      b->SetPixels_ie24RGB(x, y,
                           TRGB{static_cast<Byte>(40 + 3 * y), static_cast<Byte>(30 + disc + x),
                                static_cast<Byte>(200 - 2 * x)});
    }
  return b;
}

bool WritePpm(TIEBitmap& b, const std::string& path) {
  std::ofstream f(path, std::ios::binary);
  f << "P6\n" << b.GetWidth() << " " << b.GetHeight() << "\n255\n";
  for (int y = 0; y < b.GetHeight(); ++y)
    for (int x = 0; x < b.GetWidth(); ++x) {
      const TRGB p = b.GetPixels_ie24RGB(x, y);
      f.put(static_cast<char>(p.r)).put(static_cast<char>(p.g)).put(static_cast<char>(p.b));
    }
  return static_cast<bool>(f);
}

bool ReadPpm(const std::string& path, Img& out) {
  std::ifstream f(path, std::ios::binary);
  std::string magic;
  int maxval = 0;
  f >> magic >> out.w >> out.h >> maxval;
  f.get();
  if (magic != "P6" || maxval != 255 || out.w <= 0 || out.h <= 0) return false;
  out.n = 3;
  out.px.assign(static_cast<size_t>(out.w) * out.h * 3, 0);
  for (int y = 0; y < out.h; ++y)
    for (int x = 0; x < out.w; ++x) {
      char rgb[3];
      if (!f.read(rgb, 3)) return false;
      out.at(x, y, 2) = static_cast<Byte>(rgb[0]);
      out.at(x, y, 1) = static_cast<Byte>(rgb[1]);
      out.at(x, y, 0) = static_cast<Byte>(rgb[2]);
    }
  return true;
}

// Mean absolute channel difference over the overlap of the two images centred on
// each other and then moved by up to 2 pixels each way, at the best such offset:
// the engines place the turned picture on their own pixel grid, and a half-pixel
// shift of a gradient is not an error of the rotation.
double AlignedMae(const Img& a, const Img& b) {
  double best = 1e9;
  for (int oy = -2; oy <= 2; ++oy)
    for (int ox = -2; ox <= 2; ++ox) {
      const int w = std::min(a.w, b.w) - 4, h = std::min(a.h, b.h) - 4;
      const int ax = (a.w - w) / 2, ay = (a.h - h) / 2, bx = (b.w - w) / 2 + ox,
                by = (b.h - h) / 2 + oy;
      double sum = 0;
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
          for (int c = 0; c < 3; ++c)
            sum += std::abs(a.at(ax + x, ay + y, c) - b.at(bx + x, by + y, c));
      best = std::min(best, sum / (static_cast<double>(w) * h * 3));
    }
  return best;
}

}  // namespace

TEST(ProcRotate, CloseToImageMagick) {
  const std::string im = larktest::RequireProgram("/usr/bin/convert-im6.q16");
  if (im.empty()) return;
  larktest::TempDir dir;
  const std::string in = dir.Path() + "in.ppm";
  auto source = SmoothPicture(64, 48);
  ASSERT_TRUE(WritePpm(*source, in));
  for (const double angle : {10.0, 30.0, -35.0, 120.0}) {
    // ImageMagick turns clockwise for positive angles.
    const std::string out = dir.Path() + "out.ppm";
    std::ostringstream deg;
    deg << -angle;
    int exitCode = -1;
    larktest::RunCommand({im, in, "-background", "rgb(10,20,30)", "-rotate", deg.str(), out},
                         &exitCode);
    ASSERT_EQ(exitCode, 0);
    Img peer;
    ASSERT_TRUE(ReadPpm(out, peer));

    struct Engine {
      const char* name;
      double bound;
    };
    for (const Engine e : {Engine{"shear", 4.0}, Engine{"shear antialias", 4.0},
                           Engine{"bilinear", 4.0}, Engine{"bicubic", 4.0}}) {
      auto b = std::make_unique<TIEBitmap>();
      b->Assign(source.get());
      const std::string name = e.name;
      if (name == "shear")
        _RotateEx(b.get(), angle, false, TRGB{30, 20, 10}, {}, nullptr);
      else if (name == "shear antialias")
        _RotateEx(b.get(), angle, true, TRGB{30, 20, 10}, {}, nullptr);
      else
        _IEQRotate(b.get(), angle, RGB2TColor(10, 20, 30),
                   name == "bilinear" ? ierBilinear : ierBicubic, {}, nullptr);
      const Img ours = FromStore(*b);
      EXPECT_LE(std::abs(ours.w - peer.w), 3) << name << " " << angle;
      EXPECT_LE(std::abs(ours.h - peer.h), 3) << name << " " << angle;
      const double mae = AlignedMae(ours, peer);
      EXPECT_LT(mae, e.bound) << name << " " << angle;
      RecordProperty(name + " " + deg.str(), std::to_string(mae));
    }
  }
}

// File-backed and framework-backed stores turn like stores in memory.
TEST(ProcRotate, EveryStorageTurnsAlike) {
  for (const auto storage : {bitmap_test::Storage::File, bitmap_test::Storage::Framework}) {
    SCOPED_TRACE(bitmap_test::StorageName(storage));
    for (const double angle : {90.0, 33.0}) {
      auto memory = Store24(9, 6);
      auto other = bitmap_test::MakeStore(storage, 9, 6, ie24RGB);
      for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 9; ++x) other->SetPixels_ie24RGB(x, y, memory->GetPixels_ie24RGB(x, y));
      _RotateEx(memory.get(), angle, true, TRGB{1, 2, 3}, {}, nullptr);
      _RotateEx(other.get(), angle, true, TRGB{1, 2, 3}, {}, nullptr);
      ExpectSameImg(FromStore(*other), FromStore(*memory));
      auto q1 = Store24(9, 6), q2 = bitmap_test::MakeStore(storage, 9, 6, ie24RGB);
      for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 9; ++x) q2->SetPixels_ie24RGB(x, y, q1->GetPixels_ie24RGB(x, y));
      _IEQRotate(q1.get(), angle, clWhite, ierBicubic, {}, nullptr);
      _IEQRotate(q2.get(), angle, clWhite, ierBicubic, {}, nullptr);
      ExpectSameImg(FromStore(*q2), FromStore(*q1));
    }
  }
}

// Every engine on the smallest images at awkward angles: no access outside the
// stores (the sanitizers watch) and a store that still holds pixels.
TEST(ProcRotate, TinyImagesAtManyAngles) {
  for (int w = 1; w <= 3; ++w)
    for (int h = 1; h <= 3; ++h)
      for (const double angle : {0.0004, 1.0, 44.99, 45.0, -45.0, 89.9, 135.0, 181.0, -359.5, 1e9}) {
        SCOPED_TRACE(testing::Message() << w << "x" << h << " at " << angle);
        for (const bool aa : {false, true}) {
          auto b = Store24(w, h);
          _RotateEx(b.get(), angle, aa, TRGB{}, {}, nullptr);
          EXPECT_GT(b->GetWidth(), 0);
          EXPECT_GT(b->GetHeight(), 0);
        }
        auto q = Store24(w, h);
        _IEQRotate(q.get(), angle, clBlack, ierBicubic, {}, nullptr);
        auto bits = Make1g(Art(static_cast<size_t>(h), std::string(static_cast<size_t>(w), '#')));
        TProgressRec progress;
        _rotate1bitEx(bits.get(), angle, 0, progress);
        EXPECT_GT(bits->GetWidth(), 0);
        auto bytes = Make8(Art(static_cast<size_t>(h), std::string(static_cast<size_t>(w), 'x')), ie8g);
        _rotate8bit(bytes.get(), angle, 0);
        _IEQRotate8(bytes.get(), angle, 0, ierBilinear);
        _RotateEx8(bytes.get(), angle, true, 0, {}, nullptr);
      }
}
