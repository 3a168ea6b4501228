// Distortion effects: lens, wave and bump mapping.
#include <gtest/gtest.h>

#include <string>

#include "image/model/iebitmap.h"
#include "image/proc/dadiravproc.h"
#include "tests/image/proc_peer_util.h"

using procpeer::Bytes;
using procpeer::MakePhoto;

TEST(ProcDistort, LensRefractsOnlyInsideItsEllipse) {
  auto image = MakePhoto(60, 40);
  const std::string before = Bytes(*image);
  TProgressRec progress;
  // Refraction 1 (and below) bends nothing.
  _lens(image.get(), 30, 20, 30, 20, 0.5, progress);
  EXPECT_EQ(Bytes(*image), before);
  _lens(image.get(), 30, 20, 30, 20, 1.7, progress);
  EXPECT_NE(Bytes(*image), before);
  auto original = MakePhoto(60, 40);
  for (Integer y = 0; y < 40; ++y)
    for (Integer x = 0; x < 60; ++x)
      if (x < 15 || x >= 45 || y < 10 || y >= 30) {
        ASSERT_EQ(image->GetPixels_ie24RGB(x, y), original->GetPixels_ie24RGB(x, y)) << x << "," << y;
      }
  // Near the border and beyond it the box is clipped; nothing breaks.
  for (auto [x, y] : {std::pair{0, 0}, std::pair{59, 39}, std::pair{-100, 5}, std::pair{1000, 1000}})
    _lens(image.get(), x, y, 50, 50, 3.0, progress);
  _lens(image.get(), 5, 5, -10, 2000000000, 2.0, progress);
}

TEST(ProcDistort, WaveAndBadArguments) {
  auto image = MakePhoto(200, 100);
  const std::string before = Bytes(*image);
  TProgressRec progress;
  _wave(image.get(), 0, 10, 0, false, progress);
  _wave(image.get(), 5, 0, 0, false, progress);
  EXPECT_EQ(Bytes(*image), before);
  _wave(image.get(), 5, 20, 90, false, progress);
  EXPECT_NE(Bytes(*image), before);
  EXPECT_EQ(image->GetWidth(), 200);
  for (auto [w, h] : {std::pair{1, 1}, std::pair{1, 7}, std::pair{9, 1}}) {
    auto small = MakePhoto(w, h);
    _wave(small.get(), 2000000000, 1, 0, true, progress);
    _wave(small.get(), -3, 2, 45, false, progress);
    EXPECT_EQ(small->GetWidth(), w);
  }
}

TEST(ProcDistort, BumpMappingLevelsAndTheAreaItReads) {
  auto image = MakePhoto(30, 20);
  const std::string before = Bytes(*image);
  TProgressRec progress;
  _BumpMapping(image.get(), 5, 5, 10, 10, 100, TRGB{255, 255, 255}, 0, 0, 30, 20, progress);
  EXPECT_EQ(Bytes(*image), before);  // light weight 0
  _BumpMapping(image.get(), 5, 5, 0, 10, 0, TRGB{255, 255, 255}, 0, 0, 30, 20, progress);
  EXPECT_EQ(Bytes(*image), before);
  // Level 0 on a flat picture: the light map tinted; its centre entry is 255.
  TIEBitmap flat;
  flat.Allocate(9, 9, ie24RGB);
  flat.Fill(0x404040);
  _BumpMapping(&flat, 4, 4, 8, 8, 0, TRGB{0, 0, 255}, 0, 0, 9, 9, progress);
  EXPECT_EQ(flat.GetPixels_ie24RGB(4, 4), (TRGB{0, 0, 255}));
  EXPECT_LT(flat.GetPixels_ie24RGB(0, 0).r, 255);
  // The rows above an area that starts below the top are never read.
  auto a = MakePhoto(30, 20, ie24RGB, 3), b = MakePhoto(30, 20, ie24RGB, 3);
  for (Integer y = 0; y < 5; ++y)
    for (Integer x = 0; x < 30; ++x) b->SetPixels_ie24RGB(x, y, TRGB{255, 0, 255});
  _BumpMapping(a.get(), 10, 10, 20, 20, 30, TRGB{200, 200, 200}, 3, 5, 25, 15, progress);
  _BumpMapping(b.get(), 10, 10, 20, 20, 30, TRGB{200, 200, 200}, 3, 5, 25, 15, progress);
  for (Integer y = 5; y < 20; ++y)
    for (Integer x = 0; x < 30; ++x) ASSERT_EQ(a->GetPixels_ie24RGB(x, y), b->GetPixels_ie24RGB(x, y));
}

TEST(ProcDistort, ComponentOperationsRecordTheirEntries) {
  auto image = MakePhoto(40, 30);
  TDadirAvProc proc(nullptr);
  proc.SetAttachedIEBitmap(image.get());
  proc.Wave(0, 10, 0, false);
  EXPECT_EQ(proc.GetUndoCaptions(0), "Wave");
  proc.Lens(20, 15, 20, 20, 2.0);
  EXPECT_EQ(proc.GetUndoCaptions(0), "Lens");
  proc.BumpMapping(1, 1, 10, 10, 50, TRGB{1, 2, 3});
  EXPECT_EQ(proc.GetUndoCaptions(0), "BumpMapping");
  auto gray = MakePhoto(4, 4, ie8g);
  TDadirAvProc proc8(nullptr);
  proc8.SetAttachedIEBitmap(gray.get());
  proc8.Wave(5, 5, 5, true);
  EXPECT_EQ(proc8.GetUndoCount(), 0);
}
