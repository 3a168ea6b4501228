// The GIF image data coders: Pillow's GIFs decoded by us, our code streams decoded by
// Pillow, and hostile code streams that must fail (or succeed) without harm.
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "image/formats/giflzw.h"
#include "platform/rtl/Streams.h"
#include "tests/image/file_test_util.h"
#include "tests/support/Peers.h"

namespace {

const char kPython[] = "/usr/bin/python3";

// Indexes of a picture, row after row.
struct Picture {
  Integer Width = 0;
  Integer Height = 0;
  std::vector<Byte> Pixels;
};

using Pattern = std::function<Byte(Integer x, Integer y, uint32_t noise)>;

Picture MakePicture(Integer width, Integer height, int bits, const Pattern& pattern) {
  Picture p{width, height, std::vector<Byte>(static_cast<size_t>(width) * static_cast<size_t>(height))};
  uint32_t noise = 12345;
  for (Integer y = 0; y < height; ++y) {
    for (Integer x = 0; x < width; ++x) {
      noise = noise * 1103515245u + 12345u;
      p.Pixels[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)] =
          static_cast<Byte>(pattern(x, y, noise >> 16) & ((1u << bits) - 1));
    }
  }
  return p;
}

using file_test::ReadFile;

void WriteFile(const std::string& path, const void* data, size_t size) {
  std::ofstream(path, std::ios::binary).write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
}

void Fill(TMemoryStream& stream, const std::string& bytes) {
  stream.Clear();
  stream.WriteBuffer(bytes.data(), static_cast<Integer>(bytes.size()));
  stream.SetPosition(0);
}

std::string Contents(TMemoryStream& stream) {
  return std::string(static_cast<const char*>(stream.Memory()), static_cast<size_t>(stream.GetSize()));
}

// Where the image data of a GIF's first frame begins, and its layout.
struct FrameData {
  size_t Offset = 0;  // the minimum code size byte
  Integer Width = 0;
  Integer Height = 0;
  bool Interlaced = false;
};

FrameData FindFirstFrame(const std::string& gif) {
  FrameData f;
  auto u8 = [&](size_t at) { return static_cast<Byte>(gif.at(at)); };
  auto u16 = [&](size_t at) { return static_cast<Integer>(u8(at) | (u8(at + 1) << 8)); };
  EXPECT_EQ(gif.substr(0, 3), "GIF");
  size_t at = 13;
  if (u8(10) & 0x80) at += 3u << ((u8(10) & 7) + 1);
  for (;;) {
    const Byte kind = u8(at++);
    if (kind == 0x21) {
      ++at;  // label
      while (u8(at) != 0) at += 1u + u8(at);
      ++at;
    } else if (kind == 0x2C) {
      f.Width = u16(at + 4);
      f.Height = u16(at + 6);
      const Byte packed = u8(at + 8);
      f.Interlaced = (packed & 0x40) != 0;
      at += 9;
      if (packed & 0x80) at += 3u << ((packed & 7) + 1);
      f.Offset = at;
      return f;
    } else {
      ADD_FAILURE() << "no image descriptor in the GIF";
      return f;
    }
  }
}

// Palette entry i: distinct colours, none grey, so that Pillow keeps palette mode.
const char kPaletteExpr[] = "sum(([i, 255 - i, (i * 7 + 1) & 255] for i in range(1 << bits)), [])";

// Pillow writes the picture as a GIF and decodes that file back into indexes.
std::string PillowGif(const larktest::TempDir& dir, const Picture& p, int bits, bool interlace,
                      std::string& decoded) {
  WriteFile(dir.Path() + "in.raw", p.Pixels.data(), p.Pixels.size());
  const std::string script = std::string(
                                 "import sys\n"
                                 "from PIL import Image\n"
                                 "d, w, h, bits, lace = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), "
                                 "int(sys.argv[4]), int(sys.argv[5])\n"
                                 "im = Image.frombytes('P', (w, h), open(d + 'in.raw', 'rb').read())\n"
                                 "im.putpalette(") +
                             kPaletteExpr +
                             ")\n"
                             "im.save(d + 'pillow.gif', interlace=lace, optimize=False)\n"
                             "back = Image.open(d + 'pillow.gif')\n"
                             "back.load()\n"
                             "open(d + 'pillow.raw', 'wb').write(back.tobytes())\n"
                             "print(back.mode)\n";
  int exitCode = -1;
  const std::string mode = larktest::RunCommand({kPython, "-c", script, dir.Path(), std::to_string(p.Width),
                                                 std::to_string(p.Height), std::to_string(bits),
                                                 interlace ? "1" : "0"},
                                                &exitCode);
  EXPECT_EQ(exitCode, 0);
  EXPECT_EQ(mode, "P\n");
  decoded = ReadFile(dir.Path() + "pillow.raw");
  return ReadFile(dir.Path() + "pillow.gif");
}

// A one-frame GIF around image data, with a 2^bits-entry global palette.
std::string WrapGif(Integer width, Integer height, int bits, bool interlaced, const std::string& imageData) {
  auto u16 = [](Integer v) { return std::string{static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF)}; };
  const int depth = bits < 1 ? 1 : bits;
  std::string gif = "GIF89a" + u16(width) + u16(height);
  gif += static_cast<char>(0x80 | ((depth - 1) << 4) | (depth - 1));
  gif += std::string{0, 0};
  for (int i = 0; i < (1 << depth); ++i) {
    gif += static_cast<char>(i);
    gif += static_cast<char>(255 - i);
    gif += static_cast<char>((i * 7 + 1) & 255);
  }
  gif += ',' + u16(0) + u16(0) + u16(width) + u16(height);
  gif += static_cast<char>(interlaced ? 0x40 : 0);
  return gif + imageData + ';';
}

// Pillow's indexes for a GIF file.
std::string PillowDecode(const larktest::TempDir& dir, const std::string& gif) {
  WriteFile(dir.Path() + "ours.gif", gif.data(), gif.size());
  const char script[] =
      "import sys\n"
      "from PIL import Image\n"
      "im = Image.open(sys.argv[1] + 'ours.gif')\n"
      "im.load()\n"
      "open(sys.argv[1] + 'ours.raw', 'wb').write(im.tobytes())\n"
      "print(im.mode)\n";
  int exitCode = -1;
  const std::string mode = larktest::RunCommand({kPython, "-c", script, dir.Path()}, &exitCode);
  EXPECT_EQ(exitCode, 0);
  EXPECT_EQ(mode, "P\n");
  return ReadFile(dir.Path() + "ours.raw");
}

std::string AsString(const std::vector<Byte>& v) { return std::string(v.begin(), v.end()); }

struct PictureCase {
  const char* name;
  Integer width, height;
  int bits;
  bool interlace;
  Pattern pattern;
};

// Noise fills the table again and again; flat areas and stripes make long strings
// and long runs; one pixel, one row and one column are the small edges.
const std::vector<PictureCase>& PictureCases() {
  static const std::vector<PictureCase> cases = {
      {"noise 8 bit", 97, 61, 8, false, [](Integer, Integer, uint32_t n) { return static_cast<Byte>(n); }},
      {"noise 8 bit interlaced", 64, 67, 8, true, [](Integer, Integer, uint32_t n) { return static_cast<Byte>(n); }},
      {"two colours noise", 300, 200, 1, true, [](Integer, Integer, uint32_t n) { return static_cast<Byte>(n >> 3); }},
      {"checker 1 bit", 33, 17, 1, true, [](Integer x, Integer y, uint32_t) { return static_cast<Byte>((x + y) & 1); }},
      {"stripes 4 bit", 200, 150, 4, true,
       [](Integer x, Integer y, uint32_t) { return static_cast<Byte>((x / 7 + y / 11) & 15); }},
      {"flat 3 bit", 640, 480, 3, false, [](Integer, Integer, uint32_t) { return Byte{5}; }},
      {"runs of every length", 1000, 40, 8, false,
       [](Integer x, Integer y, uint32_t) {
         // Runs of 1..n pixels of alternating colours.
         const Integer i = y * 1000 + x;
         Integer k = 1, sum = 0;
         while (sum + k <= i) sum += k++;
         return static_cast<Byte>(k % 2 ? 17 : 200);
       }},
      {"long runs broken by single pixels", 512, 300, 8, false,
       [](Integer x, Integer y, uint32_t) { return static_cast<Byte>((x * 7 + y) % 97 == 0 ? 3 : 9 + (y / 50)); }},
      {"one pixel", 1, 1, 8, false, [](Integer, Integer, uint32_t) { return Byte{200}; }},
      {"one row", 333, 1, 2, false, [](Integer x, Integer, uint32_t n) { return static_cast<Byte>(x < 100 ? 1 : n); }},
      {"one column", 1, 333, 5, true, [](Integer, Integer y, uint32_t) { return static_cast<Byte>(y / 3); }},
  };
  return cases;
}

TEST(GifLzw, DecodesPillowImageData) {
  larktest::TempDir dir;
  for (const PictureCase& c : PictureCases()) {
    const Picture p = MakePicture(c.width, c.height, c.bits, c.pattern);
    std::string expected;
    const std::string gif = PillowGif(dir, p, c.bits, c.interlace, expected);
    ASSERT_EQ(expected.size(), p.Pixels.size()) << c.name;
    const FrameData frame = FindFirstFrame(gif);
    ASSERT_EQ(frame.Width, c.width) << c.name;
    ASSERT_EQ(frame.Height, c.height) << c.name;

    TMemoryStream stream;
    Fill(stream, gif);
    stream.SetPosition(static_cast<Int64>(frame.Offset));
    std::vector<Byte> dest(p.Pixels.size(), 0xEE);
    GIFLZWDecompress(&stream, c.height, c.width, frame.Interlaced, dest.data());
    EXPECT_EQ(AsString(dest), expected) << c.name;
    // Success leaves the stream after the block terminator: here the trailer.
    Byte next = 0;
    ASSERT_EQ(stream.Read(&next, 1), 1) << c.name;
    EXPECT_EQ(next, ';') << c.name;
  }
}

struct Encoder {
  const char* name;
  TGIFLZWCompFunc code;
};
const Encoder kEncoders[] = {{"GIFNONLZWCompress", GIFNONLZWCompress}, {"GIFLZWCompress", GIFLZWCompress}};

std::string Encode(const Encoder& e, const Picture& p, int bits, bool interlace) {
  TMemoryStream out;
  e.code(&out, p.Height, p.Width, interlace, p.Pixels.data(), bits);
  return Contents(out);
}

TEST(GifLzw, PillowDecodesOurEncodersOutput) {
  larktest::TempDir dir;
  for (const PictureCase& c : PictureCases()) {
    const Picture p = MakePicture(c.width, c.height, c.bits, c.pattern);
    for (const Encoder& e : kEncoders) {
      const std::string data = Encode(e, p, c.bits, c.interlace);
      EXPECT_EQ(PillowDecode(dir, WrapGif(c.width, c.height, c.bits, c.interlace, data)), AsString(p.Pixels))
          << e.name << ": " << c.name;

      // And our decoder agrees, ending right after the terminator.
      TMemoryStream in;
      Fill(in, data);
      std::vector<Byte> dest(p.Pixels.size(), 0xEE);
      GIFLZWDecompress(&in, c.height, c.width, c.interlace, dest.data());
      EXPECT_EQ(dest, p.Pixels) << e.name << ": " << c.name;
      EXPECT_EQ(in.GetPosition(), in.GetSize()) << e.name << ": " << c.name;
    }
  }
}

// One colour over more pixels than a table's worth of growing runs: the run-length
// coder has to clear in the middle of a run.
TEST(GifLzw, OneColourImageDecodesToThatColourEverywhere) {
  larktest::TempDir dir;
  for (Integer side : {1, 90, 3000}) {
    const Picture p = MakePicture(side, side, 8, [](Integer, Integer, uint32_t) { return Byte{77}; });
    const std::string data = Encode(kEncoders[0], p, 8, false);
    EXPECT_EQ(PillowDecode(dir, WrapGif(side, side, 8, false, data)), AsString(p.Pixels)) << side;
    TMemoryStream in;
    Fill(in, data);
    std::vector<Byte> dest(p.Pixels.size(), 0);
    GIFLZWDecompress(&in, side, side, false, dest.data());
    EXPECT_EQ(dest, p.Pixels) << side;
  }
}

TEST(GifLzw, BilevelImagesGetMinimumCodeSizeTwo) {
  const Picture p = MakePicture(8, 8, 1, [](Integer x, Integer, uint32_t) { return static_cast<Byte>(x & 1); });
  for (const Encoder& e : kEncoders) {
    const std::string data = Encode(e, p, 1, false);
    ASSERT_FALSE(data.empty());
    EXPECT_EQ(data[0], 2) << e.name;
    EXPECT_EQ(data.back(), 0) << e.name;
  }
}

// ---------------------------------------------------------------------------
// Hand-made code streams

// Builds a code stream, keeping the code width as a decoder does.
class CodeStream {
 public:
  explicit CodeStream(int minCodeSize) : m_(minCodeSize) { Reset(); }
  CodeStream& Clear() {
    Put(1u << m_);
    Reset();
    return *this;
  }
  CodeStream& End() {
    Put((1u << m_) + 1);
    return *this;
  }
  CodeStream& Code(uint32_t code) {
    Put(code);
    if (!first_ && next_ < 4096) {
      ++next_;
      if (next_ == (1u << width_) && width_ < 12) ++width_;
    }
    first_ = false;
    return *this;
  }
  uint32_t Next() const { return next_; }
  // The minimum code size byte, the codes in sub-blocks of up to 255 bytes, and the
  // terminator.
  std::string Bytes() const {
    std::string packed = data_;
    if (bitCount_ > 0) packed += static_cast<char>(bits_ & 0xFF);
    std::string out(1, static_cast<char>(m_));
    for (size_t at = 0; at < packed.size(); at += 255) {
      const size_t n = std::min<size_t>(255, packed.size() - at);
      out += static_cast<char>(n);
      out += packed.substr(at, n);
    }
    return out + '\0';
  }

 private:
  void Reset() {
    width_ = m_ + 1;
    next_ = (1u << m_) + 2;
    first_ = true;
  }
  void Put(uint32_t code) {
    bits_ |= static_cast<uint64_t>(code) << bitCount_;
    bitCount_ += width_;
    while (bitCount_ >= 8) {
      data_ += static_cast<char>(bits_ & 0xFF);
      bits_ >>= 8;
      bitCount_ -= 8;
    }
  }

  int m_;
  int width_ = 0;
  uint32_t next_ = 0;
  bool first_ = true;
  std::string data_;
  uint64_t bits_ = 0;
  int bitCount_ = 0;
};

// Literal 0 after a clear, then 0s until the table is full (next free code 4096).
CodeStream FullTable() {
  CodeStream s(8);
  s.Clear();
  while (s.Next() < 4096) s.Code(0);
  return s;
}

struct HostileCase {
  const char* name;
  std::string bytes;  // from the minimum code size byte on
  Integer width, height;
  bool interlaced;
  bool succeeds;
  std::string pixels;  // expected Dest when it succeeds (untouched pixels stay 0xEE)
};

std::string Pixels(std::initializer_list<int> values) {
  std::string s;
  for (int v : values) s += static_cast<char>(v);
  return s;
}

const std::vector<HostileCase>& HostileCases() {
  const std::string untouched4(4, '\xEE');
  static const std::vector<HostileCase> cases = {
      {"minimum code size 1", std::string("\x01\x02\x4C\x01\x00", 5), 2, 2, false, false, ""},
      {"minimum code size 10", CodeStream(8).Clear().Code(1).End().Bytes().replace(0, 1, "\x0A"), 2, 2, false,
       false, ""},
      {"minimum code size 9 stores the low byte", CodeStream(9).Clear().Code(1).Code(300).End().Bytes(), 2, 1, false,
       true, Pixels({1, 44})},
      {"code past the next free code", CodeStream(2).Clear().Code(1).Code(7).End().Bytes(), 2, 2, false, false, ""},
      {"code equal to the next free code", CodeStream(2).Clear().Code(1).Code(6).End().Bytes(), 3, 1, false, true,
       Pixels({1, 1, 1})},
      {"first code after clear past the table is 0", CodeStream(2).Clear().Code(7).Code(1).End().Bytes(), 2, 1, false,
       true, Pixels({0, 1})},
      {"full table then a code", FullTable().Code(0).End().Bytes(), 100, 100, false, false, ""},
      {"full table then clear", FullTable().Clear().Code(3).End().Bytes(), 4000, 1, false, true, ""},
      {"end right after clear with data left", CodeStream(2).Clear().End().Code(1).Code(1).Code(1).Code(1).Code(1)
           .Code(1).Bytes(), 2, 2, false, false, ""},
      {"end right after clear at the end", CodeStream(2).Clear().Code(1).Clear().End().Bytes(), 2, 2, false, true,
       Pixels({1, '\xEE', '\xEE', '\xEE'})},
      {"clears in a row", CodeStream(2).Clear().Clear().Clear().Code(2).Code(3).End().Bytes(), 2, 1, false, true,
       Pixels({2, 3})},
      {"no clear at the start", CodeStream(2).Code(3).Code(2).End().Bytes(), 2, 1, false, true, Pixels({3, 2})},
      {"no end code", CodeStream(3).Clear().Code(1).Code(2).Code(3).Bytes(), 2, 2, false, true,
       Pixels({1, 2, 3, '\xEE'})},
      {"more pixels than the image", CodeStream(2).Clear().Code(1).Code(6).Code(7).Code(8).Code(9).End().Bytes(), 2,
       2, false, true, Pixels({1, 1, 1, 1})},
      {"empty code stream", std::string("\x02\x00", 2), 2, 2, false, true, untouched4},
      {"sub-block cut short", std::string("\x02\x10\x4C\x01", 4), 2, 2, false, false, ""},
      {"terminator missing", CodeStream(2).Clear().Code(1).End().Bytes().substr(0, 3), 2, 2, false, false, ""},
      {"only the code size", std::string("\x02", 1), 2, 2, false, false, ""},
      {"nothing at all", std::string(), 2, 2, false, false, ""},
      {"negative width", CodeStream(2).Clear().Code(1).End().Bytes(), -2, 2, false, false, ""},
      {"zero height", CodeStream(2).Clear().Code(1).End().Bytes(), 2, 0, false, true, ""},
      {"interlaced rows arrive in pass order",
       CodeStream(4).Clear().Code(0).Code(1).Code(2).Code(3).Code(4).Code(5).Code(6).Code(7).Code(8).Code(9).End()
           .Bytes(),
       1, 10, true, true, Pixels({0, 5, 3, 6, 2, 7, 4, 8, 1, 9})},
      {"interlaced short image", CodeStream(4).Clear().Code(0).Code(1).Code(2).End().Bytes(), 1, 3, true, true,
       Pixels({0, 2, 1})},
  };
  return cases;
}

TEST(GifLzw, HostileCodeStreams) {
  for (const HostileCase& c : HostileCases()) {
    const std::string prefix = "XYZ";  // the decoder starts in the middle of a stream
    TMemoryStream stream;
    // What follows the image data must stay unread; cut-off data ends the stream.
    Fill(stream, prefix + c.bytes + (c.succeeds ? ";trailing" : ""));
    stream.SetPosition(static_cast<Int64>(prefix.size()));
    const size_t pixels = c.width > 0 && c.height > 0 ? static_cast<size_t>(c.width) * static_cast<size_t>(c.height) : 0;
    // Guard bytes on both sides catch any write outside the frame.
    std::vector<Byte> buffer(pixels + 32, 0xEE);
    GIFLZWDecompress(&stream, c.height, c.width, c.interlaced, buffer.data() + 16);

    const Int64 after = static_cast<Int64>(prefix.size() + c.bytes.size());
    if (c.succeeds) {
      EXPECT_EQ(stream.GetPosition(), after) << c.name;
    } else {
      EXPECT_EQ(stream.GetPosition(), static_cast<Int64>(prefix.size())) << c.name;
    }
    for (size_t i = 0; i < 16; ++i) {
      EXPECT_EQ(buffer[i], 0xEE) << c.name << ": written before Dest";
      EXPECT_EQ(buffer[16 + pixels + i], 0xEE) << c.name << ": written past Dest";
    }
    if (c.succeeds && !c.pixels.empty()) {
      EXPECT_EQ(std::string(buffer.begin() + 16, buffer.begin() + 16 + static_cast<long>(pixels)), c.pixels)
          << c.name;
    }
  }
}

}  // namespace
