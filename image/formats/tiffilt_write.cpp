// TIFF writer: one image as a one-strip little-endian page, in a new file or
// inserted into the directory chain of an existing one (Append).
#include <algorithm>
#include <cstring>
#include <exception>
#include <memory>
#include <span>
#include <unordered_set>
#include <vector>

#include "image/formats/jpegfilt.h"
#include "image/formats/neurquant.h"
#include "image/formats/tifccitt.h"
#include "image/formats/tiffilt.h"
#include "image/formats/tiffilt_io.h"
#include "image/formats/tiffilt_lab.h"
#include "image/model/iebitmap.h"
#include "image/model/ieutils.h"
#include "image/proc/dadiravproc.h"
#include "platform/rtl/Math.h"

namespace {

constexpr Word kTypeAscii = 2;
constexpr Word kTypeShort = 3;
constexpr Word kTypeLong = 4;
constexpr Word kTypeRational = 5;

constexpr Int64 kMaxOffset = 0xFFFFFFFF;

// What the page's samples mean.
enum class TPageKind { Grey, WhiteIsZero, Palette, Cmyk, Lab, YCbCr, Rgb };

enum TCompressionCode : Word {
  ccNone = 1,
  ccHuffman = 2,
  ccGroup3 = 3,
  ccGroup4 = 4,
  ccLZW = 5,
  ccJPEG = 7,
  ccPackBits = 32773
};

// Every page is little-endian.
void Put16(Byte* p, Word v) { tiffilt::Put16(p, v, true); }
void Put32(Byte* p, DWORD v) { tiffilt::Put32(p, v, true); }
DWORD Get32(const Byte* p) { return tiffilt::Get32(p, true); }

struct TEntry {
  Word Tag;
  Word Type;
  DWORD Count;
  DWORD Value;
};

// Writes through SafeStreamWrite and collects the directory entries.
class TPageWriter {
 public:
  TPageWriter(TStream* stream, bool& aborting) : stream_(stream), aborting_(aborting) {}

  void Write(const void* data, Int64 count) {
    if (aborting_) return;
    if (count > INT32_MAX) {
      aborting_ = true;
      return;
    }
    SafeStreamWrite(stream_, aborting_, data, static_cast<Integer>(count));
  }

  // The position as a file offset; a position beyond 32 bits fails the write.
  DWORD Offset() {
    const Int64 position = stream_->GetPosition();
    if (position < 0 || position > kMaxOffset) {
      aborting_ = true;
      return 0;
    }
    return static_cast<DWORD>(position);
  }

  void Add(Word tag, Word type, DWORD count, DWORD value) {
    entries_.push_back(TEntry{tag, type, count, value});
  }
  void AddShort(Word tag, Word value) { Add(tag, kTypeShort, 1, value); }
  void AddLong(Word tag, DWORD value) { Add(tag, kTypeLong, 1, value); }

  // Up to two values sit in the entry itself, the first in the low 16 bits; more
  // are written out of line.
  void AddShorts(Word tag, const std::vector<Word>& values) {
    const auto count = static_cast<DWORD>(values.size());
    if (count <= 2) {
      DWORD value = values.empty() ? 0 : values[0];
      if (count == 2) value |= DWORD{values[1]} << 16;
      Add(tag, kTypeShort, count, value);
      return;
    }
    std::vector<Byte> bytes(values.size() * 2);
    for (size_t i = 0; i < values.size(); ++i) Put16(&bytes[2 * i], values[i]);
    const DWORD offset = Offset();
    Write(bytes.data(), static_cast<Int64>(bytes.size()));
    Add(tag, kTypeShort, count, offset);
  }

  void AddRational(Word tag, DWORD numerator, DWORD denominator) {
    Byte bytes[8];
    Put32(bytes, numerator);
    Put32(bytes + 4, denominator);
    const DWORD offset = Offset();
    Write(bytes, 8);
    Add(tag, kTypeRational, 1, offset);
  }

  // With its NUL. A text of up to three characters sits in the entry itself, as
  // readers take values of four bytes or fewer from there; longer ones go out of
  // line.
  void AddAscii(Word tag, const AnsiString& text) {
    if (text.size() >= static_cast<size_t>(INT32_MAX)) {
      aborting_ = true;
      return;
    }
    std::vector<Byte> bytes(text.begin(), text.end());
    bytes.push_back(0);
    const auto count = static_cast<DWORD>(bytes.size());
    if (count <= 4) {
      bytes.resize(4, 0);
      Add(tag, kTypeAscii, count, Get32(bytes.data()));
      return;
    }
    const DWORD offset = Offset();
    Write(bytes.data(), static_cast<Int64>(bytes.size()));
    Add(tag, kTypeAscii, count, offset);
  }

  // LONG values of a byte block: Count is the length divided by 4, rounded up, and
  // the block is padded to that many LONGs.
  void AddLongBlock(Word tag, const Byte* data, Integer length) {
    const auto count = static_cast<DWORD>((static_cast<Int64>(length) + 3) / 4);
    std::vector<Byte> bytes(static_cast<size_t>(count) * 4, 0);
    if (length > 0) std::memcpy(bytes.data(), data, static_cast<size_t>(length));
    if (count <= 1) {
      Add(tag, kTypeLong, count, count == 1 ? Get32(bytes.data()) : 0);
      return;
    }
    const DWORD offset = Offset();
    Write(bytes.data(), static_cast<Int64>(bytes.size()));
    Add(tag, kTypeLong, count, offset);
  }

  // Pads to an even position and writes the directory (entries by tag) with its
  // next offset; answers the directory's offset.
  DWORD WriteDirectory(DWORD nextOffset) {
    if (Offset() % 2 != 0) {
      const Byte zero = 0;
      Write(&zero, 1);
    }
    const DWORD offset = Offset();
    std::stable_sort(entries_.begin(), entries_.end(),
                     [](const TEntry& a, const TEntry& b) { return a.Tag < b.Tag; });
    std::vector<Byte> bytes(2 + entries_.size() * 12 + 4);
    Put16(bytes.data(), static_cast<Word>(entries_.size()));
    Byte* p = bytes.data() + 2;
    for (const TEntry& e : entries_) {
      Put16(p, e.Tag);
      Put16(p + 2, e.Type);
      Put32(p + 4, e.Count);
      Put32(p + 8, e.Value);
      p += 12;
    }
    Put32(p, nextOffset);
    Write(bytes.data(), static_cast<Int64>(bytes.size()));
    return offset;
  }

  TStream* Stream() const { return stream_; }
  bool& Aborting() const { return aborting_; }

 private:
  TStream* stream_;
  bool& aborting_;
  std::vector<TEntry> entries_;
};

// Hands the LZW hook the caller's stream and notices when it takes fewer bytes
// than the hook gives it.
class TCheckedStream : public TStream {
 public:
  TCheckedStream(TStream* target, bool& aborting) : target_(target), aborting_(aborting) {}
  using TStream::Seek;
  Integer Read(void* buffer, Integer count) override { return target_->Read(buffer, count); }
  Integer Write(const void* buffer, Integer count) override {
    const Integer written = target_->Write(buffer, count);
    if (written < count) aborting_ = true;
    return written;
  }
  Int64 Seek(Int64 offset, TSeekOrigin origin) override { return target_->Seek(offset, origin); }
  Int64 GetSize() override { return target_->GetSize(); }

 private:
  TStream* target_;
  bool& aborting_;
};

// PackBits: runs of 4 to 128 equal bytes as (1 - r, byte); everything else as
// literal groups of at most 128 bytes (k - 1, bytes). Answers the bytes written to
// dest, which holds at least n + (n + 127) / 128.
size_t PackBitsRow(const Byte* src, size_t n, Byte* dest) {
  Byte* d = dest;
  const auto flushLiteral = [&](size_t from, size_t to) {
    while (from < to) {
      const size_t k = std::min<size_t>(128, to - from);
      *d++ = static_cast<Byte>(k - 1);
      std::memcpy(d, src + from, k);
      d += k;
      from += k;
    }
  };
  size_t literalStart = 0;
  size_t i = 0;
  while (i < n) {
    size_t run = 1;
    while (i + run < n && run < 128 && src[i + run] == src[i]) ++run;
    if (run >= 4) {
      flushLiteral(literalStart, i);
      *d++ = static_cast<Byte>(1 - static_cast<int>(run));
      *d++ = src[i];
      i += run;
      literalStart = i;
    } else {
      i += run;
    }
  }
  flushLiteral(literalStart, n);
  return static_cast<size_t>(d - dest);
}

// Packs values of `bits` bits (1..8), most significant bit first.
void PackIndexes(const Byte* values, Integer count, Integer bits, Byte* dest, size_t destLen) {
  if (bits == 8) {
    std::memcpy(dest, values, static_cast<size_t>(count));
    return;
  }
  std::memset(dest, 0, destLen);
  Int64 bit = 0;
  for (Integer x = 0; x < count; ++x, bit += bits) {
    const Integer v = values[x] & ((1 << bits) - 1);
    // A value may straddle two bytes.
    const Integer shift = 16 - bits - static_cast<Integer>(bit & 7);
    const Integer word = v << shift;
    dest[bit >> 3] |= static_cast<Byte>(word >> 8);
    if ((word & 0xFF) != 0) dest[(bit >> 3) + 1] |= static_cast<Byte>(word);
  }
}

// The page's layout, decided from the parameters.
struct TLayout {
  std::unique_ptr<TIEBitmap> ownWork;  // a converted copy, when one was needed
  TIEBitmap* work = nullptr;           // the image written
  bool oneBit = false;
  TPageKind kind = TPageKind::Rgb;
  Word code = ccNone;
  bool twoD = false;       // Group 3 two-dimensional coding
  bool invert = false;     // 1-bit rows inverted so that 1 is black
  // The two colours of a 1-bit page written as a palette (bit 0, bit 1): an image
  // of two colours other than black and white keeps them.
  bool twoColourPalette = false;
  TRGB colours[2] = {};
  bool predictor = false;  // horizontal differencing with LZW
  TTIFFLZWCompFunc lzw = nullptr;
  std::unique_ptr<TIEQuantizer> quantizer;
  Integer bits = 8;  // bits per sample of grey and palette pages
};

bool GreyOrPalette(TPageKind kind) {
  return kind == TPageKind::Grey || kind == TPageKind::WhiteIsZero || kind == TPageKind::Palette;
}

// Steps of the layout choice; each may adjust Params.
void ChooseLayout(TIEBitmap* Bitmap, TIOParamsVals& Params, TLayout& L) {
  Integer& bps = Params.BitsPerSample;
  Integer& spp = Params.SamplesPerPixel;
  TIOTIFFPhotometInterpret& ph = Params.TIFF_PhotometInterpret;
  TIOTIFFCompression& cmp = Params.TIFF_Compression;

  // The working image.
  L.oneBit = bps == 1 && spp == 1;
  if (L.oneBit) {
    if (Bitmap->GetPixelFormat() == ie1g) {
      L.work = Bitmap;
    } else {
      TRGB color0{}, color1{};
      L.ownWork = _ConvertTo1bitEx(Bitmap, color0, color1);
      if (L.ownWork && !(color0 == TRGB{0, 0, 0} && color1 == TRGB{255, 255, 255})) {
        L.twoColourPalette = true;
        L.colours[0] = color0;
        L.colours[1] = color1;
      }
      if (!L.ownWork) {
        L.ownWork = std::make_unique<TIEBitmap>();
        L.ownWork->Assign(Bitmap);
        L.ownWork->SetPixelFormat(ie1g);
      }
    }
  } else if (Bitmap->GetPixelFormat() == ie24RGB) {
    L.work = Bitmap;
  } else {
    L.ownWork = std::make_unique<TIEBitmap>();
    L.ownWork->Assign(Bitmap);
    L.ownWork->SetPixelFormat(ie24RGB);
  }
  if (L.ownWork) L.work = L.ownWork.get();

  if (spp == 1 && bps >= 2 && bps <= 8) {
    ph = ioTIFF_RGBPALETTE;
    const Integer ncol = 1 << bps;
    Params.ColorMap = std::make_unique<TRGB[]>(static_cast<size_t>(ncol));
    Params.ColorMapCount = ncol;
    L.quantizer = std::make_unique<TIEQuantizer>(
        L.work, std::span<TRGB>(Params.ColorMap.get(), static_cast<size_t>(ncol)), ncol);
    if (cmp != ioTIFF_LZW && cmp != ioTIFF_PACKBITS) cmp = ioTIFF_UNCOMPRESSED;
    if (L.quantizer->GetGrey()) ph = ioTIFF_BLACKISZERO;
  }
  if (ph == ioTIFF_RGBPALETTE && spp > 1) ph = ioTIFF_RGB;
  if (bps > 8) {
    spp = 3;
    bps = 8;
    ph = ioTIFF_RGB;
  }
  if ((ph == ioTIFF_WHITEISZERO || ph == ioTIFF_BLACKISZERO) && bps == 8 && spp == 3)
    ph = ioTIFF_RGB;
  if (ph == ioTIFF_RGB && spp == 1 && bps == 1) ph = ioTIFF_BLACKISZERO;
  if (ph == ioTIFF_YCBCR && cmp != ioTIFF_JPEG) ph = ioTIFF_RGB;

  switch (ph) {
    case ioTIFF_WHITEISZERO:
      L.kind = TPageKind::WhiteIsZero;
      break;
    case ioTIFF_BLACKISZERO:
      L.kind = TPageKind::Grey;
      break;
    case ioTIFF_RGBPALETTE:
      L.kind = TPageKind::Palette;
      break;
    case ioTIFF_CMYK:
      L.kind = TPageKind::Cmyk;
      if (!L.oneBit) spp = 4;
      break;
    case ioTIFF_CIELAB:
      L.kind = TPageKind::Lab;
      break;
    default:
      L.kind = TPageKind::Rgb;
      break;
  }

  const TPageKind kindBeforeCode = L.kind;
  switch (cmp) {
    case ioTIFF_CCITT1D:
    case ioTIFF_G3FAX1D:
    case ioTIFF_G3FAX2D:
    case ioTIFF_G4FAX:
      L.code = cmp == ioTIFF_CCITT1D ? ccHuffman : (cmp == ioTIFF_G4FAX ? ccGroup4 : ccGroup3);
      L.twoD = cmp == ioTIFF_G3FAX2D;
      L.kind = TPageKind::WhiteIsZero;
      break;
    case ioTIFF_LZW:
      L.lzw = Params.TIFF_LZWCompFunc != nullptr ? Params.TIFF_LZWCompFunc : DefTIFF_LZWCOMPFUNC;
      L.code = L.lzw != nullptr ? ccLZW : ccNone;
      L.predictor = L.lzw != nullptr;
      break;
    case ioTIFF_JPEG:
      L.code = ccJPEG;
      L.kind = TPageKind::YCbCr;
      break;
    case ioTIFF_PACKBITS:
      L.code = ccPackBits;
      break;
    default:
      L.code = ccNone;
      break;
  }

  if (!L.oneBit && (L.code == ccHuffman || L.code == ccGroup3 || L.code == ccGroup4)) {
    // Fax coding is for bilevel rows only; the page keeps the kind it asked for.
    L.code = ccNone;
    L.twoD = false;
    L.kind = kindBeforeCode;
  }
  // A palette needs the quantizer of a 2..8-bit page.
  if (L.kind == TPageKind::Palette && !L.quantizer) L.kind = TPageKind::Grey;
  if (L.oneBit) {
    // Bilevel rows are JPEG-coded by no one, and carry no colour: anything but
    // white-is-zero is written as black-is-zero.
    if (L.code == ccJPEG) L.code = ccNone;
    if (L.kind != TPageKind::WhiteIsZero) L.kind = TPageKind::Grey;
    // Fax coding and white-is-zero pages are black and white by nature.
    if (L.kind == TPageKind::WhiteIsZero) L.twoColourPalette = false;
  }
  if (L.predictor && !(bps == 8 && (spp == 1 || spp == 3) && !GreyOrPalette(L.kind)))
    L.predictor = false;
  // 1-bit rows hold 1 for white; white-is-zero pages (and the fax coders) want 1
  // for black.
  L.invert = L.oneBit && L.kind == TPageKind::WhiteIsZero;
  L.bits = bps >= 1 && bps <= 8 ? bps : 8;
}

// Samples per pixel of the page.
Integer PageSamples(const TLayout& L) {
  if (L.oneBit || GreyOrPalette(L.kind)) return 1;
  return L.kind == TPageKind::Cmyk ? 4 : 3;
}

class TRowSource {
 public:
  TRowSource(TLayout& layout, Int64 rowBytes)
      : L(layout),
        width_(layout.work->GetWidth()),
        row_(static_cast<size_t>(rowBytes)),
        indexes_(GreyOrPalette(layout.kind) && !layout.oneBit ? static_cast<size_t>(width_) : 0) {}

  // Row y of the page, in file form (before compression).
  const Byte* Row(Integer y) {
    const Byte* src = static_cast<const Byte*>(L.work->GetScanLine(y));
    Byte* d = row_.data();
    if (L.oneBit) {
      std::memcpy(d, src, row_.size());
      if (L.invert)
        for (Byte& b : row_) b = static_cast<Byte>(~b);
      if ((width_ & 7) != 0) row_.back() &= static_cast<Byte>(0xFF00 >> (width_ & 7));
      return d;
    }
    const TRGB* px = reinterpret_cast<const TRGB*>(src);
    switch (L.kind) {
      case TPageKind::Grey:
      case TPageKind::WhiteIsZero:
      case TPageKind::Palette:
        if (L.quantizer) {
          for (Integer x = 0; x < width_; ++x)
            indexes_[x] = static_cast<Byte>(std::max(0, L.quantizer->GetRGBIndex(px[x])));
        } else {
          // A grey page with no palette behind it: the grey level of each pixel.
          const Integer shift = 8 - L.bits;
          for (Integer x = 0; x < width_; ++x)
            indexes_[x] = static_cast<Byte>(_RGBToGray(px[x]) >> shift);
        }
        PackIndexes(indexes_.data(), width_, L.bits, d, row_.size());
        break;
      case TPageKind::Cmyk:
        for (Integer x = 0; x < width_; ++x, d += 4) {
          Integer m = std::max({px[x].r, px[x].g, px[x].b});
          d[3] = static_cast<Byte>(255 - m);
          if (m == 0) m = 1;
          d[0] = static_cast<Byte>(255 - px[x].r * 255 / m);
          d[1] = static_cast<Byte>(255 - px[x].g * 255 / m);
          d[2] = static_cast<Byte>(255 - px[x].b * 255 / m);
        }
        break;
      case TPageKind::Lab:
        for (Integer x = 0; x < width_; ++x, d += 3) TIFFRGBToCIELab(px[x], d);
        break;
      default:
        for (Integer x = 0; x < width_; ++x, d += 3) {
          d[0] = px[x].r;
          d[1] = px[x].g;
          d[2] = px[x].b;
        }
        break;
    }
    if (L.predictor) {
      const size_t samples = static_cast<size_t>(PageSamples(L));
      for (size_t i = row_.size(); i-- > samples;)
        row_[i] = static_cast<Byte>(row_[i] - row_[i - samples]);
    }
    return row_.data();
  }

 private:
  TLayout& L;
  Integer width_;
  std::vector<Byte> row_;
  std::vector<Byte> indexes_;
};

// Writes the strip; the page's StripOffsets entry is the caller's.
void WriteStrip(TPageWriter& W, TLayout& L, TIOParamsVals& Params, TProgressRec& Progress,
                Int64 rowBytes) {
  bool& aborting = W.Aborting();
  TStream* stream = W.Stream();
  const Integer width = L.work->GetWidth();
  const Integer height = L.work->GetHeight();

  if (L.code == ccJPEG) {
    TIOParamsVals jpegParams(nullptr);
    jpegParams.JPEG_Quality = Params.TIFF_JPEGQuality;
    WriteJPegStream(stream, L.work, jpegParams, Progress);
    return;
  }

  TRowSource source(L, rowBytes);
  std::vector<Byte> packed(
      L.code == ccPackBits ? static_cast<size_t>(rowBytes + (rowBytes + 127) / 128) : 0);
  TCheckedStream lzwStream(stream, aborting);
  void* lzwState = nullptr;
  Byte pendingByte = 0;
  Integer bitCount = 0;
  std::vector<Byte> refLine;

  Progress.per1 = 100.0 / height;
  for (Integer y = 0; y < height && !aborting; ++y) {
    Progress.Report(static_cast<Integer>(Int64{y} * 100 / height));
    if (aborting) break;
    const Byte* row = source.Row(y);
    switch (L.code) {
      case ccHuffman:
        CCITTHuffmanPutLine(row, width, stream, aborting);
        break;
      case ccGroup3:
        if (L.twoD)
          CCITTHuffmanPutLineG32D(row, width, stream, pendingByte, bitCount, refLine, aborting);
        else
          CCITTHuffmanPutLineG3(row, width, stream, pendingByte, bitCount, aborting);
        break;
      case ccGroup4:
        CCITTHuffmanPutLineG4(row, width, stream, pendingByte, bitCount, refLine, aborting);
        break;
      case ccLZW:
        L.lzw(row, static_cast<Integer>(rowBytes), &lzwStream, lzwState);
        break;
      case ccPackBits:
        W.Write(packed.data(),
                static_cast<Int64>(PackBitsRow(row, static_cast<size_t>(rowBytes), packed.data())));
        break;
      default:
        W.Write(row, rowBytes);
        break;
    }
  }
  // The encoders that keep state finish (and free it) even after a failure.
  switch (L.code) {
    case ccGroup3:
      if (L.twoD)
        CCITTHuffmanPutLineG32D(nullptr, width, stream, pendingByte, bitCount, refLine, aborting);
      else
        CCITTHuffmanPutLineG3(nullptr, width, stream, pendingByte, bitCount, aborting);
      break;
    case ccGroup4:
      CCITTHuffmanPutLineG4(nullptr, width, stream, pendingByte, bitCount, refLine, aborting);
      break;
    case ccLZW:
      L.lzw(nullptr, 0, &lzwStream, lzwState);
      break;
    default:
      break;
  }
}

// Where an appended page is linked into the chain.
struct TAppendPoint {
  Int64 linkPosition = 0;  // the 32-bit field to point at the new directory
  DWORD oldOffset = 0;     // what it held: the new directory's next offset
  Integer pages = 0;
};

// The most directories an Append walk follows.
constexpr Integer kMaxAppendPages = 1 << 20;

// Walks the chain of the little-endian TIFF at start. False for anything but "II",
// a chain that leaves the stream, returns to a directory already visited or runs
// beyond kMaxAppendPages.
bool FindAppendPoint(TStream* stream, Int64 start, Integer index, TAppendPoint& point) {
  Byte header[4];
  if (!tiffilt::ReadAt(stream, start, header, 4) || header[0] != 'I' || header[1] != 'I')
    return false;
  const Int64 size = stream->GetSize();
  std::unordered_set<DWORD> visited;
  Int64 link = start + 4;
  bool found = false;
  for (;;) {
    Byte field[4];
    if (!tiffilt::ReadAt(stream, link, field, 4)) return false;
    const DWORD offset = Get32(field);
    if (!found && (point.pages == index || offset == 0)) {
      point.linkPosition = link;
      point.oldOffset = offset;
      found = true;
    }
    if (offset == 0) break;
    if (offset >= size || point.pages >= kMaxAppendPages || !visited.insert(offset).second)
      return false;
    Byte countBytes[2];
    if (!tiffilt::ReadAt(stream, offset, countBytes, 2)) return false;
    link = Int64{offset} + 2 + 12 * Int64{tiffilt::Get16(countBytes, true)};
    ++point.pages;
  }
  point.pages += 1;
  return true;
}

Integer WriteTIFF(TStream* Stream, bool Append, TIEBitmap* Bitmap, TIOParamsVals& Params,
                  TProgressRec& Progress, bool& aborting) {
  if (Stream == nullptr || Bitmap == nullptr || Bitmap->GetWidth() <= 0 ||
      Bitmap->GetHeight() <= 0) {
    aborting = true;
    return 0;
  }
  const Int64 start = Stream->GetPosition();
  TAppendPoint append;
  if (Append) {
    if (!FindAppendPoint(Stream, start, Params.TIFF_ImageIndex, append)) {
      Stream->SetPosition(start);
      aborting = true;
      return 0;
    }
    Stream->Seek(0, soEnd);
  }

  TLayout L;
  ChooseLayout(Bitmap, Params, L);
  const Integer width = L.work->GetWidth();
  const Integer height = L.work->GetHeight();
  const Integer samples = PageSamples(L);
  const Int64 rowBytes =
      L.oneBit ? (Int64{width} + 7) / 8
               : (Int64{GreyOrPalette(L.kind) ? L.bits : 8} * samples * width + 7) / 8;
  if (rowBytes > INT32_MAX) {
    aborting = true;
    return 0;
  }

  TPageWriter W(Stream, aborting);
  if (!Append) {
    const Byte placeholder[8] = {};
    W.Write(placeholder, 8);
  }

  W.AddLong(256, static_cast<DWORD>(width));
  W.AddLong(257, static_cast<DWORD>(height));
  if (L.oneBit)
    W.AddShort(258, 1);
  else if (GreyOrPalette(L.kind))
    W.AddShort(258, static_cast<Word>(L.bits));
  else
    W.AddShorts(258, std::vector<Word>(static_cast<size_t>(samples), 8));
  W.AddShort(259, L.code);
  if (L.oneBit) {
    W.AddShort(262, L.twoColourPalette ? 3 : L.kind == TPageKind::WhiteIsZero ? 0 : 1);
  } else {
    Word photometric = 2;
    switch (L.kind) {
      case TPageKind::Grey:
      case TPageKind::WhiteIsZero:
        photometric = 1;
        break;
      case TPageKind::Palette:
        photometric = 3;
        break;
      case TPageKind::Cmyk:
        photometric = 5;
        break;
      case TPageKind::YCbCr:
        photometric = 6;
        break;
      case TPageKind::Lab:
        photometric = 8;
        break;
      case TPageKind::Rgb:
        photometric = 2;
        break;
    }
    W.AddShort(262, photometric);
  }
  if (!Params.TIFF_DocumentName.empty()) W.AddAscii(269, Params.TIFF_DocumentName);
  if (!Params.TIFF_ImageDescription.empty()) W.AddAscii(270, Params.TIFF_ImageDescription);
  if (aborting) return 0;

  const DWORD stripOffset = W.Offset();
  W.AddLong(273, stripOffset);
  WriteStrip(W, L, Params, Progress, rowBytes);
  if (aborting) return 0;
  const DWORD stripEnd = W.Offset();

  W.AddShort(277, static_cast<Word>(samples));
  W.AddLong(278, static_cast<DWORD>(height));
  W.AddLong(279, stripEnd - stripOffset);
  if (L.predictor) W.AddShort(317, 2);
  W.AddRational(282, static_cast<DWORD>(std::max(0, Params.DpiX)), 1);
  W.AddRational(283, static_cast<DWORD>(std::max(0, Params.DpiY)), 1);
  if (!Params.TIFF_PageName.empty()) W.AddAscii(285, Params.TIFF_PageName);
  const auto position = [](Integer value) {
    const Int64 scaled = Int64{value} * 10000;
    return scaled >= 0 && scaled <= kMaxOffset ? static_cast<DWORD>(scaled) : DWORD{0};
  };
  W.AddRational(286, position(Params.TIFF_XPos), 10000);
  W.AddRational(287, position(Params.TIFF_YPos), 10000);
  if (L.code == ccGroup3) W.AddLong(292, L.twoD ? 1 : 0);
  W.AddShort(296, 2);
  if (Params.TIFF_PageNumber != 0 || Params.TIFF_PageCount != 0)
    W.AddShorts(
        297, {static_cast<Word>(Params.TIFF_PageNumber), static_cast<Word>(Params.TIFF_PageCount)});
  {
    std::unique_ptr<Byte[]> iptc;
    Integer iptcLength = 0;
    Params.IPTC_Info->SaveToStandardBuffer(iptc, iptcLength, false);
    W.AddLongBlock(33723, iptc.get(), iptcLength);
  }
  // Palette bytes scaled to 16 bits (255 -> 65535), so that readers which scale
  // back by 65535 and those which take the high byte both get the byte.
  if (L.kind == TPageKind::Palette && L.quantizer) {
    const size_t ncol = size_t{1} << L.bits;
    std::vector<Word> map(3 * ncol, 0);
    const TRGB* palette = Params.ColorMap.get();
    for (size_t i = 0; i < ncol && i < static_cast<size_t>(Params.ColorMapCount); ++i) {
      map[i] = static_cast<Word>(palette[i].r * 257);
      map[ncol + i] = static_cast<Word>(palette[i].g * 257);
      map[2 * ncol + i] = static_cast<Word>(palette[i].b * 257);
    }
    W.AddShorts(320, map);
  } else if (L.oneBit && L.twoColourPalette) {
    std::vector<Word> map(6, 0);
    for (size_t i = 0; i < 2; ++i) {
      map[i] = static_cast<Word>(L.colours[i].r * 257);
      map[2 + i] = static_cast<Word>(L.colours[i].g * 257);
      map[4 + i] = static_cast<Word>(L.colours[i].b * 257);
    }
    W.AddShorts(320, map);
  }
  if (aborting) return 0;

  // The directory goes first and the link to it last, so that a failed write
  // leaves the chain as it was.
  const DWORD directory = W.WriteDirectory(Append ? append.oldOffset : 0);
  if (aborting) return 0;
  const Int64 end = Stream->GetPosition();
  Byte link[8];
  if (Append) {
    Put32(link, directory);
    Stream->SetPosition(append.linkPosition);
    W.Write(link, 4);
  } else {
    link[0] = 'I';
    link[1] = 'I';
    Put16(link + 2, 42);
    Put32(link + 4, directory);
    Stream->SetPosition(start);
    W.Write(link, 8);
  }
  Stream->SetPosition(end);
  if (aborting) return 0;
  return Append ? append.pages : 1;
}

}  // namespace

Integer TIFFWriteStream(TStream* Stream, bool Append, TIEBitmap* Bitmap, TIOParamsVals& Params,
                        TProgressRec& Progress) {
  bool localAbort = false;
  bool& aborting = Progress.Aborting != nullptr ? *Progress.Aborting : localAbort;
  try {
    return WriteTIFF(Stream, Append, Bitmap, Params, Progress, aborting);
  } catch (const std::exception&) {
    aborting = true;
    return 0;
  }
}
