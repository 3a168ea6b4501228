// Input in the document's window: each mouse and key message becomes a DHTML event of
// the document (with the event object set while the event's handlers run), and then,
// unless a handler cancelled it, the default action: the edits a person makes with
// the keys, caret moves, the caret or a control selection placed by a click, the
// context menu. Every edit is one change: the change logs hear of it once.
#include <algorithm>

#include "platform/mshtml/Commands.h"
#include "platform/mshtml/EditComponent.h"
#include "platform/mshtml/EditComponentInternal.h"
#include "platform/mshtml/Undo.h"
#include "platform/win/Input.h"
#include "platform/win/Messages.h"
#include "platform/win/Window.h"

namespace mshtml {

namespace {

constexpr Integer kWheelStep = 48;
constexpr char16_t kNbsp = 0x00A0;

Integer SignedLow(LPARAM v) { return static_cast<int16_t>(LOWORD(static_cast<uintptr_t>(v))); }
Integer SignedHigh(LPARAM v) { return static_cast<int16_t>(HIWORD(static_cast<uintptr_t>(v))); }

bool IsHeading(const Element* e) { return e->GetTagId() >= TAGID_H1 && e->GetTagId() <= TAGID_H6; }

// Blocks that Enter splits in two.
bool IsSplittable(const Element* e) {
  switch (e->GetTagId()) {
    case TAGID_P:
    case TAGID_DIV:
    case TAGID_LI:
    case TAGID_PRE:
    case TAGID_ADDRESS:
      return true;
    default:
      return IsHeading(e);
  }
}

// Elements that start a new block (they end a run of inline content).
bool IsBlock(const Node* n) {
  if (n->GetNodeType() != NODE_ELEMENT) return false;
  const Element* e = static_cast<const Element*>(n);
  switch (e->GetTagId()) {
    case TAGID_TABLE:
    case TAGID_BODY:
      return true;
    default:
      break;
  }
  const WideString& t = e->GetTagName();
  return IsSplittable(e) || t == u"UL" || t == u"OL" || t == u"BLOCKQUOTE" || t == u"CENTER" || t == u"HR" ||
         t == u"TR" || t == u"TD" || t == u"TH" || t == u"DL" || t == u"FORM";
}

// The block the node lies in: the nearest splittable ancestor below the body, or
// null when the text is directly in a container (the body, a cell).
Element* BlockOf(Node* node) {
  for (Element* e = node ? node->GetParentElement() : nullptr; e; e = e->GetParentElement()) {
    if (IsSplittable(e)) return e;
    if (IsBlock(e)) return nullptr;
  }
  return nullptr;
}

// The unit index of a text position (the boundary before the character at offset).
Integer UnitOf(const std::vector<TextUnit>& units, const TextPosition& p) {
  for (size_t i = 0; i < units.size(); ++i)
    if (units[i].Anchor == p.Node && units[i].UnitKind == TextUnit::Char && units[i].Offset >= p.Offset)
      return static_cast<Integer>(i);
  for (size_t i = units.size(); i-- > 0;)
    if (units[i].Anchor == p.Node) return static_cast<Integer>(i + 1);
  return -1;
}

bool HasContent(const Element* block) {
  for (const TextUnit& u : ReadTextUnits(block))
    if (u.UnitKind == TextUnit::Char || u.UnitKind == TextUnit::Object) return true;
  return false;
}

// An emptied block holds a non-breaking space, so the caret has a place in it.
void KeepPlaceholder(Element* block) {
  if (!block || !block->IsInDocument() || HasContent(block)) return;
  while (Node* child = block->GetFirstChild()) child->RemoveNode(true);
  block->AppendChild(block->GetOwnerDocument()->CreateTextNode(WideString(1, kNbsp)));
}

bool IsPlaceholder(const Node* n) {
  return n && n->GetNodeType() == NODE_TEXT && static_cast<const TextNode*>(n)->GetData() == WideString(1, kNbsp);
}

}  // namespace

// --- dispatch ---

bool EditComponent::FireDhtml(DISPID id, EventObject& event) {
  EventObject* outer = event_;
  event_ = &event;
  Fire(id);
  event_ = outer;
  return !(event.ReturnValue.has_value() && !*event.ReturnValue);
}

EventObject EditComponent::MouseEvent(const char16_t* type, WPARAM keys, LPARAM point, Integer button) {
  EventObject e;
  e.Type = type;
  e.ClientX = e.X = SignedLow(point);
  e.ClientY = e.Y = SignedHigh(point);
  e.ShiftKey = (keys & MK_SHIFT) != 0;
  e.CtrlKey = (keys & MK_CONTROL) != 0;
  e.AltKey = GetKeyState(VK_MENU) < 0;
  e.Button = button;
  if (layout_) e.SrcElement = layout_->ElementFromPoint(e.ClientX, e.ClientY);
  return e;
}

EventObject EditComponent::KeyEvent(const char16_t* type, Integer key) {
  EventObject e;
  e.Type = type;
  e.KeyCode = key;
  e.ShiftKey = GetKeyState(VK_SHIFT) < 0;
  e.CtrlKey = GetKeyState(VK_CONTROL) < 0;
  e.AltKey = GetKeyState(VK_MENU) < 0;
  e.SrcElement = CaretElement();
  return e;
}

Element* EditComponent::CaretElement() {
  Selection* selection = document_->GetSelection();
  if (!selection->GetControls().empty()) return selection->GetControls().front();
  if (auto range = selection->CreateRange()) return range->GetParentElement();
  return document_->GetBody();
}

LRESULT EditComponent::DocumentProc(HWND self, UINT msg, WPARAM wParam, LPARAM lParam) {
  ComPtr<IDHTMLEdit> hold(this);
  // A window on its way out (or not yet known) gets the default handling.
  if (self != docWindow_) return DefWindowProc(self, msg, wParam, lParam);
  switch (msg) {
    case WM_PAINT:
      Paint();
      return 0;
    case WM_COMMAND:
      // Browse and edit mode, as the browser object's host switches them.
      if (LOWORD(wParam) == IDM_BROWSEMODE || LOWORD(wParam) == IDM_EDITMODE) {
        document_->SetDesignMode(LOWORD(wParam) == IDM_BROWSEMODE ? u"off" : u"on");
        return 0;
      }
      break;
    case WM_ERASEBKGND:
      return 1;
    case WM_SIZE:
      UpdateScrollBars();
      InvalidateRect(self, nullptr, TRUE);
      return 0;
    case WM_GETDLGCODE:
      return 0x85;  // every key, the arrows and the characters
    case WM_SETFOCUS:
      focused_ = true;
      InvalidateRect(self, nullptr, FALSE);
      return 0;
    case WM_KILLFOCUS: {
      focused_ = false;
      InvalidateRect(self, nullptr, FALSE);
      if (everLoaded_ && !job_) {
        EventObject e;
        e.Type = u"blur";
        e.SrcElement = CaretElement();
        FireDhtml(DISPID_EV_ONBLUR, e);
      }
      return 0;
    }
    case WM_VSCROLL: {
      if (!layout_) return 0;
      const Integer top = layout_->GetScrollTop(), page = ClientRect().bottom;
      Integer to = top;
      switch (LOWORD(wParam)) {
        case SB_LINEUP: to = top - 16; break;
        case SB_LINEDOWN: to = top + 16; break;
        case SB_PAGEUP: to = top - page; break;
        case SB_PAGEDOWN: to = top + page; break;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION: to = static_cast<int16_t>(HIWORD(wParam)); break;
        case SB_TOP: to = 0; break;
        case SB_BOTTOM: to = layout_->GetScrollHeight(); break;
        default: break;
      }
      ScrollTo(layout_->GetScrollLeft(), to);
      return 0;
    }
    case WM_HSCROLL: {
      if (!layout_) return 0;
      const Integer left = layout_->GetScrollLeft(), page = ClientRect().right;
      Integer to = left;
      switch (LOWORD(wParam)) {
        case SB_LINELEFT: to = left - 16; break;
        case SB_LINERIGHT: to = left + 16; break;
        case SB_PAGELEFT: to = left - page; break;
        case SB_PAGERIGHT: to = left + page; break;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION: to = static_cast<int16_t>(HIWORD(wParam)); break;
        case SB_LEFT: to = 0; break;
        case SB_RIGHT: to = layout_->GetScrollWidth(); break;
        default: break;
      }
      ScrollTo(to, layout_->GetScrollTop());
      return 0;
    }
    case WM_MOUSEWHEEL:
      if (layout_) {
        const Integer notches = static_cast<int16_t>(HIWORD(wParam)) / WHEEL_DELTA;
        ScrollTo(layout_->GetScrollLeft(), layout_->GetScrollTop() - notches * kWheelStep);
      }
      return 0;
    case WM_CONTEXTMENU:
      // Only the key asks here (lParam -1); a right click asked at its release.
      if (lParam == static_cast<LPARAM>(-1) && everLoaded_ && !job_) ShowContextMenu(0, 0);
      return 0;
    default:
      break;
  }
  const bool input = (msg >= WM_MOUSEMOVE && msg <= WM_MBUTTONDBLCLK) || msg == WM_KEYDOWN || msg == WM_KEYUP ||
                     msg == WM_CHAR || msg == WM_SYSKEYDOWN || msg == WM_SYSKEYUP;
  if (!input) return DefWindowProc(self, msg, wParam, lParam);
  // No events while a load is pending, and none of a kind already being dispatched.
  if (!everLoaded_ || job_ || dispatching_ == msg) return 0;
  const UINT outer = dispatching_;
  dispatching_ = msg;
  switch (msg) {
    case WM_MOUSEMOVE: OnMouseMove(wParam, lParam); break;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN: OnMouseDown(msg, wParam, lParam); break;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP: OnMouseUp(msg, wParam, lParam); break;
    case WM_LBUTTONDBLCLK: OnDoubleClick(wParam, lParam); break;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN: OnKeyDown(static_cast<UINT>(wParam)); break;
    case WM_KEYUP:
    case WM_SYSKEYUP: OnKeyUp(static_cast<UINT>(wParam)); break;
    case WM_CHAR: OnChar(static_cast<UINT>(wParam)); break;
    default: break;
  }
  dispatching_ = outer;
  return 0;
}

// --- mouse ---

void EditComponent::OnMouseMove(WPARAM wParam, LPARAM lParam) {
  const POINT at{SignedLow(lParam), SignedHigh(lParam)};
  if (at.x == lastMouse_.x && at.y == lastMouse_.y) return;
  lastMouse_ = at;
  const Integer buttons = ((wParam & MK_LBUTTON) ? 1 : 0) | ((wParam & MK_RBUTTON) ? 2 : 0) |
                          ((wParam & MK_MBUTTON) ? 4 : 0);
  EventObject move = MouseEvent(u"mousemove", wParam, lParam, buttons);
  if (move.SrcElement != hover_) {
    if (hover_ && hover_->IsInDocument()) {
      EventObject out = MouseEvent(u"mouseout", wParam, lParam, buttons);
      out.SrcElement = hover_;
      FireDhtml(DISPID_EV_ONMOUSEOUT, out);
    }
    hover_ = move.SrcElement;
    if (hover_) {
      EventObject over = MouseEvent(u"mouseover", wParam, lParam, buttons);
      FireDhtml(DISPID_EV_ONMOUSEOVER, over);
    }
  }
  if (!FireDhtml(DISPID_EV_ONMOUSEMOVE, move)) return;
  // Dragging with the left button selects the text from where it was pressed.
  if (leftDown_ && (wParam & MK_LBUTTON) && DesignMode() && layout_ && document_->GetSelection()->GetControls().empty()) {
    if (auto p = layout_->PositionFromPoint(at.x, at.y)) {
      auto range = document_->CreateTextRange();
      const Integer unit = UnitOf(ReadTextUnits(range->GetRoot()), *p);
      if (unit >= 0) {
        auto current = document_->GetSelection()->CreateRange();
        // Within a word a double click selected, the word stays selected.
        if (wordSelected_ && current && unit >= current->GetStart() && unit <= current->GetEnd()) return;
        const Integer anchor = current ? (unit >= current->GetStart() ? current->GetStart() : current->GetEnd()) : unit;
        range->SetRange(std::min(anchor, unit), std::max(anchor, unit));
        document_->GetSelection()->Select(*range);
        InvalidateRect(docWindow_, nullptr, FALSE);
      }
    }
  }
}

void EditComponent::OnMouseDown(UINT msg, WPARAM wParam, LPARAM lParam) {
  const Integer button = msg == WM_LBUTTONDOWN ? 1 : msg == WM_RBUTTONDOWN ? 2 : 4;
  if (docWindow_ && GetFocus() != docWindow_) SetFocus(docWindow_);
  EventObject e = MouseEvent(u"mousedown", wParam, lParam, button);
  if (button == 1) leftDown_ = true;
  wordSelected_ = false;
  if (!FireDhtml(DISPID_EV_ONMOUSEDOWN, e)) return;
  if (button == 1 && DesignMode()) PlaceCaretAt(e.ClientX, e.ClientY);
}

void EditComponent::OnMouseUp(UINT msg, WPARAM wParam, LPARAM lParam) {
  const Integer button = msg == WM_LBUTTONUP ? 1 : msg == WM_RBUTTONUP ? 2 : 4;
  EventObject e = MouseEvent(u"mouseup", wParam, lParam, button);
  const bool proceed = FireDhtml(DISPID_EV_ONMOUSEUP, e);
  if (button == 1) {
    const bool wasDown = leftDown_;
    leftDown_ = false;
    if (wasDown) {
      EventObject click = MouseEvent(u"click", wParam, lParam, 0);
      FireDhtml(DISPID_EV_ONCLICK, click);
    }
  } else if (button == 2 && proceed) {
    ShowContextMenu(e.ClientX, e.ClientY);
  }
}

void EditComponent::OnDoubleClick(WPARAM wParam, LPARAM lParam) {
  EventObject e = MouseEvent(u"dblclick", wParam, lParam, 0);
  leftDown_ = true;
  if (!FireDhtml(DISPID_EV_ONDBLCLICK, e)) return;
  if (DesignMode()) SelectWordAt(e.ClientX, e.ClientY);
}

namespace {

// Letters, digits and the underscore make words; blanks, punctuation and the
// non-breaking space do not.
bool IsWordUnit(const TextUnit& u) {
  if (u.UnitKind != TextUnit::Char || u.Text.size() != 1) return false;
  const char16_t c = u.Text[0];
  return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'_' ||
         (c >= 0x80 && c != kNbsp && c != 0x2002 && c != 0x2003 && c != 0x2009 && c != 0x3000);
}

}  // namespace

// The word under the point with the blanks after it, as a double click selects it
// (Delete and Cut then take the word out without leaving two blanks together). On a
// blank or a punctuation mark that character alone.
void EditComponent::SelectWordAt(Integer x, Integer y) {
  if (!layout_ || !document_->GetSelection()->GetControls().empty()) return;
  auto p = layout_->PositionFromPoint(x, y);
  if (!p) return;
  auto range = document_->CreateTextRange();
  const auto units = ReadTextUnits(range->GetRoot());
  const auto n = static_cast<Integer>(units.size());
  const Integer at = UnitOf(units, *p);
  if (at < 0) return;
  // The character the point is on: the one before the nearest boundary when the
  // point lies left of it, else the one after; past a line's end its last word.
  Integer i = at;
  if (const std::optional<RECT> caret = CaretRectAt(*layout_, units, at); caret && x < caret->left && at > 0)
    i = at - 1;
  if (i >= n || units[i].UnitKind != TextUnit::Char) {
    if (i > 0 && IsWordUnit(units[i - 1]))
      --i;
    else
      return;
  }
  Integer start = i, end = i + 1;
  if (IsWordUnit(units[i])) {
    while (start > 0 && IsWordUnit(units[start - 1])) --start;
    while (end < n && IsWordUnit(units[end])) ++end;
    while (end < n && units[end].UnitKind == TextUnit::Char && units[end].Text == u" ") ++end;
  }
  BreakTypingRun(*document_);
  range->SetRange(start, end);
  document_->GetSelection()->Select(*range);
  wordSelected_ = true;
  InvalidateRect(docWindow_, nullptr, FALSE);
}

void EditComponent::ShowContextMenu(Integer x, Integer y) {
  VARIANT args[2];
  VariantInit(&args[0]);
  VariantInit(&args[1]);
  args[0].vt = VT_I4;
  args[0].lVal = x;
  args[1].vt = VT_I4;
  args[1].lVal = y;
  Fire(DISPID_EV_SHOWCONTEXTMENU, args, 2);
}

void EditComponent::PlaceCaretAt(Integer x, Integer y) {
  BreakTypingRun(*document_);
  if (!layout_) return;
  Selection* selection = document_->GetSelection();
  Element* hit = layout_->ElementFromPoint(x, y);
  if (hit && (hit->GetTagId() == TAGID_IMG || hit->GetTagId() == TAGID_TABLE)) {
    selection->SelectControls({hit});
  } else if (auto p = layout_->PositionFromPoint(x, y)) {
    auto range = document_->CreateTextRange();
    const Integer unit = UnitOf(ReadTextUnits(range->GetRoot()), *p);
    if (unit < 0) return;
    range->SetRange(unit, unit);
    selection->Select(*range);
  }
  InvalidateRect(docWindow_, nullptr, FALSE);
}

// --- keys ---

bool EditComponent::OnKeyDown(UINT key) {
  EventObject e = KeyEvent(u"keydown", static_cast<Integer>(key));
  // A cancelled key-down takes its character with it.
  suppressChar_ = !FireDhtml(DISPID_EV_ONKEYDOWN, e);
  if (suppressChar_) return false;
  key = static_cast<UINT>(e.KeyCode);
  if (key == VK_APPS || (key == VK_F10 && e.ShiftKey)) {
    ShowContextMenu(0, 0);
    return true;
  }
  if (!DesignMode()) return true;
  auto range = document_->GetSelection()->CreateRange();
  switch (key) {
    case VK_RETURN:
      if (e.ShiftKey)
        InsertLineBreak();
      else
        SplitParagraph();
      break;
    case VK_BACK: DeleteBackward(); break;
    case VK_DELETE: DeleteForward(); break;
    case VK_INSERT:
      // Insert alone switches between inserting and overwriting.
      if (e.ShiftKey || e.CtrlKey || e.AltKey) return true;
      SetOverwriteMode(*document_, !IsOverwriteMode(*document_));
      break;
    case VK_LEFT:
    case VK_RIGHT: {
      BreakTypingRun(*document_);
      if (!range) {
        // From a control selection the caret goes beside the element.
        document_->GetSelection()->Empty();
        break;
      }
      const Integer step = key == VK_LEFT ? -1 : 1;
      if (e.ShiftKey) {
        if (step < 0)
          range->MoveStart(u"character", -1);
        else
          range->MoveEnd(u"character", 1);
      } else if (!range->IsCollapsed()) {
        range->Collapse(step < 0);
      } else {
        range->Move(u"character", step);
      }
      document_->GetSelection()->Select(*range);
      break;
    }
    case VK_UP:
    case VK_DOWN:
      BreakTypingRun(*document_);
      MoveCaretVertically(key == VK_UP ? -1 : 1);
      break;
    case VK_HOME:
    case VK_END: {
      BreakTypingRun(*document_);
      if (!range || !layout_) break;
      const auto units = ReadTextUnits(range->GetRoot());
      const Integer at = std::min<Integer>(range->GetStart(), static_cast<Integer>(units.size()));
      const std::optional<RECT> caret = CaretRectAt(*layout_, units, at);
      if (!caret) break;
      const Integer y = (caret->top + caret->bottom) / 2;
      // The line's ends in document terms: the window may be scrolled sideways.
      auto p = layout_->PositionFromPoint(key == VK_HOME ? -layout_->GetScrollLeft() : kMaxLength, y);
      if (!p) break;
      const Integer unit = UnitOf(units, *p);
      if (unit < 0) break;
      range->SetRange(unit, unit);
      document_->GetSelection()->Select(*range);
      break;
    }
    default:
      return true;
  }
  ScrollCaretIntoView();
  if (docWindow_) InvalidateRect(docWindow_, nullptr, FALSE);
  return true;
}

bool EditComponent::OnKeyUp(UINT key) {
  EventObject e = KeyEvent(u"keyup", static_cast<Integer>(key));
  return FireDhtml(DISPID_EV_ONKEYUP, e);
}

bool EditComponent::OnChar(UINT ch) {
  if (suppressChar_) {
    suppressChar_ = false;
    return false;
  }
  EventObject e = KeyEvent(u"keypress", static_cast<Integer>(ch));
  if (!FireDhtml(DISPID_EV_ONKEYPRESS, e)) return false;
  const Integer typed = e.KeyCode;
  // Control characters are the keys' business (Enter, Backspace, Tab, Escape).
  if (typed < 32 || typed == 127 || typed > 0xFFFF || !DesignMode()) return true;
  InsertText(WideString(1, static_cast<char16_t>(typed)));
  return true;
}

void EditComponent::MoveCaretVertically(Integer lines) {
  auto range = document_->GetSelection()->CreateRange();
  if (!range || !layout_) return;
  const auto units = ReadTextUnits(range->GetRoot());
  const Integer at = std::min<Integer>(range->GetEnd(), static_cast<Integer>(units.size()));
  const std::optional<RECT> caret = CaretRectAt(*layout_, units, at);
  if (!caret) return;
  // The nearest line above or below: the first position whose caret lies wholly
  // past this one's line (paragraph margins lie between).
  const Integer step = lines < 0 ? -4 : 4;
  const Integer limit = layout_->GetScrollHeight();
  for (Integer y = lines < 0 ? caret->top - 1 : caret->bottom + 1; y >= -limit && y <= limit; y += step) {
    auto p = layout_->PositionFromPoint(caret->left, y);
    if (!p) return;
    auto r = layout_->GetCaretRect(p->Node, p->Offset);
    if (!r) return;
    if (lines < 0 ? r->bottom <= caret->top : r->top >= caret->bottom) {
      const Integer unit = UnitOf(units, *p);
      if (unit < 0) return;
      range->SetRange(unit, unit);
      document_->GetSelection()->Select(*range);
      return;
    }
  }
}

// --- edits ---

void EditComponent::InsertText(const WideString& text) {
  Selection* selection = document_->GetSelection();
  if (!selection->GetControls().empty()) return;
  auto range = selection->CreateRange();
  if (!range) return;
  // What Bold, ForeColor and the like armed at this caret (read before the edit,
  // which forgets them).
  const TypingFormats formats = GetTypingFormats(*document_);
  // A run of keys (typing, Enter, Backspace, Delete) undoes as one.
  UndoUnit unit(*document_, u"Typing", true);
  BeginEdit();
  try {
    const auto units = ReadTextUnits(range->GetRoot());
    const Integer at = range->GetStart();
    // Overwriting: the character after the caret goes (a line's end, a block's end
    // and a picture stay).
    if (range->IsCollapsed() && IsOverwriteMode(*document_) && at < static_cast<Integer>(units.size()) &&
        units[at].UnitKind == TextUnit::Char && !IsPlaceholder(units[at].Anchor))
      range->SetRange(at, at + 1);
    // Typing into an empty paragraph's placeholder replaces it.
    Node* near = nullptr;
    if (range->IsCollapsed()) {
      if (at < static_cast<Integer>(units.size()) && IsPlaceholder(units[at].Anchor))
        near = units[at].Anchor;
      else if (at > 0 && IsPlaceholder(units[at - 1].Anchor))
        near = units[at - 1].Anchor;
    }
    if (near) {
      static_cast<TextNode*>(near)->SetData(text);
      const auto after = ReadTextUnits(range->GetRoot());
      const Integer unit = UnitOf(after, TextPosition{static_cast<TextNode*>(near), static_cast<Integer>(text.size())});
      range->SetRange(unit, unit);
    } else {
      range->SetText(text);
    }
    selection->Select(*range);
    if (!formats.Empty()) {
      const Integer end = range->GetStart();
      ApplyTypingFormats(*document_, end - static_cast<Integer>(text.size()), end, formats);
    }
  } catch (const EOleSysError&) {
  }
  EndEdit();
}

void EditComponent::InsertLineBreak() {
  Selection* selection = document_->GetSelection();
  auto range = selection->CreateRange();
  if (!range) return;
  // A run of keys (typing, Enter, Backspace, Delete) undoes as one.
  UndoUnit unit(*document_, u"Typing", true);
  BeginEdit();
  try {
    range->SetText(u"\r\n");
    selection->Select(*range);
  } catch (const EOleSysError&) {
  }
  EndEdit();
}

void EditComponent::SplitParagraph() {
  Selection* selection = document_->GetSelection();
  auto range = selection->CreateRange();
  Element* body = document_->GetBody();
  if (!range || !body) return;
  // A run of keys (typing, Enter, Backspace, Delete) undoes as one.
  UndoUnit unit(*document_, u"Typing", true);
  BeginEdit();
  try {
    if (!range->IsCollapsed()) {
      range->SetText(u"");
      selection->Select(*range);
    }
    const auto units = ReadTextUnits(body);
    const Integer at = range->GetStart();
    TextPosition p;
    if (at > 0 && at <= static_cast<Integer>(units.size()) && units[at - 1].UnitKind == TextUnit::Char)
      p = {static_cast<TextNode*>(units[at - 1].Anchor), units[at - 1].Offset + 1};
    else if (at < static_cast<Integer>(units.size()) && units[at].UnitKind == TextUnit::Char)
      p = {static_cast<TextNode*>(units[at].Anchor), units[at].Offset};
    const WideString newTag = useDiv_ ? u"DIV" : u"P";
    if (!p.Node) {
      // No text to split: a new empty paragraph at the end.
      Element* block = document_->CreateElement(newTag);
      body->AppendChild(block);
      KeepPlaceholder(block);
    } else {
      // A placeholder alone splits as an empty paragraph before and after.
      if (IsPlaceholder(p.Node)) p.Offset = 0;
      Element* block = BlockOf(p.Node);
      if (!block) {
        // Text directly in a container: its run of inline content becomes a paragraph.
        Node* top = p.Node;
        while (top->GetParentNode() && IsBlock(top->GetParentNode()) == false) top = top->GetParentNode();
        Node* container = top->GetParentNode();
        Node* first = top;
        while (first->GetPreviousSibling() && !IsBlock(first->GetPreviousSibling())) first = first->GetPreviousSibling();
        Node* last = top;
        while (last->GetNextSibling() && !IsBlock(last->GetNextSibling())) last = last->GetNextSibling();
        block = document_->CreateElement(newTag);
        container->InsertBefore(block, first);
        for (Node* n = first;;) {
          Node* next = n->GetNextSibling();
          block->AppendChild(n);
          if (n == last) break;
          n = next;
        }
      }
      TextNode* t = p.Node;
      Node* first;
      if (p.Offset <= 0)
        first = t;
      else if (p.Offset >= t->GetLength())
        first = t->GetNextSibling();
      else
        first = t->SplitText(p.Offset);
      Element* newBlock = static_cast<Element*>(block->CloneNode(false));
      Element* parent = t->GetParentElement();
      Node* carry = nullptr;
      for (;;) {
        Element* copy = parent == block ? newBlock : static_cast<Element*>(parent->CloneNode(false));
        if (carry) copy->AppendChild(carry);
        while (first) {
          Node* next = first->GetNextSibling();
          copy->AppendChild(first);
          first = next;
        }
        if (parent == block) break;
        carry = copy;
        first = parent->GetNextSibling();
        parent = parent->GetParentElement();
      }
      block->GetParentNode()->InsertBefore(newBlock, block->GetNextSibling());
      if (IsHeading(block) && !HasContent(newBlock)) {
        // After a heading a person goes on with a normal paragraph.
        Element* plain = document_->CreateElement(newTag);
        block->GetParentNode()->ReplaceChild(plain, newBlock);
        newBlock = plain;
      }
      KeepPlaceholder(block);
      KeepPlaceholder(newBlock);
      // The caret goes to the start of the new paragraph.
      const auto after = ReadTextUnits(body);
      for (size_t i = 0; i < after.size(); ++i)
        if (after[i].UnitKind == TextUnit::Char && newBlock->Contains(after[i].Anchor)) {
          range->SetRange(static_cast<Integer>(i), static_cast<Integer>(i));
          break;
        }
      selection->Select(*range);
    }
  } catch (const EOleSysError&) {
  }
  EndEdit();
}

namespace {

// Joins the block after the break unit at index into the block before it; answers
// false when there are no two such blocks (the start of a cell, a table).
bool JoinAt(Document* document, const std::vector<TextUnit>& units, Integer index) {
  if (index <= 0 || index + 1 >= static_cast<Integer>(units.size())) return false;
  Element* before = BlockOf(units[index - 1].Anchor);
  Element* after = BlockOf(units[index + 1].Anchor);
  if (!before || !after || before == after || before->Contains(after) || after->Contains(before)) return false;
  if (before->GetParentNode() != after->GetParentNode()) return false;
  (void)document;
  if (IsPlaceholder(before->GetFirstChild()) && before->GetChildCount() == 1) before->GetFirstChild()->RemoveNode(true);
  if (!(IsPlaceholder(after->GetFirstChild()) && after->GetChildCount() == 1))
    while (Node* child = after->GetFirstChild()) before->AppendChild(child);
  after->RemoveNode(true);
  KeepPlaceholder(before);
  return true;
}

// Delete and Backspace on a control selection take the elements out.
void RemoveSelectedControls(Selection* selection) {
  const ElementList controls = selection->GetControls();
  selection->Empty();
  for (Element* e : controls) e->RemoveNode(true);
}

}  // namespace

void EditComponent::DeleteBackward() {
  Selection* selection = document_->GetSelection();
  // A run of keys (typing, Enter, Backspace, Delete) undoes as one.
  UndoUnit unit(*document_, u"Typing", true);
  BeginEdit();
  try {
    if (!selection->GetControls().empty()) {
      RemoveSelectedControls(selection);
    } else if (auto range = selection->CreateRange()) {
      if (!range->IsCollapsed()) {
        DeleteSelectedText(*document_);
        range = selection->CreateRange();
      } else if (range->GetStart() > 0) {
        const auto units = ReadTextUnits(range->GetRoot());
        const Integer at = range->GetStart();
        if (units[at - 1].UnitKind == TextUnit::Break) {
          if (JoinAt(document_.get(), units, at - 1)) range->SetRange(at - 1, at - 1);
        } else {
          Element* block = BlockOf(units[at - 1].Anchor);
          range->MoveStart(u"character", -1);
          range->SetText(u"");
          KeepPlaceholder(block);
        }
      }
      selection->Select(*range);
    }
  } catch (const EOleSysError&) {
  }
  EndEdit();
}

void EditComponent::DeleteForward() {
  Selection* selection = document_->GetSelection();
  // A run of keys (typing, Enter, Backspace, Delete) undoes as one.
  UndoUnit unit(*document_, u"Typing", true);
  BeginEdit();
  try {
    if (!selection->GetControls().empty()) {
      RemoveSelectedControls(selection);
    } else if (auto range = selection->CreateRange()) {
      const auto units = ReadTextUnits(range->GetRoot());
      const Integer at = range->GetStart();
      if (!range->IsCollapsed()) {
        DeleteSelectedText(*document_);
        range = selection->CreateRange();
      } else if (at < static_cast<Integer>(units.size())) {
        if (units[at].UnitKind == TextUnit::Break) {
          JoinAt(document_.get(), units, at);
        } else {
          Element* block = BlockOf(units[at].Anchor);
          range->MoveEnd(u"character", 1);
          range->SetText(u"");
          KeepPlaceholder(block);
        }
        range->SetRange(at, at);
      }
      selection->Select(*range);
    }
  } catch (const EOleSysError&) {
  }
  EndEdit();
}

}  // namespace mshtml
