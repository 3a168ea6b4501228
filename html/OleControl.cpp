// The ActiveX control site: creation, the site's answers to the hosted control,
// property access, events, persistence, sizing and window adoption.
#include "html/OleControl.h"

#include <cmath>
#include <map>

#include "platform/ole/Com.h"
#include "platform/ole/OleFont.h"
#include "platform/ole/OleErrors.h"
#include "platform/ole/OleVariant.h"
#include "platform/ole/Stream.h"
#include "platform/rtl/CodePage.h"
#include "platform/vcl/Application.h"
#include "platform/vcl/Forms.h"
#include "platform/win/Gdi.h"
#include "platform/win/Menu.h"
#include "platform/win/Messages.h"

namespace {

constexpr RECT kNoClip{0, 0, 32767, 32767};
constexpr Integer kHimetricPerInch = 2540;

// The OLE control that is UI-active in each form.
std::map<TCustomForm*, TProfOleControl*>& ActiveControls() {
  static auto* controls = new std::map<TCustomForm*, TProfOleControl*>;
  return *controls;
}

// Raises the failure of a dispatch call with what the control said about it.
[[noreturn]] void RaiseDispatchError(HRESULT hr, EXCEPINFO& info) {
  const WideString description = info.bstrDescription ? WideString(info.bstrDescription) : WideString();
  AnsiString message = description.empty() ? OleErrorMessage(hr) : WideToAnsi(description);
  AnsiString source = info.bstrSource ? WideToAnsi(WideString(info.bstrSource)) : AnsiString();
  const HRESULT code = info.scode != 0 ? info.scode : hr;
  SysFreeString(info.bstrDescription);
  SysFreeString(info.bstrSource);
  SysFreeString(info.bstrHelpFile);
  throw EOleException(message, code, source);
}

}  // namespace

// --- TProfEventDispatch -------------------------------------------------------------

HRESULT TProfEventDispatch::QueryInterface(REFIID riid, void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  const TControlData* data = control_->GetControlData();
  if (riid == IID_IUnknown || riid == IID_IDispatch || (data && riid == data->EventIID)) {
    *object = static_cast<IDispatch*>(this);
    AddRef();
    return S_OK;
  }
  return E_NOINTERFACE;
}
ULONG TProfEventDispatch::AddRef() { return control_->AddRef(); }
ULONG TProfEventDispatch::Release() { return control_->Release(); }
HRESULT TProfEventDispatch::GetTypeInfoCount(UINT* count) {
  if (count) *count = 0;
  return S_OK;
}
HRESULT TProfEventDispatch::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
  if (info) *info = nullptr;
  return E_NOTIMPL;
}
HRESULT TProfEventDispatch::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) { return E_NOTIMPL; }
HRESULT TProfEventDispatch::Invoke(DISPID id, REFIID, LCID, Word, DISPPARAMS* params, VARIANT*, EXCEPINFO*,
                                   UINT*) {
  if (id >= -607 && id <= -600)
    control_->StandardEvent(id, params);
  else
    control_->InvokeEvent(id, params);
  return S_OK;
}

// --- Construction and destruction -----------------------------------------------------

TProfOleControl::TProfOleControl(TComponent* owner) : TWinControl(owner) {}

void TProfOleControl::InitializeSite() {
  if (siteInitialized_) return;
  InitControlData();
  if (!controlData_) throw EOleError("The control gives no control record");
  siteInitialized_ = true;
  ++controlData_->InstanceCount;
  eventDispatch_ = new TProfEventDispatch(this);
  CreateInstance();
  oleObject_->GetMiscStatus(DVASPECT_CONTENT, &miscStatus_);
  if ((controlData_->Reserved & cdDeferSetClientSite) == 0 &&
      ((miscStatus_ & OLEMISC_SETCLIENTSITEFIRST) || (controlData_->Reserved & cdSetClientSiteFirst)))
    OleCheck(oleObject_->SetClientSite(this));
  OleCheck(oleObject_.As(&persistStream_));
  if (InvisibleAtRuntime()) SetVisible(false);
  TControlStyle style{csDoubleClicks, csNoStdEvents};
  if (miscStatus_ & OLEMISC_SIMPLEFRAME) style = style + csAcceptsControls;
  SetControlStyle(style);
  SetTabStop((miscStatus_ & (OLEMISC_ACTSLIKELABEL | OLEMISC_NOUIACTIVATE)) == 0);
  OleCheck(RequestNewObjectLayout());
}

TProfOleControl::~TProfOleControl() {
  SetUIActive(false);
  // The window goes first: its procedure is put back and the control closed while
  // this object is still whole.
  DestroyHandle();
  if (oleObject_) oleObject_->Close(OLECLOSE_NOSAVE);
  DestroyControl();
  DestroyStorage();
  persistStream_ = nullptr;
  if (oleObject_) oleObject_->SetClientSite(nullptr);
  oleObject_ = nullptr;
  inPlaceObject_ = nullptr;
  inPlaceActiveObject_ = nullptr;
  delete eventDispatch_;
  eventDispatch_ = nullptr;
  if (siteInitialized_ && controlData_) --controlData_->InstanceCount;
}

void TProfOleControl::CreateInstance() {
  OleCheck(CoCreateInstance(controlData_->ClassID, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER,
                            IID_IOleObject, oleObject_.ReleaseAndGetVoidAddress()));
}

void TProfOleControl::SetClientSiteIfNeeded() {
  ComPtr<IOleClientSite> current;
  bool have = false;
  try {
    have = SUCCEEDED(oleObject_->GetClientSite(current.ReleaseAndGetAddressOf())) && current;
  } catch (...) {
    have = false;
  }
  if (!have) OleCheck(oleObject_->SetClientSite(this));
}

void TProfOleControl::CreateControl() {
  if (control_ || !oleObject_) return;
  try {
    SetClientSiteIfNeeded();
    if (savedState_) {
      ComPtr<IStream> stream;
      OleCheck(CreateStreamOnHGlobal(savedState_, FALSE, stream.ReleaseAndGetAddressOf()));
      OleCheck(persistStream_->Load(stream.Get()));
      DestroyStorage();
    } else {
      OleCheck(persistStream_->InitNew());
    }
    OleCheck(oleObject_.As(&control_));
    OleCheck(oleObject_.As(&controlDispatch_));
    oleObject_.As(&propertyBrowsing_);
    ComPtr<IConnectionPointContainer> points;
    if (SUCCEEDED(oleObject_.As(&points)) && points) {
      ComPtr<IConnectionPoint> point;
      if (SUCCEEDED(points->FindConnectionPoint(IID_IPropertyNotifySink, point.ReleaseAndGetAddressOf())))
        point->Advise(static_cast<IPropertyNotifySink*>(this), &propConnection_);
      if (SUCCEEDED(points->FindConnectionPoint(controlData_->EventIID, point.ReleaseAndGetAddressOf())))
        point->Advise(static_cast<IDispatch*>(eventDispatch_), &eventsConnection_);
    }
    if (controlData_->Flags & cdBackColor) OnChanged(DISPID_BACKCOLOR);
    if (controlData_->Flags & cdEnabled) OnChanged(-514);
    if (controlData_->Flags & cdFont) OnChanged(-512);
    if (controlData_->Flags & cdForeColor) OnChanged(-513);
    control_->OnAmbientPropertyChange(DISPID_UNKNOWN);
    RequestNewObjectLayout();
  } catch (...) {
    DestroyControl();
    throw;
  }
}

void TProfOleControl::DestroyControl() {
  ComPtr<IConnectionPointContainer> points;
  if (oleObject_ && SUCCEEDED(oleObject_.As(&points)) && points) {
    ComPtr<IConnectionPoint> point;
    if (eventsConnection_ &&
        SUCCEEDED(points->FindConnectionPoint(controlData_->EventIID, point.ReleaseAndGetAddressOf())))
      point->Unadvise(eventsConnection_);
    if (propConnection_ &&
        SUCCEEDED(points->FindConnectionPoint(IID_IPropertyNotifySink, point.ReleaseAndGetAddressOf())))
      point->Unadvise(propConnection_);
  }
  eventsConnection_ = 0;
  propConnection_ = 0;
  propertyBrowsing_ = nullptr;
  controlDispatch_ = nullptr;
  control_ = nullptr;
}

// --- The window -------------------------------------------------------------------

void TProfOleControl::DoVerb(LONG verb) {
  HWND parent = GetParent() ? GetParent()->GetHandle() : GetParentWindow();
  RECT bounds{GetLeft(), GetTop(), GetLeft() + GetWidth(), GetTop() + GetHeight()};
  OleCheck(oleObject_->DoVerb(verb, nullptr, this, 0, parent, &bounds));
}

void TProfOleControl::CreateWnd() {
  CreateControl();
  if (InvisibleAtRuntime()) {
    TWinControl::CreateWnd();
    return;
  }
  DoVerb(OLEIVERB_INPLACEACTIVATE);
  if (!inPlaceObject_) throw EOleError("OLE control activation failed");
  HookControlWndProc();
  if (!GetVisible() && HandleAllocated() && IsWindowVisible(GetHandle())) ShowWindow(GetHandle(), SW_HIDE);
}

void TProfOleControl::HookControlWndProc() {
  if (!inPlaceObject_ || HandleAllocated()) return;
  HWND window = 0;
  inPlaceObject_->GetWindow(&window);
  if (!window) throw EOleError("Could not obtain OLE control window handle");
  AdoptWindow(window);
}

void TProfOleControl::DestroyWnd() {
  if (InvisibleAtRuntime() || !HandleAllocated()) {
    TWinControl::DestroyWnd();
    return;
  }
  ReleaseAdoptedWindow();
  if (oleObject_) oleObject_->Close(OLECLOSE_NOSAVE);
}

void TProfOleControl::DefaultHandler(TMessage& message) {
  try {
    if (HandleAllocated()) {
      if (message.Msg >= 0xBC00 && message.Msg < 0xC000) message.Msg -= 0x9C00;
      if ((miscStatus_ & OLEMISC_SIMPLEFRAME) == 0) {
        message.Result = CallWindowProc(defWndProc_ ? defWndProc_ : DefWindowProc, GetHandle(), message.Msg,
                                        message.WParam, message.LParam);
        return;
      }
    }
    TWinControl::DefaultHandler(message);
  } catch (...) {
  }
}

void TProfOleControl::WndProc(TMessage& message) {
  if (message.Msg >= CN_KEYDOWN && message.Msg <= CN_KEYDOWN + 8 && inPlaceActiveObject_) {
    MSG msg{};
    msg.hwnd = HandleAllocated() ? GetHandle() : 0;
    msg.message = message.Msg - CN_BASE;
    msg.wParam = message.WParam;
    msg.lParam = message.LParam;
    msg.time = GetTickCount();
    msg.pt = POINT{0x115DE1F1, 0x115DE1F1};
    if (inPlaceActiveObject_->TranslateAccelerator(&msg) == S_OK) {
      message.Result = 1;
      return;
    }
  }
  if (message.Msg == CM_PARENTFONTCHANGED && GetParentFont() && control_) {
    control_->OnAmbientPropertyChange(DISPID_AMBIENT_FONT);
    control_->OnAmbientPropertyChange(DISPID_AMBIENT_FORECOLOR);
  } else if (message.Msg == CM_PARENTCOLORCHANGED && GetParentColor() && control_) {
    control_->OnAmbientPropertyChange(DISPID_AMBIENT_BACKCOLOR);
  }
  switch (message.Msg) {
    case CM_UIACTIVATE: {
      TCustomForm* form = GetParentForm(this);
      if (!form || ActiveOleControl(form) != this) DoVerb(OLEIVERB_UIACTIVATE);
      return;
    }
    case CM_UIDEACTIVATE: {
      TCustomForm* form = GetParentForm(this);
      if (!form || ActiveOleControl(form) == this) {
        if (inPlaceObject_) inPlaceObject_->UIDeactivate();
        if (form && ActiveOleControl(form) == this) OnUIDeactivate(FALSE);
      }
      return;
    }
    default:
      break;
  }
  TWinControl::WndProc(message);
  if (message.Msg == CM_COLORCHANGED || message.Msg == CM_FONTCHANGED || message.Msg == CM_ENABLEDCHANGED)
    SyncStockToControl(message.Msg);
}

void TProfOleControl::SyncStockToControl(UINT notification) {
  if (!HandleAllocated() || !controlData_) return;
  try {
    if (notification == CM_COLORCHANGED && (controlData_->Flags & cdBackColor) && !updatingColor_)
      SetColorProp(DISPID_BACKCOLOR, GetColor());
    if (notification == CM_FONTCHANGED && (controlData_->Flags & cdForeColor) && !updatingFont_)
      SetColorProp(-513, GetFont()->GetColor());
    if (notification == CM_ENABLEDCHANGED && (controlData_->Flags & cdEnabled) && !updatingEnabled_)
      SetWordBoolProp(-514, GetEnabled());
  } catch (EOleError&) {
  }
}

Integer TProfOleControl::PixelsPerInch() const {
  HDC dc = GetDC(0);
  const Integer ppi = GetDeviceCaps(dc, LOGPIXELSX);
  ReleaseDC(0, dc);
  return ppi > 0 ? ppi : 96;
}

void TProfOleControl::SetBounds(Integer left, Integer top, Integer width, Integer height) {
  if ((width != GetWidth() && GetWidth() > 0) || (height != GetHeight() && GetHeight() > 0)) {
    if (InvisibleAtRuntime()) {
      width = GetWidth();
      height = GetHeight();
    } else if (oleObject_) {
      const Integer ppi = PixelsPerInch();
      SIZEL extent{width * kHimetricPerInch / ppi, height * kHimetricPerInch / ppi};
      if (FAILED(oleObject_->SetExtent(DVASPECT_CONTENT, &extent))) {
        width = GetWidth();
        height = GetHeight();
      }
    }
  }
  TWinControl::SetBounds(left, top, width, height);
  if (inPlaceObject_) {
    RECT r{left, top, left + width, top + height};
    inPlaceObject_->SetObjectRects(&r, &kNoClip);
  }
}

void TProfOleControl::SetParent(TWinControl* value) {
  TWinControl::SetParent(value);
  if (value && oleObject_) {
    try {
      SetClientSiteIfNeeded();
    } catch (...) {
    }
    if (control_) control_->OnAmbientPropertyChange(DISPID_UNKNOWN);
  }
}

void TProfOleControl::SetName(const AnsiString& value) {
  const AnsiString old = GetName();
  TWinControl::SetName(value);
  if (!control_) return;
  control_->OnAmbientPropertyChange(DISPID_AMBIENT_DISPLAYNAME);
  if (!(controlData_->Flags & (cdCaption | cdText))) return;
  const DISPID id = (controlData_->Flags & cdCaption) ? -518 : -517;
  try {
    if (GetStringProp(id) == old) SetStringProp(id, value);
  } catch (EOleError&) {
  }
}

void TProfOleControl::SetUIActive(bool active) {
  TCustomForm* form = GetParentForm(this);
  if (!form) return;
  auto& controls = ActiveControls();
  if (active) {
    TProfOleControl* previous = ActiveOleControl(form);
    if (previous && previous != this) previous->Perform(CM_UIDEACTIVATE);
    controls[form] = this;
  } else if (ActiveOleControl(form) == this) {
    controls.erase(form);
  }
}

TProfOleControl* TProfOleControl::ActiveOleControl(TCustomForm* form) {
  auto& controls = ActiveControls();
  auto it = controls.find(form);
  return it == controls.end() ? nullptr : it->second;
}

TMainMenu* TProfOleControl::GetMainMenu() {
  if (TCustomForm* form = GetParentForm(this)) {
    if (form->GetFormStyle() != TFormStyle::fsMDIChild) return form->GetMenu();
  }
  if (Application && Application->GetMainForm()) return Application->GetMainForm()->GetMenu();
  return nullptr;
}

// --- IUnknown ---------------------------------------------------------------------

HRESULT TProfOleControl::QueryInterface(REFIID riid, void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  if (riid == IID_IUnknown || riid == IID_IOleClientSite)
    *object = static_cast<IOleClientSite*>(this);
  else if (riid == IID_IOleControlSite)
    *object = static_cast<IOleControlSite*>(this);
  else if (riid == IID_IOleInPlaceSite || riid == IID_IOleWindow)
    *object = static_cast<IOleInPlaceSite*>(this);
  else if (riid == IID_IOleInPlaceFrame || riid == IID_IOleInPlaceUIWindow)
    *object = static_cast<IOleInPlaceFrame*>(this);
  else if (riid == IID_IOleContainer || riid == IID_IParseDisplayName)
    *object = static_cast<IOleContainer*>(this);
  else if (riid == IID_IPropertyNotifySink)
    *object = static_cast<IPropertyNotifySink*>(this);
  else if (riid == IID_ISimpleFrameSite)
    *object = static_cast<ISimpleFrameSite*>(this);
  else if (riid == IID_IDispatch)
    *object = static_cast<IDispatch*>(this);
  if (*object == nullptr) return E_NOINTERFACE;
  AddRef();
  return S_OK;
}
ULONG TProfOleControl::AddRef() { return ++refCount_; }
ULONG TProfOleControl::Release() { return --refCount_; }

// --- IOleClientSite ---------------------------------------------------------------

HRESULT TProfOleControl::SaveObject() { return S_OK; }
HRESULT TProfOleControl::GetMoniker(DWORD, DWORD, IMoniker** moniker) {
  if (moniker) *moniker = nullptr;
  return E_NOTIMPL;
}
HRESULT TProfOleControl::GetContainer(IOleContainer** container) {
  if (container == nullptr) return E_POINTER;
  *container = static_cast<IOleContainer*>(this);
  AddRef();
  return S_OK;
}
HRESULT TProfOleControl::ShowObject() {
  try {
    HookControlWndProc();
  } catch (...) {
    return E_FAIL;
  }
  return S_OK;
}
HRESULT TProfOleControl::OnShowWindow(BOOL) { return S_OK; }

HRESULT TProfOleControl::RequestNewObjectLayout() {
  if (!oleObject_) return E_FAIL;
  SIZEL extent{};
  const HRESULT hr = oleObject_->GetExtent(DVASPECT_CONTENT, &extent);
  if (FAILED(hr)) return hr;
  const Integer ppi = PixelsPerInch();
  Integer width = extent.cx * ppi / kHimetricPerInch;
  Integer height = extent.cy * ppi / kHimetricPerInch;
  if (InvisibleAtRuntime() && !control_) {
    width = std::min<Integer>(width, 32);
    height = std::min<Integer>(height, 32);
  }
  TWinControl::SetBounds(GetLeft(), GetTop(), width, height);
  return S_OK;
}

// --- IOleControlSite ------------------------------------------------------------------

HRESULT TProfOleControl::OnControlInfoChanged() { return E_NOTIMPL; }
HRESULT TProfOleControl::LockInPlaceActive(BOOL) { return E_NOTIMPL; }
HRESULT TProfOleControl::GetExtendedControl(IDispatch** control) {
  if (control) *control = nullptr;
  return E_NOTIMPL;
}
HRESULT TProfOleControl::TransformCoords(POINTL* himetric, POINTF* container, DWORD flags) {
  if (!himetric || !container) return E_POINTER;
  const Integer ppi = PixelsPerInch();
  if (flags & XFORMCOORDS_HIMETRICTOCONTAINER) {
    container->x = static_cast<float>(static_cast<double>(himetric->x) * ppi / kHimetricPerInch);
    container->y = static_cast<float>(static_cast<double>(himetric->y) * ppi / kHimetricPerInch);
  } else {
    himetric->x = static_cast<LONG>(std::lround(container->x * kHimetricPerInch / ppi));
    himetric->y = static_cast<LONG>(std::lround(container->y * kHimetricPerInch / ppi));
  }
  return S_OK;
}
HRESULT TProfOleControl::TranslateAccelerator(MSG*, DWORD) { return E_NOTIMPL; }
HRESULT TProfOleControl::OnFocus(BOOL) { return E_NOTIMPL; }
HRESULT TProfOleControl::ShowPropertyFrame() { return E_NOTIMPL; }

// --- IOleInPlaceSite --------------------------------------------------------------

HRESULT TProfOleControl::SiteGetWindow(HWND* window) {
  if (window == nullptr) return E_POINTER;
  *window = 0;
  if (GetParent()) *window = GetParent()->GetHandle();
  else *window = GetParentWindow();
  return *window ? S_OK : E_FAIL;
}
HRESULT TProfOleControl::ContextSensitiveHelp(BOOL) { return S_OK; }
HRESULT TProfOleControl::CanInPlaceActivate() { return S_OK; }
HRESULT TProfOleControl::OnInPlaceActivate() {
  oleObject_.As(&inPlaceObject_);
  oleObject_.As(&inPlaceActiveObject_);
  return S_OK;
}
HRESULT TProfOleControl::OnUIActivate() {
  SetUIActive(true);
  return S_OK;
}
HRESULT TProfOleControl::GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** doc, RECT* position,
                                          RECT* clip, OLEINPLACEFRAMEINFO* info) {
  if (frame) {
    *frame = static_cast<IOleInPlaceFrame*>(this);
    AddRef();
  }
  if (doc) *doc = nullptr;
  if (position) *position = RECT{GetLeft(), GetTop(), GetLeft() + GetWidth(), GetTop() + GetHeight()};
  if (clip) *clip = kNoClip;
  if (info) {
    info->fMDIApp = FALSE;
    HWND top = 0;
    FrameGetWindow(&top);
    info->hwndFrame = top;
    info->haccel = 0;
    info->cAccelEntries = 0;
  }
  return S_OK;
}
HRESULT TProfOleControl::Scroll(SIZEL) { return E_NOTIMPL; }
HRESULT TProfOleControl::OnUIDeactivate(BOOL) {
  SetMenu(0, 0, 0);
  SetUIActive(false);
  return S_OK;
}
HRESULT TProfOleControl::OnInPlaceDeactivate() {
  inPlaceActiveObject_ = nullptr;
  inPlaceObject_ = nullptr;
  return S_OK;
}
HRESULT TProfOleControl::DiscardUndoState() { return E_NOTIMPL; }
HRESULT TProfOleControl::DeactivateAndUndo() {
  if (inPlaceObject_) inPlaceObject_->UIDeactivate();
  return S_OK;
}
HRESULT TProfOleControl::OnPosRectChange(const RECT* position) {
  if (inPlaceObject_ && position) inPlaceObject_->SetObjectRects(position, &kNoClip);
  return S_OK;
}

// --- IOleInPlaceFrame -------------------------------------------------------------

HRESULT TProfOleControl::FrameGetWindow(HWND* window) {
  if (window == nullptr) return E_POINTER;
  *window = 0;
  TWinControl* top = this;
  while (top->GetParent()) top = top->GetParent();
  if (top != this || GetParentWindow()) *window = top->GetParent() ? 0 : top->GetHandle();
  if (top == this && GetParentWindow()) *window = GetAncestor(GetParentWindow(), GA_ROOT);
  return *window ? S_OK : E_FAIL;
}
HRESULT TProfOleControl::GetBorder(RECT*) { return static_cast<HRESULT>(0x800401A1); }
HRESULT TProfOleControl::RequestBorderSpace(const RECT*) { return static_cast<HRESULT>(0x800401A1); }
HRESULT TProfOleControl::SetBorderSpace(const RECT*) { return E_NOTIMPL; }
HRESULT TProfOleControl::SetActiveObject(IOleInPlaceActiveObject*, LPCOLESTR) { return S_OK; }
HRESULT TProfOleControl::InsertMenus(HMENU, OLEMENUGROUPWIDTHS* widths) {
  // The framework's menus are drawn by the framework: no shared OLE menu is built, so
  // every group stays empty.
  if (widths)
    for (LONG& w : widths->width) w = 0;
  return S_OK;
}
HRESULT TProfOleControl::SetMenu(HMENU, HOLEMENU, HWND) { return S_OK; }
HRESULT TProfOleControl::RemoveMenus(HMENU shared) {
  if (shared)
    while (GetMenuItemCount(shared) > 0) RemoveMenu(shared, 0, MF_BYPOSITION);
  return S_OK;
}
HRESULT TProfOleControl::SetStatusText(LPCOLESTR) { return S_OK; }
HRESULT TProfOleControl::EnableModeless(BOOL) { return S_OK; }
HRESULT TProfOleControl::TranslateAccelerator(MSG*, Word) { return S_FALSE; }

// --- IOleContainer ----------------------------------------------------------------

HRESULT TProfOleControl::ParseDisplayName(IBindCtx*, LPOLESTR, ULONG* eaten, IMoniker** moniker) {
  if (eaten) *eaten = 0;
  if (moniker) *moniker = nullptr;
  return E_NOTIMPL;
}
HRESULT TProfOleControl::EnumObjects(DWORD, IEnumUnknown** objects) {
  if (objects) *objects = nullptr;
  return E_NOTIMPL;
}
HRESULT TProfOleControl::LockContainer(BOOL) { return E_NOTIMPL; }

// --- IPropertyNotifySink ----------------------------------------------------------

HRESULT TProfOleControl::OnChanged(DISPID id) {
  try {
    switch (id) {
      case -514:
        if (!updatingEnabled_) {
          updatingEnabled_ = true;
          SetEnabled(GetWordBoolProp(-514));
          updatingEnabled_ = false;
        }
        break;
      case -513:
        if (!updatingFont_) {
          updatingFont_ = true;
          GetFont()->SetColor(static_cast<TColor>(GetIntegerProp(-513)));
          updatingFont_ = false;
        }
        break;
      case DISPID_BACKCOLOR:
        if (!updatingColor_) {
          updatingColor_ = true;
          SetColor(static_cast<TColor>(GetIntegerProp(DISPID_BACKCOLOR)));
          updatingColor_ = false;
        }
        break;
      default:
        break;
    }
  } catch (EOleError&) {
    updatingEnabled_ = updatingFont_ = updatingColor_ = false;
  }
  return S_OK;
}
HRESULT TProfOleControl::OnRequestEdit(DISPID) { return S_OK; }

// --- ISimpleFrameSite -------------------------------------------------------------

HRESULT TProfOleControl::PreMessageFilter(HWND, UINT, WPARAM, LPARAM, LRESULT*, DWORD*) { return S_OK; }
HRESULT TProfOleControl::PostMessageFilter(HWND, UINT, WPARAM, LPARAM, LRESULT*, DWORD) { return S_OK; }

// --- IDispatch: ambient properties ------------------------------------------------

HRESULT TProfOleControl::GetTypeInfoCount(UINT* count) {
  if (count) *count = 0;
  return S_OK;
}
HRESULT TProfOleControl::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
  if (info) *info = nullptr;
  return E_NOTIMPL;
}
HRESULT TProfOleControl::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) { return E_NOTIMPL; }

HRESULT TProfOleControl::Invoke(DISPID id, REFIID, LCID, Word flags, DISPPARAMS*, VARIANT* result, EXCEPINFO*,
                                UINT*) {
  if (!(flags & DISPATCH_PROPERTYGET) || result == nullptr) return DISP_E_MEMBERNOTFOUND;
  const bool designing = GetComponentState().Contains(csDesigning);
  OleVariant value;
  switch (id) {
    case DISPID_AMBIENT_BACKCOLOR:
      value = OleVariant(static_cast<int32_t>(GetColor()));
      break;
    case DISPID_AMBIENT_DISPLAYNAME:
      value = OleVariant(AnsiToWide(GetName()));
      break;
    case DISPID_AMBIENT_FONT: {
      TFont* font = (GetParentFont() && GetParent()) ? GetParent()->GetFont() : GetFont();
      WideString face = AnsiToWide(font->GetName());
      FONTDESC desc{};
      desc.cbSizeofstruct = sizeof desc;
      desc.lpstrName = face.data();
      desc.cySize.int64 = static_cast<int64_t>(font->GetSize()) * 10000;
      desc.sWeight = 400;
      ComPtr<IFontDisp> disp;
      if (FAILED(OleCreateFontIndirect(&desc, IID_IFontDisp, disp.ReleaseAndGetVoidAddress())))
        return DISP_E_MEMBERNOTFOUND;
      value = OleVariant(static_cast<IDispatch*>(disp.Get()));
      break;
    }
    case DISPID_AMBIENT_FORECOLOR:
      value = OleVariant(static_cast<int32_t>(GetFont()->GetColor()));
      break;
    case DISPID_AMBIENT_LOCALEID:
      value = OleVariant(static_cast<int32_t>(GetUserDefaultLCID()));
      break;
    case DISPID_AMBIENT_MESSAGEREFLECT:
    case DISPID_AMBIENT_AUTOCLIP:
    case DISPID_AMBIENT_SUPPORTSMNEMONICS:
      value = OleVariant(true);
      break;
    case DISPID_AMBIENT_USERMODE:
      value = OleVariant(!designing);
      break;
    case DISPID_AMBIENT_UIDEAD:
      value = OleVariant(designing);
      break;
    case DISPID_AMBIENT_SHOWGRABHANDLES:
    case DISPID_AMBIENT_SHOWHATCHING:
      value = OleVariant(false);
      break;
    default:
      return DISP_E_MEMBERNOTFOUND;
  }
  value.Detach(result);
  return S_OK;
}

// --- Property access --------------------------------------------------------------

OleVariant TProfOleControl::GetOleObject() {
  CreateControl();
  return OleVariant(controlDispatch_.Get());
}

void TProfOleControl::GetProperty(DISPID id, VARIANT& value) {
  CreateControl();
  VariantClear(&value);
  if (!controlDispatch_) throw EOleSysError({}, E_NOINTERFACE);
  EXCEPINFO info{};
  const HRESULT hr =
      controlDispatch_->Invoke(id, IID_NULL, 0, DISPATCH_PROPERTYGET, nullptr, &value, &info, nullptr);
  if (FAILED(hr)) RaiseDispatchError(hr, info);
}

void TProfOleControl::SetProperty(DISPID id, const VARIANT& value) {
  CreateControl();
  if (!controlDispatch_) throw EOleSysError({}, E_NOINTERFACE);
  OleVariant arg(value);
  DISPID named = DISPID_PROPERTYPUT;
  DISPPARAMS params{};
  params.rgvarg = &arg;
  params.cArgs = 1;
  params.rgdispidNamedArgs = &named;
  params.cNamedArgs = 1;
  const Word flags = value.vt == VT_DISPATCH ? DISPATCH_PROPERTYPUTREF : DISPATCH_PROPERTYPUT;
  EXCEPINFO info{};
  const HRESULT hr = controlDispatch_->Invoke(id, IID_NULL, 0, flags, &params, nullptr, &info, nullptr);
  if (FAILED(hr)) RaiseDispatchError(hr, info);
}

Integer TProfOleControl::GetIntegerProp(DISPID id) { return GetOleVariantProp(id).AsInteger(); }
bool TProfOleControl::GetWordBoolProp(DISPID id) { return GetOleVariantProp(id).AsBool(); }
WideString TProfOleControl::GetWideStringProp(DISPID id) { return GetOleVariantProp(id).AsWideString(); }
AnsiString TProfOleControl::GetStringProp(DISPID id) { return WideToAnsi(GetWideStringProp(id)); }
OleVariant TProfOleControl::GetOleVariantProp(DISPID id) {
  OleVariant value;
  GetProperty(id, value);
  return value;
}
void TProfOleControl::SetIntegerProp(DISPID id, Integer value) { SetProperty(id, OleVariant(int32_t{value})); }
void TProfOleControl::SetColorProp(DISPID id, TColor value) {
  SetProperty(id, OleVariant(static_cast<int32_t>(value)));
}
void TProfOleControl::SetWordBoolProp(DISPID id, bool value) { SetProperty(id, OleVariant(value)); }
void TProfOleControl::SetWideStringProp(DISPID id, const WideString& value) { SetProperty(id, OleVariant(value)); }
void TProfOleControl::SetStringProp(DISPID id, const AnsiString& value) {
  SetProperty(id, OleVariant(AnsiToWide(value)));
}
void TProfOleControl::SetOleVariantProp(DISPID id, const VARIANT& value) { SetProperty(id, value); }

// --- Events -----------------------------------------------------------------------

TOleEventMethod* TProfOleControl::GetEventMethod(DISPID id) {
  if (!controlData_ || !controlData_->EventDispIDs) return nullptr;
  for (Integer i = 0; i < controlData_->EventCount; ++i) {
    if (controlData_->EventDispIDs[i] != id) continue;
    auto* table = reinterpret_cast<TOleEventMethod*>(reinterpret_cast<char*>(static_cast<TWinControl*>(this)) +
                                                     controlData_->EventsOffset);
    return &table[i];
  }
  return nullptr;
}

void TProfOleControl::InvokeEvent(DISPID id, DISPPARAMS* params) {
  TOleEventMethod* method = GetEventMethod(id);
  if (!method || !*method) return;
  std::vector<VARIANT*> args;
  const UINT count = params ? params->cArgs : 0;
  for (UINT i = count; i-- > 0;) args.push_back(&params->rgvarg[i]);
  try {
    (*method)(this, args.data(), count);
  } catch (...) {
    if (Application) Application->HandleException(this);
  }
}

void TProfOleControl::StandardEvent(DISPID id, DISPPARAMS* params) {
  const UINT count = params ? params->cArgs : 0;
  // The last element of rgvarg is the first argument.
  auto arg = [&](UINT i) -> VARIANT& { return params->rgvarg[count - 1 - i]; };
  auto intOf = [](VARIANT& v) -> Integer {
    VARIANT* p = (v.vt & VT_BYREF) ? v.pvarVal : &v;
    return OleVariant(*p).AsInteger();
  };
  auto shiftOf = [](Integer bits) {
    TShiftState s;
    if (bits & 1) s = s + ssShift;
    if (bits & 2) s = s + ssCtrl;
    if (bits & 4) s = s + ssAlt;
    return s;
  };
  try {
    switch (id) {
      case -600:
        Click();
        break;
      case -601:
        DblClick();
        break;
      case -602:
      case -604: {
        if (count < 2) return;
        Word key = static_cast<Word>(intOf(arg(0)));
        const TShiftState shift = shiftOf(intOf(arg(1)));
        if (id == -602) KeyDown(key, shift);
        else KeyUp(key, shift);
        if (arg(0).vt == (VT_BYREF | VT_I2)) *arg(0).piVal = static_cast<int16_t>(key);
        break;
      }
      case -603: {
        if (count < 1) return;
        char ch = static_cast<char>(intOf(arg(0)));
        KeyPress(ch);
        if (arg(0).vt == (VT_BYREF | VT_I2)) *arg(0).piVal = static_cast<int16_t>(static_cast<unsigned char>(ch));
        break;
      }
      case -605:
      case -606:
      case -607: {
        if (count < 4) return;
        const Integer buttons = intOf(arg(0));
        TShiftState shift = shiftOf(intOf(arg(1)));
        if (buttons & 1) shift = shift + ssLeft;
        if (buttons & 2) shift = shift + ssRight;
        if (buttons & 4) shift = shift + ssMiddle;
        const TMouseButton button = (buttons & 1) ? mbLeft : (buttons & 2) ? mbRight : mbMiddle;
        const Integer x = intOf(arg(2));
        const Integer y = intOf(arg(3));
        if (id == -605) MouseDown(button, shift, x, y);
        else if (id == -606) MouseMove(shift, x, y);
        else MouseUp(button, shift, x, y);
        break;
      }
      default:
        break;
    }
  } catch (...) {
    if (Application) Application->HandleException(this);
  }
}

// --- Persistence ------------------------------------------------------------------

void TProfOleControl::DestroyStorage() {
  if (savedState_) GlobalFree(savedState_);
  savedState_ = 0;
}

void TProfOleControl::CreateStorage() {
  DestroyStorage();
  savedState_ = GlobalAlloc(GMEM_MOVEABLE, 0);
  if (!savedState_) throw EOutOfMemory("Out of memory");
  try {
    ComPtr<IStream> stream;
    OleCheck(CreateStreamOnHGlobal(savedState_, FALSE, stream.ReleaseAndGetAddressOf()));
    CreateControl();
    OleCheck(persistStream_->Save(stream.Get(), TRUE));
  } catch (...) {
    DestroyStorage();
    throw;
  }
}

void TProfOleControl::ReadData(TStream* stream) {
  DestroyStorage();
  try {
    const Int64 size = stream->GetSize() - stream->GetPosition();
    savedState_ = GlobalAlloc(GMEM_MOVEABLE, static_cast<size_t>(std::max<Int64>(size, 0)));
    if (!savedState_) throw EOutOfMemory("Out of memory");
    void* p = GlobalLock(savedState_);
    if (size > 0) stream->ReadBuffer(p, static_cast<Integer>(size));
    GlobalUnlock(savedState_);
  } catch (...) {
    DestroyStorage();
  }
}

void TProfOleControl::WriteData(TStream* stream) {
  const bool made = savedState_ == 0;
  if (made) CreateStorage();
  const size_t size = GlobalSize(savedState_);
  void* p = GlobalLock(savedState_);
  try {
    if (size > 0) stream->WriteBuffer(p, static_cast<Integer>(size));
  } catch (...) {
    GlobalUnlock(savedState_);
    if (made) DestroyStorage();
    throw;
  }
  GlobalUnlock(savedState_);
  if (made) DestroyStorage();
}
