// GIF reader and writer.
#include "image/formats/giffilter.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

#include "image/formats/giflzw.h"
#include "image/formats/neurquant.h"
#include "image/model/ieutils.h"
#include "image/proc/dadiravproc.h"
#include "image/proc/dadiravproc_colour.h"
#include "platform/rtl/Exceptions.h"
#include "platform/rtl/Streams.h"

namespace {

constexpr Byte kExtensionIntroducer = 0x21;
constexpr Byte kImageSeparator = 0x2C;
constexpr Byte kTrailer = 0x3B;
constexpr Byte kGraphicControlLabel = 0xF9;
constexpr Byte kCommentLabel = 0xFE;
constexpr Integer kMaxSubBlock = 255;

// Reads from the stream and remembers whether every read got all its bytes.
class Reader {
 public:
  explicit Reader(TStream* stream) : stream_(stream) {}
  bool Read(void* buffer, Integer count) {
    if (count <= 0) return true;
    if (stream_->Read(buffer, count) != count) ok_ = false;
    return ok_;
  }
  // -1 at the end of the stream.
  Integer Byte1() {
    Byte b = 0;
    return stream_->Read(&b, 1) == 1 ? b : -1;
  }
  Word Word16(const Byte* p) const { return static_cast<Word>(p[0] | (p[1] << 8)); }
  // Skips sub-blocks up to and including the terminator; false when the stream
  // ends first.
  bool SkipSubBlocks() {
    for (;;) {
      const Integer len = Byte1();
      if (len < 0) return ok_ = false;
      if (len == 0) return true;
      const Int64 pos = stream_->GetPosition();
      if (pos + len > stream_->GetSize()) return ok_ = false;
      stream_->SetPosition(pos + len);
    }
  }
  bool Ok() const { return ok_; }

 private:
  TStream* stream_;
  bool ok_ = true;
};

// A colour table of 2^bits entries as blue, green, red.
struct ColourTable {
  Integer Bits = 0;  // 0 when there is no table
  std::array<TRGB, 256> Entries{};
  Integer Count() const { return Bits == 0 ? 0 : (1 << Bits); }
  // Entries past the table read as black.
  TRGB At(Integer index) const { return index >= 0 && index < Count() ? Entries[static_cast<size_t>(index)] : TRGB{}; }
};

bool ReadTable(Reader& reader, Integer sizeBits, ColourTable& table) {
  table.Bits = sizeBits + 1;
  std::array<Byte, 3 * 256> raw{};
  const Integer count = table.Count();
  if (!reader.Read(raw.data(), 3 * count)) return false;
  for (Integer i = 0; i < count; ++i) {
    const Byte* p = &raw[static_cast<size_t>(3 * i)];
    table.Entries[static_cast<size_t>(i)] = TRGB{p[2], p[1], p[0]};
  }
  return true;
}

// Without any colour table the indexes are grey levels.
ColourTable GreyTable() {
  ColourTable table;
  table.Bits = 8;
  for (Integer i = 0; i < 256; ++i) {
    const Byte v = static_cast<Byte>(i);
    table.Entries[static_cast<size_t>(i)] = TRGB{v, v, v};
  }
  return table;
}

struct GraphicControl {
  bool Transparent = false;
  Integer Delay = 0;
  Integer TranspIndex = 0;
};

// Fills Bitmap (and Mask) row by row from decoded indexes: Start allocates them,
// Row(y, indexes) stores one row.
class FrameStore {
 public:
  FrameStore(Integer width, const ColourTable& table, const GraphicControl& control, TIEBitmap* bitmap,
             std::unique_ptr<TIEMask>& mask, bool ignoreAlpha)
      : width_(static_cast<size_t>(width)), control_(control), bitmap_(bitmap), mask_(mask), ignoreAlpha_(ignoreAlpha) {
    const TRGB black{0, 0, 0};
    const TRGB white{255, 255, 255};
    bilevel_ = table.Bits == 1 && table.Entries[0] == black && table.Entries[1] == white;
    // Every byte value maps to an entry; those past the table to black. Each entry
    // is kept in four bytes so that a pixel is stored with one 4-byte write, the
    // fourth byte being overwritten by the next pixel.
    for (Integer i = 0; i < 256; ++i) {
      lookup_[static_cast<size_t>(i)] = table.At(i);
      std::memcpy(&lookup4_[static_cast<size_t>(i)], &lookup_[static_cast<size_t>(i)], sizeof(TRGB));
    }
  }

  void Start(Integer width, Integer height) {
    bitmap_->Allocate(width, height, bilevel_ ? ie1g : ie24RGB);
    if (ignoreAlpha_) return;
    if (!mask_) mask_ = std::make_unique<TIEMask>();
    mask_->AllocateBits(width, height, 8);
    mask_->Fill(255);
  }

  void Row(Integer y, const Byte* src) {
    if (bilevel_) {
      Byte* row = static_cast<Byte*>(bitmap_->GetScanLine(y));
      std::memset(row, 0, (width_ + 7) / 8);
      for (size_t x = 0; x < width_; ++x) {
        if (src[x] == 1) row[x >> 3] = static_cast<Byte>(row[x >> 3] | (0x80 >> (x & 7)));
      }
    } else {
      TRGB* row = static_cast<TRGB*>(bitmap_->GetScanLine(y));
      Byte* out = reinterpret_cast<Byte*>(row);
      const size_t last = width_ - 1;
      for (size_t x = 0; x < last; ++x) std::memcpy(out + 3 * x, &lookup4_[src[x]], 4);
      row[last] = lookup_[src[last]];
    }
    if (ignoreAlpha_ || !control_.Transparent) return;
    Byte* alpha = mask_->GetScanLine(y);
    const Byte transparent = static_cast<Byte>(control_.TranspIndex);
    bool any = false;
    for (size_t x = 0; x < width_; ++x) {
      if (src[x] == transparent) {
        alpha[x] = 0;
        any = true;
      }
    }
    // As clearing each pixel on its own: the box stays, the mask is no longer full.
    if (any) mask_->SetFull(false);
  }

 private:
  size_t width_;
  const GraphicControl& control_;
  TIEBitmap* bitmap_;
  std::unique_ptr<TIEMask>& mask_;
  bool ignoreAlpha_;
  bool bilevel_ = false;
  std::array<TRGB, 256> lookup_{};
  std::array<uint32_t, 256> lookup4_{};
};

}  // namespace

void ReadGifStream(TStream* Stream, TIEBitmap* Bitmap, Integer& ImageCount, TIOParamsVals& Params,
                   TProgressRec& Progress, bool Preview, std::unique_ptr<TIEMask>& Mask, bool IgnoreAlpha) {
  Progress.Report(0);
  if (Progress.Aborted()) return;
  ImageCount = 0;
  GraphicControl control;
  Reader reader(Stream);

  std::array<Byte, 13> header{};
  if (!reader.Read(header.data(), 13) || std::memcmp(header.data(), "GIF", 3) != 0) {
    Progress.Abort();
    return;
  }
  Params.GIF_Version.assign(reinterpret_cast<const char*>(header.data()), 6);
  Params.GIF_Version.push_back('\0');
  Params.GIF_WinWidth = reader.Word16(&header[6]);
  Params.GIF_WinHeight = reader.Word16(&header[8]);
  Params.GIF_Ratio = header[12];
  Params.DpiX = IEScreenDpiX();
  Params.DpiY = IEScreenDpiY();
  Params.SamplesPerPixel = 1;

  ColourTable global;
  if (header[10] & 0x80) {
    if (!ReadTable(reader, header[10] & 7, global)) {
      Progress.Abort();
      return;
    }
    Params.GIF_Background = global.At(header[11]);
  }

  bool decoded = false;
  while (!Progress.Aborted()) {
    const Integer block = reader.Byte1();
    if (block < 0 || block == kTrailer) break;
    if (block == kExtensionIntroducer) {
      const Integer label = reader.Byte1();
      if (label < 0) {
        break;
      }
      if (label == kGraphicControlLabel && ImageCount == Params.GIF_ImageIndex) {
        // Block size, packed flags, delay, transparent index, then sub-blocks as
        // usual (normally only the terminator).
        std::array<Byte, 5> gce{};
        if (!reader.Read(gce.data(), 5) || !reader.SkipSubBlocks()) {
          break;
        }
        control.Transparent = (gce[1] & 1) != 0;
        control.Delay = reader.Word16(&gce[2]);
        control.TranspIndex = gce[4];
      } else if (label == kCommentLabel) {
        for (;;) {
          const Integer len = reader.Byte1();
          if (len <= 0) break;
          AnsiString text(static_cast<size_t>(len), '\0');
          const Integer got = Stream->Read(text.data(), len);
          text.resize(static_cast<size_t>(std::max<Integer>(got, 0)));
          if (!text.empty()) Params.GIF_Comments->Add(text);
          if (got < len) break;
        }
      } else if (!reader.SkipSubBlocks()) {
        break;
      }
      continue;
    }
    if (block != kImageSeparator) continue;  // stray bytes are passed over

    std::array<Byte, 9> desc{};
    ColourTable local;
    if (!reader.Read(desc.data(), 9) || ((desc[8] & 0x80) && !ReadTable(reader, desc[8] & 7, local))) {
      break;
    }
    if (ImageCount != Params.GIF_ImageIndex) {
      // Past the minimum code size byte and the image data.
      if (reader.Byte1() < 0 || !reader.SkipSubBlocks()) {
        break;
      }
      ++ImageCount;
      continue;
    }

    Progress.Report(30);
    if (Progress.Aborted()) break;
    const ColourTable& table = local.Bits != 0 ? local : (global.Bits != 0 ? global : GreyTable());
    const Integer width = reader.Word16(&desc[4]);
    const Integer height = reader.Word16(&desc[6]);
    const bool interlaced = (desc[8] & 0x40) != 0;
    if (width == 0 || height == 0 || Int64{width} * height > GIF_MaxFramePixels) {
      Progress.Abort();
      break;
    }
    // A transparent index past the table makes no pixel transparent.
    if (control.TranspIndex >= table.Count()) control.Transparent = false;
    Params.GIF_TranspColor = table.At(control.TranspIndex);
    Params.GIF_XPos = reader.Word16(&desc[0]);
    Params.GIF_YPos = reader.Word16(&desc[2]);
    Params.Width = width;
    Params.Height = height;
    Params.GIF_DelayTime = control.Delay;
    Params.GIF_FlagTranspColor = control.Transparent;
    Params.GIF_Interlaced = interlaced;

    std::vector<Byte> indexes;  // width x height, at most GIF_MaxFramePixels
    FrameStore store(width, table, control, Bitmap, Mask, IgnoreAlpha);
    bool stored = false;
    if (Preview) {
      if (reader.Byte1() < 0 || !reader.SkipSubBlocks()) {
        break;
      }
    } else {
      const TGIFLZWDecompFunc decode =
          Params.GIF_LZWDecompFunc != nullptr ? Params.GIF_LZWDecompFunc : DefGIF_LZWDECOMPFUNC;
      if (decode == nullptr) {
        Progress.Abort();
        break;
      }
      if (decode == GIFLZWDecompress) {
        // The library's own decoder hands over each row as it completes: stored
        // through the palette at once, with no image of indexes in between.
        store.Start(width, height);
        stored = true;
        if (!GIFLZWDecompressRows(Stream, height, width, interlaced,
                                  [&](Integer y, const Byte* row) { store.Row(y, row); })) {
          Progress.Abort();
          break;
        }
      } else {
        indexes.assign(static_cast<size_t>(width) * static_cast<size_t>(height), 0);
        const Int64 before = Stream->GetPosition();
        decode(Stream, height, width, interlaced, indexes.data());
        if (Stream->GetPosition() == before) {
          Progress.Abort();
          break;
        }
      }
      Progress.Report(70);
      if (Progress.Aborted()) break;
    }

    Params.BitsPerSample = table.Bits;
    Params.ColorMapCount = table.Count();
    Params.ColorMap = std::make_unique<TRGB[]>(static_cast<size_t>(table.Count()));
    std::copy_n(table.Entries.begin(), table.Count(), Params.ColorMap.get());
    if (!Preview && !stored) {
      store.Start(width, height);
      for (Integer y = 0; y < height; ++y) store.Row(y, indexes.data() + static_cast<size_t>(y) * width);
    }
    decoded = true;
    ++ImageCount;
  }

  Params.GIF_ImageCount = ImageCount;
  // A block cut short before the wanted frame was read, or no such frame.
  if (!decoded) Progress.Abort();
  if (!Progress.Aborted()) Progress.Report(100);
}

namespace {

void Put16(std::vector<Byte>& out, Integer v) {
  out.push_back(static_cast<Byte>(v & 0xFF));
  out.push_back(static_cast<Byte>((v >> 8) & 0xFF));
}

}  // namespace

void WriteGifStream(TStream* Stream, TIEBitmap* Bitmap, TIOParamsVals& Params, TProgressRec& Progress,
                    TIEMask* Mask) {
  Progress.Report(0);
  if (Progress.Aborted()) return;
  bool localAbort = false;
  bool& aborting = Progress.Aborting != nullptr ? *Progress.Aborting : localAbort;

  const Integer width = Bitmap->GetWidth();
  const Integer height = Bitmap->GetHeight();
  if (width <= 0 || height <= 0 || width > 0xFFFF || height > 0xFFFF) {
    aborting = true;
    return;
  }
  Integer d = std::clamp<Integer>(Params.BitsPerSample, 1, 8);
  Integer colours = 1 << d;
  std::array<TRGB, 256> palette{};
  std::vector<Byte> indexes(static_cast<size_t>(width) * static_cast<size_t>(height));
  const size_t w = static_cast<size_t>(width);
  std::unique_ptr<TIEBitmap> copy;
  std::unique_ptr<TIEQuantizer> quantizer;
  Integer backIndex = 0;
  Integer transpIndex = 0;

  // The transparent pixels: those of the mask below half (with a mask), else those
  // of the transparent colour. They get an index of their own that no opaque pixel
  // uses, and take no place in the palette of the others.
  const bool transparency = Params.GIF_FlagTranspColor;
  std::vector<bool> clear;
  TIEBitmap* source = Bitmap;
  if (transparency) {
    const bool byMask = Mask != nullptr && Mask->GetBitsPerPixel() != 0 && !Mask->GetFull();
    const auto maskClear = [Mask](Integer x, Integer y) {
      const Integer v = Mask->GetPixel(x, y);
      return Mask->GetBitsPerPixel() == 1 ? v == 0 : v < 128;
    };
    TIEBitmap* rgb = Bitmap;
    if (Bitmap->GetPixelFormat() != ie24RGB) {
      copy = std::make_unique<TIEBitmap>();
      copy->Assign(Bitmap);
      copy->SetPixelFormat(ie24RGB);
      rgb = copy.get();
    }
    clear.assign(indexes.size(), false);
    bool any = false;
    const TRGB* opaque = nullptr;
    for (Integer y = 0; y < height; ++y) {
      const TRGB* row = static_cast<const TRGB*>(rgb->GetScanLine(y));
      for (Integer x = 0; x < width; ++x) {
        const bool c = byMask ? maskClear(x, y) : row[x] == Params.GIF_TranspColor;
        clear[static_cast<size_t>(y) * w + static_cast<size_t>(x)] = c;
        any = any || c;
        if (!c && opaque == nullptr) opaque = &row[x];
      }
    }
    if (any) {
      // The transparent pixels take an opaque pixel's colour for the palette choice.
      const TRGB fill = opaque != nullptr ? *opaque : TRGB{};
      if (rgb == Bitmap) {
        copy = std::make_unique<TIEBitmap>();
        copy->Assign(Bitmap);
        rgb = copy.get();
      }
      for (Integer y = 0; y < height; ++y) {
        TRGB* row = static_cast<TRGB*>(rgb->GetScanLine(y));
        for (Integer x = 0; x < width; ++x)
          if (clear[static_cast<size_t>(y) * w + static_cast<size_t>(x)]) row[x] = fill;
      }
    }
    source = rgb;
  }

  if (d == 1) {
    std::unique_ptr<TIEBitmap> bilevelCopy;
    TIEBitmap* bilevel = source;
    palette[0] = TRGB{0, 0, 0};
    palette[1] = TRGB{255, 255, 255};
    if (source->GetPixelFormat() != ie1g) {
      // Two colours are written as themselves (the darker first); one colour too.
      TRGB c0;
      TRGB c1;
      bilevelCopy = _ConvertTo1bitEx(source, c0, c1);
      if (bilevelCopy) {
        palette[0] = c0;
        palette[1] = c1;
      } else {
        TIEBitmap rgbOnly;
        TIEBitmap* rgb = source;
        if (source->GetPixelFormat() != ie24RGB) {
          rgbOnly.Assign(source);
          rgbOnly.SetPixelFormat(ie24RGB);
          rgb = &rgbOnly;
        }
        const TRGB first = static_cast<const TRGB*>(rgb->GetScanLine(0))[0];
        bool single = true;
        for (Integer y = 0; y < height && single; ++y) {
          const TRGB* row = static_cast<const TRGB*>(rgb->GetScanLine(y));
          for (Integer x = 0; x < width && single; ++x) single = row[x] == first;
        }
        bilevelCopy = std::make_unique<TIEBitmap>();
        if (single) {
          bilevelCopy->Allocate(width, height, ie1g);
          for (Integer y = 0; y < height; ++y)
            std::memset(bilevelCopy->GetScanLine(y), 0, (w + 7) / 8);
          palette[0] = first;
          palette[1] = first == TRGB{0, 0, 0} ? TRGB{255, 255, 255} : TRGB{0, 0, 0};
        } else {
          bilevelCopy->Assign(source);
          bilevelCopy->SetPixelFormat(ie1g);
        }
      }
      bilevel = bilevelCopy.get();
    }
    for (Integer y = 0; y < height; ++y) {
      const Byte* row = static_cast<const Byte*>(bilevel->GetScanLine(y));
      Byte* dst = indexes.data() + static_cast<size_t>(y) * w;
      for (size_t x = 0; x < w; ++x) dst[x] = (row[x >> 3] >> (7 - (x & 7))) & 1;
    }
    backIndex = _GetSimilColor(palette.data(), 2, Params.GIF_Background);
    transpIndex = _GetSimilColor(palette.data(), 2, Params.GIF_TranspColor);
    if (transparency) {
      // The index no opaque pixel uses; with both in use the table grows to four.
      bool used[2] = {false, false};
      for (size_t i = 0; i < indexes.size(); ++i)
        if (!clear[i]) used[indexes[i]] = true;
      if (used[0] && used[1]) {
        d = 2;
        colours = 4;
        palette[3] = TRGB{0, 0, 0};
        transpIndex = 2;
      } else {
        transpIndex = used[0] ? 1 : 0;
      }
      palette[static_cast<size_t>(transpIndex)] = Params.GIF_TranspColor;
    }
  } else {
    TIEBitmap* rgb = source;
    if (source->GetPixelFormat() != ie24RGB) {
      copy = std::make_unique<TIEBitmap>();
      copy->Assign(source);
      copy->SetPixelFormat(ie24RGB);
      rgb = copy.get();
    }
    // With transparency the last entry is kept for it.
    const Integer opaqueColours = transparency ? colours - 1 : colours;
    quantizer = std::make_unique<TIEQuantizer>(
        rgb, std::span<TRGB>(palette.data(), static_cast<size_t>(opaqueColours)), opaqueColours);
    TIEQuantizerCache searched(*quantizer);
    // The exact list answers -1 for colours the image lacks: take the nearest.
    const auto indexOf = [&](TRGB c) {
      const Integer i = searched.GetRGBIndex(c);
      return i >= 0 && i < opaqueColours ? i : _GetSimilColor(palette.data(), opaqueColours, c);
    };
    for (Integer y = 0; y < height; ++y) {
      const TRGB* row = static_cast<const TRGB*>(rgb->GetScanLine(y));
      Byte* dst = indexes.data() + static_cast<size_t>(y) * w;
      for (size_t x = 0; x < w; ++x) dst[x] = static_cast<Byte>(indexOf(row[x]));
    }
    backIndex = indexOf(Params.GIF_Background);
    transpIndex = indexOf(Params.GIF_TranspColor);
    if (transparency) {
      transpIndex = colours - 1;
      palette[static_cast<size_t>(transpIndex)] = Params.GIF_TranspColor;
    }
  }
  if (transparency) {
    for (size_t i = 0; i < indexes.size(); ++i)
      if (clear[i]) indexes[i] = static_cast<Byte>(transpIndex);
  }
  Progress.Report(30);
  if (aborting) return;

  std::vector<Byte> head;
  head.reserve(13 + 3 * 256 + 8 + 10);
  const AnsiString version = Params.GIF_Version.size() >= 6 ? Params.GIF_Version.substr(0, 6) : "GIF89a";
  head.insert(head.end(), version.begin(), version.end());
  Put16(head, width);
  Put16(head, height);
  head.push_back(static_cast<Byte>(0x80 + (d - 1) * 16 + (d - 1)));
  head.push_back(static_cast<Byte>(backIndex));
  head.push_back(0);
  for (Integer i = 0; i < colours; ++i) {
    const TRGB& c = palette[static_cast<size_t>(i)];
    head.insert(head.end(), {c.r, c.g, c.b});
  }
  // Graphic control: disposal 2 (restore to background).
  head.insert(head.end(), {0x21, 0xF9, 0x04});
  head.push_back(static_cast<Byte>((Params.GIF_FlagTranspColor ? 1 : 0) + 8));
  Put16(head, Params.GIF_DelayTime);
  head.push_back(static_cast<Byte>(transpIndex));
  head.push_back(0);
  head.push_back(kImageSeparator);
  Put16(head, Params.GIF_XPos);
  Put16(head, Params.GIF_YPos);
  Put16(head, width);
  Put16(head, height);
  head.push_back(Params.GIF_Interlaced ? 0x40 : 0);
  SafeStreamWrite(Stream, aborting, head.data(), static_cast<Integer>(head.size()));

  Progress.Report(70);
  if (aborting) return;
  const TGIFLZWCompFunc encode = Params.GIF_LZWCompFunc != nullptr ? Params.GIF_LZWCompFunc : DefGIF_LZWCOMPFUNC;
  if (encode == nullptr) {
    aborting = true;
    return;
  }
  // The coder writes into memory first, since it cannot report a failed write: a
  // full disk ends the save with the abort flag instead of a file cut short.
  TMemoryStream codes;
  encode(&codes, height, width, Params.GIF_Interlaced, indexes.data(), d);
  if (codes.GetSize() == 0 || codes.GetSize() > INT32_MAX) {
    aborting = true;
    return;
  }
  SafeStreamWrite(Stream, aborting, codes.Memory(), static_cast<Integer>(codes.GetSize()));
  if (aborting) return;
  indexes = {};
  quantizer.reset();
  copy.reset();

  // Comments, each split into sub-blocks of at most 255 bytes; then the trailer.
  std::vector<Byte> tail = {kExtensionIntroducer, kCommentLabel};
  for (Integer i = 0; i < Params.GIF_Comments->GetCount(); ++i) {
    const AnsiString text = Params.GIF_Comments->Strings(i);
    for (size_t at = 0; at < text.size(); at += kMaxSubBlock) {
      const size_t len = std::min<size_t>(kMaxSubBlock, text.size() - at);
      tail.push_back(static_cast<Byte>(len));
      tail.insert(tail.end(), text.begin() + static_cast<std::ptrdiff_t>(at),
                  text.begin() + static_cast<std::ptrdiff_t>(at + len));
    }
  }
  tail.push_back(0);
  tail.push_back(kTrailer);
  SafeStreamWrite(Stream, aborting, tail.data(), static_cast<Integer>(tail.size()));
  if (!aborting) Progress.Report(100);
}

void ReadGif(const AnsiString& FileName, TIEBitmap* Bitmap, Integer& ImageCount, TIOParamsVals& Params,
             TProgressRec& Progress, std::unique_ptr<TIEMask>& Mask, bool IgnoreAlpha) {
  std::unique_ptr<TFileStream> stream;
  try {
    stream = std::make_unique<TFileStream>(FileName, fmOpenRead | fmShareDenyWrite);
  } catch (const Exception&) {
    Progress.Abort();
    return;
  }
  ReadGifStream(stream.get(), Bitmap, ImageCount, Params, Progress, false, Mask, IgnoreAlpha);
}

void WriteGif(const AnsiString& FileName, TIEBitmap* Bitmap, TIOParamsVals& Params, TProgressRec& Progress,
              TIEMask* Mask) {
  std::unique_ptr<TFileStream> stream;
  try {
    stream = std::make_unique<TFileStream>(FileName, fmCreate);
  } catch (const Exception&) {
    Progress.Abort();
    return;
  }
  WriteGifStream(stream.get(), Bitmap, Params, Progress, Mask);
}
