// TDadirAvProc: resampling and free rotation of the whole image.
#include <cmath>
#include <cstdlib>

#include "image/model/iebitmap.h"
#include "image/model/iemask.h"
#include "image/proc/dadiravproc.h"
#include "platform/rtl/Strings.h"

namespace {

// A side of at least 1, computed in 64 bits and limited to what an Integer holds.
Integer SideOf(Int64 value) {
  if (value < 1) return 1;
  if (value > INT32_MAX) return INT32_MAX;
  return static_cast<Integer>(value);
}

bool IsWholeQuarter(double angle) {
  return angle == std::trunc(angle) && std::fmod(angle, 90.0) == 0;
}

}  // namespace

void TDadirAvProc::Resample(Integer newWidth, Integer newHeight, TResampleFilter filter) {
  if (!PrepareStore()) return;
  const Integer width = ieBitmap_->GetWidth();
  const Integer height = ieBitmap_->GetHeight();
  if (width <= 0 || height <= 0) return;
  if (autoUndo_)
    SaveUndoCaptioned("Resample " + IntToStr(newWidth) + "," + IntToStr(newHeight), ieuImage);
  if (newWidth < 0 && newHeight < 0) return;

  Integer w = width;
  if (newWidth == -1)
    w = SideOf(static_cast<Int64>(width) * newHeight / height);
  else if (newWidth != 0)
    w = SideOf(std::llabs(static_cast<Int64>(newWidth)));
  Integer h = height;
  if (newHeight == -1)
    h = SideOf(static_cast<Int64>(w) * height / width);
  else if (newHeight != 0)
    h = SideOf(std::llabs(static_cast<Int64>(newHeight)));

  const TIEPixelFormat format = ieBitmap_->GetPixelFormat();
  TIEBitmap resized;
  if (filter == rfNone) {
    resized.Allocate(w, h, format);
    for (Integer i = 0; i < std::min(resized.GetPaletteCount(), ieBitmap_->GetPaletteCount()); ++i)
      resized.SetPalette(i, ieBitmap_->GetPalette(i));
    _IEBmpStretchEx(ieBitmap_, &resized);
  } else if (format == ie1g) {
    resized.Allocate(w, h, ie24RGB);
    _Resample1bitEx(ieBitmap_, &resized, filter);
  } else if (format == ie24RGB) {
    resized.Allocate(w, h, ie24RGB);
    _ResampleEx(ieBitmap_, &resized, filter, OnProgress, this);
  } else {
    // The filters compute 24-bit colour only: palette and grey images are converted
    // first instead of leaving the new pixels unwritten.
    TIEBitmap colour;
    colour.AssignImage(ieBitmap_);
    colour.ConvertToPixelFormat(ie24RGB);
    resized.Allocate(w, h, ie24RGB);
    _ResampleEx(&colour, &resized, filter, OnProgress, this);
  }

  std::unique_ptr<TIEMask> savedAlpha;
  if (ieBitmap_->GetHasAlphaChannel()) {
    savedAlpha = std::make_unique<TIEMask>();
    ieBitmap_->GetAlphaChannel()->CopyToTIEMask(savedAlpha.get());
  }
  ieBitmap_->AssignImage(&resized);
  if (savedAlpha) {
    TIEMask alpha;
    alpha.AllocateBits(w, h, 8);
    _ResampleAlpha(savedAlpha.get(), &alpha, filter == rfNone ? rfFastLinear : filter);
    ieBitmap_->GetAlphaChannel()->CopyFromTIEMask(&alpha);
  }
  Update();
}

void TDadirAvProc::Rotate(double angle, bool antialias, TIEAntialiasMode mode,
                          TColor background) {
  if (ieBitmap_ == nullptr || angle == 0) return;
  Rewrap();
  if (autoUndo_) SaveUndoCaptioned("Rotate " + FloatToStr(angle), ieuImage);
  if (background == -1) background = GetReBackground();

  std::unique_ptr<TIEBitmap> alpha;
  if (ieBitmap_->GetHasAlphaChannel()) {
    alpha = std::make_unique<TIEBitmap>();
    alpha->AssignImage(ieBitmap_->GetAlphaChannel());
  }
  if (antialias && mode != ierFast && !IsWholeQuarter(angle) &&
      ieBitmap_->GetPixelFormat() == ie24RGB) {
    if (alpha) _IEQRotate8(alpha.get(), angle, 0, mode);
    _IEQRotate(ieBitmap_, angle, background, mode, OnProgress, this);
  } else {
    if (alpha) {
      if (ieBitmap_->GetPixelFormat() == ie1g)
        _rotate8bit(alpha.get(), angle, 0);
      else
        _RotateEx8(alpha.get(), angle, antialias, 0, OnProgress, this);
    }
    _RotateEx(ieBitmap_, angle, antialias, TColor2TRGB(background), OnProgress, this);
  }
  if (alpha) ieBitmap_->GetAlphaChannel()->Assign(alpha.get());
  Update();
}
