// TIEBitmap pixel-format conversions: the one definition of the library's grey,
// 16-bit grey and black-and-white rules.
#include <algorithm>
#include <cstring>
#include <span>

#include "image/formats/neurquant.h"
#include "image/model/iebitmap.h"
#include "image/model/ieutils.h"
#include "image/proc/dadiravproc.h"

namespace {

// (21 R + 71 G + 8 B) div 100.
inline Integer Grey(TRGB c) { return (21 * c.r + 71 * c.g + 8 * c.b) / 100; }
// The 16-bit grey level: white gives 65280.
inline Word Grey16(TRGB c) {
  return static_cast<Word>((c.r * 256 * 212 + c.g * 256 * 713 + c.b * 256 * 75) / 1000);
}
inline Word ReadWord(const Byte* p) { return static_cast<Word>(p[0] | (p[1] << 8)); }
inline void WriteWord(Byte* p, Word v) {
  p[0] = static_cast<Byte>(v);
  p[1] = static_cast<Byte>(v >> 8);
}

// The ordered-dither level (0..63) of pixel x of a row.
inline Integer DitherLevel(TIEPixelFormat format, const Byte* row, const TRGB* palette, Integer x) {
  switch (format) {
    case ie8p: return Grey(palette[row[x]]) / 4;
    case ie8g: return row[x] / 4;
    case ie16g: return ReadWord(row + 2 * static_cast<size_t>(x)) >> 10;
    default: return Grey(reinterpret_cast<const TRGB*>(row)[x]) / 4;
  }
}

// One row into ie1g by the Bayer matrix.
void OrderedRow(TIEPixelFormat format, const Byte* from, const TRGB* palette, Byte* to,
                Integer width, Integer y) {
  std::memset(to, 0, static_cast<size_t>((width + 7) / 8));
  for (Integer x = 0; x < width; ++x)
    if (IEBayerMatrix[x & 7][y & 7] < DitherLevel(format, from, palette, x))
      to[x >> 3] |= iebitmask1[x & 7];
}

// One row between two formats other than an ie1g target and ie24RGB to ie8p.
void ConvertRow(TIEPixelFormat fromFormat, TIEPixelFormat toFormat, const Byte* from,
                const TRGB* palette, Byte* to, Integer width) {
  auto* toRGB = reinterpret_cast<TRGB*>(to);
  const auto* fromRGB = reinterpret_cast<const TRGB*>(from);
  for (Integer x = 0; x < width; ++x) {
    const size_t i = static_cast<size_t>(x);
    switch (fromFormat) {
      case ie1g: {
        const bool white = (from[x >> 3] & iebitmask1[x & 7]) != 0;
        if (toFormat == ie8p) to[i] = white ? 1 : 0;
        else if (toFormat == ie8g) to[i] = white ? 255 : 0;
        else if (toFormat == ie16g) WriteWord(to + 2 * i, white ? 65535 : 0);
        else toRGB[i] = white ? TRGB{255, 255, 255} : TRGB{};
        break;
      }
      case ie8p: {
        const TRGB c = palette[from[i]];
        if (toFormat == ie8g) to[i] = static_cast<Byte>(Grey(c));
        else if (toFormat == ie16g) WriteWord(to + 2 * i, Grey16(c));
        else toRGB[i] = c;
        break;
      }
      case ie8g: {
        const Byte v = from[i];
        if (toFormat == ie8p) to[i] = v;
        else if (toFormat == ie16g) WriteWord(to + 2 * i, static_cast<Word>(v << 8));
        else toRGB[i] = TRGB{v, v, v};
        break;
      }
      case ie16g: {
        const auto v = static_cast<Byte>(ReadWord(from + 2 * i) >> 8);
        if (toFormat == ie24RGB) toRGB[i] = TRGB{v, v, v};
        else to[i] = v;
        break;
      }
      case ie24RGB: {
        const TRGB c = fromRGB[i];
        if (toFormat == ie8g) to[i] = static_cast<Byte>(Grey(c));
        else WriteWord(to + 2 * i, Grey16(c));
        break;
      }
      case ienull:
        break;
    }
  }
}

}  // namespace

void TIEBitmap::SetPixelFormat(TIEPixelFormat format) {
  if (format != pixelFormat_) ConvertToPixelFormat(format);
}

void TIEBitmap::ConvertToPixelFormat(TIEPixelFormat format) {
  // Converting to the format held would only lose the pixels.
  if (format == pixelFormat_) return;
  if (location_ == ieTBitmap)
    ConvertFramework(format);
  else
    ConvertStored(format);
}

void TIEBitmap::ConvertStored(TIEPixelFormat format) {
  TIEBitmap old;
  SwitchTo(&old);
  if (format == ienull) {
    // A store of no format holds no pixels.
    pixelFormat_ = ienull;
    TakeAlphaFrom(old);
    return;
  }
  width_ = old.width_;
  height_ = old.height_;
  pixelFormat_ = format;
  try {
    AllocateImage();
  } catch (...) {
    old.SwitchTo(this);  // the old picture stays
    throw;
  }
  TakeAlphaFrom(old);
  const TIEPixelFormat from = old.pixelFormat_;
  if (from == ienull || width_ <= 0 || height_ <= 0) return;

  const TRGB* palette = old.palette_.get();
  if (format == ie1g) {
    if (defaultDitherMethod_ == ieThreshold) {
      TProgressRec progress;
      _ConvertToBWThresholdEx(&old, this, -1, progress);
      return;
    }
    for (Integer y = 0; y < height_; ++y)
      OrderedRow(from, static_cast<const Byte*>(old.GetScanLine(y)), palette,
                 static_cast<Byte*>(GetScanLine(y)), width_, y);
    return;
  }

  if (format == ie8p) {
    if (from == ie1g) {
      palette_[0] = TRGB{};
      palette_[1] = TRGB{255, 255, 255};
    } else if (from == ie8g || from == ie16g) {
      for (Integer i = 0; i < 256; ++i) {
        const auto v = static_cast<Byte>(i);
        palette_[static_cast<size_t>(i)] = TRGB{v, v, v};
      }
    } else if (from == ie24RGB) {
      TIEQuantizer quantizer(&old, std::span<TRGB>(palette_.get(), 256), 256, -1, 0);
      for (Integer y = 0; y < height_; ++y) {
        const auto* in = static_cast<const TRGB*>(old.GetScanLine(y));
        auto* out = static_cast<Byte*>(GetScanLine(y));
        for (Integer x = 0; x < width_; ++x)
          out[x] = static_cast<Byte>(std::max(quantizer.GetRGBIndex(in[x]), 0));
      }
      return;
    }
  }

  for (Integer y = 0; y < height_; ++y)
    ConvertRow(from, format, static_cast<const Byte*>(old.GetScanLine(y)), palette,
               static_cast<Byte*>(GetScanLine(y)), width_);
}

void TIEBitmap::ConvertFramework(TIEPixelFormat format) {
  if (frameworkBitmap_ == nullptr || width_ <= 0 || height_ <= 0 || pixelFormat_ == ienull) {
    pixelFormat_ = format == ie16g ? ie8g : format;
    return;
  }
  TProgressRec progress;
  if (pixelFormat_ == ie1g && format == ie24RGB) {
    TBitmap clone;
    clone.Assign(frameworkBitmap_);
    _Conv1to24(&clone, frameworkBitmap_, progress);
  } else if (pixelFormat_ == ie24RGB && format == ie1g) {
    // Converted in place: a store that adopts the framework bitmap is reshaped by
    // the worker, and freeing it leaves the bitmap alone.
    TIEBitmap adopter;
    adopter.EncapsulateTBitmap(frameworkBitmap_, false);
    if (defaultDitherMethod_ == ieOrdered)
      _ConvertToBWOrdered(&adopter, progress);
    else
      _ConvertToBWThreshold(&adopter, -1, progress);
  } else {
    // Any other pair goes through a store in memory (or file), and the framework
    // bitmap takes the result's format, so rows and format never disagree.
    TIEBitmap converted;
    converted.AssignImage(this);
    converted.defaultDitherMethod_ = defaultDitherMethod_;
    converted.ConvertStored(format);
    std::unique_ptr<TIEBitmap> alpha = std::move(alphaPlane_);
    const bool isAlpha = isAlphaChannel_;
    ReleaseImage(true);
    width_ = converted.width_;
    height_ = converted.height_;
    pixelFormat_ = converted.pixelFormat_;
    AllocateImage();
    CopyPixelsFrom(&converted);
    if (paletteCount_ > 0 && converted.palette_)
      std::memcpy(palette_.get(), converted.palette_.get(),
                  sizeof(TRGB) * static_cast<size_t>(paletteCount_));
    UpdateTBitmapPalette();
    alphaPlane_ = std::move(alpha);
    isAlphaChannel_ = isAlpha;
    return;
  }
  // The format is read back from the framework bitmap, which the worker reshaped.
  palette_.reset();
  paletteCount_ = 0;
  const TPixelFormat held = frameworkBitmap_->GetPixelFormat();
  if (held != pf1bit && held != pf24bit) {
    ReleaseImage(true);
    pixelFormat_ = ienull;
    return;
  }
  pixelFormat_ = held == pf1bit ? ie1g : ie24RGB;
  width_ = frameworkBitmap_->GetWidth();
  height_ = frameworkBitmap_->GetHeight();
  bitCount_ = IEPixelFormatBits(pixelFormat_);
  rowLen_ = _BitmapRowLen(width_, bitCount_);
  BuildBitmapScanlines();
  full_ = false;
}
