// JPEG writer.
//
// The library part of the work runs in EncodeImage, whose frame holds the setjmp
// that the error manager jumps back to; everything with a destructor lives in
// WriteJPegStream or in the job. A library error is raised as EIEJpegException only
// after the compressor and the buffers are gone.
#include <algorithm>
#include <memory>
#include <vector>

#include "image/formats/jpegfilt.h"
#include "image/formats/jpegfilt_lib.h"
#include "platform/rtl/Math.h"

namespace {

using jpegfilt::StreamDestination;

struct WriteJob : jpegfilt::JobState {
  jpeg_compress_struct cinfo{};
  StreamDestination destination;
  std::vector<Byte> rowBuffer;  // one CMYK row: 4 x image width bytes

  TStream* stream = nullptr;
  TIEBitmap* bitmap = nullptr;  // ie24RGB
  TIOParamsVals* params = nullptr;
  bool libraryError = false;  // the library ended the work
};

// The parameters' resolution, or the screen's when they give none.
UINT16 Density(Integer dpi, Integer (*screenDpi)()) {
  if (dpi <= 0) dpi = screenDpi();
  return static_cast<UINT16>(std::min<Integer>(dpi, 65535));
}

// Blue, green, red to the inverted CMYK that common readers expect: the largest
// channel becomes K and the others are scaled up by it.
void BgrRowToCmyk(const Byte* bgr, Byte* cmyk, Integer width) {
  for (Integer x = 0; x < width; ++x, bgr += 3, cmyk += 4) {
    const unsigned b = bgr[0], g = bgr[1], r = bgr[2];
    unsigned e = std::max(r, std::max(g, b));
    if (e == 0) e = 1;
    cmyk[0] = static_cast<Byte>(r * 255 / e);
    cmyk[1] = static_cast<Byte>(g * 255 / e);
    cmyk[2] = static_cast<Byte>(b * 255 / e);
    cmyk[3] = static_cast<Byte>(e);
  }
}

// The library's part of the write. Only plain values live in this frame.
void EncodeImage(WriteJob& job) {
  jpeg_compress_struct& cinfo = job.cinfo;
  if (setjmp(job.err.jump) != 0) {
    job.libraryError = true;
    job.Fail();
    return;
  }
  jpeg_create_compress(&cinfo);
  job.destination.stream = job.stream;
  job.destination.failed = &job.failed;
  job.destination.buffer = job.streamBuffer.data();
  jpegfilt::AttachDestination(&cinfo, job.destination);
  if (job.Stopped()) return;

  const TIOParamsVals& params = *job.params;
  const Integer width = job.bitmap->GetWidth(), height = job.bitmap->GetHeight();
  cinfo.image_width = static_cast<JDIMENSION>(std::max<Integer>(width, 0));
  cinfo.image_height = static_cast<JDIMENSION>(std::max<Integer>(height, 0));
  cinfo.input_components = 3;
  cinfo.in_color_space = JCS_EXT_BGR;
  J_COLOR_SPACE fileSpace = JCS_RGB;
  bool cmykIn = false;
  switch (params.JPEG_ColorSpace) {
    case ioJPEG_GRAYLEV:
      fileSpace = JCS_GRAYSCALE;
      break;
    case ioJPEG_YCbCr:
      fileSpace = JCS_YCbCr;
      break;
    case ioJPEG_CMYK:
      fileSpace = JCS_CMYK;
      cmykIn = true;
      break;
    case ioJPEG_YCbCrK:
      fileSpace = JCS_YCCK;
      cmykIn = true;
      break;
    default:
      break;
  }
  if (cmykIn) {
    cinfo.input_components = 4;
    cinfo.in_color_space = JCS_CMYK;
  }
  jpeg_set_defaults(&cinfo);
  jpeg_set_colorspace(&cinfo, fileSpace);

  cinfo.density_unit = 1;
  cinfo.X_density = Density(params.DpiX, IEScreenDpiX);
  cinfo.Y_density = Density(params.DpiY, IEScreenDpiY);
  cinfo.dct_method = jpegfilt::DctMethod(params.JPEG_DCTMethod);
  cinfo.optimize_coding = params.JPEG_OptimalHuffman ? TRUE : FALSE;
  cinfo.smoothing_factor = std::clamp<Integer>(params.JPEG_Smooth, 0, 100);
  jpeg_set_quality(&cinfo, params.JPEG_Quality, TRUE);
  if (params.JPEG_Progressive) jpeg_simple_progression(&cinfo);

  jpeg_start_compress(&cinfo, TRUE);
  TIEMarkerList& markers = *params.JPEG_MarkerList;
  for (Integer i = 0; i < markers.GetCount(); ++i)
    jpeg_write_marker(&cinfo, markers.GetMarkerType(i), static_cast<const JOCTET*>(markers.GetMarkerData(i)),
                      static_cast<unsigned>(markers.GetMarkerLength(i)));

  if (cmykIn) job.rowBuffer.resize(static_cast<size_t>(width) * 4);
  job.progress->per1 = 100.0 / height;
  Integer rows = 0;
  while (rows < height) {
    Byte* row = static_cast<Byte*>(job.bitmap->GetScanLine(rows));
    if (cmykIn) {
      BgrRowToCmyk(row, job.rowBuffer.data(), width);
      row = job.rowBuffer.data();
    }
    JSAMPROW source = row;
    rows += static_cast<Integer>(jpeg_write_scanlines(&cinfo, &source, 1));
    job.progress->Report(static_cast<Integer>(Trunc(job.progress->per1 * rows)));
    if (job.Stopped()) return;
  }
  jpeg_finish_compress(&cinfo);
}

struct CompressGuard {
  jpeg_compress_struct* cinfo;
  ~CompressGuard() { jpeg_destroy_compress(cinfo); }
};

}  // namespace

void WriteJPegStream(TStream* Stream, TIEBitmap* Bitmap, TIOParamsVals& Params,
                     TProgressRec& Progress) {
  if (Stream == nullptr) {
    Progress.Abort();
    return;
  }
  TIEBitmap empty;
  if (Bitmap == nullptr) Bitmap = &empty;
  // The library takes blue, green, red rows: any other format goes through a copy.
  std::unique_ptr<TIEBitmap> copy;
  if (Bitmap->GetWidth() > 0 && Bitmap->GetHeight() > 0 && Bitmap->GetPixelFormat() != ie24RGB) {
    copy = std::make_unique<TIEBitmap>();
    copy->AssignImage(Bitmap);
    copy->ConvertToPixelFormat(ie24RGB);
    Bitmap = copy.get();
  }

  auto job = std::make_unique<WriteJob>();
  job->stream = Stream;
  job->bitmap = Bitmap;
  job->params = &Params;
  job->progress = &Progress;
  job->cinfo.err = job->PrepareErrors();

  {
    CompressGuard guard{&job->cinfo};
    EncodeImage(*job);
  }
  if (job->failed) Progress.Abort();
  if (job->libraryError) {
    const int code = job->err.errorCode;
    job.reset();
    throw EIEJpegException(jpegfilt::MessageText(code));
  }
}
