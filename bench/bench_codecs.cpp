// Decoding and encoding a 4000 x 3000 photograph-like 24-bit picture as BMP and PNG
// with our codecs, beside Pillow (Debian's /usr/bin/python3 with python3-pil) in the
// same run. The picture is written once per format to a temp file that both sides
// decode; both decode from and encode to memory. Pillow runs once per case as a
// subprocess that times only its own loop (best of three) and prints the seconds.
// PNG is written at zlib level 6 on both sides; ours uses the Paeth filter, Pillow
// chooses filters adaptively per row (it offers no fixed filter choice).
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
#include "image/formats/bmpfilt.h"
#include "image/formats/pngfilt.h"
#include "image/formats/pngfiltw.h"
#include "image/model/iebitmap.h"
#include "platform/rtl/Streams.h"

namespace {

constexpr int kWidth = 4000;
constexpr int kHeight = 3000;
constexpr int kPngLevel = 6;

enum class Format { Bmp, Png };
enum class Op { Decode, Encode };

struct Case {
  const char* name;
  Format format;
  Op op;
};

const Case kCases[] = {
    {"BMP/decode", Format::Bmp, Op::Decode},
    {"BMP/encode", Format::Bmp, Op::Encode},
    {"PNG/decode", Format::Png, Op::Decode},
    {"PNG/encode", Format::Png, Op::Encode},
};

std::string gDir;
std::unique_ptr<TIEBitmap> gSource;
std::map<std::string, double> gOurSeconds;
std::map<std::string, Int64> gOurBytes;  // encoded size per encode case
std::map<std::string, double> gPillowSeconds;
std::map<std::string, long> gPillowBytes;
bool gFailed = false;

// Smooth gradients and waves of several sizes with fine grain, so PNG compresses it
// like a photograph. Deterministic.
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
      const int grain = static_cast<int>((seed >> 16) % 9) - 4;
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

void SetParams(TIOParamsVals& params, Format format) {
  params.BitsPerSample = 8;
  params.SamplesPerPixel = 3;
  if (format == Format::Png) {
    params.PNG_Compression = kPngLevel;
    params.PNG_Filter = ioPNG_FILTER_PAETH;
  }
}

// Encodes bitmap into stream (emptied first); false when the codec aborted.
bool Encode(Format format, TIEBitmap* bitmap, TMemoryStream& stream) {
  stream.Clear();
  TIOParamsVals params(nullptr);
  SetParams(params, format);
  bool aborting = false;
  TProgressRec progress;
  progress.Aborting = &aborting;
  if (format == Format::Bmp)
    BMPWriteStream(&stream, bitmap, params, progress);
  else
    WritePNGStream(&stream, bitmap, params, progress, nullptr);
  return !aborting;
}

// Decodes stream from its start into bitmap; false when the codec aborted.
bool Decode(Format format, TMemoryStream& stream, TIEBitmap* bitmap) {
  stream.SetPosition(0);
  TIOParamsVals params(nullptr);
  bool aborting = false;
  TProgressRec progress;
  progress.Aborting = &aborting;
  if (format == Format::Bmp) {
    BMPReadStream(&stream, bitmap, stream.GetSize(), params, progress, false);
  } else {
    std::unique_ptr<TIEMask> mask;
    ReadPNGStream(&stream, bitmap, params, progress, false, mask, true);
  }
  return !aborting && bitmap->GetWidth() == kWidth && bitmap->GetHeight() == kHeight;
}

std::string FilePath(Format format) { return gDir + (format == Format::Bmp ? "/source.bmp" : "/source.png"); }

void WritePillowScript() {
  std::ofstream py(gDir + "/pillow.py");
  py << "import io, sys, time\n"
        "from PIL import Image\n"
        "path, fmt, op, level = sys.argv[1], sys.argv[2], sys.argv[3], int(sys.argv[4])\n"
        "data = open(path, 'rb').read()\n"
        "im = Image.open(io.BytesIO(data)); im.load()\n"
        "assert im.size == (" << kWidth << ", " << kHeight << ") and im.mode == 'RGB'\n"
        "best = None\n"
        "size = 0\n"
        "for _ in range(3):\n"
        "    t = time.perf_counter()\n"
        "    if op == 'decode':\n"
        "        r = Image.open(io.BytesIO(data)); r.load()\n"
        "    else:\n"
        "        out = io.BytesIO()\n"
        "        if fmt == 'PNG':\n"
        "            im.save(out, 'PNG', compress_level=level)\n"
        "        else:\n"
        "            im.save(out, 'BMP')\n"
        "        size = out.tell()\n"
        "    t = time.perf_counter() - t\n"
        "    best = t if best is None else min(best, t)\n"
        "print(best, size)\n";
}

// Pillow's best time of three, in seconds (negative when it cannot run), and the
// size of its encoded file for encode cases.
double RunPillow(const Case& c, long& bytes) {
  std::ostringstream cmd;
  cmd << "/usr/bin/python3 " << gDir << "/pillow.py " << FilePath(c.format) << " "
      << (c.format == Format::Bmp ? "BMP" : "PNG") << " " << (c.op == Op::Decode ? "decode" : "encode")
      << " " << kPngLevel;
  std::string line;
  if (!peertiming::FirstLineOf(cmd.str(), line)) return -1;
  char* end = nullptr;
  const double seconds = std::strtod(line.c_str(), &end);
  bytes = std::strtol(end, nullptr, 10);
  return seconds;
}

// Our best time of the iterations; Mpx/s for us and for Pillow (measured before the
// benchmarks run) and their ratio go in the counters.
void BM_Codec(benchmark::State& state, const Case& c) {
  TMemoryStream stream;
  if (c.op == Op::Decode) stream.LoadFromFile(FilePath(c.format).c_str());
  auto bitmap = std::make_unique<TIEBitmap>();
  bitmap->SetLocation(ieMemory);
  const auto run = [&] {
    return c.op == Op::Decode ? Decode(c.format, stream, bitmap.get())
                              : Encode(c.format, gSource.get(), stream);
  };
  double best = 0;
  if (!peertiming::TimeBest(state, run, "codec aborted", best)) {
    gFailed = true;
    return;
  }
  if (c.op == Op::Encode) gOurBytes[c.name] = stream.GetSize();
  gOurSeconds[c.name] = best;
  const double mpx = static_cast<double>(kWidth) * kHeight / 1e6;
  peertiming::SetRateCounters(state, mpx, best, gPillowSeconds, c.name);
}

}  // namespace

int main(int argc, char** argv) {
  char pattern[] = "/tmp/bench_codecs.XXXXXX";
  if (mkdtemp(pattern) == nullptr) return 1;
  gDir = pattern;
  MakeSource();
  for (Format format : {Format::Bmp, Format::Png}) {
    TMemoryStream stream;
    if (!Encode(format, gSource.get(), stream)) {
      std::fprintf(stderr, "could not write the %s source file\n", format == Format::Bmp ? "BMP" : "PNG");
      return 1;
    }
    stream.SaveToFile(FilePath(format).c_str());
  }
  WritePillowScript();
  for (const Case& c : kCases) {
    long bytes = 0;
    gPillowSeconds[c.name] = RunPillow(c, bytes);
    gPillowBytes[c.name] = bytes;
  }

  for (const Case& c : kCases) peertiming::RegisterCase(std::string("Codec/") + c.name, BM_Codec, c);
  if (peertiming::RunRegistered(argc, argv) != 0) return 1;

  const double mpx = static_cast<double>(kWidth) * kHeight / 1e6;
  std::printf("\n%-12s %12s %12s %14s %12s %12s\n", "case", "ours Mpx/s", "Pillow Mpx/s",
              "ratio ours/Pil", "ours bytes", "Pillow bytes");
  for (const Case& c : kCases) {
    auto ours = gOurSeconds.find(c.name);
    if (ours == gOurSeconds.end()) continue;
    const long theirBytes = gPillowBytes[c.name];
    const double theirs = gPillowSeconds[c.name];
    if (theirs <= 0) {
      std::printf("%-12s %12.1f  Pillow did not run (is python3-pil installed?)\n", c.name,
                  mpx / ours->second);
      continue;
    }
    const double oursRate = mpx / ours->second, theirRate = mpx / theirs;
    if (c.op == Op::Encode)
      std::printf("%-12s %12.1f %12.1f %14.2f %12lld %12ld\n", c.name, oursRate, theirRate,
                  oursRate / theirRate, static_cast<long long>(gOurBytes[c.name]), theirBytes);
    else
      std::printf("%-12s %12.1f %12.1f %14.2f\n", c.name, oursRate, theirRate, oursRate / theirRate);
  }
  std::remove(FilePath(Format::Bmp).c_str());
  std::remove(FilePath(Format::Png).c_str());
  std::remove((gDir + "/pillow.py").c_str());
  rmdir(gDir.c_str());
  return gFailed ? 1 : 0;
}
