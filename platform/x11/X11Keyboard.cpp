#include "platform/x11/X11Keyboard.h"

// The publishing symbols (quotation marks, dashes) are not in keysym.h by default.
#define XK_PUBLISHING
#include <X11/keysym.h>

#include <string>

#include "platform/rtl/CodePage.h"
#include "platform/win/Input.h"

namespace larkx11 {

namespace {

struct KeyEntry {
  unsigned long keysym;
  unsigned vk;
  bool extended;
};

// Keys that type nothing, and keys whose virtual key does not follow from the
// character they type.
constexpr KeyEntry kKeys[] = {
    {XK_BackSpace, VK_BACK, false},    {XK_Tab, VK_TAB, false},
    {XK_ISO_Left_Tab, VK_TAB, false},  {XK_Return, VK_RETURN, false},
    {XK_KP_Enter, VK_RETURN, true},    {XK_Escape, VK_ESCAPE, false},
    {XK_Pause, VK_PAUSE, false},       {XK_Scroll_Lock, VK_SCROLL, false},
    {XK_Print, VK_SNAPSHOT, true},     {XK_Delete, VK_DELETE, true},
    {XK_Insert, VK_INSERT, true},      {XK_Home, VK_HOME, true},
    {XK_End, VK_END, true},            {XK_Prior, VK_PRIOR, true},
    {XK_Next, VK_NEXT, true},          {XK_Left, VK_LEFT, true},
    {XK_Right, VK_RIGHT, true},        {XK_Up, VK_UP, true},
    {XK_Down, VK_DOWN, true},          {XK_Shift_L, VK_SHIFT, false},
    {XK_Shift_R, VK_SHIFT, false},     {XK_Control_L, VK_CONTROL, false},
    {XK_Control_R, VK_CONTROL, true},  {XK_Alt_L, VK_MENU, false},
    {XK_Alt_R, VK_MENU, true},         {XK_Meta_L, VK_MENU, false},
    {XK_Meta_R, VK_MENU, true},        {XK_ISO_Level3_Shift, VK_MENU, true},
    {XK_Caps_Lock, VK_CAPITAL, false}, {XK_Num_Lock, VK_NUMLOCK, true},
    {XK_Super_L, VK_LWIN, true},       {XK_Super_R, VK_RWIN, true},
    {XK_Menu, VK_APPS, true},          {XK_KP_Home, VK_HOME, false},
    {XK_KP_End, VK_END, false},        {XK_KP_Prior, VK_PRIOR, false},
    {XK_KP_Next, VK_NEXT, false},      {XK_KP_Left, VK_LEFT, false},
    {XK_KP_Right, VK_RIGHT, false},    {XK_KP_Up, VK_UP, false},
    {XK_KP_Down, VK_DOWN, false},      {XK_KP_Insert, VK_INSERT, false},
    {XK_KP_Delete, VK_DELETE, false},  {XK_KP_Begin, VK_CLEAR, false},
    {XK_KP_Multiply, VK_MULTIPLY, false}, {XK_KP_Add, VK_ADD, false},
    {XK_KP_Subtract, VK_SUBTRACT, false}, {XK_KP_Decimal, VK_DECIMAL, false},
    {XK_KP_Divide, VK_DIVIDE, true},   {XK_KP_Separator, VK_SEPARATOR, false},
};

// The printable keys of the US layout: the character unshifted, shifted, and the key.
struct UsKey {
  char plain;
  char shifted;
  unsigned vk;
};

constexpr UsKey kUsKeys[] = {
    {'1', '!', '1'},          {'2', '@', '2'},           {'3', '#', '3'},
    {'4', '$', '4'},          {'5', '%', '5'},           {'6', '^', '6'},
    {'7', '&', '7'},          {'8', '*', '8'},           {'9', '(', '9'},
    {'0', ')', '0'},          {';', ':', VK_OEM_1},      {'=', '+', VK_OEM_PLUS},
    {',', '<', VK_OEM_COMMA}, {'-', '_', VK_OEM_MINUS},  {'.', '>', VK_OEM_PERIOD},
    {'/', '?', VK_OEM_2},     {'`', '~', VK_OEM_3},      {'[', '{', VK_OEM_4},
    {'\\', '|', VK_OEM_5},    {']', '}', VK_OEM_6},      {'\'', '"', VK_OEM_7},
    {' ', ' ', VK_SPACE},
};

const UsKey* UsKeyTyping(char c, bool* shifted) {
  for (const UsKey& key : kUsKeys) {
    if (key.plain == c) {
      *shifted = false;
      return &key;
    }
    if (key.shifted == c) {
      *shifted = true;
      return &key;
    }
  }
  return nullptr;
}

}  // namespace

uint32_t KeysymToUnicode(unsigned long keysym) {
  if ((keysym >= 0x20 && keysym <= 0x7e) || (keysym >= 0xa0 && keysym <= 0xff)) {
    return static_cast<uint32_t>(keysym);  // Latin-1 keysyms are their code points
  }
  if ((keysym & 0xff000000UL) == 0x01000000UL) {
    return static_cast<uint32_t>(keysym & 0x00ffffffUL);  // the Unicode keysyms
  }
  switch (keysym) {
    case XK_EuroSign: return 0x20ac;
    case XK_OE: return 0x152;
    case XK_oe: return 0x153;
    case XK_Ydiaeresis: return 0x178;
    case XK_Scaron: return 0x160;
    case XK_scaron: return 0x161;
    case XK_Zcaron: return 0x17d;
    case XK_zcaron: return 0x17e;
    case XK_leftdoublequotemark: return 0x201c;
    case XK_rightdoublequotemark: return 0x201d;
    case XK_leftsinglequotemark: return 0x2018;
    case XK_rightsinglequotemark: return 0x2019;
    case XK_emdash: return 0x2014;
    case XK_endash: return 0x2013;
    case XK_ellipsis: return 0x2026;
    case XK_trademark: return 0x2122;
    case XK_KP_Space: return ' ';
    case XK_KP_Equal: return '=';
    default: break;
  }
  if (keysym >= XK_KP_0 && keysym <= XK_KP_9) return static_cast<uint32_t>('0' + keysym - XK_KP_0);
  return 0;
}

KeyMeaning MeaningOfKey(unsigned long keysym, unsigned long baseKeysym, bool shift) {
  KeyMeaning meaning;
  for (const KeyEntry& key : kKeys) {
    if (key.keysym == keysym) {
      meaning.vk = key.vk;
      meaning.extended = key.extended;
      return meaning;
    }
  }
  if (keysym >= XK_F1 && keysym <= XK_F24) {
    meaning.vk = static_cast<unsigned>(VK_F1 + (keysym - XK_F1));
    return meaning;
  }
  if (keysym >= XK_KP_0 && keysym <= XK_KP_9) {
    meaning.vk = static_cast<unsigned>(VK_NUMPAD0 + (keysym - XK_KP_0));
    return meaning;
  }

  const uint32_t code = KeysymToUnicode(keysym);
  if (code == 0) return meaning;  // a key this layer has no use for
  // Letters: the key of the letter, whatever the case; the window layer makes the
  // character from the shift and Caps Lock states as a US keyboard would.
  if ((code >= 'a' && code <= 'z') || (code >= 'A' && code <= 'Z')) {
    meaning.vk = code & ~0x20u;
    return meaning;
  }
  if (code < 0x80) {
    bool needsShift = false;
    if (const UsKey* key = UsKeyTyping(static_cast<char>(code), &needsShift)) {
      meaning.vk = key->vk;
      if (needsShift == shift || code == ' ') return meaning;
    }
  }
  // A character the US translation would not give from this key and shift state.
  std::u16string wide;
  if (code < 0x10000) wide.push_back(static_cast<char16_t>(code));
  const std::string ansi = wide.empty() ? std::string() : WideToAnsi(wide);
  if (ansi.size() == 1 && (ansi[0] != '?' || code == '?')) {
    meaning.character = static_cast<uint8_t>(ansi[0]);
    meaning.hasCharacter = true;
  }
  // Keep the key of the unmodified symbol when it has one, for the key messages.
  if (meaning.vk == 0) {
    const uint32_t base = KeysymToUnicode(baseKeysym);
    if (base >= 'a' && base <= 'z') meaning.vk = base & ~0x20u;
  }
  return meaning;
}

}  // namespace larkx11
