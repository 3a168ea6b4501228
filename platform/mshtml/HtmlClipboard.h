// The editing engine's clipboard: a fragment of HTML with its plain text, shared by
// every document of the process. The text also goes on the platform's clipboard
// (CF_TEXT, Platform/win/Clipboard.h), which the X11 backend shares with the other
// programs on the display; when text put there by someone else (another program, or
// another part of this one) is newer than the engine's fragment, a paste takes that
// text instead.
#pragma once

#include <optional>

#include "platform/rtl/Types.h"

namespace mshtml {

struct ClipboardFragment {
  WideString Html;  // markup of the copied content (empty when only text was there)
  WideString Text;  // its text
};

// Puts the fragment on the clipboard; false when the platform's clipboard could not
// be opened (the engine's own copy is kept all the same).
bool PutClipboardFragment(const ClipboardFragment& fragment);
// What a paste takes now: the engine's fragment, or the platform's newer text (Html
// empty then); nothing when the clipboard is empty.
std::optional<ClipboardFragment> GetClipboardFragment();
bool ClipboardHasFragment();
// Forgets the engine's fragment (the platform's clipboard is left alone).
void ClearClipboardFragment();

}  // namespace mshtml
