// Icons: a mask and a colour bitmap, drawn AND then XOR.
#include "platform/win/GdiInternal.h"

using namespace gdi;

namespace {

std::shared_ptr<BitmapObj> CopyBitmap(const BitmapObj& b) {
  auto c = std::make_shared<BitmapObj>();
  c->Surf = CopySurface(*b.Surf);
  c->IsDIB = b.IsDIB;
  return c->Surf ? c : nullptr;
}

std::shared_ptr<IconObj> FindIcon(HICON h) { return Find<IconObj>(h, Kind::Icon); }

}  // namespace

HICON CreateIconIndirect(const ICONINFO* info) {
  if (!info) return 0;
  auto mask = FindBitmap(info->hbmMask);
  if (!mask) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  auto icon = std::make_shared<IconObj>();
  icon->IsIcon = info->fIcon != 0;
  icon->HotX = info->xHotspot;
  icon->HotY = info->yHotspot;
  icon->Mask = CopyBitmap(*mask);
  if (!icon->Mask) return 0;
  if (info->hbmColor) {
    auto color = FindBitmap(info->hbmColor);
    if (!color) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return 0;
    }
    icon->Color = CopyBitmap(*color);
    if (!icon->Color) return 0;
  } else if (icon->Mask->Surf->Height < 2) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (icon->IsIcon) {
    const Surface& s = icon->Color ? *icon->Color->Surf : *icon->Mask->Surf;
    icon->HotX = static_cast<DWORD>(s.Width / 2);
    icon->HotY = static_cast<DWORD>((icon->Color ? s.Height : s.Height / 2) / 2);
  }
  return AddObject(icon);
}

BOOL GetIconInfo(HICON icon, ICONINFO* info) {
  auto ic = FindIcon(icon);
  if (!ic || !info) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  info->fIcon = ic->IsIcon ? TRUE : FALSE;
  info->xHotspot = ic->HotX;
  info->yHotspot = ic->HotY;
  auto m = CopyBitmap(*ic->Mask);
  info->hbmMask = m ? AddObject(m) : 0;
  info->hbmColor = 0;
  if (ic->Color) {
    auto c = CopyBitmap(*ic->Color);
    info->hbmColor = c ? AddObject(c) : 0;
  }
  return TRUE;
}

BOOL DestroyIcon(HICON icon) {
  if (!FindIcon(icon)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  RemoveObject(icon);
  return TRUE;
}

BOOL DrawIconEx(HDC hdc, Integer x, Integer y, HICON icon, Integer width, Integer height, UINT /*step*/,
                HBRUSH /*flickerFreeBrush*/, UINT flags) {
  auto dc = FindDC(hdc);
  auto ic = FindIcon(icon);
  if (!dc || !ic) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  const Surface& mask = *ic->Mask->Surf;
  Integer iw = mask.Width;
  Integer ih = ic->Color ? ic->Color->Surf->Height : mask.Height / 2;
  if (ic->Color) iw = ic->Color->Surf->Width;
  if (width == 0) width = (flags & DI_DEFAULTSIZE) ? GetSystemMetrics(SM_CXICON) : iw;
  if (height == 0) height = (flags & DI_DEFAULTSIZE) ? GetSystemMetrics(SM_CYICON) : ih;
  if ((flags & DI_NORMAL) == 0) flags |= DI_NORMAL;
  bool both = (flags & DI_NORMAL) == DI_NORMAL;
  POINT p = ToDevice(dc->St, x, y);
  // The mask's 1-bit pixels become black and white whatever the DC's colours.
  COLORREF text = dc->St.TextColor, back = dc->St.BkColor;
  dc->St.TextColor = RGB(0, 0, 0);
  dc->St.BkColor = RGB(255, 255, 255);
  const Integer mode = COLORONCOLOR;
  if (flags & DI_MASK)
    Blit(*dc, p.x, p.y, width, height, &mask, nullptr, 0, 0, iw, ih, both ? SRCAND : SRCCOPY, mode);
  if (flags & DI_IMAGE) {
    DWORD rop = both ? SRCINVERT : SRCCOPY;
    if (ic->Color)
      Blit(*dc, p.x, p.y, width, height, ic->Color->Surf.get(), nullptr, 0, 0, iw, ih, rop, mode);
    else
      Blit(*dc, p.x, p.y, width, height, &mask, nullptr, 0, ih, iw, ih, rop, mode);
  }
  dc->St.TextColor = text;
  dc->St.BkColor = back;
  return TRUE;
}

BOOL DrawIcon(HDC hdc, Integer x, Integer y, HICON icon) {
  return DrawIconEx(hdc, x, y, icon, 0, 0, 0, 0, DI_NORMAL | DI_DEFAULTSIZE);
}
