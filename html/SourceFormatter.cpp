// The source formatter: the tree walk of the formatted path and the three readers.
#include "html/SourceFormatter.h"

#include <algorithm>
#include <initializer_list>
#include <string>

#include "html/HtmlUtils.h"
#include "html/SourceFormatterInternal.h"
#include "platform/mshtml/TagIds.h"
#include "platform/rtl/Exceptions.h"

using namespace mshtml;
using namespace source_formatter;

namespace {

constexpr char16_t kFileProtocol[] = u"file://";

bool IdIn(ELEMENT_TAG_ID id, std::initializer_list<ELEMENT_TAG_ID> ids) {
  return std::find(ids.begin(), ids.end(), id) != ids.end();
}

// Elements without indentation of their own.
bool IsInlineId(ELEMENT_TAG_ID id) {
  return IdIn(id, {TAGID_A,    TAGID_ACRONYM, TAGID_B,      TAGID_BASEFONT, TAGID_BDO,    TAGID_BIG,   TAGID_BR,
                   TAGID_CITE, TAGID_CODE,    TAGID_DFN,    TAGID_EM,       TAGID_FONT,   TAGID_I,     TAGID_IMG,
                   TAGID_INPUT, TAGID_KBD,    TAGID_LABEL,  TAGID_Q,        TAGID_S,      TAGID_SAMP,  TAGID_SELECT,
                   TAGID_SMALL, TAGID_SPAN,   TAGID_STRIKE, TAGID_STRONG,   TAGID_SUB,    TAGID_SUP,   TAGID_TEXTAREA,
                   TAGID_TT,   TAGID_U,       TAGID_VAR});
}

// Elements without content and end tag.
bool IsEmptyId(ELEMENT_TAG_ID id) {
  return IdIn(id, {TAGID_AREA, TAGID_BASE, TAGID_BASEFONT, TAGID_BR, TAGID_COL, TAGID_FRAME, TAGID_HR, TAGID_IMG,
                   TAGID_INPUT, TAGID_LINK, TAGID_META, TAGID_PARAM});
}

// Elements that AddNbsp leaves empty: those whose filling would show as something
// else than a blank in them (a button's caption, a list's option), and those that
// cannot hold text at all, where the engine would move it out of them (table
// structure, the head) or where it would become part of a script.
bool IsNoFillId(ELEMENT_TAG_ID id) {
  return IdIn(id, {TAGID_BUTTON, TAGID_GENERIC, TAGID_IFRAME, TAGID_MARQUEE, TAGID_OBJECT, TAGID_SELECT,
                   TAGID_STYLE, TAGID_TBODY, TAGID_TEXTAREA, TAGID_TITLE,
                   // cannot hold text
                   TAGID_TABLE, TAGID_THEAD, TAGID_TFOOT, TAGID_TR, TAGID_COLGROUP, TAGID_HTML, TAGID_HEAD,
                   TAGID_FRAMESET, TAGID_SCRIPT, TAGID_XMP, TAGID_NOEMBED, TAGID_NOFRAMES, TAGID_PLAINTEXT,
                   TAGID_OPTGROUP});
}

// Elements whose content the engine keeps as raw text: it is written as it is.
bool IsRawTextId(ELEMENT_TAG_ID id) {
  return IdIn(id, {TAGID_SCRIPT, TAGID_STYLE, TAGID_XMP, TAGID_IFRAME, TAGID_NOEMBED, TAGID_NOFRAMES,
                   TAGID_PLAINTEXT});
}

// Elements whose white space is content: nothing is indented inside them.
bool IsPreservingId(ELEMENT_TAG_ID id) {
  return IdIn(id, {TAGID_PRE, TAGID_LISTING, TAGID_XMP, TAGID_PLAINTEXT, TAGID_TEXTAREA});
}

bool StartsWithI(const WideString& text, const WideString& prefix) {
  return text.size() >= prefix.size() && WideSameText(text.substr(0, prefix.size()), prefix);
}

// 0-based, letter case ignored; npos when none.
size_t FindI(const WideString& text, const WideString& sub, size_t from = 0) {
  Integer at = WidePosExI(sub, text, static_cast<Integer>(from) + 1);
  return at > 0 ? static_cast<size_t>(at - 1) : WideString::npos;
}

WideString IntToWide(Integer value) {
  const std::string digits = std::to_string(value);
  return WideString(digits.begin(), digits.end());
}

}  // namespace

TSourceFormatter::TSourceFormatter(TSourceFormatContext context) : context_(std::move(context)) {}

WideString TSourceFormatter::EngineHTML() {
  if (context_.EngineHTML) return context_.EngineHTML();
  return context_.Document ? context_.Document->GetHTML() : WideString();
}

WideString TSourceFormatter::MSSource() {
  if (!msSourceRead_) {
    msSourceRead_ = true;
    if (context_.MSSource)
      msSource_ = context_.MSSource();
    else if (context_.Document)
      msSource_ = context_.Document->GetHTML();
  }
  return msSource_;
}

WideString TSourceFormatter::Title() {
  if (context_.Title) return context_.Title();
  return context_.Document ? context_.Document->GetTitle() : WideString();
}

// ---------------------------------------------------------------------------------
// The readers.

WideString TSourceFormatter::GetSource() {
  if (!context_.Document) return {};
  try {
    if (context_.UseSourceCodePreservation) {
      WideString html = EngineHTML();
      MovePreHTMLText(html, html, true);
      AdjustPreservedHead(html, Title());
      CheckAmpInLinks(html);
      return html;
    }
    WideString text = GetSource2();
    AdjustHead(text);
    return text;
  } catch (const std::exception&) {
    return {};
  }
}

WideString TSourceFormatter::GetHead() {
  if (!context_.Document) return {};
  try {
    if (context_.UseSourceCodePreservation) {
      WideString html = EngineHTML();
      size_t open = FindI(html, u"<head>");
      size_t close = FindI(html, u"</head>");
      if (open == WideString::npos || close == WideString::npos || open >= close) return {};
      WideString head = html.substr(open, close + 7 - open);
      AdjustPreservedHead(head, Title());
      return head;
    }
    WideString text = GetHead2();
    AdjustHead(text);
    return text;
  } catch (const std::exception&) {
    return {};
  }
}

WideString TSourceFormatter::GetBody() {
  if (!context_.Document) return {};
  try {
    if (context_.UseSourceCodePreservation) return PreservedBody(EngineHTML());
    return GetBody2();
  } catch (const std::exception&) {
    return {};
  }
}

WideString TSourceFormatter::FormatTopElement(const char16_t* name) {
  if (!context_.Document) return {};
  try {
    ElementList found = context_.Document->GetElementsByTagName(name);
    if (found.size() != 1) return {};
    TEmittedElements list;
    return ParseOuterHTML(found.front(), 0, list);
  } catch (const std::exception&) {
    return {};
  }
}

WideString TSourceFormatter::GetSource2() {
  WideString text = FormatTopElement(u"html");
  if (!text.empty()) AddHeader(text);
  return text;
}

WideString TSourceFormatter::GetHead2() { return FormatTopElement(u"head"); }

WideString TSourceFormatter::GetBody2() { return FormatTopElement(u"body"); }

// ---------------------------------------------------------------------------------
// The tree walk.

WideString TSourceFormatter::ParseOuterHTML(mshtml::Node* Node, Integer Level, TEmittedElements& List) {
  if (!Node) return {};
  try {
    switch (Node->GetNodeType()) {
      case NODE_ELEMENT:
        return FormatElement(static_cast<Element*>(Node), Level, List);
      case NODE_TEXT: {
        WideString text = static_cast<TextNode*>(Node)->GetData();
        // A processing instruction kept as text is written as it is; any other text
        // is escaped, even when it ends as one does.
        bool instruction = text.size() >= 4 && text.compare(0, 2, u"<?") == 0 &&
                           text.compare(text.size() - 2, 2, u"?>") == 0;
        if (!instruction) AdjustText(text);
        return text;
      }
      case NODE_COMMENT:
        return FormatComment(static_cast<CommentNode*>(Node)->GetText());
      default:
        return {};
    }
  } catch (const std::exception&) {
    return {};
  }
}

WideString TSourceFormatter::FormatComment(const WideString& text) const {
  if (!context_.Options.Contains(TerminateComments)) return text;
  return CompleteCommentTerminator(text);
}

WideString TSourceFormatter::FormatElement(Element* element, Integer level, TEmittedElements& list) {
  const TSourceCodeOptions& options = context_.Options;
  const bool duplicate = list.count(element) != 0;
  bool indent = options.Contains(IndentSource) && preserving_ == 0;
  Integer count = 0;
  bool empty = false;
  const ELEMENT_TAG_ID tagId = element->GetTagId();
  const WideString& tagName = element->GetTagName();
  WideString name;

  if (tagId >= TAGID_A && tagId <= TAGID_OPTGROUP) {
    name = GetNameForTagId(tagId);
    if (!WideSameText(name, tagName)) {
      if (!(name.empty() && tagName.empty() && tagId == TAGID_TC)) return {};
      name = u"TC";
    }
    if (IsInlineId(tagId)) indent = false;
    // The engine's void elements beyond the classic twelve have no content either.
    empty = IsEmptyId(tagId) || element->IsEmptyElement();
  } else {
    name = tagName;
    if (!name.empty() && name[0] == u'/') {
      // An end tag the engine kept as an element of its own.
      if (!IsEmptyElement(name.substr(1)) || options.Contains(TerminateEmptyElements)) return {};
      return u"<" + (options.Contains(LowercaseElementNames) ? WideLowerCase(name) : name) + u">";
    }
    if (IsInlineElementName(name)) indent = false;
    empty = element->IsEmptyElement();
  }

  WideString tag = options.Contains(LowercaseElementNames) ? WideLowerCase(name) : name;
  for (const TTagSubstitution& item : context_.TagsSubstitution)
    if (WideSameText(name, item.OriginalTag)) tag = item.ReplacementTag;

  WideString result = u"<" + tag;
  // An element closed by "/>" right after its last value: a bare value would take the
  // slash in.
  const bool closesTight = empty && options.Contains(TerminateEmptyElements) &&
                           !options.Contains(AddSpaceInTerminatedEmptyElements);

  for (const Attribute& attribute : element->GetAttributes()) {
    if (!attribute.Specified) {
      bool keep = (tagId == TAGID_DD && WideSameText(attribute.Name, u"class")) ||
                  ((tagId == TAGID_DIV || tagId == TAGID_P) && WideSameText(attribute.Name, u"align")) ||
                  (tagId == TAGID_INPUT && WideSameText(attribute.Name, u"value"));
      if (!keep) continue;
    }
    WideString value;
    AttributeValue typed = element->GetAttributeNodeValue(attribute);
    if (std::holds_alternative<std::monostate>(typed)) {
      if (!WideSameText(attribute.Name, u"style")) continue;
      Style* style = element->GetStyle();
      value = style ? style->GetCssText() : WideString();
      if (options.Contains(LowercaseStylePropertyNames)) value = LowerStylePropertyNames(value);
    } else if (const auto* text = std::get_if<WideString>(&typed)) {
      value = *text;
      const char16_t* property = WideSameText(attribute.Name, u"align")   ? u"align"
                                 : WideSameText(attribute.Name, u"class") ? u"className"
                                                                          : nullptr;
      if (property) {
        std::optional<WideString> current = element->GetAttribute(property, 0);
        if (current && *current != value) value = *current;
        if (!current || value.empty()) continue;
      }
    } else {
      value = AttributeValueText(typed);
    }
    if (WideSameText(attribute.Name, u"DESIGNTIMESP") || WideSameText(attribute.Name, u"DESIGNTIMEURL")) continue;

    if (tagId == TAGID_META) {
      if (WideSameText(attribute.Name, u"content") &&
          (value.compare(0, 7, u"MSHTML ") == 0 || value == u"Microsoft DHTML Editing Control"))
        continue;
      if (WideSameText(attribute.Name, u"name") && value == u"GENERATOR") continue;
      if (options.Contains(Preserve8BitCharacters) && WideSameText(attribute.Name, u"content") &&
          value == u"text/html; charset=unicode")
        value = value.substr(0, value.size() - 7) + u"windows-" + IntToWide(context_.CodePage);
    }

    const WideString attrName = options.Contains(LowercaseAttributeNames) ? WideLowerCase(attribute.Name)
                                                                          : attribute.Name;
    value = DecodePercentEscapes(value);

    if (StartsWithI(value, kFileProtocol)) {
      const bool excludeProtocol = options.Contains(ExcludeFileProtocol);
      const bool excludeBase = options.Contains(ExcludeBaseURL);
      const WideString& base = context_.BaseURL;
      if (excludeProtocol && !excludeBase) {
        value.erase(0, 7);
      } else if (excludeProtocol && excludeBase) {
        if (!base.empty() && StartsWithI(value, kFileProtocol + base))
          value.erase(0, 7 + base.size());
        else
          value.erase(0, 7);
      } else if (excludeBase) {
        if (!base.empty() && StartsWithI(value.substr(7), base)) value.erase(7, base.size());
      }
    }

    const bool quoted = options.Contains(QuoteAttributeValues) || closesTight || ValueNeedsQuotes(value);
    if (IsBooleanAttribute(attribute.Name)) {
      if (options.Contains(UnminimizeBooleanAttributes)) {
        const WideString escapedName = EscapeAttributeValue(attrName, true);
        if (options.Contains(QuoteAttributeValues) || closesTight)
          result += u" " + attrName + u"=\"" + escapedName + u"\"";
        else
          result += u" " + attrName + u"=" + escapedName;
      } else {
        result += u" " + attrName;
      }
    } else {
      const WideString escaped = EscapeAttributeValue(value, quoted);
      result += u" " + attrName + u"=" + (quoted ? u"\"" + escaped + u"\"" : escaped);
    }
    ++count;
  }

  const WideString pad(static_cast<size_t>(std::max(level, 0)) * 2, u' ');
  auto applyIndent = [&] {
    if (!indent) return;
    result = level == 0 ? pad + result : u"\r\n" + pad + result;
  };

  if (!empty) {
    const bool dropFont = count == 0 && tagId == TAGID_FONT;
    if (dropFont)
      result.clear();
    else
      result += u">";
    applyIndent();

    WideString inner;
    const std::vector<mshtml::Node*>& children = element->GetChildNodes();
    if (IsRawTextId(tagId) || (children.empty() && (tagId == TAGID_SCRIPT || tagId == TAGID_STYLE ||
                                                     tagId == TAGID_TITLE))) {
      inner = element->GetInnerHTML();
    } else {
      const bool preserving = IsPreservingId(tagId);
      if (preserving) ++preserving_;
      for (mshtml::Node* child : children) inner += ParseOuterHTML(child, level + 1, list);
      if (preserving) --preserving_;
      // The parser drops a line feed right after the start tag of these: one more
      // keeps the content's own.
      if (preserving && !inner.empty() && inner[0] == u'\n' && tagId != TAGID_XMP && tagId != TAGID_PLAINTEXT)
        inner.insert(0, u"\n");
    }
    result += inner;
    if (indent && inner.find(u"\r\n") != WideString::npos) result += u"\r\n" + pad;
    if (!dropFont) {
      if (options.Contains(AddNbsp) && inner.empty() && !IsNoFillId(tagId)) result += u"&nbsp;";
      result += u"</" + tag + u">";
    }
  } else {
    if (tagId == TAGID_META && count == 0) return {};
    applyIndent();
    if (options.Contains(TerminateEmptyElements))
      result += options.Contains(AddSpaceInTerminatedEmptyElements) ? u" />" : u"/>";
    else
      result += u">";
  }

  if (duplicate) return {};
  if (tagId != TAGID_PARAM) list.insert(element);
  return result;
}

// ---------------------------------------------------------------------------------
// Text and the head.

void TSourceFormatter::AdjustText(WideString& Text) const {
  const bool entities = context_.Options.Contains(UseEntityReferences);
  const bool preserve8Bit = context_.Options.Contains(Preserve8BitCharacters);
  WideString out;
  out.reserve(Text.size());
  for (size_t i = 0; i < Text.size(); ++i) {
    size_t units = 1;
    const uint32_t code = CodePointAt(Text, i, units);
    const char16_t* name = code < 0x10000 ? EntityName(static_cast<WideChar>(code)) : nullptr;
    if (name && (entities || code == u'<' || code == u'>' || code == u'&' || code == 0xA0)) {
      out += u'&';
      out += name;
      out += u';';
    } else if (NeedsReference(code)) {
      // Read back as anything else when written as they are.
      AppendNumericReference(out, code);
    } else if (code < 128) {
      out += static_cast<char16_t>(code);
    } else if (preserve8Bit && units == 1 && IsAnsiRepresentable(static_cast<WideChar>(code))) {
      out += static_cast<char16_t>(code);
    } else {
      AppendNumericReference(out, code);
    }
    i += units - 1;
  }
  if (!out.empty() && out.back() == u'\r') out += u'\n';
  Text = std::move(out);
}

void TSourceFormatter::AddHeader(WideString& Text) {
  const WideString source = MSSource();
  size_t html = FindI(source, u"<html>");
  if (html == WideString::npos || html == 0) return;
  WideString header = source.substr(0, html);
  const WideString docType = kStandardDocType;
  size_t at = header.find(docType + u"\r\n");
  if (at != WideString::npos) {
    header.erase(at, docType.size() + 2);
  } else {
    at = header.find(docType);
    if (at != WideString::npos) header.erase(at, docType.size());
  }
  if (header.empty()) return;
  if (header.size() < 2 || header.compare(header.size() - 2, 2, u"\r\n") != 0) header += u"\r\n";
  Text = header + Text;
}

void TSourceFormatter::AdjustHead(WideString& Text) {
  const WideString source = MSSource();
  size_t open = FindI(source, u"<head>");
  size_t close = FindI(source, u"</head>");
  if (open == WideString::npos || close == WideString::npos || close < open) return;
  const WideString head = source.substr(open, close + 7 - open);

  size_t textOpen = FindI(Text, u"<head>");
  size_t textClose = FindI(Text, u"</head>");
  if (textOpen == WideString::npos || textClose == WideString::npos || textClose < textOpen) return;
  if (FindI(Text.substr(textOpen, textClose - textOpen), u"<script") != WideString::npos) return;

  WideString scripts;
  size_t from = 0;
  size_t endFrom = 0;
  while (true) {
    size_t start = FindI(head, u"<script", from);
    size_t end = FindI(head, u"</script>", endFrom);
    if (start == WideString::npos || end == WideString::npos) break;
    if (end > start) scripts += head.substr(start, end + 9 - start) + u"\r\n";
    from = start + 1;
    endFrom = end + 1;
  }
  if (!scripts.empty()) Text.insert(textClose, scripts);
}
