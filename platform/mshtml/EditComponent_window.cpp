// The editing component's windows: in-place activation makes the component's window
// (a child of the host's window; its procedure ignores input) and inside it the
// document's window, which paints the document through the layout, scrolls it,
// keeps the focus and the caret, and turns input into the document's events.
#include <algorithm>
#include <mutex>

#include "platform/mshtml/Commands.h"
#include "platform/mshtml/EditComponent.h"
#include "platform/mshtml/EditComponentInternal.h"
#include "platform/win/Input.h"
#include "platform/win/Messages.h"
#include "platform/win/Window.h"

namespace mshtml {

namespace {

constexpr const char* kOuterClass = "LarkHtmlEditComponent";
constexpr const char* kDocumentClass = "LarkHtmlEditDocument";
// Pixels of text kept in sight beside the caret when the window scrolls sideways to it.
constexpr Integer kCaretMargin = 32;

EditComponent* Owner(HWND hWnd) { return reinterpret_cast<EditComponent*>(GetWindowLongPtr(hWnd, GWLP_USERDATA)); }

LRESULT TakeOwner(HWND hWnd, LPARAM lParam) {
  const auto* create = reinterpret_cast<const CREATESTRUCT*>(lParam);
  SetWindowLongPtr(hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  return TRUE;
}

LRESULT OuterWindowProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_NCCREATE) {
    TakeOwner(hWnd, lParam);
    return DefWindowProc(hWnd, msg, wParam, lParam);
  }
  if (msg == WM_NCDESTROY) SetWindowLongPtr(hWnd, GWLP_USERDATA, 0);
  if (EditComponent* owner = Owner(hWnd)) return owner->OuterProc(hWnd, msg, wParam, lParam);
  return DefWindowProc(hWnd, msg, wParam, lParam);
}

LRESULT DocumentWindowProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_NCCREATE) {
    TakeOwner(hWnd, lParam);
    return DefWindowProc(hWnd, msg, wParam, lParam);
  }
  if (msg == WM_NCDESTROY) SetWindowLongPtr(hWnd, GWLP_USERDATA, 0);
  if (EditComponent* owner = Owner(hWnd)) return owner->DocumentProc(hWnd, msg, wParam, lParam);
  return DefWindowProc(hWnd, msg, wParam, lParam);
}

void RegisterClasses() {
  static std::once_flag once;
  std::call_once(once, [] {
    WNDCLASS outer;
    outer.lpfnWndProc = OuterWindowProc;
    outer.cbWndExtra = static_cast<Integer>(sizeof(LONG_PTR));
    outer.lpszClassName = kOuterClass;
    RegisterClass(&outer);
    WNDCLASS doc;
    doc.style = CS_DBLCLKS;
    doc.lpfnWndProc = DocumentWindowProc;
    doc.cbWndExtra = static_cast<Integer>(sizeof(LONG_PTR));
    doc.lpszClassName = kDocumentClass;
    RegisterClass(&doc);
  });
}

}  // namespace

std::optional<RECT> CaretRectAt(Layout& layout, const std::vector<TextUnit>& units, Integer at) {
  const Integer count = static_cast<Integer>(units.size());
  if (at >= 0 && at < count && units[at].UnitKind == TextUnit::Char)
    return layout.GetCaretRect(static_cast<TextNode*>(units[at].Anchor), units[at].Offset);
  if (at > 0 && at <= count && units[at - 1].UnitKind == TextUnit::Char)
    return layout.GetCaretRect(static_cast<TextNode*>(units[at - 1].Anchor), units[at - 1].Offset + 1);
  return std::nullopt;
}

HRESULT EditComponent::ActivateInPlace(IOleClientSite* site, HWND parent, const RECT* position, bool uiActivate) {
  if (!outerWindow_) {
    if (site == nullptr) return E_INVALIDARG;
    ComPtr<IOleInPlaceSite> inPlace;
    if (FAILED(ComPtr<IOleClientSite>(site).As(&inPlace)) || !inPlace) return E_NOINTERFACE;
    if (inPlace->CanInPlaceActivate() != S_OK) return E_FAIL;
    HWND host = parent;
    if (!host && FAILED(inPlace->GetWindow(&host))) return E_FAIL;
    RECT place = position ? *position : RECT{0, 0, 0, 0};
    if (!position) {
      ComPtr<IOleInPlaceFrame> frame;
      ComPtr<IOleInPlaceUIWindow> docWindow;
      RECT clip{};
      OLEINPLACEFRAMEINFO info;
      info.cb = sizeof info;
      inPlace->GetWindowContext(frame.ReleaseAndGetAddressOf(), docWindow.ReleaseAndGetAddressOf(), &place, &clip,
                                &info);
    }
    inPlaceSite_ = inPlace;
    if (FAILED(inPlace->OnInPlaceActivate())) {
      inPlaceSite_ = nullptr;
      return E_FAIL;
    }
    RegisterClasses();
    outerWindow_ = CreateWindowEx(0, kOuterClass, "", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, place.left, place.top,
                                  place.right - place.left, place.bottom - place.top, host, 0, 0, this);
    if (!outerWindow_) {
      inPlaceSite_ = nullptr;
      inPlace->OnInPlaceDeactivate();
      return E_FAIL;
    }
    RECT client{};
    GetClientRect(outerWindow_, &client);
    docWindow_ = CreateWindowEx(0, kDocumentClass, "", WS_CHILD | WS_VISIBLE | (scrollbars_ ? WS_VSCROLL : 0), 0, 0,
                                client.right, client.bottom, outerWindow_, 0, 0, this);
    if (!layout_) MakeLayout();
    const RECT r = ClientRect();
    layout_->SetViewport(r.right - r.left, r.bottom - r.top);
    UpdateScrollBars();
    // The first document loads now that there is a window to show it.
    if (!everLoaded_ && job_ && job_->Held) {
      job_->PassesLeft = 0;
      job_->Held = false;
      auto first = std::move(job_);
      StartLoad(std::move(first));
    }
    if (clientSite_) clientSite_->ShowObject();
    else site->ShowObject();
  }
  if (uiActivate && !uiActive_ && inPlaceSite_) {
    uiActive_ = true;
    inPlaceSite_->OnUIActivate();
    if (docWindow_) SetFocus(docWindow_);
  }
  return S_OK;
}

void EditComponent::DestroyWindows() {
  if (outerWindow_) {
    HWND outer = outerWindow_;
    outerWindow_ = 0;
    docWindow_ = 0;
    DestroyWindow(outer);
  }
}

HRESULT EditComponent::GetWindow(HWND* window) {
  if (window == nullptr) return E_POINTER;
  *window = outerWindow_;
  return outerWindow_ ? S_OK : E_FAIL;
}
HRESULT EditComponent::ContextSensitiveHelp(BOOL) { return E_NOTIMPL; }

HRESULT EditComponent::InPlaceDeactivate() {
  if (!outerWindow_) return S_OK;
  UIDeactivate();
  DestroyWindows();
  if (ComPtr<IOleInPlaceSite> site = std::move(inPlaceSite_)) site->OnInPlaceDeactivate();
  return S_OK;
}

HRESULT EditComponent::UIDeactivate() {
  if (!uiActive_) return S_OK;
  uiActive_ = false;
  if (inPlaceSite_) inPlaceSite_->OnUIDeactivate(FALSE);
  return S_OK;
}

HRESULT EditComponent::SetObjectRects(const RECT* position, const RECT*) {
  if (position == nullptr) return E_POINTER;
  if (outerWindow_)
    MoveWindow(outerWindow_, position->left, position->top, position->right - position->left,
               position->bottom - position->top, TRUE);
  return S_OK;
}
HRESULT EditComponent::ReactivateAndUndo() { return E_NOTIMPL; }

HRESULT EditComponent::TranslateAccelerator(MSG* msg) {
  if (msg == nullptr) return E_POINTER;
  if (!docWindow_) return S_FALSE;
  switch (msg->message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
    case WM_KEYUP:
    case WM_SYSKEYUP:
    case WM_CHAR:
      // The key is the document's, as if it had arrived at its window.
      DocumentProc(docWindow_, msg->message, msg->wParam, msg->lParam);
      return S_OK;
    default:
      return S_FALSE;
  }
}
HRESULT EditComponent::OnFrameWindowActivate(BOOL) { return S_OK; }
HRESULT EditComponent::OnDocWindowActivate(BOOL) { return S_OK; }
HRESULT EditComponent::ResizeBorder(const RECT*, IOleInPlaceUIWindow*, BOOL) { return S_OK; }
HRESULT EditComponent::EnableModeless(BOOL) { return S_OK; }

LRESULT EditComponent::OuterProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_SIZE:
      if (docWindow_) MoveWindow(docWindow_, 0, 0, LOWORD(lParam), HIWORD(lParam), TRUE);
      return 0;
    case WM_SETFOCUS:
      if (docWindow_) SetFocus(docWindow_);
      return 0;
    case WM_ERASEBKGND:
      return 1;
    default:
      break;
  }
  // Input that reaches this window (the host sending it on) is not the document's.
  if ((msg >= WM_MOUSEMOVE && msg <= WM_MBUTTONDBLCLK) || (msg >= WM_KEYDOWN && msg <= WM_SYSKEYUP)) return 0;
  return DefWindowProc(hWnd, msg, wParam, lParam);
}

RECT EditComponent::ClientRect() const {
  RECT r{};
  if (docWindow_) GetClientRect(docWindow_, &r);
  return r;
}

void EditComponent::UpdateScrollBars() {
  if (!docWindow_ || !layout_) return;
  // Showing or hiding a bar resizes the client area, which comes back here (WM_SIZE)
  // and may call for the other bar: the outer call repeats until both settle.
  if (updatingBars_) {
    barsAgain_ = true;
    return;
  }
  updatingBars_ = true;
  for (int pass = 0; pass < 4; ++pass) {
    barsAgain_ = false;
    const RECT r = ClientRect();
    layout_->SetViewport(r.right - r.left, r.bottom - r.top);
    SCROLLINFO info;
    info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
    info.nMin = 0;
    info.nMax = scrollbars_ ? layout_->GetScrollHeight() - 1 : 0;
    info.nPage = static_cast<UINT>(scrollbars_ ? std::max<Integer>(0, r.bottom - r.top) : 0);
    info.nPos = layout_->GetScrollTop();
    SetScrollInfo(docWindow_, SB_VERT, &info, TRUE);
    if (barsAgain_) continue;
    // Content wider than the window (a wide table, a long word, a picture): the
    // horizontal bar.
    const RECT h = ClientRect();
    layout_->SetViewport(h.right - h.left, h.bottom - h.top);
    info.nMax = scrollbars_ ? layout_->GetScrollWidth() - 1 : 0;
    info.nPage = static_cast<UINT>(scrollbars_ ? std::max<Integer>(0, h.right - h.left) : 0);
    info.nPos = layout_->GetScrollLeft();
    SetScrollInfo(docWindow_, SB_HORZ, &info, TRUE);
    if (!barsAgain_) break;
  }
  updatingBars_ = false;
}

void EditComponent::ScrollTo(Integer x, Integer y) {
  if (!layout_) return;
  layout_->SetScrollLeft(x);
  layout_->SetScrollTop(y);
  UpdateScrollBars();
  if (docWindow_) InvalidateRect(docWindow_, nullptr, TRUE);
}

void EditComponent::ScrollCaretIntoView() {
  if (!layout_ || !docWindow_) return;
  auto range = document_->GetSelection()->CreateRange();
  if (!range) return;
  const auto shared = document_->GetSelection()->UnitsOf(range->GetRoot());
  const auto& units = *shared;
  const Integer at = std::min<Integer>(range->GetEnd(), static_cast<Integer>(units.size()));
  const std::optional<RECT> caret = CaretRectAt(*layout_, units, at);
  if (!caret) return;
  const RECT r = ClientRect();
  const Integer height = r.bottom - r.top, width = r.right - r.left;
  Integer x = layout_->GetScrollLeft(), y = layout_->GetScrollTop();
  if (caret->top < 0)
    y += caret->top;
  else if (caret->bottom > height)
    y += caret->bottom - height;
  // Sideways the caret comes back with some of the text before it in sight.
  const Integer margin = std::min<Integer>(kCaretMargin, width / 4);
  if (caret->left < 0)
    x += caret->left - margin;
  else if (caret->right > width)
    x += caret->right - width + margin;
  if (x != layout_->GetScrollLeft() || y != layout_->GetScrollTop()) ScrollTo(x, y);
}

std::vector<RECT> EditComponent::SelectionRects() {
  std::vector<RECT> rects;
  auto range = document_->GetSelection()->CreateRange();
  if (!range || !layout_ || range->IsCollapsed()) return rects;
  const auto units = ReadTextUnits(range->GetRoot());
  const Integer height = ClientRect().bottom;
  const Integer end = std::min<Integer>(range->GetEnd(), static_cast<Integer>(units.size()));
  const Node* above = nullptr;  // a text node wholly above the window
  for (Integer i = range->GetStart(); i < end; ++i) {
    const TextUnit& u = units[static_cast<size_t>(i)];
    if (u.UnitKind != TextUnit::Char || u.Anchor == above) continue;
    const auto* node = static_cast<const TextNode*>(u.Anchor);
    if (i == range->GetStart() || units[static_cast<size_t>(i - 1)].Anchor != node) {
      // A long selection scrolled far down: its texts above the window are passed
      // over a node at a time.
      const std::optional<RECT> last = layout_->GetCaretRect(node, node->GetLength());
      if (last && last->bottom <= 0) {
        above = node;
        continue;
      }
    }
    const std::optional<RECT> from = layout_->GetCaretRect(node, u.Offset);
    if (!from) continue;
    if (from->top >= height) break;  // the rest lies below the window
    if (from->bottom <= 0) continue;
    const std::optional<RECT> to = layout_->GetCaretRect(node, u.Offset + 1);
    // A blank at a line's end has the width of a blank of its line's height / 4.
    const Integer right = to && to->top == from->top && to->left > from->left
                              ? to->left
                              : from->left + std::max<Integer>(2, (from->bottom - from->top) / 4);
    RECT r{from->left, from->top, right, from->bottom};
    if (!rects.empty() && rects.back().top == r.top && rects.back().bottom == r.bottom &&
        rects.back().right == r.left)
      rects.back().right = r.right;
    else
      rects.push_back(r);
  }
  return rects;
}

void EditComponent::Paint() {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(docWindow_, &ps);
  if (!dc) return;
  if (layout_) {
    // Borderless tables get their guide lines in edit mode when ShowBorders or the
    // engine's zero-borders switch asks for them.
    layout_->SetShowZeroBorders(DesignMode() &&
                                (showBorders_ || GetViewSwitches(*document_).ShowZeroBorders));
    SyncGlyphs();
    layout_->Paint(dc, ps.rcPaint);
    Selection* selection = document_->GetSelection();
    // Selected text shows inverted.
    if (selection->GetType() == u"Text")
      for (const RECT& r : SelectionRects()) InvertRect(dc, &r);
    // A control selection: a frame with handles around each selected element.
    HBRUSH black = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    for (Element* e : selection->GetControls()) {
      RECT box = layout_->GetBoundingClientRect(e);
      if (box.right <= box.left) continue;
      RECT frame{box.left - 1, box.top - 1, box.right + 1, box.bottom + 1};
      FrameRect(dc, &frame, black);
      const Integer cx = (box.left + box.right) / 2, cy = (box.top + box.bottom) / 2;
      const POINT handles[] = {{box.left, box.top}, {cx, box.top},    {box.right, box.top},
                               {box.left, cy},      {box.right, cy},  {box.left, box.bottom},
                               {cx, box.bottom},    {box.right, box.bottom}};
      for (const POINT& h : handles) {
        RECT handle{h.x - 3, h.y - 3, h.x + 4, h.y + 4};
        FillRect(dc, &handle, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        FrameRect(dc, &handle, black);
      }
    }
    // The caret, where a person types (design mode, with the focus).
    if (focused_ && DesignMode() && !job_ && selection->GetType() == u"None") {
      if (auto range = selection->CreateRange()) {
        const auto shared = selection->UnitsOf(range->GetRoot());
        const auto& units = *shared;
        const Integer at = std::min<Integer>(range->GetStart(), static_cast<Integer>(units.size()));
        const std::optional<RECT> caret = CaretRectAt(*layout_, units, at);
        if (caret) {
          RECT bar{caret->left, caret->top, caret->left + 1, caret->bottom};
          FillRect(dc, &bar, black);
        }
      }
    }
  }
  EndPaint(docWindow_, &ps);
}

}  // namespace mshtml
