// The source-selection dialog and the sources' own dialog.
#include <sstream>

#include "platform/twain/TwainDialogs.h"
#include "platform/twain/TwainInternal.h"
#include "platform/vcl/DialogsInternal.h"
#include "platform/vcl/StdCtrls.h"

namespace larktwain {

namespace {

constexpr const char* kSelectCaption = "Select Source";

TButton* AddButton(TForm* form, const char* caption, Integer result, Integer left, Integer top, bool isDefault) {
  auto* b = new TButton(form);
  b->SetParent(form);
  b->SetCaption(caption);
  b->SetModalResult(result);
  b->SetDefault(isDefault);
  b->SetCancel(result == mrCancel);
  b->SetBounds(left, top, 75, 23);
  return b;
}

TLabel* AddLabel(TForm* form, const char* caption, Integer left, Integer top) {
  auto* label = new TLabel(form);
  label->SetParent(form);
  label->SetCaption(caption);
  label->SetBounds(left, top, 120, 16);
  return label;
}

class TSelectForm : public TDialogForm {
 public:
  TSelectForm(const std::vector<std::string>& names, const std::string& chosen)
      : TDialogForm(sim::DialogKind::MessageBox) {
    SetCaption(kSelectCaption);
    SetClientWidth(300);
    SetClientHeight(96);
    TLabel* label = AddLabel(this, "&Sources:", 12, 14);
    combo_ = new TComboBox(this);
    label->SetFocusControl(combo_);
    combo_->SetParent(this);
    combo_->SetStyle(csDropDownList);
    for (const auto& n : names) combo_->GetItems()->Add(n);
    const Integer index = combo_->GetItems()->IndexOf(chosen);
    combo_->SetItemIndex(index >= 0 ? index : 0);
    combo_->SetBounds(12, 32, 276, 21);
    AddButton(this, "Select", mrOk, 132, 64, true);
    AddButton(this, "Cancel", mrCancel, 213, 64, false);
    SetActiveControl(combo_);
  }

  std::string Chosen() { return combo_->GetText(); }

 protected:
  void ApplyValue(const AnsiString& value) override {
    const Integer index = combo_->GetItems()->IndexOf(value);
    if (index >= 0) combo_->SetItemIndex(index);
  }
  AnsiString CurrentValue() override { return combo_->GetText(); }
  void Press(Integer result) override {
    if (result == mrOk && combo_->GetItemIndex() < 0) return;
    SetModalResult(result);
  }

 private:
  TComboBox* combo_ = nullptr;
};

// The source's dialog. Nobody there to press Scan means nothing is scanned, so its
// answer without a person is Cancel.
class TSourceForm : public TDialogForm {
 public:
  explicit TSourceForm(Source& source) : TDialogForm(sim::DialogKind::MessageBox), source_(source) {
    SetClientWidth(300);
    SetClientHeight(150);
    TLabel* modeLabel = AddLabel(this, "&Mode:", 12, 14);
    mode_ = new TComboBox(this);
    modeLabel->SetFocusControl(mode_);
    mode_->SetParent(this);
    mode_->SetStyle(csDropDownList);
    for (const auto& m : source.Modes()) mode_->GetItems()->Add(m);
    mode_->SetBounds(140, 12, 148, 21);
    TLabel* resolutionLabel = AddLabel(this, "&Resolution (dpi):", 12, 44);
    resolution_ = new TEdit(this);
    resolutionLabel->SetFocusControl(resolution_);
    resolution_->SetParent(this);
    resolution_->SetBounds(140, 42, 148, 21);
    TLabel* areaLabel = AddLabel(this, "&Area (inches):", 12, 74);
    area_ = new TEdit(this);
    areaLabel->SetFocusControl(area_);
    area_->SetParent(this);
    area_->SetBounds(140, 72, 148, 21);
    AddButton(this, "Scan", mrOk, 132, 114, true);
    AddButton(this, "Cancel", mrCancel, 213, 114, false);
    Show(source.Settings());
    SetActiveControl(mode_);
  }

 protected:
  void ApplyValue(const AnsiString& value) override {
    source_.SetSettings(value);
    Show(source_.Settings());
  }
  AnsiString CurrentValue() override {
    return "mode=" + mode_->GetText() + ";resolution=" + resolution_->GetText() + ";area=" + area_->GetText();
  }
  void Press(Integer result) override {
    if (result == mrOk) source_.SetSettings(CurrentValue());
    SetModalResult(result);
  }
  Integer DefaultResult() override { return mrCancel; }

 private:
  void Show(const std::string& settings) {
    std::istringstream in(settings);
    std::string part;
    while (std::getline(in, part, ';')) {
      const size_t eq = part.find('=');
      if (eq == std::string::npos) continue;
      const std::string key = part.substr(0, eq), value = part.substr(eq + 1);
      if (key == "mode") {
        const Integer index = mode_->GetItems()->IndexOf(value);
        if (index >= 0) mode_->SetItemIndex(index);
      } else if (key == "resolution") {
        resolution_->SetText(value);
      } else if (key == "area") {
        area_->SetText(value);
      }
    }
  }

  Source& source_;
  TComboBox* mode_ = nullptr;
  TEdit* resolution_ = nullptr;
  TEdit* area_ = nullptr;
};

}  // namespace

bool RunSelectDialog(const std::vector<std::string>& names, std::string& chosen) {
  TSelectForm form(names, chosen);
  if (form.Execute(kSelectCaption, chosen, 0) != mrOk) return false;
  chosen = form.Chosen();
  return true;
}

bool RunSourceDialog(Source& source, const std::string& productName) {
  TSourceForm form(source);
  form.SetCaption(productName);
  return form.Execute(productName, source.Settings(), 0) == mrOk;
}

}  // namespace larktwain
