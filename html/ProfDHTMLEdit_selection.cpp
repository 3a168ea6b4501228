// The document as an edit box sees it, beyond the selection's start and length: the
// plain text read one engine character at a time, the caret's place on screen, the
// insert/overwrite mode and deleting a word. Characters are the engine's text-range
// unit "character", counted from the start of the body, as everywhere in the control.
#include <optional>

#include "html/ProfDHTMLEdit.h"
#include "html/ProfDHTMLEditInternal.h"
#include "platform/mshtml/Caret.h"
#include "platform/mshtml/TextRange.h"
#include "platform/ole/OleVariant.h"

using namespace mshtml;
using profdhtmledit::ModelOf;
using profdhtmledit::RunCommand;

namespace {

constexpr Integer kFarForward = 2147483647;

WideString WithoutLineBreaks(const WideString& text) {
  WideString out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') {
      ++i;
      continue;
    }
    out += text[i];
  }
  return out;
}

}  // namespace

WideString TCustomProfDHTMLEdit::GetPlainTextEx() {
  THtmlDocument document;
  if (!GetDOM(document) || !ModelOf(document)) return {};
  try {
    Document* doc = ModelOf(document);
    Element* body = doc->GetBody();
    if (!body) return {};
    const WideString text = body->GetOuterText();
    if (text.empty()) return {};
    const WideString flat = WithoutLineBreaks(text);
    WideString result;
    std::optional<char16_t> previous;
    bool first = true;
    const Integer count = doc->CreateTextRange()->Move(u"character", kFarForward);
    std::unique_ptr<TextRange> current;
    for (Integer i = 1; i <= count; ++i) {
      if (!current) {
        current = doc->CreateTextRange();
        current->Move(u"character", i - 1);
      } else {
        current->Move(u"character", 1);
      }
      current->MoveEnd(u"character", 1);
      const WideString t = current->GetText();
      if (t.empty()) {
        // A place without text (a picture): one blank, and a fresh range next.
        result += u' ';
        current.reset();
        continue;
      }
      if (previous && t[0] == *previous && flat.find(t + t) == WideString::npos) {
        // The same character again where the text never doubles it: the engine
        // stepped over a boundary it does not count; a blank stands for it.
        result.insert(result.empty() ? 0 : result.size() - 1, u" ");
        continue;
      }
      result += t;
      previous = t[0];
      if (first) {
        current.reset();
        first = false;
      }
    }
    return result;
  } catch (...) {
    return {};
  }
}

TPoint TCustomProfDHTMLEdit::GetCaretPos() {
  THtmlDocument document;
  if (!GetDOM(document) || !ModelOf(document)) return Point(-1, -1);
  try {
    Document* doc = ModelOf(document);
    Layout* layout = document->GetLayout();
    Element* body = doc->GetBody();
    if (!layout || !body) return Point(-1, -1);
    // A control selection has no caret.
    std::unique_ptr<TextRange> range = doc->GetSelection()->CreateRange();
    if (!range) return Point(-1, -1);
    // The caret stands at the end a selection was extended to.
    const std::optional<RECT> caret = CaretRectAt(*layout, ReadTextUnits(body), range->GetEnd());
    if (!caret) return Point(-1, -1);
    return Point(caret->left, caret->top);
  } catch (...) {
    return Point(-1, -1);
  }
}

bool TCustomProfDHTMLEdit::GetInsertMode() {
  THtmlDocument document;
  if (!GetDOM(document) || !ModelOf(document)) return true;
  OleVariant value;
  if (FAILED(QueryCommandValue(*ModelOf(document), u"Overwrite", &value))) return true;
  try {
    return !value.AsBool();
  } catch (...) {
    return true;
  }
}

void TCustomProfDHTMLEdit::SetInsertMode(bool value) {
  THtmlDocument document;
  if (!GetDOM(document)) return;
  OleVariant overwrite(!value);
  RunCommand(document, IDM_OVERWRITE, &overwrite);
}

bool TCustomProfDHTMLEdit::DeleteWord() {
  THtmlDocument document;
  return GetDOM(document) && RunCommand(document, IDM_DELETEWORD);
}
