// Resampling a 6000 x 4000 photograph-like picture to 50% and to 300 x 200 with
// rfFastLinear, rfBilinear, rfBicubic and rfLanczos3, single-threaded, beside Pillow
// (Debian's /usr/bin/python3 with python3-pil) in the same run. Pillow runs once per
// case as a subprocess that times only its resize (best of three) and writes its
// result, which is compared with ours by PSNR. Lanczos3 also runs beside libvips'
// command line (`vips resize`, VIPS_CONCURRENCY=1, --gap 0 so that it applies the
// kernel alone rather than a box shrink first), timed by libvips itself from the
// mapped .v source to a .v result; then less libvips' own time for `vips avg` over
// the same source (reading and adding up every pixel), since ours finds its source
// in memory while libvips faults the mapped file's pages in. Rates are megapixels of source per
// second.
#include <benchmark/benchmark.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "bench/peer_timing.h"
#include "image/model/iebitmap.h"
#include "image/proc/dadiravproc.h"

namespace {

constexpr int kWidth = 6000;
constexpr int kHeight = 4000;

struct Case {
  const char* name;
  TResampleFilter filter;
  const char* pillowFilter;  // the closest Pillow filter
  int dw, dh;
};

const Case kCases[] = {
    {"FastLinear/50%", rfFastLinear, "BOX", kWidth / 2, kHeight / 2},
    {"FastLinear/300x200", rfFastLinear, "BOX", 300, 200},
    {"Bilinear/50%", rfBilinear, "BILINEAR", kWidth / 2, kHeight / 2},
    {"Bilinear/300x200", rfBilinear, "BILINEAR", 300, 200},
    {"Bicubic/50%", rfBicubic, "BICUBIC", kWidth / 2, kHeight / 2},
    {"Bicubic/300x200", rfBicubic, "BICUBIC", 300, 200},
    {"Lanczos3/50%", rfLanczos3, "LANCZOS", kWidth / 2, kHeight / 2},
    {"Lanczos3/300x200", rfLanczos3, "LANCZOS", 300, 200},
};

std::string gDir;
std::unique_ptr<TIEBitmap> gSource;
std::map<std::string, double> gOurSeconds;
std::map<std::string, std::unique_ptr<TIEBitmap>> gOurResults;

// Smooth gradients and waves of several sizes with fine grain: the spectrum of a
// photograph rather than of noise. Deterministic.
void MakeSource() {
  gSource = std::make_unique<TIEBitmap>();
  gSource->SetLocation(ieMemory);
  gSource->Allocate(kWidth, kHeight, ie24RGB);
  std::vector<double> wx(kWidth), wy(kHeight);
  for (int x = 0; x < kWidth; ++x)
    wx[static_cast<size_t>(x)] = 40 * std::sin(x / 310.0) + 18 * std::sin(x / 47.0) + 6 * std::sin(x / 5.3);
  for (int y = 0; y < kHeight; ++y)
    wy[static_cast<size_t>(y)] = 45 * std::cos(y / 270.0) + 15 * std::sin(y / 39.0) + 5 * std::cos(y / 4.1);
  uint32_t seed = 12345;
  for (int y = 0; y < kHeight; ++y) {
    Byte* row = static_cast<Byte*>(gSource->GetScanLine(y));
    for (int x = 0; x < kWidth; ++x) {
      seed = seed * 1103515245u + 12345u;
      const int grain = static_cast<int>((seed >> 16) % 13) - 6;
      const double base = 128 + wx[static_cast<size_t>(x)] + wy[static_cast<size_t>(y)];
      const double v[3] = {base * 0.8 + 30 * std::sin((x + y) / 900.0), base,
                           base * 1.1 - 25 * std::cos((x - y) / 700.0)};
      for (int c = 0; c < 3; ++c) {
        const int value = static_cast<int>(v[c]) + grain;
        row[x * 3 + c] = static_cast<Byte>(value < 0 ? 0 : (value > 255 ? 255 : value));
      }
    }
  }
}

// Binary PPM (P6, RGB) of a 24-bit store.
void WritePPM(TIEBitmap& b, const std::string& path) {
  std::ofstream out(path, std::ios::binary);
  out << "P6\n" << b.GetWidth() << " " << b.GetHeight() << "\n255\n";
  std::vector<char> line(static_cast<size_t>(b.GetWidth()) * 3);
  for (int y = 0; y < b.GetHeight(); ++y) {
    const Byte* row = static_cast<const Byte*>(b.GetScanLine(y));
    for (int x = 0; x < b.GetWidth(); ++x) {
      line[static_cast<size_t>(x) * 3] = static_cast<char>(row[x * 3 + 2]);
      line[static_cast<size_t>(x) * 3 + 1] = static_cast<char>(row[x * 3 + 1]);
      line[static_cast<size_t>(x) * 3 + 2] = static_cast<char>(row[x * 3]);
    }
    out.write(line.data(), static_cast<std::streamsize>(line.size()));
  }
}

// The RGB bytes of a P6 file with maxval 255; empty when it is not one.
std::vector<Byte> ReadPPM(const std::string& path, int& w, int& h) {
  std::ifstream in(path, std::ios::binary);
  std::string magic;
  int maxval = 0;
  in >> magic >> w >> h >> maxval;
  in.get();
  if (magic != "P6" || maxval != 255 || w <= 0 || h <= 0 || w > 100000 || h > 100000) return {};
  std::vector<Byte> data(static_cast<size_t>(w) * static_cast<size_t>(h) * 3);
  in.read(reinterpret_cast<char*>(data.data()), static_cast<std::streamsize>(data.size()));
  if (!in) return {};
  return data;
}

double PSNR(TIEBitmap& ours, const std::vector<Byte>& theirs) {
  double sum = 0;
  const int w = ours.GetWidth();
  for (int y = 0; y < ours.GetHeight(); ++y) {
    const Byte* row = static_cast<const Byte*>(ours.GetScanLine(y));
    const Byte* rgb = theirs.data() + static_cast<size_t>(y) * static_cast<size_t>(w) * 3;
    for (int x = 0; x < w; ++x)
      for (int c = 0; c < 3; ++c) {
        const double d = static_cast<double>(row[x * 3 + c]) - rgb[x * 3 + (2 - c)];
        sum += d * d;
      }
  }
  const double mse = sum / (static_cast<double>(w) * ours.GetHeight() * 3);
  return mse == 0 ? INFINITY : 10 * std::log10(255.0 * 255.0 / mse);
}

void BM_Resample(benchmark::State& state, const Case& c) {
  auto dest = std::make_unique<TIEBitmap>();
  dest->SetLocation(ieMemory);
  dest->Allocate(c.dw, c.dh, ie24RGB);
  for (auto _ : state) {
    _ResampleEx(gSource.get(), dest.get(), c.filter);
    benchmark::ClobberMemory();
  }
  state.counters["src_Mpx/s"] = benchmark::Counter(
      static_cast<double>(kWidth) * kHeight * static_cast<double>(state.iterations()) / 1e6,
      benchmark::Counter::kIsRate);
  gOurResults[c.name] = std::move(dest);
}

// Keeps the best real time of each case, in seconds.
class TimeReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.run_type != Run::RT_Iteration) continue;
      const double seconds = run.GetAdjustedRealTime() / 1e3;  // reported in ms
      std::string name = run.benchmark_name();
      name = name.substr(name.find('/') + 1);
      name = name.substr(0, name.rfind("/iterations"));
      auto it = gOurSeconds.find(name);
      if (it == gOurSeconds.end() || seconds < it->second) gOurSeconds[name] = seconds;
    }
    ConsoleReporter::ReportRuns(runs);
  }
};

// Pillow's best time of three resizes, in seconds; negative when it cannot run.
double RunPillow(const Case& c, const std::string& out) {
  const std::string script = gDir + "/pillow.py";
  std::ostringstream cmd;
  cmd << "/usr/bin/python3 " << script << " " << gDir << "/source.ppm " << out << " " << c.dw << " "
      << c.dh << " " << c.pillowFilter;
  FILE* pipe = popen(cmd.str().c_str(), "r");
  if (pipe == nullptr) return -1;
  char buf[128] = {};
  const bool got = fgets(buf, sizeof buf, pipe) != nullptr;
  if (pclose(pipe) != 0 || !got) return -1;
  return std::atof(buf);
}

// libvips' own time ("done in ...s" with --vips-progress) of a command, in seconds;
// negative when it cannot run.
double VipsOwnTime(const std::string& args) {
  std::string line;
  const std::string cmd = "VIPS_CONCURRENCY=1 vips " + args + " --vips-progress 2>&1 | grep -o 'done in [0-9.]*' | cut -c9-";
  if (!peertiming::FirstLineOf(cmd, line)) return -1;
  const double t = std::strtod(line.c_str(), nullptr);
  return t > 0 ? t : -1;
}

// libvips' Lanczos3 resize time for a case (see the head of the file), its result as
// a PPM in `out`; negative when vips cannot run. `read` gets the best time of
// `vips avg` over the same mapped source.
double RunVips(const Case& c, const std::string& out, double& read) {
  const std::string src = gDir + "/source.v";
  const std::string dst = gDir + "/vips_out.v";
  std::ostringstream resize;
  resize << "resize " << src << " " << dst << " " << static_cast<double>(c.dw) / kWidth << " --vscale "
         << static_cast<double>(c.dh) / kHeight << " --kernel lanczos3 --gap 0";
  double best = -1;
  read = -1;
  for (int i = 0; i < 3; ++i) {  // alternating, best of three each
    const double t = VipsOwnTime(resize.str());
    const double r = VipsOwnTime("avg " + src);
    if (t < 0 || r < 0) return -1;
    if (best < 0 || t < best) best = t;
    if (read < 0 || r < read) read = r;
  }
  if (std::system(("vips copy " + dst + " '" + out + "[strip]'").c_str()) != 0) return -1;
  std::remove(dst.c_str());
  return best;
}

void WritePillowScript() {
  std::ofstream py(gDir + "/pillow.py");
  py << "import sys, time\n"
        "from PIL import Image\n"
        "src, out, w, h, f = sys.argv[1], sys.argv[2], int(sys.argv[3]), int(sys.argv[4]), sys.argv[5]\n"
        "im = Image.open(src); im.load()\n"
        "flt = getattr(Image.Resampling, f)\n"
        "best = None\n"
        "for _ in range(3):\n"
        "    t = time.perf_counter(); r = im.resize((w, h), flt); t = time.perf_counter() - t\n"
        "    best = t if best is None else min(best, t)\n"
        "r.save(out)\n"
        "print(best)\n";
}

}  // namespace

int main(int argc, char** argv) {
  char pattern[] = "/tmp/bench_resample.XXXXXX";
  if (mkdtemp(pattern) == nullptr) return 1;
  gDir = pattern;
  MakeSource();
  WritePPM(*gSource, gDir + "/source.ppm");
  WritePillowScript();
  const bool haveVips =
      std::system(("vips copy " + gDir + "/source.ppm " + gDir + "/source.v >/dev/null 2>&1").c_str()) == 0;
  if (!haveVips) std::printf("libvips' command line did not run: no libvips figures\n");

  for (const Case& c : kCases)
    benchmark::RegisterBenchmark((std::string("Resample/") + c.name).c_str(), BM_Resample, c)
        ->Unit(benchmark::kMillisecond)
        ->Iterations(3)
        ->UseRealTime();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  TimeReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();

  const double mpx = static_cast<double>(kWidth) * kHeight / 1e6;
  std::printf("\n%-20s %12s %12s %8s %9s  (Pillow filter)\n", "case", "ours Mpx/s", "Pillow Mpx/s",
              "ratio", "PSNR dB");
  for (const Case& c : kCases) {
    auto ours = gOurSeconds.find(c.name);
    if (ours == gOurSeconds.end()) continue;
    const std::string out = gDir + "/pillow_" + std::to_string(&c - kCases) + ".ppm";
    const double theirs = RunPillow(c, out);
    if (theirs <= 0) {
      std::printf("%-20s %12.1f  Pillow did not run (is python3-pil installed?)\n", c.name,
                  mpx / ours->second);
      continue;
    }
    int w = 0, h = 0;
    const std::vector<Byte> rgb = ReadPPM(out, w, h);
    const double psnr = rgb.empty() || w != c.dw || h != c.dh ? NAN : PSNR(*gOurResults[c.name], rgb);
    std::printf("%-20s %12.1f %12.1f %8.2f %9.2f  (%s)\n", c.name, mpx / ours->second, mpx / theirs,
                theirs / ours->second, psnr, c.pillowFilter);
    if (c.filter == rfLanczos3) {
      const std::string vout = gDir + "/vips_" + std::to_string(&c - kCases) + ".ppm";
      double read = -1;
      const double vips = RunVips(c, vout, read);
      if (vips <= 0) {
        std::printf("%-20s   libvips did not run (is libvips-tools installed?)\n", "");
      } else {
        const std::vector<Byte> vrgb = ReadPPM(vout, w, h);
        const double vpsnr = vrgb.empty() || w != c.dw || h != c.dh ? NAN : PSNR(*gOurResults[c.name], vrgb);
        std::printf("%-20s %12s %12.1f %8.2f %9.2f  (libvips lanczos3, its own time)\n", "", "", mpx / vips,
                    vips / ours->second, vpsnr);
        // Reading the mapped source faults its pages in, which ours finds in memory.
        if (vips > read)
          std::printf("%-20s %12s %12.1f %8.2f %9s  (libvips, less its time to read the source)\n", "", "",
                      mpx / (vips - read), (vips - read) / ours->second, "");
      }
      std::remove(vout.c_str());
    }
    std::remove(out.c_str());
  }
  std::remove((gDir + "/source.ppm").c_str());
  std::remove((gDir + "/source.v").c_str());
  std::remove((gDir + "/pillow.py").c_str());
  rmdir(gDir.c_str());
  return 0;
}
