// AVIFile: the library's use count, files and streams, and reading a file's
// structure (the stream headers and the frame table).
#include "platform/avifile/AVIFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <mutex>

#include "platform/avifile/AVIFileInternal.h"

using avifile::FrameEntry;
using avifile::StreamHeader;

namespace {

std::atomic<int> gInitCount{0};

std::mutex& DecoderLock() {
  static std::mutex lock;
  return lock;
}
std::map<DWORD, AVIFrameDecoder>& Decoders() {
  static std::map<DWORD, AVIFrameDecoder> decoders;
  return decoders;
}

constexpr DWORD kRIFF = mmioFOURCC('R', 'I', 'F', 'F');
constexpr DWORD kAVI = mmioFOURCC('A', 'V', 'I', ' ');
constexpr DWORD kLIST = mmioFOURCC('L', 'I', 'S', 'T');
constexpr DWORD kHdrl = mmioFOURCC('h', 'd', 'r', 'l');
constexpr DWORD kStrl = mmioFOURCC('s', 't', 'r', 'l');
constexpr DWORD kStrh = mmioFOURCC('s', 't', 'r', 'h');
constexpr DWORD kStrf = mmioFOURCC('s', 't', 'r', 'f');
constexpr DWORD kMovi = mmioFOURCC('m', 'o', 'v', 'i');
constexpr DWORD kRec = mmioFOURCC('r', 'e', 'c', ' ');
constexpr DWORD kIdx1 = mmioFOURCC('i', 'd', 'x', '1');

// More streams than two digits can name are not looked at.
constexpr size_t kMaxStreams = 100;
// A stream format larger than this is not a picture's.
constexpr uint64_t kMaxFormatBytes = 1 << 20;
// idx1 entries are read this many at a time.
constexpr uint64_t kIndexBlock = 4096;

uint32_t Get32(const Byte* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}
uint16_t Get16(const Byte* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

// Reads exactly size bytes at offset; false when the file holds fewer.
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

// The chunk id of frames of stream n: "nndb" or "nndc" (the last two characters are
// compared by the caller).
bool IsFrameChunk(DWORD id, Integer stream) {
  const Byte d0 = static_cast<Byte>(id & 0xFF);
  const Byte d1 = static_cast<Byte>((id >> 8) & 0xFF);
  const Byte t0 = static_cast<Byte>((id >> 16) & 0xFF);
  const Byte t1 = static_cast<Byte>((id >> 24) & 0xFF);
  if (d0 != '0' + stream / 10 || d1 != '0' + stream % 10) return false;
  return t0 == 'd' && (t1 == 'b' || t1 == 'c');
}

// Walks the chunks of [begin, end): calls visit(id, dataStart, dataEnd) for each, the
// data clipped to end. Every step moves forward by at least 8 bytes, so any file ends.
template <typename Visit>
void WalkChunks(int fd, uint64_t begin, uint64_t end, Visit visit) {
  uint64_t pos = begin;
  while (pos + 8 <= end) {
    Byte head[8];
    if (!ReadAt(fd, pos, head, 8)) return;
    const DWORD id = Get32(head);
    const uint64_t size = Get32(head + 4);
    const uint64_t dataStart = pos + 8;
    const uint64_t dataEnd = std::min(dataStart + size, end);
    if (!visit(id, dataStart, dataEnd)) return;
    pos = dataStart + size + (size & 1);
  }
}

void ParseStrl(AVIFileObject* file, uint64_t begin, uint64_t end) {
  StreamHeader stream;
  stream.number = static_cast<Integer>(file->streams.size());
  bool haveHeader = false;
  WalkChunks(file->fd, begin, end, [&](DWORD id, uint64_t start, uint64_t stop) {
    if (id == kStrh && !haveHeader) {
      Byte h[56] = {};
      const size_t n = static_cast<size_t>(std::min<uint64_t>(stop - start, sizeof(h)));
      if (n < 48 || !ReadAt(file->fd, start, h, n)) return true;
      AVISTREAMINFOA& info = stream.info;
      info.fccType = Get32(h);
      info.fccHandler = Get32(h + 4);
      info.dwFlags = Get32(h + 8);
      info.wPriority = Get16(h + 12);
      info.wLanguage = Get16(h + 14);
      info.dwInitialFrames = Get32(h + 16);
      info.dwScale = Get32(h + 20);
      info.dwRate = Get32(h + 24);
      info.dwStart = Get32(h + 28);
      info.dwLength = Get32(h + 32);
      info.dwSuggestedBufferSize = Get32(h + 36);
      info.dwQuality = Get32(h + 40);
      info.dwSampleSize = Get32(h + 44);
      if (n >= 56) {
        info.rcFrame.left = static_cast<int16_t>(Get16(h + 48));
        info.rcFrame.top = static_cast<int16_t>(Get16(h + 50));
        info.rcFrame.right = static_cast<int16_t>(Get16(h + 52));
        info.rcFrame.bottom = static_cast<int16_t>(Get16(h + 54));
      }
      haveHeader = true;
    } else if (id == kStrf && stream.format.empty()) {
      const uint64_t n = std::min(stop - start, kMaxFormatBytes);
      stream.format.resize(static_cast<size_t>(n));
      if (n > 0 && !ReadAt(file->fd, start, stream.format.data(), stream.format.size())) stream.format.clear();
    }
    return true;
  });
  if (haveHeader) file->streams.push_back(std::move(stream));
}

void ParseHdrl(AVIFileObject* file, uint64_t begin, uint64_t end) {
  WalkChunks(file->fd, begin, end, [&](DWORD id, uint64_t start, uint64_t stop) {
    if (id == kLIST && stop - start >= 4) {
      Byte type[4];
      if (ReadAt(file->fd, start, type, 4) && Get32(type) == kStrl && file->streams.size() < kMaxStreams)
        ParseStrl(file, start + 4, stop);
    }
    return true;
  });
}

// Reads the file's structure; false when it is no AVI file.
bool ParseFile(AVIFileObject* file) {
  Byte head[12];
  if (file->fileSize < 12 || !ReadAt(file->fd, 0, head, 12)) return false;
  if (Get32(head) != kRIFF || Get32(head + 8) != kAVI) return false;
  const uint64_t riffEnd = std::min<uint64_t>(8 + static_cast<uint64_t>(Get32(head + 4)), file->fileSize);
  bool haveHdrl = false;
  WalkChunks(file->fd, 12, riffEnd, [&](DWORD id, uint64_t start, uint64_t stop) {
    if (id == kLIST && stop - start >= 4) {
      Byte type[4];
      if (!ReadAt(file->fd, start, type, 4)) return false;
      const DWORD listType = Get32(type);
      if (listType == kHdrl && !haveHdrl) {
        haveHdrl = true;
        ParseHdrl(file, start + 4, stop);
      } else if (listType == kMovi && !file->hasMovi) {
        file->hasMovi = true;
        file->moviStart = start;
        file->moviEnd = stop;
      }
    } else if (id == kIdx1 && !file->hasIdx1) {
      // An index cut short by the end of the file is not used: the walk through movi
      // finds every frame the file still holds.
      Byte size[4];
      if (!ReadAt(file->fd, start - 4, size, 4) || start + Get32(size) > file->fileSize) return true;
      file->hasIdx1 = true;
      file->idx1Start = start;
      file->idx1Size = stop - start;
    }
    return true;
  });
  return haveHdrl;
}

// The frame table from idx1. Offsets count from the movi list's type, or from the
// start of the file; the first frame's chunk header tells which.
void FramesFromIndex(AVIFileObject* file, Integer stream, std::vector<FrameEntry>& frames) {
  const uint64_t count = file->idx1Size / 16;
  bool baseKnown = false;
  uint64_t base = file->moviStart;
  std::vector<Byte> block;
  for (uint64_t first = 0; first < count; first += kIndexBlock) {
    const uint64_t n = std::min(kIndexBlock, count - first);
    block.resize(static_cast<size_t>(n * 16));
    if (!ReadAt(file->fd, file->idx1Start + first * 16, block.data(), block.size())) return;
    for (uint64_t i = 0; i < n; ++i) {
      const Byte* e = block.data() + i * 16;
      const DWORD id = Get32(e);
      const DWORD flags = Get32(e + 4);
      const uint64_t offset = Get32(e + 8);
      const uint64_t size = Get32(e + 12);
      if ((flags & AVIIF_LIST) != 0 || !IsFrameChunk(id, stream)) continue;
      if (!baseKnown) {
        baseKnown = true;
        Byte probe[4];
        const bool relative = ReadAt(file->fd, file->moviStart + offset, probe, 4) && Get32(probe) == id;
        const bool absolute = ReadAt(file->fd, offset, probe, 4) && Get32(probe) == id;
        base = (!relative && absolute) ? 0 : file->moviStart;
      }
      FrameEntry frame;
      frame.offset = base + offset + 8;
      frame.size = static_cast<uint32_t>(size);
      frame.key = (flags & AVIIF_KEYFRAME) != 0;
      // An entry whose bytes lie outside the file names no frame the file holds.
      if (frame.offset + size > file->fileSize) continue;
      frames.push_back(frame);
    }
  }
}

// The frame table from the chunks of the movi list (and its 'rec ' lists).
void FramesFromMovi(AVIFileObject* file, Integer stream, uint64_t begin, uint64_t end, int depth,
                    std::vector<FrameEntry>& frames) {
  WalkChunks(file->fd, begin, end, [&](DWORD id, uint64_t start, uint64_t stop) {
    if (id == kLIST) {
      Byte type[4];
      if (depth < 2 && stop - start >= 4 && ReadAt(file->fd, start, type, 4) && Get32(type) == kRec)
        FramesFromMovi(file, stream, start + 4, stop, depth + 1, frames);
    } else if (IsFrameChunk(id, stream)) {
      // A chunk cut short by the end of the file is no frame.
      Byte head[8];
      if (ReadAt(file->fd, start - 8, head, 8) && start + Get32(head + 4) <= file->fileSize) {
        FrameEntry frame;
        frame.offset = start;
        frame.size = static_cast<uint32_t>(stop - start);
        frame.key = frames.empty();
        frames.push_back(frame);
      }
    }
    return true;
  });
}

void CloseFile(AVIFileObject* file) {
  if (file->writing) {
    avifile::FinishWrite(file);
  } else if (file->fd >= 0) {
    ::close(file->fd);
  }
  delete file;
}

}  // namespace

void AVIFileInit() { ++gInitCount; }
void AVIFileExit() {
  if (gInitCount > 0) --gInitCount;
}

HRESULT AVIFileOpenA(PAVIFILE* ppfile, const char* szFile, UINT uMode, const CLSID* /*lpHandler*/) {
  if (ppfile == nullptr) return AVIERR_BADPARAM;
  *ppfile = nullptr;
  if (szFile == nullptr || *szFile == '\0') return AVIERR_FILEOPEN;
  auto* file = new AVIFileObject;
  if ((uMode & (OF_CREATE | OF_WRITE)) != 0) {
    // Written under a temporary name beside the target, renamed over it when whole.
    file->writing = true;
    file->target = szFile;
    std::string pattern = file->target + ".XXXXXX";
    file->fd = ::mkstemp(pattern.data());
    if (file->fd < 0) {
      delete file;
      return AVIERR_FILEOPEN;
    }
    ::fchmod(file->fd, 0644);
    file->tempName = pattern;
    *ppfile = file;
    return AVIERR_OK;
  }
  file->fd = ::open(szFile, O_RDONLY | O_CLOEXEC);
  struct stat st {};
  if (file->fd < 0 || ::fstat(file->fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    if (file->fd >= 0) ::close(file->fd);
    delete file;
    return AVIERR_FILEOPEN;
  }
  file->fileSize = static_cast<uint64_t>(st.st_size);
  if (!ParseFile(file)) {
    ::close(file->fd);
    delete file;
    return AVIERR_BADFORMAT;
  }
  *ppfile = file;
  return AVIERR_OK;
}

ULONG AVIFileAddRef(PAVIFILE pfile) { return pfile == nullptr ? 0 : ++pfile->refs; }

ULONG AVIFileRelease(PAVIFILE pfile) {
  if (pfile == nullptr) return 0;
  const ULONG left = --pfile->refs;
  if (left == 0) CloseFile(pfile);
  return left;
}

void AVIFileAbandon(PAVIFILE pfile) {
  if (pfile != nullptr && pfile->writing) pfile->abandoned = true;
}

HRESULT AVIFileGetStream(PAVIFILE pfile, PAVISTREAM* ppavi, DWORD fccType, LONG lParam) {
  if (ppavi == nullptr) return AVIERR_BADPARAM;
  *ppavi = nullptr;
  if (pfile == nullptr) return AVIERR_BADHANDLE;
  if (pfile->writing) {
    if (pfile->written == nullptr || (fccType != 0 && fccType != pfile->written->info.fccType) || lParam != 0)
      return AVIERR_NODATA;
    AVIStreamAddRef(pfile->written);
    AVIFileAddRef(pfile);
    *ppavi = pfile->written;
    return AVIERR_OK;
  }
  LONG seen = 0;
  for (const StreamHeader& header : pfile->streams) {
    if (fccType != 0 && header.info.fccType != fccType) continue;
    if (seen++ != lParam) continue;
    auto* stream = new AVIStreamObject;
    stream->file = pfile;
    AVIFileAddRef(pfile);
    stream->info = header.info;
    stream->format = header.format;
    if (pfile->hasIdx1) FramesFromIndex(pfile, header.number, stream->frames);
    if (stream->frames.empty() && pfile->hasMovi)
      FramesFromMovi(pfile, header.number, pfile->moviStart + 4, pfile->moviEnd, 0, stream->frames);
    // The stream is as long as the frames the file really holds.
    stream->info.dwLength = static_cast<DWORD>(stream->frames.size());
    *ppavi = stream;
    return AVIERR_OK;
  }
  return AVIERR_NODATA;
}

ULONG AVIStreamAddRef(PAVISTREAM pavi) { return pavi == nullptr ? 0 : ++pavi->refs; }

ULONG AVIStreamRelease(PAVISTREAM pavi) {
  if (pavi == nullptr) return 0;
  const ULONG left = --pavi->refs;
  if (left == 0) {
    AVIFileObject* file = pavi->file;
    // A written stream stays with its file, which completes itself from it.
    if (file == nullptr || !file->writing) delete pavi;
    AVIFileRelease(file);
  }
  return left;
}

HRESULT AVIStreamInfoA(PAVISTREAM pavi, AVISTREAMINFOA* psi, LONG lSize) {
  if (pavi == nullptr) return AVIERR_BADHANDLE;
  if (psi == nullptr || lSize < 0) return AVIERR_BADPARAM;
  AVISTREAMINFOA info = pavi->info;
  if (pavi->file != nullptr && pavi->file->writing) info.dwLength = static_cast<DWORD>(pavi->index.size());
  std::memcpy(psi, &info, std::min<size_t>(static_cast<size_t>(lSize), sizeof(info)));
  return AVIERR_OK;
}

LONG AVIStreamLength(PAVISTREAM pavi) {
  AVISTREAMINFOA info;
  if (AVIStreamInfoA(pavi, &info, sizeof(info)) != AVIERR_OK) return -1;
  return static_cast<LONG>(info.dwLength);
}

HRESULT AVIStreamReadFormat(PAVISTREAM pavi, LONG /*lPos*/, void* lpFormat, LONG* lpcbFormat) {
  if (pavi == nullptr) return AVIERR_BADHANDLE;
  if (lpcbFormat == nullptr) return AVIERR_BADPARAM;
  const LONG size = static_cast<LONG>(pavi->format.size());
  if (lpFormat != nullptr) {
    if (*lpcbFormat < 0) return AVIERR_BADPARAM;
    // A stream may have an empty format chunk: nothing to copy then.
    const LONG count = std::min(*lpcbFormat, size);
    if (count > 0) std::memcpy(lpFormat, pavi->format.data(), static_cast<size_t>(count));
  }
  *lpcbFormat = size;
  return AVIERR_OK;
}

HRESULT AVIMakeCompressedStream(PAVISTREAM* ppsCompressed, PAVISTREAM psSource,
                                const AVICOMPRESSOPTIONS* lpOptions, const CLSID* /*pclsidHandler*/) {
  if (ppsCompressed == nullptr) return AVIERR_BADPARAM;
  *ppsCompressed = nullptr;
  if (psSource == nullptr) return AVIERR_BADHANDLE;
  if (lpOptions != nullptr && lpOptions->fccHandler != 0 && lpOptions->fccHandler != comptypeDIB)
    return AVIERR_UNSUPPORTED;
  AVIStreamAddRef(psSource);
  *ppsCompressed = psSource;
  return AVIERR_OK;
}

void AVIFileSetDecoder(DWORD compression, AVIFrameDecoder decoder) {
  std::lock_guard<std::mutex> hold(DecoderLock());
  if (decoder == nullptr)
    Decoders().erase(compression);
  else
    Decoders()[compression] = decoder;
}

AVIFrameDecoder AVIFileGetDecoder(DWORD compression) {
  std::lock_guard<std::mutex> hold(DecoderLock());
  const auto found = Decoders().find(compression);
  return found == Decoders().end() ? nullptr : found->second;
}
