// The dialog forms' common run: the responder's answers applied, or the form on screen.
#include "platform/vcl/Dialogs.h"

#include "platform/vcl/Application.h"
#include "platform/vcl/DialogsInternal.h"
#include "platform/win/DialogHost.h"
#include "platform/win/GdiText.h"

TDialogForm::TDialogForm(sim::DialogKind kind) : TForm(nullptr), kind_(kind) {
  SetBorderStyle(bsDialog);
  SetPosition(poScreenCenter);
}

Integer TDialogForm::Execute(const AnsiString& caption, const AnsiString& text, UINT flags) {
  Prepare();
  Integer lastAnswer = 0;
  AnsiString lastValue;
  bool asked = false;
  for (;;) {
    AnsiString value = CurrentValue();
    const Integer answer = sim::AnswerDialog(kind_, caption, text, flags, DefaultResult(), &value);
    if (answer == sim::kDialogOnScreen) {
      ::PostMessage(GetHandle(), CM_DIALOGSHOWN, 0, 0);
      return ShowModal();
    }
    ApplyValue(value);
    SetModalResult(mrNone);
    Press(answer);
    if (GetModalResult() != mrNone) return GetModalResult();
    // The same refused answer again: nobody will change it, so the dialog gives up.
    if (asked && answer == lastAnswer && value == lastValue) {
      Press(CancelResult());
      if (GetModalResult() == mrNone) SetModalResult(CancelResult());
      return GetModalResult();
    }
    asked = true;
    lastAnswer = answer;
    lastValue = value;
  }
}

void TDialogForm::Dispatch(TMessage& message) {
  if (message.Msg != CM_DIALOGSHOWN) {
    TForm::Dispatch(message);
    return;
  }
  sim::DialogShown(kind_, GetHandle());
  if (sim::PersonPresent() || GetModalResult() != mrNone) return;
  // Nobody else can act on it: what the responder's action left happens, then the
  // dialog is cancelled rather than left waiting.
  Application->ProcessMessages();
  if (GetModalResult() == mrNone) SetModalResult(CancelResult());
}

TSize MeasureText(TFont* font, const AnsiString& text, Integer maxWidth) {
  HDC dc = ::CreateCompatibleDC(0);
  HGDIOBJ old = ::SelectObject(dc, font->GetHandle());
  RECT r{0, 0, maxWidth > 0 ? maxWidth : 0, 0};
  const UINT format = DT_CALCRECT | DT_NOPREFIX | (maxWidth > 0 ? DT_WORDBREAK : DT_SINGLELINE);
  ::DrawText(dc, text.c_str(), static_cast<Integer>(text.size()), &r, format);
  ::SelectObject(dc, old);
  ::DeleteDC(dc);
  return TSize{r.right - r.left, r.bottom - r.top};
}

void InstallDialogHost() {
  static const larkwin::DialogHost host{&MessageBoxForm, &FileDialogForm, &ChooseColorForm};
  larkwin::SetDialogHost(&host);
}
