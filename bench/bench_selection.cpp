// Selections on big pictures, single thread, beside peers in the same run:
// - the magic wand (4-connected, each channel within the tolerance of the seed's)
//   on a 6000 x 4000 picture, beside OpenCV's floodFill with a fixed range into a
//   mask only;
// - a 10,000-point lasso closed into the mask of a 4000 x 3000 picture, beside
//   scikit-image's draw.polygon of the same points.
// The picture is smooth noise made by numpy and written once as a PNG; the peers time
// their own calls (best of three) in a Python subprocess and print seconds.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "bench/peer_timing.h"
#include "image/views/dadirav.h"

namespace {

const char* kPython = "/usr/bin/python3";
std::string gDir;
std::map<std::string, double> gPeer;

// The lasso: 10,000 points of a wavy closed curve around the picture's centre.
std::vector<TPoint> LassoPoints() {
  std::vector<TPoint> pts;
  for (int i = 0; i < 10000; ++i) {
    const double a = 2 * M_PI * i / 10000;
    const double r = 1100 + 300 * std::sin(7 * a) + 80 * std::sin(53 * a);
    pts.push_back(TPoint{static_cast<Integer>(2000 + r * std::cos(a)),
                         static_cast<Integer>(1500 + r * std::sin(a))});
  }
  return pts;
}

void Prepare() {
  char tmpl[] = "/tmp/bench_selection_XXXXXX";
  gDir = mkdtemp(tmpl);
  const std::string script = gDir + "/make.py";
  FILE* f = fopen(script.c_str(), "w");
  fprintf(f,
          "import numpy as np, time\nfrom PIL import Image\n"
          "r=np.random.default_rng(1)\n"
          "small=r.random((40,60,3))\n"
          "from scipy.ndimage import zoom\n"
          "a=zoom(small,(100,100,1),order=3)\n"
          "a=((a-a.min())/(a.max()-a.min())*255).astype(np.uint8)\n"
          "Image.fromarray(a).save('%s/wand.png',compress_level=1)\n"
          "import cv2\ncv2.setNumThreads(1)\n"
          "best=1e9\n"
          "for _ in range(3):\n"
          "  m=np.zeros((a.shape[0]+2,a.shape[1]+2),np.uint8); t=time.perf_counter()\n"
          "  cv2.floodFill(a,m,(3000,2000),0,(24,)*3,(24,)*3,4|cv2.FLOODFILL_FIXED_RANGE|cv2.FLOODFILL_MASK_ONLY|(1<<8))\n"
          "  best=min(best,time.perf_counter()-t)\n"
          "print('wand',best,int(m.sum()))\n"
          "from skimage.draw import polygon\n"
          "i=np.arange(10000); ang=2*np.pi*i/10000\n"
          "rr=1100+300*np.sin(7*ang)+80*np.sin(53*ang)\n"
          "xs=np.trunc(2000+rr*np.cos(ang)); ys=np.trunc(1500+rr*np.sin(ang))\n"
          "best=1e9\n"
          "for _ in range(1):\n"
          "  t=time.perf_counter(); p=polygon(ys,xs,(3000,4000)); best=min(best,time.perf_counter()-t)\n"
          "print('lasso',best,len(p[0]))\n",
          gDir.c_str());
  fclose(f);
  const std::string cmd = std::string("OMP_NUM_THREADS=1 ") + kPython + " " + script;
  FILE* pipe = popen(cmd.c_str(), "r");
  char name[32];
  double seconds = 0;
  long count = 0;
  while (pipe != nullptr && fscanf(pipe, "%31s %lf %ld", name, &seconds, &count) == 3) {
    gPeer[name] = seconds;
    fprintf(stderr, "peer %s: %.4f s, %ld pixels\n", name, seconds, count);
  }
  if (pipe != nullptr) pclose(pipe);
}

void SetCounters(benchmark::State& state, const std::string& name, double mpx, double best) {
  state.counters["Mpx/s"] = mpx / best;
  const auto it = gPeer.find(name);
  if (it != gPeer.end() && it->second > 0) {
    state.counters["peer_Mpx/s"] = mpx / it->second;
    state.counters["ratio"] = it->second / best;
  }
}

void BM_MagicWand(benchmark::State& state) {
  TDadirAv view(nullptr);
  view.LoadFromFile((gDir + "/wand.png").c_str());
  if (view.GetIEBitmap()->GetWidth() != 6000) {
    state.SkipWithError("no picture");
    return;
  }
  view.SelectionBase = iesbBitmap;
  view.WandMode = iewExclusive;
  view.WandTolerance = 24;
  double best = 0;
  peertiming::TimeBest(state, [&] {
    view.DeSelect();
    view.SelectMagicWand(3000, 2000);
    return !view.GetSelectionMask()->IsEmpty();
  }, "empty region", best);
  SetCounters(state, "wand", 24.0, best);
}

void BM_LassoToMask(benchmark::State& state) {
  TDadirAvView view(nullptr);
  view.GetBitmap()->SetSize(4000, 3000);
  view.GetIEBitmap()->EncapsulateTBitmap(view.GetBitmap(), false);
  view.Update();
  view.SelectionBase = iesbBitmap;
  const std::vector<TPoint> pts = LassoPoints();
  double best = 0;
  peertiming::TimeBest(state, [&] {
    view.DeSelect();
    view.LockPaint();
    for (const TPoint& p : pts) view.AddSelPointEx(p.x, p.y);
    view.NPUnLockPaint();
    view.EndSelect();
    return !view.GetSelectionMask()->IsEmpty();
  }, "empty mask", best);
  SetCounters(state, "lasso", 12.0, best);
}

}  // namespace

int main(int argc, char** argv) {
  Prepare();
  benchmark::RegisterBenchmark("MagicWand/24Mpx", BM_MagicWand)
      ->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
  benchmark::RegisterBenchmark("LassoToMask/10000pts", BM_LassoToMask)
      ->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
  const int rc = peertiming::RunRegistered(argc, argv);
  std::system(("rm -rf " + gDir).c_str());
  return rc;
}
