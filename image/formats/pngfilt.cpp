// PNG detector and reader on libpng.
//
// libpng reports errors by calling our handler, which must not return: it sets the
// caller's abort flag and jumps back to the setjmp in ReadRows. Everything with a
// destructor lives in ReadPNGStream, outside the frame that setjmp returns to, so the
// jump skips no C++ cleanup; the structures are destroyed by the guard there.
#include "image/formats/pngfilt.h"

#include <png.h>

#include <algorithm>
#include <csetjmp>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/rtl/Math.h"
#include "platform/win/Gdi.h"

namespace {

// zlib expands at most about 1032:1; a file cannot hold more pixel data than this
// many bytes per byte present, so larger headers are refused before any allocation.
constexpr Int64 kMaxInflateRatio = 1032;
constexpr Int64 kInflateSlack = 4096;

// libpng allocates an ancillary chunk at the length the chunk declares before it
// reads the chunk (and goes on with a warning when that length is absurd), so a few
// hostile bytes can ask for gigabytes. No allocation of a sound read exceeds the
// bytes present (chunk data) or a few rows of the widest image libpng accepts (row
// buffers; 1,000,000 pixels of 8 bytes): larger requests are refused, which libpng
// reports as an error.
constexpr png_alloc_size_t kAllocFloor = 32u << 20;
constexpr png_alloc_size_t kAllocSlack = 1u << 20;

struct ReadContext {
  TStream* stream = nullptr;
  TProgressRec* progress = nullptr;
  png_alloc_size_t allocLimit = kAllocFloor;
};

png_voidp BoundedMalloc(png_structp png, png_alloc_size_t size) {
  const auto* ctx = static_cast<const ReadContext*>(png_get_mem_ptr(png));
  if (ctx != nullptr && size > ctx->allocLimit) return nullptr;
  return std::malloc(size);
}

void BoundedFree(png_structp, png_voidp block) { std::free(block); }

[[noreturn]] void ReadError(png_structp png, png_const_charp) {
  auto* ctx = static_cast<ReadContext*>(png_get_error_ptr(png));
  ctx->progress->Abort();
  longjmp(png_jmpbuf(png), 1);
}

void ReadWarning(png_structp, png_const_charp) {}

// A short read is a failure: libpng would otherwise decode stale bytes. No exception
// of the stream may cross libpng's frames; it becomes a libpng error.
void ReadData(png_structp png, png_bytep data, png_size_t length) {
  auto* ctx = static_cast<ReadContext*>(png_get_io_ptr(png));
  size_t done = 0;
  bool failed = false;
  try {
    while (done < length) {
      const size_t chunk = std::min<size_t>(length - done, 0x40000000);
      const Integer got = ctx->stream->Read(data + done, static_cast<Integer>(chunk));
      if (got <= 0) break;
      done += static_cast<size_t>(got);
    }
  } catch (...) {
    failed = true;
  }
  if (failed || done < length) png_error(png, "Read error");
}

Integer DpiFromPpm(png_uint_32 ppm, Integer (*screenDpi)()) {
  const Integer dpi = static_cast<Integer>(Round(static_cast<double>(ppm) / 100.0 * 2.54));
  return dpi != 0 ? dpi : screenDpi();
}

struct PngGuard {
  png_structp png = nullptr;
  png_infop info = nullptr;
  ~PngGuard() {
    if (png != nullptr) png_destroy_read_struct(&png, info != nullptr ? &info : nullptr, nullptr);
  }
};

// What ReadPNGStream needs from the header, and the buffers it owns for the rows.
struct ReadJob {
  TIEBitmap* bitmap;
  TIOParamsVals* params;
  TProgressRec* progress;
  bool preview;
  bool ignoreAlpha;
  std::unique_ptr<TIEMask>* mask;
  Int64 bytesPresent;
  std::vector<Byte> rowBuffer;  // 4 bytes per pixel when alpha is split off
};

// The libpng part of the read. Only plain values live in this frame, so a longjmp
// back into it skips no destructor. Answers false when libpng reported an error.
bool ReadRows(png_structp png, png_infop info, ReadJob& job) {
  if (setjmp(png_jmpbuf(png)) != 0) return false;

  png_read_info(png, info);
  png_uint_32 width = 0, height = 0;
  int bitDepth = 0, colorType = 0, interlaceType = 0;
  png_get_IHDR(png, info, &width, &height, &bitDepth, &colorType, &interlaceType, nullptr,
               nullptr);

  // Within every reader's limits, and bounded by the bytes present (libpng itself
  // caps each side at 1,000,000).
  if (!IESizeWithinLimits(width, height)) png_error(png, "Image too large");
  const Int64 fileRowBytes = static_cast<Int64>(png_get_rowbytes(png, info)) + 1;
  if (fileRowBytes * static_cast<Int64>(height) >
      job.bytesPresent * kMaxInflateRatio + kInflateSlack)
    png_error(png, "Image larger than its data");

  TIOParamsVals& params = *job.params;
  const bool isPalette = colorType == PNG_COLOR_TYPE_PALETTE;
  const bool isGrey = (colorType & PNG_COLOR_MASK_COLOR) == 0;

  png_colorp plte = nullptr;
  int plteCount = 0;
  if (isPalette) png_get_PLTE(png, info, &plte, &plteCount);

  // Bilevel: 1-bit grey, or a 1-bit palette of black and white (inverted when white
  // comes first). Other 1-bit palettes are expanded like any palette.
  bool bilevel = false, invert = false;
  if (bitDepth == 1 && isGrey) bilevel = true;
  if (bitDepth == 1 && isPalette && plteCount == 2) {
    const auto isBlack = [](const png_color& c) { return c.red == 0 && c.green == 0 && c.blue == 0; };
    const auto isWhite = [](const png_color& c) {
      return c.red == 255 && c.green == 255 && c.blue == 255;
    };
    if (isBlack(plte[0]) && isWhite(plte[1])) bilevel = true;
    if (isWhite(plte[0]) && isBlack(plte[1])) bilevel = invert = true;
  }

  const bool wantAlpha = !job.ignoreAlpha;
  if (job.ignoreAlpha) {
    png_color_16p fileBackground = nullptr;
    if (png_get_bKGD(png, info, &fileBackground) != 0 && fileBackground != nullptr) {
      png_set_background(png, fileBackground, PNG_BACKGROUND_GAMMA_FILE, 1, 1.0);
      TRGB& bg = params.PNG_Background;
      if (isPalette) {
        const int idx = fileBackground->index;
        if (plte != nullptr && idx < plteCount)
          bg = TRGB{plte[idx].blue, plte[idx].green, plte[idx].red};
      } else if (isGrey) {
        const int maxv = (1 << bitDepth) - 1;
        const Byte g = static_cast<Byte>(bitDepth == 16 ? fileBackground->gray >> 8
                                                        : fileBackground->gray * 255 / maxv);
        bg = TRGB{g, g, g};
      } else {
        const int shift = bitDepth == 16 ? 8 : 0;
        bg = TRGB{static_cast<Byte>(fileBackground->blue >> shift),
                  static_cast<Byte>(fileBackground->green >> shift),
                  static_cast<Byte>(fileBackground->red >> shift)};
      }
    } else {
      // Given in the rows' final form, 8 bits a channel (libpng widens it itself
      // where it composes 16-bit samples before stripping them).
      png_color_16 screen{};
      screen.red = params.PNG_Background.r;
      screen.green = params.PNG_Background.g;
      screen.blue = params.PNG_Background.b;
      screen.gray = screen.green;
      png_set_background(png, &screen, PNG_BACKGROUND_GAMMA_SCREEN, 0, 1.0);
    }
  }

  if (!bilevel) {
    if (isPalette || (isGrey && bitDepth < 8)) png_set_expand(png);
    if (png_get_valid(png, info, PNG_INFO_tRNS) != 0) png_set_tRNS_to_alpha(png);
    if (bitDepth == 16) png_set_strip_16(png);
    if (bitDepth < 8) png_set_packing(png);
    if (isGrey) png_set_gray_to_rgb(png);
    png_set_bgr(png);
  }
  const int passes = png_set_interlace_handling(png);
  png_read_update_info(png, info);

  params.Width = static_cast<Integer>(width);
  params.Height = static_cast<Integer>(height);
  params.BitsPerSample = bitDepth;
  switch (colorType) {
    case PNG_COLOR_TYPE_RGB: params.SamplesPerPixel = 3; break;
    case PNG_COLOR_TYPE_GRAY_ALPHA: params.SamplesPerPixel = 2; break;
    case PNG_COLOR_TYPE_RGB_ALPHA: params.SamplesPerPixel = 4; break;
    default: params.SamplesPerPixel = 1; break;
  }
  params.DpiX = DpiFromPpm(png_get_x_pixels_per_meter(png, info), IEScreenDpiX);
  params.DpiY = DpiFromPpm(png_get_y_pixels_per_meter(png, info), IEScreenDpiY);
  params.ColorMap.reset();
  params.ColorMapCount = 0;
  if (isPalette && plte != nullptr && plteCount > 0) {
    params.ColorMap = std::make_unique<TRGB[]>(static_cast<size_t>(plteCount));
    for (int i = 0; i < plteCount; ++i)
      params.ColorMap[i] = TRGB{plte[i].blue, plte[i].green, plte[i].red};
    params.ColorMapCount = plteCount;
  }
  params.PNG_Interlaced = interlaceType != PNG_INTERLACE_NONE;

  if (job.preview) return true;

  const int channels = png_get_channels(png, info);
  const size_t outRowBytes = png_get_rowbytes(png, info);
  const size_t w = width;
  if (bilevel ? outRowBytes != (w + 7) / 8 : channels < 3 || outRowBytes != w * channels)
    png_error(png, "Unexpected row layout");

  if (wantAlpha) {
    std::unique_ptr<TIEMask>& mask = *job.mask;
    if (!mask) mask = std::make_unique<TIEMask>();
    mask->AllocateBits(params.Width, params.Height, 8);
    mask->Fill(255);
  }
  job.bitmap->Allocate(params.Width, params.Height, bilevel ? ie1g : ie24RGB);

  const bool splitAlpha = channels == 4 && wantAlpha;
  TIEMask* mask = wantAlpha ? job.mask->get() : nullptr;
  if (channels == 4) job.rowBuffer.assign(w * 4, 0);  // bounded by the width check above

  TProgressRec& progress = *job.progress;
  progress.per1 = 100.0 / (static_cast<double>(passes) * static_cast<double>(height));
  Int64 rowsRead = 0;
  for (int pass = 0; pass < passes; ++pass) {
    for (png_uint_32 y = 0; y < height; ++y) {
      auto* row = static_cast<Byte*>(job.bitmap->GetScanLine(static_cast<Integer>(y)));
      if (channels == 4) {
        Byte* buf = job.rowBuffer.data();
        // Interlaced passes add to the row: give libpng what earlier passes left.
        if (pass > 0) {
          const Byte* alpha = splitAlpha ? mask->GetScanLine(static_cast<Integer>(y)) : nullptr;
          for (size_t x = 0; x < w; ++x) {
            std::memcpy(buf + x * 4, row + x * 3, 3);
            buf[x * 4 + 3] = alpha != nullptr ? alpha[x] : 255;
          }
        }
        png_read_row(png, buf, nullptr);
        Byte* alpha = splitAlpha ? mask->GetScanLine(static_cast<Integer>(y)) : nullptr;
        for (size_t x = 0; x < w; ++x) {
          std::memcpy(row + x * 3, buf + x * 4, 3);
          if (alpha != nullptr) alpha[x] = buf[x * 4 + 3];
        }
      } else {
        png_read_row(png, row, nullptr);
        if (invert && pass == passes - 1) {
          for (size_t i = 0; i < outRowBytes; ++i) row[i] = static_cast<Byte>(~row[i]);
        }
      }
      ++rowsRead;
      progress.Report(static_cast<Integer>(progress.per1 * static_cast<double>(rowsRead)));
      if (progress.Aborted()) return true;
    }
  }
  if (splitAlpha) mask->SyncFull();
  png_read_end(png, nullptr);
  return true;
}

}  // namespace

bool IsPNGStream(TStream* Stream) {
  static constexpr Byte kSignature[4] = {0x89, 0x50, 0x4E, 0x47};
  const Int64 start = Stream->GetPosition();
  Byte header[8] = {};
  const Integer got = Stream->Read(header, 8);
  Stream->SetPosition(start);
  // A stream shorter than the 8-byte signature holds no PNG, whatever it starts with.
  return got == 8 && std::memcmp(header, kSignature, 4) == 0;
}

void ReadPNGStream(TStream* Stream, TIEBitmap* Bitmap, TIOParamsVals& Params,
                   TProgressRec& Progress, bool Preview, std::unique_ptr<TIEMask>& Mask,
                   bool IgnoreAlpha) {
  const Int64 size = Stream->GetSize();
  const Int64 position = Stream->GetPosition();
  const Int64 bytesPresent = size > position ? size - position : 0;
  ReadContext ctx{Stream, &Progress,
                  std::max<png_alloc_size_t>(
                      kAllocFloor, static_cast<png_alloc_size_t>(bytesPresent) + kAllocSlack)};
  PngGuard guard;
  guard.png = png_create_read_struct_2(PNG_LIBPNG_VER_STRING, &ctx, ReadError, ReadWarning, &ctx,
                                       BoundedMalloc, BoundedFree);
  if (guard.png == nullptr) {
    Progress.Abort();
    return;
  }
  guard.info = png_create_info_struct(guard.png);
  if (guard.info == nullptr) {
    Progress.Abort();
    return;
  }
  png_set_read_fn(guard.png, &ctx, ReadData);

  ReadJob job{Bitmap, &Params, &Progress, Preview, IgnoreAlpha, &Mask, bytesPresent, {}};
  if (!ReadRows(guard.png, guard.info, job)) Progress.Abort();
}
