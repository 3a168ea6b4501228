// The virtual screen that GDI draws on (kept by the null display backend, with the
// shown windows composed onto it): its size, depth and resolution, the system colours
// and metrics, and pictures of surfaces, windows and the screen for a person to look at.
//
// Defaults: 1024 x 768 at 32 bits per pixel, 96 DPI, the classic system colours,
// metrics of a classic desktop (edges 2, scroll bars 17, icons 32). Changes take
// effect at once for every later call; ResetScreen brings back the defaults.
#pragma once

#include <string>

#include "platform/win/Gdi.h"

namespace sim {

// Replaces the screen surface (filled with the desktop colour) with one of the given size and
// depth (8, 16 (5-6-5), 24 or 32 bits). DCs on the screen see the new surface.
// False (nothing changes) for sizes below 1 or above 16384, or another depth.
bool SetScreenSize(int width, int height, int bitsPerPixel = 32);
// Places the screen's top-left at (x, y) in screen coordinates, as a virtual screen
// spread over monitors left of or above the primary one: windows at negative
// positions show on it and SM_XVIRTUALSCREEN/SM_YVIRTUALSCREEN answer x and y.
bool SetScreenOrigin(int x, int y);
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

// The last frame the null display backend got for a top-level window (the window's
// top-level ancestor for a child), frame and caption included, as a PNG file. False
// when the window never reached the backend (never shown) or the file is bad.
bool SaveWindowPng(HWND hWnd, const std::string& path);
// The screen as a person would see it: the shown top-level windows' last frames in
// z-order over the desktop colour.
bool SaveScreenPng(const std::string& path);
// The last frame of a window's top-level window, read back: the colour at (x, y) in
// window coordinates of that top-level window (CLR_INVALID outside or never shown).
COLORREF FramePixel(HWND topLevel, int x, int y);
// What the null backend was asked: the cursor shown, the window holding the pointer,
// the number of beeps.
HCURSOR DisplayedCursor();
HWND PointerGrabbedBy();
int Beeps();

}  // namespace sim
