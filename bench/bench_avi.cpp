// Writing and reading 1,000 uncompressed 640 x 480 frames (24 bits, about 920 MB) of
// an AVI file through AVIFile, beside ffmpeg with one thread doing the same in the
// same run: it writes the frames from raw input into an AVI file, and reads an AVI
// file decoding every frame to nothing. Both work on files in the same temporary
// folder, so both see the same disk and page cache.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/avifile/AVIFile.h"

namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 480;
constexpr int kFrames = 1000;
constexpr size_t kFrameBytes = static_cast<size_t>(kWidth) * kHeight * 3;

std::string Folder() {
  static std::string folder = [] {
    char pattern[] = "/tmp/bench_avi.XXXXXX";
    const char* made = ::mkdtemp(pattern);
    return std::string(made != nullptr ? made : "/tmp");
  }();
  return folder;
}

bool WriteOurs(const std::string& path) {
  PAVIFILE file = nullptr;
  if (AVIFileOpenA(&file, path.c_str(), OF_CREATE | OF_WRITE, nullptr) != AVIERR_OK) return false;
  AVISTREAMINFOA info;
  info.fccType = streamtypeVIDEO;
  info.dwScale = 1;
  info.dwRate = 25;
  PAVISTREAM stream = nullptr;
  bool ok = AVIFileCreateStreamA(file, &stream, &info) == AVIERR_OK;
  BITMAPINFOHEADER format;
  format.biSize = 40;
  format.biWidth = kWidth;
  format.biHeight = kHeight;
  format.biPlanes = 1;
  format.biBitCount = 24;
  ok = ok && AVIStreamSetFormat(stream, 0, &format, sizeof(format)) == AVIERR_OK;
  std::vector<Byte> picture(kFrameBytes);
  for (int i = 0; ok && i < kFrames; ++i) {
    picture[static_cast<size_t>(i) * 997 % kFrameBytes] = static_cast<Byte>(i);
    ok = AVIStreamWrite(stream, i, 1, picture.data(), static_cast<LONG>(kFrameBytes), AVIIF_KEYFRAME, nullptr,
                        nullptr) == AVIERR_OK;
  }
  if (stream != nullptr) AVIStreamRelease(stream);
  AVIFileRelease(file);
  return ok;
}

bool ReadOurs(const std::string& path) {
  PAVIFILE file = nullptr;
  if (AVIFileOpenA(&file, path.c_str(), OF_READ, nullptr) != AVIERR_OK) return false;
  PAVISTREAM stream = nullptr;
  PGETFRAME getter = nullptr;
  bool ok = AVIFileGetStream(file, &stream, streamtypeVIDEO, 0) == AVIERR_OK &&
            (getter = AVIStreamGetFrameOpen(stream, nullptr)) != nullptr && AVIStreamLength(stream) == kFrames;
  for (int i = 0; ok && i < kFrames; ++i) {
    const void* dib = AVIStreamGetFrame(getter, i);
    ok = dib != nullptr;
    benchmark::DoNotOptimize(dib);
  }
  if (getter != nullptr) AVIStreamGetFrameClose(getter);
  if (stream != nullptr) AVIStreamRelease(stream);
  AVIFileRelease(file);
  return ok;
}

std::string PeerWriteCommand(const std::string& path) {
  return "ffmpeg -v error -y -threads 1 -f rawvideo -pix_fmt bgr24 -s " + std::to_string(kWidth) + "x" +
         std::to_string(kHeight) + " -i /dev/zero -frames:v " + std::to_string(kFrames) +
         " -c:v rawvideo -threads 1 " + path;
}
std::string PeerReadCommand(const std::string& path) {
  return "ffmpeg -v error -threads 1 -i " + path + " -threads 1 -f null -";
}

// Seconds of one run of a shell command; 0 when it failed.
double TimeCommand(const std::string& command) {
  const auto t0 = std::chrono::steady_clock::now();
  if (std::system(command.c_str()) != 0) return 0;
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

template <class Run>
void Time(benchmark::State& state, Run run) {
  for (auto _ : state) {
    if (!run()) {
      state.SkipWithError("the work failed");
      return;
    }
  }
  state.counters["MB/s"] = benchmark::Counter(static_cast<double>(kFrameBytes) * kFrames / 1e6,
                                              benchmark::Counter::kIsIterationInvariantRate);
}

void BM_WriteOurs(benchmark::State& state) {
  const std::string path = Folder() + "/ours.avi";
  Time(state, [&] { return WriteOurs(path); });
}
void BM_WriteFfmpeg(benchmark::State& state) {
  const std::string path = Folder() + "/ffmpeg.avi";
  Time(state, [&] { return TimeCommand(PeerWriteCommand(path)) > 0; });
}
void BM_ReadOurs(benchmark::State& state) {
  const std::string path = Folder() + "/ours.avi";
  if (::access(path.c_str(), R_OK) != 0 && !WriteOurs(path)) state.SkipWithError("no file to read");
  Time(state, [&] { return ReadOurs(path); });
}
void BM_ReadFfmpeg(benchmark::State& state) {
  const std::string path = Folder() + "/ffmpeg.avi";
  if (::access(path.c_str(), R_OK) != 0 && TimeCommand(PeerWriteCommand(path)) == 0)
    state.SkipWithError("no file to read");
  Time(state, [&] { return TimeCommand(PeerReadCommand(path)) > 0; });
}

BENCHMARK(BM_WriteOurs)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_WriteFfmpeg)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_ReadOurs)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_ReadFfmpeg)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  AVIFileInit();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::system(("rm -rf " + Folder()).c_str());
  AVIFileExit();
  return 0;
}
