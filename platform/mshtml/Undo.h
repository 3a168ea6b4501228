// The undo history of a document: a stack of units, each the body's content and the
// selection before and after one edit. Every command of the command table
// (Commands.h) is one unit; an editor groups its own edits the same way:
//
//   BeginUndoUnit(doc, u"Typing", /*mergeTyping=*/true);
//   ... change the document ...
//   EndUndoUnit(doc);
//
// or with the UndoUnit guard below. Units nest: only the outermost one counts, the
// inner ones become part of it. A unit whose edits changed nothing is dropped.
// mergeTyping joins the unit to the unit before it when that one was also opened with
// mergeTyping under the same name and nothing else came between (no other unit, no
// undo or redo, no BreakTypingRun): a run of typed characters undoes as one.
// Opening a unit forgets what could be redone.
//
// The history is forgotten when the document loads new content, and by ClearUndo
// (a designMode switch calls it). At most kUndoDepth units are kept; the oldest go
// first.
#pragma once

#include "platform/mshtml/Document.h"

namespace mshtml {

inline constexpr int kUndoDepth = 100;

void BeginUndoUnit(Document& document, const WideString& name, bool mergeTyping = false);
void EndUndoUnit(Document& document);

class UndoUnit {
 public:
  UndoUnit(Document& document, const WideString& name, bool mergeTyping = false) : document_(document) {
    BeginUndoUnit(document_, name, mergeTyping);
  }
  ~UndoUnit() { EndUndoUnit(document_); }
  UndoUnit(const UndoUnit&) = delete;
  UndoUnit& operator=(const UndoUnit&) = delete;

 private:
  Document& document_;
};

// Ends a run of typing: the next typing unit starts a unit of its own. An editor
// calls it when the caret moves by other means than typing.
void BreakTypingRun(Document& document);

bool CanUndo(Document& document);
bool CanRedo(Document& document);
// The names the command target shows: "Undo Bold", "Redo Typing"; empty when there
// is nothing to undo or redo.
WideString UndoText(Document& document);
WideString RedoText(Document& document);
// Puts the body and the selection back as they were before (after) the unit; false
// when there is nothing to undo (redo) or a unit is open.
bool Undo(Document& document);
bool Redo(Document& document);
void ClearUndo(Document& document);
// Units that can be undone / redone.
int UndoCount(Document& document);
int RedoCount(Document& document);

}  // namespace mshtml
