// BMP writer and its run-length encoder.
#include <algorithm>
#include <cstring>
#include <exception>
#include <memory>
#include <span>
#include <vector>

#include "image/formats/bmpfilt.h"
#include "image/formats/neurquant.h"
#include "image/model/ieutils.h"
#include "image/proc/dadiravproc.h"
#include "platform/rtl/Math.h"

namespace {

void Put16(Byte* p, Integer v) {
  p[0] = static_cast<Byte>(v);
  p[1] = static_cast<Byte>(v >> 8);
}
void Put32(Byte* p, Int64 v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<Byte>(v >> (8 * i));
}

// Writes a stretch of n literal indexes.
Byte* FlushLiteral(const Byte* idx, Integer n, Integer bits, Byte* d) {
  if (n <= 0) return d;
  if (n == 1) {
    *d++ = 1;
    *d++ = bits == 8 ? idx[0] : static_cast<Byte>(idx[0] << 4);
    return d;
  }
  if (n == 2) {
    if (bits == 8) {
      *d++ = 1; *d++ = idx[0];
      *d++ = 1; *d++ = idx[1];
    } else {
      *d++ = 2;
      *d++ = static_cast<Byte>((idx[0] << 4) | (idx[1] & 0x0F));
    }
    return d;
  }
  *d++ = 0;
  *d++ = static_cast<Byte>(n);
  Integer bytes = 0;
  if (bits == 8) {
    std::memcpy(d, idx, static_cast<size_t>(n));
    d += n;
    bytes = n;
  } else {
    for (Integer i = 0; i < n; i += 2) {
      const Byte lo = i + 1 < n ? (idx[i + 1] & 0x0F) : 0;
      *d++ = static_cast<Byte>((idx[i] << 4) | lo);
      ++bytes;
    }
  }
  if (bytes & 1) *d++ = 0;
  return d;
}

struct Writer {
  TStream* stream;
  bool& aborting;
  void Write(const void* p, Integer n) { SafeStreamWrite(stream, aborting, p, n); }
};

}  // namespace

Integer BMPEncodeRLERow(const Byte* indexes, Integer count, Integer bits, Byte* dest) {
  Byte* d = dest;
  Integer i = 0;
  Integer litStart = 0;
  while (i < count) {
    if (i + 1 < count && indexes[i] == indexes[i + 1]) {
      // Flush the pending stretch, then write the run.
      for (Integer s = litStart; s < i; s += 255) d = FlushLiteral(indexes + s, std::min(255, i - s), bits, d);
      Integer run = 1;
      while (i + run < count && run < 255 && indexes[i + run] == indexes[i]) ++run;
      *d++ = static_cast<Byte>(run);
      *d++ = bits == 8 ? indexes[i] : static_cast<Byte>(indexes[i] * 16 + indexes[i]);
      i += run;
      litStart = i;
    } else {
      ++i;
    }
  }
  for (Integer s = litStart; s < count; s += 255) d = FlushLiteral(indexes + s, std::min(255, count - s), bits, d);
  *d++ = 0;
  *d++ = 0;
  return static_cast<Integer>(d - dest);
}

namespace {

void WriteBMP(TStream* Stream, TIEBitmap* Bitmap, TIOParamsVals& Params, TProgressRec& Progress) {
  bool localAbort = false;
  bool& aborting = Progress.Aborting != nullptr ? *Progress.Aborting : localAbort;
  Writer w{Stream, aborting};
  const Integer width = Bitmap->GetWidth();
  const Integer height = Bitmap->GetHeight();
  if (width <= 0 || height <= 0) return Progress.Abort();
  const bool core = Params.BMP_Version == ioBMP_BMOS2V1;
  if (core && (width > 0xFFFF || height > 0xFFFF)) return Progress.Abort();

  Integer bits = 24;
  if (Params.BitsPerSample == 1 || Params.BitsPerSample == 4) bits = Params.BitsPerSample;
  else if (Params.SamplesPerPixel == 1) bits = 8;
  const bool rle = !core && Params.BMP_Compression == ioBMP_RLE && (bits == 4 || bits == 8);

  const Int64 start = Stream->GetPosition();
  Byte fh[14] = {'B', 'M'};
  w.Write(fh, 14);
  const Integer hsize = core ? 12 : (Params.BMP_Version == ioBMP_BMOS2V2 ? 64 : 40);
  Byte ih[64] = {};
  Put32(ih, hsize);
  if (core) {
    Put16(ih + 4, width);
    Put16(ih + 6, height);
    Put16(ih + 8, 1);
  } else {
    Put32(ih + 4, width);
    Put32(ih + 8, height);
    Put16(ih + 12, 1);
    Put32(ih + 16, rle ? (bits == 4 ? 2 : 1) : 0);
    Put32(ih + 24, Round(Params.DpiX / 2.54 * 100));
    Put32(ih + 28, Round(Params.DpiY / 2.54 * 100));
    Put32(ih + 32, bits <= 8 ? (1 << bits) : 0);
    Put32(ih + 36, Int64{1} << bits);
  }
  w.Write(ih, hsize);

  auto writePalette = [&](const TRGB* pal, Integer n) {
    for (Integer i = 0; i < n; ++i) {
      const Byte e[4] = {pal[i].b, pal[i].g, pal[i].r, 0};
      w.Write(e, core ? 3 : 4);
    }
  };
  Int64 dataStart = 0;
  const Integer rowLen = _BitmapRowLen(width, bits);
  Progress.per1 = 100.0 / height;
  std::vector<Byte> out(static_cast<size_t>(std::max(rowLen, 10 * width)));

  if (bits == 4 || bits == 8) {
    std::unique_ptr<TIEBitmap> copy;
    TIEBitmap* src = Bitmap;
    if (Bitmap->GetPixelFormat() != ie24RGB) {
      copy = std::make_unique<TIEBitmap>();
      copy->Assign(Bitmap);
      copy->SetPixelFormat(ie24RGB);
      src = copy.get();
    }
    const Integer ncol = 1 << bits;
    Params.ColorMap = std::make_unique<TRGB[]>(static_cast<size_t>(ncol));
    Params.ColorMapCount = ncol;
    TIEQuantizer q(src, std::span<TRGB>(Params.ColorMap.get(), static_cast<size_t>(ncol)), ncol);
    writePalette(Params.ColorMap.get(), ncol);
    dataStart = Stream->GetPosition();
    std::vector<Byte> idx(static_cast<size_t>(width));
    for (Integer n = 0; n < height && !aborting; ++n) {
      const TRGB* row = static_cast<const TRGB*>(src->GetScanLine(height - 1 - n));
      for (Integer x = 0; x < width; ++x) idx[x] = static_cast<Byte>(std::max(0, q.GetRGBIndex(row[x])));
      if (rle) {
        w.Write(out.data(), BMPEncodeRLERow(idx.data(), width, bits, out.data()));
      } else {
        std::fill(out.begin(), out.end(), 0);
        if (bits == 8) {
          std::memcpy(out.data(), idx.data(), static_cast<size_t>(width));
        } else {
          for (Integer x = 0; x < width; ++x)
            out[x >> 1] |= static_cast<Byte>((x & 1) ? idx[x] : idx[x] << 4);
        }
        w.Write(out.data(), rowLen);
      }
      Progress.Report(static_cast<Integer>(Trunc(Progress.per1 * (n + 1))));
    }
    if (rle && !aborting) {
      const Byte eob[2] = {0, 1};
      w.Write(eob, 2);
    }
  } else if (bits == 1) {
    std::unique_ptr<TIEBitmap> copy;
    TIEBitmap* src = Bitmap;
    TRGB pal[2] = {TRGB{0, 0, 0}, TRGB{255, 255, 255}};
    if (Bitmap->GetPixelFormat() != ie1g) {
      copy = _ConvertTo1bitEx(Bitmap, pal[0], pal[1]);
      if (!copy) {
        pal[0] = TRGB{0, 0, 0};
        pal[1] = TRGB{255, 255, 255};
        copy = std::make_unique<TIEBitmap>();
        copy->Assign(Bitmap);
        copy->SetPixelFormat(ie1g);
      }
      src = copy.get();
    }
    Params.ColorMap = std::make_unique<TRGB[]>(2);
    Params.ColorMap[0] = pal[0];
    Params.ColorMap[1] = pal[1];
    Params.ColorMapCount = 2;
    writePalette(pal, 2);
    dataStart = Stream->GetPosition();
    for (Integer n = 0; n < height && !aborting; ++n) {
      std::fill(out.begin(), out.end(), 0);
      std::memcpy(out.data(), src->GetScanLine(height - 1 - n),
                  static_cast<size_t>(std::min(rowLen, src->GetRowLen())));
      w.Write(out.data(), rowLen);
      Progress.Report(static_cast<Integer>(Trunc(Progress.per1 * (n + 1))));
    }
  } else {
    std::unique_ptr<TIEBitmap> copy;
    TIEBitmap* src = Bitmap;
    if (Bitmap->GetPixelFormat() != ie24RGB) {
      copy = std::make_unique<TIEBitmap>();
      copy->Assign(Bitmap);
      copy->SetPixelFormat(ie24RGB);
      src = copy.get();
    }
    dataStart = Stream->GetPosition();
    for (Integer n = 0; n < height && !aborting; ++n) {
      std::fill(out.begin(), out.end(), 0);
      std::memcpy(out.data(), src->GetScanLine(height - 1 - n), static_cast<size_t>(width) * 3);
      w.Write(out.data(), rowLen);
      Progress.Report(static_cast<Integer>(Trunc(Progress.per1 * (n + 1))));
    }
  }
  if (aborting) return;

  const Int64 end = Stream->GetPosition();
  Put32(fh + 2, end - start);
  Put32(fh + 10, dataStart - start);
  if (core) {
    Put16(ih + 10, bits);
  } else {
    Put16(ih + 14, bits);
    Put32(ih + 20, end - dataStart);
  }
  Stream->SetPosition(start);
  w.Write(fh, 14);
  w.Write(ih, hsize);
  Stream->SetPosition(end);
}

}  // namespace

void BMPWriteStream(TStream* Stream, TIEBitmap* Bitmap, TIOParamsVals& Params,
                    TProgressRec& Progress) {
  try {
    WriteBMP(Stream, Bitmap, Params, Progress);
  } catch (const std::exception&) {
    Progress.Abort();
  }
}
