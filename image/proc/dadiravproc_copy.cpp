// Copies between framework bitmaps, pixel stores and packed DIBs, and the exact
// bit-run copy of 1-bit rows.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "image/model/iebitmap.h"
#include "image/model/ieutils.h"
#include "image/proc/dadiravproc.h"
#include "image/proc/dadiravproc_internal.h"

using namespace dadiravproc_detail;

namespace {

// Bytes per row and bits per pixel of a framework bitmap, from its section.
bool FrameworkGeometry(TBitmap* bitmap, Integer& rowLen, Integer& bitCount) {
  BITMAP bm;
  if (bitmap->GetHandle() == 0 || GetObject(bitmap->GetHandle(), sizeof(bm), &bm) == 0) return false;
  rowLen = bm.bmWidthBytes;
  bitCount = bm.bmBitsPixel;
  return true;
}

// Gives dest the colour table of a palettised source (1, 4 or 8 bits).
void CopyColorTable(TBitmap* source, TBitmap* dest) {
  const HPALETTE palette = source->GetPalette();
  if (palette == 0) return;
  const UINT count = GetPaletteEntries(palette, 0, 0, nullptr);
  if (count == 0) return;
  std::vector<Byte> buffer(sizeof(LOGPALETTE) + count * sizeof(PALETTEENTRY));
  auto* log = reinterpret_cast<LOGPALETTE*>(buffer.data());
  log->palVersion = 0x300;
  log->palNumEntries = static_cast<WORD>(count);
  GetPaletteEntries(palette, 0, count, log->palPalEntry);
  const HPALETTE copy = CreatePalette(log);
  if (copy != 0) dest->SetPalette(copy);
}

bool Palettised(TPixelFormat format) {
  return format == pf1bit || format == pf4bit || format == pf8bit;
}

// The colour table of 1-bit DIBs: black (0x00000000), then white (0xFFFFFFFF).
const RGBQUAD kBlackWhiteTable[2] = {RGBQUAD{0, 0, 0, 0}, RGBQUAD{255, 255, 255, 255}};

// The colour table of a pf1bit framework bitmap (black, white without one).
void TwoColors(TBitmap* bitmap, RGBQUAD colors[2]) {
  colors[0] = kBlackWhiteTable[0];
  colors[1] = kBlackWhiteTable[1];
  const HPALETTE palette = bitmap->GetPalette();
  if (palette == 0) return;
  PALETTEENTRY entries[2];
  const UINT count = GetPaletteEntries(palette, 0, 2, entries);
  for (UINT i = 0; i < count; ++i) {
    const RGBQUAD q{entries[i].peBlue, entries[i].peGreen, entries[i].peRed, 0};
    const bool black = q.rgbBlue == 0 && q.rgbGreen == 0 && q.rgbRed == 0;
    const bool white = q.rgbBlue == 255 && q.rgbGreen == 255 && q.rgbRed == 255;
    colors[i] = black ? kBlackWhiteTable[0] : (white ? kBlackWhiteTable[1] : q);
  }
}

// Holds a global memory block locked for the length of a call.
class GlobalLockGuard {
 public:
  explicit GlobalLockGuard(HGLOBAL mem) : mem_(mem), address_(GlobalLock(mem)) {}
  ~GlobalLockGuard() {
    if (address_ != nullptr) GlobalUnlock(mem_);
  }
  GlobalLockGuard(const GlobalLockGuard&) = delete;
  GlobalLockGuard& operator=(const GlobalLockGuard&) = delete;
  const Byte* Address() const { return static_cast<const Byte*>(address_); }

 private:
  HGLOBAL mem_;
  void* address_;
};

Int64 DibRowLen(Int64 width, Int64 bitCount) { return ((width * bitCount + 31) / 32) * 4; }

// A new packed DIB: the header, two colour-table entries for 1 bit, the rows and 4
// spare bytes. Rows are filled by the caller through the returned address.
HGLOBAL NewPackedDib(Integer width, Integer height, Integer bitCount, const RGBQUAD* colors,
                     Byte*& rows, void*& locked) {
  const Int64 rowLen = bitCount == 0 ? 0 : DibRowLen(width, bitCount);
  const Int64 tableBytes = bitCount == 1 ? 8 : 0;
  const Int64 size = 40 + tableBytes + rowLen * height + 4;
  const HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE | GMEM_DDESHARE | GMEM_ZEROINIT, static_cast<size_t>(size));
  if (mem == 0) return 0;
  locked = GlobalLock(mem);
  auto* header = static_cast<BITMAPINFOHEADER*>(locked);
  *header = BITMAPINFOHEADER{};
  header->biSize = 40;
  header->biWidth = width;
  header->biHeight = height;
  header->biPlanes = 1;
  header->biBitCount = static_cast<WORD>(bitCount);
  header->biCompression = BI_RGB;
  Byte* p = static_cast<Byte*>(locked) + 40;
  if (bitCount == 1) {
    std::memcpy(p, colors, 8);
    p += 8;
  }
  rows = p;
  return mem;
}

// Limits the DIB rectangle: x2 = 0 and y2 = 0 mean the width and height.
void DibRect(Integer width, Integer height, Integer& x1, Integer& y1, Integer& x2, Integer& y2) {
  if (x2 == 0) x2 = width;
  if (y2 == 0) y2 = height;
  x1 = std::clamp(x1, 0, width);
  y1 = std::clamp(y1, 0, height);
  x2 = std::clamp(x2, x1, width);
  y2 = std::clamp(y2, y1, height);
}

// Scales the masked field of a pixel to 8 bits.
struct MaskField {
  DWORD mask = 0;
  Integer shift = 0;
  Integer bits = 0;
  explicit MaskField(DWORD m) : mask(m) {
    if (m == 0) return;
    while (((m >> shift) & 1) == 0) ++shift;
    bits = _GetBitCount(m);
  }
  Byte Of(DWORD pixel) const {
    if (bits == 0) return 0;
    const DWORD v = (pixel & mask) >> shift;
    return static_cast<Byte>(bits >= 8 ? v >> (bits - 8) : v << (8 - bits));
  }
};

// What a packed DIB's header says, checked against the bytes present.
struct DibLayout {
  const BITMAPINFOHEADER* header = nullptr;
  Integer width = 0;
  Integer height = 0;
  Integer bitCount = 0;
  DWORD compression = 0;
  const RGBQUAD* colors = nullptr;
  Int64 colorCount = 0;  // entries present in the table
  DWORD masks[3] = {0, 0, 0};
  const Byte* rows = nullptr;
  Int64 rowLen = 0;
};

// Reads and checks the header. size < 0: the bytes present are not known. Refuses
// (false) damaged headers, top-down and run-length DIBs, YUV layouts (ReadYuvDib
// reads those) and pixel data beyond the bytes present.
bool ReadDibLayout(const Byte* dib, Int64 size, const void* bits, DibLayout& out) {
  if (dib == nullptr || (size >= 0 && size < 40)) return false;
  const auto* header = reinterpret_cast<const BITMAPINFOHEADER*>(dib);
  if (header->biSize < 40 || (size >= 0 && header->biSize > size)) return false;
  if (header->biWidth <= 0 || header->biHeight <= 0) return false;
  const Integer bitCount = header->biBitCount;
  const DWORD compression = header->biCompression;
  switch (bitCount) {
    case 1:
    case 4:
    case 8:
    case 24:
      if (compression != BI_RGB) return false;
      break;
    case 16:
    case 32:
      if (compression != BI_RGB && compression != BI_BITFIELDS) return false;
      break;
    default:
      return false;
  }
  out.header = header;
  out.width = header->biWidth;
  out.height = header->biHeight;
  out.bitCount = bitCount;
  out.compression = compression;
  Int64 offset = header->biSize;
  if (compression == BI_BITFIELDS) {
    // The masks follow a 40-byte header; larger headers hold them in their fields.
    if (size >= 0 && size < 52) return false;
    std::memcpy(out.masks, dib + 40, sizeof(out.masks));
    if (header->biSize == 40) offset += 12;
  }
  if (bitCount <= 8) {
    const Int64 tableEntries = header->biClrUsed != 0 ? header->biClrUsed : (Int64{1} << bitCount);
    if (tableEntries > (Int64{1} << bitCount)) return false;
    if (size >= 0 && offset + tableEntries * 4 > size) return false;
    out.colors = reinterpret_cast<const RGBQUAD*>(dib + offset);
    out.colorCount = tableEntries;
    offset += tableEntries * 4;
  }
  out.rowLen = DibRowLen(out.width, bitCount);
  if (bits != nullptr) {
    out.rows = static_cast<const Byte*>(bits);
  } else {
    if (size >= 0 && offset + out.rowLen * out.height > size) return false;
    out.rows = dib + offset;
  }
  return true;
}

// Looks up a colour-table entry; entries beyond the table are black.
inline TRGB TableColor(const DibLayout& dib, Integer index) {
  if (index >= dib.colorCount) return TRGB{};
  const RGBQUAD& q = dib.colors[index];
  return TRGB{q.rgbBlue, q.rgbGreen, q.rgbRed};
}

bool IsBlack(TRGB c) { return c == TRGB{0, 0, 0}; }
bool IsWhite(TRGB c) { return c == TRGB{255, 255, 255}; }

// Converts one DIB row into a 24-bit row.
void DibRowTo24(const DibLayout& dib, const Byte* src, TRGB* dest) {
  const Integer width = dib.width;
  switch (dib.bitCount) {
    case 1:
      for (Integer x = 0; x < width; ++x) dest[x] = TableColor(dib, (src[x >> 3] >> (7 - (x & 7))) & 1);
      break;
    case 4:
      for (Integer x = 0; x < width; ++x) {
        const Byte b = src[x >> 1];
        dest[x] = TableColor(dib, (x & 1) == 0 ? b >> 4 : b & 0x0F);
      }
      break;
    case 8:
      for (Integer x = 0; x < width; ++x) dest[x] = TableColor(dib, src[x]);
      break;
    case 16: {
      const bool fields = dib.compression == BI_BITFIELDS;
      const MaskField r(fields ? dib.masks[0] : 0x7C00), g(fields ? dib.masks[1] : 0x03E0),
          b(fields ? dib.masks[2] : 0x001F);
      for (Integer x = 0; x < width; ++x) {
        const DWORD v = static_cast<DWORD>(src[2 * x] | (src[2 * x + 1] << 8));
        dest[x] = TRGB{b.Of(v), g.Of(v), r.Of(v)};
      }
      break;
    }
    case 24:
      std::memcpy(dest, src, static_cast<size_t>(width) * 3);
      break;
    case 32:
      if (dib.compression == BI_BITFIELDS) {
        const MaskField r(dib.masks[0]), g(dib.masks[1]), b(dib.masks[2]);
        for (Integer x = 0; x < width; ++x) {
          const Byte* p = src + 4 * static_cast<size_t>(x);
          const DWORD v = static_cast<DWORD>(p[0]) | (static_cast<DWORD>(p[1]) << 8) |
                          (static_cast<DWORD>(p[2]) << 16) | (static_cast<DWORD>(p[3]) << 24);
          dest[x] = TRGB{b.Of(v), g.Of(v), r.Of(v)};
        }
      } else {
        for (Integer x = 0; x < width; ++x) {
          const Byte* p = src + 4 * static_cast<size_t>(x);
          dest[x] = TRGB{p[0], p[1], p[2]};
        }
      }
      break;
    default:
      break;
  }
}

// The packed DIB at dib (a handle or an address) for the length of a call.
class DibAccess {
 public:
  DibAccess(uintptr_t dib, bool isPointer, Int64 dibSize) {
    if (isPointer) {
      address_ = reinterpret_cast<const Byte*>(dib);
      size_ = dibSize;
      return;
    }
    lock_ = std::make_unique<GlobalLockGuard>(static_cast<HGLOBAL>(dib));
    address_ = lock_->Address();
    const Int64 present = static_cast<Int64>(GlobalSize(static_cast<HGLOBAL>(dib)));
    size_ = dibSize < 0 ? present : std::min(dibSize, present);
  }
  const Byte* Address() const { return address_; }
  Int64 Size() const { return size_; }

 private:
  std::unique_ptr<GlobalLockGuard> lock_;
  const Byte* address_ = nullptr;
  Int64 size_ = -1;
};


// YUV frames named by a FOURCC in biCompression, read by the converters of
// dadiravproc_colour.h. The flag of most layouts is "top-down" for a positive
// height; Y41P and cyuv take it for a negative one.
using YuvConverter = bool (*)(const Byte*, TIEBaseBitmap*, bool, Int64);
struct YuvLayout {
  char fourcc[5];
  YuvConverter convert;
  bool negativeHeightTopDown;
};
constexpr YuvLayout kYuvLayouts[] = {
    {"I420", _CopyI420ToBitmap, false}, {"IYUV", _CopyI420ToBitmap, false},
    {"Y211", _CopyY211ToBitmap, false}, {"IYU1", _CopyIYU1ToBitmap, false},
    {"YV12", _CopyYV12ToBitmap, false}, {"IYU2", _CopyIYU2ToBitmap, false},
    {"YUY2", _CopyYUY2ToBitmap, false}, {"YUNV", _CopyYUY2ToBitmap, false},
    {"YVU9", _CopyYVU9ToBitmap, false}, {"CLJR", _CopyCLJRToBitmap, false},
    {"YVYU", _CopyYVYUToBitmap, false}, {"UYNV", _CopyUYVYToBitmap, false},
    {"UYVY", _CopyUYVYToBitmap, false}, {"Y41P", _CopyY41PToBitmap, true},
    {"cyuv", _CopyUYVYToBitmap, true},
};

const YuvLayout* FindYuvLayout(DWORD compression) {
  for (const YuvLayout& l : kYuvLayouts) {
    const DWORD code = DWORD{static_cast<Byte>(l.fourcc[0])} | (DWORD{static_cast<Byte>(l.fourcc[1])} << 8) |
                       (DWORD{static_cast<Byte>(l.fourcc[2])} << 16) |
                       (DWORD{static_cast<Byte>(l.fourcc[3])} << 24);
    if (code == compression) return &l;
  }
  return nullptr;
}

// Reads a YUV DIB into dest (ie24RGB). The frame is at bits, or right after the
// header. Answers false, with dest untouched, for anything else or a frame that is
// damaged or shorter than its size needs.
bool ReadYuvDib(const Byte* dib, Int64 size, const void* bits, TIEBaseBitmap* dest, Word& bitCount) {
  if (dib == nullptr || (size >= 0 && size < 40)) return false;
  const auto* header = reinterpret_cast<const BITMAPINFOHEADER*>(dib);
  const YuvLayout* layout = FindYuvLayout(header->biCompression);
  if (layout == nullptr) return false;
  if (header->biSize < 40 || (size >= 0 && header->biSize > size)) return false;
  if (header->biWidth <= 0 || header->biHeight == 0 || header->biHeight == INT32_MIN) return false;
  const Integer width = header->biWidth;
  const Integer height = header->biHeight < 0 ? -header->biHeight : header->biHeight;
  const bool topDown = layout->negativeHeightTopDown ? header->biHeight < 0 : header->biHeight > 0;
  const Byte* frame = bits != nullptr ? static_cast<const Byte*>(bits) : dib + header->biSize;
  const Int64 frameSize = bits != nullptr || size < 0 ? -1 : size - header->biSize;
  // Converted aside first, so that a refused frame leaves dest as it was.
  TIEBitmap converted;
  converted.Allocate(width, height, ie24RGB);
  if (converted.GetWidth() != width || converted.GetHeight() != height) return false;
  if (!layout->convert(frame, &converted, topDown, frameSize)) return false;
  dest->Allocate(width, height, ie24RGB);
  if (dest->GetWidth() != width || dest->GetHeight() != height) return false;
  for (Integer y = 0; y < height; ++y)
    std::memcpy(dest->GetScanLine(y), converted.GetScanLine(y), static_cast<size_t>(width) * 3);
  bitCount = header->biBitCount;
  return true;
}

}  // namespace

void _CopyBits(Byte* dest, const Byte* src, Integer destBitOffset, Integer srcBitOffset,
               Integer bitCount, Integer srcBytes) {
  if (bitCount < 1 || destBitOffset < 0 || srcBitOffset < 0 || dest == nullptr || src == nullptr)
    return;
  const Byte* s = src + srcBitOffset / 8;
  const Integer sShift = srcBitOffset % 8;
  const Int64 available = static_cast<Int64>(srcBytes) - srcBitOffset / 8;
  // Source bytes past what may be read count as 0.
  const auto byteAt = [&](Int64 i) -> unsigned { return i < available ? s[i] : 0u; };
  // The 8 source bits from bit k of the run, most significant first.
  const auto get8 = [&](Int64 k) -> unsigned {
    const Int64 bit = sShift + k;
    const Int64 index = bit >> 3;
    const unsigned window = (byteAt(index) << 8) | byteAt(index + 1);
    return ((window << (bit & 7)) >> 8) & 0xFF;
  };

  Byte* d = dest + destBitOffset / 8;
  const Integer dShift = destBitOffset % 8;
  Int64 k = 0;
  Int64 remaining = bitCount;
  if (dShift != 0) {
    const Integer n = static_cast<Integer>(std::min<Int64>(8 - dShift, remaining));
    const unsigned mask = (0xFFu >> dShift) & (0xFFu << (8 - dShift - n)) & 0xFFu;
    *d = static_cast<Byte>((*d & ~mask) | ((get8(0) >> dShift) & mask));
    ++d;
    k = n;
    remaining -= n;
  }
  if (((sShift + k) & 7) == 0) {
    // Byte-aligned on both sides: plain copies of what may be read.
    const Int64 whole = remaining / 8;
    const Int64 first = (sShift + k) / 8;
    const Int64 readable = std::clamp<Int64>(available - first, 0, whole);
    std::memcpy(d, s + first, static_cast<size_t>(readable));
    std::memset(d + readable, 0, static_cast<size_t>(whole - readable));
    d += whole;
    k += whole * 8;
    remaining -= whole * 8;
  } else {
    for (; remaining >= 8; remaining -= 8, k += 8) *d++ = static_cast<Byte>(get8(k));
  }
  if (remaining > 0) {
    const unsigned mask = (0xFFu << (8 - remaining)) & 0xFFu;
    *d = static_cast<Byte>((*d & ~mask) | (get8(k) & mask));
  }
}

void IECopyBitmap(TBitmap* source, TBitmap* dest) {
  if (source == nullptr || dest == nullptr || source == dest) return;
  dest->SetSize(1, 1);
  if (source->GetPixelFormat() == pfCustom) return;
  dest->SetPixelFormat(source->GetPixelFormat());
  if (source->GetWidth() <= 0 || source->GetHeight() <= 0) return;
  dest->SetSize(source->GetWidth(), source->GetHeight());
  if (Palettised(source->GetPixelFormat())) CopyColorTable(source, dest);
  Integer srcRowLen = 0, srcBits = 0, dstRowLen = 0, dstBits = 0;
  if (!FrameworkGeometry(source, srcRowLen, srcBits) || !FrameworkGeometry(dest, dstRowLen, dstBits))
    return;
  if (srcBits != dstBits) return;  // a device-dependent pair of different depths
  const Integer height = source->GetHeight();
  // Both are bottom-up blocks: the last row starts the block.
  const Byte* from = static_cast<const Byte*>(source->ScanLine(height - 1));
  Byte* to = static_cast<Byte*>(dest->ScanLine(height - 1));
  std::memcpy(to, from, static_cast<size_t>(std::min(srcRowLen, dstRowLen)) * static_cast<size_t>(height));
}

std::unique_ptr<TBitmap> IECloneBitmap(TBitmap* source) {
  auto clone = std::make_unique<TBitmap>();
  IECopyBitmap(source, clone.get());
  return clone;
}

void _CopyBitmapRect(TBitmap* source, TBitmap* dest, Integer x1, Integer y1, Integer x2,
                     Integer y2) {
  if (source == nullptr || dest == nullptr || source == dest) return;
  DibRect(source->GetWidth(), source->GetHeight(), x1, y1, x2, y2);
  const TPixelFormat format = source->GetPixelFormat();
  dest->SetSize(1, 1);
  dest->SetPixelFormat(format);
  dest->SetSize(x2 - x1, y2 - y1);
  if (x2 <= x1 || y2 <= y1) return;
  const Integer width = x2 - x1;
  if (format == pf24bit) {
    for (Integer k = 0; k < y2 - y1; ++k)
      std::memcpy(dest->ScanLine(k), static_cast<const Byte*>(source->ScanLine(y1 + k)) + 3 * static_cast<size_t>(x1),
                  static_cast<size_t>(width) * 3);
  } else if (format == pf1bit) {
    CopyColorTable(source, dest);
    const Integer srcRowLen = TBitmap::RowBytesFor(source->GetWidth(), 1);
    for (Integer k = 0; k < y2 - y1; ++k)
      _CopyBits(static_cast<Byte*>(dest->ScanLine(k)), static_cast<const Byte*>(source->ScanLine(y1 + k)), 0, x1,
                width, srcRowLen);
  }
}

HGLOBAL _CopyBitmaptoDIB(TBitmap* source, Integer x1, Integer y1, Integer x2, Integer y2) {
  if (source == nullptr) return 0;
  DibRect(source->GetWidth(), source->GetHeight(), x1, y1, x2, y2);
  const Integer width = x2 - x1;
  const Integer height = y2 - y1;
  const TPixelFormat format = source->GetPixelFormat();
  const Integer bitCount = format == pf24bit ? 24 : (format == pf1bit ? 1 : 0);
  RGBQUAD colors[2];
  if (bitCount == 1) TwoColors(source, colors);
  Byte* rows = nullptr;
  void* locked = nullptr;
  const HGLOBAL mem = NewPackedDib(width, height, bitCount, colors, rows, locked);
  if (mem == 0) return 0;
  if (bitCount != 0) {
    const size_t rowLen = static_cast<size_t>(DibRowLen(width, bitCount));
    const Integer srcRowLen = TBitmap::RowBytesFor(source->GetWidth(), bitCount);
    for (Integer k = 0; k < height; ++k) {
      const Byte* src = static_cast<const Byte*>(source->ScanLine(y2 - 1 - k));
      Byte* row = rows + rowLen * static_cast<size_t>(k);
      if (bitCount == 24)
        std::memcpy(row, src + 3 * static_cast<size_t>(x1), static_cast<size_t>(width) * 3);
      else
        _CopyBits(row, src, 0, x1, width, srcRowLen);
    }
  }
  GlobalUnlock(mem);
  return mem;
}

HGLOBAL _CopyBitmaptoDIBEx(const TIEBaseBitmap* source, Integer x1, Integer y1, Integer x2,
                           Integer y2) {
  if (source == nullptr) return 0;
  DibRect(source->GetWidth(), source->GetHeight(), x1, y1, x2, y2);
  const Integer width = x2 - x1;
  const Integer height = y2 - y1;
  const TIEPixelFormat format = source->GetPixelFormat();
  const Integer bitCount = format == ie24RGB ? 24 : (format == ie1g ? 1 : 0);
  Byte* rows = nullptr;
  void* locked = nullptr;
  const HGLOBAL mem = NewPackedDib(width, height, bitCount, kBlackWhiteTable, rows, locked);
  if (mem == 0) return 0;
  if (bitCount != 0) {
    const size_t rowLen = static_cast<size_t>(DibRowLen(width, bitCount));
    for (Integer k = 0; k < height; ++k) {
      const Byte* src = static_cast<const Byte*>(source->GetScanLine(y2 - 1 - k));
      Byte* row = rows + rowLen * static_cast<size_t>(k);
      if (bitCount == 24)
        std::memcpy(row, src + 3 * static_cast<size_t>(x1), static_cast<size_t>(width) * 3);
      else
        _CopyBits(row, src, 0, x1, width, source->GetRowLen());
    }
  }
  GlobalUnlock(mem);
  return mem;
}

Word _CopyDIB2BitmapEx(uintptr_t dib, TIEBaseBitmap* dest, const void* bits, bool isPointer,
                       Int64 dibSize) {
  if (dest == nullptr || dib == 0) return 0;
  DibAccess access(dib, isPointer, dibSize);
  Word yuvBitCount = 0;
  if (ReadYuvDib(access.Address(), access.Size(), bits, dest, yuvBitCount)) return yuvBitCount;
  DibLayout layout;
  if (!ReadDibLayout(access.Address(), access.Size(), bits, layout)) return 0;
  const Integer width = layout.width;
  const Integer height = layout.height;

  // A black-and-white table keeps 1 bit (inverted for white, black); any other pair
  // of colours goes to 24 bits so that the colours survive.
  bool oneBit = false;
  bool invert = false;
  if (layout.bitCount == 1) {
    const TRGB c0 = TableColor(layout, 0), c1 = TableColor(layout, 1);
    oneBit = (IsBlack(c0) && IsWhite(c1)) || (IsWhite(c0) && IsBlack(c1));
    invert = IsWhite(c0);
  }
  dest->Allocate(width, height, oneBit ? ie1g : ie24RGB);
  if (dest->GetWidth() != width || dest->GetHeight() != height) return 0;

  const size_t copyBytes = static_cast<size_t>((width + 7) / 8);
  for (Integer k = 0; k < height; ++k) {
    const Byte* src = layout.rows + static_cast<size_t>(layout.rowLen) * static_cast<size_t>(k);
    Byte* row = static_cast<Byte*>(dest->GetScanLine(height - 1 - k));
    if (oneBit) {
      std::memcpy(row, src, copyBytes);
      if (invert)
        for (size_t i = 0; i < copyBytes; ++i) row[i] = static_cast<Byte>(~row[i]);
    } else {
      DibRowTo24(layout, src, reinterpret_cast<TRGB*>(row));
    }
  }
  return static_cast<Word>(layout.bitCount);
}

Word _IECopyDIB2Bitmap2Ex(uintptr_t dib, TIEDibbitmap* dest, const void* bits, bool isPointer,
                          Int64 dibSize) {
  if (dest == nullptr || dib == 0) return 0;
  DibAccess access(dib, isPointer, dibSize);
  DibLayout layout;
  if (!ReadDibLayout(access.Address(), access.Size(), bits, layout)) return 0;
  const Integer width = layout.width;
  const Integer height = layout.height;
  dest->AllocateBits(width, height, layout.bitCount == 1 ? 1 : 24);
  if (dest->GetBits() == nullptr) return 0;

  if (layout.bitCount == 1) {
    // A 1-bit section keeps black and white: each table colour becomes the nearer of
    // the two.
    const auto nearWhite = [](TRGB c) {
      const Integer toBlack = c.r * c.r + c.g * c.g + c.b * c.b;
      const Integer toWhite = (255 - c.r) * (255 - c.r) + (255 - c.g) * (255 - c.g) + (255 - c.b) * (255 - c.b);
      return toWhite < toBlack;
    };
    const bool bit0 = nearWhite(TableColor(layout, 0));
    const bool bit1 = nearWhite(TableColor(layout, 1));
    const size_t copyBytes = static_cast<size_t>((width + 7) / 8);
    for (Integer k = 0; k < height; ++k) {
      const Byte* src = layout.rows + static_cast<size_t>(layout.rowLen) * static_cast<size_t>(k);
      Byte* row = static_cast<Byte*>(dest->GetScanLine(height - 1 - k));
      for (size_t i = 0; i < copyBytes; ++i) {
        const Byte b = src[i];
        row[i] = static_cast<Byte>((bit1 ? b : 0) | (bit0 ? static_cast<Byte>(~b) : 0));
      }
    }
    return 1;
  }
  const HDRAWDIB dd = DrawDibOpen();
  DrawDibDraw(dd, dest->GetDC(), 0, 0, width, height, layout.header, layout.rows, 0, 0, width, height, 0);
  DrawDibClose(dd);
  return static_cast<Word>(layout.bitCount);
}

Word _CopyDIB2Bitmap(uintptr_t dib, TBitmap* dest, const void* bits, bool isPointer, Int64 dibSize) {
  if (dest == nullptr) return 0;
  TIEBitmap wrapper;
  wrapper.EncapsulateTBitmap(dest, false);
  return _CopyDIB2BitmapEx(dib, &wrapper, bits, isPointer, dibSize);
}
