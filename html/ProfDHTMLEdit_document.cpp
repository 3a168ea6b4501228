// The control's window, painting and change notification, access to the loaded
// document (title, undo, saving, style sheets, the link under the mouse) and the
// selection as text.
#include <cstdio>

#include "html/ProfDHTMLEdit.h"
#include "html/ProfDHTMLEditInternal.h"
#include "html/HtmlUtils.h"
#include "html/SourceFormatter.h"
#include "platform/mshtml/Commands.h"
#include "platform/mshtml/TextRange.h"
#include "platform/ole/OleVariant.h"
#include "platform/rtl/CodePage.h"
#include "platform/rtl/Files.h"
#include "platform/rtl/Streams.h"
#include "platform/vcl/Dialogs.h"
#include "platform/win/Gdi.h"
#include "platform/win/TempFiles.h"

using namespace mshtml;

using profdhtmledit::CommandStatus;
using profdhtmledit::ModelOf;
using profdhtmledit::RunCommand;

namespace {

constexpr Integer kFarBack = -2147483647;

}  // namespace

// --- Window, focus, painting ------------------------------------------------------

HWND TCustomProfDHTMLEdit::GetWindowHandle() {
  THtmlDocument document;
  if (!GetDOM(document)) return 0;
  auto window = document.As<IOleWindow>();
  HWND handle = 0;
  if (!window || FAILED(window->GetWindow(&handle))) return 0;
  return handle;
}

bool TCustomProfDHTMLEdit::Focused() {
  if (TWinControl::Focused()) return true;
  const HWND window = GetWindowHandle();
  return window != 0 && ::GetFocus() == window;
}

void TCustomProfDHTMLEdit::PaintTo(HDC dc, Integer x, Integer y) {
  THtmlDocument document;
  if (!GetDOM(document)) return;
  SetControlState(GetControlState() + csPaintCopy);
  const Integer saved = SaveDC(dc);
  try {
    POINT origin{};
    GetWindowOrgEx(dc, &origin);
    SetWindowOrgEx(dc, origin.x - x, origin.y - y, nullptr);
    IntersectClipRect(dc, 0, 0, GetWidth(), GetHeight());
    RECT r{0, 0, GetWidth(), GetHeight()};
    const LONG_PTR exStyle = HandleAllocated() ? ::GetWindowLong(GetHandle(), GWL_EXSTYLE) : 0;
    const LONG_PTR style = HandleAllocated() ? ::GetWindowLong(GetHandle(), GWL_STYLE) : 0;
    bool edged = false;
    if (exStyle & WS_EX_CLIENTEDGE) {
      DrawEdge(dc, &r, EDGE_SUNKEN, BF_RECT | BF_ADJUST);
      edged = true;
    } else if (style & WS_BORDER) {
      DrawEdge(dc, &r, BDR_OUTER, BF_RECT | BF_ADJUST | BF_MONO);
      edged = true;
    }
    if (edged) {
      SetWindowOrgEx(dc, origin.x - x - r.left, origin.y - y - r.top, nullptr);
      IntersectClipRect(dc, 0, 0, r.right - r.left, r.bottom - r.top);
    }
    if (Layout* layout = document->GetLayout()) {
      RECT clip{0, 0, r.right - r.left, r.bottom - r.top};
      layout->Paint(dc, clip);
    }
  } catch (...) {
  }
  RestoreDC(dc, saved);
  SetControlState(GetControlState() - csPaintCopy);
}

// --- Change notification ----------------------------------------------------------

void TCustomProfDHTMLEdit::CreateChangeLog() {
  try {
    if (RuntimeBrowseMode()) {
      FChangeLog = nullptr;
      if (FChangeSink) FChangeSink->Detach();
      FChangeSink = nullptr;
      return;
    }
    if (FChangeSink) FChangeSink->Detach();
    FChangeSink = MakeComObject<TProfDHTMLEditChangeSink>(this);
    auto container = ReadDOM().As<IMarkupContainer2>();
    if (!container) return;
    ComPtr<IHTMLChangeLog> log;
    if (SUCCEEDED(container->CreateChangeLog(FChangeSink.Get(), log.ReleaseAndGetAddressOf(), TRUE, TRUE)))
      FChangeLog = log;
  } catch (...) {
  }
}

void TCustomProfDHTMLEdit::DisplayChangedHandler(TObject*) {
  if (FReason != dcrUndefined) return;
  try {
    if (!GetBusy() && !RuntimeBrowseMode()) {
      if (FRepairDiv) {
        FRepairDiv = false;
        RepairDiv();
      }
      if (FRepairBr) {
        FRepairBr = false;
        RepairBr();
      }
      THtmlDocument document;
      if (FUseBrOnCarriageReturn && GetDOM(document)) {
        Element* body = ModelOf(document) ? ModelOf(document)->GetBody() : nullptr;
        const WideString html = body ? body->GetInnerHTML() : WideString();
        if (body && (html == u"<P>&nbsp;</P>" || html == u"<DIV>&nbsp;</DIV>") && !CanUndo()) {
          const bool wasModified = GetModified();
          body->SetInnerHTML({});
          if (!wasModified) DoSetModified(false);
        }
      }
    }
  } catch (...) {
    return;
  }
  Raise(OnDisplayChanged);
}

bool TCustomProfDHTMLEdit::SetRTL() {
  THtmlDocument document;
  if (!GetDOM(document) || !ModelOf(document)) return false;
  bool done = false;
  return SUCCEEDED(ExecCommand(*ModelOf(document), u"DirRTL", false, nullptr, &done)) && done;
}

bool TCustomProfDHTMLEdit::SetLTR() {
  THtmlDocument document;
  if (!GetDOM(document) || !ModelOf(document)) return false;
  bool done = false;
  return SUCCEEDED(ExecCommand(*ModelOf(document), u"DirLTR", false, nullptr, &done)) && done;
}

// --- Title, modified flag, undo ---------------------------------------------------

WideString TCustomProfDHTMLEdit::GetTitle() { return GetEngineTitle(); }

void TCustomProfDHTMLEdit::SetTitle(const WideString& text) {
  THtmlDocument document;
  if (!GetDOM(document) || !ModelOf(document)) return;
  try {
    if (GetEngineTitle() != text) ModelOf(document)->SetTitle(text);
  } catch (...) {
  }
}

bool TCustomProfDHTMLEdit::GetModified() { return GetModifiedFlag(); }

void TCustomProfDHTMLEdit::SetModified(bool value) {
  if (!CanGetDOM()) return;
  try {
    if (GetModified() != value) DoSetModified(value);
  } catch (...) {
  }
}

bool TCustomProfDHTMLEdit::CanUndo() {
  THtmlDocument document;
  return GetDOM(document) && (CommandStatus(document, IDM_UNDO) & OLECMDF_ENABLED) != 0;
}
bool TCustomProfDHTMLEdit::CanRedo() {
  THtmlDocument document;
  return GetDOM(document) && (CommandStatus(document, IDM_REDO) & OLECMDF_ENABLED) != 0;
}
bool TCustomProfDHTMLEdit::Undo() {
  THtmlDocument document;
  return GetDOM(document) && RunCommand(document, IDM_UNDO);
}
bool TCustomProfDHTMLEdit::Redo() {
  THtmlDocument document;
  return GetDOM(document) && RunCommand(document, IDM_REDO);
}
bool TCustomProfDHTMLEdit::CanClearUndo() {
  return !RuntimeBrowseMode() && CanGetDOM() && CanUndo() && GetModified();
}
bool TCustomProfDHTMLEdit::ClearUndo() { return CanClearUndo() && DoClearUndo(dcrClearUndo); }

// --- Saving -----------------------------------------------------------------------

bool TCustomProfDHTMLEdit::SaveToFile(const AnsiString& fileName) {
  if (ExtractFileName(fileName).empty() || !CanGetDOM()) return false;
  THtmlDocument document;
  if (!GetDOM(document)) return false;
  const WideString source = GetSource();
  // A document that holds something but reads back empty cannot be saved: writing
  // the empty text would destroy the file.
  if (source.empty()) {
    const Element* body = ModelOf(document) ? ModelOf(document)->GetBody() : nullptr;
    if (body && !body->GetChildNodes().empty()) {
      ShowMessage("The document could not be read for saving");
      return false;
    }
  }
  const AnsiString path = ResolvePath(fileName);
  std::string bytes;
  const AnsiString narrow = WideToAnsi(source);
  if (AnsiToWide(narrow) == source) {
    bytes = narrow;
  } else {
    bytes = "\xFF\xFE";
    for (char16_t c : source) {
      bytes.push_back(static_cast<char>(c & 0xFF));
      bytes.push_back(static_cast<char>(c >> 8));
    }
  }
  // The text is written beside the target first and renamed over it last: a write
  // that fails leaves the old file as it was.
  const AnsiString temp = path + ".~tmp";
  try {
    TFileStream stream(temp, fmCreate);
    if (!bytes.empty()) stream.WriteBuffer(bytes.data(), static_cast<Integer>(bytes.size()));
  } catch (Exception& e) {
    DeleteFile(temp);
    ShowMessage(e.Message());
    return false;
  }
  if (GetFileName() != AnsiToWide(path)) {
    // The engine saves to the path itself, which makes the path its file name.
    try {
      private_SaveToFile(AnsiToWide(path));
    } catch (Exception& e) {
      DeleteFile(temp);
      ShowMessage(e.Message());
      return false;
    }
  }
  if (!MoveFileEx(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING)) {
    DeleteFile(temp);
    ShowMessage("Cannot replace " + path);
    return false;
  }
  return true;
}

// --- Text and lists ---------------------------------------------------------------

WideString TCustomProfDHTMLEdit::GetPlainText() {
  THtmlDocument document;
  if (!GetDOM(document) || !ModelOf(document)) return {};
  try {
    Element* body = ModelOf(document)->GetBody();
    if (!body) return {};
    WideString text = body->GetOuterText();
    if (RuntimeUseDivOnCarriageReturn() || FUseBrOnCarriageReturn) return text;
    WideString doubled;
    for (size_t i = 0; i < text.size(); ++i) {
      if (text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') {
        doubled += u"\r\n\r\n";
        ++i;
      } else {
        doubled += text[i];
      }
    }
    return doubled;
  } catch (...) {
    return {};
  }
}

bool TCustomProfDHTMLEdit::GetImages(TStrings* list) {
  if (!list) return false;
  THtmlDocument document;
  if (!GetDOM(document) || !ModelOf(document)) return false;
  list->Clear();
  try {
    for (Element* image : ModelOf(document)->GetImages())
      list->Add(WideToAnsi(image->GetAttribute(u"src").value_or(WideString())));
  } catch (...) {
  }
  return list->GetCount() > 0;
}

bool TCustomProfDHTMLEdit::GetLinks(TStrings* list) {
  if (!list) return false;
  THtmlDocument document;
  if (!GetDOM(document) || !ModelOf(document)) return false;
  list->Clear();
  try {
    for (Element* link : ModelOf(document)->GetLinks())
      list->Add(WideToAnsi(link->GetAttribute(u"href").value_or(WideString())));
  } catch (...) {
  }
  return list->GetCount() > 0;
}

// --- Style sheets -----------------------------------------------------------------

bool TCustomProfDHTMLEdit::CanAddCSS() { return !RuntimeBrowseMode() && CanGetDOM(); }

bool TCustomProfDHTMLEdit::AddCSS(const WideString& text) {
  if (RuntimeBrowseMode()) return false;
  THtmlDocument document;
  if (!GetDOM(document) || !ModelOf(document)) return false;
  try {
    Document* doc = ModelOf(document);
    const std::vector<StyleSheet*> sheets = doc->GetStyleSheets();
    StyleSheet* target = sheets.empty() ? doc->CreateStyleSheet({}, 0) : sheets.back();
    if (!target) return false;
    target->SetCssText(target->GetCssText() + text);
    return true;
  } catch (...) {
    return false;
  }
}

bool TCustomProfDHTMLEdit::AddCSSFile(const AnsiString& name) {
  if (RuntimeBrowseMode()) return false;
  THtmlDocument document;
  if (!GetDOM(document) || !ModelOf(document)) return false;
  try {
    // The file tested is the file named: a bare name lives in the program folder.
    const AnsiString path = ResolvePath(name);
    const AnsiString address = FileExists(path) ? path : name;
    Document* doc = ModelOf(document);
    return doc->CreateStyleSheet(AnsiToWide(address), static_cast<Integer>(doc->GetStyleSheets().size())) !=
           nullptr;
  } catch (...) {
    return false;
  }
}

// --- Hit tests --------------------------------------------------------------------

WideString TCustomProfDHTMLEdit::HrefAtPoint(Integer x, Integer y) {
  THtmlDocument document;
  if (!GetDOM(document)) return {};
  try {
    Layout* layout = document->GetLayout();
    Element* element = layout ? layout->ElementFromPoint(x, y) : nullptr;
    while (element) {
      const std::optional<WideString> href = element->GetAttribute(u"href");
      if (!href) {
        element = element->GetParentElement();
        continue;
      }
      if (WideSameText(element->GetTagName(), u"IMG")) {
        Element* parent = element->GetParentElement();
        if (parent && WideSameText(parent->GetTagName(), u"A"))
          return parent->GetAttribute(u"href").value_or(WideString());
        return {};
      }
      return *href;
    }
  } catch (...) {
  }
  return {};
}

WideString TCustomProfDHTMLEdit::SrcAtPoint(Integer x, Integer y) {
  THtmlDocument document;
  if (!GetDOM(document)) return {};
  try {
    Layout* layout = document->GetLayout();
    Element* element = layout ? layout->ElementFromPoint(x, y) : nullptr;
    if (!element) return {};
    return element->GetAttribute(u"src").value_or(WideString());
  } catch (...) {
    return {};
  }
}

bool TCustomProfDHTMLEdit::IsEverythingSelected() {
  THtmlDocument document;
  if (!GetDOM(document) || !ModelOf(document)) return false;
  try {
    Document* doc = ModelOf(document);
    Selection* selection = doc->GetSelection();
    if (selection->GetType() != u"Text") return false;
    std::unique_ptr<TextRange> range = selection->CreateRange();
    if (!range) return false;
    WideString html = range->GetHtmlText();
    if (html.empty()) {
      Element* parent = range->GetParentElement();
      html = parent ? parent->GetInnerHTML() : WideString();
    }
    Element* bodyElement = doc->GetBody();
    const WideString body = bodyElement ? bodyElement->GetInnerHTML() : WideString();
    if (html == body || html == u"\r\n" + body) return true;
    // All the text of a page that is one block: the engine's markup of the range is
    // the block's content without the block's own tags.
    return bodyElement && range->GetRoot() == bodyElement && range->CoversWholeContent();
  } catch (...) {
    return false;
  }
}

void TCustomProfDHTMLEdit::SaveBody() {
  THtmlDocument document;
  if (!GetDOM(document) || !ModelOf(document)) return;
  try {
    if (Element* body = ModelOf(document)->GetBody()) FSavedBody = body->GetInnerHTML();
  } catch (...) {
  }
}

bool TCustomProfDHTMLEdit::InsertHTML(const WideString& text) {
  if (RuntimeBrowseMode()) return false;
  THtmlDocument document;
  if (!GetDOM(document) || !ModelOf(document)) return false;
  try {
    Document* doc = ModelOf(document);
    Element* baseFont = nullptr;
    const ElementList fonts = doc->GetElementsByTagName(u"basefont");
    if (fonts.size() == 1) baseFont = fonts.front();
    Selection* selection = doc->GetSelection();
    if (selection->GetType() == u"Control") {
      Element* parent = selection->GetCommonParentElement();
      if (parent && parent->GetOuterHTML() != text) parent->SetOuterHTML(text);
    } else if (std::unique_ptr<TextRange> range = selection->CreateRange()) {
      if (range->GetHtmlText() != text) range->PasteHTML(text);
    }
    const ElementList heads = doc->GetElementsByTagName(u"head");
    if (baseFont && heads.size() == 1) {
      heads.front()->AppendChild(baseFont);
      const WideString source = GetSource();
      // A source that reads back empty is not reloaded: that would wipe the document.
      if (source.empty()) return false;
      SetSource(source);
    }
    return true;
  } catch (...) {
    return false;
  }
}

// --- Selection as text ------------------------------------------------------------

WideString TCustomProfDHTMLEdit::GetSelText() {
  THtmlDocument document;
  if (!GetDOM(document) || !ModelOf(document)) return {};
  try {
    Selection* selection = ModelOf(document)->GetSelection();
    if (selection->GetType() != u"Text") return {};
    std::unique_ptr<TextRange> range = selection->CreateRange();
    return range ? range->GetText() : WideString();
  } catch (...) {
    return {};
  }
}

void TCustomProfDHTMLEdit::SetSelText(const WideString& text) {
  THtmlDocument document;
  if (!GetDOM(document) || !ModelOf(document)) return;
  try {
    Selection* selection = ModelOf(document)->GetSelection();
    if (selection->GetType() == u"Control") return;
    std::unique_ptr<TextRange> range = selection->CreateRange();
    if (range && range->GetText() != text) {
      range->SetText(text);
      selection->Select(*range);
    }
  } catch (...) {
  }
}

Integer TCustomProfDHTMLEdit::GetSelStart() {
  THtmlDocument document;
  if (!GetDOM(document) || !ModelOf(document)) return -1;
  try {
    Document* doc = ModelOf(document);
    Selection* selection = doc->GetSelection();
    if (selection->GetType() == u"Control") return -1;
    std::unique_ptr<TextRange> range = selection->CreateRange();
    if (!range) return -1;
    const Integer moved = range->Move(u"character", kFarBack);
    if (moved == 0) return 0;
    WideString html =
        AdjustPreservedOuterHTML(doc->GetBody() ? doc->GetBody()->GetInnerHTML() : WideString());
    // Without comments: each from "<!--" through the next "-->".
    for (;;) {
      const size_t open = html.find(u"<!--");
      if (open == WideString::npos) break;
      const size_t close = html.find(u"-->", open);
      if (close == WideString::npos) break;
      html.erase(open, close + 3 - open);
    }
    Integer result = -moved;
    if (html == u"<P>&nbsp;</P>" || html == u"<DIV>&nbsp;</DIV>" || html.compare(0, 7, u"<P></P>") == 0) --result;
    return result;
  } catch (...) {
    return -1;
  }
}

void TCustomProfDHTMLEdit::SetSelStart(Integer start) {
  if (start < 0) start = 0;
  THtmlDocument document;
  if (!GetDOM(document) || !ModelOf(document)) return;
  try {
    Document* doc = ModelOf(document);
    if (!doc->GetBody()) return;
    std::unique_ptr<TextRange> range = doc->CreateTextRange();
    range->Move(u"character", start);
    doc->GetSelection()->Select(*range);
    if (GetSelStart() == start - 1) {
      range->Move(u"character", 1);
      doc->GetSelection()->Select(*range);
      if (GetSelStart() == start + 1) {
        range->Move(u"character", -1);
        doc->GetSelection()->Select(*range);
      }
    }
  } catch (...) {
  }
}

Integer TCustomProfDHTMLEdit::GetSelLength() {
  THtmlDocument document;
  if (!GetDOM(document) || !ModelOf(document)) return -1;
  try {
    Selection* selection = ModelOf(document)->GetSelection();
    if (selection->GetType() != u"Text") return 0;
    std::unique_ptr<TextRange> range = selection->CreateRange();
    if (!range) return -1;
    const Integer a = range->MoveStart(u"character", kFarBack);
    const Integer b = range->MoveEnd(u"character", kFarBack);
    return (-b) - (-a);
  } catch (...) {
    return -1;
  }
}

void TCustomProfDHTMLEdit::SetSelLength(Integer length) {
  if (length < 0) length = 0;
  THtmlDocument document;
  if (!GetDOM(document) || !ModelOf(document)) return;
  try {
    Selection* selection = ModelOf(document)->GetSelection();
    if (selection->GetType() == u"Control") return;
    std::unique_ptr<TextRange> range = selection->CreateRange();
    if (!range) return;
    range->Collapse(true);
    if (length > 0) range->MoveEnd(u"character", length);
    selection->Select(*range);
  } catch (...) {
  }
}
