// Standard scroll bars: their state, showing and hiding them, and SB_ requests from
// the mouse.
#include <algorithm>

#include "platform/win/WindowInternal.h"

namespace larkwin {

namespace {

bool ValidBar(Integer bar) { return bar == SB_HORZ || bar == SB_VERT; }

DWORD StyleOfBar(Integer bar) { return bar == SB_HORZ ? WS_HSCROLL : WS_VSCROLL; }

void RedrawFrame(HWND hWnd) {
  std::vector<HWND> woken;
  {
    Registry& reg = Reg();
    std::lock_guard<std::mutex> lock(reg.mutex);
    auto w = FindLocked(reg, hWnd);
    if (!w) return;
    gdi::Region none;
    InvalidateLocked(reg, w, &none, false, true, -1, &woken);
  }
  WakeForPaint(woken);
}

}  // namespace

bool HandleScrollTrack(const InputEvent& event) {
  ScrollTrack track;
  {
    Registry& reg = Reg();
    std::lock_guard<std::mutex> lock(reg.mutex);
    track = reg.track;
  }
  if (track.hwnd == 0) return false;
  if (!IsWindow(track.hwnd)) {
    Registry& reg = Reg();
    std::lock_guard<std::mutex> lock(reg.mutex);
    reg.track = ScrollTrack{};
    return false;
  }
  const UINT msg = track.bar == SB_VERT ? WM_VSCROLL : WM_HSCROLL;
  RECT wr;
  GetWindowRect(track.hwnd, &wr);
  const POINT p{event.pt.x - wr.left, event.pt.y - wr.top};
  if (event.kind == InputKind::MouseMove) {
    if (track.request == SB_THUMBTRACK) {
      const Integer pos = ScrollPosFromPoint(track.hwnd, track.bar, p, track.grabOffset);
      {
        Registry& reg = Reg();
        std::lock_guard<std::mutex> lock(reg.mutex);
        if (auto w = FindLocked(reg, track.hwnd)) w->bars[track.bar].trackPos = pos;
      }
      PostMessage(track.hwnd, msg, MAKELPARAM(static_cast<Word>(SB_THUMBTRACK), static_cast<Word>(pos)), 0);
    }
    return true;
  }
  if (event.kind == InputKind::ButtonUp && event.button == MouseButton::Left) {
    if (track.request == SB_THUMBTRACK) {
      const Integer pos = ScrollPosFromPoint(track.hwnd, track.bar, p, track.grabOffset);
      PostMessage(track.hwnd, msg, MAKELPARAM(static_cast<Word>(SB_THUMBPOSITION), static_cast<Word>(pos)), 0);
    }
    PostMessage(track.hwnd, msg, SB_ENDSCROLL, 0);
    Registry& reg = Reg();
    std::lock_guard<std::mutex> lock(reg.mutex);
    reg.track = ScrollTrack{};
    return true;
  }
  return event.kind == InputKind::ButtonDown || event.kind == InputKind::ButtonUp;
}

}  // namespace larkwin

using larkwin::Reg;
using larkwin::Registry;

Integer SetScrollInfo(HWND hWnd, Integer bar, const SCROLLINFO* info, BOOL redraw) {
  if (info == nullptr || !larkwin::ValidBar(bar)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  Integer pos = 0;
  int showBar = -1;  // -1 unchanged, 0 hide, 1 show
  bool disableChange = false;
  {
    Registry& reg = Reg();
    std::lock_guard<std::mutex> lock(reg.mutex);
    auto w = larkwin::FindLocked(reg, hWnd);
    if (!w) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return 0;
    }
    larkwin::ScrollBarState& s = w->bars[bar];
    if (info->fMask & SIF_RANGE) {
      s.min = info->nMin;
      s.max = std::max(info->nMax, info->nMin);
    }
    if (info->fMask & SIF_PAGE) {
      const int64_t range = int64_t{s.max} - s.min + 1;
      s.page = static_cast<UINT>(std::min<int64_t>(info->nPage, range));
    }
    if (info->fMask & SIF_POS) s.pos = info->nPos;
    const Integer maxPos = s.max - std::max<Integer>(static_cast<Integer>(s.page) - 1, 0);
    s.pos = std::clamp(s.pos, s.min, std::max(maxPos, s.min));
    pos = s.pos;
    if (info->fMask & (SIF_RANGE | SIF_PAGE)) {
      const bool needed = maxPos > s.min;
      if (info->fMask & SIF_DISABLENOSCROLL) {
        const UINT want = needed ? ESB_ENABLE_BOTH : ESB_DISABLE_BOTH;
        disableChange = s.disabledArrows != want;
        s.disabledArrows = want;
        if (!(w->style & larkwin::StyleOfBar(bar))) showBar = 1;
      } else {
        const bool shown = (w->style & larkwin::StyleOfBar(bar)) != 0;
        if (needed != shown) showBar = needed ? 1 : 0;
        if (needed) s.disabledArrows = ESB_ENABLE_BOTH;
      }
    }
  }
  if (showBar >= 0) {
    ShowScrollBar(hWnd, bar, showBar == 1);
  } else if (redraw || disableChange) {
    larkwin::RedrawFrame(hWnd);
  }
  return pos;
}

BOOL GetScrollInfo(HWND hWnd, Integer bar, SCROLLINFO* info) {
  if (info == nullptr || !larkwin::ValidBar(bar)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  Registry& reg = Reg();
  std::lock_guard<std::mutex> lock(reg.mutex);
  auto w = larkwin::FindLocked(reg, hWnd);
  if (!w) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  const larkwin::ScrollBarState& s = w->bars[bar];
  if (info->fMask & SIF_RANGE) {
    info->nMin = s.min;
    info->nMax = s.max;
  }
  if (info->fMask & SIF_PAGE) info->nPage = s.page;
  if (info->fMask & SIF_POS) info->nPos = s.pos;
  if (info->fMask & SIF_TRACKPOS) info->nTrackPos = reg.track.hwnd == hWnd && reg.track.bar == bar ? s.trackPos : s.pos;
  return TRUE;
}

BOOL SetScrollRange(HWND hWnd, Integer bar, Integer minPos, Integer maxPos, BOOL redraw) {
  SCROLLINFO si;
  si.fMask = SIF_RANGE;
  si.nMin = minPos;
  si.nMax = maxPos;
  SetScrollInfo(hWnd, bar, &si, redraw);
  return IsWindow(hWnd);
}

BOOL GetScrollRange(HWND hWnd, Integer bar, Integer* minPos, Integer* maxPos) {
  SCROLLINFO si;
  si.fMask = SIF_RANGE;
  if (!GetScrollInfo(hWnd, bar, &si)) return FALSE;
  if (minPos) *minPos = si.nMin;
  if (maxPos) *maxPos = si.nMax;
  return TRUE;
}

Integer SetScrollPos(HWND hWnd, Integer bar, Integer pos, BOOL redraw) {
  const Integer previous = GetScrollPos(hWnd, bar);
  SCROLLINFO si;
  si.fMask = SIF_POS;
  si.nPos = pos;
  SetScrollInfo(hWnd, bar, &si, redraw);
  return previous;
}

Integer GetScrollPos(HWND hWnd, Integer bar) {
  SCROLLINFO si;
  si.fMask = SIF_POS;
  if (!GetScrollInfo(hWnd, bar, &si)) return 0;
  return si.nPos;
}

BOOL ShowScrollBar(HWND hWnd, Integer bar, BOOL show) {
  DWORD bits = bar == SB_BOTH ? (WS_HSCROLL | WS_VSCROLL) : bar == SB_HORZ ? WS_HSCROLL
                                                          : bar == SB_VERT ? WS_VSCROLL
                                                                           : 0;
  if (bits == 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  bool changed;
  {
    Registry& reg = Reg();
    std::lock_guard<std::mutex> lock(reg.mutex);
    auto w = larkwin::FindLocked(reg, hWnd);
    if (!w) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return FALSE;
    }
    const DWORD before = w->style;
    w->style = show ? (w->style | bits) : (w->style & ~bits);
    changed = before != w->style;
  }
  if (changed) {
    SetWindowPos(hWnd, 0, 0, 0, 0, 0,
                 SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  return TRUE;
}

BOOL EnableScrollBar(HWND hWnd, UINT bar, UINT arrows) {
  {
    Registry& reg = Reg();
    std::lock_guard<std::mutex> lock(reg.mutex);
    auto w = larkwin::FindLocked(reg, hWnd);
    if (!w) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return FALSE;
    }
    const Integer b = static_cast<Integer>(bar);
    if (b == SB_BOTH) {
      w->bars[0].disabledArrows = w->bars[1].disabledArrows = arrows;
    } else if (larkwin::ValidBar(b)) {
      w->bars[b].disabledArrows = arrows;
    } else {
      SetLastError(ERROR_INVALID_PARAMETER);
      return FALSE;
    }
  }
  larkwin::RedrawFrame(hWnd);
  return TRUE;
}
