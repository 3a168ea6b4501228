// Inline styles, style sheets and the document's sheet collection.
#include <algorithm>
#include <string>

#include "platform/mshtml/DocumentInternal.h"

namespace mshtml {
namespace {

// A CSS property name in the sheet's form: "fontSize" and "FONT-SIZE" both give
// "font-size".
WideString CssName(const WideString& name) {
  bool hasLower = false, hasUpper = false, hasHyphen = false;
  for (char16_t c : name) {
    hasLower |= c >= u'a' && c <= u'z';
    hasUpper |= c >= u'A' && c <= u'Z';
    hasHyphen |= c == u'-';
  }
  if (!(hasLower && hasUpper) || hasHyphen) return LowerW(name);
  WideString out;
  for (char16_t c : name) {
    if (c >= u'A' && c <= u'Z') {
      out.push_back(u'-');
      out.push_back(LowerChar(c));
    } else {
      out.push_back(c);
    }
  }
  return out;
}

bool IsNameChar(char16_t c) {
  return (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9') || c == u'-' || c == u'_';
}

WideString TrimW(const WideString& s) {
  size_t b = 0, e = s.size();
  while (b < e && IsSpaceW(s[b])) ++b;
  while (e > b && IsSpaceW(s[e - 1])) --e;
  return s.substr(b, e - b);
}

// Walks CSS text keeping quoted strings, escapes, comments and brackets together.
// Split(text, stop) cuts the text at each stop character that stands outside them;
// comments are dropped.
std::vector<WideString> SplitCss(const WideString& text, char16_t stop) {
  std::vector<WideString> parts;
  WideString cur;
  char16_t quote = 0;
  int depth = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (c == u'\\' && i + 1 < text.size()) {
      cur.push_back(c);
      cur.push_back(text[++i]);
      continue;
    }
    if (quote) {
      cur.push_back(c);
      if (c == quote) quote = 0;
      continue;
    }
    if (c == u'/' && i + 1 < text.size() && text[i + 1] == u'*') {
      const size_t end = text.find(u"*/", i + 2);
      if (end == WideString::npos) break;
      i = end + 1;
      cur.push_back(u' ');
      continue;
    }
    if (c == u'"' || c == u'\'') {
      quote = c;
    } else if (c == u'(' || c == u'[') {
      ++depth;
    } else if ((c == u')' || c == u']') && depth > 0) {
      --depth;
    } else if (c == stop && depth == 0) {
      parts.push_back(std::move(cur));
      cur.clear();
      continue;
    }
    cur.push_back(c);
  }
  parts.push_back(std::move(cur));
  return parts;
}

// A value as the engine keeps it: blanks outside quotes collapsed, and anything left
// open (a quote, a bracket, a final backslash) closed, so that the written text reads
// back as the same value.
WideString CleanValue(const WideString& raw) {
  WideString out;
  std::vector<char16_t> open;
  char16_t quote = 0;
  for (size_t i = 0; i < raw.size(); ++i) {
    const char16_t c = raw[i];
    if (c == u'\\') {
      if (i + 1 < raw.size()) {
        out.push_back(c);
        out.push_back(raw[++i]);
      }
      continue;
    }
    if (quote) {
      if (c == u'\n' || c == u'\r' || c == u'\f') continue;
      out.push_back(c);
      if (c == quote) quote = 0;
      continue;
    }
    if (IsSpaceW(c)) {
      if (!out.empty() && out.back() != u' ') out.push_back(u' ');
      continue;
    }
    if (c == u'"' || c == u'\'') quote = c;
    if (c == u'(') open.push_back(u')');
    if (c == u'[') open.push_back(u']');
    if ((c == u')' || c == u']')) {
      if (open.empty() || open.back() != c) continue;
      open.pop_back();
    }
    if ((c == u'{' || c == u'}' || c == u';') && open.empty()) continue;
    out.push_back(c);
  }
  if (quote) out.push_back(quote);
  while (!open.empty()) {
    out.push_back(open.back());
    open.pop_back();
  }
  return TrimW(out);
}

WideString PixelText(Integer pixels) {
  const std::string digits = std::to_string(pixels) + "px";
  return WideString(digits.begin(), digits.end());
}

}  // namespace

// ---------------------------------------------------------------------------------
// Style

WideString Style::GetCssText() const {
  WideString out;
  for (const StyleDeclaration& d : declarations_) {
    if (!out.empty()) out += u"; ";
    out += UpperW(d.Name);
    out += u": ";
    out += d.Value;
  }
  return out;
}

void Style::SetCssText(const WideString& cssText) {
  declarations_.clear();
  for (const WideString& part : SplitCss(cssText, u';')) {
    const size_t colon = part.find(u':');
    if (colon == WideString::npos) continue;
    const WideString name = LowerW(TrimW(part.substr(0, colon)));
    if (name.empty() || !std::all_of(name.begin(), name.end(), IsNameChar)) continue;
    const WideString value = CleanValue(part.substr(colon + 1));
    if (value.empty()) continue;
    auto it = std::find_if(declarations_.begin(), declarations_.end(),
                           [&](const StyleDeclaration& d) { return d.Name == name; });
    if (it != declarations_.end())
      it->Value = value;
    else
      declarations_.push_back({name, value});
  }
  Changed();
}

WideString Style::GetPropertyValue(const WideString& name) const {
  const WideString css = CssName(name);
  for (const StyleDeclaration& d : declarations_)
    if (d.Name == css) return d.Value;
  return {};
}

void Style::SetPropertyValue(const WideString& name, const WideString& value) {
  const WideString css = CssName(name);
  if (css.empty() || !std::all_of(css.begin(), css.end(), IsNameChar))
    Fail(E_INVALIDARG, "not a style property name");
  const WideString clean = CleanValue(value);
  if (clean.empty()) {
    RemoveProperty(css);
    return;
  }
  for (StyleDeclaration& d : declarations_)
    if (d.Name == css) {
      d.Value = clean;
      Changed();
      return;
    }
  declarations_.push_back({css, clean});
  Changed();
}

bool Style::RemoveProperty(const WideString& name) {
  const WideString css = CssName(name);
  for (auto it = declarations_.begin(); it != declarations_.end(); ++it)
    if (it->Name == css) {
      declarations_.erase(it);
      Changed();
      return true;
    }
  return false;
}

void Style::SetWidth(Integer pixels) { SetWidth(PixelText(pixels)); }
void Style::SetHeight(Integer pixels) { SetHeight(PixelText(pixels)); }
void Style::SetTextIndent(Integer pixels) { SetTextIndent(PixelText(pixels)); }
void Style::SetMarginLeft(Integer pixels) { SetMarginLeft(PixelText(pixels)); }
void Style::SetMarginRight(Integer pixels) { SetMarginRight(PixelText(pixels)); }

// ---------------------------------------------------------------------------------
// StyleSheet

namespace {

WideString ContentText(const Element* e) {
  WideString text;
  for (const Node* n : e->GetChildNodes())
    if (n->GetNodeType() == NODE_TEXT) text += static_cast<const TextNode*>(n)->GetData();
  return text;
}

bool IsStyleOwner(const Element* e) { return e->IsHtml() && e->GetTagId() == TAGID_STYLE; }

// Selectors of a list, blanks collapsed; empty ones dropped.
std::vector<WideString> SplitSelectors(const WideString& list) {
  std::vector<WideString> out;
  for (const WideString& part : SplitCss(list, u',')) {
    WideString s = CleanValue(part);
    if (!s.empty()) out.push_back(std::move(s));
  }
  return out;
}

}  // namespace

WideString StyleSheet::GetHref() const {
  if (!owner_ || IsStyleOwner(owner_)) return {};
  const Attribute* a = owner_->FindAttribute(u"href");
  return a ? a->Value : WideString();
}

void StyleSheet::Refresh() {
  if (!owner_ || !IsStyleOwner(owner_)) {
    parsed_ = true;
    return;
  }
  const WideString text = ContentText(owner_);
  if (!parsed_ || text != parsedFrom_) {
    Parse(text);
    parsedFrom_ = text;
    parsed_ = true;
  }
}

void StyleSheet::Parse(const WideString& text) {
  rules_.clear();
  atRules_.clear();
  size_t i = 0;
  const size_t n = text.size();
  // Reads from i to the end of a block whose "{" is at i, keeping quotes; answers
  // the position after the matching "}" (the end when it is missing).
  auto skipBlock = [&](size_t at) {
    int depth = 0;
    char16_t quote = 0;
    for (size_t k = at; k < n; ++k) {
      const char16_t c = text[k];
      if (c == u'\\') {
        ++k;
        continue;
      }
      if (quote) {
        if (c == quote) quote = 0;
        continue;
      }
      if (c == u'"' || c == u'\'') quote = c;
      if (c == u'{') ++depth;
      if (c == u'}' && --depth == 0) return k + 1;
    }
    return n;
  };
  while (i < n) {
    while (i < n && IsSpaceW(text[i])) ++i;
    if (i >= n) break;
    if (text[i] == u'/' && i + 1 < n && text[i + 1] == u'*') {
      const size_t end = text.find(u"*/", i + 2);
      i = end == WideString::npos ? n : end + 2;
      continue;
    }
    if (text[i] == u'}' || text[i] == u';') {
      ++i;
      continue;
    }
    // Up to the "{" (or, for an at-rule, a ";") outside quotes.
    size_t k = i;
    char16_t quote = 0;
    while (k < n) {
      const char16_t c = text[k];
      if (c == u'\\') {
        k += 2;
        continue;
      }
      if (quote) {
        if (c == quote) quote = 0;
      } else if (c == u'"' || c == u'\'') {
        quote = c;
      } else if (c == u'{' || (c == u';' && text[i] == u'@')) {
        break;
      }
      ++k;
    }
    if (k > n) k = n;
    if (text[i] == u'@') {
      size_t end = k;
      if (k < n && text[k] == u'{')
        end = skipBlock(k);
      else if (k < n)
        end = k + 1;
      WideString rule = TrimW(text.substr(i, end - i));
      // Close what the text left open, so the rule cannot swallow what follows it.
      if (quote) rule.push_back(quote);
      if (k < n && text[k] == u'{') {
        int depth = 0;
        for (char16_t c : rule) depth += c == u'{' ? 1 : c == u'}' ? -1 : 0;
        while (depth-- > 0) rule.push_back(u'}');
      } else if (rule.empty() || rule.back() != u';') {
        rule.push_back(u';');
      }
      atRules_.push_back({static_cast<Integer>(rules_.size()), rule});
      i = end;
      continue;
    }
    if (k >= n) break;  // a selector without a block
    const size_t end = skipBlock(k);
    const size_t close = end > k && end <= n && text[end - 1] == u'}' ? end - 1 : end;
    const WideString body = text.substr(k + 1, close > k + 1 ? close - k - 1 : 0);
    for (const WideString& selector : SplitSelectors(text.substr(i, k - i))) rules_.emplace_back(selector, body);
    i = end;
  }
}

WideString StyleSheet::GetCssText() {
  Refresh();
  WideString out;
  size_t at = 0;
  for (size_t r = 0; r <= rules_.size(); ++r) {
    while (at < atRules_.size() && atRules_[at].Before == static_cast<Integer>(r)) {
      out += atRules_[at++].Text;
      out += u"\r\n";
    }
    if (r == rules_.size()) break;
    out += rules_[r].GetSelectorText();
    out += u" {";
    const WideString decls = rules_[r].GetStyle().GetCssText();
    if (!decls.empty()) out += u" " + decls + u" ";
    out += u"}\r\n";
  }
  return out;
}

void StyleSheet::SetCssText(const WideString& cssText) {
  Parse(cssText);
  parsed_ = true;
  WriteBack();
}

const std::vector<StyleRule>& StyleSheet::GetRules() {
  Refresh();
  return rules_;
}

Integer StyleSheet::AddRule(const WideString& selector, const WideString& declarations, Integer index) {
  Refresh();
  const std::vector<WideString> selectors = SplitSelectors(selector);
  if (selectors.empty()) Fail(E_INVALIDARG, "a rule needs a selector");
  Integer at = index < 0 || index > static_cast<Integer>(rules_.size()) ? static_cast<Integer>(rules_.size()) : index;
  const Integer first = at;
  for (const WideString& s : selectors) {
    rules_.emplace(rules_.begin() + at, s, declarations);
    for (AtRule& a : atRules_)
      if (a.Before > at) ++a.Before;
    ++at;
  }
  WriteBack();
  return first;
}

void StyleSheet::RemoveRule(Integer index) {
  Refresh();
  if (index < 0 || index >= static_cast<Integer>(rules_.size())) Fail(E_INVALIDARG, "no rule at that index");
  rules_.erase(rules_.begin() + index);
  for (AtRule& a : atRules_)
    if (a.Before > index) --a.Before;
  WriteBack();
}

void StyleSheet::WriteBack() {
  if (!owner_ || !IsStyleOwner(owner_)) return;
  const WideString text = GetCssText();
  owner_->SetInnerText(text);
  parsedFrom_ = text;
}

// ---------------------------------------------------------------------------------
// Sheets of the document

namespace {

bool IsSheetOwner(const Element* e) {
  if (!e->IsHtml()) return false;
  if (e->GetTagId() == TAGID_STYLE) return true;
  if (e->GetTagId() != TAGID_LINK) return false;
  const Attribute* rel = e->FindAttribute(u"rel");
  return rel && LowerW(rel->Value).find(u"stylesheet") != WideString::npos;
}

}  // namespace

StyleSheet* Element::GetStyleSheet() {
  if (!IsSheetOwner(this)) return nullptr;
  if (!sheet_) sheet_ = std::make_unique<StyleSheet>(this);
  return sheet_.get();
}

std::vector<StyleSheet*> Document::GetStyleSheets() const {
  std::vector<StyleSheet*> sheets;
  for (Element* e : CollectElements(this, IsSheetOwner)) sheets.push_back(e->GetStyleSheet());
  return sheets;
}

StyleSheet* Document::CreateStyleSheet(const WideString& href, Integer index) {
  const std::vector<StyleSheet*> sheets = GetStyleSheets();
  Element* e;
  if (href.empty()) {
    e = CreateElement(u"STYLE");
    e->SetAttribute(u"type", u"text/css");
  } else {
    e = CreateElement(u"LINK");
    e->SetAttribute(u"rel", u"stylesheet");
    e->SetAttribute(u"type", u"text/css");
    e->SetAttribute(u"href", href);
  }
  if (index >= 0 && index < static_cast<Integer>(sheets.size())) {
    Element* before = sheets[static_cast<size_t>(index)]->GetOwningElement();
    before->GetParentNode()->InsertBefore(e, before);
  } else if (!sheets.empty()) {
    Element* last = sheets.back()->GetOwningElement();
    last->GetParentNode()->InsertBefore(e, last->GetNextSibling());
  } else {
    Element* head = GetHead();
    if (!head) Fail(E_FAIL, "the document has no head");
    head->AppendChild(e);
  }
  return e->GetStyleSheet();
}

}  // namespace mshtml
