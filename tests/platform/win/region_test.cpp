// Regions: combination, kinds, bounds, hit tests and polygon regions.
#include <gtest/gtest.h>

#include "tests/platform/win/gdi_fixture.h"

namespace {

// Every pixel of a w x h area: '#' inside the region.
std::string Picture(HRGN rgn, int w, int h) {
  std::string out;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) out += PtInRegion(rgn, x, y) ? '#' : '.';
    out += '\n';
  }
  return out;
}

TEST(Region, CombineModes) {
  const struct {
    int Mode;
    int Kind;
    const char* Picture;
  } cases[] = {
      {RGN_AND, SIMPLEREGION, "....\n.##.\n.##.\n....\n"},
      {RGN_OR, COMPLEXREGION, "###.\n####\n####\n.###\n"},
      {RGN_XOR, COMPLEXREGION, "###.\n#..#\n#..#\n.###\n"},
      {RGN_DIFF, COMPLEXREGION, "###.\n#...\n#...\n....\n"},
      {RGN_COPY, SIMPLEREGION, "###.\n###.\n###.\n....\n"},
  };
  for (const auto& c : cases) {
    HRGN a = CreateRectRgn(0, 0, 3, 3), b = CreateRectRgn(1, 1, 4, 4), d = CreateRectRgn(0, 0, 0, 0);
    EXPECT_EQ(CombineRgn(d, a, b, c.Mode), c.Kind) << c.Mode;
    EXPECT_EQ(Picture(d, 4, 4), c.Picture) << c.Mode;
    DeleteObject(a);
    DeleteObject(b);
    DeleteObject(d);
  }
}

TEST(Region, CombineIntoOneOfItsSources) {
  HRGN a = CreateRectRgn(0, 0, 2, 2), b = CreateRectRgn(2, 0, 4, 2);
  EXPECT_EQ(CombineRgn(a, a, b, RGN_OR), SIMPLEREGION) << "touching rectangles merge";
  RECT box;
  EXPECT_EQ(GetRgnBox(a, &box), SIMPLEREGION);
  EXPECT_EQ(box.right, 4);
  EXPECT_EQ(CombineRgn(a, a, a, RGN_DIFF), NULLREGION);
  EXPECT_EQ(GetRgnBox(a, &box), NULLREGION);
  EXPECT_EQ(CombineRgn(a, a, 12345, RGN_OR), ERROR);
  DeleteObject(a);
  DeleteObject(b);
}

TEST(Region, RectanglePolygonExcludesRightAndBottomEdges) {
  const POINT square[] = {{0, 0}, {10, 0}, {10, 10}, {0, 10}};
  HRGN r = CreatePolygonRgn(square, 4, ALTERNATE);
  RECT box;
  EXPECT_EQ(GetRgnBox(r, &box), SIMPLEREGION);
  EXPECT_EQ(box.left, 0);
  EXPECT_EQ(box.top, 0);
  EXPECT_EQ(box.right, 10);
  EXPECT_EQ(box.bottom, 10);
  EXPECT_TRUE(PtInRegion(r, 9, 9));
  EXPECT_FALSE(PtInRegion(r, 10, 9));
  EXPECT_FALSE(PtInRegion(r, 9, 10));
  DeleteObject(r);
}

TEST(Region, PolygonTakesPixelsWhoseCentresAreInside) {
  const POINT tri[] = {{0, 0}, {4, 0}, {0, 4}};
  HRGN r = CreatePolygonRgn(tri, 3, WINDING);
  // The slanted edge passes through the centres of the pixels it leaves out.
  EXPECT_EQ(Picture(r, 4, 4), "###.\n##..\n#...\n....\n");
  OffsetRgn(r, 1, 0);
  EXPECT_EQ(Picture(r, 4, 4), ".###\n.##.\n.#..\n....\n");
  DeleteObject(r);
}

TEST(Region, BadArgumentsFail) {
  EXPECT_EQ(CreatePolygonRgn(nullptr, 3, ALTERNATE), 0u);
  const POINT p[] = {{0, 0}, {1, 1}, {2, 0}};
  EXPECT_EQ(CreatePolygonRgn(p, 3, 7), 0u);
  HRGN empty = CreatePolygonRgn(p, 2, ALTERNATE);
  RECT box;
  EXPECT_EQ(GetRgnBox(empty, &box), NULLREGION);
  DeleteObject(empty);
  EXPECT_FALSE(PtInRegion(0, 0, 0));
}

TEST(Region, ClipRegionIsACopyInDeviceCoordinates) {
  gditest::Canvas c(4, 4, 24);
  c.Fill(gditest::kWhite);
  HRGN r = CreateRectRgn(0, 0, 2, 2);
  EXPECT_EQ(SelectClipRgn(c.Dc(), r), SIMPLEREGION);
  OffsetRgn(r, 2, 2);  // the DC keeps its own copy
  SetWindowOrgEx(c.Dc(), -1, -1, nullptr);  // logical (-1,-1) is device (0,0)
  RECT all{-1, -1, 3, 3};
  FillRect(c.Dc(), &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  SetWindowOrgEx(c.Dc(), 0, 0, nullptr);
  HRGN got = CreateRectRgn(0, 0, 0, 0);
  EXPECT_EQ(GetClipRgn(c.Dc(), got), 1);
  EXPECT_TRUE(PtInRegion(got, 1, 1));
  EXPECT_FALSE(PtInRegion(got, 2, 2));
  SelectClipRgn(c.Dc(), 0);
  EXPECT_EQ(GetClipRgn(c.Dc(), got), 0);
  EXPECT_EQ(c.Ink(gditest::kWhite), gditest::Rows({"##..", "##..", "....", "...."}));
  DeleteObject(got);
  DeleteObject(r);
}

}  // namespace
