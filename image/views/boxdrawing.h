// The drawing of the histogram, HSV and ruler boxes: a bitmap the size of the box's
// client area, redrawn whole when that size changes and copied to the screen on paint.
#pragma once

#include <algorithm>

#include "platform/vcl/Controls.h"
#include "platform/vcl/Graphics.h"

// Gives drawing the client size of box, with or without a window (a window made later
// at the stored size sends no size message). True when the size changed, so the
// caller draws again.
inline bool FitDrawingToClient(TControl* box, TBitmap* drawing) {
  const Integer w = std::max(box->GetClientWidth(), 0), h = std::max(box->GetClientHeight(), 0);
  if (drawing == nullptr || (drawing->GetWidth() == w && drawing->GetHeight() == h)) return false;
  drawing->SetSize(w, h);
  return true;
}
