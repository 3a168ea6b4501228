// What an X key event means to the window layer: a virtual key, a typed character,
// or both. Internal to the X11 backend; nothing here includes Xlib.
#pragma once

#include <cstdint>

namespace larkx11 {

struct KeyMeaning {
  // The virtual key of the key pressed (0: none this layout knows).
  unsigned vk = 0;
  bool extended = false;
  // The Windows-1252 character the key types, when the US layout that the window
  // layer translates with would not type it from vk and the shift state (an accented
  // letter, a dead-key result, another layout's symbol): it is injected as typed text.
  uint8_t character = 0;
  bool hasCharacter = false;
};

// keysym: the symbol the key produces with the modifiers held; baseKeysym: the
// symbol of the key without modifiers; shift: Shift is held.
KeyMeaning MeaningOfKey(unsigned long keysym, unsigned long baseKeysym, bool shift);

// The Unicode code point of a keysym (0 for keys that type nothing).
uint32_t KeysymToUnicode(unsigned long keysym);

}  // namespace larkx11
