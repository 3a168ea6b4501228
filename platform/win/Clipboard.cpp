#include "platform/win/Clipboard.h"

#include <map>
#include <mutex>
#include <thread>

namespace {

struct ClipboardState {
  std::mutex mutex;
  std::map<UINT, HGLOBAL> blocks;
  std::thread::id openedBy;
  bool open = false;
};

ClipboardState& State() {
  static ClipboardState state;
  return state;
}

bool OpenHere(const ClipboardState& state) {
  return state.open && state.openedBy == std::this_thread::get_id();
}

}  // namespace

BOOL OpenClipboard(HWND) {
  ClipboardState& s = State();
  std::lock_guard<std::mutex> lock(s.mutex);
  if (s.open && s.openedBy != std::this_thread::get_id()) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  s.open = true;
  s.openedBy = std::this_thread::get_id();
  return TRUE;
}

BOOL CloseClipboard() {
  ClipboardState& s = State();
  std::lock_guard<std::mutex> lock(s.mutex);
  if (!OpenHere(s)) return FALSE;
  s.open = false;
  s.openedBy = {};
  return TRUE;
}

BOOL EmptyClipboard() {
  ClipboardState& s = State();
  std::lock_guard<std::mutex> lock(s.mutex);
  if (!OpenHere(s)) return FALSE;
  for (auto& [format, block] : s.blocks) GlobalFree(block);
  s.blocks.clear();
  return TRUE;
}

HANDLE SetClipboardData(UINT format, HANDLE mem) {
  ClipboardState& s = State();
  std::lock_guard<std::mutex> lock(s.mutex);
  if (!OpenHere(s)) return 0;
  if (GlobalLock(mem) == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  GlobalUnlock(mem);
  auto it = s.blocks.find(format);
  if (it != s.blocks.end() && it->second != mem) GlobalFree(it->second);
  s.blocks[format] = mem;
  return mem;
}

HANDLE GetClipboardData(UINT format) {
  ClipboardState& s = State();
  std::lock_guard<std::mutex> lock(s.mutex);
  if (!OpenHere(s)) return 0;
  auto it = s.blocks.find(format);
  return it == s.blocks.end() ? 0 : it->second;
}

BOOL IsClipboardFormatAvailable(UINT format) {
  ClipboardState& s = State();
  std::lock_guard<std::mutex> lock(s.mutex);
  return s.blocks.count(format) != 0 ? TRUE : FALSE;
}
