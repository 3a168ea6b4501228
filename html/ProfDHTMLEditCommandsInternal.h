// What the control's editing-command sources share: the five ways a command reaches
// the engine (by name: run, available, value; by number: run, available) and the
// guard that gives every command its not-ready and failure answers.
#pragma once

#include <memory>
#include <utility>

#include "html/ProfDHTMLEdit.h"
#include "platform/mshtml/Commands.h"
#include "platform/mshtml/TextRange.h"
#include "platform/ole/OleVariant.h"

namespace profcmd {

inline mshtml::Document* ModelOf(const THtmlDocument& document) {
  return document ? document->GetDocument() : nullptr;
}

// Runs body(document, model) with the control's document; fail when there is none or
// when anything in body raises.
template <class R, class F>
R WithDocument(TCustomProfDHTMLEdit* control, R fail, F&& body) {
  THtmlDocument document;
  if (!control->GetDOM(document)) return fail;
  mshtml::Document* model = ModelOf(document);
  if (!model) return fail;
  try {
    return body(document, *model);
  } catch (...) {
    return fail;
  }
}

// 1. The document's execCommand without user interface; false on any refusal.
bool NameExec(mshtml::Document& model, const WideString& name, const VARIANT* value = nullptr);
// The omitted-parameter value that stands for "no argument".
inline OleVariant NoArgument() { return OleVariant::Missing(); }
// 2. queryCommandEnabled.
bool NameEnabled(mshtml::Document& model, const WideString& name);
// 3. queryCommandValue; VT_EMPTY on failure.
OleVariant NameValue(mshtml::Document& model, const WideString& name);
bool NameValueBool(mshtml::Document& model, const WideString& name);
// 4. Exec of CGID_MSHTML through the document's command target; true on success.
bool IdExec(const THtmlDocument& document, DWORD id, DWORD option = OLECMDEXECOPT_DODEFAULT,
            VARIANT* in = nullptr, VARIANT* out = nullptr);
// QueryStatus flags of one command (0 when the call fails).
DWORD IdFlags(const THtmlDocument& document, DWORD id, const GUID* group = &mshtml::CGID_MSHTML);
// 5. The command is enabled.
inline bool IdEnabled(const THtmlDocument& document, DWORD id) {
  return (IdFlags(document, id) & OLECMDF_ENABLED) != 0;
}

// The selection's type ("None", "Text", "Control").
WideString SelectionType(mshtml::Document& model);
// The selected element: the control range's common parent, or the text range's parent.
mshtml::Element* SelectedElement(mshtml::Document& model);
// The first element from start upwards whose tag is tag (letter case ignored).
mshtml::Element* ClimbTo(mshtml::Element* start, const char16_t* tag);
bool TagIs(const mshtml::Element* element, const char16_t* tag);
// The engine's block format names (its command 2233); empty on failure.
std::vector<WideString> BlockStyleNames(const THtmlDocument& document);
// Writes markup over the element that holds the same text (its tags taken away or
// changed) and leaves the text selection where it was in that text: writing an
// element's markup otherwise puts a caret that was in it after the new content.
void RewriteKeepingSelection(mshtml::Document& model, mshtml::Element* element, const WideString& html);

}  // namespace profcmd
