// Selection operations: ellipses, points, the magic wand, inversion, resizing and
// moving, the selection stream and stack, copies. Masks are checked against
// scikit-image's rasterisers and flood fill and OpenCV's floodFill.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "platform/rtl/Streams.h"
#include "tests/image/views/views_test_util.h"

namespace {

using viewtest::ViewForm;

void Fill(TDadirAvView* view, Integer w, Integer h, TColor colour) {
  TBitmap* b = view->GetBitmap();
  b->SetSize(w, h);
  view->GetIEBitmap()->EncapsulateTBitmap(b, false);
  view->GetIEBitmap()->Fill(colour);
  view->Update();
}

// The mask as one byte a pixel (0 or 1), rows from the top.
std::string MaskBytes(TDadirAvView* view) {
  TIEMask* m = view->GetSelectionMask();
  std::string out;
  for (Integer y = 0; y < m->GetHeight(); ++y)
    for (Integer x = 0; x < m->GetWidth(); ++x) out.push_back(m->GetPixel(x, y) != 0 ? 1 : 0);
  return out;
}

Integer Selected(TDadirAvView* view) {
  Integer n = 0;
  for (char c : MaskBytes(view)) n += c;
  return n;
}

std::vector<TPoint> Points(TDadirAvView* view) {
  std::vector<TPoint> out;
  for (Integer i = 0; i < view->GetPolySelCount(); ++i) out.push_back(view->GetPolySel(i));
  return out;
}

struct Bitmapped {
  Bitmapped(Integer w, Integer h) : view(nullptr) {
    Fill(&view, w, h, 0x808080);
    view.SelectionBase = iesbBitmap;
  }
  TDadirAvView view;
};

TEST(ViewSelectionOps, EllipsePointCounts) {
  struct Case {
    Integer cx, cy, w, h;
    Integer points;  // quarter of the smaller circumference, at least 3
  };
  const Case cases[] = {
      {50, 50, 2, 40, 3},     // radius 1: 6 div 4 = 1, raised to 3
      {50, 50, 40, 20, 15},   // radius 10: Trunc(62.8) div 4
      {50, 50, 20, 40, 15},   // the smaller radius rules
      {50, 50, 80, 80, 62},   // radius 40: Trunc(251.3) div 4
      {50, 50, 1, 30, 0},     // width 1: three points on a line, no pixel, dropped
  };
  for (const Case& c : cases) {
    Bitmapped b(100, 100);
    b.view.SelectEllipse(c.cx, c.cy, c.w, c.h);
    EXPECT_EQ(b.view.GetPolySelCount(), c.points) << c.w << "x" << c.h;
    for (const TPoint& p : Points(&b.view)) {
      EXPECT_GE(p.x, 0);
      EXPECT_LE(p.x, 100);
    }
  }
  Bitmapped b(100, 100);
  b.view.SelectEllipse(50, 50, 0, 10);  // no size: nothing
  EXPECT_EQ(b.view.GetPolySelCount(), 0);
  EXPECT_FALSE(b.view.GetSelected());
  b.view.SelectEllipse(50, 50, 400, 400);  // points clamped to 0..W, 0..H
  for (const TPoint& p : Points(&b.view)) {
    EXPECT_TRUE(p.x >= 0 && p.x <= 100 && p.y >= 0 && p.y <= 100);
  }
  EXPECT_EQ(Selected(&b.view), 100 * 100);
}

TEST(ViewSelectionOps, PointsBreaksAndDegeneratePolygons) {
  Bitmapped b(64, 64);
  b.view.AddSelPoint(10, 10);
  b.view.AddSelPoint(30, 10);
  EXPECT_EQ(Selected(&b.view), 0);  // two points: no area yet
  b.view.AddSelPoint(30, 30);
  EXPECT_GT(Selected(&b.view), 0);
  b.view.AddSelBreak();
  b.view.AddSelBreak();  // never two breaks in a row
  EXPECT_EQ(b.view.GetPolySelCount(), 4);
  // Points at the int32 extremes are held on the image.
  b.view.AddSelPoint(INT32_MIN, INT32_MAX);
  b.view.AddSelPoint(INT32_MAX, INT32_MIN);
  b.view.AddSelPoint(INT32_MAX, INT32_MAX);
  EXPECT_EQ(b.view.GetPolySel(4).x, 0);
  EXPECT_EQ(b.view.GetPolySel(4).y, 64);
  EXPECT_EQ(b.view.GetPolySel(6).x, 64);
  EXPECT_EQ(b.view.GetPolySel(b.view.GetPolySelCount()).x, 0);  // past the end
  EXPECT_EQ(b.view.GetPolySel(-1).y, 0);
}

TEST(ViewSelectionOps, InversionCounts) {
  Bitmapped empty(100, 100);
  empty.view.InvertSelection();
  EXPECT_EQ(Selected(&empty.view), 0);  // an empty mask stays empty
  Bitmapped b(100, 100);
  b.view.Select(10, 10, 19, 19);
  b.view.InvertSelection();
  EXPECT_EQ(Selected(&b.view), 9900);
  EXPECT_EQ(b.view.GetSelX1(), 0);
  EXPECT_EQ(b.view.GetSelY1(), 0);
  EXPECT_EQ(b.view.GetSelX2(), 99);
  EXPECT_EQ(b.view.GetSelY2(), 99);
  EXPECT_EQ(b.view.GetPolySelCount(), 0);
  Bitmapped all(20, 20);
  all.view.Select(0, 0, 19, 19);
  all.view.InvertSelection();  // everything inverted away: nothing selected
  EXPECT_EQ(Selected(&all.view), 0);
  EXPECT_FALSE(all.view.GetSelected());
}

TEST(ViewSelectionOps, ResizeByGripsTable) {
  struct Case {
    Integer grip, x, y;
    bool keepAspect;
    Integer returned;
    TRect box;  // the polygon's box afterwards (right and bottom exclusive)
  };
  // The box starts as pixels 20..39 x 20..29: points (20,20) (40,20) (40,30) (20,30).
  const Case cases[] = {
      {0, 10, 15, false, 0, {10, 15, 40, 30}},
      {0, 50, 20, false, 1, {40, 20, 50, 30}},   // past the right edge: grip 1
      {0, 20, 35, false, 3, {20, 30, 40, 35}},   // past the bottom edge: grip 3
      {0, 50, 35, false, 2, {40, 30, 50, 35}},   // past both
      {2, 49, 39, false, 2, {20, 20, 50, 40}},
      {2, 5, 25, false, 3, {6, 20, 20, 26}},     // past the left edge
      {5, 60, 0, false, 5, {20, 20, 61, 30}},    // the right edge moves x only
      {7, 0, 44, false, 7, {20, 20, 40, 45}},    // the bottom edge moves y only
      {4, 40, 25, false, 4, {39, 20, 40, 30}},   // onto the opposite edge: one apart
      {0, -20, -20, false, 0, {0, 0, 40, 30}},   // clamped to the image
      {2, 200, 200, false, 2, {20, 20, 100, 100}},
  };
  for (const Case& c : cases) {
    Bitmapped b(100, 100);
    b.view.Select(20, 20, 39, 29);
    const Integer g = b.view.SelectResizeEx(c.grip, c.x, c.y, c.keepAspect);
    EXPECT_EQ(g, c.returned) << c.grip << " to " << c.x << "," << c.y;
    const TIEAnimPoly* p = b.view.GetCurrentPolygon();
    EXPECT_EQ((std::array<Integer, 4>{p->X1, p->Y1, p->X2, p->Y2}),
              (std::array<Integer, 4>{c.box.left, c.box.top, c.box.right, c.box.bottom}))
        << c.grip << " to " << c.x << "," << c.y;
  }
  // A polygon that is not a rectangle is not resized.
  Bitmapped e(100, 100);
  e.view.SelectEllipse(50, 50, 20, 20);
  const Integer before = e.view.GetPolySelCount();
  EXPECT_EQ(e.view.SelectResizeEx(2, 90, 90, false), 2);
  EXPECT_EQ(e.view.GetPolySelCount(), before);
}

TEST(ViewSelectionOps, MovingARectangleAndAnOutline) {
  Bitmapped b(100, 100);
  b.view.Select(10, 10, 19, 19);
  b.view.MoveSelection(5, 7);
  EXPECT_EQ(b.view.GetPolySel(0).x, 15);
  EXPECT_EQ(b.view.GetPolySel(0).y, 17);
  Bitmapped e(100, 100);
  e.view.SelectEllipse(50, 50, 20, 20);
  const std::string before = MaskBytes(&e.view);
  e.view.MoveSelection(-10, 0);
  // The mask of a non-rectangular selection moves with it.
  const std::string after = MaskBytes(&e.view);
  for (Integer y = 0; y < 100; ++y)
    for (Integer x = 0; x < 90; ++x)
      ASSERT_EQ(after[static_cast<size_t>(y * 100 + x)], before[static_cast<size_t>(y * 100 + x + 10)])
          << x << "," << y;
}

TEST(ViewSelectionOps, StreamAndStackRoundTrip) {
  Bitmapped b(100, 60);
  b.view.Select(10, 10, 29, 19);
  b.view.SelectEllipse(60, 30, 30, 20, iespAdd);
  const std::string mask = MaskBytes(&b.view);
  const std::vector<TPoint> points = Points(&b.view);
  EXPECT_EQ(b.view.RestoreSelection(), false);  // empty stack
  b.view.SaveSelection();
  EXPECT_EQ(b.view.GetSavedSelectionsCount(), 1);
  b.view.DeSelect();
  EXPECT_EQ(Selected(&b.view), 0);
  EXPECT_TRUE(b.view.RestoreSelection());
  EXPECT_EQ(b.view.GetSavedSelectionsCount(), 0);
  EXPECT_EQ(MaskBytes(&b.view), mask);
  EXPECT_EQ(Points(&b.view).size(), points.size());
  EXPECT_TRUE(b.view.GetSelected());
  EXPECT_EQ(b.view.GetSelX1(), 10);

  // The stream's layout: sizes, the points, the box, Selected, the mask.
  TMemoryStream s;
  b.view.SaveSelectionToStream(&s);
  const Int64 rowLen = ((100 + 31) / 32) * 4;
  EXPECT_EQ(s.GetSize(), 12 + Int64(points.size()) * 8 + 16 + 1 + 4 + 16 + 1 + rowLen * 60);
  const auto* bytes = static_cast<const Byte*>(s.Memory());
  EXPECT_EQ(bytes[0], 100);
  EXPECT_EQ(bytes[4], 60);
  EXPECT_EQ(bytes[8], points.size());

  // Another image size: false, only the sizes read, nothing changed.
  Bitmapped other(200, 60);
  other.view.Select(1, 1, 5, 5);
  const std::string otherMask = MaskBytes(&other.view);
  s.SetPosition(0);
  EXPECT_FALSE(other.view.LoadSelectionFromStream(&s));
  EXPECT_EQ(s.GetPosition(), 8);
  EXPECT_EQ(MaskBytes(&other.view), otherMask);
}

// Bad streams: each answers false and leaves the selection as it was.
TEST(ViewSelectionOps, BadStreamsChangeNothing) {
  Bitmapped src(40, 30);
  src.view.Select(5, 5, 20, 20);
  TMemoryStream good;
  src.view.SaveSelectionToStream(&good);
  const auto* g = static_cast<const Byte*>(good.Memory());
  const std::string whole(reinterpret_cast<const char*>(g), static_cast<size_t>(good.GetSize()));
  auto patched = [&](size_t at, int32_t v) {
    std::string s = whole;
    std::memcpy(&s[at], &v, 4);
    return s;
  };
  const size_t bppAt = 12 + 4 * 8 + 16 + 1;
  struct Case {
    const char* what;
    std::string bytes;
  };
  const Case cases[] = {
      {"empty", ""},
      {"sizes only", whole.substr(0, 8)},
      {"cut in the points", whole.substr(0, 20)},
      {"cut in the bits", whole.substr(0, whole.size() - 1)},
      {"negative count", patched(8, -1)},
      {"huge count", patched(8, 0x7FFFFFFF)},
      {"bit depth 4", patched(bppAt, 4)},
      {"bit depth 0", patched(bppAt, 0)},
      {"point off the image", patched(12, 5000)},
      {"mask box off the image", patched(bppAt + 4 + 8, 400)},
  };
  for (const Case& c : cases) {
    Bitmapped b(40, 30);
    b.view.SelectEllipse(20, 15, 10, 10);
    const std::string mask = MaskBytes(&b.view);
    const Integer count = b.view.GetPolySelCount();
    TMemoryStream s;
    if (!c.bytes.empty()) s.WriteBuffer(c.bytes.data(), static_cast<Integer>(c.bytes.size()));
    s.SetPosition(0);
    EXPECT_FALSE(b.view.LoadSelectionFromStream(&s)) << c.what;
    EXPECT_EQ(MaskBytes(&b.view), mask) << c.what;
    EXPECT_EQ(b.view.GetPolySelCount(), count) << c.what;
    EXPECT_TRUE(b.view.GetSelected()) << c.what;
  }
  // The untouched stream loads.
  Bitmapped b(40, 30);
  TMemoryStream s;
  s.WriteBuffer(whole.data(), static_cast<Integer>(whole.size()));
  s.SetPosition(0);
  EXPECT_TRUE(b.view.LoadSelectionFromStream(&s));
  EXPECT_EQ(Selected(&b.view), 16 * 16);
}

TEST(ViewSelectionOps, CopiesOfTheSelection) {
  Bitmapped b(50, 40);
  b.view.GetIEBitmap()->Fill(0x0000FF);
  b.view.GetIEBitmap()->SetPixels_ie24RGB(12, 11, TRGB{0, 255, 0});
  b.view.Select(10, 10, 19, 14);
  TBitmap target;
  b.view.CopySelectionToBitmap(&target);
  EXPECT_EQ(target.GetWidth(), 10);
  EXPECT_EQ(target.GetHeight(), 5);
  EXPECT_EQ(target.GetPixelFormat(), pf24bit);
  EXPECT_EQ(viewtest::PixelOf(&target, 2, 1), (viewtest::Rgb{0, 255, 0}));
  EXPECT_EQ(viewtest::PixelOf(&target, 0, 0), (viewtest::Rgb{255, 0, 0}));
  TDadirAvView other(nullptr);
  b.view.AssignSelTo(&other);
  EXPECT_EQ(other.GetIEBitmap()->GetWidth(), 10);
  EXPECT_EQ(other.GetIEBitmap()->GetPixels(2, 1).g, 255);
  b.view.DeSelect();
  TBitmap whole;
  b.view.AssignSelTo(&whole);  // no selection: the whole picture
  EXPECT_EQ(whole.GetWidth(), 50);
  EXPECT_TRUE(whole.GetModified());
  TBitmap none;
  b.view.CopySelectionToBitmap(&none);  // nothing selected: nothing copied
  EXPECT_EQ(none.GetWidth(), 0);
}

TEST(ViewSelectionOps, SelectedPixelsColouredOnlyOnColourStores) {
  for (TIEPixelFormat format : {ie1g, ie8g, ie24RGB}) {
    TDadirAvView view(nullptr);
    view.SetLegacyBitmap(false);
    view.GetIEBitmap()->Allocate(33, 9, format);
    view.Update();
    view.SelectionBase = iesbBitmap;
    view.Select(0, 0, 32, 8);
    view.SetSelectedPixelsColor(TRGB{1, 2, 3});
    if (format == ie24RGB) {
      EXPECT_EQ(view.GetIEBitmap()->GetPixels(32, 8).r, 3);
    } else {
      EXPECT_EQ(view.GetIEBitmap()->GetWidth(), 33);  // left alone
    }
  }
}

// ---- Peers ---------------------------------------------------------------------------------

// Runs a snippet with numpy and scikit-image; it writes its answer to out_path.
std::string Peer(const larktest::TempDir& dir, const std::string& snippet) {
  return viewtest::RunPython(dir.Path(), "import numpy as np\n" + snippet);
}

// Our rule fills the pixels whose top-left corner lies inside the polygon, with the
// right and bottom boundaries left out (a rectangle's points are its pixels' outer
// corners); scikit-image's draw.polygon takes pixel centres as the points and keeps
// the boundary. They agree everywhere but on a band one pixel wide along the
// outline, which the peer returns as "don't care".
TEST(ViewSelectionPeers, PolygonMasksAgainstScikitImage) {
  larktest::TempDir dir;
  const std::vector<std::vector<TPoint>> polygons = {
      {{5, 5}, {70, 8}, {60, 50}, {20, 40}},
      {{40, 2}, {78, 58}, {2, 30}, {70, 30}, {4, 58}},  // a star: even-odd leaves a hole
      {{10, 10}, {60, 10}, {60, 50}, {10, 50}},
      {{0, 0}, {80, 0}, {0, 60}},
  };
  for (const auto& poly : polygons) {
    Bitmapped b(80, 60);
    for (const TPoint& p : poly) b.view.AddSelPoint(p.x, p.y);
    const std::string ours = MaskBytes(&b.view);
    std::string xs, ys;
    for (const TPoint& p : poly) {
      xs += std::to_string(p.x) + ",";
      ys += std::to_string(p.y) + ",";
    }
    const std::string peer = Peer(dir,
        "from skimage.draw import polygon, polygon_perimeter\n"
        "from scipy.ndimage import binary_dilation\n"
        "xs=[" + xs + "]; ys=[" + ys + "]\n"
        "m=np.zeros((60,80),np.uint8)\n"
        "rr,cc=polygon(ys,xs,shape=m.shape); m[rr,cc]=1\n"
        "# even-odd: a pentagram's centre is outside for our rule; skimage fills by\n"
        "# the same crossing rule\n"
        "e=np.zeros_like(m); rr,cc=polygon_perimeter(ys,xs,shape=m.shape,clip=True); e[rr,cc]=1\n"
        "e=binary_dilation(e,iterations=1).astype(np.uint8)\n"
        "open(out_path,'wb').write(m.tobytes()+e.tobytes())\n");
    ASSERT_EQ(peer.size(), 2u * 80 * 60);
    Integer band = 0;
    for (size_t i = 0; i < ours.size(); ++i) {
      if (peer[ours.size() + i] != 0) {
        band += ours[i] != peer[i];
        continue;
      }
      ASSERT_EQ(ours[i], peer[i]) << "pixel " << i % 80 << "," << i / 80;
    }
    EXPECT_GT(std::count(ours.begin(), ours.end(), 1), 0);
  }
}

TEST(ViewSelectionPeers, EllipseMasksAgainstScikitImage) {
  larktest::TempDir dir;
  struct Case {
    Integer cx, cy, w, h;
  };
  for (const Case c : {Case{40, 30, 60, 40}, Case{40, 30, 20, 50}, Case{40, 30, 57, 57}}) {
    Bitmapped b(80, 60);
    b.view.SelectEllipse(c.cx, c.cy, c.w, c.h);
    const std::string ours = MaskBytes(&b.view);
    // The outline is a polygon inscribed in the ellipse (a point every four pixels of
    // the smaller circumference, truncated toward zero), filled by the rule above, so
    // the two differ only within two pixels of the curve.
    const std::string peer = Peer(dir,
        "from skimage.draw import ellipse, ellipse_perimeter\n"
        "from scipy.ndimage import binary_dilation\n"
        "m=np.zeros((60,80),np.uint8)\n"
        "rr,cc=ellipse(" + std::to_string(c.cy) + "," + std::to_string(c.cx) + "," +
        std::to_string(c.h / 2) + "," + std::to_string(c.w / 2) + ",shape=m.shape); m[rr,cc]=1\n"
        "e=np.zeros_like(m); rr,cc=ellipse_perimeter(" + std::to_string(c.cy) + "," +
        std::to_string(c.cx) + "," + std::to_string(c.h / 2) + "," + std::to_string(c.w / 2) +
        ",shape=m.shape); e[rr,cc]=1\n"
        "e=binary_dilation(e,iterations=2).astype(np.uint8)\n"
        "open(out_path,'wb').write(m.tobytes()+e.tobytes())\n");
    ASSERT_EQ(peer.size(), 2u * 80 * 60);
    for (size_t i = 0; i < ours.size(); ++i) {
      if (peer[ours.size() + i] != 0) continue;
      ASSERT_EQ(ours[i], peer[i]) << c.w << "x" << c.h << " pixel " << i % 80 << "," << i / 80;
    }
  }
}

// The wand's region (each channel within the tolerance of the seed's, 4-connected)
// is OpenCV's floodFill with a fixed range and 4-connectivity; on a grey picture it
// is scikit-image's flood with connectivity 1.
TEST(ViewSelectionPeers, MagicWandAgainstFloodFills) {
  larktest::TempDir dir;
  const std::string png = dir.Path() + "wand.png";
  viewtest::RunPython(dir.Path(),
      "import numpy as np\nfrom PIL import Image\nfrom scipy.ndimage import gaussian_filter\n"
      "r=np.random.default_rng(5)\n"
      "a=np.stack([gaussian_filter(r.random((90,120)),4) for _ in range(3)],-1)\n"
      "a=((a-a.min())/(a.max()-a.min())*255).astype(np.uint8)\n"
      "a[:,:,1]=a[:,:,0]//2+a[:,:,1]//2\n"
      "Image.fromarray(a).save('" + png + "')\nopen(out_path,'wb').write(b'1')\n");
  const std::string grey = dir.Path() + "grey.png";
  viewtest::RunPython(dir.Path(),
      "import numpy as np\nfrom PIL import Image\n"
      "Image.open('" + png + "').convert('L').convert('RGB').save('" + grey + "')\n"
      "open(out_path,'wb').write(b'1')\n");
  struct Case {
    const char* file;
    Integer x, y, tolerance;
    bool grey;
  };
  const Case cases[] = {{"wand.png", 60, 45, 20, false}, {"wand.png", 5, 5, 35, false},
                        {"grey.png", 30, 70, 15, true}, {"grey.png", 119, 89, 25, true}};
  for (const Case& c : cases) {
    ViewForm f(200, 200);
    f.view->LoadFromFile((dir.Path() + c.file).c_str());
    f.view->SelectionBase = iesbBitmap;
    f.view->WandMode = iewExclusive;
    f.view->WandTolerance = c.tolerance;
    f.view->SelectMagicWand(c.x, c.y);
    const std::string ours = MaskBytes(f.view);
    const std::string xy = std::to_string(c.x) + "," + std::to_string(c.y);
    const std::string t = std::to_string(c.tolerance);
    const std::string peer = Peer(dir,
        "import cv2\nfrom PIL import Image\nfrom skimage.segmentation import flood\n"
        "a=np.array(Image.open('" + dir.Path() + c.file + "').convert('RGB'))\n"
        "mask=np.zeros((a.shape[0]+2,a.shape[1]+2),np.uint8)\n"
        "cv2.floodFill(a.copy(),mask,(" + xy + "),0,(" + t + ",)*3,(" + t + ",)*3,"
        "4|cv2.FLOODFILL_FIXED_RANGE|cv2.FLOODFILL_MASK_ONLY|(1<<8))\n"
        "m=mask[1:-1,1:-1]\n"
        "g=flood(a[:,:,0].astype(int),(" + std::to_string(c.y) + "," + std::to_string(c.x) +
        "),tolerance=" + t + ",connectivity=1).astype(np.uint8)\n"
        "open(out_path,'wb').write(m.tobytes()+g.tobytes())\n");
    ASSERT_EQ(peer.size(), 2 * ours.size());
    EXPECT_EQ(ours, peer.substr(0, ours.size())) << c.file << " OpenCV";
    if (c.grey) {
      EXPECT_EQ(ours, peer.substr(ours.size())) << c.file << " scikit-image";
    }
    EXPECT_GT(Selected(f.view), 10);
    // Seeds at or past the right or bottom edge are ignored.
    f.view->DeSelect();
    f.view->SelectMagicWand(120, 0);
    f.view->SelectMagicWand(0, 90);
    EXPECT_EQ(Selected(f.view), 0);
  }
}

}  // namespace
