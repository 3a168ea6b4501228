// What the tests of the smaller codecs share: decoding a file with Pillow as the
// independent reference, our pixels in the same layout, memory streams from bytes.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "image/model/iebitmap.h"
#include "image/model/iemask.h"
#include "platform/rtl/Streams.h"
#include "tests/support/Peers.h"

namespace codec_test {

using Bytes = std::vector<Byte>;
inline const char kPython[] = "/usr/bin/python3";

// Pixels as red, green, blue, alpha bytes, rows from the top.
struct Rgba {
  int width = 0;
  int height = 0;
  Bytes pixels;
  bool ok() const { return width > 0 && height > 0; }
};

// The file as Pillow decodes it (frame `frame` when not negative); empty when
// Pillow fails.
inline Rgba PillowDecode(const std::string& path, int frame = -1) {
  std::vector<std::string> argv = {kPython, std::string(LARK_TEST_DATA) + "/codecs/pil_decode.py", path};
  if (frame >= 0) argv.push_back(std::to_string(frame));
  int rc = 0;
  const std::string out = larktest::RunCommand(argv, &rc);
  Rgba r;
  const size_t nl = out.find('\n');
  if (rc != 0 || nl == std::string::npos) return r;
  r.width = std::atoi(out.c_str());
  r.height = std::atoi(out.c_str() + out.find(' ') + 1);
  r.pixels.assign(out.begin() + static_cast<std::ptrdiff_t>(nl + 1), out.end());
  if (r.pixels.size() != static_cast<size_t>(r.width) * r.height * 4) r.width = r.height = 0;
  return r;
}

// Our bitmap (and mask, when given; opaque otherwise) in the same layout.
inline Rgba OurPixels(TIEBitmap& b, TIEMask* mask = nullptr) {
  Rgba r;
  r.width = b.GetWidth();
  r.height = b.GetHeight();
  for (Integer y = 0; y < r.height; ++y)
    for (Integer x = 0; x < r.width; ++x) {
      Byte a = mask != nullptr ? static_cast<Byte>(mask->GetPixel(x, y)) : 255;
      if (b.GetPixelFormat() == ie1g) {
        const Byte v = b.GetPixels_ie1g(x, y) ? 255 : 0;
        r.pixels.insert(r.pixels.end(), {v, v, v, a});
      } else {
        const TRGB c = b.GetPixels_ie24RGB(x, y);
        r.pixels.insert(r.pixels.end(), {c.r, c.g, c.b, a});
      }
    }
  return r;
}

// Pixels equal, or (with ignoreRgbWhereTransparent) equal where the alpha is not 0.
inline ::testing::AssertionResult SameRgba(const Rgba& ours, const Rgba& theirs, bool compareAlpha = true,
                                           int tolerance = 0) {
  if (ours.width != theirs.width || ours.height != theirs.height)
    return ::testing::AssertionFailure() << "size " << ours.width << "x" << ours.height << " vs " << theirs.width
                                         << "x" << theirs.height;
  for (size_t i = 0; i < ours.pixels.size(); i += 4) {
    const bool transparent = theirs.pixels[i + 3] == 0;
    for (size_t c = 0; c < 4; ++c) {
      if (c == 3 && !compareAlpha) continue;
      if (c < 3 && transparent && compareAlpha) continue;
      if (std::abs(ours.pixels[i + c] - theirs.pixels[i + c]) > tolerance)
        return ::testing::AssertionFailure()
               << "pixel " << (i / 4) % static_cast<size_t>(ours.width) << "," << (i / 4) / static_cast<size_t>(ours.width)
               << " channel " << c << ": " << int(ours.pixels[i + c]) << " vs " << int(theirs.pixels[i + c]);
    }
  }
  return ::testing::AssertionSuccess();
}

inline void Fill(TMemoryStream& s, const Bytes& data) {
  s.Clear();
  if (!data.empty()) s.WriteBuffer(data.data(), static_cast<Integer>(data.size()));
  s.SetPosition(0);
}
inline void Fill(TMemoryStream& s, const std::string& data) {
  Fill(s, Bytes(data.begin(), data.end()));
}
inline Bytes Contents(TMemoryStream& s) {
  Bytes b(static_cast<size_t>(s.GetSize()));
  s.SetPosition(0);
  if (!b.empty()) s.ReadBuffer(b.data(), static_cast<Integer>(b.size()));
  return b;
}

// A 24-bit image with a pattern that changes from pixel to pixel.
inline void Pattern(TIEBitmap& b, Integer w, Integer h, int colours = 0) {
  b.Allocate(w, h, ie24RGB);
  for (Integer y = 0; y < h; ++y)
    for (Integer x = 0; x < w; ++x) {
      Byte r = static_cast<Byte>(x * 7 + y * 3), g = static_cast<Byte>(x * 2 + y * 11), bl = static_cast<Byte>(x ^ y);
      if (colours > 0) {  // a few flat colours
        const int k = (x / 3 + y / 2) % colours;
        r = static_cast<Byte>(k * 37);
        g = static_cast<Byte>(255 - k * 23);
        bl = static_cast<Byte>(k * 91);
      }
      b.SetPixels_ie24RGB(x, y, TRGB{bl, g, r});
    }
}

}  // namespace codec_test
