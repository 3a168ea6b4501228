// TDadirAvProc: edge detection and skew detection.
#include "image/model/iebitmap.h"
#include "image/proc/dadiravproc.h"

void TDadirAvProc::EdgeDetect_ShenCastan(double ratio, double smoothing, Integer windowSize,
                                         Integer thinFactor, bool hysteresis) {
  if (!PrepareStore() || ieBitmap_->GetPixelFormat() != ie24RGB) return;
  if (ieBitmap_->GetWidth() <= 0 || ieBitmap_->GetHeight() <= 0) return;
  if (autoUndo_) SaveUndoCaptioned("EdgeDetect", ieuImage);
  TProgressRec progress = MakeProgressRec();
  _IEEdgeDetect_ShenCastan(ieBitmap_, ieBitmap_, ratio, smoothing, windowSize, thinFactor,
                           hysteresis, progress);
  Update();
}

double TDadirAvProc::SkewDetection(Integer resampleWidth, Integer angleRange, double precision,
                                   bool edgeDetect) {
  if (!PrepareStore()) return 0;
  const Integer width = ieBitmap_->GetWidth(), height = ieBitmap_->GetHeight();
  if (width <= 0 || height <= 0) return 0;
  const TIEPixelFormat format = ieBitmap_->GetPixelFormat();
  TProgressRec none;
  auto detect = [&](TIEBitmap* source, TIEBitmap* dest) {
    _IEEdgeDetect_ShenCastan(source, dest, 0.99, 0.9, 7, 0, true, none);
  };
  TIEBitmap temp;
  temp.SetLocation(ieMemory);
  TIEBitmap* prepared = ieBitmap_;
  if (resampleWidth < 1 || resampleWidth == width) {
    if (format != ie1g) {
      detect(ieBitmap_, &temp);
      prepared = &temp;
    } else if (edgeDetect) {
      temp.Allocate(width, height, ie24RGB);
      for (Integer y = 0; y < height; ++y)
        _ConvRow1To24(static_cast<const Byte*>(ieBitmap_->GetScanLine(y)),
                      static_cast<Byte*>(temp.GetScanLine(y)), width);
      detect(&temp, &temp);
      prepared = &temp;
    }
  } else {
    const Int64 newHeight = static_cast<Int64>(resampleWidth) * height / width;
    if (newHeight < 1 || newHeight > 0x7FFFFFFF) return 0;
    const Integer h = static_cast<Integer>(newHeight);
    if (format != ie1g) {
      temp.Allocate(resampleWidth, h, format);
      _ResampleEx(ieBitmap_, &temp, rfFastLinear);
    } else if (edgeDetect) {
      temp.Allocate(resampleWidth, h, ie24RGB);
      _Resample1bitEx(ieBitmap_, &temp, rfFastLinear);
    } else {
      temp.Allocate(resampleWidth, h, ie1g);
      _IEBmpStretchEx(ieBitmap_, &temp);
    }
    if (edgeDetect) detect(&temp, &temp);
    prepared = &temp;
  }
  TProgressRec progress = MakeProgressRec();
  return _iehough(prepared, progress, angleRange, precision);
}
