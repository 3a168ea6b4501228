#include "platform/win/MessageBox.h"

#include <atomic>

#include "platform/win/DialogHost.h"
#include "platform/win/SimHooks.h"

namespace larkwin {

namespace {
constinit std::atomic<const DialogHost*> gHost{nullptr};
}  // namespace

void SetDialogHost(const DialogHost* host) { gHost.store(host, std::memory_order_release); }

const DialogHost* CurrentDialogHost() { return gHost.load(std::memory_order_acquire); }

}  // namespace larkwin

MessageBoxButtons MessageBoxButtonsOf(UINT type) {
  switch (type & MB_TYPEMASK) {
    case MB_OKCANCEL: return {{IDOK, IDCANCEL, 0}, 2};
    case MB_ABORTRETRYIGNORE: return {{IDABORT, IDRETRY, IDIGNORE}, 3};
    case MB_YESNOCANCEL: return {{IDYES, IDNO, IDCANCEL}, 3};
    case MB_YESNO: return {{IDYES, IDNO, 0}, 2};
    case MB_RETRYCANCEL: return {{IDRETRY, IDCANCEL, 0}, 2};
    default: return {{IDOK, 0, 0}, 1};
  }
}

int MessageBoxDefaultIndex(UINT type) {
  // A default-button number past the set falls back to the first button, as the
  // platform does.
  const int index = static_cast<int>((type & MB_DEFMASK) >> 8);
  return index < MessageBoxButtonsOf(type).Count ? index : 0;
}

Integer MessageBox(HWND owner, const char* text, const char* caption, UINT type) {
  if (const larkwin::DialogHost* host = larkwin::CurrentDialogHost(); host && host->MessageBox)
    return host->MessageBox(owner, text, caption, type);
  const MessageBoxButtons set = MessageBoxButtonsOf(type);
  Integer answer = sim::AnswerDialog(sim::DialogKind::MessageBox, caption ? caption : "Error",
                                     text ? text : "", type, set.Buttons[MessageBoxDefaultIndex(type)]);
  // Without a form nobody can be shown the box.
  if (answer == sim::kDialogOnScreen) answer = set.Buttons[MessageBoxDefaultIndex(type)];
  return answer;
}
