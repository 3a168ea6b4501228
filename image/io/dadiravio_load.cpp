// Loading by format: one codec per format, read into a scratch store that replaces
// the working image only when the read succeeded.
#include <cstring>

#include "image/formats/bmpfilt.h"
#include "image/formats/giffilter.h"
#include "image/formats/iej2000.h"
#include "image/formats/ietgafil.h"
#include "image/formats/jpegfilt.h"
#include "image/formats/pcxfilter.h"
#include "image/formats/pngfilt.h"
#include "image/formats/tiffilt.h"
#include "image/io/dadiravio.h"
#include "image/model/iemask.h"
#include "image/model/ieutils_exif.h"
#include "image/proc/dadiravproc.h"

namespace {

// Reads a 12-byte stream header; answers its 5-byte tag (zero-terminated) and the
// length it declares, or false when the stream holds fewer than 12 bytes.
bool ReadStreamHeader(TStream* stream, char (&tag)[6], Int64& length) {
  Byte b[IEStreamHeaderSize];
  if (stream->Read(b, IEStreamHeaderSize) != IEStreamHeaderSize) return false;
  std::memset(tag, 0, sizeof tag);
  std::memcpy(tag, b, 5);
  tag[5] = 0;
  uint32_t len = static_cast<uint32_t>(b[8]) | (static_cast<uint32_t>(b[9]) << 8) |
               (static_cast<uint32_t>(b[10]) << 16) | (static_cast<uint32_t>(b[11]) << 24);
  length = static_cast<int32_t>(len);
  return true;
}

// The JPEG's APP13 block into the IPTC list, its APP1 block into the EXIF fields, and
// a resolution from EXIF when the JPEG gave only an aspect ratio.
void TakeJpegMetadata(TIOParamsVals& params) {
  TIEMarkerList* markers = params.JPEG_MarkerList.get();
  Integer iptc = markers->IndexOf(0xED);
  if (iptc >= 0)
    params.IPTC_Info->LoadFromStandardBuffer(markers->GetMarkerData(iptc), markers->GetMarkerLength(iptc));
  Integer exif = markers->IndexOf(0xE1);
  if (exif >= 0 &&
      LoadEXIFFromStandardBuffer(markers->GetMarkerData(exif), markers->GetMarkerLength(exif), params) &&
      params.DpiX == 1 && params.DpiY == 1) {
    double factor = params.EXIF_ResolutionUnit == 3 ? 2.54 : 1.0;
    params.DpiX = static_cast<Integer>(params.EXIF_XResolution * factor);
    params.DpiY = static_cast<Integer>(params.EXIF_YResolution * factor);
  }
}

}  // namespace

Integer TDadirAvIO::ReadFormat(Integer fileType, TStream* stream, Int64 blockLen,
                               const AnsiString& fileName, bool relativeTiffOffsets) {
  ReEncapsulate();
  TIEBitmap scratch;
  TIOParamsVals read(this);
  read.Assign(params_.get());
  read.ResetInfo();
  TProgressRec progress = MakeProgress();
  std::unique_ptr<TIEMask> mask;
  Integer count = 0;
  if (fileType == iofnPNG) read.PNG_Background = TColor2TRGB(background_);

  switch (fileType) {
    case iofnTIFF:
      TIFFReadStream(&scratch, stream, count, &read, progress, false, mask, relativeTiffOffsets, false);
      break;
    case iofnGIF:
      ReadGifStream(stream, &scratch, count, read, progress, false, mask, false);
      break;
    case iofnJPEG:
      ReadJPegStream(stream, nullptr, &scratch, read, progress, false, false);
      break;
    case iofnPCX:
      ReadPcxStream(stream, &scratch, read, blockLen, progress, false);
      break;
    case iofnBMP:
      BMPReadStream(stream, &scratch, blockLen, read, progress, false);
      break;
    case iofnICO:
      ICOReadStream(stream, &scratch, read, false, progress, mask, false);
      break;
    case iofnCUR:
      CURReadStream(stream, &scratch, read, false, progress, mask, false);
      break;
    case iofnPNG:
      ReadPNGStream(stream, &scratch, read, progress, false, mask, false);
      break;
    case iofnTGA:
      ReadTGAStream(stream, &scratch, read, progress, false, mask, false);
      break;
    case iofnPXM:
      PXMReadStream(stream, &scratch, read, progress, false);
      break;
    case iofnJP2:
    case iofnJ2K:
      J2KReadStream(stream, &scratch, read, progress, false);
      break;
    default: {
      // A format only the registry knows: its record's reader. An exception from it
      // is a failed read.
      PIEFileFormatInfo record = IEFileFormatGetInfo(fileType);
      if (record == nullptr || record->ReadFunction == nullptr) {
        aborting_ = true;
        break;
      }
      try {
        record->ReadFunction(stream, &scratch, read, progress, false);
      } catch (...) {
        aborting_ = true;
      }
    }
  }
  if (!aborting_ && scratch.GetWidth() <= 0) aborting_ = true;
  if (aborting_) {
    Update();
    return count;
  }

  if (mask != nullptr) scratch.GetAlphaChannel()->CopyFromTIEMask(mask.get());
  if (fileType == iofnJPEG) TakeJpegMetadata(read);

  // The read succeeded: its image and parameters replace the working ones. A store
  // that wraps a framework bitmap keeps it and takes a copy of the pixels.
  if (ieBitmap_->GetLocation() == ieTBitmap)
    ieBitmap_->Assign(&scratch);
  else
    scratch.SwitchTo(ieBitmap_);
  params_->ResetInfo();
  params_->Assign(&read);
  params_->JPEG_WarningTot = read.JPEG_WarningTot;
  params_->JPEG_WarningCode = read.JPEG_WarningCode;

  if (fileType == iofnGIF)
    background_ = TRGB2TColor(params_->GIF_FlagTranspColor ? params_->GIF_TranspColor : params_->GIF_Background);
  if (fileType == iofnPNG) background_ = TRGB2TColor(params_->PNG_Background);
  if (AutoAdjustDPI) AdjustDPI();
  params_->FileName = fileName;
  params_->FileType = fileType;
  Update();
  return count;
}

Integer TDadirAvIO::LoadFileFormat(Integer fileType, const AnsiString& fileName) {
  // The GIF and PCX readers used to open their files themselves: for them a file
  // that cannot be opened is a failed load, for the others the open error goes on
  // to the caller.
  bool quietOpen = fileType == iofnGIF || fileType == iofnPCX;
  aborting_ = !quietOpen;
  Integer count = 0;
  Finishing([&] {
    if (ieBitmap_ == nullptr) return;
    std::unique_ptr<TFileStream> file;
    try {
      file = std::make_unique<TFileStream>(fileName, fmOpenRead | fmShareDenyWrite);
    } catch (const EFOpenError&) {
      aborting_ = true;
      if (quietOpen) return;
      throw;
    }
    aborting_ = false;
    count = ReadFormat(fileType, file.get(), file->GetSize(), fileName, true);
  });
  return count;
}

Integer TDadirAvIO::LoadStreamFormat(Integer fileType, TStream* stream) {
  aborting_ = false;
  Integer count = 0;
  Finishing([&] {
    if (ieBitmap_ == nullptr) return;
    Int64 start = stream->GetPosition();
    char tag[6];
    Int64 length = 0;
    switch (fileType) {
      case iofnJPEG: {
        // A "JFIF" header is taken whether StreamHeaders is set or not; after the
        // read the stream stands after the data it declares.
        bool header = ReadStreamHeader(stream, tag, length) && std::strcmp(tag, "JFIF") == 0;
        if (!header) stream->SetPosition(start);
        count = ReadFormat(fileType, stream, 0, "", true);
        if (header) stream->SetPosition(start + IEStreamHeaderSize + length);
        return;
      }
      case iofnTIFF: {
        if (!StreamHeaders) {
          count = ReadFormat(fileType, stream, 0, "", true);
          return;
        }
        if (!ReadStreamHeader(stream, tag, length) || std::strcmp(tag, "TIFF") != 0) {
          aborting_ = true;
          return;
        }
        Int64 after = stream->GetPosition();
        count = ReadFormat(fileType, stream, 0, "", false);
        stream->SetPosition(after + length);
        return;
      }
      case iofnPCX: {
        Int64 blockLen = stream->GetSize();
        bool pcx2 = false;
        if (StreamHeaders) {
          if (!ReadStreamHeader(stream, tag, length) || std::strncmp(tag, "PCX", 3) != 0) {
            aborting_ = true;
            return;
          }
          pcx2 = std::strcmp(tag, "PCX2") == 0;
          if (pcx2)
            blockLen = length;
          else
            stream->SetPosition(start + 4);  // the older header of 4 bytes
        }
        count = ReadFormat(fileType, stream, blockLen, "", true);
        if (pcx2) stream->SetPosition(start + IEStreamHeaderSize + length);
        return;
      }
      default:
        count = ReadFormat(fileType, stream, 0, "", true);
    }
  });
  return count;
}

// The per-format entry points: each goes to a thread of its own when the rule of
// ReIssue says so, else does its work here.
#define LARK_FILE_LOAD(Name, Type)                                                        \
  void TDadirAvIO::Name(const AnsiString& FileName) {                                     \
    if (ReIssue(ieLoadSaveFile, [this, FileName] { Name(FileName); })) return;             \
    LoadFileFormat(Type, FileName);                                                       \
  }
#define LARK_STREAM_LOAD(Name, Type)                                                      \
  void TDadirAvIO::Name(TStream* Stream) {                                                \
    if (ReIssue(ieLoadSaveStream, [this, Stream] { Name(Stream); })) return;               \
    LoadStreamFormat(Type, Stream);                                                       \
  }

LARK_FILE_LOAD(LoadFromFileJpeg, iofnJPEG)
LARK_FILE_LOAD(LoadFromFilePCX, iofnPCX)
LARK_FILE_LOAD(LoadFromFileBMP, iofnBMP)
LARK_FILE_LOAD(LoadFromFileICO, iofnICO)
LARK_FILE_LOAD(LoadFromFileCUR, iofnCUR)
LARK_FILE_LOAD(LoadFromFilePNG, iofnPNG)
LARK_FILE_LOAD(LoadFromFileTGA, iofnTGA)
LARK_FILE_LOAD(LoadFromFilePXM, iofnPXM)
LARK_FILE_LOAD(LoadFromFileJP2, iofnJP2)
LARK_FILE_LOAD(LoadFromFileJ2K, iofnJ2K)
LARK_STREAM_LOAD(LoadFromStreamJpeg, iofnJPEG)
LARK_STREAM_LOAD(LoadFromStreamPCX, iofnPCX)
LARK_STREAM_LOAD(LoadFromStreamBMP, iofnBMP)
LARK_STREAM_LOAD(LoadFromStreamICO, iofnICO)
LARK_STREAM_LOAD(LoadFromStreamCUR, iofnCUR)
LARK_STREAM_LOAD(LoadFromStreamPNG, iofnPNG)
LARK_STREAM_LOAD(LoadFromStreamTGA, iofnTGA)
LARK_STREAM_LOAD(LoadFromStreamPXM, iofnPXM)
LARK_STREAM_LOAD(LoadFromStreamJP2, iofnJP2)
LARK_STREAM_LOAD(LoadFromStreamJ2K, iofnJ2K)

#undef LARK_FILE_LOAD
#undef LARK_STREAM_LOAD

Integer TDadirAvIO::LoadFromFileTIFF(const AnsiString& FileName) {
  if (ReIssue(ieLoadSaveFileRetInt, [this, FileName] { LoadFromFileTIFF(FileName); })) return -1;
  return LoadFileFormat(iofnTIFF, FileName);
}

Integer TDadirAvIO::LoadFromStreamTIFF(TStream* Stream) {
  if (ReIssue(ieLoadSaveStreamRetInt, [this, Stream] { LoadFromStreamTIFF(Stream); })) return -1;
  return LoadStreamFormat(iofnTIFF, Stream);
}

Integer TDadirAvIO::LoadFromFileGif(const AnsiString& FileName) {
  if (ReIssue(ieLoadSaveFileRetInt, [this, FileName] { LoadFromFileGif(FileName); })) return -1;
  return LoadFileFormat(iofnGIF, FileName);
}

Integer TDadirAvIO::LoadFromStreamGif(TStream* Stream) {
  if (ReIssue(ieLoadSaveStreamRetInt, [this, Stream] { LoadFromStreamGif(Stream); })) return -1;
  return LoadStreamFormat(iofnGIF, Stream);
}

void TDadirAvIO::ReadParams(TStream* stream, Integer fileType, bool relativeTiffOffsets) {
  // Nothing is reported while the header is read.
  TProgressRec progress;
  progress.Aborting = &aborting_;
  TIEBitmap none;
  std::unique_ptr<TIEMask> mask;
  Integer count = 0;
  TIOParamsVals& params = *params_;
  switch (fileType) {
    case iofnTIFF:
      TIFFReadStream(&none, stream, count, &params, progress, true, mask, relativeTiffOffsets, true);
      break;
    case iofnGIF:
      ReadGifStream(stream, &none, count, params, progress, true, mask, true);
      break;
    case iofnJPEG:
      ReadJPegStream(stream, nullptr, &none, params, progress, true, false);
      if (!aborting_) TakeJpegMetadata(params);
      break;
    case iofnPCX:
      ReadPcxStream(stream, &none, params, stream->GetSize(), progress, true);
      break;
    case iofnBMP:
      BMPReadStream(stream, &none, stream->GetSize(), params, progress, true);
      break;
    case iofnICO:
      ICOReadStream(stream, &none, params, true, progress, mask, true);
      break;
    case iofnCUR:
      CURReadStream(stream, &none, params, true, progress, mask, true);
      break;
    case iofnPNG:
      ReadPNGStream(stream, &none, params, progress, true, mask, true);
      break;
    case iofnTGA:
      ReadTGAStream(stream, &none, params, progress, true, mask, true);
      break;
    case iofnPXM:
      PXMReadStream(stream, &none, params, progress, true);
      break;
    case iofnJP2:
    case iofnJ2K:
      J2KReadStream(stream, &none, params, progress, true);
      break;
    default: {
      PIEFileFormatInfo record = IEFileFormatGetInfo(fileType);
      if (record == nullptr || record->ReadFunction == nullptr)
        aborting_ = true;
      else
        record->ReadFunction(stream, &none, params, progress, true);
    }
  }
}
