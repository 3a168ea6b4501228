// The non-client area: frame, caption and standard scroll bars, their layout, hit
// testing and the classic drawing of them.
#include <algorithm>
#include <cstring>

#include "platform/win/WindowInternal.h"

namespace larkwin {

Integer FrameThickness(DWORD style, DWORD exStyle) {
  if (style & WS_THICKFRAME) return GetSystemMetrics(SM_CXFRAME);
  if ((style & WS_DLGFRAME) || (exStyle & WS_EX_DLGMODALFRAME)) return GetSystemMetrics(SM_CXDLGFRAME);
  if (style & WS_BORDER) return GetSystemMetrics(SM_CXBORDER);
  return 0;
}

Integer CaptionHeight(DWORD style, DWORD exStyle) {
  if ((style & WS_CAPTION) != WS_CAPTION) return 0;
  return GetSystemMetrics((exStyle & WS_EX_TOOLWINDOW) ? SM_CYSMCAPTION : SM_CYCAPTION);
}

namespace {

Integer EdgeOf(DWORD exStyle) {
  if (exStyle & WS_EX_CLIENTEDGE) return GetSystemMetrics(SM_CXEDGE);
  if (exStyle & WS_EX_STATICEDGE) return GetSystemMetrics(SM_CXBORDER);
  return 0;
}

// The parts of a window's frame in window coordinates.
struct Layout {
  Integer width = 0;
  Integer height = 0;
  Integer frame = 0;
  RECT caption;      // empty without a caption
  RECT inner;        // inside frame and caption: client edge, scroll bars, client
  RECT client;       // inside the client edge and scroll bars
  RECT vscroll;      // empty when not shown
  RECT hscroll;
  RECT corner;       // between the two bars
  RECT closeBox, maxBox, minBox;
};

Layout MakeLayout(const WindowRec& w) {
  Layout l;
  l.width = Width(w.rect);
  l.height = Height(w.rect);
  l.frame = FrameThickness(w.style, w.exStyle);
  const Integer captionHeight = CaptionHeight(w.style, w.exStyle);
  RECT r{l.frame, l.frame, l.width - l.frame, l.height - l.frame};
  if (captionHeight > 0) {
    l.caption = RECT{r.left, r.top, r.right, r.top + captionHeight - 1};
    r.top += captionHeight;
    if (w.style & WS_SYSMENU) {
      const Integer bw = GetSystemMetrics(SM_CXSIZE) - 2, bh = GetSystemMetrics(SM_CYSIZE) - 4;
      const Integer top = l.caption.top + (Height(l.caption) - bh) / 2;
      l.closeBox = RECT{l.caption.right - 2 - bw, top, l.caption.right - 2, top + bh};
      if ((w.style & (WS_MAXIMIZEBOX | WS_MINIMIZEBOX)) && !(w.exStyle & WS_EX_TOOLWINDOW)) {
        l.maxBox = RECT{l.closeBox.left - 2 - bw, top, l.closeBox.left - 2, top + bh};
        l.minBox = RECT{l.maxBox.left - bw, top, l.maxBox.left, top + bh};
      }
    }
  }
  l.inner = r;
  const Integer edge = EdgeOf(w.exStyle);
  r.left += edge;
  r.top += edge;
  r.right -= edge;
  r.bottom -= edge;
  const Integer sv = GetSystemMetrics(SM_CXVSCROLL), sh = GetSystemMetrics(SM_CYHSCROLL);
  if ((w.style & WS_VSCROLL) && r.right - r.left >= sv) {
    l.vscroll = RECT{r.right - sv, r.top, r.right, r.bottom};
    r.right -= sv;
  }
  if ((w.style & WS_HSCROLL) && r.bottom - r.top >= sh) {
    l.hscroll = RECT{r.left, r.bottom - sh, r.right, r.bottom};
    r.bottom -= sh;
    if (!IsRectEmpty(&l.vscroll)) {
      l.vscroll.bottom -= sh;
      l.corner = RECT{l.vscroll.left, l.vscroll.bottom, l.vscroll.right, l.vscroll.bottom + sh};
    }
  }
  if (r.right < r.left) r.right = r.left;
  if (r.bottom < r.top) r.bottom = r.top;
  l.client = r;
  return l;
}

bool Inside(const RECT& r, POINT p) { return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom; }

struct BarGeometry {
  bool shown = false;
  bool vertical = true;
  RECT rect;
  Integer arrow = 0;       // length of each arrow button
  Integer trackStart = 0;  // along the bar, window coordinates
  Integer trackLength = 0;
  Integer thumbStart = 0;
  Integer thumbLength = 0;
  bool thumb = false;
  Integer maxPos = 0;
};

BarGeometry MakeBar(const WindowRec& w, Integer bar) {
  BarGeometry g;
  const Layout l = MakeLayout(w);
  g.vertical = bar == SB_VERT;
  g.rect = g.vertical ? l.vscroll : l.hscroll;
  if (IsRectEmpty(&g.rect)) return g;
  g.shown = true;
  const Integer along = g.vertical ? Height(g.rect) : Width(g.rect);
  const Integer across = g.vertical ? Width(g.rect) : Height(g.rect);
  const Integer start = g.vertical ? g.rect.top : g.rect.left;
  g.arrow = std::min(across, along / 2);
  g.trackStart = start + g.arrow;
  g.trackLength = along - 2 * g.arrow;
  const ScrollBarState& s = w.bars[bar];
  const Integer range = s.max - s.min + 1;
  g.maxPos = s.max - std::max<Integer>(static_cast<Integer>(s.page) - 1, 0);
  if (range <= 0 || g.maxPos <= s.min || s.disabledArrows == ESB_DISABLE_BOTH) return g;
  Integer len = s.page == 0 ? across
                            : static_cast<Integer>(static_cast<int64_t>(g.trackLength) * s.page / range);
  len = std::max<Integer>(len, 8);
  if (len > g.trackLength) return g;
  g.thumb = true;
  g.thumbLength = len;
  const Integer pos = std::clamp(s.pos, s.min, g.maxPos);
  g.thumbStart = g.trackStart + static_cast<Integer>(static_cast<int64_t>(g.trackLength - len) *
                                                     (pos - s.min) / (g.maxPos - s.min));
  return g;
}

// ---- drawing helpers ----

void Fill(HDC dc, const RECT& r, Integer sysColor) { FillRect(dc, &r, static_cast<HBRUSH>(sysColor + 1)); }

void Line(HDC dc, Integer x0, Integer y0, Integer x1, Integer y1, COLORREF color) {
  HPEN pen = CreatePen(PS_SOLID, 1, color);
  HGDIOBJ old = SelectObject(dc, pen);
  MoveToEx(dc, x0, y0, nullptr);
  LineTo(dc, x1, y1);
  SelectObject(dc, old);
  DeleteObject(pen);
}

void RaisedBox(HDC dc, RECT r) {
  Fill(dc, r, COLOR_BTNFACE);
  DrawEdge(dc, &r, EDGE_RAISED, BF_RECT);
}

// A filled triangle pointing in a direction (0 up, 1 down, 2 left, 3 right).
void Arrow(HDC dc, const RECT& box, int direction, bool enabled) {
  const COLORREF color = GetSysColor(enabled ? COLOR_BTNTEXT : COLOR_GRAYTEXT);
  const Integer cx = (box.left + box.right) / 2, cy = (box.top + box.bottom) / 2;
  for (Integer i = 0; i < 4; ++i) {
    switch (direction) {
      case 0: Line(dc, cx - i, cy - 2 + i, cx + i + 1, cy - 2 + i, color); break;
      case 1: Line(dc, cx - i, cy + 1 - i, cx + i + 1, cy + 1 - i, color); break;
      case 2: Line(dc, cx - 2 + i, cy - i, cx - 2 + i, cy + i + 1, color); break;
      default: Line(dc, cx + 1 - i, cy - i, cx + 1 - i, cy + i + 1, color); break;
    }
  }
}

// The classic track: every other pixel of the highlight colour over the button face.
void Track(HDC dc, const RECT& r) {
  if (IsRectEmpty(&r)) return;
  uint32_t pattern[8 * 8];
  const COLORREF face = GetSysColor(COLOR_BTNFACE), light = GetSysColor(COLOR_BTNHIGHLIGHT);
  auto value = [](COLORREF c) { return gdi::RgbOf(c); };
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) pattern[y * 8 + x] = ((x + y) & 1) ? value(face) : value(light);
  HBITMAP bitmap = CreateBitmap(8, 8, 1, 32, pattern);
  HBRUSH brush = CreatePatternBrush(bitmap);
  FillRect(dc, &r, brush);
  DeleteObject(brush);
  DeleteObject(bitmap);
}

void DrawBar(HDC dc, const WindowRec& w, Integer bar) {
  const BarGeometry g = MakeBar(w, bar);
  if (!g.shown) return;
  const ScrollBarState& s = w.bars[bar];
  const bool enabled = g.thumb;
  RECT first = g.rect, second = g.rect, track = g.rect;
  if (g.vertical) {
    first.bottom = first.top + g.arrow;
    second.top = second.bottom - g.arrow;
    track.top = first.bottom;
    track.bottom = second.top;
  } else {
    first.right = first.left + g.arrow;
    second.left = second.right - g.arrow;
    track.left = first.right;
    track.right = second.left;
  }
  RaisedBox(dc, first);
  RaisedBox(dc, second);
  Arrow(dc, first, g.vertical ? 0 : 2, enabled && !(s.disabledArrows & ESB_DISABLE_LTUP));
  Arrow(dc, second, g.vertical ? 1 : 3, enabled && !(s.disabledArrows & ESB_DISABLE_RTDN));
  Track(dc, track);
  if (g.thumb) {
    RECT thumb = track;
    if (g.vertical) {
      thumb.top = g.thumbStart;
      thumb.bottom = g.thumbStart + g.thumbLength;
    } else {
      thumb.left = g.thumbStart;
      thumb.right = g.thumbStart + g.thumbLength;
    }
    RaisedBox(dc, thumb);
  }
}

void CaptionButton(HDC dc, const RECT& box, int kind, bool maximized) {
  if (IsRectEmpty(&box)) return;
  RaisedBox(dc, box);
  const COLORREF ink = GetSysColor(COLOR_BTNTEXT);
  const Integer l = box.left + 4, t = box.top + 3, r = box.right - 5, b = box.bottom - 4;
  switch (kind) {
    case 0:  // close: a cross two pixels wide
      for (Integer i = 0; i <= std::min(r - l, b - t); ++i) {
        Line(dc, l + i, t + i, l + i + 2, t + i, ink);
        Line(dc, r - i - 1, t + i, r - i + 1, t + i, ink);
      }
      break;
    case 1:  // maximise or restore
      if (maximized) {
        RECT back{l + 2, t, r + 1, b - 1};
        FrameRect(dc, &back, static_cast<HBRUSH>(COLOR_BTNTEXT + 1));
        Line(dc, l + 2, t + 1, r + 1, t + 1, ink);
        RECT front{l, t + 3, r - 1, b + 1};
        Fill(dc, front, COLOR_BTNFACE);
        FrameRect(dc, &front, static_cast<HBRUSH>(COLOR_BTNTEXT + 1));
        Line(dc, l, t + 4, r - 1, t + 4, ink);
      } else {
        RECT frame{l, t, r + 1, b + 1};
        FrameRect(dc, &frame, static_cast<HBRUSH>(COLOR_BTNTEXT + 1));
        Line(dc, l, t + 1, r + 1, t + 1, ink);
      }
      break;
    default:  // minimise
      Line(dc, l + 1, b - 1, r - 1, b - 1, ink);
      Line(dc, l + 1, b, r - 1, b, ink);
      break;
  }
}

void CaptionBar(HDC dc, const WindowRec& w, const Layout& l, const std::string& text) {
  const bool active = w.ncActive;
  const COLORREF from = GetSysColor(active ? COLOR_ACTIVECAPTION : COLOR_INACTIVECAPTION);
  const COLORREF to = GetSysColor(active ? COLOR_GRADIENTACTIVECAPTION : COLOR_GRADIENTINACTIVECAPTION);
  const Integer width = Width(l.caption);
  // The classic gradient, left to right.
  for (Integer x = 0; x < width; ++x) {
    auto mix = [&](Byte a, Byte b) {
      return static_cast<Byte>(a + (static_cast<Integer>(b) - a) * x / std::max<Integer>(width - 1, 1));
    };
    const COLORREF c = RGB(mix(GetRValue(from), GetRValue(to)), mix(GetGValue(from), GetGValue(to)),
                           mix(GetBValue(from), GetBValue(to)));
    RECT column{l.caption.left + x, l.caption.top, l.caption.left + x + 1, l.caption.bottom};
    HBRUSH b = CreateSolidBrush(c);
    FillRect(dc, &column, b);
    DeleteObject(b);
  }
  Fill(dc, RECT{l.caption.left, l.caption.bottom, l.caption.right, l.caption.bottom + 1}, COLOR_BTNFACE);
  if (!text.empty()) {
    LOGFONT lf;
    lf.lfHeight = -11;
    lf.lfWeight = 700;
    std::strcpy(lf.lfFaceName, "MS Sans Serif");
    HFONT font = CreateFontIndirect(&lf);
    HGDIOBJ old = SelectObject(dc, font);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(active ? COLOR_CAPTIONTEXT : COLOR_INACTIVECAPTIONTEXT));
    RECT tr = l.caption;
    tr.left += 3;
    const RECT& firstBox = !IsRectEmpty(&l.minBox) ? l.minBox : l.closeBox;
    if (!IsRectEmpty(&firstBox)) tr.right = firstBox.left - 2;
    DrawText(dc, text.c_str(), -1, &tr, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
    SelectObject(dc, old);
    DeleteObject(font);
  }
  CaptionButton(dc, l.closeBox, 0, false);
  CaptionButton(dc, l.maxBox, 1, (w.style & WS_MAXIMIZE) != 0);
  CaptionButton(dc, l.minBox, 2, false);
}

}  // namespace

RECT DefaultClientRect(const RECT& window, DWORD style, DWORD exStyle) {
  WindowRec w;
  w.rect = window;
  w.style = style;
  w.exStyle = exStyle;
  if (style & WS_MINIMIZE) return RECT{window.left, window.top, window.left, window.top};
  const Layout l = MakeLayout(w);
  RECT c = l.client;
  c.left += window.left;
  c.right += window.left;
  c.top += window.top;
  c.bottom += window.top;
  return c;
}

LRESULT DefaultHitTest(HWND hWnd, POINT screen) {
  Registry& reg = Reg();
  std::lock_guard<std::mutex> lock(reg.mutex);
  auto w = FindLocked(reg, hWnd);
  if (!w) return HTNOWHERE;
  const RECT sr = ScreenRectLocked(reg, *w);
  const POINT p{screen.x - sr.left, screen.y - sr.top};
  if (p.x < 0 || p.y < 0 || p.x >= Width(sr) || p.y >= Height(sr)) return HTNOWHERE;
  if (w->style & WS_MINIMIZE) return HTCAPTION;
  const Layout l = MakeLayout(*w);
  if (Inside(l.client, p)) return HTCLIENT;
  if (Inside(l.vscroll, p)) return HTVSCROLL;
  if (Inside(l.hscroll, p)) return HTHSCROLL;
  if (Inside(l.corner, p)) return (w->style & WS_THICKFRAME) ? HTGROWBOX : HTNOWHERE;
  if (Inside(l.closeBox, p)) return HTCLOSE;
  if (Inside(l.maxBox, p)) return HTMAXBUTTON;
  if (Inside(l.minBox, p)) return HTMINBUTTON;
  if (Inside(l.caption, p)) return HTCAPTION;
  if (Inside(l.inner, p)) return HTBORDER;
  if (l.frame > 0 && !Inside(RECT{l.frame, l.frame, l.width - l.frame, l.height - l.frame}, p)) {
    if (!(w->style & WS_THICKFRAME)) return HTBORDER;
    const Integer corner = GetSystemMetrics(SM_CXSIZE);
    const bool left = p.x < corner, right = p.x >= l.width - corner;
    const bool top = p.y < corner, bottom = p.y >= l.height - corner;
    if (p.y < l.frame) return left ? HTTOPLEFT : right ? HTTOPRIGHT : HTTOP;
    if (p.y >= l.height - l.frame) return left ? HTBOTTOMLEFT : right ? HTBOTTOMRIGHT : HTBOTTOM;
    if (p.x < l.frame) return top ? HTTOPLEFT : bottom ? HTBOTTOMLEFT : HTLEFT;
    return top ? HTTOPRIGHT : bottom ? HTBOTTOMRIGHT : HTRIGHT;
  }
  return HTNOWHERE;
}

void PaintFrame(HWND hWnd) {
  WindowRec copy;
  {
    Registry& reg = Reg();
    std::lock_guard<std::mutex> lock(reg.mutex);
    auto w = FindLocked(reg, hWnd);
    if (!w) return;
    copy.rect = w->rect;
    copy.style = w->style;
    copy.exStyle = w->exStyle;
    copy.ncActive = w->ncActive;
    copy.bars[0] = w->bars[0];
    copy.bars[1] = w->bars[1];
    copy.text = w->text;
  }
  const Layout l = MakeLayout(copy);
  if (l.frame == 0 && IsRectEmpty(&l.caption) && EdgeOf(copy.exStyle) == 0 && IsRectEmpty(&l.vscroll) &&
      IsRectEmpty(&l.hscroll))
    return;
  HDC dc = GetWindowDC(hWnd);
  if (dc == 0) return;
  // Nothing of the frame is drawn over the client area.
  ExcludeClipRect(dc, l.client.left, l.client.top, l.client.right, l.client.bottom);
  RECT all{0, 0, l.width, l.height};
  if (copy.style & WS_THICKFRAME) {
    RECT r = all;
    DrawEdge(dc, &r, EDGE_RAISED, BF_RECT | BF_ADJUST);
    const HBRUSH border = static_cast<HBRUSH>((copy.ncActive ? COLOR_ACTIVEBORDER : COLOR_INACTIVEBORDER) + 1);
    for (Integer i = 2; i < l.frame; ++i) {
      FrameRect(dc, &r, border);
      InflateRect(&r, -1, -1);
    }
  } else if (l.frame >= 2) {
    RECT r = all;
    DrawEdge(dc, &r, EDGE_RAISED, BF_RECT | BF_ADJUST);
    for (Integer i = 2; i < l.frame; ++i) {
      FrameRect(dc, &r, static_cast<HBRUSH>(COLOR_BTNFACE + 1));
      InflateRect(&r, -1, -1);
    }
  } else if (l.frame == 1) {
    FrameRect(dc, &all, static_cast<HBRUSH>(COLOR_WINDOWFRAME + 1));
  }
  if (!IsRectEmpty(&l.caption)) CaptionBar(dc, copy, l, copy.text);
  const Integer edge = EdgeOf(copy.exStyle);
  if (edge > 0) {
    RECT r = l.inner;
    DrawEdge(dc, &r, edge == 2 ? EDGE_SUNKEN : BDR_SUNKENOUTER, BF_RECT);
  }
  DrawBar(dc, copy, SB_VERT);
  DrawBar(dc, copy, SB_HORZ);
  if (!IsRectEmpty(&l.corner)) Fill(dc, l.corner, COLOR_BTNFACE);
  ReleaseDC(hWnd, dc);
}

bool ScrollBarRect(HWND hWnd, Integer bar, RECT* rect) {
  Registry& reg = Reg();
  std::lock_guard<std::mutex> lock(reg.mutex);
  auto w = FindLocked(reg, hWnd);
  if (!w) return false;
  const BarGeometry g = MakeBar(*w, bar);
  if (rect) *rect = g.rect;
  return g.shown;
}

WPARAM ScrollBarPart(HWND hWnd, Integer bar, POINT p, Integer* thumbStart) {
  Registry& reg = Reg();
  std::lock_guard<std::mutex> lock(reg.mutex);
  auto w = FindLocked(reg, hWnd);
  if (!w) return SB_ENDSCROLL;
  const BarGeometry g = MakeBar(*w, bar);
  if (!g.shown || !Inside(g.rect, p)) return SB_ENDSCROLL;
  const Integer at = g.vertical ? p.y : p.x;
  if (thumbStart) *thumbStart = g.thumbStart;
  if (at < g.trackStart) return SB_LINEUP;
  if (at >= g.trackStart + g.trackLength) return SB_LINEDOWN;
  if (!g.thumb) return SB_ENDSCROLL;
  if (at < g.thumbStart) return SB_PAGEUP;
  if (at >= g.thumbStart + g.thumbLength) return SB_PAGEDOWN;
  return SB_THUMBTRACK;
}

Integer ScrollPosFromPoint(HWND hWnd, Integer bar, POINT p, Integer grabOffset) {
  Registry& reg = Reg();
  std::lock_guard<std::mutex> lock(reg.mutex);
  auto w = FindLocked(reg, hWnd);
  if (!w) return 0;
  const BarGeometry g = MakeBar(*w, bar);
  const ScrollBarState& s = w->bars[bar];
  if (!g.thumb) return s.pos;
  const Integer free = g.trackLength - g.thumbLength;
  if (free <= 0) return s.min;
  const Integer at = (g.vertical ? p.y : p.x) - grabOffset - g.trackStart;
  const Integer clamped = std::clamp(at, 0, free);
  return s.min + static_cast<Integer>((static_cast<int64_t>(clamped) * (g.maxPos - s.min) + free / 2) / free);
}

void StartScrollTracking(HWND hWnd, Integer bar, POINT screen) {
  RECT wr;
  GetWindowRect(hWnd, &wr);
  const POINT p{screen.x - wr.left, screen.y - wr.top};
  Integer thumbStart = 0;
  const WPARAM part = ScrollBarPart(hWnd, bar, p, &thumbStart);
  if (part == SB_ENDSCROLL) return;
  {
    Registry& reg = Reg();
    std::lock_guard<std::mutex> lock(reg.mutex);
    reg.track.hwnd = hWnd;
    reg.track.bar = bar;
    reg.track.request = part;
    reg.track.grabOffset = (bar == SB_VERT ? p.y : p.x) - thumbStart;
  }
  const UINT msg = bar == SB_VERT ? WM_VSCROLL : WM_HSCROLL;
  if (part != SB_THUMBTRACK) SendMessage(hWnd, msg, part, 0);
  // As the platform's tracking loop does: the mouse messages already queued for the
  // window (the person was quicker than the program) are the drag's.
  for (;;) {
    {
      Registry& reg = Reg();
      std::lock_guard<std::mutex> lock(reg.mutex);
      if (reg.track.hwnd != hWnd) return;
    }
    MSG m;
    if (!PeekMessage(&m, hWnd, WM_NCMOUSEMOVE, WM_MOUSELAST, PM_NOREMOVE)) return;
    const bool nc = m.message >= WM_NCMOUSEMOVE && m.message <= WM_NCMBUTTONDBLCLK;
    const bool mouse = m.message >= WM_MOUSEFIRST && m.message <= WM_MOUSELAST;
    if (!nc && !mouse) return;
    PeekMessage(&m, hWnd, m.message, m.message, PM_REMOVE);
    InputEvent e;
    e.pt = POINT{static_cast<int16_t>(LOWORD(static_cast<uintptr_t>(m.lParam))),
                 static_cast<int16_t>(HIWORD(static_cast<uintptr_t>(m.lParam)))};
    if (mouse) ClientToScreen(hWnd, &e.pt);
    if (m.message == WM_NCMOUSEMOVE || m.message == WM_MOUSEMOVE) {
      e.kind = InputKind::MouseMove;
    } else if (m.message == WM_NCLBUTTONUP || m.message == WM_LBUTTONUP) {
      e.kind = InputKind::ButtonUp;
    } else {
      continue;
    }
    HandleScrollTrack(e);
  }
}

}  // namespace larkwin
