// BMP files and the packed DIBs inside them (and inside .ico files).
#include <algorithm>
#include <bit>
#include <cstring>

#include "platform/vcl/Graphics.h"

namespace {

// The largest header a DIB can have (BITMAPV5HEADER).
constexpr DWORD kMaxHeaderSize = 124;
// Compressed pixel data is read whole; more than this is refused.
constexpr Int64 kMaxCompressedBytes = Int64{1} << 30;
// Run-length data can declare any size in a few bytes (an end-of-bitmap code leaves
// the rest blank), so compressed bitmaps get a tighter size bound than plain ones,
// whose pixels must all be present before anything is allocated.
constexpr Int64 kMaxRlePixels = Int64{1} << 26;

[[noreturn]] void BadBitmap() { throw EInvalidGraphic("Bitmap image is not valid"); }

Word U16(const Byte* p) { return static_cast<Word>(p[0] | (p[1] << 8)); }
DWORD U32(const Byte* p) {
  return static_cast<DWORD>(p[0]) | (static_cast<DWORD>(p[1]) << 8) | (static_cast<DWORD>(p[2]) << 16) |
         (static_cast<DWORD>(p[3]) << 24);
}
void Put16(Byte* p, Word v) {
  p[0] = static_cast<Byte>(v);
  p[1] = static_cast<Byte>(v >> 8);
}
void Put32(Byte* p, DWORD v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<Byte>(v >> (8 * i));
}

// Reads exactly count bytes that must lie before limit.
void ReadExact(TStream* stream, void* buffer, Int64 count, Int64 limit) {
  if (count < 0 || stream->GetPosition() + count > limit) BadBitmap();
  if (count == 0) return;
  if (stream->Read(buffer, static_cast<Integer>(count)) != count) BadBitmap();
}

// One channel of a pixel read through a bit-field mask, scaled to 8 bits.
class MaskChannel {
 public:
  explicit MaskChannel(DWORD mask) : mask_(mask) {
    if (mask == 0) return;
    shift_ = std::countr_zero(mask);
    bits_ = std::popcount(mask);
  }
  Byte operator()(DWORD value) const {
    if (mask_ == 0) return 0;
    DWORD v = (value & mask_) >> shift_;
    if (bits_ >= 8) return static_cast<Byte>(v >> (bits_ - 8));
    // Narrow channels repeat their bits downwards, so full scale stays full.
    DWORD wide = v << (8 - bits_);
    for (int have = bits_; have < 8; have += bits_) wide |= wide >> bits_;
    return static_cast<Byte>(wide);
  }

 private:
  DWORD mask_;
  int shift_ = 0;
  int bits_ = 0;
};

}  // namespace

void TBitmap::ReadDib(TStream* stream, Int64 bitsOffset, Int64 limit, bool icon) {
  Byte header[kMaxHeaderSize] = {};
  ReadExact(stream, header, 4, limit);
  DWORD headerSize = U32(header);
  Int64 width = 0;
  Int64 height = 0;
  Integer bitCount = 0;
  DWORD compression = BI_RGB;
  DWORD colorsUsed = 0;
  DWORD imageSize = 0;
  DWORD masks[4] = {0, 0, 0, 0};
  Integer entrySize = 4;
  if (headerSize == sizeof(BITMAPCOREHEADER)) {
    ReadExact(stream, header + 4, headerSize - 4, limit);
    width = U16(header + 4);
    height = U16(header + 6);
    bitCount = U16(header + 10);
    entrySize = 3;
  } else if (headerSize >= sizeof(BITMAPINFOHEADER) && headerSize <= kMaxHeaderSize) {
    ReadExact(stream, header + 4, headerSize - 4, limit);
    width = static_cast<Integer>(U32(header + 4));
    height = static_cast<Integer>(U32(header + 8));
    bitCount = U16(header + 14);
    compression = U32(header + 16);
    imageSize = U32(header + 20);
    colorsUsed = U32(header + 32);
    if (headerSize >= 52) {
      for (int i = 0; i < 3; ++i) masks[i] = U32(header + 40 + 4 * i);
    } else if (compression == BI_BITFIELDS) {
      Byte buffer[12];
      ReadExact(stream, buffer, sizeof(buffer), limit);
      for (int i = 0; i < 3; ++i) masks[i] = U32(buffer + 4 * i);
    }
    if (headerSize >= 56) masks[3] = U32(header + 52);
  } else {
    BadBitmap();
  }

  bool topDown = height < 0;
  height = topDown ? -height : height;
  if (icon) height /= 2;
  bool rle = compression == BI_RLE8 || compression == BI_RLE4;
  if (width <= 0 || height <= 0) BadBitmap();
  if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 16 && bitCount != 24 && bitCount != 32)
    BadBitmap();
  if (compression == BI_RLE8 && bitCount != 8) BadBitmap();
  if (compression == BI_RLE4 && bitCount != 4) BadBitmap();
  if (compression == BI_BITFIELDS && bitCount != 16 && bitCount != 32) BadBitmap();
  if (compression != BI_RGB && compression != BI_BITFIELDS && !rle) BadBitmap();
  if (rle && topDown) BadBitmap();
  if (width * height > (rle ? kMaxRlePixels : kMaxPixels))
    throw EInvalidGraphic("Bitmap image is too large");

  // The colour table: as many entries as stated (at most the depth's), each 4 bytes
  // (3 in the old header). True-colour DIBs may carry one too; it is skipped.
  Int64 tableEntries = colorsUsed != 0 ? colorsUsed : (bitCount <= 8 ? Int64{1} << bitCount : 0);
  Int64 tableBytes = tableEntries * entrySize;
  Format format;
  format.bitCount = bitCount;
  if (bitCount <= 8) {
    Integer depthEntries = 1 << bitCount;
    Integer stated = static_cast<Integer>(std::min<Int64>(tableEntries, depthEntries));
    std::vector<Byte> table(static_cast<size_t>(stated) * entrySize);
    ReadExact(stream, table.data(), static_cast<Int64>(table.size()), limit);
    format.colors.assign(static_cast<size_t>(depthEntries), RGBQUAD{});
    for (Integer i = 0; i < stated; ++i) {
      const Byte* e = table.data() + static_cast<size_t>(i) * entrySize;
      format.colors[i] = RGBQUAD{e[0], e[1], e[2], 0};
    }
    tableBytes -= static_cast<Int64>(table.size());
  }
  Int64 pixelStart = bitsOffset >= 0 ? bitsOffset : stream->GetPosition() + tableBytes;

  // Bit fields that are not one of our formats are read into 32 bits.
  bool decodeMasks = false;
  if (bitCount == 16 && compression == BI_BITFIELDS) {
    if (masks[0] == 0xF800 && masks[1] == 0x07E0 && masks[2] == 0x001F) format.rgb565 = true;
    else if (!(masks[0] == 0x7C00 && masks[1] == 0x03E0 && masks[2] == 0x001F)) decodeMasks = true;
  } else if (bitCount == 32 && compression == BI_BITFIELDS) {
    decodeMasks = !(masks[0] == 0xFF0000 && masks[1] == 0xFF00 && masks[2] == 0xFF);
  }
  if (decodeMasks) format.bitCount = 32;
  Integer fileStride = RowBytesFor(static_cast<Integer>(width), bitCount);
  Int64 total = static_cast<Int64>(fileStride) * height;
  // Uncompressed pixels must all be there before anything is allocated for them.
  if (!rle && pixelStart + total > limit) BadBitmap();
  if (rle && pixelStart >= limit) BadBitmap();

  Reshape(format, static_cast<Integer>(width), static_cast<Integer>(height), false);
  handleType_ = bmDIB;
  stream->SetPosition(pixelStart);
  Integer stride = RowBytes();

  if (rle) {
    Int64 available = limit - pixelStart;
    if (imageSize != 0) available = std::min<Int64>(available, imageSize);
    if (available <= 0 || available > kMaxCompressedBytes) BadBitmap();
    std::vector<Byte> data(static_cast<size_t>(available));
    ReadExact(stream, data.data(), available, limit);
    bool rle8 = compression == BI_RLE8;
    // Pixels the codes skip keep index 0. Rows run bottom-up, as stored.
    auto put = [&](Int64 x, Int64 y, Byte index) {
      if (x < 0 || x >= width || y < 0 || y >= height) return;
      Byte* row = bits_ + static_cast<size_t>(y) * stride;
      if (rle8) {
        row[x] = index;
      } else if ((x & 1) == 0) {
        row[x >> 1] = static_cast<Byte>((row[x >> 1] & 0x0F) | (index << 4));
      } else {
        row[x >> 1] = static_cast<Byte>((row[x >> 1] & 0xF0) | (index & 0x0F));
      }
    };
    size_t i = 0;
    Int64 x = 0;
    Int64 y = 0;
    while (i + 1 < data.size() && y < height) {
      Byte count = data[i];
      Byte value = data[i + 1];
      i += 2;
      if (count > 0) {
        for (Integer k = 0; k < count; ++k, ++x) {
          put(x, y, rle8 ? value : static_cast<Byte>((k & 1) == 0 ? value >> 4 : value & 0x0F));
        }
      } else if (value == 0) {
        x = 0;
        ++y;
      } else if (value == 1) {
        break;
      } else if (value == 2) {
        if (i + 1 >= data.size()) break;
        x += data[i];
        y += data[i + 1];
        i += 2;
      } else {
        size_t bytes = rle8 ? value : (value + 1u) / 2;
        if (i + bytes > data.size()) break;
        for (Integer k = 0; k < value; ++k, ++x) {
          Byte b = data[i + (rle8 ? k : k / 2)];
          put(x, y, rle8 ? b : static_cast<Byte>((k & 1) == 0 ? b >> 4 : b & 0x0F));
        }
        i += bytes + (bytes & 1);  // runs are padded to 16 bits
      }
    }
    return;
  }

  if (!decodeMasks && !topDown) {
    ReadExact(stream, bits_, total, limit);
    return;
  }
  std::vector<Byte> row(static_cast<size_t>(fileStride));
  MaskChannel red(masks[0]), green(masks[1]), blue(masks[2]), alpha(masks[3]);
  for (Int64 r = 0; r < height; ++r) {
    ReadExact(stream, row.data(), fileStride, limit);
    // Storage row index from the bottom.
    Int64 stored = topDown ? height - 1 - r : r;
    Byte* dest = bits_ + static_cast<size_t>(stored) * stride;
    if (!decodeMasks) {
      std::memcpy(dest, row.data(), static_cast<size_t>(fileStride));
      continue;
    }
    for (Int64 px = 0; px < width; ++px, dest += 4) {
      DWORD v = bitCount == 16 ? U16(row.data() + px * 2) : U32(row.data() + px * 4);
      dest[0] = blue(v);
      dest[1] = green(v);
      dest[2] = red(v);
      dest[3] = alpha(v);
    }
  }
}

Integer TBitmap::DibHeaderSize() const {
  Integer size = sizeof(BITMAPINFOHEADER);
  if (bitCount_ <= 8) size += static_cast<Integer>(colors_.size() * sizeof(RGBQUAD));
  else if (bitCount_ == 16 && rgb565_) size += 3 * sizeof(DWORD);
  return size;
}

void TBitmap::WriteDibHeader(TStream* stream, Integer heightField, DWORD extraBytes) const {
  std::vector<Byte> out(static_cast<size_t>(DibHeaderSize()), 0);
  Byte* h = out.data();
  Put32(h, sizeof(BITMAPINFOHEADER));
  Put32(h + 4, static_cast<DWORD>(width_));
  Put32(h + 8, static_cast<DWORD>(heightField));
  Put16(h + 12, 1);
  Put16(h + 14, static_cast<Word>(bitCount_));
  bool bitfields = bitCount_ == 16 && rgb565_;
  Put32(h + 16, bitfields ? BI_BITFIELDS : BI_RGB);
  Put32(h + 20, static_cast<DWORD>(static_cast<Int64>(RowBytes()) * height_) + extraBytes);
  // Resolution (bytes 24-31), colours used and important stay 0: a full table.
  Byte* tail = h + sizeof(BITMAPINFOHEADER);
  if (bitCount_ <= 8) {
    for (const RGBQUAD& c : colors_) {
      tail[0] = c.rgbBlue;
      tail[1] = c.rgbGreen;
      tail[2] = c.rgbRed;
      tail[3] = 0;
      tail += 4;
    }
  } else if (bitfields) {
    Put32(tail, 0xF800);
    Put32(tail + 4, 0x07E0);
    Put32(tail + 8, 0x001F);
  }
  stream->WriteBuffer(out.data(), static_cast<Integer>(out.size()));
}

void TBitmap::WriteDibBits(TStream* stream) const {
  if (bits_ == nullptr) return;
  stream->WriteBuffer(bits_, static_cast<Integer>(static_cast<Int64>(RowBytes()) * height_));
}

void TBitmap::LoadFromStream(TStream* stream) {
  Int64 start = stream->GetPosition();
  Int64 end = stream->GetSize();
  if (end <= start) {
    ReplaceSection(0, nullptr, CurrentFormat(), 0, 0);
    Changed(this);
    return;
  }
  Byte fileHeader[sizeof(BITMAPFILEHEADER)];
  ReadExact(stream, fileHeader, sizeof(fileHeader), end);
  if (fileHeader[0] != 'B' || fileHeader[1] != 'M') BadBitmap();
  DWORD fileSize = U32(fileHeader + 2);
  DWORD offBits = U32(fileHeader + 10);
  TBitmap image;
  image.ReadDib(stream, offBits >= sizeof(BITMAPFILEHEADER) ? start + offBits : -1, end, false);
  // Leave the stream after the file when its stated size is sound.
  if (fileSize != 0 && start + fileSize <= end && start + fileSize >= stream->GetPosition())
    stream->SetPosition(start + fileSize);
  TakeImage(image);
  Changed(this);
}

void TBitmap::SaveToStream(TStream* stream) {
  if (GetEmpty()) return;
  Int64 headerSize = DibHeaderSize();
  Int64 imageBytes = static_cast<Int64>(RowBytes()) * height_;
  Byte fileHeader[sizeof(BITMAPFILEHEADER)] = {'B', 'M'};
  Put32(fileHeader + 2, static_cast<DWORD>(sizeof(BITMAPFILEHEADER) + headerSize + imageBytes));
  Put32(fileHeader + 10, static_cast<DWORD>(sizeof(BITMAPFILEHEADER) + headerSize));
  stream->WriteBuffer(fileHeader, sizeof(fileHeader));
  WriteDibHeader(stream, height_, 0);
  WriteDibBits(stream);
}
