// Blits: BitBlt, StretchBlt, PatBlt, StretchDIBits and SetDIBitsToDevice, all through
// one routine that maps, converts and combines a row at a time.
#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/win/Display.h"
#include "platform/win/GdiInternal.h"

namespace gdi {

namespace {

bool SameTable(const Surface& a, const Surface& b) {
  if (a.NumColors != b.NumColors) return false;
  for (Integer i = 0; i < a.NumColors; ++i)
    if (RgbOf(a.Colors[i]) != RgbOf(b.Colors[i])) return false;
  return true;
}

// Source values to destination values, decided once per blit.
class Converter {
 public:
  Converter(const Surface& src, const Surface& dst, const DCState& dstSt, const DCState* srcSt)
      : dec_(src, ResolveColor(dstSt, dstSt.TextColor), ResolveColor(dstSt, dstSt.BkColor)), enc_(dst) {
    dest1_ = dst.Bpp == 1;
    if (srcSt) {
      bkRule_ = true;
      srcBk_ = ResolveColor(*srcSt, srcSt->BkColor);
    }
    bool sameMasks = std::equal(src.Masks, src.Masks + 3, dst.Masks);
    if ((src.Bpp == 1 && dst.Bpp == 1) || (src.Bpp == dst.Bpp && src.Bpp > 8 && sameMasks) ||
        (src.Bpp == dst.Bpp && src.Bpp <= 8 && SameTable(src, dst))) {
      mode_ = Mode::Identity;
    } else if (src.Bpp <= 8) {
      mode_ = Mode::Lut;
      Integer n = 1 << src.Bpp;
      for (Integer i = 0; i < n; ++i) {
        uint32_t c = dec_(static_cast<uint32_t>(i));
        lut_[i] = Encode(c);
      }
    } else if ((src.Bpp == 24 || (src.Bpp == 32 && src.Masks[1] == 0xFF00 && src.Masks[0] == 0xFF0000 &&
                                  src.Masks[2] == 0xFF)) &&
               (dst.Bpp == 24 || (dst.Bpp == 32 && sameMasks))) {
      mode_ = Mode::Rgb;
    } else {
      mode_ = Mode::Generic;
    }
  }

  bool Identity() const { return mode_ == Mode::Identity; }

  void Row(uint32_t* v, Integer n) {
    switch (mode_) {
      case Mode::Identity: return;
      case Mode::Lut:
        for (Integer i = 0; i < n; ++i) v[i] = lut_[v[i] & 0xFF];
        return;
      case Mode::Rgb:
        for (Integer i = 0; i < n; ++i) v[i] &= 0xFFFFFF;
        return;
      case Mode::Generic:
        dec_.DecodeRow(v, v, n);
        EncodeColors(v, n, true);
        return;
    }
  }

  // Colours (already combined) to destination values.
  void EncodeColors(uint32_t* v, Integer n, bool sourceIsColor) {
    if (dest1_ && bkRule_ && sourceIsColor) {
      for (Integer i = 0; i < n; ++i) v[i] = (v[i] & 0xFFFFFF) == srcBk_ ? 1 : 0;
      return;
    }
    enc_.EncodeRow(v, v, n);
  }

  const ColorDecoder& Decoder() const { return dec_; }

 private:
  enum class Mode { Identity, Lut, Rgb, Generic };
  uint32_t Encode(uint32_t c) {
    if (dest1_ && bkRule_) return c == srcBk_ ? 1 : 0;
    return enc_(c);
  }
  Mode mode_ = Mode::Generic;
  ColorDecoder dec_;
  ColorEncoder enc_;
  uint32_t lut_[256] = {};
  bool dest1_ = false;
  bool bkRule_ = false;
  uint32_t srcBk_ = 0;
};

// Source index for destination index i of n over m source pixels (nearest, centred).
inline Integer Sample(int64_t i, int64_t n, int64_t m, bool flip) {
  Integer j = static_cast<Integer>(((2 * i + 1) * m) / (2 * n));
  return flip ? static_cast<Integer>(m - 1 - j) : j;
}

// Source range [lo, hi) for destination index i when shrinking.
inline void Range(int64_t i, int64_t n, int64_t m, bool flip, Integer* lo, Integer* hi) {
  Integer a = static_cast<Integer>((i * m) / n), b = static_cast<Integer>(((i + 1) * m) / n);
  if (b <= a) b = a + 1;
  if (flip) {
    Integer t = static_cast<Integer>(m) - b;
    b = static_cast<Integer>(m) - a;
    a = t;
  }
  *lo = a;
  *hi = b;
}

}  // namespace

void Blit(DCObj& dc, Integer dx, Integer dy, Integer dw, Integer dh, const Surface* src,
          const DCState* srcSt, Integer sx, Integer sy, Integer sw, Integer sh, DWORD rop,
          Integer stretchMode) {
  const Byte idx = ROP3Index(rop);
  if (!RopUsesSource(idx)) {
    if (dc.St.Brush) FillDeviceRect(dc, *dc.St.Brush, dx, dy, dx + dw, dy + dh, idx);
    return;
  }
  if (!src || dw == 0 || dh == 0 || sw == 0 || sh == 0) return;
  const bool usesP = RopUsesPattern(idx);
  if (usesP && (!dc.St.Brush || dc.St.Brush->Style == BS_NULL)) return;
  const bool usesD = RopUsesDest(idx);

  bool flipX = false, flipY = false;
  if (dw < 0) { dx += dw + 1; dw = -dw; flipX = !flipX; }
  if (sw < 0) { sx += sw + 1; sw = -sw; flipX = !flipX; }
  if (dh < 0) { dy += dh + 1; dh = -dh; flipY = !flipY; }
  if (sh < 0) { sy += sh + 1; sh = -sh; flipY = !flipY; }

  auto target = dc.Target();
  Surface& d = *target->Surf;
  const Surface& s = *src;
  const bool combine = stretchMode == BLACKONWHITE || stretchMode == WHITEONBLACK || stretchMode == HALFTONE;
  const bool shrinkX = combine && sw > dw;
  const bool shrinkY = combine && sh > dh;
  const bool colorPipe = shrinkX || shrinkY;

  // Visible destination columns and rows whose source lies inside the source.
  Integer cx0 = std::max(dx, 0), cx1 = std::min(dx + dw, d.Width);
  Integer cy0 = std::max(dy, 0), cy1 = std::min(dy + dh, d.Height);
  if (cx0 >= cx1 || cy0 >= cy1) return;
  std::vector<Integer> colLo(static_cast<size_t>(cx1 - cx0)), colHi(static_cast<size_t>(cx1 - cx0));
  Integer vx0 = cx1, vx1 = cx0;
  for (Integer x = cx0; x < cx1; ++x) {
    Integer lo, hi;
    if (shrinkX) {
      Range(x - dx, dw, sw, flipX, &lo, &hi);
    } else {
      lo = Sample(x - dx, dw, sw, flipX);
      hi = lo + 1;
    }
    lo = std::max(lo + sx, 0);
    hi = std::min(hi + sx, s.Width);
    colLo[static_cast<size_t>(x - cx0)] = lo;
    colHi[static_cast<size_t>(x - cx0)] = hi;
    if (lo < hi) {
      vx0 = std::min(vx0, x);
      vx1 = std::max(vx1, x + 1);
    }
  }
  if (vx0 >= vx1) return;

  Clipper clip(d, dc.St.Clip);
  Converter conv(s, d, dc.St, srcSt);
  ColorEncoder patEnc(d);
  const bool plainCopy = idx == 0xCC && conv.Identity() && !flipX && sw == dw && s.Bpp >= 8;
  const bool keepAlpha = idx == 0xCC && conv.Identity() && d.Bpp == 32;
  const uint32_t vmask = keepAlpha ? 0xFFFFFFFFu : d.ValueMask();
  const bool sameSurface = s.Bits == d.Bits;

  size_t wmax = static_cast<size_t>(std::max(cx1 - cx0, s.Width)) + 1;
  std::vector<uint32_t> srow(wmax), vals(wmax), pat(wmax), dst(wmax), acc(wmax * 4);
  std::vector<uint8_t> pmask(wmax);

  // Rows of one surface copied onto itself go bottom-up when moving down.
  const bool reverseRows = sameSurface && dy > sy;
  for (Integer k = 0; k < cy1 - cy0; ++k) {
    Integer y = reverseRows ? cy1 - 1 - k : cy0 + k;
    Integer ylo, yhi;
    if (shrinkY) {
      Range(y - dy, dh, sh, flipY, &ylo, &yhi);
    } else {
      ylo = Sample(y - dy, dh, sh, flipY);
      yhi = ylo + 1;
    }
    ylo = std::max(ylo + sy, 0);
    yhi = std::min(yhi + sy, s.Height);
    if (ylo >= yhi) continue;

    clip.ForSpans(y, vx0, vx1, [&](Integer a, Integer e) {
      // Trim columns whose source is outside (only at the ends).
      while (a < e && colLo[static_cast<size_t>(a - cx0)] >= colHi[static_cast<size_t>(a - cx0)]) ++a;
      while (e > a && colLo[static_cast<size_t>(e - 1 - cx0)] >= colHi[static_cast<size_t>(e - 1 - cx0)]) --e;
      if (a >= e) return;
      Integer n = e - a;
      if (plainCopy) {
        Integer bytes = s.Bpp / 8;
        std::memmove(d.Row(y) + static_cast<ptrdiff_t>(a) * bytes,
                     s.Row(ylo) + static_cast<ptrdiff_t>(colLo[static_cast<size_t>(a - cx0)]) * bytes,
                     static_cast<size_t>(n) * bytes);
        return;
      }
      Integer sLo = INT32_MAX, sHi = INT32_MIN;
      for (Integer x = a; x < e; ++x) {
        sLo = std::min(sLo, colLo[static_cast<size_t>(x - cx0)]);
        sHi = std::max(sHi, colHi[static_cast<size_t>(x - cx0)]);
      }
      if (static_cast<size_t>(sHi - sLo) > srow.size()) srow.resize(static_cast<size_t>(sHi - sLo));
      if (!colorPipe) {
        ReadValues(s, ylo, sLo, sHi - sLo, srow.data());
        for (Integer x = a; x < e; ++x) vals[static_cast<size_t>(x - a)] = srow[static_cast<size_t>(colLo[static_cast<size_t>(x - cx0)] - sLo)];
        conv.Row(vals.data(), n);
      } else {
        // Combine the colours of each destination pixel's source block.
        uint32_t* sum = acc.data();
        for (Integer i = 0; i < n; ++i) {
          if (stretchMode == HALFTONE) {
            sum[4 * i] = sum[4 * i + 1] = sum[4 * i + 2] = sum[4 * i + 3] = 0;
          } else {
            vals[static_cast<size_t>(i)] = stretchMode == BLACKONWHITE ? 0xFFFFFFu : 0u;
          }
        }
        for (Integer r = ylo; r < yhi; ++r) {
          ReadValues(s, r, sLo, sHi - sLo, srow.data());
          conv.Decoder().DecodeRow(srow.data(), srow.data(), sHi - sLo);
          for (Integer x = a; x < e; ++x) {
            size_t ci = static_cast<size_t>(x - cx0);
            size_t i = static_cast<size_t>(x - a);
            for (Integer sxp = colLo[ci]; sxp < colHi[ci]; ++sxp) {
              uint32_t c = srow[static_cast<size_t>(sxp - sLo)];
              if (stretchMode == HALFTONE) {
                sum[4 * i] += (c >> 16) & 0xFF;
                sum[4 * i + 1] += (c >> 8) & 0xFF;
                sum[4 * i + 2] += c & 0xFF;
                sum[4 * i + 3] += 1;
              } else if (stretchMode == BLACKONWHITE) {
                vals[i] &= c;
              } else {
                vals[i] |= c;
              }
            }
          }
        }
        if (stretchMode == HALFTONE) {
          for (Integer i = 0; i < n; ++i) {
            uint32_t cnt = sum[4 * i + 3];
            uint32_t h = cnt / 2;
            vals[static_cast<size_t>(i)] = (((sum[4 * i] + h) / cnt) << 16) | (((sum[4 * i + 1] + h) / cnt) << 8) |
                                           ((sum[4 * i + 2] + h) / cnt);
          }
        }
        conv.EncodeColors(vals.data(), n, s.Bpp != 1);
      }
      if (usesP) BrushRow(dc.St, *dc.St.Brush, d, patEnc, a, y, n, pat.data(), nullptr);
      if (usesD) ReadValues(d, y, a, n, dst.data());
      Rop3Row(idx, pat.data(), vals.data(), dst.data(), vals.data(), n);
      if (vmask != 0xFFFFFFFFu)
        for (Integer i = 0; i < n; ++i) vals[static_cast<size_t>(i)] &= vmask;
      WriteValues(d, y, a, n, vals.data());
    });
  }
}

}  // namespace gdi

using namespace gdi;

BOOL BitBlt(HDC dest, Integer x, Integer y, Integer width, Integer height, HDC src, Integer xSrc,
            Integer ySrc, DWORD rop) {
  return StretchBlt(dest, x, y, width, height, src, xSrc, ySrc, width, height, rop);
}

BOOL StretchBlt(HDC dest, Integer x, Integer y, Integer width, Integer height, HDC src,
                Integer xSrc, Integer ySrc, Integer srcWidth, Integer srcHeight, DWORD rop) {
  auto dc = FindDC(dest);
  if (!dc) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  POINT dp = ToDevice(dc->St, x, y);
  if (!RopUsesSource(ROP3Index(rop))) {
    Blit(*dc, dp.x, dp.y, width, height, nullptr, nullptr, 0, 0, 0, 0, rop, COLORONCOLOR);
    return TRUE;
  }
  auto sdc = FindDC(src);
  if (!sdc) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  POINT sp = ToDevice(sdc->St, xSrc, ySrc);
  // Reading the screen reads what the display shows.
  if (sdc->Screen)
    larkwin::Display().RefreshScreen(RECT{std::min(sp.x, sp.x + srcWidth), std::min(sp.y, sp.y + srcHeight),
                                          std::max(sp.x, sp.x + srcWidth), std::max(sp.y, sp.y + srcHeight)});
  auto sb = sdc->Target();
  bool same = width == srcWidth && height == srcHeight;
  if (same && (width < 0 || height < 0)) return FALSE;
  Blit(*dc, dp.x, dp.y, width, height, sb->Surf.get(), &sdc->St, sp.x, sp.y, srcWidth, srcHeight, rop,
       same ? COLORONCOLOR : dc->St.StretchMode);
  return TRUE;
}

BOOL PatBlt(HDC hdc, Integer x, Integer y, Integer width, Integer height, DWORD rop) {
  auto dc = FindDC(hdc);
  if (!dc) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  Byte idx = ROP3Index(rop);
  if (RopUsesSource(idx)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  POINT p = ToDevice(dc->St, x, y);
  if (dc->St.Brush) FillDeviceRect(*dc, *dc->St.Brush, p.x, p.y, p.x + width, p.y + height, idx);
  return TRUE;
}

Integer StretchDIBits(HDC hdc, Integer xDest, Integer yDest, Integer destWidth, Integer destHeight,
                      Integer xSrc, Integer ySrc, Integer srcWidth, Integer srcHeight,
                      const void* bits, const BITMAPINFO* info, UINT usage, DWORD rop) {
  auto dc = FindDC(hdc);
  if (!dc) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  Surface view;
  if (!DibView(info, bits, usage, dc->St.Palette.get(), view)) return GDI_ERROR;
  // Negative source sizes mirror: make them positive and flip the destination.
  if (srcWidth < 0) {
    xSrc += srcWidth;
    srcWidth = -srcWidth;
    xDest += destWidth - (destWidth > 0 ? 1 : -1);
    destWidth = -destWidth;
  }
  if (srcHeight < 0) {
    ySrc += srcHeight;
    srcHeight = -srcHeight;
    yDest += destHeight - (destHeight > 0 ? 1 : -1);
    destHeight = -destHeight;
  }
  // A bottom-up DIB's source rectangle is measured from its bottom row.
  Integer top = view.TopDown ? ySrc : view.Height - ySrc - srcHeight;
  POINT dp = ToDevice(dc->St, xDest, yDest);
  Blit(*dc, dp.x, dp.y, destWidth, destHeight, &view, nullptr, xSrc, top, srcWidth, srcHeight, rop,
       dc->St.StretchMode);
  return srcHeight;
}

Integer SetDIBitsToDevice(HDC hdc, Integer xDest, Integer yDest, DWORD width, DWORD height,
                          Integer xSrc, Integer ySrc, UINT startScan, UINT lines, const void* bits,
                          const BITMAPINFO* info, UINT usage) {
  auto dc = FindDC(hdc);
  if (!dc) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  Surface view;
  if (!bits || !DibView(info, bits, usage, dc->St.Palette.get(), view)) return 0;
  if (startScan >= static_cast<UINT>(view.Height) || lines == 0) return 0;
  Integer band = static_cast<Integer>(std::min<UINT>(lines, static_cast<UINT>(view.Height) - startScan));
  Integer w = static_cast<Integer>(std::min<DWORD>(width, INT32_MAX));
  Integer h = static_cast<Integer>(std::min<DWORD>(height, INT32_MAX));
  Integer top;
  if (view.TopDown) {
    top = ySrc - static_cast<Integer>(startScan);
  } else {
    top = static_cast<Integer>(startScan) + band - ySrc - h;
  }
  view.Height = band;  // the bits hold only the band
  POINT dp = ToDevice(dc->St, xDest, yDest);
  Blit(*dc, dp.x, dp.y, w, h, &view, nullptr, xSrc, top, w, h, SRCCOPY, COLORONCOLOR);
  return band;
}
