// Reading AVI files that ffmpeg wrote: the stream's description, and every frame
// equal to ffmpeg's own decoding of it; files without an index, with absolute index
// offsets, with run-length frames, record lists and chunks of other kinds.
#include <gtest/gtest.h>

#include "tests/image/file_test_util.h"
#include "tests/platform/avifile/avi_test_util.h"

namespace {

using avi_test::OpenStream;
using avi_test::Riff;

class AVIReadTest : public ::testing::Test {
 protected:
  void SetUp() override { AVIFileInit(); }
  void TearDown() override { AVIFileExit(); }
  std::string Path(const std::string& name) const { return dir_.Path() + name; }

  // Every frame of path as our getter gives it equals ffmpeg's decoding, byte for
  // byte, in the peer's pixel format.
  void ExpectFramesEqualPeer(const std::string& path, int frames, int bits) {
    const std::vector<std::string> peer = bits == 16
                                              ? avi_test::PeerFrames(path, avi_test::kWidth, avi_test::kHeight, "rgb555le", 2)
                                              : avi_test::PeerFrames(path);
    ASSERT_EQ(peer.size(), static_cast<size_t>(frames));
    OpenStream s(path);
    ASSERT_EQ(s.status, AVIERR_OK);
    ASSERT_NE(s.getter, nullptr);
    EXPECT_EQ(s.info.dwLength, static_cast<DWORD>(frames));
    for (int i = 0; i < frames; ++i) {
      const void* dib = AVIStreamGetFrame(s.getter, i);
      ASSERT_NE(dib, nullptr) << "frame " << i;
      BITMAPINFOHEADER h;
      std::memcpy(&h, dib, sizeof(h));
      EXPECT_EQ(h.biWidth, avi_test::kWidth);
      EXPECT_EQ(h.biHeight, avi_test::kHeight);
      EXPECT_EQ(h.biBitCount, bits);
      EXPECT_EQ(h.biCompression, static_cast<DWORD>(BI_RGB));
      if (bits == 16) {
        // The stored words, top row first.
        const auto* rows = static_cast<const char*>(dib) + 40;
        std::string topDown;
        for (int y = avi_test::kHeight - 1; y >= 0; --y) topDown.append(rows + y * avi_test::kWidth * 2, avi_test::kWidth * 2);
        EXPECT_EQ(topDown, peer[static_cast<size_t>(i)]) << "frame " << i;
      } else {
        EXPECT_EQ(avi_test::DibToBGR(dib), peer[static_cast<size_t>(i)]) << "frame " << i;
      }
    }
    EXPECT_EQ(AVIStreamGetFrame(s.getter, frames), nullptr);
    EXPECT_EQ(AVIStreamGetFrame(s.getter, -1), nullptr);
  }

  larktest::TempDir dir_;
};

struct RawCase {
  const char* pixelFormat;
  int bits;
};

class AVIReadRawTest : public AVIReadTest, public ::testing::WithParamInterface<RawCase> {};

TEST_P(AVIReadRawTest, FramesEqualFfmpegsDecoding) {
  const RawCase c = GetParam();
  const std::string path = Path(std::string("raw-") + c.pixelFormat + ".avi");
  avi_test::MakeAvi(path, "rawvideo", c.pixelFormat, 5);
  ExpectFramesEqualPeer(path, 5, c.bits);
}

INSTANTIATE_TEST_SUITE_P(PixelFormats, AVIReadRawTest,
                         ::testing::Values(RawCase{"bgr24", 24}, RawCase{"pal8", 8}, RawCase{"rgb555le", 16},
                                           RawCase{"bgra", 32}),
                         [](const auto& info) { return std::string(info.param.pixelFormat); });

TEST_F(AVIReadTest, StreamDescriptionFromTheStreamHeader) {
  struct Case {
    const char* rate;
    DWORD dwRate;
    DWORD dwScale;
  };
  for (const Case& c : {Case{"25", 25, 1}, Case{"30000/1001", 30000, 1001}, Case{"15", 15, 1}}) {
    const std::string path = Path("rate.avi");
    avi_test::MakeAvi(path, "rawvideo", "bgr24", 3, c.rate);
    OpenStream s(path);
    ASSERT_EQ(s.status, AVIERR_OK) << c.rate;
    EXPECT_EQ(s.info.fccType, streamtypeVIDEO);
    EXPECT_EQ(s.info.dwRate, c.dwRate) << c.rate;
    EXPECT_EQ(s.info.dwScale, c.dwScale) << c.rate;
    EXPECT_EQ(s.info.dwLength, 3u);
    EXPECT_EQ(s.info.rcFrame.right, avi_test::kWidth);
    EXPECT_EQ(s.info.rcFrame.bottom, avi_test::kHeight);
  }
}

TEST_F(AVIReadTest, FramesFoundByWalkingMoviWithoutIndex) {
  const std::string path = Path("noindex.avi");
  avi_test::MakeAvi(path, "rawvideo", "bgr24", 4);
  std::string bytes = file_test::ReadFile(path);
  const size_t idx1 = bytes.find("idx1");
  ASSERT_NE(idx1, std::string::npos);
  bytes.replace(idx1, 4, "JUNK");
  file_test::WriteFile(path, bytes);
  ExpectFramesEqualPeer(path, 4, 24);
}

TEST_F(AVIReadTest, IndexWithOffsetsFromTheFileStart) {
  const std::string path = Path("absolute.avi");
  avi_test::MakeAvi(path, "rawvideo", "pal8", 3);
  const std::string peerPath = Path("absolute-peer.avi");
  file_test::WriteFile(peerPath, file_test::ReadFile(path));
  std::string bytes = file_test::ReadFile(path);
  const size_t movi = bytes.find("movi");
  const size_t idx1 = bytes.find("idx1");
  ASSERT_NE(movi, std::string::npos);
  ASSERT_NE(idx1, std::string::npos);
  const uint32_t entries = avi_test::Get32(bytes, idx1 + 4) / 16;
  for (uint32_t i = 0; i < entries; ++i) {
    const size_t at = idx1 + 8 + i * 16 + 8;
    avi_test::Put32(bytes, at, avi_test::Get32(bytes, at) + static_cast<uint32_t>(movi));
  }
  file_test::WriteFile(path, bytes);
  const std::vector<std::string> peer = avi_test::PeerFrames(peerPath);
  OpenStream s(path);
  ASSERT_NE(s.getter, nullptr);
  ASSERT_EQ(s.info.dwLength, 3u);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(avi_test::DibToBGR(AVIStreamGetFrame(s.getter, i)), peer[static_cast<size_t>(i)]);
}

// An 8 x 4 picture in run-length frames: a key frame, then a delta frame that moves
// down a row and changes three pixels, then a frame that only ends.
TEST_F(AVIReadTest, RunLengthFramesDrawOverTheFrameBefore) {
  std::string table;
  for (int i = 0; i < 256; ++i) table += std::string{static_cast<char>(i), static_cast<char>(255 - i), static_cast<char>(i / 2), 0};
  const std::string strf = Riff::Strf(8, 4, 8, BI_RLE8, 0, table);
  // Rows bottom-up: runs and a literal run of 3 (padded).
  const std::string key = std::string("\x08\x10\x00\x00", 4) + std::string("\x04\x20\x04\x30\x00\x00", 6) +
                          std::string("\x00\x03\x01\x02\x03\x00\x05\x40\x00\x00", 10) +
                          std::string("\x08\x50\x00\x01", 4);
  const std::string delta = std::string("\x00\x02\x02\x01", 4) + std::string("\x03\x77\x00\x01", 4);
  const std::string same = std::string("\x00\x01", 2);
  std::string movi;
  std::string index;
  for (const std::string* frame : {&key, &delta, &same}) {
    index += Riff::IndexEntry("00dc", frame == &key ? AVIIF_KEYFRAME : 0, static_cast<uint32_t>(movi.size() + 4),
                              static_cast<uint32_t>(frame->size()));
    movi += Riff::Chunk("00dc", *frame);
  }
  const std::string path = Path("rle.avi");
  file_test::WriteFile(path, Riff::File(Riff::Strh(1, 10, 3, "mrle"), strf, movi, &index));

  const std::vector<std::string> peer = avi_test::PeerFrames(path, 8, 4);
  ASSERT_EQ(peer.size(), 3u);
  OpenStream s(path);
  ASSERT_NE(s.getter, nullptr);
  ASSERT_EQ(s.info.dwLength, 3u);
  // In order, out of order and again: each equals the peer's.
  for (int i : {0, 1, 2, 0, 2, 1, 1}) {
    const void* dib = AVIStreamGetFrame(s.getter, i);
    ASSERT_NE(dib, nullptr) << "frame " << i;
    EXPECT_EQ(avi_test::DibToBGR(dib), peer[static_cast<size_t>(i)]) << "frame " << i;
  }
}

// Frames inside 'rec ' lists, among JUNK, OpenDML index chunks and another stream's
// chunks, found by walking movi.
TEST_F(AVIReadTest, WalkSkipsJunkIndexChunksAndOtherStreams) {
  std::string table;
  for (int i = 0; i < 256; ++i) table += std::string{static_cast<char>(i), static_cast<char>(i), static_cast<char>(i), 0};
  const std::string strf = Riff::Strf(4, 2, 8, BI_RGB, 0, table);
  const std::string frame0("\x01\x02\x03\x04\x05\x06\x07\x08", 8);
  const std::string frame1("\x11\x12\x13\x14\x15\x16\x17\x18", 8);
  const std::string movi = Riff::Chunk("JUNK", std::string(5, 'j')) + Riff::Chunk("ix00", std::string(24, '\0')) +
                           Riff::List("rec ", Riff::Chunk("01wb", "sound") + Riff::Chunk("00db", frame0)) +
                           Riff::Chunk("00pc", std::string(4, '\0')) + Riff::Chunk("00db", frame1);
  const std::string path = Path("walk.avi");
  file_test::WriteFile(path, Riff::File(Riff::Strh(1, 25, 2), strf, movi));
  OpenStream s(path);
  ASSERT_NE(s.getter, nullptr);
  ASSERT_EQ(s.info.dwLength, 2u);
  const auto* f0 = static_cast<const char*>(AVIStreamGetFrame(s.getter, 0));
  ASSERT_NE(f0, nullptr);
  // Bottom-up rows: the stored first row is the bottom one.
  EXPECT_EQ(std::string(f0 + 40 + 1024, 8), frame0);
  const auto* f1 = static_cast<const char*>(AVIStreamGetFrame(s.getter, 1));
  ASSERT_NE(f1, nullptr);
  EXPECT_EQ(std::string(f1 + 40 + 1024, 8), frame1);
}

TEST_F(AVIReadTest, NoVideoStreamAndNoAviFile) {
  const std::string sound = Path("sound.avi");
  const std::string audio = "auds" + std::string(52, '\0');
  file_test::WriteFile(sound, Riff::Chunk("RIFF", "AVI " + Riff::List("hdrl", Riff::List("strl", Riff::Chunk("strh", audio))) +
                                                       Riff::List("movi", "")));
  PAVIFILE file = nullptr;
  ASSERT_EQ(AVIFileOpenA(&file, sound.c_str(), OF_READ, nullptr), AVIERR_OK);
  PAVISTREAM stream = nullptr;
  EXPECT_NE(AVIFileGetStream(file, &stream, streamtypeVIDEO, 0), AVIERR_OK);
  EXPECT_EQ(stream, nullptr);
  EXPECT_EQ(AVIFileRelease(file), 0u);

  const std::string wave = Path("x.wav");
  file_test::WriteFile(wave, Riff::Chunk("RIFF", "WAVE" + Riff::Chunk("fmt ", std::string(16, '\0'))));
  EXPECT_EQ(AVIFileOpenA(&file, wave.c_str(), OF_READ, nullptr), AVIERR_BADFORMAT);
  EXPECT_EQ(file, nullptr);
  EXPECT_EQ(AVIFileOpenA(&file, Path("missing.avi").c_str(), OF_READ, nullptr), AVIERR_FILEOPEN);
  EXPECT_EQ(AVIFileOpenA(&file, dir_.Path().c_str(), OF_READ, nullptr), AVIERR_FILEOPEN);
}

// A compression without a decoder gives no getter; once one is installed its frames
// come out as 24-bit pictures.
TEST_F(AVIReadTest, CompressedFramesThroughAnInstalledDecoder) {
  const std::string path = Path("mjpeg.avi");
  avi_test::MakeAvi(path, "mjpeg", "", 2);
  const DWORD mjpg = mmioFOURCC('M', 'J', 'P', 'G');
  const AVIFrameDecoder before = AVIFileGetDecoder(mjpg);
  AVIFileSetDecoder(mjpg, nullptr);
  {
    OpenStream s(path);
    ASSERT_EQ(s.status, AVIERR_OK);
    EXPECT_EQ(s.getter, nullptr);
  }
  static int calls = 0;
  calls = 0;
  AVIFileSetDecoder(mjpg, [](const Byte* data, size_t size, Integer width, Integer height, Byte* rows) {
    ++calls;
    // A JPEG's start marker, and the stream's size.
    if (size < 2 || data[0] != 0xFF || data[1] != 0xD8 || width != avi_test::kWidth || height != avi_test::kHeight)
      return false;
    std::memset(rows, 0x7F, static_cast<size_t>(width) * 3 * static_cast<size_t>(height));
    return true;
  });
  {
    OpenStream s(path);
    ASSERT_NE(s.getter, nullptr);
    const void* dib = AVIStreamGetFrame(s.getter, 1);
    ASSERT_NE(dib, nullptr);
    BITMAPINFOHEADER h;
    std::memcpy(&h, dib, sizeof(h));
    EXPECT_EQ(h.biBitCount, 24);
    EXPECT_EQ(h.biCompression, static_cast<DWORD>(BI_RGB));
    EXPECT_EQ(calls, 1);
  }
  AVIFileSetDecoder(mjpg, before);
}

}  // namespace
