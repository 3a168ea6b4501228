// The printer set-up dialog: the printers there are and the page's orientation. The
// one printer is virtual and prints to picture files.
#include "platform/vcl/Dialogs.h"
#include "platform/vcl/DialogsInternal.h"
#include "platform/vcl/ExtCtrls.h"
#include "platform/vcl/StdCtrls.h"

namespace {

constexpr char kVirtualPrinter[] = "PDF/PNG";

class TPrinterSetupForm : public TDialogForm {
 public:
  TPrinterSetupForm() : TDialogForm(sim::DialogKind::PrinterSetup) {
    SetCaption("Print Setup");
    auto* printer = new TGroupBox(this);
    printer->SetParent(this);
    printer->SetBounds(8, 6, 320, 82);
    printer->SetCaption("Printer");
    auto* nameLabel = new TLabel(this);
    nameLabel->SetParent(printer);
    nameLabel->SetBounds(10, 22, 50, 13);
    nameLabel->SetCaption("&Name:");
    names_ = new TComboBox(this);
    names_->SetParent(printer);
    names_->SetStyle(csDropDownList);
    names_->SetBounds(64, 18, 246, 21);
    names_->GetItems()->Add(kVirtualPrinter);
    names_->SetItemIndex(0);
    names_->SetTabOrder(0);
    nameLabel->SetFocusControl(names_);
    auto* status = new TLabel(this);
    status->SetParent(printer);
    status->SetBounds(10, 48, 300, 13);
    status->SetCaption("Status: Ready");
    auto* where = new TLabel(this);
    where->SetParent(printer);
    where->SetBounds(10, 62, 300, 13);
    where->SetCaption("Where: picture files");

    orientation_ = new TRadioGroup(this);
    orientation_->SetParent(this);
    orientation_->SetBounds(8, 94, 150, 62);
    orientation_->SetCaption("Orientation");
    orientation_->GetItems()->Add("P&ortrait");
    orientation_->GetItems()->Add("L&andscape");
    orientation_->SetItemIndex(0);
    orientation_->SetTabOrder(1);

    const char* captions[] = {"OK", "Cancel"};
    for (int i = 0; i < 2; ++i) {
      auto* button = new TButton(this);
      button->SetParent(this);
      button->SetCaption(captions[i]);
      button->SetModalResult(i == 0 ? mrOk : mrCancel);
      button->SetDefault(i == 0);
      button->SetCancel(i == 1);
      button->SetBounds(172 + i * 81, 133, 75, 23);
      button->SetTabOrder(2 + i);
    }
    SetClientWidth(336);
    SetClientHeight(164);
    SetActiveControl(names_);
  }

 protected:
  // The printer chosen, by name.
  void ApplyValue(const AnsiString& value) override {
    const Integer i = names_->GetItems()->IndexOf(value);
    if (i >= 0) names_->SetItemIndex(i);
  }
  AnsiString CurrentValue() override { return names_->GetText(); }

 private:
  TComboBox* names_;
  TRadioGroup* orientation_;
};

}  // namespace

bool TPrinterSetupDialog::Execute() {
  TPrinterSetupForm form;
  return form.Execute("Print Setup", "", 0) == mrOk;
}
