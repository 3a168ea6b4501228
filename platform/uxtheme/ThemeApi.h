// The visual-styles library as a program binds it at run time: "uxtheme.dll" in the
// module registry (platform/win/Modules.h) with its 47 exports, and the types of those
// exports to cast GetProcAddress's answer to.
//
// There is no visual-styles engine on this desktop, so the library draws a small theme
// of its own with GDI, the same pixels every time: push buttons with a dark frame and a
// light face, check boxes and radio buttons as 13 x 13 boxes, group-box frames, and a
// plain face with a frame for every other element. The theme is not active until it
// is switched on (the simulated world does it); every switch posts WM_THEMECHANGED to
// the top-level windows. Exports this system does not draw with answer E_NOTIMPL (or
// 0, FALSE).
#pragma once

#include <cstdint>

#include "platform/ole/OleErrors.h"
#include "platform/win/Gdi.h"
#include "platform/win/WinTypes.h"

using HTHEME = uintptr_t;
using HIMAGELIST = uintptr_t;

// SetThemeAppProperties / GetThemeAppProperties.
inline constexpr DWORD STAP_ALLOW_NONCLIENT = 1;
inline constexpr DWORD STAP_ALLOW_CONTROLS = 2;
inline constexpr DWORD STAP_ALLOW_WEBCONTENT = 4;

// EnableThemeDialogTexture.
inline constexpr DWORD ETDT_DISABLE = 1;
inline constexpr DWORD ETDT_ENABLE = 2;
inline constexpr DWORD ETDT_USETABTEXTURE = 4;
inline constexpr DWORD ETDT_ENABLETAB = ETDT_ENABLE | ETDT_USETABTEXTURE;

// DrawThemeText's second flags (none are used).
inline constexpr DWORD DTT_GRAYED = 1;

// The common controls' version as the framework reports it (major in the high word):
// 6.0 here, the version that draws with visual styles.
inline constexpr DWORD ComCtlVersionIE6 = 0x00060000;
DWORD GetComCtlVersion();

using PFN_OpenThemeData = HTHEME (*)(HWND hWnd, const char16_t* classList);
using PFN_CloseThemeData = HRESULT (*)(HTHEME theme);
using PFN_DrawThemeBackground = HRESULT (*)(HTHEME theme, HDC dc, Integer part, Integer state,
                                            const RECT* rect, const RECT* clip);
using PFN_DrawThemeText = HRESULT (*)(HTHEME theme, HDC dc, Integer part, Integer state, const char16_t* text,
                                      Integer count, DWORD flags, DWORD flags2, const RECT* rect);
using PFN_GetThemeBackgroundContentRect = HRESULT (*)(HTHEME theme, HDC dc, Integer part, Integer state,
                                                      const RECT* bounding, RECT* content);
using PFN_GetThemeBackgroundExtent = HRESULT (*)(HTHEME theme, HDC dc, Integer part, Integer state,
                                                 const RECT* content, RECT* extent);
using PFN_GetThemePartSize = HRESULT (*)(HTHEME theme, HDC dc, Integer part, Integer state, const RECT* rect,
                                         Integer sizeKind, SIZE* size);
using PFN_GetThemeTextExtent = HRESULT (*)(HTHEME theme, HDC dc, Integer part, Integer state,
                                           const char16_t* text, Integer count, DWORD flags,
                                           const RECT* bounding, RECT* extent);
using PFN_GetThemeTextMetrics = HRESULT (*)(HTHEME theme, HDC dc, Integer part, Integer state, void* metrics);
using PFN_GetThemeBackgroundRegion = HRESULT (*)(HTHEME theme, HDC dc, Integer part, Integer state,
                                                 const RECT* rect, HRGN* region);
using PFN_HitTestThemeBackground = HRESULT (*)(HTHEME theme, HDC dc, Integer part, Integer state, DWORD options,
                                               const RECT* rect, HRGN region, POINT point, Word* code);
using PFN_DrawThemeEdge = HRESULT (*)(HTHEME theme, HDC dc, Integer part, Integer state, const RECT* rect,
                                      UINT edge, UINT flags, RECT* content);
using PFN_DrawThemeIcon = HRESULT (*)(HTHEME theme, HDC dc, Integer part, Integer state, const RECT* rect,
                                      HIMAGELIST images, Integer index);
using PFN_IsThemePartDefined = BOOL (*)(HTHEME theme, Integer part, Integer state);
using PFN_IsThemeBackgroundPartiallyTransparent = BOOL (*)(HTHEME theme, Integer part, Integer state);
using PFN_GetThemeColor = HRESULT (*)(HTHEME theme, Integer part, Integer state, Integer prop, COLORREF* color);
using PFN_GetThemeMetric = HRESULT (*)(HTHEME theme, HDC dc, Integer part, Integer state, Integer prop,
                                       Integer* value);
using PFN_GetThemeString = HRESULT (*)(HTHEME theme, Integer part, Integer state, Integer prop, char16_t* buffer,
                                       Integer size);
using PFN_GetThemeBool = HRESULT (*)(HTHEME theme, Integer part, Integer state, Integer prop, BOOL* value);
using PFN_GetThemeInt = HRESULT (*)(HTHEME theme, Integer part, Integer state, Integer prop, Integer* value);
using PFN_GetThemeEnumValue = HRESULT (*)(HTHEME theme, Integer part, Integer state, Integer prop,
                                          Integer* value);
using PFN_GetThemePosition = HRESULT (*)(HTHEME theme, Integer part, Integer state, Integer prop, POINT* point);
using PFN_GetThemeFont = HRESULT (*)(HTHEME theme, HDC dc, Integer part, Integer state, Integer prop, void* font);
using PFN_GetThemeRect = HRESULT (*)(HTHEME theme, Integer part, Integer state, Integer prop, RECT* rect);
using PFN_GetThemeMargins = HRESULT (*)(HTHEME theme, HDC dc, Integer part, Integer state, Integer prop,
                                        RECT* rect, void* margins);
using PFN_GetThemeIntList = HRESULT (*)(HTHEME theme, Integer part, Integer state, Integer prop, void* list);
using PFN_GetThemePropertyOrigin = HRESULT (*)(HTHEME theme, Integer part, Integer state, Integer prop,
                                               Integer* origin);
using PFN_SetWindowTheme = HRESULT (*)(HWND hWnd, const char16_t* appName, const char16_t* idList);
using PFN_GetThemeFilename = HRESULT (*)(HTHEME theme, Integer part, Integer state, Integer prop,
                                         char16_t* buffer, Integer size);
using PFN_GetThemeSysColor = COLORREF (*)(HTHEME theme, Integer colorId);
using PFN_GetThemeSysColorBrush = HBRUSH (*)(HTHEME theme, Integer colorId);
using PFN_GetThemeSysBool = BOOL (*)(HTHEME theme, Integer boolId);
using PFN_GetThemeSysSize = Integer (*)(HTHEME theme, Integer sizeId);
using PFN_GetThemeSysFont = HRESULT (*)(HTHEME theme, Integer fontId, void* font);
using PFN_GetThemeSysString = HRESULT (*)(HTHEME theme, Integer stringId, char16_t* buffer, Integer size);
using PFN_GetThemeSysInt = HRESULT (*)(HTHEME theme, Integer intId, Integer* value);
using PFN_IsThemeActive = BOOL (*)();
using PFN_IsAppThemed = BOOL (*)();
using PFN_GetWindowTheme = HTHEME (*)(HWND hWnd);
using PFN_EnableThemeDialogTexture = HRESULT (*)(HWND hWnd, DWORD flags);
using PFN_IsThemeDialogTextureEnabled = BOOL (*)(HWND hWnd);
using PFN_GetThemeAppProperties = DWORD (*)();
using PFN_SetThemeAppProperties = void (*)(DWORD flags);
using PFN_GetCurrentThemeName = HRESULT (*)(char16_t* fileName, Integer fileNameSize, char16_t* colorName,
                                            Integer colorNameSize, char16_t* sizeName, Integer sizeNameSize);
using PFN_GetThemeDocumentationProperty = HRESULT (*)(const char16_t* themeName, const char16_t* propertyName,
                                                      char16_t* value, Integer size);
using PFN_DrawThemeParentBackground = HRESULT (*)(HWND hWnd, HDC dc, const RECT* rect);
using PFN_EnableTheming = HRESULT (*)(BOOL enable);
