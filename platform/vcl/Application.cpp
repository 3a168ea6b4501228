#include "platform/vcl/Application.h"

#include <signal.h>
#include <sys/epoll.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/rtl/Descriptors.h"
#include "platform/rtl/Files.h"
#include "platform/win/SimHooks.h"
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

TApplication::TApplication(TComponent* owner) : TComponent(owner) {}

TApplication::~TApplication() {
  // The forms go first, while the window behind the application still exists.
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
      m.Result = DefWindowProc(handle_, m.Msg, m.WParam, m.LParam);
    });
  }
  return handle_;
}

bool TApplication::ProcessMessage(MSG& msg) {
  if (!PeekMessage(&msg, 0, 0, 0, PM_REMOVE)) return false;
  if (msg.message == WM_QUIT) {
    terminated_ = true;
    return true;
  }
  TranslateMessage(&msg);
  DispatchMessage(&msg);
  return true;
}

void TApplication::ProcessMessages() {
  MSG msg;
  while (ProcessMessage(msg)) {
  }
}

void TApplication::Idle() {
  bool done = true;
  if (OnIdle) OnIdle(this, done);
  if (done) MsgWaitForMultipleObjects(0, nullptr, FALSE, INFINITE, QS_ALLINPUT);
}

void TApplication::HandleMessage() {
  MSG msg;
  if (!ProcessMessage(msg)) Idle();
}

void TApplication::Run() {
  SessionEndWatch sessionEnd([this] { Terminate(); });
  while (!terminated_) {
    try {
      HandleMessage();
    } catch (...) {
      HandleException(this);
    }
  }
}

void TApplication::Terminate() { PostQuitMessage(0); }

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
