// The framework's buttons with pictures: TBitBtn (a push button with a glyph, and
// kinds that bring their own caption, glyph and modal result) and TSpeedButton (a
// tool button without a window: grouped, down, flat).
#pragma once

#include <memory>

#include "platform/vcl/Controls.h"
#include "platform/vcl/StdCtrls.h"

enum class TButtonLayout : Byte { blGlyphLeft, blGlyphRight, blGlyphTop, blGlyphBottom };
using enum TButtonLayout;
enum class TButtonState : Byte { bsUp, bsDisabled, bsDown, bsExclusive };
enum class TBitBtnKind : Byte {
  bkCustom, bkOK, bkCancel, bkHelp, bkYes, bkNo, bkClose, bkAbort, bkRetry, bkIgnore, bkAll
};
using enum TBitBtnKind;
using TNumGlyphs = Integer;

// The glyph and caption of a button drawn in rect: the glyph's image for the state
// (a strip of NumGlyphs images: up, disabled, down, exclusive; a missing disabled
// image is the glyph embossed), its bottom-left pixel transparent.
void DrawButtonGlyphAndCaption(TCanvas* canvas, const TRect& rect, TBitmap* glyph, TNumGlyphs numGlyphs,
                               const AnsiString& caption, TButtonLayout layout, Integer margin,
                               Integer spacing, TButtonState state, TColor textColor);

// A push button with a glyph. Kind other than bkCustom gives the button its caption,
// glyph, ModalResult (and Default for bkOK and bkYes, Cancel for bkCancel and bkNo);
// bkClose closes the form.
class TBitBtn : public TButton {
 public:
  LARK_CLASS_NAME(TBitBtn)
  explicit TBitBtn(TComponent* owner);
  ~TBitBtn() override;

  TBitmap* GetGlyph() const noexcept { return glyph_.get(); }
  void SetGlyph(TBitmap* value);
  TNumGlyphs GetNumGlyphs() const noexcept { return numGlyphs_; }
  void SetNumGlyphs(TNumGlyphs value);
  TBitBtnKind GetKind() const noexcept { return kind_; }
  void SetKind(TBitBtnKind value);
  TButtonLayout GetLayout() const noexcept { return layout_; }
  void SetLayout(TButtonLayout value);
  Integer GetMargin() const noexcept { return margin_; }
  void SetMargin(Integer value);
  Integer GetSpacing() const noexcept { return spacing_; }
  void SetSpacing(Integer value);
  void Click() override;

 protected:
  void PaintContent(const TRect& rect) override;

 private:
  std::unique_ptr<TBitmap> glyph_;
  TNumGlyphs numGlyphs_ = 1;
  TBitBtnKind kind_ = bkCustom;
  TButtonLayout layout_ = blGlyphLeft;
  Integer margin_ = -1;
  Integer spacing_ = 4;
};

// A tool button drawn on its parent. With GroupIndex > 0 it stays down when clicked
// and the other buttons of its parent with the same GroupIndex come up (with
// AllowAllUp a click on the down button lets it up). Flat buttons show their face
// only while the mouse is over them or they are down.
class TSpeedButton : public TGraphicControl {
 public:
  LARK_CLASS_NAME(TSpeedButton)
  explicit TSpeedButton(TComponent* owner);
  ~TSpeedButton() override;

  Integer GetGroupIndex() const noexcept { return groupIndex_; }
  void SetGroupIndex(Integer value);
  bool GetDown() const noexcept { return down_; }
  void SetDown(bool value);
  bool GetAllowAllUp() const noexcept { return allowAllUp_; }
  void SetAllowAllUp(bool value);
  bool GetFlat() const noexcept { return flat_; }
  void SetFlat(bool value);
  TBitmap* GetGlyph() const noexcept { return glyph_.get(); }
  void SetGlyph(TBitmap* value);
  TNumGlyphs GetNumGlyphs() const noexcept { return numGlyphs_; }
  void SetNumGlyphs(TNumGlyphs value);
  TButtonLayout GetLayout() const noexcept { return layout_; }
  void SetLayout(TButtonLayout value);
  Integer GetMargin() const noexcept { return margin_; }
  void SetMargin(Integer value);
  Integer GetSpacing() const noexcept { return spacing_; }
  void SetSpacing(Integer value);
  // Whether the mouse is over a flat button.
  bool GetMouseInControl() const noexcept { return mouseIn_; }
  void Click() override;
  void Dispatch(TMessage& message) override;

 protected:
  void Paint() override;
  void MouseDown(TMouseButton button, TShiftState shift, Integer x, Integer y) override;
  void MouseMove(TShiftState shift, Integer x, Integer y) override;
  void MouseUp(TMouseButton button, TShiftState shift, Integer x, Integer y) override;

 private:
  // The others of the group come up when this one goes down.
  void UpdateExclusive();

  std::unique_ptr<TBitmap> glyph_;
  TNumGlyphs numGlyphs_ = 1;
  TButtonLayout layout_ = blGlyphLeft;
  Integer margin_ = -1;
  Integer spacing_ = 4;
  Integer groupIndex_ = 0;
  bool down_ = false;
  bool allowAllUp_ = false;
  bool flat_ = false;
  bool pressing_ = false;   // the mouse button is held on it
  bool dragInside_ = false; // and the mouse is inside
  bool mouseIn_ = false;
};
