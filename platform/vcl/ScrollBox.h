// The framework's scroll box: a container whose children may reach beyond its client
// area, with scroll bars that move them into view.
#pragma once

#include <algorithm>

#include "platform/vcl/Controls.h"
#include "platform/vcl/StdCtrls.h"

class TScrollBox;

// One of a scroll box's two bars. Range is the extent of the content (by default
// what the children need, with AutoScroll); Position how far it is scrolled.
class TControlScrollBar {
 public:
  TControlScrollBar(TScrollBox* control, TScrollBarKind kind) : control_(control), kind_(kind) {}
  TControlScrollBar(const TControlScrollBar&) = delete;
  TControlScrollBar& operator=(const TControlScrollBar&) = delete;

  TScrollBarKind GetKind() const noexcept { return kind_; }
  Integer GetPosition() const noexcept { return position_; }
  // Scrolls the children; clamped to 0..Range - the client size.
  void SetPosition(Integer value);
  Integer GetRange() const noexcept { return range_; }
  void SetRange(Integer value);
  Integer GetIncrement() const noexcept { return increment_; }
  void SetIncrement(Integer value) noexcept { increment_ = std::max(1, value); }
  bool GetVisible() const noexcept { return visible_; }
  void SetVisible(bool value);
  bool GetTracking() const noexcept { return tracking_; }
  void SetTracking(bool value) noexcept { tracking_ = value; }
  // Whether the bar is shown now (visible and the range larger than the client).
  bool IsScrollBarVisible() const;

 private:
  friend class TScrollBox;
  TScrollBox* control_;
  TScrollBarKind kind_;
  Integer position_ = 0;
  Integer range_ = 0;
  Integer increment_ = 8;
  bool visible_ = true;
  bool tracking_ = false;
};

// A scroll box: children beyond the client area make the bars appear; scrolling
// moves the children. The wheel scrolls vertically.
class TScrollBox : public TWinControl {
 public:
  LARK_CLASS_NAME(TScrollBox)
  explicit TScrollBox(TComponent* owner);
  ~TScrollBox() override;

  TControlScrollBar* GetHorzScrollBar() noexcept { return &horz_; }
  TControlScrollBar* GetVertScrollBar() noexcept { return &vert_; }
  // With AutoScroll the ranges follow the children.
  bool GetAutoScroll() const noexcept { return autoScroll_; }
  void SetAutoScroll(bool value);
  TBorderStyle GetBorderStyle() const noexcept { return borderStyle_; }
  void SetBorderStyle(TBorderStyle value);
  // Moves the children by (dx, dy).
  void ScrollBy(Integer dx, Integer dy);
  // Scrolls so that the child is in view.
  void ScrollInView(TControl* control);
  // Computes the ranges again (AutoScroll) and shows or hides the bars.
  void UpdateScrollBars();

  void Dispatch(TMessage& message) override;

 protected:
  void CreateParams(TCreateParams& params) override;
  void CreateWnd() override;
  void AlignControls(TControl* control, TRect& rect) override;

 private:
  friend class TControlScrollBar;
  void HandleScroll(TControlScrollBar& bar, WPARAM request);
  void ApplyBar(TControlScrollBar& bar);

  TControlScrollBar horz_{this, sbHorizontal};
  TControlScrollBar vert_{this, sbVertical};
  bool autoScroll_ = true;
  TBorderStyle borderStyle_ = TBorderStyle::bsSingle;
  bool updating_ = false;
};
