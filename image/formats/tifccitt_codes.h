// Unit tifccitt, private: the run-length code tables shared by the fax decoders and
// encoders, and the changing-element search of two-dimensional coding.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/rtl/Types.h"

namespace tifccitt {

// A code: its bits right-aligned in Bits, Length of them, first bit sent first.
struct FaxCode {
  uint16_t Bits;
  uint8_t Length;
};

// Run codes of one colour: terminating codes of 0..63, make-up codes of 64..1728
// (index = run / 64 - 1), and the shared extended make-up codes of 1792..2560
// (index = run / 64 - 28).
struct RunCodes {
  FaxCode Terminating[64];
  FaxCode MakeUp[27];
};
extern const RunCodes kWhiteCodes;
extern const RunCodes kBlackCodes;
extern const FaxCode kExtendedMakeUp[13];

// Two-dimensional mode codes.
inline constexpr FaxCode kPassCode{0b0001, 4};
inline constexpr FaxCode kHorizontalCode{0b001, 3};
// Vertical codes of a1 - b1 = -3 .. +3, indexed by a1 - b1 + 3.
inline constexpr FaxCode kVerticalCodes[7] = {{0b0000010, 7}, {0b000010, 6}, {0b010, 3}, {0b1, 1},
                                              {0b011, 3},     {0b000011, 6}, {0b0000011, 7}};
inline constexpr FaxCode kEolCode{0b000000000001, 12};

// Longest run the make-up codes step by, and the bound of every run a decoder sums.
inline constexpr Integer kLargestMakeUp = 2560;

// What a one-dimensional code means.
enum class CodeKind : uint8_t { Invalid, Terminating, MakeUp, Ignored, Eol };

struct DecodedCode {
  CodeKind Kind;
  uint8_t Length;  // bits consumed (0 for Invalid)
  Integer Run;     // run length for Terminating and MakeUp
};

// Decodes the run code of a colour at the top of Bits (the next 32 bits, first bit in
// bit 31). Codes of eight leading zeros and more: 8 to 10 zeros and a 1 are ignored
// codes, 11 to 31 zeros and a 1 are an EOL with its fill bits.
DecodedCode DecodeRunCode(uint32_t bits, bool black);

// The first changing element at or after `from` on a row of Width pixels: the first
// pixel whose bit differs from the pixel before it (the pixel before the row has the
// value startBit); Width when there is none.
Integer NextChange(const Byte* row, Integer width, Integer from, int startBit);

// b1 and b2 of two-dimensional coding: b1 is the first changing element after a0
// whose colour (bit value) differs from colourBit, b2 the next changing element.
void FindB1B2(const Byte* ref, Integer width, Integer a0, int colourBit, int startBit, Integer& b1,
              Integer& b2);

inline int PixelBit(const Byte* row, Integer x) { return (row[x >> 3] >> (7 - (x & 7))) & 1; }

// Bytes of a row of width pixels, unpadded: ceil(width / 8).
inline size_t RowBytes(Integer width) { return static_cast<size_t>((static_cast<int64_t>(width) + 7) / 8); }

}  // namespace tifccitt
