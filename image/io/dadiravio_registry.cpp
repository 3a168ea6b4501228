// The format registry and detection by content.
#include <cstring>
#include <vector>

#include "image/formats/bmpfilt.h"
#include "image/formats/iej2000.h"
#include "image/formats/ietgafil.h"
#include "image/formats/jpegfilt.h"
#include "image/formats/pngfilt.h"
#include "image/io/dadiravio.h"
#include "platform/rtl/Files.h"
#include "platform/rtl/Strings.h"


namespace {

// The registry, made with its fourteen built-in records on first use. There is no
// lock: formats are registered before any loading starts.
std::vector<std::unique_ptr<TIEFileFormatInfo>>& Formats() {
  static std::vector<std::unique_ptr<TIEFileFormatInfo>>* formats = [] {
    auto* list = new std::vector<std::unique_ptr<TIEFileFormatInfo>>;  // lives as long as the process
    struct Builtin {
      Integer type;
      const char* name;
      const char* exts;
      bool write;
    };
    static const Builtin builtins[] = {
        {iofnTIFF, "TIFF Bitmap", "TIF;TIFF;FAX;G3N;G3F", true},
        {iofnGIF, "CompuServe Bitmap", "GIF", true},
        {iofnJPEG, "JPEG Bitmap", "JPG;JPEG;JPE", true},
        {iofnPCX, "PaintBrush", "PCX", true},
        {iofnBMP, "Windows Bitmap", "BMP;DIB;RLE", true},
        {iofnICO, "Windows Icon", "ICO", false},
        {iofnCUR, "Windows Cursor", "CUR", false},
        {iofnPNG, "Portable Network Graphics", "PNG", true},
        {iofnWMF, "Windows Metafile", "WMF", false},
        {iofnEMF, "Enhanced Windows Metafile", "EMF", false},
        {iofnTGA, "Targa Bitmap", "TGA;TARGA;VDA;ICB;VST;PIX", true},
        {iofnPXM, "Portable Pixmap, GreyMap, BitMap", "PXM;PPM;PGM;PBM", true},
        {iofnJP2, "JPEG2000", "JP2", true},
        {iofnJ2K, "JPEG2000 Code Stream", "J2K;JPC;J2C", true},
    };
    for (const Builtin& b : builtins) {
      auto info = std::make_unique<TIEFileFormatInfo>();
      info->FileType = b.type;
      info->FullName = b.name;
      info->Extensions = b.exts;
      info->ReadFunction = &DummyReadImageStream;
      info->WriteFunction = b.write ? &DummyWriteImageStream : nullptr;
      info->TryFunction = &DummyTryImageStream;
      list->push_back(std::move(info));
    }
    return list;
  }();
  return *formats;
}

// The ";"-separated entries of an extension list.
std::vector<AnsiString> SplitExtensions(const AnsiString& list) {
  std::vector<AnsiString> out;
  size_t start = 0;
  while (start <= list.size()) {
    size_t end = list.find(';', start);
    if (end == AnsiString::npos) end = list.size();
    if (end > start) out.push_back(list.substr(start, end - start));
    start = end + 1;
  }
  return out;
}

// Reads count bytes at the position into buf; false when they are not all there.
bool ReadAt(TStream* s, Int64 start, void* buf, Integer count) {
  s->SetPosition(start);
  return s->Read(buf, count) == count;
}

// The first five bytes as a zero-terminated string equal to tag.
bool HasTag(const Byte* b, const char* tag) {
  char text[6] = {};
  std::memcpy(text, b, 5);
  return std::strcmp(text, tag) == 0;
}

Integer DetectBuiltin(TStream* s, Int64 start, Int64 size) {
  Byte b[128];
  if (size > 12 && ReadAt(s, start, b, 12) && HasTag(b, "JFIF")) return iofnJPEG;
  if (size > 13 && ReadAt(s, start, b, 13) && std::memcmp(b, "GIF", 3) == 0) return iofnGIF;
  if (size > 12 && ReadAt(s, start, b, 12) && HasTag(b, "PCX2")) return iofnPCX;
  if (size > 4 && ReadAt(s, start, b, 4)) {
    char text[5] = {};
    std::memcpy(text, b, 4);
    if (std::strcmp(text, "PCX") == 0) return iofnPCX;
  }
  if (size > 14 && ReadAt(s, start, b, 14) && b[0] == 'B' && b[1] == 'M') return iofnBMP;
  if (size > 128 && ReadAt(s, start, b, 128) && b[0] == 0x0A && b[1] <= 5) return iofnPCX;
  if (size > 12 && ReadAt(s, start, b, 12) && HasTag(b, "TIFF")) return iofnTIFF;
  if (size > 8 && ReadAt(s, start, b, 8) &&
      ((b[0] == 'I' && b[1] == 'I') || (b[0] == 'M' && b[1] == 'M')))
    return iofnTIFF;
  s->SetPosition(start);
  if (size > 8 && IsPNGStream(s)) return iofnPNG;
  s->SetPosition(start);
  if (ICOTryStream(s)) return iofnICO;
  if (CURTryStream(s)) return iofnCUR;
  if (TryTGA(s)) return iofnTGA;
  if (TryPXM(s)) return iofnPXM;
  if (JpegTryStream(s) >= 0) return iofnJPEG;
  if (J2KTryStreamJP2(s)) return iofnJP2;
  if (J2KTryStreamJ2K(s)) return iofnJ2K;
  return iofnUnknown;
}

}  // namespace

void DummyReadImageStream(TStream*, TIEBitmap*, TIOParamsVals&, TProgressRec& Progress, bool) {
  Progress.Abort();
}

void DummyWriteImageStream(TStream*, TIEBitmap*, TIOParamsVals&, TProgressRec& Progress) {
  Progress.Abort();
}

bool DummyTryImageStream(TStream*) { return false; }

Integer IEFileFormatCount() { return static_cast<Integer>(Formats().size()); }

PIEFileFormatInfo IEFileFormatGetByIndex(Integer index) {
  if (index < 0 || index >= IEFileFormatCount()) return nullptr;
  return Formats()[static_cast<size_t>(index)].get();
}

PIEFileFormatInfo IEFileFormatGetInfo(Integer FileType) {
  for (auto& info : Formats())
    if (info->FileType == FileType) return info.get();
  return nullptr;
}

PIEFileFormatInfo IEFileFormatGetInfo2(const AnsiString& Extension) {
  AnsiString wanted = LowerCase(Extension);
  for (auto& info : Formats())
    for (const AnsiString& ext : SplitExtensions(info->Extensions))
      if (LowerCase(ext) == wanted) return info.get();
  return nullptr;
}

AnsiString IEFileFormatGetExt(Integer FileType, Integer index) {
  PIEFileFormatInfo info = IEFileFormatGetInfo(FileType);
  if (info == nullptr || index < 0) return "";
  std::vector<AnsiString> exts = SplitExtensions(info->Extensions);
  return static_cast<size_t>(index) < exts.size() ? exts[static_cast<size_t>(index)] : AnsiString();
}

Integer IEFileFormatGetExtCount(Integer FileType) {
  Integer n = 0;
  while (!IEFileFormatGetExt(FileType, n).empty()) ++n;
  return n;
}

void IEFileFormatAdd(const TIEFileFormatInfo& info) {
  auto copy = std::make_unique<TIEFileFormatInfo>(info);
  copy->FullName = copy->FullName.substr(0, 80);
  copy->Extensions = copy->Extensions.substr(0, 80);
  Formats().push_back(std::move(copy));
}

void IEFileFormatRemove(Integer FileType) {
  auto& list = Formats();
  for (auto it = list.begin(); it != list.end(); ++it) {
    if ((*it)->FileType != FileType) continue;
    list.erase(it);
    return;
  }
}

void IEUpdateGIFStatus() {
  PIEFileFormatInfo gif = IEFileFormatGetInfo(iofnGIF);
  if (gif == nullptr) return;
  gif->ReadFunction = DefGIF_LZWDECOMPFUNC != nullptr ? &DummyReadImageStream : nullptr;
  gif->WriteFunction = DefGIF_LZWCOMPFUNC != nullptr ? &DummyWriteImageStream : nullptr;
}

bool IsKnownFormat(const AnsiString& FileName) {
  AnsiString ext = ExtractFileExt(FileName);
  if (ext.empty()) return false;
  return IEFileFormatGetInfo2(ext.substr(1)) != nullptr;
}

Integer FindStreamFormat(TStream* Stream) {
  Integer result = iofnUnknown;
  Int64 start = 0;
  try {
    Int64 size = Stream->GetSize();
    start = Stream->GetPosition();
    for (auto& info : Formats()) {
      if (info->TryFunction == nullptr) continue;
      Stream->SetPosition(start);
      if (info->TryFunction(Stream)) {
        result = info->FileType;
        break;
      }
    }
    Stream->SetPosition(start);
    if (result == iofnUnknown) result = DetectBuiltin(Stream, start, size - start);
    Stream->SetPosition(start);
  } catch (...) {
    // Detection never raises: an unreadable stream is simply not recognised.
  }
  return result;
}

Integer FindFileFormat(const AnsiString& FileName, bool VerifyExtension) {
  Integer result = iofnUnknown;
  try {
    TFileStream file(FileName, fmOpenRead | fmShareDenyWrite);
    result = FindStreamFormat(&file);
  } catch (...) {
    return iofnUnknown;
  }
  if (VerifyExtension && result != iofnUnknown) {
    AnsiString ext = ExtractFileExt(FileName);
    PIEFileFormatInfo info = ext.empty() ? nullptr : IEFileFormatGetInfo2(ext.substr(1));
    if (info == nullptr) return iofnUnknown;
    if (result == iofnICO || result == iofnCUR)
      result = info->FileType;
    else if (info->FileType != result)
      result = iofnUnknown;
  }
  return result;
}
