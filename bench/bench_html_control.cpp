// The HTML control on a form loading a 100 KB item page with SetSource until its
// completion (undo clearing included), and reading it back with GetSource, beside
// the engine's document model alone parsing and serializing the same page, in the
// same run; prints the ratios.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <string>

#include "bench/peer_timing.h"
#include "html/ProfDHTMLEdit.h"
#include "platform/mshtml/Document.h"
#include "platform/vcl/Forms.h"
#include "platform/win/Messages.h"

namespace {

WideString gPage;
size_t gPageBytes = 0;
double gParseSeconds = 0;
double gSerializeSeconds = 0;
double gSetSourceSeconds = 0;
double gGetSourceSeconds = 0;
bool gFailed = false;

// An item page as the application builds it, its description a long feed text.
std::string MakePage() {
  std::string page =
      "<font face=\"Arial\" size=\"2\" color=\"#000000\">\r\n"
      "<font size='5' color='#000000'><b>The Show</b> - Episode 412<br>\r\n"
      "<font size='1' color='#808080'>Mon, 01 Jan 2024 10:00:00 GMT<font size=\"2\" color=\"#000000\"><p>\r\n";
  int i = 0;
  while (page.size() < 100 * 1024) {
    const std::string n = std::to_string(i++);
    page += "<p>In part " + n + " we talk about <b>things</b> &amp; <i>stuff</i>, with notes from "
            "<a href=http://example.org/notes/" + n + ">the notes page</a>.\r\n"
            "<ul><li>first point<li>second point</ul>\r\n"
            "<table border=1><tr><td>00:" + n + "<td>Listener mail</tr></table>\r\n";
  }
  page += "\r\n<p><font size='0' color='#808080'>Link to \r\n"
          "<a href=http://example.org/><font color='#808080'>site</font></a>";
  return page;
}

void Pump() {
  MSG msg;
  while (PeekMessage(&msg, 0, 0, 0, PM_REMOVE)) DispatchMessage(&msg);
}

struct Scene {
  TForm form{nullptr};
  TProfDHTMLEdit* html = nullptr;
  bool created = false;
  Scene() {
    form.SetBounds(0, 0, 800, 600);
    html = new TProfDHTMLEdit(&form);
    html->SetParent(&form);
    html->SetBounds(0, 0, 780, 560);
    html->OnCreate = [this](TObject*) { created = true; };
    form.Show();
    for (int i = 0; i < 100000 && !created; ++i) Pump();
  }
};

std::unique_ptr<Scene> gScene;

void BM_ModelParse(benchmark::State& state) {
  const auto run = [] {
    mshtml::Document doc;
    doc.LoadHTML(gPage);
    return doc.GetBody() != nullptr;
  };
  if (!peertiming::TimeBest(state, run, "the page did not parse", gParseSeconds)) gFailed = true;
}

void BM_ModelSerialize(benchmark::State& state) {
  mshtml::Document doc;
  doc.LoadHTML(gPage);
  const auto run = [&] { return doc.GetHTML().size() > 50 * 1024; };
  if (!peertiming::TimeBest(state, run, "the page did not serialize", gSerializeSeconds)) gFailed = true;
}

void BM_ControlSetSource(benchmark::State& state) {
  if (!gScene->created) {
    state.SkipWithError("the control was never created");
    gFailed = true;
    return;
  }
  const auto run = [] {
    gScene->html->SetSource(gPage);
    return gScene->html->GetReason() == dcrUndefined && gScene->html->CanGetDOM();
  };
  if (!peertiming::TimeBest(state, run, "SetSource did not complete", gSetSourceSeconds)) gFailed = true;
  if (gParseSeconds > 0) state.counters["x_parse"] = gSetSourceSeconds / gParseSeconds;
}

void BM_ControlGetSource(benchmark::State& state) {
  const auto run = [] { return gScene->html->GetSource().size() > 50 * 1024; };
  if (!peertiming::TimeBest(state, run, "GetSource gave no page", gGetSourceSeconds)) gFailed = true;
  if (gSerializeSeconds > 0) state.counters["x_serialize"] = gGetSourceSeconds / gSerializeSeconds;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string page = MakePage();
  gPageBytes = page.size();
  gPage = mshtml::Utf8ToWide(page);
  gScene = std::make_unique<Scene>();
  const struct {
    const char* Name;
    void (*Run)(benchmark::State&);
  } cases[] = {{"HtmlControl/ModelParse", BM_ModelParse},
               {"HtmlControl/ModelSerialize", BM_ModelSerialize},
               {"HtmlControl/SetSource", BM_ControlSetSource},
               {"HtmlControl/GetSource", BM_ControlGetSource}};
  for (const auto& c : cases)
    benchmark::RegisterBenchmark(c.Name, c.Run)->Unit(benchmark::kMillisecond)->Iterations(10)->UseRealTime();
  const int status = peertiming::RunRegistered(argc, argv);
  if (gParseSeconds > 0 && gSerializeSeconds > 0 && gSetSourceSeconds > 0 && gGetSourceSeconds > 0) {
    const std::string title = "case (page of " + std::to_string(gPageBytes / 1024) + " KB)";
    std::printf("\n%-40s %10s %10s\n", title.c_str(), "ms", "ratio");
    std::printf("%-40s %10.2f %10s\n", "engine model: parse", gParseSeconds * 1e3, "1.00");
    std::printf("%-40s %10.2f %10.2f\n", "control: SetSource to completion", gSetSourceSeconds * 1e3,
                gSetSourceSeconds / gParseSeconds);
    std::printf("%-40s %10.2f %10s\n", "engine model: serialize", gSerializeSeconds * 1e3, "1.00");
    std::printf("%-40s %10.2f %10.2f\n", "control: GetSource", gGetSourceSeconds * 1e3,
                gGetSourceSeconds / gSerializeSeconds);
  }
  gScene.reset();
  return status != 0 || gFailed ? 1 : 0;
}
