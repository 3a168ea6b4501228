// Unit iefft: the two-dimensional Fourier transform of an image, for filtering in
// the frequency domain.
#pragma once

#include <map>
#include <vector>

#include "image/formats/dadiravio.h"
#include "image/model/iedefs.h"
#include "platform/rtl/Component.h"

class TIEBitmap;

enum class TIEFtImageType : Byte { ieitUnknown, ieitRGB, ieitGrayscale };
using enum TIEFtImageType;

// Pointers to one element of each plane, nil where the plane is absent (the grey
// pair comes imaginary first).
struct TIEComplexColor {
  float* real_Red = nullptr;
  float* imag_Red = nullptr;
  float* real_Blue = nullptr;
  float* imag_Blue = nullptr;
  float* real_Green = nullptr;
  float* imag_Green = nullptr;
  float* imag_gray = nullptr;
  float* real_gray = nullptr;
};

// The transform of an ie24RGB image padded (centred, zero around) to a square whose
// side is a power of two, with the spectrum centred: three colour planes or one grey
// plane of single-precision complex values, each row Size real parts then Size
// imaginary parts.
class TIEFtImage : public TObject {
 public:
  LARK_CLASS_NAME(TIEFtImage)
  // The largest side a transform is built for; a larger image is refused.
  static constexpr Integer kMaxSize = IEMaxFTSide;

  TIEFtImage() = default;
  TIEFtImage(const TIEFtImage&) = delete;
  TIEFtImage& operator=(const TIEFtImage&) = delete;

  void FreeAll();
  void Assign(const TIEFtImage* source);
  // Transforms an ie24RGB bitmap; false (and nothing held) for another format, an
  // empty bitmap or one whose square would pass kMaxSize.
  bool BuildFT(TIEBitmap* bitmap, TIEFtImageType imageType);
  // bitmap becomes a Size x Size ie24RGB picture of the log-magnitude spectrum.
  void GetFTImage(TIEBitmap* bitmap);
  // bitmap becomes the ImageWidth x ImageHeight ie24RGB image of the inverse
  // transform: the transformed image itself when nothing was filtered.
  void BuildBitmap(TIEBitmap* bitmap);
  // Element (column x, row y); all nil outside the square.
  TIEComplexColor GetComplexImage(Integer x, Integer y);
  // Clear the elements whose distance from the centre is at most (HiPass) or beyond
  // (LoPass) radius, or those of the rectangle with both corners included.
  void HiPass(Integer radius);
  void LoPass(Integer radius);
  void ClearZone(Integer x1, Integer y1, Integer x2, Integer y2);

  Integer GetSize() const noexcept { return size_; }
  Integer GetOffsetX() const noexcept { return offsetX_; }
  Integer GetOffsetY() const noexcept { return offsetY_; }
  Integer GetImageWidth() const noexcept { return imageWidth_; }
  Integer GetImageHeight() const noexcept { return imageHeight_; }
  TIEFtImageType GetImageType() const noexcept { return imageType_; }
  bool HasPlanes() const noexcept { return !planes_.empty(); }

  TIEProgressEvent OnProgress;

 private:
  struct Plane {
    std::vector<float> data;  // Size rows of Size reals then Size imaginaries
    float scale = 1;          // the largest input value, divided out while building
  };
  enum PlaneIndex { Red, Green, Blue, Gray };

  float* Re(Plane& p, Integer x, Integer y) {
    return p.data.data() + static_cast<size_t>(y) * 2 * size_ + x;
  }
  float* Im(Plane& p, Integer x, Integer y) { return Re(p, x, y) + size_; }
  Plane* Get(PlaneIndex i) { return planes_.count(i) != 0 ? &planes_[i] : nullptr; }
  void Fft1d(float* re, float* im, float sign) const;
  void Fft2d(Plane& plane, float sign, Integer pass, Integer passes);
  void Tables(Integer n);
  template <typename Keep>
  void ClearWhere(Keep keep);

  Integer size_ = 0;
  Integer log2Size_ = 0;
  std::vector<float> cos_, sin_;
  std::vector<Integer> bitRev_;
  std::map<PlaneIndex, Plane> planes_;
  Integer offsetX_ = 0, offsetY_ = 0;
  Integer imageWidth_ = 0, imageHeight_ = 0;
  TIEFtImageType imageType_ = ieitUnknown;
};
