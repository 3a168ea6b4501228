// The message box and ShowMessage: an icon, the text wrapped, the buttons centred
// below it.
#include <algorithm>
#include <vector>

#include "platform/vcl/Application.h"
#include "platform/vcl/Dialogs.h"
#include "platform/vcl/DialogsInternal.h"
#include "platform/vcl/StdCtrls.h"
#include "platform/win/MessageBox.h"

namespace {

constexpr Integer kMargin = 12;
constexpr Integer kIconSize = 32;
constexpr Integer kMaxTextWidth = 360;
constexpr Integer kButtonWidth = 75;
constexpr Integer kButtonHeight = 23;
constexpr Integer kButtonGap = 6;

const char* ButtonCaption(Integer id) {
  switch (id) {
    case IDOK: return "OK";
    case IDCANCEL: return "Cancel";
    case IDABORT: return "&Abort";
    case IDRETRY: return "&Retry";
    case IDIGNORE: return "&Ignore";
    case IDYES: return "&Yes";
    case IDNO: return "&No";
  }
  return "";
}

class TMessageForm : public TDialogForm {
 public:
  TMessageForm(sim::DialogKind kind, const AnsiString& text, UINT type)
      : TDialogForm(kind), type_(type), icon_(type & 0xF0) {
    const MessageBoxButtons set = MessageBoxButtonsOf(type);
    const Integer defaultIndex = MessageBoxDefaultIndex(type);
    default_ = set.Buttons[defaultIndex];
    // Escape gives Cancel where there is one, and OK in a box with OK alone.
    cancel_ = 0;
    for (int i = 0; i < set.Count; ++i)
      if (set.Buttons[i] == IDCANCEL) cancel_ = IDCANCEL;
    if (set.Count == 1) cancel_ = set.Buttons[0];

    const Integer textLeft = icon_ ? kMargin + kIconSize + kMargin : kMargin;
    const TSize textSize = MeasureText(GetFont(), text, kMaxTextWidth);
    const Integer contentHeight = std::max<Integer>(icon_ ? kIconSize : 0, textSize.cy);
    auto* label = new TLabel(this);
    label->SetParent(this);
    label->SetShowAccelChar(false);
    label->SetWordWrap(true);
    label->SetAutoSize(false);
    label->SetCaption(text);
    label->SetBounds(textLeft, kMargin + (contentHeight - textSize.cy) / 2, textSize.cx, textSize.cy);

    const Integer buttonsWidth = set.Count * kButtonWidth + (set.Count - 1) * kButtonGap;
    const Integer clientWidth =
        std::max({textLeft + textSize.cx + kMargin, buttonsWidth + 2 * kMargin, Integer{120}});
    const Integer buttonTop = kMargin + contentHeight + 14;
    SetClientWidth(clientWidth);
    SetClientHeight(buttonTop + kButtonHeight + 10);
    Integer x = (clientWidth - buttonsWidth) / 2;
    for (int i = 0; i < set.Count; ++i) {
      auto* button = new TButton(this);
      button->SetParent(this);
      button->SetCaption(ButtonCaption(set.Buttons[i]));
      button->SetModalResult(set.Buttons[i]);
      button->SetBounds(x, buttonTop, kButtonWidth, kButtonHeight);
      button->SetTabOrder(i);
      button->SetDefault(i == defaultIndex);
      button->SetCancel(set.Buttons[i] == cancel_);
      if (i == defaultIndex) SetActiveControl(button);
      x += kButtonWidth + kButtonGap;
    }
  }

 protected:
  Integer DefaultResult() override { return default_; }
  // A box without Cancel that nobody answers gives its default button.
  Integer CancelResult() override { return cancel_ ? cancel_ : default_; }

  void Paint() override {
    TCanvas* c = GetCanvas();
    const Integer x = kMargin;
    const Integer y = kMargin;
    c->GetPen()->SetWidth(1);
    c->GetPen()->SetStyle(psSolid);
    switch (icon_) {
      case MB_ICONHAND: {
        c->GetPen()->SetColor(RGB(128, 0, 0));
        c->GetBrush()->SetColor(RGB(224, 0, 0));
        c->Ellipse(x + 1, y + 1, x + 31, y + 31);
        c->GetPen()->SetColor(RGB(255, 255, 255));
        c->GetPen()->SetWidth(3);
        c->MoveTo(x + 10, y + 10);
        c->LineTo(x + 21, y + 21);
        c->MoveTo(x + 21, y + 10);
        c->LineTo(x + 10, y + 21);
        break;
      }
      case MB_ICONEXCLAMATION: {
        c->GetPen()->SetColor(RGB(0, 0, 0));
        c->GetBrush()->SetColor(RGB(255, 255, 0));
        const TPoint triangle[] = {{x + 16, y + 2}, {x + 30, y + 29}, {x + 2, y + 29}};
        c->Polygon(triangle);
        c->GetBrush()->SetColor(RGB(0, 0, 0));
        c->FillRect(Rect(x + 15, y + 11, x + 18, y + 21));
        c->FillRect(Rect(x + 15, y + 23, x + 18, y + 26));
        break;
      }
      case MB_ICONQUESTION:
      case MB_ICONASTERISK: {
        c->GetPen()->SetColor(RGB(0, 0, 128));
        c->GetBrush()->SetColor(RGB(0, 64, 208));
        c->Ellipse(x + 1, y + 1, x + 31, y + 31);
        c->GetBrush()->SetColor(RGB(255, 255, 255));
        if (icon_ == MB_ICONASTERISK) {
          c->FillRect(Rect(x + 14, y + 7, x + 18, y + 11));
          c->FillRect(Rect(x + 14, y + 13, x + 18, y + 25));
        } else {
          c->GetPen()->SetColor(RGB(255, 255, 255));
          c->GetPen()->SetWidth(3);
          const TPoint hook[] = {{x + 11, y + 12}, {x + 12, y + 9}, {x + 15, y + 7}, {x + 18, y + 7},
                                 {x + 21, y + 10}, {x + 20, y + 13}, {x + 16, y + 16}, {x + 16, y + 20}};
          c->Polyline(hook);
          c->FillRect(Rect(x + 15, y + 23, x + 18, y + 26));
        }
        break;
      }
      default: break;
    }
    c->GetPen()->SetWidth(1);
    TDialogForm::Paint();
  }

 private:
  UINT type_;
  UINT icon_;
  Integer default_ = IDOK;
  Integer cancel_ = 0;
};

Integer RunMessageForm(sim::DialogKind kind, const AnsiString& text, const AnsiString& caption,
                       UINT type) {
  TMessageForm form(kind, text, type);
  form.SetCaption(caption);
  return form.Execute(caption, text, type);
}

}  // namespace

Integer MessageBoxForm(HWND /*owner*/, const char* text, const char* caption, UINT type) {
  return RunMessageForm(sim::DialogKind::MessageBox, text ? text : "", caption ? caption : "Error", type);
}

void ShowMessage(const AnsiString& msg) {
  RunMessageForm(sim::DialogKind::ShowMessage, msg, Application->GetTitle(), MB_OK);
}

