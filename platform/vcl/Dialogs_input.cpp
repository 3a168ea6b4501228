// InputQuery and InputBox: a prompt, one line to type in, OK and Cancel centred.
#include "platform/vcl/Dialogs.h"
#include "platform/vcl/DialogsInternal.h"
#include "platform/vcl/StdCtrls.h"

namespace {

// Lengths in the dialog font's units (4 across and 8 down make 6 and 13 pixels).
constexpr Integer DuX(Integer units) { return units * 6 / 4; }
constexpr Integer DuY(Integer units) { return units * 13 / 8; }

class TInputForm : public TDialogForm {
 public:
  TInputForm(const AnsiString& caption, const AnsiString& prompt, const AnsiString& value)
      : TDialogForm(sim::DialogKind::InputQuery) {
    SetCaption(caption);
    SetClientWidth(DuX(180));
    auto* label = new TLabel(this);
    label->SetParent(this);
    label->SetLeft(DuX(8));
    label->SetTop(DuY(8));
    label->SetCaption(prompt);
    edit_ = new TEdit(this);
    edit_->SetParent(this);
    edit_->SetMaxLength(255);
    edit_->SetText(value);
    edit_->SetBounds(DuX(8), label->GetTop() + label->GetHeight() + 5, DuX(164), 21);
    edit_->SelectAll();
    edit_->SetTabOrder(0);
    label->SetFocusControl(edit_);
    const Integer buttonTop = edit_->GetTop() + edit_->GetHeight() + 15;
    const char* captions[] = {"OK", "Cancel"};
    for (int i = 0; i < 2; ++i) {
      auto* button = new TButton(this);
      button->SetParent(this);
      button->SetCaption(captions[i]);
      button->SetModalResult(i == 0 ? mrOk : mrCancel);
      button->SetDefault(i == 0);
      button->SetCancel(i == 1);
      button->SetBounds(i == 0 ? DuX(38) : DuX(92), buttonTop, DuX(50), DuY(14));
      button->SetTabOrder(i + 1);
    }
    SetClientHeight(buttonTop + DuY(14) + 13);
    SetActiveControl(edit_);
  }

  AnsiString Value() const { return edit_->GetText(); }

 protected:
  void ApplyValue(const AnsiString& value) override { edit_->SetText(value); }
  AnsiString CurrentValue() override { return edit_->GetText(); }

 private:
  TEdit* edit_;
};

}  // namespace

bool InputQuery(const AnsiString& caption, const AnsiString& prompt, AnsiString& value) {
  TInputForm form(caption, prompt, value);
  if (form.Execute(caption, prompt, 1 /* OK and Cancel */) != mrOk) return false;
  value = form.Value();
  return true;
}

AnsiString InputBox(const AnsiString& caption, const AnsiString& prompt, const AnsiString& defaultValue) {
  AnsiString value = defaultValue;
  InputQuery(caption, prompt, value);
  return value;
}
