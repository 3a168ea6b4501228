// TIEVirtualDIBList: many small pictures (the thumbnail grid's images) kept as
// device-independent bitmaps in one temporary mapped file.
//
// Each image has a block of the file, 64 KB-aligned so that it maps at its own
// offset: a 40-byte BITMAPINFOHEADER (positive height: rows bottom-up), a black and
// white two-entry palette, then the rows. Only 1-bit and 24-bit images are stored;
// anything else is kept as 24 bits. At most MaxMapped images are mapped at once, the
// least recently used going first. Blocks of deleted images are reused first fit.
// Framework bitmap copies are handed out shared by a reference count and may be
// written back. An image is named by the handle the list returns.
//
// The list locks nothing: its owner serialises access (the grid under gThreadCS).
#pragma once

#include <cstdint>
#include <memory>
#include <unordered_set>
#include <vector>

#include "image/model/ieutils.h"
#include "platform/rtl/Component.h"
#include "platform/rtl/Types.h"
#include "platform/win/Gdi.h"
#include "platform/win/GdiDrawDib.h"

class TBitmap;
class TCanvas;
class TIEBaseBitmap;
class TIEBitmap;

struct TIEVirtualImageInfo {
  UInt64 Offset = 0;       // of the block in the file
  DWORD DataSize = 0;      // 48 + row length x height
  DWORD BlockSize = 0;     // DataSize rounded up to 65,536
  Byte* View = nullptr;    // the block while mapped
  bool HandedOut = false;  // a framework copy is out
  Integer OriginalWidth = 0;
  Integer OriginalHeight = 0;
  // Geometry of the stored picture, kept beside the block so that a size can be told
  // without mapping it.
  Integer Width = 0;
  Integer Height = 0;
  Integer BitCount = 0;
};
using PIEVirtualImageInfo = TIEVirtualImageInfo*;

class TIEVirtualDIBList : public TObject {
 public:
  LARK_CLASS_NAME(TIEVirtualDIBList)
  static constexpr DWORD kBlockUnit = 65536;
  static constexpr DWORD kHeaderSize = 48;  // header and two palette entries

  // Makes the file of 65,536 bytes.
  TIEVirtualDIBList();
  ~TIEVirtualDIBList() override;
  TIEVirtualDIBList(const TIEVirtualDIBList&) = delete;
  TIEVirtualDIBList& operator=(const TIEVirtualDIBList&) = delete;

  // A new image of zero pixels; bit counts other than 1 are stored as 24. Null when
  // a size is below 1, the block does not fit 32 bits or no space could be had.
  PIEVirtualImageInfo AddBlankImage(Integer width, Integer height, Integer bitCount);
  // A copy of a 1-bit store as 1 bit, of any other as 24 bits.
  PIEVirtualImageInfo AddIEBitmap(TIEBaseBitmap* bitmap);
  PIEVirtualImageInfo AddBitmap(TBitmap* bitmap);
  // A copy of the rectangle (cut to the bitmap; null when nothing is left).
  PIEVirtualImageInfo AddBitmapRect(TBitmap* bitmap, Integer x, Integer y, Integer width,
                                    Integer height);
  // Grows the file once for count images of that geometry.
  void PrepareSpaceFor(Integer width, Integer height, Integer bitCount, Integer count);
  // An unknown handle is ignored.
  void Delete(PIEVirtualImageInfo image);

  Integer GetImageCount() const noexcept { return static_cast<Integer>(images_.size()); }
  bool Contains(PIEVirtualImageInfo image) const;
  Integer GetImageWidth(PIEVirtualImageInfo image);
  Integer GetImageHeight(PIEVirtualImageInfo image);
  Integer GetImageBitCount(PIEVirtualImageInfo image);
  // The rows (bottom row first); null when the image cannot be mapped.
  void* GetImageBits(PIEVirtualImageInfo image);
  BITMAPINFOHEADER* GetImageInfoHeader(PIEVirtualImageInfo image);
  Integer GetImageOriginalWidth(PIEVirtualImageInfo image) const;
  Integer GetImageOriginalHeight(PIEVirtualImageInfo image) const;
  void SetImageOriginalWidth(PIEVirtualImageInfo image, Integer value);
  void SetImageOriginalHeight(PIEVirtualImageInfo image, Integer value);

  void DirectCopyToBitmap(PIEVirtualImageInfo image, TBitmap* bitmap);
  void CopyToIEBitmap(PIEVirtualImageInfo image, TIEBitmap* bitmap);
  // Writes a framework bitmap into the image; a new size or depth gives the image a
  // new block (and a new original size).
  void CopyFromBitmap(PIEVirtualImageInfo image, TBitmap* bitmap);
  // The shared framework copy of the image (null when it cannot be mapped).
  TBitmap* GetBitmap(PIEVirtualImageInfo image);
  // One reference less; writeBack first stores the bitmap into the image. An unknown
  // bitmap is ignored.
  void ReleaseBitmap(TBitmap* bitmap, bool writeBack);
  void ReleaseBitmapByImage(PIEVirtualImageInfo image, bool writeBack);
  // DrawDibDraw of the image onto the canvas; 0 when it cannot be mapped.
  Integer RenderTo(PIEVirtualImageInfo image, TCanvas* canvas, HDRAWDIB drawDib, Integer xDst,
                   Integer yDst, Integer dxDst, Integer dyDst, Integer xSrc, Integer ySrc,
                   Integer dxSrc, Integer dySrc);

  // Images mapped at once at most; values below 1 count as 1.
  Integer GetMaxMapped() const noexcept { return maxMapped_; }
  void SetMaxMapped(Integer value);
  Integer GetMappedCount() const noexcept { return static_cast<Integer>(mapped_.size()); }
  bool IsMapped(PIEVirtualImageInfo image) const;
  UInt64 GetFileSize() const noexcept { return fileSize_; }
  UInt64 GetNextFree() const noexcept { return nextFree_; }
  DWORD GetGrowthStep() const noexcept { return growthStep_; }
  Integer GetFreeBlockCount() const noexcept { return static_cast<Integer>(freeBlocks_.size()); }
  Integer GetHandedOutCount() const noexcept { return static_cast<Integer>(handedOut_.size()); }
  TIEMemoryMapped* GetMappedFile() const noexcept { return mappedFile_.get(); }
  Integer IndexOf(PIEVirtualImageInfo image) const;
  PIEVirtualImageInfo GetImage(Integer index) const;

 private:
  struct FreeBlock {
    UInt64 Offset;
    DWORD Size;
  };
  struct ToRelease {
    PIEVirtualImageInfo Image;
    TBitmap* Bitmap;
    Integer RefCount;
  };

  bool AllocImage(TIEVirtualImageInfo& info, Integer width, Integer height, Integer bitCount);
  bool MapImage(TIEVirtualImageInfo& info);
  void DiscardImage(TIEVirtualImageInfo& info);
  void DiscardAll();
  void RemoveImageInfo(Integer index);
  bool ReAllocateBits();
  void FreeBits();
  Integer BmpToReleaseIndexOf(TBitmap* bitmap) const;
  Integer ReleaseIndexOfImage(PIEVirtualImageInfo image) const;
  void FreeHandedOut(Integer index);
  // Writes the header and palette of the block.
  void WriteHeader(TIEVirtualImageInfo& info);

  std::unique_ptr<TIEMemoryMapped> mappedFile_;
  UInt64 fileSize_ = kBlockUnit;
  std::vector<PIEVirtualImageInfo> images_;   // owned
  std::unordered_set<PIEVirtualImageInfo> known_;  // the same, for lookups
  std::vector<PIEVirtualImageInfo> mapped_;   // least recently used first
  std::vector<FreeBlock> freeBlocks_;
  UInt64 nextFree_ = 0;
  DWORD growthStep_ = kBlockUnit;
  Integer maxMapped_ = 10;
  std::vector<ToRelease> handedOut_;
  DWORD lastBlockSize_ = 0;
  struct {
    BITMAPINFOHEADER header;
    RGBQUAD colors[2];
  } headerBuffer_{};
};
