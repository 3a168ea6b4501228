// A 200 KB feed description page (the program's item page around a long description:
// paragraphs, links, lists, images, tables, FONT markup) loaded into the HTML editing
// engine's document, laid out at 800 pixels and painted in an 800 x 600 window, beside
// gumbo parsing the same text by itself (the parser the document is built with).
#include <benchmark/benchmark.h>
#include <gumbo.h>

#include <chrono>
#include <string>

#include "platform/mshtml/Layout.h"
#include "platform/win/Gdi.h"

namespace {

std::string MakePage() {
  std::string page = "<font face=\"Arial\" size=\"2\" color=\"#000000\">\r\n";
  page += "<font size='5' color='#000000'><b>Bench Radio</b> - Episode 100<br>\r\n";
  page += "<font size='1' color='#808080'>Tue, 08 Dec 2026 07:30:00 GMT<font size=\"2\" color=\"#000000\"><p>\r\n";
  int n = 0;
  while (page.size() < 200 * 1024) {
    std::string k = std::to_string(n++);
    page += "<p>Section " + k + ": we talk about <b>feeds</b>, <i>podcasts</i> and the <a href=http://example.com/" + k +
            ">notes of part " + k + "</a>. Listeners wrote in with questions about players, downloads and the way "
            "enclosures are found; here are the answers, with links and a short table of times.</p>\r\n"
            "<ul><li>Question one from a listener</li><li>Question two, a little longer than the first</li></ul>\r\n"
            "<table border=1 cellpadding=2 cellspacing=0 width=90%><tr><td width=30%>Part " + k +
            "</td><td>12:34</td><td><font color=red>new</font></td></tr><tr><td colspan=3 align=center>"
            "<img src=\"pic" + k + ".png\" width=40 height=30> caption under the picture</td></tr></table>\r\n";
  }
  page += "<p><font size='0' color='#808080'>Link to <a href=http://example.com/><font color='#808080'>site</font></a>";
  return page;
}

const std::string& Page() {
  static const std::string page = MakePage();
  return page;
}

void SetBytes(benchmark::State& state) {
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * Page().size()));
}

void GumboParse(benchmark::State& state) {
  for (auto _ : state) {
    GumboOutput* out = gumbo_parse_with_options(&kGumboDefaultOptions, Page().data(), Page().size());
    benchmark::DoNotOptimize(out);
    gumbo_destroy_output(&kGumboDefaultOptions, out);
  }
  SetBytes(state);
}

void Load(benchmark::State& state) {
  for (auto _ : state) {
    mshtml::Document doc;
    doc.LoadBytes(Page());
    benchmark::DoNotOptimize(doc.GetBody());
  }
  SetBytes(state);
}

void LayOut(benchmark::State& state) {
  mshtml::Document doc;
  doc.LoadBytes(Page());
  for (auto _ : state) {
    mshtml::Layout layout(&doc);
    layout.SetViewport(800, 600);
    layout.Update();
    benchmark::DoNotOptimize(layout.GetScrollHeight());
  }
  SetBytes(state);
}

struct Window {
  Window() {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = 800;
    info.bmiHeader.biHeight = -600;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    dc = CreateCompatibleDC(0);
    void* bits = nullptr;
    bmp = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, 0, 0);
    old = SelectObject(dc, bmp);
  }
  ~Window() {
    SelectObject(dc, old);
    DeleteObject(bmp);
    DeleteDC(dc);
  }
  HDC dc;
  HBITMAP bmp;
  HGDIOBJ old;
};

// One window of the page, the layout already made.
void Paint(benchmark::State& state) {
  mshtml::Document doc;
  doc.LoadBytes(Page());
  mshtml::Layout layout(&doc);
  layout.SetViewport(800, 600);
  layout.Update();
  Window w;
  for (auto _ : state) layout.Paint(w.dc, RECT{0, 0, 800, 600});
}

// Load, lay out and paint the first window, as the control shows a new page.
void LoadLayOutAndPaint(benchmark::State& state) {
  Window w;
  for (auto _ : state) {
    mshtml::Document doc;
    doc.LoadBytes(Page());
    mshtml::Layout layout(&doc);
    layout.SetViewport(800, 600);
    layout.Paint(w.dc, RECT{0, 0, 800, 600});
  }
  SetBytes(state);
}

}  // namespace

BENCHMARK(GumboParse)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(Load)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(LayOut)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(Paint)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(LoadLayOutAndPaint)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK_MAIN();
