// GIF image data comes from files and the web: the decoder takes any bytes, never
// writes outside the frame, and either fails with the stream back at its start or
// succeeds with the stream after the data it used. What it decoded must come back
// unchanged through both encoders.
//
// Input: width byte, height byte, flags byte (bit 0: interlaced), then the image data
// from the minimum code size byte on.
#include <cstdint>
#include <cstring>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "image/formats/giflzw.h"
#include "platform/rtl/Streams.h"

namespace {

constexpr size_t kGuard = 16;
constexpr Byte kFill = 0xA5;

constexpr fuzzsupport::InvariantCheck Check("GIF LZW");

void RoundTrip(TGIFLZWCompFunc encode, const std::vector<Byte>& pixels, Integer width, Integer height,
               bool interlaced) {
  TMemoryStream coded;
  encode(&coded, height, width, interlaced, pixels.data(), 8);
  coded.SetPosition(0);
  std::vector<Byte> back(pixels.size(), 0);
  GIFLZWDecompress(&coded, height, width, interlaced, back.data());
  Check(coded.GetPosition() == coded.GetSize(), "our own data did not decode to its end");
  Check(back == pixels, "our own data decoded to other pixels");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3) return 0;
  const Integer width = data[0] % 80;
  const Integer height = data[1] % 80;
  const bool interlaced = (data[2] & 1) != 0;

  TMemoryStream input;
  input.WriteBuffer("GIF", 3);  // the decoder starts in the middle of a stream
  if (size > 3) input.WriteBuffer(data + 3, static_cast<Integer>(size - 3));
  input.SetPosition(3);

  const size_t pixels = static_cast<size_t>(width) * static_cast<size_t>(height);
  std::vector<Byte> buffer(pixels + 2 * kGuard, kFill);
  GIFLZWDecompress(&input, height, width, interlaced, buffer.data() + kGuard);

  const Int64 position = input.GetPosition();
  Check(position == 3 || (position > 3 && position <= input.GetSize()), "stream left somewhere odd");
  for (size_t i = 0; i < kGuard; ++i) {
    Check(buffer[i] == kFill, "written before the frame");
    Check(buffer[kGuard + pixels + i] == kFill, "written past the frame");
  }

  const std::vector<Byte> decoded(buffer.begin() + kGuard, buffer.begin() + static_cast<long>(kGuard + pixels));
  RoundTrip(GIFNONLZWCompress, decoded, width, height, interlaced);
  RoundTrip(GIFLZWCompress, decoded, width, height, interlaced);
  return 0;
}
