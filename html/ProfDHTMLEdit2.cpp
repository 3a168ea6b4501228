// TProfDHTMLEdit2: start-up, the browser's events, the document events it attaches,
// its host answers and the document operations on the browser's document.
#include "html/ProfDHTMLEdit2.h"

#include "html/HtmlUtils.h"
#include "html/ProfDHTMLEditCommandsInternal.h"
#include "html/ProfDHTMLEditDocTables.h"
#include "platform/ole/Com.h"
#include "platform/ole/OleErrors.h"
#include "platform/ole/Stream.h"
#include "platform/rtl/CodePage.h"
#include "platform/rtl/Files.h"
#include "platform/rtl/Streams.h"
#include "platform/vcl/Dialogs.h"
#include "platform/win/Messages.h"

using namespace mshtml;
using namespace profcmd;

namespace {

const DISPID kBrowserEventIds[33] = {102, 108, 105, 106, 104, 113, 112, 250, 251, 252, 259,
                                     253, 254, 255, 256, 257, 258, 260, 262, 264, 265, 266,
                                     267, 263, 268, 269, 270, 271, 225, 226, 227, 272, 273};
constexpr size_t kDocumentCompleteSlot = 10;

TControlData& BrowserControlData() {
  static TControlData data = [] {
    TControlData d;
    d.ClassID = CLSID_WebBrowser;
    d.EventIID = DIID_DWebBrowserEvents2;
    d.EventCount = 33;
    d.EventDispIDs = kBrowserEventIds;
    d.LicenseKey = nullptr;  // no licence key
    d.Flags = 0;
    d.Version = 401;
    return d;
  }();
  return data;
}

// The twelve events attached to every document, with their names.
struct AttachedEvent {
  TDHTMLEvent Event;
  const char16_t* Name;
};
constexpr AttachedEvent kAttached[12] = {
    {_onkeydown, u"onkeydown"},     {_onkeyup, u"onkeyup"},         {_onkeypress, u"onkeypress"},
    {_onmousedown, u"onmousedown"}, {_onmousemove, u"onmousemove"}, {_onmouseup, u"onmouseup"},
    {_onmouseover, u"onmouseover"}, {_onmouseout, u"onmouseout"},   {_onclick, u"onclick"},
    {_ondblclick, u"ondblclick"},   {_onreadystatechange, u"onreadystatechange"}, {_onblur, u"onblur"}};

constexpr HRESULT kNotImplemented = E_NOTIMPL;

}  // namespace

// --- The event sink ---------------------------------------------------------------------

HRESULT TProfDHTMLEdit2EventHandler::GetTypeInfoCount(UINT* count) {
  if (count) *count = 0;
  return S_OK;
}
HRESULT TProfDHTMLEdit2EventHandler::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
  if (info) *info = nullptr;
  return S_OK;
}
HRESULT TProfDHTMLEdit2EventHandler::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) { return S_OK; }
HRESULT TProfDHTMLEdit2EventHandler::Invoke(DISPID, REFIID, LCID, Word, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                            UINT*) {
  if (owner_) owner_->HandleEvent(event_);
  return S_OK;
}

// --- Construction and start-up -------------------------------------------------------------

TProfDHTMLEdit2::TProfDHTMLEdit2(TComponent* owner) : TCustomProfDHTMLEdit(owner) {
  for (TOleEventMethod& method : FEvents) method = [](TObject*, VARIANT* const*, UINT) {};
  FEvents[kDocumentCompleteSlot] = [this](TObject* sender, VARIANT* const*, UINT) {
    DocumentCompleteHandler(sender);
  };
  InitializeSite();
  ApplyControlStyle();
}

TProfDHTMLEdit2::~TProfDHTMLEdit2() {
  for (auto& handler : FHandlers)
    if (handler) handler->Detach();
  DestroyHandle();
  DestroyControl();
}

HRESULT TProfDHTMLEdit2::QueryInterface(REFIID riid, void** object) {
  if (object && riid == IID_IDocHostUIHandler) {
    *object = static_cast<IDocHostUIHandler*>(this);
    AddRef();
    return S_OK;
  }
  return TProfOleControl::QueryInterface(riid, object);
}

void TProfDHTMLEdit2::InitControlData() {
  TControlData& data = BrowserControlData();
  data.EventsOffset =
      reinterpret_cast<char*>(FEvents.data()) - reinterpret_cast<char*>(static_cast<TWinControl*>(this));
  SetControlData(&data);
}

bool TProfDHTMLEdit2::AtDesignOrLoad() const {
  const TComponentState state = GetComponentState();
  return state.Contains(csLoading) || state.Contains(csDesigning);
}

void TProfDHTMLEdit2::Loaded() {
  TCustomProfDHTMLEdit::Loaded();
  if (!GetComponentState().Contains(csDesigning)) InitializeRuntime();
}

// The browser's first document is a navigation to about:blank of its own; a control
// read from a form asks for it once more, as the browser expects of its host.
void TProfDHTMLEdit2::InitializeRuntime() { Navigate(u"about:blank"); }

ComPtr<IWebBrowser2> TProfDHTMLEdit2::Browser() {
  ComPtr<IWebBrowser2> browser;
  if (IOleObject* object = GetOleObjectInterface()) ComPtr<IOleObject>(object).As(&browser);
  return browser;
}

void TProfDHTMLEdit2::Navigate(const WideString& url) {
  ComPtr<IWebBrowser2> browser = Browser();
  if (!browser) throw EOleSysError("The browser is not available", E_UNEXPECTED);
  OleVariant empty[4];
  const HRESULT hr = browser->Navigate(url.c_str(), &empty[0], &empty[1], &empty[2], &empty[3]);
  if (FAILED(hr)) throw EOleSysError({}, hr);
}

void TProfDHTMLEdit2::WndProc(TMessage& message) {
  // Focus stays where the browser put it: the site's own focus handling does not run.
  if (message.Msg == WM_SETFOCUS) return;
  TCustomProfDHTMLEdit::WndProc(message);
}

AnsiString TProfDHTMLEdit2::GetAbout() { return "Larkspool HTML editing control 2, version 2.0 Preview"; }

// --- Document access -------------------------------------------------------------------

bool TProfDHTMLEdit2::GetDOM(THtmlDocument& document) {
  document = nullptr;
  if (GetBusy()) return false;
  try {
    document = ReadDOM();
  } catch (...) {
    document = nullptr;
  }
  return static_cast<bool>(document);
}

THtmlDocument TProfDHTMLEdit2::ReadDOM() {
  ComPtr<IWebBrowser2> browser = Browser();
  if (!browser) throw EOleSysError("The browser is not available", E_UNEXPECTED);
  ComPtr<IDispatch> dispatch;
  const HRESULT hr = browser->get_Document(dispatch.ReleaseAndGetAddressOf());
  if (FAILED(hr) || !dispatch) throw EOleSysError({}, FAILED(hr) ? hr : E_UNEXPECTED);
  THtmlDocument document;
  if (FAILED(dispatch.As(&document))) throw EOleSysError({}, E_NOINTERFACE);
  return document;
}

Document* TProfDHTMLEdit2::Model() {
  THtmlDocument document = ReadDOM();
  Document* model = document->GetDocument();
  if (!model) throw EOleSysError({}, E_UNEXPECTED);
  return model;
}

void TProfDHTMLEdit2::ReadyStateChangeHandler(TObject*) {
  try {
    (void)ReadDOM()->GetReadyState();
  } catch (...) {
  }
}

WideString TProfDHTMLEdit2::GetEngineTitle() {
  THtmlDocument document;
  if (!GetDOM(document) || !ModelOf(document)) return {};
  return ModelOf(document)->GetTitle();
}

// --- Completion of loads -------------------------------------------------------------------

void TProfDHTMLEdit2::RestoreEditMode() {
  if (FDesignBrowseMode || FBrowseChosen) return;
  Document* model = Model();
  if (model->GetDesignMode() != u"On") model->SetDesignMode(u"on");
}

// After a completed load: glyphs again, fresh sinks, a new change log.
void TProfDHTMLEdit2::Finish() {
  if (FShowDetails) DoSetShowDetails(true);
  AttachEvents();
  CreateChangeLog();
}

void TProfDHTMLEdit2::DocumentCompleteHandler(TObject*) {
  const TProfDHTMLEditDocumentCompleteReason reason = FReason;
  FReason = dcrUndefined;
  bool replaced = false;
  try {
    replaced = Model()->GetLoadCount() != FLoadCount;
  } catch (...) {
  }
  try {
    switch (reason) {
      case dcrUndefined:
        // A load nobody asked for (or a mode switch): a new document still needs
        // its sinks and its change log.
        if (replaced) {
          AttachEvents();
          CreateChangeLog();
        }
        break;
      case dcrCreate:
        if (!FDesignBrowseMode) Model()->SetDesignMode(u"on");
        Raise(OnCreate);
        Finish();
        break;
      case dcrTimeout:
        FSourceLoaded = false;
        RestoreEditMode();
        Raise(OnTimeout);
        Finish();
        break;
      case dcrSetSource:
      case dcrSetSource3:
      case dcrLoadFromFile:
      case dcrOpenDialog:
        FSourceLoaded = true;
        Finish();
        break;
      case dcrLoadURL:
        FSourceLoaded = true;
        RestoreEditMode();
        Finish();
        break;
      case dcrNewDocument:
        FSourceLoaded = false;
        RestoreEditMode();
        Finish();
        break;
      case dcrSetBaseURL:
        Raise(OnSetBaseURL);
        // The reload replaced the document: without new sinks its events and edits
        // would no longer reach the control.
        if (replaced) {
          AttachEvents();
          CreateChangeLog();
        }
        break;
      default:
        FSourceLoaded = false;
        AttachEvents();
        CreateChangeLog();
        break;
    }
  } catch (...) {
  }
}

void TProfDHTMLEdit2::AttachEvents() {
  for (auto& handler : FHandlers)
    if (handler) handler->Detach();
  THtmlDocument document = ReadDOM();
  auto events = document.As<IHTMLDocument3>();
  if (!events) throw EOleSysError({}, E_NOINTERFACE);
  for (size_t i = 0; i < FHandlers.size(); ++i) {
    FHandlers[i] = MakeComObject<TProfDHTMLEdit2EventHandler>(this, kAttached[i].Event);
    VARIANT_BOOL attached = VARIANT_FALSE;
    events->attachEvent(kAttached[i].Name, FHandlers[i].Get(), &attached);
  }
  if (Document* model = document->GetDocument()) FLoadCount = model->GetLoadCount();
  if (GetModified()) DoSetModified(false);
}

void TProfDHTMLEdit2::HandleEvent(TDHTMLEvent event) {
  switch (event) {
    case _onblur: BlurHandler(this); break;
    case _onclick: ClickHandler(this); break;
    case _ondblclick: DblClickHandler(this); break;
    case _onkeydown: KeyDownHandler(this); break;
    case _onkeypress: KeyPressHandler(this); break;
    case _onkeyup: KeyUpHandler(this); break;
    case _onmousedown: MouseDownHandler(this); break;
    case _onmousemove: MouseMoveHandler(this); break;
    case _onmouseout: MouseOutHandler(this); break;
    case _onmouseover: MouseOverHandler(this); break;
    case _onmouseup: MouseUpHandler(this); break;
    case _onreadystatechange: ReadyStateChangeHandler(this); break;
    default: break;
  }
}

// --- IDocHostUIHandler -----------------------------------------------------------------------

HRESULT TProfDHTMLEdit2::ShowContextMenu(DWORD, POINT*, IUnknown*, IDispatch*) { return S_OK; }

HRESULT TProfDHTMLEdit2::GetHostInfo(DOCHOSTUIINFO* info) {
  if (!info) return E_POINTER;
  info->cbSize = 12;
  info->dwFlags = (FUseDivOnCarriageReturn ? DOCHOSTUIFLAG_DIV_BLOCKDEFAULT : 0) |
                  (FFlat ? DOCHOSTUIFLAG_NO3DBORDER : 0) | (FScrollBars ? 0 : DOCHOSTUIFLAG_SCROLL_NO) |
                  (FFlatScrollBars ? DOCHOSTUIFLAG_FLAT_SCROLLBAR : 0);
  info->dwDoubleClick = 0;
  return S_OK;
}

HRESULT TProfDHTMLEdit2::ShowUI(DWORD, IOleInPlaceActiveObject*, IOleCommandTarget*, IOleInPlaceFrame*,
                                IOleInPlaceUIWindow*) {
  return S_FALSE;
}
HRESULT TProfDHTMLEdit2::HideUI() { return kNotImplemented; }
HRESULT TProfDHTMLEdit2::UpdateUI() {
  DisplayChangedHandler(this);
  return S_OK;
}
// The same method is the in-place frame's: the frame's answer stands for both.
HRESULT TProfDHTMLEdit2::EnableModeless(BOOL enable) { return TProfOleControl::EnableModeless(enable); }
HRESULT TProfDHTMLEdit2::OnDocWindowActivate(BOOL) { return kNotImplemented; }
HRESULT TProfDHTMLEdit2::OnFrameWindowActivate(BOOL) { return kNotImplemented; }
HRESULT TProfDHTMLEdit2::ResizeBorder(const RECT*, IOleInPlaceUIWindow*, BOOL) { return kNotImplemented; }
HRESULT TProfDHTMLEdit2::TranslateAccelerator(MSG*, const GUID*, DWORD) { return kNotImplemented; }
HRESULT TProfDHTMLEdit2::GetOptionKeyPath(LPOLESTR* key, DWORD) {
  if (key) *key = nullptr;
  return kNotImplemented;
}
HRESULT TProfDHTMLEdit2::GetDropTarget(IDropTarget*, IDropTarget** result) {
  if (result) *result = nullptr;
  return kNotImplemented;
}
HRESULT TProfDHTMLEdit2::GetExternal(IDispatch** external) {
  if (external) *external = nullptr;
  return kNotImplemented;
}
HRESULT TProfDHTMLEdit2::TranslateUrl(DWORD, OLECHAR*, OLECHAR** result) {
  if (result) *result = nullptr;
  return S_FALSE;
}
HRESULT TProfDHTMLEdit2::FilterDataObject(IDataObject*, IDataObject** result) {
  if (result) *result = nullptr;
  return S_FALSE;
}

// --- Modified state, undo, browse mode, details ------------------------------------------------

bool TProfDHTMLEdit2::GetModifiedFlag() {
  try {
    auto file = ReadDOM().As<IPersistFile>();
    return file && file->IsDirty() == S_OK;
  } catch (...) {
    return false;
  }
}

void TProfDHTMLEdit2::DoSetModified(bool value) {
  try {
    THtmlDocument document = ReadDOM();
    (void)IdFlags(document, IDM_SETDIRTY);
    OleVariant in(value);
    IdExec(document, IDM_SETDIRTY, OLECMDEXECOPT_DODEFAULT, &in);
  } catch (...) {
  }
}

bool TProfDHTMLEdit2::DoClearUndo(TProfDHTMLEditDocumentCompleteReason) {
  THtmlDocument document;
  if (!GetDOM(document) || !ModelOf(document)) return false;
  try {
    const Integer start = GetSelStart();
    const Integer length = GetSelLength();
    ModelOf(document)->SetDesignMode(u"off");
    ModelOf(document)->SetDesignMode(u"on");
    SetSelStart(start);
    if (length != 0) SetSelLength(length);
    return true;
  } catch (...) {
    return false;
  }
}

bool TProfDHTMLEdit2::RuntimeBrowseMode() {
  try {
    return Model()->GetDesignMode() != u"On";
  } catch (...) {
    return true;
  }
}

bool TProfDHTMLEdit2::GetBrowseMode() { return AtDesignOrLoad() ? FDesignBrowseMode : RuntimeBrowseMode(); }

void TProfDHTMLEdit2::SetBrowseMode(bool Value) {
  if (AtDesignOrLoad()) {
    FDesignBrowseMode = Value;
    return;
  }
  FBrowseChosen = Value;
  if (Value == RuntimeBrowseMode()) return;
  const HWND window = GetWindowHandle();
  if (!window) return;
  const LRESULT result = SendMessage(window, WM_COMMAND, Value ? IDM_BROWSEMODE : IDM_EDITMODE, 0);
  if (result == 0 && RuntimeBrowseMode() == Value) Raise(OnSetBrowseMode);
}

void TProfDHTMLEdit2::SetShowDetails(bool Value) {
  FShowDetails = Value;
  if (!AtDesignOrLoad()) DoSetShowDetails(Value);
}

void TProfDHTMLEdit2::SetShowBorders(bool Value) {
  FShowBorders = Value;
  if (!AtDesignOrLoad()) DoSetShowBorders(Value);
}

WideString TProfDHTMLEdit2::GlyphTableText() {
  struct Glyph {
    const char16_t* Tag;
    const char16_t* Resource;
    const char16_t* Numbers;
  };
  static constexpr Glyph kGlyphs[14] = {
      {u"p", u"IDR_pbgn", u"0^^%%3^^%%3^^%%4^^%%20^^%%15^^%%20^^%%15"},
      {u"p", u"IDR_pend", u"1^^%%3^^%%3^^%%4^^%%20^^%%15^^%%20^^%%15"},
      {u"div", u"IDR_divbgn", u"0^^%%3^^%%3^^%%4^^%%43^^%%14^^%%43^^%%14"},
      {u"div", u"IDR_divend", u"1^^%%3^^%%3^^%%4^^%%43^^%%14^^%%43^^%%14"},
      {u"span", u"IDR_spanbgn", u"0^^%%3^^%%3^^%%4^^%%43^^%%14^^%%43^^%%14"},
      {u"span", u"IDR_spanend", u"1^^%%3^^%%3^^%%4^^%%43^^%%14^^%%43^^%%14"},
      {u"form", u"IDR_formbgn", u"0^^%%3^^%%3^^%%4^^%%43^^%%14^^%%43^^%%14"},
      {u"form", u"IDR_formend", u"1^^%%3^^%%3^^%%4^^%%43^^%%14^^%%43^^%%14"},
      {u"comment", u"IDR_comments", u"0^^%%3^^%%3^^%%4^^%%20^^%%15^^%%20^^%%15"},
      {u"br", u"IDR_br", u"0^^%%3^^%%3^^%%4^^%%20^^%%15^^%%20^^%%15"},
      {u"style", u"IDR_style", u"0^^%%3^^%%3^^%%4^^%%20^^%%15^^%%20^^%%15"},
      {u"script", u"IDR_clientsc", u"0^^%%3^^%%3^^%%4^^%%20^^%%15^^%%20^^%%15"},
      {u"img", u"IDR_anchorwi", u"0^^%%0^^%%3^^%%4^^%%20^^%%15^^%%20^^%%15"},
      {u"img", u"IDR_anchorwi", u"0^^%%2^^%%3^^%%4^^%%20^^%%15^^%%20^^%%15"},
  };
  const WideString path = AnsiToWide(ParamStr0());
  WideString text;
  for (const Glyph& g : kGlyphs)
    text += WideString(u"%%") + g.Tag + u"^^%%res://" + path + u"/GIF/" + g.Resource + u"^^%%" + g.Numbers + u"^^**";
  return text;
}

void TProfDHTMLEdit2::DoSetShowDetails(bool Value) {
  WithDocument(this, false, [&](THtmlDocument& d, Document&) {
    if (Value) {
      OleVariant table(GlyphTableText());
      IdExec(d, IDM_REPLACEGLYPHTABLE, OLECMDEXECOPT_DODEFAULT, &table);
      OleVariant on(true);
      IdExec(d, IDM_SHOWGLYPHS, OLECMDEXECOPT_DODEFAULT, &on);
    } else {
      IdExec(d, IDM_EMPTYGLYPHTABLE);
    }
    return true;
  });
}

void TProfDHTMLEdit2::DoSetShowBorders(bool Value) {
  WithDocument(this, false, [&](THtmlDocument& d, Document&) {
    OleVariant in(Value);
    return IdExec(d, IDM_SHOWZEROBORDERS, OLECMDEXECOPT_DODEFAULT, &in);
  });
}

// --- Sources, files, addresses ---------------------------------------------------------------------

void TProfDHTMLEdit2::private_SetSource(const WideString& param) {
  // UTF-16 little-endian with its byte-order mark, so the engine reads it as UTF-16.
  TMemoryStream stream;
  stream.SetSize(2 + 2 * static_cast<Int64>(param.size()));
  const unsigned char mark[2] = {0xFF, 0xFE};
  stream.Write(mark, 2);
  for (char16_t c : param) {
    const unsigned char bytes[2] = {static_cast<unsigned char>(c & 0xFF), static_cast<unsigned char>(c >> 8)};
    stream.Write(bytes, 2);
  }
  stream.Seek(0, soBeginning);
  auto persist = ReadDOM().As<IPersistStreamInit>();
  if (!persist) throw EOleSysError({}, E_NOINTERFACE);
  ComPtr<TStreamAdapter> adapter = MakeComObject<TStreamAdapter>(&stream, soReference);
  persist->Load(adapter.Get());
}

WideString TProfDHTMLEdit2::MSSource() {
  auto persist = ReadDOM().As<IPersistStreamInit>();
  if (!persist) throw EOleSysError({}, E_NOINTERFACE);
  TMemoryStream stream;
  ComPtr<TStreamAdapter> adapter = MakeComObject<TStreamAdapter>(&stream, soReference);
  persist->Save(adapter.Get(), GetModified() ? FALSE : TRUE);
  const auto* bytes = static_cast<const unsigned char*>(stream.Memory());
  const size_t size = static_cast<size_t>(stream.GetSize());
  if (size >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE) {
    WideString text;
    for (size_t i = 2; i + 1 < size; i += 2) text.push_back(static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8)));
    return text;
  }
  if (size >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF)
    return Utf8TextToWide(AnsiString(reinterpret_cast<const char*>(bytes) + 3, size - 3));
  return AnsiToWide(AnsiString(reinterpret_cast<const char*>(bytes), size));
}

void TProfDHTMLEdit2::private_LoadFromFile(const WideString& param) {
  auto file = ReadDOM().As<IPersistFile>();
  if (!file) throw EOleSysError({}, E_NOINTERFACE);
  file->Load(param.c_str(), 0);
}

void TProfDHTMLEdit2::private_SaveToFile(const WideString& param) {
  auto file = ReadDOM().As<IPersistFile>();
  if (!file) throw EOleSysError({}, E_NOINTERFACE);
  const HRESULT hr = file->Save(param.c_str(), TRUE);
  if (FAILED(hr)) throw EOleSysError("Cannot save " + WideToAnsi(param), hr);
}

void TProfDHTMLEdit2::private_LoadURL(const WideString& param) {
  if (GetModified()) DoSetModified(false);
  Navigate(param);
}

void TProfDHTMLEdit2::private_NewDocument(const WideString&) {
  if (FReason != dcrTimeout) return;
  if (GetModified()) DoSetModified(false);
  Navigate(u"about:blank");
}

bool TProfDHTMLEdit2::NewDocument() {
  try {
    if (GetModified()) DoSetModified(false);
    FReason = dcrNewDocument;
    Navigate(u"about:blank");
    return true;
  } catch (...) {
    FReason = dcrUndefined;
    return false;
  }
}

WideString TProfDHTMLEdit2::GetFileName() {
  try {
    auto file = ReadDOM().As<IPersistFile>();
    if (file) {
      LPOLESTR name = nullptr;
      const HRESULT hr = file->GetCurFile(&name);
      const WideString result = name ? WideString(name) : WideString();
      if (name) CoTaskMemFree(name);
      if (hr == S_OK) return result;
    }
    BSTR location = nullptr;
    if (ComPtr<IWebBrowser2> browser = Browser(); browser && SUCCEEDED(browser->get_LocationURL(&location))) {
      WideString url = BstrToWide(location);
      SysFreeString(location);
      return url == u"about:blank" ? WideString() : url;
    }
  } catch (...) {
  }
  return {};
}

WideString TProfDHTMLEdit2::GetBaseURL() {
  THtmlDocument document;
  if (!GetDOM(document) || !ModelOf(document)) return {};
  try {
    const ElementList bases = ModelOf(document)->GetElementsByTagName(u"BASE");
    if (bases.empty()) return {};
    return bases.front()->GetAttribute(u"href").value_or(WideString());
  } catch (...) {
    return {};
  }
}

void TProfDHTMLEdit2::private_SetBaseURL(const WideString& param) {
  Document* model = Model();
  const ElementList heads = model->GetElementsByTagName(u"head");
  if (heads.empty()) {
    FReason = dcrUndefined;  // nothing to change: the wait ends at once
    return;
  }
  Element* base = model->CreateElement(u"BASE");
  base->SetAttribute(u"href", param);
  for (ElementList old = heads.front()->GetElementsByTagName(u"BASE"); !old.empty();
       old = heads.front()->GetElementsByTagName(u"BASE"))
    old.front()->RemoveNode(false);
  heads.front()->AppendChild(base);
  // The document is reloaded from its own source; a source that reads back empty
  // from a document with content would wipe it, so the reload is not made.
  const WideString source = MSSource();
  if (source.empty()) {
    FReason = dcrUndefined;
    return;
  }
  private_SetSource(source);
}

// --- File dialogs -------------------------------------------------------------------------------

AnsiString TProfDHTMLEdit2::OpenDialog(const AnsiString& InitialDir) {
  THtmlDocument document;
  if (!GetDOM(document)) return {};
  TOpenDialog dialog(nullptr);
  dialog.SetInitialDir(InitialDir);
  dialog.SetFilter("HTML files|*.html;*.htm");
  if (!dialog.Execute()) {
    const AnsiString current = WideToAnsi(GetFileName());
    Raise(OnOpenDialogCancel);
    return current;
  }
  const AnsiString chosen = dialog.GetFileName();
  if (CallAndWait(document, dcrOpenDialog, &TCustomProfDHTMLEdit::private_LoadFromFile, AnsiToWide(chosen)))
    Raise(OnOpenDialog);
  return chosen;
}

AnsiString TProfDHTMLEdit2::SaveDialog(const AnsiString&) {
  TSaveDialog dialog(nullptr);
  dialog.SetDefaultExt("html");
  dialog.SetFilter("HTML files|*.html;*.htm");
  if (!dialog.Execute()) return WideToAnsi(GetFileName());
  const AnsiString chosen = dialog.GetFileName();
  // The save's result decides: a file that could not be written is no success.
  try {
    private_SaveToFile(AnsiToWide(chosen));
  } catch (...) {
    return {};
  }
  return chosen;
}

// --- Tables on the document ---------------------------------------------------------------------

bool TProfDHTMLEdit2::InsertTable(Integer Rows, Integer Cols, const WideString& Caption) {
  if (!CanInsertTable()) return false;
  return InsertHTML(profdoc::TableInsertHtml(Rows, Cols, Caption, *FTableAttrs, *FTableCellAttrs));
}
bool TProfDHTMLEdit2::CanInsertTable() { return !RuntimeBrowseMode() && CanGetDOM(); }

#define LARK_DOC_TABLE(Name)                                                                            \
  bool TProfDHTMLEdit2::Name() {                                                                       \
    return WithDocument(this, false, [](THtmlDocument&, Document& m) { return profdoc::Name(m); }); \
  }
LARK_DOC_TABLE(IsTableSelected)
LARK_DOC_TABLE(TableInsertRow)
LARK_DOC_TABLE(CanTableInsertRow)
LARK_DOC_TABLE(TableDeleteRow)
LARK_DOC_TABLE(CanTableDeleteRow)
LARK_DOC_TABLE(TableInsertColumn)
LARK_DOC_TABLE(CanTableInsertColumn)
LARK_DOC_TABLE(TableDeleteColumn)
LARK_DOC_TABLE(CanTableDeleteColumn)
LARK_DOC_TABLE(TableInsertCell)
LARK_DOC_TABLE(CanTableInsertCell)
LARK_DOC_TABLE(TableDeleteCell)
LARK_DOC_TABLE(CanTableDeleteCell)
LARK_DOC_TABLE(TableSplitCell)
LARK_DOC_TABLE(CanTableSplitCell)
LARK_DOC_TABLE(TableMergeCells)
LARK_DOC_TABLE(CanTableMergeCells)
#undef LARK_DOC_TABLE
