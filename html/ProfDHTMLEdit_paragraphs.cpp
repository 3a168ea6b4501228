// Block structure: lists, paragraph styles, indentation, alignment, the first-line
// indent and side margins, and the repairs that keep the document in the line-break
// form the control was set to (paragraphs, divisions or line breaks).
#include "html/ProfDHTMLEdit.h"
#include "html/HtmlUtils.h"
#include "html/ProfDHTMLEditCommandsInternal.h"
#include "platform/mshtml/Undo.h"
#include "platform/rtl/CodePage.h"
#include "platform/rtl/Strings.h"

using namespace mshtml;
using namespace profcmd;

namespace {

struct JustifyCommand {
  const char16_t* Name;
  DWORD Id;
};

constexpr JustifyCommand kJustify[5] = {{u"JustifyNone", IDM_JUSTIFYNONE},
                                        {u"JustifyLeft", IDM_JUSTIFYLEFT},
                                        {u"JustifyCenter", IDM_JUSTIFYCENTER},
                                        {u"JustifyRight", IDM_JUSTIFYRIGHT},
                                        {u"JustifyFull", IDM_JUSTIFYFULL}};

// A style length in whole pixels: 0 for none, -1 when the text without its unit is
// not a whole number.
Integer StyleLength(const WideString& text) {
  if (text.empty()) return 0;
  const WideString number = text.size() >= 2 ? text.substr(0, text.size() - 2) : WideString();
  Integer value = 0;
  if (!TryStrToInt(WideToAnsi(number), value)) return -1;
  return value;
}

// Each exact occurrence of from replaced by to.
WideString ReplaceExact(const WideString& text, const WideString& from, const WideString& to) {
  return WideStringReplace(text, from, to, true, false);
}

}  // namespace

// --- Lists ----------------------------------------------------------------------------

bool TCustomProfDHTMLEdit::GetBullets() {
  return WithDocument(this, false,
                      [](THtmlDocument&, Document& m) { return NameValueBool(m, u"InsertUnorderedList"); });
}
bool TCustomProfDHTMLEdit::GetNumbering() {
  return WithDocument(this, false,
                      [](THtmlDocument&, Document& m) { return NameValueBool(m, u"InsertOrderedList"); });
}
bool TCustomProfDHTMLEdit::CanToggleBullets() {
  return WithDocument(this, false,
                      [](THtmlDocument&, Document& m) { return NameEnabled(m, u"InsertUnorderedList"); });
}
bool TCustomProfDHTMLEdit::CanToggleNumbering() {
  return WithDocument(this, false,
                      [](THtmlDocument&, Document& m) { return NameEnabled(m, u"InsertOrderedList"); });
}

bool TCustomProfDHTMLEdit::ToggleList(bool Numbered) {
  const WideString name = Numbered ? u"InsertOrderedList" : u"InsertUnorderedList";
  return WithDocument(this, false, [&](THtmlDocument&, Document& m) {
    if (!NameEnabled(m, name)) return false;
    const bool wasAll = IsEverythingSelected();
    const bool divisionMode = RuntimeUseDivOnCarriageReturn() && !FUseBrOnCarriageReturn;
    FRepairDiv = divisionMode;
    if (FRepairDiv) SaveBody();
    if (FUseBrOnCarriageReturn && IsNormalStyle()) CreateTempParagraph();
    const bool result = NameExec(m, name);
    if (FUseBrOnCarriageReturn && IsNormalStyle()) RemoveParagraph();
    if (wasAll && !IsEverythingSelected()) SelectAll();
    return result;
  });
}

// --- Paragraph styles -------------------------------------------------------------------

WideString TCustomProfDHTMLEdit::GetParagraphStyle() {
  return WithDocument(this, WideString(), [](THtmlDocument&, Document& m) {
    const OleVariant value = NameValue(m, u"FormatBlock");
    return value.vt == VT_BSTR ? BstrToWide(value.bstrVal) : WideString();
  });
}

bool TCustomProfDHTMLEdit::CanSetParagraphStyle() {
  return WithDocument(this, false, [](THtmlDocument&, Document& m) { return NameEnabled(m, u"FormatBlock"); });
}

bool TCustomProfDHTMLEdit::IsNormalStyle() {
  try {
    const std::vector<WideString> styles = BlockStyleNames(ReadDOM());
    if (styles.empty()) return true;
    return GetParagraphStyle() == styles.front();
  } catch (...) {
    return true;
  }
}

void TCustomProfDHTMLEdit::SetParagraphStyle(const WideString& Style) {
  if (!CanSetParagraphStyle()) return;
  WithDocument(this, false, [&](THtmlDocument& d, Document& m) {
    if (FUseBrOnCarriageReturn) {
      if (GetParagraphStyle() == Style) return false;
      CreateTempParagraph();
    } else if (RuntimeUseDivOnCarriageReturn()) {
      if (GetParagraphStyle() == Style) return false;
      const std::vector<WideString> styles = BlockStyleNames(d);
      if (!styles.empty() && Style == styles.front()) FRepairDiv = true;
    }
    const OleVariant value(Style);
    NameExec(m, u"FormatBlock", &value);
    if (FUseBrOnCarriageReturn && IsNormalStyle()) RemoveParagraph();
    return true;
  });
}

// --- Indentation and alignment ------------------------------------------------------------

bool TCustomProfDHTMLEdit::IncreaseIndentation() {
  return WithDocument(this, false, [](THtmlDocument&, Document& m) { return NameExec(m, u"Indent"); });
}
bool TCustomProfDHTMLEdit::CanIncreaseIndentation() {
  return WithDocument(this, false, [](THtmlDocument&, Document& m) { return NameEnabled(m, u"Indent"); });
}
bool TCustomProfDHTMLEdit::DecreaseIndentation() {
  return WithDocument(this, false, [this](THtmlDocument&, Document& m) {
    FRepairDiv = RuntimeUseDivOnCarriageReturn() && !FUseBrOnCarriageReturn;
    if (FRepairDiv) SaveBody();
    return NameExec(m, u"Outdent");
  });
}
bool TCustomProfDHTMLEdit::CanDecreaseIndentation() {
  return WithDocument(this, false, [](THtmlDocument&, Document& m) { return NameEnabled(m, u"Outdent"); });
}

void TCustomProfDHTMLEdit::SetJustify(TJustify Value) {
  if (Value < JustifyNone || Value > JustifyFull) return;
  WithDocument(this, false, [&](THtmlDocument& d, Document& m) {
    if (FUseExecJustify) return NameExec(m, kJustify[Value].Name);
    IdExec(d, kJustify[Value].Id);
    return true;
  });
}

TJustify TCustomProfDHTMLEdit::GetJustify() {
  return WithDocument(this, JustifyNone, [](THtmlDocument&, Document& m) {
    for (int i = JustifyNone; i <= JustifyFull; ++i)
      if (NameValueBool(m, kJustify[i].Name)) return static_cast<TJustify>(i);
    return JustifyNone;
  });
}

namespace {

// The justification is offered, and the selected element is not a horizontal rule.
bool CanJustifyBy(TCustomProfDHTMLEdit* control, DWORD id) {
  return WithDocument(control, false, [id](THtmlDocument& d, Document& m) {
    return IdEnabled(d, id) && !TagIs(SelectedElement(m), u"hr");
  });
}

}  // namespace

bool TCustomProfDHTMLEdit::CanJustifyNone() { return CanJustifyBy(this, IDM_JUSTIFYNONE); }
bool TCustomProfDHTMLEdit::CanJustifyLeft() { return CanJustifyBy(this, IDM_JUSTIFYLEFT); }
bool TCustomProfDHTMLEdit::CanJustifyCenter() { return CanJustifyBy(this, IDM_JUSTIFYCENTER); }
bool TCustomProfDHTMLEdit::CanJustifyRight() { return CanJustifyBy(this, IDM_JUSTIFYRIGHT); }
bool TCustomProfDHTMLEdit::CanJustifyFull() {
  return WithDocument(this, false, [](THtmlDocument& d, Document& m) {
    if (!IdEnabled(d, IDM_JUSTIFYFULL)) return false;
    if (SelectionType(m) != u"Control") return true;
    Element* parent = m.GetSelection()->GetCommonParentElement();
    return parent && !TagIs(parent, u"TABLE") && !TagIs(parent, u"hr");
  });
}

// --- Indent and margins of the selected element -------------------------------------------

Integer TCustomProfDHTMLEdit::GetTextIndent() {
  return WithDocument(this, Integer(-1), [](THtmlDocument&, Document& m) {
    Element* e = SelectedElement(m);
    return e ? StyleLength(e->GetStyle()->GetTextIndent()) : Integer(-1);
  });
}
void TCustomProfDHTMLEdit::SetTextIndent(Integer Value) {
  WithDocument(this, false, [&](THtmlDocument&, Document& m) {
    Element* e = SelectedElement(m);
    if (!e) return false;
    UndoUnit unit(m, u"Margins");
    if (Value > 0) e->GetStyle()->SetTextIndent(Value);
    else e->GetStyle()->SetTextIndent(WideString());
    return true;
  });
}
Integer TCustomProfDHTMLEdit::GetLeftMargin() {
  return WithDocument(this, Integer(-1), [](THtmlDocument&, Document& m) {
    Element* e = SelectedElement(m);
    return e ? StyleLength(e->GetStyle()->GetMarginLeft()) : Integer(-1);
  });
}
void TCustomProfDHTMLEdit::SetLeftMargin(Integer Value) {
  WithDocument(this, false, [&](THtmlDocument&, Document& m) {
    Element* e = SelectedElement(m);
    if (!e) return false;
    UndoUnit unit(m, u"Margins");
    if (Value > 0) e->GetStyle()->SetMarginLeft(Value);
    else e->GetStyle()->SetMarginLeft(WideString());
    return true;
  });
}
Integer TCustomProfDHTMLEdit::GetRightMargin() {
  return WithDocument(this, Integer(-1), [](THtmlDocument&, Document& m) {
    Element* e = SelectedElement(m);
    return e ? StyleLength(e->GetStyle()->GetMarginRight()) : Integer(-1);
  });
}
void TCustomProfDHTMLEdit::SetRightMargin(Integer Value) {
  WithDocument(this, false, [&](THtmlDocument&, Document& m) {
    Element* e = SelectedElement(m);
    if (!e) return false;
    UndoUnit unit(m, u"Margins");
    if (Value > 0) e->GetStyle()->SetMarginRight(Value);
    else e->GetStyle()->SetMarginRight(WideString());
    return true;
  });
}

// --- Repairs ---------------------------------------------------------------------------------

// Turns the paragraphs that an engine command made in the changed part of the body
// into divisions: the changed part is what lies between the longest common start and
// the longest common end of the body saved before and the body now.
void TCustomProfDHTMLEdit::RepairDiv() {
  WithDocument(this, false, [this](THtmlDocument&, Document& m) {
    Element* body = m.GetBody();
    if (!body) return false;
    const WideString saved = FSavedBody;
    const WideString current = body->GetInnerHTML();
    if (saved == current || current.find(u"</P>") == WideString::npos) return false;
    const size_t ls = saved.size(), lc = current.size();
    // prefix: 0-based count of equal leading characters
    size_t i = 0;
    if (!saved.empty())
      while (i < ls && i < lc && saved[i] == current[i]) ++i;
    // The tag that starts the change is taken whole.
    if (i > 0 && saved[i - 1] == u'<') --i;
    size_t j = 0;
    if (i < ls) {
      while (j < ls - i && j < lc - i && saved[ls - 1 - j] == current[lc - 1 - j]) ++j;
      if (j > 0 && saved[ls - j] == u'>') --j;
    }
    const WideString middle = current.substr(i, lc - i - j);
    WideString changed = ReplaceExact(middle, u"<P>", u"<DIV>");
    changed = ReplaceExact(changed, u"<P ", u"<DIV ");
    changed = ReplaceExact(changed, u"</P>", u"</DIV>");
    if (changed == middle) return false;
    const Integer start = GetSelStart();
    const Integer length = GetSelLength();
    body->SetInnerHTML(current.substr(0, i) + changed + current.substr(lc - j));
    SetSelStart(start);
    if (length > 0) SetSelLength(length);
    return true;
  });
}

namespace {

// The paragraph (or, failing that, the body) around the selection loses its
// paragraph tags; removals are the texts taken out of the body's HTML in turn.
void DropParagraph(Document& m, std::initializer_list<const char16_t*> removals) {
  Selection* selection = m.GetSelection();
  Element* e = nullptr;
  if (selection->GetType() == u"Control") {
    e = selection->GetCommonParentElement();
  } else if (auto range = selection->CreateRange()) {
    e = range->GetParentElement();
  }
  while (e && !TagIs(e, u"P") && !TagIs(e, u"BODY")) e = e->GetParentElement();
  if (!e) return;
  if (TagIs(e, u"P")) {
    RewriteKeepingSelection(m, e, e->GetInnerHTML());
    return;
  }
  const WideString html = e->GetInnerHTML();
  WideString text = html;
  for (const char16_t* removal : removals) text = WideStringReplace(text, removal, u"", true, true);
  if (text != html) e->SetInnerHTML(text);
}

}  // namespace

void TCustomProfDHTMLEdit::RepairBr() {
  WithDocument(this, false, [](THtmlDocument&, Document& m) {
    DropParagraph(m, {u"<P>", u"</P>"});
    return true;
  });
}

void TCustomProfDHTMLEdit::RemoveParagraph() {
  WithDocument(this, false, [](THtmlDocument&, Document& m) {
    DropParagraph(m, {u"\r\n<P>", u"<P>", u"</P>"});
    return true;
  });
}

// Wraps the selection, as the control writes it, in a paragraph for an engine command
// that works on paragraphs (headings are left as they are).
void TCustomProfDHTMLEdit::CreateTempParagraph() {
  try {
    const WideString html = GetSelHTML();
    if (html.empty()) return;
    for (int level = 1; level <= 6; ++level) {
      const WideString open = u"<h" + WideString(1, static_cast<char16_t>(u'0' + level)) + u">";
      const WideString close = u"</h" + WideString(1, static_cast<char16_t>(u'0' + level)) + u">";
      if (WideSameText(LeftStr(html, 4), open) && WideSameText(RightStr(html, 5), close)) return;
    }
    const Integer start = GetSelStart();
    InsertHTML(u"<P>" + html + u"</P>");
    SetSelStart(start);
  } catch (...) {
  }
}
