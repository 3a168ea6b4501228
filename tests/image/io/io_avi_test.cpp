// The component's AVI frames: files written by ffmpeg opened, each frame loaded into
// the working store equal to ffmpeg's own decoding (exact for uncompressed frames,
// close for MJPG frames through our JPEG codec), frame delays from the stream's rate
// and scale, and the failures that leave the image as it was.
#include <gtest/gtest.h>

#include <atomic>

#include "image/model/ieview.h"
#include "tests/image/io_test_util.h"
#include "tests/platform/avifile/avi_test_util.h"
#include "tests/support/Pump.h"

namespace {

using io_test::CountingIO;
using io_test::IOTest;

// The working store as top-down rows of blue, green, red.
std::string StoreBGR(TIEBitmap* store) {
  std::string out;
  for (Integer y = 0; y < store->GetHeight(); ++y)
    out.append(static_cast<const char*>(store->GetScanLine(y)), static_cast<size_t>(store->GetWidth()) * 3);
  return out;
}

struct FrameCase {
  const char* codec;
  const char* pixelFormat;
  Integer bitsPerSample;
  Integer samplesPerPixel;
  double minPsnr;  // 0: exact
};

class AVIFramesTest : public IOTest, public ::testing::WithParamInterface<FrameCase> {};

TEST_P(AVIFramesTest, EachFrameEqualsFfmpegsDecoding) {
  const FrameCase c = GetParam();
  const std::string path = Dir() + "frames.avi";
  constexpr int kFrames = 4;
  avi_test::MakeAvi(path, c.codec, c.pixelFormat, kFrames);
  const std::vector<std::string> peer = avi_test::PeerFrames(path);
  ASSERT_EQ(peer.size(), static_cast<size_t>(kFrames));

  CountingIO counting;
  TDadirAvIO& io = counting.io;
  ASSERT_EQ(io.OpenAVIFile(path), kFrames);
  EXPECT_FALSE(io.GetAborting());
  EXPECT_EQ(io.GetParams()->AVI_FrameCount, kFrames);
  EXPECT_EQ(io.GetParams()->FileName, path);
  for (int i = kFrames - 1; i >= 0; --i) {
    io.LoadFromAVI(i);
    ASSERT_FALSE(io.GetAborting()) << "frame " << i;
    TIEBitmap* store = io.GetIEBitmap();
    ASSERT_EQ(store->GetPixelFormat(), ie24RGB);
    ASSERT_EQ(store->GetWidth(), avi_test::kWidth);
    ASSERT_EQ(store->GetHeight(), avi_test::kHeight);
    const std::string ours = StoreBGR(store);
    const std::string& theirs = peer[static_cast<size_t>(i)];
    if (c.minPsnr > 0) {
      const double psnr = avi_test::Psnr(ours, theirs);
      EXPECT_GE(psnr, c.minPsnr) << "frame " << i;
      std::printf("frame %d: PSNR %.1f dB against ffmpeg's decoding\n", i, psnr);
    } else {
      EXPECT_EQ(ours, theirs) << "frame " << i;
    }
    const TIOParamsVals& params = *io.GetParams();
    EXPECT_EQ(params.BitsPerSample, c.bitsPerSample);
    EXPECT_EQ(params.SamplesPerPixel, c.samplesPerPixel);
    EXPECT_EQ(params.Width, avi_test::kWidth);
    EXPECT_EQ(params.Height, avi_test::kHeight);
    EXPECT_EQ(params.DpiX, gSystemDPIX);
    EXPECT_EQ(params.DpiY, gSystemDPIY);
    EXPECT_EQ(params.ColorMapCount, 0);
    EXPECT_EQ(params.AVI_FrameDelayTime, 40);
  }
  EXPECT_EQ(counting.Finishes(), kFrames);
  io.CloseAVIFile();
}

// Uncompressed frames equal ffmpeg's decoding exactly (5-5-5 channels widened the
// same way). MJPG frames go through our JPEG codec (libjpeg-turbo) and through
// ffmpeg's own MJPEG decoder: both decode the same data and differ only in the
// rounding of their inverse transforms and chroma upsampling; on testsrc at 64 x 48
// the PSNR measures 64 to 65 dB, and the test asks for 50.
INSTANTIATE_TEST_SUITE_P(Codecs, AVIFramesTest,
                         ::testing::Values(FrameCase{"rawvideo", "bgr24", 8, 3, 0},
                                           FrameCase{"rawvideo", "pal8", 8, 1, 0},
                                           FrameCase{"rawvideo", "rgb555le", 8, 3, 0},
                                           FrameCase{"mjpeg", "", 8, 3, 50.0}),
                         [](const auto& info) {
                           return std::string(info.param.codec) + "_" +
                                  (*info.param.pixelFormat ? info.param.pixelFormat : "yuvj420p");
                         });

TEST_F(IOTest, FrameDelayFromRateAndScale) {
  struct Case {
    const char* rate;  // ffmpeg's, or "" to store rate and scale below in ffmpeg's file
    uint32_t dwRate;
    uint32_t dwScale;
    Integer delay;
  };
  const Case cases[] = {
      {"25", 0, 0, 40}, {"30000/1001", 0, 0, 33}, {"15", 0, 0, 66}, {"", 0, 1, 0}, {"", 25, 0, 0}, {"", 1, 2, 2000},
  };
  for (const Case& c : cases) {
    const std::string path = Dir() + "delay.avi";
    avi_test::MakeAvi(path, "rawvideo", "bgr24", 2, *c.rate ? c.rate : "25");
    if (!*c.rate) {
      std::string bytes = file_test::ReadFile(path);
      const size_t strh = avi_test::FindChunk(bytes, "strh");
      ASSERT_NE(strh, std::string::npos);
      avi_test::Put32(bytes, strh + 20, c.dwScale);
      avi_test::Put32(bytes, strh + 24, c.dwRate);
      file_test::WriteFile(path, bytes);
    }
    TDadirAvIO io(nullptr);
    ASSERT_EQ(io.OpenAVIFile(path), 2) << c.rate;
    EXPECT_EQ(io.GetParams()->AVI_FrameDelayTime, 0);
    io.LoadFromAVI(1);
    EXPECT_FALSE(io.GetAborting());
    EXPECT_EQ(io.GetParams()->AVI_FrameDelayTime, c.delay) << c.rate << " " << c.dwRate << "/" << c.dwScale;
  }
}

TEST_F(IOTest, FramesOutsideTheFileOrWithoutOneFailAndKeepTheImage) {
  const std::string path = Dir() + "three.avi";
  avi_test::MakeAvi(path, "rawvideo", "bgr24", 3);
  CountingIO counting;
  TDadirAvIO& io = counting.io;

  // No file open.
  io.LoadFromAVI(0);
  EXPECT_TRUE(io.GetAborting());
  EXPECT_EQ(io.GetIEBitmap()->GetWidth(), 0);

  ASSERT_EQ(io.OpenAVIFile(path), 3);
  io.LoadFromAVI(2);
  ASSERT_FALSE(io.GetAborting());
  const std::string frame2 = StoreBGR(io.GetIEBitmap());
  for (Integer index : {-1, 3, 1000, static_cast<Integer>(0x80000000)}) {
    io.LoadFromAVI(index);
    EXPECT_TRUE(io.GetAborting()) << index;
    EXPECT_EQ(StoreBGR(io.GetIEBitmap()), frame2) << index;
  }
  EXPECT_EQ(counting.Finishes(), 6);

  io.CloseAVIFile();
  io.LoadFromAVI(0);
  EXPECT_TRUE(io.GetAborting());
  EXPECT_EQ(StoreBGR(io.GetIEBitmap()), frame2);
}

TEST_F(IOTest, OpenFailuresLeaveNothingOpen) {
  TDadirAvIO io(nullptr);
  const std::string good = Dir() + "good.avi";
  avi_test::MakeAvi(good, "rawvideo", "bgr24", 2);
  // A file without a video stream: a WAVE file, and an AVI of sound alone.
  const std::string noVideo = Dir() + "sound.avi";
  larktest::RunCommand({larktest::RequireProgram("ffmpeg"), "-v", "error", "-y", "-f", "lavfi", "-i",
                        "sine=duration=0.2", "-c:a", "pcm_s16le", noVideo});
  const std::string missing = Dir() + "missing.avi";
  const std::string text = Dir() + "text.avi";
  file_test::WriteFile(text, "not a RIFF file at all");
  for (const std::string& bad : {noVideo, missing, text}) {
    ASSERT_EQ(io.OpenAVIFile(good), 2);
    EXPECT_EQ(io.OpenAVIFile(bad), 0) << bad;
    EXPECT_TRUE(io.GetAborting()) << bad;
    EXPECT_EQ(io.GetParams()->AVI_FrameCount, 0);
    EXPECT_EQ(io.GetParams()->FileName, bad);
    // The first file was closed by the second open.
    io.LoadFromAVI(0);
    EXPECT_TRUE(io.GetAborting()) << bad;
    // A failure before does not stop the next open.
    EXPECT_EQ(io.OpenAVIFile(good), 2);
    EXPECT_FALSE(io.GetAborting());
  }
}

TEST_F(IOTest, OpeningASecondFileClosesTheFirst) {
  const std::string first = Dir() + "first.avi";
  const std::string second = Dir() + "second.avi";
  avi_test::MakeAvi(first, "rawvideo", "bgr24", 2, "25", 32, 16);
  avi_test::MakeAvi(second, "rawvideo", "pal8", 5);
  TDadirAvIO io(nullptr);
  ASSERT_EQ(io.OpenAVIFile(first), 2);
  io.LoadFromAVI(1);
  EXPECT_EQ(io.GetIEBitmap()->GetWidth(), 32);
  ASSERT_EQ(io.OpenAVIFile(second), 5);
  io.LoadFromAVI(4);
  EXPECT_FALSE(io.GetAborting());
  EXPECT_EQ(io.GetIEBitmap()->GetWidth(), avi_test::kWidth);
  EXPECT_EQ(io.GetParams()->AVI_FrameCount, 5);
  // The component goes with the file open: it closes it.
}

// In asynchronous mode on an outside store, the frame is decoded on the component's
// thread from the file opened on the caller's.
TEST_F(IOTest, FrameLoadOnTheComponentsThread) {
  const std::string path = Dir() + "async.avi";
  avi_test::MakeAvi(path, "rawvideo", "bgr24", 3);
  const std::vector<std::string> peer = avi_test::PeerFrames(path);
  ASSERT_EQ(peer.size(), 3u);
  TIEBitmap outside;
  TDadirAvIO io(nullptr);
  io.SetAttachedIEBitmap(&outside);
  io.SetAsyncMode(true);
  std::atomic<DWORD> finishThread{0};
  io.OnFinishWork = [&](TObject*) { finishThread = GetCurrentThreadId(); };
  ASSERT_EQ(io.OpenAVIFile(path), 3);
  io.LoadFromAVI(2);
  ASSERT_TRUE(larktest::PumpUntil([&] { return io.GetAsyncRunning() == 0 && finishThread != 0; }));
  EXPECT_NE(finishThread.load(), GetCurrentThreadId());
  EXPECT_FALSE(io.GetAborting());
  EXPECT_EQ(StoreBGR(&outside), peer[2]);
  io.WaitThreads(false);
}

}  // namespace
