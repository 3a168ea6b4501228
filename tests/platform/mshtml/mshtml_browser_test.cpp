// The browser object: navigation and its events in order, what it asks of its host's
// UI handler, addresses it refuses (another machine's are never fetched), the mode
// switch by WM_COMMAND, attached document events and the document's file interface.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "EditorTestHost.h"
#include "platform/mshtml/WebBrowser.h"
#include "platform/sim/Input.h"
#include "tests/support/CannedServer.h"

namespace {

using namespace mshtml;
using mshtmltest::U;
using mshtmltest::W;

// One log for the browser's events and the host's handler calls, so their
// interleaving shows.
using CallLog = std::vector<std::string>;

class BrowserSite final : public ComObject<IOleClientSite, IOleInPlaceSite, IDocHostUIHandler> {
 public:
  BrowserSite(HWND frame, CallLog* log) : frame_(frame), log_(log) {}
  HRESULT ContextMenuAnswer = S_OK;
  DWORD HostFlags = 0;

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
  HRESULT ShowObject() override { return S_OK; }
  HRESULT OnShowWindow(BOOL) override { return S_OK; }
  HRESULT RequestNewObjectLayout() override { return E_NOTIMPL; }
  // IOleInPlaceSite
  HRESULT GetWindow(HWND* w) override {
    *w = frame_;
    return S_OK;
  }
  HRESULT ContextSensitiveHelp(BOOL) override { return S_OK; }
  HRESULT CanInPlaceActivate() override { return S_OK; }
  HRESULT OnInPlaceActivate() override { return S_OK; }
  HRESULT OnUIActivate() override { return S_OK; }
  HRESULT GetWindowContext(IOleInPlaceFrame** f, IOleInPlaceUIWindow** d, RECT* pos, RECT* clip,
                           OLEINPLACEFRAMEINFO*) override {
    if (f) *f = nullptr;
    if (d) *d = nullptr;
    *pos = RECT{0, 0, 300, 200};
    *clip = RECT{0, 0, 32767, 32767};
    return S_OK;
  }
  HRESULT Scroll(SIZEL) override { return E_NOTIMPL; }
  HRESULT OnUIDeactivate(BOOL) override { return S_OK; }
  HRESULT OnInPlaceDeactivate() override { return S_OK; }
  HRESULT DiscardUndoState() override { return E_NOTIMPL; }
  HRESULT DeactivateAndUndo() override { return E_NOTIMPL; }
  HRESULT OnPosRectChange(const RECT*) override { return S_OK; }
  // IDocHostUIHandler
  HRESULT ShowContextMenu(DWORD, POINT* point, IUnknown*, IDispatch*) override {
    log_->push_back("ShowContextMenu " + std::to_string(point ? point->x : -1) + "," +
                    std::to_string(point ? point->y : -1));
    return ContextMenuAnswer;
  }
  HRESULT GetHostInfo(DOCHOSTUIINFO* info) override {
    log_->push_back("GetHostInfo");
    info->cbSize = 12;
    info->dwFlags = HostFlags;
    return S_OK;
  }
  HRESULT ShowUI(DWORD, IOleInPlaceActiveObject*, IOleCommandTarget*, IOleInPlaceFrame*,
                 IOleInPlaceUIWindow*) override {
    return S_FALSE;
  }
  HRESULT HideUI() override { return E_NOTIMPL; }
  HRESULT UpdateUI() override {
    log_->push_back("UpdateUI");
    return S_OK;
  }
  HRESULT EnableModeless(BOOL) override { return E_NOTIMPL; }
  HRESULT OnDocWindowActivate(BOOL) override { return E_NOTIMPL; }
  HRESULT OnFrameWindowActivate(BOOL) override { return E_NOTIMPL; }
  HRESULT ResizeBorder(const RECT*, IOleInPlaceUIWindow*, BOOL) override { return E_NOTIMPL; }
  HRESULT TranslateAccelerator(MSG*, const GUID*, DWORD) override { return E_NOTIMPL; }
  HRESULT GetOptionKeyPath(LPOLESTR* key, DWORD) override {
    if (key) *key = nullptr;
    return E_NOTIMPL;
  }
  HRESULT GetDropTarget(IDropTarget*, IDropTarget** target) override {
    if (target) *target = nullptr;
    return E_NOTIMPL;
  }
  HRESULT GetExternal(IDispatch** external) override {
    if (external) *external = nullptr;
    return E_NOTIMPL;
  }
  HRESULT TranslateUrl(DWORD, OLECHAR*, OLECHAR** translated) override {
    if (translated) *translated = nullptr;
    return S_FALSE;
  }
  HRESULT FilterDataObject(IDataObject*, IDataObject** replacement) override {
    if (replacement) *replacement = nullptr;
    return S_FALSE;
  }

 private:
  HWND frame_;
  CallLog* log_;
};

std::string EventName(DISPID id) {
  switch (id) {
    case DISPID_BEFORENAVIGATE2: return "BeforeNavigate2";
    case DISPID_DOWNLOADBEGIN: return "DownloadBegin";
    case DISPID_NAVIGATECOMPLETE2: return "NavigateComplete2";
    case DISPID_TITLECHANGE: return "TitleChange";
    case DISPID_DOWNLOADCOMPLETE: return "DownloadComplete";
    case DISPID_DOCUMENTCOMPLETE: return "DocumentComplete";
    default: return "event " + std::to_string(id);
  }
}

// The browser's events: the name, with the address for the events that carry one
// (the title for TitleChange).
class BrowserEvents final : public ComObject<IDispatch> {
 public:
  explicit BrowserEvents(CallLog* log) : log_(log) {}
  bool CancelNavigation = false;

  HRESULT GetTypeInfoCount(UINT* n) override {
    *n = 0;
    return S_OK;
  }
  HRESULT GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  HRESULT Invoke(DISPID id, REFIID, LCID, Word, DISPPARAMS* p, VARIANT*, EXCEPINFO*, UINT*) override {
    std::string entry = EventName(id);
    auto text = [](const VARIANT& v) {
      const VARIANT& inner = v.vt == (VT_VARIANT | VT_BYREF) ? *v.pvarVal : v;
      return inner.vt == VT_BSTR && inner.bstrVal ? U(WideString(inner.bstrVal)) : std::string("?");
    };
    if (id == DISPID_BEFORENAVIGATE2 || id == DISPID_NAVIGATECOMPLETE2 || id == DISPID_DOCUMENTCOMPLETE) {
      EXPECT_GE(p->cArgs, 2u);
      EXPECT_EQ(p->rgvarg[p->cArgs - 1].vt, VT_DISPATCH);  // the browser
      entry += " " + text(p->rgvarg[p->cArgs - 2]);
    }
    if (id == DISPID_TITLECHANGE && p->cArgs == 1) entry += " " + text(p->rgvarg[0]);
    if (id == DISPID_BEFORENAVIGATE2) {
      EXPECT_EQ(p->cArgs, 7u);
      EXPECT_EQ(p->rgvarg[0].vt, VT_BOOL | VT_BYREF);  // Cancel, the last argument
      if (CancelNavigation) *p->rgvarg[0].pboolVal = VARIANT_TRUE;
    }
    log_->push_back(entry);
    return S_OK;
  }

 protected:
  void* QueryInterfaceExtra(REFIID riid) override {
    return riid == DIID_DWebBrowserEvents2 ? static_cast<IDispatch*>(this) : nullptr;
  }

 private:
  CallLog* log_;
};

// A sink attached to a document event: counts its calls.
class AttachedSink final : public ComObject<IDispatch> {
 public:
  int Calls = 0;
  HRESULT GetTypeInfoCount(UINT* n) override {
    *n = 0;
    return S_OK;
  }
  HRESULT GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  HRESULT Invoke(DISPID, REFIID, LCID, Word, DISPPARAMS* p, VARIANT*, EXCEPINFO*, UINT*) override {
    EXPECT_EQ(p ? p->cArgs : 0u, 0u);
    ++Calls;
    return S_OK;
  }
};

std::filesystem::path TempDir() {
  auto dir = std::filesystem::path(LARK_TEST_BINARY_DIR) / "mshtml-browser";
  std::filesystem::create_directories(dir);
  return dir;
}

std::string WriteFile(const std::string& name, const std::string& content) {
  const auto path = TempDir() / name;
  std::ofstream(path, std::ios::binary) << content;
  return path.string();
}

class Browser : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
    frame_ = edittest::MakeFrame(300, 200);
    site_ = MakeComObject<BrowserSite>(frame_, &log_);
    events_ = MakeComObject<BrowserEvents>(&log_);
    ASSERT_EQ(CoCreateInstance(CLSID_WebBrowser, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject,
                               object_.ReleaseAndGetVoidAddress()),
              S_OK);
    ASSERT_EQ(object_.As(&browser_), S_OK);
    ASSERT_EQ(object_->SetClientSite(site_.Get()), S_OK);
    ComPtr<IConnectionPointContainer> points;
    ASSERT_EQ(object_.As(&points), S_OK);
    ASSERT_EQ(points->FindConnectionPoint(DIID_DWebBrowserEvents2, point_.ReleaseAndGetAddressOf()), S_OK);
    ASSERT_EQ(point_->Advise(static_cast<IDispatch*>(events_.Get()), &cookie_), S_OK);
    RECT place{0, 0, 300, 200};
    ASSERT_EQ(object_->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, site_.Get(), 0, frame_, &place), S_OK);
    ASSERT_TRUE(WaitLoaded());
    log_.clear();
  }
  void TearDown() override {
    if (object_) {
      point_->Unadvise(cookie_);
      object_->Close(OLECLOSE_NOSAVE);
      object_->SetClientSite(nullptr);
    }
    point_ = nullptr;
    browser_ = nullptr;
    object_ = nullptr;
    DestroyWindow(frame_);
    OleUninitialize();
  }

  bool Busy() {
    VARIANT_BOOL busy = VARIANT_TRUE;
    return FAILED(browser_->get_Busy(&busy)) || busy != VARIANT_FALSE;
  }
  bool WaitLoaded() { return larktest::PumpUntil([&] { return !Busy(); }) && larktest::PumpUntilIdle(); }
  HRESULT Navigate(const std::string& address) {
    const WideString url = W(address);
    return browser_->Navigate(url.c_str(), nullptr, nullptr, nullptr, nullptr);
  }
  ComPtr<IHTMLDocument2> Dom() {
    ComPtr<IDispatch> dispatch;
    ComPtr<IHTMLDocument2> dom;
    if (SUCCEEDED(browser_->get_Document(dispatch.ReleaseAndGetAddressOf()))) dispatch.As(&dom);
    return dom;
  }
  Document* Doc() { return Dom()->GetDocument(); }
  HWND DocWindow() {
    HWND w = 0;
    ComPtr<IOleWindow> window;
    Dom().As(&window);
    if (window) window->GetWindow(&w);
    return w;
  }
  std::string Body() { return U(Doc()->GetBody()->GetInnerHTML()); }
  std::string Location() {
    BSTR url = nullptr;
    EXPECT_EQ(browser_->get_LocationURL(&url), S_OK);
    const std::string out = url ? U(WideString(url)) : "";
    SysFreeString(url);
    return out;
  }

  CallLog log_;
  HWND frame_ = 0;
  ComPtr<BrowserSite> site_;
  ComPtr<BrowserEvents> events_;
  ComPtr<IOleObject> object_;
  ComPtr<IWebBrowser2> browser_;
  ComPtr<IConnectionPoint> point_;
  DWORD cookie_ = 0;
};

TEST_F(Browser, NavigationFiresItsEventsInOrderAndAsksTheHost) {
  ASSERT_EQ(Navigate("about:blank"), S_OK);
  // The first two come before Navigate returns; the rest when the load completes.
  EXPECT_EQ(log_, (CallLog{"BeforeNavigate2 about:blank", "DownloadBegin"}));
  EXPECT_TRUE(Busy());
  ASSERT_TRUE(WaitLoaded());
  EXPECT_EQ(log_, (CallLog{"BeforeNavigate2 about:blank", "DownloadBegin", "GetHostInfo",
                           "NavigateComplete2 about:blank", "TitleChange about:blank", "DownloadComplete",
                           "DocumentComplete about:blank", "UpdateUI"}));
  EXPECT_EQ(Location(), "about:blank");
  EXPECT_EQ(Body(), "<P>&nbsp;</P>");
  EXPECT_EQ(U(Doc()->GetDesignMode()), "Off");  // a navigation makes a document in browse mode

  // A file, by path and by file: address (with an escaped blank): its title comes
  // with TitleChange.
  const std::string path = WriteFile("a page.htm", "<title>Feed</title><p>from the file</p>");
 for (const std::string& address : std::vector<std::string>{path, "file://" + (TempDir() / "a%20page.htm").string(),
                                    "file://localhost" + (TempDir() / "a%20page.htm").string()}) {
    SCOPED_TRACE(address);
    log_.clear();
    ASSERT_EQ(Navigate(address), S_OK);
    ASSERT_TRUE(WaitLoaded());
    EXPECT_EQ(log_, (CallLog{"BeforeNavigate2 " + address, "DownloadBegin", "GetHostInfo",
                             "NavigateComplete2 " + address, "TitleChange Feed", "DownloadComplete",
                             "DocumentComplete " + address, "UpdateUI"}));
    EXPECT_EQ(Body(), "<P>from the file</P>");
    EXPECT_EQ(Location(), address);
  }
}

TEST_F(Browser, ACancelledNavigationLoadsNothing) {
  const std::string path = WriteFile("cancelled.htm", "<p>never shown</p>");
  events_->CancelNavigation = true;
  ASSERT_EQ(Navigate(path), S_OK);
  EXPECT_FALSE(Busy());
  ASSERT_TRUE(WaitLoaded());
  EXPECT_EQ(log_, (CallLog{"BeforeNavigate2 " + path}));
  EXPECT_EQ(Body(), "<P>&nbsp;</P>");
  EXPECT_EQ(Location(), "about:blank");
}

TEST_F(Browser, AddressesItCannotShowAreRefusedAndNeverFetched) {
  // A server on this machine: it must never see a connection.
  larktest::CannedServer server;
  ASSERT_EQ(server.LoadCaseText("--- connection\n>>> expect\n<<< send\nHTTP/1.0 200 OK\\r\\n\\r\\n<p>remote</p>\n"
                                "=== close\n"),
            "");
  ASSERT_TRUE(server.Start());
  ASSERT_EQ(Navigate(WriteFile("shown.htm", "<p>shown</p>")), S_OK);
  ASSERT_TRUE(WaitLoaded());
  log_.clear();
  const std::string port = std::to_string(server.Port());
  for (const std::string& address : std::vector<std::string>{server.Url("/page.htm"), "https://127.0.0.1:" + port + "/", "ftp://127.0.0.1:" + port + "/x",
        "//127.0.0.1:" + port + "/x", "file://127.0.0.1" + (TempDir() / "shown.htm").string(),
        "file://otherhost/tmp/x.htm", "javascript:alert(1)", (TempDir() / "missing.htm").string(),
        TempDir().string()}) {
    SCOPED_TRACE(address);
    EXPECT_EQ(Navigate(address), INET_E_RESOURCE_NOT_FOUND);
    EXPECT_FALSE(Busy());
  }
  ASSERT_TRUE(WaitLoaded());
  EXPECT_EQ(log_, CallLog{});  // not even BeforeNavigate2
  EXPECT_EQ(Body(), "<P>shown</P>");
  server.Stop();
  EXPECT_TRUE(server.Requests().empty());
}

TEST_F(Browser, ModeSwitchByCommandAndLoadsIntoTheDocumentKeepTheMode) {
  const HWND w = DocWindow();
  ASSERT_NE(w, HWND(0));
  EXPECT_EQ(SendMessage(w, WM_COMMAND, IDM_EDITMODE, 0), 0);
  EXPECT_EQ(U(Doc()->GetDesignMode()), "On");
  ASSERT_TRUE(WaitLoaded());
  // The switch completes like a load of the same document, no navigation.
  EXPECT_EQ(log_, (CallLog{"NavigateComplete2 about:blank", "DocumentComplete about:blank", "UpdateUI"}));

  // Markup through the document's file interface: the mode stays, the file is current.
  const std::string path = WriteFile("kept.htm", "<p>kept</p>");
  ComPtr<IPersistFile> file;
  ASSERT_EQ(Dom().As(&file), S_OK);
  log_.clear();
  ASSERT_EQ(file->Load(W(path).c_str(), 0), S_OK);
  ASSERT_TRUE(WaitLoaded());
  EXPECT_EQ(log_.front(), "GetHostInfo");  // a new document
  EXPECT_EQ(Body(), "<P>kept</P>");
  EXPECT_EQ(U(Doc()->GetDesignMode()), "On");
  LPOLESTR current = nullptr;
  ASSERT_EQ(file->GetCurFile(&current), S_OK);
  EXPECT_EQ(U(WideString(current)), path);
  CoTaskMemFree(current);
  EXPECT_EQ(file->IsDirty(), S_FALSE);
  Doc()->GetBody()->SetInnerHTML(u"<P>edited</P>");
  EXPECT_EQ(file->IsDirty(), S_OK);
  const std::string saved = (TempDir() / "saved.htm").string();
  ASSERT_EQ(file->Save(W(saved).c_str(), TRUE), S_OK);
  std::ifstream in(saved, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  // UTF-16 with its byte-order mark.
  ASSERT_GE(bytes.size(), 2u);
  EXPECT_EQ(bytes.substr(0, 2), "\xFF\xFE");
  EXPECT_NE(bytes.find(std::string("e\0d\0i\0t\0e\0d\0", 12)), std::string::npos);
  // A missing file is an error and changes nothing.
  EXPECT_TRUE(FAILED(file->Load(W((TempDir() / "missing.htm").string()).c_str(), 0)));
  EXPECT_FALSE(Busy());

  EXPECT_EQ(SendMessage(w, WM_COMMAND, IDM_BROWSEMODE, 0), 0);
  EXPECT_EQ(U(Doc()->GetDesignMode()), "Off");
  ASSERT_TRUE(WaitLoaded());
  EXPECT_NE(Body().find("edited"), std::string::npos);  // the same document
}

TEST_F(Browser, AttachedSinksHearTheirDocumentsEventsAndTheHostTheContextMenu) {
  ComPtr<IHTMLDocument3> doc3;
  ASSERT_EQ(Dom().As(&doc3), S_OK);
  auto clicks = MakeComObject<AttachedSink>();
  auto downs = MakeComObject<AttachedSink>();
  VARIANT_BOOL attached = VARIANT_FALSE;
  ASSERT_EQ(doc3->attachEvent(u"onclick", clicks.Get(), &attached), S_OK);
  EXPECT_EQ(attached, VARIANT_TRUE);
  ASSERT_EQ(doc3->attachEvent(u"onmousedown", downs.Get(), &attached), S_OK);
  EXPECT_EQ(doc3->attachEvent(u"onnosuchthing", clicks.Get(), &attached), S_OK);
  EXPECT_EQ(attached, VARIANT_FALSE);
  EXPECT_EQ(doc3->attachEvent(u"onclick", nullptr, &attached), E_POINTER);

  const HWND w = DocWindow();
  sim::Click(w, 20, 10);
  ASSERT_TRUE(larktest::PumpUntilIdle());
  EXPECT_EQ(clicks->Calls, 1);
  EXPECT_EQ(downs->Calls, 1);

  // The host's handler gets the right click; S_OK: the host has dealt with it.
  log_.clear();
  sim::RightClick(w, 30, 12);
  ASSERT_TRUE(larktest::PumpUntilIdle());
  ASSERT_FALSE(log_.empty());
  EXPECT_EQ(log_.front().rfind("ShowContextMenu ", 0), 0u) << log_.front();
  EXPECT_EQ(downs->Calls, 2);

  ASSERT_EQ(doc3->detachEvent(u"onclick", clicks.Get()), S_OK);
  sim::Click(w, 20, 10);
  ASSERT_TRUE(larktest::PumpUntilIdle());
  EXPECT_EQ(clicks->Calls, 1);
  EXPECT_EQ(downs->Calls, 3);

  // A new document starts with nothing attached.
  ASSERT_EQ(Navigate("about:blank"), S_OK);
  ASSERT_TRUE(WaitLoaded());
  sim::Click(w, 20, 10);
  ASSERT_TRUE(larktest::PumpUntilIdle());
  EXPECT_EQ(downs->Calls, 3);
}

TEST_F(Browser, TheHostsFlagsShapeTheNextDocument) {
  auto enterMakes = [&] {
    Doc()->SetDesignMode(u"on");
    EXPECT_TRUE(WaitLoaded());
    Doc()->GetBody()->SetInnerHTML(u"ab");  // loose text: Enter makes it a block
    auto range = Doc()->CreateTextRange();
    range->SetRange(1, 1);
    Doc()->GetSelection()->Select(*range);
    SetFocus(DocWindow());
    sim::PressKey(VK_RETURN);
    EXPECT_TRUE(larktest::PumpUntilIdle());
    return Body();
  };
  auto verticalBar = [&] {
    SCROLLINFO info;
    info.cbSize = sizeof info;
    info.fMask = SIF_ALL;
    GetScrollInfo(DocWindow(), SB_VERT, &info);
    return info.nMax;
  };
  EXPECT_EQ(enterMakes(), "<P>a</P>\r\n<P>b</P>");
  Doc()->GetBody()->SetInnerHTML(W(std::string(60, 'x') + "<BR>" + std::string(200, 'y') + "<P>z</P><P>z</P>" +
                                   "<P>z</P><P>z</P><P>z</P><P>z</P><P>z</P><P>z</P><P>z</P><P>z</P><P>z</P>"));
  ASSERT_TRUE(larktest::PumpUntilIdle());
  EXPECT_GT(verticalBar(), 0);
  // Asked again at the next navigation: Enter makes a DIV, no scroll bars.
  site_->HostFlags = DOCHOSTUIFLAG_DIV_BLOCKDEFAULT | DOCHOSTUIFLAG_SCROLL_NO;
  ASSERT_EQ(Navigate("about:blank"), S_OK);
  ASSERT_TRUE(WaitLoaded());
  EXPECT_EQ(enterMakes(), "<DIV>a</DIV>\r\n<DIV>b</DIV>");
  Doc()->GetBody()->SetInnerHTML(W(std::string(60, 'x') + "<BR>" + std::string(200, 'y') + "<P>z</P><P>z</P>" +
                                   "<P>z</P><P>z</P><P>z</P><P>z</P><P>z</P><P>z</P><P>z</P><P>z</P><P>z</P>"));
  ASSERT_TRUE(larktest::PumpUntilIdle());
  EXPECT_EQ(verticalBar(), 0);
}

}  // namespace
