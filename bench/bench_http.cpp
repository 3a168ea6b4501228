// Downloads a 256 MB file from nginx on 127.0.0.1 with THttpCli and with curl in the
// same run, twice: the body written to a file, and the body thrown away (a stream
// that discards, curl into /dev/null), which shows the client's own cost. Prints the
// ratios of the throughputs. The client's peak memory (VmHWM) is read before and
// after its downloads: it must not grow with the size of the file.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>

#include "net/HttpProt.h"
#include "platform/rtl/Streams.h"
#include "platform/win/Messages.h"
#include "tests/support/HttpPeers.h"
#include "tests/support/Peers.h"

namespace {

constexpr uint64_t kBytes = 256ull << 20;
constexpr uint64_t kWarmUpBytes = 16ull << 20;

larktest::NginxServer* gNginx = nullptr;
double gCliBytesPerSecond = 0;
double gCurlBytesPerSecond = 0;
long gHwmBeforeKb = 0;
long gHwmAfterKb = 0;

// The process's peak resident memory in kB (VmHWM), -1 when unknown.
long PeakResidentKb() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6));
  return -1;
}

// A stream that takes every byte and keeps none.
class TDiscardStream : public TStream {
 public:
  using TStream::Seek;
  Integer Read(void*, Integer) override { return 0; }
  Integer Write(const void*, Integer count) override {
    size_ += count;
    return count;
  }
  Int64 Seek(Int64, TSeekOrigin) override { return size_; }
  Int64 GetSize() override { return size_; }

 private:
  Int64 size_ = 0;
};

// Seconds for THttpCli to fetch url into a file (into nothing for an empty path), -1
// on failure.
double DownloadWithHttpCli(const std::string& url, const std::string& path, uint64_t expected) {
  THttpCli cli(nullptr);
  bool done = false;
  cli.OnRequestDone = [&](TObject*, THttpRequest, Word) { done = true; };
  cli.SetURL(url);
  std::unique_ptr<TStream> stream;
  if (path.empty())
    stream = std::make_unique<TDiscardStream>();
  else
    stream = std::make_unique<TFileStream>(path, fmCreate);
  cli.SetRcvdStream(stream.get());
  const auto start = std::chrono::steady_clock::now();
  cli.GetASync();
  MSG msg;
  while (!done && GetMessage(&msg, 0, 0, 0) > 0) DispatchMessage(&msg);
  const auto end = std::chrono::steady_clock::now();
  const bool whole = cli.GetStatusCode() == 200 && static_cast<uint64_t>(cli.GetRcvdCount()) == expected &&
                     static_cast<uint64_t>(stream->GetSize()) == expected;
  return whole ? std::chrono::duration<double>(end - start).count() : -1;
}

double DownloadWithCurl(const std::string& url, const std::string& path) {
  const auto start = std::chrono::steady_clock::now();
  int code = -1;
  larktest::RunCommand({"curl", "-s", "-o", path, url}, &code);
  const auto end = std::chrono::steady_clock::now();
  return code == 0 ? std::chrono::duration<double>(end - start).count() : -1;
}

double gCliDiscardBytesPerSecond = 0;
double gCurlDiscardBytesPerSecond = 0;

void BM_HttpCliDiscard(benchmark::State& state) {
  double total = 0;
  for (auto _ : state) {
    const double seconds = DownloadWithHttpCli(gNginx->Url("/big.bin"), "", kBytes);
    if (seconds < 0) {
      state.SkipWithError("the download did not complete");
      return;
    }
    state.SetIterationTime(seconds);
    total += seconds;
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kBytes));
  gCliDiscardBytesPerSecond = static_cast<double>(state.iterations() * kBytes) / total;
}

void BM_CurlDiscard(benchmark::State& state) {
  double total = 0;
  for (auto _ : state) {
    const double seconds = DownloadWithCurl(gNginx->Url("/big.bin"), "/dev/null");
    if (seconds < 0) {
      state.SkipWithError("curl failed (is it installed?)");
      return;
    }
    state.SetIterationTime(seconds);
    total += seconds;
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kBytes));
  gCurlDiscardBytesPerSecond = static_cast<double>(state.iterations() * kBytes) / total;
}

void BM_HttpCliDownload(benchmark::State& state) {
  larktest::TempDir dir;
  // A smaller download first: the peak after it is the baseline.
  if (DownloadWithHttpCli(gNginx->Url("/warmup.bin"), dir.Path() + "warmup", kWarmUpBytes) < 0) {
    state.SkipWithError("the warm-up download failed");
    return;
  }
  gHwmBeforeKb = PeakResidentKb();
  double total = 0;
  for (auto _ : state) {
    const double seconds = DownloadWithHttpCli(gNginx->Url("/big.bin"), dir.Path() + "big", kBytes);
    if (seconds < 0) {
      state.SkipWithError("the download did not complete");
      return;
    }
    state.SetIterationTime(seconds);
    total += seconds;
  }
  gHwmAfterKb = PeakResidentKb();
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kBytes));
  state.counters["VmHWM_before_kB"] = static_cast<double>(gHwmBeforeKb);
  state.counters["VmHWM_after_kB"] = static_cast<double>(gHwmAfterKb);
  gCliBytesPerSecond = static_cast<double>(state.iterations() * kBytes) / total;
}

void BM_CurlDownload(benchmark::State& state) {
  larktest::TempDir dir;
  double total = 0;
  for (auto _ : state) {
    const double seconds = DownloadWithCurl(gNginx->Url("/big.bin"), dir.Path() + "big");
    if (seconds < 0) {
      state.SkipWithError("curl failed (is it installed?)");
      return;
    }
    state.SetIterationTime(seconds);
    total += seconds;
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kBytes));
  gCurlBytesPerSecond = static_cast<double>(state.iterations() * kBytes) / total;
}

BENCHMARK(BM_HttpCliDiscard)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_CurlDiscard)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_HttpCliDownload)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_CurlDownload)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  larktest::NginxServer nginx;
  if (!nginx.Start() || nginx.AddPatternFile("big.bin", kBytes).empty() ||
      nginx.AddPatternFile("warmup.bin", kWarmUpBytes).empty()) {
    std::fprintf(stderr, "nginx could not serve the files (scripts/install-deps installs it)\n");
    return 1;
  }
  gNginx = &nginx;
  benchmark::RunSpecifiedBenchmarks();
  if (gCliBytesPerSecond > 0 && gCurlBytesPerSecond > 0)
    std::printf("THttpCli / curl download throughput: %.2f (%.0f MB/s against %.0f MB/s)\n",
                gCliBytesPerSecond / gCurlBytesPerSecond, gCliBytesPerSecond / 1e6,
                gCurlBytesPerSecond / 1e6);
  if (gCliDiscardBytesPerSecond > 0 && gCurlDiscardBytesPerSecond > 0)
    std::printf("THttpCli / curl download throughput, body discarded: %.2f (%.0f MB/s against %.0f MB/s)\n",
                gCliDiscardBytesPerSecond / gCurlDiscardBytesPerSecond, gCliDiscardBytesPerSecond / 1e6,
                gCurlDiscardBytesPerSecond / 1e6);
  if (gHwmBeforeKb > 0 && gHwmAfterKb > 0)
    std::printf("THttpCli peak memory (VmHWM): %ld kB after 16 MB, %ld kB after 3 x 256 MB (%+ld kB)\n",
                gHwmBeforeKb, gHwmAfterKb, gHwmAfterKb - gHwmBeforeKb);
  gNginx = nullptr;
  benchmark::Shutdown();
  return 0;
}
