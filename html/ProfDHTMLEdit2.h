// TProfDHTMLEdit2: the HTML control that hosts the browser object and makes its
// document editable itself. It navigates to about:blank, switches the document's
// designMode on, attaches its own sinks for the document's mouse, key, focus and
// readyState events, answers the browser's host questions (IDocHostUIHandler) and
// does every engine operation of TCustomProfDHTMLEdit on the browser's document:
// sources through the document's IPersistStreamInit, files through IPersistFile,
// navigation through IWebBrowser2, and the table commands on the document itself.
//
// After every load that replaced the document the control attaches fresh sinks and
// a new change log (also after a base address set on its own), and a navigation
// leaves the document in edit mode again unless browse mode was chosen.
#pragma once

#include <array>

#include "html/ProfDHTMLEdit.h"
#include "platform/mshtml/WebBrowser.h"

// The document events the control can stand for (the twelve it attaches among them).
enum TDHTMLEvent : Byte {
  _onabort, _onactivate, _onafterprint, _onafterupdate, _onbeforeactivate, _onbeforecopy, _onbeforecut,
  _onbeforedeactivate, _onbeforeeditfocus, _onbeforepaste, _onbeforeprint, _onbeforeunload, _onbeforeupdate,
  _onblur, _onbounce, _oncellchange, _onchange, _onclick, _oncontextmenu, _oncontrolselect, _oncopy, _oncut,
  _ondataavailable, _ondatasetchanged, _ondatasetcomplete, _ondblclick, _ondeactivate, _ondrag, _ondragend,
  _ondragenter, _ondragleave, _ondragover, _ondragstart, _ondrop, _onerror, _onerrorupdate, _onfilterchange,
  _onfinish, _onfocus, _onfocusin, _onfocusout, _onhelp, _onkeydown, _onkeypress, _onkeyup, _onlayoutcomplete,
  _onload, _onlosecapture, _onmousedown, _onmouseenter, _onmouseleave, _onmousemove, _onmouseout, _onmouseover,
  _onmouseup, _onmousewheel, _onmove, _onmoveend, _onmovestart, _onpaste, _onpropertychange,
  _onreadystatechange, _onreset, _onresize, _onresizeend, _onresizestart, _onrowenter, _onrowexit,
  _onrowsdelete, _onrowsinserted, _onscroll, _onselect, _onselectionchange, _onselectstart, _onstart, _onstop,
  _onsubmit, _onunload
};

class TProfDHTMLEdit2;

// One attached document event: calls its owner's HandleEvent whatever it is called with.
class TProfDHTMLEdit2EventHandler final : public ComObject<IDispatch> {
 public:
  TProfDHTMLEdit2EventHandler(TProfDHTMLEdit2* owner, TDHTMLEvent event) : owner_(owner), event_(event) {}
  HRESULT GetTypeInfoCount(UINT* count) override;
  HRESULT GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
  HRESULT GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) override;
  HRESULT Invoke(DISPID id, REFIID riid, LCID lcid, Word flags, DISPPARAMS* params, VARIANT* result,
                 EXCEPINFO* excepInfo, UINT* argErr) override;
  // The owner is going: later calls do nothing.
  void Detach() noexcept { owner_ = nullptr; }
  TDHTMLEvent Event() const noexcept { return event_; }

 private:
  TProfDHTMLEdit2* owner_;
  TDHTMLEvent event_;
};

class TProfDHTMLEdit2 : public TCustomProfDHTMLEdit, public IDocHostUIHandler {
 public:
  LARK_CLASS_NAME(TProfDHTMLEdit2)
  explicit TProfDHTMLEdit2(TComponent* owner);
  ~TProfDHTMLEdit2() override;

  // --- IUnknown: the control's (the browser finds the host handler through it)
  HRESULT QueryInterface(REFIID riid, void** object) override;
  ULONG AddRef() override { return TProfOleControl::AddRef(); }
  ULONG Release() override { return TProfOleControl::Release(); }

  // --- Properties
  bool GetUseDivOnCarriageReturn() const noexcept { return FUseDivOnCarriageReturn; }
  void SetUseDivOnCarriageReturn(bool value) noexcept { FUseDivOnCarriageReturn = value; }
  bool GetSourceCodePreservation() const noexcept { return FSourceCodePreservation; }
  void SetSourceCodePreservation(bool value) noexcept { FSourceCodePreservation = value; }
  bool GetBrowseMode();
  void SetBrowseMode(bool Value);
  bool GetShowDetails() const noexcept { return FShowDetails; }
  void SetShowDetails(bool Value);
  bool GetShowBorders() const noexcept { return FShowBorders; }
  void SetShowBorders(bool Value);
  bool GetScrollBars() const noexcept { return FScrollBars; }
  void SetScrollBars(bool value) noexcept { FScrollBars = value; }
  bool GetFlat() const noexcept { return FFlat; }
  void SetFlat(bool value) noexcept { FFlat = value; }
  bool GetFlatScrollBars() const noexcept { return FFlatScrollBars; }
  void SetFlatScrollBars(bool value) noexcept { FFlatScrollBars = value; }

  // --- Start-up, events
  void Loaded() override;
  void InitializeRuntime();
  void AttachEvents();
  void HandleEvent(TDHTMLEvent event);
  void DocumentCompleteHandler(TObject* sender);
  void DoSetShowDetails(bool Value);
  void DoSetShowBorders(bool Value);
  // The glyph table the details view sends, built with the program's path.
  static WideString GlyphTableText();
  // The sinks attached to the current document.
  const std::array<ComPtr<TProfDHTMLEdit2EventHandler>, 12>& GetEventHandlers() const noexcept { return FHandlers; }

  // --- File dialogs: the chosen file, or the current file name when cancelled; the
  // save dialog answers an empty text when the document could not be saved.
  AnsiString OpenDialog(const AnsiString& InitialDir);
  AnsiString SaveDialog(const AnsiString& Folder);

  // --- The abstract operations
  void ReadyStateChangeHandler(TObject* sender) override;
  void DoSetModified(bool value) override;
  bool DoClearUndo(TProfDHTMLEditDocumentCompleteReason reason) override;
  AnsiString GetAbout() override;
  bool RuntimeBrowseMode() override;
  bool RuntimeUseDivOnCarriageReturn() override { return FUseDivOnCarriageReturn; }
  bool RuntimeShowDetails() override { return FShowDetails; }
  bool RuntimeSourceCodePreservation() override { return FSourceCodePreservation; }
  void private_NewDocument(const WideString& param) override;
  void private_LoadURL(const WideString& param) override;
  void private_LoadFromFile(const WideString& param) override;
  void private_SaveToFile(const WideString& param) override;
  void private_SetBaseURL(const WideString& param) override;
  void private_SetSource(const WideString& param) override;
  bool GetBusy() override { return FReason != dcrUndefined; }
  WideString GetFileName() override;
  WideString GetBaseURL() override;
  bool GetModifiedFlag() override;
  WideString GetEngineTitle() override;
  bool GetDOM(THtmlDocument& document) override;
  WideString GetHTML() override { return MSSource(); }
  THtmlDocument ReadDOM() override;
  WideString MSSource() override;
  bool CanGetDOM() override { return !GetBusy(); }
  bool CanNewDocument() override { return FReason != dcrCreate; }
  bool NewDocument() override;

  // --- Tables on the document
  bool InsertTable(Integer Rows, Integer Cols, const WideString& Caption) override;
  bool CanInsertTable() override;
  bool IsTableSelected() override;
  bool TableInsertRow() override;
  bool CanTableInsertRow() override;
  bool TableDeleteRow() override;
  bool CanTableDeleteRow() override;
  bool TableInsertColumn() override;
  bool CanTableInsertColumn() override;
  bool TableDeleteColumn() override;
  bool CanTableDeleteColumn() override;
  bool TableInsertCell() override;
  bool CanTableInsertCell() override;
  bool TableDeleteCell() override;
  bool CanTableDeleteCell() override;
  bool TableSplitCell() override;
  bool CanTableSplitCell() override;
  bool TableMergeCells() override;
  bool CanTableMergeCells() override;

  // --- IDocHostUIHandler
  HRESULT ShowContextMenu(DWORD id, POINT* point, IUnknown* commandTarget, IDispatch* reserved) override;
  HRESULT GetHostInfo(DOCHOSTUIINFO* info) override;
  HRESULT ShowUI(DWORD id, IOleInPlaceActiveObject* activeObject, IOleCommandTarget* commandTarget,
                 IOleInPlaceFrame* frame, IOleInPlaceUIWindow* document) override;
  HRESULT HideUI() override;
  HRESULT UpdateUI() override;
  HRESULT EnableModeless(BOOL enable) override;
  HRESULT OnDocWindowActivate(BOOL activate) override;
  HRESULT OnFrameWindowActivate(BOOL activate) override;
  HRESULT ResizeBorder(const RECT* border, IOleInPlaceUIWindow* window, BOOL frameWindow) override;
  HRESULT TranslateAccelerator(MSG* msg, const GUID* group, DWORD id) override;
  HRESULT GetOptionKeyPath(LPOLESTR* key, DWORD reserved) override;
  HRESULT GetDropTarget(IDropTarget* dropTarget, IDropTarget** result) override;
  HRESULT GetExternal(IDispatch** external) override;
  HRESULT TranslateUrl(DWORD translate, OLECHAR* url, OLECHAR** result) override;
  HRESULT FilterDataObject(IDataObject* object, IDataObject** result) override;
  // The site's own TranslateAccelerator overloads stay visible beside the handler's.
  using TProfOleControl::TranslateAccelerator;

 protected:
  void InitControlData() override;
  void WndProc(TMessage& message) override;

 private:
  ComPtr<mshtml::IWebBrowser2> Browser();
  void Navigate(const WideString& url);
  bool AtDesignOrLoad() const;
  mshtml::Document* Model();
  // Edit mode back on after a navigation unless browse mode was chosen.
  void RestoreEditMode();
  void Finish();

  std::array<TOleEventMethod, 33> FEvents;
  std::array<ComPtr<TProfDHTMLEdit2EventHandler>, 12> FHandlers;
  bool FUseDivOnCarriageReturn = false;
  bool FDesignBrowseMode = false;
  bool FSourceCodePreservation = false;
  bool FShowDetails = false;
  bool FShowBorders = false;
  bool FScrollBars = true;
  bool FFlat = false;
  bool FFlatScrollBars = false;
  bool FBrowseChosen = false;
  UInt64 FLoadCount = 0;  // the document's load count when sinks were last attached
};
