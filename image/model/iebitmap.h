// The pixel stores of the image library.
//
// TIEBaseBitmap is what the generic workers take: rows and sizes. TIEBitmap is the
// store every reader, writer, worker and view works on; TIEDibbitmap is a 1- or
// 24-bit DIB section with its own memory DC (drawn into with GDI calls);
// TIEWorkBitmap is a plain typed buffer for the intermediate planes of the filters.
//
// Row 0 is always the top row of the picture. Rows are padded to 32 bits; where they
// live depends on the store:
//   ieMemory   one heap block, bottom-up: row r at Memory + (Height - r - 1) x RowLen;
//   ieFile     a mapped temporary file, top-down: row r at file offset r x RowLen;
//   ieTBitmap  inside a framework TBitmap, through a table of its scan lines.
// Pixels: ie1g packed most significant bit first, 1 = white; ie8p an index into a
// 256-entry palette; ie8g a grey level; ie16g a little-endian grey word; ie24RGB one
// TRGB (blue, green, red).
//
// Hot loops fetch a row address once per row (GetScanLine) and walk raw pointers.
// In file storage an address from GetScanLine stays valid only until the next
// GetScanLine on the same store; a caller that needs two rows of one store at once
// takes them with GetRow and gives each back with FreeRow.
#pragma once

#include <cstddef>
#include <memory>
#include <vector>

#include "image/model/iedefs.h"
#include "platform/rtl/Component.h"
#include "platform/rtl/Types.h"
#include "platform/vcl/Geometry.h"
#include "platform/win/Gdi.h"

class TBitmap;  // platform/vcl/Graphics.h
class TCanvas;
class TIEMask;
class TIEDibbitmap;
class TIEMemoryMapped;  // ieutils.h

// ===========================================================================
// The abstract store

class TIEBaseBitmap : public TObject {
 public:
  LARK_CLASS_NAME(TIEBaseBitmap)
  // The address of the first byte of a row (row 0 at the top).
  virtual void* GetScanLine(Integer row) = 0;
  // The same for reading, on a store held as const.
  virtual const void* GetScanLine(Integer row) const = 0;
  virtual Integer GetBitCount() const = 0;
  virtual Integer GetHeight() const = 0;
  virtual Integer GetWidth() const = 0;
  virtual TIEPixelFormat GetPixelFormat() const = 0;
  virtual Integer GetRowLen() const = 0;
  virtual void Allocate(Integer width, Integer height, TIEPixelFormat format) = 0;
  virtual void Assign(TObject* source) = 0;
};

// ===========================================================================
// The pixel store

class TIEBitmap : public TIEBaseBitmap {
 public:
  LARK_CLASS_NAME(TIEBitmap)

  // An empty store (0 x 0, ienull) that asks for file storage, so an image goes to a
  // file exactly when it is larger than MemoryLimit: half of the free physical memory
  // (at most 4 GB - 1), or 32 MiB when that cannot be told.
  TIEBitmap();
  // An alpha plane: ie8g of the given size filled with 255 (Full), IsAlphaChannel
  // set; ieTBitmap is taken as ieMemory.
  TIEBitmap(Integer width, Integer height, TIELocation location);
  ~TIEBitmap() override;
  TIEBitmap(const TIEBitmap&) = delete;
  TIEBitmap& operator=(const TIEBitmap&) = delete;

  // --- TIEBaseBitmap
  void* GetScanLine(Integer row) final {
    if (location_ == ieMemory)
      return memory_.get() + static_cast<size_t>(height_ - row - 1) * static_cast<size_t>(rowLen_);
    if (location_ == ieTBitmap) return scanLines_[static_cast<size_t>(row)];
    return FileScanLine(row);
  }
  // In file storage this moves the mapped window too (as the other does), so the
  // address stays valid only until the next GetScanLine on the store.
  const void* GetScanLine(Integer row) const final {
    if (location_ == ieMemory)
      return memory_.get() + static_cast<size_t>(height_ - row - 1) * static_cast<size_t>(rowLen_);
    if (location_ == ieTBitmap) return scanLines_[static_cast<size_t>(row)];
    return FileScanLine(row);
  }
  Integer GetBitCount() const final { return bitCount_; }
  Integer GetHeight() const final { return height_; }
  Integer GetWidth() const final { return width_; }
  TIEPixelFormat GetPixelFormat() const final { return pixelFormat_; }
  Integer GetRowLen() const final { return rowLen_; }
  // Frees the image with its palette and alpha plane (a framework bitmap, adopted or
  // owned, is reshaped in place instead) and allocates width x height pixels of format; contents are zero. Negative sizes
  // count as 0; a size of 0 or ienull allocates nothing. A row or block too large to
  // hold raises EOutOfMemory and leaves the store empty.
  void Allocate(Integer width, Integer height, TIEPixelFormat format) final;
  // A TIEBitmap: size, format, pixels, palette, Full, alpha plane (unless this store
  // is an alpha plane) and DefaultDitherMethod. A framework TBitmap: CopyFromTBitmap.
  // Anything else, and the store itself, changes nothing.
  void Assign(TObject* source) final;

  // --- Storage
  // The allocation rule for the current Width, Height and PixelFormat: ieFile turns
  // into ieMemory below MemoryLimit, ieMemory into ieFile above it (equal keeps the
  // request); a file that cannot be made puts the rows in memory.
  void AllocateImage();
  // Frees pixels, palette, alpha plane, views, the temporary file and an owned
  // framework bitmap (an adopted one is forgotten, not freed). Sizes become 0;
  // PixelFormat, Location, IsAlphaChannel, DefaultDitherMethod and MemoryLimit stay.
  void FreeImage();
  // Moves the pixels to another kind of storage (pixels, palette and alpha plane
  // kept). ie16g moved into a framework bitmap becomes ie8g by its high byte. When
  // the new storage cannot be had, EOutOfMemory leaves the pixels where they were.
  void SetLocation(TIELocation location);
  TIELocation GetLocation() const noexcept { return location_; }
  // Adopts the caller's pf1bit (ie1g) or pf24bit (ie24RGB) framework bitmap as
  // storage without copying; it stays the caller's and must outlive its use here.
  // With freeOld the current image is freed first; a null bitmap then ends the call.
  // A bitmap of another format is taken as holding no pixels (ienull, 0 x 0). The
  // store's own framework bitmap stays its own; its size is read again.
  void EncapsulateTBitmap(TBitmap* bitmap, bool freeOld);
  void BuildBitmapScanlines();
  void FreeBitmapScanlines();
  // Moves the pixels into a framework bitmap (ieTBitmap) and answers its canvas.
  TCanvas* GetCanvas();
  // In framework storage, writes the palette into the framework bitmap's colour
  // table (ie8p: the palette; ie8g: the grey ramp); otherwise nothing.
  void UpdateTBitmapPalette();
  // The framework bitmap of ieTBitmap storage (null otherwise) and whether it is the
  // caller's.
  TBitmap* GetFrameworkBitmap() const noexcept { return frameworkBitmap_; }
  bool GetAdopted() const noexcept { return adopted_; }
  // The temporary file of ieFile storage.
  TIEMemoryMapped* GetMappedFile() const noexcept { return mappedFile_.get(); }
  // Largest pixel block kept in memory, in bytes.
  DWORD GetMemoryLimit() const noexcept { return memoryLimit_; }
  void SetMemoryLimit(DWORD value) noexcept { memoryLimit_ = value; }

  // --- Rows
  // Like GetScanLine, but in file storage each call maps a view of its own that
  // stays valid until FreeRow of the same row (which releases the latest view kept
  // for that row). In memory and framework storage FreeRow does nothing.
  void* GetRow(Integer row);
  void FreeRow(Integer row);

  // --- Alpha plane
  // The alpha plane, made on first request (ie8g, 255 everywhere, Full); null for a
  // store that is itself an alpha plane.
  TIEBitmap* GetAlphaChannel();
  bool GetHasAlphaChannel() const noexcept { return alphaPlane_ != nullptr; }
  void RemoveAlphaChannel();
  bool GetIsAlphaChannel() const noexcept { return isAlphaChannel_; }
  Byte GetAlpha(Integer x, Integer y);
  // A value other than 255 clears Full of the plane and of this store.
  void SetAlpha(Integer x, Integer y, Byte value);

  // --- Size and content
  // Reallocate keeping the top-left part (rows by index, bytes up to the shorter
  // row); the alpha plane follows; Full becomes false. Equal or negative values
  // change nothing.
  void SetWidth(Integer width);
  void SetHeight(Integer height);
  // ConvertToPixelFormat when the format differs.
  void SetPixelFormat(TIEPixelFormat format);
  // Frees dest's image, then moves every piece of this store's state into dest
  // (pixels, palette, alpha plane, storage, views, flags) and leaves this store
  // empty, keeping its Location, DefaultDitherMethod and MemoryLimit.
  void SwitchTo(TIEBitmap* dest);
  // Size, format, pixels and palette of source, without its alpha plane and dither
  // method; Full becomes false. The store itself changes nothing.
  void AssignImage(TIEBitmap* source);

  Integer GetPaletteCount() const noexcept { return paletteCount_; }
  // The palette entries (ie8p: 256 of them), null without a palette.
  TRGB* GetPaletteBuffer() noexcept { return palette_.get(); }
  const TRGB* GetPaletteBuffer() const noexcept { return palette_.get(); }
  // Black for an index outside the palette.
  TRGB GetPalette(Integer index) const;
  // Ignores an index outside the palette.
  void SetPalette(Integer index, TRGB value);

  // True when every pixel is known to hold the format's maximum (an opaque alpha
  // plane, a fully set mask).
  bool GetFull() const noexcept { return full_; }
  void SetFull(bool value) noexcept { full_ = value; }
  // Scans every byte of every row (padding included): Full := all are 255.
  void SyncFull();

  TIEDitherMethod GetDefaultDitherMethod() const noexcept { return defaultDitherMethod_; }
  void SetDefaultDitherMethod(TIEDitherMethod value) noexcept { defaultDitherMethod_ = value; }

  // Typed pixel access; no range checks (the caller stays inside the image). Writing
  // a value below the format's maximum clears Full.
  bool GetPixels_ie1g(Integer x, Integer y) const {
    return (static_cast<const Byte*>(GetScanLine(y))[x >> 3] & iebitmask1[x & 7]) != 0;
  }
  void SetPixels_ie1g(Integer x, Integer y, bool value) {
    Byte& b = static_cast<Byte*>(GetScanLine(y))[x >> 3];
    if (value) {
      b |= iebitmask1[x & 7];
    } else {
      b &= static_cast<Byte>(~iebitmask1[x & 7]);
      full_ = false;
    }
  }
  Byte GetPixels_ie8(Integer x, Integer y) const { return static_cast<const Byte*>(GetScanLine(y))[x]; }
  void SetPixels_ie8(Integer x, Integer y, Byte value) {
    static_cast<Byte*>(GetScanLine(y))[x] = value;
    if (value != 255) full_ = false;
  }
  Word GetPixels_ie16g(Integer x, Integer y) const {
    const Byte* p = static_cast<const Byte*>(GetScanLine(y)) + 2 * static_cast<size_t>(x);
    return static_cast<Word>(p[0] | (p[1] << 8));
  }
  void SetPixels_ie16g(Integer x, Integer y, Word value) {
    Byte* p = static_cast<Byte*>(GetScanLine(y)) + 2 * static_cast<size_t>(x);
    p[0] = static_cast<Byte>(value);
    p[1] = static_cast<Byte>(value >> 8);
    if (value != 65535) full_ = false;
  }
  TRGB GetPixels_ie24RGB(Integer x, Integer y) const {
    return static_cast<const TRGB*>(GetScanLine(y))[x];
  }
  void SetPixels_ie24RGB(Integer x, Integer y, TRGB value) {
    static_cast<TRGB*>(GetScanLine(y))[x] = value;
    if (value.r != 255 || value.g != 255 || value.b != 255) full_ = false;
  }
  // Any format as a colour: ie1g white or black, ie8p its palette entry, grey
  // formats in all three channels (ie16g by its high byte), ienull black.
  TRGB GetPixels(Integer x, Integer y) const;

  // Every pixel: ie1g any value other than 0 sets every bit (whole rows); ie8p and
  // ie8g the low byte in every byte of every row; ie16g the low 16 bits; ie24RGB a
  // TColor (system colours resolved). Full := value is the format's maximum.
  void Fill(Integer value);
  // The rectangle with both corners included, in Fill's conventions, clipped to the
  // image; nothing when x2 < x1 or y2 < y1. Full does not change.
  void FillRect(Integer x1, Integer y1, Integer x2, Integer y2, Integer value);

  // --- Conversions, copies and canvas resizing
  // Converts the pixels in place (grey by (21 R + 71 G + 8 B) div 100; ie1g by
  // DefaultDitherMethod; ie8p through the 256-colour quantizer). The alpha plane
  // stays. In framework storage the framework bitmap follows the new format.
  void ConvertToPixelFormat(TIEPixelFormat format);
  // The framework bitmap takes the store's size, a format by its own and the rows
  // (ie1g monochrome, ie8p with the palette, ie8g and ie16g as pf8bit grey, ie24RGB).
  void CopyToTBitmap(TBitmap* bitmap);
  // The reverse: monochrome pf1bit gives ie1g, other pf1bit, pf4bit and pf8bit ie8p
  // with the bitmap's palette, pf15bit to pf32bit ie24RGB; device-dependent and
  // custom bitmaps change nothing. Full becomes false.
  void CopyFromTBitmap(TBitmap* bitmap);
  // A 1-bit mask gives ie1g, an 8-bit one ie8g; null fills with 255. Full travels.
  void CopyFromTIEMask(TIEMask* mask);
  // ie1g into a 1-bit mask, ie8g into an 8-bit mask; other formats change nothing.
  void CopyToTIEMask(TIEMask* mask);
  // The size and pixels of a 1-bit (ie1g) or 24-bit (ie24RGB) DIB; null does nothing.
  void CopyFromTDibBitmap(TIEDibbitmap* dib);
  // Copies the whole DIB with its top-left corner at (x, y), clipped to the store;
  // nothing unless the DIB and the store have the same depth (1 or 24 bits).
  void MergeFromTDibBitmap(TIEDibbitmap* dib, Integer x, Integer y);
  // Copies the store's rectangle into the DIB at (0, 0), clipped to both; nothing
  // unless both have the same depth.
  void CopyToTDibBitmap(TIEDibbitmap* dib, Integer x, Integer y, Integer width, Integer height);
  // Copies a rectangle into dest (which may be this store) when both have the same
  // pixel format and pixels; clipped to both. A negative destination coordinate
  // moves the source origin by the same amount. Palette and alpha are not copied.
  void CopyRectTo(TIEBitmap* dest, Integer srcX, Integer srcY, Integer dstX, Integer dstY,
                  Integer width, Integer height);
  // Copies the rectangle (corners included) to (dstX, dstY) in this store after
  // filling it with value (FillRect conventions).
  void MoveRegion(Integer x1, Integer y1, Integer x2, Integer y2, Integer dstX, Integer dstY,
                  Integer value);
  // Changes the canvas, not the scale: the old picture is placed by the alignments
  // and new pixels get value (those of the alpha plane alphaValue).
  void Resize(Integer newWidth, Integer newHeight, Integer value, Integer alphaValue,
              TIEHAlign horizontal, TIEVAlign vertical);

  // --- Rendering (ieutils_render.cpp)
  // Draws the source rectangle zoomed into the destination rectangle of a pf24bit
  // framework bitmap (other formats: nothing). scanLines: the bitmap's row
  // addresses, or null. xLut / yLut: the source column / row of each destination
  // column / row, indexed by x - xDst / y - yDst, or null. updateRect limits the
  // drawn area (its right and bottom are the last columns and rows drawn); null: no
  // limit. Whatever falls outside the bitmap, or reads outside the store, is not
  // drawn. transparency 255 is opaque. With a filter other than rfNone and a size
  // change the rectangle is resampled first.
  void RenderToTBitmap(TBitmap* bitmap, Byte** scanLines, const Integer* xLut, const Integer* yLut,
                       const TRect* updateRect, Integer xDst, Integer yDst, Integer dxDst,
                       Integer dyDst, Integer xSrc, Integer ySrc, Integer dxSrc, Integer dySrc,
                       bool useAlpha, bool reuseRows, Integer transparency, TResampleFilter filter);
  // Draws the whole store resampled to dxDst x dyDst at (xDst, yDst) on the canvas,
  // in horizontal bands bounded by MemoryLimit; gamma > 0 and not 1 corrects colour
  // bands. Nothing when either size is below 1.
  void RenderToCanvas(TCanvas* canvas, Integer xDst, Integer yDst, Integer dxDst, Integer dyDst,
                      TResampleFilter filter, double gamma);

 private:
  struct FreeDeleter {
    void operator()(Byte* p) const noexcept;
  };
  struct KeptRow {
    Integer row;
    void* view;
  };

  // FreeImage, except that with keepBitmap the framework bitmap object of ieTBitmap
  // storage (owned or adopted) stays, to be reshaped by AllocateImage.
  void ReleaseImage(bool keepBitmap);
  // Reads size and format of the framework bitmap again and rebuilds the scan-line
  // table; a framework format that matches no store format leaves no pixels.
  void RefreshFromFramework();
  // Assign and AssignImage.
  void AssignFrom(TIEBitmap* source, bool withAlpha);
  // Serves a row of file storage from the mapped window, moving the window when
  // the row lies outside it (the window is a cache: a const store moves it too).
  void* FileScanLine(Integer row) const;
  // Maps a view of its own for one row of file storage.
  void* MapRowView(Integer row, void*& view);
  // Unmaps the window of file storage that GetScanLine serves rows from.
  void ReleaseWindow() const;
  // The memory path of ConvertToPixelFormat.
  void ConvertStored(TIEPixelFormat format);
  void ConvertFramework(TIEPixelFormat format);
  // Copies rows and palette from source (same size and format) into this store.
  void CopyPixelsFrom(TIEBitmap* source);
  void ReadFrameworkPalette(TBitmap* bitmap, Integer count);
  // Takes the alpha plane and IsAlphaChannel back from the store SwitchTo gave
  // them to.
  void ChangeSize(Integer width, Integer height);
  void TakeAlphaFrom(TIEBitmap& from);

  std::unique_ptr<TIEMemoryMapped> mappedFile_;
  Integer width_ = 0;
  Integer height_ = 0;
  Integer bitCount_ = 0;
  Integer rowLen_ = 0;
  TIEPixelFormat pixelFormat_ = ienull;
  std::unique_ptr<TRGB[]> palette_;
  Integer paletteCount_ = 0;
  std::unique_ptr<TIEBitmap> alphaPlane_;
  bool isAlphaChannel_ = false;
  std::unique_ptr<Byte, FreeDeleter> memory_;
  std::unique_ptr<TBitmap> ownedBitmap_;
  TBitmap* frameworkBitmap_ = nullptr;  // ownedBitmap_, or the caller's when adopted_
  std::vector<Byte*> scanLines_;
  TIELocation location_ = ieFile;
  bool full_ = false;
  bool adopted_ = false;
  // File storage: GetScanLine maps a window of whole rows and serves every row that
  // lies inside it without another map call.
  mutable Byte* window_ = nullptr;
  mutable UInt64 windowStart_ = 0;
  mutable UInt64 windowEnd_ = 0;
  std::vector<KeptRow> keptRows_;
  DWORD memoryLimit_ = 0;
  TIEDitherMethod defaultDitherMethod_ = ieThreshold;
};

// ===========================================================================
// The DIB-section store

// A 1- or 24-bit DIB section selected into its own memory DC; rows bottom-up.
class TIEDibbitmap : public TIEBaseBitmap {
 public:
  LARK_CLASS_NAME(TIEDibbitmap)
  TIEDibbitmap();
  ~TIEDibbitmap() override;
  TIEDibbitmap(const TIEDibbitmap&) = delete;
  TIEDibbitmap& operator=(const TIEDibbitmap&) = delete;

  void* GetScanLine(Integer row) final {
    return static_cast<Byte*>(bits_) +
           static_cast<size_t>(height_ - row - 1) * static_cast<size_t>(rowLen_);
  }
  const void* GetScanLine(Integer row) const final {
    return static_cast<const Byte*>(bits_) +
           static_cast<size_t>(height_ - row - 1) * static_cast<size_t>(rowLen_);
  }
  void* GetScanline(Integer row) { return GetScanLine(row); }
  Integer GetBitCount() const final { return bitCount_; }
  Integer GetHeight() const final { return height_; }
  Integer GetWidth() const final { return width_; }
  // ie1g for 1 bit, ie24RGB for 24, ienull otherwise.
  TIEPixelFormat GetPixelFormat() const final;
  Integer GetRowLen() const final { return rowLen_; }
  // AllocateBits with 1 bit for ie1g, 24 for ie24RGB; other formats do nothing.
  void Allocate(Integer width, Integer height, TIEPixelFormat format) final;
  // A TIEDibbitmap source: its size, depth and bits. Others are ignored.
  void Assign(TObject* source) final;

  // Ignored unless width and height are positive and bits is 1 or 24. Otherwise the
  // old section goes, and a new zeroed one (palette black, white) is selected into a
  // new memory DC. When the platform refuses the section, Bits stays null and the
  // store reports no size.
  void AllocateBits(Integer width, Integer height, Integer bits);
  // Deletes the section and the DC; sizes and bit count become 0.
  void FreeBits();
  // The framework bitmap gets the DIB's format (pf1bit or pf24bit), size and rows.
  void CopyToTBitmap(TBitmap* bitmap);

  HDC GetDC() const noexcept { return dc_; }
  HBITMAP GetDIBSection() const noexcept { return dibSection_; }
  void* GetBits() const noexcept { return bits_; }
  // The header (and its two colour-table entries) that made the section.
  const BITMAPINFO* GetBitmapInfo() const noexcept {
    return reinterpret_cast<const BITMAPINFO*>(&bitmapInfo_);
  }

 private:
  struct Info {
    BITMAPINFOHEADER header;
    RGBQUAD colors[2];
  };

  Integer width_ = 0;
  Integer height_ = 0;
  Integer bitCount_ = 0;
  Integer rowLen_ = 0;
  HDC dc_ = 0;
  HBITMAP dibSection_ = 0;
  HGDIOBJ oldBitmap_ = 0;
  Info bitmapInfo_{};
  void* bits_ = nullptr;
};

// ===========================================================================
// The work buffer of the filters

// A heap block of rows bottom-up, padded to 32 bits, for 8, 24, 32 or 64 bits per
// pixel (or any other count; 1-bit rows through SetBit).
class TIEWorkBitmap : public TObject {
 public:
  LARK_CLASS_NAME(TIEWorkBitmap)
  // Allocates when width and height are both positive; else the buffer stays empty.
  TIEWorkBitmap(Integer width, Integer height, Integer bitsPerPixel);
  ~TIEWorkBitmap() override;
  TIEWorkBitmap(const TIEWorkBitmap&) = delete;
  TIEWorkBitmap& operator=(const TIEWorkBitmap&) = delete;

  // Nothing when all three equal the current values (the contents stay); otherwise a
  // new zeroed block, or none when a size is not positive. A block too large raises
  // EOutOfMemory and leaves the buffer empty.
  void AllocateBits(Integer width, Integer height, Integer bitsPerPixel);
  void FreeBits();

  Byte* GetScanline(Integer row) {
    return bits_.get() + static_cast<size_t>(height_ - row - 1) * static_cast<size_t>(rowLen_);
  }
  // Element addresses, row first and column second.
  Byte* GetPByte(Integer row, Integer col) { return GetScanline(row) + col; }
  TRGB* GetPRGB(Integer row, Integer col) {
    return reinterpret_cast<TRGB*>(GetScanline(row) + 3 * static_cast<size_t>(col));
  }
  float* GetPSingle(Integer row, Integer col) {
    return reinterpret_cast<float*>(GetScanline(row) + 4 * static_cast<size_t>(col));
  }
  Integer* GetPInteger(Integer row, Integer col) {
    return reinterpret_cast<Integer*>(GetScanline(row) + 4 * static_cast<size_t>(col));
  }
  double* GetPDouble(Integer row, Integer col) {
    return reinterpret_cast<double*>(GetScanline(row) + 8 * static_cast<size_t>(col));
  }
  // Sets (value not 0) or clears bit col of the row, most significant bit first.
  void SetBit(Integer row, Integer col, Integer value) {
    Byte& b = GetScanline(row)[col >> 3];
    if (value != 0)
      b |= iebitmask1[col & 7];
    else
      b &= static_cast<Byte>(~iebitmask1[col & 7]);
  }

  Integer GetWidth() const noexcept { return width_; }
  Integer GetHeight() const noexcept { return height_; }
  Integer GetBitCount() const noexcept { return bitCount_; }
  Integer GetRowLen() const noexcept { return rowLen_; }
  Byte* GetBits() noexcept { return bits_.get(); }

 private:
  struct FreeDeleter {
    void operator()(Byte* p) const noexcept;
  };

  Integer width_ = 0;
  Integer height_ = 0;
  Integer bitCount_ = 0;
  Integer rowLen_ = 0;
  std::unique_ptr<Byte, FreeDeleter> bits_;
};
