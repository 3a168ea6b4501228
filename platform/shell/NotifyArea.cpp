#include <algorithm>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <vector>

#include "platform/shell/NotifyAreaPresenter.h"
#include "platform/shell/ShellApi.h"
#include "platform/shell/SimHooks.h"
#include "platform/win/Gdi.h"
#include "platform/win/Messages.h"
#include "platform/win/Window.h"

namespace {

// The shell holds a balloon at least this long and at most that long.
constexpr UINT kMinBalloonMs = 10000;
constexpr UINT kMaxBalloonMs = 30000;
// The area's icons stand in a row of this pitch from the screen's bottom right.
constexpr Integer kIconPitch = 20;

struct Icon {
  sim::TrayIcon state;
  uintptr_t balloonTimer = 0;  // the thread timer that ends the balloon
};

struct Area {
  std::mutex mutex;
  std::vector<Icon> icons;
  std::vector<sim::TrayIcon> balloons;
  bool refuse = false;
  larkshell::NotifyAreaPresenter* presenter = nullptr;
};

Area& TheArea() {
  static Area* area = new Area;  // lives to the end: timers may fire late
  return *area;
}

// A text from a fixed array that may lack its terminator.
std::string FieldText(const char* field, size_t size) {
  return std::string(field, strnlen(field, size));
}

Icon* FindIcon(Area& area, HWND owner, UINT id) {
  for (Icon& icon : area.icons) {
    if (icon.state.owner == owner && icon.state.id == id) return &icon;
  }
  return nullptr;
}

larkshell::NotifyIconView ViewOf(const sim::TrayIcon& s) {
  larkshell::NotifyIconView v;
  v.owner = s.owner;
  v.id = s.id;
  v.icon = s.icon;
  v.tip = s.tip;
  v.version = s.version;
  v.balloonShown = s.balloonShown;
  v.balloonTitle = s.balloonTitle;
  v.balloonText = s.balloonText;
  v.balloonFlags = s.balloonFlags;
  return v;
}

// Without a display's tray the balloons are told on the console.
void ShowOnConsole(const larkshell::NotifyIconView& icon) {
  if (!icon.balloonShown) return;
  std::fprintf(stderr, "%s%s%s\n", icon.balloonTitle.c_str(), icon.balloonTitle.empty() ? "" : ": ",
               icon.balloonText.c_str());
}

// What to tell after the lock is released: posts and the presenter's news.
struct Outbox {
  struct Post {
    HWND hWnd;
    UINT msg;
    WPARAM wParam;
    LPARAM lParam;
  };
  std::vector<Post> posts;
  std::vector<larkshell::NotifyIconView> changed;
  std::vector<std::pair<HWND, UINT>> removed;

  void Notify(const sim::TrayIcon& icon, LPARAM what) {
    if (icon.callbackMessage != 0) posts.push_back({icon.owner, icon.callbackMessage, icon.id, what});
  }
  void Send(larkshell::NotifyAreaPresenter* presenter) {
    for (const auto& p : posts) PostMessage(p.hWnd, p.msg, p.wParam, p.lParam);
    for (const auto& v : changed) {
      if (presenter) {
        presenter->IconChanged(v);
      } else {
        ShowOnConsole(v);
      }
    }
    for (const auto& [owner, id] : removed) {
      if (presenter) presenter->IconRemoved(owner, id);
    }
  }
};

void StopBalloonTimer(Icon& icon) {
  if (icon.balloonTimer != 0) KillTimer(0, icon.balloonTimer);
  icon.balloonTimer = 0;
}

void BalloonTimedOut(HWND, UINT, uintptr_t timerId, DWORD) {
  KillTimer(0, timerId);
  Area& area = TheArea();
  Outbox out;
  larkshell::NotifyAreaPresenter* presenter;
  {
    std::lock_guard<std::mutex> lock(area.mutex);
    presenter = area.presenter;
    for (Icon& icon : area.icons) {
      if (icon.balloonTimer != timerId) continue;
      icon.balloonTimer = 0;
      icon.state.balloonShown = false;
      out.Notify(icon.state, NIN_BALLOONTIMEOUT);
      out.changed.push_back(ViewOf(icon.state));
    }
  }
  out.Send(presenter);
}

void HideBalloon(Icon& icon, Outbox& out) {
  if (!icon.state.balloonShown) return;
  StopBalloonTimer(icon);
  icon.state.balloonShown = false;
  out.Notify(icon.state, NIN_BALLOONHIDE);
}

// Takes the fields the flags name; a balloon shows or hides.
void Apply(Area& area, Icon& icon, const NOTIFYICONDATAA& data, Outbox& out) {
  if (data.uFlags & NIF_MESSAGE) icon.state.callbackMessage = data.uCallbackMessage;
  if (data.uFlags & NIF_ICON) icon.state.icon = data.hIcon;
  if (data.uFlags & NIF_TIP) icon.state.tip = FieldText(data.szTip, sizeof data.szTip);
  if (data.uFlags & NIF_INFO) {
    const std::string text = FieldText(data.szInfo, sizeof data.szInfo);
    HideBalloon(icon, out);
    if (!text.empty()) {
      icon.state.balloonShown = true;
      icon.state.balloonText = text;
      icon.state.balloonTitle = FieldText(data.szInfoTitle, sizeof data.szInfoTitle);
      icon.state.balloonFlags = data.dwInfoFlags;
      icon.state.balloonTimeoutMs = std::clamp(data.uTimeout, kMinBalloonMs, kMaxBalloonMs);
      icon.balloonTimer = SetTimer(0, 0, icon.state.balloonTimeoutMs, BalloonTimedOut);
      area.balloons.push_back(icon.state);
      out.Notify(icon.state, NIN_BALLOONSHOW);
    }
  }
  out.changed.push_back(ViewOf(icon.state));
}

}  // namespace

BOOL Shell_NotifyIconA(DWORD message, NOTIFYICONDATAA* data) {
  if (data == nullptr || data->cbSize < sizeof(NOTIFYICONDATAA)) return FALSE;
  Area& area = TheArea();
  Outbox out;
  larkshell::NotifyAreaPresenter* presenter;
  {
    std::lock_guard<std::mutex> lock(area.mutex);
    presenter = area.presenter;
    if (area.refuse) return FALSE;
    Icon* icon = FindIcon(area, data->hWnd, data->uID);
    switch (message) {
      case NIM_ADD: {
        if (icon != nullptr || !IsWindow(data->hWnd)) return FALSE;
        Icon added;
        added.state.owner = data->hWnd;
        added.state.id = data->uID;
        area.icons.push_back(added);
        Apply(area, area.icons.back(), *data, out);
        break;
      }
      case NIM_MODIFY:
        if (icon == nullptr) return FALSE;
        Apply(area, *icon, *data, out);
        break;
      case NIM_DELETE:
        if (icon == nullptr) return FALSE;
        StopBalloonTimer(*icon);
        out.removed.emplace_back(icon->state.owner, icon->state.id);
        area.icons.erase(area.icons.begin() + (icon - area.icons.data()));
        break;
      case NIM_SETVERSION:
        if (icon == nullptr) return FALSE;
        icon->state.version = data->uVersion;
        out.changed.push_back(ViewOf(icon->state));
        break;
      default:
        return FALSE;
    }
  }
  out.Send(presenter);
  return TRUE;
}

namespace larkshell {

void SetNotifyAreaPresenter(NotifyAreaPresenter* presenter) {
  Area& area = TheArea();
  std::vector<NotifyIconView> shown;
  {
    std::lock_guard<std::mutex> lock(area.mutex);
    area.presenter = presenter;
    for (const Icon& icon : area.icons) shown.push_back(ViewOf(icon.state));
  }
  if (presenter) {
    for (const auto& v : shown) presenter->IconChanged(v);
  }
}

bool NotifyAreaPresented() {
  Area& area = TheArea();
  NotifyAreaPresenter* presenter;
  {
    std::lock_guard<std::mutex> lock(area.mutex);
    presenter = area.presenter;
  }
  // Asked outside the lock: the presenter may look at its display.
  return presenter != nullptr && presenter->ShowsIcons();
}

UINT NotifyAreaGoneMessage() {
  static const UINT message = RegisterWindowMessage("LarkNotifyAreaGone");
  return message;
}

void NotifyAreaGone() {
  EnumWindows(
      [](HWND hWnd, LPARAM) -> BOOL {
        PostMessage(hWnd, NotifyAreaGoneMessage(), 0, 0);
        return TRUE;
      },
      0);
}

bool NotifyAreaInput(HWND owner, UINT id, LPARAM what) {
  Area& area = TheArea();
  Outbox out;
  larkshell::NotifyAreaPresenter* presenter;
  {
    std::lock_guard<std::mutex> lock(area.mutex);
    presenter = area.presenter;
    Icon* icon = FindIcon(area, owner, id);
    if (icon == nullptr) return false;
    if (what == NIN_BALLOONUSERCLICK) {
      // A click on the balloon closes it.
      if (!icon->state.balloonShown) return false;
      StopBalloonTimer(*icon);
      icon->state.balloonShown = false;
      out.changed.push_back(ViewOf(icon->state));
    }
    out.Notify(icon->state, what);
  }
  out.Send(presenter);
  return true;
}

}  // namespace larkshell

namespace sim {

std::vector<TrayIcon> TrayIcons() {
  Area& area = TheArea();
  std::lock_guard<std::mutex> lock(area.mutex);
  std::vector<TrayIcon> list;
  for (const Icon& icon : area.icons) list.push_back(icon.state);
  return list;
}

bool FindTrayIcon(HWND owner, UINT id, TrayIcon* result) {
  Area& area = TheArea();
  std::lock_guard<std::mutex> lock(area.mutex);
  Icon* icon = FindIcon(area, owner, id);
  if (icon && result) *result = icon->state;
  return icon != nullptr;
}

std::vector<TrayIcon> ShownBalloons() {
  Area& area = TheArea();
  std::lock_guard<std::mutex> lock(area.mutex);
  return area.balloons;
}

POINT TrayIconPoint(HWND owner, UINT id) {
  Area& area = TheArea();
  std::lock_guard<std::mutex> lock(area.mutex);
  for (size_t i = 0; i < area.icons.size(); ++i) {
    if (area.icons[i].state.owner != owner || area.icons[i].state.id != id) continue;
    const Integer index = static_cast<Integer>(i);
    return POINT{GetSystemMetrics(SM_CXSCREEN) - kIconPitch * (index + 1) + kIconPitch / 2,
                 GetSystemMetrics(SM_CYSCREEN) - kIconPitch / 2};
  }
  return POINT{-1, -1};
}

void RefuseNotifyIcons(bool refuse) {
  Area& area = TheArea();
  std::lock_guard<std::mutex> lock(area.mutex);
  area.refuse = refuse;
}

void RestartNotificationArea() {
  Area& area = TheArea();
  {
    std::lock_guard<std::mutex> lock(area.mutex);
    for (Icon& icon : area.icons) StopBalloonTimer(icon);
    area.icons.clear();
  }
  static const UINT taskbarCreated = RegisterWindowMessage("TaskbarCreated");
  EnumWindows(
      [](HWND hWnd, LPARAM) -> BOOL {
        PostMessage(hWnd, taskbarCreated, 0, 0);
        return TRUE;
      },
      0);
}

void ResetNotificationArea() {
  Area& area = TheArea();
  std::lock_guard<std::mutex> lock(area.mutex);
  for (Icon& icon : area.icons) StopBalloonTimer(icon);
  area.icons.clear();
  area.balloons.clear();
  area.refuse = false;
}

}  // namespace sim
