// Painting: invalidation into the window's update region, the WM_PAINT handler that
// paints a window and then its graphic children in z-order, and the canvases of
// graphic and custom controls.
#include <algorithm>
#include <mutex>
#include <vector>

#include "platform/vcl/Controls.h"

namespace {

// Canvases that hold a DC taken from a window (outside painting).
struct CanvasList {
  std::mutex lock;
  std::vector<TControlCanvas*> list;
};

CanvasList& Canvases() {
  static CanvasList* canvases = new CanvasList;
  return *canvases;
}

}  // namespace

// --- Invalidation -----------------------------------------------------------------

void TControl::InvalidateControl(bool isVisible, bool isOpaque) {
  (void)isOpaque;
  if (!isVisible || !parent_ || !parent_->HandleAllocated() || destroying_) return;
  if (parent_->destroying_) return;
  const TRect r = GetBoundsRect();
  // A control that does not cover all it stands on needs what is under it drawn.
  ::InvalidateRect(parent_->handle_, &r, isOpaque ? FALSE : TRUE);
}

void TControl::Invalidate() { InvalidateControl(visible_, controlStyle_.Contains(csOpaque)); }

void TControl::Update() {
  if (parent_) parent_->Update();
}

void TControl::Repaint() {
  if (!visible_ || !parent_ || !parent_->HandleAllocated()) return;
  Invalidate();
  parent_->Update();
}

void TWinControl::Invalidate() {
  if (!handle_ || destroying_) return;
  ::InvalidateRect(handle_, nullptr, GetControlStyle().Contains(csOpaque) ? FALSE : TRUE);
}

void TWinControl::Update() {
  if (handle_) ::UpdateWindow(handle_);
}

void TWinControl::Repaint() {
  Invalidate();
  Update();
}

// --- WM_PAINT ---------------------------------------------------------------------

void TWinControl::PaintWindow(HDC dc) { (void)dc; }

void TWinControl::PaintHandler(TMessage& message) {
  PAINTSTRUCT ps;
  HDC dc = static_cast<HDC>(message.WParam);
  const bool own = dc == 0;
  if (own) dc = ::BeginPaint(handle_, &ps);
  if (!dc) return;
  try {
    if (controls_.empty()) {
      PaintWindow(dc);
    } else {
      // The window's own drawing leaves out what opaque graphic children cover.
      const Integer saved = ::SaveDC(dc);
      for (TControl* c : controls_) {
        if (c->GetVisible() && c->GetControlStyle().Contains(csOpaque)) {
          const TRect r = c->GetBoundsRect();
          ::ExcludeClipRect(dc, r.left, r.top, r.right, r.bottom);
        }
      }
      PaintWindow(dc);
      ::RestoreDC(dc, saved);
      PaintControls(dc, nullptr);
    }
  } catch (...) {
    if (own) ::EndPaint(handle_, &ps);
    throw;
  }
  if (own) ::EndPaint(handle_, &ps);
}

void TWinControl::PaintControls(HDC dc, TControl* first) {
  auto it = controls_.begin();
  if (first) {
    auto found = std::find(controls_.begin(), controls_.end(), first);
    if (found != controls_.end()) it = found;
  }
  // A copy: a child's paint may change the list.
  std::vector<TControl*> list(it, controls_.end());
  for (TControl* c : list) {
    if (!c->GetVisible()) continue;
    const TRect r = c->GetBoundsRect();
    RECT clip;
    RECT overlap;
    if (::GetClipBox(dc, &clip) != ERROR && !::IntersectRect(&overlap, &clip, &r)) continue;
    const Integer saved = ::SaveDC(dc);
    POINT origin;
    ::GetWindowOrgEx(dc, &origin);
    ::SetWindowOrgEx(dc, origin.x - r.left, origin.y - r.top, nullptr);
    ::IntersectClipRect(dc, 0, 0, r.right - r.left, r.bottom - r.top);
    try {
      c->Perform(WM_PAINT, static_cast<WPARAM>(dc), 0);
    } catch (...) {
      ::RestoreDC(dc, saved);
      throw;
    }
    ::RestoreDC(dc, saved);
  }
}

// --- TControlCanvas ------------------------------------------------------------------

TControlCanvas::~TControlCanvas() { FreeHandle(); }

void TControlCanvas::SetControl(TControl* value) {
  if (value == control_) return;
  FreeHandle();
  control_ = value;
}

void TControlCanvas::CreateHandle() {
  if (!control_) return;
  HWND window = 0;
  TPoint offset{0, 0};
  if (auto* win = dynamic_cast<TWinControl*>(control_)) {
    window = win->GetHandle();
  } else if (control_->GetParent()) {
    window = control_->GetParent()->GetHandle();
    offset = Point(control_->GetLeft(), control_->GetTop());
  }
  if (!window) return;
  HDC dc = ::GetDC(window);
  if (!dc) return;
  if (offset.x != 0 || offset.y != 0 || !dynamic_cast<TWinControl*>(control_)) {
    ::SetWindowOrgEx(dc, -offset.x, -offset.y, nullptr);
    ::IntersectClipRect(dc, 0, 0, control_->GetWidth(), control_->GetHeight());
  }
  dc_ = dc;
  dcWindow_ = window;
  {
    std::lock_guard<std::mutex> guard(Canvases().lock);
    Canvases().list.push_back(this);
  }
  SetHandle(dc);
}

void TControlCanvas::FreeHandle() {
  if (!dc_) return;
  if (HandleAllocated()) SetHandle(0);
  ::ReleaseDC(dcWindow_, dc_);
  dc_ = 0;
  dcWindow_ = 0;
  std::lock_guard<std::mutex> guard(Canvases().lock);
  auto& list = Canvases().list;
  list.erase(std::remove(list.begin(), list.end(), this), list.end());
}

void TControlCanvas::FreeDeviceContexts() {
  std::vector<TControlCanvas*> list;
  {
    std::lock_guard<std::mutex> guard(Canvases().lock);
    list = Canvases().list;
  }
  for (TControlCanvas* c : list) {
    if (c->TryLock()) {
      c->FreeHandle();
      c->Unlock();
    }
  }
}

void TControlCanvas::FreeDeviceContext(HWND hWnd) {
  std::vector<TControlCanvas*> list;
  {
    std::lock_guard<std::mutex> guard(Canvases().lock);
    list = Canvases().list;
  }
  for (TControlCanvas* c : list) {
    if (c->dcWindow_ == hWnd) c->FreeHandle();
  }
}

// --- TGraphicControl / TCustomControl --------------------------------------------------

TGraphicControl::TGraphicControl(TComponent* owner)
    : TControl(owner), canvas_(std::make_unique<TControlCanvas>()) {
  canvas_->SetControl(this);
}

TGraphicControl::~TGraphicControl() { canvas_->SetControl(nullptr); }

void TGraphicControl::Dispatch(TMessage& message) {
  if (message.Msg != WM_PAINT || message.WParam == 0) {
    TControl::Dispatch(message);
    return;
  }
  // The parent's paint DC, moved to this control and clipped to it.
  canvas_->Lock();
  try {
    canvas_->FreeHandle();
    canvas_->SetHandle(static_cast<HDC>(message.WParam));
    canvas_->GetFont()->Assign(GetFont());
    Paint();
  } catch (...) {
    canvas_->SetHandle(0);
    canvas_->Unlock();
    throw;
  }
  canvas_->SetHandle(0);
  canvas_->Unlock();
}

TCustomControl::TCustomControl(TComponent* owner)
    : TWinControl(owner), canvas_(std::make_unique<TControlCanvas>()) {
  canvas_->SetControl(this);
}

TCustomControl::~TCustomControl() { canvas_->SetControl(nullptr); }

void TCustomControl::PaintWindow(HDC dc) {
  canvas_->Lock();
  try {
    canvas_->FreeHandle();
    canvas_->SetHandle(dc);
    canvas_->GetFont()->Assign(GetFont());
    canvas_->GetBrush()->SetColor(GetColor());
    Paint();
  } catch (...) {
    canvas_->SetHandle(0);
    canvas_->Unlock();
    throw;
  }
  canvas_->SetHandle(0);
  canvas_->Unlock();
}
