// The common dialogs' calls, templates and child dialogs. The dialogs' forms come
// from the dialog host (platform/win/DialogHost.h).
#include "platform/win/CommDlg.h"

#include <cstddef>
#include <cstring>
#include <map>
#include <mutex>
#include <utility>

#include "platform/rtl/NoDestructor.h"
#include "platform/win/DialogHost.h"
#include "platform/win/GdiText.h"
#include "platform/win/SimHooks.h"

namespace {

thread_local DWORD tCommDlgError = 0;

struct Templates {
  std::mutex Lock;
  std::map<std::pair<HINSTANCE, std::string>, DialogTemplate> ByName;
};

Templates& TheTemplates() {
  static NoDestructor<Templates> templates;
  return *templates;
}

constexpr char kDialogClass[] = "#32770";
constexpr char kStaticClass[] = "STATIC";

// A template's static item: its text on the dialog face.
LRESULT StaticProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg != WM_PAINT) return DefWindowProc(hWnd, msg, wParam, lParam);
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(hWnd, &ps);
  RECT r;
  GetClientRect(hWnd, &r);
  FillRect(dc, &r, GetSysColorBrush(COLOR_BTNFACE));
  char text[512];
  const Integer n = GetWindowText(hWnd, text, sizeof text);
  if (n > 0) {
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
    DrawText(dc, text, n, &r, DT_WORDBREAK | DT_NOPREFIX);
  }
  EndPaint(hWnd, &ps);
  return 0;
}

// The child dialog: its procedure first, then the default handling.
LRESULT DialogProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  const auto proc = reinterpret_cast<LPOFNHOOKPROC>(GetWindowLongPtr(hWnd, DWL_DLGPROC));
  if (proc) {
    if (msg == WM_NOTIFY) SetWindowLongPtr(hWnd, DWL_MSGRESULT, 0);
    if (proc(hWnd, msg, wParam, lParam)) {
      return msg == WM_NOTIFY ? GetWindowLongPtr(hWnd, DWL_MSGRESULT) : 1;
    }
  }
  if (msg == WM_ERASEBKGND) {
    RECT r;
    GetClientRect(hWnd, &r);
    FillRect(reinterpret_cast<HDC>(wParam), &r, GetSysColorBrush(COLOR_BTNFACE));
    return 1;
  }
  return DefWindowProc(hWnd, msg, wParam, lParam);
}

void RegisterClasses() {
  static const bool registered = [] {
    WNDCLASS dialog;
    dialog.lpfnWndProc = &DialogProc;
    dialog.cbWndExtra = DLGWINDOWEXTRA;
    dialog.lpszClassName = kDialogClass;
    RegisterClass(&dialog);
    WNDCLASS stat;
    stat.lpfnWndProc = &StaticProc;
    stat.lpszClassName = kStaticClass;
    WNDCLASS existing;
    if (!GetClassInfo(0, kStaticClass, &existing)) RegisterClass(&stat);
    return true;
  }();
  (void)registered;
}

}  // namespace

void RegisterDialogClasses() { RegisterClasses(); }

void RegisterDialogTemplate(HINSTANCE instance, const std::string& name, DialogTemplate t) {
  Templates& all = TheTemplates();
  std::lock_guard<std::mutex> lock(all.Lock);
  all.ByName[{instance, name}] = std::move(t);
}

void UnregisterDialogTemplate(HINSTANCE instance, const std::string& name) {
  Templates& all = TheTemplates();
  std::lock_guard<std::mutex> lock(all.Lock);
  all.ByName.erase({instance, name});
}

const DialogTemplate* FindDialogTemplate(HINSTANCE instance, const std::string& name) {
  Templates& all = TheTemplates();
  std::lock_guard<std::mutex> lock(all.Lock);
  const auto it = all.ByName.find({instance, name});
  return it == all.ByName.end() ? nullptr : &it->second;
}

BOOL MapDialogRect(HWND /*hDlg*/, RECT* rect) {
  if (!rect) return FALSE;
  rect->left = rect->left * 6 / 4;
  rect->right = rect->right * 6 / 4;
  rect->top = rect->top * 13 / 8;
  rect->bottom = rect->bottom * 13 / 8;
  return TRUE;
}

HWND CreateChildDialog(HWND parent, const DialogTemplate& t, LPOFNHOOKPROC proc, LPARAM initParam) {
  RegisterClasses();
  RECT size{0, 0, t.Cx, t.Cy};
  MapDialogRect(parent, &size);
  const DWORD style = (t.Style | WS_CHILD) & ~static_cast<DWORD>(WS_POPUP);
  HWND dialog = CreateWindowEx(0, kDialogClass, "", style, 0, 0, size.right, size.bottom, parent, 0, 0,
                               nullptr);
  if (!dialog) return 0;
  for (const DialogItemTemplate& item : t.Items) {
    RECT r{item.X, item.Y, item.X + item.Cx, item.Y + item.Cy};
    MapDialogRect(dialog, &r);
    CreateWindowEx(0, item.ClassName.c_str(), item.Text.c_str(), item.Style | WS_CHILD, r.left, r.top,
                   r.right - r.left, r.bottom - r.top, dialog, static_cast<HMENU>(item.Id), 0, nullptr);
  }
  SetWindowLongPtr(dialog, DWL_DLGPROC, reinterpret_cast<LONG_PTR>(proc));
  if (proc) proc(dialog, WM_INITDIALOG, 0, initParam);
  return dialog;
}

HWND GetDlgItem(HWND hDlg, Integer id) {
  for (HWND child = GetWindow(hDlg, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    if (GetWindowLongPtr(child, GWL_ID) == id) return child;
  }
  return 0;
}

namespace {

BOOL FileDialog(OPENFILENAME* ofn, bool save) {
  tCommDlgError = 0;
  if (!ofn || ofn->lStructSize < offsetof(OPENFILENAME, pvReserved)) {
    tCommDlgError = CDERR_STRUCTSIZE;
    return FALSE;
  }
  if (const larkwin::DialogHost* host = larkwin::CurrentDialogHost(); host && host->FileDialog)
    return host->FileDialog(ofn, save);
  // No form to show: the responder is asked and nothing is chosen.
  AnsiString value = ofn->lpstrFile ? ofn->lpstrFile : "";
  sim::AnswerDialog(save ? sim::DialogKind::SaveFile : sim::DialogKind::OpenFile,
                    ofn->lpstrTitle ? ofn->lpstrTitle : (save ? "Save As" : "Open"), "", ofn->Flags,
                    2 /* Cancel */, &value);
  return FALSE;
}

}  // namespace

BOOL GetOpenFileName(OPENFILENAME* ofn) { return FileDialog(ofn, false); }
BOOL GetSaveFileName(OPENFILENAME* ofn) { return FileDialog(ofn, true); }

BOOL ChooseColor(CHOOSECOLOR* cc) {
  tCommDlgError = 0;
  if (!cc || cc->lStructSize < sizeof(CHOOSECOLOR)) {
    tCommDlgError = CDERR_STRUCTSIZE;
    return FALSE;
  }
  if (const larkwin::DialogHost* host = larkwin::CurrentDialogHost(); host && host->ChooseColor)
    return host->ChooseColor(cc);
  sim::AnswerDialog(sim::DialogKind::Color, "Color", "", cc->Flags, 2 /* Cancel */);
  return FALSE;
}

DWORD CommDlgExtendedError() { return tCommDlgError; }
void SetCommDlgExtendedError(DWORD error) { tCommDlgError = error; }
