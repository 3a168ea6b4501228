#include "platform/ole/OleFont.h"

#include <cmath>

#include "platform/rtl/CodePage.h"

namespace {

class OleFont final : public ComObject<IFont, IFontDisp> {
 public:
  explicit OleFont(const FONTDESC& desc)
      : name_(desc.lpstrName ? WideString(desc.lpstrName) : WideString(u"MS Sans Serif")),
        size_(desc.cySize),
        weight_(desc.sWeight),
        charset_(desc.sCharset),
        italic_(desc.fItalic != 0),
        underline_(desc.fUnderline != 0),
        strikethrough_(desc.fStrikethrough != 0) {}

  HRESULT get_Name(BSTR* name) override {
    if (name == nullptr) return E_POINTER;
    *name = SysAllocStringLen(name_.data(), static_cast<UINT>(name_.size()));
    return *name ? S_OK : E_OUTOFMEMORY;
  }
  HRESULT put_Name(BSTR name) override {
    if (name == nullptr) return E_INVALIDARG;
    name_ = BstrToWide(name);
    Changed();
    return S_OK;
  }
  HRESULT get_Size(CY* size) override { return Get(size, size_); }
  HRESULT put_Size(CY size) override {
    if (size.int64 < 0) return E_INVALIDARG;
    size_ = size;
    Changed();
    return S_OK;
  }
  HRESULT get_Bold(BOOL* bold) override { return Get(bold, BOOL{weight_ >= 600}); }
  HRESULT put_Bold(BOOL bold) override { return Set(weight_, static_cast<SmallInt>(bold ? 700 : 400)); }
  HRESULT get_Italic(BOOL* v) override { return Get(v, BOOL{italic_}); }
  HRESULT put_Italic(BOOL v) override { return Set(italic_, v != 0); }
  HRESULT get_Underline(BOOL* v) override { return Get(v, BOOL{underline_}); }
  HRESULT put_Underline(BOOL v) override { return Set(underline_, v != 0); }
  HRESULT get_Strikethrough(BOOL* v) override { return Get(v, BOOL{strikethrough_}); }
  HRESULT put_Strikethrough(BOOL v) override { return Set(strikethrough_, v != 0); }
  HRESULT get_Weight(SmallInt* v) override { return Get(v, weight_); }
  HRESULT put_Weight(SmallInt v) override { return Set(weight_, v); }
  HRESULT get_Charset(SmallInt* v) override { return Get(v, charset_); }
  HRESULT put_Charset(SmallInt v) override { return Set(charset_, v); }

  HRESULT get_hFont(HFONT* font) override {
    if (font == nullptr) return E_POINTER;
    if (font_ == 0) {
      LOGFONT lf;
      const HDC screen = GetDC(0);
      const Integer dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
      if (screen) ReleaseDC(0, screen);
      lf.lfHeight = -static_cast<Integer>(std::lround(static_cast<double>(size_.int64) / 10000.0 * dpi / 72.0));
      lf.lfWeight = weight_;
      lf.lfItalic = italic_;
      lf.lfUnderline = underline_;
      lf.lfStrikeOut = strikethrough_;
      lf.lfCharSet = static_cast<Byte>(charset_);
      const AnsiString face = WideToAnsi(name_);
      face.copy(lf.lfFaceName, sizeof lf.lfFaceName - 1);
      font_ = CreateFontIndirect(&lf);
      if (font_ == 0) return E_FAIL;
    }
    *font = font_;
    return S_OK;
  }
  HRESULT Clone(IFont** copy) override {
    if (copy == nullptr) return E_POINTER;
    FONTDESC desc;
    desc.cySize = size_;
    desc.sWeight = weight_;
    desc.sCharset = charset_;
    desc.fItalic = italic_;
    desc.fUnderline = underline_;
    desc.fStrikethrough = strikethrough_;
    WideString name = name_;
    desc.lpstrName = name.data();
    *copy = MakeComObject<OleFont>(desc).Detach();
    return S_OK;
  }
  HRESULT IsEqual(IFont* other) override {
    if (other == nullptr) return E_POINTER;
    BSTR name = nullptr;
    CY size{};
    SmallInt weight = 0, charset = 0;
    BOOL italic = 0, underline = 0, strike = 0;
    if (FAILED(other->get_Name(&name)) || FAILED(other->get_Size(&size)) || FAILED(other->get_Weight(&weight)) ||
        FAILED(other->get_Charset(&charset)) || FAILED(other->get_Italic(&italic)) ||
        FAILED(other->get_Underline(&underline)) || FAILED(other->get_Strikethrough(&strike))) {
      SysFreeString(name);
      return S_FALSE;
    }
    const bool same = BstrToWide(name) == name_ && size.int64 == size_.int64 && weight == weight_ &&
                      charset == charset_ && (italic != 0) == italic_ && (underline != 0) == underline_ &&
                      (strike != 0) == strikethrough_;
    SysFreeString(name);
    return same ? S_OK : S_FALSE;
  }
  HRESULT SetRatio(LONG logical, LONG himetric) override { return logical == 0 || himetric == 0 ? E_FAIL : S_OK; }
  HRESULT AddRefHfont(HFONT font) override { return font == font_ && font != 0 ? S_OK : S_FALSE; }
  HRESULT ReleaseHfont(HFONT font) override { return font == font_ && font != 0 ? S_OK : S_FALSE; }
  HRESULT SetHdc(HDC /*dc*/) override { return S_OK; }

  // IDispatch (IFontDisp)
  HRESULT GetTypeInfoCount(UINT* count) override {
    if (count == nullptr) return E_POINTER;
    *count = 0;
    return S_OK;
  }
  HRESULT GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
    if (info) *info = nullptr;
    return E_NOTIMPL;
  }
  HRESULT GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  HRESULT Invoke(DISPID id, REFIID, LCID, Word flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO*,
                 UINT* argErr) override;

  ~OleFont() override {
    if (font_ != 0) DeleteObject(font_);
  }

 protected:
  void* QueryInterfaceExtra(REFIID riid) override {
    return riid == IID_IDispatch ? static_cast<IDispatch*>(this) : nullptr;
  }

 private:
  template <class T>
  static HRESULT Get(T* out, T value) {
    if (out == nullptr) return E_POINTER;
    *out = value;
    return S_OK;
  }
  template <class T>
  HRESULT Set(T& field, T value) {
    field = value;
    Changed();
    return S_OK;
  }
  // A property changed: the GDI font made for the old ones goes.
  void Changed() {
    if (font_ != 0) DeleteObject(font_);
    font_ = 0;
  }

  WideString name_;
  CY size_;
  SmallInt weight_;
  SmallInt charset_;
  bool italic_;
  bool underline_;
  bool strikethrough_;
  HFONT font_ = 0;
};

HRESULT OleFont::Invoke(DISPID id, REFIID, LCID, Word flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO*,
                        UINT* argErr) {
  if (params == nullptr) return E_INVALIDARG;
  if ((flags & DISPATCH_PROPERTYGET) != 0 && result != nullptr) {
    VariantInit(result);
    switch (id) {
      case DISPID_FONT_NAME:
        result->vt = VT_BSTR;
        return get_Name(&result->bstrVal);
      case DISPID_FONT_SIZE: result->vt = VT_CY; result->cyVal = size_; return S_OK;
      case DISPID_FONT_BOLD: result->vt = VT_BOOL; result->boolVal = weight_ >= 600 ? VARIANT_TRUE : VARIANT_FALSE; return S_OK;
      case DISPID_FONT_ITALIC: result->vt = VT_BOOL; result->boolVal = italic_ ? VARIANT_TRUE : VARIANT_FALSE; return S_OK;
      case DISPID_FONT_UNDER: result->vt = VT_BOOL; result->boolVal = underline_ ? VARIANT_TRUE : VARIANT_FALSE; return S_OK;
      case DISPID_FONT_STRIKE: result->vt = VT_BOOL; result->boolVal = strikethrough_ ? VARIANT_TRUE : VARIANT_FALSE; return S_OK;
      case DISPID_FONT_WEIGHT: result->vt = VT_I2; result->iVal = weight_; return S_OK;
      case DISPID_FONT_CHARSET: result->vt = VT_I2; result->iVal = charset_; return S_OK;
      default: return DISP_E_MEMBERNOTFOUND;
    }
  }
  if ((flags & DISPATCH_PROPERTYPUT) != 0) {
    VARIANT v;
    VARTYPE type = VT_BOOL;
    if (id == DISPID_FONT_NAME) type = VT_BSTR;
    if (id == DISPID_FONT_SIZE) type = VT_CY;
    if (id == DISPID_FONT_WEIGHT || id == DISPID_FONT_CHARSET) type = VT_I2;
    if (id < DISPID_FONT_NAME || id > DISPID_FONT_CHARSET || id == 1) return DISP_E_MEMBERNOTFOUND;
    if (params->cArgs != 1) return DISP_E_BADPARAMCOUNT;
    const HRESULT hr = VariantChangeType(&v, &params->rgvarg[0], 0, type);
    if (FAILED(hr)) {
      if (argErr) *argErr = 0;
      return hr;
    }
    HRESULT put = S_OK;
    switch (id) {
      case DISPID_FONT_NAME: put = put_Name(v.bstrVal); break;
      case DISPID_FONT_SIZE: put = put_Size(v.cyVal); break;
      case DISPID_FONT_BOLD: put = put_Bold(v.boolVal != 0); break;
      case DISPID_FONT_ITALIC: put = put_Italic(v.boolVal != 0); break;
      case DISPID_FONT_UNDER: put = put_Underline(v.boolVal != 0); break;
      case DISPID_FONT_STRIKE: put = put_Strikethrough(v.boolVal != 0); break;
      case DISPID_FONT_WEIGHT: put = put_Weight(v.iVal); break;
      case DISPID_FONT_CHARSET: put = put_Charset(v.iVal); break;
      default: break;
    }
    VariantClear(&v);
    return put;
  }
  return DISP_E_MEMBERNOTFOUND;
}

}  // namespace

HRESULT OleCreateFontIndirect(const FONTDESC* desc, REFIID riid, void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  FONTDESC defaults;
  defaults.cySize.int64 = 80000;
  ComPtr<OleFont> font = MakeComObject<OleFont>(desc ? *desc : defaults);
  return font->QueryInterface(riid, object);
}
