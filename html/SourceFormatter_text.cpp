// The source formatter's character tables and text repairs: the entity names, the
// escaping of text and attribute values, and the preserved path's repairs of the
// engine's HTML.
#include <array>
#include <iterator>
#include <string>

#include "html/HtmlUtils.h"
#include "html/SourceFormatter.h"
#include "html/SourceFormatterInternal.h"

namespace {

struct Entity {
  char16_t Code;
  const char16_t* Name;
};

// The 252 character entity references of HTML 4.01, by code.
constexpr Entity kEntities[] = {
    {34, u"quot"}, {38, u"amp"}, {60, u"lt"}, {62, u"gt"}, {160, u"nbsp"}, {161, u"iexcl"}, {162, u"cent"},
    {163, u"pound"}, {164, u"curren"}, {165, u"yen"}, {166, u"brvbar"}, {167, u"sect"}, {168, u"uml"},
    {169, u"copy"}, {170, u"ordf"}, {171, u"laquo"}, {172, u"not"}, {173, u"shy"}, {174, u"reg"},
    {175, u"macr"}, {176, u"deg"}, {177, u"plusmn"}, {178, u"sup2"}, {179, u"sup3"}, {180, u"acute"},
    {181, u"micro"}, {182, u"para"}, {183, u"middot"}, {184, u"cedil"}, {185, u"sup1"}, {186, u"ordm"},
    {187, u"raquo"}, {188, u"frac14"}, {189, u"frac12"}, {190, u"frac34"}, {191, u"iquest"},
    {192, u"Agrave"}, {193, u"Aacute"}, {194, u"Acirc"}, {195, u"Atilde"}, {196, u"Auml"}, {197, u"Aring"},
    {198, u"AElig"}, {199, u"Ccedil"}, {200, u"Egrave"}, {201, u"Eacute"}, {202, u"Ecirc"}, {203, u"Euml"},
    {204, u"Igrave"}, {205, u"Iacute"}, {206, u"Icirc"}, {207, u"Iuml"}, {208, u"ETH"}, {209, u"Ntilde"},
    {210, u"Ograve"}, {211, u"Oacute"}, {212, u"Ocirc"}, {213, u"Otilde"}, {214, u"Ouml"}, {215, u"times"},
    {216, u"Oslash"}, {217, u"Ugrave"}, {218, u"Uacute"}, {219, u"Ucirc"}, {220, u"Uuml"}, {221, u"Yacute"},
    {222, u"THORN"}, {223, u"szlig"}, {224, u"agrave"}, {225, u"aacute"}, {226, u"acirc"}, {227, u"atilde"},
    {228, u"auml"}, {229, u"aring"}, {230, u"aelig"}, {231, u"ccedil"}, {232, u"egrave"}, {233, u"eacute"},
    {234, u"ecirc"}, {235, u"euml"}, {236, u"igrave"}, {237, u"iacute"}, {238, u"icirc"}, {239, u"iuml"},
    {240, u"eth"}, {241, u"ntilde"}, {242, u"ograve"}, {243, u"oacute"}, {244, u"ocirc"}, {245, u"otilde"},
    {246, u"ouml"}, {247, u"divide"}, {248, u"oslash"}, {249, u"ugrave"}, {250, u"uacute"}, {251, u"ucirc"},
    {252, u"uuml"}, {253, u"yacute"}, {254, u"thorn"}, {255, u"yuml"}, {338, u"OElig"}, {339, u"oelig"},
    {352, u"Scaron"}, {353, u"scaron"}, {376, u"Yuml"}, {402, u"fnof"}, {710, u"circ"}, {732, u"tilde"},
    {913, u"Alpha"}, {914, u"Beta"}, {915, u"Gamma"}, {916, u"Delta"}, {917, u"Epsilon"}, {918, u"Zeta"},
    {919, u"Eta"}, {920, u"Theta"}, {921, u"Iota"}, {922, u"Kappa"}, {923, u"Lambda"}, {924, u"Mu"},
    {925, u"Nu"}, {926, u"Xi"}, {927, u"Omicron"}, {928, u"Pi"}, {929, u"Rho"}, {931, u"Sigma"},
    {932, u"Tau"}, {933, u"Upsilon"}, {934, u"Phi"}, {935, u"Chi"}, {936, u"Psi"}, {937, u"Omega"},
    {945, u"alpha"}, {946, u"beta"}, {947, u"gamma"}, {948, u"delta"}, {949, u"epsilon"}, {950, u"zeta"},
    {951, u"eta"}, {952, u"theta"}, {953, u"iota"}, {954, u"kappa"}, {955, u"lambda"}, {956, u"mu"},
    {957, u"nu"}, {958, u"xi"}, {959, u"omicron"}, {960, u"pi"}, {961, u"rho"}, {962, u"sigmaf"},
    {963, u"sigma"}, {964, u"tau"}, {965, u"upsilon"}, {966, u"phi"}, {967, u"chi"}, {968, u"psi"},
    {969, u"omega"}, {977, u"thetasym"}, {978, u"upsih"}, {982, u"piv"}, {8194, u"ensp"}, {8195, u"emsp"},
    {8201, u"thinsp"}, {8204, u"zwnj"}, {8205, u"zwj"}, {8206, u"lrm"}, {8207, u"rlm"}, {8211, u"ndash"},
    {8212, u"mdash"}, {8216, u"lsquo"}, {8217, u"rsquo"}, {8218, u"sbquo"}, {8220, u"ldquo"},
    {8221, u"rdquo"}, {8222, u"bdquo"}, {8224, u"dagger"}, {8225, u"Dagger"}, {8226, u"bull"},
    {8230, u"hellip"}, {8240, u"permil"}, {8242, u"prime"}, {8243, u"Prime"}, {8249, u"lsaquo"},
    {8250, u"rsaquo"}, {8254, u"oline"}, {8260, u"frasl"}, {8364, u"euro"}, {8465, u"image"},
    {8472, u"weierp"}, {8476, u"real"}, {8482, u"trade"}, {8501, u"alefsym"}, {8592, u"larr"},
    {8593, u"uarr"}, {8594, u"rarr"}, {8595, u"darr"}, {8596, u"harr"}, {8629, u"crarr"}, {8656, u"lArr"},
    {8657, u"uArr"}, {8658, u"rArr"}, {8659, u"dArr"}, {8660, u"hArr"}, {8704, u"forall"}, {8706, u"part"},
    {8707, u"exist"}, {8709, u"empty"}, {8711, u"nabla"}, {8712, u"isin"}, {8713, u"notin"}, {8715, u"ni"},
    {8719, u"prod"}, {8721, u"sum"}, {8722, u"minus"}, {8727, u"lowast"}, {8730, u"radic"}, {8733, u"prop"},
    {8734, u"infin"}, {8736, u"ang"}, {8743, u"and"}, {8744, u"or"}, {8745, u"cap"}, {8746, u"cup"},
    {8747, u"int"}, {8756, u"there4"}, {8764, u"sim"}, {8773, u"cong"}, {8776, u"asymp"}, {8800, u"ne"},
    {8801, u"equiv"}, {8804, u"le"}, {8805, u"ge"}, {8834, u"sub"}, {8835, u"sup"}, {8836, u"nsub"},
    {8838, u"sube"}, {8839, u"supe"}, {8853, u"oplus"}, {8855, u"otimes"}, {8869, u"perp"}, {8901, u"sdot"},
    {8968, u"lceil"}, {8969, u"rceil"}, {8970, u"lfloor"}, {8971, u"rfloor"}, {9001, u"lang"},
    {9002, u"rang"}, {9674, u"loz"}, {9824, u"spades"}, {9827, u"clubs"}, {9829, u"hearts"},
    {9830, u"diams"},
};
static_assert(std::size(kEntities) == 252);

// A direct index from character code to entity name.
const std::array<const char16_t*, 65536>& EntityTable() {
  static const auto* table = [] {
    auto* t = new std::array<const char16_t*, 65536>();
    t->fill(nullptr);
    for (const Entity& e : kEntities) (*t)[e.Code] = e.Name;
    return t;
  }();
  return *table;
}

}  // namespace

const char16_t* EntityName(WideChar Code) { return EntityTable()[Code]; }

namespace source_formatter {

namespace {

Integer HexDigit(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return -1;
}

bool IsUnreserved(uint32_t c) {
  return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'-' ||
         c == u'.' || c == u'_' || c == u'~';
}

}  // namespace

WideString DecodePercentEscapes(const WideString& value) {
  if (value.find(u'%') == WideString::npos) return value;
  WideString out;
  out.reserve(value.size());
  for (size_t i = 0; i < value.size(); ++i) {
    if (value[i] == u'%' && i + 2 < value.size() && HexDigit(value[i + 1]) >= 0 && HexDigit(value[i + 2]) >= 0) {
      const auto code = static_cast<uint32_t>(HexDigit(value[i + 1]) * 16 + HexDigit(value[i + 2]));
      if (code == u' ' || IsUnreserved(code)) {
        out += static_cast<char16_t>(code);
        i += 2;
        continue;
      }
    }
    out += value[i];
  }
  return out;
}

bool ValueNeedsQuotes(const WideString& value) {
  if (value.empty()) return true;
  for (char16_t c : value) {
    switch (c) {
      case u' ':
      case u'\t':
      case u'\n':
      case u'\r':
      case u'\f':
      case u'"':
      case u'\'':
      case u'<':
      case u'>':
      case u'=':
      case u'`':
        return true;
      default:
        break;
    }
  }
  return false;
}

WideString EscapeAttributeValue(const WideString& value, bool quoted) {
  WideString out;
  out.reserve(value.size());
  for (size_t i = 0; i < value.size(); ++i) {
    size_t units = 1;
    const uint32_t code = CodePointAt(value, i, units);
    if (NeedsReference(code)) {
      AppendNumericReference(out, code);
    } else if (code == u'&') {
      out += u"&amp;";
    } else if (code == u'"' && quoted) {
      out += u"&quot;";
    } else {
      out.append(value, i, units);
    }
    i += units - 1;
  }
  return out;
}

WideString LowerStylePropertyNames(const WideString& cssText) {
  WideString out = cssText;
  bool inName = false;
  for (size_t i = out.size(); i-- > 0;) {
    char16_t& c = out[i];
    if (c == u'-') continue;
    if (c == u':') {
      inName = true;
    } else if (c >= u'A' && c <= u'Z') {
      if (inName) c = static_cast<char16_t>(c + 32);
    } else {
      inName = false;
    }
  }
  return out;
}

WideString CompleteCommentTerminator(const WideString& text) {
  static const WideString kTerminator = u" -->";
  WideString out = text;
  // A position in the text, from its last character leftwards; -1 is before the first.
  Integer position = static_cast<Integer>(out.size()) - 1;
  for (size_t k = kTerminator.size(); k-- > 0;) {
    const char16_t t = kTerminator[k];
    if (position >= 0 && out[static_cast<size_t>(position)] == t) {
      --position;
    } else {
      out.insert(static_cast<size_t>(position + 1), 1, t);
    }
  }
  return out;
}

WideString EscapePlainText(const WideString& text) {
  WideString out;
  for (char16_t c : text) {
    switch (c) {
      case u'&':
        out += u"&amp;";
        break;
      case u'<':
        out += u"&lt;";
        break;
      case u'>':
        out += u"&gt;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

}  // namespace source_formatter

// ---------------------------------------------------------------------------------
// The preserved path's repairs.

namespace {

// 0-based index of the first occurrence of sub in text at or after from, letter case
// ignored; npos when none.
size_t FindI(const WideString& text, const WideString& sub, size_t from = 0) {
  Integer at = WidePosExI(sub, text, static_cast<Integer>(from) + 1);
  return at > 0 ? static_cast<size_t>(at - 1) : WideString::npos;
}

size_t FindExact(const WideString& text, const WideString& sub, size_t from = 0) {
  return from > text.size() ? WideString::npos : text.find(sub, from);
}

}  // namespace

void AdjustPreservedHead(WideString& Text, const WideString& Title) {
  size_t open = FindI(Text, u"<title>");
  size_t close = FindI(Text, u"</title>");
  if (open == WideString::npos || close == WideString::npos) return;
  size_t start = open + 7;
  if (close < start) return;
  Text.replace(start, close - start, source_formatter::EscapePlainText(Title));
}

WideString AdjustPreservedOuterHTML(const WideString& Text) {
  WideString text = Text;
  for (const char16_t* name : {u" DESIGNTIMEURL=\"", u" DESIGNTIMESP=\""}) {
    const WideString attribute = name;
    size_t from = 0;
    while (true) {
      size_t at = FindI(text, attribute, from);
      if (at == WideString::npos) break;
      size_t close = FindExact(text, u"\"", at + attribute.size());
      if (close == WideString::npos) break;
      text.erase(at, close + 1 - at);
      from = at;
    }
  }
  return Trim(text);
}

void CheckAmpInLinks(WideString& Text) {
  static const WideString kHref = u"href=\"";
  size_t from = 0;
  while (true) {
    size_t at = FindI(Text, kHref, from);
    if (at == WideString::npos) return;
    size_t start = at + kHref.size();
    size_t close = FindExact(Text, u"\"", start);
    if (close == WideString::npos) return;
    WideString value = WideStringReplace(Text.substr(start, close - start), u"&amp;", u"&", true, false);
    Text.replace(start, close - start, value);
    from = start + value.size() + 1;
  }
}

void MovePreHTMLText(WideString& Target, const WideString& Source, bool TargetIsSource) {
  WideString copy = Source;
  // Without the document type declaration and the comments.
  size_t doctype = FindI(copy, u"<!DOCTYPE");
  if (doctype != WideString::npos) {
    size_t end = FindExact(copy, u">", doctype);
    if (end != WideString::npos) copy.erase(doctype, end + 1 - doctype);
  }
  while (true) {
    size_t open = FindExact(copy, u"<!--");
    size_t close = FindExact(copy, u"-->");
    if (open == WideString::npos || close == WideString::npos || close < open) break;
    copy.erase(open, close + 3 - open);
  }
  copy = TrimLeft(copy);
  size_t html = FindI(copy, u"<html>");
  if (html == WideString::npos || html == 0) return;
  const WideString prefix = copy.substr(0, html);

  size_t insertAt = FindI(Target, u"<body>");
  if (insertAt != WideString::npos) {
    insertAt += 6;
  } else {
    size_t body = FindI(Target, u"<body ");
    if (body == WideString::npos) return;
    size_t end = FindExact(Target, u">", body);
    if (end == WideString::npos) return;
    insertAt = end + 1;
  }
  Target.insert(insertAt, prefix);
  if (TargetIsSource) {
    size_t targetHtml = FindI(Target, u"<html>");
    // Only where the text stands right before the tag: what the source had there
    // besides it (a comment between them) stays.
    if (targetHtml != WideString::npos && targetHtml >= prefix.size() && targetHtml < insertAt &&
        Target.compare(targetHtml - prefix.size(), prefix.size(), prefix) == 0)
      Target.erase(targetHtml - prefix.size(), prefix.size());
  }
}

WideString PreservedBody(const WideString& HTML) {
  size_t start = FindI(HTML, u"<body>");
  if (start == WideString::npos) start = FindI(HTML, u"<body ");
  if (start != WideString::npos) {
    size_t end = FindI(HTML, u"</body>", start);
    if (end != WideString::npos) {
      WideString body = HTML.substr(start, end + 7 - start);
      MovePreHTMLText(body, HTML, false);
      return body;
    }
    WideString body = HTML.substr(start);
    size_t htmlEnd = FindI(body, u"</HTML>");
    if (htmlEnd != WideString::npos) body.erase(htmlEnd);
    return body;
  }
  WideString text = HTML;
  size_t html = FindI(text, u"<HTML>");
  if (html != WideString::npos) text.erase(0, html + 6);
  size_t htmlEnd = FindI(text, u"</HTML>");
  if (htmlEnd != WideString::npos) text.erase(htmlEnd);
  size_t headEnd = FindI(text, u"</HEAD>");
  if (headEnd != WideString::npos) text.erase(0, headEnd + 7);
  while (text.size() >= 2 && text[0] == u'\r' && text[1] == u'\n') text.erase(0, 2);
  return text;
}
