// The framework's controls: TControl (a rectangle in a parent, with mouse events),
// TWinControl (a control with a window of its own, made when first needed),
// TGraphicControl (drawn on its parent's window) and TCustomControl (a window with a
// canvas), with their alignment, anchors, focus, keys and painting.
//
// Messages reach a control through its WindowProc, which starts as WndProc: a
// subclasser keeps the previous WindowProc and calls it for what it does not take.
// WndProc passes the message on to Dispatch, which calls the control's handler for
// that message number and DefaultHandler for the rest; a windowed control's
// DefaultHandler is its window class's procedure (DefWindowProc for ours).
//
// Painting has one road: a property setter calls Invalidate, which adds to the
// window's update region (the parent's, for a graphic control), and the loop's
// WM_PAINT does the drawing later. Nothing paints at once.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "platform/rtl/Component.h"
#include "platform/rtl/Sets.h"
#include "platform/vcl/Geometry.h"
#include "platform/vcl/Graphics.h"
#include "platform/vcl/Menus.h"
#include "platform/vcl/ShiftState.h"
#include "platform/win/Input.h"
#include "platform/win/Window.h"

// Xlib's X.h (included by the display backend) names an event KeyPress with a macro;
// the framework's KeyPress method keeps its name in this header.
#pragma push_macro("KeyPress")
#undef KeyPress

// ---------------------------------------------------------------------------------
// The framework's own messages: notifications between controls (CM_) and the
// messages a window sends about itself, reflected back to the control (CN_).

inline constexpr UINT CM_BASE = 0xB000;
inline constexpr UINT CM_ACTIVATE = CM_BASE + 0;
inline constexpr UINT CM_DEACTIVATE = CM_BASE + 1;
inline constexpr UINT CM_GOTFOCUS = CM_BASE + 2;
inline constexpr UINT CM_LOSTFOCUS = CM_BASE + 3;
inline constexpr UINT CM_CANCELMODE = CM_BASE + 4;
inline constexpr UINT CM_DIALOGKEY = CM_BASE + 5;
inline constexpr UINT CM_DIALOGCHAR = CM_BASE + 6;
inline constexpr UINT CM_FOCUSCHANGED = CM_BASE + 7;
inline constexpr UINT CM_PARENTFONTCHANGED = CM_BASE + 8;
inline constexpr UINT CM_PARENTCOLORCHANGED = CM_BASE + 9;
inline constexpr UINT CM_HITTEST = CM_BASE + 10;
inline constexpr UINT CM_VISIBLECHANGED = CM_BASE + 11;
inline constexpr UINT CM_ENABLEDCHANGED = CM_BASE + 12;
inline constexpr UINT CM_COLORCHANGED = CM_BASE + 13;
inline constexpr UINT CM_FONTCHANGED = CM_BASE + 14;
inline constexpr UINT CM_CURSORCHANGED = CM_BASE + 15;
inline constexpr UINT CM_TEXTCHANGED = CM_BASE + 18;
inline constexpr UINT CM_MOUSEENTER = CM_BASE + 19;
inline constexpr UINT CM_MOUSELEAVE = CM_BASE + 20;
inline constexpr UINT CM_MENUCHANGED = CM_BASE + 21;
inline constexpr UINT CM_SHOWINGCHANGED = CM_BASE + 25;
inline constexpr UINT CM_ENTER = CM_BASE + 26;
inline constexpr UINT CM_EXIT = CM_BASE + 27;
inline constexpr UINT CM_WANTSPECIALKEY = CM_BASE + 30;
inline constexpr UINT CM_RELEASE = CM_BASE + 33;
inline constexpr UINT CM_SHOWHINTCHANGED = CM_BASE + 34;
inline constexpr UINT CM_PARENTSHOWHINTCHANGED = CM_BASE + 35;
inline constexpr UINT CM_TABSTOPCHANGED = CM_BASE + 40;
inline constexpr UINT CM_UIACTIVATE = CM_BASE + 41;
inline constexpr UINT CM_UIDEACTIVATE = CM_BASE + 42;
inline constexpr UINT CM_DOCWINDOWACTIVATE = CM_BASE + 43;
inline constexpr UINT CM_CONTROLLISTCHANGE = CM_BASE + 44;
inline constexpr UINT CM_CHILDKEY = CM_BASE + 46;
inline constexpr UINT CM_HINTSHOW = CM_BASE + 48;
inline constexpr UINT CM_RECREATEWND = CM_BASE + 51;
inline constexpr UINT CM_INVALIDATE = CM_BASE + 52;
inline constexpr UINT CM_CONTROLCHANGE = CM_BASE + 54;
inline constexpr UINT CM_BIDIMODECHANGED = CM_BASE + 60;
inline constexpr UINT CM_PARENTBIDIMODECHANGED = CM_BASE + 61;
inline constexpr UINT CM_HINTSHOWPAUSE = CM_BASE + 65;

// A window message reflected to the control it concerns: CN_BASE + the message.
inline constexpr UINT CN_BASE = 0xBC00;
inline constexpr UINT CN_CHARTOITEM = CN_BASE + 0x002F;
inline constexpr UINT CN_COMMAND = CN_BASE + 0x0111;
inline constexpr UINT CN_DRAWITEM = CN_BASE + 0x002B;
inline constexpr UINT CN_NOTIFY = CN_BASE + 0x004E;
inline constexpr UINT CN_KEYDOWN = CN_BASE + 0x0100;
inline constexpr UINT CN_KEYUP = CN_BASE + 0x0101;
inline constexpr UINT CN_CHAR = CN_BASE + 0x0102;
inline constexpr UINT CN_SYSKEYDOWN = CN_BASE + 0x0104;
inline constexpr UINT CN_SYSCHAR = CN_BASE + 0x0106;
inline constexpr UINT CN_HSCROLL = CN_BASE + 0x0114;
inline constexpr UINT CN_VSCROLL = CN_BASE + 0x0115;
inline constexpr UINT CN_CTLCOLORBTN = CN_BASE + 0x0135;
inline constexpr UINT CN_CTLCOLORSTATIC = CN_BASE + 0x0138;

// What a window answers to WM_GETDLGCODE: the keys it wants for itself rather than
// as dialog keys of its form. (The platform's numbers; its headers do not have them.)
inline constexpr LRESULT DLGC_WANTARROWS = 0x0001;
inline constexpr LRESULT DLGC_WANTTAB = 0x0002;
inline constexpr LRESULT DLGC_WANTALLKEYS = 0x0004;
inline constexpr LRESULT DLGC_WANTCHARS = 0x0080;

// ---------------------------------------------------------------------------------
// Types.

// TShiftState is in ShiftState.h (the menus' shortcuts use it too).

enum class TMouseButton : Byte { mbLeft, mbRight, mbMiddle };
using enum TMouseButton;

enum class TAlign : Byte { alNone, alTop, alBottom, alLeft, alRight, alClient, alCustom };
using enum TAlign;

enum class TAnchorKind : Byte { akLeft, akTop, akRight, akBottom };
using enum TAnchorKind;
using TAnchors = TSet<TAnchorKind>;

// What a control is (set by its class).
enum class TControlStyleItem : Byte {
  csAcceptsControls, csCaptureMouse, csDesignInteractive, csClickEvents, csFramed,
  csSetCaption, csOpaque, csDoubleClicks, csFixedWidth, csFixedHeight, csNoDesignVisible,
  csReplicatable, csNoStdEvents, csDisplayDragImage, csReflector, csActionClient, csMenuEvents
};
using enum TControlStyleItem;
using TControlStyle = TSet<TControlStyleItem>;

// What a control is doing now.
enum class TControlStateItem : Byte {
  csLButtonDown, csClicked, csPalette, csReadingState, csAlignmentNeeded, csFocusing,
  csCreating, csPaintCopy, csCustomPaint, csDestroyingHandle, csDocking
};
using enum TControlStateItem;
using TControlState = TSet<TControlStateItem>;

// Cursor numbers: the standard ones are negative, an application registers its own
// from 1 up (Screen's Cursors).
using TCursor = Integer;
inline constexpr TCursor crDefault = 0;
inline constexpr TCursor crNone = -1;
inline constexpr TCursor crArrow = -2;
inline constexpr TCursor crCross = -3;
inline constexpr TCursor crIBeam = -4;
inline constexpr TCursor crSizeNESW = -6;
inline constexpr TCursor crSizeNS = -7;
inline constexpr TCursor crSizeNWSE = -8;
inline constexpr TCursor crSizeWE = -9;
inline constexpr TCursor crUpArrow = -10;
inline constexpr TCursor crHourGlass = -11;
inline constexpr TCursor crDrag = -12;
inline constexpr TCursor crNoDrop = -13;
inline constexpr TCursor crHSplit = -14;
inline constexpr TCursor crVSplit = -15;
inline constexpr TCursor crMultiDrag = -16;
inline constexpr TCursor crSQLWait = -17;
inline constexpr TCursor crNo = -18;
inline constexpr TCursor crAppStart = -19;
inline constexpr TCursor crHelp = -20;
inline constexpr TCursor crHandPoint = -21;
inline constexpr TCursor crSizeAll = -22;
inline constexpr TCursor crSize = crSizeAll;

using TCaption = AnsiString;

class TControl;
class TWinControl;
class TCustomForm;

using TWndMethod = std::function<void(TMessage& message)>;
using TMouseEvent =
    std::function<void(TObject* sender, TMouseButton button, TShiftState shift, Integer x, Integer y)>;
using TMouseMoveEvent = std::function<void(TObject* sender, TShiftState shift, Integer x, Integer y)>;
using TMouseWheelEvent = std::function<void(TObject* sender, TShiftState shift, Integer wheelDelta,
                                            TPoint mousePos, bool& handled)>;
using TKeyEvent = std::function<void(TObject* sender, Word& key, TShiftState shift)>;
using TKeyPressEvent = std::function<void(TObject* sender, char& key)>;

// The shift state in a mouse message's key flags (MK_ bits).
TShiftState KeysToShiftState(Word keys);
// The shift state of a key message: the keyboard's Shift and Ctrl, and Alt from the
// message's own flag (bit 29 of its lParam).
TShiftState KeyDataToShiftState(LPARAM keyData);
// The shift state of the keyboard now (Shift, Ctrl, Alt).
TShiftState KeyboardStateToShiftState();

// The control whose window is hWnd, or null (a window that is not a control's).
TWinControl* FindControl(HWND hWnd);
// The form a control sits on (itself for a form), or null.
TCustomForm* GetParentForm(TControl* control);

// ---------------------------------------------------------------------------------
// The canvas of a control: the DC of its window (the parent's, clipped and moved to
// the control's rectangle, for a graphic control) outside painting, the paint DC
// while it paints.

class TControlCanvas : public TCanvas {
 public:
  LARK_CLASS_NAME(TControlCanvas)
  TControlCanvas() = default;
  ~TControlCanvas() override;

  TControl* GetControl() const noexcept { return control_; }
  void SetControl(TControl* value);
  // Gives back a DC taken from the window (the loop does it for every canvas when it
  // falls idle, and a window that goes takes its canvases' DCs with it).
  void FreeHandle();
  // Frees the DCs of every control canvas.
  static void FreeDeviceContexts();
  // Frees the DCs taken from hWnd.
  static void FreeDeviceContext(HWND hWnd);

 protected:
  void CreateHandle() override;

 private:
  TControl* control_ = nullptr;
  HDC dc_ = 0;
  HWND dcWindow_ = 0;
};

// ---------------------------------------------------------------------------------
// TControl

class TControl : public TComponent {
 public:
  LARK_CLASS_NAME(TControl)
  explicit TControl(TComponent* owner);
  ~TControl() override;

  // Messages.
  // Sends a message straight to the control's WindowProc; answers its Result.
  LRESULT Perform(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0);
  const TWndMethod& GetWindowProc() const noexcept { return windowProc_; }
  // Replaces the message entry (subclassing); an empty value restores WndProc.
  void SetWindowProc(TWndMethod value);
  // Calls the handler this control has for message.Msg, DefaultHandler when none.
  // Classes override it to see messages, and call the base for the rest.
  virtual void Dispatch(TMessage& message);
  // What happens to a message without a handler: text messages keep the control's
  // text; others answer 0.
  virtual void DefaultHandler(TMessage& message);

  // Place. Left and Top are in the parent's client area (the screen for a form).
  TWinControl* GetParent() const noexcept { return parent_; }
  // Takes the control out of its parent's lists and into the new parent's; null
  // takes it off the parent (its window goes).
  virtual void SetParent(TWinControl* value);
  Integer GetLeft() const noexcept { return left_; }
  Integer GetTop() const noexcept { return top_; }
  Integer GetWidth() const noexcept { return width_; }
  Integer GetHeight() const noexcept { return height_; }
  void SetLeft(Integer value) { SetBounds(value, top_, width_, height_); }
  void SetTop(Integer value) { SetBounds(left_, value, width_, height_); }
  void SetWidth(Integer value) { SetBounds(left_, top_, value, height_); }
  void SetHeight(Integer value) { SetBounds(left_, top_, width_, value); }
  virtual void SetBounds(Integer left, Integer top, Integer width, Integer height);
  TRect GetBoundsRect() const noexcept { return Bounds(left_, top_, width_, height_); }
  void SetBoundsRect(const TRect& r) { SetBounds(r.left, r.top, r.right - r.left, r.bottom - r.top); }
  // The area inside the control's frame, from (0, 0).
  virtual TRect GetClientRect();
  Integer GetClientWidth() { return GetClientRect().right; }
  Integer GetClientHeight() { return GetClientRect().bottom; }
  void SetClientWidth(Integer value);
  void SetClientHeight(Integer value);
  // The control's client origin on the screen.
  virtual TPoint GetClientOrigin();
  TPoint ClientToScreen(const TPoint& point);
  TPoint ScreenToClient(const TPoint& point);

  TAlign GetAlign() const noexcept { return align_; }
  void SetAlign(TAlign value);
  TAnchors GetAnchors() const noexcept { return anchors_; }
  void SetAnchors(TAnchors value);

  // State.
  bool GetVisible() const noexcept { return visible_; }
  void SetVisible(bool value);
  void Show() { SetVisible(true); }
  void Hide() { SetVisible(false); }
  virtual bool GetEnabled() const noexcept { return enabled_; }
  void SetEnabled(bool value);
  TControlStyle GetControlStyle() const noexcept { return controlStyle_; }
  void SetControlStyle(TControlStyle value) { controlStyle_ = value; }
  TControlState GetControlState() const noexcept { return controlState_; }
  void SetControlState(TControlState value) { controlState_ = value; }

  // Looks.
  TCaption GetCaption() { return GetText(); }
  void SetCaption(const TCaption& value) { SetText(value); }
  TCaption GetText();
  void SetText(const TCaption& value);
  TColor GetColor() const noexcept { return color_; }
  void SetColor(TColor value);
  bool GetParentColor() const noexcept { return parentColor_; }
  void SetParentColor(bool value);
  TFont* GetFont() const noexcept { return font_.get(); }
  void SetFont(TFont* value) { font_->Assign(value); }
  bool GetParentFont() const noexcept { return parentFont_; }
  void SetParentFont(bool value);
  TCursor GetCursor() const noexcept { return cursor_; }
  void SetCursor(TCursor value);
  const AnsiString& GetHint() const noexcept { return hint_; }
  void SetHint(const AnsiString& value) { hint_ = value; }
  bool GetShowHint() const noexcept { return showHint_; }
  void SetShowHint(bool value);
  bool GetParentShowHint() const noexcept { return parentShowHint_; }
  void SetParentShowHint(bool value);
  TPopupMenu* GetPopupMenu() const noexcept { return popupMenu_; }
  void SetPopupMenu(TPopupMenu* value);

  // Painting.
  // Adds the control's rectangle to the update region of its window (its parent's
  // for a graphic control); the loop paints it later.
  virtual void Invalidate();
  // Paints what is invalid now.
  virtual void Update();
  // Invalidate and Update.
  virtual void Repaint();
  void Refresh() { Repaint(); }

  // Z-order among the parent's controls of the same kind (windowed controls always
  // lie above graphic ones).
  virtual void BringToFront() { SetZOrder(true); }
  virtual void SendToBack() { SetZOrder(false); }

  // Whether the control is visible with all its parents (a form: its window shown).
  virtual bool GetShowing() const;
  // Captures the mouse for the control: a graphic control captures through its
  // parent's window.
  bool GetMouseCapture() const;
  void SetMouseCapture(bool value);

  TNotifyEvent OnClick;
  TNotifyEvent OnDblClick;
  TMouseEvent OnMouseDown;
  TMouseMoveEvent OnMouseMove;
  TMouseEvent OnMouseUp;
  TMouseWheelEvent OnMouseWheel;
  TNotifyEvent OnResize;

  void Notification(TComponent* component, TOperation operation) override;

 protected:
  friend class TWinControl;
  friend class TCustomForm;
  friend class TControlCanvas;
  friend LRESULT ControlWindowProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam);

  // The control's message procedure: mouse messages become the mouse events, then
  // Dispatch. Overrides call the base for what they do not take.
  virtual void WndProc(TMessage& message);

  virtual void SetZOrder(bool topMost);
  // Fires the events.
  virtual void Click();
  virtual void DblClick();
  virtual void MouseDown(TMouseButton button, TShiftState shift, Integer x, Integer y);
  virtual void MouseMove(TShiftState shift, Integer x, Integer y);
  virtual void MouseUp(TMouseButton button, TShiftState shift, Integer x, Integer y);
  virtual bool DoMouseWheel(TShiftState shift, Integer wheelDelta, TPoint mousePos);
  virtual void Resize();
  // Called when Visible, Align, Anchors or the bounds change: the parent aligns again.
  void RequestAlign();
  // Remembers where the control stands against its parent's client area, for anchors.
  void UpdateAnchorRules();
  // Invalidates the control's rectangle in its parent's window.
  void InvalidateControl(bool isVisible, bool isOpaque);
  // The parent's font and colour, for ParentFont and ParentColor.
  virtual void ParentFontChanged();
  virtual void ParentColorChanged();
  virtual void FontChanged();
  // The control's canvas for graphic controls and custom controls (null otherwise).
  virtual TCanvas* GetControlCanvas() { return nullptr; }

  bool destroying_ = false;

 private:
  void HandleMouseDown(TMessage& message, TMouseButton button, TShiftState extra);
  void HandleMouseUp(TMessage& message, TMouseButton button);
  void HandleContextMenu(TMessage& message);

  TWinControl* parent_ = nullptr;
  Integer left_ = 0;
  Integer top_ = 0;
  Integer width_ = 0;
  Integer height_ = 0;
  TAlign align_ = alNone;
  TAnchors anchors_{akLeft, akTop};
  TPoint anchorRules_;
  TPoint originalParentSize_;
  bool anchorMove_ = false;
  bool visible_ = true;
  bool enabled_ = true;
  TControlStyle controlStyle_{csCaptureMouse, csClickEvents, csSetCaption, csDoubleClicks};
  TControlState controlState_;
  AnsiString text_;
  TColor color_ = clWindow;
  bool parentColor_ = false;
  std::unique_ptr<TFont> font_;
  bool parentFont_ = true;
  bool fontChanging_ = false;
  TCursor cursor_ = crDefault;
  AnsiString hint_;
  bool showHint_ = false;
  bool parentShowHint_ = true;
  TPopupMenu* popupMenu_ = nullptr;
  TWndMethod windowProc_;
  // The graphic control that holds the mouse through its parent's window.
  static inline TControl* captureControl_ = nullptr;
};

// ---------------------------------------------------------------------------------
// TWinControl

// What CreateWnd gives CreateWindowEx; CreateParams fills it and classes adjust it.
struct TCreateParams {
  AnsiString Caption;
  DWORD Style = 0;
  DWORD ExStyle = 0;
  Integer X = 0;
  Integer Y = 0;
  Integer Width = 0;
  Integer Height = 0;
  HWND WndParent = 0;
  void* Param = nullptr;
  WNDCLASS WindowClass;
  AnsiString WinClassName;
};

class TWinControl : public TControl {
 public:
  LARK_CLASS_NAME(TWinControl)
  explicit TWinControl(TComponent* owner);
  ~TWinControl() override;

  // The window, made (with the parents' windows) when first asked for.
  HWND GetHandle();
  // Whether the window exists; never makes it.
  bool HandleAllocated() const noexcept { return handle_ != 0; }
  void HandleNeeded();
  // A window of someone else's to live in, for a control without a parent control.
  HWND GetParentWindow() const noexcept { return parentWindow_; }
  void SetParentWindow(HWND value);
  // Destroys the window and makes it again (style changes that need it).
  void RecreateWnd();

  void DefaultHandler(TMessage& message) override;
  void Dispatch(TMessage& message) override;

  // Children: graphic ones first, then windowed ones, each in z-order from the bottom.
  Integer GetControlCount() const noexcept {
    return static_cast<Integer>(controls_.size() + winControls_.size());
  }
  TControl* Controls(Integer index) const;
  bool ContainsControl(TControl* control) const;
  // The visible enabled child at pos (client coordinates); windowed ones only with
  // allowWinControls; graphic ones on top of each other in z-order.
  TControl* ControlAtPos(const TPoint& pos, bool allowDisabled, bool allowWinControls = false);
  // Makes room for a child: the child is added to the lists (used by SetParent).
  void InsertControl(TControl* control);
  void RemoveControl(TControl* control);

  TRect GetClientRect() override;
  TPoint GetClientOrigin() override;
  void SetBounds(Integer left, Integer top, Integer width, Integer height) override;
  // Lays out the aligned and anchored children again.
  void Realign();
  // Holds alignment while many children change (nestable); EnableAlign aligns once.
  void DisableAlign();
  void EnableAlign();
  bool AlignDisabled() const noexcept { return alignLevel_ != 0; }

  // Focus and tab order.
  Integer GetTabOrder() const;
  void SetTabOrder(Integer value);
  bool GetTabStop() const noexcept { return tabStop_; }
  void SetTabStop(bool value);
  virtual bool CanFocus();
  virtual void SetFocus();
  bool Focused();
  // The windowed children in tab order, and their children after each (depth first).
  void GetTabOrderList(std::vector<TWinControl*>& list);
  // The next control after current in tab order that can take the focus (with
  // checkTabStop, only those with TabStop); null when none.
  TWinControl* FindNextControl(TWinControl* current, bool goForward, bool checkTabStop,
                               bool checkParent);
  void SelectNext(TWinControl* current, bool goForward, bool checkTabStop);

  void Invalidate() override;
  void Update() override;
  void Repaint() override;
  bool GetShowing() const override { return showing_; }
  TBrush* GetBrush() const noexcept { return brush_.get(); }
  // Paints the graphic children on dc (the parent's paint DC) in z-order; with
  // first, only from that child up.
  void PaintControls(HDC dc, TControl* first);

  TKeyEvent OnKeyDown;
  TKeyPressEvent OnKeyPress;
  TKeyEvent OnKeyUp;
  TNotifyEvent OnEnter;
  TNotifyEvent OnExit;

 protected:
  friend class TControl;
  friend class TCustomForm;
  friend class TControlCanvas;
  friend LRESULT ControlWindowProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam);

  void WndProc(TMessage& message) override;
  virtual void CreateParams(TCreateParams& params);
  // Makes the window with CreateWindowEx from CreateParams (registering the class
  // first) and takes its messages.
  virtual void CreateWnd();
  virtual void CreateWindowHandle(const TCreateParams& params);
  virtual void DestroyWnd();
  void CreateHandle();
  void DestroyHandle();
  // Takes a window made elsewhere (an embedded object's) as this control's window, as
  // CreateWnd would have made it: its messages reach WindowProc from now on and
  // DefaultHandler calls the procedure the window had. ReleaseAdoptedWindow puts that
  // procedure back and forgets the window without destroying it.
  void AdoptWindow(HWND window);
  void ReleaseAdoptedWindow();
  // Paints the window's client area on dc: the default does nothing (the background
  // is erased by WM_ERASEBKGND).
  virtual void PaintWindow(HDC dc);
  void PaintHandler(TMessage& message);
  // Lays out the children in rect: anchored ones first, then alTop, alBottom,
  // alLeft, alRight and alClient, each kind in the order of their positions (control
  // first among equals: it is the one that changed).
  virtual void AlignControls(TControl* control, TRect& rect);
  void AlignControl(TControl* control);
  // Shows or hides the window as Visible and the parents say, making it when needed.
  void UpdateShowing();
  void UpdateControlState();
  // Sends message to every child until one answers non-zero.
  void Broadcast(TMessage& message);
  void NotifyControls(UINT msg);
  // Key events, KeyPreview of the form first. True when the key was taken (set to 0).
  bool DoKeyDown(TMessage& message);
  bool DoKeyPress(TMessage& message);
  bool DoKeyUp(TMessage& message);
  virtual void KeyDown(Word& key, TShiftState shift);
  virtual void KeyPress(char& key);
  virtual void KeyUp(Word& key, TShiftState shift);
  virtual void DoEnter();
  virtual void DoExit();
  void SetZOrder(bool topMost) override;
  // Reads the window's place back into Left/Top/Width/Height.
  void UpdateBounds();
  // The frame between the window's rectangle and its client area, for a window that
  // does not exist yet.
  virtual TRect NonClientInsets();
  // Takes the focus away from this control (and its children) in its form.
  void RemoveFocus(bool removing);

  // The window procedure of the control's window class: the class's own (the
  // platform's DefWindowProc for ours) that DefaultHandler calls.
  WNDPROC defWndProc_ = nullptr;

 private:
  void HandleWindowPosChanged(TMessage& message);
  void HandleSize(TMessage& message);
  void HandleSetCursor(TMessage& message);
  void HandleKeyNotify(TMessage& message);
  void HandleCharNotify(TMessage& message);
  void HandleSysKeyNotify(TMessage& message);
  bool IsControlMouseMsg(TMessage& message);
  void DoAlign(TAlign align, TControl* control, TRect& rect);
  void AnchorControl(TControl* control, const TRect& rect);

  HWND handle_ = 0;
  HWND parentWindow_ = 0;
  bool showing_ = false;
  bool tabStop_ = false;
  Integer alignLevel_ = 0;
  bool aligning_ = false;
  std::vector<TControl*> controls_;
  std::vector<TWinControl*> winControls_;
  std::vector<TWinControl*> tabList_;
  std::unique_ptr<TBrush> brush_;
};

// ---------------------------------------------------------------------------------
// TGraphicControl and TCustomControl

// A control without a window: it paints on its parent's window during the parent's
// WM_PAINT, in z-order, clipped to its rectangle.
class TGraphicControl : public TControl {
 public:
  LARK_CLASS_NAME(TGraphicControl)
  explicit TGraphicControl(TComponent* owner);
  ~TGraphicControl() override;
  TCanvas* GetCanvas() const noexcept { return canvas_.get(); }
  void Dispatch(TMessage& message) override;

 protected:
  // Draws the control on Canvas; the default draws nothing.
  virtual void Paint() {}
  TCanvas* GetControlCanvas() override { return canvas_.get(); }

 private:
  std::unique_ptr<TControlCanvas> canvas_;
};

// A windowed control that draws itself on a canvas.
class TCustomControl : public TWinControl {
 public:
  LARK_CLASS_NAME(TCustomControl)
  explicit TCustomControl(TComponent* owner);
  ~TCustomControl() override;
  TCanvas* GetCanvas() const noexcept { return canvas_.get(); }

 protected:
  // Draws the control on Canvas; the default draws nothing.
  virtual void Paint() {}
  void PaintWindow(HDC dc) override;
  TCanvas* GetControlCanvas() override { return canvas_.get(); }

 private:
  std::unique_ptr<TControlCanvas> canvas_;
};

#pragma pop_macro("KeyPress")
