// Decoding a 6000 x 4000 photograph-like JPEG with our reader, at full size and
// scaled to 1/8, beside Pillow (Debian's /usr/bin/python3 with python3-pil) in the
// same run. The picture is made at run time and written once with our writer
// (quality 85, 4:2:0); both sides decode the same file from memory. Pillow runs
// once per case as a subprocess that times only its own loop (best of three) and
// prints the seconds; its 1/8 case asks the library for the same DCT scaling
// through Image.draft.
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
#include "image/formats/jpegfilt.h"
#include "image/model/iebitmap.h"
#include "platform/rtl/Streams.h"

namespace {

constexpr int kWidth = 6000;
constexpr int kHeight = 4000;
constexpr int kQuality = 85;

struct Case {
  const char* name;
  TIOJPEGScale scale;
  int denominator;
};

const Case kCases[] = {
    {"decode", ioJPEG_FULLSIZE, 1},
    {"decode_1_8", ioJPEG_EIGHTH, 8},
};

std::string gDir;
std::map<std::string, double> gOurSeconds;
std::map<std::string, double> gPillowSeconds;
bool gFailed = false;

std::string FilePath() { return gDir + "/source.jpg"; }

// Smooth gradients and waves of several sizes with fine grain, so that the JPEG
// holds about as much detail as a photograph. Deterministic.
std::unique_ptr<TIEBitmap> MakeSource() {
  auto bmp = std::make_unique<TIEBitmap>();
  bmp->SetLocation(ieMemory);
  bmp->Allocate(kWidth, kHeight, ie24RGB);
  std::vector<int> wx(kWidth), wy(kHeight);
  for (int x = 0; x < kWidth; ++x)
    wx[static_cast<size_t>(x)] =
        static_cast<int>(40 * std::sin(x / 310.0) + 18 * std::sin(x / 47.0) + 6 * std::sin(x / 5.3));
  for (int y = 0; y < kHeight; ++y)
    wy[static_cast<size_t>(y)] =
        static_cast<int>(45 * std::cos(y / 270.0) + 15 * std::sin(y / 39.0) + 5 * std::cos(y / 4.1));
  uint32_t seed = 12345;
  for (int y = 0; y < kHeight; ++y) {
    Byte* row = static_cast<Byte*>(bmp->GetScanLine(y));
    for (int x = 0; x < kWidth; ++x) {
      seed = seed * 1103515245u + 12345u;
      const int grain = static_cast<int>((seed >> 16) % 9) - 4;
      const int base = 128 + wx[static_cast<size_t>(x)] + wy[static_cast<size_t>(y)] + grain;
      const int v[3] = {base * 4 / 5 + ((x + y) >> 6) % 30, base, base * 11 / 10 - ((x - y + 8000) >> 7) % 25};
      for (int c = 0; c < 3; ++c) row[x * 3 + c] = static_cast<Byte>(v[c] < 0 ? 0 : (v[c] > 255 ? 255 : v[c]));
    }
  }
  return bmp;
}

bool Decode(TMemoryStream& stream, TIEBitmap* bitmap, const Case& c) {
  stream.SetPosition(0);
  TIOParamsVals params(nullptr);
  params.JPEG_Scale = c.scale;
  bool aborting = false;
  TProgressRec progress;
  progress.Aborting = &aborting;
  ReadJPegStream(&stream, nullptr, bitmap, params, progress, false, false);
  return !aborting && bitmap->GetWidth() == kWidth / c.denominator &&
         bitmap->GetHeight() == kHeight / c.denominator;
}

void WritePillowScript() {
  std::ofstream py(gDir + "/pillow.py");
  py << "import io, sys, time\n"
        "from PIL import Image\n"
        "path, denominator = sys.argv[1], int(sys.argv[2])\n"
        "data = open(path, 'rb').read()\n"
        "def decode():\n"
        "    im = Image.open(io.BytesIO(data))\n"
        "    if denominator > 1:\n"
        "        im.draft('RGB', (im.size[0] // denominator, im.size[1] // denominator))\n"
        "    im.load()\n"
        "    return im\n"
        "im = decode()\n"
        "assert im.size == (" << kWidth << " // denominator, " << kHeight << " // denominator), im.size\n"
        "assert im.mode == 'RGB'\n"
        "best = None\n"
        "for _ in range(3):\n"
        "    t = time.perf_counter()\n"
        "    decode()\n"
        "    t = time.perf_counter() - t\n"
        "    best = t if best is None else min(best, t)\n"
        "print(best)\n";
}

// Pillow's best time of three, in seconds; negative when it cannot run.
double RunPillow(const Case& c) {
  std::ostringstream cmd;
  cmd << "/usr/bin/python3 " << gDir << "/pillow.py " << FilePath() << " " << c.denominator;
  std::string line;
  if (!peertiming::FirstLineOf(cmd.str(), line)) return -1;
  return std::strtod(line.c_str(), nullptr);
}

// Our best time of the iterations; Mpx/s of the file decoded (the full picture in
// both cases) for us and for Pillow, and their ratio, go in the counters.
void BM_Decode(benchmark::State& state, const Case& c) {
  TMemoryStream stream;
  stream.LoadFromFile(FilePath().c_str());
  auto bitmap = std::make_unique<TIEBitmap>();
  bitmap->SetLocation(ieMemory);
  double best = 0;
  if (!peertiming::TimeBest(state, [&] { return Decode(stream, bitmap.get(), c); }, "reader aborted", best)) {
    gFailed = true;
    return;
  }
  gOurSeconds[c.name] = best;
  const double mpx = static_cast<double>(kWidth) * kHeight / 1e6;
  peertiming::SetRateCounters(state, mpx, best, gPillowSeconds, c.name);
}

}  // namespace

int main(int argc, char** argv) {
  char pattern[] = "/tmp/bench_jpeg.XXXXXX";
  if (mkdtemp(pattern) == nullptr) return 1;
  gDir = pattern;
  {
    auto source = MakeSource();
    TMemoryStream stream;
    TIOParamsVals params(nullptr);
    params.JPEG_Quality = kQuality;
    bool aborting = false;
    TProgressRec progress;
    progress.Aborting = &aborting;
    WriteJPegStream(&stream, source.get(), params, progress);
    if (aborting) {
      std::fprintf(stderr, "could not write the JPEG source file\n");
      return 1;
    }
    stream.SaveToFile(FilePath().c_str());
    std::printf("source: %d x %d, %lld bytes\n", kWidth, kHeight, static_cast<long long>(stream.GetSize()));
  }
  WritePillowScript();
  for (const Case& c : kCases) gPillowSeconds[c.name] = RunPillow(c);

  for (const Case& c : kCases) peertiming::RegisterCase(std::string("JPEG/") + c.name, BM_Decode, c);
  if (peertiming::RunRegistered(argc, argv) != 0) return 1;

  const double mpx = static_cast<double>(kWidth) * kHeight / 1e6;
  std::printf("\n%-12s %12s %12s %14s\n", "case", "ours Mpx/s", "Pillow Mpx/s", "ratio ours/Pil");
  for (const Case& c : kCases) {
    auto ours = gOurSeconds.find(c.name);
    if (ours == gOurSeconds.end()) continue;
    const double theirs = gPillowSeconds[c.name];
    if (theirs <= 0) {
      std::printf("%-12s %12.1f  Pillow did not run (is python3-pil installed?)\n", c.name, mpx / ours->second);
      continue;
    }
    std::printf("%-12s %12.1f %12.1f %14.2f\n", c.name, mpx / ours->second, mpx / theirs, theirs / ours->second);
  }
  std::remove(FilePath().c_str());
  std::remove((gDir + "/pillow.py").c_str());
  rmdir(gDir.c_str());
  return gFailed ? 1 : 0;
}
