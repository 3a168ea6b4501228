// TDadirAvProc: colour ranges and merging, filters, noise removal, hidden data and
// comparison.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "image/model/iebitmap.h"
#include "image/model/iemask.h"
#include "image/proc/dadiravproc.h"
#include "image/proc/dadiravproc_internal.h"
#include "platform/rtl/Math.h"
#include "platform/rtl/Strings.h"

namespace {

AnsiString MorphCaption(const char* name, Integer winSize) {
  return AnsiString(name) + " " + IntToStr(winSize);
}

// Walks the channel bytes that hold hidden data: the first 3 x width bytes of each
// row, rows from the top.
class HiddenBytes {
 public:
  explicit HiddenBytes(TIEBitmap* bitmap)
      : bitmap_(bitmap), rowBytes_(static_cast<Int64>(bitmap->GetWidth()) * 3) {}
  Int64 Count() const { return rowBytes_ * bitmap_->GetHeight(); }
  Byte& At(Int64 i) {
    Byte* row = static_cast<Byte*>(bitmap_->GetScanLine(static_cast<Integer>(i / rowBytes_)));
    return row[i % rowBytes_];
  }

 private:
  TIEBitmap* bitmap_;
  Int64 rowBytes_;
};

constexpr Integer kHiddenHeader = 8;

}  // namespace

// --- Colour ranges, thresholds, transparency and merge

void TDadirAvProc::CastColorRange(TRGB rangeLow, TRGB rangeHigh, TRGB newColor) {
  RunFrame("CastColorRange", true,
           [&](TIEBitmap* b, Integer x1, Integer y1, Integer x2, Integer y2) {
             _CastColorRange(b, rangeLow, rangeHigh, newColor, x1, y1, x2, y2, OnProgress, this);
           });
}

void TDadirAvProc::Threshold(TRGB lowLimit, TRGB highLimit, TRGB lowColor, TRGB highColor) {
  RunFrame("Threshold", true, [&](TIEBitmap* b, Integer x1, Integer y1, Integer x2, Integer y2) {
    _Threshold(b, lowLimit, highLimit, lowColor, highColor, x1, y1, x2, y2, OnProgress, this);
  });
}

void TDadirAvProc::SetTransparentColors(TRGB rangeLow, TRGB rangeHigh, Integer alpha) {
  if (!PrepareStore()) return;
  if (GetAutoUndo()) SaveUndoCaptioned("SetTransparentColors", ieuImage);
  Integer x1 = 0, y1 = 0, x2 = 0, y2 = 0, polyCount = 0;
  POINT* poly = nullptr;
  TIEMask* mask = nullptr;
  GetReSel(x1, y1, x2, y2, poly, polyCount, mask);
  TIEBitmap* bitmap = GetIEBitmap();
  if (mask == nullptr || mask->IsEmpty()) {
    _SetTransparentColors(bitmap, 0, 0, bitmap->GetWidth(), bitmap->GetHeight(), rangeLow,
                          rangeHigh, alpha, OnProgress, this);
    Update();
    return;
  }
  // The alpha plane is changed in place over the box, then every pixel the mask does
  // not select gets its old alpha back (blended by the mask value for 8-bit masks).
  const Integer bx1 = mask->GetX1(), by1 = mask->GetY1();
  const Integer bx2 = std::min(mask->GetX2() + 1, bitmap->GetWidth());
  const Integer by2 = std::min(mask->GetY2() + 1, bitmap->GetHeight());
  TIEBitmap* plane = bitmap->GetAlphaChannel();
  std::vector<Byte> before;
  if (plane != nullptr)
    for (Integer y = by1; y < by2; ++y) {
      const Byte* row = static_cast<const Byte*>(plane->GetScanLine(y));
      before.insert(before.end(), row + bx1, row + bx2);
    }
  _SetTransparentColors(bitmap, bx1, by1, bx2, by2, rangeLow, rangeHigh, alpha, OnProgress, this);
  if (plane != nullptr && !before.empty()) {
    const Integer maxValue = mask->GetBitsPerPixel() == 8 ? 255 : 1;
    size_t i = 0;
    for (Integer y = by1; y < by2; ++y) {
      Byte* row = static_cast<Byte*>(plane->GetScanLine(y));
      for (Integer x = bx1; x < bx2; ++x, ++i) {
        const Integer m = mask->GetPixel(x, y);
        const Integer old = before[i], now = row[x];
        row[x] = static_cast<Byte>(old + (now - old) * m / maxValue);
      }
    }
    plane->SyncFull();
    bitmap->SetFull(plane->GetFull());
  }
  Update();
}

void TDadirAvProc::MergeIEBitmap(TIEBitmap* source, Integer percent) {
  RunFrame("Merge " + IntToStr(percent), true,
           [&](TIEBitmap* b, Integer x1, Integer y1, Integer x2, Integer y2) {
             _Merge(b, source, percent, x1, y1, x2, y2, OnProgress, this);
           });
}

void TDadirAvProc::Merge(TBitmap* source, Integer percent) {
  if (source == nullptr) return;
  TIEBitmap wrapper;
  wrapper.EncapsulateTBitmap(source, true);
  MergeIEBitmap(&wrapper, percent);
}

// --- Filters

void TDadirAvProc::ApplyFilter(const TGraphFilter& filter) {
  RunFrame("ApplyFilter", true, [&](TIEBitmap* b, Integer x1, Integer y1, Integer x2, Integer y2) {
    TProgressRec progress = MakeProgressRec();
    _ApplyFilter(b, filter, x1, y1, x2, y2, progress);
  });
}

void TDadirAvProc::ApplyFilterPreset(TIEFilterPresets preset) {
  ApplyFilter(IEGetFilterPreset(preset));
}

void TDadirAvProc::Blur(double radius) {
  if (!PrepareStore()) return;
  const TIEPixelFormat format = GetIEBitmap()->GetPixelFormat();
  if (format != ie24RGB && format != ie8g) return;
  RunFrame("Blur " + FloatToStr(radius), false,
           [&](TIEBitmap* b, Integer, Integer, Integer, Integer) {
             _IEGBlur(b, radius, OnProgress, this);
           });
}

void TDadirAvProc::Maximum(Integer winSize) {
  RunFrame(MorphCaption("Maximum", winSize), false,
           [&](TIEBitmap* b, Integer x1, Integer y1, Integer x2, Integer y2) {
             _MorphFilter(b, winSize, 0, x1, y1, x2, y2, OnProgress, this);
           });
}

void TDadirAvProc::Minimum(Integer winSize) {
  RunFrame(MorphCaption("Minimum", winSize), false,
           [&](TIEBitmap* b, Integer x1, Integer y1, Integer x2, Integer y2) {
             _MorphFilter(b, winSize, 1, x1, y1, x2, y2, OnProgress, this);
           });
}

void TDadirAvProc::Opening(Integer winSize) {
  RunFrame(MorphCaption("Opening", winSize), false,
           [&](TIEBitmap* b, Integer x1, Integer y1, Integer x2, Integer y2) {
             _MorphFilter(b, winSize, 2, x1, y1, x2, y2, OnProgress, this);
           });
}

void TDadirAvProc::Closing(Integer winSize) {
  RunFrame(MorphCaption("Closing", winSize), false,
           [&](TIEBitmap* b, Integer x1, Integer y1, Integer x2, Integer y2) {
             _MorphFilter(b, winSize, 3, x1, y1, x2, y2, OnProgress, this);
           });
}

void TDadirAvProc::RemoveIsolatedPixels(Integer color, Integer maxCount) {
  if (maxCount <= 0) return;
  if (!PrepareStore() || GetIEBitmap()->GetPixelFormat() != ie1g) return;
  RunFrame("RemoveIsolatedPixels", false,
           [&](TIEBitmap* b, Integer x1, Integer y1, Integer x2, Integer y2) {
             _IERemoveIsolatedPixels1Bit(b, x1, y1, x2, y2, color, maxCount);
           });
}

void TDadirAvProc::RemoveNoise(Integer iterations, bool invert) {
  if (iterations <= 0) return;
  if (!PrepareStore() || GetIEBitmap()->GetPixelFormat() != ie1g) return;
  RunFrame("RemoveNoise", false, [&](TIEBitmap* b, Integer, Integer, Integer, Integer) {
    _kf_kfill(b, true, true, iterations, 3, invert);
  });
}

// --- Distortion effects

void TDadirAvProc::Lens(Integer x, Integer y, Integer width, Integer height, double refraction) {
  RunFrame("Lens", true, [&](TIEBitmap* b, Integer, Integer, Integer, Integer) {
    TProgressRec progress = MakeProgressRec();
    _lens(b, x, y, width, height, refraction, progress);
  });
}

void TDadirAvProc::Wave(Integer amplitude, Integer wavelength, Integer phase, bool reflective) {
  RunFrame("Wave", true, [&](TIEBitmap* b, Integer, Integer, Integer, Integer) {
    TProgressRec progress = MakeProgressRec();
    _wave(b, amplitude, wavelength, phase, reflective, progress);
  });
}

void TDadirAvProc::BumpMapping(Integer lightX, Integer lightY, Integer extentX, Integer extentY,
                               Integer level, TRGB colour) {
  RunFrame("BumpMapping", true, [&](TIEBitmap* b, Integer x1, Integer y1, Integer x2, Integer y2) {
    TProgressRec progress = MakeProgressRec();
    _BumpMapping(b, lightX, lightY, extentX, extentY, level, colour, x1, y1, x2, y2, progress);
  });
}

// --- Shadow and marks

void TDadirAvProc::AddSoftShadow(double radius, Integer offsetX, Integer offsetY) {
  if (!PrepareStore()) return;
  if (GetAutoUndo()) SaveUndoCaptioned("AddSoftShadow", ieuImage);
  _IEAddSoftShadow(GetIEBitmap(), radius, offsetX, offsetY, OnProgress, this);
  Update();
}

void TDadirAvProc::PaintMark(Integer spacing, TRGB colour) {
  spacing = std::max(spacing, 0);
  RunFrame("PaintMark", false, [&](TIEBitmap* b, Integer x1, Integer y1, Integer x2, Integer y2) {
    if (b->GetPixelFormat() != ie24RGB) return;
    if (!dadiravproc_detail::ClipRect(b->GetWidth(), b->GetHeight(), x1, y1, x2, y2)) return;
    const Int64 period = static_cast<Int64>(spacing) + 1;
    for (Integer y = y1; y < y2; ++y) {
      if ((y - y1) % period == 0) {
        TRGB* row = static_cast<TRGB*>(b->GetScanLine(y));
        for (Int64 x = x1; x < x2; x += period) row[x] = colour;
      }
      if (OnProgress)
        OnProgress(this, std::min(100, static_cast<Integer>((y - y1 + 1) * 100 / (y2 - y1 - 1 + 0.5))));
    }
  });
}

void TDadirAvProc::PaintPenMarker(Integer x, Integer y, Integer width, TColor paintColour,
                                  TColor referenceColour, Integer tolerance) {
  if (!PrepareStore()) return;
  TIEBitmap* b = GetIEBitmap();
  if (b->GetPixelFormat() != ie24RGB) return;
  const Integer w = b->GetWidth(), h = b->GetHeight();
  if (x < 0 || y < 0 || x >= w || y >= h) return;
  const TRGB paint = TColor2TRGB(paintColour), reference = TColor2TRGB(referenceColour);
  auto test = [&](Integer px, Integer py) {
    const TRGB p = b->GetPixels_ie24RGB(px, py);
    const Integer d = std::max({std::abs(p.r - reference.r), std::abs(p.g - reference.g),
                                std::abs(p.b - reference.b)});
    if (d <= tolerance) b->SetPixels_ie24RGB(px, py, paint);
  };
  test(x, y);
  // Rings beyond twice the image's size only meet its border again.
  const Integer rings = std::min(width / 2, 2 * (w + h));
  for (Integer ring = 1; ring <= rings; ++ring) {
    const Int64 n = 2 * static_cast<Int64>(Round(2 * M_PI * ring));
    for (Int64 k = 0; k < n; ++k) {
      const double angle = k * 2 * M_PI / n;
      const Int64 px = Round(std::cos(angle) * ring + x);
      const Int64 py = Round(std::sin(angle) * ring + y);
      test(static_cast<Integer>(std::clamp<Int64>(px, 0, w - 1)),
           static_cast<Integer>(std::clamp<Int64>(py, 0, h - 1)));
    }
  }
}

// --- Hidden data

Integer TDadirAvProc::GetHiddenDataSpace() {
  if (!PrepareStore()) return 0;
  TIEBitmap* bitmap = GetIEBitmap();
  if (bitmap->GetPixelFormat() != ie24RGB || bitmap->GetWidth() <= 0) return 0;
  const Int64 space =
      static_cast<Int64>(bitmap->GetWidth()) * bitmap->GetHeight() * 3 / 8 - kHiddenHeader;
  return static_cast<Integer>(std::clamp<Int64>(space, 0, 0x7FFFFFFF));
}

Integer TDadirAvProc::WriteHiddenData(const Byte* data, Integer length) {
  const Integer space = GetHiddenDataSpace();
  // A block the image cannot hold whole is refused rather than cut off behind a
  // header that claims all of it.
  if (space <= 0 || length < 0 || length > space || (data == nullptr && length > 0)) return 0;
  if (GetAutoUndo()) SaveUndoCaptioned("WriteHiddenData", ieuImage);
  HiddenBytes bytes(GetIEBitmap());
  std::vector<Byte> stream(static_cast<size_t>(kHiddenHeader) + static_cast<size_t>(length), 0);
  for (int i = 0; i < 4; ++i) stream[4 + static_cast<size_t>(i)] = static_cast<Byte>(static_cast<uint32_t>(length) >> (8 * i));
  std::copy_n(data, length, stream.begin() + kHiddenHeader);
  Int64 pos = 0;
  for (Byte value : stream)
    for (int k = 0; k < 8; ++k, ++pos) {
      Byte& v = bytes.At(pos);
      const bool one = ((value >> k) & 1) != 0;
      if (((v & 1) != 0) == one) continue;
      v = (v == 255) ? 254 : static_cast<Byte>(v + 1);
    }
  Update();
  return length;
}

Integer TDadirAvProc::WriteHiddenText(const AnsiString& text) {
  return WriteHiddenData(reinterpret_cast<const Byte*>(text.data()),
                         static_cast<Integer>(std::min<size_t>(text.size(), 0x7FFFFFFF)));
}

Integer TDadirAvProc::ReadHiddenData(Byte* buffer, Integer maxLen) {
  const Integer space = GetHiddenDataSpace();
  if (space <= 0) return 0;
  HiddenBytes bytes(GetIEBitmap());
  Int64 pos = 0;
  auto readByte = [&] {
    Byte value = 0;
    for (int k = 0; k < 8; ++k, ++pos) value |= static_cast<Byte>((bytes.At(pos) & 1) << k);
    return value;
  };
  uint32_t marker = 0, length = 0;
  for (int i = 0; i < 4; ++i) marker |= static_cast<uint32_t>(readByte()) << (8 * i);
  for (int i = 0; i < 4; ++i) length |= static_cast<uint32_t>(readByte()) << (8 * i);
  // An image that holds no block spells some header; only one that could have been
  // written here counts.
  if (marker != 0 || length > static_cast<uint32_t>(space)) return 0;
  const Integer stored = static_cast<Integer>(length);
  if (buffer != nullptr)
    for (Integer i = 0; i < std::min(stored, maxLen); ++i) buffer[i] = readByte();
  return stored;
}

AnsiString TDadirAvProc::ReadHiddenText() {
  const Integer length = ReadHiddenData(nullptr, 0);
  if (length <= 0) return {};
  AnsiString text(static_cast<size_t>(length), '\0');
  ReadHiddenData(reinterpret_cast<Byte*>(text.data()), length);
  return text;
}

// --- Comparison

bool TDadirAvProc::ComputeImageEquality(TIEBitmap* other, double& minPSNR, double& maxPSNR,
                                        double& minMSE, double& maxMSE, double& minRMSE,
                                        double& maxRMSE, double& minMaxDiff, double& maxMaxDiff,
                                        double& minMAE, double& maxMAE) {
  if (!PrepareStore() || other == nullptr) return false;
  TIEBitmap* bitmap = GetIEBitmap();
  if (bitmap->GetPixelFormat() != ie24RGB || other->GetPixelFormat() != ie24RGB) return false;
  if (bitmap->GetWidth() != other->GetWidth() || bitmap->GetHeight() != other->GetHeight())
    return false;
  bool equal = false;
  _IEComputeDiff(bitmap, other, minPSNR, maxPSNR, minMSE, maxMSE, minRMSE, maxRMSE, minMaxDiff,
                 maxMaxDiff, minMAE, maxMAE, equal);
  return equal;
}
