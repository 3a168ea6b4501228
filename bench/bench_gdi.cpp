// GDI throughput on a 24-bit 4000 x 3000 picture: shrinking to half size with
// StretchDIBits and StretchBlt in the nearest and averaging modes, and a 1:1 BitBlt.
// Reported in megapixels of destination per second.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "platform/win/Gdi.h"

namespace {

constexpr int kWidth = 4000;
constexpr int kHeight = 3000;

BITMAPINFO Header24(int w, int h) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = w;
  info.bmiHeader.biHeight = h;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  return info;
}

// A memory DC holding a 24-bit DIB section filled with a gradient.
struct Surface24 {
  HDC Dc = 0;
  HBITMAP Bmp = 0;
  HGDIOBJ Old = 0;
  uint8_t* Bits = nullptr;
  Surface24(int w, int h) {
    BITMAPINFO info = Header24(w, h);
    void* bits = nullptr;
    Dc = CreateCompatibleDC(0);
    Bmp = CreateDIBSection(Dc, &info, DIB_RGB_COLORS, &bits, 0, 0);
    Old = SelectObject(Dc, Bmp);
    Bits = static_cast<uint8_t*>(bits);
    size_t stride = (static_cast<size_t>(w) * 3 + 3) & ~size_t{3};
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        uint8_t* p = Bits + y * stride + 3 * x;
        p[0] = static_cast<uint8_t>(x);
        p[1] = static_cast<uint8_t>(y);
        p[2] = static_cast<uint8_t>(x + y);
      }
  }
  ~Surface24() {
    SelectObject(Dc, Old);
    DeleteObject(Bmp);
    DeleteDC(Dc);
  }
};

void Rate(benchmark::State& state, int64_t pixels) {
  state.counters["MPix/s"] = benchmark::Counter(static_cast<double>(pixels) * static_cast<double>(state.iterations()) / 1e6,
                                                benchmark::Counter::kIsRate);
}

void BM_StretchDIBitsHalf(benchmark::State& state) {
  static Surface24 src(kWidth, kHeight);
  Surface24 dst(kWidth / 2, kHeight / 2);
  BITMAPINFO info = Header24(kWidth, kHeight);
  SetStretchBltMode(dst.Dc, static_cast<int>(state.range(0)));
  for (auto _ : state) {
    StretchDIBits(dst.Dc, 0, 0, kWidth / 2, kHeight / 2, 0, 0, kWidth, kHeight, src.Bits, &info, DIB_RGB_COLORS,
                  SRCCOPY);
    benchmark::DoNotOptimize(dst.Bits[0]);
  }
  Rate(state, int64_t{kWidth / 2} * (kHeight / 2));
}
BENCHMARK(BM_StretchDIBitsHalf)->Arg(COLORONCOLOR)->Arg(HALFTONE)->Unit(benchmark::kMillisecond);

void BM_StretchBltHalf(benchmark::State& state) {
  static Surface24 src(kWidth, kHeight);
  Surface24 dst(kWidth / 2, kHeight / 2);
  SetStretchBltMode(dst.Dc, static_cast<int>(state.range(0)));
  for (auto _ : state) {
    StretchBlt(dst.Dc, 0, 0, kWidth / 2, kHeight / 2, src.Dc, 0, 0, kWidth, kHeight, SRCCOPY);
    benchmark::DoNotOptimize(dst.Bits[0]);
  }
  Rate(state, int64_t{kWidth / 2} * (kHeight / 2));
}
BENCHMARK(BM_StretchBltHalf)->Arg(COLORONCOLOR)->Arg(HALFTONE)->Unit(benchmark::kMillisecond);

void BM_BitBltOneToOne(benchmark::State& state) {
  static Surface24 src(kWidth, kHeight);
  static Surface24 dst(kWidth, kHeight);
  const DWORD rop = static_cast<DWORD>(state.range(0));
  for (auto _ : state) {
    BitBlt(dst.Dc, 0, 0, kWidth, kHeight, src.Dc, 0, 0, rop);
    benchmark::DoNotOptimize(dst.Bits[0]);
  }
  Rate(state, int64_t{kWidth} * kHeight);
}
BENCHMARK(BM_BitBltOneToOne)->Arg(SRCCOPY)->Arg(SRCINVERT)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
