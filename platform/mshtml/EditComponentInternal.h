// The editing component's objects, shared by its sources (EditComponent*.cpp).
#pragma once

#include <memory>
#include <optional>
#include <vector>

#include "platform/mshtml/Caret.h"
#include "platform/mshtml/EditComponent.h"
#include "platform/mshtml/TextRange.h"
#include "platform/mshtml/WebBrowser.h"
#include "platform/ole/Unknown.h"
#include "platform/win/WinTypes.h"

namespace mshtml {

class EditComponent;

// The document as COM objects see it; lives as long as someone holds it, answers
// E_UNEXPECTED once its component is gone.
class DocumentObject final
    : public ComObject<IHTMLDocument2, IOleWindow, IOleCommandTarget, IPersistStreamInit, IMarkupContainer2,
                       IHTMLDocument3, IPersistFile> {
 public:
  explicit DocumentObject(EditComponent* owner) : owner_(owner) {}
  void Detach() { owner_ = nullptr; }

  // IDispatch: the document has no properties by DISPID here.
  HRESULT GetTypeInfoCount(UINT* count) override;
  HRESULT GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
  HRESULT GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) override;
  HRESULT Invoke(DISPID id, REFIID riid, LCID lcid, Word flags, DISPPARAMS* params, VARIANT* result,
                 EXCEPINFO* excepInfo, UINT* argErr) override;
  // IHTMLDocument2
  Document* GetDocument() override;
  Layout* GetLayout() override;
  EventObject* GetEvent() override;
  WideString GetReadyState() override;
  void SetImageLoader(ImageLoader loader) override;
  // IOleWindow
  HRESULT GetWindow(HWND* window) override;
  HRESULT ContextSensitiveHelp(BOOL enterMode) override;
  // IOleCommandTarget
  HRESULT QueryStatus(const GUID* group, ULONG count, OLECMD* commands, OLECMDTEXT* text) override;
  HRESULT Exec(const GUID* group, DWORD id, DWORD option, VARIANT* in, VARIANT* out) override;
  // IPersistStreamInit
  HRESULT GetClassID(CLSID* clsid) override;
  HRESULT IsDirty() override;
  HRESULT Load(IStream* stream) override;
  HRESULT Save(IStream* stream, BOOL clearDirty) override;
  HRESULT GetSizeMax(uint64_t* size) override;
  HRESULT InitNew() override;
  // IMarkupContainer2
  HRESULT CreateChangeLog(IHTMLChangeSink* sink, IHTMLChangeLog** log, BOOL forward, BOOL backward) override;
  // IHTMLDocument3
  HRESULT attachEvent(const OLECHAR* name, IDispatch* sink, VARIANT_BOOL* result) override;
  HRESULT detachEvent(const OLECHAR* name, IDispatch* sink) override;
  // IPersistFile (IsDirty and GetClassID are shared with IPersistStreamInit)
  HRESULT Load(LPCOLESTR fileName, DWORD mode) override;
  HRESULT Save(LPCOLESTR fileName, BOOL remember) override;
  HRESULT SaveCompleted(LPCOLESTR fileName) override;
  HRESULT GetCurFile(LPOLESTR* fileName) override;

 protected:
  void* QueryInterfaceExtra(REFIID riid) override;

 private:
  EditComponent* owner_;
};

// A change log: registered with its component while it lives.
class ChangeLog final : public ComObject<IHTMLChangeLog> {
 public:
  ChangeLog(EditComponent* owner, IHTMLChangeSink* sink);
  ~ChangeLog() override;
  void Detach() { owner_ = nullptr; }
  IHTMLChangeSink* Sink() const { return sink_.Get(); }

 private:
  EditComponent* owner_;
  ComPtr<IHTMLChangeSink> sink_;
};

class EditComponent final
    : public ComObject<IDHTMLEdit, IOleObject, IOleInPlaceObject, IOleInPlaceActiveObject, IOleControl,
                       IPersistStreamInit, IOleCommandTarget, IConnectionPointContainer, IWebBrowser2> {
 public:
  // browser: the object speaks as the browser object (WebBrowser.h).
  explicit EditComponent(bool browser = false);
  ~EditComponent() override;

  // IDispatch
  HRESULT GetTypeInfoCount(UINT* count) override;
  HRESULT GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
  HRESULT GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) override;
  HRESULT Invoke(DISPID id, REFIID riid, LCID lcid, Word flags, DISPPARAMS* params, VARIANT* result,
                 EXCEPINFO* excepInfo, UINT* argErr) override;
  // IDHTMLEdit
  HRESULT get_DOM(IDispatch** document) override;
  HRESULT NewDocument() override;
  HRESULT LoadURL(const OLECHAR* url) override;
  HRESULT LoadDocument(VARIANT* path, VARIANT* promptUser) override;
  HRESULT SaveDocument(VARIANT* path, VARIANT* promptUser) override;
  HRESULT ExecCommand(DWORD id, DWORD option, VARIANT* in, VARIANT* out) override;
  HRESULT QueryStatus(DWORD id, DWORD* status) override;
  // IOleObject
  HRESULT SetClientSite(IOleClientSite* site) override;
  HRESULT GetClientSite(IOleClientSite** site) override;
  HRESULT SetHostNames(LPCOLESTR containerApp, LPCOLESTR containerObject) override;
  HRESULT Close(DWORD saveOption) override;
  HRESULT SetMoniker(DWORD which, IMoniker* moniker) override;
  HRESULT GetMoniker(DWORD assign, DWORD which, IMoniker** moniker) override;
  HRESULT InitFromData(IDataObject* data, BOOL creation, DWORD reserved) override;
  HRESULT GetClipboardData(DWORD reserved, IDataObject** data) override;
  HRESULT DoVerb(LONG verb, MSG* msg, IOleClientSite* site, LONG index, HWND parent, const RECT* position) override;
  HRESULT EnumVerbs(IEnumOLEVERB** verbs) override;
  HRESULT Update() override;
  HRESULT IsUpToDate() override;
  HRESULT GetUserClassID(CLSID* clsid) override;
  HRESULT GetUserType(DWORD form, LPOLESTR* userType) override;
  HRESULT SetExtent(DWORD aspect, SIZEL* size) override;
  HRESULT GetExtent(DWORD aspect, SIZEL* size) override;
  HRESULT Advise(IAdviseSink* sink, DWORD* connection) override;
  HRESULT Unadvise(DWORD connection) override;
  HRESULT EnumAdvise(IEnumSTATDATA** advises) override;
  HRESULT GetMiscStatus(DWORD aspect, DWORD* status) override;
  HRESULT SetColorScheme(LOGPALETTE* palette) override;
  // IOleWindow (of the in-place object and the active object alike)
  HRESULT GetWindow(HWND* window) override;
  HRESULT ContextSensitiveHelp(BOOL enterMode) override;
  // IOleInPlaceObject
  HRESULT InPlaceDeactivate() override;
  HRESULT UIDeactivate() override;
  HRESULT SetObjectRects(const RECT* position, const RECT* clip) override;
  HRESULT ReactivateAndUndo() override;
  // IOleInPlaceActiveObject
  HRESULT TranslateAccelerator(MSG* msg) override;
  HRESULT OnFrameWindowActivate(BOOL activate) override;
  HRESULT OnDocWindowActivate(BOOL activate) override;
  HRESULT ResizeBorder(const RECT* border, IOleInPlaceUIWindow* window, BOOL frameWindow) override;
  HRESULT EnableModeless(BOOL enable) override;
  // IOleControl
  HRESULT GetControlInfo(CONTROLINFO* info) override;
  HRESULT OnMnemonic(MSG* msg) override;
  HRESULT OnAmbientPropertyChange(DISPID id) override;
  HRESULT FreezeEvents(BOOL freeze) override;
  // IPersistStreamInit (the component's settings)
  HRESULT GetClassID(CLSID* clsid) override;
  HRESULT IsDirty() override;
  HRESULT Load(IStream* stream) override;
  HRESULT Save(IStream* stream, BOOL clearDirty) override;
  HRESULT GetSizeMax(uint64_t* size) override;
  HRESULT InitNew() override;
  // IOleCommandTarget
  HRESULT QueryStatus(const GUID* group, ULONG count, OLECMD* commands, OLECMDTEXT* text) override;
  HRESULT Exec(const GUID* group, DWORD id, DWORD option, VARIANT* in, VARIANT* out) override;
  // IConnectionPointContainer
  HRESULT EnumConnectionPoints(IEnumConnectionPoints** points) override;
  HRESULT FindConnectionPoint(REFIID iid, IConnectionPoint** point) override;
  // IWebBrowser2 (the browser object only: the editing component answers E_NOTIMPL)
  HRESULT Navigate(const OLECHAR* url, VARIANT* flags, VARIANT* targetFrameName, VARIANT* postData,
                   VARIANT* headers) override;
  HRESULT get_Document(IDispatch** document) override;
  HRESULT get_Busy(VARIANT_BOOL* busy) override;
  HRESULT get_LocationURL(BSTR* url) override;

  // --- the browser object's document events and files (EditComponent_browser.cpp) ---
  bool IsBrowser() const { return browser_; }
  HRESULT AttachDocumentEvent(const WideString& name, IDispatch* sink);
  HRESULT DetachDocumentEvent(const WideString& name, IDispatch* sink);
  HRESULT LoadFile(const WideString& name);
  HRESULT SaveFile(const WideString& name);
  WideString CurrentFile() const { return filePath_; }

  // --- for the document object, the change logs and the knobs ---
  Document* TheDocument() { return document_.get(); }
  Layout* TheLayout() { return layout_.get(); }
  EventObject* CurrentEvent() { return event_; }
  bool IsBusy() const { return job_ != nullptr; }
  HWND DocumentWindow() const { return docWindow_; }
  void SetImageLoader(ImageLoader loader);
  EditCommandContext CommandContext();
  HRESULT RunCommand(const GUID* group, DWORD id, DWORD option, VARIANT* in, VARIANT* out);
  // With text, the first command's name text too (OLECMDTEXTF_NAME).
  HRESULT CommandStatus(const GUID* group, ULONG count, OLECMD* commands, OLECMDTEXT* text = nullptr);
  HRESULT SaveDocumentTo(IStream* stream);
  HRESULT LoadDocumentFrom(IStream* stream);
  void AddChangeLog(ChangeLog* log) { changeLogs_.push_back(log); }
  void RemoveChangeLog(ChangeLog* log);
  // A held load was released: post it again.
  void ResumeHeldLoad();
  bool HasHeldLoad() const { return job_ && job_->Held; }
  // The document's designMode was written.
  void DesignModeWritten(const WideString& before);

  // --- window and input (EditComponent_window.cpp, EditComponent_input.cpp) ---
  LRESULT OuterProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam);
  LRESULT DocumentProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam);

 protected:
  void* QueryInterfaceExtra(REFIID riid) override;

 private:
  struct LoadJob {
    enum Kind { Markup, Bytes, Keep } What = Markup;
    WideString Html;
    std::string Raw;
    WideString Path;        // the file loaded (property 23 afterwards)
    bool SetsPath = false;
    int PassesLeft = 0;
    bool Held = false;
    bool Navigation = false;  // the browser object: the new document starts in browse mode
    bool Navigated = false;   // started by Navigate: completes with the navigation's events
  };
  // The job for an address (about:blank, a file or file: address), not started;
  // INET_E_RESOURCE_NOT_FOUND for anything else or a file that cannot be read.
  HRESULT UrlJob(const WideString& address, std::unique_ptr<LoadJob>* job);

  bool DesignMode() const;
  void StartLoad(std::unique_ptr<LoadJob> job);
  void PostJob();
  void OnJobMessage();
  void CompleteLoad();
  void PostDisplayChanged();
  void Fire(DISPID id, VARIANT* args = nullptr, UINT count = 0);
  void NotifyChangeLogs();
  void DocumentChanged();
  HRESULT PropertyGet(DISPID id, VARIANT* result);
  HRESULT PropertyPut(DISPID id, const VARIANT& value);
  void MakeLayout();
  // Hands the glyph switches to the layout (edit mode only).
  void SyncGlyphs();

  // window (EditComponent_window.cpp)
  HRESULT ActivateInPlace(IOleClientSite* site, HWND parent, const RECT* position, bool uiActivate);
  void DestroyWindows();
  void UpdateScrollBars();
  void Paint();
  void ScrollTo(Integer x, Integer y);
  void ScrollCaretIntoView();
  // The client rectangles of the selected text, one per run on a line (visible lines only).
  std::vector<RECT> SelectionRects();
  RECT ClientRect() const;

  // input (EditComponent_input.cpp)
  bool FireDhtml(DISPID id, EventObject& event);
  EventObject MouseEvent(const char16_t* type, WPARAM keys, LPARAM point, Integer button);
  EventObject KeyEvent(const char16_t* type, Integer key);
  void OnMouseDown(UINT msg, WPARAM wParam, LPARAM lParam);
  void OnMouseUp(UINT msg, WPARAM wParam, LPARAM lParam);
  void OnMouseMove(WPARAM wParam, LPARAM lParam);
  void OnDoubleClick(WPARAM wParam, LPARAM lParam);
  bool OnKeyDown(UINT key);
  bool OnKeyUp(UINT key);
  bool OnChar(UINT ch);
  void ShowContextMenu(Integer x, Integer y);
  void PlaceCaretAt(Integer x, Integer y);
  void SelectWordAt(Integer x, Integer y);
  void MoveCaretVertically(Integer lines);
  void InsertText(const WideString& text);
  void InsertLineBreak();
  void SplitParagraph();
  void DeleteBackward();
  void DeleteForward();
  void BeginEdit();
  void EndEdit();
  Element* CaretElement();

  // settings (DISPIDs 11..16, 26, 30)
  bool showDetails_ = false;
  bool showBorders_ = false;
  Integer appearance_ = 1;
  bool scrollbars_ = true;
  Integer scrollbarAppearance_ = 1;
  bool sourcePreservation_ = false;
  bool browseMode_ = false;
  bool useDiv_ = false;
  bool settingsDirty_ = false;
  WideString baseUrl_;
  WideString filePath_;

  std::unique_ptr<Document> document_;
  std::unique_ptr<Layout> layout_;
  ImageLoader imageLoader_;
  ComPtr<DocumentObject> docObject_;
  std::unique_ptr<LoadJob> job_;
  bool everLoaded_ = false;
  UInt64 savedChangeCount_ = 0;
  bool modifiedByCommand_ = false;
  bool displayChangedPosted_ = false;
  bool changeFlushPosted_ = false;
  bool changedSinceNotify_ = false;
  Integer editDepth_ = 0;
  bool designModeSeen_ = false;
  WideString lastDesignMode_;
  std::vector<ChangeLog*> changeLogs_;

  ComPtr<IOleClientSite> clientSite_;
  ComPtr<IOleInPlaceSite> inPlaceSite_;
  SIZEL extent_{5292, 3969};  // 200 x 150 pixels at 96 DPI, in HIMETRIC
  HWND jobWindow_ = 0;
  HWND outerWindow_ = 0;
  HWND docWindow_ = 0;
  bool focused_ = false;
  bool uiActive_ = false;
  bool updatingBars_ = false;
  bool barsAgain_ = false;

  // input state
  EventObject* event_ = nullptr;
  Element* hover_ = nullptr;
  POINT lastMouse_{-1, -1};
  bool leftDown_ = false;
  bool wordSelected_ = false;  // a double click selected a word; a drag within it keeps it
  bool suppressChar_ = false;  // the key-down before it was cancelled
  UINT dispatching_ = 0;  // the input message being dispatched, against re-entry

  // The browser object (WebBrowser.h).
  bool browser_ = false;
  WideString location_;
  bool lastLoadNavigated_ = false;  // the load completing now came from Navigate
  WideString designBeforeLoad_ = u"off";
  std::vector<std::pair<WideString, ComPtr<IDispatch>>> attached_;
  void FireBrowser(DISPID id);
  void FireBrowserPlain(DISPID id, VARIANT* args = nullptr, UINT count = 0);
  bool BrowserFire(DISPID id, VARIANT* args, UINT count);
  ComPtr<IDocHostUIHandler> HostHandler();

  ConnectionPoint events_{this, DIID_DHTMLEditEvents};
  ConnectionPoint browserEvents_{this, DIID_DWebBrowserEvents2};
  ConnectionPoint propertySinks_{this, IID_IPropertyNotifySink};
};

}  // namespace mshtml
