// The EXIF block loader and the TIFF tag reader: a JPEG written by Pillow with
// EXIF tags in both directories, hand-built blocks with thumbnails (raw RGB and
// JPEG) in either byte order, the header checks, damaged blocks, and the tag
// reader on a file and on a stream.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "image/model/iebitmap.h"
#include "image/model/ieutils_exif.h"
#include "platform/rtl/Exceptions.h"
#include "platform/rtl/Streams.h"
#include "tests/image/file_test_util.h"
#include "tests/image/tiff_builder.h"
#include "tests/support/Peers.h"

namespace {

using larktest::TiffBuilder;

const char kPython[] = "/usr/bin/python3";

using file_test::ReadFile;
using file_test::WriteFile;

// The data of the first APP1 marker of a JPEG file that holds an EXIF block.
std::string ExifApp1(const std::string& jpeg) {
  size_t at = 2;
  while (at + 4 <= jpeg.size() && static_cast<uint8_t>(jpeg[at]) == 0xFF) {
    const uint8_t marker = static_cast<uint8_t>(jpeg[at + 1]);
    const size_t length = (size_t(uint8_t(jpeg[at + 2])) << 8) | uint8_t(jpeg[at + 3]);
    if (marker == 0xDA || length < 2) break;
    const std::string data = jpeg.substr(at + 4, length - 2);
    if (marker == 0xE1 && data.compare(0, 5, std::string("Exif\0", 5)) == 0) return data;
    at += 2 + length;
  }
  return {};
}

bool Load(const std::string& block, TIOParamsVals& params) {
  return LoadEXIFFromStandardBuffer(block.data(), static_cast<Integer>(block.size()), params);
}

// Marks params so that a change to any EXIF field shows.
void Mark(TIOParamsVals& params) {
  params.EXIF_Make = "Untouched";
  params.EXIF_XResolution = 12.5;
  params.EXIF_ISOSpeedRatings[1] = 77;
  params.EXIF_HasEXIFData = false;
}

void ExpectMarked(const TIOParamsVals& params) {
  EXPECT_EQ(params.EXIF_Make, "Untouched");
  EXPECT_EQ(params.EXIF_XResolution, 12.5);
  EXPECT_EQ(params.EXIF_ISOSpeedRatings[1], 77);
  EXPECT_FALSE(params.EXIF_HasEXIFData);
  EXPECT_EQ(params.EXIF_Bitmap, nullptr);
}

// Each block is refused and leaves marked parameters as they were.
void ExpectEachRefusedChangingNothing(const std::vector<std::string>& blocks) {
  for (const std::string& block : blocks) {
    SCOPED_TRACE(testing::PrintToString(block));
    TIOParamsVals params(nullptr);
    Mark(params);
    EXPECT_FALSE(Load(block, params));
    ExpectMarked(params);
  }
}

TEST(ExifBlock, RefusesABlockThatDoesNotBeginWithExifAndZero) {
  const std::vector<std::string> blocks = {
      std::string("exif\0\0II*\0\x08\0\0\0", 14), std::string("EXIF\0\0", 6),
      std::string("Exif!\0", 6),                  std::string("Exif", 4),
      std::string("Exi\0\0\0", 6),                std::string(),
      std::string("\0Exif\0", 6)};
  ExpectEachRefusedChangingNothing(blocks);
  TIOParamsVals params(nullptr);
  EXPECT_FALSE(LoadEXIFFromStandardBuffer(nullptr, 10, params));
}

TEST(ExifBlock, HeaderAloneIsAnEmptyExif) {
  for (const std::string& block : {std::string("Exif\0", 5), std::string("Exif\0\0", 6)}) {
    SCOPED_TRACE(block.size());
    TIOParamsVals params(nullptr);
    Mark(params);
    ASSERT_TRUE(Load(block, params));
    EXPECT_TRUE(params.EXIF_HasEXIFData);
    EXPECT_EQ(params.EXIF_Make, "");
    EXPECT_EQ(params.EXIF_XResolution, 0);
    EXPECT_EQ(params.EXIF_ISOSpeedRatings[1], 0);
    ASSERT_NE(params.EXIF_Bitmap, nullptr);
    EXPECT_EQ(params.EXIF_Bitmap->GetWidth(), 0);
  }
}

TEST(ExifBlock, DamagedTiffDataChangesNothing) {
  const std::vector<std::string> blocks = {
      std::string("Exif\0\0GIF89a", 12),
      std::string("Exif\0\0II*\0\0\0\0\0", 14),          // no directory
      std::string("Exif\0\0MM\0*\x7f\xff\xff\xf0", 14),  // directory past the end
      // A directory of 0xFFFF entries holding one.
      std::string("Exif\0\0II*\0\x08\0\0\0\xff\xff\x0f\x01\x02\0\x03\0\0\0LG\0\0\0\0\0\0", 32),
  };
  ExpectEachRefusedChangingNothing(blocks);
}

// ---------------------------------------------------------------------------
// These need the TIFF reader.

const char kPillowExif[] = R"(
import sys
from PIL import Image
from PIL.TiffImagePlugin import IFDRational as R
im = Image.new('RGB', (64, 48), (10, 120, 200))
ex = Image.Exif()
ex[0x010e] = 'A test picture'
ex[0x010f] = 'LarkCam'
ex[0x0110] = 'Model 7'
ex[0x0112] = 6
ex[0x011a] = R(145, 2)
ex[0x011b] = R(300, 1)
ex[0x0128] = 2
ex[0x0131] = 'Lark 1.0'
ex[0x0132] = '2024:05:06 07:08:09'
ex[0x013e] = (R(3127, 10000), R(329, 1000))
ex[0x0213] = 2
ex[0x8298] = 'Public domain'
ex[0x8769] = {
    0x829a: R(1, 250), 0x829d: R(28, 10), 0x8822: 3, 0x8827: 400, 0x9000: b'0230',
    0x9003: '2024:05:06 07:08:10', 0x9004: '2024:05:06 07:08:11', 0x9204: R(-1, 3),
    0x9207: 5, 0x9208: 4, 0x9209: 16, 0x920a: R(35, 1),
    0x9286: b'ASCII\x00\x00\x00Hello there', 0x9290: '42', 0xa000: b'0100',
    0xa001: 1, 0xa002: 640, 0xa003: 480, 0xa20e: R(4000, 3), 0xa210: 3,
    0xa217: 2, 0xa300: b'\x03', 0xa301: b'\x01'}
im.save(sys.argv[1], exif=ex)
)";

TEST(ExifLoader, PillowJpegGivesTheFieldsOfBothDirectories) {
  larktest::TempDir dir;
  int code = -1;
  larktest::RunCommand({kPython, "-c", kPillowExif, dir.Path() + "x.jpg"}, &code);
  ASSERT_EQ(code, 0);
  const std::string block = ExifApp1(ReadFile(dir.Path() + "x.jpg"));
  ASSERT_FALSE(block.empty());

  TIOParamsVals p(nullptr);
  ASSERT_TRUE(Load(block, p));
  EXPECT_TRUE(p.EXIF_HasEXIFData);
  EXPECT_EQ(p.EXIF_ImageDescription, "A test picture");
  EXPECT_EQ(p.EXIF_Make, "LarkCam");
  EXPECT_EQ(p.EXIF_Model, "Model 7");
  EXPECT_EQ(p.EXIF_Orientation, 6);
  EXPECT_DOUBLE_EQ(p.EXIF_XResolution, 72.5);
  EXPECT_DOUBLE_EQ(p.EXIF_YResolution, 300);
  EXPECT_EQ(p.EXIF_ResolutionUnit, 2);
  EXPECT_EQ(p.EXIF_Software, "Lark 1.0");
  EXPECT_EQ(p.EXIF_DateTime, "2024:05:06 07:08:09");
  EXPECT_DOUBLE_EQ(p.GetEXIF_WhitePoint(0), 0.3127);
  EXPECT_DOUBLE_EQ(p.GetEXIF_WhitePoint(1), 0.329);
  EXPECT_EQ(p.EXIF_YCbCrPositioning, 2);
  EXPECT_EQ(p.EXIF_Copyright, "Public domain");
  EXPECT_DOUBLE_EQ(p.EXIF_ExposureTime, 0.004);
  EXPECT_DOUBLE_EQ(p.EXIF_FNumber, 2.8);
  EXPECT_EQ(p.EXIF_ExposureProgram, 3);
  EXPECT_EQ(p.GetEXIF_ISOSpeedRatings(0), 400);
  EXPECT_EQ(p.GetEXIF_ISOSpeedRatings(1), 0);
  EXPECT_EQ(p.EXIF_ExifVersion, "0230");
  EXPECT_EQ(p.EXIF_DateTimeOriginal, "2024:05:06 07:08:10");
  EXPECT_EQ(p.EXIF_DateTimeDigitized, "2024:05:06 07:08:11");
  EXPECT_DOUBLE_EQ(p.EXIF_ExposureBiasValue, -1.0 / 3);
  EXPECT_EQ(p.EXIF_MeteringMode, 5);
  EXPECT_EQ(p.EXIF_LightSource, 4);
  EXPECT_EQ(p.EXIF_Flash, 16);
  EXPECT_DOUBLE_EQ(p.EXIF_FocalLength, 35);
  EXPECT_EQ(p.EXIF_UserCommentCode, std::string("ASCII\0\0\0", 8));
  EXPECT_EQ(p.EXIF_UserComment, "Hello there");
  EXPECT_EQ(p.EXIF_SubsecTime, "42");  // three bytes, stored in the entry itself
  EXPECT_EQ(p.EXIF_FlashpixVersion, "0100");
  EXPECT_EQ(p.EXIF_ColorSpace, 1);
  EXPECT_EQ(p.EXIF_PixelXDimension, 640);
  EXPECT_EQ(p.EXIF_PixelYDimension, 480);
  EXPECT_DOUBLE_EQ(p.EXIF_FocalPlaneXResolution, 4000.0 / 3);
  EXPECT_EQ(p.EXIF_FocalPlaneResolutionUnit, 3);
  EXPECT_EQ(p.EXIF_SensingMethod, 2);
  EXPECT_EQ(p.EXIF_FileSource, 3);
  EXPECT_EQ(p.EXIF_SceneType, 1);
  // Only the first directory: the thumbnail stays empty.
  ASSERT_NE(p.EXIF_Bitmap, nullptr);
  EXPECT_EQ(p.EXIF_Bitmap->GetWidth(), 0);
}

// A block of a first directory with a few tags and an EXIF sub-directory, and a
// second one with a thumbnail.
// A UserComment entry is written unless userComment is null. `thumbnail` adds the
// entries of the second directory.
std::string Block(bool intel, const std::function<void(TiffBuilder&)>& thumbnail,
                  const char* userComment) {
  TiffBuilder b(intel);
  b.Ascii(271, std::string("LG\0", 3));  // stored in the entry itself
  b.Short(274, {8});
  b.Rational(282, {{7200, 100}});
  b.PageOffset(34665, 2);
  b.EndPage();
  thumbnail(b);
  b.EndPage();
  b.Rational(33437, {{4, 0}});  // a zero denominator counts as 1
  if (userComment != nullptr) b.Undefined(37510, userComment);
  b.EndPage(false);
  return std::string("Exif\0\0", 6) + b.Build();
}

// A 4 x 3 RGB thumbnail, uncompressed, one strip.
std::function<void(TiffBuilder&)> RawThumbnail(std::string& pixels) {
  pixels.clear();
  for (int i = 0; i < 4 * 3; ++i) {
    pixels += static_cast<char>(20 * i);
    pixels += static_cast<char>(255 - 10 * i);
    pixels += static_cast<char>(7 * i);
  }
  return [pixels](TiffBuilder& b) {
    b.Long(256, {4});
    b.Long(257, {3});
    b.Short(258, {8, 8, 8});
    b.Short(259, {1});
    b.Short(262, {2});
    b.Short(277, {3});
    b.Long(278, {3});
    b.Strips({pixels});
  };
}

TEST(ExifLoader, RawThumbnailOfTheSecondDirectoryInBothByteOrders) {
  for (bool intel : {true, false}) {
    SCOPED_TRACE(intel ? "II" : "MM");
    std::string pixels;
    const std::string block = Block(intel, RawThumbnail(pixels), "");
    TIOParamsVals p(nullptr);
    ASSERT_TRUE(Load(block, p));
    EXPECT_EQ(p.EXIF_Make, "LG");
    EXPECT_EQ(p.EXIF_Orientation, 8);
    EXPECT_DOUBLE_EQ(p.EXIF_XResolution, 72);
    EXPECT_DOUBLE_EQ(p.EXIF_FNumber, 4);
    // An empty comment.
    EXPECT_EQ(p.EXIF_UserCommentCode, "");
    EXPECT_EQ(p.EXIF_UserComment, "");
    ASSERT_NE(p.EXIF_Bitmap, nullptr);
    TIEBitmap& t = *p.EXIF_Bitmap;
    ASSERT_EQ(t.GetWidth(), 4);
    ASSERT_EQ(t.GetHeight(), 3);
    ASSERT_EQ(t.GetPixelFormat(), ie24RGB);
    for (int y = 0; y < 3; ++y) {
      const auto* row = static_cast<const TRGB*>(t.GetScanLine(y));
      for (int x = 0; x < 4; ++x) {
        const size_t i = size_t(y * 4 + x) * 3;
        EXPECT_EQ(row[x], (TRGB{uint8_t(pixels[i + 2]), uint8_t(pixels[i + 1]), uint8_t(pixels[i])}))
            << x << "," << y;
      }
    }
  }
}

TEST(ExifLoader, JpegThumbnailBecomesTheExifBitmap) {
  larktest::TempDir dir;
  int code = -1;
  larktest::RunCommand({kPython, "-c",
                        "import sys\nfrom PIL import Image\n"
                        "Image.new('RGB', (16, 8), (200, 40, 90)).save(sys.argv[1], quality=95)",
                        dir.Path() + "t.jpg"},
                       &code);
  ASSERT_EQ(code, 0);
  const std::string jpeg = ReadFile(dir.Path() + "t.jpg");
  const auto thumb = [&jpeg](TiffBuilder& b) {
    b.Short(259, {6});
    b.Long(514, {uint32_t(jpeg.size())});
    b.Blob(513, jpeg);
  };
  TIOParamsVals p(nullptr);
  p.EXIF_Bitmap = std::make_unique<TIEBitmap>();
  p.EXIF_Bitmap->Allocate(50, 50, ie24RGB);  // a previous image's thumbnail
  ASSERT_TRUE(Load(Block(true, thumb, nullptr), p));
  EXPECT_EQ(p.EXIF_UserComment, "");
  EXPECT_EQ(p.EXIF_UserCommentCode, "");
  ASSERT_NE(p.EXIF_Bitmap, nullptr);
  ASSERT_EQ(p.EXIF_Bitmap->GetWidth(), 16);
  ASSERT_EQ(p.EXIF_Bitmap->GetHeight(), 8);
  const auto* row = static_cast<const TRGB*>(p.EXIF_Bitmap->GetScanLine(4));
  EXPECT_NEAR(row[8].r, 200, 4);
  EXPECT_NEAR(row[8].g, 40, 4);
  EXPECT_NEAR(row[8].b, 90, 4);
}

TEST(ExifLoader, MissingThumbnailEmptiesThePreviousOne) {
  TiffBuilder b(true);
  b.Ascii(272, std::string("Model X\0", 8));
  b.EndPage();
  const std::string block = std::string("Exif\0\0", 6) + b.Build();
  TIOParamsVals p(nullptr);
  p.EXIF_Bitmap = std::make_unique<TIEBitmap>();
  p.EXIF_Bitmap->Allocate(50, 50, ie24RGB);
  ASSERT_TRUE(Load(block, p));
  EXPECT_EQ(p.EXIF_Model, "Model X");
  ASSERT_NE(p.EXIF_Bitmap, nullptr);
  EXPECT_EQ(p.EXIF_Bitmap->GetWidth(), 0);
}

// ---------------------------------------------------------------------------
// TIETifTagsReader

void Fill(TMemoryStream& s, const std::string& bytes) {
  s.WriteBuffer(bytes.data(), static_cast<Integer>(bytes.size()));
  s.Seek(0, soBeginning);
}

std::string TwoPages(bool intel) {
  TiffBuilder b(intel);
  b.Short(256, {640});
  b.Ascii(270, std::string("First page\0", 11));
  b.Rational(282, {{300, 1}});
  b.Short(297, {0, 2});
  b.Ascii(305, std::string("Lk\0", 3));
  b.Rational(318, {{3127, 10000}, {329, 1000}});
  b.Undefined(36864, std::string("0210", 4));
  b.Long(50000, {7, 8, 9});
  b.ByteArray(50001, std::string("\x01\x02\x03\x04\x05\x06", 6));
  b.EndPage();
  b.Long(256, {77});
  b.EndPage();
  return b.Build();
}

void ExpectFirstPage(const TIETifTagsReader& r) {
  EXPECT_EQ(r.GetImageCount(), 2);
  EXPECT_TRUE(r.TagExists(256));
  EXPECT_FALSE(r.TagExists(257));
  EXPECT_EQ(r.TagLength(270), 11);
  EXPECT_EQ(r.TagLength(257), 0);
  EXPECT_EQ(r.GetInteger(256), 640);
  EXPECT_EQ(r.GetInteger(257), 0);
  EXPECT_EQ(r.GetIntegerIndexed(297, 0), 0);
  EXPECT_EQ(r.GetIntegerIndexed(297, 1), 2);
  EXPECT_DOUBLE_EQ(r.GetRational(282), 300);
  EXPECT_DOUBLE_EQ(r.GetRationalIndexed(318, 1), 0.329);
  EXPECT_EQ(r.GetRationalIndexed(318, 2), 0);  // index equal to the count
  EXPECT_EQ(r.GetString(270), "First page");
  EXPECT_EQ(r.GetString(305), "Lk");
  EXPECT_EQ(r.GetMiniString(36864), "0210");
  std::unique_ptr<Integer[]> values;
  ASSERT_EQ(r.GetIntegerArray(50000, values), 3);
  EXPECT_EQ(values[0], 7);
  EXPECT_EQ(values[2], 9);
  const std::unique_ptr<Byte[]> raw = r.GetRawData(50001);
  ASSERT_NE(raw, nullptr);
  EXPECT_EQ(std::memcmp(raw.get(), "\x01\x02\x03\x04\x05\x06", 6), 0);
  EXPECT_EQ(r.GetRawData(50002), nullptr);
}

TEST(TifTagsReader, AnswersForAStreamInBothByteOrders) {
  for (bool intel : {true, false}) {
    SCOPED_TRACE(intel ? "II" : "MM");
    TMemoryStream s;
    Fill(s, TwoPages(intel));
    TIETifTagsReader r(&s, 0);
    ExpectFirstPage(r);
    s.Seek(0, soBeginning);
    TIETifTagsReader second(&s, 1);
    EXPECT_EQ(second.GetInteger(256), 77);
    EXPECT_FALSE(second.TagExists(270));
  }
}

TEST(TifTagsReader, OpensAFileDenyingWritesWhileItLives) {
  larktest::TempDir dir;
  const std::string path = dir.Path() + "two.tif";
  WriteFile(path, TwoPages(true));
  {
    TIETifTagsReader r(path, 0);
    ExpectFirstPage(r);
    EXPECT_THROW(TFileStream(path, fmOpenReadWrite), EFOpenError);
  }
  TFileStream writable(path, fmOpenReadWrite);  // released with the reader
  EXPECT_THROW(TIETifTagsReader(dir.Path() + "missing.tif", 0), EFOpenError);
}

TEST(TifTagsReader, MissingDirectoryOrNoTiffAnswersAsAbsent) {
  const std::vector<std::pair<std::string, Integer>> cases = {
      {TwoPages(true), 3}, {TwoPages(false), 2}, {std::string("GIF89a and the rest"), 0}};
  for (const auto& c : cases) {
    TMemoryStream s;
    Fill(s, c.first);
    TIETifTagsReader r(&s, 3);
    EXPECT_EQ(r.GetImageCount(), c.second == 0 ? 0 : 2);
    EXPECT_FALSE(r.TagExists(256));
    EXPECT_EQ(r.GetInteger(256), 0);
    EXPECT_EQ(r.GetString(270), "");
    EXPECT_EQ(r.GetRawData(50001), nullptr);
  }
}

}  // namespace
