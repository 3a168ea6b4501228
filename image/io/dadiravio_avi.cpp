// TDadirAvIO's AVI frames: single frames of the first video stream of an AVI file,
// through the platform's AVIFile; and the MJPG frame decoder the library gives it.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "image/formats/jpegfilt.h"
#include "image/io/dadiravio.h"
#include "image/proc/dadiravproc_basic.h"

namespace {

// One MJPG frame (a whole JPEG picture) decoded by the JPEG codec into bottom-up
// 24-bit rows of the stream's size.
bool DecodeMJPGFrame(const Byte* data, size_t size, Integer width, Integer height, Byte* rows) {
  if (data == nullptr || size == 0 || size > static_cast<size_t>(TMemoryStream::kMaxSize)) return false;
  try {
    TMemoryStream stream;
    stream.Write(data, static_cast<Integer>(size));
    stream.SetPosition(0);
    TIEBitmap picture;
    TIOParamsVals params(nullptr);
    bool aborting = false;
    TProgressRec progress;
    progress.Aborting = &aborting;
    ReadJPegStream(&stream, nullptr, &picture, params, progress, false, false);
    if (aborting || picture.GetWidth() != width || picture.GetHeight() != height) return false;
    if (picture.GetPixelFormat() != ie24RGB) picture.ConvertToPixelFormat(ie24RGB);
    if (picture.GetPixelFormat() != ie24RGB) return false;
    const size_t rowBytes = ((static_cast<size_t>(width) * 24 + 31) / 32) * 4;
    for (Integer y = 0; y < height; ++y)
      std::memcpy(rows + rowBytes * static_cast<size_t>(height - 1 - y), picture.GetScanLine(y),
                  static_cast<size_t>(width) * 3);
    return true;
  } catch (...) {
    return false;
  }
}

// The decoders are there from the library's start.
const bool gDecodersInstalled = (IEInstallAVIDecoders(), true);

// The unit's end: the library's use of AVIFile ends with the process.
struct AVIFileEnd {
  ~AVIFileEnd() {
    if (gAVIFILEinit) {
      AVIFileExit();
      gAVIFILEinit = false;
    }
  }
} gAVIFileEnd;

}  // namespace

Integer IEAVIFrameDelay(const AVISTREAMINFOA& info) {
  if (info.dwRate == 0 || info.dwScale == 0) return 0;
  // Whole milliseconds, cut toward zero, of scale / rate seconds: exact in integers.
  return static_cast<Integer>(std::min<uint64_t>(uint64_t{info.dwScale} * 1000 / info.dwRate, 0x7FFFFFFF));
}

void IEInstallAVIDecoders() {
  (void)gDecodersInstalled;
  AVIFileSetDecoder(mmioFOURCC('M', 'J', 'P', 'G'), &DecodeMJPGFrame);
}

void TDadirAvIO::AVIHandles::Close() {
  if (file == nullptr) return;
  if (getter != nullptr) AVIStreamGetFrameClose(getter);
  if (stream != nullptr) AVIStreamRelease(stream);
  AVIFileRelease(file);
  getter = nullptr;
  stream = nullptr;
  file = nullptr;
}

Integer TDadirAvIO::OpenAVIFile(const AnsiString& FileName) {
  CloseAVIFile();
  Integer result = 0;
  params_->AVI_FrameCount = 0;
  params_->FileName = FileName;
  params_->FileType = 0;
  aborting_ = false;
  if (!gAVIFILEinit) {
    AVIFileInit();
    gAVIFILEinit = true;
  }
  IEInstallAVIDecoders();
  AVISTREAMINFOA info;
  if (AVIFileOpenA(&avi_.file, FileName.c_str(), OF_READ, nullptr) != AVIERR_OK) {
    aborting_ = true;
  } else if (AVIFileGetStream(avi_.file, &avi_.stream, streamtypeVIDEO, 0) != AVIERR_OK) {
    AVIFileRelease(avi_.file);
    aborting_ = true;
  } else if (AVIStreamInfoA(avi_.stream, &info, sizeof(info)) != AVIERR_OK) {
    AVIStreamRelease(avi_.stream);
    AVIFileRelease(avi_.file);
    aborting_ = true;
  } else {
    avi_.info = info;
    avi_.getter = AVIStreamGetFrameOpen(avi_.stream, nullptr);
    if (avi_.getter == nullptr) {
      AVIStreamRelease(avi_.stream);
      AVIFileRelease(avi_.file);
      aborting_ = true;
    } else {
      result = static_cast<Integer>(info.dwLength);
      params_->AVI_FrameCount = result;
      params_->AVI_FrameDelayTime = 0;
    }
  }
  if (aborting_) {
    // Nothing stays open after a failure.
    avi_.file = nullptr;
    avi_.stream = nullptr;
    avi_.getter = nullptr;
  }
  return result;
}

void TDadirAvIO::LoadFromAVI(Integer FrameIndex) {
  if (ReIssue(ieLoadSaveIndex, [this, FrameIndex] { LoadFromAVI(FrameIndex); })) return;
  aborting_ = false;
  Finishing([&] {
    if (ieBitmap_ == nullptr) return;
    // No file, or a frame the file does not have: the image stays, and the load has
    // failed.
    if (avi_.file == nullptr || avi_.stream == nullptr || avi_.getter == nullptr ||
        static_cast<DWORD>(FrameIndex) >= avi_.info.dwLength) {
      aborting_ = true;
      return;
    }
    ReEncapsulate();
    const void* frame = AVIStreamGetFrame(avi_.getter, FrameIndex);
    params_->AVI_FrameCount = static_cast<Integer>(avi_.info.dwLength);
    params_->AVI_FrameDelayTime = IEAVIFrameDelay(avi_.info);
    if (frame == nullptr) {
      aborting_ = true;
      return;
    }
    const auto* header = static_cast<const BITMAPINFOHEADER*>(frame);
    const Int64 dibSize = Int64{header->biSize} + (header->biBitCount <= 8 ? (Int64{4} << header->biBitCount) : 0) +
                          Int64{header->biSizeImage};
    TIEDibbitmap dib;
    const Word bitCount = _IECopyDIB2Bitmap2Ex(reinterpret_cast<uintptr_t>(frame), &dib, nullptr, true, dibSize);
    if (bitCount == 0) {
      aborting_ = true;
      return;
    }
    ieBitmap_->CopyFromTDibBitmap(&dib);
    switch (bitCount) {
      case 1: params_->BitsPerSample = 1; params_->SamplesPerPixel = 1; break;
      case 4: params_->BitsPerSample = 4; params_->SamplesPerPixel = 1; break;
      case 8: params_->BitsPerSample = 8; params_->SamplesPerPixel = 1; break;
      case 15: params_->BitsPerSample = 5; params_->SamplesPerPixel = 3; break;
      case 16: case 24: case 32: params_->BitsPerSample = 8; params_->SamplesPerPixel = 3; break;
      default: break;
    }
    params_->DpiX = gSystemDPIX;
    params_->DpiY = gSystemDPIY;
    params_->Width = dib.GetWidth();
    params_->Height = dib.GetHeight();
    params_->ColorMap.reset();
    params_->ColorMapCount = 0;
    Update();
  });
}

void TDadirAvIO::CloseAVIFile() { avi_.Close(); }
