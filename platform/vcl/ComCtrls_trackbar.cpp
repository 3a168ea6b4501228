// TTrackBar: a thumb slid along a channel.
#include <algorithm>

#include "platform/vcl/ClassicLook.h"
#include "platform/vcl/ComCtrlsBasic.h"

namespace {

// The margin between the control's edge and the channel's ends, and the channel's
// thickness.
constexpr Integer kEdge = 8;
constexpr Integer kChannel = 4;
constexpr Integer kThumbWidth = 11;

}  // namespace

TTrackBar::TTrackBar(TComponent* owner) : TCustomControl(owner) {
  SetBounds(0, 0, 150, 45);
  SetTabStop(true);
  SetColor(clBtnFace);
  SetControlStyle(GetControlStyle() - csClickEvents - csDoubleClicks);
}

void TTrackBar::SetParams(Integer position, Integer min, Integer max) {
  if (max < min) max = min;
  const Integer clamped = std::clamp(position, min, max);
  const bool changed = clamped != position_;
  min_ = min;
  max_ = max;
  position_ = clamped;
  Invalidate();
  if (changed && OnChange) OnChange(this);
}

void TTrackBar::SetMin(Integer value) { SetParams(position_, value, std::max(value, max_)); }
void TTrackBar::SetMax(Integer value) { SetParams(position_, std::min(min_, value), value); }
void TTrackBar::SetPosition(Integer value) { SetParams(value, min_, max_); }

void TTrackBar::SetOrientation(TTrackBarOrientation value) {
  if (value == orientation_) return;
  orientation_ = value;
  SetBounds(GetLeft(), GetTop(), GetHeight(), GetWidth());
  Invalidate();
}

void TTrackBar::SetFrequency(Integer value) {
  if (value == frequency_) return;
  frequency_ = std::max(1, value);
  Invalidate();
}

void TTrackBar::SetThumbLength(Integer value) {
  if (value == thumbLength_) return;
  thumbLength_ = std::max(4, value);
  Invalidate();
}

void TTrackBar::SetTickMarks(TTickMark value) {
  if (value == tickMarks_) return;
  tickMarks_ = value;
  Invalidate();
}

void TTrackBar::SetTickStyle(TTickStyle value) {
  if (value == tickStyle_) return;
  tickStyle_ = value;
  Invalidate();
}

void TTrackBar::SetSelStart(Integer value) {
  selStart_ = value;
  Invalidate();
}

void TTrackBar::SetSelEnd(Integer value) {
  selEnd_ = value;
  Invalidate();
}

TRect TTrackBar::ChannelRect() {
  const TRect c = GetClientRect();
  // The thumb lies across the channel; the ticks go beside the thumb.
  const Integer across = tickMarks_ == tmBoth ? ((Horizontal() ? c.bottom : c.right) - thumbLength_) / 2
                         : tickMarks_ == tmTopLeft && tickStyle_ != tsNone ? 8 : 4;
  const Integer middle = across + thumbLength_ / 2;
  if (Horizontal()) return Rect(kEdge, middle - kChannel / 2, c.right - kEdge, middle + kChannel / 2);
  return Rect(middle - kChannel / 2, kEdge, middle + kChannel / 2, c.bottom - kEdge);
}

Integer TTrackBar::PixelOf(Integer position) {
  const TRect ch = ChannelRect();
  const Integer length = (Horizontal() ? ch.right - ch.left : ch.bottom - ch.top) - kThumbWidth;
  const Integer start = (Horizontal() ? ch.left : ch.top) + kThumbWidth / 2;
  if (max_ == min_ || length <= 0) return start;
  return start + static_cast<Integer>(static_cast<int64_t>(position - min_) * length / (max_ - min_));
}

Integer TTrackBar::PositionAt(Integer pixel) {
  const TRect ch = ChannelRect();
  const Integer length = (Horizontal() ? ch.right - ch.left : ch.bottom - ch.top) - kThumbWidth;
  const Integer start = (Horizontal() ? ch.left : ch.top) + kThumbWidth / 2;
  if (length <= 0) return min_;
  // Rounded to the nearest position.
  const int64_t offset = std::clamp<int64_t>(pixel - start, 0, length);
  return min_ + static_cast<Integer>((offset * (max_ - min_) + length / 2) / length);
}

TRect TTrackBar::ThumbRect() {
  const TRect ch = ChannelRect();
  const Integer at = PixelOf(position_);
  if (Horizontal()) {
    const Integer top = (ch.top + ch.bottom) / 2 - thumbLength_ / 2;
    return Rect(at - kThumbWidth / 2, top, at - kThumbWidth / 2 + kThumbWidth, top + thumbLength_);
  }
  const Integer left = (ch.left + ch.right) / 2 - thumbLength_ / 2;
  return Rect(left, at - kThumbWidth / 2, left + thumbLength_, at - kThumbWidth / 2 + kThumbWidth);
}

void TTrackBar::KeyDown(Word& key, TShiftState shift) {
  TCustomControl::KeyDown(key, shift);
  switch (key) {
    case VK_LEFT:
    case VK_UP: SetPosition(position_ - lineSize_); break;
    case VK_RIGHT:
    case VK_DOWN: SetPosition(position_ + lineSize_); break;
    case VK_PRIOR: SetPosition(position_ - pageSize_); break;
    case VK_NEXT: SetPosition(position_ + pageSize_); break;
    case VK_HOME: SetPosition(min_); break;
    case VK_END: SetPosition(max_); break;
    default: return;
  }
  key = 0;
}

void TTrackBar::MouseDown(TMouseButton button, TShiftState shift, Integer x, Integer y) {
  TCustomControl::MouseDown(button, shift, x, y);
  if (button != mbLeft) return;
  if (CanFocus() && !Focused()) SetFocus();
  const TRect thumb = ThumbRect();
  const Integer along = Horizontal() ? x : y;
  if (PtInRect(&thumb, Point(x, y))) {
    dragging_ = true;
    dragOffset_ = along - PixelOf(position_);
    return;
  }
  // Beside the thumb: a page towards the click.
  SetPosition(position_ + (along < PixelOf(position_) ? -pageSize_ : pageSize_));
}

void TTrackBar::MouseMove(TShiftState shift, Integer x, Integer y) {
  TCustomControl::MouseMove(shift, x, y);
  if (!dragging_) return;
  SetPosition(PositionAt((Horizontal() ? x : y) - dragOffset_));
}

void TTrackBar::MouseUp(TMouseButton button, TShiftState shift, Integer x, Integer y) {
  TCustomControl::MouseUp(button, shift, x, y);
  if (button == mbLeft) dragging_ = false;
}

void TTrackBar::Dispatch(TMessage& message) {
  switch (message.Msg) {
    case WM_GETDLGCODE:
      message.Result = DLGC_WANTARROWS;
      return;
    case TBM_GETPOS:
      message.Result = position_;
      return;
    case TBM_SETPOS:
      SetPosition(static_cast<Integer>(message.LParam));
      return;
    case TBM_GETRANGEMIN:
      message.Result = min_;
      return;
    case TBM_GETRANGEMAX:
      message.Result = max_;
      return;
    case TBM_SETRANGE:
      SetParams(position_, static_cast<short>(LOWORD(message.LParam)), static_cast<short>(HIWORD(message.LParam)));
      return;
    case TBM_SETRANGEMIN:
      SetMin(static_cast<Integer>(message.LParam));
      return;
    case TBM_SETRANGEMAX:
      SetMax(static_cast<Integer>(message.LParam));
      return;
    case TBM_SETPAGESIZE:
      message.Result = pageSize_;
      SetPageSize(static_cast<Integer>(message.LParam));
      return;
    case TBM_GETPAGESIZE:
      message.Result = pageSize_;
      return;
    case TBM_SETLINESIZE:
      message.Result = lineSize_;
      SetLineSize(static_cast<Integer>(message.LParam));
      return;
    case TBM_GETLINESIZE:
      message.Result = lineSize_;
      return;
    case TBM_GETTHUMBRECT:
      if (message.LParam) *reinterpret_cast<RECT*>(message.LParam) = ThumbRect();
      return;
    case TBM_GETCHANNELRECT:
      if (message.LParam) *reinterpret_cast<RECT*>(message.LParam) = ChannelRect();
      return;
    case TBM_SETTHUMBLENGTH:
      SetThumbLength(static_cast<Integer>(message.WParam));
      return;
    case TBM_GETTHUMBLENGTH:
      message.Result = thumbLength_;
      return;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      Invalidate();
      TCustomControl::Dispatch(message);
      return;
    case WM_ERASEBKGND:
      message.Result = 1;
      return;
    case CM_ENABLEDCHANGED:
      TCustomControl::Dispatch(message);
      Invalidate();
      return;
    default:
      TCustomControl::Dispatch(message);
  }
}

void TTrackBar::Paint() {
  TCanvas* canvas = GetCanvas();
  const TRect client = GetClientRect();
  canvas->GetBrush()->SetStyle(bsSolid);
  canvas->GetBrush()->SetColor(GetColor());
  canvas->FillRect(client);
  // The channel, sunk.
  const TRect channel = ChannelRect();
  const TRect inside = classic::DrawFrame(canvas, channel, cfSunken);
  canvas->GetBrush()->SetColor(clWindow);
  canvas->FillRect(inside);
  // The ticks: every Frequency positions, and always at both ends.
  const TRect thumb = ThumbRect();
  if (tickStyle_ != tsNone) {
    canvas->GetBrush()->SetColor(clBtnText);
    auto tick = [&](Integer position, Integer size) {
      const Integer at = PixelOf(position);
      if (tickMarks_ == tmBottomRight || tickMarks_ == tmBoth) {
        if (Horizontal()) canvas->FillRect(Rect(at, thumb.bottom + 2, at + 1, thumb.bottom + 2 + size));
        else canvas->FillRect(Rect(thumb.right + 2, at, thumb.right + 2 + size, at + 1));
      }
      if (tickMarks_ == tmTopLeft || tickMarks_ == tmBoth) {
        if (Horizontal()) canvas->FillRect(Rect(at, thumb.top - 2 - size, at + 1, thumb.top - 2));
        else canvas->FillRect(Rect(thumb.left - 2 - size, at, thumb.left - 2, at + 1));
      }
    };
    for (int64_t p = min_; p <= max_; p += frequency_) tick(static_cast<Integer>(p), 3);
    tick(max_, 3);
  }
  // The thumb: a raised block.
  const TRect face = classic::DrawFrame(canvas, thumb, cfRaised);
  if (GetEnabled()) {
    canvas->GetBrush()->SetStyle(bsSolid);
    canvas->GetBrush()->SetColor(clBtnFace);
    canvas->FillRect(face);
  } else {
    classic::FillTrack(canvas, face);
  }
  if (HandleAllocated() && Focused()) classic::DrawFocusRect(canvas, client);
}
