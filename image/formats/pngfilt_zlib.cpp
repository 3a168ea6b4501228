// Unit pngfilt, zlib layer: buffer, string and stream functions and the two streams.
#include "image/formats/pngfilt_zlib.h"

#include <algorithm>
#include <limits>

namespace {

constexpr Integer kPieceBytes = 32768;  // the stream functions' input and output pieces
constexpr Integer kSkipBytes = 8192;    // a decompression stream's forward seeks
const char kInvalidOperation[] = "Invalid ZStream operation!";

const char* ZErrorText(int code) {
  switch (code) {
    case Z_ERRNO:
      return "file error";
    case Z_STREAM_ERROR:
      return "stream error";
    case Z_DATA_ERROR:
      return "data error";
    case Z_MEM_ERROR:
      return "insufficient memory";
    case Z_BUF_ERROR:
      return "buffer error";
    case Z_VERSION_ERROR:
      return "incompatible version";
    default:
      return "data error";
  }
}

int CheckCompress(int code) {
  if (code < 0) throw EZCompressionError(ZErrorText(code));
  return code;
}

// A stream that needs a preset dictionary cannot be decoded here: without this it
// would stop inflate's progress for good.
int CheckDecompress(int code) {
  if (code == Z_NEED_DICT) code = Z_DATA_ERROR;
  if (code < 0) throw EZDecompressionError(ZErrorText(code));
  return code;
}

int ZLevel(TZCompressionLevel level) {
  switch (level) {
    case zcNone:
      return Z_NO_COMPRESSION;
    case zcFastest:
      return Z_BEST_SPEED;
    case zcMax:
      return Z_BEST_COMPRESSION;
    case zcDefault:
    default:
      return Z_DEFAULT_COMPRESSION;
  }
}

Int64 RoundUp256(Int64 n) { return (n + 255) & ~Int64{255}; }

// Grows a buffer function's output block by delta bytes and points zlib at the new
// room. The block never passes ZMaxBlockBytes.
template <typename Error>
void GrowBlock(std::vector<Byte>& block, z_stream& z, Int64 delta) {
  const Int64 used = static_cast<Int64>(z.total_out);
  const Int64 newSize = static_cast<Int64>(block.size()) + delta;
  if (newSize > ZMaxBlockBytes) throw Error(ZErrorText(Z_BUF_ERROR));
  block.resize(static_cast<size_t>(newSize));
  z.next_out = block.data() + used;
  z.avail_out = static_cast<uInt>(newSize - used);
}

// Ends a zlib stream when the scope is left, also by an exception.
struct DeflateEnder {
  z_stream* z;
  ~DeflateEnder() { deflateEnd(z); }
};
struct InflateEnder {
  z_stream* z;
  ~InflateEnder() { inflateEnd(z); }
};

Integer CheckedLength(size_t n, bool compressing) {
  if (n > static_cast<size_t>(std::numeric_limits<Integer>::max())) {
    if (compressing) throw EZCompressionError(ZErrorText(Z_BUF_ERROR));
    throw EZDecompressionError(ZErrorText(Z_BUF_ERROR));
  }
  return static_cast<Integer>(n);
}

}  // namespace

// ===========================================================================
// Buffer and string functions

void ZCompress(const void* InBuf, Integer InBytes, std::vector<Byte>& OutBuf, Integer& OutBytes,
               TZCompressionLevel Level) {
  OutBuf.clear();
  OutBytes = 0;
  if (InBytes < 0 || (InBytes > 0 && InBuf == nullptr)) throw EZCompressionError(ZErrorText(Z_STREAM_ERROR));

  z_stream z{};
  CheckCompress(deflateInit(&z, ZLevel(Level)));
  DeflateEnder ender{&z};
  try {
    z.next_in = static_cast<Bytef*>(const_cast<void*>(InBuf));
    z.avail_in = static_cast<uInt>(InBytes);
    GrowBlock<EZCompressionError>(OutBuf, z, RoundUp256(Int64{InBytes} + InBytes / 10 + 12));
    while (CheckCompress(deflate(&z, Z_FINISH)) != Z_STREAM_END) GrowBlock<EZCompressionError>(OutBuf, z, 256);
  } catch (...) {
    OutBuf.clear();
    OutBuf.shrink_to_fit();
    throw;
  }
  OutBuf.resize(z.total_out);
  OutBytes = static_cast<Integer>(z.total_out);
}

void ZDecompress(const void* InBuf, Integer InBytes, std::vector<Byte>& OutBuf, Integer& OutBytes,
                 Integer OutEstimate) {
  OutBuf.clear();
  OutBytes = 0;
  if (InBytes < 0 || (InBytes > 0 && InBuf == nullptr)) throw EZDecompressionError(ZErrorText(Z_STREAM_ERROR));

  // Grows by the input size rounded up to 256, at least 256, up to ZMaxBlockBytes.
  const Int64 step = std::max<Int64>(RoundUp256(InBytes), 256);
  z_stream z{};
  CheckDecompress(inflateInit(&z));
  InflateEnder ender{&z};
  try {
    z.next_in = static_cast<Bytef*>(const_cast<void*>(InBuf));
    z.avail_in = static_cast<uInt>(InBytes);
    GrowBlock<EZDecompressionError>(OutBuf, z, OutEstimate > 0 ? Int64{OutEstimate} : step);
    while (CheckDecompress(inflate(&z, Z_NO_FLUSH)) != Z_STREAM_END) GrowBlock<EZDecompressionError>(OutBuf, z, step);
  } catch (...) {
    OutBuf.clear();
    OutBuf.shrink_to_fit();
    throw;
  }
  OutBuf.resize(z.total_out);
  OutBytes = static_cast<Integer>(z.total_out);
}

AnsiString ZCompressStr(const AnsiString& Text, TZCompressionLevel Level) {
  std::vector<Byte> out;
  Integer outBytes = 0;
  ZCompress(Text.data(), CheckedLength(Text.size(), true), out, outBytes, Level);
  return AnsiString(reinterpret_cast<const char*>(out.data()), out.size());
}

AnsiString ZDecompressStr(const AnsiString& Text) {
  std::vector<Byte> out;
  Integer outBytes = 0;
  ZDecompress(Text.data(), CheckedLength(Text.size(), false), out, outBytes, 0);
  return AnsiString(reinterpret_cast<const char*>(out.data()), out.size());
}

// ===========================================================================
// Stream to stream

void ZCompressStream(TStream* InStream, TStream* OutStream, TZCompressionLevel Level) {
  std::vector<Byte> in(kPieceBytes), out(kPieceBytes);
  z_stream z{};
  CheckCompress(deflateInit(&z, ZLevel(Level)));
  DeflateEnder ender{&z};

  auto run = [&](int flush) {
    z.next_out = out.data();
    z.avail_out = kPieceBytes;
    int code = deflate(&z, flush);
    // No room to progress is not an error while more input is to come.
    if (code == Z_BUF_ERROR && flush == Z_NO_FLUSH) code = Z_OK;
    CheckCompress(code);
    OutStream->WriteBuffer(out.data(), kPieceBytes - static_cast<Integer>(z.avail_out));
    return code;
  };

  for (Integer n; (n = InStream->Read(in.data(), kPieceBytes)) > 0;) {
    z.next_in = in.data();
    z.avail_in = static_cast<uInt>(n);
    do run(Z_NO_FLUSH);
    while (z.avail_in > 0 || z.avail_out == 0);
  }
  z.next_in = nullptr;
  z.avail_in = 0;
  while (run(Z_FINISH) != Z_STREAM_END) {
  }
}

void ZDecompressStream(TStream* InStream, TStream* OutStream) {
  std::vector<Byte> in(kPieceBytes), out(kPieceBytes);
  z_stream z{};
  CheckDecompress(inflateInit(&z));
  InflateEnder ender{&z};

  auto run = [&](int flush) {
    z.next_out = out.data();
    z.avail_out = kPieceBytes;
    const uInt inBefore = z.avail_in;
    int code = inflate(&z, flush);
    const Integer produced = kPieceBytes - static_cast<Integer>(z.avail_out);
    // inflate answers "buffer error" when it could not move, and with Z_FINISH also
    // whenever the output piece filled: only no movement at all is a failure, and
    // only once the input has run out.
    if (code == Z_BUF_ERROR && (produced > 0 || z.avail_in != inBefore || flush == Z_NO_FLUSH)) code = Z_OK;
    CheckDecompress(code);
    OutStream->WriteBuffer(out.data(), produced);
    return code;
  };

  bool ended = false;
  for (Integer n; !ended && (n = InStream->Read(in.data(), kPieceBytes)) > 0;) {
    z.next_in = in.data();
    z.avail_in = static_cast<uInt>(n);
    do ended = run(Z_NO_FLUSH) == Z_STREAM_END;
    while (!ended && (z.avail_in > 0 || z.avail_out == 0));
  }
  z.next_in = nullptr;
  z.avail_in = 0;
  while (!ended) ended = run(Z_FINISH) == Z_STREAM_END;
}

// ===========================================================================
// The streams

TCustomZStream::TCustomZStream(TStream* Stream)
    : FStrm(Stream), FStrmPos(Stream->GetPosition()), FBuffer(std::make_unique<Byte[]>(kBufferSize)) {}

void TCustomZStream::DoProgress() {
  if (OnProgress) OnProgress(this);
}

TZCompressionStream::TZCompressionStream(TStream* Dest, TZCompressionLevel CompressionLevel) : TCustomZStream(Dest) {
  FZRec.next_out = FBuffer.get();
  FZRec.avail_out = kBufferSize;
  CheckCompress(deflateInit(&FZRec, ZLevel(CompressionLevel)));
}

TZCompressionStream::~TZCompressionStream() {
  try {
    Finish();
  } catch (...) {
    // Destruction cannot report a failed write to Dest.
  }
  deflateEnd(&FZRec);
}

void TZCompressionStream::Finish() {
  FZRec.next_in = nullptr;
  FZRec.avail_in = 0;
  if (FStrm->GetPosition() != FStrmPos) FStrm->SetPosition(FStrmPos);
  while (CheckCompress(deflate(&FZRec, Z_FINISH)) != Z_STREAM_END) {
    FStrm->WriteBuffer(FBuffer.get(), kBufferSize - static_cast<Integer>(FZRec.avail_out));
    FZRec.next_out = FBuffer.get();
    FZRec.avail_out = kBufferSize;
  }
  if (FZRec.avail_out < static_cast<uInt>(kBufferSize))
    FStrm->WriteBuffer(FBuffer.get(), kBufferSize - static_cast<Integer>(FZRec.avail_out));
  FZRec.next_out = FBuffer.get();
  FZRec.avail_out = kBufferSize;
}

Integer TZCompressionStream::Read(void*, Integer) { throw EZCompressionError(kInvalidOperation); }

Integer TZCompressionStream::Write(const void* buffer, Integer count) {
  if (count <= 0) return 0;
  FZRec.next_in = static_cast<Bytef*>(const_cast<void*>(buffer));
  FZRec.avail_in = static_cast<uInt>(count);
  if (FStrm->GetPosition() != FStrmPos) FStrm->SetPosition(FStrmPos);
  while (FZRec.avail_in > 0) {
    CheckCompress(deflate(&FZRec, Z_NO_FLUSH));
    if (FZRec.avail_out == 0) {
      FStrm->WriteBuffer(FBuffer.get(), kBufferSize);
      FZRec.next_out = FBuffer.get();
      FZRec.avail_out = kBufferSize;
      FStrmPos = FStrm->GetPosition();
      DoProgress();
    }
  }
  return count;
}

Int64 TZCompressionStream::Seek(Int64 offset, TSeekOrigin origin) {
  if (offset == 0 && origin == soCurrent) return static_cast<Int64>(FZRec.total_in);
  throw EZCompressionError(kInvalidOperation);
}

float TZCompressionStream::GetCompressionRate() const {
  if (FZRec.total_in == 0) return 0.0f;
  return (1.0f - static_cast<float>(FZRec.total_out) / static_cast<float>(FZRec.total_in)) * 100.0f;
}

TZDecompressionStream::TZDecompressionStream(TStream* Source) : TCustomZStream(Source), FStartPos(FStrmPos) {
  FZRec.next_in = FBuffer.get();
  FZRec.avail_in = 0;
  CheckDecompress(inflateInit(&FZRec));
}

TZDecompressionStream::~TZDecompressionStream() { inflateEnd(&FZRec); }

Integer TZDecompressionStream::Read(void* buffer, Integer count) {
  if (count <= 0) return 0;
  FZRec.next_out = static_cast<Bytef*>(buffer);
  FZRec.avail_out = static_cast<uInt>(count);
  if (FStrm->GetPosition() != FStrmPos) FStrm->SetPosition(FStrmPos);

  int code = Z_OK;
  while (FZRec.avail_out > 0 && code != Z_STREAM_END) {
    if (FZRec.avail_in == 0) {
      const Integer n = FStrm->Read(FBuffer.get(), kBufferSize);
      if (n <= 0) return count - static_cast<Integer>(FZRec.avail_out);
      FZRec.next_in = FBuffer.get();
      FZRec.avail_in = static_cast<uInt>(n);
      FStrmPos = FStrm->GetPosition();
      DoProgress();
    }
    code = CheckDecompress(inflate(&FZRec, Z_NO_FLUSH));
  }
  if (code == Z_STREAM_END && FZRec.avail_in > 0) {
    // Give the bytes read past the compressed data back to Source.
    FStrm->SetPosition(FStrm->GetPosition() - FZRec.avail_in);
    FStrmPos = FStrm->GetPosition();
    FZRec.avail_in = 0;
  }
  return count - static_cast<Integer>(FZRec.avail_out);
}

Integer TZDecompressionStream::Write(const void*, Integer) { throw EZDecompressionError(kInvalidOperation); }

Int64 TZDecompressionStream::Seek(Int64 offset, TSeekOrigin origin) {
  const Int64 produced = static_cast<Int64>(FZRec.total_out);
  if (offset == 0 && origin == soBeginning) {
    CheckDecompress(inflateReset(&FZRec));
    FZRec.next_in = FBuffer.get();
    FZRec.avail_in = 0;
    FStrm->SetPosition(FStartPos);
    FStrmPos = FStartPos;
  } else if ((origin == soCurrent && offset >= 0) || (origin == soBeginning && offset > produced)) {
    if (origin == soBeginning) offset -= produced;
    Byte skip[kSkipBytes];
    while (offset > 0) {
      const Integer want = static_cast<Integer>(std::min<Int64>(offset, kSkipBytes));
      const Integer got = Read(skip, want);
      offset -= got;
      if (got < want) break;  // the data ended first
    }
  } else if (offset == 0 && origin == soEnd) {
    Byte skip[kSkipBytes];
    while (Read(skip, kSkipBytes) > 0) {
    }
  } else {
    throw EZDecompressionError(kInvalidOperation);
  }
  return static_cast<Int64>(FZRec.total_out);
}
