// Where the engine draws its caret: the rectangle at a boundary between the body's
// character units (TextRange.h), in the document window's client coordinates. The
// component places its caret with it, and a host reads the caret's place from it.
#pragma once

#include <optional>
#include <vector>

#include "platform/mshtml/Layout.h"
#include "platform/mshtml/TextRange.h"

namespace mshtml {

// The caret's rectangle at the unit boundary at: before the character there, or
// after the one before it; nullopt when neither is a laid-out character.
std::optional<RECT> CaretRectAt(Layout& layout, const std::vector<TextUnit>& units, Integer at);

}  // namespace mshtml
