#include "platform/ole/OleHost.h"

#include <algorithm>
#include <map>
#include <mutex>
#include <vector>

#include "platform/rtl/NoDestructor.h"
#include "platform/win/Input.h"

HRESULT OleSetMenuDescriptor(HOLEMENU descriptor, HWND frame, HWND /*activeObject*/,
                             IOleInPlaceFrame* /*frameObject*/, IOleInPlaceActiveObject* /*activeObjectObject*/) {
  if (descriptor != 0 && frame == 0) return E_INVALIDARG;
  return S_OK;
}

HRESULT OleDraw(IUnknown* object, DWORD aspect, HDC dc, const RECT* bounds) {
  if (object == nullptr || bounds == nullptr) return E_INVALIDARG;
  ComPtr<IViewObject> view;
  const HRESULT hr = object->QueryInterface(IID_IViewObject, view.ReleaseAndGetVoidAddress());
  if (FAILED(hr)) return hr;
  const RECTL rect{bounds->left, bounds->top, bounds->right, bounds->bottom};
  return view->Draw(aspect, -1, nullptr, nullptr, 0, dc, &rect, nullptr, nullptr, 0);
}

namespace {

// Message numbers the window layer names elsewhere.
constexpr UINT kSysKeyDown = 0x0104;
constexpr UINT kSysChar = 0x0106;

struct Tables {
  std::mutex mutex;
  std::map<HACCEL, std::vector<ACCEL>> tables;
  HACCEL next = 0x30000;
};

Tables& GetTables() {
  static NoDestructor<Tables> tables;
  return *tables;
}

}  // namespace

HACCEL CreateAcceleratorTable(const ACCEL* entries, int count) {
  if (entries == nullptr || count < 1) return 0;
  Tables& t = GetTables();
  std::lock_guard<std::mutex> lock(t.mutex);
  const HACCEL handle = t.next;
  t.next += 4;
  t.tables.emplace(handle, std::vector<ACCEL>(entries, entries + count));
  return handle;
}

BOOL DestroyAcceleratorTable(HACCEL table) {
  Tables& t = GetTables();
  std::lock_guard<std::mutex> lock(t.mutex);
  return t.tables.erase(table) > 0 ? TRUE : FALSE;
}

BOOL IsAccelerator(HACCEL table, int count, MSG* msg, Word* command) {
  if (table == 0 || count < 1 || msg == nullptr) return FALSE;
  Tables& t = GetTables();
  std::lock_guard<std::mutex> lock(t.mutex);
  const auto it = t.tables.find(table);
  if (it == t.tables.end()) return FALSE;
  const bool keyDown = msg->message == WM_KEYDOWN || msg->message == kSysKeyDown;
  const bool character = msg->message == WM_CHAR || msg->message == kSysChar;
  if (!keyDown && !character) return FALSE;
  const bool alt = (static_cast<uintptr_t>(msg->lParam) & 0x20000000u) != 0;
  // Shift and Ctrl as they were when this thread took the message; they matter only to
  // virtual-key entries (a character already carries its shift).
  const bool shift = GetKeyState(VK_SHIFT) < 0;
  const bool control = GetKeyState(VK_CONTROL) < 0;
  const size_t n = std::min<size_t>(static_cast<size_t>(count), it->second.size());
  for (size_t i = 0; i < n; ++i) {
    const ACCEL& a = it->second[i];
    const bool virtualKey = (a.fVirt & FVIRTKEY) != 0;
    if (virtualKey != keyDown || a.key != msg->wParam) continue;
    if (((a.fVirt & FALT) != 0) != alt) continue;
    if (virtualKey && (((a.fVirt & FSHIFT) != 0) != shift || ((a.fVirt & FCONTROL) != 0) != control)) continue;
    if (command) *command = a.cmd;
    return TRUE;
  }
  return FALSE;
}
