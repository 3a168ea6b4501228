// The image views' cursors, drawn in code: black strokes with a white halo, so they
// show on any picture, turned into monochrome cursors of 32 x 32.
#include "image/views/dadiravview_cursors.h"

#include <array>
#include <cmath>
#include <cstdlib>
#include <mutex>

#include "platform/vcl/Forms.h"
#include "platform/win/Cursors.h"
#include "platform/win/Gdi.h"

const TIEViewCursorInfo kIEViewCursors[18] = {
    {crIEZoomOut, "ZOOMMENO", 10, 10},   {crIEZoomIn, "ZOOMPIU", 10, 10},
    {crIECross, "CROCE", 16, 15},        {crIEEraser, "GOMMA", 10, 7},
    {crIEHand, "MANO", 8, 7},            {crIEPen, "PENNA", 2, 29},
    {crIECross1, "CROCE1", 16, 15},      {crIECross3, "CROCE3", 16, 15},
    {crIEMoveAll, "MOVE2", 15, 15},      {crIEMoveVertical, "MOVEY", 15, 15},
    {crIEMoveDiagonal, "MOVE1", 15, 15}, {crIEMoveHorizontal, "MOVEX", 15, 15},
    {crIEMove, "MOVE", 10, 10},          {crIECross3Add, "CROCE3+", 16, 15},
    {crIECross3Sub, "CROCE3-", 16, 15},  {crIECross2, "CROCE2", 16, 15},
    {crIECross2Add, "CROCE2+", 16, 15},  {crIECross2Sub, "CROCE2-", 15, 16},
};

namespace {

constexpr Integer kSize = 32;

// A cursor picture: 'X' black, '.' white, ' ' clear.
class Picture {
 public:
  Picture() {
    for (auto& row : cells_) row.fill(' ');
  }
  void Dot(Integer x, Integer y, char c = 'X') {
    if (x >= 0 && y >= 0 && x < kSize && y < kSize) cells_[y][x] = c;
  }
  void Line(Integer x0, Integer y0, Integer x1, Integer y1, char c = 'X') {
    const Integer dx = std::abs(x1 - x0), dy = -std::abs(y1 - y0);
    const Integer sx = x0 < x1 ? 1 : -1, sy = y0 < y1 ? 1 : -1;
    Integer err = dx + dy;
    for (;;) {
      Dot(x0, y0, c);
      if (x0 == x1 && y0 == y1) break;
      const Integer e2 = 2 * err;
      if (e2 >= dy) {
        err += dy;
        x0 += sx;
      }
      if (e2 <= dx) {
        err += dx;
        y0 += sy;
      }
    }
  }
  // A cross of arms `arm` around (cx, cy), leaving `gap` pixels free at the centre.
  void Cross(Integer cx, Integer cy, Integer arm, Integer gap) {
    for (Integer d = -arm; d <= arm; ++d) {
      if (std::abs(d) < gap) continue;
      Dot(cx + d, cy);
      Dot(cx, cy + d);
    }
  }
  void Circle(Integer cx, Integer cy, Integer r) {
    for (Integer a = 0; a < 360; a += 2) {
      const double t = a * 3.14159265358979 / 180;
      Dot(cx + static_cast<Integer>(std::lround(r * std::cos(t))),
          cy + static_cast<Integer>(std::lround(r * std::sin(t))));
    }
  }
  void Frame(Integer x1, Integer y1, Integer x2, Integer y2, char inside = '.') {
    for (Integer y = y1; y <= y2; ++y)
      for (Integer x = x1; x <= x2; ++x)
        Dot(x, y, (x == x1 || x == x2 || y == y1 || y == y2) ? 'X' : inside);
  }
  // A small plus or minus sign centred on (cx, cy).
  void Sign(Integer cx, Integer cy, bool plus) {
    Line(cx - 3, cy, cx + 3, cy);
    if (plus) Line(cx, cy - 3, cx, cy + 3);
  }
  // An arrow head at (x, y) pointing along (dx, dy) (each -1, 0 or 1).
  void Head(Integer x, Integer y, Integer dx, Integer dy) {
    for (Integer i = 1; i <= 3; ++i) {
      if (dx == 0 || dy == 0) {
        // Across the arrow's line, i pixels back from the tip.
        const Integer bx = x - dx * i, by = y - dy * i;
        Line(bx - dy * i, by - dx * i, bx + dy * i, by + dx * i);
      } else {
        Line(x - dx * i, y, x - dx * i, y - dy * i);
        Line(x, y - dy * i, x - dx * i, y - dy * i);
      }
    }
  }
  void DoubleArrow(Integer x0, Integer y0, Integer x1, Integer y1) {
    Line(x0, y0, x1, y1);
    const auto sgn = [](Integer v) { return v > 0 ? 1 : v < 0 ? -1 : 0; };
    Head(x1, y1, sgn(x1 - x0), sgn(y1 - y0));
    Head(x0, y0, sgn(x0 - x1), sgn(y0 - y1));
  }
  // Every clear pixel next to a black one turns white.
  void Halo() {
    auto copy = cells_;
    for (Integer y = 0; y < kSize; ++y)
      for (Integer x = 0; x < kSize; ++x) {
        if (copy[y][x] != ' ') continue;
        for (Integer dy = -1; dy <= 1 && cells_[y][x] == ' '; ++dy)
          for (Integer dx = -1; dx <= 1; ++dx) {
            const Integer nx = x + dx, ny = y + dy;
            if (nx >= 0 && ny >= 0 && nx < kSize && ny < kSize && copy[ny][nx] == 'X') {
              cells_[y][x] = '.';
              break;
            }
          }
      }
  }
  HCURSOR Make(Integer hotX, Integer hotY) const {
    // Rows of 32 bits: AND 1 keeps the screen, XOR 1 makes white.
    std::array<Byte, kSize * 4> andPlane{}, xorPlane{};
    andPlane.fill(0xFF);
    for (Integer y = 0; y < kSize; ++y)
      for (Integer x = 0; x < kSize; ++x) {
        const char c = cells_[y][x];
        if (c == ' ') continue;
        const size_t i = static_cast<size_t>(y * 4 + x / 8);
        const auto bit = static_cast<Byte>(0x80 >> (x % 8));
        andPlane[i] &= static_cast<Byte>(~bit);
        if (c == '.') xorPlane[i] |= bit;
      }
    return CreateCursor(0, hotX, hotY, kSize, kSize, andPlane.data(), xorPlane.data());
  }

 private:
  std::array<std::array<char, kSize>, kSize> cells_;
};

void Magnifier(Picture& p, bool plus) {
  p.Circle(10, 10, 7);
  p.Circle(10, 10, 8);
  for (Integer i = 0; i < 3; ++i) p.Line(16 + i, 15, 24 + i, 23);
  p.Sign(10, 10, plus);
}

void Hand(Picture& p) {
  // Four fingers, a thumb and the palm, the fingertips at the top.
  for (Integer f = 0; f < 4; ++f) {
    const Integer x = 5 + f * 3;
    p.Frame(x, 3 + (f == 0 || f == 3 ? 2 : 0), x + 3, 14);
  }
  p.Frame(1, 10, 5, 14);
  p.Frame(4, 13, 17, 22);
  for (Integer x = 5; x < 17; ++x) p.Dot(x, 14, '.');
}

HCURSOR Draw(const TIEViewCursorInfo& info) {
  Picture p;
  const Integer hx = info.hotX, hy = info.hotY;
  switch (info.number) {
    case crIEZoomOut: Magnifier(p, false); break;
    case crIEZoomIn: Magnifier(p, true); break;
    case crIECross: p.Cross(hx, hy, 10, 0); break;
    case crIEEraser:
      p.Frame(3, 2, 17, 12);
      p.Line(8, 3, 8, 11);
      break;
    case crIEHand: Hand(p); break;
    case crIEPen:
      // The nib at the hot spot, the barrel up to the right.
      p.Line(hx, hy, hx + 4, hy - 2);
      p.Line(hx, hy, hx + 2, hy - 4);
      p.Line(hx + 4, hy - 2, hx + 22, hy - 20);
      p.Line(hx + 2, hy - 4, hx + 20, hy - 22);
      p.Line(hx + 20, hy - 22, hx + 22, hy - 20);
      p.Line(hx + 3, hy - 3, hx + 21, hy - 21, '.');
      break;
    case crIECross1: p.Cross(hx, hy, 10, 3); break;
    case crIECross3:
    case crIECross3Add:
    case crIECross3Sub:
      p.Cross(hx, hy, 9, 2);
      p.Dot(hx, hy);
      if (info.number != crIECross3) p.Sign(hx + 10, hy + 10, info.number == crIECross3Add);
      break;
    case crIECross2:
    case crIECross2Add:
    case crIECross2Sub:
      p.Cross(hx, hy, 8, 0);
      p.Frame(hx + 5, hy + 5, hx + 12, hy + 11, ' ');
      if (info.number != crIECross2) p.Sign(hx + 10, hy - 9, info.number == crIECross2Add);
      break;
    case crIEMoveAll:
    case crIEMove: {
      const Integer arm = info.number == crIEMove ? 8 : 10;
      p.DoubleArrow(hx - arm, hy, hx + arm, hy);
      p.DoubleArrow(hx, hy - arm, hx, hy + arm);
      break;
    }
    case crIEMoveVertical: p.DoubleArrow(hx, hy - 10, hx, hy + 10); break;
    case crIEMoveHorizontal: p.DoubleArrow(hx - 10, hy, hx + 10, hy); break;
    case crIEMoveDiagonal: p.DoubleArrow(hx - 8, hy - 8, hx + 8, hy + 8); break;
    default: break;
  }
  p.Halo();
  return p.Make(hx, hy);
}

}  // namespace

void IERegisterViewCursors() {
  // Made once for the process and never destroyed: the screen keeps them registered
  // as long as the program runs.
  static std::once_flag once;
  static std::array<HCURSOR, 18> handles{};
  std::call_once(once, [] {
    for (size_t i = 0; i < handles.size(); ++i) handles[i] = Draw(kIEViewCursors[i]);
  });
  for (size_t i = 0; i < handles.size(); ++i)
    if (Screen->Cursors(kIEViewCursors[i].number) != handles[i])
      Screen->SetCursors(kIEViewCursors[i].number, handles[i]);
}
