// Cursors made from two bit planes: monochrome icons (the AND plane above the XOR
// plane in one mask).
#include "platform/win/Cursors.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/win/Gdi.h"

HCURSOR CreateCursor(HINSTANCE, Integer xHotSpot, Integer yHotSpot, Integer width,
                     Integer height, const void* andPlane, const void* xorPlane) {
  if (width <= 0 || height <= 0 || width > 256 || height > 256 || andPlane == nullptr ||
      xorPlane == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  // A monochrome icon: the AND plane above the XOR plane in one mask twice as high.
  const size_t rowBytes = static_cast<size_t>((width + 15) / 16 * 2);
  const size_t planeBytes = rowBytes * static_cast<size_t>(height);
  std::vector<Byte> bits(planeBytes * 2);
  std::memcpy(bits.data(), andPlane, planeBytes);
  std::memcpy(bits.data() + planeBytes, xorPlane, planeBytes);
  ICONINFO info{};
  info.fIcon = FALSE;
  info.xHotspot = static_cast<DWORD>(std::clamp(xHotSpot, 0, width - 1));
  info.yHotspot = static_cast<DWORD>(std::clamp(yHotSpot, 0, height - 1));
  info.hbmMask = CreateBitmap(width, height * 2, 1, 1, bits.data());
  info.hbmColor = 0;
  if (info.hbmMask == 0) return 0;
  const HICON cursor = CreateIconIndirect(&info);
  DeleteObject(info.hbmMask);
  return cursor;
}

BOOL DestroyCursor(HCURSOR cursor) { return DestroyIcon(cursor); }
