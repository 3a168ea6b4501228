// The resamplers on framework bitmaps: the same passes as on pixel stores, rows
// through the bitmaps' scan lines and a framework bitmap as the work buffer.
#include <cstring>
#include <vector>

#include "image/proc/dadiravproc.h"
#include "image/proc/dadiravproc_resample_kernels.h"

using namespace dadiravproc_resample;

namespace {

bool HasPixels(TBitmap* b) { return b != nullptr && b->GetWidth() > 0 && b->GetHeight() > 0; }

const Byte* Row(TBitmap* b, Integer y) { return static_cast<const Byte*>(b->ScanLine(y)); }

// A work buffer of width x height pixels of the format.
void MakeWork(TBitmap& work, Integer width, Integer height, TPixelFormat format) {
  work.SetPixelFormat(format);
  work.SetSize(width, height);
}

// Writes dw grey values into all three channels of a 24-bit row.
void PutGrey(Byte* out, const Byte* grey, Integer dw) {
  for (Integer x = 0; x < dw; ++x, out += 3) out[0] = out[1] = out[2] = grey[x];
}

void FillRows(TBitmap* dest, const Byte* pixel) {
  const Integer dw = dest->GetWidth();
  for (Integer y = 0; y < dest->GetHeight(); ++y) {
    Byte* out = static_cast<Byte*>(dest->ScanLine(y));
    for (Integer x = 0; x < dw; ++x, out += 3) std::memcpy(out, pixel, 3);
  }
}

}  // namespace

void _Resample(TBitmap* source, TBitmap* dest, TResampleFilter filter,
               const TIEProgressEvent& onProgress, TObject* sender) {
  if (!HasPixels(source) || !HasPixels(dest) || source == dest) return;
  if (source->GetPixelFormat() != pf24bit) return;
  if (filter == rfFastLinear || filter == rfBilinear || filter == rfBicubic) {
    _ResampleLinear(source, dest, onProgress, sender);
    return;
  }
  if (filter == rfNone) {
    _IEBmpStretch(source, dest);
    return;
  }
  const TKernel kernel = KernelOf(filter);
  if (kernel.func == nullptr) return;
  dest->SetPixelFormat(source->GetPixelFormat());
  const Integer sw = source->GetWidth(), sh = source->GetHeight();
  const Integer dw = dest->GetWidth(), dh = dest->GetHeight();
  if (sw < 2 && sh < 2) {
    FillRows(dest, Row(source, 0));
    return;
  }
  const size_t rowBytes = static_cast<size_t>(dw) * 3;
  KernelResample<3>(
      sw, sh, dw, dh, kernel, [&](Integer y) { return Row(source, y); },
      [&](Integer i, const Byte* row) { std::memcpy(dest->ScanLine(i), row, rowBytes); },
      TReporter{onProgress, sender});
}

void _ResampleLinear(TBitmap* source, TBitmap* dest, const TIEProgressEvent& onProgress,
                     TObject* sender) {
  if (!HasPixels(source) || !HasPixels(dest) || source == dest) return;
  if (source->GetPixelFormat() != pf24bit) return;
  const Integer sw = source->GetWidth(), sh = source->GetHeight();
  const Integer dw = dest->GetWidth(), dh = dest->GetHeight();
  if (sw == dw && sh == dh) {
    IECopyBitmap(source, dest);
    return;
  }
  dest->SetPixelFormat(pf24bit);
  TBitmap work;
  MakeWork(work, dw, sh, pf24bit);
  const size_t rowBytes = static_cast<size_t>(dw) * 3;
  LinearResample<3, false>(
      sw, sh, dw, dh, [&](Integer y) { return Row(source, y); },
      [&](Integer y) { return static_cast<Byte*>(work.ScanLine(y)); },
      [&](Integer j, const Byte* row) { std::memcpy(dest->ScanLine(j), row, rowBytes); },
      TReporter{onProgress, sender});
}

void _Resample1bit(TBitmap* source, TBitmap* dest, TResampleFilter filter) {
  if (!HasPixels(source) || !HasPixels(dest) || source == dest) return;
  if (source->GetPixelFormat() != pf1bit) return;
  if (filter == rfFastLinear || filter == rfBilinear || filter == rfBicubic) {
    _ResampleLinear1Bit(source, dest);
    return;
  }
  const Integer sw = source->GetWidth(), sh = source->GetHeight();
  const Integer dw = dest->GetWidth(), dh = dest->GetHeight();
  dest->SetPixelFormat(pf24bit);
  std::vector<Byte> bytes(static_cast<size_t>(sw));
  const auto put = [&](Integer i, const Byte* grey) {
    PutGrey(static_cast<Byte*>(dest->ScanLine(i)), grey, dw);
  };
  if (filter == rfNone) {
    const std::vector<Integer> cols = NearestMap(sw, dw);
    const std::vector<Integer> rows = NearestMap(sh, dh);
    std::vector<Byte> grey(static_cast<size_t>(dw));
    for (Integer i = 0; i < dh; ++i) {
      ExpandBits(Row(source, rows[static_cast<size_t>(i)]), sw, bytes.data());
      for (Integer x = 0; x < dw; ++x)
        grey[static_cast<size_t>(x)] = bytes[static_cast<size_t>(cols[static_cast<size_t>(x)])];
      put(i, grey.data());
    }
    return;
  }
  const TKernel kernel = KernelOf(filter);
  if (kernel.func == nullptr) return;
  if (sw < 2 && sh < 2) {
    ExpandBits(Row(source, 0), 1, bytes.data());
    const Byte pixel[3] = {bytes[0], bytes[0], bytes[0]};
    FillRows(dest, pixel);
    return;
  }
  KernelResample<1>(
      sw, sh, dw, dh, kernel,
      [&](Integer y) {
        ExpandBits(Row(source, y), sw, bytes.data());
        return static_cast<const Byte*>(bytes.data());
      },
      put, TNoReport{});
}

void _ResampleLinear1Bit(TBitmap* source, TBitmap* dest, const TIEProgressEvent& onProgress,
                         TObject* sender) {
  if (!HasPixels(source) || !HasPixels(dest) || source == dest) return;
  if (source->GetPixelFormat() != pf1bit) return;
  const Integer sw = source->GetWidth(), sh = source->GetHeight();
  const Integer dw = dest->GetWidth(), dh = dest->GetHeight();
  if (sw == dw && sh == dh) {
    IECopyBitmap(source, dest);
    return;
  }
  if (dw < sw && dh < sh) {
    _SubResample1bitFiltered(source, 0, 0, sw - 1, sh - 1, dest);
    return;
  }
  dest->SetPixelFormat(pf24bit);
  TBitmap work;
  MakeWork(work, dw, sh, pf8bit);
  std::vector<Byte> bytes(static_cast<size_t>(sw));
  LinearResample<1, true>(
      sw, sh, dw, dh,
      [&](Integer y) {
        ExpandBits(Row(source, y), sw, bytes.data());
        return static_cast<const Byte*>(bytes.data());
      },
      [&](Integer y) { return static_cast<Byte*>(work.ScanLine(y)); },
      [&](Integer j, const Byte* grey) { PutGrey(static_cast<Byte*>(dest->ScanLine(j)), grey, dw); },
      TReporter{onProgress, sender});
}

void _SubResample1bitFiltered(TBitmap* source, Integer x1, Integer y1, Integer x2, Integer y2,
                              TBitmap* dest) {
  if (source == nullptr || dest == nullptr || source == dest) return;
  dest->SetPixelFormat(pf24bit);
  if (!HasPixels(source) || !HasPixels(dest)) return;
  if (source->GetPixelFormat() != pf1bit) return;
  const Integer dw = dest->GetWidth();
  SubResample1bit(source->GetWidth(), source->GetHeight(), x1, y1, x2, y2, dw, dest->GetHeight(),
                  [&](Integer y) { return Row(source, y); },
                  [&](Integer i, const Byte* grey) {
                    PutGrey(static_cast<Byte*>(dest->ScanLine(i)), grey, dw);
                  });
}

void _IEBmpStretch(TBitmap* source, TBitmap* dest) {
  if (source == nullptr || dest == nullptr || source == dest) return;
  const TPixelFormat format = source->GetPixelFormat();
  size_t bytes = 0;
  switch (format) {
    case pf1bit: bytes = 0; break;
    case pf8bit: bytes = 1; break;
    case pf15bit:
    case pf16bit: bytes = 2; break;
    case pf24bit: bytes = 3; break;
    case pf32bit: bytes = 4; break;
    default: return;
  }
  dest->SetPixelFormat(format);
  if (!HasPixels(source) || !HasPixels(dest)) return;
  const Integer sw = source->GetWidth(), sh = source->GetHeight();
  const Integer dw = dest->GetWidth(), dh = dest->GetHeight();
  const std::vector<Integer> cols = NearestMap(sw, dw);
  const std::vector<Integer> rows = NearestMap(sh, dh);
  for (Integer y = 0; y < dh; ++y) {
    const Byte* s = Row(source, rows[static_cast<size_t>(y)]);
    Byte* d = static_cast<Byte*>(dest->ScanLine(y));
    if (bytes == 0) {
      for (Integer x = 0; x < dw; ++x) _SetPixelbw(d, x, _GetPixelbw(s, cols[static_cast<size_t>(x)]));
      continue;
    }
    for (Integer x = 0; x < dw; ++x, d += bytes)
      std::memcpy(d, s + static_cast<size_t>(cols[static_cast<size_t>(x)]) * bytes, bytes);
  }
}
