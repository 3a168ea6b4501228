// Framework pixel formats, rectangle copies between DIB buffers and framework
// bitmaps or pixel stores, and the DrawDib fallbacks.
#include <algorithm>
#include <cstddef>
#include <cstring>

#include "image/model/iebitmap.h"
#include "image/model/ieutils.h"
#include "image/proc/dadiravproc.h"
#include "platform/vcl/Graphics.h"

namespace {

// The clipped rectangle copy between a bottom-up DIB buffer and a picture of
// picWidth x picHeight pixels of picBits bits whose row r (0 at the top) is at
// rowOf(r). Buffer row dstY + k pairs with picture row srcY + height - 1 - k.
// Answers whether any pixel was copied.
template <class RowOf>
bool MapXCopyRows(void* buffer, Integer dstRowLen, Integer dstBitCount, Integer picWidth,
                  Integer picHeight, Integer picBits, RowOf rowOf, Integer dstX, Integer dstY,
                  Integer srcX, Integer srcY, Integer width, Integer height, Integer direction) {
  enum class Kind { Bits, BitsToRGB, Bytes, Triples };
  Kind kind;
  if (direction != 0 && direction != 1) return false;
  if (buffer == nullptr || dstRowLen <= 0 || width <= 0 || height <= 0) return false;
  if (picBits == 1 && dstBitCount == 1)
    kind = Kind::Bits;
  else if (picBits == 1 && dstBitCount == 24 && direction == 1)
    kind = Kind::BitsToRGB;
  else if (picBits == 8 && dstBitCount == 8)
    kind = Kind::Bytes;
  else if (picBits == 24 && dstBitCount == 24)
    kind = Kind::Triples;
  else
    return false;

  // Columns: picture column srcX + j and buffer column dstX + j, both inside.
  const Int64 bufferColumns = Int64{dstRowLen} * 8 / dstBitCount;
  const Int64 jLo = std::max({Int64{0}, -Int64{srcX}, -Int64{dstX}});
  const Int64 jHi = std::min({Int64{width}, Int64{picWidth} - srcX, bufferColumns - dstX});
  if (jHi <= jLo) return false;
  // Rows: buffer row dstY + k not below 0, picture row bottom - k inside.
  const Int64 bottom = Int64{srcY} + height - 1;
  const Int64 kLo = std::max({Int64{0}, -Int64{dstY}, bottom - (Int64{picHeight} - 1)});
  const Int64 kHi = std::min(Int64{height}, bottom + 1);
  if (kHi <= kLo) return false;

  const Int64 count = jHi - jLo;
  const Int64 picCol = srcX + jLo;
  const Int64 bufCol = dstX + jLo;
  Byte* const base = static_cast<Byte*>(buffer);
  for (Int64 k = kLo; k < kHi; ++k) {
    Byte* bufRow = base + static_cast<ptrdiff_t>((dstY + k) * dstRowLen);
    Byte* picRow = static_cast<Byte*>(rowOf(static_cast<Integer>(bottom - k)));
    switch (kind) {
      case Kind::Bits:
        // The clipping above keeps the offsets and the run inside both rows.
        if (direction == 1)
          _CopyBits(bufRow, picRow, static_cast<Integer>(bufCol), static_cast<Integer>(picCol),
                    static_cast<Integer>(count), static_cast<Integer>((picCol + count + 7) / 8));
        else
          _CopyBits(picRow, bufRow, static_cast<Integer>(picCol), static_cast<Integer>(bufCol),
                    static_cast<Integer>(count), static_cast<Integer>((bufCol + count + 7) / 8));
        break;
      case Kind::BitsToRGB: {
        Byte* out = bufRow + 3 * bufCol;
        for (Int64 i = 0; i < count; ++i, out += 3) {
          const Int64 bit = picCol + i;
          const Byte v = (picRow[bit >> 3] & iebitmask1[bit & 7]) ? 255 : 0;
          out[0] = out[1] = out[2] = v;
        }
        break;
      }
      case Kind::Bytes:
      case Kind::Triples: {
        const Int64 size = kind == Kind::Bytes ? 1 : 3;
        Byte* b = bufRow + size * bufCol;
        Byte* p = picRow + size * picCol;
        if (direction == 1)
          std::memcpy(b, p, static_cast<size_t>(size * count));
        else
          std::memcpy(p, b, static_cast<size_t>(size * count));
        break;
      }
    }
  }
  return true;
}

}  // namespace

Integer _Pixelformat2BitCount(TPixelFormat format) {
  switch (format) {
    case pf1bit: return 1;
    case pf4bit: return 4;
    case pf8bit: return 8;
    case pf15bit: return 15;
    case pf16bit: return 16;
    case pf24bit: return 24;
    case pf32bit: return 32;
    case pfDevice:
    case pfCustom: break;
  }
  return 0;
}

Integer _PixelFormat2RowLen(Integer width, TPixelFormat format) {
  // A 15-bit pixel takes a 16-bit word in the framework's scan lines.
  const Integer bits = format == pf15bit ? 16 : _Pixelformat2BitCount(format);
  return _BitmapRowLen(width, bits);
}

TPixelFormat _Bitcount2Pixelformat(Integer bits) {
  switch (bits) {
    case 1: return pf1bit;
    case 4: return pf4bit;
    case 8: return pf8bit;
    case 15: return pf15bit;
    case 16: return pf16bit;
    case 24: return pf24bit;
    case 32: return pf32bit;
    default: return pfCustom;
  }
}

void IEBitmapMapXCopy(void* dst, Integer dstRowLen, Integer dstBitCount, TBitmap* bitmap,
                      Integer dstX, Integer dstY, Integer srcX, Integer srcY, Integer width,
                      Integer height, Integer direction) {
  if (bitmap == nullptr) return;
  MapXCopyRows(
      dst, dstRowLen, dstBitCount, bitmap->GetWidth(), bitmap->GetHeight(),
      _Pixelformat2BitCount(bitmap->GetPixelFormat()),
      [bitmap](Integer row) { return bitmap->ScanLine(row); }, dstX, dstY, srcX, srcY, width,
      height, direction);
}

void IEBitmapMapXCopy(void* dst, Integer dstRowLen, Integer dstBitCount, TIEBitmap* bitmap,
                      Integer dstX, Integer dstY, Integer srcX, Integer srcY, Integer width,
                      Integer height, Integer direction) {
  if (bitmap == nullptr) return;
  Integer bits = 0;
  switch (bitmap->GetPixelFormat()) {
    case ie1g: bits = 1; break;
    case ie8p:
    case ie8g: bits = 8; break;
    case ie24RGB: bits = 24; break;
    case ienull:
    case ie16g: return;
  }
  // One row at a time: a file-backed store keeps only the latest row mapped.
  const bool copied = MapXCopyRows(
      dst, dstRowLen, dstBitCount, bitmap->GetWidth(), bitmap->GetHeight(), bits,
      [bitmap](Integer row) { return bitmap->GetScanLine(row); }, dstX, dstY, srcX, srcY, width,
      height, direction);
  if (copied && direction == 0) bitmap->SetFull(false);
}

BOOL DrawDibDrawEmu(HDRAWDIB hdd, HDC hdc, Integer xDst, Integer yDst, Integer dxDst,
                    Integer dyDst, const BITMAPINFOHEADER* header, const void* bits, Integer xSrc,
                    Integer ySrc, Integer dxSrc, Integer dySrc, UINT flags) {
  if (hdd != 0)
    return DrawDibDraw(hdd, hdc, xDst, yDst, dxDst, dyDst, header, bits, xSrc, ySrc, dxSrc, dySrc,
                       flags);
  if (header != nullptr && header->biBitCount == 24) {
    const HDRAWDIB own = DrawDibOpen();
    if (own == 0) return FALSE;
    const BOOL done = DrawDibDraw(own, hdc, xDst, yDst, dxDst, dyDst, header, bits, xSrc, ySrc,
                                  dxSrc, dySrc, flags);
    DrawDibClose(own);
    return done;
  }
  return DrawDibDraw2(hdd, hdc, xDst, yDst, dxDst, dyDst, header, bits, xSrc, ySrc, dxSrc, dySrc,
                      flags);
}

BOOL DrawDibDraw2(HDRAWDIB /*hdd*/, HDC hdc, Integer xDst, Integer yDst, Integer dxDst,
                  Integer dyDst, const BITMAPINFOHEADER* header, const void* bits, Integer xSrc,
                  Integer ySrc, Integer dxSrc, Integer dySrc, UINT /*flags*/) {
  if (header == nullptr) return FALSE;
  // DrawDib's sizes of -1: the whole picture, and the destination as large as the
  // source.
  const Int64 pictureHeight = header->biHeight < 0 ? -Int64{header->biHeight} : header->biHeight;
  if (dxSrc == -1) dxSrc = header->biWidth;
  if (dySrc == -1) dySrc = static_cast<Integer>(pictureHeight);
  if (dxDst == -1) dxDst = dxSrc;
  if (dyDst == -1) dyDst = dySrc;
  // The rectangle counts from the top; StretchDIBits counts from the bottom row of a
  // bottom-up DIB.
  Integer stretchY = ySrc;
  if (header->biHeight > 0)
    stretchY = static_cast<Integer>(Int64{header->biHeight} - ySrc - dySrc);
  const Integer lines =
      StretchDIBits(hdc, xDst, yDst, dxDst, dyDst, xSrc, stretchY, dxSrc, dySrc, bits,
                    reinterpret_cast<const BITMAPINFO*>(header), DIB_RGB_COLORS, SRCCOPY);
  return lines != GDI_ERROR && lines != 0 ? TRUE : FALSE;
}
