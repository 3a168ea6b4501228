// The stream form of TIOParamsVals: a versioned little-endian record.
//
// Items, in order (version of first appearance in brackets):
//   version; FileName; FileType (one byte before version 2); BitsPerSample,
//   SamplesPerPixel, Width, Height, DpiX, DpiY; ColorMapCount and 3 x count bytes;
//   TIFF: Compression (byte), ImageIndex, PhotometInterpret (byte), PlanarConf,
//   XPos, YPos, DocumentName, ImageDescription, PageName, PageNumber, PageCount,
//   ImageCount [4], Orientation [6], JPEGQuality [10];
//   GIF: Version, ImageIndex, XPos, YPos, DelayTime, FlagTranspColor (byte),
//   TranspColor, Interlaced (byte), WinWidth, WinHeight, Background, Ratio,
//   ImageCount [4], Comments [9];
//   JPEG: ColorSpace, Quality, DCTMethod, OptimalHuffman, Smooth, Progressive,
//   Scale [1], MarkerList [4], OriginalWidth and OriginalHeight [7];
//   J2000 [8]: ColorSpace, Rate (double), ScalableBy;
//   PCX_Version, PCX_Compression, BMP_Version, BMP_Compression;
//   ICO_ImageIndex (version 0: two skipped int32), ICO_Background [3];
//   CUR_ImageIndex, CUR_XHotSpot, CUR_YHotSpot (version 0: two skipped int32),
//   CUR_Background [3];
//   PNG: Interlaced, Background, Filter, Compression;
//   TGA [3]: XPos, YPos, Compressed, Descriptor, Author, Date (double), ImageName,
//   Background, AspectRatio, Gamma, GrayLevel;
//   IPTC_Info [4]; PXM_Comments [5]; AVI_FrameCount, AVI_FrameDelayTime [6].
// Integers are int32, enumerations and booleans one byte, colours three bytes
// (blue, green, red), strings an int32 length and the characters.
#include <algorithm>
#include <cstring>
#include <memory>

#include "image/formats/dadiravio.h"
#include "platform/rtl/Exceptions.h"

namespace {

// --- Writing

class RecordWriter {
 public:
  explicit RecordWriter(TStream* stream) : stream_(stream) {}

  void Int(Integer v) {
    const auto u = static_cast<DWORD>(v);
    const Byte b[4] = {static_cast<Byte>(u), static_cast<Byte>(u >> 8), static_cast<Byte>(u >> 16),
                       static_cast<Byte>(u >> 24)};
    stream_->WriteBuffer(b, 4);
  }
  void Byte1(Byte v) { stream_->WriteBuffer(&v, 1); }
  void Bool(bool v) { Byte1(v ? 1 : 0); }
  template <typename E>
  void Enum(E v) {
    Byte1(static_cast<Byte>(v));
  }
  void Color(const TRGB& c) {
    const Byte b[3] = {c.b, c.g, c.r};
    stream_->WriteBuffer(b, 3);
  }
  void Double(double v) {
    static_assert(sizeof(double) == 8, "IEEE double");
    uint64_t bits;
    std::memcpy(&bits, &v, 8);
    Byte b[8];
    for (int i = 0; i < 8; ++i) b[i] = static_cast<Byte>(bits >> (8 * i));
    stream_->WriteBuffer(b, 8);
  }
  void String(const AnsiString& s) { SaveStringToStream(stream_, s); }
  void Strings(TStringList* list) { SaveStringListToStream(stream_, list); }
  TStream* Stream() const { return stream_; }

 private:
  TStream* stream_;
};

// --- Reading: every read is bounded by the stream; the first fault sticks.

class RecordReader {
 public:
  explicit RecordReader(TStream* stream) : stream_(stream) {}

  bool Ok() const { return ok_; }
  void Fail() { ok_ = false; }

  Integer Int() {
    Byte b[4] = {};
    Raw(b, 4);
    return static_cast<Integer>(static_cast<DWORD>(b[0]) | (static_cast<DWORD>(b[1]) << 8) |
                                (static_cast<DWORD>(b[2]) << 16) | (static_cast<DWORD>(b[3]) << 24));
  }
  Byte Byte1() {
    Byte b = 0;
    Raw(&b, 1);
    return b;
  }
  bool Bool() { return Byte1() != 0; }
  // An ordinal outside the enumeration fails the record.
  template <typename E>
  E Enum(E last) {
    const Byte v = Byte1();
    if (v > static_cast<Byte>(last)) Fail();
    return ok_ ? static_cast<E>(v) : E{};
  }
  TRGB Color() {
    Byte b[3] = {};
    Raw(b, 3);
    return TRGB{b[0], b[1], b[2]};
  }
  double Double() {
    Byte b[8] = {};
    Raw(b, 8);
    uint64_t bits = 0;
    for (int i = 0; i < 8; ++i) bits |= static_cast<uint64_t>(b[i]) << (8 * i);
    double v;
    std::memcpy(&v, &bits, 8);
    return v;
  }
  AnsiString String() {
    AnsiString s;
    if (ok_ && !LoadStringFromStream(stream_, s)) Fail();
    return ok_ ? s : AnsiString();
  }
  void Strings(TStringList* list) {
    if (ok_ && !LoadStringListFromStream(stream_, list)) Fail();
  }
  void Markers(TIEMarkerList* list) {
    if (ok_ && !list->LoadFromStream(stream_)) Fail();
  }
  void Iptc(TIEIPTCInfoList* list) {
    if (ok_ && !list->LoadFromStream(stream_)) Fail();
  }
  // count bytes, only when the stream holds them all.
  bool Raw(void* buffer, Integer count) {
    if (!ok_) return false;
    if (Remaining() < count || stream_->Read(buffer, count) != count) ok_ = false;
    return ok_;
  }
  Int64 Remaining() {
    const Int64 position = stream_->GetPosition();
    const Int64 size = stream_->GetSize();
    return position < 0 || size < position ? 0 : size - position;
  }

 private:
  TStream* stream_;
  bool ok_ = true;
};

// Reads the record into p, which holds the values to keep for the items that the
// record's version lacks. Answers the version read, or -1 on a fault.
Integer ReadRecord(RecordReader& in, TIOParamsVals& p) {
  Integer version = in.Int();
  if (!in.Ok() || version < 0) return -1;
  version = std::min(version, TIOParamsVals::kStreamVersion);

  p.FileName = in.String();
  p.FileType = version < 2 ? in.Byte1() : in.Int();
  p.BitsPerSample = in.Int();
  p.SamplesPerPixel = in.Int();
  p.Width = in.Int();
  p.Height = in.Int();
  p.DpiX = in.Int();
  p.DpiY = in.Int();

  // The palette: bounded by its limit and by the bytes present before anything is
  // allocated.
  const Integer count = in.Int();
  if (!in.Ok() || count < 0 || count > TIOParamsVals::kMaxColorMapCount ||
      in.Remaining() < static_cast<Int64>(count) * 3)
    return -1;
  p.ColorMap.reset();
  p.ColorMapCount = 0;
  if (count > 0) {
    auto map = std::make_unique<TRGB[]>(static_cast<size_t>(count));
    if (!in.Raw(map.get(), count * 3)) return -1;
    p.ColorMap = std::move(map);
    p.ColorMapCount = count;
  }

  p.TIFF_Compression = in.Enum(ioTIFF_UNKNOWN);
  p.TIFF_ImageIndex = in.Int();
  p.TIFF_PhotometInterpret = in.Enum(ioTIFF_CIELAB);
  p.TIFF_PlanarConf = in.Int();
  p.TIFF_XPos = in.Int();
  p.TIFF_YPos = in.Int();
  p.TIFF_DocumentName = in.String();
  p.TIFF_ImageDescription = in.String();
  p.TIFF_PageName = in.String();
  p.TIFF_PageNumber = in.Int();
  p.TIFF_PageCount = in.Int();
  if (version >= 4) p.TIFF_ImageCount = in.Int();
  if (version >= 6) p.TIFF_Orientation = in.Int();
  if (version >= 10) p.TIFF_JPEGQuality = in.Int();

  p.GIF_Version = in.String();
  p.GIF_ImageIndex = in.Int();
  p.GIF_XPos = in.Int();
  p.GIF_YPos = in.Int();
  p.GIF_DelayTime = in.Int();
  p.GIF_FlagTranspColor = in.Bool();
  p.GIF_TranspColor = in.Color();
  p.GIF_Interlaced = in.Bool();
  p.GIF_WinWidth = in.Int();
  p.GIF_WinHeight = in.Int();
  p.GIF_Background = in.Color();
  p.GIF_Ratio = in.Int();
  if (version >= 4) p.GIF_ImageCount = in.Int();
  if (version >= 9) in.Strings(p.GIF_Comments.get());

  p.JPEG_ColorSpace = in.Enum(ioJPEG_YCbCrK);
  p.JPEG_Quality = in.Int();
  p.JPEG_DCTMethod = in.Enum(ioJPEG_FLOAT);
  p.JPEG_OptimalHuffman = in.Bool();
  p.JPEG_Smooth = in.Int();
  p.JPEG_Progressive = in.Bool();
  if (version >= 1) p.JPEG_Scale = in.Enum(ioJPEG_AUTOCALC);
  if (version >= 4) in.Markers(p.JPEG_MarkerList.get());
  if (version >= 7) {
    p.JPEG_OriginalWidth = in.Int();
    p.JPEG_OriginalHeight = in.Int();
  }
  if (version >= 8) {
    p.J2000_ColorSpace = in.Enum(ioJ2000_YCbCr);
    p.J2000_Rate = in.Double();
    p.J2000_ScalableBy = in.Enum(ioJ2000_Resolution);
  }

  p.PCX_Version = in.Int();
  p.PCX_Compression = in.Enum(ioPCX_RLE);
  p.BMP_Version = in.Enum(ioBMP_BMOS2V2);
  p.BMP_Compression = in.Enum(ioBMP_RLE);

  if (version == 0) {
    in.Int();
    in.Int();
    p.ICO_ImageIndex = 0;
  } else {
    p.ICO_ImageIndex = in.Int();
  }
  if (version >= 3) p.ICO_Background = in.Color();
  if (version == 0) {
    in.Int();
    in.Int();
    p.CUR_ImageIndex = 0;
    p.CUR_XHotSpot = 0;
    p.CUR_YHotSpot = 0;
  } else {
    p.CUR_ImageIndex = in.Int();
    p.CUR_XHotSpot = in.Int();
    p.CUR_YHotSpot = in.Int();
  }
  if (version >= 3) p.CUR_Background = in.Color();

  p.PNG_Interlaced = in.Bool();
  p.PNG_Background = in.Color();
  p.PNG_Filter = in.Enum(ioPNG_FILTER_PAETH);
  p.PNG_Compression = in.Int();

  if (version >= 3) {
    p.TGA_XPos = in.Int();
    p.TGA_YPos = in.Int();
    p.TGA_Compressed = in.Bool();
    p.TGA_Descriptor = in.String();
    p.TGA_Author = in.String();
    p.TGA_Date = in.Double();
    p.TGA_ImageName = in.String();
    p.TGA_Background = in.Color();
    p.TGA_AspectRatio = in.Double();
    p.TGA_Gamma = in.Double();
    p.TGA_GrayLevel = in.Bool();
  }
  if (version >= 4) in.Iptc(p.IPTC_Info.get());
  if (version >= 5) in.Strings(p.PXM_Comments.get());
  if (version >= 6) {
    p.AVI_FrameCount = in.Int();
    p.AVI_FrameDelayTime = in.Int();
  }
  return in.Ok() ? version : -1;
}

}  // namespace

void TIOParamsVals::SaveToStream(TStream* stream) const {
  RecordWriter out(stream);
  out.Int(kStreamVersion);
  out.String(FileName);
  out.Int(FileType);
  out.Int(BitsPerSample);
  out.Int(SamplesPerPixel);
  out.Int(Width);
  out.Int(Height);
  out.Int(DpiX);
  out.Int(DpiY);
  const Integer count = ColorMap ? std::max<Integer>(ColorMapCount, 0) : 0;
  out.Int(count);
  if (count > 0) stream->WriteBuffer(ColorMap.get(), count * 3);

  out.Enum(TIFF_Compression);
  out.Int(TIFF_ImageIndex);
  out.Enum(TIFF_PhotometInterpret);
  out.Int(TIFF_PlanarConf);
  out.Int(TIFF_XPos);
  out.Int(TIFF_YPos);
  out.String(TIFF_DocumentName);
  out.String(TIFF_ImageDescription);
  out.String(TIFF_PageName);
  out.Int(TIFF_PageNumber);
  out.Int(TIFF_PageCount);
  out.Int(TIFF_ImageCount);
  out.Int(TIFF_Orientation);
  out.Int(TIFF_JPEGQuality);

  out.String(GIF_Version);
  out.Int(GIF_ImageIndex);
  out.Int(GIF_XPos);
  out.Int(GIF_YPos);
  out.Int(GIF_DelayTime);
  out.Bool(GIF_FlagTranspColor);
  out.Color(GIF_TranspColor);
  out.Bool(GIF_Interlaced);
  out.Int(GIF_WinWidth);
  out.Int(GIF_WinHeight);
  out.Color(GIF_Background);
  out.Int(GIF_Ratio);
  out.Int(GIF_ImageCount);
  out.Strings(GIF_Comments.get());

  out.Enum(JPEG_ColorSpace);
  out.Int(JPEG_Quality);
  out.Enum(JPEG_DCTMethod);
  out.Bool(JPEG_OptimalHuffman);
  out.Int(JPEG_Smooth);
  out.Bool(JPEG_Progressive);
  out.Enum(JPEG_Scale);
  JPEG_MarkerList->SaveToStream(stream);
  out.Int(JPEG_OriginalWidth);
  out.Int(JPEG_OriginalHeight);
  out.Enum(J2000_ColorSpace);
  out.Double(J2000_Rate);
  out.Enum(J2000_ScalableBy);

  out.Int(PCX_Version);
  out.Enum(PCX_Compression);
  out.Enum(BMP_Version);
  out.Enum(BMP_Compression);

  out.Int(ICO_ImageIndex);
  out.Color(ICO_Background);
  out.Int(CUR_ImageIndex);
  out.Int(CUR_XHotSpot);
  out.Int(CUR_YHotSpot);
  out.Color(CUR_Background);

  out.Bool(PNG_Interlaced);
  out.Color(PNG_Background);
  out.Enum(PNG_Filter);
  out.Int(PNG_Compression);

  out.Int(TGA_XPos);
  out.Int(TGA_YPos);
  out.Bool(TGA_Compressed);
  out.String(TGA_Descriptor);
  out.String(TGA_Author);
  out.Double(TGA_Date);
  out.String(TGA_ImageName);
  out.Color(TGA_Background);
  out.Double(TGA_AspectRatio);
  out.Double(TGA_Gamma);
  out.Bool(TGA_GrayLevel);

  IPTC_Info->SaveToStream(stream);
  out.Strings(PXM_Comments.get());
  out.Int(AVI_FrameCount);
  out.Int(AVI_FrameDelayTime);
}

bool TIOParamsVals::LoadFromStream(TStream* stream) {
  // Read into a copy, so that a damaged record changes nothing.
  TIOParamsVals loaded(nullptr);
  static_cast<TIOParamsFields&>(loaded) = static_cast<const TIOParamsFields&>(*this);
  if (ColorMap && ColorMapCount > 0) {
    loaded.ColorMap = std::make_unique<TRGB[]>(static_cast<size_t>(ColorMapCount));
    std::copy_n(ColorMap.get(), ColorMapCount, loaded.ColorMap.get());
    loaded.ColorMapCount = ColorMapCount;
  }

  RecordReader in(stream);
  const Integer version = ReadRecord(in, loaded);
  if (version < 0) return false;

  static_cast<TIOParamsFields&>(*this) = static_cast<const TIOParamsFields&>(loaded);
  ColorMap = std::move(loaded.ColorMap);
  ColorMapCount = loaded.ColorMapCount;
  // Lists that the version has replace ours; the others stay as they are.
  if (version >= 9) GIF_Comments->Assign(loaded.GIF_Comments.get());
  if (version >= 4) JPEG_MarkerList->Assign(loaded.JPEG_MarkerList.get());
  if (version >= 4) IPTC_Info->Assign(loaded.IPTC_Info.get());
  if (version >= 5) PXM_Comments->Assign(loaded.PXM_Comments.get());
  return true;
}

void TIOParamsVals::SaveToFile(const AnsiString& fileName) const {
  TFileStream stream(fileName, fmCreate);
  SaveToStream(&stream);
}

bool TIOParamsVals::LoadFromFile(const AnsiString& fileName) {
  TFileStream stream(fileName, fmOpenRead | fmShareDenyWrite);
  return LoadFromStream(&stream);
}
