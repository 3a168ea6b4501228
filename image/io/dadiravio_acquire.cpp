// Scanners: the scanner parameters TIETWainParams, and the component's entry
// points (Acquire, SelectAcquireSource, the modeless acquisition and its
// callbacks).
#include <cstring>

#include "image/io/iemio.h"
#include "image/io/imscan.h"
#include "platform/rtl/Exceptions.h"
#include "platform/rtl/Strings.h"
#include "platform/vcl/Controls.h"
#include "platform/win/Window.h"

HWND IEFindHandle(TComponent* component) {
  for (TComponent* c = component; c != nullptr; c = c->GetOwner()) {
    auto* control = dynamic_cast<TWinControl*>(c);
    if (control != nullptr && control->HandleAllocated()) return control->GetHandle();
  }
  return 0;
}

// ---------------------------------------------------------------------------
// TIETWainParams

TIETWainParams::TIETWainParams(TComponent* Owner) : owner_(Owner) { SetDefaultParams(); }

TIETWainParams::~TIETWainParams() {
  IETW_FreeResources(&shared_, OwnerWindow());
  SetDefaultParams();
}

HWND TIETWainParams::OwnerWindow() const { return IEFindHandle(owner_); }

void TIETWainParams::SetDefaultParams() {
  sources_.clear();
  VisibleDialog = true;
  selectedSource_ = 0;
  sourceListFilled_ = false;
  capsRead_ = false;
  for (TIEList* list : std::initializer_list<TIEList*>{&caps_.XResolution, &caps_.YResolution, &caps_.XScaling,
                                                        &caps_.YScaling, &caps_.PixelType, &caps_.Contrast,
                                                        &caps_.Brightness, &caps_.Orientation, &caps_.StandardSize}) {
    list->Clear();
    list->Changed = TIEListChanges();
  }
  caps_.Gamma = 2.2;
  caps_.PhysicalHeight = 0;
  caps_.PhysicalWidth = 0;
  // A multi-image component scans whole feeders by default.
  const bool multi = dynamic_cast<TDadirAvMIO*>(owner_) != nullptr;
  caps_.FeederEnabled = multi;
  caps_.Indicators = true;
  for (double& f : caps_.AcquireFrame) f = 0;
  caps_.BufferedTransfer = true;
  caps_.DuplexEnabled = multi;
  caps_.AcquireFrameEnabled = false;
  caps_.FeederLoaded = false;
  caps_.DuplexSupported = false;
  caps_.PaperDetectable = false;
  caps_.Threshold = 128;
  caps_.UndefinedImageSize = false;
  caps_.AutoFeed = multi;
  appVersionInfo_.clear();
  appManufacturer_.clear();
  appProductFamily_.clear();
  appProductName_.clear();
}

void TIETWainParams::Assign(const TIETWainParams* source) {
  if (source == nullptr || source == this) return;
  VisibleDialog = source->VisibleDialog;
  selectedSource_ = source->selectedSource_;
  sourceListFilled_ = source->sourceListFilled_;
  sources_ = source->sources_;
  const TIETWSourceCaps& s = source->caps_;
  TIETWSourceCaps& d = caps_;
  const auto copy = [](TIEList& to, const TIEList& from) {
    to.Assign(&from);
    to.Changed = from.Changed;
  };
  copy(d.XResolution, s.XResolution);
  copy(d.YResolution, s.YResolution);
  copy(d.XScaling, s.XScaling);
  copy(d.YScaling, s.YScaling);
  copy(d.PixelType, s.PixelType);
  copy(d.Orientation, s.Orientation);
  copy(d.Contrast, s.Contrast);
  copy(d.Brightness, s.Brightness);
  copy(d.StandardSize, s.StandardSize);
  d.Gamma = s.Gamma;
  d.PhysicalHeight = s.PhysicalHeight;
  d.PhysicalWidth = s.PhysicalWidth;
  d.FeederEnabled = s.FeederEnabled;
  d.Indicators = s.Indicators;
  for (int i = 0; i < 4; ++i) d.AcquireFrame[i] = s.AcquireFrame[i];
  d.BufferedTransfer = s.BufferedTransfer;
  d.DuplexEnabled = s.DuplexEnabled;
  d.AcquireFrameEnabled = s.AcquireFrameEnabled;
  d.Threshold = s.Threshold;
  d.UndefinedImageSize = s.UndefinedImageSize;
  d.AutoFeed = s.AutoFeed;
  appVersionInfo_ = source->appVersionInfo_;
  appManufacturer_ = source->appManufacturer_;
  appProductFamily_ = source->appProductFamily_;
  appProductName_ = source->appProductName_;
}

void TIETWainParams::FreeResources() {
  IETW_FreeResources(&shared_, OwnerWindow());
  shared_ = TIETWainShared{};
}

void TIETWainParams::FillSourceListData() {
  if (sourceListFilled_) return;
  sources_.clear();
  IETW_GetSourceList(sources_, &shared_, OwnerWindow());
  sourceListFilled_ = true;
}

Integer TIETWainParams::GetSourceCount() {
  FillSourceListData();
  return static_cast<Integer>(sources_.size());
}

AnsiString TIETWainParams::GetSourceName(Integer index) {
  FillSourceListData();
  if (index < 0) throw EListError("List index out of bounds (" + IntToStr(index) + ")");
  if (index >= static_cast<Integer>(sources_.size())) return AnsiString();
  const char* name = sources_[static_cast<size_t>(index)].ProductName;
  return AnsiString(name, strnlen(name, 34));
}

const TW_IDENTITY* TIETWainParams::SourceIdentity(Integer index) {
  FillSourceListData();
  if (index < 0 || index >= static_cast<Integer>(sources_.size())) return nullptr;
  return &sources_[static_cast<size_t>(index)];
}

namespace {

bool SameLetters(const AnsiString& a, const AnsiString& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 32);
    if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 32);
    if (x != y) return false;
  }
  return true;
}

}  // namespace

bool TIETWainParams::SelectSourceByName(const AnsiString& name) {
  FillSourceListData();
  for (size_t i = 0; i < sources_.size(); ++i) {
    const AnsiString product(sources_[i].ProductName, strnlen(sources_[i].ProductName, 34));
    if (!SameLetters(product.substr(0, name.size()), name)) continue;
    if (static_cast<Integer>(i) != selectedSource_) SetSelectedSource(static_cast<Integer>(i));
    return true;
  }
  return false;
}

Integer TIETWainParams::GetDefaultSource() {
  AnsiString name;
  IETW_GetDefaultSource(&shared_, OwnerWindow(), name);
  FillSourceListData();
  for (size_t i = 0; i < sources_.size(); ++i) {
    const AnsiString product(sources_[i].ProductName, strnlen(sources_[i].ProductName, 34));
    if (SameLetters(product.substr(0, name.size()), name)) return static_cast<Integer>(i);
  }
  return 0;
}

void TIETWainParams::SetSelectedSource(Integer index) {
  if (index == selectedSource_) return;
  selectedSource_ = index;
  capsRead_ = false;
  FillCapabilities();
}

void TIETWainParams::FillCapabilities() {
  if (capsRead_) return;
  // Marked first: the reading connection asks these properties itself.
  capsRead_ = true;
  IETW_GetCapabilities(this, caps_, false, OwnerWindow(), &shared_);
}

bool TIETWainParams::GetFromScanner() {
  capsRead_ = true;
  return IETW_GetCapabilities(this, caps_, false, OwnerWindow(), &shared_);
}

bool TIETWainParams::Update() {
  capsRead_ = true;
  return IETW_GetCapabilities(this, caps_, true, OwnerWindow(), &shared_);
}

double TIETWainParams::GetAcquireFrame(Integer i) {
  FillCapabilities();
  return i >= 0 && i < 4 ? caps_.AcquireFrame[i] : 0;
}

void TIETWainParams::SetAcquireFrame(Integer i, double value) {
  if (i >= 0 && i < 4) caps_.AcquireFrame[i] = value;
}

// ---------------------------------------------------------------------------
// The component's entry points

bool TDadirAvIO::Acquire() {
  // A modeless acquisition holds the source: nothing is acquired.
  if (acquireHandle_ != nullptr) return false;
  if (ReIssue(ieRetBool, [this] { Acquire(); })) return true;
  return DoAcquire();
}

bool TDadirAvIO::DoAcquire() {
  aborting_ = false;
  bool result = false;
  if (ieBitmap_ == nullptr) {
    DoFinishWork();
    return false;
  }
  TProgressRec progress = MakeProgress();
  ReEncapsulate();
  const HWND window = IEFindHandle(this);
  // A failed acquisition leaves the working store as it was.
  TIEBitmap scratch;
  TIOParamsVals scratchParams(nullptr);
  scratchParams.Assign(params_.get());
  const bool ok = IETW_Acquire(&scratch, false, nullptr, twainParams_.get(), &scratchParams, &progress,
                               twainParams_->GetShared(), window);
  if (ok) {
    ieBitmap_->Assign(&scratch);
    params_->Assign(&scratchParams);
    result = true;
    if (AutoAdjustDPI) AdjustDPI();
    if (view_ != nullptr) {
      view_->SetDPIX(params_->DpiX);
      view_->SetDPIY(params_->DpiY);
    }
  } else {
    aborting_ = true;
  }
  if (window != 0) SetFocus(window);
  Update();
  DoFinishWork();
  return result;
}

bool TDadirAvIO::SelectAcquireSource() {
  AnsiString name;
  const bool ok = IETW_SelectImageSource(name, twainParams_->GetShared(), IEFindHandle(this));
  // A cancelled dialog keeps the source selected before.
  if (ok) twainParams_->SelectSourceByName(name);
  return ok;
}

bool TDadirAvIO::AcquireOpen() {
  if (acquireHandle_ != nullptr || view_ == nullptr) return false;
  aborting_ = false;
  twainParams_->FreeResources();
  acquireHandle_ = IETWAINAcquireOpen([this] { TWCloseCallBack(); },
                                      [this](TIEBitmap* bitmap, TIOParamsVals*& io) { TWMultiCallBack(bitmap, io); },
                                      twainParams_.get(), twainParams_->GetShared(), params_.get(), view_);
  return acquireHandle_ != nullptr;
}

void TDadirAvIO::AcquireClose() {
  if (acquireHandle_ != nullptr) IETWAINAcquireClose(acquireHandle_);
  acquireHandle_ = nullptr;
}

void TDadirAvIO::TWMultiCallBack(TIEBitmap* Bitmap, TIOParamsVals*& IOParams) {
  ReEncapsulate();
  bool handled = false;
  DoAcquireBitmap(Bitmap, handled);
  if (handled) return;
  IOParams = params_.get();
  if (ieBitmap_ != nullptr) ieBitmap_->Assign(Bitmap);
  if (AutoAdjustDPI) AdjustDPI();
  Update();
}

void TDadirAvIO::TWCloseCallBack() { acquireHandle_ = nullptr; }

void TDadirAvIO::DoAcquireBitmap(TIEBitmap* ABitmap, bool& Handled) {
  if (OnAcquireBitmap) OnAcquireBitmap(this, ABitmap, Handled);
}
