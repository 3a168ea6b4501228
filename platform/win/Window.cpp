// The window registry: classes, window records, creation and destruction.
#include "platform/win/Window.h"

#include <unistd.h>

#include <cstring>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/win/MessageQueue.h"

namespace larkwin {

namespace {

// Extra bytes a class may ask for, per class and per window.
constexpr Integer kMaxExtraBytes = 4096;
constexpr const char* kUtilWindowClass = "TPUtilWindow";

using WindowMethod = std::function<void(TMessage&)>;

struct ClassRec {
  ATOM atom = 0;
  std::string name;  // as registered
  WNDCLASS wc;
  Integer windows = 0;
};

struct WindowRec {
  HWND hwnd = 0;
  DWORD threadId = 0;
  std::weak_ptr<MessageQueue> queue;
  std::shared_ptr<ClassRec> cls;
  WNDPROC proc = nullptr;
  DWORD style = 0;
  DWORD exStyle = 0;
  LONG_PTR id = 0;
  LONG_PTR userData = 0;
  HWND parent = 0;
  std::vector<HWND> children;
  std::string text;
  std::vector<unsigned char> extra;
  RECT rect;
  bool destroying = false;
  // AllocateHWnd's method; shared so that a call in progress keeps it alive.
  std::shared_ptr<WindowMethod> method;
};

// Everything in the registry is guarded by its mutex. The mutex is never held while a
// window procedure runs, nor while a queue mutex is taken (queue code may take this
// one while holding its own).
struct Registry {
  std::mutex mutex;
  std::unordered_map<std::string, std::shared_ptr<ClassRec>> classes;  // by lower-case name
  std::unordered_map<HWND, std::shared_ptr<WindowRec>> windows;
  HWND nextHandle = 0x10010;
};

Registry& Reg() {
  static NoDestroy<Registry> registry;
  return registry.Get();
}

std::string Lower(const char* s) {
  std::string key(s);
  for (char& c : key) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return key;
}

bool IsAtomName(const char* name) { return reinterpret_cast<uintptr_t>(name) < 0x10000; }

std::shared_ptr<ClassRec> FindClassLocked(Registry& reg, const char* name) {
  if (name == nullptr) return nullptr;
  if (IsAtomName(name)) {
    const ATOM atom = static_cast<ATOM>(reinterpret_cast<uintptr_t>(name));
    for (auto& [key, cls] : reg.classes) {
      if (cls->atom == atom) return cls;
    }
    return nullptr;
  }
  auto it = reg.classes.find(Lower(name));
  return it == reg.classes.end() ? nullptr : it->second;
}

std::shared_ptr<WindowRec> FindLocked(Registry& reg, HWND hWnd) {
  auto it = reg.windows.find(hWnd);
  return it == reg.windows.end() ? nullptr : it->second;
}

std::shared_ptr<WindowRec> Find(HWND hWnd) {
  Registry& reg = Reg();
  std::lock_guard<std::mutex> lock(reg.mutex);
  return FindLocked(reg, hWnd);
}

// Takes a window out of the registry; answers its method so the caller can let it go
// outside the lock.
std::shared_ptr<WindowMethod> RemoveLocked(Registry& reg, const std::shared_ptr<WindowRec>& rec) {
  reg.windows.erase(rec->hwnd);
  if (auto parent = FindLocked(reg, rec->parent)) std::erase(parent->children, rec->hwnd);
  for (HWND child : rec->children) {
    if (auto c = FindLocked(reg, child)) c->parent = 0;
  }
  rec->children.clear();
  rec->cls->windows--;
  return std::move(rec->method);
}

void Remove(const std::shared_ptr<WindowRec>& rec) {
  std::shared_ptr<WindowMethod> method;
  {
    Registry& reg = Reg();
    std::lock_guard<std::mutex> lock(reg.mutex);
    if (FindLocked(reg, rec->hwnd) != rec) return;
    method = RemoveLocked(reg, rec);
  }
  if (auto queue = rec->queue.lock()) PurgeWindow(*queue, rec->hwnd);
}

// Marks a window as being destroyed; false when it already is (or is gone).
bool BeginDestroy(const std::shared_ptr<WindowRec>& rec) {
  Registry& reg = Reg();
  std::lock_guard<std::mutex> lock(reg.mutex);
  if (rec->destroying || FindLocked(reg, rec->hwnd) != rec) return false;
  rec->destroying = true;
  rec->style &= ~WS_VISIBLE;
  return true;
}

void DestroyTree(const std::shared_ptr<WindowRec>& rec) {
  const HWND hWnd = rec->hwnd;
  SendMessage(hWnd, WM_DESTROY, 0, 0);
  std::vector<HWND> children;
  {
    Registry& reg = Reg();
    std::lock_guard<std::mutex> lock(reg.mutex);
    children = rec->children;
  }
  for (HWND child : children) {
    auto c = Find(child);
    if (c && BeginDestroy(c)) DestroyTree(c);
  }
  SendMessage(hWnd, WM_NCDESTROY, 0, 0);
  Remove(rec);
}

LRESULT UtilWindowProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  std::shared_ptr<WindowMethod> method;
  {
    Registry& reg = Reg();
    std::lock_guard<std::mutex> lock(reg.mutex);
    if (auto rec = FindLocked(reg, hWnd)) method = rec->method;
  }
  if (!method || !*method) return DefWindowProc(hWnd, msg, wParam, lParam);
  TMessage message;
  message.Msg = msg;
  message.WParam = wParam;
  message.LParam = lParam;
  (*method)(message);
  return message.Result;
}

enum class LongSize { Bits32, Pointer };

LONG_PTR ReadLong(HWND hWnd, Integer index, LongSize size) {
  Registry& reg = Reg();
  std::lock_guard<std::mutex> lock(reg.mutex);
  auto rec = FindLocked(reg, hWnd);
  if (!rec) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  switch (index) {
    case GWL_WNDPROC:
      return reinterpret_cast<LONG_PTR>(rec->proc);
    case GWL_ID:
      return rec->id;
    case GWL_STYLE:
      return static_cast<int32_t>(rec->style);
    case GWL_EXSTYLE:
      return static_cast<int32_t>(rec->exStyle);
    case GWL_USERDATA:
      return rec->userData;
    default:
      break;
  }
  const size_t bytes = size == LongSize::Bits32 ? sizeof(int32_t) : sizeof(LONG_PTR);
  if (index < 0 || static_cast<size_t>(index) + bytes > rec->extra.size()) {
    SetLastError(ERROR_INVALID_INDEX);
    return 0;
  }
  if (size == LongSize::Bits32) {
    int32_t v;
    std::memcpy(&v, rec->extra.data() + index, sizeof v);
    return v;
  }
  LONG_PTR v;
  std::memcpy(&v, rec->extra.data() + index, sizeof v);
  return v;
}

LONG_PTR WriteLong(HWND hWnd, Integer index, LONG_PTR value, LongSize size) {
  Registry& reg = Reg();
  std::lock_guard<std::mutex> lock(reg.mutex);
  auto rec = FindLocked(reg, hWnd);
  if (!rec) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  LONG_PTR old = 0;
  switch (index) {
    case GWL_WNDPROC:
      if (value == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
      }
      old = reinterpret_cast<LONG_PTR>(rec->proc);
      rec->proc = reinterpret_cast<WNDPROC>(value);
      return old;
    case GWL_ID:
      old = rec->id;
      rec->id = value;
      return old;
    case GWL_STYLE:
      old = static_cast<int32_t>(rec->style);
      rec->style = static_cast<DWORD>(value);
      return old;
    case GWL_EXSTYLE:
      old = static_cast<int32_t>(rec->exStyle);
      rec->exStyle = static_cast<DWORD>(value);
      return old;
    case GWL_USERDATA:
      old = rec->userData;
      rec->userData = value;
      return old;
    default:
      break;
  }
  const size_t bytes = size == LongSize::Bits32 ? sizeof(int32_t) : sizeof(LONG_PTR);
  if (index < 0 || static_cast<size_t>(index) + bytes > rec->extra.size()) {
    SetLastError(ERROR_INVALID_INDEX);
    return 0;
  }
  unsigned char* at = rec->extra.data() + index;
  if (size == LongSize::Bits32) {
    int32_t prev;
    std::memcpy(&prev, at, sizeof prev);
    const int32_t v = static_cast<int32_t>(value);
    std::memcpy(at, &v, sizeof v);
    return prev;
  }
  std::memcpy(&old, at, sizeof old);
  std::memcpy(at, &value, sizeof value);
  return old;
}

}  // namespace

bool GetWindowOwner(HWND hWnd, WindowOwner* owner) {
  auto rec = Find(hWnd);
  if (!rec) return false;
  owner->queue = rec->queue.lock();
  owner->threadId = rec->threadId;
  return owner->queue != nullptr;
}

LRESULT CallWindowProcedure(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam, bool* found) {
  WNDPROC proc = nullptr;
  {
    Registry& reg = Reg();
    std::lock_guard<std::mutex> lock(reg.mutex);
    auto rec = FindLocked(reg, hWnd);
    if (rec) proc = rec->proc;
  }
  *found = proc != nullptr;
  if (proc == nullptr) return 0;
  return proc(hWnd, msg, wParam, lParam);
}

bool IsSelfOrDescendant(HWND window, HWND ancestor) {
  Registry& reg = Reg();
  std::lock_guard<std::mutex> lock(reg.mutex);
  for (HWND h = window; h != 0;) {
    if (h == ancestor) return true;
    auto rec = FindLocked(reg, h);
    if (!rec) return false;
    h = rec->parent;
  }
  return false;
}

void ForgetThreadWindows(DWORD threadId) {
  std::vector<std::shared_ptr<WindowMethod>> methods;
  {
    Registry& reg = Reg();
    std::lock_guard<std::mutex> lock(reg.mutex);
    std::vector<std::shared_ptr<WindowRec>> owned;
    for (auto& [h, rec] : reg.windows) {
      if (rec->threadId == threadId) owned.push_back(rec);
    }
    for (auto& rec : owned) methods.push_back(RemoveLocked(reg, rec));
  }
}

}  // namespace larkwin

using larkwin::Reg;
using larkwin::Registry;

ATOM RegisterClass(const WNDCLASS* wndClass) {
  if (wndClass == nullptr || wndClass->lpfnWndProc == nullptr ||
      wndClass->lpszClassName == nullptr || larkwin::IsAtomName(wndClass->lpszClassName) ||
      *wndClass->lpszClassName == '\0' || wndClass->cbWndExtra < 0 ||
      wndClass->cbWndExtra > larkwin::kMaxExtraBytes || wndClass->cbClsExtra < 0 ||
      wndClass->cbClsExtra > larkwin::kMaxExtraBytes) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const ATOM atom = larkwin::AddAtomName(wndClass->lpszClassName);
  if (atom == 0) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return 0;
  }
  auto cls = std::make_shared<larkwin::ClassRec>();
  cls->atom = atom;
  cls->name = wndClass->lpszClassName;
  cls->wc = *wndClass;
  cls->wc.lpszClassName = nullptr;  // filled in by GetClassInfo from name
  cls->wc.lpszMenuName = nullptr;
  Registry& reg = Reg();
  std::lock_guard<std::mutex> lock(reg.mutex);
  auto [it, added] = reg.classes.emplace(larkwin::Lower(wndClass->lpszClassName), cls);
  if (!added) {
    SetLastError(ERROR_CLASS_ALREADY_EXISTS);
    return 0;
  }
  return atom;
}

BOOL UnregisterClass(const char* className, HINSTANCE /*instance*/) {
  Registry& reg = Reg();
  std::lock_guard<std::mutex> lock(reg.mutex);
  auto cls = larkwin::FindClassLocked(reg, className);
  if (!cls) {
    SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
    return FALSE;
  }
  if (cls->windows > 0) {
    SetLastError(ERROR_CLASS_HAS_WINDOWS);
    return FALSE;
  }
  reg.classes.erase(larkwin::Lower(cls->name.c_str()));
  return TRUE;
}

BOOL GetClassInfo(HINSTANCE /*instance*/, const char* className, WNDCLASS* wndClass) {
  Registry& reg = Reg();
  std::lock_guard<std::mutex> lock(reg.mutex);
  auto cls = larkwin::FindClassLocked(reg, className);
  if (!cls) {
    SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
    return FALSE;
  }
  if (wndClass != nullptr) {
    *wndClass = cls->wc;
    // The class record outlives any use of the name while the class is registered.
    wndClass->lpszClassName = cls->name.c_str();
  }
  return TRUE;
}

HWND CreateWindowEx(DWORD exStyle, const char* className, const char* windowName, DWORD style,
                    Integer x, Integer y, Integer width, Integer height, HWND parent, HMENU menu,
                    HINSTANCE instance, void* param) {
  std::shared_ptr<larkwin::MessageQueue> queue = larkwin::CurrentQueue();
  auto rec = std::make_shared<larkwin::WindowRec>();
  {
    Registry& reg = Reg();
    std::lock_guard<std::mutex> lock(reg.mutex);
    rec->cls = larkwin::FindClassLocked(reg, className);
    if (!rec->cls) {
      SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
      return 0;
    }
    if (parent != 0) {
      auto p = larkwin::FindLocked(reg, parent);
      if (!p || p->destroying) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
      }
      p->children.push_back(reg.nextHandle);
    } else if (style & WS_CHILD) {
      SetLastError(ERROR_TLW_WITH_WSCHILD);
      return 0;
    }
    rec->hwnd = reg.nextHandle;
    reg.nextHandle += 4;
    rec->threadId = queue->ThreadId();
    rec->queue = queue;
    rec->proc = rec->cls->wc.lpfnWndProc;
    rec->style = style;
    rec->exStyle = exStyle;
    rec->id = (style & WS_CHILD) ? static_cast<LONG_PTR>(menu) : 0;
    rec->parent = parent;
    rec->extra.assign(static_cast<size_t>(rec->cls->wc.cbWndExtra), 0);
    const auto coord = [](Integer v) { return v == CW_USEDEFAULT ? 0 : v; };
    rec->rect.left = coord(x);
    rec->rect.top = coord(y);
    rec->rect.right = rec->rect.left + coord(width);
    rec->rect.bottom = rec->rect.top + coord(height);
    rec->cls->windows++;
    reg.windows.emplace(rec->hwnd, rec);
  }
  const HWND hWnd = rec->hwnd;
  CREATESTRUCT cs;
  cs.lpCreateParams = param;
  cs.hInstance = instance;
  cs.hMenu = menu;
  cs.hwndParent = parent;
  cs.cy = height;
  cs.cx = width;
  cs.y = y;
  cs.x = x;
  cs.style = static_cast<int32_t>(style);
  cs.lpszName = windowName;
  cs.lpszClass = className;
  cs.dwExStyle = exStyle;
  const LPARAM csParam = reinterpret_cast<LPARAM>(&cs);
  try {
    if (!SendMessage(hWnd, WM_NCCREATE, 0, csParam)) {
      // Refused before it existed: only WM_NCDESTROY follows.
      if (larkwin::BeginDestroy(rec)) {
        SendMessage(hWnd, WM_NCDESTROY, 0, 0);
        larkwin::Remove(rec);
      }
      return 0;
    }
    if (SendMessage(hWnd, WM_CREATE, 0, csParam) == -1) {
      DestroyWindow(hWnd);
      return 0;
    }
  } catch (...) {
    larkwin::Remove(rec);
    throw;
  }
  return IsWindow(hWnd) ? hWnd : 0;
}

BOOL DestroyWindow(HWND hWnd) {
  auto rec = larkwin::Find(hWnd);
  if (!rec) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  if (rec->threadId != GetCurrentThreadId()) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  // Destroying a window that is already on its way out (from its WM_DESTROY) is a no-op.
  if (!larkwin::BeginDestroy(rec)) return FALSE;
  larkwin::DestroyTree(rec);
  return TRUE;
}

BOOL IsWindow(HWND hWnd) {
  if (hWnd == 0) return FALSE;
  return larkwin::Find(hWnd) ? TRUE : FALSE;
}

LRESULT DefWindowProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_NCCREATE: {
      const auto* cs = reinterpret_cast<const CREATESTRUCT*>(lParam);
      if (cs != nullptr && cs->lpszName != nullptr) {
        Registry& reg = Reg();
        std::lock_guard<std::mutex> lock(reg.mutex);
        if (auto rec = larkwin::FindLocked(reg, hWnd)) rec->text = cs->lpszName;
      }
      return TRUE;
    }
    case WM_SETTEXT: {
      Registry& reg = Reg();
      std::lock_guard<std::mutex> lock(reg.mutex);
      auto rec = larkwin::FindLocked(reg, hWnd);
      if (!rec) return FALSE;
      const char* text = reinterpret_cast<const char*>(lParam);
      rec->text = text != nullptr ? text : "";
      return TRUE;
    }
    case WM_GETTEXT: {
      char* buffer = reinterpret_cast<char*>(lParam);
      if (buffer == nullptr || wParam == 0) return 0;
      Registry& reg = Reg();
      std::lock_guard<std::mutex> lock(reg.mutex);
      auto rec = larkwin::FindLocked(reg, hWnd);
      if (!rec) {
        buffer[0] = '\0';
        return 0;
      }
      const size_t n = std::min<size_t>(rec->text.size(), wParam - 1);
      std::memcpy(buffer, rec->text.data(), n);
      buffer[n] = '\0';
      return static_cast<LRESULT>(n);
    }
    case WM_GETTEXTLENGTH: {
      Registry& reg = Reg();
      std::lock_guard<std::mutex> lock(reg.mutex);
      auto rec = larkwin::FindLocked(reg, hWnd);
      return rec ? static_cast<LRESULT>(rec->text.size()) : 0;
    }
    case WM_CLOSE:
      DestroyWindow(hWnd);
      return 0;
    case WM_QUERYENDSESSION:
      return TRUE;
    default:
      return 0;
  }
}

LRESULT CallWindowProc(WNDPROC prevProc, HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (prevProc == nullptr) return 0;
  return prevProc(hWnd, msg, wParam, lParam);
}

LONG_PTR GetWindowLong(HWND hWnd, Integer index) {
  return larkwin::ReadLong(hWnd, index, larkwin::LongSize::Bits32);
}

LONG_PTR SetWindowLong(HWND hWnd, Integer index, LONG_PTR value) {
  return larkwin::WriteLong(hWnd, index, value, larkwin::LongSize::Bits32);
}

LONG_PTR GetWindowLongPtr(HWND hWnd, Integer index) {
  return larkwin::ReadLong(hWnd, index, larkwin::LongSize::Pointer);
}

LONG_PTR SetWindowLongPtr(HWND hWnd, Integer index, LONG_PTR value) {
  return larkwin::WriteLong(hWnd, index, value, larkwin::LongSize::Pointer);
}

DWORD GetWindowThreadProcessId(HWND hWnd, DWORD* processId) {
  auto rec = larkwin::Find(hWnd);
  if (!rec) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  if (processId != nullptr) *processId = static_cast<DWORD>(getpid());
  return rec->threadId;
}

HWND GetParent(HWND hWnd) {
  Registry& reg = Reg();
  std::lock_guard<std::mutex> lock(reg.mutex);
  auto rec = larkwin::FindLocked(reg, hWnd);
  if (!rec) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  return rec->parent;
}

HWND SetParent(HWND child, HWND newParent) {
  Registry& reg = Reg();
  std::lock_guard<std::mutex> lock(reg.mutex);
  auto rec = larkwin::FindLocked(reg, child);
  if (!rec) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  std::shared_ptr<larkwin::WindowRec> parentRec;
  if (newParent != 0) {
    parentRec = larkwin::FindLocked(reg, newParent);
    if (!parentRec) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return 0;
    }
    for (HWND h = newParent; h != 0;) {
      if (h == child) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
      }
      auto up = larkwin::FindLocked(reg, h);
      h = up ? up->parent : 0;
    }
  }
  const HWND old = rec->parent;
  if (auto oldRec = larkwin::FindLocked(reg, old)) std::erase(oldRec->children, child);
  rec->parent = newParent;
  if (parentRec) parentRec->children.push_back(child);
  return old;
}

BOOL SetWindowText(HWND hWnd, const char* text) {
  if (!IsWindow(hWnd)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  return SendMessage(hWnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text)) ? TRUE : FALSE;
}

Integer GetWindowText(HWND hWnd, char* buffer, Integer maxCount) {
  if (buffer == nullptr || maxCount <= 0) return 0;
  buffer[0] = '\0';
  if (!IsWindow(hWnd)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  return static_cast<Integer>(SendMessage(hWnd, WM_GETTEXT, static_cast<WPARAM>(maxCount),
                                          reinterpret_cast<LPARAM>(buffer)));
}

BOOL ShowWindow(HWND hWnd, Integer cmdShow) {
  auto rec = larkwin::Find(hWnd);
  if (!rec) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  bool wasVisible;
  {
    Registry& reg = Reg();
    std::lock_guard<std::mutex> lock(reg.mutex);
    wasVisible = (rec->style & WS_VISIBLE) != 0;
  }
  const bool show = cmdShow != SW_HIDE;
  if (show == wasVisible) return wasVisible ? TRUE : FALSE;
  SendMessage(hWnd, WM_SHOWWINDOW, show ? TRUE : FALSE, 0);
  {
    Registry& reg = Reg();
    std::lock_guard<std::mutex> lock(reg.mutex);
    if (show) {
      rec->style |= WS_VISIBLE;
    } else {
      rec->style &= ~WS_VISIBLE;
    }
  }
  return wasVisible ? TRUE : FALSE;
}

BOOL IsWindowVisible(HWND hWnd) {
  Registry& reg = Reg();
  std::lock_guard<std::mutex> lock(reg.mutex);
  for (auto rec = larkwin::FindLocked(reg, hWnd); rec;) {
    if (!(rec->style & WS_VISIBLE)) return FALSE;
    if (!(rec->style & WS_CHILD) || rec->parent == 0) return TRUE;
    rec = larkwin::FindLocked(reg, rec->parent);
  }
  return FALSE;
}

BOOL EnableWindow(HWND hWnd, BOOL enable) {
  auto rec = larkwin::Find(hWnd);
  if (!rec) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  bool wasDisabled;
  {
    Registry& reg = Reg();
    std::lock_guard<std::mutex> lock(reg.mutex);
    wasDisabled = (rec->style & WS_DISABLED) != 0;
    if (enable) {
      rec->style &= ~WS_DISABLED;
    } else {
      rec->style |= WS_DISABLED;
    }
  }
  if (wasDisabled == !enable) return wasDisabled ? TRUE : FALSE;
  SendMessage(hWnd, WM_ENABLE, enable ? TRUE : FALSE, 0);
  return wasDisabled ? TRUE : FALSE;
}

BOOL IsWindowEnabled(HWND hWnd) {
  Registry& reg = Reg();
  std::lock_guard<std::mutex> lock(reg.mutex);
  auto rec = larkwin::FindLocked(reg, hWnd);
  return rec && !(rec->style & WS_DISABLED) ? TRUE : FALSE;
}

HWND AllocateHWnd(std::function<void(TMessage&)> method) {
  static std::once_flag registered;
  std::call_once(registered, [] {
    WNDCLASS wc;
    wc.lpfnWndProc = larkwin::UtilWindowProc;
    wc.lpszClassName = larkwin::kUtilWindowClass;
    RegisterClass(&wc);
  });
  const HWND hWnd = CreateWindowEx(WS_EX_TOOLWINDOW, larkwin::kUtilWindowClass, "", WS_POPUP, 0, 0,
                                   0, 0, 0, 0, 0, nullptr);
  if (hWnd == 0 || !method) return hWnd;
  Registry& reg = Reg();
  std::lock_guard<std::mutex> lock(reg.mutex);
  if (auto rec = larkwin::FindLocked(reg, hWnd)) {
    rec->method = std::make_shared<larkwin::WindowMethod>(std::move(method));
  }
  return hWnd;
}

void DeallocateHWnd(HWND hWnd) { DestroyWindow(hWnd); }
