// Rendering of pixel stores into framework bitmaps and onto canvases: 14-bit
// fixed-point zoom, alpha and transparency blends, row reuse, clipping on every side,
// the resampling path, bands and gamma.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "image/model/iebitmap.h"
#include "image/model/ieutils.h"
#include "image/proc/dadiravproc.h"

namespace {

TRGB Pat(int x, int y) {
  return TRGB{static_cast<Byte>(x * 29 + y * 7 + 1), static_cast<Byte>(x * 5 + y * 41 + 2),
              static_cast<Byte>((x * y * 11 + 3) & 0xFF)};
}

std::unique_ptr<TIEBitmap> Store24(int w, int h) {
  auto b = std::make_unique<TIEBitmap>();
  b->Allocate(w, h, ie24RGB);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) b->SetPixels_ie24RGB(x, y, Pat(x, y));
  return b;
}

constexpr TRGB kSentinel{11, 22, 33};

std::unique_ptr<TBitmap> Target(int w, int h, TRGB fill = kSentinel) {
  auto bmp = std::make_unique<TBitmap>();
  bmp->SetPixelFormat(pf24bit);
  bmp->SetSize(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) static_cast<TRGB*>(bmp->ScanLine(y))[x] = fill;
  return bmp;
}

TRGB At(TBitmap& bmp, int x, int y) { return static_cast<TRGB*>(bmp.ScanLine(y))[x]; }

// Draws with the common defaults: no tables, no update rectangle, opaque.
void Render(TIEBitmap& store, TBitmap& bmp, int xDst, int yDst, int dxDst, int dyDst, int xSrc,
            int ySrc, int dxSrc, int dySrc, TResampleFilter filter = rfNone, bool reuseRows = false,
            int transparency = 255, bool useAlpha = false, const TRect* update = nullptr) {
  store.RenderToTBitmap(&bmp, nullptr, nullptr, nullptr, update, xDst, yDst, dxDst, dyDst, xSrc,
                        ySrc, dxSrc, dySrc, useAlpha, reuseRows, transparency, filter);
}

// The nearest source pixel of the 14-bit fixed-point zoom, computed independently.
int SrcOf(int d, int src0, int dSrc, int dDst) {
  const auto step = static_cast<long long>(static_cast<double>(dSrc) / dDst * 16384);
  return src0 + static_cast<int>((d * step) >> 14);
}

// Every bitmap pixel: inside the destination rectangle the zoomed source pixel,
// outside it the sentinel.
void ExpectZoomed(TBitmap& bmp, TIEBitmap& store, int xDst, int yDst, int dxDst, int dyDst,
                  int xSrc, int ySrc, int dxSrc, int dySrc) {
  int shown = 0;
  for (int y = 0; y < bmp.GetHeight(); ++y)
    for (int x = 0; x < bmp.GetWidth(); ++x) {
      const bool inside = x >= xDst && x < xDst + dxDst && y >= yDst && y < yDst + dyDst;
      const TRGB expected = inside ? store.GetPixels_ie24RGB(SrcOf(x - xDst, xSrc, dxSrc, dxDst),
                                                             SrcOf(y - yDst, ySrc, dySrc, dyDst))
                                   : kSentinel;
      if (!(At(bmp, x, y) == expected) && shown++ < 5)
        ADD_FAILURE() << "pixel (" << x << ", " << y << ")";
    }
}

}  // namespace

TEST(IERender, OneToOneCopiesRowsExactly) {
  auto store = Store24(100, 100);
  auto bmp = Target(100, 100);
  Render(*store, *bmp, 0, 0, 100, 100, 0, 0, 100, 100);
  ExpectZoomed(*bmp, *store, 0, 0, 100, 100, 0, 0, 100, 100);
}

TEST(IERender, DoubleZoomRepeatsPixelsAndReusesRows) {
  auto store = Store24(100, 100);
  for (const bool reuse : {false, true}) {
    auto bmp = Target(200, 200);
    Render(*store, *bmp, 0, 0, 200, 200, 0, 0, 100, 100, rfNone, reuse);
    ExpectZoomed(*bmp, *store, 0, 0, 200, 200, 0, 0, 100, 100);
    for (int y = 1; y < 200; y += 2)
      EXPECT_EQ(std::memcmp(bmp->ScanLine(y), bmp->ScanLine(y - 1), 600), 0);
  }
}

// Non-integral zooms up and down, and a source rectangle away from the origin.
TEST(IERender, FixedPointZoomPicksTheDocumentedSourcePixels) {
  struct Case {
    int dxDst, dyDst, xSrc, ySrc, dxSrc, dySrc;
  };
  for (const Case c : {Case{7, 5, 0, 0, 3, 3}, Case{5, 4, 2, 1, 9, 7}, Case{13, 3, 1, 2, 6, 6}}) {
    auto store = Store24(12, 10);
    auto bmp = Target(16, 8);
    Render(*store, *bmp, 1, 2, c.dxDst, c.dyDst, c.xSrc, c.ySrc, c.dxSrc, c.dySrc);
    ExpectZoomed(*bmp, *store, 1, 2, c.dxDst, c.dyDst, c.xSrc, c.ySrc, c.dxSrc, c.dySrc);
  }
}

// A destination rectangle reaching past each side of the bitmap draws only the
// part inside it, for the copy path and the zoomed path.
TEST(IERender, ClipsOnAllFourSides) {
  struct Case {
    int xDst, yDst;
  };
  for (const int zoom : {1, 2}) {
    for (const Case c : {Case{-3, 2}, Case{2, -3}, Case{6, 2}, Case{2, 6}, Case{-5, -5}, Case{7, 7},
                         Case{-3, 6}}) {
      SCOPED_TRACE(testing::Message() << "zoom " << zoom << " at " << c.xDst << ", " << c.yDst);
      auto store = Store24(5, 5);
      auto bmp = Target(10, 9);
      Render(*store, *bmp, c.xDst, c.yDst, 5 * zoom, 5 * zoom, 0, 0, 5, 5);
      ExpectZoomed(*bmp, *store, c.xDst, c.yDst, 5 * zoom, 5 * zoom, 0, 0, 5, 5);
    }
  }
  // Wholly outside: nothing drawn.
  auto store = Store24(5, 5);
  auto bmp = Target(10, 9);
  Render(*store, *bmp, -20, 3, 8, 8, 0, 0, 5, 5);
  Render(*store, *bmp, 3, 40, 8, 8, 0, 0, 5, 5);
  ExpectZoomed(*bmp, *store, 0, 0, 0, 0, 0, 0, 5, 5);
}

// A source rectangle reaching outside the store reads nothing from beyond it.
TEST(IERender, SourceOutsideTheStoreIsNotRead) {
  auto store = Store24(4, 4);
  auto bmp = Target(8, 8);
  Render(*store, *bmp, 0, 0, 8, 8, 2, 2, 4, 4);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) {
      const int sx = 2 + x / 2, sy = 2 + y / 2;
      const TRGB expected = sx < 4 && sy < 4 ? store->GetPixels_ie24RGB(sx, sy) : kSentinel;
      EXPECT_EQ(At(*bmp, x, y), expected) << x << ", " << y;
    }
}

// The update rectangle's right and bottom are the last column and row drawn.
TEST(IERender, UpdateRectangleLimitsTheDrawnArea) {
  auto store = Store24(6, 6);
  auto bmp = Target(12, 12);
  const TRect update{2, 3, 5, 7};
  Render(*store, *bmp, 0, 0, 12, 12, 0, 0, 6, 6, rfNone, false, 255, false, &update);
  for (int y = 0; y < 12; ++y)
    for (int x = 0; x < 12; ++x) {
      const bool drawn = x >= 2 && x <= 5 && y >= 3 && y <= 7;
      EXPECT_EQ(At(*bmp, x, y), drawn ? store->GetPixels_ie24RGB(x / 2, y / 2) : kSentinel)
          << x << ", " << y;
    }
}

TEST(IERender, CallerTablesAndRowsAreUsed) {
  auto store = Store24(4, 4);
  auto bmp = Target(3, 2);
  const Integer xLut[3] = {3, 0, 2};
  const Integer yLut[2] = {1, 3};
  std::vector<Byte*> rows;
  for (int y = 0; y < 2; ++y) rows.push_back(static_cast<Byte*>(bmp->ScanLine(y)));
  store->RenderToTBitmap(bmp.get(), rows.data(), xLut, yLut, nullptr, 0, 0, 3, 2, 0, 0, 4, 4, false,
                         false, 255, rfNone);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x)
      EXPECT_EQ(At(*bmp, x, y), store->GetPixels_ie24RGB(xLut[x], yLut[y]));
}

TEST(IERender, TransparencyBlendRoundsDown) {
  auto store = std::make_unique<TIEBitmap>();
  store->Allocate(4, 4, ie24RGB);
  store->Fill(0xFFFFFF);
  auto bmp = Target(4, 4, TRGB{0, 0, 0});
  Render(*store, *bmp, 0, 0, 4, 4, 0, 0, 4, 4, rfNone, false, 128);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) EXPECT_EQ(At(*bmp, x, y), (TRGB{127, 127, 127}));
  // Darker source over a brighter destination: negative differences round down.
  store->Fill(0);
  auto light = Target(2, 2, TRGB{200, 201, 255});
  Render(*store, *light, 0, 0, 2, 2, 0, 0, 2, 2, rfNone, false, 100);
  // 200 + floor(-200 x 100 / 256) = 200 - 79 = 121; 201 - 79 (78.5 down) = 122;
  // 255 + floor(-99.6) = 155.
  EXPECT_EQ(At(*light, 1, 1), (TRGB{121, 122, 155}));
}

TEST(IERender, AlphaPlaneBlendsEachPixel) {
  auto store = Store24(4, 3);
  TIEBitmap* alpha = store->GetAlphaChannel();
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 4; ++x) alpha->SetPixels_ie8(x, y, static_cast<Byte>(x * 80 + y * 5));
  alpha->SetFull(false);
  const TRGB under{50, 100, 150};
  for (const int transparency : {255, 90}) {
    auto bmp = Target(8, 6, under);
    Render(*store, *bmp, 0, 0, 8, 6, 0, 0, 4, 3, rfNone, false, transparency, true);
    for (int y = 0; y < 6; ++y)
      for (int x = 0; x < 8; ++x) {
        const TRGB s = store->GetPixels_ie24RGB(x / 2, y / 2);
        const int h = std::min<int>(transparency, alpha->GetPixels_ie8(x / 2, y / 2));
        auto blend = [&](int d, int v) {
          return static_cast<Byte>(d + static_cast<int>(std::floor((v - d) * h / 256.0)));
        };
        EXPECT_EQ(At(*bmp, x, y),
                  (TRGB{blend(under.b, s.b), blend(under.g, s.g), blend(under.r, s.r)}))
            << x << ", " << y << " transparency " << transparency;
      }
  }
  // A plane known to be full is not consulted: the picture is drawn opaque.
  alpha->SetFull(true);
  auto bmp = Target(4, 3, under);
  Render(*store, *bmp, 0, 0, 4, 3, 0, 0, 4, 3, rfNone, false, 255, true);
  EXPECT_EQ(At(*bmp, 0, 0), store->GetPixels_ie24RGB(0, 0));
}

TEST(IERender, OneBitStoresDrawWhiteAndBlack) {
  auto store = std::make_unique<TIEBitmap>();
  store->Allocate(9, 2, ie1g);
  for (int x = 0; x < 9; x += 2) store->SetPixels_ie1g(x, 1, true);
  auto bmp = Target(9, 2);
  Render(*store, *bmp, 0, 0, 9, 2, 0, 0, 9, 2);
  for (int x = 0; x < 9; ++x) {
    EXPECT_EQ(At(*bmp, x, 0), (TRGB{0, 0, 0}));
    EXPECT_EQ(At(*bmp, x, 1), x % 2 == 0 ? (TRGB{255, 255, 255}) : (TRGB{0, 0, 0}));
  }
  auto blended = Target(9, 2, TRGB{100, 100, 100});
  Render(*store, *blended, 0, 0, 9, 2, 0, 0, 9, 2, rfNone, false, 64);
  EXPECT_EQ(At(*blended, 0, 1), (TRGB{138, 138, 138}));  // 100 + floor(155 x 64 / 256)
  EXPECT_EQ(At(*blended, 1, 1), (TRGB{75, 75, 75}));     // 100 + floor(-100 x 64 / 256)
}

// Grey and palette stores are drawn in their colours, not read as 24-bit rows.
TEST(IERender, GreyAndPaletteStoresDrawTheirColours) {
  auto grey = std::make_unique<TIEBitmap>();
  grey->Allocate(3, 2, ie8g);
  grey->SetPixels_ie8(2, 1, 77);
  auto bmp = Target(6, 4);
  Render(*grey, *bmp, 0, 0, 6, 4, 0, 0, 3, 2);
  EXPECT_EQ(At(*bmp, 5, 3), (TRGB{77, 77, 77}));
  EXPECT_EQ(At(*bmp, 0, 0), (TRGB{0, 0, 0}));

  auto pal = std::make_unique<TIEBitmap>();
  pal->Allocate(2, 2, ie8p);
  pal->SetPalette(9, TRGB{1, 2, 3});
  pal->SetPixels_ie8(1, 0, 9);
  auto p = Target(2, 2);
  Render(*pal, *p, 0, 0, 2, 2, 0, 0, 2, 2);
  EXPECT_EQ(At(*p, 1, 0), (TRGB{1, 2, 3}));
}

TEST(IERender, EmptyOrUnsuitableTargetsDrawNothing) {
  auto store = Store24(4, 4);
  auto bmp = Target(4, 4);
  Render(*store, *bmp, 0, 0, 0, 4, 0, 0, 4, 4);
  Render(*store, *bmp, 0, 0, 4, 4, 0, 0, 0, 4, rfBicubic);
  Render(*store, *bmp, 0, 0, 4, 0, 0, 0, 4, 4, rfFastLinear);
  ExpectZoomed(*bmp, *store, 0, 0, 0, 0, 0, 0, 4, 4);
  TBitmap eight;
  eight.SetPixelFormat(pf8bit);
  eight.SetSize(4, 4);
  store->RenderToTBitmap(&eight, nullptr, nullptr, nullptr, nullptr, 0, 0, 4, 4, 0, 0, 4, 4, false,
                         false, 255, rfNone);
  EXPECT_EQ(static_cast<Byte*>(eight.ScanLine(0))[0], 0);
}

// ---------------------------------------------------------------------------
// Resampling path

// The rectangle is resampled by the filter's worker, then drawn 1:1.
TEST(IERender, FilterResamplesTheRectangleFirst) {
  for (const auto filter : {rfFastLinear, rfBilinear, rfBicubic, rfLanczos3}) {
    SCOPED_TRACE(static_cast<int>(filter));
    auto store = Store24(10, 8);
    TIEBitmap crop;
    crop.Allocate(6, 5, ie24RGB);
    store->CopyRectTo(&crop, 2, 1, 0, 0, 6, 5);
    TIEBitmap expected;
    expected.Allocate(9, 11, ie24RGB);
    _ResampleEx(&crop, &expected, filter);

    auto bmp = Target(14, 14);
    Render(*store, *bmp, -2, 4, 9, 11, 2, 1, 6, 5, filter);
    for (int y = 0; y < 14; ++y)
      for (int x = 0; x < 14; ++x) {
        const bool inside = x < 7 && y >= 4 && y < 14;
        EXPECT_EQ(At(*bmp, x, y), inside ? expected.GetPixels_ie24RGB(x + 2, y - 4) : kSentinel)
            << x << ", " << y;
      }
  }
}

// A 1-bit image shrunk with a filter and without alpha is drawn in grey levels.
TEST(IERender, OneBitShrinkDrawsGrey) {
  auto store = std::make_unique<TIEBitmap>();
  store->Allocate(8, 8, ie1g);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) store->SetPixels_ie1g(x, y, (x + y) % 2 == 0);
  auto bmp = Target(4, 4);
  Render(*store, *bmp, 0, 0, 4, 4, 0, 0, 8, 8, rfBilinear);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) {
      const TRGB p = At(*bmp, x, y);
      EXPECT_EQ(p.r, p.g);
      EXPECT_GT(p.r, 60) << "not black";
      EXPECT_LT(p.r, 200) << "not white";
    }
}

TEST(IERender, FilterKeepsAlphaBlending) {
  auto store = std::make_unique<TIEBitmap>();
  store->Allocate(4, 4, ie24RGB);
  store->Fill(0xFFFFFF);
  TIEBitmap* alpha = store->GetAlphaChannel();
  alpha->Fill(0);  // fully transparent
  auto bmp = Target(8, 8, TRGB{40, 50, 60});
  Render(*store, *bmp, 0, 0, 8, 8, 0, 0, 4, 4, rfBilinear, false, 255, true);
  EXPECT_EQ(At(*bmp, 3, 3), (TRGB{40, 50, 60}));
  // Without useAlpha the same picture covers the destination.
  Render(*store, *bmp, 0, 0, 8, 8, 0, 0, 4, 4, rfBilinear);
  EXPECT_EQ(At(*bmp, 3, 3), (TRGB{255, 255, 255}));
}

// ---------------------------------------------------------------------------
// RenderToCanvas

namespace {

std::unique_ptr<TBitmap> CanvasTarget(int w, int h) { return Target(w, h); }

}  // namespace

TEST(IERender, CanvasNearestStretchInBands) {
  for (const DWORD limit : {DWORD{0x7FFFFFFF}, DWORD{3 * 24}, DWORD{0}}) {
    SCOPED_TRACE(limit);
    auto store = Store24(5, 4);
    store->SetMemoryLimit(limit);  // 24 bytes per band row of 8 pixels: bands of 3 rows, or 1
    auto bmp = CanvasTarget(12, 12);
    store->RenderToCanvas(bmp->GetCanvas(), 2, 1, 8, 10, rfNone, 1.0);
    for (int y = 0; y < 12; ++y)
      for (int x = 0; x < 12; ++x) {
        const bool inside = x >= 2 && x < 10 && y >= 1 && y < 11;
        const TRGB expected =
            inside ? store->GetPixels_ie24RGB((x - 2) * 5 / 8, (y - 1) * 4 / 10) : kSentinel;
        EXPECT_EQ(At(*bmp, x, y), expected) << x << ", " << y;
      }
  }
}

TEST(IERender, CanvasGammaTable) {
  auto store = std::make_unique<TIEBitmap>();
  store->Allocate(3, 1, ie24RGB);
  store->SetPixels_ie24RGB(0, 0, TRGB{0, 64, 255});
  store->SetPixels_ie24RGB(1, 0, TRGB{128, 200, 1});
  for (const double gamma : {2.0, 0.5, 1.0, 0.0}) {
    SCOPED_TRACE(gamma);
    auto bmp = CanvasTarget(3, 1);
    store->RenderToCanvas(bmp->GetCanvas(), 0, 0, 3, 1, rfNone, gamma);
    auto g = [&](int v) {
      if (gamma <= 0 || gamma == 1) return static_cast<Byte>(v);
      return static_cast<Byte>(
          std::clamp<long>(std::lround(255 * std::pow(v / 255.0, 1 / gamma)), 0, 255));
    };
    EXPECT_EQ(At(*bmp, 0, 0), (TRGB{g(0), g(64), g(255)}));
    EXPECT_EQ(At(*bmp, 1, 0), (TRGB{g(128), g(200), g(1)}));
  }
}

TEST(IERender, CanvasOneBitAndFilters) {
  auto bits = std::make_unique<TIEBitmap>();
  bits->Allocate(2, 1, ie1g);
  bits->SetPixels_ie1g(1, 0, true);
  auto bmp = CanvasTarget(4, 2);
  bits->RenderToCanvas(bmp->GetCanvas(), 0, 0, 4, 2, rfNone, 2.0);
  EXPECT_EQ(At(*bmp, 0, 1), (TRGB{0, 0, 0}));
  EXPECT_EQ(At(*bmp, 3, 1), (TRGB{255, 255, 255}));

  // With a filter the picture is the filter's resampling of the whole store.
  auto store = Store24(6, 5);
  TIEBitmap expected;
  expected.Allocate(9, 7, ie24RGB);
  _ResampleEx(store.get(), &expected, rfBicubic);
  auto drawn = CanvasTarget(9, 7);
  store->RenderToCanvas(drawn->GetCanvas(), 0, 0, 9, 7, rfBicubic, 0);
  for (int y = 0; y < 7; ++y)
    for (int x = 0; x < 9; ++x) EXPECT_EQ(At(*drawn, x, y), expected.GetPixels_ie24RGB(x, y));

  // Nothing for an empty destination size.
  auto untouched = CanvasTarget(2, 2);
  store->RenderToCanvas(untouched->GetCanvas(), 0, 0, 0, 2, rfNone, 1);
  store->RenderToCanvas(untouched->GetCanvas(), 0, 0, 2, 0, rfBicubic, 1);
  EXPECT_EQ(At(*untouched, 0, 0), kSentinel);
}

// A file-backed store with an alpha plane draws like one in memory.
TEST(IERender, FileStorageDrawsLikeMemory) {
  auto memory = Store24(6, 5);
  auto file = std::make_unique<TIEBitmap>();
  file->SetMemoryLimit(0);
  file->Allocate(6, 5, ie24RGB);
  ASSERT_EQ(file->GetLocation(), ieFile);
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 6; ++x) {
      file->SetPixels_ie24RGB(x, y, memory->GetPixels_ie24RGB(x, y));
      const auto a = static_cast<Byte>(40 * x + y);
      memory->SetAlpha(x, y, a);
      file->SetAlpha(x, y, a);
    }
  auto a = Target(13, 11, TRGB{90, 80, 70}), b = Target(13, 11, TRGB{90, 80, 70});
  Render(*memory, *a, -1, 1, 13, 11, 0, 0, 6, 5, rfNone, true, 200, true);
  Render(*file, *b, -1, 1, 13, 11, 0, 0, 6, 5, rfNone, true, 200, true);
  for (int y = 0; y < 11; ++y) EXPECT_EQ(std::memcmp(a->ScanLine(y), b->ScanLine(y), 39), 0) << y;
  EXPECT_FALSE(At(*a, 5, 5) == (TRGB{90, 80, 70}));
}
