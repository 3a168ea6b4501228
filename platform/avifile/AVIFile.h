// AVIFile: reading and writing RIFF AVI 1.0 files, one video stream at a time.
//
// Reading takes the first video stream ("vids") of a file: its description from the
// stream header, its format from the stream format chunk, and its frames from the
// file's idx1 index or, when there is none, from a walk through the movi list (JUNK,
// OpenDML index chunks and other streams' chunks are skipped). A frame getter hands
// out each frame as a packed DIB (header, colour table, bottom-up rows) that it owns
// until its next frame or its close. Uncompressed frames of 1, 4, 8 (with the
// stream's palette; indexes beyond it are black), 16 (5-5-5), 24 and 32 bits come
// out as they are stored, run-length frames (BI_RLE8) as 8-bit frames, and frames of
// a compression a decoder was installed for (AVIFileSetDecoder: the image library
// installs its JPEG decoder for 'MJPG') as 24-bit frames. The frame count of a
// stream is the number of frames the file really holds, whatever its headers claim.
//
// Writing creates one uncompressed video stream: the main header (avih), the stream
// header (strh) and format (strf), one 00db chunk per frame and the idx1 index with
// every frame a key frame. The file is written under a temporary name in the
// target's folder; the last release of the file completes the sizes and counts and
// renames it over the target. A file that never received its format, or whose
// writing failed or was abandoned (AVIFileAbandon), is removed instead: no
// half-written file is ever left. A write that would take the file beyond AVI 1.0's
// 2 GiB limit fails before anything of it is written.
//
// A result of 0 (AVIERR_OK) means success for the calls that return a status.
#pragma once

#include <cstddef>

#include "platform/ole/Guid.h"
#include "platform/ole/OleErrors.h"
#include "platform/rtl/Types.h"
#include "platform/win/Gdi.h"
#include "platform/win/WinTypes.h"

// Four-character codes, first character in the lowest byte.
constexpr DWORD mmioFOURCC(char a, char b, char c, char d) {
  return static_cast<DWORD>(static_cast<Byte>(a)) | (static_cast<DWORD>(static_cast<Byte>(b)) << 8) |
         (static_cast<DWORD>(static_cast<Byte>(c)) << 16) | (static_cast<DWORD>(static_cast<Byte>(d)) << 24);
}
inline constexpr DWORD streamtypeVIDEO = mmioFOURCC('v', 'i', 'd', 's');
inline constexpr DWORD streamtypeAUDIO = mmioFOURCC('a', 'u', 'd', 's');
inline constexpr DWORD comptypeDIB = mmioFOURCC('D', 'I', 'B', ' ');

// Open modes.
inline constexpr UINT OF_READ = 0x0000;
inline constexpr UINT OF_WRITE = 0x0001;
inline constexpr UINT OF_CREATE = 0x1000;

// Index flags.
inline constexpr DWORD AVIIF_LIST = 0x00000001;
inline constexpr DWORD AVIIF_KEYFRAME = 0x00000010;
// Main header flags.
inline constexpr DWORD AVIF_HASINDEX = 0x00000010;

// Status codes.
inline constexpr HRESULT AVIERR_OK = 0;
inline constexpr HRESULT AVIERR_UNSUPPORTED = static_cast<HRESULT>(0x80044065);
inline constexpr HRESULT AVIERR_BADFORMAT = static_cast<HRESULT>(0x80044066);
inline constexpr HRESULT AVIERR_MEMORY = static_cast<HRESULT>(0x80044067);
inline constexpr HRESULT AVIERR_BADPARAM = static_cast<HRESULT>(0x8004406A);
inline constexpr HRESULT AVIERR_BADSIZE = static_cast<HRESULT>(0x8004406B);
inline constexpr HRESULT AVIERR_BADHANDLE = static_cast<HRESULT>(0x8004406C);
inline constexpr HRESULT AVIERR_FILEREAD = static_cast<HRESULT>(0x8004406D);
inline constexpr HRESULT AVIERR_FILEWRITE = static_cast<HRESULT>(0x8004406E);
inline constexpr HRESULT AVIERR_FILEOPEN = static_cast<HRESULT>(0x8004406F);
inline constexpr HRESULT AVIERR_READONLY = static_cast<HRESULT>(0x80044072);
inline constexpr HRESULT AVIERR_NODATA = static_cast<HRESULT>(0x80044073);

// The largest AVI 1.0 file: its offsets and sizes are signed 32-bit numbers to many
// readers.
inline constexpr uint64_t kAVI1MaxFileSize = 0x7FFFFFFFull;

// A stream's description, in the platform's 140-byte layout.
struct AVISTREAMINFOA {
  DWORD fccType = 0;
  DWORD fccHandler = 0;
  DWORD dwFlags = 0;
  DWORD dwCaps = 0;
  WORD wPriority = 0;
  WORD wLanguage = 0;
  DWORD dwScale = 0;  // dwRate / dwScale samples (frames) per second
  DWORD dwRate = 0;
  DWORD dwStart = 0;
  DWORD dwLength = 0;  // frames
  DWORD dwInitialFrames = 0;
  DWORD dwSuggestedBufferSize = 0;
  DWORD dwQuality = 0;
  DWORD dwSampleSize = 0;
  RECT rcFrame;
  DWORD dwEditCount = 0;
  DWORD dwFormatChangeCount = 0;
  char szName[64] = {};
};
static_assert(sizeof(AVISTREAMINFOA) == 140);
using AVISTREAMINFO = AVISTREAMINFOA;

// Compression options of a written stream (AVISaveOptions).
struct AVICOMPRESSOPTIONS {
  DWORD fccType = 0;
  DWORD fccHandler = 0;
  DWORD dwKeyFrameEvery = 0;
  DWORD dwQuality = 0;
  DWORD dwBytesPerSecond = 0;
  DWORD dwFlags = 0;
  void* lpFormat = nullptr;
  DWORD cbFormat = 0;
  void* lpParms = nullptr;
  DWORD cbParms = 0;
  DWORD dwInterleaveEvery = 0;
};
using LPAVICOMPRESSOPTIONS = AVICOMPRESSOPTIONS*;

struct AVIFileObject;
struct AVIStreamObject;
struct AVIGetFrameObject;
using PAVIFILE = AVIFileObject*;
using PAVISTREAM = AVIStreamObject*;
using PGETFRAME = AVIGetFrameObject*;

// The library's use count: each AVIFileInit is matched by an AVIFileExit.
void AVIFileInit();
void AVIFileExit();

// Opens a file: OF_READ reads an existing file, OF_CREATE | OF_WRITE creates one.
HRESULT AVIFileOpenA(PAVIFILE* ppfile, const char* szFile, UINT uMode, const CLSID* lpHandler);
inline HRESULT AVIFileOpen(PAVIFILE* ppfile, const char* szFile, UINT uMode, const CLSID* lpHandler) {
  return AVIFileOpenA(ppfile, szFile, uMode, lpHandler);
}
// Releases a reference; answers the references left. The last one closes the file
// (a written file is completed, or removed when it is not whole).
ULONG AVIFileRelease(PAVIFILE pfile);
ULONG AVIFileAddRef(PAVIFILE pfile);
// The lParam-th stream (0-based) of type fccType (0: any type). A stream holds a
// reference to its file.
HRESULT AVIFileGetStream(PAVIFILE pfile, PAVISTREAM* ppavi, DWORD fccType, LONG lParam);
// Creates the stream of a file opened for writing (one video stream).
HRESULT AVIFileCreateStreamA(PAVIFILE pfile, PAVISTREAM* ppavi, const AVISTREAMINFOA* psi);
inline HRESULT AVIFileCreateStream(PAVIFILE pfile, PAVISTREAM* ppavi, const AVISTREAMINFOA* psi) {
  return AVIFileCreateStreamA(pfile, ppavi, psi);
}
// Marks a file opened for writing as abandoned: its last release removes it.
void AVIFileAbandon(PAVIFILE pfile);

ULONG AVIStreamRelease(PAVISTREAM pavi);
ULONG AVIStreamAddRef(PAVISTREAM pavi);
// Copies the description (at most lSize bytes of it).
HRESULT AVIStreamInfoA(PAVISTREAM pavi, AVISTREAMINFOA* psi, LONG lSize);
inline HRESULT AVIStreamInfo(PAVISTREAM pavi, AVISTREAMINFOA* psi, LONG lSize) {
  return AVIStreamInfoA(pavi, psi, lSize);
}
LONG AVIStreamLength(PAVISTREAM pavi);
// The stream's format (the BITMAPINFOHEADER with its colour table) into lpFormat;
// *lpcbFormat gives its room and receives its size (lpFormat null: the size only).
HRESULT AVIStreamReadFormat(PAVISTREAM pavi, LONG lPos, void* lpFormat, LONG* lpcbFormat);
// Sets the format of a written stream before its first frame: a BITMAPINFOHEADER of
// an uncompressed picture (8 bits with its colour table, 16, 24 or 32 bits).
HRESULT AVIStreamSetFormat(PAVISTREAM pavi, LONG lPos, const void* lpFormat, LONG cbFormat);
// Appends frames to a written stream: lStart must be the next frame, and cbBuffer
// bytes hold lSamples whole frames of the format's size.
HRESULT AVIStreamWrite(PAVISTREAM pavi, LONG lStart, LONG lSamples, const void* lpBuffer, LONG cbBuffer,
                       DWORD dwFlags, LONG* plSampWritten, LONG* plBytesWritten);

// A frame getter: lpbiWanted null (or a header asking for 24 bits) takes the frames
// as described above. Null for a stream whose frames cannot be decoded.
PGETFRAME AVIStreamGetFrameOpen(PAVISTREAM pavi, const BITMAPINFOHEADER* lpbiWanted);
// The packed DIB of frame lPos, owned by the getter; null when the frame is beyond the
// stream, damaged or cannot be decoded.
void* AVIStreamGetFrame(PGETFRAME pg, LONG lPos);
HRESULT AVIStreamGetFrameClose(PGETFRAME pg);

// The compression of written streams: an uncompressed stream needs none, so this
// answers another reference to the same stream for "full frames".
HRESULT AVIMakeCompressedStream(PAVISTREAM* ppsCompressed, PAVISTREAM psSource,
                                const AVICOMPRESSOPTIONS* lpOptions, const CLSID* pclsidHandler);

// The compression dialog for nStreams streams: "Full Frames (Uncompressed)" or
// Cancel. TRUE when confirmed, with the options filled (fccHandler comptypeDIB);
// FALSE when cancelled.
BOOL AVISaveOptions(HWND hwnd, UINT uiFlags, int nStreams, PAVISTREAM* ppavi,
                    LPAVICOMPRESSOPTIONS* plpOptions);
HRESULT AVISaveOptionsFree(int nStreams, LPAVICOMPRESSOPTIONS* plpOptions);

// Decoders of compressed frames. A decoder receives one frame's bytes and the
// stream's width and height, and writes width x height pixels as bottom-up 24-bit
// rows (blue, green, red; each row padded to 4 bytes) into rows; false when the
// frame cannot be decoded to that size. Installed for a compression code
// (biCompression, e.g. mmioFOURCC('M','J','P','G')); null removes it.
using AVIFrameDecoder = bool (*)(const Byte* data, size_t size, Integer width, Integer height, Byte* rows);
void AVIFileSetDecoder(DWORD compression, AVIFrameDecoder decoder);
AVIFrameDecoder AVIFileGetDecoder(DWORD compression);
