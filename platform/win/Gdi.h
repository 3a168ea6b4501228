// GDI on in-memory surfaces: bitmaps, device contexts, drawing objects, blits with
// raster operations, lines and shapes, regions, palettes, device capabilities and
// the system's colours and metrics. Text and fonts are in GdiText.h, DrawDib in
// GdiDrawDib.h; this header includes both.
//
// Every picture is a block of memory in one pixel model: rows padded to 32 bits, 1,
// 4, 8, 16 (5-5-5 or 5-6-5), 24 or 32 bits per pixel, a colour table of RGBQUADs for
// the palettised depths. A device-dependent bitmap (DDB) is the same model with a
// flag; a DIB section hands its bits to the caller and keeps their address until it
// is deleted. The screen is a surface the display backend keeps (Display.h); its size,
// depth and resolution are the backend's.
//
// Handles of GDI objects are pointer-sized numbers, never reused within the process;
// a stale or wrong handle makes a call fail instead of touching memory. Calls may
// come from any thread; a DC and the objects selected into it are used by one thread
// at a time, as on the platform.
//
// Coordinates are logical (MM_TEXT): device = logical - window origin + viewport
// origin. Rectangles exclude their right and bottom edges.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/win/WinTypes.h"

using HGDIOBJ = uintptr_t;
using HBITMAP = uintptr_t;
using HDC = uintptr_t;
using HPEN = uintptr_t;
using HFONT = uintptr_t;
using HRGN = uintptr_t;
using HPALETTE = uintptr_t;
using COLORREF = DWORD;

inline constexpr HGDIOBJ HGDI_ERROR = ~HGDIOBJ{0};
inline constexpr Integer GDI_ERROR = -1;
inline constexpr COLORREF CLR_INVALID = 0xFFFFFFFFu;
inline constexpr COLORREF CLR_NONE = 0xFFFFFFFFu;
inline constexpr COLORREF CLR_DEFAULT = 0xFF000000u;

struct SIZE {
  Integer cx = 0;
  Integer cy = 0;
};

// ---------------------------------------------------------------------------------
// Colours. COLORREF is 0x00BBGGRR; a high byte of 1 makes the low word an index into
// the DC's selected palette (PALETTEINDEX), 2 asks for the palette's nearest colour
// (PALETTERGB, drawn as the plain RGB here).

inline constexpr COLORREF RGB(Byte r, Byte g, Byte b) {
  return static_cast<COLORREF>(r) | (static_cast<COLORREF>(g) << 8) | (static_cast<COLORREF>(b) << 16);
}
inline constexpr Byte GetRValue(COLORREF c) { return static_cast<Byte>(c & 0xFF); }
inline constexpr Byte GetGValue(COLORREF c) { return static_cast<Byte>((c >> 8) & 0xFF); }
inline constexpr Byte GetBValue(COLORREF c) { return static_cast<Byte>((c >> 16) & 0xFF); }
inline constexpr COLORREF PALETTEINDEX(Word index) { return 0x01000000u | index; }
inline constexpr COLORREF PALETTERGB(Byte r, Byte g, Byte b) { return 0x02000000u | RGB(r, g, b); }

// ---------------------------------------------------------------------------------
// Records, in the platform's layouts.

struct RGBQUAD {
  Byte rgbBlue = 0;
  Byte rgbGreen = 0;
  Byte rgbRed = 0;
  Byte rgbReserved = 0;
};
static_assert(sizeof(RGBQUAD) == 4);

struct BITMAPINFOHEADER {
  DWORD biSize = 0;
  Integer biWidth = 0;
  Integer biHeight = 0;  // positive: bottom-up rows; negative: top-down
  WORD biPlanes = 0;
  WORD biBitCount = 0;
  DWORD biCompression = 0;
  DWORD biSizeImage = 0;
  Integer biXPelsPerMeter = 0;
  Integer biYPelsPerMeter = 0;
  DWORD biClrUsed = 0;
  DWORD biClrImportant = 0;
};
static_assert(sizeof(BITMAPINFOHEADER) == 40);

// The header, then the colour table (or three DWORD masks for BI_BITFIELDS). Callers
// allocate room for as many entries as they need and cast.
struct BITMAPINFO {
  BITMAPINFOHEADER bmiHeader;
  RGBQUAD bmiColors[1];
};
static_assert(sizeof(BITMAPINFO) == 44);

#pragma pack(push, 2)
struct BITMAPFILEHEADER {
  WORD bfType = 0;  // 'BM' = 0x4D42
  DWORD bfSize = 0;
  WORD bfReserved1 = 0;
  WORD bfReserved2 = 0;
  DWORD bfOffBits = 0;
};
#pragma pack(pop)
static_assert(sizeof(BITMAPFILEHEADER) == 14);

// The 12-byte header of old-style DIBs (with RGBTRIPLE colour tables).
struct BITMAPCOREHEADER {
  DWORD bcSize = 0;
  WORD bcWidth = 0;
  WORD bcHeight = 0;
  WORD bcPlanes = 0;
  WORD bcBitCount = 0;
};
static_assert(sizeof(BITMAPCOREHEADER) == 12);

struct RGBTRIPLE {
  Byte rgbtBlue = 0;
  Byte rgbtGreen = 0;
  Byte rgbtRed = 0;
};
static_assert(sizeof(RGBTRIPLE) == 3);

struct BITMAP {
  Integer bmType = 0;
  Integer bmWidth = 0;
  Integer bmHeight = 0;
  Integer bmWidthBytes = 0;  // DIB sections: 32-bit padded; DDBs: 16-bit padded
  WORD bmPlanes = 0;
  WORD bmBitsPixel = 0;
  void* bmBits = nullptr;  // the bits of a DIB section; nullptr for a DDB
};

struct DIBSECTION {
  BITMAP dsBm;
  BITMAPINFOHEADER dsBmih;
  DWORD dsBitfields[3] = {0, 0, 0};
  HANDLE dshSection = 0;
  DWORD dsOffset = 0;
};

struct PALETTEENTRY {
  Byte peRed = 0;
  Byte peGreen = 0;
  Byte peBlue = 0;
  Byte peFlags = 0;
};
static_assert(sizeof(PALETTEENTRY) == 4);

struct LOGPALETTE {
  WORD palVersion = 0x300;
  WORD palNumEntries = 0;
  PALETTEENTRY palPalEntry[1];
};

struct LOGPEN {
  UINT lopnStyle = 0;
  POINT lopnWidth;  // x is the width; y unused
  COLORREF lopnColor = 0;
};

struct LOGBRUSH {
  UINT lbStyle = 0;
  COLORREF lbColor = 0;
  uintptr_t lbHatch = 0;  // the HS_ style, or the pattern bitmap's handle
};

struct ICONINFO {
  BOOL fIcon = TRUE;
  DWORD xHotspot = 0;
  DWORD yHotspot = 0;
  HBITMAP hbmMask = 0;
  HBITMAP hbmColor = 0;
};

// ---------------------------------------------------------------------------------
// Constants.

// BITMAPINFOHEADER compression and colour usage.
inline constexpr DWORD BI_RGB = 0;
inline constexpr DWORD BI_RLE8 = 1;
inline constexpr DWORD BI_RLE4 = 2;
inline constexpr DWORD BI_BITFIELDS = 3;
inline constexpr UINT DIB_RGB_COLORS = 0;
inline constexpr UINT DIB_PAL_COLORS = 1;
// CreateDIBitmap: initialise the bitmap from the bits given.
inline constexpr DWORD CBM_INIT = 4;

// GetObjectType answers.
inline constexpr DWORD OBJ_PEN = 1;
inline constexpr DWORD OBJ_BRUSH = 2;
inline constexpr DWORD OBJ_DC = 3;
inline constexpr DWORD OBJ_PAL = 5;
inline constexpr DWORD OBJ_FONT = 6;
inline constexpr DWORD OBJ_BITMAP = 7;
inline constexpr DWORD OBJ_REGION = 8;
inline constexpr DWORD OBJ_MEMDC = 10;

// GetStockObject.
inline constexpr Integer WHITE_BRUSH = 0;
inline constexpr Integer LTGRAY_BRUSH = 1;
inline constexpr Integer GRAY_BRUSH = 2;
inline constexpr Integer DKGRAY_BRUSH = 3;
inline constexpr Integer BLACK_BRUSH = 4;
inline constexpr Integer NULL_BRUSH = 5;
inline constexpr Integer HOLLOW_BRUSH = NULL_BRUSH;
inline constexpr Integer WHITE_PEN = 6;
inline constexpr Integer BLACK_PEN = 7;
inline constexpr Integer NULL_PEN = 8;
inline constexpr Integer OEM_FIXED_FONT = 10;
inline constexpr Integer ANSI_FIXED_FONT = 11;
inline constexpr Integer ANSI_VAR_FONT = 12;
inline constexpr Integer SYSTEM_FONT = 13;
inline constexpr Integer DEVICE_DEFAULT_FONT = 14;
inline constexpr Integer DEFAULT_PALETTE = 15;
inline constexpr Integer SYSTEM_FIXED_FONT = 16;
inline constexpr Integer DEFAULT_GUI_FONT = 17;

// Pen styles.
inline constexpr UINT PS_SOLID = 0;
inline constexpr UINT PS_DASH = 1;        // 18 on, 6 off
inline constexpr UINT PS_DOT = 2;         // 3 on, 3 off
inline constexpr UINT PS_DASHDOT = 3;     // 9 on, 6 off, 3 on, 6 off
inline constexpr UINT PS_DASHDOTDOT = 4;  // 9 on, 3 off, 3 on, 3 off, 3 on, 3 off
inline constexpr UINT PS_NULL = 5;
inline constexpr UINT PS_INSIDEFRAME = 6;
inline constexpr UINT PS_STYLE_MASK = 0x0000000F;

// Brush styles and hatches.
inline constexpr UINT BS_SOLID = 0;
inline constexpr UINT BS_NULL = 1;
inline constexpr UINT BS_HOLLOW = BS_NULL;
inline constexpr UINT BS_HATCHED = 2;
inline constexpr UINT BS_PATTERN = 3;
inline constexpr Integer HS_HORIZONTAL = 0;  // -----
inline constexpr Integer HS_VERTICAL = 1;    // |||||
inline constexpr Integer HS_FDIAGONAL = 2;   // \\\\\ (top left to bottom right)
inline constexpr Integer HS_BDIAGONAL = 3;   // ///// (bottom left to top right)
inline constexpr Integer HS_CROSS = 4;       // +++++
inline constexpr Integer HS_DIAGCROSS = 5;   // xxxxx

// Background modes.
inline constexpr Integer TRANSPARENT = 1;
inline constexpr Integer OPAQUE = 2;

// Pen mixes (SetROP2): code n applies the truth table n - 1 over (pen, destination).
inline constexpr Integer R2_BLACK = 1;
inline constexpr Integer R2_NOTMERGEPEN = 2;
inline constexpr Integer R2_MASKNOTPEN = 3;
inline constexpr Integer R2_NOTCOPYPEN = 4;
inline constexpr Integer R2_MASKPENNOT = 5;
inline constexpr Integer R2_NOT = 6;
inline constexpr Integer R2_XORPEN = 7;
inline constexpr Integer R2_NOTMASKPEN = 8;
inline constexpr Integer R2_MASKPEN = 9;
inline constexpr Integer R2_NOTXORPEN = 10;
inline constexpr Integer R2_NOP = 11;
inline constexpr Integer R2_MERGENOTPEN = 12;
inline constexpr Integer R2_COPYPEN = 13;
inline constexpr Integer R2_MERGEPENNOT = 14;
inline constexpr Integer R2_MERGEPEN = 15;
inline constexpr Integer R2_WHITE = 16;

// Ternary raster operations: bits 16-23 hold the truth table, indexed by
// (pattern << 2) | (source << 1) | destination; the low word is ignored.
inline constexpr DWORD SRCCOPY = 0x00CC0020;
inline constexpr DWORD SRCPAINT = 0x00EE0086;
inline constexpr DWORD SRCAND = 0x008800C6;
inline constexpr DWORD SRCINVERT = 0x00660046;
inline constexpr DWORD SRCERASE = 0x00440328;
inline constexpr DWORD NOTSRCCOPY = 0x00330008;
inline constexpr DWORD NOTSRCERASE = 0x001100A6;
inline constexpr DWORD MERGECOPY = 0x00C000CA;
inline constexpr DWORD MERGEPAINT = 0x00BB0226;
inline constexpr DWORD PATCOPY = 0x00F00021;
inline constexpr DWORD PATPAINT = 0x00FB0A09;
inline constexpr DWORD PATINVERT = 0x005A0049;
inline constexpr DWORD DSTINVERT = 0x00550009;
inline constexpr DWORD BLACKNESS = 0x00000042;
inline constexpr DWORD WHITENESS = 0x00FF0062;
// Operations that make a full code from a truth table.
inline constexpr DWORD MAKEROP3(Byte index) { return static_cast<DWORD>(index) << 16; }
inline constexpr Byte ROP3Index(DWORD rop) { return static_cast<Byte>((rop >> 16) & 0xFF); }

// StretchBlt modes.
inline constexpr Integer BLACKONWHITE = 1;  // shrinking ANDs the dropped pixels
inline constexpr Integer WHITEONBLACK = 2;  // shrinking ORs the dropped pixels
inline constexpr Integer COLORONCOLOR = 3;  // shrinking drops pixels
inline constexpr Integer HALFTONE = 4;      // shrinking averages the covered pixels
inline constexpr Integer STRETCH_ANDSCANS = BLACKONWHITE;
inline constexpr Integer STRETCH_ORSCANS = WHITEONBLACK;
inline constexpr Integer STRETCH_DELETESCANS = COLORONCOLOR;
inline constexpr Integer STRETCH_HALFTONE = HALFTONE;

// Polygon fill modes.
inline constexpr Integer ALTERNATE = 1;
inline constexpr Integer WINDING = 2;

// Regions: combine modes and the kinds of region that calls answer.
inline constexpr Integer RGN_AND = 1;
inline constexpr Integer RGN_OR = 2;
inline constexpr Integer RGN_XOR = 3;
inline constexpr Integer RGN_DIFF = 4;
inline constexpr Integer RGN_COPY = 5;
inline constexpr Integer ERROR = 0;
inline constexpr Integer NULLREGION = 1;
inline constexpr Integer SIMPLEREGION = 2;
inline constexpr Integer COMPLEXREGION = 3;

// GetDeviceCaps indexes and answers.
inline constexpr Integer DRIVERVERSION = 0;
inline constexpr Integer TECHNOLOGY = 2;
inline constexpr Integer HORZSIZE = 4;
inline constexpr Integer VERTSIZE = 6;
inline constexpr Integer HORZRES = 8;
inline constexpr Integer VERTRES = 10;
inline constexpr Integer BITSPIXEL = 12;
inline constexpr Integer PLANES = 14;
inline constexpr Integer NUMBRUSHES = 16;
inline constexpr Integer NUMPENS = 18;
inline constexpr Integer NUMFONTS = 22;
inline constexpr Integer NUMCOLORS = 24;
inline constexpr Integer RASTERCAPS = 38;
inline constexpr Integer LOGPIXELSX = 88;
inline constexpr Integer LOGPIXELSY = 90;
inline constexpr Integer SIZEPALETTE = 104;
inline constexpr Integer NUMRESERVED = 106;
inline constexpr Integer COLORRES = 108;
inline constexpr Integer PHYSICALWIDTH = 110;
inline constexpr Integer PHYSICALHEIGHT = 111;
inline constexpr Integer PHYSICALOFFSETX = 112;
inline constexpr Integer PHYSICALOFFSETY = 113;
inline constexpr Integer DT_RASDISPLAY = 1;
inline constexpr Integer DT_RASPRINTER = 2;
inline constexpr Integer RC_BITBLT = 0x0001;
inline constexpr Integer RC_BITMAP64 = 0x0008;
inline constexpr Integer RC_DI_BITMAP = 0x0080;
inline constexpr Integer RC_PALETTE = 0x0100;
inline constexpr Integer RC_DIBTODEV = 0x0200;
inline constexpr Integer RC_STRETCHBLT = 0x0800;
inline constexpr Integer RC_STRETCHDIB = 0x2000;

// DrawEdge.
inline constexpr UINT BDR_RAISEDOUTER = 0x0001;
inline constexpr UINT BDR_SUNKENOUTER = 0x0002;
inline constexpr UINT BDR_RAISEDINNER = 0x0004;
inline constexpr UINT BDR_SUNKENINNER = 0x0008;
inline constexpr UINT BDR_OUTER = BDR_RAISEDOUTER | BDR_SUNKENOUTER;
inline constexpr UINT BDR_INNER = BDR_RAISEDINNER | BDR_SUNKENINNER;
inline constexpr UINT BDR_RAISED = BDR_RAISEDOUTER | BDR_RAISEDINNER;
inline constexpr UINT BDR_SUNKEN = BDR_SUNKENOUTER | BDR_SUNKENINNER;
inline constexpr UINT EDGE_RAISED = BDR_RAISEDOUTER | BDR_RAISEDINNER;
inline constexpr UINT EDGE_SUNKEN = BDR_SUNKENOUTER | BDR_SUNKENINNER;
inline constexpr UINT EDGE_ETCHED = BDR_SUNKENOUTER | BDR_RAISEDINNER;
inline constexpr UINT EDGE_BUMP = BDR_RAISEDOUTER | BDR_SUNKENINNER;
inline constexpr UINT BF_LEFT = 0x0001;
inline constexpr UINT BF_TOP = 0x0002;
inline constexpr UINT BF_RIGHT = 0x0004;
inline constexpr UINT BF_BOTTOM = 0x0008;
inline constexpr UINT BF_TOPLEFT = BF_TOP | BF_LEFT;
inline constexpr UINT BF_TOPRIGHT = BF_TOP | BF_RIGHT;
inline constexpr UINT BF_BOTTOMLEFT = BF_BOTTOM | BF_LEFT;
inline constexpr UINT BF_BOTTOMRIGHT = BF_BOTTOM | BF_RIGHT;
inline constexpr UINT BF_RECT = BF_LEFT | BF_TOP | BF_RIGHT | BF_BOTTOM;
inline constexpr UINT BF_MIDDLE = 0x0800;
inline constexpr UINT BF_SOFT = 0x1000;
inline constexpr UINT BF_ADJUST = 0x2000;
inline constexpr UINT BF_FLAT = 0x4000;
inline constexpr UINT BF_MONO = 0x8000;

// DrawIconEx.
inline constexpr UINT DI_MASK = 0x0001;
inline constexpr UINT DI_IMAGE = 0x0002;
inline constexpr UINT DI_NORMAL = 0x0003;
inline constexpr UINT DI_COMPAT = 0x0004;
inline constexpr UINT DI_DEFAULTSIZE = 0x0008;

// System colours (GetSysColor, GetSysColorBrush; FillRect takes index + 1 as a brush).
inline constexpr Integer COLOR_SCROLLBAR = 0;
inline constexpr Integer COLOR_BACKGROUND = 1;
inline constexpr Integer COLOR_DESKTOP = COLOR_BACKGROUND;
inline constexpr Integer COLOR_ACTIVECAPTION = 2;
inline constexpr Integer COLOR_INACTIVECAPTION = 3;
inline constexpr Integer COLOR_MENU = 4;
inline constexpr Integer COLOR_WINDOW = 5;
inline constexpr Integer COLOR_WINDOWFRAME = 6;
inline constexpr Integer COLOR_MENUTEXT = 7;
inline constexpr Integer COLOR_WINDOWTEXT = 8;
inline constexpr Integer COLOR_CAPTIONTEXT = 9;
inline constexpr Integer COLOR_ACTIVEBORDER = 10;
inline constexpr Integer COLOR_INACTIVEBORDER = 11;
inline constexpr Integer COLOR_APPWORKSPACE = 12;
inline constexpr Integer COLOR_HIGHLIGHT = 13;
inline constexpr Integer COLOR_HIGHLIGHTTEXT = 14;
inline constexpr Integer COLOR_BTNFACE = 15;
inline constexpr Integer COLOR_3DFACE = COLOR_BTNFACE;
inline constexpr Integer COLOR_BTNSHADOW = 16;
inline constexpr Integer COLOR_3DSHADOW = COLOR_BTNSHADOW;
inline constexpr Integer COLOR_GRAYTEXT = 17;
inline constexpr Integer COLOR_BTNTEXT = 18;
inline constexpr Integer COLOR_INACTIVECAPTIONTEXT = 19;
inline constexpr Integer COLOR_BTNHIGHLIGHT = 20;
inline constexpr Integer COLOR_3DHIGHLIGHT = COLOR_BTNHIGHLIGHT;
inline constexpr Integer COLOR_3DHILIGHT = COLOR_BTNHIGHLIGHT;
inline constexpr Integer COLOR_BTNHILIGHT = COLOR_BTNHIGHLIGHT;
inline constexpr Integer COLOR_3DDKSHADOW = 21;
inline constexpr Integer COLOR_3DLIGHT = 22;
inline constexpr Integer COLOR_INFOTEXT = 23;
inline constexpr Integer COLOR_INFOBK = 24;
inline constexpr Integer COLOR_HOTLIGHT = 26;
inline constexpr Integer COLOR_GRADIENTACTIVECAPTION = 27;
inline constexpr Integer COLOR_GRADIENTINACTIVECAPTION = 28;
inline constexpr Integer COLOR_MENUHILIGHT = 29;
inline constexpr Integer COLOR_MENUBAR = 30;
inline constexpr Integer COLOR_COUNT = 31;

// GetSystemMetrics.
inline constexpr Integer SM_CXSCREEN = 0;
inline constexpr Integer SM_CYSCREEN = 1;
inline constexpr Integer SM_CXVSCROLL = 2;
inline constexpr Integer SM_CYHSCROLL = 3;
inline constexpr Integer SM_CYCAPTION = 4;
inline constexpr Integer SM_CXBORDER = 5;
inline constexpr Integer SM_CYBORDER = 6;
inline constexpr Integer SM_CXDLGFRAME = 7;
inline constexpr Integer SM_CYDLGFRAME = 8;
inline constexpr Integer SM_CYVTHUMB = 9;
inline constexpr Integer SM_CXHTHUMB = 10;
inline constexpr Integer SM_CXICON = 11;
inline constexpr Integer SM_CYICON = 12;
inline constexpr Integer SM_CXCURSOR = 13;
inline constexpr Integer SM_CYCURSOR = 14;
inline constexpr Integer SM_CYMENU = 15;
inline constexpr Integer SM_CXFULLSCREEN = 16;
inline constexpr Integer SM_CYFULLSCREEN = 17;
inline constexpr Integer SM_CYVSCROLL = 20;
inline constexpr Integer SM_CXHSCROLL = 21;
inline constexpr Integer SM_CXMIN = 28;
inline constexpr Integer SM_CYMIN = 29;
inline constexpr Integer SM_CXSIZE = 30;
inline constexpr Integer SM_CYSIZE = 31;
inline constexpr Integer SM_CXFRAME = 32;
inline constexpr Integer SM_CYFRAME = 33;
inline constexpr Integer SM_CXDOUBLECLK = 36;
inline constexpr Integer SM_CYDOUBLECLK = 37;
inline constexpr Integer SM_CXICONSPACING = 38;
inline constexpr Integer SM_CYICONSPACING = 39;
inline constexpr Integer SM_CXEDGE = 45;
inline constexpr Integer SM_CYEDGE = 46;
inline constexpr Integer SM_CXSMICON = 49;
inline constexpr Integer SM_CYSMICON = 50;
inline constexpr Integer SM_CYSMCAPTION = 51;
inline constexpr Integer SM_CXMAXIMIZED = 61;
inline constexpr Integer SM_CYMAXIMIZED = 62;
inline constexpr Integer SM_CXDRAG = 68;
inline constexpr Integer SM_CYDRAG = 69;
inline constexpr Integer SM_XVIRTUALSCREEN = 76;
inline constexpr Integer SM_YVIRTUALSCREEN = 77;
inline constexpr Integer SM_CXVIRTUALSCREEN = 78;
inline constexpr Integer SM_CYVIRTUALSCREEN = 79;
inline constexpr Integer SM_CMONITORS = 80;
inline constexpr Integer SM_CXFOCUSBORDER = 83;
inline constexpr Integer SM_CYFOCUSBORDER = 84;
inline constexpr Integer SM_COUNT = 100;

// GetCurrentObject kinds are the OBJ_ numbers above.

// Text alignment (SetTextAlign).
inline constexpr UINT TA_NOUPDATECP = 0;
inline constexpr UINT TA_UPDATECP = 1;
inline constexpr UINT TA_LEFT = 0;
inline constexpr UINT TA_RIGHT = 2;
inline constexpr UINT TA_CENTER = 6;
inline constexpr UINT TA_TOP = 0;
inline constexpr UINT TA_BOTTOM = 8;
inline constexpr UINT TA_BASELINE = 24;

// ---------------------------------------------------------------------------------
// Rectangles (user32's helpers). Empty means right <= left or bottom <= top.

BOOL SetRect(RECT* rect, Integer left, Integer top, Integer right, Integer bottom);
BOOL SetRectEmpty(RECT* rect);
BOOL CopyRect(RECT* dest, const RECT* src);
BOOL IsRectEmpty(const RECT* rect);
BOOL EqualRect(const RECT* a, const RECT* b);
BOOL PtInRect(const RECT* rect, POINT pt);
BOOL OffsetRect(RECT* rect, Integer dx, Integer dy);
BOOL InflateRect(RECT* rect, Integer dx, Integer dy);
// FALSE (and an empty dest) when the rectangles do not overlap.
BOOL IntersectRect(RECT* dest, const RECT* a, const RECT* b);
BOOL UnionRect(RECT* dest, const RECT* a, const RECT* b);
// a * b / c rounded half away from zero, in 64 bits; -1 when c is 0 or the result
// does not fit 32 bits.
Integer MulDiv(Integer a, Integer b, Integer c);

// ---------------------------------------------------------------------------------
// Objects.

// OBJ_ kind of a live handle, 0 for anything else (with ERROR_INVALID_HANDLE).
DWORD GetObjectType(HGDIOBJ obj);
// Fills buffer with the object's record (BITMAP or DIBSECTION for bitmaps, LOGPEN,
// LOGBRUSH, LOGFONT, WORD entry count for palettes) and answers the bytes written.
// A null buffer answers the size needed. A bitmap fills a DIBSECTION when the
// buffer is that large and the bitmap is a DIB section, else a BITMAP.
Integer GetObject(HGDIOBJ obj, Integer bufferSize, void* buffer);
// Stock objects are never deleted (DeleteObject answers TRUE and keeps them).
HGDIOBJ GetStockObject(Integer index);
// FALSE for an unknown handle and for a bitmap still selected into a DC. A pen,
// brush, font or palette still selected is marked: its handle stays valid while it
// is selected and goes when it is deselected or its DC is deleted. TRUE otherwise.
BOOL DeleteObject(HGDIOBJ obj);

// ---------------------------------------------------------------------------------
// Bitmaps.

// A DIB section of the header's size, depth and colour table (BI_RGB, or
// BI_BITFIELDS at 16 or 32 bits with masks after the header). The zeroed bits
// (rows padded to 32 bits; bottom-up for a positive height, top-down for a negative
// one) go to *bits and keep their address until the bitmap is deleted. hdc is used
// only for DIB_PAL_COLORS. section and offset are unused (no file mapping). 0 and
// *bits = nullptr on a bad header, a size that does not fit or no memory.
HBITMAP CreateDIBSection(HDC hdc, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section,
                         DWORD offset);
// A device-dependent bitmap of the given depth (1, 4, 8, 16, 24 or 32; planes must
// be 1). bits, if given, holds the rows top-down, each padded to 16 bits. A 1-bit
// DDB is monochrome (0 black, 1 white).
HBITMAP CreateBitmap(Integer width, Integer height, UINT planes, UINT bitCount, const void* bits);
// A bitmap that can be selected with hdc's bitmap: the screen's depth for the screen
// or a DC holding a device-dependent colour bitmap; a monochrome DDB for a memory DC
// holding its default bitmap (or a monochrome bitmap); a DIB section of the same format when hdc
// holds a DIB section. Zero width or height gives a 1 x 1 monochrome bitmap. The
// pixels start black (zero).
HBITMAP CreateCompatibleBitmap(HDC hdc, Integer width, Integer height);
// A compatible bitmap of the header's size, filled from bits (as SetDIBits) when
// init has CBM_INIT.
HBITMAP CreateDIBitmap(HDC hdc, const BITMAPINFOHEADER* header, DWORD init, const void* bits,
                       const BITMAPINFO* info, UINT usage);
// The colour table of the DIB section selected into hdc (1, 4 and 8 bits). Answer
// the entries read or written, 0 when there is none.
UINT GetDIBColorTable(HDC hdc, UINT start, UINT entries, RGBQUAD* colors);
UINT SetDIBColorTable(HDC hdc, UINT start, UINT entries, const RGBQUAD* colors);

// Reads lines of a bitmap as a DIB in the format info asks for. Lines count from the
// bottom for a positive biHeight (line 0 is the bottom row), from the top for a
// negative one. With bits == nullptr it is a query: a biBitCount of 0 fills the
// header with the bitmap's own format (biSizeImage included, no colour table);
// otherwise the colour table (or the masks for BI_BITFIELDS) and biSizeImage are
// filled. A different palettised depth gets a standard table: black/white for 1
// bit, the 16 VGA colours for 4, the 20 static colours around a 6x6x6 cube and a
// grey ramp for 8. Answers the lines copied (nonzero for a query), 0 on failure.
// The bitmap must not be selected into a DC other than hdc.
Integer GetDIBits(HDC hdc, HBITMAP bitmap, UINT start, UINT lines, void* bits, BITMAPINFO* info,
                  UINT usage);
// Writes lines of a DIB into a bitmap, converting to its format (nearest colour-table
// entry for palettised bitmaps). Answers the lines written, 0 on failure.
Integer SetDIBits(HDC hdc, HBITMAP bitmap, UINT start, UINT lines, const void* bits,
                  const BITMAPINFO* info, UINT usage);

// ---------------------------------------------------------------------------------
// Device contexts.

// A memory DC with a 1 x 1 monochrome bitmap selected (the same stock bitmap in
// every memory DC), the stock white brush, black pen and system font, text black,
// background white and opaque, R2_COPYPEN, BLACKONWHITE, ALTERNATE, no clip region.
// hdc == 0 or any DC is accepted.
HDC CreateCompatibleDC(HDC hdc);
BOOL DeleteDC(HDC hdc);
// A memory DC that stands for a printer's page of width x height device pixels at
// dpiX x dpiY: GetDeviceCaps answers those for HORZRES/VERTRES, PHYSICALWIDTH/HEIGHT
// and LOGPIXELSX/Y, the page's size in millimetres for HORZSIZE/VERTSIZE, and
// DT_RASPRINTER for TECHNOLOGY. The caller selects the page's bitmap into it. 0 for
// sizes or resolutions below 1.
HDC CreatePrinterDC(Integer width, Integer height, Integer dpiX, Integer dpiY);
// GetDC(0) / GetWindowDC(0): a DC on the screen. DCs of windows are views of their
// top-level window's surface (Window.h, where they are made); ReleaseDC of a window's
// DC marks what it could draw on for presenting.
HDC GetDC(HWND hWnd);
HDC GetWindowDC(HWND hWnd);
Integer ReleaseDC(HWND hWnd, HDC hdc);

// Answers the previous object of the same kind, 0 on failure (a bitmap selected in
// another DC, a bitmap into the screen DC, a dead handle). Selecting a region sets
// the clip region (a copy) and answers its kind (NULLREGION, ...) or HGDI_ERROR.
HGDIOBJ SelectObject(HDC hdc, HGDIOBJ obj);
// OBJ_PEN, OBJ_BRUSH, OBJ_FONT, OBJ_BITMAP or OBJ_PAL.
HGDIOBJ GetCurrentObject(HDC hdc, UINT kind);
// Pushes the DC's state (objects, colours, modes, origins, clip, position); answers
// the new depth. RestoreDC(-n) pops n levels, RestoreDC(n) back to the state saved
// as level n. FALSE for a level that is not there.
Integer SaveDC(HDC hdc);
BOOL RestoreDC(HDC hdc, Integer savedDC);

// Each answers the previous value (CLR_INVALID / 0 on a bad DC).
COLORREF SetTextColor(HDC hdc, COLORREF color);
COLORREF GetTextColor(HDC hdc);
COLORREF SetBkColor(HDC hdc, COLORREF color);
COLORREF GetBkColor(HDC hdc);
Integer SetBkMode(HDC hdc, Integer mode);
Integer GetBkMode(HDC hdc);
Integer SetROP2(HDC hdc, Integer mode);
Integer GetROP2(HDC hdc);
Integer SetStretchBltMode(HDC hdc, Integer mode);
Integer GetStretchBltMode(HDC hdc);
Integer SetPolyFillMode(HDC hdc, Integer mode);
Integer GetPolyFillMode(HDC hdc);
UINT SetTextAlign(HDC hdc, UINT align);
UINT GetTextAlign(HDC hdc);

BOOL SetWindowOrgEx(HDC hdc, Integer x, Integer y, POINT* previous);
BOOL GetWindowOrgEx(HDC hdc, POINT* origin);
BOOL OffsetWindowOrgEx(HDC hdc, Integer dx, Integer dy, POINT* previous);
BOOL SetViewportOrgEx(HDC hdc, Integer x, Integer y, POINT* previous);
BOOL GetViewportOrgEx(HDC hdc, POINT* origin);
BOOL OffsetViewportOrgEx(HDC hdc, Integer dx, Integer dy, POINT* previous);
// The brush origin (device coordinates) aligns hatches and pattern brushes.
BOOL SetBrushOrgEx(HDC hdc, Integer x, Integer y, POINT* previous);
BOOL GetBrushOrgEx(HDC hdc, POINT* origin);
BOOL MoveToEx(HDC hdc, Integer x, Integer y, POINT* previous);
BOOL GetCurrentPositionEx(HDC hdc, POINT* pos);

// ---------------------------------------------------------------------------------
// Regions (device coordinates) and clipping.

HRGN CreateRectRgn(Integer left, Integer top, Integer right, Integer bottom);
HRGN CreateRectRgnIndirect(const RECT* rect);
// The pixels whose centres lie inside the polygon (ALTERNATE: odd crossings,
// WINDING: nonzero winding number), so a rectangle's right and bottom edges are out.
HRGN CreatePolygonRgn(const POINT* points, Integer count, Integer fillMode);
// dest = src1 op src2 (src2 unused for RGN_COPY); dest may be one of the sources.
// Answers the kind of the result, ERROR on a bad handle or mode.
Integer CombineRgn(HRGN dest, HRGN src1, HRGN src2, Integer mode);
BOOL PtInRegion(HRGN rgn, Integer x, Integer y);
Integer GetRgnBox(HRGN rgn, RECT* box);
Integer OffsetRgn(HRGN rgn, Integer dx, Integer dy);
// Sets the clip region to a copy of rgn; 0 removes it. Answers the kind of the new
// clip area.
Integer SelectClipRgn(HDC hdc, HRGN rgn);
// 1 and a copy of the clip region in rgn when there is one, 0 when there is none,
// -1 on error.
Integer GetClipRgn(HDC hdc, HRGN rgn);
// Logical coordinates. Answer the kind of the new clip area.
Integer ExcludeClipRect(HDC hdc, Integer left, Integer top, Integer right, Integer bottom);
Integer IntersectClipRect(HDC hdc, Integer left, Integer top, Integer right, Integer bottom);
// The bounds of what can be drawn (the clip region within the surface), in logical
// coordinates; answers its kind.
Integer GetClipBox(HDC hdc, RECT* box);

// ---------------------------------------------------------------------------------
// Pens and brushes.

// Dashed styles apply to pens of width 0 or 1 only; wider ones draw solid, as squares
// of the pen's width centred on the line. Gaps take the background colour in OPAQUE
// mode.
HPEN CreatePen(Integer style, Integer width, COLORREF color);
HPEN CreatePenIndirect(const LOGPEN* pen);
HBRUSH CreateSolidBrush(COLORREF color);
// An 8 x 8 hatch in color over the background colour (OPAQUE) or over what is there
// (TRANSPARENT), aligned to the brush origin.
HBRUSH CreateHatchBrush(Integer hatch, COLORREF color);
// Tiles a copy of the bitmap. A monochrome bitmap draws its 0 bits in the text colour
// and its 1 bits in the background colour.
HBRUSH CreatePatternBrush(HBITMAP bitmap);
HBRUSH CreateBrushIndirect(const LOGBRUSH* brush);
// A stock brush of the system colour; it follows later changes of that colour.
HBRUSH GetSysColorBrush(Integer index);

// ---------------------------------------------------------------------------------
// Blits. Sources and destinations may be any depth. Between depths: a source pixel
// becomes a colour through its format (a palettised source through its colour
// table); a monochrome DDB source becomes the destination DC's text colour (0) and
// background colour (1); a colour source going into a 1-bit destination gives 1
// where it equals the source DC's background colour and 0 elsewhere (the nearest of
// the destination's colours when there is no source DC, as for DIBs); 1 bit to 1 bit
// copies the bits; a colour becomes a palettised destination's nearest colour-table
// entry. The raster operation then works bitwise on the destination's pixel values
// (colour-table indexes for palettised surfaces). 32-bit destinations keep 0 in
// the fourth byte, except plain SRCCOPY from another 32-bit surface, which copies it.
// 5- and 6-bit channels widen to 8 bits by repeating their high bits (0x1F -> 0xFF)
// and narrow by dropping low bits. Parts of a source rectangle outside the source
// leave their destination pixels alone.

BOOL BitBlt(HDC dest, Integer x, Integer y, Integer width, Integer height, HDC src, Integer xSrc,
            Integer ySrc, DWORD rop);
// Nearest sampling: destination pixel i of n takes source pixel (2i + 1) * m / (2n)
// of m (in each direction). When shrinking, BLACKONWHITE ANDs and WHITEONBLACK ORs
// the colours of all source pixels [i * m / n, (i + 1) * m / n) and HALFTONE
// averages them (rounded); COLORONCOLOR keeps the nearest sample. Negative sizes
// mirror.
BOOL StretchBlt(HDC dest, Integer x, Integer y, Integer width, Integer height, HDC src,
                Integer xSrc, Integer ySrc, Integer srcWidth, Integer srcHeight, DWORD rop);
// The pattern is the DC's brush.
BOOL PatBlt(HDC hdc, Integer x, Integer y, Integer width, Integer height, DWORD rop);
// A source rectangle of a DIB given by header and bits. For a bottom-up DIB ySrc is
// measured from the bottom row up to the rectangle's lower edge (the platform's
// lower-left origin); for a top-down DIB from the top row. Answers the number of
// source lines, GDI_ERROR for a bad header, 0 for a bad DC.
Integer StretchDIBits(HDC hdc, Integer xDest, Integer yDest, Integer destWidth, Integer destHeight,
                      Integer xSrc, Integer ySrc, Integer srcWidth, Integer srcHeight,
                      const void* bits, const BITMAPINFO* info, UINT usage, DWORD rop);
// An unscaled SRCCOPY of a DIB rectangle. bits holds only lines [startScan,
// startScan + lines) of the DIB (counted from the bottom for a bottom-up DIB); ySrc
// follows StretchDIBits' convention. Answers the lines drawn.
Integer SetDIBitsToDevice(HDC hdc, Integer xDest, Integer yDest, DWORD width, DWORD height,
                          Integer xSrc, Integer ySrc, UINT startScan, UINT lines, const void* bits,
                          const BITMAPINFO* info, UINT usage);

// ---------------------------------------------------------------------------------
// Pixels, lines and shapes. Lines and the insides of Rectangle, Ellipse and Polygon
// go through the pen mix (ROP2); FillRect, FrameRect and PatBlt do not; SetPixel and
// text do not.

// Answers the colour set (the nearest the surface can hold), CLR_INVALID outside the
// clip area or surface.
COLORREF SetPixel(HDC hdc, Integer x, Integer y, COLORREF color);
BOOL SetPixelV(HDC hdc, Integer x, Integer y, COLORREF color);
COLORREF GetPixel(HDC hdc, Integer x, Integer y);
// From the current position to (x, y), which is not drawn and becomes the current
// position. Bresenham along the major axis; a tie (exactly half way) stays on the
// side of the start point.
BOOL LineTo(HDC hdc, Integer x, Integer y);
// Calls proc for each point LineTo would draw, start included, end excluded.
using LINEDDAPROC = void (*)(Integer x, Integer y, LPARAM data);
BOOL LineDDA(Integer x1, Integer y1, Integer x2, Integer y2, LINEDDAPROC proc, LPARAM data);
BOOL Polyline(HDC hdc, const POINT* points, Integer count);
BOOL PolylineTo(HDC hdc, const POINT* points, Integer count);
// Fills by the fill mode (pixel centres inside), then outlines the closed figure.
BOOL Polygon(HDC hdc, const POINT* points, Integer count);
// The pen outlines columns left and right - 1 and rows top and bottom - 1; the brush
// fills inside. With the null pen the fill covers [left, right - 1) x
// [top, bottom - 1), one pixel less each way, as on the platform.
BOOL Rectangle(HDC hdc, Integer left, Integer top, Integer right, Integer bottom);
// The pixels whose centres lie inside the ellipse inscribed in the box; the pen
// draws those of them with a 4-neighbour outside.
BOOL Ellipse(HDC hdc, Integer left, Integer top, Integer right, Integer bottom);
// brush may be a handle or a system colour index + 1.
Integer FillRect(HDC hdc, const RECT* rect, HBRUSH brush);
Integer FrameRect(HDC hdc, const RECT* rect, HBRUSH brush);
BOOL InvertRect(HDC hdc, const RECT* rect);
// A one-pixel frame inverted on every other pixel ((x + y) even in device
// coordinates); drawing it twice restores the picture.
BOOL DrawFocusRect(HDC hdc, const RECT* rect);
// Outer edge on the rectangle, inner edge one pixel inside. Raised outer:
// COLOR_3DLIGHT top-left, COLOR_3DDKSHADOW bottom-right; raised inner:
// COLOR_BTNHIGHLIGHT / COLOR_BTNSHADOW; sunken outer: COLOR_BTNSHADOW /
// COLOR_BTNHIGHLIGHT; sunken inner: COLOR_3DDKSHADOW / COLOR_3DLIGHT. The
// top-left colour covers the top row without its last pixel and the left column
// without its last pixel; the bottom-right colour the whole bottom row and the right
// column without its bottom pixel. BF_FLAT draws COLOR_BTNSHADOW outside and
// COLOR_BTNFACE inside, BF_MONO COLOR_WINDOWFRAME outside and COLOR_WINDOW inside. A
// side left out of flags leaves its neighbours' lines running to the corner. BF_MIDDLE fills the rest with
// COLOR_BTNFACE; BF_ADJUST shrinks rect by the edges drawn. BF_SOFT changes nothing.
BOOL DrawEdge(HDC hdc, RECT* rect, UINT edge, UINT flags);

// ---------------------------------------------------------------------------------
// Icons: a mask bitmap ANDed onto the destination, then a colour bitmap XORed on it.
// A monochrome icon has no colour bitmap and a mask twice as high (AND half above,
// XOR half below).

// Copies the bitmaps; the caller keeps and deletes its own.
HICON CreateIconIndirect(const ICONINFO* info);
// Fills info with new copies of the bitmaps, which the caller deletes.
BOOL GetIconInfo(HICON icon, ICONINFO* info);
BOOL DestroyIcon(HICON icon);
// width/height 0 take the icon's size (the system icon size with DI_DEFAULTSIZE);
// other sizes stretch. step and flickerFreeBrush are unused.
BOOL DrawIconEx(HDC hdc, Integer x, Integer y, HICON icon, Integer width, Integer height,
                UINT step, HBRUSH flickerFreeBrush, UINT flags);
BOOL DrawIcon(HDC hdc, Integer x, Integer y, HICON icon);

// ---------------------------------------------------------------------------------
// Palettes. A DC's palette resolves PALETTEINDEX colours; the default is the stock
// palette of the 20 static colours.

HPALETTE CreatePalette(const LOGPALETTE* palette);
UINT GetPaletteEntries(HPALETTE palette, UINT start, UINT entries, PALETTEENTRY* out);
UINT SetPaletteEntries(HPALETTE palette, UINT start, UINT entries, const PALETTEENTRY* in);
// Index of the entry nearest to color (smallest squared RGB distance, first on a
// tie); CLR_INVALID for a bad handle.
UINT GetNearestPaletteIndex(HPALETTE palette, COLORREF color);
HPALETTE SelectPalette(HDC hdc, HPALETTE palette, BOOL forceBackground);
// Nothing to map on a true-colour screen: answers 0 (no entries changed).
UINT RealizePalette(HDC hdc);

// ---------------------------------------------------------------------------------
// Device capabilities and the system's tables (settable through sim/Screen.h).

// Every DC answers for the virtual screen.
Integer GetDeviceCaps(HDC hdc, Integer index);
Integer GetSystemMetrics(Integer index);
// 0 for an index outside the table.
COLORREF GetSysColor(Integer index);

#include "platform/win/GdiDrawDib.h"
#include "platform/win/GdiText.h"
