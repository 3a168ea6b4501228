// The HSV colour box: the square and the bar drawn into a bitmap, inverted grips and
// the mouse.
#include "image/views/hsvbox.h"

#include <algorithm>

#include "image/proc/dadiravproc_colour.h"
#include "image/views/boxdrawing.h"
#include "platform/rtl/Math.h"
#include "platform/win/Messages.h"

namespace {

void PutPixel(TBitmap* bitmap, Integer x, Integer y, TRGB c) {
  auto* row = static_cast<Byte*>(bitmap->ScanLine(y));
  row[x * 3] = c.b;
  row[x * 3 + 1] = c.g;
  row[x * 3 + 2] = c.r;
}

Integer RoundInt(double v) { return static_cast<Integer>(Round(v)); }

}  // namespace

THSVBox::THSVBox(TComponent* owner) : TCustomControl(owner) {
  SetControlStyle(GetControlStyle() + csAcceptsControls + csOpaque);
  bitmap_ = std::make_unique<TBitmap>();
  bitmap_->SetPixelFormat(pf24bit);
  SetBounds(GetLeft(), GetTop(), 105, 105);
  bitmap_->SetSize(105, 105);
  DrawHue();
  DrawValSat();
  DrawGrips();
}

THSVBox::~THSVBox() = default;

Integer THSVBox::SquareWidth() const {
  return bitmap_->GetWidth() - barsDistance_ - hueBarWidth_;
}

void THSVBox::DrawValSat() {
  const Integer S = SquareWidth(), H = bitmap_->GetHeight();
  // Nothing to draw in a square without width or height.
  if (S <= 0 || H <= 0) return;
  const double vStep = static_cast<float>(100.0 / H);
  const double sStep = static_cast<float>(100.0 / S);
  for (Integer b = 0; b < H; ++b) {
    const Integer value = static_cast<Integer>(b * vStep);
    for (Integer e = 0; e < S; ++e) {
      TRGB c{};
      HSV2RGB(c, hue_, static_cast<Integer>(e * sStep), value);
      PutPixel(bitmap_.get(), e, H - 1 - b, c);
    }
  }
}

void THSVBox::DrawHue() {
  const Integer W = bitmap_->GetWidth(), H = bitmap_->GetHeight();
  if (W <= 0 || H <= 0) return;
  const Integer S = SquareWidth();
  const Integer rgb = ColorToRGB(background_);
  const TRGB back{static_cast<Byte>((rgb >> 16) & 0xFF), static_cast<Byte>((rgb >> 8) & 0xFF),
                  static_cast<Byte>(rgb & 0xFF)};
  for (Integer row = 0; row < H; ++row) {
    const Integer y = H - 1 - row;
    for (Integer x = std::max(S, 0); x < std::min(S + barsDistance_, W); ++x)
      PutPixel(bitmap_.get(), x, y, back);
    TRGB c{};
    HSV2RGB(c, static_cast<Integer>(static_cast<Int64>(row) * 360 / H), 99, 99);
    for (Integer x = std::max(S + barsDistance_, 0); x < W; ++x) PutPixel(bitmap_.get(), x, y, c);
  }
}

void THSVBox::DrawGrips() {
  const Integer W = bitmap_->GetWidth(), H = bitmap_->GetHeight();
  const Integer S = SquareWidth();
  if (W <= 0 || H <= 0) return;
  TCanvas* canvas = bitmap_->GetCanvas();
  canvas->GetPen()->SetStyle(psSolid);
  canvas->GetPen()->SetMode(pmNot);
  canvas->GetPen()->SetWidth(1);
  canvas->GetBrush()->SetStyle(bsClear);
  const Integer hy = RoundInt((H - 1) * (359 - hue_) / 360.0);
  canvas->Rectangle(W - hueBarWidth_, hy - 2, GetWidth(), hy + 2);
  const Integer sx = RoundInt(sat_ / 99.0 * (S - 1));
  const Integer sy = H - RoundInt((H - 1) * val_ / 99.0);
  canvas->Rectangle(sx - 3, sy - 4, sx + 3, sy + 2);
  canvas->GetPen()->SetMode(pmCopy);
  canvas->GetBrush()->SetStyle(bsSolid);
}

void THSVBox::RecomputeRGB() {
  TRGB c{};
  HSV2RGB(c, hue_, sat_, val_);
  red_ = c.r;
  green_ = c.g;
  blue_ = c.b;
  color_ = static_cast<TColor>(c.r | (c.g << 8) | (c.b << 16));
}

void THSVBox::XMouseMove(Integer x, Integer y) {
  const Integer W = bitmap_->GetWidth(), H = bitmap_->GetHeight();
  const Integer S = SquareWidth();
  // A square or a bar of one pixel or less has no scale to read.
  if (S <= 1 || H <= 1) return;
  if (x < S) {
    DrawGrips();
    sat_ = std::clamp(RoundInt(static_cast<double>(x) / (S - 1) * 99), 0, 99);
    val_ = std::clamp(99 - RoundInt(static_cast<double>(y) / (H - 1) * 99), 0, 99);
  } else if (x >= W - hueBarWidth_) {
    DrawGrips();
    hue_ = std::clamp(359 - RoundInt(static_cast<double>(y) / (H - 1) * 359), 0, 359);
    DrawValSat();
  } else {
    return;  // the gap between square and bar
  }
  RecomputeRGB();
  if (OnChange) OnChange(this);
  DrawGrips();
  Paint();
}

void THSVBox::Paint() {
  if (!HandleAllocated()) return;
  if (FitDrawingToClient(this, bitmap_.get())) Redraw();
  GetCanvas()->Draw(0, 0, bitmap_.get());
}

void THSVBox::Redraw() {
  DrawHue();
  DrawValSat();
  DrawGrips();
  Invalidate();
}

void THSVBox::Dispatch(TMessage& message) {
  switch (message.Msg) {
    case WM_ERASEBKGND:
      message.Result = 0;
      return;
    default:
      TCustomControl::Dispatch(message);
  }
}

void THSVBox::MouseDown(TMouseButton button, TShiftState shift, Integer x, Integer y) {
  TCustomControl::MouseDown(button, shift, x, y);
  if (button != mbLeft) return;
  const Integer W = bitmap_->GetWidth(), S = SquareWidth();
  if (x >= S && x < W - hueBarWidth_) {
    dragMode_ = 0;
    return;
  }
  dragMode_ = x >= W - hueBarWidth_ ? 2 : 1;
  XMouseMove(x, y);
}

void THSVBox::MouseMove(TShiftState shift, Integer x, Integer y) {
  TCustomControl::MouseMove(shift, x, y);
  if (!GetMouseCapture() || dragMode_ == 0) return;
  const Integer W = bitmap_->GetWidth(), H = bitmap_->GetHeight(), S = SquareWidth();
  x = std::max(x, 0);
  y = std::clamp(y, 0, std::max(H - 1, 0));
  if (dragMode_ == 1)
    x = std::min(x, S - 1);
  else
    x = std::clamp(x, S + barsDistance_, std::max(W - 1, S + barsDistance_));
  XMouseMove(x, y);
}

void THSVBox::MouseUp(TMouseButton button, TShiftState shift, Integer x, Integer y) {
  TCustomControl::MouseUp(button, shift, x, y);
  dragMode_ = 0;
}

void THSVBox::SetHue(Integer h) {
  h = std::clamp(h, 0, 359);
  DrawGrips();
  hue_ = h;
  RecomputeRGB();
  DrawValSat();
  DrawGrips();
  Paint();
}

void THSVBox::SetSat(Integer s) {
  DrawGrips();
  sat_ = std::clamp(s, 0, 99);
  RecomputeRGB();
  DrawGrips();
  Paint();
}

void THSVBox::SetVal(Integer v) {
  DrawGrips();
  val_ = std::clamp(v, 0, 99);
  RecomputeRGB();
  DrawGrips();
  Paint();
}

void THSVBox::SetRGB(Byte r, Byte g, Byte b) {
  DrawGrips();
  red_ = r;
  green_ = g;
  blue_ = b;
  RGB2HSV(TRGB{b, g, r}, hue_, sat_, val_);
  color_ = static_cast<TColor>(r | (g << 8) | (b << 16));
  DrawValSat();
  DrawGrips();
  Paint();
}

void THSVBox::SetColor(TColor c) {
  DrawGrips();
  const Integer rgb = ColorToRGB(c);
  red_ = static_cast<Byte>(rgb & 0xFF);
  green_ = static_cast<Byte>((rgb >> 8) & 0xFF);
  blue_ = static_cast<Byte>((rgb >> 16) & 0xFF);
  RGB2HSV(TRGB{blue_, green_, red_}, hue_, sat_, val_);
  color_ = c;
  DrawValSat();
  DrawGrips();
  Paint();
}

void THSVBox::SetBackground(TColor value) {
  background_ = value;
  Redraw();
}

void THSVBox::SetHueBarWidth(Integer value) {
  if (value < 0) return;
  hueBarWidth_ = value;
  Redraw();
}

void THSVBox::SetBarsDistance(Integer value) {
  if (value < 0) return;
  barsDistance_ = value;
  Redraw();
}

void THSVBox::Resize() {
  TCustomControl::Resize();
  if (FitDrawingToClient(this, bitmap_.get())) Redraw();
}
