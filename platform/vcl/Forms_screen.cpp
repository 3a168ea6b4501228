// TScreen: the display's size, the forms, the active form and the cursor.
#include <algorithm>

#include "platform/vcl/Forms.h"

namespace {

// The system cursor each standard cursor number stands for.
const char* StandardCursor(TCursor cursor) {
  switch (cursor) {
    case crDefault:
    case crArrow:
    case crDrag:
    case crMultiDrag:
      return IDC_ARROW;
    case crCross:
      return IDC_CROSS;
    case crIBeam:
      return IDC_IBEAM;
    case crSizeNESW:
      return IDC_SIZENESW;
    case crSizeNS:
    case crVSplit:
      return IDC_SIZENS;
    case crSizeNWSE:
      return IDC_SIZENWSE;
    case crSizeWE:
    case crHSplit:
      return IDC_SIZEWE;
    case crUpArrow:
      return IDC_UPARROW;
    case crHourGlass:
    case crSQLWait:
      return IDC_WAIT;
    case crNoDrop:
    case crNo:
      return IDC_NO;
    case crAppStart:
      return IDC_APPSTARTING;
    case crHelp:
      return IDC_HELP;
    case crHandPoint:
      return IDC_HAND;
    case crSizeAll:
      return IDC_SIZEALL;
    default:
      return nullptr;
  }
}

}  // namespace

TScreen::TScreen(TComponent* owner) : TComponent(owner) {}

TScreen::~TScreen() = default;

Integer TScreen::GetWidth() const { return ::GetSystemMetrics(SM_CXSCREEN); }

Integer TScreen::GetHeight() const { return ::GetSystemMetrics(SM_CYSCREEN); }

Integer TScreen::GetPixelsPerInch() const {
  const HDC dc = ::GetDC(0);
  const Integer dpi = ::GetDeviceCaps(dc, LOGPIXELSY);
  ::ReleaseDC(0, dc);
  return dpi;
}

TCustomForm* TScreen::Forms(Integer index) const {
  if (index < 0 || index >= GetFormCount())
    throw EListError("List index out of bounds (" + std::to_string(index) + ")");
  return forms_[static_cast<size_t>(index)];
}

void TScreen::AddForm(TCustomForm* form) { forms_.push_back(form); }

void TScreen::RemoveForm(TCustomForm* form) {
  forms_.erase(std::remove(forms_.begin(), forms_.end(), form), forms_.end());
  if (activeForm_ == form) activeForm_ = nullptr;
  if (activeControl_ && form->ContainsControl(activeControl_)) activeControl_ = nullptr;
}

void TScreen::SetActiveForm(TCustomForm* form) { activeForm_ = form; }

HCURSOR TScreen::Cursors(TCursor index) const {
  for (const auto& [number, handle] : cursors_) {
    if (number == index) return handle;
  }
  if (index == crNone) return 0;
  const char* standard = StandardCursor(index);
  return ::LoadCursor(0, standard ? standard : IDC_ARROW);
}

void TScreen::SetCursors(TCursor index, HCURSOR handle) {
  auto it = std::find_if(cursors_.begin(), cursors_.end(),
                         [&](const auto& entry) { return entry.first == index; });
  if (it != cursors_.end()) cursors_.erase(it);
  if (handle) cursors_.emplace_back(index, handle);
}

void TScreen::SetCursor(TCursor value) {
  if (value == cursor_) return;
  cursor_ = value;
  if (value != crDefault) {
    ::SetCursor(Cursors(value));
    return;
  }
  // Back to the controls' own cursors: the window under the mouse chooses again.
  POINT p;
  if (!::GetCursorPos(&p)) return;
  const HWND window = ::WindowFromPoint(p);
  if (window && FindControl(window)) {
    ::SendMessage(window, WM_SETCURSOR, window, MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
  } else {
    ::SetCursor(Cursors(crArrow));
  }
}

TScreen* TScreenRef::operator->() const { return *this; }

TScreenRef::operator TScreen*() const {
  // Never freed: forms leave it as they go, up to the process's last moment.
  static TScreen* screen = new TScreen(nullptr);
  return screen;
}
