// Computed styles: what each element's presentational attributes, the document's
// style rules and its inline style make of the inherited style; fonts and measures.
#include <algorithm>
#include <array>
#include <cstring>

#include "platform/mshtml/DocumentInternal.h"
#include "platform/mshtml/LayoutInternal.h"
#include "platform/rtl/CodePage.h"

namespace mshtml {

namespace {

// FONT size 1..7 in pixels.
constexpr std::array<Integer, 8> kFontSteps = {10, 10, 13, 16, 18, 24, 32, 48};

struct NamedColor {
  const char16_t* Name;
  COLORREF Value;
};
constexpr NamedColor kColors[] = {
    {u"black", RGB(0, 0, 0)},          {u"silver", RGB(192, 192, 192)}, {u"gray", RGB(128, 128, 128)},
    {u"grey", RGB(128, 128, 128)},     {u"white", RGB(255, 255, 255)},  {u"maroon", RGB(128, 0, 0)},
    {u"red", RGB(255, 0, 0)},          {u"purple", RGB(128, 0, 128)},   {u"fuchsia", RGB(255, 0, 255)},
    {u"green", RGB(0, 128, 0)},        {u"lime", RGB(0, 255, 0)},       {u"olive", RGB(128, 128, 0)},
    {u"yellow", RGB(255, 255, 0)},     {u"navy", RGB(0, 0, 128)},       {u"blue", RGB(0, 0, 255)},
    {u"teal", RGB(0, 128, 128)},       {u"aqua", RGB(0, 255, 255)},     {u"orange", RGB(255, 165, 0)},
    {u"darkblue", RGB(0, 0, 139)},     {u"darkred", RGB(139, 0, 0)},    {u"darkgreen", RGB(0, 100, 0)},
    {u"lightgrey", RGB(211, 211, 211)}, {u"lightgray", RGB(211, 211, 211)}, {u"darkgray", RGB(169, 169, 169)},
    {u"darkgrey", RGB(169, 169, 169)}, {u"brown", RGB(165, 42, 42)},    {u"pink", RGB(255, 192, 203)},
};

WideString Trim(const WideString& s) {
  size_t b = 0, e = s.size();
  while (b < e && IsSpaceW(s[b])) ++b;
  while (e > b && IsSpaceW(s[e - 1])) --e;
  return s.substr(b, e - b);
}

int HexDigit(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return -1;
}

// The first family of a list, without quotes; generic families named as faces.
std::string FaceName(const WideString& list) {
  WideString first = list.substr(0, list.find(u','));
  first = Trim(first);
  if (first.size() >= 2 && (first.front() == u'"' || first.front() == u'\'')) first = first.substr(1, first.size() - 2);
  if (SameTextW(first, u"monospace")) return "Courier New";
  if (SameTextW(first, u"sans-serif")) return "Arial";
  if (SameTextW(first, u"serif")) return "Times New Roman";
  std::string out;
  for (char16_t c : first.substr(0, LF_FACESIZE - 1)) out += c < 0x80 ? static_cast<char>(c) : '?';
  return out;
}

Integer NearestStep(Integer px) {
  Integer best = 1;
  for (Integer i = 1; i <= 7; ++i)
    if (std::abs(kFontSteps[static_cast<size_t>(i)] - px) < std::abs(kFontSteps[static_cast<size_t>(best)] - px)) best = i;
  return best;
}

// A simple selector: "*", "tag", ".class", "tag.class", "#id", "tag#id" (lower case).
struct Selector {
  WideString Tag, Class, Id;
  bool Valid = false;
};

Selector ParseSelector(const WideString& text) {
  Selector s;
  WideString t = Trim(text);
  if (t.empty()) return s;
  for (char16_t c : t)
    if (IsSpaceW(c) || c == u'>' || c == u'+' || c == u':' || c == u'[' || c == u'~') return s;
  size_t dot = t.find(u'.'), hash = t.find(u'#');
  size_t cut = std::min(dot, hash);
  s.Tag = LowerW(t.substr(0, cut));
  if (s.Tag == u"*") s.Tag.clear();
  if (dot != WideString::npos) s.Class = t.substr(dot + 1, hash > dot ? hash - dot - 1 : WideString::npos);
  if (hash != WideString::npos) s.Id = t.substr(hash + 1, dot > hash ? dot - hash - 1 : WideString::npos);
  s.Valid = true;
  return s;
}

bool Matches(const Selector& s, const Element* e) {
  if (!s.Tag.empty() && !SameTextW(e->GetTagName(), s.Tag)) return false;
  if (!s.Id.empty() && e->GetId() != s.Id) return false;
  if (!s.Class.empty()) {
    WideString classes = e->GetClassName();
    bool found = false;
    size_t i = 0;
    while (i < classes.size() && !found) {
      while (i < classes.size() && IsSpaceW(classes[i])) ++i;
      size_t j = i;
      while (j < classes.size() && !IsSpaceW(classes[j])) ++j;
      found = classes.compare(i, j - i, s.Class) == 0 && j > i;
      i = j;
    }
    if (!found) return false;
  }
  return true;
}

Integer BlockDefaultMargin(ELEMENT_TAG_ID id, Integer fontSize) {
  switch (id) {
    case TAGID_P:
    case TAGID_BLOCKQUOTE:
    case TAGID_PRE:
    case TAGID_XMP:
    case TAGID_LISTING:
    case TAGID_PLAINTEXT:
    case TAGID_DL:
      return fontSize;
    case TAGID_H1:
    case TAGID_H2:
    case TAGID_H3:
    case TAGID_H4:
    case TAGID_H5:
    case TAGID_H6:
      return fontSize * 2 / 3;
    case TAGID_HR:
      return 7;
    default:
      return 0;
  }
}

}  // namespace

COLORREF ParseColor(const WideString& raw) {
  WideString t = Trim(raw);
  if (t.empty()) return kNoColor;
  for (const NamedColor& c : kColors)
    if (SameTextW(t, c.Name)) return c.Value;
  if (t.size() > 4 && SameTextW(t.substr(0, 4), u"rgb(")) {
    Integer v[3] = {0, 0, 0};
    size_t i = 4;
    for (Integer k = 0; k < 3 && i < t.size(); ++k) {
      while (i < t.size() && (IsSpaceW(t[i]) || t[i] == u',')) ++i;
      Integer n = 0;
      while (i < t.size() && t[i] >= u'0' && t[i] <= u'9' && n < 1000) n = n * 10 + (t[i++] - u'0');
      v[k] = std::min<Integer>(n, 255);
    }
    return RGB(static_cast<Byte>(v[0]), static_cast<Byte>(v[1]), static_cast<Byte>(v[2]));
  }
  if (t[0] == u'#') t = t.substr(1);
  if (t.size() == 3) t = WideString{t[0], t[0], t[1], t[1], t[2], t[2]};
  // The engine reads the first six hex digits and takes what is not a digit as 0.
  Integer v[6] = {0, 0, 0, 0, 0, 0};
  bool any = false;
  for (size_t i = 0; i < 6 && i < t.size(); ++i) {
    int d = HexDigit(t[i]);
    if (d >= 0) any = true;
    v[i] = std::max(d, 0);
  }
  if (!any) return kNoColor;
  return RGB(static_cast<Byte>(v[0] * 16 + v[1]), static_cast<Byte>(v[2] * 16 + v[3]),
             static_cast<Byte>(v[4] * 16 + v[5]));
}

Integer ClampLength(Int64 v) { return static_cast<Integer>(std::clamp<Int64>(v, 0, kMaxLength)); }

Integer ParseLength(const WideString& raw, Integer fontSize) {
  WideString t = Trim(raw);
  size_t i = 0;
  Int64 whole = 0;
  Int64 frac = 0, fracDiv = 1;
  bool digits = false;
  while (i < t.size() && t[i] >= u'0' && t[i] <= u'9') {
    if (whole < 10000000) whole = whole * 10 + (t[i] - u'0');
    digits = true;
    ++i;
  }
  if (i < t.size() && t[i] == u'.') {
    ++i;
    while (i < t.size() && t[i] >= u'0' && t[i] <= u'9') {
      if (fracDiv < 1000) {
        frac = frac * 10 + (t[i] - u'0');
        fracDiv *= 10;
      }
      digits = true;
      ++i;
    }
  }
  if (!digits) return kAuto;
  WideString unit = LowerW(Trim(t.substr(i)));
  Int64 milli = whole * 1000 + frac * 1000 / fracDiv;  // value x 1000
  if (unit == u"%") return -static_cast<Integer>(std::min<Int64>(milli / 1000, 100000));
  Int64 px = milli / 1000;
  if (unit == u"pt") px = milli * 4 / 3000;
  else if (unit == u"em") px = milli * fontSize / 1000;
  else if (unit == u"ex") px = milli * fontSize / 2000;
  else if (unit == u"in") px = milli * 96 / 1000;
  else if (unit == u"cm") px = milli * 96 / 2540;
  else if (unit == u"mm") px = milli * 96 / 25400;
  else if (unit == u"pc") px = milli * 16 / 1000;
  else if (!unit.empty() && unit != u"px") return kAuto;
  return ClampLength(px);
}

Integer Resolve(Integer length, Integer available) {
  if (length == kAuto) return kAuto;
  if (length >= 0) return length;
  return ClampLength(static_cast<Int64>(available) * -length / 100);
}

std::optional<Integer> AttrInt(const Element* e, const char16_t* name) {
  const Attribute* a = e->FindAttribute(name);
  if (!a) return std::nullopt;
  Integer v = ParseLength(a->Value, 16);
  if (v == kAuto || v < 0) return std::nullopt;
  return v;
}

WideString AttrText(const Element* e, const char16_t* name) {
  const Attribute* a = e->FindAttribute(name);
  return a ? Trim(a->Value) : WideString();
}

Integer Layout::Impl::FontFor(const FontKey& key) {
  for (size_t i = 0; i < Fonts.size(); ++i)
    if (Fonts[i].Key == key) return static_cast<Integer>(i);
  FontInfo info;
  info.Key = key;
  info.Font = CreateFont(-key.Size, 0, 0, 0, key.Bold ? FW_BOLD : FW_NORMAL, key.Italic ? 1 : 0, 0, 0,
                         DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                         DEFAULT_PITCH, key.Face.c_str());
  if (!info.Font) info.Font = static_cast<HFONT>(GetStockObject(SYSTEM_FONT));
  HGDIOBJ old = SelectObject(Measure, info.Font);
  TEXTMETRIC tm;
  if (GetTextMetrics(Measure, &tm)) {
    info.Ascent = tm.tmAscent;
    info.Descent = tm.tmDescent;
    info.Height = tm.tmHeight;
  } else {
    info.Ascent = key.Size;
    info.Descent = key.Size / 4;
    info.Height = info.Ascent + info.Descent;
  }
  SIZE sz{};
  GetTextExtentPoint32(Measure, " ", 1, &sz);
  info.SpaceWidth = sz.cx;
  SelectObject(Measure, old);
  Fonts.push_back(info);
  return static_cast<Integer>(Fonts.size() - 1);
}

Integer Layout::Impl::TextWidth(Integer font, const char* text, size_t count) {
  if (count == 0) return 0;
  HGDIOBJ old = SelectObject(Measure, Fonts[static_cast<size_t>(font)].Font);
  SIZE sz{};
  GetTextExtentPoint32(Measure, text, static_cast<Integer>(std::min<size_t>(count, 1 << 24)), &sz);
  SelectObject(Measure, old);
  return sz.cx;
}

Integer Layout::Impl::TextWidth(Integer font, const std::string& text) {
  return TextWidth(font, text.data(), text.size());
}

const ComputedStyle& Layout::Impl::StyleFor(const Element* e) const {
  auto it = StyleOf.find(e);
  return Styles[it == StyleOf.end() ? 0 : static_cast<size_t>(it->second)];
}

Integer Layout::Impl::StyleIndex(const Node* n) const {
  const Node* p = n;
  while (p && p->GetNodeType() != NODE_ELEMENT) p = p->GetParentNode();
  if (!p) return 0;
  auto it = StyleOf.find(static_cast<const Element*>(p));
  return it == StyleOf.end() ? 0 : it->second;
}

ImageEntry* Layout::Impl::ImageFor(const Element* img) {
  if (!Loader) return nullptr;
  WideString src = AttrText(img, u"src");
  if (src.empty()) return nullptr;
  auto it = Images.find(src);
  if (it == Images.end()) {
    ImageEntry entry;
    try {
      entry.Bitmap = Loader(src);
    } catch (...) {
      entry.Bitmap = 0;
    }
    if (entry.Bitmap) {
      BITMAP bm{};
      if (GetObject(entry.Bitmap, sizeof(bm), &bm) >= static_cast<Integer>(sizeof(bm))) {
        entry.Width = bm.bmWidth;
        entry.Height = std::abs(bm.bmHeight);
      }
    }
    it = Images.emplace(src, entry).first;
  }
  return it->second.Bitmap ? &it->second : nullptr;
}

void Layout::Impl::ImageSize(const Element* img, Integer available, Integer& w, Integer& h) {
  const ComputedStyle& s = StyleFor(img);
  w = Resolve(s.Width, available);
  h = Resolve(s.Height, available);
  if (w != kAuto && h != kAuto) return;
  ImageEntry* pic = ImageFor(img);
  Integer nw = pic ? pic->Width : 20, nh = pic ? pic->Height : 20;
  if (w == kAuto && h == kAuto) {
    w = nw;
    h = nh;
  } else if (w == kAuto) {
    w = nh > 0 ? ClampLength(static_cast<Int64>(nw) * h / nh) : nw;
  } else {
    h = nw > 0 ? ClampLength(static_cast<Int64>(nh) * w / nw) : nh;
  }
}

void Layout::Impl::ComputeStyles() {
  Styles.clear();
  StyleOf.clear();
  // The root style: the engine's default font and colours.
  ComputedStyle root;
  root.Kind = BoxKind::Block;
  FontKey rootKey{16, false, false, "Times New Roman"};
  root.Font = FontFor(rootKey);
  root.Color = RGB(0, 0, 0);
  Styles.push_back(root);

  Element* body = Doc->GetBody();
  COLORREF link = RGB(0, 0, 255);
  if (body) {
    COLORREF c = ParseColor(AttrText(body, u"link"));
    if (c != kNoColor) link = c;
  }
  LinkColor = static_cast<Integer>(link);

  // The rules of the document's sheets that a simple selector can hold.
  std::vector<std::pair<Selector, const Style*>> rules;
  for (StyleSheet* sheet : Doc->GetStyleSheets()) {
    if (!sheet || !sheet->GetOwningElement() || !sheet->GetOwningElement()->IsInDocument()) continue;
    for (const StyleRule& rule : sheet->GetRules()) {
      Selector sel = ParseSelector(rule.GetSelectorText());
      if (sel.Valid) rules.emplace_back(sel, &rule.GetStyle());
    }
  }

  Element* top = Doc->GetDocumentElement();
  if (!top) return;
  WalkTree(top, [&](const Node* n) {
    if (n->GetNodeType() != NODE_ELEMENT) return false;
    const auto* e = static_cast<const Element*>(n);
    const Element* parent = e->GetParentElement();
    const ComputedStyle& ps = parent ? StyleFor(parent) : Styles[0];
    if (ps.Kind == BoxKind::Gone) {
      StyleOf[e] = static_cast<Integer>(Styles.size());
      ComputedStyle none = ps;
      Styles.push_back(none);
      return true;
    }
    ComputedStyle s;
    s.Color = ps.Color;
    s.TextAlign = ps.TextAlign;
    s.Pre = ps.Pre;
    s.NoWrap = ps.NoWrap;
    s.Underline = ps.Underline;
    s.Strike = ps.Strike;
    s.Shift = ps.Shift;
    FontKey key = Fonts[static_cast<size_t>(ps.Font)].Key;
    ELEMENT_TAG_ID id = e->GetTagId();

    if (!e->IsHtml() || IsHiddenTextElement(e) || id == TAGID_HEAD || id == TAGID_SCRIPT || id == TAGID_STYLE ||
        id == TAGID_TITLE || id == TAGID_META || id == TAGID_LINK || id == TAGID_BASE || id == TAGID_PARAM ||
        id == TAGID_COL || id == TAGID_COLGROUP || id == TAGID_AREA || id == TAGID_MAP || id == TAGID_NOSCRIPT ||
        id == TAGID_NOFRAMES || id == TAGID_NOEMBED || id == TAGID_BGSOUND) {
      s.Kind = BoxKind::Gone;
    } else if (id == TAGID_LI) {
      s.Kind = BoxKind::ListItem;
    } else if (id == TAGID_TABLE) {
      s.Kind = BoxKind::Table;
    } else if (id == TAGID_TR) {
      s.Kind = BoxKind::Row;
    } else if (id == TAGID_TD || id == TAGID_TH) {
      s.Kind = BoxKind::Cell;
    } else if (id == TAGID_HTML || id == TAGID_BODY || id == TAGID_CAPTION || id == TAGID_THEAD ||
               id == TAGID_TBODY || id == TAGID_TFOOT || IsBlockElement(e)) {
      s.Kind = BoxKind::Block;
    }
    Integer px = key.Size;
    switch (id) {
      case TAGID_B:
      case TAGID_STRONG:
        key.Bold = true;
        break;
      case TAGID_I:
      case TAGID_EM:
      case TAGID_CITE:
      case TAGID_VAR:
      case TAGID_DFN:
      case TAGID_ADDRESS:
        key.Italic = true;
        break;
      case TAGID_U:
      case TAGID_INS:
        s.Underline = true;
        break;
      case TAGID_S:
      case TAGID_STRIKE:
      case TAGID_DEL:
        s.Strike = true;
        break;
      case TAGID_TT:
      case TAGID_CODE:
      case TAGID_KBD:
      case TAGID_SAMP:
        key.Face = "Courier New";
        break;
      case TAGID_PRE:
      case TAGID_XMP:
      case TAGID_LISTING:
      case TAGID_PLAINTEXT:
        key.Face = "Courier New";
        s.Pre = true;
        break;
      case TAGID_SUB:
      case TAGID_SUP:
        px = std::max<Integer>(1, kFontSteps[static_cast<size_t>(std::max<Integer>(1, NearestStep(px) - 1))]);
        s.Shift += id == TAGID_SUP ? -key.Size / 3 : key.Size / 4;
        break;
      case TAGID_BIG:
        px = kFontSteps[static_cast<size_t>(std::min<Integer>(7, NearestStep(px) + 1))];
        break;
      case TAGID_SMALL:
        px = kFontSteps[static_cast<size_t>(std::max<Integer>(1, NearestStep(px) - 1))];
        break;
      case TAGID_H1: px = 32; key.Bold = true; break;
      case TAGID_H2: px = 24; key.Bold = true; break;
      case TAGID_H3: px = 19; key.Bold = true; break;
      case TAGID_H4: px = 16; key.Bold = true; break;
      case TAGID_H5: px = 13; key.Bold = true; break;
      case TAGID_H6: px = 11; key.Bold = true; break;
      case TAGID_CENTER:
        s.TextAlign = Align::Center;
        break;
      case TAGID_A:
        if (e->FindAttribute(u"href")) {
          s.Color = link;
          s.Underline = true;
        }
        break;
      case TAGID_FONT: {
        WideString size = AttrText(e, u"size");
        if (!size.empty()) {
          Integer step = 3;
          bool rel = size[0] == u'+' || size[0] == u'-';
          Integer n = 0;
          bool digits = false;
          for (size_t i = rel ? 1 : 0; i < size.size() && size[i] >= u'0' && size[i] <= u'9' && n < 100; ++i) {
            n = n * 10 + (size[i] - u'0');
            digits = true;
          }
          if (digits) {
            step = rel ? (size[0] == u'+' ? 3 + n : 3 - n) : n;
            px = kFontSteps[static_cast<size_t>(std::clamp<Integer>(step, 1, 7))];
          }
        }
        WideString face = AttrText(e, u"face");
        if (!face.empty()) key.Face = FaceName(face);
        COLORREF c = ParseColor(AttrText(e, u"color"));
        if (c != kNoColor) s.Color = c;
        break;
      }
      case TAGID_BODY: {
        COLORREF c = ParseColor(AttrText(e, u"text"));
        if (c != kNoColor) s.Color = c;
        s.Background = ParseColor(AttrText(e, u"bgcolor"));
        s.MarginLeft = s.MarginRight = AttrInt(e, u"leftmargin").value_or(AttrInt(e, u"marginwidth").value_or(10));
        if (auto r = AttrInt(e, u"rightmargin")) s.MarginRight = *r;
        s.MarginTop = s.MarginBottom = AttrInt(e, u"topmargin").value_or(AttrInt(e, u"marginheight").value_or(15));
        if (auto b = AttrInt(e, u"bottommargin")) s.MarginBottom = *b;
        break;
      }
      case TAGID_TD:
      case TAGID_TH:
      case TAGID_TR:
      case TAGID_TABLE:
        s.Background = ParseColor(AttrText(e, u"bgcolor"));
        if (id == TAGID_TD || id == TAGID_TH) s.NoWrap = e->FindAttribute(u"nowrap") != nullptr;
        if (id == TAGID_TH) key.Bold = true;
        break;
      case TAGID_UL:
      case TAGID_OL:
      case TAGID_DIR:
      case TAGID_MENU:
        s.PaddingLeft = 40;
        break;
      case TAGID_BLOCKQUOTE:
        s.MarginLeft = s.MarginRight = 40;
        break;
      case TAGID_DD:
        s.MarginLeft = 40;
        break;
      default:
        break;
    }
    // Text alignment from align= on blocks and cells (a table's align places the table).
    if (id != TAGID_TABLE && id != TAGID_IMG && id != TAGID_HR) {
      WideString align = AttrText(e, u"align");
      if (SameTextW(align, u"center") || SameTextW(align, u"middle")) s.TextAlign = Align::Center;
      else if (SameTextW(align, u"right")) s.TextAlign = Align::Right;
      else if (SameTextW(align, u"left") || SameTextW(align, u"justify")) s.TextAlign = Align::Left;
    }
    if (id == TAGID_TH && !e->FindAttribute(u"align")) s.TextAlign = Align::Center;
    // Margins of blocks: the engine's defaults; lists nested in lists have none.
    Integer m = BlockDefaultMargin(id, px);
    if ((id == TAGID_UL || id == TAGID_OL) && parent) {
      bool nested = false;
      for (const Element* a = parent; a && !nested; a = a->GetParentElement())
        nested = a->GetTagId() == TAGID_UL || a->GetTagId() == TAGID_OL;
      m = nested ? 0 : px;
    }
    if (id != TAGID_BODY) s.MarginTop = s.MarginBottom = m;
    // Widths and heights from attributes.
    if (id == TAGID_IMG || id == TAGID_TABLE || id == TAGID_TD || id == TAGID_TH || id == TAGID_HR ||
        id == TAGID_TR) {
      WideString w = AttrText(e, u"width"), h = AttrText(e, u"height");
      if (!w.empty()) s.Width = ParseLength(w, px);
      if (!h.empty()) s.Height = ParseLength(h, px);
    }

    // The style rules, then the inline style.
    auto apply = [&](const Style& st) {
      for (const StyleDeclaration& d : st.GetDeclarations()) {
        WideString v = d.Value;
        size_t bang = v.find(u'!');
        if (bang != WideString::npos) v = Trim(v.substr(0, bang));
        const WideString& name = d.Name;
        if (name == u"font-size") {
          static constexpr std::pair<const char16_t*, Integer> kWords[] = {
              {u"xx-small", 9}, {u"x-small", 10}, {u"small", 13}, {u"medium", 16},
              {u"large", 18},   {u"x-large", 24}, {u"xx-large", 32}};
          bool word = false;
          for (auto [wname, wpx] : kWords)
            if (SameTextW(v, wname)) {
              px = wpx;
              word = true;
            }
          if (!word) {
            Integer l = ParseLength(v, px);
            if (l != kAuto) px = l >= 0 ? l : ClampLength(static_cast<Int64>(px) * -l / 100);
          }
        } else if (name == u"font-family") {
          if (!v.empty()) key.Face = FaceName(v);
        } else if (name == u"font-weight") {
          key.Bold = SameTextW(v, u"bold") || SameTextW(v, u"bolder") || (v.size() == 3 && v[0] >= u'6' && v[0] <= u'9');
        } else if (name == u"font-style") {
          key.Italic = SameTextW(v, u"italic") || SameTextW(v, u"oblique");
        } else if (name == u"text-decoration") {
          WideString lv = LowerW(v);
          s.Underline = lv.find(u"underline") != WideString::npos;
          s.Strike = lv.find(u"line-through") != WideString::npos;
        } else if (name == u"color") {
          COLORREF c = ParseColor(v);
          if (c != kNoColor) s.Color = c;
        } else if (name == u"background-color" || name == u"background") {
          WideString first = v.substr(0, v.find(u' '));
          COLORREF c = ParseColor(first);
          if (c != kNoColor || SameTextW(first, u"transparent")) s.Background = c;
        } else if (name == u"display") {
          if (SameTextW(v, u"none")) s.Kind = BoxKind::Gone;
          else if (SameTextW(v, u"block") && s.Kind == BoxKind::Inline) s.Kind = BoxKind::Block;
          else if (SameTextW(v, u"inline") && s.Kind == BoxKind::Block && id != TAGID_BODY && id != TAGID_HTML)
            s.Kind = BoxKind::Inline;
          else if (SameTextW(v, u"list-item")) s.Kind = BoxKind::ListItem;
        } else if (name == u"text-align") {
          if (SameTextW(v, u"center")) s.TextAlign = Align::Center;
          else if (SameTextW(v, u"right")) s.TextAlign = Align::Right;
          else if (SameTextW(v, u"left") || SameTextW(v, u"justify")) s.TextAlign = Align::Left;
        } else if (name == u"white-space") {
          s.Pre = SameTextW(v, u"pre");
          s.NoWrap = SameTextW(v, u"nowrap");
        } else if (name == u"width" || name == u"height") {
          Integer l = ParseLength(v, px);
          (name == u"width" ? s.Width : s.Height) = l;
        } else if (name == u"margin" || name == u"margin-top" || name == u"margin-bottom" ||
                   name == u"margin-left" || name == u"margin-right") {
          std::vector<Integer> parts;
          size_t i = 0;
          while (i < v.size() && parts.size() < 4) {
            while (i < v.size() && IsSpaceW(v[i])) ++i;
            size_t j = i;
            while (j < v.size() && !IsSpaceW(v[j])) ++j;
            if (j > i) {
              Integer l = ParseLength(v.substr(i, j - i), px);
              parts.push_back(l == kAuto || l < 0 ? 0 : l);
            }
            i = j;
          }
          if (parts.empty()) continue;
          if (name == u"margin") {
            Integer t = parts[0], r = parts.size() > 1 ? parts[1] : t, b = parts.size() > 2 ? parts[2] : t,
                    l = parts.size() > 3 ? parts[3] : r;
            s.MarginTop = t;
            s.MarginRight = r;
            s.MarginBottom = b;
            s.MarginLeft = l;
          } else if (name == u"margin-top") {
            s.MarginTop = parts[0];
          } else if (name == u"margin-bottom") {
            s.MarginBottom = parts[0];
          } else if (name == u"margin-left") {
            s.MarginLeft = parts[0];
          } else {
            s.MarginRight = parts[0];
          }
        }
      }
    };
    for (const auto& [sel, st] : rules)
      if (Matches(sel, e)) apply(*st);
    if (const Attribute* a = e->FindAttribute(u"style"); a && !a->Value.empty()) {
      Style inlineStyle(a->Value);
      apply(inlineStyle);
    }
    key.Size = std::clamp<Integer>(px, 1, kMaxFontSize);
    s.Font = FontFor(key);
    StyleOf[e] = static_cast<Integer>(Styles.size());
    Styles.push_back(s);
    return true;
  });
}

}  // namespace mshtml
