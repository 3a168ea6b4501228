// Unit giflzw: GIF LZW decoder, run-length ("non-LZW") encoder and hashed LZW encoder.
#include "image/formats/giflzw.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <vector>

namespace {

constexpr int kMaxCodeBits = 12;
constexpr int kTableSize = 1 << kMaxCodeBits;  // 4096 codes
// The code stream is gathered from the sub-blocks into one buffer; it only grows by
// bytes read from the stream and never past this.
constexpr Int64 kMaxCodeStreamBytes = 0x7FFFFFFF;

// Rows in the order the pixels arrive: top to bottom, or the four GIF passes.
class RowOrder {
 public:
  RowOrder(Integer height, bool interlaced) : height_(height), interlaced_(interlaced) {
    if (height_ <= 0) row_ = -1;
  }
  // The current row; -1 once every row has been visited.
  Int64 Row() const { return row_; }
  void Next() {
    if (row_ < 0) return;
    if (!interlaced_) {
      if (++row_ >= height_) row_ = -1;
      return;
    }
    static constexpr int kStart[4] = {0, 4, 2, 1};
    static constexpr int kStep[4] = {8, 8, 4, 2};
    row_ += kStep[pass_];
    while (row_ >= height_) {
      if (++pass_ == 4) {
        row_ = -1;
        return;
      }
      row_ = kStart[pass_];
    }
  }

 private:
  Int64 height_;
  bool interlaced_;
  int pass_ = 0;
  Int64 row_ = 0;
};

// ===========================================================================
// Decoder

// Receives decoded indexes and places them in Dest, or row by row in a buffer of one
// row handed to a row callback; what comes after the last row is dropped.
class PixelSink {
 public:
  PixelSink(Byte* dest, Integer width, Integer height, bool interlaced)
      : dest_(dest), width_(width), rows_(height, interlaced) {
    if (width_ <= 0) full_ = true;
    UpdateRow();
  }
  PixelSink(const GIFLZWRowFunc& rowDone, Integer width, Integer height, bool interlaced)
      : width_(width), rows_(height, interlaced), rowDone_(&rowDone) {
    if (width_ <= 0) {
      full_ = true;
    } else {
      row_.assign(static_cast<size_t>(width_), 0);
    }
    UpdateRow();
  }
  // With a row callback: hands over the row in progress and every row not reached,
  // the indexes the code stream did not reach being 0.
  void Finish() {
    if (rowDone_ == nullptr) return;
    while (!full_) {
      (*rowDone_)(static_cast<Integer>(rows_.Row()), row_.data());
      std::fill(row_.begin(), row_.end(), Byte{0});
      rows_.Next();
      UpdateRow();
    }
  }
  bool Full() const { return full_; }
  // Room for n indexes within the current row: where to write them (then Advance(n)),
  // or null when the row ends first or the image is full.
  Byte* Room(int n) const { return !full_ && x_ + n <= width_ ? rowPtr_ + x_ : nullptr; }
  void Advance(int n) {
    x_ += n;
    if (x_ == width_) RowDone();
  }
  void Put(const uint16_t* values, int n) {
    for (int i = 0; i < n && !full_; ++i) {
      rowPtr_[x_] = static_cast<Byte>(values[i]);
      if (++x_ == width_) RowDone();
    }
  }

 private:
  void RowDone() {
    x_ = 0;
    if (rowDone_ != nullptr) {
      (*rowDone_)(static_cast<Integer>(rows_.Row()), row_.data());
      // Rows the code stream ends in keep 0 where it did not reach.
      std::fill(row_.begin(), row_.end(), Byte{0});
    }
    rows_.Next();
    UpdateRow();
  }
  void UpdateRow() {
    if (rows_.Row() < 0) {
      full_ = true;
      return;
    }
    rowPtr_ = rowDone_ != nullptr ? row_.data() : dest_ + rows_.Row() * static_cast<Int64>(width_);
  }

  Byte* dest_ = nullptr;
  Int64 width_;
  RowOrder rows_;
  const GIFLZWRowFunc* rowDone_ = nullptr;
  std::vector<Byte> row_;  // one row, with a row callback
  Byte* rowPtr_ = nullptr;
  Int64 x_ = 0;
  bool full_ = false;
};

// Codes of a given width from a byte buffer, least-significant bit first.
class CodeReader {
 public:
  explicit CodeReader(const std::vector<Byte>& data) : data_(data), totalBits_(static_cast<Int64>(data.size()) * 8) {}
  // False when fewer than width bits are left.
  bool Read(int width, uint32_t& code) {
    if (bitPos_ + width > totalBits_) return false;
    const Int64 byte = bitPos_ >> 3;
    if (byte + 8 <= static_cast<Int64>(data_.size())) {
      // Eight bytes at once (little-endian), which hold any code of up to 12 bits.
      uint64_t word = 0;
      for (int k = 7; k >= 0; --k) word = (word << 8) | data_[static_cast<size_t>(byte + k)];
      code = static_cast<uint32_t>(word >> (bitPos_ & 7)) & ((1u << width) - 1);
      bitPos_ += width;
      return true;
    }
    uint32_t value = 0;
    for (int got = 0; got < width;) {
      const Int64 byte = bitPos_ >> 3;
      const int shift = static_cast<int>(bitPos_ & 7);
      const int take = std::min(8 - shift, width - got);
      value |= static_cast<uint32_t>((data_[static_cast<size_t>(byte)] >> shift) & ((1u << take) - 1)) << got;
      got += take;
      bitPos_ += take;
    }
    code = value;
    return true;
  }
  // Whole bytes remain after the one holding the last bit read.
  bool DataLeft() const { return (bitPos_ + 7) / 8 < static_cast<Int64>(data_.size()); }

 private:
  const std::vector<Byte>& data_;
  Int64 totalBits_;
  Int64 bitPos_ = 0;
};

// Reads the sub-blocks up to the terminator. False when the stream ends first.
bool ReadSubBlocks(TStream* stream, std::vector<Byte>& codes) {
  for (;;) {
    Byte length = 0;
    if (stream->Read(&length, 1) != 1) return false;
    if (length == 0) return true;
    const size_t at = codes.size();
    if (static_cast<Int64>(at) + length > kMaxCodeStreamBytes) return false;
    codes.resize(at + length);
    if (stream->Read(codes.data() + at, length) != length) return false;
  }
}

bool Decode(TStream* stream, Integer height, Integer width, PixelSink& sink) {
  Byte minCodeSize = 0;
  if (stream->Read(&minCodeSize, 1) != 1) return false;
  if (minCodeSize < 2 || minCodeSize > 9) return false;
  if (width < 0 || height < 0) return false;

  std::vector<Byte> codes;  // bounded by kMaxCodeStreamBytes (ReadSubBlocks)
  if (!ReadSubBlocks(stream, codes)) return false;
  if (codes.empty()) return true;

  const int m = minCodeSize;
  const uint32_t clearCode = 1u << m;
  const uint32_t endCode = clearCode + 1;

  // Entry c is the string of entry prefix[c] followed by suffix[c]; the roots are the
  // literal indexes.
  std::array<uint16_t, kTableSize> prefix{};
  std::array<uint16_t, kTableSize> suffix{};
  std::array<uint16_t, kTableSize> first{};
  std::array<uint16_t, kTableSize> length{};
  for (uint32_t c = 0; c < clearCode; ++c) {
    suffix[c] = first[c] = static_cast<uint16_t>(c);
    length[c] = 1;
  }
  std::array<uint16_t, kTableSize> text{};  // one string, in order

  CodeReader reader(codes);
  int codeWidth = m + 1;
  uint32_t next = clearCode + 2;
  bool afterClear = false;
  bool haveprev = false;  // false at the start and after a clear
  uint32_t prev = 0;

  auto emit = [&](uint32_t code) {
    const int n = length[code];
    if (Byte* out = sink.Room(n)) {
      // The whole string lands in the current row: written there back to front.
      for (int i = n - 1; i >= 0; --i) {
        out[i] = static_cast<Byte>(suffix[code]);
        code = prefix[code];
      }
      sink.Advance(n);
      return;
    }
    for (int i = n - 1; i >= 0; --i) {
      text[static_cast<size_t>(i)] = suffix[code];
      code = prefix[code];
    }
    sink.Put(text.data(), n);
  };

  uint32_t code = 0;
  while (!sink.Full() && reader.Read(codeWidth, code)) {
    if (code == clearCode) {
      codeWidth = m + 1;
      next = clearCode + 2;
      haveprev = false;
      afterClear = true;
      continue;
    }
    if (code == endCode) return !(afterClear && reader.DataLeft());
    afterClear = false;

    if (!haveprev) {
      if (code >= next) code = 0;
      emit(code);
      prev = code;
      haveprev = true;
      continue;
    }
    if (next >= static_cast<uint32_t>(kTableSize)) return false;  // full table without a clear
    if (code > next) return false;

    uint16_t head;
    if (code < next) {
      head = first[code];
      emit(code);
    } else {
      // The string being defined: the previous one and its own first index.
      head = first[prev];
      emit(prev);
      sink.Put(&head, 1);
    }
    prefix[next] = static_cast<uint16_t>(prev);
    suffix[next] = head;
    first[next] = first[prev];
    length[next] = static_cast<uint16_t>(length[prev] + 1);
    ++next;
    if (next == (1u << codeWidth) && codeWidth < kMaxCodeBits) ++codeWidth;
    prev = code;
  }
  return true;
}

// ===========================================================================
// Encoders

// Packs codes least-significant bit first into sub-blocks of up to blockMax bytes.
class CodeWriter {
 public:
  CodeWriter(TStream* stream, int blockMax) : stream_(stream), blockMax_(blockMax) {}
  void Put(uint32_t code, int width) {
    bits_ |= static_cast<uint64_t>(code) << bitCount_;
    bitCount_ += width;
    while (bitCount_ >= 8) {
      AddByte(static_cast<Byte>(bits_ & 0xFF));
      bits_ >>= 8;
      bitCount_ -= 8;
    }
  }
  // Pads the last byte, writes the pending sub-block and the terminator.
  void Finish() {
    if (bitCount_ > 0) AddByte(static_cast<Byte>(bits_ & 0xFF));
    bits_ = 0;
    bitCount_ = 0;
    FlushBlock();
    const Byte terminator = 0;
    stream_->Write(&terminator, 1);
  }

 private:
  void AddByte(Byte b) {
    block_[static_cast<size_t>(blockLength_++)] = b;
    if (blockLength_ == blockMax_) FlushBlock();
  }
  void FlushBlock() {
    if (blockLength_ == 0) return;
    const Byte length = static_cast<Byte>(blockLength_);
    stream_->Write(&length, 1);
    stream_->Write(block_.data(), blockLength_);
    blockLength_ = 0;
  }

  TStream* stream_;
  int blockMax_;
  std::array<Byte, 255> block_{};
  int blockLength_ = 0;
  uint64_t bits_ = 0;
  int bitCount_ = 0;
};

// The minimum code size for a palette depth: 2..8.
int MinCodeSize(Integer bitsPerPixel) { return std::clamp<Integer>(bitsPerPixel, 2, 8); }

// Calls visit(index) for every pixel in the order they are coded.
template <typename Visit>
void ForEachPixel(const Byte* data, Integer height, Integer width, bool interlaced, Byte mask, Visit visit) {
  if (data == nullptr || width <= 0 || height <= 0) return;
  for (RowOrder rows(height, interlaced); rows.Row() >= 0; rows.Next()) {
    const Byte* p = data + rows.Row() * static_cast<Int64>(width);
    for (Integer x = 0; x < width; ++x) visit(static_cast<Byte>(p[x] & mask));
  }
}

// Codes needed for n pixels of one value when runs of 1, 2, ... r pixels can be
// defined in turn (a fresh table reaches run r after r codes).
Int64 TriangleCount(Int64 n, Int64 r) {
  const Int64 per = r * (r + 1) / 2;
  Int64 cost = (n / per) * r;
  n %= per;
  if (n > 0) {
    // The smallest k with k(k + 1) >= 2n.
    Int64 k = static_cast<Int64>(std::sqrt(static_cast<double>(n)));
    while (k > 0 && k * (k + 1) >= 2 * n) --k;
    while (k * (k + 1) < 2 * n) ++k;
    cost += k;
  }
  return cost;
}

// Run-length coding in LZW codes. After a clear code, v followed by codes base,
// base + 1, ... makes a decoder define runs of 2, 3, ... pixels of v; later runs of
// v reuse those codes. The count of codes since the last clear stays below
// maxCodes_, so the decoder's table never fills.
class RunLengthCoder {
 public:
  RunLengthCoder(CodeWriter& out, int m)
      : out_(out),
        clearCode_(1u << m),
        endCode_(clearCode_ + 1),
        base_(clearCode_ + 2),
        initWidth_(m + 1),
        maxCodes_(4093 - (Int64{1} << m)),
        bumpInit_((Int64{1} << m) - 1),
        clearInit_(initWidth_ <= 3 ? 9 : (Int64{1} << m) - 2) {
    ClearReset();
  }

  void Start() { EmitClear(); }
  void Add(Byte v) {
    if (runLength_ > 0 && v != runPixel_) Flush();
    runPixel_ = v;
    ++runLength_;
  }
  void End() {
    if (runLength_ > 0) Flush();
    out_.Put(endCode_, width_);
  }

 private:
  void ClearReset() {
    width_ = initWidth_;
    bumpLimit_ = bumpInit_;
    clearLimit_ = clearInit_;
    codesOut_ = 0;
    tableMax_ = 0;
    justCleared_ = true;
  }
  void EmitClear() {
    out_.Put(clearCode_, width_);
    ClearReset();
  }
  void Plain(uint32_t code) {
    justCleared_ = false;
    out_.Put(code, width_);
    ++codesOut_;
    if (codesOut_ == bumpLimit_) {
      bumpLimit_ += Int64{1} << width_;
      ++width_;
    }
    if (codesOut_ == clearLimit_) EmitClear();
  }
  void ResetClearLimit() {
    clearLimit_ = clearInit_;
    if (codesOut_ >= clearLimit_) EmitClear();
  }
  uint32_t RunCode(Int64 run) const { return base_ + static_cast<uint32_t>(run) - 2; }

  void Flush() {
    const Int64 n = runLength_;
    const Byte v = runPixel_;
    runLength_ = 0;
    if (n == 1) {
      Plain(v);
    } else if (justCleared_) {
      FromClear(n, v);
    } else if (tableMax_ < 2 || tablePixel_ != v) {
      ClearOrRepeat(n, v);
    } else {
      WithTable(n, v);
    }
  }

  void FromClear(Int64 n, Byte v) {
    clearLimit_ = maxCodes_;
    tablePixel_ = v;
    Int64 k = 1;
    while (n > 0) {
      if (k == 1) {
        tableMax_ = 1;
        Plain(v);
        n -= 1;
      } else if (n >= k) {
        tableMax_ = k;
        Plain(RunCode(k));
        n -= k;
      } else {
        ++tableMax_;
        Plain(n == 1 ? uint32_t{v} : RunCode(n));
        n = 0;
      }
      k = codesOut_ == 0 ? 1 : k + 1;
    }
    ResetClearLimit();
  }

  void ClearOrRepeat(Int64 n, Byte v) {
    if (1 + TriangleCount(n, maxCodes_) < n) {
      EmitClear();
      FromClear(n, v);
      return;
    }
    for (Int64 i = 0; i < n; ++i) Plain(v);
  }

  void WithTable(Int64 n, Byte v) {
    Int64 reps = n / tableMax_;
    Int64 left = n % tableMax_;
    Int64 leftCost = left > 0 ? 1 : 0;
    if (codesOut_ + reps + leftCost > maxCodes_) {
      reps = maxCodes_ - codesOut_;
      left = n - reps * tableMax_;
      leftCost = 1 + TriangleCount(left, maxCodes_);
    }
    if (1 + TriangleCount(n, maxCodes_) < reps + leftCost) {
      EmitClear();
      FromClear(n, v);
      return;
    }
    clearLimit_ = maxCodes_;
    const uint32_t fullRun = RunCode(tableMax_);
    for (Int64 i = 0; i < reps; ++i) Plain(fullRun);
    if (left > 0) {
      if (justCleared_) {
        FromClear(left, v);
      } else {
        Plain(left == 1 ? uint32_t{v} : RunCode(left));
      }
    }
    ResetClearLimit();
  }

  CodeWriter& out_;
  const uint32_t clearCode_, endCode_, base_;
  const int initWidth_;
  const Int64 maxCodes_, bumpInit_, clearInit_;

  int width_ = 0;
  Int64 bumpLimit_ = 0;
  Int64 clearLimit_ = 0;
  Int64 codesOut_ = 0;
  Int64 tableMax_ = 0;  // runs of 2..tableMax_ pixels of tablePixel_ have codes
  Byte tablePixel_ = 0;
  bool justCleared_ = true;
  Byte runPixel_ = 0;
  Int64 runLength_ = 0;
};

// Classic hashed LZW: open addressing over 5003 slots keyed by (index, prefix code).
class HashedLzwCoder {
 public:
  HashedLzwCoder(CodeWriter& out, int m)
      : out_(out),
        initWidth_(m + 1),
        clearCode_(1u << m),
        endCode_(clearCode_ + 1),
        slots_(kHashSize, Slot{-1, 0}) {
    int shift = 0;
    for (int32_t size = kHashSize; size < 65536; size *= 2) ++shift;
    hashShift_ = 8 - shift;
    width_ = initWidth_;
    maxCode_ = MaxCode(width_);
    nextFree_ = clearCode_ + 2;
  }

  void Start() { Output(clearCode_); }
  void Add(Byte c) {
    if (!havePrefix_) {
      prefix_ = c;
      havePrefix_ = true;
      return;
    }
    const int32_t key = (static_cast<int32_t>(c) << kMaxCodeBits) + static_cast<int32_t>(prefix_);
    int32_t i = (static_cast<int32_t>(c) << hashShift_) ^ static_cast<int32_t>(prefix_);
    if (slots_[static_cast<size_t>(i)].key == key) {
      prefix_ = slots_[static_cast<size_t>(i)].code;
      return;
    }
    if (slots_[static_cast<size_t>(i)].key >= 0) {
      const int32_t step = i == 0 ? 1 : kHashSize - i;
      do {
        i -= step;
        if (i < 0) i += kHashSize;
        if (slots_[static_cast<size_t>(i)].key == key) {
          prefix_ = slots_[static_cast<size_t>(i)].code;
          return;
        }
      } while (slots_[static_cast<size_t>(i)].key >= 0);
    }
    Output(prefix_);
    prefix_ = c;
    if (nextFree_ < static_cast<uint32_t>(kTableSize)) {
      slots_[static_cast<size_t>(i)] = Slot{key, nextFree_++};
    } else {
      std::fill(slots_.begin(), slots_.end(), Slot{-1, 0});
      nextFree_ = clearCode_ + 2;
      clearFlag_ = true;
      Output(clearCode_);
    }
  }
  void End() {
    if (havePrefix_) Output(prefix_);
    Output(endCode_);
  }

 private:
  static constexpr int32_t kHashSize = 5003;
  struct Slot {
    int32_t key;
    uint32_t code;
  };
  static uint32_t MaxCode(int width) { return (1u << width) - 1; }

  // Writes a code, then widens once the next free code no longer fits (or restarts
  // the width after a clear).
  void Output(uint32_t code) {
    out_.Put(code, width_);
    if (nextFree_ > maxCode_ || clearFlag_) {
      if (clearFlag_) {
        width_ = initWidth_;
        clearFlag_ = false;
      } else {
        ++width_;
      }
      maxCode_ = width_ == kMaxCodeBits ? static_cast<uint32_t>(kTableSize) : MaxCode(width_);
    }
  }

  CodeWriter& out_;
  const int initWidth_;
  const uint32_t clearCode_, endCode_;
  std::vector<Slot> slots_;
  int hashShift_ = 4;
  int width_;
  uint32_t maxCode_;
  uint32_t nextFree_;
  bool clearFlag_ = false;
  bool havePrefix_ = false;
  uint32_t prefix_ = 0;
};

}  // namespace

namespace {

// Runs the decoder; on failure (a failing stream included) sets the stream back.
bool DecodeOrRewind(TStream* stream, Integer height, Integer width, PixelSink& sink) {
  Int64 entry = 0;
  try {
    entry = stream->GetPosition();
    if (Decode(stream, height, width, sink)) return true;
  } catch (...) {
    // A failing stream is a failed decode like any other.
  }
  try {
    stream->SetPosition(entry);
  } catch (...) {
  }
  return false;
}

}  // namespace

void GIFLZWDecompress(TStream* Stream, Integer Height, Integer Width, bool Interlaced, Byte* Dest) {
  if (Stream == nullptr) return;
  if (Dest == nullptr && Width > 0 && Height > 0) {
    // Nowhere to put the pixels: a failed decode (the stream stays where it was).
    return;
  }
  PixelSink sink(Dest, Width, Height, Interlaced);
  DecodeOrRewind(Stream, Height, Width, sink);
}

bool GIFLZWDecompressRows(TStream* Stream, Integer Height, Integer Width, bool Interlaced, const GIFLZWRowFunc& Row) {
  if (Stream == nullptr || !Row) return false;
  PixelSink sink(Row, Width, Height, Interlaced);
  if (!DecodeOrRewind(Stream, Height, Width, sink)) return false;
  sink.Finish();
  return true;
}

void GIFNONLZWCompress(TStream* Stream, Integer Height, Integer Width, bool Interlaced, const Byte* Data,
                       Integer BitsPerPixel) {
  const int m = MinCodeSize(BitsPerPixel);
  const Byte codeSize = static_cast<Byte>(m);
  Stream->Write(&codeSize, 1);
  CodeWriter out(Stream, 255);
  RunLengthCoder coder(out, m);
  coder.Start();
  ForEachPixel(Data, Height, Width, Interlaced, static_cast<Byte>((1u << m) - 1), [&](Byte v) { coder.Add(v); });
  coder.End();
  out.Finish();
}

void GIFLZWCompress(TStream* Stream, Integer Height, Integer Width, bool Interlaced, const Byte* Data,
                    Integer BitsPerPixel) {
  const int m = MinCodeSize(BitsPerPixel);
  const Byte codeSize = static_cast<Byte>(m);
  Stream->Write(&codeSize, 1);
  CodeWriter out(Stream, 254);
  HashedLzwCoder coder(out, m);
  coder.Start();
  ForEachPixel(Data, Height, Width, Interlaced, static_cast<Byte>((1u << m) - 1), [&](Byte c) { coder.Add(c); });
  coder.End();
  out.Finish();
}
