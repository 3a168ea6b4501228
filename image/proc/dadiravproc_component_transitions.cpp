// TIETransitionEffects: timer-driven frames from a source snapshot to a target one.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "image/proc/dadiravproc.h"
#include "platform/rtl/Math.h"
#include "platform/vcl/Timer.h"
#include "platform/win/Gdi.h"
#include "platform/win/Messages.h"

namespace {

constexpr Integer kFullStep = 1024;

std::unique_ptr<TBitmap> NewShot() {
  auto bitmap = std::make_unique<TBitmap>();
  bitmap->SetPixelFormat(TPixelFormat::pf24bit);
  bitmap->SetSize(1, 1);
  return bitmap;
}

Integer RoundInt(double value) { return static_cast<Integer>(Round(value)); }

// (weight x n) >> 10 in 64 bits: weight is 0..1024, n a side of up to 2^28 pixels.
Integer Part(Integer weight, Integer n) {
  return static_cast<Integer>((static_cast<Int64>(weight) * n) >> 10);
}

HDC DcOf(TBitmap* bitmap) { return bitmap->GetCanvas()->GetHandle(); }

void CopyPixels(Byte* dest, const Byte* src, Integer pixels) {
  if (pixels > 0) std::memmove(dest, src, static_cast<size_t>(pixels) * 3);
}

}  // namespace

TIETransitionEffects::TIETransitionEffects(TIETransitionView* view)
    : view_(view), sourceShot_(NewShot()), targetShot_(NewShot()), currentFrame_(NewShot()) {
  // The timer belongs to the view when the view is a component, as its other parts do.
  timer_ = new TTimer(dynamic_cast<TComponent*>(view));
  timer_->SetEnabled(false);
  timer_->SetInterval(1);
  timer_->SetOnTimer([this](TObject* sender) { TimerEvent(sender); });
}

TIETransitionEffects::~TIETransitionEffects() {
  running_ = false;
  delete timer_;
}

void TIETransitionEffects::SetSizes(Integer width, Integer height) {
  Stop();
  width_ = std::max(width, 0);
  height_ = std::max(height, 0);
  for (TBitmap* bitmap : {currentFrame_.get(), sourceShot_.get(), targetShot_.get()})
    bitmap->SetSize(width_, height_);
}

void TIETransitionEffects::Run(bool updateOnStop) {
  if (transition_ == TIETransitionType::iettNone) return;
  if (running_) view_->NPUnLockPaint();
  updateOnStop_ = updateOnStop;
  running_ = true;
  step_ = 0;
  drawnCount_ = 0;
  bool sized = true;
  for (TBitmap* bitmap : {currentFrame_.get(), sourceShot_.get(), targetShot_.get()})
    sized = sized && bitmap->GetWidth() == width_ && bitmap->GetHeight() == height_ &&
            bitmap->GetPixelFormat() == TPixelFormat::pf24bit;
  // The rows are walked at width x height: bitmaps the owner reshaped cannot run.
  if ((width_ < 2 && height_ < 2) || !sized) {
    running_ = false;
    timer_->SetEnabled(false);
    return;
  }
  view_->LockPaint();
  sourceRows_.assign(static_cast<size_t>(height_), nullptr);
  targetRows_.assign(static_cast<size_t>(height_), nullptr);
  frameRows_.assign(static_cast<size_t>(height_), nullptr);
  for (Integer y = 0; y < height_; ++y) {
    sourceRows_[static_cast<size_t>(y)] = static_cast<Byte*>(sourceShot_->ScanLine(y));
    targetRows_[static_cast<size_t>(y)] = static_cast<Byte*>(targetShot_->ScanLine(y));
    frameRows_[static_cast<size_t>(y)] = static_cast<Byte*>(currentFrame_->ScanLine(y));
  }
  startTick_ = GetTickCount();
  timer_->SetEnabled(true);
}

void TIETransitionEffects::Stop() {
  // Ends whatever runs, even when the owner changed Transition meanwhile, so the
  // timer never keeps firing with the view locked.
  if (!running_) return;
  timer_->SetEnabled(false);
  running_ = false;
  sourceRows_.clear();
  targetRows_.clear();
  frameRows_.clear();
  for (TBitmap* bitmap : {currentFrame_.get(), sourceShot_.get(), targetShot_.get()})
    bitmap->SetSize(1, 1);
  width_ = 1;
  height_ = 1;
  view_->NPUnLockPaint();
  if (updateOnStop_) view_->Update();
}

void TIETransitionEffects::TimerEvent(TObject* /*sender*/) {
  if (!running_) return;
  DrawStep(step_);
  BitBlt(view_->GetCanvas()->GetHandle(), 0, 0, width_, height_, DcOf(currentFrame_.get()), 0, 0,
         SRCCOPY);
  const DWORD elapsed = GetTickCount() - startTick_;
  // A duration of 0 or less has nothing to show after the first frame.
  if (duration_ <= 0 || elapsed >= static_cast<DWORD>(duration_)) {
    Stop();
    return;
  }
  const double step = std::trunc(static_cast<double>(elapsed) / duration_ * kFullStep);
  step_ = step >= kFullStep ? kFullStep : static_cast<Integer>(step);
}

void TIETransitionEffects::DrawStep(Integer step) {
  using T = TIETransitionType;
  switch (transition_) {
    case T::iettNone: break;
    case T::iettCrossDissolve: CrossDissolve(step); break;
    case T::iettFadeOut: FadeOut(step); break;
    case T::iettFadeIn: FadeIn(step); break;
    case T::iettFadeOutIn: FadeOutIn(step); break;
    case T::iettLeftRight1: LeftRight1(step); break;
    case T::iettLeftRight2: LeftRight2(step); break;
    case T::iettRightLeft1: RightLeft1(step); break;
    case T::iettRightLeft2: RightLeft2(step); break;
    case T::iettUpDown1: UpDown1(step); break;
    case T::iettUpDown2: UpDown2(step); break;
    case T::iettDownUp1: DownUp1(step); break;
    case T::iettDownUp2: DownUp2(step); break;
    case T::iettFromUpLeft: FromUpLeft(step); break;
    case T::iettFromUpRight: FromUpRight(step); break;
    case T::iettFromBottomLeft: FromBottomLeft(step); break;
    case T::iettFromBottomRight: FromBottomRight(step); break;
    case T::iettMoveLeftRight1: MoveLeftRight1(step); break;
    case T::iettMoveLeftRight2: MoveLeftRight2(step); break;
    case T::iettMoveRightLeft1: MoveRightLeft1(step); break;
    case T::iettMoveRightLeft2: MoveRightLeft2(step); break;
    case T::iettMoveUpDown1: MoveUpDown1(step); break;
    case T::iettMoveUpDown2: MoveUpDown2(step); break;
    case T::iettMoveDownUp1: MoveDownUp1(step); break;
    case T::iettMoveDownUp2: MoveDownUp2(step); break;
    case T::iettRandomPoints: RandomPoints(step); break;
    case T::iettRandomBoxes: RandomBoxes(step); break;
    case T::iettCenter1: Center1(step); break;
    case T::iettCenter2: Center2(step); break;
    case T::iettCenterZoom1: CenterZoom1(step); break;
    case T::iettCenterZoom2: CenterZoom2(step); break;
  }
}

// --- Helpers

void TIETransitionEffects::Blend(const std::vector<Byte*>& a, const std::vector<Byte*>& b,
                                 Integer step) {
  if (!RowsReady()) return;
  const Integer wa = kFullStep - step;
  const size_t bytes = static_cast<size_t>(width_) * 3;
  for (size_t y = 0; y < frameRows_.size(); ++y) {
    const Byte* pa = a[y];
    const Byte* pb = b[y];
    Byte* pf = frameRows_[y];
    for (size_t i = 0; i < bytes; ++i) pf[i] = static_cast<Byte>((pa[i] * wa + pb[i] * step) >> 10);
  }
}

void TIETransitionEffects::BlendColor(const std::vector<Byte*>& rows, TRGB color, Integer step,
                                      bool colorFirst) {
  if (!RowsReady()) return;
  // colorFirst: the colour weighs 1024 - step and the rows step; otherwise the reverse.
  const Integer wRows = colorFirst ? step : kFullStep - step;
  const Integer wColor = kFullStep - wRows;
  const Integer c[3] = {color.b * wColor, color.g * wColor, color.r * wColor};
  for (size_t y = 0; y < frameRows_.size(); ++y) {
    const Byte* p = rows[y];
    Byte* pf = frameRows_[y];
    for (Integer x = 0; x < width_; ++x, p += 3, pf += 3) {
      pf[0] = static_cast<Byte>((p[0] * wRows + c[0]) >> 10);
      pf[1] = static_cast<Byte>((p[1] * wRows + c[1]) >> 10);
      pf[2] = static_cast<Byte>((p[2] * wRows + c[2]) >> 10);
    }
  }
}

void TIETransitionEffects::Blit(TBitmap* src, Integer dx, Integer dy, Integer width,
                                Integer height, Integer sx, Integer sy) {
  // Clipped to both bitmaps (all three have the frame's size).
  if (dx < 0) { width += dx; sx -= dx; dx = 0; }
  if (dy < 0) { height += dy; sy -= dy; dy = 0; }
  if (sx < 0) { width += sx; dx -= sx; sx = 0; }
  if (sy < 0) { height += sy; dy -= sy; sy = 0; }
  width = std::min({width, width_ - dx, width_ - sx});
  height = std::min({height, height_ - dy, height_ - sy});
  if (width <= 0 || height <= 0) return;
  BitBlt(DcOf(currentFrame_.get()), dx, dy, width, height, DcOf(src), sx, sy, SRCCOPY);
}

void TIETransitionEffects::SourceFirst(Integer step) {
  if (step == 0) Blit(sourceShot_.get(), 0, 0, width_, height_, 0, 0);
}

void TIETransitionEffects::RedLine(Integer x1, Integer y1, Integer x2, Integer y2) {
  TCanvas* canvas = currentFrame_->GetCanvas();
  canvas->GetPen()->SetColor(clRed);
  canvas->MoveTo(x1, y1);
  canvas->LineTo(x2, y2);
}

TRect TIETransitionEffects::CenterRect(Integer step) const {
  const Integer x = width_ / 2 - Part(step, width_ / 2);
  const Integer y = height_ / 2 - Part(step, height_ / 2);
  return TRect{x, y, x + Part(step, width_), y + Part(step, height_)};
}

// --- Blends

void TIETransitionEffects::CrossDissolve(Integer step) { Blend(sourceRows_, targetRows_, step); }

void TIETransitionEffects::FadeOut(Integer step) {
  BlendColor(sourceRows_, TColor2TRGB(view_->GetBackground()), step, false);
}

void TIETransitionEffects::FadeIn(Integer step) {
  BlendColor(targetRows_, TColor2TRGB(view_->GetBackground()), step, true);
}

void TIETransitionEffects::FadeOutIn(Integer step) {
  if (step < 512)
    FadeOut(2 * step);
  else
    FadeIn(2 * step - kFullStep);
}

// --- Wipes

void TIETransitionEffects::LeftRight1(Integer step) {
  SourceFirst(step);
  Blit(targetShot_.get(), 0, 0, Part(step, width_), height_, 0, 0);
}

void TIETransitionEffects::LeftRight2(Integer step) {
  LeftRight1(step);
  const Integer x = Part(step, width_);
  RedLine(x, 0, x, height_);
}

void TIETransitionEffects::RightLeft1(Integer step) {
  SourceFirst(step);
  const Integer x = RoundInt(static_cast<double>(width_) * (kFullStep - step) / kFullStep);
  Blit(targetShot_.get(), x, 0, RoundInt(static_cast<double>(step) * width_ / kFullStep), height_, x,
       0);
}

void TIETransitionEffects::RightLeft2(Integer step) {
  RightLeft1(step);
  const Integer x = RoundInt(static_cast<double>(width_) * (kFullStep - step) / kFullStep);
  RedLine(x, 0, x, height_);
}

void TIETransitionEffects::UpDown1(Integer step) {
  SourceFirst(step);
  Blit(targetShot_.get(), 0, 0, width_, RoundInt(static_cast<double>(step) * height_ / kFullStep), 0,
       0);
}

void TIETransitionEffects::UpDown2(Integer step) {
  UpDown1(step);
  const Integer y = RoundInt(static_cast<double>(step) * height_ / kFullStep);
  RedLine(0, y, width_, y);
}

void TIETransitionEffects::DownUp1(Integer step) {
  SourceFirst(step);
  const Integer y = RoundInt(static_cast<double>(height_) * (kFullStep - step) / kFullStep);
  Blit(targetShot_.get(), 0, y, width_, RoundInt(static_cast<double>(step) * height_ / kFullStep), 0,
       y);
}

void TIETransitionEffects::DownUp2(Integer step) {
  DownUp1(step);
  const Integer y = RoundInt(static_cast<double>(height_) * (kFullStep - step) / kFullStep);
  RedLine(0, y, width_, y);
}

// --- The target sliding in from a corner

void TIETransitionEffects::FromUpLeft(Integer step) {
  SourceFirst(step);
  const Integer dx = Part(kFullStep - step, width_);
  const Integer dy = Part(kFullStep - step, height_);
  Blit(targetShot_.get(), -dx, -dy, width_, height_, 0, 0);
}

void TIETransitionEffects::FromUpRight(Integer step) {
  SourceFirst(step);
  const Integer dx = Part(kFullStep - step, width_);
  const Integer dy = Part(kFullStep - step, height_);
  Blit(targetShot_.get(), dx, -dy, width_, height_, 0, 0);
}

void TIETransitionEffects::FromBottomLeft(Integer step) {
  SourceFirst(step);
  const Integer dx = Part(kFullStep - step, width_);
  const Integer dy = Part(kFullStep - step, height_);
  Blit(targetShot_.get(), -dx, dy, width_, height_, 0, 0);
}

void TIETransitionEffects::FromBottomRight(Integer step) {
  SourceFirst(step);
  const Integer dx = Part(kFullStep - step, width_);
  const Integer dy = Part(kFullStep - step, height_);
  Blit(targetShot_.get(), dx, dy, width_, height_, 0, 0);
}

// --- Pushes and slides, row by row

void TIETransitionEffects::MoveLeftRight1(Integer step) {
  if (!RowsReady()) return;
  const Integer c = Part(step, width_);
  for (size_t y = 0; y < frameRows_.size(); ++y) {
    CopyPixels(frameRows_[y], targetRows_[y] + 3 * (width_ - c), c);
    CopyPixels(frameRows_[y] + 3 * c, sourceRows_[y], width_ - c);
  }
}

void TIETransitionEffects::MoveLeftRight2(Integer step) {
  if (!RowsReady()) return;
  const Integer c = Part(step, width_);
  for (size_t y = 0; y < frameRows_.size(); ++y) {
    CopyPixels(frameRows_[y], targetRows_[y], c);
    CopyPixels(frameRows_[y] + 3 * c, sourceRows_[y], width_ - c);
  }
}

void TIETransitionEffects::MoveRightLeft1(Integer step) {
  if (!RowsReady()) return;
  const Integer c = Part(kFullStep - step, width_);
  for (size_t y = 0; y < frameRows_.size(); ++y) {
    CopyPixels(frameRows_[y], sourceRows_[y] + 3 * (width_ - c), c);
    CopyPixels(frameRows_[y] + 3 * c, targetRows_[y], width_ - c);
  }
}

void TIETransitionEffects::MoveRightLeft2(Integer step) {
  if (!RowsReady()) return;
  const Integer c = Part(kFullStep - step, width_);
  for (size_t y = 0; y < frameRows_.size(); ++y) {
    CopyPixels(frameRows_[y], sourceRows_[y], c);
    CopyPixels(frameRows_[y] + 3 * c, targetRows_[y], width_ - c);
  }
}

void TIETransitionEffects::MoveUpDown1(Integer step) {
  if (!RowsReady()) return;
  const Integer c = Part(step, height_);
  for (Integer y = 0; y < height_; ++y) {
    const Byte* src = y < c ? targetRows_[static_cast<size_t>(height_ - c + y)]
                            : sourceRows_[static_cast<size_t>(y - c)];
    CopyPixels(frameRows_[static_cast<size_t>(y)], src, width_);
  }
}

void TIETransitionEffects::MoveUpDown2(Integer step) {
  if (!RowsReady()) return;
  const Integer c = Part(step, height_);
  for (Integer y = 0; y < height_; ++y) {
    const Byte* src =
        y < c ? targetRows_[static_cast<size_t>(y)] : sourceRows_[static_cast<size_t>(y - c)];
    CopyPixels(frameRows_[static_cast<size_t>(y)], src, width_);
  }
}

void TIETransitionEffects::MoveDownUp1(Integer step) {
  if (!RowsReady()) return;
  const Integer c = Part(kFullStep - step, height_);
  for (Integer y = 0; y < height_; ++y) {
    const Byte* src = y < c ? sourceRows_[static_cast<size_t>(height_ - c + y)]
                            : targetRows_[static_cast<size_t>(y - c)];
    CopyPixels(frameRows_[static_cast<size_t>(y)], src, width_);
  }
}

void TIETransitionEffects::MoveDownUp2(Integer step) {
  if (!RowsReady()) return;
  const Integer c = Part(kFullStep - step, height_);
  for (Integer y = 0; y < height_; ++y) {
    const Byte* src = y < c ? sourceRows_[static_cast<size_t>(height_ - c + y)]
                            : targetRows_[static_cast<size_t>(y)];
    CopyPixels(frameRows_[static_cast<size_t>(y)], src, width_);
  }
}

// --- Random dissolves

void TIETransitionEffects::RandomPoints(Integer step) {
  if (!RowsReady()) return;
  if (step == 0) {
    for (size_t y = 0; y < frameRows_.size(); ++y) CopyPixels(frameRows_[y], sourceRows_[y], width_);
    return;
  }
  const Integer total = RoundInt(static_cast<double>(step) * width_ * (step / 180.0) / kFullStep);
  const Integer n = total - drawnCount_;
  drawnCount_ = total;
  if (n <= 0 || width_ <= 0) return;
  std::uniform_int_distribution<Integer> column(0, width_ - 1);
  for (size_t y = 0; y < frameRows_.size(); ++y)
    for (Integer i = 0; i < n; ++i) {
      const Integer x = column(random_);
      CopyPixels(frameRows_[y] + 3 * x, targetRows_[y] + 3 * x, 1);
    }
}

void TIETransitionEffects::RandomBoxes(Integer step) {
  if (!RowsReady()) return;
  if (step == 0) {
    for (size_t y = 0; y < frameRows_.size(); ++y) CopyPixels(frameRows_[y], sourceRows_[y], width_);
    return;
  }
  const double blocks = static_cast<double>((static_cast<Int64>(width_) * height_) / 64);
  const Integer total = RoundInt(step * blocks * (step / 180.0) / kFullStep);
  const Integer n = total - drawnCount_;
  drawnCount_ = total;
  if (n <= 0 || width_ <= 0 || height_ <= 0) return;
  std::uniform_int_distribution<Integer> column(0, width_ - 1);
  std::uniform_int_distribution<Integer> row(0, height_ - 1);
  for (Integer i = 0; i < n; ++i) {
    const Integer x = column(random_) & ~7;
    const Integer y = row(random_) & ~7;
    const Integer w = std::min(8, width_ - x);
    for (Integer r = y; r < std::min(y + 8, height_); ++r)
      CopyPixels(frameRows_[static_cast<size_t>(r)] + 3 * x,
                 targetRows_[static_cast<size_t>(r)] + 3 * x, w);
  }
}

// --- From the centre

void TIETransitionEffects::Center1(Integer step) {
  SourceFirst(step);
  const TRect r = CenterRect(step);
  Blit(targetShot_.get(), r.left, r.top, r.right - r.left, r.bottom - r.top, r.left, r.top);
}

void TIETransitionEffects::Center2(Integer step) {
  Blit(targetShot_.get(), 0, 0, width_, height_, 0, 0);
  const TRect r = CenterRect(kFullStep - step);
  Blit(sourceShot_.get(), r.left, r.top, r.right - r.left, r.bottom - r.top, r.left, r.top);
}

void TIETransitionEffects::CenterZoom1(Integer step) {
  SourceFirst(step);
  const TRect r = CenterRect(step);
  if (r.right <= r.left || r.bottom <= r.top) return;
  StretchBlt(DcOf(currentFrame_.get()), r.left, r.top, r.right - r.left, r.bottom - r.top,
             DcOf(targetShot_.get()), 0, 0, width_, height_, SRCCOPY);
}

void TIETransitionEffects::CenterZoom2(Integer step) {
  Blit(targetShot_.get(), 0, 0, width_, height_, 0, 0);
  const TRect r = CenterRect(kFullStep - step);
  if (r.right <= r.left || r.bottom <= r.top) return;
  StretchBlt(DcOf(currentFrame_.get()), r.left, r.top, r.right - r.left, r.bottom - r.top,
             DcOf(sourceShot_.get()), 0, 0, width_, height_, SRCCOPY);
}
