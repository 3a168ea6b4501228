// TIEMask on screen: the inverted selection, the marching outline and the marked
// outside, each as a zoomed view shows the mask.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "image/model/iemask.h"
#include "image/proc/dadiravproc.h"

namespace {

// Steps are 14-bit fixed point: source pixels per display pixel x 16384.
constexpr Integer kStepShift = 14;
constexpr Int64 kStepOne = Int64{1} << kStepShift;

}  // namespace

bool TIEMask::BuildZoomedPlane(Integer dxDst, Integer dyDst, Integer xSrc, Integer ySrc, Integer dxSrc,
                               Integer dySrc, Int64& xStep, Int64& yStep) {
  if (bitsPerPixel_ != 1 || IsEmpty()) return false;
  if (dxDst < 1 || dyDst < 1 || dxSrc < 1 || dySrc < 1) return false;
  xStep = static_cast<Int64>(std::trunc(static_cast<double>(dxSrc) / dxDst * kStepOne));
  yStep = static_cast<Int64>(std::trunc(static_cast<double>(dySrc) / dyDst * kStepOne));
  if (xStep < 1 || yStep < 1) return false;

  if (dxDst != outlineWidth_ || dyDst != outlineHeight_) {
    outlineRowLen_ = (dxDst + 7) / 8;
    outlineBits_.assign(static_cast<size_t>(outlineRowLen_) * static_cast<size_t>(dyDst), 0);
    outlineWidth_ = dxDst;
    outlineHeight_ = dyDst;
  } else {
    std::fill(outlineBits_.begin(), outlineBits_.end(), Byte{0});
  }

  // The display rows and columns that can show the box.
  const Int64 r0 = std::max<Int64>(static_cast<Int64>(std::trunc(static_cast<double>(y1_ - Int64{ySrc}) * dyDst / dySrc)), 0);
  const Int64 r1 = std::min<Int64>(
      static_cast<Int64>(std::trunc(static_cast<double>(dyDst) / dySrc * static_cast<double>(y2_ - Int64{ySrc} + 1))),
      dyDst - 1);
  const Int64 c0 = std::max<Int64>(static_cast<Int64>(std::trunc(static_cast<double>(x1_ - Int64{xSrc}) * dxDst / dxSrc)), 0);
  const Int64 c1 = std::min<Int64>(
      static_cast<Int64>(std::trunc(static_cast<double>(dxDst) / dxSrc * static_cast<double>(x2_ - Int64{xSrc} + 1))),
      dxDst - 1);
  for (Int64 r = r0; r <= r1; ++r) {
    const Int64 sy = ySrc + ((yStep * r) >> kStepShift);
    if (sy < 0 || sy >= height_) continue;
    const Byte* row = GetScanLine(static_cast<Integer>(sy));
    Byte* out = outlineBits_.data() + static_cast<size_t>(r) * static_cast<size_t>(outlineRowLen_);
    for (Int64 c = c0; c <= c1; ++c) {
      const Int64 sx = xSrc + ((xStep * c) >> kStepShift);
      if (sx < 0 || sx >= width_) continue;
      if (_GetPixelbw(row, static_cast<Integer>(sx)) != 0) out[c >> 3] |= static_cast<Byte>(0x80 >> (c & 7));
    }
  }
  return true;
}

void TIEMask::InvertCanvas(TCanvas* canvas, Integer xDst, Integer yDst, Integer dxDst, Integer dyDst,
                           Integer xSrc, Integer ySrc, Integer dxSrc, Integer dySrc) {
  if (canvas == nullptr || bitsPerPixel_ != 1 || IsEmpty()) return;
  if (dxDst < 1 || dyDst < 1 || dxSrc < 1 || dySrc < 1) return;
  struct {
    BITMAPINFOHEADER header;
    RGBQUAD colors[2];
  } info{};
  info.header.biSize = sizeof(BITMAPINFOHEADER);
  info.header.biWidth = width_;
  info.header.biHeight = height_;
  info.header.biPlanes = 1;
  info.header.biBitCount = 1;
  info.header.biCompression = BI_RGB;
  info.header.biSizeImage = static_cast<DWORD>(static_cast<size_t>(rowLen_) * static_cast<size_t>(height_));
  info.colors[0] = RGBQUAD{0, 0, 0, 0};
  info.colors[1] = RGBQUAD{255, 255, 255, 0};
  // The plane is bottom-up: the platform counts its source rows from the bottom.
  const Integer yFromBottom = height_ - (ySrc + dySrc);
  StretchDIBits(canvas->GetHandle(), xDst, yDst, dxDst, dyDst, xSrc, yFromBottom, dxSrc, dySrc, bits_.data(),
                reinterpret_cast<const BITMAPINFO*>(&info), DIB_RGB_COLORS, SRCINVERT);
}

void TIEMask::DrawOutline(TCanvas* canvas, Integer xDst, Integer yDst, Integer dxDst, Integer dyDst, Integer xSrc,
                          Integer ySrc, Integer dxSrc, Integer dySrc, Integer phase, TColor colour1,
                          TColor colour2) {
  if (canvas == nullptr) return;
  Int64 xStep = 0, yStep = 0;
  if (!BuildZoomedPlane(dxDst, dyDst, xSrc, ySrc, dxSrc, dySrc, xStep, yStep)) return;
  const COLORREF rgb1 = static_cast<COLORREF>(ColorToRGB(colour1));
  const COLORREF rgb2 = static_cast<COLORREF>(ColorToRGB(colour2));

  // The range drawn, from the box in fixed-point steps.
  const Int64 r0 = std::max<Int64>((Int64{y1_ - Int64{ySrc}} * kStepOne) / yStep, 0);
  const Int64 r1 = std::min<Int64>(((y2_ - Int64{ySrc} + 1) * kStepOne) / yStep + 1, dyDst - 1);
  const Int64 c0 = std::max<Int64>((Int64{x1_ - Int64{xSrc}} * kStepOne) / xStep, 0);
  const Int64 c1 = std::min<Int64>(((x2_ - Int64{xSrc} + 1) * kStepOne) / xStep + 1, dxDst - 1);

  const auto anyClearAround = [&](Int64 c, Int64 r) {
    for (Int64 rr = std::max<Int64>(r - 1, 0); rr <= std::min<Int64>(r + 1, dyDst - 1); ++rr)
      for (Int64 cc = std::max<Int64>(c - 1, 0); cc <= std::min<Int64>(c + 1, dxDst - 1); ++cc)
        if (!OutlineBit(static_cast<Integer>(cc), static_cast<Integer>(rr))) return true;
    return false;
  };

  const HDC dc = canvas->GetHandle();
  for (Int64 r = r0; r <= r1; ++r) {
    for (Int64 c = c0; c <= c1; ++c) {
      if (!OutlineBit(static_cast<Integer>(c), static_cast<Integer>(r))) continue;
      bool border;
      if (c == 0 && x1_ >= xSrc)
        border = true;
      else if (c == c1 && xSrc + ((c * xStep) >> kStepShift) >= x2_)
        border = true;
      else if (r == 0 && y1_ >= ySrc)
        border = true;
      else if (r == r1 && ySrc + ((r * yStep) >> kStepShift) >= y2_)
        border = true;
      else
        border = anyClearAround(c, r);
      if (!border) continue;
      const Int64 x = xDst + c, y = yDst + r;
      const bool first = ((phase + x + y) & 4) != 0;
      ::SetPixel(dc, static_cast<Integer>(x), static_cast<Integer>(y), first ? rgb1 : rgb2);
    }
  }
}

void TIEMask::DrawOuter(TBitmap* bitmap, Integer xDst, Integer yDst, Integer dxDst, Integer dyDst, Integer xSrc,
                        Integer ySrc, Integer dxSrc, Integer dySrc) {
  if (bitmap == nullptr || bitmap->GetPixelFormat() != pf24bit) return;
  Int64 xStep = 0, yStep = 0;
  if (!BuildZoomedPlane(dxDst, dyDst, xSrc, ySrc, dxSrc, dySrc, xStep, yStep)) return;
  const Integer width = bitmap->GetWidth();
  const Integer height = bitmap->GetHeight();
  // Even display rows and columns that fall inside the bitmap.
  const Int64 rFirst = std::max<Int64>(0, -Int64{yDst});
  const Int64 rLast = std::min<Int64>(dyDst - 1, Int64{height} - 1 - yDst);
  const Int64 cFirst = std::max<Int64>(0, -Int64{xDst});
  const Int64 cLast = std::min<Int64>(dxDst - 1, Int64{width} - 1 - xDst);
  for (Int64 r = rFirst + (rFirst & 1); r <= rLast; r += 2) {
    TRGB* row = static_cast<TRGB*>(bitmap->ScanLine(static_cast<Integer>(yDst + r)));
    for (Int64 c = cFirst + (cFirst & 1); c <= cLast; c += 2)
      if (!OutlineBit(static_cast<Integer>(c), static_cast<Integer>(r))) row[xDst + c] = TRGB{255, 255, 255};
  }
}
