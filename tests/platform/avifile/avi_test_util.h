// What the AVI tests share: AVI files written by ffmpeg from its test pattern, its
// own decoding of any AVI file to raw frames, ffprobe's view of a file, and the
// pictures of our packed DIBs as rows of blue, green, red.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "platform/avifile/AVIFile.h"
#include "tests/support/Peers.h"

namespace avi_test {

inline constexpr int kWidth = 64;
inline constexpr int kHeight = 48;

// Writes frames of ffmpeg's "testsrc" at width x height and the given rate with codec
// (rawvideo or mjpeg) and pixel format (empty: the codec's own) into path.
inline void MakeAvi(const std::string& path, const std::string& codec, const std::string& pixelFormat,
                    int frames = 4, const std::string& rate = "25", int width = kWidth, int height = kHeight) {
  const std::string ffmpeg = larktest::RequireProgram("ffmpeg");
  std::vector<std::string> argv = {ffmpeg, "-v", "error", "-y", "-f", "lavfi", "-i",
                                   "testsrc=size=" + std::to_string(width) + "x" + std::to_string(height) +
                                       ":rate=" + rate,
                                   "-frames:v", std::to_string(frames), "-c:v", codec};
  if (!pixelFormat.empty()) {
    argv.push_back("-pix_fmt");
    argv.push_back(pixelFormat);
  }
  argv.push_back(path);
  int code = -1;
  larktest::RunCommand(argv, &code);
  ASSERT_EQ(code, 0) << "ffmpeg could not write " << path;
}

// ffmpeg's decoding of every frame of path into raw frames of pixelFormat (bgr24:
// top-down rows of width x 3 bytes).
inline std::vector<std::string> PeerFrames(const std::string& path, int width = kWidth, int height = kHeight,
                                           const std::string& pixelFormat = "bgr24", int bytesPerPixel = 3) {
  const std::string ffmpeg = larktest::RequireProgram("ffmpeg");
  int code = -1;
  const std::string raw = larktest::RunCommand(
      {ffmpeg, "-v", "error", "-threads", "1", "-i", path, "-f", "rawvideo", "-pix_fmt", pixelFormat, "-"}, &code);
  EXPECT_EQ(code, 0) << "ffmpeg could not decode " << path;
  const size_t frameBytes = static_cast<size_t>(width) * height * bytesPerPixel;
  std::vector<std::string> frames;
  for (size_t at = 0; at + frameBytes <= raw.size(); at += frameBytes) frames.push_back(raw.substr(at, frameBytes));
  EXPECT_EQ(raw.size() % frameBytes, 0u);
  return frames;
}

// ffprobe's fields of the first video stream, counting its frames by decoding.
inline std::map<std::string, std::string> Probe(const std::string& path) {
  const std::string ffprobe = larktest::RequireProgram("ffprobe");
  int code = -1;
  const std::string out = larktest::RunCommand({ffprobe, "-v", "error", "-count_frames", "-select_streams", "v:0",
                                                "-show_streams", "-of", "default=noprint_wrappers=1", path},
                                               &code);
  std::map<std::string, std::string> fields;
  if (code != 0) return fields;
  size_t start = 0;
  while (start < out.size()) {
    size_t end = out.find('\n', start);
    if (end == std::string::npos) end = out.size();
    const std::string line = out.substr(start, end - start);
    const size_t eq = line.find('=');
    if (eq != std::string::npos) fields[line.substr(0, eq)] = line.substr(eq + 1);
    start = end + 1;
  }
  return fields;
}

// The picture of a packed DIB (bottom-up, BI_RGB at 1, 4, 8, 16 (5-5-5), 24 or 32
// bits) as top-down rows of blue, green, red; 5-bit channels widened as v << 3 | v >> 2.
inline std::string DibToBGR(const void* dib) {
  BITMAPINFOHEADER h;
  std::memcpy(&h, dib, sizeof(h));
  const auto* base = static_cast<const uint8_t*>(dib);
  const size_t table = h.biBitCount <= 8 ? (size_t{1} << h.biBitCount) : 0;
  const uint8_t* colors = base + h.biSize;
  const uint8_t* bits = colors + table * 4;
  const size_t rowBytes = ((static_cast<size_t>(h.biWidth) * h.biBitCount + 31) / 32) * 4;
  std::string out;
  out.reserve(static_cast<size_t>(h.biWidth) * h.biHeight * 3);
  for (int y = h.biHeight - 1; y >= 0; --y) {
    const uint8_t* row = bits + rowBytes * static_cast<size_t>(y);
    for (int x = 0; x < h.biWidth; ++x) {
      uint8_t b = 0, g = 0, r = 0;
      switch (h.biBitCount) {
        case 1: case 4: case 8: {
          const int perByte = 8 / h.biBitCount;
          const int shift = (perByte - 1 - x % perByte) * h.biBitCount;
          const int index = (row[x / perByte] >> shift) & ((1 << h.biBitCount) - 1);
          b = colors[index * 4];
          g = colors[index * 4 + 1];
          r = colors[index * 4 + 2];
          break;
        }
        case 16: {
          const int v = row[2 * x] | (row[2 * x + 1] << 8);
          const auto widen = [](int c) { return static_cast<uint8_t>((c << 3) | (c >> 2)); };
          b = widen(v & 31);
          g = widen((v >> 5) & 31);
          r = widen((v >> 10) & 31);
          break;
        }
        case 24: b = row[3 * x]; g = row[3 * x + 1]; r = row[3 * x + 2]; break;
        case 32: b = row[4 * x]; g = row[4 * x + 1]; r = row[4 * x + 2]; break;
        default: break;
      }
      out.push_back(static_cast<char>(b));
      out.push_back(static_cast<char>(g));
      out.push_back(static_cast<char>(r));
    }
  }
  return out;
}

// Peak signal-to-noise ratio of two pictures of the same size, in dB (infinity when
// equal).
inline double Psnr(const std::string& a, const std::string& b) {
  if (a.size() != b.size() || a.empty()) return 0;
  double sum = 0;
  for (size_t i = 0; i < a.size(); ++i) {
    const double d = static_cast<double>(static_cast<uint8_t>(a[i])) - static_cast<uint8_t>(b[i]);
    sum += d * d;
  }
  if (sum == 0) return INFINITY;
  return 10 * std::log10(255.0 * 255.0 / (sum / static_cast<double>(a.size())));
}

// The first byte of the first chunk with that id (the chunk's header is 8 bytes
// before it); npos when there is none.
inline size_t FindChunk(const std::string& file, const char* id) {
  const size_t at = file.find(id);
  return at == std::string::npos ? at : at + 8;
}

inline uint32_t Get32(const std::string& s, size_t at) {
  uint32_t v = 0;
  std::memcpy(&v, s.data() + at, 4);
  return v;
}
inline void Put32(std::string& s, size_t at, uint32_t v) { std::memcpy(s.data() + at, &v, 4); }

// An open file's first video stream with its frame getter, released when it goes.
struct OpenStream {
  PAVIFILE file = nullptr;
  PAVISTREAM stream = nullptr;
  PGETFRAME getter = nullptr;
  AVISTREAMINFOA info;
  HRESULT status = AVIERR_OK;

  explicit OpenStream(const std::string& path) {
    status = AVIFileOpenA(&file, path.c_str(), OF_READ, nullptr);
    if (status != AVIERR_OK) return;
    status = AVIFileGetStream(file, &stream, streamtypeVIDEO, 0);
    if (status != AVIERR_OK) return;
    status = AVIStreamInfoA(stream, &info, sizeof(info));
    getter = AVIStreamGetFrameOpen(stream, nullptr);
  }
  ~OpenStream() {
    if (getter != nullptr) AVIStreamGetFrameClose(getter);
    if (stream != nullptr) AVIStreamRelease(stream);
    if (file != nullptr) AVIFileRelease(file);
  }
  OpenStream(const OpenStream&) = delete;
  OpenStream& operator=(const OpenStream&) = delete;
};

// Builds RIFF files by hand: chunks and lists with the sizes right unless told
// otherwise.
struct Riff {
  static std::string U32(uint32_t v) { return std::string(reinterpret_cast<const char*>(&v), 4); }
  static std::string U16(uint16_t v) { return std::string(reinterpret_cast<const char*>(&v), 2); }
  static std::string Chunk(const std::string& id, const std::string& data) {
    std::string out = id + U32(static_cast<uint32_t>(data.size())) + data;
    if (data.size() & 1) out.push_back('\0');
    return out;
  }
  static std::string List(const std::string& type, const std::string& body) { return Chunk("LIST", type + body); }
  // A stream header of a video stream.
  static std::string Strh(uint32_t scale, uint32_t rate, uint32_t length, const std::string& handler = "DIB ") {
    std::string h = "vids" + handler + U32(0) + U16(0) + U16(0) + U32(0) + U32(scale) + U32(rate) + U32(0) +
                    U32(length) + U32(0) + U32(0xFFFFFFFF) + U32(0) + U16(0) + U16(0) + U16(0) + U16(0);
    return Chunk("strh", h);
  }
  // A BITMAPINFOHEADER with its colour table.
  static std::string Strf(int32_t width, int32_t height, uint16_t bits, uint32_t compression, uint32_t clrUsed,
                          const std::string& table) {
    std::string f = U32(40) + U32(static_cast<uint32_t>(width)) + U32(static_cast<uint32_t>(height)) + U16(1) +
                    U16(bits) + U32(compression) + U32(0) + U32(0) + U32(0) + U32(clrUsed) + U32(0) + table;
    return Chunk("strf", f);
  }
  // The whole file: hdrl with one stream list, the movi list's body, an optional
  // idx1 body.
  static std::string File(const std::string& strh, const std::string& strf, const std::string& moviBody,
                          const std::string* idx1 = nullptr) {
    const std::string avih = Chunk("avih", std::string(56, '\0'));
    std::string body = "AVI " + List("hdrl", avih + List("strl", strh + strf)) + List("movi", moviBody);
    if (idx1 != nullptr) body += Chunk("idx1", *idx1);
    return Chunk("RIFF", body);
  }
  static std::string IndexEntry(const std::string& id, uint32_t flags, uint32_t offset, uint32_t size) {
    return id + U32(flags) + U32(offset) + U32(size);
  }
};

}  // namespace avi_test
