// DrawDib on top of StretchDIBits.
#include <cstring>

#include "platform/win/GdiInternal.h"

using namespace gdi;

namespace {

struct DrawDibObj : Object {
  DrawDibObj() : Object(Kind::DrawDib) {}
  bool Begun = false;
  BITMAPINFOHEADER Header;
  Integer DxDest = 0, DyDest = 0, DxSrc = 0, DySrc = 0;
};

std::shared_ptr<DrawDibObj> FindDD(HDRAWDIB h) { return Find<DrawDibObj>(h, Kind::DrawDib); }

}  // namespace

HDRAWDIB DrawDibOpen() { return AddObject(std::make_shared<DrawDibObj>()); }

BOOL DrawDibClose(HDRAWDIB hdd) {
  if (!FindDD(hdd)) return FALSE;
  RemoveObject(hdd);
  return TRUE;
}

BOOL DrawDibBegin(HDRAWDIB hdd, HDC /*hdc*/, Integer dxDest, Integer dyDest, const BITMAPINFOHEADER* header,
                  Integer dxSrc, Integer dySrc, UINT /*flags*/) {
  auto dd = FindDD(hdd);
  if (!dd || !header) return FALSE;
  dd->Begun = true;
  dd->Header = *header;
  dd->DxDest = dxDest;
  dd->DyDest = dyDest;
  dd->DxSrc = dxSrc;
  dd->DySrc = dySrc;
  return TRUE;
}

BOOL DrawDibEnd(HDRAWDIB hdd) {
  auto dd = FindDD(hdd);
  if (!dd) return FALSE;
  dd->Begun = false;
  return TRUE;
}

BOOL DrawDibDraw(HDRAWDIB hdd, HDC hdc, Integer xDest, Integer yDest, Integer dxDest, Integer dyDest,
                 const BITMAPINFOHEADER* header, const void* bits, Integer xSrc, Integer ySrc, Integer dxSrc,
                 Integer dySrc, UINT flags) {
  auto dd = FindDD(hdd);
  auto dc = FindDC(hdc);
  if (!dd || !dc) return FALSE;
  if ((flags & DDF_SAME_DRAW) && dd->Begun && !header) header = &dd->Header;
  if (!header) return FALSE;
  const auto* info = reinterpret_cast<const BITMAPINFO*>(header);
  Surface view;
  if (!DibView(info, bits, DIB_RGB_COLORS, dc->St.Palette.get(), view)) return FALSE;
  if (flags & DDF_DONTDRAW) return TRUE;
  if (dxSrc == -1) dxSrc = view.Width;
  if (dySrc == -1) dySrc = view.Height;
  if (dxDest == -1) dxDest = dxSrc;
  if (dyDest == -1) dyDest = dySrc;
  // The source rectangle counts from the top; StretchDIBits counts from the bottom
  // for bottom-up DIBs.
  Integer sy = view.TopDown ? ySrc : view.Height - ySrc - dySrc;
  Integer oldMode = SetStretchBltMode(hdc, (flags & DDF_HALFTONE) ? HALFTONE : COLORONCOLOR);
  Integer lines = StretchDIBits(hdc, xDest, yDest, dxDest, dyDest, xSrc, sy, dxSrc, dySrc,
                                bits ? bits : view.Bits, info, DIB_RGB_COLORS, SRCCOPY);
  SetStretchBltMode(hdc, oldMode);
  return lines != GDI_ERROR ? TRUE : FALSE;
}

UINT DrawDibRealize(HDRAWDIB hdd, HDC hdc, BOOL /*background*/) {
  if (!FindDD(hdd) || !FindDC(hdc)) return 0;
  return 0;
}
