// TThemeManager: makes the framework's standard controls draw with the desktop's
// visual styles without changing their classes. The main manager (one per process)
// puts a window procedure of its own in front of every control of fourteen families in
// every form, keeps the old procedures in one TWindowProcList per family, follows forms
// as they appear and controls as they come and go, and applies everything again when
// the theme changes. Other managers copy the main one's options and stay passive. With
// the theme off the procedures pass every message on (list views keep one fix).
#pragma once

#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "desktop/ThemeSrv.h"
#include "platform/rtl/Component.h"
#include "platform/rtl/Exceptions.h"
#include "platform/rtl/Sets.h"
#include "platform/vcl/Buttons.h"
#include "platform/vcl/Controls.h"
#include "platform/vcl/Forms.h"

enum class TThemeOption : Byte {
  toAllowNonClientArea, toAllowControls, toAllowWebContent, toSubclassAnimate, toSubclassButtons,
  toSubclassCheckListbox, toSubclassDBLookup, toSubclassFrame, toSubclassGroupBox, toSubclassListView,
  toSubclassPanel, toSubclassTabSheet, toSubclassSpeedButtons, toSubclassSplitter, toSubclassStatusBar,
  toSubclassTrackBar, toSubclassWinControl, toResetMouseCapture, toSetTransparency, toAlternateTabSheetDraw
};
using enum TThemeOption;
using TThemeOptions = TSet<TThemeOption>;
// Every option but toSubclassAnimate and toAlternateTabSheetDraw.
inline constexpr uint32_t kDefaultThemeOptions = 0x7FFF7;

// Raised when an internal rule of the manager is broken.
LARK_DECLARE_EXCEPTION(EAssertionFailed, Exception);

// Sent to a control before it is subclassed; a non-zero answer refuses.
inline constexpr UINT CM_DENYSUBCLASSING = CM_BASE + 2000;
// Sent to the application's window when a main manager goes.
inline constexpr UINT CM_MAINMANAGERRELEASED = CM_BASE + 3250;

class TThemeManager;

using TAllowSubclassingEvent = std::function<void(TObject* sender, TControl* control, bool& allow)>;
using TControlMessageEvent =
    std::function<void(TObject* sender, TControl* control, TMessage& message, bool& handled)>;
// A listener is told apart from others by its id alone.
struct TThemeListener {
  const void* id = nullptr;
  TControlMessageEvent method;
};

// The families of controls, in the order a control is matched.
enum class TControlFamily : Byte {
  ButtonControls, SpeedButtons, GroupBoxes, TabSheets, Panels, ListViews, TrackBars, CheckListBoxes,
  StatusBars, Splitters, Forms, WinControls
};
inline constexpr int kControlFamilyCount = 12;

// The old window procedures of one family's subclassed controls.
class TWindowProcList : public TObject {
 public:
  LARK_CLASS_NAME(TWindowProcList)
  TWindowProcList(TThemeManager* owner, TControlFamily family);
  ~TWindowProcList() override;
  TWindowProcList(const TWindowProcList&) = delete;
  TWindowProcList& operator=(const TWindowProcList&) = delete;

  // Subclasses the control: its index, or -1 when it is not of the family or is in
  // the list already.
  Integer Add(TControl* control);
  // Gives the control its old procedure back (and takes the subclassing from its children).
  void Remove(TControl* control);
  bool Find(TControl* control, Integer& index);
  // Hands the message to the control's old procedure.
  void DispatchMessage(TControl* control, TMessage& message);
  void Clear();
  // Forgets a control being freed (nothing is called on it).
  void Forget(const TComponent* control);
  Integer GetCount() const noexcept { return static_cast<Integer>(items_.size()); }
  TControlFamily GetFamily() const noexcept { return family_; }

 private:
  struct Item {
    TControl* control;
    TWndMethod oldProc;
  };
  TThemeManager* owner_;
  TControlFamily family_;
  std::vector<Item> items_;
  Integer lastFound_ = -1;
};

class TThemeManager : public TComponent {
 public:
  LARK_CLASS_NAME(TThemeManager)
  explicit TThemeManager(TComponent* owner);
  ~TThemeManager() override;

  TThemeOptions GetOptions() const noexcept { return options_; }
  // Another manager passes the value to the main one.
  void SetThemeOptions(TThemeOptions value);
  bool GetIsMainManager() const;
  static TThemeManager* CurrentThemeManager();

  void UpdateThemes();
  // Every form and windowed child hears WM_THEMECHANGED.
  void BroadcastThemeChange();
  // Subclasses a form and its controls (every form of the screen with null).
  void CollectForms(TCustomForm* form = nullptr);
  void CollectControls(TWinControl* parent);
  void FixControls(TCustomForm* form = nullptr);
  void ClearLists();
  void RemoveChildSubclassing(TWinControl* parent);
  bool IsRecreationCandidate(TControl* control) const;
  void RemoveRecreationCandidate(TControl* control);
  void RegisterListener(const TThemeListener& listener);
  void UnregisterListener(const void* id);
  void UpdateUIState(TControl* control, Word key);
  // The parent paints its background under the control into dc.
  void PerformEraseBackground(TControl* control, HDC dc);
  bool MainWindowHook(TMessage& message);
  // How many controls the family's list holds.
  Integer SubclassedCount(TControlFamily family) const;
  bool IsSubclassed(TControl* control) const;

  void Loaded() override;
  void Notification(TComponent* component, TOperation operation) override;

  TAllowSubclassingEvent OnAllowSubclassing;
  TControlMessageEvent OnControlMessage;
  TNotifyEvent OnThemeChange;

  // The families' procedures (run on the main manager).
  void FamilyWindowProc(TControlFamily family, TControl* control, TMessage& message);

  virtual void AddRecreationCandidate(TControl* control);
  virtual bool DoAllowSubclassing(TControl* control);
  virtual bool DoControlMessage(TControl* control, TMessage& message);
  virtual void DoOnThemeChange();
  virtual void ForceAsMainManager();
  virtual void HandleControlChange(TControl* control, bool inserting);
  virtual bool NeedsBorderPaint(TControl* control);

 private:
  friend class TWindowProcList;
  bool Designing() const { return GetComponentState().Contains(csDesigning); }
  TWindowProcList& List(TControlFamily family) { return *lists_[static_cast<int>(family)]; }
  void SubclassingEnabled(bool value) { subclassingDisabled_ = !value; }
  // The family procedures (ThemeMgr_paint.cpp).
  void ButtonControlWindowProc(TControl* control, TMessage& message);
  void SpeedButtonWindowProc(TControl* control, TMessage& message);
  void GroupBoxWindowProc(TControl* control, TMessage& message);
  void TabSheetWindowProc(TControl* control, TMessage& message);
  void PanelWindowProc(TControl* control, TMessage& message);
  void ListviewWindowProc(TControl* control, TMessage& message);
  void StatusBarWindowProc(TControl* control, TMessage& message);
  void SplitterWindowProc(TControl* control, TMessage& message);
  void FormWindowProc(TControl* control, TMessage& message);
  void WinControlWindowProc(TControl* control, TMessage& message);

  TThemeOptions options_;
  std::vector<TThemeListener> listeners_;
  std::vector<TCustomForm*> pendingForms_;
  std::vector<TWinControl*> pendingRecreation_;
  int hookId_ = 0;
  bool subclassingDisabled_ = false;
  std::vector<std::unique_ptr<TWindowProcList>> lists_;
};

// Lays out a button's glyph and caption in a client area along the layout's axis
// (Margin and Spacing -1 are automatic); positions are from the area's top-left corner.
struct TButtonLayoutResult {
  TPoint GlyphPos;
  TRect TextBounds;
};
TButtonLayoutResult LayoutButtonContent(TPoint clientSize, TPoint glyphSize, TPoint captionSize,
                                        TButtonLayout layout, Integer margin, Integer spacing);

// Draws a push button (or a flat speed button) with the theme: the element of state
// (2 normal, 3 hot, 4 pressed, 5 disabled, 6 defaulted), the glyph and caption, and a
// focus rectangle.
void DrawButton(TControl* control, Integer buttonState, bool focused, const TRect& rect, HDC dc);
