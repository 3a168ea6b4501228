// The clipboard's text on the X display's CLIPBOARD selection (internal to the X11
// backend). The program's text is offered to other clients as UTF-8 and Latin-1;
// another client's text is fetched when the program reads the clipboard.
#pragma once

#include <string>

#include "platform/win/ClipboardBridge.h"
#include "platform/x11/XlibIncludes.h"

namespace larkx11 {

class X11Clipboard : public larkwin::ClipboardBridge {
 public:
  X11Clipboard(Display* dpy, Window root);
  ~X11Clipboard() override;
  X11Clipboard(const X11Clipboard&) = delete;
  X11Clipboard& operator=(const X11Clipboard&) = delete;

  void TextPut(const std::string& text) override;
  bool TextFromOutside(std::string* text) override;
  // Takes the selection events addressed to the clipboard's window; false for others.
  bool Handle(const XEvent& event);

 private:
  bool Fetch(Atom target, std::string* bytes);
  void Answer(const XSelectionRequestEvent& request);

  Display* dpy_;
  Window window_;
  Atom clipboard_, utf8String_, targets_, property_, incr_;
  std::string text_;  // what the program put, Windows-1252
  bool owned_ = false;
};

// The clipboard of the installed X11 backend (null when none runs).
X11Clipboard* ActiveClipboard();

}  // namespace larkx11
