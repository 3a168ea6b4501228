// Timing our codec beside a peer in the same run. The peer is a subprocess that
// times its own loop and prints its seconds on one line; it runs before the
// benchmarks. Ours is timed per iteration, best of the iterations, and both rates
// and their ratio go in the benchmark's counters.
#pragma once

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <map>
#include <string>

namespace peertiming {

// The first line (up to 127 characters) a shell command prints; false when it cannot
// start, prints nothing or ends with a non-zero status.
inline bool FirstLineOf(const std::string& command, std::string& line) {
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return false;
  char buf[128] = {};
  const bool got = fgets(buf, sizeof buf, pipe) != nullptr;
  if (pclose(pipe) != 0 || !got) return false;
  line = buf;
  return true;
}

// Times run() once per iteration, best in `best`. When run() answers false the
// benchmark is skipped with `error` and false is answered.
template <class Run>
bool TimeBest(benchmark::State& state, Run run, const char* error, double& best) {
  best = 0;
  for (auto _ : state) {
    const auto t0 = std::chrono::steady_clock::now();
    const bool ok = run();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    if (!ok) {
      state.SkipWithError(error);
      return false;
    }
    if (best == 0 || seconds < best) best = seconds;
    benchmark::ClobberMemory();
  }
  return true;
}

// Counters of megapixels per second: ours ("Mpx/s") from our best seconds and, when
// the peer ran for this case (seconds above 0), the peer's ("Pillow_Mpx/s") and the
// ratio of the two.
inline void SetRateCounters(benchmark::State& state, double mpx, double best,
                            const std::map<std::string, double>& peerSeconds, const std::string& name) {
  state.counters["Mpx/s"] = mpx / best;
  const auto theirs = peerSeconds.find(name);
  if (theirs != peerSeconds.end() && theirs->second > 0) {
    state.counters["Pillow_Mpx/s"] = mpx / theirs->second;
    state.counters["ratio"] = theirs->second / best;
  }
}

// Registers one case: three iterations, real time, in milliseconds.
template <class Fn, class Case>
void RegisterCase(const std::string& name, Fn fn, const Case& c) {
  benchmark::RegisterBenchmark(name.c_str(), fn, c)
      ->Unit(benchmark::kMillisecond)
      ->Iterations(3)
      ->UseRealTime();
}

// Runs the registered benchmarks with the command line's options; 1 on an option
// it does not know.
inline int RunRegistered(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}

}  // namespace peertiming
