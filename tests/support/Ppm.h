// 8-bit binary PPM pictures, as ImageMagick and netpbm write them: the pixels a test
// compares against what it drew.
#pragma once

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

namespace larktest {

struct RgbPicture {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> rgb;  // rows top to bottom, 3 bytes a pixel
  uint32_t At(int x, int y) const {
    const uint8_t* p = &rgb[(static_cast<size_t>(y) * width + x) * 3];
    return (uint32_t{p[0]} << 16) | (uint32_t{p[1]} << 8) | p[2];
  }
};

// Reads a P6 file whose largest value is 255 (comment lines allowed in the header);
// an empty picture when the file is not one or is cut short.
inline RgbPicture ReadPpm(const std::string& path) {
  RgbPicture picture;
  std::ifstream in(path, std::ios::binary);
  std::string magic;
  std::vector<int> numbers;
  in >> magic;
  while (numbers.size() < 3 && in) {
    in >> std::ws;
    if (in.peek() == '#') {
      std::string comment;
      std::getline(in, comment);
      continue;
    }
    int n = 0;
    in >> n;
    numbers.push_back(n);
  }
  in.get();
  if (magic != "P6" || numbers.size() != 3 || numbers[0] <= 0 || numbers[1] <= 0 || numbers[2] != 255)
    return picture;
  std::vector<uint8_t> rgb(static_cast<size_t>(numbers[0]) * numbers[1] * 3);
  if (!in.read(reinterpret_cast<char*>(rgb.data()), static_cast<std::streamsize>(rgb.size()))) return picture;
  picture.width = numbers[0];
  picture.height = numbers[1];
  picture.rgb = std::move(rgb);
  return picture;
}

}  // namespace larktest
