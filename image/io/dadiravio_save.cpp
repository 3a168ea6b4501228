// Saving by format. Files are written under a temporary name in the target's folder
// and renamed over the target once the writer has succeeded, so a failed save never
// leaves a half-written file in place of the previous one.
#include <cstring>

#include "image/formats/bmpfilt.h"
#include "image/formats/giffilter.h"
#include "image/formats/iej2000.h"
#include "image/formats/ietgafil.h"
#include "image/formats/jpegfilt.h"
#include "image/formats/pcxfilter.h"
#include "image/formats/pngfiltw.h"
#include "image/formats/tiffilt.h"
#include "image/io/dadiravio.h"
#include "image/io/dadiravio_files.h"
#include "image/model/iemask.h"
#include "platform/rtl/Files.h"

namespace {

void WriteStreamHeader(TStream* stream, Int64 at, const char* tag) {
  Int64 end = stream->GetPosition();
  Int64 length = end - at - IEStreamHeaderSize;
  Byte b[IEStreamHeaderSize] = {};
  std::memcpy(b, tag, 4);
  auto len = static_cast<uint32_t>(length);
  b[8] = static_cast<Byte>(len);
  b[9] = static_cast<Byte>(len >> 8);
  b[10] = static_cast<Byte>(len >> 16);
  b[11] = static_cast<Byte>(len >> 24);
  stream->SetPosition(at);
  stream->WriteBuffer(b, IEStreamHeaderSize);
  stream->SetPosition(end);
}

// The edited IPTC list into the first APP13 marker (added when there is none).
// False when the block does not fit one marker.
bool PutIPTCMarker(TIOParamsVals& params) {
  if (!params.IPTC_Info->GetModified()) return true;
  std::unique_ptr<Byte[]> buffer;
  Integer length = 0;
  params.IPTC_Info->SaveToStandardBuffer(buffer, length, true);
  if (length > 65533) return false;
  TIEMarkerList* markers = params.JPEG_MarkerList.get();
  Integer index = markers->IndexOf(0xED);
  if (index >= 0)
    markers->SetMarker(index, 0xED, buffer.get(), static_cast<Word>(length));
  else
    markers->AddMarker(0xED, buffer.get(), static_cast<Word>(length));
  return true;
}

}  // namespace

TIEBitmap* TDadirAvIO::SaveSource(std::unique_ptr<TIEBitmap>& copy) {
  // The writers take ie24RGB or ie1g. A conversion that loses nothing is made in
  // the caller's image; a 16-bit grey image is encoded from a converted copy, so
  // that saving it does not cost it its precision.
  ReEncapsulate();
  if (ieBitmap_->GetWidth() <= 0 || ieBitmap_->GetHeight() <= 0) {
    aborting_ = true;  // nothing to write
    return nullptr;
  }
  TIEPixelFormat format = ieBitmap_->GetPixelFormat();
  if (format == ie24RGB || format == ie1g) return ieBitmap_;
  if (format != ie16g) {
    ieBitmap_->ConvertToPixelFormat(ie24RGB);
    return ieBitmap_;
  }
  copy = std::make_unique<TIEBitmap>();
  copy->Assign(ieBitmap_);
  copy->ConvertToPixelFormat(ie24RGB);
  return copy.get();
}

void TDadirAvIO::WriteFormat(Integer fileType, TStream* stream, bool withHeader) {
  std::unique_ptr<TIEBitmap> converted;
  TIEBitmap* source = SaveSource(converted);
  if (source == nullptr) return;
  TProgressRec progress = MakeProgress();
  TIOParamsVals& params = *params_;
  Int64 headerAt = stream->GetPosition();
  if (withHeader) {
    Byte placeholder[IEStreamHeaderSize] = {};
    stream->WriteBuffer(placeholder, IEStreamHeaderSize);
  }
  std::unique_ptr<TIEMask> mask;
  if ((fileType == iofnPNG || fileType == iofnTGA) && source->GetHasAlphaChannel()) {
    mask = std::make_unique<TIEMask>();
    source->GetAlphaChannel()->CopyToTIEMask(mask.get());
  }
  switch (fileType) {
    case iofnTIFF:
      TIFFWriteStream(stream, false, source, params, progress);
      break;
    case iofnGIF:
      WriteGifStream(stream, source, params, progress);
      break;
    case iofnJPEG:
      if (!PutIPTCMarker(params)) {
        aborting_ = true;
        break;
      }
      WriteJPegStream(stream, source, params, progress);
      break;
    case iofnPCX:
      WritePcxStream(stream, source, params, progress);
      break;
    case iofnBMP:
      BMPWriteStream(stream, source, params, progress);
      break;
    case iofnPNG:
      WritePNGStream(stream, source, params, progress, mask.get());
      break;
    case iofnTGA:
      WriteTGAStream(stream, source, params, progress, mask.get());
      break;
    case iofnPXM:
      PXMWriteStream(stream, source, params, progress);
      break;
    case iofnJP2:
      J2KWriteStream(stream, source, params, progress, 0);
      break;
    case iofnJ2K:
      J2KWriteStream(stream, source, params, progress, 1);
      break;
    default: {
      // A format only the registry knows: its record's writer.
      PIEFileFormatInfo record = IEFileFormatGetInfo(fileType);
      if (record == nullptr || record->WriteFunction == nullptr)
        aborting_ = true;
      else
        record->WriteFunction(stream, source, params, progress);
    }
  }
  if (withHeader && (fileType != iofnPCX || !aborting_))
    WriteStreamHeader(stream, headerAt,
                      fileType == iofnJPEG ? "JFIF" : fileType == iofnTIFF ? "TIFF" : "PCX2");
}

void TDadirAvIO::SaveFileFormat(Integer fileType, const AnsiString& fileName) {
  aborting_ = true;
  Finishing([&] {
    if (ieBitmap_ == nullptr) return;
    IEReplacingFile target(fileName);
    aborting_ = false;
    WriteFormat(fileType, target.Stream(), false);
    if (!aborting_ && !target.Commit()) aborting_ = true;
  });
}

void TDadirAvIO::SaveStreamFormat(Integer fileType, TStream* stream) {
  aborting_ = false;
  Finishing([&] {
    if (ieBitmap_ == nullptr) return;
    bool header = StreamHeaders && (fileType == iofnJPEG || fileType == iofnTIFF || fileType == iofnPCX);
    WriteFormat(fileType, stream, header);
  });
}

#define LARK_FILE_SAVE(Name, Type)                                                        \
  void TDadirAvIO::Name(const AnsiString& FileName) {                                     \
    if (ReIssue(ieLoadSaveFile, [this, FileName] { Name(FileName); })) return;             \
    SaveFileFormat(Type, FileName);                                                       \
  }
#define LARK_STREAM_SAVE(Name, Type)                                                      \
  void TDadirAvIO::Name(TStream* Stream) {                                                \
    if (ReIssue(ieLoadSaveStream, [this, Stream] { Name(Stream); })) return;               \
    SaveStreamFormat(Type, Stream);                                                       \
  }

LARK_FILE_SAVE(SaveToFileTIFF, iofnTIFF)
LARK_FILE_SAVE(SaveToFileGif, iofnGIF)
LARK_FILE_SAVE(SaveToFileJpeg, iofnJPEG)
LARK_FILE_SAVE(SaveToFilePCX, iofnPCX)
LARK_FILE_SAVE(SaveToFileBMP, iofnBMP)
LARK_FILE_SAVE(SaveToFilePNG, iofnPNG)
LARK_FILE_SAVE(SaveToFileTGA, iofnTGA)
LARK_FILE_SAVE(SaveToFilePXM, iofnPXM)
LARK_FILE_SAVE(SaveToFileJP2, iofnJP2)
LARK_FILE_SAVE(SaveToFileJ2K, iofnJ2K)
LARK_STREAM_SAVE(SaveToStreamTIFF, iofnTIFF)
LARK_STREAM_SAVE(SaveToStreamGif, iofnGIF)
LARK_STREAM_SAVE(SaveToStreamJpeg, iofnJPEG)
LARK_STREAM_SAVE(SaveToStreamPCX, iofnPCX)
LARK_STREAM_SAVE(SaveToStreamBMP, iofnBMP)
LARK_STREAM_SAVE(SaveToStreamPNG, iofnPNG)
LARK_STREAM_SAVE(SaveToStreamTGA, iofnTGA)
LARK_STREAM_SAVE(SaveToStreamPXM, iofnPXM)
LARK_STREAM_SAVE(SaveToStreamJP2, iofnJP2)
LARK_STREAM_SAVE(SaveToStreamJ2K, iofnJ2K)

#undef LARK_FILE_SAVE
#undef LARK_STREAM_SAVE
