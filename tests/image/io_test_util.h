// What the input/output component's tests share: the GIF coder hooks installed for
// a test, a component with its end-of-work events counted, image comparison.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "image/formats/giflzw.h"
#include "tests/image/gif_coders.h"
#include "image/io/dadiravio.h"
#include "tests/image/codec_test_util.h"
#include "tests/image/file_test_util.h"
#include "tests/support/Peers.h"

namespace io_test {

// Installs the GIF coders for the test's time.
class IOTest : public ::testing::Test {
 protected:
  std::string Dir() const { return dir_.Path(); }

 private:
  larktest::ScopedGifCoders gifCoders_;
  larktest::TempDir dir_;
};

// A component that records its end-of-work calls ("p100" then "finish").
struct CountingIO {
  TDadirAvIO io{nullptr};
  std::vector<std::string> events;
  CountingIO() {
    io.OnProgress = [this](TObject*, Integer per) {
      if (per == 100) events.push_back("p100");
    };
    io.OnFinishWork = [this](TObject*) { events.push_back("finish"); };
  }
  int Finishes() const {
    int n = 0;
    for (const auto& e : events) n += e == "finish";
    return n;
  }
};

// The 24-bit pixels (converted when needed) of a store, rows from the top.
inline std::vector<Byte> Pixels(TIEBitmap& b) {
  std::vector<Byte> out;
  for (Integer y = 0; y < b.GetHeight(); ++y)
    for (Integer x = 0; x < b.GetWidth(); ++x) {
      if (b.GetPixelFormat() == ie1g) {
        Byte v = b.GetPixels_ie1g(x, y) ? 255 : 0;
        out.insert(out.end(), {v, v, v});
      } else {
        TRGB c = b.GetPixels_ie24RGB(x, y);
        out.insert(out.end(), {c.r, c.g, c.b});
      }
    }
  return out;
}

}  // namespace io_test
