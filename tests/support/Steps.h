// Steps posted to a hidden window and run when the message loop reaches them, so that
// a test can act from inside a modal loop (a dialog's, a message box's).
#pragma once

#include <functional>
#include <map>

#include "platform/vcl/Forms.h"
#include "platform/win/Window.h"

namespace larktest {

class Steps {
 public:
  Steps() {
    window_ = AllocateHWnd([this](TMessage& m) {
      if (m.Msg < WM_USER) return;
      auto it = steps_.find(static_cast<int>(m.Msg - WM_USER));
      if (it != steps_.end()) it->second();
    });
  }
  ~Steps() { DeallocateHWnd(window_); }
  Steps(const Steps&) = delete;
  Steps& operator=(const Steps&) = delete;
  void On(int step, std::function<void()> action) { steps_[step] = std::move(action); }
  void Post(int step) { PostMessage(window_, WM_USER + static_cast<UINT>(step), 0, 0); }

 private:
  HWND window_ = 0;
  std::map<int, std::function<void()>> steps_;
};

}  // namespace larktest
