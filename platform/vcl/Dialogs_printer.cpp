// The printer set-up dialog: the printers there are, the paper, the page's
// orientation and the resolution. The one printer is virtual and prints to picture
// files (platform/printer); OK applies the settings to it.
//
// Its value, as a responder reads and sets it, is the printer's name followed by the
// settings: "PDF/PNG;Paper=Letter;Orientation=Portrait;Resolution=150". A value may
// give only some of them; the others stay.
#include <string>

#include "platform/printer/Printer.h"
#include "platform/vcl/Dialogs.h"
#include "platform/vcl/DialogsInternal.h"
#include "platform/vcl/ExtCtrls.h"
#include "platform/vcl/Printers.h"
#include "platform/vcl/StdCtrls.h"

namespace {

constexpr Integer kResolutions[] = {75, 150, 300, 600};

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
    names_->GetItems()->Add(larkprint::kPrinterName);
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

    auto* paper = new TGroupBox(this);
    paper->SetParent(this);
    paper->SetBounds(8, 94, 156, 90);
    paper->SetCaption("Paper");
    auto* sizeLabel = new TLabel(this);
    sizeLabel->SetParent(paper);
    sizeLabel->SetBounds(8, 22, 40, 13);
    sizeLabel->SetCaption("Si&ze:");
    paper_ = new TComboBox(this);
    paper_->SetParent(paper);
    paper_->SetStyle(csDropDownList);
    paper_->SetBounds(56, 18, 92, 21);
    for (auto p : {larkprint::PaperSize::Letter, larkprint::PaperSize::Legal, larkprint::PaperSize::A4,
                   larkprint::PaperSize::A5})
      paper_->GetItems()->Add(larkprint::PaperName(p));
    paper_->SetTabOrder(0);
    sizeLabel->SetFocusControl(paper_);
    auto* dpiLabel = new TLabel(this);
    dpiLabel->SetParent(paper);
    dpiLabel->SetBounds(8, 54, 48, 13);
    dpiLabel->SetCaption("&Quality:");
    resolution_ = new TComboBox(this);
    resolution_->SetParent(paper);
    resolution_->SetStyle(csDropDownList);
    resolution_->SetBounds(56, 50, 92, 21);
    for (Integer dpi : kResolutions) resolution_->GetItems()->Add(std::to_string(dpi) + " dpi");
    resolution_->SetTabOrder(1);
    dpiLabel->SetFocusControl(resolution_);

    orientation_ = new TRadioGroup(this);
    orientation_->SetParent(this);
    orientation_->SetBounds(172, 94, 156, 62);
    orientation_->SetCaption("Orientation");
    orientation_->GetItems()->Add("P&ortrait");
    orientation_->GetItems()->Add("L&andscape");
    orientation_->SetTabOrder(2);

    const char* captions[] = {"OK", "Cancel"};
    for (int i = 0; i < 2; ++i) {
      auto* button = new TButton(this);
      button->SetParent(this);
      button->SetCaption(captions[i]);
      button->SetModalResult(i == 0 ? mrOk : mrCancel);
      button->SetDefault(i == 0);
      button->SetCancel(i == 1);
      button->SetBounds(172 + i * 81, 162, 75, 23);
      button->SetTabOrder(3 + i);
    }
    SetClientWidth(336);
    SetClientHeight(192);
    SetActiveControl(names_);
    Show(larkprint::CurrentSettings());
  }

  // The settings the form shows.
  larkprint::PrinterSettings Chosen() const {
    larkprint::PrinterSettings st = larkprint::CurrentSettings();
    larkprint::PaperFromName(paper_->GetText().c_str(), &st.paper);
    st.orientation = orientation_->GetItemIndex() == 1 ? larkprint::PageOrientation::Landscape
                                                       : larkprint::PageOrientation::Portrait;
    const Integer r = resolution_->GetItemIndex();
    if (r >= 0 && r < static_cast<Integer>(std::size(kResolutions))) st.dpiX = st.dpiY = kResolutions[r];
    return st;
  }

 protected:
  void ApplyValue(const AnsiString& value) override {
    std::string rest = value.c_str();
    bool first = true;
    while (!rest.empty() || first) {
      const size_t semi = rest.find(';');
      const std::string part = rest.substr(0, semi);
      rest = semi == std::string::npos ? std::string() : rest.substr(semi + 1);
      const size_t eq = part.find('=');
      if (first && eq == std::string::npos) {
        const Integer i = names_->GetItems()->IndexOf(part.c_str());
        if (i >= 0) names_->SetItemIndex(i);
      } else if (eq != std::string::npos) {
        const std::string key = part.substr(0, eq), v = part.substr(eq + 1);
        if (key == "Paper") {
          const Integer i = paper_->GetItems()->IndexOf(v.c_str());
          if (i >= 0) paper_->SetItemIndex(i);
        } else if (key == "Orientation") {
          orientation_->SetItemIndex(v == "Landscape" ? 1 : 0);
        } else if (key == "Resolution") {
          const Integer i = resolution_->GetItems()->IndexOf((v + " dpi").c_str());
          if (i >= 0) resolution_->SetItemIndex(i);
        }
      }
      first = false;
    }
  }
  AnsiString CurrentValue() override {
    const larkprint::PrinterSettings st = Chosen();
    return names_->GetText() + ";Paper=" + larkprint::PaperName(st.paper) + ";Orientation=" +
           (st.orientation == larkprint::PageOrientation::Landscape ? "Landscape" : "Portrait") +
           ";Resolution=" + std::to_string(st.dpiX).c_str();
  }

 private:
  void Show(const larkprint::PrinterSettings& st) {
    paper_->SetItemIndex(paper_->GetItems()->IndexOf(larkprint::PaperName(st.paper)));
    orientation_->SetItemIndex(st.orientation == larkprint::PageOrientation::Landscape ? 1 : 0);
    Integer r = 1;
    for (size_t i = 0; i < std::size(kResolutions); ++i)
      if (kResolutions[i] == st.dpiX) r = static_cast<Integer>(i);
    resolution_->SetItemIndex(r);
  }

  TComboBox* names_;
  TComboBox* paper_;
  TComboBox* resolution_;
  TRadioGroup* orientation_;
};

}  // namespace

bool TPrinterSetupDialog::Execute() {
  // The framework asks the printer for its settings first, which raises without one.
  if (!larkprint::PrinterInstalled()) Printer()->GetPageWidth();
  TPrinterSetupForm form;
  if (form.Execute("Print Setup", "", 0) != mrOk) return false;
  larkprint::ApplySettings(form.Chosen());
  return true;
}
