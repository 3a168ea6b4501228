// AVISaveOptions: the compression dialog of written streams. Only uncompressed
// frames can be written, so it offers "Full Frames (Uncompressed)" and Cancel.
#include "platform/avifile/AVIFile.h"
#include "platform/vcl/DialogsInternal.h"
#include "platform/vcl/StdCtrls.h"

namespace {

constexpr const char* kCaption = "Video Compression";
constexpr const char* kFullFrames = "Full Frames (Uncompressed)";

class TCompressionForm : public TDialogForm {
 public:
  TCompressionForm() : TDialogForm(sim::DialogKind::MessageBox) {
    SetCaption(kCaption);
    SetClientWidth(300);
    SetClientHeight(96);
    auto* label = new TLabel(this);
    label->SetParent(this);
    label->SetCaption("&Compressor:");
    label->SetBounds(12, 14, 276, 16);
    combo_ = new TComboBox(this);
    combo_->SetParent(this);
    combo_->SetStyle(csDropDownList);
    combo_->GetItems()->Add(kFullFrames);
    combo_->SetItemIndex(0);
    combo_->SetBounds(12, 32, 276, 21);
    combo_->SetTabOrder(0);
    label->SetFocusControl(combo_);
    auto* ok = new TButton(this);
    ok->SetParent(this);
    ok->SetCaption("OK");
    ok->SetModalResult(mrOk);
    ok->SetDefault(true);
    ok->SetBounds(132, 64, 75, 23);
    ok->SetTabOrder(1);
    auto* cancel = new TButton(this);
    cancel->SetParent(this);
    cancel->SetCaption("Cancel");
    cancel->SetModalResult(mrCancel);
    cancel->SetCancel(true);
    cancel->SetBounds(213, 64, 75, 23);
    cancel->SetTabOrder(2);
    SetActiveControl(combo_);
  }

 protected:
  void ApplyValue(const AnsiString& value) override {
    const Integer index = combo_->GetItems()->IndexOf(value);
    if (index >= 0) combo_->SetItemIndex(index);
  }
  AnsiString CurrentValue() override { return combo_->GetText(); }
  // OK needs a compressor chosen.
  void Press(Integer result) override {
    if (result == mrOk && combo_->GetItemIndex() < 0) return;
    SetModalResult(result);
  }

 private:
  TComboBox* combo_ = nullptr;
};

}  // namespace

BOOL AVISaveOptions(HWND /*hwnd*/, UINT /*uiFlags*/, int nStreams, PAVISTREAM* ppavi,
                    LPAVICOMPRESSOPTIONS* plpOptions) {
  if (nStreams <= 0 || ppavi == nullptr || plpOptions == nullptr) return FALSE;
  TCompressionForm form;
  if (form.Execute(kCaption, kFullFrames, 0) != mrOk) return FALSE;
  for (int i = 0; i < nStreams; ++i) {
    AVICOMPRESSOPTIONS* options = plpOptions[i];
    if (options == nullptr) continue;
    *options = AVICOMPRESSOPTIONS{};
    AVISTREAMINFOA info;
    options->fccType = AVIStreamInfoA(ppavi[i], &info, sizeof(info)) == AVIERR_OK ? info.fccType : streamtypeVIDEO;
    options->fccHandler = comptypeDIB;
  }
  return TRUE;
}

HRESULT AVISaveOptionsFree(int nStreams, LPAVICOMPRESSOPTIONS* plpOptions) {
  if (plpOptions == nullptr) return AVIERR_OK;
  for (int i = 0; i < nStreams; ++i) {
    AVICOMPRESSOPTIONS* options = plpOptions[i];
    if (options == nullptr) continue;
    // Nothing of ours hangs on the options; the pointers are cleared.
    options->lpFormat = nullptr;
    options->cbFormat = 0;
    options->lpParms = nullptr;
    options->cbParms = 0;
  }
  return AVIERR_OK;
}
