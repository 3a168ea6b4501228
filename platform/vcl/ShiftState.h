// The framework's shift state: the modifier keys and mouse buttons held with an
// input event, shared by the controls and the menus' shortcuts.
#pragma once

#include "platform/rtl/Sets.h"
#include "platform/rtl/Types.h"

enum class TShiftStateItem : Byte { ssShift, ssAlt, ssCtrl, ssLeft, ssRight, ssMiddle, ssDouble };
using enum TShiftStateItem;
using TShiftState = TSet<TShiftStateItem>;
