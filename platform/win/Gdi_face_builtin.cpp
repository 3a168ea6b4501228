// The built-in bitmap font as a face provider: the design cell scaled by nearest
// neighbour to the LOGFONT's height, every character one advance wide.
#include <algorithm>
#include <array>
#include <mutex>

#include "platform/rtl/CodePage.h"
#include "platform/win/GdiFaceInternal.h"
#include "platform/win/GdiFont.h"
#include "platform/win/GdiText.h"

namespace gdi {

namespace {

// Punctuation outside the code page that pages and captions use, drawn as its
// nearest look-alike in it.
struct LookAlike {
  char32_t From;
  unsigned char To;
};
constexpr LookAlike kLookAlikes[] = {
    {0x2002, ' '},  {0x2003, ' '},  {0x2004, ' '},  {0x2005, ' '},  {0x2006, ' '},
    {0x2007, ' '},  {0x2008, ' '},  {0x2009, ' '},  {0x200A, ' '},  {0x202F, ' '},
    {0x2010, '-'},  {0x2011, '-'},  {0x2012, 0x96}, {0x2015, 0x97}, {0x2027, 0xB7},
    {0x2032, '\''}, {0x2033, '"'},  {0x2043, '-'},
    {0x2044, '/'},  {0x2212, '-'},  {0x2215, '/'},  {0x2217, '*'},  {0x2219, 0xB7},
    {0x22C5, 0xB7}, {0x2236, ':'},  {0x223C, '~'},
};

// The Windows-1252 byte of a character; a byte the font does not draw (a box) for
// characters outside the code page that have no look-alike.
unsigned char ByteOf(char32_t c) {
  if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<unsigned char>(c);
  for (const LookAlike& l : kLookAlikes)
    if (l.From == c) return l.To;
  static const std::u16string kHigh = [] {
    AnsiString bytes;
    for (int b = 0x80; b < 0xA0; ++b) bytes += static_cast<char>(b);
    return AnsiToWide(bytes);
  }();
  for (size_t i = 0; i < kHigh.size(); ++i)
    if (kHigh[i] == c) return static_cast<unsigned char>(0x80 + i);
  return 0x7F;
}

// Rows [top, end) of a scaled cell of height h that show design rows [from, to):
// destination row y shows design row y * kGlyphRows / h.
void ScaledRows(Integer h, Integer from, Integer to, Integer* top, Integer* size) {
  auto first = [h](Integer design) { return static_cast<Integer>((int64_t{design} * h + kGlyphRows - 1) / kGlyphRows); };
  *top = first(from);
  *size = first(to) - *top;
}

class BuiltIn final : public RealFont {
 public:
  explicit BuiltIn(const LOGFONT& lf) {
    int64_t h = lf.lfHeight == 0 ? -11 : lf.lfHeight;
    // Character height -h is the cell minus its internal leading (9 of 11 rows).
    int64_t cell = h > 0 ? h : (-h * 2 * kGlyphRows + kGlyphAscent) / (2 * kGlyphAscent);
    cell = std::clamp<int64_t>(cell, 1, 2048);
    int64_t advance = lf.lfWidth > 0 ? lf.lfWidth : (cell * 2 * kGlyphCellWidth + kGlyphRows) / (2 * kGlyphRows);
    m_.Height = static_cast<Integer>(cell);
    m_.Ascent = static_cast<Integer>((kGlyphAscent * cell + kGlyphRows - 1) / kGlyphRows);
    m_.InternalLeading = static_cast<Integer>((kGlyphLeading * cell + kGlyphRows - 1) / kGlyphRows);
    m_.AveCharWidth = m_.MaxCharWidth = static_cast<Integer>(std::clamp<int64_t>(advance, 1, 2048));
    m_.Weight = lf.lfWeight == 0 ? FW_NORMAL : lf.lfWeight;
    // The underline takes the cell's last design row, one row below the baseline's,
    // so a gap stays between the letters and the line (an underlined F must not read
    // as an E).
    ScaledRows(m_.Height, kGlyphRows - 1, kGlyphRows, &m_.UnderlineTop, &m_.UnderlineSize);
    ScaledRows(m_.Height, 5, 6, &m_.StrikeTop, &m_.StrikeSize);
    bold_ = lf.lfWeight >= FW_SEMIBOLD;
  }

  const FontMetrics& Metrics() const override { return m_; }
  Integer Advance(char32_t) const override { return m_.AveCharWidth; }

  // Glyphs in cells of the font's own advance are kept once made, when small.
  std::shared_ptr<const GlyphImage> Glyph(char32_t c, Integer cellWidth) const override {
    const bool keep = cellWidth == m_.AveCharWidth && int64_t{cellWidth} * m_.Height <= kMaxKeptGlyphBytes;
    if (!keep) return Make(ByteOf(c), cellWidth);
    const unsigned char b = ByteOf(c);
    std::lock_guard<std::mutex> hold(lock_);
    if (!made_[b]) {
      kept_[b] = Make(b, cellWidth);
      made_[b] = true;
    }
    return kept_[b];
  }

 private:
  static constexpr int64_t kMaxKeptGlyphBytes = 4096;  // so at most 1 MiB a font

  // Destination pixel (x, y) shows design pixel (x * 6 / W, y * 11 / H); bold lights
  // a pixel whose left neighbour is lit too. Only the cell's columns are drawn.
  std::shared_ptr<const GlyphImage> Make(unsigned char b, Integer cellWidth) const {
    const Integer H = m_.Height, W = m_.AveCharWidth, w = std::min<Integer>(cellWidth, 4096);
    if (w <= 0) return nullptr;
    const uint8_t* rows = GlyphRows(b);
    const bool fills = GlyphFillsCell(b);
    auto lit = [&](uint8_t bits, Integer dx) {
      Integer col = static_cast<Integer>(static_cast<int64_t>(dx) * kGlyphCellWidth / W);
      if (fills && bits == 0x1F) return true;
      return col < 5 && ((bits >> (4 - col)) & 1);
    };
    auto g = std::make_shared<GlyphImage>();
    g->Width = w;
    g->Height = H;
    g->Coverage.assign(static_cast<size_t>(w) * static_cast<size_t>(H), 0);
    bool any = false;
    for (Integer dy = 0; dy < H; ++dy) {
      const uint8_t bits = rows[dy * kGlyphRows / H];
      if (bits == 0) continue;
      uint8_t* out = g->Coverage.data() + static_cast<size_t>(dy) * static_cast<size_t>(w);
      for (Integer dx = 0; dx < w; ++dx) {
        if (lit(bits, dx) || (bold_ && dx > 0 && lit(bits, dx - 1))) {
          out[dx] = 255;
          any = true;
        }
      }
    }
    if (!any) return nullptr;
    return g;
  }

  FontMetrics m_;
  bool bold_ = false;
  mutable std::mutex lock_;
  mutable std::array<std::shared_ptr<const GlyphImage>, 256> kept_;
  mutable std::array<bool, 256> made_ = {};
};

}  // namespace

std::shared_ptr<const RealFont> BuiltInFont(const LOGFONT& lf) { return std::make_shared<BuiltIn>(lf); }

}  // namespace gdi
