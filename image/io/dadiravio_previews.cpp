// The input/output components' entry point to the parameter preview dialog.
#include <memory>

#include "image/io/dadiravio.h"
#include "image/io/iemio.h"
#include "image/io/iopreviews.h"
#include "image/views/iemview.h"

namespace {

// The dialog as both components hand it over: options, parameters, language, font.
std::unique_ptr<TfIOPreviews> MakeDialog(TComponent* owner, TIOPreviewsParams options, TIOParamsVals* params,
                                         bool simplified, TIEDitherMethod dither, TMsgLanguage language,
                                         TFont* font) {
  auto dialog = std::make_unique<TfIOPreviews>(owner);
  dialog->DefaultLockPreview = options.Contains(ioppDefaultLockPreview);
  dialog->Button4->SetVisible(options.Contains(ioppApplyButton));
  dialog->fParams = params;
  dialog->SimplifiedParamsDialogs = simplified;
  dialog->DefaultDitherMethod = dither;
  dialog->SetLanguage(language);
  if (font != nullptr) dialog->GetFont()->Assign(font);
  return dialog;
}

// The source view's picture: a copy, 24-bit unless it is one-bit.
void ShowSource(TfIOPreviews& dialog, TIEBitmap* picture) {
  TIEBitmap* source = dialog.DadirAvView1->GetIEBitmap();
  source->Assign(picture);
  if (source->GetPixelFormat() != ie24RGB && source->GetPixelFormat() != ie1g) source->ConvertToPixelFormat(ie24RGB);
  dialog.DadirAvView1->Update();
}

}  // namespace

bool TDadirAvIO::DoPreviews(TPreviewParams pages) {
  if (OnDoPreviews) {
    bool handled = false;
    OnDoPreviews(this, handled);
    if (handled) return true;
  }
  if (ieBitmap_ == nullptr) return false;
  ReEncapsulate();
  auto dialog = MakeDialog(this, PreviewsParams, params_.get(), SimplifiedParamsDialogs, defaultDitherMethod_,
                           MsgLanguage, previewFont_.get());
  // The working store stays as it is; the dialog shows a copy.
  ShowSource(*dialog, ieBitmap_);
  bool result = false;
  if (dialog->SetPreviewParams(pages)) {
    if (OnIOPreview) OnIOPreview(this, dialog.get());
    result = dialog->ShowModal() == mrOk;
  }
  dialog.reset();
  Update();
  return result;
}

bool TDadirAvMIO::DoPreviews(Integer index, TPreviewParams pages) {
  if (view_ == nullptr) return false;
  if (view_->GetImageCount() > 0 && view_->GetSelectedItem() < 0) view_->SetSelectedItem(0);
  const Integer selected = view_->GetSelectedItem();
  TIOParamsVals* params = GetParams(index < 0 ? 0 : index);
  if (selected < 0 || params == nullptr) return false;
  TIEBitmap picture;
  if (!view_->CopyToIEBitmap(selected, &picture)) return false;
  auto dialog = MakeDialog(this, PreviewsParams, params, SimplifiedParamsDialogs, DefaultDitherMethod, MsgLanguage,
                           previewFont_.get());
  ShowSource(*dialog, &picture);
  bool result = false;
  if (dialog->SetPreviewParams(pages)) result = dialog->ShowModal() == mrOk;
  dialog.reset();
  if (index < 0) DuplicateCompressionInfo();
  Renumber();
  Update();
  return result;
}
