// The ruler box: grips and ruler drawn into a bitmap, the unit-to-pixel mapping, the
// limits of grips and view, and dragging with scrolling past the ends.
#include "image/views/rulerbox.h"

#include <algorithm>
#include <cmath>

#include "image/views/boxdrawing.h"
#include "platform/rtl/Math.h"
#include "platform/rtl/Strings.h"
#include "platform/win/Gdi.h"
#include "platform/win/GdiText.h"
#include "platform/win/Input.h"
#include "platform/win/Messages.h"

namespace {

Integer RoundSat(double v) {
  if (!(v == v)) return 0;
  if (v >= 2147483647.0) return 2147483647;
  if (v <= -2147483648.0) return -2147483647 - 1;
  return static_cast<Integer>(Round(v));
}

}  // namespace

TRulerBox::TRulerBox(TComponent* owner) : TCustomControl(owner) {
  SetControlStyle(GetControlStyle() + csOpaque);
  bitmap_ = std::make_unique<TBitmap>();
  bitmap_->SetPixelFormat(pf24bit);
  SetBounds(GetLeft(), GetTop(), 300, 40);
  bitmap_->SetSize(300, 40);
  auto grip = std::make_unique<Grip>();
  grip->color = background_;
  grip->min = viewMin_;
  grip->max = viewMax_;
  grips_.push_back(std::move(grip));
  Update();
}

TRulerBox::~TRulerBox() = default;

Integer TRulerBox::AlongExtent() const {
  return rulerDir_ == rdHorizontal ? bitmap_->GetWidth() : bitmap_->GetHeight();
}

Integer TRulerBox::CrossExtent() const {
  return rulerDir_ == rdHorizontal ? bitmap_->GetHeight() : bitmap_->GetWidth();
}

void TRulerBox::Update() {
  FitDrawingToClient(this, bitmap_.get());
  // Fitting needs a range to fit.
  if (fitInView_ && viewMax_ > viewMin_ && bitmap_->GetWidth() > 0) {
    dotPerUnit_ = bitmap_->GetWidth() / (viewMax_ - viewMin_);
    AdjustViewLimits();
  }
  RepaintGrips();
  RepaintRuler();
  Invalidate();
}

void TRulerBox::Paint() {
  if (!HandleAllocated()) return;
  if (FitDrawingToClient(this, bitmap_.get())) Update();
  GetCanvas()->Draw(0, 0, bitmap_.get());
}

void TRulerBox::Dispatch(TMessage& message) {
  switch (message.Msg) {
    case WM_ERASEBKGND:
      message.Result = 0;
      return;
    case CM_FONTCHANGED:
      TCustomControl::Dispatch(message);
      Update();
      return;
    default:
      TCustomControl::Dispatch(message);
  }
}

// --- Grips ---------------------------------------------------------------------------------------

void TRulerBox::SetGripsCount(Integer n) {
  n = std::max(n, 0);
  if (n == GetGripsCount()) return;
  const size_t old = grips_.size();
  grips_.resize(static_cast<size_t>(n));
  for (size_t i = old; i < grips_.size(); ++i) {
    auto grip = std::make_unique<Grip>();
    grip->color = background_;
    grip->min = viewMin_;
    grip->max = viewMax_;
    grips_[i] = std::move(grip);
  }
  Update();
}

double TRulerBox::GetGripsPos(Integer i) const {
  return i >= 0 && i < GetGripsCount() ? grips_[static_cast<size_t>(i)]->pos : 0;
}

void TRulerBox::FireMove(Integer grip) {
  if (OnRulerPosChange) OnRulerPosChange(this, grip);
}

void TRulerBox::SetGripsPos(Integer i, double v) {
  if (i < 0 || i >= GetGripsCount()) return;
  grips_[static_cast<size_t>(i)]->pos = v;
  AdjustGripLimits(i);
  FireMove(i);
  Update();
  Paint();
}

TColor TRulerBox::GetGripsCol(Integer i) const {
  return i >= 0 && i < GetGripsCount() ? grips_[static_cast<size_t>(i)]->color : 0;
}

void TRulerBox::SetGripsCol(Integer i, TColor c) {
  if (i < 0 || i >= GetGripsCount()) return;
  grips_[static_cast<size_t>(i)]->color = c;
  Update();
}

TGripKind TRulerBox::GetGripsKind(Integer i) const {
  return i >= 0 && i < GetGripsCount() ? grips_[static_cast<size_t>(i)]->kind : gkTriangle;
}

void TRulerBox::SetGripsKind(Integer i, TGripKind k) {
  if (i >= 0 && i < GetGripsCount()) grips_[static_cast<size_t>(i)]->kind = k;
  Update();
}

double TRulerBox::GetGripsMin(Integer i) const {
  return i >= 0 && i < GetGripsCount() ? grips_[static_cast<size_t>(i)]->min : 0;
}

void TRulerBox::SetGripsMin(Integer i, double v) {
  if (i < 0 || i >= GetGripsCount()) return;
  grips_[static_cast<size_t>(i)]->min = v;
  for (Integer k = 0; k < GetGripsCount(); ++k) AdjustGripLimits(k);
  Update();
}

double TRulerBox::GetGripsMax(Integer i) const {
  return i >= 0 && i < GetGripsCount() ? grips_[static_cast<size_t>(i)]->max : 0;
}

void TRulerBox::SetGripsMax(Integer i, double v) {
  if (i < 0 || i >= GetGripsCount()) return;
  grips_[static_cast<size_t>(i)]->max = v;
  for (Integer k = 0; k < GetGripsCount(); ++k) AdjustGripLimits(k);
  Update();
}

void TRulerBox::AdjustGripLimits(Integer i) {
  if (i < 0 || i >= GetGripsCount()) return;
  const Grip& g = *grips_[static_cast<size_t>(i)];
  if (!(g.max > g.min)) return;
  if (g.pos < g.min)
    SetGripsPos(i, g.min);
  else if (g.pos > g.max)
    SetGripsPos(i, g.max);
}

// --- View ------------------------------------------------------------------------------------------

void TRulerBox::AdjustViewLimits() {
  if (viewMin_ >= viewMax_) return;
  if (viewPos_ < viewMin_)
    viewPos_ = viewMin_;
  else if (viewMax_ - GetWidthInUnit() < viewPos_)
    viewPos_ = viewMax_ - GetWidthInUnit();
}

void TRulerBox::SetViewPos(double v) {
  if (!std::isfinite(v)) return;
  viewPos_ = v;
  AdjustViewLimits();
  Update();
  Paint();
}

void TRulerBox::SetViewMin(double v) {
  viewMin_ = v;
  AdjustViewLimits();
  for (auto& g : grips_) g->min = v;
  Update();
}

void TRulerBox::SetViewMax(double v) {
  viewMax_ = v;
  AdjustViewLimits();
  for (auto& g : grips_) g->max = v;
  Update();
}

void TRulerBox::SetDPU(double v) {
  if (GetComponentState().Contains(csDesigning) && fitInView_) return;
  if (!(v > 0) || !std::isfinite(v)) return;
  dotPerUnit_ = v;
  Update();
  Paint();
}

void TRulerBox::SetFrequency(double v) {
  if (!(v > 0) || !std::isfinite(v)) return;
  frequency_ = v;
  Update();
  Paint();
}

void TRulerBox::SetLabelFreq(double v) {
  if (!(v > 0) || !std::isfinite(v)) return;
  labelFreq_ = v;
  Update();
  Paint();
}

void TRulerBox::SetFitInView(bool v) {
  fitInView_ = v;
  Update();
}

void TRulerBox::SetHexLabels(bool v) {
  hexLabels_ = v;
  Update();
}

void TRulerBox::SetRulerDir(TRulerDir v) {
  rulerDir_ = v;
  Update();
}

void TRulerBox::SetRulerColor(TColor v) {
  rulerColor_ = v;
  Update();
}

void TRulerBox::SetRuler(bool v) {
  ruler_ = v;
  Update();
}

void TRulerBox::SetGripsDir(TGripsDir v) {
  gripsDir_ = v;
  Update();
}

void TRulerBox::SetGripBaseDim(Integer v) {
  gripBaseDim_ = v;
  Update();
}

void TRulerBox::SetBackground(TColor v) {
  background_ = v;
  Update();
}

// --- Geometry ----------------------------------------------------------------------------------------

Integer TRulerBox::GetRulerHeight() {
  if (!ruler_) return 0;
  return static_cast<Integer>(std::abs(GetFont()->GetHeight()) * 1.7) + 3;
}

double TRulerBox::GetWidthInUnit() const { return bitmap_->GetWidth() / dotPerUnit_; }

Integer TRulerBox::GetXGripPos(Integer i) const {
  return RoundSat((GetGripsPos(i) - viewPos_) * dotPerUnit_);
}

void TRulerBox::GetGripPoly(Integer i, std::vector<TPoint>& points) {
  points.clear();
  if (i < 0 || i >= GetGripsCount()) return;
  const Integer x = GetComponentState().Contains(csDesigning) ? i * (gripBaseDim_ + 5)
                                                              : GetXGripPos(i);
  const Integer C = CrossExtent(), R = GetRulerHeight();
  const bool up = gripsDir_ == gdUp;
  const Integer b = up ? C - 1 : 0;
  const Integer t = up ? R : C - 1 - R;
  const Integer half = gripBaseDim_ / 2, quarter = gripBaseDim_ / 4;
  switch (GetGripsKind(i)) {
    case gkTriangle:
      points = {{x - half, b}, {x + half, b}, {x, t}};
      break;
    case gkLeftTriangle:
      points = {{x - half, b}, {x, b}, {x, t}};
      break;
    case gkRightTriangle:
      points = {{x, b}, {x + half, b}, {x, t}};
      break;
    case gkArrow: {
      const Integer m = up ? t + (b - t) / 3 : b + (t - b) / 3 * 2;
      points = {{x - quarter, b}, {x + quarter, b}, {x + quarter, m}, {x + half, m},
                {x, t},           {x - half, m},    {x - quarter, m}};
      break;
    }
    case gkArrow2: {
      const Integer m = up ? t + (b - t) / 2 : b + (t - b) / 2;
      points = {{x - half, b}, {x + half, b}, {x + half, m}, {x, t}, {x - half, m}};
      break;
    }
  }
  if (rulerDir_ == rdVertical)
    for (TPoint& p : points) std::swap(p.x, p.y);
}

TRect TRulerBox::GetGripRect(Integer i) {
  std::vector<TPoint> pts;
  GetGripPoly(i, pts);
  if (pts.empty()) return TRect{0, 0, 0, 0};
  TRect r{pts[0].x, pts[0].y, pts[0].x, pts[0].y};
  for (const TPoint& p : pts) {
    r.left = std::min(r.left, p.x);
    r.top = std::min(r.top, p.y);
    r.right = std::max(r.right, p.x);
    r.bottom = std::max(r.bottom, p.y);
  }
  ++r.right;
  ++r.bottom;
  return r;
}

Integer TRulerBox::GetClickedGrip(Integer x, Integer y) {
  for (Integer i = GetGripsCount() - 1; i >= 0; --i) {
    const TRect r = GetGripRect(i);
    if (x >= r.left && x < r.right && y >= r.top && y < r.bottom) return i;
  }
  return -1;
}

// --- Drawing -----------------------------------------------------------------------------------------

void TRulerBox::RepaintGrips() {
  const Integer W = bitmap_->GetWidth(), H = bitmap_->GetHeight();
  if (W <= 0 || H <= 0) return;
  TCanvas* canvas = bitmap_->GetCanvas();
  const Integer R = GetRulerHeight();
  const Integer band = ruler_ ? R + 1 : 0;
  TRect area{0, 0, W, H};
  if (rulerDir_ == rdHorizontal) {
    if (gripsDir_ == gdUp)
      area.top = band;
    else
      area.bottom = H - band;
  } else {
    if (gripsDir_ == gdUp)
      area.left = band;
    else
      area.right = W - band;
  }
  canvas->GetBrush()->SetStyle(bsSolid);
  canvas->GetBrush()->SetColor(background_);
  canvas->FillRect(area);
  canvas->GetPen()->SetMode(pmCopy);
  canvas->GetPen()->SetStyle(psSolid);
  canvas->GetPen()->SetColor(0);
  std::vector<TPoint> pts;
  for (Integer i = 0; i < GetGripsCount(); ++i) {
    GetGripPoly(i, pts);
    canvas->GetBrush()->SetColor(grips_[static_cast<size_t>(i)]->color);
    canvas->Polygon(std::span<const TPoint>(pts.data(), pts.size()));
  }
}

AnsiString TRulerBox::LabelText(double v) const {
  if (!hexLabels_) return FloatToStr(v);
  const double a = std::min(std::fabs(v), 4294967295.0);
  AnsiString hex = IntToHex(static_cast<Int64>(a), 6);
  size_t k = 0;
  while (k < hex.size() && hex[k] == '0') ++k;
  AnsiString out = k == hex.size() ? AnsiString("0") : AnsiString(hex.substr(k));
  return v < 0 ? "-" + out : out;
}

void TRulerBox::RepaintRuler() {
  ticks_.clear();
  labels_.clear();
  labelTexts_.clear();
  if (!ruler_) return;
  const Integer W = bitmap_->GetWidth(), H = bitmap_->GetHeight();
  if (W <= 0 || H <= 0) return;
  const Integer E = AlongExtent();
  const Integer R = GetRulerHeight();
  const bool horizontal = rulerDir_ == rdHorizontal, up = gripsDir_ == gdUp;
  TCanvas* canvas = bitmap_->GetCanvas();
  TRect band{0, 0, W, H};
  if (horizontal) {
    if (up)
      band.bottom = R + 1;
    else
      band.top = H - R - 1;
  } else {
    if (up)
      band.right = R + 1;
    else
      band.left = W - R - 1;
  }
  canvas->GetBrush()->SetStyle(bsSolid);
  canvas->GetBrush()->SetColor(rulerColor_);
  canvas->FillRect(band);
  canvas->SetFont(GetFont());
  canvas->GetPen()->SetMode(pmCopy);
  canvas->GetPen()->SetStyle(psSolid);
  canvas->GetPen()->SetColor(GetFont()->GetColor());
  canvas->GetBrush()->SetStyle(bsClear);
  const Integer half = R / 2, quarter = R / 4;
  const Integer fontHeight = std::abs(GetFont()->GetHeight());

  auto tick = [&](Integer p, Integer len) {
    if (horizontal) {
      const Integer y0 = up ? R : H - R;
      canvas->MoveTo(p, y0);
      canvas->LineTo(p, up ? y0 - len : y0 + len);
    } else {
      const Integer x0 = up ? R : W - R;
      canvas->MoveTo(x0, p);
      canvas->LineTo(up ? x0 - len : x0 + len, p);
    }
  };
  // The multiples of freq from the one at or before ViewPos; at most one per pixel.
  auto marks = [&](double freq, std::vector<Integer>& out, std::vector<double>* values) {
    const double count = std::floor(E / dotPerUnit_ / freq);
    if (!std::isfinite(count) || count < 0) return;
    const Int64 n = static_cast<Int64>(std::min(count, static_cast<double>(E)));
    const double q = viewPos_ / freq;
    const double first = viewPos_ - freq * (q - std::trunc(q));
    for (Int64 k = 0; k <= n + 1; ++k) {
      const double v = static_cast<double>(k) * freq + first;
      out.push_back(RoundSat((v - viewPos_) * dotPerUnit_));
      if (values != nullptr) values->push_back(v);
    }
  };
  marks(frequency_, ticks_, nullptr);
  for (Integer p : ticks_) tick(p, quarter);
  std::vector<double> values;
  marks(labelFreq_, labels_, &values);
  HFONT rotated = 0;
  if (!horizontal) {
    LOGFONT lf{};
    GetObject(GetFont()->GetHandle(), sizeof(lf), &lf);
    lf.lfEscapement = up ? 900 : -900;
    lf.lfOrientation = lf.lfEscapement;
    lf.lfPitchAndFamily = 1;
    rotated = CreateFontIndirect(&lf);
  }
  for (size_t k = 0; k < labels_.size(); ++k) {
    const Integer p = labels_[k];
    tick(p, half);
    const AnsiString text = LabelText(values[k]);
    labelTexts_.push_back(text);
    const Integer tw = canvas->TextWidth(text);
    if (horizontal) {
      canvas->TextOut(p - tw / 2, up ? 0 : H - fontHeight, text);
      continue;
    }
    // The turned copy of the font goes straight to the device context and back out,
    // so the canvas keeps its own font.
    HDC dc = canvas->GetHandle();
    HGDIOBJ oldFont = SelectObject(dc, rotated);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, static_cast<COLORREF>(ColorToRGB(GetFont()->GetColor())));
    if (up)
      ::TextOut(dc, 0, p + tw / 2, text.c_str(), static_cast<Integer>(text.size()));
    else
      ::TextOut(dc, W, p - tw / 2, text.c_str(), static_cast<Integer>(text.size()));
    SelectObject(dc, oldFont);
  }
  if (rotated != 0) DeleteObject(rotated);
  canvas->GetBrush()->SetStyle(bsSolid);
}

// --- Mouse -----------------------------------------------------------------------------------------

void TRulerBox::MouseDown(TMouseButton button, TShiftState shift, Integer x, Integer y) {
  TCustomControl::MouseDown(button, shift, x, y);
  if (button != mbLeft) return;
  grabbed_ = GetClickedGrip(x, y);
  downX_ = x;
  downY_ = y;
  if (grabbed_ >= 0) {
    if (shift.Contains(ssDouble) && OnRulerGripDblClick) OnRulerGripDblClick(this, grabbed_);
    grabbedPixel_ = GetXGripPos(grabbed_);
  } else if (OnRulerClick) {
    OnRulerClick(this, x / dotPerUnit_ + viewPos_);
  }
}

bool TRulerBox::ScrollStep(Integer dir, double gripPos) {
  const double before = viewPos_;
  Grip& g = *grips_[static_cast<size_t>(grabbed_)];
  g.pos = gripPos + dir / dotPerUnit_;
  AdjustGripLimits(grabbed_);
  viewPos_ += dir / dotPerUnit_;
  AdjustViewLimits();
  RepaintGrips();
  RepaintRuler();
  Paint();
  FireMove(grabbed_);
  return viewPos_ != before;
}

void TRulerBox::MouseMove(TShiftState shift, Integer x, Integer y) {
  TCustomControl::MouseMove(shift, x, y);
  if (!GetMouseCapture() || grabbed_ < 0 || grabbed_ >= GetGripsCount()) return;
  const bool horizontal = rulerDir_ == rdHorizontal;
  const Integer c = horizontal ? x : y;
  const Integer down = horizontal ? downX_ : downY_;
  const Integer extent = horizontal ? bitmap_->GetWidth() : bitmap_->GetHeight();
  const bool inRange = horizontal ? c <= extent : c < extent;
  // Past an end the view follows the grip one pixel a step while the button stays
  // down and the pointer stays out; the steps end at the view's limits and are at
  // most the ruler's length for one move, so an unlimited view never loops forever.
  auto pointerCoord = [&]() {
    POINT p{0, 0};
    GetCursorPos(&p);
    if (HandleAllocated()) ::ScreenToClient(GetHandle(), &p);
    return horizontal ? p.x : p.y;
  };
  if (c < 0) {
    for (Integer step = 0; step <= std::max(extent, 1); ++step) {
      const double pos = (grabbedPixel_ - down) / dotPerUnit_ + viewPos_;
      if (!ScrollStep(-1, pos)) break;
      if (pointerCoord() >= 0 || GetAsyncKeyState(VK_LBUTTON) >= 0) break;
    }
  } else if (inRange) {
    SetGripsPos(grabbed_, (c + grabbedPixel_ - down) / dotPerUnit_ + viewPos_);
    Paint();
  } else {
    for (Integer step = 0; step <= std::max(extent, 1); ++step) {
      const double pos = (extent + grabbedPixel_ - down - 1) / dotPerUnit_ + viewPos_;
      if (!ScrollStep(1, pos)) break;
      if (pointerCoord() < extent || GetAsyncKeyState(VK_LBUTTON) >= 0) break;
    }
  }
}

void TRulerBox::MouseUp(TMouseButton button, TShiftState shift, Integer x, Integer y) {
  TCustomControl::MouseUp(button, shift, x, y);
  if (grabbed_ >= 0 && x == downX_ && y == downY_ && OnRulerGripClick)
    OnRulerGripClick(this, grabbed_);
  if (button == mbLeft) grabbed_ = -1;
}

void TRulerBox::Resize() {
  TCustomControl::Resize();
  if (FitDrawingToClient(this, bitmap_.get())) Update();
}
