// TIEBitmap storage: allocation in memory, in a mapped temporary file or in a
// framework bitmap; moving between them; rows of file storage.
#include <sys/mman.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "image/model/iebitmap.h"
#include "image/model/ieutils.h"
#include "platform/rtl/Exceptions.h"

namespace {

constexpr DWORD kDefaultMemoryLimit = 0x2000000;  // 32 MiB
constexpr UInt64 kGranularity = TIEMemoryMapped::IEAllocationGranularity;
// GetScanLine in file storage maps this much of the file at a time (at least one row).
constexpr UInt64 kWindowBytes = UInt64{64} << 20;

// Asks for huge pages over the 2 MiB-aligned inside of a large fresh block: the first
// touch of its pixels then faults once per 2 MiB instead of once per 4 KiB page. Only
// advice; nothing changes where the kernel declines it.
void AdviseHugePages(void* block, size_t size) {
  constexpr uintptr_t kHuge = uintptr_t{2} << 20;
  if (size < 2 * kHuge) return;
  const uintptr_t begin = (reinterpret_cast<uintptr_t>(block) + kHuge - 1) & ~(kHuge - 1);
  const uintptr_t end = (reinterpret_cast<uintptr_t>(block) + size) & ~(kHuge - 1);
  if (end > begin) madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
}

DWORD InitialMemoryLimit() {
  const UInt64 free = IEGetFreeMemory();
  if (free == 0) return kDefaultMemoryLimit;
  return static_cast<DWORD>(std::min<UInt64>(free / 2, 0xFFFFFFFFu));
}

TPixelFormat FrameworkFormat(TIEPixelFormat format) {
  switch (format) {
    case ie1g: return pf1bit;
    case ie24RGB: return pf24bit;
    default: return pf8bit;
  }
}

}  // namespace

void TIEBitmap::FreeDeleter::operator()(Byte* p) const noexcept { std::free(p); }

TIEBitmap::TIEBitmap()
    : mappedFile_(std::make_unique<TIEMemoryMapped>()), memoryLimit_(InitialMemoryLimit()) {}

TIEBitmap::TIEBitmap(Integer width, Integer height, TIELocation location) : TIEBitmap() {
  isAlphaChannel_ = true;
  location_ = location == ieTBitmap ? ieMemory : location;
  Allocate(width, height, ie8g);
  Fill(255);
}

TIEBitmap::~TIEBitmap() { FreeImage(); }

// ---------------------------------------------------------------------------
// Allocation

void TIEBitmap::Allocate(Integer width, Integer height, TIEPixelFormat format) {
  ReleaseImage(true);
  width_ = std::max(width, 0);
  height_ = std::max(height, 0);
  pixelFormat_ = format;
  AllocateImage();
}

void TIEBitmap::AllocateImage() {
  if (width_ <= 0 || height_ <= 0 || pixelFormat_ == ienull) return;
  try {
    // Whatever storage a previous allocation left goes first.
    ReleaseWindow();
    for (const KeptRow& kept : keptRows_) mappedFile_->UnMap(kept.view);
    keptRows_.clear();
    mappedFile_->DeAllocate();
    memory_.reset();
    scanLines_.clear();

    if (pixelFormat_ == ie8p) {
      palette_ = std::make_unique<TRGB[]>(256);
      paletteCount_ = 256;
    } else {
      palette_.reset();
      paletteCount_ = 0;
    }
    // Framework bitmaps hold no 16-bit grey.
    if (location_ == ieTBitmap && pixelFormat_ == ie16g) pixelFormat_ = ie8g;
    bitCount_ = IEPixelFormatBits(pixelFormat_);
    rowLen_ = _BitmapRowLen(width_, bitCount_);
    const UInt64 size = static_cast<UInt64>(rowLen_) * static_cast<UInt64>(height_);

    if (location_ == ieFile && size < memoryLimit_) location_ = ieMemory;
    else if (location_ == ieMemory && size > memoryLimit_) location_ = ieFile;

    if (location_ == ieFile &&
        !mappedFile_->AllocateFile("", static_cast<DWORD>(size), static_cast<DWORD>(size >> 32)))
      location_ = ieMemory;

    if (location_ == ieMemory) {
      if (size > SIZE_MAX) throw EOutOfMemory("Out of memory");
      memory_.reset(static_cast<Byte*>(std::calloc(static_cast<size_t>(size), 1)));
      if (!memory_) throw EOutOfMemory("Out of memory");
      AdviseHugePages(memory_.get(), static_cast<size_t>(size));
    } else if (location_ == ieTBitmap) {
      if (frameworkBitmap_ == nullptr) {
        ownedBitmap_ = std::make_unique<TBitmap>();
        frameworkBitmap_ = ownedBitmap_.get();
      }
      // Emptied first, so the new pixels start zero.
      frameworkBitmap_->SetSize(0, 0);
      frameworkBitmap_->SetPixelFormat(FrameworkFormat(pixelFormat_));
      if (pixelFormat_ == ie1g) frameworkBitmap_->SetMonochrome(true);
      frameworkBitmap_->SetSize(width_, height_);
      BuildBitmapScanlines();
    }
    full_ = false;
  } catch (...) {
    ReleaseImage(true);
    throw;
  }
}

void TIEBitmap::FreeImage() { ReleaseImage(false); }

void TIEBitmap::ReleaseImage(bool keepBitmap) {
  ReleaseWindow();
  for (const KeptRow& kept : keptRows_) mappedFile_->UnMap(kept.view);
  keptRows_.clear();
  mappedFile_->DeAllocate();
  alphaPlane_.reset();
  palette_.reset();
  paletteCount_ = 0;
  memory_.reset();
  scanLines_.clear();
  if (!keepBitmap || location_ != ieTBitmap) {
    ownedBitmap_.reset();
    frameworkBitmap_ = nullptr;
    adopted_ = false;
  }
  width_ = height_ = rowLen_ = bitCount_ = 0;
  full_ = false;
}

void TIEBitmap::SwitchTo(TIEBitmap* dest) {
  if (dest == nullptr || dest == this) return;
  dest->FreeImage();
  dest->width_ = width_;
  dest->height_ = height_;
  dest->bitCount_ = bitCount_;
  dest->rowLen_ = rowLen_;
  dest->pixelFormat_ = pixelFormat_;
  dest->palette_ = std::move(palette_);
  dest->paletteCount_ = paletteCount_;
  dest->alphaPlane_ = std::move(alphaPlane_);
  dest->isAlphaChannel_ = isAlphaChannel_;
  dest->memory_ = std::move(memory_);
  dest->ownedBitmap_ = std::move(ownedBitmap_);
  dest->frameworkBitmap_ = frameworkBitmap_;
  dest->scanLines_ = std::move(scanLines_);
  dest->location_ = location_;
  dest->full_ = full_;
  dest->adopted_ = adopted_;
  dest->mappedFile_ = std::move(mappedFile_);
  dest->window_ = window_;
  dest->windowStart_ = windowStart_;
  dest->windowEnd_ = windowEnd_;
  dest->keptRows_ = std::move(keptRows_);
  dest->defaultDitherMethod_ = defaultDitherMethod_;

  mappedFile_ = std::make_unique<TIEMemoryMapped>();
  keptRows_.clear();
  scanLines_.clear();
  window_ = nullptr;
  windowStart_ = windowEnd_ = 0;
  frameworkBitmap_ = nullptr;
  width_ = height_ = bitCount_ = rowLen_ = paletteCount_ = 0;
  isAlphaChannel_ = full_ = adopted_ = false;
}

void TIEBitmap::TakeAlphaFrom(TIEBitmap& from) {
  alphaPlane_ = std::move(from.alphaPlane_);
  isAlphaChannel_ = from.isAlphaChannel_;
}

void TIEBitmap::SetLocation(TIELocation location) {
  if (location == location_) return;
  TIEBitmap old;
  SwitchTo(&old);
  location_ = location;
  try {
    Allocate(old.width_, old.height_, old.pixelFormat_);
  } catch (...) {
    old.SwitchTo(this);  // the pixels stay where they were
    throw;
  }
  TakeAlphaFrom(old);
  if (width_ > 0 && height_ > 0 && bitCount_ > 0) CopyPixelsFrom(&old);
  if (paletteCount_ > 0 && old.palette_)
    std::memcpy(palette_.get(), old.palette_.get(),
                sizeof(TRGB) * static_cast<size_t>(std::min(paletteCount_, old.paletteCount_)));
  UpdateTBitmapPalette();
  full_ = old.full_;
}

// ---------------------------------------------------------------------------
// Framework bitmaps

void TIEBitmap::EncapsulateTBitmap(TBitmap* bitmap, bool freeOld) {
  if (bitmap != nullptr && bitmap == ownedBitmap_.get()) {
    // Our own framework bitmap stays ours (freeing it first would free the argument):
    // its fields are read again.
    if (freeOld) RemoveAlphaChannel();
    RefreshFromFramework();
    return;
  }
  if (freeOld) FreeImage();
  if (bitmap == nullptr) return;
  // The pixels held so far go; an alpha plane stays unless freeOld dropped it.
  std::unique_ptr<TIEBitmap> alpha = std::move(alphaPlane_);
  const bool isAlpha = isAlphaChannel_;
  ReleaseImage(false);
  alphaPlane_ = std::move(alpha);
  isAlphaChannel_ = isAlpha;
  frameworkBitmap_ = bitmap;
  adopted_ = true;
  location_ = ieTBitmap;
  pixelFormat_ = ienull;
  RefreshFromFramework();
}

void TIEBitmap::RefreshFromFramework() {
  const TPixelFormat framework = frameworkBitmap_->GetPixelFormat();
  TIEPixelFormat format = ienull;
  if (framework == pf1bit) format = ie1g;
  else if (framework == pf24bit) format = ie24RGB;
  else if (framework == pf8bit && (pixelFormat_ == ie8p || pixelFormat_ == ie8g)) format = pixelFormat_;
  if (format != ie8p) {
    palette_.reset();
    paletteCount_ = 0;
  }
  pixelFormat_ = format;
  scanLines_.clear();
  if (format == ienull) {
    // Rows of any other format do not match a store format: no pixels.
    width_ = height_ = bitCount_ = rowLen_ = 0;
    return;
  }
  width_ = frameworkBitmap_->GetWidth();
  height_ = frameworkBitmap_->GetHeight();
  bitCount_ = IEPixelFormatBits(pixelFormat_);
  rowLen_ = _BitmapRowLen(width_, bitCount_);
  BuildBitmapScanlines();
}

void TIEBitmap::BuildBitmapScanlines() {
  scanLines_.clear();
  if (frameworkBitmap_ == nullptr) return;
  const Integer height = frameworkBitmap_->GetHeight();
  if (height <= 0 || frameworkBitmap_->GetWidth() <= 0) return;
  scanLines_.resize(static_cast<size_t>(height));
  for (Integer r = 0; r < height; ++r)
    scanLines_[static_cast<size_t>(r)] = static_cast<Byte*>(frameworkBitmap_->ScanLine(r));
}

void TIEBitmap::FreeBitmapScanlines() { scanLines_.clear(); }

TCanvas* TIEBitmap::GetCanvas() {
  SetLocation(ieTBitmap);
  if (frameworkBitmap_ == nullptr) {
    ownedBitmap_ = std::make_unique<TBitmap>();
    frameworkBitmap_ = ownedBitmap_.get();
  }
  return frameworkBitmap_->GetCanvas();
}

void TIEBitmap::UpdateTBitmapPalette() {
  if (location_ != ieTBitmap || frameworkBitmap_ == nullptr) return;
  if (frameworkBitmap_->GetPixelFormat() != pf8bit) return;
  // An ie8g store shows through a grey ramp.
  if (pixelFormat_ != ie8p && pixelFormat_ != ie8g) return;
  if (pixelFormat_ == ie8p && paletteCount_ < 1) return;
  const Integer count = pixelFormat_ == ie8p ? paletteCount_ : 256;
  std::vector<Byte> buffer(sizeof(LOGPALETTE) + static_cast<size_t>(count) * sizeof(PALETTEENTRY));
  auto* log = reinterpret_cast<LOGPALETTE*>(buffer.data());
  log->palVersion = 0x300;
  log->palNumEntries = static_cast<WORD>(count);
  for (Integer i = 0; i < count; ++i) {
    PALETTEENTRY& e = log->palPalEntry[i];
    if (pixelFormat_ == ie8p) {
      e = PALETTEENTRY{palette_[static_cast<size_t>(i)].r, palette_[static_cast<size_t>(i)].g,
                       palette_[static_cast<size_t>(i)].b, 0};
    } else {
      const auto v = static_cast<Byte>(i);
      e = PALETTEENTRY{v, v, v, 0};
    }
  }
  frameworkBitmap_->SetPalette(CreatePalette(log));
}

// ---------------------------------------------------------------------------
// Rows of file storage

void TIEBitmap::ReleaseWindow() const {
  if (window_ == nullptr) return;
  mappedFile_->UnMap(window_);
  window_ = nullptr;
  windowStart_ = windowEnd_ = 0;
}

void* TIEBitmap::FileScanLine(Integer row) const {
  const UInt64 offset = static_cast<UInt64>(row) * static_cast<UInt64>(rowLen_);
  const UInt64 end = offset + static_cast<UInt64>(rowLen_);
  if (window_ != nullptr && offset >= windowStart_ && end <= windowEnd_)
    return window_ + (offset - windowStart_);

  // Walking up the picture, the window ends at the row asked for; otherwise it
  // starts there.
  const bool backwards = window_ != nullptr && offset < windowStart_;
  ReleaseWindow();
  const UInt64 fileSize = static_cast<UInt64>(rowLen_) * static_cast<UInt64>(height_);
  UInt64 start = offset - offset % kGranularity;
  UInt64 length = std::max(end - start, std::min(kWindowBytes, fileSize - start));
  if (backwards) {
    const UInt64 low = end > kWindowBytes ? end - kWindowBytes : 0;
    start = low - low % kGranularity;
    length = end - start;
  }
  void* view = mappedFile_->Map(static_cast<DWORD>(start >> 32), static_cast<DWORD>(start),
                                static_cast<DWORD>(length));
  if (view == nullptr) {
    mappedFile_->UnMap(nullptr);
    throw EOutOfMemory("Cannot map a row of the image file");
  }
  window_ = static_cast<Byte*>(view);
  windowStart_ = start;
  windowEnd_ = start + length;
  return window_ + (offset - start);
}

void* TIEBitmap::MapRowView(Integer row, void*& view) {
  const UInt64 offset = static_cast<UInt64>(row) * static_cast<UInt64>(rowLen_);
  const UInt64 start = offset - offset % kGranularity;
  const auto shift = static_cast<DWORD>(offset - start);
  view = mappedFile_->Map(static_cast<DWORD>(start >> 32), static_cast<DWORD>(start),
                          shift + static_cast<DWORD>(rowLen_));
  if (view == nullptr) {
    mappedFile_->UnMap(nullptr);
    throw EOutOfMemory("Cannot map a row of the image file");
  }
  return static_cast<Byte*>(view) + shift;
}

void* TIEBitmap::GetRow(Integer row) {
  if (location_ != ieFile) return GetScanLine(row);
  void* view = nullptr;
  void* address = MapRowView(row, view);
  keptRows_.push_back({row, view});
  return address;
}

void TIEBitmap::FreeRow(Integer row) {
  if (location_ != ieFile) return;
  for (auto it = keptRows_.rbegin(); it != keptRows_.rend(); ++it) {
    if (it->row != row) continue;
    mappedFile_->UnMap(it->view);
    keptRows_.erase(std::next(it).base());
    return;
  }
}
