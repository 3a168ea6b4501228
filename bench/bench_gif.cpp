// GIF encoding (256 colours from a 24-bit photograph-like picture) and decoding of a
// 4000 x 3000 picture with our codec, beside Pillow (Debian's /usr/bin/python3 with
// python3-pil) in the same run. Both sides work in memory; Pillow's encoder makes its
// own adaptive palette. The file both decode is the one ours wrote. Pillow runs once
// per case as a subprocess that times only its own loop (best of three).
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
#include "image/formats/giffilter.h"
#include "image/formats/giflzw.h"
#include "image/model/iebitmap.h"
#include "platform/rtl/Streams.h"

namespace {

constexpr int kWidth = 4000;
constexpr int kHeight = 3000;

enum class Op { Decode, Encode };
struct Case {
  const char* name;
  Op op;
};
const Case kCases[] = {{"GIF/decode", Op::Decode}, {"GIF/encode", Op::Encode}};

std::string gDir;
std::unique_ptr<TIEBitmap> gSource;
std::map<std::string, double> gOurSeconds;
std::map<std::string, double> gPillowSeconds;
bool gFailed = false;

// Smooth gradients and waves with fine grain: many distinct colours, as a photograph.
void MakeSource() {
  gSource = std::make_unique<TIEBitmap>();
  gSource->SetLocation(ieMemory);
  gSource->Allocate(kWidth, kHeight, ie24RGB);
  uint32_t seed = 777;
  for (int y = 0; y < kHeight; ++y) {
    Byte* row = static_cast<Byte*>(gSource->GetScanLine(y));
    for (int x = 0; x < kWidth; ++x) {
      seed = seed * 1103515245u + 12345u;
      const int grain = static_cast<int>((seed >> 16) % 7) - 3;
      const double base = 128 + 50 * std::sin(x / 290.0) + 45 * std::cos(y / 230.0) + 10 * std::sin((x + y) / 37.0);
      const double v[3] = {base * 0.7 + 40 * std::sin(y / 500.0), base, 255 - base * 0.9};
      for (int c = 0; c < 3; ++c) {
        const int value = static_cast<int>(v[c]) + grain;
        row[x * 3 + c] = static_cast<Byte>(value < 0 ? 0 : (value > 255 ? 255 : value));
      }
    }
  }
}

bool Encode(TIEBitmap* bitmap, TMemoryStream& stream) {
  stream.Clear();
  TIOParamsVals params(nullptr);
  params.BitsPerSample = 8;
  params.SamplesPerPixel = 1;
  bool aborting = false;
  TProgressRec progress;
  progress.Aborting = &aborting;
  WriteGifStream(&stream, bitmap, params, progress);
  return !aborting;
}

bool Decode(TMemoryStream& stream, TIEBitmap* bitmap) {
  stream.SetPosition(0);
  TIOParamsVals params(nullptr);
  bool aborting = false;
  TProgressRec progress;
  progress.Aborting = &aborting;
  Integer count = 0;
  std::unique_ptr<TIEMask> mask;
  ReadGifStream(&stream, bitmap, count, params, progress, false, mask, false);
  return !aborting && bitmap->GetWidth() == kWidth && bitmap->GetHeight() == kHeight;
}

std::string GifPath() { return gDir + "/source.gif"; }
std::string PngPath() { return gDir + "/source.png"; }

void WritePillowScript() {
  std::ofstream py(gDir + "/pillow.py");
  py << "import io, sys, time\n"
        "from PIL import Image\n"
        "gif, png, op = sys.argv[1], sys.argv[2], sys.argv[3]\n"
        "data = open(gif, 'rb').read()\n"
        "im = Image.open(png); im.load()\n"
        "assert im.size == (" << kWidth << ", " << kHeight << ") and im.mode == 'RGB'\n"
        "best = None\n"
        "for _ in range(3):\n"
        "    t = time.perf_counter()\n"
        "    if op == 'decode':\n"
        "        r = Image.open(io.BytesIO(data)); r.load()\n"
        "    else:\n"
        "        out = io.BytesIO()\n"
        "        im.save(out, 'GIF')\n"
        "    t = time.perf_counter() - t\n"
        "    best = t if best is None else min(best, t)\n"
        "print(best)\n";
}

double RunPillow(const Case& c) {
  std::ostringstream cmd;
  cmd << "/usr/bin/python3 " << gDir << "/pillow.py " << GifPath() << " " << PngPath() << " "
      << (c.op == Op::Decode ? "decode" : "encode");
  std::string line;
  if (!peertiming::FirstLineOf(cmd.str(), line)) return -1;
  return std::strtod(line.c_str(), nullptr);
}

// The source as a binary PPM, which Pillow converts to PNG for its encoder's input.
bool WriteSourcePpm(const std::string& path) {
  std::ofstream out(path, std::ios::binary);
  out << "P6\n" << kWidth << " " << kHeight << "\n255\n";
  for (int y = 0; y < kHeight; ++y) {
    const Byte* row = static_cast<const Byte*>(gSource->GetScanLine(y));
    for (int x = 0; x < kWidth; ++x) {
      const char rgb[3] = {static_cast<char>(row[x * 3 + 2]), static_cast<char>(row[x * 3 + 1]),
                           static_cast<char>(row[x * 3])};
      out.write(rgb, 3);
    }
  }
  return static_cast<bool>(out);
}

void BM_Gif(benchmark::State& state, const Case& c) {
  TMemoryStream stream;
  if (c.op == Op::Decode) stream.LoadFromFile(GifPath().c_str());
  auto bitmap = std::make_unique<TIEBitmap>();
  bitmap->SetLocation(ieMemory);
  const auto run = [&] { return c.op == Op::Decode ? Decode(stream, bitmap.get()) : Encode(gSource.get(), stream); };
  double best = 0;
  if (!peertiming::TimeBest(state, run, "codec aborted", best)) {
    gFailed = true;
    return;
  }
  gOurSeconds[c.name] = best;
  peertiming::SetRateCounters(state, static_cast<double>(kWidth) * kHeight / 1e6, best, gPillowSeconds, c.name);
}

}  // namespace

int main(int argc, char** argv) {
  // The library's own coders, as the program installs them.
  DefGIF_LZWDECOMPFUNC = GIFLZWDecompress;
  DefGIF_LZWCOMPFUNC = GIFLZWCompress;
  char pattern[] = "/tmp/bench_gif.XXXXXX";
  if (mkdtemp(pattern) == nullptr) return 1;
  gDir = pattern;
  MakeSource();
  {
    TMemoryStream stream;
    if (!Encode(gSource.get(), stream)) {
      std::fprintf(stderr, "could not write the GIF source file\n");
      return 1;
    }
    stream.SaveToFile(GifPath().c_str());
  }
  const std::string ppm = gDir + "/source.ppm";
  const std::string convert = "/usr/bin/python3 -c \"from PIL import Image; Image.open('" + ppm + "').save('" +
                              PngPath() + "')\"";
  WritePillowScript();
  if (WriteSourcePpm(ppm) && std::system(convert.c_str()) == 0)
    for (const Case& c : kCases) gPillowSeconds[c.name] = RunPillow(c);

  for (const Case& c : kCases) peertiming::RegisterCase(std::string("Codec/") + c.name, BM_Gif, c);
  if (peertiming::RunRegistered(argc, argv) != 0) return 1;

  const double mpx = static_cast<double>(kWidth) * kHeight / 1e6;
  std::printf("\n%-12s %12s %12s %14s\n", "case", "ours Mpx/s", "Pillow Mpx/s", "ratio ours/Pil");
  for (const Case& c : kCases) {
    auto ours = gOurSeconds.find(c.name);
    if (ours == gOurSeconds.end()) continue;
    const double theirs = gPillowSeconds.count(c.name) ? gPillowSeconds[c.name] : -1;
    if (theirs <= 0) {
      std::printf("%-12s %12.1f  Pillow did not run (is python3-pil installed?)\n", c.name, mpx / ours->second);
      continue;
    }
    std::printf("%-12s %12.1f %12.1f %14.2f\n", c.name, mpx / ours->second, mpx / theirs, theirs / ours->second);
  }
  for (const std::string& f : {GifPath(), PngPath(), ppm, gDir + "/pillow.py"}) std::remove(f.c_str());
  rmdir(gDir.c_str());
  return gFailed ? 1 : 0;
}
