// The input/output component: its store, the end-of-work protocol, Update and
// AdjustDPI.
#include <thread>

#include "image/io/dadiravio.h"
#include "image/proc/dadiravproc_resample.h"
#include "platform/win/Debug.h"
#include "platform/win/Messages.h"

TDadirAvIO::TDadirAvIO(TComponent* Owner)
    : TComponent(Owner), TIEViewAttachment(this), ownBitmap_(std::make_unique<TIEBitmap>()),
      params_(std::make_unique<TIOParamsVals>(this)) {
  previewFont_ = std::make_unique<TFont>();
  twainParams_ = std::make_unique<TIETWainParams>(this);
  ieBitmap_ = ownBitmap_.get();
  InitializeCriticalSection(&threadsLock_);
}

TDadirAvIO::~TDadirAvIO() {
  WaitThreads(false);
  AcquireClose();
  RemoveViewListener();
  DeleteCriticalSection(&threadsLock_);
}

void TDadirAvIO::SetIEBitmap(TIEBitmap* store) {
  bitmap_ = nullptr;
  ownBitmap_.reset();
  ownsIEBitmap_ = false;
  ieBitmap_ = store;
}

void TDadirAvIO::SetAttachedIEBitmap(TIEBitmap* store) {
  RemoveViewListener();
  if (store == nullptr && view_ != nullptr) return;
  SetIEBitmap(store);
  if (store != nullptr) view_ = nullptr;
}

void TDadirAvIO::SetAttachedDadirAv(TIEView* view) {
  LeaveViewFor(view);
  if (view == nullptr) {
    if (ieBitmap_ != nullptr) ieBitmap_->FreeImage();
    return;
  }
  TBitmap* framework = view->GetFBitmap();
  TIEBitmap* store = view->GetIEBitmap();
  if (store != nullptr) {
    SetIEBitmap(store);  // the view's own store, not owned
  } else {
    SetBitmap(framework);
  }
  ListenToView();
}

void TDadirAvIO::ViewStoreReplaced() {
  TBitmap* framework = view_->GetFBitmap();
  if (ownsIEBitmap_ && ownBitmap_ != nullptr && view_->GetIEBitmap() == nullptr) {
    bitmap_ = framework;
    ieBitmap_->EncapsulateTBitmap(framework, true);
    return;
  }
  if (TIEBitmap* store = view_->GetIEBitmap()) SetIEBitmap(store);
}

void TDadirAvIO::Notification(TComponent* component, TOperation operation) {
  TComponent::Notification(component, operation);
  if (ForgetRemovedView(component, operation)) {
    ieBitmap_ = nullptr;
    bitmap_ = nullptr;
  }
}

void TDadirAvIO::SetBitmap(TBitmap* bitmap) {
  // A framework bitmap is worked on through an own store that wraps it.
  if (!ownsIEBitmap_ || ownBitmap_ == nullptr) {
    ownBitmap_ = std::make_unique<TIEBitmap>();
    ownsIEBitmap_ = true;
    ieBitmap_ = ownBitmap_.get();
  }
  bitmap_ = bitmap;
  ieBitmap_->EncapsulateTBitmap(bitmap, true);
}

void TDadirAvIO::SetAttachedBitmap(TBitmap* bitmap) {
  RemoveViewListener();
  if (bitmap == nullptr && view_ != nullptr) return;
  SetBitmap(bitmap);
  if (bitmap != nullptr) view_ = nullptr;
}

void TDadirAvIO::SetDefaultDitherMethod(TIEDitherMethod method) {
  if (ieBitmap_ != nullptr) ieBitmap_->SetDefaultDitherMethod(method);
  defaultDitherMethod_ = method;
}

void TDadirAvIO::ReEncapsulate() {
  if (bitmap_ != nullptr && ieBitmap_ != nullptr) ieBitmap_->EncapsulateTBitmap(bitmap_, false);
}

TProgressRec TDadirAvIO::MakeProgress() {
  TProgressRec progress;
  progress.OnProgress = OnProgress;
  progress.Sender = this;
  progress.Aborting = &aborting_;
  return progress;
}

void TDadirAvIO::DoFinishWork() {
  if (OnProgress) OnProgress(this, 100);
  if (OnFinishWork) OnFinishWork(this);
}

void TDadirAvIO::Finishing(const std::function<void()>& work) {
  try {
    work();
  } catch (...) {
    aborting_ = true;
    DoFinishWork();
    throw;
  }
  DoFinishWork();
}

void TDadirAvIO::Update() {
  if (view_ != nullptr) {
    if (IsInsideAsyncThreads()) {
      // The view lays out on its own thread; it reads the store once this thread has
      // left the list (see TIEIOThread::Execute).
      if (view_->HandleAllocated()) PostMessage(view_->GetHandle(), IEM_UPDATE, 0, 0);
      view_->ImageChange();
      return;
    }
    view_->Update();
    view_->ImageChange();
    // The application reads a load's success from the view's framework bitmap.
    TBitmap* framework = bitmap_ != nullptr ? bitmap_ : view_->GetFBitmap();
    if (framework != nullptr) framework->SetModified(!aborting_);
    return;
  }
  if (bitmap_ != nullptr) bitmap_->SetModified(!aborting_);
}

void TDadirAvIO::AssignParams(TObject* source) {
  if (auto* io = dynamic_cast<TDadirAvIO*>(source)) {
    if (io != this) params_->Assign(io->GetParams());
  } else if (auto* p = dynamic_cast<TIOParamsVals*>(source)) {
    if (p != params_.get()) params_->Assign(p);
  }
}

void TDadirAvIO::AdjustDPI() {
  Integer dx = params_->DpiX;
  Integer dy = params_->DpiY;
  if (dx == dy || dx <= 0 || dy <= 0 || ieBitmap_ == nullptr) return;
  ReEncapsulate();
  Integer w = params_->Width;
  Integer h = params_->Height;
  if (h < w) {
    h = static_cast<Integer>(static_cast<double>(h) / dy * dx);
    params_->DpiY = dx;
    params_->Height = h;
  } else {
    w = static_cast<Integer>(static_cast<double>(w) / dx * dy);
    params_->DpiX = dy;
    params_->Width = w;
  }
  if (!IESizeWithinLimits(w, h)) return;
  std::unique_ptr<TIEBitmap> alpha;
  if (ieBitmap_->GetHasAlphaChannel()) {
    alpha = std::make_unique<TIEBitmap>();
    alpha->Assign(ieBitmap_->GetAlphaChannel());
  }
  TIEBitmap stretched;
  if (FilteredAdjustDPI) {
    stretched.Allocate(w, h, ie24RGB);
    if (ieBitmap_->GetPixelFormat() != ie24RGB) ieBitmap_->ConvertToPixelFormat(ie24RGB);
    _ResampleEx(ieBitmap_, &stretched, rfFastLinear);
  } else {
    stretched.Allocate(w, h, ieBitmap_->GetPixelFormat());
    _IEBmpStretchEx(ieBitmap_, &stretched);
  }
  ieBitmap_->Assign(&stretched);
  if (alpha != nullptr) _IEBmpStretchEx(alpha.get(), ieBitmap_->GetAlphaChannel());
}

// ---------------------------------------------------------------------------
// Threads

TIEIOThread::TIEIOThread(TDadirAvIO* Owner, TIEIOMethodTypes Kind, std::function<void()> Work)
    : TThread(true), owner_(Owner), kind_(Kind), work_(std::move(Work)) {
  EnterCriticalSection(&owner_->threadsLock_);
  owner_->threads_.push_back(this);
  LeaveCriticalSection(&owner_->threadsLock_);
  SetFreeOnTerminate(true);
  Resume();
}

void TIEIOThread::Execute() {
  try {
    work_();
  } catch (...) {
    OutputDebugString("Exception in TIEIOThread.Execute");
    owner_->aborting_ = true;
  }
  work_ = nullptr;
  // A view attached to the component must not read the store while this thread
  // writes it; it is told again once the thread is off the list.
  TIEView* view = owner_->view_;
  const HWND viewWindow = view != nullptr && view->HandleAllocated() ? view->GetHandle() : 0;
  EnterCriticalSection(&owner_->threadsLock_);
  auto& list = owner_->threads_;
  for (auto it = list.begin(); it != list.end(); ++it) {
    if (*it != this) continue;
    list.erase(it);
    break;
  }
  LeaveCriticalSection(&owner_->threadsLock_);
  if (viewWindow != 0) PostMessage(viewWindow, IEM_UPDATE, 0, 0);
}

Integer TDadirAvIO::GetAsyncRunning() {
  EnterCriticalSection(&threadsLock_);
  auto n = static_cast<Integer>(threads_.size());
  LeaveCriticalSection(&threadsLock_);
  return n;
}

bool TDadirAvIO::IsInsideAsyncThreads() {
  DWORD self = GetCurrentThreadId();
  EnterCriticalSection(&threadsLock_);
  bool inside = false;
  for (TIEIOThread* t : threads_)
    if (t->GetThreadID() == self) inside = true;
  LeaveCriticalSection(&threadsLock_);
  return inside;
}

void TDadirAvIO::WaitThreads(bool setAborting) {
  for (;;) {
    EnterCriticalSection(&threadsLock_);
    if (setAborting) aborting_ = true;
    size_t n = threads_.size();
    LeaveCriticalSection(&threadsLock_);
    if (n == 0) return;
    std::this_thread::yield();
  }
}

bool TDadirAvIO::ReIssue(TIEIOMethodTypes kind, std::function<void()> work) {
  if (ownsIEBitmap_ || !asyncMode_ || IsInsideAsyncThreads()) return false;
  new TIEIOThread(this, kind, std::move(work));  // frees itself when its work has ended
  return true;
}
