// TIEMarkerList: the JPEG markers of an image and their stream form.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "image/model/ieutils.h"
#include "platform/rtl/Exceptions.h"
#include "platform/rtl/Streams.h"

namespace {

std::string Bytes(TMemoryStream& stream) {
  return std::string(static_cast<const char*>(stream.Memory()),
                     static_cast<size_t>(stream.GetSize()));
}

std::string Int32(Integer v) {
  const auto u = static_cast<DWORD>(v);
  return std::string{static_cast<char>(u), static_cast<char>(u >> 8), static_cast<char>(u >> 16),
                     static_cast<char>(u >> 24)};
}

std::string Data(TIEMarkerList& list, Integer i) {
  return std::string(static_cast<const char*>(list.GetMarkerData(i)),
                     static_cast<size_t>(list.GetMarkerLength(i)));
}

// COM "hello", an empty APP0, APP13 "IPTC".
void Fill(TIEMarkerList& list) {
  list.AddMarker(254, "hello", 5);
  list.AddMarker(224, nullptr, 0);
  list.AddMarker(237, "IPTC", 4);
}

TEST(MarkerList, StreamFormIsCountThenCodeLengthAndData) {
  TIEMarkerList empty;
  TMemoryStream emptyStream;
  empty.SaveToStream(&emptyStream);
  EXPECT_EQ(Bytes(emptyStream), std::string(5, '\0'));

  TIEMarkerList list;
  Fill(list);
  TMemoryStream stream;
  list.SaveToStream(&stream);
  const std::string expected = std::string(1, '\0') + Int32(3) + "\xFE" + Int32(5) + "hello" +
                               "\xE0" + Int32(0) + "\xED" + Int32(4) + "IPTC";
  EXPECT_EQ(Bytes(stream), expected);

  TIEMarkerList loaded;
  loaded.AddMarker(1, "old", 3);
  stream.SetPosition(0);
  EXPECT_TRUE(loaded.LoadFromStream(&stream));
  ASSERT_EQ(loaded.GetCount(), 3);
  EXPECT_EQ(loaded.GetMarkerType(0), 254);
  EXPECT_EQ(Data(loaded, 0), "hello");
  EXPECT_EQ(loaded.GetMarkerType(1), 224);
  EXPECT_EQ(loaded.GetMarkerLength(1), 0);
  EXPECT_EQ(Data(loaded, 2), "IPTC");
}

TEST(MarkerList, EditingOperations) {
  TIEMarkerList list;
  Fill(list);
  list.AddMarker(254, "second", 6);
  EXPECT_EQ(list.IndexOf(254), 0) << "the first of two";
  EXPECT_EQ(list.IndexOf(225), -1);

  list.InsertMarker(1, "exif", 225, 4);  // data before the code
  EXPECT_EQ(list.GetMarkerType(1), 225);
  EXPECT_EQ(Data(list, 1), "exif");
  list.InsertMarker(list.GetCount(), "end", 239, 3);
  EXPECT_EQ(list.GetMarkerType(list.GetCount() - 1), 239);

  list.SetMarker(0, 238, "replaced", 8);
  EXPECT_EQ(list.GetMarkerType(0), 238);
  EXPECT_EQ(Data(list, 0), "replaced");

  TMemoryStream* stream = list.GetMarkerStream(0);
  stream->Seek(Int64{3}, soBeginning);
  EXPECT_EQ(list.GetMarkerStream(0)->GetPosition(), 0);

  list.DeleteMarker(0);
  EXPECT_EQ(list.GetMarkerType(0), 225);
  EXPECT_EQ(list.GetCount(), 5);
  list.Clear();
  EXPECT_EQ(list.GetCount(), 0);
}

TEST(MarkerList, IndexesOutsideTheListRaise) {
  TIEMarkerList list;
  Fill(list);
  EXPECT_THROW(list.GetMarkerData(3), EListError);
  EXPECT_THROW(list.GetMarkerType(-1), EListError);
  EXPECT_THROW(list.GetMarkerLength(3), EListError);
  EXPECT_THROW(list.SetMarker(3, 1, "x", 1), EListError);
  EXPECT_THROW(list.DeleteMarker(-1), EListError);
  EXPECT_THROW(list.InsertMarker(4, "x", 1, 1), EListError);
  EXPECT_EQ(list.GetCount(), 3);
}

// A marker longer than a JPEG segment can only come from a stream form; copying the
// list must keep all of it (a 16-bit length would keep 70000 mod 65536 bytes).
TEST(MarkerList, AssignCopiesLongMarkersWhole) {
  const std::string big(70000, 'x');
  TMemoryStream stream;
  const std::string form = std::string(1, '\0') + Int32(1) + "\xE1" + Int32(70000) + big;
  stream.WriteBuffer(form.data(), static_cast<Integer>(form.size()));
  stream.SetPosition(0);
  TIEMarkerList loaded;
  ASSERT_TRUE(loaded.LoadFromStream(&stream));
  EXPECT_EQ(loaded.GetMarkerLength(0), 70000);

  TIEMarkerList copy;
  copy.Assign(&loaded);
  ASSERT_EQ(copy.GetCount(), 1);
  EXPECT_EQ(copy.GetMarkerLength(0), 70000);
  EXPECT_EQ(Data(copy, 0), big);
  EXPECT_NE(copy.GetMarkerData(0), loaded.GetMarkerData(0)) << "a copy, not shared";
}

TEST(MarkerList, AssignFromItselfOrNothingKeepsTheMarkers) {
  TIEMarkerList list;
  Fill(list);
  list.Assign(&list);
  ASSERT_EQ(list.GetCount(), 3);
  EXPECT_EQ(Data(list, 0), "hello");
  list.Assign(nullptr);
  EXPECT_EQ(list.GetCount(), 3);
}

// Damaged stream forms: the load stops at the end of the stream, keeps the markers
// it read whole, and never allocates more than the stream holds.
TEST(MarkerList, DamagedStreamFormsStopAtTheEndOfTheData) {
  TIEMarkerList list;
  Fill(list);
  TMemoryStream stream;
  list.SaveToStream(&stream);
  const std::string whole = Bytes(stream);
  // Offsets where each marker of the saved form ends.
  const size_t ends[] = {5 + 10, 5 + 10 + 5, whole.size()};
  for (size_t cut = 0; cut < whole.size(); ++cut) {
    TMemoryStream damaged;
    damaged.WriteBuffer(whole.data(), static_cast<Integer>(cut));
    damaged.SetPosition(0);
    TIEMarkerList loaded;
    EXPECT_FALSE(loaded.LoadFromStream(&damaged)) << cut;
    Integer complete = 0;
    for (size_t end : ends) complete += cut >= end ? 1 : 0;
    EXPECT_EQ(loaded.GetCount(), complete) << cut;
  }

  struct Case {
    const char* what;
    std::string form;
  };
  const Case cases[] = {
      {"negative count", std::string(1, '\0') + Int32(-1)},
      {"huge count", std::string(1, '\0') + Int32(0x7FFFFFFF) + "\x01" + Int32(1) + "a"},
      {"negative length", std::string(1, '\0') + Int32(1) + "\x01" + Int32(-5) + "abcde"},
      {"length beyond the data", std::string(1, '\0') + Int32(1) + "\x01" + Int32(0x7FFFFFFF) +
                                     "abc"},
  };
  for (const Case& c : cases) {
    TMemoryStream damaged;
    damaged.WriteBuffer(c.form.data(), static_cast<Integer>(c.form.size()));
    damaged.SetPosition(0);
    TIEMarkerList loaded;
    EXPECT_FALSE(loaded.LoadFromStream(&damaged)) << c.what;
    EXPECT_LE(loaded.GetCount(), 1) << c.what;
  }
}

}  // namespace
