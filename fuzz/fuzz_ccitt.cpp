// Fax strips come from TIFF files: every decoder takes any bytes, stays inside the
// data and the row, and moves on; what the two-dimensional decoder made of the data
// comes back unchanged through the encoders.
//
// Input: width (two bytes, little-endian, taken modulo 4096, plus 1), flags byte
// (bit 0: FillOrder 2, bit 1: fill bits before EOLs), then the strip.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "image/formats/tifccitt.h"
#include "platform/rtl/Streams.h"

namespace {

constexpr size_t kGuard = 8;
constexpr Byte kFill = 0xA5;
constexpr int kMaxRows = 48;

constexpr fuzzsupport::InvariantCheck Check("fax codec");

void CheckGuard(const std::vector<Byte>& row, size_t rowBytes) {
  for (size_t i = rowBytes; i < row.size(); ++i) Check(row[i] == kFill, "write past the row");
}

bool SamePixels(const Byte* a, const Byte* b, Integer width) {
  for (Integer x = 0; x < width; ++x) {
    const int mask = 0x80 >> (x % 8);
    if ((a[x / 8] & mask) != (b[x / 8] & mask)) return false;
  }
  return true;
}

// Rows (1 for white) through an encoder and back through the matching decoder.
void RoundTrip(const std::vector<std::vector<Byte>>& rows, Integer width, int coding) {
  const size_t rowBytes = static_cast<size_t>((width + 7) / 8);
  TMemoryStream stream;
  bool aborting = false;
  Byte pending = 0;
  Integer bitCount = 0;
  std::vector<Byte> ref;
  std::vector<Byte> black(rowBytes);
  for (const std::vector<Byte>& row : rows) {
    for (size_t i = 0; i < rowBytes; ++i) black[i] = static_cast<Byte>(~row[i]);
    if (coding == 0) CCITTHuffmanPutLine(black.data(), width, &stream, aborting);
    if (coding == 1) CCITTHuffmanPutLineG3(black.data(), width, &stream, pending, bitCount, aborting);
    if (coding == 2) CCITTHuffmanPutLineG32D(black.data(), width, &stream, pending, bitCount, ref, aborting);
    if (coding == 3) CCITTHuffmanPutLineG4(black.data(), width, &stream, pending, bitCount, ref, aborting);
  }
  if (coding == 1) CCITTHuffmanPutLineG3(nullptr, width, &stream, pending, bitCount, aborting);
  if (coding == 2) CCITTHuffmanPutLineG32D(nullptr, width, &stream, pending, bitCount, ref, aborting);
  if (coding == 3) CCITTHuffmanPutLineG4(nullptr, width, &stream, pending, bitCount, ref, aborting);
  Check(!aborting, "memory stream refused a write");
  const std::vector<Byte> coded(static_cast<const Byte*>(stream.Memory()),
                                static_cast<const Byte*>(stream.Memory()) + stream.GetSize());
  const auto len = static_cast<Integer>(coded.size());
  std::vector<Byte> dest(rowBytes);
  std::vector<Byte> refLine(rowBytes, 0xFF);
  Integer at = 0;
  for (const std::vector<Byte>& row : rows) {
    if (coding == 0) at += CCITTHuffmanGetLine(dest.data(), coded.data() + at, len - at, width, 1);
    if (coding == 1) at = _CCITTHuffmanGetLine(dest.data(), coded.data(), len, width, at, 1);
    if (coding >= 2) at = CCITT3_2D_GetLine(dest.data(), coded.data(), len, width, refLine.data(), at, 1, false);
    Check(SamePixels(row.data(), dest.data(), width), "encoded rows decode to something else");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3) return 0;
  const Integer width = 1 + ((data[0] | (data[1] << 8)) % 4096);
  const Integer fillOrder = (data[2] & 1) != 0 ? 2 : 1;
  const bool fillBits = (data[2] & 2) != 0;
  const std::vector<Byte> strip(data + 3, data + size);  // exact size: reads past it are caught
  const Byte* src = strip.empty() ? nullptr : strip.data();
  const auto len = static_cast<Integer>(strip.size());
  const size_t rowBytes = static_cast<size_t>((width + 7) / 8);

  std::vector<Byte> row(rowBytes + kGuard, kFill);
  std::vector<Byte> ref(rowBytes, 0xFF);
  std::vector<std::vector<Byte>> decoded;
  Integer offset = 0;
  Integer bit1 = 0;
  Integer bit2 = 0;
  for (int y = 0; y < kMaxRows; ++y) {
    const Integer used = CCITTHuffmanGetLine(row.data(), src + offset, len - offset, width, fillOrder);
    Check(used >= 0 && used <= len - offset, "bytes consumed outside the data");
    offset += used;
    CheckGuard(row, rowBytes);

    const Integer next1 = _CCITTHuffmanGetLine(row.data(), src, len, width, bit1, fillOrder);
    Check(next1 >= bit1 && next1 <= len * 8, "one-dimensional position outside the data");
    bit1 = next1;
    CheckGuard(row, rowBytes);

    const Integer next2 = CCITT3_2D_GetLine(row.data(), src, len, width, ref.data(), bit2, fillOrder, fillBits);
    Check(next2 >= bit2 && next2 <= len * 8, "two-dimensional position outside the data");
    bit2 = next2;
    CheckGuard(row, rowBytes);
    decoded.emplace_back(row.begin(), row.begin() + static_cast<std::ptrdiff_t>(rowBytes));
  }
  for (int coding = 0; coding < 4; ++coding) RoundTrip(decoded, width, coding);
  return 0;
}
