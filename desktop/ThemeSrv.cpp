#include "desktop/ThemeSrv.h"

#include <map>
#include <memory>

#include "platform/rtl/Exceptions.h"
#include "platform/vcl/Application.h"
#include "platform/win/Window.h"

namespace {

// The class names OpenThemeData takes, in the order of TThemedElement.
constexpr const char16_t* kClassNames[kThemedElementCount] = {
    u"button",  u"clock",    u"combobox", u"edit",   u"explorerbar", u"header",
    u"listview", u"menu",    u"page",     u"progress", u"rebar",      u"scrollbar",
    u"spin",    u"startpanel", u"status", u"tab",    u"taskband",    u"taskbar",
    u"toolbar", u"tooltip",  u"trackbar", u"traynotify", u"treeview", u"window"};

// The watched windows and the services watching each.
std::map<HWND, TThemeServices*>& Watched() {
  static std::map<HWND, TThemeServices*> watched;
  return watched;
}

LRESULT WatchedWindowProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  const auto it = Watched().find(hWnd);
  if (it == Watched().end()) return DefWindowProc(hWnd, msg, wParam, lParam);
  TMessage message{msg, wParam, lParam, 0};
  it->second->WindowProc(message);
  return message.Result;
}

RECT ToRect(const TRect& r) { return RECT{r.left, r.top, r.right, r.bottom}; }

std::unique_ptr<TThemeServices>& Instance() {
  static auto* instance = new std::unique_ptr<TThemeServices>;
  return *instance;
}

}  // namespace

TThemeServices::TThemeServices(HWND windowHandle) : window_(windowHandle) {
  if (window_ != 0 && IsWindow(window_)) {
    oldWindowProc_ = reinterpret_cast<WNDPROC>(GetWindowLongPtr(window_, GWL_WNDPROC));
    Watched()[window_] = this;
    SetWindowLongPtr(window_, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(&WatchedWindowProc));
  }
  themesAvailable_ = InitThemeLibrary();
  UpdateThemes();
}

TThemeServices::~TThemeServices() {
  Unwatch();
  UnloadThemeData();
  FreeThemeLibrary();
}

void TThemeServices::Unwatch() {
  if (oldWindowProc_ == nullptr) return;
  if (IsWindow(window_) &&
      GetWindowLongPtr(window_, GWL_WNDPROC) == reinterpret_cast<LONG_PTR>(&WatchedWindowProc)) {
    SetWindowLongPtr(window_, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(oldWindowProc_));
    Watched().erase(window_);
  }
  oldWindowProc_ = nullptr;
}

void TThemeServices::WindowProc(TMessage& message) {
  const WNDPROC old = oldWindowProc_;
  if (message.Msg == WM_DESTROY) {
    Unwatch();
  } else if (message.Msg == WM_THEMECHANGED) {
    UpdateThemes();
    DoOnThemeChange();
  }
  message.Result = old ? CallWindowProc(old, window_, message.Msg, message.WParam, message.LParam)
                       : DefWindowProc(window_, message.Msg, message.WParam, message.LParam);
}

void TThemeServices::DoOnThemeChange() {
  if (OnThemeChange) OnThemeChange(this);
}

void TThemeServices::UpdateThemes() {
  if (useThemes_) UnloadThemeData();
  useThemes_ = UseThemes() && GetComCtlVersion() >= 0x60000;
  controlsThemed_ = useThemes_ && GetThemeAppProperties && (GetThemeAppProperties() & STAP_ALLOW_CONTROLS);
}

HTHEME TThemeServices::GetTheme(TThemedElement element) {
  const auto i = static_cast<size_t>(element);
  if (useThemes_ && themes_[i] == 0 && OpenThemeData) themes_[i] = OpenThemeData(window_, kClassNames[i]);
  return useThemes_ ? themes_[i] : 0;
}

void TThemeServices::UnloadThemeData() {
  if (window_ != 0 && !IsWindow(window_)) return;
  for (HTHEME& theme : themes_) {
    if (theme != 0 && CloseThemeData) CloseThemeData(theme);
    theme = 0;
  }
}

void TThemeServices::DrawElement(HDC dc, const TThemedElementDetails& details, const TRect& rect,
                                 const TRect* clipRect) {
  const HTHEME theme = GetTheme(details.Element);
  if (theme == 0 || !DrawThemeBackground) return;
  const RECT r = ToRect(rect);
  RECT clip{};
  if (clipRect) clip = ToRect(*clipRect);
  DrawThemeBackground(theme, dc, details.Part, details.State, &r, clipRect ? &clip : nullptr);
}

void TThemeServices::DrawEdge(HDC dc, const TThemedElementDetails& details, const TRect& rect, UINT edge,
                              UINT flags, TRect* contentRect) {
  const HTHEME theme = GetTheme(details.Element);
  if (theme == 0 || !DrawThemeEdge) return;
  const RECT r = ToRect(rect);
  RECT content{};
  DrawThemeEdge(theme, dc, details.Part, details.State, &r, edge, flags, contentRect ? &content : nullptr);
  if (contentRect) *contentRect = TRect{content.left, content.top, content.right, content.bottom};
}

void TThemeServices::DrawIcon(HDC dc, const TThemedElementDetails& details, const TRect& rect,
                              HIMAGELIST images, Integer index) {
  const HTHEME theme = GetTheme(details.Element);
  if (theme == 0 || !DrawThemeIcon) return;
  const RECT r = ToRect(rect);
  DrawThemeIcon(theme, dc, details.Part, details.State, &r, images, index);
}

void TThemeServices::DrawText(HDC dc, const TThemedElementDetails& details, const WideString& text,
                              const TRect& rect, DWORD flags, DWORD flags2) {
  const HTHEME theme = GetTheme(details.Element);
  if (theme == 0 || !DrawThemeText) return;
  const RECT r = ToRect(rect);
  DrawThemeText(theme, dc, details.Part, details.State, text.c_str(), static_cast<Integer>(text.size()), flags,
                flags2, &r);
}

TRect TThemeServices::ContentRect(HDC dc, const TThemedElementDetails& details, const TRect& boundingRect) {
  const HTHEME theme = GetTheme(details.Element);
  if (theme == 0 || !GetThemeBackgroundContentRect) return boundingRect;
  const RECT bounding = ToRect(boundingRect);
  RECT content = bounding;
  if (FAILED(GetThemeBackgroundContentRect(theme, dc, details.Part, details.State, &bounding, &content))) {
    return boundingRect;
  }
  return TRect{content.left, content.top, content.right, content.bottom};
}

bool TThemeServices::HasTransparentParts(const TThemedElementDetails& details) {
  const HTHEME theme = GetTheme(details.Element);
  if (theme == 0 || !IsThemeBackgroundPartiallyTransparent) return false;
  return IsThemeBackgroundPartiallyTransparent(theme, details.Part, details.State) != FALSE;
}

void TThemeServices::DrawParentBackground(HWND window, HDC dc, const TThemedElementDetails* details,
                                          bool onlyIfTransparent, const TRect* rect) {
  if (onlyIfTransparent && details && !HasTransparentParts(*details)) return;
  if (!DrawThemeParentBackground) return;
  RECT r{};
  if (rect) r = ToRect(*rect);
  DrawThemeParentBackground(window, dc, rect ? &r : nullptr);
}

TColor TThemeServices::ColorToRGB(TColor color, const TThemedElementDetails* details) {
  if (color >= 0) return color;
  if (!details) throw ERangeError("Range check error");
  const HTHEME theme = GetTheme(details->Element);
  const Integer index = color & 0x7FFFFFFF;
  if (theme == 0 || !GetThemeSysColor) return static_cast<TColor>(GetSysColor(index));
  return static_cast<TColor>(GetThemeSysColor(theme, index));
}

void TThemeServices::PaintBorder(TWinControl* control, bool eraseLRCorner) {
  const HWND h = control->GetHandle();
  const LONG_PTR exStyle = GetWindowLongPtr(h, GWL_EXSTYLE);
  if ((exStyle & WS_EX_CLIENTEDGE) == 0) return;
  RECT window{};
  GetWindowRect(h, &window);
  const TRect r{0, 0, window.right - window.left, window.bottom - window.top};
  const HDC dc = GetWindowDC(h);
  const LONG_PTR style = GetWindowLongPtr(h, GWL_STYLE);
  if (eraseLRCorner && (style & WS_HSCROLL) && (style & WS_VSCROLL)) {
    const RECT corner{r.right - 2 - GetSystemMetrics(SM_CXVSCROLL), r.bottom - 2 - GetSystemMetrics(SM_CYHSCROLL),
                      r.right - 2, r.bottom - 2};
    FillRect(dc, &corner, GetSysColorBrush(COLOR_BTNFACE));
  }
  ExcludeClipRect(dc, r.left + 2, r.top + 2, r.right - 2, r.bottom - 2);
  DrawElement(dc, GetElementDetails(teEditTextNormal), r);
  ReleaseDC(h, dc);
}

TThemeServices* ThemeServices() {
  auto& instance = Instance();
  if (!instance) instance = std::make_unique<TThemeServices>(Application->GetHandle());
  return instance.get();
}

void FreeThemeServices() { Instance().reset(); }
