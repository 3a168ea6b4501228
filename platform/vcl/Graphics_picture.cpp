// TGraphic, the base of every picture, and TPicture, which holds one.
#include <typeinfo>

#include "platform/rtl/Files.h"
#include "platform/rtl/Strings.h"
#include "platform/vcl/Graphics.h"

// ---------------------------------------------------------------------------------
// TGraphic

void TGraphic::Changed(TObject*) {
  modified_ = true;
  if (OnChange) OnChange(this);
}

void TGraphic::SetModified(bool value) {
  if (value) Changed(this);
  else modified_ = false;
}

void TGraphic::SetTransparent(bool value) {
  if (value == transparent_) return;
  transparent_ = value;
  Changed(this);
}

void TGraphic::LoadFromFile(const AnsiString& fileName) {
  TFileStream stream(fileName, fmOpenRead | fmShareDenyWrite);
  LoadFromStream(&stream);
}

void TGraphic::SaveToFile(const AnsiString& fileName) {
  // Encoded in memory first, so a picture that cannot be written leaves no file.
  TMemoryStream encoded;
  SaveToStream(&encoded);
  TFileStream stream(fileName, fmCreate);
  encoded.SaveToStream(&stream);
}

// ---------------------------------------------------------------------------------
// TPicture

TPicture::~TPicture() = default;

void TPicture::Changed(TObject*) {
  if (OnChange) OnChange(this);
}

void TPicture::Hold(std::unique_ptr<TGraphic> graphic) {
  graphic_ = std::move(graphic);
  if (graphic_) graphic_->OnChange = [this](TObject* sender) { Changed(sender); };
  Changed(this);
}

void TPicture::SetGraphic(TGraphic* value) {
  if (value == graphic_.get()) return;
  std::unique_ptr<TGraphic> copy;
  if (value) {
    copy = value->NewEmpty();
    copy->Assign(value);
  }
  Hold(std::move(copy));
}

TBitmap* TPicture::GetBitmap() {
  if (!dynamic_cast<TBitmap*>(graphic_.get())) Hold(std::make_unique<TBitmap>());
  return static_cast<TBitmap*>(graphic_.get());
}

TIcon* TPicture::GetIcon() {
  if (!dynamic_cast<TIcon*>(graphic_.get())) Hold(std::make_unique<TIcon>());
  return static_cast<TIcon*>(graphic_.get());
}

void TPicture::Assign(TPersistent* source) {
  if (source == nullptr) {
    SetGraphic(nullptr);
  } else if (auto* picture = dynamic_cast<TPicture*>(source)) {
    if (picture != this) SetGraphic(picture->graphic_.get());
  } else if (auto* graphic = dynamic_cast<TGraphic*>(source)) {
    SetGraphic(graphic);
  } else {
    TPersistent::Assign(source);
  }
}

void TPicture::AssignTo(TPersistent* dest) {
  // A graphic of the same class takes the picture's graphic.
  if (graphic_ && dest && typeid(*dest) == typeid(*graphic_)) {
    dest->Assign(graphic_.get());
    return;
  }
  TPersistent::AssignTo(dest);
}

void TPicture::LoadFromFile(const AnsiString& fileName) {
  AnsiString ext = LowerCase(ExtractFileExt(fileName));
  std::unique_ptr<TGraphic> graphic;
  if (ext == ".bmp") graphic = std::make_unique<TBitmap>();
  else if (ext == ".ico") graphic = std::make_unique<TIcon>();
  else throw EInvalidGraphic("Unknown picture file extension (" + ext + ")");
  graphic->LoadFromFile(fileName);
  Hold(std::move(graphic));
}

void TPicture::SaveToFile(const AnsiString& fileName) {
  if (graphic_) graphic_->SaveToFile(fileName);
}
