// The classic look: frames, button faces, check boxes, radio circles and arrows.
#include "platform/vcl/ClassicLook.h"

#include <algorithm>

#include "platform/win/GdiText.h"

namespace classic {

namespace {

// Draws a small pixel pattern: each character names a colour ('.' leaves the pixel).
void DrawPattern(TCanvas* canvas, Integer x, Integer y, const char* const* rows, Integer count,
                 TColor (*colorOf)(char)) {
  for (Integer r = 0; r < count; ++r) {
    for (Integer c = 0; rows[r][c] != 0; ++c) {
      const char ch = rows[r][c];
      if (ch == '.') continue;
      canvas->SetPixel(x + c, y + r, colorOf(ch));
    }
  }
}

void FillWith(TCanvas* canvas, const TRect& rect, TColor color) {
  canvas->GetBrush()->SetStyle(bsSolid);
  canvas->GetBrush()->SetColor(color);
  canvas->FillRect(rect);
}

// One line of a frame: top and left in topLeft, bottom and right in bottomRight.
void Line3D(TCanvas* canvas, TRect& rect, TColor topLeft, TColor bottomRight) {
  Frame3D(canvas, rect, topLeft, bottomRight, 1);
}

}  // namespace

void Frame3D(TCanvas* canvas, TRect& rect, TColor topLeft, TColor bottomRight, Integer width) {
  for (Integer i = 0; i < width; ++i) {
    if (rect.right - rect.left <= 0 || rect.bottom - rect.top <= 0) return;
    // Top and left without the last pixel; bottom and right whole.
    FillWith(canvas, Rect(rect.left, rect.top, rect.right - 1, rect.top + 1), topLeft);
    FillWith(canvas, Rect(rect.left, rect.top, rect.left + 1, rect.bottom - 1), topLeft);
    FillWith(canvas, Rect(rect.left, rect.bottom - 1, rect.right, rect.bottom), bottomRight);
    FillWith(canvas, Rect(rect.right - 1, rect.top, rect.right, rect.bottom), bottomRight);
    rect.left += 1;
    rect.top += 1;
    rect.right -= 1;
    rect.bottom -= 1;
  }
}

TRect DrawFrame(TCanvas* canvas, const TRect& rect, TClassicFrame frame) {
  TRect r = rect;
  switch (frame) {
    case cfRaised:
      Line3D(canvas, r, clBtnHighlight, cl3DDkShadow);
      Line3D(canvas, r, cl3DLight, clBtnShadow);
      break;
    case cfSunken:
      Line3D(canvas, r, clBtnShadow, clBtnHighlight);
      Line3D(canvas, r, cl3DDkShadow, cl3DLight);
      break;
    case cfRaisedInner:
      Line3D(canvas, r, clBtnHighlight, clBtnShadow);
      break;
    case cfSunkenOuter:
      Line3D(canvas, r, clBtnShadow, clBtnHighlight);
      break;
    case cfEtched:
      Line3D(canvas, r, clBtnShadow, clBtnHighlight);
      Line3D(canvas, r, clBtnHighlight, clBtnShadow);
      break;
    case cfBump:
      Line3D(canvas, r, clBtnHighlight, clBtnShadow);
      Line3D(canvas, r, clBtnShadow, clBtnHighlight);
      break;
    case cfFlat:
      Line3D(canvas, r, clBtnShadow, clBtnShadow);
      break;
  }
  return r;
}

TRect DrawButtonFace(TCanvas* canvas, const TRect& rect, bool down, bool isDefault) {
  TRect r = rect;
  if (isDefault || down) Line3D(canvas, r, cl3DDkShadow, cl3DDkShadow);
  if (down) {
    Line3D(canvas, r, clBtnShadow, clBtnShadow);
    FillWith(canvas, r, clBtnFace);
    r.left += 1;
    r.top += 1;
    return r;
  }
  Line3D(canvas, r, clBtnHighlight, cl3DDkShadow);
  Line3D(canvas, r, cl3DLight, clBtnShadow);
  FillWith(canvas, r, clBtnFace);
  return r;
}

TRect DrawFlatButtonFace(TCanvas* canvas, const TRect& rect, bool down, bool hot) {
  TRect r = rect;
  FillWith(canvas, r, clBtnFace);
  if (down) {
    Line3D(canvas, r, clBtnShadow, clBtnHighlight);
    r.left += 1;
    r.top += 1;
  } else if (hot) {
    Line3D(canvas, r, clBtnHighlight, clBtnShadow);
  }
  return r;
}

void DrawFocusRect(TCanvas* canvas, const TRect& rect) {
  RECT r = rect;
  ::DrawFocusRect(canvas->GetHandle(), &r);
}

void DrawCheckBox(TCanvas* canvas, Integer x, Integer y, Integer state, bool enabled, bool pressed) {
  TRect r = Rect(x, y, x + kCheckSize, y + kCheckSize);
  r = DrawFrame(canvas, r, cfSunken);
  FillWith(canvas, r, (pressed || !enabled || state == 2) ? clBtnFace : clWindow);
  if (state == 0) return;
  static const char* const kCheck[] = {
      "......X", ".....XX", "X...XXX", "XX.XXX.", "XXXXX..", ".XXX...", "..X....",
  };
  static TColor markColor;
  markColor = !enabled ? clGrayText : state == 2 ? clBtnShadow : clWindowText;
  DrawPattern(canvas, x + 3, y + 3, kCheck, 7, [](char) { return markColor; });
}

void DrawRadioButton(TCanvas* canvas, Integer x, Integer y, bool checked, bool enabled, bool pressed) {
  // S outer shadow, H outer highlight, D inner dark shadow, L inner light, W field.
  static const char* const kCircle[] = {
      "....SSSS....", "..SSDDDDSS..", ".SDDWWWWDDH.", ".SDWWWWWWLH.",
      "SDWWWWWWWWLH", "SDWWWWWWWWLH", "SDWWWWWWWWLH", "SDWWWWWWWWLH",
      ".SDWWWWWWLH.", ".HLLWWWWLLH.", "..HHLLLLHH..", "....HHHH....",
  };
  static TColor field;
  field = (pressed || !enabled) ? clBtnFace : clWindow;
  DrawPattern(canvas, x, y, kCircle, 12, [](char ch) -> TColor {
    switch (ch) {
      case 'S': return clBtnShadow;
      case 'H': return clBtnHighlight;
      case 'D': return cl3DDkShadow;
      case 'L': return cl3DLight;
      default: return field;
    }
  });
  if (!checked) return;
  static const char* const kDot[] = {".XX.", "XXXX", "XXXX", ".XX."};
  static TColor dot;
  dot = enabled ? clWindowText : clGrayText;
  DrawPattern(canvas, x + 4, y + 4, kDot, 4, [](char) { return dot; });
}

void DrawArrow(TCanvas* canvas, const TRect& rect, TArrowDirection direction, TColor color) {
  const Integer w = rect.right - rect.left;
  const Integer h = rect.bottom - rect.top;
  // The triangle's depth: a quarter of the smaller side, at least 1, at most 4.
  const Integer depth = std::clamp(std::min(w, h) / 4, 1, 4);
  const Integer cx = rect.left + (w - 1) / 2;
  const Integer cy = rect.top + (h - 1) / 2;
  canvas->GetBrush()->SetStyle(bsSolid);
  canvas->GetBrush()->SetColor(color);
  for (Integer i = 0; i < depth; ++i) {
    switch (direction) {
      case adDown: {
        const Integer row = cy - depth / 2 + i;
        canvas->FillRect(Rect(cx - (depth - 1 - i), row, cx + (depth - i), row + 1));
        break;
      }
      case adUp: {
        const Integer row = cy - depth / 2 + i;
        canvas->FillRect(Rect(cx - i, row, cx + i + 1, row + 1));
        break;
      }
      case adRight: {
        const Integer col = cx - depth / 2 + i;
        canvas->FillRect(Rect(col, cy - (depth - 1 - i), col + 1, cy + (depth - i)));
        break;
      }
      case adLeft: {
        const Integer col = cx - depth / 2 + i;
        canvas->FillRect(Rect(col, cy - i, col + 1, cy + i + 1));
        break;
      }
    }
  }
}

void DrawArrowButton(TCanvas* canvas, const TRect& rect, TArrowDirection direction, bool down,
                     bool enabled) {
  TRect r = rect;
  if (down) {
    r = DrawFrame(canvas, r, cfFlat);
    FillWith(canvas, r, clBtnFace);
    OffsetRect(&r, 1, 1);
  } else {
    r = DrawFrame(canvas, r, cfRaised);
    FillWith(canvas, r, clBtnFace);
  }
  if (!enabled) {
    TRect shifted = r;
    OffsetRect(&shifted, 1, 1);
    DrawArrow(canvas, shifted, direction, clBtnHighlight);
    DrawArrow(canvas, r, direction, clBtnShadow);
    return;
  }
  DrawArrow(canvas, r, direction, clBtnText);
}

void DrawCaption(TCanvas* canvas, const TRect& rect, const AnsiString& text, UINT format,
                 TColor color, bool enabled) {
  canvas->TextExtent("");  // selects the canvas's font into the DC
  HDC dc = canvas->GetHandle();
  const Integer oldMode = ::SetBkMode(dc, TRANSPARENT);
  RECT r = rect;
  if (!enabled) {
    RECT shifted = r;
    OffsetRect(&shifted, 1, 1);
    ::SetTextColor(dc, static_cast<COLORREF>(ColorToRGB(clBtnHighlight)));
    ::DrawText(dc, text.data(), static_cast<Integer>(text.size()), &shifted, format);
    ::SetTextColor(dc, static_cast<COLORREF>(ColorToRGB(clBtnShadow)));
  } else {
    ::SetTextColor(dc, static_cast<COLORREF>(ColorToRGB(color)));
  }
  ::DrawText(dc, text.data(), static_cast<Integer>(text.size()), &r, format);
  ::SetBkMode(dc, oldMode);
  canvas->Refresh();
}

TSize MeasureCaption(TCanvas* canvas, const TRect& rect, const AnsiString& text, UINT format) {
  canvas->TextExtent("");
  RECT r = rect;
  ::DrawText(canvas->GetHandle(), text.data(), static_cast<Integer>(text.size()), &r,
             format | DT_CALCRECT);
  return TSize{r.right - r.left, r.bottom - r.top};
}

void FillTrack(TCanvas* canvas, const TRect& rect) {
  FillWith(canvas, rect, clBtnHighlight);
  const TColor face = clBtnFace;
  for (Integer y = rect.top; y < rect.bottom; ++y) {
    for (Integer x = rect.left + ((rect.left + y) & 1); x < rect.right; x += 2) {
      canvas->SetPixel(x, y, face);
    }
  }
}

}  // namespace classic
