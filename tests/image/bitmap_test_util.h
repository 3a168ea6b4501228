// Small helpers shared by the pixel-store tests: stores in each kind of storage,
// deterministic patterns, and pixel dumps that ignore row padding.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "image/model/iebitmap.h"
#include "image/model/ieutils.h"

namespace bitmap_test {

enum class Storage { Memory, File, Framework };

inline const char* StorageName(Storage s) {
  switch (s) {
    case Storage::Memory: return "Memory";
    case Storage::File: return "File";
    case Storage::Framework: return "Framework";
  }
  return "?";
}

inline std::string FormatName(TIEPixelFormat f) {
  const char* names[] = {"ienull", "ie1g", "ie8p", "ie8g", "ie16g", "ie24RGB"};
  return names[static_cast<int>(f)];
}

// A store of the given storage, allocated; File storage by a memory limit of 0.
inline std::unique_ptr<TIEBitmap> MakeStore(Storage storage, Integer w, Integer h,
                                            TIEPixelFormat format) {
  auto store = std::make_unique<TIEBitmap>();
  if (storage == Storage::File) store->SetMemoryLimit(0);
  if (storage == Storage::Framework) store->SetLocation(ieTBitmap);
  store->Allocate(w, h, format);
  return store;
}

inline TIELocation LocationOf(Storage s) {
  return s == Storage::Memory ? ieMemory : s == Storage::File ? ieFile : ieTBitmap;
}

// The pixel bytes of every row, without padding (unused bits of ie1g cleared).
inline std::vector<Byte> Pixels(TIEBitmap& b) {
  std::vector<Byte> out;
  const Integer w = b.GetWidth();
  const Integer bits = b.GetBitCount();
  const size_t bytes = (static_cast<size_t>(w) * static_cast<size_t>(bits) + 7) / 8;
  for (Integer y = 0; y < b.GetHeight(); ++y) {
    const auto* row = static_cast<const Byte*>(b.GetScanLine(y));
    out.insert(out.end(), row, row + bytes);
    if (bits == 1 && (w & 7) != 0) out.back() &= static_cast<Byte>(0xFF << (8 - (w & 7)));
  }
  return out;
}

// A pattern that differs from pixel to pixel: value of (x, y) in the format.
inline Integer PatternValue(Integer x, Integer y) { return (x * 37 + y * 101 + 11) & 0xFF; }

inline void FillPattern(TIEBitmap& b) {
  for (Integer y = 0; y < b.GetHeight(); ++y)
    for (Integer x = 0; x < b.GetWidth(); ++x) {
      const auto v = static_cast<Byte>(PatternValue(x, y));
      switch (b.GetPixelFormat()) {
        case ie1g: b.SetPixels_ie1g(x, y, (v & 1) != 0); break;
        case ie8p:
        case ie8g: b.SetPixels_ie8(x, y, v); break;
        case ie16g: b.SetPixels_ie16g(x, y, static_cast<Word>(v * 257 + x)); break;
        case ie24RGB:
          b.SetPixels_ie24RGB(x, y, TRGB{v, static_cast<Byte>(v ^ 0x5A), static_cast<Byte>(x + y)});
          break;
        case ienull: break;
      }
    }
  if (b.GetPixelFormat() == ie8p)
    for (Integer i = 0; i < 256; ++i)
      b.SetPalette(i, TRGB{static_cast<Byte>(i), static_cast<Byte>(255 - i), static_cast<Byte>(i / 2)});
}

// "x,y=value" for the first differing pixel byte, or "" when the dumps agree.
inline std::string FirstDifference(const std::vector<Byte>& expected, const std::vector<Byte>& actual) {
  if (expected.size() != actual.size())
    return "sizes " + std::to_string(expected.size()) + " vs " + std::to_string(actual.size());
  for (size_t i = 0; i < expected.size(); ++i)
    if (expected[i] != actual[i])
      return "byte " + std::to_string(i) + ": " + std::to_string(expected[i]) + " vs " +
             std::to_string(actual[i]);
  return "";
}

// R,G,B of every pixel, top row first, of an ie1g or ie24RGB store; ie1g bits are
// white when set.
inline std::vector<Byte> ToRgb(TIEBitmap& b) {
  std::vector<Byte> out;
  for (Integer y = 0; y < b.GetHeight(); ++y)
    for (Integer x = 0; x < b.GetWidth(); ++x) {
      if (b.GetPixelFormat() == ie1g) {
        const Byte v = b.GetPixels_ie1g(x, y) ? 255 : 0;
        out.insert(out.end(), {v, v, v});
      } else {
        const TRGB c = b.GetPixels_ie24RGB(x, y);
        out.insert(out.end(), {c.r, c.g, c.b});
      }
    }
  return out;
}

}  // namespace bitmap_test
