// The interfaces of OLE embedding and in-place activation: what a container's
// control site implements (client site, in-place site and frame, control site,
// container, property-change sink, host UI handler) and what a hosted control
// implements (OLE object, in-place object, control, command target, persistence,
// view), with the platform's constants, plus the few library calls a site makes
// (OleSetMenuDescriptor, OleDraw, IsAccelerator).
#pragma once

#include <cstdint>

#include "platform/ole/ConnectionPoints.h"
#include "platform/ole/OleAuto.h"
#include "platform/ole/Stream.h"
#include "platform/ole/Unknown.h"
#include "platform/win/Gdi.h"
#include "platform/win/GlobalMemory.h"
#include "platform/win/WinTypes.h"

inline constexpr IID IID_IOleObject = MakeGuid("{00000112-0000-0000-C000-000000000046}");
inline constexpr IID IID_IOleInPlaceObject = MakeGuid("{00000113-0000-0000-C000-000000000046}");
inline constexpr IID IID_IOleWindow = MakeGuid("{00000114-0000-0000-C000-000000000046}");
inline constexpr IID IID_IOleInPlaceUIWindow = MakeGuid("{00000115-0000-0000-C000-000000000046}");
inline constexpr IID IID_IOleInPlaceFrame = MakeGuid("{00000116-0000-0000-C000-000000000046}");
inline constexpr IID IID_IOleInPlaceActiveObject = MakeGuid("{00000117-0000-0000-C000-000000000046}");
inline constexpr IID IID_IOleClientSite = MakeGuid("{00000118-0000-0000-C000-000000000046}");
inline constexpr IID IID_IOleInPlaceSite = MakeGuid("{00000119-0000-0000-C000-000000000046}");
inline constexpr IID IID_IParseDisplayName = MakeGuid("{0000011A-0000-0000-C000-000000000046}");
inline constexpr IID IID_IOleContainer = MakeGuid("{0000011B-0000-0000-C000-000000000046}");
inline constexpr IID IID_IPersist = MakeGuid("{0000010C-0000-0000-C000-000000000046}");
inline constexpr IID IID_IPersistFile = MakeGuid("{0000010B-0000-0000-C000-000000000046}");
inline constexpr IID IID_IPersistStreamInit = MakeGuid("{7FD52380-4E07-101B-AE2D-08002B2EC713}");
inline constexpr IID IID_IViewObject = MakeGuid("{0000010D-0000-0000-C000-000000000046}");
inline constexpr IID IID_IOleControl = MakeGuid("{B196B288-BAB4-101A-B69C-00AA00341D07}");
inline constexpr IID IID_IOleControlSite = MakeGuid("{B196B289-BAB4-101A-B69C-00AA00341D07}");
inline constexpr IID IID_ISimpleFrameSite = MakeGuid("{742B0E01-14E6-101B-914E-00AA00300CAB}");
inline constexpr IID IID_IPerPropertyBrowsing = MakeGuid("{376BD3AA-3845-101B-84ED-08002B2EC713}");
inline constexpr IID IID_IOleCommandTarget = MakeGuid("{B722BCCB-4E68-101B-A2BC-00AA00404770}");
inline constexpr IID IID_IDocHostUIHandler = MakeGuid("{BD3F23C0-D43E-11CF-893B-00AA00BDCE1A}");
inline constexpr IID IID_IServiceProvider = MakeGuid("{6D5140C1-7436-11CE-8034-00AA006009FA}");

// Interfaces that only pass through these calls (always null here).
struct IMoniker;
struct IBindCtx;
struct IEnumUnknown;
struct IDataObject;
struct IDropTarget;
struct IAdviseSink;
struct IEnumOLEVERB;
struct IEnumSTATDATA;
struct LOGPALETTE;
struct DVTARGETDEVICE;

using HACCEL = uintptr_t;
using HOLEMENU = HGLOBAL;

struct SIZEL {
  LONG cx = 0;
  LONG cy = 0;
};
struct POINTL {
  LONG x = 0;
  LONG y = 0;
};
struct POINTF {
  float x = 0;
  float y = 0;
};
struct RECTL {
  LONG left = 0;
  LONG top = 0;
  LONG right = 0;
  LONG bottom = 0;
};

struct OLEINPLACEFRAMEINFO {
  UINT cb = 0;
  BOOL fMDIApp = 0;
  HWND hwndFrame = 0;
  HACCEL haccel = 0;
  UINT cAccelEntries = 0;
};

struct OLEMENUGROUPWIDTHS {
  LONG width[6] = {};
};

struct CONTROLINFO {
  ULONG cb = 0;
  HACCEL hAccel = 0;
  Word cAccel = 0;
  DWORD dwFlags = 0;
};
inline constexpr DWORD CTRLINFO_EATS_RETURN = 1;
inline constexpr DWORD CTRLINFO_EATS_ESCAPE = 2;

// Verbs of DoVerb.
inline constexpr LONG OLEIVERB_PRIMARY = 0;
inline constexpr LONG OLEIVERB_SHOW = -1;
inline constexpr LONG OLEIVERB_OPEN = -2;
inline constexpr LONG OLEIVERB_HIDE = -3;
inline constexpr LONG OLEIVERB_UIACTIVATE = -4;
inline constexpr LONG OLEIVERB_INPLACEACTIVATE = -5;
inline constexpr LONG OLEIVERB_DISCARDUNDOSTATE = -6;

// Close options.
inline constexpr DWORD OLECLOSE_SAVEIFDIRTY = 0;
inline constexpr DWORD OLECLOSE_NOSAVE = 1;
inline constexpr DWORD OLECLOSE_PROMPTSAVE = 2;

// Aspects.
inline constexpr DWORD DVASPECT_CONTENT = 1;
inline constexpr DWORD DVASPECT_THUMBNAIL = 2;
inline constexpr DWORD DVASPECT_ICON = 4;
inline constexpr DWORD DVASPECT_DOCPRINT = 8;

// Miscellaneous status bits of an OLE object.
inline constexpr DWORD OLEMISC_RECOMPOSEONRESIZE = 0x1;
inline constexpr DWORD OLEMISC_ONLYICONIC = 0x2;
inline constexpr DWORD OLEMISC_INSERTNOTREPLACE = 0x4;
inline constexpr DWORD OLEMISC_STATIC = 0x8;
inline constexpr DWORD OLEMISC_CANTLINKINSIDE = 0x10;
inline constexpr DWORD OLEMISC_CANLINKBYOLE1 = 0x20;
inline constexpr DWORD OLEMISC_ISLINKOBJECT = 0x40;
inline constexpr DWORD OLEMISC_INSIDEOUT = 0x80;
inline constexpr DWORD OLEMISC_ACTIVATEWHENVISIBLE = 0x100;
inline constexpr DWORD OLEMISC_RENDERINGISDEVICEINDEPENDENT = 0x200;
inline constexpr DWORD OLEMISC_INVISIBLEATRUNTIME = 0x400;
inline constexpr DWORD OLEMISC_ALWAYSRUN = 0x800;
inline constexpr DWORD OLEMISC_ACTSLIKEBUTTON = 0x1000;
inline constexpr DWORD OLEMISC_ACTSLIKELABEL = 0x2000;
inline constexpr DWORD OLEMISC_NOUIACTIVATE = 0x4000;
inline constexpr DWORD OLEMISC_ALIGNABLE = 0x8000;
inline constexpr DWORD OLEMISC_SIMPLEFRAME = 0x10000;
inline constexpr DWORD OLEMISC_SETCLIENTSITEFIRST = 0x20000;
inline constexpr DWORD OLEMISC_IMEMODE = 0x40000;

// GetMoniker arguments.
inline constexpr DWORD OLEGETMONIKER_ONLYIFTHERE = 1;
inline constexpr DWORD OLEGETMONIKER_FORCEASSIGN = 2;
inline constexpr DWORD OLEWHICHMK_CONTAINER = 1;
inline constexpr DWORD OLEWHICHMK_OBJREL = 2;
inline constexpr DWORD OLEWHICHMK_OBJFULL = 3;

// TransformCoords flags.
inline constexpr DWORD XFORMCOORDS_POSITION = 0x1;
inline constexpr DWORD XFORMCOORDS_SIZE = 0x2;
inline constexpr DWORD XFORMCOORDS_HIMETRICTOCONTAINER = 0x4;
inline constexpr DWORD XFORMCOORDS_CONTAINERTOHIMETRIC = 0x8;

struct IOleInPlaceActiveObject;
struct IOleContainer;

struct IOleWindow : IUnknown {
  static constexpr const IID& Uuid() noexcept { return IID_IOleWindow; }
  virtual HRESULT GetWindow(HWND* window) = 0;
  virtual HRESULT ContextSensitiveHelp(BOOL enterMode) = 0;
};

struct IOleInPlaceUIWindow : IOleWindow {
  static constexpr const IID& Uuid() noexcept { return IID_IOleInPlaceUIWindow; }
  virtual HRESULT GetBorder(RECT* border) = 0;
  virtual HRESULT RequestBorderSpace(const RECT* widths) = 0;
  virtual HRESULT SetBorderSpace(const RECT* widths) = 0;
  virtual HRESULT SetActiveObject(IOleInPlaceActiveObject* object, LPCOLESTR name) = 0;
};

struct IOleInPlaceFrame : IOleInPlaceUIWindow {
  static constexpr const IID& Uuid() noexcept { return IID_IOleInPlaceFrame; }
  virtual HRESULT InsertMenus(HMENU shared, OLEMENUGROUPWIDTHS* widths) = 0;
  virtual HRESULT SetMenu(HMENU shared, HOLEMENU descriptor, HWND activeObject) = 0;
  virtual HRESULT RemoveMenus(HMENU shared) = 0;
  virtual HRESULT SetStatusText(LPCOLESTR text) = 0;
  virtual HRESULT EnableModeless(BOOL enable) = 0;
  virtual HRESULT TranslateAccelerator(MSG* msg, Word id) = 0;
};

struct IOleInPlaceSite : IOleWindow {
  static constexpr const IID& Uuid() noexcept { return IID_IOleInPlaceSite; }
  virtual HRESULT CanInPlaceActivate() = 0;
  virtual HRESULT OnInPlaceActivate() = 0;
  virtual HRESULT OnUIActivate() = 0;
  virtual HRESULT GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** doc, RECT* position,
                                   RECT* clip, OLEINPLACEFRAMEINFO* frameInfo) = 0;
  virtual HRESULT Scroll(SIZEL extent) = 0;
  virtual HRESULT OnUIDeactivate(BOOL undoable) = 0;
  virtual HRESULT OnInPlaceDeactivate() = 0;
  virtual HRESULT DiscardUndoState() = 0;
  virtual HRESULT DeactivateAndUndo() = 0;
  virtual HRESULT OnPosRectChange(const RECT* position) = 0;
};

struct IOleInPlaceObject : IOleWindow {
  static constexpr const IID& Uuid() noexcept { return IID_IOleInPlaceObject; }
  virtual HRESULT InPlaceDeactivate() = 0;
  virtual HRESULT UIDeactivate() = 0;
  virtual HRESULT SetObjectRects(const RECT* position, const RECT* clip) = 0;
  virtual HRESULT ReactivateAndUndo() = 0;
};

struct IOleInPlaceActiveObject : IOleWindow {
  static constexpr const IID& Uuid() noexcept { return IID_IOleInPlaceActiveObject; }
  // S_OK: the object took the key; S_FALSE: it did not.
  virtual HRESULT TranslateAccelerator(MSG* msg) = 0;
  virtual HRESULT OnFrameWindowActivate(BOOL activate) = 0;
  virtual HRESULT OnDocWindowActivate(BOOL activate) = 0;
  virtual HRESULT ResizeBorder(const RECT* border, IOleInPlaceUIWindow* window, BOOL frameWindow) = 0;
  virtual HRESULT EnableModeless(BOOL enable) = 0;
};

struct IOleClientSite : IUnknown {
  static constexpr const IID& Uuid() noexcept { return IID_IOleClientSite; }
  virtual HRESULT SaveObject() = 0;
  virtual HRESULT GetMoniker(DWORD assign, DWORD which, IMoniker** moniker) = 0;
  virtual HRESULT GetContainer(IOleContainer** container) = 0;
  virtual HRESULT ShowObject() = 0;
  virtual HRESULT OnShowWindow(BOOL show) = 0;
  virtual HRESULT RequestNewObjectLayout() = 0;
};

struct IParseDisplayName : IUnknown {
  static constexpr const IID& Uuid() noexcept { return IID_IParseDisplayName; }
  virtual HRESULT ParseDisplayName(IBindCtx* context, LPOLESTR name, ULONG* eaten, IMoniker** moniker) = 0;
};

struct IOleContainer : IParseDisplayName {
  static constexpr const IID& Uuid() noexcept { return IID_IOleContainer; }
  virtual HRESULT EnumObjects(DWORD flags, IEnumUnknown** objects) = 0;
  virtual HRESULT LockContainer(BOOL lock) = 0;
};

struct IOleObject : IUnknown {
  static constexpr const IID& Uuid() noexcept { return IID_IOleObject; }
  virtual HRESULT SetClientSite(IOleClientSite* site) = 0;
  virtual HRESULT GetClientSite(IOleClientSite** site) = 0;
  virtual HRESULT SetHostNames(LPCOLESTR containerApp, LPCOLESTR containerObject) = 0;
  virtual HRESULT Close(DWORD saveOption) = 0;
  virtual HRESULT SetMoniker(DWORD which, IMoniker* moniker) = 0;
  virtual HRESULT GetMoniker(DWORD assign, DWORD which, IMoniker** moniker) = 0;
  virtual HRESULT InitFromData(IDataObject* data, BOOL creation, DWORD reserved) = 0;
  virtual HRESULT GetClipboardData(DWORD reserved, IDataObject** data) = 0;
  virtual HRESULT DoVerb(LONG verb, MSG* msg, IOleClientSite* site, LONG index, HWND parent,
                         const RECT* position) = 0;
  virtual HRESULT EnumVerbs(IEnumOLEVERB** verbs) = 0;
  virtual HRESULT Update() = 0;
  virtual HRESULT IsUpToDate() = 0;
  virtual HRESULT GetUserClassID(CLSID* clsid) = 0;
  virtual HRESULT GetUserType(DWORD form, LPOLESTR* userType) = 0;
  // Sizes in HIMETRIC (0.01 mm).
  virtual HRESULT SetExtent(DWORD aspect, SIZEL* size) = 0;
  virtual HRESULT GetExtent(DWORD aspect, SIZEL* size) = 0;
  virtual HRESULT Advise(IAdviseSink* sink, DWORD* connection) = 0;
  virtual HRESULT Unadvise(DWORD connection) = 0;
  virtual HRESULT EnumAdvise(IEnumSTATDATA** advises) = 0;
  virtual HRESULT GetMiscStatus(DWORD aspect, DWORD* status) = 0;
  virtual HRESULT SetColorScheme(LOGPALETTE* palette) = 0;
};

struct IOleControl : IUnknown {
  static constexpr const IID& Uuid() noexcept { return IID_IOleControl; }
  virtual HRESULT GetControlInfo(CONTROLINFO* info) = 0;
  virtual HRESULT OnMnemonic(MSG* msg) = 0;
  // DISPID_UNKNOWN (-1): every ambient property may have changed.
  virtual HRESULT OnAmbientPropertyChange(DISPID id) = 0;
  virtual HRESULT FreezeEvents(BOOL freeze) = 0;
};

struct IOleControlSite : IUnknown {
  static constexpr const IID& Uuid() noexcept { return IID_IOleControlSite; }
  virtual HRESULT OnControlInfoChanged() = 0;
  virtual HRESULT LockInPlaceActive(BOOL lock) = 0;
  virtual HRESULT GetExtendedControl(IDispatch** control) = 0;
  virtual HRESULT TransformCoords(POINTL* himetric, POINTF* container, DWORD flags) = 0;
  virtual HRESULT TranslateAccelerator(MSG* msg, DWORD modifiers) = 0;
  virtual HRESULT OnFocus(BOOL gotFocus) = 0;
  virtual HRESULT ShowPropertyFrame() = 0;
};

struct ISimpleFrameSite : IUnknown {
  static constexpr const IID& Uuid() noexcept { return IID_ISimpleFrameSite; }
  virtual HRESULT PreMessageFilter(HWND window, UINT msg, WPARAM wp, LPARAM lp, LRESULT* result,
                                   DWORD* cookie) = 0;
  virtual HRESULT PostMessageFilter(HWND window, UINT msg, WPARAM wp, LPARAM lp, LRESULT* result,
                                    DWORD cookie) = 0;
};

struct CALPOLESTR {
  ULONG cElems = 0;
  LPOLESTR* pElems = nullptr;
};
struct CADWORD {
  ULONG cElems = 0;
  DWORD* pElems = nullptr;
};

struct IPerPropertyBrowsing : IUnknown {
  static constexpr const IID& Uuid() noexcept { return IID_IPerPropertyBrowsing; }
  virtual HRESULT GetDisplayString(DISPID id, BSTR* text) = 0;
  virtual HRESULT MapPropertyToPage(DISPID id, CLSID* page) = 0;
  virtual HRESULT GetPredefinedStrings(DISPID id, CALPOLESTR* strings, CADWORD* cookies) = 0;
  virtual HRESULT GetPredefinedValue(DISPID id, DWORD cookie, VARIANT* value) = 0;
};

// --- Commands ---

struct OLECMD {
  ULONG cmdID = 0;
  DWORD cmdf = 0;
};

struct OLECMDTEXT {
  DWORD cmdtextf = 0;
  ULONG cwActual = 0;
  ULONG cwBuf = 0;
  OLECHAR rgwz[1] = {};
};

inline constexpr DWORD OLECMDF_SUPPORTED = 0x1;
inline constexpr DWORD OLECMDF_ENABLED = 0x2;
inline constexpr DWORD OLECMDF_LATCHED = 0x4;
inline constexpr DWORD OLECMDF_NINCHED = 0x8;
inline constexpr DWORD OLECMDF_INVISIBLE = 0x10;
inline constexpr DWORD OLECMDF_DEFHIDEONCTXTMENU = 0x20;

inline constexpr DWORD OLECMDTEXTF_NONE = 0;
inline constexpr DWORD OLECMDTEXTF_NAME = 1;
inline constexpr DWORD OLECMDTEXTF_STATUS = 2;

inline constexpr DWORD OLECMDEXECOPT_DODEFAULT = 0;
inline constexpr DWORD OLECMDEXECOPT_PROMPTUSER = 1;
inline constexpr DWORD OLECMDEXECOPT_DONTPROMPTUSER = 2;
inline constexpr DWORD OLECMDEXECOPT_SHOWHELP = 3;

// The standard command numbers (the group is null).
inline constexpr DWORD OLECMDID_OPEN = 1;
inline constexpr DWORD OLECMDID_NEW = 2;
inline constexpr DWORD OLECMDID_SAVE = 3;
inline constexpr DWORD OLECMDID_SAVEAS = 4;
inline constexpr DWORD OLECMDID_SAVECOPYAS = 5;
inline constexpr DWORD OLECMDID_PRINT = 6;
inline constexpr DWORD OLECMDID_PRINTPREVIEW = 7;
inline constexpr DWORD OLECMDID_PAGESETUP = 8;
inline constexpr DWORD OLECMDID_SPELL = 9;
inline constexpr DWORD OLECMDID_PROPERTIES = 10;
inline constexpr DWORD OLECMDID_CUT = 11;
inline constexpr DWORD OLECMDID_COPY = 12;
inline constexpr DWORD OLECMDID_PASTE = 13;
inline constexpr DWORD OLECMDID_PASTESPECIAL = 14;
inline constexpr DWORD OLECMDID_UNDO = 15;
inline constexpr DWORD OLECMDID_REDO = 16;
inline constexpr DWORD OLECMDID_SELECTALL = 17;
inline constexpr DWORD OLECMDID_CLEARSELECTION = 18;
inline constexpr DWORD OLECMDID_ZOOM = 19;
inline constexpr DWORD OLECMDID_GETZOOMRANGE = 20;
inline constexpr DWORD OLECMDID_UPDATECOMMANDS = 21;
inline constexpr DWORD OLECMDID_REFRESH = 22;
inline constexpr DWORD OLECMDID_STOP = 23;
inline constexpr DWORD OLECMDID_HIDETOOLBARS = 24;
inline constexpr DWORD OLECMDID_SETPROGRESSMAX = 25;
inline constexpr DWORD OLECMDID_SETPROGRESSPOS = 26;
inline constexpr DWORD OLECMDID_SETPROGRESSTEXT = 27;
inline constexpr DWORD OLECMDID_SETTITLE = 28;
inline constexpr DWORD OLECMDID_SETDOWNLOADSTATE = 29;
inline constexpr DWORD OLECMDID_STOPDOWNLOAD = 30;
inline constexpr DWORD OLECMDID_FIND = 32;
inline constexpr DWORD OLECMDID_DELETE = 33;

struct IOleCommandTarget : IUnknown {
  static constexpr const IID& Uuid() noexcept { return IID_IOleCommandTarget; }
  // Fills cmdf of each entry; OLECMDERR_E_UNKNOWNGROUP for a group it does not know.
  virtual HRESULT QueryStatus(const GUID* group, ULONG count, OLECMD* commands, OLECMDTEXT* text) = 0;
  // OLECMDERR_E_NOTSUPPORTED / _DISABLED / _UNKNOWNGROUP, else the command's result.
  virtual HRESULT Exec(const GUID* group, DWORD id, DWORD option, VARIANT* in, VARIANT* out) = 0;
};

// --- Persistence and views ---

struct IPersist : IUnknown {
  static constexpr const IID& Uuid() noexcept { return IID_IPersist; }
  virtual HRESULT GetClassID(CLSID* clsid) = 0;
};

struct IPersistStreamInit : IPersist {
  static constexpr const IID& Uuid() noexcept { return IID_IPersistStreamInit; }
  // S_OK: changed since the last save; S_FALSE: not.
  virtual HRESULT IsDirty() = 0;
  virtual HRESULT Load(IStream* stream) = 0;
  virtual HRESULT Save(IStream* stream, BOOL clearDirty) = 0;
  virtual HRESULT GetSizeMax(uint64_t* size) = 0;
  virtual HRESULT InitNew() = 0;
};

struct IPersistFile : IPersist {
  static constexpr const IID& Uuid() noexcept { return IID_IPersistFile; }
  virtual HRESULT IsDirty() = 0;
  virtual HRESULT Load(LPCOLESTR fileName, DWORD mode) = 0;
  virtual HRESULT Save(LPCOLESTR fileName, BOOL remember) = 0;
  virtual HRESULT SaveCompleted(LPCOLESTR fileName) = 0;
  // The name in memory from CoTaskMemAlloc (the caller frees it); S_FALSE with the
  // default prompt when there is no current file.
  virtual HRESULT GetCurFile(LPOLESTR* fileName) = 0;
};

struct IViewObject : IUnknown {
  static constexpr const IID& Uuid() noexcept { return IID_IViewObject; }
  virtual HRESULT Draw(DWORD aspect, LONG index, void* aspectInfo, DVTARGETDEVICE* target, HDC targetDc,
                       HDC drawDc, const RECTL* bounds, const RECTL* windowBounds,
                       BOOL (*keepGoing)(uintptr_t), uintptr_t keepGoingArg) = 0;
  virtual HRESULT GetColorSet(DWORD aspect, LONG index, void* aspectInfo, DVTARGETDEVICE* target,
                              HDC targetDc, LOGPALETTE** colors) = 0;
  virtual HRESULT Freeze(DWORD aspect, LONG index, void* aspectInfo, DWORD* freeze) = 0;
  virtual HRESULT Unfreeze(DWORD freeze) = 0;
  virtual HRESULT SetAdvise(DWORD aspects, DWORD flags, IAdviseSink* sink) = 0;
  virtual HRESULT GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** sink) = 0;
};

struct IServiceProvider : IUnknown {
  static constexpr const IID& Uuid() noexcept { return IID_IServiceProvider; }
  virtual HRESULT QueryService(REFGUID service, REFIID riid, void** object) = 0;
};

// --- The host's answers to a browser ---

struct DOCHOSTUIINFO {
  ULONG cbSize = 0;
  DWORD dwFlags = 0;
  DWORD dwDoubleClick = 0;
  OLECHAR* pchHostCss = nullptr;
  OLECHAR* pchHostNS = nullptr;
};

inline constexpr DWORD DOCHOSTUIFLAG_DIALOG = 0x1;
inline constexpr DWORD DOCHOSTUIFLAG_DISABLE_HELP_MENU = 0x2;
inline constexpr DWORD DOCHOSTUIFLAG_NO3DBORDER = 0x4;
inline constexpr DWORD DOCHOSTUIFLAG_SCROLL_NO = 0x8;
inline constexpr DWORD DOCHOSTUIFLAG_DISABLE_SCRIPT_INACTIVE = 0x10;
inline constexpr DWORD DOCHOSTUIFLAG_OPENNEWWIN = 0x20;
inline constexpr DWORD DOCHOSTUIFLAG_DISABLE_OFFSCREEN = 0x40;
inline constexpr DWORD DOCHOSTUIFLAG_FLAT_SCROLLBAR = 0x80;
inline constexpr DWORD DOCHOSTUIFLAG_DIV_BLOCKDEFAULT = 0x100;
inline constexpr DWORD DOCHOSTUIFLAG_ACTIVATE_CLIENTHIT_ONLY = 0x200;
inline constexpr DWORD DOCHOSTUIDBLCLK_DEFAULT = 0;
inline constexpr DWORD DOCHOSTUIDBLCLK_SHOWPROPERTIES = 1;
inline constexpr DWORD DOCHOSTUIDBLCLK_SHOWCODE = 2;

struct IDocHostUIHandler : IUnknown {
  static constexpr const IID& Uuid() noexcept { return IID_IDocHostUIHandler; }
  // S_OK: the host showed (or suppressed) the menu; S_FALSE: the browser shows its own.
  virtual HRESULT ShowContextMenu(DWORD id, POINT* point, IUnknown* commandTarget, IDispatch* object) = 0;
  virtual HRESULT GetHostInfo(DOCHOSTUIINFO* info) = 0;
  virtual HRESULT ShowUI(DWORD id, IOleInPlaceActiveObject* activeObject, IOleCommandTarget* commandTarget,
                         IOleInPlaceFrame* frame, IOleInPlaceUIWindow* document) = 0;
  virtual HRESULT HideUI() = 0;
  virtual HRESULT UpdateUI() = 0;
  virtual HRESULT EnableModeless(BOOL enable) = 0;
  virtual HRESULT OnDocWindowActivate(BOOL activate) = 0;
  virtual HRESULT OnFrameWindowActivate(BOOL activate) = 0;
  virtual HRESULT ResizeBorder(const RECT* border, IOleInPlaceUIWindow* window, BOOL frameWindow) = 0;
  virtual HRESULT TranslateAccelerator(MSG* msg, const GUID* group, DWORD id) = 0;
  virtual HRESULT GetOptionKeyPath(LPOLESTR* key, DWORD reserved) = 0;
  virtual HRESULT GetDropTarget(IDropTarget* target, IDropTarget** replacement) = 0;
  virtual HRESULT GetExternal(IDispatch** external) = 0;
  virtual HRESULT TranslateUrl(DWORD translate, OLECHAR* url, OLECHAR** translated) = 0;
  virtual HRESULT FilterDataObject(IDataObject* object, IDataObject** replacement) = 0;
};

// --- Library calls ---

// Installs (or, with descriptor 0, removes) the dispatching of the shared menu's
// commands to the active object. There is no separate menu dispatch on this
// platform: the call checks its arguments and succeeds (E_INVALIDARG for a
// descriptor without a frame window).
HRESULT OleSetMenuDescriptor(HOLEMENU descriptor, HWND frame, HWND activeObject, IOleInPlaceFrame* frameObject,
                             IOleInPlaceActiveObject* activeObjectObject);
// Draws the object's content aspect through its IViewObject into dc within bounds.
// E_INVALIDARG for a null object or bounds; the object's QueryInterface answer when it
// has no view; else its Draw's answer.
HRESULT OleDraw(IUnknown* object, DWORD aspect, HDC dc, const RECT* bounds);

// Keyboard accelerator tables.
struct ACCEL {
  Byte fVirt = 0;
  Word key = 0;
  Word cmd = 0;
};
inline constexpr Byte FVIRTKEY = 0x01;
inline constexpr Byte FNOINVERT = 0x02;
inline constexpr Byte FSHIFT = 0x04;
inline constexpr Byte FCONTROL = 0x08;
inline constexpr Byte FALT = 0x10;

// A table of count entries (0 for none or a count < 1).
HACCEL CreateAcceleratorTable(const ACCEL* entries, int count);
BOOL DestroyAcceleratorTable(HACCEL table);
// Whether msg is a key of the table: WM_KEYDOWN/WM_SYSKEYDOWN (0x0104) for FVIRTKEY entries
// (by virtual key; FALT by the message's context bit), WM_CHAR/WM_SYSCHAR (0x0106) for the
// others (by character). The keyboard's Shift and Ctrl state is not kept by this
// platform, so entries that ask for FSHIFT or FCONTROL do not match. *command gets
// the entry's command. FALSE for table 0, a count < 1 or an unknown table.
BOOL IsAccelerator(HACCEL table, int count, MSG* msg, Word* command);
