// AVIFile's frame getter: a read stream's frames as packed DIBs.
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/avifile/AVIFile.h"
#include "platform/avifile/AVIFileInternal.h"

namespace {

// Pictures larger than this many pixels are not decoded.
constexpr uint64_t kMaxPixels = uint64_t{1} << 26;
constexpr Integer kMaxSide = 32768;

enum class FrameKind { Raw, Rle8, Decoded };

bool ReadAt(int fd, uint64_t offset, void* buffer, size_t size) {
  auto* out = static_cast<Byte*>(buffer);
  while (size > 0) {
    const ssize_t n = ::pread(fd, out, size, static_cast<off_t>(offset));
    if (n <= 0) return false;
    out += n;
    offset += static_cast<uint64_t>(n);
    size -= static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

struct AVIGetFrameObject {
  AVIStreamObject* stream = nullptr;  // holds a reference
  FrameKind kind = FrameKind::Raw;
  AVIFrameDecoder decoder = nullptr;
  Integer width = 0;
  Integer height = 0;      // as stored: negative for top-down rows
  Integer inBits = 0;      // bits per pixel of the stored frames
  Integer outBits = 0;     // of the DIBs handed out
  uint64_t inRowBytes = 0;
  uint64_t outRowBytes = 0;
  size_t headerBytes = 0;  // header and colour table of the DIB
  std::vector<Byte> dib;   // the DIB handed out
  std::vector<Byte> data;  // one frame's stored bytes
  LONG current = -1;       // the frame the DIB holds
  bool valid = false;      // whether the DIB holds a whole frame

  Byte* Rows() { return dib.data() + headerBytes; }
  uint64_t Height() const { return static_cast<uint64_t>(height < 0 ? -static_cast<int64_t>(height) : height); }

  bool ReadFrame(const avifile::FrameEntry& frame) {
    data.resize(frame.size);
    return frame.size == 0 || ReadAt(stream->file->fd, frame.offset, data.data(), data.size());
  }

  // Uncompressed rows into the DIB, bottom-up.
  bool CopyRaw() {
    const uint64_t h = Height();
    if (data.size() < inRowBytes * h) return false;
    for (uint64_t y = 0; y < h; ++y) {
      const uint64_t source = height < 0 ? h - 1 - y : y;
      std::memcpy(Rows() + y * outRowBytes, data.data() + source * inRowBytes, inRowBytes);
    }
    return true;
  }

  // Run-length 8-bit data drawn over the DIB's rows (delta frames leave what they
  // skip). False when the data is damaged; what was drawn stays.
  bool DrawRle8() {
    const uint64_t w = static_cast<uint64_t>(width);
    const uint64_t h = Height();
    uint64_t x = 0;
    uint64_t y = 0;
    size_t i = 0;
    const size_t n = data.size();
    while (i + 1 < n) {
      const Byte count = data[i];
      const Byte value = data[i + 1];
      i += 2;
      if (count > 0) {
        for (Byte k = 0; k < count; ++k, ++x)
          if (x < w && y < h) Rows()[y * outRowBytes + x] = value;
        continue;
      }
      switch (value) {
        case 0:  // end of line
          x = 0;
          ++y;
          break;
        case 1:  // end of picture
          return true;
        case 2:  // delta
          if (i + 1 >= n) return false;
          x += data[i];
          y += data[i + 1];
          i += 2;
          break;
        default: {  // a run of literal bytes, padded to a word
          const size_t run = value;
          if (i + run > n) return false;
          for (size_t k = 0; k < run; ++k, ++x)
            if (x < w && y < h) Rows()[y * outRowBytes + x] = data[i + k];
          i += run + (run & 1);
          break;
        }
      }
      if (y > h) return true;
    }
    return true;
  }
};

PGETFRAME AVIStreamGetFrameOpen(PAVISTREAM pavi, const BITMAPINFOHEADER* lpbiWanted) {
  if (pavi == nullptr || pavi->file == nullptr || pavi->file->writing) return nullptr;
  if (pavi->info.fccType != streamtypeVIDEO) return nullptr;
  if (lpbiWanted != nullptr && lpbiWanted->biBitCount != 24) return nullptr;
  const std::vector<Byte>& format = pavi->format;
  if (format.size() < sizeof(BITMAPINFOHEADER)) return nullptr;
  BITMAPINFOHEADER in;
  std::memcpy(&in, format.data(), sizeof(in));
  if (in.biSize < sizeof(BITMAPINFOHEADER) || in.biSize > format.size()) return nullptr;
  if (in.biWidth <= 0 || in.biWidth > kMaxSide || in.biHeight == 0 || in.biHeight < -kMaxSide ||
      in.biHeight > kMaxSide)
    return nullptr;

  auto getter = std::make_unique<AVIGetFrameObject>();
  getter->width = in.biWidth;
  getter->height = in.biHeight;
  if (static_cast<uint64_t>(getter->width) * getter->Height() > kMaxPixels) return nullptr;
  getter->inBits = in.biBitCount;
  if (in.biCompression == BI_RGB) {
    switch (in.biBitCount) {
      case 1: case 4: case 8: case 16: case 24: case 32: break;
      default: return nullptr;
    }
    getter->kind = FrameKind::Raw;
    getter->outBits = in.biBitCount;
  } else if (in.biCompression == BI_RLE8 && in.biBitCount == 8 && in.biHeight > 0) {
    getter->kind = FrameKind::Rle8;
    getter->outBits = 8;
  } else if (AVIFrameDecoder decoder = AVIFileGetDecoder(in.biCompression); decoder != nullptr) {
    getter->kind = FrameKind::Decoded;
    getter->decoder = decoder;
    getter->outBits = 24;
  } else {
    return nullptr;
  }
  // A 24-bit request takes only frames that come out at 24 bits.
  if (lpbiWanted != nullptr && getter->outBits != 24) return nullptr;
  getter->inRowBytes = avifile::RowBytes(static_cast<uint64_t>(getter->width), static_cast<uint64_t>(getter->inBits));
  getter->outRowBytes = avifile::RowBytes(static_cast<uint64_t>(getter->width), static_cast<uint64_t>(getter->outBits));

  // The colour table of palette pictures: the stream's, as far as it goes, and black
  // beyond it, so every index a frame holds has a colour.
  const size_t tableEntries = getter->outBits <= 8 ? size_t{1} << getter->outBits : 0;
  getter->headerBytes = sizeof(BITMAPINFOHEADER) + tableEntries * 4;
  const uint64_t imageBytes = getter->outRowBytes * getter->Height();
  getter->dib.assign(getter->headerBytes + static_cast<size_t>(imageBytes), 0);
  BITMAPINFOHEADER out;
  out.biSize = sizeof(BITMAPINFOHEADER);
  out.biWidth = getter->width;
  out.biHeight = static_cast<Integer>(getter->Height());
  out.biPlanes = 1;
  out.biBitCount = static_cast<WORD>(getter->outBits);
  out.biCompression = BI_RGB;
  out.biSizeImage = static_cast<DWORD>(imageBytes);
  out.biXPelsPerMeter = in.biXPelsPerMeter;
  out.biYPelsPerMeter = in.biYPelsPerMeter;
  std::memcpy(getter->dib.data(), &out, sizeof(out));
  if (tableEntries > 0) {
    const size_t declared = in.biClrUsed != 0 ? in.biClrUsed : tableEntries;
    const size_t present = (format.size() - in.biSize) / 4;
    const size_t copied = std::min({declared, present, tableEntries});
    std::memcpy(getter->dib.data() + sizeof(BITMAPINFOHEADER), format.data() + in.biSize, copied * 4);
  }
  getter->stream = pavi;
  AVIStreamAddRef(pavi);
  return getter.release();
}

void* AVIStreamGetFrame(PGETFRAME pg, LONG lPos) {
  if (pg == nullptr) return nullptr;
  const std::vector<avifile::FrameEntry>& frames = pg->stream->frames;
  if (lPos < 0 || static_cast<size_t>(lPos) >= frames.size()) return nullptr;
  if (pg->valid && pg->current == lPos) return pg->dib.data();

  if (pg->kind == FrameKind::Rle8) {
    // Each frame draws over the one before: start from the last key frame at or
    // before lPos, or go on from the frame shown when it comes before lPos.
    LONG start = lPos;
    while (start > 0 && !frames[static_cast<size_t>(start)].key) --start;
    if (pg->valid && pg->current < lPos && pg->current >= start) {
      start = pg->current + 1;
    } else {
      std::fill(pg->dib.begin() + static_cast<std::ptrdiff_t>(pg->headerBytes), pg->dib.end(), 0);
    }
    pg->valid = false;
    for (LONG i = start; i <= lPos; ++i) {
      if (!pg->ReadFrame(frames[static_cast<size_t>(i)])) return nullptr;
      if (!pg->DrawRle8()) return nullptr;
      pg->current = i;
      pg->valid = true;
    }
    return pg->dib.data();
  }

  // An empty frame shows the one before it again.
  LONG source = lPos;
  while (source >= 0 && frames[static_cast<size_t>(source)].size == 0) --source;
  if (source < 0) return nullptr;
  if (pg->valid && pg->current == source) {
    pg->current = lPos;
    return pg->dib.data();
  }
  pg->valid = false;
  const avifile::FrameEntry& entry = frames[static_cast<size_t>(source)];
  const uint64_t imageBytes = pg->outRowBytes * pg->Height();
  if (pg->kind == FrameKind::Raw && pg->height > 0 && entry.size >= imageBytes) {
    // Bottom-up rows as the DIB keeps them: read straight into it.
    if (!ReadAt(pg->stream->file->fd, entry.offset, pg->Rows(), static_cast<size_t>(imageBytes))) return nullptr;
    pg->valid = true;
    pg->current = lPos;
    return pg->dib.data();
  }
  if (!pg->ReadFrame(entry)) return nullptr;
  bool ok = false;
  if (pg->kind == FrameKind::Raw) {
    ok = pg->CopyRaw();
  } else {
    ok = pg->decoder(pg->data.data(), pg->data.size(), pg->width, static_cast<Integer>(pg->Height()), pg->Rows());
  }
  if (!ok) return nullptr;
  pg->valid = true;
  pg->current = lPos;
  return pg->dib.data();
}

HRESULT AVIStreamGetFrameClose(PGETFRAME pg) {
  if (pg == nullptr) return AVIERR_BADHANDLE;
  AVIStreamRelease(pg->stream);
  delete pg;
  return AVIERR_OK;
}
