// The TIFF reader: the header, the page's directory and its EXIF directory, the
// tag values with their defaults, and the parameters filled from them; the pixels
// are decoded in tiffilt_read_decode.cpp.
//
// A failure found before the page is known to be readable (header, directory,
// unequal sample sizes, a missing LZW decoder) leaves the parameters as they were.
#include <algorithm>
#include <cstring>
#include <vector>

#include "image/formats/tiffilt.h"
#include "image/formats/tiffilt_io.h"
#include "platform/rtl/Math.h"
#include "platform/win/Gdi.h"

namespace {

// Largest colour map built: 2^16 entries.
constexpr Integer kMaxMapBits = 16;
constexpr Integer kCompLZW = 5;

Integer TruncClamped(double v) {
  if (!(v > -2147483648.0)) return v != v ? 0 : -2147483647 - 1;
  if (v >= 2147483647.0) return 2147483647;
  return static_cast<Integer>(Trunc(v));
}

// ---------------------------------------------------------------------------
// Tags into the reader's state and the parameters

void ReadArray(const TTIFFEnv& env, Integer tag, std::unique_ptr<Integer[]>& values, Integer& count) {
  count = TIFFReadArrayIntegers(env, values, tag);
  if (count == 0) values.reset();
}

// False when the page cannot be read at all (its samples differ in size).
bool ReadVars(const TTIFFEnv& env, TTIFFVars& v) {
  v.ImageWidth = TIFFReadSingleValDef(env, 256, 0);
  v.ImageLength = TIFFReadSingleValDef(env, 257, 0);
  v.SamplesPerPixel = TIFFReadSingleValDef(env, 277, 1);
  {
    std::unique_ptr<Integer[]> bps;
    const Integer n = TIFFReadArrayIntegers(env, bps, 258);
    v.BitsPerSample = n > 0 ? bps[0] : 1;
    for (Integer i = 1; i < n; ++i)
      if (bps[i] != bps[0]) return false;
  }
  v.RowsPerStrip = TIFFReadSingleValDef(env, 278, v.ImageLength);
  // 0xFFFFFFFF and 0 (and anything beyond the page) mean one strip.
  if (v.RowsPerStrip <= 0 || v.RowsPerStrip > v.ImageLength) v.RowsPerStrip = v.ImageLength;
  v.TileWidth = TIFFReadSingleValDef(env, 322, -1);
  v.TileLength = TIFFReadSingleValDef(env, 323, -1);
  v.Photometric = TIFFReadSingleValDef(env, 262, 2);
  v.PlanarConfiguration = TIFFReadSingleValDef(env, 284, 1);
  v.Orientation = TIFFReadSingleValDef(env, 274, 1);
  v.Compression = TIFFReadSingleValDef(env, 259, 1);
  v.Predictor = TIFFReadSingleValDef(env, 317, 1);
  v.ResolutionUnit = TIFFReadSingleValDef(env, 296, 2);
  v.XResolution = TIFFReadSingleRational(env, 282);
  v.YResolution = TIFFReadSingleRational(env, 283);
  v.T4Options = TIFFReadSingleValDef(env, 292, 0);
  v.FillOrder = TIFFReadSingleValDef(env, 266, 1);
  v.XPosition = TIFFReadSingleRational(env, 286);
  v.YPosition = TIFFReadSingleRational(env, 287);
  v.JPEGProc = TIFFReadSingleValDef(env, 512, 0);
  v.JPEGInterchangeFormat = TIFFReadSingleValDef(env, 513, 0);
  v.JPEGInterchangeFormatLength = TIFFReadSingleValDef(env, 514, 0);
  v.ExtraSamples = TIFFReadIndexValN(env, 338, 0);
  v.Software = TIFFReadString(env, 305);
  ReadArray(env, 273, v.StripOffsets, v.StripOffsetsCount);
  ReadArray(env, 279, v.StripByteCounts, v.StripByteCountsCount);
  ReadArray(env, 324, v.TileOffsets, v.TileOffsetsCount);
  ReadArray(env, 325, v.TileByteCounts, v.TileByteCountsCount);
  v.JPEGTables = TIFFReadRawData(env, 347, v.JPEGTablesLength);
  if (TIFFFindTAG(320, env) >= 0 && v.BitsPerSample >= 1 && v.BitsPerSample <= kMaxMapBits) {
    const Integer entries = 1 << v.BitsPerSample;
    std::unique_ptr<Integer[]> map;
    const Integer n = TIFFReadArrayIntegers(env, map, 320);
    auto at = [&](Integer i) { return i < n ? static_cast<Byte>((map[i] >> 8) & 255) : Byte{0}; };
    v.ColorMap.resize(static_cast<size_t>(entries));
    for (Integer i = 0; i < entries; ++i)
      v.ColorMap[static_cast<size_t>(i)] = TRGB{at(2 * entries + i), at(entries + i), at(i)};
  }
  if (v.SamplesPerPixel == 1 && v.BitsPerSample == 1 && v.Compression >= 1 && v.Compression <= 4 &&
      v.Photometric == 2)
    v.Photometric = 0;
  return true;
}

TIOTIFFCompression CompressionOf(const TTIFFVars& v) {
  switch (v.Compression) {
    case 1: return ioTIFF_UNCOMPRESSED;
    case 2: return ioTIFF_CCITT1D;
    case 3: return (v.T4Options & 1) ? ioTIFF_G3FAX2D : ioTIFF_G3FAX1D;
    case 4: return ioTIFF_G4FAX;
    case 5: return ioTIFF_LZW;
    case 6: return ioTIFF_OLDJPEG;
    case 7: return ioTIFF_JPEG;
    case 32773: return ioTIFF_PACKBITS;
    default: return ioTIFF_UNKNOWN;
  }
}

// The bytes of tag 33723 (Count values of its type), parsed as IPTC records.
void ReadIPTC(const TTIFFEnv& env, TIEIPTCInfoList& list) {
  list.Clear();
  const Integer i = TIFFFindTAG(33723, env);
  if (i < 0) {
    list.SetModified(false);
    return;
  }
  const TTIFFTag& t = env.Entries[static_cast<size_t>(i)];
  const Int64 unit = t.Type == 3 || t.Type == 8 ? 2 : (t.Type == 4 || t.Type == 9 ? 4 : 1);
  const Int64 bytes = Int64{t.Count} * unit;
  std::vector<Byte> buf;
  if (bytes <= 4) {
    for (Int64 k = 0; k < bytes; ++k)
      buf.push_back(static_cast<Byte>(env.Intel ? t.Value >> (8 * k) : t.Value >> (24 - 8 * k)));
  } else {
    const Int64 pos = Int64{t.Value} + env.Base;
    if (!tiffilt::InStream(env.Stream, pos, bytes)) return;
    buf.resize(static_cast<size_t>(bytes));
    if (!tiffilt::ReadAt(env.Stream, pos, buf.data(), bytes)) return;
  }
  if (!buf.empty()) list.LoadFromStandardBuffer(buf.data(), static_cast<Integer>(buf.size()));
  list.SetModified(false);
}

void FillEXIF(const TTIFFEnv& e, TIOParamsVals& p) {
  p.EXIF_ExposureTime = TIFFReadSingleRational(e, 33434);
  p.EXIF_FNumber = TIFFReadSingleRational(e, 33437);
  p.EXIF_ExposureProgram = TIFFReadSingleValDef(e, 34850, 0);
  p.EXIF_ISOSpeedRatings[0] = TIFFReadIndexValN(e, 34855, 0);
  p.EXIF_ISOSpeedRatings[1] = TIFFReadIndexValN(e, 34855, 1);
  p.EXIF_ExifVersion = TIFFReadMiniString(e, 36864);
  p.EXIF_DateTimeOriginal = TIFFReadString(e, 36867);
  p.EXIF_DateTimeDigitized = TIFFReadString(e, 36868);
  p.EXIF_CompressedBitsPerPixel = TIFFReadSingleRational(e, 37122);
  p.EXIF_ShutterSpeedValue = TIFFReadSingleRational(e, 37377);
  p.EXIF_ApertureValue = TIFFReadSingleRational(e, 37378);
  p.EXIF_BrightnessValue = TIFFReadSingleRational(e, 37379);
  p.EXIF_ExposureBiasValue = TIFFReadSingleRational(e, 37380);
  p.EXIF_MaxApertureValue = TIFFReadSingleRational(e, 37381);
  p.EXIF_SubjectDistance = TIFFReadSingleRational(e, 37382);
  p.EXIF_MeteringMode = TIFFReadSingleValDef(e, 37383, 0);
  p.EXIF_LightSource = TIFFReadSingleValDef(e, 37384, 0);
  p.EXIF_Flash = TIFFReadSingleValDef(e, 37385, 0);
  p.EXIF_FocalLength = TIFFReadSingleRational(e, 37386);
  const AnsiString comment = TIFFReadString(e, 37510);
  p.EXIF_UserCommentCode = comment.substr(0, 8);
  p.EXIF_UserComment = comment.size() > 8 ? comment.substr(8) : AnsiString();
  p.EXIF_SubsecTime = TIFFReadString(e, 37520);
  p.EXIF_SubsecTimeOriginal = TIFFReadString(e, 37521);
  p.EXIF_SubsecTimeDigitized = TIFFReadString(e, 37522);
  p.EXIF_FlashpixVersion = TIFFReadMiniString(e, 40960);
  p.EXIF_ColorSpace = TIFFReadSingleValDef(e, 40961, 0);
  p.EXIF_PixelXDimension = TIFFReadSingleValDef(e, 40962, 0);
  p.EXIF_PixelYDimension = TIFFReadSingleValDef(e, 40963, 0);
  p.EXIF_RelatedSoundFile = TIFFReadString(e, 40964);
  p.EXIF_FocalPlaneXResolution = TIFFReadSingleRational(e, 41486);
  p.EXIF_FocalPlaneYResolution = TIFFReadSingleRational(e, 41487);
  p.EXIF_FocalPlaneResolutionUnit = TIFFReadSingleValDef(e, 41488, 0);
  p.EXIF_ExposureIndex = TIFFReadSingleRational(e, 41493);
  p.EXIF_SensingMethod = TIFFReadSingleValDef(e, 41495, 0);
  p.EXIF_FileSource = TIFFReadSingleValDef(e, 41728, 0);
  p.EXIF_SceneType = TIFFReadSingleValDef(e, 41729, 0);
}

void FillParams(const TTIFFEnv& env, const TTIFFEnv& exif, const TTIFFVars& v, Integer imageCount,
                TIOParamsVals& p) {
  p.BitsPerSample = v.BitsPerSample;
  p.SamplesPerPixel = v.SamplesPerPixel;
  p.Width = v.ImageWidth;
  p.Height = v.ImageLength;
  p.TIFF_ImageCount = imageCount;
  p.TIFF_Orientation = v.Orientation;
  p.EXIF_Orientation = v.Orientation;
  p.TIFF_Compression = CompressionOf(v);
  if (v.Photometric >= 0 && v.Photometric <= 6)
    p.TIFF_PhotometInterpret = static_cast<TIOTIFFPhotometInterpret>(v.Photometric);
  else if (v.Photometric == 8)
    p.TIFF_PhotometInterpret = ioTIFF_CIELAB;
  p.TIFF_PlanarConf = v.PlanarConfiguration;
  p.TIFF_DocumentName = TIFFReadString(env, 269);
  p.TIFF_ImageDescription = TIFFReadString(env, 270);
  p.TIFF_PageName = TIFFReadString(env, 285);
  p.TIFF_PageNumber = TIFFReadIndexValN(env, 297, 0);
  p.TIFF_PageCount = TIFFReadIndexValN(env, 297, 1);
  p.EXIF_Make = TIFFReadString(env, 271);
  p.EXIF_Model = TIFFReadString(env, 272);
  p.EXIF_DateTime = TIFFReadString(env, 306);
  p.EXIF_Software = v.Software;
  p.EXIF_Copyright = TIFFReadString(env, 33432);
  p.EXIF_XResolution = v.XResolution;
  p.EXIF_YResolution = v.YResolution;
  p.EXIF_ResolutionUnit = v.ResolutionUnit;
  for (Integer i = 0; i < 2; ++i) p.EXIF_WhitePoint[i] = TIFFReadRationalIndex(env, 318, i);
  for (Integer i = 0; i < 6; ++i) p.EXIF_PrimaryChromaticities[i] = TIFFReadRationalIndex(env, 319, i);
  for (Integer i = 0; i < 3; ++i) p.EXIF_YCbCrCoefficients[i] = TIFFReadRationalIndex(env, 529, i);
  for (Integer i = 0; i < 6; ++i) p.EXIF_ReferenceBlackWhite[i] = TIFFReadRationalIndex(env, 532, i);
  p.EXIF_YCbCrPositioning = TIFFReadSingleValDef(env, 531, 0);
  FillEXIF(exif, p);
  if (!v.ColorMap.empty()) {
    p.ColorMap.reset();
    p.ColorMapCount = 0;
    auto map = std::make_unique<TRGB[]>(v.ColorMap.size());
    std::copy(v.ColorMap.begin(), v.ColorMap.end(), map.get());
    p.ColorMap = std::move(map);
    p.ColorMapCount = static_cast<Integer>(v.ColorMap.size());
  }
  ReadIPTC(env, *p.IPTC_Info);
  const double f = v.ResolutionUnit == 3 ? 2.54 : 1.0;
  p.DpiX = TruncClamped(v.XResolution * f);
  p.DpiY = TruncClamped(v.YResolution * f);
  if (p.DpiX == 0) p.DpiX = IEScreenDpiX();
  if (p.DpiY == 0) p.DpiY = IEScreenDpiY();
  p.TIFF_XPos = TruncClamped(v.XPosition * f);
  p.TIFF_YPos = TruncClamped(v.YPosition * f);
}

}  // namespace

void TIFFReadStream(TIEBitmap* Bitmap, TStream* Stream, Integer& ImageCount, TIOParamsVals* Params,
                    TProgressRec& Progress, bool Preview, std::unique_ptr<TIEMask>& Mask,
                    bool RelativeOffsets, bool IgnoreAlpha) {
  ImageCount = 0;
  if (Stream == nullptr) return Progress.Abort();
  TTIFFEnv env;
  env.Stream = Stream;
  env.Base = 0;
  if (RelativeOffsets) {
    const Int64 at = Stream->GetPosition();
    if (at < 0 || at > 0x7FFFFFFF) return Progress.Abort();
    env.Base = static_cast<Integer>(at);
  }
  Byte h[8];
  DWORD first = 0;
  if (Stream->Read(h, 8) != 8 || !tiffilt::ParseHeader(h, env.Intel, first) || first == 0)
    return Progress.Abort();
  const Integer index = Params != nullptr ? Params->TIFF_ImageIndex : -1;
  const bool found = TIFFLoadDirectory(index, first, env, ImageCount);
  if (Params == nullptr) return;  // only counting
  if (!found || index < 0) return Progress.Abort();

  TTIFFVars v;
  if (!ReadVars(env, v)) return Progress.Abort();
  v.LZW = Params->TIFF_LZWDecompFunc != nullptr ? Params->TIFF_LZWDecompFunc : DefTIFF_LZWDECOMPFUNC;
  if (v.Compression == kCompLZW && v.LZW == nullptr) return Progress.Abort();

  TTIFFEnv exif;
  exif.Intel = env.Intel;
  exif.Stream = Stream;
  exif.Base = env.Base;
  const Integer exifOffset = TIFFReadSingleValDef(env, 34665, 0);
  if (exifOffset > 0) {
    Integer n = 0;
    TIFFLoadDirectory(0, static_cast<DWORD>(exifOffset), exif, n);
  }
  FillParams(env, exif, v, ImageCount, *Params);
  if (Preview || Bitmap == nullptr) return;

  TIFFDecodePage(Bitmap, *Params, Progress, Mask, IgnoreAlpha, env, v);
}
