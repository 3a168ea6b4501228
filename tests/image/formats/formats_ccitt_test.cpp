// The fax codecs: our rows through our encoders and decoders, code streams pinned
// bit by bit, strips written by libtiff decoded by us, our strips read back by
// libtiff, the uncompressed-mode extension, and hostile data.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "image/formats/tifccitt.h"
#include "platform/rtl/Streams.h"
#include "tests/image/file_test_util.h"
#include "tests/image/tiff_builder.h"
#include "tests/support/Peers.h"

namespace {

const char kPython[] = "/usr/bin/python3";

// A bilevel picture, 1 for black, rows of ceil(width / 8) bytes with zero pad bits.
struct Picture {
  Integer Width = 0;
  Integer Height = 0;
  std::vector<Byte> Bits;

  Picture() = default;
  Picture(Integer width, Integer height)
      : Width(width), Height(height), Bits(RowBytes() * static_cast<size_t>(height), 0) {}
  size_t RowBytes() const { return static_cast<size_t>((Width + 7) / 8); }
  Byte* Row(Integer y) { return Bits.data() + RowBytes() * static_cast<size_t>(y); }
  const Byte* Row(Integer y) const { return Bits.data() + RowBytes() * static_cast<size_t>(y); }
  bool Black(Integer x, Integer y) const { return (Row(y)[x / 8] >> (7 - x % 8)) & 1; }
  void Set(Integer x, Integer y, bool black) {
    Byte& b = Row(y)[x / 8];
    const auto mask = static_cast<Byte>(0x80 >> (x % 8));
    b = black ? static_cast<Byte>(b | mask) : static_cast<Byte>(b & ~mask);
  }
  void Paint(Integer y, Integer from, Integer to, bool black) {
    for (Integer x = std::max(from, 0); x < std::min(to, Width); ++x) Set(x, y, black);
  }
};

// The first row that differs, as text, or "" when the pictures are equal.
std::string FirstDifference(const Picture& expected, const Picture& actual) {
  if (expected.Width != actual.Width || expected.Height != actual.Height) return "sizes differ";
  for (Integer y = 0; y < expected.Height; ++y) {
    for (Integer x = 0; x < expected.Width; ++x) {
      if (expected.Black(x, y) != actual.Black(x, y)) {
        return "row " + std::to_string(y) + " differs first at pixel " + std::to_string(x);
      }
    }
  }
  return "";
}

// A picture from rows given as alternating runs, white first.
Picture FromRuns(const std::vector<std::vector<Integer>>& rows) {
  Integer width = 0;
  for (Integer run : rows.front()) width += run;
  Picture p(width, static_cast<Integer>(rows.size()));
  for (Integer y = 0; y < p.Height; ++y) {
    Integer x = 0;
    bool black = false;
    for (Integer run : rows[static_cast<size_t>(y)]) {
      p.Paint(y, x, x + run, black);
      x += run;
      black = !black;
    }
  }
  return p;
}

// Rows that drift from one to the next (so two-dimensional coding meets pass and
// every vertical mode), with all-white, all-black, black-first and noisy rows.
Picture Document(Integer width, Integer height, uint32_t seed) {
  Picture p(width, height);
  uint32_t noise = seed;
  auto next = [&noise](uint32_t range) {
    noise = noise * 1103515245u + 12345u;
    return static_cast<Integer>((noise >> 8) % range);
  };
  std::vector<Integer> edges;  // changing pixels of the current shape
  for (Integer y = 0; y < height; ++y) {
    switch (y % 12) {
      case 0:
        break;  // all white
      case 1:
        p.Paint(y, 0, width, true);
        break;
      case 2:
        for (Integer x = 0; x < width; ++x) p.Set(x, y, x % 2 == 0);
        break;
      case 3:
        for (Integer x = 0; x < width; ++x) p.Set(x, y, next(3) == 0);
        break;
      case 4:
        edges.clear();
        for (Integer x = next(5); x < width; x += 1 + next(40)) edges.push_back(x);
        [[fallthrough]];
      default: {
        for (Integer& e : edges) e = std::clamp<Integer>(e + next(7) - 3, 0, width);
        std::sort(edges.begin(), edges.end());
        if (next(4) == 0 && edges.size() > 2) edges.erase(edges.begin() + next(static_cast<uint32_t>(edges.size())));
        bool black = false;
        Integer x = 0;
        for (Integer e : edges) {
          p.Paint(y, x, e, black);
          x = e;
          black = !black;
        }
        p.Paint(y, x, width, black);
      }
    }
  }
  return p;
}

enum class Coding { MH, G3, G32D, G4 };

const char* Name(Coding c) {
  switch (c) {
    case Coding::MH: return "MH";
    case Coding::G3: return "G3";
    case Coding::G32D: return "G3-2D";
    case Coding::G4: return "G4";
  }
  return "";
}

std::vector<Byte> Contents(TMemoryStream& stream) {
  const auto* p = static_cast<const Byte*>(stream.Memory());
  return std::vector<Byte>(p, p + stream.GetSize());
}

std::vector<Byte> Encode(const Picture& p, Coding coding) {
  TMemoryStream stream;
  bool aborting = false;
  Byte pending = 0;
  Integer bitCount = 0;
  std::vector<Byte> ref;
  for (Integer y = 0; y < p.Height; ++y) {
    switch (coding) {
      case Coding::MH: CCITTHuffmanPutLine(p.Row(y), p.Width, &stream, aborting); break;
      case Coding::G3: CCITTHuffmanPutLineG3(p.Row(y), p.Width, &stream, pending, bitCount, aborting); break;
      case Coding::G32D:
        CCITTHuffmanPutLineG32D(p.Row(y), p.Width, &stream, pending, bitCount, ref, aborting);
        break;
      case Coding::G4: CCITTHuffmanPutLineG4(p.Row(y), p.Width, &stream, pending, bitCount, ref, aborting); break;
    }
  }
  switch (coding) {
    case Coding::MH: break;
    case Coding::G3: CCITTHuffmanPutLineG3(nullptr, p.Width, &stream, pending, bitCount, aborting); break;
    case Coding::G32D: CCITTHuffmanPutLineG32D(nullptr, p.Width, &stream, pending, bitCount, ref, aborting); break;
    case Coding::G4: CCITTHuffmanPutLineG4(nullptr, p.Width, &stream, pending, bitCount, ref, aborting); break;
  }
  EXPECT_FALSE(aborting);
  EXPECT_TRUE(ref.empty()) << "the final call frees the reference line";
  EXPECT_EQ(bitCount, 0);
  return Contents(stream);
}

// Decodes rows firstRow.. of one strip into p (1 for black) as the TIFF reader does:
// the position starts at 0 and the reference line white for each strip.
void DecodeStrip(const Byte* data, Integer size, Coding coding, Integer fillOrder, bool fillBits, Picture& p,
                 Integer firstRow, Integer rows) {
  std::vector<Byte> dest(p.RowBytes());
  std::vector<Byte> ref(p.RowBytes(), 0xFF);
  Integer bit = 0;
  Integer offset = 0;
  for (Integer y = firstRow; y < std::min(firstRow + rows, p.Height); ++y) {
    switch (coding) {
      case Coding::MH:
        offset += CCITTHuffmanGetLine(dest.data(), data + offset, size - offset, p.Width, fillOrder);
        ASSERT_LE(offset, size);
        break;
      case Coding::G3:
        bit = _CCITTHuffmanGetLine(dest.data(), data, size, p.Width, bit, fillOrder);
        break;
      case Coding::G32D:
      case Coding::G4:
        bit = CCITT3_2D_GetLine(dest.data(), data, size, p.Width, ref.data(), bit, fillOrder, fillBits);
        EXPECT_EQ(ref, dest) << "the reference line receives the row";
        break;
    }
    ASSERT_LE(bit, size * 8);
    for (size_t i = 0; i < dest.size(); ++i) p.Row(y)[i] = static_cast<Byte>(~dest[i]);
    if (p.Width % 8 != 0) p.Row(y)[dest.size() - 1] &= static_cast<Byte>(0xFF00 >> (p.Width % 8));
  }
}

Picture Decode(const std::vector<Byte>& data, Coding coding, Integer width, Integer height, Integer fillOrder = 1,
               bool fillBits = false) {
  Picture p(width, height);
  DecodeStrip(data.data(), static_cast<Integer>(data.size()), coding, fillOrder, fillBits, p, 0, height);
  return p;
}

// "0101 1" <-> bytes, first bit in the most significant bit, the last byte padded with zeros.
std::vector<Byte> FromBitText(const std::string& text) {
  std::vector<Byte> out;
  int n = 0;
  for (char c : text) {
    if (c != '0' && c != '1') continue;
    if (n % 8 == 0) out.push_back(0);
    if (c == '1') out.back() |= static_cast<Byte>(0x80 >> (n % 8));
    ++n;
  }
  return out;
}

Integer BitLength(const std::string& text) {
  return static_cast<Integer>(std::count(text.begin(), text.end(), '0') + std::count(text.begin(), text.end(), '1'));
}

std::string BitText(const std::vector<Byte>& bytes) {
  std::string s;
  for (Byte b : bytes) {
    for (int i = 7; i >= 0; --i) s += ((b >> i) & 1) ? '1' : '0';
  }
  return s;
}

std::vector<Byte> Reversed(std::vector<Byte> bytes) {
  for (Byte& b : bytes) {
    Byte r = 0;
    for (int i = 0; i < 8; ++i) r = static_cast<Byte>(r | (((b >> i) & 1) << (7 - i)));
    b = r;
  }
  return bytes;
}

// --- Round trips through our own encoders and decoders ------------------------------

struct RoundTripCase {
  const char* Name;
  Picture Image;
};

std::vector<RoundTripCase> RoundTripCases() {
  return {
      {"all white 1728", FromRuns({{1728}, {1728}})},
      {"all black 1728", FromRuns({{0, 1728}, {0, 1728}})},
      {"black first, runs of 63 and 64", FromRuns({{0, 63, 64, 63, 64}, {64, 63, 64, 63, 0}, {0, 254}})},
      {"runs of 1728 and 2560", FromRuns({{1728, 2560, 10}, {0, 1728, 2560, 10}, {2560, 1738}})},
      {"runs above 2560", FromRuns({{2561, 3000, 5200}, {0, 2561, 8200}, {10761}})},
      {"width 1", FromRuns({{1}, {0, 1}, {1}, {0, 1}})},
      {"width 7", FromRuns({{3, 4}, {0, 1, 5, 1}, {7}, {0, 7}})},
      {"width 13", FromRuns({{1, 1, 1, 1, 9}, {0, 13}, {12, 1}, {0, 12, 1}})},
      {"every vertical mode and pass",
       FromRuns({{10, 10, 20},
                 {7, 10, 23},   // both edges 3 left
                 {9, 10, 21},   // 2 right
                 {10, 10, 20},  // 1 right
                 {10, 10, 20},  // same
                 {9, 10, 21},   // 1 left
                 {7, 10, 23},   // 2 left
                 {10, 10, 20},  // 3 right
                 {40},          // pass over the black run
                 {4, 2, 4, 2, 28},
                 {40}})},       // two passes
      {"document 1003 x 48", Document(1003, 48, 7)},
      {"document 2701 x 30", Document(2701, 30, 99)},
  };
}

TEST(CcittRoundTrip, EveryCodingGivesTheRowsBack) {
  for (const RoundTripCase& c : RoundTripCases()) {
    for (Coding coding : {Coding::MH, Coding::G3, Coding::G32D, Coding::G4}) {
      SCOPED_TRACE(std::string(c.Name) + ", " + Name(coding));
      const std::vector<Byte> data = Encode(c.Image, coding);
      EXPECT_EQ(FirstDifference(c.Image, Decode(data, coding, c.Image.Width, c.Image.Height)), "");
      // The same stream with every byte's bits reversed, read with FillOrder 2.
      EXPECT_EQ(FirstDifference(c.Image, Decode(Reversed(data), coding, c.Image.Width, c.Image.Height, 2)), "");
    }
  }
}

// --- Code streams pinned bit by bit ---------------------------------------------------

struct BitsCase {
  const char* Name;
  Coding Kind;
  Picture Image;
  const char* Bits;  // the whole stream, spaces between codes, padded to a byte with zeros
};

TEST(CcittEncoder, WritesTheExpectedCodes) {
  const char* eofb = "000000000001 000000000001";
  const BitsCase cases[] = {
      {"MH 1728 white: make-up 1728, terminating 0", Coding::MH, FromRuns({{1728}}), "010011011 00110101"},
      {"MH 3000 white: make-ups 2560 and 384, terminating 56", Coding::MH, FromRuns({{3000}}),
       "000000011111 00110111 01011001"},
      {"MH black first: white 0, black 3, white 2", Coding::MH, FromRuns({{0, 3, 2}}), "00110101 10 0111"},
      {"MH black 64 and 2561", Coding::MH, FromRuns({{0, 64, 2561}}),
       "00110101 0000001111 0000110111 000000011111 000111"},
      {"G3 rows start with EOL and run on without padding", Coding::G3, FromRuns({{5}, {0, 5}}),
       "000000000001 1100 000000000001 00110101 0011"},
      {"G3-2D: tag 1 and runs, then tag 0 and V0, then EOL", Coding::G32D, FromRuns({{2, 3, 3}, {2, 3, 3}}),
       "000000000001 1 0111 10 1000  000000000001 0 1 1 1  000000000001"},
  };
  for (const BitsCase& c : cases) {
    SCOPED_TRACE(c.Name);
    EXPECT_EQ(BitText(Encode(c.Image, c.Kind)), BitText(FromBitText(c.Bits)));
    EXPECT_EQ(FirstDifference(c.Image, Decode(FromBitText(c.Bits), c.Kind, c.Image.Width, c.Image.Height)), "");
  }
  // Group 4 second rows against a first row with black at 10..19 of 40.
  struct ModeCase {
    const char* Name;
    std::vector<Integer> Runs;
    const char* Codes;
  };
  const ModeCase modes[] = {
      {"VL3", {7, 10, 23}, "0000010 0000010 1"}, {"VL2", {8, 10, 22}, "000010 000010 1"},
      {"VL1", {9, 10, 21}, "010 010 1"},         {"V0", {10, 10, 20}, "1 1 1"},
      {"VR1", {11, 10, 19}, "011 011 1"},        {"VR2", {12, 10, 18}, "000011 000011 1"},
      {"VR3", {13, 10, 17}, "0000011 0000011 1"},
      {"pass", {40}, "0001 1"},
      {"horizontal", {2, 30, 8}, "001 0111 000001101000 1"},
  };
  for (const ModeCase& m : modes) {
    SCOPED_TRACE(m.Name);
    const Picture p = FromRuns({{10, 10, 20}, m.Runs});
    // First row: a horizontal pair against the white reference (|10 - 40| > 3),
    // then V0 at the row's end.
    const std::string first = "001 00111 0000100 1";
    EXPECT_EQ(BitText(Encode(p, Coding::G4)),
              BitText(FromBitText(first + " " + m.Codes + " " + eofb)));
    EXPECT_EQ(FirstDifference(p, Decode(Encode(p, Coding::G4), Coding::G4, p.Width, p.Height)), "");
  }
}

TEST(CcittEncoder, EqualRowsInGroup4AreV0CodesThenTwoEols) {
  const Picture p = FromRuns({{3, 5, 9}, {3, 5, 9}, {3, 5, 9}, {3, 5, 9}});
  const std::string text = BitText(Encode(p, Coding::G4));
  // Row 0 is "001 1000 0011 1" (14 bits); rows 1..3 are "1 1 1" each.
  EXPECT_EQ(text, BitText(FromBitText("001 1000 0011 1  111 111 111  000000000001 000000000001")));
}

TEST(CcittEncoder, ShortWritesSetAborting) {
  // A stream that takes nothing.
  class FullStream : public TStream {
   public:
    Integer Read(void*, Integer) override { return 0; }
    Integer Write(const void*, Integer) override { return 0; }
    Int64 Seek(Int64, TSeekOrigin) override { return 0; }
  };
  FullStream full;
  const Picture p = FromRuns({{0, 20}});
  bool aborting = false;
  CCITTHuffmanPutLine(p.Row(0), p.Width, &full, aborting);
  EXPECT_TRUE(aborting);
  aborting = false;
  Byte pending = 0;
  Integer bitCount = 0;
  std::vector<Byte> ref;
  CCITTHuffmanPutLineG4(p.Row(0), p.Width, &full, pending, bitCount, ref, aborting);
  CCITTHuffmanPutLineG4(nullptr, p.Width, &full, pending, bitCount, ref, aborting);
  EXPECT_TRUE(aborting);
}

// --- Decoder specifics ------------------------------------------------------------------

TEST(CcittDecoder, ModifiedHuffmanCountsBytesConsumedWithThePartialLast) {
  const std::vector<Byte> data = FromBitText("010011011 00110101 0000000  1111 1111");  // 1728 white, then more
  std::vector<Byte> dest(216, 0);
  EXPECT_EQ(CCITTHuffmanGetLine(dest.data(), data.data(), static_cast<Integer>(data.size()), 1728, 1), 3);
  EXPECT_EQ(dest, std::vector<Byte>(216, 0xFF));
}

TEST(CcittDecoder, EolBeforeAOneDimensionalRowChangesNothing) {
  const std::string row = "0111 0000111 0111";  // white 2, black 12, white 2
  for (const char* prefix : {"", "000000000001", "0000 000000000001", "000000000001 000000001"}) {
    SCOPED_TRACE(prefix);
    const std::vector<Byte> data = FromBitText(std::string(prefix) + row);
    std::vector<Byte> dest(2, 0);
    _CCITTHuffmanGetLine(dest.data(), data.data(), static_cast<Integer>(data.size()), 16, 0, 1);
    EXPECT_EQ(BitText(dest), "1100000000000011");
  }
}

TEST(CcittDecoder, OneDimensionalEolInsideARowEndsIt) {
  // White 2, black 3, then EOL: the rest stays white; white 2 then EOL in black: black.
  struct Case {
    const char* Bits;
    const char* Row;
  } cases[] = {{"0111 10 000000000001", "1100011111111111"}, {"0111 000000000001", "1100000000000000"}};
  for (const Case& c : cases) {
    const std::vector<Byte> data = FromBitText(c.Bits);
    std::vector<Byte> dest(2, 0);
    EXPECT_EQ(_CCITTHuffmanGetLine(dest.data(), data.data(), static_cast<Integer>(data.size()), 16, 0, 1),
              BitLength(c.Bits));
    EXPECT_EQ(BitText(dest), c.Row);
  }
}

TEST(CcittDecoder, UncompressedModeGivesItsLiteralPixels) {
  struct Case {
    const char* Name;
    const char* Bits;
    const char* Row;
  } cases[] = {
      // 2-D extension; "1" B; "01" WB; "000001" WWWWW; "00001" WWWWB; exit with no
      // whites and tag 1 (black); V0 with no black change above: black to the end.
      {"two-dimensional extension, exit to black", "0000001111 1 01 000001 00001 0000001 1 1",
       "0101111111110000"},
      // 1-D extension; "001" WWB; exit with one white and tag 0; V0: white to the end.
      {"one-dimensional extension, exit to white", "000000001111 001 00000001 0 1", "1101111111111111"},
      // Horizontal white 2 black 1 first, then the extension from a0 = 3.
      {"after a horizontal pair", "001 0111 010 0000001111 00001 0000001 0 1", "1101111011111111"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    const std::vector<Byte> data = FromBitText(c.Bits);
    std::vector<Byte> dest(2, 0);
    std::vector<Byte> ref(2, 0xFF);
    const Integer end =
        CCITT3_2D_GetLine(dest.data(), data.data(), static_cast<Integer>(data.size()), 16, ref.data(), 0, 1, false);
    EXPECT_EQ(BitText(dest), c.Row);
    EXPECT_EQ(end, BitLength(c.Bits));
  }
}

TEST(CcittDecoder, TwoDimensionalDataRowCutShortByEolLeavesItForTheNextRow) {
  // The next row: EOL, tag 1, white 2 and black 14.
  const std::string next = "000000000001 1 0111 00000111";
  struct Case {
    const char* Name;
    const char* Row;  // a row cut short by the next row's EOL
    const char* Pixels;
  } cases[] = {
      // Tag 0, horizontal white 4 black 2: the rest stays white.
      {"two-dimensional", "000000000001 0 001 1011 11", "1111001111111111"},
      // Tag 0, VL3 below the row's end (a1 = 13, colour now black), then the EOL:
      // the rest turns black.
      {"two-dimensional, ending in black", "000000000001 0 0000010", "1111111111111000"},
      // Tag 1, white 2 black 3 white 4, then the EOL in black: the rest turns black.
      {"one-dimensional", "000000000001 1 0111 10 1011", "1100011110000000"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    const std::vector<Byte> data = FromBitText(std::string(c.Row) + next);
    std::vector<Byte> dest(2, 0);
    std::vector<Byte> ref(2, 0xFF);
    const auto len = static_cast<Integer>(data.size());
    const Integer afterRow0 = CCITT3_2D_GetLine(dest.data(), data.data(), len, 16, ref.data(), 0, 1, false);
    EXPECT_EQ(BitText(dest), c.Pixels);
    EXPECT_EQ(afterRow0, BitLength(c.Row));
    const Integer afterRow1 = CCITT3_2D_GetLine(dest.data(), data.data(), len, 16, ref.data(), afterRow0, 1, false);
    EXPECT_EQ(BitText(dest), "1100000000000000");
    EXPECT_EQ(afterRow1, afterRow0 + BitLength(next));
  }
}

TEST(CcittDecoder, FillBitsBeforeEolsAreSkippedWhenDeclared) {
  // Tag-1 row, fill zeros, EOL, tag-0 row of V0 codes (same as the row above).
  const std::string bits = "000000000001 1 0111 0000111 0111  0000000 000000000001 0 1 1 1";
  const std::vector<Byte> data = FromBitText(bits);
  std::vector<Byte> dest(2, 0);
  std::vector<Byte> ref(2, 0xFF);
  const auto len = static_cast<Integer>(data.size());
  Integer pos = CCITT3_2D_GetLine(dest.data(), data.data(), len, 16, ref.data(), 0, 1, true);
  EXPECT_EQ(BitText(dest), "1100000000000011");
  pos = CCITT3_2D_GetLine(dest.data(), data.data(), len, 16, ref.data(), pos, 1, true);
  EXPECT_EQ(BitText(dest), "1100000000000011");
}

// --- libtiff as the peer ----------------------------------------------------------------

using file_test::ReadFile;
using file_test::WriteFile;

// The first page of a TIFF file: the fields a bilevel strip reader needs.
struct TiffPage {
  Integer Width = 0;
  Integer Height = 0;
  Integer Compression = 1;
  Integer Photometric = 0;
  Integer FillOrder = 1;
  Integer T4Options = 0;
  Integer RowsPerStrip = 0;
  std::vector<std::string> Strips;
};

TiffPage ReadTiff(const std::string& file) {
  TiffPage page;
  if (file.size() < 8) {
    ADD_FAILURE() << "not a TIFF file";
    return page;
  }
  const bool big = file[0] == 'M';
  auto u = [&](size_t at, int n) {
    uint32_t v = 0;
    for (int i = 0; i < n; ++i) {
      const auto b = static_cast<uint8_t>(file.at(at + static_cast<size_t>(big ? i : n - 1 - i)));
      v = (v << 8) | b;
    }
    return v;
  };
  const size_t ifd = u(4, 4);
  const uint32_t count = u(ifd, 2);
  std::vector<uint32_t> offsets;
  std::vector<uint32_t> sizes;
  for (uint32_t i = 0; i < count; ++i) {
    const size_t e = ifd + 2 + 12 * i;
    const uint32_t tag = u(e, 2);
    const uint32_t type = u(e + 2, 2);
    const uint32_t n = u(e + 4, 4);
    const int size = type == 3 ? 2 : 4;
    const size_t at = static_cast<size_t>(size) * n <= 4 ? e + 8 : u(e + 8, 4);
    std::vector<uint32_t> values;
    for (uint32_t k = 0; k < n && (type == 3 || type == 4); ++k) {
      values.push_back(u(at + static_cast<size_t>(size) * k, size));
    }
    if (values.empty()) continue;
    const auto first = static_cast<Integer>(values[0]);
    switch (tag) {
      case 256: page.Width = first; break;
      case 257: page.Height = first; break;
      case 259: page.Compression = first; break;
      case 262: page.Photometric = first; break;
      case 266: page.FillOrder = first; break;
      case 273: offsets = values; break;
      case 278: page.RowsPerStrip = first; break;
      case 279: sizes = values; break;
      case 292: page.T4Options = first; break;
      default: break;
    }
  }
  if (page.RowsPerStrip == 0 || page.RowsPerStrip > page.Height) page.RowsPerStrip = page.Height;
  EXPECT_EQ(offsets.size(), sizes.size());
  for (size_t i = 0; i < std::min(offsets.size(), sizes.size()); ++i) {
    page.Strips.push_back(file.substr(offsets[i], sizes[i]));
  }
  return page;
}

// Uncompressed pages as they are stored (bit 1 black for WhiteIsZero).
Picture RawPicture(const TiffPage& page) {
  Picture p(page.Width, page.Height);
  std::string all;
  for (const std::string& s : page.Strips) all += s;
  EXPECT_EQ(page.Compression, 1);
  EXPECT_EQ(page.FillOrder, 1);
  EXPECT_GE(all.size(), p.Bits.size());
  std::copy_n(all.begin(), std::min(all.size(), p.Bits.size()), p.Bits.begin());
  for (Integer y = 0; y < p.Height && p.Width % 8 != 0; ++y) {
    p.Row(y)[p.RowBytes() - 1] &= static_cast<Byte>(0xFF00 >> (p.Width % 8));
  }
  return p;
}

Picture Inverted(Picture p) {
  for (Integer y = 0; y < p.Height; ++y) {
    for (Integer x = 0; x < p.Width; ++x) p.Set(x, y, !p.Black(x, y));
  }
  return p;
}

// A one-page, one-strip little-endian TIFF around a strip of a bilevel picture
// (WhiteIsZero, most significant bit first).
std::string MinimalTiff(const Picture& p, Integer compression, Integer t4Options, const std::vector<Byte>& strip) {
  larktest::TiffBuilder b(true);
  b.Long(256, {static_cast<uint32_t>(p.Width)});
  b.Long(257, {static_cast<uint32_t>(p.Height)});
  b.Short(258, {1});
  b.Short(259, {static_cast<uint16_t>(compression)});
  b.Short(262, {0});
  b.Short(266, {1});
  b.Short(277, {1});
  b.Long(278, {static_cast<uint32_t>(p.Height)});
  if (compression == 3) b.Long(292, {static_cast<uint32_t>(t4Options)});
  b.Strips({std::string(strip.begin(), strip.end())});
  b.EndPage();
  return b.Build();
}

// Source pictures for the peers: a document with every hard case, and one narrow
// enough for strips of few rows.
std::vector<Picture> PeerPictures() { return {Document(2701, 26, 5), Document(203, 61, 11)}; }

// What libtiff decodes a file to: tiffcp -c none, most significant bit first.
Picture LibtiffPixels(const larktest::TempDir& dir, const std::string& path) {
  int rc = -1;
  const std::string raw = dir.Path() + "raw.tif";
  larktest::RunCommand({"tiffcp", "-c", "none", "-f", "msb2lsb", path, raw}, &rc);
  EXPECT_EQ(rc, 0) << "tiffcp -c none " << path;
  return RawPicture(ReadTiff(ReadFile(raw)));
}

// Decodes every strip of a compressed page with our decoders (1 for black is the
// code's black).
Picture OurPixels(const TiffPage& page) {
  Picture p(page.Width, page.Height);
  Coding coding = Coding::MH;
  if (page.Compression == 3) coding = (page.T4Options & 1) != 0 ? Coding::G32D : Coding::G3;
  if (page.Compression == 4) coding = Coding::G4;
  for (size_t s = 0; s < page.Strips.size(); ++s) {
    const std::vector<Byte> strip(page.Strips[s].begin(), page.Strips[s].end());  // exact size for ASan
    DecodeStrip(strip.data(), static_cast<Integer>(strip.size()), coding, page.FillOrder, (page.T4Options & 4) != 0, p,
                static_cast<Integer>(s) * page.RowsPerStrip, page.RowsPerStrip);
  }
  return p;
}

TEST(CcittPeers, StripsWrittenByLibtiffDecodeToLibtiffsRows) {
  if (larktest::RequireProgram("tiffcp").empty()) return;
  larktest::TempDir dir;
  struct Case {
    const char* Compression;  // tiffcp -c, or "mh" for Pillow's Modified Huffman
    const char* FillOrder;
    const char* RowsPerStrip;
    Integer ExpectCompression;
    Integer ExpectT4;
  } cases[] = {
      {"g3", "msb2lsb", "0", 3, 0},         {"g3", "lsb2msb", "7", 3, 0},
      {"g3:fill", "msb2lsb", "5", 3, 4},    {"g3:fill", "lsb2msb", "0", 3, 4},
      {"g3:2d", "msb2lsb", "0", 3, 1},      {"g3:2d", "lsb2msb", "9", 3, 1},
      {"g3:2d:fill", "msb2lsb", "4", 3, 5}, {"g3:2d:fill", "lsb2msb", "0", 3, 5},
      {"g4", "msb2lsb", "0", 4, 0},         {"g4", "lsb2msb", "6", 4, 0},
      {"mh", "msb2lsb", "0", 2, 0},         {"mh", "lsb2msb", "8", 2, 0},
  };
  int picture = 0;
  for (const Picture& source : PeerPictures()) {
    const std::string src = dir.Path() + "src" + std::to_string(picture++) + ".tif";
    WriteFile(src, MinimalTiff(source, 1, 0, source.Bits));
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.Compression) + " " + c.FillOrder + " rows per strip " + c.RowsPerStrip +
                   " width " + std::to_string(source.Width));
      const std::string out = dir.Path() + "out.tif";
      std::vector<std::string> argv = {"tiffcp", "-f", c.FillOrder};
      if (std::string(c.RowsPerStrip) != "0") argv.insert(argv.end(), {"-r", c.RowsPerStrip});
      int rc = -1;
      if (std::string(c.Compression) == "mh") {
        const std::string mh = dir.Path() + "mh.tif";
        larktest::RunCommand({kPython, "-c",
                              "import sys; from PIL import Image; "
                              "Image.open(sys.argv[1]).save(sys.argv[2], compression='tiff_ccitt')",
                              src, mh},
                             &rc);
        ASSERT_EQ(rc, 0) << "Pillow could not write Modified Huffman";
        argv.insert(argv.end(), {mh, out});
      } else {
        argv.insert(argv.end(), {"-c", c.Compression, src, out});
      }
      larktest::RunCommand(argv, &rc);
      ASSERT_EQ(rc, 0);
      const TiffPage page = ReadTiff(ReadFile(out));
      ASSERT_EQ(page.Compression, c.ExpectCompression);
      EXPECT_EQ(page.T4Options & 5, c.ExpectT4);
      EXPECT_EQ(page.FillOrder, std::string(c.FillOrder) == "msb2lsb" ? 1 : 2);
      // libtiff's raw rows have 1 for the code's black whatever the photometric;
      // Pillow writes its page BlackIsZero, so its codes are the picture inverted.
      const Picture theirs = LibtiffPixels(dir, out);
      EXPECT_EQ(FirstDifference(theirs, OurPixels(page)), "");
      EXPECT_EQ(FirstDifference(page.Photometric == 0 ? source : Inverted(source), theirs), "");
    }
  }
}

TEST(CcittPeers, OurStripsAreReadBackByLibtiff) {
  if (larktest::RequireProgram("tiffcp").empty()) return;
  larktest::TempDir dir;
  struct Case {
    Coding Kind;
    Integer Compression;
    Integer T4Options;
  } cases[] = {{Coding::MH, 2, 0}, {Coding::G3, 3, 0}, {Coding::G32D, 3, 1}, {Coding::G4, 4, 0}};
  std::vector<Picture> pictures = PeerPictures();
  for (const RoundTripCase& c : RoundTripCases()) pictures.push_back(c.Image);
  for (const Picture& source : pictures) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(Name(c.Kind)) + " width " + std::to_string(source.Width) + " height " +
                   std::to_string(source.Height));
      const std::string path = dir.Path() + "ours.tif";
      WriteFile(path, MinimalTiff(source, c.Compression, c.T4Options, Encode(source, c.Kind)));
      EXPECT_EQ(FirstDifference(source, LibtiffPixels(dir, path)), "");
    }
  }
}

TEST(CcittPeers, ImageMagickReadsOurGroup4Page) {
  if (larktest::RequireProgram("convert-im6.q16").empty()) return;
  larktest::TempDir dir;
  const Picture source = Document(203, 61, 3);
  const std::string path = dir.Path() + "ours.tif";
  const std::string pbm = dir.Path() + "ours.pbm";
  WriteFile(path, MinimalTiff(source, 4, 0, Encode(source, Coding::G4)));
  int rc = -1;
  larktest::RunCommand({"convert-im6.q16", path, pbm}, &rc);
  ASSERT_EQ(rc, 0);
  // Binary PBM: "P4\n203 61\n", then rows of 1 for black, most significant bit first.
  const std::string file = ReadFile(pbm);
  const std::string header = "P4\n203 61\n";
  ASSERT_EQ(file.substr(0, header.size()), header);
  Picture theirs(source.Width, source.Height);
  ASSERT_EQ(file.size(), header.size() + theirs.Bits.size());
  std::copy(file.begin() + static_cast<std::ptrdiff_t>(header.size()), file.end(), theirs.Bits.begin());
  for (Integer y = 0; y < theirs.Height; ++y) theirs.Row(y)[theirs.RowBytes() - 1] &= 0xF8;
  EXPECT_EQ(FirstDifference(source, theirs), "");
}

// --- Hostile data -----------------------------------------------------------------------

// Decodes rows of data of exactly its size (so a read past it trips the address
// checker) into rows with a guard after them, and checks that every position stays
// inside the data and that the guards are untouched.
void DecodeHostile(const std::vector<Byte>& bytes, Integer width, Integer fillOrder, bool fillBits) {
  const auto len = static_cast<Integer>(bytes.size());
  const std::vector<Byte> data(bytes);
  const size_t rowBytes = (static_cast<size_t>(std::max<Integer>(width, 0)) + 7) / 8;
  std::vector<Byte> dest(rowBytes + 4, 0xA5);
  std::vector<Byte> ref(rowBytes, 0xFF);
  const Byte* src = data.empty() ? nullptr : data.data();
  Integer offset = 0;
  Integer bit1 = 0;
  Integer bit2 = 0;
  for (int row = 0; row < 64; ++row) {
    const Integer used = CCITTHuffmanGetLine(dest.data(), src + offset, len - offset, width, fillOrder);
    ASSERT_GE(used, 0);
    ASSERT_LE(used, len - offset);
    offset += used;
    const Integer next1 = _CCITTHuffmanGetLine(dest.data(), src, len, width, bit1, fillOrder);
    ASSERT_GE(next1, bit1);
    ASSERT_LE(next1, len * 8);
    bit1 = next1;
    const Integer next2 = CCITT3_2D_GetLine(dest.data(), src, len, width, ref.data(), bit2, fillOrder, fillBits);
    ASSERT_GE(next2, bit2);
    ASSERT_LE(next2, len * 8);
    bit2 = next2;
    for (size_t i = rowBytes; i < dest.size(); ++i) ASSERT_EQ(dest[i], 0xA5) << "write past the row";
  }
}

TEST(CcittHostile, RandomBytesEndRowsInsideTheData) {
  uint32_t noise = 2024;
  for (int round = 0; round < 300; ++round) {
    std::vector<Byte> bytes(static_cast<size_t>(round % 97));
    for (Byte& b : bytes) {
      noise = noise * 1103515245u + 12345u;
      b = static_cast<Byte>(noise >> 16);
      // Zero-heavy data reaches EOLs, extensions and fill bits more often.
      if (round % 3 == 0) b &= static_cast<Byte>(noise >> 24);
    }
    const Integer width = 1 + (round * 37) % 3000;
    SCOPED_TRACE("round " + std::to_string(round) + " width " + std::to_string(width));
    DecodeHostile(bytes, width, 1 + round % 2, round % 4 < 2);
  }
}

TEST(CcittHostile, TruncatedStripsAndEndlessZerosEndEveryRow) {
  const Picture p = Document(517, 24, 17);
  for (Coding coding : {Coding::MH, Coding::G3, Coding::G32D, Coding::G4}) {
    const std::vector<Byte> full = Encode(p, coding);
    for (size_t cut = 0; cut < full.size(); cut += 1 + full.size() / 50) {
      SCOPED_TRACE(std::string(Name(coding)) + " cut at " + std::to_string(cut));
      DecodeHostile(std::vector<Byte>(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(cut)), p.Width, 1, true);
      Picture out(p.Width, p.Height);
      const std::vector<Byte> part(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(cut));
      DecodeStrip(part.data(), static_cast<Integer>(part.size()), coding, 1, false, out, 0, p.Height);
    }
  }
  // A long run of zero bits: each decoder consumes it and stops at its end.
  const std::vector<Byte> zeros(4096, 0);
  std::vector<Byte> dest(1000);
  std::vector<Byte> ref(1000, 0xFF);
  EXPECT_EQ(CCITTHuffmanGetLine(dest.data(), zeros.data(), 4096, 8000, 1), 4096);
  EXPECT_EQ(_CCITTHuffmanGetLine(dest.data(), zeros.data(), 4096, 8000, 0, 1), 4096 * 8);
  for (bool fillBits : {false, true}) {
    EXPECT_EQ(CCITT3_2D_GetLine(dest.data(), zeros.data(), 4096, 8000, ref.data(), 0, 2, fillBits), 4096 * 8);
  }
  EXPECT_EQ(dest, std::vector<Byte>(1000, 0xFF)) << "nothing decoded stays white";
}

TEST(CcittHostile, HugeRunsAreClippedToTheRow) {
  // Black make-up codes of 2560 repeated far past a row of 10 pixels, then white
  // codes: the row is black to its end and nothing is written beyond it.
  std::string bits = "00110101";  // white 0
  for (int i = 0; i < 2000; ++i) bits += "000000011111";
  bits += "0000110111";  // black 0 ends the run
  const std::vector<Byte> data = FromBitText(bits);
  std::vector<Byte> dest(2 + 4, 0x5A);
  const Integer used = CCITTHuffmanGetLine(dest.data(), data.data(), static_cast<Integer>(data.size()), 10, 1);
  EXPECT_EQ(used, static_cast<Integer>(data.size()));
  EXPECT_EQ(BitText({dest[0], dest[1]}), "0000000000111111");
  EXPECT_EQ(std::vector<Byte>(dest.begin() + 2, dest.end()), std::vector<Byte>(4, 0x5A));
  // The same runs inside horizontal mode.
  const std::vector<Byte> data2 = FromBitText("001 " + bits);
  std::vector<Byte> ref(2, 0xFF);
  CCITT3_2D_GetLine(dest.data(), data2.data(), static_cast<Integer>(data2.size()), 10, ref.data(), 0, 1, false);
  EXPECT_EQ(BitText({dest[0], dest[1]}), "0000000000111111");
  EXPECT_EQ(std::vector<Byte>(dest.begin() + 2, dest.end()), std::vector<Byte>(4, 0x5A));
}

}  // namespace
