// TLabel: text drawn on the parent's window.
#include <cctype>

#include "platform/vcl/ClassicLook.h"
#include "platform/vcl/StdCtrls.h"
#include "platform/win/GdiText.h"

TCustomLabel::TCustomLabel(TComponent* owner) : TGraphicControl(owner) {
  SetControlStyle(GetControlStyle() + csOpaque + csReplicatable);
  SetBounds(0, 0, 65, 17);
  SetParentColor(true);
}

void TCustomLabel::SetAlignment(TAlignment value) {
  if (value == alignment_) return;
  alignment_ = value;
  Invalidate();
}

void TCustomLabel::SetAutoSize(bool value) {
  if (value == autoSize_) return;
  autoSize_ = value;
  AdjustBounds();
}

void TCustomLabel::SetLayout(TTextLayout value) {
  if (value == layout_) return;
  layout_ = value;
  Invalidate();
}

void TCustomLabel::SetWordWrap(bool value) {
  if (value == wordWrap_) return;
  wordWrap_ = value;
  AdjustBounds();
}

void TCustomLabel::SetTransparent(bool value) {
  if (value == transparent_) return;
  transparent_ = value;
  SetControlStyle(value ? GetControlStyle() - csOpaque : GetControlStyle() + csOpaque);
  Invalidate();
}

void TCustomLabel::SetShowAccelChar(bool value) {
  if (value == showAccelChar_) return;
  showAccelChar_ = value;
  AdjustBounds();
}

void TCustomLabel::SetFocusControl(TWinControl* value) {
  if (focusControl_) focusControl_->RemoveFreeNotification(this);
  focusControl_ = value;
  if (value) value->FreeNotification(this);
}

void TCustomLabel::Notification(TComponent* component, TOperation operation) {
  TGraphicControl::Notification(component, operation);
  if (operation == TOperation::opRemove && component == focusControl_) focusControl_ = nullptr;
}

UINT TCustomLabel::TextFormat() const {
  UINT format = DT_EXPANDTABS;
  if (wordWrap_) format |= DT_WORDBREAK;
  if (!showAccelChar_) format |= DT_NOPREFIX;
  if (alignment_ == taCenter) format |= DT_CENTER;
  if (alignment_ == taRightJustify) format |= DT_RIGHT;
  return format;
}

void TCustomLabel::AdjustBounds() {
  if (!autoSize_) {
    Invalidate();
    return;
  }
  // Measured on a canvas of the screen's DC with the label's font.
  TCanvas canvas;
  HDC dc = ::GetDC(0);
  canvas.SetHandle(dc);
  canvas.GetFont()->Assign(GetFont());
  AnsiString text = GetCaption();
  if (text.empty()) text = " ";
  const TSize size = classic::MeasureCaption(
      &canvas, Rect(0, 0, wordWrap_ ? GetWidth() : 0x7FFF, 0), text, TextFormat());
  canvas.SetHandle(0);
  ::ReleaseDC(0, dc);
  Integer left = GetLeft();
  if (!wordWrap_ && alignment_ == taRightJustify) left += GetWidth() - size.cx;
  if (!wordWrap_ && alignment_ == taCenter) left += (GetWidth() - size.cx) / 2;
  Invalidate();
  SetBounds(left, GetTop(), wordWrap_ ? GetWidth() : size.cx, size.cy);
  Invalidate();
}

void TCustomLabel::Dispatch(TMessage& message) {
  switch (message.Msg) {
    case CM_TEXTCHANGED:
    case CM_FONTCHANGED:
      TGraphicControl::Dispatch(message);
      AdjustBounds();
      return;
    case CM_DIALOGCHAR: {
      // The caption's mnemonic gives the focus to FocusControl.
      const AnsiString text = GetCaption();
      const char ch = static_cast<char>(message.WParam);
      for (size_t i = 0; i + 1 < text.size(); ++i) {
        if (text[i] != '&') continue;
        if (text[i + 1] == '&') {
          ++i;
          continue;
        }
        if (std::toupper(static_cast<unsigned char>(text[i + 1])) ==
                std::toupper(static_cast<unsigned char>(ch)) &&
            showAccelChar_ && focusControl_ && focusControl_->CanFocus() && GetShowing()) {
          focusControl_->SetFocus();
          message.Result = 1;
          return;
        }
        break;
      }
      TGraphicControl::Dispatch(message);
      return;
    }
    default:
      TGraphicControl::Dispatch(message);
  }
}

void TCustomLabel::Paint() {
  TCanvas* canvas = GetCanvas();
  TRect r = GetClientRect();
  if (!transparent_) {
    canvas->GetBrush()->SetStyle(bsSolid);
    canvas->GetBrush()->SetColor(GetColor());
    canvas->FillRect(r);
  }
  const AnsiString text = GetCaption();
  if (layout_ != tlTop) {
    const TSize size = classic::MeasureCaption(canvas, r, text, TextFormat());
    const Integer room = (r.bottom - r.top) - size.cy;
    r.top += layout_ == tlCenter ? room / 2 : room;
  }
  classic::DrawCaption(canvas, r, text, TextFormat(), GetFont()->GetColor(), GetEnabled());
}
