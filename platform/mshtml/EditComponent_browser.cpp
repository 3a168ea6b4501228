// The browser object's side of the component: navigation, its events, what it asks
// of its host, the document's attached event sinks and its file interface.
#include <cstring>

#include "platform/mshtml/EditComponentInternal.h"
#include "platform/ole/Com.h"
#include "platform/ole/OleVariant.h"

namespace mshtml {

namespace {

// The document events a sink can attach to, by the component's event DISPID.
const char16_t* DocumentEventName(DISPID id) {
  switch (id) {
    case DISPID_EV_ONMOUSEDOWN: return u"onmousedown";
    case DISPID_EV_ONMOUSEMOVE: return u"onmousemove";
    case DISPID_EV_ONMOUSEUP: return u"onmouseup";
    case DISPID_EV_ONMOUSEOUT: return u"onmouseout";
    case DISPID_EV_ONMOUSEOVER: return u"onmouseover";
    case DISPID_EV_ONCLICK: return u"onclick";
    case DISPID_EV_ONDBLCLICK: return u"ondblclick";
    case DISPID_EV_ONKEYDOWN: return u"onkeydown";
    case DISPID_EV_ONKEYPRESS: return u"onkeypress";
    case DISPID_EV_ONKEYUP: return u"onkeyup";
    case DISPID_EV_ONBLUR: return u"onblur";
    case DISPID_EV_ONREADYSTATECHANGE: return u"onreadystatechange";
    default: return nullptr;
  }
}

bool IsDocumentEvent(const WideString& name) {
  for (DISPID id = DISPID_EV_ONMOUSEDOWN; id <= DISPID_EV_ONREADYSTATECHANGE; ++id)
    if (name == DocumentEventName(id)) return true;
  return false;
}

}  // namespace

// --- IWebBrowser2 ---

HRESULT EditComponent::Navigate(const OLECHAR* url, VARIANT*, VARIANT*, VARIANT*, VARIANT*) {
  if (!browser_) return E_NOTIMPL;
  const WideString address = url && *url ? WideString(url) : WideString(u"about:blank");
  // An address that cannot be shown (another machine's, or a file that is not there)
  // is refused before anything starts: no events, the document stays.
  std::unique_ptr<LoadJob> job;
  const HRESULT hr = UrlJob(address, &job);
  if (FAILED(hr)) return hr;
  // BeforeNavigate2(browser, URL, Flags, TargetFrameName, PostData, Headers, Cancel):
  // a sink that sets Cancel stops the navigation before it starts.
  {
    ComPtr<IWebBrowser2> hold(this);
    OleVariant addressArg(address), flags(int32_t{0}), frame{WideString()}, headers{WideString()};
    OleVariant postData;
    VARIANT_BOOL cancel = VARIANT_FALSE;
    VARIANT args[7];
    for (VARIANT& a : args) VariantInit(&a);
    args[0].vt = VT_DISPATCH;
    args[0].pdispVal = static_cast<IDispatch*>(static_cast<IWebBrowser2*>(this));
    args[1].vt = VT_VARIANT | VT_BYREF;
    args[1].pvarVal = &addressArg;
    args[2].vt = VT_VARIANT | VT_BYREF;
    args[2].pvarVal = &flags;
    args[3].vt = VT_VARIANT | VT_BYREF;
    args[3].pvarVal = &frame;
    args[4].vt = VT_VARIANT | VT_BYREF;
    args[4].pvarVal = &postData;
    args[5].vt = VT_VARIANT | VT_BYREF;
    args[5].pvarVal = &headers;
    args[6].vt = VT_BOOL | VT_BYREF;
    args[6].pboolVal = &cancel;
    browserEvents_.FireDispatch(DISPID_BEFORENAVIGATE2, args, 7);
    if (cancel != VARIANT_FALSE) return S_OK;
  }
  FireBrowserPlain(DISPID_DOWNLOADBEGIN);
  job->Navigation = true;
  job->Navigated = true;
  location_ = address;
  StartLoad(std::move(job));
  return S_OK;
}

HRESULT EditComponent::get_Document(IDispatch** document) {
  if (!browser_) return E_NOTIMPL;
  return get_DOM(document);
}

HRESULT EditComponent::get_Busy(VARIANT_BOOL* busy) {
  if (!browser_) return E_NOTIMPL;
  if (busy == nullptr) return E_POINTER;
  *busy = job_ ? VARIANT_TRUE : VARIANT_FALSE;
  return S_OK;
}

HRESULT EditComponent::get_LocationURL(BSTR* url) {
  if (!browser_) return E_NOTIMPL;
  if (url == nullptr) return E_POINTER;
  *url = WideToBstr(location_);
  return S_OK;
}

// --- Events and the host ---

ComPtr<IDocHostUIHandler> EditComponent::HostHandler() {
  ComPtr<IDocHostUIHandler> handler;
  if (clientSite_) clientSite_.As(&handler);
  return handler;
}

void EditComponent::FireBrowser(DISPID id) {
  VARIANT args[2];
  VariantInit(&args[0]);
  VariantInit(&args[1]);
  args[0].vt = VT_DISPATCH;
  args[0].pdispVal = static_cast<IDispatch*>(static_cast<IWebBrowser2*>(this));
  OleVariant address(location_);
  args[1].vt = VT_VARIANT | VT_BYREF;
  args[1].pvarVal = &address;
  browserEvents_.FireDispatch(id, args, 2);
}

void EditComponent::FireBrowserPlain(DISPID id, VARIANT* args, UINT count) {
  ComPtr<IWebBrowser2> hold(this);
  browserEvents_.FireDispatch(id, args, count);
}

bool EditComponent::BrowserFire(DISPID id, VARIANT* args, UINT count) {
  if (id == DISPID_EV_DOCUMENTCOMPLETE) {
    // A navigation ends NavigateComplete2, TitleChange, DownloadComplete,
    // DocumentComplete; markup loaded into the document, or a mode switch, only
    // NavigateComplete2 and DocumentComplete.
    const bool navigated = lastLoadNavigated_;
    FireBrowser(DISPID_NAVIGATECOMPLETE2);
    if (navigated) {
      const WideString title = document_->GetTitle();
      OleVariant text(title.empty() ? location_ : title);
      FireBrowserPlain(DISPID_TITLECHANGE, &text, 1);
      FireBrowserPlain(DISPID_DOWNLOADCOMPLETE);
    }
    FireBrowser(DISPID_DOCUMENTCOMPLETE);
    return true;
  }
  if (id == DISPID_EV_DISPLAYCHANGED) {
    if (auto host = HostHandler()) host->UpdateUI();
    return true;
  }
  if (id == DISPID_EV_SHOWCONTEXTMENU) {
    POINT point{count > 0 ? args[0].lVal : 0, count > 1 ? args[1].lVal : 0};
    if (auto host = HostHandler()) host->ShowContextMenu(0, &point, nullptr, nullptr);
    return true;
  }
  const char16_t* name = DocumentEventName(id);
  if (!name) return false;
  // The sinks attached when the event starts, each held until it returns.
  std::vector<ComPtr<IDispatch>> sinks;
  for (const auto& [event, sink] : attached_)
    if (event == name) sinks.push_back(sink);
  for (const ComPtr<IDispatch>& sink : sinks) {
    DISPPARAMS none{};
    sink->Invoke(DISPID_VALUE, IID_NULL, 0, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr);
  }
  return true;
}

HRESULT EditComponent::AttachDocumentEvent(const WideString& name, IDispatch* sink) {
  if (sink == nullptr) return E_POINTER;
  if (!IsDocumentEvent(name)) return S_FALSE;
  attached_.emplace_back(name, ComPtr<IDispatch>(sink));
  return S_OK;
}

HRESULT EditComponent::DetachDocumentEvent(const WideString& name, IDispatch* sink) {
  for (auto it = attached_.begin(); it != attached_.end(); ++it)
    if (it->first == name && it->second.Get() == sink) {
      attached_.erase(it);
      return S_OK;
    }
  return S_OK;
}

// --- Files ---

HRESULT EditComponent::LoadFile(const WideString& name) {
  OleVariant path(name);
  OleVariant prompt(false);
  return LoadDocument(&path, &prompt);
}

HRESULT EditComponent::SaveFile(const WideString& name) {
  OleVariant path(name);
  OleVariant prompt(false);
  const HRESULT hr = SaveDocument(&path, &prompt);
  if (SUCCEEDED(hr) && !name.empty()) filePath_ = name;
  return hr;
}

// --- The document's interfaces for the browser's host ---

HRESULT DocumentObject::attachEvent(const OLECHAR* name, IDispatch* sink, VARIANT_BOOL* result) {
  if (!owner_) return E_UNEXPECTED;
  const HRESULT hr = owner_->AttachDocumentEvent(name ? WideString(name) : WideString(), sink);
  if (result) *result = hr == S_OK ? VARIANT_TRUE : VARIANT_FALSE;
  return FAILED(hr) ? hr : S_OK;
}

HRESULT DocumentObject::detachEvent(const OLECHAR* name, IDispatch* sink) {
  if (!owner_) return E_UNEXPECTED;
  return owner_->DetachDocumentEvent(name ? WideString(name) : WideString(), sink);
}

HRESULT DocumentObject::Load(LPCOLESTR fileName, DWORD) {
  if (!owner_) return E_UNEXPECTED;
  return owner_->LoadFile(fileName ? WideString(fileName) : WideString());
}

HRESULT DocumentObject::Save(LPCOLESTR fileName, BOOL) {
  if (!owner_) return E_UNEXPECTED;
  return owner_->SaveFile(fileName ? WideString(fileName) : WideString());
}

HRESULT DocumentObject::SaveCompleted(LPCOLESTR) { return S_OK; }

HRESULT DocumentObject::GetCurFile(LPOLESTR* fileName) {
  if (fileName == nullptr) return E_POINTER;
  *fileName = nullptr;
  if (!owner_) return E_UNEXPECTED;
  const WideString file = owner_->CurrentFile();
  auto* copy = static_cast<OLECHAR*>(CoTaskMemAlloc((file.size() + 1) * sizeof(OLECHAR)));
  if (!copy) return E_OUTOFMEMORY;
  std::memcpy(copy, file.c_str(), (file.size() + 1) * sizeof(OLECHAR));
  *fileName = copy;
  return file.empty() ? S_FALSE : S_OK;
}

}  // namespace mshtml
