// TDadirAvProc: construction and attachment to framework bitmaps and pixel stores.
#include "image/model/iebitmap.h"
#include "image/proc/dadiravproc.h"

TDadirAvProc::TDadirAvProc(TComponent* owner)
    : TComponent(owner), previewFont_(std::make_unique<TFont>()),
      ownedStore_(std::make_unique<TIEBitmap>()) {
  ieBitmap_ = ownedStore_.get();
}

TDadirAvProc::~TDadirAvProc() {
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

void TDadirAvProc::SetAttachedIEBitmap(TIEBitmap* bitmap) { SetIEBitmap(bitmap); }

void TDadirAvProc::SetAttachedBitmap(TBitmap* bitmap) {
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
  return false;
}
