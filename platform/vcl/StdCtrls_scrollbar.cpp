// TScrollBar: a window whose whole area is the platform's standard scroll bar.
#include <algorithm>

#include "platform/vcl/StdCtrls.h"

TScrollBar::TScrollBar(TComponent* owner) : TWinControl(owner) {
  SetBounds(0, 0, 121, ::GetSystemMetrics(SM_CYHSCROLL));
  SetTabStop(true);
  SetControlStyle(GetControlStyle() - csSetCaption - csCaptureMouse);
}

void TScrollBar::CreateParams(TCreateParams& params) {
  TWinControl::CreateParams(params);
  params.Style |= kind_ == sbHorizontal ? WS_HSCROLL : WS_VSCROLL;
}

void TScrollBar::CreateWnd() {
  TWinControl::CreateWnd();
  SyncBar();
}

void TScrollBar::SetKind(TScrollBarKind value) {
  if (value == kind_) return;
  kind_ = value;
  // The bar turns: width and height change places.
  SetBounds(GetLeft(), GetTop(), GetHeight(), GetWidth());
  if (HandleAllocated()) RecreateWnd();
}

void TScrollBar::SetParams(Integer position, Integer min, Integer max) {
  if (max < min) throw EInvalidOperation("Scroll bar property out of range");
  position = std::clamp(position, min, max);
  const bool changed = position != position_;
  min_ = min;
  max_ = max;
  position_ = position;
  SyncBar();
  if (changed && OnChange) OnChange(this);
}

void TScrollBar::SetPageSize(Integer value) {
  pageSize_ = std::max(0, value);
  SyncBar();
}

void TScrollBar::SyncBar() {
  if (!HandleAllocated()) return;
  SCROLLINFO info{};
  info.cbSize = sizeof info;
  info.fMask = SIF_ALL;
  info.nMin = min_;
  info.nMax = max_ + (pageSize_ > 0 ? pageSize_ - 1 : 0);
  info.nPage = static_cast<UINT>(pageSize_);
  info.nPos = position_;
  ::SetScrollInfo(GetHandle(), kind_ == sbHorizontal ? SB_HORZ : SB_VERT, &info, TRUE);
}

void TScrollBar::Scroll(TScrollCode code, Integer position) {
  Integer pos = position;
  if (OnScroll) OnScroll(this, code, pos);
  SetPosition(pos);
}

void TScrollBar::KeyDown(Word& key, TShiftState shift) {
  TWinControl::KeyDown(key, shift);
  const bool horizontal = kind_ == sbHorizontal;
  switch (key) {
    case VK_LEFT:
    case VK_UP:
      if ((key == VK_LEFT) != horizontal) return;
      Scroll(scLineUp, position_ - smallChange_);
      break;
    case VK_RIGHT:
    case VK_DOWN:
      if ((key == VK_RIGHT) != horizontal) return;
      Scroll(scLineDown, position_ + smallChange_);
      break;
    case VK_PRIOR: Scroll(scPageUp, position_ - largeChange_); break;
    case VK_NEXT: Scroll(scPageDown, position_ + largeChange_); break;
    case VK_HOME: Scroll(scTop, min_); break;
    case VK_END: Scroll(scBottom, max_); break;
    default: return;
  }
  key = 0;
}

void TScrollBar::Dispatch(TMessage& message) {
  switch (message.Msg) {
    case WM_HSCROLL:
    case WM_VSCROLL: {
      SCROLLINFO info{};
      info.cbSize = sizeof info;
      info.fMask = SIF_ALL;
      ::GetScrollInfo(GetHandle(), kind_ == sbHorizontal ? SB_HORZ : SB_VERT, &info);
      switch (LOWORD(message.WParam)) {
        case SB_LINEUP: Scroll(scLineUp, position_ - smallChange_); break;
        case SB_LINEDOWN: Scroll(scLineDown, position_ + smallChange_); break;
        case SB_PAGEUP: Scroll(scPageUp, position_ - largeChange_); break;
        case SB_PAGEDOWN: Scroll(scPageDown, position_ + largeChange_); break;
        case SB_THUMBTRACK: Scroll(scTrack, info.nTrackPos); break;
        case SB_THUMBPOSITION: Scroll(scPosition, info.nTrackPos); break;
        case SB_TOP: Scroll(scTop, min_); break;
        case SB_BOTTOM: Scroll(scBottom, max_); break;
        case SB_ENDSCROLL: {
          Integer pos = position_;
          if (OnScroll) OnScroll(this, scEndScroll, pos);
          break;
        }
        default: break;
      }
      message.Result = 0;
      return;
    }
    case WM_GETDLGCODE:
      message.Result = DLGC_WANTARROWS;
      return;
    default:
      TWinControl::Dispatch(message);
  }
}
