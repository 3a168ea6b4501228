#include "image/proc/iefft.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "image/model/iebitmap.h"

namespace {

Byte ClampByte(double v) {
  if (!(v > 0)) return 0;
  if (v >= 255) return 255;
  return static_cast<Byte>(v);
}

}  // namespace

void TIEFtImage::FreeAll() { planes_.clear(); }

void TIEFtImage::Assign(const TIEFtImage* source) {
  if (source == nullptr || source == this) return;
  FreeAll();
  size_ = source->size_;
  Tables(size_);
  offsetX_ = source->offsetX_;
  offsetY_ = source->offsetY_;
  imageWidth_ = source->imageWidth_;
  imageHeight_ = source->imageHeight_;
  OnProgress = source->OnProgress;
  imageType_ = source->imageType_;
  planes_ = source->planes_;
}

void TIEFtImage::Tables(Integer n) {
  if (n <= 0) {
    log2Size_ = 0;
    cos_.clear();
    sin_.clear();
    bitRev_.clear();
    return;
  }
  log2Size_ = 0;
  while ((1 << log2Size_) < n) ++log2Size_;
  cos_.resize(static_cast<size_t>(n));
  sin_.resize(static_cast<size_t>(n));
  bitRev_.resize(static_cast<size_t>(n));
  for (Integer i = 0; i < n; ++i) {
    const double a = 2 * std::numbers::pi * i / n;
    cos_[static_cast<size_t>(i)] = static_cast<float>(std::cos(a));
    sin_[static_cast<size_t>(i)] = static_cast<float>(std::sin(a));
    Integer r = 0;
    for (Integer b = 0; b < log2Size_; ++b)
      if ((i >> b) & 1) r |= 1 << (log2Size_ - 1 - b);
    bitRev_[static_cast<size_t>(i)] = r;
  }
}

// X[k] = (1 / sqrt(n)) x sum over j of x[j] e^(sign 2 pi i j k / n), in place.
void TIEFtImage::Fft1d(float* re, float* im, float sign) const {
  const Integer n = size_;
  for (Integer i = 0; i < n; ++i) {
    const Integer j = bitRev_[static_cast<size_t>(i)];
    if (i < j) {
      std::swap(re[i], re[j]);
      std::swap(im[i], im[j]);
    }
  }
  for (Integer len = 2; len <= n; len <<= 1) {
    const Integer half = len / 2, step = n / len;
    for (Integer start = 0; start < n; start += len)
      for (Integer k = 0; k < half; ++k) {
        const float c = cos_[static_cast<size_t>(k * step)];
        const float s = sign * sin_[static_cast<size_t>(k * step)];
        const Integer u = start + k, v = u + half;
        const float o = re[v] * c - im[v] * s;
        const float m = re[v] * s + im[v] * c;
        re[v] = re[u] - o;
        im[v] = im[u] - m;
        re[u] += o;
        im[u] += m;
      }
  }
  const float scale = 1.0f / std::sqrt(static_cast<float>(n));
  for (Integer i = 0; i < n; ++i) {
    re[i] *= scale;
    im[i] *= scale;
  }
}

void TIEFtImage::Fft2d(Plane& plane, float sign, Integer pass, Integer passes) {
  for (Integer y = 0; y < size_; ++y) Fft1d(Re(plane, 0, y), Im(plane, 0, y), sign);
  std::vector<float> re(static_cast<size_t>(size_)), im(static_cast<size_t>(size_));
  const double per1 = 100.0 / (static_cast<double>(passes) * size_);
  for (Integer x = 0; x < size_; ++x) {
    for (Integer y = 0; y < size_; ++y) {
      re[static_cast<size_t>(y)] = *Re(plane, x, y);
      im[static_cast<size_t>(y)] = *Im(plane, x, y);
    }
    Fft1d(re.data(), im.data(), sign);
    for (Integer y = 0; y < size_; ++y) {
      *Re(plane, x, y) = re[static_cast<size_t>(y)];
      *Im(plane, x, y) = im[static_cast<size_t>(y)];
    }
    if (OnProgress)
      OnProgress(this, std::min(100, static_cast<Integer>(per1 * x + per1 * pass * size_)));
  }
}

bool TIEFtImage::BuildFT(TIEBitmap* bitmap, TIEFtImageType imageType) {
  FreeAll();
  imageType_ = imageType;
  if (bitmap == nullptr || bitmap->GetPixelFormat() != ie24RGB || bitmap->GetWidth() <= 0 ||
      bitmap->GetHeight() <= 0)
    return false;
  const Integer w = bitmap->GetWidth(), h = bitmap->GetHeight();
  const Integer longer = std::max(w, h);
  if (longer > kMaxSize) return false;
  Integer size = 1;
  while (size < longer) size <<= 1;
  imageWidth_ = w;
  imageHeight_ = h;
  if (size != size_ || cos_.empty()) {
    size_ = size;
    Tables(size_);
  }
  offsetX_ = (size_ - w) / 2;
  offsetY_ = (size_ - h) / 2;

  std::vector<PlaneIndex> wanted;
  if (imageType == ieitRGB)
    wanted = {Red, Green, Blue};
  else if (imageType == ieitGrayscale)
    wanted = {Gray};
  const Integer passes = static_cast<Integer>(wanted.size());
  for (Integer pass = 0; pass < passes; ++pass) {
    const PlaneIndex index = wanted[static_cast<size_t>(pass)];
    Plane& plane = planes_[index];
    plane.data.assign(static_cast<size_t>(size_) * 2 * size_, 0.0f);
    float largest = 1;
    for (Integer y = 0; y < h; ++y) {
      const Byte* row = static_cast<const Byte*>(bitmap->GetScanLine(y));
      for (Integer x = 0; x < w; ++x) {
        const Byte* p = row + 3 * x;
        float v = 0;
        switch (index) {
          case Red: v = p[2]; break;
          case Green: v = p[1]; break;
          case Blue: v = p[0]; break;
          case Gray: v = static_cast<float>((21 * p[2] + 71 * p[1] + 8 * p[0]) / 100); break;
        }
        *Re(plane, x + offsetX_, y + offsetY_) = v;
        largest = std::max(largest, v);
      }
    }
    // Normalised by the largest value, and every element with an odd x + y negated
    // so that the spectrum comes out centred.
    plane.scale = largest;
    for (Integer y = 0; y < size_; ++y)
      for (Integer x = 0; x < size_; ++x) {
        float& v = *Re(plane, x, y);
        v /= largest;
        if (((x + y) & 1) != 0) v = -v;
      }
    Fft2d(plane, -1, pass, passes);
  }
  return passes > 0;
}

void TIEFtImage::GetFTImage(TIEBitmap* bitmap) {
  if (bitmap == nullptr || planes_.empty()) return;
  bitmap->Allocate(size_, size_, ie24RGB);
  // The log magnitude of one plane stretched to 0..255 into byte `channel` of every
  // pixel (all three for the grey plane).
  auto draw = [&](Plane& plane, Integer channel) {
    std::vector<double> l(static_cast<size_t>(size_) * size_);
    double lo = 0, hi = 0;
    bool first = true;
    for (Integer y = 0; y < size_; ++y)
      for (Integer x = 0; x < size_; ++x) {
        const double re = *Re(plane, x, y), im = *Im(plane, x, y);
        const double mag = std::sqrt(re * re + im * im);
        const double v = mag > 0 ? std::log(std::sqrt(mag)) : 0;
        l[static_cast<size_t>(y) * size_ + x] = v;
        if (first || v < lo) lo = v;
        if (first || v > hi) hi = v;
        first = false;
      }
    if (std::abs(lo) <= 0.00001) lo = 0;
    const double scale = hi != lo ? 255 / (hi - lo) : 0;
    for (Integer y = 0; y < size_; ++y) {
      Byte* row = static_cast<Byte*>(bitmap->GetScanLine(y));
      for (Integer x = 0; x < size_; ++x) {
        const Byte v = ClampByte(std::trunc((l[static_cast<size_t>(y) * size_ + x] - lo) * scale));
        if (channel < 0)
          row[3 * x] = row[3 * x + 1] = row[3 * x + 2] = v;
        else
          row[3 * x + channel] = v;
      }
    }
  };
  if (Plane* p = Get(Red)) draw(*p, 2);
  if (Plane* p = Get(Green)) draw(*p, 1);
  if (Plane* p = Get(Blue)) draw(*p, 0);
  if (Plane* p = Get(Gray)) draw(*p, -1);
}

void TIEFtImage::BuildBitmap(TIEBitmap* bitmap) {
  if (bitmap == nullptr || planes_.empty() || imageWidth_ <= 0 || imageHeight_ <= 0) return;
  bitmap->Allocate(imageWidth_, imageHeight_, ie24RGB);
  const Integer passes = static_cast<Integer>(planes_.size());
  Integer pass = 0;
  for (auto& [index, original] : planes_) {
    // The inverse transform of a copy, the centring sign and the normalisation
    // undone: the real part is the image again.
    Plane plane = original;
    Fft2d(plane, 1, pass++, passes);
    for (Integer y = 0; y < imageHeight_; ++y) {
      Byte* row = static_cast<Byte*>(bitmap->GetScanLine(y));
      for (Integer x = 0; x < imageWidth_; ++x) {
        const Integer px = x + offsetX_, py = y + offsetY_;
        double v = static_cast<double>(*Re(plane, px, py)) * plane.scale;
        if (((px + py) & 1) != 0) v = -v;
        const Byte b = ClampByte(std::round(v));
        switch (index) {
          case Red: row[3 * x + 2] = b; break;
          case Green: row[3 * x + 1] = b; break;
          case Blue: row[3 * x] = b; break;
          case Gray: row[3 * x] = row[3 * x + 1] = row[3 * x + 2] = b; break;
        }
      }
    }
  }
}

TIEComplexColor TIEFtImage::GetComplexImage(Integer x, Integer y) {
  TIEComplexColor c;
  if (x < 0 || y < 0 || x >= size_ || y >= size_) return c;
  if (Plane* p = Get(Red)) {
    c.real_Red = Re(*p, x, y);
    c.imag_Red = Im(*p, x, y);
  }
  if (Plane* p = Get(Blue)) {
    c.real_Blue = Re(*p, x, y);
    c.imag_Blue = Im(*p, x, y);
  }
  if (Plane* p = Get(Green)) {
    c.real_Green = Re(*p, x, y);
    c.imag_Green = Im(*p, x, y);
  }
  if (Plane* p = Get(Gray)) {
    c.imag_gray = Im(*p, x, y);
    c.real_gray = Re(*p, x, y);
  }
  return c;
}

template <typename Clear>
void TIEFtImage::ClearWhere(Clear clear) {
  for (auto& [index, plane] : planes_)
    for (Integer y = 0; y < size_; ++y)
      for (Integer x = 0; x < size_; ++x)
        if (clear(x, y)) *Re(plane, x, y) = *Im(plane, x, y) = 0;
}

void TIEFtImage::HiPass(Integer radius) {
  const Integer c = size_ / 2;
  ClearWhere([&](Integer x, Integer y) {
    const double d = std::trunc(std::sqrt(static_cast<double>(y - c) * (y - c) + static_cast<double>(x - c) * (x - c)));
    return d <= radius;
  });
}

void TIEFtImage::LoPass(Integer radius) {
  const Integer c = size_ / 2;
  ClearWhere([&](Integer x, Integer y) {
    const double d = std::trunc(std::sqrt(static_cast<double>(y - c) * (y - c) + static_cast<double>(x - c) * (x - c)));
    return d > radius;
  });
}

void TIEFtImage::ClearZone(Integer x1, Integer y1, Integer x2, Integer y2) {
  if (x2 < x1 || y2 < y1) return;
  ClearWhere([&](Integer x, Integer y) { return x >= x1 && x <= x2 && y >= y1 && y <= y2; });
}
