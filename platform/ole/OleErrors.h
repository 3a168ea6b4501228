// COM result codes (HRESULT) and the exceptions that carry one.
//
// An HRESULT is a signed 32-bit number: bit 31 set means failure, bits 16-28 name the
// facility, the low 16 bits the code. The values are the platform's, as components,
// callers and stored error numbers depend on them.
#pragma once

#include <cstdint>
#include <cstdio>

#include "platform/rtl/Exceptions.h"
#include "platform/rtl/Types.h"

using LONG = int32_t;
using ULONG = uint32_t;
using HRESULT = LONG;
using SCODE = LONG;

inline constexpr bool SUCCEEDED(HRESULT hr) noexcept { return hr >= 0; }
inline constexpr bool FAILED(HRESULT hr) noexcept { return hr < 0; }
inline constexpr bool IS_ERROR(HRESULT hr) noexcept { return hr < 0; }
inline constexpr UINT HRESULT_CODE(HRESULT hr) noexcept { return static_cast<UINT>(hr) & 0xFFFFu; }
inline constexpr UINT HRESULT_FACILITY(HRESULT hr) noexcept {
  return (static_cast<UINT>(hr) >> 16) & 0x1FFFu;
}
inline constexpr UINT HRESULT_SEVERITY(HRESULT hr) noexcept { return (static_cast<UINT>(hr) >> 31) & 1u; }
inline constexpr HRESULT MAKE_HRESULT(UINT severity, UINT facility, UINT code) noexcept {
  return static_cast<HRESULT>((severity << 31) | (facility << 16) | code);
}

inline constexpr UINT FACILITY_NULL = 0;
inline constexpr UINT FACILITY_RPC = 1;
inline constexpr UINT FACILITY_DISPATCH = 2;
inline constexpr UINT FACILITY_STORAGE = 3;
inline constexpr UINT FACILITY_ITF = 4;
inline constexpr UINT FACILITY_WIN32 = 7;
inline constexpr UINT FACILITY_CONTROL = 10;

// A system error number as an HRESULT (0 stays S_OK).
inline constexpr HRESULT HRESULT_FROM_WIN32(DWORD error) noexcept {
  return static_cast<HRESULT>(error) <= 0
             ? static_cast<HRESULT>(error)
             : static_cast<HRESULT>((error & 0xFFFFu) | (FACILITY_WIN32 << 16) | 0x80000000u);
}

namespace ole_detail {
constexpr HRESULT hr(uint32_t value) noexcept { return static_cast<HRESULT>(value); }
}  // namespace ole_detail

// Success codes.
inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT S_FALSE = 1;
inline constexpr HRESULT NOERROR = 0;

// General failures.
inline constexpr HRESULT E_UNEXPECTED = ole_detail::hr(0x8000FFFFu);
inline constexpr HRESULT E_NOTIMPL = ole_detail::hr(0x80004001u);
inline constexpr HRESULT E_NOINTERFACE = ole_detail::hr(0x80004002u);
inline constexpr HRESULT E_POINTER = ole_detail::hr(0x80004003u);
inline constexpr HRESULT E_ABORT = ole_detail::hr(0x80004004u);
inline constexpr HRESULT E_FAIL = ole_detail::hr(0x80004005u);
inline constexpr HRESULT E_PENDING = ole_detail::hr(0x8000000Au);
inline constexpr HRESULT E_ACCESSDENIED = ole_detail::hr(0x80070005u);
inline constexpr HRESULT E_HANDLE = ole_detail::hr(0x80070006u);
inline constexpr HRESULT E_OUTOFMEMORY = ole_detail::hr(0x8007000Eu);
inline constexpr HRESULT E_INVALIDARG = ole_detail::hr(0x80070057u);

// Automation (IDispatch, VARIANT, SAFEARRAY).
inline constexpr HRESULT DISP_E_UNKNOWNINTERFACE = ole_detail::hr(0x80020001u);
inline constexpr HRESULT DISP_E_MEMBERNOTFOUND = ole_detail::hr(0x80020003u);
inline constexpr HRESULT DISP_E_PARAMNOTFOUND = ole_detail::hr(0x80020004u);
inline constexpr HRESULT DISP_E_TYPEMISMATCH = ole_detail::hr(0x80020005u);
inline constexpr HRESULT DISP_E_UNKNOWNNAME = ole_detail::hr(0x80020006u);
inline constexpr HRESULT DISP_E_NONAMEDARGS = ole_detail::hr(0x80020007u);
inline constexpr HRESULT DISP_E_BADVARTYPE = ole_detail::hr(0x80020008u);
inline constexpr HRESULT DISP_E_EXCEPTION = ole_detail::hr(0x80020009u);
inline constexpr HRESULT DISP_E_OVERFLOW = ole_detail::hr(0x8002000Au);
inline constexpr HRESULT DISP_E_BADINDEX = ole_detail::hr(0x8002000Bu);
inline constexpr HRESULT DISP_E_UNKNOWNLCID = ole_detail::hr(0x8002000Cu);
inline constexpr HRESULT DISP_E_ARRAYISLOCKED = ole_detail::hr(0x8002000Du);
inline constexpr HRESULT DISP_E_BADPARAMCOUNT = ole_detail::hr(0x8002000Eu);
inline constexpr HRESULT DISP_E_PARAMNOTOPTIONAL = ole_detail::hr(0x8002000Fu);
inline constexpr HRESULT DISP_E_BADCALLEE = ole_detail::hr(0x80020010u);
inline constexpr HRESULT DISP_E_NOTACOLLECTION = ole_detail::hr(0x80020011u);
inline constexpr HRESULT DISP_E_DIVBYZERO = ole_detail::hr(0x80020012u);
inline constexpr HRESULT TYPE_E_ELEMENTNOTFOUND = ole_detail::hr(0x8002802Bu);

// Structured storage and streams.
inline constexpr HRESULT STG_E_INVALIDFUNCTION = ole_detail::hr(0x80030001u);
inline constexpr HRESULT STG_E_FILENOTFOUND = ole_detail::hr(0x80030002u);
inline constexpr HRESULT STG_E_PATHNOTFOUND = ole_detail::hr(0x80030003u);
inline constexpr HRESULT STG_E_TOOMANYOPENFILES = ole_detail::hr(0x80030004u);
inline constexpr HRESULT STG_E_ACCESSDENIED = ole_detail::hr(0x80030005u);
inline constexpr HRESULT STG_E_INVALIDHANDLE = ole_detail::hr(0x80030006u);
inline constexpr HRESULT STG_E_INSUFFICIENTMEMORY = ole_detail::hr(0x80030008u);
inline constexpr HRESULT STG_E_INVALIDPOINTER = ole_detail::hr(0x80030009u);
inline constexpr HRESULT STG_E_NOMOREFILES = ole_detail::hr(0x80030012u);
inline constexpr HRESULT STG_E_SEEKERROR = ole_detail::hr(0x80030019u);
inline constexpr HRESULT STG_E_WRITEFAULT = ole_detail::hr(0x8003001Du);
inline constexpr HRESULT STG_E_READFAULT = ole_detail::hr(0x8003001Eu);
inline constexpr HRESULT STG_E_SHAREVIOLATION = ole_detail::hr(0x80030020u);
inline constexpr HRESULT STG_E_LOCKVIOLATION = ole_detail::hr(0x80030021u);
inline constexpr HRESULT STG_E_FILEALREADYEXISTS = ole_detail::hr(0x80030050u);
inline constexpr HRESULT STG_E_INVALIDPARAMETER = ole_detail::hr(0x80030057u);
inline constexpr HRESULT STG_E_MEDIUMFULL = ole_detail::hr(0x80030070u);
inline constexpr HRESULT STG_E_INVALIDNAME = ole_detail::hr(0x800300FCu);
inline constexpr HRESULT STG_E_UNIMPLEMENTEDFUNCTION = ole_detail::hr(0x800300FEu);
inline constexpr HRESULT STG_E_INVALIDFLAG = ole_detail::hr(0x800300FFu);
inline constexpr HRESULT STG_E_REVERTED = ole_detail::hr(0x80030102u);
inline constexpr HRESULT STG_E_CANTSAVE = ole_detail::hr(0x80030103u);

// OLE objects, data, views, in-place activation and commands.
inline constexpr HRESULT OLE_S_USEREG = ole_detail::hr(0x00040000u);
inline constexpr HRESULT OLE_S_STATIC = ole_detail::hr(0x00040001u);
inline constexpr HRESULT OLE_E_OLEVERB = ole_detail::hr(0x80040000u);
inline constexpr HRESULT OLE_E_ADVF = ole_detail::hr(0x80040001u);
inline constexpr HRESULT OLE_E_ENUM_NOMORE = ole_detail::hr(0x80040002u);
inline constexpr HRESULT OLE_E_ADVISENOTSUPPORTED = ole_detail::hr(0x80040003u);
inline constexpr HRESULT OLE_E_NOCONNECTION = ole_detail::hr(0x80040004u);
inline constexpr HRESULT OLE_E_NOTRUNNING = ole_detail::hr(0x80040005u);
inline constexpr HRESULT OLE_E_NOCACHE = ole_detail::hr(0x80040006u);
inline constexpr HRESULT OLE_E_BLANK = ole_detail::hr(0x80040007u);
inline constexpr HRESULT OLE_E_CLASSDIFF = ole_detail::hr(0x80040008u);
inline constexpr HRESULT OLE_E_CANT_GETMONIKER = ole_detail::hr(0x80040009u);
inline constexpr HRESULT OLE_E_CANT_BINDTOSOURCE = ole_detail::hr(0x8004000Au);
inline constexpr HRESULT OLE_E_STATIC = ole_detail::hr(0x8004000Bu);
inline constexpr HRESULT OLE_E_PROMPTSAVECANCELLED = ole_detail::hr(0x8004000Cu);
inline constexpr HRESULT OLE_E_INVALIDRECT = ole_detail::hr(0x8004000Du);
inline constexpr HRESULT OLE_E_WRONGCOMPOBJ = ole_detail::hr(0x8004000Eu);
inline constexpr HRESULT OLE_E_INVALIDHWND = ole_detail::hr(0x8004000Fu);
inline constexpr HRESULT OLE_E_NOT_INPLACEACTIVE = ole_detail::hr(0x80040010u);
inline constexpr HRESULT OLE_E_CANTCONVERT = ole_detail::hr(0x80040011u);
inline constexpr HRESULT OLE_E_NOSTORAGE = ole_detail::hr(0x80040012u);
inline constexpr HRESULT DV_E_FORMATETC = ole_detail::hr(0x80040064u);
inline constexpr HRESULT DV_E_LINDEX = ole_detail::hr(0x80040068u);
inline constexpr HRESULT DV_E_TYMED = ole_detail::hr(0x80040069u);
inline constexpr HRESULT DV_E_DVASPECT = ole_detail::hr(0x8004006Bu);
inline constexpr HRESULT OLECMDERR_E_NOTSUPPORTED = ole_detail::hr(0x80040100u);
inline constexpr HRESULT OLECMDERR_E_DISABLED = ole_detail::hr(0x80040101u);
inline constexpr HRESULT OLECMDERR_E_NOHELP = ole_detail::hr(0x80040102u);
inline constexpr HRESULT OLECMDERR_E_CANCELED = ole_detail::hr(0x80040103u);
inline constexpr HRESULT OLECMDERR_E_UNKNOWNGROUP = ole_detail::hr(0x80040104u);
inline constexpr HRESULT CLASS_E_NOAGGREGATION = ole_detail::hr(0x80040110u);
inline constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = ole_detail::hr(0x80040111u);
inline constexpr HRESULT CLASS_E_NOTLICENSED = ole_detail::hr(0x80040112u);
inline constexpr HRESULT VIEW_E_DRAW = ole_detail::hr(0x80040140u);
inline constexpr HRESULT REGDB_E_READREGDB = ole_detail::hr(0x80040150u);
inline constexpr HRESULT REGDB_E_WRITEREGDB = ole_detail::hr(0x80040151u);
inline constexpr HRESULT REGDB_E_KEYMISSING = ole_detail::hr(0x80040152u);
inline constexpr HRESULT REGDB_E_INVALIDVALUE = ole_detail::hr(0x80040153u);
inline constexpr HRESULT REGDB_E_CLASSNOTREG = ole_detail::hr(0x80040154u);
inline constexpr HRESULT REGDB_E_IIDNOTREG = ole_detail::hr(0x80040155u);
inline constexpr HRESULT OLEOBJ_S_INVALIDVERB = ole_detail::hr(0x00040180u);
inline constexpr HRESULT OLEOBJ_S_CANNOT_DOVERB_NOW = ole_detail::hr(0x00040181u);
inline constexpr HRESULT OLEOBJ_E_NOVERBS = ole_detail::hr(0x80040180u);
inline constexpr HRESULT OLEOBJ_E_INVALIDVERB = ole_detail::hr(0x80040181u);
inline constexpr HRESULT INPLACE_E_NOTUNDOABLE = ole_detail::hr(0x800401A0u);
inline constexpr HRESULT INPLACE_E_NOTOOLSPACE = ole_detail::hr(0x800401A1u);
inline constexpr HRESULT CO_E_NOTINITIALIZED = ole_detail::hr(0x800401F0u);
inline constexpr HRESULT CO_E_ALREADYINITIALIZED = ole_detail::hr(0x800401F1u);
inline constexpr HRESULT CO_E_CLASSSTRING = ole_detail::hr(0x800401F3u);
inline constexpr HRESULT CO_E_IIDSTRING = ole_detail::hr(0x800401F4u);
inline constexpr HRESULT CONNECT_E_NOCONNECTION = ole_detail::hr(0x80040200u);
inline constexpr HRESULT CONNECT_E_ADVISELIMIT = ole_detail::hr(0x80040201u);
inline constexpr HRESULT CONNECT_E_CANNOTCONNECT = ole_detail::hr(0x80040202u);
inline constexpr HRESULT CONNECT_E_OVERRIDDEN = ole_detail::hr(0x80040203u);
inline constexpr HRESULT RPC_E_CHANGED_MODE = ole_detail::hr(0x80010106u);

// The platform's text for a code, without a final period; empty for a code it has no
// text for.
inline const char* OleErrorText(HRESULT code) noexcept {
  switch (static_cast<uint32_t>(code)) {
    case 0x00000000u: return "The operation completed successfully";
    case 0x8000FFFFu: return "Catastrophic failure";
    case 0x80004001u: return "Not implemented";
    case 0x80004002u: return "No such interface supported";
    case 0x80004003u: return "Invalid pointer";
    case 0x80004004u: return "Operation aborted";
    case 0x80004005u: return "Unspecified error";
    case 0x8000000Au: return "The data necessary to complete this operation is not yet available";
    case 0x80070005u: return "Access is denied";
    case 0x80070006u: return "The handle is invalid";
    case 0x8007000Eu: return "Not enough storage is available to complete this operation";
    case 0x80070057u: return "The parameter is incorrect";
    case 0x80020001u: return "Unknown interface";
    case 0x80020003u: return "Member not found";
    case 0x80020004u: return "Parameter not found";
    case 0x80020005u: return "Type mismatch";
    case 0x80020006u: return "Unknown name";
    case 0x80020007u: return "No named arguments";
    case 0x80020008u: return "Bad variable type";
    case 0x80020009u: return "Exception occurred";
    case 0x8002000Au: return "Out of present range";
    case 0x8002000Bu: return "Invalid index";
    case 0x8002000Cu: return "Unknown language";
    case 0x8002000Du: return "Memory is locked";
    case 0x8002000Eu: return "Invalid number of parameters";
    case 0x8002000Fu: return "Parameter not optional";
    case 0x80020010u: return "Invalid callee";
    case 0x80020011u: return "Does not support a collection";
    case 0x80020012u: return "Division by zero";
    case 0x80030002u: return "%1 could not be found";
    case 0x80030005u: return "Access Denied";
    case 0x80030008u: return "There is insufficient memory available to complete operation";
    case 0x80030009u: return "Invalid pointer error";
    case 0x80030019u: return "An error occurred during a seek operation";
    case 0x8003001Du: return "A disk error occurred during a write operation";
    case 0x8003001Eu: return "A disk error occurred during a read operation";
    case 0x80030057u: return "Invalid parameter error";
    case 0x80030070u: return "There is insufficient disk space to complete operation";
    case 0x80040004u: return "Not able to perform the operation because object is not given storage yet";
    case 0x80040005u: return "Object is not running";
    case 0x80040100u: return "Unknown command";
    case 0x80040110u: return "Class does not support aggregation (or class object is remote)";
    case 0x80040111u: return "ClassFactory cannot supply requested class";
    case 0x80040154u: return "Class not registered";
    case 0x800401A1u: return "Space for tools is not available";
    case 0x800401F0u: return "CoInitialize has not been called";
    case 0x800401F3u: return "Invalid class string";
    case 0x80040200u: return "Connection does not exist";
    case 0x80040202u: return "Cannot connect";
    default: return "";
  }
}

// The text the exceptions below show for a code: the platform's text, or
// "OLE error XXXXXXXX" for a code it has none for.
inline AnsiString OleErrorMessage(HRESULT code) {
  const char* text = OleErrorText(code);
  if (*text != '\0') return text;
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "OLE error %.8X", static_cast<unsigned>(code));
  return buffer;
}

LARK_DECLARE_EXCEPTION(EOleError, Exception);

// A COM call failed; ErrorCode is its HRESULT. An empty message takes the code's text.
class EOleSysError : public EOleError {
 public:
  explicit EOleSysError(AnsiString message = {}, HRESULT errorCode = E_FAIL, Integer helpContext = 0)
      : EOleError(message.empty() ? OleErrorMessage(errorCode) : std::move(message), helpContext),
        ErrorCode(errorCode) {}
  const char* ClassName() const noexcept override { return "EOleSysError"; }
  HRESULT ErrorCode;
};

// A dispatch call failed with DISP_E_EXCEPTION: the message, source and help file come
// from the callee's EXCEPINFO.
class EOleException : public EOleSysError {
 public:
  EOleException(AnsiString message, HRESULT errorCode, AnsiString source = {},
                AnsiString helpFile = {}, Integer helpContext = 0)
      : EOleSysError(std::move(message), errorCode, helpContext),
        Source(std::move(source)),
        HelpFile(std::move(helpFile)) {}
  const char* ClassName() const noexcept override { return "EOleException"; }
  AnsiString Source;
  AnsiString HelpFile;
};

// Raises EOleSysError for a failure code; answers a success code (S_FALSE too) unchanged.
inline HRESULT OleCheck(HRESULT result) {
  if (FAILED(result)) throw EOleSysError({}, result);
  return result;
}
