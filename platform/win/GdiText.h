// Fonts and text on GDI surfaces.
//
// Text is drawn by one of two font engines, chosen for the whole process (see
// SetFontEngine): the built-in bitmap font (the default) or outline faces through
// FreeType. Text in these calls is Windows-1252.
//
// The built-in font: every face name draws with the same font of our own, so text
// metrics are identical on every machine. Its glyphs are designed on a cell 6 pixels
// wide and 11 high: 2 rows of internal leading (where accents of capitals go), 7 rows
// of capitals above the baseline, 2 rows of descent. A font of cell height H (see
// CreateFont) scales that cell by nearest neighbour: destination pixel (x, y) of a
// glyph shows design pixel (x * 6 / W, y * 11 / H), W = the advance width. Bold fonts
// (weight 600 and up) smear every lit pixel one pixel to the right. The font covers
// the printable Windows-1252 bytes 0x20-0x7E and 0xA0-0xFF; other bytes draw as a
// box. Every character has the same advance (a monospaced font).
//
// FreeType: fontconfig finds the face file for the name, weight and slant: DejaVu
// Sans for "MS Sans Serif", "Tahoma", "Arial", "Verdana" and an empty name, DejaVu
// Serif for "Times New Roman", DejaVu Sans Mono for "Courier New", other names by
// fontconfig's own matching (DejaVu Sans when it finds nothing). A style the family
// lacks is made up (emboldened, slanted). A negative height is the em in pixels, a
// positive one the cell (the face's Windows ascent plus descent, rounded down to a
// whole em), 0 is 8 points at the screen's resolution; a width stretches the face to
// that average character width. Metrics are the face's own (ascent and descent from
// its OS/2 table, internal leading = cell - em, average width from the OS/2 table),
// advances are the hinted advances of the glyphs, with no kerning. Glyphs are grey-
// scale anti-aliased and blended onto the surface in the text colour; underline and
// strike-out strokes use the face's positions and thicknesses.
#pragma once

#include "platform/win/Gdi.h"

inline constexpr Integer LF_FACESIZE = 32;

enum class FontEngine { BuiltIn, FreeType };
// Switches the process's font engine; every font, those already made too, draws
// with it from its next use. Switching to FreeType answers false and changes nothing
// when FreeType cannot start or fontconfig finds no file for DejaVu Sans.
bool SetFontEngine(FontEngine engine);
FontEngine GetFontEngine();

struct LOGFONT {
  // Cell height when positive; character height (cell minus internal leading) when
  // negative; 0 for the default (-11, the 8-point size at 96 DPI).
  Integer lfHeight = 0;
  // The advance width; 0 for the cell's own proportion (6 / 11 of the height).
  Integer lfWidth = 0;
  Integer lfEscapement = 0;
  Integer lfOrientation = 0;
  Integer lfWeight = 0;
  Byte lfItalic = 0;
  Byte lfUnderline = 0;
  Byte lfStrikeOut = 0;
  Byte lfCharSet = 0;
  Byte lfOutPrecision = 0;
  Byte lfClipPrecision = 0;
  Byte lfQuality = 0;
  Byte lfPitchAndFamily = 0;
  char lfFaceName[LF_FACESIZE] = {};
};

struct TEXTMETRIC {
  Integer tmHeight = 0;
  Integer tmAscent = 0;
  Integer tmDescent = 0;
  Integer tmInternalLeading = 0;
  Integer tmExternalLeading = 0;
  Integer tmAveCharWidth = 0;
  Integer tmMaxCharWidth = 0;
  Integer tmWeight = 0;
  Integer tmOverhang = 0;
  Integer tmDigitizedAspectX = 0;
  Integer tmDigitizedAspectY = 0;
  Byte tmFirstChar = 0;
  Byte tmLastChar = 0;
  Byte tmDefaultChar = 0;
  Byte tmBreakChar = 0;
  Byte tmItalic = 0;
  Byte tmUnderlined = 0;
  Byte tmStruckOut = 0;
  Byte tmPitchAndFamily = 0;
  Byte tmCharSet = 0;
};

// Weights.
inline constexpr Integer FW_DONTCARE = 0;
inline constexpr Integer FW_THIN = 100;
inline constexpr Integer FW_LIGHT = 300;
inline constexpr Integer FW_NORMAL = 400;
inline constexpr Integer FW_MEDIUM = 500;
inline constexpr Integer FW_SEMIBOLD = 600;
inline constexpr Integer FW_BOLD = 700;
inline constexpr Integer FW_HEAVY = 900;

// Character sets, precisions, qualities, pitches and families (kept, not used).
inline constexpr Byte ANSI_CHARSET = 0;
inline constexpr Byte DEFAULT_CHARSET = 1;
inline constexpr Byte SYMBOL_CHARSET = 2;
inline constexpr Byte OEM_CHARSET = 255;
inline constexpr Byte OUT_DEFAULT_PRECIS = 0;
inline constexpr Byte OUT_TT_PRECIS = 4;
inline constexpr Byte CLIP_DEFAULT_PRECIS = 0;
inline constexpr Byte DEFAULT_QUALITY = 0;
inline constexpr Byte DRAFT_QUALITY = 1;
inline constexpr Byte PROOF_QUALITY = 2;
inline constexpr Byte NONANTIALIASED_QUALITY = 3;
inline constexpr Byte ANTIALIASED_QUALITY = 4;
inline constexpr Byte DEFAULT_PITCH = 0;
inline constexpr Byte FIXED_PITCH = 1;
inline constexpr Byte VARIABLE_PITCH = 2;
inline constexpr Byte FF_DONTCARE = 0x00;
inline constexpr Byte FF_ROMAN = 0x10;
inline constexpr Byte FF_SWISS = 0x20;
inline constexpr Byte FF_MODERN = 0x30;
inline constexpr Byte FF_SCRIPT = 0x40;
inline constexpr Byte FF_DECORATIVE = 0x50;

// ExtTextOut options.
inline constexpr UINT ETO_OPAQUE = 0x0002;
inline constexpr UINT ETO_CLIPPED = 0x0004;

// DrawText formats.
inline constexpr UINT DT_TOP = 0x00000000;
inline constexpr UINT DT_LEFT = 0x00000000;
inline constexpr UINT DT_CENTER = 0x00000001;
inline constexpr UINT DT_RIGHT = 0x00000002;
inline constexpr UINT DT_VCENTER = 0x00000004;
inline constexpr UINT DT_BOTTOM = 0x00000008;
inline constexpr UINT DT_WORDBREAK = 0x00000010;
inline constexpr UINT DT_SINGLELINE = 0x00000020;
inline constexpr UINT DT_EXPANDTABS = 0x00000040;
inline constexpr UINT DT_TABSTOP = 0x00000080;
inline constexpr UINT DT_NOCLIP = 0x00000100;
inline constexpr UINT DT_EXTERNALLEADING = 0x00000200;
inline constexpr UINT DT_CALCRECT = 0x00000400;
inline constexpr UINT DT_NOPREFIX = 0x00000800;
inline constexpr UINT DT_INTERNAL = 0x00001000;
inline constexpr UINT DT_EDITCONTROL = 0x00002000;
inline constexpr UINT DT_PATH_ELLIPSIS = 0x00004000;
inline constexpr UINT DT_END_ELLIPSIS = 0x00008000;
inline constexpr UINT DT_MODIFYSTRING = 0x00010000;
inline constexpr UINT DT_RTLREADING = 0x00020000;
inline constexpr UINT DT_WORD_ELLIPSIS = 0x00040000;
inline constexpr UINT DT_HIDEPREFIX = 0x00100000;
inline constexpr UINT DT_PREFIXONLY = 0x00200000;

// Height rule of the built-in font: a positive height is the cell height H; a negative one is the
// character height, H = round(-height * 11 / 9); 0 means -11 (H = 13). The advance
// width W is width when given, else round(H * 6 / 11), at least 1. Ascent is
// ceil(9 H / 11), internal leading ceil(2 H / 11). An escapement of 900 draws the
// line turned a quarter counter-clockwise about the text origin (reading upward),
// 2700 or -900 a quarter clockwise (reading downward); the cell lies on the side the
// upright cell's top turns to (right of the origin for 900, left for 2700). Other
// escapements, orientation and italic are kept in the record but drawn upright;
// extents are always the upright ones.
HFONT CreateFont(Integer height, Integer width, Integer escapement, Integer orientation,
                 Integer weight, DWORD italic, DWORD underline, DWORD strikeOut, DWORD charSet,
                 DWORD outPrecision, DWORD clipPrecision, DWORD quality, DWORD pitchAndFamily,
                 const char* faceName);
HFONT CreateFontIndirect(const LOGFONT* font);

BOOL GetTextMetrics(HDC hdc, TEXTMETRIC* metrics);
// The sum of the characters' advances (count * W with the built-in font), and the
// cell height.
BOOL GetTextExtentPoint32(HDC hdc, const char* text, Integer count, SIZE* size);

// Draws at the reference point by the text alignment (TA_LEFT/CENTER/RIGHT,
// TA_TOP/BASELINE/BOTTOM, TA_UPDATECP). OPAQUE mode fills each character cell with
// the background colour first; glyph pixels take the text colour (anti-aliased edges
// a mix of it and what is under them). Drawing keeps to the DC's clip region. The
// pen mix does not apply to text.
BOOL TextOut(HDC hdc, Integer x, Integer y, const char* text, Integer count);
// ETO_OPAQUE fills rect with the background colour; ETO_CLIPPED keeps the text
// inside rect. dx, if given, holds each character's advance.
BOOL ExtTextOut(HDC hdc, Integer x, Integer y, UINT options, const RECT* rect, const char* text,
                UINT count, const Integer* dx);
// Lays text out in rect: lines break at "\r\n", "\n" or "\r" unless DT_SINGLELINE;
// DT_WORDBREAK breaks at spaces before the right edge (a word longer than the line
// is cut where it reaches the edge); '&' marks the next character as underlined and
// "&&" is one '&' unless DT_NOPREFIX; DT_EXPANDTABS advances tabs to every 8th
// average character width; DT_END_ELLIPSIS ends a line too wide with "..." within
// the rectangle; DT_VCENTER and DT_BOTTOM apply to single lines. DT_EDITCONTROL
// leaves out the lines (all but the first) that rect's bottom would cut, measuring
// included; with DT_END_ELLIPSIS too, the last line shown ends with "..." when text
// was left out. Text outside rect is clipped unless
// DT_NOCLIP. DT_CALCRECT draws nothing and sets rect's right to left + the widest
// line and its bottom to top + the lines' height. count -1 means up to the NUL.
// Answers the height of the text (from rect's top, or the offset to the bottom of
// the text for DT_VCENTER/DT_BOTTOM), 0 on failure.
Integer DrawText(HDC hdc, const char* text, Integer count, RECT* rect, UINT format);
inline Integer DrawTextA(HDC hdc, const char* text, Integer count, RECT* rect, UINT format) {
  return DrawText(hdc, text, count, rect, format);
}
