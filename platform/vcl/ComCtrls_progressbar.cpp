// The progress bar: a sunken field filled from the left (from the bottom when
// vertical) in blocks of the highlight colour, or smoothly.
#include <algorithm>

#include "platform/vcl/ClassicLook.h"
#include "platform/vcl/ComCtrls.h"

TProgressBar::TProgressBar(TComponent* owner) : TCustomControl(owner) {
  SetColor(clBtnFace);
  SetBounds(0, 0, 150, 16);
}

void TProgressBar::SetMin(Integer value) { SetRange(value, max_); }
void TProgressBar::SetMax(Integer value) { SetRange(min_, value); }

void TProgressBar::SetRange(Integer min, Integer max) {
  if (min > max) throw EInvalidOperation("Property value out of range");
  if (min == min_ && max == max_) return;
  min_ = min;
  max_ = max;
  position_ = std::clamp(position_, min_, max_);
  Invalidate();
}

void TProgressBar::SetPosition(Integer value) {
  value = std::clamp(value, min_, max_);
  if (value == position_) return;
  position_ = value;
  Invalidate();
}

void TProgressBar::StepIt() { StepBy(step_); }

void TProgressBar::StepBy(Integer delta) {
  const Int64 next = Int64{position_} + delta;
  SetPosition(next > max_ ? min_ + static_cast<Integer>((next - min_) % (Int64{max_} - min_ + 1)) : static_cast<Integer>(std::max<Int64>(next, min_)));
}

void TProgressBar::SetSmooth(bool value) {
  if (value == smooth_) return;
  smooth_ = value;
  Invalidate();
}

void TProgressBar::SetOrientation(TProgressBarOrientation value) {
  if (value == orientation_) return;
  orientation_ = value;
  Invalidate();
}

void TProgressBar::Paint() {
  TCanvas* canvas = GetCanvas();
  const TRect client = GetClientRect();
  canvas->GetBrush()->SetColor(clBtnFace);
  canvas->GetBrush()->SetStyle(bsSolid);
  canvas->FillRect(client);
  const TRect field = classic::DrawFrame(canvas, client, cfSunkenOuter);
  const bool vertical = orientation_ == pbVertical;
  const Integer length = vertical ? field.bottom - field.top - 2 : field.right - field.left - 2;
  const Integer thickness = vertical ? field.right - field.left - 2 : field.bottom - field.top - 2;
  if (length <= 0 || thickness <= 0 || max_ == min_) return;
  const Integer filled = static_cast<Integer>(Int64{length} * (position_ - min_) / (Int64{max_} - min_));
  canvas->GetBrush()->SetColor(clHighlight);
  auto fill = [&](Integer from, Integer to) {
    if (vertical) {
      canvas->FillRect(Rect(field.left + 1, field.bottom - 1 - to, field.right - 1, field.bottom - 1 - from));
    } else {
      canvas->FillRect(Rect(field.left + 1 + from, field.top + 1, field.left + 1 + to, field.bottom - 1));
    }
  };
  if (smooth_) {
    fill(0, filled);
    return;
  }
  // Blocks two thirds as long as the bar is thick, two pixels apart; the last one
  // shows once it is reached.
  const Integer block = std::max<Integer>(2, thickness * 2 / 3);
  for (Integer at = 0; at < filled; at += block + 2) fill(at, std::min(at + block, length));
}
