// The processing component: the operation frame (selection, progress, undo, errors)
// and attachment to framework bitmaps and to borrowed pixel stores.
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "tests/image/bitmap_test_util.h"
#include "image/model/iebitmap.h"
#include "image/model/iemask.h"
#include "image/proc/dadiravproc.h"
#include "image/proc/dadiravproc_resample.h"
#include "platform/rtl/Exceptions.h"

using bitmap_test::FillPattern;
using bitmap_test::FirstDifference;
using bitmap_test::Pixels;

namespace {

// A component whose selection is a mask the test draws, as a view's would be.
class SelectingProc : public TDadirAvProc {
 public:
  using TDadirAvProc::RunFrame;
  SelectingProc() : TDadirAvProc(nullptr) {}

  bool GetReSel(Integer& x1, Integer& y1, Integer& x2, Integer& y2, POINT*& polySel,
                Integer& polySelCount, TIEMask*& mask) override {
    TDadirAvProc::GetReSel(x1, y1, x2, y2, polySel, polySelCount, mask);
    if (Selection.GetWidth() == 0) return false;
    mask = &Selection;
    if (Selection.IsEmpty()) return false;
    x1 = Selection.GetX1();
    y1 = Selection.GetY1();
    x2 = Selection.GetX2() + 1;
    y2 = Selection.GetY2() + 1;
    return true;
  }

  void SelectRect(Integer w, Integer h, Integer x1, Integer y1, Integer x2, Integer y2,
                  Integer bits = 1, Integer value = 1) {
    Selection.AllocateBits(w, h, bits);
    for (Integer y = y1; y <= y2; ++y)
      for (Integer x = x1; x <= x2; ++x) Selection.SetPixel(x, y, value);
  }

  TIEMask Selection;
};

std::unique_ptr<TIEBitmap> Pattern24(Integer w, Integer h) {
  auto b = std::make_unique<TIEBitmap>();
  b->Allocate(w, h, ie24RGB);
  FillPattern(*b);
  return b;
}

constexpr TRGB kWhite{255, 255, 255};

}  // namespace

// --- The operation frame

TEST(DadirAvProc, WholeImageWithoutASelection) {
  auto store = Pattern24(6, 4);
  SelectingProc proc;
  proc.SetAttachedIEBitmap(store.get());
  std::vector<Integer> seen;
  ASSERT_TRUE(proc.RunFrame("Op", true, [&](TIEBitmap* b, Integer x1, Integer y1, Integer x2, Integer y2) {
    seen = {x1, y1, x2, y2};
    EXPECT_EQ(b, store.get());
  }));
  EXPECT_EQ(seen, (std::vector<Integer>{0, 0, 6, 4}));
  // An empty mask also means the whole image.
  proc.Selection.AllocateBits(6, 4, 1);
  seen.clear();
  proc.RunFrame("Op", true, [&](TIEBitmap*, Integer x1, Integer y1, Integer x2, Integer y2) {
    seen = {x1, y1, x2, y2};
  });
  EXPECT_EQ(seen, (std::vector<Integer>{0, 0, 6, 4}));
}

TEST(DadirAvProc, RectangularSelectionLimitsTheWorkerToItsBox) {
  auto store = Pattern24(50, 50);
  auto original = Pattern24(50, 50);
  SelectingProc proc;
  proc.SetAttachedIEBitmap(store.get());
  proc.SelectRect(50, 50, 10, 20, 29, 39);
  Integer seenW = 0, seenH = 0;
  proc.RunFrame("Whiten", true, [&](TIEBitmap* b, Integer x1, Integer y1, Integer x2, Integer y2) {
    EXPECT_NE(b, store.get());
    EXPECT_EQ(x1, 0);
    EXPECT_EQ(y1, 0);
    seenW = x2;
    seenH = y2;
    // The copy starts with the box's pixels.
    EXPECT_EQ(b->GetPixels_ie24RGB(0, 0), original->GetPixels_ie24RGB(10, 20));
    EXPECT_EQ(b->GetPixels_ie24RGB(19, 19), original->GetPixels_ie24RGB(29, 39));
    b->Fill(0xFFFFFF);
  });
  EXPECT_EQ(seenW, 20);
  EXPECT_EQ(seenH, 20);
  for (Integer y = 0; y < 50; ++y)
    for (Integer x = 0; x < 50; ++x) {
      const bool inside = x >= 10 && x <= 29 && y >= 20 && y <= 39;
      ASSERT_EQ(store->GetPixels_ie24RGB(x, y), inside ? kWhite : original->GetPixels_ie24RGB(x, y))
          << x << "," << y;
    }
}

TEST(DadirAvProc, ShapedSelectionChangesOnlySelectedPixels) {
  auto store = Pattern24(8, 8);
  auto original = Pattern24(8, 8);
  SelectingProc proc;
  proc.SetAttachedIEBitmap(store.get());
  // A triangle inside the box (1,1)-(6,6).
  proc.Selection.AllocateBits(8, 8, 1);
  for (Integer y = 1; y <= 6; ++y)
    for (Integer x = 1; x <= y; ++x) proc.Selection.SetPixel(x, y, 1);
  proc.RunFrame("Whiten", true, [&](TIEBitmap* b, Integer, Integer, Integer x2, Integer y2) {
    EXPECT_EQ(x2, 6);
    EXPECT_EQ(y2, 6);
    b->Fill(0xFFFFFF);
  });
  for (Integer y = 0; y < 8; ++y)
    for (Integer x = 0; x < 8; ++x) {
      const bool inside = y >= 1 && y <= 6 && x >= 1 && x <= y;
      ASSERT_EQ(store->GetPixels_ie24RGB(x, y), inside ? kWhite : original->GetPixels_ie24RGB(x, y))
          << x << "," << y;
    }
}

TEST(DadirAvProc, EightBitSelectionBlendsByTheMaskValue) {
  auto store = std::make_unique<TIEBitmap>();
  store->Allocate(4, 4, ie24RGB);
  store->Fill(0x000000);
  SelectingProc proc;
  proc.SetAttachedIEBitmap(store.get());
  proc.SelectRect(4, 4, 1, 1, 2, 2, 8, 128);
  proc.RunFrame("Whiten", true, [](TIEBitmap* b, Integer, Integer, Integer, Integer) { b->Fill(0xFFFFFF); });
  // d + floor((s - d) x m / 256) = 0 + floor(255 x 128 / 256) = 127.
  EXPECT_EQ(store->GetPixels_ie24RGB(1, 1), (TRGB{127, 127, 127}));
  EXPECT_EQ(store->GetPixels_ie24RGB(2, 2), (TRGB{127, 127, 127}));
  EXPECT_EQ(store->GetPixels_ie24RGB(0, 0), (TRGB{0, 0, 0}));
  EXPECT_EQ(store->GetPixels_ie24RGB(3, 1), (TRGB{0, 0, 0}));
}

TEST(DadirAvProc, OperationInASelectionMatchesItsWorkerOnTheBox) {
  auto store = Pattern24(12, 10);
  SelectingProc proc;
  proc.SetAttachedIEBitmap(store.get());
  proc.SelectRect(12, 10, 3, 2, 8, 7);
  // The worker run directly on a copy of the box gives the expected inside.
  TIEBitmap box;
  box.Allocate(6, 6, ie24RGB);
  store->CopyRectTo(&box, 3, 2, 0, 0, 6, 6);
  const TRGB low{40, 40, 40}, high{180, 180, 180};
  _HistEqualize(&box, low, high, 0, 0, 6, 6, nullptr, nullptr);
  auto original = Pattern24(12, 10);
  proc.HistEqualize(low, high);
  for (Integer y = 0; y < 10; ++y)
    for (Integer x = 0; x < 12; ++x) {
      const bool inside = x >= 3 && x <= 8 && y >= 2 && y <= 7;
      ASSERT_EQ(store->GetPixels_ie24RGB(x, y),
                inside ? box.GetPixels_ie24RGB(x - 3, y - 2) : original->GetPixels_ie24RGB(x, y))
          << x << "," << y;
    }
  EXPECT_EQ(proc.GetUndoCount(), 1);
  EXPECT_EQ(proc.GetUndoCaptions(0), "HistEqualize");
}

TEST(DadirAvProc, ProgressOncePerRowFromTheComponentLimitedTo100) {
  auto store = Pattern24(5, 10);
  SelectingProc proc;
  proc.SetAttachedIEBitmap(store.get());
  std::vector<Integer> reports;
  proc.OnProgress = [&](TObject* sender, Integer per) {
    EXPECT_EQ(sender, &proc);
    reports.push_back(per);
  };
  proc.HistAutoEqualize();
  // trunc(k x 100 / 9.5), the last one limited to 100.
  EXPECT_EQ(reports, (std::vector<Integer>{10, 21, 31, 42, 52, 63, 73, 84, 94, 100}));
  // In a selection the rows are those of the box.
  reports.clear();
  proc.SelectRect(5, 10, 0, 3, 4, 6);
  proc.HistAutoEqualize();
  EXPECT_EQ(reports, (std::vector<Integer>{28, 57, 85, 100}));
}

TEST(DadirAvProc, AbortFromTheProgressEventPropagatesAndUndoRestores) {
  auto store = Pattern24(6, 6);
  const auto before = Pixels(*store);
  SelectingProc proc;
  proc.SetAttachedIEBitmap(store.get());
  int calls = 0;
  proc.OnProgress = [&](TObject*, Integer) {
    if (++calls == 3) throw EAbort("stopped");
  };
  EXPECT_THROW(proc.HistEqualize(TRGB{60, 60, 60}, TRGB{90, 90, 90}), EAbort);
  EXPECT_EQ(calls, 3);
  ASSERT_EQ(proc.GetUndoCount(), 1);
  EXPECT_NE(FirstDifference(before, Pixels(*store)), "");
  proc.OnProgress = nullptr;
  proc.Undo();
  EXPECT_EQ(FirstDifference(before, Pixels(*store)), "");
  // A masked run that is aborted leaves the pixels outside the box alone too.
  proc.SelectRect(6, 6, 1, 1, 3, 3);
  calls = 0;
  proc.OnProgress = [&](TObject*, Integer) { throw EAbort("stopped"); };
  EXPECT_THROW(proc.HistEqualize(TRGB{60, 60, 60}, TRGB{90, 90, 90}), EAbort);
  EXPECT_EQ(FirstDifference(before, Pixels(*store)), "");
}

TEST(DadirAvProc, UnsuitableImagesAreLeftAloneWithoutUndoEntries) {
  SelectingProc proc;
  bool ran = false;
  const auto worker = [&](TIEBitmap*, Integer, Integer, Integer, Integer) { ran = true; };
  // A format the operation refuses.
  TIEBitmap palette;
  palette.Allocate(4, 4, ie8p);
  FillPattern(palette);
  const auto before = Pixels(palette);
  proc.SetAttachedIEBitmap(&palette);
  EXPECT_FALSE(proc.RunFrame("Op", true, worker));
  proc.HistAutoEqualize();
  proc.ConvertToBWOrdered();
  EXPECT_FALSE(ran);
  EXPECT_EQ(proc.GetUndoCount(), 0);
  EXPECT_EQ(FirstDifference(before, Pixels(palette)), "");
  // An empty image: the worker decides, but no undo entry is recorded.
  TIEBitmap empty;
  proc.SetAttachedIEBitmap(&empty);
  EXPECT_TRUE(proc.RunFrame("Op", false, worker));
  EXPECT_EQ(proc.GetUndoCount(), 0);
  // No store at all.
  ran = false;
  proc.SetAttachedIEBitmap(nullptr);
  EXPECT_FALSE(proc.RunFrame("Op", false, worker));
  proc.Flip(fdHorizontal);
  proc.ConvertTo24Bit();
  EXPECT_EQ(proc.CalcImageNumColors(), 0);
  EXPECT_EQ(proc.GetRGBChannel(0), nullptr);
  EXPECT_FALSE(ran);
}

TEST(DadirAvProc, AutoUndoOffRecordsNothing) {
  auto store = Pattern24(4, 4);
  TDadirAvProc proc(nullptr);
  proc.SetAttachedIEBitmap(store.get());
  proc.SetAutoUndo(false);
  proc.HistEqualize(TRGB{60, 60, 60}, TRGB{90, 90, 90});
  proc.ConvertToBWThreshold(128);
  EXPECT_EQ(proc.GetUndoCount(), 0);
  EXPECT_EQ(store->GetPixelFormat(), ie1g);
}

TEST(DadirAvProc, ConversionsCaptionTheirUndoEntries) {
  auto store = std::make_unique<TIEBitmap>();
  store->Allocate(9, 2, ie24RGB);
  for (Integer x = 0; x < 9; ++x) {
    const auto v = static_cast<Byte>(x * 32 > 255 ? 255 : x * 32);
    store->SetPixels_ie24RGB(x, 0, TRGB{v, v, v});
    store->SetPixels_ie24RGB(x, 1, TRGB{v, v, v});
  }
  TDadirAvProc proc(nullptr);
  proc.SetUndoLimit(5);
  proc.SetAttachedIEBitmap(store.get());
  proc.ConvertToBWThreshold(128);
  ASSERT_EQ(store->GetPixelFormat(), ie1g);
  EXPECT_EQ(proc.GetUndoCaptions(0), "ConvertToBWThreshold 128");
  for (Integer x = 0; x < 9; ++x) EXPECT_EQ(store->GetPixels_ie1g(x, 0), x >= 4) << x;
  EXPECT_EQ(proc.CalcImageNumColors(), 2);
  std::vector<Integer> reports;
  proc.OnProgress = [&](TObject*, Integer per) { reports.push_back(per); };
  proc.ConvertTo24Bit();
  proc.OnProgress = nullptr;
  EXPECT_EQ(reports, (std::vector<Integer>{66, 100}));  // trunc(k x 100 / 1.5), at most 100
  ASSERT_EQ(store->GetPixelFormat(), ie24RGB);
  EXPECT_EQ(proc.GetUndoCaptions(0), "ConvertTo24Bit");
  for (Integer x = 0; x < 9; ++x)
    EXPECT_EQ(store->GetPixels_ie24RGB(x, 1), x >= 4 ? kWhite : TRGB{}) << x;
  proc.ConvertToBWOrdered();
  EXPECT_EQ(proc.GetUndoCaptions(0), "ConvertToBWOrdered");
  EXPECT_EQ(proc.GetUndoCount(), 3);
  // Undo brings the 24-bit grey ramp back.
  proc.UndoAt(2);
  ASSERT_EQ(store->GetPixelFormat(), ie24RGB);
  EXPECT_EQ(store->GetPixels_ie24RGB(3, 0), (TRGB{96, 96, 96}));
}

TEST(DadirAvProc, FlipRecordsNoUndoAndIgnoresTheSelection) {
  auto store = Pattern24(5, 3);
  auto original = Pattern24(5, 3);
  SelectingProc proc;
  proc.SetAttachedIEBitmap(store.get());
  proc.SelectRect(5, 3, 0, 0, 1, 1);
  proc.Flip(fdHorizontal);
  EXPECT_EQ(proc.GetUndoCount(), 0);
  for (Integer y = 0; y < 3; ++y)
    for (Integer x = 0; x < 5; ++x)
      ASSERT_EQ(store->GetPixels_ie24RGB(x, y), original->GetPixels_ie24RGB(4 - x, y));
}

TEST(DadirAvProc, ImageResizeFillsWithTheBackground) {
  auto store = Pattern24(3, 2);
  auto original = Pattern24(3, 2);
  TDadirAvProc proc(nullptr);
  proc.SetAttachedIEBitmap(store.get());
  proc.SetBackground(0x0000FF);  // red
  proc.ImageResize(0, 5);        // nothing
  EXPECT_EQ(proc.GetUndoCount(), 0);
  proc.ImageResize(5, 4, iehLeft, ievTop);
  ASSERT_EQ(store->GetWidth(), 5);
  ASSERT_EQ(store->GetHeight(), 4);
  EXPECT_EQ(proc.GetUndoCaptions(0), "ImageResize 5,4");
  EXPECT_EQ(store->GetPixels_ie24RGB(2, 1), original->GetPixels_ie24RGB(2, 1));
  EXPECT_EQ(store->GetPixels_ie24RGB(4, 3), (TRGB{0, 0, 255}));
  proc.Undo();
  EXPECT_EQ(store->GetWidth(), 3);
}

TEST(DadirAvProc, MeasuresUseTheSelectionBoxAndChangeNothing) {
  auto store = std::make_unique<TIEBitmap>();
  store->Allocate(6, 6, ie24RGB);
  store->Fill(0x000000);
  store->SetPixels_ie24RGB(2, 2, TRGB{10, 20, 30});
  store->SetPixels_ie24RGB(5, 5, TRGB{40, 50, 60});
  SelectingProc proc;
  proc.SetAttachedIEBitmap(store.get());
  EXPECT_EQ(proc.CalcImageNumColors(), 3);
  proc.SelectRect(6, 6, 1, 1, 3, 3);
  EXPECT_EQ(proc.CalcImageNumColors(), 2);
  THistogram hist;
  proc.GetHistogram(hist);
  EXPECT_EQ(hist[0].r, 8u);
  EXPECT_EQ(hist[30].r, 1u);
  EXPECT_EQ(hist[60].r, 0u);
  EXPECT_EQ(proc.GetUndoCount(), 0);
}

// --- Attachment

TEST(DadirAvProc, WorksOnAnAttachedBitmapInPlace) {
  TBitmap bitmap;
  bitmap.SetPixelFormat(TPixelFormat::pf24bit);
  bitmap.SetSize(4, 3);
  auto* row = static_cast<Byte*>(bitmap.ScanLine(1));
  row[0] = 10;  // blue of (0, 1)
  TDadirAvProc proc(nullptr);
  proc.SetAttachedBitmap(&bitmap);
  EXPECT_EQ(proc.GetAttachedBitmap(), &bitmap);
  ASSERT_EQ(proc.GetIEBitmap()->GetWidth(), 4);
  bitmap.SetModified(false);
  proc.Flip(fdHorizontal);
  // The bitmap itself holds the result, and it is marked changed.
  EXPECT_EQ(static_cast<Byte*>(bitmap.ScanLine(1))[9], 10);
  EXPECT_EQ(static_cast<Byte*>(bitmap.ScanLine(1))[0], 0);
  EXPECT_TRUE(bitmap.GetModified());
}

TEST(DadirAvProc, AttachedBitmapIsReadAgainBeforeEachOperation) {
  TBitmap bitmap;
  bitmap.SetPixelFormat(TPixelFormat::pf24bit);
  bitmap.SetSize(4, 3);
  TDadirAvProc proc(nullptr);
  proc.SetAttachedBitmap(&bitmap);
  // The owner reshapes its bitmap; the next operation sees the new size.
  bitmap.SetSize(7, 5);
  static_cast<Byte*>(bitmap.ScanLine(4))[0] = 99;
  proc.SaveUndo();
  static_cast<Byte*>(bitmap.ScanLine(4))[0] = 1;
  proc.Undo();
  EXPECT_EQ(bitmap.GetWidth(), 7);
  EXPECT_EQ(bitmap.GetHeight(), 5);
  EXPECT_EQ(static_cast<Byte*>(bitmap.ScanLine(4))[0], 99);
  std::vector<Integer> seen;
  SelectingProc sel;
  sel.SetAttachedBitmap(&bitmap);
  bitmap.SetSize(2, 6);
  sel.RunFrame("Op", true, [&](TIEBitmap*, Integer x1, Integer y1, Integer x2, Integer y2) {
    seen = {x1, y1, x2, y2};
  });
  EXPECT_EQ(seen, (std::vector<Integer>{0, 0, 2, 6}));
}

TEST(DadirAvProc, BitmapOfAnotherFormatIsNotWorkedOn) {
  TBitmap bitmap;
  bitmap.SetPixelFormat(TPixelFormat::pf8bit);
  bitmap.SetSize(4, 4);
  TDadirAvProc proc(nullptr);
  proc.SetAttachedBitmap(&bitmap);
  proc.HistAutoEqualize();
  proc.ConvertToBWOrdered();
  EXPECT_EQ(proc.GetUndoCount(), 0);
  EXPECT_EQ(bitmap.GetPixelFormat(), TPixelFormat::pf8bit);
}

TEST(DadirAvProc, BorrowedStoreIsChangedButNeverFreedOrReplaced) {
  auto store = Pattern24(4, 4);
  const auto before = Pixels(*store);
  {
    TDadirAvProc proc(nullptr);
    proc.SetAttachedIEBitmap(store.get());
    EXPECT_EQ(proc.GetAttachedIEBitmap(), store.get());
    proc.Flip(fdVertical);
    EXPECT_NE(FirstDifference(before, Pixels(*store)), "");
    proc.Flip(fdVertical);
    // Attaching a bitmap afterwards leaves the caller's store and pixels alone.
    TBitmap bitmap;
    bitmap.SetPixelFormat(TPixelFormat::pf24bit);
    bitmap.SetSize(2, 2);
    proc.SetAttachedBitmap(&bitmap);
    EXPECT_NE(proc.GetIEBitmap(), store.get());
    EXPECT_EQ(proc.GetIEBitmap()->GetWidth(), 2);
    // And a store attached after the bitmap replaces it.
    proc.SetAttachedIEBitmap(store.get());
    EXPECT_EQ(proc.GetAttachedBitmap(), nullptr);
    EXPECT_EQ(proc.GetIEBitmap(), store.get());
  }  // the component goes; the store must survive it
  EXPECT_EQ(store->GetWidth(), 4);
  EXPECT_EQ(FirstDifference(before, Pixels(*store)), "");
}

TEST(DadirAvProc, DetachingABitmapReleasesOnlyTheWrapper) {
  TBitmap bitmap;
  bitmap.SetPixelFormat(TPixelFormat::pf24bit);
  bitmap.SetSize(3, 3);
  static_cast<Byte*>(bitmap.ScanLine(0))[0] = 42;
  TDadirAvProc proc(nullptr);
  proc.SetAttachedBitmap(&bitmap);
  proc.SetAttachedBitmap(nullptr);
  EXPECT_EQ(proc.GetAttachedBitmap(), nullptr);
  ASSERT_NE(proc.GetIEBitmap(), nullptr);
  EXPECT_EQ(proc.GetIEBitmap()->GetWidth(), 0);
  // The caller's bitmap is untouched.
  EXPECT_EQ(bitmap.GetWidth(), 3);
  EXPECT_EQ(static_cast<Byte*>(bitmap.ScanLine(0))[0], 42);
  proc.HistAutoEqualize();
  EXPECT_EQ(proc.GetUndoCount(), 0);
}

TEST(DadirAvProc, DefaultsAtCreation) {
  TComponent owner(nullptr);
  auto* proc = new TDadirAvProc(&owner);  // freed by its owner
  EXPECT_TRUE(proc->GetAutoUndo());
  EXPECT_EQ(proc->GetUndoLimit(), 1);
  EXPECT_EQ(proc->GetUndoLocation(), ieFile);
  EXPECT_EQ(proc->GetBackground(), 0);
  EXPECT_EQ(proc->GetMsgLanguage(), msSystem);
  EXPECT_EQ(proc->GetAttachedBitmap(), nullptr);
  ASSERT_NE(proc->GetIEBitmap(), nullptr);
  EXPECT_EQ(proc->GetIEBitmap()->GetWidth(), 0);
  TFont font;
  font.SetSize(17);
  proc->SetPreviewFont(&font);
  EXPECT_EQ(proc->GetPreviewFont()->GetSize(), 17);
  EXPECT_NE(proc->GetPreviewFont(), &font);
}

// --- Resample

struct ResampleSizeCase {
  Integer newWidth, newHeight, wantWidth, wantHeight;
};

class DadirAvProcResampleSizes : public ::testing::TestWithParam<ResampleSizeCase> {};

TEST_P(DadirAvProcResampleSizes, SizeRules) {
  const ResampleSizeCase c = GetParam();
  auto store = Pattern24(400, 300);
  TDadirAvProc proc(nullptr);
  proc.SetAttachedIEBitmap(store.get());
  proc.SetUndoLocation(ieMemory);
  proc.Resample(c.newWidth, c.newHeight, rfFastLinear);
  EXPECT_EQ(store->GetWidth(), c.wantWidth);
  EXPECT_EQ(store->GetHeight(), c.wantHeight);
  // The entry is recorded even when both sides are negative, with the arguments as given.
  ASSERT_EQ(proc.GetUndoCount(), 1);
  EXPECT_EQ(proc.GetUndoCaptions(0),
            "Resample " + std::to_string(c.newWidth) + "," + std::to_string(c.newHeight));
}

INSTANTIATE_TEST_SUITE_P(Table, DadirAvProcResampleSizes,
                         ::testing::Values(ResampleSizeCase{-1, 100, 133, 100},
                                           ResampleSizeCase{0, 50, 400, 50},
                                           ResampleSizeCase{-5, 20, 5, 20},
                                           ResampleSizeCase{-1, -1, 400, 300},
                                           ResampleSizeCase{-1, 0, 1, 300},
                                           ResampleSizeCase{0, -1, 400, 300},
                                           ResampleSizeCase{200, -1, 200, 150},
                                           ResampleSizeCase{120, -7, 120, 7},
                                           ResampleSizeCase{0, 0, 400, 300}));

TEST(DadirAvProc, ResampleFastLinearEnlargesByTheWorker) {
  auto store = std::make_unique<TIEBitmap>();
  store->Allocate(2, 1, ie24RGB);
  store->SetPixels_ie24RGB(0, 0, TRGB{0, 0, 0});
  store->SetPixels_ie24RGB(1, 0, TRGB{255, 255, 255});
  TDadirAvProc proc(nullptr);
  proc.SetAttachedIEBitmap(store.get());
  proc.Resample(4, 1, rfFastLinear);
  ASSERT_EQ(store->GetWidth(), 4);
  const Byte want[] = {0, 127, 255, 255};
  for (Integer x = 0; x < 4; ++x) EXPECT_EQ(store->GetPixels_ie24RGB(x, 0).g, want[x]) << x;
}

TEST(DadirAvProc, ResampleFormats) {
  TDadirAvProc proc(nullptr);
  proc.SetAutoUndo(false);
  // rfNone keeps a palette image with its palette.
  TIEBitmap palette;
  palette.Allocate(4, 2, ie8p);
  FillPattern(palette);
  proc.SetAttachedIEBitmap(&palette);
  proc.Resample(8, 4, rfNone);
  ASSERT_EQ(palette.GetPixelFormat(), ie8p);
  EXPECT_EQ(palette.GetWidth(), 8);
  EXPECT_EQ(palette.GetPalette(200), (TRGB{200, 55, 100}));
  // Another filter turns a 1-bit image into grey 24-bit.
  TIEBitmap bw;
  bw.Allocate(8, 8, ie1g);
  bw.Fill(1);
  proc.SetAttachedIEBitmap(&bw);
  proc.Resample(4, 4, rfFastLinear);
  ASSERT_EQ(bw.GetPixelFormat(), ie24RGB);
  EXPECT_EQ(bw.GetPixels_ie24RGB(1, 1), kWhite);
  // Grey images are resampled in colour, not left with unwritten pixels.
  TIEBitmap grey;
  grey.Allocate(6, 6, ie8g);
  grey.Fill(90);
  proc.SetAttachedIEBitmap(&grey);
  proc.Resample(3, 3, rfBilinear);
  ASSERT_EQ(grey.GetPixelFormat(), ie24RGB);
  for (Integer y = 0; y < 3; ++y)
    for (Integer x = 0; x < 3; ++x) EXPECT_EQ(grey.GetPixels_ie24RGB(x, y), (TRGB{90, 90, 90}));
}

TEST(DadirAvProc, ResampleCarriesTheAlphaChannel) {
  auto store = Pattern24(8, 8);
  for (Integer y = 0; y < 8; ++y)
    for (Integer x = 0; x < 8; ++x) store->SetAlpha(x, y, x < 4 ? 0 : 255);
  TDadirAvProc proc(nullptr);
  proc.SetAttachedIEBitmap(store.get());
  proc.Resample(4, 2, rfNone);
  ASSERT_TRUE(store->GetHasAlphaChannel());
  EXPECT_EQ(store->GetAlphaChannel()->GetWidth(), 4);
  EXPECT_EQ(store->GetAlphaChannel()->GetHeight(), 2);
  EXPECT_EQ(store->GetAlpha(0, 0), 0);
  EXPECT_EQ(store->GetAlpha(3, 1), 255);
  // Undo brings the old size back with the old alpha.
  proc.Undo();
  EXPECT_EQ(store->GetWidth(), 8);
  EXPECT_EQ(store->GetAlpha(5, 5), 255);
  EXPECT_EQ(store->GetAlpha(2, 5), 0);
}

// Without a filter the colours are stretched, and the alpha plane still goes through
// the fast linear filter: an enlarged hard edge of alpha gets the steps between.
TEST(DadirAvProc, ResampleWithoutAFilterResamplesTheAlphaLinearly) {
  auto store = Pattern24(8, 4);
  for (Integer y = 0; y < 4; ++y)
    for (Integer x = 0; x < 8; ++x) store->SetAlpha(x, y, x < 4 ? 0 : 255);
  TIEMask before;
  store->GetAlphaChannel()->CopyToTIEMask(&before);
  TIEMask expected;
  expected.AllocateBits(24, 12, 8);
  _ResampleAlpha(&before, &expected, rfFastLinear);
  TDadirAvProc proc(nullptr);
  proc.SetAttachedIEBitmap(store.get());
  proc.Resample(24, 12, rfNone);
  ASSERT_EQ(store->GetWidth(), 24);
  ASSERT_TRUE(store->GetHasAlphaChannel());
  Integer between = 0, wrong = 0;
  for (Integer y = 0; y < 12; ++y)
    for (Integer x = 0; x < 24; ++x) {
      const Integer a = store->GetAlpha(x, y);
      between += a != 0 && a != 255;
      wrong += a != expected.GetPixel(x, y);
    }
  EXPECT_GT(between, 0);
  EXPECT_EQ(wrong, 0);
}

TEST(DadirAvProc, ResampleOfAnEmptyImageRecordsNothing) {
  TDadirAvProc proc(nullptr);
  proc.Resample(10, 10, rfFastLinear);
  EXPECT_EQ(proc.GetUndoCount(), 0);
  EXPECT_EQ(proc.GetIEBitmap()->GetWidth(), 0);
}

// --- Rotate

TEST(DadirAvProc, RotateByQuartersIsExact) {
  for (const double angle : {90.0, 450.0, -90.0}) {
    auto store = Pattern24(4, 2);
    auto original = Pattern24(4, 2);
    TDadirAvProc proc(nullptr);
    proc.SetAttachedIEBitmap(store.get());
    proc.Rotate(angle, true, ierBicubic, -1);
    ASSERT_EQ(store->GetWidth(), 2) << angle;
    ASSERT_EQ(store->GetHeight(), 4) << angle;
    for (Integer y = 0; y < 4; ++y)
      for (Integer x = 0; x < 2; ++x) {
        // Counter-clockwise: (x', y') = source (w - 1 - y', x'); clockwise: (y', h - 1 - x').
        const TRGB want = angle > 0 ? original->GetPixels_ie24RGB(3 - y, x)
                                    : original->GetPixels_ie24RGB(y, 1 - x);
        ASSERT_EQ(store->GetPixels_ie24RGB(x, y), want) << angle << " " << x << "," << y;
      }
    EXPECT_EQ(proc.GetUndoCaptions(0), angle == 90 ? "Rotate 90" : angle == 450 ? "Rotate 450" : "Rotate -90");
  }
}

TEST(DadirAvProc, RotateZeroDoesNothing) {
  auto store = Pattern24(4, 2);
  const auto before = Pixels(*store);
  TDadirAvProc proc(nullptr);
  proc.SetAttachedIEBitmap(store.get());
  proc.Rotate(0);
  EXPECT_EQ(proc.GetUndoCount(), 0);
  EXPECT_EQ(FirstDifference(before, Pixels(*store)), "");
}

TEST(DadirAvProc, RotateLeavesTransparentWhiteCorners) {
  auto store = std::make_unique<TIEBitmap>();
  store->Allocate(20, 20, ie24RGB);
  store->Fill(0x000000);
  store->GetAlphaChannel()->Fill(255);
  TDadirAvProc proc(nullptr);
  proc.SetAttachedIEBitmap(store.get());
  proc.Rotate(30, true, ierBilinear, 0xFFFFFF);
  ASSERT_GT(store->GetWidth(), 20);
  ASSERT_TRUE(store->GetHasAlphaChannel());
  EXPECT_EQ(store->GetAlphaChannel()->GetWidth(), store->GetWidth());
  EXPECT_EQ(store->GetPixels_ie24RGB(0, 0), kWhite);
  EXPECT_EQ(store->GetAlpha(0, 0), 0);
  const Integer cx = store->GetWidth() / 2, cy = store->GetHeight() / 2;
  EXPECT_EQ(store->GetPixels_ie24RGB(cx, cy), (TRGB{0, 0, 0}));
  EXPECT_EQ(store->GetAlpha(cx, cy), 255);
}

// --- Colour operations

TEST(DadirAvProc, ColourOperationsCaptionTheirArguments) {
  auto store = Pattern24(4, 4);
  TDadirAvProc proc(nullptr);
  proc.SetUndoLimit(10);
  proc.SetAttachedIEBitmap(store.get());
  proc.IntensityRGBall(300, 0, -300);
  EXPECT_EQ(proc.GetUndoCaptions(0), "IntensityRGBall 300,0,-300");
  EXPECT_EQ(store->GetPixels_ie24RGB(1, 2).r, 255);
  EXPECT_EQ(store->GetPixels_ie24RGB(1, 2).b, 0);
  proc.HSVvar(0, -99, 0);
  EXPECT_EQ(proc.GetUndoCaptions(0), "HSVvar 0,-99,0");
  proc.HSLvar(10, -5, 3);
  EXPECT_EQ(proc.GetUndoCaptions(0), "HSLvar 10,-5,3");
  proc.Contrast(-100);
  EXPECT_EQ(proc.GetUndoCaptions(0), "Contrast -100");
  proc.ConvertToGray();
  EXPECT_EQ(proc.GetUndoCaptions(0), "ConvertToGray");
  proc.GammaCorrect(2.0, TIEChannels{iecBlue});
  EXPECT_EQ(proc.GetUndoCaptions(0), "GammaCorrect");
  proc.Fill(TRGB{1, 2, 3});
  EXPECT_EQ(proc.GetUndoCaptions(0), "Fill");
  EXPECT_EQ(store->GetPixels_ie24RGB(3, 3), (TRGB{1, 2, 3}));
  proc.Negative();
  EXPECT_EQ(proc.GetUndoCaptions(0), "Negative");
  EXPECT_EQ(store->GetPixels_ie24RGB(3, 3), (TRGB{254, 253, 252}));
  EXPECT_EQ(proc.GetUndoCount(), 8);
}

TEST(DadirAvProc, ContrastOfOnePixelDoesNothing) {
  auto store = Pattern24(1, 1);
  const auto before = Pixels(*store);
  TDadirAvProc proc(nullptr);
  proc.SetAttachedIEBitmap(store.get());
  proc.Contrast(50);
  EXPECT_EQ(proc.GetUndoCount(), 0);
  EXPECT_EQ(FirstDifference(before, Pixels(*store)), "");
}

TEST(DadirAvProc, ContrastUsesTheMeanOfTheWholeImageInASelection) {
  auto store = std::make_unique<TIEBitmap>();
  store->Allocate(4, 1, ie24RGB);
  store->Fill(0x000000);
  store->SetPixels_ie24RGB(3, 0, TRGB{200, 200, 200});
  SelectingProc proc;
  proc.SetAttachedIEBitmap(store.get());
  proc.SelectRect(4, 1, 0, 0, 1, 0);
  proc.Contrast(-100);  // factor 0: the selected pixels become the mean, 50
  EXPECT_EQ(store->GetPixels_ie24RGB(0, 0), (TRGB{50, 50, 50}));
  EXPECT_EQ(store->GetPixels_ie24RGB(1, 0), (TRGB{50, 50, 50}));
  EXPECT_EQ(store->GetPixels_ie24RGB(2, 0), (TRGB{0, 0, 0}));
  EXPECT_EQ(store->GetPixels_ie24RGB(3, 0), (TRGB{200, 200, 200}));
}

TEST(DadirAvProc, NegativeTwiceRestoresAOneBitSelectionOffTheByteGrid) {
  TIEBitmap bw;
  bw.Allocate(21, 3, ie1g);
  FillPattern(bw);
  const auto before = Pixels(bw);
  SelectingProc proc;
  proc.SetAttachedIEBitmap(&bw);
  proc.SelectRect(21, 3, 3, 0, 12, 1);
  proc.Negative();
  TIEBitmap ref;
  ref.Allocate(21, 3, ie1g);
  FillPattern(ref);
  for (Integer y = 0; y < 3; ++y)
    for (Integer x = 0; x < 21; ++x) {
      const bool inside = x >= 3 && x <= 12 && y <= 1;
      ASSERT_EQ(bw.GetPixels_ie1g(x, y), inside != ref.GetPixels_ie1g(x, y)) << x << "," << y;
    }
  proc.Negative();
  EXPECT_EQ(FirstDifference(before, Pixels(bw)), "");
}

TEST(DadirAvProc, ConvertToColourCounts) {
  auto store = Pattern24(16, 16);
  TDadirAvProc proc(nullptr);
  proc.SetAttachedIEBitmap(store.get());
  proc.ConvertTo(16, ieOrdered);
  ASSERT_EQ(store->GetPixelFormat(), ie24RGB);
  EXPECT_LE(_GetImageNumColors(store.get(), 0, 0, 16, 16), 16);
  EXPECT_EQ(proc.GetUndoCaptions(0), "ConvertTo 16");
  proc.ConvertTo(2, ieThreshold);
  EXPECT_EQ(store->GetPixelFormat(), ie1g);

  auto other = Pattern24(8, 8);
  const auto before = Pixels(*other);
  proc.SetAttachedIEBitmap(other.get());
  proc.ClearAllUndo();
  TRGB palette[2] = {TRGB{9, 9, 9}, TRGB{9, 9, 9}};
  proc.ConvertToPalette(0, palette, ieOrdered);
  EXPECT_EQ(proc.GetUndoCount(), 0);
  EXPECT_EQ(FirstDifference(before, Pixels(*other)), "");
  proc.ConvertToPalette(2, palette, ieOrdered);
  EXPECT_EQ(other->GetPixelFormat(), ie1g);
  EXPECT_EQ(palette[0], (TRGB{0, 0, 0}));
  EXPECT_EQ(palette[1], kWhite);
  EXPECT_EQ(proc.GetUndoCaptions(0), "ConvertToPalette");
}

namespace {

// Counts the Update calls that end the operations.
class CountingProc : public TDadirAvProc {
 public:
  CountingProc() : TDadirAvProc(nullptr) {}
  void Update() override {
    ++Updates;
    TDadirAvProc::Update();
  }
  Integer Updates = 0;
};

}  // namespace

// Every operation that changes the image ends with one Update, whether it runs
// through the operation frame or on its own.
TEST(DadirAvProc, EveryOperationEndsWithOneUpdate) {
  struct Case {
    const char* name;
    std::function<void(TDadirAvProc&)> run;
  };
  const Case cases[] = {
      {"Negative", [](TDadirAvProc& p) { p.Negative(); }},
      {"Contrast", [](TDadirAvProc& p) { p.Contrast(20); }},
      {"HistAutoEqualize", [](TDadirAvProc& p) { p.HistAutoEqualize(); }},
      {"ConvertToGray", [](TDadirAvProc& p) { p.ConvertToGray(); }},
      {"Fill", [](TDadirAvProc& p) { p.Fill(TRGB{1, 2, 3}); }},
      {"IntensityRGBall", [](TDadirAvProc& p) { p.IntensityRGBall(10, 0, -10); }},
      {"Flip", [](TDadirAvProc& p) { p.Flip(fdVertical); }},
      {"ImageResize", [](TDadirAvProc& p) { p.ImageResize(9, 7); }},
      {"Resample", [](TDadirAvProc& p) { p.Resample(3, 2, rfTriangle); }},
      {"Rotate", [](TDadirAvProc& p) { p.Rotate(30); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto store = Pattern24(6, 4);
    CountingProc proc;
    proc.SetAttachedIEBitmap(store.get());
    const Integer before = proc.Updates;
    c.run(proc);
    EXPECT_EQ(proc.Updates - before, 1);
  }
}
