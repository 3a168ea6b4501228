// Editing files as a whole: lossless JPEG transforms, IPTC injection, and the frames
// and pages of GIF and TIFF files.
#include <sys/stat.h>

#include "image/formats/giffilter_edit.h"
#include "image/formats/tiffilt.h"
#include "image/io/dadiravio.h"
#include "image/io/dadiravio_files.h"

namespace {

// Whether two names are the same file (the same device and inode).
bool SameFile(const AnsiString& a, const AnsiString& b) {
  struct stat sa {}, sb {};
  if (::stat(a.c_str(), &sa) != 0 || ::stat(b.c_str(), &sb) != 0) return false;
  return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

}  // namespace

// ---------------------------------------------------------------------------
// JPEG

bool JpegLosslessTransformStream(TStream* Source, TStream* Dest, TIEJpegTransform Transform,
                                 bool grayScale, TIEJpegCopyMarkers CopyMarkers, TRect CutRect) {
  bool aborting = false;
  TProgressRec progress;
  progress.Aborting = &aborting;
  IEJpegLosslessTransform(Source, Dest, progress, Transform, grayScale, CopyMarkers, CutRect);
  return !aborting;
}

bool JpegLosslessTransform(const AnsiString& SourceFile, const AnsiString& DestFile,
                           TIEJpegTransform Transform, bool grayScale,
                           TIEJpegCopyMarkers CopyMarkers, TRect CutRect) {
  // A transform onto its own source is refused: the photo would be lost.
  if (SameFile(SourceFile, DestFile)) return false;
  try {
    TFileStream source(SourceFile, fmOpenRead | fmShareDenyWrite);
    IEReplacingFile dest(DestFile);
    if (!JpegLosslessTransformStream(&source, dest.Stream(), Transform, grayScale, CopyMarkers, CutRect))
      return false;
    return dest.Commit();
  } catch (const Exception&) {
    return false;
  }
}

bool TDadirAvIO::InjectJpegIPTC(const AnsiString& FileName) {
  bool ok = false;
  Finishing([&] {
    TMemoryStream result;
    {
      TFileStream file(FileName, fmOpenRead | fmShareDenyWrite);
      ok = IEJpegInjectIPTC(&file, &result, params_->IPTC_Info.get());
    }
    if (!ok) return;
    // The new JPEG is complete in memory; it replaces the file in one step.
    IEReplacingFile out(FileName);
    result.SetPosition(0);
    out.Stream()->CopyFrom(&result, 0);
    ok = out.Commit();
  });
  return ok;
}

bool TDadirAvIO::InjectJpegIPTCStream(TStream* InStream, TStream* OutStream) {
  return IEJpegInjectIPTC(InStream, OutStream, params_->IPTC_Info.get());
}

// ---------------------------------------------------------------------------
// GIF

Integer TDadirAvIO::InsertToFileGif(const AnsiString& FileName) {
  if (ReIssue(ieLoadSaveFileRetInt, [this, FileName] { InsertToFileGif(FileName); })) return -1;
  aborting_ = false;
  Integer result = 0;
  Finishing([&] {
    if (ieBitmap_ == nullptr) return;
    std::unique_ptr<TIEBitmap> copy;
    TIEBitmap* source = SaveSource(copy);
    if (source == nullptr) return;  // nothing to insert
    TIOParamsVals& p = *params_;
    p.GIF_WinWidth = std::max(p.GIF_WinWidth, source->GetWidth() + p.GIF_XPos);
    p.GIF_WinHeight = std::max(p.GIF_WinHeight, source->GetHeight() + p.GIF_YPos);
    TProgressRec progress = MakeProgress();
    result = _InsertGifIm(FileName, source, p, progress);
    if (!aborting_) _GifMakeAnimate(FileName, 0, p.GIF_WinWidth, p.GIF_WinHeight);
  });
  return result;
}

Integer DeleteGifIm(const AnsiString& FileName, Integer Index) { return _DeleteGifIm(FileName, Index, true); }

Integer EnumGifIm(const AnsiString& FileName) {
  try {
    return _DeleteGifIm(FileName, -1, false);
  } catch (...) {
    return 0;
  }
}

bool CheckAniGif(const AnsiString& FileName) {
  try {
    return _CheckGifAnimate(FileName);
  } catch (...) {
    return false;
  }
}

// ---------------------------------------------------------------------------
// TIFF

Integer TDadirAvIO::InsertToFileTIFF(const AnsiString& FileName) {
  if (ReIssue(ieLoadSaveFileRetInt, [this, FileName] { InsertToFileTIFF(FileName); })) return -1;
  aborting_ = true;
  Integer result = 0;
  Finishing([&] {
    if (ieBitmap_ == nullptr) return;
    std::unique_ptr<TIEBitmap> copy;
    TIEBitmap* source = SaveSource(copy);
    if (source == nullptr) return;  // nothing to insert
    // The file grows in memory and replaces the old one only when the page is in.
    TMemoryStream work;
    {
      TFileStream file(FileName, fmOpenRead | fmShareDenyWrite);
      work.CopyFrom(&file, 0);
    }
    aborting_ = false;
    TProgressRec progress = MakeProgress();
    work.SetPosition(0);
    result = TIFFWriteStream(&work, true, source, *params_, progress);
    if (aborting_ || result <= 0) {
      aborting_ = true;
      return;
    }
    IEReplacingFile out(FileName);
    work.SetPosition(0);
    out.Stream()->CopyFrom(&work, 0);
    if (!out.Commit()) aborting_ = true;
  });
  return result;
}

Integer DeleteTIFFIm(const AnsiString& FileName, Integer Index) {
  TFileStream file(FileName, fmOpenReadWrite | fmShareDenyWrite);
  return _DeleteTIFFImStream(&file, Index);
}

Integer EnumTIFFIm(const AnsiString& FileName) {
  TFileStream file(FileName, fmOpenRead | fmShareDenyWrite);
  return _EnumTIFFImStream(&file);
}

Integer EnumTIFFStream(TStream* Stream) { return _EnumTIFFImStream(Stream); }

void ExtractTIFFImageStream(TStream* Source, TStream* Dest, Integer Index) {
  _ExtractTIFFImStream(Source, Index, Dest);
}

void ExtractTIFFImageFile(const AnsiString& SourceFile, const AnsiString& DestFile, Integer Index) {
  TFileStream source(SourceFile, fmOpenRead | fmShareDenyWrite);
  IEReplacingFile dest(DestFile);
  _ExtractTIFFImStream(&source, Index, dest.Stream());
  dest.Commit();
}

void InsertTIFFImageStream(TStream* Source, TStream* Inserted, TStream* Dest, Integer Index) {
  _InsertTIFFImStream(Source, Inserted, Index, Dest);
}

void InsertTIFFImageFile(const AnsiString& SourceFile, const AnsiString& InsertedFile,
                         const AnsiString& DestFile, Integer Index) {
  TFileStream source(SourceFile, fmOpenRead | fmShareDenyWrite);
  TFileStream inserted(InsertedFile, fmOpenRead | fmShareDenyWrite);
  IEReplacingFile dest(DestFile);
  _InsertTIFFImStream(&source, &inserted, Index, dest.Stream());
  dest.Commit();
}
