// Damaged and hostile AVI files: truncated anywhere, huge lengths, frame counts and
// sizes, a rate or scale of 0, index entries outside the file, nested and
// self-referring lists, palettes shorter than the pixels' indexes. The reader answers
// what the file really holds and never reads beyond it.
#include <gtest/gtest.h>

#include "tests/image/file_test_util.h"
#include "tests/platform/avifile/avi_test_util.h"

namespace {

using avi_test::OpenStream;
using avi_test::Riff;

class AVIHostileTest : public ::testing::Test {
 protected:
  void SetUp() override { AVIFileInit(); }
  void TearDown() override { AVIFileExit(); }
  std::string Path(const std::string& name) const { return dir_.Path() + name; }

  // Opens bytes as a file and reads every frame the stream claims and some beyond.
  // Answers the frame count, or -1 when no getter could be had.
  int ReadAll(const std::string& bytes) {
    const std::string path = Path("hostile.avi");
    file_test::WriteFile(path, bytes);
    OpenStream s(path);
    if (s.getter == nullptr) return -1;
    for (DWORD i = 0; i < s.info.dwLength + 2; ++i) AVIStreamGetFrame(s.getter, static_cast<LONG>(i));
    return static_cast<int>(s.info.dwLength);
  }

  larktest::TempDir dir_;
};

std::string Gray(int entries) {
  std::string table;
  for (int i = 0; i < entries; ++i) table += std::string{static_cast<char>(i), static_cast<char>(i), static_cast<char>(i), 0};
  return table;
}

// A 4 x 2 8-bit file of two frames with an index.
std::string SmallFile(uint32_t scale = 1, uint32_t rate = 25, uint32_t length = 2) {
  const std::string f0(8, '\x01');
  const std::string f1(8, '\x02');
  const std::string movi = Riff::Chunk("00db", f0) + Riff::Chunk("00db", f1);
  const std::string index = Riff::IndexEntry("00db", AVIIF_KEYFRAME, 4, 8) + Riff::IndexEntry("00db", AVIIF_KEYFRAME, 20, 8);
  return Riff::File(Riff::Strh(scale, rate, length), Riff::Strf(4, 2, 8, BI_RGB, 0, Gray(256)), movi, &index);
}

TEST_F(AVIHostileTest, TruncatedAtEveryLength) {
  const std::string path = Path("full.avi");
  avi_test::MakeAvi(path, "rawvideo", "pal8", 3, "25", 16, 8);
  const std::string full = file_test::ReadFile(path);
  ASSERT_EQ(ReadAll(full), 3);
  int lastCount = 0;
  for (size_t length = 0; length < full.size(); length += 7) {
    const int count = ReadAll(full.substr(0, length));
    // Never more frames than the bytes hold, and more bytes never lose frames.
    EXPECT_LE(count, 3) << length;
    if (count >= 0) {
      EXPECT_GE(count, lastCount) << length;
      lastCount = count;
    }
  }
}

TEST_F(AVIHostileTest, HugeLengthIsTheFramesPresent) {
  EXPECT_EQ(ReadAll(SmallFile(1, 25, 0xFFFFFFFF)), 2);
  EXPECT_EQ(ReadAll(SmallFile(1, 25, 0)), 2);
}

TEST_F(AVIHostileTest, RateOrScaleZeroIsReportedAsStored) {
  for (const auto& [scale, rate] : {std::pair<uint32_t, uint32_t>{1, 0}, {0, 25}, {0, 0}}) {
    const std::string path = Path("rate0.avi");
    file_test::WriteFile(path, SmallFile(scale, rate));
    OpenStream s(path);
    ASSERT_NE(s.getter, nullptr);
    EXPECT_EQ(s.info.dwScale, scale);
    EXPECT_EQ(s.info.dwRate, rate);
    EXPECT_NE(AVIStreamGetFrame(s.getter, 1), nullptr);
  }
}

TEST_F(AVIHostileTest, HugePictureSizesGiveNoGetter) {
  struct Case {
    int32_t width;
    int32_t height;
    uint16_t bits;
  };
  for (const Case& c : {Case{0x7FFFFFFF, 2, 24}, Case{4, 0x7FFFFFFF, 24}, Case{4, static_cast<int32_t>(0x80000000), 24},
                        Case{30000, 30000, 32}, Case{0, 2, 24}, Case{4, 0, 24}, Case{-4, 2, 24}, Case{4, 2, 12}}) {
    const std::string movi = Riff::Chunk("00db", std::string(24, '\0'));
    const std::string bytes = Riff::File(Riff::Strh(1, 25, 1), Riff::Strf(c.width, c.height, c.bits, BI_RGB, 0, ""), movi);
    EXPECT_EQ(ReadAll(bytes), -1) << c.width << "x" << c.height << "x" << c.bits;
  }
}

TEST_F(AVIHostileTest, FramesShorterThanThePictureAreNotDecoded) {
  const std::string movi = Riff::Chunk("00db", std::string(7, '\x01')) + Riff::Chunk("00db", std::string(8, '\x02'));
  const std::string path = Path("short.avi");
  file_test::WriteFile(path, Riff::File(Riff::Strh(1, 25, 2), Riff::Strf(4, 2, 8, BI_RGB, 0, Gray(256)), movi));
  OpenStream s(path);
  ASSERT_NE(s.getter, nullptr);
  EXPECT_EQ(AVIStreamGetFrame(s.getter, 0), nullptr);
  EXPECT_NE(AVIStreamGetFrame(s.getter, 1), nullptr);
}

TEST_F(AVIHostileTest, IndexEntriesOutsideTheFileAreDropped) {
  const std::string movi = Riff::Chunk("00db", std::string(8, '\x01'));
  for (uint32_t offset : {0xFFFFFFF0u, 0x7FFFFFFFu, 1000000u}) {
    const std::string index = Riff::IndexEntry("00db", AVIIF_KEYFRAME, 4, 8) +
                              Riff::IndexEntry("00db", AVIIF_KEYFRAME, offset, 8) +
                              Riff::IndexEntry("00db", AVIIF_KEYFRAME, 4, 0xFFFFFFF0u);
    EXPECT_EQ(ReadAll(Riff::File(Riff::Strh(1, 25, 3), Riff::Strf(4, 2, 8, BI_RGB, 0, Gray(256)), movi, &index)), 1)
        << offset;
  }
}

TEST_F(AVIHostileTest, NestedAndSelfReferringLists) {
  // Record lists nested deeper than movi's own are not entered; chunk sizes that
  // point back or far beyond the file end the walk.
  std::string nested = Riff::Chunk("00db", std::string(8, '\x03'));
  for (int i = 0; i < 200; ++i) nested = Riff::List("rec ", nested);
  const std::string strf = Riff::Strf(4, 2, 8, BI_RGB, 0, Gray(256));
  EXPECT_EQ(ReadAll(Riff::File(Riff::Strh(1, 25, 1), strf, nested)), 0);
  EXPECT_EQ(ReadAll(Riff::File(Riff::Strh(1, 25, 1), strf, Riff::List("rec ", Riff::Chunk("00db", std::string(8, '\x03'))))), 1);

  // A LIST whose size claims the whole 32-bit range, and one of size 0.
  std::string huge = Riff::File(Riff::Strh(1, 25, 1), strf, Riff::Chunk("00db", std::string(8, '\x04')));
  const size_t movi = huge.find("movi");
  avi_test::Put32(huge, movi - 4, 0xFFFFFFFF);
  EXPECT_EQ(ReadAll(huge), 1);
  avi_test::Put32(huge, movi - 4, 0);
  EXPECT_LE(ReadAll(huge), 1);
  // hdrl claiming to hold the whole file, movi inside it.
  std::string hdrl = SmallFile();
  avi_test::Put32(hdrl, hdrl.find("hdrl") - 4, 0xFFFFFFF0);
  EXPECT_LE(ReadAll(hdrl), 2);
  // The RIFF size smaller than the headers.
  std::string riff = SmallFile();
  avi_test::Put32(riff, 4, 4);
  EXPECT_EQ(ReadAll(riff), -1);
}

TEST_F(AVIHostileTest, PaletteShorterThanTheIndexesGivesBlack) {
  const std::string frame("\x00\x01\x02\xFF\x01\x01\x01\x01", 8);
  const std::string red = std::string("\x00\x00\xFF\x00", 4);
  const std::string green = std::string("\x00\xFF\x00\x00", 4);
  struct Case {
    uint32_t clrUsed;
    std::string table;
  };
  // Two colours declared and present; 256 declared and two present; 1,000 declared.
  for (const Case& c : {Case{2, red + green}, Case{0, red + green}, Case{1000, red + green}}) {
    const std::string path = Path("palette.avi");
    file_test::WriteFile(path, Riff::File(Riff::Strh(1, 25, 1), Riff::Strf(4, 2, 8, BI_RGB, c.clrUsed, c.table),
                                          Riff::Chunk("00db", frame)));
    OpenStream s(path);
    ASSERT_NE(s.getter, nullptr) << c.clrUsed;
    const void* dib = AVIStreamGetFrame(s.getter, 0);
    ASSERT_NE(dib, nullptr);
    // Bottom row first in the file: 0, 1, 2, 255 -> red, green, black, black.
    const std::string bgr = avi_test::DibToBGR(dib);
    const std::string bottom = bgr.substr(12, 12);
    EXPECT_EQ(bottom, std::string("\x00\x00\xFF\x00\xFF\x00\x00\x00\x00\x00\x00\x00", 12)) << c.clrUsed;
  }
}

TEST_F(AVIHostileTest, RunLengthDataBeyondThePicture) {
  // Runs past the row end, deltas past the picture, a literal run cut short.
  const std::string frame = std::string("\xFF\x05\x00\x02\xFF\xFF\x10\x06\x00\x00\x00\x09\x01\x02", 14);
  const std::string bytes = Riff::File(Riff::Strh(1, 25, 2), Riff::Strf(4, 2, 8, BI_RLE8, 0, Gray(256)),
                                       Riff::Chunk("00dc", frame) + Riff::Chunk("00dc", std::string("\x00", 1)));
  EXPECT_EQ(ReadAll(bytes), 2);
}

}  // namespace
