#include "platform/vcl/Timer.h"

#include "platform/vcl/Application.h"
#include "platform/win/Messages.h"
#include "platform/win/Window.h"

namespace {
constexpr uintptr_t kTimerId = 1;
}

TTimer::TTimer(TComponent* owner) : TComponent(owner) {
  window_ = AllocateHWnd([this](TMessage& msg) { WndProc(msg); });
}

TTimer::~TTimer() {
  enabled_ = false;
  UpdateTimer();
  DeallocateHWnd(window_);
}

void TTimer::SetEnabled(bool value) {
  if (value == enabled_) return;
  enabled_ = value;
  UpdateTimer();
}

void TTimer::SetInterval(Cardinal value) {
  if (value == interval_) return;
  interval_ = value;
  UpdateTimer();
}

void TTimer::SetOnTimer(TNotifyEvent value) {
  onTimer_ = std::move(value);
  UpdateTimer();
}

void TTimer::UpdateTimer() {
  KillTimer(window_, kTimerId);
  if (interval_ != 0 && enabled_ && onTimer_) {
    if (SetTimer(window_, kTimerId, interval_, nullptr) == 0)
      throw EOutOfResources("Not enough timers available");
  }
}

void TTimer::Timer() {
  if (onTimer_) onTimer_(this);
}

void TTimer::WndProc(TMessage& msg) {
  if (msg.Msg != WM_TIMER) {
    msg.Result = DefWindowProc(window_, msg.Msg, msg.WParam, msg.LParam);
    return;
  }
  try {
    Timer();
  } catch (...) {
    Application->HandleException(this);
  }
}
