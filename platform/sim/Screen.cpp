// The virtual screen's settings, and PNG pictures of surfaces.
#include "platform/sim/Screen.h"

#include <zlib.h>

#include <cstdio>
#include <vector>

#include "platform/win/Display.h"
#include "platform/win/GdiInternal.h"
#include "platform/win/Window.h"

namespace sim {

namespace {

void PutBE32(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v >> 24));
  out.push_back(static_cast<uint8_t>(v >> 16));
  out.push_back(static_cast<uint8_t>(v >> 8));
  out.push_back(static_cast<uint8_t>(v));
}

void Chunk(std::vector<uint8_t>& out, const char* type, const std::vector<uint8_t>& data) {
  PutBE32(out, static_cast<uint32_t>(data.size()));
  size_t start = out.size();
  out.insert(out.end(), type, type + 4);
  out.insert(out.end(), data.begin(), data.end());
  uLong crc = crc32(0L, out.data() + start, static_cast<uInt>(out.size() - start));
  PutBE32(out, static_cast<uint32_t>(crc));
}

bool WritePng(const gdi::Surface& s, const std::string& path);

bool WritePixels(const std::vector<uint32_t>& pixels, Integer width, Integer height, const std::string& path) {
  gdi::Surface s;
  s.Width = width;
  s.Height = height;
  s.Bpp = 32;
  s.Stride = width * 4;
  s.TopDown = true;
  s.Bits = reinterpret_cast<uint8_t*>(const_cast<uint32_t*>(pixels.data()));
  gdi::SetDefaultMasks(s);
  return WritePng(s, path);
}

bool WritePng(const gdi::Surface& s, const std::string& path) {
  if (s.Width <= 0 || s.Height <= 0) return false;
  // Filter byte 0 and R, G, B per pixel for each row, top row first.
  std::vector<uint8_t> raw;
  raw.reserve(static_cast<size_t>(s.Height) * (1 + 3 * static_cast<size_t>(s.Width)));
  std::vector<uint32_t> row(static_cast<size_t>(s.Width));
  gdi::ColorDecoder dec(s, std::nullopt, std::nullopt);
  for (Integer y = 0; y < s.Height; ++y) {
    gdi::ReadValues(s, y, 0, s.Width, row.data());
    dec.DecodeRow(row.data(), row.data(), s.Width);
    raw.push_back(0);
    for (uint32_t c : row) {
      raw.push_back(static_cast<uint8_t>(c >> 16));
      raw.push_back(static_cast<uint8_t>(c >> 8));
      raw.push_back(static_cast<uint8_t>(c));
    }
  }
  uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
  std::vector<uint8_t> packed(packedSize);
  if (compress2(packed.data(), &packedSize, raw.data(), static_cast<uLong>(raw.size()), 6) != Z_OK) return false;
  packed.resize(packedSize);

  std::vector<uint8_t> file = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::vector<uint8_t> ihdr;
  PutBE32(ihdr, static_cast<uint32_t>(s.Width));
  PutBE32(ihdr, static_cast<uint32_t>(s.Height));
  ihdr.insert(ihdr.end(), {8, 2, 0, 0, 0});  // 8-bit RGB, deflate, no filter choice, no interlace
  Chunk(file, "IHDR", ihdr);
  Chunk(file, "IDAT", packed);
  Chunk(file, "IEND", {});

  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = std::fwrite(file.data(), 1, file.size(), f) == file.size();
  ok = std::fclose(f) == 0 && ok;
  return ok;
}

}  // namespace

bool SetScreenSize(int width, int height, int bitsPerPixel) {
  return gdi::SetScreen(width, height, bitsPerPixel);
}

bool SetScreenOrigin(int x, int y) { return gdi::SetScreenOrigin(x, y); }

void SetScreenDpi(int dpiX, int dpiY) { gdi::SetDpi(dpiX, dpiY); }

void SetSysColor(int index, COLORREF color) { gdi::SetSysColorValue(index, color); }

void SetSystemMetric(int index, int value) { gdi::SetMetric(index, value); }

bool UseFreeTypeFonts(bool on) { return SetFontEngine(on ? FontEngine::FreeType : FontEngine::BuiltIn); }

void ResetScreen() {
  gdi::ResetSystem();
  SetFontEngine(FontEngine::BuiltIn);
}

bool SaveBitmapPng(HBITMAP bitmap, const std::string& path) {
  auto b = gdi::FindBitmap(bitmap);
  return b && WritePng(*b->Surf, path);
}

bool SaveDCPng(HDC hdc, const std::string& path) {
  auto dc = gdi::FindDC(hdc);
  if (!dc) return false;
  auto b = dc->Target();
  return b && WritePng(*b->Surf, path);
}

bool SaveDibPng(const BITMAPINFO* info, const void* bits, const std::string& path) {
  gdi::Surface view;
  if (!gdi::DibView(info, bits, DIB_RGB_COLORS, nullptr, view)) return false;
  return WritePng(view, path);
}

bool SaveWindowPng(HWND hWnd, const std::string& path) {
  const HWND top = GetAncestor(hWnd, GA_ROOT);
  std::vector<uint32_t> pixels;
  Integer w = 0, h = 0;
  if (!larkwin::NullBackend().Frame(top != 0 ? top : hWnd, &pixels, &w, &h)) return false;
  return WritePixels(pixels, w, h, path);
}

bool SaveScreenPng(const std::string& path) {
  std::vector<uint32_t> pixels;
  Integer w = 0, h = 0;
  larkwin::NullBackend().ComposeScreen(&pixels, &w, &h);
  return WritePixels(pixels, w, h, path);
}

COLORREF FramePixel(HWND topLevel, int x, int y) {
  std::vector<uint32_t> pixels;
  Integer w = 0, h = 0;
  if (!larkwin::NullBackend().Frame(topLevel, &pixels, &w, &h)) return CLR_INVALID;
  if (x < 0 || y < 0 || x >= w || y >= h) return CLR_INVALID;
  return gdi::ColorRefOf(pixels[static_cast<size_t>(y) * static_cast<size_t>(w) + static_cast<size_t>(x)] & 0xFFFFFF);
}

HCURSOR DisplayedCursor() { return larkwin::NullBackend().ShownCursor(); }

HWND PointerGrabbedBy() { return larkwin::NullBackend().PointerGrab(); }

int Beeps() { return larkwin::NullBackend().Beeps(); }

}  // namespace sim
