// The TIFF reader: files written at run time by libtiff's tiffcp and by ImageMagick,
// compared pixel for pixel with what Pillow (on libtiff) reads from them; hand-built
// pages for the corners of the format; damaged and hostile files.
//
// Cases that decode fax or JPEG data go through the fax codecs and the JPEG reader;
// their suites are named TiffPeerFilesFax, TiffPeerFilesJpeg and TiffReaderJpeg.
#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "image/formats/tiffilt.h"
#include "image/model/iebitmap.h"
#include "image/model/iemask.h"
#include "platform/rtl/Streams.h"
#include "tests/image/file_test_util.h"
#include "tests/image/tiff_builder.h"
#include "tests/support/Peers.h"

namespace {

using larktest::TiffBuilder;
using namespace std::string_literals;

// ---------------------------------------------------------------------------
// A TIFF LZW decoder of the test's own, installed through the hook: the whole strip
// is decoded on the first call and handed out a row at a time.

struct LzwState {
  std::vector<Byte> out;
  size_t pos = 0;
};

std::vector<Byte> LzwDecode(const Byte* data, Integer len) {
  std::vector<std::string> dict;
  auto reset = [&dict] {
    dict.clear();
    for (int i = 0; i < 256; ++i) dict.emplace_back(1, static_cast<char>(i));
    dict.emplace_back();  // 256 clear
    dict.emplace_back();  // 257 end of information
  };
  reset();
  std::vector<Byte> out;
  Int64 bit = 0;
  int width = 9;
  int prev = -1;
  const Int64 bits = Int64{len} * 8;
  while (bit + width <= bits) {
    int code = 0;
    for (int k = 0; k < width; ++k, ++bit) code = (code << 1) | ((data[bit >> 3] >> (7 - (bit & 7))) & 1);
    if (code == 256) {
      reset();
      width = 9;
      prev = -1;
      continue;
    }
    if (code == 257) break;
    std::string entry;
    if (prev < 0) {
      if (code >= static_cast<int>(dict.size())) break;
      entry = dict[static_cast<size_t>(code)];
    } else {
      if (code < static_cast<int>(dict.size()))
        entry = dict[static_cast<size_t>(code)];
      else if (code == static_cast<int>(dict.size()))
        entry = dict[static_cast<size_t>(prev)] + dict[static_cast<size_t>(prev)][0];
      else
        break;
      if (dict.size() < 4096) dict.push_back(dict[static_cast<size_t>(prev)] + entry[0]);
    }
    out.insert(out.end(), entry.begin(), entry.end());
    prev = code;
    if (static_cast<int>(dict.size()) >= (1 << width) - 1 && width < 12) ++width;
  }
  return out;
}

Byte* TestLzwHook(const Byte* Data, Integer DataLength, Integer RowBytes, void*& State) {
  auto* st = static_cast<LzwState*>(State);
  if (Data == nullptr) {
    delete st;
    State = nullptr;
    return nullptr;
  }
  if (st == nullptr) {
    st = new LzwState;
    st->out = LzwDecode(Data, DataLength);
    State = st;
  }
  if (RowBytes < 0 || st->pos + static_cast<size_t>(RowBytes) > st->out.size()) return nullptr;
  Byte* row = st->out.data() + st->pos;
  st->pos += static_cast<size_t>(RowBytes);
  return row;
}

// ---------------------------------------------------------------------------
// Reading

using file_test::ReadFile;

void Fill(TMemoryStream& stream, const std::string& bytes) {
  stream.Clear();
  if (!bytes.empty()) stream.WriteBuffer(bytes.data(), static_cast<Integer>(bytes.size()));
  stream.SetPosition(0);
}

struct ReadResult {
  bool ok = false;
  Integer count = -1;
  TIEBitmap bitmap;
  std::unique_ptr<TIEMask> mask;
};

struct ReadOptions {
  Integer index = 0;
  bool preview = false;
  bool ignoreAlpha = false;
  bool lzwHook = true;
  bool adjustOrientation = false;
  bool relative = false;
  Integer startAt = 0;
};

// Reads one page of `bytes` into r, the parameters into params.
void ReadTiff(const std::string& bytes, TIOParamsVals& params, ReadResult& r, const ReadOptions& o) {
  TMemoryStream s;
  Fill(s, bytes);
  s.SetPosition(o.startAt);
  params.TIFF_ImageIndex = o.index;
  params.TIFF_LZWDecompFunc = o.lzwHook ? TestLzwHook : nullptr;
  params.TIFF_EnableAdjustOrientation = o.adjustOrientation;
  bool aborting = false;
  TProgressRec progress;
  progress.Aborting = &aborting;
  TIFFReadStream(&r.bitmap, &s, r.count, &params, progress, o.preview, r.mask, o.relative, o.ignoreAlpha);
  r.ok = !aborting;
}

TRGB PixelAt(TIEBitmap& b, Integer x, Integer y) {
  if (b.GetPixelFormat() == ie1g) {
    const Byte* row = static_cast<const Byte*>(b.GetScanLine(y));
    const Byte v = (row[x >> 3] & (0x80 >> (x & 7))) ? 255 : 0;
    return TRGB{v, v, v};
  }
  return static_cast<const TRGB*>(b.GetScanLine(y))[x];
}

// The largest channel difference between the bitmap and rgb (w x h pixels of red,
// green, blue, top-down), and the first pixel where it stands.
struct Difference {
  Integer most = 0, x = 0, y = 0;
};

Difference WorstDifference(TIEBitmap& b, const std::string& rgb, Integer w, Integer h) {
  Difference worst;
  for (Integer y = 0; y < h; ++y)
    for (Integer x = 0; x < w; ++x) {
      const TRGB p = PixelAt(b, x, y);
      const size_t i = (static_cast<size_t>(y) * w + x) * 3;
      const Integer d = std::max({std::abs(p.r - Byte(rgb[i])), std::abs(p.g - Byte(rgb[i + 1])),
                                  std::abs(p.b - Byte(rgb[i + 2]))});
      if (d > worst.most) worst = {d, x, y};
    }
  return worst;
}

// ---------------------------------------------------------------------------
// Files written by tiffcp, read by Pillow

const char kPillowHelper[] = R"PY(
import sys, struct
from PIL import Image

def make(mode, w, h, seed):
    if mode == '1':
        im = Image.new('1', (w, h))
        im.putdata([255 if (x * 3 + y + seed) % 5 < 2 else 0 for y in range(h) for x in range(w)])
    elif mode == 'L':
        im = Image.new('L', (w, h))
        im.putdata([(x * 37 + y * 11 + seed * 50) % 256 for y in range(h) for x in range(w)])
    elif mode == 'P':
        im = Image.new('P', (w, h))
        im.putpalette([(i * 53 + c * 91 + seed) % 256 for i in range(256) for c in range(3)])
        im.putdata([(x + 2 * y + seed) % 16 for y in range(h) for x in range(w)])
    elif mode == 'I;16':
        data = b''.join(struct.pack('<H', (x * 3001 + y * 707 + seed * 99) % 65536)
                        for y in range(h) for x in range(w))
        im = Image.frombytes('I;16', (w, h), data)
    else:
        im = Image.new(mode, (w, h))
        px = []
        for y in range(h):
            for x in range(w):
                p = ((x * 37 + y * 11 + seed * 50) % 256, (x * 7 + y * 29) % 256, (x * 13 ^ y * 5) % 256)
                if mode == 'RGBA':
                    p += ((x * 50 + y * 20) % 256,)
                px.append(p)
        im.putdata(px)
    return im

def dump(path, page, out):
    im = Image.open(path)
    im.seek(page)
    w, h = im.size
    alpha = b''
    if im.mode in ('I;16', 'I;16B', 'I;16L', 'I'):
        rgb = b''.join(bytes([(v >> 8) & 255] * 3) for v in im.getdata())
    else:
        if im.mode in ('RGBA', 'LA', 'PA'):
            alpha = im.getchannel('A').tobytes()
        rgb = im.convert('RGB').tobytes()
    with open(out, 'wb') as f:
        f.write(struct.pack('<IIB', w, h, 1 if alpha else 0) + rgb + alpha)

if sys.argv[1] == 'make':
    mode, w, h, out, pages = sys.argv[2], int(sys.argv[3]), int(sys.argv[4]), sys.argv[5], int(sys.argv[6])
    ims = [make(mode, w, h, p) for p in range(pages)]
    ims[0].save(out, save_all=True, append_images=ims[1:], compression=None)
else:
    dump(sys.argv[2], int(sys.argv[3]), sys.argv[4])
)PY";

const char kPython[] = "/usr/bin/python3";

struct PeerCase {
  const char* name;
  const char* mode;  // Pillow mode of the source pages
  Integer width, height, pages;
  std::vector<std::string> tiffcp;
  Integer tolerance;  // largest channel difference allowed (lossy compression)
  // Written by ImageMagick instead: `tiffcp` holds convert's options, and a non-empty
  // imSource replaces the Pillow source with convert's own image (deep samples).
  bool imageMagick = false;
  std::vector<std::string> imSource = {};
};

class PeerFiles : public ::testing::TestWithParam<PeerCase> {
 protected:
  // Pillow writes the source, tiffcp recompresses it; answers the file's bytes.
  std::string Make(const PeerCase& c) {
    const std::string tiffcp = larktest::RequireProgram("tiffcp");
    if (tiffcp.empty()) return {};
    const std::string helper = dir_.Path() + "helper.py";
    std::ofstream(helper) << kPillowHelper;
    const std::string src = dir_.Path() + "source.tif", out = dir_.Path() + "out.tif";
    int rc = -1;
    // "1w": bilevel pages rewritten by ImageMagick, which stores them white-is-zero.
    const bool whiteIsZero = std::string(c.mode) == "1w";
    const std::string made = whiteIsZero ? dir_.Path() + "pillow.tif" : src;
    larktest::RunCommand({kPython, helper, "make", whiteIsZero ? "1" : c.mode, std::to_string(c.width),
                          std::to_string(c.height), made, std::to_string(c.pages)},
                         &rc);
    EXPECT_EQ(rc, 0) << "Pillow could not write the source";
    if (whiteIsZero) {
      const std::string convert = larktest::RequireProgram("convert-im6.q16");
      if (convert.empty()) return {};
      larktest::RunCommand({convert, made, "-compress", "none", src}, &rc);
      EXPECT_EQ(rc, 0) << "ImageMagick could not rewrite the source";
    }
    std::vector<std::string> argv{tiffcp};
    if (c.imageMagick) {
      const std::string convert = larktest::RequireProgram("convert-im6.q16");
      if (convert.empty()) return {};
      argv = {convert};
      if (c.imSource.empty())
        argv.push_back(src);
      else
        argv.insert(argv.end(), c.imSource.begin(), c.imSource.end());
    }
    argv.insert(argv.end(), c.tiffcp.begin(), c.tiffcp.end());
    if (!c.imageMagick) argv.push_back(src);
    argv.push_back(out);
    larktest::RunCommand(argv, &rc);
    EXPECT_EQ(rc, 0) << argv[0] << " failed";
    return ReadFile(out);
  }

  // What Pillow reads from page `page`: size, RGB rows top-down, alpha when present.
  bool Expected(Integer page, Integer& w, Integer& h, std::string& rgb, std::string& alpha) {
    const std::string helper = dir_.Path() + "helper.py", raw = dir_.Path() + "page.raw";
    int rc = -1;
    larktest::RunCommand({kPython, helper, "dump", dir_.Path() + "out.tif", std::to_string(page), raw}, &rc);
    if (rc != 0) return false;
    const std::string d = ReadFile(raw);
    if (d.size() < 9) return false;
    uint32_t uw, uh;
    std::memcpy(&uw, d.data(), 4);
    std::memcpy(&uh, d.data() + 4, 4);
    w = static_cast<Integer>(uw);
    h = static_cast<Integer>(uh);
    const size_t n = size_t{uw} * uh;
    rgb = d.substr(9, n * 3);
    alpha = d[8] ? d.substr(9 + n * 3, n) : std::string();
    return rgb.size() == n * 3;
  }

  void Check(const PeerCase& c) {
    const std::string bytes = Make(c);
    ASSERT_FALSE(bytes.empty());
    for (Integer page = 0; page < c.pages; ++page) {
      SCOPED_TRACE("page " + std::to_string(page));
      Integer w = 0, h = 0;
      std::string rgb, alpha;
      ASSERT_TRUE(Expected(page, w, h, rgb, alpha));
      TIOParamsVals params(nullptr);
      ReadResult r;
      ReadTiff(bytes, params, r, ReadOptions{.index = page});
      ASSERT_TRUE(r.ok);
      EXPECT_EQ(r.count, c.pages);
      EXPECT_EQ(params.TIFF_ImageCount, c.pages);
      ASSERT_EQ(r.bitmap.GetWidth(), w);
      ASSERT_EQ(r.bitmap.GetHeight(), h);
      const Difference worst = WorstDifference(r.bitmap, rgb, w, h);
      EXPECT_LE(worst.most, c.tolerance) << "at " << worst.x << "," << worst.y;
      if (!alpha.empty()) {
        ASSERT_NE(r.mask, nullptr);
        Integer bad = 0;
        for (Integer y = 0; y < h; ++y)
          for (Integer x = 0; x < w; ++x)
            bad += r.mask->GetScanLine(y)[x] != Byte(alpha[static_cast<size_t>(y) * w + x]);
        EXPECT_EQ(bad, 0) << "alpha values differ";
        EXPECT_FALSE(r.mask->GetFull());
      }
    }
  }

  larktest::TempDir dir_;
};

std::string CaseName(const ::testing::TestParamInfo<PeerCase>& i) { return i.param.name; }

TEST_P(PeerFiles, ReadsAsPillowDoes) { Check(GetParam()); }

using SV = std::vector<std::string>;
const PeerCase kPlainCases[] = {
    {"RgbUncompressed", "RGB", 37, 21, 2, SV{"-c", "none"}, 0},
    {"RgbPackBits", "RGB", 37, 21, 2, SV{"-c", "packbits"}, 0},
    {"RgbLzw", "RGB", 37, 21, 2, SV{"-c", "lzw"}, 0},
    {"RgbLzwPredictor", "RGB", 37, 21, 2, SV{"-c", "lzw:2"}, 0},
    {"RgbStripsOfThreeRows", "RGB", 37, 21, 1, SV{"-s", "-r", "3"}, 0},
    {"RgbTiles", "RGB", 37, 21, 2, SV{"-t", "-w", "16", "-l", "16"}, 0},
    {"RgbTilesLzw", "RGB", 40, 33, 1, SV{"-t", "-w", "16", "-l", "16", "-c", "lzw"}, 0},
    {"RgbSeparatePlanes", "RGB", 37, 21, 2, SV{"-p", "separate"}, 0},
    {"RgbSeparatePlanesLzw", "RGB", 37, 21, 1, SV{"-p", "separate", "-c", "lzw:2", "-r", "4"}, 0},
    {"RgbBigEndian", "RGB", 37, 21, 2, SV{"-B"}, 0},
    {"RgbaAlphaIntoMask", "RGBA", 37, 21, 2, SV{"-c", "none"}, 0},
    {"RgbaSeparatePlanes", "RGBA", 23, 9, 1, SV{"-p", "separate"}, 0},
    {"RgbaLzwPredictor", "RGBA", 23, 9, 1, SV{"-c", "lzw:2"}, 0},
    {"GreyUncompressed", "L", 37, 21, 2, SV{"-c", "none"}, 0},
    {"GreyPackBits", "L", 37, 21, 1, SV{"-c", "packbits"}, 0},
    {"GreyLzwPredictorBigEndian", "L", 37, 21, 1, SV{"-c", "lzw:2", "-B"}, 0},
    {"GreyTiles", "L", 50, 40, 1, SV{"-t", "-w", "32", "-l", "16"}, 0},
    {"Grey16", "I;16", 37, 21, 2, SV{"-c", "none"}, 0},
    {"Grey16BigEndian", "I;16", 37, 21, 1, SV{"-B"}, 0},
    {"Grey16LzwPredictor", "I;16", 37, 21, 1, SV{"-c", "lzw:2"}, 0},
    {"PaletteUncompressed", "P", 37, 21, 2, SV{"-c", "none"}, 0},
    {"PaletteLzw", "P", 37, 21, 1, SV{"-c", "lzw"}, 0},
    {"PalettePackBitsBigEndian", "P", 37, 21, 1, SV{"-c", "packbits", "-B"}, 0},
    {"BilevelUncompressed", "1", 37, 21, 2, SV{"-c", "none"}, 0},
    {"BilevelPackBits", "1", 37, 21, 1, SV{"-c", "packbits"}, 0},
    {"BilevelLzw", "1", 37, 21, 1, SV{"-c", "lzw"}, 0},
    {"BilevelTiles", "1", 70, 40, 1, SV{"-t", "-w", "32", "-l", "16"}, 0},
    {"BilevelWhiteIsZeroLzw", "1w", 37, 21, 2, SV{"-c", "lzw"}, 0},
};
INSTANTIATE_TEST_SUITE_P(TiffPeerFiles, PeerFiles, ::testing::ValuesIn(kPlainCases), CaseName);

// Deflate (the zlib stream of each strip or tile, codes 8 and 32946) and horizontal
// differencing after any decompressor, as ImageMagick and tiffcp write them.
const SV kDeep{"-size", "37x21", "gradient:#1020f0-#f0e010", "-swirl", "120", "-depth", "16"};
const SV kDeepAlpha{"-size", "37x21", "gradient:#1020f0-#f0e010", "-swirl", "120", "(", "+clone",
                    "-rotate", "90", "-resize", "37x21!", "-colorspace", "gray", ")", "-alpha", "off",
                    "-compose", "copy_opacity", "-composite", "-depth", "16"};
const SV kTiles{"-define", "tiff:tile-geometry=16x16"};
SV With(SV a, const SV& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}
const PeerCase kDeflateCases[] = {
    {"ImRgbZip", "RGB", 37, 21, 1, SV{"-compress", "zip"}, 0, true},
    {"ImRgbZipPredictor", "RGB", 37, 21, 1, SV{"-compress", "zip", "-define", "tiff:predictor=2"}, 0, true},
    {"ImRgbZipStripsOfFourRows", "RGB", 37, 21, 1, SV{"-compress", "zip", "-define", "tiff:rows-per-strip=4"}, 0, true},
    {"ImRgbaZip", "RGBA", 37, 21, 1, SV{"-compress", "zip"}, 0, true},
    {"ImGreyZip", "L", 37, 21, 1, SV{"-compress", "zip", "-define", "tiff:rows-per-strip=5"}, 0, true},
    {"ImRgbZipTiles", "RGB", 37, 21, 1, With(SV{"-compress", "zip"}, kTiles), 0, true},
    {"ImRgb16Zip", "RGB", 37, 21, 1, SV{"-compress", "zip"}, 0, true, kDeep},
    {"ImRgb16ZipTiles", "RGB", 37, 21, 1, With(SV{"-compress", "zip"}, kTiles), 0, true, kDeep},
    {"ImRgba16Zip", "RGBA", 37, 21, 1, SV{"-compress", "zip"}, 0, true, kDeepAlpha},
    {"ImGrey16Zip", "I;16", 37, 21, 1, SV{"-compress", "zip"}, 0, true},
    {"ImRgbLzwPredictor", "RGB", 37, 21, 1, SV{"-compress", "lzw", "-define", "tiff:predictor=2"}, 0, true},
    {"ImRgbaLzwPredictor", "RGBA", 37, 21, 1, SV{"-compress", "lzw", "-define", "tiff:predictor=2"}, 0, true},
    {"ImGreyLzwPredictorStrips", "L", 37, 21, 1,
     SV{"-compress", "lzw", "-define", "tiff:predictor=2", "-define", "tiff:rows-per-strip=3"}, 0, true},
    {"ImRgbLzwPredictorTiles", "RGB", 37, 21, 1,
     With(SV{"-compress", "lzw", "-define", "tiff:predictor=2"}, kTiles), 0, true},
    {"ImRgb16LzwPredictor", "RGB", 37, 21, 1, SV{"-compress", "lzw", "-define", "tiff:predictor=2"}, 0, true, kDeep},
    {"ImRgb16LzwPredictorTiles", "RGB", 37, 21, 1,
     With(SV{"-compress", "lzw", "-define", "tiff:predictor=2"}, kTiles), 0, true, kDeep},
    {"ImGrey16LzwPredictor", "I;16", 37, 21, 1, SV{"-compress", "lzw", "-define", "tiff:predictor=2"}, 0, true},
    {"RgbZip", "RGB", 37, 21, 2, SV{"-c", "zip"}, 0},
    {"RgbZipPredictorStrips", "RGB", 37, 21, 1, SV{"-c", "zip:2", "-r", "4"}, 0},
    {"RgbaZipPredictorTiles", "RGBA", 40, 33, 1, SV{"-c", "zip:2", "-t", "-w", "16", "-l", "16"}, 0},
    {"GreyZipPredictorBigEndian", "L", 37, 21, 1, SV{"-c", "zip:2", "-B"}, 0},
    {"Grey16ZipPredictorBigEndian", "I;16", 37, 21, 1, SV{"-c", "zip:2", "-B"}, 0},
    {"RgbSeparatePlanesZipPredictor", "RGB", 37, 21, 1, SV{"-p", "separate", "-c", "zip:2", "-r", "4"}, 0},
    {"PaletteZip", "P", 37, 21, 1, SV{"-c", "zip"}, 0},
    {"BilevelZip", "1", 37, 21, 1, SV{"-c", "zip"}, 0},
    {"RgbLzwPredictorTiles", "RGB", 40, 33, 1, SV{"-c", "lzw:2", "-t", "-w", "16", "-l", "16"}, 0},
};
INSTANTIATE_TEST_SUITE_P(TiffPeerFilesDeflate, PeerFiles, ::testing::ValuesIn(kDeflateCases), CaseName);

// Through the fax decoders (unit tifccitt).
const PeerCase kFaxCases[] = {
    {"G3", "1", 70, 33, 2, SV{"-c", "g3"}, 0},
    {"G3TwoDimensional", "1", 70, 33, 1, SV{"-c", "g3:2d"}, 0},
    {"G4", "1", 70, 33, 2, SV{"-c", "g4"}, 0},
    {"G4StripsBigEndian", "1", 70, 33, 1, SV{"-c", "g4", "-r", "8", "-B"}, 0},
    {"G4WhiteIsZero", "1w", 70, 33, 2, SV{"-c", "g4"}, 0},
    {"G3WhiteIsZero", "1w", 70, 33, 1, SV{"-c", "g3"}, 0},
    {"G3TwoDimensionalWhiteIsZero", "1w", 70, 33, 1, SV{"-c", "g3:2d", "-r", "5"}, 0},
};
INSTANTIATE_TEST_SUITE_P(TiffPeerFilesFax, PeerFiles, ::testing::ValuesIn(kFaxCases), CaseName);

// Through the JPEG reader (unit jpegfilt).
const PeerCase kJpegCases[] = {
    {"RgbJpeg", "RGB", 37, 21, 2, SV{"-c", "jpeg"}, 4},
    {"RgbJpegStrips", "RGB", 40, 48, 1, SV{"-c", "jpeg", "-r", "16"}, 4},
    {"GreyJpeg", "L", 37, 21, 1, SV{"-c", "jpeg"}, 4},
    {"RgbJpegTiles", "RGB", 40, 40, 1, SV{"-c", "jpeg", "-t", "-w", "16", "-l", "16"}, 4},
    {"RgbJpegOfRgbPhotometric", "RGB", 37, 21, 1, SV{"-c", "jpeg:r"}, 4},
};
INSTANTIATE_TEST_SUITE_P(TiffPeerFilesJpeg, PeerFiles, ::testing::ValuesIn(kJpegCases), CaseName);

// ---------------------------------------------------------------------------
// Hand-built pages

// One page of w x h with the given sample layout and its data as one strip; extra
// adds or replaces tags.
std::string Page(bool intel, Integer w, Integer h, Integer spp, Integer bps, Integer photometric,
                 const std::string& data, const std::function<void(TiffBuilder&)>& extra = {},
                 bool byteCounts = true) {
  TiffBuilder b(intel);
  const uint32_t off = b.AddData(data);
  b.Long(256, {static_cast<uint32_t>(w)});
  b.Long(257, {static_cast<uint32_t>(h)});
  b.Short(258, std::vector<uint16_t>(static_cast<size_t>(spp), static_cast<uint16_t>(bps)));
  b.Short(262, {static_cast<uint16_t>(photometric)});
  b.Short(277, {static_cast<uint16_t>(spp)});
  b.Long(273, {off});
  if (byteCounts) b.Long(279, {static_cast<uint32_t>(data.size())});
  if (extra) extra(b);
  b.EndPage();
  return b.Build();
}

std::string Rgb(std::initializer_list<int> v) {
  std::string s;
  for (int x : v) s += static_cast<char>(x);
  return s;
}

TEST(TiffReader, MissingPageAbortsCountsThePagesAndKeepsTheParameters) {
  TiffBuilder b(true);
  for (int i = 0; i < 3; ++i) {
    b.Long(256, {1});
    b.EndPage();
  }
  TIOParamsVals params(nullptr);
  params.Width = 123;
  params.TIFF_ImageCount = 77;
  ReadResult r;
  ReadTiff(b.Build(), params, r, ReadOptions{.index = 5});
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.count, 3);
  EXPECT_EQ(params.Width, 123);
  EXPECT_EQ(params.TIFF_ImageCount, 77);
}

TEST(TiffReader, PreviewFillsTheParametersOnly) {
  const std::string bytes = Page(false, 4, 3, 3, 8, 2, std::string(36, '\x40'), [](TiffBuilder& b) {
    b.Ascii(271, "Maker\0"s);
    b.Ascii(272, "M1\0"s);
    b.Ascii(270, "a description\0"s);
    b.Short(297, {2, 9});
    b.Short(274, {1});
    b.Rational(282, {{11811, 100}});
    b.Rational(283, {{300, 1}});
    b.Short(296, {3});
  });
  TIOParamsVals params(nullptr);
  ReadResult r;
  ReadTiff(bytes, params, r, ReadOptions{.preview = true});
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.bitmap.GetWidth(), 0);
  EXPECT_EQ(params.Width, 4);
  EXPECT_EQ(params.Height, 3);
  EXPECT_EQ(params.BitsPerSample, 8);
  EXPECT_EQ(params.SamplesPerPixel, 3);
  EXPECT_EQ(params.TIFF_ImageCount, 1);
  EXPECT_EQ(params.EXIF_Make, "Maker");
  EXPECT_EQ(params.EXIF_Model, "M1");
  EXPECT_EQ(params.TIFF_ImageDescription, "a description");
  EXPECT_EQ(params.TIFF_PageNumber, 2);
  EXPECT_EQ(params.TIFF_PageCount, 9);
  EXPECT_EQ(params.TIFF_PhotometInterpret, ioTIFF_RGB);
  EXPECT_EQ(params.TIFF_Compression, ioTIFF_UNCOMPRESSED);
  EXPECT_EQ(params.DpiX, 299) << "118.11 dots per centimetre";
  EXPECT_EQ(params.DpiY, 762);
  EXPECT_EQ(params.EXIF_ResolutionUnit, 3);
}

TEST(TiffReader, ExifDirectoryAndIptcFillTheirFields) {
  // IPTC-IIM: one dataset 2:120 "caption", stored as BYTE values.
  const std::string iptc = "\x1C\x02\x78\x00\x07"s + "caption";
  for (bool intel : {true, false}) {
    TiffBuilder b(intel);
    const uint32_t data = b.AddData(std::string(3, '\x10'));
    b.Long(256, {1});
    b.Long(257, {1});
    b.Short(258, {8, 8, 8});
    b.Short(277, {3});
    b.Long(273, {data});
    b.Long(279, {3});
    b.Undefined(33723, iptc);
    b.PageOffset(34665, 1);
    b.EndPage();
    b.Rational(33434, {{1, 250}});
    b.Undefined(36864, "0230");
    b.Short(34855, {100, 200});
    b.Undefined(37510, "ASCII\0\0\0hello"s);
    b.Ascii(36867, "2020:01:02 03:04:05\0"s);
    b.Short(41729, {1});
    b.EndPage(false);
    TIOParamsVals params(nullptr);
    ReadResult r;
    ReadTiff(b.Build(), params, r, ReadOptions{});
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.count, 1) << "the EXIF directory is no page";
    EXPECT_DOUBLE_EQ(params.EXIF_ExposureTime, 1.0 / 250);
    EXPECT_EQ(params.EXIF_ExifVersion, "0230");
    EXPECT_EQ(params.EXIF_ISOSpeedRatings[0], 100);
    EXPECT_EQ(params.EXIF_ISOSpeedRatings[1], 200);
    EXPECT_EQ(params.EXIF_DateTimeOriginal, "2020:01:02 03:04:05");
    EXPECT_EQ(params.EXIF_UserCommentCode, "ASCII\0\0\0"s);
    EXPECT_EQ(params.EXIF_UserComment, "hello");
    EXPECT_EQ(params.EXIF_SceneType, 1);
    ASSERT_EQ(params.IPTC_Info->GetCount(), 1) << "BYTE-typed IPTC is read as its Count bytes";
    EXPECT_EQ(params.IPTC_Info->GetStrings(0), "caption");
  }
}

TEST(TiffReader, BilevelInversionFollowsPhotometric) {
  struct Case {
    Integer photometric;
    Byte expected;
  };
  for (const Case& c : {Case{0, 0x0F}, Case{1, 0xF0}}) {
    TIOParamsVals params(nullptr);
    ReadResult r;
    ReadTiff(Page(true, 8, 1, 1, 1, c.photometric, "\xF0"), params, r, ReadOptions{});
    ASSERT_TRUE(r.ok);
    ASSERT_EQ(r.bitmap.GetPixelFormat(), ie1g);
    EXPECT_EQ(static_cast<const Byte*>(r.bitmap.GetScanLine(0))[0], c.expected) << c.photometric;
  }
}

TEST(TiffReader, SixteenBitGreyKeepsTwelveBitsOnlyForLookAtMolli) {
  struct Case {
    const char* software;
    Byte grey;
  };
  for (const Case& c : {Case{"Look@Molli v1.1", 0xAB}, Case{"other", 0x0A}}) {
    const std::string bytes = Page(true, 1, 1, 1, 16, 1, "\xBC\x0A", [&c](TiffBuilder& b) {
      b.Ascii(305, std::string(c.software) + '\0');
    });
    TIOParamsVals params(nullptr);
    ReadResult r;
    ReadTiff(bytes, params, r, ReadOptions{});
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(PixelAt(r.bitmap, 0, 0).g, c.grey) << c.software;
  }
}

TEST(TiffReader, BigEndianSixteenBitRgbTakesTheFirstByteOfEachSample) {
  TIOParamsVals params(nullptr);
  ReadResult r;
  ReadTiff(Page(false, 1, 1, 3, 16, 2, "\x12\x34\x56\x78\x9A\xBC"), params, r, ReadOptions{});
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(PixelAt(r.bitmap, 0, 0), (TRGB{0x9A, 0x56, 0x12}));
}

TEST(TiffReader, StripWithoutByteCountReadsToTheEnd) {
  TIOParamsVals params(nullptr);
  ReadResult r;
  ReadTiff(Page(true, 2, 1, 3, 8, 2, Rgb({1, 2, 3, 4, 5, 6}), {}, false) , params, r, ReadOptions{});
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(PixelAt(r.bitmap, 1, 0), (TRGB{6, 5, 4}));
}

TEST(TiffReader, FourSamplesOfRgbMakeAMaskUnlessAlphaIsIgnored) {
  const std::string bytes = Page(true, 2, 1, 4, 8, 2, Rgb({1, 2, 3, 40, 4, 5, 6, 255}));
  for (bool ignore : {false, true}) {
    TIOParamsVals params(nullptr);
    ReadResult r;
    ReadTiff(bytes, params, r, ReadOptions{.ignoreAlpha = ignore});
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(PixelAt(r.bitmap, 0, 0), (TRGB{3, 2, 1}));
    if (ignore) {
      EXPECT_EQ(r.mask, nullptr);
    } else {
      ASSERT_NE(r.mask, nullptr);
      EXPECT_EQ(r.mask->GetScanLine(0)[0], 40);
      EXPECT_EQ(r.mask->GetScanLine(0)[1], 255);
    }
  }
}

TEST(TiffReader, ColourSpacesAndPackedSamples) {
  struct Case {
    const char* name;
    Integer spp, bps, photometric;
    std::string data;
    TRGB first, second;
    std::function<void(TiffBuilder&)> extra;
  };
  std::vector<uint16_t> map(3 * 16, 0);
  map[1] = 0xFF00;           // red of entry 1
  map[16 + 2] = 0x8000;      // green of entry 2
  const Case cases[] = {
      {"CMYK", 4, 8, 5, Rgb({0, 255, 255, 0, 0, 0, 0, 255}), TRGB{0, 0, 255}, TRGB{0, 0, 0}, {}},
      {"grey of four bits", 1, 4, 1, Rgb({0x1F}), TRGB{0x10, 0x10, 0x10}, TRGB{0xF0, 0xF0, 0xF0}, {}},
      {"white-is-zero grey", 1, 8, 0, Rgb({0, 200}), TRGB{255, 255, 255}, TRGB{55, 55, 55}, {}},
      {"palette of four bits", 1, 4, 3, Rgb({0x12}), TRGB{0, 0, 0xFF}, TRGB{0, 0x80, 0},
       [&map](TiffBuilder& b) { b.Short(320, map); }},
      {"palette of one bit", 1, 1, 3, Rgb({0x40}), TRGB{0, 0, 0}, TRGB{0, 0, 0xFF},
       [](TiffBuilder& b) { b.Short(320, {0, 0xFF00, 0, 0, 0, 0}); }},
      {"grey with alpha", 2, 8, 1, Rgb({10, 20, 30, 40}), TRGB{10, 10, 10}, TRGB{30, 30, 30}, {}},
  };
  for (const Case& c : cases) {
    TIOParamsVals params(nullptr);
    ReadResult r;
    ReadTiff(Page(true, 2, 1, c.spp, c.bps, c.photometric, c.data, c.extra), params, r, ReadOptions{});
    ASSERT_TRUE(r.ok) << c.name;
    ASSERT_EQ(r.bitmap.GetPixelFormat(), ie24RGB) << c.name;
    EXPECT_EQ(PixelAt(r.bitmap, 0, 0), c.first) << c.name;
    EXPECT_EQ(PixelAt(r.bitmap, 1, 0), c.second) << c.name;
  }
}

TEST(TiffReader, OrientationTurnsThePageUpright) {
  // Stored 3 x 2; D(x, y) gives the stored pixel shown at (x, y).
  struct Case {
    Integer orientation;
    Integer w, h;
    std::function<std::pair<int, int>(int, int)> from;
  };
  const int W = 3, H = 2;
  const Case cases[] = {
      {1, W, H, [](int x, int y) { return std::make_pair(x, y); }},
      {2, W, H, [](int x, int y) { return std::make_pair(W - 1 - x, y); }},
      {3, W, H, [](int x, int y) { return std::make_pair(W - 1 - x, H - 1 - y); }},
      {4, W, H, [](int x, int y) { return std::make_pair(x, H - 1 - y); }},
      {5, H, W, [](int x, int y) { return std::make_pair(y, x); }},
      {6, H, W, [](int x, int y) { return std::make_pair(y, H - 1 - x); }},
      {7, H, W, [](int x, int y) { return std::make_pair(W - 1 - y, H - 1 - x); }},
      {8, H, W, [](int x, int y) { return std::make_pair(W - 1 - y, x); }},
  };
  // RGBA: the alpha is turned with the page.
  std::string data;
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x) data += Rgb({10 * x + 1, 10 * y + 1, 99, 100 + 10 * x + y});
  for (const Case& c : cases) {
    const std::string bytes = Page(true, W, H, 4, 8, 2, data, [&c](TiffBuilder& b) {
      b.Short(274, {static_cast<uint16_t>(c.orientation)});
    });
    TIOParamsVals params(nullptr);
    ReadResult r;
    ReadTiff(bytes, params, r, ReadOptions{.adjustOrientation = true});
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(params.TIFF_Orientation, c.orientation);
    ASSERT_EQ(r.bitmap.GetWidth(), c.w) << c.orientation;
    ASSERT_EQ(r.bitmap.GetHeight(), c.h) << c.orientation;
    for (int y = 0; y < c.h; ++y)
      for (int x = 0; x < c.w; ++x) {
        const auto [sx, sy] = c.from(x, y);
        EXPECT_EQ(PixelAt(r.bitmap, x, y), (TRGB{99, Byte(10 * sy + 1), Byte(10 * sx + 1)}))
            << "orientation " << c.orientation << " at " << x << "," << y;
        ASSERT_NE(r.mask, nullptr);
        ASSERT_EQ(r.mask->GetWidth(), c.w);
        EXPECT_EQ(r.mask->GetScanLine(y)[x], 100 + 10 * sx + sy) << "alpha, orientation " << c.orientation;
      }
  }
}

TEST(TiffReader, BilevelTilesPlacedOffByteBoundaries) {
  // 6 x 1 in two tiles four pixels wide: 1010 | 01(00).
  TiffBuilder b(true);
  const uint32_t t0 = b.AddData("\xA0"), t1 = b.AddData("\x50");
  b.Long(256, {6});
  b.Long(257, {1});
  b.Short(258, {1});
  b.Short(262, {1});
  b.Long(322, {4});
  b.Long(323, {1});
  b.Long(324, {t0, t1});
  b.Long(325, {1, 1});
  b.EndPage();
  TIOParamsVals params(nullptr);
  ReadResult r;
  ReadTiff(b.Build(), params, r, ReadOptions{});
  ASSERT_TRUE(r.ok);
  ASSERT_EQ(r.bitmap.GetPixelFormat(), ie1g);
  EXPECT_EQ(static_cast<const Byte*>(r.bitmap.GetScanLine(0))[0] & 0xFC, 0xA4);
}

TEST(TiffReader, OrientationSixTurnsAHundredByFifty) {
  const std::string bytes = Page(true, 100, 50, 1, 8, 1, std::string(5000, '\x7F'), [](TiffBuilder& b) {
    b.Short(274, {6});
  });
  TIOParamsVals params(nullptr);
  ReadResult r;
  ReadTiff(bytes, params, r, ReadOptions{.adjustOrientation = true});
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.bitmap.GetWidth(), 50);
  EXPECT_EQ(r.bitmap.GetHeight(), 100);
  ReadResult kept;
  ReadTiff(bytes, params, kept, ReadOptions{.adjustOrientation = false});
  EXPECT_EQ(kept.bitmap.GetWidth(), 100);
}

TEST(TiffReader, EmbeddedTiffWithRelativeOffsets) {
  const std::string bytes = "0123456789" + Page(false, 1, 1, 3, 8, 2, Rgb({7, 8, 9}));
  TIOParamsVals params(nullptr);
  ReadResult r;
  ReadTiff(bytes, params, r, ReadOptions{.relative = true, .startAt = 10});
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(PixelAt(r.bitmap, 0, 0), (TRGB{9, 8, 7}));
}

// ---------------------------------------------------------------------------
// Files of ImageMagick (and tiffcp) in layouts the reader either decodes exactly or
// refuses; ImageMagick's own reading of each file is the reference.

struct MagickPage {
  std::string bytes;  // the TIFF file
  std::string rgb;    // what ImageMagick reads from it, 8 bits a channel
  Integer width = 0, height = 0;
};

// Runs ImageMagick with `make` (which names the output last) and then tiffcp with
// `recode` when it is not empty; the reference is ImageMagick's reading of the result.
MagickPage MakeWithMagick(larktest::TempDir& dir, std::vector<std::string> make, Integer w, Integer h,
                          const std::vector<std::string>& recode = {}) {
  MagickPage page;
  const std::string convert = larktest::RequireProgram("convert-im6.q16");
  if (convert.empty()) return page;
  const std::string made = dir.Path() + "made.tif", out = dir.Path() + "page.tif", raw = dir.Path() + "page.rgb";
  int rc = -1;
  make.insert(make.begin(), convert);
  make.push_back(made);
  larktest::RunCommand(make, &rc);
  EXPECT_EQ(rc, 0) << "ImageMagick could not write the file";
  std::string file = made;
  if (!recode.empty()) {
    const std::string tiffcp = larktest::RequireProgram("tiffcp");
    if (tiffcp.empty()) return page;
    std::vector<std::string> argv{tiffcp};
    argv.insert(argv.end(), recode.begin(), recode.end());
    argv.push_back(made);
    argv.push_back(out);
    larktest::RunCommand(argv, &rc);
    EXPECT_EQ(rc, 0) << argv[0] << " failed";
    file = out;
  }
  larktest::RunCommand({convert, file, "-depth", "8", "rgb:" + raw}, &rc);
  EXPECT_EQ(rc, 0) << "ImageMagick could not read the file back";
  page.bytes = ReadFile(file);
  page.rgb = ReadFile(raw);
  page.width = w;
  page.height = h;
  if (page.rgb.size() != static_cast<size_t>(w) * h * 3) page.bytes.clear();
  return page;
}

// A pattern that takes every grey level a few bits can hold.
std::vector<std::string> GreyPattern(Integer w, Integer h, Integer bits) {
  return {"-size", std::to_string(w) + "x" + std::to_string(h), "xc:", "-fx", "((i*7+j*3)%17)/16", "-depth",
          std::to_string(bits), "-compress", "none"};
}

// Grey pages of 2, 3, 5, 6 and 7 bits come back with every level in place, and a
// 16-bit CMYK page in either byte order with its colours.
TEST(TiffReaderPeerLayouts, OddGreyDepthsAndSixteenBitCmykDecodeExactly) {
  larktest::TempDir dir;
  struct Case {
    std::string name;
    std::vector<std::string> make, recode;
    Integer tolerance;
  };
  std::vector<Case> cases;
  for (Integer bits : {2, 3, 5, 6, 7}) {
    cases.push_back({"grey of " + std::to_string(bits) + " bits", GreyPattern(17, 9, bits), {}, 1});
    cases.push_back({"grey of " + std::to_string(bits) + " bits in strips of 2 rows, big-endian",
                     GreyPattern(17, 9, bits), {"-r", "2", "-B"}, 1});
  }
  const std::vector<std::string> cmyk = {"-seed", "5", "-size", "17x9", "plasma:", "-colorspace", "CMYK",
                                         "-depth", "16", "-compress", "none"};
  cases.push_back({"CMYK of 16 bits", cmyk, {}, 3});
  cases.push_back({"CMYK of 16 bits, big-endian", cmyk, {"-B"}, 3});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const MagickPage page = MakeWithMagick(dir, c.make, 17, 9, c.recode);
    ASSERT_FALSE(page.bytes.empty());
    TIOParamsVals params(nullptr);
    ReadResult r;
    ReadTiff(page.bytes, params, r, ReadOptions{});
    ASSERT_TRUE(r.ok);
    ASSERT_EQ(r.bitmap.GetWidth(), 17);
    ASSERT_EQ(r.bitmap.GetHeight(), 9);
    const Difference worst = WorstDifference(r.bitmap, page.rgb, 17, 9);
    EXPECT_LE(worst.most, c.tolerance) << "at " << worst.x << "," << worst.y;
  }
}

// Deflate under its registered code 8 and under the older 32946 decodes to what
// ImageMagick reads from the file; the compression has no name among the
// parameters' values.
TEST(TiffReaderPeerLayouts, DeflatePagesDecodeUnderEitherCode) {
  larktest::TempDir dir;
  const std::vector<std::string> rgb = {"-seed", "5", "-size", "17x9", "plasma:", "-depth", "8"};
  std::vector<std::string> magickZip = rgb;
  magickZip.insert(magickZip.end(), {"-compress", "zip"});
  std::vector<std::string> plain = rgb;
  plain.insert(plain.end(), {"-compress", "none"});
  const MagickPage byMagick = MakeWithMagick(dir, magickZip, 17, 9);
  const MagickPage byTiffcp = MakeWithMagick(dir, plain, 17, 9, {"-c", "zip"});
  ASSERT_FALSE(byMagick.bytes.empty());
  ASSERT_FALSE(byTiffcp.bytes.empty());
  // The same file with the old code of Deflate in its Compression entry.
  std::string old = byTiffcp.bytes;
  bool patched = false;
  const uint32_t ifd = Byte(old[4]) | (Byte(old[5]) << 8) | (Byte(old[6]) << 16) | (uint32_t{Byte(old[7])} << 24);
  const size_t entries = Byte(old[ifd]) | (Byte(old[ifd + 1]) << 8);
  for (size_t i = 0; i < entries; ++i) {
    const size_t at = ifd + 2 + i * 12;
    if (Byte(old[at]) == 3 && Byte(old[at + 1]) == 1) {  // tag 259
      ASSERT_EQ(Byte(old[at + 8]), 8);
      old[at + 8] = static_cast<char>(32946 & 0xFF);
      old[at + 9] = static_cast<char>(32946 >> 8);
      patched = true;
    }
  }
  ASSERT_TRUE(patched);
  const std::pair<const char*, const std::string*> files[] = {
      {"ImageMagick's Deflate", &byMagick.bytes}, {"tiffcp's Deflate", &byTiffcp.bytes}, {"old Deflate code", &old}};
  for (const auto& [name, bytes] : files) {
    SCOPED_TRACE(name);
    TIOParamsVals params(nullptr);
    ReadResult r;
    ReadTiff(*bytes, params, r, ReadOptions{});
    ASSERT_TRUE(r.ok);
    ASSERT_EQ(r.bitmap.GetWidth(), 17);
    ASSERT_EQ(r.bitmap.GetHeight(), 9);
    const Difference worst = WorstDifference(r.bitmap, byMagick.rgb, 17, 9);
    EXPECT_EQ(worst.most, 0) << "at " << worst.x << "," << worst.y;
    TIOParamsVals previewParams(nullptr);
    ReadResult preview;
    ReadTiff(*bytes, previewParams, preview, ReadOptions{.preview = true});
    EXPECT_TRUE(preview.ok);
    EXPECT_EQ(previewParams.Width, 17);
    EXPECT_EQ(previewParams.TIFF_Compression, ioTIFF_UNKNOWN);
  }
}

// Sample layouts with nowhere to go in the bitmap end with the abort flag rather than
// a blank page reported as read.
TEST(TiffReader, LayoutsWithoutPixelsAbort) {
  struct Case {
    const char* name;
    Integer spp, bps, photometric;
    std::function<void(TiffBuilder&)> extra;
  };
  const Case cases[] = {
      {"YCbCr without JPEG", 3, 8, 6, {}},
      {"grey with 16-bit alpha", 2, 16, 1, {}},
      {"CMYK with a fifth ink", 5, 8, 5, {}},
      {"RGB of 4 bits", 3, 4, 2, {}},
      {"transparency mask", 1, 1, 4, {}},
      {"separate grey planes of 4 bits", 2, 4, 1, [](TiffBuilder& b) { b.Short(284, {2}); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TIOParamsVals params(nullptr);
    ReadResult r;
    ReadTiff(Page(true, 4, 2, c.spp, c.bps, c.photometric, std::string(64, '\x55'), c.extra), params, r,
             ReadOptions{});
    EXPECT_FALSE(r.ok);
  }
}

std::string Zlib(const std::string& raw) {
  uLongf n = compressBound(static_cast<uLong>(raw.size()));
  std::string out(n, '\0');
  compress(reinterpret_cast<Bytef*>(out.data()), &n, reinterpret_cast<const Bytef*>(raw.data()),
           static_cast<uLong>(raw.size()));
  out.resize(n);
  return out;
}

// Deflate data that cannot give the page's rows, and predictors the reader cannot
// undo, end with the abort flag; a sound stream with more than the page or bytes
// after its end still reads.
TEST(TiffReader, DeflateAndPredictorCorners) {
  // A 4 x 3 RGB page, each row differenced: (10, 20, 30) then +1 per sample.
  std::string rows;
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 4; ++x)
      rows += x == 0 ? Rgb({10 * (y + 1), 20, 30}) : Rgb({1, 1, 1});
  const std::string good = Zlib(rows);
  std::string damaged = good;
  for (size_t i = 2; i + 4 < damaged.size(); ++i) damaged[i] = static_cast<char>(0xFF);
  const auto tags = [](uint16_t comp, uint16_t predictor) {
    return [comp, predictor](TiffBuilder& b) {
      b.Short(259, {comp});
      b.Short(317, {predictor});
    };
  };
  struct Case {
    const char* name;
    Integer bps;
    std::string data;
    std::function<void(TiffBuilder&)> extra;
    bool ok;
  };
  const Case cases[] = {
      {"differenced rows", 8, good, tags(8, 2), true},
      {"differenced rows under the old code", 8, good, tags(32946, 2), true},
      {"bytes after the stream", 8, good + "trailing", tags(8, 2), true},
      {"a stream longer than the page", 8, Zlib(rows + rows), tags(8, 2), true},
      {"a damaged stream", 8, damaged, tags(8, 2), false},
      {"a cut stream", 8, good.substr(0, good.size() / 2), tags(8, 2), false},
      {"a stream short of the last row", 8, Zlib(rows.substr(0, rows.size() - 1)), tags(8, 2), false},
      {"no zlib header", 8, rows, tags(8, 1), false},
      {"an empty strip", 8, std::string(), tags(8, 1), false},
      {"floating-point predictor", 8, good, tags(8, 3), false},
      {"unknown predictor", 8, good, tags(8, 9), false},
      {"differencing of 4-bit samples", 4, Zlib(std::string(6, '\x11')), tags(8, 2), false},
      {"differencing of 4-bit samples behind LZW", 4, "\x80\x00\x00\x00", tags(5, 2), false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TIOParamsVals params(nullptr);
    ReadResult r;
    ReadTiff(Page(true, 4, 3, 3, c.bps, 2, c.data, c.extra), params, r, ReadOptions{});
    EXPECT_EQ(r.ok, c.ok);
    if (!c.ok || !r.ok) continue;
    for (Integer y = 0; y < 3; ++y)
      for (Integer x = 0; x < 4; ++x) {
        const TRGB p = PixelAt(r.bitmap, x, y);
        EXPECT_EQ(p.r, 10 * (y + 1) + x) << x << "," << y;
        EXPECT_EQ(p.g, 20 + x) << x << "," << y;
        EXPECT_EQ(p.b, 30 + x) << x << "," << y;
      }
  }
}

TEST(TiffReader, LzwWithoutADecoderAborts) {
  const std::string bytes = Page(true, 1, 1, 3, 8, 2, "\x80\x00\x00\x00", [](TiffBuilder& b) { b.Short(259, {5}); });
  const TTIFFLZWDecompFunc saved = DefTIFF_LZWDECOMPFUNC;
  DefTIFF_LZWDECOMPFUNC = nullptr;
  for (bool preview : {false, true}) {
    TIOParamsVals params(nullptr);
    ReadResult r;
    ReadTiff(bytes, params, r, ReadOptions{.preview = preview, .lzwHook = false});
    EXPECT_FALSE(r.ok) << "preview " << preview;
  }
  DefTIFF_LZWDECOMPFUNC = saved;
}

TEST(TiffReader, LzwRowTheDecoderCannotGiveAborts) {
  // A strip of a clear code and the end code: no rows at all.
  const std::string bytes = Page(true, 1, 1, 3, 8, 2, "\x80\x20\x20\x00", [](TiffBuilder& b) { b.Short(259, {5}); });
  TIOParamsVals params(nullptr);
  ReadResult r;
  ReadTiff(bytes, params, r, ReadOptions{});
  EXPECT_FALSE(r.ok);
}

TEST(TiffReader, DefaultLzwDecoderServesWhenTheParametersHaveNone) {
  // The LZW strip of one RGB pixel (1, 2, 3): clear, 1, 2, 3, end, in 9-bit codes.
  std::string lzw;
  {
    const int codes[] = {256, 1, 2, 3, 257};
    uint32_t acc = 0;
    int bits = 0;
    for (int c : codes) {
      acc = (acc << 9) | static_cast<uint32_t>(c);
      bits += 9;
      while (bits >= 8) {
        lzw += static_cast<char>((acc >> (bits - 8)) & 0xFF);
        bits -= 8;
      }
    }
    if (bits > 0) lzw += static_cast<char>((acc << (8 - bits)) & 0xFF);
  }
  const std::string bytes = Page(true, 1, 1, 3, 8, 2, lzw, [](TiffBuilder& b) { b.Short(259, {5}); });
  const TTIFFLZWDecompFunc saved = DefTIFF_LZWDECOMPFUNC;
  DefTIFF_LZWDECOMPFUNC = TestLzwHook;
  TIOParamsVals params(nullptr);
  ReadResult r;
  ReadTiff(bytes, params, r, ReadOptions{.lzwHook = false});
  DefTIFF_LZWDECOMPFUNC = saved;
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(params.TIFF_Compression, ioTIFF_LZW);
  EXPECT_EQ(PixelAt(r.bitmap, 0, 0), (TRGB{3, 2, 1}));
}

// Runs a Pillow script that writes a JPEG file to sys.argv[1] and the pixels it
// reads back from it to sys.argv[2]; answers both files' bytes.
bool PillowJpeg(const std::string& script, std::string& jpeg, std::string& raw) {
  larktest::TempDir dir;
  const std::string jpgPath = dir.Path() + "p.jpg", rawPath = dir.Path() + "p.raw";
  int rc = -1;
  larktest::RunCommand({kPython, "-c", script, jpgPath, rawPath}, &rc);
  if (rc != 0) return false;
  jpeg = ReadFile(jpgPath);
  raw = ReadFile(rawPath);
  return true;
}

// One page of w x h, three samples of 8 bits, holding `jpeg` as its only data:
// its offset and length under offsetTag and countTag.
std::string JpegPage(Integer w, Integer h, uint16_t compression, uint16_t photometric,
                     const std::string& jpeg, uint16_t offsetTag, uint16_t countTag) {
  TiffBuilder b(true);
  const uint32_t off = b.AddData(jpeg);
  b.Long(256, {static_cast<uint32_t>(w)});
  b.Long(257, {static_cast<uint32_t>(h)});
  b.Short(258, {8, 8, 8});
  b.Short(259, {compression});
  b.Short(262, {photometric});
  b.Short(277, {3});
  b.Long(offsetTag, {off});
  b.Long(countTag, {static_cast<uint32_t>(jpeg.size())});
  b.EndPage();
  return b.Build();
}

// Through the JPEG reader (unit jpegfilt): an old-style JPEG page holds one whole
// JPEG file at JPEGInterchangeFormat.
TEST(TiffReaderJpeg, OldStyleJpegPageReadsTheEmbeddedFile) {
  std::string jpeg, rgb;
  ASSERT_TRUE(PillowJpeg("import sys\nfrom PIL import Image\nim = Image.new('RGB', (24, 16))\n"
                         "im.putdata([((x * 10) % 256, (y * 15) % 256, 128) for y in range(16) for x in range(24)])\n"
                         "im.save(sys.argv[1], quality=90)\n"
                         "open(sys.argv[2], 'wb').write(Image.open(sys.argv[1]).convert('RGB').tobytes())\n",
                         jpeg, rgb))
      << "Pillow could not write the JPEG";
  TIOParamsVals params(nullptr);
  ReadResult r;
  ReadTiff(JpegPage(24, 16, 6, 6, jpeg, 513, 514), params, r, ReadOptions{});
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(params.TIFF_Compression, ioTIFF_OLDJPEG);
  ASSERT_EQ(r.bitmap.GetWidth(), 24);
  ASSERT_EQ(r.bitmap.GetHeight(), 16);
  ASSERT_EQ(rgb.size(), 24u * 16 * 3);
  EXPECT_LE(WorstDifference(r.bitmap, rgb, 24, 16).most, 2);
}

// A JPEG strip of an RGB page that the library would take for YCbCr comes out
// unconverted, its first component as red.
TEST(TiffReaderJpeg, RgbStripTakenForYCbCrIsReadRaw) {
  std::string jpeg, ycc;
  ASSERT_TRUE(PillowJpeg("import sys\nfrom PIL import Image\nim = Image.new('RGB', (16, 8))\n"
                         "im.putdata([((x * 16) % 256, (y * 30) % 256, 200) for y in range(8) for x in range(16)])\n"
                         "im.save(sys.argv[1], quality=95, subsampling=0)\n"
                         "j = Image.open(sys.argv[1]); j.draft('YCbCr', j.size)\n"
                         "open(sys.argv[2], 'wb').write(j.tobytes())\n",
                         jpeg, ycc))
      << "Pillow could not write the JPEG";
  ASSERT_EQ(ycc.size(), 16u * 8 * 3);
  TIOParamsVals params(nullptr);
  ReadResult r;
  ReadTiff(JpegPage(16, 8, 7, 2, jpeg, 273, 279), params, r, ReadOptions{});
  ASSERT_TRUE(r.ok);
  EXPECT_LE(WorstDifference(r.bitmap, ycc, 16, 8).most, 1);
}

// ---------------------------------------------------------------------------
// Damaged pages: each ends in the abort flag or reads, and never reads or writes
// outside what it was given.

TEST(TiffReader, DamagedPagesAbortOrReadSafely) {
  struct Case {
    const char* name;
    std::string bytes;
    bool reads;
  };
  const std::string rgb4 = std::string(12, '\x33');
  std::vector<Case> cases;
  cases.push_back({"rows per strip 0 is one strip", Page(true, 2, 2, 3, 8, 2, rgb4, [](TiffBuilder& b) {
                     b.Long(278, {0});
                   }), true});
  cases.push_back({"strip offset beyond the stream", Page(true, 2, 2, 3, 8, 2, rgb4, [](TiffBuilder& b) {
                     b.Long(273, {0x7FFFFF00u});
                   }), false});
  cases.push_back({"strip byte count beyond the stream", Page(true, 2, 2, 3, 8, 2, rgb4, [](TiffBuilder& b) {
                     b.Long(279, {0x7FFFFF00u});
                   }), false});
  cases.push_back({"strip shorter than its rows", Page(true, 2, 2, 3, 8, 2, rgb4.substr(0, 7)), false});
  cases.push_back({"fewer strips than the rows need", Page(true, 2, 4, 3, 8, 2, rgb4, [](TiffBuilder& b) {
                     b.Long(278, {1});
                   }), false});
  cases.push_back({"strip array counted beyond the stream", Page(true, 2, 2, 3, 8, 2, rgb4, [](TiffBuilder& b) {
                     b.RawEntry(273, 4, 0x40000000u, 8);
                   }), true});
  cases.push_back({"width x height beyond any memory", Page(true, 0, 0, 3, 8, 2, rgb4, [](TiffBuilder& b) {
                     b.Long(256, {0x10000});
                     b.Long(257, {0x10000});
                   }), false});
  cases.push_back({"negative width", Page(true, 0, 1, 3, 8, 2, rgb4, [](TiffBuilder& b) {
                     b.Long(256, {0xFFFFFFF0u});
                   }), false});
  cases.push_back({"zero width", Page(true, 0, 2, 3, 8, 2, rgb4), false});
  cases.push_back({"tile with a zero side", Page(true, 2, 2, 3, 8, 2, rgb4, [](TiffBuilder& b) {
                     b.Long(322, {16});
                     b.Long(323, {0});
                   }), false});
  cases.push_back({"tiles beyond the array", Page(true, 40, 40, 3, 8, 2, rgb4, [](TiffBuilder& b) {
                     b.Long(322, {16});
                     b.Long(323, {16});
                   }), false});
  cases.push_back({"tiles of separate planes", Page(true, 2, 2, 3, 8, 2, rgb4, [](TiffBuilder& b) {
                     b.Long(322, {16});
                     b.Long(323, {16});
                     b.Short(284, {2});
                   }), false});
  cases.push_back({"unequal bits per sample", Page(true, 2, 2, 3, 8, 2, rgb4, [](TiffBuilder& b) {
                     b.Short(258, {8, 8, 16});
                   }), false});
  cases.push_back({"palette index beyond a short colour map", Page(true, 2, 1, 1, 8, 3, Rgb({1, 250}),
                   [](TiffBuilder& b) { b.Short(320, {0xFF00, 0, 0}); }), true});
  cases.push_back({"huge samples per pixel", Page(true, 2, 2, 1, 8, 2, rgb4, [](TiffBuilder& b) {
                     b.Short(277, {65535});
                     b.RawEntry(258, 3, 1, 8);
                   }), false});
  cases.push_back({"packbits running out", Page(true, 4, 1, 3, 8, 2, Rgb({5, 1, 2}), [](TiffBuilder& b) {
                     b.Short(259, {32773});
                   }), false});
  cases.push_back({"packbits run past the row", Page(true, 1, 2, 3, 8, 2, Rgb({0x80, 0xF0, 7, 0xFE, 9}),
                   [](TiffBuilder& b) { b.Short(259, {32773}); }), true});
  {
    // Every entry of the page is there, but the directory claims more than the
    // stream holds: one entry more, or the most a directory can count.
    const char* const names[2][2] = {
        {"II: one entry more than the stream holds", "II: entry count 0xFFFF past the end"},
        {"MM: one entry more than the stream holds", "MM: entry count 0xFFFF past the end"}};
    for (int order = 0; order < 2; ++order)
      for (int big = 0; big < 2; ++big) {
        std::string file = Page(order == 0, 2, 2, 3, 8, 2, rgb4);
        const size_t directory = file.size() - 4 - 7 * 12 - 2;  // the page's 7 entries end the file
        TiffBuilder(order == 0).Patch16(file, directory, big ? 0xFFFF : 8);
        cases.push_back({names[order][big], file, false});
      }
  }
  {
    // Page 1 points back at page 0: the chain ends, both pages count.
    TiffBuilder b(true);
    for (int i = 0; i < 2; ++i) {
      const uint32_t off = b.AddData(Rgb({1, 2, 3}));
      b.Long(256, {1});
      b.Long(257, {1});
      b.Short(258, {8, 8, 8});
      b.Short(277, {3});
      b.Long(273, {off});
      b.Long(279, {3});
      b.EndPage();
    }
    b.LinkPage(1, 0);
    cases.push_back({"directories in a loop", b.Build(), true});
  }
  {
    // Many strips sharing one large block of data.
    TiffBuilder b(true);
    const uint32_t off = b.AddData(std::string(30000, '\x01'));
    b.Long(256, {10000});
    b.Long(257, {1000});
    b.Short(258, {8});
    b.Short(262, {1});
    b.Long(278, {1});
    b.Long(273, std::vector<uint32_t>(1000, off));
    b.Long(279, std::vector<uint32_t>(1000, 30000));
    b.EndPage();
    cases.push_back({"strips sharing their bytes", b.Build(), false});
  }
  for (const Case& c : cases) {
    TIOParamsVals params(nullptr);
    ReadResult r;
    ReadTiff(c.bytes, params, r, ReadOptions{});
    EXPECT_EQ(r.ok, c.reads) << c.name;
  }
}

TEST(TiffReader, CountsPagesWithoutParameters) {
  TiffBuilder b(false);
  for (int i = 0; i < 4; ++i) {
    b.Long(256, {1});
    b.EndPage();
  }
  const std::string bytes = b.Build();
  TMemoryStream s;
  Fill(s, bytes);
  bool aborting = false;
  TProgressRec progress;
  progress.Aborting = &aborting;
  Integer count = -1;
  std::unique_ptr<TIEMask> mask;
  TIEBitmap bitmap;
  TIFFReadStream(&bitmap, &s, count, nullptr, progress, false, mask, false, false);
  EXPECT_FALSE(aborting);
  EXPECT_EQ(count, 4);
}

TEST(TiffReader, ReportsProgressToAHundred) {
  const std::string bytes = Page(true, 3, 10, 1, 8, 1, std::string(30, '\x20'));
  TMemoryStream s;
  Fill(s, bytes);
  TIOParamsVals params(nullptr);
  bool aborting = false;
  std::vector<Integer> seen;
  TProgressRec progress;
  progress.Aborting = &aborting;
  progress.OnProgress = [&seen](TObject*, Integer per) { seen.push_back(per); };
  Integer count = 0;
  std::unique_ptr<TIEMask> mask;
  TIEBitmap bitmap;
  TIFFReadStream(&bitmap, &s, count, &params, progress, false, mask, false, false);
  EXPECT_FALSE(aborting);
  ASSERT_EQ(seen.size(), 10u);
  EXPECT_EQ(seen.front(), 10);
  EXPECT_EQ(seen.back(), 100);
}

TEST(TiffReader, ProgressOfTiledPagesCountsEveryTile) {
  // 8 x 4 grey in two tiles side by side: the first tile is half the page.
  TiffBuilder b(true);
  const uint32_t t0 = b.AddData(std::string(16, '\x10')), t1 = b.AddData(std::string(16, '\x20'));
  b.Long(256, {8});
  b.Long(257, {4});
  b.Short(258, {8});
  b.Short(262, {1});
  b.Long(322, {4});
  b.Long(323, {4});
  b.Long(324, {t0, t1});
  b.Long(325, {16, 16});
  b.EndPage();
  TMemoryStream s;
  Fill(s, b.Build());
  TIOParamsVals params(nullptr);
  bool aborting = false;
  std::vector<Integer> seen;
  TProgressRec progress;
  progress.Aborting = &aborting;
  progress.OnProgress = [&seen](TObject*, Integer per) { seen.push_back(per); };
  Integer count = 0;
  std::unique_ptr<TIEMask> mask;
  TIEBitmap bitmap;
  TIFFReadStream(&bitmap, &s, count, &params, progress, false, mask, false, false);
  EXPECT_FALSE(aborting);
  ASSERT_EQ(seen.size(), 8u) << "one report per row of each tile";
  EXPECT_EQ(seen[3], 50) << "after the first tile";
  EXPECT_EQ(seen.back(), 100);
  EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
  EXPECT_EQ(PixelAt(bitmap, 7, 3), (TRGB{0x20, 0x20, 0x20}));
}

// ---------------------------------------------------------------------------
// Hostile and fuzzed files of gdk-pixbuf-tests

TEST(TiffReader, HostileFilesAbortOrReadInTime) {
  namespace fs = std::filesystem;
  const char dir[] = "/usr/libexec/installed-tests/gdk-pixbuf";
  ASSERT_TRUE(fs::is_directory(dir)) << "gdk-pixbuf-tests is not installed; run scripts/install-deps";
  std::vector<fs::path> files;
  std::error_code ec;
  for (fs::recursive_directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
    if (!it->is_regular_file()) continue;
    const std::string ext = it->path().extension().string();
    if (ext == ".tif" || ext == ".tiff") files.push_back(it->path());
  }
  ASSERT_GE(files.size(), 3u);
  for (const fs::path& f : files) {
    const std::string bytes = ReadFile(f.string());
    const auto start = std::chrono::steady_clock::now();
    TMemoryStream s;
    Fill(s, bytes);
    Integer pages = 0;
    {
      TIOParamsVals params(nullptr);
      ReadResult r;
      ReadTiff(bytes, params, r, ReadOptions{});
      pages = r.count;
    }
    for (Integer i = 1; i < std::min<Integer>(pages, 8); ++i) {
      TIOParamsVals params(nullptr);
      ReadResult r;
      ReadTiff(bytes, params, r, ReadOptions{.index = i});
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_LT(seconds, 10.0) << f;
    if (f.string().find("/fail/") != std::string::npos) {
      TIOParamsVals params(nullptr);
      ReadResult r;
      ReadTiff(bytes, params, r, ReadOptions{});
      EXPECT_FALSE(r.ok) << f << " is broken on purpose";
    }
  }
}

}  // namespace
