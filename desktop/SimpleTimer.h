// A timer that needs no window of its own: every TSimpleTimer of the process shares
// one hidden window (TSimpleTimerHandler), which exists while at least one timer does.
// Its WM_TIMER carries the timer in wParam; OnTimer fires with the timer as sender.
#pragma once

#include "platform/rtl/Component.h"
#include "platform/rtl/Types.h"

class TSimpleTimer : public TObject {
 public:
  LARK_CLASS_NAME(TSimpleTimer)
  // 1000 ms, no handler.
  TSimpleTimer();
  TSimpleTimer(Cardinal interval, TNotifyEvent onTimer);
  ~TSimpleTimer() override;
  TSimpleTimer(const TSimpleTimer&) = delete;
  TSimpleTimer& operator=(const TSimpleTimer&) = delete;

  static TSimpleTimer* Create() { return new TSimpleTimer(); }
  static TSimpleTimer* CreateEx(Cardinal interval, TNotifyEvent onTimer) {
    return new TSimpleTimer(interval, std::move(onTimer));
  }

  // The timer's identifier towards the shared window.
  uintptr_t GetId() const noexcept { return id_; }
  bool GetEnabled() const noexcept { return enabled_; }
  // true is Start, false is Stop(true).
  void SetEnabled(bool value);
  Cardinal GetInterval() const noexcept { return interval_; }
  // A new interval restarts a running timer; 0 stops it but leaves it enabled, so a
  // later non-zero interval starts it again.
  void SetInterval(Cardinal value);
  // An empty handler stops a running timer (it stays enabled).
  void SetOnTimer(TNotifyEvent value);
  const TNotifyEvent& GetOnTimer() const noexcept { return onTimer_; }
  // With AutoDisable the timer stops (and is disabled) before each OnTimer.
  bool GetAutoDisable() const noexcept { return autoDisable_; }
  void SetAutoDisable(bool value) noexcept { autoDisable_ = value; }

  // Starts (again) with Interval; false when Interval is 0 or no timer could be had.
  bool Start();
  // Stops the platform's timer; with disable, Enabled goes false too.
  bool Stop(bool disable);

 private:
  friend class TSimpleTimerHandler;
  void Initialize(Cardinal interval, TNotifyEvent onTimer);

  uintptr_t id_ = 0;
  bool enabled_ = false;
  Cardinal interval_ = 0;
  bool autoDisable_ = false;
  TNotifyEvent onTimer_;
};
