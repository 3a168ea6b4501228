// TMemo: Lines over the text, word wrapping and scroll bars.
#include <algorithm>
#include <string>

#include "platform/vcl/StdCtrls.h"

// --- TMemoStrings ----------------------------------------------------------------------
//
// Lines are the text's logical lines (between line breaks). A final line break ends
// the last line rather than starting an empty one, so "a\r\nb\r\n" has two lines,
// and Add appends the string with a line break after it.

namespace {

struct TSpan {
  size_t start;
  size_t length;
  size_t next;  // where the following line starts
};

std::vector<TSpan> SpanLines(const AnsiString& text) {
  std::vector<TSpan> spans;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find_first_of("\r\n", pos);
    if (end == AnsiString::npos) {
      spans.push_back({pos, text.size() - pos, text.size()});
      break;
    }
    size_t next = end + 1;
    if (text[end] == '\r' && next < text.size() && text[next] == '\n') ++next;
    spans.push_back({pos, end - pos, next});
    pos = next;
  }
  return spans;
}

[[noreturn]] void IndexError(Integer index) {
  throw EStringListError("List index out of bounds (" + std::to_string(index) + ")");
}

}  // namespace

Integer TMemoStrings::GetCount() const {
  return static_cast<Integer>(SpanLines(memo_->EditText()).size());
}

AnsiString TMemoStrings::Strings(Integer index) const {
  const AnsiString& text = memo_->EditText();
  const auto spans = SpanLines(text);
  if (index < 0 || index >= static_cast<Integer>(spans.size())) IndexError(index);
  const TSpan& s = spans[static_cast<size_t>(index)];
  return text.substr(s.start, s.length);
}

void TMemoStrings::SetStrings(Integer index, const AnsiString& value) {
  AnsiString text = memo_->EditText();
  const auto spans = SpanLines(text);
  if (index < 0 || index >= static_cast<Integer>(spans.size())) IndexError(index);
  const TSpan& s = spans[static_cast<size_t>(index)];
  text.replace(s.start, s.length, value);
  memo_->SetEditText(text);
}

void TMemoStrings::Insert(Integer index, const AnsiString& value) {
  AnsiString text = memo_->EditText();
  const auto spans = SpanLines(text);
  const auto count = static_cast<Integer>(spans.size());
  if (index < 0 || index > count) IndexError(index);
  if (index < count) {
    text.insert(spans[static_cast<size_t>(index)].start, value + "\r\n");
  } else {
    if (!text.empty() && text.back() != '\n' && text.back() != '\r') text += "\r\n";
    text += value + "\r\n";
  }
  memo_->SetEditText(text);
}

void TMemoStrings::Delete(Integer index) {
  AnsiString text = memo_->EditText();
  const auto spans = SpanLines(text);
  if (index < 0 || index >= static_cast<Integer>(spans.size())) IndexError(index);
  const TSpan& s = spans[static_cast<size_t>(index)];
  text.erase(s.start, s.next - s.start);
  memo_->SetEditText(text);
}

void TMemoStrings::Clear() { memo_->SetEditText(""); }

AnsiString TMemoStrings::GetText() const { return memo_->EditText(); }

void TMemoStrings::SetText(const AnsiString& text) { memo_->SetEditText(text); }

// --- TCustomMemo -------------------------------------------------------------------------

TCustomMemo::TCustomMemo(TComponent* owner)
    : TCustomEdit(owner), lines_(std::make_unique<TMemoStrings>(this)) {
  SetBounds(0, 0, 185, 89);
  SetAutoSelect(false);
}

TCustomMemo::~TCustomMemo() = default;

void TCustomMemo::CreateParams(TCreateParams& params) {
  TCustomEdit::CreateParams(params);
  if (scrollBars_ == ssVertical || scrollBars_ == ssBoth) params.Style |= WS_VSCROLL;
  if (scrollBars_ == ssHorizontal || scrollBars_ == ssBoth) params.Style |= WS_HSCROLL;
}

void TCustomMemo::SetWordWrap(bool value) {
  if (value == wordWrap_) return;
  wordWrap_ = value;
  scrollX_ = 0;
  InvalidateLayout();
}

void TCustomMemo::SetScrollBars(TScrollStyle value) {
  if (value == scrollBars_) return;
  scrollBars_ = value;
  if (HandleAllocated()) RecreateWnd();
  InvalidateLayout();
}

void TCustomMemo::SetAlignment(TAlignment value) {
  if (value == alignment_) return;
  alignment_ = value;
  Invalidate();
}

void TCustomMemo::UpdateScrollBars() {
  if (!HandleAllocated() || scrollBars_ == ssNone) return;
  const TRect area = TextArea();
  const Integer lh = LineHeight();
  if (scrollBars_ == ssVertical || scrollBars_ == ssBoth) {
    SCROLLINFO info{};
    info.cbSize = sizeof info;
    info.fMask = SIF_ALL | SIF_DISABLENOSCROLL;
    info.nMin = 0;
    info.nMax = std::max(0, static_cast<Integer>(Lines().size()) - 1);
    info.nPage = static_cast<UINT>(std::max(1, (area.bottom - area.top) / lh));
    info.nPos = topLine_;
    ::SetScrollInfo(GetHandle(), SB_VERT, &info, TRUE);
  }
  if (scrollBars_ == ssHorizontal || scrollBars_ == ssBoth) {
    SCROLLINFO info{};
    info.cbSize = sizeof info;
    info.fMask = SIF_ALL | SIF_DISABLENOSCROLL;
    TCanvas* canvas = GetCanvas();
    canvas->GetFont()->Assign(GetFont());
    Integer widest = 0;
    for (const TLine& l : Lines()) {
      widest = std::max(widest, canvas->TextWidth(EditText().substr(static_cast<size_t>(l.start),
                                                                    static_cast<size_t>(l.length))));
    }
    info.nMin = 0;
    info.nMax = std::max(widest + 1, static_cast<Integer>(area.right - area.left));
    info.nPage = static_cast<UINT>(std::max(1, static_cast<Integer>(area.right - area.left)));
    info.nPos = scrollX_;
    ::SetScrollInfo(GetHandle(), SB_HORZ, &info, TRUE);
  }
}

void TCustomMemo::HandleScroll(TMessage& message, bool vertical) {
  SCROLLINFO info{};
  info.cbSize = sizeof info;
  info.fMask = SIF_ALL;
  ::GetScrollInfo(GetHandle(), vertical ? SB_VERT : SB_HORZ, &info);
  Integer pos = vertical ? topLine_ : scrollX_;
  const Integer line = vertical ? 1 : 8;
  const auto page = static_cast<Integer>(std::max<UINT>(1, info.nPage));
  switch (LOWORD(message.WParam)) {
    case SB_LINEUP: pos -= line; break;
    case SB_LINEDOWN: pos += line; break;
    case SB_PAGEUP: pos -= page; break;
    case SB_PAGEDOWN: pos += page; break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION: pos = info.nTrackPos; break;
    case SB_TOP: pos = info.nMin; break;
    case SB_BOTTOM: pos = info.nMax; break;
    default: return;
  }
  pos = std::clamp(pos, info.nMin, std::max(info.nMin, info.nMax - page + 1));
  if (vertical) topLine_ = pos; else scrollX_ = pos;
  UpdateScrollBars();
  Invalidate();
}

void TCustomMemo::Dispatch(TMessage& message) {
  switch (message.Msg) {
    case WM_VSCROLL:
      HandleScroll(message, true);
      return;
    case WM_HSCROLL:
      HandleScroll(message, false);
      return;
    case WM_MOUSEWHEEL: {
      const auto delta = static_cast<short>(HIWORD(message.WParam));
      const Integer lines = -delta / 120 * 3;
      topLine_ = std::clamp(topLine_ + lines, 0, std::max(0, static_cast<Integer>(Lines().size()) - 1));
      UpdateScrollBars();
      Invalidate();
      message.Result = 1;
      return;
    }
    default:
      TCustomEdit::Dispatch(message);
  }
}
