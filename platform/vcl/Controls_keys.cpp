// The keyboard and the focus: key events (the form's KeyPreview first), the key
// notifications the loop sends before dispatching a key (dialog keys such as Tab),
// and which control of a form has the focus.
#include "platform/vcl/Controls.h"
#include "platform/vcl/Forms.h"

namespace {

// The key travels in the low word of wParam.
Word CharCode(const TMessage& m) { return static_cast<Word>(m.WParam & 0xFFFF); }

}  // namespace

bool TWinControl::DoKeyDown(TMessage& message) {
  Word key = static_cast<Word>(message.WParam);
  const TShiftState shift = KeyDataToShiftState(message.LParam);
  TCustomForm* form = GetParentForm(this);
  if (form && form != static_cast<TControl*>(this) && form->GetKeyPreview()) {
    TMessage copy = message;
    if (form->DoKeyDown(copy)) return true;
    key = static_cast<Word>(copy.WParam);
  }
  if (!destroying_) KeyDown(key, shift);
  message.WParam = key;
  return key == 0;
}

bool TWinControl::DoKeyUp(TMessage& message) {
  Word key = static_cast<Word>(message.WParam);
  const TShiftState shift = KeyDataToShiftState(message.LParam);
  TCustomForm* form = GetParentForm(this);
  if (form && form != static_cast<TControl*>(this) && form->GetKeyPreview()) {
    TMessage copy = message;
    if (form->DoKeyUp(copy)) return true;
    key = static_cast<Word>(copy.WParam);
  }
  if (!destroying_) KeyUp(key, shift);
  message.WParam = key;
  return key == 0;
}

bool TWinControl::DoKeyPress(TMessage& message) {
  char key = static_cast<char>(message.WParam & 0xFF);
  TCustomForm* form = GetParentForm(this);
  if (form && form != static_cast<TControl*>(this) && form->GetKeyPreview()) {
    TMessage copy = message;
    if (form->DoKeyPress(copy)) return true;
    key = static_cast<char>(copy.WParam & 0xFF);
  }
  if (!destroying_) KeyPress(key);
  message.WParam = static_cast<unsigned char>(key);
  return key == 0;
}

void TWinControl::KeyDown(Word& key, TShiftState shift) {
  if (OnKeyDown) OnKeyDown(this, key, shift);
}

void TWinControl::KeyPress(char& key) {
  if (OnKeyPress) OnKeyPress(this, key);
}

void TWinControl::KeyUp(Word& key, TShiftState shift) {
  if (OnKeyUp) OnKeyUp(this, key, shift);
}

namespace {

// A shortcut of the control's popup menu or of its form's main menu: the item is
// clicked and the key taken.
bool IsMenuKey(TWinControl* control, const TMessage& message) {
  for (TControl* c = control; c; c = c->GetParent()) {
    if (TPopupMenu* popup = c->GetPopupMenu(); popup && popup->IsShortCut(message)) return true;
  }
  TCustomForm* form = GetParentForm(control);
  return form && form->GetMenu() && form->GetMenu()->IsShortCut(message);
}

}  // namespace

// CN_KEYDOWN: a key is about to be dispatched to this control. Result 1 takes it
// away: a parent that wants it (CM_CHILDKEY), or a dialog key (Tab, arrows, Enter,
// Escape) that the control does not ask for with WM_GETDLGCODE and its form uses.
void TWinControl::HandleKeyNotify(TMessage& message) {
  message.Result = 1;
  const Word key = CharCode(message);
  if (Perform(CM_CHILDKEY, key, reinterpret_cast<LPARAM>(this)) != 0) return;
  if (IsMenuKey(this, message)) return;
  LRESULT mask = 0;
  switch (key) {
    case VK_TAB:
      mask = DLGC_WANTTAB;
      break;
    case VK_LEFT:
    case VK_RIGHT:
    case VK_UP:
    case VK_DOWN:
      mask = DLGC_WANTARROWS;
      break;
    case VK_RETURN:
    case VK_ESCAPE:
    case VK_CANCEL:
      mask = DLGC_WANTALLKEYS;
      break;
    default:
      break;
  }
  if (mask != 0 && Perform(CM_WANTSPECIALKEY, key, message.LParam) == 0 &&
      (Perform(WM_GETDLGCODE) & mask) == 0) {
    TCustomForm* form = GetParentForm(this);
    if (form && form->Perform(CM_DIALOGKEY, key, message.LParam) != 0) return;
  }
  message.Result = 0;
}

void TWinControl::HandleSysKeyNotify(TMessage& message) {
  message.Result = 1;
  const Word key = CharCode(message);
  if (Perform(CM_CHILDKEY, key, reinterpret_cast<LPARAM>(this)) != 0) return;
  if (IsMenuKey(this, message)) return;
  TCustomForm* form = GetParentForm(this);
  if (form && form->Perform(CM_DIALOGKEY, key, message.LParam) != 0) return;
  message.Result = 0;
}

void TWinControl::HandleCharNotify(TMessage& message) {
  message.Result = 1;
  if ((Perform(WM_GETDLGCODE) & DLGC_WANTCHARS) == 0) {
    TCustomForm* form = GetParentForm(this);
    if (form && form->Perform(CM_DIALOGCHAR, message.WParam, message.LParam) != 0) return;
  }
  message.Result = 0;
}

// --- Focus ---------------------------------------------------------------------------

bool TWinControl::CanFocus() {
  TCustomForm* form = GetParentForm(this);
  if (!form) return false;
  for (TControl* c = this; c != form; c = c->GetParent()) {
    if (!c->GetVisible() || !c->GetEnabled()) return false;
  }
  return true;
}

void TWinControl::SetFocus() {
  if (TCustomForm* form = GetParentForm(this)) {
    form->FocusControl(this);
    return;
  }
  if (parentWindow_) {
    ::SetFocus(GetHandle());
    return;
  }
  throw EInvalidOperation("Control '" + GetName() + "' has no parent window");
}

bool TWinControl::Focused() { return handle_ != 0 && ::GetFocus() == handle_; }

void TWinControl::RemoveFocus(bool removing) {
  if (TCustomForm* form = GetParentForm(this)) form->DefocusControl(this, removing);
}

void TWinControl::DoEnter() {
  if (OnEnter) OnEnter(this);
}

void TWinControl::DoExit() {
  if (OnExit) OnExit(this);
}
