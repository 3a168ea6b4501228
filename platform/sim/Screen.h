// The virtual screen that GDI draws on: its size, depth and resolution, the system
// colours and metrics, and pictures of surfaces for a person to look at.
//
// Defaults: 1024 x 768 at 32 bits per pixel, 96 DPI, the classic system colours,
// metrics of a classic desktop (edges 2, scroll bars 17, icons 32). Changes take
// effect at once for every later call; ResetScreen brings back the defaults.
#pragma once

#include <string>

#include "platform/win/Gdi.h"

namespace sim {

// Replaces the screen surface (cleared to black) with one of the given size and
// depth (8, 16 (5-6-5), 24 or 32 bits). DCs on the screen see the new surface.
// False (nothing changes) for sizes below 1 or above 16384, or another depth.
bool SetScreenSize(int width, int height, int bitsPerPixel = 32);
void SetScreenDpi(int dpiX, int dpiY);
// GetSysColor(index) answers color from now on; brushes from GetSysColorBrush follow.
void SetSysColor(int index, COLORREF color);
void SetSystemMetric(int index, int value);
// Text from now on draws with FreeType's outline faces (true) or the built-in bitmap
// font (false, the default); false when FreeType or its faces are not there.
bool UseFreeTypeFonts(bool on);
// Screen size, depth, DPI, colours, metrics and the font engine back to the defaults.
void ResetScreen();

// Writes the pixels of a bitmap, of the bitmap selected into a DC, or of a packed DIB
// (header + colour table + bits, or the bits given apart) as an 8-bit RGB PNG file.
// For a person looking at a failed test; false when the object or file is bad.
bool SaveBitmapPng(HBITMAP bitmap, const std::string& path);
bool SaveDCPng(HDC hdc, const std::string& path);
bool SaveDibPng(const BITMAPINFO* info, const void* bits, const std::string& path);

}  // namespace sim
