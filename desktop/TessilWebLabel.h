// TTessilWebLabel: a label that acts as a hyperlink. It shows a hand cursor, is blue
// and underlined, and a click hands its caption, as a web or a mail address, to the
// shell's "open" verb (the person's browser or mail program).
#pragma once

#include "platform/vcl/StdCtrls.h"

enum class TLinkStyle : Byte { url, email };

class TTessilWebLabel : public TCustomLabel {
 public:
  LARK_CLASS_NAME(TTessilWebLabel)
  explicit TTessilWebLabel(TComponent* owner);

  TLinkStyle GetLinkStyle() const noexcept { return linkStyle_; }
  void SetLinkStyle(TLinkStyle value);
  // The address a click opens: the caption with "http://" (url) or "mailto:" (email)
  // before it, unless it already starts with a scheme of its own.
  AnsiString LinkTarget();

 protected:
  // Opens the link; OnClick does not fire.
  void Click() override;

 private:
  TLinkStyle linkStyle_ = TLinkStyle::url;
};
