// PBM, PGM and PPM reader, writer and detector.
#include <algorithm>
#include <cstring>
#include <exception>
#include <memory>
#include <vector>

#include "image/formats/bmpfilt.h"
#include "image/model/ieutils.h"
#include "image/proc/dadiravproc.h"
#include "platform/rtl/Math.h"
#include "platform/rtl/Strings.h"

namespace {

// The resolution given to these files, which carry none (the screen's).
// Tokens the detector reads at most before it gives up.
constexpr Integer kMaxDetectTokens = 501;
// Longest header token or comment kept; longer ones are cut (the bytes are still
// consumed).
constexpr size_t kMaxTokenLength = 4096;

bool IsAlnum(Integer c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// Reads a stream byte by byte through a buffer.
class ByteReader {
 public:
  explicit ByteReader(TStream* stream) : stream_(stream) {}
  // The next byte, or -1 at the end.
  Integer Next() {
    if (at_ == len_) {
      len_ = std::max<Integer>(stream_->Read(buf_.data(), static_cast<Integer>(buf_.size())), 0);
      at_ = 0;
      if (len_ == 0) return -1;
    }
    return buf_[static_cast<size_t>(at_++)];
  }
  // Up to count bytes; answers how many were given.
  Integer Take(Byte* dest, Integer count) {
    Integer done = std::min(count, len_ - at_);
    std::memcpy(dest, buf_.data() + at_, static_cast<size_t>(done));
    at_ += done;
    if (done < count) {
      const Integer got = std::max<Integer>(stream_->Read(dest + done, count - done), 0);
      done += got;
    }
    return done;
  }
  // Bytes not yet given: what is buffered plus what the stream still holds.
  Int64 Remaining() { return (len_ - at_) + std::max<Int64>(0, stream_->GetSize() - stream_->GetPosition()); }
  // The stream position of the next byte this reader gives.
  Int64 Position() { return stream_->GetPosition() - (len_ - at_); }

  // Skips to a letter, digit or "#". A "#" gives "#" and the rest of the line
  // (trimmed); otherwise the run of letters and digits, and the byte that ends it
  // is consumed. Empty at the end of the stream.
  AnsiString Token() {
    Integer c = Next();
    while (c >= 0 && c != '#' && !IsAlnum(c)) c = Next();
    AnsiString t;
    if (c < 0) return t;
    if (c == '#') {
      t.push_back('#');
      for (c = Next(); c >= 0 && c != '\r' && c != '\n'; c = Next())
        if (t.size() < kMaxTokenLength) t.push_back(static_cast<char>(c));
      return "#" + Trim(t.substr(1));
    }
    for (; c >= 0 && IsAlnum(c); c = Next())
      if (t.size() < kMaxTokenLength) t.push_back(static_cast<char>(c));
    return t;
  }

 private:
  TStream* stream_;
  std::vector<Byte> buf_ = std::vector<Byte>(65536);
  Integer at_ = 0;
  Integer len_ = 0;
};

// A decimal number of at most nine digits; -1 otherwise.
Integer Decimal(const AnsiString& t) {
  if (t.empty() || t.size() > 9) return -1;
  Integer v = 0;
  for (char c : t) {
    if (c < '0' || c > '9') return -1;
    v = v * 10 + (c - '0');
  }
  return v;
}

struct Header {
  Integer kind = 0;  // 1..6, 0 for no magic
  Integer width = -1;
  Integer height = -1;
  Integer maxval = -1;
};

// Reads the header tokens; comments go to comments when given. False when the
// first token that is not a comment is no magic or a token limit is reached.
bool ParseHeader(ByteReader& in, Header& h, TStringList* comments, Integer tokenLimit) {
  Integer step = 0;  // 0 magic, 1 width, 2 height, 3 maximum
  for (Integer n = 0; tokenLimit < 0 || n < tokenLimit; ++n) {
    const AnsiString t = in.Token();
    if (t.empty()) return step > 0;  // the end of the stream ends the header
    if (t[0] == '#') {
      if (comments != nullptr) comments->Add(t.substr(1));
      continue;
    }
    switch (step++) {
      case 0:
        if (t.size() != 2 || t[0] != 'P' || t[1] < '1' || t[1] > '6') return false;
        h.kind = t[1] - '0';
        if (h.kind == 1 || h.kind == 4) h.maxval = 1;
        break;
      case 1: h.width = Decimal(t); break;
      case 2:
        h.height = Decimal(t);
        if (h.kind == 1 || h.kind == 4) return true;
        break;
      default: h.maxval = Decimal(t); return true;
    }
  }
  return false;
}

void ReadPXM(TStream* Stream, TIEBitmap* Bitmap, TIOParamsVals& Params, TProgressRec& Progress,
             bool Preview) {
  Params.PXM_Comments->Clear();
  ByteReader in(Stream);
  Header h;
  if (!ParseHeader(in, h, Params.PXM_Comments.get(), -1)) return Progress.Abort();
  if (h.width <= 0 || h.height <= 0 || Int64{h.width} * h.height > PXM_MaxPixels)
    return Progress.Abort();
  // The maximum sample value of the format: 1..65535.
  if (h.maxval < 1 || h.maxval > 65535) return Progress.Abort();
  Params.ColorMap.reset();
  Params.ColorMapCount = 0;
  Params.Width = h.width;
  Params.Height = h.height;
  Params.DpiX = IEScreenDpiX();
  Params.DpiY = IEScreenDpiY();
  const bool bilevel = h.kind == 1 || h.kind == 4;
  const bool colour = h.kind == 3 || h.kind == 6;
  Params.BitsPerSample = bilevel ? 1 : 8;
  Params.SamplesPerPixel = colour ? 3 : 1;

  const Int64 w = h.width;
  const Integer spp = colour ? 3 : 1;
  const Integer sampleBytes = h.maxval > 255 ? 2 : 1;
  const Int64 rowBytes = h.kind == 4 ? (w + 7) / 8 : w * spp * sampleBytes;
  // Every pixel needs at least one byte of the file (a character or a sample).
  const Int64 needed = h.kind >= 4 ? rowBytes * h.height : w * h.height * (h.kind == 1 ? 1 : spp);
  if (needed > in.Remaining()) return Progress.Abort();
  if (Preview) return;

  Bitmap->Allocate(h.width, h.height, bilevel ? ie1g : ie24RGB);
  Progress.per1 = 100.0 / h.height;
  // Sample value to 0..255: Trunc(v / maximum x 255); values above the maximum
  // give 255.
  const Int64 maxval = h.maxval;
  auto scale = [maxval](Int64 v) -> Byte {
    return v >= maxval ? 255 : static_cast<Byte>(v * 255 / maxval);
  };
  std::vector<Byte> lut;  // for one-byte samples
  if (sampleBytes == 1) {
    lut.resize(256);
    for (Integer v = 0; v < 256; ++v) lut[static_cast<size_t>(v)] = scale(v);
  }
  std::vector<Byte> raw(static_cast<size_t>(rowBytes));  // one file row, bounded by the data
  for (Integer y = 0; y < h.height; ++y) {
    if (Progress.Aborted()) return;
    Byte* dst = static_cast<Byte*>(Bitmap->GetScanLine(y));
    switch (h.kind) {
      case 1: {
        std::memset(dst, 0, static_cast<size_t>(Bitmap->GetRowLen()));
        for (Integer x = 0; x < h.width;) {
          Integer c = in.Next();
          if (c < 0) return Progress.Abort();
          if (c == '#') {  // a comment among the pixels
            while (c >= 0 && c != '\n' && c != '\r') c = in.Next();
            continue;
          }
          if (c != '0' && c != '1') continue;
          if (c == '0') dst[x >> 3] = static_cast<Byte>(dst[x >> 3] | (0x80 >> (x & 7)));
          ++x;
        }
        break;
      }
      case 2:
      case 3: {
        for (Integer x = 0; x < h.width; ++x) {
          Byte v[3];
          for (Integer s = 0; s < spp; ++s) {
            AnsiString t = in.Token();
            while (!t.empty() && t[0] == '#') t = in.Token();
            if (t.empty()) return Progress.Abort();
            const Integer n = Decimal(t);
            v[s] = scale(n < 0 ? 0 : n);  // a token that is no number reads as 0
          }
          dst[3 * x] = spp == 3 ? v[2] : v[0];
          dst[3 * x + 1] = spp == 3 ? v[1] : v[0];
          dst[3 * x + 2] = v[0];
        }
        break;
      }
      case 4:
        if (in.Take(raw.data(), static_cast<Integer>(rowBytes)) != rowBytes) return Progress.Abort();
        for (Int64 i = 0; i < rowBytes; ++i) dst[i] = static_cast<Byte>(~raw[static_cast<size_t>(i)]);
        break;
      default: {  // 5, 6
        if (in.Take(raw.data(), static_cast<Integer>(rowBytes)) != rowBytes) return Progress.Abort();
        const Byte* s = raw.data();
        for (Integer x = 0; x < h.width; ++x) {
          Byte v[3];
          for (Integer c = 0; c < spp; ++c) {
            if (sampleBytes == 1) {
              v[c] = lut[*s++];
            } else {
              v[c] = scale((s[0] << 8) | s[1]);
              s += 2;
            }
          }
          dst[3 * x] = spp == 3 ? v[2] : v[0];
          dst[3 * x + 1] = spp == 3 ? v[1] : v[0];
          dst[3 * x + 2] = v[0];
        }
        break;
      }
    }
    Progress.Report(static_cast<Integer>(Trunc(Progress.per1 * (y + 1))));
  }
}

void WritePXM(TStream* Stream, TIEBitmap* Bitmap, TIOParamsVals& Params, TProgressRec& Progress) {
  bool localAbort = false;
  bool& aborting = Progress.Aborting != nullptr ? *Progress.Aborting : localAbort;
  const Integer width = Bitmap->GetWidth();
  const Integer height = Bitmap->GetHeight();
  if (width <= 0 || height <= 0) return Progress.Abort();

  std::unique_ptr<TIEBitmap> copy;
  TIEBitmap* src = Bitmap;
  const bool bilevel = Bitmap->GetPixelFormat() == ie1g ||
                       (Params.BitsPerSample == 1 && Params.SamplesPerPixel == 1);
  if (bilevel && Bitmap->GetPixelFormat() != ie1g) {
    TRGB c0, c1;
    copy = _ConvertTo1bitEx(Bitmap, c0, c1);
    if (!copy) {
      copy = std::make_unique<TIEBitmap>();
      copy->Assign(Bitmap);
      copy->SetPixelFormat(ie1g);
    }
    src = copy.get();
  } else if (!bilevel && Bitmap->GetPixelFormat() != ie24RGB) {
    copy = std::make_unique<TIEBitmap>();
    copy->Assign(Bitmap);
    copy->SetPixelFormat(ie24RGB);
    src = copy.get();
  }
  const bool grey = !bilevel && Params.BitsPerSample == 8 && Params.SamplesPerPixel == 1;

  AnsiString head = bilevel ? "P4 " : (grey ? "P5 " : "P6 ");
  for (Integer i = 0; i < Params.PXM_Comments->GetCount(); ++i)
    head += "\n# " + Params.PXM_Comments->Strings(i) + "\n";
  head += IntToStr(width) + " " + IntToStr(height);
  if (!bilevel) head += " 255";
  head += "\n";
  SafeStreamWrite(Stream, aborting, head.data(), static_cast<Integer>(head.size()));

  Progress.per1 = 100.0 / height;
  const Integer rowBytes = bilevel ? (width + 7) / 8 : (grey ? width : 3 * width);
  std::vector<Byte> out(static_cast<size_t>(rowBytes));
  for (Integer y = 0; y < height && !aborting; ++y) {
    const Byte* row = static_cast<const Byte*>(src->GetScanLine(y));
    if (bilevel) {
      for (Integer i = 0; i < rowBytes; ++i) out[static_cast<size_t>(i)] = static_cast<Byte>(~row[i]);
    } else if (grey) {
      for (Integer x = 0; x < width; ++x, row += 3)
        out[static_cast<size_t>(x)] = static_cast<Byte>((21 * row[2] + 71 * row[1] + 8 * row[0]) / 100);
    } else {
      for (Integer x = 0; x < width; ++x, row += 3) {
        out[static_cast<size_t>(3 * x)] = row[2];
        out[static_cast<size_t>(3 * x + 1)] = row[1];
        out[static_cast<size_t>(3 * x + 2)] = row[0];
      }
    }
    SafeStreamWrite(Stream, aborting, out.data(), rowBytes);
    Progress.Report(static_cast<Integer>(Trunc(Progress.per1 * (y + 1))));
  }
}

}  // namespace

bool TryPXM(TStream* Stream) {
  const Int64 start = Stream->GetPosition();
  bool ok = false;
  try {
    ByteReader in(Stream);
    Header h;
    ok = ParseHeader(in, h, nullptr, kMaxDetectTokens) && h.width > 0 && h.height > 0;
  } catch (const std::exception&) {
    ok = false;
  }
  Stream->SetPosition(start);
  return ok;
}

void PXMReadStream(TStream* Stream, TIEBitmap* Bitmap, TIOParamsVals& Params,
                   TProgressRec& Progress, bool Preview) {
  try {
    ReadPXM(Stream, Bitmap, Params, Progress, Preview);
  } catch (const std::exception&) {
    Progress.Abort();
  }
}

void PXMWriteStream(TStream* Stream, TIEBitmap* Bitmap, TIOParamsVals& Params,
                    TProgressRec& Progress) {
  try {
    WritePXM(Stream, Bitmap, Params, Progress);
  } catch (const std::exception&) {
    Progress.Abort();
  }
}
