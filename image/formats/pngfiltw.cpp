// PNG writer on libpng.
//
// libpng's error handler jumps back to the setjmp in WriteRows; the objects with
// destructors (source copy, quantizer, buffers) live in WritePNGStream, which turns
// the failure into EInvalidGraphic once the structures are destroyed.
#include "image/formats/pngfiltw.h"

#include <png.h>

#include <algorithm>
#include <csetjmp>
#include <span>
#include <vector>

#include "image/formats/neurquant.h"
#include "image/proc/dadiravproc.h"
#include "platform/rtl/Math.h"
#include "platform/vcl/Graphics.h"

namespace {

struct WriteContext {
  TStream* stream = nullptr;
  TProgressRec* progress = nullptr;
};

[[noreturn]] void WriteError(png_structp png, png_const_charp) { longjmp(png_jmpbuf(png), 1); }

void WriteWarning(png_structp, png_const_charp) {}

void WriteData(png_structp png, png_bytep data, png_size_t length) {
  // No exception of the stream may cross libpng's frames: it counts as a short write.
  auto* ctx = static_cast<WriteContext*>(png_get_io_ptr(png));
  size_t done = 0;
  try {
    while (done < length) {
      const size_t chunk = std::min<size_t>(length - done, 0x40000000);
      const Integer put = ctx->stream->Write(data + done, static_cast<Integer>(chunk));
      if (put < static_cast<Integer>(chunk)) break;
      done += chunk;
    }
  } catch (...) {
  }
  if (done < length) ctx->progress->Abort();
}

void FlushData(png_structp) {}

struct PngGuard {
  png_structp png = nullptr;
  png_infop info = nullptr;
  ~PngGuard() {
    if (png != nullptr) png_destroy_write_struct(&png, info != nullptr ? &info : nullptr);
  }
};

// A mask value at (x, y) as 0..255; 0 outside the plane, 1-bit masks as 0 or 255.
Byte MaskValue(const TIEMask* mask, Integer x, Integer y) {
  const Integer v = mask->GetPixel(x, y);
  if (mask->GetBitsPerPixel() == 1) return v != 0 ? 255 : 0;
  return static_cast<Byte>(v);
}

// Whether some mask value lies between fully transparent and opaque.
bool HasPartialAlpha(const TIEMask* mask) {
  if (mask->GetBitsPerPixel() == 1) return false;
  for (Integer y = 0; y < mask->GetHeight(); ++y)
    for (Integer x = 0; x < mask->GetWidth(); ++x) {
      const Byte v = MaskValue(mask, x, y);
      if (v != 0 && v != 255) return true;
    }
  return false;
}

enum class Kind { Grey1, Palette, Rgb, Rgba };

struct WriteJob {
  TIEBitmap* source;
  TIOParamsVals* params;
  TProgressRec* progress;
  TIEMask* mask;        // null unless transparency is written
  Kind kind;
  Integer width;        // of the bitmap passed in
  Integer height;
  const TIEQuantizer* quantizer;
  std::vector<png_color>* palette;
  Integer backgroundIndex;
  std::vector<Byte>* rowBuffer;
};

bool WriteRows(png_structp png, png_infop info, WriteJob& job) {
  if (setjmp(png_jmpbuf(png)) != 0) return false;

  TIOParamsVals& params = *job.params;
  int colorType = PNG_COLOR_TYPE_RGB, depth = 8;
  switch (job.kind) {
    case Kind::Grey1: colorType = PNG_COLOR_TYPE_GRAY; depth = 1; break;
    case Kind::Palette: colorType = PNG_COLOR_TYPE_PALETTE; break;
    case Kind::Rgb: break;
    case Kind::Rgba: colorType = PNG_COLOR_TYPE_RGB_ALPHA; break;
  }
  png_set_IHDR(png, info, static_cast<png_uint_32>(job.width), static_cast<png_uint_32>(job.height),
               depth, colorType, params.PNG_Interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);

  if (job.kind == Kind::Palette) {
    png_set_PLTE(png, info, job.palette->data(), static_cast<int>(job.palette->size()));
    if (job.mask != nullptr) {
      png_byte alpha = 0;
      png_set_tRNS(png, info, &alpha, 1, nullptr);
    }
  }

  const auto ppm = [](Integer dpi) {
    const Int64 v = Round(static_cast<double>(dpi) * 100.0 / 2.54);
    return static_cast<png_uint_32>(std::clamp<Int64>(v, 0, 0x7FFFFFFF));
  };
  png_set_pHYs(png, info, ppm(params.DpiX), ppm(params.DpiY), PNG_RESOLUTION_METER);

  int filter = PNG_FILTER_NONE;
  if (params.PNG_Filter == ioPNG_FILTER_SUB) filter = PNG_FILTER_SUB;
  if (params.PNG_Filter == ioPNG_FILTER_PAETH) filter = PNG_FILTER_PAETH;
  png_set_filter(png, PNG_FILTER_TYPE_BASE, filter);

  // The background in the image's own sample range (libpng drops a chunk whose
  // values do not fit the bit depth): 8 bits a channel, or for a 1-bit grey image
  // the level nearest to its green.
  png_color_16 background{};
  if (job.kind == Kind::Palette) {
    background.index = static_cast<png_byte>(job.backgroundIndex);
  } else if (job.kind == Kind::Grey1) {
    background.gray = params.PNG_Background.g >= 128 ? 1 : 0;
  } else {
    background.red = params.PNG_Background.r;
    background.green = params.PNG_Background.g;
    background.blue = params.PNG_Background.b;
    background.gray = background.green;
  }
  png_set_bKGD(png, info, &background);
  png_set_compression_level(png, std::clamp<Integer>(params.PNG_Compression, 0, 9));
  png_set_bgr(png);
  png_write_info(png, info);
  const int passes = png_set_interlace_handling(png);

  TProgressRec& progress = *job.progress;
  progress.per1 = 100.0 / (static_cast<double>(passes) * static_cast<double>(job.height));
  Byte* buf = job.rowBuffer->data();
  const Integer w = job.width;
  Int64 rowsWritten = 0;
  for (int pass = 0; pass < passes; ++pass) {
    for (Integer y = 0; y < job.height; ++y) {
      auto* row = static_cast<Byte*>(job.source->GetScanLine(y));
      switch (job.kind) {
        case Kind::Grey1:
        case Kind::Rgb:
          png_write_row(png, row);
          break;
        case Kind::Palette: {
          const auto* px = reinterpret_cast<const TRGB*>(row);
          const Integer n = job.quantizer->GetNCol();
          for (Integer x = 0; x < w; ++x) {
            if (job.mask != nullptr && MaskValue(job.mask, x, y) < 255) {
              buf[x] = 0;
              continue;
            }
            const Integer idx = job.quantizer->GetRGBIndex(px[x]);
            buf[x] = static_cast<Byte>(std::clamp<Integer>(idx, 0, n - 1) + 1);
          }
          png_write_row(png, buf);
          break;
        }
        case Kind::Rgba: {
          for (Integer x = 0; x < w; ++x) {
            std::copy_n(row + x * 3, 3, buf + x * 4);
            buf[x * 4 + 3] = MaskValue(job.mask, x, y);
          }
          png_write_row(png, buf);
          break;
        }
      }
      ++rowsWritten;
      progress.Report(static_cast<Integer>(progress.per1 * static_cast<double>(rowsWritten)));
      if (progress.Aborted()) return true;
    }
  }
  png_write_end(png, nullptr);
  return true;
}

}  // namespace

void WritePNGStream(TStream* Stream, TIEBitmap* Bitmap, TIOParamsVals& Params,
                    TProgressRec& Progress, TIEMask* Mask) {
  const Integer width = Bitmap->GetWidth();
  const Integer height = Bitmap->GetHeight();
  if (width <= 0 || height <= 0) throw EInvalidGraphic("Error on creating PNG");

  // The source in the format the rows are written from.
  std::unique_ptr<TIEBitmap> copy;
  TIEBitmap* source = Bitmap;
  const TIEPixelFormat wanted = Params.BitsPerSample == 1 ? ie1g : ie24RGB;
  if (Bitmap->GetPixelFormat() != wanted) {
    if (wanted == ie1g) {
      TRGB color0, color1;
      copy = _ConvertTo1bitEx(Bitmap, color0, color1);
    }
    if (!copy) {
      copy = std::make_unique<TIEBitmap>();
      copy->Assign(Bitmap);
      copy->ConvertToPixelFormat(wanted);
    }
    source = copy.get();
  }

  const bool transparent = Mask != nullptr && Mask->GetBitsPerPixel() != 0 && !Mask->GetFull();
  Kind kind = Kind::Rgb;
  if (Params.SamplesPerPixel == 1)
    kind = source->GetPixelFormat() == ie1g ? Kind::Grey1 : Kind::Palette;
  else if (transparent)
    kind = Kind::Rgba;
  // A palette has one transparent entry only: an image whose mask holds partial
  // transparency (a palette file with partly transparent entries, read back) is
  // written with an alpha channel instead, so that nothing of its alpha is lost.
  if (kind == Kind::Palette && transparent && HasPartialAlpha(Mask)) kind = Kind::Rgba;
  // RGB rows are 3 bytes a pixel whatever BitsPerSample asked for.
  if ((kind == Kind::Rgb || kind == Kind::Rgba) && source->GetPixelFormat() != ie24RGB) {
    auto rgb = std::make_unique<TIEBitmap>();
    rgb->Assign(Bitmap);
    rgb->ConvertToPixelFormat(ie24RGB);
    copy = std::move(rgb);
    source = copy.get();
  }

  std::unique_ptr<TIEQuantizer> quantizer;
  std::vector<png_color> palette;
  Integer backgroundIndex = 0;
  if (kind == Kind::Palette) {
    const Integer bits = std::clamp<Integer>(Params.BitsPerSample, 1, 8);
    const Integer ncol = std::min<Integer>(1 << bits, 255);
    std::vector<TRGB> colours(static_cast<size_t>(ncol));
    quantizer = std::make_unique<TIEQuantizer>(source, std::span<TRGB>(colours), ncol);
    palette.resize(static_cast<size_t>(std::min<Integer>((1 << bits) + 1, 256)));
    palette[0] = png_color{Params.PNG_Background.r, Params.PNG_Background.g, Params.PNG_Background.b};
    for (Integer i = 0; i < ncol; ++i)
      palette[static_cast<size_t>(i) + 1] = png_color{colours[i].r, colours[i].g, colours[i].b};
    // A background the exact list does not hold is entry 0 itself.
    const Integer bgIndex = quantizer->GetRGBIndex(Params.PNG_Background);
    backgroundIndex = bgIndex < 0 ? 0 : std::min(bgIndex, ncol - 1) + 1;
  }
  std::vector<Byte> rowBuffer(static_cast<size_t>(width) * 4);

  WriteContext ctx{Stream, &Progress};
  bool ok = false;
  {
    PngGuard guard;
    guard.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, WriteError, WriteWarning);
    if (guard.png == nullptr) throw EInvalidGraphic("Error on creating PNG");
    guard.info = png_create_info_struct(guard.png);
    if (guard.info == nullptr) throw EInvalidGraphic("Error on creating PNG");
    png_set_write_fn(guard.png, &ctx, WriteData, FlushData);
    WriteJob job{source, &Params, &Progress, (kind == Kind::Palette || kind == Kind::Rgba) && transparent ? Mask : nullptr,
                 kind, width, height, quantizer.get(), &palette, backgroundIndex, &rowBuffer};
    ok = WriteRows(guard.png, guard.info, job);
  }
  if (!ok) throw EInvalidGraphic("Error on creating PNG");
}
