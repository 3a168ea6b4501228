// TScrollBox: scrolling its children.
#include <algorithm>

#include "platform/vcl/ScrollBox.h"

// --- TControlScrollBar ---------------------------------------------------------------

void TControlScrollBar::SetPosition(Integer value) {
  const Integer client = kind_ == sbHorizontal ? control_->GetClientWidth() : control_->GetClientHeight();
  value = std::clamp(value, 0, std::max(0, range_ - client));
  if (value == position_) return;
  const Integer delta = position_ - value;
  position_ = value;
  if (kind_ == sbHorizontal) control_->ScrollBy(delta, 0); else control_->ScrollBy(0, delta);
  control_->ApplyBar(*this);
}

void TControlScrollBar::SetRange(Integer value) {
  range_ = std::max(0, value);
  control_->SetAutoScroll(false);
  control_->UpdateScrollBars();
}

void TControlScrollBar::SetVisible(bool value) {
  if (value == visible_) return;
  visible_ = value;
  control_->UpdateScrollBars();
}

bool TControlScrollBar::IsScrollBarVisible() const {
  const Integer client = kind_ == sbHorizontal ? control_->GetClientWidth() : control_->GetClientHeight();
  return visible_ && range_ > client;
}

// --- TScrollBox ------------------------------------------------------------------------

TScrollBox::TScrollBox(TComponent* owner) : TWinControl(owner) {
  SetControlStyle(GetControlStyle() + csAcceptsControls);
  SetBounds(0, 0, 185, 41);
  SetTabStop(false);
  SetColor(clBtnFace);
}

TScrollBox::~TScrollBox() = default;

void TScrollBox::CreateParams(TCreateParams& params) {
  TWinControl::CreateParams(params);
  if (borderStyle_ == TBorderStyle::bsSingle) params.ExStyle |= WS_EX_CLIENTEDGE;
}

void TScrollBox::CreateWnd() {
  TWinControl::CreateWnd();
  UpdateScrollBars();
}

void TScrollBox::SetAutoScroll(bool value) {
  if (value == autoScroll_) return;
  autoScroll_ = value;
  if (value) UpdateScrollBars();
}

void TScrollBox::SetBorderStyle(TBorderStyle value) {
  if (value == borderStyle_) return;
  borderStyle_ = value;
  if (HandleAllocated()) RecreateWnd();
}

void TScrollBox::ScrollBy(Integer dx, Integer dy) {
  if (dx == 0 && dy == 0) return;
  DisableAlign();
  for (Integer i = 0; i < GetControlCount(); ++i) {
    TControl* c = Controls(i);
    // Aligned children stay where the alignment puts them.
    if (c->GetAlign() != alNone) continue;
    c->SetBounds(c->GetLeft() + dx, c->GetTop() + dy, c->GetWidth(), c->GetHeight());
  }
  EnableAlign();
  Invalidate();
}

void TScrollBox::ApplyBar(TControlScrollBar& bar) {
  if (!HandleAllocated()) return;
  const Integer bar32 = bar.kind_ == sbHorizontal ? SB_HORZ : SB_VERT;
  SCROLLINFO info{};
  info.cbSize = sizeof info;
  info.fMask = SIF_ALL;
  info.nMin = 0;
  const bool shown = bar.visible_ && bar.range_ > (bar.kind_ == sbHorizontal ? GetClientWidth() : GetClientHeight());
  info.nMax = shown ? bar.range_ - 1 : 0;
  info.nPage = shown ? static_cast<UINT>(bar.kind_ == sbHorizontal ? GetClientWidth() : GetClientHeight()) : 0;
  info.nPos = bar.position_;
  ::SetScrollInfo(GetHandle(), bar32, &info, TRUE);
}

void TScrollBox::UpdateScrollBars() {
  if (updating_) return;
  updating_ = true;
  if (autoScroll_) {
    // What the children need, measured from the content's origin.
    Integer right = 0, bottom = 0;
    for (Integer i = 0; i < GetControlCount(); ++i) {
      TControl* c = Controls(i);
      if (!c->GetVisible() || c->GetAlign() != alNone) continue;
      right = std::max(right, c->GetLeft() + c->GetWidth() + horz_.position_);
      bottom = std::max(bottom, c->GetTop() + c->GetHeight() + vert_.position_);
    }
    horz_.range_ = right;
    vert_.range_ = bottom;
  }
  // Showing one bar shrinks the client area, which may call for the other: twice.
  for (int pass = 0; pass < 2; ++pass) {
    ApplyBar(horz_);
    ApplyBar(vert_);
  }
  // A client grown past the content scrolls back.
  const Integer maxH = std::max(0, horz_.range_ - GetClientWidth());
  const Integer maxV = std::max(0, vert_.range_ - GetClientHeight());
  updating_ = false;
  if (horz_.position_ > maxH) horz_.SetPosition(maxH);
  if (vert_.position_ > maxV) vert_.SetPosition(maxV);
}

void TScrollBox::ScrollInView(TControl* control) {
  if (!control || control->GetParent() != this) return;
  const TRect r = control->GetBoundsRect();
  const Integer cw = GetClientWidth();
  const Integer ch = GetClientHeight();
  if (r.left < 0) horz_.SetPosition(horz_.position_ + r.left);
  else if (r.right > cw) horz_.SetPosition(horz_.position_ + std::min<Integer>(r.right - cw, r.left));
  if (r.top < 0) vert_.SetPosition(vert_.position_ + r.top);
  else if (r.bottom > ch) vert_.SetPosition(vert_.position_ + std::min<Integer>(r.bottom - ch, r.top));
}

void TScrollBox::AlignControls(TControl* control, TRect& rect) {
  TWinControl::AlignControls(control, rect);
  if (autoScroll_ && HandleAllocated()) UpdateScrollBars();
}

void TScrollBox::HandleScroll(TControlScrollBar& bar, WPARAM request) {
  SCROLLINFO info{};
  info.cbSize = sizeof info;
  info.fMask = SIF_ALL;
  ::GetScrollInfo(GetHandle(), bar.kind_ == sbHorizontal ? SB_HORZ : SB_VERT, &info);
  const Integer client = bar.kind_ == sbHorizontal ? GetClientWidth() : GetClientHeight();
  const Integer page = std::max(1, client * 9 / 10);
  switch (LOWORD(request)) {
    case SB_LINEUP: bar.SetPosition(bar.position_ - bar.increment_); break;
    case SB_LINEDOWN: bar.SetPosition(bar.position_ + bar.increment_); break;
    case SB_PAGEUP: bar.SetPosition(bar.position_ - page); break;
    case SB_PAGEDOWN: bar.SetPosition(bar.position_ + page); break;
    case SB_THUMBTRACK:
      if (bar.tracking_) bar.SetPosition(info.nTrackPos);
      break;
    case SB_THUMBPOSITION: bar.SetPosition(info.nTrackPos); break;
    case SB_TOP: bar.SetPosition(0); break;
    case SB_BOTTOM: bar.SetPosition(bar.range_); break;
    default: break;
  }
}

void TScrollBox::Dispatch(TMessage& message) {
  switch (message.Msg) {
    case WM_HSCROLL:
      HandleScroll(horz_, message.WParam);
      return;
    case WM_VSCROLL:
      HandleScroll(vert_, message.WParam);
      return;
    case WM_MOUSEWHEEL: {
      const auto delta = static_cast<short>(HIWORD(message.WParam));
      vert_.SetPosition(vert_.position_ - delta / 120 * vert_.increment_ * 3);
      message.Result = 1;
      return;
    }
    case WM_SIZE:
      TWinControl::Dispatch(message);
      UpdateScrollBars();
      return;
    default:
      TWinControl::Dispatch(message);
  }
}
