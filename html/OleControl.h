// The ActiveX control site: a windowed framework control that hosts one OLE control
// in place. It creates the control by its class id, is its client site, in-place
// site, in-place frame, control site, container and property-change sink, answers
// its ambient properties, keeps its saved state as the binary form property
// "ControlData", reads and writes its properties by DISPID, turns its events into
// calls of the concrete class's event table, and adopts the control's own window as
// the framework control's window.
//
// A concrete class supplies its control record in InitControlData and calls
// InitializeSite at the end of its constructor (the record and the event table
// belong to the concrete class, which is not built yet while this class's
// constructor runs).
#pragma once

#include <cstddef>
#include <functional>

#include "platform/ole/ConnectionPoints.h"
#include "platform/ole/OleAuto.h"
#include "platform/ole/OleHost.h"
#include "platform/ole/OleVariant.h"
#include "platform/ole/Unknown.h"
#include "platform/rtl/Streams.h"
#include "platform/vcl/Controls.h"
#include "platform/win/GlobalMemory.h"

class TProfOleControl;

// One entry of a concrete class's event table: called with the control as sender
// and the event's arguments in declaration order (args[0] is the first). A
// by-reference argument arrives as it is, so the handler can write through it.
using TOleEventMethod = std::function<void(TObject* sender, VARIANT* const* args, UINT count)>;

// The record a concrete class gives the site; one per class, shared by its instances.
struct TControlData {
  CLSID ClassID{};
  IID EventIID{};
  Integer EventCount = 0;
  const DISPID* EventDispIDs = nullptr;
  const void* LicenseKey = nullptr;  // unused: always empty
  DWORD Flags = 0;                   // stock properties kept in step (bits 0..5)
  Integer Version = 0;
  DWORD FontCount = 0;
  const DISPID* FontIDs = nullptr;
  DWORD PictureCount = 0;
  const DISPID* PictureIDs = nullptr;
  DWORD Reserved = 0;  // creation options: bit 0 client site in the constructor, bit 1 never
  Integer InstanceCount = 0;
  const void* Reserved2 = nullptr;
  std::ptrdiff_t EventsOffset = 0;  // where the event table starts inside an instance
};

// Flags of TControlData::Flags.
inline constexpr DWORD cdBackColor = 0x01;
inline constexpr DWORD cdForeColor = 0x02;
inline constexpr DWORD cdFont = 0x04;
inline constexpr DWORD cdEnabled = 0x08;
inline constexpr DWORD cdCaption = 0x10;
inline constexpr DWORD cdText = 0x20;

// Creation options of TControlData::Reserved.
inline constexpr DWORD cdSetClientSiteFirst = 0x01;
inline constexpr DWORD cdDeferSetClientSite = 0x02;

// Receives the hosted control's events and hands them to the site.
class TProfEventDispatch final : public IDispatch {
 public:
  explicit TProfEventDispatch(TProfOleControl* control) : control_(control) {}
  HRESULT QueryInterface(REFIID riid, void** object) override;
  ULONG AddRef() override;
  ULONG Release() override;
  HRESULT GetTypeInfoCount(UINT* count) override;
  HRESULT GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
  HRESULT GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) override;
  HRESULT Invoke(DISPID id, REFIID riid, LCID lcid, Word flags, DISPPARAMS* params, VARIANT* result,
                 EXCEPINFO* excepInfo, UINT* argErr) override;
  virtual ~TProfEventDispatch() = default;

 private:
  TProfOleControl* control_;
};

// GetWindow differs between the in-place site (the parent window) and the frame
// (the top-level window); each answers through its own helper.
struct TProfOleInPlaceFrameWindow : IOleInPlaceFrame {
  HRESULT GetWindow(HWND* window) override { return FrameGetWindow(window); }
  virtual HRESULT FrameGetWindow(HWND* window) = 0;

 protected:
  ~TProfOleInPlaceFrameWindow() = default;
};
struct TProfOleInPlaceSiteWindow : IOleInPlaceSite {
  HRESULT GetWindow(HWND* window) override { return SiteGetWindow(window); }
  virtual HRESULT SiteGetWindow(HWND* window) = 0;

 protected:
  ~TProfOleInPlaceSiteWindow() = default;
};

class TProfOleControl : public TWinControl,
                        public IOleClientSite,
                        public IOleControlSite,
                        public TProfOleInPlaceSiteWindow,
                        public TProfOleInPlaceFrameWindow,
                        public IOleContainer,
                        public IPropertyNotifySink,
                        public ISimpleFrameSite,
                        public IDispatch {
 public:
  LARK_CLASS_NAME(TProfOleControl)
  explicit TProfOleControl(TComponent* owner);
  ~TProfOleControl() override;

  // --- IUnknown (the count never frees the object: its owner does)
  HRESULT QueryInterface(REFIID riid, void** object) override;
  ULONG AddRef() override;
  ULONG Release() override;

  // --- IOleClientSite
  HRESULT SaveObject() override;
  HRESULT GetMoniker(DWORD assign, DWORD which, IMoniker** moniker) override;
  HRESULT GetContainer(IOleContainer** container) override;
  HRESULT ShowObject() override;
  HRESULT OnShowWindow(BOOL show) override;
  HRESULT RequestNewObjectLayout() override;
  // --- IOleControlSite
  HRESULT OnControlInfoChanged() override;
  HRESULT LockInPlaceActive(BOOL lock) override;
  HRESULT GetExtendedControl(IDispatch** control) override;
  HRESULT TransformCoords(POINTL* himetric, POINTF* container, DWORD flags) override;
  HRESULT TranslateAccelerator(MSG* msg, DWORD modifiers) override;
  HRESULT OnFocus(BOOL gotFocus) override;
  HRESULT ShowPropertyFrame() override;
  // --- IOleWindow / IOleInPlaceSite
  HRESULT SiteGetWindow(HWND* window) override;
  HRESULT ContextSensitiveHelp(BOOL enterMode) override;
  HRESULT CanInPlaceActivate() override;
  HRESULT OnInPlaceActivate() override;
  HRESULT OnUIActivate() override;
  HRESULT GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** doc, RECT* position, RECT* clip,
                           OLEINPLACEFRAMEINFO* info) override;
  HRESULT Scroll(SIZEL extent) override;
  HRESULT OnUIDeactivate(BOOL undoable) override;
  HRESULT OnInPlaceDeactivate() override;
  HRESULT DiscardUndoState() override;
  HRESULT DeactivateAndUndo() override;
  HRESULT OnPosRectChange(const RECT* position) override;
  // --- IOleInPlaceFrame
  HRESULT FrameGetWindow(HWND* window) override;
  HRESULT GetBorder(RECT* border) override;
  HRESULT RequestBorderSpace(const RECT* widths) override;
  HRESULT SetBorderSpace(const RECT* widths) override;
  HRESULT SetActiveObject(IOleInPlaceActiveObject* object, LPCOLESTR name) override;
  HRESULT InsertMenus(HMENU shared, OLEMENUGROUPWIDTHS* widths) override;
  HRESULT SetMenu(HMENU shared, HOLEMENU descriptor, HWND activeObject) override;
  HRESULT RemoveMenus(HMENU shared) override;
  HRESULT SetStatusText(LPCOLESTR text) override;
  HRESULT EnableModeless(BOOL enable) override;
  HRESULT TranslateAccelerator(MSG* msg, Word id) override;
  // --- IOleContainer
  HRESULT ParseDisplayName(IBindCtx* context, LPOLESTR name, ULONG* eaten, IMoniker** moniker) override;
  HRESULT EnumObjects(DWORD flags, IEnumUnknown** objects) override;
  HRESULT LockContainer(BOOL lock) override;
  // --- IPropertyNotifySink
  HRESULT OnChanged(DISPID id) override;
  HRESULT OnRequestEdit(DISPID id) override;
  // --- ISimpleFrameSite
  HRESULT PreMessageFilter(HWND window, UINT msg, WPARAM wp, LPARAM lp, LRESULT* result, DWORD* cookie) override;
  HRESULT PostMessageFilter(HWND window, UINT msg, WPARAM wp, LPARAM lp, LRESULT* result, DWORD cookie) override;
  // --- IDispatch: the ambient properties
  HRESULT GetTypeInfoCount(UINT* count) override;
  HRESULT GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
  HRESULT GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) override;
  HRESULT Invoke(DISPID id, REFIID riid, LCID lcid, Word flags, DISPPARAMS* params, VARIANT* result,
                 EXCEPINFO* excepInfo, UINT* argErr) override;

  // --- What the concrete classes use
  // The control's IDispatch as a variant (the control created first when needed).
  OleVariant GetOleObject();
  // Property access by DISPID; failures raise EOleException with the control's
  // exception information.
  void GetProperty(DISPID id, VARIANT& value);
  void SetProperty(DISPID id, const VARIANT& value);
  Integer GetIntegerProp(DISPID id);
  bool GetWordBoolProp(DISPID id);
  WideString GetWideStringProp(DISPID id);
  AnsiString GetStringProp(DISPID id);
  OleVariant GetOleVariantProp(DISPID id);
  void SetIntegerProp(DISPID id, Integer value);
  void SetColorProp(DISPID id, TColor value);
  void SetWordBoolProp(DISPID id, bool value);
  void SetWideStringProp(DISPID id, const WideString& value);
  void SetStringProp(DISPID id, const AnsiString& value);
  void SetOleVariantProp(DISPID id, const VARIANT& value);

  // Event delivery (the event sink calls these).
  void InvokeEvent(DISPID id, DISPPARAMS* params);
  void StandardEvent(DISPID id, DISPPARAMS* params);
  // The event table's entry for the DISPID; null when it is not in the record.
  TOleEventMethod* GetEventMethod(DISPID id);

  // The saved state, as the form property "ControlData" reads and writes it.
  void ReadData(TStream* stream);
  void WriteData(TStream* stream);
  bool HasSavedState() const noexcept { return savedState_ != 0; }

  TControlData* GetControlData() const noexcept { return controlData_; }
  IOleObject* GetOleObjectInterface() const noexcept { return oleObject_.Get(); }
  IOleInPlaceActiveObject* GetInPlaceActiveObject() const noexcept { return inPlaceActiveObject_.Get(); }
  DWORD GetMiscStatus() const noexcept { return miscStatus_; }
  ULONG GetRefCount() const noexcept { return refCount_; }
  void SetBounds(Integer left, Integer top, Integer width, Integer height) override;
  void SetParent(TWinControl* value) override;
  void SetName(const AnsiString& value) override;
  void DefaultHandler(TMessage& message) override;

  // The form's active OLE control (the one UI-active in it); null when none.
  static TProfOleControl* ActiveOleControl(TCustomForm* form);

 protected:
  // The concrete class's record (its event table place filled in).
  virtual void InitControlData() = 0;
  void SetControlData(TControlData* data) noexcept { controlData_ = data; }
  // The construction steps that need the concrete class: run by it once it is built.
  void InitializeSite();

  void CreateControl();
  void CreateInstance();
  void DestroyControl();
  void CreateStorage();
  void DestroyStorage();
  void HookControlWndProc();
  void SetUIActive(bool active);
  TMainMenu* GetMainMenu();
  bool IsControlCreated() const noexcept { return static_cast<bool>(control_); }

  void WndProc(TMessage& message) override;
  void CreateWnd() override;
  void DestroyWnd() override;

 private:
  void SetClientSiteIfNeeded();
  void ReleaseInPlace();
  Integer PixelsPerInch() const;
  bool InvisibleAtRuntime() const noexcept { return (miscStatus_ & OLEMISC_INVISIBLEATRUNTIME) != 0; }
  void SyncStockToControl(UINT notification);
  void DoVerb(LONG verb);

  TControlData* controlData_ = nullptr;
  ULONG refCount_ = 0;
  TProfEventDispatch* eventDispatch_ = nullptr;
  HGLOBAL savedState_ = 0;
  ComPtr<IOleObject> oleObject_;
  ComPtr<IPersistStreamInit> persistStream_;
  ComPtr<IOleControl> control_;
  ComPtr<IDispatch> controlDispatch_;
  ComPtr<IPerPropertyBrowsing> propertyBrowsing_;
  ComPtr<IOleInPlaceObject> inPlaceObject_;
  ComPtr<IOleInPlaceActiveObject> inPlaceActiveObject_;
  DWORD propConnection_ = 0;
  DWORD eventsConnection_ = 0;
  DWORD miscStatus_ = 0;
  bool updatingColor_ = false;
  bool updatingFont_ = false;
  bool updatingEnabled_ = false;
  bool siteInitialized_ = false;
  HWND adoptedWindow_ = 0;
  WNDPROC adoptedProc_ = nullptr;
};
