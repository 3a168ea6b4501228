// Editing files as a whole: lossless JPEG transforms beside jpegtran, IPTC injection
// read back by exiftool, TIFF pages counted by tiffinfo, GIF frames by gifsicle.
#include "platform/rtl/Exceptions.h"
#include "platform/rtl/Files.h"
#include "tests/image/io_test_util.h"

namespace {

using io_test::IOTest;
using io_test::Pixels;

// The number of times text occurs in s.
int Count(const std::string& s, const std::string& text) {
  int n = 0;
  for (size_t at = s.find(text); at != std::string::npos; at = s.find(text, at + 1)) ++n;
  return n;
}

std::vector<Byte> Decoded(const std::string& path) {
  TDadirAvIO io(nullptr);
  io.LoadFromFile(path);
  EXPECT_FALSE(io.GetAborting()) << path;
  return Pixels(*io.GetIEBitmap());
}

TEST_F(IOTest, LosslessTransformsMatchJpegtran) {
  std::string src = Dir() + "src.jpg";
  larktest::RunCommand({"convert-im6.q16", "-size", "64x48", "plasma:fractal", "-seed", "3", "-quality", "90", src});
  ASSERT_TRUE(FileExists(src));
  struct Case {
    TIEJpegTransform transform;
    std::vector<std::string> args;
  } cases[] = {
      {jtHorizFlip, {"-flip", "horizontal"}}, {jtVertFlip, {"-flip", "vertical"}},
      {jtTranspose, {"-transpose"}},           {jtTransverse, {"-transverse"}},
      {jtRotate90, {"-rotate", "90"}},         {jtRotate180, {"-rotate", "180"}},
      {jtRotate270, {"-rotate", "270"}},
  };
  int i = 0;
  for (const Case& c : cases) {
    std::string ours = Dir() + "ours" + std::to_string(i) + ".jpg";
    std::string theirs = Dir() + "theirs" + std::to_string(i++) + ".jpg";
    ASSERT_TRUE(JpegLosslessTransform(src, ours, c.transform, false, jcCopyAll, TRect{}));
    std::vector<std::string> argv = {"jpegtran"};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    argv.insert(argv.end(), {"-outfile", theirs, src});
    int rc = -1;
    larktest::RunCommand(argv, &rc);
    ASSERT_EQ(rc, 0);
    EXPECT_EQ(Decoded(ours), Decoded(theirs)) << i;
  }
}

TEST_F(IOTest, FailedTransformsWriteNothing) {
  std::string src = Dir() + "src.jpg";
  larktest::RunCommand({"convert-im6.q16", "-size", "32x32", "gradient:", src});
  std::string original = file_test::ReadFile(src);
  // Onto its own source (also by another name for the same file): refused, photo kept.
  EXPECT_FALSE(JpegLosslessTransform(src, src, jtRotate90, false, jcCopyAll, TRect{}));
  EXPECT_FALSE(JpegLosslessTransform(src, Dir() + "./src.jpg", jtRotate90, false, jcCopyAll, TRect{}));
  EXPECT_EQ(file_test::ReadFile(src), original);
  // A missing source, a source that is no JPEG: no destination, an old one kept.
  EXPECT_FALSE(JpegLosslessTransform(Dir() + "none.jpg", Dir() + "out.jpg", jtRotate90, false, jcCopyAll, TRect{}));
  EXPECT_FALSE(FileExists(Dir() + "out.jpg"));
  file_test::WriteFile(Dir() + "text.jpg", "not a jpeg at all");
  file_test::WriteFile(Dir() + "old.jpg", "old");
  EXPECT_FALSE(JpegLosslessTransform(Dir() + "text.jpg", Dir() + "old.jpg", jtRotate90, false, jcCopyAll, TRect{}));
  EXPECT_EQ(file_test::ReadFile(Dir() + "old.jpg"), "old");
}

TEST_F(IOTest, InjectedIPTCIsReadBackByExiftool) {
  std::string path = Dir() + "photo.jpg";
  larktest::RunCommand({"convert-im6.q16", "-size", "32x24", "gradient:", path});
  TDadirAvIO io(nullptr);
  int finishes = 0;
  io.OnFinishWork = [&](TObject*) { ++finishes; };
  io.GetParams()->IPTC_Info->AddStringItem(2, 120, "A caption for the feed");
  EXPECT_TRUE(io.InjectJpegIPTC(path));
  EXPECT_EQ(finishes, 1);
  std::string out = larktest::RunCommand({"exiftool", "-s", "-IPTC:Caption-Abstract", path});
  EXPECT_NE(out.find("A caption for the feed"), std::string::npos) << out;

  file_test::WriteFile(Dir() + "text.jpg", "not a jpeg");
  EXPECT_FALSE(io.InjectJpegIPTC(Dir() + "text.jpg"));
  EXPECT_EQ(file_test::ReadFile(Dir() + "text.jpg"), "not a jpeg");
  EXPECT_THROW(io.InjectJpegIPTC(Dir() + "missing.jpg"), EFOpenError);
}

TEST_F(IOTest, TiffPagesCountedByTiffinfo) {
  std::string one = Dir() + "one.tif";
  larktest::RunCommand({"convert-im6.q16", "-size", "20x10", "xc:red", one});
  auto pages = [](const std::string& path) {
    return Count(larktest::RunCommand({"tiffinfo", path}), "TIFF Directory");
  };
  ASSERT_EQ(pages(one), 1);

  TDadirAvIO io(nullptr);
  codec_test::Pattern(*io.GetIEBitmap(), 30, 15);
  EXPECT_GT(io.InsertToFileTIFF(one), 0);
  EXPECT_FALSE(io.GetAborting());
  EXPECT_EQ(pages(one), 2);
  EXPECT_EQ(EnumTIFFIm(one), 2);

  std::string extracted = Dir() + "extracted.tif";
  std::string second = Dir() + "second.tif";
  ExtractTIFFImageFile(one, extracted, 0);
  EXPECT_EQ(pages(extracted), 1);
  InsertTIFFImageFile(one, extracted, second, 0);
  EXPECT_EQ(pages(second), 3);
  EXPECT_EQ(DeleteTIFFIm(second, 0), 3);
  EXPECT_EQ(pages(second), 2);

  TDadirAvIO missing(nullptr);
  codec_test::Pattern(*missing.GetIEBitmap(), 4, 4);
  EXPECT_THROW(missing.InsertToFileTIFF(Dir() + "none.tif"), EFOpenError);
  EXPECT_TRUE(missing.GetAborting());
}

TEST_F(IOTest, GifFramesCountedByGifsicle) {
  std::string path = Dir() + "anim.gif";
  larktest::RunCommand({"convert-im6.q16", "-size", "50x50", "xc:blue", path});
  TDadirAvIO io(nullptr);
  codec_test::Pattern(*io.GetIEBitmap(), 100, 80, 4);
  TIOParamsVals& p = *io.GetParams();
  p.GIF_WinWidth = 50;
  p.GIF_WinHeight = 50;
  p.GIF_XPos = 10;
  p.GIF_ImageIndex = 1;
  EXPECT_EQ(io.InsertToFileGif(path), 2);
  EXPECT_FALSE(io.GetAborting());
  EXPECT_EQ(p.GIF_WinWidth, 110);
  EXPECT_EQ(p.GIF_WinHeight, 80);
  std::string info = larktest::RunCommand({"gifsicle", "--info", path});
  EXPECT_NE(info.find("2 images"), std::string::npos) << info;
  EXPECT_NE(info.find("logical screen 110x80"), std::string::npos) << info;
  EXPECT_NE(info.find("loop forever"), std::string::npos) << info;
  EXPECT_TRUE(CheckAniGif(path));
  EXPECT_EQ(EnumGifIm(path), 2);
  DeleteGifIm(path, 0);
  EXPECT_NE(larktest::RunCommand({"gifsicle", "--info", path}).find("1 image"), std::string::npos);

  file_test::WriteFile(Dir() + "text.gif", "not a gif");
  EXPECT_EQ(EnumGifIm(Dir() + "text.gif"), 0);
  EXPECT_FALSE(CheckAniGif(Dir() + "missing.gif"));
}

}  // namespace
