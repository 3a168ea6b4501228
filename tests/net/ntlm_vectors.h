// Hex helpers and the reader of tests/data/ntlm/vectors.txt, the MD4, DES and NTLM
// answers computed by make-ntlm-vectors.py with pycryptodome.
#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace ntlmtest {

inline std::string FromHex(const std::string& hex) {
  std::string out;
  for (size_t i = 0; i + 1 < hex.size(); i += 2)
    out += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
  return out;
}

inline std::string ToHex(const std::string& bytes) {
  static const char digits[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : bytes) {
    out += digits[c >> 4];
    out += digits[c & 15];
  }
  return out;
}

// The fields after the kind of every line of that kind; "-" stands for an empty field.
inline std::vector<std::vector<std::string>> ReadVectors(const std::string& kind) {
  std::vector<std::vector<std::string>> rows;
  std::ifstream in(std::string(LARK_TEST_DATA) + "/ntlm/vectors.txt");
  EXPECT_TRUE(in.good()) << "tests/data/ntlm/vectors.txt is missing";
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    std::string k;
    if (!(fields >> k) || k != kind) continue;
    std::vector<std::string> row;
    for (std::string f; fields >> f;) row.push_back(f == "-" ? "" : f);
    rows.push_back(row);
  }
  EXPECT_FALSE(rows.empty()) << "no '" << kind << "' lines in vectors.txt";
  return rows;
}

}  // namespace ntlmtest
