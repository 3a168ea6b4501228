// Internal to the platform layer: how a display backend shares the clipboard's text
// with the other programs on its display. Without a bridge the clipboard is the
// process's own.
#pragma once

#include <string>

namespace larkwin {

class ClipboardBridge {
 public:
  virtual ~ClipboardBridge() = default;
  // The program put text (CF_TEXT, Windows-1252) on the clipboard.
  virtual void TextPut(const std::string& text) = 0;
  // When another program holds the display's clipboard: true with its text. False
  // when the program itself holds it, or nobody does, or the text did not come.
  virtual bool TextFromOutside(std::string* text) = 0;
};

// Installs the bridge (null: none). The caller keeps it alive until it is replaced.
void SetClipboardBridge(ClipboardBridge* bridge);

}  // namespace larkwin
