// TDadirAvProc: opening the processing preview dialog on the selection's box and
// writing its result back.
#include "image/model/iebitmap.h"
#include "image/model/iemask.h"
#include "image/proc/dadiravproc.h"
#include "image/proc/previews.h"
#include "image/views/dadiravview.h"

bool TDadirAvProc::DoPreviews(TPreviewEffects effects) {
  // The view does not paint while the dialog works on its copy.
  TIEView* view = view_;
  if (view != nullptr) view->LockPaint();
  struct Unlock {
    TIEView* v;
    ~Unlock() {
      if (v != nullptr) v->UnLockPaint();
    }
  } unlock{view};
  if (!PrepareStore() || ieBitmap_->GetPixelFormat() != ie24RGB) return false;
  if (!(ieBitmap_->GetWidth() > 1 || ieBitmap_->GetHeight() > 1)) return false;
  Integer x1 = 0, y1 = 0, x2 = 0, y2 = 0, polyCount = 0;
  POINT* poly = nullptr;
  TIEMask* mask = nullptr;
  GetReSel(x1, y1, x2, y2, poly, polyCount, mask);
  const bool masked = mask != nullptr && !mask->IsEmpty();
  if (!masked) {
    x1 = y1 = 0;
    x2 = ieBitmap_->GetWidth();
    y2 = ieBitmap_->GetHeight();
  }
  auto dialog = std::make_unique<TfPreviews>(this);
  TPreviewsLogic& logic = dialog->Logic();
  logic.LockPreviewDefault = previewsParams_.Contains(prppDefaultLockPreview);
  dialog->SetLanguage(msgLanguage_);
  if (previewFont_) dialog->GetFont()->Assign(previewFont_.get());
  logic.OnProgress = OnProgress;
  logic.ProgressSender = this;
  dialog->SetViewsBackground(GetReBackground());
  dialog->InitialFolder = "";
  TIEBitmap* source = dialog->DadirAv1->GetIEBitmap();
  source->Allocate(x2 - x1, y2 - y1, ie24RGB);
  ieBitmap_->CopyRectTo(source, x1, y1, 0, 0, x2 - x1, y2 - y1);
  dialog->DadirAv1->Update();
  logic.Effects = effects;
  logic.OpenOnPage = 0;
  if (OnPreview) OnPreview(this, dialog.get());
  if (dialog->ShowModal() != 1) return false;
  if (autoUndo_) SaveUndoCaptioned("Previews", ieuImage);
  TIEBitmap* result = dialog->DadirAv1->GetIEBitmap();
  if (!masked) {
    // The adjustment may change the size (a rotation).
    if (result->GetWidth() != ieBitmap_->GetWidth() || result->GetHeight() != ieBitmap_->GetHeight())
      ieBitmap_->Allocate(result->GetWidth(), result->GetHeight(), ie24RGB);
    result->CopyRectTo(ieBitmap_, 0, 0, x1, y1, result->GetWidth(), result->GetHeight());
  } else {
    mask->CopyIEBitmap(ieBitmap_, result, false, true);
  }
  Update();
  return true;
}
