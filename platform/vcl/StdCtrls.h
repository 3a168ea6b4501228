// The framework's standard controls: labels, push buttons, check boxes and radio
// buttons, group boxes, edits and memos, list boxes, combo boxes and scroll bars.
// Each is drawn by us in the classic look with the system colours (ClassicLook.h),
// and answers the messages a program sends such controls (EM_*, WM_CUT/COPY/PASTE).
// Setters only invalidate; painting happens in the loop's WM_PAINT.
#pragma once

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <vector>

#include "platform/rtl/Lists.h"
#include "platform/vcl/ClassicLook.h"
#include "platform/vcl/Controls.h"
#include "platform/vcl/Forms.h"

#pragma push_macro("KeyPress")
#undef KeyPress

// ---------------------------------------------------------------------------------
// Messages of edit controls (the platform's numbers).

inline constexpr UINT EM_GETSEL = 0x00B0;
inline constexpr UINT EM_SETSEL = 0x00B1;
inline constexpr UINT EM_GETRECT = 0x00B2;
inline constexpr UINT EM_LINESCROLL = 0x00B6;
inline constexpr UINT EM_SCROLLCARET = 0x00B7;
inline constexpr UINT EM_GETMODIFY = 0x00B8;
inline constexpr UINT EM_SETMODIFY = 0x00B9;
inline constexpr UINT EM_GETLINECOUNT = 0x00BA;
inline constexpr UINT EM_LINEINDEX = 0x00BB;
inline constexpr UINT EM_LINELENGTH = 0x00C1;
inline constexpr UINT EM_REPLACESEL = 0x00C2;
inline constexpr UINT EM_GETLINE = 0x00C4;
inline constexpr UINT EM_LIMITTEXT = 0x00C5;
inline constexpr UINT EM_SETLIMITTEXT = EM_LIMITTEXT;
inline constexpr UINT EM_CANUNDO = 0x00C6;
inline constexpr UINT EM_UNDO = 0x00C7;
inline constexpr UINT EM_LINEFROMCHAR = 0x00C9;
inline constexpr UINT EM_SETPASSWORDCHAR = 0x00CC;
inline constexpr UINT EM_EMPTYUNDOBUFFER = 0x00CD;
inline constexpr UINT EM_GETFIRSTVISIBLELINE = 0x00CE;
inline constexpr UINT EM_SETREADONLY = 0x00CF;
inline constexpr UINT EM_GETLIMITTEXT = 0x00D5;

// Messages of buttons.
inline constexpr UINT BM_GETCHECK = 0x00F0;
inline constexpr UINT BM_SETCHECK = 0x00F1;
inline constexpr UINT BM_CLICK = 0x00F5;
inline constexpr WPARAM BST_UNCHECKED = 0;
inline constexpr WPARAM BST_CHECKED = 1;
inline constexpr WPARAM BST_INDETERMINATE = 2;

// ---------------------------------------------------------------------------------
// Common types.

enum class TAlignment : Byte { taLeftJustify, taRightJustify, taCenter };
using enum TAlignment;
enum class TLeftRight : Byte { lrLeft = 0, lrRight = 1 };
enum class TTextLayout : Byte { tlTop, tlCenter, tlBottom };
using enum TTextLayout;
enum class TBorderStyle : Byte { bsNone = 0, bsSingle = 1 };
enum class TScrollStyle : Byte { ssNone, ssHorizontal, ssVertical, ssBoth };
using enum TScrollStyle;
enum class TEditCharCase : Byte { ecNormal, ecUpperCase, ecLowerCase };
using enum TEditCharCase;
enum class TCheckBoxState : Byte { cbUnchecked, cbChecked, cbGrayed };
using enum TCheckBoxState;
enum class TScrollBarKind : Byte { sbHorizontal, sbVertical };
using enum TScrollBarKind;
enum class TScrollCode : Byte {
  scLineUp, scLineDown, scPageUp, scPageDown, scPosition, scTrack, scTop, scBottom, scEndScroll
};
using enum TScrollCode;
using TScrollEvent = std::function<void(TObject* sender, TScrollCode scrollCode, Integer& scrollPos)>;

// ---------------------------------------------------------------------------------
// TLabel: text on its parent, drawn without a window of its own.

class TCustomLabel : public TGraphicControl {
 public:
  LARK_CLASS_NAME(TCustomLabel)
  explicit TCustomLabel(TComponent* owner);

  TAlignment GetAlignment() const noexcept { return alignment_; }
  void SetAlignment(TAlignment value);
  // With AutoSize the label takes the size of its text whenever the text or font changes.
  bool GetAutoSize() const noexcept { return autoSize_; }
  void SetAutoSize(bool value);
  TTextLayout GetLayout() const noexcept { return layout_; }
  void SetLayout(TTextLayout value);
  bool GetWordWrap() const noexcept { return wordWrap_; }
  void SetWordWrap(bool value);
  // A transparent label draws only its text over the parent.
  bool GetTransparent() const noexcept { return transparent_; }
  void SetTransparent(bool value);
  bool GetShowAccelChar() const noexcept { return showAccelChar_; }
  void SetShowAccelChar(bool value);
  // The control its mnemonic gives the focus to.
  TWinControl* GetFocusControl() const noexcept { return focusControl_; }
  void SetFocusControl(TWinControl* value);

  void Dispatch(TMessage& message) override;
  void Notification(TComponent* component, TOperation operation) override;

 protected:
  void Paint() override;
  void AdjustBounds();
  UINT TextFormat() const;

 private:
  TAlignment alignment_ = taLeftJustify;
  bool autoSize_ = true;
  TTextLayout layout_ = tlTop;
  bool wordWrap_ = false;
  bool transparent_ = false;
  bool showAccelChar_ = true;
  TWinControl* focusControl_ = nullptr;
};

class TLabel : public TCustomLabel {
 public:
  LARK_CLASS_NAME(TLabel)
  explicit TLabel(TComponent* owner) : TCustomLabel(owner) {}
};

// ---------------------------------------------------------------------------------
// Buttons.

// Base of push buttons, check boxes and radio buttons: a focusable control that
// draws itself, presses under the mouse and Space, and clicks on release.
class TButtonControl : public TCustomControl {
 public:
  LARK_CLASS_NAME(TButtonControl)
  explicit TButtonControl(TComponent* owner);

  void Dispatch(TMessage& message) override;
  // Whether the button is held down now (by the mouse or Space).
  bool GetPressed() const noexcept { return pressed_; }

 protected:
  // What a completed press does (a push button clicks, a check box toggles).
  virtual void Activate() { Click(); }
  void MouseDown(TMouseButton button, TShiftState shift, Integer x, Integer y) override;
  void MouseMove(TShiftState shift, Integer x, Integer y) override;
  void MouseUp(TMouseButton button, TShiftState shift, Integer x, Integer y) override;
  void KeyDown(Word& key, TShiftState shift) override;
  void KeyUp(Word& key, TShiftState shift) override;
  void SetPressed(bool value);
  // The caption with its mnemonic: Alt+key (or the key alone when the focus is not
  // on an edit) activates the button.
  bool IsMnemonic(Word charCode) ;

 private:
  bool pressed_ = false;
  bool mouseDown_ = false;
  bool spaceDown_ = false;
};

// A push button. A click with ModalResult set sets the form's ModalResult (ending
// its ShowModal). Enter clicks the focused button, or the Default button when the
// focus is not on a button; Escape clicks the Cancel button.
class TButton : public TButtonControl {
 public:
  LARK_CLASS_NAME(TButton)
  explicit TButton(TComponent* owner);

  TModalResult GetModalResult() const noexcept { return modalResult_; }
  void SetModalResult(TModalResult value) noexcept { modalResult_ = value; }
  bool GetDefault() const noexcept { return default_; }
  void SetDefault(bool value);
  bool GetCancel() const noexcept { return cancel_; }
  void SetCancel(bool value) noexcept { cancel_ = value; }
  void Click() override;
  void Dispatch(TMessage& message) override;

 protected:
  void Paint() override;
  // Draws the content (caption) in rect; TBitBtn adds its glyph.
  virtual void PaintContent(const TRect& rect);
  // Whether the button is drawn with the default frame now.
  bool DrawsAsDefault();

 private:
  TModalResult modalResult_ = mrNone;
  bool default_ = false;
  bool cancel_ = false;
};

// A check box: the square and the caption beside it. A click cycles the state
// (through cbGrayed only with AllowGrayed) and fires OnClick.
class TCustomCheckBox : public TButtonControl {
 public:
  LARK_CLASS_NAME(TCustomCheckBox)
  explicit TCustomCheckBox(TComponent* owner);

  bool GetChecked() const noexcept { return state_ == cbChecked; }
  void SetChecked(bool value) { SetState(value ? cbChecked : cbUnchecked); }
  TCheckBoxState GetState() const noexcept { return state_; }
  // Changing the state fires OnClick, as the user's click does.
  void SetState(TCheckBoxState value);
  bool GetAllowGrayed() const noexcept { return allowGrayed_; }
  void SetAllowGrayed(bool value) noexcept { allowGrayed_ = value; }
  // Which side the caption is on (taRightJustify: to the right of the box).
  TAlignment GetAlignment() const noexcept { return alignment_; }
  void SetAlignment(TAlignment value);
  void Dispatch(TMessage& message) override;

 protected:
  void Activate() override;
  void Paint() override;

 private:
  TCheckBoxState state_ = cbUnchecked;
  bool allowGrayed_ = false;
  TAlignment alignment_ = taRightJustify;
};

class TCheckBox : public TCustomCheckBox {
 public:
  LARK_CLASS_NAME(TCheckBox)
  explicit TCheckBox(TComponent* owner) : TCustomCheckBox(owner) {}
};

// A radio button: checking it unchecks the other radio buttons of the same parent.
// The arrow keys move the focus among them, and a radio button that gets the focus
// by the keyboard is checked.
class TRadioButton : public TButtonControl {
 public:
  LARK_CLASS_NAME(TRadioButton)
  explicit TRadioButton(TComponent* owner);

  bool GetChecked() const noexcept { return checked_; }
  // Checking fires OnClick and unchecks the others of the group.
  void SetChecked(bool value);
  TAlignment GetAlignment() const noexcept { return alignment_; }
  void SetAlignment(TAlignment value);
  void Dispatch(TMessage& message) override;

 protected:
  void Activate() override { SetChecked(true); }
  void Paint() override;

 private:
  bool checked_ = false;
  TAlignment alignment_ = taRightJustify;
};

// A group box: a frame with a caption that holds other controls.
class TCustomGroupBox : public TCustomControl {
 public:
  LARK_CLASS_NAME(TCustomGroupBox)
  explicit TCustomGroupBox(TComponent* owner);
  void Dispatch(TMessage& message) override;

 protected:
  void Paint() override;
};

class TGroupBox : public TCustomGroupBox {
 public:
  LARK_CLASS_NAME(TGroupBox)
  explicit TGroupBox(TComponent* owner) : TCustomGroupBox(owner) {}
};

// ---------------------------------------------------------------------------------
// Edits and memos.

// The edit engine shared by single-line edits and memos. The text is kept by the
// control; line breaks are "\r\n". Positions are offsets into the text. The caret is
// drawn (without blinking) while the control has the focus, the selection in
// clHighlight. Editing keys, the mouse (click, drag, double click selects a word,
// Shift+click extends), and the clipboard (Ctrl+C/X/V, Ctrl+Insert, Shift+Insert,
// Shift+Delete) work as on the platform. OnChange fires after every change of the
// text, by the user or by the program.
class TCustomEdit : public TCustomControl {
 public:
  LARK_CLASS_NAME(TCustomEdit)
  explicit TCustomEdit(TComponent* owner);

  void Dispatch(TMessage& message) override;

  // 0 means no limit. The limit applies to what the user types or pastes, not to
  // text the program sets.
  Integer GetMaxLength() const noexcept { return maxLength_; }
  void SetMaxLength(Integer value);
  bool GetReadOnly() const noexcept { return readOnly_; }
  void SetReadOnly(bool value);
  char GetPasswordChar() const noexcept { return passwordChar_; }
  void SetPasswordChar(char value);
  TEditCharCase GetCharCase() const noexcept { return charCase_; }
  void SetCharCase(TEditCharCase value);
  bool GetModified() const noexcept { return modified_; }
  void SetModified(bool value) noexcept { modified_ = value; }
  bool GetAutoSelect() const noexcept { return autoSelect_; }
  void SetAutoSelect(bool value) noexcept { autoSelect_ = value; }
  bool GetHideSelection() const noexcept { return hideSelection_; }
  void SetHideSelection(bool value);
  TBorderStyle GetBorderStyle() const noexcept { return borderStyle_; }
  void SetBorderStyle(TBorderStyle value);

  Integer GetSelStart() const noexcept { return std::min(anchor_, caret_); }
  // Puts the caret at value (clamped to the text) with nothing selected.
  void SetSelStart(Integer value);
  Integer GetSelLength() const noexcept { return std::abs(caret_ - anchor_); }
  // Selects value characters from SelStart (a negative length counts as 0).
  void SetSelLength(Integer value);
  AnsiString GetSelText() const;
  // Replaces the selection with value, leaving the caret after it.
  void SetSelText(const AnsiString& value);
  void SelectAll();
  void ClearSelection();
  void Clear();
  void CopyToClipboard();
  void CutToClipboard();
  void PasteFromClipboard();
  // The caret's offset (the moving end of the selection).
  Integer GetCaretPos() const noexcept { return caret_; }

  TNotifyEvent OnChange;

 protected:
  // A visual line: where it starts in the text and how many characters it shows.
  struct TLine {
    Integer start = 0;
    Integer length = 0;
  };

  virtual bool IsMultiLine() const { return false; }
  virtual bool GetWordWrapping() const { return false; }
  virtual bool WantsReturns() const { return false; }
  virtual bool WantsTabs() const { return false; }
  virtual void Change();
  void CreateParams(TCreateParams& params) override;
  void Paint() override;
  void KeyDown(Word& key, TShiftState shift) override;
  void KeyPress(char& key) override;
  void MouseDown(TMouseButton button, TShiftState shift, Integer x, Integer y) override;
  void MouseMove(TShiftState shift, Integer x, Integer y) override;
  void MouseUp(TMouseButton button, TShiftState shift, Integer x, Integer y) override;
  void DoEnter() override;
  void DoExit() override;

  // The text as the control keeps it.
  const AnsiString& EditText() const noexcept { return text_; }
  // Replaces the whole text (the program's change): caret at the start, OnChange.
  void SetEditText(const AnsiString& value);
  // The visual lines, laid out again when the text, font or width changed.
  const std::vector<TLine>& Lines();
  Integer LineOfPos(Integer pos);
  Integer LineHeight();
  // The area the text is drawn in, inside the margins.
  TRect TextArea();
  // Scrolls so that the caret is visible.
  void ScrollCaret();
  // Keeps the window's scroll bars in step with the text (memos).
  virtual void UpdateScrollBars() {}
  void MoveCaret(Integer pos, bool extend);
  void InvalidateLayout();

  Integer topLine_ = 0;
  Integer scrollX_ = 0;

 private:
  AnsiString DisplayText(Integer start, Integer length) const;
  Integer PosFromPoint(Integer x, Integer y);
  TPoint PointOfPos(Integer pos);
  Integer WordStart(Integer pos) const;
  Integer WordEnd(Integer pos) const;
  // Puts text in place of the selection (the user's edit): MaxLength, CharCase, line
  // breaks of single-line edits cut off. Answers false when nothing could be put.
  bool ReplaceSelection(AnsiString text, bool byUser);
  void HandleEditMessage(TMessage& message);
  Integer LineIndex(Integer line);

  AnsiString text_;
  Integer anchor_ = 0;
  Integer caret_ = 0;
  Integer maxLength_ = 0;
  bool readOnly_ = false;
  char passwordChar_ = 0;
  TEditCharCase charCase_ = ecNormal;
  bool modified_ = false;
  bool autoSelect_ = true;
  bool hideSelection_ = true;
  TBorderStyle borderStyle_ = TBorderStyle::bsSingle;
  bool selecting_ = false;
  // The x the caret keeps while it moves up and down.
  Integer desiredX_ = -1;
  std::vector<TLine> lines_;
  bool layoutValid_ = false;
  Integer layoutWidth_ = -1;
};

class TEdit : public TCustomEdit {
 public:
  LARK_CLASS_NAME(TEdit)
  explicit TEdit(TComponent* owner) : TCustomEdit(owner) {}
};

class TCustomMemo;

// The lines of a memo: a view of its text, split at line breaks.
class TMemoStrings : public TStrings {
 public:
  LARK_CLASS_NAME(TMemoStrings)
  explicit TMemoStrings(TCustomMemo* memo) : memo_(memo) {}
  Integer GetCount() const override;
  AnsiString Strings(Integer index) const override;
  void SetStrings(Integer index, const AnsiString& s) override;
  void Insert(Integer index, const AnsiString& s) override;
  void Delete(Integer index) override;
  void Clear() override;
  AnsiString GetText() const override;
  void SetText(const AnsiString& text) override;

 private:
  std::vector<AnsiString> Split() const;
  void Join(const std::vector<AnsiString>& lines);
  TCustomMemo* memo_;
};

// A memo: a multi-line edit with Lines, word wrapping and scroll bars.
class TCustomMemo : public TCustomEdit {
 public:
  LARK_CLASS_NAME(TCustomMemo)
  explicit TCustomMemo(TComponent* owner);
  ~TCustomMemo() override;

  TStrings* GetLines() const noexcept { return lines_.get(); }
  void SetLines(TStrings* value) { lines_->Assign(value); }
  bool GetWordWrap() const noexcept { return wordWrap_; }
  void SetWordWrap(bool value);
  TScrollStyle GetScrollBars() const noexcept { return scrollBars_; }
  void SetScrollBars(TScrollStyle value);
  bool GetWantReturns() const noexcept { return wantReturns_; }
  void SetWantReturns(bool value) noexcept { wantReturns_ = value; }
  bool GetWantTabs() const noexcept { return wantTabs_; }
  void SetWantTabs(bool value) noexcept { wantTabs_ = value; }
  TAlignment GetAlignment() const noexcept { return alignment_; }
  void SetAlignment(TAlignment value);
  // The first visible line.
  Integer GetTopLine() const noexcept { return topLine_; }

  void Dispatch(TMessage& message) override;

 protected:
  friend class TMemoStrings;
  bool IsMultiLine() const override { return true; }
  bool GetWordWrapping() const override { return wordWrap_ && scrollBars_ != ssHorizontal && scrollBars_ != ssBoth; }
  bool WantsReturns() const override { return wantReturns_; }
  bool WantsTabs() const override { return wantTabs_; }
  void CreateParams(TCreateParams& params) override;
  void UpdateScrollBars() override;

 private:
  void HandleScroll(TMessage& message, bool vertical);

  std::unique_ptr<TMemoStrings> lines_;
  bool wordWrap_ = true;
  TScrollStyle scrollBars_ = ssNone;
  bool wantReturns_ = true;
  bool wantTabs_ = false;
  TAlignment alignment_ = taLeftJustify;
};

class TMemo : public TCustomMemo {
 public:
  LARK_CLASS_NAME(TMemo)
  explicit TMemo(TComponent* owner) : TCustomMemo(owner) {}
};

// ---------------------------------------------------------------------------------
// List boxes.

enum class TListBoxStyle : Byte { lbStandard, lbOwnerDrawFixed, lbOwnerDrawVariable };
using enum TListBoxStyle;
enum class TOwnerDrawStateItem : Byte {
  odSelected, odGrayed, odDisabled, odChecked, odFocused, odDefault, odComboBoxEdit
};
using enum TOwnerDrawStateItem;
using TOwnerDrawState = TSet<TOwnerDrawStateItem>;
using TDrawItemEvent =
    std::function<void(TWinControl* control, Integer index, TRect rect, TOwnerDrawState state)>;

// The strings of a list box or combo box: changes repaint the control and keep its
// selection in step.
class TListControlStrings : public TStringList {
 public:
  LARK_CLASS_NAME(TListControlStrings)
  explicit TListControlStrings(std::function<void()> changed) : changed_(std::move(changed)) {}
  void Delete(Integer index) override;
  void Clear() override;
  // Called before an item goes: the owner fixes its selection.
  std::function<void(Integer index)> OnDeleting;

 protected:
  void Changed() override;

 private:
  std::function<void()> changed_;
};

// A list box: a column of items with one (or with MultiSelect, many) selected.
// Click selects; Ctrl+click toggles and Shift+click extends in a multi-select list;
// the arrow keys, Home, End, Page Up and Page Down move the selection; a typed
// letter goes to the next item starting with it. A vertical scroll bar appears when
// the items do not fit.
class TCustomListBox : public TCustomControl {
 public:
  LARK_CLASS_NAME(TCustomListBox)
  explicit TCustomListBox(TComponent* owner);
  ~TCustomListBox() override;

  TStrings* GetItems() const noexcept { return items_.get(); }
  void SetItems(TStrings* value) { items_->Assign(value); }
  Integer GetItemIndex() const noexcept { return itemIndex_; }
  // Selects the item (alone) and makes it the focused one; -1 selects nothing.
  void SetItemIndex(Integer value);
  bool GetMultiSelect() const noexcept { return multiSelect_; }
  void SetMultiSelect(bool value);
  bool GetExtendedSelect() const noexcept { return extendedSelect_; }
  void SetExtendedSelect(bool value) noexcept { extendedSelect_ = value; }
  bool Selected(Integer index) const;
  void SetSelected(Integer index, bool value);
  Integer GetSelCount() const;
  bool GetSorted() const noexcept { return items_->GetSorted(); }
  void SetSorted(bool value);
  Integer GetTopIndex() const noexcept { return topIndex_; }
  void SetTopIndex(Integer value);
  Integer GetItemHeight();
  void SetItemHeight(Integer value);
  TListBoxStyle GetStyle() const noexcept { return style_; }
  void SetStyle(TListBoxStyle value);
  Integer GetCount() const { return items_->GetCount(); }
  // The item at a point of the client area; -1 (or with existing false, the index
  // past the items) when none.
  Integer ItemAtPos(const TPoint& pos, bool existing);
  TRect ItemRect(Integer index);
  void Clear() { items_->Clear(); }
  void ClearSelection();
  void SelectAll();
  TCanvas* GetCanvas() const noexcept { return TCustomControl::GetCanvas(); }

  TDrawItemEvent OnDrawItem;

  void Dispatch(TMessage& message) override;

 protected:
  void CreateParams(TCreateParams& params) override;
  void Paint() override;
  // Draws one item in rect (OnDrawItem for owner-drawn lists).
  virtual void DrawItem(Integer index, const TRect& rect, TOwnerDrawState state);
  // The area left of the text (a check list box's check boxes).
  virtual Integer ItemIndent() { return 0; }
  // A click in the item's indent (the check box of a check list box).
  virtual void ClickIndent(Integer /*index*/) {}
  void KeyDown(Word& key, TShiftState shift) override;
  void KeyPress(char& key) override;
  void MouseDown(TMouseButton button, TShiftState shift, Integer x, Integer y) override;
  void MouseMove(TShiftState shift, Integer x, Integer y) override;
  void MouseUp(TMouseButton button, TShiftState shift, Integer x, Integer y) override;
  void ItemsChanged();
  void ItemDeleting(Integer index);
  Integer VisibleCount();
  void MakeVisible(Integer index);
  void UpdateScrollBar();
  // Moves the focus to index, selecting as the keys' shift asks; fires OnClick.
  void MoveTo(Integer index, TShiftState shift);
  void SelectRange(Integer from, Integer to);

  std::unique_ptr<TListControlStrings> items_;
  std::vector<bool> selected_;
  Integer itemIndex_ = -1;
  Integer anchorIndex_ = -1;
  Integer topIndex_ = 0;
  Integer itemHeight_ = 0;
  bool multiSelect_ = false;
  bool extendedSelect_ = true;
  TListBoxStyle style_ = lbStandard;
  bool dragging_ = false;
};

class TListBox : public TCustomListBox {
 public:
  LARK_CLASS_NAME(TListBox)
  explicit TListBox(TComponent* owner) : TCustomListBox(owner) {}
};

// A list box with a check box before each item; Space or a click on the box toggles
// it and fires OnClickCheck.
class TCheckListBox : public TCustomListBox {
 public:
  LARK_CLASS_NAME(TCheckListBox)
  explicit TCheckListBox(TComponent* owner);
  bool Checked(Integer index) const;
  void SetChecked(Integer index, bool value);
  TCheckBoxState State(Integer index) const;
  void SetState(Integer index, TCheckBoxState value);
  bool GetAllowGrayed() const noexcept { return allowGrayed_; }
  void SetAllowGrayed(bool value) noexcept { allowGrayed_ = value; }
  TNotifyEvent OnClickCheck;

 protected:
  void DrawItem(Integer index, const TRect& rect, TOwnerDrawState state) override;
  Integer ItemIndent() override { return classic::kCheckSize + 4; }
  void ClickIndent(Integer index) override { Toggle(index); }
  void KeyPress(char& key) override;

 private:
  void Toggle(Integer index);
  void SyncStates();
  std::vector<TCheckBoxState> states_;
  bool allowGrayed_ = false;
};

// ---------------------------------------------------------------------------------
// Combo boxes.

enum class TComboBoxStyle : Byte {
  csDropDown, csSimple, csDropDownList, csOwnerDrawFixed, csOwnerDrawVariable
};
using enum TComboBoxStyle;

class TComboDropDown;

// A combo box: an edit (csDropDown) or a fixed text (csDropDownList) with a button
// that drops down the list of Items in a popup window. Choosing an item (click, or
// Enter after the arrows in the open list) sets ItemIndex and Text and fires
// OnChange and OnSelect; the arrows on the closed combo choose the next or previous
// item at once; Alt+Down or F4 opens the list; Escape closes it unchanged. Typing in
// a csDropDown combo changes Text and fires OnChange.
class TCustomComboBox : public TCustomControl {
 public:
  LARK_CLASS_NAME(TCustomComboBox)
  explicit TCustomComboBox(TComponent* owner);
  ~TCustomComboBox() override;

  TStrings* GetItems() const noexcept { return items_.get(); }
  void SetItems(TStrings* value) { items_->Assign(value); }
  Integer GetItemIndex() const noexcept { return itemIndex_; }
  // Selects the item and shows its text (fires no event); -1 empties the text of a
  // drop-down list.
  void SetItemIndex(Integer value);
  TComboBoxStyle GetStyle() const noexcept { return style_; }
  void SetStyle(TComboBoxStyle value);
  bool GetSorted() const noexcept { return items_->GetSorted(); }
  void SetSorted(bool value) { items_->SetSorted(value); }
  Integer GetDropDownCount() const noexcept { return dropDownCount_; }
  void SetDropDownCount(Integer value) noexcept { dropDownCount_ = value; }
  Integer GetMaxLength() const;
  void SetMaxLength(Integer value);
  bool GetDroppedDown() const noexcept { return dropDown_ != nullptr; }
  void SetDroppedDown(bool value);
  Integer GetItemHeight();
  // The edit of a csDropDown combo (null for a drop-down list).
  TCustomEdit* GetEdit() const noexcept { return edit_; }
  AnsiString GetSelText() const;
  void SelectAll();

  void Dispatch(TMessage& message) override;
  void SetBounds(Integer left, Integer top, Integer width, Integer height) override;
  bool CanFocus() override { return TCustomControl::CanFocus(); }
  void SetFocus() override;

  TNotifyEvent OnChange;
  TNotifyEvent OnSelect;
  TNotifyEvent OnDropDown;
  TNotifyEvent OnCloseUp;
  TDrawItemEvent OnDrawItem;

 protected:
  friend class TComboDropDown;
  void CreateParams(TCreateParams& params) override;
  void Paint() override;
  void KeyDown(Word& key, TShiftState shift) override;
  void KeyPress(char& key) override;
  void MouseDown(TMouseButton button, TShiftState shift, Integer x, Integer y) override;
  void DoEnter() override;
  void DoExit() override;
  // The choice of an item by the user: ItemIndex, Text, OnChange and OnSelect.
  void Choose(Integer index);
  // Closes the list; with accept, the item under the list's focus is chosen.
  void CloseUp(bool accept);
  TRect ButtonRect();
  void LayoutEdit();
  void ItemsChanged();
  void EditKey(Word& key, TShiftState shift);

 private:
  std::unique_ptr<TListControlStrings> items_;
  Integer itemIndex_ = -1;
  TComboBoxStyle style_ = csDropDown;
  Integer dropDownCount_ = 8;
  TCustomEdit* edit_ = nullptr;
  std::unique_ptr<TComboDropDown> dropDown_;
  Integer maxLength_ = 0;
  bool settingText_ = false;
};

class TComboBox : public TCustomComboBox {
 public:
  LARK_CLASS_NAME(TComboBox)
  explicit TComboBox(TComponent* owner) : TCustomComboBox(owner) {}
};

// ---------------------------------------------------------------------------------
// Scroll bars.

// A scroll bar control: the platform's scroll bar filling the window. Clicks and
// drags on it, and the arrow keys, Page Up/Down, Home and End, move Position and
// fire OnScroll and OnChange.
class TScrollBar : public TWinControl {
 public:
  LARK_CLASS_NAME(TScrollBar)
  explicit TScrollBar(TComponent* owner);

  TScrollBarKind GetKind() const noexcept { return kind_; }
  void SetKind(TScrollBarKind value);
  Integer GetMin() const noexcept { return min_; }
  Integer GetMax() const noexcept { return max_; }
  Integer GetPosition() const noexcept { return position_; }
  void SetMin(Integer value) { SetParams(position_, value, max_); }
  void SetMax(Integer value) { SetParams(position_, min_, value); }
  // Fires OnChange when the position changes.
  void SetPosition(Integer value) { SetParams(value, min_, max_); }
  void SetParams(Integer position, Integer min, Integer max);
  Integer GetSmallChange() const noexcept { return smallChange_; }
  void SetSmallChange(Integer value) noexcept { smallChange_ = value; }
  Integer GetLargeChange() const noexcept { return largeChange_; }
  void SetLargeChange(Integer value) noexcept { largeChange_ = value; }
  Integer GetPageSize() const noexcept { return pageSize_; }
  void SetPageSize(Integer value);

  void Dispatch(TMessage& message) override;

  TNotifyEvent OnChange;
  TScrollEvent OnScroll;

 protected:
  void CreateParams(TCreateParams& params) override;
  void CreateWnd() override;
  void KeyDown(Word& key, TShiftState shift) override;
  void Scroll(TScrollCode code, Integer position);
  void SyncBar();

 private:
  TScrollBarKind kind_ = sbHorizontal;
  Integer min_ = 0;
  Integer max_ = 100;
  Integer position_ = 0;
  Integer smallChange_ = 1;
  Integer largeChange_ = 1;
  Integer pageSize_ = 0;
};

#pragma pop_macro("KeyPress")
