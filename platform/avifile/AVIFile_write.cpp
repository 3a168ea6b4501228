// AVIFile's writer: one uncompressed video stream in a RIFF AVI 1.0 file.
//
// The headers are written with the format and completed at the last release; the
// frames follow as 00db chunks in the movi list, and idx1 closes the file.
#include <unistd.h>

#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "platform/avifile/AVIFile.h"
#include "platform/avifile/AVIFileInternal.h"
#include "platform/avifile/SimHooks.h"

namespace {

std::atomic<uint64_t> gSizeLimit{kAVI1MaxFileSize};

void Put32(std::vector<Byte>& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<Byte>(v >> (8 * i)));
}
void Put16(std::vector<Byte>& out, uint16_t v) {
  out.push_back(static_cast<Byte>(v));
  out.push_back(static_cast<Byte>(v >> 8));
}
void PutId(std::vector<Byte>& out, const char* id) { out.insert(out.end(), id, id + 4); }
void Patch32(std::vector<Byte>& out, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) out[at + i] = static_cast<Byte>(v >> (8 * i));
}

bool WriteAt(int fd, uint64_t offset, const void* buffer, size_t size) {
  const auto* in = static_cast<const Byte*>(buffer);
  while (size > 0) {
    const ssize_t n = ::pwrite(fd, in, size, static_cast<off_t>(offset));
    if (n <= 0) return false;
    in += n;
    offset += static_cast<uint64_t>(n);
    size -= static_cast<size_t>(n);
  }
  return true;
}

// Everything before the first frame chunk: RIFF, hdrl (avih, strl with strh and
// strf) and the movi list's header, with the sizes and counts of `stream` so far
// and the file ending at fileEnd.
std::vector<Byte> BuildHeaders(const AVIStreamObject* stream, uint64_t fileEnd) {
  const AVISTREAMINFOA& info = stream->info;
  BITMAPINFOHEADER bih;
  std::memcpy(&bih, stream->format.data(), sizeof(bih));
  const uint32_t frames = static_cast<uint32_t>(stream->index.size());
  const uint64_t micro = (uint64_t{1000000} * info.dwScale + info.dwRate / 2) / info.dwRate;
  const uint64_t bytesPerSec =
      (static_cast<uint64_t>(stream->frameSize) * info.dwRate + info.dwScale - 1) / info.dwScale;

  std::vector<Byte> out;
  PutId(out, "RIFF");
  Put32(out, static_cast<uint32_t>(fileEnd - 8));
  PutId(out, "AVI ");
  PutId(out, "LIST");
  const size_t hdrlSize = out.size();
  Put32(out, 0);
  PutId(out, "hdrl");
  PutId(out, "avih");
  Put32(out, 56);
  Put32(out, static_cast<uint32_t>(std::min<uint64_t>(micro, 0xFFFFFFFFu)));
  Put32(out, static_cast<uint32_t>(std::min<uint64_t>(bytesPerSec, 0xFFFFFFFFu)));
  Put32(out, 0);               // padding granularity
  Put32(out, AVIF_HASINDEX);   // flags
  Put32(out, frames);          // total frames
  Put32(out, 0);               // initial frames
  Put32(out, 1);               // streams
  Put32(out, stream->frameSize);
  Put32(out, static_cast<uint32_t>(bih.biWidth));
  Put32(out, static_cast<uint32_t>(bih.biHeight));
  for (int i = 0; i < 4; ++i) Put32(out, 0);
  PutId(out, "LIST");
  const size_t strlSize = out.size();
  Put32(out, 0);
  PutId(out, "strl");
  PutId(out, "strh");
  Put32(out, 56);
  Put32(out, streamtypeVIDEO);
  Put32(out, info.fccHandler != 0 ? info.fccHandler : comptypeDIB);
  Put32(out, info.dwFlags);
  Put16(out, info.wPriority);
  Put16(out, info.wLanguage);
  Put32(out, 0);  // initial frames
  Put32(out, info.dwScale);
  Put32(out, info.dwRate);
  Put32(out, info.dwStart);
  Put32(out, frames);
  Put32(out, stream->frameSize);
  Put32(out, info.dwQuality);
  Put32(out, 0);  // sample size: frames vary in general
  Put16(out, 0);
  Put16(out, 0);
  Put16(out, static_cast<uint16_t>(bih.biWidth));
  Put16(out, static_cast<uint16_t>(bih.biHeight));
  PutId(out, "strf");
  Put32(out, static_cast<uint32_t>(stream->format.size()));
  out.insert(out.end(), stream->format.begin(), stream->format.end());
  if (out.size() & 1) out.push_back(0);
  Patch32(out, strlSize, static_cast<uint32_t>(out.size() - strlSize - 4));
  Patch32(out, hdrlSize, static_cast<uint32_t>(out.size() - hdrlSize - 4));
  PutId(out, "LIST");
  const uint64_t moviEnd = stream->end;
  Put32(out, static_cast<uint32_t>(moviEnd - (out.size() + 4)));
  PutId(out, "movi");
  return out;
}

}  // namespace

namespace sim {
void SetAVIFileSizeLimit(uint64_t bytes) { gSizeLimit = bytes == 0 ? kAVI1MaxFileSize : bytes; }
}  // namespace sim

namespace avifile {

uint64_t FileSizeLimit() { return gSizeLimit; }

void FinishWrite(AVIFileObject* file) {
  AVIStreamObject* stream = file->written;
  bool whole = !file->failed && !file->abandoned && stream != nullptr && stream->formatSet;
  if (whole) {
    std::vector<Byte> index;
    PutId(index, "idx1");
    Put32(index, static_cast<uint32_t>(stream->index.size() * 16));
    for (const WrittenFrame& frame : stream->index) {
      PutId(index, "00db");
      Put32(index, AVIIF_KEYFRAME);
      Put32(index, frame.offset);
      Put32(index, frame.size);
    }
    const uint64_t fileEnd = stream->end + index.size();
    const std::vector<Byte> headers = BuildHeaders(stream, fileEnd);
    whole = headers.size() == stream->headerSize && WriteAt(file->fd, stream->end, index.data(), index.size()) &&
            WriteAt(file->fd, 0, headers.data(), headers.size()) &&
            ::ftruncate(file->fd, static_cast<off_t>(fileEnd)) == 0 && ::fsync(file->fd) == 0;
  }
  if (::close(file->fd) != 0) whole = false;
  file->fd = -1;
  if (whole && std::rename(file->tempName.c_str(), file->target.c_str()) == 0) {
    // complete
  } else {
    ::unlink(file->tempName.c_str());
  }
  delete stream;
  file->written = nullptr;
}

}  // namespace avifile

HRESULT AVIFileCreateStreamA(PAVIFILE pfile, PAVISTREAM* ppavi, const AVISTREAMINFOA* psi) {
  if (ppavi == nullptr) return AVIERR_BADPARAM;
  *ppavi = nullptr;
  if (pfile == nullptr) return AVIERR_BADHANDLE;
  if (!pfile->writing) return AVIERR_READONLY;
  if (psi == nullptr) return AVIERR_BADPARAM;
  // One video stream, shown at a rate that exists.
  if (pfile->written != nullptr || psi->fccType != streamtypeVIDEO) return AVIERR_UNSUPPORTED;
  if (psi->dwRate == 0 || psi->dwScale == 0) return AVIERR_BADPARAM;
  auto* stream = new AVIStreamObject;
  stream->file = pfile;
  stream->info = *psi;
  AVIFileAddRef(pfile);
  pfile->written = stream;
  *ppavi = stream;
  return AVIERR_OK;
}

HRESULT AVIStreamSetFormat(PAVISTREAM pavi, LONG lPos, const void* lpFormat, LONG cbFormat) {
  if (pavi == nullptr || pavi->file == nullptr) return AVIERR_BADHANDLE;
  AVIFileObject* file = pavi->file;
  if (!file->writing) return AVIERR_READONLY;
  if (pavi->formatSet || lPos != 0) return AVIERR_UNSUPPORTED;
  if (lpFormat == nullptr || cbFormat < static_cast<LONG>(sizeof(BITMAPINFOHEADER))) return AVIERR_BADFORMAT;
  BITMAPINFOHEADER bih;
  std::memcpy(&bih, lpFormat, sizeof(bih));
  if (bih.biSize != sizeof(BITMAPINFOHEADER) || bih.biCompression != BI_RGB || bih.biWidth <= 0 ||
      bih.biHeight <= 0 || bih.biWidth > 0xFFFF || bih.biHeight > 0xFFFF)
    return AVIERR_BADFORMAT;
  size_t tableBytes = 0;
  switch (bih.biBitCount) {
    case 8: {
      const size_t entries = bih.biClrUsed != 0 ? bih.biClrUsed : 256;
      if (entries > 256) return AVIERR_BADFORMAT;
      tableBytes = entries * 4;
      break;
    }
    case 16: case 24: case 32: break;
    default: return AVIERR_BADFORMAT;
  }
  if (static_cast<size_t>(cbFormat) < sizeof(bih) + tableBytes) return AVIERR_BADFORMAT;
  const uint64_t frameSize =
      avifile::RowBytes(static_cast<uint64_t>(bih.biWidth), bih.biBitCount) * static_cast<uint64_t>(bih.biHeight);
  if (frameSize > avifile::FileSizeLimit()) return AVIERR_BADSIZE;
  bih.biSizeImage = static_cast<DWORD>(frameSize);
  pavi->format.resize(sizeof(bih) + tableBytes);
  std::memcpy(pavi->format.data(), &bih, sizeof(bih));
  std::memcpy(pavi->format.data() + sizeof(bih), static_cast<const Byte*>(lpFormat) + sizeof(bih), tableBytes);
  pavi->frameSize = static_cast<uint32_t>(frameSize);
  // The headers go in now, to be completed at the end; the frames follow them.
  const std::vector<Byte> headers = BuildHeaders(pavi, 0);
  pavi->headerSize = static_cast<uint32_t>(headers.size());
  pavi->end = headers.size();
  if (!WriteAt(file->fd, 0, headers.data(), headers.size())) {
    file->failed = true;
    return AVIERR_FILEWRITE;
  }
  pavi->formatSet = true;
  return AVIERR_OK;
}

HRESULT AVIStreamWrite(PAVISTREAM pavi, LONG lStart, LONG lSamples, const void* lpBuffer, LONG cbBuffer,
                       DWORD /*dwFlags*/, LONG* plSampWritten, LONG* plBytesWritten) {
  if (plSampWritten != nullptr) *plSampWritten = 0;
  if (plBytesWritten != nullptr) *plBytesWritten = 0;
  if (pavi == nullptr || pavi->file == nullptr) return AVIERR_BADHANDLE;
  AVIFileObject* file = pavi->file;
  if (!file->writing) return AVIERR_READONLY;
  if (!pavi->formatSet) return AVIERR_BADFORMAT;
  if (file->failed) return AVIERR_FILEWRITE;
  if (lSamples <= 0 || lpBuffer == nullptr || cbBuffer < 0) return AVIERR_BADPARAM;
  if (lStart != -1 && static_cast<size_t>(lStart) != pavi->index.size()) return AVIERR_BADPARAM;
  // Whole frames of the format's size only.
  const uint64_t frameSize = pavi->frameSize;
  if (static_cast<uint64_t>(cbBuffer) != frameSize * static_cast<uint64_t>(lSamples)) return AVIERR_BADSIZE;
  // AVI 1.0's limit, with the index entries still to come, is checked before any of
  // these frames is written.
  const uint64_t chunk = 8 + frameSize + (frameSize & 1);
  const uint64_t frames = pavi->index.size() + static_cast<uint64_t>(lSamples);
  const uint64_t endAfter = pavi->end + chunk * static_cast<uint64_t>(lSamples) + 8 + 16 * frames;
  if (endAfter > avifile::FileSizeLimit()) {
    file->failed = true;
    return AVIERR_FILEWRITE;
  }
  const uint64_t moviType = pavi->headerSize - 4;
  const auto* bytes = static_cast<const Byte*>(lpBuffer);
  for (LONG i = 0; i < lSamples; ++i) {
    std::vector<Byte> head;
    PutId(head, "00db");
    Put32(head, static_cast<uint32_t>(frameSize));
    const Byte pad = 0;
    if (!WriteAt(file->fd, pavi->end, head.data(), head.size()) ||
        !WriteAt(file->fd, pavi->end + 8, bytes + frameSize * static_cast<uint64_t>(i), frameSize) ||
        ((frameSize & 1) != 0 && !WriteAt(file->fd, pavi->end + 8 + frameSize, &pad, 1))) {
      file->failed = true;
      return AVIERR_FILEWRITE;
    }
    pavi->index.push_back({static_cast<uint32_t>(pavi->end - moviType), static_cast<uint32_t>(frameSize)});
    pavi->end += chunk;
  }
  if (plSampWritten != nullptr) *plSampWritten = lSamples;
  if (plBytesWritten != nullptr) *plBytesWritten = cbBuffer;
  return AVIERR_OK;
}
