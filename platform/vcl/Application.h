// The application object: the program's message loop, its title, its forms and the
// box that shows an exception nobody handled.
#pragma once

#include <exception>
#include <functional>

#include "platform/rtl/Component.h"
#include "platform/rtl/Exceptions.h"
#include "platform/win/WinTypes.h"

using TExceptionEvent = std::function<void(TObject* sender, Exception* e)>;
using TIdleEvent = std::function<void(TObject* sender, bool& done)>;

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

  // Creates a form owned by the application; the first one becomes the main form.
  template <class T>
  void CreateForm(T*& reference) {
    reference = new T(this);
    if (!mainForm_) mainForm_ = reference;
  }
  TComponent* GetMainForm() const { return mainForm_; }

  // Handles messages until Terminated. An exception escaping a message handler is
  // passed to HandleException and the loop goes on. SIGTERM, SIGINT and SIGHUP end
  // the loop as the end of the session does.
  void Run();
  // Handles every pending message, then returns.
  void ProcessMessages();
  // Handles one message, or waits for the next when none is pending.
  void HandleMessage();
  // Ends Run when the loop next turns (posts WM_QUIT).
  void Terminate();
  bool GetTerminated() const { return terminated_; }

  // Shows the exception (OnException when assigned); EAbort is silent.
  void HandleException(TObject* sender);
  void HandleException(TObject* sender, Exception& e);
  // The exception's message, ending in a full stop, in a box with the title as caption.
  void ShowException(Exception* e);
  Integer MessageBox(const char* text, const char* caption, UINT flags = 0);

  TExceptionEvent OnException;
  TIdleEvent OnIdle;

 private:
  bool ProcessMessage(MSG& msg);
  void Idle();

  AnsiString title_;
  AnsiString helpFile_;
  HWND handle_ = 0;
  TComponent* mainForm_ = nullptr;
  bool terminated_ = false;
};

// The process's application object, made on first use and freed at exit (with the
// forms it owns).
struct TApplicationRef {
  TApplication* operator->() const;
  operator TApplication*() const;  // NOLINT: used like the framework's global pointer
};
inline constexpr TApplicationRef Application{};
