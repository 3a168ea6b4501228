// The HTML control's source formatter writing a 100 KB item page that the engine
// loaded, with the default options and with none, beside the engine's own
// serialization of the same document, in the same run; prints the ratios.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

#include "bench/peer_timing.h"
#include "html/SourceFormatter.h"
#include "platform/mshtml/Document.h"

namespace {

std::string gPageUtf8;
mshtml::Document* gDocument = nullptr;
double gEngineSeconds = 0;
double gDefaultSeconds = 0;
double gPlainSeconds = 0;
bool gFailed = false;

// An item page as the application builds it, with a long description of the kind
// feeds carry: paragraphs, lists, links, pictures, a table, entities and accented
// text, FONTs left open.
std::string MakePage() {
  std::string page =
      "<font face=\"Arial\" size=\"2\" color=\"#000000\">\r\n"
      "<font size='5' color='#000000'><b>The Show</b> - Episode 412: a long one<br>\r\n"
      "<font size='1' color='#808080'>Mon, 01 Jan 2024 10:00:00 GMT<font size=\"2\" color=\"#000000\"><p>\r\n";
  int i = 0;
  while (page.size() < 100 * 1024) {
    const std::string n = std::to_string(i++);
    page += "<p align=center>In part " + n + " we talk about <b>things</b> &amp; <i>stuff</i>, with notes from "
            "<a href=http://example.org/notes/" + n + "?ref=feed&amp;x=1>the notes page</a> and "
            "<font color=#336699>a coloured remark</font> in caf\xC3\xA9s\r\n"
            "<ul><li>first point &mdash; na\xC3\xAFve<li>second point with <img src=http://img.example.org/" + n +
            ".png width=120 height=80 alt='picture " + n + "'></ul>\r\n"
            "<table border=1 cellpadding=2><tr><td>Time<td>Topic</tr><tr><td>00:" + n +
            "<td>Listener mail &lt;3</tr></table>\r\n"
            "<blockquote style=\"margin-left: 20px\">A passage with &quot;quotes&quot; and "
            "non-breaking&nbsp;spaces.<!-- note --></blockquote>\r\n";
  }
  page += "\r\n<p><font size='0' color='#808080'>Link to \r\n"
          "<a href=http://example.org/><font color='#808080'>site</font></a> \r\n"
          "<a href=http://example.org/412><font color='#808080'>item</a> \r\n"
          "<a href=http://example.org/412.mp3><font color='#808080'>file</a>";
  return page;
}

WideString Format(TSourceCodeOptions options) {
  TSourceFormatContext context;
  context.Document = gDocument;
  context.Options = options;
  return TSourceFormatter(context).GetSource();
}

void BM_EngineSerialize(benchmark::State& state) {
  const auto run = [] { return gDocument->GetHTML().size() > 50 * 1024; };
  if (!peertiming::TimeBest(state, run, "the engine did not serialize the page", gEngineSeconds)) gFailed = true;
  state.counters["KB/s"] = gPageUtf8.size() / 1024.0 / gEngineSeconds;
}

void BM_FormatDefault(benchmark::State& state) {
  const auto run = [] { return Format(AllSourceCodeOptions).size() > 50 * 1024; };
  if (!peertiming::TimeBest(state, run, "the formatter gave no source", gDefaultSeconds)) gFailed = true;
  state.counters["KB/s"] = gPageUtf8.size() / 1024.0 / gDefaultSeconds;
  if (gEngineSeconds > 0) state.counters["ratio"] = gDefaultSeconds / gEngineSeconds;
}

void BM_FormatNoOptions(benchmark::State& state) {
  const auto run = [] { return Format(TSourceCodeOptions()).size() > 50 * 1024; };
  if (!peertiming::TimeBest(state, run, "the formatter gave no source", gPlainSeconds)) gFailed = true;
  state.counters["KB/s"] = gPageUtf8.size() / 1024.0 / gPlainSeconds;
  if (gEngineSeconds > 0) state.counters["ratio"] = gPlainSeconds / gEngineSeconds;
}

}  // namespace

int main(int argc, char** argv) {
  gPageUtf8 = MakePage();
  mshtml::Document document;
  document.LoadHTML(mshtml::Utf8ToWide(gPageUtf8));
  gDocument = &document;
  const struct {
    const char* Name;
    void (*Run)(benchmark::State&);
  } cases[] = {{"HtmlFormat/EngineSerialize", BM_EngineSerialize},
               {"HtmlFormat/FormatDefaultOptions", BM_FormatDefault},
               {"HtmlFormat/FormatNoOptions", BM_FormatNoOptions}};
  for (const auto& c : cases)
    benchmark::RegisterBenchmark(c.Name, c.Run)->Unit(benchmark::kMillisecond)->Iterations(20)->UseRealTime();
  if (peertiming::RunRegistered(argc, argv) != 0) return 1;
  if (gEngineSeconds > 0 && gDefaultSeconds > 0 && gPlainSeconds > 0) {
    const std::string title = "case (page of " + std::to_string(gPageUtf8.size() / 1024) + " KB)";
    std::printf("\n%-40s %10s %12s\n", title.c_str(), "ms", "x engine");
    std::printf("%-40s %10.2f %12.2f\n", "engine: serialize", gEngineSeconds * 1e3, 1.0);
    std::printf("%-40s %10.2f %12.2f\n", "formatter: default options", gDefaultSeconds * 1e3,
                gDefaultSeconds / gEngineSeconds);
    std::printf("%-40s %10.2f %12.2f\n", "formatter: no options", gPlainSeconds * 1e3,
                gPlainSeconds / gEngineSeconds);
  }
  return gFailed ? 1 : 0;
}
