// JPEG reader.
//
// The library part of the work runs in DecodeImage, whose frame holds the setjmp
// that the error manager jumps back to; everything with a destructor lives in
// ReadJPegStream or in the job, outside that frame.
#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "image/formats/jpegfilt.h"
#include "image/formats/jpegfilt_lib.h"
#include "platform/rtl/Math.h"

namespace {

using jpegfilt::StreamSource;

// A tiny file can declare a huge image that the library would then decode from
// nothing. Images above this many pixels per byte of data present, and above the
// floor, are refused before anything is allocated. Huffman-coded data needs at least
// one bit per 8 x 8 block (512 pixels per byte), so real files stay below the ratio;
// only arithmetic-coded files of flat colour can pass it.
constexpr Int64 kMaxPixelsPerByte = 1024;
constexpr Int64 kMinPixelCap = Int64{1} << 22;

// COM and APPn markers kept for the parameters. Real files carry a handful (an ICC
// profile takes at most 255 APP2 markers of 64 KB); what lies past these bounds is
// read over and dropped, so a file of many markers costs time in proportion to its
// size only.
constexpr size_t kMaxKeptMarkers = 1024;
constexpr size_t kMaxKeptMarkerBytes = 32 * 1024 * 1024;

struct KeptMarker {
  Byte marker;
  std::vector<Byte> data;  // at most 65,533 bytes
};

struct ReadJob : jpegfilt::JobState {
  jpeg_decompress_struct cinfo{};
  std::vector<KeptMarker> markers;  // file order; bounded by kMaxKeptMarkers
  size_t markerBytes = 0;           // their data in all; bounded by kMaxKeptMarkerBytes
  bool sawMarker = false;           // a COM or APPn marker came already
  StreamSource source;
  std::vector<Byte> rowBuffer;  // one CMYK row: 4 x output width (at most 65500) bytes

  TStream* stream = nullptr;
  TStream* tablesStream = nullptr;
  TIEBitmap* bitmap = nullptr;
  TIOParamsVals* params = nullptr;
  bool preview = false;
  bool rawYCbCr = false;
  Int64 bytesPresent = 0;
  bool decompressing = false;
};

Integer ScaleDenominator(const TIOParamsVals& params, JDIMENSION fileWidth, JDIMENSION fileHeight) {
  switch (params.JPEG_Scale) {
    case ioJPEG_HALF:
      return 2;
    case ioJPEG_QUARTER:
      return 4;
    case ioJPEG_EIGHTH:
      return 8;
    case ioJPEG_AUTOCALC: {
      if (params.Width <= 0 || params.Height <= 0) return 1;
      for (Integer d : {8, 4, 2, 1})
        if (static_cast<Int64>(fileWidth) / d >= params.Width &&
            static_cast<Int64>(fileHeight) / d >= params.Height)
          return d;
      return 1;
    }
    default:
      return 1;
  }
}

// Adobe-inverted CMYK as the library delivers it, to blue, green, red: each ink
// byte times K / 255, rounded to nearest as common decoders do.
void CmykRowToBgr(const Byte* cmyk, Byte* bgr, JDIMENSION width) {
  for (JDIMENSION x = 0; x < width; ++x, cmyk += 4, bgr += 3) {
    const unsigned k = cmyk[3];
    bgr[0] = static_cast<Byte>((cmyk[2] * k + 127) / 255);
    bgr[1] = static_cast<Byte>((cmyk[1] * k + 127) / 255);
    bgr[2] = static_cast<Byte>((cmyk[0] * k + 127) / 255);
  }
}

// Reads count bytes of the current marker into out (null skips them). False when the
// source would suspend, which ours never does: at the end of its data it hands the
// library an end-of-image marker instead.
bool ReadMarkerBytes(j_decompress_ptr cinfo, Byte* out, size_t count) {
  jpeg_source_mgr* src = cinfo->src;
  while (count > 0) {
    if (src->bytes_in_buffer == 0 && !src->fill_input_buffer(cinfo)) return false;
    const size_t n = std::min(count, src->bytes_in_buffer);
    if (out != nullptr) {
      std::memcpy(out, src->next_input_byte, n);
      out += n;
    }
    src->next_input_byte += n;
    src->bytes_in_buffer -= n;
    count -= n;
  }
  return true;
}

// What the library reads from APP0 (JFIF: version and density) and APP14 (Adobe:
// the colour transform) when it examines them itself.
void ExamineMarker(j_decompress_ptr cinfo, int marker, const std::vector<Byte>& d) {
  if (marker == JPEG_APP0 && d.size() >= 14 && std::memcmp(d.data(), "JFIF", 5) == 0) {
    cinfo->saw_JFIF_marker = TRUE;
    if (d[5] != 1) WARNMS2(cinfo, JWRN_JFIF_MAJOR, d[5], d[6]);
    cinfo->JFIF_major_version = d[5];
    cinfo->JFIF_minor_version = d[6];
    cinfo->density_unit = d[7];
    cinfo->X_density = static_cast<UINT16>((d[8] << 8) | d[9]);
    cinfo->Y_density = static_cast<UINT16>((d[10] << 8) | d[11]);
  } else if (marker == JPEG_APP0 + 14 && d.size() >= 12 && std::memcmp(d.data(), "Adobe", 5) == 0) {
    cinfo->saw_Adobe_marker = TRUE;
    cinfo->Adobe_transform = d[11];
  }
}

// The work of KeepMarker. It never leaves by the error manager's jump (the objects in
// its frame must be destroyed): a library error code goes back in `error`.
boolean KeepMarkerWork(j_decompress_ptr cinfo, int& error) {
  ReadJob& job = *static_cast<ReadJob*>(cinfo->client_data);
  Byte lengthBytes[2];
  if (!ReadMarkerBytes(cinfo, lengthBytes, 2)) return FALSE;
  const size_t length = (static_cast<size_t>(lengthBytes[0]) << 8) | lengthBytes[1];
  if (length < 2) {
    error = JERR_BAD_LENGTH;
    return FALSE;
  }
  const size_t dataLength = length - 2;
  const int marker = cinfo->unread_marker;
  const bool examined = marker == JPEG_APP0 || marker == JPEG_APP0 + 14;
  // A leading APP0 is the JFIF header, which a writer makes anew: it is not kept.
  const bool leadingApp0 = !job.sawMarker && marker == JPEG_APP0;
  job.sawMarker = true;
  const bool keep = !leadingApp0 && job.markers.size() < kMaxKeptMarkers &&
                    dataLength <= kMaxKeptMarkerBytes - job.markerBytes;
  if (!keep && !examined) return ReadMarkerBytes(cinfo, nullptr, dataLength) ? TRUE : FALSE;
  try {
    std::vector<Byte> data(dataLength);
    if (!ReadMarkerBytes(cinfo, data.data(), dataLength)) return FALSE;
    if (examined) ExamineMarker(cinfo, marker, data);
    if (!keep) return TRUE;
    job.markers.push_back(KeptMarker{static_cast<Byte>(marker), std::move(data)});
  } catch (...) {
    error = JERR_OUT_OF_MEMORY;
    return FALSE;
  }
  job.markerBytes += dataLength;
  return TRUE;
}

// The processor of COM and APPn markers: keeps each in the job's own list, up to
// its bounds, and reads APP0 and APP14 as the library would.
boolean KeepMarker(j_decompress_ptr cinfo) {
  int error = 0;
  const boolean result = KeepMarkerWork(cinfo, error);
  if (error != 0) ERREXIT(cinfo, error);
  return result;
}

// The library's part of the read: headers, parameters and rows. Only plain values
// live in this frame. A library error lands back at the setjmp with job.failed set.
void DecodeImage(ReadJob& job) {
  jpeg_decompress_struct& cinfo = job.cinfo;
  if (setjmp(job.err.jump) != 0) {
    job.Fail();
    return;
  }
  jpeg_create_decompress(&cinfo);

  job.source.failed = &job.failed;
  job.source.buffer = job.streamBuffer.data();
  if (job.tablesStream != nullptr && job.tablesStream != job.stream) {
    job.source.stream = job.tablesStream;
    jpegfilt::AttachSource(&cinfo, job.source);
    jpeg_read_header(&cinfo, FALSE);
  }
  job.source.stream = job.stream;
  jpegfilt::AttachSource(&cinfo, job.source);
  if (job.Stopped()) return;

  cinfo.client_data = &job;
  jpeg_set_marker_processor(&cinfo, JPEG_COM, KeepMarker);
  for (int m = 0; m < 16; ++m) jpeg_set_marker_processor(&cinfo, JPEG_APP0 + m, KeepMarker);
  jpeg_read_header(&cinfo, TRUE);
  if (job.Stopped()) return;

  TIOParamsVals& params = *job.params;
  params.BitsPerSample = 8;
  bool cmykOut = false;
  switch (cinfo.jpeg_color_space) {
    case JCS_GRAYSCALE:
      params.JPEG_ColorSpace = ioJPEG_GRAYLEV;
      params.SamplesPerPixel = 1;
      cinfo.out_color_space = JCS_EXT_BGR;
      break;
    case JCS_RGB:
      params.JPEG_ColorSpace = ioJPEG_RGB;
      params.SamplesPerPixel = 3;
      cinfo.out_color_space = JCS_EXT_BGR;
      break;
    case JCS_YCbCr:
      params.JPEG_ColorSpace = ioJPEG_YCbCr;
      params.SamplesPerPixel = 3;
      cinfo.out_color_space = JCS_EXT_BGR;
      break;
    case JCS_CMYK:
      params.JPEG_ColorSpace = ioJPEG_CMYK;
      params.SamplesPerPixel = 4;
      cinfo.out_color_space = JCS_CMYK;
      cmykOut = true;
      break;
    case JCS_YCCK:
      params.JPEG_ColorSpace = ioJPEG_YCbCrK;
      params.SamplesPerPixel = 4;
      cinfo.out_color_space = JCS_CMYK;
      cmykOut = true;
      break;
    default:
      break;
  }
  if (job.rawYCbCr) {
    cinfo.out_color_space = JCS_YCbCr;
    cmykOut = false;
  }

  cinfo.dct_method = jpegfilt::DctMethod(params.JPEG_DCTMethod);
  // Unit 1 is dots per inch, unit 2 dots per centimetre; unit 0 gives only the
  // aspect ratio, so such a file carries no resolution.
  if (cinfo.saw_JFIF_marker && cinfo.density_unit == 1) {
    params.DpiX = cinfo.X_density;
    params.DpiY = cinfo.Y_density;
  } else if (cinfo.saw_JFIF_marker && cinfo.density_unit == 2) {
    params.DpiX = static_cast<Integer>(Trunc(cinfo.X_density * 2.54));
    params.DpiY = static_cast<Integer>(Trunc(cinfo.Y_density * 2.54));
  } else if (!cinfo.saw_JFIF_marker || cinfo.density_unit == 0) {
    params.DpiX = IEScreenDpiX();
    params.DpiY = IEScreenDpiY();
  }
  if (params.DpiX <= 0) params.DpiX = IEScreenDpiX();
  if (params.DpiY <= 0) params.DpiY = IEScreenDpiY();
  params.ColorMap.reset();
  params.ColorMapCount = 0;
  params.JPEG_Progressive = cinfo.progressive_mode != 0;
  params.JPEG_OriginalWidth = static_cast<Integer>(cinfo.image_width);
  params.JPEG_OriginalHeight = static_cast<Integer>(cinfo.image_height);

  const Int64 pixels = static_cast<Int64>(cinfo.image_width) * cinfo.image_height;
  if (!IESizeWithinLimits(cinfo.image_width, cinfo.image_height) ||
      pixels > std::max(job.bytesPresent * kMaxPixelsPerByte, kMinPixelCap)) {
    job.Fail();
    return;
  }

  const Integer denominator = ScaleDenominator(params, cinfo.image_width, cinfo.image_height);
  params.JPEG_ScaleUsed = denominator;
  cinfo.scale_num = 1;
  cinfo.scale_denom = static_cast<unsigned>(denominator);
  jpeg_start_decompress(&cinfo);
  job.decompressing = true;
  if (job.Stopped()) return;
  params.Width = static_cast<Integer>(cinfo.output_width);
  params.Height = static_cast<Integer>(cinfo.output_height);
  // Rows hold 3 bytes per pixel, CMYK goes through a 4-byte buffer; a file of any
  // other layout (2 or 5 and more components) cannot be shown.
  if (cinfo.output_components != (cmykOut ? 4 : 3)) {
    job.Fail();
    return;
  }
  if (job.preview) return;

  const JDIMENSION width = cinfo.output_width, height = cinfo.output_height;
  job.bitmap->Allocate(static_cast<Integer>(width), static_cast<Integer>(height), ie24RGB);
  if (cmykOut) job.rowBuffer.resize(static_cast<size_t>(width) * 4);
  job.progress->per1 = 100.0 / height;
  JDIMENSION rows = 0;
  while (rows < height) {
    Byte* row = static_cast<Byte*>(job.bitmap->GetScanLine(static_cast<Integer>(rows)));
    JSAMPROW target = cmykOut ? job.rowBuffer.data() : row;
    const JDIMENSION got = jpeg_read_scanlines(&cinfo, &target, 1);
    if (got == 0) break;
    if (cmykOut) CmykRowToBgr(job.rowBuffer.data(), row, width);
    rows += got;
    job.progress->Report(static_cast<Integer>(Trunc(job.progress->per1 * rows)));
    if (job.Stopped()) break;
  }
  if (rows < height) job.Fail();
}

// Reads up to the end of the image; its errors are ignored.
void FinishQuietly(ReadJob& job) {
  job.err.failed = nullptr;
  if (setjmp(job.err.jump) != 0) return;
  jpeg_finish_decompress(&job.cinfo);
}

struct DecompressGuard {
  jpeg_decompress_struct* cinfo;
  ~DecompressGuard() { jpeg_destroy_decompress(cinfo); }
};

}  // namespace

void ReadJPegStream(TStream* Stream, TStream* TablesStream, TIEBitmap* Bitmap,
                    TIOParamsVals& Params, TProgressRec& Progress, bool Preview,
                    bool RawYCbCr) {
  Params.JPEG_WarningTot = 0;
  Params.JPEG_WarningCode = 0;
  if (Stream == nullptr || (Bitmap == nullptr && !Preview)) {
    Progress.Abort();
    return;
  }
  const Integer start = JpegTryStream(Stream);
  if (start < 0) {
    Progress.Abort();
    return;
  }
  Stream->SetPosition(start);

  auto job = std::make_unique<ReadJob>();
  job->stream = Stream;
  job->tablesStream = TablesStream;
  job->bitmap = Bitmap;
  job->params = &Params;
  job->progress = &Progress;
  job->preview = Preview;
  job->rawYCbCr = RawYCbCr;
  job->bytesPresent = std::max<Int64>(Stream->GetSize() - start, 0);
  job->cinfo.err = job->PrepareErrors();

  {
    DecompressGuard guard{&job->cinfo};
    // Anything raised between the library calls (an allocation, the progress
    // event) ends the read like a library error.
    try {
      DecodeImage(*job);
    } catch (...) {
      job->Fail();
    }
    if (job->failed) Progress.Abort();

    // The markers kept, in file order.
    TIEMarkerList& markers = *Params.JPEG_MarkerList;
    markers.Clear();
    for (const KeptMarker& m : job->markers)
      markers.AddMarker(m.marker, m.data.data(), static_cast<Word>(m.data.size()));

    if (!job->Stopped() && !Preview && job->decompressing) FinishQuietly(*job);
  }
  if (job->err.pub.num_warnings != 0) {
    Params.JPEG_WarningTot = static_cast<Integer>(job->err.pub.num_warnings);
    Params.JPEG_WarningCode = job->err.lastWarning;
  }
}
