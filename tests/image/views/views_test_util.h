// A form holding a view, pictures made by ImageMagick, the view's back buffer read
// back as bytes, PSNR, and writing what a person should look at.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>

#include "image/model/iebitmap.h"
#include "image/views/dadirav.h"
#include "platform/sim/Screen.h"
#include "platform/vcl/Application.h"
#include "platform/vcl/Forms.h"
#include "tests/image/file_test_util.h"
#include "tests/support/Peers.h"
#include "tests/support/Pump.h"

namespace viewtest {

inline constexpr char kPython[] = "/usr/bin/python3";
inline constexpr char kConvert[] = "convert-im6.q16";

inline void Pump() {
  Application->ProcessMessages();
  larktest::PumpUntilIdle();
  Application->ProcessMessages();
}

// Where pictures for a person go: the build folder, kept after the run.
inline std::string ShotPath(const std::string& name) {
  return std::string(LARK_TEST_BINARY_DIR) + "/views_" + name + ".png";
}

// A photograph from ImageMagick's built-in rose, scaled to width x height, with a
// fractal sky blended over it so every part of the picture has detail.
inline std::string MakePhotoFile(const std::string& dir, Integer width, Integer height,
                                 const std::string& name = "photo.png") {
  const std::string convert = larktest::RequireProgram(kConvert);
  if (convert.empty()) return {};
  const std::string path = dir + name;
  const std::string size = std::to_string(width) + "x" + std::to_string(height);
  int code = -1;
  const std::string log = larktest::RunCommand(
      {convert, "rose:", "-resize", size + "!", "(", "-seed", "7", "-size", size,
       "plasma:fractal", ")", "-compose", "blend", "-define", "compose:args=35", "-composite",
       "-type", "TrueColor", path},
      &code);
  EXPECT_EQ(code, 0) << log;
  return code == 0 ? path : std::string();
}

// A form whose client area is a view: no border, so the view's client area is the
// form's.
template <class View = TDadirAv>
struct ViewForm {
  explicit ViewForm(Integer clientWidth = 300, Integer clientHeight = 300,
                    TScrollStyle bars = ssNone) {
    form = std::make_unique<TForm>(nullptr);
    form->SetBounds(20, 20, clientWidth + 40, clientHeight + 60);
    view = new View(form.get());
    view->SetParent(form.get());
    view->SetBorderStyle(TBorderStyle::bsNone);
    view->SetScrollBars(bars);
    view->SetBounds(0, 0, clientWidth, clientHeight);
    // The form's client area is the view, so a shot of the form shows where in the
    // view the picture sits.
    form->SetClientWidth(clientWidth);
    form->SetClientHeight(clientHeight);
    form->Show();
    Pump();
  }
  // The view's surface after the pending paint.
  void Paint() {
    view->Invalidate();
    Pump();
  }
  std::unique_ptr<TForm> form;
  View* view = nullptr;  // owned by the form
};

// A store's pixels into a framework bitmap of the same size.
inline std::unique_ptr<TIEBitmap> LoadStore(const std::string& path) {
  auto view = std::make_unique<TDadirAv>(nullptr);
  view->LoadFromFile(path.c_str());
  auto copy = std::make_unique<TIEBitmap>();
  copy->SetLocation(ieMemory);
  copy->Assign(view->GetIEBitmap());
  return copy;
}

// The colour of a pf24bit bitmap's pixel as (r, g, b).
struct Rgb {
  int r, g, b;
  bool operator==(const Rgb&) const = default;
};

inline Rgb PixelOf(TBitmap* bitmap, Integer x, Integer y) {
  const auto* row = static_cast<const Byte*>(bitmap->ScanLine(y));
  return Rgb{row[x * 3 + 2], row[x * 3 + 1], row[x * 3]};
}

inline Rgb PixelOf(TIEBitmap* store, Integer x, Integer y) {
  const TRGB p = store->GetPixels(x, y);
  return Rgb{p.r, p.g, p.b};
}

// Bytes of a rectangle of a pf24bit bitmap in (r, g, b) order, rows from the top.
inline std::string RectBytes(TBitmap* bitmap, Integer x, Integer y, Integer w, Integer h) {
  std::string out;
  for (Integer r = 0; r < h; ++r) {
    const auto* row = static_cast<const Byte*>(bitmap->ScanLine(y + r));
    for (Integer c = 0; c < w; ++c) {
      out.push_back(static_cast<char>(row[(x + c) * 3 + 2]));
      out.push_back(static_cast<char>(row[(x + c) * 3 + 1]));
      out.push_back(static_cast<char>(row[(x + c) * 3]));
    }
  }
  return out;
}

inline std::string StoreBytes(TIEBitmap* store) {
  std::string out;
  for (Integer y = 0; y < store->GetHeight(); ++y)
    for (Integer x = 0; x < store->GetWidth(); ++x) {
      const TRGB p = store->GetPixels(x, y);
      out.push_back(static_cast<char>(p.r));
      out.push_back(static_cast<char>(p.g));
      out.push_back(static_cast<char>(p.b));
    }
  return out;
}

inline double Psnr(const std::string& a, const std::string& b) {
  if (a.size() != b.size() || a.empty()) return 0;
  double sum = 0;
  for (size_t i = 0; i < a.size(); ++i) {
    const double d = static_cast<double>(static_cast<Byte>(a[i])) - static_cast<Byte>(b[i]);
    sum += d * d;
  }
  const double mse = sum / static_cast<double>(a.size());
  return mse == 0 ? 99 : 10 * std::log10(255.0 * 255.0 / mse);
}

// Runs a Python snippet with Debian's python3 (Pillow and numpy) and answers the
// bytes it writes to the path in `out_path`.
inline std::string RunPython(const std::string& dir, const std::string& snippet) {
  const std::string python = larktest::RequireProgram(kPython);
  if (python.empty()) return {};
  const std::string outPath = dir + "python.out";
  int code = -1;
  const std::string log = larktest::RunCommand(
      {python, "-c", "out_path = '" + outPath + "'\n" + snippet}, &code);
  EXPECT_EQ(code, 0) << log;
  if (code != 0) return {};
  return file_test::ReadFile(outPath);
}

}  // namespace viewtest
