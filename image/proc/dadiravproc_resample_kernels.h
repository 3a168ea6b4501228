// Resampling kernels and the passes shared by every resampler of unit dadiravproc:
// the pixel-store, mask and framework-bitmap workers all run these templates over
// row accessors of their own. Not part of the unit's interface.
//
// Row accessors used by the drivers:
//   src(y)      -> const Byte*  source row y as C bytes per pixel (1-bit rows are
//                               expanded to 0/255 by the accessor)
//   work(y)     -> Byte*        row y of the horizontal-pass buffer (dw x sh; the
//                               linear resampler)
//   put(i, row)                 writes dest row i from dw x C bytes
//   progress(v)                 reports v (already truncated; limited to 0..100 by
//                               the caller's reporter)
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "image/proc/dadiravproc.h"

namespace dadiravproc_resample {

// ---------------------------------------------------------------------------
// Kernels

using TKernelFunc = double (*)(double);

inline double KTriangle(double x) {
  const double a = std::fabs(x);
  return a < 1 ? 1 - a : 0;
}
inline double KHermite(double x) {
  const double a = std::fabs(x);
  return a < 1 ? (2 * a - 3) * x * x + 1 : 0;
}
inline double KBell(double x) {
  const double a = std::fabs(x);
  if (a < 0.5) return 0.75 - x * x;
  if (a < 1.5) return 0.5 * (a - 1.5) * (a - 1.5);
  return 0;
}
inline double KBSpline(double x) {
  const double a = std::fabs(x);
  if (a < 1) return 0.5 * a * a * a - x * x + 2.0 / 3.0;
  if (a < 2) return (2 - a) * (2 - a) * (2 - a) / 6;
  return 0;
}
inline double Sinc(double x) {
  if (x == 0) return 1;
  const double px = M_PI * x;
  return std::sin(px) / px;
}
inline double KLanczos3(double x) { return std::fabs(x) < 3 ? Sinc(x) * Sinc(x / 3) : 0; }
inline double KMitchell(double x) {
  const double a = std::fabs(x);
  if (a < 1) return (7 * a * a * a - 12 * x * x + 16.0 / 3.0) / 6;
  if (a < 2) return (-7.0 / 3.0 * a * a * a + 12 * x * x - 20 * a + 32.0 / 3.0) / 6;
  return 0;
}
inline double KNearest(double x) { return x > -0.5 && x <= 0.5 ? 1 : 0; }
inline double KLinear(double x) {
  if (x >= -1 && x < 0) return x + 1;
  if (x >= 0 && x < 1) return 1 - x;
  return 0;
}

struct TKernel {
  TKernelFunc func = nullptr;
  double radius = 0;
};

// The kernel of rfTriangle .. rfLinear; no function for the other kinds.
inline TKernel KernelOf(TResampleFilter filter) {
  switch (filter) {
    case rfTriangle: return {KTriangle, 1};
    case rfHermite: return {KHermite, 1};
    case rfBell: return {KBell, 1.5};
    case rfBSpline: return {KBSpline, 2};
    case rfLanczos3: return {KLanczos3, 3};
    case rfMitchell: return {KMitchell, 2};
    case rfNearest: return {KNearest, 1};
    case rfLinear: return {KLinear, 1};
    default: return {};
  }
}

// ---------------------------------------------------------------------------
// Integer results

// trunc(sum / d) limited to 0..255; for d = 0, (sum as unsigned 32-bit) shr 8 limited
// to 255. A positive d below 2^20 divides by a multiply: for 0 < sum < 256 d,
// (sum x ceil(2^48 / d)) shr 48 is exactly sum div d (the error term stays below 1).
class TDivider {
 public:
  explicit TDivider(Integer d = 1) : d_(d) {
    fast_ = d > 0 && d < (1 << 20);
    if (fast_) magic_ = ((uint64_t{1} << 48) + static_cast<uint64_t>(d) - 1) / static_cast<uint64_t>(d);
    limit_ = fast_ ? 256 * d : 0;
  }
  Byte operator()(Integer sum) const {
    if (fast_) {
      if (sum <= 0) return 0;
      if (sum >= limit_) return 255;
      return static_cast<Byte>((static_cast<uint64_t>(sum) * magic_) >> 48);
    }
    if (d_ != 0) return static_cast<Byte>(blimit(sum / d_));
    return static_cast<Byte>(std::min<uint32_t>(static_cast<uint32_t>(sum) >> 8, 255));
  }

 private:
  Integer d_;
  bool fast_ = false;
  Integer limit_ = 0;
  uint64_t magic_ = 0;
};

// sum div d for 0 <= sum <= 255 d (averages of bytes). For d <= 256 it is
// (sum x ceil(2^24 / d)) shr 24 in 32 bits: the product stays below 2^32 and the
// error term sum x (m d - 2^24) / 2^24 below 1 / d. Larger counts divide.
class TAverage {
 public:
  explicit TAverage(Integer d = 1) : d_(static_cast<uint32_t>(d)) {
    if (d_ <= 256) magic_ = ((uint32_t{1} << 24) + d_ - 1) / d_;
  }
  bool Fast() const { return magic_ != 0; }
  uint32_t Magic() const { return magic_; }
  Byte operator()(uint32_t sum) const {
    return static_cast<Byte>(magic_ != 0 ? (sum * magic_) >> 24 : sum / d_);
  }

 private:
  uint32_t d_;
  uint32_t magic_ = 0;
};

// out[x] = TDivider(d)(acc[x]) for n sums. For 0 < d < 2^14 in single precision,
// which vectorises: with s limited to 0 .. 256 d - 1, trunc((s + 0.5) x (1 / d)) is
// s div d, as (s + 0.5) / d lies at least 0.5 / d > 2^-15 from any integer and the
// two roundings move it by less than 256 x 2^-23 = 2^-15.
inline void DivideRow(const Integer* acc, Byte* out, size_t n, Integer d) {
  if (d > 0 && d < (1 << 14)) {
    const float inv = 1.0f / static_cast<float>(d);
    const Integer hi = 256 * d - 1;
    for (size_t x = 0; x < n; ++x) {
      const Integer v = std::clamp(acc[x], 0, hi);
      out[x] = static_cast<Byte>(static_cast<Integer>((static_cast<float>(v) + 0.5f) * inv));
    }
    return;
  }
  const TDivider div(d);
  for (size_t x = 0; x < n; ++x) out[x] = div(acc[x]);
}

// ---------------------------------------------------------------------------
// Contributor lists of the kernel resampler

// For each destination position i its pairs first[i] .. first[i + 1] - 1 of (source
// index, weight), indices already mirrored at the edges and limited to the source.
struct TContributors {
  std::vector<Integer> first;
  std::vector<Integer> index;
  std::vector<Integer> weight;
  std::vector<TDivider> divider;  // by the sum of the weights of each position
  std::vector<Integer> weightSum;
};

// Scale factor of one axis: (dst - 1) / (src - 1), or dst / src when either is 1.
inline double KernelScale(Integer src, Integer dst) {
  if (src == 1 || dst == 1) return static_cast<double>(dst) / src;
  return static_cast<double>(dst - 1) / (src - 1);
}

// The weight scale of a shrink by s whose weights k x 256 / s all round to 0 (s beyond
// about 512): 256 x 2^m with m the least for which the kernel's peak weighs at least
// 16, so the window keeps its shape and, divided by the weights' sum, its brightness.
// At most 2^22, which keeps every sum of weight x byte within 32 bits.
inline double WideWeightScale(double s) {
  double scale = 256;
  while (scale / s < 16 && scale < double(1 << 22)) scale *= 2;
  return scale;
}

inline TContributors BuildContributors(Integer srcLen, Integer dstLen, double scale,
                                       const TKernel& kernel) {
  TContributors list;
  list.first.reserve(static_cast<size_t>(dstLen) + 1);
  list.divider.reserve(static_cast<size_t>(dstLen));
  const bool enlarge = scale >= 1;
  const double w = enlarge ? kernel.radius : kernel.radius / scale;
  const double s = enlarge ? 1.0 : 1.0 / scale;
  for (Integer i = 0; i < dstLen; ++i) {
    const size_t start = list.index.size();
    list.first.push_back(static_cast<Integer>(start));
    const double c = i / scale;
    const int64_t lo = static_cast<int64_t>(std::floor(c - w));
    const int64_t hi = static_cast<int64_t>(std::ceil(c + w));
    Integer sum = 0;
    // Weights scaled by 256 first; a window all of whose weights round to 0 is weighed
    // again on a finer scale (the division by the weights' sum makes the scale cancel).
    double weightScale = 256;
    for (int pass = 0; pass < 2; ++pass) {
      if (pass == 1) {
        if (enlarge || list.index.size() != start) break;
        weightScale = WideWeightScale(s);
      }
      for (int64_t j = lo; j <= hi; ++j) {
        const double d = c - static_cast<double>(j);
        const double v =
            enlarge ? kernel.func(d) * weightScale : kernel.func(d / s) * weightScale / s;
        const Integer wt = static_cast<Integer>(std::nearbyint(v));  // ties to even
        if (wt == 0) continue;
        int64_t n = j < 0 ? -j : (j >= srcLen ? 2 * static_cast<int64_t>(srcLen) - j - 1 : j);
        n = std::clamp<int64_t>(n, 0, srcLen - 1);
        list.index.push_back(static_cast<Integer>(n));
        list.weight.push_back(wt);
        sum += wt;
      }
    }
    list.divider.emplace_back(sum);
    list.weightSum.push_back(sum);
  }
  list.first.push_back(static_cast<Integer>(list.index.size()));
  return list;
}

// The horizontal pass of one row, C channels per pixel. A position whose source
// indices rise (all but a few at the mirrored edges) is a window of consecutive
// pixels with one weight each, 0 for the pixels its list skips (adding 0 x pixel
// changes neither sum); the others keep their (offset, weight) taps.
struct TTap {
  Integer offset;  // byte offset of the source pixel
  Integer weight;
};

struct TWindowRun {
  Integer offset;  // byte offset of the first pixel; -1: use the taps
  Integer count;
  Integer first;   // into weights, or into taps
};

struct TRowPlan {
  std::vector<TWindowRun> runs;
  std::vector<Integer> weights;
  std::vector<TTap> taps;
  // With every weight sum in 1 .. 2^14 - 1 the sums divide in single precision, as
  // DivideRow does: clamp to 0 .. hi, then trunc((s + 0.5) x inv).
  bool floatDivide = false;
  std::vector<float> inv;
  std::vector<Integer> hi;
  // The weights as 16 bits when every one fits, for the two-pixel steps of
  // KernelRow3Pairs; empty otherwise.
  std::vector<int16_t> weights16;
};

inline TRowPlan PlanRow(const TContributors& h, Integer channels) {
  TRowPlan plan;
  const size_t n = h.divider.size();
  plan.runs.resize(n);
  for (size_t i = 0; i < n; ++i) {
    const Integer b = h.first[i], e = h.first[i + 1];
    bool rising = true;
    for (Integer k = b + 1; k < e; ++k) rising = rising && h.index[static_cast<size_t>(k)] > h.index[static_cast<size_t>(k) - 1];
    if (b == e) {
      plan.runs[i] = {0, 0, 0};
    } else if (rising) {
      const Integer lo = h.index[static_cast<size_t>(b)];
      const Integer count = h.index[static_cast<size_t>(e) - 1] - lo + 1;
      plan.runs[i] = {lo * channels, count, static_cast<Integer>(plan.weights.size())};
      plan.weights.resize(plan.weights.size() + static_cast<size_t>(count), 0);
      for (Integer k = b; k < e; ++k)
        plan.weights[static_cast<size_t>(plan.runs[i].first + h.index[static_cast<size_t>(k)] - lo)] =
            h.weight[static_cast<size_t>(k)];
    } else {
      plan.runs[i] = {-1, e - b, static_cast<Integer>(plan.taps.size())};
      for (Integer k = b; k < e; ++k)
        plan.taps.push_back({h.index[static_cast<size_t>(k)] * channels, h.weight[static_cast<size_t>(k)]});
    }
  }
  if (std::all_of(plan.weights.begin(), plan.weights.end(), [](Integer w) { return w >= -32768 && w <= 32767; }))
    plan.weights16.assign(plan.weights.begin(), plan.weights.end());
  plan.floatDivide = std::all_of(h.weightSum.begin(), h.weightSum.end(),
                                 [](Integer d) { return d > 0 && d < (1 << 14); });
  if (plan.floatDivide) {
    for (const Integer d : h.weightSum) {
      plan.inv.push_back(1.0f / static_cast<float>(d));
      plan.hi.push_back(256 * d - 1);
    }
  }
  return plan;
}

// Output i's bytes from its sums: divided by the weights' sum (see TRowPlan).
template <int C>
inline void StoreSums(const Integer* sum, Byte* out, const TRowPlan& plan, const TDivider* div, size_t i) {
  if (plan.floatDivide) {
    const float inv = plan.inv[i];
    const Integer hi = plan.hi[i];
    for (int c = 0; c < C; ++c)
      out[c] =
          static_cast<Byte>(static_cast<Integer>((static_cast<float>(std::clamp(sum[c], 0, hi)) + 0.5f) * inv));
  } else {
    for (int c = 0; c < C; ++c) out[c] = div[i](sum[c]);
  }
}

template <int C>
inline void KernelRow(const Byte* __restrict src, Byte* __restrict out, const TContributors& h,
                      const TRowPlan& plan) {
  const size_t dw = plan.runs.size();
  const TDivider* div = h.divider.data();
  const Integer* weights = plan.weights.data();
  const TTap* taps = plan.taps.data();
  for (size_t i = 0; i < dw; ++i, out += C) {
    const TWindowRun r = plan.runs[i];
    Integer sum[C] = {};
    if (r.offset >= 0) {
      const Byte* p = src + r.offset;
      const Integer* w = weights + r.first;
      for (Integer k = 0; k < r.count; ++k, p += C)
        for (int c = 0; c < C; ++c) sum[c] += w[k] * p[c];
    } else {
      const TTap* t = taps + r.first;
      for (Integer k = 0; k < r.count; ++k)
        for (int c = 0; c < C; ++c) sum[c] += t[k].weight * src[t[k].offset + c];
    }
    StoreSums<C>(sum, out, plan, div, i);
  }
}

#if defined(__x86_64__)
inline bool HaveSsse3() {
  static const bool have = __builtin_cpu_supports("ssse3");
  return have;
}

// KernelRow<3> for plans with weights16, the same sums taken two pixels at a time: the
// six bytes of two pixels spread to 16-bit lanes (c0 c0' c1 c1' c2 c2' 0 0), multiplied
// by the two weights and added in pairs, which gives each channel's two products'
// sum exactly. Steps that would read past the row's srcBytes are left to the scalar
// loop, as are odd pixels and the taps at the edges.
__attribute__((target("ssse3"))) inline void KernelRow3Pairs(const Byte* __restrict src, size_t srcBytes,
                                                             Byte* __restrict out, const TContributors& h,
                                                             const TRowPlan& plan) {
  const __m128i spread = _mm_setr_epi8(0, -1, 3, -1, 1, -1, 4, -1, 2, -1, 5, -1, -1, -1, -1, -1);
  const size_t dw = plan.runs.size();
  const TDivider* div = h.divider.data();
  const int16_t* weights = plan.weights16.data();
  const TTap* taps = plan.taps.data();
  for (size_t i = 0; i < dw; ++i, out += 3) {
    const TWindowRun r = plan.runs[i];
    Integer sum[3] = {};
    if (r.offset >= 0) {
      const Byte* p = src + r.offset;
      const int16_t* w = weights + r.first;
      const size_t room = srcBytes - static_cast<size_t>(r.offset);
      Integer k = 0;
      __m128i acc = _mm_setzero_si128();
      for (; k + 1 < r.count && static_cast<size_t>(k) * 3 + 8 <= room; k += 2) {
        const __m128i px = _mm_shuffle_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p + 3 * k)), spread);
        int32_t pair;
        std::memcpy(&pair, w + k, sizeof pair);
        acc = _mm_add_epi32(acc, _mm_madd_epi16(px, _mm_set1_epi32(pair)));
      }
      alignas(16) int32_t lanes[4];
      _mm_store_si128(reinterpret_cast<__m128i*>(lanes), acc);
      sum[0] = lanes[0];
      sum[1] = lanes[1];
      sum[2] = lanes[2];
      for (; k < r.count; ++k)
        for (int c = 0; c < 3; ++c) sum[c] += w[k] * p[3 * k + c];
    } else {
      const TTap* t = taps + r.first;
      for (Integer k = 0; k < r.count; ++k)
        for (int c = 0; c < 3; ++c) sum[c] += t[k].weight * src[t[k].offset + c];
    }
    StoreSums<3>(sum, out, plan, div, i);
  }
}
#endif

// One row's horizontal pass, by KernelRow3Pairs where it applies.
template <int C>
inline void FilterRow(const Byte* src, Integer sw, Byte* out, const TContributors& h, const TRowPlan& plan) {
#if defined(__x86_64__)
  if constexpr (C == 3) {
    if (!plan.weights16.empty() && HaveSsse3()) {
      KernelRow3Pairs(src, static_cast<size_t>(sw) * 3, out, h, plan);
      return;
    }
  }
#endif
  KernelRow<C>(src, out, h, plan);
}

// a[x] += w0 x r0[x] + w1 x r1[x] for x below n, weights within 16 bits. On x86-64
// sixteen bytes of both rows at a time: interleaved as 16-bit pairs (r0, r1) and
// multiplied by (w0, w1) with the pairs added, which is the same sum exactly.
inline void AddRowPair(Integer* __restrict a, const Byte* r0, Integer w0, const Byte* r1, Integer w1, size_t n) {
  size_t x = 0;
#if defined(__x86_64__)
  const __m128i zero = _mm_setzero_si128();
  const __m128i weights =
      _mm_set1_epi32(static_cast<int32_t>((static_cast<uint32_t>(w1) << 16) | (static_cast<uint32_t>(w0) & 0xFFFF)));
  for (; x + 16 <= n; x += 16) {
    const __m128i v0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(r0 + x));
    const __m128i v1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(r1 + x));
    const __m128i lo0 = _mm_unpacklo_epi8(v0, zero), hi0 = _mm_unpackhi_epi8(v0, zero);
    const __m128i lo1 = _mm_unpacklo_epi8(v1, zero), hi1 = _mm_unpackhi_epi8(v1, zero);
    const __m128i parts[4] = {_mm_unpacklo_epi16(lo0, lo1), _mm_unpackhi_epi16(lo0, lo1),
                              _mm_unpacklo_epi16(hi0, hi1), _mm_unpackhi_epi16(hi0, hi1)};
    for (int q = 0; q < 4; ++q) {
      __m128i* at = reinterpret_cast<__m128i*>(a + x + 4 * static_cast<size_t>(q));
      _mm_storeu_si128(at, _mm_add_epi32(_mm_loadu_si128(at), _mm_madd_epi16(parts[q], weights)));
    }
  }
#endif
  for (; x < n; ++x) a[x] += w0 * r0[x] + w1 * r1[x];
}

// The kernel resampler, in strips: the vertical pass runs dest row by dest row and
// takes its source rows, horizontally filtered, from a ring just large enough for the
// widest window of rows, filtering each row when it is first needed. The sums are
// those of filtering every row first and running the vertical pass column by column;
// progress reports the per-row values as rows are filtered, then the per-column values
// in order as the dest rows complete.
template <int C, class Src, class Put, class Prog>
void KernelResample(Integer sw, Integer sh, Integer dw, Integer dh, const TKernel& kernel,
                    Src&& src, Put&& put, Prog&& progress) {
  const double xs = KernelScale(sw, dw);
  const double ys = KernelScale(sh, dh);
  const double p = 100.0 / (sh + dw + 0.5);
  const TContributors h = BuildContributors(sw, dw, xs, kernel);
  const TRowPlan plan = PlanRow(h, C);
  const TContributors v = BuildContributors(sh, dh, ys, kernel);

  // The ring: one slot per row of the widest window, so the rows of one dest row never
  // share a slot (row y lives in slot y mod span).
  Integer span = 1;
  for (Integer i = 0; i < dh; ++i) {
    const Integer b = v.first[static_cast<size_t>(i)], e = v.first[static_cast<size_t>(i) + 1];
    if (b == e) continue;
    const auto [lo, hi] = std::minmax_element(v.index.begin() + b, v.index.begin() + e);
    span = std::max(span, *hi - *lo + 1);
  }
  span = std::min(span, sh);
  const size_t n = static_cast<size_t>(dw) * C;
  std::vector<Byte> ring(static_cast<size_t>(span) * n);
  std::vector<Integer> held(static_cast<size_t>(span), -1);
  std::vector<bool> filtered(static_cast<size_t>(sh), false);
  Integer rowsFiltered = 0;
  const auto workRow = [&](Integer y) -> const Byte* {
    const size_t slot = static_cast<size_t>(y % span);
    Byte* row = ring.data() + slot * n;
    if (held[slot] == y) return row;
    FilterRow<C>(src(y), sw, row, h, plan);
    held[slot] = y;
    if (!filtered[static_cast<size_t>(y)]) {
      filtered[static_cast<size_t>(y)] = true;
      ++rowsFiltered;
      progress(std::trunc(rowsFiltered * p));
    }
    return row;
  };

  std::vector<Integer> acc(n);
  std::vector<Byte> out(n);
  const bool verticalPairs = std::all_of(v.weight.begin(), v.weight.end(),
                                         [](Integer w) { return w >= -32768 && w <= 32767; });
  Integer reported = 0;
  Integer columnsOwed = 0;
  const auto reportColumns = [&] {
    if (rowsFiltered < sh) return;  // the per-row values come first
    for (; reported < columnsOwed; ++reported) progress(std::trunc((sh + reported + 1) * p));
  };
  for (Integer i = 0; i < dh; ++i) {
    std::fill(acc.begin(), acc.end(), 0);
    Integer* a = acc.data();
    const Integer kEnd = v.first[static_cast<size_t>(i) + 1];
    Integer k = v.first[static_cast<size_t>(i)];
    if (verticalPairs) {
      // Two rows at a time; the ring holds every row of the window at once.
      for (; k + 1 < kEnd; k += 2) {
        const Byte* r0 = workRow(v.index[static_cast<size_t>(k)]);
        const Byte* r1 = workRow(v.index[static_cast<size_t>(k) + 1]);
        AddRowPair(a, r0, v.weight[static_cast<size_t>(k)], r1, v.weight[static_cast<size_t>(k) + 1], n);
      }
    }
    for (; k < kEnd; ++k) {
      const Byte* r = workRow(v.index[static_cast<size_t>(k)]);
      const Integer w = v.weight[static_cast<size_t>(k)];
      for (size_t x = 0; x < n; ++x) a[x] += w * r[x];
    }
    DivideRow(a, out.data(), n, v.weightSum[static_cast<size_t>(i)]);
    put(i, out.data());
    columnsOwed = static_cast<Integer>(static_cast<int64_t>(i + 1) * dw / dh);
    reportColumns();
  }
  // Rows no window needed are still counted, then the rest of the columns.
  for (Integer y = 0; y < sh && rowsFiltered < sh; ++y)
    if (!filtered[static_cast<size_t>(y)]) {
      filtered[static_cast<size_t>(y)] = true;
      ++rowsFiltered;
      progress(std::trunc(rowsFiltered * p));
    }
  reportColumns();
}

// ---------------------------------------------------------------------------
// Fast linear

inline constexpr Integer kLinearOne = 131072;  // 17-bit fractions

struct TLinearTable {
  std::vector<Integer> left, frac, right;
  std::vector<TAverage> divider;  // by right - left + 1
};

// Column (or row) tables for dst positions at scale = dst / src.
inline TLinearTable BuildLinearTable(Integer srcLen, Integer dstLen, double scale) {
  TLinearTable t;
  const size_t n = static_cast<size_t>(dstLen);
  t.left.resize(n);
  t.frac.resize(n);
  t.right.resize(n);
  t.divider.resize(n);
  for (Integer i = 0; i < dstLen; ++i) {
    const double f = i / scale;
    const Integer l = std::min(static_cast<Integer>(f), srcLen - 1);
    const size_t k = static_cast<size_t>(i);
    t.left[k] = l;
    t.frac[k] = static_cast<Integer>((f - static_cast<Integer>(f)) * kLinearOne);
    const Integer r = static_cast<Integer>(std::min(i + 1, dstLen - 1) / scale + 1e-10);
    t.right[k] = std::clamp(r, l, srcLen - 1);
    t.divider[k] = TAverage(t.right[k] - t.left[k] + 1);
  }
  return t;
}

// a + floor((b - a) x frac / 131072) for each of n bytes.
inline void LerpBytes(const Byte* a, const Byte* b, Integer frac, Byte* out, size_t n) {
  for (size_t x = 0; x < n; ++x)
    out[x] = static_cast<Byte>(a[x] + (((b[x] - a[x]) * frac) >> 17));
}

template <int C>
inline void LinearRowInterp(const Byte* src, Byte* out, Integer sw, const TLinearTable& t) {
  const size_t dw = t.left.size();
  for (size_t i = 0; i < dw; ++i) {
    const Integer l = t.left[i];
    const Byte* a = src + static_cast<size_t>(l) * C;
    const Byte* b = src + static_cast<size_t>(std::min(l + 1, sw - 1)) * C;
    const Integer f = t.frac[i];
    for (int c = 0; c < C; ++c) out[c] = static_cast<Byte>(a[c] + (((b[c] - a[c]) * f) >> 17));
    out += C;
  }
}

// One output of the box average: its first source byte, its pixel count and the
// multiplier of its TAverage (0: divide).
struct TBox {
  uint32_t offset;
  uint32_t count;
  uint32_t magic;
};

inline std::vector<TBox> Boxes(const TLinearTable& t, Integer channels) {
  std::vector<TBox> boxes(t.left.size());
  for (size_t i = 0; i < boxes.size(); ++i)
    boxes[i] = {static_cast<uint32_t>(t.left[i] * channels),
                static_cast<uint32_t>(t.right[i] - t.left[i] + 1), t.divider[i].Magic()};
  return boxes;
}

template <int C>
inline void LinearRowAverage(const Byte* __restrict src, Byte* __restrict out, const TBox* boxes,
                             size_t dw) {
  for (size_t i = 0; i < dw; ++i, out += C) {
    const TBox b = boxes[i];
    const Byte* p = src + b.offset;
    uint32_t sum[C];
    for (int c = 0; c < C; ++c) sum[c] = p[c];
    // The usual windows of two to four pixels unrolled; others looped.
    switch (b.count) {
      case 1: break;
      case 2:
        for (int c = 0; c < C; ++c) sum[c] += p[C + c];
        break;
      case 3:
        for (int c = 0; c < C; ++c) sum[c] += p[C + c] + p[2 * C + c];
        break;
      case 4:
        for (int c = 0; c < C; ++c) sum[c] += p[C + c] + p[2 * C + c] + p[3 * C + c];
        break;
      default: {
        // Four independent chains (integer sums: the order does not matter).
        uint32_t s1[C] = {}, s2[C] = {}, s3[C] = {};
        uint32_t k = 1;
        for (; k + 3 < b.count; k += 4)
          for (int c = 0; c < C; ++c) {
            sum[c] += p[k * C + c];
            s1[c] += p[(k + 1) * C + c];
            s2[c] += p[(k + 2) * C + c];
            s3[c] += p[(k + 3) * C + c];
          }
        for (; k < b.count; ++k)
          for (int c = 0; c < C; ++c) sum[c] += p[k * C + c];
        for (int c = 0; c < C; ++c) sum[c] += s1[c] + s2[c] + s3[c];
        break;
      }
    }
    if (b.magic != 0) {
      for (int c = 0; c < C; ++c) out[c] = static_cast<Byte>((sum[c] * b.magic) >> 24);
    } else {
      for (int c = 0; c < C; ++c) out[c] = static_cast<Byte>(sum[c] / b.count);
    }
  }
}

// out[x] = sum of the rows' bytes div count, for n bytes.
template <class Work>
inline void AverageRows(Work& work, Integer first, Integer last, uint32_t* acc, Byte* out, size_t n) {
  std::memset(acc, 0, n * sizeof(uint32_t));
  for (Integer r = first; r <= last; ++r) {
    const Byte* row = work(r);
    for (size_t x = 0; x < n; ++x) acc[x] += row[x];
  }
  const TAverage div(last - first + 1);
  if (div.Fast()) {
    const uint32_t m = div.Magic();
    for (size_t x = 0; x < n; ++x) out[x] = static_cast<Byte>((acc[x] * m) >> 24);
  } else {
    for (size_t x = 0; x < n; ++x) out[x] = div(acc[x]);
  }
}

// rfFastLinear with the sizes already known to differ. With alwaysInterpolate (the
// 1-bit variant) both passes interpolate even along an axis that shrinks.
template <int C, bool AlwaysInterpolate, class Src, class Work, class Put, class Prog>
void LinearResample(Integer sw, Integer sh, Integer dw, Integer dh, Src&& src, Work&& work,
                    Put&& put, Prog&& progress) {
  const double xs = static_cast<double>(dw) / sw;
  const double ys = static_cast<double>(dh) / sh;
  const double p = 100.0 / (sh + dh + 0.5);
  {
    const TLinearTable t = BuildLinearTable(sw, dw, xs);
    const bool interp = AlwaysInterpolate || xs > 1;
    const std::vector<TBox> boxes = interp ? std::vector<TBox>() : Boxes(t, C);
    for (Integer y = 0; y < sh; ++y) {
      if (interp)
        LinearRowInterp<C>(src(y), work(y), sw, t);
      else
        LinearRowAverage<C>(src(y), work(y), boxes.data(), boxes.size());
      progress(std::trunc(y * p));
    }
  }
  const size_t n = static_cast<size_t>(dw) * C;
  std::vector<Byte> out(n);
  std::vector<uint32_t> acc;
  const bool interp = AlwaysInterpolate || ys > 1;
  if (!interp) acc.resize(n);
  for (Integer j = 0; j < dh; ++j) {
    if (interp) {
      const double f = j / ys;
      const Integer e = std::min(static_cast<Integer>(f), sh - 1);
      const Integer fr = static_cast<Integer>((f - static_cast<Integer>(f)) * kLinearOne);
      const Byte* r0 = work(e);
      const Byte* r1 = work(e + 1 < sh ? e + 1 : e);
      LerpBytes(r0, r1, fr, out.data(), n);
    } else {
      const Integer a = std::min(static_cast<Integer>(j / ys), sh - 1);
      const Integer b = std::clamp(static_cast<Integer>(std::min(j + 1, dh - 1) / ys), a, sh - 1);
      AverageRows(work, a, b, acc.data(), out.data(), n);
    }
    put(j, out.data());
    progress(std::trunc((sh + j) * p));
  }
}

// ---------------------------------------------------------------------------
// Gray shrink of a 1-bit area

// First and last source row (or column) of each dest position's window.
struct TWindow {
  std::vector<Integer> lo, hi;
};

// The windows of each dest position, r = (end - start + 1) / dst
// source pixels per dest pixel. Rows: offsets trunc(i r - r / 2) .. trunc(trunc(r) / 2
// + i r) from start, each limited to 0..len - 1 before start is added. Columns: start
// + trunc(i r - r / 2) .. start + trunc(r / 2 + i r), below 0 becoming 0 and more than
// len past start becoming len - 1. Every end is then kept inside the source.
inline TWindow BuildWindow(Integer start, Integer end, Integer srcLen, Integer dstLen, bool rows) {
  TWindow w;
  w.lo.resize(static_cast<size_t>(dstLen));
  w.hi.resize(static_cast<size_t>(dstLen));
  const double r = static_cast<double>(end - start + 1) / dstLen;
  const double last = srcLen - 1;
  const auto fit = [&](double offset) {
    double v;
    if (rows) {
      v = start + std::clamp(offset, 0.0, last);
    } else {
      v = std::max(start + offset, 0.0);
      if (v - start > srcLen) v = last;
    }
    return static_cast<Integer>(std::clamp(v, 0.0, last));
  };
  for (Integer i = 0; i < dstLen; ++i) {
    const double lo = std::trunc(i * r - r / 2);
    const double hi = rows ? std::trunc(std::trunc(r) / 2 + i * r) : std::trunc(r / 2 + i * r);
    const size_t k = static_cast<size_t>(i);
    w.lo[k] = fit(lo);
    w.hi[k] = std::max(fit(hi), w.lo[k]);
  }
  return w;
}

// srcRow(y) -> the packed 1-bit row y (most significant bit first); put(i, grey) gets
// dw grey values of dest row i.
template <class SrcRow, class Put>
void SubResample1bit(Integer sw, Integer sh, Integer x1, Integer y1, Integer x2, Integer y2,
                     Integer dw, Integer dh, SrcRow&& srcRow, Put&& put) {
  const TWindow rows = BuildWindow(y1, y2, sh, dh, true);
  const TWindow cols = BuildWindow(x1, x2, sw, dw, false);
  // Column sums of set bits over the current row window, and their prefix sums.
  std::vector<Integer> count(static_cast<size_t>(sw));
  std::vector<Integer> prefix(static_cast<size_t>(sw) + 1);
  std::vector<Byte> grey(static_cast<size_t>(dw));
  for (Integer i = 0; i < dh; ++i) {
    std::fill(count.begin(), count.end(), 0);
    const Integer top = rows.lo[static_cast<size_t>(i)];
    const Integer bottom = rows.hi[static_cast<size_t>(i)];
    for (Integer y = top; y <= bottom; ++y) {
      const Byte* row = srcRow(y);
      for (Integer x = 0; x < sw; ++x) count[static_cast<size_t>(x)] += (row[x >> 3] >> (7 - (x & 7))) & 1;
    }
    for (Integer x = 0; x < sw; ++x)
      prefix[static_cast<size_t>(x) + 1] = prefix[static_cast<size_t>(x)] + count[static_cast<size_t>(x)];
    const int64_t height = bottom - top + 1;
    for (Integer k = 0; k < dw; ++k) {
      const Integer l = cols.lo[static_cast<size_t>(k)];
      const Integer r = cols.hi[static_cast<size_t>(k)];
      const int64_t set = prefix[static_cast<size_t>(r) + 1] - prefix[static_cast<size_t>(l)];
      grey[static_cast<size_t>(k)] = static_cast<Byte>(255 * set / (height * (r - l + 1)));
    }
    put(i, grey.data());
  }
}

// ---------------------------------------------------------------------------
// Nearest maps

// trunc(i x (src / dst)) for each dest position, limited to the source.
inline std::vector<Integer> NearestMap(Integer srcLen, Integer dstLen) {
  std::vector<Integer> m(static_cast<size_t>(dstLen));
  const double ratio = static_cast<double>(srcLen) / dstLen;
  for (Integer i = 0; i < dstLen; ++i)
    m[static_cast<size_t>(i)] = std::min(static_cast<Integer>(i * ratio), srcLen - 1);
  return m;
}

// Expands a 1-bit row to 0/255 bytes.
inline void ExpandBits(const Byte* row, Integer width, Byte* out) {
  for (Integer x = 0; x < width; ++x) out[x] = (row[x >> 3] & iebitmask1[x & 7]) != 0 ? 255 : 0;
}

// The progress reporter of the workers: nothing when unassigned, values in 0..100.
struct TReporter {
  const TIEProgressEvent& event;
  TObject* sender;
  void operator()(double v) const {
    if (!event) return;
    event(sender, static_cast<Integer>(std::clamp(v, 0.0, 100.0)));
  }
};
struct TNoReport {
  void operator()(double) const {}
};

}  // namespace dadiravproc_resample
