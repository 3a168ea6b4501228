// The application object: the program's message loop, its title, its forms and the
// box that shows an exception nobody handled. The forms themselves are in Forms.h.
#pragma once

#include <exception>
#include <functional>
#include <type_traits>
#include <utility>
#include <vector>

#include "platform/rtl/Component.h"
#include "platform/rtl/Exceptions.h"
#include "platform/win/WinTypes.h"

using TExceptionEvent = std::function<void(TObject* sender, Exception* e)>;
using TIdleEvent = std::function<void(TObject* sender, bool& done)>;
using TMessageEvent = std::function<void(MSG& msg, bool& handled)>;
// Sees a message of the application's window first; answers true when it handled it.
using TWindowHook = std::function<bool(TMessage& message)>;

class TCustomForm;

class TApplication : public TComponent {
 public:
  LARK_CLASS_NAME(TApplication)
  explicit TApplication(TComponent* owner);
  ~TApplication() override;

  void Initialize();
  // The title defaults to the program's file name without its extension.
  AnsiString GetTitle() const;
  void SetTitle(const AnsiString& value) { title_ = value; }
  AnsiString GetExeName() const;
  const AnsiString& GetHelpFile() const { return helpFile_; }
  void SetHelpFile(const AnsiString& value) { helpFile_ = value; }
  // Opens the help file at a context; answers false when there is no help file.
  bool HelpContext(Integer context);
  // The hidden window that stands for the application (the owner of its message boxes).
  HWND GetHandle();
  // Hooks see every message of the application's window before it does, in the order
  // they were added, until one answers true (the window then does nothing more).
  // HookMainWindow answers the number UnhookMainWindow takes (a hook may unhook itself,
  // or another, while it runs).
  int HookMainWindow(TWindowHook hook);
  void UnhookMainWindow(int hookId);

  // Creates a form owned by the application and fires its OnCreate; the first form
  // becomes the main form.
  template <class T>
  void CreateForm(T*& reference) {
    static_assert(std::is_base_of_v<TCustomForm, T>, "CreateForm makes forms");
    reference = new T(this);
    FormCreated(reference);
  }
  TCustomForm* GetMainForm() const { return mainForm_; }
  // Whether Run shows the main form (true by default).
  bool GetShowMainForm() const noexcept { return showMainForm_; }
  void SetShowMainForm(bool value) noexcept { showMainForm_ = value; }

  // Shows the main form and handles messages until Terminated (closing the main form
  // terminates). An exception escaping a message handler is passed to
  // HandleException and the loop goes on. SIGTERM, SIGINT and SIGHUP end the
  // session: the forms are asked with WM_QUERYENDSESSION, told the outcome with
  // WM_ENDSESSION, and the loop ends unless one of them refused.
  void Run();
  // Handles every pending message, then returns.
  void ProcessMessages();
  // Handles one message, or waits for the next when none is pending.
  void HandleMessage();
  // Minimizes the main form (OnMinimize) / shows it again as it was (OnRestore).
  void Minimize();
  void Restore();
  // Brings the application's active form (the main form when none) to the front.
  void BringToFront();
  // The end of the session as the platform announces it: asks every form with
  // WM_QUERYENDSESSION, tells them the outcome with WM_ENDSESSION, and terminates
  // when none refused. Answers whether the session may end.
  bool EndSession();
  // The long part of the hint of the control under the mouse (OnHint on a change).
  const AnsiString& GetHint() const noexcept { return hint_; }
  void SetHint(const AnsiString& value);
  // Ends Run when the loop next turns (posts WM_QUIT).
  void Terminate();
  bool GetTerminated() const { return terminated_; }

  // Shows the exception (OnException when assigned); EAbort is silent.
  void HandleException(TObject* sender);
  void HandleException(TObject* sender, Exception& e);
  // The exception's message, ending in a full stop, in a box with the title as caption.
  void ShowException(Exception* e);
  Integer MessageBox(const char* text, const char* caption, UINT flags = 0);

  void Notification(TComponent* component, TOperation operation) override;

  TExceptionEvent OnException;
  TIdleEvent OnIdle;
  // Sees every message taken from the queue before it is dispatched; handled = true
  // keeps it from being dispatched.
  TMessageEvent OnMessage;
  TNotifyEvent OnMinimize;
  TNotifyEvent OnRestore;
  TNotifyEvent OnHint;

 private:
  friend class TCustomForm;
  void FormCreated(TCustomForm* form);
  bool ProcessMessage(MSG& msg);
  // Key messages go to their control as CN_ notifications first; true when the
  // control took the key.
  bool IsKeyMsg(MSG& msg);
  void Idle();

  AnsiString title_;
  AnsiString helpFile_;
  HWND handle_ = 0;
  TCustomForm* mainForm_ = nullptr;
  bool showMainForm_ = true;
  bool terminated_ = false;
  AnsiString hint_;
  std::vector<std::pair<int, TWindowHook>> windowHooks_;
  int lastHookId_ = 0;
};

// The process's application object, made on first use and freed at exit (with the
// forms it owns).
struct TApplicationRef {
  TApplication* operator->() const;
  operator TApplication*() const;  // NOLINT: used like the framework's global pointer
};
inline constexpr TApplicationRef Application{};
