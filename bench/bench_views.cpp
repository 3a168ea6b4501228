// Painting a 4000 x 3000 photograph fitted into an 800 x 600 view, in frames per
// second, beside ImageMagick's and Pillow's resize of the same picture to the same
// size, single thread. A frame is what the view does after its image changed: the
// relayout, the rendering of the back buffer with the zoom filter (the resampling
// is most of it) and the copy to the window. The photograph is ImageMagick's rose
// blended with a fractal sky, made once at the start.
//
// ImageMagick (MAGICK_THREAD_LIMIT=1) runs as a subprocess: its time is the best of
// three `convert in.miff -filter <f> -resize 800x600 null:` less the best of three
// `convert in.miff null:`, so its reading of the file is not counted. Pillow times its
// resize in-process (best of three).
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>

#include "bench/peer_timing.h"
#include "image/views/dadirav.h"
#include "platform/vcl/Application.h"
#include "platform/vcl/Forms.h"

namespace {

constexpr int kWidth = 4000;
constexpr int kHeight = 3000;

struct Case {
  const char* name;
  TResampleFilter filter;
  const char* magickFilter;
  const char* pillowFilter;
};

const Case kCases[] = {
    {"Bicubic", rfBicubic, "Catrom", "BICUBIC"},
    {"Lanczos3", rfLanczos3, "Lanczos", "LANCZOS"},
    {"Triangle", rfTriangle, "Triangle", "BILINEAR"},
    {"NoFilter", rfNone, "Point", "NEAREST"},
};

std::string gDir;
std::map<std::string, double> gOurSeconds;

double Seconds(const std::string& command) {
  const auto t0 = std::chrono::steady_clock::now();
  if (std::system(command.c_str()) != 0) return -1;
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

double BestOf3(const std::string& command) {
  double best = -1;
  for (int i = 0; i < 3; ++i) {
    const double s = Seconds(command);
    if (s < 0) return -1;
    if (best < 0 || s < best) best = s;
  }
  return best;
}

double MagickSeconds(const Case& c) {
  const std::string env = "MAGICK_THREAD_LIMIT=1 convert-im6.q16 " + gDir + "/photo.miff ";
  const double read = BestOf3(env + "null: 2>/dev/null");
  const double resize =
      BestOf3(env + "-filter " + c.magickFilter + " -resize 800x600 null: 2>/dev/null");
  if (read < 0 || resize < 0) return -1;
  return resize - read;
}

double PillowSeconds(const Case& c) {
  std::string line;
  const std::string cmd =
      "/usr/bin/python3 -c \"import time\nfrom PIL import Image\n"
      "im = Image.open('" + gDir + "/photo.png').convert('RGB'); im.load()\n"
      "best = 1e9\n"
      "for i in range(3):\n"
      "    t = time.perf_counter(); im.resize((800, 600), Image." + c.pillowFilter + ")\n"
      "    best = min(best, time.perf_counter() - t)\n"
      "print(best)\" 2>/dev/null";
  if (!peertiming::FirstLineOf(cmd, line)) return -1;
  return std::atof(line.c_str());
}

void BM_PaintFitted(benchmark::State& state, const Case& c) {
  TForm form(nullptr);
  form.SetBounds(0, 0, 840, 680);
  auto* view = new TDadirAv(&form);
  view->SetParent(&form);
  view->SetBorderStyle(TBorderStyle::bsNone);
  view->SetScrollBars(ssNone);
  view->SetBounds(0, 0, 800, 600);
  view->AutoFit = true;
  form.Show();
  view->LoadFromFile((gDir + "/photo.png").c_str());
  if (view->GetAborting() || view->GetIEBitmap()->GetWidth() != kWidth) {
    state.SkipWithError("the photograph did not load");
    return;
  }
  view->SetZoomFilter(c.filter);
  Application->ProcessMessages();
  double best = 0;
  const Integer before = view->GetRenderCount();
  peertiming::TimeBest(
      state,
      [&] {
        view->Update();  // the image changed: relayout and a dirty back buffer
        Application->ProcessMessages();  // the paint: render and copy to the window
        return view->GetRenderCount() > before;
      },
      "the view did not paint", best);
  if (best <= 0) return;
  gOurSeconds[c.name] = best;
  state.counters["fps"] = 1.0 / best;
}

}  // namespace

int main(int argc, char** argv) {
  char pattern[] = "/tmp/bench_views.XXXXXX";
  if (mkdtemp(pattern) == nullptr) return 1;
  gDir = pattern;
  const std::string make =
      "convert-im6.q16 rose: -resize 4000x3000! \\( -seed 7 -size 4000x3000 plasma:fractal \\) "
      "-compose blend -define compose:args=35 -composite -type TrueColor " + gDir +
      "/photo.png && convert-im6.q16 " + gDir + "/photo.png " + gDir + "/photo.miff";
  if (std::system(make.c_str()) != 0) {
    std::printf("ImageMagick did not make the photograph\n");
    return 1;
  }
  for (const Case& c : kCases)
    benchmark::RegisterBenchmark((std::string("PaintFitted/") + c.name).c_str(), BM_PaintFitted, c)
        ->Unit(benchmark::kMillisecond)
        ->Iterations(5)
        ->UseRealTime();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();

  std::printf("\n%-10s %10s %14s %10s %14s %10s\n", "filter", "view fps", "ImageMagick fps",
              "ratio", "Pillow fps", "ratio");
  for (const Case& c : kCases) {
    auto ours = gOurSeconds.find(c.name);
    if (ours == gOurSeconds.end()) continue;
    const double magick = MagickSeconds(c);
    const double pillow = PillowSeconds(c);
    std::printf("%-10s %10.2f %14.2f %10.2f %14.2f %10.2f\n", c.name, 1 / ours->second,
                magick > 0 ? 1 / magick : 0.0, magick > 0 ? magick / ours->second : 0.0,
                pillow > 0 ? 1 / pillow : 0.0, pillow > 0 ? pillow / ours->second : 0.0);
  }
  std::system(("rm -rf " + gDir).c_str());
  return 0;
}
