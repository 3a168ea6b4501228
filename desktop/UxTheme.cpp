#include "desktop/UxTheme.h"

#include <climits>
#include <mutex>

#include "platform/rtl/Exceptions.h"
#include "platform/win/Modules.h"

PFN_OpenThemeData OpenThemeData = nullptr;
PFN_CloseThemeData CloseThemeData = nullptr;
PFN_DrawThemeBackground DrawThemeBackground = nullptr;
PFN_DrawThemeText DrawThemeText = nullptr;
PFN_GetThemeBackgroundContentRect GetThemeBackgroundContentRect = nullptr;
PFN_GetThemeBackgroundExtent GetThemeBackgroundExtent = nullptr;
PFN_GetThemePartSize GetThemePartSize = nullptr;
PFN_GetThemeTextExtent GetThemeTextExtent = nullptr;
PFN_GetThemeTextMetrics GetThemeTextMetrics = nullptr;
PFN_GetThemeBackgroundRegion GetThemeBackgroundRegion = nullptr;
PFN_HitTestThemeBackground HitTestThemeBackground = nullptr;
PFN_DrawThemeEdge DrawThemeEdge = nullptr;
PFN_DrawThemeIcon DrawThemeIcon = nullptr;
PFN_IsThemePartDefined IsThemePartDefined = nullptr;
PFN_IsThemeBackgroundPartiallyTransparent IsThemeBackgroundPartiallyTransparent = nullptr;
PFN_GetThemeColor GetThemeColor = nullptr;
PFN_GetThemeMetric GetThemeMetric = nullptr;
PFN_GetThemeString GetThemeString = nullptr;
PFN_GetThemeBool GetThemeBool = nullptr;
PFN_GetThemeInt GetThemeInt = nullptr;
PFN_GetThemeEnumValue GetThemeEnumValue = nullptr;
PFN_GetThemePosition GetThemePosition = nullptr;
PFN_GetThemeFont GetThemeFont = nullptr;
PFN_GetThemeRect GetThemeRect = nullptr;
PFN_GetThemeMargins GetThemeMargins = nullptr;
PFN_GetThemeIntList GetThemeIntList = nullptr;
PFN_GetThemePropertyOrigin GetThemePropertyOrigin = nullptr;
PFN_SetWindowTheme SetWindowTheme = nullptr;
PFN_GetThemeFilename GetThemeFilename = nullptr;
PFN_GetThemeSysColor GetThemeSysColor = nullptr;
PFN_GetThemeSysColorBrush GetThemeSysColorBrush = nullptr;
PFN_GetThemeSysBool GetThemeSysBool = nullptr;
PFN_GetThemeSysSize GetThemeSysSize = nullptr;
PFN_GetThemeSysFont GetThemeSysFont = nullptr;
PFN_GetThemeSysString GetThemeSysString = nullptr;
PFN_GetThemeSysInt GetThemeSysInt = nullptr;
PFN_IsThemeActive IsThemeActive = nullptr;
PFN_IsAppThemed IsAppThemed = nullptr;
PFN_GetWindowTheme GetWindowTheme = nullptr;
PFN_EnableThemeDialogTexture EnableThemeDialogTexture = nullptr;
PFN_IsThemeDialogTextureEnabled IsThemeDialogTextureEnabled = nullptr;
PFN_GetThemeAppProperties GetThemeAppProperties = nullptr;
PFN_SetThemeAppProperties SetThemeAppProperties = nullptr;
PFN_GetCurrentThemeName GetCurrentThemeName = nullptr;
PFN_GetThemeDocumentationProperty GetThemeDocumentationProperty = nullptr;
PFN_DrawThemeParentBackground DrawThemeParentBackground = nullptr;
PFN_EnableTheming EnableTheming = nullptr;

namespace {

std::mutex& LibraryLock() {
  static std::mutex lock;
  return lock;
}
HMODULE gLibrary = 0;
int gUsers = 0;

template <class F>
void Bind(F& pointer, const char* name) {
  pointer = reinterpret_cast<F>(GetProcAddress(gLibrary, name));
}

void BindAll() {
  Bind(OpenThemeData, "OpenThemeData");
  Bind(CloseThemeData, "CloseThemeData");
  Bind(DrawThemeBackground, "DrawThemeBackground");
  Bind(DrawThemeText, "DrawThemeText");
  Bind(GetThemeBackgroundContentRect, "GetThemeBackgroundContentRect");
  Bind(GetThemeBackgroundExtent, "GetThemeBackgroundExtent");
  Bind(GetThemePartSize, "GetThemePartSize");
  Bind(GetThemeTextExtent, "GetThemeTextExtent");
  Bind(GetThemeTextMetrics, "GetThemeTextMetrics");
  Bind(GetThemeBackgroundRegion, "GetThemeBackgroundRegion");
  Bind(HitTestThemeBackground, "HitTestThemeBackground");
  Bind(DrawThemeEdge, "DrawThemeEdge");
  Bind(DrawThemeIcon, "DrawThemeIcon");
  Bind(IsThemePartDefined, "IsThemePartDefined");
  Bind(IsThemeBackgroundPartiallyTransparent, "IsThemeBackgroundPartiallyTransparent");
  Bind(GetThemeColor, "GetThemeColor");
  Bind(GetThemeMetric, "GetThemeMetric");
  Bind(GetThemeString, "GetThemeString");
  Bind(GetThemeBool, "GetThemeBool");
  Bind(GetThemeInt, "GetThemeInt");
  Bind(GetThemeEnumValue, "GetThemeEnumValue");
  Bind(GetThemePosition, "GetThemePosition");
  Bind(GetThemeFont, "GetThemeFont");
  Bind(GetThemeRect, "GetThemeRect");
  Bind(GetThemeMargins, "GetThemeMargins");
  Bind(GetThemeIntList, "GetThemeIntList");
  Bind(GetThemePropertyOrigin, "GetThemePropertyOrigin");
  Bind(SetWindowTheme, "SetWindowTheme");
  Bind(GetThemeFilename, "GetThemeFilename");
  Bind(GetThemeSysColor, "GetThemeSysColor");
  Bind(GetThemeSysColorBrush, "GetThemeSysColorBrush");
  Bind(GetThemeSysBool, "GetThemeSysBool");
  Bind(GetThemeSysSize, "GetThemeSysSize");
  Bind(GetThemeSysFont, "GetThemeSysFont");
  Bind(GetThemeSysString, "GetThemeSysString");
  Bind(GetThemeSysInt, "GetThemeSysInt");
  Bind(IsThemeActive, "IsThemeActive");
  Bind(IsAppThemed, "IsAppThemed");
  Bind(GetWindowTheme, "GetWindowTheme");
  Bind(EnableThemeDialogTexture, "EnableThemeDialogTexture");
  Bind(IsThemeDialogTextureEnabled, "IsThemeDialogTextureEnabled");
  Bind(GetThemeAppProperties, "GetThemeAppProperties");
  Bind(SetThemeAppProperties, "SetThemeAppProperties");
  Bind(GetCurrentThemeName, "GetCurrentThemeName");
  Bind(GetThemeDocumentationProperty, "GetThemeDocumentationProperty");
  Bind(DrawThemeParentBackground, "DrawThemeParentBackground");
  Bind(EnableTheming, "EnableTheming");
}

void ClearAll() {
  OpenThemeData = nullptr;
  CloseThemeData = nullptr;
  DrawThemeBackground = nullptr;
  DrawThemeText = nullptr;
  GetThemeBackgroundContentRect = nullptr;
  GetThemeBackgroundExtent = nullptr;
  GetThemePartSize = nullptr;
  GetThemeTextExtent = nullptr;
  GetThemeTextMetrics = nullptr;
  GetThemeBackgroundRegion = nullptr;
  HitTestThemeBackground = nullptr;
  DrawThemeEdge = nullptr;
  DrawThemeIcon = nullptr;
  IsThemePartDefined = nullptr;
  IsThemeBackgroundPartiallyTransparent = nullptr;
  GetThemeColor = nullptr;
  GetThemeMetric = nullptr;
  GetThemeString = nullptr;
  GetThemeBool = nullptr;
  GetThemeInt = nullptr;
  GetThemeEnumValue = nullptr;
  GetThemePosition = nullptr;
  GetThemeFont = nullptr;
  GetThemeRect = nullptr;
  GetThemeMargins = nullptr;
  GetThemeIntList = nullptr;
  GetThemePropertyOrigin = nullptr;
  SetWindowTheme = nullptr;
  GetThemeFilename = nullptr;
  GetThemeSysColor = nullptr;
  GetThemeSysColorBrush = nullptr;
  GetThemeSysBool = nullptr;
  GetThemeSysSize = nullptr;
  GetThemeSysFont = nullptr;
  GetThemeSysString = nullptr;
  GetThemeSysInt = nullptr;
  IsThemeActive = nullptr;
  IsAppThemed = nullptr;
  GetWindowTheme = nullptr;
  EnableThemeDialogTexture = nullptr;
  IsThemeDialogTextureEnabled = nullptr;
  GetThemeAppProperties = nullptr;
  SetThemeAppProperties = nullptr;
  GetCurrentThemeName = nullptr;
  GetThemeDocumentationProperty = nullptr;
  DrawThemeParentBackground = nullptr;
  EnableTheming = nullptr;
}

}  // namespace

bool InitThemeLibrary() {
  std::lock_guard<std::mutex> lock(LibraryLock());
  if (gUsers == INT_MAX) throw EIntOverflow("Arithmetic overflow");
  ++gUsers;
  if (gLibrary != 0) return true;
  gLibrary = LoadLibrary("uxtheme.dll");
  if (gLibrary != 0) BindAll();
  return gLibrary != 0;
}

void FreeThemeLibrary() {
  std::lock_guard<std::mutex> lock(LibraryLock());
  if (gUsers > 0) --gUsers;
  if (gLibrary != 0 && gUsers == 0) {
    FreeLibrary(gLibrary);
    gLibrary = 0;
    ClearAll();
  }
}

bool UseThemes() {
  std::lock_guard<std::mutex> lock(LibraryLock());
  if (gLibrary == 0 || !IsAppThemed || !IsThemeActive) return false;
  return IsAppThemed() != FALSE && IsThemeActive() != FALSE;
}

int ThemeLibraryUsers() {
  std::lock_guard<std::mutex> lock(LibraryLock());
  return gUsers;
}

