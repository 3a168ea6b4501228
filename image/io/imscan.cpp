// The connection to the data source manager: loading it, opening it and the
// selected source, the source list and dialogs, capability containers read and
// written, reading every capability and the negotiation before an acquisition.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "image/io/imscan_internal.h"
#include "platform/rtl/Files.h"
#include "platform/win/CommDlg.h"
#include "platform/win/Messages.h"
#include "platform/win/Modules.h"
#include "platform/win/Window.h"

namespace {

void PutName(char (&field)[34], const AnsiString& text) {
  std::memset(field, 0, sizeof field);
  std::memcpy(field, text.data(), std::min<size_t>(text.size(), 32));
}

AnsiString NameOf(const TW_IDENTITY& id) { return AnsiString(id.ProductName, strnlen(id.ProductName, 34)); }

// --- Reading containers within their blocks

struct Block {
  HGLOBAL handle = 0;
  const uint8_t* p = nullptr;
  size_t size = 0;
  explicit Block(HGLOBAL h) : handle(h) {
    size = GlobalSize(h);
    p = static_cast<const uint8_t*>(GlobalLock(h));
  }
  ~Block() {
    if (p != nullptr) GlobalUnlock(handle);
  }
  Block(const Block&) = delete;
  Block& operator=(const Block&) = delete;
  bool Has(size_t offset, size_t n) const { return p != nullptr && offset <= size && n <= size - offset; }
  uint32_t U16(size_t o) const {
    uint16_t v;
    std::memcpy(&v, p + o, 2);
    return v;
  }
  uint32_t U32(size_t o) const {
    uint32_t v;
    std::memcpy(&v, p + o, 4);
    return v;
  }
};

bool IsIntegerType(TW_UINT16 t) { return t <= TWTY_UINT32 || t == TWTY_BOOL; }

// An item of an integer type as a number (signed types keep their sign).
double ItemNumber(const Block& b, size_t o, TW_UINT16 type) {
  switch (type) {
    case TWTY_INT8: return static_cast<int8_t>(b.p[o]);
    case TWTY_UINT8: return b.p[o];
    case TWTY_INT16: return static_cast<int16_t>(b.U16(o));
    case TWTY_UINT16:
    case TWTY_BOOL: return b.U16(o);
    case TWTY_INT32: return static_cast<int32_t>(b.U32(o));
    case TWTY_UINT32: return b.U32(o);
    case TWTY_FIX32: {
      TW_FIX32 f;
      f.Whole = static_cast<TW_INT16>(b.U32(o) & 0xFFFF);
      f.Frac = static_cast<TW_UINT16>(b.U32(o) >> 16);
      return FIX32ToDouble(f);
    }
    default: return 0;
  }
}

// A range's 32-bit field as a number of the item type.
double RangeNumber(const Block& b, size_t o, TW_UINT16 type) {
  if (type == TWTY_FIX32 || type == TWTY_INT32 || type == TWTY_UINT32) return ItemNumber(b, o, type);
  if (type == TWTY_INT8 || type == TWTY_INT16) return static_cast<int16_t>(b.U16(o));
  return b.U16(o);  // the low 16 bits
}

// Reads a container into numbers: items and current value, or a range. The item
// type must be a number of the kind `fixed` asks (FIX32, or an integer type; an
// integer list also takes FIX32 as whole numbers, a double list integers).
template <class List, class T>
bool ReadList(TW_UINT16 conType, HGLOBAL container, List& list, bool resolution) {
  list.Clear();
  Block b(container);
  if (!b.Has(0, 2)) return false;
  const TW_UINT16 type = static_cast<TW_UINT16>(b.U16(0));
  if (!IsIntegerType(type) && type != TWTY_FIX32) return false;
  const size_t itemSize = TWItemSize(type);
  const auto value = [](double v) {
    if constexpr (std::is_same_v<T, double>) {
      return v;
    } else {
      // An unsigned 32-bit item beyond the list's integers keeps the nearest end.
      return static_cast<T>(std::trunc(std::clamp(v, -2147483648.0, 2147483647.0)));
    }
  };
  switch (conType) {
    case TWON_ARRAY:
    case TWON_ENUMERATION: {
      const size_t start = conType == TWON_ARRAY ? TWON_ARRAY_ITEMS : TWON_ENUM_ITEMS;
      if (!b.Has(0, start)) return false;
      const uint64_t count = b.U32(2);
      if (count > (b.size - start) / itemSize) return false;
      uint64_t current = 0;
      if (conType == TWON_ENUMERATION) {
        current = b.U32(6);
        if (current >= count) return false;
      }
      for (uint64_t i = 0; i < count; ++i) list.Add(value(ItemNumber(b, start + i * itemSize, type)));
      if (conType == TWON_ENUMERATION) list.SetCurrentValue(value(ItemNumber(b, start + current * itemSize, type)));
      return true;
    }
    case TWON_ONEVALUE: {
      if (!b.Has(2, itemSize)) return false;
      double v = ItemNumber(b, 2, type);
      if (resolution && v < 0) v = 300.0;
      list.Add(value(v));
      list.SetCurrentValue(value(v));
      return true;
    }
    case TWON_RANGE:
      if (!b.Has(0, TWON_RANGE_SIZE)) return false;
      list.SetRangeMin(value(RangeNumber(b, 2, type)));
      list.SetRangeMax(value(RangeNumber(b, 6, type)));
      list.SetRangeStep(value(RangeNumber(b, 10, type)));
      list.SetCurrentValue(value(RangeNumber(b, 18, type)));
      return true;
    default: return false;
  }
}

void ClearFlags(TIEList& list) { list.Changed = TIEListChanges(); }

// --- Writing containers

HGLOBAL NewBlock(size_t size) { return GlobalAlloc(GHND, size); }

void Put16(uint8_t* p, uint32_t v) {
  const uint16_t w = static_cast<uint16_t>(v);
  std::memcpy(p, &w, 2);
}
void Put32(uint8_t* p, uint32_t v) { std::memcpy(p, &v, 4); }
uint32_t FixBits(double x) {
  const TW_FIX32 f = DoubleToFIX32(x);
  return static_cast<uint32_t>(static_cast<uint16_t>(f.Whole)) | (static_cast<uint32_t>(f.Frac) << 16);
}

}  // namespace

// The TW_FIX32 of a double: v = trunc(x * 65536 + 0.5) at or above 0, trunc(x *
// 65536 - 0.5) below; whole part v >> 16 (sign kept), fraction the low 16 bits.
// (Defined in the platform's protocol header; the rule is repeated here for readers.)

bool IETW_ReadIntegerList(TW_UINT16 ConType, HGLOBAL Container, TIEIntegerList& List) {
  return ReadList<TIEIntegerList, Integer>(ConType, Container, List, false);
}

bool IETW_ReadDoubleList(TW_UINT16 ConType, HGLOBAL Container, TIEDoubleList& List, bool Resolution) {
  return ReadList<TIEDoubleList, double>(ConType, Container, List, Resolution);
}

bool IETW_ReadBool(TW_UINT16 ConType, HGLOBAL Container, bool& Value) {
  Value = false;
  if (ConType != TWON_ONEVALUE) return false;
  Block b(Container);
  if (!b.Has(2, 2)) return false;
  Value = b.U16(2) != 0;
  return true;
}

bool IETW_ReadFix32(TW_UINT16 ConType, HGLOBAL Container, double& Value) {
  if (ConType != TWON_ONEVALUE) return false;
  Block b(Container);
  if (!b.Has(0, 2)) return false;
  const TW_UINT16 type = static_cast<TW_UINT16>(b.U16(0));
  if (type != TWTY_FIX32 && !IsIntegerType(type)) return false;
  if (!b.Has(2, TWItemSize(type))) return false;
  Value = ItemNumber(b, 2, type);
  return true;
}

bool IETW_ReadString(TW_UINT16 ConType, HGLOBAL Container, AnsiString& Value) {
  Value.clear();
  if (ConType != TWON_ONEVALUE) return false;
  Block b(Container);
  if (!b.Has(0, 2)) return false;
  const TW_UINT16 type = static_cast<TW_UINT16>(b.U16(0));
  if (type < TWTY_STR32 || type > TWTY_STR255) return false;
  const size_t room = std::min(TWItemSize(type), b.size - 2);
  const auto* text = reinterpret_cast<const char*>(b.p + 2);
  Value.assign(text, strnlen(text, room));
  return true;
}

namespace imscan {

void InitConnection(TIETWConnection& c, HWND window, PIETWainShared shared) {
  c.PreviousActive = GetActiveWindow();
  c.State = 1;
  c.EndRequested = false;
  c.Params = nullptr;
  c.Invert1Bit = false;
  c.Transferring = false;
  c.Shared = shared;
  c.ManagerParent = window;
  c.AppId = TW_IDENTITY{};
  c.AppId.Version.MajorNum = 1;
  c.AppId.Version.MinorNum = 0;
  c.AppId.Version.Language = 13;
  c.AppId.Version.Country = 1;
  PutName(c.AppId.Version.Info, " ");
  c.AppId.ProtocolMajor = 1;
  c.AppId.ProtocolMinor = 9;
  c.AppId.SupportedGroups = DG_CONTROL | DG_IMAGE;
  PutName(c.AppId.Manufacturer, " ");
  PutName(c.AppId.ProductFamily, " ");
  PutName(c.AppId.ProductName, " ");
}

void SetAppStrings(TIETWConnection& c, TIETWainParams* params) {
  PutName(c.AppId.Version.Info, params->GetAppVersionInfo());
  PutName(c.AppId.Manufacturer, params->GetAppManufacturer());
  PutName(c.AppId.ProductFamily, params->GetAppProductFamily());
  PutName(c.AppId.ProductName, params->GetAppProductName());
}

bool Call(TIETWConnection& c, TW_IDENTITY* dest, TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, void* data) {
  c.LastRC = TWRC_FAILURE;
  if (c.ManagerEntry == nullptr) return false;
  try {
    c.LastRC = c.ManagerEntry(&c.AppId, dest, dg, dat, msg, data);
  } catch (...) {
    // What the manager raises counts as a failed call.
    c.LastRC = TWRC_FAILURE;
  }
  return c.LastRC == TWRC_SUCCESS;
}

void Reactivate(TIETWConnection& c) {
  if (c.OwnProxy && IsWindow(c.ProxyWindow)) DestroyWindow(c.ProxyWindow);
  c.OwnProxy = false;
  if (c.PreviousActive != 0 && IsWindow(c.PreviousActive)) SetActiveWindow(c.PreviousActive);
}

HWND GetProxyWindow(TIETWConnection& c, HWND window) {
  const HWND shared = c.Shared->hProxy;
  const bool usable = shared != 0 && IsWindow(shared);
  if (usable && GetWindowThreadProcessId(shared, nullptr) == GetCurrentThreadId()) {
    c.ProxyWindow = shared;
    return c.ProxyWindow;
  }
  RegisterDialogClasses();
  // A window of another thread (an acquisition on the component's worker after the
  // GUI thread made the shared one) gets one of this thread's own for the operation.
  const HWND parent = window != 0 && GetWindowThreadProcessId(window, nullptr) == GetCurrentThreadId() ? window : 0;
  c.ProxyWindow = CreateWindowEx(0, "STATIC", "Acquire Proxy", 0, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                                 CW_USEDEFAULT, usable ? parent : window, 0, 0, nullptr);
  PumpMessages(c);
  if (usable) {
    c.OwnProxy = true;
  } else {
    c.Shared->hProxy = c.ProxyWindow;
  }
  return c.ProxyWindow;
}

bool LoadManager(TIETWConnection& c) {
  if (c.State >= 2) return true;
  if (c.Shared->hDSMLib != 0) {
    c.ManagerModule = c.Shared->hDSMLib;
    c.ManagerEntry = c.Shared->DSM_Entry;
    c.State = 2;
    return true;
  }
  char folder[256] = {};
  const UINT n = GetWindowsDirectoryA(folder, sizeof folder);
  AnsiString path = n < sizeof folder ? AnsiString(folder) : AnsiString();
  // The platform's folders are separated by '/'; a drive-like name ending in ':'
  // takes the file name directly.
  if (!path.empty() && path.back() != ':' && path.back() != '/') path += '/';
  path += kTwainManagerFile;
  c.ManagerModule = 0;
  c.ManagerEntry = nullptr;
  if (FileExists(path)) {
    c.ManagerModule = LoadLibrary(path.c_str());
    if (c.ManagerModule != 0) {
      c.ManagerEntry = reinterpret_cast<DSMENTRYPROC>(GetProcAddress(c.ManagerModule, "DSM_Entry"));
      if (c.ManagerEntry == nullptr) {
        FreeLibrary(c.ManagerModule);
        c.ManagerModule = 0;
      } else {
        c.State = 2;
      }
    }
  }
  c.Shared->hDSMLib = c.ManagerModule;
  c.Shared->DSM_Entry = c.ManagerEntry;
  return c.State > 1;
}

bool ReleaseManager(TIETWConnection& c, bool unload) {
  if (unload && c.Shared->hDSMLib != 0) {
    FreeLibrary(c.Shared->hDSMLib);
    c.Shared->hDSMLib = 0;
    c.Shared->DSM_Entry = nullptr;
    c.ManagerModule = 0;
    c.ManagerEntry = nullptr;
    c.State = 1;
  } else if (!unload && c.State == 2) {
    c.ManagerModule = 0;
    c.ManagerEntry = nullptr;
    c.State = 1;
  }
  return c.State == 1;
}

bool OpenManager(TIETWConnection& c, HWND window) {
  c.ManagerParent = window;
  if (c.State == 2 && Call(c, nullptr, DG_CONTROL, DAT_PARENT, MSG_OPENDSM, &c.ManagerParent)) c.State = 3;
  return c.State >= 3;
}

bool CloseManager(TIETWConnection& c) {
  PumpMessages(c);
  HWND parent = c.ManagerParent;
  if (c.State == 3 && Call(c, nullptr, DG_CONTROL, DAT_PARENT, MSG_CLOSEDSM, &parent)) c.State = 2;
  return c.State < 3;
}

bool DisableSource(TIETWConnection& c) {
  c.StopWaiting = true;
  if (c.State == 5 && Call(c, &c.SourceId, DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &c.UI)) c.State = 4;
  PumpMessages(c);
  return c.State < 5;
}

bool CloseSource(TIETWConnection& c) {
  c.StopWaiting = true;
  if (c.State == 5) DisableSource(c);
  if (c.State == 4 && Call(c, nullptr, DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, &c.SourceId)) c.State = 3;
  return c.State < 4;
}

bool EndTransfer(TIETWConnection& c) {
  c.StopWaiting = true;
  if (c.State == 7 && Call(c, &c.SourceId, DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &c.Pending))
    c.State = c.Pending.Count != 0 ? 6 : 5;
  if (c.State == 6 && Call(c, &c.SourceId, DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET, &c.Pending)) c.State = 5;
  PumpMessages(c);
  return c.State < 6;
}

bool OpenSource(TIETWConnection& c) {
  if (c.State != 3) return false;
  const AnsiString name = c.Params->GetSourceName(c.Params->GetSelectedSource());
  c.SourceId = TW_IDENTITY{};
  if (!name.empty()) {
    // The selected source by its exact name; one no longer installed is not
    // replaced by another.
    TW_IDENTITY scratch;
    bool found = false;
    bool more = Call(c, nullptr, DG_CONTROL, DAT_IDENTITY, MSG_GETFIRST, &scratch);
    while (more) {
      if (NameOf(scratch) == name) {
        found = true;
        break;
      }
      scratch = TW_IDENTITY{};
      more = Call(c, nullptr, DG_CONTROL, DAT_IDENTITY, MSG_GETNEXT, &scratch);
    }
    if (!found) return false;
    c.SourceId = scratch;
  }
  if (Call(c, nullptr, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &c.SourceId)) c.State = 4;
  return c.State == 4;
}

void PumpMessages(TIETWConnection& c) {
  MSG msg;
  while (PeekMessage(&msg, 0, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      // The application's own loop still has to see it.
      PostQuitMessage(static_cast<Integer>(msg.wParam));
      break;
    }
    if (ProcessEvent(c, msg)) continue;
    TranslateMessage(&msg);
    DispatchMessage(&msg);
  }
}

AnsiString ReadCaption(TIETWConnection& c) {
  TW_CAPABILITY cap;
  cap.Cap = CAP_CAPTION;
  cap.ConType = TWON_DONTCARE16;
  AnsiString text;
  const bool ok = Call(c, &c.SourceId, DG_CONTROL, DAT_CAPABILITY, MSG_GET, &cap);
  if (ok) IETW_ReadString(cap.ConType, cap.hContainer, text);
  if (cap.hContainer != 0) GlobalFree(cap.hContainer);
  return text;
}

}  // namespace imscan

using namespace imscan;

namespace {

// --- Capability readers and writers on a connection

bool GetCap(TIETWConnection& c, TW_UINT16 id, TW_CAPABILITY& cap) {
  cap = TW_CAPABILITY{};
  cap.Cap = id;
  cap.ConType = TWON_DONTCARE16;
  const bool ok = Call(c, &c.SourceId, DG_CONTROL, DAT_CAPABILITY, MSG_GET, &cap);
  if (!ok && cap.hContainer != 0) {
    GlobalFree(cap.hContainer);
    cap.hContainer = 0;
  }
  return ok;
}

void FreeCap(TW_CAPABILITY& cap) {
  if (cap.hContainer != 0) GlobalFree(cap.hContainer);
  cap.hContainer = 0;
}

bool ReadIntegerCap(TIETWConnection& c, TW_UINT16 id, TIEIntegerList& list) {
  list.Clear();
  TW_CAPABILITY cap;
  if (!GetCap(c, id, cap)) return false;
  const bool ok = IETW_ReadIntegerList(cap.ConType, cap.hContainer, list);
  FreeCap(cap);
  if (!ok) list.Clear();
  return ok;
}

bool ReadDoubleCap(TIETWConnection& c, TW_UINT16 id, TIEDoubleList& list) {
  list.Clear();
  TW_CAPABILITY cap;
  if (!GetCap(c, id, cap)) return false;
  const bool ok = IETW_ReadDoubleList(cap.ConType, cap.hContainer, list, id == ICAP_XRESOLUTION || id == ICAP_YRESOLUTION);
  FreeCap(cap);
  if (!ok) list.Clear();
  return ok;
}

bool ReadBoolCap(TIETWConnection& c, TW_UINT16 id, bool& value) {
  value = false;
  TW_CAPABILITY cap;
  if (!GetCap(c, id, cap)) return false;
  const bool ok = IETW_ReadBool(cap.ConType, cap.hContainer, value);
  FreeCap(cap);
  return ok;
}

bool ReadFixCap(TIETWConnection& c, TW_UINT16 id, double& value) {
  TW_CAPABILITY cap;
  if (!GetCap(c, id, cap)) return false;
  const bool ok = IETW_ReadFix32(cap.ConType, cap.hContainer, value);
  FreeCap(cap);
  return ok;
}

// Sets a capability to the container; the container is freed.
bool SetCap(TIETWConnection& c, TW_UINT16 id, TW_UINT16 conType, HGLOBAL container) {
  if (container == 0) return false;
  TW_CAPABILITY cap;
  cap.Cap = id;
  cap.ConType = conType;
  cap.hContainer = container;
  const bool ok = Call(c, &c.SourceId, DG_CONTROL, DAT_CAPABILITY, MSG_SET, &cap);
  GlobalFree(container);
  return ok;
}

// Every writer asks the capability first and gives up when the source does not know it.
bool Known(TIETWConnection& c, TW_UINT16 id) {
  TW_CAPABILITY cap;
  const bool ok = GetCap(c, id, cap);
  FreeCap(cap);
  return ok;
}

HGLOBAL OneValue(TW_UINT16 itemType, uint32_t value) {
  HGLOBAL h = NewBlock(TWON_ONEVALUE_SIZE);
  if (h == 0) return 0;
  auto* p = static_cast<uint8_t*>(GlobalLock(h));
  Put16(p, itemType);
  if (itemType == TWTY_FIX32) {
    Put32(p + 2, value);
  } else {
    Put16(p + 2, value);
  }
  GlobalUnlock(h);
  return h;
}

bool WriteBool(TIETWConnection& c, TW_UINT16 id, bool value) {
  if (!Known(c, id)) return false;
  return SetCap(c, id, TWON_ONEVALUE, OneValue(TWTY_BOOL, value ? 1 : 0));
}

bool WriteUInt16(TIETWConnection& c, TW_UINT16 id, uint32_t value) {
  if (!Known(c, id)) return false;
  return SetCap(c, id, TWON_ONEVALUE, OneValue(TWTY_UINT16, value));
}

bool WriteFix32(TIETWConnection& c, TW_UINT16 id, double value) {
  if (!Known(c, id)) return false;
  return SetCap(c, id, TWON_ONEVALUE, OneValue(TWTY_FIX32, FixBits(value)));
}

bool WriteIntegerList(TIETWConnection& c, TW_UINT16 id, TIEIntegerList& list) {
  if (!Known(c, id)) return false;
  bool result = true;
  if (list.Changed.Contains(TIEListChange::ielItems)) {
    const Integer count = list.GetCount();
    HGLOBAL h = NewBlock(static_cast<size_t>(count) * 2 + 16);
    if (h != 0) {
      auto* p = static_cast<uint8_t*>(GlobalLock(h));
      Put16(p, TWTY_UINT16);
      Put32(p + 2, static_cast<uint32_t>(count));
      Put32(p + 6, static_cast<uint32_t>(list.IndexOf(list.GetCurrentValue())));
      Put32(p + 10, 0);
      for (Integer i = 0; i < count; ++i) Put16(p + 14 + i * 2, static_cast<uint32_t>(list.GetItem(i)));
      GlobalUnlock(h);
    }
    result = SetCap(c, id, TWON_ENUMERATION, h);
  }
  if (list.Changed.Contains(TIEListChange::ielCurrentValue))
    result = SetCap(c, id, TWON_ONEVALUE, OneValue(TWTY_UINT16, static_cast<uint32_t>(list.GetCurrentValue())));
  return result;
}

bool WriteDoubleList(TIETWConnection& c, TW_UINT16 id, TIEDoubleList& list) {
  if (!Known(c, id)) return false;
  bool result = true;
  if (list.Changed.Contains(TIEListChange::ielItems)) {
    const Integer count = list.GetCount();
    HGLOBAL h = NewBlock(static_cast<size_t>(count) * 4 + 16);
    if (h != 0) {
      auto* p = static_cast<uint8_t*>(GlobalLock(h));
      Put16(p, TWTY_FIX32);
      Put32(p + 2, static_cast<uint32_t>(count));
      Put32(p + 6, static_cast<uint32_t>(list.IndexOf(list.GetCurrentValue())));
      Put32(p + 10, 0);
      for (Integer i = 0; i < count; ++i) Put32(p + 14 + i * 4, FixBits(list.GetItem(i)));
      GlobalUnlock(h);
    }
    result = SetCap(c, id, TWON_ENUMERATION, h);
  }
  if (list.Changed.Contains(TIEListChange::ielCurrentValue))
    result = SetCap(c, id, TWON_ONEVALUE, OneValue(TWTY_FIX32, FixBits(list.GetCurrentValue())));
  if (list.Changed.Contains(TIEListChange::ielRange)) {
    HGLOBAL h = NewBlock(TWON_RANGE_SIZE);
    if (h != 0) {
      auto* p = static_cast<uint8_t*>(GlobalLock(h));
      Put16(p, TWTY_FIX32);
      Put32(p + 2, FixBits(list.GetRangeMin()));
      Put32(p + 6, FixBits(list.GetRangeMax()));
      Put32(p + 10, FixBits(list.GetRangeStep()));
      Put32(p + 14, 0);
      Put32(p + 18, FixBits(list.GetCurrentValue()));
      GlobalUnlock(h);
    }
    result = SetCap(c, id, TWON_RANGE, h);
  }
  return result;
}

bool AnyChange(const TIEList& list) { return !list.Changed.Empty(); }

void UnitsToInches(TIETWConnection& c) {
  TIEIntegerList units;
  if (!ReadIntegerCap(c, ICAP_UNITS, units) || units.GetCurrentValue() == TWUN_INCHES) return;
  ClearFlags(units);
  units.SetCurrentValue(TWUN_INCHES);
  WriteIntegerList(c, ICAP_UNITS, units);
}

TW_FRAME FrameOf(const double f[4]) {
  TW_FRAME frame;
  frame.Left = DoubleToFIX32(f[0]);
  frame.Top = DoubleToFIX32(f[1]);
  frame.Right = DoubleToFIX32(f[2]);
  frame.Bottom = DoubleToFIX32(f[3]);
  return frame;
}

}  // namespace

namespace imscan {

void Negotiate(TIETWConnection& c) {
  TIETWainParams* p = c.Params;
  UnitsToInches(c);
  WriteUInt16(c, ICAP_PIXELFLAVOR, TWPF_CHOCOLATE);
  TIEIntegerList flavour;
  c.Invert1Bit = ReadIntegerCap(c, ICAP_PIXELFLAVOR, flavour) && flavour.GetCurrentValue() == TWPF_VANILLA;
  if (p->GetUndefinedImageSize()) WriteBool(c, ICAP_UNDEFINEDIMAGESIZE, true);
  if (AnyChange(*p->GetContrast())) WriteDoubleList(c, ICAP_CONTRAST, *p->GetContrast());
  if (AnyChange(*p->GetBrightness())) WriteDoubleList(c, ICAP_BRIGHTNESS, *p->GetBrightness());
  if (p->GetThreshold() != 128) WriteFix32(c, ICAP_THRESHOLD, p->GetThreshold());
  if (AnyChange(*p->GetXResolution())) WriteDoubleList(c, ICAP_XRESOLUTION, *p->GetXResolution());
  if (AnyChange(*p->GetYResolution())) WriteDoubleList(c, ICAP_YRESOLUTION, *p->GetYResolution());
  if (AnyChange(*p->GetXScaling())) WriteDoubleList(c, ICAP_XSCALING, *p->GetXScaling());
  if (AnyChange(*p->GetYScaling())) WriteDoubleList(c, ICAP_YSCALING, *p->GetYScaling());
  TIEIntegerList* pixelType = p->GetPixelType();
  if (pixelType->GetCurrentValue() > TWPT_RGB) pixelType->SetCurrentValue(TWPT_RGB);
  bool pixelOk = WriteIntegerList(c, ICAP_PIXELTYPE, *pixelType);
  TIEIntegerList planar;
  if (ReadIntegerCap(c, ICAP_PLANARCHUNKY, planar) && planar.GetCurrentValue() != TWPC_CHUNKY && pixelOk &&
      pixelType->GetCurrentValue() == TWPT_RGB) {
    ClearFlags(planar);
    planar.SetCurrentValue(TWPC_CHUNKY);
    pixelOk = WriteIntegerList(c, ICAP_PLANARCHUNKY, planar);
  }
  bool memory = false;
  if (pixelOk && c.MemoryTransfer) {
    TIEIntegerList mech;
    if (ReadIntegerCap(c, ICAP_XFERMECH, mech) && mech.IndexOf(TWSX_MEMORY) >= 0 &&
        WriteUInt16(c, ICAP_XFERMECH, TWSX_MEMORY) && ReadIntegerCap(c, ICAP_XFERMECH, mech) &&
        mech.GetCurrentValue() == TWSX_MEMORY)
      memory = true;
  }
  c.MemoryTransfer = memory;
  WriteBool(c, CAP_FEEDERENABLED, p->GetFeederEnabled());
  if (p->GetFeederEnabled()) WriteBool(c, CAP_AUTOFEED, p->GetAutoFeed());
  if (AnyChange(*p->GetOrientation())) WriteIntegerList(c, ICAP_ORIENTATION, *p->GetOrientation());
  if (AnyChange(*p->GetStandardSize())) WriteIntegerList(c, ICAP_SUPPORTEDSIZES, *p->GetStandardSize());
  WriteBool(c, CAP_INDICATORS, p->GetIndicators());
  WriteBool(c, CAP_DUPLEXENABLED, p->GetDuplexEnabled());
  if (p->GetAcquireFrameEnabled()) {
    double f[4];
    for (Integer i = 0; i < 4; ++i) f[i] = p->GetAcquireFrame(i);
    TW_IMAGELAYOUT layout;
    layout.Frame = FrameOf(f);
    Call(c, &c.SourceId, DG_IMAGE, DAT_IMAGELAYOUT, MSG_SET, &layout);
  }
}

}  // namespace imscan

// ---------------------------------------------------------------------------
// Exported operations

bool IETW_SelectImageSource(AnsiString& Name, PIETWainShared Shared, HWND Window) {
  TIETWConnection c;
  InitConnection(c, Window, Shared);
  GetProxyWindow(c, Window);
  bool result = false;
  if (LoadManager(c) && OpenManager(c, c.ProxyWindow)) {
    TW_IDENTITY id;
    result = Call(c, nullptr, DG_CONTROL, DAT_IDENTITY, MSG_USERSELECT, &id);
    Name = result ? NameOf(id) : AnsiString();
    CloseManager(c);
  } else {
    Name.clear();
  }
  ReleaseManager(c, false);
  Reactivate(c);
  return result;
}

void IETW_GetSourceList(std::vector<TW_IDENTITY>& List, PIETWainShared Shared, HWND Window) {
  List.clear();
  TIETWConnection c;
  InitConnection(c, Window, Shared);
  GetProxyWindow(c, Window);
  if (LoadManager(c) && OpenManager(c, c.ProxyWindow)) {
    TW_IDENTITY id;
    // Any answer but success ends the list: a manager that fails instead of
    // saying the list ended must not keep the loop going.
    bool more = Call(c, nullptr, DG_CONTROL, DAT_IDENTITY, MSG_GETFIRST, &id);
    while (more) {
      if (id.ProductName[0] != '\0') List.push_back(id);
      id = TW_IDENTITY{};
      more = Call(c, nullptr, DG_CONTROL, DAT_IDENTITY, MSG_GETNEXT, &id);
    }
    CloseManager(c);
  }
  ReleaseManager(c, false);
  Reactivate(c);
}

void IETW_GetDefaultSource(PIETWainShared Shared, HWND Window, AnsiString& Name) {
  Name.clear();
  TIETWConnection c;
  InitConnection(c, Window, Shared);
  GetProxyWindow(c, Window);
  if (LoadManager(c) && OpenManager(c, c.ProxyWindow)) {
    TW_IDENTITY id;
    if (Call(c, nullptr, DG_CONTROL, DAT_IDENTITY, MSG_GETDEFAULT, &id)) Name = NameOf(id);
    CloseManager(c);
  }
  ReleaseManager(c, false);
  Reactivate(c);
}

namespace {

// What the parameters hold when the source gives no answer at all.
void Fallbacks(TIETWSourceCaps& Caps) {
  for (TIEList* list : std::initializer_list<TIEList*>{&Caps.XResolution, &Caps.YResolution, &Caps.XScaling,
                                                        &Caps.YScaling, &Caps.PixelType, &Caps.Contrast,
                                                        &Caps.Brightness, &Caps.Orientation, &Caps.StandardSize})
    list->Clear();
  Caps.XScaling.Add(1.0);
  Caps.XScaling.SetCurrentValue(1.0);
  Caps.YScaling.Add(1.0);
  Caps.YScaling.SetCurrentValue(1.0);
  Caps.Orientation.Add(0);
  Caps.Orientation.SetCurrentValue(0);
  for (TIEList* list : std::initializer_list<TIEList*>{&Caps.XScaling, &Caps.YScaling, &Caps.Orientation})
    ClearFlags(*list);
  Caps.Threshold = 128;
  Caps.Gamma = 2.2;
  Caps.PhysicalHeight = 0;
  Caps.PhysicalWidth = 0;
  Caps.FeederEnabled = false;
  Caps.AutoFeed = false;
  Caps.FeederLoaded = false;
  Caps.PaperDetectable = false;
  Caps.DuplexEnabled = false;
  Caps.DuplexSupported = false;
  Caps.Indicators = true;
}

}  // namespace

bool IETW_GetCapabilities(TIETWainParams* Params, TIETWSourceCaps& Caps, bool Apply, HWND Window,
                          PIETWainShared Shared) {
  TIETWConnection c;
  InitConnection(c, Window, Shared);
  c.Params = Params;
  c.MemoryTransfer = Params->GetBufferedTransfer();
  GetProxyWindow(c, Window);
  if (!LoadManager(c) || !OpenManager(c, c.ProxyWindow) || !OpenSource(c)) {
    Fallbacks(Caps);
    CloseManager(c);
    ReleaseManager(c, false);
    Reactivate(c);
    return false;
  }
  if (Apply) Negotiate(c);
  UnitsToInches(c);
  ReadDoubleCap(c, ICAP_XRESOLUTION, Caps.XResolution);
  ReadDoubleCap(c, ICAP_YRESOLUTION, Caps.YResolution);
  if (!ReadDoubleCap(c, ICAP_XSCALING, Caps.XScaling)) {
    Caps.XScaling.Add(1.0);
    Caps.XScaling.SetCurrentValue(1.0);
  }
  if (!ReadDoubleCap(c, ICAP_YSCALING, Caps.YScaling)) {
    Caps.YScaling.Add(1.0);
    Caps.YScaling.SetCurrentValue(1.0);
  }
  ReadDoubleCap(c, ICAP_CONTRAST, Caps.Contrast);
  ReadDoubleCap(c, ICAP_BRIGHTNESS, Caps.Brightness);
  double threshold = 128.0;
  if (!ReadFixCap(c, ICAP_THRESHOLD, threshold)) threshold = 128.0;
  // Outside the integers' range the nearest end is kept.
  Caps.Threshold = static_cast<Integer>(std::trunc(std::clamp(threshold, -2147483648.0, 2147483647.0)));
  ReadIntegerCap(c, ICAP_PIXELTYPE, Caps.PixelType);
  if (!ReadFixCap(c, ICAP_GAMMA, Caps.Gamma)) Caps.Gamma = 2.2;
  if (!ReadFixCap(c, ICAP_PHYSICALHEIGHT, Caps.PhysicalHeight)) Caps.PhysicalHeight = 0;
  if (!ReadFixCap(c, ICAP_PHYSICALWIDTH, Caps.PhysicalWidth)) Caps.PhysicalWidth = 0;
  ReadBoolCap(c, CAP_FEEDERENABLED, Caps.FeederEnabled);
  ReadBoolCap(c, CAP_AUTOFEED, Caps.AutoFeed);
  ReadBoolCap(c, CAP_FEEDERLOADED, Caps.FeederLoaded);
  ReadBoolCap(c, CAP_PAPERDETECTABLE, Caps.PaperDetectable);
  ReadBoolCap(c, CAP_DUPLEXENABLED, Caps.DuplexEnabled);
  TIEIntegerList duplex;
  Caps.DuplexSupported = ReadIntegerCap(c, CAP_DUPLEX, duplex) && duplex.GetCurrentValue() != 0;
  if (!ReadIntegerCap(c, ICAP_ORIENTATION, Caps.Orientation)) {
    Caps.Orientation.Add(0);
    Caps.Orientation.SetCurrentValue(0);
  }
  ReadIntegerCap(c, ICAP_SUPPORTEDSIZES, Caps.StandardSize);
  if (!ReadBoolCap(c, CAP_INDICATORS, Caps.Indicators)) Caps.Indicators = true;
  if (Caps.AcquireFrameEnabled) {
    TW_IMAGELAYOUT layout;
    if (Call(c, &c.SourceId, DG_IMAGE, DAT_IMAGELAYOUT, MSG_GET, &layout)) {
      Caps.AcquireFrame[0] = FIX32ToDouble(layout.Frame.Left);
      Caps.AcquireFrame[1] = FIX32ToDouble(layout.Frame.Top);
      Caps.AcquireFrame[2] = FIX32ToDouble(layout.Frame.Right);
      Caps.AcquireFrame[3] = FIX32ToDouble(layout.Frame.Bottom);
    }
  }
  if (!Apply) {
    for (TIEList* list : std::initializer_list<TIEList*>{&Caps.XResolution, &Caps.YResolution, &Caps.XScaling,
                                                          &Caps.YScaling, &Caps.PixelType, &Caps.Orientation,
                                                          &Caps.Contrast, &Caps.Brightness})
      ClearFlags(*list);
  }
  CloseSource(c);
  CloseManager(c);
  ReleaseManager(c, false);
  Reactivate(c);
  return true;
}

void IETW_FreeResources(PIETWainShared Shared, HWND /*Window*/) {
  if (Shared->hProxy != 0) {
    if (IsWindow(Shared->hProxy)) DestroyWindow(Shared->hProxy);
    Shared->hProxy = 0;
  }
  if (Shared->hDSMLib != 0) {
    FreeLibrary(Shared->hDSMLib);
    Shared->hDSMLib = 0;
    Shared->DSM_Entry = nullptr;
  }
}
