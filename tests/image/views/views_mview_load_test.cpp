// The thumbnail grid loading folders of real files in the background: files written
// by cjpeg, Pillow, gifsicle and tiffcp, broken and vanishing files, Clear and
// destruction while loads run, list edits during loads, and thumbnails beside
// vipsthumbnail's.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "image/io/dadiravio.h"
#include "image/io/iemio.h"
#include "image/views/iemview.h"
#include "platform/sim/DebugOutput.h"
#include "tests/image/gif_coders.h"
#include "tests/image/views/views_test_util.h"

using viewtest::Pump;

namespace {

constexpr char kPillowFolder[] = R"(
import sys
from PIL import Image
folder, count = sys.argv[1], int(sys.argv[2])
for i in range(count):
    colour = (40 + i * 37 % 200, 200 - i * 23 % 150, i * 61 % 255)
    img = Image.new('RGB', (120 + i % 5 * 40, 90 + i % 3 * 30), colour)
    kind = i % 4
    if kind == 0:
        img.save(f'{folder}/p{i:03d}.png')
    elif kind == 1:
        img.save(f'{folder}/p{i:03d}.jpg', quality=92)
    elif kind == 2:
        img.save(f'{folder}/raw{i:03d}.gif')
    else:
        img.save(f'{folder}/raw{i:03d}.tif')
    img.save(f'{folder}/raw{i:03d}.ppm')
)";

TRGB ColourOf(Integer i) {
  return TRGB{static_cast<Byte>(i * 61 % 255), static_cast<Byte>(200 - i * 23 % 150),
              static_cast<Byte>(40 + i * 37 % 200)};
}

// A folder of count pictures, each one solid colour (ColourOf of its number), written
// by Pillow (PNG, JPEG), cjpeg (JPEG from Pillow's PPM), gifsicle (re-optimising
// Pillow's GIF) and tiffcp (Deflate copy of Pillow's TIFF). Answers name -> number.
std::map<std::string, Integer> MakeFolder(const std::string& dir, Integer count) {
  std::map<std::string, Integer> names;
  const std::string python = larktest::RequireProgram(viewtest::kPython);
  const std::string cjpeg = larktest::RequireProgram("cjpeg");
  const std::string gifsicle = larktest::RequireProgram("gifsicle");
  const std::string tiffcp = larktest::RequireProgram("tiffcp");
  if (python.empty() || cjpeg.empty() || gifsicle.empty() || tiffcp.empty()) return names;
  int code = -1;
  std::string log = larktest::RunCommand({python, "-c", kPillowFolder, dir, std::to_string(count)}, &code);
  EXPECT_EQ(code, 0) << log;
  char number[16];
  for (Integer i = 0; i < count; ++i) {
    std::snprintf(number, sizeof(number), "%03d", i);
    const std::string raw = dir + "raw" + number;
    std::string out;
    switch (i % 4) {
      case 0: out = dir + "p" + number + ".png"; break;
      case 1:
        out = dir + "c" + number + ".jpg";
        log = larktest::RunCommand({cjpeg, "-quality", "90", "-outfile", out, raw + ".ppm"}, &code);
        break;
      case 2:
        out = dir + "g" + number + ".gif";
        log = larktest::RunCommand({gifsicle, "-O2", raw + ".gif", "-o", out}, &code);
        break;
      case 3:
        out = dir + "t" + number + ".tif";
        log = larktest::RunCommand({tiffcp, "-c", "zip", raw + ".tif", out}, &code);
        break;
    }
    EXPECT_EQ(code, 0) << log;
    names[out] = i;
  }
  return names;
}

bool Near(TRGB a, TRGB b, int tolerance) {
  return std::abs(a.r - b.r) <= tolerance && std::abs(a.g - b.g) <= tolerance && std::abs(a.b - b.b) <= tolerance;
}

// The centre pixel of the stored image idx, without loading anything.
TRGB StoredCentre(TDadirAvMView* view, Integer idx) {
  TIEBitmap copy;
  copy.SetLocation(ieMemory);
  EXPECT_TRUE(view->IsImageLoaded(idx));
  view->CopyToIEBitmap(idx, &copy);
  copy.ConvertToPixelFormat(ie24RGB);
  return copy.GetPixels_ie24RGB(copy.GetWidth() / 2, copy.GetHeight() / 2);
}

struct LoadGrid : viewtest::ViewForm<TDadirAvMView> {
  larktest::ScopedGifCoders coders;  // the application installs the GIF coders too
  LoadGrid(Integer w = 640, Integer h = 480) : ViewForm(w, h, TScrollStyle::ssNone) {
    view->SetThumbWidth(60);
    view->SetThumbHeight(60);
    view->SetGridWidth(-1);
    view->StoreType = ietThumb;
  }
  void AddNames(const std::map<std::string, Integer>& names) {
    for (const auto& [name, number] : names) view->SetImageFileName(view->AppendImage(), name.c_str());
    view->Deselect();
  }
  // Paints until every visible image with a file name is loaded.
  bool LoadVisible() {
    return larktest::PumpUntil([&] {
      view->Invalidate();
      Application->ProcessMessages();
      for (Integer i = 0; i < view->GetImageCount(); ++i)
        if (view->IsVisible(i) && !view->IsImageLoaded(i) && !view->GetImageFileName(i).empty()) return false;
      return true;
    }, 60000);
  }
};

TEST(GridLoading, FoldersOfRealFilesLoadInTheBackground) {
  larktest::TempDir dir;
  const auto names = MakeFolder(dir.Path(), 24);
  ASSERT_EQ(names.size(), 24u);
  for (Integer pool : {5, 1, 0}) {
    LoadGrid g;
    g.view->SetThreadPoolSize(pool);
    g.AddNames(names);
    ASSERT_TRUE(g.LoadVisible()) << pool;
    if (pool > 0) {
      EXPECT_GT(g.view->GetStartedLoads(), 0);
    } else {
      EXPECT_EQ(g.view->GetStartedLoads(), 0);  // every visible image on the GUI thread
    }
    for (Integer i = 0; i < g.view->GetImageCount(); ++i) {
      const Integer number = names.at(g.view->GetImageFileName(i));
      EXPECT_TRUE(Near(StoredCentre(g.view, i), ColourOf(number), 8)) << g.view->GetImageFileName(i);
      // Thumbnails fit the cell; the original size is the file's.
      EXPECT_LE(g.view->GetImageWidth(i), 60);
      EXPECT_LE(g.view->GetImageHeight(i), 60);
      EXPECT_EQ(g.view->GetImageOriginalWidth(i), 120 + number % 5 * 40) << g.view->GetImageFileName(i);
      // The grid's multi-image component holds what each load read of its file.
      const TIOParamsVals* p = g.view->GetDadirAvMIO()->GetParams(i);
      ASSERT_NE(p, nullptr);
      const Integer types[] = {iofnPNG, iofnJPEG, iofnGIF, iofnTIFF};
      EXPECT_EQ(p->FileType, types[number % 4]) << g.view->GetImageFileName(i);
      EXPECT_EQ(p->FileType == iofnJPEG ? p->JPEG_OriginalWidth : p->Width, 120 + number % 5 * 40)
          << g.view->GetImageFileName(i);
      EXPECT_EQ(p->GIF_ImageIndex, i);
      EXPECT_EQ(p->TIFF_ImageIndex, i);
    }
  }
}

TEST(GridLoading, BrokenFilesGetThePlaceholderOrGo) {
  larktest::TempDir dir;
  const std::string empty = dir.Path() + "empty.jpg";
  const std::string garbage = dir.Path() + "garbage.png";
  const std::string missing = dir.Path() + "missing.gif";
  const std::string truncated = dir.Path() + "truncated.png";
  file_test::WriteFile(empty, "");
  file_test::WriteFile(garbage, "this is not a picture at all, only text that lies");
  {
    const auto names = MakeFolder(dir.Path(), 1);  // p000.png
    const std::string whole = file_test::ReadFile(names.begin()->first);
    file_test::WriteFile(truncated, whole.substr(0, whole.size() / 3));
  }
  // A PNG whose header claims 50,000 x 50,000 pixels over a few bytes of data.
  const std::string liar = dir.Path() + "liar.png";
  {
    const std::string python = larktest::RequireProgram(viewtest::kPython);
    int code = -1;
    larktest::RunCommand({python, "-c",
                          "import struct, zlib, sys\n"
                          "def chunk(t, d): return struct.pack('>I', len(d)) + t + d + struct.pack('>I', zlib.crc32(t + d))\n"
                          "open(sys.argv[1], 'wb').write(b'\\x89PNG\\r\\n\\x1a\\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', 50000, 50000, 8, 2, 0, 0, 0))"
                          " + chunk(b'IDAT', zlib.compress(b'\\0' * 300)) + chunk(b'IEND', b''))",
                          liar},
                         &code);
    EXPECT_EQ(code, 0);
  }
  std::vector<std::string> bad = {empty, garbage, missing, truncated, liar};
  const char* const pixbufBroken[] = {"/usr/libexec/installed-tests/gdk-pixbuf/test-images/fail/CVE-2017-2862.jpg",
                                      "/usr/libexec/installed-tests/gdk-pixbuf/test-images/fail/bug780269.tif",
                                      "/usr/libexec/installed-tests/gdk-pixbuf/test-images/fail/invalid.1.gif"};
  for (const char* p : pixbufBroken)
    if (access(p, R_OK) == 0) bad.push_back(p);

  for (Integer pool : {0, 5}) {
    LoadGrid g;
    g.view->SetThreadPoolSize(pool);
    for (const std::string& name : bad) g.view->SetImageFileName(g.view->AppendImage(), name.c_str());
    g.view->Deselect();
    ASSERT_TRUE(g.LoadVisible()) << pool;
    ASSERT_EQ(g.view->GetImageCount(), static_cast<Integer>(bad.size()));
    const std::vector<std::string> unreadable = {empty, garbage, missing};
    for (Integer i = 0; i < g.view->GetImageCount(); ++i) {
      // The others (a partial picture, the broken files of the pixbuf suite) only
      // have to load without harm; ours cannot be read at all.
      const std::string name = g.view->GetImageFileName(i);
      if (std::find(unreadable.begin(), unreadable.end(), name) == unreadable.end()) continue;
      TIEBitmap copy;
      ASSERT_TRUE(g.view->CopyToIEBitmap(i, &copy));
      copy.ConvertToPixelFormat(ie24RGB);
      EXPECT_EQ(copy.GetWidth(), 60) << name;
      EXPECT_EQ(copy.GetPixels_ie24RGB(0, 0), (TRGB{255, 255, 255})) << name;
      bool blue = false, grey = false;
      for (Integer y = 0; y < 60; ++y)
        for (Integer x = 0; x < 60; ++x) {
          blue = blue || copy.GetPixels_ie24RGB(x, y) == TRGB{255, 0, 0};
          grey = grey || copy.GetPixels_ie24RGB(x, y) == TRGB{128, 128, 128};
        }
      EXPECT_TRUE(blue) << name;
      EXPECT_TRUE(grey) << name;
    }
    // With RemoveCorrupted the next paint takes them away.
    g.view->RemoveCorrupted = true;
    auto remaining = [&] {
      Integer n = 0;
      for (Integer i = 0; i < g.view->GetImageCount(); ++i)
        n += std::find(unreadable.begin(), unreadable.end(), std::string(g.view->GetImageFileName(i))) != unreadable.end();
      return n;
    };
    ASSERT_TRUE(larktest::PumpUntil([&] {
      g.view->Invalidate();
      Application->ProcessMessages();
      return remaining() == 0;
    }, 20000)) << remaining();
  }
}

TEST(GridLoading, ScrollingKeepsOnlyVisibleRequests) {
  larktest::TempDir dir;
  const auto names = MakeFolder(dir.Path(), 8);
  LoadGrid g(300, 200);
  g.view->SetThreadPoolSize(1);
  // 400 cells naming the same few files.
  for (Integer i = 0; i < 400; ++i)
    g.view->SetImageFileName(g.view->AppendImage(), std::next(names.begin(), i % 8)->first.c_str());
  g.view->Deselect();
  sim::ClearDebugLines();
  for (Integer step = 0; step < 30; ++step) {
    g.view->SetViewY(step * 250);
    g.Paint();
    for (Integer idx : g.view->GetQueuedIndexes()) {
      ASSERT_GE(idx, 0);
      EXPECT_TRUE(g.view->IsVisible(idx)) << "step " << step << " index " << idx;
    }
  }
  EXPECT_TRUE(g.LoadVisible());
}

TEST(GridLoading, NamesThatVanishWhileQueuedAndVeryManyImages) {
  larktest::TempDir dir;
  const auto names = MakeFolder(dir.Path(), 16);
  {
    LoadGrid g;
    g.view->SetThreadPoolSize(1);
    g.AddNames(names);
    g.view->Invalidate();
    Application->ProcessMessages();  // queued
    for (const auto& [name, number] : names) unlink(name.c_str());
    ASSERT_TRUE(g.LoadVisible());  // loaded or given the placeholder
    EXPECT_EQ(g.view->GetImageCount(), 16);
  }
  // 100,000 named images: only what is visible is asked for.
  LoadGrid g(400, 300);
  g.view->LockPaint();
  for (Integer i = 0; i < 100000; ++i) g.view->SetImageFileName(g.view->AppendImage(), "/nonexistent/x.jpg");
  g.view->Deselect();
  g.view->UnLockPaint();
  g.view->SetViewY(g.view->GetMaximumViewY() / 2);
  ASSERT_TRUE(g.LoadVisible());
  EXPECT_LE(g.view->GetStartedLoads(), 60);
  EXPECT_LE(g.view->GetImageStore()->GetImageCount(), 60);
}

TEST(GridLoading, ClearAndDestructionWhileLoadsRun) {
  larktest::TempDir dir;
  const auto names = MakeFolder(dir.Path(), 12);
  for (int round = 0; round < 3; ++round) {
    auto g = std::make_unique<LoadGrid>();
    g->AddNames(names);
    g->view->Invalidate();
    Application->ProcessMessages();  // one paint: requests and loads start
    g->view->Clear();
    EXPECT_EQ(g->view->GetImageCount(), 0);
    EXPECT_EQ(g->view->GetImageStore()->GetImageCount(), 0);
    g->AddNames(names);
    g->view->Invalidate();
    Application->ProcessMessages();
    g.reset();  // destroyed while its loads run
  }
}

TEST(GridLoading, EditsDuringLoadsNeverLandALoadInAnotherImage) {
  larktest::TempDir dir;
  const auto names = MakeFolder(dir.Path(), 20);
  for (int round = 0; round < 3; ++round) {
    LoadGrid g;
    g.AddNames(names);
    g.view->Invalidate();
    Application->ProcessMessages();
    // Edit the list while the loads started by that paint run.
    g.view->InsertImage(0);
    g.view->DeleteImage(5 + round);
    g.view->MoveImage(3, 15);
    g.view->MoveImage(12, 1);
    g.view->InsertImageEx(7);
    g.view->Deselect();
    ASSERT_TRUE(g.LoadVisible());
    for (Integer i = 0; i < g.view->GetImageCount(); ++i) {
      const AnsiString name = g.view->GetImageFileName(i);
      if (name.empty()) {
        EXPECT_FALSE(g.view->IsImageLoaded(i)) << i;  // nothing landed in the new images
        continue;
      }
      EXPECT_TRUE(Near(StoredCentre(g.view, i), ColourOf(names.at(name)), 8)) << name;
    }
  }
}

TEST(GridLoading, ThumbnailsBesideVipsthumbnail) {
  const std::string vips = larktest::RequireProgram("vipsthumbnail");
  if (vips.empty()) GTEST_SKIP() << "vipsthumbnail missing";
  larktest::TempDir dir;
  const std::string photo = viewtest::MakePhotoFile(dir.Path(), 1600, 1200, "photo.png");
  ASSERT_FALSE(photo.empty());
  const std::string jpeg = dir.Path() + "photo.jpg";
  int code = -1;
  larktest::RunCommand({viewtest::kConvert, photo, "-quality", "92", jpeg}, &code);
  ASSERT_EQ(code, 0);
  for (const std::string& source : {photo, jpeg}) {
    const std::string theirs = dir.Path() + "vips.png";
    std::string log = larktest::RunCommand({vips, source, "-s", "160x120", "-o", theirs}, &code);
    ASSERT_EQ(code, 0) << log;
    LoadGrid g;
    g.view->SetThumbWidth(160);
    g.view->SetThumbHeight(120);
    g.view->SetThreadPoolSize(0);
    g.view->SetImageFileName(g.view->AppendImage(), source.c_str());
    g.view->Deselect();
    ASSERT_TRUE(g.view->ObtainImageNow(0));
    TIEBitmap ours;
    ours.SetLocation(ieMemory);
    ASSERT_TRUE(g.view->CopyToIEBitmap(0, &ours));
    auto reference = viewtest::LoadStore(theirs);
    ASSERT_EQ(ours.GetWidth(), reference->GetWidth());
    ASSERT_EQ(ours.GetHeight(), reference->GetHeight());
    const double psnr = viewtest::Psnr(viewtest::StoreBytes(&ours), viewtest::StoreBytes(reference.get()));
    // Different resamplers (and for the JPEG a reduced decode first) agree to about
    // 43 to 47 dB here; 35 dB is the bound. A shifted, mis-scaled or upside-down
    // thumbnail falls far below it.
    EXPECT_GT(psnr, 35.0) << source;
    std::printf("thumbnail PSNR against vipsthumbnail (%s): %.2f dB\n", source.c_str(), psnr);
  }
}

}  // namespace
