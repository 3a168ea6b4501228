// Writing AVI files: ffprobe reads what we write (codec, pixel format, size, frame
// count, rate) and ffmpeg decodes our frames back; the compression dialog's Cancel,
// failed and abandoned writes and AVI 1.0's size limit leave no half-written file.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "platform/avifile/SimHooks.h"
#include "platform/sim/Dialogs.h"
#include "platform/win/MessageBox.h"
#include "tests/image/file_test_util.h"
#include "tests/platform/avifile/avi_test_util.h"

namespace {

bool Exists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0;
}

// Files in a folder (the temporary names included).
int FilesIn(const std::string& dir) {
  int n = 0;
  const std::string out = larktest::RunCommand({"/bin/ls", "-A", dir});
  for (char c : out) n += c == '\n';
  return n;
}

// A test picture of width x height at bits (8: a palette of 256 grays), frame k.
std::string Picture(int width, int height, int bits, int k) {
  const size_t rowBytes = ((static_cast<size_t>(width) * bits + 31) / 32) * 4;
  std::string rows(rowBytes * static_cast<size_t>(height), '\0');
  for (int y = 0; y < height; ++y)
    for (size_t i = 0; i < rowBytes; ++i) rows[static_cast<size_t>(y) * rowBytes + i] = static_cast<char>((i * 7 + y * 13 + k * 29) & 0xFF);
  if (bits == 16)  // keep the unused top bit of each 5-5-5 word clear
    for (size_t i = 1; i < rows.size(); i += 2) rows[i] = static_cast<char>(rows[i] & 0x7F);
  return rows;
}

std::string Format(int width, int height, int bits) {
  BITMAPINFOHEADER h;
  h.biSize = 40;
  h.biWidth = width;
  h.biHeight = height;
  h.biPlanes = 1;
  h.biBitCount = static_cast<WORD>(bits);
  h.biCompression = BI_RGB;
  std::string out(reinterpret_cast<const char*>(&h), sizeof(h));
  if (bits == 8)
    for (int i = 0; i < 256; ++i) out += std::string{static_cast<char>(i), static_cast<char>(i), static_cast<char>(255 - i), 0};
  return out;
}

class AVIWriteTest : public ::testing::Test {
 protected:
  void SetUp() override {
    AVIFileInit();
    sim::SetDialogEcho(false);
  }
  void TearDown() override {
    sim::SetAVIFileSizeLimit(0);
    AVIFileExit();
  }
  std::string Path(const std::string& name) const { return dir_.Path() + name; }

  // Writes frames through the calls a saver makes: create, stream, the compression
  // dialog, the compressed stream, the format, the frames. Answers the status of the
  // first failing call (AVIERR_OK when all passed); the file is released at the end.
  HRESULT Write(const std::string& path, DWORD scale, DWORD rate, int width, int height, int bits, int frames,
                bool abandon = false) {
    PAVIFILE file = nullptr;
    HRESULT hr = AVIFileOpenA(&file, path.c_str(), OF_CREATE | OF_WRITE, nullptr);
    if (hr != AVIERR_OK) return hr;
    AVISTREAMINFOA info;
    info.fccType = streamtypeVIDEO;
    info.dwScale = scale;
    info.dwRate = rate;
    info.dwSuggestedBufferSize = static_cast<DWORD>(Picture(width, height, bits, 0).size());
    info.rcFrame = RECT{0, 0, width, height};
    PAVISTREAM stream = nullptr;
    PAVISTREAM compressed = nullptr;
    AVICOMPRESSOPTIONS options;
    AVICOMPRESSOPTIONS* optionList[1] = {&options};
    hr = AVIFileCreateStreamA(file, &stream, &info);
    if (hr == AVIERR_OK && !AVISaveOptions(0, 0, 1, &stream, optionList)) hr = AVIERR_NODATA;
    if (hr == AVIERR_OK) hr = AVIMakeCompressedStream(&compressed, stream, &options, nullptr);
    const std::string format = Format(width, height, bits);
    if (hr == AVIERR_OK) hr = AVIStreamSetFormat(compressed, 0, format.data(), static_cast<LONG>(format.size()));
    for (int i = 0; hr == AVIERR_OK && i < frames; ++i) {
      const std::string picture = Picture(width, height, bits, i);
      hr = AVIStreamWrite(compressed, i, 1, picture.data(), static_cast<LONG>(picture.size()), AVIIF_KEYFRAME,
                          nullptr, nullptr);
    }
    if (abandon) AVIFileAbandon(file);
    AVISaveOptionsFree(1, optionList);
    if (compressed != nullptr) AVIStreamRelease(compressed);
    if (stream != nullptr) AVIStreamRelease(stream);
    AVIFileRelease(file);
    return hr;
  }

  larktest::TempDir dir_;
};

struct WriteCase {
  int bits;
  const char* pixelFormat;  // as ffprobe names it
  DWORD scale;
  DWORD rate;
  const char* frameRate;  // ffprobe's r_frame_rate
};

class AVIWritePeerTest : public AVIWriteTest, public ::testing::WithParamInterface<WriteCase> {};

TEST_P(AVIWritePeerTest, FfprobeReadsItAndFfmpegDecodesOurFrames) {
  const WriteCase c = GetParam();
  const std::string path = Path("out.avi");
  constexpr int kFrames = 5;
  ASSERT_EQ(Write(path, c.scale, c.rate, 64, 48, c.bits, kFrames), AVIERR_OK);
  ASSERT_TRUE(Exists(path));
  EXPECT_EQ(FilesIn(dir_.Path()), 1);  // no temporary file left beside it

  const auto probe = avi_test::Probe(path);
  EXPECT_EQ(probe.at("codec_name"), "rawvideo");
  EXPECT_EQ(probe.at("pix_fmt"), c.pixelFormat);
  EXPECT_EQ(probe.at("width"), "64");
  EXPECT_EQ(probe.at("height"), "48");
  EXPECT_EQ(probe.at("nb_read_frames"), std::to_string(kFrames));
  EXPECT_EQ(probe.at("r_frame_rate"), c.frameRate);

  // ffmpeg's decoding equals our pictures (read back by our reader, which the
  // reading tests hold to ffmpeg's decoding of ffmpeg's files).
  const std::vector<std::string> peer = avi_test::PeerFrames(path);
  ASSERT_EQ(peer.size(), static_cast<size_t>(kFrames));
  avi_test::OpenStream s(path);
  ASSERT_NE(s.getter, nullptr);
  EXPECT_EQ(s.info.dwScale, c.scale);
  EXPECT_EQ(s.info.dwRate, c.rate);
  for (int i = 0; i < kFrames; ++i) {
    const auto* dib = static_cast<const char*>(AVIStreamGetFrame(s.getter, i));
    ASSERT_NE(dib, nullptr);
    const size_t table = c.bits == 8 ? 1024 : 0;
    EXPECT_EQ(std::string(dib + 40 + table, Picture(64, 48, c.bits, i).size()), Picture(64, 48, c.bits, i));
    EXPECT_EQ(avi_test::DibToBGR(dib), peer[static_cast<size_t>(i)]) << "frame " << i;
  }
}

INSTANTIATE_TEST_SUITE_P(Formats, AVIWritePeerTest,
                         ::testing::Values(WriteCase{24, "bgr24", 40, 1000, "25/1"},
                                           WriteCase{8, "pal8", 66, 1000, "500/33"},
                                           WriteCase{16, "rgb555le", 1, 1000, "1000/1"},
                                           WriteCase{32, "bgra", 2000, 1000, "1/2"},
                                           WriteCase{24, "bgr24", 1001, 30000, "30000/1001"}),
                         [](const auto& info) {
                           return std::string(info.param.pixelFormat) + "_" + std::to_string(info.param.scale);
                         });

TEST_F(AVIWriteTest, CancelledDialogLeavesNoFile) {
  const std::string path = Path("cancel.avi");
  sim::QueueDialogAnswer("Video Compression", IDCANCEL);
  EXPECT_EQ(Write(path, 40, 1000, 16, 16, 24, 3), AVIERR_NODATA);
  const auto log = sim::DialogLog();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0].Caption, "Video Compression");
  EXPECT_EQ(log[0].Value, "Full Frames (Uncompressed)");
  EXPECT_FALSE(Exists(path));
  EXPECT_EQ(FilesIn(dir_.Path()), 0);
}

TEST_F(AVIWriteTest, DialogConfirmedGivesFullFrames) {
  sim::QueueDialogAnswer("Video Compression", IDOK);
  PAVIFILE file = nullptr;
  ASSERT_EQ(AVIFileOpenA(&file, Path("ok.avi").c_str(), OF_CREATE | OF_WRITE, nullptr), AVIERR_OK);
  AVISTREAMINFOA info;
  info.fccType = streamtypeVIDEO;
  info.dwScale = 1;
  info.dwRate = 25;
  PAVISTREAM stream = nullptr;
  ASSERT_EQ(AVIFileCreateStreamA(file, &stream, &info), AVIERR_OK);
  AVICOMPRESSOPTIONS options;
  options.fccHandler = 0x1234;
  AVICOMPRESSOPTIONS* list[1] = {&options};
  EXPECT_TRUE(AVISaveOptions(0, 0, 1, &stream, list));
  EXPECT_EQ(options.fccType, streamtypeVIDEO);
  EXPECT_EQ(options.fccHandler, comptypeDIB);
  EXPECT_EQ(AVISaveOptionsFree(1, list), AVIERR_OK);
  AVIStreamRelease(stream);
  AVIFileRelease(file);
  // Nothing was written: no file.
  EXPECT_FALSE(Exists(Path("ok.avi")));
}

TEST_F(AVIWriteTest, AbandonedWriteKeepsThePreviousFile) {
  const std::string path = Path("keep.avi");
  ASSERT_EQ(Write(path, 1, 25, 16, 16, 24, 2), AVIERR_OK);
  const std::string before = file_test::ReadFile(path);
  ASSERT_EQ(Write(path, 1, 25, 16, 16, 24, 4, /*abandon=*/true), AVIERR_OK);
  EXPECT_EQ(file_test::ReadFile(path), before);
  EXPECT_EQ(FilesIn(dir_.Path()), 1);
}

TEST_F(AVIWriteTest, SizeLimitCheckedBeforeItIsPassed) {
  const std::string path = Path("limit.avi");
  const int frameBytes = 16 * 16 * 3;
  // Room for the headers and three frames with their index, not for a fourth.
  ASSERT_EQ(Write(path, 1, 25, 16, 16, 24, 3), AVIERR_OK);
  const uint64_t threeFrames = file_test::ReadFile(path).size();
  sim::SetAVIFileSizeLimit(threeFrames + frameBytes / 2);
  std::remove(path.c_str());
  EXPECT_EQ(Write(path, 1, 25, 16, 16, 24, 3), AVIERR_OK);
  EXPECT_EQ(file_test::ReadFile(path).size(), threeFrames);
  EXPECT_EQ(Write(Path("over.avi"), 1, 25, 16, 16, 24, 4), AVIERR_FILEWRITE);
  // The failed save leaves nothing, not even the frames that fitted.
  EXPECT_FALSE(Exists(Path("over.avi")));
  EXPECT_EQ(FilesIn(dir_.Path()), 1);
}

TEST_F(AVIWriteTest, RefusedStreamsFormatsAndFrames) {
  PAVIFILE file = nullptr;
  ASSERT_EQ(AVIFileOpenA(&file, Path("refused.avi").c_str(), OF_CREATE | OF_WRITE, nullptr), AVIERR_OK);
  AVISTREAMINFOA info;
  info.fccType = streamtypeVIDEO;
  PAVISTREAM stream = nullptr;
  // A rate or scale of 0 makes a file no reader can time.
  info.dwScale = 1;
  info.dwRate = 0;
  EXPECT_EQ(AVIFileCreateStreamA(file, &stream, &info), AVIERR_BADPARAM);
  info.dwRate = 25;
  info.dwScale = 0;
  EXPECT_EQ(AVIFileCreateStreamA(file, &stream, &info), AVIERR_BADPARAM);
  info.dwScale = 1;
  info.fccType = streamtypeAUDIO;
  EXPECT_EQ(AVIFileCreateStreamA(file, &stream, &info), AVIERR_UNSUPPORTED);
  info.fccType = streamtypeVIDEO;
  ASSERT_EQ(AVIFileCreateStreamA(file, &stream, &info), AVIERR_OK);
  PAVISTREAM second = nullptr;
  EXPECT_EQ(AVIFileCreateStreamA(file, &second, &info), AVIERR_UNSUPPORTED);

  const std::string picture = Picture(8, 8, 24, 0);
  EXPECT_EQ(AVIStreamWrite(stream, 0, 1, picture.data(), static_cast<LONG>(picture.size()), 0, nullptr, nullptr),
            AVIERR_BADFORMAT);  // no format yet
  std::string rle = Format(8, 8, 8);
  reinterpret_cast<BITMAPINFOHEADER*>(rle.data())->biCompression = BI_RLE8;
  EXPECT_EQ(AVIStreamSetFormat(stream, 0, rle.data(), static_cast<LONG>(rle.size())), AVIERR_BADFORMAT);
  const std::string shortTable = Format(8, 8, 8).substr(0, 40 + 100);
  EXPECT_EQ(AVIStreamSetFormat(stream, 0, shortTable.data(), static_cast<LONG>(shortTable.size())), AVIERR_BADFORMAT);
  const std::string format = Format(8, 8, 24);
  ASSERT_EQ(AVIStreamSetFormat(stream, 0, format.data(), static_cast<LONG>(format.size())), AVIERR_OK);
  // A picture of another size is refused, and so is a frame out of order.
  const std::string other = Picture(8, 7, 24, 0);
  EXPECT_EQ(AVIStreamWrite(stream, 0, 1, other.data(), static_cast<LONG>(other.size()), 0, nullptr, nullptr),
            AVIERR_BADSIZE);
  EXPECT_EQ(AVIStreamWrite(stream, 3, 1, picture.data(), static_cast<LONG>(picture.size()), 0, nullptr, nullptr),
            AVIERR_BADPARAM);
  LONG samples = 0;
  LONG bytes = 0;
  EXPECT_EQ(AVIStreamWrite(stream, 0, 1, picture.data(), static_cast<LONG>(picture.size()), 0, &samples, &bytes),
            AVIERR_OK);
  EXPECT_EQ(samples, 1);
  EXPECT_EQ(bytes, static_cast<LONG>(picture.size()));
  EXPECT_EQ(AVIStreamLength(stream), 1);
  AVIStreamRelease(stream);
  AVIFileRelease(file);
  avi_test::OpenStream s(Path("refused.avi"));
  ASSERT_NE(s.getter, nullptr);
  EXPECT_EQ(s.info.dwLength, 1u);
}

TEST_F(AVIWriteTest, CannotCreateInAMissingFolder) {
  PAVIFILE file = nullptr;
  EXPECT_EQ(AVIFileOpenA(&file, Path("no/such/folder.avi").c_str(), OF_CREATE | OF_WRITE, nullptr), AVIERR_FILEOPEN);
  EXPECT_EQ(file, nullptr);
}

}  // namespace
