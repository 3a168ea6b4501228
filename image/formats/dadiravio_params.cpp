// TIOParamsVals: defaults, resets, copies and the EXIF array accessors.
#include <algorithm>
#include <memory>

#include "image/formats/dadiravio.h"
#include "platform/rtl/DateTime.h"
#include "platform/rtl/Exceptions.h"
#include "platform/win/Gdi.h"

TGIFLZWDecompFunc DefGIF_LZWDECOMPFUNC = nullptr;
TGIFLZWCompFunc DefGIF_LZWCOMPFUNC = nullptr;
TTIFFLZWDecompFunc DefTIFF_LZWDECOMPFUNC = nullptr;
TTIFFLZWCompFunc DefTIFF_LZWCOMPFUNC = nullptr;

namespace {

Integer ScreenDpi(Integer index) {
  HDC dc = GetDC(HWND{});
  const Integer dpi = GetDeviceCaps(dc, index);
  ReleaseDC(HWND{}, dc);
  return dpi > 0 ? dpi : IEFallbackDpi;
}

template <typename T, size_t N>
T& Element(T (&array)[N], Integer index, const char* name) {
  if (index < 0 || static_cast<size_t>(index) >= N)
    throw ERangeError(AnsiString(name) + " index out of range");
  return array[index];
}

template <typename T, size_t N>
const T& Element(const T (&array)[N], Integer index, const char* name) {
  if (index < 0 || static_cast<size_t>(index) >= N)
    throw ERangeError(AnsiString(name) + " index out of range");
  return array[index];
}

}  // namespace

Integer IEScreenDpiX() { return ScreenDpi(LOGPIXELSX); }
Integer IEScreenDpiY() { return ScreenDpi(LOGPIXELSY); }

TIOParamsVals::TIOParamsVals(TDadirAvIO* dadirAvIO)
    : DadirAvIO(dadirAvIO),
      GIF_Comments(std::make_unique<TStringList>()),
      JPEG_MarkerList(std::make_unique<TIEMarkerList>()),
      IPTC_Info(std::make_unique<TIEIPTCInfoList>()),
      PXM_Comments(std::make_unique<TStringList>()) {
  SetDefaultParams();
}

TIOParamsVals::~TIOParamsVals() = default;

void TIOParamsVals::SetDefaultParams() {
  ColorMap.reset();
  ColorMapCount = 0;

  // The image size and resolution come from the owner's image and view; without
  // an owner they keep their values. (The input/output component sets them from
  // its bitmap and view when it resets its parameters.)
  const Integer width = Width, height = Height, dpiX = DpiX, dpiY = DpiY;
  static_cast<TIOParamsFields&>(*this) = TIOParamsFields{};
  Width = width;
  Height = height;
  DpiX = dpiX;
  DpiY = dpiY;

  GIF_LZWDecompFunc = DefGIF_LZWDECOMPFUNC;
  GIF_LZWCompFunc = DefGIF_LZWCOMPFUNC;
  TIFF_LZWDecompFunc = DefTIFF_LZWDECOMPFUNC;
  TIFF_LZWCompFunc = DefTIFF_LZWCOMPFUNC;
  TGA_Date = Date();

  GIF_Comments->Clear();
  JPEG_MarkerList->Clear();
  IPTC_Info->Clear();
  PXM_Comments->Clear();
  ResetEXIF();
}

void TIOParamsVals::ResetInfo() {
  IPTC_Info->Clear();
  JPEG_MarkerList->Clear();
  ResetEXIF();
  GIF_Comments->Clear();
  TIFF_DocumentName.clear();
  TIFF_ImageDescription.clear();
  TIFF_PageName.clear();
  TGA_Descriptor.clear();
  TGA_Author.clear();
  TGA_ImageName.clear();
  PXM_Comments->Clear();
}

void TIOParamsVals::ResetEXIF() {
  static_cast<TIOParamsEXIF&>(*this) = TIOParamsEXIF{};
  EXIF_Bitmap.reset();
}

void TIOParamsVals::Assign(const TIOParamsVals* source) {
  if (source == nullptr || source == this) return;
  static_cast<TIOParamsFields&>(*this) = static_cast<const TIOParamsFields&>(*source);
  static_cast<TIOParamsEXIF&>(*this) = static_cast<const TIOParamsEXIF&>(*source);

  ColorMap.reset();
  ColorMapCount = 0;
  if (source->ColorMap && source->ColorMapCount > 0) {
    ColorMap = std::make_unique<TRGB[]>(static_cast<size_t>(source->ColorMapCount));
    std::copy_n(source->ColorMap.get(), source->ColorMapCount, ColorMap.get());
    ColorMapCount = source->ColorMapCount;
  }

  GIF_Comments->Assign(source->GIF_Comments.get());
  JPEG_MarkerList->Assign(source->JPEG_MarkerList.get());
  IPTC_Info->Assign(source->IPTC_Info.get());
  PXM_Comments->Assign(source->PXM_Comments.get());

  if (source->EXIF_Bitmap) {
    if (!EXIF_Bitmap) EXIF_Bitmap = std::make_unique<TIEBitmap>();
    EXIF_Bitmap->Assign(source->EXIF_Bitmap.get());
  }
}

void TIOParamsVals::AssignCompressionInfo(const TIOParamsVals* source) {
  if (source == nullptr || source == this) return;
  const TIOParamsVals& s = *source;
  BitsPerSample = s.BitsPerSample;
  SamplesPerPixel = s.SamplesPerPixel;
  TIFF_Compression = s.TIFF_Compression;
  TIFF_PhotometInterpret = s.TIFF_PhotometInterpret;
  TIFF_PlanarConf = s.TIFF_PlanarConf;
  TIFF_Orientation = s.TIFF_Orientation;
  TIFF_LZWDecompFunc = s.TIFF_LZWDecompFunc;
  TIFF_LZWCompFunc = s.TIFF_LZWCompFunc;
  TIFF_EnableAdjustOrientation = s.TIFF_EnableAdjustOrientation;
  TIFF_JPEGQuality = s.TIFF_JPEGQuality;
  GIF_Interlaced = s.GIF_Interlaced;
  GIF_LZWDecompFunc = s.GIF_LZWDecompFunc;
  GIF_LZWCompFunc = s.GIF_LZWCompFunc;
  JPEG_ColorSpace = s.JPEG_ColorSpace;
  JPEG_Quality = s.JPEG_Quality;
  JPEG_DCTMethod = s.JPEG_DCTMethod;
  JPEG_OptimalHuffman = s.JPEG_OptimalHuffman;
  JPEG_Smooth = s.JPEG_Smooth;
  JPEG_Progressive = s.JPEG_Progressive;
  J2000_ColorSpace = s.J2000_ColorSpace;
  J2000_Rate = s.J2000_Rate;
  J2000_ScalableBy = s.J2000_ScalableBy;
  PCX_Version = s.PCX_Version;
  PCX_Compression = s.PCX_Compression;
  BMP_Version = s.BMP_Version;
  BMP_Compression = s.BMP_Compression;
  PNG_Interlaced = s.PNG_Interlaced;
  PNG_Filter = s.PNG_Filter;
  PNG_Compression = s.PNG_Compression;
  TGA_Compressed = s.TGA_Compressed;
  TGA_GrayLevel = s.TGA_GrayLevel;
}

AnsiString TIOParamsVals::GetFileTypeStr() const {
  // The format's name and extension come from the format registry of the
  // input/output layer; here only the details of the format's options.
  AnsiString s;
  switch (FileType) {
    case iofnTIFF: {
      static const char* const names[] = {" Uncompressed", " Huffman", " Group 3 Fax",
                                           " Group 3 Fax 2D", " Group 4 Fax", " LZW",
                                           " Jpeg v.5", " Jpeg", " PackBits RLE"};
      const auto i = static_cast<size_t>(TIFF_Compression);
      if (i < std::size(names)) s += names[i];
      break;
    }
    case iofnGIF:
      if (GIF_Interlaced) s += " Interlaced";
      break;
    case iofnJPEG:
      switch (JPEG_ColorSpace) {
        case ioJPEG_GRAYLEV: s += " Gray level"; break;
        case ioJPEG_YCbCr: s += " YCbCr"; break;
        case ioJPEG_CMYK: s += " CMYK"; break;
        case ioJPEG_YCbCrK: s += " YCbCrK"; break;
        default: break;
      }
      break;
    case iofnPCX:
      if (PCX_Compression == ioPCX_UNCOMPRESSED) s += " Uncompressed";
      break;
    case iofnBMP:
      switch (BMP_Version) {
        case ioBMP_BM: s += " ver.1"; break;
        case ioBMP_BM3: s += " ver.3"; break;
        case ioBMP_BMOS2V1: s += " OS/2 v.1"; break;
        case ioBMP_BMOS2V2: s += " OS/2 v.2"; break;
      }
      break;
    case iofnPNG:
      if (PNG_Interlaced) s += " Interlaced";
      break;
    case iofnTGA:
      s += TGA_Compressed ? " Compressed" : " Uncompressed";
      break;
    case iofnJP2:
    case iofnJ2K:
      switch (J2000_ColorSpace) {
        case ioJ2000_GRAYLEV: s += " Gray level"; break;
        case ioJ2000_RGB: s += " RGB"; break;
        case ioJ2000_YCbCr: s += " YCbCr"; break;
      }
      break;
    default:
      break;
  }
  return s;
}

Integer TIOParamsVals::GetEXIF_ISOSpeedRatings(Integer index) const {
  return Element(EXIF_ISOSpeedRatings, index, "EXIF_ISOSpeedRatings");
}
void TIOParamsVals::SetEXIF_ISOSpeedRatings(Integer index, Integer value) {
  Element(EXIF_ISOSpeedRatings, index, "EXIF_ISOSpeedRatings") = value;
}
double TIOParamsVals::GetEXIF_WhitePoint(Integer index) const {
  return Element(EXIF_WhitePoint, index, "EXIF_WhitePoint");
}
void TIOParamsVals::SetEXIF_WhitePoint(Integer index, double value) {
  Element(EXIF_WhitePoint, index, "EXIF_WhitePoint") = value;
}
double TIOParamsVals::GetEXIF_PrimaryChromaticities(Integer index) const {
  return Element(EXIF_PrimaryChromaticities, index, "EXIF_PrimaryChromaticities");
}
void TIOParamsVals::SetEXIF_PrimaryChromaticities(Integer index, double value) {
  Element(EXIF_PrimaryChromaticities, index, "EXIF_PrimaryChromaticities") = value;
}
double TIOParamsVals::GetEXIF_YCbCrCoefficients(Integer index) const {
  return Element(EXIF_YCbCrCoefficients, index, "EXIF_YCbCrCoefficients");
}
void TIOParamsVals::SetEXIF_YCbCrCoefficients(Integer index, double value) {
  Element(EXIF_YCbCrCoefficients, index, "EXIF_YCbCrCoefficients") = value;
}
double TIOParamsVals::GetEXIF_ReferenceBlackWhite(Integer index) const {
  return Element(EXIF_ReferenceBlackWhite, index, "EXIF_ReferenceBlackWhite");
}
void TIOParamsVals::SetEXIF_ReferenceBlackWhite(Integer index, double value) {
  Element(EXIF_ReferenceBlackWhite, index, "EXIF_ReferenceBlackWhite") = value;
}
