// Combo boxes: the edit or fixed text, the button, and the drop-down list in a popup
// window of its own.
#include <algorithm>
#include <cctype>

#include "platform/vcl/ClassicLook.h"
#include "platform/vcl/StdCtrls.h"
#include "platform/win/GdiText.h"

// The open list: a popup window under the combo that holds the mouse while it is
// open. A click outside closes it unchanged; a release on an item chooses it. The
// window has no owner, so the keys still go to the focused control (the combo or its
// edit) rather than to the control owning the window with the mouse.
class TComboDropDown {
 public:
  TComboDropDown(TCustomComboBox* combo, const TRect& screenRect, Integer itemHeight, Integer top)
      : combo_(combo), itemHeight_(itemHeight), top_(top) {
    RegisterOnce();
    hot_ = combo->GetItemIndex();
    window_ = ::CreateWindowEx(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, kClassName, "", WS_POPUP | WS_BORDER,
                               screenRect.left, screenRect.top, screenRect.right - screenRect.left,
                               screenRect.bottom - screenRect.top, 0, 0, 0, nullptr);
    ::SetWindowLongPtr(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    ::ShowWindow(window_, SW_SHOWNOACTIVATE);
    ::SetCapture(window_);
  }
  ~TComboDropDown() {
    ::SetWindowLongPtr(window_, GWLP_USERDATA, 0);
    if (::GetCapture() == window_) ::ReleaseCapture();
    ::DestroyWindow(window_);
  }
  TComboDropDown(const TComboDropDown&) = delete;
  TComboDropDown& operator=(const TComboDropDown&) = delete;

  HWND Window() const noexcept { return window_; }
  Integer Hot() const noexcept { return hot_; }
  void SetHot(Integer index) {
    const Integer count = combo_->GetItems()->GetCount();
    if (count == 0) return;
    hot_ = std::clamp(index, 0, count - 1);
    const Integer visible = VisibleCount();
    if (hot_ < top_) top_ = hot_;
    if (hot_ >= top_ + visible) top_ = hot_ - visible + 1;
    ::InvalidateRect(window_, nullptr, FALSE);
  }

 private:
  static constexpr const char* kClassName = "TComboDropDown";

  static void RegisterOnce() {
    WNDCLASS existing;
    if (::GetClassInfo(0, kClassName, &existing)) return;
    WNDCLASS wc;
    wc.style = CS_SAVEBITS;
    wc.lpfnWndProc = &TComboDropDown::Proc;
    wc.hCursor = LoadCursor(0, IDC_ARROW);
    wc.lpszClassName = kClassName;
    ::RegisterClass(&wc);
  }

  Integer VisibleCount() const {
    RECT r;
    ::GetClientRect(window_, &r);
    return std::max(1, static_cast<Integer>(r.bottom / itemHeight_));
  }

  Integer ItemAt(Integer y) const { return top_ + y / itemHeight_; }

  static LRESULT Proc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<TComboDropDown*>(::GetWindowLongPtr(hWnd, GWLP_USERDATA));
    if (!self) return ::DefWindowProc(hWnd, msg, wParam, lParam);
    switch (msg) {
      case WM_PAINT:
        self->Paint();
        return 0;
      case WM_ERASEBKGND:
        return 1;
      case WM_MOUSEMOVE: {
        RECT r;
        ::GetClientRect(hWnd, &r);
        const POINT p{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
        if (PtInRect(&r, p)) self->SetHot(self->ItemAt(p.y));
        return 0;
      }
      case WM_LBUTTONDOWN:
      case WM_LBUTTONDBLCLK: {
        RECT r;
        ::GetClientRect(hWnd, &r);
        const POINT p{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
        if (!PtInRect(&r, p)) self->combo_->CloseUp(false);
        return 0;
      }
      case WM_LBUTTONUP: {
        RECT r;
        ::GetClientRect(hWnd, &r);
        const POINT p{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
        if (PtInRect(&r, p) && self->ItemAt(p.y) < self->combo_->GetItems()->GetCount()) {
          self->hot_ = self->ItemAt(p.y);
          self->combo_->CloseUp(true);
        }
        return 0;
      }
      case WM_MOUSEWHEEL: {
        const auto delta = static_cast<short>(HIWORD(wParam));
        const Integer count = self->combo_->GetItems()->GetCount();
        self->top_ = std::clamp(self->top_ - delta / 120 * 3, 0, std::max(0, count - self->VisibleCount()));
        ::InvalidateRect(hWnd, nullptr, FALSE);
        return 0;
      }
      case WM_CAPTURECHANGED:
        // Another window took the mouse: the list closes.
        if (static_cast<HWND>(lParam) != hWnd) self->combo_->CloseUp(false);
        return 0;
      default:
        return ::DefWindowProc(hWnd, msg, wParam, lParam);
    }
  }

  void Paint() {
    PAINTSTRUCT ps;
    HDC dc = ::BeginPaint(window_, &ps);
    TCanvas canvas;
    canvas.SetHandle(dc);
    canvas.GetFont()->Assign(combo_->GetFont());
    RECT client;
    ::GetClientRect(window_, &client);
    canvas.GetBrush()->SetColor(clWindow);
    canvas.FillRect(client);
    TStrings* items = combo_->GetItems();
    for (Integer i = top_; i < items->GetCount(); ++i) {
      const TRect r = Rect(0, (i - top_) * itemHeight_, client.right, (i - top_ + 1) * itemHeight_);
      if (r.top >= client.bottom) break;
      TOwnerDrawState state;
      if (i == hot_) state = TOwnerDrawState{odSelected, odFocused};
      canvas.GetBrush()->SetStyle(bsSolid);
      canvas.GetBrush()->SetColor(i == hot_ ? clHighlight : clWindow);
      canvas.FillRect(r);
      canvas.GetFont()->SetColor(i == hot_ ? clHighlightText : combo_->GetFont()->GetColor());
      if (combo_->OnDrawItem && combo_->GetStyle() >= csOwnerDrawFixed) {
        // The owner draws on the combo's canvas, which is set on this DC meanwhile.
        TCanvas* own = combo_->GetCanvas();
        own->SetHandle(dc);
        own->GetFont()->Assign(canvas.GetFont());
        own->GetBrush()->Assign(canvas.GetBrush());
        combo_->OnDrawItem(combo_, i, r, state);
        own->SetHandle(0);
      } else {
        canvas.GetBrush()->SetStyle(bsClear);
        canvas.TextRect(r, r.left + 2, r.top, items->Strings(i));
      }
    }
    canvas.SetHandle(0);
    ::EndPaint(window_, &ps);
  }

  TCustomComboBox* combo_;
  HWND window_ = 0;
  Integer itemHeight_;
  Integer top_;
  Integer hot_ = -1;
};

namespace {

// The edit of a csDropDown combo: its keys go to the combo first (arrows, F4, Enter
// and Escape while the list is open), and its changes are the combo's.
class TComboEdit : public TCustomEdit {
 public:
  explicit TComboEdit(TCustomComboBox* combo) : TCustomEdit(combo), combo_(combo) {
    SetBorderStyle(TBorderStyle::bsNone);
    SetTabStop(true);
  }
  void Dispatch(TMessage& message) override {
    if (message.Msg == CM_WANTSPECIALKEY && combo_->GetDroppedDown() &&
        (message.WParam == VK_RETURN || message.WParam == VK_ESCAPE)) {
      message.Result = 1;
      return;
    }
    TCustomEdit::Dispatch(message);
  }
  std::function<void(Word&, TShiftState)> OnComboKey;

 protected:
  void KeyDown(Word& key, TShiftState shift) override {
    if (OnComboKey) OnComboKey(key, shift);
    if (key != 0) TCustomEdit::KeyDown(key, shift);
  }
  void KeyPress(char& key) override {
    if (key == '\r' || key == 27) {
      key = 0;
      return;
    }
    TCustomEdit::KeyPress(key);
  }

 private:
  TCustomComboBox* combo_;
};

}  // namespace

TCustomComboBox::TCustomComboBox(TComponent* owner)
    : TCustomControl(owner),
      items_(std::make_unique<TListControlStrings>([this] { ItemsChanged(); })) {
  items_->OnDeleting = [this](Integer index) {
    if (index < 0 || index == itemIndex_) {
      itemIndex_ = -1;
    } else if (index < itemIndex_) {
      --itemIndex_;
    }
  };
  SetTabStop(true);
  SetColor(clWindow);
  SetParentColor(false);
  SetControlStyle(GetControlStyle() - csSetCaption);
  SetBounds(0, 0, 145, 21);
  SetStyle(csDropDown);
}

TCustomComboBox::~TCustomComboBox() { dropDown_.reset(); }

void TCustomComboBox::CreateParams(TCreateParams& params) {
  TCustomControl::CreateParams(params);
  params.ExStyle |= WS_EX_CLIENTEDGE;
  params.Style |= WS_CLIPCHILDREN;
}

Integer TCustomComboBox::GetItemHeight() {
  TCanvas canvas;
  HDC dc = ::GetDC(0);
  canvas.SetHandle(dc);
  canvas.GetFont()->Assign(GetFont());
  const Integer h = canvas.TextHeight("Wg");
  canvas.SetHandle(0);
  ::ReleaseDC(0, dc);
  return std::max(1, h);
}

void TCustomComboBox::SetBounds(Integer left, Integer top, Integer width, Integer /*height*/) {
  // The height follows the font: the text, its margins and the frame.
  TCustomControl::SetBounds(left, top, width, GetItemHeight() + 8);
  LayoutEdit();
}

void TCustomComboBox::SetStyle(TComboBoxStyle value) {
  if (value == style_ && (edit_ != nullptr) == (value == csDropDown || value == csSimple)) return;
  style_ = value;
  const bool wantsEdit = value == csDropDown || value == csSimple;
  if (wantsEdit && !edit_) {
    auto* edit = new TComboEdit(this);
    edit->SetParentColor(false);
    edit->OnComboKey = [this](Word& key, TShiftState shift) { EditKey(key, shift); };
    edit->OnChange = [this](TObject*) {
      if (settingText_) return;
      itemIndex_ = items_->IndexOf(edit_->GetText());
      if (OnChange) OnChange(this);
    };
    edit->SetParent(this);
    edit_ = edit;
    LayoutEdit();
  } else if (!wantsEdit && edit_) {
    delete edit_;
    edit_ = nullptr;
  }
  // With an edit the focus stops on the edit instead of the combo.
  SetTabStop(!wantsEdit);
  Invalidate();
}

void TCustomComboBox::LayoutEdit() {
  if (!edit_) return;
  const TRect b = ButtonRect();
  // The client area is inside the control's 2-pixel client edge.
  const Integer clientHeight = GetHeight() - 4;
  edit_->SetBounds(1, 1, std::max(0, static_cast<Integer>(b.left) - 1), std::max(0, clientHeight - 2));
}

TRect TCustomComboBox::ButtonRect() {
  const Integer w = ::GetSystemMetrics(SM_CXVSCROLL);
  const Integer cw = GetWidth() - 4;
  const Integer ch = GetHeight() - 4;
  return Rect(std::max(0, cw - w), 0, cw, ch);
}

void TCustomComboBox::ItemsChanged() {
  if (itemIndex_ >= items_->GetCount()) itemIndex_ = -1;
  Invalidate();
  if (dropDown_) ::InvalidateRect(dropDown_->Window(), nullptr, FALSE);
}

void TCustomComboBox::SetItemIndex(Integer value) {
  if (value < -1 || value >= items_->GetCount()) value = -1;
  itemIndex_ = value;
  if (edit_) {
    settingText_ = true;
    edit_->SetText(value >= 0 ? items_->Strings(value) : AnsiString());
    edit_->SelectAll();
    settingText_ = false;
  }
  Invalidate();
}

Integer TCustomComboBox::GetMaxLength() const { return edit_ ? edit_->GetMaxLength() : maxLength_; }

void TCustomComboBox::SetMaxLength(Integer value) {
  maxLength_ = value;
  if (edit_) edit_->SetMaxLength(value);
}

AnsiString TCustomComboBox::GetSelText() const {
  if (edit_) return edit_->GetSelText();
  return itemIndex_ >= 0 ? items_->Strings(itemIndex_) : AnsiString();
}

void TCustomComboBox::SelectAll() {
  if (edit_) edit_->SelectAll();
}

void TCustomComboBox::SetFocus() {
  if (edit_ && edit_->CanFocus()) {
    edit_->SetFocus();
    return;
  }
  TCustomControl::SetFocus();
}

void TCustomComboBox::Choose(Integer index) {
  if (index < 0 || index >= items_->GetCount()) return;
  const bool changed = index != itemIndex_ || (edit_ && edit_->GetText() != items_->Strings(index));
  SetItemIndex(index);
  if (changed && OnChange) OnChange(this);
  if (OnSelect) OnSelect(this);
}

void TCustomComboBox::SetDroppedDown(bool value) {
  if (value == GetDroppedDown()) return;
  if (!value) {
    CloseUp(false);
    return;
  }
  if (OnDropDown) OnDropDown(this);
  const Integer itemHeight = GetItemHeight();
  const Integer count = std::max<Integer>(1, std::min(items_->GetCount(), std::max(1, dropDownCount_)));
  const TPoint origin = ClientToScreen(Point(-2, GetHeight() - 2));
  TRect r = Rect(origin.x, origin.y, origin.x + GetWidth(), origin.y + count * itemHeight + 2);
  // Above the combo when there is no room below it.
  if (r.bottom > Screen->GetHeight()) OffsetRect(&r, 0, -(r.bottom - r.top) - GetHeight());
  Integer top = std::max(0, itemIndex_ - count + 1);
  dropDown_ = std::make_unique<TComboDropDown>(this, r, itemHeight, top);
  Invalidate();
}

void TCustomComboBox::CloseUp(bool accept) {
  if (!dropDown_) return;
  const Integer chosen = dropDown_->Hot();
  dropDown_.reset();
  Invalidate();
  if (accept) Choose(chosen);
  if (OnCloseUp) OnCloseUp(this);
}

void TCustomComboBox::EditKey(Word& key, TShiftState shift) {
  const Integer count = items_->GetCount();
  if ((key == VK_DOWN && shift.Contains(ssAlt)) || key == VK_F4) {
    SetDroppedDown(!GetDroppedDown());
    key = 0;
    return;
  }
  if (dropDown_) {
    switch (key) {
      case VK_UP: dropDown_->SetHot(dropDown_->Hot() - 1); break;
      case VK_DOWN: dropDown_->SetHot(dropDown_->Hot() + 1); break;
      case VK_PRIOR: dropDown_->SetHot(dropDown_->Hot() - dropDownCount_); break;
      case VK_NEXT: dropDown_->SetHot(dropDown_->Hot() + dropDownCount_); break;
      case VK_HOME: dropDown_->SetHot(0); break;
      case VK_END: dropDown_->SetHot(count - 1); break;
      case VK_RETURN: CloseUp(true); break;
      case VK_ESCAPE: CloseUp(false); break;
      default: return;
    }
    key = 0;
    return;
  }
  if (count == 0) return;
  // The closed combo moves its choice at once.
  switch (key) {
    case VK_UP: Choose(std::max(0, itemIndex_ - 1)); break;
    case VK_DOWN: Choose(std::min(count - 1, itemIndex_ + 1)); break;
    case VK_PRIOR: Choose(std::max(0, itemIndex_ - dropDownCount_)); break;
    case VK_NEXT: Choose(std::min(count - 1, std::max(0, itemIndex_) + dropDownCount_)); break;
    case VK_HOME:
      if (edit_) return;
      Choose(0);
      break;
    case VK_END:
      if (edit_) return;
      Choose(count - 1);
      break;
    default: return;
  }
  key = 0;
}

void TCustomComboBox::KeyDown(Word& key, TShiftState shift) {
  TCustomControl::KeyDown(key, shift);
  if (key != 0) EditKey(key, shift);
}

void TCustomComboBox::KeyPress(char& key) {
  TCustomControl::KeyPress(key);
  const auto c = static_cast<unsigned char>(key);
  if (c < 32 || edit_) return;
  // A letter chooses the next item starting with it.
  const Integer count = items_->GetCount();
  const Integer from = dropDown_ ? dropDown_->Hot() : itemIndex_;
  for (Integer step = 1; step <= count; ++step) {
    const Integer i = (std::max(from, -1) + step + count) % count;
    const AnsiString s = items_->Strings(i);
    if (!s.empty() && std::toupper(static_cast<unsigned char>(s[0])) == std::toupper(c)) {
      if (dropDown_) dropDown_->SetHot(i); else Choose(i);
      break;
    }
  }
  key = 0;
}

void TCustomComboBox::MouseDown(TMouseButton button, TShiftState shift, Integer x, Integer y) {
  if (button == mbLeft) {
    if (CanFocus()) SetFocus();
    const TRect b = ButtonRect();
    if (style_ == csDropDownList || style_ >= csOwnerDrawFixed || PtInRect(&b, Point(x, y))) {
      SetDroppedDown(!GetDroppedDown());
    }
  }
  TCustomControl::MouseDown(button, shift, x, y);
}

void TCustomComboBox::DoEnter() {
  Invalidate();
  TCustomControl::DoEnter();
}

void TCustomComboBox::DoExit() {
  CloseUp(false);
  Invalidate();
  TCustomControl::DoExit();
}

void TCustomComboBox::Dispatch(TMessage& message) {
  switch (message.Msg) {
    case WM_GETDLGCODE:
      message.Result = DLGC_WANTARROWS | DLGC_WANTCHARS | (dropDown_ ? DLGC_WANTALLKEYS : 0);
      return;
    case CM_WANTSPECIALKEY:
      message.Result = dropDown_ && (message.WParam == VK_RETURN || message.WParam == VK_ESCAPE) ? 1 : 0;
      return;
    case WM_SETTEXT: {
      const char* text = reinterpret_cast<const char*>(message.LParam);
      const AnsiString value = text ? text : "";
      if (edit_) {
        settingText_ = true;
        edit_->SetText(value);
        settingText_ = false;
        itemIndex_ = items_->IndexOf(value);
      } else {
        const Integer index = items_->IndexOf(value);
        if (index >= 0) itemIndex_ = index;
      }
      Invalidate();
      message.Result = 1;
      return;
    }
    case WM_GETTEXT:
    case WM_GETTEXTLENGTH: {
      const AnsiString text = edit_ ? edit_->GetText() : itemIndex_ >= 0 ? items_->Strings(itemIndex_) : AnsiString();
      if (message.Msg == WM_GETTEXTLENGTH) {
        message.Result = static_cast<LRESULT>(text.size());
        return;
      }
      char* buffer = reinterpret_cast<char*>(message.LParam);
      message.Result = 0;
      if (!buffer || message.WParam == 0) return;
      const size_t n = std::min(text.size(), static_cast<size_t>(message.WParam) - 1);
      std::copy_n(text.data(), n, buffer);
      buffer[n] = '\0';
      message.Result = static_cast<LRESULT>(n);
      return;
    }
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      Invalidate();
      TCustomControl::Dispatch(message);
      return;
    case WM_ERASEBKGND:
      message.Result = 1;
      return;
    case CM_FONTCHANGED:
      TCustomControl::Dispatch(message);
      SetBounds(GetLeft(), GetTop(), GetWidth(), GetHeight());
      if (edit_) edit_->SetFont(GetFont());
      return;
    case CM_ENABLEDCHANGED:
      TCustomControl::Dispatch(message);
      if (edit_) edit_->SetEnabled(GetEnabled());
      Invalidate();
      return;
    case WM_SIZE:
      TCustomControl::Dispatch(message);
      LayoutEdit();
      return;
    default:
      TCustomControl::Dispatch(message);
  }
}

void TCustomComboBox::Paint() {
  TCanvas* canvas = GetCanvas();
  const TRect client = GetClientRect();
  const bool enabled = GetEnabled();
  canvas->GetBrush()->SetStyle(bsSolid);
  canvas->GetBrush()->SetColor(enabled ? GetColor() : clBtnFace);
  canvas->FillRect(client);
  const TRect button = ButtonRect();
  classic::DrawArrowButton(canvas, button, adDown, GetDroppedDown(), enabled);
  if (edit_) return;
  // The fixed text of a drop-down list, highlighted while the combo has the focus.
  TRect text = Rect(client.left + 1, client.top + 1, button.left - 1, client.bottom - 1);
  const bool focused = HandleAllocated() && Focused() && !GetDroppedDown();
  const AnsiString caption = itemIndex_ >= 0 ? items_->Strings(itemIndex_) : AnsiString();
  canvas->GetBrush()->SetColor(focused ? clHighlight : enabled ? GetColor() : clBtnFace);
  canvas->FillRect(text);
  if (OnDrawItem && style_ >= csOwnerDrawFixed && itemIndex_ >= 0) {
    TOwnerDrawState state{odComboBoxEdit};
    if (focused) state = state + odSelected + odFocused;
    canvas->GetFont()->SetColor(focused ? clHighlightText : GetFont()->GetColor());
    OnDrawItem(this, itemIndex_, text, state);
  } else {
    canvas->GetBrush()->SetStyle(bsClear);
    canvas->GetFont()->SetColor(!enabled ? clGrayText : focused ? clHighlightText : GetFont()->GetColor());
    canvas->TextRect(text, text.left + 1, text.top + (text.bottom - text.top - canvas->TextHeight("Wg")) / 2, caption);
  }
  if (focused) classic::DrawFocusRect(canvas, text);
}
