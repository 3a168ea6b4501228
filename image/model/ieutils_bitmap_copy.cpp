// TIEBitmap copies: to and from framework bitmaps and DIB sections, and rectangles
// between stores.
#include <algorithm>
#include <cstring>
#include <vector>

#include "image/model/iebitmap.h"
#include "image/model/ieutils.h"
#include "image/proc/dadiravproc.h"

namespace {

// Replaces the first count entries of a palettised framework bitmap's colour table.
void WriteFrameworkColors(TBitmap* bitmap, const TRGB* colors, Integer count) {
  std::vector<Byte> buffer(sizeof(LOGPALETTE) + static_cast<size_t>(count) * sizeof(PALETTEENTRY));
  auto* log = reinterpret_cast<LOGPALETTE*>(buffer.data());
  log->palVersion = 0x300;
  log->palNumEntries = static_cast<WORD>(count);
  for (Integer i = 0; i < count; ++i)
    log->palPalEntry[i] = PALETTEENTRY{colors[i].r, colors[i].g, colors[i].b, 0};
  bitmap->SetPalette(CreatePalette(log));
}

std::vector<TRGB> GreyRamp() {
  std::vector<TRGB> ramp(256);
  for (Integer i = 0; i < 256; ++i) {
    const auto v = static_cast<Byte>(i);
    ramp[static_cast<size_t>(i)] = TRGB{v, v, v};
  }
  return ramp;
}

// The framework bitmap's first count colours (zero where it has fewer).
void ReadFrameworkColors(TBitmap* bitmap, TRGB* colors, Integer count) {
  std::vector<PALETTEENTRY> entries(static_cast<size_t>(count));
  const HPALETTE palette = bitmap->GetPalette();
  if (palette != 0) GetPaletteEntries(palette, 0, static_cast<UINT>(count), entries.data());
  for (Integer i = 0; i < count; ++i) {
    const PALETTEENTRY& e = entries[static_cast<size_t>(i)];
    colors[i] = TRGB{e.peBlue, e.peGreen, e.peRed};
  }
}

}  // namespace

// ---------------------------------------------------------------------------
// Framework bitmaps

void TIEBitmap::CopyToTBitmap(TBitmap* bitmap) {
  if (bitmap == nullptr || pixelFormat_ == ienull) return;
  if (bitmap == frameworkBitmap_) {
    // The bitmap already holds these rows.
    UpdateTBitmapPalette();
    return;
  }
  bitmap->SetSize(1, 1);
  switch (pixelFormat_) {
    case ie1g:
      bitmap->SetPixelFormat(pf1bit);
      bitmap->SetMonochrome(true);
      break;
    case ie8p:
      bitmap->SetPixelFormat(pf8bit);
      WriteFrameworkColors(bitmap, palette_.get(), paletteCount_);
      break;
    case ie8g:
    case ie16g: {
      bitmap->SetPixelFormat(pf8bit);
      const std::vector<TRGB> ramp = GreyRamp();
      WriteFrameworkColors(bitmap, ramp.data(), 256);
      break;
    }
    default:
      bitmap->SetPixelFormat(pf24bit);
      break;
  }
  bitmap->SetSize(width_, height_);
  if (width_ <= 0 || height_ <= 0) return;
  const auto length = static_cast<size_t>(
      std::min(rowLen_, TBitmap::RowBytesFor(width_, pixelFormat_ == ie16g ? 8 : bitCount_)));
  for (Integer y = 0; y < height_; ++y) {
    const auto* from = static_cast<const Byte*>(GetScanLine(y));
    auto* to = static_cast<Byte*>(bitmap->ScanLine(y));
    if (pixelFormat_ != ie16g) {
      std::memcpy(to, from, length);
      continue;
    }
    for (Integer x = 0; x < width_; ++x) to[x] = from[2 * static_cast<size_t>(x) + 1];
  }
}

void TIEBitmap::CopyFromTBitmap(TBitmap* bitmap) {
  if (bitmap == nullptr || bitmap == frameworkBitmap_) return;
  const TPixelFormat format = bitmap->GetPixelFormat();
  if (format == pfDevice || format == pfCustom) return;
  const Integer width = bitmap->GetWidth();
  const Integer height = bitmap->GetHeight();

  if (location_ == ieTBitmap && format != pf1bit && format != pf24bit) {
    // Only 1- and 24-bit rows are kept as they are; the others are converted in a
    // store of their own first, and the framework bitmap takes that store's format.
    TIEBitmap converted;
    converted.CopyFromTBitmap(bitmap);
    std::unique_ptr<TIEBitmap> alpha = std::move(alphaPlane_);
    const bool isAlpha = isAlphaChannel_;
    AssignImage(&converted);
    alphaPlane_ = std::move(alpha);
    isAlphaChannel_ = isAlpha;
    return;
  }

  TIEPixelFormat storeFormat = ie24RGB;
  if (format == pf1bit) storeFormat = bitmap->GetMonochrome() || location_ == ieTBitmap ? ie1g : ie8p;
  else if (format == pf4bit || format == pf8bit) storeFormat = ie8p;
  if (location_ == ieTBitmap) {
    std::unique_ptr<TIEBitmap> alpha = std::move(alphaPlane_);
    const bool isAlpha = isAlphaChannel_;
    Allocate(width, height, storeFormat);
    alphaPlane_ = std::move(alpha);
    isAlphaChannel_ = isAlpha;
  } else {
    Allocate(width, height, storeFormat);
  }
  full_ = false;
  if (width_ <= 0 || height_ <= 0) return;

  const Integer bitsPerPixel = format == pf1bit ? 1 : format == pf4bit ? 4 : format == pf8bit ? 8
                               : format == pf15bit || format == pf16bit ? 16 : format == pf24bit ? 24 : 32;
  if (storeFormat == ie8p)
    ReadFrameworkColors(bitmap, palette_.get(), Integer{1} << bitsPerPixel);

  for (Integer y = 0; y < height_; ++y) {
    const auto* from = static_cast<const Byte*>(bitmap->ScanLine(y));
    auto* to = static_cast<Byte*>(GetScanLine(y));
    auto* rgb = reinterpret_cast<TRGB*>(to);
    switch (format) {
      case pf1bit:
        if (storeFormat == ie1g) {
          std::memcpy(to, from, static_cast<size_t>(rowLen_));
        } else {
          for (Integer x = 0; x < width_; ++x) to[x] = (from[x >> 3] & iebitmask1[x & 7]) ? 1 : 0;
        }
        break;
      case pf4bit:
        for (Integer x = 0; x < width_; ++x)
          to[x] = static_cast<Byte>((x & 1) ? from[x >> 1] & 0x0F : from[x >> 1] >> 4);
        break;
      case pf8bit:
        std::memcpy(to, from, static_cast<size_t>(width_));
        break;
      case pf15bit:
        for (Integer x = 0; x < width_; ++x) {
          const auto v = static_cast<Word>(from[2 * x] | (from[2 * x + 1] << 8));
          rgb[x] = TRGB{static_cast<Byte>((v & 31) << 3), static_cast<Byte>(((v >> 5) & 31) << 3),
                        static_cast<Byte>(((v >> 10) & 31) << 3)};
        }
        break;
      case pf16bit:
        for (Integer x = 0; x < width_; ++x) {
          const auto v = static_cast<Word>(from[2 * x] | (from[2 * x + 1] << 8));
          rgb[x] = TRGB{static_cast<Byte>((v & 31) << 3), static_cast<Byte>(((v >> 5) & 63) << 2),
                        static_cast<Byte>((v >> 11) << 3)};
        }
        break;
      case pf24bit:
        std::memcpy(to, from, 3 * static_cast<size_t>(width_));
        break;
      default:
        for (Integer x = 0; x < width_; ++x) rgb[x] = TRGB{from[4 * x], from[4 * x + 1], from[4 * x + 2]};
        break;
    }
  }
}

// ---------------------------------------------------------------------------
// DIB sections

void TIEBitmap::CopyFromTDibBitmap(TIEDibbitmap* dib) {
  if (dib == nullptr || dib->GetBits() == nullptr) return;
  const Integer bits = dib->GetBitCount();
  if (bits != 1 && bits != 24) return;
  Allocate(dib->GetWidth(), dib->GetHeight(), bits == 1 ? ie1g : ie24RGB);
  const auto length = static_cast<size_t>(std::min(rowLen_, dib->GetRowLen()));
  for (Integer y = 0; y < height_; ++y) std::memcpy(GetScanLine(y), dib->GetScanLine(y), length);
}

void TIEBitmap::MergeFromTDibBitmap(TIEDibbitmap* dib, Integer x, Integer y) {
  if (dib == nullptr || dib->GetBits() == nullptr || width_ <= 0 || height_ <= 0) return;
  const Integer bits = dib->GetBitCount();
  if (bits != bitCount_ || (pixelFormat_ != ie1g && pixelFormat_ != ie24RGB)) return;
  // The part of the DIB that lands inside the store.
  const Int64 left = std::max<Int64>(0, -Int64{x});
  const Int64 top = std::max<Int64>(0, -Int64{y});
  const Int64 right = std::min<Int64>(dib->GetWidth(), Int64{width_} - x);
  const Int64 bottom = std::min<Int64>(dib->GetHeight(), Int64{height_} - y);
  if (right <= left || bottom <= top) return;
  const auto count = static_cast<Integer>(right - left);
  for (auto row = static_cast<Integer>(top); row < bottom; ++row) {
    const auto* from = static_cast<const Byte*>(dib->GetScanLine(row));
    auto* to = static_cast<Byte*>(GetScanLine(y + row));
    if (bits == 1)
      _CopyBits(to, from, x + static_cast<Integer>(left), static_cast<Integer>(left), count,
                dib->GetRowLen());
    else
      std::memcpy(to + 3 * (x + left), from + 3 * left, 3 * static_cast<size_t>(count));
  }
}

void TIEBitmap::CopyToTDibBitmap(TIEDibbitmap* dib, Integer x, Integer y, Integer width,
                                 Integer height) {
  if (dib == nullptr || dib->GetBits() == nullptr || width_ <= 0 || height_ <= 0) return;
  const Integer bits = dib->GetBitCount();
  if (bits != bitCount_ || (pixelFormat_ != ie1g && pixelFormat_ != ie24RGB)) return;
  // Store pixel (x + i, y + j) goes to DIB pixel (i, j); only what lies in both.
  const Int64 left = std::max<Int64>(0, -Int64{x});
  const Int64 top = std::max<Int64>(0, -Int64{y});
  const Int64 right = std::min({Int64{width}, Int64{dib->GetWidth()}, Int64{width_} - x});
  const Int64 bottom = std::min({Int64{height}, Int64{dib->GetHeight()}, Int64{height_} - y});
  if (right <= left || bottom <= top) return;
  const auto count = static_cast<Integer>(right - left);
  for (auto j = static_cast<Integer>(top); j < bottom; ++j) {
    const auto* from = static_cast<const Byte*>(GetScanLine(y + j));
    auto* to = static_cast<Byte*>(dib->GetScanLine(j));
    if (bits == 1)
      _CopyBits(to, from, static_cast<Integer>(left), x + static_cast<Integer>(left), count, rowLen_);
    else
      std::memcpy(to + 3 * left, from + 3 * (x + left), 3 * static_cast<size_t>(count));
  }
}

// ---------------------------------------------------------------------------
// Rectangles between stores

void TIEBitmap::CopyRectTo(TIEBitmap* dest, Integer srcX, Integer srcY, Integer dstX, Integer dstY,
                           Integer width, Integer height) {
  if (dest == nullptr || dest->pixelFormat_ != pixelFormat_ || pixelFormat_ == ienull) return;
  if (width_ <= 0 || height_ <= 0 || dest->width_ <= 0 || dest->height_ <= 0) return;
  Int64 sx = srcX, sy = srcY, dx = dstX, dy = dstY, w = width, h = height;
  if (dx < 0) {
    sx -= dx;
    w += dx;
    dx = 0;
  }
  if (dy < 0) {
    sy -= dy;
    h += dy;
    dy = 0;
  }
  dx = std::min<Int64>(dx, dest->width_ - 1);
  dy = std::min<Int64>(dy, dest->height_ - 1);
  sx = std::clamp<Int64>(sx, 0, width_ - 1);
  sy = std::clamp<Int64>(sy, 0, height_ - 1);
  w = std::min({w, width_ - sx, dest->width_ - dx});
  h = std::min({h, height_ - sy, dest->height_ - dy});
  if (w <= 0 || h <= 0) return;

  const bool self = dest == this;
  // Copying inside one store: rows downwards are taken from the bottom up, and each
  // source row passes through a buffer, so overlapping rectangles come out whole.
  std::vector<Byte> buffer(self ? static_cast<size_t>(rowLen_) : 0);
  const bool upwards = self && dy > sy;
  const size_t bytesPerPixel = static_cast<size_t>(bitCount_ / 8);
  for (Int64 i = 0; i < h; ++i) {
    const Int64 row = upwards ? h - 1 - i : i;
    const auto* from = static_cast<const Byte*>(GetScanLine(static_cast<Integer>(sy + row)));
    if (self) {
      std::memcpy(buffer.data(), from, buffer.size());
      from = buffer.data();
    }
    auto* to = static_cast<Byte*>(dest->GetScanLine(static_cast<Integer>(dy + row)));
    if (pixelFormat_ == ie1g)
      _CopyBits(to, from, static_cast<Integer>(dx), static_cast<Integer>(sx), static_cast<Integer>(w),
                rowLen_);
    else
      std::memcpy(to + dx * bytesPerPixel, from + sx * bytesPerPixel,
                  static_cast<size_t>(w) * bytesPerPixel);
  }
}
