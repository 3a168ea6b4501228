// Fonts, text metrics, TextOut / ExtTextOut and DrawText. The font engine realises
// each font through a face provider (GdiFaceInternal.h); this file lays characters out
// by their advances and blends glyph coverage onto the surface.
#include <algorithm>
#include <atomic>
#include <cstring>
#include <string>
#include <vector>

#include "platform/rtl/CodePage.h"
#include "platform/win/GdiFaceInternal.h"
#include "platform/win/GdiInternal.h"

namespace gdi {

namespace {

std::atomic<int> gEngine{static_cast<int>(FontEngine::BuiltIn)};

}  // namespace

std::shared_ptr<FontObj> MakeFont(const LOGFONT& lf) {
  auto f = std::make_shared<FontObj>();
  f->Log = lf;
  f->Log.lfFaceName[LF_FACESIZE - 1] = '\0';
  return f;
}

std::shared_ptr<const RealFont> Realized(const FontObj& f) {
  const int engine = gEngine.load();
  const bool outline = engine == static_cast<int>(FontEngine::FreeType);
  // Outline faces of the default height follow the screen's resolution.
  const Integer dpi = outline && f.Log.lfHeight == 0 ? CurrentScreen().DpiY : 0;
  std::lock_guard<std::mutex> hold(f.RealLock);
  if (f.Real && f.RealEngine == engine && f.RealDpi == dpi) return f.Real;
  std::shared_ptr<const RealFont> real;
  if (outline) real = FreeTypeFont(f.Log);
  if (!real) real = BuiltInFont(f.Log);
  f.Real = real;
  f.RealEngine = engine;
  f.RealDpi = dpi;
  return real;
}

}  // namespace gdi

using namespace gdi;

bool SetFontEngine(FontEngine engine) {
  if (engine == FontEngine::FreeType && !FreeTypeAvailable()) return false;
  gEngine = static_cast<int>(engine);
  return true;
}

FontEngine GetFontEngine() { return static_cast<FontEngine>(gEngine.load()); }

namespace {

// The character (Unicode) of a Windows-1252 byte.
char32_t CharOf(unsigned char b) {
  static const std::u16string kTable = [] {
    AnsiString all(256, '\0');
    for (int i = 0; i < 256; ++i) all[static_cast<size_t>(i)] = static_cast<char>(i);
    return AnsiToWide(all);
  }();
  return kTable[b];
}

std::u32string CharsOf(const char* text, size_t n) {
  std::u32string out(n, U'\0');
  for (size_t i = 0; i < n; ++i) out[i] = CharOf(static_cast<unsigned char>(text[i]));
  return out;
}

// Writes the text colour over a glyph's coverage: full coverage takes the colour's
// value, partial coverage mixes the colour with the pixel there.
class Inker {
 public:
  Inker(Surface& s, const Clipper& clip, ColorEncoder& enc, uint32_t rgb)
      : s_(s), clip_(clip), enc_(enc), rgb_(rgb), value_(enc(rgb)),
        plain32_(s.Bpp == 32 && s.Masks[0] == 0xFF0000 && s.Masks[1] == 0xFF00 && s.Masks[2] == 0xFF) {}

  void Glyph(const GlyphImage& g, Integer x, Integer y) {
    x += g.Left;
    y += g.Top;
    for (Integer r = 0; r < g.Height; ++r) {
      const uint8_t* cov = g.Coverage.data() + static_cast<size_t>(r) * static_cast<size_t>(g.Width);
      clip_.ForSpans(y + r, x, x + g.Width, [&](Integer a, Integer e) { Span(y + r, a, e, cov + (a - x)); });
    }
  }

  // A glyph whose upright cell would start at offset (x, y) from the origin, turned a
  // quarter about the origin: quarter 1 counter-clockwise (escapement 900), -1
  // clockwise (2700). The upright pixel (dx, dy) lands on (dy, -dx - 1) or
  // (-dy - 1, dx) from the origin.
  void GlyphTurned(const GlyphImage& g, Integer ox, Integer oy, Integer x, Integer y, int quarter) {
    for (Integer r = 0; r < g.Height; ++r) {
      const uint8_t* cov = g.Coverage.data() + static_cast<size_t>(r) * static_cast<size_t>(g.Width);
      for (Integer c = 0; c < g.Width; ++c) {
        if (cov[c] == 0) continue;
        const Integer dx = x + g.Left + c, dy = y + g.Top + r;
        const Integer px = quarter > 0 ? ox + dy : ox - dy - 1;
        const Integer py = quarter > 0 ? oy - dx - 1 : oy + dx;
        clip_.ForSpans(py, px, px + 1, [&](Integer a, Integer e) { Span(py, a, e, cov + c); });
      }
    }
  }

  // Full ink over device rows [y0, y1) and columns [x0, x1), clipped.
  void Rect(Integer x0, Integer y0, Integer x1, Integer y1) {
    if (x1 <= x0) return;
    std::vector<uint32_t> row(static_cast<size_t>(x1 - x0), value_);
    for (Integer y = y0; y < y1; ++y)
      clip_.ForSpans(y, x0, x1, [&](Integer a, Integer e) { WriteValues(s_, y, a, e - a, row.data()); });
  }

 private:
  static uint32_t Mix(uint32_t ink, uint32_t back, uint32_t a) {
    uint32_t out = 0;
    for (int shift = 0; shift < 24; shift += 8) {
      const uint32_t t = ((ink >> shift) & 0xFF) * a + ((back >> shift) & 0xFF) * (255 - a) + 128;
      out |= (((t + (t >> 8)) >> 8) & 0xFF) << shift;
    }
    return out;
  }

  // Columns [a, e) of row y; cov[0] is the coverage of device column a.
  void Span(Integer y, Integer a, Integer e, const uint8_t* cov) {
    if (plain32_) {
      auto* px = reinterpret_cast<uint32_t*>(s_.Row(y));
      for (Integer x = a; x < e; ++x) {
        const uint32_t c = cov[x - a];
        if (c == 0) continue;
        px[x] = c == 255 ? value_ : Mix(rgb_, px[x] & 0xFFFFFF, c);
      }
      return;
    }
    for (Integer x = a; x < e; ++x) {
      const uint32_t c = cov[x - a];
      if (c == 0) continue;
      uint32_t v = value_;
      if (c != 255) {
        ReadValues(s_, y, x, 1, &v);
        v = enc_(Mix(rgb_, DecodeColor(s_, v), c));
      }
      WriteValues(s_, y, x, 1, &v);
    }
  }

  Surface& s_;
  const Clipper& clip_;
  ColorEncoder& enc_;
  uint32_t rgb_;
  uint32_t value_;
  bool plain32_;
};

// Draws n characters from device (x, y) (the top-left of the first cell) with the
// given advances. Fills the cells with the background colour first when opaque.
void PaintText(DCObj& dc, const FontObj& f, const RealFont& font, Integer x, Integer y, const char32_t* text,
               Integer n, const std::vector<Integer>& advances, const std::optional<Region>& clipRgn, bool opaque,
               const std::vector<bool>* underlined) {
  auto target = dc.Target();
  Surface& s = *target->Surf;
  const FontMetrics& m = font.Metrics();
  Clipper clip(s, clipRgn);
  ColorEncoder enc(s);
  Integer total = 0;
  for (Integer i = 0; i < n; ++i) total += advances[static_cast<size_t>(i)];
  // Escapements of a quarter turn run the line up (900) or down (2700, -900) from the
  // origin; other angles are drawn upright.
  const Integer esc = ((f.Log.lfEscapement % 3600) + 3600) % 3600;
  const int quarter = esc == 900 ? 1 : esc == 2700 ? -1 : 0;
  if (quarter != 0) {
    Inker ink(s, clip, enc, ResolveColor(dc.St, dc.St.TextColor));
    if (opaque && total > 0) {
      Inker back(s, clip, enc, ResolveColor(dc.St, dc.St.BkColor));
      if (quarter > 0)
        back.Rect(x, y - total, x + m.Height, y);
      else
        back.Rect(x - m.Height, y, x, y + total);
    }
    Integer cx = 0;
    for (Integer i = 0; i < n; ++i) {
      const Integer w = advances[static_cast<size_t>(i)];
      if (w > 0)
        if (auto g = font.Glyph(text[i], w)) ink.GlyphTurned(*g, x, y, cx, 0, quarter);
      cx += w;
    }
    return;
  }
  if (opaque && total > 0) {
    uint32_t back = enc(ResolveColor(dc.St, dc.St.BkColor));
    std::vector<uint32_t> row(static_cast<size_t>(s.Width), back);
    for (Integer dy = 0; dy < m.Height; ++dy)
      clip.ForSpans(y + dy, x, x + total, [&](Integer a, Integer e) { WriteValues(s, y + dy, a, e - a, row.data()); });
  }
  Inker ink(s, clip, enc, ResolveColor(dc.St, dc.St.TextColor));
  Integer cx = x;
  for (Integer i = 0; i < n; ++i) {
    const Integer w = advances[static_cast<size_t>(i)];
    if (w > 0) {
      if (auto g = font.Glyph(text[i], w)) ink.Glyph(*g, cx, y);
      if (f.Log.lfUnderline || (underlined && (*underlined)[static_cast<size_t>(i)]))
        ink.Rect(cx, y + m.UnderlineTop, cx + w, y + m.UnderlineTop + m.UnderlineSize);
      if (f.Log.lfStrikeOut) ink.Rect(cx, y + m.StrikeTop, cx + w, y + m.StrikeTop + m.StrikeSize);
    }
    cx += w;
  }
}

std::optional<Region> ClipWith(const DCObj& dc, const RECT* deviceRect) {
  if (!deviceRect) return dc.St.Clip;
  Region r = Region::FromRect(deviceRect->left, deviceRect->top, deviceRect->right, deviceRect->bottom);
  if (!dc.St.Clip) return r;
  return Region::Combine(*dc.St.Clip, r, RGN_AND);
}

RECT DeviceRect(const DCState& st, const RECT& r) {
  POINT a = ToDevice(st, r.left, r.top), b = ToDevice(st, r.right, r.bottom);
  return RECT{a.x, a.y, b.x, b.y};
}

}  // namespace

HFONT CreateFontIndirect(const LOGFONT* font) {
  if (!font) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  return AddObject(MakeFont(*font));
}

HFONT CreateFont(Integer height, Integer width, Integer escapement, Integer orientation, Integer weight,
                 DWORD italic, DWORD underline, DWORD strikeOut, DWORD charSet, DWORD outPrecision,
                 DWORD clipPrecision, DWORD quality, DWORD pitchAndFamily, const char* faceName) {
  LOGFONT lf;
  lf.lfHeight = height;
  lf.lfWidth = width;
  lf.lfEscapement = escapement;
  lf.lfOrientation = orientation;
  lf.lfWeight = weight;
  lf.lfItalic = static_cast<Byte>(italic);
  lf.lfUnderline = static_cast<Byte>(underline);
  lf.lfStrikeOut = static_cast<Byte>(strikeOut);
  lf.lfCharSet = static_cast<Byte>(charSet);
  lf.lfOutPrecision = static_cast<Byte>(outPrecision);
  lf.lfClipPrecision = static_cast<Byte>(clipPrecision);
  lf.lfQuality = static_cast<Byte>(quality);
  lf.lfPitchAndFamily = static_cast<Byte>(pitchAndFamily);
  if (faceName) std::strncpy(lf.lfFaceName, faceName, LF_FACESIZE - 1);
  return CreateFontIndirect(&lf);
}

BOOL GetTextMetrics(HDC hdc, TEXTMETRIC* tm) {
  auto dc = FindDC(hdc);
  if (!dc || !tm) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  const FontObj& f = *dc->St.Font;
  const FontMetrics& m = Realized(f)->Metrics();
  *tm = TEXTMETRIC{};
  tm->tmHeight = m.Height;
  tm->tmAscent = m.Ascent;
  tm->tmDescent = m.Height - m.Ascent;
  tm->tmInternalLeading = m.InternalLeading;
  tm->tmExternalLeading = m.ExternalLeading;
  tm->tmAveCharWidth = m.AveCharWidth;
  tm->tmMaxCharWidth = m.MaxCharWidth;
  tm->tmWeight = m.Weight;
  tm->tmDigitizedAspectX = 96;
  tm->tmDigitizedAspectY = 96;
  tm->tmFirstChar = 0x20;
  tm->tmLastChar = 0xFF;
  tm->tmDefaultChar = 0x7F;
  tm->tmBreakChar = 0x20;
  tm->tmItalic = f.Log.lfItalic;
  tm->tmUnderlined = f.Log.lfUnderline;
  tm->tmStruckOut = f.Log.lfStrikeOut;
  // The low bit set means variable pitch; 0x04 a TrueType face, 0x02 a vector one.
  tm->tmPitchAndFamily = static_cast<Byte>(m.Family | (m.FixedPitch ? 0 : 0x01) | (m.Outline ? 0x06 : 0));
  tm->tmCharSet = f.Log.lfCharSet;
  return TRUE;
}

BOOL GetTextExtentPoint32(HDC hdc, const char* text, Integer count, SIZE* size) {
  auto dc = FindDC(hdc);
  if (!dc || !size || count < 0 || (count > 0 && !text)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  auto font = Realized(*dc->St.Font);
  Integer cx = 0;
  for (Integer i = 0; i < count; ++i) cx += font->Advance(CharOf(static_cast<unsigned char>(text[i])));
  size->cx = cx;
  size->cy = font->Metrics().Height;
  return TRUE;
}

BOOL TextOut(HDC hdc, Integer x, Integer y, const char* text, Integer count) {
  if (count < 0) return FALSE;
  return ExtTextOut(hdc, x, y, 0, nullptr, text, static_cast<UINT>(count), nullptr);
}

BOOL ExtTextOut(HDC hdc, Integer x, Integer y, UINT options, const RECT* rect, const char* text,
                UINT count, const Integer* dx) {
  auto dc = FindDC(hdc);
  if (!dc || (count > 0 && !text)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const FontObj& f = *dc->St.Font;
  auto font = Realized(f);
  const FontMetrics& m = font->Metrics();
  const std::u32string chars = CharsOf(text, count);
  std::vector<Integer> adv(count);
  Integer total = 0;
  for (UINT i = 0; i < count; ++i) {
    adv[i] = dx ? dx[i] : font->Advance(chars[i]);
    total += adv[i];
  }
  UINT align = dc->St.TextAlign;
  if (align & TA_UPDATECP) {
    x = dc->St.Pos.x;
    y = dc->St.Pos.y;
  }
  Integer x0 = x;
  switch (align & TA_CENTER) {
    case TA_RIGHT: x0 = x - total; break;
    case TA_CENTER: x0 = x - total / 2; break;
    default: break;
  }
  Integer y0 = y;
  if ((align & TA_BASELINE) == TA_BASELINE)
    y0 = y - m.Ascent;
  else if (align & TA_BOTTOM)
    y0 = y - m.Height;
  if (align & TA_UPDATECP) {
    if ((align & TA_CENTER) == TA_LEFT) dc->St.Pos.x = x + total;
    if ((align & TA_CENTER) == TA_RIGHT) dc->St.Pos.x = x - total;
  }
  RECT dr{};
  if (rect) dr = DeviceRect(dc->St, *rect);
  if ((options & ETO_OPAQUE) && rect && dr.right > dr.left && dr.bottom > dr.top) {
    BrushObj back;
    back.Color = dc->St.BkColor;
    FillDeviceRect(*dc, back, dr.left, dr.top, dr.right, dr.bottom, 0xF0);
  }
  if (count == 0) return TRUE;
  POINT p = ToDevice(dc->St, x0, y0);
  auto clip = ClipWith(*dc, (options & ETO_CLIPPED) && rect ? &dr : nullptr);
  PaintText(*dc, f, *font, p.x, p.y, chars.data(), static_cast<Integer>(count), adv, clip, dc->St.BkMode == OPAQUE,
            nullptr);
  return TRUE;
}

namespace {

struct Line {
  std::string Text;
  std::vector<bool> Underlined;
};

// Advance of each character of a line, tabs expanded to every 8th average character
// width when asked.
std::vector<Integer> Advances(const std::string& text, const RealFont& font, bool expandTabs) {
  std::vector<Integer> adv(text.size());
  const Integer stop = 8 * font.Metrics().AveCharWidth;
  Integer x = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (expandTabs && text[i] == '\t' && stop > 0)
      adv[i] = stop - x % stop;
    else
      adv[i] = font.Advance(CharOf(static_cast<unsigned char>(text[i])));
    x += adv[i];
  }
  return adv;
}

Integer Width(const std::string& text, const RealFont& font, bool expandTabs) {
  Integer total = 0;
  for (Integer a : Advances(text, font, expandTabs)) total += a;
  return total;
}

Line Slice(const Line& l, size_t from, size_t to) {
  Line out;
  out.Text = l.Text.substr(from, to - from);
  out.Underlined.assign(l.Underlined.begin() + static_cast<ptrdiff_t>(from),
                        l.Underlined.begin() + static_cast<ptrdiff_t>(to));
  return out;
}

// Breaks a line at spaces so that each piece fits `limit`; a word wider than the
// limit is cut where it reaches the edge.
void Wrap(const Line& l, const RealFont& font, bool tabs, Integer limit, std::vector<Line>& out) {
  size_t start = 0;
  const size_t n = l.Text.size();
  if (n == 0) {
    out.push_back(l);
    return;
  }
  const std::vector<Integer> plain = Advances(l.Text, font, false);
  const Integer stop = 8 * font.Metrics().AveCharWidth;
  while (start < n) {
    size_t lastBreak = std::string::npos;
    size_t end = start;
    // Width of the piece so far; tab stops count from the piece's start.
    Integer width = 0;
    while (end < n) {
      const bool tab = tabs && l.Text[end] == '\t' && stop > 0;
      const Integer advance = tab ? stop - width % stop : plain[end];
      if (width + advance > limit) break;
      width += advance;
      if (l.Text[end] == ' ') lastBreak = end;
      ++end;
    }
    if (end >= n) {
      out.push_back(Slice(l, start, n));
      break;
    }
    size_t cut = end;
    if (l.Text[end] == ' ') {
      cut = end;
    } else if (lastBreak != std::string::npos && lastBreak > start) {
      cut = lastBreak;
    } else if (cut == start) {
      cut = start + 1;  // not even one character fits: one per line
    }
    size_t pieceEnd = cut;
    while (pieceEnd > start && l.Text[pieceEnd - 1] == ' ') --pieceEnd;
    out.push_back(Slice(l, start, pieceEnd));
    start = cut;
    while (start < n && l.Text[start] == ' ') ++start;
  }
}

}  // namespace

Integer DrawText(HDC hdc, const char* text, Integer count, RECT* rect, UINT format) {
  auto dc = FindDC(hdc);
  if (!dc || !rect || !text) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const FontObj& f = *dc->St.Font;
  auto font = Realized(f);
  const Integer H = font->Metrics().Height;
  size_t len = count < 0 ? std::strlen(text) : static_cast<size_t>(count);
  const bool tabs = format & DT_EXPANDTABS;

  // Prefix characters: "&x" underlines x, "&&" is one '&'.
  Line all;
  for (size_t i = 0; i < len; ++i) {
    char c = text[i];
    if (c == '&' && !(format & DT_NOPREFIX)) {
      if (i + 1 < len && text[i + 1] == '&') {
        all.Text += '&';
        all.Underlined.push_back(false);
        ++i;
        continue;
      }
      if (i + 1 < len) {
        all.Text += text[i + 1];
        all.Underlined.push_back(!(format & DT_HIDEPREFIX));
        ++i;
      }
      continue;
    }
    all.Text += c;
    all.Underlined.push_back(false);
  }

  std::vector<Line> hard;
  if (format & DT_SINGLELINE) {
    hard.push_back(all);
  } else {
    size_t start = 0;
    for (size_t i = 0; i <= all.Text.size(); ++i) {
      if (i < all.Text.size() && all.Text[i] != '\r' && all.Text[i] != '\n') continue;
      hard.push_back(Slice(all, start, i));
      if (i < all.Text.size() && all.Text[i] == '\r' && i + 1 < all.Text.size() && all.Text[i + 1] == '\n') ++i;
      start = i + 1;
    }
  }

  const Integer limit = rect->right - rect->left;
  std::vector<Line> lines;
  if ((format & DT_WORDBREAK) && !(format & DT_SINGLELINE)) {
    for (const Line& l : hard) Wrap(l, *font, tabs, std::max(limit, 1), lines);
  } else {
    lines = hard;
  }

  // As a multi-line edit control shows text: a last line that the rectangle's bottom
  // would cut is left out (the first line always stays), in measuring too. With
  // DT_END_ELLIPSIS the last line shown takes the rest of the text, so that it ends
  // with "..." where text was left out.
  size_t leftOutAfter = std::string::npos;  // the line after which text was left out
  if ((format & DT_EDITCONTROL) && !(format & DT_SINGLELINE) && !(format & DT_NOCLIP) && H > 0) {
    const size_t fit = static_cast<size_t>(std::max<Integer>(1, (rect->bottom - rect->top) / H));
    if (lines.size() > fit && (format & DT_END_ELLIPSIS)) {
      Line& last = lines[fit - 1];
      for (size_t i = fit; i < lines.size(); ++i) {
        if (lines[i].Text.empty()) continue;
        leftOutAfter = fit - 1;
        last.Text += ' ';
        last.Underlined.push_back(false);
        last.Text += lines[i].Text;
        last.Underlined.insert(last.Underlined.end(), lines[i].Underlined.begin(), lines[i].Underlined.end());
      }
    }
    if (lines.size() > fit) lines.resize(fit);
  }

  if (format & DT_END_ELLIPSIS) {
    const Integer dots = Width("...", *font, false);
    for (size_t i = 0; i < lines.size(); ++i) {
      Line& l = lines[i];
      if (i != leftOutAfter && Width(l.Text, *font, tabs) <= limit) continue;
      std::vector<Integer> adv = Advances(l.Text, *font, tabs);
      Integer kept = Width(l.Text, *font, tabs);
      size_t keep = l.Text.size();
      while (keep > 0 && kept + dots > limit) kept -= adv[--keep];
      // The dots follow the last word shown, not the blank after it.
      if (i == leftOutAfter)
        while (keep > 0 && l.Text[keep - 1] == ' ') --keep;
      l = Slice(l, 0, keep);
      l.Text += "...";
      l.Underlined.insert(l.Underlined.end(), 3, false);
    }
  }

  Integer widest = 0;
  for (const Line& l : lines) widest = std::max(widest, Width(l.Text, *font, tabs));
  const Integer height = static_cast<Integer>(lines.size()) * H;

  if (format & DT_CALCRECT) {
    rect->right = rect->left + widest;
    rect->bottom = rect->top + height;
    return height;
  }

  Integer y = rect->top;
  if (format & DT_SINGLELINE) {
    if (format & DT_VCENTER)
      y = rect->top + (rect->bottom - rect->top - H) / 2;
    else if (format & DT_BOTTOM)
      y = rect->bottom - H;
  }
  RECT dr = DeviceRect(dc->St, *rect);
  auto clip = ClipWith(*dc, (format & DT_NOCLIP) ? nullptr : &dr);
  for (const Line& l : lines) {
    Integer w = Width(l.Text, *font, tabs);
    Integer x = rect->left;
    if (format & DT_CENTER)
      x = rect->left + (limit - w) / 2;
    else if (format & DT_RIGHT)
      x = rect->right - w;
    std::vector<Integer> adv = Advances(l.Text, *font, tabs);
    std::string shown = l.Text;
    if (tabs) std::replace(shown.begin(), shown.end(), '\t', ' ');
    const std::u32string chars = CharsOf(shown.data(), shown.size());
    POINT p = ToDevice(dc->St, x, y);
    PaintText(*dc, f, *font, p.x, p.y, chars.data(), static_cast<Integer>(chars.size()), adv, clip,
              dc->St.BkMode == OPAQUE, &l.Underlined);
    y += H;
  }
  return y - rect->top;
}
