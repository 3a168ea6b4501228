// The multi-image component on a thumbnail grid: its parameter entries in step with
// the grid through insertions, deletions, moves and clearing; GIF and TIFF runs
// loaded at the selection with their delays and DPI adjustment, and written so that
// gifsicle, giftext, tiffinfo and Pillow read them as written; AVI frames written with
// their display time as ffprobe and ffmpeg read them; and the saves that are refused,
// cancelled or fail midway, which leave no file and no extra image behind.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "image/io/iemio.h"
#include "image/views/iemview.h"
#include "platform/avifile/SimHooks.h"
#include "platform/sim/Dialogs.h"
#include "platform/win/MessageBox.h"
#include "tests/image/io_test_util.h"
#include "tests/image/views/views_test_util.h"
#include "tests/platform/avifile/avi_test_util.h"

namespace {

using io_test::IOTest;

constexpr char kConvert[] = "convert-im6.q16";
constexpr char kPython[] = "/usr/bin/python3";

TRGB ColourOf(Integer i) {
  static const TRGB colours[] = {{0, 0, 255}, {0, 255, 0}, {255, 0, 0}, {0, 255, 255}, {255, 0, 255}, {255, 255, 0}};
  return colours[i % 6];
}

std::unique_ptr<TIEBitmap> Solid(Integer w, Integer h, TRGB colour) {
  auto b = std::make_unique<TIEBitmap>();
  b->SetLocation(ieMemory);
  b->Allocate(w, h, ie24RGB);
  for (Integer y = 0; y < h; ++y)
    for (Integer x = 0; x < w; ++x) b->SetPixels_ie24RGB(x, y, colour);
  return b;
}

std::string RunTool(const std::vector<std::string>& argv) {
  int code = -1;
  std::string out = larktest::RunCommand(argv, &code);
  EXPECT_EQ(code, 0) << argv[0] << ": " << out;
  return out;
}

std::string Pillow(const std::string& script) { return RunTool({kPython, "-c", script}); }

std::vector<std::string> FilesIn(const std::string& dir) {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(dir)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// A grid in a form with the component attached; `n` solid images of w x h.
struct MGrid {
  viewtest::ViewForm<TDadirAvMView> form{420, 316, TScrollStyle::ssNone};
  TDadirAvMView* view = form.view;
  TDadirAvMIO mio{nullptr};

  explicit MGrid(Integer n = 0, Integer w = 40, Integer h = 30) {
    Add(n, w, h);
    mio.SetAttachedMView(view);
  }
  void Add(Integer n, Integer w, Integer h) {
    for (Integer i = 0; i < n; ++i) {
      const Integer idx = view->AppendImage();
      auto b = Solid(w, h, ColourOf(idx));
      view->SetIEBitmap(idx, b.get());
    }
  }
  TRGB Pixel(Integer idx, Integer x = 0, Integer y = 0) {
    TIEBitmap copy;
    EXPECT_TRUE(view->CopyToIEBitmap(idx, &copy)) << idx;
    if (copy.GetPixelFormat() != ie24RGB) copy.ConvertToPixelFormat(ie24RGB);
    return copy.GetPixels_ie24RGB(x, y);
  }
  std::vector<Integer> Qualities() {
    std::vector<Integer> q;
    for (Integer i = 0; i < mio.GetParamsCount(); ++i) q.push_back(mio.GetParams(i)->JPEG_Quality);
    return q;
  }
  // Every entry knows its place.
  void ExpectNumbered() {
    ASSERT_EQ(mio.GetParamsCount(), view->GetImageCount());
    for (Integer i = 0; i < mio.GetParamsCount(); ++i) {
      EXPECT_EQ(mio.GetParams(i)->GIF_ImageIndex, i);
      EXPECT_EQ(mio.GetParams(i)->TIFF_ImageIndex, i);
    }
  }
};

bool Same(TRGB a, TRGB b) { return a.r == b.r && a.g == b.g && a.b == b.b; }

TEST(MultiImageParams, EntriesFollowInsertDeleteMoveAndClear) {
  MGrid grid(4);
  ASSERT_EQ(grid.mio.GetParamsCount(), 4);
  for (Integer i = 0; i < 4; ++i) grid.mio.GetParams(i)->JPEG_Quality = 10 * (i + 1);
  EXPECT_EQ(grid.mio.GetParams(-1), nullptr);
  EXPECT_EQ(grid.mio.GetParams(4), nullptr);

  // Inserting before image 2 copies the entry of the image that was there.
  grid.view->InsertImageEx(2);
  EXPECT_EQ(grid.Qualities(), (std::vector<Integer>{10, 20, 30, 30, 40}));
  grid.mio.GetParams(2)->JPEG_Quality = 25;
  grid.ExpectNumbered();

  grid.view->DeleteImage(0);
  EXPECT_EQ(grid.Qualities(), (std::vector<Integer>{20, 25, 30, 40}));
  grid.ExpectNumbered();

  // A moved image takes its entry along, both ways.
  grid.view->MoveImage(0, 3);
  EXPECT_EQ(grid.Qualities(), (std::vector<Integer>{25, 30, 40, 20}));
  grid.view->MoveImage(3, 1);
  EXPECT_EQ(grid.Qualities(), (std::vector<Integer>{25, 20, 30, 40}));
  grid.view->MoveImage(0, 99);  // past the end: to the end
  EXPECT_EQ(grid.Qualities(), (std::vector<Integer>{20, 30, 40, 25}));
  grid.ExpectNumbered();

  grid.view->AppendImage();  // a copy of the last entry
  EXPECT_EQ(grid.Qualities(), (std::vector<Integer>{20, 30, 40, 25, 25}));
  grid.view->SetSelectedItem(1);
  grid.view->SelectAll();
  grid.view->DeleteSelectedImages();
  EXPECT_EQ(grid.mio.GetParamsCount(), grid.view->GetImageCount());

  grid.Add(2, 10, 10);
  grid.view->Clear();
  EXPECT_EQ(grid.mio.GetParamsCount(), 0);
  // Inserting into an empty grid starts from default values.
  grid.view->InsertImageEx(0);
  ASSERT_EQ(grid.mio.GetParamsCount(), 1);
  EXPECT_EQ(grid.mio.GetParams(0)->JPEG_Quality, TIOParamsVals(nullptr).JPEG_Quality);

  // Detached, the component follows nothing; attached again, it fills up.
  grid.mio.SetAttachedMView(nullptr);
  grid.Add(2, 10, 10);
  EXPECT_EQ(grid.mio.GetParamsCount(), 1);
  grid.mio.SetAttachedMView(grid.view);
  EXPECT_EQ(grid.mio.GetParamsCount(), 3);
}

TEST(MultiImageParams, AGridThatGoesIsForgotten) {
  TDadirAvMIO mio(nullptr);
  {
    MGrid grid(2);
    mio.SetAttachedMView(grid.view);
    EXPECT_EQ(mio.GetParamsCount(), 2);
  }
  EXPECT_EQ(mio.GetAttachedMView(), nullptr);
  TMemoryStream stream;  // no grid: nothing is read
  mio.SetAborting(true);
  mio.LoadFromStreamGif(&stream);
  EXPECT_TRUE(mio.GetAborting());  // left as it was
  mio.SaveToStreamTIFF(&stream);
  EXPECT_FALSE(mio.GetAborting());
  EXPECT_EQ(stream.GetSize(), 0);
}

// The grid's own component: made once on first request, owned by the grid and
// attached to it, reporting through the grid's OnProgress (given before or after it
// was made), and gone with the grid.
TEST(MultiImageParams, TheGridsOwnComponent) {
  std::vector<std::pair<TObject*, Integer>> heard;
  viewtest::ViewForm<TDadirAvMView> form{200, 150, TScrollStyle::ssNone};
  TDadirAvMView* view = form.view;
  view->SetOnProgress([&](TObject* sender, Integer per) { heard.emplace_back(sender, per); });
  view->AppendImage();
  view->AppendImage();
  TDadirAvMIO* mio = view->GetDadirAvMIO();
  ASSERT_NE(mio, nullptr);
  EXPECT_EQ(view->GetDadirAvMIO(), mio) << "made once";
  EXPECT_EQ(mio->GetOwner(), view);
  EXPECT_EQ(mio->GetAttachedMView(), view);
  EXPECT_EQ(mio->GetParamsCount(), 2) << "one entry per image already there";
  view->InsertImageEx(0);
  EXPECT_EQ(mio->GetParamsCount(), 3);

  // The component's progress reaches the grid's handler, a later one too.
  const auto save = [&] {
    TMemoryStream stream;
    mio->SaveToStreamTIFF(&stream);
    return stream.GetSize();
  };
  for (Integer i = 0; i < 3; ++i) {
    auto b = Solid(8, 6, ColourOf(i));
    view->SetIEBitmap(i, b.get());
  }
  EXPECT_GT(save(), 0);
  ASSERT_EQ(heard.size(), 3u);
  EXPECT_EQ(heard[0].first, mio);
  EXPECT_EQ(heard[2].second, 66);
  Integer later = 0;
  view->SetOnProgress([&](TObject*, Integer) { ++later; });
  save();
  EXPECT_EQ(later, 3);
  EXPECT_EQ(heard.size(), 3u);
  // Gone with the grid: the form frees the grid, which frees its component.
  form.form.reset();
}

class MultiImageFiles : public IOTest {
 protected:
  // A GIF of three 30 x 20 frames (red, lime, blue) with delays 0, 20 and 0.
  std::string MakeGif(const std::string& name = "frames.gif") {
    const std::string path = Dir() + name;
    RunTool({larktest::RequireProgram(kConvert), "-size", "30x20", "-delay", "0", "xc:red", "-delay", "20", "xc:lime",
         "-delay", "0", "xc:blue", path});
    return path;
  }
};

TEST_F(MultiImageFiles, GifFramesGoInAtTheSelectionWithTheirDelays) {
  const std::string gif = MakeGif();
  MGrid grid(6);
  grid.view->SetSelectedItem(5);
  const TRGB before = grid.Pixel(5);
  std::vector<Integer> progress;
  grid.mio.OnProgress = [&](TObject* sender, Integer per) {
    EXPECT_EQ(sender, &grid.mio);
    progress.push_back(per);
  };
  grid.mio.LoadFromFile(gif);
  ASSERT_FALSE(grid.mio.GetAborting());
  ASSERT_EQ(grid.view->GetImageCount(), 9);
  grid.ExpectNumbered();
  const TRGB expected[] = {{0, 0, 255}, {0, 255, 0}, {255, 0, 0}};  // red, lime, blue as b, g, r
  for (Integer f = 0; f < 3; ++f) {
    EXPECT_TRUE(Same(grid.Pixel(5 + f, 10, 10), expected[f])) << "frame " << f;
    EXPECT_EQ(grid.view->GetImageWidth(5 + f), 30);
    EXPECT_EQ(grid.mio.GetParams(5 + f)->FileType, 2);
    EXPECT_EQ(grid.mio.GetParams(5 + f)->FileName, "");
  }
  // A delay of 0 takes the one before; a first frame of 0 shows for 10 ms.
  EXPECT_EQ(grid.view->GetImageDelayTime(5), 10);
  EXPECT_EQ(grid.view->GetImageDelayTime(6), 200);
  EXPECT_EQ(grid.view->GetImageDelayTime(7), 200);
  EXPECT_TRUE(Same(grid.Pixel(8), before));  // the selected image moved on
  EXPECT_EQ(progress, (std::vector<Integer>{0, 33, 66}));
}

TEST_F(MultiImageFiles, TiffPagesShowFor100MsAndResolutionsAreEvened) {
  const std::string convert = larktest::RequireProgram(kConvert);
  const std::string pages = Dir() + "pages.tif";
  RunTool({convert, "-size", "30x20", "xc:red", "xc:lime", "xc:blue", "-compress", "none", pages});
  MGrid grid;
  grid.mio.LoadFromFile(pages);
  ASSERT_FALSE(grid.mio.GetAborting());
  ASSERT_EQ(grid.view->GetImageCount(), 3);
  grid.ExpectNumbered();
  for (Integer p = 0; p < 3; ++p) {
    EXPECT_EQ(grid.view->GetImageDelayTime(p), 100);
    EXPECT_EQ(grid.mio.GetParams(p)->FileType, 1);
  }
  EXPECT_TRUE(Same(grid.Pixel(2), TRGB{255, 0, 0}));

  struct Case {
    Integer w, h, dpiX, dpiY;
    bool filtered;
    Integer outW, outH, outDpiX, outDpiY;
  };
  const Case cases[] = {
      {200, 100, 200, 100, false, 200, 200, 200, 200},
      {200, 100, 200, 100, true, 200, 200, 200, 200},
      {100, 200, 100, 200, false, 200, 200, 200, 200},
      {50, 40, 150, 150, false, 50, 40, 150, 150},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.w) + "x" + std::to_string(c.h) + " at " + std::to_string(c.dpiX) + "x" +
                 std::to_string(c.dpiY) + (c.filtered ? " filtered" : ""));
    const std::string path = Dir() + "dpi.tif";
    RunTool({convert, "-size", std::to_string(c.w) + "x" + std::to_string(c.h), "xc:orange", "-units", "PixelsPerInch",
         "-density", std::to_string(c.dpiX) + "x" + std::to_string(c.dpiY), "-compress", "none", path});
    MGrid one;
    one.mio.AutoAdjustDPI = true;
    one.mio.FilteredAdjustDPI = c.filtered;
    one.mio.LoadFromFile(path);
    ASSERT_EQ(one.view->GetImageCount(), 1);
    EXPECT_EQ(one.view->GetImageWidth(0), c.outW);
    EXPECT_EQ(one.view->GetImageHeight(0), c.outH);
    const TIOParamsVals* p = one.mio.GetParams(0);
    EXPECT_EQ(p->DpiX, c.outDpiX);
    EXPECT_EQ(p->DpiY, c.outDpiY);
    EXPECT_EQ(p->Width, c.outW);
    EXPECT_EQ(p->Height, c.outH);
  }
}

TEST_F(MultiImageFiles, GifRunReadByGifsicleGiftextAndPillow) {
  MGrid grid(2, 40, 30);
  grid.Add(1, 20, 10);
  const Integer delays[] = {20, 50, 7};
  for (Integer i = 0; i < 3; ++i) {
    grid.mio.GetParams(i)->GIF_DelayTime = delays[i];
    grid.mio.GetParams(i)->BitsPerSample = 8;
  }
  grid.mio.GetParams(2)->GIF_XPos = 30;
  grid.mio.GetParams(2)->GIF_YPos = 25;
  const std::string path = Dir() + "run.gif";
  grid.mio.SaveToFile(path);
  ASSERT_FALSE(grid.mio.GetAborting());
  EXPECT_EQ(FilesIn(Dir()), (std::vector<std::string>{"run.gif"}));

  // The logical screen holds the last frame at its place: 50 x 35, not 0 x 0.
  const std::string info = RunTool({larktest::RequireProgram("gifsicle"), "--info", path});
  EXPECT_NE(info.find("3 images"), std::string::npos) << info;
  EXPECT_NE(info.find("logical screen 50x35"), std::string::npos) << info;
  EXPECT_NE(info.find("loop forever"), std::string::npos) << info;
  EXPECT_NE(info.find("delay 0.20s"), std::string::npos) << info;
  EXPECT_NE(info.find("delay 0.50s"), std::string::npos) << info;
  EXPECT_NE(info.find("delay 0.07s"), std::string::npos) << info;
  EXPECT_NE(info.find("+ image #2 20x10 at 30,25"), std::string::npos) << info;

  // giftext reads every frame, then stops with an error at the empty comment
  // extension (21 FE 00) the GIF writer ends its files with, which it does not take.
  const std::string text = larktest::RunCommand({larktest::RequireProgram("giftext"), path});
  EXPECT_NE(text.find("DelayTime: 50"), std::string::npos) << text;
  EXPECT_NE(text.find("Width = 50, Height = 35"), std::string::npos) << text;
  EXPECT_NE(text.find("Image Size - Left = 30, Top = 25, Width = 20, Height = 10"), std::string::npos) << text;

  const std::string pil = Pillow(
      "from PIL import Image\n"
      "im = Image.open('" + path + "')\n"
      "out = [str(im.n_frames), '%dx%d' % im.size]\n"
      "for f, (x, y) in enumerate([(5, 5), (5, 5), (35, 30)]):\n"
      "    im.seek(f)\n"
      "    out.append('%d,%d,%d' % im.convert('RGB').getpixel((x, y))[:3])\n"
      "    out.append(str(im.info.get('duration')))\n"
      "print(' '.join(out))\n");
  EXPECT_EQ(pil, "3 50x35 255,0,0 200 0,255,0 500 0,0,255 70\n");

  // Read back: the same frames, delays in milliseconds.
  MGrid back;
  back.mio.LoadFromFile(path);
  ASSERT_EQ(back.view->GetImageCount(), 3);
  EXPECT_EQ(back.view->GetImageDelayTime(0), 200);
  EXPECT_EQ(back.view->GetImageDelayTime(1), 500);
  EXPECT_EQ(back.view->GetImageDelayTime(2), 70);
  EXPECT_EQ(back.mio.GetParams(2)->GIF_XPos, 30);
}

TEST_F(MultiImageFiles, MovedImagesAreWrittenWithTheirOwnParameters) {
  MGrid grid(3, 16, 16);
  for (Integer i = 0; i < 3; ++i) grid.mio.GetParams(i)->GIF_DelayTime = 10 * (i + 1);
  grid.view->MoveImage(0, 2);  // images now 1, 2, 0
  const std::string path = Dir() + "moved.gif";
  grid.mio.SaveToFileGif(path);
  ASSERT_FALSE(grid.mio.GetAborting());
  const std::string pil = Pillow(
      "from PIL import Image\n"
      "im = Image.open('" + path + "')\n"
      "out = []\n"
      "for f in range(im.n_frames):\n"
      "    im.seek(f)\n"
      "    out.append('%d,%d,%d:%s' % (im.convert('RGB').getpixel((1, 1))[:3] + (im.info.get('duration'),)))\n"
      "print(' '.join(out))\n");
  // Images 1, 2, 0 (green, blue, red) with the delays they were given: 20, 30, 10.
  EXPECT_EQ(pil, "0,255,0:200 0,0,255:300 255,0,0:100\n");
}

TEST_F(MultiImageFiles, TiffRunReadByTiffinfoAndPillow) {
  MGrid grid(2, 40, 30);
  grid.Add(1, 20, 10);
  grid.mio.GetParams(1)->TIFF_Compression = ioTIFF_PACKBITS;
  const std::string path = Dir() + "run.tif";
  grid.mio.SaveToFile(path);
  ASSERT_FALSE(grid.mio.GetAborting());
  const std::string info = RunTool({larktest::RequireProgram("tiffinfo"), path});
  size_t directories = 0;
  for (size_t at = info.find("TIFF Directory"); at != std::string::npos; at = info.find("TIFF Directory", at + 1))
    ++directories;
  EXPECT_EQ(directories, 3u) << info;
  EXPECT_NE(info.find("Image Width: 20 Image Length: 10"), std::string::npos) << info;
  EXPECT_NE(info.find("PackBits"), std::string::npos) << info;
  const std::string pil = Pillow(
      "from PIL import Image\n"
      "im = Image.open('" + path + "')\n"
      "out = [str(im.n_frames)]\n"
      "for f in range(im.n_frames):\n"
      "    im.seek(f)\n"
      "    out.append('%dx%d:%d,%d,%d' % (im.size + im.convert('RGB').getpixel((1, 1))[:3]))\n"
      "print(' '.join(out))\n");
  EXPECT_EQ(pil, "3 40x30:255,0,0 40x30:0,255,0 20x10:0,0,255\n");
}

// The display time of image 0 as ffprobe's frame rate and back.
TEST_F(MultiImageFiles, AviFramesCarryTheDisplayTimeExactly) {
  struct Case {
    Integer delay;
    const char* rate;  // ffprobe's r_frame_rate
    Integer readBack;
  };
  const Case cases[] = {{40, "25/1", 40}, {66, "500/33", 66}, {2000, "1/2", 2000}, {0, "1000/1", 1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.delay);
    MGrid grid(3, 32, 24);
    grid.view->SetImageDelayTime(0, c.delay);
    const std::string path = Dir() + "run.avi";
    grid.mio.SaveToFile(path);
    ASSERT_FALSE(grid.mio.GetAborting());
    auto probe = avi_test::Probe(path);
    EXPECT_EQ(probe["codec_name"], "rawvideo");
    EXPECT_EQ(probe["pix_fmt"], "bgr24");
    EXPECT_EQ(probe["width"], "32");
    EXPECT_EQ(probe["height"], "24");
    EXPECT_EQ(probe["nb_read_frames"], "3");
    EXPECT_EQ(probe["r_frame_rate"], c.rate);
    MGrid back;
    back.mio.LoadFromFile(path);
    ASSERT_FALSE(back.mio.GetAborting());
    ASSERT_EQ(back.view->GetImageCount(), 3);
    EXPECT_EQ(back.view->GetImageDelayTime(1), c.readBack);
    EXPECT_EQ(back.mio.GetParams(1)->GIF_DelayTime, c.readBack);
    EXPECT_EQ(back.mio.GetParams(1)->FileName, path);
    back.ExpectNumbered();
  }
}

TEST_F(MultiImageFiles, AviImagesOfAnotherSizeAreReplacedAndFfmpegDecodesOurFrames) {
  MGrid grid(1, 32, 24);  // 0: blue 32 x 24
  grid.Add(1, 16, 16);    // 1: green, another size
  grid.Add(1, 32, 24);    // 2: red
  grid.Add(1, 8, 8);      // 3: cyan, another size
  const std::string path = Dir() + "sizes.avi";
  grid.mio.SaveToFileAVI(path);
  ASSERT_FALSE(grid.mio.GetAborting());
  const std::vector<std::string> frames = avi_test::PeerFrames(path, 32, 24);
  ASSERT_EQ(frames.size(), 4u);
  const Integer source[] = {0, 0, 2, 2};
  for (Integer f = 0; f < 4; ++f) {
    TIEBitmap expected;
    grid.view->CopyToIEBitmap(source[f], &expected);
    std::string bgr;
    for (Integer y = 0; y < 24; ++y)
      bgr.append(static_cast<const char*>(expected.GetScanLine(y)), 32 * 3);
    EXPECT_EQ(frames[static_cast<size_t>(f)], bgr) << "frame " << f;
  }
}

TEST_F(MultiImageFiles, AviFromFfmpegFillsTheGridAndAHugeFrameCountAddsNothing) {
  const std::string path = Dir() + "peer.avi";
  avi_test::MakeAvi(path, "rawvideo", "bgr24", 4, "15");
  std::string bytes = ReadFile(path);
  // avih's total frames and strh's length claim a million frames.
  const size_t avih = avi_test::FindChunk(bytes, "avih");
  const size_t strh = avi_test::FindChunk(bytes, "strh");
  ASSERT_NE(avih, std::string::npos);
  ASSERT_NE(strh, std::string::npos);
  avi_test::Put32(bytes, avih + 16, 1000000);
  avi_test::Put32(bytes, strh + 32, 1000000);
  const std::string hostile = Dir() + "claims.avi";
  std::ofstream(hostile, std::ios::binary) << bytes;
  const std::vector<std::string> peer = avi_test::PeerFrames(path);
  for (const std::string& file : {path, hostile}) {
    SCOPED_TRACE(file);
    MGrid grid(2);
    grid.view->SetSelectedItem(1);
    grid.mio.LoadFromFileAVI(file);
    ASSERT_FALSE(grid.mio.GetAborting());
    ASSERT_EQ(grid.view->GetImageCount(), 6);
    grid.ExpectNumbered();
    for (Integer f = 0; f < 4; ++f) {
      TIEBitmap frame;
      grid.view->CopyToIEBitmap(1 + f, &frame);
      std::string bgr;
      for (Integer y = 0; y < frame.GetHeight(); ++y)
        bgr.append(static_cast<const char*>(frame.GetScanLine(y)), static_cast<size_t>(frame.GetWidth()) * 3);
      EXPECT_EQ(bgr, peer[static_cast<size_t>(f)]) << "frame " << f;
      EXPECT_EQ(grid.view->GetImageDelayTime(1 + f), 66);
      EXPECT_EQ(grid.mio.GetParams(1 + f)->BitsPerSample, 8);
      EXPECT_EQ(grid.mio.GetParams(1 + f)->SamplesPerPixel, 3);
    }
  }
}

TEST_F(MultiImageFiles, NamesOfOtherFormatsAreRefused) {
  MGrid grid(2);
  for (const char* name : {"x.png", "x.bmp", "noextension", "x.gif.txt"}) {
    SCOPED_TRACE(name);
    grid.mio.LoadFromFile(Dir() + name);
    EXPECT_TRUE(grid.mio.GetAborting());
    grid.mio.SaveToFile(Dir() + name);
    EXPECT_TRUE(grid.mio.GetAborting());
    EXPECT_EQ(grid.view->GetImageCount(), 2);
  }
  EXPECT_TRUE(FilesIn(Dir()).empty());
}

TEST_F(MultiImageFiles, CancelledOrAbortedSavesLeaveTheTargetAsItWas) {
  sim::SetDialogEcho(false);
  // Cancelling the compression dialog: a failed save, and no file at all.
  {
    MGrid grid(2);
    sim::QueueDialogAnswer("Video Compression", IDCANCEL);
    grid.mio.SaveToFile(Dir() + "cancelled.avi");
    EXPECT_TRUE(grid.mio.GetAborting());
    EXPECT_EQ(sim::QueuedDialogAnswers(), 0);
    EXPECT_TRUE(FilesIn(Dir()).empty());
  }
  // Aborted through the progress event after the second of three images: the old
  // file stays as it was and no temporary file is left.
  for (const char* name : {"keep.gif", "keep.tif", "keep.avi"}) {
    SCOPED_TRACE(name);
    const std::string target = Dir() + name;
    std::ofstream(target, std::ios::binary) << "the old file";
    MGrid grid(3);
    grid.mio.OnProgress = [&](TObject*, Integer per) {
      if (per >= 33) grid.mio.SetAborting(true);
    };
    grid.mio.SaveToFile(target);
    EXPECT_TRUE(grid.mio.GetAborting());
    EXPECT_EQ(ReadFile(target), "the old file");
    EXPECT_EQ(FilesIn(Dir()), std::vector<std::string>{name});
    std::remove(target.c_str());
  }
  // A write that fails on the way (the file would pass AVI 1.0's size limit, here
  // lowered to 10,000 bytes: two 40 x 30 frames fit, the third does not).
  {
    MGrid grid(3);
    sim::SetAVIFileSizeLimit(10000);
    grid.mio.SaveToFile(Dir() + "big.avi");
    sim::SetAVIFileSizeLimit(0);
    EXPECT_TRUE(grid.mio.GetAborting());
    EXPECT_TRUE(FilesIn(Dir()).empty());
  }
  sim::SetDialogEcho(true);
}

TEST_F(MultiImageFiles, ALoadStoppedMidwayKeepsOnlyTheFramesRead) {
  const std::string gif = MakeGif();
  // Stopped after the first frame.
  {
    MGrid grid(1);
    grid.mio.OnProgress = [&](TObject*, Integer) { grid.mio.SetAborting(true); };
    grid.mio.LoadFromFile(gif);
    EXPECT_TRUE(grid.mio.GetAborting());
    EXPECT_EQ(grid.view->GetImageCount(), 2);
    grid.ExpectNumbered();
  }
  // A file cut inside its last frame: the frames before it stay, the broken one
  // is not added.
  std::string bytes = ReadFile(gif);
  bytes.resize(bytes.size() - 12);
  const std::string cut = Dir() + "cut.gif";
  std::ofstream(cut, std::ios::binary) << bytes;
  MGrid grid;
  grid.mio.LoadFromFile(cut);
  EXPECT_EQ(grid.view->GetImageCount(), 2);
  grid.ExpectNumbered();
}

TEST_F(MultiImageFiles, OverlongFileNamesFailCleanly) {
  const std::string longName = Dir() + std::string(300, 'n') + ".gif";
  MGrid grid(2);
  EXPECT_THROW(grid.mio.LoadFromFile(longName), Exception);
  EXPECT_EQ(grid.view->GetImageCount(), 2);
  for (const char* ext : {".gif", ".tif", ".avi"}) {
    SCOPED_TRACE(ext);
    const std::string name = Dir() + std::string(300, 'n') + ext;
    bool failed = false;
    try {
      grid.mio.SaveToFile(name);
      failed = grid.mio.GetAborting();
    } catch (const Exception&) {
      failed = true;
    }
    EXPECT_TRUE(failed);
    EXPECT_TRUE(FilesIn(Dir()).empty());
  }
  // A long path of short names is an ordinary path.
  std::string deep = Dir();
  for (int i = 0; i < 8; ++i) deep += std::string(40, 'd') + "/";
  std::filesystem::create_directories(deep);
  ASSERT_GT(deep.size(), 300u);
  grid.mio.SaveToFile(deep + "deep.gif");
  EXPECT_FALSE(grid.mio.GetAborting());
  MGrid back;
  back.mio.LoadFromFile(deep + "deep.gif");
  EXPECT_EQ(back.view->GetImageCount(), 2);
}

}  // namespace
