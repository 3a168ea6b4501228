// JPEG stream editing: IPTC blocks replaced where other tools find them (read back
// by exiftool), and lossless transforms checked against jpegtran byte for byte and
// against Pillow's pixel-domain turns and flips.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "image/formats/jpegfilt_edit.h"
#include "platform/rtl/Streams.h"
#include "tests/image/codec_test_util.h"
#include "tests/image/file_test_util.h"
#include "tests/support/Peers.h"

namespace {

using namespace codec_test;

std::string Sh(const std::string& command, int* rcOut = nullptr) {
  int rc = 0;
  const std::string out = larktest::RunCommand({"/bin/sh", "-c", command}, &rc);
  if (rcOut != nullptr) *rcOut = rc;
  else EXPECT_EQ(rc, 0) << command;
  return out;
}

class JpegEdit : public ::testing::Test {
 protected:
  void SetUp() override {
    if (larktest::RequireProgram("jpegtran").empty() || larktest::RequireProgram("exiftool").empty())
      GTEST_SKIP();
    // A 64 x 48 photo-like JPEG (4:2:0), its 4:4:4 twin, one of odd size, one
    // with a comment and an old IPTC block, one with EXIF but no JFIF header.
    Sh("cd " + dir_.Path() + " && /usr/bin/python3 -c \"" 
       "from PIL import Image\n"
       "im = Image.new('RGB', (64, 48))\n"
       "im.putdata([((x * 4) % 256, (y * 5) % 256, ((x ^ y) * 3) % 256) for y in range(48) for x in range(64)])\n"
       "im.save('base.jpg', quality=90)\n"
       "im.save('s444.jpg', quality=90, subsampling=0)\n"
       "im.resize((61, 45)).save('odd.jpg', quality=90)\n"
       "\"");
    Sh("cd " + dir_.Path() + " && cp base.jpg marked.jpg && exiftool -q -overwrite_original "
       "-Comment='hello comment' -IPTC:Keywords=old -IPTC:Caption-Abstract='old caption' marked.jpg");
    Sh("cd " + dir_.Path() + " && exiftool -q -IPTC:Keywords=old -Make=Camera -JFIF:all= "
       "-o exif.jpg base.jpg");
  }
  std::string Path(const std::string& name) const { return dir_.Path() + name; }
  Bytes Load(const std::string& name) const {
    const std::string f = file_test::ReadFile(Path(name));
    return Bytes(f.begin(), f.end());
  }
  void Save(const std::string& name, const Bytes& b) const {
    file_test::WriteFile(Path(name), std::string(b.begin(), b.end()));
  }

  larktest::TempDir dir_;
};

// The markers (second bytes) of the segments before the scan.
std::vector<int> Markers(const Bytes& j) {
  std::vector<int> m;
  size_t i = 2;
  while (i + 4 <= j.size() && j[i] == 0xFF && j[i + 1] != 0xDA) {
    m.push_back(j[i + 1]);
    i += 2 + ((j[i + 2] << 8) | j[i + 3]);
  }
  return m;
}

bool Inject(const Bytes& in, Bytes& out, TIEIPTCInfoList* iptc) {
  TMemoryStream src, dst;
  Fill(src, in);
  const bool ok = IEJpegInjectIPTC(&src, &dst, iptc);
  out = Contents(dst);
  return ok;
}

TEST_F(JpegEdit, IptcGoesAfterJfifHeaderAndTheOldBlockGoes) {
  TIEIPTCInfoList iptc;
  iptc.AddStringItem(2, 25, "new keyword");
  iptc.AddStringItem(2, 120, "new caption");
  Bytes out;
  ASSERT_TRUE(Inject(Load("marked.jpg"), out, &iptc));
  const std::vector<int> m = Markers(out);
  ASSERT_GE(m.size(), 2u);
  EXPECT_EQ(m[0], 0xE0);
  EXPECT_EQ(m[1], 0xED);
  EXPECT_EQ(std::count(m.begin(), m.end(), 0xED), 1);
  Save("out.jpg", out);
  const std::string tags = Sh("exiftool -s -s -s -IPTC:Keywords -IPTC:Caption-Abstract -Comment " + Path("out.jpg"));
  EXPECT_EQ(tags, "new keyword\nnew caption\nhello comment\n");
}

TEST_F(JpegEdit, IptcGoesBeforeExifWithoutJfifHeader) {
  const Bytes in = Load("exif.jpg");
  ASSERT_EQ(Markers(in)[0], 0xE1);
  TIEIPTCInfoList iptc;
  iptc.AddStringItem(2, 25, "k");
  Bytes out;
  ASSERT_TRUE(Inject(in, out, &iptc));
  const std::vector<int> m = Markers(out);
  EXPECT_EQ(m[0], 0xED);
  EXPECT_EQ(m[1], 0xE1);
  EXPECT_EQ(std::count(m.begin(), m.end(), 0xED), 1);
  Save("out.jpg", out);
  EXPECT_EQ(Sh("exiftool -s -s -s -IPTC:Keywords -Make " + Path("out.jpg")), "k\nCamera\n");
}

TEST_F(JpegEdit, EmptyListReplacesTheBlockAndTrailingBytesStay) {
  Bytes in = Load("marked.jpg");
  in.insert(in.end(), {'t', 'a', 'i', 'l', 0xFF});
  TIEIPTCInfoList empty;
  Bytes out;
  ASSERT_TRUE(Inject(in, out, &empty));
  // One block built from the empty list replaces the old one.
  const std::vector<int> m = Markers(out);
  EXPECT_EQ(std::count(m.begin(), m.end(), 0xED), 1);
  EXPECT_EQ(Bytes(out.end() - 5, out.end()), (Bytes{'t', 'a', 'i', 'l', 0xFF}));
  // The image itself is untouched: the pixels decode the same.
  Save("out.jpg", out);
  EXPECT_EQ(Sh("exiftool -s -s -s -IPTC:Keywords " + Path("out.jpg")), "");
  EXPECT_EQ(PillowDecode(Path("out.jpg")).pixels, PillowDecode(Path("marked.jpg")).pixels);
}

TEST(JpegInjectIptc, DamagedInputFailsAndWritesNothing) {
  const Bytes app0 = {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x04, 'J', 'F'};
  TIEIPTCInfoList iptc;
  iptc.AddStringItem(2, 25, "x");
  struct Case { const char* what; Bytes in; };
  Bytes fill = app0;
  fill.insert(fill.end(), {0xFF, 0xFF, 0xDB, 0x00, 0x02});
  Bytes shortLength = app0;
  shortLength.insert(shortLength.end(), {0xFF, 0xDB, 0x00, 0x01});
  Bytes cut = app0;
  cut.insert(cut.end(), {0xFF, 0xDB, 0x00, 0x40, 1, 2});
  Bytes bad = app0;
  bad.insert(bad.end(), {0xFF, 0x20});
  const Case cases[] = {
      {"fill bytes", fill}, {"length below 2", shortLength}, {"segment cut short", cut},
      {"invalid marker", bad}, {"no application segment", {0xFF, 0xD8, 0xFF, 0xDB, 0x00, 0x02, 0xFF, 0xD9}},
      {"not a JPEG at all", {'<', 'h', 't', 'm', 'l', '>'}},
  };
  for (const Case& c : cases) {
    Bytes out;
    EXPECT_FALSE(Inject(c.in, out, &iptc)) << c.what;
    EXPECT_TRUE(out.empty()) << c.what;
  }
}

Bytes Transform(const Bytes& in, TIEJpegTransform t, bool grey, TIEJpegCopyMarkers copy, TRect cut, bool* aborted) {
  TMemoryStream src, dst;
  Fill(src, in);
  *aborted = false;
  TProgressRec progress;
  progress.Aborting = aborted;
  IEJpegLosslessTransform(&src, &dst, progress, t, grey, copy, cut);
  return Contents(dst);
}

TEST_F(JpegEdit, TransformsMatchJpegtranByteForByte) {
  struct Case { TIEJpegTransform t; const char* args; };
  const Case transforms[] = {
      {jtNone, ""}, {jtHorizFlip, "-flip horizontal"}, {jtVertFlip, "-flip vertical"},
      {jtTranspose, "-transpose"}, {jtTransverse, "-transverse"}, {jtRotate90, "-rotate 90"},
      {jtRotate180, "-rotate 180"}, {jtRotate270, "-rotate 270"},
  };
  struct Copy { TIEJpegCopyMarkers c; const char* arg; };
  for (const char* file : {"marked.jpg", "odd.jpg"}) {
    for (const Case& c : transforms) {
      for (const Copy& copy : {Copy{jcCopyAll, "all"}, Copy{jcCopyNone, "none"}, Copy{jcCopyComments, "comments"}}) {
        for (bool grey : {false, true}) {
          SCOPED_TRACE(std::string(file) + " " + c.args + " -copy " + copy.arg + (grey ? " -grayscale" : ""));
          bool aborted = false;
          const Bytes ours = Transform(Load(file), c.t, grey, copy.c, TRect{}, &aborted);
          ASSERT_FALSE(aborted);
          Sh(std::string("jpegtran -trim ") + (grey ? "-grayscale " : "") + "-copy " + copy.arg + " " + c.args +
             " -outfile " + Path("ref.jpg") + " " + Path(file));
          EXPECT_TRUE(ours == Load("ref.jpg"));
        }
      }
    }
  }
}

TEST_F(JpegEdit, CropMovesToTheBlockGridLikeJpegtran) {
  // Asked: x 10..40, y 7..30 (inclusive); 4:2:0 blocks are 16 x 16, so the region
  // starts at 0, 0 and grows by as much.
  bool aborted = false;
  const Bytes ours = Transform(Load("base.jpg"), jtCut, false, jcCopyAll, TRect{10, 7, 40, 30}, &aborted);
  ASSERT_FALSE(aborted);
  Save("cut.jpg", ours);
  const Rgba cut = PillowDecode(Path("cut.jpg"));
  EXPECT_EQ(cut.width, 41);
  EXPECT_EQ(cut.height, 31);
  Sh("jpegtran -copy all -crop 41x31+0+0 -outfile " + Path("ref.jpg") + " " + Path("base.jpg"));
  EXPECT_TRUE(ours == Load("ref.jpg"));
  // A region past the image ends at its edge; one wholly outside fails.
  const Bytes edge = Transform(Load("base.jpg"), jtCut, false, jcCopyAll, TRect{33, 17, 500, 500}, &aborted);
  ASSERT_FALSE(aborted);
  Save("edge.jpg", edge);
  const Rgba e = PillowDecode(Path("edge.jpg"));
  EXPECT_EQ(e.width, 64 - 32);
  EXPECT_EQ(e.height, 48 - 16);
  const Bytes none = Transform(Load("base.jpg"), jtCut, false, jcCopyAll, TRect{100, 100, 200, 200}, &aborted);
  EXPECT_TRUE(aborted);
  EXPECT_TRUE(none.empty());
}

TEST_F(JpegEdit, TurnsAndFlipsMatchPillowInThePixelDomain) {
  // 4:4:4, so no chroma is resampled; the inverse DCT may round by one either way.
  const Rgba source = PillowDecode(Path("s444.jpg"));
  ASSERT_TRUE(source.ok());
  struct Case { TIEJpegTransform t; const char* pillow; };
  for (const Case& c : {Case{jtHorizFlip, "FLIP_LEFT_RIGHT"}, Case{jtVertFlip, "FLIP_TOP_BOTTOM"},
                        Case{jtTranspose, "TRANSPOSE"}, Case{jtTransverse, "TRANSVERSE"},
                        Case{jtRotate90, "ROTATE_270"}, Case{jtRotate180, "ROTATE_180"},
                        Case{jtRotate270, "ROTATE_90"}}) {
    SCOPED_TRACE(c.pillow);
    bool aborted = false;
    Save("t.jpg", Transform(Load("s444.jpg"), c.t, false, jcCopyNone, TRect{}, &aborted));
    ASSERT_FALSE(aborted);
    Sh("cd " + dir_.Path() + " && /usr/bin/python3 -c \"from PIL import Image; "
       "Image.open('s444.jpg').transpose(Image.Transpose." + std::string(c.pillow) + ").save('p.png')\"");
    EXPECT_TRUE(SameRgba(PillowDecode(Path("t.jpg")), PillowDecode(Path("p.png")), false, 2));
  }
}

TEST_F(JpegEdit, NoneWithAllMarkersKeepsCoefficientsAndMarkers) {
  bool aborted = false;
  const Bytes out = Transform(Load("marked.jpg"), jtNone, false, jcCopyAll, TRect{}, &aborted);
  ASSERT_FALSE(aborted);
  Save("same.jpg", out);
  EXPECT_EQ(PillowDecode(Path("same.jpg")).pixels, PillowDecode(Path("marked.jpg")).pixels);
  EXPECT_EQ(Sh("exiftool -s -s -s -IPTC:Keywords -Comment " + Path("same.jpg")), "old\nhello comment\n");
  // Comments only: the comment stays, the IPTC block goes.
  const Bytes comments = Transform(Load("marked.jpg"), jtNone, false, jcCopyComments, TRect{}, &aborted);
  Save("comments.jpg", comments);
  EXPECT_EQ(Sh("exiftool -s -s -s -IPTC:Keywords -Comment " + Path("comments.jpg")), "hello comment\n");
}

TEST(JpegLosslessTransform, NoJpegStartWithinTheFirst100BytesFails) {
  Bytes in(120, 0x20);
  in.insert(in.end(), {0xFF, 0xD8, 0xFF, 0xE0});
  bool aborted = false;
  const Bytes out = Transform(in, jtRotate90, false, jcCopyAll, TRect{}, &aborted);
  EXPECT_TRUE(aborted);
  EXPECT_TRUE(out.empty());
  // A start marker and then garbage: the library's error ends in the flag too.
  Bytes garbage = {0xFF, 0xD8, 0xFF, 0xDB, 0x00, 0x03, 0x00, 0x11, 0x22};
  Transform(garbage, jtRotate90, false, jcCopyAll, TRect{}, &aborted);
  EXPECT_TRUE(aborted);
}

}  // namespace
