// Undo and redo stacks of the processing component: exact snapshots, limits,
// captions and indexes.
#include <gtest/gtest.h>

#include "tests/image/bitmap_test_util.h"
#include "image/model/iebitmap.h"
#include "image/proc/dadiravproc.h"
#include "platform/rtl/Exceptions.h"

using bitmap_test::FillPattern;
using bitmap_test::FirstDifference;
using bitmap_test::Pixels;

namespace {

// A component working on a borrowed 7 x 5 store of the given format.
struct UndoFixture {
  explicit UndoFixture(TIEPixelFormat format, Integer w = 7, Integer h = 5) {
    store.Allocate(w, h, format);
    FillPattern(store);
    proc.SetAttachedIEBitmap(&store);
  }
  // Changes every pixel the pattern set.
  void Scribble() {
    if (store.GetPixelFormat() == ie24RGB)
      store.Fill(0x123456);
    else
      store.Fill(0);
  }
  TIEBitmap store;
  TDadirAvProc proc{nullptr};
};

}  // namespace

std::string UndoCaseName(
    const ::testing::TestParamInfo<std::tuple<TIELocation, TIEPixelFormat>>& info) {
  static const char* const locations[] = {"Memory", "File", "TBitmap"};
  return std::string(locations[static_cast<int>(std::get<0>(info.param))]) +
         bitmap_test::FormatName(std::get<1>(info.param));
}

class ProcUndoLocations : public ::testing::TestWithParam<std::tuple<TIELocation, TIEPixelFormat>> {};

TEST_P(ProcUndoLocations, UndoRestoresExactPixelsAndPalette) {
  const auto [location, format] = GetParam();
  UndoFixture f(format);
  f.proc.SetUndoLocation(location);
  const auto before = Pixels(f.store);
  f.proc.SaveUndo(ieuImage);
  f.Scribble();
  ASSERT_NE(FirstDifference(before, Pixels(f.store)), "");
  if (format == ie8p) f.store.SetPalette(3, TRGB{1, 2, 3});
  f.proc.Undo();
  EXPECT_EQ(f.store.GetPixelFormat(), format);
  EXPECT_EQ(f.store.GetWidth(), 7);
  EXPECT_EQ(f.store.GetHeight(), 5);
  EXPECT_EQ(FirstDifference(before, Pixels(f.store)), "");
  if (format == ie8p) {
    EXPECT_EQ(f.store.GetPalette(3), (TRGB{3, 252, 1}));
  }
}

INSTANTIATE_TEST_SUITE_P(
    AllFormats, ProcUndoLocations,
    ::testing::Combine(::testing::Values(ieMemory, ieFile, ieTBitmap),
                       ::testing::Values(ie1g, ie8p, ie8g, ie24RGB)),
    UndoCaseName);

TEST(ProcUndo, UndoKeepsTheAlphaChannel) {
  UndoFixture f(ie24RGB);
  f.store.SetAlpha(2, 3, 77);
  f.proc.SaveUndo();
  f.store.SetAlpha(2, 3, 200);
  f.proc.Undo();
  ASSERT_TRUE(f.store.GetHasAlphaChannel());
  EXPECT_EQ(f.store.GetAlpha(2, 3), 77);
}

TEST(ProcUndo, UndoTwiceRestoresTheSameSnapshotAndKeepsTheEntry) {
  UndoFixture f(ie24RGB);
  const auto before = Pixels(f.store);
  f.proc.SaveUndo();
  for (int i = 0; i < 2; ++i) {
    f.Scribble();
    f.proc.Undo();
    EXPECT_EQ(FirstDifference(before, Pixels(f.store)), "");
    EXPECT_EQ(f.proc.GetUndoCount(), 1);
  }
}

TEST(ProcUndo, RedoRestoresTheStateBeforeTheUndo) {
  UndoFixture f(ie24RGB);
  const auto original = Pixels(f.store);
  f.proc.SaveUndoCaptioned("Paint");
  f.Scribble();
  const auto painted = Pixels(f.store);
  // The usual caller sequence: save the redo state, undo, drop the undo entry.
  f.proc.SaveRedoCaptioned("Paint");
  f.proc.Undo();
  f.proc.ClearUndo();
  EXPECT_EQ(FirstDifference(original, Pixels(f.store)), "");
  EXPECT_EQ(f.proc.GetUndoCount(), 0);
  EXPECT_FALSE(f.proc.GetCanUndo());
  ASSERT_EQ(f.proc.GetRedoCount(), 1);
  EXPECT_EQ(f.proc.GetRedoCaptions(0), "Paint");
  f.proc.Redo();
  EXPECT_EQ(FirstDifference(painted, Pixels(f.store)), "");
  EXPECT_EQ(f.proc.GetRedoCount(), 1);
  f.proc.ClearRedo();
  EXPECT_EQ(f.proc.GetRedoCount(), 0);
}

TEST(ProcUndo, LimitOneKeepsOnlyTheNewestEntry) {
  UndoFixture f(ie24RGB);
  f.proc.SaveUndoCaptioned("First");
  f.Scribble();
  const auto second = Pixels(f.store);
  f.proc.SaveUndoCaptioned("Second");
  f.store.Fill(0);
  EXPECT_EQ(f.proc.GetUndoCount(), 1);
  EXPECT_EQ(f.proc.GetUndoCaptions(0), "Second");
  f.proc.Undo();
  EXPECT_EQ(FirstDifference(second, Pixels(f.store)), "");
}

TEST(ProcUndo, LimitThreeDropsTheOldestOfFourAndIndexesFromBothEnds) {
  UndoFixture f(ie8g);
  f.proc.SetUndoLimit(3);
  std::vector<std::vector<Byte>> shots;
  for (int i = 1; i <= 4; ++i) {
    f.store.Fill(i * 10);
    shots.push_back(Pixels(f.store));
    f.proc.SaveUndoCaptioned("Push " + std::to_string(i));
  }
  ASSERT_EQ(f.proc.GetUndoCount(), 3);
  EXPECT_EQ(f.proc.GetUndoCaptions(0), "Push 4");
  EXPECT_EQ(f.proc.GetUndoCaptions(2), "Push 2");
  EXPECT_EQ(f.proc.UndoPeekAt(0), ieuImage);
  EXPECT_EQ(f.proc.UndoPeekAt(3), ieuUnknown);
  EXPECT_EQ(f.proc.UndoPeekAt(-1), ieuUnknown);
  // UndoAt counts from the newest: index 2 is the second push.
  f.proc.UndoAt(2);
  EXPECT_EQ(FirstDifference(shots[1], Pixels(f.store)), "");
  f.proc.UndoAt(0);
  EXPECT_EQ(FirstDifference(shots[3], Pixels(f.store)), "");
  // Dropping index 1 (the third push) leaves the second and the fourth.
  f.proc.ClearUndoAt(1);
  ASSERT_EQ(f.proc.GetUndoCount(), 2);
  EXPECT_EQ(f.proc.GetUndoCaptions(0), "Push 4");
  EXPECT_EQ(f.proc.GetUndoCaptions(1), "Push 2");
  f.proc.UndoAt(1);
  EXPECT_EQ(FirstDifference(shots[1], Pixels(f.store)), "");
  f.proc.ClearAllUndo();
  EXPECT_EQ(f.proc.GetUndoCount(), 0);
}

TEST(ProcUndo, LimitBelowOneStillKeepsTheNewestEntry) {
  UndoFixture f(ie8g);
  f.proc.SetUndoLimit(0);
  f.proc.SaveUndoCaptioned("A");
  f.proc.SaveUndoCaptioned("B");
  EXPECT_EQ(f.proc.GetUndoCount(), 1);
  EXPECT_EQ(f.proc.GetUndoCaptions(0), "B");
}

TEST(ProcUndo, IndexesOutsideTheStack) {
  UndoFixture f(ie8g);
  f.proc.SaveUndoCaptioned("Only");
  const auto pixels = Pixels(f.store);
  f.proc.UndoAt(1);  // beyond the oldest: nothing
  f.proc.RedoAt(0);  // empty redo stack: nothing
  f.proc.ClearUndoAt(1);
  EXPECT_EQ(f.proc.GetUndoCount(), 1);
  EXPECT_EQ(f.proc.GetUndoCaptions(1), "");
  EXPECT_EQ(f.proc.GetUndoCaptions(-1), "");
  EXPECT_EQ(f.proc.GetRedoCaptions(0), "");
  f.proc.SetUndoCaptions(5, "Ignored");
  f.proc.SetUndoCaptions(0, "Renamed");
  EXPECT_EQ(f.proc.GetUndoCaptions(0), "Renamed");
  // A negative index is the caller's error.
  EXPECT_THROW(f.proc.UndoAt(-1), EListError);
  EXPECT_THROW(f.proc.RedoAt(-1), EListError);
  EXPECT_THROW(f.proc.ClearUndoAt(-1), EListError);
  EXPECT_EQ(f.proc.GetUndoCount(), 1);
  EXPECT_EQ(FirstDifference(pixels, Pixels(f.store)), "");
  // Clearing an empty stack does nothing.
  f.proc.ClearRedo();
  f.proc.ClearUndo();
  f.proc.ClearUndo();
  EXPECT_EQ(f.proc.GetUndoCount(), 0);
}

TEST(ProcUndo, NothingIsRecordedForAnEmptyImageASelectionOrAnUnknownSource) {
  TDadirAvProc proc(nullptr);  // its own, empty store
  proc.SaveUndoCaptioned("Empty");
  proc.SaveRedo();
  EXPECT_EQ(proc.GetUndoCount(), 0);
  EXPECT_EQ(proc.GetRedoCount(), 0);

  UndoFixture f(ie24RGB);
  f.proc.SaveUndoCaptioned("Selection", ieuSelection);  // no view: no selection to keep
  f.proc.SaveUndo(ieuUnknown);
  EXPECT_EQ(f.proc.GetUndoCount(), 0);
  EXPECT_EQ(f.proc.GetUndoCaptions(0), "");

  f.proc.SetIEBitmap(nullptr);  // no store at all
  f.proc.SaveUndo();
  f.proc.Undo();
  EXPECT_EQ(f.proc.GetUndoCount(), 0);
}

TEST(ProcUndo, StacksSurviveAttachmentChanges) {
  UndoFixture f(ie24RGB);
  const auto before = Pixels(f.store);
  f.proc.SaveUndo();
  TIEBitmap other;
  other.Allocate(2, 2, ie8g);
  f.proc.SetAttachedIEBitmap(&other);
  EXPECT_EQ(f.proc.GetUndoCount(), 1);
  // Restoring into the new holder gives it the snapshot.
  f.proc.Undo();
  EXPECT_EQ(other.GetPixelFormat(), ie24RGB);
  EXPECT_EQ(FirstDifference(before, Pixels(other)), "");
}
