// The item lists: TIEList, TIEDoubleList, TIEIntegerList and TIERecordList.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "image/model/ieutils.h"
#include "platform/rtl/Exceptions.h"

namespace {

std::vector<double> Items(const TIEDoubleList& list) {
  std::vector<double> items;
  for (Integer i = 0; i < list.GetCount(); ++i) items.push_back(list.GetItem(i));
  return items;
}

std::vector<Integer> Items(const TIEIntegerList& list) {
  std::vector<Integer> items;
  for (Integer i = 0; i < list.GetCount(); ++i) items.push_back(list.GetItem(i));
  return items;
}

TEST(IEList, NewListsAreEmptyWithTheirItemSize) {
  TIEDoubleList doubles;
  EXPECT_EQ(doubles.GetCount(), 0);
  EXPECT_EQ(doubles.GetItemSize(), 8);
  EXPECT_EQ(doubles.GetRangeMin(), 0);
  EXPECT_EQ(doubles.GetRangeMax(), 0);
  EXPECT_EQ(doubles.GetRangeStep(), 0);
  EXPECT_EQ(doubles.GetCurrentValue(), 0);
  EXPECT_TRUE(doubles.Changed.Empty());
  TIEIntegerList integers;
  EXPECT_EQ(integers.GetItemSize(), 4);
  TIERecordList records(12);
  EXPECT_EQ(records.GetItemSize(), 12);
  records.Clear();
  EXPECT_EQ(records.GetItemSize(), 12) << "Clear keeps the record size";
}

TEST(IEList, ChangeFlagsRecordWhatKindOfChangeWasMade) {
  TIEDoubleList list;
  list.Add(1.5);
  list.SetRangeMax(10);
  EXPECT_EQ(list.Changed, (TIEListChanges{ielItems, ielRange}));
  EXPECT_EQ(list.Changed.Bits(), 1 | 2);
  list.SetCurrentValue(list.GetCurrentValue());  // an equal value still counts
  EXPECT_EQ(list.Changed.Bits(), 1 | 2 | 4);
  list.Clear();
  EXPECT_TRUE(list.Changed.Empty());
  EXPECT_EQ(list.GetRangeMax(), 0);

  // The scanner layer clears the flags after filling a list from the device.
  list.Add(2);
  list.Changed = {};
  list.SetItem(0, 3);
  EXPECT_EQ(list.Changed, TIEListChanges{ielItems});

  TIEIntegerList integers;
  integers.SetRangeMin(1);
  integers.SetRangeStep(2);
  EXPECT_EQ(integers.Changed, TIEListChanges{ielRange});
}

TEST(IEList, BadIndexesChangeNothing) {
  TIEIntegerList list;
  for (Integer v : {10, 20, 30}) list.Add(v);
  list.Changed = {};
  list.Delete(-1);
  list.Delete(3);
  list.SetItem(3, 99);
  list.SetItem(-1, 99);
  list.Insert(-2, 99);
  EXPECT_TRUE(list.Changed.Empty());
  EXPECT_EQ(Items(list), (std::vector<Integer>{10, 20, 30}));
  EXPECT_EQ(list.GetItem(3), 0);
  EXPECT_EQ(list.GetItem(-1), 0);
  EXPECT_EQ(list.BaseGetItem(3), nullptr);
  list.SetCount(-1);
  EXPECT_EQ(list.GetCount(), 3);
}

TEST(IEList, InsertDeleteAndSearch) {
  TIEIntegerList list;
  for (Integer v : {1, 2, 3}) list.Add(v);
  list.Insert(list.GetCount() + 5, 9);  // beyond the end: appended
  list.Insert(0, 0);
  list.Insert(2, 7);
  EXPECT_EQ(Items(list), (std::vector<Integer>{0, 1, 7, 2, 3, 9}));
  list.Delete(2);
  EXPECT_EQ(Items(list), (std::vector<Integer>{0, 1, 2, 3, 9}));
  list.Add(2);
  EXPECT_EQ(list.IndexOf(2), 2) << "the first of two";
  EXPECT_EQ(list.IndexOf(42), -1);

  list.SetCount(7);
  EXPECT_EQ(Items(list), (std::vector<Integer>{0, 1, 2, 3, 9, 2, 0})) << "new items are zero";
  list.SetCount(2);
  EXPECT_EQ(Items(list), (std::vector<Integer>{0, 1}));

  TIEDoubleList doubles;
  doubles.Add(0.0);
  doubles.Add(-0.0);
  EXPECT_EQ(doubles.IndexOf(-0.0), 1) << "compared byte by byte";
}

TEST(IEList, AssignCopiesItemsRangeAndFlags) {
  TIEDoubleList source;
  source.Add(1);
  source.Add(2.5);
  source.SetRangeMin(-1);
  source.SetRangeMax(9);
  source.SetRangeStep(0.5);
  source.SetCurrentValue(2.5);
  TIEDoubleList copy;
  copy.Add(77);
  copy.Assign(&source);
  EXPECT_EQ(Items(copy), (std::vector<double>{1, 2.5}));
  EXPECT_EQ(copy.GetRangeMin(), -1);
  EXPECT_EQ(copy.GetRangeMax(), 9);
  EXPECT_EQ(copy.GetRangeStep(), 0.5);
  EXPECT_EQ(copy.GetCurrentValue(), 2.5);
  EXPECT_EQ(copy.Changed, source.Changed);

  copy.Assign(&copy);
  EXPECT_EQ(Items(copy), (std::vector<double>{1, 2.5})) << "assigning to itself keeps the items";
  copy.Assign(nullptr);
  EXPECT_EQ(copy.GetCount(), 2);

  TIERecordList records(3);
  records.Assign(&source);
  EXPECT_EQ(records.GetItemSize(), 8) << "the base part takes the item size";
  EXPECT_EQ(records.GetCount(), 2);
}

// A list of another class must be refused before anything is copied; a double list
// with 4-byte items would misread every item.
TEST(IEList, AssignFromAnotherClassRaisesAndLeavesTheListAlone) {
  TIEDoubleList doubles;
  doubles.Add(1.25);
  doubles.SetRangeMax(4);
  TIEIntegerList integers;
  integers.Add(5);
  integers.Add(6);
  TIERecordList records(8);

  EXPECT_THROW(doubles.Assign(&integers), EInvalidCast);
  EXPECT_THROW(doubles.Assign(&records), EInvalidCast);
  EXPECT_EQ(doubles.GetItemSize(), 8);
  EXPECT_EQ(Items(doubles), (std::vector<double>{1.25}));
  EXPECT_EQ(doubles.GetRangeMax(), 4);
  EXPECT_THROW(integers.Assign(&doubles), EInvalidCast);
  EXPECT_EQ(Items(integers), (std::vector<Integer>{5, 6}));
}

TEST(IEList, RecordsAreCopiedInAndOut) {
  struct Point3 {
    Integer x, y, z;
  };
  TIERecordList list(sizeof(Point3));
  const Point3 a{1, 2, 3}, b{4, 5, 6};
  EXPECT_EQ(list.Add(&a), 0);
  EXPECT_EQ(list.Add(&b), 1);
  Point3 read{};
  std::memcpy(&read, list.GetItem(1), sizeof read);
  EXPECT_EQ(read.y, 5);
  EXPECT_EQ(list.IndexOf(&b), 1);
  // An item of the list itself may be added or inserted while the block moves.
  for (int i = 0; i < 50; ++i) list.Add(list.GetItem(1));
  list.Insert(0, list.GetItem(1));
  ASSERT_EQ(list.GetCount(), 53);
  std::memcpy(&read, list.GetItem(0), sizeof read);
  EXPECT_EQ(read.x, 4);
  std::memcpy(&read, list.GetItem(52), sizeof read);
  EXPECT_EQ(read.z, 6);
  EXPECT_EQ(list.GetItem(53), nullptr);

  TIERecordList zero(-4);
  EXPECT_EQ(zero.GetItemSize(), 0);
}

}  // namespace
