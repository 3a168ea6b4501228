// Unit tifccitt: the encoders. Rows come with 0 for white and 1 for black; codes are
// packed first bit in the most significant bit, and every write goes through
// SafeStreamWrite.
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "image/formats/tifccitt.h"
#include "image/formats/tifccitt_codes.h"
#include "image/model/ieutils.h"

using namespace tifccitt;

namespace {

// Collects the codes of one call into whole bytes, starting from the caller's
// pending partial byte (its BitCount bits in the most significant end).
class BitSink {
 public:
  BitSink() = default;
  BitSink(Byte pendingByte, Integer bitCount) {
    count_ = std::clamp(bitCount, 0, 7);
    acc_ = count_ == 0 ? 0u : static_cast<uint32_t>(pendingByte) >> (8 - count_);
  }

  void Put(FaxCode code) {
    acc_ = (acc_ << code.Length) | code.Bits;
    count_ += code.Length;
    while (count_ >= 8) {
      count_ -= 8;
      out_.push_back(static_cast<Byte>(acc_ >> count_));
    }
    acc_ &= (1u << count_) - 1;
  }

  void PutBit(int bit) { Put(FaxCode{static_cast<uint16_t>(bit & 1), 1}); }

  // A run: make-up codes while 64 or more remain, then the terminating code.
  void PutRun(Integer run, bool black) {
    const RunCodes& codes = black ? kBlackCodes : kWhiteCodes;
    while (run >= 64) {
      const Integer makeUp = run <= kLargestMakeUp ? run / 64 * 64 : kLargestMakeUp;
      Put(makeUp <= 1728 ? codes.MakeUp[makeUp / 64 - 1] : kExtendedMakeUp[makeUp / 64 - 28]);
      run -= makeUp;
    }
    Put(codes.Terminating[run]);
  }

  // Completes the partial byte with zero bits.
  void Pad() {
    if (count_ > 0) Put(FaxCode{0, static_cast<uint8_t>(8 - count_)});
  }

  void Write(TStream* stream, bool& aborting) {
    if (!out_.empty()) SafeStreamWrite(stream, aborting, out_.data(), static_cast<Integer>(out_.size()));
    out_.clear();
  }

  void Keep(Byte& pendingByte, Integer& bitCount) const {
    bitCount = count_;
    pendingByte = count_ == 0 ? 0 : static_cast<Byte>(acc_ << (8 - count_));
  }

 private:
  uint32_t acc_ = 0;
  Integer count_ = 0;
  std::vector<Byte> out_;
};

// The row as alternating runs, starting with white.
void EncodeRow1D(BitSink& sink, const Byte* row, Integer width) {
  Integer a0 = -1;
  bool black = false;
  while (a0 < width) {
    const Integer a1 = NextChange(row, width, a0 + 1, 0);
    sink.PutRun(a1 - std::max(a0, 0), black);
    a0 = a1;
    black = !black;
  }
}

// The row coded against ref with pass, vertical and horizontal modes.
void EncodeRow2D(BitSink& sink, const Byte* row, const Byte* ref, Integer width) {
  Integer a0 = -1;
  bool black = false;
  while (a0 < width) {
    const Integer a1 = NextChange(row, width, a0 + 1, 0);
    Integer b1 = 0;
    Integer b2 = 0;
    FindB1B2(ref, width, a0, black ? 1 : 0, 0, b1, b2);
    if (b2 < a1) {
      sink.Put(kPassCode);
      a0 = b2;
    } else if (std::abs(a1 - b1) <= 3) {
      sink.Put(kVerticalCodes[a1 - b1 + 3]);
      a0 = a1;
      black = !black;
    } else {
      const Integer a2 = a1 < width ? NextChange(row, width, a1 + 1, 0) : width;
      sink.Put(kHorizontalCode);
      sink.PutRun(a1 - std::max(a0, 0), black);
      sink.PutRun(a2 - a1, !black);
      a0 = a2;
    }
  }
}

// The reference line: a 1-bit row padded to 32 bits, white (zero) when new.
void PrepareRefLine(std::vector<Byte>& refLine, Integer width) {
  const auto size = static_cast<size_t>(_BitmapRowLen(width, 1));
  if (refLine.size() < size) refLine.resize(size, 0);
}

void ReleaseRefLine(std::vector<Byte>& refLine) { std::vector<Byte>().swap(refLine); }

}  // namespace

void CCITTHuffmanPutLine(const Byte* Row, Integer Width, TStream* Stream, bool& Aborting) {
  if (Row == nullptr || Width <= 0) return;
  BitSink sink;
  EncodeRow1D(sink, Row, Width);
  sink.Pad();
  sink.Write(Stream, Aborting);
}

void CCITTHuffmanPutLineG3(const Byte* Row, Integer Width, TStream* Stream, Byte& PendingByte,
                           Integer& BitCount, bool& Aborting) {
  BitSink sink(PendingByte, BitCount);
  if (Row == nullptr) {
    sink.Pad();
  } else if (Width > 0) {
    // Each row starts with EOL, as readers of Group 3 data expect.
    sink.Put(kEolCode);
    EncodeRow1D(sink, Row, Width);
  }
  sink.Write(Stream, Aborting);
  sink.Keep(PendingByte, BitCount);
}

void CCITTHuffmanPutLineG32D(const Byte* Row, Integer Width, TStream* Stream, Byte& PendingByte,
                             Integer& BitCount, std::vector<Byte>& RefLine, bool& Aborting) {
  BitSink sink(PendingByte, BitCount);
  if (Row == nullptr) {
    sink.Put(kEolCode);
    ReleaseRefLine(RefLine);
    sink.Pad();
  } else if (Width > 0) {
    sink.Put(kEolCode);
    if (RefLine.empty()) {
      sink.PutBit(1);
      EncodeRow1D(sink, Row, Width);
      PrepareRefLine(RefLine, Width);
    } else {
      PrepareRefLine(RefLine, Width);
      sink.PutBit(0);
      EncodeRow2D(sink, Row, RefLine.data(), Width);
    }
    std::memcpy(RefLine.data(), Row, RowBytes(Width));
  }
  sink.Write(Stream, Aborting);
  sink.Keep(PendingByte, BitCount);
}

void CCITTHuffmanPutLineG4(const Byte* Row, Integer Width, TStream* Stream, Byte& PendingByte,
                           Integer& BitCount, std::vector<Byte>& RefLine, bool& Aborting) {
  BitSink sink(PendingByte, BitCount);
  if (Row == nullptr) {
    // End of facsimile block.
    sink.Put(kEolCode);
    sink.Put(kEolCode);
    sink.Pad();
    ReleaseRefLine(RefLine);
  } else if (Width > 0) {
    PrepareRefLine(RefLine, Width);
    EncodeRow2D(sink, Row, RefLine.data(), Width);
    std::memcpy(RefLine.data(), Row, RowBytes(Width));
  }
  sink.Write(Stream, Aborting);
  sink.Keep(PendingByte, BitCount);
}
