// JPEG 2000 reader, writer and detectors on OpenJPEG, bound to the caller's
// stream through OpenJPEG's stream callbacks.
#include "image/formats/iej2000.h"

#include <openjpeg.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <exception>
#include <memory>
#include <vector>

#include "image/model/ieutils.h"
#include "platform/rtl/Math.h"

namespace {

constexpr OPJ_SIZE_T kChunk = 65536;

// YCbCr to RGB offsets by 8-bit chroma value, with the coefficients and every
// intermediate held in single precision.
struct YccTables {
  std::array<Integer, 256> CrToR{}, CbToB{}, CrToG{}, CbToG{};
  YccTables() {
    const float kr = 0.299f, kg = 0.587f, kb = 0.114f;
    const float cr = 2.0f - 2.0f * kr, cb = 2.0f - 2.0f * kb;
    const float crg = kr * cr / kg, cbg = kb * cb / kg;
    for (Integer i = 0; i < 256; ++i) {
      const float d = static_cast<float>(i - 128);
      CrToR[static_cast<size_t>(i)] = static_cast<Integer>(Round(static_cast<float>(cr * d)));
      CbToB[static_cast<size_t>(i)] = static_cast<Integer>(Round(static_cast<float>(cb * d)));
      CrToG[static_cast<size_t>(i)] = -static_cast<Integer>(Round(static_cast<float>(crg * d)));
      CbToG[static_cast<size_t>(i)] = -static_cast<Integer>(Round(static_cast<float>(cbg * d)));
    }
  }
};
const YccTables& Ycc() {
  static const YccTables tables;
  return tables;
}

// ---------------------------------------------------------------------------
// OpenJPEG streams on a TStream

OPJ_SIZE_T StreamRead(void* buffer, OPJ_SIZE_T bytes, void* user) {
  auto* s = static_cast<TStream*>(user);
  const Integer n = s->Read(buffer, static_cast<Integer>(std::min<OPJ_SIZE_T>(bytes, 1 << 30)));
  return n <= 0 ? static_cast<OPJ_SIZE_T>(-1) : static_cast<OPJ_SIZE_T>(n);
}
OPJ_SIZE_T StreamWrite(void* buffer, OPJ_SIZE_T bytes, void* user) {
  auto* s = static_cast<TStream*>(user);
  const Integer n = s->Write(buffer, static_cast<Integer>(bytes));
  return n < 0 || static_cast<OPJ_SIZE_T>(n) != bytes ? static_cast<OPJ_SIZE_T>(-1) : bytes;
}
OPJ_OFF_T StreamSkip(OPJ_OFF_T bytes, void* user) {
  auto* s = static_cast<TStream*>(user);
  const Int64 from = s->GetPosition();
  const Int64 to = s->Seek(bytes, soCurrent);
  return to < 0 ? -1 : static_cast<OPJ_OFF_T>(to - from);
}
OPJ_BOOL StreamSeek(OPJ_OFF_T position, void* user) {
  auto* s = static_cast<TStream*>(user);
  return s->Seek(position, soBeginning) == position ? OPJ_TRUE : OPJ_FALSE;
}
void Quiet(const char*, void*) {}

struct OpjStream {
  opj_stream_t* p;
  OpjStream(TStream* s, bool input) : p(opj_stream_create(kChunk, input ? OPJ_TRUE : OPJ_FALSE)) {
    if (p == nullptr) return;
    opj_stream_set_user_data(p, s, nullptr);
    if (input) {
      opj_stream_set_user_data_length(p, static_cast<OPJ_UINT64>(std::max<Int64>(0, s->GetSize() - s->GetPosition())));
      opj_stream_set_read_function(p, StreamRead);
    } else {
      opj_stream_set_write_function(p, StreamWrite);
    }
    opj_stream_set_skip_function(p, StreamSkip);
    opj_stream_set_seek_function(p, StreamSeek);
  }
  ~OpjStream() {
    if (p != nullptr) opj_stream_destroy(p);
  }
  OpjStream(const OpjStream&) = delete;
  OpjStream& operator=(const OpjStream&) = delete;
};
struct OpjCodec {
  opj_codec_t* p;
  explicit OpjCodec(opj_codec_t* c) : p(c) {
    if (p == nullptr) return;
    opj_set_info_handler(p, Quiet, nullptr);
    opj_set_warning_handler(p, Quiet, nullptr);
    opj_set_error_handler(p, Quiet, nullptr);
  }
  ~OpjCodec() {
    if (p != nullptr) opj_destroy_codec(p);
  }
  OpjCodec(const OpjCodec&) = delete;
  OpjCodec& operator=(const OpjCodec&) = delete;
};
struct OpjImage {
  opj_image_t* p = nullptr;
  ~OpjImage() {
    if (p != nullptr) opj_image_destroy(p);
  }
};

bool Peek(TStream* s, Byte* buf, Integer n) {
  const Int64 start = s->GetPosition();
  const bool ok = s->Read(buf, n) == n;
  s->SetPosition(start);
  return ok;
}

// ---------------------------------------------------------------------------

void ReadJ2K(TStream* Stream, TIEBitmap* Bitmap, TIOParamsVals& Params, TProgressRec& Progress,
             bool Preview) {
  const bool jp2 = J2KTryStreamJP2(Stream);
  if (!jp2 && !J2KTryStreamJ2K(Stream)) return Progress.Abort();
  const Int64 present = Stream->GetSize() - Stream->GetPosition();

  OpjCodec codec(opj_create_decompress(jp2 ? OPJ_CODEC_JP2 : OPJ_CODEC_J2K));
  OpjStream stream(Stream, true);
  if (codec.p == nullptr || stream.p == nullptr) return Progress.Abort();
  opj_dparameters_t parameters;
  opj_set_default_decoder_parameters(&parameters);
  OpjImage image;
  if (!opj_setup_decoder(codec.p, &parameters) || !opj_read_header(stream.p, codec.p, &image.p) ||
      image.p == nullptr)
    return Progress.Abort();

  const opj_image_t& im = *image.p;
  if (im.numcomps < 1 || im.x1 <= im.x0 || im.y1 <= im.y0) return Progress.Abort();
  const Int64 width = Int64{im.x1} - im.x0, height = Int64{im.y1} - im.y0;
  if (width * height > J2K_MaxPixels || width * height > present * J2K_MaxPixelsPerByte) return Progress.Abort();
  // Colour space: grey, RGB or YCbCr; bare code streams say nothing and are grey
  // with one or two components, RGB with more. A JP2 file's colour box is applied
  // by the decoding, so the space is looked at again after it.
  Integer space = 0;  // 1 grey, 2 RGB, 3 YCbCr
  Integer used = 0;
  const auto takeSpace = [&]() -> bool {
    switch (im.color_space) {
      case OPJ_CLRSPC_GRAY: space = 1; break;
      case OPJ_CLRSPC_SRGB: space = 2; break;
      case OPJ_CLRSPC_SYCC: space = 3; break;
      case OPJ_CLRSPC_UNKNOWN:
      case OPJ_CLRSPC_UNSPECIFIED: space = im.numcomps >= 3 ? 2 : 1; break;
      default: return false;
    }
    used = space == 1 ? 1 : 3;
    if (im.numcomps < static_cast<OPJ_UINT32>(used)) return false;
    for (Integer c = 0; c < used; ++c) {
      const opj_image_comp_t& comp = im.comps[c];
      if (comp.prec < 1 || comp.prec > 31 || comp.dx == 0 || comp.dy == 0) return false;
    }
    Params.BitsPerSample = static_cast<Integer>(im.comps[0].prec);
    Params.SamplesPerPixel = used;
    Params.J2000_ColorSpace = space == 1 ? ioJ2000_GRAYLEV : (space == 2 ? ioJ2000_RGB : ioJ2000_YCbCr);
    return true;
  };
  if (!takeSpace()) return Progress.Abort();
  Params.DpiX = IEScreenDpiX();
  Params.DpiY = IEScreenDpiY();
  Params.ColorMap.reset();
  Params.ColorMapCount = 0;
  Params.Width = static_cast<Integer>(width);
  Params.Height = static_cast<Integer>(height);
  if (Preview) return;

  if (!opj_decode(codec.p, stream.p, image.p) || !opj_end_decompress(codec.p, stream.p) || !takeSpace())
    return Progress.Abort();
  for (Integer c = 0; c < used; ++c)
    if (im.comps[c].data == nullptr) return Progress.Abort();

  const bool bilevel = used == 1 && Params.BitsPerSample == 1;
  Bitmap->Allocate(Params.Width, Params.Height, bilevel ? ie1g : ie24RGB);
  // Per component: samples to 0..255 (signed ones offset first), and the column
  // of each pixel.
  struct Plane {
    const opj_image_comp_t* comp;
    Int64 offset;
    double scale;
    std::vector<Integer> column;  // -1 outside the component
  };
  std::vector<Plane> planes(static_cast<size_t>(used));
  for (Integer c = 0; c < used; ++c) {
    Plane& p = planes[static_cast<size_t>(c)];
    p.comp = &im.comps[c];
    p.offset = p.comp->sgnd ? (Int64{1} << (p.comp->prec - 1)) : 0;
    p.scale = 255.0 / (std::ldexp(1.0, static_cast<int>(p.comp->prec)) - 1.0);
    p.column.resize(static_cast<size_t>(width));
    for (Int64 x = 0; x < width; ++x) {
      const Int64 cx = (x + im.x0) / p.comp->dx - p.comp->x0;
      p.column[static_cast<size_t>(x)] = cx >= 0 && cx < p.comp->w ? static_cast<Integer>(cx) : -1;
    }
  }
  const auto sample = [&](const Plane& p, Int64 row, Integer x) -> Integer {
    const Integer cx = p.column[static_cast<size_t>(x)];
    if (row < 0 || cx < 0) return 0;
    const Int64 v = Int64{p.comp->data[static_cast<size_t>(row) * p.comp->w + static_cast<size_t>(cx)]} + p.offset;
    return static_cast<Integer>(std::clamp<double>(Trunc(static_cast<double>(v) * p.scale), 0, 255));
  };
  const YccTables& ycc = Ycc();
  Progress.per1 = 100.0 / height;
  for (Integer y = 0; y < Params.Height; ++y) {
    std::array<Int64, 3> rows{};
    for (Integer c = 0; c < used; ++c) {
      const opj_image_comp_t& comp = *planes[static_cast<size_t>(c)].comp;
      const Int64 cy = (y + Int64{im.y0}) / comp.dy - comp.y0;
      rows[static_cast<size_t>(c)] = cy >= 0 && cy < comp.h ? cy : -1;
    }
    Byte* dst = static_cast<Byte*>(Bitmap->GetScanLine(y));
    if (bilevel) std::memset(dst, 0, static_cast<size_t>(Bitmap->GetRowLen()));
    for (Integer x = 0; x < Params.Width; ++x) {
      if (used == 1) {
        const Integer v = sample(planes[0], rows[0], x);
        if (bilevel) {
          if (v != 0) dst[x >> 3] = static_cast<Byte>(dst[x >> 3] | (0x80 >> (x & 7)));
        } else {
          dst[3 * x] = dst[3 * x + 1] = dst[3 * x + 2] = static_cast<Byte>(v);
        }
        continue;
      }
      Integer r = sample(planes[0], rows[0], x), g = sample(planes[1], rows[1], x), b = sample(planes[2], rows[2], x);
      if (space == 3) {
        const Integer Y = r, cb = g, cr = b;
        r = std::clamp(Y + ycc.CrToR[static_cast<size_t>(cr)], 0, 255);
        g = std::clamp(Y + ycc.CbToG[static_cast<size_t>(cb)] + ycc.CrToG[static_cast<size_t>(cr)], 0, 255);
        b = std::clamp(Y + ycc.CbToB[static_cast<size_t>(cb)], 0, 255);
      }
      dst[3 * x] = static_cast<Byte>(b);
      dst[3 * x + 1] = static_cast<Byte>(g);
      dst[3 * x + 2] = static_cast<Byte>(r);
    }
    Progress.Report(static_cast<Integer>(Trunc(Int64{y + 1} * 100.0 / height)));
    if (Progress.Aborted()) return;
  }
}

void WriteJ2K(TStream* Stream, TIEBitmap* Bitmap, TIOParamsVals& Params, TProgressRec& Progress, Integer Format) {
  const Integer width = Bitmap->GetWidth();
  const Integer height = Bitmap->GetHeight();
  if (width <= 0 || height <= 0) return Progress.Abort();
  std::unique_ptr<TIEBitmap> copy;
  TIEBitmap* src = Bitmap;
  const bool bilevel = Bitmap->GetPixelFormat() == ie1g;
  if (bilevel) {
    Params.BitsPerSample = 1;
    Params.J2000_ColorSpace = ioJ2000_GRAYLEV;
  } else if (Bitmap->GetPixelFormat() != ie24RGB) {
    copy = std::make_unique<TIEBitmap>();
    copy->Assign(Bitmap);
    copy->SetPixelFormat(ie24RGB);
    src = copy.get();
  }
  const Integer prec = std::clamp(Params.BitsPerSample, 1, 16);
  const bool grey = Params.J2000_ColorSpace == ioJ2000_GRAYLEV;
  const Integer comps = grey ? 1 : 3;
  std::array<opj_image_cmptparm_t, 3> cp{};
  for (Integer c = 0; c < comps; ++c) {
    cp[static_cast<size_t>(c)].dx = cp[static_cast<size_t>(c)].dy = 1;
    cp[static_cast<size_t>(c)].w = static_cast<OPJ_UINT32>(width);
    cp[static_cast<size_t>(c)].h = static_cast<OPJ_UINT32>(height);
    cp[static_cast<size_t>(c)].prec = static_cast<OPJ_UINT32>(prec);
    cp[static_cast<size_t>(c)].sgnd = 0;
  }
  OpjImage image;
  image.p = opj_image_create(static_cast<OPJ_UINT32>(comps), cp.data(), grey ? OPJ_CLRSPC_GRAY : OPJ_CLRSPC_SRGB);
  if (image.p == nullptr) return Progress.Abort();
  image.p->x0 = image.p->y0 = 0;
  image.p->x1 = static_cast<OPJ_UINT32>(width);
  image.p->y1 = static_cast<OPJ_UINT32>(height);

  const double maxval = std::ldexp(1.0, prec) - 1.0;
  const auto scaled = [maxval](Integer v) { return static_cast<OPJ_INT32>(Trunc(v / 255.0 * maxval)); };
  for (Integer y = 0; y < height; ++y) {
    const Byte* row = static_cast<const Byte*>(src->GetScanLine(y));
    const size_t at = static_cast<size_t>(y) * static_cast<size_t>(width);
    for (Integer x = 0; x < width; ++x) {
      if (bilevel) {
        image.p->comps[0].data[at + static_cast<size_t>(x)] = (row[x >> 3] >> (7 - (x & 7))) & 1;
      } else if (grey) {
        const Integer v = (21 * row[3 * x + 2] + 71 * row[3 * x + 1] + 8 * row[3 * x]) / 100;
        image.p->comps[0].data[at + static_cast<size_t>(x)] = scaled(v);
      } else {
        image.p->comps[0].data[at + static_cast<size_t>(x)] = scaled(row[3 * x + 2]);
        image.p->comps[1].data[at + static_cast<size_t>(x)] = scaled(row[3 * x + 1]);
        image.p->comps[2].data[at + static_cast<size_t>(x)] = scaled(row[3 * x]);
      }
    }
    Progress.Report(static_cast<Integer>(Trunc(Int64{y + 1} * 100.0 / height)));
    if (Progress.Aborted()) return;
  }

  opj_cparameters_t parameters;
  opj_set_default_encoder_parameters(&parameters);
  parameters.tcp_numlayers = 1;
  parameters.cp_disto_alloc = 1;
  // The rate is the fraction of the raw size to keep; 1 or more keeps everything.
  parameters.tcp_rates[0] = Params.J2000_Rate > 0 && Params.J2000_Rate < 1 ? static_cast<float>(1.0 / Params.J2000_Rate) : 0;
  parameters.prog_order = Params.J2000_ScalableBy == ioJ2000_Resolution ? OPJ_RLCP : OPJ_LRCP;
  parameters.irreversible = 0;
  parameters.tcp_mct = comps == 3 ? 1 : 0;
  // Each resolution halves the image; the smallest must keep a pixel.
  Integer resolutions = 1;
  while (resolutions < 6 && (std::min(width, height) >> resolutions) > 0) ++resolutions;
  parameters.numresolution = resolutions;

  OpjCodec codec(opj_create_compress(Format == 1 ? OPJ_CODEC_J2K : OPJ_CODEC_JP2));
  OpjStream stream(Stream, false);
  if (codec.p == nullptr || stream.p == nullptr || !opj_setup_encoder(codec.p, &parameters, image.p) ||
      !opj_start_compress(codec.p, image.p, stream.p) || !opj_encode(codec.p, stream.p) ||
      !opj_end_compress(codec.p, stream.p))
    return Progress.Abort();
}

}  // namespace

bool J2KTryStreamJP2(TStream* Stream) {
  static constexpr Byte kSignature[12] = {0, 0, 0, 12, 'j', 'P', ' ', ' ', 0x0D, 0x0A, 0x87, 0x0A};
  Byte b[12];
  return Peek(Stream, b, 12) && std::memcmp(b, kSignature, 12) == 0;
}

bool J2KTryStreamJ2K(TStream* Stream) {
  Byte b[4];
  return Peek(Stream, b, 4) && b[0] == 0xFF && b[1] == 0x4F && b[2] == 0xFF && b[3] == 0x51;
}

void J2KReadStream(TStream* Stream, TIEBitmap* Bitmap, TIOParamsVals& Params, TProgressRec& Progress,
                   bool Preview) {
  try {
    ReadJ2K(Stream, Bitmap, Params, Progress, Preview);
  } catch (const std::exception&) {
    Progress.Abort();
  }
}

void J2KWriteStream(TStream* Stream, TIEBitmap* Bitmap, TIOParamsVals& Params, TProgressRec& Progress,
                    Integer Format) {
  try {
    WriteJ2K(Stream, Bitmap, Params, Progress, Format);
  } catch (const std::exception&) {
    Progress.Abort();
  }
}
