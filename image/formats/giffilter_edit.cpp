// GIF file editing: frames inserted and deleted block by block, the loop block.
// Every rewrite is built in memory and only then written over the original.
#include "image/formats/giffilter_edit.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <exception>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <system_error>
#include <vector>

#include "image/formats/neurquant.h"
#include "image/model/ieutils.h"
#include "image/proc/dadiravproc.h"
#include "image/proc/dadiravproc_colour.h"
#include "platform/rtl/Exceptions.h"

namespace {

using Bytes = std::vector<Byte>;

constexpr Byte kExtension = 0x21;
constexpr Byte kImage = 0x2C;
constexpr Byte kTrailer = 0x3B;
constexpr Byte kGraphicControl = 0xF9;
constexpr Byte kApplication = 0xFF;
constexpr size_t kHeaderSize = 13;
// The largest file the editors take into memory.
constexpr Int64 kMaxFileSize = Int64{1} << 30;

// The bytes from the position to the end of the stream.
bool ReadRest(TStream* stream, Bytes& out) {
  const Int64 left = stream->GetSize() - stream->GetPosition();
  if (left < 0 || left > kMaxFileSize) return false;
  out.resize(static_cast<size_t>(left));  // bounded by the stream's own bytes
  return left == 0 || stream->Read(out.data(), static_cast<Integer>(left)) == left;
}

// Walks the blocks of a GIF held in memory.
class BlockWalker {
 public:
  explicit BlockWalker(const Bytes& gif) : gif_(gif) {}

  // The header with version 89a and the global colour table; false without the
  // signature or when the header or table is cut short.
  bool Start(Bytes& out) {
    if (gif_.size() < 3 || std::memcmp(gif_.data(), "GIF", 3) != 0) return false;
    size_t end = kHeaderSize;
    if (gif_.size() < end) return false;
    if (gif_[10] & 0x80) end += 3 * (size_t{2} << (gif_[10] & 7));
    if (gif_.size() < end) return false;
    out.assign(gif_.begin(), gif_.begin() + static_cast<std::ptrdiff_t>(end));
    out[3] = '8';
    out[4] = '9';
    out[5] = 'a';
    at_ = end;
    return true;
  }

  // The next block's kind: an extension, an image or the trailer (also the end of
  // the data); bytes that start no block are passed over.
  Byte Next() {
    while (at_ < gif_.size()) {
      const Byte b = gif_[at_];
      if (b == kExtension || b == kImage || b == kTrailer) return b;
      ++at_;
    }
    return kTrailer;
  }
  // The label of the extension at the position (0 when cut short).
  Byte Label() const { return at_ + 1 < gif_.size() ? gif_[at_ + 1] : 0; }
  size_t Position() const { return at_; }
  const Bytes& Data() const { return gif_; }

  // The end of the block at the position: an extension's introducer, label and
  // sub-blocks, or an image's descriptor, local table, code size and sub-blocks.
  // Nothing when the block runs past the end of the data.
  std::optional<size_t> BlockEnd() const {
    size_t p = at_;
    if (gif_[p] == kExtension) {
      p += 2;
    } else {
      if (gif_.size() - p < 10) return std::nullopt;
      const Byte packed = gif_[p + 9];
      p += 10;
      if (packed & 0x80) p += 3 * (size_t{2} << (packed & 7));
      p += 1;  // LZW minimum code size
    }
    for (;;) {
      if (p >= gif_.size()) return std::nullopt;
      const size_t len = gif_[p];
      ++p;
      if (len == 0) return p;
      p += len;
    }
  }
  void Skip(size_t end) { at_ = end; }
  void Copy(size_t end, Bytes& out) {
    out.insert(out.end(), gif_.begin() + static_cast<std::ptrdiff_t>(at_), gif_.begin() + static_cast<std::ptrdiff_t>(end));
    at_ = end;
  }
  // The application extension at the position is a "NETSCAPE2.0" loop block.
  bool AtLoopBlock() const {
    return gif_.size() - at_ >= 14 && gif_[at_] == kExtension && gif_[at_ + 1] == kApplication &&
           gif_[at_ + 2] == 11 && std::memcmp(&gif_[at_ + 3], "NETSCAPE2.0", 11) == 0;
  }

 private:
  const Bytes& gif_;
  size_t at_ = 0;
};

void Put16(Bytes& out, Integer v) {
  out.push_back(static_cast<Byte>(v));
  out.push_back(static_cast<Byte>(v >> 8));
}

// The new frame: graphic control extension, descriptor, local table and image
// data. False when the image is too large for GIF or no LZW encoder is set.
bool BuildFrame(TIEBitmap* Bitmap, TIOParamsVals& Params, Bytes& frame) {
  const Integer width = Bitmap->GetWidth();
  const Integer height = Bitmap->GetHeight();
  if (width <= 0 || height <= 0 || width > 0xFFFF || height > 0xFFFF) return false;
  const TGIFLZWCompFunc encode = Params.GIF_LZWCompFunc != nullptr ? Params.GIF_LZWCompFunc : DefGIF_LZWCOMPFUNC;
  if (encode == nullptr) return false;

  Integer d = std::clamp<Integer>(Params.BitsPerSample, 1, 8);
  std::unique_ptr<TIEBitmap> copy;
  TIEBitmap* src = Bitmap;
  std::array<TRGB, 256> palette{};
  palette[1] = TRGB{255, 255, 255};
  if (d == 1 && Bitmap->GetPixelFormat() != ie1g) {
    copy = _ConvertTo1bitEx(Bitmap, palette[0], palette[1]);
    if (!copy) d = 8;  // not two colours: the image keeps its colours
    else src = copy.get();
  }
  if (d > 1 && Bitmap->GetPixelFormat() != ie24RGB) {
    copy = std::make_unique<TIEBitmap>();
    copy->Assign(Bitmap);
    copy->SetPixelFormat(ie24RGB);
    src = copy.get();
  }
  const Integer colours = 1 << d;
  Bytes indexes(static_cast<size_t>(width) * static_cast<size_t>(height));
  Integer transparent = 0;
  if (d == 1) {
    for (Integer y = 0; y < height; ++y) {
      const Byte* row = static_cast<const Byte*>(src->GetScanLine(y));
      Byte* dst = indexes.data() + static_cast<size_t>(y) * static_cast<size_t>(width);
      for (Integer x = 0; x < width; ++x) dst[x] = (row[x >> 3] >> (7 - (x & 7))) & 1;
    }
    transparent = _GetSimilColor(palette.data(), 2, Params.GIF_TranspColor);
  } else {
    TIEQuantizer quantizer(src, std::span<TRGB>(palette.data(), static_cast<size_t>(colours)), colours);
    const auto indexOf = [&](TRGB c) {
      const Integer i = quantizer.GetRGBIndex(c);
      return i >= 0 && i < colours ? i : _GetSimilColor(palette.data(), colours, c);
    };
    for (Integer y = 0; y < height; ++y) {
      const TRGB* row = static_cast<const TRGB*>(src->GetScanLine(y));
      Byte* dst = indexes.data() + static_cast<size_t>(y) * static_cast<size_t>(width);
      for (Integer x = 0; x < width; ++x) dst[x] = static_cast<Byte>(indexOf(row[x]));
    }
    transparent = indexOf(Params.GIF_TranspColor);
  }

  frame = {kExtension, kGraphicControl, 4, static_cast<Byte>((Params.GIF_FlagTranspColor ? 1 : 0) + 8)};
  Put16(frame, Params.GIF_DelayTime);
  frame.push_back(static_cast<Byte>(transparent));
  frame.push_back(0);
  frame.push_back(kImage);
  Put16(frame, Params.GIF_XPos);
  Put16(frame, Params.GIF_YPos);
  Put16(frame, width);
  Put16(frame, height);
  frame.push_back(static_cast<Byte>(0x80 + (Params.GIF_Interlaced ? 64 : 0) + (d - 1)));
  for (Integer i = 0; i < colours; ++i) {
    const TRGB& c = palette[static_cast<size_t>(i)];
    frame.insert(frame.end(), {c.r, c.g, c.b});
  }
  TMemoryStream data;
  encode(&data, height, width, Params.GIF_Interlaced, indexes.data(), d);
  if (data.GetSize() == 0) return false;
  const Byte* p = static_cast<const Byte*>(data.Memory());
  frame.insert(frame.end(), p, p + data.GetSize());
  return true;
}

// Writes content over the stream from start and ends the stream after it.
bool Replace(TStream* stream, Int64 start, const Bytes& content) {
  stream->SetPosition(start);
  if (!content.empty() && stream->Write(content.data(), static_cast<Integer>(content.size())) !=
                              static_cast<Integer>(content.size()))
    return false;
  stream->SetSize(start + static_cast<Int64>(content.size()));
  return true;
}

// Replaces a file by content: written beside it under a temporary name first, then
// renamed over it, so that a failed write leaves the file as it was.
void ReplaceFile(const AnsiString& fileName, const Bytes& content) {
  const AnsiString temp = fileName + ".tmp~";
  {
    TFileStream out(temp, fmCreate);
    if (!content.empty() && out.Write(content.data(), static_cast<Integer>(content.size())) !=
                                static_cast<Integer>(content.size())) {
      std::error_code ec;
      std::filesystem::remove(temp, ec);
      throw EWriteError("Stream write error");
    }
  }
  std::error_code ec;
  std::filesystem::rename(temp, fileName, ec);
  if (ec) {
    std::filesystem::remove(temp, ec);
    throw EWriteError("Stream write error");
  }
}

Bytes ReadWholeFile(const AnsiString& fileName) {
  TFileStream in(fileName, fmOpenRead | fmShareDenyWrite);
  Bytes gif;
  if (!ReadRest(&in, gif)) throw EReadError("Stream read error");
  return gif;
}

}  // namespace

Integer _InsertGifImStream(TStream* Stream, TIEBitmap* Bitmap, TIOParamsVals& Params, TProgressRec& Progress) {
  Progress.Report(0);
  if (Progress.Aborted()) return 0;
  try {
    const Int64 start = Stream->GetPosition();
    Bytes gif;
    if (!ReadRest(Stream, gif)) {
      Progress.Abort();
      return 0;
    }
    BlockWalker walker(gif);
    Bytes out;
    if (!walker.Start(out)) {
      Stream->SetPosition(start);
      if (gif.size() >= 3 && std::memcmp(gif.data(), "GIF", 3) == 0) Progress.Abort();  // cut short
      return 0;
    }
    Bytes frame;
    if (!BuildFrame(Bitmap, Params, frame)) {
      Progress.Abort();
      return 0;
    }
    Progress.Report(30);

    Integer w = Params.GIF_ImageIndex;
    Integer i = 0;
    bool inserted = false;
    const auto insert = [&] {
      out.insert(out.end(), frame.begin(), frame.end());
      inserted = true;
      w = -1;
    };
    for (;;) {
      const Byte kind = walker.Next();
      if (kind == kTrailer) {
        if (i == w) {
          insert();
          ++i;
        }
        out.push_back(kTrailer);
        break;
      }
      const std::optional<size_t> end = walker.BlockEnd();
      if (!end) {  // a damaged block: nothing is changed
        Progress.Abort();
        return 0;
      }
      if (kind == kExtension) {
        if (walker.Label() == kGraphicControl && i == w) {
          insert();
          ++i;
        }
        walker.Copy(*end, out);
        continue;
      }
      // An image. A frame without a graphic control extension gets the new frame
      // right before it.
      if (i == w) {
        insert();
        ++i;
      }
      walker.Copy(*end, out);
      if (i + 1 == w) {
        Progress.Report(70);
        if (Progress.Aborted()) return 0;
        insert();
        i += 2;
      } else {
        ++i;
      }
    }
    if (!inserted) {  // an index outside 0..frame count
      Progress.Abort();
      return 0;
    }
    if (!Replace(Stream, start, out)) {
      Progress.Abort();
      return 0;
    }
    Progress.Report(100);
    return i;
  } catch (const std::exception&) {
    Progress.Abort();
    return 0;
  }
}

Integer _InsertGifIm(const AnsiString& FileName, TIEBitmap* Bitmap, TIOParamsVals& Params, TProgressRec& Progress) {
  TFileStream stream(FileName, fmOpenReadWrite | fmShareDenyWrite);
  return _InsertGifImStream(&stream, Bitmap, Params, Progress);
}

Integer _DeleteGifIm(const AnsiString& FileName, Integer Index, bool SaveFile) {
  const Bytes gif = ReadWholeFile(FileName);
  BlockWalker walker(gif);
  Bytes out;
  if (!walker.Start(out)) return 0;
  Integer i = 0;
  Integer kept = 0;
  for (;;) {
    const Byte kind = walker.Next();
    if (kind == kTrailer) {
      out.push_back(kTrailer);
      break;
    }
    const std::optional<size_t> end = walker.BlockEnd();
    if (!end) return kept;  // damaged: the file stays as it is
    if (kind == kExtension) {
      if (walker.Label() == kGraphicControl && i == Index) walker.Skip(*end);
      else walker.Copy(*end, out);
      continue;
    }
    if (i == Index) {
      walker.Skip(*end);
    } else {
      walker.Copy(*end, out);
      ++kept;
    }
    ++i;
  }
  if (SaveFile) ReplaceFile(FileName, out);
  return kept;
}

void _GifMakeAnimate(const AnsiString& FileName, Integer Loop, Integer Width, Integer Height) {
  const Bytes gif = ReadWholeFile(FileName);
  BlockWalker walker(gif);
  Bytes out;
  if (!walker.Start(out)) return;
  out[6] = static_cast<Byte>(Width);
  out[7] = static_cast<Byte>(Width >> 8);
  out[8] = static_cast<Byte>(Height);
  out[9] = static_cast<Byte>(Height >> 8);
  if (walker.Next() == kExtension && walker.AtLoopBlock()) {
    const std::optional<size_t> end = walker.BlockEnd();
    if (!end) return;  // a damaged loop block: the file stays as it is
    walker.Skip(*end);
  }
  const Byte loop[19] = {kExtension, kApplication, 11, 'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0',
                         3, 1, static_cast<Byte>(Loop), static_cast<Byte>(Loop >> 8), 0};
  out.insert(out.end(), loop, loop + sizeof loop);
  out.insert(out.end(), gif.begin() + static_cast<std::ptrdiff_t>(walker.Position()), gif.end());
  ReplaceFile(FileName, out);
}

bool _CheckGifAnimate(const AnsiString& FileName) {
  const Bytes gif = ReadWholeFile(FileName);
  BlockWalker walker(gif);
  Bytes out;
  if (!walker.Start(out)) return false;
  return walker.Position() < gif.size() && walker.AtLoopBlock();
}
