// Painting: update regions, the WM_PAINT the loop makes from them, BeginPaint and
// EndPaint, DCs of windows on their top-level window's surface, scrolling pixels,
// and presenting what was painted to the display backend.
#include <algorithm>
#include <cstring>

#include "platform/win/WindowInternal.h"

namespace larkwin {

namespace {

using gdi::Region;

Region RegionOf(const RECT& r) { return Region::FromRect(r.left, r.top, r.right, r.bottom); }

RECT ClientBox(const WindowRec& w) { return RECT{0, 0, Width(w.client), Height(w.client)}; }

bool NeedsPaint(const WindowRec& w) { return !w.update.Empty() || w.frame || w.internalPaint; }

// Whether hWnd passes a GetMessage window filter (the registry mutex is held).
bool FilterMatchesLocked(Registry& reg, HWND hWnd, HWND filter) {
  if (filter == 0) return true;
  if (filter == static_cast<HWND>(-1)) return false;
  for (auto w = FindLocked(reg, hWnd); w;) {
    if (w->hwnd == filter) return true;
    if (!IsChildRec(*w)) return false;
    w = FindLocked(reg, w->parent);
  }
  return false;
}

// The first window needing paint in a subtree, parents first, siblings bottom first.
HWND FirstInSubtreeLocked(Registry& reg, const std::shared_ptr<WindowRec>& w, HWND filter) {
  if (!(w->style & WS_VISIBLE)) return 0;
  if (NeedsPaint(*w) && FilterMatchesLocked(reg, w->hwnd, filter)) return w->hwnd;
  for (auto it = w->children.rbegin(); it != w->children.rend(); ++it) {
    auto c = FindLocked(reg, *it);
    if (!c) continue;
    if (HWND h = FirstInSubtreeLocked(reg, c, filter); h != 0) return h;
  }
  return 0;
}

}  // namespace

void InvalidateLocked(Registry& reg, const std::shared_ptr<WindowRec>& w, const gdi::Region* rgn, bool erase,
                      bool frame, int children, std::vector<HWND>* woken) {
  if (w->destroying || !VisibleLocked(reg, *w)) return;
  const RECT box = ClientBox(*w);
  Region add = rgn != nullptr ? Region::Combine(*rgn, RegionOf(box), RGN_AND) : RegionOf(box);
  bool marked = false;
  if (!add.Empty()) {
    w->update = w->update.Empty() ? add : Region::Combine(w->update, add, RGN_OR);
    if (erase) w->erase = true;
    marked = true;
  }
  if (frame && !(w->frame)) {
    w->frame = true;
    marked = true;
  }
  if (marked && woken != nullptr) woken->push_back(w->hwnd);
  if (children < 0 || (children == 0 && (w->style & WS_CLIPCHILDREN))) return;
  const Region area = rgn != nullptr ? *rgn : RegionOf(box);
  for (HWND h : w->children) {
    auto c = FindLocked(reg, h);
    if (!c || !(c->style & WS_VISIBLE)) continue;
    const Region overlap = Region::Combine(area, RegionOf(c->rect), RGN_AND);
    if (overlap.Empty()) continue;
    Region inChild = overlap;
    inChild.Offset(-c->client.left, -c->client.top);
    const bool touchesFrame = !Region::Combine(overlap, RegionOf(c->client), RGN_DIFF).Empty();
    InvalidateLocked(reg, c, &inChild, erase, frame || touchesFrame, children, woken);
  }
}

void WakeForPaint(const std::vector<HWND>& windows) {
  for (HWND h : windows) {
    WindowOwner owner;
    if (!GetWindowOwner(h, &owner)) continue;
    {
      std::lock_guard<std::mutex> lock(owner.queue->mutex);
      if (std::find(owner.queue->paint.begin(), owner.queue->paint.end(), h) == owner.queue->paint.end())
        owner.queue->paint.push_back(h);
    }
    if (owner.threadId != GetCurrentThreadId()) owner.queue->Wake();
  }
}

void EnsureSurfaceLocked(Registry& /*reg*/, const std::shared_ptr<WindowRec>& top) {
  const Integer w = std::max<Integer>(Width(top->rect), 1), h = std::max<Integer>(Height(top->rect), 1);
  if (top->surface && top->surface->Surf->Width == w && top->surface->Surf->Height == h) return;
  auto fresh = gdi::NewWindowSurface(w, h);
  if (!fresh) return;
  if (top->surface) {
    const gdi::Surface& old = *top->surface->Surf;
    const Integer cw = std::min(old.Width, w), ch = std::min(old.Height, h);
    for (Integer y = 0; y < ch; ++y) std::memcpy(fresh->Surf->Row(y), old.Row(y), static_cast<size_t>(cw) * 4);
  }
  top->surface = fresh;
  top->dirty = RECT{0, 0, w, h};
}

void MarkDirtyLocked(WindowRec& top, const RECT& r) {
  if (r.right <= r.left || r.bottom <= r.top) return;
  if (IsRectEmpty(&top.dirty)) {
    top.dirty = r;
  } else {
    UnionRect(&top.dirty, &top.dirty, &r);
  }
}

void PresentDirty() {
  const DWORD self = GetCurrentThreadId();
  struct Job {
    HWND hwnd;
    RECT dirty;
    std::shared_ptr<gdi::BitmapObj> surface;
  };
  std::vector<Job> jobs;
  {
    Registry& reg = Reg();
    std::lock_guard<std::mutex> lock(reg.mutex);
    for (HWND h : reg.topLevels) {
      auto w = FindLocked(reg, h);
      if (!w || w->threadId != self || !w->surface || IsRectEmpty(&w->dirty)) continue;
      if (w->shown) jobs.push_back(Job{h, w->dirty, w->surface});
      w->dirty = RECT{};
    }
  }
  if (auto q = QueueOfThread(self)) q->presentPending.store(false, std::memory_order_relaxed);
  for (const Job& j : jobs) {
    const gdi::Surface& s = *j.surface->Surf;
    PixelView view;
    view.bits = s.Bits;
    view.width = s.Width;
    view.height = s.Height;
    view.stride = s.Stride;
    Display().Present(j.hwnd, j.dirty, view);
  }
}

HWND TakePaintWindowLocked(MessageQueue& queue, HWND filter) {
  Registry& reg = Reg();
  std::lock_guard<std::mutex> lock(reg.mutex);
  std::vector<std::shared_ptr<WindowRec>> tried;
  for (auto it = queue.paint.begin(); it != queue.paint.end();) {
    auto w = FindLocked(reg, *it);
    if (!w || w->destroying || !NeedsPaint(*w)) {
      it = queue.paint.erase(it);
      continue;
    }
    auto top = TopLevelLocked(reg, w);
    if (std::find(tried.begin(), tried.end(), top) == tried.end()) {
      tried.push_back(top);
      if (HWND h = FirstInSubtreeLocked(reg, top, filter); h != 0) return h;
    }
    ++it;
  }
  // What is left cannot be painted now: hidden windows (painted again when shown) or,
  // under a filter, windows the filter leaves out.
  if (filter == 0) queue.paint.clear();
  return 0;
}

void ExposeAfterMove(HWND hWnd, const RECT& oldScreen, bool wasVisible) {
  std::vector<HWND> woken;
  {
    Registry& reg = Reg();
    std::lock_guard<std::mutex> lock(reg.mutex);
    auto w = FindLocked(reg, hWnd);
    if (!w) return;
    if (IsChildRec(*w)) {
      auto parent = FindLocked(reg, w->parent);
      if (parent && wasVisible) {
        const POINT o = ClientOriginLocked(reg, *parent);
        RECT old = oldScreen;
        OffsetRect(&old, -o.x, -o.y);
        const Region area = RegionOf(old);
        InvalidateLocked(reg, parent, &area, true, false, 1, &woken);
      }
    } else if (w->surface) {
      EnsureSurfaceLocked(reg, w);
    }
    InvalidateLocked(reg, w, nullptr, true, true, 1, &woken);
  }
  WakeForPaint(woken);
}

}  // namespace larkwin

using larkwin::Reg;
using larkwin::Registry;
using larkwin::WindowRec;
using gdi::Region;

namespace {

std::shared_ptr<WindowRec> OwnWindow(HWND hWnd) {
  auto w = larkwin::Find(hWnd);
  if (!w) SetLastError(ERROR_INVALID_WINDOW_HANDLE);
  return w;
}

// A DC of a window: the client area or the whole window, clipped to what can be seen
// (and to extra, in client or window coordinates, when given).
HDC MakeWindowDC(HWND hWnd, DWORD flags, const Region* extra, bool extraExcludes) {
  if (hWnd == 0 || hWnd == GetDesktopWindow()) return gdi::NewScreenDC();
  Registry& reg = Reg();
  std::unique_lock<std::mutex> lock(reg.mutex);
  auto w = larkwin::FindLocked(reg, hWnd);
  if (!w) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  auto top = larkwin::TopLevelLocked(reg, w);
  larkwin::EnsureSurfaceLocked(reg, top);
  if (!top->surface) return 0;
  const bool client = !(flags & DCX_WINDOW);
  const bool clipChildren = (flags & DCX_CLIPCHILDREN) || (w->style & WS_CLIPCHILDREN);
  const bool clipSiblings = (flags & DCX_CLIPSIBLINGS) || (w->style & WS_CLIPSIBLINGS);
  Region vis = larkwin::VisibleRegionLocked(reg, w, client, clipChildren, clipSiblings);
  const POINT origin = larkwin::SurfaceOffsetLocked(reg, w, client);
  if (extra != nullptr) {
    Region moved = *extra;
    moved.Offset(origin.x, origin.y);
    vis = Region::Combine(vis, moved, extraExcludes ? RGN_DIFF : RGN_AND);
  }
  auto surface = top->surface;
  lock.unlock();
  return gdi::NewWindowDC(hWnd, surface, origin, vis);
}

Region RegionOfHandle(HRGN rgn) {
  auto r = gdi::Find<gdi::RegionObj>(rgn, gdi::Kind::Region);
  return r ? r->Rgn : Region();
}

// Adds or removes an area of a window's update region.
BOOL ChangeUpdate(HWND hWnd, const Region* area, bool invalidate, bool erase, bool frame, int children) {
  if (hWnd == 0) {
    // The whole screen: every shown top-level window.
    for (HWND h : larkwin::ShownTopLevelWindows()) ChangeUpdate(h, nullptr, invalidate, erase, true, 1);
    return TRUE;
  }
  std::vector<HWND> woken;
  {
    Registry& reg = Reg();
    std::lock_guard<std::mutex> lock(reg.mutex);
    auto w = larkwin::FindLocked(reg, hWnd);
    if (!w) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return FALSE;
    }
    if (invalidate) {
      larkwin::InvalidateLocked(reg, w, area, erase, frame, children, &woken);
    } else {
      std::function<void(const std::shared_ptr<WindowRec>&, const Region*)> validate =
          [&](const std::shared_ptr<WindowRec>& v, const Region* a) {
            if (a == nullptr) {
              v->update = Region();
              v->erase = false;
            } else {
              v->update = Region::Combine(v->update, *a, RGN_DIFF);
              if (v->update.Empty()) v->erase = false;
            }
            if (frame) v->frame = false;
            if (children <= 0) return;
            for (HWND h : v->children) {
              auto c = larkwin::FindLocked(reg, h);
              if (!c) continue;
              if (a == nullptr) {
                validate(c, nullptr);
              } else {
                Region inChild = *a;
                inChild.Offset(-c->client.left, -c->client.top);
                validate(c, &inChild);
              }
            }
          };
      validate(w, area);
    }
  }
  larkwin::WakeForPaint(woken);
  return TRUE;
}

void SendPaintsNow(HWND hWnd, bool children, bool eraseOnly) {
  if (!IsWindow(hWnd)) return;
  std::shared_ptr<WindowRec> w = larkwin::Find(hWnd);
  if (!w) return;
  bool needs;
  {
    Registry& reg = Reg();
    std::lock_guard<std::mutex> lock(reg.mutex);
    needs = larkwin::NeedsPaint(*w) && larkwin::VisibleLocked(reg, *w);
  }
  if (needs) {
    if (eraseOnly) {
      bool frame, erase;
      Region update;
      {
        Registry& reg = Reg();
        std::lock_guard<std::mutex> lock(reg.mutex);
        frame = std::exchange(w->frame, false);
        erase = std::exchange(w->erase, false);
        update = w->update;
      }
      if (frame) SendMessage(hWnd, WM_NCPAINT, 1, 0);
      if (erase && !update.Empty()) {
        HDC dc = MakeWindowDC(hWnd, 0, &update, false);
        SendMessage(hWnd, WM_ERASEBKGND, dc, 0);
        ReleaseDC(hWnd, dc);
      }
    } else {
      SendMessage(hWnd, WM_PAINT, 0, 0);
    }
  }
  if (!children) return;
  std::vector<HWND> kids;
  {
    Registry& reg = Reg();
    std::lock_guard<std::mutex> lock(reg.mutex);
    kids.assign(w->children.rbegin(), w->children.rend());
  }
  for (HWND c : kids) SendPaintsNow(c, true, eraseOnly);
}

}  // namespace

BOOL InvalidateRect(HWND hWnd, const RECT* rect, BOOL erase) {
  if (rect == nullptr) return ChangeUpdate(hWnd, nullptr, true, erase != FALSE, false, 0);
  const Region area = Region::FromRect(rect->left, rect->top, rect->right, rect->bottom);
  return ChangeUpdate(hWnd, &area, true, erase != FALSE, false, 0);
}

BOOL InvalidateRgn(HWND hWnd, HRGN region, BOOL erase) {
  if (region == 0) return InvalidateRect(hWnd, nullptr, erase);
  const Region area = RegionOfHandle(region);
  return ChangeUpdate(hWnd, &area, true, erase != FALSE, false, 0);
}

BOOL ValidateRect(HWND hWnd, const RECT* rect) {
  if (rect == nullptr) return ChangeUpdate(hWnd, nullptr, false, false, false, -1);
  const Region area = Region::FromRect(rect->left, rect->top, rect->right, rect->bottom);
  return ChangeUpdate(hWnd, &area, false, false, false, -1);
}

BOOL ValidateRgn(HWND hWnd, HRGN region) {
  if (region == 0) return ValidateRect(hWnd, nullptr);
  const Region area = RegionOfHandle(region);
  return ChangeUpdate(hWnd, &area, false, false, false, -1);
}

BOOL GetUpdateRect(HWND hWnd, RECT* rect, BOOL erase) {
  auto w = OwnWindow(hWnd);
  if (!w) return FALSE;
  Region update;
  bool due;
  {
    Registry& reg = Reg();
    std::lock_guard<std::mutex> lock(reg.mutex);
    update = w->update;
    due = w->erase;
  }
  if (erase && due && !update.Empty()) {
    HDC dc = MakeWindowDC(hWnd, 0, &update, false);
    SendMessage(hWnd, WM_ERASEBKGND, dc, 0);
    ReleaseDC(hWnd, dc);
    Registry& reg = Reg();
    std::lock_guard<std::mutex> lock(reg.mutex);
    w->erase = false;
  }
  if (rect != nullptr) *rect = update.Empty() ? RECT{} : update.Box();
  return update.Empty() ? FALSE : TRUE;
}

Integer GetUpdateRgn(HWND hWnd, HRGN region, BOOL erase) {
  RECT box;
  GetUpdateRect(hWnd, &box, erase);
  auto w = OwnWindow(hWnd);
  auto r = gdi::Find<gdi::RegionObj>(region, gdi::Kind::Region);
  if (!w || !r) return ERROR;
  Registry& reg = Reg();
  std::lock_guard<std::mutex> lock(reg.mutex);
  r->Rgn = w->update;
  return r->Rgn.Kind();
}

HDC BeginPaint(HWND hWnd, PAINTSTRUCT* paint) {
  auto w = OwnWindow(hWnd);
  if (!w || paint == nullptr) return 0;
  bool frame, erase;
  Region update;
  {
    Registry& reg = Reg();
    std::lock_guard<std::mutex> lock(reg.mutex);
    frame = std::exchange(w->frame, false);
    erase = std::exchange(w->erase, false);
    update = std::exchange(w->update, Region());
    w->internalPaint = false;
  }
  if (frame) SendMessage(hWnd, WM_NCPAINT, 1, 0);
  HDC dc = MakeWindowDC(hWnd, 0, &update, false);
  *paint = PAINTSTRUCT{};
  paint->hdc = dc;
  paint->rcPaint = update.Empty() ? RECT{} : update.Box();
  RECT client;
  GetClientRect(hWnd, &client);
  IntersectRect(&paint->rcPaint, &paint->rcPaint, &client);
  paint->fErase = FALSE;
  if (erase && dc != 0) paint->fErase = SendMessage(hWnd, WM_ERASEBKGND, dc, 0) == 0 ? TRUE : FALSE;
  return dc;
}

BOOL EndPaint(HWND hWnd, const PAINTSTRUCT* paint) {
  if (paint == nullptr) return FALSE;
  ReleaseDC(hWnd, paint->hdc);
  return TRUE;
}

BOOL UpdateWindow(HWND hWnd) {
  if (!IsWindow(hWnd)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  SendPaintsNow(hWnd, false, false);
  return TRUE;
}

BOOL RedrawWindow(HWND hWnd, const RECT* update, HRGN updateRegion, UINT flags) {
  if (hWnd == 0) hWnd = 0;
  std::optional<Region> area;
  if (updateRegion != 0) {
    area = RegionOfHandle(updateRegion);
  } else if (update != nullptr) {
    area = Region::FromRect(update->left, update->top, update->right, update->bottom);
  }
  const int children = (flags & RDW_ALLCHILDREN) ? 1 : (flags & RDW_NOCHILDREN) ? -1 : 0;
  const Region* a = area ? &*area : nullptr;
  if (flags & RDW_INVALIDATE) {
    if (!ChangeUpdate(hWnd, a, true, (flags & RDW_ERASE) != 0, (flags & RDW_FRAME) != 0, children)) return FALSE;
    if ((flags & RDW_INTERNALPAINT) && hWnd != 0) {
      std::vector<HWND> woken;
      {
        Registry& reg = Reg();
        std::lock_guard<std::mutex> lock(reg.mutex);
        if (auto w = larkwin::FindLocked(reg, hWnd)) {
          w->internalPaint = true;
          woken.push_back(hWnd);
        }
      }
      larkwin::WakeForPaint(woken);
    }
  }
  if (flags & RDW_VALIDATE) {
    ChangeUpdate(hWnd, a, false, false, (flags & RDW_NOFRAME) != 0, children);
    Registry& reg = Reg();
    std::lock_guard<std::mutex> lock(reg.mutex);
    if (auto w = larkwin::FindLocked(reg, hWnd)) {
      if (flags & RDW_NOERASE) w->erase = false;
      if (flags & RDW_NOINTERNALPAINT) w->internalPaint = false;
    }
  }
  if (hWnd == 0) return TRUE;
  if (flags & RDW_UPDATENOW) {
    SendPaintsNow(hWnd, children >= 0, false);
  } else if (flags & RDW_ERASENOW) {
    SendPaintsNow(hWnd, children >= 0, true);
  }
  return TRUE;
}

HDC GetDC(HWND hWnd) { return MakeWindowDC(hWnd, 0, nullptr, false); }

HDC GetWindowDC(HWND hWnd) { return MakeWindowDC(hWnd, DCX_WINDOW, nullptr, false); }

HDC GetDCEx(HWND hWnd, HRGN clip, DWORD flags) {
  if (clip != 0 && (flags & (DCX_INTERSECTRGN | DCX_EXCLUDERGN))) {
    const Region r = RegionOfHandle(clip);
    return MakeWindowDC(hWnd, flags, &r, (flags & DCX_EXCLUDERGN) != 0);
  }
  if (flags & DCX_INTERSECTUPDATE) {
    Region update;
    if (auto w = larkwin::Find(hWnd)) {
      Registry& reg = Reg();
      std::lock_guard<std::mutex> lock(reg.mutex);
      update = w->update;
    }
    return MakeWindowDC(hWnd, flags, &update, false);
  }
  return MakeWindowDC(hWnd, flags, nullptr, false);
}

HWND WindowFromDC(HDC hdc) {
  auto dc = gdi::FindDC(hdc);
  if (!dc) return 0;
  return dc->Screen ? GetDesktopWindow() : dc->Window;
}

Integer ReleaseDC(HWND /*hWnd*/, HDC hdc) {
  auto dc = gdi::FindDC(hdc);
  if (!dc || (!dc->Screen && dc->Window == 0)) return 0;
  if (dc->Window != 0 && dc->SysClip) {
    const RECT box = dc->SysClip->Box();
    Registry& reg = Reg();
    std::lock_guard<std::mutex> lock(reg.mutex);
    if (auto w = larkwin::FindLocked(reg, dc->Window)) {
      auto top = larkwin::TopLevelLocked(reg, w);
      if (top->surface == dc->Fixed) larkwin::MarkDirtyLocked(*top, box);
      if (auto q = top->queue.lock()) q->presentPending.store(true, std::memory_order_relaxed);
    }
  }
  return DeleteDC(hdc) ? 1 : 0;
}

Integer ScrollWindowEx(HWND hWnd, Integer dx, Integer dy, const RECT* scroll, const RECT* clip, HRGN update,
                       RECT* updateRect, UINT flags) {
  auto w = OwnWindow(hWnd);
  if (!w) return ERROR;
  Region uncovered;
  std::vector<HWND> woken;
  std::vector<std::pair<HWND, RECT>> moveChildren;
  {
    Registry& reg = Reg();
    std::lock_guard<std::mutex> lock(reg.mutex);
    const RECT clientBox = larkwin::ClientBox(*w);
    RECT area = scroll != nullptr ? *scroll : clientBox;
    IntersectRect(&area, &area, &clientBox);
    if (clip != nullptr) IntersectRect(&area, &area, clip);
    const Region areaRgn = larkwin::RegionOf(area);
    auto top = larkwin::TopLevelLocked(reg, w);
    Region moved;  // the pixels that land on valid ones, client coordinates
    if (top->surface && larkwin::VisibleLocked(reg, *w)) {
      const POINT o = larkwin::SurfaceOffsetLocked(reg, w, true);
      Region vis = larkwin::VisibleRegionLocked(reg, w, true, (w->style & WS_CLIPCHILDREN) != 0,
                                                (w->style & WS_CLIPSIBLINGS) != 0);
      vis.Offset(-o.x, -o.y);
      const Region source = Region::Combine(vis, areaRgn, RGN_AND);
      Region shifted = source;
      shifted.Offset(dx, dy);
      moved = Region::Combine(shifted, source, RGN_AND);
      // Copy row by row in the order that never reads a pixel already written.
      gdi::Surface& s = *top->surface->Surf;
      const auto& bands = moved.Bands();
      auto copyBand = [&](const gdi::Band& b) {
        auto row = [&](Integer y) {
          const Integer sy = y + o.y, fy = y - dy + o.y;
          if (sy < 0 || sy >= s.Height || fy < 0 || fy >= s.Height) return;
          for (const gdi::Span& sp : b.Spans) {
            const Integer x0 = sp.X0 + o.x, x1 = sp.X1 + o.x;
            if (x0 - dx < 0 || x1 - dx > s.Width || x0 < 0 || x1 > s.Width) continue;
            std::memmove(s.Row(sy) + static_cast<size_t>(x0) * 4, s.Row(fy) + static_cast<size_t>(x0 - dx) * 4,
                         static_cast<size_t>(x1 - x0) * 4);
          }
        };
        if (dy > 0) {
          for (Integer y = b.Bottom - 1; y >= b.Top; --y) row(y);
        } else {
          for (Integer y = b.Top; y < b.Bottom; ++y) row(y);
        }
      };
      if (dy > 0) {
        for (auto it = bands.rbegin(); it != bands.rend(); ++it) copyBand(*it);
      } else {
        for (const auto& b : bands) copyBand(b);
      }
      RECT box = moved.Empty() ? RECT{} : moved.Box();
      OffsetRect(&box, o.x, o.y);
      larkwin::MarkDirtyLocked(*top, box);
      // What was waiting to be painted moves with the pixels.
      if (!w->update.Empty()) {
        Region inArea = Region::Combine(w->update, areaRgn, RGN_AND);
        Region outside = Region::Combine(w->update, areaRgn, RGN_DIFF);
        inArea.Offset(dx, dy);
        inArea = Region::Combine(inArea, areaRgn, RGN_AND);
        w->update = Region::Combine(outside, inArea, RGN_OR);
      }
    }
    uncovered = Region::Combine(areaRgn, moved, RGN_DIFF);
    if ((flags & SW_INVALIDATE) && !uncovered.Empty()) {
      larkwin::InvalidateLocked(reg, w, &uncovered, (flags & SW_ERASE) != 0, false, -1, &woken);
    }
    if (flags & SW_SCROLLCHILDREN) {
      for (HWND c : w->children) {
        auto cw = larkwin::FindLocked(reg, c);
        if (!cw) continue;
        if (scroll != nullptr) {
          RECT overlap;
          if (!IntersectRect(&overlap, &cw->rect, scroll)) continue;
        }
        moveChildren.emplace_back(c, cw->rect);
      }
    }
    if (auto q = top->queue.lock()) q->presentPending.store(true, std::memory_order_relaxed);
  }
  larkwin::WakeForPaint(woken);
  for (const auto& [c, r] : moveChildren) {
    SetWindowPos(c, 0, r.left + dx, r.top + dy, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOREDRAW);
  }
  if (update != 0) {
    if (auto r = gdi::Find<gdi::RegionObj>(update, gdi::Kind::Region)) r->Rgn = uncovered;
  }
  if (updateRect != nullptr) *updateRect = uncovered.Empty() ? RECT{} : uncovered.Box();
  return uncovered.Kind();
}

BOOL ScrollWindow(HWND hWnd, Integer dx, Integer dy, const RECT* scroll, const RECT* clip) {
  const UINT flags = SW_INVALIDATE | SW_ERASE | (scroll == nullptr ? SW_SCROLLCHILDREN : 0);
  return ScrollWindowEx(hWnd, dx, dy, scroll, clip, 0, nullptr, flags) != ERROR;
}
