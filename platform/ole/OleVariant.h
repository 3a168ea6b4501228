// OleVariant: a VARIANT that owns its value (cleared on destruction, deep-copied on
// copy), with the framework's conversions. A failed conversion raises
// EVariantTypeCastError "Could not convert variant of type (X) into type (Y)",
// overflow EVariantOverflowError.
#pragma once

#include "platform/ole/OleAuto.h"
#include "platform/rtl/Exceptions.h"

LARK_DECLARE_EXCEPTION(EVariantError, Exception);
LARK_DECLARE_EXCEPTION(EVariantTypeCastError, EVariantError);
LARK_DECLARE_EXCEPTION(EVariantOverflowError, EVariantError);

// The framework's name of a variant type, as its conversion errors show it
// ("Integer", "OleStr", "Boolean", ...; "Array Variant" for arrays).
AnsiString VarTypeName(VARTYPE vt);

class OleVariant : public VARIANT {
 public:
  OleVariant() noexcept { VariantInit(this); }
  OleVariant(const OleVariant& other);
  OleVariant(OleVariant&& other) noexcept;
  // Deep copy of any variant.
  explicit OleVariant(const VARIANT& other);
  OleVariant(bool value) noexcept;                // VT_BOOL
  OleVariant(int32_t value) noexcept;             // VT_I4
  OleVariant(double value) noexcept;              // VT_R8
  OleVariant(const WideString& value);            // VT_BSTR
  OleVariant(const char16_t* value);              // VT_BSTR
  OleVariant(IDispatch* value) noexcept;          // VT_DISPATCH, AddRef'd
  OleVariant(IUnknown* value) noexcept;           // VT_UNKNOWN, AddRef'd
  ~OleVariant() { VariantClear(this); }

  OleVariant& operator=(const OleVariant& other);
  OleVariant& operator=(OleVariant&& other) noexcept;

  // The standard omitted-parameter value: VT_ERROR with DISP_E_PARAMNOTFOUND.
  static OleVariant Missing() noexcept;
  static OleVariant Null() noexcept;
  // VT_ERROR with the code.
  static OleVariant Error(SCODE code) noexcept;

  VARTYPE Type() const noexcept { return vt; }
  bool IsEmpty() const noexcept { return vt == VT_EMPTY; }
  bool IsNull() const noexcept { return vt == VT_NULL; }
  void Clear() noexcept { VariantClear(this); }
  // Takes over the value of v (v becomes VT_EMPTY).
  void Attach(VARIANT* v) noexcept;
  // Hands the value to v (cleared first); this becomes VT_EMPTY.
  void Detach(VARIANT* v) noexcept;

  // Converted copies (the variant itself is unchanged).
  int32_t AsInteger() const;
  bool AsBool() const;
  double AsDouble() const;
  WideString AsWideString() const;
  ComPtr<IDispatch> AsDispatch() const;
  ComPtr<IUnknown> AsUnknown() const;
  // The value converted to vt in a new variant.
  OleVariant ChangedTo(VARTYPE type) const;
};
