// TIEWorkBitmap: the typed work buffer of the filters.
#include <cstdlib>

#include "image/model/iebitmap.h"
#include "image/model/ieutils.h"
#include "platform/rtl/Exceptions.h"

void TIEWorkBitmap::FreeDeleter::operator()(Byte* p) const noexcept { std::free(p); }

TIEWorkBitmap::TIEWorkBitmap(Integer width, Integer height, Integer bitsPerPixel) {
  if (width > 0 && height > 0) AllocateBits(width, height, bitsPerPixel);
}

TIEWorkBitmap::~TIEWorkBitmap() { FreeBits(); }

void TIEWorkBitmap::AllocateBits(Integer width, Integer height, Integer bitsPerPixel) {
  if (width == width_ && height == height_ && bitsPerPixel == bitCount_ && bits_) return;
  FreeBits();
  if (width <= 0 || height <= 0 || bitsPerPixel <= 0) return;
  const Integer rowLen = _BitmapRowLen(width, bitsPerPixel);
  const UInt64 size = static_cast<UInt64>(rowLen) * static_cast<UInt64>(height);
  if (size > SIZE_MAX) throw EOutOfMemory("Out of memory");
  bits_.reset(static_cast<Byte*>(std::calloc(static_cast<size_t>(size), 1)));
  if (!bits_) throw EOutOfMemory("Out of memory");
  width_ = width;
  height_ = height;
  bitCount_ = bitsPerPixel;
  rowLen_ = rowLen;
}

void TIEWorkBitmap::FreeBits() {
  bits_.reset();
  width_ = height_ = bitCount_ = rowLen_ = 0;
}
