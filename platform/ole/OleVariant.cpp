#include "platform/ole/OleVariant.h"

#include <utility>


AnsiString VarTypeName(VARTYPE type) {
  if ((type & VT_ARRAY) != 0) return "Array " + VarTypeName(type & VT_TYPEMASK);
  switch (type & VT_TYPEMASK) {
    case VT_EMPTY: return "Empty";
    case VT_NULL: return "Null";
    case VT_I2: return "Smallint";
    case VT_I4: return "Integer";
    case VT_R4: return "Single";
    case VT_R8: return "Double";
    case VT_CY: return "Currency";
    case VT_DATE: return "Date";
    case VT_BSTR: return "OleStr";
    case VT_DISPATCH: return "Dispatch";
    case VT_ERROR: return "Error";
    case VT_BOOL: return "Boolean";
    case VT_VARIANT: return "Variant";
    case VT_UNKNOWN: return "Unknown";
    case VT_I1: return "ShortInt";
    case VT_UI1: return "Byte";
    case VT_UI2: return "Word";
    case VT_UI4: return "LongWord";
    case VT_I8: return "Int64";
    case VT_UI8: return "UInt64";
    case VT_INT: return "Integer";
    case VT_UINT: return "LongWord";
    default: return "Unknown";
  }
}

OleVariant::OleVariant(const OleVariant& other) : OleVariant(static_cast<const VARIANT&>(other)) {}

OleVariant::OleVariant(OleVariant&& other) noexcept {
  VariantInit(this);
  Attach(&other);
}

OleVariant::OleVariant(const VARIANT& other) {
  VariantInit(this);
  const HRESULT hr = VariantCopy(this, &other);
  if (FAILED(hr)) throw EOleSysError({}, hr);
}

OleVariant::OleVariant(bool value) noexcept {
  VariantInit(this);
  vt = VT_BOOL;
  boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
}

OleVariant::OleVariant(int32_t value) noexcept {
  VariantInit(this);
  vt = VT_I4;
  lVal = value;
}

OleVariant::OleVariant(double value) noexcept {
  VariantInit(this);
  vt = VT_R8;
  dblVal = value;
}

OleVariant::OleVariant(const WideString& value) {
  VariantInit(this);
  bstrVal = WideToBstr(value);
  vt = VT_BSTR;
}

OleVariant::OleVariant(const char16_t* value) : OleVariant(WideString(value ? value : u"")) {}

OleVariant::OleVariant(IDispatch* value) noexcept {
  VariantInit(this);
  vt = VT_DISPATCH;
  pdispVal = value;
  if (value) value->AddRef();
}

OleVariant::OleVariant(IUnknown* value) noexcept {
  VariantInit(this);
  vt = VT_UNKNOWN;
  punkVal = value;
  if (value) value->AddRef();
}

OleVariant& OleVariant::operator=(const OleVariant& other) {
  if (this != &other) {
    const HRESULT hr = VariantCopy(this, &other);
    if (FAILED(hr)) throw EOleSysError({}, hr);
  }
  return *this;
}

OleVariant& OleVariant::operator=(OleVariant&& other) noexcept {
  if (this != &other) Attach(&other);
  return *this;
}

OleVariant OleVariant::Missing() noexcept { return Error(DISP_E_PARAMNOTFOUND); }

OleVariant OleVariant::Null() noexcept {
  OleVariant v;
  v.vt = VT_NULL;
  return v;
}

OleVariant OleVariant::Error(SCODE code) noexcept {
  OleVariant v;
  v.vt = VT_ERROR;
  v.scode = code;
  return v;
}

void OleVariant::Attach(VARIANT* v) noexcept {
  VariantClear(this);
  *static_cast<VARIANT*>(this) = *v;
  VariantInit(v);
}

void OleVariant::Detach(VARIANT* v) noexcept {
  VariantClear(v);
  *v = *static_cast<VARIANT*>(this);
  VariantInit(this);
}

OleVariant OleVariant::ChangedTo(VARTYPE type) const {
  OleVariant out;
  const HRESULT hr = VariantChangeType(&out, this, 0, type);
  if (hr == DISP_E_OVERFLOW)
    throw EVariantOverflowError("Overflow while converting variant of type (" + VarTypeName(vt) +
                                ") into type (" + VarTypeName(type) + ")");
  if (FAILED(hr))
    throw EVariantTypeCastError("Could not convert variant of type (" + VarTypeName(vt) + ") into type (" +
                                VarTypeName(type) + ")");
  return out;
}

int32_t OleVariant::AsInteger() const { return ChangedTo(VT_I4).lVal; }
bool OleVariant::AsBool() const { return ChangedTo(VT_BOOL).boolVal != 0; }
double OleVariant::AsDouble() const { return ChangedTo(VT_R8).dblVal; }
WideString OleVariant::AsWideString() const { return BstrToWide(ChangedTo(VT_BSTR).bstrVal); }

ComPtr<IDispatch> OleVariant::AsDispatch() const {
  OleVariant v = ChangedTo(VT_DISPATCH);
  ComPtr<IDispatch> out;
  out.Attach(v.pdispVal);
  v.vt = VT_EMPTY;  // the reference moved to out
  return out;
}

ComPtr<IUnknown> OleVariant::AsUnknown() const {
  OleVariant v = ChangedTo(VT_UNKNOWN);
  ComPtr<IUnknown> out;
  out.Attach(v.punkVal);
  v.vt = VT_EMPTY;  // the reference moved to out
  return out;
}
