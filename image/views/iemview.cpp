// The thumbnail grid: records, the two stores, storing with shrinking, layout,
// scrolling, the list operations, captions and frame playing.
#include "image/views/iemview.h"

#include <algorithm>
#include <cmath>

#include "image/io/dadiravio.h"
#include "image/io/iemio.h"
#include "image/proc/dadiravproc_component.h"
#include "image/proc/dadiravproc_resample.h"
#include "image/views/dadiravview_internal.h"
#include "platform/vcl/Forms.h"
#include "platform/win/Messages.h"
#include "platform/win/Window.h"

namespace {

// The library lock for one scope.
struct ThreadLock {
  ThreadLock() { EnterCriticalSection(&gThreadCS); }
  ~ThreadLock() { LeaveCriticalSection(&gThreadCS); }
  ThreadLock(const ThreadLock&) = delete;
  ThreadLock& operator=(const ThreadLock&) = delete;
};

}  // namespace

using dadiravview::TruncSat;

// What the transition effects see of the grid: its canvas, its background and its
// paint lock (the grid does not paint over a running transition).
class TDadirAvMView::TransitionSite : public TIETransitionView {
 public:
  explicit TransitionSite(TDadirAvMView* view) : view_(view) {}
  TCanvas* GetCanvas() override { return view_->GetCanvas(); }
  TColor GetBackground() const override { return view_->GetBackground(); }
  void LockPaint() override { view_->LockPaint(); }
  void NPUnLockPaint() override { view_->NPUnLockPaint(); }
  void Update() override { view_->Update(); }

 private:
  TDadirAvMView* view_;
};

// --- Captions --------------------------------------------------------------------------------

TIEMText::TIEMText(TComponent* owner, TIEMTextPos position)
    : font_(std::make_unique<TFont>()), owner_(owner), position_(position) {
  if (auto* view = dynamic_cast<TDadirAvMView*>(owner)) {
    Background = view->GetBackground();
    font_->Assign(view->GetFont());
  } else {
    Background = kIEBtnFace;
  }
}

TIEMText::~TIEMText() = default;

void TIEMText::SetCaption(const AnsiString& text) {
  if (auto* view = dynamic_cast<TDadirAvMView*>(owner_)) {
    TCanvas* canvas = view->GetCanvas();
    canvas->GetFont()->Assign(font_.get());
    const Integer h = canvas->TextHeight(text);
    const Integer a = h + 2;
    if (position_ == iemtpTop && view->UpperGap < a) view->UpperGap = a;
    if (position_ == iemtpBottom && view->BottomGap < a)
      view->BottomGap = view->Style == iemsACD ? h + 4 : a;
  }
  caption_ = text;
}

// --- Construction ----------------------------------------------------------------------------

TDadirAvMView::TDadirAvMView(TComponent* owner)
    : TIEView(owner),
      store_(std::make_unique<TIEVirtualDIBList>()),
      cache_(std::make_unique<TIEVirtualDIBList>()),
      wallPaper_(std::make_unique<TPicture>()),
      hScrollParams_(std::make_unique<TIEScrollBarParams>()),
      vScrollParams_(std::make_unique<TIEScrollBarParams>()),
      io_(std::make_unique<TDadirAvIO>(nullptr)) {
  transitionSite_ = std::make_unique<TransitionSite>(this);
  transition_ = std::make_unique<TIETransitionEffects>(transitionSite_.get());
  SetBounds(GetLeft(), GetTop(), 180, 90);
  store_->SetMaxMapped(imageCacheSize_);
  drawDib_ = IEDrawDibOpen();
  starter_ = std::make_unique<TIEStarter>(this);
  starter_->Start();
}

TDadirAvMView::~TDadirAvMView() {
  transition_->Stop();
  // The processing component works on the selected image's bitmap: it goes before
  // that bitmap is given back.
  delete proc_;
  proc_ = nullptr;
  StopPlaying();
  DeselectNU();
  ClearThreadsAndRequests();
  {
    // From here on a finishing load only marks itself finished.
    ThreadLock lock;
    destroying_ = true;
  }
  starter_->Stop();
  // Each loader waits for its thread before it goes; its picture goes after it, so
  // no thread is left writing into freed memory.
  std::vector<TIEGridLoader*> loaders;
  {
    ThreadLock lock;
    loaders.swap(running_);
  }
  for (TIEGridLoader* loader : loaders) {
    delete loader->io;
    delete loader->bitmap;
    delete loader;
  }
  starter_.reset();
  // No load fills its entries any more; it closes a scan still open while the grid
  // is whole.
  delete mio_;
  mio_ = nullptr;
  {
    ThreadLock lock;
    for (auto it = images_.rbegin(); it != images_.rend(); ++it) delete *it;
    images_.clear();
    queue_.clear();
  }
  if (timer_ != 0 && HandleAllocated()) KillTimer(GetHandle(), 1);
  transition_.reset();
  store_.reset();
  cache_.reset();
  IEDrawDibClose(drawDib_);
}

// --- Records ---------------------------------------------------------------------------------

TIEImageInfo* TDadirAvMView::Info(Integer idx) const {
  if (idx < 0 || idx >= static_cast<Integer>(images_.size())) return nullptr;
  return images_[static_cast<size_t>(idx)];
}

Integer TDadirAvMView::IndexOfInfo(const TIEImageInfo* info) const {
  auto it = std::find(images_.begin(), images_.end(), info);
  return it == images_.end() ? -1 : static_cast<Integer>(it - images_.begin());
}

Integer TDadirAvMView::GetImageCount() const { return static_cast<Integer>(images_.size()); }

Integer TDadirAvMView::InsertImageEx(Integer idx) {
  StopPlaying();
  auto info = std::make_unique<TIEImageInfo>();
  info->Background = GetBackground();
  info->TopText = std::make_unique<TIEMText>(this, iemtpTop);
  info->BottomText = std::make_unique<TIEMText>(this, iemtpBottom);
  info->InfoText = std::make_unique<TIEMText>(this, iemtpInfo);
  {
    ThreadLock lock;
    if (idx < 0) idx = 0;
    if (idx >= GetImageCount()) {
      images_.push_back(info.release());
      idx = GetImageCount() - 1;
    } else {
      images_.insert(images_.begin() + idx, info.release());
      // The selection follows its image.
      if (selectedIdx_ >= idx) ++selectedIdx_;
      for (Integer& m : multiSel_)
        if (m >= idx) ++m;
    }
    lastOp_ = kIELastOpInsert;
    lastOpIdx_ = idx;
  }
  CallBitmapChangeEvents();
  Update();
  return idx;
}

Integer TDadirAvMView::InsertImage(Integer idx) {
  idx = InsertImageEx(idx);
  SetSelectedItemNU(idx);
  lastOpIdx_ = selectedIdx_;
  Update();
  return idx;
}

bool TDadirAvMView::DeleteImageNU(Integer idx) {
  StopPlaying();
  if (Info(idx) == nullptr) return false;
  const Integer s = selectedIdx_;
  DeselectNU();
  {
    ThreadLock lock;
    TIEImageInfo* info = images_[static_cast<size_t>(idx)];
    // A queued request goes; a running load is told to stop and forgets the record.
    queue_.erase(std::remove(queue_.begin(), queue_.end(), info), queue_.end());
    for (TIEGridLoader* loader : running_) {
      if (loader->info != info) continue;
      loader->info = nullptr;
      if (loader->state >= 0) {
        loader->state = -2;
        loader->io->SetAborting(true);
      }
    }
    DropImage(info);
    images_.erase(images_.begin() + idx);
    delete info;
    lastOp_ = kIELastOpDelete;
    lastOpIdx_ = idx;
  }
  const Integer count = GetImageCount();
  Integer next = -1;
  if (s >= 0) {
    if (idx != s || s < count)
      next = idx < s ? s - 1 : s;
    else
      next = count - 1;
    if (next >= count) next = count - 1;
  }
  if (next >= 0) SetSelectedItemNU(next);
  CallBitmapChangeEvents();
  return true;
}

void TDadirAvMView::DeleteImage(Integer idx) {
  if (DeleteImageNU(idx)) Update();
}

void TDadirAvMView::DeleteSelectedImages() {
  MultiSelectSortList();
  const std::vector<Integer> list = multiSel_;
  LockPaint();
  for (auto it = list.rbegin(); it != list.rend(); ++it) DeleteImageNU(*it);
  UnLockPaint();
  Update();
}

void TDadirAvMView::MoveImage(Integer idx, Integer newIdx) {
  if (Info(idx) == nullptr || newIdx < 0 || newIdx == idx) return;
  StopPlaying();
  // The selection stays on its image wherever the move puts it.
  const TIEImageInfo* selected = Info(selectedIdx_);
  DeselectNU();
  {
    ThreadLock lock;
    TIEImageInfo* info = images_[static_cast<size_t>(idx)];
    images_.erase(images_.begin() + idx);
    if (newIdx >= GetImageCount()) {
      images_.push_back(info);
      newIdx = GetImageCount() - 1;
    } else {
      images_.insert(images_.begin() + newIdx, info);
    }
    // Recorded so that whoever keeps data per image (the multi-image component's
    // parameters) can move it along.
    lastOp_ = kIELastOpMove;
    lastOpIdx_ = newIdx;
    lastOpParam_ = idx;
  }
  if (selected != nullptr) SetSelectedItemNU(IndexOfInfo(selected));
  Update();
}

void TDadirAvMView::Clear() {
  StopPlaying();
  Deselect();
  ClearThreadsAndRequests();
  LockPaint();
  {
    ThreadLock lock;
    for (TIEGridLoader* loader : running_) loader->info = nullptr;
    while (!images_.empty()) {
      TIEImageInfo* info = images_.back();
      images_.pop_back();
      delete info;
    }
    queue_.clear();
    multiSel_.clear();
    store_ = std::make_unique<TIEVirtualDIBList>();
    store_->SetMaxMapped(imageCacheSize_);
    cache_ = std::make_unique<TIEVirtualDIBList>();
  }
  NPUnLockPaint();
  Update();
}

// --- Storing ---------------------------------------------------------------------------------

void TDadirAvMView::FitSize(Integer w, Integer h, Integer boxW, Integer boxH, Integer& outW,
                            Integer& outH) const {
  if (w <= 0 || h <= 0) {
    outW = boxW;
    outH = boxH;
    return;
  }
  const double s = std::min(static_cast<double>(boxH) / h, static_cast<double>(boxW) / w);
  outW = std::max(TruncSat(w * s), 1);
  outH = std::max(TruncSat(h * s), 1);
}

TIEBaseBitmap* TDadirAvMView::MakeThumbnail(TIEBaseBitmap* bitmap,
                                            std::unique_ptr<TIEBitmap>& holder) const {
  const Integer w = bitmap->GetWidth();
  const Integer h = bitmap->GetHeight();
  if (StoreType == ietNormal) return bitmap;
  if (!enableResamplingOnMinor_ && w <= thumbWidth_ && h <= thumbHeight_) return bitmap;
  Integer tw, th;
  FitSize(w, h, thumbWidth_, thumbHeight_, tw, th);
  if (tw == w && th == h) return bitmap;
  if (w <= 0 || h <= 0) return bitmap;
  holder = std::make_unique<TIEBitmap>();
  holder->SetLocation(ieMemory);
  holder->Allocate(tw, th, ie24RGB);
  if (bitmap->GetPixelFormat() == ie1g)
    _SubResample1bitFilteredEx(bitmap, 0, 0, w - 1, h - 1, holder.get());
  else if (ThumbnailResampleFilter == rfNone)
    _IEBmpStretchEx(bitmap, holder.get());
  else
    _ResampleEx(bitmap, holder.get(), ThumbnailResampleFilter);
  return holder.get();
}

void TDadirAvMView::DropCache(TIEImageInfo* info) {
  if (info->cacheImage != nullptr) {
    cache_->Delete(info->cacheImage);
    info->cacheImage = nullptr;
  }
}

void TDadirAvMView::DropImage(TIEImageInfo* info) {
  if (info->image != nullptr) {
    store_->Delete(info->image);
    info->image = nullptr;
  }
  DropCache(info);
}

void TDadirAvMView::StoreInto(TIEImageInfo* info, TIEBaseBitmap* bitmap, bool resample) {
  DropImage(info);
  if (bitmap == nullptr) return;
  std::unique_ptr<TIEBitmap> holder;
  TIEBaseBitmap* thumb = resample ? MakeThumbnail(bitmap, holder) : bitmap;
  info->image = store_->AddIEBitmap(thumb);
  if (info->image != nullptr) {
    store_->SetImageOriginalWidth(info->image, bitmap->GetWidth());
    store_->SetImageOriginalHeight(info->image, bitmap->GetHeight());
  }
}

void TDadirAvMView::SetIEBitmapEx(Integer idx, TIEBaseBitmap* bitmap) {
  {
    ThreadLock lock;
    TIEImageInfo* info = Info(idx);
    if (info == nullptr) return;
    StoreInto(info, bitmap, true);
  }
  if (idx == selectedIdx_) {
    GiveBackSelectedBitmap();
    // The new picture, without loading: this may be the end of a load.
    ThreadLock lock;
    TIEImageInfo* info = Info(idx);
    selectedBitmap_ = info != nullptr && info->image != nullptr ? store_->GetBitmap(info->image) : nullptr;
  }
  if (idx == selectedIdx_) CallBitmapChangeEvents();
}

void TDadirAvMView::SetIEBitmap(Integer idx, TIEBaseBitmap* bitmap) {
  SetIEBitmapEx(idx, bitmap);
  Update();
}

void TDadirAvMView::SetImageEx(Integer idx, TBitmap* bitmap) {
  if (bitmap == nullptr || Info(idx) == nullptr) return;
  TIEBitmap wrap;
  if (bitmap->GetPixelFormat() == pf1bit || bitmap->GetPixelFormat() == pf24bit) {
    wrap.EncapsulateTBitmap(bitmap, true);
  } else {
    wrap.SetLocation(ieMemory);
    wrap.CopyFromTBitmap(bitmap);
  }
  SetIEBitmapEx(idx, &wrap);
  wrap.EncapsulateTBitmap(nullptr, true);
}

void TDadirAvMView::SetImage(Integer idx, TBitmap* bitmap) {
  SetImageEx(idx, bitmap);
  Update();
}

void TDadirAvMView::SetImageRect(Integer idx, TBitmap* bitmap, Integer x1, Integer y1, Integer x2,
                                 Integer y2) {
  if (bitmap == nullptr || Info(idx) == nullptr) return;
  const Integer w = bitmap->GetWidth();
  const Integer h = bitmap->GetHeight();
  if (w <= 0 || h <= 0) return;
  // Corners in either order, each kept inside the bitmap.
  x1 = std::clamp(x1, 0, w - 1);
  x2 = std::clamp(x2, 0, w - 1);
  y1 = std::clamp(y1, 0, h - 1);
  y2 = std::clamp(y2, 0, h - 1);
  if (x1 > x2) std::swap(x1, x2);
  if (y1 > y2) std::swap(y1, y2);
  {
    ThreadLock lock;
    TIEImageInfo* info = Info(idx);
    DropImage(info);
    info->image = store_->AddBitmapRect(bitmap, x1, y1, x2 - x1 + 1, y2 - y1 + 1);
    if (info->image != nullptr) {
      store_->SetImageOriginalWidth(info->image, w);
      store_->SetImageOriginalHeight(info->image, h);
    }
  }
  if (idx == selectedIdx_) {
    GiveBackSelectedBitmap();
    ThreadLock lock;
    TIEImageInfo* info = Info(idx);
    selectedBitmap_ = info->image != nullptr ? store_->GetBitmap(info->image) : nullptr;
  }
  Update();
}

bool TDadirAvMView::IsImageLoaded(Integer idx) const {
  ThreadLock lock;
  TIEImageInfo* info = Info(idx);
  return info != nullptr && info->image != nullptr;
}

bool TDadirAvMView::HasCacheImage(Integer idx) const {
  ThreadLock lock;
  TIEImageInfo* info = Info(idx);
  return info != nullptr && info->cacheImage != nullptr;
}

TBitmap* TDadirAvMView::GetBitmap(Integer idx) {
  if (Info(idx) == nullptr) return nullptr;
  if (!IsImageLoaded(idx)) ObtainImageNow(idx);
  ThreadLock lock;
  TIEImageInfo* info = Info(idx);
  if (info == nullptr || info->image == nullptr) return nullptr;
  return store_->GetBitmap(info->image);
}

void TDadirAvMView::ReleaseBitmap(Integer idx) {
  ThreadLock lock;
  TIEImageInfo* info = Info(idx);
  if (info == nullptr || info->image == nullptr) return;
  store_->ReleaseBitmapByImage(info->image, true);
  DropCache(info);
}

bool TDadirAvMView::CopyToIEBitmap(Integer idx, TIEBitmap* bitmap) {
  if (bitmap == nullptr || Info(idx) == nullptr) return false;
  if (!IsImageLoaded(idx)) ObtainImageNow(idx);
  ThreadLock lock;
  TIEImageInfo* info = Info(idx);
  if (info == nullptr || info->image == nullptr) return false;
  store_->CopyToIEBitmap(info->image, bitmap);
  return true;
}

Integer TDadirAvMView::GetImageWidth(Integer idx) {
  ThreadLock lock;
  TIEImageInfo* info = Info(idx);
  return info != nullptr && info->image != nullptr ? store_->GetImageWidth(info->image) : 0;
}

Integer TDadirAvMView::GetImageHeight(Integer idx) {
  ThreadLock lock;
  TIEImageInfo* info = Info(idx);
  return info != nullptr && info->image != nullptr ? store_->GetImageHeight(info->image) : 0;
}

Integer TDadirAvMView::GetImageBitCount(Integer idx) {
  ThreadLock lock;
  TIEImageInfo* info = Info(idx);
  return info != nullptr && info->image != nullptr ? store_->GetImageBitCount(info->image) : 0;
}

Integer TDadirAvMView::GetImageOriginalWidth(Integer idx) {
  ThreadLock lock;
  TIEImageInfo* info = Info(idx);
  return info != nullptr ? store_->GetImageOriginalWidth(info->image) : 0;
}

Integer TDadirAvMView::GetImageOriginalHeight(Integer idx) {
  ThreadLock lock;
  TIEImageInfo* info = Info(idx);
  return info != nullptr ? store_->GetImageOriginalHeight(info->image) : 0;
}

void TDadirAvMView::SetImageOriginalWidth(Integer idx, Integer value) {
  ThreadLock lock;
  if (TIEImageInfo* info = Info(idx)) store_->SetImageOriginalWidth(info->image, value);
}

void TDadirAvMView::SetImageOriginalHeight(Integer idx, Integer value) {
  ThreadLock lock;
  if (TIEImageInfo* info = Info(idx)) store_->SetImageOriginalHeight(info->image, value);
}

Integer TDadirAvMView::GetImageX(Integer idx) const {
  const TIEImageInfo* info = Info(idx);
  return info != nullptr ? info->X : 0;
}
Integer TDadirAvMView::GetImageY(Integer idx) const {
  const TIEImageInfo* info = Info(idx);
  return info != nullptr ? info->Y : 0;
}
Integer TDadirAvMView::GetImageRow(Integer idx) const {
  const TIEImageInfo* info = Info(idx);
  return info != nullptr ? info->Row : 0;
}
Integer TDadirAvMView::GetImageCol(Integer idx) const {
  const TIEImageInfo* info = Info(idx);
  return info != nullptr ? info->Col : 0;
}

void TDadirAvMView::SetImageFileName(Integer idx, const AnsiString& name) {
  ThreadLock lock;
  if (TIEImageInfo* info = Info(idx)) {
    info->FileName = name;
    info->ID = -1;
  }
}

AnsiString TDadirAvMView::GetImageFileName(Integer idx) const {
  ThreadLock lock;
  const TIEImageInfo* info = Info(idx);
  return info != nullptr ? info->FileName : AnsiString();
}

void TDadirAvMView::SetImageID(Integer idx, Integer id) {
  ThreadLock lock;
  if (TIEImageInfo* info = Info(idx)) {
    info->ID = id;
    info->FileName.clear();
  }
}

Integer TDadirAvMView::GetImageID(Integer idx) const {
  const TIEImageInfo* info = Info(idx);
  return info != nullptr ? info->ID : -1;
}

void TDadirAvMView::SetImageBackground(Integer idx, TColor color) {
  if (TIEImageInfo* info = Info(idx)) {
    info->Background = color;
    Update();
  }
}

TColor TDadirAvMView::GetImageBackground(Integer idx) const {
  const TIEImageInfo* info = Info(idx);
  return info != nullptr ? info->Background : static_cast<TColor>(0);
}

void TDadirAvMView::SetImageDelayTime(Integer idx, Integer ms) {
  if (TIEImageInfo* info = Info(idx)) info->DelayTime = ms;
}

Integer TDadirAvMView::GetImageDelayTime(Integer idx) const {
  const TIEImageInfo* info = Info(idx);
  return info != nullptr ? info->DelayTime : 0;
}

void TDadirAvMView::PrepareSpaceFor(Integer width, Integer height, Integer bitCount, Integer count) {
  ThreadLock lock;
  store_->PrepareSpaceFor(width, height, bitCount, count);
}

void TDadirAvMView::SetImageCacheSize(Integer n) {
  ThreadLock lock;
  imageCacheSize_ = std::max(n, 1);
  store_->SetMaxMapped(imageCacheSize_);
}

Integer TDadirAvMView::GetLastOp() {
  const Integer op = lastOp_;
  lastOp_ = kIELastOpNone;
  return op;
}

void TDadirAvMView::ClearImageCache(Integer idx) {
  ThreadLock lock;
  if (TIEImageInfo* info = Info(idx)) DropCache(info);
}

void TDadirAvMView::ClearCache() {
  ThreadLock lock;
  if (cache_->GetImageCount() == 0) return;
  for (TIEImageInfo* info : images_) info->cacheImage = nullptr;
  cache_ = std::make_unique<TIEVirtualDIBList>();
}

void TDadirAvMView::SetEnableImageCaching(bool value) {
  enableImageCaching_ = value;
  if (!value) {
    ClearCache();
    Update();
  }
}

void TDadirAvMView::SetEnableResamplingOnMinor(bool value) {
  enableResamplingOnMinor_ = value;
  Update();
}

// --- Properties ------------------------------------------------------------------------------

void TDadirAvMView::SetThumbWidth(Integer value) {
  if (value <= 0 || value == thumbWidth_) return;
  thumbWidth_ = value;
  ClearCache();
  Update();
}

void TDadirAvMView::SetThumbHeight(Integer value) {
  if (value <= 0 || value == thumbHeight_) return;
  thumbHeight_ = value;
  ClearCache();
  Update();
}

void TDadirAvMView::SetHorizBorder(Integer value) {
  if (value < 0) return;
  horizBorder_ = value;
  Update();
}

void TDadirAvMView::SetVertBorder(Integer value) {
  if (value < 0) return;
  vertBorder_ = value;
  Update();
}

void TDadirAvMView::SetGridWidth(Integer value) {
  gridWidth_ = std::max(value, -1);
  Update();
}

void TDadirAvMView::SetVisibleSelection(bool value) {
  visibleSelection_ = value;
  Update();
}

void TDadirAvMView::SetSelectionWidth(Integer value) {
  selectionWidth_ = std::max(value, 0);
  Update();
}

void TDadirAvMView::SetSelectionColor(TColor value) {
  selectionColor_ = value;
  Update();
}

void TDadirAvMView::SetSelectionStyle(TIESStyle value) {
  selectionStyle_ = value;
  Update();
}

void TDadirAvMView::SetEnableMultiSelect(bool value) {
  if (value == enableMultiSelect_) return;
  enableMultiSelect_ = value;
  Update();
}

void TDadirAvMView::SetWallPaper(TPicture* picture) {
  wallPaper_->Assign(picture);
  Update();
}

void TDadirAvMView::SetThreadPoolSize(Integer value) {
  {
    ThreadLock lock;
    threadPoolSize_ = std::max(value, 0);
  }
  WakeStarter();
}

void TDadirAvMView::SetBackGround(TColor value) {
  TIEView::SetBackGround(value);
  Update();
}

TBitmap* TDadirAvMView::GetFBitmap() { return selectedIdx_ >= 0 ? selectedBitmap_ : nullptr; }

// --- Layout ----------------------------------------------------------------------------------

Integer TDadirAvMView::Columns() {
  if (gridWidth_ != -1) return gridWidth_;
  return (GetClientWidth() - horizBorder_) / (horizBorder_ + thumbWidth_);
}

void TDadirAvMView::UpdateCoords() {
  const Integer c = Columns();
  ThreadLock lock;
  const bool grid = displayMode_ == mdGrid;
  Integer i = 0, r = 0, maxX = 0, maxY = 0;
  for (TIEImageInfo* info : images_) {
    info->X = i * (thumbWidth_ + horizBorder_) + (grid ? horizBorder_ : 0);
    info->Y = r * (thumbHeight_ + vertBorder_) + (grid ? vertBorder_ : 0);
    info->Row = r;
    info->Col = i;
    maxX = std::max(maxX, info->X);
    maxY = std::max(maxY, info->Y);
    ++i;
    if (!grid) {
      i = 0;  // every image at 0, 0
    } else if (i == c) {
      i = 0;
      ++r;
    }
  }
  contentWidth_ = maxX + thumbWidth_ + horizBorder_;
  contentHeight_ = maxY + thumbHeight_ + vertBorder_;
}

Integer TDadirAvMView::GetMaximumViewX() {
  return std::max(contentWidth_ - GetClientWidth(), 0);
}

Integer TDadirAvMView::GetMaximumViewY() {
  return std::max(contentHeight_ - GetClientHeight(), 0);
}

void TDadirAvMView::Update() {
  if (paintLock_ > 0 || updating_ || destroying_) return;
  const TComponentState state = GetComponentState();
  if (state.Contains(csLoading) || state.Contains(csReading) || state.Contains(csDestroying)) return;
  if (GetParent() == nullptr && GetParentWindow() == 0) return;
  if (state.Contains(csDesigning)) {
    Invalidate();
    return;
  }
  updating_ = true;
  ClearCache();
  UpdateCoords();
  lastUpdatePasses_ = 0;
  for (Integer pass = 0; pass < 9; ++pass) {
    ++lastUpdatePasses_;
    const Integer clientW = GetClientWidth();
    const Integer clientH = GetClientHeight();
    // A new client width moves the cells when the columns follow it.
    UpdateCoords();
    const Integer maxX = GetMaximumViewX();
    const Integer maxY = GetMaximumViewY();
    bool lowered = false;
    if (viewX_ > maxX) {
      viewX_ = maxX;
      lowered = true;
    }
    if (viewY_ > maxY) {
      viewY_ = maxY;
      lowered = true;
    }
    if (lowered) ViewChange(0);
    try {
      if (HandleAllocated()) {
        if (scrollBars_ == TScrollStyle::ssHorizontal || scrollBars_ == TScrollStyle::ssBoth)
          SetupScrollBar(true, maxX, clientW);
        if (scrollBars_ == TScrollStyle::ssVertical || scrollBars_ == TScrollStyle::ssBoth)
          SetupScrollBar(false, maxY, clientH);
      }
    } catch (...) {
      // The layout stands without bars.
    }
    if (GetClientWidth() == clientW && GetClientHeight() == clientH) break;
  }
  CallBitmapChangeEvents();
  updating_ = false;
  Invalidate();
}

void TDadirAvMView::SetupScrollBar(bool horizontal, Integer maxValue, Integer clientExtent) {
  // The grid's factor leaves one pixel out of the content: (client + maximum - 1).
  dadiravview::SetupRangeScrollBar(GetHandle(), horizontal ? SB_HORZ : SB_VERT, maxValue, clientExtent,
                                   horizontal ? viewX_ : viewY_, ScrollBarsAlwaysVisible, -1,
                                   horizontal ? hScrollShown_ : vScrollShown_,
                                   horizontal ? hScrollFactor_ : vScrollFactor_);
}

void TDadirAvMView::AfterOriginMove() {
  Invalidate();
  if (!HandleAllocated()) return;
  if (hScrollShown_ && (scrollBars_ == TScrollStyle::ssHorizontal || scrollBars_ == TScrollStyle::ssBoth))
    SetScrollPos(GetHandle(), SB_HORZ, TruncSat(viewX_ / hScrollFactor_), FALSE);
  if (vScrollShown_ && (scrollBars_ == TScrollStyle::ssVertical || scrollBars_ == TScrollStyle::ssBoth))
    SetScrollPos(GetHandle(), SB_VERT, TruncSat(viewY_ / vScrollFactor_), FALSE);
}

void TDadirAvMView::SetViewX(Integer x) {
  if (x == viewX_) return;
  viewX_ = std::clamp(x, 0, GetMaximumViewX());
  AfterOriginMove();
  ViewChange(0);
}

void TDadirAvMView::SetViewY(Integer y) {
  if (y == viewY_) return;
  viewY_ = std::clamp(y, 0, GetMaximumViewY());
  AfterOriginMove();
  ViewChange(0);
}

void TDadirAvMView::SetViewXY(Integer x, Integer y) {
  if (x == viewX_ && y == viewY_) return;
  viewX_ = std::clamp(x, 0, GetMaximumViewX());
  viewY_ = std::clamp(y, 0, GetMaximumViewY());
  AfterOriginMove();
  ViewChange(0);
}

void TDadirAvMView::ViewChange(Integer change) {
  if (OnViewChange) OnViewChange(this, change);
}

void TDadirAvMView::SetScrollBars(TScrollStyle value) {
  scrollBars_ = value;
  if (HandleAllocated()) {
    if (value == TScrollStyle::ssHorizontal || value == TScrollStyle::ssBoth || value == TScrollStyle::ssNone) {
      ShowScrollBar(GetHandle(), SB_HORZ, FALSE);
      hScrollShown_ = false;
    }
    if (value == TScrollStyle::ssVertical || value == TScrollStyle::ssBoth || value == TScrollStyle::ssNone) {
      ShowScrollBar(GetHandle(), SB_VERT, FALSE);
      vScrollShown_ = false;
    }
  }
  Update();
}

Integer TDadirAvMView::GetImageVisibility(Integer idx) {
  const TIEImageInfo* info = Info(idx);
  if (info == nullptr) return 0;
  const Integer l = info->X - viewX_;
  const Integer t = info->Y - viewY_;
  const Integer r = l + thumbWidth_;
  const Integer b = t + thumbHeight_;
  const Integer cw = GetClientWidth();
  const Integer ch = GetClientHeight();
  if (l >= 0 && t >= 0 && r <= cw && b <= ch) return 2;
  if (r > 0 && b > 0 && l < cw && t < ch) return 1;
  return 0;
}

bool TDadirAvMView::IsVisible(Integer idx) {
  const TIEImageInfo* info = Info(idx);
  if (info == nullptr) return false;
  if (displayMode_ == mdSingle) return idx == std::clamp(visibleFrame_, 0, GetImageCount() - 1);
  return GetImageVisibility(idx) != 0;
}

Integer TDadirAvMView::UnLockPaint() {
  if (paintLock_ > 0) --paintLock_;
  if (paintLock_ == 0) Update();
  return paintLock_;
}

Integer TDadirAvMView::NPUnLockPaint() {
  if (paintLock_ > 0) --paintLock_;
  return paintLock_;
}

// --- Frames ----------------------------------------------------------------------------------

TIEMText* TDadirAvMView::GetImageTopText(Integer idx) const {
  const TIEImageInfo* info = Info(idx);
  return info != nullptr ? info->TopText.get() : nullptr;
}

TIEMText* TDadirAvMView::GetImageBottomText(Integer idx) const {
  const TIEImageInfo* info = Info(idx);
  return info != nullptr ? info->BottomText.get() : nullptr;
}

TIEMText* TDadirAvMView::GetImageInfoText(Integer idx) const {
  const TIEImageInfo* info = Info(idx);
  return info != nullptr ? info->InfoText.get() : nullptr;
}

void TDadirAvMView::StopPlaying() {
  if (!playing_) return;
  playing_ = false;
  if (timer_ != 0 && HandleAllocated()) KillTimer(GetHandle(), 1);
  timer_ = 0;
}

void TDadirAvMView::SetPlaying(bool value) {
  if (value == playing_) return;
  if (value) {
    savedMode_ = displayMode_;
    savedSelected_ = selectedIdx_;
    Deselect();
  }
  playing_ = value;
  PlayFrame();
  if (!value) {
    if (timer_ != 0 && HandleAllocated()) KillTimer(GetHandle(), 1);
    timer_ = 0;
    SetDisplayMode(savedMode_);
    SetSelectedItem(savedSelected_);
  }
}

void TDadirAvMView::PlayFrame() {
  if (inPlayFrame_ || destroying_) return;
  inPlayFrame_ = true;
  if (timer_ != 0) {
    if (HandleAllocated()) KillTimer(GetHandle(), 1);
    timer_ = 0;
  }
  if (playing_) {
    if (displayMode_ != mdSingle) {
      displayMode_ = mdSingle;
      Update();
    }
    if (visibleFrame_ >= GetImageCount()) visibleFrame_ = GetImageCount() - 1;
    if (visibleFrame_ < 0 && GetImageCount() > 0) visibleFrame_ = 0;  // left by an empty grid
    if (visibleFrame_ < 0) {
      inPlayFrame_ = false;
      return;
    }
    const Integer painted = visibleFrame_;
    if (HandleAllocated()) {
      Paint();
      ValidateRect(GetHandle(), nullptr);
    }
    if (visibleFrame_ == GetImageCount() - 1) {
      visibleFrame_ = 0;
      CallBitmapChangeEvents();
      if (!PlayLoop) {
        playing_ = false;
        inPlayFrame_ = false;
        return;
      }
    } else {
      ++visibleFrame_;
    }
    const Integer delay = std::max(GetImageDelayTime(painted), 10);
    if (HandleAllocated()) timer_ = SetTimer(GetHandle(), 1, static_cast<UINT>(delay), nullptr);
  }
  inPlayFrame_ = false;
}

void TDadirAvMView::SetDisplayMode(TIEMDisplayMode mode) {
  if (playing_) {
    savedMode_ = mode;
    return;
  }
  displayMode_ = mode;
  Update();
}

void TDadirAvMView::SetVisibleFrame(Integer idx) {
  if (idx == visibleFrame_ || Info(idx) == nullptr) return;
  if (TransitionEffect == TIETransitionType::iettNone) {
    visibleFrame_ = idx;
    Update();
    return;
  }
  // The frame shown and the next one, each painted at the cell size, then animated
  // from one to the other on the view.
  transition_->SetTransition(TransitionEffect);
  transition_->SetDuration(TransitionDuration);
  transition_->SetSizes(thumbWidth_, thumbHeight_);
  PaintTo(transition_->GetSourceShot()->GetCanvas());
  visibleFrame_ = idx;
  PaintTo(transition_->GetTargetShot()->GetCanvas());
  transition_->Run(true);
}

bool TDadirAvMView::GetTransitionRunning() const { return transition_->GetRunning(); }

void TDadirAvMView::CenterFrame() {
  if (selectedIdx_ < 0) return;
  const TIEImageInfo* info = Info(visibleFrame_);
  if (info == nullptr) return;
  SetViewXY(info->X - (GetClientWidth() - thumbWidth_) / 2, info->Y - (GetClientHeight() - thumbHeight_) / 2);
}

// --- The input/output and processing components ------------------------------------------

TDadirAvMIO* TDadirAvMView::GetDadirAvMIO() {
  if (mio_ == nullptr) {
    mio_ = new TDadirAvMIO(this);  // owned through the component tree
    mio_->SetAttachedMView(this);
    mio_->OnProgress = onProgress_;
  }
  return mio_;
}

TDadirAvProc* TDadirAvMView::GetDadirAvProc() {
  if (proc_ == nullptr) {
    proc_ = new TDadirAvProc(this);  // owned through the component tree
    proc_->SetAttachedDadirAv(this);
    proc_->OnProgress = onProgress_;
  }
  return proc_;
}

void TDadirAvMView::SetOnProgress(TIEProgressEvent value) {
  onProgress_ = std::move(value);
  if (proc_ != nullptr) proc_->OnProgress = onProgress_;
  if (mio_ != nullptr) mio_->OnProgress = onProgress_;
}

// --- Messages --------------------------------------------------------------------------------

namespace {
// Posted by loader threads: the view repaints on its own thread.
constexpr UINT kGridInvalidate = WM_USER + 7001;
}  // namespace

void TDadirAvMView::PostInvalidate() {
  ThreadLock lock;
  if (!destroying_ && HandleAllocated()) PostMessage(GetHandle(), kGridInvalidate, 0, 0);
}

void TDadirAvMView::Dispatch(TMessage& message) {
  switch (message.Msg) {
    case WM_ERASEBKGND:
      message.Result = 0;
      return;
    case WM_SIZE:
      TIEView::Dispatch(message);
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
    case WM_MOUSEWHEEL: {
      TIEView::Dispatch(message);
      const auto delta = static_cast<int16_t>((message.WParam >> 16) & 0xFFFF);
      const Integer pitch = thumbHeight_ + vertBorder_;
      SetViewY(delta > 0 ? viewY_ - pitch : viewY_ + pitch);
      return;
    }
    case WM_LBUTTONDBLCLK:
      dblClick_ = true;
      TIEView::Dispatch(message);
      return;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      TIEView::Dispatch(message);
      Invalidate();
      return;
    case CM_WANTSPECIALKEY:
      if (message.WParam >= 33 && message.WParam <= 40) {
        message.Result = 1;
        return;
      }
      TIEView::Dispatch(message);
      return;
    case WM_TIMER:
      PlayFrame();
      return;
    case kGridInvalidate:
      Invalidate();
      return;
    default:
      TIEView::Dispatch(message);
  }
}

void TDadirAvMView::ScrollMessage(bool horizontal, WPARAM request) {
  TIEScrollBarParams* params = horizontal ? hScrollParams_.get() : vScrollParams_.get();
  const Integer origin = horizontal ? viewX_ : viewY_;
  const Integer client = horizontal ? GetClientWidth() : GetClientHeight();
  const double factor = horizontal ? hScrollFactor_ : vScrollFactor_;
  const Integer cell = horizontal ? thumbWidth_ + horizBorder_ : thumbHeight_ + vertBorder_;
  const WPARAM code = request & 0xFFFF;
  const auto position = static_cast<Integer>((request >> 16) & 0xFFFF);
  const Integer line = params->LineStep == -1 ? cell : params->LineStep;
  const Integer page = params->PageStep == -1 ? client : params->PageStep;
  Integer next = origin;
  switch (code) {
    case SB_LINEUP: next = origin - line; break;
    case SB_LINEDOWN: next = origin + line; break;
    case SB_PAGEUP: next = origin - page; break;
    case SB_PAGEDOWN: next = origin + page; break;
    case SB_THUMBPOSITION: next = TruncSat(position * factor); break;
    case SB_THUMBTRACK:
      if (params->Tracking) next = TruncSat(position * factor);
      break;
    case SB_TOP: next = 0; break;
    case SB_BOTTOM: next = horizontal ? GetMaximumViewX() : GetMaximumViewY(); break;
    default: break;
  }
  if (horizontal)
    SetViewX(next);
  else
    SetViewY(next);
}
