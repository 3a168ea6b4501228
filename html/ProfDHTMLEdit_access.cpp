// Access to the loaded document beyond the main road: the selected element and its
// attributes, the selection as HTML, the undo names, the lists of anchors, paragraph
// formats and style classes, the text size, the document colours and the background.
// Every operation asks GetDOM first; without a document getters answer their
// not-ready value and setters do nothing. Nothing here raises.
#include <vector>

#include "html/HtmlUtils.h"
#include "html/ProfDHTMLEdit.h"
#include "html/ProfDHTMLEditInternal.h"
#include "html/SourceFormatter.h"
#include "platform/mshtml/TextRange.h"
#include "platform/ole/OleVariant.h"
#include "platform/rtl/CodePage.h"
#include "platform/rtl/Registry.h"

using namespace mshtml;
using profdhtmledit::CommandStatus;
using profdhtmledit::ModelOf;
using profdhtmledit::RunCommand;

namespace {

// Where the user's choice of text size for pages is kept.
constexpr char kTextSizeKey[] = "\\Software\\Microsoft\\Internet Explorer\\International\\Scripts\\3";
constexpr char kTextSizeValue[] = "IEFontSize";

// The selected element: the common parent of a control selection, else the element
// that holds the text range. Null when there is none.
Element* SelectedElement(Document& document) {
  Selection* selection = document.GetSelection();
  if (selection->GetType() == u"Control") return selection->GetCommonParentElement();
  std::unique_ptr<TextRange> range = selection->CreateRange();
  return range ? range->GetParentElement() : nullptr;
}

// The command's name text (the engine's, localized), or empty.
WideString CommandName(const THtmlDocument& document, DWORD id) {
  auto target = document.As<IOleCommandTarget>();
  if (!target) return {};
  constexpr ULONG kChars = 256;
  // OLECMDTEXT ends in a one-character array; the buffer behind it holds the rest.
  std::vector<unsigned char> buffer(sizeof(OLECMDTEXT) + kChars * sizeof(OLECHAR));
  auto* text = new (buffer.data()) OLECMDTEXT;
  text->cmdtextf = OLECMDTEXTF_NAME;
  text->cwBuf = kChars;
  OLECMD command{id, 0};
  if (FAILED(target->QueryStatus(&CGID_MSHTML, 1, &command, text))) return {};
  const ULONG length = text->cwActual < kChars ? text->cwActual : kChars - 1;
  WideString name(text->rgwz, text->rgwz + length);
  const size_t end = name.find(u'\0');
  if (end != WideString::npos) name.resize(end);
  return name;
}

// The document colours: one property of the document each, read and written alike.
struct ColourProperty {
  WideString (Document::*Get)() const;
  void (Document::*Set)(const WideString&);
};
constexpr ColourProperty kBgColor{&Document::GetBgColor, &Document::SetBgColor};
constexpr ColourProperty kTextColor{&Document::GetFgColor, &Document::SetFgColor};
constexpr ColourProperty kLinkColor{&Document::GetLinkColor, &Document::SetLinkColor};
constexpr ColourProperty kVLinkColor{&Document::GetVLinkColor, &Document::SetVLinkColor};
constexpr ColourProperty kALinkColor{&Document::GetALinkColor, &Document::SetALinkColor};

// The colour as "#rrggbb" converts it; clNone when unset, unreadable or not ready.
TColor ReadColour(TCustomProfDHTMLEdit& control, const ColourProperty& property) {
  THtmlDocument document;
  if (!control.GetDOM(document) || !ModelOf(document)) return clNone;
  try {
    return HTMLColorToColor((ModelOf(document)->*property.Get)());
  } catch (...) {
    return clNone;
  }
}

// clNone and clDefault remove the colour; system colours are resolved first.
void WriteColour(TCustomProfDHTMLEdit& control, const ColourProperty& property, TColor colour) {
  THtmlDocument document;
  if (!control.GetDOM(document) || !ModelOf(document)) return;
  try {
    const WideString text = colour == clNone || colour == clDefault ? WideString() : ColorToHTMLColor(colour);
    (ModelOf(document)->*property.Set)(text);
  } catch (...) {
  }
}

}  // namespace

// --- The selected element -----------------------------------------------------------

WideString TCustomProfDHTMLEdit::GetObjectTag() {
  THtmlDocument document;
  if (!GetDOM(document) || !ModelOf(document)) return {};
  try {
    Element* element = SelectedElement(*ModelOf(document));
    if (!element) return {};
    if (FSourceCodeOptions.Contains(LowercaseElementNames) && !UseSourceCodePreservation())
      return WideLowerCase(element->GetTagName());
    return element->GetTagName();
  } catch (...) {
    return {};
  }
}

WideString TCustomProfDHTMLEdit::GetObjectHTML() {
  THtmlDocument document;
  if (!GetDOM(document) || !ModelOf(document)) return {};
  try {
    Element* element = SelectedElement(*ModelOf(document));
    if (!element) return {};
    if (UseSourceCodePreservation()) return AdjustPreservedOuterHTML(element->GetOuterHTML());
    TEmittedElements emitted;
    return TSourceFormatter(FormatContext()).ParseOuterHTML(element, 0, emitted);
  } catch (...) {
    return {};
  }
}

void TCustomProfDHTMLEdit::SetObjectHTML(const WideString& text) {
  THtmlDocument document;
  if (!GetDOM(document) || !ModelOf(document)) return;
  try {
    Element* element = SelectedElement(*ModelOf(document));
    if (!element) return;
    // The body and the table's structure are never replaced as a whole.
    for (const char16_t* tag : {u"BODY", u"TD", u"TH", u"TR"})
      if (WideSameText(element->GetTagName(), tag)) return;
    if (element->GetOuterHTML() != text) element->SetOuterHTML(text);
  } catch (...) {
  }
}

WideString TCustomProfDHTMLEdit::GetObjectID() {
  THtmlDocument document;
  if (!GetDOM(document) || !ModelOf(document)) return {};
  try {
    Element* element = SelectedElement(*ModelOf(document));
    return element ? element->GetId() : WideString();
  } catch (...) {
    return {};
  }
}

void TCustomProfDHTMLEdit::SetObjectID(const WideString& text) {
  THtmlDocument document;
  if (!GetDOM(document) || !ModelOf(document)) return;
  try {
    if (Element* element = SelectedElement(*ModelOf(document))) element->SetId(text);
  } catch (...) {
  }
}

WideString TCustomProfDHTMLEdit::GetObjectName() {
  THtmlDocument document;
  if (!GetDOM(document) || !ModelOf(document)) return {};
  try {
    Element* element = SelectedElement(*ModelOf(document));
    return element ? element->GetAttribute(u"name").value_or(WideString()) : WideString();
  } catch (...) {
    return {};
  }
}

void TCustomProfDHTMLEdit::SetObjectName(const WideString& text) {
  THtmlDocument document;
  if (!GetDOM(document) || !ModelOf(document)) return;
  try {
    if (Element* element = SelectedElement(*ModelOf(document))) element->SetAttribute(u"name", text);
  } catch (...) {
  }
}

WideString TCustomProfDHTMLEdit::GetObjectClass() {
  THtmlDocument document;
  if (!GetDOM(document) || !ModelOf(document)) return {};
  try {
    Element* element = SelectedElement(*ModelOf(document));
    return element ? element->GetClassName() : WideString();
  } catch (...) {
    return {};
  }
}

void TCustomProfDHTMLEdit::SetObjectClass(const WideString& text) {
  THtmlDocument document;
  if (!GetDOM(document) || !ModelOf(document)) return;
  try {
    Element* element = SelectedElement(*ModelOf(document));
    if (!element) return;
    if (text.empty())
      element->RemoveAttribute(u"className");
    else
      element->SetClassName(text);
  } catch (...) {
  }
}

WideString TCustomProfDHTMLEdit::GetObjectStyle() {
  THtmlDocument document;
  if (!GetDOM(document) || !ModelOf(document)) return {};
  try {
    Element* element = SelectedElement(*ModelOf(document));
    return element ? element->GetStyle()->GetCssText() : WideString();
  } catch (...) {
    return {};
  }
}

void TCustomProfDHTMLEdit::SetObjectStyle(const WideString& text) {
  THtmlDocument document;
  if (!GetDOM(document) || !ModelOf(document)) return;
  try {
    if (Element* element = SelectedElement(*ModelOf(document))) element->GetStyle()->SetCssText(text);
  } catch (...) {
  }
}

TPoint TCustomProfDHTMLEdit::GetObjectSize() {
  THtmlDocument document;
  if (!GetDOM(document) || !ModelOf(document)) return Point(-1, -1);
  try {
    Element* element = SelectedElement(*ModelOf(document));
    Layout* layout = document->GetLayout();
    if (!element || !layout) return Point(-1, -1);
    return Point(layout->GetClientWidth(element), layout->GetClientHeight(element));
  } catch (...) {
    return Point(-1, -1);
  }
}

// --- The selection as HTML ----------------------------------------------------------

WideString TCustomProfDHTMLEdit::GetSelHTML() {
  THtmlDocument document;
  if (!GetDOM(document) || !ModelOf(document)) return {};
  try {
    Document* doc = ModelOf(document);
    Selection* selection = doc->GetSelection();
    const WideString type = selection->GetType();
    if (type == u"None") return {};
    if (type == u"Control") return GetObjectHTML();
    std::unique_ptr<TextRange> range = selection->CreateRange();
    if (!range) return {};
    const WideString html = range->GetHtmlText();
    const bool preserved = UseSourceCodePreservation();
    if (html.find(u'<') == WideString::npos && html.find(u'>') == WideString::npos) {
      if (preserved) return html;
      WideString text = range->GetText();
      TSourceFormatter(FormatContext()).AdjustText(text);
      return text;
    }
    if (preserved) return AdjustPreservedOuterHTML(html);
    TSourceFormatter formatter(FormatContext());
    TEmittedElements emitted;
    Element* parent = range->GetParentElement();
    const WideString outer = parent ? parent->GetOuterHTML() : WideString();
    if (parent && html.compare(0, outer.size(), outer) == 0) return formatter.ParseOuterHTML(parent, 0, emitted);
    // The fragment alone: formatted inside a span of its own, whose tags are cut off.
    Element* span = doc->CreateElement(u"span");
    span->SetInnerHTML(html);
    WideString result = formatter.ParseOuterHTML(span, 0, emitted);
    if (WideSameText(result.substr(0, 10), u"<span>\r\n  "))
      result.erase(0, 10);
    else if (WideSameText(result.substr(0, 6), u"<span>"))
      result.erase(0, 6);
    const auto endsWith = [&result](const WideString& tail) {
      return result.size() >= tail.size() && WideSameText(result.substr(result.size() - tail.size()), tail);
    };
    if (endsWith(u"\r\n</span>"))
      result.resize(result.size() - 9);
    else if (endsWith(u"</span>"))
      result.resize(result.size() - 7);
    return result;
  } catch (...) {
    return {};
  }
}

bool TCustomProfDHTMLEdit::CanInsertHTML() { return !RuntimeBrowseMode() && CanGetDOM(); }

// --- Undo names ---------------------------------------------------------------------

WideString TCustomProfDHTMLEdit::UndoHint() {
  THtmlDocument document;
  if (!GetDOM(document)) return {};
  return CommandName(document, IDM_UNDO);
}

WideString TCustomProfDHTMLEdit::RedoHint() {
  THtmlDocument document;
  if (!GetDOM(document)) return {};
  return CommandName(document, IDM_REDO);
}

// --- Plain text ---------------------------------------------------------------------

void TCustomProfDHTMLEdit::SetPlainText(const WideString& text) {
  THtmlDocument document;
  if (!GetDOM(document) || !ModelOf(document)) return;
  try {
    std::unique_ptr<TextRange> range = ModelOf(document)->CreateTextRange();
    if (range->GetText() != text) range->SetText(text);
  } catch (...) {
  }
}

// --- Lists --------------------------------------------------------------------------

bool TCustomProfDHTMLEdit::GetAnchors(TStrings* list) {
  if (!list) return false;
  THtmlDocument document;
  if (!GetDOM(document) || !ModelOf(document)) return false;
  list->Clear();
  try {
    for (Element* anchor : ModelOf(document)->GetAnchors()) {
      WideString item = anchor->GetAttribute(u"href").value_or(WideString());
      if (item.empty()) item = anchor->GetAttribute(u"name").value_or(WideString());
      list->Add(WideToAnsi(item));
    }
  } catch (...) {
  }
  return list->GetCount() > 0;
}

bool TCustomProfDHTMLEdit::GetParagraphStyles(TStrings* list) {
  if (!list) return false;
  list->Clear();
  THtmlDocument document;
  if (!GetDOM(document)) return false;
  OleVariant names;
  if (!RunCommand(document, IDM_GETBLOCKFMTS, nullptr, &names)) return false;
  if ((names.vt & VT_ARRAY) == 0 || names.parray == nullptr) return false;
  LONG low = 0, high = -1;
  if (FAILED(SafeArrayGetLBound(names.parray, 1, &low)) || FAILED(SafeArrayGetUBound(names.parray, 1, &high)))
    return false;
  for (LONG i = low; i <= high; ++i) {
    BSTR name = nullptr;
    if (FAILED(SafeArrayGetElement(names.parray, &i, &name))) return false;
    list->Add(WideToAnsi(name ? WideString(name) : WideString()));
    SysFreeString(name);
  }
  return true;
}

bool TCustomProfDHTMLEdit::GetStyleClasses(TStrings* list) {
  if (!list) return false;
  THtmlDocument document;
  if (!GetDOM(document) || !ModelOf(document)) return false;
  list->Clear();
  bool added = false;
  try {
    for (StyleSheet* sheet : ModelOf(document)->GetStyleSheets()) {
      for (const StyleRule& rule : sheet->GetRules()) {
        const WideString& selector = rule.GetSelectorText();
        if (selector.empty() || selector[0] != u'.') continue;
        list->Add(WideToAnsi(selector.substr(1)));
        added = true;
      }
    }
  } catch (...) {
  }
  return added;
}

// --- Text size ----------------------------------------------------------------------

TTextSize TCustomProfDHTMLEdit::GetTextSize() {
  try {
    TRegistry registry;
    registry.SetRootKey(HKEY_CURRENT_USER);
    if (!registry.OpenKeyReadOnly(kTextSizeKey) || !registry.ValueExists(kTextSizeValue)) return TextSizeMedium;
    const Integer length = registry.GetDataSize(kTextSizeValue);
    if (length < 1) return TextSizeMedium;
    std::vector<unsigned char> data(static_cast<size_t>(length));
    registry.ReadBinaryData(kTextSizeValue, data.data(), length);
    // A byte past the largest size names none of them.
    if (data[0] > static_cast<unsigned char>(TextSizeLargest)) return TextSizeMedium;
    return static_cast<TTextSize>(data[0]);
  } catch (...) {
    return TextSizeMedium;
  }
}

void TCustomProfDHTMLEdit::SetTextSize(TTextSize size) {
  THtmlDocument document;
  if (!GetDOM(document)) return;
  RunCommand(document, IDM_BASELINEFONT1 + static_cast<DWORD>(size));
}

// --- Colours ------------------------------------------------------------------------

TColor TCustomProfDHTMLEdit::GetBgColor() { return ReadColour(*this, kBgColor); }
void TCustomProfDHTMLEdit::SetBgColor(TColor color) { WriteColour(*this, kBgColor, color); }
TColor TCustomProfDHTMLEdit::GetTextColor() { return ReadColour(*this, kTextColor); }
void TCustomProfDHTMLEdit::SetTextColor(TColor color) { WriteColour(*this, kTextColor, color); }
TColor TCustomProfDHTMLEdit::GetLinkColor() { return ReadColour(*this, kLinkColor); }
void TCustomProfDHTMLEdit::SetLinkColor(TColor color) { WriteColour(*this, kLinkColor, color); }
TColor TCustomProfDHTMLEdit::GetVLinkColor() { return ReadColour(*this, kVLinkColor); }
void TCustomProfDHTMLEdit::SetVLinkColor(TColor color) { WriteColour(*this, kVLinkColor, color); }
TColor TCustomProfDHTMLEdit::GetALinkColor() { return ReadColour(*this, kALinkColor); }
void TCustomProfDHTMLEdit::SetALinkColor(TColor color) { WriteColour(*this, kALinkColor, color); }

// --- Background ---------------------------------------------------------------------

AnsiString TCustomProfDHTMLEdit::GetBackground() {
  THtmlDocument document;
  if (!GetDOM(document) || !ModelOf(document)) return {};
  try {
    Element* body = ModelOf(document)->GetBody();
    return body ? WideToAnsi(body->GetAttribute(u"background").value_or(WideString())) : AnsiString();
  } catch (...) {
    return {};
  }
}

void TCustomProfDHTMLEdit::SetBackground(const AnsiString& address) {
  THtmlDocument document;
  if (!GetDOM(document) || !ModelOf(document)) return;
  try {
    Element* body = ModelOf(document)->GetBody();
    if (!body || GetBackground() == address) return;
    // No address: no background picture (rather than an empty attribute).
    if (address.empty())
      body->RemoveAttribute(u"background");
    else
      body->SetAttribute(u"background", AnsiToWide(address));
  } catch (...) {
  }
}
