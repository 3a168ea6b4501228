#include "platform/win/MessageBox.h"

#include "platform/win/SimHooks.h"

namespace {

// The buttons of each set, left to right.
struct ButtonSet {
  Integer Buttons[3];
  int Count;
};

ButtonSet ButtonsOf(UINT type) {
  switch (type & MB_TYPEMASK) {
    case MB_OKCANCEL: return {{IDOK, IDCANCEL, 0}, 2};
    case MB_ABORTRETRYIGNORE: return {{IDABORT, IDRETRY, IDIGNORE}, 3};
    case MB_YESNOCANCEL: return {{IDYES, IDNO, IDCANCEL}, 3};
    case MB_YESNO: return {{IDYES, IDNO, 0}, 2};
    case MB_RETRYCANCEL: return {{IDRETRY, IDCANCEL, 0}, 2};
    default: return {{IDOK, 0, 0}, 1};
  }
}

}  // namespace

Integer MessageBox(HWND /*owner*/, const char* text, const char* caption, UINT type) {
  const ButtonSet set = ButtonsOf(type);
  // A default-button number past the set falls back to the first button, as the
  // platform does.
  int index = static_cast<int>((type & MB_DEFMASK) >> 8);
  if (index >= set.Count) index = 0;
  return sim::AnswerDialog(sim::DialogKind::MessageBox, caption ? caption : "Error",
                           text ? text : "", type, set.Buttons[index]);
}
