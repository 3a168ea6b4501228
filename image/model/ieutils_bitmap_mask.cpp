// TIEBitmap copies to and from the selection and alpha mask.
#include <algorithm>
#include <cstring>

#include "image/model/iebitmap.h"
#include "image/model/iemask.h"
#include "image/model/ieutils.h"

void TIEBitmap::CopyFromTIEMask(TIEMask* mask) {
  if (mask == nullptr) {
    Fill(255);
    return;
  }
  const Integer bits = mask->GetBitsPerPixel();
  if (bits != 1 && bits != 8) return;
  Allocate(mask->GetWidth(), mask->GetHeight(), bits == 1 ? ie1g : ie8g);
  const auto length = static_cast<size_t>(std::min(rowLen_, mask->GetRowLen()));
  for (Integer y = 0; y < height_; ++y) std::memcpy(GetScanLine(y), mask->GetScanLine(y), length);
  full_ = mask->GetFull();
}

void TIEBitmap::CopyToTIEMask(TIEMask* mask) {
  if (mask == nullptr || (pixelFormat_ != ie1g && pixelFormat_ != ie8g)) return;
  // The new plane starts with an empty box, which the copy leaves empty.
  mask->AllocateBits(width_, height_, pixelFormat_ == ie1g ? 1 : 8);
  if (mask->GetBitsPerPixel() != 0) {
    const auto length = static_cast<size_t>(std::min(rowLen_, mask->GetRowLen()));
    for (Integer y = 0; y < height_; ++y) std::memcpy(mask->GetScanLine(y), GetScanLine(y), length);
  }
  mask->SetFull(full_);
}
