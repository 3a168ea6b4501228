// The edit engine of TEdit and TMemo: text, caret, selection, keys, mouse, clipboard,
// painting and the edit messages.
#include <algorithm>
#include <cctype>
#include <cstring>

#include "platform/vcl/ClassicLook.h"
#include "platform/vcl/StdCtrls.h"
#include "platform/win/Clipboard.h"
#include "platform/win/GlobalMemory.h"

namespace {

bool IsWordChar(char c) {
  const auto u = static_cast<unsigned char>(c);
  return std::isalnum(u) || c == '_' || u >= 0xC0;
}

// A canvas on the screen's DC with a font, for measuring outside painting.
class TMeasureCanvas {
 public:
  explicit TMeasureCanvas(TFont* font) : dc_(::GetDC(0)) {
    canvas_.SetHandle(dc_);
    canvas_.GetFont()->Assign(font);
  }
  ~TMeasureCanvas() {
    canvas_.SetHandle(0);
    ::ReleaseDC(0, dc_);
  }
  TMeasureCanvas(const TMeasureCanvas&) = delete;
  TMeasureCanvas& operator=(const TMeasureCanvas&) = delete;
  TCanvas* operator->() { return &canvas_; }
  TCanvas* Get() { return &canvas_; }

 private:
  HDC dc_;
  TCanvas canvas_;
};

constexpr Integer kMarginX = 2;

}  // namespace

TCustomEdit::TCustomEdit(TComponent* owner) : TCustomControl(owner) {
  SetBounds(0, 0, 121, 21);
  SetTabStop(true);
  SetColor(clWindow);
  SetParentColor(false);
  SetCursor(crIBeam);
  SetControlStyle(GetControlStyle() + csCaptureMouse - csSetCaption);
}

void TCustomEdit::CreateParams(TCreateParams& params) {
  TCustomControl::CreateParams(params);
  if (borderStyle_ == TBorderStyle::bsSingle) params.ExStyle |= WS_EX_CLIENTEDGE;
}

// --- Properties ------------------------------------------------------------------------

void TCustomEdit::SetMaxLength(Integer value) { maxLength_ = std::max(0, value); }

void TCustomEdit::SetReadOnly(bool value) {
  if (value == readOnly_) return;
  readOnly_ = value;
  Invalidate();
}

void TCustomEdit::SetPasswordChar(char value) {
  if (value == passwordChar_) return;
  passwordChar_ = value;
  InvalidateLayout();
}

void TCustomEdit::SetCharCase(TEditCharCase value) {
  if (value == charCase_) return;
  charCase_ = value;
  if (value == ecNormal) return;
  AnsiString t = text_;
  for (char& c : t) {
    c = static_cast<char>(value == ecUpperCase ? std::toupper(static_cast<unsigned char>(c))
                                               : std::tolower(static_cast<unsigned char>(c)));
  }
  if (t != text_) SetEditText(t);
}

void TCustomEdit::SetHideSelection(bool value) {
  if (value == hideSelection_) return;
  hideSelection_ = value;
  Invalidate();
}

void TCustomEdit::SetBorderStyle(TBorderStyle value) {
  if (value == borderStyle_) return;
  borderStyle_ = value;
  if (HandleAllocated()) RecreateWnd();
}

void TCustomEdit::SetEditText(const AnsiString& value) {
  text_ = value;
  anchor_ = caret_ = 0;
  topLine_ = 0;
  scrollX_ = 0;
  modified_ = false;
  InvalidateLayout();
  Change();
}

void TCustomEdit::Change() {
  if (OnChange) OnChange(this);
}

void TCustomEdit::InvalidateLayout() {
  layoutValid_ = false;
  Invalidate();
  UpdateScrollBars();
}

// --- Selection -------------------------------------------------------------------------

void TCustomEdit::SetSelStart(Integer value) {
  value = std::clamp(value, 0, static_cast<Integer>(text_.size()));
  anchor_ = caret_ = value;
  desiredX_ = -1;
  ScrollCaret();
  Invalidate();
}

void TCustomEdit::SetSelLength(Integer value) {
  const Integer start = GetSelStart();
  anchor_ = start;
  caret_ = std::clamp(start + std::max(0, value), 0, static_cast<Integer>(text_.size()));
  ScrollCaret();
  Invalidate();
}

AnsiString TCustomEdit::GetSelText() const {
  return text_.substr(static_cast<size_t>(GetSelStart()), static_cast<size_t>(GetSelLength()));
}

void TCustomEdit::SetSelText(const AnsiString& value) { ReplaceSelection(value, false); }

void TCustomEdit::SelectAll() {
  anchor_ = 0;
  caret_ = static_cast<Integer>(text_.size());
  Invalidate();
}

void TCustomEdit::ClearSelection() {
  if (GetSelLength() > 0) ReplaceSelection("", false);
}

void TCustomEdit::Clear() { SetEditText(""); }

void TCustomEdit::CopyToClipboard() {
  // A password is never copied out.
  if (passwordChar_ != 0 || GetSelLength() == 0) return;
  const AnsiString text = GetSelText();
  if (!::OpenClipboard(HandleAllocated() ? GetHandle() : 0)) return;
  ::EmptyClipboard();
  HGLOBAL mem = ::GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
  if (mem) {
    auto* p = static_cast<char*>(::GlobalLock(mem));
    std::memcpy(p, text.c_str(), text.size() + 1);
    ::GlobalUnlock(mem);
    if (!::SetClipboardData(CF_TEXT, mem)) ::GlobalFree(mem);
  }
  ::CloseClipboard();
}

void TCustomEdit::CutToClipboard() {
  if (readOnly_ || passwordChar_ != 0) return;
  CopyToClipboard();
  ClearSelection();
}

void TCustomEdit::PasteFromClipboard() {
  if (readOnly_) return;
  if (!::OpenClipboard(HandleAllocated() ? GetHandle() : 0)) return;
  AnsiString text;
  if (HANDLE mem = ::GetClipboardData(CF_TEXT)) {
    const size_t size = ::GlobalSize(mem);
    if (const auto* p = static_cast<const char*>(::GlobalLock(mem))) {
      text.assign(p, strnlen(p, size));
      ::GlobalUnlock(mem);
    }
  }
  ::CloseClipboard();
  if (!text.empty()) ReplaceSelection(text, true);
}

bool TCustomEdit::ReplaceSelection(AnsiString text, bool byUser) {
  if (!IsMultiLine()) {
    // A single line keeps what comes before the first line break.
    const size_t br = text.find_first_of("\r\n");
    if (br != AnsiString::npos) text.resize(br);
  }
  if (charCase_ != ecNormal) {
    for (char& c : text) {
      c = static_cast<char>(charCase_ == ecUpperCase ? std::toupper(static_cast<unsigned char>(c))
                                                     : std::tolower(static_cast<unsigned char>(c)));
    }
  }
  const Integer start = GetSelStart();
  const Integer length = GetSelLength();
  if (byUser && maxLength_ > 0) {
    const Integer room = maxLength_ - (static_cast<Integer>(text_.size()) - length);
    if (room <= 0 && !text.empty()) {
      ::MessageBeep(0);
      return false;
    }
    if (static_cast<Integer>(text.size()) > room) text.resize(static_cast<size_t>(std::max(0, room)));
  }
  if (length == 0 && text.empty()) return false;
  text_.replace(static_cast<size_t>(start), static_cast<size_t>(length), text);
  anchor_ = caret_ = start + static_cast<Integer>(text.size());
  desiredX_ = -1;
  modified_ = true;
  layoutValid_ = false;
  UpdateScrollBars();
  ScrollCaret();
  Invalidate();
  Change();
  return true;
}

// --- Layout ----------------------------------------------------------------------------

TRect TCustomEdit::TextArea() {
  TRect r = GetClientRect();
  r.left += kMarginX;
  r.right -= kMarginX;
  if (!IsMultiLine()) r.top += 1;
  if (r.right < r.left) r.right = r.left;
  return r;
}

Integer TCustomEdit::LineHeight() {
  TMeasureCanvas canvas(GetFont());
  return std::max(1, canvas->TextHeight("Wg"));
}

AnsiString TCustomEdit::DisplayText(Integer start, Integer length) const {
  AnsiString s = text_.substr(static_cast<size_t>(start), static_cast<size_t>(length));
  if (passwordChar_ != 0) std::fill(s.begin(), s.end(), passwordChar_);
  return s;
}

const std::vector<TCustomEdit::TLine>& TCustomEdit::Lines() {
  const TRect area = TextArea();
  const Integer width = area.right - area.left;
  if (layoutValid_ && (!GetWordWrapping() || width == layoutWidth_)) return lines_;
  lines_.clear();
  layoutWidth_ = width;
  layoutValid_ = true;
  const Integer size = static_cast<Integer>(text_.size());
  if (!IsMultiLine()) {
    lines_.push_back({0, size});
    return lines_;
  }
  TMeasureCanvas canvas(GetFont());
  Integer pos = 0;
  while (true) {
    // The logical line up to its break.
    Integer end = pos;
    while (end < size && text_[static_cast<size_t>(end)] != '\r' && text_[static_cast<size_t>(end)] != '\n') ++end;
    if (!GetWordWrapping() || width <= 0) {
      lines_.push_back({pos, end - pos});
    } else {
      // Wraps at the last space that fits, or inside a word longer than the width.
      Integer start = pos;
      bool first = true;
      while (first || start < end) {
        first = false;
        Integer fit = start;
        Integer lastBreak = -1;
        while (fit < end && canvas->TextWidth(DisplayText(start, fit - start + 1)) <= width) {
          if (text_[static_cast<size_t>(fit)] == ' ') lastBreak = fit + 1;
          ++fit;
        }
        if (fit >= end) {
          lines_.push_back({start, end - start});
          break;
        }
        const Integer next = lastBreak > start ? lastBreak : std::max(fit, start + 1);
        lines_.push_back({start, next - start});
        start = next;
      }
    }
    if (end >= size) break;
    // "\r\n", or a lone "\r" or "\n", ends the line.
    pos = end + 1;
    if (text_[static_cast<size_t>(end)] == '\r' && pos < size && text_[static_cast<size_t>(pos)] == '\n') ++pos;
  }
  return lines_;
}

Integer TCustomEdit::LineOfPos(Integer pos) {
  const auto& lines = Lines();
  Integer found = 0;
  for (Integer i = 0; i < static_cast<Integer>(lines.size()); ++i) {
    if (lines[static_cast<size_t>(i)].start > pos) break;
    found = i;
  }
  return found;
}

Integer TCustomEdit::LineIndex(Integer line) {
  const auto& lines = Lines();
  if (line < 0 || line >= static_cast<Integer>(lines.size())) return -1;
  return lines[static_cast<size_t>(line)].start;
}

TPoint TCustomEdit::PointOfPos(Integer pos) {
  const TRect area = TextArea();
  const Integer line = LineOfPos(pos);
  const TLine& l = Lines()[static_cast<size_t>(line)];
  TMeasureCanvas canvas(GetFont());
  const Integer inLine = std::clamp(pos - l.start, 0, l.length);
  Integer x = area.left - scrollX_ + canvas->TextWidth(DisplayText(l.start, inLine));
  if (auto* memo = dynamic_cast<TCustomMemo*>(this); memo && memo->GetAlignment() != taLeftJustify) {
    const Integer room = (area.right - area.left) - canvas->TextWidth(DisplayText(l.start, l.length));
    x += memo->GetAlignment() == taCenter ? room / 2 : room;
  }
  return Point(x, area.top + (line - topLine_) * LineHeight());
}

Integer TCustomEdit::PosFromPoint(Integer x, Integer y) {
  const TRect area = TextArea();
  const auto& lines = Lines();
  const Integer lh = LineHeight();
  Integer line = topLine_ + (y >= area.top ? (y - area.top) / lh : -1);
  line = std::clamp(line, 0, static_cast<Integer>(lines.size()) - 1);
  const TLine l = lines[static_cast<size_t>(line)];
  const Integer left = PointOfPos(l.start).x;
  TMeasureCanvas canvas(GetFont());
  Integer best = l.start;
  Integer previous = 0;
  for (Integer i = 1; i <= l.length; ++i) {
    const Integer w = canvas->TextWidth(DisplayText(l.start, i));
    // The boundary nearest to x.
    if (x - left >= (previous + w + 1) / 2) best = l.start + i;
    previous = w;
  }
  // A wrapped line's last position is the next line's first: stay on this line.
  if (line + 1 < static_cast<Integer>(lines.size()) && best == lines[static_cast<size_t>(line) + 1].start &&
      best > l.start) {
    --best;
  }
  return best;
}

void TCustomEdit::ScrollCaret() {
  if (!HandleAllocated()) return;
  const TRect area = TextArea();
  const Integer width = area.right - area.left;
  if (IsMultiLine()) {
    const Integer lh = LineHeight();
    const Integer visible = std::max(1, (area.bottom - area.top) / lh);
    const Integer line = LineOfPos(caret_);
    if (line < topLine_) topLine_ = line;
    if (line >= topLine_ + visible) topLine_ = line - visible + 1;
  }
  if (!GetWordWrapping() && width > 0) {
    const TPoint p = PointOfPos(caret_);
    const Integer rel = p.x - area.left;
    if (rel < 0) scrollX_ = std::max(0, scrollX_ + rel - width / 4);
    if (rel >= width) scrollX_ += rel - width + 1 + width / 4;
  }
  UpdateScrollBars();
}

void TCustomEdit::MoveCaret(Integer pos, bool extend) {
  pos = std::clamp(pos, 0, static_cast<Integer>(text_.size()));
  caret_ = pos;
  if (!extend) anchor_ = pos;
  ScrollCaret();
  Invalidate();
}

Integer TCustomEdit::WordStart(Integer pos) const {
  while (pos > 0 && !IsWordChar(text_[static_cast<size_t>(pos) - 1])) --pos;
  while (pos > 0 && IsWordChar(text_[static_cast<size_t>(pos) - 1])) --pos;
  return pos;
}

Integer TCustomEdit::WordEnd(Integer pos) const {
  const Integer size = static_cast<Integer>(text_.size());
  while (pos < size && IsWordChar(text_[static_cast<size_t>(pos)])) ++pos;
  while (pos < size && !IsWordChar(text_[static_cast<size_t>(pos)]) && text_[static_cast<size_t>(pos)] != '\r') ++pos;
  return pos;
}

// --- Keyboard and mouse -----------------------------------------------------------------

void TCustomEdit::KeyDown(Word& key, TShiftState shift) {
  TCustomControl::KeyDown(key, shift);
  if (key == 0) return;
  const bool extend = shift.Contains(ssShift);
  const bool ctrl = shift.Contains(ssCtrl);
  const Integer size = static_cast<Integer>(text_.size());
  auto charAt = [&](Integer i) { return (i >= 0 && i < size) ? text_[static_cast<size_t>(i)] : '\0'; };
  // A collapsed selection moves from its own end; Left/Right without Shift collapse it.
  Integer pos = caret_;
  switch (key) {
    case VK_LEFT:
      if (!extend && GetSelLength() > 0 && !ctrl) {
        pos = GetSelStart();
      } else if (ctrl) {
        pos = WordStart(caret_);
      } else {
        pos = caret_ - ((charAt(caret_ - 1) == '\n' && charAt(caret_ - 2) == '\r') ? 2 : 1);
      }
      desiredX_ = -1;
      MoveCaret(pos, extend);
      key = 0;
      return;
    case VK_RIGHT:
      if (!extend && GetSelLength() > 0 && !ctrl) {
        pos = GetSelStart() + GetSelLength();
      } else if (ctrl) {
        pos = WordEnd(caret_);
      } else {
        pos = caret_ + ((charAt(caret_) == '\r' && charAt(caret_ + 1) == '\n') ? 2 : 1);
      }
      desiredX_ = -1;
      MoveCaret(pos, extend);
      key = 0;
      return;
    case VK_HOME:
    case VK_END: {
      desiredX_ = -1;
      if (ctrl || !IsMultiLine()) {
        MoveCaret(key == VK_HOME ? 0 : size, extend);
      } else {
        const TLine l = Lines()[static_cast<size_t>(LineOfPos(caret_))];
        MoveCaret(key == VK_HOME ? l.start : l.start + l.length, extend);
      }
      key = 0;
      return;
    }
    case VK_UP:
    case VK_DOWN:
    case VK_PRIOR:
    case VK_NEXT: {
      if (!IsMultiLine()) return;
      const TRect area = TextArea();
      const Integer lh = LineHeight();
      const Integer page = std::max(1, (area.bottom - area.top) / lh);
      const Integer step = (key == VK_UP || key == VK_DOWN) ? 1 : page;
      const Integer dir = (key == VK_UP || key == VK_PRIOR) ? -1 : 1;
      const TPoint p = PointOfPos(caret_);
      if (desiredX_ < 0) desiredX_ = p.x + scrollX_;
      const Integer line = std::clamp(LineOfPos(caret_) + dir * step, 0,
                                      static_cast<Integer>(Lines().size()) - 1);
      const Integer x = desiredX_ - scrollX_;
      const Integer keep = desiredX_;
      MoveCaret(PosFromPoint(x, area.top + (line - topLine_) * lh), extend);
      // The caret may have scrolled; it still aims at the same column.
      MoveCaret(PosFromPoint(keep - scrollX_, area.top + (line - topLine_) * lh), extend);
      desiredX_ = keep;
      key = 0;
      return;
    }
    case VK_DELETE:
      if (readOnly_) return;
      if (extend) {
        CutToClipboard();
      } else if (GetSelLength() == 0 && caret_ < size) {
        anchor_ = caret_ + ((charAt(caret_) == '\r' && charAt(caret_ + 1) == '\n') ? 2 : 1);
        ReplaceSelection("", true);
      } else {
        ReplaceSelection("", true);
      }
      key = 0;
      return;
    case VK_INSERT:
      if (ctrl) CopyToClipboard();
      if (extend) PasteFromClipboard();
      key = 0;
      return;
    default:
      break;
  }
  if (ctrl && !shift.Contains(ssAlt)) {
    switch (key) {
      case 'C':
        CopyToClipboard();
        key = 0;
        return;
      case 'X':
        CutToClipboard();
        key = 0;
        return;
      case 'V':
        PasteFromClipboard();
        key = 0;
        return;
      default:
        break;
    }
  }
}

void TCustomEdit::KeyPress(char& key) {
  TCustomControl::KeyPress(key);
  if (key == 0) return;
  const auto c = static_cast<unsigned char>(key);
  if (readOnly_) {
    if (c >= 32 || key == '\b') ::MessageBeep(0);
    return;
  }
  if (key == '\b') {
    if (GetSelLength() == 0 && caret_ > 0) {
      const bool pair = caret_ >= 2 && text_[static_cast<size_t>(caret_) - 1] == '\n' &&
                        text_[static_cast<size_t>(caret_) - 2] == '\r';
      anchor_ = caret_ - (pair ? 2 : 1);
    }
    ReplaceSelection("", true);
    key = 0;
    return;
  }
  if (key == '\r') {
    if (IsMultiLine() && WantsReturns()) ReplaceSelection("\r\n", true);
    key = 0;
    return;
  }
  if (key == '\t') {
    if (IsMultiLine() && WantsTabs()) ReplaceSelection("\t", true);
    key = 0;
    return;
  }
  if (c < 32 || c == 127) return;  // other control characters (Ctrl+letters) are no text
  ReplaceSelection(AnsiString(1, key), true);
  key = 0;
}

void TCustomEdit::MouseDown(TMouseButton button, TShiftState shift, Integer x, Integer y) {
  if (button == mbLeft) {
    if (CanFocus() && !Focused()) SetFocus();
    const Integer pos = PosFromPoint(x, y);
    desiredX_ = -1;
    if (shift.Contains(ssDouble)) {
      // A double click selects the word under the mouse.
      Integer start = pos, end = pos;
      while (start > 0 && IsWordChar(text_[static_cast<size_t>(start) - 1])) --start;
      while (end < static_cast<Integer>(text_.size()) && IsWordChar(text_[static_cast<size_t>(end)])) ++end;
      anchor_ = start;
      MoveCaret(end, true);
    } else {
      MoveCaret(pos, shift.Contains(ssShift));
      selecting_ = true;
    }
  }
  TCustomControl::MouseDown(button, shift, x, y);
}

void TCustomEdit::MouseMove(TShiftState shift, Integer x, Integer y) {
  if (selecting_) MoveCaret(PosFromPoint(x, y), true);
  TCustomControl::MouseMove(shift, x, y);
}

void TCustomEdit::MouseUp(TMouseButton button, TShiftState shift, Integer x, Integer y) {
  if (button == mbLeft) selecting_ = false;
  TCustomControl::MouseUp(button, shift, x, y);
}

void TCustomEdit::DoEnter() {
  // Reached by the keyboard, a single-line edit selects all its text.
  if (autoSelect_ && !IsMultiLine() && (::GetKeyState(VK_LBUTTON) & 0x8000) == 0) SelectAll();
  Invalidate();
  TCustomControl::DoEnter();
}

void TCustomEdit::DoExit() {
  Invalidate();
  TCustomControl::DoExit();
}

// --- Painting ---------------------------------------------------------------------------

void TCustomEdit::Paint() {
  TCanvas* canvas = GetCanvas();
  const TRect client = GetClientRect();
  const bool enabled = GetEnabled();
  canvas->GetBrush()->SetStyle(bsSolid);
  canvas->GetBrush()->SetColor(enabled ? GetColor() : clBtnFace);
  canvas->FillRect(client);
  const TRect area = TextArea();
  const auto& lines = Lines();
  const Integer lh = LineHeight();
  const bool focused = HandleAllocated() && Focused();
  const bool showSelection = focused || !hideSelection_;
  const Integer selStart = GetSelStart();
  const Integer selEnd = selStart + GetSelLength();
  const TColor textColor = enabled ? GetFont()->GetColor() : clGrayText;
  for (Integer i = topLine_; i < static_cast<Integer>(lines.size()); ++i) {
    const Integer y = area.top + (i - topLine_) * lh;
    if (y >= client.bottom) break;
    const TLine l = lines[static_cast<size_t>(i)];
    const Integer x0 = PointOfPos(l.start).x;
    // Three runs: before, inside and after the selection.
    const Integer a = showSelection ? std::clamp(selStart, l.start, l.start + l.length) : l.start + l.length;
    const Integer b = showSelection ? std::clamp(selEnd, l.start, l.start + l.length) : l.start + l.length;
    const AnsiString before = DisplayText(l.start, a - l.start);
    const AnsiString inside = DisplayText(a, b - a);
    const AnsiString after = DisplayText(b, l.start + l.length - b);
    canvas->GetBrush()->SetStyle(bsClear);
    canvas->GetFont()->SetColor(textColor);
    canvas->TextOut(x0, y, before);
    Integer x = x0 + canvas->TextWidth(before);
    if (!inside.empty()) {
      canvas->GetBrush()->SetStyle(bsSolid);
      canvas->GetBrush()->SetColor(clHighlight);
      canvas->GetFont()->SetColor(clHighlightText);
      canvas->TextOut(x, y, inside);
      x += canvas->TextWidth(inside);
      canvas->GetBrush()->SetStyle(bsClear);
      canvas->GetFont()->SetColor(textColor);
    }
    canvas->TextOut(x, y, after);
  }
  if (focused) {
    const TPoint p = PointOfPos(caret_);
    canvas->GetBrush()->SetStyle(bsSolid);
    canvas->GetBrush()->SetColor(GetFont()->GetColor());
    canvas->FillRect(Rect(p.x, p.y, p.x + 1, p.y + lh));
  }
}

// --- Messages --------------------------------------------------------------------------

void TCustomEdit::HandleEditMessage(TMessage& message) {
  const Integer size = static_cast<Integer>(text_.size());
  switch (message.Msg) {
    case EM_GETSEL: {
      const Integer start = GetSelStart();
      const Integer end = start + GetSelLength();
      if (message.WParam) *reinterpret_cast<DWORD*>(message.WParam) = static_cast<DWORD>(start);
      if (message.LParam) *reinterpret_cast<DWORD*>(message.LParam) = static_cast<DWORD>(end);
      message.Result = end > 0xFFFF ? -1 : MAKELONG(static_cast<Word>(start), static_cast<Word>(end));
      return;
    }
    case EM_SETSEL: {
      const auto start = static_cast<Integer>(static_cast<LONG_PTR>(message.WParam));
      const auto end = static_cast<Integer>(message.LParam);
      if (start == -1) {
        anchor_ = caret_;  // deselects, the caret stays
      } else {
        anchor_ = std::clamp(start, 0, size);
        caret_ = end < 0 ? size : std::clamp(end, 0, size);
      }
      desiredX_ = -1;
      ScrollCaret();
      Invalidate();
      message.Result = 1;
      return;
    }
    case EM_REPLACESEL: {
      const char* text = reinterpret_cast<const char*>(message.LParam);
      ReplaceSelection(text ? text : "", false);
      return;
    }
    case EM_GETLINECOUNT:
      message.Result = static_cast<LRESULT>(Lines().size());
      return;
    case EM_LINEINDEX: {
      const auto line = static_cast<Integer>(static_cast<LONG_PTR>(message.WParam));
      message.Result = LineIndex(line == -1 ? LineOfPos(caret_) : line);
      return;
    }
    case EM_LINEFROMCHAR: {
      const auto pos = static_cast<Integer>(static_cast<LONG_PTR>(message.WParam));
      message.Result = LineOfPos(pos == -1 ? GetSelStart() : std::clamp(pos, 0, size));
      return;
    }
    case EM_LINELENGTH: {
      const auto pos = static_cast<Integer>(static_cast<LONG_PTR>(message.WParam));
      message.Result = Lines()[static_cast<size_t>(LineOfPos(pos == -1 ? caret_ : std::clamp(pos, 0, size)))].length;
      return;
    }
    case EM_GETLINE: {
      const auto line = static_cast<Integer>(message.WParam);
      char* buffer = reinterpret_cast<char*>(message.LParam);
      message.Result = 0;
      if (!buffer || line < 0 || line >= static_cast<Integer>(Lines().size())) return;
      Word capacity = 0;
      std::memcpy(&capacity, buffer, sizeof capacity);
      const TLine l = Lines()[static_cast<size_t>(line)];
      const Integer n = std::min<Integer>(capacity, l.length);
      std::memcpy(buffer, text_.data() + l.start, static_cast<size_t>(n));
      message.Result = n;
      return;
    }
    case EM_LIMITTEXT:
      SetMaxLength(static_cast<Integer>(message.WParam));
      return;
    case EM_GETLIMITTEXT:
      message.Result = maxLength_ > 0 ? maxLength_ : 0x7FFFFFFE;
      return;
    case EM_SETREADONLY:
      SetReadOnly(message.WParam != 0);
      message.Result = 1;
      return;
    case EM_GETMODIFY:
      message.Result = modified_ ? 1 : 0;
      return;
    case EM_SETMODIFY:
      modified_ = message.WParam != 0;
      return;
    case EM_SETPASSWORDCHAR:
      SetPasswordChar(static_cast<char>(message.WParam));
      return;
    case EM_GETFIRSTVISIBLELINE:
      message.Result = topLine_;
      return;
    case EM_LINESCROLL:
      if (IsMultiLine()) {
        topLine_ = std::clamp(topLine_ + static_cast<Integer>(message.LParam), 0,
                              std::max(0, static_cast<Integer>(Lines().size()) - 1));
        UpdateScrollBars();
        Invalidate();
      }
      message.Result = 1;
      return;
    case EM_SCROLLCARET:
      ScrollCaret();
      Invalidate();
      message.Result = 1;
      return;
    case EM_GETRECT:
      if (message.LParam) *reinterpret_cast<RECT*>(message.LParam) = TextArea();
      return;
    case EM_CANUNDO:
    case EM_UNDO:
    case WM_UNDO:
    case EM_EMPTYUNDOBUFFER:
      message.Result = 0;  // the edits keep no undo
      return;
    default:
      break;
  }
}

void TCustomEdit::Dispatch(TMessage& message) {
  switch (message.Msg) {
    case EM_GETSEL: case EM_SETSEL: case EM_REPLACESEL: case EM_GETLINECOUNT:
    case EM_LINEINDEX: case EM_LINEFROMCHAR: case EM_LINELENGTH: case EM_GETLINE:
    case EM_LIMITTEXT: case EM_GETLIMITTEXT: case EM_SETREADONLY: case EM_GETMODIFY:
    case EM_SETMODIFY: case EM_SETPASSWORDCHAR: case EM_GETFIRSTVISIBLELINE:
    case EM_LINESCROLL: case EM_SCROLLCARET: case EM_GETRECT: case EM_CANUNDO:
    case EM_UNDO: case WM_UNDO: case EM_EMPTYUNDOBUFFER:
      HandleEditMessage(message);
      return;
    case WM_SETTEXT: {
      const char* text = reinterpret_cast<const char*>(message.LParam);
      SetEditText(text ? text : "");
      message.Result = 1;
      return;
    }
    case WM_GETTEXT: {
      char* buffer = reinterpret_cast<char*>(message.LParam);
      const size_t room = message.WParam;
      message.Result = 0;
      if (!buffer || room == 0) return;
      const size_t n = std::min(text_.size(), room - 1);
      std::memcpy(buffer, text_.data(), n);
      buffer[n] = '\0';
      message.Result = static_cast<LRESULT>(n);
      return;
    }
    case WM_GETTEXTLENGTH:
      message.Result = static_cast<LRESULT>(text_.size());
      return;
    case WM_CUT:
      CutToClipboard();
      return;
    case WM_COPY:
      CopyToClipboard();
      return;
    case WM_PASTE:
      PasteFromClipboard();
      return;
    case WM_CLEAR:
      if (!readOnly_) ClearSelection();
      return;
    case WM_GETDLGCODE:
      message.Result = DLGC_WANTARROWS | DLGC_WANTCHARS | (WantsTabs() ? DLGC_WANTTAB : 0);
      return;
    case CM_WANTSPECIALKEY:
      message.Result = (message.WParam == VK_RETURN && IsMultiLine() && WantsReturns()) ? 1 : 0;
      return;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      if (message.Msg == WM_KILLFOCUS) selecting_ = false;
      Invalidate();
      TCustomControl::Dispatch(message);
      return;
    case WM_ERASEBKGND:
      message.Result = 1;
      return;
    case WM_SIZE:
      TCustomControl::Dispatch(message);
      InvalidateLayout();
      ScrollCaret();
      return;
    case CM_FONTCHANGED:
    case CM_ENABLEDCHANGED:
    case CM_COLORCHANGED:
      TCustomControl::Dispatch(message);
      InvalidateLayout();
      return;
    default:
      TCustomControl::Dispatch(message);
  }
}
