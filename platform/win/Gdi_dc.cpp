// Device contexts: creation, selection, saved states, colours, modes and origins.
#include <utility>

#include "platform/win/Display.h"
#include "platform/win/GdiInternal.h"

namespace gdi {

std::shared_ptr<BitmapObj> DCObj::Target() const {
  if (Screen) return ScreenBitmap();
  if (Fixed) return Fixed;
  return St.Bitmap;
}

uint32_t ResolveColor(const DCState& st, COLORREF c) {
  if ((c >> 24) == 1 && st.Palette && !st.Palette->Entries.empty()) {
    size_t i = c & 0xFFFF;
    if (i >= st.Palette->Entries.size()) i = 0;
    const PALETTEENTRY& e = st.Palette->Entries[i];
    return (uint32_t{e.peRed} << 16) | (uint32_t{e.peGreen} << 8) | e.peBlue;
  }
  return RgbOf(c & 0xFFFFFF);
}

namespace {

// Swaps a selected object of one kind, keeping the counts and deferred deletes.
template <class T>
HGDIOBJ Swap(std::shared_ptr<T>& slot, std::shared_ptr<T> obj) {
  std::lock_guard lock(TableLock());
  std::shared_ptr<T> old = slot;
  if (old == obj) return old ? old->Handle : 0;
  AddSelection(obj);
  slot = obj;
  HGDIOBJ h = old ? old->Handle : 0;
  DropSelection(old);
  return h;
}

HBITMAP SwapBitmap(DCObj& dc, std::shared_ptr<BitmapObj> bmp) {
  std::lock_guard lock(TableLock());
  if (dc.Screen || dc.Fixed) return 0;
  if (!bmp->Stock && bmp->SelectedIn != 0 && bmp->SelectedIn != dc.Handle) return 0;
  std::shared_ptr<BitmapObj> old = dc.St.Bitmap;
  if (old == bmp) return old->Handle;
  if (old && !old->Stock) old->SelectedIn = 0;
  if (!bmp->Stock) bmp->SelectedIn = dc.Handle;
  AddSelection(bmp);
  dc.St.Bitmap = bmp;
  HBITMAP h = old ? old->Handle : 0;
  DropSelection(old);
  return h;
}

HDC NewDC(bool screen) {
  auto dc = std::make_shared<DCObj>();
  dc->Screen = screen;
  SelectInitial(*dc);
  if (screen) {
    // Screen coordinates on the screen's surface, whose first pixel is the screen's
    // top-left (below 0 on a virtual screen reaching left of or above the primary).
    const larkwin::ScreenMode mode = larkwin::Display().Mode();
    dc->St.DevOrg = POINT{-mode.originX, -mode.originY};
  }
  return AddObject(dc);
}

}  // namespace

HDC NewScreenDC() { return NewDC(true); }

HDC NewWindowDC(HWND hWnd, std::shared_ptr<BitmapObj> surface, POINT origin, Region visible) {
  auto dc = std::make_shared<DCObj>();
  dc->Screen = false;
  SelectInitial(*dc);
  {
    std::lock_guard lock(TableLock());
    DropSelection(dc->St.Bitmap);
    dc->St.Bitmap.reset();
  }
  dc->Window = hWnd;
  dc->Fixed = std::move(surface);
  dc->St.DevOrg = origin;
  dc->SysClip = visible;
  dc->St.Clip = std::move(visible);
  return AddObject(dc);
}

std::shared_ptr<BitmapObj> NewWindowSurface(Integer width, Integer height) {
  auto b = std::make_shared<BitmapObj>();
  b->Surf = std::make_shared<Surface>();
  if (!AllocateSurface(*b->Surf, std::max<Integer>(width, 1), std::max<Integer>(height, 1), 32, true))
    return nullptr;
  SetDefaultMasks(*b->Surf);
  b->Stock = true;
  return b;
}

namespace {

template <class T, class F>
T WithDC(HDC hdc, T fail, F f) {
  auto dc = FindDC(hdc);
  if (!dc) {
    SetLastError(ERROR_INVALID_HANDLE);
    return fail;
  }
  return f(*dc);
}

BOOL SetOrigin(HDC hdc, POINT DCState::*which, Integer x, Integer y, bool offset, POINT* previous) {
  return WithDC(hdc, FALSE, [&](DCObj& dc) {
    POINT& p = dc.St.*which;
    if (previous) *previous = p;
    if (offset) {
      p.x += x;
      p.y += y;
    } else {
      p = POINT{x, y};
    }
    return TRUE;
  });
}

}  // namespace

}  // namespace gdi

using namespace gdi;

HDC CreateCompatibleDC(HDC hdc) {
  if (hdc != 0 && !FindDC(hdc)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  return NewDC(false);
}

HDC CreatePrinterDC(Integer width, Integer height, Integer dpiX, Integer dpiY) {
  if (width < 1 || height < 1 || dpiX < 1 || dpiY < 1) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  auto dc = std::make_shared<DCObj>();
  dc->Printer = PrinterCaps{width, height, dpiX, dpiY};
  SelectInitial(*dc);
  return AddObject(dc);
}

BOOL DeleteDC(HDC hdc) {
  auto dc = FindDC(hdc);
  if (!dc) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  std::lock_guard lock(TableLock());
  DropAllSelections(dc->St);
  dc->Saved.clear();
  RemoveObject(hdc);
  return TRUE;
}

HGDIOBJ SelectObject(HDC hdc, HGDIOBJ obj) {
  auto dc = FindDC(hdc);
  auto o = FindObject(obj);
  if (!dc || !o || (o->DeletePending && o->SelectCount == 0)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  switch (o->ObjKind) {
    case Kind::Bitmap: return SwapBitmap(*dc, std::static_pointer_cast<BitmapObj>(o));
    case Kind::Pen: return Swap(dc->St.Pen, std::static_pointer_cast<PenObj>(o));
    case Kind::Brush: return Swap(dc->St.Brush, std::static_pointer_cast<BrushObj>(o));
    case Kind::Font: return Swap(dc->St.Font, std::static_pointer_cast<FontObj>(o));
    case Kind::Region: {
      Integer kind = SelectClipRgn(hdc, obj);
      return kind == ERROR ? HGDI_ERROR : static_cast<HGDIOBJ>(kind);
    }
    default: SetLastError(ERROR_INVALID_PARAMETER); return 0;
  }
}

HGDIOBJ GetCurrentObject(HDC hdc, UINT kind) {
  return WithDC(hdc, HGDIOBJ{0}, [&](DCObj& dc) -> HGDIOBJ {
    std::shared_ptr<Object> o;
    switch (kind) {
      case OBJ_PEN: o = dc.St.Pen; break;
      case OBJ_BRUSH: o = dc.St.Brush; break;
      case OBJ_FONT: o = dc.St.Font; break;
      case OBJ_BITMAP: o = dc.Target(); break;
      case OBJ_PAL: o = dc.St.Palette; break;
      default: return 0;
    }
    return o ? o->Handle : 0;
  });
}

Integer SaveDC(HDC hdc) {
  return WithDC(hdc, 0, [&](DCObj& dc) {
    dc.Saved.push_back(dc.St);
    return static_cast<Integer>(dc.Saved.size());
  });
}

BOOL RestoreDC(HDC hdc, Integer savedDC) {
  return WithDC(hdc, FALSE, [&](DCObj& dc) {
    Integer depth = static_cast<Integer>(dc.Saved.size());
    Integer level = savedDC < 0 ? depth + savedDC + 1 : savedDC;
    if (savedDC == 0 || level < 1 || level > depth) return FALSE;
    DCState st = dc.Saved[static_cast<size_t>(level - 1)];
    dc.Saved.resize(static_cast<size_t>(level - 1));
    // Objects go back through the selection bookkeeping; a bitmap meanwhile selected
    // into another DC stays where it is.
    if (st.Bitmap && !dc.Screen && !dc.Fixed) SwapBitmap(dc, st.Bitmap);
    Swap(dc.St.Pen, st.Pen);
    Swap(dc.St.Brush, st.Brush);
    Swap(dc.St.Font, st.Font);
    Swap(dc.St.Palette, st.Palette);
    dc.St.TextColor = st.TextColor;
    dc.St.BkColor = st.BkColor;
    dc.St.BkMode = st.BkMode;
    dc.St.Rop2 = st.Rop2;
    dc.St.StretchMode = st.StretchMode;
    dc.St.PolyFillMode = st.PolyFillMode;
    dc.St.TextAlign = st.TextAlign;
    dc.St.Pos = st.Pos;
    dc.St.WindowOrg = st.WindowOrg;
    dc.St.ViewportOrg = st.ViewportOrg;
    dc.St.BrushOrg = st.BrushOrg;
    dc.St.Clip = std::move(st.Clip);
    dc.St.AppClip = st.AppClip;
    return TRUE;
  });
}

COLORREF SetTextColor(HDC hdc, COLORREF color) {
  return WithDC(hdc, CLR_INVALID, [&](DCObj& dc) { return std::exchange(dc.St.TextColor, color); });
}
COLORREF GetTextColor(HDC hdc) {
  return WithDC(hdc, CLR_INVALID, [&](DCObj& dc) { return dc.St.TextColor; });
}
COLORREF SetBkColor(HDC hdc, COLORREF color) {
  return WithDC(hdc, CLR_INVALID, [&](DCObj& dc) { return std::exchange(dc.St.BkColor, color); });
}
COLORREF GetBkColor(HDC hdc) {
  return WithDC(hdc, CLR_INVALID, [&](DCObj& dc) { return dc.St.BkColor; });
}
Integer SetBkMode(HDC hdc, Integer mode) {
  if (mode != OPAQUE && mode != TRANSPARENT) return 0;
  return WithDC(hdc, 0, [&](DCObj& dc) { return std::exchange(dc.St.BkMode, mode); });
}
Integer GetBkMode(HDC hdc) {
  return WithDC(hdc, 0, [&](DCObj& dc) { return dc.St.BkMode; });
}
Integer SetROP2(HDC hdc, Integer mode) {
  if (mode < R2_BLACK || mode > R2_WHITE) return 0;
  return WithDC(hdc, 0, [&](DCObj& dc) { return std::exchange(dc.St.Rop2, mode); });
}
Integer GetROP2(HDC hdc) {
  return WithDC(hdc, 0, [&](DCObj& dc) { return dc.St.Rop2; });
}
Integer SetStretchBltMode(HDC hdc, Integer mode) {
  if (mode < BLACKONWHITE || mode > HALFTONE) return 0;
  return WithDC(hdc, 0, [&](DCObj& dc) { return std::exchange(dc.St.StretchMode, mode); });
}
Integer GetStretchBltMode(HDC hdc) {
  return WithDC(hdc, 0, [&](DCObj& dc) { return dc.St.StretchMode; });
}
Integer SetPolyFillMode(HDC hdc, Integer mode) {
  if (mode != ALTERNATE && mode != WINDING) return 0;
  return WithDC(hdc, 0, [&](DCObj& dc) { return std::exchange(dc.St.PolyFillMode, mode); });
}
Integer GetPolyFillMode(HDC hdc) {
  return WithDC(hdc, 0, [&](DCObj& dc) { return dc.St.PolyFillMode; });
}
UINT SetTextAlign(HDC hdc, UINT align) {
  return WithDC(hdc, static_cast<UINT>(GDI_ERROR), [&](DCObj& dc) { return std::exchange(dc.St.TextAlign, align); });
}
UINT GetTextAlign(HDC hdc) {
  return WithDC(hdc, static_cast<UINT>(GDI_ERROR), [&](DCObj& dc) { return dc.St.TextAlign; });
}

BOOL SetWindowOrgEx(HDC hdc, Integer x, Integer y, POINT* previous) {
  return SetOrigin(hdc, &DCState::WindowOrg, x, y, false, previous);
}
BOOL OffsetWindowOrgEx(HDC hdc, Integer dx, Integer dy, POINT* previous) {
  return SetOrigin(hdc, &DCState::WindowOrg, dx, dy, true, previous);
}
BOOL GetWindowOrgEx(HDC hdc, POINT* origin) {
  return WithDC(hdc, FALSE, [&](DCObj& dc) {
    if (origin) *origin = dc.St.WindowOrg;
    return TRUE;
  });
}
BOOL SetViewportOrgEx(HDC hdc, Integer x, Integer y, POINT* previous) {
  return SetOrigin(hdc, &DCState::ViewportOrg, x, y, false, previous);
}
BOOL OffsetViewportOrgEx(HDC hdc, Integer dx, Integer dy, POINT* previous) {
  return SetOrigin(hdc, &DCState::ViewportOrg, dx, dy, true, previous);
}
BOOL GetViewportOrgEx(HDC hdc, POINT* origin) {
  return WithDC(hdc, FALSE, [&](DCObj& dc) {
    if (origin) *origin = dc.St.ViewportOrg;
    return TRUE;
  });
}
BOOL SetBrushOrgEx(HDC hdc, Integer x, Integer y, POINT* previous) {
  return SetOrigin(hdc, &DCState::BrushOrg, x, y, false, previous);
}
BOOL GetBrushOrgEx(HDC hdc, POINT* origin) {
  return WithDC(hdc, FALSE, [&](DCObj& dc) {
    if (origin) *origin = dc.St.BrushOrg;
    return TRUE;
  });
}
BOOL MoveToEx(HDC hdc, Integer x, Integer y, POINT* previous) {
  return SetOrigin(hdc, &DCState::Pos, x, y, false, previous);
}
BOOL GetCurrentPositionEx(HDC hdc, POINT* pos) {
  return WithDC(hdc, FALSE, [&](DCObj& dc) {
    if (pos) *pos = dc.St.Pos;
    return TRUE;
  });
}

HPALETTE SelectPalette(HDC hdc, HPALETTE palette, BOOL /*forceBackground*/) {
  auto dc = FindDC(hdc);
  auto p = Find<PaletteObj>(palette, Kind::Palette);
  if (!dc || !p) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  return Swap(dc->St.Palette, p);
}

UINT RealizePalette(HDC hdc) {
  return FindDC(hdc) ? 0 : static_cast<UINT>(GDI_ERROR);
}
