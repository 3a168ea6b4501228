// Unit pngfilt, zlib layer: buffer, string and stream compression over zlib, and two
// streams that compress while writing and decompress while reading.
//
// Every zlib result below 0 raises EZCompressionError (compressing) or
// EZDecompressionError (decompressing) with zlib's text for it: "file error",
// "stream error", "data error", "insufficient memory", "buffer error",
// "incompatible version". Damaged or truncated input is a "data error" or a
// "buffer error"; a stream that asks for a preset dictionary is a "data error".
#pragma once

#include <zlib.h>

#include <memory>
#include <vector>

#include "platform/rtl/Component.h"
#include "platform/rtl/Exceptions.h"
#include "platform/rtl/Streams.h"
#include "platform/rtl/Types.h"

// zcNone, zcFastest, zcDefault and zcMax are zlib's levels 0, 1, its default and 9.
enum class TZCompressionLevel { zcNone, zcFastest, zcDefault, zcMax };
using enum TZCompressionLevel;

LARK_DECLARE_EXCEPTION(EZLibError, Exception);
LARK_DECLARE_EXCEPTION(EZCompressionError, EZLibError);
LARK_DECLARE_EXCEPTION(EZDecompressionError, EZLibError);

// The largest block the buffer functions produce: their sizes are Integers. A
// result that would grow past it raises "buffer error".
inline constexpr Int64 ZMaxBlockBytes = 0x7FFFFFFF;

// Compresses InBytes bytes at InBuf into OutBuf (replaced), OutBytes its size.
void ZCompress(const void* InBuf, Integer InBytes, std::vector<Byte>& OutBuf, Integer& OutBytes,
               TZCompressionLevel Level = zcDefault);
// Decompresses one zlib stream at InBuf; OutEstimate (0: none) is the first guess of
// the output size. Bytes after the end of the zlib stream are ignored.
void ZDecompress(const void* InBuf, Integer InBytes, std::vector<Byte>& OutBuf, Integer& OutBytes,
                 Integer OutEstimate = 0);

AnsiString ZCompressStr(const AnsiString& Text, TZCompressionLevel Level = zcDefault);
AnsiString ZDecompressStr(const AnsiString& Text);

// From InStream's position to its end, into OutStream at its position.
void ZCompressStream(TStream* InStream, TStream* OutStream, TZCompressionLevel Level = zcDefault);
// One zlib stream from InStream's position into OutStream; a truncated stream raises.
void ZDecompressStream(TStream* InStream, TStream* OutStream);

// The shared part of the two streams: the wrapped stream, where in it this object
// left off, zlib's record and a 64 KiB buffer.
class TCustomZStream : public TStream {
 public:
  LARK_CLASS_NAME(TCustomZStream)
  static constexpr Integer kBufferSize = 65536;

  explicit TCustomZStream(TStream* Stream);
  ~TCustomZStream() override = default;

  // Called with this object each time the buffer is exchanged with the wrapped stream.
  TNotifyEvent OnProgress;

 protected:
  virtual void DoProgress();

  TStream* FStrm;
  Int64 FStrmPos;
  z_stream FZRec{};
  std::unique_ptr<Byte[]> FBuffer;
};

// Bytes written to it are compressed into Dest; destroying it finishes the zlib stream
// (a failure to write the end there cannot be reported and is lost).
class TZCompressionStream : public TCustomZStream {
 public:
  LARK_CLASS_NAME(TZCompressionStream)
  explicit TZCompressionStream(TStream* Dest, TZCompressionLevel CompressionLevel = zcDefault);
  ~TZCompressionStream() override;

  using TStream::Seek;
  // Raises EZCompressionError "Invalid ZStream operation!".
  Integer Read(void* buffer, Integer count) override;
  Integer Write(const void* buffer, Integer count) override;
  // Only Seek(0, soCurrent): the number of bytes taken in so far.
  Int64 Seek(Int64 offset, TSeekOrigin origin) override;

  // (1 - bytes out / bytes in) x 100; 0 before any input.
  float GetCompressionRate() const;

 private:
  void Finish();
};

// Reading yields the decompressed bytes of Source. At the end of the zlib stream the
// input read ahead is given back: Source stays right after the compressed data.
class TZDecompressionStream : public TCustomZStream {
 public:
  LARK_CLASS_NAME(TZDecompressionStream)
  explicit TZDecompressionStream(TStream* Source);
  ~TZDecompressionStream() override;

  using TStream::Seek;
  // Short when Source ends before the zlib stream does, or the zlib stream has ended.
  Integer Read(void* buffer, Integer count) override;
  // Raises EZDecompressionError "Invalid ZStream operation!".
  Integer Write(const void* buffer, Integer count) override;
  // (0, soBeginning) starts over from where the compressed data began; forward moves
  // read and discard; (0, soEnd) reads to the end; anything else raises
  // EZDecompressionError "Invalid ZStream operation!". Answers the bytes produced.
  Int64 Seek(Int64 offset, TSeekOrigin origin) override;

 private:
  Int64 FStartPos;  // where the compressed data began in Source
};
