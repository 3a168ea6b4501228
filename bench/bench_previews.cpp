// The processing preview dialog with a 6000 x 4000 photograph (24 Mpx) fitted into
// its source view.
//
// Drag/<page>: one preview refresh as a slider (or the page's up-down) moves with
// "Lock preview" down: back to the unadjusted preview, the page's operation, the
// result view's relayout. Beside it, Worker/<page>: the same worker on a copy of the
// preview-sized picture, copy included (the refresh copies the unadjusted preview
// back too) and the parameters moved the same way, so the difference is the dialog's
// own cost. On the fitted 24 Mpx source the zoom is 5 %: the wave's amplitude and
// wavelength, scaled to the screen, come to 0 and the wave page does nothing.
//
// Ok/<page>: OK on the whole source, beside Direct/<page>: the worker called directly
// on a copy of the source. Not the FFT page: 6000 pixels pass the transform's side
// limit, and OK refuses it.
#include <benchmark/benchmark.h>

#include <functional>
#include <memory>
#include <string>

#include "image/model/iebitmap.h"
#include "image/proc/dadiravproc.h"
#include "image/proc/iefft.h"
#include "image/proc/previews.h"
#include "image/views/dadiravview.h"
#include "platform/rtl/Strings.h"
#include "platform/vcl/Application.h"

namespace {

constexpr Integer kWidth = 6000, kHeight = 4000;

std::unique_ptr<TIEBitmap> Photo(Integer w, Integer h) {
  auto b = std::make_unique<TIEBitmap>();
  b->SetLocation(ieMemory);
  b->Allocate(w, h, ie24RGB);
  uint32_t state = 7;
  for (Integer y = 0; y < h; ++y) {
    Byte* row = static_cast<Byte*>(b->GetScanLine(y));
    for (Integer x = 0; x < w; ++x) {
      state = state * 1664525u + 1013904223u;
      const Integer n = static_cast<Integer>(state >> 28);
      row[x * 3] = static_cast<Byte>((x * 255 / w + n) & 255);
      row[x * 3 + 1] = static_cast<Byte>((y * 255 / h + ((x / 40 + y / 30) % 2) * 60) & 255);
      row[x * 3 + 2] = static_cast<Byte>((x + y) / 50 * 13 + n);
    }
  }
  return b;
}

TfPreviews* gDialog = nullptr;
std::unique_ptr<TIEBitmap> gSource;

TfPreviews& Dialog() {
  if (gDialog != nullptr) return *gDialog;
  gSource = Photo(kWidth, kHeight);
  gDialog = new TfPreviews(nullptr);
  gDialog->DadirAv1->GetIEBitmap()->Assign(gSource.get());
  gDialog->DadirAv1->Update();
  gDialog->Logic().LockPreviewDefault = true;
  gDialog->Show();
  Application->ProcessMessages();
  if (gDialog->Logic().Thumbnail() == nullptr) gDialog->Logic().FormActivate();
  return *gDialog;
}

// Moves the page's control to one of two values and runs its handler.
void Move(TPreviewsLogic& L, Integer page, bool odd) {
  const Integer a = odd ? 1 : 0;
  switch (page) {
    case ppContrast: L.TrackContrast.Set(a ? 30 : 31); L.ContrastTrackChange(); break;
    case ppHSL: L.TrackHSLHue.Set(a ? 40 : 41); L.HSLTrackChange(); break;
    case ppRGB: L.TrackRed.Set(a ? 50 : 51); L.RGBTrackChange(); break;
    case ppUserFilter: L.EditFilter[4].Set(a ? "5" : "6"); L.FilterEditChange(4); break;
    case ppHSV: L.TrackHSVHue.Set(a ? 40 : 41); L.HSVTrackChange(); break;
    case ppEqualization: L.Ruler1.Grips[0] = a ? 30 : 31; L.RulerGripMoved(1, 0); break;
    case ppBumpMap: L.EditBump[4].Set(a ? "30" : "40"); L.BumpEditChange(); break;
    case ppLens: L.EditLens[4].Set(a ? "10" : "11"); L.LensEditChange(); break;
    case ppWave: L.EditWave[2].Set(a ? "30" : "31"); L.WaveEditChange(); break;
    case ppMorph: L.EditWindow.Set(a ? "1" : "2"); L.MorphChange(); break;
    case ppRotate: L.TrackRotate.Set(a ? 1500 : 1501); L.RotateTrackChange(); break;
    case ppFFT: L.FFTClearClick(); break;
    default: break;
  }
}

// The page's worker on a whole picture with the dialog's parameters (positions at
// the scale given).
void Worker(TPreviewsLogic& L, Integer page, TIEBitmap* b, double scale) {
  const auto& P = L.Params;
  const Integer w = b->GetWidth(), h = b->GetHeight();
  TProgressRec none;
  auto S = [scale](Integer v) { return static_cast<Integer>(v * scale); };
  switch (page) {
    case ppContrast:
      _ContrastRGB(b, P.Contrast, P.MeanR, P.MeanG, P.MeanB, 0, 0, w, h, nullptr, nullptr);
      _IntensityRGBall(b, P.Brightness, P.Brightness, P.Brightness, 0, 0, w, h, nullptr, nullptr);
      break;
    case ppHSL: _HSLvar(b, P.HSLHue, P.HSLSat, P.HSLLum, 0, 0, w, h, nullptr, nullptr); break;
    case ppRGB: _IntensityRGBall(b, P.R, P.G, P.B, 0, 0, w, h, nullptr, nullptr); break;
    case ppUserFilter: _ApplyFilter(b, P.Filter, 0, 0, w, h, none); break;
    case ppHSV: _HSVvar(b, P.HSVHue, P.HSVSat, P.HSVVal, 0, 0, w, h, nullptr, nullptr); break;
    case ppEqualization:
      _Threshold(b, P.ThresholdLow, P.ThresholdHigh, TRGB{0, 0, 0}, TRGB{255, 255, 255}, 0, 0, w, h, nullptr, nullptr);
      _HistEqualize(b, P.EqualizeLow, P.EqualizeHigh, 0, 0, w, h, nullptr, nullptr);
      break;
    case ppBumpMap:
      _BumpMapping(b, S(P.BumpLeft), S(P.BumpTop), S(P.BumpWidth), S(P.BumpHeight), P.BumpLevel, P.BumpColour, 0, 0,
                   w, h, none);
      break;
    case ppLens: _lens(b, S(P.LensLeft), S(P.LensTop), S(P.LensWidth), S(P.LensHeight), P.LensRefraction, none); break;
    case ppWave: _wave(b, S(P.WaveAmplitude), S(P.WaveLength), P.WavePhase, P.WaveReflective, none); break;
    case ppMorph: _MorphFilter(b, P.MorphWindow, P.MorphKind, 0, 0, w, h, nullptr, nullptr); break;
    case ppRotate: {
      TDadirAvProc proc(nullptr);
      proc.SetAttachedIEBitmap(b);
      proc.SetAutoUndo(false);
      proc.Rotate(P.Angle, true, ierFast, -1);
      break;
    }
    case ppFFT: {
      // The preview's own work: a copy of the thumbnail's transform, the zone, the
      // spectrum picture and the inverse.
      TIEFtImage ft;
      ft.Assign(L.Transform());
      ft.ClearZone(60, 60, 70, 70);
      TIEBitmap spectrum;
      ft.GetFTImage(&spectrum);
      ft.BuildBitmap(b);
      break;
    }
    default: break;
  }
}

void Drag(benchmark::State& state) {
  const Integer page = static_cast<Integer>(state.range(0));
  TfPreviews& d = Dialog();
  TPreviewsLogic& L = d.Logic();
  L.SetActivePage(page);
  Move(L, page, false);
  bool odd = true;
  for (auto _ : state) {
    Move(L, page, odd);
    odd = !odd;
  }
  state.counters["refreshes_per_s"] = benchmark::Counter(static_cast<double>(state.iterations()),
                                                         benchmark::Counter::kIsRate);
  state.SetLabel(std::to_string(d.DadirAv2->GetIEBitmap()->GetWidth()) + "x" +
                 std::to_string(d.DadirAv2->GetIEBitmap()->GetHeight()) + " preview");
}

void WorkerAlone(benchmark::State& state) {
  const Integer page = static_cast<Integer>(state.range(0));
  TfPreviews& d = Dialog();
  TPreviewsLogic& L = d.Logic();
  L.SetActivePage(page);
  Move(L, page, true);
  // The unadjusted preview, as the refresh starts from it.
  d.DadirAv2->GetDadirAvProc()->Undo();
  TIEBitmap base;
  base.SetLocation(ieMemory);
  base.Assign(d.DadirAv2->GetIEBitmap());
  TIEBitmap work;
  work.SetLocation(ieMemory);
  const double scale = d.DadirAv1->GetZoom() / 100;
  // The same two values in turn as the drag, with the preview held still.
  L.LockPreview.Down = false;
  bool odd = false;
  for (auto _ : state) {
    Move(L, page, odd);
    odd = !odd;
    work.Assign(&base);
    Worker(L, page, &work, scale);
  }
  L.LockPreview.Down = true;
  state.counters["refreshes_per_s"] = benchmark::Counter(static_cast<double>(state.iterations()),
                                                         benchmark::Counter::kIsRate);
}

void Ok(benchmark::State& state) {
  const Integer page = static_cast<Integer>(state.range(0));
  TfPreviews& d = Dialog();
  TPreviewsLogic& L = d.Logic();
  L.SetActivePage(page);
  Move(L, page, true);
  for (auto _ : state) {
    state.PauseTiming();
    d.DadirAv1->GetIEBitmap()->Assign(gSource.get());
    state.ResumeTiming();
    if (!L.OkClick()) state.SkipWithError("OK refused");
  }
  d.DadirAv1->GetIEBitmap()->Assign(gSource.get());
  d.DadirAv1->Update();
}

void Direct(benchmark::State& state) {
  const Integer page = static_cast<Integer>(state.range(0));
  TfPreviews& d = Dialog();
  TPreviewsLogic& L = d.Logic();
  L.SetActivePage(page);
  Move(L, page, true);
  TIEBitmap copy;
  copy.SetLocation(ieMemory);
  for (auto _ : state) {
    state.PauseTiming();
    copy.Assign(gSource.get());
    state.ResumeTiming();
    Worker(L, page, &copy, 1.0);
  }
}

void Pages(benchmark::internal::Benchmark* b, bool withFft) {
  for (Integer t = 1; t <= (withFft ? kPreviewPageCount : kPreviewPageCount - 1); ++t) b->Arg(t);
}

BENCHMARK(Drag)->Apply([](auto* b) { Pages(b, true); })->Unit(benchmark::kMillisecond);
BENCHMARK(WorkerAlone)->Apply([](auto* b) { Pages(b, true); })->Unit(benchmark::kMillisecond);
BENCHMARK(Ok)->Apply([](auto* b) { Pages(b, false); })->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(Direct)->Apply([](auto* b) { Pages(b, false); })->Unit(benchmark::kMillisecond)->Iterations(2);

}  // namespace

BENCHMARK_MAIN();
