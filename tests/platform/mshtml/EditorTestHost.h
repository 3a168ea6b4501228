// A minimal host for the editing component in tests: a frame window, a client site
// that answers what the component calls back during in-place activation, and an event
// sink that records every event (and runs a handler for it when the test gives one).
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <mutex>
#include <vector>

#include "MshtmlTestSupport.h"
#include "platform/mshtml/EditComponent.h"
#include "platform/mshtml/TextRange.h"
#include "platform/ole/Com.h"
#include "platform/ole/OleHost.h"
#include "platform/ole/OleVariant.h"
#include "platform/win/Messages.h"
#include "platform/win/Window.h"
#include "tests/support/Pump.h"

namespace edittest {

using namespace mshtml;

class TestSite final : public ComObject<IOleClientSite, IOleInPlaceSite> {
 public:
  explicit TestSite(HWND frame) : frame_(frame) {}
  std::vector<std::string> Calls;

  // IOleClientSite
  HRESULT SaveObject() override { return S_OK; }
  HRESULT GetMoniker(DWORD, DWORD, IMoniker** m) override {
    if (m) *m = nullptr;
    return E_NOTIMPL;
  }
  HRESULT GetContainer(IOleContainer** c) override {
    if (c) *c = nullptr;
    return E_NOTIMPL;
  }
  HRESULT ShowObject() override {
    Calls.push_back("ShowObject");
    return S_OK;
  }
  HRESULT OnShowWindow(BOOL) override { return S_OK; }
  HRESULT RequestNewObjectLayout() override { return E_NOTIMPL; }
  // IOleInPlaceSite
  HRESULT GetWindow(HWND* w) override {
    *w = frame_;
    return S_OK;
  }
  HRESULT ContextSensitiveHelp(BOOL) override { return S_OK; }
  HRESULT CanInPlaceActivate() override {
    Calls.push_back("CanInPlaceActivate");
    return S_OK;
  }
  HRESULT OnInPlaceActivate() override {
    Calls.push_back("OnInPlaceActivate");
    return S_OK;
  }
  HRESULT OnUIActivate() override {
    Calls.push_back("OnUIActivate");
    return S_OK;
  }
  HRESULT GetWindowContext(IOleInPlaceFrame** f, IOleInPlaceUIWindow** d, RECT* pos, RECT* clip,
                           OLEINPLACEFRAMEINFO*) override {
    if (f) *f = nullptr;
    if (d) *d = nullptr;
    *pos = RECT{0, 0, 200, 100};
    *clip = RECT{0, 0, 32767, 32767};
    return S_OK;
  }
  HRESULT Scroll(SIZEL) override { return E_NOTIMPL; }
  HRESULT OnUIDeactivate(BOOL) override {
    Calls.push_back("OnUIDeactivate");
    return S_OK;
  }
  HRESULT OnInPlaceDeactivate() override {
    Calls.push_back("OnInPlaceDeactivate");
    return S_OK;
  }
  HRESULT DiscardUndoState() override { return E_NOTIMPL; }
  HRESULT DeactivateAndUndo() override { return E_NOTIMPL; }
  HRESULT OnPosRectChange(const RECT*) override { return S_OK; }

 private:
  HWND frame_;
};

// One event as the sink received it: its DISPID and, for the DHTML events, a copy of
// the event object as the handlers left it.
struct Fired {
  DISPID Id;
  std::vector<Integer> Args;
  EventObject Event;
  bool HadEvent = false;
};

class EventSink final : public ComObject<IDispatch> {
 public:
  std::vector<Fired> Log;
  std::map<DISPID, std::function<void(EventObject*)>> Handlers;
  ComPtr<IHTMLDocument2> Dom;  // where the event object is read

  HRESULT GetTypeInfoCount(UINT* n) override {
    *n = 0;
    return S_OK;
  }
  HRESULT GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  HRESULT Invoke(DISPID id, REFIID, LCID, Word, DISPPARAMS* params, VARIANT*, EXCEPINFO*, UINT*) override {
    Fired f{id, {}, {}, false};
    for (UINT i = params ? params->cArgs : 0; i-- > 0;) f.Args.push_back(params->rgvarg[i].lVal);
    EventObject* e = Dom ? Dom->GetEvent() : nullptr;
    if (auto h = Handlers.find(id); h != Handlers.end()) h->second(e);
    if (e) {
      f.Event = *e;
      f.HadEvent = true;
    }
    Log.push_back(f);
    return S_OK;
  }
  std::vector<DISPID> Ids() const {
    std::vector<DISPID> ids;
    for (const Fired& f : Log) ids.push_back(f.Id);
    return ids;
  }
  // The DISPIDs logged, without the mouse moves, overs and outs (which follow the
  // pointer wherever the test moves it).
  std::vector<DISPID> IdsWithoutMoves() const {
    std::vector<DISPID> ids;
    for (const Fired& f : Log)
      if (f.Id != DISPID_EV_ONMOUSEMOVE && f.Id != DISPID_EV_ONMOUSEOVER && f.Id != DISPID_EV_ONMOUSEOUT)
        ids.push_back(f.Id);
    return ids;
  }

 protected:
  void* QueryInterfaceExtra(REFIID riid) override {
    return riid == DIID_DHTMLEditEvents ? static_cast<IDispatch*>(this) : nullptr;
  }
};

inline LRESULT FrameProc(HWND h, UINT m, WPARAM w, LPARAM l) { return DefWindowProc(h, m, w, l); }

inline HWND MakeFrame(int width, int height) {
  static std::once_flag once;
  std::call_once(once, [] {
    WNDCLASS wc;
    wc.lpfnWndProc = FrameProc;
    wc.lpszClassName = "LarkEditTestFrame";
    wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<uintptr_t>(COLOR_BTNFACE + 1));
    RegisterClass(&wc);
  });
  return CreateWindowEx(0, "LarkEditTestFrame", "Editor", WS_POPUP | WS_VISIBLE, 10, 10, width, height, 0, 0, 0,
                        nullptr);
}

// The component created by its class id, with a site and a sink; Activate puts it in
// place in the frame.
class Host {
 public:
  explicit Host(int width = 400, int height = 300) {
    EXPECT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
    Frame = MakeFrame(width, height);
    Site = MakeComObject<TestSite>(Frame);
    Sink = MakeComObject<EventSink>();
    HRESULT hr = CoCreateInstance(CLSID_DHTMLEdit, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER,
                                  IID_IOleObject, Object.ReleaseAndGetVoidAddress());
    EXPECT_EQ(hr, S_OK);
    if (!Object) return;
    Object.As(&Edit);
    Object.As(&Dispatch);
    Object->SetClientSite(Site.Get());
    ComPtr<IPersistStreamInit> persist;
    Object.As(&persist);
    persist->InitNew();
    ComPtr<IConnectionPointContainer> points;
    Object.As(&points);
    points->FindConnectionPoint(DIID_DHTMLEditEvents, Point.ReleaseAndGetAddressOf());
    Point->Advise(static_cast<IDispatch*>(Sink.Get()), &cookie_);
    RECT place{0, 0, width, height};
    Place = place;
  }
  ~Host() {
    if (Object) {
      Point->Unadvise(cookie_);
      Object->Close(OLECLOSE_NOSAVE);
      Object->SetClientSite(nullptr);
    }
    Sink->Dom = nullptr;
    Object = nullptr;
    Edit = nullptr;
    Dispatch = nullptr;
    Point = nullptr;
    DestroyWindow(Frame);
    OleUninitialize();
  }

  // In-place activation and the first document, loaded.
  void Activate() {
    ASSERT_EQ(Object->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, Site.Get(), 0, Frame, &Place), S_OK);
    ASSERT_TRUE(WaitLoaded());
  }

  bool Busy() {
    VARIANT v;
    VariantInit(&v);
    const HRESULT hr = Dispatch->Invoke(DISPID_DHTMLEDIT_BUSY, IID_NULL, 0, DISPATCH_PROPERTYGET, nullptr, &v,
                                        nullptr, nullptr);
    return FAILED(hr) || v.boolVal != 0;
  }
  // Pumps until no load is pending and the loop is idle; refreshes Dom.
  bool WaitLoaded() {
    const bool done = larktest::PumpUntil([&] { return !Busy(); }) && larktest::PumpUntilIdle();
    ComPtr<IDispatch> dom;
    if (SUCCEEDED(Edit->get_DOM(dom.ReleaseAndGetAddressOf()))) dom.As(&Sink->Dom);
    return done;
  }
  HRESULT Get(DISPID id, OleVariant* out) {
    out->Clear();
    return Dispatch->Invoke(id, IID_NULL, 0, DISPATCH_PROPERTYGET, nullptr, out, nullptr, nullptr);
  }
  HRESULT Put(DISPID id, const OleVariant& value) {
    OleVariant arg(value);
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS params;
    params.rgvarg = &arg;
    params.cArgs = 1;
    params.rgdispidNamedArgs = &named;
    params.cNamedArgs = 1;
    return Dispatch->Invoke(id, IID_NULL, 0, DISPATCH_PROPERTYPUT, &params, nullptr, nullptr, nullptr);
  }
  // Loads the markup through DocumentHTML and waits for it.
  void Load(const std::string& html) {
    ASSERT_EQ(Put(DISPID_DHTMLEDIT_DOCUMENTHTML, OleVariant(mshtmltest::W(html))), S_OK);
    ASSERT_TRUE(WaitLoaded());
  }
  Document* Doc() { return Sink->Dom ? Sink->Dom->GetDocument() : nullptr; }
  Layout* TheLayout() { return Sink->Dom ? Sink->Dom->GetLayout() : nullptr; }
  HWND DocWindow() {
    HWND w = 0;
    ComPtr<IOleWindow> window;
    Sink->Dom.As(&window);
    if (window) window->GetWindow(&w);
    return w;
  }
  std::string Body() { return mshtmltest::U(Doc()->GetBody()->GetInnerHTML()); }
  void SetCaret(Integer unit) {
    auto range = Doc()->CreateTextRange();
    range->SetRange(unit, unit);
    Doc()->GetSelection()->Select(*range);
  }
  Integer Caret() {
    auto range = Doc()->GetSelection()->CreateRange();
    return range ? range->GetStart() : -1;
  }

  HWND Frame = 0;
  RECT Place{};
  ComPtr<TestSite> Site;
  ComPtr<EventSink> Sink;
  ComPtr<IOleObject> Object;
  ComPtr<IDHTMLEdit> Edit;
  ComPtr<IDispatch> Dispatch;
  ComPtr<IConnectionPoint> Point;

 private:
  DWORD cookie_ = 0;
};

}  // namespace edittest
