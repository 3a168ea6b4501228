// The single-image view: construction, the image it holds, paint locking, the
// update message, its components, transitions, cursors and window messages.
#include "image/views/dadiravview.h"

#include <algorithm>

#include "image/io/dadiravio.h"
#include "image/proc/dadiravproc_component.h"
#include "image/views/dadiravview_cursors.h"
#include "platform/vcl/Forms.h"
#include "platform/vcl/Timer.h"
#include "platform/win/Messages.h"
#include "platform/win/Window.h"

TDadirAvView::TDadirAvView(TComponent* owner) : TIEView(owner) {
  IEInitializeViewGlobals();
  // The image lives in a framework bitmap that the current store adopts.
  legacyOwned_ = std::make_unique<TBitmap>();
  legacyOwned_->SetPixelFormat(pf24bit);
  legacyBitmap_ = legacyOwned_.get();
  auto first = std::make_unique<TIEBitmap>();
  first->EncapsulateTBitmap(legacyBitmap_, true);
  ieBitmap_ = first.get();
  layers_.push_back(std::make_unique<TIELayer>(first.release(), true));
  currentLayer_ = 0;
  layersWidth_ = ieBitmap_->GetWidth();
  layersHeight_ = ieBitmap_->GetHeight();

  transition_ = std::make_unique<TIETransitionEffects>(&transitionSite_);
  drawDib_ = IEDrawDibOpen();
  IERegisterViewCursors();
  TIEView::SetCursor(viewCursor_);
  SetBounds(GetLeft(), GetTop(), 105, 105);
  SetDPI(gSystemDPIX, gSystemDPIY);

  timer_ = new TTimer(this);
  timer_->SetEnabled(false);
  timer_->SetInterval(210);
  timer_->SetOnTimer([this](TObject* sender) { TimerEvent(sender); });
  currentPoly_ = AnimPolygonNew(0, 0xFFFFFF, true, true);
  const bool designing = GetComponentState().Contains(csDesigning);
  if (!designing) {
    backBuffer_ = std::make_unique<TBitmap>();
    backBuffer_->SetPixelFormat(pf24bit);
    HideSelectionEx(false);
  }
  hScrollParams_ = std::make_unique<TIEScrollBarParams>();
  vScrollParams_ = std::make_unique<TIEScrollBarParams>();
  wheelParams_ = std::make_unique<TIEMouseWheelParams>();
  mask_ = std::make_unique<TIEMask>();
  mask_->AllocateBits(ieBitmap_->GetWidth(), ieBitmap_->GetHeight(), 1);
}

TDadirAvView::~TDadirAvView() {
  transition_->Stop();
  // The components go first: the I/O component waits for its threads, which may be
  // writing into the current store.
  delete io_;
  io_ = nullptr;
  delete proc_;
  proc_ = nullptr;
  delete timer_;
  timer_ = nullptr;
  transition_.reset();
  if (drawDib_ != 0) IEDrawDibClose(drawDib_);
  polygons_.clear();
  currentPoly_ = nullptr;
  // The layers own their stores; layer 0's store adopts the legacy bitmap, which goes
  // after it.
  layers_.clear();
  ieBitmap_ = nullptr;
  legacyBitmap_ = nullptr;
}

// --- The image ---------------------------------------------------------------------------

bool TDadirAvView::GetIsEmpty() {
  return ieBitmap_->GetWidth() <= 1 && ieBitmap_->GetHeight() <= 1;
}

TIEBitmap* TDadirAvView::GetAlphaChannel() { return ieBitmap_->GetAlphaChannel(); }

bool TDadirAvView::GetHasAlphaChannel() { return ieBitmap_->GetHasAlphaChannel(); }

void TDadirAvView::SetBackGround(TColor value) {
  TIEView::SetBackGround(value);
  if (GetComponentState().Contains(csDesigning)) Clear();
  Update();
  ImageChange();
}

void TDadirAvView::Clear() {
  ieBitmap_->Fill(static_cast<Integer>(GetBackground()));
  RemoveAlphaChannel(false);
  Update();
}

void TDadirAvView::Blank() {
  transition_->Stop();
  if (legacyBitmap_ != nullptr) {
    // The store reads the adopted bitmap's size again.
    legacyBitmap_->SetSize(1, 1);
    ieBitmap_->EncapsulateTBitmap(legacyBitmap_, false);
  } else {
    ieBitmap_->Allocate(1, 1, ieBitmap_->GetPixelFormat() == ienull ? ie24RGB
                                                                    : ieBitmap_->GetPixelFormat());
  }
  Clear();
}

void TDadirAvView::Assign(TObject* source) {
  if (source == nullptr) {
    Clear();
    return;
  }
  if (auto* view = dynamic_cast<TDadirAvView*>(source)) {
    if (view == this) return;
    ieBitmap_->Assign(view->GetIEBitmap());
    TIEView::SetBackGround(view->GetBackground());
    SetDPI(view->GetDPIX(), view->GetDPIY());
    Update();
    ImageChange();
    return;
  }
  if (auto* bitmap = dynamic_cast<TBitmap*>(source)) {
    ieBitmap_->CopyFromTBitmap(bitmap);
    if (ieBitmap_->GetPixelFormat() != ie1g && ieBitmap_->GetPixelFormat() != ie24RGB)
      ieBitmap_->ConvertToPixelFormat(ie24RGB);
    Update();
    ImageChange();
  }
}

void TDadirAvView::SetBounds(Integer left, Integer top, Integer width, Integer height) {
  TIEView::SetBounds(left, top, width, height);
  const TComponentState state = GetComponentState();
  if ((state.Contains(csReading) || state.Contains(csLoading) || state.Contains(csDesigning)) &&
      ieBitmap_ != nullptr) {
    if (legacyBitmap_ != nullptr) {
      legacyBitmap_->SetSize(GetWidth(), GetHeight());
      ieBitmap_->EncapsulateTBitmap(legacyBitmap_, false);
    } else {
      ieBitmap_->Allocate(GetWidth(), GetHeight(), ie24RGB);
    }
    Clear();
  }
}

void TDadirAvView::SetLegacyBitmap(bool value) {
  if (value == (legacyBitmap_ != nullptr)) return;
  if (!value) {
    // Out of the framework bitmap into the store's own memory (or file).
    ieBitmap_->SetLocation(ieFile);
    legacyBitmap_ = nullptr;
  } else {
    ieBitmap_->SetLocation(ieTBitmap);
    legacyBitmap_ = ieBitmap_->GetFrameworkBitmap();
  }
  CallBitmapChangeEvents();
  Update();
}

void TDadirAvView::SetEnableAlphaChannel(bool value) {
  enableAlphaChannel_ = value;
  Update();
}

// --- Paint locking and notifications -----------------------------------------------------

Integer TDadirAvView::UnLockPaint() {
  if (paintLock_ > 0) {
    --paintLock_;
    if (paintLock_ == 0) Update();
  }
  return paintLock_;
}

Integer TDadirAvView::NPUnLockPaint() {
  if (paintLock_ > 0) --paintLock_;
  return paintLock_;
}

void TDadirAvView::UpdateNoPaint() {
  updateNoPaint_ = true;
  try {
    Update();
  } catch (...) {
    updateNoPaint_ = false;
    throw;
  }
  updateNoPaint_ = false;
}

void TDadirAvView::ImageChange() {
  TIEView::ImageChange();
  if (OnImageChange) OnImageChange(this);
}

void TDadirAvView::ViewChange(Integer change) {
  if (OnViewChange) OnViewChange(this, change);
}

bool TDadirAvView::HasParentWindow() { return GetParent() != nullptr || GetParentWindow() != 0; }

Integer TDadirAvView::GetClientWidth() {
  return HasParentWindow() ? TIEView::GetClientWidth() : 50;
}

Integer TDadirAvView::GetClientHeight() {
  return HasParentWindow() ? TIEView::GetClientHeight() : 50;
}

// --- Components ---------------------------------------------------------------------------

TDadirAvIO* TDadirAvView::GetDadirAvIO() {
  if (io_ == nullptr) {
    io_ = new TDadirAvIO(this);  // owned through the component tree
    io_->SetAttachedDadirAv(this);
    io_->OnProgress = onProgress_;
  }
  return io_;
}

TDadirAvProc* TDadirAvView::GetDadirAvProc() {
  if (proc_ == nullptr) {
    proc_ = new TDadirAvProc(this);
    proc_->SetAttachedDadirAv(this);
    proc_->OnProgress = onProgress_;
  }
  return proc_;
}

void TDadirAvView::SetOnProgress(TIEProgressEvent value) {
  onProgress_ = std::move(value);
  if (io_ != nullptr) io_->OnProgress = onProgress_;
  if (proc_ != nullptr) proc_->OnProgress = onProgress_;
}

bool TDadirAvView::StoreBusy() { return io_ != nullptr && io_->GetAsyncRunning() > 0; }

// --- Transitions and cursors ---------------------------------------------------------------

void TDadirAvView::PrepareTransition() {
  const Integer w = GetClientWidth();
  const Integer h = GetClientHeight();
  if (w <= 0 || h <= 0) return;
  transition_->SetSizes(w, h);
  PaintToEx(transition_->GetSourceShot(), nullptr, nullptr);
}

void TDadirAvView::RunTransition(TIETransitionType kind, Integer duration) {
  const Integer w = GetClientWidth();
  const Integer h = GetClientHeight();
  if (w <= 0 || h <= 0) return;
  transition_->SetTransition(kind);
  transition_->SetDuration(duration);
  PaintToEx(transition_->GetTargetShot(), nullptr, nullptr);
  transition_->Run(true);
}

bool TDadirAvView::GetTransitionRunning() const { return transition_->GetRunning(); }

void TDadirAvView::SetViewCursor(TCursor value) {
  viewCursor_ = value;
  TIEView::SetCursor(value);
}

// --- Window messages -------------------------------------------------------------------------

void TDadirAvView::Dispatch(TMessage& message) {
  if (InteractMessage(message)) return;
  switch (message.Msg) {
    case WM_ERASEBKGND:
      message.Result = 0;  // every pixel is painted by the view
      return;
    case WM_SIZE:
      TIEView::Dispatch(message);
      transition_->Stop();
      Update();
      return;
    case WM_HSCROLL:
      TIEView::Dispatch(message);
      ScrollMessage(true, message.WParam);
      return;
    case WM_VSCROLL:
      TIEView::Dispatch(message);
      ScrollMessage(false, message.WParam);
      return;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      TIEView::Dispatch(message);
      Invalidate();
      return;
    case IEM_UPDATE:
      Update();
      return;
    default:
      TIEView::Dispatch(message);
  }
}
