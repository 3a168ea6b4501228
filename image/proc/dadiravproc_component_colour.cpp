// TDadirAvProc: point colour operations and palette reduction.
#include <span>

#include "image/formats/neurquant.h"
#include "image/model/iebitmap.h"
#include "image/proc/dadiravproc.h"
#include "platform/rtl/Strings.h"

namespace {

AnsiString Args(std::initializer_list<Integer> values) {
  AnsiString s;
  for (Integer v : values) {
    if (!s.empty()) s += ",";
    s += IntToStr(v);
  }
  return s;
}

}  // namespace

void TDadirAvProc::HSLvar(Integer hueOffset, Integer satOffset, Integer lumOffset) {
  RunFrame("HSLvar " + Args({hueOffset, satOffset, lumOffset}), true,
           [&](TIEBitmap* b, Integer x1, Integer y1, Integer x2, Integer y2) {
             _HSLvar(b, hueOffset, satOffset, lumOffset, x1, y1, x2, y2, OnProgress, this);
           });
}

void TDadirAvProc::HSVvar(Integer hueOffset, Integer satOffset, Integer valOffset) {
  RunFrame("HSVvar " + Args({hueOffset, satOffset, valOffset}), true,
           [&](TIEBitmap* b, Integer x1, Integer y1, Integer x2, Integer y2) {
             _HSVvar(b, hueOffset, satOffset, valOffset, x1, y1, x2, y2, OnProgress, this);
           });
}

void TDadirAvProc::Contrast(Integer amount) {
  if (!PrepareStore() || ieBitmap_->GetPixelFormat() != ie24RGB) return;
  if (ieBitmap_->GetWidth() <= 1 && ieBitmap_->GetHeight() <= 1) return;
  // The mean of the whole image, also when only a selection changes.
  Integer r = 0, g = 0, b = 0;
  _GetMediaContrastRGB(ieBitmap_, r, g, b);
  RunFrame("Contrast " + IntToStr(amount), true,
           [&](TIEBitmap* bitmap, Integer x1, Integer y1, Integer x2, Integer y2) {
             _ContrastRGB(bitmap, amount, r, g, b, x1, y1, x2, y2, OnProgress, this);
           });
}

void TDadirAvProc::IntensityRGBall(Integer r, Integer g, Integer b) {
  RunFrame("IntensityRGBall " + Args({r, g, b}), true,
           [&](TIEBitmap* bitmap, Integer x1, Integer y1, Integer x2, Integer y2) {
             _IntensityRGBall(bitmap, r, g, b, x1, y1, x2, y2, OnProgress, this);
           });
}

void TDadirAvProc::Negative() {
  RunFrame("Negative", false, [&](TIEBitmap* b, Integer x1, Integer y1, Integer x2, Integer y2) {
    _Negative(b, x1, y1, x2, y2, OnProgress, this);
  });
}

void TDadirAvProc::ConvertToGray() {
  RunFrame("ConvertToGray", true,
           [&](TIEBitmap* b, Integer x1, Integer y1, Integer x2, Integer y2) {
             _ConvertToGray(b, x1, y1, x2, y2, OnProgress, this);
           });
}

void TDadirAvProc::Fill(TRGB fillColor) {
  RunFrame("Fill", false, [&](TIEBitmap* b, Integer x1, Integer y1, Integer x2, Integer y2) {
    _Fill(b, x1, y1, x2, y2, fillColor, OnProgress, this);
  });
}

void TDadirAvProc::GammaCorrect(double gamma, TIEChannels channels) {
  RunFrame("GammaCorrect", true, [&](TIEBitmap* b, Integer, Integer, Integer, Integer) {
    _IEGammaCorrect(b, gamma, channels, OnProgress, this);
  });
}

void TDadirAvProc::ConvertTo(Integer numColors, TIEDitherMethod ditherMethod) {
  if (!PrepareStore() || ieBitmap_->GetPixelFormat() != ie24RGB) return;
  if (autoUndo_) SaveUndoCaptioned("ConvertTo " + IntToStr(numColors), ieuImage);
  if (numColors < 3) {
    TProgressRec progress = MakeProgressRec();
    if (ditherMethod == ieThreshold)
      _ConvertToBWThreshold(ieBitmap_, -1, progress);
    else
      _ConvertToBWOrdered(ieBitmap_, progress);
  } else if (numColors <= 1024) {
    _ConvertToEx(ieBitmap_, numColors, nullptr, OnProgress, this);
  }
  Update();
}

void TDadirAvProc::ConvertToPalette(Integer numColors, TRGB* palette,
                                    TIEDitherMethod ditherMethod) {
  if (numColors == 0) return;
  if (!PrepareStore() || ieBitmap_->GetPixelFormat() != ie24RGB) return;
  if (autoUndo_) SaveUndoCaptioned("ConvertToPalette", ieuImage);
  if (numColors < 3) {
    TProgressRec progress = MakeProgressRec();
    if (ditherMethod == ieThreshold)
      _ConvertToBWThreshold(ieBitmap_, -1, progress);
    else
      _ConvertToBWOrdered(ieBitmap_, progress);
    if (palette != nullptr && numColors >= 1) palette[0] = TRGB{0, 0, 0};
    if (palette != nullptr && numColors >= 2) palette[1] = TRGB{255, 255, 255};
  } else if (numColors <= 1024) {
    _ConvertToEx(ieBitmap_, numColors, palette, OnProgress, this);
  }
  Update();
}

void TDadirAvProc::CalcImagePalette(TRGB* palette, Integer maxCol) {
  if (palette == nullptr || maxCol < 1) return;
  if (!PrepareStore() || ieBitmap_->GetPixelFormat() != ie24RGB) return;
  if (ieBitmap_->GetWidth() <= 0 || ieBitmap_->GetHeight() <= 0) return;
  TIEQuantizer quantizer(ieBitmap_, std::span<TRGB>(palette, static_cast<size_t>(maxCol)), maxCol,
                         -1, 0);
}
