// TDadirAvMIO's AVI files: every frame of a video stream into the grid, and the
// grid's images out as an uncompressed video stream.
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "image/io/dadiravio.h"
#include "image/io/iemio.h"
#include "image/proc/dadiravproc_basic.h"
#include "image/views/iemview.h"
#include "platform/avifile/AVIFile.h"
#include "platform/win/GlobalMemory.h"

namespace {

void StartAVIFile() {
  if (gAVIFILEinit) return;
  AVIFileInit();
  gAVIFILEinit = true;
}

void SetDepth(TIOParamsVals& p, Word bitCount) {
  switch (bitCount) {
    case 1: p.BitsPerSample = 1; p.SamplesPerPixel = 1; break;
    case 4: p.BitsPerSample = 4; p.SamplesPerPixel = 1; break;
    case 8: p.BitsPerSample = 8; p.SamplesPerPixel = 1; break;
    case 15: p.BitsPerSample = 5; p.SamplesPerPixel = 3; break;
    case 16: case 24: case 32: p.BitsPerSample = 8; p.SamplesPerPixel = 3; break;
    default: break;
  }
}

// A packed DIB in global memory, freed with its owner.
struct GlobalDib {
  HGLOBAL handle = 0;
  ~GlobalDib() {
    if (handle != 0) GlobalFree(handle);
  }
};

}  // namespace

void TDadirAvMIO::LoadFromFileAVI(const AnsiString& FileName) {
  aborting_ = false;
  if (view_ == nullptr) return;
  StartAVIFile();
  IEInstallAVIDecoders();
  PAVIFILE file = nullptr;
  PAVISTREAM stream = nullptr;
  PGETFRAME getter = nullptr;
  AVISTREAMINFOA info;
  if (AVIFileOpenA(&file, FileName.c_str(), OF_READ, nullptr) != AVIERR_OK) {
    aborting_ = true;
    return;
  }
  if (AVIFileGetStream(file, &stream, streamtypeVIDEO, 0) != AVIERR_OK ||
      AVIStreamInfoA(stream, &info, sizeof(info)) != AVIERR_OK ||
      (getter = AVIStreamGetFrameOpen(stream, nullptr)) == nullptr) {
    if (stream != nullptr) AVIStreamRelease(stream);
    AVIFileRelease(file);
    aborting_ = true;
    return;
  }
  // The platform counts the frames the file holds, so a header claiming more makes
  // the grid no larger.
  const Integer count = static_cast<Integer>(std::min<DWORD>(info.dwLength, 0x7FFFFFFF));
  const Integer delay = IEAVIFrameDelay(info);
  Integer idx = InsertionPoint();
  for (Integer i = 0; i < count; ++i) {
    const void* frame = AVIStreamGetFrame(getter, i);
    if (frame == nullptr) {
      aborting_ = true;
      break;
    }
    const auto* header = static_cast<const BITMAPINFOHEADER*>(frame);
    const Int64 dibSize = Int64{header->biSize} + (header->biBitCount <= 8 ? (Int64{4} << header->biBitCount) : 0) +
                          Int64{header->biSizeImage};
    TIEDibbitmap dib;
    const Word bitCount = _IECopyDIB2Bitmap2Ex(reinterpret_cast<uintptr_t>(frame), &dib, nullptr, true, dibSize);
    if (bitCount == 0) {
      aborting_ = true;
      break;
    }
    idx = view_->InsertImageEx(idx);
    view_->SetIEBitmapEx(idx, &dib);
    if (i == 0) view_->PrepareSpaceFor(dib.GetWidth(), dib.GetHeight(), bitCount, count - 1);
    view_->SetImageDelayTime(idx, delay);
    if (TIOParamsVals* p = GetParams(idx)) {
      p->GIF_DelayTime = delay;  // milliseconds here, not hundredths
      SetDepth(*p, bitCount);
      p->GIF_ImageIndex = idx;
      p->TIFF_ImageIndex = idx;
      p->DpiX = gSystemDPIX;
      p->DpiY = gSystemDPIY;
      p->Width = dib.GetWidth();
      p->Height = dib.GetHeight();
      p->FileName = FileName;
      p->FileType = 0;
      p->ColorMap.reset();
      p->ColorMapCount = 0;
    }
    Progress(static_cast<Integer>(Int64{i} * 100 / count));
    if (aborting_) break;
    ++idx;
  }
  AVIStreamGetFrameClose(getter);
  AVIStreamRelease(stream);
  AVIFileRelease(file);
  Update();
}

void TDadirAvMIO::SaveToFileAVI(const AnsiString& FileName) {
  aborting_ = false;
  if (view_ == nullptr || view_->GetImageCount() == 0) return;
  StartAVIFile();
  PAVIFILE file = nullptr;
  // The platform writes under a temporary name and renames it over the target at the
  // last release; an abandoned file is removed instead.
  if (AVIFileOpenA(&file, FileName.c_str(), OF_CREATE | OF_WRITE, nullptr) != AVIERR_OK)
    throw EInvalidGraphic("unable to create AVI file");
  AVISTREAMINFOA info;
  info.fccType = streamtypeVIDEO;
  // Each frame is shown for image 0's display time: the scale in milliseconds over a
  // rate of 1000 keeps any time exactly (a rate of whole frames per second cannot).
  info.dwScale = static_cast<DWORD>(std::max(view_->GetImageDelayTime(0), 1));
  info.dwRate = 1000;
  AVICOMPRESSOPTIONS options;
  AVICOMPRESSOPTIONS* optionList[1] = {&options};
  PAVISTREAM stream = nullptr;
  PAVISTREAM compressed = nullptr;
  bool asked = false;
  const Integer refW = view_->GetImageWidth(0), refH = view_->GetImageHeight(0);
  const Integer count = view_->GetImageCount();
  Integer source = 0;
  TIEBitmap work;
  for (Integer i = 0; i < count; ++i) {
    if (view_->GetImageWidth(i) == refW && view_->GetImageHeight(i) == refH) source = i;
    if (!view_->CopyToIEBitmap(source, &work)) {
      aborting_ = true;
      break;
    }
    // Every frame as 24 bits: the one format every reader takes.
    if (work.GetPixelFormat() != ie24RGB) work.ConvertToPixelFormat(ie24RGB);
    GlobalDib dib;
    dib.handle = _CopyBitmaptoDIBEx(&work, 0, 0, work.GetWidth(), work.GetHeight());
    const auto* bytes = dib.handle != 0 ? static_cast<const Byte*>(GlobalLock(dib.handle)) : nullptr;
    if (bytes == nullptr) {
      aborting_ = true;
      break;
    }
    // The frame's bits: its rows as the header gives them, after the header (a 24-bit
    // picture has no colour table).
    BITMAPINFOHEADER header;
    std::memcpy(&header, bytes, sizeof header);
    const Int64 rowBytes = (Int64{header.biWidth} * header.biBitCount + 31) / 32 * 4;
    const auto bitsSize = static_cast<LONG>(rowBytes * std::abs(header.biHeight));
    const auto size = static_cast<LONG>(sizeof(BITMAPINFOHEADER)) + bitsSize;
    if (static_cast<size_t>(size) > GlobalSize(dib.handle)) {
      GlobalUnlock(dib.handle);
      aborting_ = true;
      break;
    }
    if (i == 0) {
      info.dwSuggestedBufferSize = static_cast<DWORD>(size);
      info.rcFrame = RECT{0, 0, work.GetWidth(), work.GetHeight()};
      if (AVIFileCreateStreamA(file, &stream, &info) != AVIERR_OK) {
        GlobalUnlock(dib.handle);
        aborting_ = true;
        break;
      }
      asked = true;
      if (!AVISaveOptions(0, 0, 1, &stream, optionList)) {
        // Cancelled: the save has not happened, and no empty file stays.
        GlobalUnlock(dib.handle);
        aborting_ = true;
        break;
      }
      if (AVIMakeCompressedStream(&compressed, stream, &options, nullptr) != AVIERR_OK ||
          AVIStreamSetFormat(compressed, 0, bytes, sizeof(BITMAPINFOHEADER)) != AVIERR_OK) {
        GlobalUnlock(dib.handle);
        aborting_ = true;
        break;
      }
    }
    const HRESULT written = AVIStreamWrite(compressed, i, 1, bytes + sizeof(BITMAPINFOHEADER), bitsSize,
                                           AVIIF_KEYFRAME, nullptr, nullptr);
    GlobalUnlock(dib.handle);
    view_->ReleaseBitmap(source);
    if (written != AVIERR_OK) {
      aborting_ = true;
      break;
    }
    Progress(static_cast<Integer>(Int64{i} * 100 / count));
    if (aborting_) break;
  }
  // A save that did not write every frame leaves no file.
  if (aborting_) AVIFileAbandon(file);
  if (asked) AVISaveOptionsFree(1, optionList);
  if (compressed != nullptr) AVIStreamRelease(compressed);
  if (stream != nullptr) AVIStreamRelease(stream);
  AVIFileRelease(file);
}
