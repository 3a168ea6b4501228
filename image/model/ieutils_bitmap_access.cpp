// TIEBitmap content: assignment, the alpha plane, the palette, pixels and fills.
#include <algorithm>
#include <cstring>

#include "image/model/iebitmap.h"
#include "image/model/ieutils.h"

namespace {

TRGB ColorToTRGB(TColor color) {
  const auto rgb = static_cast<DWORD>(ColorToRGB(color));
  return TRGB{static_cast<Byte>(rgb >> 16), static_cast<Byte>(rgb >> 8), static_cast<Byte>(rgb)};
}

// Sets (set) or clears bits x1..x2 of a 1-bit row.
void FillBits(Byte* row, Integer x1, Integer x2, bool set) {
  for (Integer x = x1; x <= x2;) {
    if ((x & 7) == 0 && x + 7 <= x2) {
      const Integer bytes = (x2 - x + 1) >> 3;
      std::memset(row + (x >> 3), set ? 0xFF : 0x00, static_cast<size_t>(bytes));
      x += bytes << 3;
      continue;
    }
    if (set)
      row[x >> 3] |= iebitmask1[x & 7];
    else
      row[x >> 3] &= static_cast<Byte>(~iebitmask1[x & 7]);
    ++x;
  }
}

// Writes value into pixels x1..x2 of a row in Fill's conventions.
void FillPixels(Byte* row, TIEPixelFormat format, Integer x1, Integer x2, Integer value) {
  switch (format) {
    case ie1g:
      FillBits(row, x1, x2, value != 0);
      break;
    case ie8p:
    case ie8g:
      std::memset(row + x1, static_cast<Byte>(value), static_cast<size_t>(x2 - x1 + 1));
      break;
    case ie16g: {
      Byte* p = row + 2 * static_cast<size_t>(x1);
      for (Integer x = x1; x <= x2; ++x, p += 2) {
        p[0] = static_cast<Byte>(value);
        p[1] = static_cast<Byte>(value >> 8);
      }
      break;
    }
    case ie24RGB: {
      const TRGB c = ColorToTRGB(value);
      TRGB* p = reinterpret_cast<TRGB*>(row) + x1;
      for (Integer x = x1; x <= x2; ++x) *p++ = c;
      break;
    }
    case ienull:
      break;
  }
}

}  // namespace

// ---------------------------------------------------------------------------
// Assignment

void TIEBitmap::Assign(TObject* source) {
  if (source == nullptr || source == this) return;
  if (auto* bitmap = dynamic_cast<TIEBitmap*>(source)) {
    AssignFrom(bitmap, true);
    return;
  }
  if (auto* framework = dynamic_cast<TBitmap*>(source)) CopyFromTBitmap(framework);
}

void TIEBitmap::AssignImage(TIEBitmap* source) {
  if (source == nullptr || source == this) return;
  AssignFrom(source, false);
}

void TIEBitmap::AssignFrom(TIEBitmap* source, bool withAlpha) {
  // Our own alpha plane as the source must survive the release of this image.
  std::unique_ptr<TIEBitmap> keeper;
  if (source == alphaPlane_.get()) keeper = std::move(alphaPlane_);

  ReleaseImage(true);
  width_ = source->width_;
  height_ = source->height_;
  pixelFormat_ = source->pixelFormat_;
  AllocateImage();
  if (width_ > 0 && height_ > 0 && bitCount_ > 0) CopyPixelsFrom(source);
  if (paletteCount_ > 0 && source->palette_)
    std::memcpy(palette_.get(), source->palette_.get(),
                sizeof(TRGB) * static_cast<size_t>(std::min(paletteCount_, source->paletteCount_)));
  UpdateTBitmapPalette();
  if (!withAlpha) {
    full_ = false;
    return;
  }
  full_ = source->full_;
  if (!isAlphaChannel_ && source->alphaPlane_) GetAlphaChannel()->AssignFrom(source->alphaPlane_.get(), true);
  defaultDitherMethod_ = source->defaultDitherMethod_;
}

void TIEBitmap::CopyPixelsFrom(TIEBitmap* source) {
  const Integer rows = std::min(height_, source->height_);
  if (rows <= 0) return;
  if (location_ == ieFile && source->location_ == ieFile && rowLen_ == source->rowLen_ &&
      bitCount_ == source->bitCount_) {
    // The file's bytes directly; the windows in use may hold the rows too, but they
    // share the file's pages.
    if (source->mappedFile_->CopyTo(mappedFile_.get(), 0, 0,
                                    static_cast<UInt64>(rowLen_) * static_cast<UInt64>(rows)))
      return;
  }
  // ie16g kept as ie8g (framework storage) takes the high byte.
  const bool highBytes = source->bitCount_ == 16 && bitCount_ == 8;
  const auto length = static_cast<size_t>(std::min(rowLen_, source->rowLen_));
  for (Integer r = 0; r < rows; ++r) {
    const auto* from = static_cast<const Byte*>(source->GetScanLine(r));
    auto* to = static_cast<Byte*>(GetScanLine(r));
    if (!highBytes) {
      std::memcpy(to, from, length);
      continue;
    }
    for (Integer x = 0; x < width_; ++x) to[x] = from[2 * static_cast<size_t>(x) + 1];
  }
}

// ---------------------------------------------------------------------------
// Alpha plane

TIEBitmap* TIEBitmap::GetAlphaChannel() {
  if (isAlphaChannel_) return nullptr;
  if (!alphaPlane_) alphaPlane_ = std::make_unique<TIEBitmap>(width_, height_, location_);
  return alphaPlane_.get();
}

void TIEBitmap::RemoveAlphaChannel() {
  if (!isAlphaChannel_) alphaPlane_.reset();
}

Byte TIEBitmap::GetAlpha(Integer x, Integer y) {
  TIEBitmap* alpha = GetAlphaChannel();
  return alpha != nullptr ? alpha->GetPixels_ie8(x, y) : 255;
}

void TIEBitmap::SetAlpha(Integer x, Integer y, Byte value) {
  TIEBitmap* alpha = GetAlphaChannel();
  if (alpha == nullptr) return;
  alpha->SetPixels_ie8(x, y, value);
  if (value != 255) full_ = false;
}

// ---------------------------------------------------------------------------
// Palette and pixels

TRGB TIEBitmap::GetPalette(Integer index) const {
  if (index < 0 || index >= paletteCount_) return TRGB{};
  return palette_[static_cast<size_t>(index)];
}

void TIEBitmap::SetPalette(Integer index, TRGB value) {
  if (index < 0 || index >= paletteCount_) return;
  palette_[static_cast<size_t>(index)] = value;
  UpdateTBitmapPalette();
}

TRGB TIEBitmap::GetPixels(Integer x, Integer y) const {
  switch (pixelFormat_) {
    case ie1g:
      return GetPixels_ie1g(x, y) ? TRGB{255, 255, 255} : TRGB{};
    case ie8p:
      return GetPalette(GetPixels_ie8(x, y));
    case ie8g: {
      const Byte v = GetPixels_ie8(x, y);
      return TRGB{v, v, v};
    }
    case ie16g: {
      const auto v = static_cast<Byte>(GetPixels_ie16g(x, y) >> 8);
      return TRGB{v, v, v};
    }
    case ie24RGB:
      return GetPixels_ie24RGB(x, y);
    case ienull:
      break;
  }
  return TRGB{};
}

void TIEBitmap::Fill(Integer value) {
  if (pixelFormat_ == ienull) return;
  switch (pixelFormat_) {
    case ie1g: full_ = value != 0; break;
    case ie8p:
    case ie8g: full_ = value == 255; break;
    case ie16g: full_ = value == 65535; break;
    default: full_ = ColorToTRGB(value) == TRGB{255, 255, 255}; break;
  }
  if (width_ <= 0 || height_ <= 0) return;
  for (Integer y = 0; y < height_; ++y) {
    auto* row = static_cast<Byte*>(GetScanLine(y));
    switch (pixelFormat_) {
      case ie1g:
        std::memset(row, value != 0 ? 0xFF : 0x00, static_cast<size_t>(rowLen_));
        break;
      case ie8p:
      case ie8g:
        std::memset(row, static_cast<Byte>(value), static_cast<size_t>(rowLen_));
        break;
      default:
        FillPixels(row, pixelFormat_, 0, width_ - 1, value);
        break;
    }
  }
}

void TIEBitmap::FillRect(Integer x1, Integer y1, Integer x2, Integer y2, Integer value) {
  if (x2 < x1 || y2 < y1 || pixelFormat_ == ienull) return;
  x1 = std::max(x1, 0);
  y1 = std::max(y1, 0);
  x2 = std::min(x2, width_ - 1);
  y2 = std::min(y2, height_ - 1);
  if (x2 < x1 || y2 < y1) return;
  for (Integer y = y1; y <= y2; ++y)
    FillPixels(static_cast<Byte*>(GetScanLine(y)), pixelFormat_, x1, x2, value);
}

void TIEBitmap::SyncFull() {
  for (Integer y = 0; y < height_ && rowLen_ > 0; ++y) {
    const auto* row = static_cast<const Byte*>(GetScanLine(y));
    for (Integer i = 0; i < rowLen_; ++i) {
      if (row[i] != 255) {
        full_ = false;
        return;
      }
    }
  }
  full_ = true;
}
