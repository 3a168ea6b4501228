// What the GDI sources share: the object table, surfaces and their pixel codecs,
// regions, device contexts and the drawing core. Not for use outside platform/win
// and platform/sim.
#pragma once

#include <climits>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/win/Gdi.h"

namespace gdi {

// Colours inside GDI are 0x00RRGGBB (a 32-bit pixel's value); COLORREF is 0x00BBGGRR.
inline uint32_t RgbOf(COLORREF c) {
  return ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
}
inline COLORREF ColorRefOf(uint32_t rgb) {
  return ((rgb & 0xFF) << 16) | (rgb & 0xFF00) | ((rgb >> 16) & 0xFF);
}
inline uint32_t RgbOf(const RGBQUAD& q) {
  return (uint32_t{q.rgbRed} << 16) | (uint32_t{q.rgbGreen} << 8) | q.rgbBlue;
}

// ---------------------------------------------------------------------------------
// Surfaces.

struct FreeDeleter {
  void operator()(uint8_t* p) const { std::free(p); }
};

// A block of pixels. Row y (0 = top) starts at Row(y); rows are Stride bytes apart.
struct Surface {
  Integer Width = 0;
  Integer Height = 0;
  Integer Bpp = 0;
  Integer Stride = 0;        // bytes per row, padded to 32 bits
  bool TopDown = false;      // row order in memory
  uint8_t* Bits = nullptr;   // the block (first row in memory)
  std::unique_ptr<uint8_t, FreeDeleter> Owned;  // empty for views of caller memory
  RGBQUAD Colors[256] = {};
  Integer NumColors = 0;     // palettised depths; 0 otherwise
  DWORD Masks[3] = {0, 0, 0};  // red, green, blue for 16 and 32 bits
  bool Monochrome = false;   // a 1-bit DDB: 0 black, 1 white, text/background rules

  uint8_t* Row(Integer y) const {
    return Bits + static_cast<ptrdiff_t>(TopDown ? y : Height - 1 - y) * Stride;
  }
  size_t ByteSize() const { return static_cast<size_t>(Stride) * static_cast<size_t>(Height); }
  // Bits a pixel value may hold (the colour bits for 16 and 32).
  uint32_t ValueMask() const;
};

// Row length of a 32-bit padded row; -1 when it does not fit 31 bits.
int64_t RowBytes(int64_t width, int64_t bpp);
// Allocates a zeroed block (64-byte aligned) for the surface's size; false when the
// size is out of range or memory is short.
bool AllocateSurface(Surface& s, Integer width, Integer height, Integer bpp, bool topDown);
// Default masks: 5-5-5 for 16 bits, 8-8-8 for 24 and 32.
void SetDefaultMasks(Surface& s);
// Deep copy (own block).
std::shared_ptr<Surface> CopySurface(const Surface& s);
// The standard colour tables: black/white, 16 VGA colours, the 256-entry table.
void SetStandardColors(Surface& s);
const RGBQUAD* StandardColors(Integer bpp, Integer* count);

// Reads the header of a packed DIB and builds a view of its bits (no copy). The
// colour table is read from info (DIB_PAL_COLORS resolves through palette, which
// may be null for the default palette). false on a bad header.
struct PaletteObj;
bool DibView(const BITMAPINFO* info, const void* bits, UINT usage, const PaletteObj* palette,
             Surface& view);
// Byte size of the colour table (or masks) after the header, and the count of entries.
bool DibColorTableSize(const BITMAPINFOHEADER& h, size_t* bytes, Integer* entries);

// Raw pixel values of a row segment, and back. No bounds checks: callers clip.
void ReadValues(const Surface& s, Integer y, Integer x0, Integer n, uint32_t* out);
void WriteValues(Surface& s, Integer y, Integer x0, Integer n, const uint32_t* in);

// The colour a surface's pixel value stands for (a monochrome DDB as black/white).
uint32_t DecodeColor(const Surface& s, uint32_t value);
// The value of the surface's nearest colour.
uint32_t EncodeNearest(const Surface& s, uint32_t rgb);
// Nearest entry of a table: smallest squared distance, first on a tie.
Integer NearestIndex(const RGBQUAD* colors, Integer count, uint32_t rgb);

// Converts colours to a surface's values, caching nearest-entry searches.
class ColorEncoder {
 public:
  explicit ColorEncoder(const Surface& dest);
  uint32_t operator()(uint32_t rgb);
  // In place allowed.
  void EncodeRow(const uint32_t* rgb, uint32_t* out, Integer n);

 private:
  const Surface& dest_;
  Integer shifts_[3] = {0, 0, 0};
  Integer bits_[3] = {0, 0, 0};
  std::vector<uint64_t> cache_;  // (rgb << 8 | index) + 1, 0 = empty
};

// Colour of a value, per source format (lookup table for palettised sources).
class ColorDecoder {
 public:
  // monoText/monoBack: what a monochrome DDB's 0 and 1 become (rgb), when given.
  ColorDecoder(const Surface& src, std::optional<uint32_t> monoText, std::optional<uint32_t> monoBack);
  uint32_t operator()(uint32_t value) const;
  // In place allowed.
  void DecodeRow(const uint32_t* values, uint32_t* out, Integer n) const;

 private:
  const Surface& src_;
  bool lut_ = false;
  uint32_t table_[256] = {};
  Integer shifts_[3] = {0, 0, 0};
  Integer bits_[3] = {0, 0, 0};
};

// Channel helpers for mask formats.
void MaskShiftBits(DWORD mask, Integer* shift, Integer* bits);
inline uint32_t Widen(uint32_t c, Integer bits) {
  if (bits >= 8) return c >> (bits - 8);
  if (bits <= 0) return 0;
  uint32_t v = c << (8 - bits);
  for (Integer have = bits; have < 8; have += bits) v |= v >> bits;
  return v & 0xFF;
}

// ---------------------------------------------------------------------------------
// Regions: horizontal bands of sorted, disjoint spans, [x0, x1) x [Top, Bottom).

struct Span {
  Integer X0 = 0;
  Integer X1 = 0;
  bool operator==(const Span&) const = default;
};
struct Band {
  Integer Top = 0;
  Integer Bottom = 0;
  std::vector<Span> Spans;
};

class Region {
 public:
  Region() = default;
  static Region FromRect(Integer left, Integer top, Integer right, Integer bottom);
  // Rows of spans, one row per y from firstY (empty rows allowed).
  static Region FromRows(Integer firstY, const std::vector<std::vector<Span>>& rows);
  static Region Combine(const Region& a, const Region& b, Integer mode);

  bool Empty() const { return bands_.empty(); }
  Integer Kind() const;
  RECT Box() const;
  bool Contains(Integer x, Integer y) const;
  void Offset(Integer dx, Integer dy);
  // The band holding row y, or nullptr.
  const Band* BandAt(Integer y) const;
  const std::vector<Band>& Bands() const { return bands_; }

 private:
  void Append(Integer top, Integer bottom, std::vector<Span> spans);
  std::vector<Band> bands_;
};

// Pixel spans of a polygon (centres inside), one row per y from *firstY.
// Only rows in [clipTop, clipBottom) are made.
std::vector<std::vector<Span>> PolygonRows(const POINT* points, Integer count, Integer fillMode,
                                           Integer* firstY, Integer clipTop = INT32_MIN,
                                           Integer clipBottom = INT32_MAX);

// ---------------------------------------------------------------------------------
// Objects.

enum class Kind : uint8_t { Bitmap, Pen, Brush, Font, Region, Palette, DC, Icon, DrawDib };

struct Object {
  Kind ObjKind;
  HGDIOBJ Handle = 0;
  bool Stock = false;
  Integer SelectCount = 0;      // current selections in DCs
  bool DeletePending = false;   // deleted while selected
  explicit Object(Kind k) : ObjKind(k) {}
  virtual ~Object() = default;
};

struct BitmapObj : Object {
  BitmapObj() : Object(Kind::Bitmap) {}
  std::shared_ptr<Surface> Surf;
  bool IsDIB = false;
  HDC SelectedIn = 0;
};

struct PenObj : Object {
  PenObj() : Object(Kind::Pen) {}
  UINT Style = PS_SOLID;
  Integer Width = 1;
  COLORREF Color = 0;
};

struct BrushObj : Object {
  BrushObj() : Object(Kind::Brush) {}
  UINT Style = BS_SOLID;
  COLORREF Color = 0;
  Integer Hatch = 0;
  Integer SysColor = -1;          // follows GetSysColor(SysColor) when >= 0
  HBITMAP PatternHandle = 0;      // as given, for GetObject
  std::shared_ptr<Surface> Pattern;
  COLORREF CurrentColor() const;
};

class RealFont;
struct FontObj : Object {
  FontObj() : Object(Kind::Font) {}
  LOGFONT Log;
  // The face realised for Log under the font engine RealEngine (and, for outline
  // faces of the default height, the screen's resolution RealDpi), made on first
  // use (Gdi_text.cpp); fonts are shared between threads, hence the lock.
  mutable std::mutex RealLock;
  mutable std::shared_ptr<const RealFont> Real;
  mutable int RealEngine = -1;
  mutable Integer RealDpi = 0;
};

struct PaletteObj : Object {
  PaletteObj() : Object(Kind::Palette) {}
  std::vector<PALETTEENTRY> Entries;
};

struct RegionObj : Object {
  RegionObj() : Object(Kind::Region) {}
  Region Rgn;
};

struct IconObj : Object {
  IconObj() : Object(Kind::Icon) {}
  bool IsIcon = true;
  DWORD HotX = 0;
  DWORD HotY = 0;
  std::shared_ptr<BitmapObj> Mask;   // private copies, not in the table
  std::shared_ptr<BitmapObj> Color;  // may be null (monochrome icon)
};

struct DCState {
  std::shared_ptr<BitmapObj> Bitmap;
  std::shared_ptr<PenObj> Pen;
  std::shared_ptr<BrushObj> Brush;
  std::shared_ptr<FontObj> Font;
  std::shared_ptr<PaletteObj> Palette;
  COLORREF TextColor = 0;
  COLORREF BkColor = 0xFFFFFF;
  Integer BkMode = OPAQUE;
  Integer Rop2 = R2_COPYPEN;
  Integer StretchMode = BLACKONWHITE;
  Integer PolyFillMode = ALTERNATE;
  UINT TextAlign = 0;
  POINT Pos;
  POINT WindowOrg;
  POINT ViewportOrg;
  POINT BrushOrg;
  // Where device (0, 0) lies on the surface: the window's origin for a DC of a window
  // (a view of its top-level window's surface), (0, 0) otherwise. Not saved.
  POINT DevOrg;
  // The clip on the surface (device coordinates plus DevOrg); none = everything. For a
  // window's DC it always holds the window's visible region, and what the program
  // selected on top of it.
  std::optional<Region> Clip;
  bool AppClip = false;  // the program selected or changed a clip region
};

// What GetDeviceCaps answers for a DC that stands for a printer's page.
struct PrinterCaps {
  Integer Width = 0;   // HORZRES, in device pixels
  Integer Height = 0;  // VERTRES
  Integer DpiX = 0;    // LOGPIXELSX
  Integer DpiY = 0;    // LOGPIXELSY
};

struct DCObj : Object {
  DCObj() : Object(Kind::DC) {}
  bool Screen = false;
  // Set for a printer's DC (CreatePrinterDC); the screen's answers otherwise.
  std::optional<PrinterCaps> Printer;
  // A DC of a window: the window, the surface it draws on and the part of it the
  // window may draw on (surface coordinates).
  HWND Window = 0;
  std::shared_ptr<BitmapObj> Fixed;
  std::optional<Region> SysClip;
  DCState St;
  std::vector<DCState> Saved;
  // The surface drawn on (the screen's current one for a screen DC).
  std::shared_ptr<BitmapObj> Target() const;
};

// The object table. Lookups answer null for an unknown handle or another kind.
std::recursive_mutex& TableLock();
HGDIOBJ AddObject(std::shared_ptr<Object> obj);
std::shared_ptr<Object> FindObject(HGDIOBJ h);
template <class T>
std::shared_ptr<T> Find(HGDIOBJ h, Kind k) {
  auto o = FindObject(h);
  if (!o || o->ObjKind != k) return nullptr;
  return std::static_pointer_cast<T>(o);
}
inline std::shared_ptr<DCObj> FindDC(HDC h) { return Find<DCObj>(h, Kind::DC); }
inline std::shared_ptr<BitmapObj> FindBitmap(HBITMAP h) { return Find<BitmapObj>(h, Kind::Bitmap); }
void RemoveObject(HGDIOBJ h);
// Selection bookkeeping (under the table lock): counts and deferred deletes.
void AddSelection(const std::shared_ptr<Object>& o);
void DropSelection(const std::shared_ptr<Object>& o);
void SelectInitial(DCObj& dc);
void DropAllSelections(DCState& st);

// A font object for a LOGFONT (Gdi_text.cpp).
std::shared_ptr<FontObj> MakeFont(const LOGFONT& lf);

// Stock objects.
std::shared_ptr<BitmapObj> StockBitmap();
std::shared_ptr<Object> StockObject(Integer index);

// DCs of the screen and of windows (Gdi_dc.cpp). A window DC draws on surface at
// origin, clipped to visible (surface coordinates).
HDC NewScreenDC();
HDC NewWindowDC(HWND hWnd, std::shared_ptr<BitmapObj> surface, POINT origin, Region visible);
// A 32-bit top-down surface bitmap for a top-level window (not in the object table).
std::shared_ptr<BitmapObj> NewWindowSurface(Integer width, Integer height);

// The virtual screen and the system's tables (Gdi_system.cpp; set through sim).
struct ScreenInfo {
  Integer Width = 1024;
  Integer Height = 768;
  Integer Bpp = 32;
  Integer DpiX = 96;
  Integer DpiY = 96;
};
std::shared_ptr<BitmapObj> ScreenBitmap();
ScreenInfo CurrentScreen();
bool SetScreen(Integer width, Integer height, Integer bpp);
// Moves the screen's top-left to (x, y) in screen coordinates (the virtual screen's
// origin); false when the display refuses.
bool SetScreenOrigin(Integer x, Integer y);
// The metrics of the screen's size and origin (SM_CXSCREEN, SM_XVIRTUALSCREEN and
// their kin) taken from the display backend's mode: called when a backend is
// installed and when its screen changes size.
void FollowScreenMode();
void SetDpi(Integer x, Integer y);
void SetSysColorValue(Integer index, COLORREF color);
void SetMetric(Integer index, Integer value);
void ResetSystem();
const RGBQUAD* DefaultPaletteColors();  // the 20 static colours

// ---------------------------------------------------------------------------------
// The drawing core.

// Logical to surface coordinates (device coordinates moved by the DC's origin on the
// surface).
inline POINT ToDevice(const DCState& st, Integer x, Integer y) {
  return POINT{x - st.WindowOrg.x + st.ViewportOrg.x + st.DevOrg.x,
               y - st.WindowOrg.y + st.ViewportOrg.y + st.DevOrg.y};
}
// A COLORREF (PALETTEINDEX resolved through the DC's palette) as rgb.
uint32_t ResolveColor(const DCState& st, COLORREF c);

// Clipping against the surface and the DC's clip region.
class Clipper {
 public:
  Clipper(const Surface& s, const std::optional<Region>& clip);
  // Calls f(x0, x1) for the visible parts of [x0, x1) on row y.
  template <class F>
  void ForSpans(Integer y, Integer x0, Integer x1, F&& f) const {
    if (y < 0 || y >= height_) return;
    if (x0 < 0) x0 = 0;
    if (x1 > width_) x1 = width_;
    if (x0 >= x1) return;
    if (!clip_) {
      f(x0, x1);
      return;
    }
    const Band* b = clip_->BandAt(y);
    if (!b) return;
    for (const Span& sp : b->Spans) {
      Integer a = sp.X0 > x0 ? sp.X0 : x0;
      Integer e = sp.X1 < x1 ? sp.X1 : x1;
      if (a < e) f(a, e);
    }
  }
  bool Visible(Integer x, Integer y) const;

 private:
  Integer width_;
  Integer height_;
  const Region* clip_;
};

// Ternary raster operations on rows of pixel values. p, s or d may be null when
// the operation does not read them; out may alias d.
bool RopUsesPattern(Byte index);
bool RopUsesSource(Byte index);
bool RopUsesDest(Byte index);
uint32_t Rop3Word(Byte index, uint32_t p, uint32_t s, uint32_t d);
void Rop3Row(Byte index, const uint32_t* p, const uint32_t* s, const uint32_t* d, uint32_t* out,
             Integer n);
// The ternary index that applies a pen mix (R2_*) as pattern over destination.
Byte Rop2ToRop3(Integer rop2);

// Fills pattern values for n pixels from device (x, y); mask[i] = 0 where a
// transparent hatch leaves the destination (mask may be null when not needed;
// answers whether any pixel is masked).
bool BrushRow(const DCState& st, const BrushObj& brush, const Surface& dest, ColorEncoder& enc,
              Integer x, Integer y, Integer n, uint32_t* values, uint8_t* mask);

// Fills device rectangle [x0, x1) x [y0, y1) with the brush by rop3 (clipped).
void FillDeviceRect(DCObj& dc, const BrushObj& brush, Integer x0, Integer y0, Integer x1,
                    Integer y1, Byte rop3);
// Fills device spans (row y from firstY) with the brush by rop3 (clipped).
void FillDeviceRows(DCObj& dc, const BrushObj& brush, Integer firstY,
                    const std::vector<std::vector<Span>>& rows, Byte rop3);

// The general blit: source rectangle of src (top-origin rows) to the destination
// rectangle in device coordinates; sizes may be negative (mirror). srcDC supplies the
// background colour for colour-to-1-bit conversion (null: nearest colour instead).
void Blit(DCObj& dest, Integer dx, Integer dy, Integer dw, Integer dh, const Surface* src,
          const DCState* srcDC, Integer sx, Integer sy, Integer sw, Integer sh, DWORD rop,
          Integer stretchMode);

}  // namespace gdi
