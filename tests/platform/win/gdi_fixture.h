// Small surfaces for GDI tests: a memory DC holding a DIB section, pixels read back
// as ASCII art, and a PNG of the surface when a comparison fails.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "platform/sim/Screen.h"
#include "platform/win/Gdi.h"

namespace gditest {

inline constexpr COLORREF kBlack = RGB(0, 0, 0);
inline constexpr COLORREF kWhite = RGB(255, 255, 255);
inline constexpr COLORREF kRed = RGB(255, 0, 0);
inline constexpr COLORREF kGreen = RGB(0, 255, 0);
inline constexpr COLORREF kBlue = RGB(0, 0, 255);

// A BITMAPINFO with room for a full colour table (or three masks).
struct Info {
  BITMAPINFOHEADER Header;
  RGBQUAD Colors[256] = {};

  Info(int width, int height, int bpp, std::vector<COLORREF> table = {}, DWORD compression = BI_RGB) {
    Header.biSize = sizeof(BITMAPINFOHEADER);
    Header.biWidth = width;
    Header.biHeight = height;
    Header.biPlanes = 1;
    Header.biBitCount = static_cast<WORD>(bpp);
    Header.biCompression = compression;
    Header.biClrUsed = static_cast<DWORD>(table.size());
    for (size_t i = 0; i < table.size(); ++i)
      Colors[i] = RGBQUAD{GetBValue(table[i]), GetGValue(table[i]), GetRValue(table[i]), 0};
  }
  // 5-6-5 masks for a 16-bit BI_BITFIELDS header.
  void Masks565() {
    Header.biCompression = BI_BITFIELDS;
    Header.biClrUsed = 0;
    DWORD m[3] = {0xF800, 0x07E0, 0x001F};
    std::memcpy(Colors, m, sizeof(m));
  }
  BITMAPINFO* Get() { return reinterpret_cast<BITMAPINFO*>(this); }
};

// The standard colour tables the tests use for the palettised depths.
inline std::vector<COLORREF> TableFor(int bpp) {
  std::vector<COLORREF> t;
  if (bpp == 1) t = {kBlack, kWhite};
  if (bpp == 4 || bpp == 8) {
    t = {kBlack, kWhite, kRed, kGreen, kBlue, RGB(255, 255, 0), RGB(0, 255, 255), RGB(255, 0, 255),
         RGB(128, 128, 128), RGB(192, 192, 192), RGB(128, 0, 0), RGB(0, 128, 0), RGB(0, 0, 128),
         RGB(128, 128, 0), RGB(0, 128, 128), RGB(128, 0, 128)};
  }
  return t;
}

// A memory DC with a DIB section of the given format selected (bpp 15 means 16-bit
// 5-5-5, 16 means 5-6-5 bitfields).
class Canvas {
 public:
  Canvas(int width, int height, int bpp, std::vector<COLORREF> table = {}, bool topDown = false)
      : width_(width), height_(height) {
    int bits = bpp == 15 ? 16 : bpp;
    if (table.empty()) table = TableFor(bpp);
    Info info(width, topDown ? -height : height, bits, table);
    if (bpp == 16) info.Masks565();
    dc_ = CreateCompatibleDC(0);
    bmp_ = CreateDIBSection(dc_, info.Get(), DIB_RGB_COLORS, &bits_, 0, 0);
    old_ = SelectObject(dc_, bmp_);
  }
  ~Canvas() {
    SelectObject(dc_, old_);
    DeleteObject(bmp_);
    DeleteDC(dc_);
  }
  Canvas(const Canvas&) = delete;
  Canvas& operator=(const Canvas&) = delete;

  HDC Dc() const { return dc_; }
  HBITMAP Bitmap() const { return bmp_; }
  void* Bits() const { return bits_; }
  int Width() const { return width_; }
  int Height() const { return height_; }

  void Fill(COLORREF c) {
    HBRUSH b = CreateSolidBrush(c);
    RECT r{0, 0, width_, height_};
    FillRect(dc_, &r, b);
    DeleteObject(b);
  }
  COLORREF Pixel(int x, int y) const { return GetPixel(dc_, x, y); }

  // One character per pixel: legend maps colours to characters, '?' for others.
  std::string Art(const std::map<COLORREF, char>& legend) const {
    std::string out;
    for (int y = 0; y < height_; ++y) {
      for (int x = 0; x < width_; ++x) {
        auto it = legend.find(Pixel(x, y));
        out += it == legend.end() ? '?' : it->second;
      }
      out += '\n';
    }
    return out;
  }
  // '#' for ink (anything not the background), '.' for background.
  std::string Ink(COLORREF background) const {
    std::string out;
    for (int y = 0; y < height_; ++y) {
      for (int x = 0; x < width_; ++x) out += Pixel(x, y) == background ? '.' : '#';
      out += '\n';
    }
    return out;
  }
  // Writes the surface next to the test binary for a person to look at.
  void Dump(const std::string& name) const {
    sim::SaveDCPng(dc_, std::string(LARK_TEST_BINARY_DIR) + "/" + name + ".png");
  }

 private:
  int width_;
  int height_;
  HDC dc_ = 0;
  HBITMAP bmp_ = 0;
  HGDIOBJ old_ = 0;
  void* bits_ = nullptr;
};

// Rows of ASCII art joined with newlines, as Canvas::Art returns them.
inline std::string Rows(std::initializer_list<const char*> rows) {
  std::string out;
  for (const char* r : rows) {
    out += r;
    out += '\n';
  }
  return out;
}

}  // namespace gditest
