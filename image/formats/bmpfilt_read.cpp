// BMP reader.
#include <algorithm>
#include <array>
#include <cstring>
#include <exception>
#include <vector>

#include "image/formats/bmpfilt.h"
#include "image/model/ieutils.h"
#include "platform/rtl/Math.h"

namespace {

// Largest info header taken (the longest defined is 124 bytes).
constexpr Integer kMaxHeaderSize = 4096;

DWORD Le32(const Byte* p) {
  return static_cast<DWORD>(p[0]) | (static_cast<DWORD>(p[1]) << 8) |
         (static_cast<DWORD>(p[2]) << 16) | (static_cast<DWORD>(p[3]) << 24);
}
Word Le16(const Byte* p) { return static_cast<Word>(p[0] | (p[1] << 8)); }

bool ReadAll(TStream* s, void* buf, Integer count) { return s->Read(buf, count) == count; }

Integer DpiFromPpm(Integer ppm, Integer screenDpi) {
  const Int64 dpi = Round(ppm / 100.0 * 2.54);
  return dpi <= 0 || dpi > 1000000 ? screenDpi : static_cast<Integer>(dpi);
}

// Extracts one channel through a bit-field mask, scaled to 8 bits (short channels
// shifted up, long ones shifted down).
struct MaskChannel {
  DWORD mask = 0;
  Integer shift = 0;
  Integer bits = 0;
  explicit MaskChannel(DWORD m) : mask(m) {
    if (m == 0) return;
    while (((m >> shift) & 1) == 0) ++shift;
    bits = _GetBitCount(m);
  }
  Byte Get(DWORD v) const {
    if (bits == 0) return 0;
    const DWORD c = (v & mask) >> shift;
    const DWORD lim = bits >= 32 ? 0xFFFFFFFFu : ((DWORD{1} << bits) - 1);
    const DWORD x = c & lim;
    return static_cast<Byte>(bits >= 8 ? x >> (bits - 8) : x << (8 - bits));
  }
};

struct Reader {
  TStream* stream;
  TIEBitmap* bitmap;
  TIOParamsVals& params;
  TProgressRec& progress;
  Integer width = 0;
  Integer height = 0;  // rows; positive
  bool topDown = false;
  std::array<TRGB, 256> lut{};  // palette; entries past ColorMapCount stay black

  // Bitmap row of the n-th file row.
  Integer RowOf(Integer n) const { return topDown ? n : height - 1 - n; }
  bool Step(Integer done) {
    progress.Report(static_cast<Integer>(Trunc(progress.per1 * done)));
    return !progress.Aborted();
  }
};

bool ReadUncompressed(Reader& r, Integer bits, DWORD rmask, DWORD gmask, DWORD bmask) {
  const Integer fileRowLen = _BitmapRowLen(r.width, bits);
  std::vector<Byte> row(static_cast<size_t>(fileRowLen));  // one file row
  const MaskChannel rc(rmask), gc(gmask), bc(bmask);
  for (Integer n = 0; n < r.height; ++n) {
    if (!r.Step(n)) return false;
    if (!ReadAll(r.stream, row.data(), fileRowLen)) return false;
    Byte* dst = static_cast<Byte*>(r.bitmap->GetScanLine(r.RowOf(n)));
    const Byte* src = row.data();
    switch (bits) {
      case 1:
        std::memcpy(dst, src, static_cast<size_t>(std::min(fileRowLen, r.bitmap->GetRowLen())));
        break;
      case 4:
        for (Integer x = 0; x < r.width; ++x) {
          const Byte b = src[x >> 1];
          const TRGB c = r.lut[(x & 1) ? (b & 0x0F) : (b >> 4)];
          *dst++ = c.b; *dst++ = c.g; *dst++ = c.r;
        }
        break;
      case 8:
        for (Integer x = 0; x < r.width; ++x) {
          const TRGB c = r.lut[src[x]];
          *dst++ = c.b; *dst++ = c.g; *dst++ = c.r;
        }
        break;
      case 16:
        for (Integer x = 0; x < r.width; ++x, src += 2) {
          const DWORD v = Le16(src);
          *dst++ = bc.Get(v); *dst++ = gc.Get(v); *dst++ = rc.Get(v);
        }
        break;
      case 24:
        std::memcpy(dst, src, static_cast<size_t>(r.width) * 3);
        break;
      case 32:
        if (rmask != 0) {
          for (Integer x = 0; x < r.width; ++x, src += 4) {
            const DWORD v = Le32(src);
            *dst++ = bc.Get(v); *dst++ = gc.Get(v); *dst++ = rc.Get(v);
          }
        } else {
          for (Integer x = 0; x < r.width; ++x, src += 4) {
            *dst++ = src[0]; *dst++ = src[1]; *dst++ = src[2];
          }
        }
        break;
      default:
        return false;
    }
  }
  return r.Step(r.height);
}

// Decodes RLE8 (bits 8) or RLE4 (bits 4) data into the 24-bit bitmap. Pixels
// outside the image are dropped; data that ends before the end-of-bitmap code
// without covering every row is a failure.
bool DecodeRLE(Reader& r, const std::vector<Byte>& data, Integer bits) {
  const size_t len = data.size();
  size_t p = 0;
  Int64 x = 0;
  Int64 n = 0;  // file row, 0 = bottom
  auto put = [&](Integer index) {
    if (x >= 0 && x < r.width && n < r.height) {
      TRGB* row = static_cast<TRGB*>(r.bitmap->GetScanLine(r.RowOf(static_cast<Integer>(n))));
      row[x] = r.lut[index & 0xFF];
    }
    ++x;
  };
  while (n < r.height) {
    if (r.progress.Aborted()) return false;
    if (len - p < 2) return false;  // data used up before the end
    const Byte c0 = data[p];
    const Byte c1 = data[p + 1];
    p += 2;
    if (c0 > 0) {
      // Pixels past the row's end are dropped by put.
      for (Integer i = 0; i < c0; ++i)
        put(bits == 8 ? c1 : ((i & 1) ? (c1 & 0x0F) : (c1 >> 4)));
      continue;
    }
    if (c1 == 0) {  // end of line
      x = 0;
      ++n;
      if (!r.Step(static_cast<Integer>(n))) return false;
      continue;
    }
    if (c1 == 1) return true;  // end of bitmap
    if (c1 == 2) {             // delta
      if (len - p < 2) return false;
      x += data[p];
      n += data[p + 1];
      p += 2;
      continue;
    }
    // Absolute run of c1 pixels, padded to a whole word.
    const size_t bytes = bits == 8 ? c1 : (static_cast<size_t>(c1) + 1) / 2;
    const size_t padded = (bytes + 1) & ~size_t{1};
    if (len - p < bytes) return false;
    for (Integer i = 0; i < c1; ++i)
      put(bits == 8 ? data[p + i] : ((i & 1) ? (data[p + i / 2] & 0x0F) : (data[p + i / 2] >> 4)));
    p += std::min(padded, len - p);
  }
  return true;  // the row above the top was entered
}

void ReadBMP(TStream* Stream, TIEBitmap* Bitmap, Int64 BlockLen, TIOParamsVals& Params,
             TProgressRec& Progress, bool Preview) {
  const Int64 start = Stream->GetPosition();
  const Int64 streamEnd = Stream->GetSize();
  Byte fh[14];
  if (!ReadAll(Stream, fh, 14) || fh[0] != 'B' || fh[1] != 'M') return Progress.Abort();
  const DWORD fileSize = Le32(fh + 2);
  const DWORD dataOffset = Le32(fh + 10);
  if (fileSize != 0 && BlockLen < 1) BlockLen = fileSize;

  Byte sizeBuf[4];
  if (!ReadAll(Stream, sizeBuf, 4)) return Progress.Abort();
  Stream->Seek(-4, soCurrent);
  const DWORD headerSize = Le32(sizeBuf);
  Params.ColorMap.reset();
  Params.ColorMapCount = 0;

  Reader r{Stream, Bitmap, Params, Progress};
  Int64 width = 0, height = 0;
  Integer bits = 0;
  DWORD compression = 0, imageSize = 0;
  DWORD masks[3] = {0, 0, 0};
  Integer palCount = 0;
  bool masksInHeader = false;
  if (headerSize == 12) {
    Byte h[12];
    if (!ReadAll(Stream, h, 12)) return Progress.Abort();
    Params.BMP_Version = ioBMP_BMOS2V1;
    width = Le16(h + 4);
    height = Le16(h + 6);
    bits = Le16(h + 10);
    Params.DpiX = IEScreenDpiX();
    Params.DpiY = IEScreenDpiY();
    if (bits <= 8) {
      palCount = 1 << bits;
      Byte pal[256 * 3];
      if (!ReadAll(Stream, pal, palCount * 3)) return Progress.Abort();
      for (Integer i = 0; i < palCount; ++i)
        r.lut[i] = TRGB{pal[3 * i], pal[3 * i + 1], pal[3 * i + 2]};
    }
  } else {
    if (headerSize < 16 || headerSize > kMaxHeaderSize) return Progress.Abort();
    Byte h[64] = {};
    const Integer take = std::min<Integer>(64, static_cast<Integer>(headerSize));
    if (!ReadAll(Stream, h, take)) return Progress.Abort();
    if (headerSize > 64) {
      if (Stream->GetPosition() + (headerSize - 64) > streamEnd) return Progress.Abort();
      Stream->Seek(static_cast<Int64>(headerSize) - 64, soCurrent);
    }
    Params.BMP_Version =
        headerSize == 64 ? ioBMP_BMOS2V2 : (headerSize == 40 ? ioBMP_BM3 : ioBMP_BM);
    width = static_cast<Integer>(Le32(h + 4));
    height = static_cast<Integer>(Le32(h + 8));
    bits = Le16(h + 14);
    compression = Le32(h + 16);
    imageSize = Le32(h + 20);
    Params.DpiX = DpiFromPpm(static_cast<Integer>(Le32(h + 24)), IEScreenDpiX());
    Params.DpiY = DpiFromPpm(static_cast<Integer>(Le32(h + 28)), IEScreenDpiY());
    DWORD used = Le32(h + 32);
    if (used > 256) used = 0;
    if (used == 0 && bits <= 8) used = 1u << std::min(bits, 8);
    palCount = static_cast<Integer>(used);
    // Version 4 and 5 headers carry the masks themselves.
    masksInHeader = headerSize >= 52 && headerSize != 64;
    if (masksInHeader) {
      masks[0] = Le32(h + 40);
      masks[1] = Le32(h + 44);
      masks[2] = Le32(h + 48);
    }
    if (palCount > 0) {
      std::vector<Byte> pal(static_cast<size_t>(palCount) * 4);  // at most 256 entries
      if (!ReadAll(Stream, pal.data(), palCount * 4)) return Progress.Abort();
      for (Integer i = 0; i < palCount; ++i)
        r.lut[i] = TRGB{pal[4 * i], pal[4 * i + 1], pal[4 * i + 2]};
    }
    if (compression == 3 && !masksInHeader) {
      Byte m[12];
      if (!ReadAll(Stream, m, 12)) return Progress.Abort();
      masks[0] = Le32(m);
      masks[1] = Le32(m + 4);
      masks[2] = Le32(m + 8);
    }
  }

  // Depth and compression must agree; anything else is not a BMP this reads.
  const bool ok = (compression == 0 && (bits == 1 || bits == 4 || bits == 8 || bits == 16 ||
                                         bits == 24 || bits == 32)) ||
                  (compression == 1 && bits == 8) || (compression == 2 && bits == 4) ||
                  (compression == 3 && (bits == 16 || bits == 32));
  if (!ok) return Progress.Abort();
  if (height < 0) {
    if (compression == 1 || compression == 2) return Progress.Abort();
    height = -height;
    r.topDown = true;
  }
  if (!IESizeWithinLimits(width, height)) return Progress.Abort();
  if (compression == 0 && bits == 16) {
    masks[0] = 0x7C00;
    masks[1] = 0x03E0;
    masks[2] = 0x001F;
  }
  if (bits == 32 && compression == 0) masks[0] = masks[1] = masks[2] = 0;

  r.width = static_cast<Integer>(width);
  r.height = static_cast<Integer>(height);
  Params.Width = r.width;
  Params.Height = r.height;
  Params.BMP_Compression = (compression == 1 || compression == 2) ? ioBMP_RLE : ioBMP_UNCOMPRESSED;
  if (palCount > 0) {
    Params.ColorMap = std::make_unique<TRGB[]>(static_cast<size_t>(palCount));
    std::copy(r.lut.begin(), r.lut.begin() + palCount, Params.ColorMap.get());
    Params.ColorMapCount = palCount;
  }
  switch (bits) {
    case 16: Params.BitsPerSample = 5; Params.SamplesPerPixel = 3; break;
    case 24:
    case 32: Params.BitsPerSample = 8; Params.SamplesPerPixel = 3; break;
    default: Params.BitsPerSample = bits; Params.SamplesPerPixel = 1; break;
  }

  if (dataOffset != 0) {
    if (start + dataOffset > streamEnd) return Progress.Abort();
    Stream->SetPosition(start + dataOffset);
  }
  const Int64 remaining = streamEnd - Stream->GetPosition();
  if (compression == 0 || compression == 3) {
    // Every row must be present.
    if (static_cast<Int64>(_BitmapRowLen(r.width, bits)) * height > remaining)
      return Progress.Abort();
  }
  if (Preview) return;

  // A 1-bit image stays bilevel when its palette is black and white (either order);
  // any other two colours are expanded through the palette.
  const TRGB black{0, 0, 0}, white{255, 255, 255};
  bool bilevel = false, invert = false;
  if (bits == 1) {
    bilevel = (r.lut[0] == black && r.lut[1] == white) || (r.lut[0] == white && r.lut[1] == black);
    invert = r.lut[0] == white && r.lut[1] == black;
  }
  Bitmap->Allocate(r.width, r.height, bilevel ? ie1g : ie24RGB);
  Progress.per1 = 100.0 / r.height;

  bool done = false;
  if (compression == 1 || compression == 2) {
    Int64 dataLen = BlockLen > 0 ? BlockLen - (Stream->GetPosition() - start) : imageSize;
    dataLen = std::min(dataLen, remaining);
    if (dataLen <= 0) return Progress.Abort();
    std::vector<Byte> data(static_cast<size_t>(dataLen));  // bounded by the stream's bytes
    if (!ReadAll(Stream, data.data(), static_cast<Integer>(dataLen))) return Progress.Abort();
    done = DecodeRLE(r, data, bits);
  } else if (bits == 1 && !bilevel) {
    // Two colours other than black and white: expand each row through the palette.
    const Integer fileRowLen = _BitmapRowLen(r.width, 1);
    std::vector<Byte> row(static_cast<size_t>(fileRowLen));
    done = true;
    for (Integer n = 0; n < r.height && done; ++n) {
      if (!r.Step(n) || !ReadAll(Stream, row.data(), fileRowLen)) {
        done = false;
        break;
      }
      TRGB* dst = static_cast<TRGB*>(Bitmap->GetScanLine(r.RowOf(n)));
      for (Integer x = 0; x < r.width; ++x) dst[x] = r.lut[(row[x >> 3] >> (7 - (x & 7))) & 1];
    }
  } else {
    done = ReadUncompressed(r, bits, masks[0], masks[1], masks[2]);
  }
  if (!done) return Progress.Abort();
  if (invert) {
    for (Integer y = 0; y < r.height; ++y) {
      Byte* row = static_cast<Byte*>(Bitmap->GetScanLine(y));
      for (Integer i = 0; i < Bitmap->GetRowLen(); ++i) row[i] = static_cast<Byte>(~row[i]);
    }
  }
}

}  // namespace

void BMPReadStream(TStream* Stream, TIEBitmap* Bitmap, Int64 BlockLen, TIOParamsVals& Params,
                   TProgressRec& Progress, bool Preview) {
  try {
    ReadBMP(Stream, Bitmap, BlockLen, Params, Progress, Preview);
  } catch (const std::exception&) {
    Progress.Abort();
  }
}
