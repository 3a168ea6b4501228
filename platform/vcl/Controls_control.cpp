// TControl: place, properties, the message entry and dispatch.
#include <algorithm>
#include <cstring>

#include "platform/vcl/Controls.h"
#include "platform/vcl/Forms.h"

TControl::TControl(TComponent* owner) : TComponent(owner), font_(std::make_unique<TFont>()) {
  windowProc_ = [this](TMessage& m) { WndProc(m); };
  font_->OnChange = [this](TObject*) { FontChanged(); };
}

TControl::~TControl() {
  destroying_ = true;
  if (captureControl_ == this) {
    captureControl_ = nullptr;
    ::ReleaseCapture();
  }
  if (popupMenu_) popupMenu_->RemoveFreeNotification(this);
  if (parent_) SetParent(nullptr);
}

LRESULT TControl::Perform(UINT msg, WPARAM wParam, LPARAM lParam) {
  TMessage m{msg, wParam, lParam, 0};
  windowProc_(m);
  return m.Result;
}

void TControl::SetWindowProc(TWndMethod value) {
  if (value)
    windowProc_ = std::move(value);
  else
    windowProc_ = [this](TMessage& m) { WndProc(m); };
}

void TControl::DefaultHandler(TMessage& message) {
  switch (message.Msg) {
    case WM_GETTEXT: {
      char* buffer = reinterpret_cast<char*>(message.LParam);
      const size_t room = message.WParam;
      if (!buffer || room == 0) {
        message.Result = 0;
        return;
      }
      const size_t n = std::min(text_.size(), room - 1);
      std::memcpy(buffer, text_.data(), n);
      buffer[n] = '\0';
      message.Result = static_cast<LRESULT>(n);
      return;
    }
    case WM_GETTEXTLENGTH:
      message.Result = static_cast<LRESULT>(text_.size());
      return;
    case WM_SETTEXT: {
      const char* text = reinterpret_cast<const char*>(message.LParam);
      text_ = text ? text : "";
      message.Result = 1;
      return;
    }
    default:
      message.Result = 0;
  }
}

void TControl::Dispatch(TMessage& message) {
  switch (message.Msg) {
    case WM_LBUTTONDOWN:
      HandleMouseDown(message, mbLeft, {});
      return;
    case WM_RBUTTONDOWN:
      HandleMouseDown(message, mbRight, {});
      return;
    case WM_MBUTTONDOWN:
      HandleMouseDown(message, mbMiddle, {});
      return;
    case WM_LBUTTONDBLCLK:
      if (controlStyle_.Contains(csClickEvents) && !destroying_) DblClick();
      HandleMouseDown(message, mbLeft, {ssDouble});
      return;
    case WM_RBUTTONDBLCLK:
      HandleMouseDown(message, mbRight, {ssDouble});
      return;
    case WM_MBUTTONDBLCLK:
      HandleMouseDown(message, mbMiddle, {ssDouble});
      return;
    case WM_LBUTTONUP:
      HandleMouseUp(message, mbLeft);
      return;
    case WM_RBUTTONUP:
      HandleMouseUp(message, mbRight);
      return;
    case WM_MBUTTONUP:
      HandleMouseUp(message, mbMiddle);
      return;
    case WM_MOUSEMOVE:
      if (!destroying_) {
        MouseMove(KeysToShiftState(static_cast<Word>(message.WParam)),
                  static_cast<int16_t>(LOWORD(static_cast<uintptr_t>(message.LParam))),
                  static_cast<int16_t>(HIWORD(static_cast<uintptr_t>(message.LParam))));
      }
      return;
    case WM_MOUSEWHEEL: {
      const Integer delta = static_cast<int16_t>(HIWORD(message.WParam));
      const TPoint pos{static_cast<int16_t>(LOWORD(static_cast<uintptr_t>(message.LParam))),
                       static_cast<int16_t>(HIWORD(static_cast<uintptr_t>(message.LParam)))};
      if (!destroying_ && DoMouseWheel(KeysToShiftState(LOWORD(message.WParam)), delta, pos)) {
        message.Result = 1;
        return;
      }
      // Not taken: the platform passes it to the parent window.
      DefaultHandler(message);
      return;
    }
    case WM_CONTEXTMENU:
      HandleContextMenu(message);
      return;
    case CM_VISIBLECHANGED:
      InvalidateControl(true, visible_ && controlStyle_.Contains(csOpaque));
      return;
    case CM_ENABLEDCHANGED:
    case CM_COLORCHANGED:
    case CM_TEXTCHANGED:
      Invalidate();
      return;
    case CM_FONTCHANGED:
      Invalidate();
      return;
    case CM_PARENTFONTCHANGED:
      ParentFontChanged();
      return;
    case CM_PARENTCOLORCHANGED:
      ParentColorChanged();
      return;
    case CM_PARENTSHOWHINTCHANGED:
      if (parentShowHint_ && parent_) {
        showHint_ = parent_->GetShowHint();
        Perform(CM_SHOWHINTCHANGED);
      }
      return;
    case CM_HITTEST:
      message.Result = 1;  // HTCLIENT
      return;
    case CM_MOUSEENTER:
    case CM_MOUSELEAVE:
      if (parent_) parent_->Perform(message.Msg, 0, reinterpret_cast<LPARAM>(this));
      return;
    default:
      DefaultHandler(message);
  }
}

// --- Place -------------------------------------------------------------------------

void TControl::SetParent(TWinControl* value) {
  if (value == parent_) return;
  if (value == this) throw EInvalidOperation("A control cannot have itself as its parent");
  for (TWinControl* p = value; p; p = p->GetParent()) {
    if (p == static_cast<TControl*>(this))
      throw EInvalidOperation("A control cannot have one of its children as its parent");
  }
  if (parent_) parent_->RemoveControl(this);
  if (value) {
    value->InsertControl(this);
  }
}

void TControl::SetBounds(Integer left, Integer top, Integer width, Integer height) {
  if (width < 0) width = 0;
  if (height < 0) height = 0;
  if (left == left_ && top == top_ && width == width_ && height == height_) return;
  InvalidateControl(visible_, false);
  left_ = left;
  top_ = top;
  width_ = width;
  height_ = height;
  UpdateAnchorRules();
  Invalidate();
  RequestAlign();
  if (!GetComponentState().Contains(csLoading)) Resize();
}

TRect TControl::GetClientRect() { return Rect(0, 0, width_, height_); }

void TControl::SetClientWidth(Integer value) {
  SetBounds(left_, top_, width_ - GetClientWidth() + value, height_);
}

void TControl::SetClientHeight(Integer value) {
  SetBounds(left_, top_, width_, height_ - GetClientHeight() + value);
}

TPoint TControl::GetClientOrigin() {
  if (!parent_) return Point(left_, top_);
  TPoint origin = parent_->GetClientOrigin();
  return Point(origin.x + left_, origin.y + top_);
}

TPoint TControl::ClientToScreen(const TPoint& point) {
  const TPoint origin = GetClientOrigin();
  return Point(point.x + origin.x, point.y + origin.y);
}

TPoint TControl::ScreenToClient(const TPoint& point) {
  const TPoint origin = GetClientOrigin();
  return Point(point.x - origin.x, point.y - origin.y);
}

void TControl::SetAlign(TAlign value) {
  if (value == align_) return;
  const TAlign old = align_;
  align_ = value;
  anchors_ = TAnchors{akLeft, akTop};
  // An aligned control that goes back to none keeps the place alignment gave it.
  if (old != alNone && value == alNone) UpdateAnchorRules();
  RequestAlign();
}

void TControl::SetAnchors(TAnchors value) {
  if (value == anchors_) return;
  anchors_ = value;
  UpdateAnchorRules();
}

void TControl::UpdateAnchorRules() {
  if (anchorMove_ || GetComponentState().Contains(csLoading)) return;
  if (anchors_ == TAnchors{akLeft, akTop}) {
    originalParentSize_ = Point(0, 0);
    return;
  }
  if (anchors_.Contains(akRight))
    anchorRules_.x = anchors_.Contains(akLeft) ? width_ : left_;
  else
    anchorRules_.x = left_ + width_ / 2;
  if (anchors_.Contains(akBottom))
    anchorRules_.y = anchors_.Contains(akTop) ? height_ : top_;
  else
    anchorRules_.y = top_ + height_ / 2;
  // The parent's client area: anchors follow what the children can use, whether or
  // not the parent's window exists yet.
  if (parent_) {
    const TRect client = parent_->GetClientRect();
    originalParentSize_ = Point(client.right, client.bottom);
  }
}

void TControl::RequestAlign() {
  if (parent_) parent_->AlignControl(this);
}

void TControl::Resize() {
  if (OnResize && !destroying_) OnResize(this);
}

// --- State -------------------------------------------------------------------------

void TControl::SetVisible(bool value) {
  if (value == visible_) return;
  visible_ = value;
  Perform(CM_VISIBLECHANGED, value ? 1 : 0);
  RequestAlign();
}

void TControl::SetEnabled(bool value) {
  if (value == enabled_) return;
  enabled_ = value;
  Perform(CM_ENABLEDCHANGED);
}

bool TControl::GetShowing() const { return visible_ && parent_ && parent_->GetShowing(); }

// --- Looks -------------------------------------------------------------------------

TCaption TControl::GetText() {
  const LRESULT length = Perform(WM_GETTEXTLENGTH);
  if (length <= 0) return TCaption();
  std::string buffer(static_cast<size_t>(length) + 1, '\0');
  const LRESULT got =
      Perform(WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()));
  buffer.resize(static_cast<size_t>(std::max<LRESULT>(0, std::min<LRESULT>(got, length))));
  return buffer;
}

void TControl::SetText(const TCaption& value) {
  if (GetText() == value) return;
  Perform(WM_SETTEXT, 0, reinterpret_cast<LPARAM>(value.c_str()));
  Perform(CM_TEXTCHANGED);
}

void TControl::SetColor(TColor value) {
  if (value == color_) return;
  color_ = value;
  parentColor_ = false;
  Perform(CM_COLORCHANGED);
}

void TControl::SetParentColor(bool value) {
  if (value == parentColor_) return;
  parentColor_ = value;
  if (value && parent_) Perform(CM_PARENTCOLORCHANGED);
}

void TControl::ParentColorChanged() {
  if (!parentColor_ || !parent_) return;
  SetColor(parent_->GetColor());
  parentColor_ = true;
}

void TControl::SetParentFont(bool value) {
  if (value == parentFont_) return;
  parentFont_ = value;
  if (value && parent_) Perform(CM_PARENTFONTCHANGED);
}

void TControl::ParentFontChanged() {
  if (!parentFont_ || !parent_) return;
  font_->Assign(parent_->GetFont());
  parentFont_ = true;
}

void TControl::FontChanged() {
  // A font taken from the parent is not the control's own choice.
  if (fontChanging_) return;
  fontChanging_ = true;
  parentFont_ = false;
  Perform(CM_FONTCHANGED);
  fontChanging_ = false;
}

void TControl::SetCursor(TCursor value) {
  if (value == cursor_) return;
  cursor_ = value;
  Perform(CM_CURSORCHANGED);
}

void TControl::SetShowHint(bool value) {
  if (value == showHint_ && !parentShowHint_) return;
  showHint_ = value;
  parentShowHint_ = false;
  Perform(CM_SHOWHINTCHANGED);
}

void TControl::SetParentShowHint(bool value) {
  if (value == parentShowHint_) return;
  parentShowHint_ = value;
  if (value) Perform(CM_PARENTSHOWHINTCHANGED);
}

void TControl::SetPopupMenu(TPopupMenu* value) {
  if (value == popupMenu_) return;
  if (popupMenu_) popupMenu_->RemoveFreeNotification(this);
  popupMenu_ = value;
  if (value) value->FreeNotification(this);
}

void TControl::Notification(TComponent* component, TOperation operation) {
  TComponent::Notification(component, operation);
  if (operation == opRemove && component == popupMenu_) popupMenu_ = nullptr;
}

// --- Z-order -------------------------------------------------------------------------

void TControl::SetZOrder(bool topMost) {
  if (!parent_) return;
  auto& list = parent_->controls_;
  auto it = std::find(list.begin(), list.end(), this);
  if (it == list.end()) return;
  list.erase(it);
  if (topMost)
    list.push_back(this);
  else
    list.insert(list.begin(), this);
  InvalidateControl(visible_, true);
}

// --- Helpers -----------------------------------------------------------------------

TWinControl* FindControl(HWND hWnd);  // Controls_wincontrol.cpp

TCustomForm* GetParentForm(TControl* control) {
  while (control && control->GetParent()) control = control->GetParent();
  return dynamic_cast<TCustomForm*>(control);
}
