// TDadirAvProc: building a Fourier transform of the image and putting the inverse
// transform or the spectrum back.
#include "image/model/iebitmap.h"
#include "image/proc/dadiravproc.h"
#include "image/proc/iefft.h"

std::unique_ptr<TIEFtImage> TDadirAvProc::FTCreateImage(TIEFtImageType imageType, Integer newWidth,
                                                        Integer newHeight) {
  if (!PrepareStore() || ieBitmap_->GetPixelFormat() != ie24RGB) return nullptr;
  const Integer width = ieBitmap_->GetWidth(), height = ieBitmap_->GetHeight();
  if (width <= 0 || height <= 0) return nullptr;
  auto ft = std::make_unique<TIEFtImage>();
  ft->OnProgress = OnProgress;
  if (newWidth < 0 && newHeight < 0) {
    if (!ft->BuildFT(ieBitmap_, imageType)) return nullptr;
    return ft;
  }
  Int64 w = newWidth, h = newHeight;
  if (w < 0) w = h * width / height;
  if (h < 0) h = w * height / width;
  if (w < 1 || h < 1 || w > TIEFtImage::kMaxSize || h > TIEFtImage::kMaxSize) return nullptr;
  TIEBitmap copy;
  copy.SetLocation(ieMemory);
  copy.Allocate(static_cast<Integer>(w), static_cast<Integer>(h), ie24RGB);
  _IEBmpStretchEx(ieBitmap_, &copy);
  if (!ft->BuildFT(&copy, imageType)) return nullptr;
  return ft;
}

void TDadirAvProc::FTConvertFrom(TIEFtImage* ft) {
  if (ft == nullptr || !ft->HasPlanes() || !PrepareStore()) return;
  ft->BuildBitmap(ieBitmap_);
  Update();
}

void TDadirAvProc::FTDisplayFrom(TIEFtImage* ft) {
  if (ft == nullptr || !ft->HasPlanes() || !PrepareStore()) return;
  ft->GetFTImage(ieBitmap_);
  Update();
}
