// Painting a 6000 x 4000 photograph fitted into a 1024 x 768 view (1024 x 683,
// centred), in frames per second, beside Pillow's, libvips' and ImageMagick's resize
// of the same picture to the same size, single thread. A frame is what the view does
// after its image changed: the relayout, the rendering of the back buffer with the
// zoom filter (the resampling is most of it) and the copy to the window. The
// photograph is ImageMagick's rose blended with a fractal sky, 8 bits a channel
// (as every peer then works on bytes), made once at the start.
//
// Pillow times its resize in-process (best of three). libvips (VIPS_CONCURRENCY=1)
// runs as the `vips` command: its time is the best of three
// `vips resize in.v out.v <scale> --vscale <scale> --kernel <k>` less the best of
// three `vips avg in.v`, which reads every pixel as the resize must, so starting the
// program and reading the file are not counted. ImageMagick (MAGICK_THREAD_LIMIT=1)
// likewise: `convert in.miff -filter <f> -resize WxH! null:` less `convert in.miff
// null:`.
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

constexpr int kWidth = 6000;
constexpr int kHeight = 4000;
constexpr int kViewWidth = 1024;
constexpr int kViewHeight = 768;
// The fitted size: the width decides (1024 / 6000 < 768 / 4000).
constexpr int kFitWidth = 1024;
constexpr int kFitHeight = 683;

struct Case {
  const char* name;
  TResampleFilter filter;
  const char* magickFilter;
  const char* pillowFilter;
  const char* vipsKernel;
};

const Case kCases[] = {
    {"Bicubic", rfBicubic, "Catrom", "BICUBIC", "cubic"},
    {"Lanczos3", rfLanczos3, "Lanczos", "LANCZOS", "lanczos3"},
    {"Triangle", rfTriangle, "Triangle", "BILINEAR", "linear"},
    {"NoFilter", rfNone, "Point", "NEAREST", "nearest"},
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
      BestOf3(env + "-filter " + c.magickFilter + " -resize " + std::to_string(kFitWidth) + "x" +
              std::to_string(kFitHeight) + "! null: 2>/dev/null");
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
      "    t = time.perf_counter(); im.resize((" + std::to_string(kFitWidth) + ", " +
      std::to_string(kFitHeight) + "), Image." + c.pillowFilter + ")\n"
      "    best = min(best, time.perf_counter() - t)\n"
      "print(best)\" 2>/dev/null";
  if (!peertiming::FirstLineOf(cmd, line)) return -1;
  return std::atof(line.c_str());
}

double VipsSeconds(const Case& c) {
  const std::string env = "VIPS_CONCURRENCY=1 vips ";
  const double read = BestOf3(env + "avg " + gDir + "/photo.v >/dev/null 2>&1");
  char scales[96];
  std::snprintf(scales, sizeof scales, "%.9f --vscale %.9f", static_cast<double>(kFitWidth) / kWidth,
                static_cast<double>(kFitHeight) / kHeight);
  const double resize = BestOf3(env + "resize " + gDir + "/photo.v " + gDir + "/small.v " +
                                scales + " --kernel " + c.vipsKernel + " >/dev/null 2>&1");
  if (read < 0 || resize < 0) return -1;
  return resize - read;
}

void BM_PaintFitted(benchmark::State& state, const Case& c) {
  TForm form(nullptr);
  form.SetBounds(0, 0, kViewWidth + 40, kViewHeight + 80);
  auto* view = new TDadirAv(&form);
  view->SetParent(&form);
  view->SetBorderStyle(TBorderStyle::bsNone);
  view->SetScrollBars(ssNone);
  view->SetBounds(0, 0, kViewWidth, kViewHeight);
  view->AutoFit = true;
  form.Show();
  view->LoadFromFile((gDir + "/photo.png").c_str());
  if (view->GetAborting() || view->GetIEBitmap()->GetWidth() != kWidth) {
    state.SkipWithError("the photograph did not load");
    return;
  }
  view->SetZoomFilter(c.filter);
  Application->ProcessMessages();
  if (view->GetZoomedWidth() != kFitWidth || view->GetZoomedHeight() != kFitHeight) {
    state.SkipWithError("the view did not fit the photograph to 1024 x 683");
    return;
  }
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
      "convert-im6.q16 rose: -resize 6000x4000! \\( -seed 7 -size 6000x4000 plasma:fractal \\) "
      "-compose blend -define compose:args=35 -composite -type TrueColor -depth 8 " + gDir +
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

  // libvips reads its own format, mapped, with no decoding to count.
  const bool haveVips =
      std::system(("vips copy " + gDir + "/photo.png " + gDir + "/photo.v >/dev/null 2>&1").c_str()) == 0;
  if (!haveVips) std::printf("libvips' vips command is missing (scripts/install-deps)\n");
  std::printf("\nfps (the ratio is the peer's time over the view's: above 1 the view is faster)\n");
  std::printf("%-10s %9s %11s %7s %11s %7s %11s %7s\n", "filter", "view", "Pillow", "ratio",
              "libvips", "ratio", "ImageMagick", "ratio");
  for (const Case& c : kCases) {
    auto ours = gOurSeconds.find(c.name);
    if (ours == gOurSeconds.end()) continue;
    const double pillow = PillowSeconds(c);
    const double vips = haveVips ? VipsSeconds(c) : -1;
    const double magick = MagickSeconds(c);
    auto fps = [](double s) { return s > 0 ? 1 / s : 0.0; };
    auto ratio = [&](double s) { return s > 0 ? s / ours->second : 0.0; };
    std::printf("%-10s %9.2f %11.2f %7.2f %11.2f %7.2f %11.2f %7.2f\n", c.name, 1 / ours->second,
                fps(pillow), ratio(pillow), fps(vips), ratio(vips), fps(magick), ratio(magick));
  }
  std::system(("rm -rf " + gDir).c_str());
  return 0;
}
