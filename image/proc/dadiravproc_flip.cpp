// Lossless geometry: quarter turns and mirrors of pixel stores and framework bitmaps.
#include <algorithm>
#include <cstring>
#include <type_traits>
#include <vector>

#include "image/model/iebitmap.h"
#include "image/model/ieutils.h"
#include "image/proc/dadiravproc.h"
#include "image/proc/dadiravproc_internal.h"

using namespace dadiravproc_detail;

namespace {

// Row addresses of a store: a table where the addresses stay valid (memory and
// framework storage), else one GetScanLine per use (file storage keeps only the
// latest row of a store mapped).
template <class Bitmap>
class StoreRows {
  using Row = std::conditional_t<std::is_const_v<Bitmap>, const Byte*, Byte*>;

 public:
  explicit StoreRows(Bitmap* bitmap) : bitmap_(bitmap) {
    if (bitmap->GetLocation() == ieFile) return;
    table_.resize(static_cast<size_t>(bitmap->GetHeight()));
    for (Integer y = 0; y < bitmap->GetHeight(); ++y)
      table_[static_cast<size_t>(y)] = static_cast<Row>(bitmap->GetScanLine(y));
  }
  Row operator()(Integer y) {
    return table_.empty() ? static_cast<Row>(bitmap_->GetScanLine(y)) : table_[static_cast<size_t>(y)];
  }

 private:
  Bitmap* bitmap_;
  std::vector<Row> table_;
};

// Copies pixel (sx of a source row) to pixel dx of a dest row, bytesPerPixel 0 for
// 1 bit.
inline void CopyPixel(const Byte* src, Integer sx, Byte* dest, Integer dx, Integer bytesPerPixel) {
  if (bytesPerPixel == 0) {
    _SetPixelbw(dest, dx, _GetPixelbw(src, sx));
    return;
  }
  std::memcpy(dest + static_cast<size_t>(dx) * bytesPerPixel, src + static_cast<size_t>(sx) * bytesPerPixel,
              static_cast<size_t>(bytesPerPixel));
}

// dest := source turned a quarter, clockwise or counter-clockwise.
void Rotate(const TIEBitmap* source, TIEBitmap* dest, bool clockwise) {
  if (!HasPixels(source) || dest == nullptr) return;
  std::unique_ptr<TIEBitmap> copy;
  if (source == dest) {
    copy = std::make_unique<TIEBitmap>();
    copy->AssignImage(dest);
    source = copy.get();
  }
  const Integer w = source->GetWidth();
  const Integer h = source->GetHeight();
  const TIEPixelFormat format = source->GetPixelFormat();
  const Integer bytesPerPixel = source->GetBitCount() / 8;
  dest->Allocate(h, w, format);
  if (dest->GetWidth() != h || dest->GetHeight() != w) return;
  for (Integer i = 0; i < source->GetPaletteCount(); ++i) dest->SetPalette(i, source->GetPalette(i));

  StoreRows srcRows(source);
  StoreRows dstRows(dest);
  for (Integer dy = 0; dy < w; ++dy) {
    for (Integer dx = 0; dx < h; ++dx) {
      // Clockwise: dest (x', y') = source (y', h - 1 - x'); counter-clockwise:
      // dest (x', y') = source (w - 1 - y', x').
      const Integer sy = clockwise ? h - 1 - dx : dx;
      const Integer sx = clockwise ? dy : w - 1 - dy;
      const Byte* src = srcRows(sy);
      CopyPixel(src, sx, dstRows(dy), dx, bytesPerPixel);
    }
  }
}

bool OneBytePerPixel(const TIEBitmap* bitmap) {
  return bitmap != nullptr && (bitmap->GetPixelFormat() == ie8p || bitmap->GetPixelFormat() == ie8g);
}

// Mirrors the rows of a store in place (any format; 1 bit bit-exactly).
void FlipStore(TIEBitmap* bitmap, TFlipDir dir) {
  const Integer w = bitmap->GetWidth();
  const Integer h = bitmap->GetHeight();
  const size_t rowLen = static_cast<size_t>(bitmap->GetRowLen());
  if (dir == fdVertical) {
    std::vector<Byte> top(rowLen), bottom(rowLen);
    for (Integer i = 0; i < h / 2; ++i) {
      const Integer j = h - 1 - i;
      std::memcpy(top.data(), bitmap->GetScanLine(i), rowLen);
      Byte* rowJ = static_cast<Byte*>(bitmap->GetScanLine(j));
      std::memcpy(bottom.data(), rowJ, rowLen);
      std::memcpy(rowJ, top.data(), rowLen);
      std::memcpy(bitmap->GetScanLine(i), bottom.data(), rowLen);
    }
    return;
  }
  if (bitmap->GetPixelFormat() == ie1g) {
    // The reversed bytes start with 8 - (w mod 8) spare bits when w is no multiple
    // of 8; the w pixels are taken from behind them.
    const Integer bytes = (w + 7) / 8;
    const Integer spare = (8 - w % 8) % 8;
    std::vector<Byte> scratch(static_cast<size_t>(bytes));
    for (Integer y = 0; y < h; ++y) {
      Byte* row = static_cast<Byte*>(bitmap->GetScanLine(y));
      for (Integer i = 0; i < bytes; ++i) {
        Byte b = row[bytes - 1 - i];
        ReverseBitsB(b);
        scratch[static_cast<size_t>(i)] = b;
      }
      _CopyBits(row, scratch.data(), 0, spare, w, bytes);
    }
    return;
  }
  const Integer bytesPerPixel = bitmap->GetBitCount() / 8;
  std::vector<Byte> pixel(static_cast<size_t>(bytesPerPixel));
  for (Integer y = 0; y < h; ++y) {
    Byte* row = static_cast<Byte*>(bitmap->GetScanLine(y));
    for (Integer a = 0, b = w - 1; a < b; ++a, --b) {
      Byte* pa = row + static_cast<size_t>(a) * bytesPerPixel;
      Byte* pb = row + static_cast<size_t>(b) * bytesPerPixel;
      std::swap_ranges(pa, pa + bytesPerPixel, pb);
    }
  }
}

bool Framework24(TBitmap* bitmap) {
  return bitmap != nullptr && bitmap->GetPixelFormat() == pf24bit && bitmap->GetWidth() > 0 &&
         bitmap->GetHeight() > 0;
}

void RotateFramework(TBitmap* source, TBitmap* dest, bool clockwise) {
  if (!Framework24(source) || dest == nullptr) return;
  std::unique_ptr<TBitmap> copy;
  if (source == dest) {
    copy = IECloneBitmap(source);
    source = copy.get();
  }
  const Integer w = source->GetWidth();
  const Integer h = source->GetHeight();
  dest->SetPixelFormat(pf24bit);
  dest->SetSize(h, w);
  std::vector<const TRGB*> srcRows(static_cast<size_t>(h));
  for (Integer y = 0; y < h; ++y) srcRows[static_cast<size_t>(y)] = static_cast<const TRGB*>(source->ScanLine(y));
  for (Integer dy = 0; dy < w; ++dy) {
    TRGB* row = static_cast<TRGB*>(dest->ScanLine(dy));
    for (Integer dx = 0; dx < h; ++dx)
      row[dx] = clockwise ? srcRows[static_cast<size_t>(h - 1 - dx)][dy] : srcRows[static_cast<size_t>(dx)][w - 1 - dy];
  }
}

}  // namespace

void _Rot90oEx(const TIEBitmap* source, TIEBitmap* dest) { Rotate(source, dest, true); }

void _Rot90Ex(const TIEBitmap* source, TIEBitmap* dest) { Rotate(source, dest, false); }

void _Rot90oEx8(const TIEBitmap* source, TIEBitmap* dest) {
  if (OneBytePerPixel(source)) Rotate(source, dest, true);
}

void _Rot90Ex8(const TIEBitmap* source, TIEBitmap* dest) {
  if (OneBytePerPixel(source)) Rotate(source, dest, false);
}

void _Rot90o(TBitmap* source, TBitmap* dest) { RotateFramework(source, dest, true); }

void _Rot90(TBitmap* source, TBitmap* dest) { RotateFramework(source, dest, false); }

void _FlipEx(TIEBitmap* bitmap, TFlipDir dir) {
  if (!HasPixels(bitmap)) return;
  if (bitmap->GetPixelFormat() != ie24RGB && bitmap->GetPixelFormat() != ie1g) return;
  FlipStore(bitmap, dir);
  // The alpha plane stays in register with the picture.
  if (bitmap->GetHasAlphaChannel()) {
    TIEBitmap* alpha = bitmap->GetAlphaChannel();
    if (HasPixels(alpha)) FlipStore(alpha, dir);
  }
}
