// TThemeServices: the process's one view of the visual styles. It knows whether the
// visual-styles library is there, whether a theme is in use and allowed for controls,
// keeps one open theme per element class, follows theme changes of the window it
// watches (the application's), and draws elements, edges, texts, icons, parent
// backgrounds and client-edge borders. Every call into the library is checked first: a
// library without an export draws nothing there and answers as without themes.
#pragma once

#include <array>

#include "desktop/ThemeElements.h"
#include "desktop/UxTheme.h"
#include "platform/rtl/Component.h"
#include "platform/vcl/Controls.h"

class TThemeServices : public TObject {
 public:
  LARK_CLASS_NAME(TThemeServices)
  // Watches windowHandle (its window procedure is replaced while it lives).
  explicit TThemeServices(HWND windowHandle);
  ~TThemeServices() override;
  TThemeServices(const TThemeServices&) = delete;
  TThemeServices& operator=(const TThemeServices&) = delete;

  bool GetThemesAvailable() const noexcept { return themesAvailable_; }
  bool GetThemesEnabled() const noexcept { return themesAvailable_ && useThemes_ && controlsThemed_; }
  bool GetThemesInUse() const noexcept { return useThemes_; }
  bool GetControlsThemed() const noexcept { return controlsThemed_; }
  // The element's open theme (opened on first use); 0 while themes are not in use.
  HTHEME GetTheme(TThemedElement element);
  void UnloadThemeData();
  // Reads the theme state again (closing the open themes first).
  void UpdateThemes();

  void DrawElement(HDC dc, const TThemedElementDetails& details, const TRect& rect,
                   const TRect* clipRect = nullptr);
  void DrawEdge(HDC dc, const TThemedElementDetails& details, const TRect& rect, UINT edge, UINT flags,
                TRect* contentRect = nullptr);
  void DrawIcon(HDC dc, const TThemedElementDetails& details, const TRect& rect, HIMAGELIST images,
                Integer index);
  void DrawText(HDC dc, const TThemedElementDetails& details, const WideString& text, const TRect& rect,
                DWORD flags, DWORD flags2);
  // The rectangle inside the element's borders (the bounding one when it cannot tell).
  TRect ContentRect(HDC dc, const TThemedElementDetails& details, const TRect& boundingRect);
  bool HasTransparentParts(const TThemedElementDetails& details);
  // The parent's background behind the window: with onlyIfTransparent and details,
  // only where the element is partly transparent; rect null for the whole window.
  void DrawParentBackground(HWND window, HDC dc, const TThemedElementDetails* details, bool onlyIfTransparent,
                            const TRect* rect = nullptr);
  // A system colour (negative) through the element's theme; others unchanged. A system
  // colour without details raises ERangeError.
  TColor ColorToRGB(TColor color, const TThemedElementDetails* details = nullptr);
  // The themed border of a window with a client edge (WS_EX_CLIENTEDGE): the edit
  // element around the client area, and with eraseLRCorner the square between two
  // scroll bars filled with the button face.
  void PaintBorder(TWinControl* control, bool eraseLRCorner);

  TNotifyEvent OnThemeChange;

  // The watched window's messages while it is watched (WM_THEMECHANGED, WM_DESTROY).
  void WindowProc(TMessage& message);

 protected:
  virtual void DoOnThemeChange();

 private:
  void Unwatch();

  bool themesAvailable_ = false;
  bool useThemes_ = false;
  bool controlsThemed_ = false;
  HWND window_ = 0;
  WNDPROC oldWindowProc_ = nullptr;
  std::array<HTHEME, kThemedElementCount> themes_{};
};

// The one object, made on first use watching the application's window.
TThemeServices* ThemeServices();
// Frees the object (the next ThemeServices makes a new one).
void FreeThemeServices();
