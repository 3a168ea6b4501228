// Icon and cursor readers and detectors.
#include <algorithm>
#include <array>
#include <cstring>
#include <exception>
#include <vector>

#include "image/formats/bmpfilt.h"
#include "image/formats/pngfilt.h"
#include "image/model/ieutils.h"
#include "platform/rtl/Math.h"

namespace {

constexpr Integer kEntrySize = 16;
// Largest image the readers allocate, in pixels.
constexpr Int64 kMaxPixels = IEMaxPixels;

Word Le16(const Byte* p) { return static_cast<Word>(p[0] | (p[1] << 8)); }
DWORD Le32(const Byte* p) {
  return static_cast<DWORD>(p[0]) | (static_cast<DWORD>(p[1]) << 8) |
         (static_cast<DWORD>(p[2]) << 16) | (static_cast<DWORD>(p[3]) << 24);
}

bool TryDirectory(TStream* Stream, Word type) {
  const Int64 start = Stream->GetPosition();
  const Int64 size = Stream->GetSize() - start;
  bool ok = false;
  Byte h[6];
  if (size > 22 && Stream->Read(h, 6) == 6 && Le16(h) == 0 && Le16(h + 2) == type && Le16(h + 4) > 0 &&
      6 + Int64{Le16(h + 4)} * kEntrySize <= size) {
    ok = true;
    std::vector<Byte> dir(static_cast<size_t>(Le16(h + 4)) * kEntrySize);  // at most 1 MB, all present
    Stream->Read(dir.data(), static_cast<Integer>(dir.size()));
    for (Integer i = 0; i < Le16(h + 4) && ok; ++i) {
      const Byte* e = dir.data() + static_cast<size_t>(i) * kEntrySize;
      const Int64 after = 6 + Int64{i + 1} * kEntrySize;
      ok = e[3] == 0 && Le32(e + 8) != 0 && Le32(e + 12) >= after;
    }
  }
  Stream->SetPosition(start);
  return ok;
}

Integer DpiFromPpm(Integer ppm) {
  if (ppm < 1) return IEScreenDpiX();
  const Int64 dpi = Round(ppm / 100.0 * 2.54);
  return dpi <= 0 || dpi > 1000000 ? IEScreenDpiX() : static_cast<Integer>(dpi);
}

void ReadIcon(TStream* Stream, TIEBitmap* Bitmap, TIOParamsVals& Params, bool Preview,
              TProgressRec& Progress, std::unique_ptr<TIEMask>& Mask, bool IgnoreAlpha, bool cursor) {
  const Int64 start = Stream->GetPosition();
  const Int64 end = Stream->GetSize();
  Byte h[6];
  if (Stream->Read(h, 6) != 6) return Progress.Abort();
  if (!cursor && h[0] == 'B' && h[1] == 'M') {
    Stream->SetPosition(start);
    return BMPReadStream(Stream, Bitmap, end - start, Params, Progress, Preview);
  }
  const Integer count = Le16(h + 4);
  const Integer index = cursor ? Params.CUR_ImageIndex : Params.ICO_ImageIndex;
  if (index < 0 || index >= count) return Progress.Abort();
  Byte e[kEntrySize];
  Stream->SetPosition(start + 6 + Int64{index} * kEntrySize);
  if (Stream->Read(e, kEntrySize) != kEntrySize) return Progress.Abort();
  const Int64 offset = Le32(e + 12);
  if (start + offset + 8 > end) return Progress.Abort();
  if (cursor) {
    Params.CUR_XHotSpot = Le16(e + 4);
    Params.CUR_YHotSpot = Le16(e + 6);
  }
  const TRGB background = cursor ? Params.CUR_Background : Params.ICO_Background;

  // Images stored as PNG files go to the PNG reader.
  Stream->SetPosition(start + offset);
  if (IsPNGStream(Stream)) {
    const TRGB keep = Params.PNG_Background;
    Params.PNG_Background = background;
    ReadPNGStream(Stream, Bitmap, Params, Progress, Preview, Mask, IgnoreAlpha);
    Params.PNG_Background = keep;
    return;
  }

  Byte ih[40];
  if (Stream->Read(ih, 40) != 40) return Progress.Abort();
  const DWORD headerSize = Le32(ih);
  if (headerSize < 40 || headerSize > 4096) return Progress.Abort();
  // Icon bitmaps are stored uncompressed.
  if (Le32(ih + 16) != 0) return Progress.Abort();
  const Int64 headerWidth = static_cast<Integer>(Le32(ih + 4));
  const Int64 headerHeight = static_cast<Integer>(Le32(ih + 8)) / 2;
  Params.DpiX = DpiFromPpm(static_cast<Integer>(Le32(ih + 24)));
  Params.DpiY = DpiFromPpm(static_cast<Integer>(Le32(ih + 28)));

  Integer bits = Le16(ih + 14);
  if (bits == 0 && !cursor) bits = Le16(e + 6);
  if (bits == 0) {
    if (e[2] == 0) return Progress.Abort();
    bits = _NColToBitsPixel(e[2]);
  }
  if (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32) return Progress.Abort();
  Params.BitsPerSample = bits <= 8 ? bits : 8;
  Params.SamplesPerPixel = bits <= 8 ? 1 : 3;

  Int64 width = e[0], height = e[1];
  if (width == 0) width = headerWidth;
  if (height == 0) height = headerHeight;
  if (!cursor && e[0] != 0 && headerWidth != 0 && e[0] != headerWidth && headerWidth < 2048 &&
      headerHeight < 1024) {
    width = headerWidth;
    height = headerHeight;
  }
  if (width <= 0 || height <= 0 || width * height > kMaxPixels) return Progress.Abort();

  // The palette: 2^bits entries (a cursor: its entry's colour count when that is
  // smaller). Indexes past it read as black.
  std::array<TRGB, 256> lut{};
  Params.ColorMap.reset();
  Params.ColorMapCount = 0;
  Stream->SetPosition(start + offset + headerSize);
  if (bits <= 8) {
    Integer entries = 1 << bits;
    if (cursor && e[2] != 0) entries = std::min<Integer>(entries, e[2] == 255 ? 256 : e[2]);
    Byte pal[256 * 4];
    if (Stream->Read(pal, entries * 4) != entries * 4) return Progress.Abort();
    Params.ColorMap = std::make_unique<TRGB[]>(static_cast<size_t>(entries));
    for (Integer i = 0; i < entries; ++i) lut[static_cast<size_t>(i)] = Params.ColorMap[i] = TRGB{pal[4 * i], pal[4 * i + 1], pal[4 * i + 2]};
    Params.ColorMapCount = entries;
  }
  Params.Width = static_cast<Integer>(width);
  Params.Height = static_cast<Integer>(height);

  const Integer w = Params.Width, ht = Params.Height;
  const Integer colourRow = _BitmapRowLen(w, bits);
  const Integer andRow = _BitmapRowLen(w, 1);
  const Int64 colourBytes = Int64{colourRow} * ht;
  const Int64 andBytes = Int64{andRow} * ht;
  const Int64 present = end - Stream->GetPosition();
  if (colourBytes > present) return Progress.Abort();
  // 32-bit images carry their alpha; their AND mask may be left out.
  const bool hasAnd = andBytes <= present - colourBytes;
  if (!hasAnd && bits != 32) return Progress.Abort();
  if (Preview) return;

  std::vector<Byte> colour(static_cast<size_t>(colourBytes));  // bounded by the stream's bytes
  std::vector<Byte> andMask(static_cast<size_t>(andBytes), 0);
  if (Stream->Read(colour.data(), static_cast<Integer>(colourBytes)) != colourBytes) return Progress.Abort();
  if (hasAnd && Stream->Read(andMask.data(), static_cast<Integer>(andBytes)) != andBytes) return Progress.Abort();
  auto transparent = [&](Integer x, Integer n) {
    return ((andMask[static_cast<size_t>(n) * andRow + static_cast<size_t>(x >> 3)] >> (7 - (x & 7))) & 1) != 0;
  };

  const TRGB black{0, 0, 0}, white{255, 255, 255};
  const bool bilevel = bits == 1 && lut[0] == black && lut[1] == white;
  Bitmap->Allocate(w, ht, bilevel ? ie1g : ie24RGB);
  TIEMask* mask = nullptr;
  if (!IgnoreAlpha) {
    if (!Mask) Mask = std::make_unique<TIEMask>();
    Mask->AllocateBits(w, ht, 8);
    Mask->Fill(255);
    Mask->SetFull(false);
    mask = Mask.get();
  }
  // 32-bit images whose alpha is 0 everywhere predate alpha: their AND mask holds.
  bool useAlpha = false;
  if (bits == 32)
    for (size_t i = 3; i < colour.size() && !useAlpha; i += 4) useAlpha = colour[i] != 0;

  // One colour row: palette or direct colours, transparent pixels painted with the
  // background (partly transparent ones blended onto it when the alpha is ignored).
  const auto readColourRow = [&](const Byte* src, Byte* dst, Byte* alpha, Integer n) {
    for (Integer x = 0; x < w; ++x) {
      TRGB c;
      Integer a = 255;
      switch (bits) {
        case 1: c = lut[(src[x >> 3] >> (7 - (x & 7))) & 1]; break;
        case 4: c = lut[(x & 1) ? (src[x >> 1] & 0x0F) : (src[x >> 1] >> 4)]; break;
        case 8: c = lut[src[x]]; break;
        case 24: c = TRGB{src[3 * x], src[3 * x + 1], src[3 * x + 2]}; break;
        default:
          c = TRGB{src[4 * x], src[4 * x + 1], src[4 * x + 2]};
          if (useAlpha) a = src[4 * x + 3];
          break;
      }
      if (!useAlpha && transparent(x, n)) a = 0;
      if (a == 0) {
        c = background;
      } else if (a < 255 && IgnoreAlpha) {
        c = TRGB{static_cast<Byte>((c.b * a + background.b * (255 - a)) / 255),
                 static_cast<Byte>((c.g * a + background.g * (255 - a)) / 255),
                 static_cast<Byte>((c.r * a + background.r * (255 - a)) / 255)};
      }
      if (alpha != nullptr) alpha[x] = static_cast<Byte>(a);
      dst[3 * x] = c.b;
      dst[3 * x + 1] = c.g;
      dst[3 * x + 2] = c.r;
    }
  };

  Progress.per1 = 100.0 / ht;
  for (Integer n = 0; n < ht; ++n) {  // file rows, bottom up
    if (Progress.Aborted()) return;
    const Integer y = ht - 1 - n;
    const Byte* src = colour.data() + static_cast<size_t>(n) * static_cast<size_t>(colourRow);
    Byte* dst = static_cast<Byte*>(Bitmap->GetScanLine(y));
    Byte* alpha = mask != nullptr ? mask->GetScanLine(y) : nullptr;
    if (bilevel) {
      // With a white background transparent pixels turn white and the inverting
      // ones black; with any other background the reverse.
      const bool flip = background == white;
      std::memcpy(dst, src, static_cast<size_t>((w + 7) / 8));
      for (Integer x = 0; x < w; ++x) {
        if (!transparent(x, n)) continue;
        if (alpha != nullptr) alpha[x] = 0;
        if (flip) dst[x >> 3] ^= static_cast<Byte>(0x80 >> (x & 7));
      }
    } else {
      readColourRow(src, dst, alpha, n);
    }
    Progress.Report(static_cast<Integer>(Trunc(Progress.per1 * (n + 1))));
  }
}

}  // namespace

bool ICOTryStream(TStream* Stream) { return TryDirectory(Stream, 1); }
bool CURTryStream(TStream* Stream) { return TryDirectory(Stream, 2); }

void ICOReadStream(TStream* Stream, TIEBitmap* Bitmap, TIOParamsVals& Params, bool Preview,
                   TProgressRec& Progress, std::unique_ptr<TIEMask>& Mask, bool IgnoreAlpha) {
  try {
    ReadIcon(Stream, Bitmap, Params, Preview, Progress, Mask, IgnoreAlpha, false);
  } catch (const std::exception&) {
    Progress.Abort();
  }
}

void CURReadStream(TStream* Stream, TIEBitmap* Bitmap, TIOParamsVals& Params, bool Preview,
                   TProgressRec& Progress, std::unique_ptr<TIEMask>& Mask, bool IgnoreAlpha) {
  try {
    ReadIcon(Stream, Bitmap, Params, Preview, Progress, Mask, IgnoreAlpha, true);
  } catch (const std::exception&) {
    Progress.Abort();
  }
}
