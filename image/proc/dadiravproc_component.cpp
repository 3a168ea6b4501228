// TDadirAvProc: construction and attachment to framework bitmaps and pixel stores.
#include "image/model/iebitmap.h"
#include "image/proc/dadiravproc.h"
#include "image/views/dadiravview.h"

TDadirAvProc::TDadirAvProc(TComponent* owner)
    : TComponent(owner), TIEViewAttachment(this), previewFont_(std::make_unique<TFont>()),
      ownedStore_(std::make_unique<TIEBitmap>()) {
  ieBitmap_ = ownedStore_.get();
}

TDadirAvProc::~TDadirAvProc() {
  RemoveViewListener();
  ClearAllUndo();
  ClearAllRedo();
}

void TDadirAvProc::SetPreviewFont(TFont* font) {
  if (font != nullptr) previewFont_->Assign(font);
}

void TDadirAvProc::ReplaceStore(TIEBitmap* borrowed) {
  // The owned store goes last, so that a borrowed store is never left pointing at it.
  ieBitmap_ = borrowed;
  ownedStore_.reset();
}

void TDadirAvProc::SetIEBitmap(TIEBitmap* bitmap) {
  attachedBitmap_ = nullptr;
  ReplaceStore(bitmap);
}

void TDadirAvProc::SetAttachedIEBitmap(TIEBitmap* bitmap) {
  RemoveViewListener();
  if (bitmap == nullptr && view_ != nullptr) return;
  SetIEBitmap(bitmap);
  if (bitmap != nullptr) view_ = nullptr;
}

void TDadirAvProc::SetAttachedDadirAv(TIEView* view) {
  LeaveViewFor(view);
  if (view == nullptr) {
    if (ieBitmap_ != nullptr) ieBitmap_->FreeImage();
    return;
  }
  if (TIEBitmap* store = view->GetIEBitmap()) {
    SetIEBitmap(store);
  } else {
    SetAttachedBitmap(view->GetFBitmap());
    view_ = view;
  }
  ListenToView();
}

void TDadirAvProc::ViewStoreReplaced() {
  if (ownedStore_ && view_->GetIEBitmap() == nullptr) {
    attachedBitmap_ = view_->GetFBitmap();
    ieBitmap_->EncapsulateTBitmap(attachedBitmap_, true);
    return;
  }
  if (TIEBitmap* store = view_->GetIEBitmap()) SetIEBitmap(store);
}

void TDadirAvProc::Notification(TComponent* component, TOperation operation) {
  TComponent::Notification(component, operation);
  if (ForgetRemovedView(component, operation)) {
    ieBitmap_ = ownedStore_.get();
  }
}

void TDadirAvProc::SetAttachedBitmap(TBitmap* bitmap) {
  RemoveViewListener();
  if (bitmap == nullptr && view_ != nullptr) return;
  if (bitmap != nullptr) view_ = nullptr;
  // A borrowed store belongs to its caller: wrapping a bitmap in it would throw the
  // caller's pixels away, so the bitmap gets a store of the component's own.
  if (!ownedStore_) {
    if (bitmap == nullptr) {
      attachedBitmap_ = nullptr;
      return;
    }
    ownedStore_ = std::make_unique<TIEBitmap>();
    ieBitmap_ = ownedStore_.get();
  }
  attachedBitmap_ = bitmap;
  ieBitmap_->EncapsulateTBitmap(bitmap, true);
}

void TDadirAvProc::Rewrap() {
  if (attachedBitmap_ != nullptr && ieBitmap_ != nullptr)
    ieBitmap_->EncapsulateTBitmap(attachedBitmap_, false);
}

void TDadirAvProc::Update() {
  if (view_ != nullptr) {
    view_->Update();
    view_->ImageChange();
    return;
  }
  if (attachedBitmap_ != nullptr) attachedBitmap_->SetModified(true);
}

bool TDadirAvProc::GetReSel(Integer& x1, Integer& y1, Integer& x2, Integer& y2, POINT*& polySel,
                            Integer& polySelCount, TIEMask*& mask) {
  Rewrap();
  polySel = nullptr;
  polySelCount = 0;
  mask = nullptr;
  x1 = 0;
  y1 = 0;
  x2 = ieBitmap_ != nullptr ? ieBitmap_->GetWidth() : 0;
  y2 = ieBitmap_ != nullptr ? ieBitmap_->GetHeight() : 0;
  auto* view = dynamic_cast<TDadirAvView*>(view_);
  if (view == nullptr) return false;
  mask = view->GetSelectionMask();
  if (!view->GetSelected()) return false;
  if (mask == nullptr || mask->IsEmpty()) return true;
  x1 = mask->GetX1();
  y1 = mask->GetY1();
  x2 = mask->GetX2() + 1;
  y2 = mask->GetY2() + 1;
  polySel = view->GetPolySelArray();
  polySelCount = view->GetPolySelCount();
  return true;
}
