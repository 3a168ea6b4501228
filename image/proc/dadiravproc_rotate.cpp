// Free rotation: the three-shear engine, the interpolating inverse mapping and the
// nearest-pixel inverse mapping of 1-bit and 8-bit stores.
#include <cmath>
#include <cstring>
#include <new>
#include <numbers>
#include <vector>

#include "image/model/iebitmap.h"
#include "image/proc/dadiravproc.h"
#include "image/proc/dadiravproc_internal.h"
#include "platform/rtl/Math.h"

using namespace dadiravproc_detail;

namespace {

constexpr double kPi = std::numbers::pi;

// Round half to even of x / 4096 for an integer x, exactly.
inline Integer RoundDiv4096(Int64 x) {
  Int64 q = x >= 0 ? x / 4096 : -((-x + 4095) / 4096);  // floor
  const Int64 r = x - q * 4096;
  if (r > 2048 || (r == 2048 && (q & 1) != 0)) ++q;
  return static_cast<Integer>(q < -1000000 ? -1000000 : (q > 1000000 ? 1000000 : q));
}

// One channel of the edge blend: clamp(round((prev f + cur (4096 - f) + 2048) / 4096)).
inline Byte Blend(Byte prev, Byte cur, Integer f) {
  const Int64 x = static_cast<Int64>(prev) * f + static_cast<Int64>(cur) * (4096 - f) + 2048;
  return static_cast<Byte>(blimit(RoundDiv4096(x)));
}

template <int N>
inline void BlendPixel(Byte* dest, const Byte* prev, const Byte* cur, Integer f) {
  for (int c = 0; c < N; ++c) dest[c] = Blend(prev[c], cur[c], f);
}

template <int N>
inline void CopyPx(Byte* dest, const Byte* src) {
  for (int c = 0; c < N; ++c) dest[c] = src[c];
}

template <int N>
void FillRow(Byte* row, Integer count, const Byte* bg) {
  for (Integer i = 0; i < count; ++i) CopyPx<N>(row + static_cast<size_t>(i) * N, bg);
}

inline void ReportShear(const TIEProgressEvent& onProgress, TObject* sender, Integer n,
                        Integer total) {
  if (!onProgress || total <= 0) return;
  const Integer per = static_cast<Integer>(static_cast<Int64>(n) * 100 / total);
  onProgress(sender, per < 0 ? 0 : (per > 100 ? 100 : per));
}

// Lays n source pixels (stride srcStep pixels) along a line of the destination
// (length destLen, stride destStep pixels) from position start, blending with the
// weight f when antialias is on, and the trailing cell when f > 0.
template <int N>
void LayLine(const Byte* src, ptrdiff_t srcStep, Integer n, Byte* dest, ptrdiff_t destStep,
             Integer destLen, Integer start, Integer f, bool antialias, const Byte* bg) {
  const Byte* prev = bg;
  for (Integer i = 0; i < n; ++i) {
    const Byte* cur = src + i * srcStep * N;
    const Integer pos = start + i;
    if (pos >= 0 && pos < destLen) {
      Byte* d = dest + pos * destStep * N;
      if (antialias)
        BlendPixel<N>(d, prev, cur, f);
      else
        CopyPx<N>(d, cur);
    }
    prev = cur;
  }
  const Integer after = start + n;
  if (antialias && f > 0 && n > 0 && after >= 0 && after < destLen)
    BlendPixel<N>(dest + after * destStep * N, prev, bg, f);
}

bool IsOneByte(TIEPixelFormat f) { return f == ie8g || f == ie8p; }

// The three-shear rotation of an ie24RGB (N = 3) or one-byte (N = 1) store.
template <int N>
void ShearRotate(TIEBitmap* bitmap, double angle, bool antialias, const Byte* bg,
                 const TIEProgressEvent& onProgress, TObject* sender) {
  void (*turnCcw)(const TIEBitmap*, TIEBitmap*) = N == 3 ? _Rot90Ex : _Rot90Ex8;
  void (*turnCw)(const TIEBitmap*, TIEBitmap*) = N == 3 ? _Rot90oEx : _Rot90oEx8;

  const double a = std::fmod(std::trunc(angle * 1000), 360000.0);
  double c = a / 1000;

  // Whole quarter turns first, exactly; the shear then stays within 45 degrees.
  TIEBitmap work;
  TIEBitmap* src = bitmap;
  while (c > 45) {
    turnCcw(src, &work);
    src = &work;
    c -= 90;
  }
  while (c < -45) {
    turnCw(src, &work);
    src = &work;
    c += 90;
  }
  if (c == 0) {
    if (src == &work) bitmap->AssignImage(&work);
    return;
  }
  if (!HasPixels(src)) return;

  const Integer W0 = src->GetWidth();
  const Integer H0 = src->GetHeight();
  const double th = c * kPi / 180;
  const double t = std::fabs(std::sin(th / 2) / std::cos(th / 2));
  const double s = std::fabs(std::sin(th));
  const auto W1 = static_cast<Integer>(Round(H0 * t + W0 + 1));
  const auto g = static_cast<Integer>(Round((W1 - W0) * s));
  const auto H2a = static_cast<Integer>(Round(s * W1 + H0 + 1));
  const auto o = static_cast<Integer>(Round(t * (H2a - H0 - g)));
  const Integer H2 = H2a - 2 * g;
  const auto W3 = static_cast<Integer>(Round(t * H2 + W1 + 1 - 2 * o));
  if (W1 < 1 || H2 < 1 || W3 < 1) return;
  const Integer total = H0 + W1 + H2;

  std::vector<Byte> pass1, pass2;
  try {
    pass1.resize(static_cast<size_t>(W1) * static_cast<size_t>(H0) * N);
    pass2.resize(static_cast<size_t>(W1) * static_cast<size_t>(H2) * N);
  } catch (const std::bad_alloc&) {
    return;  // too large to turn: the image stays as it was
  }
  const size_t stride = static_cast<size_t>(W1) * N;

  // Pass 1: rows shifted horizontally into W1 x H0.
  for (Integer y = 0; y < H0; ++y) {
    const double k = th > 0 ? y * t : (H0 - y) * t;
    const auto start = static_cast<Integer>(Round(k));
    const auto f = static_cast<Integer>(std::trunc((k - static_cast<double>(start)) * 4096));
    Byte* row = pass1.data() + static_cast<size_t>(y) * stride;
    FillRow<N>(row, W1, bg);
    LayLine<N>(static_cast<const Byte*>(src->GetScanLine(y)), 1, W0, row, 1, W1, start, f,
               antialias, bg);
    ReportShear(onProgress, sender, y, total);
  }

  // Pass 2: columns shifted vertically into W1 x H2.
  for (Integer y = 0; y < H2; ++y)
    FillRow<N>(pass2.data() + static_cast<size_t>(y) * stride, W1, bg);
  for (Integer x = 0; x < W1; ++x) {
    const double k = th > 0 ? (W1 - x) * s : x * s;
    const Int64 rk = Round(k);
    const auto start = static_cast<Integer>(rk - g);
    const auto f = static_cast<Integer>(Round((k - static_cast<double>(rk)) * 4096));
    LayLine<N>(pass1.data() + static_cast<size_t>(x) * N, W1, H0,
               pass2.data() + static_cast<size_t>(x) * N, W1, H2, start, f, antialias, bg);
    ReportShear(onProgress, sender, H0 + x, total);
  }

  // Pass 3: rows shifted horizontally into the image, W3 x H2.
  std::unique_ptr<TRGB[]> palette;
  const Integer paletteCount = bitmap->GetPaletteCount();
  if (paletteCount > 0 && bitmap->GetPaletteBuffer() != nullptr) {
    palette = std::make_unique<TRGB[]>(static_cast<size_t>(paletteCount));
    std::memcpy(palette.get(), bitmap->GetPaletteBuffer(),
                sizeof(TRGB) * static_cast<size_t>(paletteCount));
  }
  const TIEPixelFormat format = src->GetPixelFormat();
  bitmap->Allocate(W3, H2, format);
  if (bitmap->GetWidth() != W3 || bitmap->GetHeight() != H2) return;
  if (palette)
    for (Integer i = 0; i < paletteCount; ++i)
      bitmap->SetPalette(i, palette[static_cast<size_t>(i)]);
  for (Integer y = 0; y < H2; ++y) {
    const double k = th > 0 ? y * t : (H2 - y) * t;
    const Int64 rk = Round(k);
    const auto start = static_cast<Integer>(rk - o);
    const auto f = static_cast<Integer>(Round((k - static_cast<double>(rk)) * 4096));
    Byte* row = static_cast<Byte*>(bitmap->GetScanLine(y));
    FillRow<N>(row, W3, bg);
    LayLine<N>(pass2.data() + static_cast<size_t>(y) * stride, 1, W1, row, 1, W3, start, f,
               antialias, bg);
    ReportShear(onProgress, sender, H0 + W1 + y, total);
  }
  bitmap->UpdateTBitmapPalette();
}

Byte NearestPaletteIndex(TIEBitmap* bitmap, TRGB color) {
  Integer best = 0;
  Integer bestDist = 1 << 30;
  for (Integer i = 0; i < bitmap->GetPaletteCount(); ++i) {
    const TRGB p = bitmap->GetPalette(i);
    const Integer d = (p.r - color.r) * (p.r - color.r) + (p.g - color.g) * (p.g - color.g) +
                      (p.b - color.b) * (p.b - color.b);
    if (d < bestDist) {
      bestDist = d;
      best = i;
    }
  }
  return static_cast<Byte>(best);
}

// The interpolating inverse mapping of an ie24RGB (N = 3) or one-byte (N = 1) store.
template <int N>
void InterpolatingRotate(TIEBitmap* bitmap, double angle, Integer bgValue, const Byte* bg,
                         TIEAntialiasMode mode, const TIEProgressEvent& onProgress,
                         TObject* sender) {
  const Integer w = bitmap->GetWidth();
  const Integer h = bitmap->GetHeight();
  // A 3-pixel border of background around the picture.
  bitmap->Resize(w + 6, h + 6, bgValue, 255, iehLeft, ievTop);
  const Integer W = bitmap->GetWidth();
  const Integer H = bitmap->GetHeight();
  if (W != w + 6 || H != h + 6) return;
  bitmap->MoveRegion(0, 0, W - 4, H - 4, 3, 3, bgValue);

  const double th = angle * kPi / 180;
  const double sn = std::sin(th);
  const double cs = std::cos(th);
  const auto W2 = static_cast<Integer>(Round(std::fabs(sn * (H - 1)) + std::fabs(cs * (W - 1))));
  const auto H2 = static_cast<Integer>(Round(std::fabs(cs * (H - 1)) + std::fabs(sn * (W - 1))));

  // The enlarged source as one top-down block (every row is needed at random).
  std::vector<Byte> pixels;
  try {
    pixels.resize(static_cast<size_t>(W) * static_cast<size_t>(H) * N);
  } catch (const std::bad_alloc&) {
    return;
  }
  const size_t stride = static_cast<size_t>(W) * N;
  for (Integer y = 0; y < H; ++y)
    std::memcpy(pixels.data() + static_cast<size_t>(y) * stride, bitmap->GetScanLine(y), stride);
  auto sample = [&](Integer x, Integer y) -> const Byte* {
    if (x < 0 || y < 0 || x >= W || y >= H) return bg;
    return pixels.data() + static_cast<size_t>(y) * stride + static_cast<size_t>(x) * N;
  };

  TIEBitmap result;
  result.Allocate(W2, H2, bitmap->GetPixelFormat());
  if (result.GetWidth() != W2 || result.GetHeight() != H2) return;
  for (Integer i = 0; i < bitmap->GetPaletteCount(); ++i)
    result.SetPalette(i, bitmap->GetPalette(i));

  const double cx = (W - 1) / 2.0;
  const double cy = (H - 1) / 2.0;
  const double dx0 = (W2 - 1) / 2.0;
  const double dy0 = (H2 - 1) / 2.0;
  std::vector<double> colX(static_cast<size_t>(W2)), colY(static_cast<size_t>(W2));
  for (Integer i = 0; i < W2; ++i) {
    colX[static_cast<size_t>(i)] = cx + (i - dx0) * cs;
    colY[static_cast<size_t>(i)] = cy + (i - dx0) * sn;
  }
  for (Integer j = 0; j < H2; ++j) {
    Byte* out = static_cast<Byte*>(result.GetScanLine(j));
    const double rowX = -(j - dy0) * sn;
    const double rowY = (j - dy0) * cs;
    for (Integer i = 0; i < W2; ++i, out += N) {
      const double x = colX[static_cast<size_t>(i)] + rowX;
      const double y = colY[static_cast<size_t>(i)] + rowY;
      const auto x0 = static_cast<Integer>(std::trunc(x));
      const auto y0 = static_cast<Integer>(std::trunc(y));
      if (mode == ierBicubic) {
        double wx[4], wy[4];
        auto weights = [](double f, double* wt) {
          wt[0] = -f * (1 - f) * (1 - f);
          wt[1] = 1 - 2 * f * f + f * f * f;
          wt[2] = f + f * f - f * f * f;
          wt[3] = f * f * f - f * f;
        };
        weights(x - x0, wx);
        weights(y - y0, wy);
        for (int ch = 0; ch < N; ++ch) {
          double sum = 0;
          for (int n = 0; n < 4; ++n) {
            double rowSum = 0;
            for (int m = 0; m < 4; ++m) rowSum += wx[m] * sample(x0 - 1 + m, y0 - 1 + n)[ch];
            sum += wy[n] * rowSum;
          }
          const double v = std::fabs(std::trunc(sum));
          out[ch] = static_cast<Byte>(v > 255 ? 255 : v);
        }
      } else {
        const double fx = x - std::floor(x);
        const double fy = y - std::floor(y);
        const Byte* pa = sample(x0, y0);
        const Byte* pb = sample(x0 + 1, y0);
        const Byte* pc = sample(x0, y0 + 1);
        const Byte* pd = sample(x0 + 1, y0 + 1);
        for (int ch = 0; ch < N; ++ch) {
          const double top = pa[ch] + (pb[ch] - pa[ch]) * fx;
          const double bottom = pc[ch] + (pd[ch] - pc[ch]) * fx;
          out[ch] = static_cast<Byte>(
              blimit(static_cast<Integer>(std::trunc(top + (bottom - top) * fy))));
        }
      }
    }
    if (onProgress) {
      const Integer per = static_cast<Integer>(static_cast<Int64>(j) * 100 / H2);
      onProgress(sender, per > 100 ? 100 : per);
    }
  }

  bitmap->AssignImage(&result);
  bitmap->MoveRegion(3, 3, W2 - 4, H2 - 4, 0, 0, bgValue);
  bitmap->Resize(std::max(W2 - 6, 0), std::max(H2 - 6, 0), bgValue, 255, iehLeft, ievTop);
}

// A whole number of degrees whose remainder by 360 is 90, 180 or 270: that many
// degrees (0 otherwise).
Integer ExactTurn(double angle) {
  if (!std::isfinite(angle) || angle != std::trunc(angle)) return 0;
  double r = std::fmod(angle, 360.0);
  if (r < 0) r += 360;
  return r == 90 ? 90 : (r == 180 ? 180 : (r == 270 ? 270 : 0));
}

// The nearest-pixel rotation of an ie1g (oneBit) or one-byte store. bgValue: the
// background bit or byte.
void NearestRotate(TIEBitmap* bitmap, double angle, Integer bgValue, bool oneBit,
                   TProgressRec* progress) {
  const Integer w = bitmap->GetWidth();
  const Integer h = bitmap->GetHeight();
  if (const Integer turn = ExactTurn(angle); turn != 0) {
    TIEBitmap result;
    if (turn == 90) {
      _Rot90Ex(bitmap, &result);
    } else if (turn == 270) {
      _Rot90oEx(bitmap, &result);
    } else {
      _Rot90Ex(bitmap, &result);
      _Rot90Ex(&result, &result);
    }
    if (HasPixels(&result)) bitmap->AssignImage(&result);
    return;
  }

  const double b = -angle / 57.295779513082320877;
  const double C = std::trunc(std::cos(b) * 10000) / 10000;
  const double S = std::trunc(std::sin(b) * 10000) / 10000;
  const double W2d = std::trunc(std::fabs(w * C) + std::fabs(h * S));
  const double H2d = std::trunc(std::fabs(w * S) + std::fabs(C * h));
  if (W2d < 1 || H2d < 1 || W2d > 2147483647.0 || H2d > 2147483647.0) return;
  const auto W2 = static_cast<Integer>(W2d);
  const auto H2 = static_cast<Integer>(H2d);

  const size_t rowLen = static_cast<size_t>(bitmap->GetRowLen());
  std::vector<Byte> pixels;
  try {
    pixels.resize(rowLen * static_cast<size_t>(h));
  } catch (const std::bad_alloc&) {
    return;
  }
  for (Integer y = 0; y < h; ++y)
    std::memcpy(pixels.data() + static_cast<size_t>(y) * rowLen, bitmap->GetScanLine(y), rowLen);

  TIEBitmap result;
  result.SetLocation(ieMemory);
  result.Allocate(W2, H2, bitmap->GetPixelFormat());
  if (result.GetWidth() != W2 || result.GetHeight() != H2) return;
  for (Integer i = 0; i < bitmap->GetPaletteCount(); ++i)
    result.SetPalette(i, bitmap->GetPalette(i));

  std::vector<Integer> px(static_cast<size_t>(W2)), py(static_cast<size_t>(W2));
  for (Integer i = 0; i < W2; ++i) {
    const double o = i - (W2 / 2.0 - 0.5);
    px[static_cast<size_t>(i)] = static_cast<Integer>(std::trunc(C * o));
    py[static_cast<size_t>(i)] = static_cast<Integer>(std::trunc(-S * o));
  }
  if (progress != nullptr) progress->per1 = 100.0 / H2;
  for (Integer j = 0; j < H2; ++j) {
    const double t = j - (H2 / 2.0 - 0.5);
    const auto u = static_cast<Integer>(std::trunc((w / 2.0 - 0.5) + S * t));
    const auto v = static_cast<Integer>(std::trunc((h / 2.0 - 0.5) + C * t));
    Byte* out = static_cast<Byte*>(result.GetScanLine(j));
    for (Integer i = 0; i < W2; ++i) {
      const Integer sx = u + px[static_cast<size_t>(i)];
      const Integer sy = v + py[static_cast<size_t>(i)];
      const bool inside = sx >= 0 && sy >= 0 && sx < w && sy < h;
      const Byte* srow = inside ? pixels.data() + static_cast<size_t>(sy) * rowLen : nullptr;
      if (oneBit) {
        const Integer bit = inside ? _GetPixelbw(srow, sx) : bgValue;
        if (bit != 0) _SetPixelbw(out, i, 1);
      } else {
        out[i] = inside ? srow[sx] : static_cast<Byte>(bgValue);
      }
    }
    if (progress != nullptr && progress->OnProgress)
      progress->Report(static_cast<Integer>(static_cast<Int64>(j) * 100 / H2));
  }
  bitmap->AssignImage(&result);
}

}  // namespace

void _RotateEx(TIEBitmap* bitmap, double angle, bool antialias, TRGB background,
               const TIEProgressEvent& onProgress, TObject* sender) {
  if (angle == 0 || !std::isfinite(angle) || !HasPixels(bitmap)) return;
  switch (bitmap->GetPixelFormat()) {
    case ie24RGB: {
      const Byte bg[3] = {background.b, background.g, background.r};
      ShearRotate<3>(bitmap, angle, antialias, bg, onProgress, sender);
      return;
    }
    case ie1g: {
      TProgressRec progress;
      progress.OnProgress = onProgress;
      progress.Sender = sender;
      const bool white = background.r != 0 && background.g != 0 && background.b != 0;
      _rotate1bitEx(bitmap, angle, white ? 1 : 0, progress);
      return;
    }
    case ie8g:
      _RotateEx8(bitmap, angle, antialias, _RGBToGray(background), onProgress, sender);
      return;
    case ie8p:
      _RotateEx8(bitmap, angle, antialias, NearestPaletteIndex(bitmap, background), onProgress,
                 sender);
      return;
    case ie16g: {
      // Turned as colour and brought back to 16-bit grey.
      bitmap->ConvertToPixelFormat(ie24RGB);
      if (bitmap->GetPixelFormat() != ie24RGB) return;
      const Byte bg[3] = {background.b, background.g, background.r};
      ShearRotate<3>(bitmap, angle, antialias, bg, onProgress, sender);
      bitmap->ConvertToPixelFormat(ie16g);
      return;
    }
    default: return;
  }
}

void _RotateEx8(TIEBitmap* bitmap, double angle, bool antialias, Integer background,
                const TIEProgressEvent& onProgress, TObject* sender) {
  if (angle == 0 || !std::isfinite(angle) || !HasPixels(bitmap) ||
      !IsOneByte(bitmap->GetPixelFormat()))
    return;
  const Byte bg[1] = {static_cast<Byte>(background)};
  ShearRotate<1>(bitmap, angle, antialias, bg, onProgress, sender);
}

void _IEQRotate(TIEBitmap* bitmap, double angle, TColor background, TIEAntialiasMode mode,
                const TIEProgressEvent& onProgress, TObject* sender) {
  if (!std::isfinite(angle) || !HasPixels(bitmap) || bitmap->GetPixelFormat() != ie24RGB) return;
  const TRGB c = TColor2TRGB(background);
  const Byte bg[3] = {c.b, c.g, c.r};
  InterpolatingRotate<3>(bitmap, angle, static_cast<Integer>(TRGB2TColor(c)), bg, mode, onProgress,
                         sender);
}

void _IEQRotate8(TIEBitmap* bitmap, double angle, Integer background, TIEAntialiasMode mode) {
  if (!std::isfinite(angle) || !HasPixels(bitmap) || !IsOneByte(bitmap->GetPixelFormat())) return;
  const Byte bg[1] = {static_cast<Byte>(background)};
  InterpolatingRotate<1>(bitmap, angle, bg[0], bg, mode, TIEProgressEvent(), nullptr);
}

void _rotate1bitEx(TIEBitmap* bitmap, double angle, Integer background, TProgressRec& progress) {
  if (!std::isfinite(angle) || !HasPixels(bitmap)) return;
  if (bitmap->GetPixelFormat() != ie1g) {
    bitmap->ConvertToPixelFormat(ie1g);
    if (bitmap->GetPixelFormat() != ie1g) return;
  }
  NearestRotate(bitmap, angle, background != 0 ? 1 : 0, true, &progress);
}

void _rotate1bit(TBitmap* bitmap, double angle, Integer background, TProgressRec& progress) {
  if (bitmap == nullptr || bitmap->GetPixelFormat() != pf1bit) return;
  TIEBitmap store;
  store.EncapsulateTBitmap(bitmap, true);
  _rotate1bitEx(&store, angle, background, progress);
}

void _rotate8bit(TIEBitmap* bitmap, double angle, Integer background) {
  if (!std::isfinite(angle) || !HasPixels(bitmap) || !IsOneByte(bitmap->GetPixelFormat())) return;
  NearestRotate(bitmap, angle, background & 0xFF, false, nullptr);
}
