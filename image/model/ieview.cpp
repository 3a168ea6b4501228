// The base view control and the screen values the views share.
#include "image/model/ieview.h"

#include <algorithm>

#include "image/model/ieutils.h"
#include "platform/win/Gdi.h"
#include "platform/win/Window.h"

Integer gSystemColors = 24;
Integer gSystemDPIX = 96;
Integer gSystemDPIY = 96;
bool gMMX = false;
Integer gEdgeX = 2;
Integer gEdgeY = 2;
Integer gVScrollWidth = 17;
Integer gHScrollHeight = 17;

void IEInitializeViewGlobals() {
  static bool done = false;
  if (done) return;
  done = true;
  HDC dc = GetDC(0);
  gSystemColors = GetDeviceCaps(dc, BITSPIXEL);
  gSystemDPIX = GetDeviceCaps(dc, LOGPIXELSX);
  gSystemDPIY = GetDeviceCaps(dc, LOGPIXELSY);
  ReleaseDC(0, dc);
  gMMX = IEMMXSupported();
  gEdgeX = GetSystemMetrics(SM_CXEDGE);
  gEdgeY = GetSystemMetrics(SM_CYEDGE);
  // Stored crossed, as every view has always read them; equal on every screen here.
  gVScrollWidth = GetSystemMetrics(SM_CYHSCROLL);
  gHScrollHeight = GetSystemMetrics(SM_CXVSCROLL);
}

namespace {
[[noreturn]] void Abstract() { throw EAbstractError("Abstract Error"); }
}  // namespace

TIEView::TIEView(TComponent* owner) : TCustomControl(owner) {
  SetControlStyle(GetControlStyle() + csAcceptsControls + csOpaque + csReplicatable);
  OnMouseEnter = nullptr;
  OnMouseLeave = nullptr;
  background_ = kIEBtnFace;
  borderStyle_ = TBorderStyle::bsSingle;
  SetCtl3D(true);
}

TIEView::~TIEView() {
  while (!listeners_.empty()) {
    Listener* first = listeners_.front();
    listeners_.erase(listeners_.begin());
    if (first != nullptr && first->event) first->event(this, true);
    delete first;
  }
}

TIEBitmap* TIEView::GetAlphaChannel() { Abstract(); }
bool TIEView::GetHasAlphaChannel() { Abstract(); }
void TIEView::RemoveAlphaChannel(bool) { Abstract(); }
void TIEView::LockPaint() { Abstract(); }
Integer TIEView::UnLockPaint() { Abstract(); }
Integer TIEView::NPUnLockPaint() { Abstract(); }

void TIEView::SetDPIX(Integer value) {
  if (value != 0) dpiX_ = value;
}

void TIEView::SetDPIY(Integer value) {
  if (value != 0) dpiY_ = value;
}

void TIEView::SetDPI(Integer dpiX, Integer dpiY) {
  SetDPIX(dpiX);
  SetDPIY(dpiY);
}

PIEBitmapChangeEvent TIEView::RegisterBitmapChangeEvent(TIEBitmapChangeEvent event) {
  auto* record = new Listener{std::move(event)};
  listeners_.push_back(record);
  return reinterpret_cast<PIEBitmapChangeEvent>(record);
}

void TIEView::RemoveBitmapChangeEvent(PIEBitmapChangeEvent handle) {
  if (handle < 0) return;
  auto it = std::find(listeners_.begin(), listeners_.end(), reinterpret_cast<Listener*>(handle));
  if (it == listeners_.end()) return;
  delete *it;
  listeners_.erase(it);
}

void TIEView::CallBitmapChangeEvents() {
  // The count is read once; each index is checked again, so a listener that removes
  // itself (or another) ends the walk early instead of reading past the list.
  const size_t count = listeners_.size();
  for (size_t i = 0; i < count && i < listeners_.size(); ++i) {
    Listener* record = listeners_[i];
    if (record != nullptr && record->event) {
      TIEBitmapChangeEvent event = record->event;  // the record may go inside the call
      event(this, false);
    }
  }
}

void TIEView::SetCtl3D(bool value) {
  if (value == ctl3D_) return;
  ctl3D_ = value;
  Recreate();
}

void TIEView::SetBorderStyle(TBorderStyle value) {
  if (value == borderStyle_) return;
  borderStyle_ = value;
  Recreate();
}

void TIEView::Recreate() {
  if (!HandleAllocated()) return;
  ++recreateCount_;
  RecreateWnd();
}

void TIEView::CreateParams(TCreateParams& params) {
  TCustomControl::CreateParams(params);
  if (borderStyle_ == TBorderStyle::bsSingle) {
    // The system here draws new-style controls.
    if (ctl3D_)
      params.ExStyle |= WS_EX_CLIENTEDGE;
    else
      params.Style |= WS_BORDER;
  }
  params.WindowClass.style &= ~(CS_HREDRAW | CS_VREDRAW);
}

void TIEView::Dispatch(TMessage& message) {
  TCustomControl::Dispatch(message);
  if (message.Msg == CM_MOUSEENTER && OnMouseEnter) OnMouseEnter(this);
  if (message.Msg == CM_MOUSELEAVE && OnMouseLeave) OnMouseLeave(this);
}

// --- Components attached to a view ------------------------------------------------------

void TIEViewAttachment::LeaveViewFor(TIEView* view) {
  RemoveViewListener();
  if (view_ != nullptr && view_ != view) view_->RemoveFreeNotification(self_);
  view_ = view;
}

void TIEViewAttachment::ListenToView() {
  if (view_ == nullptr) return;
  view_->FreeNotification(self_);
  viewListener_ = view_->RegisterBitmapChangeEvent([this](TObject*, bool destroying) {
    if (destroying) {
      // The view is going: forget it without calling it again.
      viewListener_ = -1;
      view_ = nullptr;
      return;
    }
    if (view_ != nullptr) ViewStoreReplaced();
  });
}

void TIEViewAttachment::RemoveViewListener() {
  if (view_ != nullptr && viewListener_ >= 0) view_->RemoveBitmapChangeEvent(viewListener_);
  viewListener_ = -1;
}

bool TIEViewAttachment::ForgetRemovedView(TComponent* component, TOperation operation) {
  if (operation != opRemove || component == nullptr || component != view_) return false;
  viewListener_ = -1;
  view_ = nullptr;
  return true;
}
