// The EXIF block of a JPEG read through the TIFF reader (its tags, then the
// thumbnail of its second directory), and a reader of single tags of one TIFF
// directory.
#include "image/model/ieutils_exif.h"

#include <cstring>
#include <exception>

#include "image/formats/tiffilt.h"
#include "image/model/iebitmap.h"

namespace {

// "Exif", 0, 0 ahead of the TIFF data.
constexpr Integer kExifHeaderLength = 6;

// One run of the TIFF reader over the block; false when it set the abort flag or
// raised (a damaged block never lets an exception out).
bool ReadBlock(TIEBitmap* bitmap, TStream* stream, TIOParamsVals& params, bool preview) {
  bool aborting = false;
  TProgressRec progress;
  progress.Aborting = &aborting;
  std::unique_ptr<TIEMask> mask;
  Integer pages = 0;
  try {
    stream->Seek(0, soBeginning);
    TIFFReadStream(bitmap, stream, pages, &params, progress, preview, mask, true, true);
  } catch (const std::exception&) {
    return false;
  }
  return !aborting;
}

}  // namespace

bool LoadEXIFFromStandardBuffer(const void* Buffer, Integer BufferLength, TIOParamsVals& Params) {
  const auto* bytes = static_cast<const Byte*>(Buffer);
  if (bytes == nullptr || BufferLength < 5 || std::memcmp(bytes, "Exif", 5) != 0) return false;

  TIOParamsVals found(Params.DadirAvIO);
  TMemoryStream stream;
  if (BufferLength > kExifHeaderLength) {
    stream.WriteBuffer(bytes + kExifHeaderLength, BufferLength - kExifHeaderLength);
    // The tags of the first directory and its EXIF sub-directory. A block that
    // holds TIFF data the reader cannot take changes nothing.
    TIEBitmap unused;
    if (!ReadBlock(&unused, &stream, found, true)) return false;
  }
  // A block of the header alone is an empty EXIF: every field to its default.

  static_cast<TIOParamsEXIF&>(Params) = static_cast<const TIOParamsEXIF&>(found);
  Params.EXIF_ImageDescription = found.TIFF_ImageDescription;
  Params.EXIF_HasEXIFData = true;

  // The thumbnail of the second directory; none, or a damaged one, leaves it empty.
  if (!Params.EXIF_Bitmap) Params.EXIF_Bitmap = std::make_unique<TIEBitmap>();
  found.TIFF_ImageIndex = 1;
  if (stream.GetSize() == 0 || !ReadBlock(Params.EXIF_Bitmap.get(), &stream, found, false)) {
    Params.EXIF_Bitmap->FreeImage();
  }
  return true;
}

// ---------------------------------------------------------------------------
// TIETifTagsReader

TIETifTagsReader::TIETifTagsReader(const AnsiString& FileName, Integer ImageIndex)
    : ownedStream_(std::make_unique<TFileStream>(FileName, fmOpenRead | fmShareDenyWrite)),
      stream_(ownedStream_.get()) {
  Load(ImageIndex);
}

TIETifTagsReader::TIETifTagsReader(TStream* Stream, Integer ImageIndex) : stream_(Stream) {
  Load(ImageIndex);
}

TIETifTagsReader::~TIETifTagsReader() { TIFFFreeTags(env_); }

void TIETifTagsReader::Load(Integer imageIndex) {
  if (stream_ == nullptr) return;
  if (!TIFFLoadTags(stream_, imageCount_, imageIndex, env_)) TIFFFreeTags(env_);
}

bool TIETifTagsReader::TagExists(Integer Tag) const {
  return Tag >= 0 && Tag <= 0xFFFF && TIFFFindTAG(static_cast<Word>(Tag), env_) >= 0;
}

Integer TIETifTagsReader::TagLength(Integer Tag) const { return TIFFGetDataLength(env_, Tag); }

Integer TIETifTagsReader::GetInteger(Integer Tag) const { return TIFFReadSingleValDef(env_, Tag, 0); }

Integer TIETifTagsReader::GetIntegerIndexed(Integer Tag, Integer Index) const {
  return TIFFReadIndexValN(env_, Tag, Index);
}

double TIETifTagsReader::GetRational(Integer Tag) const { return TIFFReadSingleRational(env_, Tag); }

double TIETifTagsReader::GetRationalIndexed(Integer Tag, Integer Index) const {
  return TIFFReadRationalIndex(env_, Tag, Index);
}

Integer TIETifTagsReader::GetIntegerArray(Integer Tag, std::unique_ptr<Integer[]>& Values) const {
  return TIFFReadArrayIntegers(env_, Values, Tag);
}

std::unique_ptr<Byte[]> TIETifTagsReader::GetRawData(Integer Tag) const {
  Integer length = 0;
  return TIFFReadRawData(env_, Tag, length);
}

AnsiString TIETifTagsReader::GetString(Integer Tag) const { return TIFFReadString(env_, Tag); }

AnsiString TIETifTagsReader::GetMiniString(Integer Tag) const { return TIFFReadMiniString(env_, Tag); }
