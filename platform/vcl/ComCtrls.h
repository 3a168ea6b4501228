// The framework's common controls, drawn by us in the classic look with the system
// colours: TPageControl with its TTabSheet pages, TListView (the icon view over an
// image list), TStatusBar with its panels, and TProgressBar. (The up-down and the
// track bar are in ComCtrlsBasic.h.)
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "platform/vcl/Controls.h"
#include "platform/vcl/ImageList.h"

#pragma push_macro("KeyPress")
#undef KeyPress

class TPageControl;

// ---------------------------------------------------------------------------------
// Page control

// A page of a page control: a control holding the page's controls, shown while it
// is the active page.
class TTabSheet : public TWinControl {
 public:
  LARK_CLASS_NAME(TTabSheet)
  explicit TTabSheet(TComponent* owner);
  ~TTabSheet() override;

  TPageControl* GetPageControl() const noexcept { return pageControl_; }
  // Moves the page to another page control (null: to none); it becomes its last page.
  void SetPageControl(TPageControl* value);
  // A page whose tab is hidden can still be the active page (set in code).
  bool GetTabVisible() const noexcept { return tabVisible_; }
  void SetTabVisible(bool value);
  // The page's place among all pages; -1 without a page control.
  Integer GetPageIndex() const;
  void SetPageIndex(Integer value);
  // The place of its tab among the visible tabs; -1 when its tab is hidden.
  Integer GetTabIndex() const;

 protected:
  void Dispatch(TMessage& message) override;

 private:
  friend class TPageControl;
  TPageControl* pageControl_ = nullptr;
  bool tabVisible_ = true;
};

using TTabChangingEvent = std::function<void(TObject* sender, bool& allowChange)>;

class TPageControl : public TCustomControl {
 public:
  LARK_CLASS_NAME(TPageControl)
  explicit TPageControl(TComponent* owner);
  ~TPageControl() override;

  Integer GetPageCount() const noexcept { return static_cast<Integer>(pages_.size()); }
  // EListError for an index out of range.
  TTabSheet* Pages(Integer index) const;
  TTabSheet* GetActivePage() const noexcept { return activePage_; }
  // Shows the page (one of ours, or null for none) and hides the others. Setting it
  // in code fires neither OnChanging nor OnChange; only the person's choice does.
  void SetActivePage(TTabSheet* page);
  Integer GetActivePageIndex() const;
  // -1 for none; an index out of range changes nothing.
  void SetActivePageIndex(Integer value);
  // The page after (or before) current among those with visible tabs, wrapping; null
  // when there is none.
  TTabSheet* FindNextPage(TTabSheet* current, bool goForward, bool checkTabVisible) const;
  // Moves to the next page as the person's Ctrl+Tab does (with the events).
  void SelectNextPage(bool goForward);
  // The tab under a client point; -1 for none (TabIndex order).
  Integer IndexOfTabAt(Integer x, Integer y);
  // The rectangle of a visible tab (by TabIndex), as drawn when not selected.
  TRect TabRect(Integer tabIndex);
  // The area the pages take.
  TRect DisplayRect();
  Integer GetTabHeight();

  // Before the person's change: allowChange false keeps the page.
  TTabChangingEvent OnChanging;
  // After the person changed the page.
  TNotifyEvent OnChange;

 protected:
  void Paint() override;
  void AlignControls(TControl* control, TRect& rect) override;
  void MouseDown(TMouseButton button, TShiftState shift, Integer x, Integer y) override;
  void KeyDown(Word& key, TShiftState shift) override;
  void Dispatch(TMessage& message) override;
  virtual bool CanChange();
  virtual void Change();

 private:
  friend class TTabSheet;
  void InsertPage(TTabSheet* page);
  void RemovePage(TTabSheet* page);
  // The person chose page: OnChanging may refuse, OnChange follows.
  void ChangeActivePage(TTabSheet* page);
  std::vector<TTabSheet*> VisibleTabs() const;

  std::vector<TTabSheet*> pages_;
  TTabSheet* activePage_ = nullptr;
};

// ---------------------------------------------------------------------------------
// List view

enum class TViewStyle : Byte { vsIcon, vsSmallIcon, vsList, vsReport };
using enum TViewStyle;
enum class TListArrangement : Byte { arAlignBottom, arAlignLeft, arAlignRight, arAlignTop, arDefault, arSnapToGrid };
using enum TListArrangement;

class TListItems;
class TCustomListView;

class TListItem {
 public:
  TListItem(TListItems* owner);
  TListItem(const TListItem&) = delete;
  TListItem& operator=(const TListItem&) = delete;

  const AnsiString& GetCaption() const noexcept { return caption_; }
  void SetCaption(const AnsiString& value);
  Integer GetImageIndex() const noexcept { return imageIndex_; }
  void SetImageIndex(Integer value);
  bool GetSelected() const noexcept { return selected_; }
  // Selecting in code fires OnSelectItem too; without MultiSelect the others go.
  void SetSelected(bool value);
  bool GetFocused() const;
  void SetFocused(bool value);
  void* GetData() const noexcept { return data_; }
  void SetData(void* value) noexcept { data_ = value; }
  Integer GetIndex() const;
  TListItems* GetOwner() const noexcept { return owner_; }
  TCustomListView* GetListView() const;
  // Scrolls the view until the item is in sight.
  void MakeVisible(bool partialOK);
  // The item's whole cell in the view's client area.
  TRect DisplayRect() const;
  // Takes the item out of the list and frees it.
  void Delete();

 private:
  friend class TCustomListView;
  friend class TListItems;
  TListItems* owner_;
  AnsiString caption_;
  Integer imageIndex_ = -1;
  bool selected_ = false;
  void* data_ = nullptr;
};

class TListItems {
 public:
  explicit TListItems(TCustomListView* owner) : owner_(owner) {}
  TListItems(const TListItems&) = delete;
  TListItems& operator=(const TListItems&) = delete;
  ~TListItems();

  Integer GetCount() const noexcept { return static_cast<Integer>(items_.size()); }
  // EListError for an index out of range.
  TListItem* GetItem(Integer index) const;
  TListItem* operator[](Integer index) const { return GetItem(index); }
  TListItem* Add();
  TListItem* Insert(Integer index);
  void Delete(Integer index);
  void Clear();
  Integer IndexOf(const TListItem* item) const;
  // Holds repainting and arranging while many items change (nestable).
  void BeginUpdate();
  void EndUpdate();
  TCustomListView* GetOwner() const noexcept { return owner_; }

 private:
  friend class TListItem;
  friend class TCustomListView;
  TCustomListView* owner_;
  std::vector<std::unique_ptr<TListItem>> items_;
};

using TLVSelectItemEvent = std::function<void(TObject* sender, TListItem* item, bool selected)>;

class TCustomListView : public TCustomControl {
 public:
  LARK_CLASS_NAME(TCustomListView)
  explicit TCustomListView(TComponent* owner);
  ~TCustomListView() override;

  TListItems* GetItems() const noexcept { return items_.get(); }
  TImageList* GetLargeImages() const noexcept { return largeImages_; }
  void SetLargeImages(TImageList* value);
  TImageList* GetSmallImages() const noexcept { return smallImages_; }
  void SetSmallImages(TImageList* value);
  TViewStyle GetViewStyle() const noexcept { return viewStyle_; }
  void SetViewStyle(TViewStyle value);
  bool GetMultiSelect() const noexcept { return multiSelect_; }
  void SetMultiSelect(bool value);
  // Whether the selection shows while the view does not have the focus.
  bool GetHideSelection() const noexcept { return hideSelection_; }
  void SetHideSelection(bool value);
  // The first selected item, or null; setting it selects only that item.
  TListItem* GetSelected() const;
  void SetSelected(TListItem* value);
  Integer GetSelCount() const;
  TListItem* GetItemFocused() const noexcept { return focused_; }
  void SetItemFocused(TListItem* value);
  Integer GetItemIndex() const;
  void SetItemIndex(Integer value);
  void ClearSelection();
  void SelectAll();
  // Lays the items out again in rows from the top-left.
  void Arrange(TListArrangement code);
  TListItem* GetItemAt(Integer x, Integer y);
  // The first row's item in sight, and how far the view is scrolled (pixels).
  TListItem* GetTopItem();
  Integer GetScrollOffset() const noexcept { return scrollY_; }
  // Scrolls by pixels (clamped to the content).
  void Scroll(Integer dx, Integer dy);
  // The size of an icon cell and the number of columns that fit.
  TSize CellSize();
  Integer ColumnCount();

  TLVSelectItemEvent OnSelectItem;

 protected:
  void CreateParams(TCreateParams& params) override;
  void CreateWnd() override;
  void Paint() override;
  void MouseDown(TMouseButton button, TShiftState shift, Integer x, Integer y) override;
  void KeyDown(Word& key, TShiftState shift) override;
  void Dispatch(TMessage& message) override;
  void Resize() override;
  void Notification(TComponent* component, TOperation operation) override;

 private:
  friend class TListItem;
  friend class TListItems;
  TImageList* CurrentImages() const;
  void ItemsChanged();
  void ItemDeleting(TListItem* item);
  void SelectionChanged(TListItem* item, bool selected);
  void SetItemSelected(TListItem* item, bool selected);
  // Selects from the anchor to item (Shift), or only item.
  void SelectRange(TListItem* item, bool keepOthers);
  void MoveFocus(Integer index, TShiftState shift);
  void UpdateScrollBar();
  Integer ContentHeight();
  void EnsureVisible(Integer index);
  void PaintItem(TCanvas* canvas, Integer index);

  std::unique_ptr<TListItems> items_;
  TImageList* largeImages_ = nullptr;
  TImageList* smallImages_ = nullptr;
  TViewStyle viewStyle_ = vsIcon;
  bool multiSelect_ = false;
  bool hideSelection_ = true;
  TListItem* focused_ = nullptr;
  TListItem* anchor_ = nullptr;
  Integer scrollY_ = 0;
  Integer updateCount_ = 0;
  bool updatingScroll_ = false;
};

class TListView : public TCustomListView {
 public:
  LARK_CLASS_NAME(TListView)
  explicit TListView(TComponent* owner) : TCustomListView(owner) {}
};

// ---------------------------------------------------------------------------------
// Status bar

enum class TStatusPanelStyle : Byte { psText, psOwnerDraw };
using enum TStatusPanelStyle;
enum class TStatusPanelBevel : Byte { pbNone, pbLowered, pbRaised };
using enum TStatusPanelBevel;

class TStatusPanels;
class TStatusBar;

class TStatusPanel {
 public:
  explicit TStatusPanel(TStatusPanels* owner) : owner_(owner) {}
  TStatusPanel(const TStatusPanel&) = delete;
  TStatusPanel& operator=(const TStatusPanel&) = delete;

  Integer GetWidth() const noexcept { return width_; }
  void SetWidth(Integer value);
  const AnsiString& GetText() const noexcept { return text_; }
  void SetText(const AnsiString& value);
  TStatusPanelStyle GetStyle() const noexcept { return style_; }
  void SetStyle(TStatusPanelStyle value);
  TStatusPanelBevel GetBevel() const noexcept { return bevel_; }
  void SetBevel(TStatusPanelBevel value);
  Integer GetIndex() const;

 private:
  void Changed();
  TStatusPanels* owner_;
  Integer width_ = 50;
  AnsiString text_;
  TStatusPanelStyle style_ = psText;
  TStatusPanelBevel bevel_ = pbLowered;
};

class TStatusPanels {
 public:
  explicit TStatusPanels(TStatusBar* owner) : owner_(owner) {}
  TStatusPanels(const TStatusPanels&) = delete;
  TStatusPanels& operator=(const TStatusPanels&) = delete;
  Integer GetCount() const noexcept { return static_cast<Integer>(panels_.size()); }
  // EListError for an index out of range.
  TStatusPanel* GetItem(Integer index) const;
  TStatusPanel* operator[](Integer index) const { return GetItem(index); }
  TStatusPanel* Add();
  void Delete(Integer index);
  void Clear();
  TStatusBar* GetOwner() const noexcept { return owner_; }

 private:
  friend class TStatusPanel;
  TStatusBar* owner_;
  std::vector<std::unique_ptr<TStatusPanel>> panels_;
};

using TDrawPanelEvent = std::function<void(TStatusBar* statusBar, TStatusPanel* panel, const TRect& rect)>;

class TStatusBar : public TCustomControl {
 public:
  LARK_CLASS_NAME(TStatusBar)
  explicit TStatusBar(TComponent* owner);
  ~TStatusBar() override;

  TStatusPanels* GetPanels() const noexcept { return panels_.get(); }
  // One panel across the bar showing SimpleText instead of the panels.
  bool GetSimplePanel() const noexcept { return simplePanel_; }
  void SetSimplePanel(bool value);
  const AnsiString& GetSimpleText() const noexcept { return simpleText_; }
  void SetSimpleText(const AnsiString& value);
  // The grip at the bottom right, drawn when the form can be sized.
  bool GetSizeGrip() const noexcept { return sizeGrip_; }
  void SetSizeGrip(bool value);
  // A panel's rectangle (inside its bevel), as OnDrawPanel gets it.
  TRect PanelRect(Integer index);

  // Draws an owner-drawn panel on Canvas, each time the bar paints (first showing,
  // every resize, every change).
  TDrawPanelEvent OnDrawPanel;

 protected:
  void Paint() override;
  virtual void DrawPanel(TStatusPanel* panel, const TRect& rect);

 private:
  friend class TStatusPanel;
  friend class TStatusPanels;
  bool ShowsGrip();
  std::unique_ptr<TStatusPanels> panels_;
  bool simplePanel_ = false;
  AnsiString simpleText_;
  bool sizeGrip_ = true;
};

// ---------------------------------------------------------------------------------
// Progress bar

enum class TProgressBarOrientation : Byte { pbHorizontal, pbVertical };
using enum TProgressBarOrientation;

class TProgressBar : public TCustomControl {
 public:
  LARK_CLASS_NAME(TProgressBar)
  explicit TProgressBar(TComponent* owner);

  Integer GetMin() const noexcept { return min_; }
  Integer GetMax() const noexcept { return max_; }
  // Min above Max is refused (EInvalidOperation); Position is kept inside.
  void SetMin(Integer value);
  void SetMax(Integer value);
  void SetRange(Integer min, Integer max);
  Integer GetPosition() const noexcept { return position_; }
  // Kept within Min..Max.
  void SetPosition(Integer value);
  Integer GetStep() const noexcept { return step_; }
  void SetStep(Integer value) noexcept { step_ = value; }
  // Advances by Step (by delta), wrapping to Min past Max as the platform's bar does.
  void StepIt();
  void StepBy(Integer delta);
  // One smooth bar instead of blocks.
  bool GetSmooth() const noexcept { return smooth_; }
  void SetSmooth(bool value);
  TProgressBarOrientation GetOrientation() const noexcept { return orientation_; }
  void SetOrientation(TProgressBarOrientation value);

 protected:
  void Paint() override;

 private:
  Integer min_ = 0;
  Integer max_ = 100;
  Integer position_ = 0;
  Integer step_ = 10;
  bool smooth_ = false;
  TProgressBarOrientation orientation_ = pbHorizontal;
};

#pragma pop_macro("KeyPress")
