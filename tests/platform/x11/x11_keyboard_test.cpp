// What X key symbols mean to the window layer (no server needed).
#include <gtest/gtest.h>

#define XK_PUBLISHING
#include <X11/keysym.h>

#include "platform/win/Input.h"
#include "platform/x11/X11Keyboard.h"

namespace {

struct KeyCase {
  unsigned long keysym;
  unsigned long base;
  bool shift;
  unsigned vk;
  int character;  // -1: none (the window layer makes it from the key)
};

TEST(X11Keyboard, KeysMapToVirtualKeysOrTypedCharacters) {
  const KeyCase cases[] = {
      {XK_a, XK_a, false, 'A', -1},                 // letters: the key, the layer types
      {XK_A, XK_a, true, 'A', -1},
      {XK_5, XK_5, false, '5', -1},
      {XK_percent, XK_5, true, '5', -1},            // shifted US symbol on its US key
      {XK_slash, XK_7, true, VK_OEM_2, '/'},        // another layout's shifted symbol
      {XK_space, XK_space, false, VK_SPACE, -1},
      {XK_Return, XK_Return, false, VK_RETURN, -1},
      {XK_Left, XK_Left, false, VK_LEFT, -1},
      {XK_F5, XK_F5, false, VK_F5, -1},
      {XK_KP_7, XK_KP_Home, false, VK_NUMPAD0 + 7, -1},
      {XK_Shift_L, XK_Shift_L, false, VK_SHIFT, -1},
      {XK_Control_R, XK_Control_R, false, VK_CONTROL, -1},
      {XK_eacute, XK_e, false, 'E', 0xe9},          // a dead key's result on the e key
      {XK_Udiaeresis, XK_Udiaeresis, true, 0, 0xdc},
      {XK_EuroSign, XK_e, false, 'E', 0x80},        // Windows-1252's euro
      {XK_leftdoublequotemark, XK_v, false, 'V', 0x93},
      {0x1000151, 0x1000151, false, 0, -1},         // a letter Windows-1252 lacks: nothing typed
  };
  for (const KeyCase& c : cases) {
    const larkx11::KeyMeaning m = larkx11::MeaningOfKey(c.keysym, c.base, c.shift);
    SCOPED_TRACE(::testing::Message() << "keysym 0x" << std::hex << c.keysym);
    EXPECT_EQ(m.vk, c.vk);
    EXPECT_EQ(m.hasCharacter, c.character >= 0);
    if (c.character >= 0) {
      EXPECT_EQ(m.character, c.character);
    }
  }
}

TEST(X11Keyboard, ExtendedKeysAreMarked) {
  EXPECT_TRUE(larkx11::MeaningOfKey(XK_Delete, XK_Delete, false).extended);
  EXPECT_TRUE(larkx11::MeaningOfKey(XK_Right, XK_Right, false).extended);
  EXPECT_FALSE(larkx11::MeaningOfKey(XK_KP_Right, XK_KP_Right, false).extended);
  EXPECT_TRUE(larkx11::MeaningOfKey(XK_KP_Enter, XK_KP_Enter, false).extended);
}

}  // namespace
