// Image parameters and the codec calling convention.
//
// Every image format is a set of free functions on a TStream: a detector, a reader
// and a writer. A reader fills a TIEBitmap and a TIOParamsVals from the stream; a
// writer takes its options from a TIOParamsVals. Both report progress and failure
// through the caller's TProgressRec: progress through its event (0..100), failure
// by setting the caller's abort flag, never by an exception. The caller reads
// success as the abort flag still being clear.
//
// TIOParamsVals belongs to the input/output unit; it lives here, with the codecs
// that fill and read it, so that they need nothing from the input/output layer.
#pragma once

#include <memory>

#include "image/model/iebitmap.h"
#include "image/model/iedefs.h"
#include "image/model/ieutils.h"
#include "platform/rtl/Component.h"
#include "platform/rtl/Lists.h"
#include "platform/rtl/Streams.h"
#include "platform/rtl/Types.h"

class TDadirAvIO;  // the input/output component (image/io)
class TIOParamsVals;

// ===========================================================================
// Limits every reader keeps, and the resolution of files that state none.

// Largest image a reader allocates, in pixels: the framework bitmap's own bound, so
// whatever a reader gives can also be shown. A file that declares more is refused
// with the abort flag before its picture or mask is allocated.
inline constexpr Int64 IEMaxPixels = TBitmap::kMaxPixels;
// Largest width or height a reader takes.
inline constexpr Int64 IEMaxSide = Int64{1} << 20;

// Largest side of a frequency domain transform (a power of two: the transform pads
// an image to a square of that side). Four planes of this side take 512 MiB; a
// larger image is refused, never half transformed.
inline constexpr Integer IEMaxFTSide = 4096;

// Whether a reader may allocate a width x height picture: both sides positive and
// within IEMaxSide, and at most IEMaxPixels pixels in all.
constexpr bool IESizeWithinLimits(Int64 width, Int64 height) noexcept {
  return width > 0 && height > 0 && width <= IEMaxSide && height <= IEMaxSide &&
         width * height <= IEMaxPixels;
}

// The resolution given to a file, or to parameters, that state none: the screen's
// (its LOGPIXELSX or LOGPIXELSY), or 96 when the screen gives none.
inline constexpr Integer IEFallbackDpi = 96;
Integer IEScreenDpiX();
Integer IEScreenDpiY();

// ===========================================================================
// Per-format option types. Every one is stored as its ordinal in one byte.

enum class TIOTIFFCompression : Byte {
  ioTIFF_UNCOMPRESSED,
  ioTIFF_CCITT1D,
  ioTIFF_G3FAX1D,
  ioTIFF_G3FAX2D,
  ioTIFF_G4FAX,
  ioTIFF_LZW,
  ioTIFF_OLDJPEG,
  ioTIFF_JPEG,
  ioTIFF_PACKBITS,
  ioTIFF_UNKNOWN
};
using enum TIOTIFFCompression;

// TIFF Photometric 0..6 by ordinal; 8 (CIE L*a*b*) is ioTIFF_CIELAB.
enum class TIOTIFFPhotometInterpret : Byte {
  ioTIFF_WHITEISZERO,
  ioTIFF_BLACKISZERO,
  ioTIFF_RGB,
  ioTIFF_RGBPALETTE,
  ioTIFF_TRANSPMASK,
  ioTIFF_CMYK,
  ioTIFF_YCBCR,
  ioTIFF_CIELAB
};
using enum TIOTIFFPhotometInterpret;

enum class TIOJPEGColorspace : Byte { ioJPEG_RGB, ioJPEG_GRAYLEV, ioJPEG_YCbCr, ioJPEG_CMYK, ioJPEG_YCbCrK };
using enum TIOJPEGColorspace;

enum class TIOJPEGDctMethod : Byte { ioJPEG_ISLOW, ioJPEG_IFAST, ioJPEG_FLOAT };
using enum TIOJPEGDctMethod;

// Reduction asked of the JPEG reader: 1, 1/2, 1/4, 1/8, or the largest that still
// covers the Width x Height already in the parameters.
enum class TIOJPEGScale : Byte { ioJPEG_FULLSIZE, ioJPEG_HALF, ioJPEG_QUARTER, ioJPEG_EIGHTH, ioJPEG_AUTOCALC };
using enum TIOJPEGScale;

enum class TIOJ2000ColorSpace : Byte { ioJ2000_GRAYLEV, ioJ2000_RGB, ioJ2000_YCbCr };
using enum TIOJ2000ColorSpace;

enum class TIOJ2000ScalableBy : Byte { ioJ2000_Rate, ioJ2000_Resolution };
using enum TIOJ2000ScalableBy;

enum class TIOPCXCompression : Byte { ioPCX_UNCOMPRESSED, ioPCX_RLE };
using enum TIOPCXCompression;

enum class TIOBMPVersion : Byte { ioBMP_BM, ioBMP_BM3, ioBMP_BMOS2V1, ioBMP_BMOS2V2 };
using enum TIOBMPVersion;

enum class TIOBMPCompression : Byte { ioBMP_UNCOMPRESSED, ioBMP_RLE };
using enum TIOBMPCompression;

enum class TIOPNGFilter : Byte { ioPNG_FILTER_NONE, ioPNG_FILTER_SUB, ioPNG_FILTER_PAETH };
using enum TIOPNGFilter;

// ===========================================================================
// LZW hooks. GIF and TIFF code their LZW data through these; the parameters copy
// the process-wide defaults below when their defaults are set.

// Decodes the LZW data of one GIF frame (stream at the minimum-code-size byte) into
// Width x Height indexes at Dest, row after row (in interlaced order when asked).
using TGIFLZWDecompFunc = void (*)(TStream* Stream, Integer Height, Integer Width,
                                   bool Interlaced, Byte* Dest);
// Writes the minimum-code-size byte, the data sub-blocks and the terminator for
// Width x Height indexes at Data; BitsPerPixel is the palette's depth.
using TGIFLZWCompFunc = void (*)(TStream* Stream, Integer Height, Integer Width, bool Interlaced,
                                 const Byte* Data, Integer BitsPerPixel);
// Called once per row with the strip's compressed bytes (Data, DataLength) and the
// row length; answers the next decoded row of RowBytes bytes, or null on failure.
// Called with (null, 0, 0, State) when the strip ends, to free State.
using TTIFFLZWDecompFunc = Byte* (*)(const Byte* Data, Integer DataLength, Integer RowBytes,
                                     void*& State);
// Called with each row and with (null, 0, Stream, State) after the last one; writes
// the compressed data to Stream itself.
using TTIFFLZWCompFunc = void (*)(const Byte* Row, Integer RowBytes, TStream* Stream,
                                  void*& State);

// Null when the program starts; the application installs the GIF ones.
extern TGIFLZWDecompFunc DefGIF_LZWDECOMPFUNC;
extern TGIFLZWCompFunc DefGIF_LZWCOMPFUNC;
extern TTIFFLZWDecompFunc DefTIFF_LZWDECOMPFUNC;
extern TTIFFLZWCompFunc DefTIFF_LZWCOMPFUNC;

// ===========================================================================
// The codec convention, as function types.
//
// A reader reads from the stream's position onward into Bitmap (allocated with
// TIEBitmap::Allocate at the image size, rows filled in order) and Params (Width,
// Height, BitsPerSample, SamplesPerPixel, DpiX, DpiY and its own format group; a
// palette image leaves its palette in ColorMap and becomes ie24RGB; only bilevel
// images stay ie1g). With Preview it fills Params only. A writer writes at the
// stream's position, taking its options from Params.
//
// Both set Progress.per1 before their row loop, report Trunc(per1 x rows done)
// after each row, stop at once when the abort flag is set, and on bad input, a
// short read or a short write set the flag themselves and return.
using TIEReadImageStream = void (*)(TStream* Stream, TIEBitmap* Bitmap, TIOParamsVals& Params,
                                    TProgressRec& Progress, bool Preview);
using TIEWriteImageStream = void (*)(TStream* Stream, TIEBitmap* Bitmap, TIOParamsVals& Params,
                                     TProgressRec& Progress);
// True when the bytes at the position look like the format; the position is left
// where it was.
using TIETryImageStream = bool (*)(TStream* Stream);

// ===========================================================================
// Image parameters

// The file-type numbers of FileType.
inline constexpr Integer iofnUnknown = 0;
inline constexpr Integer iofnTIFF = 1;
inline constexpr Integer iofnGIF = 2;
inline constexpr Integer iofnJPEG = 3;
inline constexpr Integer iofnPCX = 4;
inline constexpr Integer iofnBMP = 5;
inline constexpr Integer iofnICO = 6;
inline constexpr Integer iofnCUR = 7;
inline constexpr Integer iofnPNG = 8;
inline constexpr Integer iofnWMF = 9;
inline constexpr Integer iofnEMF = 10;
inline constexpr Integer iofnTGA = 11;
inline constexpr Integer iofnPXM = 12;
inline constexpr Integer iofnJP2 = 13;
inline constexpr Integer iofnJ2K = 14;

// The plain values of the parameters: what a read found and what a writer is asked
// for. Copied as a whole by TIOParamsVals::Assign.
struct TIOParamsFields {
  Integer BitsPerSample = 8;
  Integer SamplesPerPixel = 3;
  Integer Width = 0;
  Integer Height = 0;
  Integer DpiX = 0;
  Integer DpiY = 0;
  Integer FileType = iofnUnknown;  // set by the input/output component, not the codecs

  // TIFF
  TIOTIFFCompression TIFF_Compression = ioTIFF_UNCOMPRESSED;
  Integer TIFF_ImageIndex = 0;  // page to read
  TIOTIFFPhotometInterpret TIFF_PhotometInterpret = ioTIFF_RGB;
  Integer TIFF_PlanarConf = 1;
  Integer TIFF_XPos = 0;
  Integer TIFF_YPos = 0;
  AnsiString TIFF_DocumentName;
  AnsiString TIFF_ImageDescription;
  AnsiString TIFF_PageName;
  Integer TIFF_PageNumber = 0;
  Integer TIFF_PageCount = 0;
  Integer TIFF_Orientation = 1;
  TTIFFLZWDecompFunc TIFF_LZWDecompFunc = nullptr;
  TTIFFLZWCompFunc TIFF_LZWCompFunc = nullptr;
  bool TIFF_EnableAdjustOrientation = false;  // the reader turns the image upright
  Integer TIFF_JPEGQuality = 80;

  // GIF
  AnsiString GIF_Version = "GIF89a";
  Integer GIF_ImageIndex = 0;  // frame to read; position of an inserted frame
  Integer GIF_XPos = 0;
  Integer GIF_YPos = 0;
  Integer GIF_DelayTime = 0;  // hundredths of a second
  bool GIF_FlagTranspColor = false;
  TRGB GIF_TranspColor{};
  bool GIF_Interlaced = false;
  Integer GIF_WinWidth = 0;
  Integer GIF_WinHeight = 0;
  TRGB GIF_Background{};
  Integer GIF_Ratio = 0;
  TGIFLZWDecompFunc GIF_LZWDecompFunc = nullptr;
  TGIFLZWCompFunc GIF_LZWCompFunc = nullptr;

  // JPEG
  TIOJPEGColorspace JPEG_ColorSpace = ioJPEG_YCbCr;
  Integer JPEG_Quality = 80;  // 1..100
  TIOJPEGDctMethod JPEG_DCTMethod = ioJPEG_ISLOW;
  bool JPEG_OptimalHuffman = false;
  Integer JPEG_Smooth = 0;
  bool JPEG_Progressive = false;
  TIOJPEGScale JPEG_Scale = ioJPEG_FULLSIZE;
  Integer JPEG_ScaleUsed = 1;  // denominator the reader used: 1, 2, 4 or 8
  Integer JPEG_OriginalWidth = 0;
  Integer JPEG_OriginalHeight = 0;

  // JPEG 2000
  TIOJ2000ColorSpace J2000_ColorSpace = ioJ2000_RGB;
  double J2000_Rate = 1.0;
  TIOJ2000ScalableBy J2000_ScalableBy = ioJ2000_Rate;

  // PCX
  Integer PCX_Version = 5;
  TIOPCXCompression PCX_Compression = ioPCX_RLE;

  // BMP
  TIOBMPVersion BMP_Version = ioBMP_BM3;
  TIOBMPCompression BMP_Compression = ioBMP_UNCOMPRESSED;

  // ICO and CUR
  Integer ICO_ImageIndex = 0;
  TRGB ICO_Background{255, 255, 255};  // given to transparent pixels
  Integer CUR_ImageIndex = 0;
  Integer CUR_XHotSpot = 0;
  Integer CUR_YHotSpot = 0;
  TRGB CUR_Background{255, 255, 255};

  // PNG
  bool PNG_Interlaced = false;
  TRGB PNG_Background{};
  TIOPNGFilter PNG_Filter = ioPNG_FILTER_NONE;
  Integer PNG_Compression = 5;  // zlib level 0..9

  // TGA
  Integer TGA_XPos = 0;
  Integer TGA_YPos = 0;
  bool TGA_Compressed = true;
  AnsiString TGA_Descriptor;
  AnsiString TGA_Author;
  TDateTime TGA_Date = 0;  // today when the defaults are set
  AnsiString TGA_ImageName;
  TRGB TGA_Background{};
  double TGA_AspectRatio = 1.0;
  double TGA_Gamma = 2.2;
  bool TGA_GrayLevel = false;

  // Others
  Integer AVI_FrameCount = 0;
  Integer AVI_FrameDelayTime = 0;  // milliseconds per frame
  AnsiString FileName;             // set by the input/output component
  Integer GIF_ImageCount = 0;      // frames counted by the GIF reader
  Integer TIFF_ImageCount = 0;     // pages counted by the TIFF reader
};

// The EXIF values of an image (from a JPEG's APP1 block or a TIFF's tags); all zero
// or empty when there are none. Each scalar carries the name of its EXIF or TIFF
// tag.
struct TIOParamsEXIF {
  bool EXIF_HasEXIFData = false;
  AnsiString EXIF_ImageDescription;  // 270
  AnsiString EXIF_Make;              // 271
  AnsiString EXIF_Model;             // 272
  Integer EXIF_Orientation = 0;      // 274
  double EXIF_XResolution = 0;       // 282
  double EXIF_YResolution = 0;       // 283
  Integer EXIF_ResolutionUnit = 0;   // 296
  AnsiString EXIF_Software;          // 305
  AnsiString EXIF_DateTime;          // 306
  double EXIF_WhitePoint[2] = {};    // 318
  double EXIF_PrimaryChromaticities[6] = {};  // 319
  double EXIF_YCbCrCoefficients[3] = {};      // 529
  Integer EXIF_YCbCrPositioning = 0;          // 531
  double EXIF_ReferenceBlackWhite[6] = {};    // 532
  AnsiString EXIF_Copyright;                  // 33432
  double EXIF_ExposureTime = 0;               // 33434
  double EXIF_FNumber = 0;                    // 33437
  Integer EXIF_ExposureProgram = 0;           // 34850
  Integer EXIF_ISOSpeedRatings[2] = {};       // 34855
  AnsiString EXIF_ExifVersion;                // 36864
  AnsiString EXIF_DateTimeOriginal;           // 36867
  AnsiString EXIF_DateTimeDigitized;          // 36868
  double EXIF_CompressedBitsPerPixel = 0;     // 37122
  double EXIF_ShutterSpeedValue = 0;          // 37377
  double EXIF_ApertureValue = 0;              // 37378
  double EXIF_BrightnessValue = 0;            // 37379
  double EXIF_ExposureBiasValue = 0;          // 37380
  double EXIF_MaxApertureValue = 0;           // 37381
  double EXIF_SubjectDistance = 0;            // 37382
  Integer EXIF_MeteringMode = 0;              // 37383
  Integer EXIF_LightSource = 0;               // 37384
  Integer EXIF_Flash = 0;                     // 37385
  double EXIF_FocalLength = 0;                // 37386
  AnsiString EXIF_SubsecTime;                 // 37520
  AnsiString EXIF_SubsecTimeOriginal;         // 37521
  AnsiString EXIF_SubsecTimeDigitized;        // 37522
  AnsiString EXIF_FlashpixVersion;            // 40960
  Integer EXIF_ColorSpace = 0;                // 40961
  Integer EXIF_PixelXDimension = 0;           // 40962
  Integer EXIF_PixelYDimension = 0;           // 40963
  AnsiString EXIF_RelatedSoundFile;           // 40964
  double EXIF_FocalPlaneXResolution = 0;      // 41486
  double EXIF_FocalPlaneYResolution = 0;      // 41487
  Integer EXIF_FocalPlaneResolutionUnit = 0;  // 41488
  double EXIF_ExposureIndex = 0;              // 41493
  Integer EXIF_SensingMethod = 0;             // 41495
  Integer EXIF_FileSource = 0;                // 41728
  Integer EXIF_SceneType = 0;                 // 41729
  AnsiString EXIF_UserComment;                // 37510 after its first 8 bytes
  AnsiString EXIF_UserCommentCode;            // 37510, its first 8 bytes
};

// The parameters of one image: filled by a reader, read by a writer. Owns its four
// lists, its palette and its EXIF thumbnail.
//
// Stream form (SaveToStream / LoadFromStream): a versioned little-endian record;
// the writer writes version 10, the loader takes versions 0 to 10 (above 10 as 10)
// and leaves the fields that a version does not have as they are.
class TIOParamsVals : public TObject, public TIOParamsFields, public TIOParamsEXIF {
 public:
  LARK_CLASS_NAME(TIOParamsVals)
  // The most palette entries a stream form may carry.
  static constexpr Integer kMaxColorMapCount = 65536;
  // The version SaveToStream writes.
  static constexpr Integer kStreamVersion = 10;

  // Bound to its input/output component (null allowed); sets the defaults.
  explicit TIOParamsVals(TDadirAvIO* dadirAvIO);
  ~TIOParamsVals() override;
  TIOParamsVals(const TIOParamsVals&) = delete;
  TIOParamsVals& operator=(const TIOParamsVals&) = delete;

  TDadirAvIO* const DadirAvIO;  // not owned

  // Warnings of the JPEG decoder's last read; neither defaults nor Assign touch them.
  Integer JPEG_WarningTot = 0;
  Integer JPEG_WarningCode = 0;

  // Palette of the image read, or the one a writer chose: ColorMapCount entries, or
  // null with a count of 0. Replace both together.
  std::unique_ptr<TRGB[]> ColorMap;
  Integer ColorMapCount = 0;

  const std::unique_ptr<TStringList> GIF_Comments;         // one comment extension each
  const std::unique_ptr<TIEMarkerList> JPEG_MarkerList;    // COM and APPn markers
  const std::unique_ptr<TIEIPTCInfoList> IPTC_Info;        // IPTC records
  const std::unique_ptr<TStringList> PXM_Comments;         // "#" lines of PBM/PGM/PPM
  std::unique_ptr<TIEBitmap> EXIF_Bitmap;                  // EXIF thumbnail, or null

  // Every field to its default. Without an owner, Width, Height, DpiX and DpiY keep
  // their values. The LZW hooks are copied from the process-wide defaults now.
  void SetDefaultParams();
  // Forgets what the last read found (metadata lists, EXIF, comments and the TIFF
  // and TGA texts); the options stay.
  void ResetInfo();
  // The EXIF values to zero or empty, the thumbnail freed.
  void ResetEXIF();
  // Copies every field of source except the owner and the JPEG warnings; the
  // palette and lists as copies of their own. A source without a thumbnail leaves
  // this one's as it is.
  void Assign(const TIOParamsVals* source);
  // Copies only the options that decide how a writer encodes.
  void AssignCompressionInfo(const TIOParamsVals* source);
  // DpiX and DpiY both.
  void SetDpi(Integer value) noexcept { DpiX = value; DpiY = value; }
  // A description of FileType with its format details (" LZW", " Interlaced"...).
  AnsiString GetFileTypeStr() const;

  // Element accessors of the EXIF arrays. An index outside the array raises
  // ERangeError.
  Integer GetEXIF_ISOSpeedRatings(Integer index) const;
  void SetEXIF_ISOSpeedRatings(Integer index, Integer value);
  double GetEXIF_WhitePoint(Integer index) const;
  void SetEXIF_WhitePoint(Integer index, double value);
  double GetEXIF_PrimaryChromaticities(Integer index) const;
  void SetEXIF_PrimaryChromaticities(Integer index, double value);
  double GetEXIF_YCbCrCoefficients(Integer index) const;
  void SetEXIF_YCbCrCoefficients(Integer index, double value);
  double GetEXIF_ReferenceBlackWhite(Integer index) const;
  void SetEXIF_ReferenceBlackWhite(Integer index, double value);

  // Writes the stream form, version 10. A stream that takes fewer bytes raises
  // EWriteError.
  void SaveToStream(TStream* stream) const;
  // Reads a stream form. Never reads past the end of the stream and allocates
  // nothing beyond the bytes present. A record that is cut short or holds a
  // negative count, a palette above kMaxColorMapCount, a negative version or an
  // enumeration outside its type answers false and leaves the parameters
  // unchanged (the stream position is then wherever the reading stopped).
  bool LoadFromStream(TStream* stream);
  // The file is created or emptied; its errors raise EFCreateError / EWriteError.
  void SaveToFile(const AnsiString& fileName) const;
  // A file that cannot be opened raises EFOpenError; a damaged one answers false.
  bool LoadFromFile(const AnsiString& fileName);
};
