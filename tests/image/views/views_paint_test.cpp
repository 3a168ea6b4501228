// What the view paints: a photograph fitted and zoomed with each zoom filter is
// what the processing unit's resampler makes of it, and close to Pillow's resize;
// enlarged without a filter it repeats pixels; the background styles; layers with
// alpha against an independent composite; what the window shows.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "image/proc/dadiravproc_resample.h"
#include "tests/image/views/views_test_util.h"

namespace {

using viewtest::Rgb;
using viewtest::ViewForm;

struct Photo {
  Photo(Integer width, Integer height) {
    path = viewtest::MakePhotoFile(dir.Path(), width, height);
  }
  larktest::TempDir dir;
  std::string path;
};

// The image area of the view's back buffer after a paint.
std::string ShownBytes(TDadirAvView* view) {
  view->CalcPaintCoef();
  return viewtest::RectBytes(view->GetBackBuffer(), view->GetOffsetX(), view->GetOffsetY(),
                             view->GetPaintDestWidth(), view->GetPaintDestHeight());
}

// The processing unit's resampling of a whole store to width x height.
std::string Resampled(TIEBitmap* store, Integer width, Integer height, TResampleFilter filter) {
  TIEBitmap out;
  out.SetLocation(ieMemory);
  out.Allocate(width, height, ie24RGB);
  _ResampleEx(store, &out, filter);
  return viewtest::StoreBytes(&out);
}

// Pillow's resize of the file to width x height with the named filter, as RGB bytes.
std::string PillowResized(const std::string& dir, const std::string& path, Integer width,
                          Integer height, const std::string& filter) {
  return viewtest::RunPython(dir, "from PIL import Image\n"
                                  "im = Image.open('" + path + "').convert('RGB')\n"
                                  "im = im.resize((" + std::to_string(width) + "," +
                                  std::to_string(height) + "), Image." + filter + ")\n"
                                  "open(out_path, 'wb').write(im.tobytes())\n");
}

TEST(ViewPainting, FittedPhotoIsTheResamplersPictureWithEachFilter) {
  Photo photo(640, 480);
  ASSERT_FALSE(photo.path.empty());
  struct Case {
    TResampleFilter filter;
    const char* pillow;  // the nearest Pillow filter, or null
    double minPsnr;
    const char* name;
  };
  const std::vector<Case> cases = {
      {rfBicubic, "BICUBIC", 30, "bicubic"},   {rfLanczos3, "LANCZOS", 30, "lanczos3"},
      {rfTriangle, "BILINEAR", 30, "triangle"}, {rfFastLinear, "BILINEAR", 28, "fastlinear"},
      {rfBilinear, "BILINEAR", 28, "bilinear"}, {rfHermite, nullptr, 0, "hermite"},
      {rfMitchell, nullptr, 0, "mitchell"}};
  ViewForm f(320, 260);
  f.view->AutoFit = true;
  f.view->LoadFromFile(photo.path.c_str());
  ASSERT_FALSE(f.view->GetAborting());
  ASSERT_EQ(f.view->GetIEBitmap()->GetWidth(), 640);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    f.view->SetZoomFilter(c.filter);
    f.Paint();
    EXPECT_DOUBLE_EQ(f.view->GetZoom(), 50);
    const std::string shown = ShownBytes(f.view);
    ASSERT_EQ(f.view->GetPaintDestWidth(), 320);
    ASSERT_EQ(f.view->GetPaintDestHeight(), 240);
    EXPECT_EQ(shown, Resampled(f.view->GetIEBitmap(), 320, 240, c.filter));
    if (c.pillow != nullptr) {
      const std::string peer = PillowResized(photo.dir.Path(), photo.path, 320, 240, c.pillow);
      const double psnr = viewtest::Psnr(shown, peer);
      RecordProperty(std::string("psnr_") + c.name, std::to_string(psnr));
      EXPECT_GE(psnr, c.minPsnr);
    }
    if (c.filter == rfBicubic) sim::SaveWindowPng(f.form->GetHandle(), viewtest::ShotPath("fit_bicubic"));
  }
}

TEST(ViewPainting, ZoomsWithAndWithoutFilter) {
  Photo photo(300, 200);
  ASSERT_FALSE(photo.path.empty());
  ViewForm f(300, 240);
  f.view->LoadFromFile(photo.path.c_str());
  TIEBitmap* store = f.view->GetIEBitmap();

  // 100 %: the picture itself, centred.
  f.Paint();
  EXPECT_EQ(f.view->GetOffsetY(), 20);
  EXPECT_EQ(ShownBytes(f.view), viewtest::StoreBytes(store));
  sim::SaveWindowPng(f.form->GetHandle(), viewtest::ShotPath("zoom100"));

  // 33 % with each filter: the resampler's picture of the whole store.
  for (TResampleFilter filter : {rfNone, rfBicubic, rfLanczos3, rfTriangle}) {
    f.view->SetZoomFilter(filter);
    f.view->SetZoom(33);
    f.Paint();
    const Integer w = f.view->GetPaintDestWidth(), h = f.view->GetPaintDestHeight();
    ASSERT_EQ(w, 99);
    ASSERT_EQ(h, 66);
    if (filter != rfNone) {
      EXPECT_EQ(ShownBytes(f.view), Resampled(store, w, h, filter));
    }
  }
  sim::SaveWindowPng(f.form->GetHandle(), viewtest::ShotPath("zoom33_triangle"));

  // 400 % without a filter: each bitmap pixel is a 4 x 4 block, scrolled.
  f.view->SetZoomFilter(rfNone);
  f.view->SetZoom(400);
  f.view->SetViewXY(80, 40);
  f.Paint();
  TBitmap* back = f.view->GetBackBuffer();
  for (Integer y = 0; y < 240; y += 7) {
    for (Integer x = 0; x < 300; x += 5) {
      const Integer bx = f.view->XScr2Bmp(x), by = f.view->YScr2Bmp(y);
      ASSERT_EQ(bx, (x + 80) / 4);
      ASSERT_EQ(by, (y + 40) / 4);
      ASSERT_EQ(viewtest::PixelOf(back, x, y), viewtest::PixelOf(store, bx, by)) << x << "," << y;
    }
  }
  sim::SaveWindowPng(f.form->GetHandle(), viewtest::ShotPath("zoom400_scrolled"));

  // 400 % with bicubic: the resampler's picture of the visible rectangle.
  f.view->SetZoomFilter(rfBicubic);
  f.Paint();
  const TRect src = f.view->GetPaintSource();
  TIEBitmap crop;
  crop.SetLocation(ieMemory);
  crop.Allocate(src.right - src.left, src.bottom - src.top, ie24RGB);
  store->CopyRectTo(&crop, src.left, src.top, 0, 0, crop.GetWidth(), crop.GetHeight());
  EXPECT_EQ(ShownBytes(f.view), Resampled(&crop, f.view->GetPaintDestWidth(),
                                           f.view->GetPaintDestHeight(), rfBicubic));
  sim::SaveWindowPng(f.form->GetHandle(), viewtest::ShotPath("zoom400_bicubic"));
}

TEST(ViewPainting, WindowShowsTheBackBuffer) {
  Photo photo(200, 150);
  ViewForm f(240, 200);
  f.view->LoadFromFile(photo.path.c_str());
  f.view->SetBackGround(0x00336699);
  f.Paint();
  // Inside the view's client area the window holds the back buffer's pixels.
  TPoint origin = f.view->ClientToScreen(TPoint{0, 0});
  TPoint formOrigin = f.form->ClientToScreen(TPoint{0, 0});
  RECT frame{};
  GetWindowRect(f.form->GetHandle(), &frame);
  const Integer fx = origin.x - frame.left, fy = origin.y - frame.top;
  (void)formOrigin;
  for (Integer y = 0; y < 200; y += 13) {
    for (Integer x = 0; x < 240; x += 11) {
      const COLORREF c = sim::FramePixel(f.form->GetHandle(), fx + x, fy + y);
      const Rgb want = viewtest::PixelOf(f.view->GetBackBuffer(), x, y);
      ASSERT_EQ((Rgb{static_cast<int>(c & 0xFF), static_cast<int>((c >> 8) & 0xFF),
                     static_cast<int>((c >> 16) & 0xFF)}),
                want)
          << x << "," << y;
    }
  }
  // The margin has the background colour.
  EXPECT_EQ(viewtest::PixelOf(f.view->GetBackBuffer(), 2, 2), (Rgb{0x99, 0x66, 0x33}));
}

TEST(ViewPainting, BackgroundStyles) {
  const std::vector<std::pair<TIEBackgroundStyle, const char*>> styles = {
      {iebsSolid, "solid"},         {iebsHorizontal, "horizontal"}, {iebsVertical, "vertical"},
      {iebsFDiagonal, "fdiagonal"}, {iebsBDiagonal, "bdiagonal"},   {iebsCross, "cross"},
      {iebsDiagCross, "diagcross"}, {iebsChessboard, "chessboard"}, {iebsDiagonals, "diagonals"},
      {iebsCropped, "cropped"},     {iebsCropShadow, "cropshadow"}};
  Photo photo(120, 80);
  ViewForm f(200, 160);
  f.view->LoadFromFile(photo.path.c_str());
  f.view->SetBackGround(0x00FFFFFF);
  for (const auto& [style, name] : styles) {
    SCOPED_TRACE(name);
    // Hatches in a colour a person can see against the gaps.
    const bool plain = style == iebsSolid || style == iebsChessboard || style == iebsDiagonals;
    f.view->SetBackGround(plain ? 0x00FFFFFF : 0x00A05020);
    f.view->SetBackgroundStyle(style);
    f.Paint();
    sim::SaveWindowPng(f.form->GetHandle(), viewtest::ShotPath(std::string("bg_") + name));
    TBitmap* back = f.view->GetBackBuffer();
    // The picture itself is untouched by the background.
    EXPECT_EQ(ShownBytes(f.view), viewtest::StoreBytes(f.view->GetIEBitmap()));
    switch (style) {
      case iebsSolid:
        EXPECT_EQ(viewtest::PixelOf(back, 0, 0), (Rgb{255, 255, 255}));
        break;
      case iebsChessboard:
        EXPECT_EQ(viewtest::PixelOf(back, 0, 0), (Rgb{0, 0, 0}));  // the complement first
        EXPECT_EQ(viewtest::PixelOf(back, 16, 0), (Rgb{255, 255, 255}));
        EXPECT_EQ(viewtest::PixelOf(back, 16, 16), (Rgb{0, 0, 0}));
        break;
      case iebsDiagonals:
        EXPECT_EQ(viewtest::PixelOf(back, 10, 8), (Rgb{0, 0, 0}));
        break;
      case iebsCropShadow: {
        // A grey shadow right of the picture, a little below its top.
        const Integer right = f.view->GetOffsetX() + 120, top = f.view->GetOffsetY();
        const Rgb s = viewtest::PixelOf(back, right, top + 20);
        EXPECT_EQ(s.r, 93);
        break;
      }
      default:
        break;
    }
  }
}

TEST(ViewPainting, GridAppearsFrom400Percent) {
  ViewForm f(200, 200);
  TBitmap* b = f.view->GetBitmap();
  b->SetSize(20, 20);
  f.view->GetIEBitmap()->EncapsulateTBitmap(b, false);
  f.view->GetIEBitmap()->Fill(0x00FFFFFF);
  f.view->SetDisplayGrid(true);
  f.view->SetZoom(300);
  f.Paint();
  const Integer off = f.view->GetOffsetX();
  EXPECT_EQ(viewtest::PixelOf(f.view->GetBackBuffer(), off + 3, off + 1), (Rgb{255, 255, 255}));
  f.view->SetZoom(500);
  f.Paint();
  const Integer x = f.view->XBmp2Scr(2), y = f.view->YBmp2Scr(2) + 2;
  EXPECT_EQ(viewtest::PixelOf(f.view->GetBackBuffer(), x, y), (Rgb{0, 0, 0}));
  sim::SaveWindowPng(f.form->GetHandle(), viewtest::ShotPath("grid"));
}

// Two layers: a photograph below, a second picture above it with a ramp of alpha;
// the view shows the composite Pillow-independent arithmetic makes.
TEST(ViewPainting, LayersWithAlphaAgainstAnIndependentComposite) {
  Photo below(160, 120);
  larktest::TempDir dir;
  const std::string above = viewtest::MakePhotoFile(dir.Path(), 160, 120, "above.png");
  ASSERT_FALSE(below.path.empty());
  ASSERT_FALSE(above.empty());
  // The upper picture's alpha: a horizontal ramp, written by Pillow into the file.
  const std::string rgba = dir.Path() + "above_rgba.png";
  viewtest::RunPython(dir.Path(),
                      "from PIL import Image\n"
                      "im = Image.open('" + above + "').convert('RGB')\n"
                      "im = im.transpose(Image.FLIP_LEFT_RIGHT)\n"
                      "a = Image.linear_gradient('L').rotate(90).resize(im.size)\n"
                      "im.putalpha(a)\n"
                      "im.save('" + rgba + "')\n"
                      "open(out_path, 'wb').write(b'')\n");
  ViewForm f(160, 120);
  f.view->SetEnableAlphaChannel(true);
  f.view->LoadFromFile(below.path.c_str());
  f.view->LayersAdd();
  f.view->LoadFromFile(rgba.c_str());
  ASSERT_EQ(f.view->GetLayersCount(), 2);
  ASSERT_TRUE(f.view->GetIEBitmap()->GetHasAlphaChannel());
  f.Paint();
  sim::SaveWindowPng(f.form->GetHandle(), viewtest::ShotPath("layers_alpha"));
  const std::string shown = ShownBytes(f.view);
  const std::string want = viewtest::RunPython(
      dir.Path(), "from PIL import Image\nimport numpy as np\n"
                  "b = np.asarray(Image.open('" + below.path + "').convert('RGB'), dtype=np.float64)\n"
                  "t = np.asarray(Image.open('" + rgba + "').convert('RGBA'), dtype=np.float64)\n"
                  "a = t[:, :, 3:4] / 255.0\n"
                  "out = t[:, :, :3] * a + b * (1 - a)\n"
                  "open(out_path, 'wb').write(np.clip(np.round(out), 0, 255).astype(np.uint8).tobytes())\n");
  ASSERT_EQ(shown.size(), want.size());
  int worst = 0;
  for (size_t i = 0; i < shown.size(); ++i)
    worst = std::max(worst, std::abs(static_cast<int>(static_cast<Byte>(shown[i])) -
                                     static_cast<int>(static_cast<Byte>(want[i]))));
  EXPECT_LE(worst, 2);  // the blend's /256 against the peer's /255
  // A hidden upper layer shows the lower picture alone.
  f.view->GetLayer(1)->Visible = false;
  f.view->Update();
  f.Paint();
  EXPECT_EQ(ShownBytes(f.view), viewtest::StoreBytes(f.view->GetLayer(0)->Bitmap));
}

}  // namespace
