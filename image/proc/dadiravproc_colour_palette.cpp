// Palette reduction of 24-bit stores through the quantizer, the nearest palette
// entry, logical palettes, and the one-row converter between bit depths that the
// image writers and readers use.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include "image/formats/neurquant.h"
#include "image/model/iebitmap.h"
#include "image/proc/dadiravproc.h"
#include "image/proc/dadiravproc_internal.h"
#include "platform/rtl/Math.h"

using namespace dadiravproc_detail;

void _ConvertToEx(TIEBitmap* bitmap, Integer numColors, TRGB* palette,
                  const TIEProgressEvent& onProgress, TObject* sender) {
  if (!HasPixels(bitmap) || bitmap->GetPixelFormat() != ie24RGB || numColors < 1) return;
  std::vector<TRGB> own;
  if (palette == nullptr) {
    own.resize(static_cast<size_t>(numColors));
    palette = own.data();
  }
  const std::span<TRGB> entries(palette, static_cast<size_t>(numColors));
  const TIEQuantizer quantizer(bitmap, entries, numColors, -1, 0);
  const Integer width = bitmap->GetWidth();
  const Integer height = bitmap->GetHeight();
  for (Integer y = 0; y < height; ++y) {
    TRGB* p = static_cast<TRGB*>(bitmap->GetScanLine(y));
    for (Integer x = 0; x < width; ++x, ++p) {
      Integer index = quantizer.GetRGBIndex(*p);
      // An exact list answers -1 only for a colour it never saw; take the nearest.
      if (index < 0 || index >= numColors) index = _GetSimilColor(palette, numColors, *p);
      *p = palette[index];
    }
    if (onProgress)
      onProgress(sender, std::min<Integer>(100, static_cast<Integer>(Trunc(100 / (height + 0.5) * (y + 1)))));
  }
}

Integer _GetSimilColor(const TRGB* palette, Integer count, TRGB color) {
  if (palette == nullptr) return 0;
  Integer best = 1000;
  Integer result = 0;
  for (Integer i = 0; i < count; ++i) {
    const TRGB& e = palette[i];
    const Integer d = std::abs(e.r - color.r) + std::abs(e.g - color.g) + std::abs(e.b - color.b);
    if (d < best) {
      best = d;
      result = i;
    }
  }
  return result;
}

HPALETTE _CreateWinPalette(const TRGB* palette, Integer count) {
  count = std::clamp(count, 0, 256);
  if (palette == nullptr) count = 0;
  // LOGPALETTE ends in a one-entry array: room for count entries follows it.
  std::vector<Byte> block(sizeof(LOGPALETTE) + sizeof(PALETTEENTRY) * static_cast<size_t>(count));
  auto* log = new (block.data()) LOGPALETTE;
  log->palVersion = 0x300;
  log->palNumEntries = static_cast<WORD>(count);
  auto* entries = reinterpret_cast<PALETTEENTRY*>(block.data() + offsetof(LOGPALETTE, palPalEntry));
  for (Integer i = 0; i < count; ++i)
    entries[i] = PALETTEENTRY{palette[i].r, palette[i].g, palette[i].b, 0};
  return CreatePalette(log);
}

Integer _ConvertXBitsToYBits(const Byte* src, Byte* dst, Word srcBits, Word dstBits, Word width,
                             std::span<const TRGB> palette, const TIEQuantizer* quantizer) {
  const Integer w = width;
  const auto rowLen = [w](Integer bits) -> Integer {
    switch (bits) {
      case 1: return (w + 7) / 8;
      case 4: return (w + 1) / 2;
      case 8: return w;
      case 24: return 3 * w;
      default: return 0;
    }
  };
  const Integer result = rowLen(dstBits);
  if (src == nullptr || dst == nullptr) return result;
  const auto color = [&palette](Integer index) {
    return static_cast<size_t>(index) < palette.size() ? palette[static_cast<size_t>(index)] : TRGB{};
  };
  const auto quantize = [quantizer](const Byte* p) -> Byte {
    if (quantizer == nullptr) return 0;
    return static_cast<Byte>(std::max(quantizer->GetRGBIndex(TRGB{p[0], p[1], p[2]}), 0));
  };
  const auto bit = [src](Integer i) -> Byte { return (src[i >> 3] >> (7 - (i & 7))) & 1; };
  const auto nibble = [src](Integer i) -> Byte {
    return (i & 1) == 0 ? static_cast<Byte>(src[i >> 1] >> 4) : static_cast<Byte>(src[i >> 1] & 0x0F);
  };
  const auto putNibble = [dst](Integer i, Byte v) {
    dst[i >> 1] |= (i & 1) == 0 ? static_cast<Byte>((v & 0x0F) << 4) : static_cast<Byte>(v & 0x0F);
  };
  const auto put24 = [dst](Integer i, TRGB c) { std::memcpy(dst + 3 * static_cast<size_t>(i), &c, 3); };

  switch (srcBits * 100 + dstBits) {
    case 2404:
      for (Integer i = 0; i < w; ++i) putNibble(i, quantize(src + 3 * i));
      break;
    case 2408:
      for (Integer i = 0; i < w; ++i) dst[i] = quantize(src + 3 * i);
      break;
    case 2424:
    case 808:
    case 101:
    case 404:
      std::memmove(dst, src, static_cast<size_t>(rowLen(srcBits)));
      break;
    case 3224:
      for (Integer i = 0; i < w; ++i) std::memmove(dst + 3 * i, src + 4 * i, 3);
      break;
    case 801:
      std::memset(dst, 0, static_cast<size_t>(rowLen(1)));
      for (Integer i = 0; i < w; ++i) dst[i >> 3] |= static_cast<Byte>((src[i] & 1) << (7 - (i & 7)));
      break;
    case 824:
      for (Integer i = 0; i < w; ++i) put24(i, color(src[i]));
      break;
    case 104:
      for (Integer i = 0; i < w; ++i) putNibble(i, bit(i));
      break;
    case 108:
      for (Integer i = 0; i < w; ++i) dst[i] = bit(i);
      break;
    case 124:
      for (Integer i = 0; i < w; ++i) put24(i, color(bit(i)));
      break;
    case 408:
      for (Integer i = 0; i < w; ++i) dst[i] = nibble(i);
      break;
    case 424:
      for (Integer i = 0; i < w; ++i) put24(i, color(nibble(i)));
      break;
    default:
      break;
  }
  return result;
}
