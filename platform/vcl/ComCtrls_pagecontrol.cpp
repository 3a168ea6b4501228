// The page control: tabs along the top in the classic look, one page shown at a
// time, the person's choice by a click on a tab or Ctrl+Tab with OnChanging and
// OnChange; pages chosen in code fire nothing.
#include <algorithm>

#include "platform/vcl/ClassicLook.h"
#include "platform/vcl/ComCtrls.h"

namespace {

constexpr Integer kTabPadding = 6;   // beside a tab's caption
constexpr Integer kPageInset = 4;    // between the frame and a page
constexpr Integer kSelectedRise = 2; // how far the selected tab stands out

}  // namespace

// --- TTabSheet -------------------------------------------------------------------------

TTabSheet::TTabSheet(TComponent* owner) : TWinControl(owner) {
  SetControlStyle(GetControlStyle() + csAcceptsControls);
  SetVisible(false);
  SetColor(clBtnFace);
}

TTabSheet::~TTabSheet() {
  destroying_ = true;
  if (pageControl_) pageControl_->RemovePage(this);
}

void TTabSheet::SetPageControl(TPageControl* value) {
  if (value == pageControl_) return;
  if (pageControl_) pageControl_->RemovePage(this);
  SetParent(value);
  if (value) value->InsertPage(this);
}

void TTabSheet::SetTabVisible(bool value) {
  if (value == tabVisible_) return;
  tabVisible_ = value;
  if (pageControl_) {
    pageControl_->Invalidate();
    pageControl_->Realign();
  }
}

Integer TTabSheet::GetPageIndex() const {
  if (!pageControl_) return -1;
  const auto& pages = pageControl_->pages_;
  return static_cast<Integer>(std::find(pages.begin(), pages.end(), this) - pages.begin());
}

void TTabSheet::SetPageIndex(Integer value) {
  if (!pageControl_) return;
  auto& pages = pageControl_->pages_;
  const Integer from = GetPageIndex();
  value = std::clamp<Integer>(value, 0, static_cast<Integer>(pages.size()) - 1);
  if (value == from) return;
  pages.erase(pages.begin() + from);
  pages.insert(pages.begin() + value, this);
  pageControl_->Invalidate();
}

Integer TTabSheet::GetTabIndex() const {
  if (!pageControl_ || !tabVisible_) return -1;
  const std::vector<TTabSheet*> tabs = pageControl_->VisibleTabs();
  return static_cast<Integer>(std::find(tabs.begin(), tabs.end(), this) - tabs.begin());
}

void TTabSheet::Dispatch(TMessage& message) {
  if (message.Msg == CM_TEXTCHANGED && pageControl_) pageControl_->Invalidate();
  TWinControl::Dispatch(message);
}

// --- TPageControl ------------------------------------------------------------------------

TPageControl::TPageControl(TComponent* owner) : TCustomControl(owner) {
  SetControlStyle(GetControlStyle() + csAcceptsControls);
  SetTabStop(true);
  SetColor(clBtnFace);
  SetBounds(0, 0, 289, 193);
}

TPageControl::~TPageControl() {
  for (TTabSheet* page : pages_) page->pageControl_ = nullptr;
}

TTabSheet* TPageControl::Pages(Integer index) const {
  if (index < 0 || index >= GetPageCount()) {
    throw EListError("List index out of bounds (" + std::to_string(index) + ")");
  }
  return pages_[static_cast<size_t>(index)];
}

void TPageControl::InsertPage(TTabSheet* page) {
  pages_.push_back(page);
  page->pageControl_ = this;
  // The first page shows by itself (in code: no events).
  if (activePage_ == nullptr) SetActivePage(page);
  Realign();
  Invalidate();
}

void TPageControl::RemovePage(TTabSheet* page) {
  auto it = std::find(pages_.begin(), pages_.end(), page);
  if (it == pages_.end()) return;
  if (page == activePage_) {
    TTabSheet* next = FindNextPage(page, true, true);
    if (next == page) next = nullptr;
    if (!destroying_) SetActivePage(next);
    activePage_ = next;
  }
  pages_.erase(std::find(pages_.begin(), pages_.end(), page));
  page->pageControl_ = nullptr;
  if (!destroying_) Invalidate();
}

std::vector<TTabSheet*> TPageControl::VisibleTabs() const {
  std::vector<TTabSheet*> tabs;
  for (TTabSheet* page : pages_) {
    if (page->tabVisible_) tabs.push_back(page);
  }
  return tabs;
}

void TPageControl::SetActivePage(TTabSheet* page) {
  if (page && page->pageControl_ != this) return;
  if (page == activePage_) return;
  TTabSheet* old = activePage_;
  activePage_ = page;
  if (page) {
    page->BringToFront();
    page->SetVisible(true);
  }
  if (old) old->SetVisible(false);
  Invalidate();
}

Integer TPageControl::GetActivePageIndex() const { return activePage_ ? activePage_->GetPageIndex() : -1; }

void TPageControl::SetActivePageIndex(Integer value) {
  if (value < 0) {
    SetActivePage(nullptr);
  } else if (value < GetPageCount()) {
    SetActivePage(pages_[static_cast<size_t>(value)]);
  }
}

TTabSheet* TPageControl::FindNextPage(TTabSheet* current, bool goForward, bool checkTabVisible) const {
  const Integer count = GetPageCount();
  if (count == 0) return nullptr;
  Integer start = current ? current->GetPageIndex() : -1;
  if (start < 0) start = goForward ? count - 1 : 0;
  Integer i = start;
  for (Integer k = 0; k < count; ++k) {
    i = goForward ? (i + 1) % count : (i + count - 1) % count;
    TTabSheet* page = pages_[static_cast<size_t>(i)];
    if (!checkTabVisible || page->tabVisible_) return page;
  }
  return nullptr;
}

void TPageControl::SelectNextPage(bool goForward) {
  TTabSheet* next = FindNextPage(activePage_, goForward, true);
  if (next && next != activePage_) ChangeActivePage(next);
}

bool TPageControl::CanChange() {
  bool allow = true;
  if (OnChanging) OnChanging(this, allow);
  return allow;
}

void TPageControl::Change() {
  if (OnChange) OnChange(this);
}

void TPageControl::ChangeActivePage(TTabSheet* page) {
  if (page == activePage_ || !CanChange()) return;
  SetActivePage(page);
  Change();
}

// --- Geometry ---------------------------------------------------------------------------

Integer TPageControl::GetTabHeight() {
  GetCanvas()->SetFont(GetFont());
  return GetCanvas()->TextHeight("Ag") + 2 * kTabPadding / 2 + 4;
}

TRect TPageControl::TabRect(Integer tabIndex) {
  const std::vector<TTabSheet*> tabs = VisibleTabs();
  if (tabIndex < 0 || tabIndex >= static_cast<Integer>(tabs.size())) return Rect(0, 0, 0, 0);
  GetCanvas()->SetFont(GetFont());
  const Integer height = GetTabHeight();
  Integer x = kSelectedRise;
  for (Integer i = 0;; ++i) {
    const Integer width = GetCanvas()->TextWidth(tabs[static_cast<size_t>(i)]->GetCaption()) + 2 * kTabPadding + 2;
    if (i == tabIndex) return Rect(x, kSelectedRise, x + width, height);
    x += width;
  }
}

TRect TPageControl::DisplayRect() {
  const TRect client = GetClientRect();
  const Integer top = VisibleTabs().empty() ? 0 : GetTabHeight();
  return Rect(kPageInset, top + kPageInset, std::max(kPageInset, client.right - kPageInset),
              std::max(top + kPageInset, client.bottom - kPageInset));
}

Integer TPageControl::IndexOfTabAt(Integer x, Integer y) {
  const Integer count = static_cast<Integer>(VisibleTabs().size());
  const Integer active = activePage_ ? activePage_->GetTabIndex() : -1;
  // The selected tab stands out over its neighbours: it is tested first.
  if (active >= 0) {
    TRect r = TabRect(active);
    r = Rect(r.left - kSelectedRise, 0, r.right + kSelectedRise, r.bottom + 1);
    if (PtInRect(&r, Point(x, y))) return active;
  }
  for (Integer i = 0; i < count; ++i) {
    const TRect r = TabRect(i);
    if (PtInRect(&r, Point(x, y))) return i;
  }
  return -1;
}

void TPageControl::AlignControls(TControl* control, TRect& rect) {
  (void)control;
  rect = DisplayRect();
  for (TTabSheet* page : pages_) page->SetBoundsRect(rect);
}

// --- Input ------------------------------------------------------------------------------

void TPageControl::MouseDown(TMouseButton button, TShiftState shift, Integer x, Integer y) {
  if (button == mbLeft) {
    const Integer index = IndexOfTabAt(x, y);
    if (index >= 0) {
      if (CanFocus() && !Focused()) SetFocus();
      ChangeActivePage(VisibleTabs()[static_cast<size_t>(index)]);
    }
  }
  TCustomControl::MouseDown(button, shift, x, y);
}

void TPageControl::KeyDown(Word& key, TShiftState shift) {
  TCustomControl::KeyDown(key, shift);
  if (key == VK_TAB && shift.Contains(ssCtrl)) {
    SelectNextPage(!shift.Contains(ssShift));
    key = 0;
  } else if (key == VK_LEFT || key == VK_RIGHT) {
    SelectNextPage(key == VK_RIGHT);
    key = 0;
  }
}

void TPageControl::Dispatch(TMessage& message) {
  switch (message.Msg) {
    case WM_GETDLGCODE:
      message.Result = DLGC_WANTARROWS;
      return;
    case CM_DIALOGKEY:
      // Ctrl+Tab anywhere on the pages turns them.
      if (message.WParam == VK_TAB && ::GetKeyState(VK_CONTROL) < 0 && GetShowing() && activePage_ &&
          (Focused() || ContainsControl(FindControl(::GetFocus())))) {
        SelectNextPage(::GetKeyState(VK_SHIFT) >= 0);
        message.Result = 1;
        return;
      }
      break;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      Invalidate();
      break;
    default:
      break;
  }
  TCustomControl::Dispatch(message);
}

// --- Painting ---------------------------------------------------------------------------

void TPageControl::Paint() {
  TCanvas* canvas = GetCanvas();
  const TRect client = GetClientRect();
  canvas->GetBrush()->SetColor(clBtnFace);
  canvas->GetBrush()->SetStyle(bsSolid);
  canvas->FillRect(client);
  canvas->SetFont(GetFont());
  const std::vector<TTabSheet*> tabs = VisibleTabs();
  const Integer tabHeight = tabs.empty() ? 0 : GetTabHeight();
  // The page's raised frame.
  classic::DrawFrame(canvas, Rect(0, tabHeight, client.right, client.bottom), cfRaised);
  const Integer active = activePage_ ? activePage_->GetTabIndex() : -1;
  auto drawTab = [&](Integer i, bool selected) {
    TRect r = TabRect(i);
    if (selected) r = Rect(r.left - kSelectedRise, r.top - kSelectedRise, r.right + kSelectedRise, r.bottom + 1);
    canvas->GetBrush()->SetColor(clBtnFace);
    canvas->FillRect(Rect(r.left, r.top, r.right, r.bottom));
    // Light left side and top with a cut corner; dark right side.
    canvas->GetPen()->SetColor(clBtnHighlight);
    canvas->MoveTo(r.left, r.bottom - (selected ? 1 : 0));
    canvas->LineTo(r.left, r.top + 2);
    canvas->LineTo(r.left + 2, r.top);
    canvas->LineTo(r.right - 2, r.top);
    canvas->GetPen()->SetColor(cl3DDkShadow);
    canvas->MoveTo(r.right - 1, r.top + 2);
    canvas->LineTo(r.right - 1, r.bottom);
    canvas->SetPixel(r.right - 2, r.top + 1, cl3DDkShadow);
    canvas->GetPen()->SetColor(clBtnShadow);
    canvas->MoveTo(r.right - 2, r.top + 2);
    canvas->LineTo(r.right - 2, r.bottom);
    TRect text = Rect(r.left, r.top + 1, r.right, r.bottom - (selected ? 1 : 0));
    classic::DrawCaption(canvas, text, tabs[static_cast<size_t>(i)]->GetCaption(),
                         DT_CENTER | DT_VCENTER | DT_SINGLELINE, clBtnText, GetEnabled());
    if (selected && Focused()) {
      const TSize size = canvas->TextExtent(tabs[static_cast<size_t>(i)]->GetCaption());
      const Integer cx = (text.left + text.right) / 2;
      const Integer cy = (text.top + text.bottom) / 2;
      classic::DrawFocusRect(canvas, Rect(cx - size.cx / 2 - 2, cy - size.cy / 2 - 1, cx + size.cx / 2 + 3,
                                          cy + size.cy / 2 + 2));
    }
  };
  for (Integer i = 0; i < static_cast<Integer>(tabs.size()); ++i) {
    if (i != active) drawTab(i, false);
  }
  if (active >= 0) drawTab(active, true);
}
