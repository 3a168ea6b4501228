// The framework's timer component: OnTimer every Interval milliseconds while Enabled,
// driven by WM_TIMER on a hidden window of its own.
#pragma once

#include "platform/rtl/Component.h"
#include "platform/win/WinTypes.h"

class TTimer : public TComponent {
 public:
  LARK_CLASS_NAME(TTimer)
  explicit TTimer(TComponent* owner);
  ~TTimer() override;

  bool GetEnabled() const { return enabled_; }
  void SetEnabled(bool value);
  Cardinal GetInterval() const { return interval_; }
  void SetInterval(Cardinal value);
  const TNotifyEvent& GetOnTimer() const { return onTimer_; }
  void SetOnTimer(TNotifyEvent value);

 protected:
  // Fires OnTimer.
  virtual void Timer();

 private:
  // The platform timer runs only while Enabled, Interval > 0 and OnTimer is assigned.
  void UpdateTimer();
  void WndProc(TMessage& msg);

  HWND window_ = 0;
  bool enabled_ = true;
  Cardinal interval_ = 1000;
  TNotifyEvent onTimer_;
};
