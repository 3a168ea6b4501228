// Where the shell's stand-ins ask the simulated world, and what they show of
// themselves to it: the icons of the notification area, the balloons shown, a refusal
// mode, a restart of the area, and the files and addresses handed to "open". Tests
// drive these through platform/sim (Tray.h); the system's own code never includes
// this header.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/win/WinTypes.h"

namespace sim {

// --- The notification area (platform/shell/ShellApi.h) ---

struct TrayIcon {
  HWND owner = 0;
  UINT id = 0;
  UINT callbackMessage = 0;
  HICON icon = 0;
  std::string tip;
  UINT version = 0;
  bool balloonShown = false;
  std::string balloonTitle;
  std::string balloonText;
  DWORD balloonFlags = 0;
  // The balloon's time-out as the area holds it (10 to 30 seconds).
  UINT balloonTimeoutMs = 0;
};

// The icons in the order they were added.
std::vector<TrayIcon> TrayIcons();
// Whether the owner has that icon, and a copy of it.
bool FindTrayIcon(HWND owner, UINT id, TrayIcon* icon);
// Every balloon shown since the area was last reset, oldest first.
std::vector<TrayIcon> ShownBalloons();
// Where the icon stands on the screen (the area lies along the screen's bottom right);
// (-1, -1) for an unknown icon.
POINT TrayIconPoint(HWND owner, UINT id);
// While set, Shell_NotifyIcon answers FALSE and changes nothing (no shell runs).
void RefuseNotifyIcons(bool refuse = true);
// The area starts again: its icons go and every top-level window is posted the
// "TaskbarCreated" message.
void RestartNotificationArea();
// No icons, no balloons, no refusal.
void ResetNotificationArea();

// --- ShellExecute (platform/shell/ShellApi.h) ---

struct ShellExecuteCall {
  HWND hWnd = 0;
  std::string operation;
  std::string file;
  std::string parameters;
  std::string directory;
  Integer showCmd = 0;
};

// While recording (tests record from the start), ShellExecute runs nothing: the call
// is kept and answered with the result set here (42 unless changed).
void RecordShellExecute(bool record = true, intptr_t result = 42);
std::vector<ShellExecuteCall> ShellExecuteCalls();
void ClearShellExecuteCalls();

}  // namespace sim
