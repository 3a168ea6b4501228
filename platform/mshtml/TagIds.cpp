#include "platform/mshtml/TagIds.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace mshtml {
namespace {

// Names by id; the nameless ids hold an empty name.
constexpr std::array<std::u16string_view, 110> kTagNames = {
    u"", u"", u"A", u"ACRONYM", u"ADDRESS", u"APPLET", u"AREA", u"B", u"BASE", u"BASEFONT", u"BDO",
    u"BGSOUND", u"BIG", u"BLINK", u"BLOCKQUOTE", u"BODY", u"BR", u"BUTTON", u"CAPTION", u"CENTER",
    u"CITE", u"CODE", u"COL", u"COLGROUP", u"COMMENT", u"", u"DD", u"DEL", u"DFN", u"DIR", u"DIV",
    u"DL", u"DT", u"EM", u"EMBED", u"FIELDSET", u"FONT", u"FORM", u"FRAME", u"FRAMESET", u"",
    u"H1", u"H2", u"H3", u"H4", u"H5", u"H6", u"HEAD", u"HR", u"HTML", u"I", u"IFRAME", u"IMG",
    u"INPUT", u"INS", u"KBD", u"LABEL", u"LEGEND", u"LI", u"LINK", u"LISTING", u"MAP", u"MARQUEE",
    u"MENU", u"META", u"NEXTID", u"NOBR", u"NOEMBED", u"NOFRAMES", u"NOSCRIPT", u"OBJECT", u"OL",
    u"OPTION", u"P", u"PARAM", u"PLAINTEXT", u"PRE", u"Q", u"RP", u"RT", u"RUBY", u"S", u"SAMP",
    u"SCRIPT", u"SELECT", u"SMALL", u"SPAN", u"STRIKE", u"STRONG", u"STYLE", u"SUB", u"SUP",
    u"TABLE", u"TBODY", u"", u"TD", u"TEXTAREA", u"TFOOT", u"TH", u"THEAD", u"TITLE", u"TR", u"TT",
    u"U", u"UL", u"VAR", u"WBR", u"XMP", u"", u"OPTGROUP"};

char16_t Upper(char16_t c) { return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 32) : c; }

}  // namespace

WideString GetNameForTagId(Integer tagId) {
  if (tagId < 0 || tagId >= static_cast<Integer>(kTagNames.size())) return {};
  return WideString(kTagNames[static_cast<size_t>(tagId)]);
}

ELEMENT_TAG_ID TagIdFromName(const WideString& name) {
  if (name.empty() || name.size() > 10) return TAGID_UNKNOWN;
  WideString upper(name);
  std::transform(upper.begin(), upper.end(), upper.begin(), Upper);
  for (size_t i = 2; i < kTagNames.size(); ++i)
    if (!kTagNames[i].empty() && kTagNames[i] == upper) return static_cast<ELEMENT_TAG_ID>(i);
  return TAGID_UNKNOWN;
}

}  // namespace mshtml
