// Running the processing workers beside numpy, scipy and OpenCV: a store goes to
// Debian's python3 as an array, a snippet computes the peer's answer, and the answer
// comes back as bytes of the same shape.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <memory>
#include <string>

#include "image/model/iebitmap.h"
#include "tests/image/file_test_util.h"
#include "tests/support/Peers.h"

namespace procpeer {

inline constexpr char kPython[] = "/usr/bin/python3";

// A deterministic picture with smooth gradients, edges and noise, so filters see
// every kind of neighbourhood.
inline std::unique_ptr<TIEBitmap> MakePhoto(Integer width, Integer height, TIEPixelFormat format = ie24RGB,
                                            uint32_t seed = 1) {
  auto b = std::make_unique<TIEBitmap>();
  b->SetLocation(ieMemory);
  b->Allocate(width, height, format);
  uint32_t state = seed;
  auto noise = [&] {
    state = state * 1664525u + 1013904223u;
    return static_cast<Integer>((state >> 24) % 32) - 16;
  };
  auto level = [&](Integer x, Integer y, Integer c) {
    Integer v = (x * 255 / std::max(width - 1, 1) + y * 97 / std::max(height, 1) + c * 60) % 256;
    if ((x / 7 + y / 5) % 3 == 0) v = 255 - v;  // hard edges
    v += noise();
    return static_cast<Byte>(std::clamp(v, 0, 255));
  };
  for (Integer y = 0; y < height; ++y) {
    Byte* row = static_cast<Byte*>(b->GetScanLine(y));
    for (Integer x = 0; x < width; ++x) {
      if (format == ie24RGB)
        for (Integer c = 0; c < 3; ++c) row[x * 3 + c] = level(x, y, c);
      else
        row[x] = level(x, y, 0);
    }
  }
  return b;
}

// The pixel bytes of an ie24RGB or ie8g store, rows from the top, no padding.
inline std::string Bytes(TIEBitmap& b) {
  const Integer per = b.GetPixelFormat() == ie24RGB ? 3 : 1;
  std::string out;
  for (Integer y = 0; y < b.GetHeight(); ++y)
    out.append(static_cast<const char*>(b.GetScanLine(y)), static_cast<size_t>(b.GetWidth() * per));
  return out;
}

// Runs snippet with `a`, the store as a uint8 array of shape (height, width, 3) in
// the store's byte order (blue, green, red) or (height, width) for ie8g; the snippet
// sets `out`, which comes back as uint8 bytes in the same layout. Empty (and a
// test failure) when the peer fails.
inline std::string RunNumpy(TIEBitmap& in, const std::string& snippet) {
  const std::string python = larktest::RequireProgram(kPython);
  if (python.empty()) return {};
  larktest::TempDir dir;
  const std::string inPath = dir.Path() + "in.raw", outPath = dir.Path() + "out.raw";
  file_test::WriteFile(inPath, Bytes(in));
  const bool colour = in.GetPixelFormat() == ie24RGB;
  const std::string shape = std::to_string(in.GetHeight()) + "," + std::to_string(in.GetWidth()) +
                            (colour ? ",3" : "");
  const std::string script = "import numpy as np\n"
                             "a = np.fromfile('" + inPath + "', dtype=np.uint8).reshape((" + shape + "))\n" +
                             snippet +
                             "\nnp.ascontiguousarray(out, dtype=np.uint8).tofile('" + outPath + "')\n";
  int code = -1;
  const std::string log = larktest::RunCommand({python, "-c", script}, &code);
  EXPECT_EQ(code, 0) << log;
  if (code != 0) return {};
  return file_test::ReadFile(outPath);
}

// Peak signal-to-noise ratio of two byte strings of one length, in dB (infinity when
// equal).
inline double Psnr(const std::string& a, const std::string& b) {
  if (a.size() != b.size() || a.empty()) return 0;
  double sum = 0;
  for (size_t i = 0; i < a.size(); ++i) {
    const double d = static_cast<double>(static_cast<Byte>(a[i])) - static_cast<Byte>(b[i]);
    sum += d * d;
  }
  if (sum == 0) return INFINITY;
  return 10 * std::log10(255.0 * 255.0 / (sum / static_cast<double>(a.size())));
}

// Index of the first differing byte, or -1.
inline long FirstDifference(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return 0;
  for (size_t i = 0; i < a.size(); ++i)
    if (a[i] != b[i]) return static_cast<long>(i);
  return -1;
}

}  // namespace procpeer
