// TDadirAvMIO: scanning several pages into the grid, modally (every sheet of a
// feeder in one call) or modelessly (the source stays enabled until closed).
#include "image/io/iemio.h"

#include <algorithm>

#include "image/io/imscan.h"
#include "image/views/iemview.h"
#include "platform/win/Window.h"

Integer TDadirAvMIO::AcquisitionPoint() const {
  if (view_ == nullptr) return 0;
  const Integer selected = view_->GetSelectedItem();
  return selected < 0 ? view_->GetImageCount() : selected;
}

bool TDadirAvMIO::SelectAcquireSource() {
  AnsiString name;
  const bool ok = IETW_SelectImageSource(name, twainParams_->GetShared(), IEFindHandle(this));
  // A cancelled dialog keeps the source selected before.
  if (ok) twainParams_->SelectSourceByName(name);
  return ok;
}

bool TDadirAvMIO::Acquire() {
  if (acquireHandle_ != nullptr) return true;
  try {
    aborting_ = false;
    acquireIdx_ = AcquisitionPoint();
    TProgressRec progress;
    progress.OnProgress = OnProgress;
    progress.Sender = this;
    progress.Aborting = &aborting_;
    const HWND window = IEFindHandle(this);
    const bool ok = IETW_Acquire(
        nullptr, true, [this](TIEBitmap* bitmap, TIOParamsVals*& io) { TWMultiCallBack(bitmap, io); },
        twainParams_.get(), nullptr, &progress, twainParams_->GetShared(), window);
    // Nothing arrived: a failure or a cancel, told as every other operation tells it.
    if (!ok) aborting_ = true;
    if (window != 0) SetFocus(window);
    Update();
    return ok;
  } catch (...) {
    aborting_ = true;
    return false;
  }
}

bool TDadirAvMIO::AcquireOpen() {
  if (acquireHandle_ != nullptr || view_ == nullptr) return false;
  acquireIdx_ = AcquisitionPoint();
  aborting_ = false;
  twainParams_->FreeResources();
  acquireHandle_ = IETWAINAcquireOpen([this] { TWCloseCallBack(); },
                                      [this](TIEBitmap* bitmap, TIOParamsVals*& io) { TWMultiCallBack(bitmap, io); },
                                      twainParams_.get(), twainParams_->GetShared(), nullptr, view_);
  return acquireHandle_ != nullptr;
}

void TDadirAvMIO::AcquireClose() {
  if (acquireHandle_ != nullptr) IETWAINAcquireClose(acquireHandle_);
  acquireHandle_ = nullptr;
}

void TDadirAvMIO::TWCloseCallBack() { acquireHandle_ = nullptr; }

void TDadirAvMIO::TWMultiCallBack(TIEBitmap* Bitmap, TIOParamsVals*& IOParams) {
  bool handled = false;
  if (OnAcquireBitmap) OnAcquireBitmap(this, Bitmap, handled);
  if (handled || view_ == nullptr || Bitmap == nullptr) return;
  // Images deleted meanwhile (a modeless acquisition lets the user work on the grid)
  // leave the next page after the last image rather than past it.
  const Integer idx = view_->InsertImageEx(std::min(acquireIdx_, view_->GetImageCount()));
  TIOParamsVals* entry = GetParams(idx);
  if (entry == nullptr) {  // the list lost step with the grid: nothing to describe the page
    view_->DeleteImage(idx);
    return;
  }
  IOParams = entry;
  std::unique_ptr<TIEBitmap> adjusted;
  if (AutoAdjustDPI) adjusted = AdjustDPI(Bitmap, *entry);
  view_->SetIEBitmapEx(idx, adjusted != nullptr ? adjusted.get() : Bitmap);
  view_->SetImageDelayTime(idx, 100);
  acquireIdx_ = idx + 1;
}
