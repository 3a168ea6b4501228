#include "desktop/TessilWebLabel.h"

#include "platform/rtl/Strings.h"
#include "platform/shell/ShellApi.h"
#include "platform/vcl/Application.h"

namespace {

bool StartsWithText(const AnsiString& text, const AnsiString& prefix) {
  return text.size() >= prefix.size() && SameText(text.substr(0, prefix.size()), prefix);
}

}  // namespace

TTessilWebLabel::TTessilWebLabel(TComponent* owner) : TCustomLabel(owner) {
  SetCursor(crHandPoint);
  GetFont()->SetColor(clBlue);
  GetFont()->SetStyle(TFontStyles{fsUnderline});
}

void TTessilWebLabel::SetLinkStyle(TLinkStyle value) {
  if (value != linkStyle_) linkStyle_ = value;
}

AnsiString TTessilWebLabel::LinkTarget() {
  const AnsiString caption = GetCaption();
  // A caption that names its scheme already would otherwise become "http://http://...".
  for (const char* scheme : {"http://", "https://", "mailto:"}) {
    if (StartsWithText(caption, scheme)) return caption;
  }
  return (linkStyle_ == TLinkStyle::url ? "http://" : "mailto:") + caption;
}

void TTessilWebLabel::Click() {
  const AnsiString target = LinkTarget();
  ShellExecuteA(Application->GetHandle(), "open", target.c_str(), nullptr, nullptr, SW_SHOWDEFAULT);
}
