// What the command tests share: a document loaded in edit mode with its selection
// marked in the markup ("[" and "]" around a text selection, "|" for a caret), the
// body's markup, the states by name, and variants described as text.
#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include "MshtmlTestSupport.h"
#include "platform/mshtml/Commands.h"
#include "platform/mshtml/CommandsInternal.h"
#include "platform/mshtml/TextRange.h"
#include "platform/mshtml/Undo.h"
#include "platform/ole/OleVariant.h"

namespace mshtmltest {

inline void LoadMarked(mshtml::Document& doc, const std::string& markup) {
  doc.LoadHTML(W(markup));
  doc.SetDesignMode(u"on");
  mshtml::Element* body = doc.GetBody();
  const auto units = mshtml::ReadTextUnits(body);
  Integer start = -1, end = -1, removed = 0;
  std::vector<const mshtml::TextUnit*> marks;
  for (size_t i = 0; i < units.size(); ++i) {
    const auto& u = units[i];
    if (u.UnitKind != mshtml::TextUnit::Char) continue;
    const auto at = static_cast<Integer>(i) - removed;
    if (u.Text == u"[" || u.Text == u"|") start = at;
    if (u.Text == u"]" || u.Text == u"|") end = at;
    if (u.Text == u"[" || u.Text == u"]" || u.Text == u"|") {
      marks.push_back(&u);
      ++removed;
    }
  }
  // Last first, so that the offsets of the earlier marks hold.
  for (auto it = marks.rbegin(); it != marks.rend(); ++it) {
    auto* text = static_cast<mshtml::TextNode*>((*it)->Anchor);
    WideString data = text->GetData();
    data.erase(static_cast<size_t>((*it)->Offset), 1);
    if (data.empty())
      text->RemoveNode(true);
    else
      text->SetData(data);
  }
  // The marks are not edits of the loaded page.
  doc.LoadHTML(doc.GetBody()->GetInnerHTML());
  doc.SetDesignMode(u"on");
  if (start >= 0) mshtml::SelectUnits(doc, start, end >= 0 ? end : start);
}

inline std::string Body(mshtml::Document& doc) { return U(doc.GetBody()->GetInnerHTML()); }

inline bool State(mshtml::Document& doc, const char* name) {
  bool state = false;
  mshtml::QueryCommandState(doc, W(name), &state);
  return state;
}

inline bool Enabled(mshtml::Document& doc, const char* name) {
  bool enabled = false;
  mshtml::QueryCommandEnabled(doc, W(name), &enabled);
  return enabled;
}

inline WideString SelectionText(mshtml::Document& doc) {
  auto range = doc.GetSelection()->CreateRange();
  return range ? range->GetText() : WideString();
}

// The selection's start, in units.
inline Integer CaretOf(mshtml::Document& doc) {
  auto range = doc.GetSelection()->CreateRange();
  return range ? range->GetStart() : -1;
}

inline std::string Describe(const VARIANT& v) {
  switch (v.vt) {
    case VT_NULL: return "NULL";
    case VT_EMPTY: return "EMPTY";
    case VT_BOOL: return v.boolVal ? "BOOL:true" : "BOOL:false";
    case VT_I4: return "I4:" + std::to_string(v.lVal);
    case VT_BSTR: return "BSTR:" + U(BstrToWide(v.bstrVal));
    default: return "vt " + std::to_string(v.vt);
  }
}

}  // namespace mshtmltest
