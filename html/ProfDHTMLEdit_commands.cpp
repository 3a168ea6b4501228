// The control's editing commands, how they reach the engine, and the simple ones:
// clipboard, character formats, colours, fonts, the engine's dialogs and edit menu.
#include "html/ProfDHTMLEdit.h"
#include "html/HtmlUtils.h"
#include "html/ProfDHTMLEditCommandsInternal.h"
#include "platform/win/Menu.h"
#include "platform/win/Modules.h"

using namespace mshtml;
using namespace profcmd;

namespace profcmd {

bool NameExec(Document& model, const WideString& name, const VARIANT* value) {
  const OleVariant missing = NoArgument();
  bool done = false;
  const HRESULT hr = ExecCommand(model, name, false, value ? value : &missing, &done);
  return SUCCEEDED(hr) && done;
}

bool NameEnabled(Document& model, const WideString& name) {
  bool enabled = false;
  return SUCCEEDED(QueryCommandEnabled(model, name, &enabled)) && enabled;
}

OleVariant NameValue(Document& model, const WideString& name) {
  OleVariant value;
  if (FAILED(QueryCommandValue(model, name, &value))) value.Clear();
  return value;
}

bool NameValueBool(Document& model, const WideString& name) {
  const OleVariant value = NameValue(model, name);
  if (value.IsEmpty() || value.IsNull()) return false;
  return value.AsBool();
}

bool IdExec(const THtmlDocument& document, DWORD id, DWORD option, VARIANT* in, VARIANT* out) {
  auto target = document.As<IOleCommandTarget>();
  return target && SUCCEEDED(target->Exec(&CGID_MSHTML, id, option, in, out));
}

DWORD IdFlags(const THtmlDocument& document, DWORD id, const GUID* group) {
  auto target = document.As<IOleCommandTarget>();
  if (!target) return 0;
  OLECMD command{id, 0};
  if (FAILED(target->QueryStatus(group, 1, &command, nullptr))) return 0;
  return command.cmdf;
}

WideString SelectionType(Document& model) { return model.GetSelection()->GetType(); }

Element* SelectedElement(Document& model) {
  Selection* selection = model.GetSelection();
  if (selection->GetType() == u"Control") return selection->GetCommonParentElement();
  std::unique_ptr<TextRange> range = selection->CreateRange();
  return range ? range->GetParentElement() : nullptr;
}

bool TagIs(const Element* element, const char16_t* tag) {
  return element && WideSameText(element->GetTagName(), tag);
}

Element* ClimbTo(Element* start, const char16_t* tag) {
  for (Element* e = start; e; e = e->GetParentElement())
    if (TagIs(e, tag)) return e;
  return nullptr;
}

std::vector<WideString> BlockStyleNames(const THtmlDocument& document) {
  std::vector<WideString> names;
  OleVariant out;
  if (!IdExec(document, IDM_GETBLOCKFMTS, OLECMDEXECOPT_DODEFAULT, nullptr, &out)) return names;
  if ((out.vt & VT_ARRAY) == 0 || !out.parray) return names;
  LONG low = 0, high = -1;
  SafeArrayGetLBound(out.parray, 1, &low);
  SafeArrayGetUBound(out.parray, 1, &high);
  for (LONG i = low; i <= high; ++i) {
    BSTR name = nullptr;
    if (FAILED(SafeArrayGetElement(out.parray, &i, &name))) break;
    names.push_back(BstrToWide(name));
    SysFreeString(name);
  }
  return names;
}

void RewriteKeepingSelection(Document& model, Element* element, const WideString& html) {
  Selection* selection = model.GetSelection();
  const std::unique_ptr<TextRange> before = selection->GetControls().empty() ? selection->CreateRange() : nullptr;
  element->SetOuterHTML(html);
  if (!before) return;
  const std::unique_ptr<TextRange> range = model.CreateTextRange();
  range->SetRange(before->GetStart(), before->GetEnd());
  selection->Select(*range);
}

}  // namespace profcmd

namespace {

// How many toggles a setter may run to reach the state it was asked for. One toggle
// reaches it on a sound engine; the second covers a mixed selection that the first
// toggle only made uniform.
constexpr int kMaxToggles = 2;

template <class Get, class Can, class Toggle>
void ToggleUntil(bool value, Get get, Can can, Toggle toggle) {
  for (int i = 0; i < kMaxToggles; ++i) {
    const bool before = get();
    if (before == value || !can()) return;
    toggle();
    // A toggle the engine accepts without changing the state would repeat for ever.
    if (get() == before) return;
  }
}

// A colour as the engine's colour commands take it: the resolved 0x00BBGGRR value,
// or an empty text (no colour) for clNone and clDefault.
OleVariant ColorArgument(TColor color) {
  if (!IsHTMLColorSet(color)) return OleVariant(WideString());
  return OleVariant(static_cast<int32_t>(ColorToRGB(color)));
}

TColor ColorFromValue(const OleVariant& value) {
  if (value.vt == VT_I4) return static_cast<TColor>(value.lVal);
  if (value.vt == VT_BSTR) return HTMLColorToColor(BstrToWide(value.bstrVal));
  return clNone;
}

}  // namespace

// --- Clipboard and selection --------------------------------------------------------

bool TCustomProfDHTMLEdit::SelectAll() {
  return WithDocument(this, false, [](THtmlDocument& d, Document&) { return IdExec(d, IDM_SELECTALL); });
}
bool TCustomProfDHTMLEdit::CanSelectAll() {
  return WithDocument(this, false, [](THtmlDocument& d, Document&) { return IdEnabled(d, IDM_SELECTALL); });
}
bool TCustomProfDHTMLEdit::CopyToClipboard() {
  return WithDocument(this, false, [](THtmlDocument&, Document& m) { return NameExec(m, u"Copy"); });
}
bool TCustomProfDHTMLEdit::CanCopy() {
  return WithDocument(this, false, [](THtmlDocument&, Document& m) { return NameEnabled(m, u"Copy"); });
}
bool TCustomProfDHTMLEdit::CutToClipboard() {
  if (!CanCut()) return false;
  return WithDocument(this, false, [this](THtmlDocument&, Document& m) {
    FRepairDiv = RuntimeUseDivOnCarriageReturn() && !FUseBrOnCarriageReturn && IsEverythingSelected();
    if (FRepairDiv) SaveBody();
    return NameExec(m, u"Cut");
  });
}
bool TCustomProfDHTMLEdit::CanCut() {
  return WithDocument(this, false, [](THtmlDocument&, Document& m) { return NameEnabled(m, u"Cut"); });
}
bool TCustomProfDHTMLEdit::PasteFromClipboard() {
  return WithDocument(this, false, [](THtmlDocument&, Document& m) { return NameExec(m, u"Paste"); });
}
bool TCustomProfDHTMLEdit::CanPaste() {
  return WithDocument(this, false, [](THtmlDocument&, Document& m) { return NameEnabled(m, u"Paste"); });
}
bool TCustomProfDHTMLEdit::ClearSelection() {
  if (!CanClearSelection()) return false;
  return WithDocument(this, false, [this](THtmlDocument&, Document& m) {
    FRepairDiv = RuntimeUseDivOnCarriageReturn() && !FUseBrOnCarriageReturn && IsEverythingSelected();
    if (FRepairDiv) SaveBody();
    return NameExec(m, u"Delete");
  });
}
bool TCustomProfDHTMLEdit::CanClearSelection() {
  return WithDocument(this, false, [](THtmlDocument&, Document& m) { return NameEnabled(m, u"Delete"); });
}
bool TCustomProfDHTMLEdit::RemoveFormat() {
  return WithDocument(this, false, [](THtmlDocument&, Document& m) { return NameExec(m, u"RemoveFormat"); });
}
bool TCustomProfDHTMLEdit::CanRemoveFormat() {
  return WithDocument(this, false, [](THtmlDocument&, Document& m) { return NameEnabled(m, u"RemoveFormat"); });
}
bool TCustomProfDHTMLEdit::ToggleAbsolutePositioning() {
  return WithDocument(this, false, [](THtmlDocument&, Document& m) { return NameExec(m, u"AbsolutePosition"); });
}
bool TCustomProfDHTMLEdit::CanToggleAbsolutePositioning() {
  return WithDocument(this, false,
                      [](THtmlDocument&, Document& m) { return NameEnabled(m, u"AbsolutePosition"); });
}

// --- Character formats --------------------------------------------------------------

namespace {

bool ToggleBy(TCustomProfDHTMLEdit* control, bool useName, const char16_t* name, DWORD id) {
  return WithDocument(control, false, [&](THtmlDocument& d, Document& m) {
    return useName ? NameExec(m, name) : IdExec(d, id);
  });
}

bool CanToggleBy(TCustomProfDHTMLEdit* control, bool useName, const char16_t* name, DWORD id) {
  return WithDocument(control, false, [&](THtmlDocument& d, Document& m) {
    return useName ? NameEnabled(m, name) : IdEnabled(d, id);
  });
}

}  // namespace

bool TCustomProfDHTMLEdit::ToggleBold(bool UseExecCommand) { return ToggleBy(this, UseExecCommand, u"Bold", IDM_BOLD); }
bool TCustomProfDHTMLEdit::ToggleItalic(bool UseExecCommand) {
  return ToggleBy(this, UseExecCommand, u"Italic", IDM_ITALIC);
}
bool TCustomProfDHTMLEdit::ToggleUnderline(bool UseExecCommand) {
  return ToggleBy(this, UseExecCommand, u"Underline", IDM_UNDERLINE);
}
bool TCustomProfDHTMLEdit::ToggleStrikeOut(bool UseExecCommand) {
  return ToggleBy(this, UseExecCommand, u"StrikeThrough", IDM_STRIKETHROUGH);
}
bool TCustomProfDHTMLEdit::CanToggleUnderline(bool UseExecCommand) {
  return CanToggleBy(this, UseExecCommand, u"Underline", IDM_UNDERLINE);
}
bool TCustomProfDHTMLEdit::CanToggleStrikeOut(bool UseExecCommand) {
  return CanToggleBy(this, UseExecCommand, u"StrikeThrough", IDM_STRIKETHROUGH);
}

// Bold is not offered in headings, italic not in the address style.
bool TCustomProfDHTMLEdit::CanToggleBold(bool UseExecCommand) {
  if (!CanToggleBy(this, UseExecCommand, u"Bold", IDM_BOLD)) return false;
  return WithDocument(this, true, [this](THtmlDocument& d, Document&) {
    const std::vector<WideString> styles = BlockStyleNames(d);
    const WideString current = GetParagraphStyle();
    for (size_t i = 3; i <= 8 && i < styles.size(); ++i)
      if (current == styles[i]) return false;
    return true;
  });
}

bool TCustomProfDHTMLEdit::CanToggleItalic(bool UseExecCommand) {
  if (!CanToggleBy(this, UseExecCommand, u"Italic", IDM_ITALIC)) return false;
  return WithDocument(this, true, [this](THtmlDocument& d, Document&) {
    const std::vector<WideString> styles = BlockStyleNames(d);
    return !(styles.size() > 2 && GetParagraphStyle() == styles[2]);
  });
}

bool TCustomProfDHTMLEdit::ToggleSubScript() {
  return WithDocument(this, false, [](THtmlDocument& d, Document&) { return IdExec(d, IDM_SUBSCRIPT); });
}
bool TCustomProfDHTMLEdit::CanToggleSubScript() {
  return WithDocument(this, false, [](THtmlDocument& d, Document&) { return IdEnabled(d, IDM_SUBSCRIPT); });
}
bool TCustomProfDHTMLEdit::ToggleSuperScript() {
  return WithDocument(this, false, [](THtmlDocument& d, Document&) { return IdExec(d, IDM_SUPERSCRIPT); });
}
bool TCustomProfDHTMLEdit::CanToggleSuperScript() {
  return WithDocument(this, false, [](THtmlDocument& d, Document&) { return IdEnabled(d, IDM_SUPERSCRIPT); });
}

// The plain and the tri-state command must agree; when they do not (a selection of
// mixed formats), the property reads false.
bool TCustomProfDHTMLEdit::GetTRISTATE(const WideString& Command, DWORD ValueID, DWORD TriStateID) {
  return WithDocument(this, false, [&](THtmlDocument& d, Document& m) {
    const bool value = NameValueBool(m, Command);
    const bool plain = (IdFlags(d, ValueID) & OLECMDF_LATCHED) != 0;
    const bool tri = (IdFlags(d, TriStateID) & OLECMDF_LATCHED) != 0;
    return plain == tri ? value : false;
  });
}

bool TCustomProfDHTMLEdit::GetBold() { return GetTRISTATE(u"Bold", IDM_BOLD, IDM_TRISTATEBOLD); }
bool TCustomProfDHTMLEdit::GetItalic() { return GetTRISTATE(u"Italic", IDM_ITALIC, IDM_TRISTATEITALIC); }
bool TCustomProfDHTMLEdit::GetUnderline() {
  return GetTRISTATE(u"Underline", IDM_UNDERLINE, IDM_TRISTATEUNDERLINE);
}
bool TCustomProfDHTMLEdit::GetStrikeOut() {
  return WithDocument(this, false, [](THtmlDocument&, Document& m) { return NameValueBool(m, u"STRIKETHROUGH"); });
}
bool TCustomProfDHTMLEdit::GetSubScript() {
  return WithDocument(this, false, [](THtmlDocument&, Document& m) { return NameValueBool(m, u"SubScript"); });
}
bool TCustomProfDHTMLEdit::GetSuperScript() {
  return WithDocument(this, false, [](THtmlDocument&, Document& m) { return NameValueBool(m, u"SuperScript"); });
}

void TCustomProfDHTMLEdit::SetBold(bool Value) {
  ToggleUntil(Value, [this] { return GetBold(); }, [this] { return CanToggleBold(true); },
              [this] { ToggleBold(true); });
}
void TCustomProfDHTMLEdit::SetItalic(bool Value) {
  ToggleUntil(Value, [this] { return GetItalic(); }, [this] { return CanToggleItalic(true); },
              [this] { ToggleItalic(true); });
}
void TCustomProfDHTMLEdit::SetUnderline(bool Value) {
  ToggleUntil(Value, [this] { return GetUnderline(); }, [this] { return CanToggleUnderline(true); },
              [this] { ToggleUnderline(true); });
}
void TCustomProfDHTMLEdit::SetStrikeOut(bool Value) {
  ToggleUntil(Value, [this] { return GetStrikeOut(); }, [this] { return CanToggleStrikeOut(true); },
              [this] { ToggleStrikeOut(true); });
}
void TCustomProfDHTMLEdit::SetSubScript(bool Value) {
  ToggleUntil(Value, [this] { return GetSubScript(); }, [this] { return CanToggleSubScript(); },
              [this] { ToggleSubScript(); });
}
void TCustomProfDHTMLEdit::SetSuperScript(bool Value) {
  ToggleUntil(Value, [this] { return GetSuperScript(); }, [this] { return CanToggleSuperScript(); },
              [this] { ToggleSuperScript(); });
}
void TCustomProfDHTMLEdit::SetBullets(bool Value) {
  ToggleUntil(Value, [this] { return GetBullets(); }, [this] { return CanToggleBullets(); },
              [this] { ToggleBullets(); });
}
void TCustomProfDHTMLEdit::SetNumbering(bool Value) {
  ToggleUntil(Value, [this] { return GetNumbering(); }, [this] { return CanToggleNumbering(); },
              [this] { ToggleNumbering(); });
}

// --- Colours and fonts ----------------------------------------------------------------

void TCustomProfDHTMLEdit::SetForeColor(TColor Color) {
  WithDocument(this, false, [&](THtmlDocument&, Document& m) {
    const OleVariant value = ColorArgument(Color);
    return NameExec(m, u"ForeColor", &value);
  });
}
void TCustomProfDHTMLEdit::SetBackColor(TColor Color) {
  WithDocument(this, false, [&](THtmlDocument&, Document& m) {
    const OleVariant value = ColorArgument(Color);
    return NameExec(m, u"BackColor", &value);
  });
}
bool TCustomProfDHTMLEdit::CanSetForeColor() {
  return WithDocument(this, false, [](THtmlDocument&, Document& m) { return NameEnabled(m, u"ForeColor"); });
}
bool TCustomProfDHTMLEdit::CanSetBackColor() {
  return WithDocument(this, false, [](THtmlDocument&, Document& m) { return NameEnabled(m, u"BackColor"); });
}
TColor TCustomProfDHTMLEdit::GetForeColor() {
  return WithDocument(this, clNone,
                      [](THtmlDocument&, Document& m) { return ColorFromValue(NameValue(m, u"ForeColor")); });
}
TColor TCustomProfDHTMLEdit::GetBackColor() {
  return WithDocument(this, clNone,
                      [](THtmlDocument&, Document& m) { return ColorFromValue(NameValue(m, u"BackColor")); });
}
void TCustomProfDHTMLEdit::SetFontName(const WideString& Name) {
  WithDocument(this, false, [&](THtmlDocument&, Document& m) {
    const OleVariant value(Name);
    return NameExec(m, u"FontName", &value);
  });
}
WideString TCustomProfDHTMLEdit::GetFontName() {
  return WithDocument(this, WideString(), [](THtmlDocument&, Document& m) {
    const OleVariant value = NameValue(m, u"FontName");
    return value.vt == VT_BSTR ? BstrToWide(value.bstrVal) : WideString();
  });
}
bool TCustomProfDHTMLEdit::CanSetFontName() {
  return WithDocument(this, false, [](THtmlDocument&, Document& m) { return NameEnabled(m, u"FontName"); });
}
void TCustomProfDHTMLEdit::SetFontHTMLSize(THTMLFontSize Size) {
  WithDocument(this, false, [&](THtmlDocument&, Document& m) {
    const OleVariant value(static_cast<int32_t>(Size));
    return NameExec(m, u"FontSize", &value);
  });
}
THTMLFontSize TCustomProfDHTMLEdit::GetFontHTMLSize() {
  return WithDocument(this, THTMLFontSize(0), [](THtmlDocument&, Document& m) {
    const OleVariant value = NameValue(m, u"FontSize");
    if (value.vt != VT_I4 || value.lVal < 0 || value.lVal > 7) return THTMLFontSize(0);
    return static_cast<THTMLFontSize>(value.lVal);
  });
}
bool TCustomProfDHTMLEdit::CanSetFontHTMLSize() {
  return WithDocument(this, false, [](THtmlDocument&, Document& m) { return NameEnabled(m, u"FontSize"); });
}
bool TCustomProfDHTMLEdit::FontDialog() {
  return WithDocument(this, false, [](THtmlDocument& d, Document&) { return IdExec(d, IDM_FONT); });
}
bool TCustomProfDHTMLEdit::CanDisplayFontDialog() {
  return WithDocument(this, false, [](THtmlDocument& d, Document&) { return IdEnabled(d, IDM_FONT); });
}

// --- Dialogs, hyperlink removal, the edit menu ----------------------------------------

bool TCustomProfDHTMLEdit::HyperlinkDialog() {
  return WithDocument(this, false, [](THtmlDocument& d, Document&) { return IdExec(d, IDM_HYPERLINK); });
}

bool TCustomProfDHTMLEdit::CanDisplayHyperlinkDialog() {
  return WithDocument(this, false, [this](THtmlDocument& d, Document& m) {
    const bool enabled = IdEnabled(d, IDM_HYPERLINK);
    if (RuntimeBrowseMode()) return enabled;
    if (enabled) return !IsTableRangeSelected();
    return SelectionType(m) == u"None";
  });
}

bool TCustomProfDHTMLEdit::RemoveHyperlink() {
  return WithDocument(this, false, [](THtmlDocument&, Document& m) { return NameExec(m, u"Unlink"); });
}
bool TCustomProfDHTMLEdit::CanRemoveHyperlink() {
  return WithDocument(this, false, [](THtmlDocument&, Document& m) { return NameEnabled(m, u"Unlink"); });
}

bool TCustomProfDHTMLEdit::PropertiesDialog() {
  return WithDocument(this, false, [this](THtmlDocument& d, Document&) {
    return RuntimeBrowseMode() && IdExec(d, IDM_PROPERTIES);
  });
}
bool TCustomProfDHTMLEdit::CanDisplayPropertiesDialog() { return RuntimeBrowseMode() && CanGetDOM(); }

bool TCustomProfDHTMLEdit::ShowAboutBox() {
  return WithDocument(this, false, [](THtmlDocument& d, Document&) { return IdExec(d, IDM_ABOUTBOX); });
}

// The engine's edit menu comes from the platform's resource library; where that
// library is not installed the menu cannot be shown and the answer is false.
bool TCustomProfDHTMLEdit::ShowEditMenu(Integer X, Integer Y) {
  return WithDocument(this, false, [&](THtmlDocument& d, Document&) {
    auto window = d.As<IOleWindow>();
    HWND engine = 0;
    if (!window || FAILED(window->GetWindow(&engine))) return false;
    HMODULE library = LoadLibrary("SHDOCLC.DLL");
    if (!library) return false;
    FreeLibrary(library);
    (void)X;
    (void)Y;
    return false;
  });
}
