// Unit tifccitt: the run-length code tables and the code lookup of the decoders.
#include <algorithm>
#include <array>
#include <bit>

#include "image/formats/tifccitt_codes.h"

namespace tifccitt {

namespace {

// A code written as its bits, first bit first.
constexpr FaxCode C(const char* text) {
  uint16_t bits = 0;
  uint8_t length = 0;
  for (; *text != '\0'; ++text, ++length) bits = static_cast<uint16_t>((bits << 1) | (*text == '1' ? 1 : 0));
  return FaxCode{bits, length};
}

}  // namespace

const RunCodes kWhiteCodes = {
    {C("00110101"), C("000111"),   C("0111"),     C("1000"),     C("1011"),     C("1100"),
     C("1110"),     C("1111"),     C("10011"),    C("10100"),    C("00111"),    C("01000"),
     C("001000"),   C("000011"),   C("110100"),   C("110101"),   C("101010"),   C("101011"),
     C("0100111"),  C("0001100"),  C("0001000"),  C("0010111"),  C("0000011"),  C("0000100"),
     C("0101000"),  C("0101011"),  C("0010011"),  C("0100100"),  C("0011000"),  C("00000010"),
     C("00000011"), C("00011010"), C("00011011"), C("00010010"), C("00010011"), C("00010100"),
     C("00010101"), C("00010110"), C("00010111"), C("00101000"), C("00101001"), C("00101010"),
     C("00101011"), C("00101100"), C("00101101"), C("00000100"), C("00000101"), C("00001010"),
     C("00001011"), C("01010010"), C("01010011"), C("01010100"), C("01010101"), C("00100100"),
     C("00100101"), C("01011000"), C("01011001"), C("01011010"), C("01011011"), C("01001010"),
     C("01001011"), C("00110010"), C("00110011"), C("00110100")},
    {C("11011"),     C("10010"),     C("010111"),    C("0110111"),   C("00110110"),  C("00110111"),
     C("01100100"),  C("01100101"),  C("01101000"),  C("01100111"),  C("011001100"), C("011001101"),
     C("011010010"), C("011010011"), C("011010100"), C("011010101"), C("011010110"), C("011010111"),
     C("011011000"), C("011011001"), C("011011010"), C("011011011"), C("010011000"), C("010011001"),
     C("010011010"), C("011000"),    C("010011011")}};

const RunCodes kBlackCodes = {
    {C("0000110111"),   C("010"),          C("11"),           C("10"),           C("011"),
     C("0011"),         C("0010"),         C("00011"),        C("000101"),       C("000100"),
     C("0000100"),      C("0000101"),      C("0000111"),      C("00000100"),     C("00000111"),
     C("000011000"),    C("0000010111"),   C("0000011000"),   C("0000001000"),   C("00001100111"),
     C("00001101000"),  C("00001101100"),  C("00000110111"),  C("00000101000"),  C("00000010111"),
     C("00000011000"),  C("000011001010"), C("000011001011"), C("000011001100"), C("000011001101"),
     C("000001101000"), C("000001101001"), C("000001101010"), C("000001101011"), C("000011010010"),
     C("000011010011"), C("000011010100"), C("000011010101"), C("000011010110"), C("000011010111"),
     C("000001101100"), C("000001101101"), C("000011011010"), C("000011011011"), C("000001010100"),
     C("000001010101"), C("000001010110"), C("000001010111"), C("000001100100"), C("000001100101"),
     C("000001010010"), C("000001010011"), C("000000100100"), C("000000110111"), C("000000111000"),
     C("000000100111"), C("000000101000"), C("000001011000"), C("000001011001"), C("000000101011"),
     C("000000101100"), C("000001011010"), C("000001100110"), C("000001100111")},
    {C("0000001111"),    C("000011001000"),  C("000011001001"),  C("000001011011"),  C("000000110011"),
     C("000000110100"),  C("000000110101"),  C("0000001101100"), C("0000001101101"), C("0000001001010"),
     C("0000001001011"), C("0000001001100"), C("0000001001101"), C("0000001110010"), C("0000001110011"),
     C("0000001110100"), C("0000001110101"), C("0000001110110"), C("0000001110111"), C("0000001010010"),
     C("0000001010011"), C("0000001010100"), C("0000001010101"), C("0000001011010"), C("0000001011011"),
     C("0000001100100"), C("0000001100101")}};

const FaxCode kExtendedMakeUp[13] = {C("00000001000"),  C("00000001100"),  C("00000001101"),
                                     C("000000010010"), C("000000010011"), C("000000010100"),
                                     C("000000010101"), C("000000010110"), C("000000010111"),
                                     C("000000011100"), C("000000011101"), C("000000011110"),
                                     C("000000011111")};

namespace {

// Every run code is at most 13 bits long, so the next 13 bits find it in one lookup.
constexpr int kLookupBits = 13;

struct LookupEntry {
  CodeKind Kind = CodeKind::Invalid;
  uint8_t Length = 0;
  int16_t Run = 0;
};

using LookupTable = std::array<LookupEntry, 1u << kLookupBits>;

void AddCode(LookupTable& table, FaxCode code, CodeKind kind, Integer run) {
  const int free = kLookupBits - code.Length;
  const uint32_t first = static_cast<uint32_t>(code.Bits) << free;
  for (uint32_t i = 0; i < (1u << free); ++i) {
    table[first + i] = LookupEntry{kind, code.Length, static_cast<int16_t>(run)};
  }
}

LookupTable BuildTable(const RunCodes& codes) {
  LookupTable table{};
  for (Integer run = 0; run < 64; ++run) AddCode(table, codes.Terminating[run], CodeKind::Terminating, run);
  for (Integer i = 0; i < 27; ++i) AddCode(table, codes.MakeUp[i], CodeKind::MakeUp, (i + 1) * 64);
  for (Integer i = 0; i < 13; ++i) AddCode(table, kExtendedMakeUp[i], CodeKind::MakeUp, (i + 28) * 64);
  return table;
}

const LookupTable& Table(bool black) {
  static const LookupTable white = BuildTable(kWhiteCodes);
  static const LookupTable blackTable = BuildTable(kBlackCodes);
  return black ? blackTable : white;
}

}  // namespace

DecodedCode DecodeRunCode(uint32_t bits, bool black) {
  if ((bits >> 24) == 0) {
    // Eight zeros or more: no run code starts like this.
    const int zeros = std::countl_zero(bits);
    if (zeros >= 32) return DecodedCode{CodeKind::Invalid, 0, 0};
    const auto length = static_cast<uint8_t>(zeros + 1);
    return DecodedCode{zeros <= 10 ? CodeKind::Ignored : CodeKind::Eol, length, 0};
  }
  const LookupEntry& e = Table(black)[bits >> (32 - kLookupBits)];
  return DecodedCode{e.Kind, e.Length, e.Run};
}

Integer NextChange(const Byte* row, Integer width, Integer from, int startBit) {
  if (from < 0) from = 0;
  if (from >= width) return width;
  const int prev = from == 0 ? startBit : PixelBit(row, from - 1);
  Integer x = from;
  for (; x < width && (x & 7) != 0; ++x) {
    if (PixelBit(row, x) != prev) return x;
  }
  // Whole bytes of the same colour at a time; int64 so the step past the last byte
  // cannot overflow.
  const Byte same = prev != 0 ? 0xFF : 0x00;
  for (int64_t at = x; at < width; at += 8) {
    const Byte diff = static_cast<Byte>(row[at >> 3] ^ same);
    if (diff != 0) return static_cast<Integer>(std::min<int64_t>(width, at + std::countl_zero(diff)));
  }
  return width;
}

void FindB1B2(const Byte* ref, Integer width, Integer a0, int colourBit, int startBit, Integer& b1,
              Integer& b2) {
  Integer c = NextChange(ref, width, a0 + 1, startBit);
  if (c < width && PixelBit(ref, c) == colourBit) c = NextChange(ref, width, c + 1, startBit);
  b1 = c;
  b2 = c < width ? NextChange(ref, width, c + 1, startBit) : width;
}

}  // namespace tifccitt
