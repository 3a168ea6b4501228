// Acquiring a 300 dpi colour page from SANE's test device by memory transfer through
// the data source manager (TDadirAvIO::Acquire), beside scanimage writing the same
// page in the same run. The test device's bed is 200 x 200 mm, a little smaller than
// a letter page: 2362 x 2362 pixels, about 16.7 MB of colour.
#include <benchmark/benchmark.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "image/io/dadiravio.h"
#include "platform/rtl/SimHooks.h"
#include "platform/twain/SimHooks.h"

namespace {

constexpr double kInches = 200 / 25.4;
constexpr int kDpi = 300;

std::string Folder() {
  static std::string folder = [] {
    char pattern[] = "/tmp/bench_scan.XXXXXX";
    const char* made = ::mkdtemp(pattern);
    return std::string(made != nullptr ? made : "/tmp");
  }();
  return folder;
}

// The manager's library in the program's "windows" folder, SANE's configuration
// listing only the test backend.
void Prepare() {
  sim::SetProgramPath(Folder() + "/larkspool");
  ::mkdir((Folder() + "/windows").c_str(), 0700);
  std::ofstream(Folder() + "/windows/TWAIN_32.DLL") << "data source manager\n";
  std::ofstream(Folder() + "/dll.conf") << "test\n";
  setenv("SANE_CONFIG_DIR", Folder().c_str(), 1);
  sim::UseSaneSources(true);
}

bool Configure(TDadirAvIO& io) {
  TIETWainParams& tw = *io.GetTWainParams();
  tw.VisibleDialog = false;
  if (!tw.SelectSourceByName("test:0")) return false;
  tw.FillCapabilities();
  tw.GetPixelType()->SetCurrentValue(2);
  tw.GetXResolution()->SetCurrentValue(kDpi);
  tw.GetYResolution()->SetCurrentValue(kDpi);
  tw.SetAcquireFrameEnabled(true);
  tw.SetAcquireFrame(0, 0);
  tw.SetAcquireFrame(1, 0);
  tw.SetAcquireFrame(2, kInches);
  tw.SetAcquireFrame(3, kInches);
  tw.SetBufferedTransfer(true);
  return true;
}

double TimeCommand(const std::string& command) {
  const auto t0 = std::chrono::steady_clock::now();
  if (std::system(command.c_str()) != 0) return 0;
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

void Count(benchmark::State& state, double bytes) {
  state.counters["MB/s"] = benchmark::Counter(bytes / 1e6, benchmark::Counter::kIsIterationInvariantRate);
}

void BM_AcquireOurs(benchmark::State& state) {
  TDadirAvIO io(nullptr);
  if (!Configure(io)) {
    state.SkipWithError("no SANE test device");
    return;
  }
  for (auto _ : state) {
    if (!io.Acquire()) {
      state.SkipWithError("the acquisition failed");
      return;
    }
  }
  TIEBitmap* b = io.GetIEBitmap();
  state.counters["pixels"] = static_cast<double>(b->GetWidth()) * b->GetHeight();
  Count(state, static_cast<double>(b->GetWidth()) * b->GetHeight() * 3);
}

void BM_Scanimage(benchmark::State& state) {
  const std::string command = "scanimage -d test:0 --mode Color --depth 8 --resolution " + std::to_string(kDpi) +
                              " -l 0 -t 0 -x 200 -y 200 --format=pnm > " + Folder() + "/page.pnm 2>/dev/null";
  for (auto _ : state) {
    if (TimeCommand(command) == 0) {
      state.SkipWithError("scanimage failed");
      return;
    }
  }
  Count(state, 2362.0 * 2362.0 * 3);
}

BENCHMARK(BM_AcquireOurs)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();
BENCHMARK(BM_Scanimage)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  Prepare();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::system(("rm -rf " + Folder()).c_str());
  return 0;
}
