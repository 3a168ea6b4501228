// The editing component's open and save dialogs as the control offers them: the
// component asks for the file itself; the control waits for the load, tells a
// cancelled dialog from a chosen file, and rewrites a saved file with its own
// formatter.
#include <filesystem>
#include <system_error>

#include "html/ProfDHTMLEdit.h"
#include "platform/ole/OleVariant.h"
#include "platform/rtl/CodePage.h"
#include "platform/rtl/Files.h"

using namespace mshtml;

namespace {

// Where a dialog starts: the folder and a pattern for the control's documents; empty
// without a folder.
WideString DialogStart(const AnsiString& initialDir) {
  if (initialDir.empty()) return {};
  return AnsiToWide(IncludeTrailingPathDelimiter(initialDir) + "*.htm*");
}

// When the file was last written, to the file system's resolution; -1 when there is
// no such file.
long long FileStamp(const WideString& name) {
  if (name.empty()) return -1;
  std::error_code ec;
  const auto stamp = std::filesystem::last_write_time(WideToUtf8(name), ec);
  if (ec) return -1;
  return static_cast<long long>(stamp.time_since_epoch().count());
}

}  // namespace

void TProfDHTMLEdit::private_OpenDialog(const WideString& param) {
  OleVariant path(param);
  OleVariant prompt(true);
  OleCheck(Editor()->LoadDocument(&path, &prompt));
}

void TProfDHTMLEdit::private_SaveDialog(const WideString& param) {
  OleVariant path(param);
  OleVariant prompt(true);
  OleCheck(Editor()->SaveDocument(&path, &prompt));
}

AnsiString TProfDHTMLEdit::OpenDialog(const AnsiString& initialDir) {
  THtmlDocument document;
  if (!GetDOM(document)) return {};
  if (!CallAndWait(document, dcrOpenDialog, static_cast<TProfDHTMLEditPrivateMethod>(&TProfDHTMLEdit::private_OpenDialog),
                   DialogStart(initialDir)))
    return {};
  // No load came: the person cancelled, and the reason is still pending.
  const bool cancelled = FReason == dcrOpenDialog;
  if (cancelled) FReason = dcrUndefined;
  const AnsiString result = WideToAnsi(GetFileName());
  Raise(cancelled ? OnOpenDialogCancel : OnOpenDialog);
  return result;
}

AnsiString TProfDHTMLEdit::SaveDialog(const AnsiString& initialDir) {
  if (!CanGetDOM()) return {};
  try {
    const WideString old = GetFileName();
    const long long age = FileStamp(old);
    private_SaveDialog(DialogStart(initialDir));
    const WideString chosen = GetFileName();
    // Nothing written (the dialog was cancelled): the old name stands.
    if (chosen == old && FileStamp(chosen) == age) return WideToAnsi(old);
    DoSetModified(true);
    // The control writes the file again in its own format; a file it cannot write
    // is no saved file.
    if (!SaveToFile(WideToAnsi(chosen))) return {};
    return WideToAnsi(chosen);
  } catch (...) {
    return {};
  }
}
