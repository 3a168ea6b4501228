// The framework's forms and the screen: TCustomForm/TForm (a top-level window with a
// caption, borders, a place on the screen, modal showing and the close protocol) and
// TScreen (the display's size, the forms, the active form and the cursor). The
// application object is in Application.h.
#pragma once

#include <vector>

#include "platform/vcl/Application.h"
#include "platform/vcl/Controls.h"

enum class TPosition : Byte {
  poDesigned, poDefault, poDefaultPosOnly, poDefaultSizeOnly, poScreenCenter, poDesktopCenter,
  poMainFormCenter, poOwnerFormCenter
};
using enum TPosition;

enum class TFormBorderStyle : Byte { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };
using enum TFormBorderStyle;

enum class TFormStyle : Byte { fsNormal, fsMDIChild, fsMDIForm, fsStayOnTop };
using enum TFormStyle;

enum class TWindowState : Byte { wsNormal, wsMinimized, wsMaximized };
using enum TWindowState;

enum class TCloseAction : Byte { caNone, caHide, caFree, caMinimize };
using enum TCloseAction;

using TModalResult = Integer;
inline constexpr TModalResult mrNone = 0;
inline constexpr TModalResult mrOk = 1;
inline constexpr TModalResult mrCancel = 2;
inline constexpr TModalResult mrAbort = 3;
inline constexpr TModalResult mrRetry = 4;
inline constexpr TModalResult mrIgnore = 5;
inline constexpr TModalResult mrYes = 6;
inline constexpr TModalResult mrNo = 7;
inline constexpr TModalResult mrAll = 8;
inline constexpr TModalResult mrNoToAll = 9;
inline constexpr TModalResult mrYesToAll = 10;

using TCloseEvent = std::function<void(TObject* sender, TCloseAction& action)>;
using TCloseQueryEvent = std::function<void(TObject* sender, bool& canClose)>;

// A form: a top-level window. A form starts hidden; Show or Visible shows it (making
// its window), Close asks OnCloseQuery and then does what OnClose decides.
//
// OnCreate fires once the form is built: Application's CreateForm fires it right
// after the constructor, and a form made with new fires it when first shown
// (AfterConstruction does it at once). OnDestroy fires before the form is taken
// apart: when the application frees its forms, on Release, and at the latest at the
// start of TCustomForm's destructor (when a derived class's members are gone).
class TCustomForm : public TWinControl {
 public:
  LARK_CLASS_NAME(TCustomForm)
  explicit TCustomForm(TComponent* owner);
  ~TCustomForm() override;

  // Fires OnCreate (once).
  virtual void AfterConstruction();
  // Fires OnDestroy (once).
  virtual void BeforeDestruction();

  void Dispatch(TMessage& message) override;

  TPosition GetPosition() const noexcept { return position_; }
  void SetPosition(TPosition value) { position_ = value; }
  TFormBorderStyle GetBorderStyle() const noexcept { return borderStyle_; }
  void SetBorderStyle(TFormBorderStyle value);
  TFormStyle GetFormStyle() const noexcept { return formStyle_; }
  void SetFormStyle(TFormStyle value);
  TMainMenu* GetMenu() const noexcept { return menu_; }
  void SetMenu(TMainMenu* value);
  TWindowState GetWindowState() const noexcept { return windowState_; }
  void SetWindowState(TWindowState value);
  bool GetKeyPreview() const noexcept { return keyPreview_; }
  void SetKeyPreview(bool value) noexcept { keyPreview_ = value; }
  TModalResult GetModalResult() const noexcept { return modalResult_; }
  void SetModalResult(TModalResult value) noexcept { modalResult_ = value; }
  // The control that has the focus when the form is active (null: the form itself).
  TWinControl* GetActiveControl() const noexcept { return activeControl_; }
  // Raises EInvalidOperation for a control that is not on this form or cannot take
  // the focus.
  void SetActiveControl(TWinControl* control);
  bool GetActive() const noexcept { return active_; }
  TCanvas* GetCanvas() const noexcept { return canvas_.get(); }
  bool GetModal() const noexcept { return modal_; }

  // Shows the form and brings it to the front.
  void Show();
  // Asks OnCloseQuery, then OnClose decides: hide (the default), free, minimise or
  // nothing. Closing the main form ends the application. A modal form only sets
  // ModalResult to mrCancel, which ends its ShowModal.
  void Close();
  // Whether OnCloseQuery (and that of every child form) lets the form close.
  virtual bool CloseQuery();
  // Shows the form and handles messages until ModalResult is set (or the application
  // ends); the application's other windows are disabled meanwhile and enabled again
  // after. Answers the ModalResult. EInvalidOperation for a form that is visible,
  // disabled or already modal.
  virtual TModalResult ShowModal();
  // Frees the form once the messages already posted to it are handled (safe from its
  // own event handlers).
  void Release();
  void SetFocus() override;
  bool CanFocus() override { return GetVisible() && GetEnabled(); }
  // Gives control the focus when the form is active, making it ActiveControl.
  void FocusControl(TWinControl* control);
  // Called when a control of this form takes the focus: fires CM_EXIT and CM_ENTER.
  bool SetFocusedControl(TWinControl* control);
  void DefocusControl(TWinControl* control, bool removing);

  TNotifyEvent OnCreate;
  TNotifyEvent OnDestroy;
  TNotifyEvent OnShow;
  TNotifyEvent OnHide;
  TNotifyEvent OnActivate;
  TNotifyEvent OnDeactivate;
  TNotifyEvent OnPaint;
  TCloseEvent OnClose;
  TCloseQueryEvent OnCloseQuery;

  void Notification(TComponent* component, TOperation operation) override;

 protected:
  void CreateParams(TCreateParams& params) override;
  void CreateWnd() override;
  void PaintWindow(HDC dc) override;
  TRect NonClientInsets() override;
  TCanvas* GetControlCanvas() override { return canvas_.get(); }
  void KeyDown(Word& key, TShiftState shift) override;
  // Fires OnPaint.
  virtual void Paint();
  virtual void Activate();
  virtual void Deactivate();
  virtual void DoShow();
  virtual void DoHide();
  virtual void DoClose(TCloseAction& action);
  void CloseModal();

 private:
  void HandleShowingChanged();
  void HandleActivate(TMessage& message);
  void HandleDialogKey(TMessage& message);
  void ApplyPosition();
  void SetWindowFocus();
  // The application the form belongs to: the one that owns it (or its owner), else
  // the process's application object.
  TApplication* OwningApplication() const;

  TPosition position_ = poDesigned;
  TFormBorderStyle borderStyle_ = bsSizeable;
  TFormStyle formStyle_ = fsNormal;
  TMainMenu* menu_ = nullptr;
  TWindowState windowState_ = wsNormal;
  bool keyPreview_ = false;
  TModalResult modalResult_ = mrNone;
  TWinControl* activeControl_ = nullptr;
  TWinControl* focusedControl_ = nullptr;
  bool active_ = false;
  bool modal_ = false;
  bool created_ = false;
  bool destroyed_ = false;
  bool positioned_ = false;
  bool showingChanging_ = false;
  std::unique_ptr<TControlCanvas> canvas_;
};

class TForm : public TCustomForm {
 public:
  LARK_CLASS_NAME(TForm)
  explicit TForm(TComponent* owner) : TCustomForm(owner) {}
};

// ---------------------------------------------------------------------------------
// The screen.

class TScreen : public TComponent {
 public:
  LARK_CLASS_NAME(TScreen)
  explicit TScreen(TComponent* owner);
  ~TScreen() override;

  // The display's size in pixels.
  Integer GetWidth() const;
  Integer GetHeight() const;
  Integer GetPixelsPerInch() const;

  // Every form, in the order they were made.
  Integer GetFormCount() const noexcept { return static_cast<Integer>(forms_.size()); }
  TCustomForm* Forms(Integer index) const;
  TCustomForm* GetActiveForm() const noexcept { return activeForm_; }
  TWinControl* GetActiveControl() const noexcept { return activeControl_; }

  // The cursor for the whole application: crDefault lets each control show its own.
  TCursor GetCursor() const noexcept { return cursor_; }
  void SetCursor(TCursor value);
  // The system cursor for a cursor number (the standard ones, or what the
  // application registered); the arrow for an unknown number.
  HCURSOR Cursors(TCursor index) const;
  // Registers (or replaces, or with 0 removes) an application cursor.
  void SetCursors(TCursor index, HCURSOR handle);

 private:
  friend class TCustomForm;
  void AddForm(TCustomForm* form);
  void RemoveForm(TCustomForm* form);
  void SetActiveForm(TCustomForm* form);

  std::vector<TCustomForm*> forms_;
  TCustomForm* activeForm_ = nullptr;
  TWinControl* activeControl_ = nullptr;
  TCursor cursor_ = crDefault;
  std::vector<std::pair<TCursor, HCURSOR>> cursors_;
};

// The process's screen object, made on first use.
struct TScreenRef {
  TScreen* operator->() const;
  operator TScreen*() const;  // NOLINT: used like the framework's global pointer
};
inline constexpr TScreenRef Screen{};
