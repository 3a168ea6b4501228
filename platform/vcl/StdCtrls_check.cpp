// Check boxes, radio buttons and group boxes.
#include "platform/vcl/ClassicLook.h"
#include "platform/vcl/StdCtrls.h"
#include "platform/win/GdiText.h"

namespace {

// Lays out a check box or radio button: the mark's rectangle and the caption's.
void LayoutMark(const TRect& client, Integer markSize, TAlignment alignment, TRect& mark,
                TRect& caption) {
  const Integer top = client.top + (client.bottom - client.top - markSize) / 2;
  if (alignment == taLeftJustify) {
    mark = Rect(client.right - markSize, top, client.right, top + markSize);
    caption = Rect(client.left, client.top, mark.left - 4, client.bottom);
  } else {
    mark = Rect(client.left, top, client.left + markSize, top + markSize);
    caption = Rect(mark.right + 4, client.top, client.right, client.bottom);
  }
}

// Draws the caption of a check or radio button, with the focus rectangle around it.
void PaintMarkCaption(TCanvas* canvas, TWinControl* control, const TRect& area) {
  const AnsiString text = control->GetCaption();
  const UINT format = DT_LEFT | DT_VCENTER | DT_SINGLELINE;
  classic::DrawCaption(canvas, area, text, format, control->GetFont()->GetColor(),
                       control->GetEnabled());
  if (!control->HandleAllocated() || !control->Focused()) return;
  const TSize size = classic::MeasureCaption(canvas, area, text, format);
  const Integer top = area.top + (area.bottom - area.top - size.cy) / 2;
  TRect focus = Rect(area.left - 1, top - 1, std::min(area.right, area.left + size.cx + 1),
                     top + size.cy + 1);
  classic::DrawFocusRect(canvas, focus);
}

void FillBackground(TCanvas* canvas, TControl* control) {
  canvas->GetBrush()->SetStyle(bsSolid);
  canvas->GetBrush()->SetColor(control->GetColor());
  canvas->FillRect(control->GetClientRect());
}

}  // namespace

// --- TCustomCheckBox -----------------------------------------------------------------

TCustomCheckBox::TCustomCheckBox(TComponent* owner) : TButtonControl(owner) {
  SetBounds(0, 0, 97, 17);
}

void TCustomCheckBox::SetState(TCheckBoxState value) {
  if (value == state_) return;
  state_ = value;
  Invalidate();
  Click();
}

void TCustomCheckBox::SetAlignment(TAlignment value) {
  if (value == alignment_) return;
  alignment_ = value;
  Invalidate();
}

void TCustomCheckBox::Activate() {
  switch (state_) {
    case cbUnchecked:
      SetState(allowGrayed_ ? cbGrayed : cbChecked);
      break;
    case cbGrayed:
      SetState(cbChecked);
      break;
    case cbChecked:
      SetState(cbUnchecked);
      break;
  }
}

void TCustomCheckBox::Dispatch(TMessage& message) {
  switch (message.Msg) {
    case BM_GETCHECK:
      message.Result = static_cast<LRESULT>(state_);
      return;
    case BM_SETCHECK:
      state_ = message.WParam == BST_CHECKED         ? cbChecked
               : message.WParam == BST_INDETERMINATE ? cbGrayed
                                                     : cbUnchecked;
      Invalidate();
      return;
    default:
      TButtonControl::Dispatch(message);
  }
}

void TCustomCheckBox::Paint() {
  TCanvas* canvas = GetCanvas();
  FillBackground(canvas, this);
  TRect mark, caption;
  LayoutMark(GetClientRect(), classic::kCheckSize, alignment_, mark, caption);
  classic::DrawCheckBox(canvas, mark.left, mark.top, static_cast<Integer>(state_), GetEnabled(),
                        GetPressed());
  PaintMarkCaption(canvas, this, caption);
}

// --- TRadioButton --------------------------------------------------------------------

TRadioButton::TRadioButton(TComponent* owner) : TButtonControl(owner) { SetBounds(0, 0, 113, 17); }

void TRadioButton::SetChecked(bool value) {
  if (value == checked_) return;
  checked_ = value;
  Invalidate();
  if (!value) return;
  // Only one radio button of a parent is checked.
  if (TWinControl* parent = GetParent()) {
    for (Integer i = 0; i < parent->GetControlCount(); ++i) {
      auto* other = dynamic_cast<TRadioButton*>(parent->Controls(i));
      if (other && other != this) other->SetChecked(false);
    }
  }
  Click();
}

void TRadioButton::SetAlignment(TAlignment value) {
  if (value == alignment_) return;
  alignment_ = value;
  Invalidate();
}

void TRadioButton::Dispatch(TMessage& message) {
  switch (message.Msg) {
    case BM_GETCHECK:
      message.Result = checked_ ? BST_CHECKED : BST_UNCHECKED;
      return;
    case BM_SETCHECK:
      checked_ = message.WParam == BST_CHECKED;
      Invalidate();
      return;
    case WM_SETFOCUS:
      TButtonControl::Dispatch(message);
      // Reached by the arrow keys, the focus checks it (the mouse's release checks
      // it, and Tab or the form's activation only give the focus).
      if (::GetKeyState(VK_UP) < 0 || ::GetKeyState(VK_DOWN) < 0 || ::GetKeyState(VK_LEFT) < 0 ||
          ::GetKeyState(VK_RIGHT) < 0) {
        SetChecked(true);
      }
      return;
    default:
      TButtonControl::Dispatch(message);
  }
}

void TRadioButton::Paint() {
  TCanvas* canvas = GetCanvas();
  FillBackground(canvas, this);
  TRect mark, caption;
  LayoutMark(GetClientRect(), classic::kRadioSize, alignment_, mark, caption);
  classic::DrawRadioButton(canvas, mark.left, mark.top, checked_, GetEnabled(), GetPressed());
  PaintMarkCaption(canvas, this, caption);
}

// --- TCustomGroupBox -------------------------------------------------------------------

TCustomGroupBox::TCustomGroupBox(TComponent* owner) : TCustomControl(owner) {
  SetControlStyle(GetControlStyle() + csAcceptsControls);
  SetBounds(0, 0, 185, 105);
  SetParentColor(true);
}

void TCustomGroupBox::Dispatch(TMessage& message) {
  switch (message.Msg) {
    case CM_TEXTCHANGED:
    case CM_ENABLEDCHANGED:
    case CM_FONTCHANGED:
      TCustomControl::Dispatch(message);
      Invalidate();
      return;
    default:
      TCustomControl::Dispatch(message);
  }
}

void TCustomGroupBox::Paint() {
  TCanvas* canvas = GetCanvas();
  FillBackground(canvas, this);
  const TRect client = GetClientRect();
  const AnsiString text = GetCaption();
  const Integer textHeight = canvas->TextHeight("0");
  TRect frame = client;
  frame.top += textHeight / 2;
  classic::DrawFrame(canvas, frame, cfEtched);
  if (text.empty()) return;
  const TSize size = classic::MeasureCaption(canvas, Rect(0, 0, 0x7FFF, 0), text, DT_SINGLELINE);
  TRect caption = Rect(8, 0, 8 + size.cx + 2, textHeight);
  canvas->GetBrush()->SetColor(GetColor());
  canvas->FillRect(caption);
  caption.left += 1;
  classic::DrawCaption(canvas, caption, text, DT_LEFT | DT_SINGLELINE, GetFont()->GetColor(),
                       GetEnabled());
}
