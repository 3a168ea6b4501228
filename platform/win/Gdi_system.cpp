// The virtual screen, device capabilities, system metrics and system colours.
#include <mutex>

#include "platform/win/Display.h"
#include "platform/win/GdiInternal.h"
#include "platform/win/WindowInternal.h"

namespace gdi {

namespace {

// The classic desktop scheme.
constexpr COLORREF kDefaultColors[COLOR_COUNT] = {
    RGB(212, 208, 200),  // COLOR_SCROLLBAR
    RGB(58, 110, 165),   // COLOR_BACKGROUND
    RGB(10, 36, 106),    // COLOR_ACTIVECAPTION
    RGB(128, 128, 128),  // COLOR_INACTIVECAPTION
    RGB(212, 208, 200),  // COLOR_MENU
    RGB(255, 255, 255),  // COLOR_WINDOW
    RGB(0, 0, 0),        // COLOR_WINDOWFRAME
    RGB(0, 0, 0),        // COLOR_MENUTEXT
    RGB(0, 0, 0),        // COLOR_WINDOWTEXT
    RGB(255, 255, 255),  // COLOR_CAPTIONTEXT
    RGB(212, 208, 200),  // COLOR_ACTIVEBORDER
    RGB(212, 208, 200),  // COLOR_INACTIVEBORDER
    RGB(128, 128, 128),  // COLOR_APPWORKSPACE
    RGB(10, 36, 106),    // COLOR_HIGHLIGHT
    RGB(255, 255, 255),  // COLOR_HIGHLIGHTTEXT
    RGB(212, 208, 200),  // COLOR_BTNFACE
    RGB(128, 128, 128),  // COLOR_BTNSHADOW
    RGB(128, 128, 128),  // COLOR_GRAYTEXT
    RGB(0, 0, 0),        // COLOR_BTNTEXT
    RGB(212, 208, 200),  // COLOR_INACTIVECAPTIONTEXT
    RGB(255, 255, 255),  // COLOR_BTNHIGHLIGHT
    RGB(64, 64, 64),     // COLOR_3DDKSHADOW
    RGB(212, 208, 200),  // COLOR_3DLIGHT
    RGB(0, 0, 0),        // COLOR_INFOTEXT
    RGB(255, 255, 225),  // COLOR_INFOBK
    RGB(181, 181, 181),  // 25 (unused)
    RGB(0, 0, 128),      // COLOR_HOTLIGHT
    RGB(166, 202, 240),  // COLOR_GRADIENTACTIVECAPTION
    RGB(192, 192, 192),  // COLOR_GRADIENTINACTIVECAPTION
    RGB(10, 36, 106),    // COLOR_MENUHILIGHT
    RGB(212, 208, 200),  // COLOR_MENUBAR
};

// The screen itself (its surface, size, depth and resolution) belongs to the display
// backend; GDI keeps the colours and metrics.
struct System {
  std::mutex Lock;
  COLORREF Colors[COLOR_COUNT];
  Integer Metrics[SM_COUNT];
};

System& Sys() {
  static System* s = [] {
    auto* sys = new System;
    return sys;
  }();
  return *s;
}

void SizeMetrics(System& s, Integer w, Integer h) {
  s.Metrics[SM_CXSCREEN] = w;
  s.Metrics[SM_CYSCREEN] = h;
  s.Metrics[SM_CXFULLSCREEN] = w;
  s.Metrics[SM_CYFULLSCREEN] = h - 19 - 28;  // caption and task bar
  s.Metrics[SM_CXMAXIMIZED] = w + 8;
  s.Metrics[SM_CYMAXIMIZED] = h - 28 + 8;
  s.Metrics[SM_CXVIRTUALSCREEN] = w;
  s.Metrics[SM_CYVIRTUALSCREEN] = h;
}

void ResetLocked(System& s) {
  for (Integer i = 0; i < COLOR_COUNT; ++i) s.Colors[i] = kDefaultColors[i];
  for (Integer& m : s.Metrics) m = 0;
  Integer* m = s.Metrics;
  m[SM_CXVSCROLL] = 17;
  m[SM_CYHSCROLL] = 17;
  m[SM_CYCAPTION] = 19;
  m[SM_CXBORDER] = 1;
  m[SM_CYBORDER] = 1;
  m[SM_CXDLGFRAME] = 3;
  m[SM_CYDLGFRAME] = 3;
  m[SM_CYVTHUMB] = 17;
  m[SM_CXHTHUMB] = 17;
  m[SM_CXICON] = 32;
  m[SM_CYICON] = 32;
  m[SM_CXCURSOR] = 32;
  m[SM_CYCURSOR] = 32;
  m[SM_CYMENU] = 19;
  m[SM_CYVSCROLL] = 17;
  m[SM_CXHSCROLL] = 17;
  m[SM_CXMIN] = 112;
  m[SM_CYMIN] = 27;
  m[SM_CXSIZE] = 18;
  m[SM_CYSIZE] = 18;
  m[SM_CXFRAME] = 4;
  m[SM_CYFRAME] = 4;
  m[SM_CXDOUBLECLK] = 4;
  m[SM_CYDOUBLECLK] = 4;
  m[SM_CXICONSPACING] = 75;
  m[SM_CYICONSPACING] = 75;
  m[SM_CXEDGE] = 2;
  m[SM_CYEDGE] = 2;
  m[SM_CXSMICON] = 16;
  m[SM_CYSMICON] = 16;
  m[SM_CYSMCAPTION] = 15;
  m[SM_CXDRAG] = 4;
  m[SM_CYDRAG] = 4;
  m[SM_CMONITORS] = 1;
  m[SM_CXFOCUSBORDER] = 1;
  m[SM_CYFOCUSBORDER] = 1;
  const larkwin::ScreenMode mode;
  SizeMetrics(s, mode.width, mode.height);
}

System& Ready() {
  System& s = Sys();
  static std::once_flag once;
  std::call_once(once, [&] {
    std::lock_guard lock(s.Lock);
    ResetLocked(s);
  });
  return s;
}

}  // namespace

std::shared_ptr<BitmapObj> ScreenBitmap() { return larkwin::Display().ScreenBitmap(); }

ScreenInfo CurrentScreen() {
  const larkwin::ScreenMode m = larkwin::Display().Mode();
  ScreenInfo info;
  info.Width = m.width;
  info.Height = m.height;
  info.Bpp = m.bitsPerPixel;
  info.DpiX = m.dpiX;
  info.DpiY = m.dpiY;
  return info;
}

bool SetScreen(Integer width, Integer height, Integer bpp) {
  if (width < 1 || height < 1 || width > 16384 || height > 16384) return false;
  if (bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32) return false;
  larkwin::ScreenMode mode = larkwin::Display().Mode();
  mode.width = width;
  mode.height = height;
  mode.bitsPerPixel = bpp;
  if (!larkwin::Display().SetMode(mode)) return false;
  System& s = Ready();
  std::lock_guard lock(s.Lock);
  SizeMetrics(s, width, height);
  return true;
}

void FollowScreenMode() {
  const larkwin::ScreenMode mode = larkwin::Display().Mode();
  System& s = Ready();
  std::lock_guard lock(s.Lock);
  SizeMetrics(s, mode.width, mode.height);
  s.Metrics[SM_XVIRTUALSCREEN] = mode.originX;
  s.Metrics[SM_YVIRTUALSCREEN] = mode.originY;
}

bool SetScreenOrigin(Integer x, Integer y) {
  larkwin::ScreenMode mode = larkwin::Display().Mode();
  mode.originX = x;
  mode.originY = y;
  if (!larkwin::Display().SetMode(mode)) return false;
  {
    System& s = Ready();
    std::lock_guard lock(s.Lock);
    s.Metrics[SM_XVIRTUALSCREEN] = x;
    s.Metrics[SM_YVIRTUALSCREEN] = y;
  }
  larkwin::RecomposeScreen();
  return true;
}

void SetDpi(Integer x, Integer y) {
  larkwin::ScreenMode mode = larkwin::Display().Mode();
  mode.dpiX = x;
  mode.dpiY = y;
  larkwin::Display().SetMode(mode);
}

void SetSysColorValue(Integer index, COLORREF color) {
  if (index < 0 || index >= COLOR_COUNT) return;
  System& s = Ready();
  std::lock_guard lock(s.Lock);
  s.Colors[index] = color & 0xFFFFFF;
}

void SetMetric(Integer index, Integer value) {
  if (index < 0 || index >= SM_COUNT) return;
  System& s = Ready();
  std::lock_guard lock(s.Lock);
  s.Metrics[index] = value;
}

void ResetSystem() {
  larkwin::NullBackend().Reset();
  if (&larkwin::Display() != &larkwin::NullBackend()) larkwin::Display().SetMode(larkwin::ScreenMode{});
  {
    System& s = Ready();
    std::lock_guard lock(s.Lock);
    ResetLocked(s);
  }
  // A display whose screen keeps its own size (a real one) keeps its metrics.
  FollowScreenMode();
}

}  // namespace gdi

using namespace gdi;

Integer GetDeviceCaps(HDC hdc, Integer index) {
  auto dc = FindDC(hdc);
  if (!dc) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  if (dc->Printer) {
    const PrinterCaps& p = *dc->Printer;
    switch (index) {
      case DRIVERVERSION: return 0x4000;
      case TECHNOLOGY: return DT_RASPRINTER;
      case HORZSIZE: return MulDiv(p.Width, 254, p.DpiX * 10);
      case VERTSIZE: return MulDiv(p.Height, 254, p.DpiY * 10);
      case HORZRES:
      case PHYSICALWIDTH: return p.Width;
      case VERTRES:
      case PHYSICALHEIGHT: return p.Height;
      case BITSPIXEL: return 24;
      case PLANES: return 1;
      case NUMBRUSHES:
      case NUMPENS:
      case NUMCOLORS: return -1;
      case RASTERCAPS: return RC_BITBLT | RC_BITMAP64 | RC_DI_BITMAP | RC_DIBTODEV | RC_STRETCHBLT | RC_STRETCHDIB;
      case LOGPIXELSX: return p.DpiX;
      case LOGPIXELSY: return p.DpiY;
      case COLORRES: return 24;
      default: return 0;
    }
  }
  ScreenInfo sc = CurrentScreen();
  bool palettised = sc.Bpp <= 8;
  switch (index) {
    case DRIVERVERSION: return 0x4000;
    case TECHNOLOGY: return DT_RASDISPLAY;
    case HORZSIZE: return MulDiv(sc.Width, 254, sc.DpiX * 10);
    case VERTSIZE: return MulDiv(sc.Height, 254, sc.DpiY * 10);
    case HORZRES: return sc.Width;
    case VERTRES: return sc.Height;
    case BITSPIXEL: return sc.Bpp;
    case PLANES: return 1;
    case NUMBRUSHES:
    case NUMPENS: return -1;
    case NUMFONTS: return 0;
    case NUMCOLORS: return palettised ? 20 : -1;
    case RASTERCAPS:
      return RC_BITBLT | RC_BITMAP64 | RC_DI_BITMAP | RC_DIBTODEV | RC_STRETCHBLT | RC_STRETCHDIB |
             (palettised ? RC_PALETTE : 0);
    case LOGPIXELSX: return sc.DpiX;
    case LOGPIXELSY: return sc.DpiY;
    case SIZEPALETTE: return palettised ? 256 : 0;
    case NUMRESERVED: return palettised ? 20 : 0;
    case COLORRES: return palettised ? 18 : 24;
    default: return 0;
  }
}

Integer GetSystemMetrics(Integer index) {
  if (index < 0 || index >= SM_COUNT) return 0;
  System& s = Ready();
  std::lock_guard lock(s.Lock);
  return s.Metrics[index];
}

COLORREF GetSysColor(Integer index) {
  if (index < 0 || index >= COLOR_COUNT) return 0;
  System& s = Ready();
  std::lock_guard lock(s.Lock);
  return s.Colors[index];
}

// ---------------------------------------------------------------------------------
// Palettes.

HPALETTE CreatePalette(const LOGPALETTE* palette) {
  if (!palette || palette->palNumEntries == 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  auto p = std::make_shared<PaletteObj>();
  p->Entries.assign(palette->palPalEntry, palette->palPalEntry + palette->palNumEntries);
  return AddObject(p);
}

UINT GetPaletteEntries(HPALETTE palette, UINT start, UINT entries, PALETTEENTRY* out) {
  auto p = Find<PaletteObj>(palette, Kind::Palette);
  if (!p) return 0;
  UINT size = static_cast<UINT>(p->Entries.size());
  if (!out) return size;
  if (start >= size) return 0;
  UINT n = std::min(entries, size - start);
  std::copy(p->Entries.begin() + start, p->Entries.begin() + start + n, out);
  return n;
}

UINT SetPaletteEntries(HPALETTE palette, UINT start, UINT entries, const PALETTEENTRY* in) {
  auto p = Find<PaletteObj>(palette, Kind::Palette);
  if (!p || !in || p->Stock) return 0;
  UINT size = static_cast<UINT>(p->Entries.size());
  if (start >= size) return 0;
  UINT n = std::min(entries, size - start);
  std::copy(in, in + n, p->Entries.begin() + start);
  return n;
}

UINT GetNearestPaletteIndex(HPALETTE palette, COLORREF color) {
  auto p = Find<PaletteObj>(palette, Kind::Palette);
  if (!p || p->Entries.empty()) return CLR_INVALID;
  std::vector<RGBQUAD> table;
  table.reserve(p->Entries.size());
  for (const PALETTEENTRY& e : p->Entries) table.push_back(RGBQUAD{e.peBlue, e.peGreen, e.peRed, 0});
  return static_cast<UINT>(NearestIndex(table.data(), static_cast<Integer>(table.size()), RgbOf(color & 0xFFFFFF)));
}
