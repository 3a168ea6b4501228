// TDadirAvProc: the operation frame and the operations over the geometry, histogram
// and black-and-white workers.
#include <algorithm>

#include "image/model/iebitmap.h"
#include "image/model/iemask.h"
#include "image/proc/dadiravproc.h"
#include "image/proc/dadiravproc_internal.h"
#include "platform/rtl/Strings.h"

namespace {

bool HasMask(const TIEMask* mask) { return mask != nullptr && !mask->IsEmpty(); }

// A copy of the mask's box of bitmap, in its pixel format (palette included).
std::unique_ptr<TIEBitmap> CopyBox(TIEBitmap* bitmap, const TIEMask* mask) {
  const Integer width = mask->GetX2() - mask->GetX1() + 1;
  const Integer height = mask->GetY2() - mask->GetY1() + 1;
  auto box = std::make_unique<TIEBitmap>();
  box->Allocate(width, height, bitmap->GetPixelFormat());
  for (Integer i = 0; i < std::min(bitmap->GetPaletteCount(), box->GetPaletteCount()); ++i)
    box->SetPalette(i, bitmap->GetPalette(i));
  bitmap->CopyRectTo(box.get(), mask->GetX1(), mask->GetY1(), 0, 0, width, height);
  return box;
}

}  // namespace

bool TDadirAvProc::PrepareStore() {
  if (ieBitmap_ == nullptr) return false;
  Rewrap();
  return true;
}

TProgressRec TDadirAvProc::MakeProgressRec() {
  TProgressRec rec;
  rec.OnProgress = OnProgress;
  rec.Sender = this;
  return rec;
}

bool TDadirAvProc::RunFrame(const AnsiString& caption, bool only24, const TRectWorker& worker) {
  if (!PrepareStore()) return false;
  if (only24 && ieBitmap_->GetPixelFormat() != ie24RGB) return false;
  if (autoUndo_) SaveUndoCaptioned(caption, ieuImage);
  Integer x1 = 0, y1 = 0, x2 = 0, y2 = 0, polyCount = 0;
  POINT* poly = nullptr;
  TIEMask* mask = nullptr;
  GetReSel(x1, y1, x2, y2, poly, polyCount, mask);
  if (!HasMask(mask)) {
    worker(ieBitmap_, 0, 0, ieBitmap_->GetWidth(), ieBitmap_->GetHeight());
  } else {
    // The worker sees only the box; the mask decides which of its pixels go back.
    auto box = CopyBox(ieBitmap_, mask);
    worker(box.get(), 0, 0, box->GetWidth(), box->GetHeight());
    mask->CopyIEBitmap(ieBitmap_, box.get(), false, true);
  }
  Update();
  return true;
}

void TDadirAvProc::Flip(TFlipDir dir) {
  if (!PrepareStore()) return;
  _FlipEx(ieBitmap_, dir);
  Update();
}

void TDadirAvProc::ImageResize(Integer newWidth, Integer newHeight, TIEHAlign horizontal,
                               TIEVAlign vertical) {
  if (!PrepareStore()) return;
  if (newWidth == 0 || newHeight == 0) return;
  if (autoUndo_)
    SaveUndoCaptioned("ImageResize " + IntToStr(newWidth) + "," + IntToStr(newHeight), ieuImage);
  ieBitmap_->Resize(newWidth, newHeight, GetReBackground(), 255, horizontal, vertical);
  Update();
}

void TDadirAvProc::HistAutoEqualize() {
  RunFrame("HistAutoEqualize", true,
           [this](TIEBitmap* bitmap, Integer x1, Integer y1, Integer x2, Integer y2) {
             _HistAutoEqualize(bitmap, x1, y1, x2, y2, OnProgress, this);
           });
}

void TDadirAvProc::HistEqualize(TRGB lowLimit, TRGB highLimit) {
  RunFrame("HistEqualize", true,
           [this, lowLimit, highLimit](TIEBitmap* bitmap, Integer x1, Integer y1, Integer x2,
                                       Integer y2) {
             _HistEqualize(bitmap, lowLimit, highLimit, x1, y1, x2, y2, OnProgress, this);
           });
}

void TDadirAvProc::GetHistogram(PHistogram hist) {
  if (!PrepareStore() || ieBitmap_->GetPixelFormat() != ie24RGB) return;
  Integer x1 = 0, y1 = 0, x2 = 0, y2 = 0, polyCount = 0;
  POINT* poly = nullptr;
  TIEMask* mask = nullptr;
  GetReSel(x1, y1, x2, y2, poly, polyCount, mask);
  _GetHistogram(ieBitmap_, hist, x1, y1, x2, y2);
}

Integer TDadirAvProc::CalcImageNumColors() {
  if (!PrepareStore()) return 0;
  if (ieBitmap_->GetPixelFormat() == ie1g) return 2;
  if (ieBitmap_->GetPixelFormat() != ie24RGB) return 0;
  Integer x1 = 0, y1 = 0, x2 = 0, y2 = 0, polyCount = 0;
  POINT* poly = nullptr;
  TIEMask* mask = nullptr;
  GetReSel(x1, y1, x2, y2, poly, polyCount, mask);
  return _GetImageNumColors(ieBitmap_, x1, y1, x2, y2);
}

void TDadirAvProc::CalcDensityHistogram(Integer* rowDensity, Integer* columnDensity,
                                        Integer rowScale, Integer columnScale) {
  if (!PrepareStore()) return;
  const TIEPixelFormat format = ieBitmap_->GetPixelFormat();
  if (format != ie24RGB && format != ie1g) return;
  Integer x1 = 0, y1 = 0, x2 = 0, y2 = 0, polyCount = 0;
  POINT* poly = nullptr;
  TIEMask* mask = nullptr;
  GetReSel(x1, y1, x2, y2, poly, polyCount, mask);
  if (!HasMask(mask)) {
    _CalcDensityHistogram(ieBitmap_, x1, y1, x2, y2, OnProgress, this, rowDensity, columnDensity,
                          rowScale, columnScale);
    return;
  }
  auto box = CopyBox(ieBitmap_, mask);
  _CalcDensityHistogram(box.get(), 0, 0, box->GetWidth(), box->GetHeight(), OnProgress, this,
                        rowDensity, columnDensity, rowScale, columnScale);
}

std::unique_ptr<TIEBitmap> TDadirAvProc::GetRGBChannel(Integer channel) {
  if (!PrepareStore()) return nullptr;
  return _GetRGBChannel(ieBitmap_, channel, OnProgress, this);
}

std::unique_ptr<TIEBitmap> TDadirAvProc::GetHSVChannel(Integer channel) {
  if (!PrepareStore()) return nullptr;
  return _GetHSVChannel(ieBitmap_, channel, OnProgress, this);
}

void TDadirAvProc::GetRGBChannelAll(TIEBitmap* r, TIEBitmap* g, TIEBitmap* b) {
  if (!PrepareStore()) return;
  _GetRGBChannelAll(ieBitmap_, r, g, b, OnProgress, this);
}

void TDadirAvProc::GetHSVChannelAll(TIEBitmap* h, TIEBitmap* s, TIEBitmap* v) {
  if (!PrepareStore()) return;
  _GetHSVChannelAll(ieBitmap_, h, s, v, OnProgress, this);
}

void TDadirAvProc::ConvertToBWOrdered() {
  if (!PrepareStore() || ieBitmap_->GetPixelFormat() != ie24RGB) return;
  if (autoUndo_) SaveUndoCaptioned("ConvertToBWOrdered", ieuImage);
  TProgressRec progress = MakeProgressRec();
  _ConvertToBWOrdered(ieBitmap_, progress);
  Update();
}

void TDadirAvProc::ConvertToBWThreshold(Integer threshold) {
  if (!PrepareStore() || ieBitmap_->GetPixelFormat() != ie24RGB) return;
  if (autoUndo_) SaveUndoCaptioned("ConvertToBWThreshold " + IntToStr(threshold), ieuImage);
  TProgressRec progress = MakeProgressRec();
  _ConvertToBWThreshold(ieBitmap_, threshold, progress);
  Update();
}

void TDadirAvProc::ConvertTo24Bit() {
  if (!PrepareStore() || ieBitmap_->GetPixelFormat() != ie1g) return;
  if (autoUndo_) SaveUndoCaptioned("ConvertTo24Bit", ieuImage);
  const Integer width = ieBitmap_->GetWidth();
  const Integer height = ieBitmap_->GetHeight();
  TIEBitmap copy;
  copy.Assign(ieBitmap_);
  ieBitmap_->Allocate(width, height, ie24RGB);
  for (Integer y = 0; y < height; ++y) {
    _ConvRow1To24(static_cast<const Byte*>(copy.GetScanLine(y)),
                  static_cast<Byte*>(ieBitmap_->GetScanLine(y)), width);
    dadiravproc_detail::ReportRow(OnProgress, this, y + 1, height);
  }
  Update();
}
