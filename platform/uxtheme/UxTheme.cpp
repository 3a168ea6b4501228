#include <algorithm>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "platform/rtl/CodePage.h"
#include "platform/rtl/Strings.h"
#include "platform/uxtheme/SimHooks.h"
#include "platform/uxtheme/ThemeApi.h"
#include "platform/win/GdiText.h"
#include "platform/win/Messages.h"
#include "platform/win/Modules.h"
#include "platform/win/Window.h"

namespace {

// WM_PRINTCLIENT: paint the client area.
constexpr LPARAM PRF_CLIENT = 0x4;

// --- the library's state -------------------------------------------------------------

struct ThemeState {
  std::mutex mutex;
  bool active = false;
  bool appThemed = true;
  DWORD appProperties = STAP_ALLOW_NONCLIENT | STAP_ALLOW_CONTROLS | STAP_ALLOW_WEBCONTENT;
  HTHEME lastHandle = 0;
  std::map<HTHEME, std::string> open;       // handle -> element class
  std::map<HWND, HTHEME> windowThemes;      // the last theme opened for each window
  std::map<HWND, DWORD> dialogTextures;
  std::vector<sim::ThemeCall> calls;
};

ThemeState& State() {
  static ThemeState* state = new ThemeState;
  return *state;
}

// The element class of an open handle; false for a handle that is not open.
bool ClassOf(HTHEME theme, std::string* className) {
  ThemeState& s = State();
  std::lock_guard<std::mutex> lock(s.mutex);
  const auto it = s.open.find(theme);
  if (it == s.open.end()) return false;
  *className = it->second;
  return true;
}

// Only the latest calls are kept: a program that runs for long must not grow.
constexpr size_t kMaxLoggedCalls = 4096;

void Log(const char* function, const std::string& className, Integer part, Integer state, const RECT* rect,
         const RECT* clip, const std::string& text = {}) {
  sim::ThemeCall call;
  call.function = function;
  call.className = className;
  call.part = part;
  call.state = state;
  if (rect) call.rect = *rect;
  call.clipped = clip != nullptr;
  if (clip) call.clip = *clip;
  call.text = text;
  ThemeState& s = State();
  std::lock_guard<std::mutex> lock(s.mutex);
  if (s.calls.size() >= kMaxLoggedCalls) s.calls.erase(s.calls.begin());
  s.calls.push_back(std::move(call));
}

// --- drawing ---------------------------------------------------------------------------

void Fill(HDC dc, const RECT& r, COLORREF color) {
  if (r.right <= r.left || r.bottom <= r.top) return;
  const HBRUSH brush = CreateSolidBrush(color);
  FillRect(dc, &r, brush);
  DeleteObject(brush);
}

// A frame of one pixel; with rounded, the corner pixels are left out.
void Frame(HDC dc, const RECT& r, COLORREF color, bool rounded) {
  if (r.right - r.left < 2 || r.bottom - r.top < 2) {
    Fill(dc, r, color);
    return;
  }
  const Integer c = rounded ? 1 : 0;
  Fill(dc, RECT{r.left + c, r.top, r.right - c, r.top + 1}, color);
  Fill(dc, RECT{r.left + c, r.bottom - 1, r.right - c, r.bottom}, color);
  Fill(dc, RECT{r.left, r.top + c, r.left + 1, r.bottom - c}, color);
  Fill(dc, RECT{r.right - 1, r.top + c, r.right, r.bottom - c}, color);
}

RECT Inset(const RECT& r, Integer by) { return RECT{r.left + by, r.top + by, r.right - by, r.bottom - by}; }

// A face that goes from top to bottom between two colours, a row at a time.
void VerticalShade(HDC dc, const RECT& r, COLORREF top, COLORREF bottom) {
  const Integer h = r.bottom - r.top;
  for (Integer y = 0; y < h; ++y) {
    auto mix = [&](Integer a, Integer b) { return h <= 1 ? a : a + (b - a) * y / (h - 1); };
    Fill(dc, RECT{r.left, r.top + y, r.right, r.top + y + 1},
         RGB(mix(GetRValue(top), GetRValue(bottom)), mix(GetGValue(top), GetGValue(bottom)),
             mix(GetBValue(top), GetBValue(bottom))));
  }
}

constexpr COLORREF kButtonFrame = RGB(0, 60, 116);
constexpr COLORREF kDisabledFrame = RGB(201, 199, 186);
constexpr COLORREF kHotLine = RGB(248, 179, 48);
constexpr COLORREF kDefaultLine = RGB(105, 130, 238);
constexpr COLORREF kCheckFrame = RGB(28, 81, 128);
constexpr COLORREF kCheckMark = RGB(33, 161, 33);
constexpr COLORREF kGroupFrame = RGB(160, 160, 146);

// Push button states: 1 normal, 2 hot, 3 pressed, 4 disabled, 5 defaulted.
void DrawPushButton(HDC dc, const RECT& r, Integer state) {
  const RECT face = Inset(r, 1);
  switch (state) {
    case 3:
      Fill(dc, face, RGB(226, 225, 216));
      break;
    case 4:
      Fill(dc, face, RGB(245, 244, 234));
      break;
    default:
      VerticalShade(dc, face, RGB(255, 255, 255), RGB(226, 226, 218));
      break;
  }
  Frame(dc, r, state == 4 ? kDisabledFrame : kButtonFrame, true);
  if (state == 2) Frame(dc, face, kHotLine, false);
  if (state == 5) Frame(dc, face, kDefaultLine, false);
}

// Check boxes (part 3) and radio buttons (part 2): four states each for unchecked,
// checked and (check boxes) mixed: normal, hot, pressed, disabled.
void DrawCheckOrRadio(HDC dc, const RECT& r, Integer part, Integer state) {
  const Integer kind = (state - 1) / 4;  // 0 unchecked, 1 checked, 2 mixed
  const Integer look = (state - 1) % 4;  // 0 normal, 1 hot, 2 pressed, 3 disabled
  const Integer size = std::min<Integer>({13, r.right - r.left, r.bottom - r.top});
  const RECT box{r.left + (r.right - r.left - size) / 2, r.top + (r.bottom - r.top - size) / 2, 0, 0};
  const RECT b{box.left, box.top, box.left + size, box.top + size};
  Fill(dc, Inset(b, 1), look == 2 ? RGB(176, 176, 167) : look == 3 ? RGB(245, 244, 234) : RGB(255, 255, 255));
  Frame(dc, b, look == 3 ? kDisabledFrame : look == 1 ? kHotLine : kCheckFrame, part == 2);
  const COLORREF mark = look == 3 ? kDisabledFrame : kCheckMark;
  if (kind == 1 && part == 3) {
    // A tick: down from the left, then up to the right.
    for (Integer i = 0; i < 7; ++i) {
      const Integer x = b.left + 3 + i;
      const Integer y = i < 3 ? b.top + 5 + i : b.top + 7 - (i - 2);
      Fill(dc, RECT{x, y, x + 1, y + 3}, mark);
    }
  } else if (kind == 1) {
    Fill(dc, RECT{b.left + 4, b.top + 4, b.right - 4, b.bottom - 4}, mark);
  } else if (kind == 2) {
    Fill(dc, RECT{b.left + 3, b.top + 3, b.right - 3, b.bottom - 3}, mark);
  }
}

// Any other element: a light face of its own and a frame, told apart by class, part
// and state.
void DrawPlainElement(HDC dc, const RECT& r, const std::string& className, Integer part, Integer state) {
  uint32_t h = 2166136261u;
  for (char c : className) h = (h ^ static_cast<Byte>(c)) * 16777619u;
  h = (h ^ static_cast<uint32_t>(part)) * 16777619u;
  h = (h ^ static_cast<uint32_t>(state)) * 16777619u;
  const COLORREF face = RGB(220 + (h & 0x1F), 220 + ((h >> 5) & 0x1F), 220 + ((h >> 10) & 0x1F));
  Fill(dc, r, face);
  Frame(dc, r, RGB(127, 157, 185), false);
}

// --- the exports ------------------------------------------------------------------------

HTHEME OpenThemeData(HWND hWnd, const char16_t* classList) {
  if (classList == nullptr) return 0;
  // The first class of a ";"-separated list names the element.
  std::string className = LowerCase(WideToAnsi(WideString(classList)));
  className = className.substr(0, className.find(';'));
  ThemeState& s = State();
  std::lock_guard<std::mutex> lock(s.mutex);
  if (!s.active || !s.appThemed || className.empty()) return 0;
  const HTHEME theme = ++s.lastHandle;
  s.open[theme] = className;
  if (hWnd) s.windowThemes[hWnd] = theme;
  return theme;
}

HRESULT CloseThemeData(HTHEME theme) {
  ThemeState& s = State();
  std::lock_guard<std::mutex> lock(s.mutex);
  if (s.open.erase(theme) == 0) return E_HANDLE;
  std::erase_if(s.windowThemes, [theme](const auto& w) { return w.second == theme; });
  return S_OK;
}

HRESULT DrawThemeBackground(HTHEME theme, HDC dc, Integer part, Integer state, const RECT* rect,
                            const RECT* clip) {
  std::string className;
  if (!ClassOf(theme, &className)) return E_HANDLE;
  if (rect == nullptr) return E_POINTER;
  Log("DrawThemeBackground", className, part, state, rect, clip);
  const Integer saved = SaveDC(dc);
  if (clip) IntersectClipRect(dc, clip->left, clip->top, clip->right, clip->bottom);
  if (className == "button" && part == 1) {
    DrawPushButton(dc, *rect, state);
  } else if (className == "button" && (part == 2 || part == 3)) {
    DrawCheckOrRadio(dc, *rect, part, state);
  } else if (className == "button" && part == 4) {
    Frame(dc, *rect, state == 2 ? kDisabledFrame : kGroupFrame, true);
  } else {
    DrawPlainElement(dc, *rect, className, part, state);
  }
  RestoreDC(dc, saved);
  return S_OK;
}

HRESULT DrawThemeText(HTHEME theme, HDC dc, Integer part, Integer state, const char16_t* text, Integer count,
                      DWORD flags, DWORD, const RECT* rect) {
  std::string className;
  if (!ClassOf(theme, &className)) return E_HANDLE;
  if (text == nullptr || rect == nullptr) return E_POINTER;
  const WideString wide = count < 0 ? WideString(text) : WideString(text, static_cast<size_t>(count));
  const AnsiString ansi = WideToAnsi(wide);
  Log("DrawThemeText", className, part, state, rect, nullptr, ansi);
  // Disabled states: push buttons 4, group boxes 2, check boxes and radio buttons 4, 8, 12.
  const bool disabled = className == "button" && ((part == 1 && state == 4) || (part == 4 && state == 2) ||
                                                  ((part == 2 || part == 3) && state % 4 == 0));
  const COLORREF oldColor = SetTextColor(dc, disabled ? RGB(161, 161, 146) : GetTextColor(dc));
  const Integer oldMode = SetBkMode(dc, TRANSPARENT);
  RECT r = *rect;
  DrawText(dc, ansi.c_str(), static_cast<Integer>(ansi.size()), &r, flags);
  SetBkMode(dc, oldMode);
  SetTextColor(dc, oldColor);
  return S_OK;
}

Integer ContentMargin(const std::string& className, Integer part) {
  return className == "button" && part == 1 ? 3 : 2;
}

HRESULT GetThemeBackgroundContentRect(HTHEME theme, HDC, Integer part, Integer, const RECT* bounding,
                                      RECT* content) {
  std::string className;
  if (!ClassOf(theme, &className)) return E_HANDLE;
  if (bounding == nullptr || content == nullptr) return E_POINTER;
  *content = Inset(*bounding, ContentMargin(className, part));
  return S_OK;
}

HRESULT GetThemeBackgroundExtent(HTHEME theme, HDC, Integer part, Integer, const RECT* content, RECT* extent) {
  std::string className;
  if (!ClassOf(theme, &className)) return E_HANDLE;
  if (content == nullptr || extent == nullptr) return E_POINTER;
  *extent = Inset(*content, -ContentMargin(className, part));
  return S_OK;
}

HRESULT GetThemePartSize(HTHEME theme, HDC, Integer part, Integer, const RECT* rect, Integer, SIZE* size) {
  std::string className;
  if (!ClassOf(theme, &className)) return E_HANDLE;
  if (size == nullptr) return E_POINTER;
  if (className == "button" && (part == 2 || part == 3)) {
    *size = SIZE{13, 13};
  } else if (rect) {
    *size = SIZE{rect->right - rect->left, rect->bottom - rect->top};
  } else {
    *size = SIZE{0, 0};
  }
  return S_OK;
}

HRESULT GetThemeTextExtent(HTHEME theme, HDC dc, Integer, Integer, const char16_t* text, Integer count,
                           DWORD flags, const RECT* bounding, RECT* extent) {
  std::string className;
  if (!ClassOf(theme, &className)) return E_HANDLE;
  if (text == nullptr || extent == nullptr) return E_POINTER;
  const AnsiString ansi =
      WideToAnsi(count < 0 ? WideString(text) : WideString(text, static_cast<size_t>(count)));
  RECT r = bounding ? *bounding : RECT{0, 0, 0, 0};
  DrawText(dc, ansi.c_str(), static_cast<Integer>(ansi.size()), &r, flags | DT_CALCRECT);
  *extent = r;
  return S_OK;
}

HRESULT DrawThemeEdge(HTHEME theme, HDC dc, Integer part, Integer state, const RECT* rect, UINT edge, UINT flags,
                      RECT* content) {
  std::string className;
  if (!ClassOf(theme, &className)) return E_HANDLE;
  if (rect == nullptr) return E_POINTER;
  Log("DrawThemeEdge", className, part, state, rect, nullptr);
  RECT r = *rect;
  DrawEdge(dc, &r, edge, flags);
  if (content) *content = r;
  return S_OK;
}

HRESULT DrawThemeIcon(HTHEME theme, HDC, Integer part, Integer state, const RECT* rect, HIMAGELIST, Integer) {
  std::string className;
  if (!ClassOf(theme, &className)) return E_HANDLE;
  Log("DrawThemeIcon", className, part, state, rect, nullptr);
  return S_OK;
}

BOOL IsThemePartDefined(HTHEME theme, Integer, Integer) {
  std::string className;
  return ClassOf(theme, &className) ? TRUE : FALSE;
}

BOOL IsThemeBackgroundPartiallyTransparent(HTHEME theme, Integer part, Integer) {
  std::string className;
  if (!ClassOf(theme, &className)) return FALSE;
  // The rounded corners of buttons and group boxes show what lies behind them.
  return className == "button" && part >= 1 && part <= 4 ? TRUE : FALSE;
}

COLORREF GetThemeSysColor(HTHEME, Integer colorId) { return GetSysColor(colorId); }
HBRUSH GetThemeSysColorBrush(HTHEME, Integer colorId) { return GetSysColorBrush(colorId); }
BOOL GetThemeSysBool(HTHEME, Integer) { return FALSE; }
Integer GetThemeSysSize(HTHEME, Integer sizeId) { return GetSystemMetrics(sizeId); }

BOOL IsThemeActive() {
  ThemeState& s = State();
  std::lock_guard<std::mutex> lock(s.mutex);
  return s.active ? TRUE : FALSE;
}

BOOL IsAppThemed() {
  ThemeState& s = State();
  std::lock_guard<std::mutex> lock(s.mutex);
  return s.active && s.appThemed ? TRUE : FALSE;
}

HTHEME GetWindowTheme(HWND hWnd) {
  ThemeState& s = State();
  std::lock_guard<std::mutex> lock(s.mutex);
  const auto it = s.windowThemes.find(hWnd);
  return it == s.windowThemes.end() ? 0 : it->second;
}

HRESULT EnableThemeDialogTexture(HWND hWnd, DWORD flags) {
  if (!IsWindow(hWnd)) return E_HANDLE;
  ThemeState& s = State();
  std::lock_guard<std::mutex> lock(s.mutex);
  s.dialogTextures[hWnd] = flags;
  return S_OK;
}

BOOL IsThemeDialogTextureEnabled(HWND hWnd) {
  ThemeState& s = State();
  std::lock_guard<std::mutex> lock(s.mutex);
  const auto it = s.dialogTextures.find(hWnd);
  return it != s.dialogTextures.end() && (it->second & ETDT_ENABLE) ? TRUE : FALSE;
}

DWORD GetThemeAppProperties() {
  ThemeState& s = State();
  std::lock_guard<std::mutex> lock(s.mutex);
  return s.appProperties;
}

void SetThemeAppProperties(DWORD flags) {
  ThemeState& s = State();
  std::lock_guard<std::mutex> lock(s.mutex);
  s.appProperties = flags & (STAP_ALLOW_NONCLIENT | STAP_ALLOW_CONTROLS | STAP_ALLOW_WEBCONTENT);
}

// Paints what the window's parent shows behind it: the parent erases and paints its
// client area into the dc moved so that the window's corner is the parent's.
HRESULT DrawThemeParentBackground(HWND hWnd, HDC dc, const RECT* rect) {
  const HWND parent = GetParent(hWnd);
  Log("DrawThemeParentBackground", "", 0, 0, rect, nullptr);
  if (!parent) return S_OK;
  POINT offset{0, 0};
  MapWindowPoints(hWnd, parent, &offset, 1);
  const Integer saved = SaveDC(dc);
  if (rect) IntersectClipRect(dc, rect->left, rect->top, rect->right, rect->bottom);
  POINT oldOrigin{};
  OffsetWindowOrgEx(dc, offset.x, offset.y, &oldOrigin);
  SendMessage(parent, WM_ERASEBKGND, static_cast<WPARAM>(dc), 0);
  SendMessage(parent, WM_PRINTCLIENT, static_cast<WPARAM>(dc), PRF_CLIENT);
  RestoreDC(dc, saved);
  return S_OK;
}

void PostThemeChanged() {
  EnumWindows(
      [](HWND hWnd, LPARAM) -> BOOL {
        PostMessage(hWnd, WM_THEMECHANGED, 0, 0);
        return TRUE;
      },
      0);
}

HRESULT EnableTheming(BOOL enable) {
  sim::SetThemeActive(enable != FALSE);
  return S_OK;
}

// The exports this system does not draw with.
HRESULT NotImplemented() { return E_NOTIMPL; }

template <class F>
FARPROC Proc(F f) {
  return reinterpret_cast<FARPROC>(f);
}

void RegisterThemeLibrary() {
  const FARPROC none = Proc(&NotImplemented);
  ModuleExports exports = {
      {"OpenThemeData", Proc(&OpenThemeData)},
      {"CloseThemeData", Proc(&CloseThemeData)},
      {"DrawThemeBackground", Proc(&DrawThemeBackground)},
      {"DrawThemeText", Proc(&DrawThemeText)},
      {"GetThemeBackgroundContentRect", Proc(&GetThemeBackgroundContentRect)},
      {"GetThemeBackgroundExtent", Proc(&GetThemeBackgroundExtent)},
      {"GetThemePartSize", Proc(&GetThemePartSize)},
      {"GetThemeTextExtent", Proc(&GetThemeTextExtent)},
      {"GetThemeTextMetrics", none},
      {"GetThemeBackgroundRegion", none},
      {"HitTestThemeBackground", none},
      {"DrawThemeEdge", Proc(&DrawThemeEdge)},
      {"DrawThemeIcon", Proc(&DrawThemeIcon)},
      {"IsThemePartDefined", Proc(&IsThemePartDefined)},
      {"IsThemeBackgroundPartiallyTransparent", Proc(&IsThemeBackgroundPartiallyTransparent)},
      {"GetThemeColor", none},
      {"GetThemeMetric", none},
      {"GetThemeString", none},
      {"GetThemeBool", none},
      {"GetThemeInt", none},
      {"GetThemeEnumValue", none},
      {"GetThemePosition", none},
      {"GetThemeFont", none},
      {"GetThemeRect", none},
      {"GetThemeMargins", none},
      {"GetThemeIntList", none},
      {"GetThemePropertyOrigin", none},
      {"SetWindowTheme", none},
      {"GetThemeFilename", none},
      {"GetThemeSysColor", Proc(&GetThemeSysColor)},
      {"GetThemeSysColorBrush", Proc(&GetThemeSysColorBrush)},
      {"GetThemeSysBool", Proc(&GetThemeSysBool)},
      {"GetThemeSysSize", Proc(&GetThemeSysSize)},
      {"GetThemeSysFont", none},
      {"GetThemeSysString", none},
      {"GetThemeSysInt", none},
      {"IsThemeActive", Proc(&IsThemeActive)},
      {"IsAppThemed", Proc(&IsAppThemed)},
      {"GetWindowTheme", Proc(&GetWindowTheme)},
      {"EnableThemeDialogTexture", Proc(&EnableThemeDialogTexture)},
      {"IsThemeDialogTextureEnabled", Proc(&IsThemeDialogTextureEnabled)},
      {"GetThemeAppProperties", Proc(&GetThemeAppProperties)},
      {"SetThemeAppProperties", Proc(&SetThemeAppProperties)},
      {"GetCurrentThemeName", none},
      {"GetThemeDocumentationProperty", none},
      {"DrawThemeParentBackground", Proc(&DrawThemeParentBackground)},
      {"EnableTheming", Proc(&EnableTheming)},
  };
  RegisterModuleExports("uxtheme.dll", std::move(exports));
}

// The library makes its exports known when the program starts.
[[maybe_unused]] const bool gRegistered = (RegisterThemeLibrary(), true);

}  // namespace

DWORD GetComCtlVersion() { return ComCtlVersionIE6; }

namespace sim {

void SetThemeActive(bool active) {
  {
    ThemeState& s = State();
    std::lock_guard<std::mutex> lock(s.mutex);
    if (s.active == active) return;
    s.active = active;
  }
  PostThemeChanged();
}

bool ThemeActive() { return IsThemeActive() != FALSE; }

void SetAppThemed(bool themed) {
  ThemeState& s = State();
  std::lock_guard<std::mutex> lock(s.mutex);
  s.appThemed = themed;
}

std::vector<ThemeCall> ThemeCalls() {
  ThemeState& s = State();
  std::lock_guard<std::mutex> lock(s.mutex);
  return s.calls;
}

void ClearThemeCalls() {
  ThemeState& s = State();
  std::lock_guard<std::mutex> lock(s.mutex);
  s.calls.clear();
}

int OpenThemeHandles() {
  ThemeState& s = State();
  std::lock_guard<std::mutex> lock(s.mutex);
  return static_cast<int>(s.open.size());
}

void ResetTheme() {
  ThemeState& s = State();
  std::lock_guard<std::mutex> lock(s.mutex);
  s.active = false;
  s.appThemed = true;
  s.appProperties = STAP_ALLOW_NONCLIENT | STAP_ALLOW_CONTROLS | STAP_ALLOW_WEBCONTENT;
  s.open.clear();
  s.windowThemes.clear();
  s.dialogTextures.clear();
  s.calls.clear();
}

}  // namespace sim

// Named on the link line of everything built on the platform (platform/CMakeLists.txt),
// so that the linker keeps this file, whose only work is done while the program starts.
extern "C" const int lark_uxtheme_exports = 1;
