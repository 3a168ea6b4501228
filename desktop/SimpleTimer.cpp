#include "desktop/SimpleTimer.h"

#include <set>
#include <utility>

#include "platform/win/Messages.h"
#include "platform/win/Window.h"

// The hidden window shared by every timer of the process, with the timers alive (a
// WM_TIMER already queued for a timer freed since finds it gone).
class TSimpleTimerHandler : public TObject {
 public:
  LARK_CLASS_NAME(TSimpleTimerHandler)
  TSimpleTimerHandler() {
    handle_ = AllocateHWnd([this](TMessage& message) { HandleTimerMessage(message); });
  }
  ~TSimpleTimerHandler() override { DeallocateHWnd(handle_); }

  static TSimpleTimerHandler* Acquire(TSimpleTimer* timer) {
    if (!instance_) instance_ = new TSimpleTimerHandler();
    instance_->timers_.insert(timer);
    return instance_;
  }
  static void Release(TSimpleTimer* timer) {
    if (!instance_) return;
    instance_->timers_.erase(timer);
    if (instance_->timers_.empty()) {
      delete instance_;
      instance_ = nullptr;
    }
  }
  static HWND Window() { return instance_ ? instance_->handle_ : 0; }

 private:
  void HandleTimerMessage(TMessage& message) {
    if (message.Msg != WM_TIMER) {
      message.Result = DefWindowProc(handle_, message.Msg, message.WParam, message.LParam);
      return;
    }
    auto* timer = reinterpret_cast<TSimpleTimer*>(message.WParam);
    if (!timers_.count(timer)) return;
    if (timer->autoDisable_) timer->Stop(true);
    if (timer->onTimer_) timer->onTimer_(timer);
  }

  static inline TSimpleTimerHandler* instance_ = nullptr;
  HWND handle_ = 0;
  std::set<TSimpleTimer*> timers_;
};

TSimpleTimer::TSimpleTimer() { Initialize(1000, {}); }

TSimpleTimer::TSimpleTimer(Cardinal interval, TNotifyEvent onTimer) {
  Initialize(interval, std::move(onTimer));
}

void TSimpleTimer::Initialize(Cardinal interval, TNotifyEvent onTimer) {
  id_ = reinterpret_cast<uintptr_t>(this);
  autoDisable_ = false;
  enabled_ = false;
  interval_ = interval;
  SetOnTimer(std::move(onTimer));
  TSimpleTimerHandler::Acquire(this);
}

TSimpleTimer::~TSimpleTimer() {
  if (enabled_) Stop(true);
  TSimpleTimerHandler::Release(this);
}

bool TSimpleTimer::Start() {
  if (interval_ == 0) return false;
  if (enabled_) Stop(true);
  const bool started = SetTimer(TSimpleTimerHandler::Window(), id_, interval_, nullptr) != 0;
  if (started) enabled_ = true;
  return started;
}

bool TSimpleTimer::Stop(bool disable) {
  if (disable) enabled_ = false;
  return KillTimer(TSimpleTimerHandler::Window(), id_) != FALSE;
}

void TSimpleTimer::SetEnabled(bool value) {
  if (value) {
    Start();
  } else {
    Stop(true);
  }
}

void TSimpleTimer::SetInterval(Cardinal value) {
  if (value == interval_) return;
  interval_ = value;
  if (!enabled_) return;
  if (value > 0) {
    Start();
  } else {
    Stop(false);
  }
}

void TSimpleTimer::SetOnTimer(TNotifyEvent value) {
  onTimer_ = std::move(value);
  if (!onTimer_ && enabled_) Stop(false);
}
