// TIEVirtualBitmap: tiles of a large image in a mapped temporary file.
#include "image/model/ievirtualbitmap.h"

#include <algorithm>
#include <cstring>

#include "image/model/iebitmap.h"
#include "image/proc/dadiravproc_resample.h"
#include "platform/vcl/Graphics.h"
#include "platform/win/GdiDrawDib.h"

namespace {

// Copies width pixels of bitCount bits from src (starting at pixel srcX) to dst
// (starting at pixel dstX).
void CopyPixels(Byte* dst, DWORD dstX, const Byte* src, DWORD srcX, DWORD width,
                Integer bitCount) {
  if (bitCount == 1) {
    for (DWORD i = 0; i < width; ++i) {
      const DWORD s = srcX + i;
      const DWORD d = dstX + i;
      const bool bit = (src[s >> 3] & iebitmask1[s & 7]) != 0;
      if (bit)
        dst[d >> 3] |= iebitmask1[d & 7];
      else
        dst[d >> 3] &= static_cast<Byte>(~iebitmask1[d & 7]);
    }
    return;
  }
  const size_t bytes = static_cast<size_t>(bitCount / 8);
  std::memmove(dst + dstX * bytes, src + srcX * bytes, width * bytes);
}

TPixelFormat FormatOf(Integer bitCount) {
  switch (bitCount) {
    case 1: return pf1bit;
    case 8: return pf8bit;
    case 24: return pf24bit;
    default: return pfCustom;
  }
}

}  // namespace

TIEVirtualBitmap::TIEVirtualBitmap() : mappedFile_(std::make_unique<TIEMemoryMapped>()) {}

TIEVirtualBitmap::~TIEVirtualBitmap() { FreeBits(); }

bool TIEVirtualBitmap::AllocateBits(DWORD width, DWORD height, Integer bitCount) {
  FreeBits();
  width_ = height_ = 0;
  bitCount_ = 0;
  tilesAcross_ = tilesDown_ = 0;
  tileRowLen_ = 0;
  tileMaps_ = 0;
  if (width == 0 || height == 0) return false;
  switch (bitCount) {
    case 1: tileWidth_ = 1024; tileHeight_ = 512; break;
    case 8: tileWidth_ = 256; tileHeight_ = 256; break;
    case 24: tileWidth_ = 512; tileHeight_ = 512; break;
    default: return false;
  }
  const UInt64 across = (static_cast<UInt64>(width) + tileWidth_ - 1) / tileWidth_;
  const UInt64 down = (static_cast<UInt64>(height) + tileHeight_ - 1) / tileHeight_;
  const auto rowLen = static_cast<UInt64>(_BitmapRowLen(static_cast<Integer>(tileWidth_), bitCount));
  const UInt64 size = rowLen * tileHeight_ * across * down;  // below 2^64 for 32-bit sizes
  if (!mappedFile_->AllocateFile("", static_cast<DWORD>(size), static_cast<DWORD>(size >> 32)))
    return false;
  width_ = width;
  height_ = height;
  bitCount_ = bitCount;
  tilesAcross_ = static_cast<Integer>(across);
  tilesDown_ = static_cast<Integer>(down);
  tileRowLen_ = static_cast<Integer>(rowLen);
  return true;
}

void TIEVirtualBitmap::SetWidth(DWORD value) {
  width_ = value;
  if (width_ != 0 && height_ != 0 && bitCount_ != 0) AllocateBits(width_, height_, bitCount_);
}

void TIEVirtualBitmap::SetHeight(DWORD value) {
  height_ = value;
  if (width_ != 0 && height_ != 0 && bitCount_ != 0) AllocateBits(width_, height_, bitCount_);
}

void TIEVirtualBitmap::SetBitCount(Integer value) {
  bitCount_ = value;
  if (width_ != 0 && height_ != 0 && bitCount_ != 0) AllocateBits(width_, height_, bitCount_);
}

void TIEVirtualBitmap::FreeBits() {
  while (!locked_.empty()) ReleaseBitmap(locked_.back().bitmap);
  DropCachedTile();
  mappedFile_->DeAllocate();
}

void TIEVirtualBitmap::DropCachedTile() {
  if (tileCached_ && cachedTile_ != nullptr) mappedFile_->UnMap(cachedTile_);
  tileCached_ = false;
  cachedTile_ = nullptr;
}

Byte* TIEVirtualBitmap::MapTile(DWORD column, DWORD row) {
  const UInt64 tileBytes = static_cast<UInt64>(tileRowLen_) * tileHeight_;
  const UInt64 offset = (static_cast<UInt64>(row) * static_cast<UInt64>(tilesAcross_) + column) * tileBytes;
  ++tileMaps_;
  return static_cast<Byte*>(mappedFile_->Map(static_cast<DWORD>(offset >> 32),
                                             static_cast<DWORD>(offset),
                                             static_cast<DWORD>(tileBytes)));
}

bool TIEVirtualBitmap::ClipRect(DWORD& x, DWORD& y, DWORD& width, DWORD& height) const {
  if (x >= width_ || y >= height_ || width == 0 || height == 0) return false;
  width = std::min<DWORD>(width, width_ - x);
  height = std::min<DWORD>(height, height_ - y);
  return true;
}

template <class Fn>
void TIEVirtualBitmap::WalkRect(DWORD x, DWORD y, DWORD width, DWORD height, Fn&& fn) {
  if (!ClipRect(x, y, width, height)) return;
  // Pixel access keeps one tile; the walk maps its own, so nothing is mapped twice.
  DropCachedTile();
  DWORD rowsDone = 0;
  while (rowsDone < height) {
    const DWORD py = y + rowsDone;
    const DWORD bandH = std::min(tileHeight_ - py % tileHeight_, height - rowsDone);
    DWORD colsDone = 0;
    while (colsDone < width) {
      const DWORD px = x + colsDone;
      const DWORD bandW = std::min(tileWidth_ - px % tileWidth_, width - colsDone);
      Byte* tile = MapTile(px / tileWidth_, py / tileHeight_);
      if (tile != nullptr) {
        fn(Band{tile, px, py, bandW, bandH, px % tileWidth_, py % tileHeight_});
        mappedFile_->UnMap(tile);
      } else {
        mappedFile_->UnMap(nullptr);
      }
      colsDone += bandW;
    }
    rowsDone += bandH;
  }
}

void TIEVirtualBitmap::GetPixel(DWORD x, DWORD y, void* pixel) {
  const size_t bytes = bitCount_ == 24 ? 3 : 1;
  if (x >= width_ || y >= height_ || bitCount_ == 0) {
    std::memset(pixel, 0, bitCount_ == 24 ? 3 : 1);
    return;
  }
  const DWORD column = x / tileWidth_;
  const DWORD row = y / tileHeight_;
  if (!tileCached_ || cachedColumn_ != column || cachedRow_ != row) {
    DropCachedTile();
    cachedTile_ = MapTile(column, row);
    if (cachedTile_ == nullptr) {
      mappedFile_->UnMap(nullptr);
      std::memset(pixel, 0, bytes);
      return;
    }
    tileCached_ = true;
    cachedColumn_ = column;
    cachedRow_ = row;
  }
  const Byte* line = cachedTile_ + static_cast<size_t>(y % tileHeight_) * static_cast<size_t>(tileRowLen_);
  const DWORD tx = x % tileWidth_;
  if (bitCount_ == 1)
    *static_cast<Byte*>(pixel) = (line[tx >> 3] & iebitmask1[tx & 7]) != 0 ? 1 : 0;
  else
    std::memcpy(pixel, line + tx * bytes, bytes);
}

void TIEVirtualBitmap::SetPixel(DWORD x, DWORD y, const void* pixel) {
  if (x >= width_ || y >= height_ || bitCount_ == 0) return;
  Byte probe[3];
  GetPixel(x, y, probe);  // maps the tile into the cache
  if (!tileCached_) return;
  Byte* line = cachedTile_ + static_cast<size_t>(y % tileHeight_) * static_cast<size_t>(tileRowLen_);
  const DWORD tx = x % tileWidth_;
  if (bitCount_ == 1) {
    if (*static_cast<const Byte*>(pixel) != 0)
      line[tx >> 3] |= iebitmask1[tx & 7];
    else
      line[tx >> 3] &= static_cast<Byte>(~iebitmask1[tx & 7]);
  } else {
    std::memcpy(line + tx * static_cast<size_t>(bitCount_ / 8), pixel, static_cast<size_t>(bitCount_ / 8));
  }
}

TBitmap* TIEVirtualBitmap::GetBitmap(DWORD x, DWORD y, DWORD width, DWORD height) {
  const TPixelFormat format = FormatOf(bitCount_);
  if (format == pfCustom || !ClipRect(x, y, width, height)) return nullptr;
  if (static_cast<UInt64>(width) * height > static_cast<UInt64>(TBitmap::kMaxPixels)) return nullptr;
  auto bitmap = std::make_unique<TBitmap>();
  bitmap->SetPixelFormat(format);
  bitmap->SetSize(static_cast<Integer>(width), static_cast<Integer>(height));
  WalkRect(x, y, width, height, [&](const Band& band) {
    for (DWORD r = 0; r < band.height; ++r) {
      const Byte* src = band.tile + static_cast<size_t>(band.tileY + r) * static_cast<size_t>(tileRowLen_);
      auto* dst = static_cast<Byte*>(bitmap->ScanLine(static_cast<Integer>(band.y - y + r)));
      CopyPixels(dst, band.x - x, src, band.tileX, band.width, bitCount_);
    }
  });
  locked_.push_back(Locked{x, y, width, height, bitmap.get()});
  return bitmap.release();
}

void TIEVirtualBitmap::WriteBack(const Locked& entry) {
  TBitmap* bitmap = entry.bitmap;
  // A bitmap changed in size or depth writes what still overlaps, in the image's depth.
  if (bitmap->GetPixelFormat() != FormatOf(bitCount_)) bitmap->SetPixelFormat(FormatOf(bitCount_));
  const DWORD w = std::min<DWORD>(entry.width, static_cast<DWORD>(std::max(bitmap->GetWidth(), 0)));
  const DWORD h = std::min<DWORD>(entry.height, static_cast<DWORD>(std::max(bitmap->GetHeight(), 0)));
  WalkRect(entry.x, entry.y, w, h, [&](const Band& band) {
    for (DWORD r = 0; r < band.height; ++r) {
      Byte* dst = band.tile + static_cast<size_t>(band.tileY + r) * static_cast<size_t>(tileRowLen_);
      const auto* src = static_cast<const Byte*>(bitmap->ScanLine(static_cast<Integer>(band.y - entry.y + r)));
      CopyPixels(dst, band.tileX, src, band.x - entry.x, band.width, bitCount_);
    }
  });
}

void TIEVirtualBitmap::ReleaseBitmap(TBitmap* bitmap) {
  auto it = std::find_if(locked_.begin(), locked_.end(),
                         [bitmap](const Locked& l) { return l.bitmap == bitmap; });
  if (bitmap == nullptr || it == locked_.end()) return;
  const Locked entry = *it;
  locked_.erase(it);
  WriteBack(entry);
  delete entry.bitmap;
}

void TIEVirtualBitmap::CopyFromIEBitmap(TIEBitmap* source, DWORD x, DWORD y, DWORD width,
                                        DWORD height) {
  if (source == nullptr || bitCount_ == 0) return;
  const TIEPixelFormat format = source->GetPixelFormat();
  if (format != ie1g && format != ie8p && format != ie8g && format != ie24RGB) return;
  width = std::min<DWORD>(width, static_cast<DWORD>(std::max(source->GetWidth(), 0)));
  height = std::min<DWORD>(height, static_cast<DWORD>(std::max(source->GetHeight(), 0)));
  WalkRect(x, y, width, height, [&](const Band& band) {
    for (DWORD r = 0; r < band.height; ++r) {
      Byte* dst = band.tile + static_cast<size_t>(band.tileY + r) * static_cast<size_t>(tileRowLen_);
      const auto sy = static_cast<Integer>(band.y - y + r);
      const auto* src = static_cast<const Byte*>(source->GetScanLine(sy));
      const DWORD sx0 = band.x - x;
      if (source->GetBitCount() == bitCount_) {
        CopyPixels(dst, band.tileX, src, sx0, band.width, bitCount_);
        continue;
      }
      for (DWORD c = 0; c < band.width; ++c) {
        const TRGB p = source->GetPixels(static_cast<Integer>(sx0 + c), sy);
        const DWORD tx = band.tileX + c;
        if (bitCount_ == 24) {
          reinterpret_cast<TRGB*>(dst)[tx] = p;
        } else if (bitCount_ == 8) {
          dst[tx] = static_cast<Byte>((p.r * 30 + p.g * 59 + p.b * 11) / 100);
        } else {
          const bool white = (p.r * 30 + p.g * 59 + p.b * 11) / 100 >= 128;
          if (white)
            dst[tx >> 3] |= iebitmask1[tx & 7];
          else
            dst[tx >> 3] &= static_cast<Byte>(~iebitmask1[tx & 7]);
        }
      }
    }
  });
}

void TIEVirtualBitmap::ApplyFunction(DWORD x, DWORD y, DWORD width, DWORD height,
                                     TIEVirtualBitmapFunction func, void* data) {
  if (func == nullptr || bitCount_ == 0) return;
  WalkRect(x, y, width, height, [&](const Band& band) {
    for (DWORD r = 0; r < band.height; ++r) {
      Byte* line = band.tile + static_cast<size_t>(band.tileY + r) * static_cast<size_t>(tileRowLen_);
      for (DWORD c = 0; c < band.width; ++c) {
        const DWORD tx = band.tileX + c;
        if (bitCount_ == 1) {
          Byte bit = (line[tx >> 3] & iebitmask1[tx & 7]) != 0 ? 1 : 0;
          const Byte before = bit;
          func(band.x + c, band.y + r, &bit, data);
          if (bit != before) {
            if (bit != 0)
              line[tx >> 3] |= iebitmask1[tx & 7];
            else
              line[tx >> 3] &= static_cast<Byte>(~iebitmask1[tx & 7]);
          }
        } else {
          func(band.x + c, band.y + r, line + tx * static_cast<size_t>(bitCount_ / 8), data);
        }
      }
    }
  });
}

void TIEVirtualBitmap::RenderTo(TCanvas* canvas, Integer xDst, Integer yDst, Integer dxDst,
                                Integer dyDst, Integer xSrc, Integer ySrc, Integer dxSrc,
                                Integer dySrc, bool filter) {
  if (canvas == nullptr || bitCount_ == 0 || dxDst <= 0 || dyDst <= 0 || dxSrc <= 0 ||
      dySrc <= 0 || xSrc < 0 || ySrc < 0)
    return;
  struct {
    BITMAPINFOHEADER header;
    RGBQUAD colors[256];
  } info{};
  info.header.biSize = sizeof(BITMAPINFOHEADER);
  info.header.biPlanes = 1;
  info.header.biCompression = BI_RGB;
  info.colors[1] = RGBQUAD{255, 255, 255, 0};
  if (bitCount_ == 8)
    for (int i = 0; i < 256; ++i)
      info.colors[i] = RGBQUAD{static_cast<Byte>(i), static_cast<Byte>(i), static_cast<Byte>(i), 0};
  const HDC dc = canvas->GetHandle();
  const HDRAWDIB dd = DrawDibOpen();
  const bool shrink1bit = bitCount_ == 1 && filter && (dxDst < dxSrc || dyDst < dySrc);
  WalkRect(static_cast<DWORD>(xSrc), static_cast<DWORD>(ySrc), static_cast<DWORD>(dxSrc),
           static_cast<DWORD>(dySrc), [&](const Band& band) {
             const Integer bx = xDst + static_cast<Integer>((static_cast<Int64>(band.x) - xSrc) * dxDst / dxSrc);
             const Integer by = yDst + static_cast<Integer>((static_cast<Int64>(band.y) - ySrc) * dyDst / dySrc);
             // Each band ends where the next begins, so bands neither overlap nor leave
             // gaps, and a 1:1 drawing is exact.
             const Integer bx2 = xDst + static_cast<Integer>((static_cast<Int64>(band.x) + band.width - xSrc) * dxDst / dxSrc);
             const Integer by2 = yDst + static_cast<Integer>((static_cast<Int64>(band.y) + band.height - ySrc) * dyDst / dySrc);
             const Integer bw = std::max(bx2 - bx, 1);
             const Integer bh = std::max(by2 - by, 1);
             if (shrink1bit) {
               // The tile is top-down; the sub-sampler reads bottom-up pictures, so
               // it sees the band upside down and answers it upside down as well,
               // which read top-down is the band the right way up.
               const auto y1 = static_cast<Integer>(tileHeight_ - band.tileY - band.height);
               auto grey = _SubResample1bitFilteredDIB(
                   band.tile, static_cast<Integer>(tileWidth_), static_cast<Integer>(tileHeight_),
                   static_cast<Integer>(band.tileX), y1, static_cast<Integer>(band.tileX + band.width - 1),
                   static_cast<Integer>(y1 + band.height - 1), bw, bh);
               if (grey == nullptr) return;
               BITMAPINFOHEADER h{};
               h.biSize = sizeof(h);
               h.biWidth = bw;
               h.biHeight = -bh;
               h.biPlanes = 1;
               h.biBitCount = 24;
               DrawDibDraw(dd, dc, bx, by, bw, bh, &h, grey.get(), 0, 0, bw, bh, 0);
               return;
             }
             info.header.biWidth = static_cast<Integer>(tileWidth_);
             info.header.biHeight = -static_cast<Integer>(tileHeight_);  // rows run top-down
             info.header.biBitCount = static_cast<WORD>(bitCount_);
             info.header.biClrUsed = bitCount_ == 24 ? 0 : (bitCount_ == 1 ? 2 : 256);
             DrawDibDraw(dd, dc, bx, by, bw, bh, &info.header, band.tile,
                         static_cast<Integer>(band.tileX), static_cast<Integer>(band.tileY),
                         static_cast<Integer>(band.width), static_cast<Integer>(band.height), 0);
           });
  DrawDibClose(dd);
}
