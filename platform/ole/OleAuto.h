// Automation: BSTR strings, VARIANT values, SAFEARRAYs and IDispatch, with the
// platform's layouts, type numbers, DISPIDs and answers.
//
// BSTR: UTF-16 text with its byte length stored in the four bytes before the first
// character and a terminating 0 after the last; it may hold 0 characters inside. A
// null BSTR is the empty string. Allocated by SysAlloc*, freed by SysFreeString.
//
// VARIANT: a type number (vt) and a value. The value is owned by the variant: a
// BSTR, an interface reference or an array is freed by VariantClear. With VT_BYREF
// the variant holds a pointer to a value owned elsewhere and clearing it frees nothing.
//
// SAFEARRAY: an array of 1 to 64 dimensions, each with a lower bound and a count,
// of one element type; its elements are owned by it (strings, interfaces and
// variants are freed with it). Bounds are stored last dimension first, as the
// platform stores them; the functions take dimensions numbered from 1.
//
// IDispatch::Invoke gets its arguments in DISPPARAMS in reverse order: rgvarg[0] is
// the last argument, rgvarg[cArgs - 1] the first; named arguments (a property put's
// DISPID_PROPERTYPUT) come first in rgvarg, their DISPIDs in rgdispidNamedArgs.
#pragma once

#include <cstdint>

#include "platform/ole/Guid.h"
#include "platform/ole/OleErrors.h"
#include "platform/ole/Unknown.h"
#include "platform/rtl/Types.h"
#include "platform/win/WinTypes.h"

using BSTR = OLECHAR*;
using VARTYPE = uint16_t;
using VARIANT_BOOL = int16_t;
using DATE = double;
using LCID = DWORD;
using DISPID = LONG;
using MEMBERID = DISPID;

inline constexpr VARIANT_BOOL VARIANT_TRUE = -1;
inline constexpr VARIANT_BOOL VARIANT_FALSE = 0;

// Currency: a 64-bit integer counting ten-thousandths.
struct CY {
  int64_t int64;
};

enum VARENUM : VARTYPE {
  VT_EMPTY = 0,
  VT_NULL = 1,
  VT_I2 = 2,
  VT_I4 = 3,
  VT_R4 = 4,
  VT_R8 = 5,
  VT_CY = 6,
  VT_DATE = 7,
  VT_BSTR = 8,
  VT_DISPATCH = 9,
  VT_ERROR = 10,
  VT_BOOL = 11,
  VT_VARIANT = 12,
  VT_UNKNOWN = 13,
  VT_DECIMAL = 14,
  VT_I1 = 16,
  VT_UI1 = 17,
  VT_UI2 = 18,
  VT_UI4 = 19,
  VT_I8 = 20,
  VT_UI8 = 21,
  VT_INT = 22,
  VT_UINT = 23,
  VT_VOID = 24,
  VT_HRESULT = 25,
  VT_ARRAY = 0x2000,
  VT_BYREF = 0x4000,
  VT_RESERVED = 0x8000,
  VT_TYPEMASK = 0x0FFF,
};

struct IDispatch;
struct SAFEARRAY;

struct VARIANT {
  VARTYPE vt = VT_EMPTY;
  WORD wReserved1 = 0;
  WORD wReserved2 = 0;
  WORD wReserved3 = 0;
  union {
    int64_t llVal = 0;
    uint64_t ullVal;
    LONG lVal;
    ULONG ulVal;
    int32_t intVal;
    uint32_t uintVal;
    SmallInt iVal;
    Word uiVal;
    Byte bVal;
    signed char cVal;
    float fltVal;
    double dblVal;
    VARIANT_BOOL boolVal;
    SCODE scode;
    CY cyVal;
    DATE date;
    BSTR bstrVal;
    IUnknown* punkVal;
    IDispatch* pdispVal;
    SAFEARRAY* parray;
    Byte* pbVal;
    SmallInt* piVal;
    LONG* plVal;
    float* pfltVal;
    double* pdblVal;
    VARIANT_BOOL* pboolVal;
    SCODE* pscode;
    CY* pcyVal;
    DATE* pdate;
    BSTR* pbstrVal;
    IUnknown** ppunkVal;
    IDispatch** ppdispVal;
    SAFEARRAY** pparray;
    VARIANT* pvarVal;
    void* byref;
  };
};
using VARIANTARG = VARIANT;

// --- BSTR ---

// A copy of the 0-terminated text; null for a null text or when memory runs out.
BSTR SysAllocString(const OLECHAR* text);
// len characters copied from text (or left zero when text is null), plus the terminator.
BSTR SysAllocStringLen(const OLECHAR* text, UINT len);
// len bytes copied from bytes (or zero), plus a terminating 0 character.
BSTR SysAllocStringByteLen(const char* bytes, UINT len);
// Replaces *target with a copy of text; FALSE (and *target kept) when memory runs out.
BOOL SysReAllocString(BSTR* target, const OLECHAR* text);
BOOL SysReAllocStringLen(BSTR* target, const OLECHAR* text, UINT len);
void SysFreeString(BSTR text);
// The length in characters; 0 for null.
UINT SysStringLen(BSTR text);
UINT SysStringByteLen(BSTR text);

// Conversions between the framework's wide strings and BSTRs.
BSTR WideToBstr(const WideString& text);
WideString BstrToWide(BSTR text);

// --- SAFEARRAY ---

struct SAFEARRAYBOUND {
  ULONG cElements = 0;
  LONG lLbound = 0;
};

struct SAFEARRAY {
  Word cDims;
  Word fFeatures;
  ULONG cbElements;
  ULONG cLocks;
  void* pvData;
  SAFEARRAYBOUND rgsabound[1];  // cDims entries, last dimension first
};

inline constexpr Word FADF_AUTO = 0x0001;
inline constexpr Word FADF_STATIC = 0x0002;
inline constexpr Word FADF_EMBEDDED = 0x0004;
inline constexpr Word FADF_FIXEDSIZE = 0x0010;
inline constexpr Word FADF_HAVEVARTYPE = 0x0080;
inline constexpr Word FADF_BSTR = 0x0100;
inline constexpr Word FADF_UNKNOWN = 0x0200;
inline constexpr Word FADF_DISPATCH = 0x0400;
inline constexpr Word FADF_VARIANT = 0x0800;

// A new array of zeroed (empty) elements; null for an element type that cannot be
// stored, 0 or more than 64 dimensions, a size beyond 2 GiB, or no memory.
SAFEARRAY* SafeArrayCreate(VARTYPE vt, UINT dims, const SAFEARRAYBOUND* bounds);
// A one-dimensional array of count elements from lowerBound.
SAFEARRAY* SafeArrayCreateVector(VARTYPE vt, LONG lowerBound, ULONG count);
// Frees the elements and the array; DISP_E_ARRAYISLOCKED while locked. Null: S_OK.
HRESULT SafeArrayDestroy(SAFEARRAY* array);
UINT SafeArrayGetDim(SAFEARRAY* array);
UINT SafeArrayGetElemsize(SAFEARRAY* array);
HRESULT SafeArrayGetVartype(SAFEARRAY* array, VARTYPE* vt);
// Bounds of dimension dim (from 1); DISP_E_BADINDEX for a dimension out of range.
HRESULT SafeArrayGetLBound(SAFEARRAY* array, UINT dim, LONG* bound);
HRESULT SafeArrayGetUBound(SAFEARRAY* array, UINT dim, LONG* bound);
HRESULT SafeArrayLock(SAFEARRAY* array);
// E_UNEXPECTED when not locked.
HRESULT SafeArrayUnlock(SAFEARRAY* array);
// Locks the array and gives the address of its elements.
HRESULT SafeArrayAccessData(SAFEARRAY* array, void** data);
HRESULT SafeArrayUnaccessData(SAFEARRAY* array);
// The address of the element at indices, one per dimension in the stored order
// (indices[0] for the last dimension, as rgsabound[0]); DISP_E_BADINDEX outside the
// bounds. The element for indices[0] + 1 follows the one for indices[0] in memory.
HRESULT SafeArrayPtrOfIndex(SAFEARRAY* array, const LONG* indices, void** element);
// Copies an element out (a BSTR, variant or interface is copied or AddRef'd).
HRESULT SafeArrayGetElement(SAFEARRAY* array, const LONG* indices, void* value);
// Copies a value in, freeing the element's old value.
HRESULT SafeArrayPutElement(SAFEARRAY* array, const LONG* indices, const void* value);
// A deep copy.
HRESULT SafeArrayCopy(SAFEARRAY* array, SAFEARRAY** copy);

// --- VARIANT ---

// Flags of VariantChangeType.
inline constexpr Word VARIANT_NOVALUEPROP = 0x01;
inline constexpr Word VARIANT_ALPHABOOL = 0x02;
inline constexpr Word VARIANT_NOUSEROVERRIDE = 0x04;
inline constexpr Word VARIANT_LOCALBOOL = 0x10;

void VariantInit(VARIANT* v);
// Frees what the variant owns and leaves it VT_EMPTY. DISP_E_BADVARTYPE for a type
// number it does not know (the variant is left as it is), DISP_E_ARRAYISLOCKED for a
// locked array.
HRESULT VariantClear(VARIANT* v);
// dest := a deep copy of src (dest cleared first). A by-reference src is copied as
// the same reference.
HRESULT VariantCopy(VARIANT* dest, const VARIANT* src);
// As VariantCopy, a by-reference src copied as the value it refers to.
HRESULT VariantCopyInd(VARIANT* dest, const VARIANT* src);
// dest := src converted to type vt (dest may be src). Failures leave dest as it
// was: DISP_E_TYPEMISMATCH (no conversion, text that is no number), DISP_E_OVERFLOW
// (out of the target's range), DISP_E_BADVARTYPE. Numbers are rounded half to even;
// Booleans become -1/0 ("True"/"False" with VARIANT_ALPHABOOL); texts are read and
// written in the user's locale, which is English (United States) here. An object
// is converted through its value property (DISPID_VALUE) unless VARIANT_NOVALUEPROP.
HRESULT VariantChangeType(VARIANT* dest, const VARIANT* src, Word flags, VARTYPE vt);
HRESULT VariantChangeTypeEx(VARIANT* dest, const VARIANT* src, LCID lcid, Word flags, VARTYPE vt);

// The locale ids of the user and the system: English (United States).
inline constexpr LCID LOCALE_USER_DEFAULT = 0x0400;
inline constexpr LCID LOCALE_SYSTEM_DEFAULT = 0x0800;
LCID GetUserDefaultLCID();
LCID GetSystemDefaultLCID();

// --- IDispatch ---

inline constexpr IID IID_IDispatch = MakeGuid("{00020400-0000-0000-C000-000000000046}");
inline constexpr IID IID_IEnumVARIANT = MakeGuid("{00020404-0000-0000-C000-000000000046}");

struct ITypeInfo;

struct DISPPARAMS {
  VARIANTARG* rgvarg = nullptr;
  DISPID* rgdispidNamedArgs = nullptr;
  UINT cArgs = 0;
  UINT cNamedArgs = 0;
};

struct EXCEPINFO {
  Word wCode = 0;
  Word wReserved = 0;
  BSTR bstrSource = nullptr;
  BSTR bstrDescription = nullptr;
  BSTR bstrHelpFile = nullptr;
  DWORD dwHelpContext = 0;
  void* pvReserved = nullptr;
  HRESULT (*pfnDeferredFillIn)(EXCEPINFO*) = nullptr;
  SCODE scode = 0;
};

// Invoke's kinds of call (may be combined: a method that can also be read).
inline constexpr Word DISPATCH_METHOD = 0x1;
inline constexpr Word DISPATCH_PROPERTYGET = 0x2;
inline constexpr Word DISPATCH_PROPERTYPUT = 0x4;
inline constexpr Word DISPATCH_PROPERTYPUTREF = 0x8;

// Reserved DISPIDs.
inline constexpr DISPID DISPID_UNKNOWN = -1;
inline constexpr DISPID DISPID_VALUE = 0;
inline constexpr DISPID DISPID_PROPERTYPUT = -3;
inline constexpr DISPID DISPID_NEWENUM = -4;
inline constexpr DISPID DISPID_EVALUATE = -5;
inline constexpr DISPID DISPID_CONSTRUCTOR = -6;
inline constexpr DISPID DISPID_DESTRUCTOR = -7;
inline constexpr DISPID DISPID_COLLECT = -8;

// Stock properties of controls.
inline constexpr DISPID DISPID_AUTOSIZE = -500;
inline constexpr DISPID DISPID_BACKCOLOR = -501;
inline constexpr DISPID DISPID_BACKSTYLE = -502;
inline constexpr DISPID DISPID_BORDERCOLOR = -503;
inline constexpr DISPID DISPID_BORDERSTYLE = -504;
inline constexpr DISPID DISPID_BORDERWIDTH = -505;
inline constexpr DISPID DISPID_DRAWMODE = -507;
inline constexpr DISPID DISPID_DRAWSTYLE = -508;
inline constexpr DISPID DISPID_DRAWWIDTH = -509;
inline constexpr DISPID DISPID_FILLCOLOR = -510;
inline constexpr DISPID DISPID_FILLSTYLE = -511;
inline constexpr DISPID DISPID_FONT = -512;
inline constexpr DISPID DISPID_FORECOLOR = -513;
inline constexpr DISPID DISPID_ENABLED = -514;
inline constexpr DISPID DISPID_HWND = -515;
inline constexpr DISPID DISPID_TABSTOP = -516;
inline constexpr DISPID DISPID_TEXT = -517;
inline constexpr DISPID DISPID_CAPTION = -518;
inline constexpr DISPID DISPID_BORDERVISIBLE = -519;
inline constexpr DISPID DISPID_APPEARANCE = -520;
inline constexpr DISPID DISPID_MOUSEPOINTER = -521;
inline constexpr DISPID DISPID_MOUSEICON = -522;
inline constexpr DISPID DISPID_PICTURE = -523;
inline constexpr DISPID DISPID_VALID = -524;
inline constexpr DISPID DISPID_READYSTATE = -525;

// Stock events of controls.
inline constexpr DISPID DISPID_CLICK = -600;
inline constexpr DISPID DISPID_DBLCLICK = -601;
inline constexpr DISPID DISPID_KEYDOWN = -602;
inline constexpr DISPID DISPID_KEYPRESS = -603;
inline constexpr DISPID DISPID_KEYUP = -604;
inline constexpr DISPID DISPID_MOUSEDOWN = -605;
inline constexpr DISPID DISPID_MOUSEMOVE = -606;
inline constexpr DISPID DISPID_MOUSEUP = -607;
inline constexpr DISPID DISPID_ERROREVENT = -608;
inline constexpr DISPID DISPID_READYSTATECHANGE = -609;

// Ambient properties a container answers.
inline constexpr DISPID DISPID_AMBIENT_BACKCOLOR = -701;
inline constexpr DISPID DISPID_AMBIENT_DISPLAYNAME = -702;
inline constexpr DISPID DISPID_AMBIENT_FONT = -703;
inline constexpr DISPID DISPID_AMBIENT_FORECOLOR = -704;
inline constexpr DISPID DISPID_AMBIENT_LOCALEID = -705;
inline constexpr DISPID DISPID_AMBIENT_MESSAGEREFLECT = -706;
inline constexpr DISPID DISPID_AMBIENT_SCALEUNITS = -707;
inline constexpr DISPID DISPID_AMBIENT_TEXTALIGN = -708;
inline constexpr DISPID DISPID_AMBIENT_USERMODE = -709;
inline constexpr DISPID DISPID_AMBIENT_UIDEAD = -710;
inline constexpr DISPID DISPID_AMBIENT_SHOWGRABHANDLES = -711;
inline constexpr DISPID DISPID_AMBIENT_SHOWHATCHING = -712;
inline constexpr DISPID DISPID_AMBIENT_DISPLAYASDEFAULT = -713;
inline constexpr DISPID DISPID_AMBIENT_SUPPORTSMNEMONICS = -714;
inline constexpr DISPID DISPID_AMBIENT_AUTOCLIP = -715;
inline constexpr DISPID DISPID_AMBIENT_APPEARANCE = -716;

struct IDispatch : IUnknown {
  static constexpr const IID& Uuid() noexcept { return IID_IDispatch; }
  virtual HRESULT GetTypeInfoCount(UINT* count) = 0;
  virtual HRESULT GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) = 0;
  virtual HRESULT GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) = 0;
  virtual HRESULT Invoke(DISPID id, REFIID riid, LCID lcid, Word flags, DISPPARAMS* params,
                         VARIANT* result, EXCEPINFO* excepInfo, UINT* argErr) = 0;
};

// The argument at `position` (0 = the first declared) of an Invoke, converted to vt:
// a named argument with DISPID `position` when there are named arguments, else
// rgvarg[cArgs - 1 - position]. DISP_E_PARAMNOTFOUND when absent; a failed
// conversion answers its code with *argErr set to the argument's index in rgvarg.
HRESULT DispGetParam(DISPPARAMS* params, UINT position, VARTYPE vt, VARIANT* result, UINT* argErr);

// Frees the texts of an EXCEPINFO and zeroes it.
void ClearExcepInfo(EXCEPINFO* info);
// Raises the error of a failed Invoke: EOleException with the callee's description,
// source and help from info for DISP_E_EXCEPTION (after its deferred fill-in; its
// scode, or wCode as 0x8004xxxx, as ErrorCode), EOleSysError with the code otherwise.
// Frees info's texts.
[[noreturn]] void DispatchInvokeError(HRESULT status, EXCEPINFO& info);
