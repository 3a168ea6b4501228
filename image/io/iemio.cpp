// TDadirAvMIO: the parameter list kept in step with the grid, and GIF and TIFF runs
// of images in and out.
#include "image/io/iemio.h"

#include <algorithm>

#include "image/formats/giffilter.h"
#include "image/formats/giffilter_edit.h"
#include "image/formats/tiffilt.h"
#include "image/io/dadiravio_files.h"
#include "image/proc/dadiravproc_basic.h"
#include "image/proc/dadiravproc_resample.h"
#include "image/views/iemview.h"
#include "platform/rtl/Files.h"
#include "platform/rtl/Strings.h"

namespace {

// The grid's background loads fill parameter entries under the library lock: the
// list changes under it too.
struct ListLock {
  ListLock() { EnterCriticalSection(&gThreadCS); }
  ~ListLock() { LeaveCriticalSection(&gThreadCS); }
  ListLock(const ListLock&) = delete;
  ListLock& operator=(const ListLock&) = delete;
};

}  // namespace

TDadirAvMIO::TDadirAvMIO(TComponent* owner)
    : TComponent(owner),
      previewFont_(std::make_unique<TFont>()),
      twainParams_(std::make_unique<TIETWainParams>(this)) {}

TDadirAvMIO::~TDadirAvMIO() {
  // An open acquisition would deliver pages to a component that is gone.
  AcquireClose();
  LeaveView();
  ListLock lock;
  params_.clear();
}

void TDadirAvMIO::LeaveView() {
  if (view_ == nullptr) return;
  view_->RemoveBitmapChangeEvent(listener_);
  listener_ = -1;
  view_->RemoveFreeNotification(this);
  view_ = nullptr;
}

void TDadirAvMIO::SetAttachedMView(TDadirAvMView* view) {
  if (view == view_) return;
  LeaveView();
  view_ = view;
  if (view_ == nullptr) return;
  view_->FreeNotification(this);
  // An operation the grid recorded before: nobody followed it, and the entries are
  // made below.
  (void)view_->GetLastOp();
  listener_ = view_->RegisterBitmapChangeEvent(
      [this](TObject* sender, bool destroying) { OnBitmapChange(sender, destroying); });
  while (GetParamsCount() < view_->GetImageCount()) InsertIOParam(GetParamsCount());
}

void TDadirAvMIO::Notification(TComponent* component, TOperation operation) {
  TComponent::Notification(component, operation);
  if (operation == TOperation::opRemove && component == view_) {
    view_->RemoveBitmapChangeEvent(listener_);
    listener_ = -1;
    view_ = nullptr;
  }
}

void TDadirAvMIO::OnBitmapChange(TObject*, bool destroying) {
  if (destroying) {
    // The grid forgets its listeners itself as it goes.
    listener_ = -1;
    view_ = nullptr;
    return;
  }
  if (view_ == nullptr) return;
  ListLock lock;
  const Integer op = view_->GetLastOp();
  const Integer idx = view_->GetLastOpIdx();
  if (op == kIELastOpInsert) {
    InsertIOParam(idx);
  } else if (op == kIELastOpDelete) {
    RemoveIOParam(idx);
  } else if (op == kIELastOpMove) {
    // The entry travels with its image, so a save writes every image with its own
    // parameters.
    const Integer from = view_->GetLastOpParam();
    if (from >= 0 && from < GetParamsCount() && idx >= 0) {
      auto entry = std::move(params_[static_cast<size_t>(from)]);
      params_.erase(params_.begin() + from);
      params_.insert(params_.begin() + std::min<Integer>(idx, GetParamsCount()), std::move(entry));
      Renumber();
    }
  } else if (view_->GetImageCount() == 0 && !params_.empty()) {
    // Emptied all at once (Clear records no operation).
    params_.clear();
  }
}

void TDadirAvMIO::Renumber(Integer from) {
  // Entries before from kept their places: a grid of many images grows by appends
  // without going over every entry each time.
  for (size_t i = static_cast<size_t>(std::max<Integer>(from, 0)); i < params_.size(); ++i) {
    params_[i]->GIF_ImageIndex = static_cast<Integer>(i);
    params_[i]->TIFF_ImageIndex = static_cast<Integer>(i);
  }
}

TIOParamsVals* TDadirAvMIO::GetParams(Integer index) const {
  if (index < 0 || index >= GetParamsCount()) return nullptr;
  return params_[static_cast<size_t>(index)].get();
}

void TDadirAvMIO::InsertIOParam(Integer index) {
  ListLock lock;
  auto entry = std::make_unique<TIOParamsVals>(nullptr);
  if (index < 0) index = 0;
  if (!params_.empty()) entry->Assign(params_[static_cast<size_t>(std::min(index, GetParamsCount() - 1))].get());
  if (index >= GetParamsCount()) {
    params_.push_back(std::move(entry));
    index = GetParamsCount() - 1;
  } else {
    params_.insert(params_.begin() + index, std::move(entry));
  }
  Renumber(index);
}

void TDadirAvMIO::RemoveIOParam(Integer index) {
  ListLock lock;
  if (index < 0 || index >= GetParamsCount()) return;
  params_.erase(params_.begin() + index);
  Renumber(index);
}

void TDadirAvMIO::DuplicateCompressionInfo() {
  for (size_t i = 1; i < params_.size(); ++i) params_[i]->AssignCompressionInfo(params_[0].get());
}

void TDadirAvMIO::Update() {
  if (view_ == nullptr) return;
  view_->Update();
  view_->ImageChange();
}

Integer TDadirAvMIO::InsertionPoint() const {
  const Integer selected = view_->GetSelectedItem();
  return selected < 0 ? 0 : selected;
}

void TDadirAvMIO::Progress(Integer per) {
  if (OnProgress) OnProgress(this, per);
}

std::unique_ptr<TIEBitmap> TDadirAvMIO::AdjustDPI(TIEBitmap* bitmap, TIOParamsVals& params) const {
  const Integer w = bitmap->GetWidth(), h = bitmap->GetHeight();
  const Integer x = params.DpiX, y = params.DpiY;
  if (x == y || x <= 0 || y <= 0 || w <= 0 || h <= 0) return nullptr;
  Integer newW = w, newH = h;
  if (h < w) {
    newH = static_cast<Integer>(static_cast<double>(h) / y * x);
    params.DpiY = x;
    params.Height = newH;
  } else {
    newW = static_cast<Integer>(static_cast<double>(w) / x * y);
    params.DpiX = y;
    params.Width = newW;
  }
  if (newW <= 0 || newH <= 0) return nullptr;
  auto adjusted = std::make_unique<TIEBitmap>();
  if (FilteredAdjustDPI) {
    if (bitmap->GetPixelFormat() != ie24RGB) bitmap->ConvertToPixelFormat(ie24RGB);
    adjusted->Allocate(newW, newH, ie24RGB);
    _ResampleEx(bitmap, adjusted.get(), rfFastLinear);
  } else {
    adjusted->Allocate(newW, newH, bitmap->GetPixelFormat());
    _IEBmpStretchEx(bitmap, adjusted.get());
  }
  return adjusted;
}

// ---------------------------------------------------------------------------
// Loading

void TDadirAvMIO::LoadStream(Multi kind, TStream* stream) {
  if (kind == Multi::Tiff) aborting_ = false;
  if (view_ == nullptr) return;
  aborting_ = false;
  TProgressRec progress;
  progress.Aborting = &aborting_;
  const Int64 start = stream->GetPosition();
  Integer lastDelay = 10;
  Integer count = 0;
  Integer i = 0;
  Integer idx = InsertionPoint();
  do {
    idx = view_->InsertImageEx(idx);
    TIOParamsVals* p = GetParams(idx);
    if (p == nullptr) {  // the list lost step with the grid: nothing to fill
      view_->DeleteImage(idx);
      aborting_ = true;
      break;
    }
    auto bitmap = std::make_unique<TIEBitmap>();
    stream->SetPosition(start);
    std::unique_ptr<TIEMask> noMask;
    if (kind == Multi::Gif) {
      p->GIF_ImageIndex = i;
      ReadGifStream(stream, bitmap.get(), count, *p, progress, false, noMask, true);
    } else {
      p->TIFF_ImageIndex = i;
      TIFFReadStream(bitmap.get(), stream, count, p, progress, false, noMask, true, true);
    }
    if (AutoAdjustDPI && !aborting_)
      if (auto adjusted = AdjustDPI(bitmap.get(), *p)) bitmap = std::move(adjusted);
    p->GIF_ImageIndex = idx;
    p->TIFF_ImageIndex = idx;
    p->FileType = kind == Multi::Gif ? 2 : 1;
    p->FileName.clear();
    if (aborting_) {
      view_->DeleteImage(idx);
      break;
    }
    if (count > 0) {
      view_->SetIEBitmapEx(idx, bitmap.get());
      if (kind == Multi::Gif) {
        view_->SetImageBackground(idx, TRGB2TColor(p->GIF_Background));
        if (p->GIF_DelayTime > 0) lastDelay = p->GIF_DelayTime * 10;
        view_->SetImageDelayTime(idx, lastDelay);
      } else {
        view_->SetImageDelayTime(idx, 100);
      }
    } else {
      view_->DeleteImage(idx);
    }
    bitmap.reset();
    Progress(count > 0 ? static_cast<Integer>(Int64{i} * 100 / count) : 0);
    if (aborting_) break;
    ++i;
    ++idx;
  } while (i < count);
  Update();
}

void TDadirAvMIO::LoadFromStreamGif(TStream* Stream) { LoadStream(Multi::Gif, Stream); }
void TDadirAvMIO::LoadFromStreamTIFF(TStream* Stream) { LoadStream(Multi::Tiff, Stream); }

void TDadirAvMIO::LoadFromFileGif(const AnsiString& FileName) {
  aborting_ = false;
  TFileStream stream(FileName, fmOpenRead | fmShareDenyWrite);
  LoadFromStreamGif(&stream);
}

void TDadirAvMIO::LoadFromFileTIFF(const AnsiString& FileName) {
  aborting_ = false;
  TFileStream stream(FileName, fmOpenRead | fmShareDenyWrite);
  LoadFromStreamTIFF(&stream);
}

// ---------------------------------------------------------------------------
// Saving

void TDadirAvMIO::SaveStream(Multi kind, TStream* stream, Integer* screenW, Integer* screenH) {
  aborting_ = false;
  if (view_ == nullptr || view_->GetImageCount() == 0) return;
  TProgressRec progress;
  progress.Aborting = &aborting_;
  const Int64 start = stream->GetPosition();
  TIEBitmap work;
  const Integer count = view_->GetImageCount();
  for (Integer idx = 0; idx < count; ++idx) {
    TIOParamsVals* p = GetParams(idx);
    if (p == nullptr) {
      aborting_ = true;
      break;
    }
    stream->SetPosition(start);
    if (!view_->CopyToIEBitmap(idx, &work)) {
      aborting_ = true;
      break;
    }
    work.SetDefaultDitherMethod(DefaultDitherMethod);
    if (screenW != nullptr) *screenW = std::max(*screenW, work.GetWidth() + p->GIF_XPos);
    if (screenH != nullptr) *screenH = std::max(*screenH, work.GetHeight() + p->GIF_YPos);
    if (kind == Multi::Gif) {
      if (idx == 0)
        WriteGifStream(stream, &work, *p, progress);
      else
        _InsertGifImStream(stream, &work, *p, progress);
    } else {
      TIFFWriteStream(stream, idx > 0, &work, *p, progress);
    }
    Progress(static_cast<Integer>(Int64{idx} * 100 / count));
    if (aborting_) break;
  }
}

void TDadirAvMIO::SaveToStreamGif(TStream* Stream) { SaveStream(Multi::Gif, Stream); }
void TDadirAvMIO::SaveToStreamTIFF(TStream* Stream) { SaveStream(Multi::Tiff, Stream); }

void TDadirAvMIO::SaveFile(Multi kind, const AnsiString& fileName) {
  aborting_ = false;
  // Nothing to write: no file is made.
  if (view_ == nullptr || view_->GetImageCount() == 0) return;
  IEReplacingFile target(fileName);
  Integer screenW = 0, screenH = 0;
  SaveStream(kind, target.Stream(), &screenW, &screenH);
  if (aborting_) return;  // the temporary file goes, the target stays as it was
  if (kind == Multi::Gif) {
    // The logical screen holds every frame at its place.
    target.Close();
    _GifMakeAnimate(target.TempName(), 0, std::min(screenW, 65535), std::min(screenH, 65535));
  }
  if (!target.Commit()) aborting_ = true;
}

void TDadirAvMIO::SaveToFileGif(const AnsiString& FileName) { SaveFile(Multi::Gif, FileName); }
void TDadirAvMIO::SaveToFileTIFF(const AnsiString& FileName) { SaveFile(Multi::Tiff, FileName); }

// ---------------------------------------------------------------------------
// By extension

void TDadirAvMIO::LoadFromFile(const AnsiString& FileName) {
  aborting_ = false;
  const AnsiString ext = LowerCase(ExtractFileExt(FileName));
  if (ext == ".gif")
    LoadFromFileGif(FileName);
  else if (ext == ".tif" || ext == ".tiff")
    LoadFromFileTIFF(FileName);
  else if (ext == ".avi")
    LoadFromFileAVI(FileName);
  else
    aborting_ = true;  // a format this component does not read
}

void TDadirAvMIO::SaveToFile(const AnsiString& FileName) {
  aborting_ = false;
  const AnsiString ext = LowerCase(ExtractFileExt(FileName));
  if (ext == ".gif")
    SaveToFileGif(FileName);
  else if (ext == ".tif" || ext == ".tiff")
    SaveToFileTIFF(FileName);
  else if (ext == ".avi")
    SaveToFileAVI(FileName);
  else
    aborting_ = true;  // a format this component does not write
}
