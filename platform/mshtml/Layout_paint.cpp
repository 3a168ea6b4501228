// Painting with GDI: the body's background, block and cell backgrounds, table frames
// in the classic raised and sunken look, rules, text in its fonts and colours with
// underlines and strokes, list markers, images or their placeholder frames, and the
// edit-mode markers.
#include <algorithm>

#include "platform/mshtml/DocumentInternal.h"
#include "platform/mshtml/LayoutInternal.h"

namespace mshtml {

namespace {

void Fill(HDC hdc, const RECT& r, COLORREF color) {
  HBRUSH brush = CreateSolidBrush(color);
  FillRect(hdc, &r, brush);
  DeleteObject(brush);
}

void HLine(HDC hdc, Integer x0, Integer x1, Integer y, COLORREF color) {
  RECT r{x0, y, x1, y + 1};
  Fill(hdc, r, color);
}

void VLine(HDC hdc, Integer x, Integer y0, Integer y1, COLORREF color) {
  RECT r{x, y0, x + 1, y1};
  Fill(hdc, r, color);
}

// A frame of the given width: light above and left, dark below and right (raised),
// or the other way round (sunken).
void Frame(HDC hdc, RECT r, Integer width, bool raised) {
  COLORREF light = GetSysColor(COLOR_BTNHIGHLIGHT);
  COLORREF dark = GetSysColor(COLOR_BTNSHADOW);
  if (raised) {
    light = GetSysColor(COLOR_3DLIGHT);
    dark = GetSysColor(COLOR_3DDKSHADOW);
    if (width == 1) dark = GetSysColor(COLOR_BTNSHADOW);
  }
  COLORREF tl = raised ? light : dark, br = raised ? dark : light;
  for (Integer i = 0; i < width && r.right - r.left > 1 && r.bottom - r.top > 1; ++i) {
    HLine(hdc, r.left, r.right, r.top, tl);
    VLine(hdc, r.left, r.top, r.bottom, tl);
    HLine(hdc, r.left, r.right, r.bottom - 1, br);
    VLine(hdc, r.right - 1, r.top + 1, r.bottom, br);
    InflateRect(&r, -1, -1);
  }
}

// The guide drawn around a table or cell that has no border: a dotted grey frame
// inside its box.
void GuideFrame(HDC hdc, const RECT& r) {
  if (r.right - r.left < 2 || r.bottom - r.top < 2) return;
  HPEN pen = CreatePen(PS_DOT, 1, RGB(128, 128, 128));
  HGDIOBJ oldPen = SelectObject(hdc, pen);
  const POINT corners[] = {{r.left, r.top}, {r.right - 1, r.top}, {r.right - 1, r.bottom - 1},
                           {r.left, r.bottom - 1}, {r.left, r.top}};
  Polyline(hdc, corners, 5);
  SelectObject(hdc, oldPen);
  DeleteObject(pen);
}

// A tag glyph of the edit view: a pale tag with a grey edge and its label; an opening
// tag points right into what it marks, a closing one left; a line break shows the
// return arrow.
void DrawGlyph(HDC hdc, const RECT& r, Byte shape, const std::string& label, HFONT font) {
  const Integer w = r.right - r.left, h = r.bottom - r.top;
  if (w < 4 || h < 4) return;
  const COLORREF edge = RGB(128, 128, 128), ink = RGB(64, 64, 64);
  HBRUSH face = CreateSolidBrush(RGB(255, 255, 214));
  HPEN pen = CreatePen(PS_SOLID, 1, edge);
  HGDIOBJ oldBrush = SelectObject(hdc, face);
  HGDIOBJ oldPen = SelectObject(hdc, pen);
  const Integer tip = std::min<Integer>(h / 2, w / 4);
  const Integer l = r.left, t = r.top, rr = r.right - 1, b = r.bottom - 1, mid = r.top + h / 2;
  Integer textLeft = l + 2, textRight = rr - 1;
  if (shape == kGlyphOpen) {
    const POINT p[] = {{l, t}, {rr - tip, t}, {rr, mid}, {rr - tip, b}, {l, b}};
    Polygon(hdc, p, 5);
    textRight = rr - tip;
  } else if (shape == kGlyphClose) {
    const POINT p[] = {{l + tip, t}, {rr, t}, {rr, b}, {l + tip, b}, {l, mid}};
    Polygon(hdc, p, 5);
    textLeft = l + tip + 1;
  } else {
    Rectangle(hdc, l, t, rr + 1, b + 1);
  }
  if (shape == kGlyphBreak) {
    // The return arrow: down the right side, along the bottom, a head at the left.
    HPEN arrow = CreatePen(PS_SOLID, 1, ink);
    SelectObject(hdc, arrow);
    const Integer ax = rr - 4, ay = b - 4, left = l + 5;
    const POINT stem[] = {{ax, t + 3}, {ax, ay}, {left, ay}};
    Polyline(hdc, stem, 3);
    HBRUSH head = CreateSolidBrush(ink);
    SelectObject(hdc, head);
    const POINT tipPoints[] = {{left - 3, ay}, {left + 1, ay - 3}, {left + 1, ay + 3}};
    Polygon(hdc, tipPoints, 3);
    SelectObject(hdc, face);
    SelectObject(hdc, pen);
    DeleteObject(head);
    DeleteObject(arrow);
  } else if (!label.empty() && font) {
    HGDIOBJ oldFont = SelectObject(hdc, font);
    SIZE size{};
    GetTextExtentPoint32(hdc, label.data(), static_cast<Integer>(label.size()), &size);
    SetTextColor(hdc, ink);
    const Integer x = textLeft + std::max<Integer>(0, (textRight - textLeft - size.cx) / 2);
    const Integer y = t + std::max<Integer>(0, (h - size.cy) / 2);
    RECT clip{textLeft, t + 1, textRight, b};
    ExtTextOut(hdc, x, y, ETO_CLIPPED, &clip, label.data(), static_cast<UINT>(label.size()), nullptr);
    SelectObject(hdc, oldFont);
  }
  SelectObject(hdc, oldPen);
  SelectObject(hdc, oldBrush);
  DeleteObject(pen);
  DeleteObject(face);
}

// The label of a glyph: the tag's name, or what a comment, script or style is.
std::string GlyphLabel(const Node* owner) {
  if (owner->GetNodeType() == NODE_COMMENT) return "<!>";
  const auto* e = static_cast<const Element*>(owner);
  switch (e->GetTagId()) {
    case TAGID_SCRIPT: return "JS";
    case TAGID_STYLE: return "CSS";
    default: break;
  }
  std::string name;
  for (char16_t c : e->GetTagName()) name.push_back(AnsiOf(c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 32) : c));
  return name;
}

bool Meets(const RECT& a, const RECT& b) {
  return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

}  // namespace

void Layout::Paint(HDC hdc, const RECT& clip, POINT scroll) {
  Impl& im = *impl_;
  im.Ensure();
  if (!hdc) return;
  Integer saved = SaveDC(hdc);
  IntersectClipRect(hdc, clip.left, clip.top, clip.right, clip.bottom);
  POINT origin{};
  GetViewportOrgEx(hdc, &origin);
  SetViewportOrgEx(hdc, origin.x - scroll.x, origin.y - scroll.y, nullptr);
  RECT area = clip;
  OffsetRect(&area, scroll.x, scroll.y);
  SetBkMode(hdc, TRANSPARENT);

  // The canvas: the body's colour, white without one.
  COLORREF canvas = RGB(255, 255, 255);
  if (Element* body = im.Doc->GetBody(); body && im.StyleOf.count(body)) {
    COLORREF c = im.StyleFor(body).Background;
    if (c != kNoColor) canvas = c;
  }
  Fill(hdc, area, canvas);

  for (const BlockBox& b : im.Boxes) {
    if (!Meets(b.Box, area) || b.Owner->GetTagId() == TAGID_BODY) continue;
    if (b.Rule) {
      if (b.NoShade) {
        Fill(hdc, b.Box, b.Background != kNoColor ? b.Background : GetSysColor(COLOR_BTNSHADOW));
      } else {
        RECT r = b.Box;
        Frame(hdc, r, 1, false);
      }
      continue;
    }
    if (b.Background != kNoColor) {
      RECT r = b.Box;
      if (b.Kind == BoxKind::Table && b.Border > 0) InflateRect(&r, -b.Border, -b.Border);
      if (b.Kind != BoxKind::Row) Fill(hdc, r, b.Background);
    }
    if (b.Border > 0 && (b.Kind == BoxKind::Table || b.Kind == BoxKind::Cell))
      Frame(hdc, b.Box, b.Border, b.Kind == BoxKind::Table);
    else if (im.ZeroBorders && (b.Kind == BoxKind::Table || b.Kind == BoxKind::Cell))
      GuideFrame(hdc, b.Box);
    if (im.Glyphs && (b.Kind == BoxKind::Table || b.Owner->GetTagId() == TAGID_P)) {
      RECT mark{b.Box.left, b.Box.top, b.Box.left + 5, b.Box.top + 5};
      HBRUSH brush = CreateSolidBrush(RGB(128, 128, 128));
      FrameRect(hdc, &mark, brush);
      DeleteObject(brush);
    }
  }

  HDC picture = 0;
  HGDIOBJ oldFont = 0;
  Integer currentFont = -1;
  for (size_t k = 0; k < im.Fragments.size(); ++k) {
    const Fragment& f = im.Fragments[k];
    RECT reach = f.Box;
    reach.right += f.SpaceAfter;
    // A glyph's ink may stand out of its cell (italics, smoothed edges): a piece just
    // outside the area still reaches into it.
    const Integer overhang = (f.Box.bottom - f.Box.top) / 2;
    reach.left -= overhang;
    reach.right += overhang;
    if (!Meets(reach, area) && !(f.Type == Fragment::Break && im.Glyphs)) continue;
    const ComputedStyle& s = im.Styles[static_cast<size_t>(f.Style)];
    switch (f.Type) {
      case Fragment::Text: {
        if (s.Font != currentFont) {
          HGDIOBJ prev = SelectObject(hdc, im.Fonts[static_cast<size_t>(s.Font)].Font);
          if (!oldFont) oldFont = prev;
          currentFont = s.Font;
        }
        SetTextColor(hdc, s.Color);
        TextOut(hdc, f.Box.left, f.Box.top, f.Chars.data(), static_cast<Integer>(f.Chars.size()));
        const FontInfo& font = im.Fonts[static_cast<size_t>(s.Font)];
        Integer thick = std::max<Integer>(1, font.Height / 16);
        // A line under a link runs on across the blank to the next piece of the same line.
        Integer right = f.Box.right;
        if (f.SpaceAfter > 0 && k + 1 < im.Fragments.size()) {
          const Fragment& next = im.Fragments[k + 1];
          const ComputedStyle& ns = im.Styles[static_cast<size_t>(next.Style)];
          if (next.LineTop == f.LineTop && next.Type != Fragment::Marker && ns.Underline == s.Underline)
            right += f.SpaceAfter;
        }
        if (s.Underline) {
          RECT u{f.Box.left, f.Box.top + font.Ascent + 1, right, f.Box.top + font.Ascent + 1 + thick};
          Fill(hdc, u, s.Color);
        }
        if (s.Strike) {
          Integer mid = f.Box.top + font.Ascent - font.Ascent / 3;
          RECT u{f.Box.left, mid, right, mid + thick};
          Fill(hdc, u, s.Color);
        }
        break;
      }
      case Fragment::Marker: {
        if (f.Chars.empty()) {
          HBRUSH brush = CreateSolidBrush(s.Color);
          HGDIOBJ oldBrush = SelectObject(hdc, brush);
          HPEN pen = CreatePen(PS_SOLID, 1, s.Color);
          HGDIOBJ oldPen = SelectObject(hdc, pen);
          Ellipse(hdc, f.Box.left, f.Box.top, f.Box.right, f.Box.bottom);
          SelectObject(hdc, oldPen);
          SelectObject(hdc, oldBrush);
          DeleteObject(pen);
          DeleteObject(brush);
        } else {
          if (s.Font != currentFont) {
            HGDIOBJ prev = SelectObject(hdc, im.Fonts[static_cast<size_t>(s.Font)].Font);
            if (!oldFont) oldFont = prev;
            currentFont = s.Font;
          }
          SetTextColor(hdc, s.Color);
          TextOut(hdc, f.Box.left, f.Box.top, f.Chars.data(), static_cast<Integer>(f.Chars.size()));
        }
        break;
      }
      case Fragment::Image: {
        const auto* img = static_cast<const Element*>(f.Owner);
        ImageEntry* entry = img->GetTagId() == TAGID_IMG ? im.ImageFor(img) : nullptr;
        Integer w = f.Box.right - f.Box.left, h = f.Box.bottom - f.Box.top;
        if (entry && w > 0 && h > 0) {
          if (!picture) picture = CreateCompatibleDC(hdc);
          HGDIOBJ old = SelectObject(picture, entry->Bitmap);
          SetStretchBltMode(hdc, HALFTONE);
          StretchBlt(hdc, f.Box.left, f.Box.top, w, h, picture, 0, 0, entry->Width, entry->Height, SRCCOPY);
          SelectObject(picture, old);
        } else {
          // No picture: a sunken frame of the image's size.
          Frame(hdc, f.Box, 1, false);
        }
        if (img->GetTagId() == TAGID_IMG) {
          auto border = AttrInt(img, u"border");
          // A linked image has a frame in the link colour unless border=0 says otherwise.
          bool linked = false;
          for (const Element* a = img->GetParentElement(); a && !linked; a = a->GetParentElement())
            linked = a->GetTagId() == TAGID_A && a->FindAttribute(u"href");
          Integer bw = border.value_or(linked ? 2 : 0);
          for (Integer i = 0; i < bw && i < w / 2 && i < h / 2; ++i) {
            RECT r{f.Box.left + i, f.Box.top + i, f.Box.right - i, f.Box.bottom - i};
            HBRUSH brush = CreateSolidBrush(linked ? static_cast<COLORREF>(im.LinkColor) : s.Color);
            FrameRect(hdc, &r, brush);
            DeleteObject(brush);
          }
        }
        break;
      }
      case Fragment::Glyph:
        DrawGlyph(hdc, f.Box, f.Shape, GlyphLabel(f.Owner),
                  im.GlyphFont >= 0 ? im.Fonts[static_cast<size_t>(im.GlyphFont)].Font : HFONT(0));
        break;
      case Fragment::Break:
        if (im.Glyphs && f.Owner->GetNodeType() == NODE_ELEMENT) {
          RECT mark{f.Box.left + 1, f.Box.top + 2, f.Box.left + 5, f.Box.bottom - 2};
          HBRUSH brush = CreateSolidBrush(RGB(128, 128, 128));
          FrameRect(hdc, &mark, brush);
          DeleteObject(brush);
        }
        break;
    }
  }
  if (oldFont) SelectObject(hdc, oldFont);
  if (picture) DeleteDC(picture);
  RestoreDC(hdc, saved);
}

}  // namespace mshtml
