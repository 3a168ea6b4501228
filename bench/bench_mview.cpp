// The thumbnail grid filling with a folder of camera-sized JPEGs: the time from
// adding N file names until every thumbnail is loaded and the grid painted, with a
// load pool of 1 and of 5, beside vipsthumbnail over the same files with one thread
// and with its default, and beside Pillow's draft + thumbnail in one loop. Then
// frames per second scrolling the loaded grid end to end, and the resident memory
// beside the size of the grid's mapped file.
//
// The JPEGs are made at the start by Pillow from a 4000 x 3000 photograph
// (ImageMagick's rose under a fractal sky) at qualities 70 to 95. N comes from
// LARK_BENCH_MVIEW_COUNT (default 40, which runs in well under a minute; the figure
// a person feels is N = 1000).
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>

#include "bench/peer_timing.h"
#include "image/views/iemview.h"
#include "platform/vcl/Application.h"
#include "platform/vcl/Forms.h"

namespace {

std::string gDir;
int gCount = 40;
double gOurs[2] = {0, 0};  // pool 1, pool 5
UInt64 gMappedBytes = 0;
long gResidentKb = 0;

long ResidentKb() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
  return 0;
}

double Seconds(const std::string& command) {
  const auto t0 = std::chrono::steady_clock::now();
  if (std::system(command.c_str()) != 0) return -1;
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

struct GridForm {
  GridForm() {
    form = std::make_unique<TForm>(nullptr);
    form->SetBounds(0, 0, 1040, 800);
    view = new TDadirAvMView(form.get());
    view->SetParent(form.get());
    view->SetBorderStyle(TBorderStyle::bsNone);
    view->SetScrollBars(TScrollStyle::ssNone);
    view->SetBounds(0, 0, 1000, 740);
    view->SetGridWidth(-1);
    view->StoreType = ietThumb;
    form->Show();
    Application->ProcessMessages();
  }
  std::unique_ptr<TForm> form;
  TDadirAvMView* view;
};

// Adds the names and pages through the grid until every image is loaded.
bool LoadAll(TDadirAvMView* view) {
  for (int i = 0; i < gCount; ++i) {
    char name[64];
    std::snprintf(name, sizeof name, "/cam%04d.jpg", i);
    view->SetImageFileName(view->AppendImage(), (gDir + name).c_str());
  }
  view->Deselect();
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(10);
  for (Integer y = 0;; y += view->GetClientHeight()) {
    view->SetViewY(y);
    for (;;) {
      view->Invalidate();
      Application->ProcessMessages();
      bool done = true;
      for (Integer i = 0; i < view->GetImageCount() && done; ++i)
        if (view->IsVisible(i) && !view->IsImageLoaded(i)) done = false;
      if (done) break;
      if (std::chrono::steady_clock::now() > deadline) return false;
      usleep(1000);
    }
    if (y >= view->GetMaximumViewY()) break;
  }
  return true;
}

void BM_LoadFolder(benchmark::State& state) {
  const int pool = static_cast<int>(state.range(0));
  double best = 0;
  peertiming::TimeBest(
      state,
      [&] {
        GridForm g;
        g.view->SetThreadPoolSize(pool);
        const bool ok = LoadAll(g.view);
        gMappedBytes = g.view->GetImageStore()->GetFileSize();
        gResidentKb = ResidentKb();
        return ok;
      },
      "the grid did not load", best);
  gOurs[pool == 1 ? 0 : 1] = best;
  state.counters["images/s"] = best > 0 ? gCount / best : 0;
}

void BM_ScrollLoaded(benchmark::State& state) {
  GridForm g;
  g.view->SetThreadPoolSize(5);
  if (!LoadAll(g.view)) {
    state.SkipWithError("the grid did not load");
    return;
  }
  double best = 0;
  Integer frames = 0;
  peertiming::TimeBest(
      state,
      [&] {
        frames = 0;
        for (Integer y = 0; y <= g.view->GetMaximumViewY(); y += 40) {
          g.view->SetViewY(y);
          g.view->Invalidate();  // a frame is painted even where nothing moved
          Application->ProcessMessages();
          ++frames;
        }
        return frames > 0;
      },
      "nothing to scroll", best);
  state.counters["fps"] = best > 0 ? frames / best : 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (const char* n = std::getenv("LARK_BENCH_MVIEW_COUNT")) gCount = std::max(1, std::atoi(n));
  char pattern[] = "/tmp/bench_mview.XXXXXX";
  if (mkdtemp(pattern) == nullptr) return 1;
  gDir = pattern;
  const std::string make =
      "convert-im6.q16 rose: -resize 4000x3000! \\( -seed 7 -size 4000x3000 plasma:fractal \\) "
      "-compose blend -define compose:args=35 -composite -type TrueColor " + gDir + "/photo.png && "
      "/usr/bin/python3 -c \"from PIL import Image\nim = Image.open('" + gDir + "/photo.png').convert('RGB')\n"
      "for i in range(" + std::to_string(gCount) + "):\n"
      "    im.save('" + gDir + "/cam%04d.jpg' % i, quality=70 + i % 26)\"";
  if (std::system(make.c_str()) != 0) {
    std::printf("the JPEGs could not be made\n");
    return 1;
  }
  benchmark::RegisterBenchmark("LoadFolder/pool", BM_LoadFolder)->Arg(1)->Arg(5)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("ScrollLoaded", BM_ScrollLoaded)->Iterations(3)->UseRealTime()->Unit(benchmark::kMillisecond);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();

  const std::string files = gDir + "/cam*.jpg";
  const std::string out = " -s 100x100 -o " + gDir + "/vips/%s.png";
  std::system(("mkdir -p " + gDir + "/vips").c_str());
  const double vips1 = Seconds("VIPS_CONCURRENCY=1 vipsthumbnail " + files + out + " 2>/dev/null");
  const double vipsN = Seconds("vipsthumbnail " + files + out + " 2>/dev/null");
  const double pillow = Seconds("/usr/bin/python3 -c \"import glob\nfrom PIL import Image\n"
                                "for f in glob.glob('" + gDir + "/cam*.jpg'):\n"
                                "    im = Image.open(f); im.draft('RGB', (100, 100)); im.thumbnail((100, 100))\"");
  std::printf("\n%d JPEGs of 4000 x 3000, thumbnails of 100 x 100\n", gCount);
  std::printf("%-28s %10s %22s\n", "", "seconds", "grid time / this time");
  auto row = [](const char* name, double s, double ours) {
    std::printf("%-28s %10.3f %22.2f\n", name, s, s > 0 && ours > 0 ? ours / s : 0.0);
  };
  row("grid, pool 1", gOurs[0], gOurs[0]);
  row("grid, pool 5", gOurs[1], gOurs[1]);
  row("vipsthumbnail, 1 thread", vips1, gOurs[0]);
  row("vipsthumbnail, default", vipsN, gOurs[1]);
  row("Pillow draft + thumbnail", pillow, gOurs[0]);
  std::printf("resident memory %ld KB beside the mapped file's %llu KB\n", gResidentKb,
              static_cast<unsigned long long>(gMappedBytes / 1024));
  std::system(("rm -rf " + gDir).c_str());
  return 0;
}
