// Measurements of 24-bit images (histograms, colour counts, density profiles, the
// grey test), the two histogram equalisations, and channel pictures.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <vector>

#include "image/model/iebitmap.h"
#include "image/model/ieutils.h"
#include "image/proc/dadiravproc.h"
#include "image/proc/dadiravproc_internal.h"
#include "platform/rtl/Math.h"

using namespace dadiravproc_detail;

namespace {

bool Is24(TIEBitmap* bitmap) { return HasPixels(bitmap) && bitmap->GetPixelFormat() == ie24RGB; }

// The grey picture of one channel: 0..2 blue, green, red; 10..12 hue, saturation,
// value.
Byte ChannelLevel(TRGB c, Integer channel) {
  if (channel < 3) return channel == 0 ? c.b : (channel == 1 ? c.g : c.r);
  Integer h, s, v;
  RGB2HSV(c, h, s, v);
  switch (channel) {
    case 11:
      return static_cast<Byte>(Trunc(s / 99.0 * 255.0));
    case 12:
      return static_cast<Byte>(Trunc(v / 99.0 * 255.0));
    default:
      return static_cast<Byte>(Trunc(h / 359.0 * 255.0));
  }
}

// Writes up to three channel pictures of the whole image in one pass; null outputs
// are skipped. Progress after row y: trunc(y x 100 / height).
void WriteChannels(TIEBitmap* bitmap, TIEBitmap* const outputs[3], const Integer channels[3],
                   const TIEProgressEvent& onProgress, TObject* sender) {
  const Integer width = bitmap->GetWidth();
  const Integer height = bitmap->GetHeight();
  for (Integer i = 0; i < 3; ++i)
    if (outputs[i] != nullptr) outputs[i]->Allocate(width, height, ie24RGB);
  std::vector<TRGB> line(static_cast<size_t>(width));
  for (Integer y = 0; y < height; ++y) {
    std::memcpy(line.data(), bitmap->GetScanLine(y), static_cast<size_t>(width) * 3);
    for (Integer i = 0; i < 3; ++i) {
      if (outputs[i] == nullptr || outputs[i]->GetWidth() != width) continue;
      TRGB* out = static_cast<TRGB*>(outputs[i]->GetScanLine(y));
      for (Integer x = 0; x < width; ++x) {
        const Byte level = ChannelLevel(line[static_cast<size_t>(x)], channels[i]);
        out[x] = TRGB{level, level, level};
      }
    }
    if (onProgress) onProgress(sender, std::min<Integer>(100, static_cast<Integer>(Int64{y} * 100 / height)));
  }
}

std::unique_ptr<TIEBitmap> ChannelPicture(TIEBitmap* bitmap, Integer channel,
                                          const TIEProgressEvent& onProgress, TObject* sender) {
  auto result = std::make_unique<TIEBitmap>();
  TIEBitmap* const outputs[3] = {result.get(), nullptr, nullptr};
  const Integer channels[3] = {channel, 0, 0};
  WriteChannels(bitmap, outputs, channels, onProgress, sender);
  return result;
}

}  // namespace

void _GetHistogram(TIEBitmap* bitmap, PHistogram hist, Integer x1, Integer y1, Integer x2,
                   Integer y2) {
  if (!Is24(bitmap) || hist == nullptr) return;
  std::fill_n(hist, 256, THistogramItem{});
  if (!ClipRect(bitmap->GetWidth(), bitmap->GetHeight(), x1, y1, x2, y2)) return;
  for (Integer y = y1; y < y2; ++y) {
    const TRGB* row = static_cast<const TRGB*>(bitmap->GetScanLine(y));
    for (Integer x = x1; x < x2; ++x) {
      const TRGB c = row[x];
      ++hist[c.r].r;
      ++hist[c.g].g;
      ++hist[c.b].b;
      ++hist[Gray(c.r, c.g, c.b)].Gray;
    }
  }
}

Integer _GetImageNumColors(TIEBitmap* bitmap, Integer x1, Integer y1, Integer x2, Integer y2) {
  if (!Is24(bitmap)) return 0;
  if (!ClipRect(bitmap->GetWidth(), bitmap->GetHeight(), x1, y1, x2, y2)) return 0;
  THash1 colors(13);
  for (Integer y = y1; y < y2; ++y) {
    const TRGB* row = static_cast<const TRGB*>(bitmap->GetScanLine(y));
    for (Integer x = x1; x < x2; ++x)
      colors.Insert((static_cast<DWORD>(row[x].r) << 16) | (static_cast<DWORD>(row[x].g) << 8) | row[x].b);
  }
  return colors.GetCount();
}

void _HistAutoEqualize(TIEBitmap* bitmap, Integer x1, Integer y1, Integer x2, Integer y2,
                       const TIEProgressEvent& onProgress, TObject* sender) {
  if (!Is24(bitmap)) return;
  const Integer width = bitmap->GetWidth();
  const Integer height = bitmap->GetHeight();
  if (!ClipRect(width, height, x1, y1, x2, y2)) return;

  // Grey histogram of the whole image and the two level tables.
  std::array<Int64, 256> grays{};
  for (Integer y = 0; y < height; ++y) {
    const TRGB* row = static_cast<const TRGB*>(bitmap->GetScanLine(y));
    for (Integer x = 0; x < width; ++x) ++grays[static_cast<size_t>(Gray(row[x].r, row[x].g, row[x].b))];
  }
  // The count each output level should receive. Below 256 pixels it is 0, and any
  // count then carries the level past 255 at once (it would never stop rising).
  const Int64 q = Int64{width} * height / 256;
  std::array<Byte, 256> left{}, right{};
  Int64 level = 0;
  Int64 sum = 0;
  for (Integer l = 0; l < 256; ++l) {
    left[static_cast<size_t>(l)] = static_cast<Byte>(std::clamp<Int64>(level, 0, 255));
    sum += grays[static_cast<size_t>(l)];
    if (sum > q) {
      if (q == 0) {
        level = 256;
      } else {
        // while sum > q: sum -= q, level += 1
        const Int64 steps = (sum - 1) / q;
        sum -= steps * q;
        level += steps;
      }
    }
    right[static_cast<size_t>(l)] = static_cast<Byte>(std::clamp<Int64>(level, 0, 255));
  }

  // Each output row needs the rows above and below (clamped at the edges); the
  // results are written back after the whole rectangle is done.
  const Integer rw = x2 - x1;
  std::vector<TRGB> result(static_cast<size_t>(rw) * static_cast<size_t>(y2 - y1));
  std::array<std::vector<TRGB>, 3> rows;
  for (auto& r : rows) r.resize(static_cast<size_t>(width));
  const auto load = [&](std::vector<TRGB>& into, Integer y) {
    std::memcpy(into.data(), bitmap->GetScanLine(std::clamp(y, 0, height - 1)), static_cast<size_t>(width) * 3);
  };
  for (Integer y = y1; y < y2; ++y) {
    load(rows[0], y - 1);
    load(rows[1], y);
    load(rows[2], y + 1);
    TRGB* out = result.data() + static_cast<size_t>(y - y1) * static_cast<size_t>(rw);
    for (Integer x = x1; x < x2; ++x) {
      Integer sr = 0, sg = 0, sb = 0;
      for (const auto& r : rows) {
        for (Integer dx = -1; dx <= 1; ++dx) {
          const TRGB c = r[static_cast<size_t>(std::clamp(x + dx, 0, width - 1))];
          sr += c.r;
          sg += c.g;
          sb += c.b;
        }
      }
      const TRGB mean{static_cast<Byte>(sb / 9), static_cast<Byte>(sg / 9), static_cast<Byte>(sr / 9)};
      const TRGB c = rows[1][static_cast<size_t>(x)];
      const Integer g = Gray(c.r, c.g, c.b);
      const Integer e = Gray(mean.r, mean.g, mean.b);
      TRGB& d = out[x - x1];
      if (left[static_cast<size_t>(g)] == right[static_cast<size_t>(g)] || e < left[static_cast<size_t>(g)])
        d = TRGB{left[c.b], left[c.g], left[c.r]};
      else if (e > right[static_cast<size_t>(g)])
        d = TRGB{right[c.b], right[c.g], right[c.r]};
      else
        d = mean;
    }
    ReportRow(onProgress, sender, y - y1 + 1, y2 - y1);
  }
  for (Integer y = y1; y < y2; ++y)
    std::memcpy(static_cast<TRGB*>(bitmap->GetScanLine(y)) + x1,
                result.data() + static_cast<size_t>(y - y1) * static_cast<size_t>(rw), static_cast<size_t>(rw) * 3);
}

void _HistEqualize(TIEBitmap* bitmap, TRGB lowLimit, TRGB highLimit, Integer x1, Integer y1,
                   Integer x2, Integer y2, const TIEProgressEvent& onProgress, TObject* sender) {
  if (!Is24(bitmap)) return;
  highLimit.r = std::max<Byte>(highLimit.r, 1);
  highLimit.g = std::max<Byte>(highLimit.g, 1);
  highLimit.b = std::max<Byte>(highLimit.b, 1);
  if (lowLimit == highLimit) return;
  if (!ClipRect(bitmap->GetWidth(), bitmap->GetHeight(), x1, y1, x2, y2)) return;
  // Per channel (0 red, 1 green, 2 blue): A stretches low..255, B stretches 0..high.
  const Byte lows[3] = {lowLimit.r, lowLimit.g, lowLimit.b};
  const Byte highs[3] = {highLimit.r, highLimit.g, highLimit.b};
  std::array<std::array<Byte, 256>, 3> table{};
  for (Integer k = 0; k < 3; ++k) {
    const double d = lows[k] == 255 ? 1.0 : 255.0 - lows[k];
    std::array<Integer, 256> a{};
    for (Integer i = 0; i < 256; ++i) a[static_cast<size_t>(i)] = blimit(static_cast<Integer>(Round((i - lows[k]) / d * 255.0)));
    for (Integer i = 0; i < 256; ++i) {
      const Integer level = a[static_cast<size_t>(i)];
      table[static_cast<size_t>(k)][static_cast<size_t>(i)] =
          static_cast<Byte>(blimit(static_cast<Integer>(Round(level / static_cast<double>(highs[k]) * 255.0))));
    }
  }
  for (Integer y = y1; y < y2; ++y) {
    TRGB* row = static_cast<TRGB*>(bitmap->GetScanLine(y));
    for (Integer x = x1; x < x2; ++x) {
      row[x].r = table[0][row[x].r];
      row[x].g = table[1][row[x].g];
      row[x].b = table[2][row[x].b];
    }
    ReportRow(onProgress, sender, y - y1 + 1, y2 - y1);
  }
}

std::unique_ptr<TIEBitmap> _GetRGBChannel(TIEBitmap* bitmap, Integer channel,
                                          const TIEProgressEvent& onProgress, TObject* sender) {
  if (!Is24(bitmap) || channel < 0) return nullptr;
  return ChannelPicture(bitmap, std::min(channel, 2), onProgress, sender);
}

std::unique_ptr<TIEBitmap> _GetHSVChannel(TIEBitmap* bitmap, Integer channel,
                                          const TIEProgressEvent& onProgress, TObject* sender) {
  if (!Is24(bitmap)) return nullptr;
  const Integer level = channel == 1 ? 11 : (channel == 2 ? 12 : 10);
  return ChannelPicture(bitmap, level, onProgress, sender);
}

void _GetRGBChannelAll(TIEBitmap* bitmap, TIEBitmap* r, TIEBitmap* g, TIEBitmap* b,
                       const TIEProgressEvent& onProgress, TObject* sender) {
  if (!Is24(bitmap)) return;
  TIEBitmap* const outputs[3] = {r, g, b};
  const Integer channels[3] = {2, 1, 0};
  WriteChannels(bitmap, outputs, channels, onProgress, sender);
}

void _GetHSVChannelAll(TIEBitmap* bitmap, TIEBitmap* h, TIEBitmap* s, TIEBitmap* v,
                       const TIEProgressEvent& onProgress, TObject* sender) {
  if (!Is24(bitmap)) return;
  TIEBitmap* const outputs[3] = {h, s, v};
  const Integer channels[3] = {10, 11, 12};
  WriteChannels(bitmap, outputs, channels, onProgress, sender);
}

void _CalcDensityHistogram(TIEBitmap* bitmap, Integer x1, Integer y1, Integer x2, Integer y2,
                           const TIEProgressEvent& onProgress, TObject* sender,
                           Integer* rowDensity, Integer* columnDensity, Integer rowScale,
                           Integer columnScale) {
  if (!HasPixels(bitmap) || rowDensity == nullptr || columnDensity == nullptr) return;
  const TIEPixelFormat format = bitmap->GetPixelFormat();
  if (format != ie24RGB && format != ie1g) return;
  if (!ClipRect(bitmap->GetWidth(), bitmap->GetHeight(), x1, y1, x2, y2)) return;
  std::vector<Int64> rows(static_cast<size_t>(y2 - y1)), columns(static_cast<size_t>(x2 - x1));
  for (Integer y = y1; y < y2; ++y) {
    const Byte* row = static_cast<const Byte*>(bitmap->GetScanLine(y));
    Int64& rowSum = rows[static_cast<size_t>(y - y1)];
    for (Integer x = x1; x < x2; ++x) {
      Integer v;
      if (format == ie24RGB) {
        const TRGB c = reinterpret_cast<const TRGB*>(row)[x];
        v = Gray(c.r, c.g, c.b);
      } else {
        v = (row[x >> 3] & iebitmask1[x & 7]) != 0 ? 1 : 0;
      }
      rowSum += v;
      columns[static_cast<size_t>(x - x1)] += v;
    }
    ReportRow(onProgress, sender, y - y1 + 1, y2 - y1);
  }
  // Each profile is scaled by its own largest entry; an all-zero profile stays zero.
  const auto scale = [](const std::vector<Int64>& sums, Integer* out, Integer factor) {
    const Int64 max = *std::max_element(sums.begin(), sums.end());
    for (size_t i = 0; i < sums.size(); ++i)
      out[i] = max == 0 ? 0 : static_cast<Integer>(Trunc(static_cast<double>(sums[i]) / static_cast<double>(max) * factor));
  };
  scale(rows, rowDensity, rowScale);
  scale(columns, columnDensity, columnScale);
}

bool _IsGrayScaleBitmap(TIEBitmap* bitmap) {
  if (!Is24(bitmap)) return false;
  for (Integer y = 0; y < bitmap->GetHeight(); ++y) {
    const TRGB* row = static_cast<const TRGB*>(bitmap->GetScanLine(y));
    for (Integer x = 0; x < bitmap->GetWidth(); ++x)
      if (row[x].r != row[x].g || row[x].g != row[x].b) return false;
  }
  return true;
}
