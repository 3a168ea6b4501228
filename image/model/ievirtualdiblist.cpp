// TIEVirtualDIBList: the thumbnail grid's images in one mapped temporary file.
#include "image/model/ievirtualdiblist.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "image/model/iebitmap.h"
#include "platform/vcl/Graphics.h"

namespace {

constexpr UInt64 kMaxBlock = std::numeric_limits<DWORD>::max() - TIEVirtualDIBList::kBlockUnit + 1;

Integer StoredBitCount(Integer bitCount) { return bitCount == 1 ? 1 : 24; }

// A framework bitmap in a depth the list stores: itself when pf1bit or pf24bit,
// else a pf24bit copy kept in holder.
TBitmap* StorableBitmap(TBitmap* bitmap, std::unique_ptr<TBitmap>& holder) {
  const TPixelFormat format = bitmap->GetPixelFormat();
  if (format == pf1bit || format == pf24bit) return bitmap;
  holder = std::make_unique<TBitmap>();
  holder->Assign(bitmap);
  holder->SetPixelFormat(pf24bit);
  return holder.get();
}

}  // namespace

TIEVirtualDIBList::TIEVirtualDIBList() : mappedFile_(std::make_unique<TIEMemoryMapped>()) {
  ReAllocateBits();
}

TIEVirtualDIBList::~TIEVirtualDIBList() { FreeBits(); }

void TIEVirtualDIBList::SetMaxMapped(Integer value) {
  maxMapped_ = std::max(value, 1);
  while (static_cast<Integer>(mapped_.size()) > maxMapped_) DiscardImage(*mapped_.front());
}

bool TIEVirtualDIBList::Contains(PIEVirtualImageInfo image) const {
  return image != nullptr && known_.count(image) != 0;
}

Integer TIEVirtualDIBList::IndexOf(PIEVirtualImageInfo image) const {
  if (image == nullptr) return -1;
  auto it = std::find(images_.begin(), images_.end(), image);
  return it == images_.end() ? -1 : static_cast<Integer>(it - images_.begin());
}

PIEVirtualImageInfo TIEVirtualDIBList::GetImage(Integer index) const {
  if (index < 0 || index >= GetImageCount()) return nullptr;
  return images_[static_cast<size_t>(index)];
}

bool TIEVirtualDIBList::IsMapped(PIEVirtualImageInfo image) const {
  return std::find(mapped_.begin(), mapped_.end(), image) != mapped_.end();
}

// --- Space -----------------------------------------------------------------------------------

bool TIEVirtualDIBList::ReAllocateBits() {
  if (mappedFile_->IsAllocated()) {
    DiscardAll();
    return mappedFile_->ReAllocateFile(static_cast<DWORD>(fileSize_), static_cast<DWORD>(fileSize_ >> 32));
  }
  FreeBits();
  return mappedFile_->AllocateFile("", static_cast<DWORD>(fileSize_), static_cast<DWORD>(fileSize_ >> 32));
}

void TIEVirtualDIBList::FreeBits() {
  while (!handedOut_.empty()) FreeHandedOut(static_cast<Integer>(handedOut_.size()) - 1);
  DiscardAll();
  for (PIEVirtualImageInfo info : images_) delete info;
  images_.clear();
  known_.clear();
  mapped_.clear();
  freeBlocks_.clear();
  mappedFile_->DeAllocate();
  nextFree_ = 0;
}

bool TIEVirtualDIBList::AllocImage(TIEVirtualImageInfo& info, Integer width, Integer height,
                                   Integer bitCount) {
  if (width < 1 || height < 1) return false;
  bitCount = StoredBitCount(bitCount);
  const auto rowLen = static_cast<UInt64>(_BitmapRowLen(width, bitCount));
  const UInt64 data = rowLen * static_cast<UInt64>(height) + kHeaderSize;
  if (data > kMaxBlock) return false;
  const UInt64 block = (data + kBlockUnit - 1) & ~static_cast<UInt64>(kBlockUnit - 1);
  const auto blockSize = static_cast<DWORD>(block);

  UInt64 offset = 0;
  bool reused = false;
  auto fit = std::find_if(freeBlocks_.begin(), freeBlocks_.end(),
                          [blockSize](const FreeBlock& b) { return b.Size >= blockSize; });
  FreeBlock taken{};
  if (fit != freeBlocks_.end()) {
    taken = *fit;
    offset = fit->Offset;
    freeBlocks_.erase(fit);
    reused = true;
  } else {
    if (growthStep_ < blockSize) {
      const UInt64 widened = static_cast<UInt64>(lastBlockSize_) + blockSize;
      growthStep_ = static_cast<DWORD>(std::min<UInt64>(widened, kMaxBlock));
    }
    lastBlockSize_ = blockSize;
    const UInt64 newEnd = nextFree_ + blockSize;
    if (newEnd < nextFree_) return false;
    if (newEnd > fileSize_) {
      const UInt64 oldSize = fileSize_;
      UInt64 size = fileSize_;
      while (newEnd > size) {
        if (size + growthStep_ < size) return false;
        size += growthStep_;
      }
      fileSize_ = size;
      if (!ReAllocateBits()) {
        fileSize_ = oldSize;
        return false;
      }
    }
    offset = nextFree_;
    nextFree_ = newEnd;
  }
  info.Offset = offset;
  info.DataSize = static_cast<DWORD>(data);
  info.BlockSize = blockSize;
  info.View = nullptr;
  info.HandedOut = false;
  info.OriginalWidth = width;
  info.OriginalHeight = height;
  info.Width = width;
  info.Height = height;
  info.BitCount = bitCount;
  if (!MapImage(info)) {
    // The block goes back where it came from, so nothing is lost or shared.
    if (reused)
      freeBlocks_.push_back(taken);
    else if (nextFree_ == offset + blockSize)
      nextFree_ = offset;
    else
      freeBlocks_.push_back(FreeBlock{offset, blockSize});
    info.BlockSize = 0;
    info.DataSize = 0;
    return false;
  }
  WriteHeader(info);
  return true;
}

void TIEVirtualDIBList::WriteHeader(TIEVirtualImageInfo& info) {
  BITMAPINFOHEADER header{};
  header.biSize = sizeof(BITMAPINFOHEADER);
  header.biWidth = info.Width;
  header.biHeight = info.Height;
  header.biPlanes = 1;
  header.biBitCount = static_cast<WORD>(info.BitCount);
  header.biCompression = BI_RGB;
  std::memcpy(info.View, &header, sizeof(header));
  const Byte palette[8] = {0, 0, 0, 0, 255, 255, 255, 0};
  std::memcpy(info.View + 40, palette, sizeof(palette));
}

bool TIEVirtualDIBList::MapImage(TIEVirtualImageInfo& info) {
  auto it = std::find(mapped_.begin(), mapped_.end(), &info);
  if (it != mapped_.end()) {
    mapped_.erase(it);
    mapped_.push_back(&info);
    return true;
  }
  if (info.BlockSize == 0) return false;
  while (!mapped_.empty() && static_cast<Integer>(mapped_.size()) + 1 > maxMapped_)
    DiscardImage(*mapped_.front());
  void* view = mappedFile_->Map(static_cast<DWORD>(info.Offset >> 32), static_cast<DWORD>(info.Offset),
                                info.BlockSize);
  if (view == nullptr) {
    mappedFile_->UnMap(nullptr);  // a refused view is listed all the same
    return false;
  }
  info.View = static_cast<Byte*>(view);
  mapped_.push_back(&info);
  return true;
}

void TIEVirtualDIBList::DiscardImage(TIEVirtualImageInfo& info) {
  auto it = std::find(mapped_.begin(), mapped_.end(), &info);
  if (it != mapped_.end()) {
    mapped_.erase(it);
    if (info.View != nullptr) mappedFile_->UnMap(info.View);
  }
  info.View = nullptr;
}

void TIEVirtualDIBList::DiscardAll() {
  while (!mapped_.empty()) DiscardImage(*mapped_.back());
}

void TIEVirtualDIBList::PrepareSpaceFor(Integer width, Integer height, Integer bitCount,
                                        Integer count) {
  if (width < 1 || height < 1 || count < 1) return;
  const auto rowLen = static_cast<UInt64>(_BitmapRowLen(width, StoredBitCount(bitCount)));
  const UInt64 data = rowLen * static_cast<UInt64>(height) + kHeaderSize;
  if (data > kMaxBlock) return;
  const UInt64 block = (data + kBlockUnit - 1) & ~static_cast<UInt64>(kBlockUnit - 1);
  if (block != 0 && static_cast<UInt64>(count) > (std::numeric_limits<UInt64>::max() - fileSize_) / block)
    return;
  const UInt64 oldSize = fileSize_;
  fileSize_ += block * static_cast<UInt64>(count);
  if (!ReAllocateBits()) fileSize_ = oldSize;
}

// --- Adding and deleting ---------------------------------------------------------------------

PIEVirtualImageInfo TIEVirtualDIBList::AddBlankImage(Integer width, Integer height, Integer bitCount) {
  auto info = std::make_unique<TIEVirtualImageInfo>();
  if (!AllocImage(*info, width, height, bitCount)) return nullptr;
  images_.push_back(info.get());
  known_.insert(info.get());
  return info.release();
}

PIEVirtualImageInfo TIEVirtualDIBList::AddIEBitmap(TIEBaseBitmap* bitmap) {
  if (bitmap == nullptr) return nullptr;
  const Integer w = bitmap->GetWidth();
  const Integer h = bitmap->GetHeight();
  const TIEPixelFormat format = bitmap->GetPixelFormat();
  auto* store = dynamic_cast<TIEBitmap*>(bitmap);
  // Formats other than 1 and 24 bits are read pixel by pixel, which only a full
  // pixel store offers.
  if (format != ie1g && format != ie24RGB && store == nullptr) return nullptr;
  PIEVirtualImageInfo info = AddBlankImage(w, h, format == ie1g ? 1 : 24);
  if (info == nullptr) return nullptr;
  const auto rowLen = static_cast<size_t>(_BitmapRowLen(w, info->BitCount));
  for (Integer k = 0; k < h; ++k) {
    Byte* dst = info->View + kHeaderSize + static_cast<size_t>(k) * rowLen;
    const Integer row = h - k - 1;
    if (format == ie1g || format == ie24RGB) {
      std::memcpy(dst, bitmap->GetScanLine(row), std::min(rowLen, static_cast<size_t>(bitmap->GetRowLen())));
    } else {
      auto* px = reinterpret_cast<TRGB*>(dst);
      for (Integer x = 0; x < w; ++x) px[x] = store->GetPixels(x, row);
    }
  }
  return info;
}

PIEVirtualImageInfo TIEVirtualDIBList::AddBitmap(TBitmap* bitmap) {
  if (bitmap == nullptr) return nullptr;
  return AddBitmapRect(bitmap, 0, 0, bitmap->GetWidth(), bitmap->GetHeight());
}

PIEVirtualImageInfo TIEVirtualDIBList::AddBitmapRect(TBitmap* bitmap, Integer x, Integer y,
                                                     Integer width, Integer height) {
  if (bitmap == nullptr) return nullptr;
  // Cut to the bitmap.
  const Integer x1 = std::max(x, 0);
  const Integer y1 = std::max(y, 0);
  const Integer x2 = std::min(static_cast<Int64>(x) + width, static_cast<Int64>(bitmap->GetWidth())) > 0
                         ? static_cast<Integer>(std::min(static_cast<Int64>(x) + width, static_cast<Int64>(bitmap->GetWidth())))
                         : 0;
  const Integer y2 = std::min(static_cast<Int64>(y) + height, static_cast<Int64>(bitmap->GetHeight())) > 0
                         ? static_cast<Integer>(std::min(static_cast<Int64>(y) + height, static_cast<Int64>(bitmap->GetHeight())))
                         : 0;
  if (x2 <= x1 || y2 <= y1) return nullptr;
  std::unique_ptr<TBitmap> holder;
  TBitmap* source = StorableBitmap(bitmap, holder);
  const Integer bits = source->GetPixelFormat() == pf1bit ? 1 : 24;
  PIEVirtualImageInfo info = AddBlankImage(x2 - x1, y2 - y1, bits);
  if (info == nullptr) return nullptr;
  IEBitmapMapXCopy(info->View + kHeaderSize, _BitmapRowLen(info->Width, bits), bits, source, 0, 0,
                   x1, y1, info->Width, info->Height, 1);
  return info;
}

void TIEVirtualDIBList::RemoveImageInfo(Integer index) {
  PIEVirtualImageInfo info = images_[static_cast<size_t>(index)];
  const Integer r = ReleaseIndexOfImage(info);
  if (r >= 0) FreeHandedOut(r);
  DiscardImage(*info);
  images_.erase(images_.begin() + index);
  known_.erase(info);
  delete info;
}

void TIEVirtualDIBList::Delete(PIEVirtualImageInfo image) {
  if (!Contains(image)) return;
  const Integer index = IndexOf(image);
  if (image->BlockSize != 0) freeBlocks_.push_back(FreeBlock{image->Offset, image->BlockSize});
  RemoveImageInfo(index);
  if (images_.empty()) {
    fileSize_ = growthStep_;
    nextFree_ = 0;
    ReAllocateBits();
    freeBlocks_.clear();
  }
}

// --- Reading ---------------------------------------------------------------------------------

Integer TIEVirtualDIBList::GetImageWidth(PIEVirtualImageInfo image) {
  if (!Contains(image)) return 0;
  if (image->HandedOut) return handedOut_[static_cast<size_t>(ReleaseIndexOfImage(image))].Bitmap->GetWidth();
  return MapImage(*image) ? reinterpret_cast<BITMAPINFOHEADER*>(image->View)->biWidth : 0;
}

Integer TIEVirtualDIBList::GetImageHeight(PIEVirtualImageInfo image) {
  if (!Contains(image)) return 0;
  if (image->HandedOut) return handedOut_[static_cast<size_t>(ReleaseIndexOfImage(image))].Bitmap->GetHeight();
  return MapImage(*image) ? reinterpret_cast<BITMAPINFOHEADER*>(image->View)->biHeight : 0;
}

Integer TIEVirtualDIBList::GetImageBitCount(PIEVirtualImageInfo image) {
  if (!Contains(image)) return 0;
  if (image->HandedOut)
    return handedOut_[static_cast<size_t>(ReleaseIndexOfImage(image))].Bitmap->GetPixelFormat() == pf1bit ? 1 : 24;
  return MapImage(*image) ? reinterpret_cast<BITMAPINFOHEADER*>(image->View)->biBitCount : 0;
}

void* TIEVirtualDIBList::GetImageBits(PIEVirtualImageInfo image) {
  if (!Contains(image)) return nullptr;
  if (image->HandedOut) {
    TBitmap* b = handedOut_[static_cast<size_t>(ReleaseIndexOfImage(image))].Bitmap;
    return b->GetHeight() > 0 ? b->ScanLine(b->GetHeight() - 1) : nullptr;
  }
  return MapImage(*image) ? image->View + kHeaderSize : nullptr;
}

BITMAPINFOHEADER* TIEVirtualDIBList::GetImageInfoHeader(PIEVirtualImageInfo image) {
  if (!Contains(image)) return nullptr;
  if (image->HandedOut) {
    TBitmap* b = handedOut_[static_cast<size_t>(ReleaseIndexOfImage(image))].Bitmap;
    headerBuffer_ = {};
    headerBuffer_.header.biSize = sizeof(BITMAPINFOHEADER);
    headerBuffer_.header.biWidth = b->GetWidth();
    headerBuffer_.header.biHeight = b->GetHeight();
    headerBuffer_.header.biPlanes = 1;
    headerBuffer_.header.biBitCount = static_cast<WORD>(b->GetPixelFormat() == pf1bit ? 1 : 24);
    headerBuffer_.header.biCompression = BI_RGB;
    headerBuffer_.colors[1] = RGBQUAD{255, 255, 255, 0};
    return &headerBuffer_.header;
  }
  return MapImage(*image) ? reinterpret_cast<BITMAPINFOHEADER*>(image->View) : nullptr;
}

Integer TIEVirtualDIBList::GetImageOriginalWidth(PIEVirtualImageInfo image) const {
  return Contains(image) ? image->OriginalWidth : 0;
}

Integer TIEVirtualDIBList::GetImageOriginalHeight(PIEVirtualImageInfo image) const {
  return Contains(image) ? image->OriginalHeight : 0;
}

void TIEVirtualDIBList::SetImageOriginalWidth(PIEVirtualImageInfo image, Integer value) {
  if (Contains(image)) image->OriginalWidth = value;
}

void TIEVirtualDIBList::SetImageOriginalHeight(PIEVirtualImageInfo image, Integer value) {
  if (Contains(image)) image->OriginalHeight = value;
}

// --- Copies ----------------------------------------------------------------------------------

void TIEVirtualDIBList::DirectCopyToBitmap(PIEVirtualImageInfo image, TBitmap* bitmap) {
  if (bitmap == nullptr || !Contains(image) || !MapImage(*image)) return;
  const TPixelFormat format = image->BitCount == 1 ? pf1bit : pf24bit;
  if (bitmap->GetPixelFormat() != format || bitmap->GetWidth() != image->Width ||
      bitmap->GetHeight() != image->Height) {
    bitmap->SetSize(1, 1);
    bitmap->SetPixelFormat(format);
    bitmap->SetSize(image->Width, image->Height);
  }
  const auto rowLen = static_cast<size_t>(_BitmapRowLen(image->Width, image->BitCount));
  for (Integer k = 0; k < image->Height; ++k)
    std::memcpy(bitmap->ScanLine(image->Height - k - 1),
                image->View + kHeaderSize + static_cast<size_t>(k) * rowLen, rowLen);
}

void TIEVirtualDIBList::CopyToIEBitmap(PIEVirtualImageInfo image, TIEBitmap* bitmap) {
  if (bitmap == nullptr || !Contains(image) || !MapImage(*image)) return;
  if (image->HandedOut) {
    bitmap->CopyFromTBitmap(handedOut_[static_cast<size_t>(ReleaseIndexOfImage(image))].Bitmap);
    return;
  }
  bitmap->Allocate(image->Width, image->Height, image->BitCount == 1 ? ie1g : ie24RGB);
  const auto rowLen = static_cast<size_t>(_BitmapRowLen(image->Width, image->BitCount));
  for (Integer k = 0; k < image->Height; ++k)
    std::memcpy(bitmap->GetScanLine(image->Height - k - 1),
                image->View + kHeaderSize + static_cast<size_t>(k) * rowLen, rowLen);
}

void TIEVirtualDIBList::CopyFromBitmap(PIEVirtualImageInfo image, TBitmap* bitmap) {
  if (bitmap == nullptr || !Contains(image)) return;
  std::unique_ptr<TBitmap> holder;
  TBitmap* source = StorableBitmap(bitmap, holder);
  const Integer bits = source->GetPixelFormat() == pf1bit ? 1 : 24;
  const Integer w = source->GetWidth();
  const Integer h = source->GetHeight();
  if (w < 1 || h < 1) return;
  if (w != image->Width || h != image->Height || bits != image->BitCount) {
    // The old view goes before the block does: a stale view would write into a block
    // that may soon hold another image.
    DiscardImage(*image);
    const TIEVirtualImageInfo before = *image;
    if (image->BlockSize != 0) freeBlocks_.push_back(FreeBlock{image->Offset, image->BlockSize});
    if (!AllocImage(*image, w, h, bits)) {
      // Nothing could be had: the image keeps its old block and picture.
      if (before.BlockSize != 0) {
        auto it = std::find_if(freeBlocks_.begin(), freeBlocks_.end(), [&](const FreeBlock& b) {
          return b.Offset == before.Offset && b.Size == before.BlockSize;
        });
        if (it != freeBlocks_.end()) freeBlocks_.erase(it);
      }
      const bool handed = image->HandedOut;
      *image = before;
      image->View = nullptr;
      image->HandedOut = handed;
      return;
    }
  }
  if (!MapImage(*image)) return;
  const auto rowLen = static_cast<size_t>(_BitmapRowLen(w, bits));
  for (Integer k = 0; k < h; ++k)
    std::memcpy(image->View + kHeaderSize + static_cast<size_t>(k) * rowLen,
                source->ScanLine(h - k - 1), rowLen);
}

Integer TIEVirtualDIBList::BmpToReleaseIndexOf(TBitmap* bitmap) const {
  for (size_t i = 0; i < handedOut_.size(); ++i)
    if (handedOut_[i].Bitmap == bitmap) return static_cast<Integer>(i);
  return -1;
}

Integer TIEVirtualDIBList::ReleaseIndexOfImage(PIEVirtualImageInfo image) const {
  for (size_t i = 0; i < handedOut_.size(); ++i)
    if (handedOut_[i].Image == image) return static_cast<Integer>(i);
  return -1;
}

void TIEVirtualDIBList::FreeHandedOut(Integer index) {
  ToRelease entry = handedOut_[static_cast<size_t>(index)];
  handedOut_.erase(handedOut_.begin() + index);
  if (entry.Image != nullptr) entry.Image->HandedOut = false;
  delete entry.Bitmap;
}

TBitmap* TIEVirtualDIBList::GetBitmap(PIEVirtualImageInfo image) {
  if (!Contains(image) || !MapImage(*image)) return nullptr;
  const Integer r = ReleaseIndexOfImage(image);
  if (r >= 0) {
    ++handedOut_[static_cast<size_t>(r)].RefCount;
    return handedOut_[static_cast<size_t>(r)].Bitmap;
  }
  auto bitmap = std::make_unique<TBitmap>();
  DirectCopyToBitmap(image, bitmap.get());
  handedOut_.push_back(ToRelease{image, bitmap.get(), 1});
  image->HandedOut = true;
  return bitmap.release();
}

void TIEVirtualDIBList::ReleaseBitmap(TBitmap* bitmap, bool writeBack) {
  if (bitmap == nullptr) return;
  const Integer r = BmpToReleaseIndexOf(bitmap);
  if (r < 0) return;
  ToRelease& entry = handedOut_[static_cast<size_t>(r)];
  --entry.RefCount;
  if (writeBack) CopyFromBitmap(entry.Image, bitmap);
  if (entry.RefCount <= 0) FreeHandedOut(r);
}

void TIEVirtualDIBList::ReleaseBitmapByImage(PIEVirtualImageInfo image, bool writeBack) {
  const Integer r = ReleaseIndexOfImage(image);
  if (r >= 0) ReleaseBitmap(handedOut_[static_cast<size_t>(r)].Bitmap, writeBack);
}

Integer TIEVirtualDIBList::RenderTo(PIEVirtualImageInfo image, TCanvas* canvas, HDRAWDIB drawDib,
                                    Integer xDst, Integer yDst, Integer dxDst, Integer dyDst,
                                    Integer xSrc, Integer ySrc, Integer dxSrc, Integer dySrc) {
  if (canvas == nullptr || !Contains(image) || !MapImage(*image)) return 0;
  return DrawDibDraw(drawDib, canvas->GetHandle(), xDst, yDst, dxDst, dyDst,
                     reinterpret_cast<const BITMAPINFOHEADER*>(image->View), image->View + kHeaderSize,
                     xSrc, ySrc, dxSrc, dySrc, 0);
}
