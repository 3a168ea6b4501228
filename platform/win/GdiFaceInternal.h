// Face providers: where GDI text gets its metrics and glyphs (internal to GDI).
//
// A font object (CreateFont) is only a LOGFONT. When text is measured or drawn, the
// process's font engine realises it: the built-in bitmap font (the same pixels on every
// machine) or FreeType with a face that fontconfig finds. The text code sees only a
// RealFont; it lays characters out by their advances and blends each glyph's coverage
// onto the surface.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/win/Gdi.h"

namespace gdi {

struct FontObj;

// Metrics of a realised font in pixels; rows count from the top of the cell.
struct FontMetrics {
  Integer Height = 0;  // the cell: ascent + descent
  Integer Ascent = 0;
  Integer InternalLeading = 0;
  Integer ExternalLeading = 0;
  Integer AveCharWidth = 0;
  Integer MaxCharWidth = 0;
  Integer Weight = FW_NORMAL;
  bool FixedPitch = true;
  bool Outline = false;  // a scalable face (TrueType)
  Byte Family = FF_MODERN;
  // Rows of the underline and the strike-out stroke: [top, top + size) of the cell,
  // size 0 when the font has no room for the stroke.
  Integer UnderlineTop = 0;
  Integer UnderlineSize = 0;
  Integer StrikeTop = 0;
  Integer StrikeSize = 0;
};

// How much of each pixel a glyph covers: 0 leaves it, 255 is full ink, values between
// blend the text colour over what is there.
struct GlyphImage {
  Integer Left = 0;  // first column, from the pen position
  Integer Top = 0;   // first row, from the top of the cell
  Integer Width = 0;
  Integer Height = 0;
  std::vector<uint8_t> Coverage;  // Height rows of Width bytes, top row first
};

// A font realised at one size and style. Safe to use from several threads at once.
class RealFont {
 public:
  virtual ~RealFont() = default;
  virtual const FontMetrics& Metrics() const = 0;
  // The advance of a character (Unicode), in pixels.
  virtual Integer Advance(char32_t c) const = 0;
  // The glyph of c laid out in a cell cellWidth pixels wide (its advance, or the
  // width a caller of ExtTextOut gave it); the built-in font crops to the cell,
  // outline faces draw whole. Null for a glyph without ink.
  virtual std::shared_ptr<const GlyphImage> Glyph(char32_t c, Integer cellWidth) const = 0;
};

// The providers. The built-in font realises every LOGFONT; FreeType answers null when
// the library cannot start or fontconfig finds no face.
std::shared_ptr<const RealFont> BuiltInFont(const LOGFONT& lf);
std::shared_ptr<const RealFont> FreeTypeFont(const LOGFONT& lf);
// Whether FreeType starts and fontconfig finds a file for DejaVu Sans.
bool FreeTypeAvailable();

// The font f draws with under the process's engine: realised on first use and kept
// in f until the engine changes.
std::shared_ptr<const RealFont> Realized(const FontObj& f);

}  // namespace gdi
