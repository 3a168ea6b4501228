// Whole files as bytes, for the tests that hand files to peers and read theirs.
#pragma once

#include <fstream>
#include <iterator>
#include <string>

namespace file_test {

// The bytes of a file; empty when it cannot be opened.
inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Writes the bytes as the whole file, replacing what was there.
inline void WriteFile(const std::string& path, const std::string& data) {
  std::ofstream(path, std::ios::binary).write(data.data(), static_cast<std::streamsize>(data.size()));
}

}  // namespace file_test
