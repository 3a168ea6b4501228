#include "platform/win/Clipboard.h"

#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <thread>

#include "platform/win/ClipboardBridge.h"

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

std::mutex gBridgeMutex;
larkwin::ClipboardBridge* gBridge = nullptr;

// The text of a CF_TEXT block, up to its terminating zero.
std::string TextOf(HGLOBAL block) {
  const auto* text = static_cast<const char*>(GlobalLock(block));
  if (text == nullptr) return {};
  const size_t size = GlobalSize(block);
  const std::string result(text, strnlen(text, size));
  GlobalUnlock(block);
  return result;
}

// Another program's text, when it holds the display's clipboard, takes the place of
// what this process put there.
void TakeOutsideText() {
  std::string text;
  {
    std::lock_guard<std::mutex> lock(gBridgeMutex);
    if (gBridge == nullptr || !gBridge->TextFromOutside(&text)) return;
  }
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
  if (block == 0) return;
  auto* to = static_cast<char*>(GlobalLock(block));
  std::memcpy(to, text.c_str(), text.size() + 1);
  GlobalUnlock(block);
  ClipboardState& s = State();
  std::lock_guard<std::mutex> lock(s.mutex);
  auto it = s.blocks.find(CF_TEXT);
  if (it != s.blocks.end()) GlobalFree(it->second);
  s.blocks[CF_TEXT] = block;
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
  if (format == CF_TEXT) {
    std::lock_guard<std::mutex> bridgeLock(gBridgeMutex);
    if (gBridge != nullptr) gBridge->TextPut(TextOf(mem));
  }
  return mem;
}

HANDLE GetClipboardData(UINT format) {
  ClipboardState& s = State();
  {
    std::lock_guard<std::mutex> lock(s.mutex);
    if (!OpenHere(s)) return 0;
  }
  if (format == CF_TEXT) TakeOutsideText();
  std::lock_guard<std::mutex> lock(s.mutex);
  auto it = s.blocks.find(format);
  return it == s.blocks.end() ? 0 : it->second;
}

BOOL IsClipboardFormatAvailable(UINT format) {
  if (format == CF_TEXT) TakeOutsideText();
  ClipboardState& s = State();
  std::lock_guard<std::mutex> lock(s.mutex);
  return s.blocks.count(format) != 0 ? TRUE : FALSE;
}

namespace larkwin {

void SetClipboardBridge(ClipboardBridge* bridge) {
  std::lock_guard<std::mutex> lock(gBridgeMutex);
  gBridge = bridge;
}

}  // namespace larkwin
