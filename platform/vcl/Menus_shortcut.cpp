// Shortcuts: keys with modifiers packed in a word, their names, and the menus that
// answer them from the keyboard.
#include <cctype>
#include <cstdio>

#include "platform/vcl/Menus.h"
#include "platform/win/Input.h"

namespace {

struct KeyName {
  Word key;
  const char* name;
};

// The keys with names of their own; letters and digits are themselves, F1..F12 by number.
constexpr KeyName kKeyNames[] = {
    {VK_BACK, "BkSp"}, {VK_TAB, "Tab"},     {VK_RETURN, "Enter"}, {VK_ESCAPE, "Esc"},
    {VK_SPACE, "Space"}, {VK_PRIOR, "PgUp"}, {VK_NEXT, "PgDn"},   {VK_END, "End"},
    {VK_HOME, "Home"},  {VK_LEFT, "Left"},   {VK_UP, "Up"},       {VK_RIGHT, "Right"},
    {VK_DOWN, "Down"},  {VK_INSERT, "Ins"},  {VK_DELETE, "Del"},
};

AnsiString KeyToText(Word key) {
  if ((key >= '0' && key <= '9') || (key >= 'A' && key <= 'Z')) return AnsiString(1, static_cast<char>(key));
  if (key >= VK_F1 && key <= VK_F12) return "F" + std::to_string(key - VK_F1 + 1);
  for (const KeyName& k : kKeyNames) {
    if (k.key == key) return k.name;
  }
  return "";
}

bool SameText(const AnsiString& a, const char* b) {
  size_t i = 0;
  for (; i < a.size() && b[i]; ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
  }
  return i == a.size() && b[i] == 0;
}

}  // namespace

TShortCut ShortCut(Word key, TShiftState shift) {
  if (key & 0xFF00) return scNone;
  TShortCut result = key;
  if (shift.Contains(ssShift)) result |= scShift;
  if (shift.Contains(ssCtrl)) result |= scCtrl;
  if (shift.Contains(ssAlt)) result |= scAlt;
  return result;
}

void ShortCutToKey(TShortCut shortCut, Word& key, TShiftState& shift) {
  key = shortCut & 0xFF;
  shift = TShiftState{};
  if (shortCut & scShift) shift.Include(ssShift);
  if (shortCut & scCtrl) shift.Include(ssCtrl);
  if (shortCut & scAlt) shift.Include(ssAlt);
}

AnsiString ShortCutToText(TShortCut shortCut) {
  const AnsiString name = KeyToText(shortCut & 0xFF);
  if (name.empty()) return "";
  AnsiString text;
  if (shortCut & scShift) text += "Shift+";
  if (shortCut & scCtrl) text += "Ctrl+";
  if (shortCut & scAlt) text += "Alt+";
  return text + name;
}

TShortCut TextToShortCut(const AnsiString& text) {
  TShortCut mods = 0;
  AnsiString rest = text;
  for (;;) {
    const size_t plus = rest.find('+');
    // A lone "+" (or one at the end) is no modifier separator.
    if (plus == std::string::npos || plus == 0 || plus + 1 == rest.size()) break;
    const AnsiString mod = rest.substr(0, plus);
    if (SameText(mod, "Shift")) {
      mods |= scShift;
    } else if (SameText(mod, "Ctrl")) {
      mods |= scCtrl;
    } else if (SameText(mod, "Alt")) {
      mods |= scAlt;
    } else {
      return scNone;
    }
    rest = rest.substr(plus + 1);
  }
  if (rest.empty()) return scNone;
  for (Word key = 8; key <= 255; ++key) {
    const AnsiString name = KeyToText(key);
    if (!name.empty() && SameText(rest, name.c_str())) return static_cast<TShortCut>(key | mods);
  }
  return scNone;
}

bool TMenu::IsShortCut(const TMessage& message) {
  const Word key = static_cast<Word>(message.WParam & 0xFFFF);
  TShiftState shift;
  if (GetKeyState(VK_SHIFT) < 0) shift.Include(ssShift);
  if (GetKeyState(VK_CONTROL) < 0) shift.Include(ssCtrl);
  if (message.LParam & (LPARAM{1} << 29)) shift.Include(ssAlt);
  TMenuItem* item = FindItem(ShortCut(key, shift), fkShortCut);
  if (item == nullptr) return false;
  item->Click();
  return true;
}
