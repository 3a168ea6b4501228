// Helpers of the standard control tests: a form shown and pumped, steps run from inside
// a modal loop, and the pixels a person sees.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>

#include "platform/sim/Input.h"
#include "platform/sim/Screen.h"
#include "platform/vcl/Application.h"
#include "platform/vcl/Forms.h"
#include "tests/support/Pump.h"
#include "tests/support/Steps.h"

namespace stdtest {

// Handles every message the way the application does (dialog keys included), then
// everything else until the loop is idle (paints included).
inline void Pump() {
  Application->ProcessMessages();
  larktest::PumpUntilIdle();
  Application->ProcessMessages();
}

using larktest::Steps;

// The colour a person sees at a point of a control's client area.
inline COLORREF Pixel(TWinControl* control, int x, int y) {
  HWND top = GetAncestor(control->GetHandle(), GA_ROOT);
  RECT window;
  GetWindowRect(top, &window);
  POINT origin{x, y};
  ClientToScreen(control->GetHandle(), &origin);
  return sim::FramePixel(top, origin.x - window.left, origin.y - window.top);
}

// A checksum (FNV-1a) of a rectangle of a control's client area, read from its
// top-level window's surface (what the display was given), children included.
inline uint64_t Checksum(TWinControl* control, const RECT& r) {
  HWND top = GetAncestor(control->GetHandle(), GA_ROOT);
  // The window's DC would leave out its children: read through one that does not.
  const LONG_PTR style = GetWindowLong(top, GWL_STYLE);
  SetWindowLong(top, GWL_STYLE, style & ~static_cast<LONG_PTR>(WS_CLIPCHILDREN));
  HDC dc = GetWindowDC(top);
  SetWindowLong(top, GWL_STYLE, style);
  RECT window;
  GetWindowRect(top, &window);
  POINT origin{0, 0};
  ClientToScreen(control->GetHandle(), &origin);
  const int dx = origin.x - window.left;
  const int dy = origin.y - window.top;
  uint64_t h = 1469598103934665603ull;
  for (int y = r.top; y < r.bottom; ++y) {
    for (int x = r.left; x < r.right; ++x) {
      const COLORREF c = GetPixel(dc, x + dx, y + dy);
      for (int i = 0; i < 4; ++i) {
        h ^= (c >> (8 * i)) & 0xFF;
        h *= 1099511628211ull;
      }
    }
  }
  ReleaseDC(top, dc);
  return h;
}

// A person's drag, pumped between its steps: the press takes effect (capture) before
// the moves arrive, as it does when a person moves the mouse.
inline void Drag(HWND hWnd, int fromX, int fromY, int toX, int toY, unsigned modifiers = 0) {
  sim::MoveMouse(hWnd, fromX, fromY);
  Pump();
  sim::ButtonDown(sim::Button::Left, modifiers);
  Pump();
  for (int step = 1; step <= 4; ++step) {
    sim::MoveMouse(hWnd, fromX + (toX - fromX) * step / 4, fromY + (toY - fromY) * step / 4);
    Pump();
  }
  sim::ButtonUp(sim::Button::Left, modifiers);
  Pump();
}

// A form at a known place with the built-in font, shown and painted.
inline void ShowForm(TForm& form, int width = 320, int height = 240) {
  form.SetBounds(40, 40, width, height);
  form.Show();
  Pump();
}

}  // namespace stdtest
