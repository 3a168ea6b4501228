// The input/output component: its store, the end-of-work protocol, Update and
// AdjustDPI.
#include <thread>

#include "image/io/dadiravio.h"
#include "image/proc/dadiravproc_resample.h"
#include "platform/win/Debug.h"
#include "platform/win/Messages.h"

TDadirAvIO::TDadirAvIO(TComponent* Owner)
    : TComponent(Owner), ownBitmap_(std::make_unique<TIEBitmap>()),
      params_(std::make_unique<TIOParamsVals>(this)) {
  ieBitmap_ = ownBitmap_.get();
  InitializeCriticalSection(&threadsLock_);
}

TDadirAvIO::~TDadirAvIO() {
  WaitThreads(false);
  DeleteCriticalSection(&threadsLock_);
}

void TDadirAvIO::SetIEBitmap(TIEBitmap* store) {
  bitmap_ = nullptr;
  ownBitmap_.reset();
  ownsIEBitmap_ = false;
  ieBitmap_ = store;
}

void TDadirAvIO::SetAttachedIEBitmap(TIEBitmap* store) { SetIEBitmap(store); }

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

void TDadirAvIO::SetAttachedBitmap(TBitmap* bitmap) { SetBitmap(bitmap); }

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
  EnterCriticalSection(&owner_->threadsLock_);
  auto& list = owner_->threads_;
  for (auto it = list.begin(); it != list.end(); ++it) {
    if (*it != this) continue;
    list.erase(it);
    break;
  }
  LeaveCriticalSection(&owner_->threadsLock_);
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
