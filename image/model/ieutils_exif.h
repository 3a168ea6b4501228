// The EXIF block of a JPEG (APP1: "Exif", 0, 0 and a small TIFF) read into the
// parameters, and a reader of single tags of one TIFF directory.
#pragma once

#include <memory>

#include "image/formats/dadiravio.h"
#include "image/model/ieutils.h"
#include "platform/rtl/Streams.h"

// Fills the EXIF fields of Params (and its EXIF_Bitmap with the thumbnail, empty
// when the block has none) from an APP1 block and sets EXIF_HasEXIFData. False,
// with nothing changed, when the block does not begin "Exif", 0 or holds TIFF data
// the reader refuses. The header alone is an empty EXIF: every field to its default.
bool LoadEXIFFromStandardBuffer(const void* Buffer, Integer BufferLength, TIOParamsVals& Params);

// The tags of directory ImageIndex of a TIFF file or stream.
class TIETifTagsReader : public TObject {
 public:
  LARK_CLASS_NAME(TIETifTagsReader)
  // Opens the file read-only, denying writes to others.
  TIETifTagsReader(const AnsiString& FileName, Integer ImageIndex);
  // The stream, positioned at the TIFF header, is not owned.
  TIETifTagsReader(TStream* Stream, Integer ImageIndex);
  ~TIETifTagsReader() override;
  TIETifTagsReader(const TIETifTagsReader&) = delete;
  TIETifTagsReader& operator=(const TIETifTagsReader&) = delete;

  bool TagExists(Integer Tag) const;
  Integer TagLength(Integer Tag) const;
  Integer GetInteger(Integer Tag) const;
  Integer GetIntegerIndexed(Integer Tag, Integer Index) const;
  double GetRational(Integer Tag) const;
  double GetRationalIndexed(Integer Tag, Integer Index) const;
  Integer GetIntegerArray(Integer Tag, std::unique_ptr<Integer[]>& Values) const;
  std::unique_ptr<Byte[]> GetRawData(Integer Tag) const;
  AnsiString GetString(Integer Tag) const;
  AnsiString GetMiniString(Integer Tag) const;
  // The number of directories the file holds.
  Integer GetImageCount() const noexcept { return imageCount_; }

 private:
  void Load(Integer imageIndex);

  std::unique_ptr<TStream> ownedStream_;
  TStream* stream_ = nullptr;
  TTIFFEnv env_;
  Integer imageCount_ = 0;
};
