// Printing a 24 Mpx picture fitted to a letter page at 600 DPI (the picture resized
// and drawn in bands onto the page, then the job's PNG page and PDF written), beside
// ImageMagick resizing the same picture to the same device size and writing a PNG.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "image/io/dadiravio.h"
#include "platform/printer/Printer.h"
#include "platform/printer/SimHooks.h"

namespace {

constexpr int kW = 6000, kH = 4000;  // 24 Mpx
// Fitted into 8.5 x 11 inches at 600 DPI: scaled by 0.85 to 5100 x 3400.
constexpr char kDeviceSize[] = "5100x3400!";

std::string Folder() {
  static const std::string dir = [] {
    char tmpl[] = "/tmp/lark-bench-print-XXXXXX";
    return std::string(::mkdtemp(tmpl)) + "/";
  }();
  return dir;
}

// A picture with detail everywhere, as a PPM file for ImageMagick.
const std::string& Picture() {
  static const std::string path = [] {
    const std::string p = Folder() + "picture.ppm";
    std::ofstream out(p, std::ios::binary);
    out << "P6\n" << kW << " " << kH << "\n255\n";
    std::string row(static_cast<size_t>(kW) * 3, '\0');
    for (int y = 0; y < kH; ++y) {
      for (int x = 0; x < kW; ++x) {
        row[3 * x] = static_cast<char>((x * 7 + y) & 0xFF);
        row[3 * x + 1] = static_cast<char>((y * 5 + x / 3) & 0xFF);
        row[3 * x + 2] = static_cast<char>(((x ^ y) * 3) & 0xFF);
      }
      out.write(row.data(), static_cast<std::streamsize>(row.size()));
    }
    return p;
  }();
  return path;
}

void BM_PrintFittedAt600Dpi(benchmark::State& state) {
  TDadirAvIO io(nullptr);
  io.LoadFromFile(Picture());
  if (io.GetAborting() || io.GetIEBitmap()->GetWidth() != kW) {
    state.SkipWithError("the picture did not load");
    return;
  }
  sim::SetSpoolFolder(Folder() + "spool");
  larkprint::PrinterSettings st;
  st.dpiX = st.dpiY = 600;
  larkprint::ApplySettings(st);
  for (auto _ : state) {
    Printer()->BeginDoc();
    Printer()->SetTitle("bench");
    io.PrintImage(nullptr, 0, 0, 0, 0, ievpCENTER, iehpCENTER, iesFITTOPAGE, 0, 0, 1);
    Printer()->EndDoc();
    std::filesystem::remove_all(larkprint::LastJobFolder());
  }
  state.counters["Mpx/s"] = benchmark::Counter(kW * double(kH) / 1e6, benchmark::Counter::kIsIterationInvariantRate);
}

void BM_ImageMagickResizeToPng(benchmark::State& state) {
  const std::string command = "convert-im6.q16 '" + Picture() + "' -resize " + kDeviceSize + " '" + Folder() +
                              "magick.png' 2>/dev/null";
  for (auto _ : state)
    if (std::system(command.c_str()) != 0) {
      state.SkipWithError("convert-im6.q16 failed");
      return;
    }
  state.counters["Mpx/s"] = benchmark::Counter(kW * double(kH) / 1e6, benchmark::Counter::kIsIterationInvariantRate);
}

BENCHMARK(BM_PrintFittedAt600Dpi)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ImageMagickResizeToPng)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  std::filesystem::remove_all(Folder());
  return 0;
}
