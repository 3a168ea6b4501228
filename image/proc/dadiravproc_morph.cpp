// Grey-keyed dilation and erosion of colour images, and opening and closing.
#include <algorithm>
#include <vector>

#include "image/model/iebitmap.h"
#include "image/proc/dadiravproc.h"
#include "image/proc/dadiravproc_internal.h"

using namespace dadiravproc_detail;

namespace {

// One pass over the rectangle: every pixel takes the colour of the brightest
// (maximum) or darkest pixel of its window, the window clamped to the rectangle.
// The first position in scan order wins among equals; the pixel keeps its own colour
// when no position beats the start value (grey 0 for maximum, 255 for minimum).
void MorphPass(TIEBitmap* bitmap, Integer winSize, bool maximum, Integer x1, Integer y1,
               Integer x2, Integer y2, Integer pass, Integer passes,
               const TIEProgressEvent& onProgress, TObject* sender) {
  const Integer w = x2 - x1, h = y2 - y1;
  std::vector<TRGB> colors(static_cast<size_t>(w) * h);
  std::vector<Byte> grays(colors.size());
  for (Integer y = 0; y < h; ++y) {
    const TRGB* row = static_cast<const TRGB*>(bitmap->GetScanLine(y1 + y)) + x1;
    std::copy_n(row, w, colors.data() + static_cast<size_t>(y) * w);
    for (Integer x = 0; x < w; ++x)
      grays[static_cast<size_t>(y) * w + x] = static_cast<Byte>(Gray(row[x].r, row[x].g, row[x].b));
  }
  const Integer span = 2 * winSize + 1;
  // Clamped row starts of the window for the current row, and clamped column
  // offsets for the current column.
  std::vector<Integer> wr(static_cast<size_t>(span)), wc(static_cast<size_t>(span));
  const double per = 100.0 / (h - 0.5) / passes;
  for (Integer y = 0; y < h; ++y) {
    TRGB* out = static_cast<TRGB*>(bitmap->GetScanLine(y1 + y)) + x1;
    for (Integer k = 0; k < span; ++k)
      wr[static_cast<size_t>(k)] = std::clamp(y + k - winSize, 0, h - 1) * w;
    for (Integer x = 0; x < w; ++x) {
      for (Integer k = 0; k < span; ++k)
        wc[static_cast<size_t>(k)] = std::clamp(x + k - winSize, 0, w - 1);
      Integer best = maximum ? 0 : 255;
      Integer winner = y * w + x;
      for (Integer i = 0; i < span; ++i) {
        const Byte* g = grays.data() + wr[static_cast<size_t>(i)];
        for (Integer j = 0; j < span; ++j) {
          const Integer v = g[wc[static_cast<size_t>(j)]];
          if (maximum ? v > best : v < best) {
            best = v;
            winner = wr[static_cast<size_t>(i)] + wc[static_cast<size_t>(j)];
          }
        }
      }
      out[x] = colors[static_cast<size_t>(winner)];
    }
    if (onProgress) {
      const Integer p = static_cast<Integer>((y + 1 + pass * h) * per);
      onProgress(sender, std::clamp(p, 0, 100));
    }
  }
}

}  // namespace

void _MorphFilter(TIEBitmap* bitmap, Integer winSize, Integer operation, Integer x1, Integer y1,
                  Integer x2, Integer y2, const TIEProgressEvent& onProgress, TObject* sender) {
  if (!HasPixels(bitmap) || bitmap->GetPixelFormat() != ie24RGB) return;
  if (operation < 0 || operation > 3 || winSize < 0) return;
  if (!ClipRect(bitmap->GetWidth(), bitmap->GetHeight(), x1, y1, x2, y2)) return;
  // A window wider than the rectangle sees nothing more than one as wide as it.
  winSize = std::min(winSize, std::max(x2 - x1, y2 - y1));
  static constexpr bool kOrder[4][2] = {{true, true}, {false, false}, {false, true}, {true, false}};
  const Integer passes = operation < 2 ? 1 : 2;
  for (Integer pass = 0; pass < passes; ++pass)
    MorphPass(bitmap, winSize, kOrder[operation][pass], x1, y1, x2, y2, pass, passes, onProgress,
              sender);
}
