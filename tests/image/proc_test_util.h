// Fixtures for the mask and processing-worker tests: stores and masks drawn as
// ASCII art, and read back the same way.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "image/model/iebitmap.h"
#include "image/model/iemask.h"
#include "image/proc/dadiravproc.h"

namespace proctest {

using Art = std::vector<std::string>;

inline std::string Join(const Art& art) {
  std::string s;
  for (const auto& line : art) s += line + "\n";
  return s;
}

// ie1g store: '#' white (bit 1), '.' black.
inline std::unique_ptr<TIEBitmap> Make1g(const Art& art) {
  auto b = std::make_unique<TIEBitmap>();
  b->Allocate(static_cast<Integer>(art[0].size()), static_cast<Integer>(art.size()), ie1g);
  for (size_t y = 0; y < art.size(); ++y)
    for (size_t x = 0; x < art[y].size(); ++x)
      b->SetPixels_ie1g(static_cast<Integer>(x), static_cast<Integer>(y), art[y][x] == '#');
  return b;
}

inline Art Read1g(TIEBitmap& b) {
  Art art(static_cast<size_t>(b.GetHeight()), std::string(static_cast<size_t>(b.GetWidth()), '.'));
  for (Integer y = 0; y < b.GetHeight(); ++y)
    for (Integer x = 0; x < b.GetWidth(); ++x)
      if (b.GetPixels_ie1g(x, y)) art[static_cast<size_t>(y)][static_cast<size_t>(x)] = '#';
  return art;
}

// Stores whose pixels are named by characters.
using Palette = std::map<char, TRGB>;

inline std::unique_ptr<TIEBitmap> Make24(const Art& art, const Palette& colors) {
  auto b = std::make_unique<TIEBitmap>();
  b->Allocate(static_cast<Integer>(art[0].size()), static_cast<Integer>(art.size()), ie24RGB);
  for (size_t y = 0; y < art.size(); ++y)
    for (size_t x = 0; x < art[y].size(); ++x)
      b->SetPixels_ie24RGB(static_cast<Integer>(x), static_cast<Integer>(y), colors.at(art[y][x]));
  return b;
}

// The characters of the colours; '?' for a colour not in the palette.
inline Art Read24(TIEBitmap& b, const Palette& colors) {
  Art art(static_cast<size_t>(b.GetHeight()), std::string(static_cast<size_t>(b.GetWidth()), '?'));
  for (Integer y = 0; y < b.GetHeight(); ++y)
    for (Integer x = 0; x < b.GetWidth(); ++x)
      for (const auto& [ch, c] : colors)
        if (b.GetPixels_ie24RGB(x, y) == c) art[static_cast<size_t>(y)][static_cast<size_t>(x)] = ch;
  return art;
}

// 8-bit stores: each character's code is the value.
inline std::unique_ptr<TIEBitmap> Make8(const Art& art, TIEPixelFormat format) {
  auto b = std::make_unique<TIEBitmap>();
  b->Allocate(static_cast<Integer>(art[0].size()), static_cast<Integer>(art.size()), format);
  for (size_t y = 0; y < art.size(); ++y)
    for (size_t x = 0; x < art[y].size(); ++x)
      b->SetPixels_ie8(static_cast<Integer>(x), static_cast<Integer>(y), static_cast<Byte>(art[y][x]));
  return b;
}

inline Art Read8(TIEBitmap& b) {
  Art art(static_cast<size_t>(b.GetHeight()), std::string(static_cast<size_t>(b.GetWidth()), ' '));
  for (Integer y = 0; y < b.GetHeight(); ++y)
    for (Integer x = 0; x < b.GetWidth(); ++x)
      art[static_cast<size_t>(y)][static_cast<size_t>(x)] = static_cast<char>(b.GetPixels_ie8(x, y));
  return art;
}

// 1-bit masks: '#' selected.
inline void FillMask(TIEMask& mask, const Art& art) {
  mask.AllocateBits(static_cast<Integer>(art[0].size()), static_cast<Integer>(art.size()), 1);
  for (size_t y = 0; y < art.size(); ++y)
    for (size_t x = 0; x < art[y].size(); ++x)
      if (art[y][x] == '#') mask.SetPixel(static_cast<Integer>(x), static_cast<Integer>(y), 1);
}

inline Art ReadMask(const TIEMask& mask) {
  Art art(static_cast<size_t>(mask.GetHeight()), std::string(static_cast<size_t>(mask.GetWidth()), '.'));
  for (Integer y = 0; y < mask.GetHeight(); ++y)
    for (Integer x = 0; x < mask.GetWidth(); ++x)
      if (mask.GetPixel(x, y) != 0) art[static_cast<size_t>(y)][static_cast<size_t>(x)] = '#';
  return art;
}

struct Box {
  Integer x1, y1, x2, y2;
  bool operator==(const Box&) const = default;
};
inline void PrintTo(const Box& b, std::ostream* os) {
  *os << "(" << b.x1 << "," << b.y1 << ")-(" << b.x2 << "," << b.y2 << ")";
}
inline Box BoxOf(const TIEMask& m) { return Box{m.GetX1(), m.GetY1(), m.GetX2(), m.GetY2()}; }
inline constexpr Box EmptyBox{TIEMask::kEmptyBoxX1, TIEMask::kEmptyBoxX1, 0, 0};

// A component whose selection is a mask the test draws, as a view's would be.
class SelectingProc : public TDadirAvProc {
 public:
  SelectingProc() : TDadirAvProc(nullptr) {}
  bool GetReSel(Integer& x1, Integer& y1, Integer& x2, Integer& y2, POINT*& polySel,
                Integer& polySelCount, TIEMask*& mask) override {
    TDadirAvProc::GetReSel(x1, y1, x2, y2, polySel, polySelCount, mask);
    if (Selection.GetWidth() == 0 || Selection.IsEmpty()) return false;
    mask = &Selection;
    x1 = Selection.GetX1();
    y1 = Selection.GetY1();
    x2 = Selection.GetX2() + 1;
    y2 = Selection.GetY2() + 1;
    return true;
  }
  // Selects the rectangle x1..x2, y1..y2 (inclusive) of a w x h image.
  void SelectRect(Integer w, Integer h, Integer x1, Integer y1, Integer x2, Integer y2) {
    Selection.AllocateBits(w, h, 1);
    for (Integer y = y1; y <= y2; ++y)
      for (Integer x = x1; x <= x2; ++x) Selection.SetPixel(x, y, 1);
  }
  TIEMask Selection;
};

}  // namespace proctest

// Art compares with a readable diff on failure.
#define EXPECT_ART(actual, expected) EXPECT_EQ(proctest::Join(actual), proctest::Join(expected))
