// The framework's extra controls: panels, bevels, images, radio groups and splitters,
// drawn in the classic look (ClassicLook.h).
#pragma once

#include <algorithm>

#include <memory>
#include <vector>

#include "platform/rtl/Lists.h"
#include "platform/vcl/Controls.h"
#include "platform/vcl/StdCtrls.h"

// ---------------------------------------------------------------------------------
// TPanel

enum class TPanelBevel : Byte { bvNone, bvLowered, bvRaised, bvSpace };
using enum TPanelBevel;
using TBevelWidth = Integer;
using TBorderWidth = Integer;

// A panel: a container with an outer and an inner bevel, a border between them, and a
// caption in the middle. Children align inside the bevels and border.
class TCustomPanel : public TCustomControl {
 public:
  LARK_CLASS_NAME(TCustomPanel)
  explicit TCustomPanel(TComponent* owner);

  TPanelBevel GetBevelOuter() const noexcept { return bevelOuter_; }
  void SetBevelOuter(TPanelBevel value);
  TPanelBevel GetBevelInner() const noexcept { return bevelInner_; }
  void SetBevelInner(TPanelBevel value);
  TBevelWidth GetBevelWidth() const noexcept { return bevelWidth_; }
  void SetBevelWidth(TBevelWidth value);
  TBorderWidth GetBorderWidth() const noexcept { return borderWidth_; }
  void SetBorderWidth(TBorderWidth value);
  TBorderStyle GetBorderStyle() const noexcept { return borderStyle_; }
  void SetBorderStyle(TBorderStyle value);
  TAlignment GetAlignment() const noexcept { return alignment_; }
  void SetAlignment(TAlignment value);

  void Dispatch(TMessage& message) override;

 protected:
  void CreateParams(TCreateParams& params) override;
  void Paint() override;
  void AlignControls(TControl* control, TRect& rect) override;
  // How far in from the client edge the bevels and border reach.
  Integer FrameWidth() const;

 private:
  TPanelBevel bevelOuter_ = bvRaised;
  TPanelBevel bevelInner_ = bvNone;
  TBevelWidth bevelWidth_ = 1;
  TBorderWidth borderWidth_ = 0;
  TBorderStyle borderStyle_ = TBorderStyle::bsNone;
  TAlignment alignment_ = taCenter;
};

class TPanel : public TCustomPanel {
 public:
  LARK_CLASS_NAME(TPanel)
  explicit TPanel(TComponent* owner) : TCustomPanel(owner) {}
};

// ---------------------------------------------------------------------------------
// TBevel

enum class TBevelShape : Byte { bsBox, bsFrame, bsTopLine, bsBottomLine, bsLeftLine, bsRightLine, bsSpacer };
using enum TBevelShape;
enum class TBevelStyle : Byte { bsLowered, bsRaised };
using enum TBevelStyle;

// A bevel: a box, a frame or a line drawn on the parent, lowered or raised.
class TBevel : public TGraphicControl {
 public:
  LARK_CLASS_NAME(TBevel)
  explicit TBevel(TComponent* owner);
  TBevelShape GetShape() const noexcept { return shape_; }
  void SetShape(TBevelShape value);
  TBevelStyle GetStyle() const noexcept { return style_; }
  void SetStyle(TBevelStyle value);

 protected:
  void Paint() override;

 private:
  TBevelShape shape_ = bsBox;
  TBevelStyle style_ = bsLowered;
};

// ---------------------------------------------------------------------------------
// TImage

// An image: shows its Picture at its top-left corner, centred (Center) or stretched
// to the control (Stretch); a transparent image lets the parent show through the
// bitmap's transparent colour. Canvas draws on the picture's bitmap (made empty at the
// control's size when the picture holds none); a picture of another kind cannot be
// drawn on (EInvalidOperation).
class TImage : public TGraphicControl {
 public:
  LARK_CLASS_NAME(TImage)
  explicit TImage(TComponent* owner);
  ~TImage() override;

  TPicture* GetPicture() const noexcept { return picture_.get(); }
  void SetPicture(TPicture* value) { picture_->Assign(value); }
  bool GetStretch() const noexcept { return stretch_; }
  void SetStretch(bool value);
  bool GetCenter() const noexcept { return center_; }
  void SetCenter(bool value);
  bool GetProportional() const noexcept { return proportional_; }
  void SetProportional(bool value);
  bool GetTransparent() const noexcept { return transparent_; }
  void SetTransparent(bool value);
  // With AutoSize the control takes the picture's size.
  bool GetAutoSize() const noexcept { return autoSize_; }
  void SetAutoSize(bool value);
  TCanvas* GetCanvas();
  // Where the picture is drawn in the control.
  TRect DestRect() const;

 protected:
  void Paint() override;

 private:
  void PictureChanged();

  std::unique_ptr<TPicture> picture_;
  bool stretch_ = false;
  bool center_ = false;
  bool proportional_ = false;
  bool transparent_ = false;
  bool autoSize_ = false;
  bool drawing_ = false;
};

// ---------------------------------------------------------------------------------
// TRadioGroup

// A group box of radio buttons made from Items, in Columns. ItemIndex is the checked
// one (-1 none); the user's choice fires OnClick.
class TCustomRadioGroup : public TCustomGroupBox {
 public:
  LARK_CLASS_NAME(TCustomRadioGroup)
  explicit TCustomRadioGroup(TComponent* owner);
  ~TCustomRadioGroup() override;

  TStrings* GetItems() const noexcept { return items_.get(); }
  void SetItems(TStrings* value) { items_->Assign(value); }
  Integer GetItemIndex() const noexcept { return itemIndex_; }
  void SetItemIndex(Integer value);
  Integer GetColumns() const noexcept { return columns_; }
  void SetColumns(Integer value);
  // The radio button of an item.
  TRadioButton* Buttons(Integer index) const;

  void Dispatch(TMessage& message) override;

 protected:
  void ArrangeButtons();
  void UpdateButtons();
  void UpdateTabStops();

 private:
  std::unique_ptr<TStringList> items_;
  std::vector<TRadioButton*> buttons_;
  Integer itemIndex_ = -1;
  Integer columns_ = 1;
  bool updating_ = false;
};

class TRadioGroup : public TCustomRadioGroup {
 public:
  LARK_CLASS_NAME(TRadioGroup)
  explicit TRadioGroup(TComponent* owner) : TCustomRadioGroup(owner) {}
};

// ---------------------------------------------------------------------------------
// TSplitter

enum class TResizeStyle : Byte { rsNone, rsLine, rsUpdate, rsPattern };
using enum TResizeStyle;
using TCanResizeEvent = std::function<void(TObject* sender, Integer& newSize, bool& accept)>;

// A splitter: a bar aligned beside another aligned control; dragging it resizes that
// control (the one it touches on the side it is aligned to), keeping both that
// control and the rest of the parent at least MinSize.
class TSplitter : public TGraphicControl {
 public:
  LARK_CLASS_NAME(TSplitter)
  explicit TSplitter(TComponent* owner);

  Integer GetMinSize() const noexcept { return minSize_; }
  void SetMinSize(Integer value) noexcept { minSize_ = std::max(1, value); }
  TResizeStyle GetResizeStyle() const noexcept { return resizeStyle_; }
  void SetResizeStyle(TResizeStyle value) noexcept { resizeStyle_ = value; }
  bool GetBeveled() const noexcept { return beveled_; }
  void SetBeveled(bool value);
  // The control it resizes (found at each press).
  TControl* FindControl();

  TCanResizeEvent OnCanResize;
  TNotifyEvent OnMoved;

 protected:
  void Paint() override;
  void MouseDown(TMouseButton button, TShiftState shift, Integer x, Integer y) override;
  void MouseMove(TShiftState shift, Integer x, Integer y) override;
  void MouseUp(TMouseButton button, TShiftState shift, Integer x, Integer y) override;

 private:
  bool Vertical() const { return GetAlign() == alLeft || GetAlign() == alRight; }
  void UpdateSize(Integer newSize);

  Integer minSize_ = 30;
  TResizeStyle resizeStyle_ = rsPattern;
  bool beveled_ = false;
  TControl* control_ = nullptr;
  TPoint downPos_{};
  Integer startSize_ = 0;
  Integer maxSize_ = 0;
  bool dragging_ = false;
};
