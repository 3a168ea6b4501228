// AVI files: the reader takes any bytes. A stream it opens never has more frames
// than the file has room for, and every frame it hands out is a whole picture of the
// stream's size. Frames are asked in a fuzzed order so that run-length frames are
// drawn both forward and from their key frame.
#define _GNU_SOURCE 1
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "fuzz/fuzz_support.h"
#include "image/io/dadiravio.h"
#include "platform/avifile/AVIFile.h"

namespace {

constexpr fuzzsupport::InvariantCheck Check("AVI");

// The fuzzed bytes as a file the reader opens by name: a memory file, rewritten for
// each input.
const std::string& MemoryFile(int& fd) {
  static int memfd = -1;
  static std::string name;
  if (memfd < 0) {
    memfd = ::memfd_create("fuzz_avi", 0);
    name = "/proc/self/fd/" + std::to_string(memfd);
  }
  fd = memfd;
  return name;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1u << 20)) return 0;
  static const bool installed = (IEInstallAVIDecoders(), AVIFileInit(), true);
  (void)installed;
  int fd = -1;
  const std::string& name = MemoryFile(fd);
  if (fd < 0 || ::ftruncate(fd, 0) != 0) return 0;
  if (size > 0 && ::pwrite(fd, data, size, 0) != static_cast<ssize_t>(size)) return 0;

  PAVIFILE file = nullptr;
  if (AVIFileOpenA(&file, name.c_str(), OF_READ, nullptr) != AVIERR_OK) return 0;
  PAVISTREAM stream = nullptr;
  if (AVIFileGetStream(file, &stream, streamtypeVIDEO, 0) == AVIERR_OK) {
    AVISTREAMINFOA info;
    Check(AVIStreamInfoA(stream, &info, sizeof(info)) == AVIERR_OK, "no description of an open stream");
    Check(static_cast<uint64_t>(info.dwLength) * 8 <= size, "more frames than the file has room for");
    BITMAPINFOHEADER format{};
    LONG formatSize = sizeof(format);
    AVIStreamReadFormat(stream, 0, &format, &formatSize);
    // Pictures up to a million pixels are decoded, so each input stays quick.
    const int64_t pixels = static_cast<int64_t>(format.biWidth) * (format.biHeight < 0 ? -int64_t{format.biHeight} : format.biHeight);
    if (formatSize >= 40 && pixels > 0 && pixels <= (1 << 20)) {
      if (PGETFRAME getter = AVIStreamGetFrameOpen(stream, nullptr)) {
        const LONG count = static_cast<LONG>(info.dwLength);
        for (size_t k = 0; k < 12; ++k) {
          const LONG index = k < 4 ? static_cast<LONG>(k) - 1 : static_cast<LONG>(data[(k * 7) % size]) % (count + 2) - 1;
          const void* dib = AVIStreamGetFrame(getter, index);
          if (index < 0 || index >= count) Check(dib == nullptr, "a frame outside the stream");
          if (dib == nullptr) continue;
          BITMAPINFOHEADER h;
          std::memcpy(&h, dib, sizeof(h));
          Check(h.biWidth == format.biWidth && static_cast<int64_t>(h.biHeight) * h.biWidth == pixels,
                "a frame of another size");
          // Every byte of the picture is there to be read.
          const size_t table = h.biBitCount <= 8 ? (size_t{4} << h.biBitCount) : 0;
          const auto* bytes = static_cast<const volatile uint8_t*>(dib);
          uint8_t sum = 0;
          for (size_t i = 0; i < 40 + table + h.biSizeImage; i += 61) sum = static_cast<uint8_t>(sum + bytes[i]);
          (void)sum;
          Check(h.biSizeImage == ((static_cast<uint64_t>(h.biWidth) * h.biBitCount + 31) / 32) * 4 * h.biHeight,
                "the picture's size does not match its rows");
        }
        AVIStreamGetFrameClose(getter);
      }
    }
    AVIStreamRelease(stream);
  }
  Check(AVIFileRelease(file) == 0, "the file outlived its last reference");
  return 0;
}
