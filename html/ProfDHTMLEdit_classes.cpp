// Style classes through span and division wrappers, and the hyperlink around the
// selection. These work on the document's HTML directly; each change is one undo
// step of its own.
#include "html/ProfDHTMLEdit.h"
#include "html/HtmlUtils.h"
#include "html/ProfDHTMLEditCommandsInternal.h"
#include "platform/mshtml/Undo.h"

using namespace mshtml;
using namespace profcmd;

namespace {

WideString OpeningText(bool isSpan, const WideString& className) {
  return WideString(isSpan ? u"<span class=\"" : u"<div class=\"") + QuoteSafe(className) + u"\">";
}

WideString ClosingText(bool isSpan) { return isSpan ? u"</span>" : u"</div>"; }

const char16_t* WantedTag(bool isSpan) { return isSpan ? u"span" : u"div"; }

// The A around the selection, or null.
Element* EnclosingAnchor(Document& m) { return ClimbTo(SelectedElement(m), u"A"); }

}  // namespace

bool TCustomProfDHTMLEdit::ApplySpanDivClass(bool IsSpan, const WideString& ClassName) {
  return WithDocument(this, false, [&](THtmlDocument&, Document& m) {
    if (SelectionType(m) != u"Text") return false;
    auto range = m.GetSelection()->CreateRange();
    if (!range) return false;
    const WideString wrapped = OpeningText(IsSpan, ClassName) + range->GetHtmlText() + ClosingText(IsSpan);
    UndoUnit unit(m, u"Class");
    if (IsEverythingSelected()) {
      if (Element* body = m.GetBody()) body->SetInnerHTML(wrapped);
    } else {
      range->PasteHTML(wrapped);
    }
    return true;
  });
}

bool TCustomProfDHTMLEdit::RemoveSpanDivClass(bool IsSpan) {
  return WithDocument(this, false, [&](THtmlDocument&, Document& m) {
    if (SelectionType(m) == u"Control") return false;
    auto range = m.GetSelection()->CreateRange();
    Element* e = range ? range->GetParentElement() : nullptr;
    while (e && !TagIs(e, WantedTag(IsSpan)) && !TagIs(e, u"body")) e = e->GetParentElement();
    if (!TagIs(e, WantedTag(IsSpan)) || e->GetClassName().empty()) return false;
    UndoUnit unit(m, u"Class");
    RewriteKeepingSelection(m, e, e->GetInnerHTML());
    return true;
  });
}

bool TCustomProfDHTMLEdit::ToggleSpanDivClass(bool IsSpan, const WideString& ClassName) {
  const std::optional<bool> toggled = WithDocument(this, std::optional<bool>(false), [&](THtmlDocument&, Document& m) {
    if (SelectionType(m) == u"Control") return std::optional<bool>(false);
    auto range = m.GetSelection()->CreateRange();
    Element* e = range ? range->GetParentElement() : nullptr;
    if (!e) return std::optional<bool>(false);
    if (!TagIs(e, WantedTag(IsSpan))) return std::optional<bool>();  // wrap instead
    UndoUnit unit(m, u"Class");
    if (e->GetClassName() != ClassName)
      RewriteKeepingSelection(m, e, OpeningText(IsSpan, ClassName) + e->GetInnerHTML() + ClosingText(IsSpan));
    else
      RewriteKeepingSelection(m, e, e->GetInnerHTML());
    return std::optional<bool>(true);
  });
  if (!toggled) return ApplySpanDivClass(IsSpan, ClassName);
  return *toggled;
}

bool TCustomProfDHTMLEdit::IsHyperlinkSelected(WideString& Href, WideString& Target) {
  Href.clear();
  Target.clear();
  return WithDocument(this, false, [&](THtmlDocument&, Document& m) {
    Element* anchor = EnclosingAnchor(m);
    if (!anchor) return false;
    const std::optional<WideString> href = anchor->GetAttribute(u"href");
    if (!href) return false;
    Href = *href;
    Target = anchor->GetAttribute(u"target").value_or(WideString());
    const WideString base = GetBaseURL();
    const WideString prefix = u"file://" + base;
    if (!base.empty() && Href.compare(0, prefix.size(), prefix) == 0) Href.erase(0, prefix.size());
    return true;
  });
}

bool TCustomProfDHTMLEdit::CanCreateHyperlink() {
  return WithDocument(this, false, [this](THtmlDocument&, Document& m) {
    return NameEnabled(m, u"CreateLink") && !IsTableRangeSelected();
  });
}

bool TCustomProfDHTMLEdit::CreateHyperlink(const WideString& Href, const WideString& Target) {
  if (!CanCreateHyperlink()) return false;
  return WithDocument(this, false, [&](THtmlDocument&, Document& m) {
    UndoUnit unit(m, u"Hyperlink");
    const OleVariant value(Href);
    const bool made = NameExec(m, u"CreateLink", &value);
    if (!made || Target.empty()) return made;
    Selection* selection = m.GetSelection();
    Element* start = nullptr;
    if (selection->GetType() == u"Control") {
      start = selection->GetCommonParentElement();
    } else if (auto range = selection->CreateRange()) {
      range->Collapse(true);
      start = range->GetParentElement();
    }
    Element* anchor = ClimbTo(start, u"A");
    if (!anchor) return false;
    anchor->SetAttribute(u"target", Target);
    return true;
  });
}

bool TCustomProfDHTMLEdit::ModifyHyperlink(const WideString& Href, const WideString& Target) {
  return WithDocument(this, false, [&](THtmlDocument&, Document& m) {
    Element* anchor = EnclosingAnchor(m);
    if (!anchor) return false;
    UndoUnit unit(m, u"Hyperlink");
    anchor->SetAttribute(u"href", Href);
    if (!Target.empty())
      anchor->SetAttribute(u"target", Target);
    else
      anchor->RemoveAttribute(u"target");
    return true;
  });
}
