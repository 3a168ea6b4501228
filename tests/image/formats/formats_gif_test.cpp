// The GIF codec: files written by Pillow and ImageMagick read pixel for pixel as
// Pillow decodes them, our files read back by Pillow, and damaged files that end
// in the abort flag.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "image/formats/giffilter.h"
#include "image/formats/giflzw.h"
#include "tests/image/gif_coders.h"
#include "platform/rtl/Streams.h"
#include "tests/image/file_test_util.h"
#include "tests/support/Peers.h"
#include "tests/support/Sweep.h"

namespace {

const char kPython[] = "/usr/bin/python3";
const char kConvert[] = "convert-im6.q16";

using file_test::ReadFile;

void Fill(TMemoryStream& stream, const std::string& bytes) {
  stream.Clear();
  stream.WriteBuffer(bytes.data(), static_cast<Integer>(bytes.size()));
  stream.SetPosition(0);
}

std::string Contents(TMemoryStream& stream) {
  return std::string(static_cast<const char*>(stream.Memory()), static_cast<size_t>(stream.GetSize()));
}

// What Pillow decodes of one frame: the frame count, the size and RGBA bytes.
struct PillowFrame {
  int Frames = 0;
  int Width = 0;
  int Height = 0;
  std::string Rgba;
};

PillowFrame PillowDecode(const larktest::TempDir& dir, const std::string& gifPath, int index) {
  const std::string dump = dir.Path() + "/dump.rgba";
  const std::string script =
      "import sys\n"
      "from PIL import Image\n"
      "im = Image.open(sys.argv[1])\n"
      "n = getattr(im, 'n_frames', 1)\n"
      "im.seek(int(sys.argv[3]))\n"
      "rgba = im.convert('RGBA')\n"
      "open(sys.argv[2], 'wb').write(rgba.tobytes())\n"
      "print(n, rgba.size[0], rgba.size[1])\n";
  int code = -1;
  const std::string out =
      larktest::RunCommand({kPython, "-c", script, gifPath, dump, std::to_string(index)}, &code);
  PillowFrame f;
  EXPECT_EQ(code, 0) << out;
  std::istringstream(out) >> f.Frames >> f.Width >> f.Height;
  f.Rgba = ReadFile(dump);
  return f;
}

// Pillow script prelude: frame(w, h, ncol, seed) makes a palette image whose
// colours are all distinct within the frame and from every other seed's.
const char kPillowPrelude[] =
    "import sys\n"
    "from PIL import Image\n"
    "out = sys.argv[1]\n"
    "def frame(w, h, ncol, seed, pal=None):\n"
    "    im = Image.new('P', (w, h))\n"
    "    if pal is None:\n"
    "        pal = []\n"
    "        for i in range(ncol): pal += [i, (seed * 80 + i * 3) % 256, 255 - i]\n"
    "    im.putpalette(pal)\n"
    "    im.putdata([(x * 3 + y * 5 + seed + (x * y) % 7) % ncol for y in range(h) for x in range(w)])\n"
    "    return im\n";

class GifCodec : public ::testing::Test {
 protected:
  void SetUp() override {
    params_ = std::make_unique<TIOParamsVals>(nullptr);
    progress_.Aborting = &aborting_;
  }

  // Reads frame `index` of the bytes; answers whether it succeeded.
  bool Read(const std::string& bytes, Integer index = 0, bool preview = false) {
    TMemoryStream stream;
    Fill(stream, bytes);
    params_->GIF_ImageIndex = index;
    aborting_ = false;
    count_ = -1;
    ReadGifStream(&stream, &bitmap_, count_, *params_, progress_, preview, mask_, false);
    return !aborting_;
  }

  TRGB PixelAt(Integer x, Integer y) {
    if (bitmap_.GetPixelFormat() == ie1g) {
      const Byte* row = static_cast<const Byte*>(bitmap_.GetScanLine(y));
      const bool white = (row[x >> 3] & (0x80 >> (x & 7))) != 0;
      const Byte v = white ? 255 : 0;
      return TRGB{v, v, v};
    }
    return static_cast<const TRGB*>(bitmap_.GetScanLine(y))[x];
  }

  // Compares the frame read with Pillow's RGBA: colours where opaque, and the
  // mask's transparent pixels where Pillow's alpha is 0.
  void ExpectPixelsAsPillow(const PillowFrame& f, const std::string& what) {
    ASSERT_EQ(bitmap_.GetWidth(), f.Width) << what;
    ASSERT_EQ(bitmap_.GetHeight(), f.Height) << what;
    ASSERT_EQ(f.Rgba.size(), static_cast<size_t>(f.Width) * static_cast<size_t>(f.Height) * 4) << what;
    ASSERT_TRUE(mask_) << what;
    int wrong = 0;
    for (int y = 0; y < f.Height; ++y) {
      for (int x = 0; x < f.Width; ++x) {
        const unsigned char* p = reinterpret_cast<const unsigned char*>(f.Rgba.data()) +
                                 (static_cast<size_t>(y) * static_cast<size_t>(f.Width) + static_cast<size_t>(x)) * 4;
        const Byte alpha = mask_->GetScanLine(y)[x];
        const TRGB c = PixelAt(x, y);
        const bool same = (p[3] == 0) ? alpha == 0 : (alpha == 255 && c == TRGB{p[2], p[1], p[0]});
        if (!same && ++wrong <= 3) {
          ADD_FAILURE() << what << ": pixel " << x << "," << y << " is " << int(c.r) << "," << int(c.g) << ","
                        << int(c.b) << " alpha " << int(alpha) << "; Pillow " << int(p[0]) << "," << int(p[1])
                        << "," << int(p[2]) << "," << int(p[3]);
        }
      }
    }
    EXPECT_EQ(wrong, 0) << what;
  }

  TIEBitmap bitmap_;
  std::unique_ptr<TIEMask> mask_;
  std::unique_ptr<TIOParamsVals> params_;
  TProgressRec progress_;
  bool aborting_ = false;
  Integer count_ = -1;

 private:
  larktest::ScopedGifCoders gifCoders_;
};

struct PillowCase {
  const char* name;
  const char* code;  // makes `out` after the prelude
  int index;         // frame to read
  int frames;
  bool interlaced;
  bool transparent;
};

const PillowCase kPillowCases[] = {
    {"two colours red and blue", "frame(13, 7, 2, 0, [255,0,0, 0,0,255]).save(out)\n", 0, 1, false, false},
    {"black and white, interlaced", "frame(21, 17, 2, 0, [0,0,0, 255,255,255]).save(out)\n", 0, 1, true, false},
    {"16 colours interlaced", "frame(40, 33, 16, 1).save(out, interlace=True)\n", 0, 1, true, false},
    {"256 colours", "frame(64, 48, 256, 2).save(out, interlace=False)\n", 0, 1, false, false},
    {"transparent index", "frame(20, 18, 16, 3).save(out, transparency=5, interlace=False)\n", 0, 1, false, true},
    {"third of three frames with local palettes",
     "f = [frame(23, 19, 16, s) for s in range(3)]\n"
     "f[0].save(out, save_all=True, append_images=f[1:], duration=[10, 20, 30], interlace=False)\n",
     2, 3, false, false},
    {"first of three frames",
     "f = [frame(23, 19, 4, s) for s in range(3)]\n"
     "f[0].save(out, save_all=True, append_images=f[1:], duration=[10, 20, 30])\n",
     0, 3, false, false},
};

TEST_F(GifCodec, ReadsPillowFilesAsPillowDecodesThem) {
  larktest::TempDir dir;
  for (const PillowCase& c : kPillowCases) {
    const std::string path = dir.Path() + "/in.gif";
    int code = -1;
    const std::string out =
        larktest::RunCommand({kPython, "-c", std::string(kPillowPrelude) + c.code, path}, &code);
    ASSERT_EQ(code, 0) << c.name << ": " << out;
    const PillowFrame f = PillowDecode(dir, path, c.index);
    ASSERT_EQ(f.Frames, c.frames) << c.name;

    mask_.reset();
    params_->GIF_Comments->Clear();
    ASSERT_TRUE(Read(ReadFile(path), c.index)) << c.name;
    EXPECT_EQ(count_, c.frames) << c.name;
    EXPECT_EQ(params_->GIF_ImageCount, c.frames) << c.name;
    EXPECT_EQ(params_->GIF_Interlaced, c.interlaced) << c.name;
    EXPECT_EQ(params_->GIF_FlagTranspColor, c.transparent) << c.name;
    EXPECT_EQ(params_->Width, f.Width) << c.name;
    EXPECT_EQ(params_->Height, f.Height) << c.name;
    EXPECT_EQ(params_->SamplesPerPixel, 1) << c.name;
    EXPECT_EQ(params_->ColorMapCount, 1 << params_->BitsPerSample) << c.name;
    ExpectPixelsAsPillow(f, c.name);
  }
}

TEST_F(GifCodec, MultiFrameReadGivesDelayOfTheChosenFrameAndCountsAll) {
  larktest::TempDir dir;
  const std::string path = dir.Path() + "/in.gif";
  const std::string code =
      std::string(kPillowPrelude) +
      "f = [frame(9, 5, 4, s) for s in range(3)]\n"
      "f[0].save(out, save_all=True, append_images=f[1:], duration=[10, 20, 30])\n";
  ASSERT_EQ(larktest::RunCommand({kPython, "-c", code, path}).size(), 0u);
  const std::string bytes = ReadFile(path);
  for (Integer i = 0; i < 3; ++i) {
    ASSERT_TRUE(Read(bytes, i)) << i;
    EXPECT_EQ(count_, 3);
    EXPECT_EQ(params_->GIF_DelayTime, (i + 1)) << i;
  }
}

struct MagickCase {
  const char* name;
  std::vector<std::string> args;  // before the output file
  const char* prefix;             // format prefix of the output
  int index;
  int frames;
  const char* version;
};

TEST_F(GifCodec, ReadsImageMagickFilesAsPillowDecodesThem) {
  larktest::RequireProgram(kConvert);
  const std::vector<MagickCase> cases = {
      {"GIF87a plasma, 16 colours", {"-seed", "1", "-size", "31x17", "plasma:", "-colors", "16"}, "GIF87:", 0, 1,
       "GIF87a"},
      {"two frames with local palettes, second",
       {"-seed", "2", "-size", "24x16", "plasma:", "-colors", "16", "-size", "24x16", "gradient:blue-yellow",
        "-colors", "8"},
       "GIF:", 1, 2, "GIF89a"},
      {"interlaced 256 colours",
       {"-seed", "3", "-size", "40x30", "plasma:", "-colors", "256", "-interlace", "GIF"}, "GIF:", 0, 1, "GIF89a"},
      {"transparent background",
       {"-size", "20x12", "xc:none", "-fill", "red", "-draw", "rectangle 3,2 12,8"}, "GIF:", 0, 1, "GIF89a"},
  };
  larktest::TempDir dir;
  for (const MagickCase& c : cases) {
    const std::string path = dir.Path() + "/im.gif";
    std::vector<std::string> argv{kConvert};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    argv.push_back(std::string(c.prefix) + path);
    int code = -1;
    const std::string out = larktest::RunCommand(argv, &code);
    ASSERT_EQ(code, 0) << c.name << ": " << out;
    const PillowFrame f = PillowDecode(dir, path, c.index);
    ASSERT_EQ(f.Frames, c.frames) << c.name;
    mask_.reset();
    ASSERT_TRUE(Read(ReadFile(path), c.index)) << c.name;
    EXPECT_EQ(count_, c.frames) << c.name;
    EXPECT_EQ(params_->GIF_Version, std::string(c.version, 6) + '\0') << c.name;
    ExpectPixelsAsPillow(f, c.name);
  }
}

// ---------------------------------------------------------------------------
// Hand-made files

// A GIF byte by byte; frame data coded by our run-length coder.
struct GifBuilder {
  std::string bytes;
  GifBuilder& Raw(std::initializer_list<int> b) {
    for (int v : b) bytes.push_back(static_cast<char>(v));
    return *this;
  }
  GifBuilder& Word(int v) { return Raw({v & 0xFF, (v >> 8) & 0xFF}); }
  GifBuilder& Header(int w, int h, int packed, int background = 0, const char* version = "GIF89a") {
    bytes += version;
    Word(w).Word(h);
    return Raw({packed, background, 0});
  }
  GifBuilder& Table(const std::vector<TRGB>& entries) {
    for (const TRGB& c : entries) Raw({c.r, c.g, c.b});
    return *this;
  }
  GifBuilder& Control(bool transparent, int delay, int index) {
    Raw({0x21, 0xF9, 4, transparent ? 1 : 0});
    Word(delay);
    return Raw({index, 0});
  }
  GifBuilder& Comment(const std::string& text) {
    Raw({0x21, 0xFE});
    if (!text.empty()) {
      Raw({static_cast<int>(text.size())});
      bytes += text;
    }
    return Raw({0});
  }
  GifBuilder& Image(int x, int y, int w, int h, int packed, const std::vector<Byte>& pixels, int bits = 8) {
    Raw({0x2C});
    Word(x).Word(y).Word(w).Word(h);
    Raw({packed});
    TMemoryStream data;
    GIFNONLZWCompress(&data, h, w, (packed & 0x40) != 0, pixels.data(), bits);
    bytes += Contents(data);
    return *this;
  }
  GifBuilder& End() { return Raw({0x3B}); }
};

const TRGB kBlack{0, 0, 0};
const TRGB kWhite{255, 255, 255};
const TRGB kRed{0, 0, 255};
const TRGB kBlue{255, 0, 0};
const TRGB kGreen{0, 255, 0};

std::vector<Byte> Indexes(int count, std::initializer_list<int> cycle) {
  std::vector<Byte> v;
  const std::vector<int> c(cycle);
  for (int i = 0; i < count; ++i) v.push_back(static_cast<Byte>(c[static_cast<size_t>(i) % c.size()]));
  return v;
}

TEST_F(GifCodec, BlackAndWhiteFrameReadsAsBilevelOtherTwoColourFramesAsRgb) {
  const std::vector<Byte> px = Indexes(12, {0, 1, 1});
  GifBuilder bw;
  bw.Header(4, 3, 0x80).Table({kBlack, kWhite}).Image(0, 0, 4, 3, 0, px).End();
  ASSERT_TRUE(Read(bw.bytes));
  EXPECT_EQ(bitmap_.GetPixelFormat(), ie1g);
  EXPECT_EQ(params_->BitsPerSample, 1);
  EXPECT_EQ(PixelAt(0, 0), kBlack);
  EXPECT_EQ(PixelAt(1, 0), kWhite);

  GifBuilder rb;
  rb.Header(4, 3, 0x80).Table({kRed, kBlue}).Image(0, 0, 4, 3, 0, px).End();
  ASSERT_TRUE(Read(rb.bytes));
  EXPECT_EQ(bitmap_.GetPixelFormat(), ie24RGB);
  ASSERT_EQ(params_->ColorMapCount, 2);
  EXPECT_EQ(params_->ColorMap[1], kBlue);
  EXPECT_EQ(PixelAt(0, 0), kRed);
  EXPECT_EQ(PixelAt(2, 0), kBlue);
}

TEST_F(GifCodec, HeaderFieldsAndCommentsOfAllFramesAreRead) {
  GifBuilder g;
  g.Header(300, 200, 0x80, 1, "GIF87a").Table({kRed, kGreen});
  g.Comment("first").Image(5, 6, 2, 2, 0, Indexes(4, {0})).Comment("").Comment("second").End();
  ASSERT_TRUE(Read(g.bytes));
  EXPECT_EQ(params_->GIF_Version.size(), 7u);
  EXPECT_EQ(params_->GIF_Version, std::string("GIF87a") + '\0');
  EXPECT_EQ(params_->GIF_WinWidth, 300);
  EXPECT_EQ(params_->GIF_WinHeight, 200);
  EXPECT_EQ(params_->GIF_Background, kGreen);
  EXPECT_EQ(params_->GIF_XPos, 5);
  EXPECT_EQ(params_->GIF_YPos, 6);
  ASSERT_EQ(params_->GIF_Comments->GetCount(), 2);
  EXPECT_EQ(params_->GIF_Comments->Strings(0), "first");
  EXPECT_EQ(params_->GIF_Comments->Strings(1), "second");
  // No graphic control extension: nothing transparent.
  EXPECT_FALSE(params_->GIF_FlagTranspColor);
  ASSERT_TRUE(mask_);
  EXPECT_EQ(mask_->GetScanLine(0)[0], 255);
}

TEST_F(GifCodec, PreviewFillsParamsOnly) {
  GifBuilder g;
  g.Header(4, 3, 0x80).Table({kRed, kBlue}).Image(0, 0, 4, 3, 0, Indexes(12, {1})).End();
  ASSERT_TRUE(Read(g.bytes, 0, true));
  EXPECT_EQ(params_->Width, 4);
  EXPECT_EQ(params_->ColorMapCount, 2);
  EXPECT_EQ(bitmap_.GetWidth(), 0);
  EXPECT_FALSE(mask_);
}

// Indexes past the table, a transparent or background index past it, and no table
// at all.
TEST_F(GifCodec, IndexesPastTheColourTableReadAsBlackWithoutTransparency) {
  GifBuilder g;
  g.Header(3, 1, 0x80, 9).Table({kRed, kBlue}).Control(true, 0, 7).Image(0, 0, 3, 1, 0, {0, 1, 200}).End();
  ASSERT_TRUE(Read(g.bytes));
  EXPECT_EQ(params_->GIF_Background, kBlack);
  EXPECT_FALSE(params_->GIF_FlagTranspColor);
  EXPECT_EQ(PixelAt(0, 0), kRed);
  EXPECT_EQ(PixelAt(1, 0), kBlue);
  EXPECT_EQ(PixelAt(2, 0), kBlack);
  EXPECT_EQ(mask_->GetScanLine(0)[2], 255);

  // With no table anywhere the indexes are grey levels.
  GifBuilder none;
  none.Header(2, 1, 0).Image(0, 0, 2, 1, 0, {10, 200}).End();
  ASSERT_TRUE(Read(none.bytes));
  EXPECT_EQ(PixelAt(0, 0), (TRGB{10, 10, 10}));
  EXPECT_EQ(PixelAt(1, 0), (TRGB{200, 200, 200}));
}

TEST_F(GifCodec, LocalTableTransparencyAndFrameOutsideTheScreen) {
  GifBuilder g;
  g.Header(2, 2, 0x80).Table({kRed, kBlue});
  g.Control(true, 7, 1).Image(60000, 60000, 3, 2, 0x81, Indexes(6, {0, 1, 2, 3}));
  g.Table({kGreen, kWhite, kBlue, kRed});  // wrong place: the table must come before the data
  ASSERT_FALSE(Read(g.bytes));             // the data above was taken as the table

  GifBuilder ok;
  ok.Header(2, 2, 0x80).Table({kRed, kBlue}).Control(true, 7, 1);
  ok.Raw({0x2C}).Word(60000).Word(60000).Word(3).Word(2).Raw({0x81});
  ok.Table({kGreen, kWhite, kBlue, kRed});
  TMemoryStream data;
  const std::vector<Byte> px = Indexes(6, {0, 1, 2, 3});
  GIFNONLZWCompress(&data, 2, 3, false, px.data(), 2);
  ok.bytes += Contents(data);
  ok.End();
  ASSERT_TRUE(Read(ok.bytes));
  EXPECT_EQ(params_->GIF_XPos, 60000);
  EXPECT_EQ(params_->GIF_DelayTime, 7);
  EXPECT_TRUE(params_->GIF_FlagTranspColor);
  EXPECT_EQ(params_->GIF_TranspColor, kWhite);
  EXPECT_EQ(params_->ColorMapCount, 4);
  EXPECT_EQ(PixelAt(0, 0), kGreen);
  EXPECT_EQ(PixelAt(2, 0), kBlue);
  EXPECT_EQ(mask_->GetScanLine(0)[1], 0);
  EXPECT_EQ(mask_->GetScanLine(0)[0], 255);
}

// An index past the last frame fails, leaves the bitmap alone and still
// counts the frames.
TEST_F(GifCodec, IndexPastTheLastFrameFailsAndCountsTheFrames) {
  GifBuilder g;
  g.Header(2, 1, 0x80).Table({kRed, kBlue}).Image(0, 0, 2, 1, 0, {0, 1}).Image(0, 0, 2, 1, 0, {1, 0}).End();
  params_->Width = 77;
  EXPECT_FALSE(Read(g.bytes, 5));
  EXPECT_EQ(count_, 2);
  EXPECT_EQ(params_->GIF_ImageCount, 2);
  EXPECT_EQ(params_->Width, 77);
  EXPECT_EQ(bitmap_.GetWidth(), 0);
}

TEST_F(GifCodec, DamagedFilesEndInTheAbortFlag) {
  GifBuilder good;
  good.Header(4, 2, 0x81).Table({kRed, kBlue, kGreen, kWhite}).Comment("c").Control(false, 0, 0);
  good.Image(0, 0, 4, 2, 0, Indexes(8, {0, 1, 2, 3}), 2).End();
  ASSERT_TRUE(Read(good.bytes));
  const size_t imageAt = good.bytes.find('\x2C', 13 + 12);

  std::vector<std::pair<std::string, std::string>> cases;
  cases.emplace_back("empty", "");
  cases.emplace_back("no signature", "GIX89a" + good.bytes.substr(6));
  for (size_t cut : {size_t{5}, size_t{12}, size_t{20}, size_t{27}, imageAt + 4, imageAt + 12})
    cases.emplace_back("cut at " + std::to_string(cut), good.bytes.substr(0, cut));
  cases.emplace_back("cut in image data", good.bytes.substr(0, good.bytes.size() - 4));
  {
    GifBuilder g;
    g.Header(0, 0, 0x80).Table({kRed, kBlue}).Image(0, 0, 0, 5, 0, {}).End();
    cases.emplace_back("zero width frame", g.bytes);
  }
  {
    GifBuilder g;
    g.Header(2, 2, 0x80).Table({kRed, kBlue}).Raw({0x2C}).Word(0).Word(0).Word(65535).Word(65535).Raw({0, 2, 0});
    g.End();
    cases.emplace_back("frame too large", g.bytes);
  }
  {
    GifBuilder g;
    g.Header(2, 2, 0x80).Table({kRed, kBlue}).Raw({0x2C}).Word(0).Word(0).Word(2).Word(2).Raw({0, 12, 1, 0, 0});
    g.End();
    cases.emplace_back("bad minimum code size", g.bytes);
  }
  {
    GifBuilder g;
    g.Header(2, 1, 0x80).Table({kRed, kBlue}).Raw({0x21, 0xFF, 11}).bytes += "NETSCAPE2.0";
    g.Raw({3, 1});  // sub-block cut off before the frame
    cases.emplace_back("extension cut before the frame", g.bytes);
  }
  for (const auto& [name, bytes] : cases) {
    mask_.reset();
    EXPECT_FALSE(Read(bytes)) << name;
  }
}

TEST_F(GifCodec, MissingDecoderOrEncoderFails) {
  GifBuilder g;
  g.Header(2, 1, 0x80).Table({kRed, kBlue}).Image(0, 0, 2, 1, 0, {0, 1}).End();
  DefGIF_LZWDECOMPFUNC = nullptr;
  params_->GIF_LZWDecompFunc = nullptr;
  EXPECT_FALSE(Read(g.bytes));
  params_->GIF_LZWDecompFunc = GIFLZWDecompress;
  EXPECT_TRUE(Read(g.bytes));

  DefGIF_LZWCOMPFUNC = nullptr;
  params_->GIF_LZWCompFunc = nullptr;
  TMemoryStream out;
  aborting_ = false;
  WriteGifStream(&out, &bitmap_, *params_, progress_);
  EXPECT_TRUE(aborting_);
}

// ---------------------------------------------------------------------------
// Writer

// Fills an ie24RGB bitmap with `colours` distinct colours.
void PaintColours(TIEBitmap& bmp, Integer w, Integer h, int colours) {
  bmp.Allocate(w, h, ie24RGB);
  for (Integer y = 0; y < h; ++y) {
    TRGB* row = static_cast<TRGB*>(bmp.GetScanLine(y));
    for (Integer x = 0; x < w; ++x) {
      const int i = (x * 7 + y * 3 + (x * y) % 5) % colours;
      row[x] = TRGB{static_cast<Byte>(255 - i), static_cast<Byte>(i * 13), static_cast<Byte>(i)};
    }
  }
}

std::string BitmapRgb(TIEBitmap& bmp) {
  std::string s;
  for (Integer y = 0; y < bmp.GetHeight(); ++y) {
    for (Integer x = 0; x < bmp.GetWidth(); ++x) {
      TRGB c;
      if (bmp.GetPixelFormat() == ie1g) {
        const Byte v = (static_cast<const Byte*>(bmp.GetScanLine(y))[x >> 3] & (0x80 >> (x & 7))) ? 255 : 0;
        c = TRGB{v, v, v};
      } else {
        c = static_cast<const TRGB*>(bmp.GetScanLine(y))[x];
      }
      s += {static_cast<char>(c.r), static_cast<char>(c.g), static_cast<char>(c.b), '\xFF'};
    }
  }
  return s;
}

struct WriteCase {
  const char* name;
  int bits;
  int colours;  // 0: a bilevel ie1g bitmap
  Integer width;
  Integer height;
  bool interlaced;
};

TEST_F(GifCodec, PillowReadsOurFilesWithTheSamePixels) {
  const WriteCase cases[] = {
      {"bilevel", 1, 0, 19, 11, false},       {"16 colours", 4, 16, 33, 21, false},
      {"16 colours interlaced", 4, 11, 17, 29, true}, {"256 colours", 8, 200, 50, 40, false},
      {"two colours at depth 2", 2, 2, 5, 3, false},
  };
  larktest::TempDir dir;
  for (const WriteCase& c : cases) {
    TIEBitmap source;
    if (c.colours == 0) {
      source.Allocate(c.width, c.height, ie1g);
      for (Integer y = 0; y < c.height; ++y) {
        Byte* row = static_cast<Byte*>(source.GetScanLine(y));
        for (Integer x = 0; x < (c.width + 7) / 8; ++x) row[x] = static_cast<Byte>(0x5A ^ (y * 29));
      }
    } else {
      PaintColours(source, c.width, c.height, c.colours);
    }
    params_->BitsPerSample = c.bits;
    params_->GIF_Interlaced = c.interlaced;
    const std::string path = dir.Path() + "/ours.gif";
    aborting_ = false;
    WriteGif(path, &source, *params_, progress_);
    ASSERT_FALSE(aborting_) << c.name;
    const std::string bytes = ReadFile(path);
    ASSERT_GT(bytes.size(), 13u) << c.name;
    EXPECT_EQ(static_cast<Byte>(bytes[10]), 0x80 + (c.bits - 1) * 17) << c.name;
    EXPECT_EQ(bytes.substr(bytes.size() - 4), std::string("\x21\xFE\x00\x3B", 4)) << c.name;

    const PillowFrame f = PillowDecode(dir, path, 0);
    EXPECT_EQ(f.Width, c.width) << c.name;
    EXPECT_EQ(f.Rgba, BitmapRgb(source)) << c.name;

    // And our reader agrees.
    ASSERT_TRUE(Read(bytes)) << c.name;
    EXPECT_EQ(BitmapRgb(bitmap_), BitmapRgb(source)) << c.name;
    EXPECT_EQ(params_->GIF_Interlaced, c.interlaced) << c.name;
  }
}

TEST_F(GifCodec, WrittenTransparencyDelayAndLongCommentsReachPillow) {
  TIEBitmap source;
  PaintColours(source, 9, 7, 6);
  params_->BitsPerSample = 4;
  params_->GIF_FlagTranspColor = true;
  params_->GIF_TranspColor = TRGB{255 - 3, 3 * 13, 3};
  params_->GIF_Background = TRGB{1, 2, 3};  // not in the image: the nearest entry
  params_->GIF_DelayTime = 42;
  const std::string longComment(600, 'x');
  params_->GIF_Comments->Add("short");
  params_->GIF_Comments->Add(longComment);
  larktest::TempDir dir;
  const std::string path = dir.Path() + "/t.gif";
  WriteGif(path, &source, *params_, progress_);
  ASSERT_FALSE(aborting_);

  const std::string script =
      "import sys\n"
      "from PIL import Image\n"
      "im = Image.open(sys.argv[1])\n"
      "pal = im.getpalette()\n"
      "t = im.info['transparency']\n"

      "print(pal[3*t], pal[3*t+1], pal[3*t+2], im.info['duration'])\n";
  int code = -1;
  const std::string out = larktest::RunCommand({kPython, "-c", script, path}, &code);
  ASSERT_EQ(code, 0) << out;
  EXPECT_EQ(out, "3 39 252 420\n");
  // The peers ignore comments after the frame: walk the blocks in Python, which
  // finds the trailer only when every sub-block length is right.
  const std::string walker =
      "import sys\n"
      "d = open(sys.argv[1], 'rb').read()\n"
      "p = 13 + (3 << ((d[10] & 7) + 1) if d[10] & 0x80 else 0)\n"
      "comments = b''\n"
      "def blocks(p):\n"
      "    out = b''\n"
      "    while d[p]:\n"
      "        out += d[p + 1:p + 1 + d[p]]; p += 1 + d[p]\n"
      "    return out, p + 1\n"
      "while d[p] != 0x3B:\n"
      "    if d[p] == 0x21:\n"
      "        label = d[p + 1]\n"
      "        text, p = blocks(p + 2)\n"
      "        if label == 0xFE: comments += text\n"
      "    else:\n"
      "        p += 10; _, p = blocks(p + 1)\n"
      "print(len(comments), p == len(d) - 1)\n";
  EXPECT_EQ(larktest::RunCommand({kPython, "-c", walker, path}), "605 True\n");

  params_->GIF_Comments->Clear();
  mask_.reset();
  ASSERT_TRUE(Read(ReadFile(path)));
  EXPECT_TRUE(params_->GIF_FlagTranspColor);
  EXPECT_EQ(params_->GIF_TranspColor, (TRGB{252, 39, 3}));
  EXPECT_EQ(params_->GIF_DelayTime, 42);
  ASSERT_EQ(params_->GIF_Comments->GetCount(), 4);  // "short" and the three pieces
  EXPECT_EQ(params_->GIF_Comments->Strings(1).size(), 255u);
}

// A file read and written back with the parameters and mask the read gave keeps
// every pixel, as Pillow sees both files: two colours other than black and white
// stay themselves, and opaque pixels that share the transparent entry's colour
// stay opaque.
TEST_F(GifCodec, ReadThenWriteKeepsEveryPixel) {
  struct Case {
    const char* name;
    const char* code;  // makes `out` after the prelude
    bool magick;       // code holds ImageMagick arguments before the output instead
  };
  const Case cases[] = {
      {"two colours, Pillow", "frame(13, 7, 2, 0, [200,30,10, 20,40,160]).save(out)\n", false},
      {"two colours, ImageMagick", "-size 16x6 pattern:checkerboard -threshold 50% +level-colors #C81E0A,#1428A0", true},
      {"two colours, one of them transparent",
       "frame(13, 7, 2, 0, [200,30,10, 20,40,160]).save(out, transparency=1)\n", false},
      {"transparent entry black like an opaque one",
       "im = frame(15, 9, 4, 0, [0,0,0, 0,0,0, 250,20,20, 20,250,20])\n"
       "im.save(out, transparency=0, optimize=False)\n",
       false},
      {"16 colours with transparency", "frame(20, 18, 16, 3).save(out, transparency=5, interlace=False)\n", false},
  };
  larktest::TempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string in = dir.Path() + "/in.gif", ours = dir.Path() + "/ours.gif";
    int code = -1;
    std::string out;
    if (c.magick) {
      std::vector<std::string> argv{larktest::RequireProgram(kConvert)};
      std::istringstream words(c.code);
      for (std::string word; words >> word;) argv.push_back(word);
      argv.push_back(in);
      out = larktest::RunCommand(argv, &code);
    } else {
      out = larktest::RunCommand({kPython, "-c", std::string(kPillowPrelude) + c.code, in}, &code);
    }
    ASSERT_EQ(code, 0) << out;
    const PillowFrame original = PillowDecode(dir, in, 0);

    mask_.reset();
    params_ = std::make_unique<TIOParamsVals>(nullptr);
    ASSERT_TRUE(Read(ReadFile(in)));
    TMemoryStream written;
    aborting_ = false;
    WriteGifStream(&written, &bitmap_, *params_, progress_, mask_.get());
    ASSERT_FALSE(aborting_);
    std::ofstream(ours, std::ios::binary) << Contents(written);
    const PillowFrame back = PillowDecode(dir, ours, 0);
    ASSERT_EQ(back.Width, original.Width);
    ASSERT_EQ(back.Rgba.size(), original.Rgba.size());
    int wrong = 0, transparent = 0;
    for (size_t i = 0; i < original.Rgba.size(); i += 4) {
      const bool clear = original.Rgba[i + 3] == 0;
      transparent += clear;
      const bool same = back.Rgba[i + 3] == original.Rgba[i + 3] &&
                        (clear || back.Rgba.compare(i, 3, original.Rgba, i, 3) == 0);
      if (!same && ++wrong <= 3)
        ADD_FAILURE() << "pixel " << i / 4 << ": " << int(Byte(back.Rgba[i])) << "," << int(Byte(back.Rgba[i + 1]))
                      << "," << int(Byte(back.Rgba[i + 2])) << "/" << int(Byte(back.Rgba[i + 3])) << " was "
                      << int(Byte(original.Rgba[i])) << "," << int(Byte(original.Rgba[i + 1])) << ","
                      << int(Byte(original.Rgba[i + 2])) << "/" << int(Byte(original.Rgba[i + 3]));
    }
    EXPECT_EQ(wrong, 0);
    if (params_->GIF_FlagTranspColor) {
      EXPECT_GT(transparent, 0);
    }
  }
}

// The graphic control extension asks the viewer to restore the background after the
// frame (disposal 2), with and without transparency, and the screen's background
// index names the entry of GIF_Background; Pillow reads both.
TEST_F(GifCodec, WrittenDisposalAndBackgroundIndex) {
  larktest::TempDir dir;
  for (const bool transparent : {false, true}) {
    SCOPED_TRACE(transparent ? "transparent" : "opaque");
    TIEBitmap source;
    PaintColours(source, 9, 7, 6);
    params_ = std::make_unique<TIOParamsVals>(nullptr);
    params_->BitsPerSample = 4;
    params_->GIF_FlagTranspColor = transparent;
    params_->GIF_TranspColor = TRGB{255 - 5, 5 * 13, 5};
    params_->GIF_Background = TRGB{255 - 2, 2 * 13, 2};
    const std::string path = dir.Path() + "/d.gif";
    aborting_ = false;
    WriteGif(path, &source, *params_, progress_);
    ASSERT_FALSE(aborting_);
    const std::string bytes = ReadFile(path);
    const size_t control = 13 + 3 * 16;
    ASSERT_EQ(bytes.substr(control, 3), std::string("\x21\xF9\x04", 3));
    EXPECT_EQ(static_cast<Byte>(bytes[control + 3]), transparent ? 0x09 : 0x08);
    const std::string script =
        "import sys\n"
        "from PIL import Image\n"
        "im = Image.open(sys.argv[1])\n"
        "im.load()\n"
        "b = im.info['background']\n"
        "pal = im.getpalette()\n"
        "print(im.disposal_method, pal[3*b], pal[3*b+1], pal[3*b+2])\n";
    int code = -1;
    const std::string out = larktest::RunCommand({kPython, "-c", script, path}, &code);
    ASSERT_EQ(code, 0) << out;
    EXPECT_EQ(out, "2 2 26 253\n");
  }
}

// The pixel aspect byte of the screen descriptor reaches GIF_Ratio.
TEST_F(GifCodec, ReadsThePixelAspectRatio) {
  GifBuilder g;
  g.Header(2, 1, 0x80).Table({kRed, kBlue}).Image(0, 0, 2, 1, 0, {0, 1}).End();
  g.bytes[12] = 49;
  ASSERT_TRUE(Read(g.bytes));
  EXPECT_EQ(params_->GIF_Ratio, 49);
}

// With the abort flag already set the reader reads nothing and changes nothing.
TEST_F(GifCodec, ReaderDoesNothingWhenTheAbortFlagIsAlreadySet) {
  GifBuilder g;
  g.Header(2, 1, 0x80).Table({kRed, kBlue}).Comment("note").Image(0, 0, 2, 1, 0, {0, 1}).End();
  g.bytes[12] = 49;
  TMemoryStream stream;
  Fill(stream, g.bytes);
  bitmap_.Allocate(5, 4, ie24RGB);
  params_->GIF_Ratio = 7;
  params_->Width = 123;
  Integer count = 77;
  aborting_ = true;
  ReadGifStream(&stream, &bitmap_, count, *params_, progress_, false, mask_, false);
  EXPECT_TRUE(aborting_);
  EXPECT_EQ(count, 77);
  EXPECT_EQ(params_->GIF_Ratio, 7);
  EXPECT_EQ(params_->Width, 123);
  EXPECT_EQ(params_->GIF_Comments->GetCount(), 0);
  EXPECT_EQ(bitmap_.GetWidth(), 5);
  EXPECT_FALSE(mask_);
  EXPECT_EQ(stream.GetPosition(), 0);
}

TEST_F(GifCodec, WriterRefusesSizesAGifCannotHold) {
  TIEBitmap wide;
  wide.Allocate(70000, 1, ie24RGB);
  TMemoryStream out;
  WriteGifStream(&out, &wide, *params_, progress_);
  EXPECT_TRUE(aborting_);
  EXPECT_EQ(out.GetSize(), 0);
}

}  // namespace

namespace {

// Every file operation of a save fails in turn: the failure is reported through the
// abort flag, never as success, and the next save of the same image writes the whole
// file.
TEST_F(GifCodec, SaveReportsAFailureOfEachOfItsFileOperations) {
  TIEBitmap source;
  PaintColours(source, 120, 90, 200);
  params_->BitsPerSample = 8;
  TMemoryStream expected;
  aborting_ = false;
  WriteGifStream(&expected, &source, *params_, progress_);
  ASSERT_FALSE(aborting_);
  const std::string whole = Contents(expected);
  larktest::TempDir dir;
  const std::string path = dir.Path() + "saved.gif";
  const int operations = larktest::SweepFaults({sim::Fault::FileCreate, sim::Fault::FileWrite}, [&](int) {
    aborting_ = false;
    WriteGif(path, &source, *params_, progress_);
    const bool reached = larktest::FaultReached();
    EXPECT_EQ(aborting_, reached);
    if (!reached) {
      EXPECT_TRUE(ReadFile(path) == whole);
    }
    aborting_ = false;
    WriteGif(path, &source, *params_, progress_);
    EXPECT_FALSE(aborting_);
    EXPECT_TRUE(ReadFile(path) == whole);
    return reached;
  });
  EXPECT_GE(operations, 2);
}

}  // namespace
