// The built-in bitmap font's glyph data (internal to GDI).
#pragma once

#include <cstdint>

namespace gdi {

inline constexpr int kGlyphCellWidth = 6;  // 5 design columns and one of spacing
inline constexpr int kGlyphRows = 11;
inline constexpr int kGlyphAscent = 9;
inline constexpr int kGlyphLeading = 2;

// 11 rows of 5-bit masks (bit 4 = leftmost column) for a Windows-1252 byte; the box
// for bytes the font does not have.
const uint8_t* GlyphRows(unsigned char c);
bool GlyphDefined(unsigned char c);
// Its lit rows span the whole cell, the spacing column too.
bool GlyphFillsCell(unsigned char c);

}  // namespace gdi
