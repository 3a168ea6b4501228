// The kernel resampler on pixel stores (_ResampleEx and its dispatch) and its 1-bit
// variant.
#include <cstring>
#include <vector>

#include "image/model/iebitmap.h"
#include "image/model/iemask.h"
#include "image/proc/dadiravproc.h"
#include "image/proc/dadiravproc_resample_kernels.h"

using namespace dadiravproc_resample;

namespace {

bool Usable(TIEBaseBitmap* b) { return b != nullptr && b->GetWidth() > 0 && b->GetHeight() > 0; }

// Every pixel of an ie24RGB dest := c.
void FillRGB(TIEBaseBitmap* dest, TRGB c) {
  const Integer dw = dest->GetWidth();
  for (Integer y = 0; y < dest->GetHeight(); ++y) {
    TRGB* row = static_cast<TRGB*>(dest->GetScanLine(y));
    std::fill_n(row, dw, c);
  }
}

void Kernel24(TIEBaseBitmap* source, TIEBaseBitmap* dest, const TKernel& kernel,
              const TIEProgressEvent& onProgress, TObject* sender) {
  if (kernel.func == nullptr) return;
  const Integer sw = source->GetWidth(), sh = source->GetHeight();
  const Integer dw = dest->GetWidth(), dh = dest->GetHeight();
  if (sw < 2 && sh < 2) {
    // A single pixel has nothing to interpolate: it fills the whole dest.
    FillRGB(dest, *static_cast<const TRGB*>(source->GetScanLine(0)));
    return;
  }
  const size_t rowBytes = static_cast<size_t>(dw) * 3;
  KernelResample<3>(
      sw, sh, dw, dh, kernel,
      [&](Integer y) { return static_cast<const Byte*>(source->GetScanLine(y)); },
      [&](Integer i, const Byte* row) { std::memcpy(dest->GetScanLine(i), row, rowBytes); },
      TReporter{onProgress, sender});
}

}  // namespace

void _ResampleEx(TIEBaseBitmap* source, TIEBaseBitmap* dest, TResampleFilter filter,
                 const TIEProgressEvent& onProgress, TObject* sender) {
  if (!Usable(source) || !Usable(dest) || source == dest) return;
  if (source->GetPixelFormat() != ie24RGB || dest->GetPixelFormat() != ie24RGB) return;
  switch (filter) {
    case rfFastLinear:
      _ResampleLinearEx(source, dest, onProgress, sender);
      return;
    case rfBicubic:
      _IEQResample(source, dest, 1, onProgress, sender);
      return;
    case rfBilinear:
      _IEQResample(source, dest, 0, onProgress, sender);
      return;
    case rfNone:
      _IEBmpStretchEx(source, dest);
      return;
    default:
      Kernel24(source, dest, KernelOf(filter), onProgress, sender);
      return;
  }
}

void _Resample1bitEx(TIEBitmap* source, TIEBitmap* dest, TResampleFilter filter) {
  if (!Usable(source) || !Usable(dest) || source == dest) return;
  if (source->GetPixelFormat() != ie1g || dest->GetPixelFormat() != ie24RGB) return;
  if (filter == rfFastLinear || filter == rfBilinear || filter == rfBicubic) {
    _ResampleLinear1BitEx(source, dest);
    return;
  }
  const Integer sw = source->GetWidth(), sh = source->GetHeight();
  const Integer dw = dest->GetWidth(), dh = dest->GetHeight();
  std::vector<Byte> bytes(static_cast<size_t>(sw));
  const auto put = [&](Integer i, const Byte* grey) {
    Byte* out = static_cast<Byte*>(dest->GetScanLine(i));
    for (Integer x = 0; x < dw; ++x, out += 3) out[0] = out[1] = out[2] = grey[x];
  };
  if (filter == rfNone) {
    const std::vector<Integer> cols = NearestMap(sw, dw);
    const std::vector<Integer> rows = NearestMap(sh, dh);
    std::vector<Byte> grey(static_cast<size_t>(dw));
    for (Integer i = 0; i < dh; ++i) {
      ExpandBits(static_cast<const Byte*>(source->GetScanLine(rows[static_cast<size_t>(i)])), sw,
                 bytes.data());
      for (Integer x = 0; x < dw; ++x) grey[static_cast<size_t>(x)] = bytes[static_cast<size_t>(cols[static_cast<size_t>(x)])];
      put(i, grey.data());
    }
    return;
  }
  const TKernel kernel = KernelOf(filter);
  if (kernel.func == nullptr) return;
  if (sw < 2 && sh < 2) {
    ExpandBits(static_cast<const Byte*>(source->GetScanLine(0)), 1, bytes.data());
    FillRGB(dest, TRGB{bytes[0], bytes[0], bytes[0]});
    return;
  }
  KernelResample<1>(
      sw, sh, dw, dh, kernel,
      [&](Integer y) {
        ExpandBits(static_cast<const Byte*>(source->GetScanLine(y)), sw, bytes.data());
        return static_cast<const Byte*>(bytes.data());
      },
      put, TNoReport{});
}
