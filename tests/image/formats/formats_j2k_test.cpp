// The JPEG 2000 codec: files of opj_compress (grey, 16-bit grey, colour, signed
// samples, components with steps) read to the pixels opj_decompress gives; our
// lossless files read back exactly by opj_decompress and Pillow; lossy files
// within a stated PSNR; damaged and oversized streams end in the abort flag.
#include <gtest/gtest.h>

#include <cmath>
#include <iostream>
#include <memory>
#include <string>

#include "image/formats/bmpfilt.h"
#include "image/formats/iej2000.h"
#include "platform/rtl/Streams.h"
#include "tests/image/codec_test_util.h"
#include "tests/image/file_test_util.h"
#include "tests/support/Peers.h"

namespace {

using namespace codec_test;

std::string Sh(const std::string& command) {
  int rc = 0;
  const std::string out = larktest::RunCommand({"/bin/sh", "-c", command}, &rc);
  EXPECT_EQ(rc, 0) << command;
  return out;
}

struct Read {
  bool aborted = false;
  std::unique_ptr<TIOParamsVals> params = std::make_unique<TIOParamsVals>(nullptr);
  TIEBitmap bitmap;
};

std::unique_ptr<Read> ReadJ2k(const Bytes& bytes, bool preview = false) {
  auto r = std::make_unique<Read>();
  TMemoryStream s;
  Fill(s, bytes);
  TProgressRec progress;
  progress.Aborting = &r->aborted;
  J2KReadStream(&s, &r->bitmap, *r->params, progress, preview);
  return r;
}
Bytes Load(const std::string& path) {
  const std::string f = file_test::ReadFile(path);
  return Bytes(f.begin(), f.end());
}

Bytes WriteJ2k(TIEBitmap& image, TIOParamsVals& params, Integer format) {
  TMemoryStream out;
  bool aborted = false;
  TProgressRec progress;
  progress.Aborting = &aborted;
  J2KWriteStream(&out, &image, params, progress, format);
  EXPECT_FALSE(aborted);
  return Contents(out);
}

double Psnr(const Rgba& a, const Rgba& b) {
  double se = 0;
  size_t n = 0;
  for (size_t i = 0; i < a.pixels.size(); ++i) {
    if (i % 4 == 3) continue;
    const double d = double(a.pixels[i]) - double(b.pixels[i]);
    se += d * d;
    ++n;
  }
  return se == 0 ? 99.0 : 10.0 * std::log10(255.0 * 255.0 / (se / double(n)));
}

class J2kFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    if (larktest::RequireProgram("opj_compress").empty()) GTEST_SKIP();
    std::string ppm = "P6\n37 21\n255\n", pgm16 = "P5\n37 21\n65535\n";
    for (int y = 0; y < 21; ++y)
      for (int x = 0; x < 37; ++x) {
        ppm += {char(x * 7), char(y * 12), char((x * y) & 0xFF)};
        const int v = x * 1700 + y * 97;
        pgm16 += {char(v >> 8), char(v & 0xFF)};
      }
    file_test::WriteFile(Path("src.ppm"), ppm);
    file_test::WriteFile(Path("src16.pgm"), pgm16);
    Sh("cd " + dir_.Path() + " && ppmtopgm src.ppm > src.pgm");
  }
  std::string Path(const std::string& name) const { return dir_.Path() + name; }
  // What opj_decompress makes of a file, through Pillow.
  Rgba Reference(const std::string& name, const std::string& as = "ppm") {
    Sh("opj_decompress -quiet -i " + Path(name) + " -o " + Path(name) + "." + as + " > /dev/null");
    return PillowDecode(Path(name) + "." + as);
  }
  larktest::TempDir dir_;
};

TEST_F(J2kFiles, PeerFilesReadToTheDecodersPixels) {
  struct Case { const char* name; const char* command; int bits; int samples; };
  const Case cases[] = {
      {"rgb.jp2", "opj_compress -n 4 -i src.ppm -o rgb.jp2", 8, 3},
      {"rgb.j2k", "opj_compress -n 4 -i src.ppm -o rgb.j2k -p RLCP", 8, 3},
      {"grey.jp2", "opj_compress -n 4 -i src.pgm -o grey.jp2", 8, 1},
      {"lossy.j2k", "opj_compress -n 4 -i src.ppm -o lossy.j2k -r 20 -I", 8, 3},
      {"tiles.jp2", "opj_compress -n 3 -i src.ppm -o tiles.jp2 -t 16,16", 8, 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Sh("cd " + dir_.Path() + " && " + c.command + " > /dev/null");
    auto r = ReadJ2k(Load(Path(c.name)));
    ASSERT_FALSE(r->aborted);
    EXPECT_EQ(r->params->BitsPerSample, c.bits);
    EXPECT_EQ(r->params->SamplesPerPixel, c.samples);
    EXPECT_TRUE(SameRgba(OurPixels(r->bitmap), Reference(c.name, c.samples == 1 ? "pgm" : "ppm"), false));
  }
}

TEST_F(J2kFiles, WideGreyScalesByItsPrecision) {
  Sh("cd " + dir_.Path() + " && opj_compress -n 4 -i src16.pgm -o g16.j2k > /dev/null");
  auto r = ReadJ2k(Load(Path("g16.j2k")));
  ASSERT_FALSE(r->aborted);
  EXPECT_EQ(r->params->BitsPerSample, 16);
  EXPECT_EQ(r->bitmap.GetPixelFormat(), ie24RGB);
  // Sample v becomes Trunc(v x 255 / 65535).
  const int v = 5 * 1700 + 3 * 97;
  EXPECT_EQ(r->bitmap.GetPixels_ie24RGB(5, 3).r, v * 255 / 65535);
  EXPECT_EQ(r->bitmap.GetPixels_ie24RGB(5, 3).g, v * 255 / 65535);
}

TEST_F(J2kFiles, SignedSamplesAreOffset) {
  // 8 x 2 signed 8-bit grey: -128, -1, 0, 127 ...
  std::string raw;
  for (int i = 0; i < 16; ++i) raw += char(static_cast<signed char>(i * 17 - 128));
  file_test::WriteFile(Path("s.raw"), raw);
  Sh("cd " + dir_.Path() + " && opj_compress -n 1 -i s.raw -o s.j2k -F 8,2,1,8,s > /dev/null");
  auto r = ReadJ2k(Load(Path("s.j2k")));
  ASSERT_FALSE(r->aborted);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(r->bitmap.GetPixels_ie24RGB(i % 8, i / 8).r, i * 17) << i;
}

TEST_F(J2kFiles, ComponentStepsStretchToTheImage) {
  // Three 8 x 4 components, the second and third at half resolution both ways.
  std::string raw;
  for (int i = 0; i < 32; ++i) raw += char(i * 8);
  for (int i = 0; i < 8; ++i) raw += char(200 - i * 10);
  for (int i = 0; i < 8; ++i) raw += char(i * 30);
  file_test::WriteFile(Path("sub.raw"), raw);
  Sh("cd " + dir_.Path() + " && opj_compress -n 1 -i sub.raw -o sub.j2k -F 8,4,3,8,u@1x1:2x2:2x2 > /dev/null");
  auto r = ReadJ2k(Load(Path("sub.j2k")));
  ASSERT_FALSE(r->aborted);
  ASSERT_EQ(r->params->Width, 8);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 8; ++x) {
      const TRGB c = r->bitmap.GetPixels_ie24RGB(x, y);
      EXPECT_EQ(c.r, (y * 8 + x) * 8);
      EXPECT_EQ(c.g, 200 - ((y / 2) * 4 + x / 2) * 10);
      EXPECT_EQ(c.b, ((y / 2) * 4 + x / 2) * 30);
    }
}

TEST_F(J2kFiles, OurLosslessFilesReadBackExactlyInPeers) {
  TIEBitmap image;
  Pattern(image, 45, 19);
  struct Case { const char* name; Integer format; TIOJ2000ColorSpace space; };
  for (const Case& c : {Case{"ours.jp2", 0, ioJ2000_RGB}, Case{"ours.j2k", 1, ioJ2000_YCbCr},
                        Case{"grey.jp2", 0, ioJ2000_GRAYLEV}}) {
    SCOPED_TRACE(c.name);
    TIOParamsVals params(nullptr);
    params.J2000_ColorSpace = c.space;
    const Bytes bytes = WriteJ2k(image, params, c.format);
    file_test::WriteFile(Path(c.name), std::string(bytes.begin(), bytes.end()));
    Rgba expected = OurPixels(image);
    if (c.space == ioJ2000_GRAYLEV)
      for (size_t i = 0; i < expected.pixels.size(); i += 4)
        expected.pixels[i] = expected.pixels[i + 1] = expected.pixels[i + 2] = static_cast<Byte>(
            (21 * expected.pixels[i] + 71 * expected.pixels[i + 1] + 8 * expected.pixels[i + 2]) / 100);
    EXPECT_TRUE(SameRgba(expected, Reference(c.name, c.space == ioJ2000_GRAYLEV ? "pgm" : "ppm"), false)) << "opj";
    if (c.format == 0) {
      EXPECT_TRUE(SameRgba(expected, PillowDecode(Path(c.name)), false)) << "Pillow";
    }
    auto back = ReadJ2k(bytes);
    ASSERT_FALSE(back->aborted);
    EXPECT_TRUE(SameRgba(expected, OurPixels(back->bitmap), false)) << "ours";
  }
}

TEST_F(J2kFiles, RateAndProgressionReachTheCodeStream) {
  TIEBitmap image;
  Pattern(image, 64, 48);
  TIOParamsVals params(nullptr);
  params.J2000_Rate = 0.1;
  params.J2000_ScalableBy = ioJ2000_Resolution;
  const Bytes lossy = WriteJ2k(image, params, 1);
  const size_t raw = 64 * 48 * 3;
  EXPECT_LE(lossy.size(), raw / 10 + 200);
  file_test::WriteFile(Path("lossy.j2k"), std::string(lossy.begin(), lossy.end()));
  const std::string dump = Sh("opj_dump -i " + Path("lossy.j2k"));
  EXPECT_NE(dump.find("prg=0x1"), std::string::npos) << dump;  // RLCP
  const double psnr = Psnr(OurPixels(image), Reference("lossy.j2k"));
  std::cout << "[ figures  ] JPEG 2000 at rate 0.1 (64 x 48 pattern): " << lossy.size() << " bytes, PSNR "
            << psnr << " dB against the source\n";
  EXPECT_GT(psnr, 20.0);
  params.J2000_ScalableBy = ioJ2000_Rate;
  params.J2000_Rate = 1;
  const Bytes lossless = WriteJ2k(image, params, 1);
  file_test::WriteFile(Path("lossless.j2k"), std::string(lossless.begin(), lossless.end()));
  const std::string lrcp = Sh("opj_dump -i " + Path("lossless.j2k"));
  EXPECT_NE(lrcp.find("prg=0"), std::string::npos) << lrcp;  // LRCP
  EXPECT_EQ(lrcp.find("prg=0x1"), std::string::npos) << lrcp;
}

TEST_F(J2kFiles, YCbCrFilesConvertToRgb) {
  // Components Y, Cb, Cr written as the red, green and blue of an RGB file whose
  // colour box then says sYCC.
  TIEBitmap image;
  image.Allocate(8, 8, ie24RGB);
  const Byte values[4][3] = {{100, 128, 128}, {100, 128, 255}, {200, 20, 220}, {30, 250, 10}};
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) {
      const Byte* v = values[(x / 4) + 2 * (y / 4)];
      image.SetPixels_ie24RGB(x, y, TRGB{v[2], v[1], v[0]});
    }
  TIOParamsVals params(nullptr);
  Bytes bytes = WriteJ2k(image, params, 0);
  const std::string text(bytes.begin(), bytes.end());
  const size_t colr = text.find("colr");
  ASSERT_NE(colr, std::string::npos);
  ASSERT_EQ(bytes[colr + 4], 1);  // an enumerated colour space follows
  bytes[colr + 10] = 18;          // sYCC
  auto r = ReadJ2k(bytes);
  ASSERT_FALSE(r->aborted);
  EXPECT_EQ(r->params->J2000_ColorSpace, ioJ2000_YCbCr);
  for (int i = 0; i < 4; ++i) {
    SCOPED_TRACE(i);
    const double Y = values[i][0], cb = values[i][1] - 128.0, cr = values[i][2] - 128.0;
    const auto clamp = [](double v) { return static_cast<int>(std::lround(std::min(255.0, std::max(0.0, v)))); };
    const TRGB c = r->bitmap.GetPixels_ie24RGB((i % 2) * 4, (i / 2) * 4);
    EXPECT_NEAR(c.r, clamp(Y + 1.402 * cr), 1);
    EXPECT_NEAR(c.g, clamp(Y - 0.344136 * cb - 0.714136 * cr), 1);
    EXPECT_NEAR(c.b, clamp(Y + 1.772 * cb), 1);
  }
  // opj_decompress turns sYCC into RGB itself, with its own rounding.
  file_test::WriteFile(Path("ycc.jp2"), std::string(bytes.begin(), bytes.end()));
  EXPECT_TRUE(SameRgba(OurPixels(r->bitmap), Reference("ycc.jp2"), false, 2));
}

TEST_F(J2kFiles, LossyPhotographFigures) {
  // A photograph (matplotlib's sample, else gdk-pixbuf's grey cat) through our lossy
  // writer and opj_decompress: the PSNR against the source at each rate.
  std::string photo = "/usr/share/matplotlib/mpl-data/sample_data/grace_hopper.jpg";
  if (file_test::ReadFile(photo).empty()) photo = "/usr/libexec/installed-tests/gdk-pixbuf/test-images/reftests/cat.jpg";
  if (file_test::ReadFile(photo).empty()) GTEST_SKIP() << "no photograph on this machine";
  Sh("/usr/bin/python3 -c \"from PIL import Image; Image.open('" + photo + "').convert('RGB').save('" +
     Path("photo.ppm") + "')\"");
  std::unique_ptr<TIEBitmap> source;
  {
    TMemoryStream s;
    const std::string f = file_test::ReadFile(Path("photo.ppm"));
    Fill(s, f);
    source = std::make_unique<TIEBitmap>();
    TIOParamsVals params(nullptr);
    bool aborted = false;
    TProgressRec progress;
    progress.Aborting = &aborted;
    PXMReadStream(&s, source.get(), params, progress, false);
    ASSERT_FALSE(aborted);
  }
  const Rgba reference = OurPixels(*source);
  for (double rate : {1.0, 0.25, 0.1, 0.05}) {
    TIOParamsVals params(nullptr);
    params.J2000_Rate = rate;
    const Bytes bytes = WriteJ2k(*source, params, 0);
    file_test::WriteFile(Path("photo.jp2"), std::string(bytes.begin(), bytes.end()));
    const double psnr = Psnr(reference, Reference("photo.jp2"));
    std::cout << "[ figures  ] JPEG 2000 photograph " << source->GetWidth() << " x " << source->GetHeight()
              << " at rate " << rate << ": " << bytes.size() << " bytes, PSNR " << psnr << " dB\n";
    if (rate >= 1) {
      EXPECT_EQ(psnr, 99.0);  // lossless
    } else {
      EXPECT_GT(psnr, 30.0);
    }
  }
}

TEST(J2kCodec, AFailingEncoderSetsTheAbortFlag) {
  // A stream that takes no bytes: the encoder's failure must not pass for success.
  larktest::TempDir dir;
  file_test::WriteFile(dir.Path() + "ro.j2k", "");
  TFileStream readOnly(dir.Path() + "ro.j2k", fmOpenRead);
  TIEBitmap image;
  Pattern(image, 40, 30);
  TIOParamsVals params(nullptr);
  bool aborted = false;
  TProgressRec progress;
  progress.Aborting = &aborted;
  J2KWriteStream(&readOnly, &image, params, progress, 1);
  EXPECT_TRUE(aborted);
  aborted = false;
  J2KWriteStream(&readOnly, &image, params, progress, 0);
  EXPECT_TRUE(aborted);
}

TEST(J2kCodec, BilevelImagesWriteOneBitGrey) {
  TIEBitmap image;
  image.Allocate(13, 5, ie1g);
  for (int x = 0; x < 13; ++x) image.SetPixels_ie1g(x, x % 5, true);
  TIOParamsVals params(nullptr);
  params.BitsPerSample = 8;
  params.J2000_ColorSpace = ioJ2000_RGB;
  const Bytes bytes = WriteJ2k(image, params, 0);
  EXPECT_EQ(params.BitsPerSample, 1);
  EXPECT_EQ(params.J2000_ColorSpace, ioJ2000_GRAYLEV);
  auto r = ReadJ2k(bytes);
  ASSERT_FALSE(r->aborted);
  EXPECT_EQ(r->bitmap.GetPixelFormat(), ie1g);
  EXPECT_EQ(OurPixels(r->bitmap).pixels, OurPixels(image).pixels);
}

TEST(J2kCodec, DetectorsAndBadInput) {
  auto detect = [](const Bytes& b, bool (*f)(TStream*)) {
    TMemoryStream s;
    Fill(s, b);
    const bool ok = f(&s);
    EXPECT_EQ(s.GetPosition(), 0);
    return ok;
  };
  const Bytes jp2 = {0, 0, 0, 0x0C, 0x6A, 0x50, 0x20, 0x20, 0x0D, 0x0A, 0x87, 0x0A};
  const Bytes j2k = {0xFF, 0x4F, 0xFF, 0x51};
  EXPECT_TRUE(detect(jp2, J2KTryStreamJP2));
  EXPECT_FALSE(detect(jp2, J2KTryStreamJ2K));
  EXPECT_TRUE(detect(j2k, J2KTryStreamJ2K));
  EXPECT_FALSE(detect(j2k, J2KTryStreamJP2));
  EXPECT_FALSE(detect({0xFF, 0x4F}, J2KTryStreamJ2K));

  TIEBitmap image;
  Pattern(image, 40, 30);
  TIOParamsVals params(nullptr);
  const Bytes good = WriteJ2k(image, params, 1);
  ASSERT_FALSE(ReadJ2k(good)->aborted);
  EXPECT_TRUE(ReadJ2k({'n', 'o', 't'})->aborted);
  Bytes cut = good;
  cut.resize(60);
  EXPECT_TRUE(ReadJ2k(cut)->aborted);
  // The image size marker says 60000 x 60000 in a stream of a few hundred bytes.
  Bytes huge = good;
  ASSERT_EQ(huge[2], 0xFF);
  ASSERT_EQ(huge[3], 0x51);
  const size_t siz = 4 + 2 + 2;  // marker, length, capabilities
  for (size_t at : {siz, siz + 4})
    for (int i = 0; i < 4; ++i) huge[at + i] = static_cast<Byte>(60000 >> (8 * (3 - i)));
  EXPECT_TRUE(ReadJ2k(huge)->aborted);
  // Preview reads the header only.
  auto preview = ReadJ2k(good, true);
  EXPECT_FALSE(preview->aborted);
  EXPECT_EQ(preview->params->Width, 40);
  EXPECT_EQ(preview->bitmap.GetWidth(), 0);
}

}  // namespace
