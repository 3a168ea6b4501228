// The window registry: classes, window records, creation and destruction.
#include "platform/win/Window.h"

#include <unistd.h>

#include <cstring>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/rtl/SimHooks.h"
#include "platform/win/WindowInternal.h"

namespace larkwin {

namespace {

// Extra bytes a class may ask for, per class and per window.
constexpr Integer kMaxExtraBytes = 4096;
constexpr const char* kUtilWindowClass = "TPUtilWindow";
constexpr const char* kDesktopClass = "#32769";

}  // namespace

Registry& Reg() {
  static NoDestroy<Registry> registry;
  return registry.Get();
}

namespace {

std::string Lower(const char* s) {
  std::string key(s);
  for (char& c : key) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return key;
}

bool IsAtomName(const char* name) { return reinterpret_cast<uintptr_t>(name) < 0x10000; }

}  // namespace

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

namespace {

// Takes a window out of the registry; answers its method so the caller can let it go
// outside the lock.
std::shared_ptr<WindowMethod> RemoveLocked(Registry& reg, const std::shared_ptr<WindowRec>& rec) {
  reg.windows.erase(rec->hwnd);
  if (auto parent = FindLocked(reg, rec->parent)) std::erase(parent->children, rec->hwnd);
  std::erase(reg.topLevels, rec->hwnd);
  for (HWND child : rec->children) {
    if (auto c = FindLocked(reg, child)) c->parent = 0;
  }
  rec->children.clear();
  for (auto& [h, w] : reg.windows) {
    if (w->owner == rec->hwnd) w->owner = 0;
  }
  for (auto& [id, t] : reg.threads) {
    if (t.focus == rec->hwnd) t.focus = 0;
    if (t.active == rec->hwnd) t.active = 0;
    if (t.capture == rec->hwnd) t.capture = 0;
  }
  if (reg.foreground == rec->hwnd) reg.foreground = 0;
  if (reg.track.hwnd == rec->hwnd) reg.track = ScrollTrack{};
  if (reg.lastClick.hwnd == rec->hwnd) reg.lastClick = Registry::LastClick{};
  if (reg.hover == rec->hwnd) reg.hover = 0;
  rec->cls->windows--;
  return std::move(rec->method);
}

void Remove(const std::shared_ptr<WindowRec>& rec) {
  std::shared_ptr<WindowMethod> method;
  if (rec->shown) ForgetTopLevel(rec->hwnd);
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
  if (IsChildRec(*rec) && !(rec->exStyle & WS_EX_NOPARENTNOTIFY)) {
    for (HWND p = rec->parent; p != 0;) {
      SendMessage(p, WM_PARENTNOTIFY, MAKELPARAM(static_cast<Word>(WM_DESTROY), static_cast<Word>(rec->id)),
                  static_cast<LPARAM>(hWnd));
      auto pr = Find(p);
      if (!pr || !IsChildRec(*pr) || (pr->exStyle & WS_EX_NOPARENTNOTIFY)) break;
      p = pr->parent;
    }
  }
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
    case GWL_HWNDPARENT:
      return static_cast<LONG_PTR>(rec->parent != 0 ? rec->parent : rec->owner);
    case GWL_HINSTANCE:
      return 0;
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
  std::vector<HWND> shown;
  {
    Registry& reg = Reg();
    std::lock_guard<std::mutex> lock(reg.mutex);
    std::vector<std::shared_ptr<WindowRec>> owned;
    for (auto& [h, rec] : reg.windows) {
      if (rec->threadId == threadId) owned.push_back(rec);
    }
    for (auto& rec : owned) {
      if (rec->shown) shown.push_back(rec->hwnd);
      methods.push_back(RemoveLocked(reg, rec));
    }
    reg.threads.erase(threadId);
  }
  for (HWND h : shown) ForgetTopLevel(h);
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

namespace larkwin {
namespace {

// Where CW_USEDEFAULT puts a top-level window, and how big it makes it.
void DefaultPlacement(Integer& x, Integer& y, Integer& width, Integer& height, bool child) {
  const ScreenMode mode = Display().Mode();
  if (x == CW_USEDEFAULT) {
    x = child ? 0 : mode.width / 8;
    y = child ? 0 : mode.height / 8;
  }
  if (width == CW_USEDEFAULT) {
    width = child ? 0 : mode.width * 3 / 4;
    height = child ? 0 : mode.height * 3 / 4;
  }
  if (y == CW_USEDEFAULT) y = 0;
  if (height == CW_USEDEFAULT) height = 0;
}

bool WantsMinMaxInfo(DWORD style) {
  return (style & WS_THICKFRAME) || !(style & (WS_POPUP | WS_CHILD));
}

}  // namespace

MINMAXINFO DefaultMinMaxInfo(DWORD style, DWORD exStyle) {
  const ScreenMode mode = Display().Mode();
  MINMAXINFO mmi;
  const Integer frame = FrameThickness(style, exStyle);
  mmi.ptMaxSize = POINT{mode.width + 2 * frame, mode.height + 2 * frame};
  mmi.ptMaxPosition = POINT{-frame, -frame};
  mmi.ptMinTrackSize = POINT{GetSystemMetrics(SM_CXMIN), GetSystemMetrics(SM_CYMIN)};
  mmi.ptMaxTrackSize = POINT{mode.width + 2 * frame + 2, mode.height + 2 * frame + 2};
  return mmi;
}

}  // namespace larkwin

HWND CreateWindowEx(DWORD exStyle, const char* className, const char* windowName, DWORD style,
                    Integer x, Integer y, Integer width, Integer height, HWND parent, HMENU menu,
                    HINSTANCE instance, void* param) {
  if (sim::ShouldFail(sim::Fault::WindowCreate)) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return 0;
  }
  std::shared_ptr<larkwin::MessageQueue> queue = larkwin::CurrentQueue();
  auto rec = std::make_shared<larkwin::WindowRec>();
  const bool child = (style & WS_CHILD) != 0;
  if (parent == HWND_MESSAGE) parent = 0;  // a message-only window: top-level, never shown
  // An overlapped window always has a caption and clips its siblings.
  if (!(style & (WS_POPUP | WS_CHILD))) style |= WS_CAPTION | WS_CLIPSIBLINGS;
  larkwin::DefaultPlacement(x, y, width, height, child);
  if (exStyle & WS_EX_TOPMOST && child) exStyle &= ~WS_EX_TOPMOST;
  {
    Registry& reg = Reg();
    std::lock_guard<std::mutex> lock(reg.mutex);
    rec->cls = larkwin::FindClassLocked(reg, className);
    if (!rec->cls) {
      SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
      return 0;
    }
    HWND owner = 0;
    if (parent != 0) {
      auto p = larkwin::FindLocked(reg, parent);
      if (!p || p->destroying) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
      }
      if (child) {
        p->children.push_back(reg.nextHandle);  // the bottom of the siblings
      } else {
        owner = larkwin::TopLevelLocked(reg, p)->hwnd;
        parent = 0;
      }
    } else if (child) {
      SetLastError(ERROR_TLW_WITH_WSCHILD);
      return 0;
    }
    rec->hwnd = reg.nextHandle;
    reg.nextHandle += 4;
    rec->threadId = queue->ThreadId();
    rec->queue = queue;
    rec->proc = rec->cls->wc.lpfnWndProc;
    rec->style = style & ~WS_VISIBLE;  // shown once created
    rec->exStyle = exStyle;
    rec->id = child ? static_cast<LONG_PTR>(menu) : 0;
    rec->parent = parent;
    rec->owner = owner;
    rec->extra.assign(static_cast<size_t>(rec->cls->wc.cbWndExtra), 0);
    rec->rect = RECT{x, y, x + width, y + height};
    rec->client = rec->rect;
    rec->normalRect = rec->rect;
    rec->cls->windows++;
    reg.windows.emplace(rec->hwnd, rec);
    if (!child) {
      // The top of the z-order: above the topmost windows only when it is one.
      auto at = reg.topLevels.begin();
      if (!(exStyle & WS_EX_TOPMOST)) {
        while (at != reg.topLevels.end()) {
          auto t = larkwin::FindLocked(reg, *at);
          if (!t || !(t->exStyle & WS_EX_TOPMOST)) break;
          ++at;
        }
      }
      reg.topLevels.insert(at, rec->hwnd);
    }
  }
  const HWND hWnd = rec->hwnd;
  CREATESTRUCT cs;
  cs.lpCreateParams = param;
  cs.hInstance = instance;
  cs.hMenu = menu;
  cs.hwndParent = rec->owner != 0 ? rec->owner : parent;
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
    if (!child && larkwin::WantsMinMaxInfo(style)) {
      MINMAXINFO mmi = larkwin::DefaultMinMaxInfo(style, exStyle);
      SendMessage(hWnd, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&mmi));
      if (width > mmi.ptMaxTrackSize.x) width = mmi.ptMaxTrackSize.x;
      if (height > mmi.ptMaxTrackSize.y) height = mmi.ptMaxTrackSize.y;
      if (width < mmi.ptMinTrackSize.x && (style & WS_THICKFRAME)) width = mmi.ptMinTrackSize.x;
      if (height < mmi.ptMinTrackSize.y && (style & WS_THICKFRAME)) height = mmi.ptMinTrackSize.y;
      Registry& reg = Reg();
      std::lock_guard<std::mutex> lock(reg.mutex);
      rec->rect = RECT{x, y, x + width, y + height};
      rec->client = rec->rect;
      rec->normalRect = rec->rect;
    }
    if (!SendMessage(hWnd, WM_NCCREATE, 0, csParam)) {
      // Refused before it existed: only WM_NCDESTROY follows.
      if (larkwin::BeginDestroy(rec)) {
        SendMessage(hWnd, WM_NCDESTROY, 0, 0);
        larkwin::Remove(rec);
      }
      return 0;
    }
    RECT calc = rec->rect;
    SendMessage(hWnd, WM_NCCALCSIZE, FALSE, reinterpret_cast<LPARAM>(&calc));
    {
      Registry& reg = Reg();
      std::lock_guard<std::mutex> lock(reg.mutex);
      rec->client = calc;
    }
    if (SendMessage(hWnd, WM_CREATE, 0, csParam) == -1) {
      DestroyWindow(hWnd);
      return 0;
    }
    if (child && !(exStyle & WS_EX_NOPARENTNOTIFY) && IsWindow(hWnd)) {
      for (HWND p = parent; p != 0;) {
        SendMessage(p, WM_PARENTNOTIFY,
                    MAKELPARAM(static_cast<Word>(WM_CREATE), static_cast<Word>(rec->id)),
                    static_cast<LPARAM>(hWnd));
        auto pr = larkwin::Find(p);
        if (!pr || !larkwin::IsChildRec(*pr) || (pr->exStyle & WS_EX_NOPARENTNOTIFY)) break;
        p = pr->parent;
      }
    }
  } catch (...) {
    larkwin::Remove(rec);
    throw;
  }
  if (!IsWindow(hWnd)) return 0;
  if (style & WS_VISIBLE) {
    if (style & WS_MAXIMIZE) {
      ShowWindow(hWnd, SW_SHOWMAXIMIZED);
    } else if (style & WS_MINIMIZE) {
      ShowWindow(hWnd, SW_SHOWMINIMIZED);
    } else {
      ShowWindow(hWnd, SW_SHOW);
    }
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
  if (rec->destroying) return FALSE;
  // Owned windows go first.
  std::vector<HWND> owned;
  {
    Registry& reg = Reg();
    std::lock_guard<std::mutex> lock(reg.mutex);
    for (HWND t : reg.topLevels) {
      auto w = larkwin::FindLocked(reg, t);
      if (w && w->owner == hWnd && w->threadId == rec->threadId) owned.push_back(t);
    }
  }
  for (HWND o : owned) DestroyWindow(o);
  if (!IsWindow(hWnd) || rec->destroying) return FALSE;
  // Hidden first, so that activation, focus and capture move away as on hiding.
  if (rec->style & WS_VISIBLE) {
    SetWindowPos(hWnd, 0, 0, 0, 0, 0,
                 SWP_HIDEWINDOW | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  larkwin::LeaveWindow(hWnd, true);
  // Destroying a window that is already on its way out (from its WM_DESTROY) is a no-op.
  if (!larkwin::BeginDestroy(rec)) return FALSE;
  larkwin::DestroyTree(rec);
  return TRUE;
}

BOOL IsWindow(HWND hWnd) {
  if (hWnd == 0) return FALSE;
  return larkwin::Find(hWnd) ? TRUE : FALSE;
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
  if (rec->parent != 0) return rec->parent;
  return (rec->style & WS_POPUP) ? rec->owner : 0;
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
  if (old == 0) std::erase(reg.topLevels, child);
  rec->parent = newParent;
  if (parentRec) {
    parentRec->children.insert(parentRec->children.begin(), child);  // the top of its new siblings
  } else {
    reg.topLevels.insert(reg.topLevels.begin(), child);
  }
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
  if (!enable) {
    SendMessage(hWnd, WM_CANCELMODE, 0, 0);
    const HWND focus = GetFocus();
    if (focus != 0 && (focus == hWnd || IsChild(hWnd, focus))) SetFocus(0);
  }
  SendMessage(hWnd, WM_ENABLE, enable ? TRUE : FALSE, 0);
  if (!enable) {
    const HWND capture = GetCapture();
    if (capture != 0 && (capture == hWnd || IsChild(hWnd, capture))) ReleaseCapture();
  }
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
