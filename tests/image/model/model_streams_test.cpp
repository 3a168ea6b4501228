// String streams, the byte array, the counting null stream, checked writes and the
// system queries.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <string>

#include "image/model/ieutils.h"
#include "platform/rtl/Exceptions.h"
#include "platform/rtl/Lists.h"
#include "platform/rtl/Streams.h"
#include "tests/support/Peers.h"

namespace {

std::string Int32(Integer v) {
  const auto u = static_cast<DWORD>(v);
  return std::string{static_cast<char>(u), static_cast<char>(u >> 8), static_cast<char>(u >> 16),
                     static_cast<char>(u >> 24)};
}

std::string Bytes(TMemoryStream& stream) {
  return std::string(static_cast<const char*>(stream.Memory()),
                     static_cast<size_t>(stream.GetSize()));
}

void Put(TMemoryStream& stream, const std::string& bytes) {
  stream.WriteBuffer(bytes.data(), static_cast<Integer>(bytes.size()));
  stream.SetPosition(0);
}

// Takes at most Room bytes in all, then writes nothing.
class ShortStream : public TMemoryStream {
 public:
  explicit ShortStream(Integer room) : room_(room) {}
  Integer Write(const void* buffer, Integer count) override {
    const Integer n = std::min(count, room_);
    room_ -= n;
    return TMemoryStream::Write(buffer, n);
  }

 private:
  Integer room_;
};

TEST(IEStringStreams, StringsAndListsHaveLengthPrefixedForms) {
  TMemoryStream stream;
  SaveStringToStream(&stream, "");
  EXPECT_EQ(Bytes(stream), std::string(4, '\0'));

  TMemoryStream listStream;
  TStringList empty;
  SaveStringListToStream(&listStream, &empty);
  EXPECT_EQ(Bytes(listStream), std::string(4, '\0'));

  TStringList list;
  list.Add("one");
  list.Add("");
  list.Add(std::string("t\0o", 3));
  TMemoryStream full;
  SaveStringListToStream(&full, &list);
  EXPECT_EQ(Bytes(full), Int32(3) + Int32(3) + "one" + Int32(0) + Int32(3) + std::string("t\0o", 3));
  full.SetPosition(0);
  TStringList loaded;
  loaded.Add("old");
  EXPECT_TRUE(LoadStringListFromStream(&full, &loaded));
  ASSERT_EQ(loaded.GetCount(), 3);
  EXPECT_EQ(loaded.Strings(0), "one");
  EXPECT_EQ(loaded.Strings(1), "");
  EXPECT_EQ(loaded.Strings(2), std::string("t\0o", 3));
}

// Lengths and counts come from outside: never more room than the stream holds,
// never bytes the stream did not supply.
TEST(IEStringStreams, DamagedFormsStopAtTheData) {
  struct Case {
    const char* what;
    std::string form;
    bool whole;
    std::string text;
  };
  const Case strings[] = {
      {"complete", Int32(3) + "abc", true, "abc"},
      {"cut short", Int32(10) + "abc", false, "abc"},
      {"huge length", Int32(0x7FFFFFFF) + "abc", false, "abc"},
      {"negative length", Int32(-1) + "abc", false, ""},
      {"no length", "ab", false, ""},
  };
  for (const Case& c : strings) {
    TMemoryStream stream;
    Put(stream, c.form);
    AnsiString s = "old";
    EXPECT_EQ(LoadStringFromStream(&stream, s), c.whole) << c.what;
    EXPECT_EQ(s, c.text) << c.what;
  }

  const std::string lists[] = {
      Int32(0x7FFFFFFF) + Int32(1) + "a",
      Int32(2) + Int32(1) + "a" + Int32(-7),
      Int32(-2),
      Int32(3) + Int32(1) + "a" + Int32(5) + "bc",
  };
  for (const std::string& form : lists) {
    TMemoryStream stream;
    Put(stream, form);
    TStringList list;
    list.Add("old");
    EXPECT_FALSE(LoadStringListFromStream(&stream, &list));
    EXPECT_LE(list.GetCount(), 1);
    if (list.GetCount() == 1) {
      EXPECT_EQ(list.Strings(0), "a");
    }
  }
}

TEST(IEStringStreams, ByteArrayReallocatesOnlyOutsideItsWindow) {
  TIEByteArray bytes;
  EXPECT_EQ(bytes.GetSize(), 0);
  EXPECT_EQ(bytes.GetCapacity(), 8192);
  EXPECT_EQ(bytes.GetBlockSize(), 8192);
  struct Step {
    Integer size, capacity;
  };
  const Step steps[] = {{20000, 28192}, {25000, 28192}, {21000, 28192}, {20000, 28192},
                        {19000, 27192}, {100, 8292},    {8292, 8292},   {8293, 16485}};
  for (const Step& s : steps) {
    bytes.SetSize(s.size);
    EXPECT_EQ(bytes.GetSize(), s.size);
    EXPECT_EQ(bytes.GetCapacity(), s.capacity) << s.size;
  }

  TIEByteArray kept;
  for (int i = 0; i < 20000; ++i) kept.AddByte(static_cast<Byte>(i % 251));
  kept.SetSize(100);  // reallocates and keeps the first 100
  EXPECT_EQ(kept.GetCapacity(), 8292);
  for (int i = 0; i < 100; ++i) ASSERT_EQ(kept.GetData()[i], i % 251);
  kept.Clear();
  EXPECT_EQ(kept.GetSize(), 0);
  EXPECT_EQ(kept.GetCapacity(), 8192);
  EXPECT_THROW(kept.SetSize(-1), ERangeError);
  EXPECT_THROW(kept.SetSize(0x7FFFF000), EOutOfMemory);
  EXPECT_EQ(kept.GetSize(), 0);
}

TEST(IEStringStreams, AppendFromStreamTakesWhatTheStreamHas) {
  TIEByteArray bytes;
  bytes.AddByte('<');
  TMemoryStream stream;
  Put(stream, "0123456789");
  EXPECT_EQ(bytes.AppendFromStream(&stream, 100000), 10);
  EXPECT_EQ(bytes.GetSize(), 11);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes.GetData()), 11), "<0123456789");
  EXPECT_EQ(bytes.AppendFromStream(&stream, 5), 0) << "at the end of the stream";
  EXPECT_EQ(bytes.AppendFromStream(&stream, -5), 0);
  EXPECT_EQ(bytes.GetSize(), 11);
}

// Seeking from the end counts from the size, as for every stream (an encoder that
// measures itself seeks back from the end with a negative offset).
TEST(IEStringStreams, NullStreamCountsWithoutKeeping) {
  TNulStream stream;
  char buffer[16] = {};
  EXPECT_EQ(stream.Write(buffer, 10), 10);
  EXPECT_EQ(stream.Seek(Int64{0}, soBeginning), 0);
  EXPECT_EQ(stream.Write(buffer, 4), 4);
  EXPECT_EQ(stream.GetPosition(), 4);
  EXPECT_EQ(stream.GetSize(), 10);
  EXPECT_EQ(stream.Seek(Int64{3}, soEnd), 13);
  EXPECT_EQ(stream.GetSize(), 10) << "seeking from the end does not grow the size";
  EXPECT_EQ(stream.Seek(Int64{-4}, soEnd), 6);
  EXPECT_EQ(stream.Seek(Int64{0}, soFromEnd), 10);
  EXPECT_EQ(stream.Seek(Int64{5}, soCurrent), 15);
  EXPECT_EQ(stream.GetSize(), 15);
  EXPECT_EQ(stream.Read(buffer, 5), 5);
  EXPECT_EQ(stream.GetSize(), 20);
  EXPECT_EQ(stream.Seek(Int64{-100}, soCurrent), -1);
  EXPECT_EQ(stream.Seek(Int64{-21}, soEnd), -1);
  EXPECT_EQ(stream.GetPosition(), 20) << "a refused seek changes nothing";
  EXPECT_EQ(stream.Write(buffer, -3), 0);
  stream.SetSize(0);
  EXPECT_EQ(stream.GetSize(), 20);
  EXPECT_EQ(stream.Seek(INT64_MAX, soBeginning), INT64_MAX);
  EXPECT_EQ(stream.Seek(Int64{1}, soCurrent), -1);
  EXPECT_EQ(stream.Write(buffer, 1), 0);
}

TEST(IEStringStreams, SafeStreamWriteSetsTheFlagOnShortWrites) {
  ShortStream stream(6);
  bool aborting = false;
  SafeStreamWrite(&stream, aborting, "abcd", 4);
  EXPECT_FALSE(aborting);
  SafeStreamWrite(&stream, aborting, "efgh", 4);  // takes 2 of 4
  EXPECT_TRUE(aborting);
  ShortStream roomy(100);
  SafeStreamWrite(&roomy, aborting, "ijkl", 4);
  EXPECT_TRUE(aborting) << "never cleared";
}

TEST(IEStringStreams, FileSizesInSixtyFourBits) {
  larktest::TempDir dir;
  EXPECT_EQ(_getfilesize(dir.Path() + "missing"), -1);
  EXPECT_EQ(_getfilesize(dir.Path()), -1) << "a folder is no file";
  EXPECT_EQ(_getfilesize(""), -1);
  // Sparse files: sizes past 2 GB and 4 GB cost no disk.
  for (Int64 size : {Int64{0}, Int64{12345}, Int64{0xFFFFFFFF}, Int64{0x140000000}}) {
    const std::string name = dir.Path() + "f" + std::to_string(size);
    const int fd = open(name.c_str(), O_WRONLY | O_CREAT, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(ftruncate(fd, size), 0);
    close(fd);
    EXPECT_EQ(_getfilesize(name), size);
  }
}

TEST(IEStringStreams, ColourCountsInThirtyTwoBits) {
  struct Case {
    Integer bits, samples, colours;
  };
  const Case cases[] = {{8, 3, 16777216}, {1, 1, 2},  {8, 4, 0},    {8, 1, 256}, {4, 2, 256},
                        {16, 1, 65536},   {8, 0, 1},  {8, -2, 1},   {32, 1, 1},  {33, 1, 2},
                        {1, 31, INT32_MIN}, {1, 0x7FFFFFFF, 0},     {0, 1000000000, 1}};
  for (const Case& c : cases)
    EXPECT_EQ(_GetNumCol(c.bits, c.samples), c.colours) << c.bits << " x " << c.samples;
}

TEST(IEStringStreams, NumbersReadWithEitherDecimalSeparator) {
  struct Case {
    const char* text;
    long double value;
  };
  const Case cases[] = {{"1.5", 1.5L}, {"1,5", 1.5L}, {"-2,25", -2.25L}, {" 3 ", 3},
                        {"abc", -7},   {"", -7},      {"1,5,5", -7},     {"1.5.5", -7},
                        {"1e3", 1000}};
  for (const Case& c : cases)
    EXPECT_EQ(IEStrToFloatDef(c.text, -7), c.value) << c.text;
}

TEST(IEStringStreams, SystemQueriesAnswerForThisSystem) {
  EXPECT_FALSE(IEIs_98());
  EXPECT_FALSE(IEIs_XP());
  EXPECT_FALSE(IEIs_Win2000_ME_XP());
#if defined(__x86_64__)
  EXPECT_TRUE(IEMMXSupported()) << "every x86-64 processor has MMX";
#endif
}

}  // namespace
