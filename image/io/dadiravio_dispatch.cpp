// Loading and saving by name (the extension), by content, and by file-type number;
// reading only the header of a file or stream.
#include "image/io/dadiravio.h"
#include "platform/rtl/Files.h"
#include "platform/rtl/Strings.h"

namespace {

struct ExtensionType {
  const char* ext;
  Integer type;
};

// The extensions the component loads with its own codecs, in the order they are
// tried. PIX is the Targa record's and reads as Targa.
const ExtensionType kLoadChain[] = {
    {".jpg", iofnJPEG}, {".jpeg", iofnJPEG}, {".jpe", iofnJPEG}, {".jp2", iofnJP2},
    {".j2k", iofnJ2K},  {".jpc", iofnJ2K},   {".j2c", iofnJ2K},  {".png", iofnPNG},
    {".tif", iofnTIFF}, {".tiff", iofnTIFF}, {".fax", iofnTIFF}, {".g3n", iofnTIFF},
    {".g3f", iofnTIFF}, {".pcx", iofnPCX},   {".gif", iofnGIF},  {".wmf", iofnWMF},
    {".emf", iofnEMF},  {".bmp", iofnBMP},   {".dib", iofnBMP},  {".rle", iofnBMP},
    {".cur", iofnCUR},  {".ico", iofnICO},   {".tga", iofnTGA},  {".targa", iofnTGA},
    {".vda", iofnTGA},  {".icb", iofnTGA},   {".vst", iofnTGA},  {".win", iofnTGA},
    {".pix", iofnTGA},  {".pxm", iofnPXM},   {".ppm", iofnPXM},  {".pgm", iofnPXM},
    {".pbm", iofnPXM},
};

// The built-in formats with a writer of their own.
bool HasOwnWriter(Integer type) {
  switch (type) {
    case iofnTIFF: case iofnGIF: case iofnJPEG: case iofnPCX: case iofnBMP:
    case iofnPNG: case iofnTGA: case iofnPXM: case iofnJP2: case iofnJ2K:
      return true;
    default:
      return false;
  }
}

bool HasOwnReader(Integer type) {
  return HasOwnWriter(type) || type == iofnICO || type == iofnCUR;
}

Integer ChainType(const AnsiString& fileName) {
  AnsiString ext = LowerCase(ExtractFileExt(fileName));
  for (const ExtensionType& e : kLoadChain)
    if (ext == e.ext) return e.type;
  return iofnUnknown;
}

PIEFileFormatInfo RecordOfName(const AnsiString& fileName) {
  AnsiString ext = ExtractFileExt(fileName);
  return ext.size() > 1 ? IEFileFormatGetInfo2(ext.substr(1)) : nullptr;
}

}  // namespace

// ---------------------------------------------------------------------------
// Loads

void TDadirAvIO::LoadFromFile(const AnsiString& FileName) {
  if (ieBitmap_ == nullptr || FileName.empty()) {
    aborting_ = true;
    DoFinishWork();
    return;
  }
  if (LowerCase(FileName.substr(0, 7)) == "http://") {
    LoadFromURL(FileName);
    return;
  }
  Integer type = ChainType(FileName);
  if (type != iofnUnknown) {
    LoadFromFileFormat(FileName, type);
    return;
  }
  PIEFileFormatInfo record = RecordOfName(FileName);
  if (record == nullptr || record->ReadFunction == nullptr) {
    aborting_ = true;
    DoFinishWork();
    return;
  }
  if (ReIssue(ieLoadSaveFile, [this, FileName] { LoadFromFile(FileName); })) return;
  LoadFileFormat(record->FileType, FileName);
}

void TDadirAvIO::LoadFromFileFormat(const AnsiString& FileName, Integer FileType) {
  switch (FileType) {
    case iofnTIFF: LoadFromFileTIFF(FileName); return;
    case iofnGIF: LoadFromFileGif(FileName); return;
    case iofnJPEG: LoadFromFileJpeg(FileName); return;
    case iofnPCX: LoadFromFilePCX(FileName); return;
    case iofnBMP: LoadFromFileBMP(FileName); return;
    case iofnICO: LoadFromFileICO(FileName); return;
    case iofnCUR: LoadFromFileCUR(FileName); return;
    case iofnPNG: LoadFromFilePNG(FileName); return;
    case iofnWMF:
    case iofnEMF: ImportMetafile(FileName, -1, -1); return;
    case iofnTGA: LoadFromFileTGA(FileName); return;
    case iofnPXM: LoadFromFilePXM(FileName); return;
    case iofnJP2: LoadFromFileJP2(FileName); return;
    case iofnJ2K: LoadFromFileJ2K(FileName); return;
    default: break;
  }
  PIEFileFormatInfo record = IEFileFormatGetInfo(FileType);
  if (record == nullptr || record->ReadFunction == nullptr) {
    aborting_ = true;
    DoFinishWork();
    return;
  }
  if (ReIssue(ieLoadSaveFileFormat, [=, this] { LoadFromFileFormat(FileName, FileType); })) return;
  LoadFileFormat(FileType, FileName);
}

void TDadirAvIO::LoadFromStream(TStream* Stream) {
  Int64 start = Stream->GetPosition();
  Integer type = FindStreamFormat(Stream);
  Stream->SetPosition(start);
  LoadFromStreamFormat(Stream, type);
}

void TDadirAvIO::LoadFromStreamFormat(TStream* Stream, Integer FileType) {
  switch (FileType) {
    case iofnTIFF: LoadFromStreamTIFF(Stream); return;
    case iofnGIF: LoadFromStreamGif(Stream); return;
    case iofnJPEG: LoadFromStreamJpeg(Stream); return;
    case iofnPCX: LoadFromStreamPCX(Stream); return;
    case iofnBMP: LoadFromStreamBMP(Stream); return;
    case iofnICO: LoadFromStreamICO(Stream); return;
    case iofnCUR: LoadFromStreamCUR(Stream); return;
    case iofnPNG: LoadFromStreamPNG(Stream); return;
    case iofnTGA: LoadFromStreamTGA(Stream); return;
    case iofnPXM: LoadFromStreamPXM(Stream); return;
    case iofnJP2: LoadFromStreamJP2(Stream); return;
    case iofnJ2K: LoadFromStreamJ2K(Stream); return;
    default: break;
  }
  PIEFileFormatInfo record = IEFileFormatGetInfo(FileType);
  if (record == nullptr || record->ReadFunction == nullptr || HasOwnReader(FileType) ||
      FileType == iofnWMF || FileType == iofnEMF) {
    // Nothing recognised the content (or a metafile, which has no reader yet): the
    // image stays as it was.
    aborting_ = true;
    DoFinishWork();
    return;
  }
  if (ReIssue(ieLoadSaveStreamFormat, [=, this] { LoadFromStreamFormat(Stream, FileType); })) return;
  LoadStreamFormat(FileType, Stream);
}

// ---------------------------------------------------------------------------
// Saves

void TDadirAvIO::SaveToFile(const AnsiString& FileName) {
  Integer type = FileName.empty() ? iofnUnknown : ChainType(FileName);
  if (HasOwnWriter(type)) {
    switch (type) {
      case iofnTIFF: SaveToFileTIFF(FileName); return;
      case iofnGIF: SaveToFileGif(FileName); return;
      case iofnJPEG: SaveToFileJpeg(FileName); return;
      case iofnPCX: SaveToFilePCX(FileName); return;
      case iofnBMP: SaveToFileBMP(FileName); return;
      case iofnPNG: SaveToFilePNG(FileName); return;
      case iofnTGA: SaveToFileTGA(FileName); return;
      case iofnPXM: SaveToFilePXM(FileName); return;
      case iofnJP2: SaveToFileJP2(FileName); return;
      case iofnJ2K: SaveToFileJ2K(FileName); return;
      default: break;
    }
  }
  // A name without one, or an extension nothing can write (icons, cursors,
  // metafiles): the save fails and writes nothing.
  PIEFileFormatInfo record = FileName.empty() ? nullptr : RecordOfName(FileName);
  if (record == nullptr || record->WriteFunction == nullptr || HasOwnReader(record->FileType) ||
      record->FileType == iofnWMF || record->FileType == iofnEMF) {
    aborting_ = true;
    DoFinishWork();
    return;
  }
  if (ReIssue(ieLoadSaveFile, [this, FileName] { SaveToFile(FileName); })) return;
  SaveFileFormat(record->FileType, FileName);
}

void TDadirAvIO::SaveToStream(TStream* Stream, Integer FileType) {
  switch (FileType) {
    case iofnTIFF: SaveToStreamTIFF(Stream); return;
    case iofnGIF: SaveToStreamGif(Stream); return;
    case iofnJPEG: SaveToStreamJpeg(Stream); return;
    case iofnPCX: SaveToStreamPCX(Stream); return;
    case iofnBMP: SaveToStreamBMP(Stream); return;
    case iofnPNG: SaveToStreamPNG(Stream); return;
    case iofnTGA: SaveToStreamTGA(Stream); return;
    case iofnPXM: SaveToStreamPXM(Stream); return;
    case iofnJP2: SaveToStreamJP2(Stream); return;
    case iofnJ2K: SaveToStreamJ2K(Stream); return;
    default: break;
  }
  PIEFileFormatInfo record = IEFileFormatGetInfo(FileType);
  if (record == nullptr || record->WriteFunction == nullptr || HasOwnReader(FileType) ||
      FileType == iofnWMF || FileType == iofnEMF) {
    aborting_ = true;
    DoFinishWork();
    return;
  }
  if (ReIssue(ieLoadSaveStreamFormat, [=, this] { SaveToStream(Stream, FileType); })) return;
  SaveStreamFormat(FileType, Stream);
}

// ---------------------------------------------------------------------------
// Headers only

void TDadirAvIO::ParamsFromFileFormat(const AnsiString& FileName, Integer FileType) {
  params_->FileType = FileType;
  try {
    params_->ResetInfo();
    aborting_ = true;
    TFileStream file(FileName, fmOpenRead | fmShareDenyWrite);
    aborting_ = false;
    ReadParams(&file, FileType, true);
    if (aborting_) params_->FileType = iofnUnknown;
  } catch (...) {
    aborting_ = true;
    params_->FileType = iofnUnknown;
  }
  params_->FileName = FileName;
  DoFinishWork();
}

void TDadirAvIO::ParamsFromStreamFormat(TStream* Stream, Integer FileType) {
  params_->FileType = FileType;
  aborting_ = false;
  try {
    params_->ResetInfo();
    ReadParams(Stream, FileType, true);
    if (aborting_) params_->FileType = iofnUnknown;
  } catch (...) {
    aborting_ = true;
    params_->FileType = iofnUnknown;
  }
  DoFinishWork();
}

void TDadirAvIO::ParamsFromFile(const AnsiString& FileName) {
  ParamsFromFileFormat(FileName, FindFileFormat(FileName, true));
}

void TDadirAvIO::ParamsFromStream(TStream* Stream) {
  ParamsFromStreamFormat(Stream, FindStreamFormat(Stream));
}
