// TIEDibbitmap: a 1- or 24-bit DIB section in its own memory DC.
#include <cstring>

#include "image/model/iebitmap.h"
#include "image/model/ieutils.h"

TIEDibbitmap::TIEDibbitmap() {
  bitmapInfo_.header.biSize = sizeof(BITMAPINFOHEADER);
  bitmapInfo_.header.biPlanes = 1;
  bitmapInfo_.header.biCompression = BI_RGB;
  bitmapInfo_.colors[0] = RGBQUAD{0, 0, 0, 0};
  bitmapInfo_.colors[1] = RGBQUAD{255, 255, 255, 0};
}

TIEDibbitmap::~TIEDibbitmap() { FreeBits(); }

TIEPixelFormat TIEDibbitmap::GetPixelFormat() const {
  if (bitCount_ == 1) return ie1g;
  if (bitCount_ == 24) return ie24RGB;
  return ienull;
}

void TIEDibbitmap::Allocate(Integer width, Integer height, TIEPixelFormat format) {
  if (format == ie1g) AllocateBits(width, height, 1);
  else if (format == ie24RGB) AllocateBits(width, height, 24);
}

void TIEDibbitmap::Assign(TObject* source) {
  auto* dib = dynamic_cast<TIEDibbitmap*>(source);
  if (dib == nullptr || dib == this || dib->bits_ == nullptr) return;
  AllocateBits(dib->width_, dib->height_, dib->bitCount_);
  if (bits_ == nullptr) return;
  std::memcpy(bits_, dib->bits_, static_cast<size_t>(rowLen_) * static_cast<size_t>(height_));
}

void TIEDibbitmap::AllocateBits(Integer width, Integer height, Integer bits) {
  if (width <= 0 || height <= 0 || (bits != 1 && bits != 24)) return;
  FreeBits();
  const Integer rowLen = _BitmapRowLen(width, bits);
  const UInt64 size = static_cast<UInt64>(rowLen) * static_cast<UInt64>(height);
  bitmapInfo_.header.biWidth = width;
  bitmapInfo_.header.biHeight = height;
  bitmapInfo_.header.biBitCount = static_cast<WORD>(bits);
  bitmapInfo_.header.biSizeImage = size > 0xFFFFFFFFu ? 0 : static_cast<DWORD>(size);
  dc_ = CreateCompatibleDC(0);
  void* pixels = nullptr;
  dibSection_ = CreateDIBSection(dc_, reinterpret_cast<const BITMAPINFO*>(&bitmapInfo_),
                                 DIB_RGB_COLORS, &pixels, 0, 0);
  if (dibSection_ == 0 || pixels == nullptr) {
    // The platform refused the section: the store stays empty.
    FreeBits();
    return;
  }
  oldBitmap_ = SelectObject(dc_, dibSection_);
  bits_ = pixels;
  width_ = width;
  height_ = height;
  bitCount_ = bits;
  rowLen_ = rowLen;
}

void TIEDibbitmap::FreeBits() {
  if (dc_ != 0) {
    if (oldBitmap_ != 0) SelectObject(dc_, oldBitmap_);
    DeleteDC(dc_);
  }
  if (dibSection_ != 0) DeleteObject(dibSection_);
  dc_ = 0;
  dibSection_ = 0;
  oldBitmap_ = 0;
  bits_ = nullptr;
  width_ = height_ = bitCount_ = rowLen_ = 0;
}

void TIEDibbitmap::CopyToTBitmap(TBitmap* bitmap) {
  if (bitmap == nullptr || bits_ == nullptr) return;
  bitmap->SetSize(1, 1);
  bitmap->SetPixelFormat(bitCount_ == 1 ? pf1bit : pf24bit);
  if (bitCount_ == 1) bitmap->SetMonochrome(true);
  bitmap->SetSize(width_, height_);
  for (Integer y = 0; y < height_; ++y)
    std::memcpy(bitmap->ScanLine(y), GetScanLine(y), static_cast<size_t>(rowLen_));
}
