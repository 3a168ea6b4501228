// The editing component as a COM object: its class registration, properties by
// DISPID, the load jobs and their events, its settings stream, the change logs and
// the test knobs.
#include "platform/mshtml/EditComponent.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>

#include "platform/mshtml/Commands.h"
#include "platform/mshtml/EditComponentInternal.h"
#include "platform/mshtml/Undo.h"
#include "platform/mshtml/SimHooks.h"
#include "platform/ole/Com.h"
#include "platform/rtl/SimHooks.h"
#include "platform/win/CommDlg.h"
#include "platform/win/Messages.h"
#include "platform/win/Window.h"

namespace mshtml {

namespace {

constexpr UINT kJobMessage = WM_USER + 1;
constexpr UINT kDisplayChangedMessage = WM_USER + 2;
constexpr UINT kChangeFlushMessage = WM_USER + 3;

// The test knobs' state (the defaults are the real behaviour).
struct Knobs {
  bool Hold = false;
  int Delay = 0;
  std::vector<std::pair<DISPID, HRESULT>> FailedProperties;
  std::vector<std::pair<DWORD, HRESULT>> FailedCommands;
  std::vector<sim::EditExecRecord> Records;
};
Knobs& TheKnobs() {
  static Knobs* knobs = new Knobs;
  return *knobs;
}
// Every live component, so that releasing a hold reaches them.
std::set<EditComponent*>& Live() {
  static auto* live = new std::set<EditComponent*>;
  return *live;
}

template <class Key>
HRESULT Failure(const std::vector<std::pair<Key, HRESULT>>& list, Key id) {
  for (const auto& [key, code] : list)
    if (key == id) return code;
  return S_OK;
}

void PutBool(VARIANT* v, bool value) {
  VariantInit(v);
  v->vt = VT_BOOL;
  v->boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
}
void PutInt(VARIANT* v, Integer value) {
  VariantInit(v);
  v->vt = VT_I4;
  v->lVal = value;
}
void PutText(VARIANT* v, const WideString& value) {
  VariantInit(v);
  v->vt = VT_BSTR;
  v->bstrVal = SysAllocStringLen(value.data(), static_cast<UINT>(value.size()));
}

HRESULT AsBool(const VARIANT& v, bool* out) {
  VARIANT c;
  VariantInit(&c);
  const HRESULT hr = VariantChangeType(&c, &v, 0, VT_BOOL);
  if (FAILED(hr)) return hr;
  *out = c.boolVal != 0;
  return S_OK;
}
HRESULT AsInt(const VARIANT& v, Integer* out) {
  VARIANT c;
  VariantInit(&c);
  const HRESULT hr = VariantChangeType(&c, &v, 0, VT_I4);
  if (FAILED(hr)) return hr;
  *out = c.lVal;
  return S_OK;
}
HRESULT AsText(const VARIANT& v, WideString* out, Word flags = 0) {
  VARIANT c;
  VariantInit(&c);
  const HRESULT hr = VariantChangeType(&c, &v, flags, VT_BSTR);
  if (FAILED(hr)) return hr;
  *out = c.bstrVal ? WideString(c.bstrVal, SysStringLen(c.bstrVal)) : WideString();
  VariantClear(&c);
  return S_OK;
}
// An omitted optional argument: null, VT_EMPTY or VT_ERROR.
bool Omitted(const VARIANT* v) { return v == nullptr || v->vt == VT_EMPTY || v->vt == VT_ERROR; }

bool StartsWithNoCase(const WideString& text, const char16_t* prefix) {
  for (size_t i = 0; prefix[i]; ++i) {
    if (i >= text.size()) return false;
    char16_t a = text[i], b = prefix[i];
    if (a >= u'A' && a <= u'Z') a = static_cast<char16_t>(a + 32);
    if (b >= u'A' && b <= u'Z') b = static_cast<char16_t>(b + 32);
    if (a != b) return false;
  }
  return true;
}

// The component's own file dialog, open or save as, starting from start: a file name,
// or a folder followed by a pattern such as "*.htm*" (the dialog then opens in that
// folder). The path chosen, or empty when the person cancelled.
WideString AskForDocument(HWND owner, const WideString& start, bool save) {
  const std::string first = WideToUtf8(start);
  const size_t slash = first.find_last_of("/\\");
  const std::string folder = slash == std::string::npos ? std::string() : first.substr(0, slash + 1);
  std::string name = slash == std::string::npos ? first : first.substr(slash + 1);
  if (name.find_first_of("*?") != std::string::npos) name.clear();
  std::vector<char> file(4096, '\0');
  std::copy_n(name.begin(), std::min(name.size(), file.size() - 1), file.begin());
  OPENFILENAME ofn;
  ofn.hwndOwner = owner;
  ofn.lpstrFilter = "HTML Documents\0*.htm;*.html\0All Files\0*\0";
  ofn.lpstrFile = file.data();
  ofn.nMaxFile = static_cast<DWORD>(file.size());
  ofn.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
  ofn.lpstrDefExt = "htm";
  ofn.Flags = OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | (save ? OFN_OVERWRITEPROMPT : OFN_FILEMUSTEXIST);
  if (!(save ? GetSaveFileName(&ofn) : GetOpenFileName(&ofn))) return {};
  return Utf8ToWide(file.data());
}

// A file: address or a plain path as a local path; empty for anything else.
WideString LocalPath(const WideString& address) {
  if (StartsWithNoCase(address, u"file:")) {
    WideString rest = address.substr(5);
    if (rest.size() >= 2 && rest[0] == u'/' && rest[1] == u'/') {
      // "file://host/..." names a file on another machine: only this one's
      // ("localhost" or no host) is read.
      const size_t end = rest.find(u'/', 2);
      const WideString host = rest.substr(2, end == WideString::npos ? WideString::npos : end - 2);
      if (!host.empty() && !(host.size() == 9 && StartsWithNoCase(host, u"localhost"))) return {};
      if (!host.empty()) rest.erase(0, 2 + host.size());
    }
    while (rest.size() >= 2 && rest[0] == u'/' && rest[1] == u'/') rest.erase(0, 1);
    // "file:///tmp/x" leaves "/tmp/x"; "%20" and the like are decoded.
    WideString out;
    for (size_t i = 0; i < rest.size(); ++i) {
      auto hex = [](char16_t c) -> int {
        if (c >= u'0' && c <= u'9') return c - u'0';
        if (c >= u'a' && c <= u'f') return c - u'a' + 10;
        if (c >= u'A' && c <= u'F') return c - u'A' + 10;
        return -1;
      };
      if (rest[i] == u'%' && i + 2 < rest.size() && hex(rest[i + 1]) >= 0 && hex(rest[i + 2]) >= 0) {
        out.push_back(static_cast<char16_t>(hex(rest[i + 1]) * 16 + hex(rest[i + 2])));
        i += 2;
      } else {
        out.push_back(rest[i]);
      }
    }
    return out;
  }
  const size_t colon = address.find(u':');
  // A scheme of two letters or more is an address; "C:" alone is a drive.
  if (colon != WideString::npos && colon > 1) return {};
  return address;
}

bool ReadFileBytes(const WideString& path, std::string* bytes) {
  // A folder opens as a stream on Linux but cannot be read: it is no document.
  std::error_code error;
  if (!std::filesystem::is_regular_file(WideToUtf8(path), error)) return false;
  try {
    std::ifstream in(WideToUtf8(path), std::ios::binary);
    if (!in) return false;
    bytes->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
  } catch (const std::exception&) {
    return false;
  }
}

// The bytes of a saved document: the UTF-16 byte-order mark and the text.
std::string SavedBytes(const WideString& text) {
  std::string out("\xFF\xFE", 2);
  for (char16_t c : text) {
    out.push_back(static_cast<char>(c & 0xFF));
    out.push_back(static_cast<char>(c >> 8));
  }
  return out;
}

HRESULT ReadAll(IStream* stream, std::string* bytes) {
  if (!stream) return E_POINTER;
  char buffer[8192];
  for (;;) {
    ULONG got = 0;
    const HRESULT hr = stream->Read(buffer, sizeof buffer, &got);
    if (FAILED(hr)) return hr;
    bytes->append(buffer, got);
    if (got == 0) return S_OK;
  }
}

HRESULT WriteAll(IStream* stream, const std::string& bytes) {
  if (!stream) return E_POINTER;
  ULONG written = 0;
  const HRESULT hr = stream->Write(bytes.data(), static_cast<ULONG>(bytes.size()), &written);
  if (FAILED(hr)) return hr;
  return written == bytes.size() ? S_OK : STG_E_MEDIUMFULL;
}

// Text from bytes: UTF-16 with its mark, UTF-8 with or without its mark, and 8-bit
// text (Windows-1252 as Latin-1 where UTF-8 does not hold).
WideString DecodeBytes(const std::string& bytes) {
  if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF && static_cast<unsigned char>(bytes[1]) == 0xFE) {
    WideString out;
    for (size_t i = 2; i + 1 < bytes.size(); i += 2)
      out.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                          (static_cast<unsigned char>(bytes[i + 1]) << 8)));
    return out;
  }
  return Utf8ToWide(bytes.size() >= 3 && bytes.compare(0, 3, "\xEF\xBB\xBF") == 0 ? bytes.substr(3) : bytes);
}

HRESULT CreateEditComponent(IUnknown* outer, REFIID riid, void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  if (outer != nullptr) return CLASS_E_NOAGGREGATION;
  ComPtr<EditComponent> component = MakeComObject<EditComponent>();
  return component->QueryInterface(riid, object);
}

HRESULT CreateWebBrowser(IUnknown* outer, REFIID riid, void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  if (outer != nullptr) return CLASS_E_NOAGGREGATION;
  ComPtr<EditComponent> browser = MakeComObject<EditComponent>(true);
  return browser->QueryInterface(riid, object);
}

}  // namespace

}  // namespace mshtml

// Registers the component's class (kept by the linker through this symbol).
extern "C" const int lark_mshtml_edit_class =
    RegisterComClass(mshtml::CLSID_DHTMLEdit, mshtml::CreateEditComponent) ? 1 : 0;
extern "C" const int lark_mshtml_browser_class =
    RegisterComClass(mshtml::CLSID_WebBrowser, mshtml::CreateWebBrowser) ? 1 : 0;

namespace mshtml {

// --- construction ---

EditComponent::EditComponent(bool browser)
    : document_(std::make_unique<Document>()), docObject_(MakeComObject<DocumentObject>(this)) {
  browser_ = browser;
  if (browser_) location_ = u"about:blank";  // what a browser shows before its first navigation
  Live().insert(this);
  document_->LoadHTML(u"<P>&nbsp;</P>");
  document_->OnChange = [this] { DocumentChanged(); };
  document_->OnDesignModeChange = [this](const WideString& before) { DesignModeWritten(before); };
  savedChangeCount_ = document_->GetChangeCount();
  jobWindow_ = AllocateHWnd([this](TMessage& m) {
    if (m.Msg == kJobMessage) {
      OnJobMessage();
    } else if (m.Msg == kDisplayChangedMessage) {
      displayChangedPosted_ = false;
      Fire(DISPID_EV_DISPLAYCHANGED);
    } else if (m.Msg == kChangeFlushMessage) {
      changeFlushPosted_ = false;
      NotifyChangeLogs();
    } else {
      m.Result = DefWindowProc(jobWindow_, m.Msg, m.WParam, m.LParam);
    }
  });
  // Busy until the first document has loaded (at in-place activation).
  job_ = std::make_unique<LoadJob>();
  job_->What = LoadJob::Markup;
  job_->Html = u"<P>&nbsp;</P>";
  job_->Held = true;  // parked until activation posts it
  job_->Navigation = browser_;
}

EditComponent::~EditComponent() {
  Live().erase(this);
  DestroyWindows();
  if (jobWindow_) DeallocateHWnd(jobWindow_);
  for (ChangeLog* log : changeLogs_) log->Detach();
  changeLogs_.clear();
  docObject_->Detach();
  document_->OnChange = nullptr;
  document_->OnDesignModeChange = nullptr;
  events_.UnadviseAll();
  browserEvents_.UnadviseAll();
  attached_.clear();
  propertySinks_.UnadviseAll();
}

void* EditComponent::QueryInterfaceExtra(REFIID riid) {
  if (riid == IID_IDispatch) return static_cast<IDispatch*>(static_cast<IDHTMLEdit*>(this));
  if (riid == IID_IOleWindow) return static_cast<IOleWindow*>(static_cast<IOleInPlaceObject*>(this));
  if (riid == IID_IPersist) return static_cast<IPersist*>(static_cast<IPersistStreamInit*>(this));
  return nullptr;
}

bool EditComponent::DesignMode() const { return document_->GetDesignMode() == u"On"; }

// --- load jobs ---

void EditComponent::StartLoad(std::unique_ptr<LoadJob> job) {
  designBeforeLoad_ = document_->GetDesignMode() == u"On" ? u"on" : u"off";
  const Knobs& knobs = TheKnobs();
  job->PassesLeft = knobs.Delay;
  job->Held = knobs.Hold;
  // A request while another is pending replaces it: one completion for the last one.
  job_ = std::move(job);
  if (!job_->Held) PostJob();
}

void EditComponent::PostJob() {
  if (jobWindow_) PostMessage(jobWindow_, kJobMessage, 0, 0);
}

void EditComponent::ResumeHeldLoad() {
  if (!job_ || !job_->Held) return;
  // The first document waits for activation, not for the knob.
  if (!everLoaded_ && !outerWindow_) return;
  job_->Held = false;
  PostJob();
}

void EditComponent::OnJobMessage() {
  if (!job_ || job_->Held) return;
  if (job_->PassesLeft > 0) {
    --job_->PassesLeft;
    PostJob();
    return;
  }
  CompleteLoad();
}

void EditComponent::CompleteLoad() {
  ComPtr<IDHTMLEdit> hold(this);
  LoadJob& job = *job_;
  const bool replaces = job.What != LoadJob::Keep;
  if (replaces) {
    for (ChangeLog* log : changeLogs_) log->Detach();
    changeLogs_.clear();
    ++editDepth_;  // a load is no edit: no change notification
    try {
      if (job.What == LoadJob::Bytes)
        document_->LoadHTML(DecodeBytes(job.Raw));
      else
        document_->LoadHTML(job.Html.empty() ? WideString(u" ") : job.Html);
    } catch (const EOleSysError&) {
      document_->LoadHTML(u"<P>&nbsp;</P>");
    }
    designModeSeen_ = true;
    WideString mode = browseMode_ ? u"off" : u"on";
    if (browser_) {
      // A navigation makes a document in browse mode; markup loaded into the
      // document keeps the mode it had. A new document has no attached sinks.
      mode = job.Navigation ? WideString(u"off") : designBeforeLoad_;
      attached_.clear();
    }
    lastDesignMode_ = mode;
    auto hook = std::move(document_->OnDesignModeChange);
    document_->SetDesignMode(mode);
    document_->OnDesignModeChange = std::move(hook);
    --editDepth_;
    changedSinceNotify_ = false;
    if (job.SetsPath) filePath_ = job.Path;
    hover_ = nullptr;
    MakeLayout();
    if (auto range = document_->CreateTextRange()) {
      range->Collapse(true);
      document_->GetSelection()->Select(*range);
    }
  } else if (job.SetsPath) {
    filePath_ = job.Path;
  }
  everLoaded_ = true;
  lastLoadNavigated_ = job.Navigated;
  SyncGlyphs();  // the glyphs follow the mode
  savedChangeCount_ = document_->GetChangeCount();
  modifiedByCommand_ = false;
  Fire(DISPID_EV_ONREADYSTATECHANGE);
  job_.reset();
  if (browser_ && replaces) {
    // The host says how the new document behaves: Enter makes a DIV instead of a P,
    // no scroll bars. (A flat border and flat scroll bars look no different here.)
    if (auto host = HostHandler()) {
      DOCHOSTUIINFO info;
      info.cbSize = sizeof info;
      if (SUCCEEDED(host->GetHostInfo(&info))) {
        useDiv_ = (info.dwFlags & DOCHOSTUIFLAG_DIV_BLOCKDEFAULT) != 0;
        scrollbars_ = (info.dwFlags & DOCHOSTUIFLAG_SCROLL_NO) == 0;
      }
    }
  }
  UpdateScrollBars();
  if (docWindow_) InvalidateRect(docWindow_, nullptr, TRUE);
  Fire(DISPID_EV_DOCUMENTCOMPLETE);
  PostDisplayChanged();
}

void EditComponent::PostDisplayChanged() {
  if (displayChangedPosted_ || !jobWindow_) return;
  displayChangedPosted_ = true;
  PostMessage(jobWindow_, kDisplayChangedMessage, 0, 0);
}

void EditComponent::DesignModeWritten(const WideString& before) {
  if (before == document_->GetDesignMode()) return;
  // Edits made in the other mode cannot be undone from this one.
  ClearUndo(*document_);
  SyncGlyphs();
  if (job_) return;  // the pending load completes and reports anyway
  auto job = std::make_unique<LoadJob>();
  job->What = LoadJob::Keep;
  StartLoad(std::move(job));
  if (docWindow_) InvalidateRect(docWindow_, nullptr, TRUE);
}

void EditComponent::Fire(DISPID id, VARIANT* args, UINT count) {
  ComPtr<IDHTMLEdit> hold(this);
  if (browser_) {
    BrowserFire(id, args, count);
    return;
  }
  events_.FireDispatch(id, args, count);
}

void EditComponent::MakeLayout() {
  Integer width = 0, height = 0;
  if (layout_) {
    width = layout_->GetViewportWidth();
    height = layout_->GetViewportHeight();
  }
  layout_ = std::make_unique<Layout>(document_.get());
  if (imageLoader_) layout_->SetImageLoader(imageLoader_);
  layout_->SetShowGlyphs(showDetails_);
  SyncGlyphs();
  layout_->SetViewport(width, height);
  if (docWindow_) {
    const RECT r = ClientRect();
    layout_->SetViewport(r.right - r.left, r.bottom - r.top);
  }
}

void EditComponent::SetImageLoader(ImageLoader loader) {
  imageLoader_ = std::move(loader);
  if (layout_) {
    layout_->SetImageLoader(imageLoader_);
    layout_->Invalidate();
  }
  if (docWindow_) InvalidateRect(docWindow_, nullptr, TRUE);
}

// --- change notification ---

void EditComponent::DocumentChanged() {
  changedSinceNotify_ = true;
  if (editDepth_ > 0) return;
  // A change made from outside (through the model): one notification per pass.
  if (!changeFlushPosted_ && jobWindow_) {
    changeFlushPosted_ = true;
    PostMessage(jobWindow_, kChangeFlushMessage, 0, 0);
  }
  if (docWindow_) InvalidateRect(docWindow_, nullptr, TRUE);
  // The display changed too, as after the component's own edits.
  if (everLoaded_ && !job_) PostDisplayChanged();
}

void EditComponent::NotifyChangeLogs() {
  if (!changedSinceNotify_) return;
  changedSinceNotify_ = false;
  ComPtr<IDHTMLEdit> hold(this);
  std::vector<ComPtr<IHTMLChangeSink>> sinks;
  for (ChangeLog* log : changeLogs_) sinks.emplace_back(log->Sink());
  for (auto& sink : sinks) sink->Notify();
}

void EditComponent::RemoveChangeLog(ChangeLog* log) {
  changeLogs_.erase(std::remove(changeLogs_.begin(), changeLogs_.end(), log), changeLogs_.end());
}

void EditComponent::BeginEdit() { ++editDepth_; }

void EditComponent::EndEdit() {
  if (--editDepth_ > 0) return;
  if (!changedSinceNotify_) return;
  NotifyChangeLogs();
  UpdateScrollBars();
  ScrollCaretIntoView();
  if (docWindow_) InvalidateRect(docWindow_, nullptr, TRUE);
  PostDisplayChanged();
}

ChangeLog::ChangeLog(EditComponent* owner, IHTMLChangeSink* sink) : owner_(owner), sink_(sink) {
  owner_->AddChangeLog(this);
}

ChangeLog::~ChangeLog() {
  if (owner_) owner_->RemoveChangeLog(this);
}

// --- commands ---

EditCommandContext EditComponent::CommandContext() {
  EditCommandContext c;
  c.TheDocument = document_.get();
  c.TheLayout = layout_.get();
  c.Window = docWindow_;
  c.DesignMode = DesignMode();
  c.SetModified = [this](bool modified) {
    modifiedByCommand_ = modified;
    if (!modified) savedChangeCount_ = document_->GetChangeCount();
  };
  return c;
}

HRESULT EditComponent::RunCommand(const GUID* group, DWORD id, DWORD option, VARIANT* in, VARIANT* out) {
  sim::EditExecRecord record;
  record.HasGroup = group != nullptr;
  if (group) record.Group = *group;
  record.Id = id;
  record.Option = option;
  if (in) {
    record.InType = in->vt;
    WideString text;
    if (SUCCEEDED(AsText(*in, &text, VARIANT_ALPHABOOL))) record.In = text;
  }
  TheKnobs().Records.push_back(record);
  if (const HRESULT failure = Failure(TheKnobs().FailedCommands, id); FAILED(failure)) return failure;
  ComPtr<IDHTMLEdit> hold(this);
  BeginEdit();
  HRESULT hr;
  try {
    hr = RouteEditCommand(CommandContext(), group, id, option, in, out);
  } catch (const EOleSysError& e) {
    hr = e.ErrorCode;
  }
  EndEdit();
  // A command may move the selection or switch what is drawn (borders, glyphs)
  // without changing the document.
  if (SUCCEEDED(hr)) SyncGlyphs();
  if (SUCCEEDED(hr) && docWindow_) InvalidateRect(docWindow_, nullptr, FALSE);
  return hr;
}

void EditComponent::SyncGlyphs() {
  if (!layout_) return;
  // The tag glyphs are an edit view: browse mode shows the page as it reads.
  GlyphView view;
  if (DesignMode()) {
    const ViewSwitches& switches = GetViewSwitches(*document_);
    view.Comments = switches.ShowCommentGlyphs;
    view.LineBreaks = switches.ShowLineBreakGlyphs;
    view.Tags = switches.ShowGlyphs;
    if (view.Tags)
      view.Table = switches.GlyphTableWritten ? ParseGlyphTable(switches.GlyphTable) : BuiltInGlyphTable();
  }
  if (layout_->SetGlyphView(view)) {
    UpdateScrollBars();
    if (docWindow_) InvalidateRect(docWindow_, nullptr, TRUE);
  }
}

HRESULT EditComponent::CommandStatus(const GUID* group, ULONG count, OLECMD* commands, OLECMDTEXT* text) {
  if (commands == nullptr && count > 0) return E_POINTER;
  for (ULONG i = 0; i < count; ++i) {
    commands[i].cmdf = 0;
    const HRESULT hr = RouteEditCommandStatus(CommandContext(), group, &commands[i]);
    if (FAILED(hr)) return hr;
  }
  if (text != nullptr && count > 0) {
    // The name comes from the command table; the flags stay the ones routed above.
    OLECMD first = commands[0];
    return mshtml::QueryStatus(*document_, group, 1, &first, text);
  }
  return S_OK;
}

HRESULT EditComponent::ExecCommand(DWORD id, DWORD option, VARIANT* in, VARIANT* out) {
  return RunCommand(&CGID_DHTMLEDIT, id, option, in, out);
}

HRESULT EditComponent::QueryStatus(DWORD id, DWORD* status) {
  if (status == nullptr) return E_POINTER;
  OLECMD command;
  command.cmdID = id;
  const HRESULT hr = CommandStatus(&CGID_DHTMLEDIT, 1, &command);
  *status = command.cmdf;
  return hr;
}

HRESULT EditComponent::QueryStatus(const GUID* group, ULONG count, OLECMD* commands, OLECMDTEXT* text) {
  return CommandStatus(group, count, commands, text);
}

HRESULT EditComponent::Exec(const GUID* group, DWORD id, DWORD option, VARIANT* in, VARIANT* out) {
  return RunCommand(group, id, option, in, out);
}

// --- IDispatch: properties by DISPID ---

HRESULT EditComponent::GetTypeInfoCount(UINT* count) {
  if (count == nullptr) return E_POINTER;
  *count = 0;
  return S_OK;
}
HRESULT EditComponent::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
  if (info) *info = nullptr;
  return E_NOTIMPL;
}
HRESULT EditComponent::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) { return E_NOTIMPL; }

HRESULT EditComponent::Invoke(DISPID id, REFIID, LCID, Word flags, DISPPARAMS* params, VARIANT* result,
                              EXCEPINFO*, UINT* argErr) {
  if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
    if (params == nullptr || params->cArgs < 1) return DISP_E_PARAMNOTFOUND;
    const HRESULT hr = PropertyPut(id, params->rgvarg[0]);
    if (hr == DISP_E_TYPEMISMATCH && argErr) *argErr = 0;
    return hr;
  }
  if (flags & DISPATCH_PROPERTYGET) {
    if (const HRESULT failure = Failure(TheKnobs().FailedProperties, id); FAILED(failure))
      return failure;
    VARIANT value;
    VariantInit(&value);
    const HRESULT hr = PropertyGet(id, &value);
    if (FAILED(hr)) return hr;
    if (result) {
      VariantClear(result);
      *result = value;
    } else {
      VariantClear(&value);
    }
    return S_OK;
  }
  return DISP_E_MEMBERNOTFOUND;
}

HRESULT EditComponent::PropertyGet(DISPID id, VARIANT* v) {
  switch (id) {
    case DISPID_DHTMLEDIT_SHOWDETAILS: PutBool(v, showDetails_); return S_OK;
    case DISPID_DHTMLEDIT_SHOWBORDERS: PutBool(v, showBorders_); return S_OK;
    case DISPID_DHTMLEDIT_APPEARANCE: PutInt(v, appearance_); return S_OK;
    case DISPID_DHTMLEDIT_SCROLLBARS: PutBool(v, scrollbars_); return S_OK;
    case DISPID_DHTMLEDIT_SCROLLBARAPPEARANCE: PutInt(v, scrollbarAppearance_); return S_OK;
    case DISPID_DHTMLEDIT_SOURCECODEPRESERVATION: PutBool(v, sourcePreservation_); return S_OK;
    case DISPID_DHTMLEDIT_DOCUMENTHTML:
      if (job_) return E_PENDING;
      PutText(v, sourcePreservation_ && !document_->GetLoadedSource().empty() ? document_->GetLoadedSource()
                                                                              : document_->GetHTML());
      return S_OK;
    case DISPID_DHTMLEDIT_ISDIRTY:
      PutBool(v, !job_ && (modifiedByCommand_ || document_->GetChangeCount() != savedChangeCount_));
      return S_OK;
    case DISPID_DHTMLEDIT_CURRENTDOCUMENTPATH: PutText(v, filePath_); return S_OK;
    case DISPID_DHTMLEDIT_BASEURL: PutText(v, baseUrl_); return S_OK;
    case DISPID_DHTMLEDIT_DOCUMENTTITLE:
      if (job_) return E_PENDING;
      PutText(v, document_->GetTitle());
      return S_OK;
    case DISPID_DHTMLEDIT_BROWSEMODE: PutBool(v, browseMode_); return S_OK;
    case DISPID_DHTMLEDIT_USEDIVONCR: PutBool(v, useDiv_); return S_OK;
    case DISPID_DHTMLEDIT_BUSY: PutBool(v, job_ != nullptr); return S_OK;
    default: return DISP_E_MEMBERNOTFOUND;
  }
}

HRESULT EditComponent::PropertyPut(DISPID id, const VARIANT& value) {
  bool b = false;
  Integer n = 0;
  WideString text;
  auto setBool = [&](bool& field) {
    const HRESULT hr = AsBool(value, &b);
    if (FAILED(hr)) return DISP_E_TYPEMISMATCH;
    if (field != b) settingsDirty_ = true;
    field = b;
    return S_OK;
  };
  switch (id) {
    case DISPID_DHTMLEDIT_SHOWDETAILS: {
      const HRESULT hr = setBool(showDetails_);
      if (SUCCEEDED(hr)) {
        ClearCommentAndBreakGlyphs(*document_);
        if (layout_) layout_->SetShowGlyphs(showDetails_);
        SyncGlyphs();
      }
      if (docWindow_) InvalidateRect(docWindow_, nullptr, TRUE);
      return hr;
    }
    case DISPID_DHTMLEDIT_SHOWBORDERS: {
      const HRESULT hr = setBool(showBorders_);
      if (docWindow_) InvalidateRect(docWindow_, nullptr, TRUE);
      return hr;
    }
    case DISPID_DHTMLEDIT_SCROLLBARS: {
      const HRESULT hr = setBool(scrollbars_);
      UpdateScrollBars();
      return hr;
    }
    case DISPID_DHTMLEDIT_SOURCECODEPRESERVATION: return setBool(sourcePreservation_);
    case DISPID_DHTMLEDIT_USEDIVONCR: return setBool(useDiv_);
    case DISPID_DHTMLEDIT_APPEARANCE:
    case DISPID_DHTMLEDIT_SCROLLBARAPPEARANCE: {
      if (FAILED(AsInt(value, &n))) return DISP_E_TYPEMISMATCH;
      Integer& field = id == DISPID_DHTMLEDIT_APPEARANCE ? appearance_ : scrollbarAppearance_;
      if (field != n) settingsDirty_ = true;
      field = n;
      return S_OK;
    }
    case DISPID_DHTMLEDIT_BROWSEMODE: {
      const bool before = browseMode_;
      const HRESULT hr = setBool(browseMode_);
      if (SUCCEEDED(hr) && before != browseMode_ && everLoaded_) {
        // The component reloads its document in the new mode.
        auto job = std::make_unique<LoadJob>();
        job->What = LoadJob::Markup;
        job->Html = document_->GetHTML();
        StartLoad(std::move(job));
      }
      return hr;
    }
    case DISPID_DHTMLEDIT_DOCUMENTHTML: {
      if (FAILED(AsText(value, &text))) return DISP_E_TYPEMISMATCH;
      auto job = std::make_unique<LoadJob>();
      job->What = LoadJob::Markup;
      job->Html = text;
      job->SetsPath = true;  // a text has no file
      StartLoad(std::move(job));
      return S_OK;
    }
    case DISPID_DHTMLEDIT_BASEURL: {
      if (FAILED(AsText(value, &text))) return DISP_E_TYPEMISMATCH;
      baseUrl_ = text;
      auto job = std::make_unique<LoadJob>();
      job->What = LoadJob::Keep;
      StartLoad(std::move(job));
      return S_OK;
    }
    case DISPID_DHTMLEDIT_ISDIRTY:
    case DISPID_DHTMLEDIT_CURRENTDOCUMENTPATH:
    case DISPID_DHTMLEDIT_DOCUMENTTITLE:
    case DISPID_DHTMLEDIT_BUSY:
      return DISP_E_MEMBERNOTFOUND;  // read-only
    default:
      return DISP_E_MEMBERNOTFOUND;
  }
}

// --- IDHTMLEdit ---

HRESULT EditComponent::get_DOM(IDispatch** document) {
  if (document == nullptr) return E_POINTER;
  *document = nullptr;
  if (!everLoaded_) return E_UNEXPECTED;
  *document = static_cast<IDispatch*>(static_cast<IHTMLDocument2*>(docObject_.Get()));
  (*document)->AddRef();
  return S_OK;
}

HRESULT EditComponent::NewDocument() {
  auto job = std::make_unique<LoadJob>();
  job->What = LoadJob::Markup;
  job->Html = u"<P>&nbsp;</P>";
  job->SetsPath = true;
  StartLoad(std::move(job));
  return S_OK;
}

HRESULT EditComponent::UrlJob(const WideString& address, std::unique_ptr<LoadJob>* out) {
  auto job = std::make_unique<LoadJob>();
  job->SetsPath = true;
  if (address.empty() || StartsWithNoCase(address, u"about:blank")) {
    job->What = LoadJob::Markup;
    job->Html = u"<P>&nbsp;</P>";
  } else {
    const WideString path = LocalPath(address);
    if (path.empty() || !ReadFileBytes(path, &job->Raw)) return INET_E_RESOURCE_NOT_FOUND;
    job->What = LoadJob::Bytes;
    job->Path = path;
  }
  *out = std::move(job);
  return S_OK;
}

HRESULT EditComponent::LoadURL(const OLECHAR* url) {
  std::unique_ptr<LoadJob> job;
  const HRESULT hr = UrlJob(url ? WideString(url) : WideString(), &job);
  if (FAILED(hr)) return hr;
  StartLoad(std::move(job));
  return S_OK;
}

HRESULT EditComponent::LoadDocument(VARIANT* path, VARIANT* promptUser) {
  bool prompt = false;
  if (!Omitted(promptUser) && FAILED(AsBool(*promptUser, &prompt))) return E_INVALIDARG;
  WideString name;
  if (prompt) {
    // The person chooses the file; a cancelled dialog loads nothing.
    WideString start;
    if (!Omitted(path) && FAILED(AsText(*path, &start))) return E_INVALIDARG;
    name = AskForDocument(docWindow_, start, false);
    if (name.empty()) return S_OK;
  } else if (Omitted(path) || FAILED(AsText(*path, &name)) || name.empty()) {
    return E_INVALIDARG;
  }
  const WideString local = LocalPath(name);
  auto job = std::make_unique<LoadJob>();
  if (local.empty() || !ReadFileBytes(local, &job->Raw)) return STG_E_FILENOTFOUND;
  job->What = LoadJob::Bytes;
  job->Path = local;
  job->SetsPath = true;
  StartLoad(std::move(job));
  return S_OK;
}

HRESULT EditComponent::SaveDocument(VARIANT* path, VARIANT* promptUser) {
  bool prompt = false;
  if (!Omitted(promptUser) && FAILED(AsBool(*promptUser, &prompt))) return E_INVALIDARG;
  if (job_) return E_PENDING;
  WideString name;
  if (prompt) {
    // The person chooses the name; a cancelled dialog saves nothing.
    WideString start;
    if (!Omitted(path) && FAILED(AsText(*path, &start))) return E_INVALIDARG;
    name = AskForDocument(docWindow_, start.empty() ? filePath_ : start, true);
    if (name.empty()) return S_OK;
  } else if (Omitted(path) || FAILED(AsText(*path, &name)) || name.empty()) {
    name = filePath_;
  }
  const WideString local = LocalPath(name);
  if (local.empty()) return E_INVALIDARG;
  // Written beside the target and renamed over it: a failed write leaves the old file.
  const std::filesystem::path target(WideToUtf8(local));
  std::filesystem::path temp = target;
  temp += ".saving";
  {
    if (sim::ShouldFail(sim::Fault::FileCreate)) return STG_E_ACCESSDENIED;
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    const std::string bytes = SavedBytes(document_->GetHTML());
    if (!out || !out.write(bytes.data(), static_cast<std::streamsize>(bytes.size())) || !out.flush()) {
      std::error_code ignored;
      std::filesystem::remove(temp, ignored);
      return STG_E_ACCESSDENIED;
    }
  }
  std::error_code ec;
  std::filesystem::rename(temp, target, ec);
  if (ec) {
    std::filesystem::remove(temp, ec);
    return STG_E_ACCESSDENIED;
  }
  filePath_ = local;
  savedChangeCount_ = document_->GetChangeCount();
  modifiedByCommand_ = false;
  return S_OK;
}

// --- IOleObject ---

HRESULT EditComponent::SetClientSite(IOleClientSite* site) {
  clientSite_ = site;
  return S_OK;
}
HRESULT EditComponent::GetClientSite(IOleClientSite** site) {
  if (site == nullptr) return E_POINTER;
  return clientSite_.CopyTo(site);
}
HRESULT EditComponent::SetHostNames(LPCOLESTR, LPCOLESTR) { return S_OK; }
HRESULT EditComponent::Close(DWORD) {
  InPlaceDeactivate();
  return S_OK;
}
HRESULT EditComponent::SetMoniker(DWORD, IMoniker*) { return E_NOTIMPL; }
HRESULT EditComponent::GetMoniker(DWORD, DWORD, IMoniker** moniker) {
  if (moniker) *moniker = nullptr;
  return E_NOTIMPL;
}
HRESULT EditComponent::InitFromData(IDataObject*, BOOL, DWORD) { return E_NOTIMPL; }
HRESULT EditComponent::GetClipboardData(DWORD, IDataObject** data) {
  if (data) *data = nullptr;
  return E_NOTIMPL;
}
HRESULT EditComponent::DoVerb(LONG verb, MSG*, IOleClientSite* site, LONG, HWND parent, const RECT* position) {
  switch (verb) {
    case OLEIVERB_INPLACEACTIVATE:
    case OLEIVERB_SHOW:
    case OLEIVERB_PRIMARY:
      return ActivateInPlace(site ? site : clientSite_.Get(), parent, position, false);
    case OLEIVERB_UIACTIVATE:
      return ActivateInPlace(site ? site : clientSite_.Get(), parent, position, true);
    case OLEIVERB_HIDE:
      if (outerWindow_) ShowWindow(outerWindow_, SW_HIDE);
      return S_OK;
    default:
      return OLEOBJ_S_INVALIDVERB;
  }
}
HRESULT EditComponent::EnumVerbs(IEnumOLEVERB** verbs) {
  if (verbs) *verbs = nullptr;
  return E_NOTIMPL;
}
HRESULT EditComponent::Update() { return S_OK; }
HRESULT EditComponent::IsUpToDate() { return S_OK; }
HRESULT EditComponent::GetUserClassID(CLSID* clsid) { return GetClassID(clsid); }
HRESULT EditComponent::GetUserType(DWORD, LPOLESTR* userType) {
  if (userType) *userType = nullptr;
  return E_NOTIMPL;
}
HRESULT EditComponent::SetExtent(DWORD aspect, SIZEL* size) {
  if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
  if (size == nullptr) return E_POINTER;
  if (size->cx < 0 || size->cy < 0) return E_INVALIDARG;
  extent_ = *size;
  return S_OK;
}
HRESULT EditComponent::GetExtent(DWORD aspect, SIZEL* size) {
  if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
  if (size == nullptr) return E_POINTER;
  *size = extent_;
  return S_OK;
}
HRESULT EditComponent::Advise(IAdviseSink*, DWORD* connection) {
  if (connection) *connection = 0;
  return E_NOTIMPL;
}
HRESULT EditComponent::Unadvise(DWORD) { return E_NOTIMPL; }
HRESULT EditComponent::EnumAdvise(IEnumSTATDATA** advises) {
  if (advises) *advises = nullptr;
  return E_NOTIMPL;
}
HRESULT EditComponent::GetMiscStatus(DWORD aspect, DWORD* status) {
  if (status == nullptr) return E_POINTER;
  *status = 0;
  if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
  *status = OLEMISC_RECOMPOSEONRESIZE | OLEMISC_CANTLINKINSIDE | OLEMISC_INSIDEOUT | OLEMISC_ACTIVATEWHENVISIBLE |
            OLEMISC_SETCLIENTSITEFIRST;
  return S_OK;
}
HRESULT EditComponent::SetColorScheme(LOGPALETTE*) { return E_NOTIMPL; }

// --- IOleControl ---

HRESULT EditComponent::GetControlInfo(CONTROLINFO* info) {
  if (info == nullptr) return E_POINTER;
  info->hAccel = 0;
  info->cAccel = 0;
  info->dwFlags = CTRLINFO_EATS_RETURN;
  return S_OK;
}
HRESULT EditComponent::OnMnemonic(MSG*) { return E_NOTIMPL; }
HRESULT EditComponent::OnAmbientPropertyChange(DISPID) { return S_OK; }
HRESULT EditComponent::FreezeEvents(BOOL) { return S_OK; }

// --- IPersistStreamInit: the settings ---
//
// "LKDE", a version byte, then the eight settings: ShowDetails, ShowBorders,
// Appearance, Scrollbars, ScrollbarAppearance, SourceCodePreservation, BrowseMode,
// UseDivOnCarriageReturn as 32-bit little-endian integers.

HRESULT EditComponent::GetClassID(CLSID* clsid) {
  if (clsid == nullptr) return E_POINTER;
  *clsid = browser_ ? CLSID_WebBrowser : CLSID_DHTMLEdit;
  return S_OK;
}
HRESULT EditComponent::IsDirty() { return settingsDirty_ ? S_OK : S_FALSE; }

namespace {
constexpr char kSettingsMagic[] = "LKDE";
constexpr size_t kSettingsSize = 4 + 1 + 8 * 4;
}  // namespace

HRESULT EditComponent::Load(IStream* stream) {
  if (stream == nullptr) return E_POINTER;
  char buffer[kSettingsSize];
  ULONG got = 0;
  const HRESULT hr = stream->Read(buffer, sizeof buffer, &got);
  if (FAILED(hr)) return hr;
  if (got != sizeof buffer || std::memcmp(buffer, kSettingsMagic, 4) != 0 || buffer[4] != 1) return E_FAIL;
  Integer v[8];
  for (int i = 0; i < 8; ++i) {
    uint32_t u = 0;
    for (int k = 3; k >= 0; --k) u = (u << 8) | static_cast<unsigned char>(buffer[5 + i * 4 + k]);
    v[i] = static_cast<Integer>(u);
  }
  showDetails_ = v[0] != 0;
  showBorders_ = v[1] != 0;
  appearance_ = v[2];
  scrollbars_ = v[3] != 0;
  scrollbarAppearance_ = v[4];
  sourcePreservation_ = v[5] != 0;
  browseMode_ = v[6] != 0;
  useDiv_ = v[7] != 0;
  settingsDirty_ = false;
  return S_OK;
}

HRESULT EditComponent::Save(IStream* stream, BOOL clearDirty) {
  if (stream == nullptr) return E_POINTER;
  std::string bytes(kSettingsMagic, 4);
  bytes.push_back(1);
  const Integer v[8] = {showDetails_, showBorders_, appearance_, scrollbars_, scrollbarAppearance_,
                        sourcePreservation_, browseMode_, useDiv_};
  for (Integer x : v)
    for (int k = 0; k < 4; ++k) bytes.push_back(static_cast<char>((static_cast<uint32_t>(x) >> (8 * k)) & 0xFF));
  const HRESULT hr = WriteAll(stream, bytes);
  if (SUCCEEDED(hr) && clearDirty) settingsDirty_ = false;
  return hr;
}
HRESULT EditComponent::GetSizeMax(uint64_t* size) {
  if (size == nullptr) return E_POINTER;
  *size = kSettingsSize;
  return S_OK;
}
HRESULT EditComponent::InitNew() {
  settingsDirty_ = false;
  return S_OK;
}

// --- the document's markup through streams ---

HRESULT EditComponent::SaveDocumentTo(IStream* stream) {
  if (job_) return E_PENDING;
  return WriteAll(stream, SavedBytes(document_->GetHTML()));
}

HRESULT EditComponent::LoadDocumentFrom(IStream* stream) {
  auto job = std::make_unique<LoadJob>();
  const HRESULT hr = ReadAll(stream, &job->Raw);
  if (FAILED(hr)) return hr;
  job->What = LoadJob::Bytes;
  StartLoad(std::move(job));
  return S_OK;
}

// --- connection points ---

HRESULT EditComponent::EnumConnectionPoints(IEnumConnectionPoints** points) {
  if (points) *points = nullptr;
  return E_NOTIMPL;
}
HRESULT EditComponent::FindConnectionPoint(REFIID iid, IConnectionPoint** point) {
  if (browser_) return FindConnectionPointIn({&browserEvents_, &propertySinks_}, iid, point);
  return FindConnectionPointIn({&events_, &propertySinks_}, iid, point);
}

// --- the document object ---

void* DocumentObject::QueryInterfaceExtra(REFIID riid) {
  if (riid == IID_IDispatch) return static_cast<IDispatch*>(static_cast<IHTMLDocument2*>(this));
  if (riid == IID_IPersist) return static_cast<IPersist*>(static_cast<IPersistStreamInit*>(this));
  return nullptr;
}
HRESULT DocumentObject::GetTypeInfoCount(UINT* count) {
  if (count == nullptr) return E_POINTER;
  *count = 0;
  return S_OK;
}
HRESULT DocumentObject::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
  if (info) *info = nullptr;
  return E_NOTIMPL;
}
HRESULT DocumentObject::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) { return E_NOTIMPL; }
HRESULT DocumentObject::Invoke(DISPID, REFIID, LCID, Word, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) {
  return DISP_E_MEMBERNOTFOUND;
}
Document* DocumentObject::GetDocument() { return owner_ ? owner_->TheDocument() : nullptr; }
Layout* DocumentObject::GetLayout() { return owner_ ? owner_->TheLayout() : nullptr; }
EventObject* DocumentObject::GetEvent() { return owner_ ? owner_->CurrentEvent() : nullptr; }
WideString DocumentObject::GetReadyState() {
  return owner_ && !owner_->IsBusy() ? u"complete" : u"loading";
}
void DocumentObject::SetImageLoader(ImageLoader loader) {
  if (owner_) owner_->SetImageLoader(std::move(loader));
}
HRESULT DocumentObject::GetWindow(HWND* window) {
  if (window == nullptr) return E_POINTER;
  *window = owner_ ? owner_->DocumentWindow() : 0;
  return *window ? S_OK : E_FAIL;
}
HRESULT DocumentObject::ContextSensitiveHelp(BOOL) { return E_NOTIMPL; }
HRESULT DocumentObject::QueryStatus(const GUID* group, ULONG count, OLECMD* commands, OLECMDTEXT* text) {
  if (!owner_) return E_UNEXPECTED;
  return owner_->CommandStatus(group, count, commands, text);
}
HRESULT DocumentObject::Exec(const GUID* group, DWORD id, DWORD option, VARIANT* in, VARIANT* out) {
  if (!owner_) return E_UNEXPECTED;
  return owner_->RunCommand(group, id, option, in, out);
}
HRESULT DocumentObject::GetClassID(CLSID* clsid) {
  if (clsid == nullptr) return E_POINTER;
  *clsid = CLSID_DHTMLEdit;
  return S_OK;
}
HRESULT DocumentObject::IsDirty() {
  if (!owner_) return E_UNEXPECTED;
  VARIANT v;
  VariantInit(&v);
  owner_->Invoke(DISPID_DHTMLEDIT_ISDIRTY, IID_NULL, 0, DISPATCH_PROPERTYGET, nullptr, &v, nullptr, nullptr);
  return v.vt == VT_BOOL && v.boolVal ? S_OK : S_FALSE;
}
HRESULT DocumentObject::Load(IStream* stream) {
  if (!owner_) return E_UNEXPECTED;
  return owner_->LoadDocumentFrom(stream);
}
HRESULT DocumentObject::Save(IStream* stream, BOOL) {
  if (!owner_) return E_UNEXPECTED;
  return owner_->SaveDocumentTo(stream);
}
HRESULT DocumentObject::GetSizeMax(uint64_t* size) {
  if (size) *size = 0;
  return E_NOTIMPL;
}
HRESULT DocumentObject::InitNew() {
  if (!owner_) return E_UNEXPECTED;
  return owner_->NewDocument();
}
HRESULT DocumentObject::CreateChangeLog(IHTMLChangeSink* sink, IHTMLChangeLog** log, BOOL, BOOL) {
  if (log == nullptr || sink == nullptr) return E_POINTER;
  *log = nullptr;
  if (!owner_) return E_UNEXPECTED;
  ComPtr<ChangeLog> made = MakeComObject<ChangeLog>(owner_, sink);
  *log = made.Detach();
  return S_OK;
}

}  // namespace mshtml

// --- the knobs ---

namespace sim {

void HoldEditLoads(bool hold) {
  mshtml::TheKnobs().Hold = hold;
  if (hold) return;
  std::vector<mshtml::EditComponent*> held;
  for (mshtml::EditComponent* c : mshtml::Live())
    if (c->HasHeldLoad()) held.push_back(c);
  for (mshtml::EditComponent* c : held) c->ResumeHeldLoad();
}
void DelayEditLoads(int passes) { mshtml::TheKnobs().Delay = passes < 0 ? 0 : passes; }
void FailEditProperty(DISPID id, HRESULT code) {
  auto& list = mshtml::TheKnobs().FailedProperties;
  list.erase(std::remove_if(list.begin(), list.end(), [&](const auto& p) { return p.first == id; }), list.end());
  if (FAILED(code)) list.emplace_back(id, code);
}
void FailEditCommand(DWORD id, HRESULT code) {
  auto& list = mshtml::TheKnobs().FailedCommands;
  list.erase(std::remove_if(list.begin(), list.end(), [&](const auto& p) { return p.first == id; }), list.end());
  if (FAILED(code)) list.emplace_back(id, code);
}
const std::vector<EditExecRecord>& EditExecRecords() { return mshtml::TheKnobs().Records; }
void ClearEditExecRecords() { mshtml::TheKnobs().Records.clear(); }
void ResetEditComponent() {
  mshtml::TheKnobs().Hold = false;
  mshtml::TheKnobs().Delay = 0;
  mshtml::TheKnobs().FailedProperties.clear();
  mshtml::TheKnobs().FailedCommands.clear();
  mshtml::TheKnobs().Records.clear();
}

}  // namespace sim
