// TIFF directory loading and the typed tag accessors, on directories built by hand
// in both byte orders.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "image/formats/tiffilt.h"
#include "platform/rtl/Streams.h"
#include "tests/image/tiff_builder.h"

namespace {

using larktest::TiffBuilder;
using namespace std::string_literals;

void Fill(TMemoryStream& stream, const std::string& bytes) {
  stream.Clear();
  if (!bytes.empty()) stream.WriteBuffer(bytes.data(), static_cast<Integer>(bytes.size()));
  stream.SetPosition(0);
}

// One page with a value of every shape the accessors distinguish.
std::string SamplePage(bool intel) {
  TiffBuilder b(intel);
  b.Short(259, {1});                          // SHORT, count 1
  b.Short(297, {3, 7});                       // SHORT pair, inline
  b.Short(258, {8, 16, 32});                  // SHORT array out of line
  b.Long(256, {70000});                       // LONG, count 1
  b.Long(273, {100, 200, 0x80000001u});       // LONG array
  b.Rational(282, {{300, 2}});                // 150
  b.Rational(283, {{72, 0}});                 // denominator 0
  b.Rational(318, {{1, 4}, {3, 4}});
  b.Ascii(271, "Cano\0"s);                    // four letters and a NUL: out of line
  b.Ascii(272, "LG\0"s);                      // short text stored inline
  b.Undefined(36864, "0210");
  b.Undefined(37500, "\x01\x02\x03\x04\x05\x06"s);
  b.EndPage();
  return b.Build();
}

class TiffTags : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    Fill(stream_, SamplePage(GetParam()));
    Integer count = -1;
    ASSERT_TRUE(TIFFLoadTags(&stream_, count, 0, env_));
    EXPECT_EQ(count, 1);
    EXPECT_EQ(env_.Intel, GetParam());
  }
  void TearDown() override { TIFFFreeTags(env_); }

  TMemoryStream stream_;
  TTIFFEnv env_;
};

TEST_P(TiffTags, IntegersReadTheSameInBothByteOrders) {
  EXPECT_EQ(TIFFReadSingleValDef(env_, 259, -1), 1);
  EXPECT_EQ(TIFFReadSingleValDef(env_, 256, -1), 70000);
  EXPECT_EQ(TIFFReadSingleValDef(env_, 999, -5), -5);
  // A SHORT pair yields its values in file order.
  EXPECT_EQ(TIFFReadIndexValN(env_, 297, 0), 3);
  EXPECT_EQ(TIFFReadIndexValN(env_, 297, 1), 7);
  EXPECT_EQ(TIFFReadIndexValN(env_, 258, 2), 32);
  EXPECT_EQ(TIFFReadIndexValN(env_, 273, 1), 200);
  EXPECT_EQ(TIFFReadIndexValN(env_, 273, 3), 0) << "index past the count";
  EXPECT_EQ(TIFFReadIndexValN(env_, 282, 0), 0) << "not SHORT or LONG";
  EXPECT_EQ(TIFFGetDataLength(env_, 273), 3);
  EXPECT_EQ(TIFFGetDataLength(env_, 999), 0);
  EXPECT_EQ(TIFFFindTAG(999, env_), -1);
  EXPECT_GE(TIFFFindTAG(273, env_), 0);
}

TEST_P(TiffTags, ArraysComeWholeAndAbsentTagsLeaveThemAlone) {
  std::unique_ptr<Integer[]> v;
  ASSERT_EQ(TIFFReadArrayIntegers(env_, v, 258), 3);
  EXPECT_EQ(v[0], 8);
  EXPECT_EQ(v[1], 16);
  EXPECT_EQ(v[2], 32);
  ASSERT_EQ(TIFFReadArrayIntegers(env_, v, 297), 2);
  EXPECT_EQ(v[0], 3);
  EXPECT_EQ(v[1], 7);
  ASSERT_EQ(TIFFReadArrayIntegers(env_, v, 273), 3);
  EXPECT_EQ(v[2], static_cast<Integer>(0x80000001u));
  ASSERT_EQ(TIFFReadArrayIntegers(env_, v, 259), 1);
  EXPECT_EQ(v[0], 1);
  Integer* before = v.get();
  EXPECT_EQ(TIFFReadArrayIntegers(env_, v, 999), 0);
  EXPECT_EQ(v.get(), before);
}

TEST_P(TiffTags, RationalsDivideAndGuardTheirDenominatorAndIndex) {
  EXPECT_DOUBLE_EQ(TIFFReadSingleRational(env_, 282), 150.0);
  EXPECT_DOUBLE_EQ(TIFFReadSingleRational(env_, 283), 72.0);
  EXPECT_DOUBLE_EQ(TIFFReadRationalIndex(env_, 318, 1), 0.75);
  EXPECT_DOUBLE_EQ(TIFFReadRationalIndex(env_, 318, 2), 0.0);
  EXPECT_DOUBLE_EQ(TIFFReadSingleRational(env_, 999), 0.0);
}

TEST_P(TiffTags, TextsAndRawBytes) {
  EXPECT_EQ(TIFFReadString(env_, 271), "Cano");
  EXPECT_EQ(TIFFReadString(env_, 272), "LG") << "texts of four bytes or less sit in the entry";
  EXPECT_EQ(TIFFReadString(env_, 999), "");
  EXPECT_EQ(TIFFReadMiniString(env_, 36864), "0210");
  Integer len = -1;
  auto raw = TIFFReadRawData(env_, 37500, len);
  ASSERT_NE(raw, nullptr);
  ASSERT_EQ(len, 6);
  EXPECT_EQ(raw[0], 1);
  EXPECT_EQ(raw[5], 6);
  EXPECT_EQ(TIFFReadRawData(env_, 999, len), nullptr);
  EXPECT_EQ(len, 0);
}

INSTANTIATE_TEST_SUITE_P(ByteOrders, TiffTags, ::testing::Values(true, false),
                         [](const ::testing::TestParamInfo<bool>& i) { return i.param ? "Intel" : "Motorola"; });

std::string Pages(int n, bool intel = true) {
  TiffBuilder b(intel);
  for (int i = 0; i < n; ++i) {
    b.Short(256, {static_cast<uint16_t>(10 + i)});
    b.EndPage();
  }
  return b.Build();
}

TEST(TiffDirectories, EachPageLoadsAndAMissingOneStillCountsThePages) {
  TMemoryStream s;
  Fill(s, Pages(3));
  TTIFFEnv env;
  Integer count = 0;
  for (Integer i = 0; i < 3; ++i) {
    s.SetPosition(0);
    ASSERT_TRUE(TIFFLoadTags(&s, count, i, env));
    EXPECT_EQ(count, 3);
    EXPECT_EQ(TIFFReadSingleValDef(env, 256, 0), 10 + i);
  }
  s.SetPosition(0);
  EXPECT_FALSE(TIFFLoadTags(&s, count, 5, env));
  EXPECT_EQ(count, 3);
  EXPECT_EQ(TIFFReadSingleValDef(env, 256, -1), -1);
}

TEST(TiffDirectories, LoopingChainsEnd) {
  struct Case {
    const char* name;
    size_t from;
    int to;
    Integer pages;
  };
  const Case cases[] = {
      {"a directory pointing at itself", 1, 1, 2},
      {"a chain back to the first directory", 2, 0, 3},
  };
  for (const Case& c : cases) {
    TiffBuilder b(true);
    for (int i = 0; i < 3; ++i) {
      b.Short(256, {1});
      b.EndPage();
    }
    b.LinkPage(c.from, c.to);
    if (c.to == static_cast<int>(c.from)) b.LinkPage(2, -1);
    TMemoryStream s;
    Fill(s, b.Build());
    TTIFFEnv env;
    Integer count = 0;
    EXPECT_TRUE(TIFFLoadTags(&s, count, 0, env)) << c.name;
    EXPECT_EQ(count, c.pages) << c.name;
  }
}

TEST(TiffDirectories, BadHeadersAreRefused) {
  const std::string good = Pages(1);
  struct Case {
    const char* name;
    std::string bytes;
  };
  std::string zeroOffset = good;
  zeroOffset.replace(4, 4, std::string(4, '\0'));
  std::string farOffset = good;
  farOffset.replace(4, 4, "\xF0\xFF\xFF\x7F");
  const Case cases[] = {
      {"bad byte-order mark", "IM" + good.substr(2)},
      {"first offset 0", zeroOffset},
      {"first offset beyond the stream", farOffset},
      {"too short", good.substr(0, 5)},
      {"empty", ""},
  };
  for (const Case& c : cases) {
    TMemoryStream s;
    Fill(s, c.bytes);
    TTIFFEnv env;
    Integer count = -1;
    EXPECT_FALSE(TIFFLoadTags(&s, count, 0, env)) << c.name;
    EXPECT_EQ(count, 0) << c.name;
  }
}

TEST(TiffDirectories, CountsBeyondTheStreamReadAsAbsent) {
  TiffBuilder b(true);
  b.RawEntry(270, 2, 0x7FFFFFF0u, 8);       // ASCII of 2 GB
  b.RawEntry(273, 4, 0x40000000u, 8);       // LONG array of 4 GB
  b.RawEntry(37500, 7, 0xFFFFFFFFu, 8);     // raw bytes
  b.RawEntry(282, 5, 1, 0xFFFFFFF0u);       // rational beyond the end
  b.RawEntry(258, 0, 0x7FFFFFFFu, 0);       // values of no size
  b.RawEntry(259, 99, 0x7FFFFFFFu, 0);      // values of an unknown type
  b.EndPage();
  TMemoryStream s;
  Fill(s, b.Build());
  TTIFFEnv env;
  Integer count = 0;
  ASSERT_TRUE(TIFFLoadTags(&s, count, 0, env));
  EXPECT_EQ(TIFFReadString(env, 270), "");
  std::unique_ptr<Integer[]> v;
  EXPECT_EQ(TIFFReadArrayIntegers(env, v, 273), 0);
  EXPECT_EQ(v, nullptr);
  EXPECT_EQ(TIFFReadIndexValN(env, 273, 0x3FFFFFFF), 0);
  EXPECT_EQ(TIFFReadArrayIntegers(env, v, 258), 0);
  EXPECT_EQ(TIFFReadArrayIntegers(env, v, 259), 0);
  Integer len = -1;
  EXPECT_EQ(TIFFReadRawData(env, 37500, len), nullptr);
  EXPECT_DOUBLE_EQ(TIFFReadSingleRational(env, 282), 0.0);
}

TEST(TiffDirectories, DirectoryWithoutItsNextOffsetLoadsUncounted) {
  std::string bytes = Pages(1);
  bytes.resize(bytes.size() - 4);
  TMemoryStream s;
  Fill(s, bytes);
  TTIFFEnv env;
  Integer count = -1;
  EXPECT_TRUE(TIFFLoadTags(&s, count, 0, env));
  EXPECT_EQ(TIFFReadSingleValDef(env, 256, 0), 10);
  EXPECT_EQ(count, 0) << "a directory without its next offset is not counted";
}

TEST(TiffDirectories, EntriesRunningPastTheEndLeaveTheDirectoryUnloadedAndUncounted) {
  struct Case {
    const char* name;
    uint16_t entries;  // the second directory's entry count as damaged
    size_t cut;        // bytes dropped from the end
  };
  const Case cases[] = {
      {"half an entry and no next offset", 1, 4 + 6},
      {"one entry more than the stream holds", 2, 0},
      {"entry count 0xFFFF", 0xFFFF, 0},
  };
  for (bool intel : {true, false}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(intel ? "II: " : "MM: ") + c.name);
      TiffBuilder b(intel);
      for (int i = 0; i < 2; ++i) {
        b.Short(256, {static_cast<uint16_t>(10 + i)});
        b.EndPage();
      }
      std::string bytes = b.Build();
      b.Patch16(bytes, b.DirAt(1), c.entries);
      bytes.resize(bytes.size() - c.cut);
      TMemoryStream s;
      Fill(s, bytes);
      TTIFFEnv env;
      Integer count = -1;
      EXPECT_FALSE(TIFFLoadTags(&s, count, 1, env));
      EXPECT_EQ(count, 1);
      EXPECT_EQ(TIFFFindTAG(256, env), -1);
      s.SetPosition(0);
      ASSERT_TRUE(TIFFLoadTags(&s, count, 0, env));
      EXPECT_EQ(count, 1);
      EXPECT_EQ(TIFFReadSingleValDef(env, 256, 0), 10);
    }
  }
}

TEST(TiffDirectories, OffsetsCountFromTheBase) {
  const std::string tiff = Pages(2, false);
  TMemoryStream s;
  Fill(s, "0123456789" + tiff);
  TTIFFEnv env;
  env.Stream = &s;
  env.Intel = false;
  env.Base = 10;
  Integer count = 0;
  const DWORD first = (DWORD(Byte(tiff[4])) << 24) | (DWORD(Byte(tiff[5])) << 16) |
                      (DWORD(Byte(tiff[6])) << 8) | DWORD(Byte(tiff[7]));
  ASSERT_TRUE(TIFFLoadDirectory(1, first, env, count));
  EXPECT_EQ(count, 2);
  EXPECT_EQ(TIFFReadSingleValDef(env, 256, 0), 11);
}

}  // namespace
