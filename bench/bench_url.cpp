// Loads a JPEG of about 20 MB from nginx on 127.0.0.1 by its web address
// (TDadirAvIO::LoadFromURL: WinINet on libcurl into memory, then our decoder), beside
// `curl -o` into a file followed by our decoder on that file, in the same run, and
// prints the ratio of the two.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <random>
#include <string>

#include "image/formats/jpegfilt.h"
#include "image/io/dadiravio.h"
#include "tests/support/HttpPeers.h"
#include "tests/support/Peers.h"

namespace {

larktest::NginxServer* gNginx = nullptr;
std::string gJpeg;
double gOursSeconds = 0;
double gPeerSeconds = 0;

// A 6000 x 4000 picture of noisy gradients at quality 95: about 20 MB of JPEG.
std::string MakeJpeg() {
  TDadirAvIO io(nullptr);
  TIEBitmap& b = *io.GetIEBitmap();
  b.Allocate(6000, 4000, ie24RGB);
  std::mt19937 random(7);
  for (Integer y = 0; y < b.GetHeight(); ++y) {
    auto* row = static_cast<TRGB*>(b.GetScanLine(y));
    for (Integer x = 0; x < b.GetWidth(); ++x) {
      uint32_t n = random();
      row[x] = TRGB{static_cast<Byte>((x / 24 + (n & 63)) & 255), static_cast<Byte>((y / 16 + ((n >> 8) & 63)) & 255),
                    static_cast<Byte>(((x + y) / 40 + ((n >> 16) & 63)) & 255)};
    }
  }
  io.GetParams()->JPEG_Quality = 95;
  TMemoryStream s;
  io.SaveToStreamJpeg(&s);
  std::string bytes(static_cast<size_t>(s.GetSize()), '\0');
  s.SetPosition(0);
  s.ReadBuffer(bytes.data(), static_cast<Integer>(bytes.size()));
  return io.GetAborting() ? std::string() : bytes;
}

void BM_LoadFromURL(benchmark::State& state) {
  double best = 0;
  for (auto _ : state) {
    TDadirAvIO io(nullptr);
    auto t0 = std::chrono::steady_clock::now();
    io.LoadFromURL(gNginx->Url("/big.jpg"));
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    if (io.GetAborting() || io.GetIEBitmap()->GetWidth() != 6000) {
      state.SkipWithError("the web load failed");
      return;
    }
    state.SetIterationTime(seconds);
    if (best == 0 || seconds < best) best = seconds;
  }
  gOursSeconds = best;
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * gJpeg.size()));
}

void BM_CurlThenDecode(benchmark::State& state) {
  larktest::TempDir dir;
  std::string file = dir.Path() + "big.jpg";
  double best = 0;
  for (auto _ : state) {
    TDadirAvIO io(nullptr);
    auto t0 = std::chrono::steady_clock::now();
    int rc = -1;
    larktest::RunCommand({"curl", "-s", "-o", file, gNginx->Url("/big.jpg")}, &rc);
    io.LoadFromFile(file);
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    if (rc != 0 || io.GetAborting()) {
      state.SkipWithError("curl or the decoder failed (is curl installed?)");
      return;
    }
    state.SetIterationTime(seconds);
    if (best == 0 || seconds < best) best = seconds;
  }
  gPeerSeconds = best;
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * gJpeg.size()));
}

BENCHMARK(BM_LoadFromURL)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_CurlThenDecode)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  gJpeg = MakeJpeg();
  larktest::NginxServer nginx;
  if (gJpeg.empty() || !nginx.Start() || nginx.WriteFile("big.jpg", gJpeg).empty()) {
    std::fprintf(stderr, "nginx could not serve the picture (scripts/install-deps installs it)\n");
    return 1;
  }
  gNginx = &nginx;
  std::printf("JPEG of %.1f MB, 6000 x 4000\n", static_cast<double>(gJpeg.size()) / 1e6);
  benchmark::RunSpecifiedBenchmarks();
  if (gOursSeconds > 0 && gPeerSeconds > 0)
    std::printf("LoadFromURL / (curl -o + decode): %.2f of the time (%.0f ms against %.0f ms)\n",
                gOursSeconds / gPeerSeconds, gOursSeconds * 1e3, gPeerSeconds * 1e3);
  gNginx = nullptr;
  benchmark::Shutdown();
  return 0;
}
