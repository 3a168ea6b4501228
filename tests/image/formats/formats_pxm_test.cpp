// The PBM/PGM/PPM codec: files made by netpbm read to Pillow's pixels, our files
// read by Pillow, the header and comment rules, and damaged headers.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "image/formats/bmpfilt.h"
#include "platform/rtl/Streams.h"
#include "tests/image/codec_test_util.h"
#include "tests/image/file_test_util.h"
#include "tests/support/Peers.h"

namespace {

using namespace codec_test;

struct Read {
  bool aborted = false;
  std::unique_ptr<TIOParamsVals> params = std::make_unique<TIOParamsVals>(nullptr);
  TIEBitmap bitmap;
};

std::unique_ptr<Read> ReadPxm(const std::string& bytes, bool preview = false) {
  auto r = std::make_unique<Read>();
  TMemoryStream s;
  Fill(s, bytes);
  TProgressRec progress;
  progress.Aborting = &r->aborted;
  PXMReadStream(&s, &r->bitmap, *r->params, progress, preview);
  return r;
}

bool Try(const std::string& bytes) {
  TMemoryStream s;
  Fill(s, bytes);
  s.SetPosition(0);
  const bool ok = TryPXM(&s);
  EXPECT_EQ(s.GetPosition(), 0);
  return ok;
}

std::string Sh(const std::string& command) {
  int rc = 0;
  const std::string out = larktest::RunCommand({"/bin/sh", "-c", command}, &rc);
  EXPECT_EQ(rc, 0) << command;
  return out;
}

// A 23 x 9 colour image as a binary PPM.
std::string SourcePpm() {
  std::string f = "P6\n23 9\n255\n";
  for (int y = 0; y < 9; ++y)
    for (int x = 0; x < 23; ++x) f += {char(x * 11), char(y * 29), char((x * y) & 0xFF)};
  return f;
}

TEST(PxmCodec, NetpbmFilesReadToPillowsPixels) {
  if (larktest::RequireProgram("pamdepth").empty()) return;
  larktest::TempDir dir;
  const std::string src = dir.Path() + "src.ppm";
  file_test::WriteFile(src, SourcePpm());
  // name, command making it from src.ppm, bits, samples
  struct Case { const char* name; std::string command; int bits; int samples; };
  const Case cases[] = {
      {"p6", "cat src.ppm", 8, 3},
      {"p3", "pnmtoplainpnm src.ppm", 8, 3},
      {"p5", "ppmtopgm src.ppm", 8, 1},
      {"p2", "ppmtopgm src.ppm | pnmtoplainpnm", 8, 1},
      {"p4", "ppmtopgm src.ppm | pgmtopbm -threshold", 1, 1},
      {"p1", "ppmtopgm src.ppm | pgmtopbm -threshold | pnmtoplainpnm", 1, 1},
      {"p6max31", "pamdepth 31 src.ppm", 8, 3},
      {"p5max15", "ppmtopgm src.ppm | pamdepth 15", 8, 1},
      {"p3max1000", "pamdepth 1000 src.ppm | pnmtoplainpnm", 8, 3},
      {"p6max65535", "pamdepth 65535 src.ppm", 8, 3},
      {"p5max300", "ppmtopgm src.ppm | pamdepth 300", 8, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = dir.Path() + c.name + ".pnm";
    Sh("cd " + dir.Path() + " && " + c.command + " > " + path);
    // Pillow reads maxvals above 255 as wide integers; netpbm brings them to 255
    // first (rounding where we truncate, hence the tolerance of 1).
    const std::string ref = dir.Path() + c.name + ".ref.pnm";
    Sh("pamdepth 255 " + path + " > " + ref);
    auto r = ReadPxm(file_test::ReadFile(path));
    ASSERT_FALSE(r->aborted);
    EXPECT_EQ(r->params->BitsPerSample, c.bits);
    EXPECT_EQ(r->params->SamplesPerPixel, c.samples);
    EXPECT_EQ(r->bitmap.GetPixelFormat(), c.bits == 1 ? ie1g : ie24RGB);
    const Rgba theirs = PillowDecode(ref);
    ASSERT_TRUE(theirs.ok());
    EXPECT_TRUE(SameRgba(OurPixels(r->bitmap), theirs, false, 1));
  }
}

TEST(PxmCodec, OurFilesReadInPillowWithTheSamePixels) {
  larktest::TempDir dir;
  TIEBitmap image;
  Pattern(image, 37, 13);
  struct Case { int bits; int samples; bool bilevel; const char* magic; };
  for (const Case& c : {Case{8, 3, false, "P6 "}, Case{8, 1, false, "P5 "}, Case{1, 1, true, "P4 "}}) {
    SCOPED_TRACE(c.magic);
    TIOParamsVals params(nullptr);
    params.BitsPerSample = c.bits;
    params.SamplesPerPixel = c.samples;
    TIEBitmap source;
    source.Assign(&image);
    if (c.bilevel) source.SetPixelFormat(ie1g);
    TMemoryStream out;
    bool aborted = false;
    TProgressRec progress;
    progress.Aborting = &aborted;
    PXMWriteStream(&out, &source, params, progress);
    ASSERT_FALSE(aborted);
    const Bytes bytes = Contents(out);
    ASSERT_EQ(std::string(bytes.begin(), bytes.begin() + 3), c.magic);
    const std::string path = dir.Path() + "ours.pnm";
    file_test::WriteFile(path, std::string(bytes.begin(), bytes.end()));
    Rgba expected = OurPixels(source);
    if (c.samples == 1 && !c.bilevel) {
      for (size_t i = 0; i < expected.pixels.size(); i += 4) {
        const Byte g = static_cast<Byte>((21 * expected.pixels[i] + 71 * expected.pixels[i + 1] + 8 * expected.pixels[i + 2]) / 100);
        expected.pixels[i] = expected.pixels[i + 1] = expected.pixels[i + 2] = g;
      }
    }
    EXPECT_TRUE(SameRgba(expected, PillowDecode(path), false));
  }
}

TEST(PxmCodec, SamplesScaleFromTheMaximum) {
  // Maximum 15: 15 becomes 255 and 7 becomes 119 (truncated), in every channel.
  auto r = ReadPxm(std::string("P5 3 1 15\n") + char(15) + char(7) + char(0));
  ASSERT_FALSE(r->aborted);
  EXPECT_EQ(r->bitmap.GetPixels_ie24RGB(0, 0), (TRGB{255, 255, 255}));
  EXPECT_EQ(r->bitmap.GetPixels_ie24RGB(1, 0), (TRGB{119, 119, 119}));
  // Maximum 255 keeps the values.
  r = ReadPxm("P2 3 1 255 0 100 255");
  ASSERT_FALSE(r->aborted);
  EXPECT_EQ(r->bitmap.GetPixels_ie24RGB(1, 0), (TRGB{100, 100, 100}));
  // A binary pixmap with a small maximum is scaled too, channel by channel.
  r = ReadPxm(std::string("P6 1 1 3\n") + char(3) + char(1) + char(0));
  ASSERT_FALSE(r->aborted);
  EXPECT_EQ(r->bitmap.GetPixels_ie24RGB(0, 0), (TRGB{0, 85, 255}));
  // Two bytes per sample above 255, most significant first.
  r = ReadPxm(std::string("P5 1 1 1000\n") + char(0x01) + char(0xF4));  // 500
  ASSERT_FALSE(r->aborted);
  EXPECT_EQ(r->bitmap.GetPixels_ie24RGB(0, 0), (TRGB{127, 127, 127}));
}

TEST(PxmCodec, PlainBitmapIgnoresLayoutBetweenDigits) {
  auto packed = ReadPxm("P1\n5 2\n1010001111");
  auto spaced = ReadPxm("P1 5 2\n1 0 1\n0 0\n\n 0 1  1 1 1\n");
  ASSERT_FALSE(packed->aborted);
  ASSERT_FALSE(spaced->aborted);
  EXPECT_EQ(OurPixels(packed->bitmap).pixels, OurPixels(spaced->bitmap).pixels);
  EXPECT_FALSE(packed->bitmap.GetPixels_ie1g(0, 0));  // "1" is black
  EXPECT_TRUE(packed->bitmap.GetPixels_ie1g(1, 0));
}

TEST(PxmCodec, CommentsReadAndWrittenBack) {
  auto r = ReadPxm("P2\n# first line\n#   second  \n2 1\n255\n10 20\n");
  ASSERT_FALSE(r->aborted);
  ASSERT_EQ(r->params->PXM_Comments->GetCount(), 2);
  EXPECT_EQ(r->params->PXM_Comments->Strings(0), "first line");
  EXPECT_EQ(r->params->PXM_Comments->Strings(1), "second");

  r->params->BitsPerSample = 8;
  r->params->SamplesPerPixel = 1;
  TMemoryStream out;
  bool aborted = false;
  TProgressRec progress;
  progress.Aborting = &aborted;
  PXMWriteStream(&out, &r->bitmap, *r->params, progress);
  ASSERT_FALSE(aborted);
  const Bytes b = Contents(out);
  EXPECT_EQ(std::string(b.begin(), b.end()),
            std::string("P5 \n# first line\n\n# second\n2 1 255\n") + char(10) + char(20));
}

TEST(PxmCodec, DefaultParamsWriteA24BitImageAsP6) {
  TIEBitmap image;
  Pattern(image, 2, 2);
  TIOParamsVals params(nullptr);
  TMemoryStream out;
  TProgressRec progress;
  PXMWriteStream(&out, &image, params, progress);
  const Bytes b = Contents(out);
  EXPECT_EQ(std::string(b.begin(), b.begin() + 11), "P6 2 2 255\n");
  EXPECT_EQ(b.size(), 11u + 12u);
}

TEST(PxmCodec, Detector) {
  EXPECT_TRUE(Try("P6 2 2 255\n"));
  EXPECT_TRUE(Try("# comment\nP4\n8 1\n"));
  EXPECT_FALSE(Try("P7 2 2 255\n"));
  EXPECT_FALSE(Try("P6 0 2 255\n"));
  EXPECT_FALSE(Try("P6"));
  EXPECT_FALSE(Try(""));
  EXPECT_FALSE(Try("<html><body>not an image</body></html>"));
}

TEST(PxmCodec, BadInputEndsInTheAbortFlag) {
  const std::string cases[] = {
      "P6 0 5 255\n",                          // no width
      "P5 2 2 0\n\x01\x02\x03\x04",            // maximum 0
      "P5 2 2 70000\n\x01\x02\x03\x04",        // maximum beyond 16 bits
      "P5 2 2 abc\n\x01\x02\x03\x04",          // maximum no number
      "P6 2 2 255\n\x01\x02\x03",              // pixels cut short
      "P2 3 1 255 1 2",                        // text samples cut short
      "P1 4 4 0101",                           // plain bits cut short
      "P6 60000 60000 255\n\x01\x02\x03",      // far more pixels than bytes
      "P6 100000 100000 255\n",                // beyond the pixel limit
      "P6 2 2",                                // header cut short
      "P9 2 2 255\n",
  };
  for (const std::string& c : cases) {
    SCOPED_TRACE(c);
    EXPECT_TRUE(ReadPxm(c)->aborted);
  }
  // Preview reads the header only, but a file whose pixels cannot be there fails
  // there too.
  auto preview = ReadPxm("P6 2 2 255\n", true);
  EXPECT_TRUE(preview->aborted);
  preview = ReadPxm(std::string("P6 2 1 255\n") + std::string(6, '\0'), true);
  EXPECT_FALSE(preview->aborted);
  EXPECT_EQ(preview->params->Width, 2);
  EXPECT_EQ(preview->bitmap.GetWidth(), 0);
}

TEST(PxmCodec, GdkPixbufDamagedFilesFailOrLoadInBounds) {
  const std::string base = "/usr/libexec/installed-tests/gdk-pixbuf/test-images/";
  ASSERT_TRUE(file_test::ReadFile(base + "fail/invalid.1.ppm").size() > 0)
      << "gdk-pixbuf-tests is not installed; run scripts/install-deps";
  for (const char* name : {"fail/invalid.1.ppm", "fail/invalid.3.ppm", "fail/invalid.5.ppm", "fail/invalid.8.ppm"}) {
    SCOPED_TRACE(name);
    EXPECT_TRUE(ReadPxm(file_test::ReadFile(base + name))->aborted);
  }
  // A sign is a separator between header tokens, so "-1 -1" is a 1 x 1 image, and
  // a "#" right after the maximum ends it: these read, within their bounds.
  for (const char* name : {"fail/invalid.2.ppm", "fail/invalid.6.ppm", "fail/invalid.7.ppm",
                           "randomly-modified/bug775232.pnm", "randomly-modified/invalid.4.ppm",
                           "randomly-modified/valid.1.ppm", "randomly-modified/valid.2.ppm",
                           "randomly-modified/valid.3.ppm", "randomly-modified/valid.4.ppm"}) {
    SCOPED_TRACE(name);
    auto r = ReadPxm(file_test::ReadFile(base + name));
    if (!r->aborted) {
      EXPECT_EQ(r->bitmap.GetWidth(), r->params->Width);
      EXPECT_EQ(r->bitmap.GetHeight(), r->params->Height);
    }
  }
}

}  // namespace
