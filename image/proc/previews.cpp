// The preview dialog's behaviour over its control models: the parameter record, the
// starting values, the preview made from the source view's visible part, and the
// operation of each page.
#include "image/proc/previews.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

#include "image/model/iebitmap.h"
#include "image/model/ieutils.h"
#include "image/proc/dadiravproc_basic.h"
#include "image/proc/dadiravproc_colour.h"
#include "image/proc/dadiravproc_component.h"
#include "image/proc/iefft.h"
#include "image/views/dadiravview.h"
#include "platform/rtl/Streams.h"
#include "platform/rtl/Strings.h"

namespace {

// Truncation toward zero, saturated to the 32-bit range; not-a-number gives 0.
Integer TruncSat(double v) {
  if (std::isnan(v)) return 0;
  if (v >= 2147483647.0) return 2147483647;
  if (v <= -2147483648.0) return -2147483647 - 1;
  return static_cast<Integer>(std::trunc(v));
}

Byte ByteOf(Integer v) { return static_cast<Byte>(v < 0 ? 0 : (v > 255 ? 255 : v)); }

// Runs body with the dialog's own control changes kept from the handlers.
template <typename Body>
void Quietly(bool& changes, Body body) {
  const bool was = changes;
  changes = false;
  body();
  changes = was;
}

constexpr TPreviewEffect kPageEffect[kPreviewPageCount + 1] = {
    peAll,     peContrast, peHSL,  peRGB,   peUserFilt, peHSV, peEqualize,
    peBumpMap, peLens,     peWave, peMorph, peRotate,   peFFT};

}  // namespace

void TPvColourBox::SetRGB(TRGB c) {
  Integer h = 0, s = 0, v = 0;
  RGB2HSV(c, h, s, v);
  SetHSV(h, s, v);
}

TRGB TPvColourBox::GetRGB() const {
  TRGB c{0, 0, 0};
  HSV2RGB(c, Hue, Sat, Val);
  return c;
}

// ===========================================================================
// FormCreate and FormDestroy

TPreviewsLogic::TPreviewsLogic(TDadirAvView* source, TDadirAvView* result, TDadirAvView* spectrum)
    : src_(source), res_(result), spec_(spectrum) {
  for (Integer t = 0; t <= kPreviewPageCount; ++t) Pages[static_cast<size_t>(t)].Tag = t;
  TrackContrast.SetRange(-100, 100);
  TrackBrightness.SetRange(-100, 100);
  TrackHSLHue.SetRange(-180, 180);
  TrackHSLSat.SetRange(-100, 100);
  TrackHSLLum.SetRange(-100, 100);
  TrackRed.SetRange(-255, 255);
  TrackGreen.SetRange(-255, 255);
  TrackBlue.SetRange(-255, 255);
  TrackHSVHue.SetRange(-180, 180);
  TrackHSVSat.SetRange(-100, 100);
  TrackHSVVal.SetRange(-100, 100);
  TrackRotate.SetRange(-18000, 18000);
  Progress.SetRange(0, 100);
  for (size_t i = 0; i < EditFilter.size(); ++i) EditFilter[i].Tag = static_cast<Integer>(i);
  Presets.Items = {"None",        "Blur",        "Edges",      "Emboss",    "High Pass 1",
                   "High Pass 2", "High Pass 3", "Low Pass 1", "Low Pass 2"};
  Presets.ItemIndex = 0;
  Channels.Items = {"Red", "Green", "Blue", "Gray"};
  Channels.Checked = {false, false, false, true};
  MorphKinds.Items = {"Maximum", "Minimum", "Opening", "Closing"};
  MorphKinds.ItemIndex = 0;
  GrayScaleCheck.Down = true;
  // The result view keeps one undo entry in memory: the unadjusted preview.
  if (res_ != nullptr) {
    res_->GetDadirAvProc()->SetAutoUndo(false);
    res_->GetDadirAvProc()->SetUndoLocation(ieMemory);
  }
  // The source is the dialog's own copy: its operations need no undo.
  if (src_ != nullptr) {
    src_->GetDadirAvProc()->SetAutoUndo(false);
    src_->OnViewChange = [this](TObject*, Integer) { CopyOrg(); };
  }
  activePage_ = ppContrast;
  SetLanguage(msSystem);
}

TPreviewsLogic::~TPreviewsLogic() {
  if (src_ != nullptr) src_->OnViewChange = nullptr;
}

// ===========================================================================
// Activation and pages

bool TPreviewsLogic::PageShown(Integer tag) const {
  return tag >= 1 && tag <= kPreviewPageCount &&
         (Effects.Contains(peAll) || Effects.Contains(kPageEffect[tag]));
}

void TPreviewsLogic::FormActivate() {
  TabsOnTop = IEIs_XP();
  final_ = false;
  changes_ = true;
  ResetParameters(true);
  LockPreview.Set(LockPreviewDefault);
  PreviewButton.Enabled = !LockPreview.Down;
  PreviewButton.Notify();
  Integer first = 0;
  for (Integer t = 1; t <= kPreviewPageCount; ++t) {
    auto& page = Pages[static_cast<size_t>(t)];
    page.Visible = PageShown(t);
    page.Tag = t;
    page.Notify();
    if (page.Visible && first == 0) first = t;
  }
  activePage_ = OpenOnPage != 0 && PageShown(OpenOnPage) ? OpenOnPage : first;
  Pages[0].Notify();  // the page control follows the active page
  if (src_ != nullptr) src_->Fit();
  if (ProcessMessages) ProcessMessages();
  PageControlChange();
}

void TPreviewsLogic::SetActivePage(Integer tag) {
  if (!PageShown(tag) || tag == activePage_) return;
  activePage_ = tag;
  PageControlChange();
}

void TPreviewsLogic::PageControlChange() {
  ResetParameters(false);
  SetMouseInteractForPage();
  CopyOrg();
}

void TPreviewsLogic::SetMouseInteractForPage() {
  if (src_ == nullptr) return;
  const Integer p = activePage_;
  if ((p >= ppContrast && p <= ppEqualization) || p == ppMorph) {
    src_->SetMouseInteract(src_->GetMouseInteract() + miZoom);
  } else {
    src_->SetMouseInteract(src_->GetMouseInteract() - miZoom);
    src_->Fit();
  }
}

// ===========================================================================
// Starting values

void TPreviewsLogic::SetIntEdit(TPvText& edit, Integer value) { edit.Set(IntToStr(value)); }

void TPreviewsLogic::ResetParameters(bool all) {
  auto& P = Params;
  TIEBitmap* bmp = src_ != nullptr ? src_->GetIEBitmap() : nullptr;
  const Integer W = bmp != nullptr ? bmp->GetWidth() : 0, H = bmp != nullptr ? bmp->GetHeight() : 0;
  Quietly(changes_, [&] {
    for (Integer t = 1; t <= kPreviewPageCount; ++t) {
      if (!all && (t != activePage_ || P.Reset[static_cast<size_t>(t)])) continue;
      P.Reset[static_cast<size_t>(t)] = true;
      switch (t) {
        case ppContrast:
          if (bmp != nullptr) _GetMediaContrastRGB(bmp, P.MeanR, P.MeanG, P.MeanB);
          P.Contrast = P.Brightness = 0;
          TrackContrast.Set(0);
          TrackBrightness.Set(0);
          SetIntEdit(EditContrast, 0);
          SetIntEdit(EditBrightness, 0);
          break;
        case ppHSL:
          P.HSLHue = P.HSLSat = P.HSLLum = 0;
          for (auto* tb : {&TrackHSLHue, &TrackHSLSat, &TrackHSLLum}) tb->Set(0);
          for (auto* e : {&EditHSLHue, &EditHSLSat, &EditHSLLum}) SetIntEdit(*e, 0);
          break;
        case ppRGB:
          P.R = P.G = P.B = 0;
          for (auto* tb : {&TrackRed, &TrackGreen, &TrackBlue}) tb->Set(0);
          for (auto* e : {&EditRed, &EditGreen, &EditBlue}) SetIntEdit(*e, 0);
          break;
        case ppHSV:
          P.HSVHue = P.HSVSat = P.HSVVal = 0;
          for (auto* tb : {&TrackHSVHue, &TrackHSVSat, &TrackHSVVal}) tb->Set(0);
          for (auto* e : {&EditHSVHue, &EditHSVSat, &EditHSVVal}) SetIntEdit(*e, 0);
          break;
        case ppUserFilter:
          P.Filter = TGraphFilter{};
          P.Filter.Values[1][1] = 1;
          for (Integer k = 0; k < 9; ++k) SetIntEdit(EditFilter[static_cast<size_t>(k)], P.Filter.Values[k / 3][k % 3]);
          SetIntEdit(EditFilter[9], 0);
          Presets.Select(0);
          break;
        case ppEqualization:
          P.ThresholdLow = P.EqualizeLow = TRGB{0, 0, 0};
          P.ThresholdHigh = P.EqualizeHigh = TRGB{255, 255, 255};
          Channels.Checked = {false, false, false, true};
          Channels.Notify();
          histKind_ = 8;
          Ruler1.Grips = {0, 255};
          Ruler1.Notify();
          Ruler2.Grips = {0, 255};
          Ruler2.Notify();
          Equalize.Set(false);
          break;
        case ppBumpMap:
        case ppLens: {
          const Integer left = W / 2, top = H / 2, side = std::max(W, H) / 2;
          if (t == ppBumpMap) {
            P.BumpLeft = left;
            P.BumpTop = top;
            P.BumpWidth = P.BumpHeight = side;
            P.BumpLevel = 0;
            P.BumpColour = TRGB{255, 255, 255};
            BumpColour.SetRGB(P.BumpColour);
            const Integer v[5] = {left, top, side, side, 0};
            for (size_t i = 0; i < 5; ++i) SetIntEdit(EditBump[i], v[i]);
          } else {
            P.LensLeft = left;
            P.LensTop = top;
            P.LensWidth = P.LensHeight = side;
            P.LensRefraction = 1.7;
            const Integer v[5] = {left, top, side, side, 7};
            for (size_t i = 0; i < 5; ++i) SetIntEdit(EditLens[i], v[i]);
          }
          break;
        }
        case ppWave:
          P.WaveAmplitude = P.WaveLength = 10;
          P.WavePhase = 0;
          P.WaveReflective = false;
          SetIntEdit(EditWave[0], 10);
          SetIntEdit(EditWave[1], 10);
          SetIntEdit(EditWave[2], 0);
          Reflective.Set(false);
          break;
        case ppMorph:
          P.MorphKind = 0;
          P.MorphWindow = 1;
          MorphKinds.Select(0);
          SetIntEdit(EditWindow, 1);
          break;
        case ppRotate:
          P.Angle = 0;
          TrackRotate.Set(0);
          EditRotate.Set("0");
          FlipHor.Set(false);
          FlipVer.Set(false);
          break;
        case ppFFT:
          GrayScaleCheck.Set(true);
          break;
        default:
          break;
      }
    }
  });
}

// ===========================================================================
// Preview

void TPreviewsLogic::ThumbnailSize(Integer width, Integer height, Integer& tw, Integer& th) {
  tw = th = 1;
  if (width <= 0 || height <= 0) return;
  const Int64 longer = std::max(width, height);
  tw = std::max<Integer>(1, static_cast<Integer>(Int64{width} * 128 / longer));
  th = std::max<Integer>(1, static_cast<Integer>(Int64{height} * 128 / longer));
}

void TPreviewsLogic::HalftoneStretch(TIEBitmap* source, TIEBitmap* dest) {
  const Integer W = source->GetWidth(), H = source->GetHeight();
  const Integer dw = dest->GetWidth(), dh = dest->GetHeight();
  if (W <= 0 || H <= 0 || dw <= 0 || dh <= 0) return;
  // Each destination pixel averages the source block it covers (at least one pixel).
  std::vector<Integer> x0(static_cast<size_t>(dw) + 1);
  for (Integer x = 0; x <= dw; ++x) x0[static_cast<size_t>(x)] = static_cast<Integer>(Int64{x} * W / dw);
  std::vector<uint64_t> sum(static_cast<size_t>(dw) * 3);
  for (Integer y = 0; y < dh; ++y) {
    const Integer ya = static_cast<Integer>(Int64{y} * H / dh);
    const Integer yb = std::max(ya + 1, static_cast<Integer>(Int64{y + 1} * H / dh));
    std::fill(sum.begin(), sum.end(), 0);
    for (Integer sy = ya; sy < yb; ++sy) {
      const Byte* row = static_cast<const Byte*>(source->GetScanLine(sy));
      for (Integer x = 0; x < dw; ++x) {
        const Integer xa = x0[static_cast<size_t>(x)];
        const Integer xb = std::max(xa + 1, x0[static_cast<size_t>(x) + 1]);
        for (Integer sx = xa; sx < xb; ++sx)
          for (int c = 0; c < 3; ++c) sum[static_cast<size_t>(x) * 3 + static_cast<size_t>(c)] += row[sx * 3 + c];
      }
    }
    Byte* out = static_cast<Byte*>(dest->GetScanLine(y));
    for (Integer x = 0; x < dw; ++x) {
      const Integer xa = x0[static_cast<size_t>(x)];
      const uint64_t n = static_cast<uint64_t>(std::max(xa + 1, x0[static_cast<size_t>(x) + 1]) - xa) *
                         static_cast<uint64_t>(yb - ya);
      for (int c = 0; c < 3; ++c)
        out[x * 3 + c] = static_cast<Byte>((sum[static_cast<size_t>(x) * 3 + static_cast<size_t>(c)] + n / 2) / n);
    }
  }
}

void TPreviewsLogic::CopyOrg() {
  if (src_ == nullptr || res_ == nullptr || copying_) return;
  copying_ = true;
  res_->LockPaint();
  try {
    // The preview is what the source view shows, at screen scale.
    const Integer ew = std::max(1, src_->GetExtentX()), eh = std::max(1, src_->GetExtentY());
    TBitmap shown;
    shown.SetPixelFormat(pf24bit);
    shown.SetSize(ew, eh);
    shown.GetCanvas()->GetBrush()->SetColor(src_->GetBackground());
    shown.GetCanvas()->FillRect(TRect{0, 0, ew, eh});
    src_->DrawTo(shown.GetCanvas());
    res_->Assign(&shown);
    TDadirAvProc* rp = res_->GetDadirAvProc();
    rp->ClearAllUndo();
    rp->SaveUndo(ieuImage);
    // The spectrum's transform is built from a thumbnail of the whole source.
    TIEBitmap* bmp = src_->GetIEBitmap();
    if (!ft_) ft_ = std::make_unique<TIEFtImage>();
    ft_->OnProgress = [this](TObject*, Integer per) { Progress.Set(per); };
    ft_->FreeAll();
    if (bmp != nullptr && bmp->GetPixelFormat() == ie24RGB && bmp->GetWidth() > 0 && bmp->GetHeight() > 0) {
      Integer tw = 1, th = 1;
      ThumbnailSize(bmp->GetWidth(), bmp->GetHeight(), tw, th);
      thumb_ = std::make_unique<TIEBitmap>();
      thumb_->SetLocation(ieMemory);
      thumb_->Allocate(tw, th, ie24RGB);
      HalftoneStretch(bmp, thumb_.get());
      ft_->BuildFT(thumb_.get(), GrayScaleCheck.Down ? ieitGrayscale : ieitRGB);
    }
    Progress.Set(0);
    applyAct(res_);
  } catch (...) {
    res_->UnLockPaint();
    copying_ = false;
    throw;
  }
  res_->UnLockPaint();
  copying_ = false;
  if (activePage_ == ppEqualization && RedrawHistogram) RedrawHistogram();
}

void TPreviewsLogic::Refresh() {
  if (res_ == nullptr) return;
  ++refreshes_;
  res_->GetDadirAvProc()->Undo();
  applyAct(res_);
  res_->Update();
  if (activePage_ == ppEqualization && RedrawHistogram) RedrawHistogram();
}

void TPreviewsLogic::RefreshPreview() {
  if (LockPreview.Down) Refresh();
}

void TPreviewsLogic::PreviewClick() { Refresh(); }

void TPreviewsLogic::LockPreviewClick() {
  PreviewButton.Enabled = !LockPreview.Down;
  PreviewButton.Notify();
  if (LockPreview.Down) Refresh();
}

TProgressRec TPreviewsLogic::ProgressRec() {
  TProgressRec rec;
  if (final_) {
    rec.OnProgress = OnProgress;
    rec.Sender = ProgressSender;
  }
  return rec;
}

// ===========================================================================
// The operations

bool TPreviewsLogic::applyAct(TDadirAvView* view) {
  if (view == nullptr) return false;
  TIEBitmap* bmp = view->GetIEBitmap();
  bool done = true;
  if (bmp != nullptr && bmp->GetWidth() > 0 && bmp->GetHeight() > 0) {
    const Integer w = bmp->GetWidth(), h = bmp->GetHeight();
    TProgressRec prog = ProgressRec();
    const TIEProgressEvent& ev = prog.OnProgress;
    TObject* sender = prog.Sender;
    const auto& P = Params;
    // Positions and sizes on the preview are at the source view's screen scale.
    const bool preview = view == res_ && src_ != nullptr;
    const double z = preview ? src_->GetZoom() : 100.0;
    const double vx = preview ? src_->GetViewX() : 0, vy = preview ? src_->GetViewY() : 0;
    auto X = [&](Integer v) { return preview ? TruncSat(v * z / 100 - vx) : v; };
    auto Y = [&](Integer v) { return preview ? TruncSat(v * z / 100 - vy) : v; };
    auto S = [&](Integer v) { return preview ? TruncSat(v * z / 100) : v; };
    switch (activePage_) {
      case ppContrast:
        _ContrastRGB(bmp, P.Contrast, P.MeanR, P.MeanG, P.MeanB, 0, 0, w, h, ev, sender);
        _IntensityRGBall(bmp, P.Brightness, P.Brightness, P.Brightness, 0, 0, w, h, ev, sender);
        break;
      case ppHSL:
        _HSLvar(bmp, P.HSLHue, P.HSLSat, P.HSLLum, 0, 0, w, h, ev, sender);
        break;
      case ppRGB:
        _IntensityRGBall(bmp, P.R, P.G, P.B, 0, 0, w, h, ev, sender);
        break;
      case ppUserFilter:
        _ApplyFilter(bmp, P.Filter, 0, 0, w, h, prog);
        break;
      case ppHSV:
        _HSVvar(bmp, P.HSVHue, P.HSVSat, P.HSVVal, 0, 0, w, h, ev, sender);
        break;
      case ppEqualization:
        _Threshold(bmp, P.ThresholdLow, P.ThresholdHigh, TRGB{0, 0, 0}, TRGB{255, 255, 255}, 0, 0, w,
                   h, ev, sender);
        _HistEqualize(bmp, P.EqualizeLow, P.EqualizeHigh, 0, 0, w, h, ev, sender);
        if (Equalize.Down) _HistAutoEqualize(bmp, 0, 0, w, h, ev, sender);
        break;
      case ppBumpMap:
        _BumpMapping(bmp, X(P.BumpLeft), Y(P.BumpTop), S(P.BumpWidth), S(P.BumpHeight), P.BumpLevel,
                     P.BumpColour, 0, 0, w, h, prog);
        break;
      case ppLens:
        _lens(bmp, X(P.LensLeft), Y(P.LensTop), S(P.LensWidth), S(P.LensHeight), P.LensRefraction,
              prog);
        break;
      case ppWave:
        _wave(bmp, S(P.WaveAmplitude), S(P.WaveLength), P.WavePhase, P.WaveReflective, prog);
        break;
      case ppMorph:
        _MorphFilter(bmp, P.MorphWindow, P.MorphKind, 0, 0, w, h, ev, sender);
        break;
      case ppRotate: {
        TDadirAvProc* proc = view->GetDadirAvProc();
        const TIEProgressEvent saved = proc->OnProgress;
        if (final_ && OnProgress) {
          proc->OnProgress = [this](TObject*, Integer per) { OnProgress(ProgressSender, per); };
        } else {
          proc->OnProgress = nullptr;
        }
        if (FlipHor.Down) proc->Flip(fdHorizontal);
        if (FlipVer.Down) proc->Flip(fdVertical);
        if (P.Angle != 0) proc->Rotate(P.Angle, true, ierFast, -1);
        proc->OnProgress = saved;
        break;
      }
      case ppFFT:
        done = ApplyFFT(view);
        break;
      default:
        break;
    }
  }
  SetMouseInteractForPage();
  return done;
}

bool TPreviewsLogic::ApplyFFT(TDadirAvView* view) {
  if (view == res_) {
    if (!ft_ || !ft_->HasPlanes() || spec_ == nullptr) return true;
    // Filter a copy's worth: the thumbnail's transform itself stays unfiltered.
    TIEFtImage kept;
    kept.Assign(ft_.get());
    if (spec_->GetSelected())
      ft_->ClearZone(spec_->GetSelX1(), spec_->GetSelY1(), spec_->GetSelX2(), spec_->GetSelY2());
    spec_->GetDadirAvProc()->FTDisplayFrom(ft_.get());
    spec_->Fit();
    res_->GetDadirAvProc()->FTConvertFrom(ft_.get());
    Progress.Set(0);
    ft_->Assign(&kept);
    return true;
  }
  // The final application: the transform of the whole image, within the limits
  // every image keeps; past them nothing changes.
  TDadirAvProc* proc = view->GetDadirAvProc();
  const TIEProgressEvent saved = proc->OnProgress;
  if (final_ && OnProgress)
    proc->OnProgress = [this](TObject*, Integer per) { OnProgress(ProgressSender, per); };
  else
    proc->OnProgress = nullptr;
  std::unique_ptr<TIEFtImage> full;
  try {
    full = proc->FTCreateImage(GrayScaleCheck.Down ? ieitGrayscale : ieitRGB, -1, -1);
  } catch (const std::bad_alloc&) {
    full.reset();
  }
  proc->OnProgress = saved;
  if (!full) return false;
  if (spec_ != nullptr && spec_->GetSelected() && ft_ && ft_->GetSize() > 0) {
    const double ratio = static_cast<double>(full->GetSize()) / ft_->GetSize();
    full->ClearZone(TruncSat(spec_->GetSelX1() * ratio), TruncSat(spec_->GetSelY1() * ratio),
                    TruncSat(spec_->GetSelX2() * ratio), TruncSat(spec_->GetSelY2() * ratio));
  }
  if (spec_ != nullptr) spec_->DeSelect();
  proc->FTConvertFrom(full.get());
  return true;
}

void TPreviewsLogic::CopyModToOrg() {
  if (src_ == nullptr) return;
  if (!applyAct(src_)) {
    if (ShowError) ShowError(kTooLargeText);
    return;
  }
  src_->Update();
  CopyOrg();
  ResetParameters(true);
  CopyOrg();
}

bool TPreviewsLogic::OkClick() {
  if (src_ == nullptr) return false;
  final_ = true;
  const bool ok = applyAct(src_);
  final_ = false;
  src_->Update();
  if (!ok && ShowError) ShowError(kTooLargeText);
  return ok;
}

// ===========================================================================
// Handlers

Integer TPreviewsLogic::EditValue(const AnsiString& text, Integer def) {
  Integer v = 0;
  return TryStrToInt(text, v) ? v : def;
}

void TPreviewsLogic::ContrastTrackChange() {
  auto& P = Params;
  if (!changes_ || (TrackContrast.Position == P.Contrast && TrackBrightness.Position == P.Brightness))
    return;
  P.Contrast = TrackContrast.Position;
  P.Brightness = TrackBrightness.Position;
  SetIntEdit(EditContrast, P.Contrast);
  SetIntEdit(EditBrightness, P.Brightness);
  RefreshPreview();
}

void TPreviewsLogic::ContrastEditChange() {
  if (!changes_) return;
  const Integer c = EditValue(EditContrast.Text), b = EditValue(EditBrightness.Text);
  if (c == Params.Contrast && b == Params.Brightness) return;
  TrackContrast.Set(c);
  TrackBrightness.Set(b);
  ContrastTrackChange();
}

namespace {
// The slider handler shared by the three-slider pages.
template <typename Refresh>
void Triple(bool changes, std::array<TPvNumber*, 3> tracks, std::array<Integer*, 3> params,
            std::array<TPvText*, 3> edits, Refresh refresh) {
  if (!changes) return;
  bool differs = false;
  for (size_t i = 0; i < 3; ++i) differs = differs || tracks[i]->Position != *params[i];
  if (!differs) return;
  for (size_t i = 0; i < 3; ++i) {
    *params[i] = tracks[i]->Position;
    edits[i]->Set(IntToStr(*params[i]));
  }
  refresh();
}

template <typename Track>
void TripleEdit(bool changes, std::array<TPvNumber*, 3> tracks, std::array<Integer*, 3> params,
                std::array<TPvText*, 3> edits, Track track) {
  if (!changes) return;
  Integer v[3];
  bool differs = false;
  for (size_t i = 0; i < 3; ++i) {
    v[i] = TPreviewsLogic::EditValue(edits[i]->Text);
    differs = differs || v[i] != *params[i];
  }
  if (!differs) return;
  for (size_t i = 0; i < 3; ++i) tracks[i]->Set(v[i]);
  track();
}
}  // namespace

void TPreviewsLogic::HSLTrackChange() {
  Triple(changes_, {&TrackHSLHue, &TrackHSLSat, &TrackHSLLum},
         {&Params.HSLHue, &Params.HSLSat, &Params.HSLLum}, {&EditHSLHue, &EditHSLSat, &EditHSLLum},
         [this] { RefreshPreview(); });
}
void TPreviewsLogic::HSLEditChange() {
  TripleEdit(changes_, {&TrackHSLHue, &TrackHSLSat, &TrackHSLLum},
             {&Params.HSLHue, &Params.HSLSat, &Params.HSLLum},
             {&EditHSLHue, &EditHSLSat, &EditHSLLum}, [this] { HSLTrackChange(); });
}
void TPreviewsLogic::RGBTrackChange() {
  Triple(changes_, {&TrackRed, &TrackGreen, &TrackBlue}, {&Params.R, &Params.G, &Params.B},
         {&EditRed, &EditGreen, &EditBlue}, [this] { RefreshPreview(); });
}
void TPreviewsLogic::RGBEditChange() {
  TripleEdit(changes_, {&TrackRed, &TrackGreen, &TrackBlue}, {&Params.R, &Params.G, &Params.B},
             {&EditRed, &EditGreen, &EditBlue}, [this] { RGBTrackChange(); });
}
void TPreviewsLogic::HSVTrackChange() {
  Triple(changes_, {&TrackHSVHue, &TrackHSVSat, &TrackHSVVal},
         {&Params.HSVHue, &Params.HSVSat, &Params.HSVVal}, {&EditHSVHue, &EditHSVSat, &EditHSVVal},
         [this] { RefreshPreview(); });
}
void TPreviewsLogic::HSVEditChange() {
  TripleEdit(changes_, {&TrackHSVHue, &TrackHSVSat, &TrackHSVVal},
             {&Params.HSVHue, &Params.HSVSat, &Params.HSVVal},
             {&EditHSVHue, &EditHSVSat, &EditHSVVal}, [this] { HSVTrackChange(); });
}

void TPreviewsLogic::HSVBoxChange() {
  TrackHSVHue.Set(NewColour.Hue - BaseColour.Hue);
  TrackHSVSat.Set(NewColour.Sat - BaseColour.Sat);
  TrackHSVVal.Set(NewColour.Val - BaseColour.Val);
  HSVTrackChange();
}

void TPreviewsLogic::FilterEditChange(Integer tag) {
  if (!changes_ || tag < 0 || tag > 9) return;
  if (tag < 9)
    Params.Filter.Values[tag / 3][tag % 3] = EditValue(EditFilter[static_cast<size_t>(tag)].Text);
  Params.Filter.Divisor = EditValue(EditFilter[9].Text, 1);
  RefreshPreview();
}

void TPreviewsLogic::FilterPresetClick() {
  const Integer i = Presets.ItemIndex;
  if (!changes_ || i < 0 || i > static_cast<Integer>(fpLowPass2)) return;
  Params.Filter = IEGetFilterPreset(static_cast<TIEFilterPresets>(i));
  Quietly(changes_, [&] {
    for (Integer k = 0; k < 9; ++k)
      SetIntEdit(EditFilter[static_cast<size_t>(k)], Params.Filter.Values[k / 3][k % 3]);
    SetIntEdit(EditFilter[9], Params.Filter.Divisor);
  });
  RefreshPreview();
}

void TPreviewsLogic::LoadFilterClick() {
  AnsiString name;
  if (AskLoadFilter && AskLoadFilter(name)) LoadFilterFile(name);
}

void TPreviewsLogic::LoadFilterFile(const AnsiString& fileName) {
  // A file that cannot be read, or is not a whole filter file, changes nothing.
  bool whole = false;
  try {
    TFileStream stream(fileName, fmOpenRead | fmShareDenyWrite);
    Byte head[3] = {};
    whole = stream.GetSize() >= 43 && stream.Read(head, 3) == 3 && head[0] == 1 && head[1] == 3 &&
            head[2] == 3;
  } catch (const Exception&) {
    if (ShowError) ShowError("Cannot open the filter file \"" + fileName + "\".");
    return;
  }
  if (!whole) {
    if (ShowError) ShowError("\"" + fileName + "\" is not a filter file.");
    return;
  }
  try {
    Params.Filter = LoadFilterFromFile(fileName, Params.Filter);
  } catch (const Exception&) {
    if (ShowError) ShowError("Cannot open the filter file \"" + fileName + "\".");
    return;
  }
  Quietly(changes_, [&] {
    for (Integer k = 0; k < 9; ++k)
      SetIntEdit(EditFilter[static_cast<size_t>(k)], Params.Filter.Values[k / 3][k % 3]);
    SetIntEdit(EditFilter[9], Params.Filter.Divisor);
  });
  RefreshPreview();
}

void TPreviewsLogic::SaveFilterClick() {
  AnsiString name;
  if (!AskSaveFilter || !AskSaveFilter(name)) return;
  try {
    SaveFilterToFile(name, Params.Filter);
  } catch (const Exception&) {
    if (ShowError) ShowError("Cannot write the filter file \"" + name + "\".");
  }
}

void TPreviewsLogic::RulerGripMoved(Integer ruler, Integer grip) {
  if (ruler != 1 && ruler != 2) return;
  TPvRuler& r = ruler == 1 ? Ruler1 : Ruler2;
  grip = grip == 0 ? 0 : 1;
  if (r.Grips[1] < r.Grips[0]) {
    if (grip == 0)
      r.Grips[1] = r.Grips[0];
    else
      r.Grips[0] = r.Grips[1];
    r.Notify();
  }
  TPvText& label = ruler == 1 ? (grip == 0 ? Label16 : Label17) : (grip == 0 ? Label20 : Label21);
  label.Set(IntToStr(TruncSat(r.Grips[static_cast<size_t>(grip)])));
  const Byte lo = ByteOf(TruncSat(r.Grips[0])), hi = ByteOf(TruncSat(r.Grips[1]));
  TRGB& low = ruler == 1 ? Params.ThresholdLow : Params.EqualizeLow;
  TRGB& high = ruler == 1 ? Params.ThresholdHigh : Params.EqualizeHigh;
  auto checked = [&](size_t i) { return i < Channels.Checked.size() && Channels.Checked[i]; };
  if (checked(0) || checked(3)) low.r = lo, high.r = hi;
  if (checked(1) || checked(3)) low.g = lo, high.g = hi;
  if (checked(2) || checked(3)) low.b = lo, high.b = hi;
  if (changes_) RefreshPreview();
}

void TPreviewsLogic::ChannelsClick() {
  Integer kind = 0;
  for (size_t i = 0; i < 4 && i < Channels.Checked.size(); ++i)
    if (Channels.Checked[i]) kind |= 1 << i;
  histKind_ = kind;
  if (RedrawHistogram) RedrawHistogram();
}

void TPreviewsLogic::EqualizeClick() {
  if (changes_) RefreshPreview();
}

void TPreviewsLogic::BumpEditChange() {
  if (!changes_) return;
  Integer v[5];
  for (size_t i = 0; i < 5; ++i) v[i] = EditValue(EditBump[i].Text);
  auto& P = Params;
  if (v[0] == P.BumpLeft && v[1] == P.BumpTop && v[2] == P.BumpWidth && v[3] == P.BumpHeight &&
      v[4] == P.BumpLevel)
    return;
  P.BumpLeft = v[0];
  P.BumpTop = v[1];
  P.BumpWidth = v[2];
  P.BumpHeight = v[3];
  P.BumpLevel = v[4];
  RefreshPreview();
}

void TPreviewsLogic::BumpColourChange() {
  if (!changes_) return;
  Params.BumpColour = BumpColour.GetRGB();
  RefreshPreview();
}

void TPreviewsLogic::LensEditChange() {
  if (!changes_) return;
  Integer v[5];
  for (size_t i = 0; i < 5; ++i) v[i] = EditValue(EditLens[i].Text);
  auto& P = Params;
  const double refraction = v[4] / 10.0 + 1;
  if (v[0] == P.LensLeft && v[1] == P.LensTop && v[2] == P.LensWidth && v[3] == P.LensHeight &&
      refraction == P.LensRefraction)
    return;
  P.LensLeft = v[0];
  P.LensTop = v[1];
  P.LensWidth = v[2];
  P.LensHeight = v[3];
  P.LensRefraction = refraction;
  RefreshPreview();
}

void TPreviewsLogic::WaveEditChange() {
  if (!changes_) return;
  auto& P = Params;
  const Integer a = EditValue(EditWave[0].Text), l = EditValue(EditWave[1].Text),
                p = EditValue(EditWave[2].Text);
  if (a == P.WaveAmplitude && l == P.WaveLength && p == P.WavePhase &&
      Reflective.Down == P.WaveReflective)
    return;
  P.WaveAmplitude = a;
  P.WaveLength = l;
  P.WavePhase = p;
  P.WaveReflective = Reflective.Down;
  RefreshPreview();
}

void TPreviewsLogic::MorphChange() {
  if (!changes_) return;
  // The window stays within its up-down's range: a typed 10000 would mean a window
  // of 20001 x 20001 pixels for every pixel.
  const Integer kind = std::clamp(MorphKinds.ItemIndex, 0, 3);
  const Integer window = std::clamp(EditValue(EditWindow.Text, 1), 1, 64);
  if (kind == Params.MorphKind && window == Params.MorphWindow) return;
  Params.MorphKind = kind;
  Params.MorphWindow = window;
  RefreshPreview();
}

void TPreviewsLogic::RotateTrackChange() {
  if (!changes_) return;
  const double angle = TrackRotate.Position / 100.0;
  if (angle == Params.Angle) return;
  Params.Angle = angle;
  EditRotate.Set(FloatToStr(angle));
  RefreshPreview();
}

void TPreviewsLogic::RotateEditChange() {
  if (!changes_) return;
  double angle = static_cast<double>(IEStrToFloatDef(EditRotate.Text, 0));
  if (!std::isfinite(angle)) angle = angle > 0 ? 1e9 : (angle < 0 ? -1e9 : 0);
  if (angle == Params.Angle) return;
  TrackRotate.Set(TruncSat(angle * 100));
  RotateTrackChange();
}

void TPreviewsLogic::FlipClick() {
  if (changes_) RefreshPreview();
}

void TPreviewsLogic::FFTClearClick() { RefreshPreview(); }

void TPreviewsLogic::FFTResetClick() {
  if (spec_ != nullptr) spec_->DeSelect();
  CopyOrg();
}

void TPreviewsLogic::FFTGrayClick() {
  if (changes_) CopyOrg();
}

void TPreviewsLogic::ResultMouse(TMouseButton button, Integer x, Integer y) {
  if (res_ == nullptr || src_ == nullptr) return;
  if (activePage_ == ppHSV) {
    if (button != mbLeft) return;
    TIEBitmap* bmp = res_->GetIEBitmap();
    const Integer bx = res_->XScr2Bmp(x), by = res_->YScr2Bmp(y);
    if (bmp == nullptr || bmp->GetPixelFormat() != ie24RGB || bx < 0 || by < 0 ||
        bx >= bmp->GetWidth() || by >= bmp->GetHeight())
      return;
    BaseColour.SetRGB(bmp->GetPixels_ie24RGB(bx, by));
    HSVBoxChange();
    return;
  }
  if (activePage_ != ppBumpMap && activePage_ != ppLens) return;
  const double z = src_->GetZoom();
  if (!(z > 0)) return;
  const Integer left = TruncSat(100 / z * (x - res_->GetOffsetX())) + src_->GetViewX();
  const Integer top = TruncSat(100 / z * (y - res_->GetOffsetY())) + src_->GetViewY();
  auto& edits = activePage_ == ppBumpMap ? EditBump : EditLens;
  Quietly(changes_, [&] {
    SetIntEdit(edits[0], left);
    SetIntEdit(edits[1], top);
  });
  if (activePage_ == ppBumpMap) {
    Params.BumpLeft = left;
    Params.BumpTop = top;
  } else {
    Params.LensLeft = left;
    Params.LensTop = top;
  }
  Refresh();
}

// ===========================================================================
// Captions

AnsiString TPreviewsLogic::Caption(const std::string& name) const {
  for (const auto& [n, text] : Captions)
    if (n == name) return text;
  return {};
}

void TPreviewsLogic::SetLanguage(TMsgLanguage language) {
  Language = language;
  auto w = [language](Integer n) { return iemsg(static_cast<TMsgLanguageWords>(n), language); };
  auto box = [&](Integer n) { return " " + w(n) + " "; };
  Captions = {
      {"Form", w(0)},
      {"Button3", w(0)},
      {"LabelSource", w(1) + ":"},
      {"LabelResult", w(2) + ":"},
      {"Button1", w(3)},
      {"Button2", w(4)},
      {"SpeedButton1.Hint", w(5)},
      {"Button6.Hint", w(6)},
      {"TabSheet1", w(7)},
      {"LabelContrast", w(7)},
      {"LabelBrightness", w(8) + ":"},
      {"LabelHSVHue", w(9) + " (H):"},
      {"LabelHSVSat", w(10) + " (S):"},
      {"LabelHSVVal", w(11) + " (V):"},
      {"LabelBase", w(12) + ":"},
      {"LabelNew", w(13) + ":"},
      {"LabelHSLHue", w(9) + " (H):"},
      {"LabelHSLSat", w(10) + " (S):"},
      {"LabelHSLLum", w(14) + " (L):"},
      {"LabelRed", w(15) + " (R):"},
      {"LabelGreen", w(16) + " (G):"},
      {"LabelBlue", w(17) + " (B):"},
      {"TabSheet4", w(72)},
      {"GroupFilter", box(18)},
      {"GroupPresets", box(19)},
      {"LabelDivisor", w(20)},
      {"ButtonLoad", w(21)},
      {"ButtonSave", w(22)},
      {"OpenDialog1", w(88)},
      {"SaveDialog1", w(89)},
      {"TabSheet6", w(23)},
      {"LabelEqualization", w(23)},
      {"LabelThreshold", w(24)},
      {"SpeedButton3", w(25)},
      {"GroupHistogram", box(26)},
      {"TabSheet7", w(90)},
      {"GroupLight", box(28)},
      {"LabelBumpLeft", w(29) + ":"},
      {"LabelBumpTop", w(30) + ":"},
      {"LabelBumpWidth", w(31) + ":"},
      {"LabelBumpHeight", w(32) + ":"},
      {"LabelLensLeft", w(29) + ":"},
      {"LabelLensTop", w(30) + ":"},
      {"LabelLensWidth", w(31) + ":"},
      {"LabelLensHeight", w(32) + ":"},
      {"LabelColour", w(33) + ":"},
      {"LabelQuantity", w(34) + " (%):"},
      {"TabSheet8", w(35)},
      {"GroupLens", box(35)},
      {"LabelRefraction", w(36) + ":"},
      {"TabSheet9", w(67)},
      {"GroupWave", box(67)},
      {"LabelAmplitude", w(68)},
      {"LabelWaveLength", w(69)},
      {"LabelPhase", w(70)},
      {"CheckBox2", w(71)},
      {"TabSheet10", w(73)},
      {"GroupMorph", box(73)},
      {"LabelMorphFilter", w(66) + ":"},
      {"LabelWindow", w(74) + ":"},
      {"TabSheet11", w(79)},
      {"LabelRotate", w(79) + ":"},
      {"LabelFlip", w(80)},
      {"SpeedButtonFlipHor", w(81)},
      {"SpeedButtonFlipVer", w(82)},
      {"GroupFFT", box(84)},
      {"Clear", w(85)},
      {"Button7", w(86)},
      {"CheckBox1", w(41)},
  };
  Channels.Items = {w(15), w(16), w(17), w(27)};
  Channels.Notify();
  MorphKinds.Items = {w(75), w(76), w(77), w(78)};
  MorphKinds.Notify();
  Pages[0].Notify();
}
