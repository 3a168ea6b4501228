// Lines, rectangles, ellipses, polygons under clip regions, hatches, focus
// rectangles and 3-D edges, checked pixel by pixel.
#include <gtest/gtest.h>

#include "platform/win/Cursors.h"
#include "tests/platform/win/gdi_fixture.h"

using namespace gditest;

namespace {

std::string Line(int w, int h, POINT a, POINT b) {
  Canvas c(w, h, 24);
  c.Fill(kWhite);
  MoveToEx(c.Dc(), a.x, a.y, nullptr);
  LineTo(c.Dc(), b.x, b.y);
  return c.Ink(kWhite);
}

TEST(GdiLine, EndPointIsNotDrawn) {
  EXPECT_EQ(Line(4, 1, {0, 0}, {3, 0}), "###.\n");
  EXPECT_EQ(Line(4, 1, {3, 0}, {0, 0}), ".###\n");
  EXPECT_EQ(Line(1, 3, {0, 0}, {0, 2}), Rows({"#", "#", "."}));
  EXPECT_EQ(Line(2, 2, {0, 0}, {0, 0}), Rows({"..", ".."}));
  EXPECT_EQ(Line(3, 3, {0, 0}, {2, 2}), Rows({"#..", ".#.", "..."}));
}

TEST(GdiLine, TiesStayOnTheSideOfTheStart) {
  EXPECT_EQ(Line(5, 3, {0, 0}, {4, 2}), Rows({"##...", "..##.", "....."}));
  EXPECT_EQ(Line(5, 3, {4, 2}, {0, 0}), Rows({".....", ".##..", "...##"}));
  EXPECT_EQ(Line(6, 3, {0, 0}, {5, 2}), Rows({"##....", "..##..", "....#."}));  // 0.4 per step
}

TEST(GdiLine, LineDDAVisitsWhatLineToDraws) {
  std::vector<POINT> pts;
  LineDDA(0, 0, 4, 2, [](Integer x, Integer y, LPARAM data) { reinterpret_cast<std::vector<POINT>*>(data)->push_back({x, y}); },
          reinterpret_cast<LPARAM>(&pts));
  ASSERT_EQ(pts.size(), 4u);
  const POINT want[] = {{0, 0}, {1, 0}, {2, 1}, {3, 1}};
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(pts[i].x, want[i].x);
    EXPECT_EQ(pts[i].y, want[i].y);
  }
}

TEST(GdiLine, PolylineSharesCornersSoXorDrawsEachPixelOnce) {
  Canvas c(4, 4, 24);
  c.Fill(kWhite);
  SetROP2(c.Dc(), R2_NOT);
  SelectObject(c.Dc(), GetStockObject(NULL_BRUSH));
  Rectangle(c.Dc(), 0, 0, 4, 4);
  EXPECT_EQ(c.Ink(kWhite), Rows({"####", "#..#", "#..#", "####"}));
  Rectangle(c.Dc(), 0, 0, 4, 4);
  EXPECT_EQ(c.Ink(kWhite), Rows({"....", "....", "....", "...."})) << "drawn twice with R2_NOT restores";
}

TEST(GdiLine, DashedPensLeaveGapsOrFillThemWithTheBackground) {
  for (int mode : {TRANSPARENT, OPAQUE}) {
    Canvas c(8, 1, 24);
    c.Fill(kWhite);
    HPEN pen = CreatePen(PS_DOT, 1, kRed);
    SelectObject(c.Dc(), pen);
    SetBkMode(c.Dc(), mode);
    SetBkColor(c.Dc(), kBlue);
    MoveToEx(c.Dc(), 0, 0, nullptr);
    LineTo(c.Dc(), 8, 0);
    EXPECT_EQ(c.Art({{kRed, 'r'}, {kBlue, 'b'}, {kWhite, '.'}}), mode == OPAQUE ? "rrrbbbrr\n" : "rrr...rr\n");
    SelectObject(c.Dc(), GetStockObject(BLACK_PEN));
    DeleteObject(pen);
  }
}

TEST(GdiShape, RectangleOutlinesAndFills) {
  Canvas c(5, 4, 24);
  c.Fill(kWhite);
  HBRUSH b = CreateSolidBrush(kRed);
  SelectObject(c.Dc(), b);
  Rectangle(c.Dc(), 0, 0, 5, 4);
  EXPECT_EQ(c.Art({{kBlack, 'k'}, {kRed, 'r'}, {kWhite, '.'}}), Rows({"kkkkk", "krrrk", "krrrk", "kkkkk"}));
  // With the null pen the fill is one pixel smaller each way.
  c.Fill(kWhite);
  SelectObject(c.Dc(), GetStockObject(NULL_PEN));
  Rectangle(c.Dc(), 0, 0, 5, 4);
  EXPECT_EQ(c.Art({{kRed, 'r'}, {kWhite, '.'}}), Rows({"rrrr.", "rrrr.", "rrrr.", "....."}));
  SelectObject(c.Dc(), GetStockObject(WHITE_BRUSH));
  DeleteObject(b);
}

TEST(GdiShape, EllipseIsSymmetricInsideItsBox) {
  Canvas c(8, 6, 24);
  c.Fill(kWhite);
  SelectObject(c.Dc(), GetStockObject(BLACK_BRUSH));
  SelectObject(c.Dc(), GetStockObject(NULL_PEN));
  Ellipse(c.Dc(), 0, 0, 8, 6);
  EXPECT_EQ(c.Ink(kWhite), Rows({"..####..", ".######.", "########", "########", ".######.", "..####.."}));
}

// Two squares in one figure, the inner one wound the same way: ALTERNATE leaves it
// empty, WINDING fills it.
const POINT kNested[] = {{0, 0}, {8, 0}, {8, 8}, {0, 8}, {0, 0}, {2, 2}, {6, 2}, {6, 6}, {2, 6}, {2, 2}};

std::string FillNested(int mode, HRGN clip) {
  Canvas c(8, 8, 24);
  c.Fill(kWhite);
  SelectObject(c.Dc(), GetStockObject(BLACK_BRUSH));
  SelectObject(c.Dc(), GetStockObject(NULL_PEN));
  SetPolyFillMode(c.Dc(), mode);
  if (clip) SelectClipRgn(c.Dc(), clip);
  Polygon(c.Dc(), kNested, 10);
  SelectClipRgn(c.Dc(), 0);  // GetPixel answers CLR_INVALID outside the clip
  return c.Ink(kWhite);
}

TEST(GdiShape, PolygonFillModes) {
  EXPECT_EQ(FillNested(ALTERNATE, 0), Rows({"########", "########", "##....##", "##....##", "##....##", "##....##",
                                            "########", "########"}));
  EXPECT_EQ(FillNested(WINDING, 0), Rows({"########", "########", "########", "########", "########", "########",
                                          "########", "########"}));
}

TEST(GdiShape, PolygonStaysInsideTheClipRegion) {
  // Clip to a triangle region combined with a hole.
  const POINT tri[] = {{0, 0}, {8, 0}, {0, 8}};
  HRGN rgn = CreatePolygonRgn(tri, 3, ALTERNATE);
  HRGN hole = CreateRectRgn(0, 0, 2, 2);
  CombineRgn(rgn, rgn, hole, RGN_DIFF);
  // The triangle keeps pixels whose centres are left of its slanted edge.
  EXPECT_EQ(FillNested(ALTERNATE, rgn), Rows({"..#####.", "..####..", "##......", "##......", "##......", "##......",
                                              "#.......", "........"}));
  EXPECT_EQ(FillNested(WINDING, rgn), Rows({"..#####.", "..####..", "#####...", "####....", "###.....", "##......",
                                            "#.......", "........"}));
  DeleteObject(rgn);
  DeleteObject(hole);
}

TEST(GdiShape, ExcludeAndIntersectClipRectangles) {
  Canvas c(6, 4, 24);
  c.Fill(kWhite);
  IntersectClipRect(c.Dc(), 1, 0, 5, 4);
  ExcludeClipRect(c.Dc(), 2, 1, 4, 3);
  RECT box;
  EXPECT_EQ(GetClipBox(c.Dc(), &box), COMPLEXREGION);
  EXPECT_EQ(box.left, 1);
  EXPECT_EQ(box.right, 5);
  RECT all{0, 0, 6, 4};
  FillRect(c.Dc(), &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  EXPECT_EQ(GetPixel(c.Dc(), 0, 0), CLR_INVALID) << "outside the clip";
  SelectClipRgn(c.Dc(), 0);
  EXPECT_EQ(GetClipBox(c.Dc(), &box), SIMPLEREGION);
  EXPECT_EQ(box.right, 6);
  EXPECT_EQ(c.Ink(kWhite), Rows({".####.", ".#..#.", ".#..#.", ".####."}));
}

TEST(GdiShape, HatchBrushesAlignToTheBrushOrigin) {
  const struct {
    int Hatch;
    const char* Rows;
  } cases[] = {
      {HS_HORIZONTAL, "####\n....\n....\n....\n"},
      {HS_VERTICAL, "#...\n#...\n#...\n#...\n"},
      {HS_FDIAGONAL, "#...\n.#..\n..#.\n...#\n"},
      {HS_CROSS, "####\n#...\n#...\n#...\n"},
  };
  for (const auto& c : cases) {
    Canvas cv(4, 4, 24);
    cv.Fill(kWhite);
    HBRUSH b = CreateHatchBrush(c.Hatch, kBlack);
    RECT r{0, 0, 4, 4};
    FillRect(cv.Dc(), &r, b);
    EXPECT_EQ(cv.Ink(kWhite), c.Rows) << c.Hatch;
    DeleteObject(b);
  }
  // Moving the origin moves the pattern; TRANSPARENT keeps the gaps.
  Canvas cv(4, 2, 24);
  cv.Fill(kRed);
  HBRUSH b = CreateHatchBrush(HS_VERTICAL, kBlack);
  SetBrushOrgEx(cv.Dc(), 1, 0, nullptr);
  SetBkMode(cv.Dc(), TRANSPARENT);
  RECT r{0, 0, 4, 2};
  FillRect(cv.Dc(), &r, b);
  EXPECT_EQ(cv.Art({{kBlack, '#'}, {kRed, 'r'}}), Rows({"r#rr", "r#rr"}));
  DeleteObject(b);
}

TEST(GdiShape, FocusRectangleDrawnTwiceRestores) {
  Canvas c(6, 5, 24);
  c.Fill(kWhite);
  RECT r{0, 0, 6, 5};
  DrawFocusRect(c.Dc(), &r);
  EXPECT_EQ(c.Ink(kWhite), Rows({"#.#.#.", ".....#", "#.....", ".....#", "#.#.#."}));
  DrawFocusRect(c.Dc(), &r);
  EXPECT_EQ(c.Ink(kWhite), Rows({"......", "......", "......", "......", "......"}));
}

class GdiDrawEdge : public ::testing::Test {
 protected:
  void SetUp() override {
    sim::SetSysColor(COLOR_3DLIGHT, RGB(1, 1, 1));
    sim::SetSysColor(COLOR_3DDKSHADOW, RGB(2, 2, 2));
    sim::SetSysColor(COLOR_BTNHIGHLIGHT, RGB(3, 3, 3));
    sim::SetSysColor(COLOR_BTNSHADOW, RGB(4, 4, 4));
    sim::SetSysColor(COLOR_BTNFACE, RGB(5, 5, 5));
  }
  void TearDown() override { sim::ResetScreen(); }
  std::string Draw(UINT edge, UINT flags, RECT* out = nullptr) {
    Canvas c(6, 6, 24);
    c.Fill(kWhite);
    RECT r{0, 0, 6, 6};
    DrawEdge(c.Dc(), &r, edge, flags);
    if (out) *out = r;
    return c.Art({{RGB(1, 1, 1), 'L'}, {RGB(2, 2, 2), 'D'}, {RGB(3, 3, 3), 'H'}, {RGB(4, 4, 4), 'S'},
                  {RGB(5, 5, 5), 'F'}, {kWhite, '.'}});
  }
};

TEST_F(GdiDrawEdge, RaisedAndSunkenEdges) {
  EXPECT_EQ(Draw(EDGE_RAISED, BF_RECT), Rows({"LLLLLD", "LHHHSD", "LH..SD", "LH..SD", "LSSSSD", "DDDDDD"}));
  EXPECT_EQ(Draw(EDGE_SUNKEN, BF_RECT), Rows({"SSSSSH", "SDDDLH", "SD..LH", "SD..LH", "SLLLLH", "HHHHHH"}));
  EXPECT_EQ(Draw(BDR_RAISEDOUTER, BF_RECT), Rows({"LLLLLD", "L....D", "L....D", "L....D", "L....D", "DDDDDD"}));
}

TEST_F(GdiDrawEdge, SidesMiddleAndAdjust) {
  EXPECT_EQ(Draw(BDR_RAISEDINNER, BF_TOPLEFT), Rows({"HHHHHH", "H.....", "H.....", "H.....", "H.....", "H....."}));
  RECT r;
  EXPECT_EQ(Draw(EDGE_ETCHED, BF_RECT | BF_MIDDLE | BF_ADJUST, &r),
            Rows({"SSSSSH", "SHHHSH", "SHFFSH", "SHFFSH", "SSSSSH", "HHHHHH"}));
  EXPECT_EQ(r.left, 2);
  EXPECT_EQ(r.top, 2);
  EXPECT_EQ(r.right, 4);
  EXPECT_EQ(r.bottom, 4);
}

TEST(GdiShape, IconDrawsMaskThenColour) {
  // 2 x 1 icon: left pixel opaque red, right pixel transparent.
  const uint8_t maskBits[2] = {0x40, 0};  // AND: 0 keeps colour, 1 keeps background
  HBITMAP mask = CreateBitmap(2, 1, 1, 1, maskBits);
  Canvas color(2, 1, 24);
  SetPixel(color.Dc(), 0, 0, kRed);
  SetPixel(color.Dc(), 1, 0, kBlack);
  ICONINFO ii;
  ii.hbmMask = mask;
  ii.hbmColor = color.Bitmap();
  HICON icon = CreateIconIndirect(&ii);
  ASSERT_NE(icon, 0u);
  DeleteObject(mask);
  Canvas dst(4, 2, 24);
  dst.Fill(kBlue);
  EXPECT_TRUE(DrawIconEx(dst.Dc(), 1, 0, icon, 0, 0, 0, 0, DI_NORMAL));
  EXPECT_TRUE(DrawIconEx(dst.Dc(), 0, 1, icon, 4, 1, 0, 0, DI_NORMAL));
  EXPECT_EQ(dst.Art({{kRed, 'r'}, {kBlue, 'b'}}), Rows({"brbb", "rrbb"}));
  ICONINFO back;
  ASSERT_TRUE(GetIconInfo(icon, &back));
  EXPECT_NE(back.hbmMask, 0u);
  EXPECT_NE(back.hbmColor, 0u);
  DeleteObject(back.hbmMask);
  DeleteObject(back.hbmColor);
  EXPECT_TRUE(DestroyIcon(icon));
  EXPECT_FALSE(DrawIconEx(dst.Dc(), 0, 0, icon, 0, 0, 0, 0, DI_NORMAL));
}

}  // namespace

namespace {

TEST(GdiShape, HugeFiguresDrawOnlyTheirVisiblePart) {
  Canvas c(8, 8, 24);
  c.Fill(kWhite);
  const int big = 1 << 30;
  SelectObject(c.Dc(), GetStockObject(BLACK_BRUSH));
  EXPECT_TRUE(Ellipse(c.Dc(), -big, -big, big, big));
  EXPECT_EQ(c.Pixel(4, 4), kBlack);
  c.Fill(kWhite);
  EXPECT_TRUE(Rectangle(c.Dc(), -big, 2, big, 4));
  EXPECT_EQ(c.Ink(kWhite).substr(2 * 9, 18), "########\n########\n");
  HPEN dash = CreatePen(PS_DASH, 1, kRed);
  SelectObject(c.Dc(), dash);
  MoveToEx(c.Dc(), -big, 6, nullptr);
  EXPECT_TRUE(LineTo(c.Dc(), big, 6));
  const POINT tall[] = {{0, -big}, {4, big}, {8, -big}};
  EXPECT_TRUE(Polygon(c.Dc(), tall, 3));
  SelectObject(c.Dc(), GetStockObject(BLACK_PEN));
  DeleteObject(dash);
  EXPECT_EQ(CreatePolygonRgn(tall, 3, ALTERNATE), 0u) << "too tall for a region";
}

}  // namespace

// A monochrome cursor from AND and XOR planes: black, white, the screen, and the
// screen inverted, with its hot spot.
TEST(GdiShape, MonochromeCursorFromTwoPlanes) {
  // 4 x 1: AND 0011, XOR 0101 (rows padded to 16 bits).
  const uint8_t andBits[2] = {0x30, 0};
  const uint8_t xorBits[2] = {0x50, 0};
  HCURSOR cursor = CreateCursor(0, 3, 0, 4, 1, andBits, xorBits);
  ASSERT_NE(cursor, 0u);
  Canvas dst(4, 1, 24);
  dst.Fill(kRed);
  EXPECT_TRUE(DrawIconEx(dst.Dc(), 0, 0, cursor, 0, 0, 0, 0, DI_NORMAL));
  EXPECT_EQ(GetPixel(dst.Dc(), 0, 0), kBlack);
  EXPECT_EQ(GetPixel(dst.Dc(), 1, 0), kWhite);
  EXPECT_EQ(GetPixel(dst.Dc(), 2, 0), kRed);
  EXPECT_EQ(GetPixel(dst.Dc(), 3, 0), RGB(0, 255, 255));  // red inverted
  ICONINFO info;
  ASSERT_TRUE(GetIconInfo(cursor, &info));
  EXPECT_FALSE(info.fIcon);
  EXPECT_EQ(info.xHotspot, 3u);
  EXPECT_EQ(info.yHotspot, 0u);
  EXPECT_EQ(info.hbmColor, 0u);
  BITMAP bm{};
  ASSERT_NE(GetObject(info.hbmMask, sizeof bm, &bm), 0);
  EXPECT_EQ(bm.bmWidth, 4);
  EXPECT_EQ(bm.bmHeight, 2);  // AND above XOR
  DeleteObject(info.hbmMask);
  EXPECT_TRUE(DestroyCursor(cursor));
  EXPECT_FALSE(DestroyCursor(cursor));
  // Bad sizes and missing planes make nothing.
  EXPECT_EQ(CreateCursor(0, 0, 0, 0, 1, andBits, xorBits), 0u);
  EXPECT_EQ(CreateCursor(0, 0, 0, 4, 1, nullptr, xorBits), 0u);
}
