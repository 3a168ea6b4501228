// Black-and-white and 1-bit conversions: ordered dither, grey thresholds (fixed, mean
// colour, maximum entropy), two-colour detection and 1-bit to 24-bit expansion.
#include <array>
#include <cmath>
#include <cstring>
#include <vector>

#include "image/model/iebitmap.h"
#include "image/proc/dadiravproc.h"
#include "image/proc/dadiravproc_internal.h"
#include "platform/rtl/Math.h"

using namespace dadiravproc_detail;

const Byte IEBayerMatrix[8][8] = {
    {0, 32, 8, 40, 2, 34, 10, 42},   {48, 16, 56, 24, 50, 18, 58, 26},
    {12, 44, 4, 36, 14, 46, 6, 38},  {60, 28, 52, 20, 62, 30, 54, 22},
    {3, 35, 11, 43, 1, 33, 9, 41},   {51, 19, 59, 27, 49, 17, 57, 25},
    {15, 47, 7, 39, 13, 45, 5, 37},  {63, 31, 55, 23, 61, 29, 53, 21},
};

namespace {

// Entry i: the 8 pixels of byte i as 24 bytes, a set bit white and a clear bit black.
using ExpansionTable = std::array<std::array<Byte, 24>, 256>;

ExpansionTable MakeExpansionTable(TRGB black, TRGB white) {
  ExpansionTable table{};
  for (Integer i = 0; i < 256; ++i) {
    for (Integer k = 0; k < 8; ++k) {
      const TRGB c = (i & (0x80 >> k)) != 0 ? white : black;
      table[i][3 * k] = c.b;
      table[i][3 * k + 1] = c.g;
      table[i][3 * k + 2] = c.r;
    }
  }
  return table;
}

const ExpansionTable& BlackWhiteTable() {
  static const ExpansionTable table = MakeExpansionTable(TRGB{0, 0, 0}, TRGB{255, 255, 255});
  return table;
}

void ExpandRow(const ExpansionTable& table, const Byte* src, Byte* dest, Integer width) {
  const Integer full = width / 8;
  for (Integer i = 0; i < full; ++i, dest += 24) std::memcpy(dest, table[src[i]].data(), 24);
  const Integer rest = width % 8;
  if (rest > 0) std::memcpy(dest, table[src[full]].data(), static_cast<size_t>(rest) * 3);
}

// Sets per1 to 100 / (rows + 0.5) for the row reports of the converters.
void StartRows(TProgressRec& progress, Integer rows) {
  progress.per1 = 100.0 / (rows + 0.5);
}

void ReportRows(const TProgressRec& progress, Integer rowsDone) {
  if (!progress.OnProgress) return;
  progress.Report(static_cast<Integer>(std::trunc(progress.per1 * rowsDone)));
}

// The grey level of every pixel of a row of source (ie8p, ie8g, ie16g, ie24RGB).
void RowGrays(TIEBitmap* source, const Byte* row, Integer width, Byte* out) {
  switch (source->GetPixelFormat()) {
    case TIEPixelFormat::ie8p: {
      const TRGB* palette = source->GetPaletteBuffer();
      for (Integer x = 0; x < width; ++x) {
        const TRGB c = palette != nullptr ? palette[row[x]] : TRGB{};
        out[x] = static_cast<Byte>(Gray(c.r, c.g, c.b));
      }
      break;
    }
    case TIEPixelFormat::ie8g:
      std::memcpy(out, row, static_cast<size_t>(width));
      break;
    case TIEPixelFormat::ie16g:
      for (Integer x = 0; x < width; ++x) out[x] = row[2 * x + 1];
      break;
    case TIEPixelFormat::ie24RGB: {
      const TRGB* p = reinterpret_cast<const TRGB*>(row);
      for (Integer x = 0; x < width; ++x) out[x] = static_cast<Byte>(Gray(p[x].r, p[x].g, p[x].b));
      break;
    }
    default:
      std::memset(out, 0, static_cast<size_t>(width));
      break;
  }
}

// Kapur's maximum-entropy threshold of the grey histogram; -2 when no split of the
// levels has a positive criterion (an image of one level).
Integer MaxEntropyThreshold(TIEBitmap* source) {
  const Integer width = source->GetWidth();
  const Integer height = source->GetHeight();
  std::array<Int64, 256> histogram{};
  std::vector<Byte> grays(static_cast<size_t>(width));
  for (Integer y = 0; y < height; ++y) {
    RowGrays(source, static_cast<const Byte*>(source->GetScanLine(y)), width, grays.data());
    for (Byte v : grays) ++histogram[v];
  }
  const double total = static_cast<double>(width) * static_cast<double>(height);
  std::array<double, 256> p{};
  double ht = 0;
  for (Integer i = 0; i < 256; ++i) {
    p[i] = static_cast<double>(histogram[i]) / total;
    if (p[i] != 0) ht -= p[i] * std::log(p[i]);
  }
  Integer threshold = -2;
  double best = 0;
  double psi = 0;
  double ps = 0;
  double hs = 0;
  for (Integer t = 1; t <= 255; ++t) {
    ps += p[t - 1];
    if (p[t - 1] > 0) hs -= p[t - 1] * std::log(p[t - 1]);
    if (ps > 0 && ps < 1) psi = std::log(ps * (1 - ps)) + hs / ps + (ht - hs) / (1 - ps);
    if (psi > best) {
      best = psi;
      threshold = t;
    }
  }
  return threshold;
}

// Complements every byte of every row.
void InvertRows(TIEBitmap* bitmap) {
  const Integer rowLen = bitmap->GetRowLen();
  for (Integer y = 0; y < bitmap->GetHeight(); ++y) {
    Byte* row = static_cast<Byte*>(bitmap->GetScanLine(y));
    for (Integer i = 0; i < rowLen; ++i) row[i] = static_cast<Byte>(~row[i]);
  }
}

// The two colours of a 1-bit framework bitmap's colour table (black and white when
// it has none).
void FrameworkTwoColors(TBitmap* bitmap, TRGB& color0, TRGB& color1) {
  color0 = TRGB{0, 0, 0};
  color1 = TRGB{255, 255, 255};
  const HPALETTE palette = bitmap->GetPalette();
  if (palette == 0) return;
  PALETTEENTRY entries[2];
  const UINT count = GetPaletteEntries(palette, 0, 2, entries);
  if (count >= 1) color0 = TRGB{entries[0].peBlue, entries[0].peGreen, entries[0].peRed};
  if (count >= 2) color1 = TRGB{entries[1].peBlue, entries[1].peGreen, entries[1].peRed};
}

}  // namespace

void _ConvertToBWOrdered(TIEBitmap* bitmap, TProgressRec& progress) {
  if (!HasPixels(bitmap) || bitmap->GetPixelFormat() != ie24RGB) return;
  const Integer width = bitmap->GetWidth();
  const Integer height = bitmap->GetHeight();
  TIEBitmap result;
  result.Allocate(width, height, ie1g);
  StartRows(progress, height);
  for (Integer y = 0; y < height; ++y) {
    const TRGB* src = static_cast<const TRGB*>(bitmap->GetScanLine(y));
    Byte* dest = static_cast<Byte*>(result.GetScanLine(y));
    std::memset(dest, 0, static_cast<size_t>(result.GetRowLen()));
    const Integer column = y & 7;
    for (Integer x = 0; x < width; ++x) {
      const Integer level = Gray(src[x].r, src[x].g, src[x].b) / 4;
      if (level > IEBayerMatrix[x & 7][column]) dest[x >> 3] |= iebitmask1[x & 7];
    }
    ReportRows(progress, y + 1);
  }
  bitmap->AssignImage(&result);
}

void _ConvertToBWThreshold(TIEBitmap* bitmap, Integer threshold, TProgressRec& progress) {
  if (!HasPixels(bitmap) || bitmap->GetPixelFormat() != ie24RGB) return;
  TIEBitmap result;
  result.Allocate(bitmap->GetWidth(), bitmap->GetHeight(), ie1g);
  _ConvertToBWThresholdEx(bitmap, &result, threshold, progress);
  bitmap->AssignImage(&result);
}

void _ConvertToBWThresholdEx(TIEBitmap* source, TIEBitmap* dest, Integer threshold,
                             TProgressRec& progress) {
  if (!HasPixels(source) || dest == nullptr || dest == source) return;
  if (dest->GetPixelFormat() != ie1g || dest->GetWidth() != source->GetWidth() ||
      dest->GetHeight() != source->GetHeight())
    return;
  const TIEPixelFormat format = source->GetPixelFormat();
  if (format == ie1g) {
    dest->AssignImage(source);
    return;
  }
  if (format != ie8p && format != ie8g && format != ie16g && format != ie24RGB) return;

  if (threshold == -2) {
    threshold = MaxEntropyThreshold(source);
  } else if (threshold == -1) {
    Integer r, g, b;
    _GetMediaContrastRGB(source, r, g, b);
    threshold = Gray(static_cast<Byte>(r), static_cast<Byte>(g), static_cast<Byte>(b));
  }

  const Integer width = source->GetWidth();
  const Integer height = source->GetHeight();
  std::vector<Byte> grays(static_cast<size_t>(width));
  StartRows(progress, height);
  for (Integer y = 0; y < height; ++y) {
    RowGrays(source, static_cast<const Byte*>(source->GetScanLine(y)), width, grays.data());
    Byte* row = static_cast<Byte*>(dest->GetScanLine(y));
    std::memset(row, 0, static_cast<size_t>(dest->GetRowLen()));
    for (Integer x = 0; x < width; ++x)
      if (grays[static_cast<size_t>(x)] >= threshold) row[x >> 3] |= iebitmask1[x & 7];
    ReportRows(progress, y + 1);
  }
}

std::unique_ptr<TIEBitmap> _ConvertTo1bitEx(TIEBitmap* bitmap, TRGB& color0, TRGB& color1) {
  if (!HasPixels(bitmap)) return nullptr;
  const Integer width = bitmap->GetWidth();
  const Integer height = bitmap->GetHeight();
  auto result = std::make_unique<TIEBitmap>();
  result->Allocate(width, height, ie1g);
  std::vector<TRGB> colors(static_cast<size_t>(width));
  Integer seen = 0;
  for (Integer y = 0; y < height && seen <= 2; ++y) {
    RowColors(static_cast<const Byte*>(bitmap->GetScanLine(y)), bitmap->GetPixelFormat(),
              bitmap->GetPaletteBuffer(), 0, width, colors.data());
    Byte* row = static_cast<Byte*>(result->GetScanLine(y));
    for (Integer x = 0; x < width; ++x) {
      const TRGB c = colors[static_cast<size_t>(x)];
      if (seen == 0 || (c != color0 && (seen == 1 || c != color1))) {
        if (seen == 0)
          color0 = c;
        else
          color1 = c;
        ++seen;
      }
      if (c != color0) row[x >> 3] |= iebitmask1[x & 7];
    }
  }
  if (seen != 2) return nullptr;
  const auto level = [](TRGB c) {
    return static_cast<Byte>(Round((21.0 * c.r + 71.0 * c.g + 8.0 * c.b) / 100.0));
  };
  if (level(color1) < level(color0)) {
    InvertRows(result.get());
    std::swap(color0, color1);
  }
  return result;
}

void _ConvRow1To24(const Byte* src, Byte* dest, Integer width) {
  if (width <= 0) return;
  ExpandRow(BlackWhiteTable(), src, dest, width);
}

void _Conv1to24(TBitmap* src, TBitmap* dest, TProgressRec& progress) {
  if (src == nullptr || dest == nullptr || src == dest || src->GetPixelFormat() != pf1bit) return;
  TRGB color0, color1;
  FrameworkTwoColors(src, color0, color1);
  const bool blackWhite = color0 == TRGB{0, 0, 0} && color1 == TRGB{255, 255, 255};
  const ExpansionTable table = blackWhite ? ExpansionTable{} : MakeExpansionTable(color0, color1);
  const ExpansionTable& use = blackWhite ? BlackWhiteTable() : table;

  dest->SetSize(1, 1);
  dest->SetPixelFormat(pf24bit);
  dest->SetSize(src->GetWidth(), src->GetHeight());
  const Integer width = src->GetWidth();
  const Integer height = src->GetHeight();
  StartRows(progress, height);
  for (Integer y = 0; y < height; ++y) {
    ExpandRow(use, static_cast<const Byte*>(src->ScanLine(y)), static_cast<Byte*>(dest->ScanLine(y)),
              width);
    ReportRows(progress, y + 1);
  }
}
