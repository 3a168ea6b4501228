// TTrayIcon: one icon in the desktop's notification area, turning the shell's
// callback messages into events: clicks (a single click is told apart from a double
// click when OnDblClick is assigned), mouse moves with enter and exit, the popup menu
// at the cursor, balloon hints with their four notifications, icon cycling through an
// image list, and hiding the main form to the tray and restoring it.
//
// Every tray icon of the process shares one hidden window that receives the callback
// messages (TTrayIconHandler); wParam names the icon.
#pragma once

#include <functional>
#include <memory>

#include "desktop/SimpleTimer.h"
#include "platform/shell/ShellApi.h"
#include "platform/vcl/Controls.h"
#include "platform/vcl/Graphics.h"
#include "platform/vcl/ImageList.h"
#include "platform/vcl/Menus.h"

enum class TBalloonIconType : Byte { bitNone, bitInfo, bitWarning, bitError };
using enum TBalloonIconType;

using TCycleEvent = std::function<void(TObject* sender, Integer nextIndex)>;
using TStartupEvent = std::function<void(TObject* sender, bool& showMainForm)>;

// The callback message the shell sends to the shared window.
inline constexpr UINT WM_TRAYICON_CALLBACK = 0x800;

class TTrayIcon : public TComponent {
 public:
  LARK_CLASS_NAME(TTrayIcon)
  explicit TTrayIcon(TComponent* owner);
  ~TTrayIcon() override;

  bool GetDesignPreview() const noexcept { return designPreview_; }
  void SetDesignPreview(bool value);
  TImageList* GetIconList() const noexcept { return iconList_; }
  // A new list sets IconIndex to 0.
  void SetIconList(TImageList* value);
  bool GetCycleIcons() const noexcept { return cycleIcons_; }
  void SetCycleIcons(bool value);
  Cardinal GetCycleInterval() const noexcept { return cycleInterval_; }
  void SetCycleInterval(Cardinal value);
  // While false the mouse and click notifications are ignored (balloons are not).
  bool GetEnabled() const noexcept { return enabled_; }
  void SetEnabled(bool value) noexcept { enabled_ = value; }
  const AnsiString& GetHint() const noexcept { return hint_; }
  void SetHint(const AnsiString& value);
  bool GetShowHint() const noexcept { return showHint_; }
  void SetShowHint(bool value);
  TIcon* GetIcon() const noexcept { return icon_.get(); }
  // Copies the icon given.
  void SetIcon(TIcon* value);
  bool GetIconVisible() const noexcept { return iconVisible_; }
  void SetIconVisible(bool value);
  // The list image shown, held within the list (0 without a list or for an empty one).
  Integer GetIconIndex() const noexcept { return iconIndex_; }
  void SetIconIndex(Integer value);
  TPopupMenu* GetPopupMenu() const noexcept { return popupMenu_; }
  void SetPopupMenu(TPopupMenu* value);
  // The menu pops up on a left press too.
  bool GetLeftPopup() const noexcept { return leftPopup_; }
  void SetLeftPopup(bool value) noexcept { leftPopup_ = value; }
  bool GetWantEnterExitEvents() const noexcept { return wantEnterExitEvents_; }
  void SetWantEnterExitEvents(bool value);
  bool GetMinimizeToTray() const noexcept { return minimizeToTray_; }
  void SetMinimizeToTray(bool value) noexcept { minimizeToTray_ = value; }
  // Applied once, in Loaded: the owner asks the shell for version 3 notifications.
  bool UseNotifyVersion = false;

  // The identifier of the icon towards the shell (uID, and wParam of its messages).
  UINT GetId() const noexcept { return id_; }
  // The window of the shared handler (the owner of the icon towards the shell).
  static HWND HandlerWindow();

  // A balloon over the icon (title cut to 63 characters, text to 255); the result is
  // the shell's.
  bool ShowBalloonHint(const AnsiString& title, const AnsiString& text, TBalloonIconType iconType,
                       Byte timeoutSeconds);
  bool HideBalloonHint();
  // The main form goes (with the application's window) / comes back to the front.
  void HideMainForm();
  void RestoreMainForm();

  virtual bool AddTrayIcon();
  virtual bool RemoveTrayIcon();
  virtual bool ModifyTrayIcon();

  void Loaded() override;
  // The owner form's messages while it is hooked: true when the icon took the message.
  bool HandleOwnerMessage(TMessage& message);
  void Notification(TComponent* component, TOperation operation) override;

  TNotifyEvent OnClick;
  TNotifyEvent OnDblClick;
  TMouseEvent OnMouseDown;
  TMouseEvent OnMouseUp;
  TMouseMoveEvent OnMouseMove;
  TNotifyEvent OnMouseEnter;
  TNotifyEvent OnMouseExit;
  TNotifyEvent OnMinimizeToTray;
  TNotifyEvent OnBalloonHintShow;
  TNotifyEvent OnBalloonHintHide;
  TNotifyEvent OnBalloonHintTimeout;
  TNotifyEvent OnBalloonHintClick;
  TCycleEvent OnCycle;
  TStartupEvent OnStartup;

 protected:
  virtual bool LoadDefaultIcon() { return true; }
  virtual void Click();
  virtual void DblClick();
  virtual void CycleIcon();
  virtual void MouseDown(TMouseButton button, TShiftState shift, Integer x, Integer y);
  virtual void MouseUp(TMouseButton button, TShiftState shift, Integer x, Integer y);
  virtual void MouseMove(TShiftState shift, Integer x, Integer y);
  virtual void MouseEnter();
  virtual void MouseExit();
  virtual void DoMinimizeToTray();

 private:
  friend class TTrayIconHandler;
  bool Designing() const { return GetComponentState().Contains(csDesigning); }
  TWinControl* OwnerControl() const;
  bool PrepareIconData();
  void HandleIconMessage(TMessage& message);
  void PopupAtCursor();
  void HideApplicationWindow();
  void SetNotifyVersion();
  void CycleTimerTick(TObject* sender);
  void ClickTimerTick(TObject* sender);
  void EnterExitTimerTick(TObject* sender);
  void AppWindowHook(TMessage& message);
  bool InterceptMinimize(TMessage& message);
  void HookOwnerWindow();
  void UnhookOwnerWindow();
  // The list image at IconIndex into Icon (nothing for an empty list).
  void ShowListImage();

  bool enabled_ = true;
  std::unique_ptr<TIcon> icon_;
  UINT id_ = 0;
  bool iconVisible_ = false;
  AnsiString hint_;
  bool showHint_ = true;
  TPopupMenu* popupMenu_ = nullptr;
  bool leftPopup_ = false;
  bool minimizeToTray_ = false;
  bool leftButtonDown_ = false;
  bool clickPending_ = false;
  std::unique_ptr<TSimpleTimer> cycleTimer_;
  std::unique_ptr<TSimpleTimer> clickTimer_;
  std::unique_ptr<TSimpleTimer> enterExitTimer_;
  POINT lastMousePoint_{0, 0};
  bool mouseOutside_ = true;
  bool wantEnterExitEvents_ = false;
  bool doubleClicked_ = false;
  Integer iconIndex_ = 0;
  bool designPreview_ = false;
  bool previewInProgress_ = false;
  bool firstShowPending_ = true;
  TImageList* iconList_ = nullptr;
  bool cycleIcons_ = false;
  Cardinal cycleInterval_ = 0;
  int appHookId_ = 0;
  HWND ownerWindow_ = 0;
  NOTIFYICONDATAA iconData_;
};
