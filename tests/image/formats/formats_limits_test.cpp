// The limits every reader keeps, and the resolution a reader gives a file that
// states none: the screen's, through one helper, for every format.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "image/formats/bmpfilt.h"
#include "image/formats/dadiravio.h"
#include "image/formats/giffilter.h"
#include "image/formats/giflzw.h"
#include "tests/image/gif_coders.h"
#include "image/formats/jpegfilt.h"
#include "image/formats/pngfilt.h"
#include "image/model/iebitmap.h"
#include "platform/rtl/Streams.h"
#include "platform/sim/Screen.h"

namespace {

TEST(ImageLimits, SizeWithinLimitsKeepsBothSidesAndThePixelCount) {
  struct Case {
    Int64 width, height;
    bool ok;
  };
  const Case cases[] = {
      {1, 1, true},
      {0, 10, false},
      {10, -1, false},
      {IEMaxSide, 1, true},
      {IEMaxSide + 1, 1, false},
      {1, IEMaxSide + 1, false},
      {16384, 16384, true},  // exactly the framework bitmap's 2^28 pixels
      {16384, 16385, false},
      {25200, 33300, false},  // 839 million pixels
      {IEMaxSide, IEMaxSide, false},
  };
  EXPECT_EQ(IEMaxPixels, TBitmap::kMaxPixels);
  for (const Case& c : cases)
    EXPECT_EQ(IESizeWithinLimits(c.width, c.height), c.ok) << c.width << " x " << c.height;
}

std::string Bytes(const char* data, size_t size) { return std::string(data, size); }

void Fill(TMemoryStream& stream, const std::string& bytes) {
  stream.Clear();
  stream.WriteBuffer(bytes.data(), static_cast<Integer>(bytes.size()));
  stream.SetPosition(0);
}

// A 1 x 1 grey PNG without pHYs.
const std::string PngWithoutResolution = Bytes(
    "\x89\x50\x4E\x47\x0D\x0A\x1A\x0A\x00\x00\x00\x0D\x49\x48\x44\x52\x00\x00\x00\x01\x00\x00\x00\x01\x08\x00"
    "\x00\x00\x00\x3A\x7E\x9B\x55\x00\x00\x00\x0A\x49\x44\x41\x54\x78\x9C\x63\x68\x00\x00\x00\x82\x00\x81\x77"
    "\xCD\x72\xB6\x00\x00\x00\x00\x49\x45\x4E\x44\xAE\x42\x60\x82",
    67);

// A 1 x 1 24-bit OS/2 bitmap: its header has no resolution.
const std::string Os2Bitmap = Bytes(
    "BM\x1E\x00\x00\x00\x00\x00\x00\x00\x1A\x00\x00\x00"  // file header, pixels at 26
    "\x0C\x00\x00\x00\x01\x00\x01\x00\x01\x00\x18\x00"    // core header: 1 x 1, 24 bits
    "\x10\x20\x30\x00",                                   // one pixel and padding
    30);

// A 1 x 1 GIF without a colour table: GIF files carry no resolution.
const std::string Gif = Bytes(
    "GIF89a\x01\x00\x01\x00\x00\x00\x00"
    "\x2C\x00\x00\x00\x00\x01\x00\x01\x00\x00"
    "\x02\x02\x44\x01\x00\x3B",
    30);

class ScreenDpi : public ::testing::Test {
 protected:
  void SetUp() override { sim::SetScreenDpi(120, 144); }
  void TearDown() override { sim::ResetScreen(); }

  static void ExpectScreenDpi(const TIOParamsVals& params, bool aborting) {
    EXPECT_FALSE(aborting);
    EXPECT_EQ(params.DpiX, 120);
    EXPECT_EQ(params.DpiY, 144);
  }

 private:
  larktest::ScopedGifCoders gifCoders_;
};

TEST_F(ScreenDpi, EveryReaderGivesTheScreensResolutionToFilesWithout) {
  TMemoryStream stream;
  TIEBitmap bitmap;
  std::unique_ptr<TIEMask> mask;
  {
    SCOPED_TRACE("PNG");
    TIOParamsVals params(nullptr);
    bool aborting = false;
    TProgressRec progress;
    progress.Aborting = &aborting;
    Fill(stream, PngWithoutResolution);
    ReadPNGStream(&stream, &bitmap, params, progress, false, mask, false);
    ExpectScreenDpi(params, aborting);
  }
  {
    SCOPED_TRACE("BMP");
    TIOParamsVals params(nullptr);
    bool aborting = false;
    TProgressRec progress;
    progress.Aborting = &aborting;
    Fill(stream, Os2Bitmap);
    BMPReadStream(&stream, &bitmap, 0, params, progress, false);
    ExpectScreenDpi(params, aborting);
  }
  {
    SCOPED_TRACE("GIF");
    TIOParamsVals params(nullptr);
    bool aborting = false;
    TProgressRec progress;
    progress.Aborting = &aborting;
    Integer count = -1;
    Fill(stream, Gif);
    ReadGifStream(&stream, &bitmap, count, params, progress, false, mask, false);
    ExpectScreenDpi(params, aborting);
  }
  {
    SCOPED_TRACE("JPEG written without a resolution, then read");
    TIEBitmap picture;
    picture.Allocate(8, 8, ie24RGB);
    TIOParamsVals wparams(nullptr);
    wparams.DpiX = 0;
    wparams.DpiY = 0;
    bool writeAborting = false;
    TProgressRec wprogress;
    wprogress.Aborting = &writeAborting;
    TMemoryStream jpeg;
    WriteJPegStream(&jpeg, &picture, wparams, wprogress);
    ASSERT_FALSE(writeAborting);
    jpeg.SetPosition(0);
    TIOParamsVals params(nullptr);
    bool aborting = false;
    TProgressRec progress;
    progress.Aborting = &aborting;
    ReadJPegStream(&jpeg, nullptr, &bitmap, params, progress, false, false);
    ExpectScreenDpi(params, aborting);
  }
}

}  // namespace
