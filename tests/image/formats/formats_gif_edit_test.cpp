// GIF file editing: frames inserted into and deleted from files that gifsicle made,
// checked by gifsicle's frame list and Pillow's pixels; the loop block; damaged
// files left exactly as they were.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "image/formats/giffilter_edit.h"
#include "image/formats/giflzw.h"
#include "platform/rtl/Exceptions.h"
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

size_t Count(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

class GifEdit : public ::testing::Test {
 protected:
  void SetUp() override {
    if (larktest::RequireProgram("gifsicle").empty()) GTEST_SKIP();
    saved_ = DefGIF_LZWCOMPFUNC;
    DefGIF_LZWCOMPFUNC = GIFLZWCompress;
    Sh("cd " + dir_.Path() + " && /usr/bin/python3 -c \"from PIL import Image\n"
       "for i, c in enumerate([(255, 0, 0), (0, 255, 0), (0, 0, 255)]):\n"
       "    Image.new('RGB', (20, 10), c).save('f%d.gif' % i)\n\"");
    // With graphic control extensions (a delay), without them, and with a comment.
    Sh("cd " + dir_.Path() + " && gifsicle --delay 10 f0.gif f1.gif -o gce.gif");
    Sh("cd " + dir_.Path() + " && gifsicle --no-extensions f0.gif f1.gif -o plain.gif");
    Sh("cd " + dir_.Path() + " && cp gce.gif comments.gif && gifsicle -b comments.gif --comment 'a remark' '#0' "
       "--comment more '#1'");
  }
  void TearDown() override { DefGIF_LZWCOMPFUNC = saved_; }
  std::string Path(const std::string& name) const { return dir_.Path() + name; }
  std::string Info(const std::string& name) { return Sh("gifsicle --info " + Path(name)); }

  // A 20 x 10 frame in two colours, so that it is easy to recognise.
  void Frame(TIEBitmap& b) {
    b.Allocate(20, 10, ie24RGB);
    for (Integer y = 0; y < 10; ++y)
      for (Integer x = 0; x < 20; ++x) b.SetPixels_ie24RGB(x, y, x < 10 ? TRGB{0, 255, 255} : TRGB{128, 0, 128});
  }

  Integer Insert(const std::string& name, Integer index, bool* abortedOut = nullptr) {
    TIEBitmap frame;
    Frame(frame);
    TIOParamsVals params(nullptr);
    params.GIF_ImageIndex = index;
    params.GIF_DelayTime = 25;
    bool aborted = false;
    TProgressRec progress;
    progress.Aborting = &aborted;
    const Integer n = _InsertGifIm(Path(name), &frame, params, progress);
    if (abortedOut != nullptr) *abortedOut = aborted;
    else EXPECT_FALSE(aborted);
    return n;
  }

  // Pillow's frame against a flat colour or our frame.
  bool FrameIs(const std::string& name, int index, const Rgba& expected) {
    return SameRgba(PillowDecode(Path(name), index), expected, false);
  }
  Rgba Flat(Byte r, Byte g, Byte b) {
    Rgba x;
    x.width = 20;
    x.height = 10;
    for (int i = 0; i < 200; ++i) x.pixels.insert(x.pixels.end(), {r, g, b, 255});
    return x;
  }
  Rgba Ours() {
    TIEBitmap frame;
    Frame(frame);
    return OurPixels(frame);
  }

  larktest::TempDir dir_;
  TGIFLZWCompFunc saved_ = nullptr;
};

TEST_F(GifEdit, InsertBetweenFramesWithControlExtensions) {
  EXPECT_EQ(Insert("gce.gif", 1), 3);
  const std::string info = Info("gce.gif");
  EXPECT_NE(info.find("3 images"), std::string::npos) << info;
  EXPECT_EQ(Count(info, "delay 0.25s"), 1u) << info;
  EXPECT_TRUE(FrameIs("gce.gif", 0, Flat(255, 0, 0)));
  EXPECT_TRUE(FrameIs("gce.gif", 1, Ours()));
  EXPECT_TRUE(FrameIs("gce.gif", 2, Flat(0, 255, 0)));
}

TEST_F(GifEdit, InsertAtTheFrameCountAppends) {
  EXPECT_EQ(Insert("gce.gif", 2), 3);
  EXPECT_TRUE(FrameIs("gce.gif", 1, Flat(0, 255, 0)));
  EXPECT_TRUE(FrameIs("gce.gif", 2, Ours()));
}

TEST_F(GifEdit, InsertAtZeroBeforeAFrameWithoutControlExtension) {
  EXPECT_EQ(Insert("plain.gif", 0), 3);
  EXPECT_NE(Info("plain.gif").find("3 images"), std::string::npos);
  EXPECT_TRUE(FrameIs("plain.gif", 0, Ours()));
  EXPECT_TRUE(FrameIs("plain.gif", 1, Flat(255, 0, 0)));
}

TEST_F(GifEdit, InsertIntoAStreamRewritesFromItsPosition) {
  const std::string gif = file_test::ReadFile(Path("gce.gif"));
  TMemoryStream s;
  Fill(s, "prefix" + gif);
  s.SetPosition(6);
  TIEBitmap frame;
  Frame(frame);
  TIOParamsVals params(nullptr);
  params.GIF_ImageIndex = 0;
  bool aborted = false;
  TProgressRec progress;
  progress.Aborting = &aborted;
  EXPECT_EQ(_InsertGifImStream(&s, &frame, params, progress), 3);
  EXPECT_FALSE(aborted);
  const Bytes all = Contents(s);
  EXPECT_EQ(std::string(all.begin(), all.begin() + 12), "prefixGIF89a");
  file_test::WriteFile(Path("stream.gif"), std::string(all.begin() + 6, all.end()));
  EXPECT_TRUE(FrameIs("stream.gif", 0, Ours()));
}

TEST_F(GifEdit, DeleteAndCount) {
  const std::string before = file_test::ReadFile(Path("comments.gif"));
  EXPECT_EQ(_DeleteGifIm(Path("comments.gif"), -1, false), 2);
  EXPECT_EQ(file_test::ReadFile(Path("comments.gif")), before);
  EXPECT_EQ(_DeleteGifIm(Path("comments.gif"), 0, true), 1);
  const std::string info = Info("comments.gif");
  EXPECT_NE(info.find("1 image"), std::string::npos) << info;
  EXPECT_EQ(Count(info, "delay"), 1u) << info;  // frame 0's control extension went with it
  EXPECT_NE(info.find("a remark"), std::string::npos) << info;
  EXPECT_NE(info.find("more"), std::string::npos) << info;
  EXPECT_TRUE(FrameIs("comments.gif", 0, Flat(0, 255, 0)));
}

TEST_F(GifEdit, LoopBlockAddedOnceAndTested) {
  EXPECT_FALSE(_CheckGifAnimate(Path("gce.gif")));
  _GifMakeAnimate(Path("gce.gif"), 0, 30, 12);
  EXPECT_TRUE(_CheckGifAnimate(Path("gce.gif")));
  std::string info = Info("gce.gif");
  EXPECT_NE(info.find("loop forever"), std::string::npos) << info;
  EXPECT_NE(info.find("logical screen 30x12"), std::string::npos) << info;
  _GifMakeAnimate(Path("gce.gif"), 3, 30, 12);
  const std::string bytes = file_test::ReadFile(Path("gce.gif"));
  EXPECT_EQ(Count(bytes, "NETSCAPE2.0"), 1u);
  info = Info("gce.gif");
  EXPECT_NE(info.find("loop count 3"), std::string::npos) << info;
  EXPECT_NE(info.find("2 images"), std::string::npos) << info;
  // A comment before the loop block: not taken as an animation.
  std::string commented = bytes;
  const size_t at = commented.find("\x21\xFF\x0BNETSCAPE2.0");
  ASSERT_NE(at, std::string::npos);
  commented.insert(at, std::string("\x21\xFE\x02hi\x00", 6));
  file_test::WriteFile(Path("commented.gif"), commented);
  EXPECT_FALSE(_CheckGifAnimate(Path("commented.gif")));
}

TEST_F(GifEdit, DamagedOrForeignFilesStayAsTheyWere) {
  // A sub-block that runs past the end.
  std::string cut = file_test::ReadFile(Path("gce.gif"));
  cut.resize(cut.size() - 8);
  file_test::WriteFile(Path("cut.gif"), cut);
  bool aborted = false;
  EXPECT_EQ(Insert("cut.gif", 2, &aborted), 0);
  EXPECT_TRUE(aborted);
  EXPECT_EQ(file_test::ReadFile(Path("cut.gif")), cut);
  _DeleteGifIm(Path("cut.gif"), 0, true);
  EXPECT_EQ(file_test::ReadFile(Path("cut.gif")), cut);
  // An index past the frames inserts nothing and says so.
  const std::string gce = file_test::ReadFile(Path("gce.gif"));
  EXPECT_EQ(Insert("gce.gif", 5, &aborted), 0);
  EXPECT_TRUE(aborted);
  EXPECT_EQ(Insert("gce.gif", -2, &aborted), 0);
  EXPECT_TRUE(aborted);
  EXPECT_EQ(file_test::ReadFile(Path("gce.gif")), gce);
  // Not a GIF: 0 or false, nothing changed.
  file_test::WriteFile(Path("text.gif"), "<html>no</html>");
  EXPECT_EQ(Insert("text.gif", 0, &aborted), 0);
  EXPECT_FALSE(aborted);
  EXPECT_EQ(_DeleteGifIm(Path("text.gif"), 0, true), 0);
  EXPECT_FALSE(_CheckGifAnimate(Path("text.gif")));
  _GifMakeAnimate(Path("text.gif"), 0, 1, 1);
  EXPECT_EQ(file_test::ReadFile(Path("text.gif")), "<html>no</html>");
  // Files that cannot be opened raise the stream's error.
  EXPECT_THROW(_DeleteGifIm(Path("missing.gif"), -1, false), Exception);
  EXPECT_THROW(_CheckGifAnimate(Path("missing.gif")), Exception);
  // No encoder: the abort flag, the file unchanged.
  DefGIF_LZWCOMPFUNC = nullptr;
  EXPECT_EQ(Insert("gce.gif", 0, &aborted), 0);
  EXPECT_TRUE(aborted);
  EXPECT_EQ(file_test::ReadFile(Path("gce.gif")), gce);
}

}  // namespace
