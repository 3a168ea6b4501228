// Helpers for the graphics tests: raw pixel access at every depth, pattern bitmaps,
// and the Pillow peer (tests/data/vcl/bmp_peer.py) that reads and writes files.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "platform/vcl/Graphics.h"
#include "tests/support/Peers.h"

namespace vcltest {

inline const char* const Python = "/usr/bin/python3";

inline std::string PeerScript() { return std::string(LARK_TEST_DATA) + "/vcl/bmp_peer.py"; }

inline const char* FormatName(TPixelFormat format) {
  static const char* const names[] = {"pfDevice", "pf1bit",  "pf4bit",  "pf8bit",  "pf15bit",
                                      "pf16bit",  "pf24bit", "pf32bit", "pfCustom"};
  return names[static_cast<int>(format)];
}

// Bits per pixel of the storage of a format (pfDevice: the screen's 32).
inline int BitsOf(TPixelFormat format) {
  switch (format) {
    case pf1bit: return 1;
    case pf4bit: return 4;
    case pf8bit: return 8;
    case pf15bit:
    case pf16bit: return 16;
    case pf24bit: return 24;
    default: return 32;
  }
}

// The raw value of pixel (x, y) read through ScanLine: an index, or the packed bits.
inline uint32_t RawPixel(TBitmap& bitmap, int x, int y, int bits) {
  auto* row = static_cast<const uint8_t*>(bitmap.ScanLine(y));
  switch (bits) {
    case 1: return (row[x >> 3] >> (7 - (x & 7))) & 1u;
    case 4: return (row[x >> 1] >> ((x & 1) ? 0 : 4)) & 15u;
    case 8: return row[x];
    case 16: return row[2 * x] | (row[2 * x + 1] << 8);
    case 24: return row[3 * x] | (row[3 * x + 1] << 8) | (uint32_t{row[3 * x + 2]} << 16);
    default:
      return row[4 * x] | (row[4 * x + 1] << 8) | (uint32_t{row[4 * x + 2]} << 16) | (uint32_t{row[4 * x + 3]} << 24);
  }
}

inline void SetRawPixel(TBitmap& bitmap, int x, int y, int bits, uint32_t value) {
  auto* row = static_cast<uint8_t*>(bitmap.ScanLine(y));
  switch (bits) {
    case 1: {
      uint8_t bit = static_cast<uint8_t>(0x80 >> (x & 7));
      row[x >> 3] = static_cast<uint8_t>(value ? row[x >> 3] | bit : row[x >> 3] & ~bit);
      break;
    }
    case 4:
      if (x & 1) row[x >> 1] = static_cast<uint8_t>((row[x >> 1] & 0xF0) | (value & 15));
      else row[x >> 1] = static_cast<uint8_t>((row[x >> 1] & 0x0F) | ((value & 15) << 4));
      break;
    default:
      for (int i = 0; i < bits / 8; ++i) row[x * bits / 8 + i] = static_cast<uint8_t>(value >> (8 * i));
  }
}

// A value for every pixel that differs from its neighbours in each direction, within
// the colour bits of the depth (no alpha byte; 15 bits at 16).
inline uint32_t PatternValue(int x, int y, int bits) {
  uint32_t v = static_cast<uint32_t>(x * 0x2F1B7 + y * 0x91D3 + 0x1F3A5 + x * y * 0x3C1);
  if (bits >= 24) return v & 0xFFFFFF;
  if (bits == 16) return v & 0x7FFF;
  return (static_cast<uint32_t>(x * 3 + y * 5 + 1)) & ((1u << bits) - 1);
}

// A distinct colour table: entry i is never equal to entry j.
inline std::vector<PALETTEENTRY> PatternPalette(int entries) {
  std::vector<PALETTEENTRY> palette(static_cast<size_t>(entries));
  for (int i = 0; i < entries; ++i) {
    palette[i] = PALETTEENTRY{static_cast<Byte>((i * 37 + 11) & 255), static_cast<Byte>((i * 101 + 17) & 255),
                              static_cast<Byte>(255 - i), 0};
  }
  return palette;
}

inline HPALETTE MakePalette(const std::vector<PALETTEENTRY>& entries) {
  std::vector<Byte> buffer(sizeof(LOGPALETTE) + entries.size() * sizeof(PALETTEENTRY));
  auto* log = reinterpret_cast<LOGPALETTE*>(buffer.data());
  log->palVersion = 0x300;
  log->palNumEntries = static_cast<WORD>(entries.size());
  for (size_t i = 0; i < entries.size(); ++i) log->palPalEntry[i] = entries[i];
  return CreatePalette(log);
}

// A width x height bitmap in format with PatternValue pixels and, when palettised,
// PatternPalette colours (pf32bit's fourth byte stays 0).
inline std::unique_ptr<TBitmap> PatternBitmap(TPixelFormat format, int width, int height) {
  auto bitmap = std::make_unique<TBitmap>();
  bitmap->SetPixelFormat(format);
  int bits = BitsOf(format);
  if (bits <= 8) bitmap->SetPalette(MakePalette(PatternPalette(1 << bits)));
  bitmap->SetSize(width, height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) SetRawPixel(*bitmap, x, y, bits, PatternValue(x, y, bits));
  return bitmap;
}

// 0xRRGGBB of a COLORREF (0x00BBGGRR).
inline uint32_t Rgb(COLORREF c) { return ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF); }

// The colour of pixel (x, y) as 0xRRGGBB.
inline uint32_t PixelRgb(TBitmap& bitmap, int x, int y) {
  return Rgb(static_cast<COLORREF>(bitmap.GetCanvas()->GetPixel(x, y)));
}

// A bitmap filled with one colour.
inline std::unique_ptr<TBitmap> SolidBitmap(TPixelFormat format, int width, int height, TColor color) {
  auto bitmap = std::make_unique<TBitmap>();
  bitmap->SetPixelFormat(format);
  bitmap->SetSize(width, height);
  bitmap->GetCanvas()->GetBrush()->SetColor(color);
  bitmap->GetCanvas()->FillRect(Rect(0, 0, width, height));
  return bitmap;
}

// A picture as the peer prints it: 0xRRGGBB (or 0xRRGGBBAA), top row first.
struct PeerImage {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> pixels;
  uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

inline bool ParsePeer(const std::string& text, PeerImage* image) {
  std::istringstream in(text);
  if (!(in >> image->width >> image->height)) return false;
  image->pixels.clear();
  std::string word;
  while (in >> word) image->pixels.push_back(static_cast<uint32_t>(std::stoul(word, nullptr, 16)));
  return image->pixels.size() == static_cast<size_t>(image->width) * image->height;
}

inline PeerImage RunPeer(const std::vector<std::string>& args) {
  PeerImage image;
  if (larktest::RequireProgram(Python).empty()) return image;
  std::vector<std::string> argv = {Python, PeerScript()};
  argv.insert(argv.end(), args.begin(), args.end());
  int exitCode = -1;
  std::string out = larktest::RunCommand(argv, &exitCode);
  if (exitCode != 0 || !ParsePeer(out, &image))
    ADD_FAILURE() << "the Pillow peer failed (exit " << exitCode << "; is python3-pil installed?) for "
                  << args[0] << " " << args[1] << ":\n" << out.substr(0, 400);
  return image;
}

// Pillow's reading of a file.
inline PeerImage PeerRead(const std::string& path) { return RunPeer({"read", path}); }

// Pillow writes its test pattern in mode to path and answers what it wrote.
inline PeerImage PeerWrite(const std::string& mode, const std::string& path, int width, int height) {
  return RunPeer({"write", mode, path, std::to_string(width), std::to_string(height)});
}

// The channels of 0xRRGGBB kept at 5-5-5 or 5-6-5 precision (readers widen 5 and 6
// bits differently; the top bits are what the file holds).
inline uint32_t Quantize(uint32_t rgb, TPixelFormat format) {
  uint32_t greenMask = format == pf16bit ? 0xFC : 0xF8;
  if (format != pf15bit && format != pf16bit) return rgb;
  return rgb & (0xF80000 | (greenMask << 8) | 0xF8);
}

}  // namespace vcltest
