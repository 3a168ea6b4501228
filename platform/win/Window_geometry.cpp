// Window geometry: rectangles and coordinates, z-order, SetWindowPos and ShowWindow,
// hit testing by position, and the relations between windows.
#include <algorithm>

#include "platform/win/WindowInternal.h"

namespace larkwin {

namespace {

constexpr Integer kIconicX = -32000;
constexpr Integer kIconicY = -32000;
constexpr Integer kIconicWidth = 160;

RECT Offset(RECT r, Integer dx, Integer dy) {
  r.left += dx;
  r.right += dx;
  r.top += dy;
  r.bottom += dy;
  return r;
}

bool Contains(const RECT& r, POINT p) {
  return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom;
}

bool IsTopmostLocked(Registry& reg, HWND h) {
  auto w = FindLocked(reg, h);
  return w && (w->exStyle & WS_EX_TOPMOST);
}

// Keeps every owned top-level window above its owner.
void FixOwnedLocked(Registry& reg) {
  auto& list = reg.topLevels;
  for (size_t guard = 0; guard < list.size() * list.size() + 1; ++guard) {
    bool moved = false;
    for (size_t i = 0; i < list.size(); ++i) {
      auto w = FindLocked(reg, list[i]);
      if (!w || w->owner == 0) continue;
      auto ownerAt = std::find(list.begin(), list.end(), w->owner);
      if (ownerAt == list.end()) continue;
      const size_t o = static_cast<size_t>(ownerAt - list.begin());
      if (i < o) continue;
      const HWND h = list[i];
      list.erase(list.begin() + static_cast<ptrdiff_t>(i));
      list.insert(list.begin() + static_cast<ptrdiff_t>(o), h);
      moved = true;
      break;
    }
    if (!moved) return;
  }
}

// Moves a window in its siblings' z-order; answers whether its place changed.
bool RestackLocked(Registry& reg, const std::shared_ptr<WindowRec>& w, HWND after) {
  const bool child = IsChildRec(*w);
  std::vector<HWND>* list = &reg.topLevels;
  if (child) {
    auto p = FindLocked(reg, w->parent);
    if (!p) return false;
    list = &p->children;
  }
  const std::vector<HWND> before = *list;
  std::erase(*list, w->hwnd);
  auto firstNonTopmost = [&] {
    auto it = list->begin();
    while (it != list->end() && IsTopmostLocked(reg, *it)) ++it;
    return it;
  };
  if (child) {
    if (after == HWND_BOTTOM) {
      list->push_back(w->hwnd);
    } else if (after == HWND_TOP || after == HWND_TOPMOST || after == HWND_NOTOPMOST) {
      list->insert(list->begin(), w->hwnd);
    } else {
      auto it = std::find(list->begin(), list->end(), after);
      list->insert(it == list->end() ? list->begin() : it + 1, w->hwnd);
    }
    return *list != before;
  }
  if (after == HWND_TOPMOST) {
    w->exStyle |= WS_EX_TOPMOST;
    list->insert(list->begin(), w->hwnd);
  } else if (after == HWND_NOTOPMOST) {
    w->exStyle &= ~WS_EX_TOPMOST;
    list->insert(firstNonTopmost(), w->hwnd);
  } else if (after == HWND_TOP) {
    list->insert((w->exStyle & WS_EX_TOPMOST) ? list->begin() : firstNonTopmost(), w->hwnd);
  } else if (after == HWND_BOTTOM) {
    w->exStyle &= ~WS_EX_TOPMOST;
    list->push_back(w->hwnd);
  } else {
    auto it = std::find(list->begin(), list->end(), after);
    if (it == list->end()) {
      list->insert(firstNonTopmost(), w->hwnd);
    } else {
      if (!IsTopmostLocked(reg, after)) w->exStyle &= ~WS_EX_TOPMOST;
      list->insert(it + 1, w->hwnd);
      // A window that is not topmost never goes among the topmost ones.
      if (!(w->exStyle & WS_EX_TOPMOST)) {
        std::erase(*list, w->hwnd);
        auto at = std::find(list->begin(), list->end(), after) + 1;
        if (at < firstNonTopmost()) at = firstNonTopmost();
        list->insert(at, w->hwnd);
      }
    }
  }
  FixOwnedLocked(reg);
  return *list != before;
}

struct HitResult {
  HWND hwnd = 0;
  bool toParent = false;  // a disabled child: the point belongs to its parent
  LRESULT hit = HTNOWHERE;
};

struct Snapshot {
  HWND hwnd;
  RECT screen;
  RECT clientScreen;
  bool visible;
  bool enabled;
  bool transparent;
  DWORD threadId;
};

std::vector<Snapshot> ChildSnapshots(HWND parent) {
  Registry& reg = Reg();
  std::lock_guard<std::mutex> lock(reg.mutex);
  std::vector<Snapshot> out;
  const std::vector<HWND>* list = &reg.topLevels;
  std::shared_ptr<WindowRec> p;
  if (parent != 0) {
    p = FindLocked(reg, parent);
    if (!p) return out;
    list = &p->children;
  }
  for (HWND h : *list) {
    auto w = FindLocked(reg, h);
    if (!w || w->destroying) continue;
    Snapshot s;
    s.hwnd = h;
    s.screen = ScreenRectLocked(reg, *w);
    const POINT co = ClientOriginLocked(reg, *w);
    s.clientScreen = RECT{co.x, co.y, co.x + Width(w->client), co.y + Height(w->client)};
    s.visible = (w->style & WS_VISIBLE) != 0;
    s.enabled = !(w->style & WS_DISABLED);
    s.transparent = (w->exStyle & WS_EX_TRANSPARENT) != 0;
    s.threadId = w->threadId;
    out.push_back(s);
  }
  return out;
}

// The deepest window under a screen point among parent's children (0: top-level
// windows). With hitTest, windows of the calling thread are asked WM_NCHITTEST and
// those answering HTTRANSPARENT are passed over.
HitResult HitAmong(HWND parent, POINT pt, bool hitTest) {
  for (const Snapshot& s : ChildSnapshots(parent)) {
    if (!s.visible || !Contains(s.screen, pt)) continue;
    if (!s.enabled) {
      if (parent == 0) return HitResult{s.hwnd, false, DefaultHitTest(s.hwnd, pt)};
      return HitResult{0, true, HTNOWHERE};
    }
    if (Contains(s.clientScreen, pt)) {
      HitResult deeper = HitAmong(s.hwnd, pt, hitTest);
      if (deeper.hwnd != 0) return deeper;
      if (deeper.toParent) return HitResult{s.hwnd, false, HTCLIENT};
    }
    LRESULT hit = HTNOWHERE;
    if (hitTest && s.threadId == GetCurrentThreadId()) {
      hit = SendMessage(s.hwnd, WM_NCHITTEST, 0, MAKELPARAM(static_cast<Word>(pt.x), static_cast<Word>(pt.y)));
      if (hit == HTTRANSPARENT) continue;
    } else {
      if (s.transparent && parent != 0) continue;
      hit = DefaultHitTest(s.hwnd, pt);
    }
    return HitResult{s.hwnd, false, hit};
  }
  return HitResult{};
}

void SendSizeAndMove(HWND hWnd) {
  RECT client;
  bool minimized = false, maximized = false;
  POINT origin;
  {
    Registry& reg = Reg();
    std::lock_guard<std::mutex> lock(reg.mutex);
    auto w = FindLocked(reg, hWnd);
    if (!w) return;
    w->needSize = false;
    client = w->client;
    minimized = (w->style & WS_MINIMIZE) != 0;
    maximized = (w->style & WS_MAXIMIZE) != 0;
    origin = POINT{client.left, client.top};
  }
  const WPARAM code = minimized ? SIZE_MINIMIZED : maximized ? SIZE_MAXIMIZED : SIZE_RESTORED;
  SendMessage(hWnd, WM_SIZE, code,
              minimized ? 0
                        : MAKELPARAM(static_cast<Word>(Width(client)), static_cast<Word>(Height(client))));
  SendMessage(hWnd, WM_MOVE, 0, MAKELPARAM(static_cast<Word>(origin.x), static_cast<Word>(origin.y)));
}

}  // namespace

// ---- geometry helpers ----

POINT ClientOriginLocked(Registry& reg, const WindowRec& w) {
  POINT p{w.client.left, w.client.top};
  if (!IsChildRec(w)) return p;
  auto parent = FindLocked(reg, w.parent);
  if (!parent) return p;
  const POINT o = ClientOriginLocked(reg, *parent);
  return POINT{p.x + o.x, p.y + o.y};
}

RECT ScreenRectLocked(Registry& reg, const WindowRec& w) {
  if (!IsChildRec(w)) return w.rect;
  auto parent = FindLocked(reg, w.parent);
  if (!parent) return w.rect;
  const POINT o = ClientOriginLocked(reg, *parent);
  return Offset(w.rect, o.x, o.y);
}

std::shared_ptr<WindowRec> TopLevelLocked(Registry& reg, const std::shared_ptr<WindowRec>& w) {
  std::shared_ptr<WindowRec> at = w;
  while (at && IsChildRec(*at)) {
    auto up = FindLocked(reg, at->parent);
    if (!up) break;
    at = up;
  }
  return at;
}

bool VisibleLocked(Registry& reg, const WindowRec& w) {
  const WindowRec* at = &w;
  std::shared_ptr<WindowRec> hold;
  for (;;) {
    if (!(at->style & WS_VISIBLE)) return false;
    if (!IsChildRec(*at)) return true;
    hold = FindLocked(reg, at->parent);
    if (!hold) return false;
    at = hold.get();
  }
}

POINT SurfaceOffsetLocked(Registry& reg, const std::shared_ptr<WindowRec>& w, bool client) {
  auto top = TopLevelLocked(reg, w);
  POINT p;
  if (client) {
    p = ClientOriginLocked(reg, *w);
  } else {
    const RECT r = ScreenRectLocked(reg, *w);
    p = POINT{r.left, r.top};
  }
  return POINT{p.x - top->rect.left, p.y - top->rect.top};
}

gdi::Region VisibleRegionLocked(Registry& reg, const std::shared_ptr<WindowRec>& w, bool client,
                                bool clipChildren, bool clipSiblings) {
  using gdi::Region;
  if (!VisibleLocked(reg, *w)) return Region();
  auto top = TopLevelLocked(reg, w);
  const POINT topOrigin{top->rect.left, top->rect.top};
  auto toSurface = [&](RECT r) { return Offset(r, -topOrigin.x, -topOrigin.y); };
  auto regionOf = [](const RECT& r) { return Region::FromRect(r.left, r.top, r.right, r.bottom); };
  RECT own;
  if (client) {
    const POINT o = ClientOriginLocked(reg, *w);
    own = RECT{o.x, o.y, o.x + Width(w->client), o.y + Height(w->client)};
  } else {
    own = ScreenRectLocked(reg, *w);
  }
  Region vis = regionOf(toSurface(own));
  // Inside every ancestor's client area; siblings above cut out where asked.
  std::shared_ptr<WindowRec> at = w;
  bool siblings = clipSiblings;
  while (IsChildRec(*at)) {
    auto parent = FindLocked(reg, at->parent);
    if (!parent) break;
    const POINT po = ClientOriginLocked(reg, *parent);
    const RECT pc{po.x, po.y, po.x + Width(parent->client), po.y + Height(parent->client)};
    vis = Region::Combine(vis, regionOf(toSurface(pc)), RGN_AND);
    if (siblings) {
      for (HWND s : parent->children) {
        if (s == at->hwnd) break;
        auto sw = FindLocked(reg, s);
        if (!sw || !(sw->style & WS_VISIBLE)) continue;
        vis = Region::Combine(vis, regionOf(toSurface(ScreenRectLocked(reg, *sw))), RGN_DIFF);
      }
    }
    at = parent;
    siblings = (at->style & WS_CLIPSIBLINGS) != 0;
  }
  if (clipChildren) {
    for (HWND c : w->children) {
      auto cw = FindLocked(reg, c);
      if (!cw || !(cw->style & WS_VISIBLE)) continue;
      vis = Region::Combine(vis, regionOf(toSurface(ScreenRectLocked(reg, *cw))), RGN_DIFF);
    }
  }
  return vis;
}

ThreadInput& ThreadInputLocked(Registry& reg, DWORD threadId) { return reg.threads[threadId]; }

}  // namespace larkwin

using larkwin::Reg;
using larkwin::Registry;
using larkwin::WindowRec;

// ---- coordinates ----

BOOL GetWindowRect(HWND hWnd, RECT* rect) {
  if (hWnd == GetDesktopWindow()) {
    const larkwin::ScreenMode m = larkwin::Display().Mode();
    if (rect) *rect = RECT{0, 0, m.width, m.height};
    return TRUE;
  }
  Registry& reg = Reg();
  std::lock_guard<std::mutex> lock(reg.mutex);
  auto w = larkwin::FindLocked(reg, hWnd);
  if (!w || rect == nullptr) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  *rect = larkwin::ScreenRectLocked(reg, *w);
  return TRUE;
}

BOOL GetClientRect(HWND hWnd, RECT* rect) {
  if (hWnd == GetDesktopWindow()) return GetWindowRect(hWnd, rect);
  Registry& reg = Reg();
  std::lock_guard<std::mutex> lock(reg.mutex);
  auto w = larkwin::FindLocked(reg, hWnd);
  if (!w || rect == nullptr) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  *rect = RECT{0, 0, larkwin::Width(w->client), larkwin::Height(w->client)};
  return TRUE;
}

namespace {

bool ClientOrigin(HWND hWnd, POINT* origin) {
  if (hWnd == 0 || hWnd == GetDesktopWindow()) {
    *origin = POINT{};
    return true;
  }
  Registry& reg = Reg();
  std::lock_guard<std::mutex> lock(reg.mutex);
  auto w = larkwin::FindLocked(reg, hWnd);
  if (!w) return false;
  *origin = larkwin::ClientOriginLocked(reg, *w);
  return true;
}

}  // namespace

BOOL ClientToScreen(HWND hWnd, POINT* point) {
  POINT o;
  if (point == nullptr || !ClientOrigin(hWnd, &o)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  point->x += o.x;
  point->y += o.y;
  return TRUE;
}

BOOL ScreenToClient(HWND hWnd, POINT* point) {
  POINT o;
  if (point == nullptr || !ClientOrigin(hWnd, &o)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  point->x -= o.x;
  point->y -= o.y;
  return TRUE;
}

Integer MapWindowPoints(HWND from, HWND to, POINT* points, UINT count) {
  POINT a, b;
  if (!ClientOrigin(from, &a) || !ClientOrigin(to, &b)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  const Integer dx = a.x - b.x, dy = a.y - b.y;
  for (UINT i = 0; points != nullptr && i < count; ++i) {
    points[i].x += dx;
    points[i].y += dy;
  }
  return static_cast<Integer>(static_cast<Word>(dx) | (static_cast<DWORD>(static_cast<Word>(dy)) << 16));
}

BOOL AdjustWindowRectEx(RECT* rect, DWORD style, BOOL menu, DWORD exStyle) {
  if (rect == nullptr) return FALSE;
  const Integer frame = larkwin::FrameThickness(style, exStyle);
  const Integer edge = (exStyle & WS_EX_CLIENTEDGE) ? GetSystemMetrics(SM_CXEDGE) : 0;
  rect->left -= frame + edge;
  rect->right += frame + edge;
  rect->top -= frame + edge + larkwin::CaptionHeight(style, exStyle) + (menu ? GetSystemMetrics(SM_CYMENU) : 0);
  rect->bottom += frame + edge;
  return TRUE;
}

BOOL AdjustWindowRect(RECT* rect, DWORD style, BOOL menu) {
  return AdjustWindowRectEx(rect, style, menu, 0);
}

// ---- state ----

BOOL IsWindowVisible(HWND hWnd) {
  if (hWnd != 0 && hWnd == GetDesktopWindow()) return TRUE;
  Registry& reg = Reg();
  std::lock_guard<std::mutex> lock(reg.mutex);
  auto w = larkwin::FindLocked(reg, hWnd);
  return w && larkwin::VisibleLocked(reg, *w) ? TRUE : FALSE;
}

BOOL IsIconic(HWND hWnd) {
  return (static_cast<DWORD>(GetWindowLong(hWnd, GWL_STYLE)) & WS_MINIMIZE) ? TRUE : FALSE;
}

BOOL IsZoomed(HWND hWnd) {
  return (static_cast<DWORD>(GetWindowLong(hWnd, GWL_STYLE)) & WS_MAXIMIZE) ? TRUE : FALSE;
}

// ---- SetWindowPos ----

BOOL SetWindowPos(HWND hWnd, HWND insertAfter, Integer x, Integer y, Integer cx, Integer cy,
                  UINT flags) {
  auto rec = larkwin::Find(hWnd);
  if (!rec || rec->destroying || hWnd == GetDesktopWindow()) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  RECT oldRect, oldClient, oldScreen;
  bool wasVisible;
  {
    Registry& reg = Reg();
    std::lock_guard<std::mutex> lock(reg.mutex);
    oldRect = rec->rect;
    oldClient = rec->client;
    oldScreen = larkwin::ScreenRectLocked(reg, *rec);
    wasVisible = (rec->style & WS_VISIBLE) != 0;
  }
  if ((flags & SWP_SHOWWINDOW) && wasVisible) flags &= ~SWP_SHOWWINDOW;
  if ((flags & SWP_HIDEWINDOW) && !wasVisible) flags &= ~SWP_HIDEWINDOW;
  if (!(flags & SWP_NOMOVE) && x == oldRect.left && y == oldRect.top) flags |= SWP_NOMOVE;
  if (!(flags & SWP_NOSIZE) && cx == larkwin::Width(oldRect) && cy == larkwin::Height(oldRect))
    flags |= SWP_NOSIZE;

  WINDOWPOS pos;
  pos.hwnd = hWnd;
  pos.hwndInsertAfter = insertAfter;
  pos.x = (flags & SWP_NOMOVE) ? oldRect.left : x;
  pos.y = (flags & SWP_NOMOVE) ? oldRect.top : y;
  pos.cx = (flags & SWP_NOSIZE) ? larkwin::Width(oldRect) : std::max(cx, 0);
  pos.cy = (flags & SWP_NOSIZE) ? larkwin::Height(oldRect) : std::max(cy, 0);
  pos.flags = flags;
  if (!(flags & SWP_NOSENDCHANGING)) {
    SendMessage(hWnd, WM_WINDOWPOSCHANGING, 0, reinterpret_cast<LPARAM>(&pos));
    if (!IsWindow(hWnd)) return FALSE;
  }
  flags = pos.flags;
  const RECT newRect{pos.x, pos.y, pos.x + std::max(pos.cx, 0), pos.y + std::max(pos.cy, 0)};
  const bool sized = larkwin::Width(newRect) != larkwin::Width(oldRect) ||
                     larkwin::Height(newRect) != larkwin::Height(oldRect);
  const bool moved = newRect.left != oldRect.left || newRect.top != oldRect.top;

  // The client area: asked of the window when its size or frame changes.
  RECT newClient = larkwin::Offset(oldClient, newRect.left - oldRect.left, newRect.top - oldRect.top);
  if (sized || (flags & SWP_FRAMECHANGED)) {
    NCCALCSIZE_PARAMS params;
    params.rgrc[0] = newRect;
    params.rgrc[1] = oldRect;
    params.rgrc[2] = oldClient;
    params.lppos = &pos;
    SendMessage(hWnd, WM_NCCALCSIZE, TRUE, reinterpret_cast<LPARAM>(&params));
    newClient = params.rgrc[0];
  }

  bool restacked = false;
  bool showNow = false;
  bool hideNow = false;
  {
    Registry& reg = Reg();
    std::lock_guard<std::mutex> lock(reg.mutex);
    if (larkwin::FindLocked(reg, hWnd) != rec) return FALSE;
    rec->rect = newRect;
    rec->client = newClient;
    if (!(rec->style & (WS_MINIMIZE | WS_MAXIMIZE))) rec->normalRect = newRect;
    if (!(flags & SWP_NOZORDER)) restacked = larkwin::RestackLocked(reg, rec, insertAfter);
    if (flags & SWP_SHOWWINDOW) {
      rec->style |= WS_VISIBLE;
      showNow = true;
    }
    if (flags & SWP_HIDEWINDOW) {
      rec->style &= ~WS_VISIBLE;
      hideNow = true;
    }
    if (!larkwin::IsChildRec(*rec) && rec->surface && sized) larkwin::EnsureSurfaceLocked(reg, rec);
  }
  const bool topLevel = !larkwin::IsChildRec(*rec);
  if (topLevel && showNow) larkwin::AnnounceTopLevel(hWnd);
  // Shown or restacked top-level windows become active unless told otherwise.
  if (topLevel && !(flags & SWP_NOACTIVATE) && IsWindowVisible(hWnd) && (showNow || restacked) &&
      IsWindowEnabled(hWnd)) {
    larkwin::ActivateWindow(hWnd, false, true);
  }
  if (!IsWindow(hWnd)) return FALSE;

  if (newClient.left == oldClient.left && newClient.top == oldClient.top) flags |= SWP_NOCLIENTMOVE;
  if (larkwin::Width(newClient) == larkwin::Width(oldClient) &&
      larkwin::Height(newClient) == larkwin::Height(oldClient))
    flags |= SWP_NOCLIENTSIZE;
  if (!moved) flags |= SWP_NOMOVE;
  if (!sized) flags |= SWP_NOSIZE;
  pos.flags = flags;
  pos.x = newRect.left;
  pos.y = newRect.top;
  pos.cx = larkwin::Width(newRect);
  pos.cy = larkwin::Height(newRect);
  SendMessage(hWnd, WM_WINDOWPOSCHANGED, 0, reinterpret_cast<LPARAM>(&pos));
  if (!IsWindow(hWnd)) return FALSE;

  if (hideNow) larkwin::LeaveWindow(hWnd, false);
  const bool changed = sized || moved || showNow || hideNow || restacked || (flags & SWP_FRAMECHANGED);
  if (changed && !(flags & SWP_NOREDRAW)) larkwin::ExposeAfterMove(hWnd, oldScreen, wasVisible);
  if (topLevel && changed) larkwin::AnnounceTopLevel(hWnd);
  if (topLevel && restacked) larkwin::RecomposeScreen();
  return TRUE;
}

BOOL MoveWindow(HWND hWnd, Integer x, Integer y, Integer width, Integer height, BOOL repaint) {
  return SetWindowPos(hWnd, 0, x, y, width, height,
                      SWP_NOZORDER | SWP_NOACTIVATE | (repaint ? 0 : SWP_NOREDRAW));
}

BOOL BringWindowToTop(HWND hWnd) {
  return SetWindowPos(hWnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}

// ---- ShowWindow ----

BOOL ShowWindow(HWND hWnd, Integer cmdShow) {
  auto rec = larkwin::Find(hWnd);
  if (!rec || rec->destroying) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  bool wasVisible, minimized, maximized, child;
  RECT normal, current;
  DWORD style, exStyle;
  {
    Registry& reg = Reg();
    std::lock_guard<std::mutex> lock(reg.mutex);
    wasVisible = (rec->style & WS_VISIBLE) != 0;
    minimized = (rec->style & WS_MINIMIZE) != 0;
    maximized = (rec->style & WS_MAXIMIZE) != 0;
    child = larkwin::IsChildRec(*rec);
    normal = rec->normalRect;
    current = rec->rect;
    style = rec->style;
    exStyle = rec->exStyle;
  }
  UINT swp = SWP_NOSIZE | SWP_NOMOVE;
  RECT target = current;
  bool show = true;
  bool activate = !child;
  DWORD setState = 0, clearState = 0;
  bool stateChange = false;
  switch (cmdShow) {
    case SW_HIDE:
      if (!wasVisible) return FALSE;
      show = false;
      activate = false;
      break;
    case SW_SHOWMINIMIZED:
    case SW_MINIMIZE:
    case SW_SHOWMINNOACTIVE:
    case SW_FORCEMINIMIZE:
      activate = activate && cmdShow == SW_SHOWMINIMIZED;
      if (!minimized) {
        setState = WS_MINIMIZE;
        clearState = WS_MAXIMIZE;
        stateChange = true;
        const Integer h = larkwin::CaptionHeight(style, exStyle) + 2 * larkwin::FrameThickness(style, exStyle);
        target = RECT{larkwin::kIconicX, larkwin::kIconicY, larkwin::kIconicX + larkwin::kIconicWidth, larkwin::kIconicY + h};
      }
      break;
    case SW_SHOWMAXIMIZED:
      if (!maximized) {
        MINMAXINFO mmi = larkwin::DefaultMinMaxInfo(style, exStyle);
        SendMessage(hWnd, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&mmi));
        setState = WS_MAXIMIZE;
        clearState = WS_MINIMIZE;
        stateChange = true;
        target = RECT{mmi.ptMaxPosition.x, mmi.ptMaxPosition.y, mmi.ptMaxPosition.x + mmi.ptMaxSize.x,
                      mmi.ptMaxPosition.y + mmi.ptMaxSize.y};
      }
      break;
    case SW_SHOWNOACTIVATE:
      activate = false;
      [[fallthrough]];
    case SW_SHOWNORMAL:
    case SW_RESTORE:
    case SW_SHOWDEFAULT:
      if (minimized || maximized) {
        clearState = WS_MINIMIZE | WS_MAXIMIZE;
        stateChange = true;
        target = normal;
      }
      break;
    case SW_SHOWNA:
      activate = false;
      break;
    case SW_SHOW:
    default:
      break;
  }
  if (stateChange) {
    swp = SWP_FRAMECHANGED | SWP_STATECHANGED;
    Registry& reg = Reg();
    std::lock_guard<std::mutex> lock(reg.mutex);
    if (!(rec->style & (WS_MINIMIZE | WS_MAXIMIZE))) rec->normalRect = rec->rect;
    rec->style = (rec->style & ~clearState) | setState;
  }
  if (show != wasVisible) {
    SendMessage(hWnd, WM_SHOWWINDOW, show ? TRUE : FALSE, 0);
    if (!IsWindow(hWnd)) return wasVisible ? TRUE : FALSE;
  }
  swp |= show ? SWP_SHOWWINDOW : SWP_HIDEWINDOW;
  if (!activate) swp |= SWP_NOACTIVATE;
  if (child || !activate) swp |= SWP_NOZORDER;
  SetWindowPos(hWnd, HWND_TOP, target.left, target.top, larkwin::Width(target), larkwin::Height(target),
               swp);
  if (!IsWindow(hWnd)) return wasVisible ? TRUE : FALSE;
  // A window minimised away from being active hands activation on.
  if ((setState & WS_MINIMIZE) && !activate && GetActiveWindow() == hWnd) {
    larkwin::ActivateWindow(larkwin::NextActiveCandidate(hWnd), false, true);
  }
  bool needSize;
  {
    Registry& reg = Reg();
    std::lock_guard<std::mutex> lock(reg.mutex);
    needSize = rec->needSize && (rec->style & WS_VISIBLE);
  }
  if (needSize) larkwin::SendSizeAndMove(hWnd);
  return wasVisible ? TRUE : FALSE;
}

BOOL CloseWindow(HWND hWnd) { return ShowWindow(hWnd, SW_MINIMIZE) || IsWindow(hWnd); }

BOOL GetWindowPlacement(HWND hWnd, WINDOWPLACEMENT* placement) {
  Registry& reg = Reg();
  std::lock_guard<std::mutex> lock(reg.mutex);
  auto w = larkwin::FindLocked(reg, hWnd);
  if (!w || placement == nullptr) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  placement->length = sizeof(WINDOWPLACEMENT);
  placement->flags = 0;
  placement->showCmd = !(w->style & WS_VISIBLE)    ? SW_HIDE
                       : (w->style & WS_MINIMIZE) ? SW_SHOWMINIMIZED
                       : (w->style & WS_MAXIMIZE) ? SW_SHOWMAXIMIZED
                                                  : SW_SHOWNORMAL;
  placement->ptMinPosition = POINT{-1, -1};
  placement->ptMaxPosition = POINT{-1, -1};
  placement->rcNormalPosition = (w->style & (WS_MINIMIZE | WS_MAXIMIZE)) ? w->normalRect : w->rect;
  return TRUE;
}

BOOL SetWindowPlacement(HWND hWnd, const WINDOWPLACEMENT* placement) {
  if (placement == nullptr || !IsWindow(hWnd)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const RECT& r = placement->rcNormalPosition;
  if (!IsIconic(hWnd) && !IsZoomed(hWnd)) {
    SetWindowPos(hWnd, 0, r.left, r.top, larkwin::Width(r), larkwin::Height(r), SWP_NOZORDER | SWP_NOACTIVATE);
  } else {
    Registry& reg = Reg();
    std::lock_guard<std::mutex> lock(reg.mutex);
    if (auto w = larkwin::FindLocked(reg, hWnd)) w->normalRect = r;
  }
  ShowWindow(hWnd, static_cast<Integer>(placement->showCmd));
  return TRUE;
}

// ---- hit testing by position ----

namespace larkwin {
HWND HitTestPoint(POINT point, LRESULT* hit) {
  const HitResult r = HitAmong(0, point, true);
  if (hit) *hit = r.hit;
  return r.hwnd;
}
}  // namespace larkwin

HWND WindowFromPoint(POINT point) {
  return larkwin::HitAmong(0, point, true).hwnd;
}

HWND ChildWindowFromPointEx(HWND parent, POINT point, UINT flags) {
  POINT screen = point;
  if (!ClientToScreen(parent, &screen)) return 0;
  RECT client;
  GetClientRect(parent, &client);
  if (!larkwin::Contains(client, point)) return 0;
  for (const larkwin::Snapshot& s : larkwin::ChildSnapshots(parent)) {
    if (!larkwin::Contains(s.screen, screen)) continue;
    if ((flags & CWP_SKIPINVISIBLE) && !s.visible) continue;
    if ((flags & CWP_SKIPDISABLED) && !s.enabled) continue;
    if ((flags & CWP_SKIPTRANSPARENT) && s.transparent) continue;
    return s.hwnd;
  }
  return parent;
}

HWND ChildWindowFromPoint(HWND parent, POINT point) {
  return ChildWindowFromPointEx(parent, point, CWP_ALL);
}

// ---- relations ----

HWND GetDesktopWindow() {
  Registry& reg = Reg();
  std::lock_guard<std::mutex> lock(reg.mutex);
  if (reg.desktop != 0) return reg.desktop;
  auto cls = std::make_shared<larkwin::ClassRec>();
  cls->name = "#32769";
  auto rec = std::make_shared<WindowRec>();
  rec->hwnd = reg.nextHandle;
  reg.nextHandle += 4;
  rec->cls = cls;
  rec->style = WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
  const larkwin::ScreenMode m = larkwin::Display().Mode();
  rec->rect = RECT{0, 0, m.width, m.height};
  rec->client = rec->rect;
  cls->windows = 1;
  reg.windows.emplace(rec->hwnd, rec);
  reg.desktop = rec->hwnd;
  return reg.desktop;
}

HWND GetWindow(HWND hWnd, UINT relation) {
  Registry& reg = Reg();
  std::lock_guard<std::mutex> lock(reg.mutex);
  auto w = larkwin::FindLocked(reg, hWnd);
  if (!w) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  if (relation == GW_CHILD) {
    if (hWnd == reg.desktop) return reg.topLevels.empty() ? 0 : reg.topLevels.front();
    return w->children.empty() ? 0 : w->children.front();
  }
  if (relation == GW_OWNER) return w->owner;
  if (relation == GW_ENABLEDPOPUP) {
    for (HWND t : reg.topLevels) {
      auto o = larkwin::FindLocked(reg, t);
      if (o && o->owner == hWnd && (o->style & WS_VISIBLE) && !(o->style & WS_DISABLED)) return t;
    }
    return 0;
  }
  const std::vector<HWND>* list = &reg.topLevels;
  if (larkwin::IsChildRec(*w)) {
    auto p = larkwin::FindLocked(reg, w->parent);
    if (!p) return 0;
    list = &p->children;
  }
  auto it = std::find(list->begin(), list->end(), hWnd);
  if (it == list->end()) return 0;
  switch (relation) {
    case GW_HWNDFIRST: return list->front();
    case GW_HWNDLAST: return list->back();
    case GW_HWNDNEXT: return it + 1 == list->end() ? 0 : *(it + 1);
    case GW_HWNDPREV: return it == list->begin() ? 0 : *(it - 1);
    default: SetLastError(ERROR_INVALID_PARAMETER); return 0;
  }
}

HWND GetTopWindow(HWND hWnd) {
  return GetWindow(hWnd == 0 ? GetDesktopWindow() : hWnd, GW_CHILD);
}

HWND GetNextWindow(HWND hWnd, UINT relation) { return GetWindow(hWnd, relation); }

HWND GetAncestor(HWND hWnd, UINT relation) {
  const HWND desktop = GetDesktopWindow();
  Registry& reg = Reg();
  std::lock_guard<std::mutex> lock(reg.mutex);
  auto w = larkwin::FindLocked(reg, hWnd);
  if (!w || hWnd == desktop) return 0;
  switch (relation) {
    case GA_PARENT: return larkwin::IsChildRec(*w) ? w->parent : desktop;
    case GA_ROOT: return larkwin::TopLevelLocked(reg, w)->hwnd;
    case GA_ROOTOWNER: {
      auto at = larkwin::TopLevelLocked(reg, w);
      while (at->owner != 0) {
        auto o = larkwin::FindLocked(reg, at->owner);
        if (!o) break;
        at = o;
      }
      return at->hwnd;
    }
    default: return 0;
  }
}

BOOL IsChild(HWND parent, HWND hWnd) {
  Registry& reg = Reg();
  std::lock_guard<std::mutex> lock(reg.mutex);
  auto w = larkwin::FindLocked(reg, hWnd);
  while (w && larkwin::IsChildRec(*w)) {
    if (w->parent == parent) return TRUE;
    w = larkwin::FindLocked(reg, w->parent);
  }
  return FALSE;
}

namespace {

void CollectDescendants(Registry& reg, HWND parent, std::vector<HWND>& out) {
  auto w = larkwin::FindLocked(reg, parent);
  if (!w) return;
  for (HWND c : w->children) {
    out.push_back(c);
    CollectDescendants(reg, c, out);
  }
}

}  // namespace

BOOL EnumWindows(WNDENUMPROC proc, LPARAM lParam) {
  if (proc == nullptr) return FALSE;
  std::vector<HWND> list;
  {
    Registry& reg = Reg();
    std::lock_guard<std::mutex> lock(reg.mutex);
    list = reg.topLevels;
  }
  for (HWND h : list) {
    if (IsWindow(h) && !proc(h, lParam)) break;
  }
  return TRUE;
}

BOOL EnumChildWindows(HWND parent, WNDENUMPROC proc, LPARAM lParam) {
  if (proc == nullptr) return FALSE;
  if (parent == 0 || parent == GetDesktopWindow()) return EnumWindows(proc, lParam);
  std::vector<HWND> list;
  {
    Registry& reg = Reg();
    std::lock_guard<std::mutex> lock(reg.mutex);
    CollectDescendants(reg, parent, list);
  }
  for (HWND h : list) {
    if (IsWindow(h) && !proc(h, lParam)) break;
  }
  return TRUE;
}

BOOL EnumThreadWindows(DWORD threadId, WNDENUMPROC proc, LPARAM lParam) {
  if (proc == nullptr) return FALSE;
  std::vector<HWND> list;
  {
    Registry& reg = Reg();
    std::lock_guard<std::mutex> lock(reg.mutex);
    for (HWND h : reg.topLevels) {
      auto w = larkwin::FindLocked(reg, h);
      if (w && w->threadId == threadId) list.push_back(h);
    }
  }
  for (HWND h : list) {
    if (IsWindow(h) && !proc(h, lParam)) break;
  }
  return TRUE;
}

LONG_PTR GetClassLongPtr(HWND hWnd, Integer index) {
  Registry& reg = Reg();
  std::lock_guard<std::mutex> lock(reg.mutex);
  auto w = larkwin::FindLocked(reg, hWnd);
  if (!w) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  const WNDCLASS& wc = w->cls->wc;
  switch (index) {
    case GCL_STYLE: return static_cast<LONG_PTR>(wc.style);
    case GCLP_HCURSOR: return static_cast<LONG_PTR>(wc.hCursor);
    case GCLP_HBRBACKGROUND: return static_cast<LONG_PTR>(wc.hbrBackground);
    case GCLP_HICON: return static_cast<LONG_PTR>(wc.hIcon);
    case GCLP_WNDPROC: return reinterpret_cast<LONG_PTR>(wc.lpfnWndProc);
    case GCL_CBWNDEXTRA: return wc.cbWndExtra;
    default: SetLastError(ERROR_INVALID_INDEX); return 0;
  }
}

LONG_PTR SetClassLongPtr(HWND hWnd, Integer index, LONG_PTR value) {
  Registry& reg = Reg();
  std::lock_guard<std::mutex> lock(reg.mutex);
  auto w = larkwin::FindLocked(reg, hWnd);
  if (!w) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  WNDCLASS& wc = w->cls->wc;
  LONG_PTR old = 0;
  switch (index) {
    case GCL_STYLE: old = wc.style; wc.style = static_cast<UINT>(value); return old;
    case GCLP_HCURSOR: old = static_cast<LONG_PTR>(wc.hCursor); wc.hCursor = static_cast<HCURSOR>(value); return old;
    case GCLP_HBRBACKGROUND:
      old = static_cast<LONG_PTR>(wc.hbrBackground);
      wc.hbrBackground = static_cast<HBRUSH>(value);
      return old;
    case GCLP_HICON: old = static_cast<LONG_PTR>(wc.hIcon); wc.hIcon = static_cast<HICON>(value); return old;
    case GCLP_WNDPROC:
      if (value == 0) return 0;
      old = reinterpret_cast<LONG_PTR>(wc.lpfnWndProc);
      wc.lpfnWndProc = reinterpret_cast<WNDPROC>(value);
      return old;
    default: SetLastError(ERROR_INVALID_INDEX); return 0;
  }
}

LONG_PTR GetClassLong(HWND hWnd, Integer index) { return GetClassLongPtr(hWnd, index); }
LONG_PTR SetClassLong(HWND hWnd, Integer index, LONG_PTR value) { return SetClassLongPtr(hWnd, index, value); }

Integer GetClassName(HWND hWnd, char* buffer, Integer maxCount) {
  if (buffer == nullptr || maxCount <= 0) return 0;
  Registry& reg = Reg();
  std::lock_guard<std::mutex> lock(reg.mutex);
  auto w = larkwin::FindLocked(reg, hWnd);
  if (!w) {
    buffer[0] = '\0';
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  const size_t n = std::min<size_t>(w->cls->name.size(), static_cast<size_t>(maxCount - 1));
  std::copy_n(w->cls->name.data(), n, buffer);
  buffer[n] = '\0';
  return static_cast<Integer>(n);
}
