// The visual-styles library bound at run time: "uxtheme.dll" is loaded by the first
// InitThemeLibrary and freed by the FreeThemeLibrary that balances the last one. Each
// export is a function pointer, null while the library is not loaded or when it lacks
// that export; callers check it before calling.
#pragma once

#include "platform/uxtheme/ThemeApi.h"

// Counts one more user and loads the library when it is not loaded yet; answers
// whether it is loaded. Raises EIntOverflow when the count cannot grow.
bool InitThemeLibrary();
// Counts one user less; the last one unloads the library and clears every pointer.
void FreeThemeLibrary();
// Whether the library is loaded and the application draws with an active theme.
bool UseThemes();
// The number of users counted now.
int ThemeLibraryUsers();

extern PFN_OpenThemeData OpenThemeData;
extern PFN_CloseThemeData CloseThemeData;
extern PFN_DrawThemeBackground DrawThemeBackground;
extern PFN_DrawThemeText DrawThemeText;
extern PFN_GetThemeBackgroundContentRect GetThemeBackgroundContentRect;
extern PFN_GetThemeBackgroundExtent GetThemeBackgroundExtent;
extern PFN_GetThemePartSize GetThemePartSize;
extern PFN_GetThemeTextExtent GetThemeTextExtent;
extern PFN_GetThemeTextMetrics GetThemeTextMetrics;
extern PFN_GetThemeBackgroundRegion GetThemeBackgroundRegion;
extern PFN_HitTestThemeBackground HitTestThemeBackground;
extern PFN_DrawThemeEdge DrawThemeEdge;
extern PFN_DrawThemeIcon DrawThemeIcon;
extern PFN_IsThemePartDefined IsThemePartDefined;
extern PFN_IsThemeBackgroundPartiallyTransparent IsThemeBackgroundPartiallyTransparent;
extern PFN_GetThemeColor GetThemeColor;
extern PFN_GetThemeMetric GetThemeMetric;
extern PFN_GetThemeString GetThemeString;
extern PFN_GetThemeBool GetThemeBool;
extern PFN_GetThemeInt GetThemeInt;
extern PFN_GetThemeEnumValue GetThemeEnumValue;
extern PFN_GetThemePosition GetThemePosition;
extern PFN_GetThemeFont GetThemeFont;
extern PFN_GetThemeRect GetThemeRect;
extern PFN_GetThemeMargins GetThemeMargins;
extern PFN_GetThemeIntList GetThemeIntList;
extern PFN_GetThemePropertyOrigin GetThemePropertyOrigin;
extern PFN_SetWindowTheme SetWindowTheme;
extern PFN_GetThemeFilename GetThemeFilename;
extern PFN_GetThemeSysColor GetThemeSysColor;
extern PFN_GetThemeSysColorBrush GetThemeSysColorBrush;
extern PFN_GetThemeSysBool GetThemeSysBool;
extern PFN_GetThemeSysSize GetThemeSysSize;
extern PFN_GetThemeSysFont GetThemeSysFont;
extern PFN_GetThemeSysString GetThemeSysString;
extern PFN_GetThemeSysInt GetThemeSysInt;
extern PFN_IsThemeActive IsThemeActive;
extern PFN_IsAppThemed IsAppThemed;
extern PFN_GetWindowTheme GetWindowTheme;
extern PFN_EnableThemeDialogTexture EnableThemeDialogTexture;
extern PFN_IsThemeDialogTextureEnabled IsThemeDialogTextureEnabled;
extern PFN_GetThemeAppProperties GetThemeAppProperties;
extern PFN_SetThemeAppProperties SetThemeAppProperties;
extern PFN_GetCurrentThemeName GetCurrentThemeName;
extern PFN_GetThemeDocumentationProperty GetThemeDocumentationProperty;
extern PFN_DrawThemeParentBackground DrawThemeParentBackground;
extern PFN_EnableTheming EnableTheming;
