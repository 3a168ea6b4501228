// OLE fonts: the font object a container hands a control (ambient font) or a control
// exposes as a property, with IFont for its owner and IFontDisp for scripting.
#pragma once

#include "platform/ole/OleAuto.h"
#include "platform/ole/Unknown.h"
#include "platform/win/Gdi.h"

inline constexpr IID IID_IFont = MakeGuid("{BEF6E002-A874-101A-8BBA-00AA00300CAB}");
inline constexpr IID IID_IFontDisp = MakeGuid("{BEF6E003-A874-101A-8BBA-00AA00300CAB}");

// DISPIDs of IFontDisp's properties.
inline constexpr DISPID DISPID_FONT_NAME = 0;
inline constexpr DISPID DISPID_FONT_SIZE = 2;
inline constexpr DISPID DISPID_FONT_BOLD = 3;
inline constexpr DISPID DISPID_FONT_ITALIC = 4;
inline constexpr DISPID DISPID_FONT_UNDER = 5;
inline constexpr DISPID DISPID_FONT_STRIKE = 6;
inline constexpr DISPID DISPID_FONT_WEIGHT = 7;
inline constexpr DISPID DISPID_FONT_CHARSET = 8;

struct FONTDESC {
  UINT cbSizeofstruct = sizeof(FONTDESC);
  LPOLESTR lpstrName = nullptr;
  CY cySize{};  // points
  SmallInt sWeight = 400;
  SmallInt sCharset = 0;
  BOOL fItalic = 0;
  BOOL fUnderline = 0;
  BOOL fStrikethrough = 0;
};

struct IFont : IUnknown {
  static constexpr const IID& Uuid() noexcept { return IID_IFont; }
  virtual HRESULT get_Name(BSTR* name) = 0;
  virtual HRESULT put_Name(BSTR name) = 0;
  virtual HRESULT get_Size(CY* size) = 0;
  virtual HRESULT put_Size(CY size) = 0;
  virtual HRESULT get_Bold(BOOL* bold) = 0;
  virtual HRESULT put_Bold(BOOL bold) = 0;
  virtual HRESULT get_Italic(BOOL* italic) = 0;
  virtual HRESULT put_Italic(BOOL italic) = 0;
  virtual HRESULT get_Underline(BOOL* underline) = 0;
  virtual HRESULT put_Underline(BOOL underline) = 0;
  virtual HRESULT get_Strikethrough(BOOL* strikethrough) = 0;
  virtual HRESULT put_Strikethrough(BOOL strikethrough) = 0;
  virtual HRESULT get_Weight(SmallInt* weight) = 0;
  virtual HRESULT put_Weight(SmallInt weight) = 0;
  virtual HRESULT get_Charset(SmallInt* charset) = 0;
  virtual HRESULT put_Charset(SmallInt charset) = 0;
  // A GDI font for the screen, owned by the font object.
  virtual HRESULT get_hFont(HFONT* font) = 0;
  virtual HRESULT Clone(IFont** copy) = 0;
  // S_OK when the other font has the same properties, S_FALSE otherwise.
  virtual HRESULT IsEqual(IFont* other) = 0;
  virtual HRESULT SetRatio(LONG logical, LONG himetric) = 0;
  virtual HRESULT AddRefHfont(HFONT font) = 0;
  virtual HRESULT ReleaseHfont(HFONT font) = 0;
  virtual HRESULT SetHdc(HDC dc) = 0;
};

// IFontDisp has no methods of its own: its properties are reached through IDispatch.
struct IFontDisp : IDispatch {
  static constexpr const IID& Uuid() noexcept { return IID_IFontDisp; }
};

// A new font object with desc's properties, answered as riid (IFont, IFontDisp,
// IDispatch, IUnknown). E_POINTER for a null out pointer; a null desc gives the
// default font (MS Sans Serif, 8 points).
HRESULT OleCreateFontIndirect(const FONTDESC* desc, REFIID riid, void** object);
