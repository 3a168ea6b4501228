// Unit tifccitt: the decoders. They read only the SrcLen bytes given (bits beyond
// read as zeros), write only the ceil(Width / 8) bytes of the row, clip every run to
// the row, and stop at the end of the data, so damaged or hostile data gives some
// row and the position moves on.
#include <algorithm>
#include <bit>
#include <climits>
#include <cstring>

#include "image/formats/tifccitt.h"
#include "image/formats/tifccitt_codes.h"
#include "image/model/ieutils.h"

using namespace tifccitt;

namespace {

// Bits of the compressed data, first bit at position 0.
class BitSource {
 public:
  BitSource(const Byte* src, Integer srcLen, Integer fillOrder)
      : src_(src), len_(src != nullptr && srcLen > 0 ? srcLen : 0), lsbFirst_(fillOrder != 1) {
    // Bit positions are Integer: data past the last representable bit is not read.
    limit_ = std::min<int64_t>(static_cast<int64_t>(len_) * 8, INT_MAX);
  }

  int64_t Limit() const { return limit_; }

  // The 32 bits from pos, the first in bit 31.
  uint32_t Peek(int64_t pos) const {
    const int64_t first = pos >> 3;
    uint64_t v = 0;
    for (int i = 0; i < 5; ++i) v = (v << 8) | ByteAt(first + i);
    return static_cast<uint32_t>(v >> (8 - (pos & 7)));
  }

  int Bit(int64_t pos) const { return static_cast<int>(Peek(pos) >> 31); }

 private:
  Byte ByteAt(int64_t i) const {
    if (i >= len_) return 0;
    Byte b = src_[i];
    if (lsbFirst_) ReverseBitsB(b);  // data whose first bit is the least significant
    return b;
  }

  const Byte* src_;
  int64_t len_;
  bool lsbFirst_;
  int64_t limit_;
};

// Clears (black) the pixels from..to-1 of a row of width pixels, clipped to the row.
void PaintBlack(Byte* dest, Integer width, int64_t from, int64_t to) {
  from = std::max<int64_t>(from, 0);
  to = std::min<int64_t>(to, width);
  if (from >= to) return;
  int64_t x = from;
  const int64_t end = to;
  for (; x < end && (x & 7) != 0; ++x) dest[x >> 3] &= static_cast<Byte>(~(0x80 >> (x & 7)));
  if (x + 8 <= end) {
    const int64_t bytes = (end - x) / 8;
    std::memset(dest + (x >> 3), 0, static_cast<size_t>(bytes));
    x += bytes * 8;
  }
  for (; x < end; ++x) dest[x >> 3] &= static_cast<Byte>(~(0x80 >> (x & 7)));
}

// A run of make-up codes ended by a terminating code. Sums saturate well above any
// row so hostile data cannot overflow them.
constexpr int64_t kRunCap = int64_t{1} << 40;

// One-dimensional coding of a whole row into dest (already white) from pos. Inside
// two-dimensional data (afterTag) the row's EOL and tag bit are already read, and an
// EOL that cuts the row short is left for the next row.
int64_t DecodeRow1D(const BitSource& in, Byte* dest, Integer width, int64_t pos, bool afterTag) {
  bool black = false;
  bool makeUpPending = false;
  bool atRowStart = !afterTag;
  int64_t x = 0;
  while ((x < width || makeUpPending) && pos < in.Limit()) {
    const DecodedCode code = DecodeRunCode(in.Peek(pos), black);
    if (code.Kind == CodeKind::Invalid) {
      ++pos;  // unknown pattern: move on by one bit
      continue;
    }
    pos += code.Length;
    if (code.Kind == CodeKind::Ignored) continue;
    if (code.Kind == CodeKind::Eol) {
      if (atRowStart) continue;  // the EOL before a row
      if (black) PaintBlack(dest, width, x, width);
      if (afterTag) pos -= code.Length;
      break;
    }
    atRowStart = false;
    if (black) PaintBlack(dest, width, x, x + code.Run);
    x = std::min(x + code.Run, kRunCap);
    makeUpPending = code.Kind == CodeKind::MakeUp;
    if (!makeUpPending) black = !black;
  }
  return pos;
}

// The position to hand back: never past the end of the data once decoding moved.
Integer Result(int64_t pos, int64_t startBit, const BitSource& in) {
  return static_cast<Integer>(std::max(std::min(pos, in.Limit()), startBit));
}

// One run of horizontal mode; false when a code other than a run code comes, which
// is left unread (an EOL there then ends the row).
bool ReadHorizontalRun(const BitSource& in, int64_t& pos, bool black, int64_t& run) {
  run = 0;
  while (pos < in.Limit()) {
    const DecodedCode code = DecodeRunCode(in.Peek(pos), black);
    if (code.Kind != CodeKind::Terminating && code.Kind != CodeKind::MakeUp) return false;
    pos += code.Length;
    run = std::min(run + code.Run, kRunCap);
    if (code.Kind == CodeKind::Terminating) return true;
  }
  return false;
}

enum class Mode { Zeros, Pass, Horizontal, Vertical, Extension, Eol };

// The two-dimensional mode at the top of bits, and the length of its code.
Mode ReadMode(uint32_t bits, int& length, int& delta) {
  delta = 0;
  if ((bits >> 20) == 0) {
    length = 12;
    return Mode::Zeros;
  }
  if ((bits >> 31) == 1) {
    length = 1;
    return Mode::Vertical;
  }
  const uint32_t top3 = bits >> 29;
  if (top3 == 0b010 || top3 == 0b011) {
    length = 3;
    delta = top3 == 0b010 ? -1 : 1;
    return Mode::Vertical;
  }
  if (top3 == 0b001) {
    length = 3;
    return Mode::Horizontal;
  }
  if ((bits >> 28) == 0b0001) {
    length = 4;
    return Mode::Pass;
  }
  const uint32_t top6 = bits >> 26;
  if (top6 == 0b000010 || top6 == 0b000011) {
    length = 6;
    delta = top6 == 0b000010 ? -2 : 2;
    return Mode::Vertical;
  }
  const uint32_t top7 = bits >> 25;
  if (top7 == 0b0000010 || top7 == 0b0000011) {
    length = 7;
    delta = top7 == 0b0000010 ? -3 : 3;
    return Mode::Vertical;
  }
  if ((bits >> 22) == 0b0000001111) {
    length = 10;
    return Mode::Extension;
  }
  if ((bits >> 20) == 0b000000001111) {
    length = 12;
    return Mode::Extension;
  }
  if ((bits >> 20) == 0b000000000001) {
    length = 12;
    return Mode::Eol;
  }
  length = 12;  // anything else is passed over like twelve zeros
  return Mode::Zeros;
}

// Uncompressed mode from a0 (>= 0): literal pixels until an exit code, the end of the
// data, the row's end, or eleven bits without a 1.
void DecodeUncompressed(const BitSource& in, Byte* dest, Integer width, int64_t& pos, int64_t& a0,
                        bool& black) {
  while (a0 < width && pos < in.Limit()) {
    const int n = std::countl_zero(in.Peek(pos)) + 1;
    if (n > 11) return;
    pos += n;
    if (n <= 5) {
      a0 += n - 1;
      PaintBlack(dest, width, a0, a0 + 1);
      ++a0;
    } else if (n == 6) {
      a0 += 5;
    } else {
      a0 += n - 7;
      black = in.Bit(pos) == 1;
      ++pos;
      return;
    }
  }
}

}  // namespace

Integer CCITTHuffmanGetLine(Byte* Dest, const Byte* Src, Integer SrcLen, Integer Width, Integer FillOrder) {
  const Integer endBit = _CCITTHuffmanGetLine(Dest, Src, SrcLen, Width, 0, FillOrder);
  return static_cast<Integer>((static_cast<int64_t>(endBit) + 7) / 8);
}

Integer _CCITTHuffmanGetLine(Byte* Dest, const Byte* Src, Integer SrcLen, Integer Width, Integer StartBit,
                             Integer FillOrder) {
  const int64_t start = std::max(StartBit, 0);
  if (Dest == nullptr || Width <= 0) return static_cast<Integer>(start);
  std::memset(Dest, 0xFF, RowBytes(Width));
  const BitSource in(Src, SrcLen, FillOrder);
  return Result(DecodeRow1D(in, Dest, Width, start, false), start, in);
}

Integer CCITT3_2D_GetLine(Byte* Dest, const Byte* Src, Integer SrcLen, Integer Width, Byte* RefLine,
                          Integer StartBit, Integer FillOrder, bool FillBits) {
  const int64_t start = std::max(StartBit, 0);
  if (Dest == nullptr || RefLine == nullptr || Width <= 0) return static_cast<Integer>(start);
  std::memset(Dest, 0xFF, RowBytes(Width));
  const BitSource in(Src, SrcLen, FillOrder);
  int64_t pos = start;
  int64_t a0 = -1;  // the imaginary pixel before the row
  bool black = false;
  bool atRowStart = true;
  while (a0 < Width && pos < in.Limit()) {
    const int64_t modeStart = pos;
    int length = 0;
    int delta = 0;
    Mode mode = ReadMode(in.Peek(pos), length, delta);
    pos += length;
    if (mode == Mode::Zeros) {
      if (!FillBits) continue;
      // Fill bits: zeros up to the 1 that ends the EOL.
      while (pos < in.Limit() && in.Bit(pos) == 0) {
        const uint32_t bits = in.Peek(pos);
        pos += bits == 0 ? 32 : std::countl_zero(bits);
      }
      if (pos >= in.Limit()) break;
      ++pos;
      mode = Mode::Eol;
    }
    if (mode == Mode::Eol) {
      if (atRowStart) {
        // The tag bit: 1 for a one-dimensionally coded row.
        const int tag = in.Bit(pos);
        ++pos;
        if (tag == 1) {
          pos = DecodeRow1D(in, Dest, Width, pos, true);
          break;
        }
        continue;
      }
      // A row cut short: the rest keeps the current colour; the next row starts at the EOL.
      if (black) PaintBlack(Dest, Width, a0, Width);
      pos = modeStart;
      break;
    }
    atRowStart = false;
    const int colourBit = black ? 0 : 1;
    switch (mode) {
      case Mode::Pass: {
        Integer b1 = 0;
        Integer b2 = 0;
        FindB1B2(RefLine, Width, static_cast<Integer>(a0), colourBit, 1, b1, b2);
        if (black) PaintBlack(Dest, Width, a0, b2);
        a0 = std::max<int64_t>(b2, a0);
        break;
      }
      case Mode::Vertical: {
        Integer b1 = 0;
        Integer b2 = 0;
        FindB1B2(RefLine, Width, static_cast<Integer>(a0), colourBit, 1, b1, b2);
        // a1 never goes back before a0 nor past the row.
        const int64_t a1 = std::clamp<int64_t>(int64_t{b1} + delta, std::max<int64_t>(a0, 0), Width);
        if (black) PaintBlack(Dest, Width, a0, a1);
        a0 = a1;
        black = !black;
        break;
      }
      case Mode::Horizontal: {
        int64_t run1 = 0;
        int64_t run2 = 0;
        if (!ReadHorizontalRun(in, pos, black, run1) || !ReadHorizontalRun(in, pos, !black, run2)) break;
        const int64_t from = std::max<int64_t>(a0, 0);
        const int64_t mid = std::min<int64_t>(from + run1, Width);
        const int64_t end = std::min<int64_t>(mid + run2, Width);
        PaintBlack(Dest, Width, black ? from : mid, black ? mid : end);
        a0 = end;
        break;
      }
      case Mode::Extension: {
        a0 = std::max<int64_t>(a0, 0);
        DecodeUncompressed(in, Dest, Width, pos, a0, black);
        break;
      }
      default:
        break;
    }
  }
  std::memcpy(RefLine, Dest, RowBytes(Width));
  return Result(pos, start, in);
}
