// PCX reader and writer.
#include "image/formats/pcxfilter.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <exception>
#include <memory>
#include <span>
#include <vector>

#include "image/formats/neurquant.h"
#include "image/model/ieutils.h"
#include "image/proc/dadiravproc.h"
#include "image/proc/dadiravproc_colour.h"
#include "platform/rtl/Exceptions.h"
#include "platform/rtl/Math.h"

namespace {

constexpr Integer kHeaderSize = 128;
constexpr Integer kVgaPaletteSize = 768;

Word Le16(const Byte* p) { return static_cast<Word>(p[0] | (p[1] << 8)); }
void Put16(Byte* p, Integer v) {
  p[0] = static_cast<Byte>(v);
  p[1] = static_cast<Byte>(v >> 8);
}

// Decodes scan-line bytes from the data, uncompressed or run-length coded; a run
// that overflows one line goes on into the next.
class LineDecoder {
 public:
  LineDecoder(const std::vector<Byte>& data, bool rle) : data_(data), rle_(rle) {}
  // Fills n bytes; false when the data ends first.
  bool Fill(Byte* dest, size_t n) {
    if (!rle_) {
      if (data_.size() - at_ < n) return false;
      std::memcpy(dest, data_.data() + at_, n);
      at_ += n;
      return true;
    }
    size_t done = 0;
    while (done < n) {
      if (runLeft_ > 0) {
        const size_t k = std::min(runLeft_, n - done);
        std::memset(dest + done, runValue_, k);
        done += k;
        runLeft_ -= k;
        continue;
      }
      if (at_ >= data_.size()) return false;
      const Byte b = data_[at_++];
      if (b >= 0xC0) {
        if (at_ >= data_.size()) return false;
        runLeft_ = b & 0x3F;
        runValue_ = data_[at_++];
      } else {
        dest[done++] = b;
      }
    }
    return true;
  }

 private:
  const std::vector<Byte>& data_;
  bool rle_;
  size_t at_ = 0;
  size_t runLeft_ = 0;
  Byte runValue_ = 0;
};

void ReadPCX(TStream* Stream, TIEBitmap* Bitmap, TIOParamsVals& Params, Int64 BlockLen,
             TProgressRec& Progress, bool Preview) {
  const Int64 start = Stream->GetPosition();
  BlockLen = std::min(BlockLen, Stream->GetSize() - start);
  if (BlockLen <= kHeaderSize) return Progress.Abort();
  Byte h[kHeaderSize];
  if (Stream->Read(h, kHeaderSize) != kHeaderSize) return Progress.Abort();
  const Integer bits = h[3];
  const Integer planes = h[65];
  if (h[0] != 10 || bits > 8 || (h[2] != 0 && h[2] != 1)) return Progress.Abort();
  const Int64 width = Int64{Le16(h + 8)} - Le16(h + 4) + 1;
  const Int64 height = Int64{Le16(h + 10)} - Le16(h + 6) + 1;
  const Integer bytesPerLine = Le16(h + 66);
  if (width <= 0 || height <= 0 || width * height > PCX_MaxPixels) return Progress.Abort();

  // The layouts read: packed 1, 2, 4 or 8 bits in one plane, 1 bit in up to four
  // planes, 8 bits in three planes.
  const bool packed = planes == 1 && (bits == 1 || bits == 2 || bits == 4 || bits == 8);
  const bool planar = bits == 1 && planes >= 2 && planes <= 4;
  const bool rgb = bits == 8 && planes == 3;
  if (!packed && !planar && !rgb) return Progress.Abort();
  if (Int64{bytesPerLine} * 8 < width * bits) return Progress.Abort();

  Params.DpiX = Le16(h + 12);
  Params.DpiY = Le16(h + 14);
  if (Params.DpiX == 0 || Params.DpiY == 0) {
    Params.DpiX = IEScreenDpiX();
    Params.DpiY = IEScreenDpiY();
  }

  std::array<TRGB, 256> pal{};
  for (Integer i = 0; i < 16; ++i) pal[static_cast<size_t>(i)] = TRGB{h[16 + 3 * i + 2], h[16 + 3 * i + 1], h[16 + 3 * i]};
  if (planes == 1 && bits == 8) {
    if (BlockLen - kVgaPaletteSize < kHeaderSize) return Progress.Abort();
    Byte vga[kVgaPaletteSize];
    Stream->SetPosition(start + BlockLen - kVgaPaletteSize);
    if (Stream->Read(vga, kVgaPaletteSize) != kVgaPaletteSize) return Progress.Abort();
    for (Integer i = 0; i < 256; ++i) pal[static_cast<size_t>(i)] = TRGB{vga[3 * i + 2], vga[3 * i + 1], vga[3 * i]};
    Stream->SetPosition(start + kHeaderSize);
  }

  const Integer indexBits = rgb ? 24 : bits * planes;
  Params.BitsPerSample = bits;
  Params.SamplesPerPixel = planes;
  if (planar) {
    Params.BitsPerSample = planes;
    Params.SamplesPerPixel = 1;
  }
  Params.Width = static_cast<Integer>(width);
  Params.Height = static_cast<Integer>(height);
  Params.PCX_Version = h[1];
  Params.PCX_Compression = h[2] == 1 ? ioPCX_RLE : ioPCX_UNCOMPRESSED;
  Params.ColorMap.reset();
  Params.ColorMapCount = 0;
  if (!rgb) {
    const Integer n = 1 << indexBits;
    Params.ColorMap = std::make_unique<TRGB[]>(static_cast<size_t>(n));
    std::copy_n(pal.begin(), n, Params.ColorMap.get());
    Params.ColorMapCount = n;
  }

  // The scan lines must fit in the data: a run codes at most 63 bytes in two.
  const Int64 dataLen = BlockLen - kHeaderSize;
  const Int64 lineBytes = Int64{bytesPerLine} * planes;
  const Int64 rawNeeded = lineBytes * height;
  if (rawNeeded > (h[2] == 1 ? dataLen * 63 / 2 + 63 : dataLen)) return Progress.Abort();
  if (Preview) return;

  std::vector<Byte> data(static_cast<size_t>(dataLen));  // bounded by the stream's bytes
  if (Stream->Read(data.data(), static_cast<Integer>(dataLen)) != dataLen) return Progress.Abort();
  // One plane of 1 bit stays bilevel when its palette is black and white (either
  // order) or says nothing (two equal entries, as many writers leave it); other
  // pairs of colours are expanded.
  const TRGB black{0, 0, 0}, white{255, 255, 255};
  const bool noPalette = pal[0] == pal[1];
  const bool inverted = pal[0] == white && pal[1] == black;
  const bool bilevel = packed && bits == 1 && (noPalette || inverted || (pal[0] == black && pal[1] == white));
  if (packed && bits == 1 && noPalette && Params.ColorMapCount == 2) {
    Params.ColorMap[0] = black;
    Params.ColorMap[1] = white;
  }
  Bitmap->Allocate(static_cast<Integer>(width), static_cast<Integer>(height), bilevel ? ie1g : ie24RGB);
  Progress.per1 = 100.0 / height;
  LineDecoder decoder(data, h[2] == 1);
  std::vector<Byte> line(static_cast<size_t>(lineBytes));
  const Integer w = static_cast<Integer>(width);
  const size_t bpl = static_cast<size_t>(bytesPerLine);
  for (Integer y = 0; y < height; ++y) {
    Progress.Report(static_cast<Integer>(Trunc(Progress.per1 * y)));
    if (Progress.Aborted()) return;
    if (!decoder.Fill(line.data(), line.size())) return Progress.Abort();
    Byte* dst = static_cast<Byte*>(Bitmap->GetScanLine(y));
    const Byte* l = line.data();
    if (bilevel) {
      const Integer n = std::min<Integer>((w + 7) / 8, Bitmap->GetRowLen());
      for (Integer i = 0; i < n; ++i) dst[i] = inverted ? static_cast<Byte>(~l[i]) : l[i];
    } else if (rgb) {
      for (Integer x = 0; x < w; ++x) {
        *dst++ = l[2 * bpl + x];
        *dst++ = l[bpl + x];
        *dst++ = l[x];
      }
    } else if (packed) {
      const Integer perByte = 8 / bits;
      const Integer mask = (1 << bits) - 1;
      for (Integer x = 0; x < w; ++x) {
        const Integer shift = 8 - bits * (x % perByte + 1);
        const TRGB c = pal[static_cast<size_t>((l[x / perByte] >> shift) & mask)];
        *dst++ = c.b; *dst++ = c.g; *dst++ = c.r;
      }
    } else {  // planar: plane p gives bit p of the index
      for (Integer x = 0; x < w; ++x) {
        Integer index = 0;
        for (Integer p = 0; p < planes; ++p)
          index |= ((l[static_cast<size_t>(p) * bpl + static_cast<size_t>(x >> 3)] >> (7 - (x & 7))) & 1) << p;
        const TRGB c = pal[static_cast<size_t>(index)];
        *dst++ = c.b; *dst++ = c.g; *dst++ = c.r;
      }
    }
  }
  Progress.Report(100);
}

void WritePCX(TStream* Stream, TIEBitmap* Bitmap, TIOParamsVals& Params, TProgressRec& Progress) {
  bool localAbort = false;
  bool& aborting = Progress.Aborting != nullptr ? *Progress.Aborting : localAbort;
  const Integer width = Bitmap->GetWidth();
  const Integer height = Bitmap->GetHeight();
  if (width <= 0 || height <= 0 || width > 65536 || height > 65536) return Progress.Abort();

  std::unique_ptr<TIEBitmap> copy;
  TIEBitmap* src = Bitmap;
  Integer d = 1;
  TRGB pal0{0, 0, 0}, pal1{255, 255, 255};
  if (Params.BitsPerSample == 1) {
    if (Bitmap->GetPixelFormat() != ie1g) {
      copy = _ConvertTo1bitEx(Bitmap, pal0, pal1);
      if (!copy) {
        pal0 = TRGB{0, 0, 0};
        pal1 = TRGB{255, 255, 255};
        copy = std::make_unique<TIEBitmap>();
        copy->Assign(Bitmap);
        copy->SetPixelFormat(ie1g);
      }
      src = copy.get();
    }
  } else {
    const Integer product = Params.BitsPerSample * Params.SamplesPerPixel;
    d = product <= 4 ? 4 : (product <= 8 ? 8 : 24);
    if (Bitmap->GetPixelFormat() != ie24RGB) {
      copy = std::make_unique<TIEBitmap>();
      copy->Assign(Bitmap);
      copy->SetPixelFormat(ie24RGB);
      src = copy.get();
    }
  }
  const bool rle = Params.PCX_Compression == ioPCX_RLE;
  const Integer dataBytes = d == 1 ? (width + 7) / 8 : (d == 4 ? (width + 1) / 2 : width);
  const Integer bytesPerLine = (dataBytes + 1) & ~1;

  Byte h[kHeaderSize] = {};
  h[0] = 10;
  h[1] = static_cast<Byte>(Params.PCX_Version);
  h[2] = rle ? 1 : 0;
  h[3] = static_cast<Byte>(d == 24 ? 8 : d);
  Put16(h + 8, width - 1);
  Put16(h + 10, height - 1);
  Put16(h + 12, std::clamp(Params.DpiX, 0, 65535));
  Put16(h + 14, std::clamp(Params.DpiY, 0, 65535));
  h[65] = d == 24 ? 3 : 1;
  Put16(h + 66, bytesPerLine);
  Put16(h + 68, d == 24 ? 0 : 1);

  std::array<TRGB, 256> palette{};
  std::unique_ptr<TIEQuantizer> quantizer;
  if (d == 1) {
    palette[0] = pal0;
    palette[1] = pal1;
    Params.ColorMap = std::make_unique<TRGB[]>(2);
    Params.ColorMap[0] = pal0;
    Params.ColorMap[1] = pal1;
    Params.ColorMapCount = 2;
  } else if (d == 4 || d == 8) {
    const Integer ncol = 1 << d;
    quantizer = std::make_unique<TIEQuantizer>(src, std::span<TRGB>(palette.data(), static_cast<size_t>(ncol)), ncol);
    Params.ColorMap = std::make_unique<TRGB[]>(static_cast<size_t>(ncol));
    std::copy_n(palette.begin(), ncol, Params.ColorMap.get());
    Params.ColorMapCount = ncol;
  }
  if (d <= 4) {
    for (Integer i = 0; i < 16; ++i) {
      h[16 + 3 * i] = palette[static_cast<size_t>(i)].r;
      h[16 + 3 * i + 1] = palette[static_cast<size_t>(i)].g;
      h[16 + 3 * i + 2] = palette[static_cast<size_t>(i)].b;
    }
  }
  SafeStreamWrite(Stream, aborting, h, kHeaderSize);

  const Integer ncol = d == 4 ? 16 : 256;
  const auto indexOf = [&](TRGB c) {
    const Integer i = quantizer->GetRGBIndex(c);
    return i >= 0 && i < ncol ? i : _GetSimilColor(palette.data(), ncol, c);
  };
  Progress.per1 = 100.0 / height;
  std::vector<Byte> line(static_cast<size_t>(3 * bytesPerLine), 0);
  std::vector<Byte> out(static_cast<size_t>(2 * bytesPerLine + 2));
  auto putLine = [&](const Byte* p, Integer stride) {
    if (rle) {
      SafeStreamWrite(Stream, aborting, out.data(), PcxEncodeLine(p, dataBytes, stride, out.data()));
    } else {
      std::vector<Byte> raw(static_cast<size_t>(bytesPerLine), 0);
      for (Integer i = 0; i < dataBytes; ++i) raw[static_cast<size_t>(i)] = p[static_cast<size_t>(i) * stride];
      SafeStreamWrite(Stream, aborting, raw.data(), bytesPerLine);
    }
  };
  for (Integer y = 0; y < height; ++y) {
    Progress.Report(static_cast<Integer>(Trunc(Progress.per1 * y)));
    if (aborting) break;
    const Byte* row = static_cast<const Byte*>(src->GetScanLine(y));
    if (d == 1) {
      putLine(row, 1);
    } else if (d == 24) {
      // Red, green and blue lines, taken every third byte of the row.
      putLine(row + 2, 3);
      putLine(row + 1, 3);
      putLine(row, 3);
    } else {
      const TRGB* px = reinterpret_cast<const TRGB*>(row);
      std::fill(line.begin(), line.end(), 0);
      for (Integer x = 0; x < width; ++x) {
        const Byte i = static_cast<Byte>(indexOf(px[x]));
        if (d == 8) line[static_cast<size_t>(x)] = i;
        else line[static_cast<size_t>(x >> 1)] |= static_cast<Byte>((x & 1) ? i : i << 4);
      }
      putLine(line.data(), 1);
    }
  }
  if (d == 8 && !aborting) {
    Byte tail[1 + kVgaPaletteSize];
    tail[0] = 0x0C;
    for (Integer i = 0; i < 256; ++i) {
      tail[1 + 3 * i] = palette[static_cast<size_t>(i)].r;
      tail[2 + 3 * i] = palette[static_cast<size_t>(i)].g;
      tail[3 + 3 * i] = palette[static_cast<size_t>(i)].b;
    }
    SafeStreamWrite(Stream, aborting, tail, sizeof tail);
  }
  if (!aborting) Progress.Report(100);
}

}  // namespace

Integer PcxEncodeLine(const Byte* src, Integer n, Integer stride, Byte* dest) {
  Byte* d = dest;
  Integer i = 0;
  while (i < n) {
    const Byte v = src[static_cast<size_t>(i) * stride];
    Integer run = 1;
    while (i + run < n && run < 63 && src[static_cast<size_t>(i + run) * stride] == v) ++run;
    if (run > 1 || v >= 0xC0) *d++ = static_cast<Byte>(0xC0 + run);
    *d++ = v;
    i += run;
  }
  if (n & 1) *d++ = 0;
  return static_cast<Integer>(d - dest);
}

void ReadPcxStream(TStream* Stream, TIEBitmap* Bitmap, TIOParamsVals& Params, Int64 BlockLen,
                   TProgressRec& Progress, bool Preview) {
  try {
    ReadPCX(Stream, Bitmap, Params, BlockLen, Progress, Preview);
  } catch (const std::exception&) {
    Progress.Abort();
  }
}

void WritePcxStream(TStream* Stream, TIEBitmap* Bitmap, TIOParamsVals& Params,
                    TProgressRec& Progress) {
  try {
    WritePCX(Stream, Bitmap, Params, Progress);
  } catch (const std::exception&) {
    Progress.Abort();
  }
}

void ReadPcx(const AnsiString& FileName, TIEBitmap* Bitmap, TIOParamsVals& Params,
             TProgressRec& Progress) {
  std::unique_ptr<TFileStream> stream;
  try {
    stream = std::make_unique<TFileStream>(FileName, fmOpenRead | fmShareDenyWrite);
  } catch (const Exception&) {
    return Progress.Abort();
  }
  ReadPcxStream(stream.get(), Bitmap, Params, stream->GetSize(), Progress, false);
}

void WritePcx(const AnsiString& FileName, TIEBitmap* Bitmap, TIOParamsVals& Params,
              TProgressRec& Progress) {
  std::unique_ptr<TFileStream> stream;
  try {
    stream = std::make_unique<TFileStream>(FileName, fmCreate);
  } catch (const Exception&) {
    return Progress.Abort();
  }
  WritePcxStream(stream.get(), Bitmap, Params, Progress);
}
