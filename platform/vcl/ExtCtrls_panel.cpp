// Panels and bevels.
#include <algorithm>

#include "platform/vcl/ClassicLook.h"
#include "platform/vcl/ExtCtrls.h"
#include "platform/win/GdiText.h"

// --- TCustomPanel ------------------------------------------------------------------------

TCustomPanel::TCustomPanel(TComponent* owner) : TCustomControl(owner) {
  SetControlStyle(GetControlStyle() + csAcceptsControls + csOpaque);
  SetBounds(0, 0, 185, 41);
  SetColor(clBtnFace);
  SetParentColor(false);
}

void TCustomPanel::CreateParams(TCreateParams& params) {
  TCustomControl::CreateParams(params);
  if (borderStyle_ == TBorderStyle::bsSingle) params.ExStyle |= WS_EX_CLIENTEDGE;
}

void TCustomPanel::SetBevelOuter(TPanelBevel value) {
  if (value == bevelOuter_) return;
  bevelOuter_ = value;
  Realign();
  Invalidate();
}

void TCustomPanel::SetBevelInner(TPanelBevel value) {
  if (value == bevelInner_) return;
  bevelInner_ = value;
  Realign();
  Invalidate();
}

void TCustomPanel::SetBevelWidth(TBevelWidth value) {
  if (value == bevelWidth_ || value < 1) return;
  bevelWidth_ = value;
  Realign();
  Invalidate();
}

void TCustomPanel::SetBorderWidth(TBorderWidth value) {
  if (value == borderWidth_ || value < 0) return;
  borderWidth_ = value;
  Realign();
  Invalidate();
}

void TCustomPanel::SetBorderStyle(TBorderStyle value) {
  if (value == borderStyle_) return;
  borderStyle_ = value;
  if (HandleAllocated()) RecreateWnd();
}

void TCustomPanel::SetAlignment(TAlignment value) {
  if (value == alignment_) return;
  alignment_ = value;
  Invalidate();
}

Integer TCustomPanel::FrameWidth() const {
  Integer width = borderWidth_;
  if (bevelOuter_ != bvNone) width += bevelWidth_;
  if (bevelInner_ != bvNone) width += bevelWidth_;
  return width;
}

void TCustomPanel::AlignControls(TControl* control, TRect& rect) {
  const Integer frame = FrameWidth();
  InflateRect(&rect, -frame, -frame);
  TCustomControl::AlignControls(control, rect);
}

void TCustomPanel::Dispatch(TMessage& message) {
  switch (message.Msg) {
    case CM_TEXTCHANGED:
    case CM_FONTCHANGED:
    case CM_ENABLEDCHANGED:
      TCustomControl::Dispatch(message);
      Invalidate();
      return;
    case WM_ERASEBKGND:
      message.Result = 1;
      return;
    default:
      TCustomControl::Dispatch(message);
  }
}

void TCustomPanel::Paint() {
  TCanvas* canvas = GetCanvas();
  TRect r = GetClientRect();
  auto bevel = [&](TPanelBevel b) {
    if (b == bvNone) return;
    const TColor topLeft = b == bvLowered ? clBtnShadow : b == bvRaised ? clBtnHighlight : GetColor();
    const TColor bottomRight = b == bvLowered ? clBtnHighlight : b == bvRaised ? clBtnShadow : GetColor();
    classic::Frame3D(canvas, r, topLeft, bottomRight, bevelWidth_);
  };
  bevel(bevelOuter_);
  classic::Frame3D(canvas, r, GetColor(), GetColor(), borderWidth_);
  bevel(bevelInner_);
  canvas->GetBrush()->SetStyle(bsSolid);
  canvas->GetBrush()->SetColor(GetColor());
  canvas->FillRect(r);
  const AnsiString text = GetCaption();
  if (text.empty()) return;
  UINT format = DT_VCENTER | DT_SINGLELINE | DT_EXPANDTABS;
  if (alignment_ == taCenter) format |= DT_CENTER;
  if (alignment_ == taRightJustify) format |= DT_RIGHT;
  classic::DrawCaption(canvas, r, text, format, GetFont()->GetColor(), GetEnabled());
}

// --- TBevel --------------------------------------------------------------------------------

TBevel::TBevel(TComponent* owner) : TGraphicControl(owner) {
  SetControlStyle(GetControlStyle() + csReplicatable);
  SetBounds(0, 0, 50, 50);
}

void TBevel::SetShape(TBevelShape value) {
  if (value == shape_) return;
  shape_ = value;
  Invalidate();
}

void TBevel::SetStyle(TBevelStyle value) {
  if (value == style_) return;
  style_ = value;
  Invalidate();
}

void TBevel::Paint() {
  TCanvas* canvas = GetCanvas();
  const TRect client = GetClientRect();
  const TColor first = style_ == bsLowered ? clBtnShadow : clBtnHighlight;
  const TColor second = style_ == bsLowered ? clBtnHighlight : clBtnShadow;
  const Integer w = client.right;
  const Integer h = client.bottom;
  auto line = [&](Integer x1, Integer y1, Integer x2, Integer y2, TColor color) {
    canvas->GetBrush()->SetStyle(bsSolid);
    canvas->GetBrush()->SetColor(color);
    canvas->FillRect(Rect(x1, y1, x2, y2));
  };
  switch (shape_) {
    case bsBox: {
      TRect r = client;
      classic::Frame3D(canvas, r, first, second, 1);
      break;
    }
    case bsFrame: {
      // Two boxes, one pixel apart: the lowered (or raised) edge and its light twin.
      TRect outer = Rect(0, 0, w - 1, h - 1);
      TRect inner = Rect(1, 1, w, h);
      classic::Frame3D(canvas, inner, second, second, 1);
      classic::Frame3D(canvas, outer, first, first, 1);
      break;
    }
    case bsTopLine:
      line(0, 0, w, 1, first);
      line(0, 1, w, 2, second);
      break;
    case bsBottomLine:
      line(0, h - 2, w, h - 1, first);
      line(0, h - 1, w, h, second);
      break;
    case bsLeftLine:
      line(0, 0, 1, h, first);
      line(1, 0, 2, h, second);
      break;
    case bsRightLine:
      line(w - 2, 0, w - 1, h, first);
      line(w - 1, 0, w, h, second);
      break;
    case bsSpacer:
      break;
  }
}
