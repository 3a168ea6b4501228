// Image parameters: defaults, resets, copies and the stream form.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "image/formats/dadiravio.h"
#include "platform/rtl/DateTime.h"
#include "platform/rtl/Exceptions.h"
#include "platform/rtl/Lists.h"
#include "platform/rtl/Streams.h"
#include "tests/support/Peers.h"

namespace {

// --- Byte building for expected stream forms

std::string I32(Integer v) {
  const auto u = static_cast<DWORD>(v);
  return std::string{static_cast<char>(u), static_cast<char>(u >> 8), static_cast<char>(u >> 16),
                     static_cast<char>(u >> 24)};
}
std::string B(int v) { return std::string(1, static_cast<char>(v)); }
std::string C(Byte b, Byte g, Byte r) { return B(b) + B(g) + B(r); }
std::string D(double v) {
  std::string s(8, '\0');
  std::memcpy(s.data(), &v, 8);  // the machine is little-endian, as the form is
  return s;
}
std::string S(const std::string& s) { return I32(static_cast<Integer>(s.size())) + s; }

std::string Bytes(TMemoryStream& stream) {
  return std::string(static_cast<const char*>(stream.Memory()), static_cast<size_t>(stream.GetSize()));
}

std::string Saved(const TIOParamsVals& p) {
  TMemoryStream stream;
  p.SaveToStream(&stream);
  return Bytes(stream);
}

bool LoadBytes(TIOParamsVals& p, const std::string& bytes) {
  TMemoryStream stream;
  if (!bytes.empty()) stream.WriteBuffer(bytes.data(), static_cast<Integer>(bytes.size()));
  stream.SetPosition(0);
  return p.LoadFromStream(&stream);
}

// --- Hooks with distinct addresses

void GifDecompA(TStream*, Integer, Integer, bool, Byte*) {}
void GifCompA(TStream*, Integer, Integer, bool, const Byte*, Integer) {}
Byte* TiffDecompA(const Byte*, Integer, Integer, void*&) { return nullptr; }
void TiffCompA(const Byte*, Integer, TStream*, void*&) {}

// --- Every field written out, so that two objects compare as text

std::string Text(TStrings* list) {
  std::string s = "[";
  for (Integer i = 0; i < list->GetCount(); ++i) s += list->Strings(i) + "|";
  return s + "]";
}

std::string Describe(const TIOParamsVals& p, bool storedOnly = false) {
  std::ostringstream o;
  o.precision(17);
  auto rgb = [&](const TRGB& c) { o << int(c.b) << '.' << int(c.g) << '.' << int(c.r) << ' '; };
  auto e = [&](auto v) { o << int(v) << ' '; };
  o << p.BitsPerSample << ' ' << p.SamplesPerPixel << ' ' << p.Width << ' ' << p.Height << ' '
    << p.DpiX << ' ' << p.DpiY << ' ' << p.FileType << ' ' << p.FileName << '\n';
  o << "palette " << p.ColorMapCount << ':';
  for (Integer i = 0; p.ColorMap && i < p.ColorMapCount; ++i) rgb(p.ColorMap[i]);
  o << "\nTIFF ";
  e(p.TIFF_Compression);
  e(p.TIFF_PhotometInterpret);
  o << p.TIFF_ImageIndex << ' ' << p.TIFF_PlanarConf << ' ' << p.TIFF_XPos << ' ' << p.TIFF_YPos
    << ' ' << p.TIFF_DocumentName << '/' << p.TIFF_ImageDescription << '/' << p.TIFF_PageName
    << ' ' << p.TIFF_PageNumber << ' ' << p.TIFF_PageCount << ' ' << p.TIFF_Orientation << ' '
    << p.TIFF_JPEGQuality << ' ' << p.TIFF_ImageCount << '\n';
  o << "GIF " << p.GIF_Version << ' ' << p.GIF_ImageIndex << ' ' << p.GIF_XPos << ' ' << p.GIF_YPos
    << ' ' << p.GIF_DelayTime << ' ' << p.GIF_FlagTranspColor << ' ';
  rgb(p.GIF_TranspColor);
  o << p.GIF_Interlaced << ' ' << p.GIF_WinWidth << ' ' << p.GIF_WinHeight << ' ';
  rgb(p.GIF_Background);
  o << p.GIF_Ratio << ' ' << p.GIF_ImageCount << ' ' << Text(p.GIF_Comments.get()) << '\n';
  o << "JPEG ";
  e(p.JPEG_ColorSpace);
  e(p.JPEG_DCTMethod);
  e(p.JPEG_Scale);
  o << p.JPEG_Quality << ' ' << p.JPEG_OptimalHuffman << ' ' << p.JPEG_Smooth << ' '
    << p.JPEG_Progressive << ' ' << p.JPEG_OriginalWidth << ' ' << p.JPEG_OriginalHeight << " markers";
  for (Integer i = 0; i < p.JPEG_MarkerList->GetCount(); ++i)
    o << ' ' << int(p.JPEG_MarkerList->GetMarkerType(i)) << ':'
      << std::string(static_cast<const char*>(p.JPEG_MarkerList->GetMarkerData(i)),
                     static_cast<size_t>(p.JPEG_MarkerList->GetMarkerLength(i)));
  o << "\nJ2000 ";
  e(p.J2000_ColorSpace);
  e(p.J2000_ScalableBy);
  o << p.J2000_Rate << " PCX " << p.PCX_Version << ' ';
  e(p.PCX_Compression);
  o << "BMP ";
  e(p.BMP_Version);
  e(p.BMP_Compression);
  o << "ICO " << p.ICO_ImageIndex << ' ';
  rgb(p.ICO_Background);
  o << "CUR " << p.CUR_ImageIndex << ' ' << p.CUR_XHotSpot << ' ' << p.CUR_YHotSpot << ' ';
  rgb(p.CUR_Background);
  o << "PNG " << p.PNG_Interlaced << ' ';
  rgb(p.PNG_Background);
  e(p.PNG_Filter);
  o << p.PNG_Compression << "\nTGA " << p.TGA_XPos << ' ' << p.TGA_YPos << ' ' << p.TGA_Compressed
    << ' ' << p.TGA_Descriptor << '/' << p.TGA_Author << '/' << p.TGA_ImageName << ' ' << p.TGA_Date
    << ' ';
  rgb(p.TGA_Background);
  o << p.TGA_AspectRatio << ' ' << p.TGA_Gamma << ' ' << p.TGA_GrayLevel << "\nIPTC";
  for (Integer i = 0; i < p.IPTC_Info->GetCount(); ++i)
    o << ' ' << p.IPTC_Info->GetRecordNumber(i) << ':' << p.IPTC_Info->GetDataSet(i) << ':'
      << p.IPTC_Info->GetStrings(i);
  o << "\nPXM " << Text(p.PXM_Comments.get()) << " AVI " << p.AVI_FrameCount << ' '
    << p.AVI_FrameDelayTime << '\n';
  if (storedOnly) return o.str();

  o << "not stored " << p.TIFF_EnableAdjustOrientation << ' ' << p.JPEG_ScaleUsed << ' '
    << reinterpret_cast<void*>(p.TIFF_LZWDecompFunc) << ' '
    << reinterpret_cast<void*>(p.TIFF_LZWCompFunc) << ' '
    << reinterpret_cast<void*>(p.GIF_LZWDecompFunc) << ' '
    << reinterpret_cast<void*>(p.GIF_LZWCompFunc) << '\n';
  o << "EXIF " << p.EXIF_HasEXIFData << ' ' << p.EXIF_ImageDescription << '/' << p.EXIF_Make << '/'
    << p.EXIF_Model << '/' << p.EXIF_Software << '/' << p.EXIF_DateTime << '/' << p.EXIF_Copyright
    << '/' << p.EXIF_ExifVersion << '/' << p.EXIF_DateTimeOriginal << '/'
    << p.EXIF_DateTimeDigitized << '/' << p.EXIF_SubsecTime << '/' << p.EXIF_SubsecTimeOriginal
    << '/' << p.EXIF_SubsecTimeDigitized << '/' << p.EXIF_FlashpixVersion << '/'
    << p.EXIF_RelatedSoundFile << '/' << p.EXIF_UserComment << '/' << p.EXIF_UserCommentCode
    << '\n';
  for (Integer v : {p.EXIF_Orientation, p.EXIF_ResolutionUnit, p.EXIF_YCbCrPositioning,
                    p.EXIF_ExposureProgram, p.EXIF_MeteringMode, p.EXIF_LightSource, p.EXIF_Flash,
                    p.EXIF_ColorSpace, p.EXIF_PixelXDimension, p.EXIF_PixelYDimension,
                    p.EXIF_FocalPlaneResolutionUnit, p.EXIF_SensingMethod, p.EXIF_FileSource,
                    p.EXIF_SceneType, p.EXIF_ISOSpeedRatings[0], p.EXIF_ISOSpeedRatings[1]})
    o << v << ' ';
  for (double v : {p.EXIF_XResolution, p.EXIF_YResolution, p.EXIF_ExposureTime, p.EXIF_FNumber,
                   p.EXIF_CompressedBitsPerPixel, p.EXIF_ShutterSpeedValue, p.EXIF_ApertureValue,
                   p.EXIF_BrightnessValue, p.EXIF_ExposureBiasValue, p.EXIF_MaxApertureValue,
                   p.EXIF_SubjectDistance, p.EXIF_FocalLength, p.EXIF_FocalPlaneXResolution,
                   p.EXIF_FocalPlaneYResolution, p.EXIF_ExposureIndex})
    o << v << ' ';
  for (double v : p.EXIF_WhitePoint) o << v << ' ';
  for (double v : p.EXIF_PrimaryChromaticities) o << v << ' ';
  for (double v : p.EXIF_YCbCrCoefficients) o << v << ' ';
  for (double v : p.EXIF_ReferenceBlackWhite) o << v << ' ';
  o << "thumb ";
  if (p.EXIF_Bitmap)
    o << p.EXIF_Bitmap->GetWidth() << 'x' << p.EXIF_Bitmap->GetHeight();
  else
    o << "none";
  return o.str();
}

// Writes a different value into every field (enumerations away from their defaults).
void Fill(TIOParamsVals& p) {
  Integer n = 1000;
  auto next = [&] { return ++n; };
  auto text = [&](const char* what) { return AnsiString(what) + "-" + std::to_string(next()); };
  auto color = [&] {
    const Integer v = next();
    return TRGB{static_cast<Byte>(v), static_cast<Byte>(v + 1), static_cast<Byte>(v + 2)};
  };
  auto real = [&] { return next() + 0.25; };

  p.BitsPerSample = next(), p.SamplesPerPixel = next(), p.Width = next(), p.Height = next();
  p.DpiX = next(), p.DpiY = next(), p.FileType = next(), p.FileName = text("file");
  p.ColorMap = std::make_unique<TRGB[]>(16);
  p.ColorMapCount = 16;
  for (Integer i = 0; i < 16; ++i) p.ColorMap[i] = color();

  p.TIFF_Compression = ioTIFF_LZW, p.TIFF_PhotometInterpret = ioTIFF_CMYK;
  p.TIFF_ImageIndex = next(), p.TIFF_PlanarConf = next(), p.TIFF_XPos = next(), p.TIFF_YPos = next();
  p.TIFF_DocumentName = text("doc"), p.TIFF_ImageDescription = text("desc");
  p.TIFF_PageName = text("page"), p.TIFF_PageNumber = next(), p.TIFF_PageCount = next();
  p.TIFF_Orientation = next(), p.TIFF_JPEGQuality = next(), p.TIFF_ImageCount = next();
  p.TIFF_LZWDecompFunc = TiffDecompA, p.TIFF_LZWCompFunc = TiffCompA;
  p.TIFF_EnableAdjustOrientation = true;

  p.GIF_Version = "GIF87a", p.GIF_ImageIndex = next(), p.GIF_XPos = next(), p.GIF_YPos = next();
  p.GIF_DelayTime = next(), p.GIF_FlagTranspColor = true, p.GIF_TranspColor = color();
  p.GIF_Interlaced = true, p.GIF_WinWidth = next(), p.GIF_WinHeight = next();
  p.GIF_Background = color(), p.GIF_Ratio = next(), p.GIF_ImageCount = next();
  p.GIF_Comments->Add(text("gif comment"));
  p.GIF_Comments->Add("");
  p.GIF_LZWDecompFunc = GifDecompA, p.GIF_LZWCompFunc = GifCompA;

  p.JPEG_ColorSpace = ioJPEG_CMYK, p.JPEG_Quality = next(), p.JPEG_DCTMethod = ioJPEG_FLOAT;
  p.JPEG_OptimalHuffman = true, p.JPEG_Smooth = next(), p.JPEG_Progressive = true;
  p.JPEG_Scale = ioJPEG_AUTOCALC, p.JPEG_ScaleUsed = next();
  p.JPEG_OriginalWidth = next(), p.JPEG_OriginalHeight = next();
  p.JPEG_MarkerList->AddMarker(254, "comment", 7);
  p.JPEG_MarkerList->AddMarker(225, "Exif\0\0", 6);

  p.J2000_ColorSpace = ioJ2000_YCbCr, p.J2000_Rate = real(), p.J2000_ScalableBy = ioJ2000_Resolution;
  p.PCX_Version = next(), p.PCX_Compression = ioPCX_UNCOMPRESSED;
  p.BMP_Version = ioBMP_BMOS2V2, p.BMP_Compression = ioBMP_RLE;
  p.ICO_ImageIndex = next(), p.ICO_Background = color();
  p.CUR_ImageIndex = next(), p.CUR_XHotSpot = next(), p.CUR_YHotSpot = next();
  p.CUR_Background = color();
  p.PNG_Interlaced = true, p.PNG_Background = color(), p.PNG_Filter = ioPNG_FILTER_PAETH;
  p.PNG_Compression = next();
  p.TGA_XPos = next(), p.TGA_YPos = next(), p.TGA_Compressed = false;
  p.TGA_Descriptor = text("tgadesc"), p.TGA_Author = text("author"), p.TGA_Date = real();
  p.TGA_ImageName = text("job"), p.TGA_Background = color(), p.TGA_AspectRatio = real();
  p.TGA_Gamma = real(), p.TGA_GrayLevel = true;
  p.IPTC_Info->AddStringItem(2, 120, text("caption"));
  p.IPTC_Info->AddStringItem(2, 25, text("keyword"));
  p.PXM_Comments->Add(text("# pxm"));
  p.AVI_FrameCount = next(), p.AVI_FrameDelayTime = next();
  p.JPEG_WarningTot = next(), p.JPEG_WarningCode = next();

  p.EXIF_HasEXIFData = true;
  for (AnsiString* s : {&p.EXIF_ImageDescription, &p.EXIF_Make, &p.EXIF_Model, &p.EXIF_Software,
                        &p.EXIF_DateTime, &p.EXIF_Copyright, &p.EXIF_ExifVersion,
                        &p.EXIF_DateTimeOriginal, &p.EXIF_DateTimeDigitized, &p.EXIF_SubsecTime,
                        &p.EXIF_SubsecTimeOriginal, &p.EXIF_SubsecTimeDigitized,
                        &p.EXIF_FlashpixVersion, &p.EXIF_RelatedSoundFile, &p.EXIF_UserComment,
                        &p.EXIF_UserCommentCode})
    *s = text("exif");
  for (Integer* v : {&p.EXIF_Orientation, &p.EXIF_ResolutionUnit, &p.EXIF_YCbCrPositioning,
                     &p.EXIF_ExposureProgram, &p.EXIF_MeteringMode, &p.EXIF_LightSource,
                     &p.EXIF_Flash, &p.EXIF_ColorSpace, &p.EXIF_PixelXDimension,
                     &p.EXIF_PixelYDimension, &p.EXIF_FocalPlaneResolutionUnit,
                     &p.EXIF_SensingMethod, &p.EXIF_FileSource, &p.EXIF_SceneType,
                     &p.EXIF_ISOSpeedRatings[0], &p.EXIF_ISOSpeedRatings[1]})
    *v = next();
  for (double* v : {&p.EXIF_XResolution, &p.EXIF_YResolution, &p.EXIF_ExposureTime,
                    &p.EXIF_FNumber, &p.EXIF_CompressedBitsPerPixel, &p.EXIF_ShutterSpeedValue,
                    &p.EXIF_ApertureValue, &p.EXIF_BrightnessValue, &p.EXIF_ExposureBiasValue,
                    &p.EXIF_MaxApertureValue, &p.EXIF_SubjectDistance, &p.EXIF_FocalLength,
                    &p.EXIF_FocalPlaneXResolution, &p.EXIF_FocalPlaneYResolution,
                    &p.EXIF_ExposureIndex})
    *v = real();
  for (double& v : p.EXIF_WhitePoint) v = real();
  for (double& v : p.EXIF_PrimaryChromaticities) v = real();
  for (double& v : p.EXIF_YCbCrCoefficients) v = real();
  for (double& v : p.EXIF_ReferenceBlackWhite) v = real();
  p.EXIF_Bitmap = std::make_unique<TIEBitmap>();
  p.EXIF_Bitmap->Allocate(5, 3, ie24RGB);
}

// The option values of a new object, as the table of defaults gives them.
struct DefaultCase {
  const char* field;
  std::function<double(const TIOParamsVals&)> get;
  double expected;
};

const std::vector<DefaultCase>& DefaultOptions() {
  using P = const TIOParamsVals&;
  static const std::vector<DefaultCase> cases = {
      {"BitsPerSample", [](P p) { return p.BitsPerSample; }, 8},
      {"SamplesPerPixel", [](P p) { return p.SamplesPerPixel; }, 3},
      {"FileType", [](P p) { return p.FileType; }, 0},
      {"ColorMapCount", [](P p) { return p.ColorMapCount; }, 0},
      {"TIFF_Compression", [](P p) { return int(p.TIFF_Compression); }, int(ioTIFF_UNCOMPRESSED)},
      {"TIFF_ImageIndex", [](P p) { return p.TIFF_ImageIndex; }, 0},
      {"TIFF_PhotometInterpret", [](P p) { return int(p.TIFF_PhotometInterpret); }, int(ioTIFF_RGB)},
      {"TIFF_PlanarConf", [](P p) { return p.TIFF_PlanarConf; }, 1},
      {"TIFF_XPos", [](P p) { return p.TIFF_XPos; }, 0},
      {"TIFF_PageNumber", [](P p) { return p.TIFF_PageNumber; }, 0},
      {"TIFF_PageCount", [](P p) { return p.TIFF_PageCount; }, 0},
      {"TIFF_Orientation", [](P p) { return p.TIFF_Orientation; }, 1},
      {"TIFF_EnableAdjustOrientation", [](P p) { return p.TIFF_EnableAdjustOrientation; }, 0},
      {"TIFF_JPEGQuality", [](P p) { return p.TIFF_JPEGQuality; }, 80},
      {"TIFF_ImageCount", [](P p) { return p.TIFF_ImageCount; }, 0},
      {"GIF_ImageIndex", [](P p) { return p.GIF_ImageIndex; }, 0},
      {"GIF_DelayTime", [](P p) { return p.GIF_DelayTime; }, 0},
      {"GIF_FlagTranspColor", [](P p) { return p.GIF_FlagTranspColor; }, 0},
      {"GIF_TranspColor", [](P p) { return p.GIF_TranspColor == TRGB{0, 0, 0}; }, 1},
      {"GIF_Interlaced", [](P p) { return p.GIF_Interlaced; }, 0},
      {"GIF_WinWidth", [](P p) { return p.GIF_WinWidth; }, 0},
      {"GIF_Background", [](P p) { return p.GIF_Background == TRGB{0, 0, 0}; }, 1},
      {"GIF_Ratio", [](P p) { return p.GIF_Ratio; }, 0},
      {"GIF_ImageCount", [](P p) { return p.GIF_ImageCount; }, 0},
      {"JPEG_ColorSpace", [](P p) { return int(p.JPEG_ColorSpace); }, int(ioJPEG_YCbCr)},
      {"JPEG_Quality", [](P p) { return p.JPEG_Quality; }, 80},
      {"JPEG_DCTMethod", [](P p) { return int(p.JPEG_DCTMethod); }, int(ioJPEG_ISLOW)},
      {"JPEG_OptimalHuffman", [](P p) { return p.JPEG_OptimalHuffman; }, 0},
      {"JPEG_Smooth", [](P p) { return p.JPEG_Smooth; }, 0},
      {"JPEG_Progressive", [](P p) { return p.JPEG_Progressive; }, 0},
      {"JPEG_Scale", [](P p) { return int(p.JPEG_Scale); }, int(ioJPEG_FULLSIZE)},
      {"JPEG_ScaleUsed", [](P p) { return p.JPEG_ScaleUsed; }, 1},
      {"JPEG_OriginalWidth", [](P p) { return p.JPEG_OriginalWidth; }, 0},
      {"J2000_ColorSpace", [](P p) { return int(p.J2000_ColorSpace); }, int(ioJ2000_RGB)},
      {"J2000_Rate", [](P p) { return p.J2000_Rate; }, 1.0},
      {"J2000_ScalableBy", [](P p) { return int(p.J2000_ScalableBy); }, int(ioJ2000_Rate)},
      {"PCX_Version", [](P p) { return p.PCX_Version; }, 5},
      {"PCX_Compression", [](P p) { return int(p.PCX_Compression); }, int(ioPCX_RLE)},
      {"BMP_Version", [](P p) { return int(p.BMP_Version); }, int(ioBMP_BM3)},
      {"BMP_Compression", [](P p) { return int(p.BMP_Compression); }, int(ioBMP_UNCOMPRESSED)},
      {"ICO_ImageIndex", [](P p) { return p.ICO_ImageIndex; }, 0},
      {"ICO_Background", [](P p) { return p.ICO_Background == TRGB{255, 255, 255}; }, 1},
      {"CUR_ImageIndex", [](P p) { return p.CUR_ImageIndex; }, 0},
      {"CUR_XHotSpot", [](P p) { return p.CUR_XHotSpot; }, 0},
      {"CUR_YHotSpot", [](P p) { return p.CUR_YHotSpot; }, 0},
      {"CUR_Background", [](P p) { return p.CUR_Background == TRGB{255, 255, 255}; }, 1},
      {"PNG_Interlaced", [](P p) { return p.PNG_Interlaced; }, 0},
      {"PNG_Background", [](P p) { return p.PNG_Background == TRGB{0, 0, 0}; }, 1},
      {"PNG_Filter", [](P p) { return int(p.PNG_Filter); }, int(ioPNG_FILTER_NONE)},
      {"PNG_Compression", [](P p) { return p.PNG_Compression; }, 5},
      {"TGA_XPos", [](P p) { return p.TGA_XPos; }, 0},
      {"TGA_Compressed", [](P p) { return p.TGA_Compressed; }, 1},
      {"TGA_Date", [](P p) { return p.TGA_Date; }, Date()},
      {"TGA_Background", [](P p) { return p.TGA_Background == TRGB{0, 0, 0}; }, 1},
      {"TGA_AspectRatio", [](P p) { return p.TGA_AspectRatio; }, 1.0},
      {"TGA_Gamma", [](P p) { return p.TGA_Gamma; }, 2.2},
      {"TGA_GrayLevel", [](P p) { return p.TGA_GrayLevel; }, 0},
      {"AVI_FrameCount", [](P p) { return p.AVI_FrameCount; }, 0},
      {"AVI_FrameDelayTime", [](P p) { return p.AVI_FrameDelayTime; }, 0},
      {"GIF_Version is GIF89a", [](P p) { return p.GIF_Version == "GIF89a"; }, 1},
      {"texts empty",
       [](P p) {
         return (p.FileName + p.TIFF_DocumentName + p.TIFF_ImageDescription + p.TIFF_PageName +
                 p.TGA_Descriptor + p.TGA_Author + p.TGA_ImageName)
             .empty();
       },
       1},
      {"lists empty",
       [](P p) {
         return p.GIF_Comments->GetCount() + p.JPEG_MarkerList->GetCount() +
                p.IPTC_Info->GetCount() + p.PXM_Comments->GetCount();
       },
       0},
      {"no palette", [](P p) { return p.ColorMap == nullptr; }, 1},
      {"no EXIF", [](P p) { return !p.EXIF_HasEXIFData && p.EXIF_Bitmap == nullptr; }, 1},
  };
  return cases;
}

void ExpectDefaults(const TIOParamsVals& p) {
  for (const auto& c : DefaultOptions()) EXPECT_EQ(c.get(p), c.expected) << c.field;
  TIOParamsVals fresh(nullptr);
  // Every EXIF value zero or empty: compare that part of the description.
  const std::string all = Describe(p), freshAll = Describe(fresh);
  EXPECT_EQ(all.substr(all.find("EXIF ")), freshAll.substr(freshAll.find("EXIF ")));
}

// ---------------------------------------------------------------------------

TEST(IOParams, NewObjectWithoutOwnerHasDefaults) {
  TIOParamsVals p(nullptr);
  ExpectDefaults(p);
  EXPECT_EQ(p.Width, 0);
  EXPECT_EQ(p.Height, 0);
  EXPECT_EQ(p.DpiX, 0);
  EXPECT_EQ(p.DpiY, 0);
  EXPECT_EQ(p.DadirAvIO, nullptr);
}

TEST(IOParams, SetDefaultParamsRestoresOptionsAndKeepsSizeWithoutOwner) {
  TIOParamsVals p(nullptr);
  Fill(p);
  p.SetDefaultParams();
  ExpectDefaults(p);
  // Without an owner the image size and resolution stay; the warnings are untouched.
  EXPECT_EQ(p.Width, 1003);
  EXPECT_EQ(p.Height, 1004);
  EXPECT_EQ(p.DpiX, 1005);
  EXPECT_EQ(p.DpiY, 1006);
  EXPECT_NE(p.JPEG_WarningTot, 0);
}

TEST(IOParams, HooksAreCopiedFromTheGlobalsWhenDefaultsAreSet) {
  TIOParamsVals before(nullptr);
  DefGIF_LZWDECOMPFUNC = GifDecompA;
  DefGIF_LZWCOMPFUNC = GifCompA;
  DefTIFF_LZWDECOMPFUNC = TiffDecompA;
  DefTIFF_LZWCOMPFUNC = TiffCompA;
  TIOParamsVals after(nullptr);
  EXPECT_EQ(before.GIF_LZWDecompFunc, nullptr);  // made before the hooks were set
  EXPECT_EQ(after.GIF_LZWDecompFunc, GifDecompA);
  EXPECT_EQ(after.GIF_LZWCompFunc, GifCompA);
  EXPECT_EQ(after.TIFF_LZWDecompFunc, TiffDecompA);
  EXPECT_EQ(after.TIFF_LZWCompFunc, TiffCompA);
  before.SetDefaultParams();
  EXPECT_EQ(before.GIF_LZWDecompFunc, GifDecompA);
  DefGIF_LZWDECOMPFUNC = nullptr;
  DefGIF_LZWCOMPFUNC = nullptr;
  DefTIFF_LZWDECOMPFUNC = nullptr;
  DefTIFF_LZWCOMPFUNC = nullptr;
}

TEST(IOParams, ResetInfoForgetsWhatAReadFoundAndKeepsOptions) {
  TIOParamsVals p(nullptr);
  Fill(p);
  TIOParamsVals expected(nullptr);
  expected.Assign(&p);
  p.ResetInfo();

  // What ResetInfo forgets.
  struct Forgotten {
    const char* what;
    bool gone;
  };
  const Forgotten forgotten[] = {
      {"IPTC_Info", p.IPTC_Info->GetCount() == 0},
      {"JPEG_MarkerList", p.JPEG_MarkerList->GetCount() == 0},
      {"GIF_Comments", p.GIF_Comments->GetCount() == 0},
      {"PXM_Comments", p.PXM_Comments->GetCount() == 0},
      {"TIFF texts", (p.TIFF_DocumentName + p.TIFF_ImageDescription + p.TIFF_PageName).empty()},
      {"TGA texts", (p.TGA_Descriptor + p.TGA_Author + p.TGA_ImageName).empty()},
      {"EXIF", !p.EXIF_HasEXIFData && !p.EXIF_Bitmap && p.EXIF_Make.empty() &&
                   p.EXIF_Orientation == 0 && p.EXIF_WhitePoint[1] == 0 &&
                   p.EXIF_ISOSpeedRatings[1] == 0 && p.EXIF_UserCommentCode.empty()},
  };
  for (const auto& f : forgotten) EXPECT_TRUE(f.gone) << f.what;

  // Everything else is as it was: put the forgotten parts back into the copy.
  expected.IPTC_Info->Clear();
  expected.JPEG_MarkerList->Clear();
  expected.GIF_Comments->Clear();
  expected.PXM_Comments->Clear();
  expected.TIFF_DocumentName.clear(), expected.TIFF_ImageDescription.clear();
  expected.TIFF_PageName.clear(), expected.TGA_Descriptor.clear(), expected.TGA_Author.clear();
  expected.TGA_ImageName.clear();
  expected.ResetEXIF();
  EXPECT_EQ(Describe(p), Describe(expected));
}

TEST(IOParams, AssignCopiesEveryFieldButOwnerAndWarnings) {
  TIOParamsVals source(nullptr);
  Fill(source);
  TIOParamsVals target(nullptr);
  target.JPEG_WarningTot = 7;
  target.JPEG_WarningCode = 9;
  ASSERT_NE(Describe(target), Describe(source));

  target.Assign(&source);
  EXPECT_EQ(Describe(target), Describe(source));
  EXPECT_EQ(target.JPEG_WarningTot, 7);
  EXPECT_EQ(target.JPEG_WarningCode, 9);
  EXPECT_EQ(target.EXIF_Orientation, source.EXIF_Orientation);
}

TEST(IOParams, AssignGivesTheTargetItsOwnPaletteListsAndThumbnail) {
  TIOParamsVals target(nullptr);
  std::string expected;
  {
    TIOParamsVals source(nullptr);
    Fill(source);
    target.Assign(&source);
    expected = Describe(source);
    EXPECT_NE(target.ColorMap.get(), source.ColorMap.get());
    EXPECT_NE(target.EXIF_Bitmap.get(), source.EXIF_Bitmap.get());
  }
  // The source is gone; the copy is whole (ASan catches any shared memory).
  EXPECT_EQ(Describe(target), expected);
  EXPECT_EQ(target.ColorMapCount, 16);
}

TEST(IOParams, AssignFromSourceWithoutThumbnailOrPaletteKeepsThumbnailDropsPalette) {
  TIOParamsVals target(nullptr);
  Fill(target);
  TIEBitmap* thumbnail = target.EXIF_Bitmap.get();
  TIOParamsVals source(nullptr);
  target.Assign(&source);
  EXPECT_EQ(target.EXIF_Bitmap.get(), thumbnail);
  EXPECT_EQ(target.EXIF_Bitmap->GetWidth(), 5);
  EXPECT_EQ(target.ColorMap, nullptr);
  EXPECT_EQ(target.ColorMapCount, 0);
  EXPECT_EQ(target.JPEG_MarkerList->GetCount(), 0);
}

TEST(IOParams, AssignFromItselfOrNullChangesNothing) {
  TIOParamsVals p(nullptr);
  Fill(p);
  const std::string before = Describe(p);
  p.Assign(&p);
  p.Assign(nullptr);
  p.AssignCompressionInfo(&p);
  EXPECT_EQ(Describe(p), before);
}

TEST(IOParams, AssignCompressionInfoCopiesOnlyEncodingOptions) {
  TIOParamsVals source(nullptr);
  Fill(source);
  TIOParamsVals target(nullptr);
  target.AssignCompressionInfo(&source);

  TIOParamsVals expected(nullptr);
  expected.BitsPerSample = source.BitsPerSample, expected.SamplesPerPixel = source.SamplesPerPixel;
  expected.TIFF_Compression = source.TIFF_Compression;
  expected.TIFF_PhotometInterpret = source.TIFF_PhotometInterpret;
  expected.TIFF_PlanarConf = source.TIFF_PlanarConf;
  expected.TIFF_Orientation = source.TIFF_Orientation;
  expected.TIFF_LZWDecompFunc = source.TIFF_LZWDecompFunc;
  expected.TIFF_LZWCompFunc = source.TIFF_LZWCompFunc;
  expected.TIFF_EnableAdjustOrientation = source.TIFF_EnableAdjustOrientation;
  expected.TIFF_JPEGQuality = source.TIFF_JPEGQuality;
  expected.GIF_Interlaced = source.GIF_Interlaced;
  expected.GIF_LZWDecompFunc = source.GIF_LZWDecompFunc;
  expected.GIF_LZWCompFunc = source.GIF_LZWCompFunc;
  expected.JPEG_ColorSpace = source.JPEG_ColorSpace, expected.JPEG_Quality = source.JPEG_Quality;
  expected.JPEG_DCTMethod = source.JPEG_DCTMethod;
  expected.JPEG_OptimalHuffman = source.JPEG_OptimalHuffman;
  expected.JPEG_Smooth = source.JPEG_Smooth, expected.JPEG_Progressive = source.JPEG_Progressive;
  expected.J2000_ColorSpace = source.J2000_ColorSpace, expected.J2000_Rate = source.J2000_Rate;
  expected.J2000_ScalableBy = source.J2000_ScalableBy;
  expected.PCX_Version = source.PCX_Version, expected.PCX_Compression = source.PCX_Compression;
  expected.BMP_Version = source.BMP_Version, expected.BMP_Compression = source.BMP_Compression;
  expected.PNG_Interlaced = source.PNG_Interlaced, expected.PNG_Filter = source.PNG_Filter;
  expected.PNG_Compression = source.PNG_Compression;
  expected.TGA_Compressed = source.TGA_Compressed, expected.TGA_GrayLevel = source.TGA_GrayLevel;
  EXPECT_EQ(Describe(target), Describe(expected));
}

TEST(IOParams, ExifArrayAccessorsStoreElementsAndRefuseOtherIndexes) {
  TIOParamsVals p(nullptr);
  p.SetEXIF_ISOSpeedRatings(1, 400);
  p.SetEXIF_WhitePoint(1, 0.329);
  p.SetEXIF_PrimaryChromaticities(5, 0.06);
  p.SetEXIF_YCbCrCoefficients(2, 0.114);
  p.SetEXIF_ReferenceBlackWhite(5, 255);
  EXPECT_EQ(p.GetEXIF_ISOSpeedRatings(1), 400);
  EXPECT_EQ(p.EXIF_ISOSpeedRatings[1], 400);
  EXPECT_EQ(p.GetEXIF_WhitePoint(1), 0.329);
  EXPECT_EQ(p.GetEXIF_PrimaryChromaticities(5), 0.06);
  EXPECT_EQ(p.GetEXIF_YCbCrCoefficients(2), 0.114);
  EXPECT_EQ(p.GetEXIF_ReferenceBlackWhite(5), 255);
  EXPECT_THROW(p.SetEXIF_ISOSpeedRatings(2, 1), ERangeError);
  EXPECT_THROW(p.GetEXIF_WhitePoint(-1), ERangeError);
  EXPECT_THROW(p.SetEXIF_PrimaryChromaticities(6, 1), ERangeError);
  EXPECT_THROW(p.GetEXIF_YCbCrCoefficients(3), ERangeError);
  EXPECT_THROW(p.SetEXIF_ReferenceBlackWhite(6, 1), ERangeError);
}

TEST(IOParams, SetDpiSetsBothResolutions) {
  TIOParamsVals p(nullptr);
  p.SetDpi(300);
  EXPECT_EQ(p.DpiX, 300);
  EXPECT_EQ(p.DpiY, 300);
}

TEST(IOParams, FileTypeStrAppendsTheFormatDetails) {
  struct Case {
    Integer fileType;
    std::function<void(TIOParamsVals&)> set;
    const char* expected;
  };
  const Case cases[] = {
      {iofnTIFF, [](TIOParamsVals& p) { p.TIFF_Compression = ioTIFF_G3FAX2D; }, " Group 3 Fax 2D"},
      {iofnTIFF, [](TIOParamsVals& p) { p.TIFF_Compression = ioTIFF_PACKBITS; }, " PackBits RLE"},
      {iofnTIFF, [](TIOParamsVals& p) { p.TIFF_Compression = ioTIFF_UNKNOWN; }, ""},
      {iofnGIF, [](TIOParamsVals& p) { p.GIF_Interlaced = true; }, " Interlaced"},
      {iofnGIF, [](TIOParamsVals&) {}, ""},
      {iofnJPEG, [](TIOParamsVals&) {}, " YCbCr"},
      {iofnJPEG, [](TIOParamsVals& p) { p.JPEG_ColorSpace = ioJPEG_RGB; }, ""},
      {iofnJPEG, [](TIOParamsVals& p) { p.JPEG_ColorSpace = ioJPEG_YCbCrK; }, " YCbCrK"},
      {iofnPCX, [](TIOParamsVals& p) { p.PCX_Compression = ioPCX_UNCOMPRESSED; }, " Uncompressed"},
      {iofnPCX, [](TIOParamsVals&) {}, ""},
      {iofnBMP, [](TIOParamsVals&) {}, " ver.3"},
      {iofnBMP, [](TIOParamsVals& p) { p.BMP_Version = ioBMP_BMOS2V1; }, " OS/2 v.1"},
      {iofnPNG, [](TIOParamsVals& p) { p.PNG_Interlaced = true; }, " Interlaced"},
      {iofnTGA, [](TIOParamsVals&) {}, " Compressed"},
      {iofnTGA, [](TIOParamsVals& p) { p.TGA_Compressed = false; }, " Uncompressed"},
      {iofnJP2, [](TIOParamsVals& p) { p.J2000_ColorSpace = ioJ2000_GRAYLEV; }, " Gray level"},
      {iofnJ2K, [](TIOParamsVals&) {}, " RGB"},
      {iofnICO, [](TIOParamsVals&) {}, ""},
      {99, [](TIOParamsVals&) {}, ""},
  };
  for (const auto& c : cases) {
    TIOParamsVals p(nullptr);
    p.FileType = c.fileType;
    c.set(p);
    EXPECT_EQ(p.GetFileTypeStr(), c.expected) << "file type " << c.fileType;
  }
}

// --- Stream form

// The version-10 record of a new object, item by item.
std::string DefaultRecord(TDateTime date) {
  std::string r = I32(10) + S("") + I32(0);
  for (Integer v : {8, 3, 0, 0, 0, 0}) r += I32(v);
  r += I32(0);                                            // palette of 0 entries: the count only
  r += B(0) + I32(0) + B(2) + I32(1) + I32(0) + I32(0);  // TIFF compression .. YPos
  r += S("") + S("") + S("") + I32(0) + I32(0) + I32(0) + I32(1) + I32(80);
  r += S("GIF89a") + I32(0) + I32(0) + I32(0) + I32(0) + B(0) + C(0, 0, 0) + B(0) + I32(0) + I32(0) +
       C(0, 0, 0) + I32(0) + I32(0) + I32(0);
  r += B(2) + I32(80) + B(0) + B(0) + I32(0) + B(0) + B(0);  // JPEG .. Scale
  r += B(0) + I32(0);                                        // empty marker list
  r += I32(0) + I32(0);                                      // original size
  r += B(1) + D(1.0) + B(0);                                 // J2000
  r += I32(5) + B(1) + B(1) + B(0);                          // PCX, BMP
  r += I32(0) + C(255, 255, 255) + I32(0) + I32(0) + I32(0) + C(255, 255, 255);
  r += B(0) + C(0, 0, 0) + B(0) + I32(5);  // PNG
  r += I32(0) + I32(0) + B(1) + S("") + S("") + D(date) + S("") + C(0, 0, 0) + D(1.0) + D(2.2) + B(0);
  r += I32(0) + I32(0);  // empty IPTC list
  r += I32(0);           // PXM comments
  r += I32(0) + I32(0);  // AVI
  return r;
}

TEST(IOParams, DefaultsSaveAsTheVersion10Record) {
  TIOParamsVals p(nullptr);
  EXPECT_EQ(Saved(p), DefaultRecord(p.TGA_Date));
}

TEST(IOParams, SaveWritesFieldsAtTheirPlaces) {
  TIOParamsVals p(nullptr);
  p.FileName = "a.bmp";
  p.FileType = iofnBMP;
  p.ColorMap = std::make_unique<TRGB[]>(2);
  p.ColorMap[0] = TRGB{1, 2, 3};
  p.ColorMap[1] = TRGB{4, 5, 6};
  p.ColorMapCount = 2;
  p.TIFF_Compression = ioTIFF_PACKBITS;
  const std::string bytes = Saved(p);
  const std::string head = I32(10) + S("a.bmp") + I32(5) + I32(8) + I32(3) + I32(0) + I32(0) +
                           I32(0) + I32(0) + I32(2) + "\x01\x02\x03\x04\x05\x06" + B(8);
  EXPECT_EQ(bytes.substr(0, head.size()), head);
}

TEST(IOParams, SaveThenLoadGivesEqualParameters) {
  TIOParamsVals source(nullptr);
  Fill(source);
  TIOParamsVals loaded(nullptr);
  ASSERT_TRUE(LoadBytes(loaded, Saved(source)));
  EXPECT_EQ(Describe(loaded, true), Describe(source, true));

  TIOParamsVals defaults(nullptr), fresh(nullptr);
  ASSERT_TRUE(LoadBytes(fresh, Saved(defaults)));
  EXPECT_EQ(Describe(fresh), Describe(defaults));
}

TEST(IOParams, LoadLeavesUnstoredFieldsAlone) {
  TIOParamsVals p(nullptr);
  Fill(p);
  const std::string exifBefore = Describe(p).substr(Describe(p).find("not stored"));
  TIOParamsVals defaults(nullptr);
  ASSERT_TRUE(LoadBytes(p, Saved(defaults)));
  EXPECT_EQ(Describe(p).substr(Describe(p).find("not stored")), exifBefore);
  EXPECT_EQ(p.JPEG_Quality, 80);
}

TEST(IOParams, FileRoundTripAndMissingFile) {
  larktest::TempDir dir;
  const AnsiString name = dir.Path() + "params.bin";
  TIOParamsVals source(nullptr);
  Fill(source);
  source.SaveToFile(name);
  TIOParamsVals loaded(nullptr);
  ASSERT_TRUE(loaded.LoadFromFile(name));
  EXPECT_EQ(Describe(loaded, true), Describe(source, true));
  EXPECT_THROW(loaded.LoadFromFile(dir.Path() + "missing.bin"), EFOpenError);
}

// A version-3 record: no image counts, marker, IPTC or comment lists, no AVI, J2000
// or original-size fields.
std::string Version3Record() {
  std::string r = I32(3) + S("v3.tga") + I32(11);
  for (Integer v : {24, 4, 640, 480, 72, 96}) r += I32(v);
  r += I32(1) + C(9, 8, 7);
  r += B(5) + I32(2) + B(3) + I32(2) + I32(11) + I32(12) + S("doc") + S("desc") + S("page") + I32(3) +
       I32(4);
  r += S("GIF87a") + I32(1) + I32(2) + I32(3) + I32(4) + B(1) + C(10, 20, 30) + B(1) + I32(320) +
       I32(200) + C(40, 50, 60) + I32(49);
  r += B(3) + I32(90) + B(1) + B(1) + I32(7) + B(1) + B(3);  // JPEG with Scale (from version 1)
  r += I32(4) + B(0) + B(2) + B(1);
  r += I32(6) + C(1, 1, 1) + I32(7) + I32(8) + I32(9) + C(2, 2, 2);
  r += B(1) + C(3, 3, 3) + B(2) + I32(9);
  r += I32(13) + I32(14) + B(0) + S("descriptor") + S("author") + D(40000.5) + S("job") +
       C(4, 4, 4) + D(1.5) + D(1.8) + B(1);
  return r;
}

TEST(IOParams, Version3RecordKeepsTheFieldsItLacks) {
  TIOParamsVals p(nullptr), filled(nullptr);
  Fill(p);
  Fill(filled);
  ASSERT_TRUE(LoadBytes(p, Version3Record()));
  // Read from the record.
  EXPECT_EQ(p.FileName, "v3.tga");
  EXPECT_EQ(p.FileType, iofnTGA);
  EXPECT_EQ(p.ColorMapCount, 1);
  EXPECT_EQ(p.ColorMap[0], (TRGB{9, 8, 7}));
  EXPECT_EQ(p.TIFF_Compression, ioTIFF_LZW);
  EXPECT_EQ(p.TIFF_PageCount, 4);
  EXPECT_EQ(p.GIF_Ratio, 49);
  EXPECT_EQ(p.JPEG_ColorSpace, ioJPEG_CMYK);
  EXPECT_EQ(p.JPEG_Scale, ioJPEG_EIGHTH);
  EXPECT_EQ(p.PCX_Version, 4);
  EXPECT_EQ(p.BMP_Version, ioBMP_BMOS2V1);
  EXPECT_EQ(p.ICO_ImageIndex, 6);
  EXPECT_EQ(p.CUR_YHotSpot, 9);
  EXPECT_EQ(p.CUR_Background, (TRGB{2, 2, 2}));
  EXPECT_EQ(p.PNG_Compression, 9);
  EXPECT_EQ(p.TGA_Date, 40000.5);
  EXPECT_EQ(p.TGA_Gamma, 1.8);
  EXPECT_TRUE(p.TGA_GrayLevel);
  // Kept from before.
  EXPECT_EQ(p.TIFF_ImageCount, filled.TIFF_ImageCount);
  EXPECT_EQ(p.TIFF_Orientation, filled.TIFF_Orientation);
  EXPECT_EQ(p.TIFF_JPEGQuality, filled.TIFF_JPEGQuality);
  EXPECT_EQ(p.GIF_ImageCount, filled.GIF_ImageCount);
  EXPECT_EQ(Text(p.GIF_Comments.get()), Text(filled.GIF_Comments.get()));
  EXPECT_EQ(p.JPEG_MarkerList->GetCount(), 2);
  EXPECT_EQ(p.JPEG_OriginalWidth, filled.JPEG_OriginalWidth);
  EXPECT_EQ(p.JPEG_OriginalHeight, filled.JPEG_OriginalHeight);
  EXPECT_EQ(p.J2000_ColorSpace, ioJ2000_YCbCr);
  EXPECT_EQ(p.J2000_Rate, filled.J2000_Rate);
  EXPECT_EQ(p.IPTC_Info->GetCount(), 2);
  EXPECT_EQ(Text(p.PXM_Comments.get()), Text(filled.PXM_Comments.get()));
  EXPECT_EQ(p.AVI_FrameCount, filled.AVI_FrameCount);
  EXPECT_EQ(p.AVI_FrameDelayTime, filled.AVI_FrameDelayTime);
}

TEST(IOParams, Version0RecordReadsOneByteFileTypeAndSkipsIconFields) {
  std::string r = I32(0) + S("old.bmp") + B(5);
  for (Integer v : {8, 3, 10, 20, 72, 72}) r += I32(v);
  r += I32(0);
  r += B(0) + I32(0) + B(2) + I32(1) + I32(0) + I32(0) + S("") + S("") + S("") + I32(0) + I32(0);
  r += S("GIF89a") + I32(0) + I32(0) + I32(0) + I32(0) + B(0) + C(0, 0, 0) + B(0) + I32(0) + I32(0) +
       C(0, 0, 0) + I32(0);
  r += B(1) + I32(60) + B(0) + B(0) + I32(0) + B(0);  // no JPEG_Scale
  r += I32(5) + B(0) + B(0) + B(1);
  r += I32(111) + I32(222);           // ICO: two skipped int32
  r += I32(333) + I32(444);           // CUR: two skipped int32
  r += B(1) + C(7, 7, 7) + B(1) + I32(3);  // PNG

  TIOParamsVals p(nullptr);
  Fill(p);
  ASSERT_TRUE(LoadBytes(p, r));
  EXPECT_EQ(p.FileName, "old.bmp");
  EXPECT_EQ(p.FileType, iofnBMP);
  EXPECT_EQ(p.Height, 20);
  EXPECT_EQ(p.ColorMap, nullptr);
  EXPECT_EQ(p.JPEG_ColorSpace, ioJPEG_GRAYLEV);
  EXPECT_EQ(p.JPEG_Quality, 60);
  EXPECT_EQ(p.JPEG_Scale, ioJPEG_AUTOCALC);  // kept
  EXPECT_EQ(p.BMP_Compression, ioBMP_RLE);
  EXPECT_EQ(p.ICO_ImageIndex, 0);
  EXPECT_EQ(p.CUR_ImageIndex, 0);
  EXPECT_EQ(p.CUR_XHotSpot, 0);
  EXPECT_EQ(p.CUR_YHotSpot, 0);
  EXPECT_NE(p.ICO_Background, (TRGB{255, 255, 255}));  // kept
  EXPECT_TRUE(p.PNG_Interlaced);
  EXPECT_EQ(p.PNG_Filter, ioPNG_FILTER_SUB);
  EXPECT_EQ(p.PNG_Compression, 3);
  EXPECT_FALSE(p.TGA_Compressed);  // kept: version 0 has no TGA group
}

TEST(IOParams, VersionAboveTenIsReadAsTen) {
  TIOParamsVals source(nullptr);
  Fill(source);
  std::string bytes = Saved(source);
  bytes.replace(0, 4, I32(77));
  TIOParamsVals loaded(nullptr);
  ASSERT_TRUE(LoadBytes(loaded, bytes));
  EXPECT_EQ(Describe(loaded, true), Describe(source, true));
}

// Every cut of a whole record fails and changes nothing.
TEST(IOParams, TruncatedRecordFailsAndLeavesParametersUnchanged) {
  TIOParamsVals source(nullptr);
  Fill(source);
  const std::string bytes = Saved(source);
  TIOParamsVals p(nullptr);
  p.FileName = "kept";
  p.ColorMap = std::make_unique<TRGB[]>(1);
  p.ColorMapCount = 1;
  p.IPTC_Info->AddStringItem(2, 5, "title");
  const std::string before = Describe(p);
  for (size_t cut = 0; cut < bytes.size(); ++cut) {
    ASSERT_FALSE(LoadBytes(p, bytes.substr(0, cut))) << "cut at " << cut;
    ASSERT_EQ(Describe(p), before) << "cut at " << cut;
  }
}

TEST(IOParams, HostileRecordsAreRefusedWithoutLargeAllocations) {
  TIOParamsVals defaults(nullptr);
  const std::string good = Saved(defaults);
  const size_t paletteAt = 4 + 4 + 4 + 6 * 4;  // version, FileName, FileType, six ints
  const size_t tiffAt = paletteAt + 4;
  struct Case {
    const char* what;
    std::string bytes;
  };
  auto patch = [&](size_t at, const std::string& with) {
    std::string b = good;
    b.replace(at, with.size(), with);
    return b;
  };
  const Case cases[] = {
      {"negative version", patch(0, I32(-1))},
      {"negative file name length", patch(4, I32(-5))},
      {"huge file name length", patch(4, I32(0x7FFFFFFF))},
      {"negative palette count", patch(paletteAt, I32(-1))},
      {"huge palette count", patch(paletteAt, I32(0x7FFFFFFF))},
      {"palette above the limit with its bytes present",
       good.substr(0, paletteAt) + I32(TIOParamsVals::kMaxColorMapCount + 1) +
           std::string(3 * (TIOParamsVals::kMaxColorMapCount + 1), '\0') + good.substr(tiffAt)},
      {"palette longer than the stream", patch(paletteAt, I32(1000))},
      {"TIFF compression out of range", patch(tiffAt, B(200))},
      {"photometric out of range", patch(tiffAt + 5, B(8))},
      {"empty stream", ""},
  };
  for (const auto& c : cases) {
    TIOParamsVals p(nullptr);
    Fill(p);
    const std::string before = Describe(p);
    EXPECT_FALSE(LoadBytes(p, c.bytes)) << c.what;
    EXPECT_EQ(Describe(p), before) << c.what;
  }
}

TEST(IOParams, HostileListCountsAndLengthsAreRefused) {
  // A record whose lists hold one recognisable entry each; each case patches a
  // count or length near it.
  TIOParamsVals source(nullptr);
  source.GIF_Comments->Add("GGGG");
  source.JPEG_MarkerList->AddMarker(254, "MMMM", 4);
  source.IPTC_Info->AddStringItem(2, 120, "IIII");
  source.PXM_Comments->Add("PPPP");
  const std::string good = Saved(source);
  auto at = [&](const char* text) {
    const size_t pos = good.find(text);
    EXPECT_NE(pos, std::string::npos) << text;
    return pos;
  };
  auto patch = [&](size_t pos, Integer value) {
    std::string b = good;
    b.replace(pos, 4, I32(value));
    return b;
  };
  struct Case {
    const char* what;
    std::string bytes;
  };
  const Case cases[] = {
      {"GIF comment count", patch(at("GGGG") - 8, 0x7FFFFFFF)},
      {"GIF comment count negative", patch(at("GGGG") - 8, -2)},
      {"GIF comment length", patch(at("GGGG") - 4, 0x7FFFFFF0)},
      {"marker count", patch(at("MMMM") - 9, 0x40000000)},
      {"marker count negative", patch(at("MMMM") - 9, -1)},
      {"marker length", patch(at("MMMM") - 4, 0x7FFFFFFF)},
      {"marker length negative", patch(at("MMMM") - 4, -4)},
      {"IPTC count", patch(at("IIII") - 16, 0x7FFFFFFF)},
      {"IPTC data length", patch(at("IIII") - 4, 0x7FFFFFFF)},
      {"IPTC data length negative", patch(at("IIII") - 4, -4)},
      {"PXM comment count", patch(at("PPPP") - 8, 0x7FFFFFFF)},
  };
  TIOParamsVals check(nullptr);
  ASSERT_TRUE(LoadBytes(check, good));  // the unpatched record loads
  for (const auto& c : cases) {
    TIOParamsVals p(nullptr);
    Fill(p);
    const std::string before = Describe(p);
    EXPECT_FALSE(LoadBytes(p, c.bytes)) << c.what;
    EXPECT_EQ(Describe(p), before) << c.what;
  }
}

}  // namespace
