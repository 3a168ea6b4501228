// The TIFF reader, decoding: strips and tiles (separate planes included) through
// the row decompressors, unpacking and placing rows by photometric interpretation,
// JPEG strips and tiles, and turning the page upright.
//
// Deflate strips and tiles are one zlib stream each, inflated a row at a time into
// the row buffer, so no strip can make the reader allocate more than a row. The
// horizontal differencing predictor is undone on each decompressed row of LZW and
// Deflate data, per sample, for 8- and 16-bit samples; any other predictor, or
// differencing on samples of another size, fails the page.
//
// Every size the file gives is checked before it is used: the page and its rows are
// bounded, strip and tile arrays are indexed only within their counts, strip data
// must lie inside the stream (and may not be read over and over), and palette
// lookups stay inside the map.
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "image/formats/jpegfilt.h"
#include "image/formats/tifccitt.h"
#include "image/formats/tiffilt.h"
#include "image/formats/tiffilt_io.h"
#include "image/formats/tiffilt_lab.h"
#include "image/proc/dadiravproc.h"
#include "image/proc/dadiravproc_rotate.h"

namespace {

// Largest page the reader allocates, in pixels, and largest width or height: the
// limits of every reader.
constexpr Int64 kMaxPixels = IEMaxPixels;
constexpr Int64 kMaxSide = IEMaxSide;
// Largest decoded row, in bytes.
constexpr Int64 kMaxRowBytes = Int64{1} << 26;

enum : Integer {
  kCompNone = 1, kCompHuffman = 2, kCompG3 = 3, kCompG4 = 4, kCompLZW = 5, kCompOldJPEG = 6,
  kCompJPEG = 7, kCompDeflate = 8, kCompPackBits = 32773, kCompAdobeDeflate = 32946
};

bool IsDeflate(Integer comp) { return comp == kCompDeflate || comp == kCompAdobeDeflate; }

// Whether rows come out of the decompressor as differences to undo.
bool Differenced(const TTIFFVars& v) {
  return v.Predictor == 2 && (v.Compression == kCompLZW || IsDeflate(v.Compression));
}

using tiffilt::Get16;

// The bytes of one strip or tile and the state of its decompressor, row by row.
class UnitDecoder {
 public:
  UnitDecoder(const TTIFFVars& v, std::vector<Byte> data, Integer width)
      : v_(v), data_(std::move(data)), width_(width) {
    len_ = static_cast<Int64>(data_.size());
    data_.resize(data_.size() + 4, 0);  // look-ahead of the bit readers
    refLine_.assign(static_cast<size_t>((width + 7) / 8) + 4, 0xFF);
  }
  ~UnitDecoder() { End(); }
  UnitDecoder(const UnitDecoder&) = delete;
  UnitDecoder& operator=(const UnitDecoder&) = delete;

  // Decompresses the next row of rowBytes bytes into out (which holds at least
  // rowBytes and (width + 7) / 8 bytes). False when the data cannot give it.
  bool Next(Byte* out, Integer rowBytes) {
    const Integer srcLen = static_cast<Integer>(len_);
    switch (v_.Compression) {
      case kCompHuffman: {
        const Int64 left = std::max<Int64>(0, len_ - pos_);
        const Integer used = CCITTHuffmanGetLine(out, data_.data() + pos_, static_cast<Integer>(left),
                                                 width_, v_.FillOrder);
        pos_ = std::min<Int64>(len_, pos_ + std::max(used, 0));
        return true;
      }
      case kCompG3:
        if (v_.T4Options & 1)
          bit_ = CCITT3_2D_GetLine(out, data_.data(), srcLen, width_, refLine_.data(), bit_, v_.FillOrder,
                                   (v_.T4Options & 4) != 0);
        else
          bit_ = _CCITTHuffmanGetLine(out, data_.data(), srcLen, width_, bit_, v_.FillOrder);
        bit_ = std::clamp<Integer>(bit_, 0, srcLen > 0x0FFFFFFF ? 0x7FFFFFFF : srcLen * 8);
        return true;
      case kCompG4:
        bit_ = CCITT3_2D_GetLine(out, data_.data(), srcLen, width_, refLine_.data(), bit_, v_.FillOrder,
                                 (v_.T4Options & 4) != 0);
        bit_ = std::clamp<Integer>(bit_, 0, srcLen > 0x0FFFFFFF ? 0x7FFFFFFF : srcLen * 8);
        return true;
      case kCompLZW: {
        lzwUsed_ = true;
        const Byte* row = v_.LZW(data_.data(), srcLen, rowBytes, lzwState_);
        if (row == nullptr) return false;
        std::memcpy(out, row, static_cast<size_t>(rowBytes));
        return true;
      }
      case kCompPackBits:
        return PackBits(out, rowBytes);
      case kCompDeflate:
      case kCompAdobeDeflate:
        return Inflate(out, rowBytes);
      default:
        // Uncompressed (the page decoder refuses every compression it does not know).
        if (pos_ + rowBytes > len_) return false;
        std::memcpy(out, data_.data() + pos_, static_cast<size_t>(rowBytes));
        pos_ += rowBytes;
        return true;
    }
  }

  // Lets the LZW decoder free its state.
  void End() {
    if (lzwUsed_ && v_.LZW != nullptr) v_.LZW(nullptr, 0, 0, lzwState_);
    lzwUsed_ = false;
    lzwState_ = nullptr;
    if (zStarted_) inflateEnd(&z_);
    zStarted_ = false;
  }

 private:
  // The next rowBytes bytes of the unit's zlib stream. A damaged stream, one that
  // asks for a dictionary, or one that ends (or runs out of data) before the row is
  // full gives no row.
  bool Inflate(Byte* out, Integer rowBytes) {
    if (zFailed_) return false;
    if (!zStarted_) {
      z_ = z_stream{};
      z_.next_in = data_.data();
      z_.avail_in = static_cast<uInt>(len_);
      if (inflateInit(&z_) != Z_OK) {
        zFailed_ = true;
        return false;
      }
      zStarted_ = true;
    }
    z_.next_out = out;
    z_.avail_out = static_cast<uInt>(rowBytes);
    while (z_.avail_out > 0) {
      const int rc = inflate(&z_, Z_NO_FLUSH);
      if (rc == Z_OK || (rc == Z_STREAM_END && z_.avail_out == 0)) continue;
      // The stream's end short of the row, no input left (Z_BUF_ERROR), a wanted
      // dictionary and every error end the unit.
      zFailed_ = true;
      return false;
    }
    return true;
  }

  bool PackBits(Byte* out, Integer rowBytes) {
    Integer n = 0;
    while (n < rowBytes) {
      if (pos_ >= len_) return false;
      const auto c = static_cast<signed char>(data_[static_cast<size_t>(pos_++)]);
      if (c >= 0) {
        const Integer run = c + 1;
        const Integer take = std::min(run, rowBytes - n);
        if (pos_ + take > len_) return false;
        std::memcpy(out + n, data_.data() + pos_, static_cast<size_t>(take));
        pos_ += run;
        n += take;
      } else if (c != -128) {
        if (pos_ >= len_) return false;
        const Integer run = std::min(1 - c, rowBytes - n);
        std::memset(out + n, data_[static_cast<size_t>(pos_++)], static_cast<size_t>(run));
        n += run;
      }
    }
    return true;
  }

  const TTIFFVars& v_;
  std::vector<Byte> data_;
  Int64 len_ = 0;
  Integer width_;
  Int64 pos_ = 0;
  Integer bit_ = 0;
  std::vector<Byte> refLine_;
  void* lzwState_ = nullptr;
  bool lzwUsed_ = false;
  z_stream z_{};
  bool zStarted_ = false;
  bool zFailed_ = false;
};

class PageReader {
 public:
  PageReader(TIEBitmap* bitmap, TStream* stream, TIOParamsVals& params, TProgressRec& progress,
             std::unique_ptr<TIEMask>& mask, bool ignoreAlpha, const TTIFFEnv& env, const TTIFFVars& v)
      : bmp_(bitmap), s_(stream), p_(params), prog_(progress), mask_(mask), ignoreAlpha_(ignoreAlpha),
        env_(env), v_(v) {
    size_ = s_->GetSize();
  }

  void Decode();

 private:
  bool Fail() {
    prog_.Abort();
    return false;
  }
  bool Aborted() const { return prog_.Aborted(); }
  // Whether the rows of the page's sample layout can be placed in the bitmap.
  bool Placeable() const;
  void SetupMask();
  bool ReadUnitData(Integer index, const Integer* offsets, Integer offsetCount, const Integer* counts,
                    Integer countCount, std::vector<Byte>& out);
  bool DecodeStrips();
  bool DecodeTiles();
  bool DecodeJpegUnit(std::vector<Byte> data, Integer x, Integer y, bool single, Integer& done, Integer units);
  bool DecodeUnit(std::vector<Byte> data, Integer x, Integer y, Integer width, Integer rows);
  bool DecodePlanarBand(std::vector<std::vector<Byte>> planes, Integer y, Integer rows);
  // Unpacks a decompressed row (in place into samples_) and places it.
  void PutRow(const Byte* row, Integer rowBytes, Integer x, Integer y, Integer width);
  void Place(const Byte* s, Integer x, Integer y, Integer width);
  // Counts `pixels` more pixels of the page decoded and reports the share done.
  void RowDone(Integer pixels);
  void Orient();

  TIEBitmap* bmp_;
  TStream* s_;
  TIOParamsVals& p_;
  TProgressRec& prog_;
  std::unique_ptr<TIEMask>& mask_;
  bool ignoreAlpha_;
  const TTIFFEnv& env_;
  const TTIFFVars& v_;
  Int64 size_ = 0;
  bool useMask_ = false;
  Int64 pixelsDone_ = 0;
  Int64 bytesRead_ = 0;
  std::vector<Byte> samples_;
  std::vector<Integer> sortedOffsets_;
};

void PageReader::SetupMask() {
  if (ignoreAlpha_) return;
  const bool wanted = (v_.SamplesPerPixel == 4 && v_.ExtraSamples == 2) ||
                      (v_.SamplesPerPixel == 2 && v_.BitsPerSample == 8) ||
                      (v_.SamplesPerPixel == 4 && v_.Photometric == 2);
  if (wanted && mask_ == nullptr) mask_ = std::make_unique<TIEMask>();
  if (mask_ == nullptr) return;
  mask_->AllocateBits(v_.ImageWidth, v_.ImageLength, 8);
  mask_->Fill(255);
  useMask_ = true;
}

// Reads strip or tile `index` whole. Its size is its byte count or, when that is
// absent or 0, the distance to the next unit's data (the end of the stream for the
// last). Data outside the stream fail the page.
bool PageReader::ReadUnitData(Integer index, const Integer* offsets, Integer offsetCount,
                              const Integer* counts, Integer countCount, std::vector<Byte>& out) {
  if (index >= offsetCount) return false;
  const Int64 pos = Int64{static_cast<DWORD>(offsets[index])} + env_.Base;
  if (pos < 0 || pos > size_) return false;
  Int64 n = index < countCount ? Int64{static_cast<DWORD>(counts[index])} : 0;
  if (n == 0) {
    if (sortedOffsets_.empty()) {
      sortedOffsets_.assign(offsets, offsets + offsetCount);
      std::sort(sortedOffsets_.begin(), sortedOffsets_.end(),
                [](Integer a, Integer b) { return static_cast<DWORD>(a) < static_cast<DWORD>(b); });
    }
    const auto it = std::upper_bound(sortedOffsets_.begin(), sortedOffsets_.end(), offsets[index],
                                     [](Integer a, Integer b) { return static_cast<DWORD>(a) < static_cast<DWORD>(b); });
    const Int64 end = it == sortedOffsets_.end() ? size_ : Int64{static_cast<DWORD>(*it)} + env_.Base;
    n = std::min(end, size_) - pos;
  }
  if (n < 0 || pos + n > size_ || n > 0x7FFFFFF0) return false;
  // Strips and tiles that share their bytes could make the reading quadratic.
  bytesRead_ += n;
  if (bytesRead_ > 4 * size_ + (1 << 20)) return false;
  out.resize(static_cast<size_t>(n));
  return tiffilt::ReadAt(s_, pos, out.data(), n);
}

// Tiles place a part of a row at a time, so the share is counted in pixels; for
// strips it is the rows done.
void PageReader::RowDone(Integer pixels) {
  pixelsDone_ += pixels;
  const Int64 page = Int64{v_.ImageWidth} * v_.ImageLength;
  prog_.PassesDone = static_cast<Integer>(pixelsDone_ / v_.ImageWidth);
  prog_.Report(static_cast<Integer>(pixelsDone_ * 100 / page));
}

// Turns one decompressed row into one byte per sample where the placing needs it,
// then places it.
void PageReader::PutRow(const Byte* row, Integer rowBytes, Integer x, Integer y, Integer width) {
  const Integer bps = v_.BitsPerSample;
  const bool fax = v_.Compression >= kCompHuffman && v_.Compression <= kCompG4;
  const Byte* s = row;
  if (bps == 4) {
    samples_.resize(static_cast<size_t>(rowBytes) * 2);
    const bool grey = v_.Photometric == 0 || v_.Photometric == 1;
    for (Integer i = 0; i < rowBytes; ++i) {
      Byte hi = row[i] >> 4, lo = row[i] & 15;
      if (grey) {
        hi = static_cast<Byte>(hi << 4);
        lo = static_cast<Byte>(lo << 4);
      }
      samples_[2 * static_cast<size_t>(i)] = hi;
      samples_[2 * static_cast<size_t>(i) + 1] = lo;
    }
    s = samples_.data();
  } else if (bps >= 1 && bps <= 7 && (v_.Photometric == 3 || (!fax && bps >= 2))) {
    const Int64 count = Int64{v_.SamplesPerPixel} * width;
    samples_.resize(static_cast<size_t>(count));
    Int64 bit = 0;
    for (Int64 i = 0; i < count; ++i) {
      Integer val = 0;
      for (Integer k = 0; k < bps; ++k, ++bit)
        val = (val << 1) | ((row[bit >> 3] >> (7 - (bit & 7))) & 1);
      samples_[static_cast<size_t>(i)] = static_cast<Byte>(val);
    }
    s = samples_.data();
  }
  Place(s, x, y, width);
}

bool PageReader::Placeable() const {
  const Integer spp = v_.SamplesPerPixel, bps = v_.BitsPerSample, ph = v_.Photometric;
  const bool fax = v_.Compression >= kCompHuffman && v_.Compression <= kCompG4;
  const bool grey = ph == 0 || ph == 1;
  if (bps == 1 && spp == 1 && ph != 3) return grey;  // the one-bit bitmap
  switch (ph) {
    case 0:
    case 1:
      // 2 to 7 bits are unpacked to a byte a sample, except behind the fax coders.
      return (spp == 1 && bps == 16) || ((spp == 1 || spp == 2) && (bps == 4 || bps == 8)) ||
             ((spp == 1 || spp == 2) && bps >= 2 && bps <= 7 && !fax);
    case 2:
      return ((spp == 3 || spp == 4) && (bps == 8 || bps == 16)) || (spp == 1 && bps == 16);
    case 3:
      return (spp == 1 && (bps <= 8 || bps == 16)) || (spp == 2 && bps == 8);
    case 5:
      return spp == 4 && (bps == 8 || bps == 16);
    case 8:
      return spp == 3 && bps == 8;
    default:
      return false;
  }
}

// Writes one row of samples into the bitmap (and mask) at (x, y), clipped to the page.
void PageReader::Place(const Byte* s, Integer x, Integer y, Integer width) {
  if (y < 0 || y >= v_.ImageLength || x >= v_.ImageWidth) return;
  const Integer n = std::min(width, v_.ImageWidth - x);
  const Integer spp = v_.SamplesPerPixel;
  const Integer bps = v_.BitsPerSample;
  const Integer ph = v_.Photometric;
  const Integer comp = v_.Compression;
  Byte* d = static_cast<Byte*>(bmp_->GetScanLine(y));

  if (bmp_->GetPixelFormat() == ie1g) {
    if (!(ph == 0 || ph == 1) || spp != 1 || bps != 1) return;
    const bool invert = (ph == 0 && (comp == kCompNone || comp > kCompG4)) ||
                        (ph == 1 && comp >= kCompHuffman && comp <= kCompG4);
    const Byte flip = invert ? 0xFF : 0x00;
    if ((x & 7) == 0) {
      // Whole bytes, the last one merged under a mask.
      Byte* o = d + (x >> 3);
      const Integer full = n >> 3, rest = n & 7;
      for (Integer i = 0; i < full; ++i) o[i] = static_cast<Byte>(s[i] ^ flip);
      if (rest != 0) {
        const Byte keep = static_cast<Byte>(0xFF >> rest);
        o[full] = static_cast<Byte>((o[full] & keep) | ((s[full] ^ flip) & ~keep));
      }
      return;
    }
    for (Integer i = 0; i < n; ++i) {
      const bool bit = ((s[i >> 3] >> (7 - (i & 7))) & 1) != (invert ? 1 : 0);
      const Integer px = x + i;
      if (bit)
        d[px >> 3] = static_cast<Byte>(d[px >> 3] | (0x80 >> (px & 7)));
      else
        d[px >> 3] = static_cast<Byte>(d[px >> 3] & ~(0x80 >> (px & 7)));
    }
    return;
  }

  TRGB* out = reinterpret_cast<TRGB*>(d) + x;
  Byte* m = useMask_ ? mask_->GetScanLine(y) + x : nullptr;
  const bool intel = env_.Intel;
  const size_t mapSize = v_.ColorMap.size();
  auto map = [&](Integer index) {
    return static_cast<size_t>(index) < mapSize ? v_.ColorMap[static_cast<size_t>(index)] : TRGB{};
  };

  if (ph == 2 && (spp == 3 || spp == 4) && bps == 8) {
    const bool alpha = spp == 4 && m != nullptr;
    if (alpha) mask_->SetFull(false);
    for (Integer i = 0; i < n; ++i, s += spp) {
      out[i] = TRGB{s[2], s[1], s[0]};
      if (alpha) m[i] = s[3];
    }
  } else if (ph == 2 && (spp == 3 || spp == 4) && bps == 16) {
    const Integer hi = intel ? 1 : 0;
    const bool alpha = spp == 4 && m != nullptr;
    if (alpha) mask_->SetFull(false);
    for (Integer i = 0; i < n; ++i, s += 2 * spp) {
      out[i] = TRGB{s[4 + hi], s[2 + hi], s[hi]};
      if (alpha) m[i] = s[6 + hi];
    }
  } else if (ph == 2 && spp == 1 && bps == 16) {
    for (Integer i = 0; i < n; ++i, s += 2) {
      const Integer w = s[0] | (s[1] << 8);
      out[i] = TRGB{static_cast<Byte>((w & 31) * 8), static_cast<Byte>(((w >> 5) & 31) * 8),
                    static_cast<Byte>(((w >> 10) & 31) * 8)};
    }
  } else if ((ph == 0 || ph == 1) && spp == 1 && bps == 16) {
    const Integer shift = v_.Software.rfind("Look@Molli v1.1", 0) == 0 ? 4 : 8;
    for (Integer i = 0; i < n; ++i, s += 2) {
      const Integer val = Get16(s, intel);
      const Byte g = static_cast<Byte>(((ph == 1 ? val : 65535 - val) >> shift) & 255);
      out[i] = TRGB{g, g, g};
    }
  } else if ((ph == 0 || ph == 1) && (spp == 1 || spp == 2) && bps >= 2 && bps <= 7 && bps != 4) {
    // Grey (and its alpha) of 2, 3, 5, 6 or 7 bits, unpacked to their values and
    // scaled to the full range.
    const Integer top = (1 << bps) - 1;
    const auto scale = [top](Byte v) { return static_cast<Byte>((Integer{v} * 255 + top / 2) / top); };
    const bool alpha = spp == 2 && m != nullptr;
    if (alpha) mask_->SetFull(false);
    for (Integer i = 0; i < n; ++i, s += spp) {
      const Byte v = scale(s[0]);
      const Byte g = ph == 1 ? v : static_cast<Byte>(255 - v);
      out[i] = TRGB{g, g, g};
      if (alpha) m[i] = scale(s[1]);
    }
  } else if ((ph == 0 || ph == 1) && (spp == 1 || spp == 2) && (bps == 8 || bps == 4)) {
    // Grey, and grey with alpha.
    const bool alpha = spp == 2 && m != nullptr;
    if (alpha) mask_->SetFull(false);
    for (Integer i = 0; i < n; ++i, s += spp) {
      const Byte g = ph == 1 ? s[0] : static_cast<Byte>(255 - s[0]);
      out[i] = TRGB{g, g, g};
      if (alpha) m[i] = s[1];
    }
  } else if (ph == 3 && spp == 2 && bps == 8) {
    const bool alpha = m != nullptr;
    if (alpha) mask_->SetFull(false);
    for (Integer i = 0; i < n; ++i, s += 2) {
      out[i] = map(s[0]);
      if (alpha) m[i] = static_cast<Byte>(255 - s[1]);
    }
  } else if (ph == 3 && spp == 1 && bps <= 8) {
    for (Integer i = 0; i < n; ++i) out[i] = map(s[i]);
  } else if (ph == 3 && spp == 1 && bps == 16) {
    for (Integer i = 0; i < n; ++i, s += 2) out[i] = map(Get16(s, intel));
  } else if (ph == 5 && spp == 4 && bps == 8) {
    for (Integer i = 0; i < n; ++i, s += 4) {
      const Integer k = 255 - s[3];
      out[i] = TRGB{static_cast<Byte>((255 - s[2]) * k / 255), static_cast<Byte>((255 - s[1]) * k / 255),
                    static_cast<Byte>((255 - s[0]) * k / 255)};
    }
  } else if (ph == 5 && spp == 4 && bps == 16) {
    // The high byte of each ink, by the file's byte order.
    const Integer hi = intel ? 1 : 0;
    for (Integer i = 0; i < n; ++i, s += 8) {
      const Integer k = 255 - s[6 + hi];
      out[i] = TRGB{static_cast<Byte>((255 - s[4 + hi]) * k / 255), static_cast<Byte>((255 - s[2 + hi]) * k / 255),
                    static_cast<Byte>((255 - s[hi]) * k / 255)};
    }
  } else if (ph == 8 && spp == 3 && bps == 8) {
    for (Integer i = 0; i < n; ++i, s += 3) out[i] = TIFFCIELabToRGB(s);
  }
}

// Undoes horizontal differencing of 8- and 16-bit samples.
void UndoPredictor(Byte* row, Integer width, Integer spp, Integer bps, bool intel) {
  if (bps == 8) {
    const Int64 n = Int64{width} * spp;
    for (Int64 i = spp; i < n; ++i) row[i] = static_cast<Byte>(row[i] + row[i - spp]);
  } else if (bps == 16) {
    const Int64 n = Int64{width} * spp;
    for (Int64 i = spp; i < n; ++i) {
      Byte* c = row + 2 * i;
      const Byte* l = row + 2 * (i - spp);
      const Word sum = static_cast<Word>(Get16(c, intel) + Get16(l, intel));
      c[intel ? 0 : 1] = static_cast<Byte>(sum & 0xFF);
      c[intel ? 1 : 0] = static_cast<Byte>(sum >> 8);
    }
  }
}

Int64 RowBytesOf(Integer width, Integer samples, Integer bps) {
  return (Int64{samples} * width * bps + 7) / 8;
}

// Decodes `rows` rows of `width` pixels from one strip or tile, placing them at (x, y).
bool PageReader::DecodeUnit(std::vector<Byte> data, Integer x, Integer y, Integer width, Integer rows) {
  const Int64 rowBytes = RowBytesOf(width, v_.SamplesPerPixel, v_.BitsPerSample);
  if (rowBytes <= 0 || rowBytes > kMaxRowBytes) return Fail();
  std::vector<Byte> row(static_cast<size_t>(std::max<Int64>(rowBytes, (width + 7) / 8)) + 4);
  UnitDecoder dec(v_, std::move(data), width);
  for (Integer r = 0; r < rows; ++r) {
    if (Aborted()) return false;
    if (!dec.Next(row.data(), static_cast<Integer>(rowBytes))) return Fail();
    if (Differenced(v_))
      UndoPredictor(row.data(), width, v_.SamplesPerPixel, v_.BitsPerSample, env_.Intel);
    PutRow(row.data(), static_cast<Integer>(rowBytes), x, y + r, width);
    if (y + r < v_.ImageLength) RowDone(std::min(width, v_.ImageWidth - x));
  }
  return true;
}

// One band of separate planes: a row from each plane, interleaved, then placed.
bool PageReader::DecodePlanarBand(std::vector<std::vector<Byte>> planes, Integer y, Integer rows) {
  const Integer spp = v_.SamplesPerPixel;
  const Integer width = v_.ImageWidth;
  const Int64 planeBytes = RowBytesOf(width, 1, v_.BitsPerSample);
  const Int64 rowBytes = planeBytes * spp;
  if (planeBytes <= 0 || rowBytes > kMaxRowBytes) return Fail();
  const Integer sampleBytes = v_.BitsPerSample / 8;
  std::vector<std::unique_ptr<UnitDecoder>> decs;
  for (auto& p : planes) decs.push_back(std::make_unique<UnitDecoder>(v_, std::move(p), width));
  std::vector<Byte> plane(static_cast<size_t>(std::max<Int64>(planeBytes, (width + 7) / 8)) + 4);
  std::vector<Byte> row(static_cast<size_t>(rowBytes) + 4);
  for (Integer r = 0; r < rows; ++r) {
    if (Aborted()) return false;
    for (Integer k = 0; k < spp; ++k) {
      if (!decs[static_cast<size_t>(k)]->Next(plane.data(), static_cast<Integer>(planeBytes))) return Fail();
      if (Differenced(v_))
        UndoPredictor(plane.data(), width, 1, v_.BitsPerSample, env_.Intel);
      for (Integer i = 0; i < width; ++i)
        std::memcpy(row.data() + (static_cast<size_t>(i) * spp + k) * sampleBytes,
                    plane.data() + static_cast<size_t>(i) * sampleBytes, static_cast<size_t>(sampleBytes));
    }
    PutRow(row.data(), static_cast<Integer>(rowBytes), 0, y + r, width);
    RowDone(width);
  }
  return true;
}

// Whether the library will take a three-component JPEG stream as RGB rather than
// YCbCr (so that it gives its components unconverted): an Adobe marker with
// transform 0, or without one the component ids 'R', 'G', 'B'; a JFIF marker means
// YCbCr.
bool JpegHoldsRgb(const std::vector<Byte>& d) {
  const size_t n = d.size();
  bool jfif = false, adobe = false, adobeRgb = false, idsRgb = false;
  size_t i = 2;
  while (i + 4 <= n) {
    if (d[i] != 0xFF) return false;
    const Byte m = d[i + 1];
    if (m == 0xFF) {
      ++i;
      continue;
    }
    if (m == 0xD8 || (m >= 0xD0 && m <= 0xD7)) {
      i += 2;
      continue;
    }
    const size_t len = (size_t{d[i + 2]} << 8) | d[i + 3];
    if (len < 2 || i + 2 + len > n) break;
    const Byte* seg = d.data() + i + 4;
    const size_t segLen = len - 2;
    if (m == 0xE0 && segLen >= 5 && std::memcmp(seg, "JFIF", 5) == 0) jfif = true;
    if (m == 0xEE && segLen >= 12 && std::memcmp(seg, "Adobe", 5) == 0) {
      adobe = true;
      adobeRgb = seg[11] == 0;
    }
    const bool sof = m >= 0xC0 && m <= 0xCF && m != 0xC4 && m != 0xC8 && m != 0xCC;
    if (sof && segLen >= 6 + 3 * 3 && seg[5] == 3)
      idsRgb = seg[6] == 'R' && seg[9] == 'G' && seg[12] == 'B';
    if (m == 0xDA) break;  // start of scan: the headers are over
    i += 2 + len;
  }
  if (jfif) return false;
  return adobe ? adobeRgb : idsRgb;
}

// One JPEG-compressed strip or tile (compression 7), decoded whole and copied in.
bool PageReader::DecodeJpegUnit(std::vector<Byte> data, Integer x, Integer y, bool single, Integer& done,
                                Integer units) {
  // RGB data are decoded raw (and come out red first) unless the library knows them
  // for RGB anyway.
  if (bmp_->GetPixelFormat() != ie24RGB) return Fail();  // no JPEG of one bit
  const bool raw = v_.Photometric == 2 && !JpegHoldsRgb(data);
  TMemoryStream strip;
  if (!data.empty()) strip.WriteBuffer(data.data(), static_cast<Integer>(data.size()));
  strip.SetPosition(0);
  std::unique_ptr<TMemoryStream> tables;
  if (v_.JPEGTables != nullptr && v_.JPEGTablesLength > 0) {
    tables = std::make_unique<TMemoryStream>();
    tables->WriteBuffer(v_.JPEGTables.get(), v_.JPEGTablesLength);
    tables->SetPosition(0);
  }
  TIEBitmap tmp;
  TIOParamsVals jp(nullptr);
  TProgressRec own;
  own.Aborting = prog_.Aborting;
  ReadJPegStream(&strip, tables.get(), &tmp, jp, single ? prog_ : own, false, raw);
  if (Aborted()) return false;
  if (tmp.GetPixelFormat() != ie24RGB) tmp.SetPixelFormat(ie24RGB);
  if (tmp.GetPixelFormat() != ie24RGB) return Fail();
  const Integer w = std::min(tmp.GetWidth(), v_.ImageWidth - x);
  const Integer h = std::min(tmp.GetHeight(), v_.ImageLength - y);
  for (Integer r = 0; r < h; ++r) {
    const TRGB* src = static_cast<const TRGB*>(tmp.GetScanLine(r));
    TRGB* dst = static_cast<TRGB*>(bmp_->GetScanLine(y + r)) + x;
    if (!raw) {
      std::copy(src, src + std::max(w, 0), dst);
      continue;
    }
    for (Integer i = 0; i < w; ++i) dst[i] = TRGB{src[i].r, src[i].g, src[i].b};
  }
  if (!single) {
    ++done;
    prog_.Report(static_cast<Integer>(Int64{done} * 100 / units));
  }
  return true;
}

bool PageReader::DecodeStrips() {
  const Integer h = v_.ImageLength;
  const Integer rps = v_.RowsPerStrip;
  const Integer bands = static_cast<Integer>((Int64{h} + rps - 1) / rps);
  const Integer* offs = v_.StripOffsets.get();
  const Integer* cnts = v_.StripByteCounts.get();
  const Integer nOffs = v_.StripOffsetsCount, nCnts = v_.StripByteCountsCount;
  const Integer spp = v_.SamplesPerPixel;
  const bool planar = v_.PlanarConfiguration == 2 && spp > 1;
  if (planar) {
    // Separate planes are interleaved whole samples: 8 or 16 bits each.
    if (v_.BitsPerSample != 8 && v_.BitsPerSample != 16) return Fail();
    if (v_.Compression == kCompJPEG) return Fail();
    const Integer a = nOffs / spp;
    for (Integer i = 0; i < bands; ++i) {
      if (i >= a) return Fail();
      std::vector<std::vector<Byte>> planes(static_cast<size_t>(spp));
      for (Integer k = 0; k < spp; ++k)
        if (!ReadUnitData(k * a + i, offs, nOffs, cnts, nCnts, planes[static_cast<size_t>(k)])) return Fail();
      const Integer y = i * rps;
      if (!DecodePlanarBand(std::move(planes), y, std::min(rps, h - y))) return false;
    }
    return true;
  }
  Integer done = 0;
  for (Integer i = 0; i < bands; ++i) {
    if (Aborted()) return false;
    std::vector<Byte> data;
    if (!ReadUnitData(i, offs, nOffs, cnts, nCnts, data)) return Fail();
    const Integer y = i * rps;
    const bool ok = v_.Compression == kCompJPEG
                        ? DecodeJpegUnit(std::move(data), 0, y, bands == 1, done, bands)
                        : DecodeUnit(std::move(data), 0, y, v_.ImageWidth, std::min(rps, h - y));
    if (!ok) return false;
  }
  return true;
}

bool PageReader::DecodeTiles() {
  const Integer tw = v_.TileWidth, th = v_.TileLength;
  if (tw <= 0 || th <= 0 || tw > kMaxSide || th > kMaxSide) return Fail();
  if (v_.PlanarConfiguration == 2) return Fail();
  const bool useTiles = v_.TileOffsets != nullptr;
  const Integer* offs = useTiles ? v_.TileOffsets.get() : v_.StripOffsets.get();
  const Integer* cnts = useTiles ? v_.TileByteCounts.get() : v_.StripByteCounts.get();
  const Integer nOffs = useTiles ? v_.TileOffsetsCount : v_.StripOffsetsCount;
  const Integer nCnts = useTiles ? v_.TileByteCountsCount : v_.StripByteCountsCount;
  const Int64 across = (Int64{v_.ImageWidth} + tw - 1) / tw;
  const Int64 down = (Int64{v_.ImageLength} + th - 1) / th;
  const Int64 units = across * down;
  // Every tile must be in the arrays (which are bounded by the stream), and the
  // tiles may not cover much more than the page.
  if (units > nOffs || across * tw * down * th > 2 * kMaxPixels) return Fail();
  Integer done = 0;
  for (Integer i = 0; i < static_cast<Integer>(units); ++i) {
    if (Aborted()) return false;
    const Integer x = static_cast<Integer>(i % across) * tw;
    const Integer y = static_cast<Integer>(i / across) * th;
    std::vector<Byte> data;
    if (!ReadUnitData(i, offs, nOffs, cnts, nCnts, data)) return Fail();
    const bool ok = v_.Compression == kCompJPEG
                        ? DecodeJpegUnit(std::move(data), x, y, units == 1, done, static_cast<Integer>(units))
                        : DecodeUnit(std::move(data), x, y, tw, std::min(th, v_.ImageLength - y));
    if (!ok) return false;
  }
  return true;
}

// Turns the alpha plane the way Orient turns the page.
void TurnMask(TIEMask& mask, Integer orientation) {
  const Integer w = mask.GetWidth(), h = mask.GetHeight();
  if (mask.GetBitsPerPixel() != 8 || w <= 0 || h <= 0) return;
  std::vector<Byte> old(static_cast<size_t>(w) * h);
  for (Integer y = 0; y < h; ++y) std::memcpy(&old[static_cast<size_t>(y) * w], mask.GetScanLine(y), static_cast<size_t>(w));
  // The stored pixel shown at (x, y) of the turned plane, as an index into old.
  auto from = [&](Int64 x, Int64 y) -> Int64 {
    Int64 sx = x, sy = y;
    switch (orientation) {
      case 2: sx = w - 1 - x; break;
      case 3: sx = w - 1 - x; sy = h - 1 - y; break;
      case 4: sy = h - 1 - y; break;
      case 5: sx = y; sy = x; break;
      case 6: sx = y; sy = h - 1 - x; break;
      case 7: sx = w - 1 - y; sy = h - 1 - x; break;
      case 8: sx = w - 1 - y; sy = x; break;
      default: break;
    }
    return sy * w + sx;
  };
  // The mapping is linear: one step along a turned row, one from row to row.
  const Int64 origin = from(0, 0), stepX = from(1, 0) - origin, stepY = from(0, 1) - origin;
  const bool swap = orientation >= 5;
  const bool full = mask.GetFull();
  mask.AllocateBits(swap ? h : w, swap ? w : h, 8);
  const Integer nw = mask.GetWidth(), nh = mask.GetHeight();
  for (Integer y = 0; y < nh; ++y) {
    Byte* row = mask.GetScanLine(y);
    Int64 i = origin + stepY * y;
    for (Integer x = 0; x < nw; ++x, i += stepX) row[x] = old[static_cast<size_t>(i)];
  }
  mask.SetFull(full);
}

// Turns the page upright by its Orientation, and its alpha with it.
void PageReader::Orient() {
  if (useMask_ && v_.Orientation >= 2 && v_.Orientation <= 8) TurnMask(*mask_, v_.Orientation);
  const TRGB black{};
  auto rotate = [&](double angle) { _RotateEx(bmp_, angle, false, black, TIEProgressEvent(), nullptr); };
  switch (v_.Orientation) {
    case 2: _FlipEx(bmp_, fdHorizontal); break;
    case 3: _FlipEx(bmp_, fdVertical); _FlipEx(bmp_, fdHorizontal); break;
    case 4: _FlipEx(bmp_, fdVertical); break;
    case 5: rotate(-90); _FlipEx(bmp_, fdHorizontal); break;  // transpose
    case 6: rotate(-90); break;
    case 7: rotate(90); _FlipEx(bmp_, fdHorizontal); break;  // transverse
    case 8: rotate(90); break;
    default: break;
  }
}

void PageReader::Decode() {
  const Integer w = v_.ImageWidth, h = v_.ImageLength;
  const bool sizeOk = IESizeWithinLimits(w, h);
  if (sizeOk) SetupMask();
  const Integer comp = v_.Compression;
  if (comp == kCompOldJPEG && (v_.JPEGProc == 0 || v_.JPEGProc == 1)) {
    // Old-style JPEG: one interchange-format stream at a given offset.
    const Int64 pos = Int64{static_cast<DWORD>(v_.JPEGInterchangeFormat)} + env_.Base;
    if (pos < 0 || pos > size_) return void(Fail());
    Int64 n = static_cast<DWORD>(v_.JPEGInterchangeFormatLength);
    if (n == 0 || n > size_ - pos) n = size_ - pos;
    TMemoryStream js;
    js.SetSize(n);
    if (!tiffilt::ReadAt(s_, pos, js.Memory(), n)) return void(Fail());
    TIOParamsVals jp(nullptr);
    ReadJPegStream(&js, nullptr, bmp_, jp, prog_, false, false);
    if (Aborted()) return;
  } else {
    if (!sizeOk) return void(Fail());
    // A compression the reader does not decode, or samples it cannot place, never
    // give pixels: the page fails rather than come back blank or as stored bytes.
    const bool known = comp == kCompNone || (comp >= kCompHuffman && comp <= kCompLZW) || comp == kCompJPEG ||
                       comp == kCompPackBits || IsDeflate(comp);
    if (!known || (comp != kCompJPEG && !Placeable())) return void(Fail());
    // Behind LZW and Deflate a predictor changes every sample: one the reader cannot
    // undo (floating point, unknown values, differencing of samples other than 8 or
    // 16 bits) fails the page rather than show the differences as pixels.
    if ((comp == kCompLZW || IsDeflate(comp)) && v_.Predictor != 1 &&
        !(v_.Predictor == 2 && (v_.BitsPerSample == 8 || v_.BitsPerSample == 16)))
      return void(Fail());
    const bool bilevel = v_.BitsPerSample == 1 && v_.SamplesPerPixel == 1 && v_.Photometric != 3;
    bmp_->Allocate(w, h, bilevel ? ie1g : ie24RGB);
    if (bmp_->GetWidth() != w || bmp_->GetHeight() != h) return void(Fail());
    prog_.per1 = 100.0 / h;
    const bool tiled = v_.TileWidth > 0 || v_.TileLength > 0;
    bool ok = true;
    if (tiled) {
      if (v_.TileOffsets != nullptr || v_.StripOffsets != nullptr) ok = DecodeTiles();
    } else if (v_.StripOffsets != nullptr) {
      ok = DecodeStrips();
    }
    if (!ok || Aborted()) return;
  }
  if (p_.TIFF_EnableAdjustOrientation && v_.Orientation != 1) Orient();
}

}  // namespace

void TIFFDecodePage(TIEBitmap* Bitmap, TIOParamsVals& Params, TProgressRec& Progress,
                    std::unique_ptr<TIEMask>& Mask, bool IgnoreAlpha, const TTIFFEnv& Env,
                    const TTIFFVars& Vars) {
  if (Bitmap == nullptr || Env.Stream == nullptr) return Progress.Abort();
  PageReader reader(Bitmap, Env.Stream, Params, Progress, Mask, IgnoreAlpha, Env, Vars);
  reader.Decode();
}
