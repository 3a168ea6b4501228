// DrawDib: drawing packed DIBs (header, colour table, bits) stretched onto a DC.
//
// Built on StretchDIBits with SRCCOPY. Unlike StretchDIBits, the source rectangle is
// counted from the top of the picture for bottom-up and top-down DIBs alike.
#pragma once

#include "platform/win/Gdi.h"

using HDRAWDIB = uintptr_t;

inline constexpr UINT DDF_UPDATE = 0x0002;
inline constexpr UINT DDF_SAME_HDC = 0x0004;
inline constexpr UINT DDF_SAME_DRAW = 0x0008;
inline constexpr UINT DDF_DONTDRAW = 0x0010;
inline constexpr UINT DDF_ANIMATE = 0x0020;
inline constexpr UINT DDF_BUFFER = 0x0040;
inline constexpr UINT DDF_JUSTDRAWIT = 0x0080;
inline constexpr UINT DDF_FULLSCREEN = 0x0100;
inline constexpr UINT DDF_BACKGROUNDPAL = 0x0200;
inline constexpr UINT DDF_NOTKEYFRAME = 0x0400;
inline constexpr UINT DDF_HURRYUP = 0x0800;
inline constexpr UINT DDF_HALFTONE = 0x1000;

// A new DrawDib handle (never reused); 0 never happens here.
HDRAWDIB DrawDibOpen();
BOOL DrawDibClose(HDRAWDIB hdd);
// Remembers the header and sizes for later draws with DDF_SAME_DRAW.
BOOL DrawDibBegin(HDRAWDIB hdd, HDC hdc, Integer dxDest, Integer dyDest,
                  const BITMAPINFOHEADER* header, Integer dxSrc, Integer dySrc, UINT flags);
BOOL DrawDibEnd(HDRAWDIB hdd);
// Draws the source rectangle (top-origin) of the DIB into the destination rectangle.
// bits == nullptr means the bits follow the header and its colour table. A
// destination size of -1 takes the source size; a source size of -1 the whole
// picture. DDF_HALFTONE shrinks by averaging (HALFTONE), otherwise COLORONCOLOR;
// DDF_DONTDRAW draws nothing. FALSE for a bad handle or header.
BOOL DrawDibDraw(HDRAWDIB hdd, HDC hdc, Integer xDest, Integer yDest, Integer dxDest, Integer dyDest,
                 const BITMAPINFOHEADER* header, const void* bits, Integer xSrc, Integer ySrc,
                 Integer dxSrc, Integer dySrc, UINT flags);
// Nothing to realize on a true-colour screen: answers 0 (no colours changed).
UINT DrawDibRealize(HDRAWDIB hdd, HDC hdc, BOOL background);
