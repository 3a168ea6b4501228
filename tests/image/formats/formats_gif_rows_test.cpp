// The GIF reader's row route: the library's decoder hands rows straight to the
// bitmap. The same files read through a decoder hook of the caller's (which fills a
// whole image of indexes first) give the same pixels and mask.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "image/formats/giffilter.h"
#include "image/formats/giflzw.h"
#include "platform/rtl/Streams.h"

namespace {

// The library's decoder behind another address: the reader takes the buffered route.
void HookDecoder(TStream* stream, Integer height, Integer width, bool interlaced, Byte* dest) {
  GIFLZWDecompress(stream, height, width, interlaced, dest);
}

void Put16(std::string& out, int v) {
  out.push_back(static_cast<char>(v & 0xFF));
  out.push_back(static_cast<char>(v >> 8));
}

// One frame of width x height with a table of 2^bits entries; the code stream holds
// codedRows rows of the pixels (fewer than height: the stream ends early).
std::string MakeGif(int width, int height, int bits, bool interlaced, bool transparent, int transpIndex,
                    const std::vector<Byte>& pixels, int codedRows) {
  std::string g = "GIF89a";
  Put16(g, width);
  Put16(g, height);
  g.push_back(static_cast<char>(0x80 | ((bits - 1) << 4) | (bits - 1)));
  g.push_back(0);
  g.push_back(0);
  for (int i = 0; i < (1 << bits); ++i) {
    g.push_back(static_cast<char>(i * 37));
    g.push_back(static_cast<char>(255 - i * 11));
    g.push_back(static_cast<char>(i * 5 + 3));
  }
  g += std::string("\x21\xF9\x04", 3);
  g.push_back(static_cast<char>(transparent ? 1 : 0));
  Put16(g, 0);
  g.push_back(static_cast<char>(transpIndex));
  g.push_back(0);
  g.push_back(0x2C);
  Put16(g, 0);
  Put16(g, 0);
  Put16(g, width);
  Put16(g, height);
  g.push_back(static_cast<char>(interlaced ? 0x40 : 0));
  // The pixels in coding order, so that a short stream covers the first rows to arrive.
  std::vector<Byte> ordered;
  if (interlaced) {
    const int start[4] = {0, 4, 2, 1}, step[4] = {8, 8, 4, 2};
    for (int p = 0; p < 4; ++p)
      for (int y = start[p]; y < height; y += step[p])
        ordered.insert(ordered.end(), pixels.begin() + y * width, pixels.begin() + (y + 1) * width);
  } else {
    ordered = pixels;
  }
  TMemoryStream codes;
  GIFLZWCompress(&codes, codedRows, width, false, ordered.data(), bits);
  g.append(static_cast<const char*>(codes.Memory()), static_cast<size_t>(codes.GetSize()));
  g.push_back(0x3B);
  return g;
}

struct Decoded {
  bool ok = false;
  std::unique_ptr<TIEBitmap> bitmap = std::make_unique<TIEBitmap>();
  std::unique_ptr<TIEMask> mask;
};

Decoded Read(const std::string& bytes, TGIFLZWDecompFunc hook, bool ignoreAlpha) {
  Decoded d;
  TMemoryStream stream;
  stream.Write(bytes.data(), static_cast<Integer>(bytes.size()));
  stream.SetPosition(0);
  TIOParamsVals params(nullptr);
  params.GIF_LZWDecompFunc = hook;
  bool aborting = false;
  TProgressRec progress;
  progress.Aborting = &aborting;
  Integer count = 0;
  ReadGifStream(&stream, d.bitmap.get(), count, params, progress, false, d.mask, ignoreAlpha);
  d.ok = !aborting;
  return d;
}

TEST(GifRows, RowRouteMatchesTheBufferedRoute) {
  struct Case {
    const char* name;
    int width, height, bits;
    bool interlaced, transparent;
    int codedRows;
    bool ignoreAlpha;
  };
  const Case cases[] = {
      {"plain", 37, 23, 8, false, false, 23, false},
      {"interlaced", 41, 29, 4, true, false, 29, false},
      {"transparent", 33, 17, 3, false, true, 17, false},
      {"interlaced, transparent, stream ends early", 19, 21, 5, true, true, 7, false},
      {"stream ends early", 25, 12, 2, false, true, 5, false},
      {"bilevel", 53, 9, 1, false, false, 9, false},
      {"one column", 1, 30, 2, true, true, 30, false},
      {"alpha ignored", 31, 11, 8, false, true, 11, true},
  };
  for (const Case& c : cases) {
    std::vector<Byte> pixels(static_cast<size_t>(c.width) * c.height);
    uint32_t seed = 99;
    for (size_t i = 0; i < pixels.size(); ++i) {
      seed = seed * 1103515245u + 12345u;
      // Runs and noise, so that the decoder's strings cross row ends.
      pixels[i] = static_cast<Byte>((i / 7 + ((seed >> 20) & 1)) % (1u << c.bits));
    }
    const std::string gif =
        MakeGif(c.width, c.height, c.bits, c.interlaced, c.transparent, 1, pixels, c.codedRows);
    const Decoded rows = Read(gif, GIFLZWDecompress, c.ignoreAlpha);
    const Decoded buffered = Read(gif, HookDecoder, c.ignoreAlpha);
    ASSERT_TRUE(rows.ok) << c.name;
    ASSERT_TRUE(buffered.ok) << c.name;
    ASSERT_EQ(rows.bitmap->GetPixelFormat(), buffered.bitmap->GetPixelFormat()) << c.name;
    ASSERT_EQ(rows.bitmap->GetWidth(), c.width) << c.name;
    ASSERT_EQ(rows.bitmap->GetHeight(), c.height) << c.name;
    const size_t rowBytes = rows.bitmap->GetPixelFormat() == ie1g ? (c.width + 7) / 8 : c.width * size_t{3};
    for (int y = 0; y < c.height; ++y)
      ASSERT_EQ(std::memcmp(rows.bitmap->GetScanLine(y), buffered.bitmap->GetScanLine(y), rowBytes), 0)
          << c.name << ", row " << y;
    ASSERT_EQ(rows.mask == nullptr, c.ignoreAlpha) << c.name;
    ASSERT_EQ(buffered.mask == nullptr, c.ignoreAlpha) << c.name;
    if (c.ignoreAlpha) continue;
    EXPECT_EQ(rows.mask->GetFull(), buffered.mask->GetFull()) << c.name;
    EXPECT_EQ(rows.mask->GetFull(), !c.transparent) << c.name;
    for (int y = 0; y < c.height; ++y)
      ASSERT_EQ(std::memcmp(rows.mask->GetScanLine(y), buffered.mask->GetScanLine(y), c.width), 0)
          << c.name << ", mask row " << y;
  }
}

// Rows arrive once each, in the pass order, the same as the whole-image decoder.
TEST(GifRows, DecoderHandsOverEveryRowOnceInPassOrder) {
  const int width = 13, height = 19;
  std::vector<Byte> pixels(static_cast<size_t>(width) * height);
  for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<Byte>((i * 7) % 16);
  for (const bool interlaced : {false, true}) {
    TMemoryStream codes;
    GIFLZWCompress(&codes, height, width, interlaced, pixels.data(), 4);
    std::vector<Integer> order;
    std::vector<Byte> image(pixels.size(), 0xEE);
    codes.SetPosition(0);
    ASSERT_TRUE(GIFLZWDecompressRows(&codes, height, width, interlaced, [&](Integer y, const Byte* row) {
      order.push_back(y);
      std::memcpy(image.data() + static_cast<size_t>(y) * width, row, width);
    }));
    EXPECT_EQ(codes.GetPosition(), codes.GetSize());
    EXPECT_EQ(image, pixels) << interlaced;
    std::vector<Integer> expected;
    if (interlaced) {
      for (int y = 0; y < height; y += 8) expected.push_back(y);
      for (int y = 4; y < height; y += 8) expected.push_back(y);
      for (int y = 2; y < height; y += 4) expected.push_back(y);
      for (int y = 1; y < height; y += 2) expected.push_back(y);
    } else {
      for (int y = 0; y < height; ++y) expected.push_back(y);
    }
    EXPECT_EQ(order, expected) << interlaced;
  }
  // A bad code stream fails and sets the stream back.
  TMemoryStream bad;
  const Byte junk[] = {2, 2, 0xFF, 0xFF, 0};
  bad.Write(junk, sizeof junk);
  bad.SetPosition(0);
  EXPECT_FALSE(GIFLZWDecompressRows(&bad, 2, 2, false, [](Integer, const Byte*) {}));
  EXPECT_EQ(bad.GetPosition(), 0);
}

}  // namespace
