// Loading a feed's 200 KB item page into the HTML editing engine's document model and
// writing it back, beside gumbo alone parsing the same page (the parser the model is
// built on, called directly and its tree freed), in the same run; prints the ratio.
#include <benchmark/benchmark.h>
#include <gumbo.h>

#include <cstdio>
#include <string>

#include "bench/peer_timing.h"
#include "platform/mshtml/Document.h"

namespace {

std::string gPageUtf8;
WideString gPage;
double gGumboSeconds = 0;
double gLoadSeconds = 0;
double gRoundSeconds = 0;
bool gFailed = false;

// An item page as the application builds it, whose description is a long feed text
// with its own sloppy markup: paragraphs, lists, links, images, a table, entities,
// FONTs left open and a stray </br> now and then.
std::string MakePage() {
  std::string page =
      "<font face=\"Arial\" size=\"2\" color=\"#000000\">\r\n"
      "<font size='5' color='#000000'><b>The Show</b> - Episode 412: a long one<br>\r\n"
      "<font size='1' color='#808080'>Mon, 01 Jan 2024 10:00:00 GMT<font size=\"2\" color=\"#000000\"><p>\r\n";
  int i = 0;
  while (page.size() < 200 * 1024) {
    const std::string n = std::to_string(i++);
    page += "<p>In part " + n + " we talk about <b>things</b> &amp; <i>stuff</i>, with notes from "
            "<a href=http://example.org/notes/" + n + "?ref=feed&amp;x=1>the notes page</a> and "
            "<font color=#336699>a coloured remark that never closes</br>\r\n"
            "<ul><li>first point &mdash; caf&eacute;<li>second point with <img src=http://img.example.org/" + n +
            ".png width=120 height=80 alt='picture " + n + "'></ul>\r\n"
            "<table border=1 cellpadding=2><tr><td>Time<td>Topic</tr><tr><td>00:" + n +
            "<td>Listener mail &lt;3</tr></table>\r\n"
            "<blockquote>A quoted passage with &quot;quotes&quot; and non-breaking&nbsp;spaces.</blockquote>\r\n";
  }
  page += "\r\n<p><font size='0' color='#808080'>Link to \r\n"
          "<a href=http://example.org/><font color='#808080'>site</font></a> \r\n"
          "<a href=http://example.org/412><font color='#808080'>item</a> \r\n"
          "<a href=http://example.org/412.mp3><font color='#808080'>file</a>";
  return page;
}

void BM_GumboParse(benchmark::State& state) {
  const auto run = [] {
    GumboOutput* output = gumbo_parse_with_options(&kGumboDefaultOptions, gPageUtf8.data(), gPageUtf8.size());
    const bool ok = output && output->root;
    gumbo_destroy_output(&kGumboDefaultOptions, output);
    return ok;
  };
  if (!peertiming::TimeBest(state, run, "gumbo did not parse the page", gGumboSeconds)) gFailed = true;
  state.counters["KB/s"] = gPageUtf8.size() / 1024.0 / gGumboSeconds;
}

void BM_ModelLoad(benchmark::State& state) {
  const auto run = [] {
    mshtml::Document doc;
    doc.LoadHTML(gPage);
    return doc.GetImages().size() > 100;
  };
  if (!peertiming::TimeBest(state, run, "the page did not load", gLoadSeconds)) gFailed = true;
  state.counters["KB/s"] = gPageUtf8.size() / 1024.0 / gLoadSeconds;
  if (gGumboSeconds > 0) state.counters["ratio"] = gLoadSeconds / gGumboSeconds;
}

void BM_ModelLoadAndSerialize(benchmark::State& state) {
  const auto run = [] {
    mshtml::Document doc;
    doc.LoadHTML(gPage);
    return doc.GetHTML().size() > 100 * 1024;
  };
  if (!peertiming::TimeBest(state, run, "the page did not load and serialize", gRoundSeconds)) gFailed = true;
  state.counters["KB/s"] = gPageUtf8.size() / 1024.0 / gRoundSeconds;
  if (gGumboSeconds > 0) state.counters["ratio"] = gRoundSeconds / gGumboSeconds;
}

}  // namespace

int main(int argc, char** argv) {
  gPageUtf8 = MakePage();
  gPage = mshtml::Utf8ToWide(gPageUtf8);
  const struct {
    const char* Name;
    void (*Run)(benchmark::State&);
  } cases[] = {{"Html/GumboParse", BM_GumboParse},
               {"Html/ModelLoad", BM_ModelLoad},
               {"Html/ModelLoadAndSerialize", BM_ModelLoadAndSerialize}};
  for (const auto& c : cases)
    benchmark::RegisterBenchmark(c.Name, c.Run)->Unit(benchmark::kMillisecond)->Iterations(20)->UseRealTime();
  if (peertiming::RunRegistered(argc, argv) != 0) return 1;
  if (gGumboSeconds > 0 && gLoadSeconds > 0 && gRoundSeconds > 0) {
    const std::string title = "case (page of " + std::to_string(gPageUtf8.size() / 1024) + " KB)";
    std::printf("\n%-34s %10s %12s\n", title.c_str(), "ms", "x gumbo");
    std::printf("%-34s %10.2f %12.2f\n", "gumbo alone: parse", gGumboSeconds * 1e3, 1.0);
    std::printf("%-34s %10.2f %12.2f\n", "model: load", gLoadSeconds * 1e3, gLoadSeconds / gGumboSeconds);
    std::printf("%-34s %10.2f %12.2f\n", "model: load and serialize", gRoundSeconds * 1e3,
                gRoundSeconds / gGumboSeconds);
  }
  return gFailed ? 1 : 0;
}
