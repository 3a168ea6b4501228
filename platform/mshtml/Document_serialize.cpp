// The engine's serialization (innerHTML, outerHTML, the document's HTML) and the text
// a reader sees (innerText, outerText). Both walk the tree without recursion.
#include <string>

#include "platform/mshtml/CharacterReferences.h"
#include "platform/mshtml/DocumentInternal.h"

namespace mshtml {

bool NeedsCharacterReference(uint32_t code) {
  return code == 0x0D || (code >= 0x01 && code <= 0x08) || code == 0x0B || (code >= 0x0E && code <= 0x1F) ||
         (code >= 0x7F && code <= 0x9F) || (code >= 0xFDD0 && code <= 0xFDEF) || (code & 0xFFFE) == 0xFFFE;
}

void AppendNumericReference(WideString& out, uint32_t code) {
  const std::string digits = std::to_string(code);
  out += u"&#";
  out.append(digits.begin(), digits.end());
  out += u';';
}

uint32_t CodePointAt(const WideString& text, size_t i, size_t& units) {
  const uint32_t c = text[i];
  units = 1;
  if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
    units = 2;
    return 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
  }
  return c;
}

namespace {

bool IsPlainToken(const WideString& value) {
  if (value.empty()) return false;
  for (char16_t c : value) {
    const bool ok = (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') ||
                    c == u'-' || c == u'.' || c == u'_' || c == u'#';
    if (!ok) return false;
  }
  return true;
}

bool IsBooleanName(const WideString& lower) {
  static const char16_t* const kNames[] = {u"checked",  u"compact", u"declare",  u"defer",
                                           u"disabled", u"ismap",   u"multiple", u"noresize",
                                           u"noshade",  u"nowrap",  u"readonly", u"selected"};
  for (const char16_t* n : kNames)
    if (lower == n) return true;
  return false;
}

// Writes a reference for the character at text[i] when it needs one (moving i past a
// surrogate pair) and answers whether it did.
bool AppendReference(WideString& out, const WideString& text, size_t& i) {
  size_t units = 1;
  const uint32_t cp = CodePointAt(text, i, units);
  if (!NeedsCharacterReference(cp)) return false;
  AppendNumericReference(out, cp);
  i += units - 1;
  return true;
}

void AppendEscapedText(WideString& out, const WideString& text) {
  for (size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (AppendReference(out, text, i)) continue;
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
      case 0xA0:
        out += u"&nbsp;";
        break;
      default:
        out.push_back(c);
    }
  }
}

void AppendAttribute(WideString& out, const WideString& name, const WideString& value) {
  out.push_back(u' ');
  out += name;
  const WideString lower = LowerW(name);
  if (IsBooleanName(lower) && (value.empty() || SameTextW(value, lower))) return;
  out.push_back(u'=');
  if (IsPlainToken(value)) {
    out += value;
    return;
  }
  out.push_back(u'"');
  for (size_t i = 0; i < value.size(); ++i) {
    const char16_t c = value[i];
    if (AppendReference(out, value, i)) continue;
    switch (c) {
      case u'&':
        out += u"&amp;";
        break;
      case u'"':
        out += u"&quot;";
        break;
      case 0xA0:
        out += u"&nbsp;";
        break;
      default:
        out.push_back(c);
    }
  }
  out.push_back(u'"');
}

bool EndsWithLineBreak(const WideString& out) { return out.empty() || out.back() == u'\n'; }

class Serializer {
 public:
  WideString Run(const Node* root, bool includeRoot) {
    WalkTreeInOut(
        root,
        [&](const Node* n) {
          if (stopped_) return false;
          if (n == root && !includeRoot) {
            if (n->GetNodeType() == NODE_ELEMENT) EnterContext(static_cast<const Element*>(n));
            return true;
          }
          return Enter(n);
        },
        [&](const Node* n) {
          if (stopped_) return;
          if (n == root && !includeRoot) return;
          if (n->GetNodeType() == NODE_ELEMENT) Leave(static_cast<const Element*>(n));
        });
    return std::move(out_);
  }

 private:
  // Context of an element whose content alone is written.
  void EnterContext(const Element* e) {
    if (IsPreservingElement(e)) ++preserve_;
    if (IsRawTextElement(e)) ++raw_;
    if (e->GetTagId() == TAGID_PLAINTEXT && e->IsHtml()) plaintext_ = true;
  }

  bool Enter(const Node* n) {
    switch (n->GetNodeType()) {
      case NODE_TEXT: {
        const WideString& data = static_cast<const TextNode*>(n)->GetData();
        if (raw_ > 0)
          out_ += data;
        else
          AppendEscapedText(out_, data);
        return false;
      }
      case NODE_COMMENT:
        if (raw_ > 0) return false;
        out_ += u"<!--";
        out_ += static_cast<const CommentNode*>(n)->GetData();
        out_ += u"-->";
        return false;
      case NODE_ELEMENT:
        return EnterElement(static_cast<const Element*>(n));
      default:
        return n->GetNodeType() == NODE_DOCUMENT;
    }
  }

  bool EnterElement(const Element* e) {
    // Inside PLAINTEXT everything is text: only texts are written.
    if (plaintext_) return true;
    const WideString& name = e->GetTagName();
    if (name.starts_with(u"/")) {
      out_ += u"<" + name + u">";
      return false;
    }
    if (preserve_ == 0 && IsBlockElement(e) && !EndsWithLineBreak(out_)) out_ += u"\r\n";
    out_ += u"<";
    out_ += name;
    for (const Attribute& a : e->GetAttributes()) {
      if (SameTextW(a.Name, u"style")) {
        const WideString css = Style(a.Value).GetCssText();
        if (!css.empty()) AppendAttribute(out_, a.Name, css);
        continue;
      }
      AppendAttribute(out_, a.Name, a.Value);
    }
    out_ += u">";
    if (e->IsEmptyElement()) return false;
    if (e->IsHtml() && e->GetTagId() == TAGID_P && e->GetChildNodes().empty()) {
      out_ += u"&nbsp;</P>";
      return false;
    }
    EnterContext(e);
    // The parser drops one line feed right after these start tags.
    const ELEMENT_TAG_ID id = e->GetTagId();
    if (e->IsHtml() && (id == TAGID_PRE || id == TAGID_LISTING || id == TAGID_TEXTAREA)) {
      const Node* first = e->GetFirstChild();
      if (first && first->GetNodeType() == NODE_TEXT) {
        const WideString& data = static_cast<const TextNode*>(first)->GetData();
        if (!data.empty() && data[0] == u'\n') out_ += u"\n";
      }
    }
    return true;
  }

  void Leave(const Element* e) {
    if (plaintext_) {
      // Nothing after PLAINTEXT can be written: the parser would read it as text.
      if (e->GetTagId() == TAGID_PLAINTEXT && e->IsHtml()) stopped_ = true;
      return;
    }
    if (IsPreservingElement(e)) --preserve_;
    if (IsRawTextElement(e)) --raw_;
    out_ += u"</";
    const WideString& name = e->GetTagName();
    if (e->IsHtml()) {
      out_ += name;
    } else {
      // Inside SVG and MathML the parser closes an element by the name its start tag
      // has up to the first blank, where a vertical tab (which does not end a tag
      // name) counts as one: "<b\v>" is closed by "</b>", never by "</b\v>".
      size_t end = 0;
      while (end < name.size() && !IsCBlank(name[end])) ++end;
      out_.append(name, 0, end);
    }
    out_ += u">";
  }

  // What the C library's isspace takes for a blank.
  static bool IsCBlank(char16_t c) { return c == u' ' || (c >= u'\t' && c <= u'\r'); }

  WideString out_;
  int preserve_ = 0;
  int raw_ = 0;
  bool plaintext_ = false;
  bool stopped_ = false;
};

}  // namespace

WideString Serialize(const Node* node, bool includeNode) {
  if (!node) return {};
  return Serializer().Run(node, includeNode);
}

WideString Element::GetInnerHTML() const { return Serialize(this, false); }
WideString Element::GetOuterHTML() const { return Serialize(this, true); }

WideString Document::GetHTML() const {
  WideString out = kStandardDocType;
  out += u"\r\n";
  out += Serialize(this, false);
  return out;
}

// ---------------------------------------------------------------------------------
// Text

namespace {

class TextReader {
 public:
  WideString Run(const Element* root) {
    if (IsHiddenTextElement(root) || IsRawTextElement(root)) {
      // Asked of a SCRIPT, STYLE, TITLE...: its text as it is.
      WalkTree(root, [&](const Node* n) {
        if (n->GetNodeType() == NODE_TEXT) out_ += static_cast<const TextNode*>(n)->GetData();
        return true;
      });
      return std::move(out_);
    }
    WalkTreeInOut(
        root,
        [&](const Node* n) {
          if (n->GetNodeType() == NODE_TEXT) {
            AddText(static_cast<const TextNode*>(n)->GetData());
            return false;
          }
          if (n->GetNodeType() != NODE_ELEMENT) return false;
          const auto* e = static_cast<const Element*>(n);
          if (n != root) {
            if (IsHiddenTextElement(e)) return false;
            if ((e->GetTagId() == TAGID_BR && e->IsHtml()) || e->GetTagName() == u"/BR") {
              out_ += u"\r\n";
              pendingBreak_ = false;
              return false;
            }
            if (IsBlockElement(e)) pendingBreak_ = true;
            if (IsReplacedElement(e)) return false;
          }
          if (IsPreservingElement(e)) ++preserve_;
          return true;
        },
        [&](const Node* n) {
          if (n->GetNodeType() != NODE_ELEMENT) return;
          const auto* e = static_cast<const Element*>(n);
          if (IsPreservingElement(e)) --preserve_;
          if (n != root && IsBlockElement(e)) pendingBreak_ = true;
        });
    return std::move(out_);
  }

 private:
  bool AtLineStart() const { return out_.empty() || out_.back() == u'\n'; }

  void AddText(const WideString& data) {
    WideString text;
    if (preserve_ > 0) {
      for (size_t i = 0; i < data.size(); ++i) {
        if (data[i] == u'\r' && i + 1 < data.size() && data[i + 1] == u'\n') continue;
        if (data[i] == u'\n' || data[i] == u'\r')
          text += u"\r\n";
        else
          text.push_back(data[i]);
      }
    } else {
      for (char16_t c : data) {
        if (IsSpaceW(c)) {
          if (text.empty() || text.back() != u' ') text.push_back(u' ');
        } else {
          text.push_back(c);
        }
      }
      const bool lineStart = AtLineStart() || pendingBreak_;
      if (!text.empty() && text.front() == u' ' && (lineStart || out_.back() == u' ')) text.erase(0, 1);
    }
    if (text.empty()) return;
    if (pendingBreak_ && !AtLineStart()) {
      if (!out_.empty() && out_.back() == u' ') out_.pop_back();
      out_ += u"\r\n";
    }
    pendingBreak_ = false;
    out_ += text;
  }

  WideString out_;
  int preserve_ = 0;
  bool pendingBreak_ = false;
};

}  // namespace

WideString Element::GetInnerText() const { return TextReader().Run(this); }

}  // namespace mshtml
