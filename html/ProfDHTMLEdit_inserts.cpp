// Inserts at the selection (form controls, rules, frames, marquees, line breaks,
// paragraphs, divisions, spaces, objects, images, comments) and the image commands.
#include "html/ProfDHTMLEdit.h"
#include "html/HtmlUtils.h"
#include "html/ProfDHTMLEditCommandsInternal.h"
#include "platform/mshtml/Layout.h"
#include "platform/mshtml/Undo.h"
#include "platform/win/Messages.h"
#include "platform/win/Input.h"

using namespace mshtml;
using namespace profcmd;

namespace {

// An insert command by number whose argument is the new element's id.
bool InsertById(TCustomProfDHTMLEdit* control, DWORD id, const WideString& elementId) {
  return WithDocument(control, false, [&](THtmlDocument& d, Document&) {
    OleVariant in(elementId);
    return IdExec(d, id, OLECMDEXECOPT_DODEFAULT, &in);
  });
}

bool CanInsertById(TCustomProfDHTMLEdit* control, DWORD id) {
  return WithDocument(control, false, [id](THtmlDocument& d, Document&) { return IdEnabled(d, id); });
}

// A comment's text that cannot end the comment early: no "--" is left in it.
WideString CommentSafe(WideString text) {
  for (size_t at = text.find(u"--"); at != WideString::npos; at = text.find(u"--", at))
    text.replace(at, 2, u"- -");
  return text;
}

}  // namespace

bool TCustomProfDHTMLEdit::InsertHorizontalLine(const WideString& Id) {
  return InsertById(this, IDM_HORIZONTALLINE, Id);
}
bool TCustomProfDHTMLEdit::CanInsertHorizontalLine() { return CanInsertById(this, IDM_HORIZONTALLINE); }
bool TCustomProfDHTMLEdit::InsertTextBox(const WideString& Id) { return InsertById(this, IDM_TEXTBOX, Id); }
bool TCustomProfDHTMLEdit::CanInsertTextBox() { return CanInsertById(this, IDM_TEXTBOX); }
bool TCustomProfDHTMLEdit::InsertTextArea(const WideString& Id) { return InsertById(this, IDM_TEXTAREA, Id); }
bool TCustomProfDHTMLEdit::CanInsertTextArea() { return CanInsertById(this, IDM_TEXTAREA); }
bool TCustomProfDHTMLEdit::InsertCheckBox(const WideString& Id) { return InsertById(this, IDM_CHECKBOX, Id); }
bool TCustomProfDHTMLEdit::CanInsertCheckBox() { return CanInsertById(this, IDM_CHECKBOX); }
bool TCustomProfDHTMLEdit::InsertRadioButton(const WideString& Id) { return InsertById(this, IDM_RADIOBUTTON, Id); }
bool TCustomProfDHTMLEdit::CanInsertRadioButton() { return CanInsertById(this, IDM_RADIOBUTTON); }
bool TCustomProfDHTMLEdit::InsertDropdownBox(const WideString& Id) { return InsertById(this, IDM_DROPDOWNBOX, Id); }
bool TCustomProfDHTMLEdit::CanInsertDropdownBox() { return CanInsertById(this, IDM_DROPDOWNBOX); }
bool TCustomProfDHTMLEdit::InsertListBox(const WideString& Id) { return InsertById(this, IDM_LISTBOX, Id); }
bool TCustomProfDHTMLEdit::CanInsertListBox() { return CanInsertById(this, IDM_LISTBOX); }
bool TCustomProfDHTMLEdit::InsertButton(const WideString& Id) { return InsertById(this, IDM_BUTTON, Id); }
bool TCustomProfDHTMLEdit::CanInsertButton() { return CanInsertById(this, IDM_BUTTON); }
bool TCustomProfDHTMLEdit::InsertIframe(const WideString& Id) { return InsertById(this, IDM_IFRAME, Id); }
bool TCustomProfDHTMLEdit::CanInsertIframe() { return CanInsertById(this, IDM_IFRAME); }
bool TCustomProfDHTMLEdit::InsertMarquee(const WideString& Id) { return InsertById(this, IDM_MARQUEE, Id); }
bool TCustomProfDHTMLEdit::CanInsertMarquee() { return CanInsertById(this, IDM_MARQUEE); }

bool TCustomProfDHTMLEdit::InsertDivision(const WideString& Id) {
  const bool done = InsertById(this, IDM_DIVISION, Id);
  if (done) CorrectCaretAfterInsert();
  return done;
}
bool TCustomProfDHTMLEdit::CanInsertDivision() { return CanInsertById(this, IDM_DIVISION); }

bool TCustomProfDHTMLEdit::InsertLineBreak(const WideString& Id, TClear Clear) {
  if (Clear < ClearNone || Clear > ClearBoth) return false;
  return InsertById(this, IDM_LINEBREAKNORMAL + static_cast<DWORD>(Clear), Id);
}
bool TCustomProfDHTMLEdit::CanInsertLineBreak(TClear Clear) {
  if (Clear < ClearNone || Clear > ClearBoth) return false;
  return CanInsertById(this, IDM_LINEBREAKNORMAL + static_cast<DWORD>(Clear));
}

bool TCustomProfDHTMLEdit::InsertParagraph(const WideString& Id) {
  const bool done = WithDocument(this, false, [&](THtmlDocument& d, Document& m) {
    if (!FUseExecParagraph) {
      OleVariant in(Id);
      return IdExec(d, IDM_PARAGRAPH, OLECMDEXECOPT_DODEFAULT, &in);
    }
    if (Id.empty()) return NameExec(m, u"InsertParagraph");
    const OleVariant value(Id);
    return NameExec(m, u"InsertParagraph", &value);
  });
  if (done) CorrectCaretAfterInsert();
  return done;
}
bool TCustomProfDHTMLEdit::CanInsertParagraph() { return CanInsertById(this, IDM_PARAGRAPH); }

// In the details view the engine leaves the caret one place too far right after a
// paragraph or division: a cursor-left key, let through the key handler unseen,
// moves it back. The key goes to the engine's window, the one that handles keys
// (the control's own window would turn it into the control's key event instead).
void TCustomProfDHTMLEdit::CorrectCaretAfterInsert() {
  if (!RuntimeShowDetails()) return;
  const HWND window = GetWindowHandle();
  if (!window) return;
  FSkipKeyDown = 1;
  PostMessage(window, WM_KEYDOWN, VK_LEFT, 0);
}

bool TCustomProfDHTMLEdit::InsertNoBreakSpace() {
  return WithDocument(this, false, [](THtmlDocument& d, Document&) { return IdExec(d, IDM_NONBREAK); });
}
bool TCustomProfDHTMLEdit::CanInsertNoBreakSpace() { return CanInsertById(this, IDM_NONBREAK); }

bool TCustomProfDHTMLEdit::InsertObjectDialog() {
  return WithDocument(this, false, [](THtmlDocument& d, Document&) {
    OleVariant in(WideString{});
    return IdExec(d, IDM_INSERTOBJECT, OLECMDEXECOPT_PROMPTUSER, &in);
  });
}
bool TCustomProfDHTMLEdit::CanDisplayInsertObjectDialog() { return CanInsertById(this, IDM_INSERTOBJECT); }

bool TCustomProfDHTMLEdit::InsertImage(const WideString& Src) {
  return WithDocument(this, false, [&](THtmlDocument&, Document& m) {
    const OleVariant value(Src);
    return NameExec(m, u"InsertImage", &value);
  });
}
bool TCustomProfDHTMLEdit::CanInsertImage() {
  return WithDocument(this, false, [](THtmlDocument&, Document& m) { return NameEnabled(m, u"InsertImage"); });
}

bool TCustomProfDHTMLEdit::PictureDialog() {
  return WithDocument(this, false, [](THtmlDocument& d, Document&) { return IdExec(d, IDM_IMAGE); });
}
bool TCustomProfDHTMLEdit::CanDisplayPictureDialog() { return CanInsertById(this, IDM_IMAGE); }

bool TCustomProfDHTMLEdit::InsertComment(const WideString& Text) {
  THtmlDocument held;
  if (!GetDOM(held) || !ModelOf(held)) return false;
  // The insertion and the placeholder's removal undo as one step.
  UndoUnit unit(*ModelOf(held), u"Comment");
  const WideString html = u"<span id=InsertComment>&nbsp;</span><!-- " + CommentSafe(Text) + u" -->";
  if (!InsertHTML(html)) return false;
  THtmlDocument document;
  if (!GetDOM(document) || !ModelOf(document)) return true;
  try {
    Element* placeholder = ModelOf(document)->GetElementById(u"InsertComment");
    if (!placeholder) return false;
    placeholder->RemoveNode(true);
    return true;
  } catch (...) {
    return false;
  }
}

bool TCustomProfDHTMLEdit::CanInsertComment() { return !RuntimeBrowseMode() && CanGetDOM(); }

WideString TCustomProfDHTMLEdit::GetImageSource() {
  return WithDocument(this, WideString(), [](THtmlDocument&, Document& m) {
    if (SelectionType(m) != u"Control") return WideString();
    Element* e = m.GetSelection()->GetCommonParentElement();
    if (!TagIs(e, u"IMG")) return WideString();
    return e->GetAttribute(u"src").value_or(WideString());
  });
}

bool TCustomProfDHTMLEdit::IsImageSelected() {
  return WithDocument(this, false, [](THtmlDocument&, Document& m) {
    return SelectionType(m) == u"Control" && TagIs(m.GetSelection()->GetCommonParentElement(), u"IMG");
  });
}

namespace {

Element* ElementAt(THtmlDocument& d, Integer x, Integer y) {
  Layout* layout = d->GetLayout();
  return layout ? layout->ElementFromPoint(x, y) : nullptr;
}

}  // namespace

bool TCustomProfDHTMLEdit::SavePictureDialog(Integer X, Integer Y) {
  return WithDocument(this, false, [&](THtmlDocument& d, Document& m) {
    Element* e = ElementAt(d, X, Y);
    if (!e || !e->FindAttribute(u"src")) return false;
    return SUCCEEDED(ExecOnControls(m, {e}, IDM_SAVEPICTURE, OLECMDEXECOPT_DODEFAULT, nullptr, nullptr));
  });
}

bool TCustomProfDHTMLEdit::CanDisplaySavePictureDialog(Integer X, Integer Y) {
  return WithDocument(this, false, [&](THtmlDocument& d, Document&) {
    Element* e = ElementAt(d, X, Y);
    return e && e->FindAttribute(u"src") != nullptr;
  });
}
