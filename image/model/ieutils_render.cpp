// Rendering of pixel stores: zoomed into a 24-bit framework bitmap (the view's back
// buffer) and resampled onto any canvas in bands (printing).
#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "image/model/iebitmap.h"
#include "image/model/ieutils.h"
#include "image/proc/dadiravproc.h"
#include "platform/rtl/Math.h"

namespace {

// Edges of an absent update rectangle.
constexpr Integer kNoLimitLow = -2147483646;
constexpr Integer kNoLimitHigh = 2147483646;

// d + floor((s - d) x h / 256), the product shifted right so negative differences
// round down.
inline Byte BlendChannel(Byte d, Byte s, Integer h) {
  return static_cast<Byte>(d + (((static_cast<Integer>(s) - d) * h) >> 8));
}

// A copy of the store in ie24RGB (the colours of GetPixels), alpha plane included.
std::unique_ptr<TIEBitmap> As24(TIEBitmap* store) {
  auto copy = std::make_unique<TIEBitmap>();
  copy->Assign(store);
  copy->ConvertToPixelFormat(ie24RGB);
  if (copy->GetPixelFormat() != ie24RGB) return nullptr;
  return copy;
}

}  // namespace

void TIEBitmap::RenderToTBitmap(TBitmap* bitmap, Byte** scanLines, const Integer* xLut,
                                const Integer* yLut, const TRect* updateRect, Integer xDst,
                                Integer yDst, Integer dxDst, Integer dyDst, Integer xSrc,
                                Integer ySrc, Integer dxSrc, Integer dySrc, bool useAlpha,
                                bool reuseRows, Integer transparency, TResampleFilter filter) {
  if (bitmap == nullptr || bitmap->GetPixelFormat() != pf24bit) return;
  if (width_ <= 0 || height_ <= 0 || pixelFormat_ == ienull) return;
  if (dxDst < 1 || dyDst < 1 || dxSrc < 1 || dySrc < 1) return;
  transparency = std::clamp(transparency, 0, 255);
  const bool alphaWanted = useAlpha && alphaPlane_ != nullptr && !isAlphaChannel_;

  // Resampling path: the rectangle resampled to the destination size, then drawn 1:1.
  if (filter != rfNone && (dxSrc != dxDst || dySrc != dyDst)) {
    auto resampled = std::make_unique<TIEBitmap>();
    resampled->Allocate(dxDst, dyDst, ie24RGB);
    if (resampled->GetWidth() != dxDst || resampled->GetHeight() != dyDst) return;
    if (dxSrc < dxDst || pixelFormat_ != ie1g || alphaWanted) {
      TIEBitmap crop;
      crop.Allocate(dxSrc, dySrc, pixelFormat_);
      if (crop.GetWidth() != dxSrc || crop.GetHeight() != dySrc) return;
      for (Integer i = 0; i < paletteCount_; ++i) crop.SetPalette(i, GetPalette(i));
      CopyRectTo(&crop, xSrc, ySrc, 0, 0, dxSrc, dySrc);
      if (pixelFormat_ == ie1g) {
        _Resample1bitEx(&crop, resampled.get(), filter);
      } else {
        if (pixelFormat_ != ie24RGB) crop.ConvertToPixelFormat(ie24RGB);
        _ResampleEx(&crop, resampled.get(), filter);
      }
      if (alphaWanted) {
        TIEBitmap alphaCrop(dxSrc, dySrc, ieMemory);
        alphaPlane_->CopyRectTo(&alphaCrop, xSrc, ySrc, 0, 0, dxSrc, dySrc);
        TIEBitmap* alpha = resampled->GetAlphaChannel();
        _ResampleAlphaEx(&alphaCrop, alpha, filter);
        alpha->SetFull(alphaPlane_->GetFull());
      }
    } else {
      // A 1-bit image shrinking horizontally: grey anti-aliased reduction.
      _SubResample1bitFilteredEx(this, xSrc, ySrc, xSrc + dxSrc - 1, ySrc + dySrc - 1,
                                 resampled.get());
    }
    resampled->RenderToTBitmap(bitmap, scanLines, nullptr, nullptr, updateRect, xDst, yDst, dxDst,
                               dyDst, 0, 0, dxDst, dyDst, useAlpha, reuseRows, transparency,
                               rfNone);
    return;
  }

  // The direct path draws ie1g and ie24RGB; other formats are drawn from a colour copy.
  if (pixelFormat_ != ie1g && pixelFormat_ != ie24RGB) {
    auto colour = As24(this);
    if (colour)
      colour->RenderToTBitmap(bitmap, scanLines, xLut, yLut, updateRect, xDst, yDst, dxDst, dyDst,
                              xSrc, ySrc, dxSrc, dySrc, useAlpha, reuseRows, transparency, rfNone);
    return;
  }

  const Integer bmpWidth = bitmap->GetWidth();
  const Integer bmpHeight = bitmap->GetHeight();
  const Integer updLeft = updateRect ? updateRect->left : kNoLimitLow;
  const Integer updTop = updateRect ? updateRect->top : kNoLimitLow;
  const Integer updRight = updateRect ? updateRect->right : kNoLimitHigh;
  const Integer updBottom = updateRect ? updateRect->bottom : kNoLimitHigh;
  const Integer x0 = std::max({updLeft, xDst, 0});
  const Integer y0 = std::max({updTop, yDst, 0});
  const Integer x1 = static_cast<Integer>(
      std::min<Int64>({updRight, static_cast<Int64>(xDst) + dxDst - 1, bmpWidth - 1}));
  const Integer y1 = static_cast<Integer>(
      std::min<Int64>({updBottom, static_cast<Int64>(yDst) + dyDst - 1, bmpHeight - 1}));
  if (x0 > x1 || y0 > y1) return;

  // 14-bit fixed-point steps.
  const auto yStep = static_cast<Int64>(std::trunc(static_cast<double>(dySrc) / dyDst * 16384));
  const auto xStep = static_cast<Int64>(std::trunc(static_cast<double>(dxSrc) / dxDst * 16384));

  TIEBitmap* alphaStore = alphaWanted && !alphaPlane_->GetFull() && alphaPlane_->width_ >= width_ &&
                                  alphaPlane_->height_ >= height_
                              ? alphaPlane_.get()
                              : nullptr;
  const bool blending = transparency < 255 || alphaStore != nullptr;
  const bool useTables = xStep != 16384 || yStep != 16384 || pixelFormat_ == ie1g || blending;

  // Tables built for this call cover the drawn columns and rows (indexed by x - xDst).
  std::vector<Integer> ownX, ownY;
  if (useTables && xLut == nullptr) {
    ownX.resize(static_cast<size_t>(x1 - xDst) + 1);
    for (Integer x = x0; x <= x1; ++x)
      ownX[static_cast<size_t>(x - xDst)] =
          static_cast<Integer>(xSrc + ((static_cast<Int64>(x - xDst) * xStep) >> 14));
    xLut = ownX.data();
  }
  if (useTables && yLut == nullptr) {
    ownY.resize(static_cast<size_t>(y1 - yDst) + 1);
    for (Integer y = y0; y <= y1; ++y)
      ownY[static_cast<size_t>(y - yDst)] =
          static_cast<Integer>(ySrc + ((yStep * static_cast<Int64>(y - yDst)) >> 14));
    yLut = ownY.data();
  }
  std::vector<Byte*> ownRows;
  if (scanLines == nullptr) {
    ownRows.resize(static_cast<size_t>(bmpHeight));
    for (Integer y = y0; y <= y1; ++y)
      ownRows[static_cast<size_t>(y)] = static_cast<Byte*>(bitmap->ScanLine(y));
    scanLines = ownRows.data();
  }
  // The constant alpha row that stands in for a missing alpha plane.
  std::vector<Byte> constantAlpha;
  if (blending && alphaStore == nullptr)
    constantAlpha.assign(static_cast<size_t>(width_), static_cast<Byte>(transparency));

  const size_t destRowBytes = static_cast<size_t>(_BitmapRowLen(bmpWidth, 24));
  Integer prevSrcRow = -1;
  Byte* prevDest = nullptr;
  for (Integer y = y0; y <= y1; ++y) {
    const Integer sy = useTables ? yLut[y - yDst] : y + ySrc - yDst;
    Byte* dest = scanLines[y];
    if (reuseRows && prevDest != nullptr && sy == prevSrcRow) {
      std::memcpy(dest, prevDest, destRowBytes);
      prevDest = dest;
      continue;
    }
    prevSrcRow = sy;
    prevDest = dest;
    if (sy < 0 || sy >= height_) continue;
    const auto* src = static_cast<const Byte*>(GetScanLine(sy));

    if (!useTables) {
      // 1:1 copy of the row segment, limited to the store's columns.
      Integer from = x0;
      Integer to = x1;
      const Integer shift = xSrc - xDst;
      from = std::max(from, -shift);
      to = std::min(to, width_ - 1 - shift);
      if (from <= to)
        std::memcpy(dest + static_cast<size_t>(from) * 3,
                    src + static_cast<size_t>(from + shift) * 3,
                    static_cast<size_t>(to - from + 1) * 3);
      continue;
    }

    const Byte* alphaRow = nullptr;
    if (blending)
      alphaRow = alphaStore != nullptr ? static_cast<const Byte*>(alphaStore->GetScanLine(sy))
                                       : constantAlpha.data();
    Byte* d = dest + static_cast<size_t>(x0) * 3;
    for (Integer x = x0; x <= x1; ++x, d += 3) {
      const Integer sx = xLut[x - xDst];
      if (sx < 0 || sx >= width_) continue;
      Byte sb, sg, sr;
      if (pixelFormat_ == ie1g) {
        const Byte v = (src[sx >> 3] & iebitmask1[sx & 7]) != 0 ? 255 : 0;
        sb = sg = sr = v;
      } else {
        const Byte* s = src + static_cast<size_t>(sx) * 3;
        sb = s[0];
        sg = s[1];
        sr = s[2];
      }
      if (!blending) {
        d[0] = sb;
        d[1] = sg;
        d[2] = sr;
        continue;
      }
      const Integer h = std::min<Integer>(transparency, alphaRow[sx]);
      d[0] = BlendChannel(d[0], sb, h);
      d[1] = BlendChannel(d[1], sg, h);
      d[2] = BlendChannel(d[2], sr, h);
    }
  }
}

void TIEBitmap::RenderToCanvas(TCanvas* canvas, Integer xDst, Integer yDst, Integer dxDst,
                               Integer dyDst, TResampleFilter filter, double gamma) {
  if (canvas == nullptr || dxDst < 1 || dyDst < 1) return;
  if (width_ <= 0 || height_ <= 0 || pixelFormat_ == ienull) return;

  const Int64 rowBytes24 = static_cast<Int64>(_BitmapRowLen(dxDst, 24));
  const Int64 byMemory = rowBytes24 > 0 ? static_cast<Int64>(memoryLimit_) / rowBytes24 : 1;
  const auto bandHeight =
      static_cast<Integer>(std::max<Int64>(1, std::min<Int64>(dyDst, byMemory)));

  // The whole picture at the target size.
  TIEBitmap sized;
  if (filter == rfNone) {
    sized.Allocate(dxDst, dyDst, pixelFormat_);
    for (Integer i = 0; i < paletteCount_; ++i) sized.SetPalette(i, GetPalette(i));
    _IEBmpStretchEx(this, &sized);
    if (pixelFormat_ != ie1g && pixelFormat_ != ie24RGB) sized.ConvertToPixelFormat(ie24RGB);
  } else if (pixelFormat_ == ie1g) {
    sized.Allocate(dxDst, dyDst, ie24RGB);
    _Resample1bitEx(this, &sized, filter);
  } else {
    sized.Allocate(dxDst, dyDst, ie24RGB);
    if (pixelFormat_ == ie24RGB) {
      _ResampleEx(this, &sized, filter);
    } else {
      auto colour = As24(this);
      if (colour) _ResampleEx(colour.get(), &sized, filter);
    }
  }
  if (sized.GetWidth() != dxDst || sized.GetHeight() != dyDst) return;
  const bool oneBit = sized.GetPixelFormat() == ie1g;

  // Gamma table for colour bands.
  Byte gammaTable[256];
  const bool withGamma = !oneBit && gamma > 0 && gamma != 1;
  if (withGamma)
    for (Integer i = 0; i < 256; ++i) {
      const long double v = 255.0L * IEPower(static_cast<long double>(i) / 255.0L, 1.0L / gamma);
      gammaTable[i] = static_cast<Byte>(std::clamp<Int64>(Round(static_cast<double>(v)), 0, 255));
    }

  auto band = std::make_unique<TBitmap>();
  band->SetPixelFormat(oneBit ? pf1bit : pf24bit);
  if (oneBit) band->SetMonochrome(true);
  const size_t copyBytes = static_cast<size_t>(
      std::min<Int64>(sized.GetRowLen(), oneBit ? _BitmapRowLen(dxDst, 1) : rowBytes24));
  for (Integer top = 0; top < dyDst; top += bandHeight) {
    const Integer rows = std::min(bandHeight, dyDst - top);
    if (band->GetWidth() != dxDst || band->GetHeight() != rows) band->SetSize(dxDst, rows);
    for (Integer r = 0; r < rows; ++r) {
      auto* out = static_cast<Byte*>(band->ScanLine(r));
      std::memcpy(out, sized.GetScanLine(top + r), copyBytes);
      if (withGamma)
        for (size_t i = 0; i < static_cast<size_t>(dxDst) * 3; ++i) out[i] = gammaTable[out[i]];
    }
    canvas->Draw(xDst, yDst + top, band.get());
  }
}
