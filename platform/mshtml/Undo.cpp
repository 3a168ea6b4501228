// The undo history, the per-document editing state and the snapshots it is made of.
#include "platform/mshtml/Undo.h"

#include <algorithm>

#include "platform/mshtml/CommandsInternal.h"

namespace mshtml {

EditState& StateOf(Document& document) {
  auto& slot = document.EditingState();
  if (!slot) {
    auto state = std::make_shared<EditState>();
    state->LoadCount = document.GetLoadCount();
    slot = state;
  }
  auto& state = *static_cast<EditState*>(slot.get());
  if (state.LoadCount != document.GetLoadCount()) {
    // New content: what was done to the old one can neither be undone nor counts
    // as a change of this one.
    state.LoadCount = document.GetLoadCount();
    state.UndoStack.clear();
    state.RedoStack.clear();
    state.Depth = 0;
    state.TypingRunOpen = false;
    state.Modified = false;
    state.Typing = {};
  }
  return state;
}

EditSnapshot TakeSnapshot(Document& document) {
  EditSnapshot s;
  Element* body = document.GetBody();
  if (!body) return s;
  s.BodyHtml = body->GetInnerHTML();
  s.BodyAttributes = body->GetAttributes();
  Selection* selection = document.GetSelection();
  if (selection->GetType() == u"Control") {
    for (Element* e : selection->GetControls()) s.Controls.push_back(e->GetSourceIndex());
  } else if (auto range = selection->CreateRange()) {
    s.Start = range->GetStart();
    s.End = range->GetEnd();
  }
  return s;
}

void RestoreSnapshot(Document& document, const EditSnapshot& snapshot) {
  Element* body = document.GetBody();
  if (!body) return;
  // Attributes first (dir, colours), then the content.
  while (!body->GetAttributes().empty()) body->RemoveAttribute(body->GetAttributes().front().Name);
  for (const Attribute& a : snapshot.BodyAttributes) body->SetAttribute(a.Name, a.Value);
  body->SetInnerHTML(snapshot.BodyHtml);
  Selection* selection = document.GetSelection();
  if (!snapshot.Controls.empty()) {
    const ElementList all = document.GetAll();
    ElementList chosen;
    for (Integer index : snapshot.Controls)
      if (index >= 0 && index < static_cast<Integer>(all.size())) chosen.push_back(all[static_cast<size_t>(index)]);
    if (!chosen.empty()) {
      selection->SelectControls(chosen);
      return;
    }
  }
  SelectUnits(document, snapshot.Start, snapshot.End);
}

void BeginUndoUnit(Document& document, const WideString& name, bool mergeTyping) {
  EditState& state = StateOf(document);
  if (state.Depth++ > 0) return;
  state.OpenName = name;
  state.OpenTyping = mergeTyping;
  state.OpenChangeCount = document.GetChangeCount();
  const bool merging = mergeTyping && state.TypingRunOpen && !state.UndoStack.empty() &&
                       state.UndoStack.back().Typing && state.UndoStack.back().Name == name;
  // A typing unit that joins the one before keeps that one's starting point.
  if (!merging) state.OpenBefore = TakeSnapshot(document);
}

void EndUndoUnit(Document& document) {
  EditState& state = StateOf(document);
  if (state.Depth == 0 || --state.Depth > 0) return;
  if (document.GetChangeCount() == state.OpenChangeCount) return;  // nothing changed
  state.Modified = true;
  state.RedoStack.clear();
  const bool merging = state.OpenTyping && state.TypingRunOpen && !state.UndoStack.empty() &&
                       state.UndoStack.back().Typing && state.UndoStack.back().Name == state.OpenName;
  if (merging) {
    state.UndoStack.back().After = TakeSnapshot(document);
  } else {
    UndoEntry entry;
    entry.Name = state.OpenName;
    entry.Typing = state.OpenTyping;
    entry.Before = std::move(state.OpenBefore);
    entry.After = TakeSnapshot(document);
    state.UndoStack.push_back(std::move(entry));
    if (state.UndoStack.size() > static_cast<size_t>(kUndoDepth)) state.UndoStack.erase(state.UndoStack.begin());
  }
  state.TypingRunOpen = state.OpenTyping;
}

void BreakTypingRun(Document& document) { StateOf(document).TypingRunOpen = false; }

bool CanUndo(Document& document) {
  const EditState& state = StateOf(document);
  return state.Depth == 0 && !state.UndoStack.empty();
}

bool CanRedo(Document& document) {
  const EditState& state = StateOf(document);
  return state.Depth == 0 && !state.RedoStack.empty();
}

WideString UndoText(Document& document) {
  const EditState& state = StateOf(document);
  return state.UndoStack.empty() ? WideString() : u"Undo " + state.UndoStack.back().Name;
}

WideString RedoText(Document& document) {
  const EditState& state = StateOf(document);
  return state.RedoStack.empty() ? WideString() : u"Redo " + state.RedoStack.back().Name;
}

bool Undo(Document& document) {
  if (!CanUndo(document)) return false;
  EditState& state = StateOf(document);
  UndoEntry entry = std::move(state.UndoStack.back());
  state.UndoStack.pop_back();
  RestoreSnapshot(document, entry.Before);
  state.RedoStack.push_back(std::move(entry));
  state.TypingRunOpen = false;
  state.Modified = true;
  return true;
}

bool Redo(Document& document) {
  if (!CanRedo(document)) return false;
  EditState& state = StateOf(document);
  UndoEntry entry = std::move(state.RedoStack.back());
  state.RedoStack.pop_back();
  RestoreSnapshot(document, entry.After);
  state.UndoStack.push_back(std::move(entry));
  state.TypingRunOpen = false;
  state.Modified = true;
  return true;
}

void ClearUndo(Document& document) {
  EditState& state = StateOf(document);
  state.UndoStack.clear();
  state.RedoStack.clear();
  state.TypingRunOpen = false;
}

int UndoCount(Document& document) { return static_cast<int>(StateOf(document).UndoStack.size()); }
int RedoCount(Document& document) { return static_cast<int>(StateOf(document).RedoStack.size()); }

bool IsModified(Document& document) { return StateOf(document).Modified; }
void SetModified(Document& document, bool modified) { StateOf(document).Modified = modified; }
bool IsOverwriteMode(Document& document) { return StateOf(document).Overwrite; }
void SetOverwriteMode(Document& document, bool overwrite) { StateOf(document).Overwrite = overwrite; }
const ViewSwitches& GetViewSwitches(Document& document) { return StateOf(document).View; }

void ClearCommentAndBreakGlyphs(Document& document) {
  StateOf(document).View.ShowCommentGlyphs = false;
  StateOf(document).View.ShowLineBreakGlyphs = false;
}

TypingFormats GetTypingFormats(Document& document) {
  EditState& state = StateOf(document);
  auto range = SelectionRange(document);
  const Integer at = range && range->IsCollapsed() ? range->GetStart() : -2;
  if (state.TypingChangeCount != document.GetChangeCount() || state.TypingAt != at) state.Typing = {};
  return state.Typing;
}

}  // namespace mshtml
