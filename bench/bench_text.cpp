// Drawing 1,000 short lines of text (about 45 characters each) on a 32-bit 640 x 480
// DIB section: the built-in bitmap font, FreeType's DejaVu Sans (anti-aliased, glyphs
// from the cache after the first iteration) at 11 and 16 pixels, and the same lines
// through Pillow's ImageDraw.text (basic layout, the face fontconfig names for DejaVu
// Sans, an RGB image of the same size; its built-in bitmap font beside ours) in the
// same run. Pillow times its own loop,
// best of five. Rates are lines per second.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "bench/peer_timing.h"
#include "platform/win/Gdi.h"

namespace {

constexpr int kLines = 1000;
constexpr int kWidth = 640;
constexpr int kHeight = 480;

struct Case {
  const char* name;
  FontEngine engine;
  int pixels;  // the em
};

const Case kCases[] = {
    {"BuiltIn/11px", FontEngine::BuiltIn, 11},
    {"FreeType/11px", FontEngine::FreeType, 11},
    {"FreeType/16px", FontEngine::FreeType, 16},
};

std::vector<std::string> gText;
std::map<std::string, double> gOurSeconds;
std::map<std::string, double> gPillowSeconds;
bool gFailed = false;

std::string Line(int i) {
  char buf[96];
  std::snprintf(buf, sizeof buf, "Episode %d: news and notes of the week, part %d", i, i % 7);
  return buf;
}

void BM_Text(benchmark::State& state, const Case& c) {
  if (!SetFontEngine(c.engine)) {
    state.SkipWithError("FreeType or DejaVu Sans is missing (scripts/install-deps installs them)");
    gFailed = true;
    return;
  }
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = kWidth;
  info.bmiHeader.biHeight = kHeight;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  HDC dc = CreateCompatibleDC(0);
  void* bits = nullptr;
  HBITMAP bmp = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, 0, 0);
  HGDIOBJ oldBmp = SelectObject(dc, bmp);
  HFONT font = CreateFont(-c.pixels, 0, 0, 0, FW_NORMAL, 0, 0, 0, ANSI_CHARSET, 0, 0, 0, 0, "MS Sans Serif");
  HGDIOBJ oldFont = SelectObject(dc, font);
  SetBkMode(dc, TRANSPARENT);
  std::memset(bits, 0xFF, static_cast<size_t>(kWidth) * kHeight * 4);
  double best = 0;
  const int step = c.pixels + c.pixels / 2;
  peertiming::TimeBest(
      state,
      [&] {
        for (int i = 0; i < kLines; ++i) {
          const std::string& t = gText[static_cast<size_t>(i)];
          if (!TextOut(dc, 4, (i * step) % (kHeight - step), t.data(), static_cast<Integer>(t.size()))) return false;
        }
        return true;
      },
      "TextOut failed", best);
  SelectObject(dc, oldFont);
  DeleteObject(font);
  SelectObject(dc, oldBmp);
  DeleteObject(bmp);
  DeleteDC(dc);
  SetFontEngine(FontEngine::BuiltIn);
  if (best <= 0) return;
  gOurSeconds[c.name] = best;
  state.counters["lines/s"] = kLines / best;
  auto theirs = gPillowSeconds.find(c.name);
  if (theirs != gPillowSeconds.end() && theirs->second > 0) {
    state.counters["Pillow_lines/s"] = kLines / theirs->second;
    state.counters["ratio"] = theirs->second / best;
  }
}

// Pillow's seconds for the case's size, best of five, or -1. fontExpr makes its font.
double RunPillow(const std::string& fontExpr, int pixels) {
  const int step = pixels + pixels / 2;
  const std::string script =
      "import time\n"
      "from PIL import Image, ImageDraw, ImageFont\n"
      "f = " + fontExpr + "\n"
      "lines = ['Episode %d: news and notes of the week, part %d' % (i, i % 7) for i in range(" +
      std::to_string(kLines) + ")]\n"
      "im = Image.new('RGB', (" + std::to_string(kWidth) + ", " + std::to_string(kHeight) + "), 'white')\n"
      "d = ImageDraw.Draw(im)\n"
      "best = None\n"
      "for r in range(5):\n"
      "    t0 = time.perf_counter()\n"
      "    for i, s in enumerate(lines):\n"
      "        d.text((4, (i * " + std::to_string(step) + ") % " + std::to_string(kHeight - step) +
      "), s, font=f, fill=(0, 0, 0))\n"
      "    t = time.perf_counter() - t0\n"
      "    best = t if best is None or t < best else best\n"
      "print(best)\n";
  const std::string path = "/tmp/lark_bench_text_" + std::to_string(getpid()) + ".py";
  FILE* out = std::fopen(path.c_str(), "w");
  if (!out) return -1;
  std::fputs(script.c_str(), out);
  std::fclose(out);
  std::string line;
  const bool ok = peertiming::FirstLineOf("/usr/bin/python3 " + path, line);
  std::remove(path.c_str());
  return ok ? std::stod(line) : -1;
}

}  // namespace

int main(int argc, char** argv) {
  for (int i = 0; i < kLines; ++i) gText.push_back(Line(i));
  std::string file;
  if (peertiming::FirstLineOf("fc-match -f '%{file}\\n' 'DejaVu Sans'", file)) {
    file.erase(file.find_last_not_of("\r\n") + 1);
    for (const Case& c : kCases)
      if (c.engine == FontEngine::FreeType)
        gPillowSeconds[c.name] = RunPillow("ImageFont.truetype('" + file + "', " + std::to_string(c.pixels) +
                                               ", layout_engine=ImageFont.Layout.BASIC)",
                                           c.pixels);
  }
  // Pillow's own bitmap font beside the built-in one.
  gPillowSeconds["BuiltIn/11px"] = RunPillow("ImageFont.load_default()", 11);
  for (const Case& c : kCases) {
    benchmark::RegisterBenchmark((std::string("Text/") + c.name).c_str(), BM_Text, c)
        ->Unit(benchmark::kMillisecond)
        ->Iterations(5)
        ->UseRealTime();
  }
  if (peertiming::RunRegistered(argc, argv) != 0) return 1;

  std::printf("\n%-16s %12s %14s %10s\n", "case", "ours lines/s", "Pillow lines/s", "ratio");
  for (const Case& c : kCases) {
    auto ours = gOurSeconds.find(c.name);
    if (ours == gOurSeconds.end()) continue;
    auto theirs = gPillowSeconds.find(c.name);
    if (theirs == gPillowSeconds.end() || theirs->second <= 0) {
      std::printf("%-16s %12.0f %14s\n", c.name, kLines / ours->second, "-");
      continue;
    }
    std::printf("%-16s %12.0f %14.0f %10.2f\n", c.name, kLines / ours->second, kLines / theirs->second,
                theirs->second / ours->second);
  }
  return gFailed ? 1 : 0;
}
