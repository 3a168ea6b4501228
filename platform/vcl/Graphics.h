// The framework's graphics classes: colours, pens, brushes, fonts, the canvas, and
// the pictures drawn on it (bitmaps, icons, and the picture that holds either).
//
// Everything draws through our GDI (platform/win/Gdi.h). A TBitmap keeps its pixels
// in a bottom-up DIB section with rows padded to 32 bits; its canvas is a memory DC
// with that section selected, so canvas drawing and ScanLine see the same memory.
#pragma once

#include <atomic>
#include <initializer_list>
#include <memory>
#include <span>
#include <vector>

#include "platform/rtl/Component.h"
#include "platform/rtl/Exceptions.h"
#include "platform/rtl/Sets.h"
#include "platform/rtl/Streams.h"
#include "platform/vcl/Geometry.h"
#include "platform/win/CriticalSection.h"
#include "platform/win/Gdi.h"

LARK_DECLARE_EXCEPTION(EInvalidGraphic, Exception);
LARK_DECLARE_EXCEPTION(EInvalidGraphicOperation, Exception);

// ---------------------------------------------------------------------------------
// Colours: 0x00BBGGRR, or 0x80000000 | COLOR_* for a system colour.

using TColor = Integer;

inline constexpr TColor SystemColor(Integer index) {
  return static_cast<TColor>(0x80000000u | static_cast<DWORD>(index));
}

inline constexpr TColor clScrollBar = SystemColor(COLOR_SCROLLBAR);
inline constexpr TColor clBackground = SystemColor(COLOR_BACKGROUND);
inline constexpr TColor clActiveCaption = SystemColor(COLOR_ACTIVECAPTION);
inline constexpr TColor clInactiveCaption = SystemColor(COLOR_INACTIVECAPTION);
inline constexpr TColor clMenu = SystemColor(COLOR_MENU);
inline constexpr TColor clWindow = SystemColor(COLOR_WINDOW);
inline constexpr TColor clWindowFrame = SystemColor(COLOR_WINDOWFRAME);
inline constexpr TColor clMenuText = SystemColor(COLOR_MENUTEXT);
inline constexpr TColor clWindowText = SystemColor(COLOR_WINDOWTEXT);
inline constexpr TColor clCaptionText = SystemColor(COLOR_CAPTIONTEXT);
inline constexpr TColor clActiveBorder = SystemColor(COLOR_ACTIVEBORDER);
inline constexpr TColor clInactiveBorder = SystemColor(COLOR_INACTIVEBORDER);
inline constexpr TColor clAppWorkSpace = SystemColor(COLOR_APPWORKSPACE);
inline constexpr TColor clHighlight = SystemColor(COLOR_HIGHLIGHT);
inline constexpr TColor clHighlightText = SystemColor(COLOR_HIGHLIGHTTEXT);
inline constexpr TColor clBtnFace = SystemColor(COLOR_BTNFACE);
inline constexpr TColor clBtnShadow = SystemColor(COLOR_BTNSHADOW);
inline constexpr TColor clGrayText = SystemColor(COLOR_GRAYTEXT);
inline constexpr TColor clBtnText = SystemColor(COLOR_BTNTEXT);
inline constexpr TColor clInactiveCaptionText = SystemColor(COLOR_INACTIVECAPTIONTEXT);
inline constexpr TColor clBtnHighlight = SystemColor(COLOR_BTNHIGHLIGHT);
inline constexpr TColor cl3DDkShadow = SystemColor(COLOR_3DDKSHADOW);
inline constexpr TColor cl3DLight = SystemColor(COLOR_3DLIGHT);
inline constexpr TColor clInfoText = SystemColor(COLOR_INFOTEXT);
inline constexpr TColor clInfoBk = SystemColor(COLOR_INFOBK);
inline constexpr TColor clHotLight = SystemColor(COLOR_HOTLIGHT);
inline constexpr TColor clGradientActiveCaption = SystemColor(COLOR_GRADIENTACTIVECAPTION);
inline constexpr TColor clGradientInactiveCaption = SystemColor(COLOR_GRADIENTINACTIVECAPTION);
inline constexpr TColor clMenuHighlight = SystemColor(COLOR_MENUHILIGHT);
inline constexpr TColor clMenuBar = SystemColor(COLOR_MENUBAR);

inline constexpr TColor clBlack = 0x000000;
inline constexpr TColor clMaroon = 0x000080;
inline constexpr TColor clGreen = 0x008000;
inline constexpr TColor clOlive = 0x008080;
inline constexpr TColor clNavy = 0x800000;
inline constexpr TColor clPurple = 0x800080;
inline constexpr TColor clTeal = 0x808000;
inline constexpr TColor clGray = 0x808080;
inline constexpr TColor clSilver = 0xC0C0C0;
inline constexpr TColor clRed = 0x0000FF;
inline constexpr TColor clLime = 0x00FF00;
inline constexpr TColor clYellow = 0x00FFFF;
inline constexpr TColor clBlue = 0xFF0000;
inline constexpr TColor clFuchsia = 0xFF00FF;
inline constexpr TColor clAqua = 0xFFFF00;
inline constexpr TColor clLtGray = 0xC0C0C0;
inline constexpr TColor clDkGray = 0x808080;
inline constexpr TColor clWhite = 0xFFFFFF;
inline constexpr TColor clMoneyGreen = 0xC0DCC0;
inline constexpr TColor clSkyBlue = 0xF0CAA6;
inline constexpr TColor clCream = 0xF0FBFF;
inline constexpr TColor clMedGray = 0xA4A0A0;
inline constexpr TColor clNone = 0x1FFFFFFF;
inline constexpr TColor clDefault = 0x20000000;

// A system colour becomes its current RGB value; any other value is answered as it is.
Integer ColorToRGB(TColor color);

// ---------------------------------------------------------------------------------
// Drawing tools.

// Base of pens, brushes and fonts: OnChange fires whenever a property changes.
class TGraphicsObject : public TPersistent {
 public:
  LARK_CLASS_NAME(TGraphicsObject)
  TNotifyEvent OnChange;

 protected:
  virtual void Changed();
};

enum class TPenStyle : Byte { psSolid, psDash, psDot, psDashDot, psDashDotDot, psClear, psInsideFrame };
using enum TPenStyle;

// How the pen's colour mixes with the pixels under it (each maps to an R2_ code).
enum class TPenMode : Byte {
  pmBlack, pmWhite, pmNop, pmNot, pmCopy, pmNotCopy, pmMergePenNot, pmMaskPenNot,
  pmMergeNotPen, pmMaskNotPen, pmMerge, pmNotMerge, pmMask, pmNotMask, pmXor, pmNotXor
};
using enum TPenMode;

// The R2_ code SetROP2 takes for a pen mode.
Integer PenModeToROP2(TPenMode mode);

class TPen : public TGraphicsObject {
 public:
  LARK_CLASS_NAME(TPen)
  TPen() = default;
  ~TPen() override;
  TPen(const TPen&) = delete;
  TPen& operator=(const TPen&) = delete;

  void Assign(TPersistent* source) override;

  TColor GetColor() const noexcept { return color_; }
  void SetColor(TColor value);
  Integer GetWidth() const noexcept { return width_; }
  // Widths below 1 are taken as 1.
  void SetWidth(Integer value);
  TPenStyle GetStyle() const noexcept { return style_; }
  void SetStyle(TPenStyle value);
  TPenMode GetMode() const noexcept { return mode_; }
  void SetMode(TPenMode value);
  // The GDI pen for the current colour, width and style, made on first use and owned
  // by the pen. The mode is not part of it: the canvas applies it with SetROP2.
  HPEN GetHandle();
  // Takes over a pen made elsewhere: colour, width and style are read from it.
  void SetHandle(HPEN value);

 private:
  void FreeHandle();

  TColor color_ = clBlack;
  Integer width_ = 1;
  TPenStyle style_ = psSolid;
  TPenMode mode_ = pmCopy;
  HPEN handle_ = 0;
};

enum class TBrushStyle : Byte {
  bsSolid, bsClear, bsHorizontal, bsVertical, bsFDiagonal, bsBDiagonal, bsCross, bsDiagCross
};
using enum TBrushStyle;

class TBitmap;

class TBrush : public TGraphicsObject {
 public:
  LARK_CLASS_NAME(TBrush)
  TBrush() = default;
  ~TBrush() override;
  TBrush(const TBrush&) = delete;
  TBrush& operator=(const TBrush&) = delete;

  void Assign(TPersistent* source) override;

  TColor GetColor() const noexcept { return color_; }
  // A colour given to a clear brush makes it solid.
  void SetColor(TColor value);
  TBrushStyle GetStyle() const noexcept { return style_; }
  void SetStyle(TBrushStyle value);
  // A pattern bitmap, which then decides the brush instead of colour and style. The
  // brush does not own it: the caller keeps it alive while the brush uses it.
  TBitmap* GetBitmap() const noexcept { return bitmap_; }
  void SetBitmap(TBitmap* value);
  // The GDI brush, made on first use and owned by the brush: a pattern of the bitmap,
  // the null brush for bsClear, a hatch in the colour, or a solid colour.
  HBRUSH GetHandle();
  // Takes over a brush made elsewhere: colour and style are read from it.
  void SetHandle(HBRUSH value);

 private:
  void FreeHandle();

  TColor color_ = clWhite;
  TBrushStyle style_ = bsSolid;
  TBitmap* bitmap_ = nullptr;
  HBRUSH handle_ = 0;
};

enum class TFontStyle : Byte { fsBold, fsItalic, fsUnderline, fsStrikeOut };
using enum TFontStyle;

using TFontStyles = TSet<TFontStyle>;

using TFontCharset = Byte;
using TFontName = AnsiString;

class TFont : public TGraphicsObject {
 public:
  LARK_CLASS_NAME(TFont)
  // Sizes are points at this resolution: Height = -MulDiv(Size, 96, 72).
  static constexpr Integer PixelsPerInch = 96;

  TFont() = default;
  ~TFont() override;
  TFont(const TFont&) = delete;
  TFont& operator=(const TFont&) = delete;

  void Assign(TPersistent* source) override;

  const TFontName& GetName() const noexcept { return name_; }
  void SetName(const TFontName& value);
  // Negative: the character height in pixels; positive: the cell height.
  Integer GetHeight() const noexcept { return height_; }
  void SetHeight(Integer value);
  Integer GetSize() const;
  void SetSize(Integer value);
  TColor GetColor() const noexcept { return color_; }
  void SetColor(TColor value);
  TFontStyles GetStyle() const noexcept { return style_; }
  void SetStyle(TFontStyles value);
  TFontCharset GetCharset() const noexcept { return charset_; }
  void SetCharset(TFontCharset value);
  // The GDI font for name, height, style and charset, made on first use and owned by
  // the font. The colour is not part of it: the canvas applies it as the text colour.
  HFONT GetHandle();
  // Takes over a font made elsewhere: name, height, style and charset are read from it.
  void SetHandle(HFONT value);

 private:
  void FreeHandle();

  TFontName name_ = "MS Sans Serif";
  Integer height_ = -11;
  TColor color_ = clWindowText;
  TFontStyles style_;
  TFontCharset charset_ = DEFAULT_CHARSET;
  HFONT handle_ = 0;
};

// ---------------------------------------------------------------------------------
// The canvas.

using TCopyMode = Integer;
inline constexpr TCopyMode cmBlackness = static_cast<TCopyMode>(BLACKNESS);
inline constexpr TCopyMode cmDstInvert = static_cast<TCopyMode>(DSTINVERT);
inline constexpr TCopyMode cmMergeCopy = static_cast<TCopyMode>(MERGECOPY);
inline constexpr TCopyMode cmMergePaint = static_cast<TCopyMode>(MERGEPAINT);
inline constexpr TCopyMode cmNotSrcCopy = static_cast<TCopyMode>(NOTSRCCOPY);
inline constexpr TCopyMode cmNotSrcErase = static_cast<TCopyMode>(NOTSRCERASE);
inline constexpr TCopyMode cmPatCopy = static_cast<TCopyMode>(PATCOPY);
inline constexpr TCopyMode cmPatInvert = static_cast<TCopyMode>(PATINVERT);
inline constexpr TCopyMode cmPatPaint = static_cast<TCopyMode>(PATPAINT);
inline constexpr TCopyMode cmSrcAnd = static_cast<TCopyMode>(SRCAND);
inline constexpr TCopyMode cmSrcCopy = static_cast<TCopyMode>(SRCCOPY);
inline constexpr TCopyMode cmSrcErase = static_cast<TCopyMode>(SRCERASE);
inline constexpr TCopyMode cmSrcInvert = static_cast<TCopyMode>(SRCINVERT);
inline constexpr TCopyMode cmSrcPaint = static_cast<TCopyMode>(SRCPAINT);
inline constexpr TCopyMode cmWhiteness = static_cast<TCopyMode>(WHITENESS);

class TGraphic;

// A drawing surface over a DC, with its own pen, brush and font. The tools are
// selected into the DC before each drawing call that uses them; a change of a tool
// takes effect at the next call. Every drawing call fires OnChanging before and
// OnChange after. Coordinates are the DC's logical ones; rectangles exclude their
// right and bottom edges.
class TCanvas : public TPersistent {
 public:
  LARK_CLASS_NAME(TCanvas)
  TCanvas();
  ~TCanvas() override;
  TCanvas(const TCanvas&) = delete;
  TCanvas& operator=(const TCanvas&) = delete;

  // The DC; a canvas without one asks CreateHandle, and raises EInvalidOperation
  // "Canvas does not allow drawing" when it still has none.
  HDC GetHandle();
  // Attaches a DC made elsewhere (0 detaches); the canvas's tools are taken out of
  // the previous DC first. The canvas does not free a DC given here.
  void SetHandle(HDC value);
  bool HandleAllocated() const noexcept { return handle_ != 0; }

  TPen* GetPen() const noexcept { return pen_.get(); }
  void SetPen(TPen* value) { pen_->Assign(value); }
  TBrush* GetBrush() const noexcept { return brush_.get(); }
  void SetBrush(TBrush* value) { brush_->Assign(value); }
  TFont* GetFont() const noexcept { return font_.get(); }
  void SetFont(TFont* value) { font_->Assign(value); }
  TCopyMode GetCopyMode() const noexcept { return copyMode_; }
  void SetCopyMode(TCopyMode value) { copyMode_ = value; }
  TPoint GetPenPos();
  void SetPenPos(TPoint value) { MoveTo(value.x, value.y); }
  // The colour of a pixel; -1 outside the surface or the clip area.
  TColor GetPixel(Integer x, Integer y);
  void SetPixel(Integer x, Integer y, TColor color);
  // What can be drawn on, in logical coordinates.
  TRect GetClipRect();

  void MoveTo(Integer x, Integer y);
  // A line in the pen from the pen position to (x, y), which is not drawn and becomes
  // the pen position.
  void LineTo(Integer x, Integer y);
  // Outlined with the pen, filled with the brush.
  void Rectangle(Integer x1, Integer y1, Integer x2, Integer y2);
  void Rectangle(const TRect& rect) { Rectangle(rect.left, rect.top, rect.right, rect.bottom); }
  void Ellipse(Integer x1, Integer y1, Integer x2, Integer y2);
  void Ellipse(const TRect& rect) { Ellipse(rect.left, rect.top, rect.right, rect.bottom); }
  void Polygon(std::span<const TPoint> points);
  void Polygon(std::initializer_list<TPoint> points) { Polygon(std::span(points.begin(), points.size())); }
  void Polyline(std::span<const TPoint> points);
  void Polyline(std::initializer_list<TPoint> points) { Polyline(std::span(points.begin(), points.size())); }
  // Fills with the brush (nothing for a clear brush).
  void FillRect(const TRect& rect);
  // A one-pixel frame in the brush.
  void FrameRect(const TRect& rect);

  // Draws graphic with its top-left corner at (x, y) at its own size; stretches it
  // into rect. A null or empty graphic draws nothing.
  void Draw(Integer x, Integer y, TGraphic* graphic);
  void StretchDraw(const TRect& rect, TGraphic* graphic);
  // Copies source of canvas into dest of this canvas (stretching) with CopyMode.
  void CopyRect(const TRect& dest, TCanvas* canvas, const TRect& source);

  // The text with its top-left corner at (x, y) in the font; behind it the brush's
  // colour when the brush is solid, nothing otherwise. The pen position moves to the
  // end of the text.
  void TextOut(Integer x, Integer y, const AnsiString& text);
  // The same at (x, y), clipped to rect; unless the brush is clear, rect is filled
  // with the background colour first. The pen position stays.
  void TextRect(const TRect& rect, Integer x, Integer y, const AnsiString& text);
  TSize TextExtent(const AnsiString& text);
  Integer TextWidth(const AnsiString& text) { return TextExtent(text).cx; }
  Integer TextHeight(const AnsiString& text) { return TextExtent(text).cy; }

  // Takes the canvas for the calling thread (waits while another thread holds it);
  // the holder may lock again. Every Lock needs an Unlock.
  void Lock();
  void Unlock();
  // Takes the canvas when nobody else holds it; answers whether it did.
  bool TryLock();
  Integer GetLockCount() const noexcept { return lockCount_.load(); }

  // Takes the tools out of the DC; they are selected again at the next drawing call.
  void Refresh();

  TNotifyEvent OnChange;
  TNotifyEvent OnChanging;

 protected:
  enum StateBit : Byte { csHandleValid = 1, csPenValid = 2, csBrushValid = 4, csFontValid = 8 };

  virtual void Changing();
  virtual void Changed();
  // Asked for a DC when the canvas has none; the default does nothing.
  virtual void CreateHandle() {}
  // Makes sure the DC exists and the tools named in state are selected into it.
  void RequiredState(Byte state);
  // Puts the DC's own stock tools back and forgets what was selected.
  void DeselectHandles();

 private:
  HDC handle_ = 0;
  Byte state_ = 0;
  std::unique_ptr<TPen> pen_;
  std::unique_ptr<TBrush> brush_;
  std::unique_ptr<TFont> font_;
  TCopyMode copyMode_ = cmSrcCopy;
  CRITICAL_SECTION lock_;
  std::atomic<Integer> lockCount_{0};
};

// ---------------------------------------------------------------------------------
// Pictures.

// A picture that can be drawn, loaded and saved. Changed sets Modified and fires
// OnChange.
class TGraphic : public TPersistent {
 public:
  LARK_CLASS_NAME(TGraphic)
  TGraphic() = default;
  TGraphic(const TGraphic&) = delete;
  TGraphic& operator=(const TGraphic&) = delete;

  virtual bool GetEmpty() const = 0;
  virtual Integer GetWidth() const = 0;
  virtual void SetWidth(Integer value) = 0;
  virtual Integer GetHeight() const = 0;
  virtual void SetHeight(Integer value) = 0;
  virtual HPALETTE GetPalette() { return 0; }
  virtual void SetPalette(HPALETTE) {}
  virtual bool GetTransparent() const { return transparent_; }
  virtual void SetTransparent(bool value);
  bool GetModified() const noexcept { return modified_; }
  // True fires Changed; false only clears the flag.
  void SetModified(bool value);

  // Reads the picture from the stream's position; a bad picture raises EInvalidGraphic
  // and leaves the old picture in place.
  virtual void LoadFromStream(TStream* stream) = 0;
  virtual void SaveToStream(TStream* stream) = 0;
  void LoadFromFile(const AnsiString& fileName);
  void SaveToFile(const AnsiString& fileName);

  // A new empty picture of the same class.
  virtual std::unique_ptr<TGraphic> NewEmpty() const = 0;

  TNotifyEvent OnChange;

 protected:
  friend class TCanvas;
  virtual void Changed(TObject* sender);
  // Draws the picture stretched into rect of canvas.
  virtual void Draw(TCanvas* canvas, const TRect& rect) = 0;

  bool modified_ = false;
  bool transparent_ = false;
};

enum class TPixelFormat : Byte { pfDevice, pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit, pf32bit, pfCustom };
using enum TPixelFormat;

enum class TBitmapHandleType : Byte { bmDIB, bmDDB };
using enum TBitmapHandleType;

enum class TTransparentMode : Byte { tmAuto, tmFixed };
using enum TTransparentMode;

class TBitmapCanvas;

// A bitmap in memory: a bottom-up DIB section in one of the pixel formats.
//
// A new bitmap is device-dependent (HandleType bmDDB, PixelFormat pfDevice): its
// pixels have the screen's depth. Setting PixelFormat to anything else makes it a
// DIB of that format and converts the pixels (a palettised target keeps a smaller
// source colour table, else takes the standard table of its depth: black and white,
// the 16 VGA colours, or the 256 standard colours; each pixel takes the nearest
// entry). HandleType only switches what PixelFormat reports: the pixels stay.
// Width and Height keep the top-left overlap; new pixels are zero. The address
// ScanLine gives stays valid until the size or format changes.
class TBitmap : public TGraphic {
 public:
  LARK_CLASS_NAME(TBitmap)
  // Bitmaps larger than this many pixels are refused (EOutOfResources).
  static constexpr Int64 kMaxPixels = Int64{1} << 28;

  TBitmap();
  ~TBitmap() override;

  void Assign(TPersistent* source) override;
  std::unique_ptr<TGraphic> NewEmpty() const override { return std::make_unique<TBitmap>(); }

  bool GetEmpty() const override { return width_ == 0 || height_ == 0; }
  Integer GetWidth() const override { return width_; }
  void SetWidth(Integer value) override { SetSize(value, height_); }
  Integer GetHeight() const override { return height_; }
  void SetHeight(Integer value) override { SetSize(width_, value); }
  // Both at once; negative sizes raise EInvalidGraphic.
  void SetSize(Integer width, Integer height);

  TPixelFormat GetPixelFormat() const;
  // pfDevice makes the bitmap device-dependent at the screen's depth (a monochrome
  // one stays 1 bit); pfCustom raises EInvalidGraphic.
  void SetPixelFormat(TPixelFormat value);
  TBitmapHandleType GetHandleType() const noexcept { return handleType_; }
  void SetHandleType(TBitmapHandleType value);
  // 1 bit per pixel with black and white as its colours.
  bool GetMonochrome() const;
  // True converts to 1 bit in black and white; false turns a monochrome bitmap into
  // one of the screen's depth.
  void SetMonochrome(bool value);
  // For 1, 4 and 8 bits: a palette of the colour table, owned by the bitmap (a new
  // handle after the table changes). Other depths answer the palette last given, or 0.
  HPALETTE GetPalette() override;
  // Takes ownership of value. At 1, 4 and 8 bits its entries replace the first ones
  // of the colour table (the pixels keep their indexes) and the handle is deleted;
  // other depths keep it as it is.
  void SetPalette(HPALETTE value) override;
  bool GetIgnorePalette() const noexcept { return ignorePalette_; }
  void SetIgnorePalette(bool value) { ignorePalette_ = value; }

  // The DIB section (0 while empty), owned by the bitmap.
  HBITMAP GetHandle() const noexcept { return dib_; }
  // Takes ownership of a bitmap made elsewhere (a DIB section or a device-dependent
  // bitmap) and of its pixels; 0 empties the bitmap.
  void SetHandle(HBITMAP value);
  // Hands the DIB section to the caller, who then deletes it; the bitmap is left
  // empty with its format.
  HBITMAP ReleaseHandle();
  // Kept for the framework's call order: the pixels are kept either way.
  void Dormant() {}
  void FreeImage() {}

  // Row `row` of the picture, row 0 at the top. EInvalidGraphicOperation for a row
  // outside the bitmap.
  void* ScanLine(Integer row);
  TCanvas* GetCanvas();
  bool HandleAllocated() const noexcept { return dib_ != 0; }

  // tmAuto: the colour of the bottom-left pixel; tmFixed: the colour given.
  TColor GetTransparentColor();
  // clDefault switches to tmAuto, any other colour to tmFixed.
  void SetTransparentColor(TColor value);
  TTransparentMode GetTransparentMode() const noexcept { return transparentMode_; }
  void SetTransparentMode(TTransparentMode value);

  // A BMP file: BITMAPFILEHEADER, a BITMAPINFOHEADER (or an older or newer header
  // when reading), the colour table or masks, and the rows. Reading takes 1, 4, 8,
  // 16, 24 and 32 bits, RLE4, RLE8 and bit fields, bottom-up or top-down; an empty
  // stream gives an empty bitmap. Writing stores the bitmap's own depth (5-6-5 with
  // bit fields for pf16bit); an empty bitmap writes nothing.
  void LoadFromStream(TStream* stream) override;
  void SaveToStream(TStream* stream) override;

  static Integer RowBytesFor(Integer width, Integer bitCount) {
    return static_cast<Integer>(((static_cast<Int64>(width) * bitCount + 31) / 32) * 4);
  }

 protected:
  void Draw(TCanvas* canvas, const TRect& rect) override;

 private:
  friend class TBitmapCanvas;
  friend class TIcon;

  // The storage format without pixels: depth, 5-6-5 at 16 bits, colour table.
  struct Format {
    Integer bitCount = 32;
    bool rgb565 = false;
    std::vector<RGBQUAD> colors;
  };
  Format CurrentFormat() const { return Format{bitCount_, rgb565_, colors_}; }
  // The format PixelFormat asks for, with the colour table chosen for the pixels held.
  Format TargetFormat(Integer bitCount, bool rgb565) const;
  // Replaces the pixels with a new section of format and size: the old pixels are
  // converted (same size) or copied over the top-left overlap (same format).
  void Reshape(const Format& format, Integer width, Integer height, bool convert);
  void ReplaceSection(HBITMAP dib, Byte* bits, const Format& format, Integer width, Integer height);
  // Takes other's pixels and format; other is left empty.
  void TakeImage(TBitmap& other);
  // The BITMAPINFO of a format and size, with room for the colour table or masks.
  static std::vector<Byte> MakeInfo(const Format& format, Integer width, Integer height);
  // Replaces entries of the colour table from start (those past its end are dropped).
  void SetColorTable(const RGBQUAD* entries, Integer count, Integer start);
  Integer RowBytes() const noexcept { return RowBytesFor(width_, bitCount_); }
  void FreePalette();
  // Draws through a mask of the pixels in the transparent colour.
  void DrawTransparent(TCanvas* canvas, const TRect& rect);

  // Packed DIBs, the body of BMP and ICO files. ReadDib reads the header and colour
  // table at the stream's position and the pixels at bitsOffset (-1: right after the
  // table) into this bitmap; icon halves the height and asks for bottom-up rows.
  // Nothing is read beyond limit. Bad data raises EInvalidGraphic.
  void ReadDib(TStream* stream, Int64 bitsOffset, Int64 limit, bool icon);
  // The BITMAPINFOHEADER (with heightField as biHeight and extraBytes added to
  // biSizeImage), the colour table or masks; then the rows, bottom row first.
  void WriteDibHeader(TStream* stream, Integer heightField, DWORD extraBytes) const;
  Integer DibHeaderSize() const;
  void WriteDibBits(TStream* stream) const;

  HBITMAP dib_ = 0;
  Byte* bits_ = nullptr;  // the bottom row first
  Integer width_ = 0;
  Integer height_ = 0;
  Integer bitCount_ = 32;
  bool rgb565_ = false;
  std::vector<RGBQUAD> colors_;
  TBitmapHandleType handleType_ = bmDDB;
  HPALETTE palette_ = 0;
  bool ignorePalette_ = false;
  TColor transparentColor_ = clDefault;
  TTransparentMode transparentMode_ = tmAuto;
  std::unique_ptr<TBitmapCanvas> canvas_;
};

// The canvas of a TBitmap: a memory DC holding the bitmap's DIB section. Drawing on
// it marks the bitmap modified and fires its OnChange.
class TBitmapCanvas : public TCanvas {
 public:
  LARK_CLASS_NAME(TBitmapCanvas)
  explicit TBitmapCanvas(TBitmap* bitmap) : bitmap_(bitmap) {}
  ~TBitmapCanvas() override;

 protected:
  void CreateHandle() override;
  void Changed() override;

 private:
  friend class TBitmap;
  // Takes the bitmap's section out of the DC before the bitmap replaces it, and puts
  // the new one in after.
  void DeselectBitmap();
  void SelectBitmap();

  TBitmap* bitmap_;
  HDC dc_ = 0;
  HBITMAP oldBitmap_ = 0;
};

// An icon: a colour image and a mask, held as an HICON. Icons are always drawn
// transparently (through the mask); their size cannot be changed.
class TIcon : public TGraphic {
 public:
  LARK_CLASS_NAME(TIcon)
  // Sizes above this (the largest an .ico entry can state) are refused.
  static constexpr Integer kMaxSize = 256;

  TIcon() = default;
  ~TIcon() override;

  void Assign(TPersistent* source) override;
  std::unique_ptr<TGraphic> NewEmpty() const override { return std::make_unique<TIcon>(); }

  bool GetEmpty() const override { return handle_ == 0; }
  Integer GetWidth() const override { return width_; }
  Integer GetHeight() const override { return height_; }
  // EInvalidGraphicOperation "Cannot change the size of an icon".
  void SetWidth(Integer value) override;
  void SetHeight(Integer value) override;
  bool GetTransparent() const override { return true; }

  HICON GetHandle() const noexcept { return handle_; }
  // Takes ownership of value (0 empties the icon).
  void SetHandle(HICON value);
  // Hands the icon to the caller, who then destroys it; the icon is left empty.
  HICON ReleaseHandle();
  bool HandleAllocated() const noexcept { return handle_ != 0; }

  // An .ico file. Reading takes the first image of the directory (1, 4, 8, 24 or 32
  // bits, a colour image over an AND mask; a 32-bit image's clear pixels are
  // transparent too); writing stores one image at the colour bitmap's depth (24 for
  // 16). An empty icon writes nothing.
  void LoadFromStream(TStream* stream) override;
  void SaveToStream(TStream* stream) override;

 protected:
  void Draw(TCanvas* canvas, const TRect& rect) override;

 private:
  void Replace(HICON value);

  HICON handle_ = 0;
  Integer width_ = 0;
  Integer height_ = 0;
};

// Holds one graphic (a TBitmap or a TIcon) and fires OnChange when it is replaced or
// changes.
class TPicture : public TPersistent {
 public:
  LARK_CLASS_NAME(TPicture)
  TPicture() = default;
  ~TPicture() override;
  TPicture(const TPicture&) = delete;
  TPicture& operator=(const TPicture&) = delete;

  void Assign(TPersistent* source) override;

  // The graphic held, or null.
  TGraphic* GetGraphic() const noexcept { return graphic_.get(); }
  // Holds a copy of value (null empties the picture).
  void SetGraphic(TGraphic* value);
  // The graphic as a bitmap; when it is something else, it is replaced by a new
  // empty bitmap first.
  TBitmap* GetBitmap();
  void SetBitmap(TBitmap* value) { SetGraphic(value); }
  // The same for icons.
  TIcon* GetIcon();
  void SetIcon(TIcon* value) { SetGraphic(value); }
  Integer GetWidth() const { return graphic_ ? graphic_->GetWidth() : 0; }
  Integer GetHeight() const { return graphic_ ? graphic_->GetHeight() : 0; }

  // Chooses the graphic by the file's extension (.bmp, .ico; EInvalidGraphic
  // "Unknown picture file extension (.xyz)" for others) and loads it. On failure the
  // picture keeps what it held.
  void LoadFromFile(const AnsiString& fileName);
  // Saves the graphic held (nothing when empty).
  void SaveToFile(const AnsiString& fileName);

  TNotifyEvent OnChange;

 protected:
  void AssignTo(TPersistent* dest) override;
  virtual void Changed(TObject* sender);

 private:
  void Hold(std::unique_ptr<TGraphic> graphic);

  std::unique_ptr<TGraphic> graphic_;
};
