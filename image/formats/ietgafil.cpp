// TGA reader, writer and detector.
#include "image/formats/ietgafil.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <exception>
#include <span>
#include <vector>

#include "image/formats/neurquant.h"
#include "image/model/ieutils.h"
#include "image/proc/dadiravproc.h"
#include "image/proc/dadiravproc_colour.h"
#include "platform/rtl/DateTime.h"
#include "platform/rtl/Math.h"

namespace {

constexpr Integer kHeaderSize = 18;
constexpr Integer kFooterSize = 26;
constexpr Integer kExtensionSize = 495;
constexpr char kSignature[] = "TRUEVISION-XFILE.";  // and its NUL: 18 bytes

Word Le16(const Byte* p) { return static_cast<Word>(p[0] | (p[1] << 8)); }
DWORD Le32(const Byte* p) {
  return static_cast<DWORD>(p[0]) | (static_cast<DWORD>(p[1]) << 8) |
         (static_cast<DWORD>(p[2]) << 16) | (static_cast<DWORD>(p[3]) << 24);
}
void Put16(Byte* p, Integer v) {
  p[0] = static_cast<Byte>(v);
  p[1] = static_cast<Byte>(v >> 8);
}
void Put32(Byte* p, Int64 v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<Byte>(v >> (8 * i));
}

bool ValidType(Integer t) { return (t >= 1 && t <= 3) || (t >= 9 && t <= 11); }
bool ValidDepth(Integer d) { return d == 1 || d == 4 || d == 8 || d == 16 || d == 24 || d == 32; }

// An x1555 value as blue, green, red (each channel value x 8).
TRGB From1555(Word v) {
  return TRGB{static_cast<Byte>((v & 0x1F) << 3), static_cast<Byte>(((v >> 5) & 0x1F) << 3),
              static_cast<Byte>(((v >> 10) & 0x1F) << 3)};
}

// A NUL-ended text in a fixed field.
AnsiString FieldText(const Byte* p, size_t n) {
  const size_t len = static_cast<size_t>(std::find(p, p + n, Byte{0}) - p);
  return AnsiString(reinterpret_cast<const char*>(p), len);
}

void ReadExtension(TStream* Stream, Int64 start, Int64 end, TIOParamsVals& Params) {
  if (end - start < kHeaderSize + kFooterSize) return;
  Byte footer[kFooterSize];
  Stream->SetPosition(end - kFooterSize);
  if (Stream->Read(footer, kFooterSize) != kFooterSize) return;
  if (std::memcmp(footer + 8, kSignature, sizeof kSignature) != 0) return;
  const Int64 offset = Le32(footer);
  if (offset == 0 || start + offset + kExtensionSize > end) return;
  Byte e[kExtensionSize];
  Stream->SetPosition(start + offset);
  if (Stream->Read(e, kExtensionSize) != kExtensionSize) return;
  Params.TGA_Author = FieldText(e + 2, 41);
  const Word month = Le16(e + 367), day = Le16(e + 369), year = Le16(e + 371);
  const Word hour = Le16(e + 373), minute = Le16(e + 375), second = Le16(e + 377);
  TDateTime date = 0, time = 0;
  if (month >= 1 && month <= 12 && day >= 1 && day <= 31 && year >= 1 && year <= 2499 && hour < 24 &&
      minute < 60 && second < 60 && TryEncodeDate(year, month, day, date) &&
      TryEncodeTime(hour, minute, second, 0, time))
    Params.TGA_Date = date + time;
  Params.TGA_ImageName = FieldText(e + 379, 41);
  Params.TGA_Background = TRGB{e[473], e[472], e[471]};
  if (Le16(e + 474) != 0 && Le16(e + 476) != 0) Params.TGA_AspectRatio = double(Le16(e + 474)) / Le16(e + 476);
  if (Le16(e + 478) != 0 && Le16(e + 480) != 0) Params.TGA_Gamma = double(Le16(e + 478)) / Le16(e + 480);
}

// Pixel data decoded value by value from memory; run-length packets may carry on
// past the end of a row.
class PixelSource {
 public:
  PixelSource(const std::vector<Byte>& data, Integer bytesPerValue, bool rle)
      : data_(data), bpv_(static_cast<size_t>(bytesPerValue)), rle_(rle) {}
  // The next value's bytes, or null when the data ends.
  const Byte* Next() {
    if (!rle_) return Take();
    if (left_ == 0) {
      if (at_ >= data_.size()) return nullptr;
      const Byte head = data_[at_++];
      left_ = (head & 0x7F) + 1;
      repeat_ = (head & 0x80) != 0;
      if (repeat_ && (value_ = Take()) == nullptr) return nullptr;
    }
    --left_;
    return repeat_ ? value_ : Take();
  }

 private:
  const Byte* Take() {
    if (data_.size() - at_ < bpv_) return nullptr;
    const Byte* p = data_.data() + at_;
    at_ += bpv_;
    return p;
  }
  const std::vector<Byte>& data_;
  size_t bpv_;
  bool rle_;
  size_t at_ = 0;
  Integer left_ = 0;
  bool repeat_ = false;
  const Byte* value_ = nullptr;
};

void ReadTGA(TStream* Stream, TIEBitmap* Bitmap, TIOParamsVals& Params, TProgressRec& Progress,
             bool Preview, std::unique_ptr<TIEMask>& Mask, bool IgnoreAlpha) {
  const Int64 start = Stream->GetPosition();
  const Int64 end = Stream->GetSize();
  Params.TGA_Author.clear();
  Params.TGA_ImageName.clear();
  Params.TGA_Date = Date();
  Params.TGA_Background = TRGB{0, 0, 0};
  Params.TGA_AspectRatio = 1.0;
  Params.TGA_Gamma = 2.2;
  ReadExtension(Stream, start, end, Params);

  Stream->SetPosition(start);
  Byte h[kHeaderSize];
  if (Stream->Read(h, kHeaderSize) != kHeaderSize) return Progress.Abort();
  const Integer idLength = h[0], mapType = h[1], type = h[2];
  const Integer mapFirst = Le16(h + 3), mapLength = Le16(h + 5), mapEntryBits = h[7];
  const Integer width = Le16(h + 12), height = Le16(h + 14), depth = h[16], desc = h[17];
  Params.TGA_XPos = Le16(h + 8);
  Params.TGA_YPos = Le16(h + 10);
  if (!ValidType(type) || !ValidDepth(depth) || mapType > 1) return Progress.Abort();
  if (width == 0 || height == 0 || Int64{width} * height > TGA_MaxPixels) return Progress.Abort();
  Byte id[256] = {};
  if (Stream->Read(id, idLength) != idLength) return Progress.Abort();
  Params.TGA_Descriptor = FieldText(id, static_cast<size_t>(idLength));

  // The default table: 3-3-2 colours for index bits rrrgggbb.
  std::array<TRGB, 256> table{};
  for (Integer i = 0; i < 256; ++i)
    table[static_cast<size_t>(i)] = TRGB{static_cast<Byte>((i & 3) * 64 + 60), static_cast<Byte>(((i >> 2) & 7) * 32 + 28),
                                          static_cast<Byte>((i >> 5) * 32 + 28)};
  Params.ColorMap.reset();
  Params.ColorMapCount = 0;
  Params.TGA_GrayLevel = false;
  if (mapType == 1) {
    const Integer entryBytes = (mapEntryBits + 7) / 8;
    if (mapEntryBits != 15 && mapEntryBits != 16 && mapEntryBits != 24 && mapEntryBits != 32)
      return Progress.Abort();
    std::vector<Byte> map(static_cast<size_t>(mapLength) * static_cast<size_t>(entryBytes));  // at most 256 KB
    if (Stream->Read(map.data(), static_cast<Integer>(map.size())) != static_cast<Integer>(map.size()))
      return Progress.Abort();
    // Entries past the 256 the pixels can index are skipped.
    for (Integer i = 0; i < mapLength && mapFirst + i < 256; ++i) {
      const Byte* p = map.data() + static_cast<size_t>(i) * static_cast<size_t>(entryBytes);
      table[static_cast<size_t>(mapFirst + i)] = entryBytes == 2 ? From1555(Le16(p)) : TRGB{p[0], p[1], p[2]};
    }
    const Integer count = std::min(mapLength, 256);
    if (count > 0) {
      Params.ColorMap = std::make_unique<TRGB[]>(static_cast<size_t>(count));
      std::copy_n(table.begin(), count, Params.ColorMap.get());
      Params.ColorMapCount = count;
    }
  } else if (depth == 8) {
    for (Integer i = 0; i < 256; ++i) table[static_cast<size_t>(i)] = TRGB{Byte(i), Byte(i), Byte(i)};
    Params.TGA_GrayLevel = true;
  } else if (depth == 1 || depth == 4) {
    // Without a map: black and white, or a grey ramp of 16 levels.
    const Integer levels = 1 << depth;
    for (Integer i = 0; i < levels; ++i) {
      const Byte v = static_cast<Byte>(i * 255 / (levels - 1));
      table[static_cast<size_t>(i)] = TRGB{v, v, v};
    }
  }

  Params.TGA_Compressed = type >= 9;
  // 16-bit grey pixels are a grey level and an alpha byte.
  const bool greyAlpha = depth == 16 && (type == 3 || type == 11);
  Params.Width = width;
  Params.Height = height;
  Params.DpiX = IEScreenDpiX();
  Params.DpiY = IEScreenDpiY();
  switch (depth) {
    case 1: Params.BitsPerSample = 1; Params.SamplesPerPixel = 1; break;
    case 4: Params.BitsPerSample = 4; Params.SamplesPerPixel = 1; break;
    case 8: Params.BitsPerSample = 8; Params.SamplesPerPixel = 1; break;
    case 16:
      Params.BitsPerSample = greyAlpha ? 8 : 5;
      Params.SamplesPerPixel = greyAlpha ? 1 : 3;
      break;
    case 24: Params.BitsPerSample = 8; Params.SamplesPerPixel = 3; break;
    default: Params.BitsPerSample = 8; Params.SamplesPerPixel = 4; break;
  }

  // Sub-byte depths are coded byte by byte: a value is a byte holding 8 / depth
  // pixels (first pixel in the high bits).
  const Integer bytesPerValue = depth < 8 ? 1 : depth / 8;
  const Int64 valuesPerRow = depth < 8 ? (Int64{width} * depth + 7) / 8 : width;
  const Int64 values = valuesPerRow * height;
  const Int64 present = end - Stream->GetPosition();
  // Uncompressed, every value is there; compressed, one packet of at most 128
  // values takes at least 1 + bytesPerValue bytes.
  const Int64 needed = type >= 9 ? (values + 127) / 128 * (1 + bytesPerValue) : values * bytesPerValue;
  if (needed > present) return Progress.Abort();
  if (Preview) return;

  // Compressed data takes at most 129 bytes per 128 values of 1 byte (and less
  // for wider values), so twice the raw size bounds what the pixels can need.
  const Int64 take = std::min(present, type >= 9 ? 2 * values * bytesPerValue + 2 : values * bytesPerValue);
  std::vector<Byte> data(static_cast<size_t>(take));  // bounded by the stream's bytes
  if (Stream->Read(data.data(), static_cast<Integer>(take)) != take) return Progress.Abort();

  Bitmap->Allocate(width, height, depth == 1 ? ie1g : ie24RGB);
  TIEMask* mask = nullptr;
  if ((depth == 32 || greyAlpha) && (desc & 0x0F) != 0 && !IgnoreAlpha) {
    if (!Mask) Mask = std::make_unique<TIEMask>();
    Mask->AllocateBits(width, height, 8);
    Mask->Fill(255);
    Mask->SetFull(false);
    mask = Mask.get();
  }
  const bool topDown = (desc & 0x20) != 0;
  const bool mirror = (desc & 0x10) != 0;
  PixelSource source(data, bytesPerValue, type >= 9);
  std::vector<Byte> row(static_cast<size_t>(width) * 3 + 8);  // one decoded row
  std::vector<Byte> alpha(static_cast<size_t>(width));
  Progress.per1 = 100.0 / height;
  for (Integer n = 0; n < height; ++n) {
    if (Progress.Aborted()) return;
    Byte* dst = row.data();
    for (Int64 v = 0; v < valuesPerRow; ++v) {
      const Byte* p = source.Next();
      if (p == nullptr) return Progress.Abort();
      switch (depth) {
        case 1: *dst++ = *p; break;
        case 4: {
          const TRGB a = table[*p >> 4], b = table[*p & 0x0F];
          *dst++ = a.b; *dst++ = a.g; *dst++ = a.r;
          if (2 * v + 1 < width) { *dst++ = b.b; *dst++ = b.g; *dst++ = b.r; }
          break;
        }
        case 8: { const TRGB c = table[*p]; *dst++ = c.b; *dst++ = c.g; *dst++ = c.r; break; }
        case 16:
          if (greyAlpha) {  // grey level and alpha
            *dst++ = p[0]; *dst++ = p[0]; *dst++ = p[0];
            alpha[static_cast<size_t>(v)] = p[1];
          } else {
            const TRGB c = From1555(Le16(p));
            *dst++ = c.b; *dst++ = c.g; *dst++ = c.r;
          }
          break;
        case 24: *dst++ = p[0]; *dst++ = p[1]; *dst++ = p[2]; break;
        default: *dst++ = p[0]; *dst++ = p[1]; *dst++ = p[2]; alpha[static_cast<size_t>(v)] = p[3]; break;
      }
    }
    const Integer y = topDown ? n : height - 1 - n;
    Byte* out = static_cast<Byte*>(Bitmap->GetScanLine(y));
    if (depth == 1) {
      const Integer bytes = (width + 7) / 8;
      if (!mirror) {
        std::memcpy(out, row.data(), static_cast<size_t>(bytes));
      } else {
        std::memset(out, 0, static_cast<size_t>(bytes));
        for (Integer x = 0; x < width; ++x) {
          const Integer sx = width - 1 - x;
          if ((row[static_cast<size_t>(sx >> 3)] >> (7 - (sx & 7))) & 1) out[x >> 3] |= static_cast<Byte>(0x80 >> (x & 7));
        }
      }
    } else if (!mirror) {
      std::memcpy(out, row.data(), static_cast<size_t>(width) * 3);
    } else {
      for (Integer x = 0; x < width; ++x) std::memcpy(out + 3 * x, row.data() + 3 * (width - 1 - x), 3);
      std::reverse(alpha.begin(), alpha.end());
    }
    if (mask != nullptr) std::memcpy(mask->GetScanLine(y), alpha.data(), static_cast<size_t>(width));
    Progress.Report(static_cast<Integer>(Trunc(Progress.per1 * (n + 1))));
  }
}

// Run-length codes count values of size bytes each.
void EncodeRow(const Byte* src, Integer count, Integer size, std::vector<Byte>& out) {
  out.clear();
  auto same = [&](Integer a, Integer b) { return std::memcmp(src + a * size, src + b * size, static_cast<size_t>(size)) == 0; };
  Integer i = 0;
  while (i < count) {
    Integer run = 1;
    while (i + run < count && run < 128 && same(i, i + run)) ++run;
    if (run >= 2) {
      out.push_back(static_cast<Byte>(0x80 + run - 1));
      out.insert(out.end(), src + i * size, src + (i + 1) * size);
      i += run;
      continue;
    }
    // A raw packet: values that each differ from the next.
    Integer n = 1;
    while (i + n < count && n < 128 && !(i + n + 1 < count && same(i + n, i + n + 1))) ++n;
    out.push_back(static_cast<Byte>(n - 1));
    out.insert(out.end(), src + i * size, src + (i + n) * size);
    i += n;
  }
}

void WriteTGA(TStream* Stream, TIEBitmap* Bitmap, TIOParamsVals& Params, TProgressRec& Progress,
              TIEMask* Mask) {
  bool localAbort = false;
  bool& aborting = Progress.Aborting != nullptr ? *Progress.Aborting : localAbort;
  const Integer width = Bitmap->GetWidth();
  const Integer height = Bitmap->GetHeight();
  if (width <= 0 || height <= 0 || width > 65535 || height > 65535) return Progress.Abort();
  const Int64 start = Stream->GetPosition();

  std::unique_ptr<TIEBitmap> copy;
  TIEBitmap* src = Bitmap;
  Integer depth = 24;
  bool grey = false;
  Integer ncol = 0;
  if (Params.SamplesPerPixel == 1 && Params.BitsPerSample == 1) {
    depth = 1;
    Params.TGA_Compressed = false;
    if (Bitmap->GetPixelFormat() != ie1g) {
      TRGB c0, c1;
      copy = _ConvertTo1bitEx(Bitmap, c0, c1);
      if (!copy) {
        copy = std::make_unique<TIEBitmap>();
        copy->Assign(Bitmap);
        copy->SetPixelFormat(ie1g);
      }
      src = copy.get();
    }
  } else {
    if (Bitmap->GetPixelFormat() != ie24RGB) {
      copy = std::make_unique<TIEBitmap>();
      copy->Assign(Bitmap);
      copy->SetPixelFormat(ie24RGB);
      src = copy.get();
    }
    if (Params.SamplesPerPixel == 1 && (Params.BitsPerSample == 4 || Params.BitsPerSample == 8)) {
      // 16 colours are written as an 8-bit colour-mapped image: 4-bit TGA files
      // are outside the format and other readers refuse them.
      depth = 8;
      grey = Params.TGA_GrayLevel;
      ncol = grey ? 0 : (Params.BitsPerSample == 4 ? 16 : 256);
    } else if (Mask != nullptr && !Mask->GetFull() && Mask->GetWidth() == width && Mask->GetHeight() == height) {
      depth = 32;
      Params.TGA_Compressed = false;
    }
  }
  const bool rle = Params.TGA_Compressed && (depth == 8 || depth == 24);

  std::array<TRGB, 256> palette{};
  std::unique_ptr<TIEQuantizer> quantizer;
  if (ncol > 0) {
    quantizer = std::make_unique<TIEQuantizer>(src, std::span<TRGB>(palette.data(), static_cast<size_t>(ncol)), ncol);
    Params.ColorMap = std::make_unique<TRGB[]>(static_cast<size_t>(ncol));
    std::copy_n(palette.begin(), ncol, Params.ColorMap.get());
    Params.ColorMapCount = ncol;
  }

  const AnsiString descriptor = Params.TGA_Descriptor.substr(0, 254);
  Byte h[kHeaderSize] = {};
  h[0] = static_cast<Byte>(descriptor.size() + 1);
  h[1] = ncol > 0 ? 1 : 0;
  h[2] = static_cast<Byte>((depth == 1 || grey ? 3 : (ncol > 0 ? 1 : 2)) + (rle ? 8 : 0));
  if (ncol > 0) {
    Put16(h + 5, ncol);
    h[7] = 24;
  }
  Put16(h + 8, Params.TGA_XPos);
  Put16(h + 10, Params.TGA_YPos);
  Put16(h + 12, width);
  Put16(h + 14, height);
  h[16] = static_cast<Byte>(depth);
  h[17] = static_cast<Byte>(depth == 32 ? 0x28 : 0x20);
  SafeStreamWrite(Stream, aborting, h, kHeaderSize);
  SafeStreamWrite(Stream, aborting, descriptor.c_str(), static_cast<Integer>(descriptor.size() + 1));
  for (Integer i = 0; i < ncol; ++i) {
    const Byte e[3] = {palette[static_cast<size_t>(i)].b, palette[static_cast<size_t>(i)].g, palette[static_cast<size_t>(i)].r};
    SafeStreamWrite(Stream, aborting, e, 3);
  }

  const auto indexOf = [&](TRGB c) {
    const Integer i = quantizer->GetRGBIndex(c);
    return i >= 0 && i < ncol ? i : _GetSimilColor(palette.data(), ncol, c);
  };
  const Integer valueSize = depth == 32 ? 4 : (depth == 24 ? 3 : 1);
  const Integer values = depth == 1 ? (width + 7) / 8 : width;
  std::vector<Byte> row(static_cast<size_t>(values) * static_cast<size_t>(valueSize));
  std::vector<Byte> packed;
  Progress.per1 = 100.0 / height;
  for (Integer y = 0; y < height && !aborting; ++y) {
    const Byte* s = static_cast<const Byte*>(src->GetScanLine(y));
    if (depth == 1 || depth == 24) {
      std::memcpy(row.data(), s, row.size());
    } else if (depth == 32) {
      const Byte* a = Mask->GetScanLine(y);
      for (Integer x = 0; x < width; ++x) {
        std::memcpy(&row[static_cast<size_t>(4 * x)], s + 3 * x, 3);
        row[static_cast<size_t>(4 * x + 3)] = a[x];
      }
    } else {
      const TRGB* px = reinterpret_cast<const TRGB*>(s);
      for (Integer x = 0; x < width; ++x)
        row[static_cast<size_t>(x)] = static_cast<Byte>(grey ? _RGBToGray(px[x]) : indexOf(px[x]));
    }
    if (rle) {
      EncodeRow(row.data(), values, valueSize, packed);
      SafeStreamWrite(Stream, aborting, packed.data(), static_cast<Integer>(packed.size()));
    } else {
      SafeStreamWrite(Stream, aborting, row.data(), static_cast<Integer>(row.size()));
    }
    Progress.Report(static_cast<Integer>(Trunc(Progress.per1 * (y + 1))));
  }
  if (aborting) return;

  const Int64 extension = Stream->GetPosition() - start;
  Byte e[kExtensionSize] = {};
  Put16(e, kExtensionSize);
  std::memcpy(e + 2, Params.TGA_Author.c_str(), std::min<size_t>(40, Params.TGA_Author.size()));
  Word year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, msec = 0;
  if (Params.TGA_Date > 0) {
    DecodeDate(Params.TGA_Date, year, month, day);
    DecodeTime(Params.TGA_Date, hour, minute, second, msec);
  }
  Put16(e + 367, month);
  Put16(e + 369, day);
  Put16(e + 371, year);
  Put16(e + 373, hour);
  Put16(e + 375, minute);
  Put16(e + 377, second);
  std::memcpy(e + 379, Params.TGA_ImageName.c_str(), std::min<size_t>(40, Params.TGA_ImageName.size()));
  e[470] = 0;
  e[471] = Params.TGA_Background.r;
  e[472] = Params.TGA_Background.g;
  e[473] = Params.TGA_Background.b;
  // Ratios as n / 10000; a value too large for 16 bits is kept as the largest.
  auto ratio = [](double v) { return static_cast<Integer>(std::clamp<double>(Trunc(v * 10000), 0, 65535)); };
  Put16(e + 474, ratio(Params.TGA_AspectRatio));
  Put16(e + 476, 10000);
  Put16(e + 478, ratio(Params.TGA_Gamma));
  Put16(e + 480, 10000);
  SafeStreamWrite(Stream, aborting, e, kExtensionSize);
  Byte f[kFooterSize] = {};
  Put32(f, extension);
  std::memcpy(f + 8, kSignature, sizeof kSignature);
  SafeStreamWrite(Stream, aborting, f, kFooterSize);
}

}  // namespace

bool TryTGA(TStream* Stream) {
  const Int64 start = Stream->GetPosition();
  Byte h[kHeaderSize];
  const bool got = Stream->Read(h, kHeaderSize) == kHeaderSize;
  Stream->SetPosition(start);
  return got && ValidType(h[2]) && ValidDepth(h[16]) && h[1] <= 1;
}

void ReadTGAStream(TStream* Stream, TIEBitmap* Bitmap, TIOParamsVals& Params,
                   TProgressRec& Progress, bool Preview, std::unique_ptr<TIEMask>& Mask,
                   bool IgnoreAlpha) {
  try {
    ReadTGA(Stream, Bitmap, Params, Progress, Preview, Mask, IgnoreAlpha);
  } catch (const std::exception&) {
    Progress.Abort();
  }
}

void WriteTGAStream(TStream* Stream, TIEBitmap* Bitmap, TIOParamsVals& Params,
                    TProgressRec& Progress, TIEMask* Mask) {
  try {
    WriteTGA(Stream, Bitmap, Params, Progress, Mask);
  } catch (const std::exception&) {
    Progress.Abort();
  }
}
