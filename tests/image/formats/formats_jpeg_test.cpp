// The JPEG codec: files from cjpeg, ImageMagick and Pillow decode to the pixels
// djpeg gives (same library, same decoder settings), scaled reads match
// `djpeg -scale`, markers come back in file order, our files are read by djpeg and
// Pillow, and broken input ends in the abort flag (reading) or EIEJpegException
// (a library error while writing).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "image/formats/jpegfilt.h"
#include "image/model/iebitmap.h"
#include "platform/rtl/Streams.h"
#include "tests/image/file_test_util.h"
#include "tests/support/Peers.h"

// After the platform headers, whose TRUE and FALSE are constants of their own.
#include <cstdio>  // jpeglib.h needs FILE

#include <jpeglib.h>

namespace {

const char kPython[] = "/usr/bin/python3";
const char kConvert[] = "convert-im6.q16";
constexpr Integer kW = 101, kH = 75;  // odd sizes: partial MCUs at both edges

using file_test::ReadFile;
using file_test::WriteFile;

std::string StreamBytes(TMemoryStream& stream) {
  return std::string(static_cast<const char*>(stream.Memory()), static_cast<size_t>(stream.GetSize()));
}

// A P5 or P6 file with maxval 255.
struct Pnm {
  int width = 0, height = 0, channels = 0;
  std::string pixels;
};

Pnm ReadPnm(const std::string& path) {
  Pnm pnm;
  std::istringstream in(ReadFile(path));
  std::string magic;
  int maxval = 0;
  in >> magic >> pnm.width >> pnm.height >> maxval;
  in.get();
  pnm.channels = magic == "P6" ? 3 : (magic == "P5" ? 1 : 0);
  if (pnm.channels == 0 || maxval != 255) return {};
  pnm.pixels.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return pnm;
}

// The source picture: smooth gradients, edges and fine texture, so that every
// subsampling and edge block matters.
Byte SourceChannel(Integer x, Integer y, int c) {
  const double v = 128 + 70 * std::sin((x + 2 * y) / (9.0 + 4 * c)) + 40 * std::cos((x - y) / 6.0) +
                   ((x / 13 + y / 11 + c) % 2 == 0 ? 15 : -15);
  return static_cast<Byte>(std::clamp(static_cast<int>(v), 0, 255));
}

std::string SourcePnm(bool grey) {
  std::string out = std::string(grey ? "P5\n" : "P6\n") + std::to_string(kW) + " " + std::to_string(kH) + "\n255\n";
  for (Integer y = 0; y < kH; ++y)
    for (Integer x = 0; x < kW; ++x)
      for (int c = 0; c < (grey ? 1 : 3); ++c) out.push_back(static_cast<char>(SourceChannel(x, y, c)));
  return out;
}

// The source as an ie24RGB bitmap (the PPM's red, green, blue as TRGB).
std::unique_ptr<TIEBitmap> SourceBitmap() {
  auto bmp = std::make_unique<TIEBitmap>();
  bmp->Allocate(kW, kH, ie24RGB);
  for (Integer y = 0; y < kH; ++y) {
    auto* row = static_cast<TRGB*>(bmp->GetScanLine(y));
    for (Integer x = 0; x < kW; ++x) row[x] = TRGB{SourceChannel(x, y, 2), SourceChannel(x, y, 1), SourceChannel(x, y, 0)};
  }
  return bmp;
}

struct Decoded {
  bool aborted = false;
  std::unique_ptr<TIEBitmap> bitmap = std::make_unique<TIEBitmap>();
  std::unique_ptr<TIOParamsVals> params = std::make_unique<TIOParamsVals>(nullptr);
  std::vector<Integer> progress;
};

struct ReadOptions {
  bool preview = false;
  bool rawYCbCr = false;
  const std::string* tables = nullptr;
  std::function<void(TIOParamsVals&)> setup = nullptr;
};

// Writes bytes into stream and puts the position back at its start.
void Fill(TMemoryStream& stream, const std::string& bytes) {
  stream.WriteBuffer(bytes.data(), static_cast<Integer>(bytes.size()));
  stream.SetPosition(0);
}

Decoded Decode(const std::string& bytes, const ReadOptions& options = {}) {
  Decoded d;
  if (options.setup) options.setup(*d.params);
  TMemoryStream stream, tables;
  Fill(stream, bytes);
  if (options.tables != nullptr) {
    Fill(tables, *options.tables);
  }
  bool aborting = false;
  TProgressRec progress;
  progress.Aborting = &aborting;
  progress.OnProgress = [&d](TObject*, Integer per) { d.progress.push_back(per); };
  ReadJPegStream(&stream, options.tables != nullptr ? &tables : nullptr, d.bitmap.get(), *d.params, progress,
                 options.preview, options.rawYCbCr);
  d.aborted = aborting;
  return d;
}

struct Encoded {
  bool aborted = false;
  std::string bytes;
  std::vector<Integer> progress;
};

Encoded Encode(TIEBitmap* bitmap, const std::function<void(TIOParamsVals&)>& setup = {}) {
  Encoded e;
  TIOParamsVals params(nullptr);
  if (setup) setup(params);
  TMemoryStream stream;
  bool aborting = false;
  TProgressRec progress;
  progress.Aborting = &aborting;
  progress.OnProgress = [&e](TObject*, Integer per) { e.progress.push_back(per); };
  WriteJPegStream(&stream, bitmap, params, progress);
  e.aborted = aborting;
  e.bytes = StreamBytes(stream);
  return e;
}

// Pixels of bitmap that differ from a djpeg PNM (grey PNMs compare with every
// channel); the first few are reported.
int CountMismatches(TIEBitmap* bitmap, const Pnm& pnm) {
  EXPECT_EQ(bitmap->GetPixelFormat(), ie24RGB);
  EXPECT_EQ(bitmap->GetWidth(), pnm.width);
  EXPECT_EQ(bitmap->GetHeight(), pnm.height);
  if (bitmap->GetWidth() != pnm.width || bitmap->GetHeight() != pnm.height || pnm.channels == 0) return -1;
  int wrong = 0;
  for (int y = 0; y < pnm.height; ++y) {
    const auto* row = static_cast<const TRGB*>(bitmap->GetScanLine(y));
    for (int x = 0; x < pnm.width; ++x) {
      const auto* p = reinterpret_cast<const Byte*>(pnm.pixels.data()) + (static_cast<size_t>(y) * pnm.width + x) * pnm.channels;
      const Byte r = p[0], g = p[pnm.channels == 3 ? 1 : 0], b = p[pnm.channels == 3 ? 2 : 0];
      if (row[x].r != r || row[x].g != g || row[x].b != b) {
        if (++wrong <= 3)
          ADD_FAILURE() << "(" << x << "," << y << ") got " << int(row[x].r) << "," << int(row[x].g) << ","
                        << int(row[x].b) << " djpeg " << int(r) << "," << int(g) << "," << int(b);
      }
    }
  }
  return wrong;
}

// The marker segments before the first SOS: code and payload.
std::vector<std::pair<Byte, std::string>> Segments(const std::string& file) {
  std::vector<std::pair<Byte, std::string>> out;
  size_t i = 2;
  while (i + 4 <= file.size() && static_cast<Byte>(file[i]) == 0xFF) {
    const Byte code = static_cast<Byte>(file[i + 1]);
    if (code == 0xDA) break;
    const size_t len = (static_cast<Byte>(file[i + 2]) << 8) | static_cast<Byte>(file[i + 3]);
    out.emplace_back(code, file.substr(i + 4, len - 2));
    i += 2 + len;
  }
  return out;
}

std::string RunTool(const std::vector<std::string>& argv) {
  int exitCode = -1;
  const std::string out = larktest::RunCommand(argv, &exitCode);
  EXPECT_EQ(exitCode, 0) << argv[0] << ": " << out;
  return out;
}

// ---------------------------------------------------------------------------
// Files from the peers

struct PeerFile {
  const char* name;
  std::vector<std::string> argv;  // "{ppm}", "{pgm}", "{dir}" and "{out}" are replaced
  TIOJPEGColorspace colorSpace;
  Integer samples;
  bool progressive;
};

const std::vector<PeerFile>& PeerFiles() {
  static const std::vector<PeerFile> files = {
      {"cjpeg_420", {"cjpeg", "-quality", "85", "-outfile", "{out}", "{ppm}"}, ioJPEG_YCbCr, 3, false},
      {"cjpeg_444", {"cjpeg", "-sample", "1x1", "-outfile", "{out}", "{ppm}"}, ioJPEG_YCbCr, 3, false},
      {"cjpeg_422", {"cjpeg", "-sample", "2x1", "-outfile", "{out}", "{ppm}"}, ioJPEG_YCbCr, 3, false},
      {"cjpeg_411", {"cjpeg", "-sample", "4x1", "-outfile", "{out}", "{ppm}"}, ioJPEG_YCbCr, 3, false},
      {"cjpeg_440", {"cjpeg", "-sample", "1x2", "-outfile", "{out}", "{ppm}"}, ioJPEG_YCbCr, 3, false},
      {"cjpeg_progressive", {"cjpeg", "-progressive", "-outfile", "{out}", "{ppm}"}, ioJPEG_YCbCr, 3, true},
      {"cjpeg_restart_rows", {"cjpeg", "-restart", "1", "-outfile", "{out}", "{ppm}"}, ioJPEG_YCbCr, 3, false},
      {"cjpeg_restart_blocks_optimized",
       {"cjpeg", "-restart", "3B", "-optimize", "-sample", "2x1", "-outfile", "{out}", "{ppm}"},
       ioJPEG_YCbCr, 3, false},
      {"cjpeg_greyscale", {"cjpeg", "-grayscale", "-outfile", "{out}", "{ppm}"}, ioJPEG_GRAYLEV, 1, false},
      {"cjpeg_pgm", {"cjpeg", "-quality", "70", "-outfile", "{out}", "{pgm}"}, ioJPEG_GRAYLEV, 1, false},
      {"cjpeg_rgb", {"cjpeg", "-rgb", "-outfile", "{out}", "{ppm}"}, ioJPEG_RGB, 3, false},
      {"cjpeg_arithmetic", {"cjpeg", "-arithmetic", "-outfile", "{out}", "{ppm}"}, ioJPEG_YCbCr, 3, false},
      {"im_default", {kConvert, "{ppm}", "-quality", "80", "{out}"}, ioJPEG_YCbCr, 3, false},
      {"im_444", {kConvert, "{ppm}", "-quality", "95", "{out}"}, ioJPEG_YCbCr, 3, false},
      {"im_422", {kConvert, "{ppm}", "-sampling-factor", "2x1", "{out}"}, ioJPEG_YCbCr, 3, false},
      {"im_411", {kConvert, "{ppm}", "-sampling-factor", "4:1:1", "{out}"}, ioJPEG_YCbCr, 3, false},
      {"im_progressive", {kConvert, "{ppm}", "-interlace", "JPEG", "{out}"}, ioJPEG_YCbCr, 3, true},
      {"im_greyscale", {kConvert, "{ppm}", "-colorspace", "Gray", "{out}"}, ioJPEG_GRAYLEV, 1, false},
      {"im_ycck", {kConvert, "{ppm}", "-colorspace", "CMYK", "{out}"}, ioJPEG_YCbCrK, 4, false},
      {"im_ycck_progressive", {kConvert, "{ppm}", "-colorspace", "CMYK", "-interlace", "JPEG", "{out}"},
       ioJPEG_YCbCrK, 4, true},
      {"pil_cmyk",
       {kPython, "-c", "import sys; from PIL import Image; Image.open(sys.argv[1]).convert('CMYK').save(sys.argv[2])",
        "{ppm}", "{out}"},
       ioJPEG_CMYK, 4, false},
      {"pil_exif",
       {kPython, "-c",
        "import sys; from PIL import Image\n"
        "e = Image.Exif(); e[0x010f] = 'LarkCam'; e[0x0112] = 1\n"
        "Image.open(sys.argv[1]).save(sys.argv[2], exif=e.tobytes(), quality=90)",
        "{ppm}", "{out}"},
       ioJPEG_YCbCr, 3, false},
      // ImageMagick keeps the EXIF block of its input and adds the IPTC resource.
      {"im_exif_iptc", {kConvert, "{dir}pil_exif.jpg", "-quality", "75", "-profile", "8BIM:{dir}iptc.8bim", "{out}"},
       ioJPEG_YCbCr, 3, false},
      {"cjpeg_comment", {"wrjpgcom", "-comment", "lark comment", "{dir}cjpeg_420.jpg"}, ioJPEG_YCbCr, 3, false},
  };
  return files;
}

class JpegCodec : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    for (const char* tool : {"cjpeg", "djpeg", "wrjpgcom", kConvert}) larktest::RequireProgram(tool);
    dir_ = new larktest::TempDir();
    const std::string& d = dir_->Path();
    WriteFile(d + "src.ppm", SourcePnm(false));
    WriteFile(d + "src.pgm", SourcePnm(true));
    // An IPTC caption under a Photoshop resource header.
    const std::string iim = std::string("\x1c\x02\x78\x00\x05", 5) + "Hello";
    std::string res = "8BIM" + std::string("\x04\x04\x00\x00", 4) + std::string("\x00\x00\x00", 3) +
                      static_cast<char>(iim.size()) + iim + std::string(iim.size() % 2, '\0');
    WriteFile(d + "iptc.8bim", res);
    for (const PeerFile& f : PeerFiles()) {
      std::vector<std::string> argv;
      for (std::string a : f.argv) {
        const auto replace = [&a](const std::string& key, const std::string& value) {
          for (size_t p; (p = a.find(key)) != std::string::npos;) a.replace(p, key.size(), value);
        };
        replace("{ppm}", d + "src.ppm");
        replace("{pgm}", d + "src.pgm");
        replace("{dir}", d);
        replace("{out}", d + f.name + ".jpg");
        argv.push_back(a);
      }
      int exitCode = -1;
      const std::string out = larktest::RunCommand(argv, &exitCode);
      ASSERT_EQ(exitCode, 0) << f.name << ": " << out;
      if (std::string(f.name) == "cjpeg_comment") WriteFile(d + f.name + ".jpg", out);
    }
  }
  static void TearDownTestSuite() {
    delete dir_;
    dir_ = nullptr;
  }
  static std::string Path(const std::string& name) { return dir_->Path() + name; }
  static std::string File(const std::string& name) { return ReadFile(Path(name + ".jpg")); }
  // djpeg's decoding of a file, with extra switches, as a PNM.
  static Pnm Djpeg(const std::string& name, std::vector<std::string> switches = {}) {
    const std::string out = Path(name + ".djpeg.pnm");
    std::vector<std::string> argv = {"djpeg", "-pnm"};
    argv.insert(argv.end(), switches.begin(), switches.end());
    argv.insert(argv.end(), {"-outfile", out, Path(name + ".jpg")});
    RunTool(argv);
    return ReadPnm(out);
  }
  static larktest::TempDir* dir_;
};
larktest::TempDir* JpegCodec::dir_ = nullptr;

TEST_F(JpegCodec, PeerFilesDecodeToDjpegPixels) {
  for (const PeerFile& f : PeerFiles()) {
    SCOPED_TRACE(f.name);
    Decoded d = Decode(File(f.name));
    ASSERT_FALSE(d.aborted);
    EXPECT_EQ(d.params->JPEG_ColorSpace, f.colorSpace);
    EXPECT_EQ(d.params->SamplesPerPixel, f.samples);
    EXPECT_EQ(d.params->BitsPerSample, 8);
    EXPECT_EQ(d.params->JPEG_Progressive, f.progressive);
    EXPECT_EQ(d.params->Width, kW);
    EXPECT_EQ(d.params->Height, kH);
    EXPECT_EQ(d.params->JPEG_OriginalWidth, kW);
    EXPECT_EQ(d.params->JPEG_ScaleUsed, 1);
    EXPECT_EQ(d.params->JPEG_WarningTot, 0);
    EXPECT_EQ(CountMismatches(d.bitmap.get(), Djpeg(f.name)), 0);
    ASSERT_EQ(d.progress.size(), static_cast<size_t>(kH));
    EXPECT_EQ(d.progress.back(), 100);
  }
}

TEST_F(JpegCodec, ScaledReadsMatchDjpegScale) {
  const char* const names[] = {"cjpeg_420", "cjpeg_411", "cjpeg_progressive", "cjpeg_greyscale", "im_ycck"};
  const struct {
    TIOJPEGScale scale;
    Integer denominator;
  } scales[] = {{ioJPEG_HALF, 2}, {ioJPEG_QUARTER, 4}, {ioJPEG_EIGHTH, 8}};
  for (const char* name : names) {
    for (const auto& s : scales) {
      SCOPED_TRACE(std::string(name) + " 1/" + std::to_string(s.denominator));
      Decoded d = Decode(File(name), {.setup = [&](TIOParamsVals& p) { p.JPEG_Scale = s.scale; }});
      ASSERT_FALSE(d.aborted);
      EXPECT_EQ(d.params->JPEG_ScaleUsed, s.denominator);
      EXPECT_EQ(d.params->JPEG_OriginalWidth, kW);
      EXPECT_EQ(d.params->JPEG_OriginalHeight, kH);
      EXPECT_EQ(CountMismatches(d.bitmap.get(), Djpeg(name, {"-scale", "1/" + std::to_string(s.denominator)})), 0);
    }
    // Asked for 25 x 18: 1/4 still covers it (25 x 18), 1/8 would not (12 x 9).
    SCOPED_TRACE(std::string(name) + " autocalc");
    Decoded d = Decode(File(name), {.setup = [](TIOParamsVals& p) {
                                      p.JPEG_Scale = ioJPEG_AUTOCALC;
                                      p.Width = 25;
                                      p.Height = 18;
                                    }});
    ASSERT_FALSE(d.aborted);
    EXPECT_EQ(d.params->JPEG_ScaleUsed, 4);
    EXPECT_EQ(CountMismatches(d.bitmap.get(), Djpeg(name, {"-scale", "1/4"})), 0);
  }
}

TEST_F(JpegCodec, AutocalcPicksLargestReductionThatCoversWantedSize) {
  const struct {
    Integer fileW, fileH, wantW, wantH, denominator, outW, outH;
  } cases[] = {
      {1600, 1200, 100, 75, 8, 200, 150},
      {640, 480, 100, 75, 4, 160, 120},
      {640, 480, 0, 75, 1, 640, 480},     // no wanted size: full size
      {640, 480, 700, 500, 1, 640, 480},  // nothing covers it: full size
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.fileW) + "x" + std::to_string(c.fileH) + " want " + std::to_string(c.wantW) +
                 "x" + std::to_string(c.wantH));
    TIEBitmap bmp;
    bmp.Allocate(c.fileW, c.fileH, ie24RGB);
    bmp.Fill(0x336699);
    Encoded e = Encode(&bmp);
    ASSERT_FALSE(e.aborted);
    Decoded d = Decode(e.bytes, {.setup = [&](TIOParamsVals& p) {
                                   p.JPEG_Scale = ioJPEG_AUTOCALC;
                                   p.Width = c.wantW;
                                   p.Height = c.wantH;
                                 }});
    ASSERT_FALSE(d.aborted);
    EXPECT_EQ(d.params->JPEG_ScaleUsed, c.denominator);
    EXPECT_EQ(d.bitmap->GetWidth(), c.outW);
    EXPECT_EQ(d.bitmap->GetHeight(), c.outH);
    EXPECT_EQ(d.params->Width, c.outW);
    EXPECT_EQ(d.params->Height, c.outH);
  }
}

TEST_F(JpegCodec, GdkPixbufReferenceAndHostileFiles) {
  const std::string base = "/usr/libexec/installed-tests/gdk-pixbuf/test-images/";
  ASSERT_TRUE(std::filesystem::exists(base)) << "gdk-pixbuf-tests is not installed; run scripts/install-deps";
  // cat.jpg as djpeg reads it.
  std::filesystem::copy_file(base + "reftests/cat.jpg", Path("cat.jpg"),
                             std::filesystem::copy_options::overwrite_existing);
  Decoded cat = Decode(File("cat"));
  ASSERT_FALSE(cat.aborted);
  EXPECT_EQ(CountMismatches(cat.bitmap.get(), Djpeg("cat")), 0);
  // Hostile and randomly modified files load or abort, without a crash or an
  // exception.
  for (const char* name : {"fail/CVE-2017-2862.jpg", "randomly-modified/valid.1.jpeg",
                           "randomly-modified/valid.2.jpeg", "randomly-modified/bug775697.jpg"}) {
    SCOPED_TRACE(name);
    Decoded d = Decode(ReadFile(base + name));
    if (!d.aborted) {
      EXPECT_EQ(d.bitmap->GetWidth(), d.params->Width);
      EXPECT_EQ(d.bitmap->GetHeight(), d.params->Height);
    }
  }
}

// ---------------------------------------------------------------------------
// Markers

TEST_F(JpegCodec, MarkersComeBackInFileOrderWithoutJfifHeader) {
  const std::string file = File("im_exif_iptc");
  const auto segments = Segments(file);
  ASSERT_GE(segments.size(), 3u);
  ASSERT_EQ(segments[0].first, 0xE0);
  Decoded d = Decode(file);
  ASSERT_FALSE(d.aborted);
  TIEMarkerList& list = *d.params->JPEG_MarkerList;
  std::vector<std::pair<Byte, std::string>> want;
  for (const auto& s : segments)
    if (s.first >= 0xE1 && s.first <= 0xEF) want.push_back(s);
  ASSERT_EQ(want.size(), 2u);  // APP13 (IPTC) then APP1 (EXIF), as ImageMagick wrote them
  EXPECT_EQ(want[0].first, 0xED);
  EXPECT_EQ(want[1].first, 0xE1);
  ASSERT_EQ(list.GetCount(), 2);
  for (Integer i = 0; i < 2; ++i) {
    EXPECT_EQ(list.GetMarkerType(i), want[static_cast<size_t>(i)].first);
    EXPECT_EQ(std::string(static_cast<const char*>(list.GetMarkerData(i)), static_cast<size_t>(list.GetMarkerLength(i))),
              want[static_cast<size_t>(i)].second);
  }

  // A COM marker is kept as well.
  Decoded commented = Decode(File("cjpeg_comment"));
  ASSERT_FALSE(commented.aborted);
  const Integer com = commented.params->JPEG_MarkerList->IndexOf(0xFE);
  ASSERT_GE(com, 0);
  EXPECT_EQ(std::string(static_cast<const char*>(commented.params->JPEG_MarkerList->GetMarkerData(com)),
                        static_cast<size_t>(commented.params->JPEG_MarkerList->GetMarkerLength(com))),
            "lark comment");
}

TEST_F(JpegCodec, WritingRecreatesJfifThenTheMarkerList) {
  for (const char* name : {"pil_exif", "im_exif_iptc"}) {
    SCOPED_TRACE(name);
    Decoded d = Decode(File(name));
    ASSERT_FALSE(d.aborted);
    if (std::string(name) == "pil_exif") {
      ASSERT_EQ(d.params->JPEG_MarkerList->GetCount(), 1);
    }
    Encoded e = Encode(d.bitmap.get(), [&](TIOParamsVals& p) { p.JPEG_MarkerList->Assign(d.params->JPEG_MarkerList.get()); });
    ASSERT_FALSE(e.aborted);
    const auto written = Segments(e.bytes);
    std::vector<std::pair<Byte, std::string>> apps;
    for (const auto& s : written)
      if (s.first >= 0xE0 && s.first <= 0xEF) apps.push_back(s);
    TIEMarkerList& list = *d.params->JPEG_MarkerList;
    ASSERT_EQ(apps.size(), static_cast<size_t>(list.GetCount()) + 1);
    EXPECT_EQ(apps[0].first, 0xE0);
    EXPECT_EQ(apps[0].second.substr(0, 5), std::string("JFIF\0", 5));
    for (Integer i = 0; i < list.GetCount(); ++i) {
      EXPECT_EQ(apps[static_cast<size_t>(i) + 1].first, list.GetMarkerType(i));
      EXPECT_EQ(apps[static_cast<size_t>(i) + 1].second,
                std::string(static_cast<const char*>(list.GetMarkerData(i)),
                            static_cast<size_t>(list.GetMarkerLength(i))));
    }
    // Read back: the same list.
    Decoded back = Decode(e.bytes);
    ASSERT_FALSE(back.aborted);
    EXPECT_EQ(back.params->JPEG_MarkerList->GetCount(), list.GetCount());
  }
}

// A file of 60,000 markers (only a hostile one looks like this) reads in time linear
// in its size: the first 1,024 are kept, in file order, and the picture and the
// JFIF resolution are read as without them.
TEST_F(JpegCodec, MarkersBeyondTheBoundAreReadOverAndDropped) {
  const std::string file = File("cjpeg_420");
  Decoded plain = Decode(file);
  ASSERT_FALSE(plain.aborted);
  ASSERT_EQ(static_cast<Byte>(file[2]), 0xFF);
  ASSERT_EQ(static_cast<Byte>(file[3]), 0xE0);  // the JFIF header follows SOI
  const size_t jfifEnd = 4 + ((static_cast<Byte>(file[4]) << 8) | static_cast<Byte>(file[5]));
  std::string many = file.substr(0, jfifEnd);
  many.reserve(file.size() + 60000 * 6);
  for (int i = 0; i < 60000; ++i) {
    // Comments "0" .. "9" by turns, so order shows.
    many += std::string("\xFF\xFE\x00\x03", 4);
    many += static_cast<char>('0' + i % 10);
  }
  many += file.substr(jfifEnd);
  Decoded d = Decode(many);
  ASSERT_FALSE(d.aborted);
  TIEMarkerList& list = *d.params->JPEG_MarkerList;
  ASSERT_EQ(list.GetCount(), 1024);
  for (Integer i = 0; i < list.GetCount(); i += 97) {
    EXPECT_EQ(list.GetMarkerType(i), 0xFE);
    ASSERT_EQ(list.GetMarkerLength(i), 1);
    EXPECT_EQ(static_cast<const char*>(list.GetMarkerData(i))[0], static_cast<char>('0' + i % 10));
  }
  EXPECT_EQ(d.params->DpiX, plain.params->DpiX);
  EXPECT_EQ(d.params->DpiY, plain.params->DpiY);
  ASSERT_EQ(d.bitmap->GetWidth(), plain.bitmap->GetWidth());
  ASSERT_EQ(d.bitmap->GetHeight(), plain.bitmap->GetHeight());
  for (Integer y = 0; y < d.bitmap->GetHeight(); ++y)
    ASSERT_EQ(std::memcmp(d.bitmap->GetScanLine(y), plain.bitmap->GetScanLine(y), static_cast<size_t>(d.bitmap->GetWidth()) * 3), 0);
}

// ---------------------------------------------------------------------------
// Reader edge cases

TEST_F(JpegCodec, LeadingJunkUpToNinetyNineBytesIsSkipped) {
  const std::string file = File("cjpeg_420");
  const Pnm want = Djpeg("cjpeg_420");
  for (size_t junk : {0u, 40u, 99u, 100u}) {
    SCOPED_TRACE(junk);
    const std::string bytes = std::string(junk, '\x11') + file;
    TMemoryStream stream;
    Fill(stream, bytes);
    EXPECT_EQ(JpegTryStream(&stream), junk < 100 ? static_cast<Integer>(junk) : -1);
    EXPECT_EQ(stream.GetPosition(), 0);
    Decoded d = Decode(bytes);
    EXPECT_EQ(d.aborted, junk >= 100);
    if (junk < 100) {
      EXPECT_EQ(CountMismatches(d.bitmap.get(), want), 0);
    }
  }
  // The position found is absolute and the stream is left where it was.
  TMemoryStream stream;
  const std::string bytes = std::string(10, 'x') + file;
  stream.WriteBuffer(bytes.data(), static_cast<Integer>(bytes.size()));
  stream.SetPosition(3);
  EXPECT_EQ(JpegTryStream(&stream), 10);
  EXPECT_EQ(stream.GetPosition(), 3);
  TMemoryStream tiny;
  tiny.WriteBuffer("\xFF\xD8", 2);
  tiny.SetPosition(0);
  EXPECT_EQ(JpegTryStream(&tiny), -1);
}

TEST_F(JpegCodec, ResolutionFromJfifDensity) {
  auto bmp = SourceBitmap();
  Encoded e = Encode(bmp.get(), [](TIOParamsVals& p) {
    p.DpiX = 300;
    p.DpiY = 150;
  });
  ASSERT_FALSE(e.aborted);
  // JFIF APP0 at offset 2: FF E0, length, "JFIF\0", version (2), unit, X, Y.
  ASSERT_EQ(e.bytes.substr(6, 5), std::string("JFIF\0", 5));
  EXPECT_EQ(e.bytes[13], 1);
  Decoded d = Decode(e.bytes);
  EXPECT_EQ(d.params->DpiX, 300);
  EXPECT_EQ(d.params->DpiY, 150);

  const auto patched = [&](char unit, Byte density) {
    std::string b = e.bytes;
    b[13] = unit;
    b[14] = b[16] = 0;
    b[15] = b[17] = static_cast<char>(density);
    return b;
  };
  Decoded cm = Decode(patched(2, 118));  // dots per centimetre
  EXPECT_EQ(cm.params->DpiX, 299);
  EXPECT_EQ(cm.params->DpiY, 299);
  // Unit 0 is an aspect ratio only, and a file without JFIF header carries no
  // resolution: both give the screen's.
  Decoded aspect = Decode(patched(0, 1));
  EXPECT_EQ(aspect.params->DpiX, 96);
  Decoded noJfif = Decode(File("im_ycck"));
  EXPECT_EQ(noJfif.params->DpiX, 96);
  EXPECT_EQ(noJfif.params->DpiY, 96);
  // The writer puts the screen's resolution for 0.
  Encoded zero = Encode(bmp.get());
  EXPECT_EQ(static_cast<Byte>(zero.bytes[15]), 96);
}

TEST_F(JpegCodec, PreviewFillsParamsAndLeavesBitmap) {
  Decoded d;
  d.bitmap->Allocate(3, 2, ie8g);
  d.bitmap->Fill(7);
  {
    TMemoryStream stream;
    const std::string bytes = File("im_exif_iptc");
    Fill(stream, bytes);
    bool aborting = false;
    TProgressRec progress;
    progress.Aborting = &aborting;
    d.params->DpiX = d.params->DpiY = 5;
    ReadJPegStream(&stream, nullptr, d.bitmap.get(), *d.params, progress, true, false);
    d.aborted = aborting;
  }
  ASSERT_FALSE(d.aborted);
  EXPECT_EQ(d.params->Width, kW);
  EXPECT_EQ(d.params->Height, kH);
  EXPECT_EQ(d.params->JPEG_ColorSpace, ioJPEG_YCbCr);
  EXPECT_EQ(d.params->DpiX, 96);  // unit 0 in ImageMagick's JFIF header
  EXPECT_EQ(d.params->JPEG_MarkerList->GetCount(), 2);
  EXPECT_EQ(d.bitmap->GetWidth(), 3);
  EXPECT_EQ(d.bitmap->GetHeight(), 2);
  EXPECT_EQ(d.bitmap->GetPixelFormat(), ie8g);
  EXPECT_EQ(d.bitmap->GetPixels_ie8(2, 1), 7);

  Decoded progressive = Decode(File("cjpeg_progressive"), {.preview = true});
  ASSERT_FALSE(progressive.aborted);
  EXPECT_TRUE(progressive.params->JPEG_Progressive);
  EXPECT_EQ(progressive.bitmap->GetWidth(), 0);
}

TEST_F(JpegCodec, TruncatedFileWarnsAndDeliversEveryRow) {
  for (const char* name : {"cjpeg_420", "cjpeg_progressive"}) {
    SCOPED_TRACE(name);
    const std::string file = File(name);
    Decoded d = Decode(file.substr(0, file.size() * 6 / 10));
    EXPECT_FALSE(d.aborted);
    EXPECT_GT(d.params->JPEG_WarningTot, 0);
    EXPECT_NE(d.params->JPEG_WarningCode, 0);
    EXPECT_EQ(d.bitmap->GetWidth(), kW);
    EXPECT_EQ(d.bitmap->GetHeight(), kH);
    ASSERT_FALSE(d.progress.empty());
    EXPECT_EQ(d.progress.back(), 100);
    // A whole file afterwards: the warnings are those of the new read.
    TIOParamsVals& params = *d.params;
    TMemoryStream stream;
    Fill(stream, file);
    bool aborting = false;
    TProgressRec progress;
    progress.Aborting = &aborting;
    ReadJPegStream(&stream, nullptr, d.bitmap.get(), params, progress, false, false);
    EXPECT_FALSE(aborting);
    EXPECT_EQ(params.JPEG_WarningTot, 0);
    EXPECT_EQ(params.JPEG_WarningCode, 0);
  }
}

TEST_F(JpegCodec, BrokenInputEndsInAbortFlag) {
  const std::string good = File("cjpeg_420");
  std::string hugeSof = Encode(SourceBitmap().get()).bytes;
  // SOF0 of our own file: declare 60000 x 60000 pixels in a file of a few KB.
  const size_t sof = hugeSof.find("\xFF\xC0");
  ASSERT_NE(sof, std::string::npos);
  hugeSof[sof + 5] = hugeSof[sof + 7] = static_cast<char>(0xEA);
  hugeSof[sof + 6] = hugeSof[sof + 8] = 0x60;
  const struct {
    const char* name;
    std::string bytes;
  } cases[] = {
      {"empty", ""},
      {"only SOI", "\xFF\xD8\xFF"},
      {"garbage after SOI", std::string("\xFF\xD8\xFF\x01", 4) + std::string(500, '\x42')},
      {"no image", std::string("\xFF\xD8\xFF\xD9", 4)},
      {"header cut", good.substr(0, 100)},
      {"huge image in a small file", hugeSof},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Decoded d = Decode(c.bytes);
    EXPECT_TRUE(d.aborted);
    Decoded preview = Decode(c.bytes, {.preview = true});
    EXPECT_TRUE(preview.aborted);
  }
  // A bitmap is needed unless it is a preview.
  TMemoryStream stream;
  Fill(stream, good);
  TIOParamsVals params(nullptr);
  bool aborting = false;
  TProgressRec progress;
  progress.Aborting = &aborting;
  ReadJPegStream(&stream, nullptr, nullptr, params, progress, false, false);
  EXPECT_TRUE(aborting);
}

// A file of `components` components of no known colour space, written straight
// with the library.
std::string UnknownLayoutFile(int components, int width, int height) {
  jpeg_compress_struct cinfo{};
  jpeg_error_mgr err{};
  cinfo.err = jpeg_std_error(&err);
  jpeg_create_compress(&cinfo);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&cinfo, &buffer, &size);
  cinfo.image_width = static_cast<JDIMENSION>(width);
  cinfo.image_height = static_cast<JDIMENSION>(height);
  cinfo.input_components = components;
  cinfo.in_color_space = JCS_UNKNOWN;
  jpeg_set_defaults(&cinfo);
  jpeg_set_colorspace(&cinfo, JCS_UNKNOWN);
  jpeg_start_compress(&cinfo, TRUE);
  std::vector<JSAMPLE> row(static_cast<size_t>(width * components), 200);
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW r = row.data();
    jpeg_write_scanlines(&cinfo, &r, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  std::string out(reinterpret_cast<const char*>(buffer), size);
  std::free(buffer);
  return out;
}

// A baseline frame of 37 x 9 pixels with `components` components and one scan over
// the first four of them (the most a scan may hold), cut right after the scan
// header: the decoder fills in the rest and uses its standard Huffman tables.
std::string HandMadeFile(int components) {
  std::string f = "\xFF\xD8";
  f += std::string("\xFF\xDB\x00\x43\x00", 5) + std::string(64, '\x01');
  f += std::string("\xFF\xC0\x00", 3) + static_cast<char>(8 + 3 * components) + std::string("\x08\x00\x09\x00\x25", 5) +
       static_cast<char>(components);
  for (int c = 1; c <= components; ++c) f += std::string{static_cast<char>(c), '\x11', '\x00'};
  const int inScan = std::min(components, 4);
  f += std::string("\xFF\xDA\x00", 3) + static_cast<char>(6 + 2 * inScan) + static_cast<char>(inScan);
  for (int c = 1; c <= inScan; ++c) f += std::string{static_cast<char>(c), '\x00'};
  f += std::string("\x00\x3F\x00", 3);
  return f + "\xFF\xD9";
}

// Rows hold three bytes per pixel: a layout the reader cannot convert to that ends
// in the abort flag instead of overrunning the rows.
TEST_F(JpegCodec, UnknownComponentLayoutsAreRefused) {
  Decoded two = Decode(UnknownLayoutFile(2, 37, 9));
  EXPECT_TRUE(two.aborted);
  // The hand-made frame itself is readable with three components.
  Decoded three = Decode(HandMadeFile(3));
  EXPECT_FALSE(three.aborted);
  EXPECT_EQ(three.bitmap->GetWidth(), 37);
  for (int components : {5, 10}) {
    SCOPED_TRACE(components);
    Decoded d = Decode(HandMadeFile(components));
    EXPECT_TRUE(d.aborted);
  }
}

// Gives the first n bytes, then raises, as a failing file would.
class FailingStream : public TMemoryStream {
 public:
  explicit FailingStream(Int64 goodBytes) : goodBytes_(goodBytes) {}
  Integer Read(void* buffer, Integer count) override {
    const Int64 left = goodBytes_ - GetPosition();
    if (left <= 0) throw EReadError("Stream read error");
    return TMemoryStream::Read(buffer, static_cast<Integer>(std::min<Int64>(count, left)));
  }

 private:
  Int64 goodBytes_;
};

TEST_F(JpegCodec, StreamErrorsEndTheReadQuietly) {
  const std::string file = File("cjpeg_420");
  for (Int64 good : {Int64{0}, Int64{50}, static_cast<Int64>(file.size() / 2)}) {
    SCOPED_TRACE(good);
    FailingStream stream(good);
    Fill(stream, file);
    TIEBitmap bmp;
    TIOParamsVals params(nullptr);
    bool aborting = false;
    TProgressRec progress;
    progress.Aborting = &aborting;
    // Without a whole header the read fails; past it, it ends like a truncated file.
    EXPECT_NO_THROW(ReadJPegStream(&stream, nullptr, &bmp, params, progress, false, false));
    EXPECT_EQ(aborting, good < 100);
    if (!aborting) {
      EXPECT_GT(params.JPEG_WarningTot, 0);
    }
  }
}

TEST_F(JpegCodec, CallerAbortStopsTheRowLoop) {
  TMemoryStream stream;
  const std::string file = File("cjpeg_420");
  Fill(stream, file);
  TIEBitmap bmp;
  TIOParamsVals params(nullptr);
  bool aborting = false;
  TProgressRec progress;
  progress.Aborting = &aborting;
  int reports = 0;
  progress.OnProgress = [&](TObject*, Integer) {
    if (++reports == 10) aborting = true;
  };
  ReadJPegStream(&stream, nullptr, &bmp, params, progress, false, false);
  EXPECT_TRUE(aborting);
  EXPECT_EQ(reports, 10);
}

// Abbreviated data as TIFF files hold it: the tables in one stream, the image
// without tables in another.
TEST_F(JpegCodec, TablesStreamSuppliesTablesOfAbbreviatedImage) {
  const std::string file = File("cjpeg_422");
  std::string tables = "\xFF\xD8", image = "\xFF\xD8";
  size_t i = 2;
  while (i + 4 <= file.size()) {
    const Byte code = static_cast<Byte>(file[i + 1]);
    if (code == 0xDA) {
      image += file.substr(i);
      break;
    }
    const size_t len = (static_cast<Byte>(file[i + 2]) << 8) | static_cast<Byte>(file[i + 3]);
    (code == 0xDB || code == 0xC4 ? tables : image) += file.substr(i, 2 + len);
    i += 2 + len;
  }
  tables += "\xFF\xD9";
  Decoded alone = Decode(image);
  EXPECT_TRUE(alone.aborted);
  Decoded d = Decode(image, {.tables = &tables});
  ASSERT_FALSE(d.aborted);
  EXPECT_EQ(CountMismatches(d.bitmap.get(), Djpeg("cjpeg_422")), 0);
  const std::string empty;
  Decoded noTables = Decode(image, {.tables = &empty});
  EXPECT_TRUE(noTables.aborted);
}

TEST_F(JpegCodec, RawYCbCrDeliversLibrarySamples) {
  TIEBitmap bmp;
  bmp.Allocate(16, 16, ie24RGB);
  bmp.Fill(0x0000FF);  // TColor red
  Encoded e = Encode(&bmp, [](TIOParamsVals& p) { p.JPEG_Quality = 100; });
  ASSERT_FALSE(e.aborted);
  Decoded d = Decode(e.bytes, {.rawYCbCr = true});
  ASSERT_FALSE(d.aborted);
  const auto* px = static_cast<const Byte*>(d.bitmap->GetScanLine(8)) + 8 * 3;
  EXPECT_NEAR(px[0], 76, 2);   // Y of pure red
  EXPECT_NEAR(px[1], 85, 2);   // Cb
  EXPECT_NEAR(px[2], 255, 2);  // Cr
}

// ---------------------------------------------------------------------------
// Writing

struct WriteCase {
  const char* name;
  TIOJPEGColorspace colorSpace;
  bool progressive, optimal;
  TIOJPEGDctMethod dct;
  Integer smooth, quality;
  const char* pillowMode;
  double maxMeanError;  // against the source, per channel, as djpeg decodes it
};

const WriteCase kWriteCases[] = {
    {"ycbcr", ioJPEG_YCbCr, false, false, ioJPEG_ISLOW, 0, 80, "RGB", 8},
    {"ycbcr_progressive_optimal", ioJPEG_YCbCr, true, true, ioJPEG_ISLOW, 0, 90, "RGB", 7},
    {"ycbcr_fast_smooth", ioJPEG_YCbCr, false, false, ioJPEG_IFAST, 30, 75, "RGB", 14},
    {"ycbcr_float", ioJPEG_YCbCr, false, false, ioJPEG_FLOAT, 0, 80, "RGB", 8},
    {"rgb", ioJPEG_RGB, false, false, ioJPEG_ISLOW, 0, 90, "RGB", 4},
    {"grey", ioJPEG_GRAYLEV, false, false, ioJPEG_ISLOW, 0, 90, "L", -1},
    {"cmyk", ioJPEG_CMYK, false, false, ioJPEG_ISLOW, 0, 95, "CMYK", 4},
    {"ycck", ioJPEG_YCbCrK, true, false, ioJPEG_ISLOW, 0, 95, "CMYK", 4},
};

TEST_F(JpegCodec, WrittenFilesReadByDjpegAndPillow) {
  auto source = SourceBitmap();
  for (const WriteCase& c : kWriteCases) {
    SCOPED_TRACE(c.name);
    Encoded e = Encode(source.get(), [&](TIOParamsVals& p) {
      p.JPEG_ColorSpace = c.colorSpace;
      p.JPEG_Progressive = c.progressive;
      p.JPEG_OptimalHuffman = c.optimal;
      p.JPEG_DCTMethod = c.dct;
      p.JPEG_Smooth = c.smooth;
      p.JPEG_Quality = c.quality;
    });
    ASSERT_FALSE(e.aborted);
    ASSERT_EQ(e.progress.size(), static_cast<size_t>(kH));
    EXPECT_EQ(e.progress.back(), 100);
    const std::string name = std::string("ours_") + c.name;
    WriteFile(Path(name + ".jpg"), e.bytes);

    // djpeg reads it, and our reader gives the same pixels.
    const Pnm ref = Djpeg(name);
    ASSERT_EQ(ref.width, kW);
    ASSERT_EQ(ref.height, kH);
    Decoded back = Decode(e.bytes, {.setup = [&](TIOParamsVals& p) { p.JPEG_DCTMethod = c.dct; }});
    ASSERT_FALSE(back.aborted);
    EXPECT_EQ(back.params->JPEG_ColorSpace, c.colorSpace);
    EXPECT_EQ(back.params->JPEG_Progressive, c.progressive);
    EXPECT_EQ(CountMismatches(back.bitmap.get(), c.dct == ioJPEG_ISLOW ? ref : Djpeg(name, {"-dct", c.dct == ioJPEG_IFAST ? "fast" : "float"})), 0);

    // Close to the source, channels in their places (a swapped red and blue would
    // be far off).
    if (c.maxMeanError > 0) {
      ASSERT_EQ(ref.channels, 3);
      double error = 0, swapped = 0;
      for (Integer y = 0; y < kH; ++y)
        for (Integer x = 0; x < kW; ++x)
          for (int ch = 0; ch < 3; ++ch) {
            const int got = static_cast<Byte>(ref.pixels[(static_cast<size_t>(y) * kW + x) * 3 + ch]);
            error += std::abs(got - SourceChannel(x, y, ch));
            swapped += std::abs(got - SourceChannel(x, y, 2 - ch));
          }
      EXPECT_LT(error / (kW * kH * 3), c.maxMeanError);
      EXPECT_GT(swapped / (kW * kH * 3), 2 * c.maxMeanError);  // the check can see a swap
    }

    // Pillow reads it in the colour space written.
    int exitCode = -1;
    const std::string out = larktest::RunCommand(
        {kPython, "-c", "import sys; from PIL import Image; im = Image.open(sys.argv[1]); im.load(); print(im.mode, *im.size)",
         Path(name + ".jpg")},
        &exitCode);
    ASSERT_EQ(exitCode, 0) << out;
    EXPECT_EQ(out, std::string(c.pillowMode) + " " + std::to_string(kW) + " " + std::to_string(kH) + "\n");
  }
}

TEST_F(JpegCodec, CmykStoresInvertedInkWithMaximumAsK) {
  TIEBitmap bmp;
  bmp.Allocate(16, 8, ie24RGB);
  bmp.FillRect(0, 0, 7, 7, 0xFFFFFF);  // white
  bmp.FillRect(8, 0, 15, 7, 0x000000);  // black
  Encoded e = Encode(&bmp, [](TIOParamsVals& p) {
    p.JPEG_ColorSpace = ioJPEG_CMYK;
    p.JPEG_Quality = 100;
  });
  ASSERT_FALSE(e.aborted);
  WriteFile(Path("cmyk_wb.jpg"), e.bytes);
  // Pillow shows Adobe CMYK inverted: 255 - the stored byte.
  int exitCode = -1;
  const std::string out = larktest::RunCommand(
      {kPython, "-c",
       "import sys; from PIL import Image; im = Image.open(sys.argv[1])\n"
       "print(*[255 - v for v in im.getpixel((3, 3))], *[255 - v for v in im.getpixel((12, 3))])",
       Path("cmyk_wb.jpg")},
      &exitCode);
  ASSERT_EQ(exitCode, 0) << out;
  EXPECT_EQ(out, "255 255 255 255 0 0 0 1\n");
  Decoded back = Decode(e.bytes);
  ASSERT_FALSE(back.aborted);
  EXPECT_EQ(back.bitmap->GetPixels_ie24RGB(3, 3), (TRGB{255, 255, 255}));
  EXPECT_EQ(back.bitmap->GetPixels_ie24RGB(12, 3), (TRGB{0, 0, 0}));
}

TEST_F(JpegCodec, BilevelAndGreyStoresAreWrittenAsColour) {
  TIEBitmap bilevel;
  bilevel.Allocate(24, 16, ie1g);
  bilevel.Fill(0);
  bilevel.FillRect(0, 0, 11, 15, 1);  // left half white
  Encoded e = Encode(&bilevel, [](TIOParamsVals& p) { p.JPEG_Quality = 100; });
  ASSERT_FALSE(e.aborted);
  Decoded d = Decode(e.bytes);
  ASSERT_FALSE(d.aborted);
  EXPECT_EQ(d.bitmap->GetPixels_ie24RGB(3, 8), (TRGB{255, 255, 255}));
  EXPECT_EQ(d.bitmap->GetPixels_ie24RGB(20, 8), (TRGB{0, 0, 0}));
  EXPECT_EQ(bilevel.GetPixelFormat(), ie1g);  // the caller's store is untouched

  TIEBitmap grey;
  grey.Allocate(16, 16, ie8g);
  grey.Fill(200);
  Encoded g = Encode(&grey, [](TIOParamsVals& p) { p.JPEG_Quality = 100; });
  ASSERT_FALSE(g.aborted);
  Decoded gd = Decode(g.bytes);
  ASSERT_FALSE(gd.aborted);
  const TRGB px = gd.bitmap->GetPixels_ie24RGB(5, 5);
  EXPECT_NEAR(px.r, 200, 1);
  EXPECT_NEAR(px.g, 200, 1);
  EXPECT_NEAR(px.b, 200, 1);
}

TEST_F(JpegCodec, EmptyImageRaisesAndSetsAbort) {
  for (const auto& size : {std::pair<Integer, Integer>{0, 0}, {5, 0}, {0, 5}}) {
    TIEBitmap bmp;
    if (size.first > 0 || size.second > 0) bmp.Allocate(size.first, size.second, ie24RGB);
    TIOParamsVals params(nullptr);
    TMemoryStream stream;
    bool aborting = false;
    TProgressRec progress;
    progress.Aborting = &aborting;
    try {
      WriteJPegStream(&stream, &bmp, params, progress);
      ADD_FAILURE() << "no exception";
    } catch (const EIEJpegException& e) {
      EXPECT_EQ(e.Message(), "Empty JPEG image (DNL not supported)");
    }
    EXPECT_TRUE(aborting);
  }
  // Another library error: a marker longer than a segment can hold.
  auto source = SourceBitmap();
  std::string big(65535, 'x');
  bool aborting = false;
  try {
    TIOParamsVals params(nullptr);
    params.JPEG_MarkerList->AddMarker(0xE5, big.data(), 65535);
    TMemoryStream stream;
    TProgressRec progress;
    progress.Aborting = &aborting;
    WriteJPegStream(&stream, source.get(), params, progress);
    ADD_FAILURE() << "no exception";
  } catch (const EIEJpegException& e) {
    EXPECT_EQ(e.Message(), "Bogus marker length");
  }
  EXPECT_TRUE(aborting);
}

// Accepts a fixed number of bytes, then writes short (or raises).
class ShortStream : public TMemoryStream {
 public:
  ShortStream(Integer capacity, bool raise) : capacity_(capacity), raise_(raise) {}
  Integer Write(const void* buffer, Integer count) override {
    const Integer room = std::max<Integer>(0, capacity_ - static_cast<Integer>(GetSize()));
    if (count > room && raise_) throw EWriteError("Stream write error");
    return TMemoryStream::Write(buffer, std::min(count, room));
  }

 private:
  Integer capacity_;
  bool raise_;
};

TEST_F(JpegCodec, ShortWritesAbortWithoutException) {
  TIEBitmap big;
  big.Allocate(600, 400, ie24RGB);
  big.FillRect(0, 0, 599, 399, 0x123456);
  for (Integer y = 0; y < 400; y += 3) big.FillRect(0, y, 599, y, 0xFFFFFF);  // enough data for several buffers
  for (bool raise : {false, true}) {
    for (Integer capacity : {0, 1000, 70000}) {
      SCOPED_TRACE(std::to_string(capacity) + (raise ? " raising" : " short"));
      ShortStream stream(capacity, raise);
      TIOParamsVals params(nullptr);
      params.JPEG_Quality = 100;
      bool aborting = false;
      TProgressRec progress;
      progress.Aborting = &aborting;
      EXPECT_NO_THROW(WriteJPegStream(&stream, &big, params, progress));
      EXPECT_TRUE(aborting);
    }
  }
}

}  // namespace
