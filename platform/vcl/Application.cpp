#include "platform/vcl/Application.h"

#include <algorithm>

#include <signal.h>
#include <sys/epoll.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

#include "platform/rtl/Descriptors.h"
#include "platform/rtl/Files.h"
#include "platform/vcl/Controls.h"
#include "platform/vcl/DialogsInternal.h"
#include "platform/vcl/Forms.h"
#include "platform/win/SimHooks.h"
#include "platform/win/Input.h"
#include "platform/win/MessageBox.h"
#include "platform/win/Messages.h"
#include "platform/win/Window.h"

namespace {

// Turns the signals that end a session into a call on the loop's thread, for as
// long as it lives.
class SessionEndWatch {
 public:
  explicit SessionEndWatch(std::function<void()> onEnd) {
    sigemptyset(&set_);
    sigaddset(&set_, SIGTERM);
    sigaddset(&set_, SIGINT);
    sigaddset(&set_, SIGHUP);
    if (pthread_sigmask(SIG_BLOCK, &set_, &saved_) != 0) return;
    fd_.Reset(signalfd(-1, &set_, SFD_NONBLOCK | SFD_CLOEXEC));
    if (!fd_) return;
    LoopWatchFd(fd_.Get(), EPOLLIN, [fd = fd_.Get(), onEnd = std::move(onEnd)](uint32_t) {
      signalfd_siginfo info;
      bool ended = false;
      while (read(fd, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) ended = true;
      if (ended) onEnd();
    });
  }
  ~SessionEndWatch() {
    if (fd_) LoopUnwatchFd(fd_.Get());
    fd_.Reset();
    pthread_sigmask(SIG_SETMASK, &saved_, nullptr);
  }
  SessionEndWatch(const SessionEndWatch&) = delete;
  SessionEndWatch& operator=(const SessionEndWatch&) = delete;

 private:
  sigset_t set_;
  sigset_t saved_;
  ScopedFd fd_;
};

}  // namespace

TApplication::TApplication(TComponent* owner) : TComponent(owner) { InstallDialogHost(); }

TApplication::~TApplication() {
  // The forms hear OnDestroy while they are whole, then go, while the window behind
  // the application still exists.
  for (Integer i = GetComponentCount() - 1; i >= 0; --i) {
    if (i >= GetComponentCount()) continue;
    if (auto* form = dynamic_cast<TCustomForm*>(Components(i))) form->BeforeDestruction();
  }
  mainForm_ = nullptr;
  DestroyComponents();
  if (handle_) DeallocateHWnd(handle_);
}

void TApplication::Initialize() {}

AnsiString TApplication::GetTitle() const {
  if (!title_.empty()) return title_;
  return ChangeFileExt(ExtractFileName(ProgramFileName()), "");
}

AnsiString TApplication::GetExeName() const { return ProgramFileName(); }

bool TApplication::HelpContext(Integer context) {
  if (helpFile_.empty()) return false;
  sim::RecordHelp(helpFile_, context);
  return true;
}

HWND TApplication::GetHandle() {
  if (!handle_) {
    handle_ = AllocateHWnd([this](TMessage& m) {
      // A copy: a hook may add or remove hooks; one removed meanwhile is not called.
      const auto hooks = windowHooks_;
      for (const auto& [id, hook] : hooks) {
        const bool live = std::any_of(windowHooks_.begin(), windowHooks_.end(),
                                      [id = id](const auto& h) { return h.first == id; });
        if (live && hook(m)) return;
      }
      // Closing the application's window (Alt+F4 while it has the focus) closes the
      // main form, which decides; the window itself never goes before the program.
      if (m.Msg == WM_CLOSE) {
        if (mainForm_) mainForm_->Close();
        return;
      }
      m.Result = DefWindowProc(handle_, m.Msg, m.WParam, m.LParam);
    });
  }
  return handle_;
}

int TApplication::HookMainWindow(TWindowHook hook) {
  windowHooks_.emplace_back(++lastHookId_, std::move(hook));
  return lastHookId_;
}

void TApplication::UnhookMainWindow(int hookId) {
  std::erase_if(windowHooks_, [hookId](const auto& h) { return h.first == hookId; });
}

void TApplication::FormCreated(TCustomForm* form) {
  if (!mainForm_) mainForm_ = form;
  form->AfterConstruction();
}

void TApplication::Notification(TComponent* component, TOperation operation) {
  TComponent::Notification(component, operation);
  if (operation == opRemove && component == static_cast<TComponent*>(mainForm_)) mainForm_ = nullptr;
}

bool TApplication::ProcessMessage(MSG& msg) {
  if (!PeekMessage(&msg, 0, 0, 0, PM_REMOVE)) return false;
  if (msg.message == WM_QUIT) {
    terminated_ = true;
    return true;
  }
  bool handled = false;
  if (OnMessage) OnMessage(msg, handled);
  if (handled || IsKeyMsg(msg)) return true;
  TranslateMessage(&msg);
  DispatchMessage(&msg);
  return true;
}

bool TApplication::IsKeyMsg(MSG& msg) {
  if (msg.message < WM_KEYFIRST || msg.message > WM_KEYLAST) return false;
  HWND target = GetCapture();
  if (!target) target = msg.hwnd;
  // A window that is not a control's (one a control made inside itself) hands its
  // keys to the nearest control that holds it.
  HWND control = target;
  while (control && !FindControl(control)) control = ::GetParent(control);
  if (!control) return false;
  return SendMessage(control, CN_BASE + msg.message, msg.wParam, msg.lParam) != 0;
}

void TApplication::ProcessMessages() {
  MSG msg;
  while (ProcessMessage(msg)) {
  }
}

void TApplication::Idle() {
  // The hint of the control under the mouse, or of the nearest parent that has one.
  POINT p;
  if (::GetCursorPos(&p)) {
    TControl* control = FindControl(::WindowFromPoint(p));
    if (auto* win = dynamic_cast<TWinControl*>(control)) {
      POINT local = p;
      if (win->HandleAllocated()) ::ScreenToClient(win->GetHandle(), &local);
      if (TControl* child = win->ControlAtPos(local, true)) control = child;
    }
    while (control && control->GetHint().empty()) control = control->GetParent();
    AnsiString hint = control ? control->GetHint() : AnsiString();
    // "short|long": the application shows the long part.
    if (const size_t bar = hint.find('|'); bar != AnsiString::npos) hint = hint.substr(bar + 1);
    SetHint(hint);
  }
  TControlCanvas::FreeDeviceContexts();
  bool done = true;
  if (OnIdle) OnIdle(this, done);
  if (done) MsgWaitForMultipleObjects(0, nullptr, FALSE, INFINITE, QS_ALLINPUT);
}

void TApplication::HandleMessage() {
  MSG msg;
  if (!ProcessMessage(msg)) Idle();
}

void TApplication::SetHint(const AnsiString& value) {
  if (value == hint_) return;
  hint_ = value;
  if (OnHint) OnHint(this);
}

void TApplication::Run() {
  SessionEndWatch sessionEnd([this] { EndSession(); });
  if (mainForm_ && showMainForm_) {
    try {
      mainForm_->SetVisible(true);
    } catch (...) {
      HandleException(this);
    }
  }
  while (!terminated_) {
    try {
      HandleMessage();
    } catch (...) {
      HandleException(this);
    }
  }
}

void TApplication::Terminate() { PostQuitMessage(0); }

bool TApplication::EndSession() {
  // The main form first, then the others in the order they were made.
  std::vector<TCustomForm*> forms;
  if (mainForm_) forms.push_back(mainForm_);
  for (Integer i = 0; i < Screen->GetFormCount(); ++i) {
    TCustomForm* form = Screen->Forms(i);
    if (form != mainForm_ && form->HandleAllocated()) forms.push_back(form);
  }
  auto send = [](TCustomForm* form, UINT msg, WPARAM wParam) {
    return form->HandleAllocated() ? SendMessage(form->GetHandle(), msg, wParam, 0)
                                   : form->Perform(msg, wParam, 0);
  };
  bool ends = true;
  for (TCustomForm* form : forms) {
    if (send(form, WM_QUERYENDSESSION, 0) == 0) {
      ends = false;
      break;
    }
  }
  for (TCustomForm* form : forms) send(form, WM_ENDSESSION, ends ? TRUE : FALSE);
  if (ends) Terminate();
  return ends;
}

void TApplication::Minimize() {
  if (!mainForm_ || !mainForm_->HandleAllocated()) return;
  const HWND h = mainForm_->GetHandle();
  if (::IsIconic(h)) return;
  ::ShowWindow(h, SW_MINIMIZE);
  if (OnMinimize) OnMinimize(this);
}

void TApplication::Restore() {
  if (!mainForm_ || !mainForm_->HandleAllocated()) return;
  const HWND h = mainForm_->GetHandle();
  if (!::IsIconic(h)) return;
  ::ShowWindow(h, SW_RESTORE);
  if (OnRestore) OnRestore(this);
}

void TApplication::BringToFront() {
  TCustomForm* form = Screen->GetActiveForm();
  if (!form || !form->GetVisible()) form = mainForm_;
  if (!form || !form->HandleAllocated()) return;
  const HWND h = form->GetHandle();
  if (::IsWindowVisible(h) && ::IsWindowEnabled(h)) ::SetForegroundWindow(h);
}

void TApplication::HandleException(TObject* sender) {
  try {
    throw;
  } catch (Exception& e) {
    HandleException(sender, e);
  } catch (std::exception& e) {
    Exception wrapped(e.what());
    HandleException(sender, wrapped);
  } catch (...) {
    Exception wrapped("Unknown exception");
    HandleException(sender, wrapped);
  }
}

void TApplication::HandleException(TObject* sender, Exception& e) {
  if (dynamic_cast<EAbort*>(&e)) return;
  if (OnException) {
    OnException(sender, &e);
    return;
  }
  ShowException(&e);
}

void TApplication::ShowException(Exception* e) {
  AnsiString msg = e->Message();
  // A full stop is added unless the text already ends in punctuation.
  if (!msg.empty() && static_cast<unsigned char>(msg.back()) > '.') msg += '.';
  const AnsiString title = GetTitle();
  MessageBox(msg.c_str(), title.c_str(), MB_OK | MB_ICONSTOP);
}

Integer TApplication::MessageBox(const char* text, const char* caption, UINT flags) {
  return ::MessageBox(GetHandle(), text, caption, flags);
}

namespace {

void DestroyApplication();

TApplication*& TheApplication() {
  static TApplication* app = nullptr;
  return app;
}

void DestroyApplication() {
  TApplication*& app = TheApplication();
  delete app;
  app = nullptr;
}

}  // namespace

TApplication* TApplicationRef::operator->() const { return *this; }

TApplicationRef::operator TApplication*() const {
  TApplication*& app = TheApplication();
  if (!app) {
    app = new TApplication(nullptr);
    std::atexit(DestroyApplication);
  }
  return app;
}
