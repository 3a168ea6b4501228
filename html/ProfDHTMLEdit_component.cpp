// The control that hosts the DHTML editing component: its control record and event
// table, the component's properties by DISPID, the document-complete state machine
// that finishes every load, undo clearing and the modified flag.
#include <cstddef>

#include "html/ProfDHTMLEdit.h"
#include "platform/mshtml/Commands.h"
#include "platform/ole/OleVariant.h"
#include "platform/ole/Stream.h"
#include "platform/rtl/CodePage.h"
#include "platform/rtl/Streams.h"
#include "platform/win/Input.h"
#include "platform/win/Messages.h"

using namespace mshtml;

namespace {

const DISPID kEventIds[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};

TControlData& EditControlData() {
  static TControlData data = [] {
    TControlData d;
    d.ClassID = CLSID_DHTMLEdit;
    d.EventIID = DIID_DHTMLEditEvents;
    d.EventCount = 16;
    d.EventDispIDs = kEventIds;
    d.Flags = 0;
    d.Version = 401;
    return d;
  }();
  return data;
}

Integer ArgInt(VARIANT* const* args, UINT count, UINT i) {
  if (i >= count || !args[i]) return 0;
  VARIANT* v = args[i];
  if (v->vt & VT_BYREF) v = v->pvarVal;
  try {
    return OleVariant(*v).AsInteger();
  } catch (...) {
    return 0;
  }
}

}  // namespace

TProfDHTMLEdit::TProfDHTMLEdit(TComponent* owner) : TCustomProfDHTMLEdit(owner) {
  auto plain = [this](void (TProfDHTMLEdit::*handler)(TObject*)) -> TOleEventMethod {
    return [this, handler](TObject* sender, VARIANT* const*, UINT) { (this->*handler)(sender); };
  };
  auto base = [this](void (TCustomProfDHTMLEdit::*handler)(TObject*)) -> TOleEventMethod {
    return [this, handler](TObject* sender, VARIANT* const*, UINT) { (this->*handler)(sender); };
  };
  FEvents = {
      plain(&TProfDHTMLEdit::DocumentCompleteHandler),
      base(&TCustomProfDHTMLEdit::DisplayChangedHandler),
      [this](TObject* sender, VARIANT* const* args, UINT count) {
        ShowContextMenuHandler(sender, ArgInt(args, count, 0), ArgInt(args, count, 1));
      },
      [this](TObject* sender, VARIANT* const* args, UINT count) {
        ContextMenuActionHandler(sender, ArgInt(args, count, 0));
      },
      base(&TCustomProfDHTMLEdit::MouseDownHandler),
      base(&TCustomProfDHTMLEdit::MouseMoveHandler),
      base(&TCustomProfDHTMLEdit::MouseUpHandler),
      base(&TCustomProfDHTMLEdit::MouseOutHandler),
      base(&TCustomProfDHTMLEdit::MouseOverHandler),
      base(&TCustomProfDHTMLEdit::ClickHandler),
      base(&TCustomProfDHTMLEdit::DblClickHandler),
      base(&TCustomProfDHTMLEdit::KeyDownHandler),
      base(&TCustomProfDHTMLEdit::KeyPressHandler),
      base(&TCustomProfDHTMLEdit::KeyUpHandler),
      base(&TCustomProfDHTMLEdit::BlurHandler),
      base(&TCustomProfDHTMLEdit::ReadyStateChangeHandler),
  };
  InitializeSite();
  ApplyControlStyle();
}

TProfDHTMLEdit::~TProfDHTMLEdit() {
  // The event table goes with this object: the component is disconnected and its
  // window given back first, so no event reaches a handler that is gone.
  DestroyHandle();
  DestroyControl();
}

void TProfDHTMLEdit::InitControlData() {
  TControlData& data = EditControlData();
  data.EventsOffset =
      reinterpret_cast<char*>(FEvents.data()) - reinterpret_cast<char*>(static_cast<TWinControl*>(this));
  SetControlData(&data);
}

AnsiString TProfDHTMLEdit::GetAbout() { return "Larkspool HTML editing control, version 1.7.4.9"; }

// --- The component's properties -----------------------------------------------------

bool TProfDHTMLEdit::PropertyBool(DISPID id, bool onFailure) {
  try {
    return GetWordBoolProp(id);
  } catch (...) {
    return onFailure;
  }
}

Integer TProfDHTMLEdit::GetAppearance() { return GetIntegerProp(DISPID_DHTMLEDIT_APPEARANCE); }
void TProfDHTMLEdit::SetAppearance(Integer value) { SetIntegerProp(DISPID_DHTMLEDIT_APPEARANCE, value); }
bool TProfDHTMLEdit::GetBrowseMode() { return GetWordBoolProp(DISPID_DHTMLEDIT_BROWSEMODE); }
void TProfDHTMLEdit::SetBrowseMode(bool value) { SetWordBoolProp(DISPID_DHTMLEDIT_BROWSEMODE, value); }
bool TProfDHTMLEdit::GetScrollbars() { return GetWordBoolProp(DISPID_DHTMLEDIT_SCROLLBARS); }
void TProfDHTMLEdit::SetScrollbars(bool value) { SetWordBoolProp(DISPID_DHTMLEDIT_SCROLLBARS, value); }
bool TProfDHTMLEdit::GetShowBorders() { return GetWordBoolProp(DISPID_DHTMLEDIT_SHOWBORDERS); }
void TProfDHTMLEdit::SetShowBorders(bool value) { SetWordBoolProp(DISPID_DHTMLEDIT_SHOWBORDERS, value); }
bool TProfDHTMLEdit::GetShowDetails() { return GetWordBoolProp(DISPID_DHTMLEDIT_SHOWDETAILS); }
void TProfDHTMLEdit::SetShowDetails(bool value) { SetWordBoolProp(DISPID_DHTMLEDIT_SHOWDETAILS, value); }
bool TProfDHTMLEdit::GetSourceCodePreservation() {
  return GetWordBoolProp(DISPID_DHTMLEDIT_SOURCECODEPRESERVATION);
}
void TProfDHTMLEdit::SetSourceCodePreservation(bool value) {
  SetWordBoolProp(DISPID_DHTMLEDIT_SOURCECODEPRESERVATION, value);
}
bool TProfDHTMLEdit::GetUseDivOnCarriageReturn() { return GetWordBoolProp(DISPID_DHTMLEDIT_USEDIVONCR); }
void TProfDHTMLEdit::SetUseDivOnCarriageReturn(bool value) { SetWordBoolProp(DISPID_DHTMLEDIT_USEDIVONCR, value); }
void TProfDHTMLEdit::RuntimeSetShowDetails(bool value) { SetWordBoolProp(DISPID_DHTMLEDIT_SHOWDETAILS, value); }

bool TProfDHTMLEdit::RuntimeBrowseMode() { return PropertyBool(DISPID_DHTMLEDIT_BROWSEMODE, false); }
bool TProfDHTMLEdit::RuntimeUseDivOnCarriageReturn() { return PropertyBool(DISPID_DHTMLEDIT_USEDIVONCR, false); }
bool TProfDHTMLEdit::RuntimeShowDetails() { return PropertyBool(DISPID_DHTMLEDIT_SHOWDETAILS, false); }
bool TProfDHTMLEdit::RuntimeSourceCodePreservation() {
  return PropertyBool(DISPID_DHTMLEDIT_SOURCECODEPRESERVATION, false);
}

bool TProfDHTMLEdit::GetBusy() { return PropertyBool(DISPID_DHTMLEDIT_BUSY, true); }
bool TProfDHTMLEdit::GetModifiedFlag() { return PropertyBool(DISPID_DHTMLEDIT_ISDIRTY, false); }

WideString TProfDHTMLEdit::GetFileName() {
  try {
    return GetWideStringProp(DISPID_DHTMLEDIT_CURRENTDOCUMENTPATH);
  } catch (...) {
    return {};
  }
}
WideString TProfDHTMLEdit::GetBaseURL() {
  try {
    return GetWideStringProp(DISPID_DHTMLEDIT_BASEURL);
  } catch (...) {
    return {};
  }
}
WideString TProfDHTMLEdit::GetEngineTitle() {
  if (!CanGetDOM()) return {};
  try {
    return GetWideStringProp(DISPID_DHTMLEDIT_DOCUMENTTITLE);
  } catch (...) {
    return {};
  }
}
WideString TProfDHTMLEdit::GetHTML() {
  try {
    return GetWideStringProp(DISPID_DHTMLEDIT_DOCUMENTHTML);
  } catch (...) {
    return {};
  }
}

// --- Requests -----------------------------------------------------------------------

ComPtr<IDHTMLEdit> TProfDHTMLEdit::Editor() {
  OleVariant object = GetOleObject();
  ComPtr<IDispatch> dispatch = object.AsDispatch();
  ComPtr<IDHTMLEdit> editor;
  OleCheck(dispatch.As(&editor));
  return editor;
}

void TProfDHTMLEdit::private_NewDocument(const WideString&) { OleCheck(Editor()->NewDocument()); }
void TProfDHTMLEdit::private_LoadURL(const WideString& param) { OleCheck(Editor()->LoadURL(param.c_str())); }
void TProfDHTMLEdit::private_LoadFromFile(const WideString& param) {
  OleVariant path(param);
  OleVariant prompt = OleVariant::Missing();
  OleCheck(Editor()->LoadDocument(&path, &prompt));
}
void TProfDHTMLEdit::private_SaveToFile(const WideString& param) {
  OleVariant path(param);
  OleVariant prompt = OleVariant::Missing();
  OleCheck(Editor()->SaveDocument(&path, &prompt));
}
void TProfDHTMLEdit::private_SetBaseURL(const WideString& param) {
  SetWideStringProp(DISPID_DHTMLEDIT_BASEURL, param);
}
void TProfDHTMLEdit::private_SetSource(const WideString& param) {
  SetWideStringProp(DISPID_DHTMLEDIT_DOCUMENTHTML, param);
}

// --- The document -------------------------------------------------------------------

bool TProfDHTMLEdit::CanGetDOM() { return FReason == dcrUndefined && !GetBusy(); }
bool TProfDHTMLEdit::CanNewDocument() { return FReason != dcrCreate; }

bool TProfDHTMLEdit::GetDOM(THtmlDocument& document) {
  document = nullptr;
  if (FReason != dcrUndefined || GetBusy()) return false;
  try {
    document = ReadDOM();
    return static_cast<bool>(document);
  } catch (...) {
    document = nullptr;
    return false;
  }
}

THtmlDocument TProfDHTMLEdit::ReadDOM() {
  ComPtr<IDispatch> dom;
  OleCheck(Editor()->get_DOM(dom.ReleaseAndGetAddressOf()));
  THtmlDocument document;
  OleCheck(dom.As(&document));
  return document;
}

WideString TProfDHTMLEdit::MSSource() {
  THtmlDocument document;
  if (!GetDOM(document)) return {};
  try {
    auto persist = document.As<IPersistStreamInit>();
    if (!persist) return {};
    TMemoryStream memory;
    ComPtr<IStream> stream(new TStreamAdapter(&memory));
    OleCheck(persist->Save(stream.Get(), FALSE));
    const Int64 size = memory.GetSize();
    WideString text(static_cast<size_t>(size / 2), u'\0');
    const auto* bytes = static_cast<const unsigned char*>(memory.Memory());
    for (size_t i = 0; i < text.size(); ++i)
      text[i] = static_cast<char16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
    if (!text.empty()) text.erase(0, 1);
    return text;
  } catch (...) {
    return {};
  }
}

bool TProfDHTMLEdit::NewDocument() {
  if (!CanNewDocument()) return false;
  if (!CallAndWait(nullptr, dcrNewDocument, &TCustomProfDHTMLEdit::private_NewDocument, {})) return false;
  if (!RuntimeBrowseMode()) {
    THtmlDocument document;
    if (FUseBrOnCarriageReturn && GetDOM(document)) {
      try {
        if (Element* body = document->GetDocument()->GetBody()) body->SetInnerHTML({});
      } catch (...) {
      }
      DoClearUndo(dcrNewDocument2);
      DoSetModified(false);
    } else if (RuntimeUseDivOnCarriageReturn() && GetDOM(document)) {
      try {
        if (Element* body = document->GetDocument()->GetBody()) body->SetInnerHTML(u"<div></div>");
      } catch (...) {
      }
      DoClearUndo(dcrNewDocument2);
      DoSetModified(false);
    }
  }
  Raise(OnNewDocument);
  return true;
}

void TProfDHTMLEdit::DoSetModified(bool value) {
  try {
    if (GetBusy()) return;
    auto target = ReadDOM().As<IOleCommandTarget>();
    if (!target) return;
    OleVariant in(value);
    target->Exec(&CGID_MSHTML, IDM_SETDIRTY, OLECMDEXECOPT_DODEFAULT, &in, nullptr);
  } catch (...) {
  }
}

bool TProfDHTMLEdit::DoClearUndo(TProfDHTMLEditDocumentCompleteReason reason) {
  if (RuntimeBrowseMode()) return false;
  THtmlDocument document;
  if (!GetDOM(document)) return false;
  try {
    Document* doc = document->GetDocument();
    if (!doc) return false;
    const Integer start = GetSelStart();
    const Integer length = GetSelLength();
    FReason = dcrClearUndo2;
    doc->SetDesignMode(u"off");
    if (!WaitForReason()) throw EOleError("The editing component did not complete");
    FReason = reason;
    doc->SetDesignMode(u"on");
    if (!WaitForReason()) throw EOleError("The editing component did not complete");
    SetSelStart(start);
    if (length != 0) SetSelLength(length);
    return true;
  } catch (...) {
    // A reason left pending would make every later request refuse.
    FReason = dcrUndefined;
    return false;
  }
}

void TProfDHTMLEdit::RePutBody() {
  THtmlDocument document = ReadDOM();
  Element* body = document->GetDocument() ? document->GetDocument()->GetBody() : nullptr;
  if (body) body->SetInnerHTML(body->GetInnerHTML());
}

void TProfDHTMLEdit::FocusDocumentWindow() {
  try {
    auto window = ReadDOM().As<IOleWindow>();
    HWND handle = 0;
    if (window && SUCCEEDED(window->GetWindow(&handle)) && handle) ::SetFocus(handle);
  } catch (...) {
  }
}

void TProfDHTMLEdit::DocumentCompleteHandler(TObject*) {
  FLoadingDocument = nullptr;
  // Pictures in the page are read through the image library (once per component: a
  // control made where an earlier one stood in memory is still a new one).
  try {
    THtmlDocument document = ReadDOM();
    if (document && !FPictureLoaderSet) {
      document->SetImageLoader(&LoadPagePicture);
      FPictureLoaderSet = true;
    }
  } catch (...) {
  }
  const TProfDHTMLEditDocumentCompleteReason reason = FReason;
  switch (reason) {
    case dcrUndefined:
      Raise(OnSetBrowseMode);
      break;
    case dcrCreate:
      FReason = dcrUndefined;
      if (!RuntimeBrowseMode()) {
        if (FUseBrOnCarriageReturn) {
          THtmlDocument document = ReadDOM();
          if (Element* body = document->GetDocument()->GetBody()) body->SetInnerHTML({});
        } else {
          RePutBody();
        }
        DoClearUndo(dcrCreate2);
        DoSetModified(false);
      }
      if (Focused()) FocusDocumentWindow();
      Raise(OnCreate);
      break;
    case dcrCreate2:
    case dcrSetSource2:
    case dcrSetSource3:
    case dcrNewDocument2:
    case dcrLoadURL2:
    case dcrLoadFromFile2:
    case dcrOpenDialog2:
    case dcrClearUndo2:
      FReason = dcrUndefined;
      break;
    case dcrTimeout:
      FReason = dcrUndefined;
      FSourceLoaded = false;
      Raise(OnTimeout);
      break;
    case dcrSetSource:
      FReason = dcrUndefined;
      FSourceLoaded = true;
      if (!RuntimeBrowseMode()) {
        RePutBody();
        SetSelStart(0);
        DoClearUndo(dcrSetSource2);
        DoSetModified(false);
      }
      break;
    case dcrNewDocument:
      FReason = dcrUndefined;
      FSourceLoaded = false;
      break;
    case dcrLoadURL:
    case dcrLoadFromFile:
    case dcrOpenDialog:
      FReason = dcrUndefined;
      FSourceLoaded = true;
      if (CanUndo() && !RuntimeBrowseMode()) {
        RePutBody();
        SetSelStart(0);
        DoClearUndo(reason == dcrLoadURL        ? dcrLoadURL2
                    : reason == dcrLoadFromFile ? dcrLoadFromFile2
                                                : dcrOpenDialog2);
        DoSetModified(false);
      }
      break;
    case dcrStop:
      FReason = dcrUndefined;
      FSourceLoaded = true;
      Raise(OnStop);
      break;
    case dcrSetBaseURL:
      FReason = dcrUndefined;
      Raise(OnSetBaseURL);
      break;
    case dcrClearUndo:
      FReason = dcrUndefined;
      Raise(OnClearUndo);
      break;
  }
  CreateChangeLog();
}

void TProfDHTMLEdit::ShowContextMenuHandler(TObject*, Integer xPos, Integer yPos) {
  if (xPos != 0 || yPos != 0) return;
  const TPoint origin = ClientToScreen(Point(0, 0));
  const LPARAM point = static_cast<LPARAM>((static_cast<uint32_t>(origin.y & 0xFFFF) << 16) |
                                           static_cast<uint32_t>(origin.x & 0xFFFF));
  Perform(WM_CONTEXTMENU, reinterpret_cast<WPARAM>(HandleAllocated() ? GetHandle() : 0), point);
}

void TProfDHTMLEdit::WndProc(TMessage& message) {
  // An enabled control has its window (and so its component) before the site hears.
  if (message.Msg == CM_ENABLEDCHANGED && GetEnabled()) HandleNeeded();
  TCustomProfDHTMLEdit::WndProc(message);
  if (message.Msg >= CN_KEYDOWN && message.Msg <= CN_KEYDOWN + 8 && message.Result == 1 &&
      GetKeyState(VK_CONTROL) < 0) {
    if (message.WParam == 'K' || message.WParam == 'T') {
      Perform(WM_KEYDOWN, message.WParam, 0);
    } else if (message.WParam == 'S') {
      TMessage again{WM_KEYDOWN, message.WParam, 0, 0};
      Dispatch(again);
    }
  }
  if (message.Msg == WM_SETFOCUS) {
    THtmlDocument document;
    if (GetDOM(document)) FocusDocumentWindow();
  }
}

// --- Glyphs ---------------------------------------------------------------------------

namespace {

// Shows the glyphs of the command, or redraws without extra glyphs: the details
// switched off and back to what they were.
void ShowGlyphs(TProfDHTMLEdit& control, DWORD command, bool value) {
  THtmlDocument document;
  if (!control.GetDOM(document)) return;
  try {
    if (value) {
      auto target = document.As<IOleCommandTarget>();
      OleVariant on(true);
      if (target) target->Exec(&CGID_MSHTML, command, OLECMDEXECOPT_DODEFAULT, &on, nullptr);
      return;
    }
    const bool details = control.RuntimeShowDetails();
    control.RuntimeSetShowDetails(false);
    control.RuntimeSetShowDetails(details);
  } catch (...) {
  }
}

}  // namespace

void TProfDHTMLEdit::SetShowBrTags(bool value) { ShowGlyphs(*this, IDM_SHOWLINEBREAKGLYPHS, value); }
void TProfDHTMLEdit::SetShowCommentTags(bool value) { ShowGlyphs(*this, IDM_SHOWCOMMENTGLYPHS, value); }
