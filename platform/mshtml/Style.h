// Inline styles and style sheets of the HTML editing engine's document model.
//
// A declaration list reads CSS text ("font-size:12px; color: red") and gives it back
// in the engine's form: property names in upper case, "NAME: value" pairs joined by
// "; ", no final semicolon ("FONT-SIZE: 12px; COLOR: red"). A sheet holds rules
// (selector + declarations) and, kept verbatim, the at-rules it cannot take apart.
// The parsers walk the text once, keep quotes and brackets together and never fail:
// what is not a declaration or a rule is dropped.
#pragma once

#include <functional>
#include <vector>

#include "platform/rtl/Types.h"

namespace mshtml {

class Element;

struct StyleDeclaration {
  WideString Name;   // lower case
  WideString Value;  // as written, blanks collapsed, "!important" kept
};

class Style {
 public:
  Style() = default;
  explicit Style(const WideString& cssText) { SetCssText(cssText); }

  WideString GetCssText() const;
  void SetCssText(const WideString& cssText);
  const std::vector<StyleDeclaration>& GetDeclarations() const noexcept { return declarations_; }

  // A property by its CSS name ("font-size") or its script name ("fontSize"),
  // letter case ignored; empty when not set.
  WideString GetPropertyValue(const WideString& name) const;
  // An empty value removes the property; a new one is added at the end.
  void SetPropertyValue(const WideString& name, const WideString& value);
  // True when the property was set.
  bool RemoveProperty(const WideString& name);

  // The named properties the control uses. Lengths read as written ("120px");
  // the integer setters write pixels ("12px").
  WideString GetWidth() const { return GetPropertyValue(u"width"); }
  void SetWidth(const WideString& value) { SetPropertyValue(u"width", value); }
  void SetWidth(Integer pixels);
  WideString GetHeight() const { return GetPropertyValue(u"height"); }
  void SetHeight(const WideString& value) { SetPropertyValue(u"height", value); }
  void SetHeight(Integer pixels);
  WideString GetTextIndent() const { return GetPropertyValue(u"text-indent"); }
  void SetTextIndent(const WideString& value) { SetPropertyValue(u"text-indent", value); }
  void SetTextIndent(Integer pixels);
  WideString GetMarginLeft() const { return GetPropertyValue(u"margin-left"); }
  void SetMarginLeft(const WideString& value) { SetPropertyValue(u"margin-left", value); }
  void SetMarginLeft(Integer pixels);
  WideString GetMarginRight() const { return GetPropertyValue(u"margin-right"); }
  void SetMarginRight(const WideString& value) { SetPropertyValue(u"margin-right", value); }
  void SetMarginRight(Integer pixels);
  WideString GetFontSize() const { return GetPropertyValue(u"font-size"); }
  WideString GetFontFamily() const { return GetPropertyValue(u"font-family"); }
  WideString GetColor() const { return GetPropertyValue(u"color"); }
  WideString GetBackgroundColor() const { return GetPropertyValue(u"background-color"); }
  WideString GetDisplay() const { return GetPropertyValue(u"display"); }

  // Called after every change (the element writes its "style" attribute).
  std::function<void()> OnChange;

 private:
  void Changed() {
    if (OnChange) OnChange();
  }
  std::vector<StyleDeclaration> declarations_;
};

class StyleRule {
 public:
  StyleRule(WideString selector, const WideString& declarations)
      : selectorText_(std::move(selector)), style_(declarations) {}
  const WideString& GetSelectorText() const noexcept { return selectorText_; }
  const Style& GetStyle() const noexcept { return style_; }
  Style& GetStyle() noexcept { return style_; }

 private:
  WideString selectorText_;
  Style style_;
};

// A sheet of a STYLE element (its text is the element's content) or of a LINK (no
// rules: the engine never fetches the address).
class StyleSheet {
 public:
  explicit StyleSheet(Element* owner) : owner_(owner) {}

  Element* GetOwningElement() const noexcept { return owner_; }
  // The LINK's address; empty for a STYLE sheet.
  WideString GetHref() const;
  // Rules as "selector {DECLARATIONS}" (engine form of the declarations), at-rules
  // as written, each followed by "\r\n".
  WideString GetCssText();
  // Replaces the rules; the STYLE element's content becomes the new text.
  void SetCssText(const WideString& cssText);
  // Rules in order (a selector list "a, b" makes one rule per selector).
  const std::vector<StyleRule>& GetRules();
  // Adds a rule for each selector of the list before rule index (-1 or past the
  // end: at the end); answers the index of the first added rule. An empty selector
  // fails with E_INVALIDARG.
  Integer AddRule(const WideString& selector, const WideString& declarations, Integer index = -1);
  void RemoveRule(Integer index);

 private:
  // An at-rule kept as written, standing before rule Before.
  struct AtRule {
    Integer Before;
    WideString Text;
  };
  void Refresh();
  void Parse(const WideString& text);
  void WriteBack();

  Element* owner_;
  std::vector<StyleRule> rules_;
  std::vector<AtRule> atRules_;
  WideString parsedFrom_;
  bool parsed_ = false;
};

}  // namespace mshtml
