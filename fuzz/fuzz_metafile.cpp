// WMF and EMF files come from disk and from the web (a load by extension ends in the
// metafile reader): arbitrary bytes either raise EInvalidGraphic or play back onto a
// small surface, in time bounded by the file, without reading outside it.
#include <cstdint>
#include <cstdlib>

#include "platform/rtl/Streams.h"
#include "platform/vcl/Metafile.h"
#include "platform/win/Gdi.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TMemoryStream input;
  input.WriteBuffer(data, static_cast<Integer>(size));
  input.SetPosition(0);
  TMetafile metafile;
  try {
    metafile.LoadFromStream(&input);
  } catch (const EInvalidGraphic&) {
    return 0;
  } catch (const EReadError&) {
    return 0;
  }
  if (metafile.GetWidth() < 0 || metafile.GetHeight() < 0) std::abort();
  // Played onto a small surface, as the import does once it has sized the picture.
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = 64;
  info.bmiHeader.biHeight = -48;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  void* bits = nullptr;
  const HBITMAP bitmap = ::CreateDIBSection(0, &info, DIB_RGB_COLORS, &bits, 0, 0);
  const HDC dc = ::CreateCompatibleDC(0);
  const HGDIOBJ old = ::SelectObject(dc, bitmap);
  metafile.PlayOn(dc, RECT{0, 0, 64, 48});
  ::SelectObject(dc, old);
  ::DeleteDC(dc);
  ::DeleteObject(bitmap);
  return 0;
}
