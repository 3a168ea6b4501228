// Fonts, text metrics, TextOut / ExtTextOut and DrawText with the built-in font.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "platform/win/GdiFont.h"
#include "platform/win/GdiInternal.h"

namespace gdi {

std::shared_ptr<FontObj> MakeFont(const LOGFONT& lf) {
  auto f = std::make_shared<FontObj>();
  f->Log = lf;
  f->Log.lfFaceName[LF_FACESIZE - 1] = '\0';
  int64_t h = lf.lfHeight == 0 ? -11 : lf.lfHeight;
  // Character height -h is the cell minus its internal leading (9 of 11 rows).
  int64_t cell = h > 0 ? h : (-h * 2 * kGlyphRows + kGlyphAscent) / (2 * kGlyphAscent);
  cell = std::clamp<int64_t>(cell, 1, 2048);
  int64_t advance = lf.lfWidth > 0 ? lf.lfWidth : (cell * 2 * kGlyphCellWidth + kGlyphRows) / (2 * kGlyphRows);
  f->CellHeight = static_cast<Integer>(cell);
  f->Advance = static_cast<Integer>(std::clamp<int64_t>(advance, 1, 2048));
  f->Ascent = static_cast<Integer>((kGlyphAscent * cell + kGlyphRows - 1) / kGlyphRows);
  f->InternalLeading = static_cast<Integer>((kGlyphLeading * cell + kGlyphRows - 1) / kGlyphRows);
  f->Bold = lf.lfWeight >= FW_SEMIBOLD;
  return f;
}

}  // namespace gdi

using namespace gdi;

namespace {

// One character drawn at device (x, y) = top-left of its cell, width w.
void PaintGlyph(Surface& s, const Clipper& clip, const FontObj& f, unsigned char c, Integer x, Integer y,
                Integer w, uint32_t ink, bool underline) {
  const uint8_t* rows = GlyphRows(c);
  const Integer H = f.CellHeight, W = f.Advance;
  // Only the columns on the surface are worked out.
  const Integer from = std::max<int64_t>(0, -int64_t{x}), to = std::min<int64_t>(w, int64_t{s.Width} - x);
  if (from >= to) return;
  std::vector<uint8_t> on(static_cast<size_t>(to) + 1);
  for (Integer dy = 0; dy < H; ++dy) {
    Integer srow = dy * kGlyphRows / H;
    uint8_t bits = rows[srow];
    bool line = (underline && srow == 9) || (f.Log.lfStrikeOut && srow == 5);
    bool any = line;
    for (Integer dx = from; dx < to; ++dx) {
      Integer scol = static_cast<Integer>(static_cast<int64_t>(dx) * kGlyphCellWidth / W);
      bool lit = line || (scol < 5 && ((bits >> (4 - scol)) & 1));
      if (!lit && f.Bold && dx > 0) {
        Integer pcol = static_cast<Integer>(static_cast<int64_t>(dx - 1) * kGlyphCellWidth / W);
        lit = pcol < 5 && ((bits >> (4 - pcol)) & 1);
      }
      on[static_cast<size_t>(dx)] = lit;
      any |= lit;
    }
    if (!any) continue;
    for (Integer dx = from; dx < to; ++dx) {
      if (!on[static_cast<size_t>(dx)] || !clip.Visible(x + dx, y + dy)) continue;
      WriteValues(s, y + dy, x + dx, 1, &ink);
    }
  }
}

// Draws n characters from device (x, y) (cell top-left) with per-character advances.
// Fills the cells with the background colour first when opaque.
void PaintText(DCObj& dc, const FontObj& f, Integer x, Integer y, const unsigned char* text, Integer n,
               const std::vector<Integer>& advances, const std::optional<Region>& clipRgn, bool opaque,
               const std::vector<bool>* underlined) {
  auto target = dc.Target();
  Surface& s = *target->Surf;
  Clipper clip(s, clipRgn);
  ColorEncoder enc(s);
  uint32_t ink = enc(ResolveColor(dc.St, dc.St.TextColor));
  Integer total = 0;
  for (Integer i = 0; i < n; ++i) total += advances[static_cast<size_t>(i)];
  if (opaque && total > 0) {
    uint32_t back = enc(ResolveColor(dc.St, dc.St.BkColor));
    std::vector<uint32_t> row(static_cast<size_t>(s.Width), back);
    for (Integer dy = 0; dy < f.CellHeight; ++dy)
      clip.ForSpans(y + dy, x, x + total, [&](Integer a, Integer e) { WriteValues(s, y + dy, a, e - a, row.data()); });
  }
  Integer cx = x;
  for (Integer i = 0; i < n; ++i) {
    Integer w = advances[static_cast<size_t>(i)];
    bool ul = f.Log.lfUnderline || (underlined && (*underlined)[static_cast<size_t>(i)]);
    if (w > 0) PaintGlyph(s, clip, f, text[i], cx, y, w, ink, ul);
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
  *tm = TEXTMETRIC{};
  tm->tmHeight = f.CellHeight;
  tm->tmAscent = f.Ascent;
  tm->tmDescent = f.CellHeight - f.Ascent;
  tm->tmInternalLeading = f.InternalLeading;
  tm->tmExternalLeading = 0;
  tm->tmAveCharWidth = f.Advance;
  tm->tmMaxCharWidth = f.Advance;
  tm->tmWeight = f.Log.lfWeight == 0 ? FW_NORMAL : f.Log.lfWeight;
  tm->tmDigitizedAspectX = 96;
  tm->tmDigitizedAspectY = 96;
  tm->tmFirstChar = 0x20;
  tm->tmLastChar = 0xFF;
  tm->tmDefaultChar = 0x7F;
  tm->tmBreakChar = 0x20;
  tm->tmItalic = f.Log.lfItalic;
  tm->tmUnderlined = f.Log.lfUnderline;
  tm->tmStruckOut = f.Log.lfStrikeOut;
  tm->tmPitchAndFamily = FF_MODERN;  // low bit clear: fixed pitch
  tm->tmCharSet = f.Log.lfCharSet;
  return TRUE;
}

BOOL GetTextExtentPoint32(HDC hdc, const char* text, Integer count, SIZE* size) {
  auto dc = FindDC(hdc);
  if (!dc || !size || count < 0 || (count > 0 && !text)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  size->cx = count * dc->St.Font->Advance;
  size->cy = dc->St.Font->CellHeight;
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
  std::vector<Integer> adv(count);
  Integer total = 0;
  for (UINT i = 0; i < count; ++i) {
    adv[i] = dx ? dx[i] : f.Advance;
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
    y0 = y - f.Ascent;
  else if (align & TA_BOTTOM)
    y0 = y - f.CellHeight;
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
  PaintText(*dc, f, p.x, p.y, reinterpret_cast<const unsigned char*>(text), static_cast<Integer>(count), adv, clip,
            dc->St.BkMode == OPAQUE, nullptr);
  return TRUE;
}

namespace {

struct Line {
  std::string Text;
  std::vector<bool> Underlined;
};

// Advance of each character of a line, tabs expanded to every 8th cell when asked.
std::vector<Integer> Advances(const std::string& text, Integer w, bool expandTabs) {
  std::vector<Integer> adv(text.size());
  Integer x = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (expandTabs && text[i] == '\t') {
      Integer stop = 8 * w;
      adv[i] = stop - x % stop;
    } else {
      adv[i] = w;
    }
    x += adv[i];
  }
  return adv;
}

Integer Width(const std::string& text, Integer w, bool expandTabs) {
  Integer total = 0;
  for (Integer a : Advances(text, w, expandTabs)) total += a;
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
void Wrap(const Line& l, Integer w, bool tabs, Integer limit, std::vector<Line>& out) {
  size_t start = 0;
  const size_t n = l.Text.size();
  if (n == 0) {
    out.push_back(l);
    return;
  }
  while (start < n) {
    size_t lastBreak = std::string::npos;
    size_t end = start;
    while (end < n) {
      if (Width(l.Text.substr(start, end - start + 1), w, tabs) > limit) break;
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
  const Integer W = f.Advance, H = f.CellHeight;
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
    for (const Line& l : hard) Wrap(l, W, tabs, std::max(limit, 1), lines);
  } else {
    lines = hard;
  }

  if (format & DT_END_ELLIPSIS) {
    for (Line& l : lines) {
      if (Width(l.Text, W, tabs) <= limit) continue;
      size_t keep = l.Text.size();
      while (keep > 0 && Width(l.Text.substr(0, keep), W, tabs) + 3 * W > limit) --keep;
      l = Slice(l, 0, keep);
      l.Text += "...";
      l.Underlined.insert(l.Underlined.end(), 3, false);
    }
  }

  Integer widest = 0;
  for (const Line& l : lines) widest = std::max(widest, Width(l.Text, W, tabs));
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
    Integer w = Width(l.Text, W, tabs);
    Integer x = rect->left;
    if (format & DT_CENTER)
      x = rect->left + (limit - w) / 2;
    else if (format & DT_RIGHT)
      x = rect->right - w;
    std::vector<Integer> adv = Advances(l.Text, W, tabs);
    std::string shown = l.Text;
    if (tabs) std::replace(shown.begin(), shown.end(), '\t', ' ');
    POINT p = ToDevice(dc->St, x, y);
    PaintText(*dc, f, p.x, p.y, reinterpret_cast<const unsigned char*>(shown.data()), static_cast<Integer>(shown.size()),
              adv, clip, dc->St.BkMode == OPAQUE, &l.Underlined);
    y += H;
  }
  return y - rect->top;
}
