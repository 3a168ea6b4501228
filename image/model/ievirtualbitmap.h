// TIEVirtualBitmap: an image of any size kept as fixed-size tiles in one temporary
// mapped file, so that only the tiles being touched take address space.
//
// Tiles follow each other in the file, row of tiles after row of tiles; tile (c, r)
// lies at (r x TilesAcross + c) x TileRowLen x TileHeight. Inside a tile the rows run
// top-down for every operation: pixel (x, y) is in tile row y mod TileHeight counted
// from the tile's first byte. Pixels as in the pixel stores: 1 bit most significant
// first, 8-bit bytes, 24-bit TRGB.
#pragma once

#include <memory>
#include <vector>

#include "image/model/ieutils.h"
#include "platform/rtl/Component.h"
#include "platform/rtl/Types.h"
#include "platform/win/Gdi.h"

class TBitmap;
class TCanvas;
class TIEBitmap;

// Called for one pixel by ApplyFunction: its coordinates, the address of its bytes
// (for 1-bit images a byte holding the bit as 0 or 1) and the caller's data.
using TIEVirtualBitmapFunction = void (*)(DWORD x, DWORD y, void* pixel, void* data);

class TIEVirtualBitmap : public TObject {
 public:
  LARK_CLASS_NAME(TIEVirtualBitmap)
  TIEVirtualBitmap();
  // FreeBits.
  ~TIEVirtualBitmap() override;
  TIEVirtualBitmap(const TIEVirtualBitmap&) = delete;
  TIEVirtualBitmap& operator=(const TIEVirtualBitmap&) = delete;

  // Drops the current image and makes a new one of zero pixels. Bit counts other
  // than 1, 8 and 24, sizes of 0 and files that cannot be had leave the image empty
  // (false).
  bool AllocateBits(DWORD width, DWORD height, Integer bitCount);
  // Each stores its value; once all three are non-zero a new, empty image is made.
  void SetWidth(DWORD value);
  void SetHeight(DWORD value);
  void SetBitCount(Integer value);
  // Releases every locked rectangle with write-back, forgets the cached tile and
  // deletes the file.
  void FreeBits();

  DWORD GetWidth() const noexcept { return width_; }
  DWORD GetHeight() const noexcept { return height_; }
  Integer GetBitCount() const noexcept { return bitCount_; }
  DWORD GetTileWidth() const noexcept { return tileWidth_; }
  DWORD GetTileHeight() const noexcept { return tileHeight_; }
  Integer GetTilesAcross() const noexcept { return tilesAcross_; }
  Integer GetTilesDown() const noexcept { return tilesDown_; }
  Integer GetTileRowLen() const noexcept { return tileRowLen_; }
  TIEMemoryMapped* GetMappedFile() const noexcept { return mappedFile_.get(); }
  // How many tile views were mapped since the image was made (for telling cached
  // pixel access from remapping).
  Integer GetTileMapCount() const noexcept { return tileMaps_; }

  // pixel: one byte (1 and 8 bits; a 1-bit read gives 0 or 1) or a TRGB. Outside the
  // image a read gives zero bytes and a write does nothing.
  void GetPixel(DWORD x, DWORD y, void* pixel);
  void SetPixel(DWORD x, DWORD y, const void* pixel);

  // A framework bitmap (pf1bit, pf8bit or pf24bit) filled from the rectangle, which
  // is cut to the image; null for an empty image or an empty rectangle. The bitmap
  // is the caller's to change and give back with ReleaseBitmap.
  TBitmap* GetBitmap(DWORD x, DWORD y, DWORD width, DWORD height);
  // Writes the bitmap back into its rectangle and frees it; an unknown bitmap is
  // ignored.
  void ReleaseBitmap(TBitmap* bitmap);
  Integer GetLockedCount() const noexcept { return static_cast<Integer>(locked_.size()); }

  // Writes a pixel store (ie1g, ie8p, ie8g, ie24RGB) into the rectangle at (x, y),
  // cut to the image and to the store.
  void CopyFromIEBitmap(TIEBitmap* source, DWORD x, DWORD y, DWORD width, DWORD height);
  // Calls func for every pixel of the rectangle (cut to the image), tile by tile.
  void ApplyFunction(DWORD x, DWORD y, DWORD width, DWORD height, TIEVirtualBitmapFunction func,
                     void* data);
  // Draws the source rectangle scaled into the destination rectangle, tile band by
  // tile band. A 1-bit image shrunk with filter is drawn in filtered grey.
  void RenderTo(TCanvas* canvas, Integer xDst, Integer yDst, Integer dxDst, Integer dyDst,
                Integer xSrc, Integer ySrc, Integer dxSrc, Integer dySrc, bool filter);

 private:
  struct Locked {
    DWORD x, y, width, height;
    TBitmap* bitmap;
  };
  // One band of the rectangle walk: the tile's view and where the band lies.
  struct Band {
    Byte* tile;      // first byte of the tile
    DWORD x, y;      // image coordinates of the band's top-left pixel
    DWORD width, height;
    DWORD tileX, tileY;  // the same inside the tile
  };
  template <class Fn>
  void WalkRect(DWORD x, DWORD y, DWORD width, DWORD height, Fn&& fn);
  Byte* MapTile(DWORD column, DWORD row);
  void DropCachedTile();
  bool ClipRect(DWORD& x, DWORD& y, DWORD& width, DWORD& height) const;
  void WriteBack(const Locked& entry);

  DWORD width_ = 0;
  DWORD height_ = 0;
  Integer bitCount_ = 0;
  DWORD tileWidth_ = 512;
  DWORD tileHeight_ = 512;
  Integer tilesAcross_ = 0;
  Integer tilesDown_ = 0;
  Integer tileRowLen_ = 0;
  std::vector<Locked> locked_;
  bool tileCached_ = false;
  DWORD cachedColumn_ = 0;
  DWORD cachedRow_ = 0;
  Byte* cachedTile_ = nullptr;
  Integer tileMaps_ = 0;
  std::unique_ptr<TIEMemoryMapped> mappedFile_;
};
