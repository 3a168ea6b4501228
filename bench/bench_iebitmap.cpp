// Row access of the pixel store: every byte of a 24-bit 6000 x 4000 TIEBitmap summed
// through GetScanLine, one row at a time, in each storage (heap, mapped temporary
// file, framework bitmap), next to a plain loop over the heap store's block as one
// run. Reported in bytes per second; the ratios to the plain loop are printed at the
// end (the heap storage should reach at least half of it).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <memory>

#include "image/model/iebitmap.h"
#include "image/model/ieutils.h"

namespace {

constexpr Integer kWidth = 6000;
constexpr Integer kHeight = 4000;

double gPlainBytesPerSecond = 0;
double gStoreBytesPerSecond[3] = {0, 0, 0};
const char* const kStorageNames[3] = {"heap", "file", "framework"};

// The same summing kernel for every loop.
inline UInt64 SumBytes(const Byte* p, size_t n) {
  UInt64 sum = 0;
  for (size_t i = 0; i < n; ++i) sum += p[i];
  return sum;
}

// A store of the given storage with every row written.
std::unique_ptr<TIEBitmap> MakeStore(TIELocation location) {
  auto store = std::make_unique<TIEBitmap>();
  if (location == ieFile) store->SetMemoryLimit(0);
  if (location == ieTBitmap) store->SetLocation(ieTBitmap);
  if (location == ieMemory) store->SetMemoryLimit(0xFFFFFFFFu);
  store->Allocate(kWidth, kHeight, ie24RGB);
  for (Integer y = 0; y < kHeight; ++y) {
    auto* row = static_cast<Byte*>(store->GetScanLine(y));
    for (Integer i = 0; i < store->GetRowLen(); ++i) row[i] = static_cast<Byte>(i + y);
  }
  return store;
}

TIEBitmap* Store(TIELocation location) {
  static std::unique_ptr<TIEBitmap> stores[3];
  auto& store = stores[static_cast<int>(location)];
  if (!store) store = MakeStore(location);
  return store.get();
}

// Bytes per second, both as the library's own figure and as a counter the ratios read.
void ReportBytes(benchmark::State& state, UInt64 bytes) {
  const double total = static_cast<double>(bytes) * static_cast<double>(state.iterations());
  state.SetBytesProcessed(static_cast<int64_t>(total));
  state.counters["rate"] = benchmark::Counter(total, benchmark::Counter::kIsRate);
}

void BM_PlainLoop(benchmark::State& state) {
  TIEBitmap* store = Store(ieMemory);
  // The heap block starts at the bottom row and holds every row.
  const auto* block = static_cast<const Byte*>(store->GetScanLine(kHeight - 1));
  const size_t bytes = static_cast<size_t>(store->GetRowLen()) * kHeight;
  for (auto _ : state) benchmark::DoNotOptimize(SumBytes(block, bytes));
  ReportBytes(state, bytes);
}

void BM_ScanLineSum(benchmark::State& state) {
  const auto location = static_cast<TIELocation>(state.range(0));
  TIEBitmap* store = Store(location);
  if (store->GetLocation() != location) {
    state.SkipWithError("the store did not take the storage asked for");
    return;
  }
  const auto rowLen = static_cast<size_t>(store->GetRowLen());
  for (auto _ : state) {
    UInt64 sum = 0;
    for (Integer y = 0; y < kHeight; ++y)
      sum += SumBytes(static_cast<const Byte*>(store->GetScanLine(y)), rowLen);
    benchmark::DoNotOptimize(sum);
  }
  const UInt64 bytes = rowLen * kHeight;
  ReportBytes(state, bytes);
}

BENCHMARK(BM_PlainLoop)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ScanLineSum)
    ->Arg(static_cast<int>(ieMemory))
    ->Arg(static_cast<int>(ieFile))
    ->Arg(static_cast<int>(ieTBitmap))
    ->ArgName("storage")
    ->Unit(benchmark::kMillisecond);

// Keeps each benchmark's bytes per second for the ratios.
class RateReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      auto it = run.counters.find("rate");
      if (it == run.counters.end()) continue;
      const double rate = it->second.value;
      const std::string name = run.benchmark_name();
      if (name.rfind("BM_PlainLoop", 0) == 0) gPlainBytesPerSecond = rate;
      for (int i = 0; i < 3; ++i)
        if (name == "BM_ScanLineSum/storage:" + std::to_string(i)) gStoreBytesPerSecond[i] = rate;
    }
    ConsoleReporter::ReportRuns(runs);
  }
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RateReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  if (gPlainBytesPerSecond > 0)
    for (int i = 0; i < 3; ++i)
      if (gStoreBytesPerSecond[i] > 0)
        std::printf("GetScanLine sum, %s storage / plain loop: %.2f (%.0f MB/s against %.0f MB/s)\n",
                    kStorageNames[i], gStoreBytesPerSecond[i] / gPlainBytesPerSecond,
                    gStoreBytesPerSecond[i] / 1e6, gPlainBytesPerSecond / 1e6);
  benchmark::Shutdown();
  return 0;
}
