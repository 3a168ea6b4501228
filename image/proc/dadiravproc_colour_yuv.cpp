// YUV video frames (the FOURCC layouts of capture drivers and codecs) into 24-bit
// stores, with the BT.601 video-range conversion.
#include <algorithm>

#include "image/model/iebitmap.h"
#include "image/proc/dadiravproc.h"
#include "platform/rtl/Math.h"

namespace {

struct YUV {
  Integer Y, U, V;
};

Byte Channel(double v) {
  const Int64 r = Round(v);
  return static_cast<Byte>(r < 0 ? 0 : (r > 255 ? 255 : r));
}

bool DestReady(TIEBaseBitmap* dest) {
  return dest != nullptr && dest->GetPixelFormat() == ie24RGB && dest->GetWidth() > 0 &&
         dest->GetHeight() > 0;
}

TRGB* DestRow(TIEBaseBitmap* dest, Integer k, bool topDown) {
  return static_cast<TRGB*>(dest->GetScanLine(topDown ? k : dest->GetHeight() - 1 - k));
}

// Packed layouts: each row holds ceil(width / groupPixels) groups of groupBytes;
// pixelOf(group, n) gives the samples of pixel n (0..groupPixels-1) of a group.
template <typename PixelOf>
bool Packed(const Byte* src, TIEBaseBitmap* dest, bool topDown, Int64 srcSize, Integer groupBytes,
            Integer groupPixels, PixelOf pixelOf) {
  if (src == nullptr || !DestReady(dest)) return false;
  const Integer width = dest->GetWidth();
  const Integer height = dest->GetHeight();
  const Int64 rowBytes = Int64{(width + groupPixels - 1) / groupPixels} * groupBytes;
  if (srcSize >= 0 && rowBytes * height > srcSize) return false;
  for (Integer k = 0; k < height; ++k) {
    const Byte* g = src + rowBytes * k;
    TRGB* out = DestRow(dest, k, topDown);
    for (Integer x = 0; x < width; x += groupPixels, g += groupBytes) {
      const Integer n = std::min(groupPixels, width - x);
      for (Integer i = 0; i < n; ++i) {
        const YUV s = pixelOf(g, i);
        YUV2RGB(s.Y, s.U, s.V, out[x + i]);
      }
    }
  }
  return true;
}

// Planar layouts: the Y plane, then two chroma planes of (width div sub) x (height
// div sub) samples, U first or V first.
bool Planar(const Byte* src, TIEBaseBitmap* dest, bool topDown, Int64 srcSize, Integer sub,
            bool uFirst) {
  if (src == nullptr || !DestReady(dest)) return false;
  const Integer width = dest->GetWidth();
  const Integer height = dest->GetHeight();
  const Integer cw = width / sub, ch = height / sub;
  const Int64 lumaBytes = Int64{width} * height;
  const Int64 chromaBytes = Int64{cw} * ch;
  if (srcSize >= 0 && lumaBytes + 2 * chromaBytes > srcSize) return false;
  const Byte* first = src + lumaBytes;
  const Byte* second = first + chromaBytes;
  const Byte* uPlane = uFirst ? first : second;
  const Byte* vPlane = uFirst ? second : first;
  for (Integer k = 0; k < height; ++k) {
    const Byte* luma = src + Int64{width} * k;
    TRGB* out = DestRow(dest, k, topDown);
    if (chromaBytes == 0) {
      // Too small for one chroma sample: no colour.
      for (Integer x = 0; x < width; ++x) YUV2RGB(luma[x], 128, 128, out[x]);
      continue;
    }
    // Source row k uses chroma row k div sub; rows and columns beyond an odd-sized
    // plane repeat its last sample.
    const Int64 chromaRow = Int64{std::min(k / sub, ch - 1)} * cw;
    for (Integer x = 0; x < width; ++x) {
      const Int64 c = chromaRow + std::min(x / sub, cw - 1);
      YUV2RGB(luma[x], uPlane[c], vPlane[c], out[x]);
    }
  }
  return true;
}

}  // namespace

void YUV2RGB(Integer Y, Integer U, Integer V, TRGB& c) {
  const double d = (Y - 16) * 1.164;
  c.b = Channel(d + 2.018 * (U - 128));
  c.g = Channel(d - 0.813 * (V - 128) - 0.391 * (U - 128));
  c.r = Channel(d + 1.596 * (V - 128));
}

bool _CopyIYU1ToBitmap(const Byte* src, TIEBaseBitmap* dest, bool topDown, Int64 srcSize) {
  // U, Y0, Y1, V, Y2, Y3
  static constexpr Integer luma[4] = {1, 2, 4, 5};
  return Packed(src, dest, topDown, srcSize, 6, 4,
                [](const Byte* g, Integer n) { return YUV{g[luma[n]], g[0], g[3]}; });
}

bool _CopyIYU2ToBitmap(const Byte* src, TIEBaseBitmap* dest, bool topDown, Int64 srcSize) {
  // U, Y, V
  return Packed(src, dest, topDown, srcSize, 3, 1,
                [](const Byte* g, Integer) { return YUV{g[1], g[0], g[2]}; });
}

bool _CopyUYVYToBitmap(const Byte* src, TIEBaseBitmap* dest, bool topDown, Int64 srcSize) {
  // U, Y0, V, Y1
  return Packed(src, dest, topDown, srcSize, 4, 2,
                [](const Byte* g, Integer n) { return YUV{g[1 + 2 * n], g[0], g[2]}; });
}

bool _CopyYUY2ToBitmap(const Byte* src, TIEBaseBitmap* dest, bool topDown, Int64 srcSize) {
  // Y0, U, Y1, V
  return Packed(src, dest, topDown, srcSize, 4, 2,
                [](const Byte* g, Integer n) { return YUV{g[2 * n], g[1], g[3]}; });
}

bool _CopyYVYUToBitmap(const Byte* src, TIEBaseBitmap* dest, bool topDown, Int64 srcSize) {
  // Y0, V, Y1, U
  return Packed(src, dest, topDown, srcSize, 4, 2,
                [](const Byte* g, Integer n) { return YUV{g[2 * n], g[3], g[1]}; });
}

bool _CopyY41PToBitmap(const Byte* src, TIEBaseBitmap* dest, bool topDown, Int64 srcSize) {
  // U0, Y0, V0, Y1, U4, Y2, V4, Y3, Y4, Y5, Y6, Y7
  static constexpr Integer luma[8] = {1, 3, 5, 7, 8, 9, 10, 11};
  return Packed(src, dest, topDown, srcSize, 12, 8, [](const Byte* g, Integer n) {
    return n < 4 ? YUV{g[luma[n]], g[0], g[2]} : YUV{g[luma[n]], g[4], g[6]};
  });
}

bool _CopyY211ToBitmap(const Byte* src, TIEBaseBitmap* dest, bool topDown, Int64 srcSize) {
  // Ya, U, Yb, V: pixels 0 and 1 take Ya, 2 and 3 take Yb
  return Packed(src, dest, topDown, srcSize, 4, 4,
                [](const Byte* g, Integer n) { return YUV{n < 2 ? g[0] : g[2], g[1], g[3]}; });
}

bool _CopyCLJRToBitmap(const Byte* src, TIEBaseBitmap* dest, bool topDown, Int64 srcSize) {
  // A little-endian word: V bits 0-5, U 6-11, then four 5-bit lumas from bit 12. The
  // fields go to YUV2RGB at their own scale.
  return Packed(src, dest, topDown, srcSize, 4, 4, [](const Byte* g, Integer n) {
    const DWORD w = DWORD{g[0]} | (DWORD{g[1]} << 8) | (DWORD{g[2]} << 16) | (DWORD{g[3]} << 24);
    return YUV{static_cast<Integer>((w >> (12 + 5 * n)) & 0x1F), static_cast<Integer>((w >> 6) & 0x3F),
               static_cast<Integer>(w & 0x3F)};
  });
}

bool _CopyYVU9ToBitmap(const Byte* src, TIEBaseBitmap* dest, bool topDown, Int64 srcSize) {
  return Planar(src, dest, topDown, srcSize, 4, false);
}

bool _CopyYV12ToBitmap(const Byte* src, TIEBaseBitmap* dest, bool topDown, Int64 srcSize) {
  return Planar(src, dest, topDown, srcSize, 2, false);
}

bool _CopyI420ToBitmap(const Byte* src, TIEBaseBitmap* dest, bool topDown, Int64 srcSize) {
  return Planar(src, dest, topDown, srcSize, 2, true);
}
