// The keyboard and mouse event layer: the engine's DHTML events, whose details are in
// the document window's event object, become the framework's own messages sent to
// the control, so OnKeyDown, OnMouseMove and the rest fire as for any windowed
// control (coordinates in the document window's client area). What the framework's
// key handling does to a key flows back into the engine's event.
#include <algorithm>
#include <cstring>

#include "html/ProfDHTMLEdit.h"
#include "platform/rtl/CodePage.h"
#include "platform/vcl/StdCtrls.h"
#include "platform/win/Input.h"
#include "platform/win/Messages.h"

using namespace mshtml;

namespace {

constexpr LPARAM kAltKeyData = 0x20000000;

LPARAM KeyData(const EventObject* event) { return event->AltKey ? kAltKeyData : 0; }

WPARAM MouseKeys(const EventObject* event, bool withButtons) {
  WPARAM keys = 0;
  if (withButtons) {
    if (event->Button & 1) keys |= MK_LBUTTON;
    if (event->Button & 2) keys |= MK_RBUTTON;
    if (event->Button & 4) keys |= MK_MBUTTON;
  }
  if (event->ShiftKey) keys |= MK_SHIFT;
  if (event->CtrlKey) keys |= MK_CONTROL;
  if (event->AltKey) keys |= kAltKeyData;
  return keys;
}

LPARAM MousePoint(const EventObject* event) {
  return static_cast<LPARAM>((static_cast<uint32_t>(event->ClientY & 0xFFFF) << 16) |
                             static_cast<uint32_t>(event->ClientX & 0xFFFF));
}

}  // namespace

EventObject* TCustomProfDHTMLEdit::CurrentEvent(THtmlDocument& document) {
  if (!GetDOM(document)) return nullptr;
  return document->GetEvent();
}

void TCustomProfDHTMLEdit::WndProc(TMessage& message) {
  switch (message.Msg) {
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_CHAR:
      TProfOleControl::WndProc(message);
      FLastKey = static_cast<Word>(message.WParam);
      return;
    case CN_CHAR:
      if (!GetComponentState().Contains(csDesigning)) {
        message.Result = 0;
        return;
      }
      break;
    case WM_GETDLGCODE:
      TProfOleControl::WndProc(message);
      message.Result |= DLGC_WANTARROWS | DLGC_WANTALLKEYS;
      return;
    case CM_HINTSHOWPAUSE:
      SetMouseCapture(false);
      break;
    case EM_GETSEL: {
      const Integer start = GetSelStart();
      const Integer end = start + GetSelLength();
      if (message.WParam) *reinterpret_cast<int32_t*>(message.WParam) = start;
      if (message.LParam) *reinterpret_cast<int32_t*>(message.LParam) = end;
      message.Result = end <= 0xFFFF ? static_cast<LRESULT>((static_cast<uint32_t>(end) << 16) |
                                                            (static_cast<uint32_t>(start) & 0xFFFF))
                                     : -1;
      return;
    }
    case EM_SETSEL: {
      const auto from = static_cast<Integer>(static_cast<int32_t>(message.WParam));
      const auto to = static_cast<Integer>(static_cast<int32_t>(message.LParam));
      if (from == 0 && to == -1) {
        SelectAll();
        return;
      }
      SetSelStart(from);
      SetSelLength(to - from);
      return;
    }
    case EM_GETLINE: {
      // The text is one line: line 0 is the plain text, copied up to the capacity the
      // buffer's first word gives, without a terminating zero.
      message.Result = 0;
      if (message.WParam != 0 || !message.LParam) return;
      auto* buffer = reinterpret_cast<char*>(message.LParam);
      Word capacity;
      std::memcpy(&capacity, buffer, sizeof capacity);
      const AnsiString text = WideToAnsi(GetPlainTextEx());
      const size_t count = std::min<size_t>(capacity, text.size());
      std::memcpy(buffer, text.data(), count);
      message.Result = static_cast<LRESULT>(count);
      return;
    }
    case EM_GETLINECOUNT:
      message.Result = 1;
      return;
    case EM_LINEINDEX:
      message.Result = (message.WParam == 0 || static_cast<int32_t>(message.WParam) == -1) ? 0 : -1;
      return;
    case EM_LINEFROMCHAR:
      message.Result = 0;
      return;
    case EM_REPLACESEL:
      SetSelText(AnsiToWide(reinterpret_cast<const char*>(message.LParam)));
      return;
    default:
      break;
  }
  TProfOleControl::WndProc(message);
}

// --- Keys -------------------------------------------------------------------------

void TCustomProfDHTMLEdit::KeyDownHandler(TObject*) {
  THtmlDocument document;
  EventObject* event = CurrentEvent(document);
  if (!event) return;
  try {
    if (FSkipKeyDown > 0) {
      --FSkipKeyDown;
      return;
    }
    const Integer key = event->KeyCode;
    Perform(WM_KEYDOWN, static_cast<WPARAM>(key), KeyData(event));
    if (key != FLastKey) {
      if (FLastKey == 0) {
        event->ReturnValue = false;
        return;
      }
      event->KeyCode = FLastKey;
    }
    const bool plainEnter = key == 13 && !event->ShiftKey && !event->AltKey && !event->CtrlKey;
    if (RuntimeUseDivOnCarriageReturn() && !FUseBrOnCarriageReturn) {
      FRepairDiv = plainEnter ? true : IsEverythingSelected();
      if (FRepairDiv) SaveBody();
    }
    if (FUseBrOnCarriageReturn && plainEnter && (GetNumbering() || GetBullets())) {
      // In a list the engine makes the new item itself; its paragraph tags are taken
      // out at the next display change.
      FRepairBr = true;
      return;
    }
    if (FUseBrOnCarriageReturn && plainEnter) {
      // Enter closes a heading or other styled paragraph; in a normal line it makes a
      // line break instead of a new paragraph: the engine gets Shift+Enter.
      event->ReturnValue = false;
      if (CloseParagraph()) return;
      FSkipKeyDown = 2;
      FSkipKeyUp = 2;
      const Word codes[4] = {VK_SHIFT, VK_RETURN, VK_RETURN, VK_SHIFT};
      const DWORD flags[4] = {0, 0, KEYEVENTF_KEYUP, KEYEVENTF_KEYUP};
      for (int i = 0; i < 4; ++i) keybd_event(static_cast<Byte>(codes[i]), 0, flags[i], 0);
    }
  } catch (...) {
  }
}

// Outside the normal style the element at the caret is written back with a blank
// after it, which ends the paragraph there; false in a normal paragraph.
bool TCustomProfDHTMLEdit::CloseParagraph() {
  if (IsNormalStyle()) return false;
  SetObjectHTML(GetObjectHTML() + u" ");
  return true;
}

void TCustomProfDHTMLEdit::KeyUpHandler(TObject*) {
  THtmlDocument document;
  EventObject* event = CurrentEvent(document);
  if (!event) return;
  try {
    if (FSkipKeyUp > 0) {
      --FSkipKeyUp;
      return;
    }
    const Integer key = event->KeyCode;
    Perform(WM_KEYUP, static_cast<WPARAM>(key), KeyData(event));
    if (key != FLastKey) {
      if (FLastKey == 0) event->ReturnValue = false;
      else event->KeyCode = FLastKey;
    }
  } catch (...) {
  }
}

void TCustomProfDHTMLEdit::KeyPressHandler(TObject*) {
  THtmlDocument document;
  EventObject* event = CurrentEvent(document);
  if (!event) return;
  try {
    Integer ch = event->KeyCode;
    if (ch >= 255) {
      const AnsiString narrow = WideToAnsi(WideString(1, static_cast<char16_t>(ch)));
      ch = narrow.empty() ? 0 : static_cast<unsigned char>(narrow[0]);
    }
    Perform(WM_CHAR, static_cast<WPARAM>(ch), KeyData(event));
    if (ch != FLastKey) {
      if (FLastKey == 0) {
        event->ReturnValue = false;
      } else {
        const WideString wide = AnsiToWide(AnsiString(1, static_cast<char>(FLastKey)));
        event->KeyCode = wide.empty() ? 0 : wide[0];
      }
    }
  } catch (...) {
  }
}

// --- Mouse ------------------------------------------------------------------------

bool TCustomProfDHTMLEdit::SendMouse(UINT msg, EventObject* event, WPARAM extra) {
  Perform(msg, MouseKeys(event, true) | extra, MousePoint(event));
  return true;
}

void TCustomProfDHTMLEdit::MouseDownHandler(TObject*) {
  THtmlDocument document;
  EventObject* event = CurrentEvent(document);
  if (!event) return;
  try {
    if (event->ClientX < 0 || event->ClientY < 0) return;
    if (event->Button & 1) SendMouse(WM_LBUTTONDOWN, event);
    if (event->Button & 2) SendMouse(WM_RBUTTONDOWN, event);
    if (event->Button & 4) SendMouse(WM_MBUTTONDOWN, event);
    if (FResizeCursor) StartTableDrag(event);
  } catch (...) {
  }
}

void TCustomProfDHTMLEdit::MouseUpHandler(TObject*) {
  THtmlDocument document;
  EventObject* event = CurrentEvent(document);
  if (!event) return;
  try {
    if (event->ClientX < 0 || event->ClientY < 0) return;
    if (event->Button & 1) SendMouse(WM_LBUTTONUP, event);
    if (event->Button & 2) SendMouse(WM_RBUTTONUP, event);
    if (event->Button & 4) SendMouse(WM_MBUTTONUP, event);
    EndTableDrag();
  } catch (...) {
  }
}

void TCustomProfDHTMLEdit::MouseMoveHandler(TObject*) {
  THtmlDocument document;
  EventObject* event = CurrentEvent(document);
  if (!event) return;
  try {
    if (event->ClientX < 0 || event->ClientY < 0) return;
    SendMouse(WM_MOUSEMOVE, event);
    if (RuntimeBrowseMode()) return;
    if (FDragging) DragTableBorder(event);
    else TrackTableBorder(event);
  } catch (...) {
  }
}

void TCustomProfDHTMLEdit::DblClickHandler(TObject*) {
  THtmlDocument document;
  EventObject* event = CurrentEvent(document);
  if (!event) return;
  try {
    if (event->ClientX < 0 || event->ClientY < 0) return;
    Perform(WM_LBUTTONDBLCLK, MK_LBUTTON | MouseKeys(event, false), MousePoint(event));
  } catch (...) {
  }
}

void TCustomProfDHTMLEdit::MouseOverHandler(TObject*) {
  if (GetShowHint() && !GetHint().empty()) SetMouseCapture(true);
  Raise(OnMouseEnter);
}

void TCustomProfDHTMLEdit::MouseOutHandler(TObject*) {
  SetMouseCapture(false);
  Raise(OnMouseLeave);
}
